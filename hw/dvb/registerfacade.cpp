#include "hw/dvb/registerfacade.h"

#include "hw/demodulatoraccess.h"

#include <algorithm>
#include <cmath>

namespace dvb {
namespace scales {

namespace {
quint8 fromMeter(double meter)
{
    return quint8(255 - std::clamp(std::lround(meter), 0L, 255L));
}
} // namespace

bool agcRegister(const Stat& strength, quint8* reg)
{
    switch (strength.scale) {
    case Scale::Relative:
        *reg = fromMeter(double(std::clamp<qint64>(strength.value, 0, 65535)) * 255 / 65535);
        return true;
    case Scale::Decibel: {
        const double dbm = strength.value / 1000.0;
        *reg = fromMeter((dbm + 85.0) * 255.0 / 60.0);
        return true;
    }
    default:
        return false;
    }
}

bool snrRegister(const Stat& cnr, quint8* reg)
{
    switch (cnr.scale) {
    case Scale::Relative:
        *reg = fromMeter(double(std::clamp<qint64>(cnr.value, 0, 65535)) * 255 / 65535);
        return true;
    case Scale::Decibel:
        *reg = fromMeter(40.0 + 9.0 * cnr.value / 1000.0);
        return true;
    default:
        return false;
    }
}

quint32 errorCount(qint64 errorBits, qint64 totalBits)
{
    if (totalBits <= 0 || errorBits <= 0)
        return 0;
    const double count = double(errorBits) / double(totalBits) * 1e7;
    return quint32(std::min(count, double(0xFFFFF)));
}

int codeRate(quint32 innerFec)
{
    // FEC_1_2 = 1 .. FEC_8_9 = 8 in the kernel's order, which is the chip's.
    return innerFec >= 1 && innerFec <= 8 ? int(innerFec) - 1 : -1;
}

} // namespace scales

namespace {
constexpr quint8 RegDiseqcControl = 0x36;
constexpr quint8 RegDiseqcMessage = 0x48;
constexpr quint8 RegDiseqcReady = 0x50;
constexpr quint8 RegChipId = 0x1E;
constexpr quint32 DtvInnerFec = 9;
constexpr quint8 SupplyEnable = 0x04;
constexpr quint8 Supply18V = 0x08;
constexpr quint8 SupplyRaise = 0x10;
} // namespace

RegisterFacade::RegisterFacade(FrontendDevice& device, const hw::Clock& clock)
    : m_device(device), m_clock(clock)
{
    // What a TDA10086 says of itself, so that the program's bus check passes
    // on any DVB-S frontend behind this back end.
    m_shadow[RegChipId] = 0xE1;
    m_shadow[tda10086::RegUcb] = 0x80;
}

bool RegisterFacade::carrierToNoiseDb(double* db) const
{
    if (m_stats.cnr.scale != Scale::Decibel)
        return false;
    *db = m_stats.cnr.value / 1000.0;
    return true;
}

int RegisterFacade::refreshStatistics()
{
    const qint64 now = m_clock.nowMs();
    if (m_statsAtMs >= 0 && now >= m_statsAtMs && now - m_statsAtMs < StatisticsValidMs)
        return m_statsResult;
    m_statsAtMs = now;
    m_statsResult = m_device.statistics(&m_stats);
    if (m_statsResult != 0)
        m_stats = Statistics(); // nothing measured now: no stale figure either
    return m_statsResult;
}

int RegisterFacade::latchErrorCount()
{
    if (const int rc = refreshStatistics())
        return rc;
    quint32 count = 0;
    if (m_stats.legacyBer) {
        if (!m_stats.preErrorBits.available())
            return Unavailable;
        count = quint32(std::clamp<qint64>(m_stats.preErrorBits.value, 0, 0xFFFFF));
    } else {
        if (!m_stats.preErrorBits.available() || !m_stats.preTotalBits.available())
            return Unavailable;
        // The counters only grow: the rate is over what came since the last
        // read. Counters the driver has not moved since then leave the rate
        // as it was; only a first read (or a restart) takes them whole.
        const qint64 errors = m_stats.preErrorBits.value;
        const qint64 total = m_stats.preTotalBits.value;
        if (m_lastTotalBits >= 0 && total == m_lastTotalBits && errors == m_lastErrorBits)
            return 0;
        if (m_lastTotalBits >= 0 && total > m_lastTotalBits && errors >= m_lastErrorBits)
            count = scales::errorCount(errors - m_lastErrorBits, total - m_lastTotalBits);
        else
            count = scales::errorCount(errors, total);
        m_lastErrorBits = errors;
        m_lastTotalBits = total;
    }
    m_shadow[tda10086::RegBerLow] = count & 0xFF;
    m_shadow[tda10086::RegBerMid] = (count >> 8) & 0xFF;
    m_shadow[tda10086::RegBerHigh] = (count >> 16) & 0x0F;
    return 0;
}

int RegisterFacade::readDemodulator(quint8 reg, quint8* value)
{
    switch (reg) {
    case tda10086::RegStatus: {
        quint32 status = 0;
        if (const int rc = m_device.readStatus(&status))
            return rc;
        *value = quint8(status & 0x7F); // the kernel's bits are the chip's
        return 0;
    }
    case tda10086::RegAgc:
        if (const int rc = refreshStatistics())
            return rc;
        return scales::agcRegister(m_stats.strength, value) ? 0 : Unavailable;
    case tda10086::RegSnr:
        if (const int rc = refreshStatistics())
            return rc;
        return scales::snrRegister(m_stats.cnr, value) ? 0 : Unavailable;
    case tda10086::RegBerLow:
        if (const int rc = latchErrorCount())
            return rc;
        *value = m_shadow[reg];
        return 0;
    case tda10086::RegUcb: {
        if (const int rc = refreshStatistics())
            return rc;
        if (!m_stats.errorBlocks.available())
            return Unavailable;
        const qint64 blocks = m_stats.errorBlocks.value;
        if (m_blocksAtRestart < 0 || blocks < m_blocksAtRestart)
            m_blocksAtRestart = blocks;
        const qint64 since = m_blockCounting ? blocks - m_blocksAtRestart : 0;
        *value = quint8((m_blockCounting ? 0x80 : 0) | std::min<qint64>(since, 127));
        return 0;
    }
    case tda10086::RegCodeRate: {
        quint32 fec = 0;
        if (const int rc = m_device.getProperty(DtvInnerFec, &fec))
            return rc;
        const int rate = scales::codeRate(fec);
        if (rate < 0)
            return Unavailable;
        *value = quint8(rate << 4);
        return 0;
    }
    case RegDiseqcReady:
        *value = 0x01; // the kernel's call returns when the message is out
        return 0;
    default:
        *value = m_shadow[reg];
        return 0;
    }
}

int RegisterFacade::writeDemodulator(quint8 reg, quint8 value)
{
    if (reg == tda10086::RegUcb) {
        // 0x00 stops and clears the chip's counter, 0x80 starts it from here.
        m_blockCounting = value & 0x80;
        if (m_blockCounting && refreshStatistics() == 0 && m_stats.errorBlocks.available())
            m_blocksAtRestart = m_stats.errorBlocks.value;
        return 0;
    }
    m_shadow[reg] = value;
    if (reg != RegDiseqcControl)
        return 0;
    if (value & 0x08) {
        const int length = ((value >> 4) & 0x07) + 1;
        QByteArray message;
        for (int i = 0; i < length; ++i)
            message.append(char(m_shadow[RegDiseqcMessage + i]));
        return sendDiseqc ? sendDiseqc(message, 0xFF) : m_device.sendMasterCommand(message);
    }
    if ((value & 0x0C) == 0x04) {
        const int burst = (value & 0x02) ? 1 : 0;
        return sendDiseqc ? sendDiseqc(QByteArray(), burst) : m_device.sendBurst(burst);
    }
    return 0;
}

int RegisterFacade::readSupply(quint8* value) const
{
    *value = m_supply & 0xFC; // no over-current, no over-temperature to report
    return 0;
}

int RegisterFacade::writeSupply(quint8 control)
{
    const int volts = !(control & SupplyEnable) ? 0 : (control & Supply18V) ? 18 : 13;
    if (const int rc = setSupply ? setSupply(volts) : m_device.setVoltage(volts))
        return rc;
    if ((control ^ m_supply) & SupplyRaise) {
        if (const int rc = m_device.enableHighVoltage(control & SupplyRaise))
            return rc;
    }
    m_supply = control;
    return 0;
}

} // namespace dvb
