#pragma once

#include "hw/clock.h"
#include "hw/dvb/frontenddevice.h"

#include <functional>
#include <memory>

namespace dvb {

// A frontend that may be pulled out while the program runs: the first call
// that finds it gone (ENODEV) says so, and from then on each call tries, at
// most once a second, to open it again; the calls fail until it is back.
class GoneWatch : public FrontendDevice
{
public:
    static constexpr int ReopenEveryMs = 1000;

    GoneWatch(const hw::Clock& clock, std::unique_ptr<FrontendDevice> device);

    bool gone() const { return m_gone; }
    FrontendDevice& inner() { return *m_device; }
    // Called when the device goes (true) and when it is back (false).
    std::function<void(bool gone)> changed;

    QString path() const override { return m_device->path(); }
    int open() override;
    void close() override;
    int info(FrontendInfo* info) override;
    int deliverySystems(QVector<quint32>* systems) override;
    int setProperties(const QVector<std::pair<quint32, quint32>>& properties) override;
    int getProperty(quint32 command, quint32* value) override;
    int readStatus(quint32* status) override;
    int statistics(Statistics* statistics) override;
    int sendMasterCommand(const QByteArray& message) override;
    int sendBurst(int burst) override;
    int setTone(bool on) override;
    int setVoltage(int volts) override;
    int enableHighVoltage(bool on) override;

private:
    // Runs a call unless the device is gone and cannot be had back yet.
    template <typename Call>
    int watched(Call call);
    bool reopen();

    const hw::Clock& m_clock;
    std::unique_ptr<FrontendDevice> m_device;
    bool m_gone = false;
    bool m_open = false;
    qint64 m_triedAtMs = -1;
};

} // namespace dvb
