#pragma once

#include "hw/transportstream.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

namespace dvb {

// The transport stream a section of the SDT (actual) describes: its id and
// its original network's.
struct Transport
{
    bool known = false;
    quint16 transportId = 0;
    quint16 originalNetworkId = 0;
};
Transport transportFromSdt(const QByteArray& section);

// The network information of a NIT section (table 0x40) as it comes off the
// demux: network id, the network name descriptor, and the orbital position of
// the tuned transport stream's satellite delivery descriptor (the first
// one's when the stream is not known; none when the NIT does not list it).
// False when it is not a NIT.
bool networkFromNit(const QByteArray& section, hw::NetworkInfo* info, const Transport& tuned = {});
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
