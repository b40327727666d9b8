#include "hw/tuning.h"

#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace tuning {

const char* const Tuner::RangeWarning =
    QT_TRANSLATE_NOOP("zenaraForm", "Frequency should be from\n(%1 MHz - %2 MHz)");
const char* const Tuner::FieldWarning =
    QT_TRANSLATE_NOOP("zenaraForm", "%1 is not a number: \"%2\"");
const char* const Tuner::DiseqcWarning =
    QT_TRANSLATE_NOOP("zenaraForm", "CDVBFrontend::SendDiSEqCMsg(...) failed");
const char* const Tuner::ChannelWarning =
    QT_TRANSLATE_NOOP("zenaraForm", "CDVBFrontend::SetChannel(...) failed");

namespace {
constexpr int SettleMs = 10;

// The card takes kHz and symbols per second in 32 bits: a larger value is
// passed as the largest one (which the card refuses), never wrapped round.
quint32 thousandfold(qint64 value)
{
    return quint32(std::clamp<qint64>(value * 1000, 0, std::numeric_limits<quint32>::max()));
}
constexpr int SwitchRepeatPauseMs = 100;
constexpr int SwitchTransmissions = 3;
} // namespace

Field parseField(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    const QString trimmed = text.trimmed();
    if (!digits.match(trimmed).hasMatch())
        return {};
    return {trimmed.toLongLong(), true};
}

Range allowedRange(qint64 lof1, qint64 lof2, qint64 switchFrequency)
{
    Range r;
    if (lof2 != 0 && switchFrequency != 0) {
        r = {std::min(lof1, lof2) + 950, std::max(lof1, lof2) + 2150};
    } else if (lof1 > 7000) {
        r = {lof1 + 950, lof1 + 2150};
    } else {
        r = {lof1 - 2150, lof1 - 950};
    }
    r.empty = r.high < 1;
    r.low = std::max<qint64>(0, r.low);
    r.high = std::max<qint64>(0, r.high);
    return r;
}

bool isHighBand(qint64 frequency, qint64 lof2, qint64 switchFrequency)
{
    return switchFrequency != 0 && lof2 != 0 && frequency >= switchFrequency;
}

quint8 diseqc10Data(int item, bool horizontal, bool highBand)
{
    quint8 data = 0xF0;
    if (item == 2 || item == 3)
        data |= 0x04; // position B
    if (item == 1 || item == 3)
        data |= 0x08; // option B
    if (horizontal)
        data |= 0x02;
    if (highBand)
        data |= 0x01;
    return data;
}

quint8 lnbp21Byte(bool supplyOn, bool horizontal, bool current650mA, bool raisedVoltage)
{
    if (!supplyOn)
        return 0x08;
    quint8 byte = horizontal ? 0x0C : 0x04;
    if (!current650mA)
        byte |= 0x40;
    if (raisedVoltage)
        byte |= 0x10;
    return byte;
}

Tuner::Tuner(CDVBFrontend& frontend, DemodulatorAccess& demodulator, hw::Clock& clock)
    : m_frontend(frontend), m_demodulator(demodulator), m_clock(clock)
{
}

Result Tuner::tune(const Request& request, ReceiverFlags& flags)
{
    Result result;
    auto fail = [&](const char* text, const QString& a = QString(), const QString& b = QString()) {
        result.status = -1;
        result.error = QString::fromLatin1(text);
        result.errorArg1 = a;
        result.errorArg2 = b;
        return result;
    };

    // A field that is not a number is reported, not tuned as 0. An empty second
    // oscillator or switch field means "none", like the "0" the presets write.
    const Field frequency = parseField(request.frequency);
    const Field symbolRate = parseField(request.symbolRate);
    auto optional = [](const QString& text) {
        return text.trimmed().isEmpty() ? Field{0, true} : parseField(text);
    };
    const Field lof1 = parseField(request.lof1);
    const Field lof2 = optional(request.lof2);
    const Field sw = optional(request.switchFrequency);
    const struct
    {
        const char* name;
        const Field& field;
        const QString& text;
    } fields[] = {{"Frequency", frequency, request.frequency},
                  {"Symbol rate", symbolRate, request.symbolRate},
                  {"LOF 1", lof1, request.lof1},
                  {"LOF 2", lof2, request.lof2},
                  {"Switch", sw, request.switchFrequency}};
    // A refusal sends nothing: the receiver and the flags stay as they are.
    result.refused = true;
    for (const auto& f : fields) {
        if (!f.field.valid)
            return fail(FieldWarning, QString::fromLatin1(f.name), f.text);
    }

    const Range range = allowedRange(lof1.value, lof2.value, sw.value);
    if (!range.contains(frequency.value))
        return fail(RangeWarning, QString::number(range.low), QString::number(range.high));
    result.refused = false;
    const bool high = isHighBand(frequency.value, lof2.value, sw.value);
    const qint64 lof = high ? lof2.value : lof1.value;

    if (request.diseqc == DiseqcMode::ToneBurst) {
        unsigned char unused = 0;
        if (m_frontend.SendDiSEqCMsg(&unused, 0, request.burst == 1 ? 1 : 0) != DVB_ERR_NONE)
            return fail(DiseqcWarning);
    } else if (request.diseqc == DiseqcMode::CommittedSwitch) {
        unsigned char message[4] = {0xE0, 0x10, 0x38,
                                    diseqc10Data(request.switchItem, request.horizontal, high)};
        DVB_ERROR sent = DVB_ERR_NONE;
        for (int i = 0; i < SwitchTransmissions; ++i) {
            message[0] = i == 0 ? 0xE0 : 0xE1;
            sent = m_frontend.SendDiSEqCMsg(message, 4, 0xFF);
            m_clock.sleepMs(SwitchRepeatPauseMs);
        }
        if (sent != DVB_ERR_NONE) // only the last transmission counts
            return fail(DiseqcWarning);
    }

    m_demodulator.tda10086_write_byte(tda10086::RegAcquisition, 0x35);
    flags.awaitingLock = true;
    m_clock.sleepMs(SettleMs);

    CDVBFrontend::_CHANNEL_TYPE channel = {};
    channel.frequency = thousandfold(frequency.value);
    channel.mode = m_frontend.channelMode();
    channel.symbolRate = thousandfold(symbolRate.value);
    channel.lof = thousandfold(lof);
    channel.highBand = high ? 1 : 0;
    channel.voltage = request.supplyOn ? (request.horizontal ? 18 : 13) : 0;
    channel.zero = 0;
    const DVB_ERROR set = m_frontend.SetChannel(channel, 0);
    m_clock.sleepMs(SettleMs);
    if (set != DVB_ERR_NONE) {
        flags.tuneFailed = true;
        return fail(ChannelWarning);
    }
    flags.tuneFailed = false;
    return result;
}

} // namespace tuning
