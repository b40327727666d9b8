#include "sim/simcard.h"

#include "hw/demodulatoraccess.h"
#include "sim/logging.h"

#include <QFileInfo>

namespace sim {

SimCard::SimCard(hw::Clock& clock, std::unique_ptr<SignalScene> scene, SimFaults faults)
    : m_clock(clock), m_scene(std::move(scene)), m_faults(std::move(faults)), m_demod(clock)
{
    if (!m_scene)
        m_scene = std::make_unique<FixedScene>();
    m_demod.setTransmitterStuck(m_faults.diseqcStuck);
    m_demod.setNoiseSeed(m_scene->noiseSeed());
    m_scene->note = [this](const QString& event) {
        if (traceNote)
            traceNote(event);
    };
    m_demod.setReceptionSource([this] { return m_scene->receive(tunerState(), m_clock.nowMs()); });
    m_demod.setMessageSink([this](const QByteArray& message) {
        if (diseqcTransmitted)
            diseqcTransmitted(message);
        // Without supply voltage nothing on the cable hears the message.
        if (m_lnb.powered())
            m_scene->masterCommand(message, tunerState(), m_clock.nowMs());
    });
    m_demod.setBurstSink([this](int burst) {
        if (m_lnb.powered())
            selectInput(burst);
    });
}

TunerState SimCard::tunerState() const
{
    TunerState state = m_tuner;
    state.lnbPowered = m_lnb.powered();
    state.voltage = m_lnb.voltage();
    state.secondGeneration = m_secondGeneration;
    return state;
}

bool SimCard::open()
{
    if (m_faults.failOpen)
        return false;
    m_open = true;
    m_openedAtMs = m_clock.nowMs();
    return true;
}

bool SimCard::gone() const
{
    if (!m_faults.vanishOnFile.isEmpty() && QFileInfo::exists(m_faults.vanishOnFile))
        return true;
    return m_faults.vanishAfterMs >= 0 && m_clock.nowMs() - m_openedAtMs >= m_faults.vanishAfterMs;
}

void SimCard::close()
{
    m_open = false;
    setLnbControl(0);
    m_tuner = TunerState{};
}

void SimCard::setLnbControl(quint8 control)
{
    const int before = m_lnb.voltage();
    m_lnb.control = control;
    if (m_lnb.voltage() != before)
        m_scene->supplyChanged(m_lnb.voltage(), m_clock.nowMs());
}

int SimCard::initFrontend(quint8* status)
{
    if (m_faults.failInit)
        return 1;
    if (status)
        *status = 0;
    return 0;
}

bool SimCard::failsOn(quint8 device, int reg) const
{
    if (m_faults.busErrorAll || gone())
        return true;
    if (device == lnbp21::BusAddress)
        return m_faults.busErrorLnb;
    return m_faults.busErrorRegisters.contains(reg);
}

int SimCard::busRead(quint8 device, const quint8* out, int outLength, quint8* in, int inLength)
{
    if (!m_open)
        return NotOpen;
    if (device == tda10086::BusAddress) {
        if (outLength < 1 || !out)
            return NoAcknowledge;
        quint8 reg = out[0];
        if (failsOn(device, reg))
            return m_faults.busErrorCode;
        for (int i = 0; i < inLength; ++i)
            in[i] = m_demod.read(reg++);
        return 0;
    }
    if (device == lnbp21::BusAddress) {
        if (failsOn(device, -1))
            return m_faults.busErrorCode;
        for (int i = 0; i < inLength; ++i)
            in[i] = m_lnb.control & 0xFC; // no over-current or over-temperature
        return 0;
    }
    return NoAcknowledge;
}

int SimCard::busWrite(quint8 device, const quint8* data, int length)
{
    if (!m_open)
        return NotOpen;
    if (length < 1 || !data)
        return NoAcknowledge;
    if (device == tda10086::BusAddress) {
        quint8 reg = data[0];
        if (failsOn(device, reg))
            return m_faults.busErrorCode;
        for (int i = 1; i < length; ++i)
            m_demod.write(reg++, data[i]);
        return 0;
    }
    if (device == lnbp21::BusAddress) {
        if (failsOn(device, -1))
            return m_faults.busErrorCode;
        // The band tone is the card's own business (set with the channel):
        // a control byte without the tone bit does not switch it off.
        setLnbControl(data[length - 1] & 0xFC);
        return 0;
    }
    return NoAcknowledge;
}

int SimCard::setChannelFormat(const hw::ChannelRecord& channel, const hw::SignalFormat&)
{
    // The demodulator searches both systems and reads the modcod off the air.
    return m_secondGeneration ? setChannel(channel) : 1;
}

bool SimCard::lockedFormat(hw::SignalFormat* format)
{
    if (!m_open || gone() || !m_secondGeneration)
        return false;
    return m_scene->lockedFormat(tunerState(), format);
}

int SimCard::setChannel(const hw::ChannelRecord& channel)
{
    if (!m_open)
        return NotOpen;
    if (gone())
        return m_faults.busErrorCode;
    const quint32 ifKHz = channel.frequencyKHz > channel.lofKHz
                              ? channel.frequencyKHz - channel.lofKHz
                              : channel.lofKHz - channel.frequencyKHz;
    if (ifKHz < MinIfKHz || ifKHz > MaxIfKHz || channel.symbolRate < MinSymbolRate ||
        channel.symbolRate > MaxSymbolRate) {
        qCDebug(lcSim, "SimCard: tuner cannot take IF %u kHz at %u sym/s", ifKHz,
                channel.symbolRate);
        return 1;
    }
    switch (channel.voltage) {
    case 13:
        setLnbControl((m_lnb.control & ~Lnbp21Model::Select18V) | Lnbp21Model::Enable);
        break;
    case 18:
        setLnbControl(m_lnb.control | Lnbp21Model::Enable | Lnbp21Model::Select18V);
        break;
    default:
        setLnbControl(m_lnb.control & ~(Lnbp21Model::Enable | Lnbp21Model::Select18V));
        break;
    }
    m_tuner.tone22k = channel.highBand != 0;
    m_tuner.tuned = true;
    m_tuner.ifKHz = ifKHz;
    m_tuner.symbolRate = channel.symbolRate;
    m_tuner.tunedAtMs = m_clock.nowMs();
    return 0;
}

int SimCard::sendDiseqc(const quint8* message, int length, int burst)
{
    if (!m_open)
        return NotOpen;
    if (m_faults.failDiseqc || gone())
        return 1;
    if (!m_lnb.powered())
        return 0; // sent, but nobody hears it
    if (length >= 4 && message && (message[0] & 0xFE) == 0xE0 && message[2] == 0x38) {
        // Committed switch: bit 2 selects position B, bit 3 option B.
        selectInput((message[3] >> 2) & 0x03);
    } else if (length > 0 && message) {
        m_scene->masterCommand(QByteArray(reinterpret_cast<const char*>(message), length),
                               tunerState(), m_clock.nowMs());
    }
    if (burst == 0 || burst == 1)
        selectInput(burst);
    return 0;
}

void SimCard::Stream::startNetworkRead(int timeLimitMs)
{
    m_startMs = m_card.m_clock.nowMs();
    m_limitMs = timeLimitMs;
}

hw::TransportStream::State SimCard::Stream::networkState(hw::NetworkInfo* info)
{
    if (m_startMs < 0)
        return State::None;
    const qint64 elapsed = m_card.m_clock.nowMs() - m_startMs;
    const bool locked = m_card.m_demod.peek(tda10086::RegStatus) & 0x10;
    if (elapsed >= NitAfterMs && locked && !m_card.gone() &&
        m_card.m_scene->network(m_card.tunerState(), info))
        return State::Found;
    return elapsed >= m_limitMs ? State::None : State::Reading;
}

} // namespace sim
