#include "positioner/arrival.h"

#include <algorithm>
#include <cmath>

namespace positioner {

void ArrivalWatch::start(double degrees, qint64 nowMs, int expectedMsPerDegree)
{
    m_watching = std::isfinite(degrees);
    m_degrees = std::abs(degrees);
    m_startMs = nowMs;
    double earliestMs = m_degrees * 1000.0 / FastestDegPerSecond;
    if (expectedMsPerDegree > 0) // two thirds of what it took before, at the least
        earliestMs = std::max(earliestMs, m_degrees * expectedMsPerDegree * 2.0 / 3.0);
    m_earliestMs = nowMs + qint64(earliestMs);
    m_latestMs = nowMs + qint64(m_degrees * 1000.0 / SlowestDegPerSecond) + 10000;
    m_lastLocked = false;
    m_lastAgcValid = false;
    m_lockedSinceMs = -1;
    m_measured = 0;
}

bool ArrivalWatch::arrived(qint64 nowMs, bool locked, bool agcValid, double agcPercent)
{
    if (!m_watching)
        return false;
    if (nowMs > m_latestMs) { // it never showed: tuned to nothing there, or it stopped short
        m_watching = false;
        return false;
    }
    if (locked && m_lockedSinceMs < 0)
        m_lockedSinceMs = nowMs;
    if (!locked)
        m_lockedSinceMs = -1;
    const bool settled = locked && m_lastLocked && agcValid && m_lastAgcValid &&
                         std::abs(agcPercent - m_lastAgc) <= SettledAgcPercent;
    m_lastLocked = locked;
    m_lastAgcValid = agcValid;
    m_lastAgc = agcPercent;
    if (!settled || nowMs < m_earliestMs)
        return false;
    m_watching = false;
    // The dish got there about when the lock came; a lock older than the
    // earliest arrival belongs to something else, and times nothing.
    if (m_degrees >= LearnFromDeg && m_lockedSinceMs >= m_earliestMs)
        m_measured = int(std::lround(double(m_lockedSinceMs - m_startMs) / m_degrees));
    return true;
}

int learnedMsPerDegree(int known, int measured)
{
    if (measured <= 0)
        return known;
    if (known <= 0)
        return measured;
    return int(std::lround(known + (measured - known) / 3.0));
}

} // namespace positioner
