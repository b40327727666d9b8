#pragma once

#include "hw/clock.h"
#include "positioner/motion.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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
    };

    struct Settings
    {
        double stepsPerDegree = 9.6; // oneDegreSteps
        int msPerDegree = 1000;      // maxTimeOfPositioning
        int driveVersion = 0;        // 0 Typical, 1 STAB
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

    // True while a drive waits (possibly several, nested).
    bool driving() const { return m_depth > 0; }
    MotionEstimate& motion() { return m_motion; }
    const MotionEstimate& motion() const { return m_motion; }
    hw::Clock& clock() { return m_clock; }

private:
    bool sendOnce(const QByteArray& message, const char* failure);
    bool sendRepeated(QByteArray message, const char* failure);
    bool single(quint8 command, const char* markerText);
    void driveChunks(bool east, int steps, bool showRaw);
    // False when Halt ended the wait.
    bool waitFor(qint64 ms);
    bool haltSeen();
    void leaveDrive();
    void motionChanged();

    hw::Clock& m_clock;
    Hooks m_hooks;
    Settings m_settings;
    MotionEstimate m_motion;
    int m_depth = 0;
    bool m_halted = false; // a Halt ends every drive in progress, nested or not
};

} // namespace positioner
