#include "sim/tda10086model.h"

#include "hw/demodulatoraccess.h"
#include "sim/logging.h"
#include "sim/noise.h"

#include <algorithm>
#include <cmath>

namespace sim {

using namespace tda10086;

namespace {
constexpr quint8 RegChipId = 0x1E;
constexpr quint8 UcbEnable = 0x80;
} // namespace

Tda10086Model::Tda10086Model(const hw::Clock& clock) : m_clock(clock)
{
    m_regs[RegChipId] = ChipId;
    m_regs[RegAcquisition] = 0x35;
    m_regs[RegUcb] = UcbEnable;
    m_regs[RegSnr] = 0xFF;
    m_regs[RegAgc] = 0xFF;
    m_ucbSinceMs = clock.nowMs();
}

bool Tda10086Model::transmitterReady() const
{
    if (m_stuck && m_messagesSent > 0)
        return false;
    return m_clock.nowMs() >= m_readyAtMs;
}

void Tda10086Model::refreshMeasurements()
{
    // Reads within the same millisecond see one measurement, as the chip's
    // latched counters do: the three error-count bytes always belong together.
    const qint64 now = m_clock.nowMs();
    if (now == m_measuredAtMs)
        return;
    m_measuredAtMs = now;
    m_reception = m_source ? m_source() : Reception{};
    const Reception& r = m_reception;
    m_regs[RegStatus] = r.status;
    m_regs[RegCodeRate] = (m_regs[RegCodeRate] & 0x8F) | ((r.codeRate & 0x07) << 4);

    // The block counter runs while enabled and saturates at 127.
    if (m_regs[RegUcb] & UcbEnable) {
        m_ucbFraction += r.ucbPerSecond * double(now - m_ucbSinceMs) / 1000.0;
        const double whole = std::floor(m_ucbFraction);
        m_ucbFraction -= whole;
        const int count = int(std::min(127.0, (m_regs[RegUcb] & 0x7F) + whole));
        m_regs[RegUcb] = UcbEnable | quint8(count);
    }
    m_ucbSinceMs = now;
}

quint8 Tda10086Model::noisyRegister(quint8 reg, double level, double sigma)
{
    // Each register has its own noise stream, indexed by how often it has been
    // read: the n-th reading is the same in every run with the seed.
    const quint64 index = m_reads[reg]++;
    const double reading =
        sigma > 0 ? level + sigma * gaussianNoise(m_noiseSeed, reg, index) : level;
    return quint8(255 - std::clamp(std::lround(reading), 0L, 255L));
}

void Tda10086Model::latchErrorCount()
{
    // The low byte latches the whole 20-bit count, so the three bytes belong together.
    const double sigma = m_reception.berNoise;
    const double noise =
        sigma > 0 ? sigma * gaussianNoise(m_noiseSeed, RegBerLow, m_reads[RegBerLow]++) : 0.0;
    const quint32 ber =
        quint32(std::clamp(m_reception.berCount * (1.0 + noise), 0.0, double(0xFFFFF)));
    m_regs[RegBerLow] = ber & 0xFF;
    m_regs[RegBerMid] = (ber >> 8) & 0xFF;
    m_regs[RegBerHigh] = (m_regs[RegBerHigh] & 0xF0) | ((ber >> 16) & 0x0F);
}

quint8 Tda10086Model::read(quint8 reg)
{
    switch (reg) {
    case RegAgc:
        refreshMeasurements();
        m_regs[RegAgc] = noisyRegister(RegAgc, m_reception.agc, m_reception.agcNoise);
        break;
    case RegSnr:
        refreshMeasurements();
        m_regs[RegSnr] = noisyRegister(RegSnr, m_reception.snr, m_reception.snrNoise);
        break;
    case RegBerLow:
        refreshMeasurements();
        latchErrorCount();
        break;
    case RegStatus:
    case RegBerMid:
    case RegBerHigh:
    case RegCodeRate:
    case RegUcb:
        refreshMeasurements();
        break;
    case RegDiseqcReady:
        m_regs[RegDiseqcReady] = (m_regs[RegDiseqcReady] & 0xFE) | (transmitterReady() ? 1 : 0);
        break;
    default:
        break;
    }
    const auto pinned = m_pinned.constFind(reg);
    return pinned != m_pinned.constEnd() ? pinned.value() : m_regs[reg];
}

void Tda10086Model::write(quint8 reg, quint8 value)
{
    if (reg == RegUcb) {
        refreshMeasurements();
        m_measuredAtMs = -1; // the counter restarts: the next read measures afresh
        // 0x00 stops and clears the counter, 0x80 starts it again.
        // The part of a block under way is the signal's, not the counter's: it
        // survives a restart, or a poll that restarts the counter often would
        // never see a rate under one block a poll.
        m_regs[RegUcb] = (value & UcbEnable) ? quint8(UcbEnable | (m_regs[RegUcb] & 0x7F)) : 0;
        return;
    }
    m_regs[reg] = value;
    if (reg == RegDiseqcControl && (value & 0x0C))
        startTransmission(value);
}

void Tda10086Model::startTransmission(quint8 control)
{
    if (!transmitterReady()) {
        qCDebug(lcSim, "TDA10086: DiSEqC transmitter busy, message 0x%02x dropped", control);
        return;
    }
    const qint64 now = m_clock.nowMs();
    if (control & 0x08) {
        const int length = std::min(MaxDiseqcLength, ((control >> 4) & 0x07) + 1);
        QByteArray message;
        for (int i = 0; i < length; ++i)
            message.append(char(m_regs[RegDiseqcMessage + i]));
        m_readyAtMs = now + qint64(std::ceil(length * MsPerDiseqcByte)) + DiseqcGuardMs;
        ++m_messagesSent;
        if (m_messageSink)
            m_messageSink(message);
    } else {
        // 0x04: tone burst A, 0x06: data burst B.
        m_readyAtMs = now + BurstMs + DiseqcGuardMs;
        ++m_messagesSent;
        if (m_burstSink)
            m_burstSink((control & 0x02) ? 1 : 0);
    }
}

} // namespace sim
