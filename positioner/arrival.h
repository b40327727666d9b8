#pragma once

#include <QtGlobal>

namespace positioner {

// Seeing a goto end in the readings. The motor never says it has arrived, but
// the carrier of the satellite it was sent to does: it locks, and once the
// dish stands still the level holds. A neighbour on the same frequency can
// lock as the dish passes it; such a lock comes sooner than the dish could get
// there (taken as no end), or it goes again as the dish moves on (the end
// taken back). Only an end the lock outlasts times the motor.
class ArrivalWatch
{
public:
    enum class Event {
        None,
        Arrived,   // the dish is taken to be there
        Refuted,   // ... it was not: the lock went; watching goes on
        Confirmed, // ... the lock held: measuredMsPerDegree() times the motor
    };

    // No dish motor turns faster than this, nor slower than the slowest.
    static constexpr double FastestDegPerSecond = 2.5;
    static constexpr double SlowestDegPerSecond = 0.3;
    // A dish at rest keeps the level within this over SettledPolls polls.
    static constexpr double SettledAgcPercent = 1.5;
    static constexpr int SettledPolls = 2;
    // A lock in passing goes within this of its seeming end.
    static constexpr qint64 ConfirmMs = 4000;
    // A slower motor is taken for a lock that came long after the dish stopped.
    static constexpr double SlowestLearntDegPerSecond = 0.5;
    // Shorter moves say little of the motor's speed: the lock's own delay
    // and the poll's period weigh too much in them.
    static constexpr double LearnFromDeg = 3.0;

    // A goto over so many degrees starts now. lowestMsPerDegree: the least a
    // degree can take for this motor as far as is known (0: only the fastest
    // motor's bound).
    // speedKnown: it was learnt, so that a level that holds still after
    // that bound ends the goto even without a lock (a carrier too weak there).
    void start(double degrees, qint64 nowMs, int lowestMsPerDegree, bool speedKnown = false);
    void stop() { m_state = State::Idle; }
    // The user tuned another channel meanwhile: when its lock comes says
    // nothing of the motor.
    void retuned() { m_learnable = false; }
    bool watching() const { return m_state != State::Idle; }

    // One poll's readings (agcValid false: no level read).
    Event poll(qint64 nowMs, bool locked, bool agcValid, double agcPercent);
    // After Confirmed: the milliseconds a degree the move took, or 0 when the
    // move was too short to tell or the lock came before the dish could be
    // there.
    int measuredMsPerDegree() const { return m_measured; }

private:
    enum class State { Idle, Watching, Checking };
    bool settled(qint64 nowMs, bool locked, bool agcValid, double agcPercent);
    bool still(qint64 nowMs, bool agcValid, double agcPercent);

    State m_state = State::Idle;
    double m_degrees = 0;
    qint64 m_startMs = 0;
    qint64 m_earliestMs = 0;
    qint64 m_expectedMs = 0; // at the learnt speed
    qint64 m_latestMs = 0;
    qint64 m_arrivedMs = 0;
    // The level's spread over polls in a row, and since when it held.
    struct LevelBand
    {
        double low = 0, high = 0;
        int polls = 0;
        qint64 sinceMs = -1;
        bool add(qint64 nowMs, double level); // true once SettledPolls held
    };
    LevelBand m_locked; // over the polls locked in a row
    LevelBand m_level;  // locked or not
    bool m_speedKnown = false;
    bool m_learnable = true;

    qint64 m_lockedSinceMs = -1;
    int m_measured = 0;
};

// The motor's speed learnt from gotos, a figure for each supply voltage (it
// turns slower at 13 V): each new measurement moves it a third of the way, so
// that one odd goto does not spoil it. 0 while nothing was learnt.
int learnedMsPerDegree(int known, int measured);

} // namespace positioner
