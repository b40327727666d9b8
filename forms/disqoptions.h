#pragma once

#include "settings/optionvalues.h"
#include "ui_disqoptions.h"

#include <QDialog>

#include <utility>
#include <vector>

// The settings dialog: site, plot axis, motor timing and geometry, acoustic
// signal. It shows the values it is given and, after OK, values() holds what
// can be kept; the ranges of its fields come from the options table.
class DisqOptions : public QDialog, public Ui_DisqOptions
{
    Q_OBJECT

public:
    DisqOptions(QWidget* parent, const optionvalues::Values& values);

    // What OK accepted (before it: the values given).
    const optionvalues::Values& values() const { return m_values; }

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
    // The whole-number fields and their rows in the options table.
    std::vector<std::pair<QSpinBox*, const optionvalues::Key*>> spinBoxes() const;
    void showLearnedSpeed();
    optionvalues::Values m_values;
    bool m_forgetSpeed = false; // the learnt speeds go with OK
};
