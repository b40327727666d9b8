#pragma once

#include "core/session.h"
#include "monitor/sound.h"
#include "ui_zenaraform.h"

#include <QMainWindow>

#include <memory>

namespace web {
class WebServer;
}

class DemodulatorAccess;
class QComboBox;
class QMenu;
class QToolButton;
class SatelliteList;
class StatusPoll;
struct PollReading;

// The program's main window: the controls and what they show. The state and
// the commands are the session's (core::Session); the slots read the
// controls, call a command and show its result.
class zenaraForm : public QMainWindow, public Ui_zenaraForm
{
    Q_OBJECT

public:
    explicit zenaraForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~zenaraForm() override;

    core::Session& session() { return *m_session; }
    DemodulatorAccess* demodulator() const { return m_session->demodulator(); }
    StatusPoll* statusPoll() const { return m_session->statusPoll(); }
    QMenu* toolbarsMenu() const { return m_toolbarsMenu; }
    const tuning::ReceiverFlags& receiverFlags() const { return m_session->flags(); }
    int rememberedFrequency() const { return m_session->frequency(); }
    int rememberedSymbolRate() const { return m_session->symbolRate(); }
    int rememberedPolarization() const { return m_session->polarization(); }
    SatelliteList* satellites() const { return &m_session->satellites(); }
    int currentSatellite() const { return m_session->currentSat(); }
    int currentStoredPosition() const { return m_session->currentPosition(); }
    // Appends a CSV line per poll to the file from now on (replacing any log
    // running); false, said in the status bar, when it cannot be opened.
    bool startSignalLog(const QString& path);
    optionvalues::Values optionValues() const { return m_session->options(); }

    void addPlotMarker(const QString& label) { m_session->addMarker(label); }
    const HistoryPlot& history() const { return m_session->history(); }
    class SiteView* siteView() const { return m_siteView; }
    class QDockWidget* siteDock() const { return m_siteDock; }
    // Brings the Site view up to date with the site, the list and the choice.
    void updateSiteView();
    void showDishOnSiteView();
    void showMountOnSiteView();
    positioner::Positioner* dishPositioner() const { return &m_session->positioner(); }
    const sound::Signaliser& signaliser() const { return m_signaliser; }
    web::WebServer& webServer() { return *m_web; }
    // View > Phone meter…: its window, made when first asked for.
    class PhoneMeterDialog* showPhoneMeter();
    // Starts the phone meter at "[ADDRESS:]PORT" (this computer only when no
    // address is given) and shows its window; false with the reason, shown there.
    bool startPhoneMeter(const QString& where, QString* error);

    // The toolbar's widgets, made in code beside the form's own.
    QComboBox* satListToolbarComboBox = nullptr;
    QToolButton* goToolButton = nullptr;
    QToolButton* toolButtonHaltMotor = nullptr;

signals:
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
    virtual void initPlot();
    virtual void loadSettings();
    virtual void setPowerIndicator(bool on);
    virtual void initSound();
    virtual void shutdownSound();
    virtual void checkSoundResult(const QStringList& problems);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showReading(const PollReading& reading);

    bool soundAvailable = false;

private:
    void windowSettings(StoredSettings* v) const;
    void showStoredControls(const StoredSettings& v);
    sound::ToneSettings toneSettings() const;
    void connectSignals();
    void connectSession();
    void setTabOrder();
    void applyLook();
    void addSiteView();
    void addPhoneMeter();
    void addReceiverLabel();
    // The controls that say what the session works on: pushed to it whenever
    // the user changes them.
    void pushEntry();
    void pushLnb();
    void pushFineTune();
    void showEntry();
    void showSatelliteList();
    void showChosenSatellite(int row);
    void showTransponders();
    void showPosition(int position);
    void showMotorStatus();
    void showNetwork();
    void showOptions();
    void showStatusMessage(const QString& text, int timeoutMs);
    void showSettingsWrite(const QString& text, bool failed);
    void afterPoll();
    // Shows a command's warning in a box; true when it had none.
    bool done(const core::Result& result);
    void drive(bool east);
    [[noreturn]] void fatalError(const char* text);

    std::unique_ptr<core::Session> m_session;
    std::unique_ptr<web::WebServer> m_web; // goes before the session it reads
    class PhoneMeterDialog* m_phoneMeter = nullptr;
    sound::Signaliser m_signaliser;
    QMenu* m_toolbarsMenu = nullptr;
    class QAction* m_haltAction = nullptr; // Esc
    class SiteView* m_siteView = nullptr;
    class QDockWidget* m_siteDock = nullptr;
    // The geometry as stored, written back as it was if the window is closed
    // (by a signal) before it was ever shown.
    StoredSettings m_storedGeometry;
    bool m_everShown = false;
    bool m_motorStatusShown = false;
};
