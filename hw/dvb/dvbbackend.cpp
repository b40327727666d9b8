#include "hw/dvb/dvbbackend.h"

#include "hw/dvb/dvbnetwork.h"
#include "hw/dvb/gonewatch.h"

#include "hw/demodulatoraccess.h"
#include "hw/logging.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>

namespace dvb {
namespace {

// DVB API v5 property commands and values (linux/dvb/frontend.h).
constexpr quint32 DtvTune = 1;
constexpr quint32 DtvClear = 2;
constexpr quint32 DtvFrequency = 3;
constexpr quint32 DtvModulation = 4;
constexpr quint32 DtvSymbolRate = 8;
constexpr quint32 DtvInnerFec = 9;
constexpr quint32 DtvVoltage = 10;
constexpr quint32 DtvTone = 11;
constexpr quint32 DtvPilot = 12;
constexpr quint32 DtvRollOff = 13;
constexpr quint32 DtvInversion = 6;
constexpr quint32 DtvDeliverySystem = 17;
constexpr quint32 SysDvbs = 5, SysDvbs2 = 6;
constexpr quint32 FecAuto = 9;
constexpr quint32 QamAuto = 6;
constexpr quint32 RollOffAuto = 3;
constexpr quint32 PilotAuto = 2;
constexpr quint32 InversionAuto = 2;
constexpr quint32 SecVoltage13 = 0, SecVoltage18 = 1, SecVoltageOff = 2;
constexpr quint32 SecToneOn = 0, SecToneOff = 1;
constexpr quint32 FeHasLock = 0x10;

// Our formats and the kernel's enum values; what a table lacks is "auto".
template <typename T>
using KernelTable = std::initializer_list<std::pair<T, quint32>>;

const KernelTable<hw::Modulation> Modulations = {{hw::Modulation::Qpsk, 0},
                                                 {hw::Modulation::Psk8, 9},
                                                 {hw::Modulation::Apsk16, 10},
                                                 {hw::Modulation::Apsk32, 11}};
// The kernel has no value for DVB-S2's 1/4 and 1/3: the demodulator finds them.
const KernelTable<hw::CodeRate> Rates = {{{1, 2}, 1},  {{2, 3}, 2},   {{3, 4}, 3}, {{4, 5}, 4},
                                         {{5, 6}, 5},  {{6, 7}, 6},   {{7, 8}, 7}, {{8, 9}, 8},
                                         {{3, 5}, 10}, {{9, 10}, 11}, {{2, 5}, 12}};
const KernelTable<hw::RollOff> RollOffs = {
    {hw::RollOff::R35, 0}, {hw::RollOff::R20, 1}, {hw::RollOff::R25, 2}};
const KernelTable<hw::Pilot> Pilots = {{hw::Pilot::On, 0}, {hw::Pilot::Off, 1}};

template <typename T>
quint32 toKernel(const KernelTable<T>& table, const T& value, quint32 automatic)
{
    for (const auto& entry : table)
        if (entry.first == value)
            return entry.second;
    return automatic;
}

template <typename T>
T fromKernel(const KernelTable<T>& table, quint32 value, const T& automatic)
{
    for (const auto& entry : table)
        if (entry.second == value)
            return entry.first;
    return automatic;
}

quint32 secVoltage(quint32 volts)
{
    return volts == 13 ? SecVoltage13 : volts == 18 ? SecVoltage18 : SecVoltageOff;
}

} // namespace

QString openErrorReason(int error)
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

quint32 intermediateFrequencyKHz(const hw::ChannelRecord& channel)
{
    return channel.frequencyKHz > channel.lofKHz ? channel.frequencyKHz - channel.lofKHz
                                                 : channel.lofKHz - channel.frequencyKHz;
}

int identifyFrontend(FrontendDevice& device, FrontendInfo* info)
{
    if (const int rc = device.info(info))
        return rc;
    QVector<quint32> systems;
    if (device.deliverySystems(&systems) == 0 && !systems.isEmpty()) {
        info->satellite = systems.contains(SysDvbs) || systems.contains(SysDvbs2);
        info->dvbS2 = systems.contains(SysDvbs2);
    }
    return 0;
}

DvbBackend::DvbBackend(hw::Clock& clock, std::unique_ptr<FrontendDevice> device)
    : m_clock(clock), m_watch(new GoneWatch(clock, std::move(device))), m_device(m_watch),
      m_registers(*m_device, clock)
{
    m_watch->changed = [this](bool gone) {
        note(gone ? QStringLiteral("FRONTEND GONE") : QStringLiteral("FRONTEND BACK"));
        m_volts = 0; // what the cable carries is not known now
        m_supplyOff = false;
    };
    m_registers.note = [this](const QString& event) {
        note(event);
    };
    m_registers.sendDiseqc = [this](const QByteArray& message, int burst) {
        return guardedDiseqc(message, burst);
    };
    m_registers.setSupply = [this](int volts) {
        return setSupply(volts);
    };
}

bool DvbBackend::present() const
{
    return !m_watch->gone();
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
        m_openError = QStringLiteral("%1: %2").arg(m_device->path(), openErrorReason(rc));
        qCWarning(lcHw, "%s", qPrintable(m_openError));
        return false;
    }
    if (const int rc = identifyFrontend(*m_device, &m_info)) {
        m_openError = QStringLiteral("%1: cannot ask what it is: %2")
                          .arg(m_device->path(), openErrorReason(rc));
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
    m_volts = 0;
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
    const quint32 voltage = secVoltage(channel.voltage);
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
    const int rc = m_device->setProperties(properties);
    if (rc == 0)
        tuned(channel);
    return rc;
}

int DvbBackend::setChannelFormat(const hw::ChannelRecord& channel, const hw::SignalFormat& format)
{
    if (!format.isS2())
        return setChannel(channel);
    if (!m_open)
        return EBADF;
    if (!m_info.dvbS2)
        return EOPNOTSUPP;
    const quint32 ifKHz = intermediateFrequencyKHz(channel);
    m_highBand = channel.highBand != 0;
    const quint32 tone = m_highBand ? SecToneOn : SecToneOff;
    const QVector<std::pair<quint32, quint32>> properties = {
        {DtvClear, 0},
        {DtvDeliverySystem, SysDvbs2},
        {DtvVoltage, secVoltage(channel.voltage)},
        {DtvTone, tone},
        {DtvFrequency, ifKHz},
        {DtvSymbolRate, channel.symbolRate},
        {DtvModulation, toKernel(Modulations, format.modulation, QamAuto)},
        {DtvInnerFec, toKernel(Rates, format.rate, FecAuto)},
        {DtvRollOff, toKernel(RollOffs, format.rollOff, RollOffAuto)},
        {DtvPilot, toKernel(Pilots, format.pilot, PilotAuto)},
        {DtvInversion, InversionAuto},
        {DtvTune, 0},
    };
    const auto orAuto = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("auto") : text;
    };
    note(QStringLiteral("FE_SET_PROPERTY S2 freq=%1 sr=%2 volt=%3 tone=%4 mod=%5 fec=%6 "
                        "rolloff=%7 pilot=%8")
             .arg(ifKHz)
             .arg(channel.symbolRate)
             .arg(channel.voltage)
             .arg(m_highBand ? QStringLiteral("on") : QStringLiteral("off"),
                  orAuto(hw::modcod::modulationName(format.modulation)),
                  orAuto(hw::modcod::rateText(format.rate)),
                  orAuto(hw::modcod::rollOffText(format.rollOff)),
                  format.pilot == hw::Pilot::On    ? QStringLiteral("on")
                  : format.pilot == hw::Pilot::Off ? QStringLiteral("off")
                                                   : QStringLiteral("auto")));
    const int rc = m_device->setProperties(properties);
    if (rc == 0)
        tuned(channel);
    return rc;
}

bool DvbBackend::lockedFormat(hw::SignalFormat* format)
{
    quint32 status = 0;
    quint32 system = 0;
    if (!m_open || !format || m_device->readStatus(&status) || !(status & FeHasLock) ||
        m_device->getProperty(DtvDeliverySystem, &system) || system != SysDvbs2)
        return false;
    // A value the driver does not give stays unknown rather than guessed.
    const auto read = [this](quint32 command) {
        quint32 value = 0;
        return m_device->getProperty(command, &value) == 0 ? value : ~0u;
    };
    hw::SignalFormat locked;
    locked.system = hw::DeliverySystem::DvbS2;
    locked.modulation = fromKernel(Modulations, read(DtvModulation), hw::Modulation::Auto);
    locked.rate = fromKernel(Rates, read(DtvInnerFec), hw::CodeRate{});
    locked.pilot = fromKernel(Pilots, read(DtvPilot), hw::Pilot::Auto);
    locked.rollOff = fromKernel(RollOffs, read(DtvRollOff), hw::RollOff::Auto);
    *format = locked;
    return true;
}

void DvbBackend::tuned(const hw::ChannelRecord& channel)
{
    m_volts = int(channel.voltage == 13 || channel.voltage == 18 ? channel.voltage : 0);
    m_supplyOff = m_volts == 0;
    if (m_volts)
        m_lastVolts = m_volts;
}

int DvbBackend::setSupply(int volts)
{
    if (volts == m_volts)
        return 0; // the tune's properties set it already
    note(QStringLiteral("FE_SET_VOLTAGE %1").arg(volts));
    if (const int rc = m_device->setVoltage(volts))
        return rc;
    m_volts = volts;
    m_supplyOff = volts == 0;
    if (volts)
        m_lastVolts = volts;
    return 0;
}

int DvbBackend::sendDiseqc(const quint8* message, int length, int burst)
{
    if (!m_open)
        return EBADF;
    const QByteArray bytes = message && length > 0
                                 ? QByteArray(reinterpret_cast<const char*>(message), length)
                                 : QByteArray();
    return guardedDiseqc(bytes, burst);
}

int DvbBackend::guardedDiseqc(const QByteArray& message, int burst)
{
    // Powered first: a committed switch for the polarisation its command names,
    // anything else at the last voltage; an LNB the user switched off stays off.
    int volts = m_volts;
    if (message.size() >= 4 && quint8(message.at(2)) == 0x38)
        volts = (quint8(message.at(3)) & 0x02) ? 18 : 13;
    else if (volts == 0 && !m_supplyOff)
        volts = m_lastVolts;
    if (volts != m_volts && !(m_supplyOff && m_volts == 0)) {
        if (const int rc = setSupply(volts))
            return rc;
    }
    // Tone off, quiet, the message, quiet, the burst, quiet, then the band's tone.
    if (const int rc = m_device->setTone(false))
        return rc;
    m_clock.sleepMs(GuardMs);
    if (!message.isEmpty()) {
        note(QStringLiteral("FE_DISEQC_SEND_MASTER_CMD ") +
             QString::fromLatin1(message.toHex(' ').toUpper()));
        if (const int rc = m_device->sendMasterCommand(message))
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
