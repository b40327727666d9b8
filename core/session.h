#pragma once

#include "hw/cardlibrary.h"
#include "hw/modcod.h"
#include "hw/transportstream.h"
#include "hw/tuning.h"
#include "lists/transponderlist.h"
#include "monitor/historyplot.h"
#include "monitor/linkmargin.h"
#include "monitor/networkcheck.h"
#include "monitor/signallog.h"
#include "monitor/statuspoll.h"
#include "positioner/arccalibration.h"
#include "positioner/arrival.h"
#include "positioner/positioner.h"
#include "positioner/stillness.h"
#include "settings/optionvalues.h"
#include "settings/settingsstore.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class DemodulatorAccess;
class SatelliteList;

namespace core {

class ArcCalibrator;
class WebControl;

// What the tuner fields hold: a transponder typed or picked, not yet tuned.
struct Entry
{
    QString frequency;  // MHz, as typed
    QString symbolRate; // kS/s
    bool horizontal = true;
    hw::SignalFormat format; // DVB-S unless a list or the user says DVB-S2
    bool operator==(const Entry& o) const
    {
        return frequency == o.frequency && symbolRate == o.symbolRate &&
               horizontal == o.horizontal && format == o.format;
    }
};

// The system box beside the tuner fields: "DVB-S", "DVB-S2" (the
// demodulator finds the modulation), "DVB-S2 QPSK" ... "DVB-S2 32APSK".
namespace systemchoice {
QStringList texts();
int indexOf(const hw::SignalFormat& format);
// The entry's format with the box's system and modulation; the rest (code
// rate, roll-off, pilots from a list) stays where the system does.
hw::SignalFormat apply(int index, hw::SignalFormat format);
} // namespace systemchoice

// The LNB page: oscillators, switch, supply.
struct Lnb
{
    QString lof1 = QStringLiteral("9750");
    QString lof2 = QStringLiteral("10600");
    QString switchFrequency = QStringLiteral("11700");
    int diseqc = 0;     // 0 none, 1 tone burst, 2 DiSEqC 1.0
    int burst = 0;      // A, B
    int switchItem = 0; // committed switch item 0..3
    bool supplyOn = true;
    bool iout650mA = false;
    bool voutHigh = false;
};

// How the fine-tune goes: 0 hill climb (steps each way), 1 sweep and fit.
struct FineTune
{
    int method = 0;
    int steps = 3;
};

// What a command did not do, in the words a box would show; empty: done.
struct Result
{
    QString warning;
    bool ok() const { return warning.isEmpty(); }
};

// The running program without its window: the card, the lists, the tuned
// transponder, the motor, the poll's readings and markers, the options. Every
// front end (the window, the remote socket) works it through these commands
// and hears of changes through its signals.
class Session : public QObject
{
    Q_OBJECT

public:
    enum class Limit { East, West, Off };
    enum class Network { NotAsked, Reading, Found, None };
    static constexpr int NetworkTimeLimitMs = 12000; // a NIT comes at least every 10 s
    // Unlocked polls with a carrier before the session says why (2 s: a lock
    // takes a few hundred milliseconds).
    static constexpr int HintAfterPolls = 8;

    // What the window keeps of the stored settings (geometry, layout, the
    // plot's and the tone's switches): filled in before every write.
    std::function<void(StoredSettings*)> windowSettings;

    explicit Session(QObject* parent = nullptr);
    ~Session() override;

    // Start-up, in this order. openCard returns the fatal error's text
    // (untranslated) or nullptr.
    StoredSettings loadSettings();
    const char* openCard();
    void startPolling();
    // The program ends: the poll stops, closing() is said, and the settings
    // are written; false when they could not be (the text is then
    // lastSaveError()). Then, after the last words to the user, closeCard.
    bool writeAtExit();
    void closeCard();

    // Commands. A warning a box would show is the result's.
    Result tune(bool fromEntry = true);
    void chooseSatellite(int row);
    void chooseTransponder(int index);
    void choosePosition(int position);
    Result togglePosition();
    Result go();
    Result usalsGoto();
    Result gotoPosition();
    Result storePosition();
    Result halt();
    Result limit(Limit which);
    Result sendRaw(const QStringList& fields);
    // Mode 0 steps, 1 seconds (the amount is asked again on every pass),
    // 2 degrees, 3 to an angle.
    Result drive(bool east, int mode, const std::function<double()>& amount);
    // Method 0 hill climb (steps each way), 1 sweep and fit.
    Result autotune(int method, int steps);
    void clearUcb();
    // The arc's calibration: USALS gotos go where it says the satellites
    // peak; set, it is written at once.
    const positioner::ArcCalibration& calibration() const { return m_calibration; }
    void setCalibration(const positioner::ArcCalibration& calibration);
    // "Calibrate the arc", for every front end.
    ArcCalibrator& calibrator() { return *m_calibrator; }
    // The phone meter's server, when the program has one (not owned).
    WebControl* webControl() const { return m_webControl; }
    void setWebControl(WebControl* web) { m_webControl = web; }
    // Options: the dialog's refusals apply to every caller.
    QString setOptions(const optionvalues::Values& values);
    QString setOption(const QString& key, double value);
    bool startSignalLog(const QString& path, QString* error);
    bool saveSettingsNow();
    bool saveListsNow();

    // One poll, as the timer runs it every 250 ms.
    void pollOnce();
    void setEntry(const Entry& entry) { m_entry = entry; }
    // The same, and the fields are to show it.
    void enter(const Entry& entry);
    void setFineTune(const FineTune& fineTune) { m_fineTune = fineTune; }
    const FineTune& fineTune() const { return m_fineTune; }
    void setLnb(const Lnb& lnb) { m_lnb = lnb; }
    // The LNB supply byte, for the polarisation last tuned.
    void writeLnbControl();

    // State.
    const Entry& entry() const { return m_entry; }
    const Lnb& lnb() const { return m_lnb; }
    const optionvalues::Values& options() const { return m_options; }
    SatelliteList& satellites() { return *m_satellites; }
    const SatelliteList& satellites() const { return *m_satellites; }
    int chosenRow() const { return m_chosenRow; }
    QString chosenLabel() const;
    double chosenPosition() const;
    int position() const { return m_position; }
    bool positionSettable() const;
    bool positionSet() const { return m_positionSet; }
    QStringList transponderEntries() const { return m_transponders; }
    // The transponder list of a satellite box row (empty when it has none).
    QVector<transponders::Transponder> transpondersOf(int row) const;
    int frequency() const { return m_frequency; }
    int symbolRate() const { return m_symbolRate; }
    int polarization() const { return m_polarization; }
    int currentSat() const { return m_currentSat; }
    int currentPosition() const { return m_currentPosition; }
    const PollReading& lastReading() const { return m_lastReading; }
    const QString& fecText() const { return m_fecText; }
    // The system tuned last, and what the lock turned out to be (after lock).
    const hw::SignalFormat& tunedFormat() const { return m_tunedFormat; }
    bool lockedFormatKnown() const { return m_lockedFormatKnown; }
    const hw::SignalFormat& lockedFormat() const { return m_lockedFormat; }
    // Why the tuned transponder does not lock, where that can be told (a
    // receiver without DVB-S2, a carrier too weak for its modcod); empty else.
    const QString& lockHint() const { return m_lockHint; }
    // The tuned transponder with its system, and what the lock is, for the
    // Site view: "Tuned 11012 H 30000, DVB-S2 8PSK", "Locked: 8PSK 3/4 ...".
    QStringList receptionLines() const;
    const linkmargin::Estimate& margin() const { return m_margin; }
    Network networkState() const { return m_networkState; }
    const hw::NetworkInfo& network() const { return m_network; }
    networkcheck::Verdict networkVerdict() const { return m_networkVerdict; }
    // The satellite of the list at the network's position; empty when none is.
    const QString& networkSatellite() const { return m_networkSatellite; }
    QString motorHint() const { return m_motorHint; }
    tuning::ReceiverFlags& flags() { return m_flags; }
    DemodulatorAccess* demodulator() const { return m_demodulator.get(); }
    StatusPoll* statusPoll() const { return m_poll.get(); }
    positioner::Positioner& positioner() { return *m_positioner; }
    const positioner::Positioner& positioner() const { return *m_positioner; }
    HistoryPlot& history() { return m_history; }
    const HistoryPlot& history() const { return m_history; }
    int saveAttempts() const { return m_saveAttempts; }
    QString lastSaveError() const { return m_lastSaveError; }
    void addMarker(const QString& label);

signals:
    void polled();
    // The motor's estimate changed: a command went out, a move ended.
    void motionChanged();
    // The tuner fields should show entry().
    void entryChanged();
    // The satellite boxes: the row chosen, a label, the whole list.
    void satelliteChosen(int row);
    void labelChanged(int row, const QString& text);
    void labelsChanged();
    void transpondersChanged();
    void positionChanged(int position);
    void rawShown(const QStringList& texts);
    // A tune went out: what was read of the old channel is gone.
    void tuned();
    void networkChanged();
    void ucbCleared();
    // A status bar line (0: until replaced) and a warning no command returns
    // (the automatic re-tune, a repeat that failed later).
    void statusMessage(const QString& text, int timeoutMs);
    void warning(const QString& text);
    void settingsWriteFailed(const QString& text, bool failed);
    // The options changed (the dialog's OK, a remote set).
    void optionsChanged();
    // The program is ending: nothing more is to be asked of the session.
    void closing();
    // The transponder picked from the chosen satellite's list.
    void transponderChosen(int index);
    // lockHint() changed.
    void lockHintChanged();
    void calibrationChanged();
    // Halt was asked for (whatever else it ends, a calibration ends too).
    void haltSent();

private:
    void createPositioner();
    void applyPositionerSettings();
    void applySite();
    // The motor's time for a degree at the supply now: learnt, or the option's.
    int motorMsPerDegree() const;
    void watchArrival(double from);
    void checkArrival();
    void learnMotorSpeed(int measuredMsPerDegree);
    void pushSiteToCard();
    Result run(const std::function<void()>& command);
    void note(const Result& result);
    void warn(const QString& text);
    void remember(const Entry& tunedEntry);
    void readTransponders(int row);
    void fillEntryFromRemembered(int row);
    void setChosen(int row);
    void showPositionOf(int row);
    void placeDish();
    void watchWestGoto(bool west, bool hadCarrier = false);
    bool hasCarrier() const;
    void checkStillness();
    void checkNetwork(bool locked);
    void judgeNetwork();
    void logReading(const PollReading& reading);
    void takeLockedFormat(const PollReading& reading);
    // Says so when the receiver goes away and when it is back (and tunes it again).
    void checkPresence();
    void checkLockHint(const PollReading& reading);
    void setLockHint(const QString& text);
    // The list's format of a transponder, DVB-S when the list does not have it.
    hw::SignalFormat listedFormat(const QString& frequency, bool horizontal,
                                  const QString& symbolRate) const;
    void reportWrite(bool written);
    StoredSettings currentSettings() const;
    // Every setting into the store; false when it could not be written.
    bool writeStore() const;
    QStringList transpondersToSave() const;
    tuning::Request request(bool fromEntry) const;
    bool rowValid(int row) const;

    CDVBFrontend m_frontend;
    CDVBBoardControl m_boardControl;
    std::unique_ptr<DemodulatorAccess> m_demodulator;
    std::unique_ptr<SatelliteList> m_satellites;
    std::unique_ptr<tuning::Tuner> m_tuner;
    std::unique_ptr<StatusPoll> m_poll;
    std::unique_ptr<positioner::Positioner> m_positioner;
    HistoryPlot m_history;
    SignalLog m_log;
    QStringList m_markersSinceLog;
    int m_pollTimer = 0;

    optionvalues::Values m_options;
    QString m_signalLogPath;
    QString m_transpondersPath = QStringLiteral("./Transponders/");
    QString m_satelliteListPath;
    Entry m_entry;
    Lnb m_lnb;
    FineTune m_fineTune;
    tuning::ReceiverFlags m_flags;
    int m_frequency = 11044;
    int m_symbolRate = 39999;
    int m_polarization = 0;        // 0 horizontal, 1 vertical
    bool m_tunedHorizontal = true; // the polarisation on the cable
    QString m_tuneWarningShown;    // the last failed tune's warning, until one succeeds

    int m_chosenRow = 0;
    int m_position = 0;
    bool m_positionSet = false;
    QStringList m_transponders; // the chosen satellite's entries, the first a title
    QVector<transponders::Transponder> m_transponderList; // the same, without the title
    int m_currentSat = 0;
    int m_currentPosition = 0;
    // A stored selection that could not be made at start-up: written back as
    // read, not as 0, until the user goes somewhere.
    int m_keptCurrentSat = -1;
    int m_keptCurrentPosition = -1;
    QStringList m_savedFreqList;

    PollReading m_lastReading;
    QString m_fecText;
    hw::SignalFormat m_tunedFormat;
    hw::SignalFormat m_lockedFormat;
    bool m_lockedFormatKnown = false;
    QString m_lockHint;
    positioner::ArcCalibration m_calibration;
    std::unique_ptr<ArcCalibrator> m_calibrator;
    WebControl* m_webControl = nullptr;
    int m_unlockedPolls = 0; // with a carrier, since the tune or the lock
    bool m_receiverPresent = true;
    linkmargin::Estimate m_margin;
    Network m_networkState = Network::NotAsked;
    hw::NetworkInfo m_network;
    networkcheck::Verdict m_networkVerdict = networkcheck::Verdict::Unknown;
    QString m_networkSatellite;
    positioner::StillnessWatch m_stillness;
    positioner::ArrivalWatch m_arrival;
    QString m_motorHint;

    // Warnings of the command running, returned instead of shown.
    int m_commandDepth = 0;
    QString m_commandWarning;
    bool m_settingsWriteFailed = false;
    int m_saveAttempts = 0;
    QString m_lastSaveError;

protected:
    void timerEvent(QTimerEvent* event) override;
};

} // namespace core
