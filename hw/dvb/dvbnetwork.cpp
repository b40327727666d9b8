#include "hw/dvb/dvbnetwork.h"

#include "hw/logging.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <libdvbv5/desc_network_name.h>
#include <libdvbv5/desc_sat.h>
#include <libdvbv5/desc_service.h>
#include <libdvbv5/descriptors.h>
#include <libdvbv5/dvb-demux.h>
#include <libdvbv5/dvb-fe.h>
#include <libdvbv5/nit.h>
#include <libdvbv5/sdt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/dvb/dmx.h>
#include <poll.h>
#include <unistd.h>

namespace dvb {

namespace {

constexpr uint8_t TableNit = 0x40;
constexpr uint16_t PidNit = 0x10;
constexpr uint8_t TableSdt = 0x42;
constexpr uint16_t PidSdt = 0x11;
constexpr uint8_t DescNetworkName = 0x40;
constexpr uint8_t DescSatellite = 0x43;
constexpr uint8_t DescService = 0x48;

// libdvbv5's parsers want a frontend structure for their log; one that belongs
// to no device serves for parsing.
dvb_v5_fe_parms* parserParms()
{
    static dvb_v5_fe_parms* parms = dvb_fe_dummy();
    return parms;
}

// The network's name, and the position in the satellite delivery descriptor
// of the transport stream the receiver is on (a network spans several
// positions); the first one's when that stream is not known.
void fromNit(const dvb_table_nit* nit, const Transport& tuned, hw::NetworkInfo* info)
{
    info->networkId = nit->header.id;
    for (dvb_desc* d = nit->descriptor; d; d = d->next)
        if (d->type == DescNetworkName) {
            const auto* name = reinterpret_cast<const dvb_desc_network_name*>(d);
            if (name->network_name)
                info->name = QString::fromUtf8(name->network_name).trimmed();
        }
    for (const dvb_table_nit_transport* t = nit->transport; t; t = t->next) {
        if (tuned.known &&
            (t->transport_id != tuned.transportId || t->network_id != tuned.originalNetworkId))
            continue;
        for (dvb_desc* d = t->descriptor; d; d = d->next)
            if (d->type == DescSatellite && std::isnan(info->orbitalPosition)) {
                const auto* sat = reinterpret_cast<const dvb_desc_sat*>(d);
                // Tenths of a degree; the flag is set for east.
                info->orbitalPosition = sat->orbit / 10.0 * (sat->west_east ? 1 : -1);
            }
    }
}

QStringList fromSdt(const dvb_table_sdt* sdt)
{
    QStringList providers;
    for (const dvb_table_sdt_service* s = sdt->service; s; s = s->next)
        for (dvb_desc* d = s->descriptor; d; d = d->next)
            if (d->type == DescService) {
                const auto* service = reinterpret_cast<const dvb_desc_service*>(d);
                const QString provider =
                    service->provider ? QString::fromUtf8(service->provider).trimmed() : QString();
                if (!provider.isEmpty() && !providers.contains(provider))
                    providers.append(provider);
            }
    return providers;
}

} // namespace

int length12(const QByteArray& b, int at)
{
    return ((uint8_t(b.at(at)) & 0x0F) << 8) | uint8_t(b.at(at + 1));
}

// A descriptor loop that fits its place. An extension descriptor (0x7F) needs
// its extension tag: libdvbv5 asks for 2^64 bytes of memory for an empty one.
bool descriptorsFit(const QByteArray& b, int at, int length, int end)
{
    if (length < 0 || at + length > end)
        return false;
    const int stop = at + length;
    while (at < stop) {
        if (at + 2 > stop)
            return false;
        const uint8_t tag = uint8_t(b.at(at));
        const int size = uint8_t(b.at(at + 1));
        if (at + 2 + size > stop || (tag == 0x7F && size == 0))
            return false;
        at += 2 + size;
    }
    return true;
}

// A whole section of the table, its loops within it, before the CRC.
bool wholeSection(const QByteArray& b, uint8_t table)
{
    if (b.size() < 12 || uint8_t(b.at(0)) != table)
        return false;
    const int sectionEnd = 3 + length12(b, 1);
    if (sectionEnd > b.size() || sectionEnd < 12)
        return false;
    const int end = sectionEnd - 4; // the CRC
    if (table == TableNit) {
        const int network = length12(b, 8);
        if (!descriptorsFit(b, 10, network, end))
            return false;
        int at = 10 + network;
        if (at + 2 > end)
            return false;
        const int loopEnd = at + 2 + length12(b, at);
        if (loopEnd > end)
            return false;
        for (at += 2; at < loopEnd;) {
            if (at + 6 > loopEnd)
                return false;
            const int length = length12(b, at + 4);
            if (!descriptorsFit(b, at + 6, length, loopEnd))
                return false;
            at += 6 + length;
        }
        return true;
    }
    for (int at = 11; at < end;) { // SDT services
        if (at + 5 > end)
            return false;
        const int length = length12(b, at + 3);
        if (!descriptorsFit(b, at + 5, length, end))
            return false;
        at += 5 + length;
    }
    return true;
}

// The section rebuilt with only the descriptors read here (network name and
// satellite delivery in a NIT, service in an SDT): libdvbv5 mishandles some
// others when they are malformed, and what is not handed to it cannot hurt.
// Call on a section wholeSection() accepted.
QByteArray keepOnly(const QByteArray& b, uint8_t table)
{
    auto kept = [&b](int at, int length, std::initializer_list<uint8_t> tags) {
        QByteArray out;
        for (int i = at; i < at + length; i += 2 + uint8_t(b.at(i + 1)))
            for (uint8_t tag : tags)
                if (uint8_t(b.at(i)) == tag)
                    out += b.mid(i, 2 + uint8_t(b.at(i + 1)));
        return out;
    };
    auto withLength = [](const QByteArray& head, int flagsByte, const QByteArray& body) {
        QByteArray out = head;
        out.append(char((flagsByte & 0xF0) | ((body.size() >> 8) & 0x0F)));
        out.append(char(body.size() & 0xFF));
        return out + body;
    };
    const int end = 3 + length12(b, 1) - 4;
    QByteArray body; // from byte 3 to the CRC
    if (table == TableNit) {
        body = b.mid(3, 5);
        const int network = length12(b, 8);
        body = withLength(body, uint8_t(b.at(8)), kept(10, network, {DescNetworkName}));
        QByteArray transports;
        int at = 10 + network;
        const int loopEnd = at + 2 + length12(b, at);
        for (at += 2; at < loopEnd; at += 6 + length12(b, at + 4))
            transports += withLength(b.mid(at, 4), uint8_t(b.at(at + 4)),
                                     kept(at + 6, length12(b, at + 4), {DescSatellite}));
        body = withLength(body, uint8_t(b.at(10 + network)), transports);
    } else {
        body = b.mid(3, 8);
        for (int at = 11; at < end; at += 5 + length12(b, at + 3))
            body += withLength(b.mid(at, 3), uint8_t(b.at(at + 3)),
                               kept(at + 5, length12(b, at + 3), {DescService}));
    }
    const int length = body.size() + 4;
    QByteArray out;
    out.append(char(table));
    out.append(char((uint8_t(b.at(1)) & 0xF0) | ((length >> 8) & 0x0F)));
    out.append(char(length & 0xFF));
    // The CRC is not checked by the parsers; the demux has checked it already.
    return out + body + QByteArray(4, '\0');
}

bool networkFromNit(const QByteArray& raw, hw::NetworkInfo* info, const Transport& tuned)
{
    if (!wholeSection(raw, TableNit))
        return false;
    const QByteArray section = keepOnly(raw, TableNit);
    dvb_table_nit* nit = nullptr;
    // Without the CRC, which the parsers do not expect.
    if (dvb_table_nit_init(parserParms(), reinterpret_cast<const uint8_t*>(section.constData()),
                           section.size() - 4, &nit) < 0 ||
        !nit)
        return false; // a half-made table cannot be freed safely: libdvbv5 keeps it
    *info = hw::NetworkInfo();
    fromNit(nit, tuned, info);
    dvb_table_nit_free(nit);
    return true;
}

Transport transportFromSdt(const QByteArray& raw)
{
    Transport transport;
    if (!wholeSection(raw, TableSdt))
        return transport;
    const QByteArray section = keepOnly(raw, TableSdt);
    dvb_table_sdt* sdt = nullptr;
    if (dvb_table_sdt_init(parserParms(), reinterpret_cast<const uint8_t*>(section.constData()),
                           section.size() - 4, &sdt) < 0 ||
        !sdt)
        return transport;
    transport = Transport{true, sdt->header.id, sdt->network_id};
    dvb_table_sdt_free(sdt);
    return transport;
}

QStringList providersFromSdt(const QByteArray& raw)
{
    if (!wholeSection(raw, TableSdt))
        return {};
    const QByteArray section = keepOnly(raw, TableSdt);
    dvb_table_sdt* sdt = nullptr;
    if (dvb_table_sdt_init(parserParms(), reinterpret_cast<const uint8_t*>(section.constData()),
                           section.size() - 4, &sdt) < 0 ||
        !sdt)
        return {};
    const QStringList providers = fromSdt(sdt);
    dvb_table_sdt_free(sdt);
    return providers;
}

int adapterOf(const QString& frontendPath)
{
    static const QRegularExpression adapter(QStringLiteral("/adapter(\\d+)/frontend\\d+$"));
    const auto m = adapter.match(frontendPath);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

DemuxStream::~DemuxStream()
{
    stop();
}

void DemuxStream::stop()
{
    m_abort = true; // a read under way ends within 200 ms
    if (m_thread.joinable())
        m_thread.join();
    m_abort = false;
}

void DemuxStream::startNetworkRead(int timeLimitMs)
{
    stop();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state = State::Reading;
        m_info = hw::NetworkInfo();
    }
    m_thread = std::thread([this, timeLimitMs] { read(timeLimitMs); });
}

namespace {

// One section of a table from the demux, or empty at the deadline or on abort.
QByteArray readSection(int fd, uint16_t pid, uint8_t table, qint64 deadlineMs,
                       const std::atomic<bool>& abort)
{
    unsigned char filter[1] = {table};
    unsigned char mask[1] = {0xFF};
    if (dvb_set_section_filter(fd, pid, 1, filter, mask, nullptr,
                               DMX_IMMEDIATE_START | DMX_CHECK_CRC) < 0)
        return {};
    QElapsedTimer timer;
    timer.start();
    QByteArray buffer(4096, '\0');
    while (!abort && timer.elapsed() < deadlineMs) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (n > 0)
            return buffer.left(int(n));
        // A device that went away fails at once, again and again: give up.
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EOVERFLOW)
            return {};
    }
    return {};
}

} // namespace

void DemuxStream::read(int timeLimitMs)
{
    hw::NetworkInfo info;
    bool found = false;
    // Opened by its path: libdvbv5's lookup asks udev, which a container or a
    // system without it does not have.
    const QByteArray path =
        QStringLiteral("/dev/dvb/adapter%1/demux0").arg(m_adapter).toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        qCDebug(lcHw, "Network: %s cannot be opened: %s", path.constData(), std::strerror(errno));
    } else {
        // The SDT first (it comes every 2 s): it names the stream this is.
        const QByteArray sdt = readSection(fd, PidSdt, TableSdt, 3000, m_abort);
        const QByteArray nit = readSection(fd, PidNit, TableNit, timeLimitMs, m_abort);
        found = networkFromNit(nit, &info, transportFromSdt(sdt));
        if (found)
            info.providers = providersFromSdt(sdt);
        ::close(fd);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info = info;
    m_state = found ? State::Found : State::None;
}

hw::TransportStream::State DemuxStream::networkState(hw::NetworkInfo* info)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_state == State::Found)
        *info = m_info;
    return m_state;
}

} // namespace dvb
