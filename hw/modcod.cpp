#include "hw/modcod.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace hw {
namespace modcod {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct Threshold
{
    int num, den;
    double db;
};

// EN 300 421's Eb/N0 for 1/2, 2/3, 3/4, 5/6 and 7/8 (4.5, 5.0, 5.5, 6.0 and
// 6.4 dB) plus 10 log10(2 R 188/204); 4/5, 6/7 and 8/9, which the chip also
// reports, lie between their neighbours.
const Threshold DvbS[] = {{1, 2, 4.15}, {2, 3, 5.89}, {3, 4, 6.91}, {4, 5, 7.4},
                          {5, 6, 7.86}, {6, 7, 8.2},  {7, 8, 8.48}, {8, 9, 8.9}};

// EN 302 307, Es/N0 for quasi-error-free reception (PER 1e-7) with normal
// 64800-bit frames on an ideal demodulator, without pilots.
const Threshold Qpsk[] = {{1, 4, -2.35}, {1, 3, -1.24}, {2, 5, -0.30}, {1, 2, 1.00},
                          {3, 5, 2.23},  {2, 3, 3.10},  {3, 4, 4.03},  {4, 5, 4.68},
                          {5, 6, 5.18},  {8, 9, 6.20},  {9, 10, 6.42}};
const Threshold Psk8[] = {{3, 5, 5.50}, {2, 3, 6.62},  {3, 4, 7.91},
                          {5, 6, 9.35}, {8, 9, 10.69}, {9, 10, 10.98}};
const Threshold Apsk16[] = {{2, 3, 8.97},  {3, 4, 10.21}, {4, 5, 11.03},
                            {5, 6, 11.61}, {8, 9, 12.89}, {9, 10, 13.13}};
const Threshold Apsk32[] = {
    {3, 4, 12.73}, {4, 5, 13.64}, {5, 6, 14.28}, {8, 9, 15.69}, {9, 10, 16.05}};

template <size_t N>
double lookUp(const Threshold (&table)[N], CodeRate rate)
{
    for (const Threshold& row : table)
        if (row.num == rate.num && row.den == rate.den)
            return row.db;
    return NaN;
}

int bitsPerSymbol(Modulation modulation)
{
    switch (modulation) {
    case Modulation::Qpsk:
        return 2;
    case Modulation::Psk8:
        return 3;
    case Modulation::Apsk16:
        return 4;
    case Modulation::Apsk32:
        return 5;
    case Modulation::Auto:
        break;
    }
    return 0;
}

} // namespace

QString modulationName(Modulation modulation)
{
    switch (modulation) {
    case Modulation::Qpsk:
        return QStringLiteral("QPSK");
    case Modulation::Psk8:
        return QStringLiteral("8PSK");
    case Modulation::Apsk16:
        return QStringLiteral("16APSK");
    case Modulation::Apsk32:
        return QStringLiteral("32APSK");
    case Modulation::Auto:
        break;
    }
    return QString();
}

bool parseModulation(const QString& text, Modulation* modulation)
{
    static const struct
    {
        const char* name;
        Modulation modulation;
    } names[] = {{"QPSK", Modulation::Qpsk},      {"8PSK", Modulation::Psk8},
                 {"PSK/8", Modulation::Psk8},     {"16APSK", Modulation::Apsk16},
                 {"APSK/16", Modulation::Apsk16}, {"32APSK", Modulation::Apsk32},
                 {"APSK/32", Modulation::Apsk32}, {"AUTO", Modulation::Auto}};
    const QString upper = text.trimmed().toUpper();
    for (const auto& row : names)
        if (upper == QLatin1String(row.name)) {
            *modulation = row.modulation;
            return true;
        }
    return false;
}

QString rateText(CodeRate rate)
{
    return rate.known() ? QStringLiteral("%1/%2").arg(rate.num).arg(rate.den) : QString();
}

bool parseRate(const QString& text, CodeRate* rate)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        *rate = CodeRate{};
        return true;
    }
    const QStringList parts = t.split(QLatin1Char('/'));
    bool okNum = false, okDen = false;
    int num = 0, den = 0;
    if (parts.size() == 2) {
        num = parts.at(0).toInt(&okNum);
        den = parts.at(1).toInt(&okDen);
    } else if (t.size() >= 2 && t.size() <= 3) {
        // The files' digits: numerator first, "910" for 9/10.
        num = t.left(1).toInt(&okNum);
        den = t.mid(1).toInt(&okDen);
    }
    if (!okNum || !okDen || num < 1 || den <= num || den > 10)
        return false;
    *rate = CodeRate{num, den};
    return true;
}

QString rollOffText(RollOff rollOff)
{
    switch (rollOff) {
    case RollOff::R35:
        return QStringLiteral("35");
    case RollOff::R25:
        return QStringLiteral("25");
    case RollOff::R20:
        return QStringLiteral("20");
    case RollOff::Auto:
        break;
    }
    return QString();
}

bool parseRollOff(const QString& text, RollOff* rollOff)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0.")))
        t = t.mid(2);
    static const RollOff values[] = {RollOff::R35, RollOff::R25, RollOff::R20};
    for (RollOff value : values)
        if (t == rollOffText(value)) {
            *rollOff = value;
            return true;
        }
    if (t.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        *rollOff = RollOff::Auto;
        return true;
    }
    return false;
}

SignalFormat fromFileFields(const QStringList& fields)
{
    SignalFormat format;
    if (!parseRate(fields.value(0), &format.rate))
        format.rate = CodeRate{};
    for (const QString& raw : fields.mid(1)) {
        const QString field = raw.trimmed().toUpper();
        Modulation modulation;
        RollOff rollOff;
        if (field == QLatin1String("S2") || field == QLatin1String("DVB-S2") ||
            field == QLatin1String("DVBS2"))
            format.system = DeliverySystem::DvbS2;
        else if (parseModulation(field, &modulation))
            format.modulation = modulation;
        else if (field.startsWith(QLatin1String("RO")) && parseRollOff(field.mid(2), &rollOff))
            format.rollOff = rollOff;
        else if (field == QLatin1String("PILOTS"))
            format.pilot = Pilot::On;
        else if (field == QLatin1String("NOPILOTS"))
            format.pilot = Pilot::Off;
    }
    if (!format.isS2()) {
        // A DVB-S carrier is QPSK at roll-off 0.35 with no pilots, whatever a file says.
        format.modulation = Modulation::Auto;
        format.rollOff = RollOff::Auto;
        format.pilot = Pilot::Auto;
    }
    return format;
}

QString toFileFields(const SignalFormat& format)
{
    const QString rate = format.rate.known()
                             ? QString(rateText(format.rate)).remove(QLatin1Char('/'))
                             : QStringLiteral("AUTO");
    if (!format.isS2())
        return rate;
    QStringList fields{rate, QStringLiteral("S2")};
    if (format.modulation != Modulation::Auto)
        fields.append(modulationName(format.modulation));
    if (format.rollOff != RollOff::Auto)
        fields.append(QStringLiteral("RO") + rollOffText(format.rollOff));
    if (format.pilot != Pilot::Auto)
        fields.append(format.pilot == Pilot::On ? QStringLiteral("PILOTS")
                                                : QStringLiteral("NOPILOTS"));
    return fields.join(QLatin1Char(','));
}

QString lockedText(const SignalFormat& format)
{
    if (!format.isS2())
        return rateText(format.rate);
    return QStringList{modulationName(format.modulation), rateText(format.rate)}
        .join(QLatin1Char(' '))
        .trimmed();
}

QString systemText(const SignalFormat& format)
{
    if (!format.isS2())
        return QString();
    return QStringList{QStringLiteral("S2"), modulationName(format.modulation)}
        .join(QLatin1Char(' '))
        .trimmed();
}

double dvbS2TableDb(Modulation modulation, CodeRate rate)
{
    switch (modulation) {
    case Modulation::Qpsk:
        return lookUp(Qpsk, rate);
    case Modulation::Psk8:
        return lookUp(Psk8, rate);
    case Modulation::Apsk16:
        return lookUp(Apsk16, rate);
    case Modulation::Apsk32:
        return lookUp(Apsk32, rate);
    case Modulation::Auto:
        break;
    }
    return NaN;
}

double pilotShareDb(Modulation modulation)
{
    const int bits = bitsPerSymbol(modulation);
    if (bits == 0)
        return NaN;
    // A normal frame is 64800 bits in slots of 90 symbols after a one-slot
    // header; a block of 36 pilot symbols follows every 16 slots.
    const int slots = 64800 / bits / 90;
    const double plain = 90.0 * (slots + 1);
    const double pilots = 36.0 * ((slots - 1) / 16);
    return 10.0 * std::log10((plain + pilots) / plain);
}

double leastEsN0Db(const SignalFormat& format)
{
    if (!format.isS2() || (format.modulation != Modulation::Auto && format.rate.known()))
        return qefEsN0Db(format);
    double least = NaN;
    const Modulation all[] = {Modulation::Qpsk, Modulation::Psk8, Modulation::Apsk16,
                              Modulation::Apsk32};
    for (int den = 2; den <= 10; ++den)
        for (int num = 1; num < den; ++num)
            for (Modulation m : all) {
                SignalFormat f = format;
                if (f.modulation == Modulation::Auto)
                    f.modulation = m;
                if (!f.rate.known())
                    f.rate = CodeRate{num, den};
                const double db = qefEsN0Db(f);
                if (std::isfinite(db) && !(db >= least))
                    least = db;
            }
    return least;
}

double qefEsN0Db(const SignalFormat& format)
{
    if (!format.isS2())
        return lookUp(DvbS, format.rate);
    const double table = dvbS2TableDb(format.modulation, format.rate);
    return format.pilot == Pilot::On ? table + pilotShareDb(format.modulation) : table;
}

} // namespace modcod
} // namespace hw
