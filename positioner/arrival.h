#pragma once

#include <QtGlobal>

namespace positioner {

// Seeing a goto end in the readings. The motor never says it has arrived, but
// the carrier of the satellite it was sent to does: it locks, and once the
// dish stands still the level stops rising. A lock in passing (a neighbour on
// the same frequency) comes before the dish can have got there, and is not
// taken; nor is one while the level still climbs.
class ArrivalWatch
{
public:
    // No dish motor turns faster than this.
    static constexpr double FastestDegPerSecond = 4.0;
    static constexpr double SlowestDegPerSecond = 0.3;
    // More than the level wanders at rest between two polls, less than it
    // rises while the beam comes in.
    static constexpr double SettledAgcPercent = 1.5;
    // Shorter moves say little of the motor's speed: the lock's own delay
    // and the poll's period weigh too much in them.
    static constexpr double LearnFromDeg = 3.0;

    // A goto over so many degrees starts now; expectedMsPerDegree (0: not
    // known) narrows when it can end.
    void start(double degrees, qint64 nowMs, int expectedMsPerDegree);
    void stop() { m_watching = false; }
    bool watching() const { return m_watching; }

    // One poll's readings (agcValid false: no level read). True once, when
    // the dish is taken to have arrived; the watch then ends.
    bool arrived(qint64 nowMs, bool locked, bool agcValid, double agcPercent);
    // After arrived(): the milliseconds a degree the move took, or 0 when
    // the move was too short to tell.
    int measuredMsPerDegree() const { return m_measured; }

private:
    bool m_watching = false;
    double m_degrees = 0;
    qint64 m_startMs = 0;
    qint64 m_earliestMs = 0;
    qint64 m_latestMs = 0;
    bool m_lastLocked = false;
    bool m_lastAgcValid = false;
    double m_lastAgc = 0;
    qint64 m_lockedSinceMs = -1;
    int m_measured = 0;
};

// The motor's speed learnt from gotos, a figure for each supply voltage (it
// turns slower at 13 V): each new measurement moves it part of the way, so
// that one odd goto does not spoil it. 0 while nothing was learnt.
int learnedMsPerDegree(int known, int measured);

} // namespace positioner
