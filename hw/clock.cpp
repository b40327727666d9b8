#include "hw/clock.h"

#include <QThread>

namespace hw {

SystemClock::SystemClock()
{
    m_timer.start();
}

qint64 SystemClock::nowMs() const
{
    return m_timer.elapsed();
}

void SystemClock::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void ManualClock::sleepMs(int ms)
{
    if (ms > 0)
        m_now += ms;
}

} // namespace hw
