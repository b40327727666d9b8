#pragma once

#include "hw/dvb/frontenddevice.h"

#include <array>

namespace dvb {

// A frontend device node driven with the Linux DVB API v5 ioctls. Opened
// non-blocking, so that no call waits on a driver that has hung.
class LinuxFrontend : public FrontendDevice
{
public:
    // Read-only: enough to ask what the device is, without taking it from a
    // program that is using it.
    explicit LinuxFrontend(QString path, bool readOnly = false);
    ~LinuxFrontend() override;

    QString path() const override { return m_path; }
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

    // Every frontend node under /dev/dvb, in order.
    static QStringList devicePaths();

private:
    enum class Source { Undecided, V5, Legacy };
    void readLegacy(Statistics* statistics);

    QString m_path;
    int m_fd = -1;
    bool m_readOnly = false;
    // Strength, C/N, error bits, bits, blocks: where each is read from.
    std::array<Source, 5> m_sources{};
};

} // namespace dvb
