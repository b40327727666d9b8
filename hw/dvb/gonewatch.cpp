#include "hw/dvb/gonewatch.h"

#include <cerrno>

namespace dvb {

GoneWatch::GoneWatch(const hw::Clock& clock, std::unique_ptr<FrontendDevice> device)
    : m_clock(clock), m_device(std::move(device))
{
}

template <typename Call>
int GoneWatch::watched(Call call)
{
    if (m_gone && !reopen())
        return ENODEV;
    const int rc = call();
    if (rc == ENODEV && m_open) {
        m_gone = true;
        m_triedAtMs = m_clock.nowMs();
        if (changed)
            changed(true);
    }
    return rc;
}

bool GoneWatch::reopen()
{
    const qint64 now = m_clock.nowMs();
    if (m_triedAtMs >= 0 && now >= m_triedAtMs && now - m_triedAtMs < ReopenEveryMs)
        return false;
    m_triedAtMs = now;
    m_device->close();
    FrontendInfo info;
    if (m_device->open() != 0)
        return false;
    // Open is not enough: the node can linger while the driver is gone.
    if (m_device->info(&info) != 0) {
        m_device->close();
        return false;
    }
    m_gone = false;
    if (changed)
        changed(false);
    return true;
}

int GoneWatch::open()
{
    const int rc = m_device->open();
    m_open = rc == 0;
    m_gone = false;
    return rc;
}

void GoneWatch::close()
{
    m_device->close();
    m_open = false;
    m_gone = false;
}

int GoneWatch::info(FrontendInfo* info)
{
    return watched([&] { return m_device->info(info); });
}

int GoneWatch::deliverySystems(QVector<quint32>* systems)
{
    return watched([&] { return m_device->deliverySystems(systems); });
}

int GoneWatch::setProperties(const QVector<std::pair<quint32, quint32>>& properties)
{
    return watched([&] { return m_device->setProperties(properties); });
}

int GoneWatch::getProperty(quint32 command, quint32* value)
{
    return watched([&] { return m_device->getProperty(command, value); });
}

int GoneWatch::readStatus(quint32* status)
{
    return watched([&] { return m_device->readStatus(status); });
}

int GoneWatch::statistics(Statistics* statistics)
{
    return watched([&] { return m_device->statistics(statistics); });
}

int GoneWatch::sendMasterCommand(const QByteArray& message)
{
    return watched([&] { return m_device->sendMasterCommand(message); });
}

int GoneWatch::sendBurst(int burst)
{
    return watched([&] { return m_device->sendBurst(burst); });
}

int GoneWatch::setTone(bool on)
{
    return watched([&] { return m_device->setTone(on); });
}

int GoneWatch::setVoltage(int volts)
{
    return watched([&] { return m_device->setVoltage(volts); });
}

int GoneWatch::enableHighVoltage(bool on)
{
    return watched([&] { return m_device->enableHighVoltage(on); });
}

} // namespace dvb
