#include "hw/dvb/dvbbackend.h"

#include "hw/dvb/dvbnetwork.h"

#include "hw/demodulatoraccess.h"
#include "hw/logging.h"

#include <cerrno>
#include <cstring>

namespace dvb {
namespace {

// DVB API v5 property commands and values (linux/dvb/frontend.h).
constexpr quint32 DtvTune = 1;
constexpr quint32 DtvClear = 2;
constexpr quint32 DtvFrequency = 3;
constexpr quint32 DtvSymbolRate = 8;
constexpr quint32 DtvInnerFec = 9;
constexpr quint32 DtvVoltage = 10;
constexpr quint32 DtvTone = 11;
constexpr quint32 DtvInversion = 6;
constexpr quint32 DtvDeliverySystem = 17;
constexpr quint32 SysDvbs = 5;
constexpr quint32 FecAuto = 9;
constexpr quint32 InversionAuto = 2;
constexpr quint32 SecVoltage13 = 0, SecVoltage18 = 1, SecVoltageOff = 2;
constexpr quint32 SecToneOn = 0, SecToneOff = 1;

QString reason(int error)
{
    switch (error) {
    case EBUSY:
        return QStringLiteral("busy: another program has it open");
    case EACCES:
    case EPERM:
        return QStringLiteral("not permitted: add yourself to the \"video\" group");
    case ENOENT:
    case ENODEV:
        return QStringLiteral("no such device");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

quint32 intermediateFrequencyKHz(const hw::ChannelRecord& channel)
{
    return channel.frequencyKHz > channel.lofKHz ? channel.frequencyKHz - channel.lofKHz
                                                 : channel.lofKHz - channel.frequencyKHz;
}

DvbBackend::DvbBackend(hw::Clock& clock, std::unique_ptr<FrontendDevice> device)
    : m_clock(clock), m_device(std::move(device)), m_registers(*m_device)
{
    m_registers.note = [this](const QString& event) {
        note(event);
    };
}

QString DvbBackend::description() const
{
    return m_info.name.isEmpty() ? m_device->path()
                                 : QStringLiteral("%1 (%2)").arg(m_info.name, m_device->path());
}

void DvbBackend::note(const QString& event)
{
    if (traceNote)
        traceNote(event);
}

bool DvbBackend::open()
{
    if (const int rc = m_device->open()) {
        m_openError = QStringLiteral("%1: %2").arg(m_device->path(), reason(rc));
        qCWarning(lcHw, "%s", qPrintable(m_openError));
        return false;
    }
    if (const int rc = m_device->info(&m_info)) {
        m_openError =
            QStringLiteral("%1: cannot ask what it is: %2").arg(m_device->path(), reason(rc));
        m_device->close();
        return false;
    }
    if (!m_info.satellite) {
        m_openError = QStringLiteral("%1 (%2) is not a satellite (DVB-S) frontend")
                          .arg(m_device->path(), m_info.name);
        qCWarning(lcHw, "%s", qPrintable(m_openError));
        m_device->close();
        return false;
    }
    m_open = true;
    note(QStringLiteral("FE_GET_INFO %1").arg(m_info.name));
    return true;
}

void DvbBackend::close()
{
    if (m_open) {
        m_device->setVoltage(0);
        m_device->close();
    }
    m_open = false;
}

int DvbBackend::initFrontend(quint8* status)
{
    quint32 fe = 0;
    const int rc = m_device->readStatus(&fe);
    if (status)
        *status = quint8(fe & 0x7F);
    return rc;
}

int DvbBackend::busRead(quint8 device, const quint8* out, int outLength, quint8* in, int inLength)
{
    if (!m_open)
        return EBADF;
    if (device == tda10086::BusAddress) {
        if (!out || outLength < 1)
            return EINVAL;
        quint8 reg = out[0];
        for (int i = 0; i < inLength; ++i)
            if (const int rc = m_registers.readDemodulator(reg++, &in[i]))
                return rc;
        return 0;
    }
    if (device == lnbp21::BusAddress) {
        for (int i = 0; i < inLength; ++i)
            m_registers.readSupply(&in[i]);
        return 0;
    }
    return ENXIO;
}

int DvbBackend::busWrite(quint8 device, const quint8* data, int length)
{
    if (!m_open)
        return EBADF;
    if (!data || length < 1)
        return EINVAL;
    if (device == tda10086::BusAddress) {
        quint8 reg = data[0];
        for (int i = 1; i < length; ++i)
            if (const int rc = m_registers.writeDemodulator(reg++, data[i]))
                return rc;
        return 0;
    }
    if (device == lnbp21::BusAddress)
        return m_registers.writeSupply(data[length - 1]);
    return ENXIO;
}

int DvbBackend::setChannel(const hw::ChannelRecord& channel)
{
    if (!m_open)
        return EBADF;
    const quint32 ifKHz = intermediateFrequencyKHz(channel);
    m_highBand = channel.highBand != 0;
    const quint32 voltage = channel.voltage == 13   ? SecVoltage13
                            : channel.voltage == 18 ? SecVoltage18
                                                    : SecVoltageOff;
    const QVector<std::pair<quint32, quint32>> properties = {
        {DtvClear, 0},          {DtvDeliverySystem, SysDvbs},
        {DtvVoltage, voltage},  {DtvTone, m_highBand ? SecToneOn : SecToneOff},
        {DtvFrequency, ifKHz},  {DtvSymbolRate, channel.symbolRate},
        {DtvInnerFec, FecAuto}, {DtvInversion, InversionAuto},
        {DtvTune, 0},
    };
    note(QStringLiteral("FE_SET_PROPERTY freq=%1 sr=%2 volt=%3 tone=%4")
             .arg(ifKHz)
             .arg(channel.symbolRate)
             .arg(channel.voltage)
             .arg(m_highBand ? QStringLiteral("on") : QStringLiteral("off")));
    return m_device->setProperties(properties);
}

int DvbBackend::sendDiseqc(const quint8* message, int length, int burst)
{
    if (!m_open)
        return EBADF;
    // Tone off, quiet, the message, quiet, the burst, quiet, then the band's tone.
    if (const int rc = m_device->setTone(false))
        return rc;
    m_clock.sleepMs(GuardMs);
    if (message && length > 0) {
        const QByteArray bytes(reinterpret_cast<const char*>(message), length);
        note(QStringLiteral("FE_DISEQC_SEND_MASTER_CMD ") +
             QString::fromLatin1(bytes.toHex(' ').toUpper()));
        if (const int rc = m_device->sendMasterCommand(bytes))
            return rc;
        m_clock.sleepMs(GuardMs);
    }
    if (burst == 0 || burst == 1) {
        note(QStringLiteral("FE_DISEQC_SEND_BURST %1").arg(burst ? 'B' : 'A'));
        if (const int rc = m_device->sendBurst(burst))
            return rc;
        m_clock.sleepMs(GuardMs);
    }
    return m_device->setTone(m_highBand);
}

hw::TransportStream* DvbBackend::transportStream()
{
    if (!m_stream) {
        const int adapter = adapterOf(m_device->path());
        if (adapter < 0)
            return nullptr;
        m_stream = std::make_unique<DemuxStream>(adapter);
    }
    return m_stream.get();
}

} // namespace dvb
