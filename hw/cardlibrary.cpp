#include "hw/cardlibrary.h"

#include "hw/cardtrace.h"
#include "hw/logging.h"

#include <QStringList>

#include <utility>

namespace hw {
namespace {

struct LayerState
{
    std::unique_ptr<CardBackend> backend;
    Clock* clock = nullptr;
    SystemClock systemClock;
    std::unique_ptr<CardTrace> trace;
    bool open = false;
    // Events raised by the card during a bus transfer are written after the
    // transfer's own line, so that the trace reads in cause-and-effect order.
    bool inTransfer = false;
    QStringList heldEvents;
};

LayerState& state()
{
    static LayerState s;
    return s;
}

void traceEvent(const QString& event)
{
    LayerState& s = state();
    if (!s.trace)
        return;
    if (s.inTransfer)
        s.heldEvents.append(event);
    else
        s.trace->write(CardLayer::clock().nowMs(), event);
}

// Runs one bus transfer and traces it, followed by whatever it set off.
template <typename Transfer, typename Describe>
int tracedTransfer(Transfer transfer, Describe describe)
{
    LayerState& s = state();
    s.inTransfer = true;
    const int rc = transfer();
    s.inTransfer = false;
    if (s.trace) {
        traceEvent(describe(rc));
        const QStringList held = std::exchange(s.heldEvents, {});
        for (const QString& event : held)
            traceEvent(event);
    }
    s.heldEvents.clear();
    return rc;
}

QString withError(QString event, int rc)
{
    if (rc != 0)
        event += QStringLiteral(" ERR %1").arg(rc);
    return event;
}

int tracedBusRead(unsigned char device, const unsigned char* out, int outLength, unsigned char* in,
                  int inLength)
{
    CardBackend* backend = state().backend.get();
    return tracedTransfer(
        [&] { return backend ? backend->busRead(device, out, outLength, in, inLength) : -1; },
        [&](int rc) {
            QString event = QStringLiteral("RD %1").arg(device, 2, 16, QLatin1Char('0')).toUpper();
            if (outLength > 0)
                event += QLatin1Char(' ') + CardTrace::hexBytes(out, outLength);
            if (rc == 0 && inLength > 0)
                event += QLatin1Char(' ') + CardTrace::hexBytes(in, inLength);
            return withError(event, rc);
        });
}

int tracedBusWrite(unsigned char device, const unsigned char* data, int length)
{
    CardBackend* backend = state().backend.get();
    return tracedTransfer(
        [&] { return backend ? backend->busWrite(device, data, length) : -1; },
        [&](int rc) {
            QString event = QStringLiteral("WR %1").arg(device, 2, 16, QLatin1Char('0')).toUpper();
            if (length > 0)
                event += QLatin1Char(' ') + CardTrace::hexBytes(data, length);
            return withError(event, rc);
        });
}

} // namespace

void CardLayer::install(std::unique_ptr<CardBackend> backend, Clock* clock)
{
    LayerState& s = state();
    s.backend = std::move(backend);
    s.clock = clock;
    s.open = false;
    if (s.backend) {
        s.backend->diseqcTransmitted = [](const QByteArray& bytes) {
            traceEvent(QStringLiteral("DISEQC ") +
                       CardTrace::hexBytes(reinterpret_cast<const quint8*>(bytes.constData()),
                                           bytes.size()));
        };
        s.backend->traceNote = [](const QString& event) {
            traceEvent(event);
        };
    }
}

void CardLayer::uninstall()
{
    LayerState& s = state();
    s.backend.reset();
    s.clock = nullptr;
    s.open = false;
}

CardBackend* CardLayer::backend()
{
    return state().backend.get();
}

Clock& CardLayer::clock()
{
    LayerState& s = state();
    return s.clock ? *s.clock : s.systemClock;
}

bool CardLayer::isOpen()
{
    return state().open;
}

bool CardLayer::startTrace(const QString& path, QString* error)
{
    auto trace = std::make_unique<CardTrace>();
    if (!trace->open(path, error))
        return false;
    trace->setOrigin(clock().nowMs());
    state().trace = std::move(trace);
    return true;
}

void CardLayer::stopTrace()
{
    state().trace.reset();
}

CardTrace* CardLayer::trace()
{
    return state().trace.get();
}

} // namespace hw

using hw::CardLayer;

BusReadRoutine busRead = nullptr;
BusWriteRoutine busWrite = nullptr;

unsigned long CDVBCommon::OpenDevice(unsigned short index, const char* /*name*/, int /*flags*/)
{
    hw::CardBackend* backend = CardLayer::backend();
    if (!backend || index != 0 || !backend->open())
        return 0;
    hw::LayerState& s = hw::state();
    s.open = true;
    if (s.trace)
        s.trace->setOrigin(CardLayer::clock().nowMs());
    hw::traceEvent(QStringLiteral("OPEN"));
    return 1;
}

void CDVBCommon::CloseDevice()
{
    hw::LayerState& s = hw::state();
    if (!s.open)
        return;
    hw::traceEvent(QStringLiteral("CLOSE"));
    if (s.backend)
        s.backend->close();
    s.open = false;
}

DVB_ERROR CDVBFrontend::Init()
{
    hw::CardBackend* backend = CardLayer::backend();
    if (!backend || !CardLayer::isOpen())
        return DVB_ERR_NOT_OPEN;
    if (backend->initFrontend(&m_status) != 0)
        return DVB_ERR_FAILED;
    hw::traceEvent(QStringLiteral("INIT"));
    return DVB_ERR_NONE;
}

namespace {
hw::ChannelRecord channelRecord(const CDVBFrontend::_CHANNEL_TYPE& channel)
{
    hw::ChannelRecord record;
    record.frequencyKHz = channel.frequency;
    record.mode = channel.mode;
    record.symbolRate = channel.symbolRate;
    record.lofKHz = channel.lof;
    record.highBand = channel.highBand;
    record.voltage = channel.voltage;
    return record;
}

QString channelEvent(const QString& call, const CDVBFrontend::_CHANNEL_TYPE& channel)
{
    return QStringLiteral("%1 freq=%2 mode=%3 sr=%4 lof=%5 hi=%6 volt=%7")
        .arg(call)
        .arg(channel.frequency)
        .arg(channel.mode)
        .arg(channel.symbolRate)
        .arg(channel.lof)
        .arg(channel.highBand)
        .arg(channel.voltage);
}
} // namespace

DVB_ERROR CDVBFrontend::SetChannel(_CHANNEL_TYPE channel, int /*flags*/)
{
    hw::CardBackend* backend = CardLayer::backend();
    if (!backend || !CardLayer::isOpen())
        return DVB_ERR_NOT_OPEN;
    hw::traceEvent(channelEvent(QStringLiteral("FE_CHANNEL"), channel));
    return backend->setChannel(channelRecord(channel)) == 0 ? DVB_ERR_NONE : DVB_ERR_FAILED;
}

bool CDVBFrontend::ReceivesDvbS2() const
{
    hw::CardBackend* backend = CardLayer::backend();
    return backend && backend->receivesDvbS2();
}

DVB_ERROR CDVBFrontend::SetChannelFormat(_CHANNEL_TYPE channel, const hw::SignalFormat& format)
{
    hw::CardBackend* backend = CardLayer::backend();
    if (!backend || !CardLayer::isOpen())
        return DVB_ERR_NOT_OPEN;
    if (!backend->receivesDvbS2())
        return DVB_ERR_INVALID;
    QString event = channelEvent(QStringLiteral("FE_CHANNEL2"), channel) +
                    QStringLiteral(" sys=%1").arg(format.isS2() ? "S2" : "S");
    if (format.isS2())
        event +=
            QStringLiteral(" mod=%1 fec=%2 rolloff=%3 pilot=%4")
                .arg(hw::modcod::modulationName(format.modulation),
                     hw::modcod::rateText(format.rate), hw::modcod::rollOffText(format.rollOff))
                .arg(format.pilot == hw::Pilot::On    ? "on"
                     : format.pilot == hw::Pilot::Off ? "off"
                                                      : "auto");
    hw::traceEvent(event);
    return backend->setChannelFormat(channelRecord(channel), format) == 0 ? DVB_ERR_NONE
                                                                          : DVB_ERR_FAILED;
}

bool CDVBFrontend::GetLockedFormat(hw::SignalFormat* format) const
{
    hw::CardBackend* backend = CardLayer::backend();
    return backend && CardLayer::isOpen() && backend->lockedFormat(format);
}

DVB_ERROR CDVBFrontend::SendDiSEqCMsg(unsigned char* data, unsigned char length,
                                      unsigned char burst)
{
    hw::CardBackend* backend = CardLayer::backend();
    if (!backend || !CardLayer::isOpen())
        return DVB_ERR_NOT_OPEN;
    if (length > 6 || (length > 0 && !data))
        return DVB_ERR_INVALID;
    QString event = QStringLiteral("FE_DISEQC");
    if (length > 0)
        event += QLatin1Char(' ') + hw::CardTrace::hexBytes(data, length);
    hw::traceEvent(event + QStringLiteral(" BURST %1").arg(burst));
    return backend->sendDiseqc(data, length, burst) == 0 ? DVB_ERR_NONE : DVB_ERR_FAILED;
}

int locateBusRoutines()
{
    hw::CardBackend* backend = CardLayer::backend();
    if (!backend || !backend->busReachable())
        return -1;
    busRead = hw::tracedBusRead;
    busWrite = hw::tracedBusWrite;
    return 0;
}
