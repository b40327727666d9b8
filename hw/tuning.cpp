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
const char* const Tuner::NoDvbS2Warning =
    QT_TRANSLATE_NOOP("zenaraForm", "This receiver cannot receive DVB-S2: the meters show the "
                                    "carrier, but it will never lock. Choose a DVB-S2 receiver "
                                    "(--receiver sim or dvb).");

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

namespace {

Result failure(const char* text, const QString& a = QString(), const QString& b = QString())
{
    Result result;
    result.status = -1;
    result.error = QString::fromLatin1(text);
    result.errorArg1 = a;
    result.errorArg2 = b;
    return result;
}

} // namespace

// A field that is not a number is reported, not tuned as 0. An empty second
// oscillator or switch field means "none", like the "0" the presets write.
Result Tuner::checkFields(const Request& request, Parsed* p)
{
    p->frequency = parseField(request.frequency);
    p->symbolRate = parseField(request.symbolRate);
    auto optional = [](const QString& text) {
        return text.trimmed().isEmpty() ? Field{0, true} : parseField(text);
    };
    p->lof1 = parseField(request.lof1);
    p->lof2 = optional(request.lof2);
    p->sw = optional(request.switchFrequency);
    const struct
    {
        const char* name;
        const Field& field;
        const QString& text;
    } fields[] = {{"Frequency", p->frequency, request.frequency},
                  {"Symbol rate", p->symbolRate, request.symbolRate},
                  {"LOF 1", p->lof1, request.lof1},
                  {"LOF 2", p->lof2, request.lof2},
                  {"Switch", p->sw, request.switchFrequency}};
    // A refusal sends nothing: the receiver and the flags stay as they are.
    for (const auto& f : fields) {
        if (!f.field.valid)
            return failure(FieldWarning, QString::fromLatin1(f.name), f.text);
    }
    const Range range = allowedRange(p->lof1.value, p->lof2.value, p->sw.value);
    if (!range.contains(p->frequency.value))
        return failure(RangeWarning, QString::number(range.low), QString::number(range.high));
    return {};
}

bool Tuner::switchDiseqc(const Request& request, bool high)
{
    if (request.diseqc == DiseqcMode::ToneBurst) {
        unsigned char unused = 0;
        return m_frontend.SendDiSEqCMsg(&unused, 0, request.burst == 1 ? 1 : 0) == DVB_ERR_NONE;
    }
    if (request.diseqc != DiseqcMode::CommittedSwitch)
        return true;
    unsigned char message[4] = {0xE0, 0x10, 0x38,
                                diseqc10Data(request.switchItem, request.horizontal, high)};
    DVB_ERROR sent = DVB_ERR_NONE;
    for (int i = 0; i < SwitchTransmissions; ++i) {
        message[0] = i == 0 ? 0xE0 : 0xE1;
        sent = m_frontend.SendDiSEqCMsg(message, 4, 0xFF);
        m_clock.sleepMs(SwitchRepeatPauseMs);
    }
    return sent == DVB_ERR_NONE; // only the last transmission counts
}

Result Tuner::tune(const Request& request, ReceiverFlags& flags)
{
    Parsed p;
    if (Result refused = checkFields(request, &p); refused.status != 0) {
        refused.refused = true;
        return refused;
    }
    const bool high = isHighBand(p.frequency.value, p.lof2.value, p.sw.value);
    if (!switchDiseqc(request, high))
        return failure(DiseqcWarning);

    m_demodulator.tda10086_write_byte(tda10086::RegAcquisition, 0x35);
    flags.awaitingLock = true;
    m_clock.sleepMs(SettleMs);

    CDVBFrontend::_CHANNEL_TYPE channel = {};
    channel.frequency = thousandfold(p.frequency.value);
    channel.mode = m_frontend.channelMode();
    channel.symbolRate = thousandfold(p.symbolRate.value);
    channel.lof = thousandfold(high ? p.lof2.value : p.lof1.value);
    channel.highBand = high ? 1 : 0;
    channel.voltage = request.supplyOn ? (request.horizontal ? 18 : 13) : 0;
    channel.zero = 0;
    // A DVB-S2 carrier on a DVB-S card is still tuned: its level points the
    // dish, although the demodulator will never lock to it.
    const bool second = request.format.isS2() && m_frontend.ReceivesDvbS2();
    const DVB_ERROR set = second ? m_frontend.SetChannelFormat(channel, request.format)
                                 : m_frontend.SetChannel(channel, 0);
    m_clock.sleepMs(SettleMs);
    if (set != DVB_ERR_NONE) {
        flags.tuneFailed = true;
        return failure(ChannelWarning);
    }
    flags.tuneFailed = false;
    flags.cannotLock = request.format.isS2() && !second;
    Result done;
    done.wrongSystem = flags.cannotLock;
    return done;
}

} // namespace tuning
