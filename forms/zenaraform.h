#pragma once

#include "hw/cardlibrary.h"
#include "hw/tuning.h"
#include "monitor/historyplot.h"
#include "monitor/linkmargin.h"
#include "monitor/networkcheck.h"
#include "monitor/signallog.h"
#include "monitor/sound.h"
#include "monitor/statuspoll.h"
#include "positioner/positioner.h"
#include "positioner/stillness.h"
#include "settings/optionvalues.h"
#include "settings/settingsstore.h"
#include "ui_zenaraform.h"

#include <QMainWindow>

#include <memory>

class DemodulatorAccess;
class QComboBox;
class QMenu;
class QToolButton;
class SatelliteList;
class StatusPoll;
struct PollReading;

// The program's main window. It owns the card, the lists and all program state;
// its slots hand the work to widget-free classes (tuning::Tuner, StatusPoll).
class zenaraForm : public QMainWindow, public Ui_zenaraForm
{
    Q_OBJECT
    friend class DisqOptions;   // it edits the settings members in place
    friend class RemoteControl; // it works the controls as a user would

public:
    explicit zenaraForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~zenaraForm() override;

    DemodulatorAccess* demodulator() const { return demodulatorAccess; }
    StatusPoll* statusPoll() const { return m_poll.get(); }
    QMenu* toolbarsMenu() const { return m_toolbarsMenu; }
    const tuning::ReceiverFlags& receiverFlags() const { return flags; }
    int rememberedFrequency() const { return frequency; }
    int rememberedSymbolRate() const { return symbolRate; }
    int rememberedPolarization() const { return polarization; }
    SatelliteList* satellites() const { return satelliteList; }
    int currentSatellite() const { return currentSat; }
    int currentStoredPosition() const { return currentPosition; }
    // Appends a CSV line per poll to the file from now on (replacing any log
    // running); false, said in the status bar, when it cannot be opened.
    bool startSignalLog(const QString& path);

    // The settings the options dialog edits, as they stand, and back (they
    // are applied by applyOptions).
    optionvalues::Values optionValues() const;
    void setOptionValues(const optionvalues::Values& values);

    // Writes the stored-position table and the remembered transponders now,
    // not only at exit (the positioner and the lists call it on every change).
    bool saveListsNow();
    // Writes every setting now (after a change of options); false, said in the
    // status bar, when the store cannot be written.
    bool saveSettingsNow();
    // Every write so far, and why the last one failed (empty: it worked).
    int saveAttempts() const { return m_saveAttempts; }
    QString lastSaveError() const { return m_lastSaveError; }

    virtual void addPlotMarker(const QString& label);
    const HistoryPlot& history() const { return m_history; }
    class SiteView* siteView() const { return m_siteView; }
    class QDockWidget* siteDock() const { return m_siteDock; }
    // Brings the Site view up to date with the site, the list and the choice.
    void updateSiteView();
    void showDishOnSiteView();
    // The motor's commands and drives; haltRequested and diseqcRepeatCount live there.
    positioner::Positioner* dishPositioner() const { return m_positioner.get(); }
    const sound::Signaliser& signaliser() const { return m_signaliser; }

    // The toolbar's widgets, made in code beside the form's own.
    QComboBox* satListToolbarComboBox = nullptr;
    QToolButton* goToolButton = nullptr;
    QToolButton* toolButtonHaltMotor = nullptr;

    virtual void rememberTransponder();
    virtual int tune(bool fromControls);
    virtual void writeLnbControl(bool supplyOn);

signals:
    // After every poll, with the new reading in place.
    void polled();
    // The motor's estimate changed: a command went out, a move ended.
    void motionChanged();
    // The window is closing: the program ends.
    void closing();

public slots:
    virtual void radioButtonDiSEqCNone_clicked();
    virtual void radioButtonDiSEqCSimple_clicked();
    virtual void radioButtonDiSEqC10_clicked();
    virtual void buttonSet_clicked();
    virtual void eastButton_clicked();
    virtual void westButton_clicked();
    virtual void haltMotorButton_clicked();
    virtual void limitEButton_clicked();
    virtual void limitOffButton_clicked();
    virtual void LimitWButton_clicked();
    virtual void gotoButton_clicked();
    virtual void storeButton_clicked();
    virtual void tuneButton_clicked();
    virtual void sendButton_clicked();
    virtual void posSetButton_clicked();
    virtual void positionsSpinBox_valueChanged(int position);
    virtual void satlistComboBox_activated(int index);
    virtual void optionsDiSEqCButton_clicked();
    virtual void typeStepComboBox_activated(int type);
    virtual void freqListComboBox_activated(int index);
    virtual void lnbTypeComboBox_activated(int item);
    virtual void buttonPower_toggled(bool on);
    virtual void gotoXYButton_clicked();
    virtual void satListToolbarComboBox_activated(int index);
    virtual void updateTransponders(int index);
    virtual void goToolButton_clicked();
    virtual void toolButtonUcbClear_clicked();
    virtual void buttonPower_clicked() {}
    virtual void toolButtonBER_toggled(bool on);
    virtual void toolButtonSNR_toggled(bool on);
    virtual void toolButtonAGC_toggled(bool on);
    virtual void checkBoxAcoustic_toggled(bool on);
    virtual void helpAboutAction_activated();
    virtual void languageChange();

protected:
    virtual void initWindow();
    virtual void saveSettings();
    virtual int openBoard();
    virtual void initPlot();
    virtual void ageMarkers();
    virtual void loadSettings();
    virtual void setPowerIndicator(bool on);
    virtual void initSound();
    virtual void shutdownSound();
    virtual void checkSoundResult(const QStringList& problems);
    virtual void readTransponderFile(const QString& path);

    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showReading(const PollReading& reading);

    // Card library objects; destroyed in reverse order, the board control first.
    CDVBFrontend frontend;
    CDVBBoardControl boardControl;
    DemodulatorAccess* demodulatorAccess = nullptr;
    SatelliteList* satelliteList = nullptr;

    // The transponder last tuned with Set.
    int frequency = 11044;
    int symbolRate = 39999;
    int polarization = 0; // 0 horizontal, 1 vertical

    // Settings members (loaded and saved with the window).
    int agcScaleMin = 0;
    int agcScaleMax = 100;
    bool agcAutoScale = false;
    int acousticFreqMinHz = 50;
    int acousticFreqMaxHz = 1000;
    int acousticVolume = 50;
    int acousticScaleMin = 50;
    int acousticScaleMax = 70;
    double oneDegreSteps = 9.6;
    int maxTimeOfPositioning = 1000;
    int gapTime = 200;
    int maxAngle = 80;
    int driveVersion = 0;
    double dishDiameter = 0.8;
    QString signalLogPath;
    double locationLatitude = 45.0;
    double locationLongitude = 42.0;
    double minElevation = 0.0;
    QString transpondersPath = QStringLiteral("./Transponders/");
    QString satelliteListPath; // where "satlist.znr" was found
    int currentPosition = 0;
    int currentSat = 0;

    bool soundAvailable = false;
    tuning::ReceiverFlags flags; // tuneFailed, awaitingLock
    int pollTimer = 0;

private:
    StoredSettings currentSettings() const;
    QStringList transpondersToSave() const;
    void reportSettingsWrite(bool written);
    sound::ToneSettings toneSettings() const;
    void connectSignals();
    void setTabOrder();
    void applyLook();
    tuning::Request requestFromControls(bool fromControls) const;
    void createPositioner();
    void applyPositionerSettings();
    // What the options dialog's OK (or Cancel) leads to: the site, the drive
    // ranges, the AGC axis follow the members.
    void applyOptions();
    void drive(bool east);
    void showMotorStatus();
    QStringList rawFields() const;
    [[noreturn]] void fatalError(const char* text);

    HistoryPlot m_history;
    sound::Signaliser m_signaliser;
    std::unique_ptr<tuning::Tuner> m_tuner;
    std::unique_ptr<StatusPoll> m_poll;
    std::unique_ptr<positioner::Positioner> m_positioner;
    QMenu* m_toolbarsMenu = nullptr;
    class QAction* m_haltAction = nullptr; // Esc
    QStringList m_savedFreqList; // the remembered transponders as read at start-up
    // A stored selection that could not be made at start-up (no satellite
    // list, a position beyond the table): written back as it was read, not as
    // 0, until the user goes somewhere.
    int m_keptCurrentSat = -1;
    int m_keptCurrentPosition = -1;
    // The polarisation on the cable: the last successful tune's, at first the
    // stored one.
    bool m_tunedHorizontal = true;
    bool m_settingsWriteFailed = false; // already reported
    int m_saveAttempts = 0;
    QString m_lastSaveError;
    linkmargin::Estimate m_margin;      // of the last poll
    // The network of the channel tuned: asked for at its first lock.
    enum class NetworkState { NotAsked, Reading, Found, None };
    static constexpr int NetworkTimeLimitMs = 12000; // a NIT comes at least every 10 s
    NetworkState m_networkState = NetworkState::NotAsked;
    hw::NetworkInfo m_network;
    networkcheck::Verdict m_networkVerdict = networkcheck::Verdict::Unknown;
    void checkNetwork(bool locked);
    void chosenSatelliteChanged(int index);
    void showNetwork();
    double chosenPosition() const;
    class SiteView* m_siteView = nullptr;
    class QDockWidget* m_siteDock = nullptr;
    QString m_tuneWarningShown; // the last failed tune's warning, until one succeeds
    // The geometry as stored, written back as it was if the window is closed
    // (by a signal) before it was ever shown.
    StoredSettings m_storedGeometry;
    bool m_everShown = false;
    bool m_motorStatusShown = false;
    // After a goto west: whether the signal changes at all (a motor that
    // ignores the west code does not move), and what the status line then says.
    positioner::StillnessWatch m_stillness;
    QString m_motorHint;
    void watchWestGoto(bool west, bool hadCarrier = false);
    bool hasCarrier() const;
    static constexpr quint8 SignalFlag = 0x01, CarrierFlag = 0x02;
    SignalLog m_log;
    PollReading m_lastReading;
    QStringList m_markersSinceLog;
    void logReading(const PollReading& reading);
};
