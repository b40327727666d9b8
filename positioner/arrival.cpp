#include "positioner/arrival.h"

#include <algorithm>
#include <cmath>

namespace positioner {

void ArrivalWatch::start(double degrees, qint64 nowMs, int lowestMsPerDegree, bool speedKnown)
{
    m_speedKnown = speedKnown;
    m_learnable = true;
    m_level.polls = 0;
    m_state = std::isfinite(degrees) ? State::Watching : State::Idle;
    m_degrees = std::abs(degrees);
    m_startMs = nowMs;
    const double lowest = std::max(1000.0 / FastestDegPerSecond, double(lowestMsPerDegree));
    m_expectedMs = nowMs + qint64(m_degrees * lowest / 0.9);
    m_earliestMs = nowMs + qint64(m_degrees * lowest);
    m_latestMs = nowMs + qint64(m_degrees * 1000.0 / SlowestDegPerSecond) + 10000;
    m_locked.polls = 0;
    m_lockedSinceMs = -1;
    m_measured = 0;
}

// A level beyond the band starts the count again from this poll.
bool ArrivalWatch::LevelBand::add(qint64 nowMs, double level)
{
    if (polls == 0 || std::max(high, level) - std::min(low, level) > SettledAgcPercent) {
        polls = 0;
        low = high = level;
        sinceMs = nowMs;
    }
    low = std::min(low, level);
    high = std::max(high, level);
    return ++polls >= SettledPolls;
}

// Locked for SettledPolls polls in a row with the level within its band.
bool ArrivalWatch::settled(qint64 nowMs, bool locked, bool agcValid, double agcPercent)
{
    if (!locked || !agcValid) {
        m_locked.polls = 0;
        m_lockedSinceMs = locked ? m_lockedSinceMs : -1;
        return false;
    }
    if (m_lockedSinceMs < 0)
        m_lockedSinceMs = nowMs;
    return m_locked.add(nowMs, agcPercent);
}

// The level within its band for a poll longer, locked or not.
bool ArrivalWatch::still(qint64 nowMs, bool agcValid, double agcPercent)
{
    if (!agcValid) {
        m_level.polls = 0;
        return false;
    }
    return m_level.add(nowMs, agcPercent) && m_level.polls > SettledPolls;
}

ArrivalWatch::Event ArrivalWatch::poll(qint64 nowMs, bool locked, bool agcValid, double agcPercent)
{
    if (m_state == State::Checking) {
        if (!locked) { // gone again: a neighbour passed on the way
            m_state = State::Watching;
            m_locked.polls = 0;
            m_lockedSinceMs = -1;
            return Event::Refuted;
        }
        if (nowMs - m_arrivedMs < ConfirmMs)
            return Event::None;
        m_state = State::Idle;
        // The dish got there when the level stopped rising (a strong
        // carrier locks a little before).
        const double ms = double(m_locked.sinceMs - m_startMs) / std::max(m_degrees, 1e-9);
        if (m_learnable && m_degrees >= LearnFromDeg && m_lockedSinceMs >= m_earliestMs &&
            ms <= 1000.0 / SlowestLearntDegPerSecond)
            m_measured = int(std::lround(ms));
        return Event::Confirmed;
    }
    if (m_state != State::Watching)
        return Event::None;
    if (nowMs > m_latestMs) { // it never showed: tuned to nothing there, or it stopped short
        m_state = State::Idle;
        return Event::None;
    }
    const bool lockSettled = settled(nowMs, locked, agcValid, agcPercent);
    // Without a lock the level alone says it only once the learnt time is up.
    const bool levelStill =
        still(nowMs, agcValid, agcPercent) && m_speedKnown && nowMs >= m_expectedMs;
    if (!(lockSettled || levelStill) || nowMs < m_earliestMs)
        return Event::None;
    if (!lockSettled) { // no lock to confirm it by, and nothing to learn from
        m_state = State::Idle;
        return Event::Arrived;
    }
    m_state = State::Checking;
    m_arrivedMs = nowMs;
    return Event::Arrived;
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
