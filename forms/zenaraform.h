#pragma once

#include "hw/cardlibrary.h"
#include "ui_zenaraform.h"

#include <QMainWindow>

class DemodulatorAccess;
class QComboBox;
class QMenu;
class QToolButton;
class SatelliteList;

// The program's main window. It owns the card, the lists and all program state;
// its slots hand the work to widget-free classes.
class zenaraForm : public QMainWindow, public Ui_zenaraForm
{
    Q_OBJECT

public:
    explicit zenaraForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~zenaraForm() override;

    DemodulatorAccess* demodulator() const { return demodulatorAccess; }
    QMenu* toolbarsMenu() const { return m_toolbarsMenu; }

public slots:
    virtual void buttonSet_clicked();
    virtual void languageChange();

protected:
    virtual void initWindow();
    virtual void loadSettings();
    virtual void saveSettings();
    virtual void initPlot();
    virtual int openBoard();
    virtual void initSound();
    virtual void shutdownSound();

    void timerEvent(QTimerEvent* event) override;

    // Card library objects; destroyed in reverse order, the board control first.
    CDVBFrontend frontend;
    CDVBBoardControl boardControl;
    DemodulatorAccess* demodulatorAccess = nullptr;
    SatelliteList* satelliteList = nullptr;

    QComboBox* satListToolbarComboBox = nullptr;
    QToolButton* goToolButton = nullptr;
    QToolButton* toolButtonHaltMotor = nullptr;

    bool haltRequested = false;
    int diseqcRepeatCount = 3;
    bool tuneFailed = false;
    bool awaitingLock = false;
    double ucbTotal = 0;
    double unlockedTime = 0;
    int pollTimer = 0;

private:
    [[noreturn]] void fatalError(const char* text);

    QMenu* m_toolbarsMenu = nullptr;
};
