#pragma once

#include "settings/optionvalues.h"
#include "ui_disqoptions.h"

#include <QDialog>

class zenaraForm;

// The settings dialog: site, plot axis, motor timing and geometry, acoustic
// signal. It holds nothing of its own: init copies the window's values in, OK
// copies them back (once they can be kept), and the window applies them.
class DisqOptions : public QDialog, public Ui_DisqOptions
{
    Q_OBJECT

public:
    explicit DisqOptions(zenaraForm* parent);

    // What the fields hold now, converted as OK converts them; *problem says
    // which field holds no number (the values are then not to be kept).
    optionvalues::Values fieldValues(QString* problem = nullptr) const;

public slots:
    virtual void okButton_clicked();
    virtual void checkBoxAGCAutoScale_toggled(bool on);

protected slots:
    virtual void languageChange();

protected:
    virtual void init();

private:
    zenaraForm* m_window;
};
