#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace hw {

// Time source for everything that talks to the card. Register traffic sleeps and
// measures milliseconds through it, so tests can run those waits on a clock they
// drive instead of on the wall clock.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0;
    virtual void sleepMs(int ms) = 0;
};

class SystemClock : public Clock
{
public:
    SystemClock();
    qint64 nowMs() const override;
    void sleepMs(int ms) override;

private:
    QElapsedTimer m_timer;
};

// A clock that only moves when told to; a sleep advances it at once.
class ManualClock : public Clock
{
public:
    qint64 nowMs() const override { return m_now; }
    void sleepMs(int ms) override;
    void advance(qint64 ms) { m_now += ms; }

private:
    qint64 m_now = 0;
};

// Measures elapsed time on a Clock, like QElapsedTimer does on the wall clock.
class Stopwatch
{
public:
    explicit Stopwatch(const Clock& clock) : m_clock(clock), m_start(clock.nowMs()) {}
    qint64 elapsed() const { return m_clock.nowMs() - m_start; }

private:
    const Clock& m_clock;
    qint64 m_start;
};

} // namespace hw
