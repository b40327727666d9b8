#pragma once

#include "hw/transportstream.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

namespace dvb {

// The network information of a NIT section (table 0x40) as it comes off the
// demux: network id, the network name descriptor, and the orbital position of
// the first satellite delivery descriptor. False when it is not one.
bool networkFromNit(const QByteArray& section, hw::NetworkInfo* info);
// The service providers named in an SDT section (table 0x42), each once.
QStringList providersFromSdt(const QByteArray& section);

// The demux of a Linux DVB adapter, read with libdvbv5 on a thread of its own
// so that the window keeps polling while a NIT is awaited.
class DemuxStream : public hw::TransportStream
{
public:
    explicit DemuxStream(int adapter) : m_adapter(adapter) {}
    ~DemuxStream() override;

    void startNetworkRead(int timeLimitMs) override;
    State networkState(hw::NetworkInfo* info) override;

private:
    void stop();
    void read(int timeLimitMs);

    int m_adapter;
    std::thread m_thread;
    std::mutex m_mutex;
    State m_state = State::None;
    hw::NetworkInfo m_info;
    std::atomic<bool> m_abort{false};
};

// The adapter number of a frontend's device path ("/dev/dvb/adapter1/frontend0"), or -1.
int adapterOf(const QString& frontendPath);

} // namespace dvb
