#pragma once

#include "ui_about.h"

#include <QDialog>

// The About box: the program's picture, its version, what it is and its
// licence, and where this user's settings and data are.
class About : public QDialog, public Ui_About
{
    Q_OBJECT

public:
    explicit About(QWidget* parent = nullptr, const char* name = nullptr, bool modal = false,
                   Qt::WindowFlags flags = {});

protected slots:
    virtual void languageChange();
};
