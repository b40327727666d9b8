#pragma once

#include "hw/clock.h"
#include "positioner/lobesearch.h"
#include "positioner/motion.h"

#include <QByteArray>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace positioner {

// The DiSEqC 1.2 positioner as the window drives it: single and repeated
// commands, the raw message, and drives east and west by steps, seconds,
// degrees or to an angle. It knows nothing of widgets; the window gives it
// hooks for what it shows and for processing its events while a drive waits.
class Positioner
{
public:
    struct Hooks
    {
        // Puts a message on the cable; 0 on success.
        std::function<int(const QByteArray&)> send;
        // Leaves a marker in the signal history.
        std::function<void(const QString&)> marker;
        // Shows a warning: a failed send or a message that cannot be made.
        std::function<void(const QString&)> warn;
        // Writes a message into the six raw-data fields.
        std::function<void(const QByteArray&)> showRaw;
        // One pass of event processing while a drive waits (the window's
        // other controls, the status poll and Halt run in it).
        std::function<void()> processEvents;
        // The estimate of the dish's motion changed (optional).
        std::function<void()> motionChanged;
        // Runs a function ms milliseconds from now, from the event loop, so
        // that the repeats of a message wait without holding the window up.
        // Without it they wait in a sleep.
        std::function<void(int ms, std::function<void()>)> later;
    };

    struct Settings
    {
        double stepsPerDegree = 9.6; // oneDegreSteps
        int msPerDegree = 1000;      // maxTimeOfPositioning
        int driveVersion = 0;        // 0 Typical, 1 STAB
        double siteLatitude = 45.0;  // south of the equator the motor turns the other way
    };

    // The failure texts: most commands name the frontend, the raw send and
    // the east drive do not.
    static const char* const FrontendSendFailed;
    static const char* const SendFailed;

    Positioner(hw::Clock& clock, Hooks hooks);

    void setSettings(const Settings& settings);
    const Settings& settings() const { return m_settings; }

    // Set by Halt; a waiting drive ends when it sees it, and clears it.
    bool haltRequested = false;
    int diseqcRepeatCount = 3;

    // Each returns true when every transmission went out.
    bool halt();
    bool limitEast();
    bool limitWest();
    bool limitsOff();
    bool gotoPosition(int position);
    bool storePosition(int position);
    bool sendRaw(const QStringList& fields);

    // Drives; they return when the move is over, halted, or a send failed.
    void driveSteps(bool east, int steps);
    void driveDegrees(bool east, double degrees);
    // Runs until the number of seconds (read afresh on every pass, as the
    // user may change it meanwhile) has passed, then halts.
    void driveSeconds(bool east, const std::function<int()>& seconds);
    bool gotoAngle(bool east, double degrees);

    // The USALS goto to a satellite's motor angle, on the side of the arc the
    // label names: sent three times, like Halt. South of the equator the motor,
    // mounted facing north, turns the other way, so the direction code sent is
    // mirrored there.
    bool usalsGoto(double degrees, bool east);

    // The hill climb: single steps east, then west, keeping the best of the
    // summed samples (ten a step, gapMs apart); at most n steps each way.
    // False when a step could not be sent.
    bool autotune(int n, int gapMs, const std::function<double()>& sample);
    // Processes events for ms milliseconds, or until Halt.
    void waitWithEvents(int ms);

    // The sweep and fit: a search of the main lobe of the carrier the dish
    // is on (see LobeSearch), reading the meters every gapMs, and the dish
    // left on the fitted top. False when a message could not be sent, Halt
    // ended it, or no beam was found (the dish is then put back where it
    // started, as it is when nothing near was better than the start).
    struct SweepReport
    {
        int steps = 0;   // motor steps sent
        double peak = 0; // the fitted peak, in steps from the start
        bool parabola = false;
        bool ok = false; // a top was found and the dish left on it (or back)
        bool backAtStart = false;
        bool bySnr = false; // the samples are SNR readings (else AGC)
        bool agcOk = false; // the AGC's own top, steps from the start
        double agcPeak = 0;
        double agcCurvature = 0;  // its parabola's, per step squared
        QVector<QPointF> samples; // the fine pass
    };
    // The last sweep's, whoever asked for it.
    const SweepReport& lastSweep() const { return m_lastSweep; }
    bool sweepTune(double beamwidthSteps, int gapMs, const std::function<Reading()>& sample,
                   SweepReport* report = nullptr);
    // The half-power beamwidth (70 wavelengths over the dish diameter) at a
    // frequency, in motor steps.
    double beamwidthSteps(double dishDiameterM, double frequencyMHz) const;

    // The window is going: Halt, and every drive or tune under way ends.
    void abandon();

    // True while a drive or tune waits (possibly several, nested).
    bool driving() const { return m_depth > 0; }
    // The window has gone: drives and waits end at once.
    bool abandoned() const { return m_abandoned; }
    MotionEstimate& motion() { return m_motion; }
    const MotionEstimate& motion() const { return m_motion; }
    hw::Clock& clock() { return m_clock; }

    static constexpr int RepeatPauseMs = 100; // the motor's receiver needs the gap

private:
    // Every message goes out here; repeats still to come of an earlier one are
    // dropped, so that they cannot stop or redirect what follows.
    int put(const QByteArray& message);
    void repeatLater(QByteArray message, int left, const char* failure);
    bool sendOnce(const QByteArray& message, const char* failure);
    bool sendRepeated(QByteArray message, const char* failure);
    bool single(quint8 command, const char* markerText);
    bool angleGoto(bool east, double degrees, bool repeated);
    // Moves by whole steps and waits the full travel time; false on a failed
    // send or Halt.
    bool moveAndWait(bool east, int steps, int* sent);
    // The first poll taken after *after (which it then moves on to); false
    // when Halt came meanwhile.
    bool nextPoll(int gapMs, qint64* after, const std::function<Reading()>& sample,
                  Reading* reading);
    static constexpr int SettleMs = 50; // after a move's time is up
    // South of the equator the motor, mounted facing north, turns the other
    // way: the command for the user's east is the motor's west.
    bool mirrored() const { return m_settings.siteLatitude < 0; }
    bool motorEast(bool east) const { return mirrored() ? !east : east; }
    void driveChunks(bool east, int steps, bool showRaw);
    // False when Halt ended the wait.
    bool waitFor(qint64 ms);
    bool haltSeen();
    void leaveDrive();
    void motionChanged();
    bool climb(int n, double ref, const std::function<double()>& measure,
               const std::function<bool(const QByteArray&)>& step, const QByteArray& east,
               const QByteArray& west);

    hw::Clock& m_clock;
    Hooks m_hooks;
    Settings m_settings;
    MotionEstimate m_motion;
    int m_depth = 0;
    bool m_halted = false; // a Halt ends every drive in progress, nested or not
    bool m_abandoned = false;
    quint64 m_sendCount = 0; // a pending repeat goes only if nothing went since
    SweepReport m_lastSweep;
};

} // namespace positioner
