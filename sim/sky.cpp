#include "sim/sky.h"

#include "settings/textcodec.h"
#include "sim/logging.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>

namespace sim {
namespace {

SimTransponder tp(double mhz, char pol, double ks, int rate)
{
    return SimTransponder{mhz, pol == 'V', ks, rate, false, {}};
}

SimTransponder s2(double mhz, char pol, double ks, hw::Modulation modulation, hw::CodeRate rate)
{
    hw::SignalFormat format;
    format.system = hw::DeliverySystem::DvbS2;
    format.modulation = modulation;
    format.rate = rate;
    return SimTransponder{mhz, pol == 'V', ks, 2, true, transmittedFormat(format)};
}

// The chip's code-rate index (0..7 = 1/2 .. 8/9) of a listed rate; a rate
// it does not have, or none, counts as 3/4.
int codeRateIndex(hw::CodeRate rate)
{
    static const hw::CodeRate rates[] = {{1, 2}, {2, 3}, {3, 4}, {4, 5},
                                         {5, 6}, {6, 7}, {7, 8}, {8, 9}};
    for (int i = 0; i < 8; ++i)
        if (rates[i] == rate)
            return i;
    return 2;
}

// The lines of a CP1251 data file; empty when it cannot be read.
QStringList readDataLines(const QString& path)
{
    QStringList lines;
    readDataFileLines(path, &lines);
    return lines;
}

QVector<SimTransponder> readTransponders(const QString& path)
{
    QVector<SimTransponder> list;
    // As the program reads them: padded fields, the code rate may be missing.
    static const QRegularExpression line(QStringLiteral(
        "^\\s*(\\d+)\\s*=\\s*(\\d+)\\s*,\\s*([\\p{L}\\d_]*)\\s*,\\s*(\\d+)\\s*(?:,(.*))?$"));
    for (const QString& text : readDataLines(path)) {
        const auto m = line.match(text);
        if (!m.hasMatch())
            continue;
        const QStringList rest = m.captured(5).split(QLatin1Char(','));
        const hw::SignalFormat listed = hw::modcod::fromFileFields(rest);
        SimTransponder t;
        t.frequencyMHz = m.captured(2).toDouble();
        // Circular right is received with the vertical (13 V) setting, left with 18 V.
        t.vertical = m.captured(3) == QLatin1String("V") || m.captured(3) == QLatin1String("R");
        t.symbolRateKs = m.captured(4).toDouble();
        t.codeRate = codeRateIndex(listed.rate);
        t.dvbS2 = listed.isS2();
        if (t.dvbS2)
            t.s2 = transmittedFormat(listed);
        list.append(t);
    }
    return list;
}

} // namespace

hw::SignalFormat transmittedFormat(hw::SignalFormat listed)
{
    listed.system = hw::DeliverySystem::DvbS2;
    if (listed.modulation == hw::Modulation::Auto)
        listed.modulation = hw::Modulation::Psk8;
    // A rate the modulation does not have (a list's slip) is sent as 3/4,
    // which every modulation has.
    if (!std::isfinite(hw::modcod::dvbS2TableDb(listed.modulation, listed.rate)))
        listed.rate = hw::CodeRate{3, 4};
    if (listed.pilot == hw::Pilot::Auto)
        listed.pilot = hw::Pilot::On;
    if (listed.rollOff == hw::RollOff::Auto)
        listed.rollOff = hw::RollOff::R35;
    return listed;
}

double Sky::eirpOffsetDb(double longitude)
{
    // Some beams are hotter than others where the default site sits; the rest
    // get the default.
    static const QMap<int, double> offsets = {
        {-80, -2.0}, // Eutelsat 8 West B
        {-70, 2.0},  // Nilesat 201 / Eutelsat 7 West A
        {-50, -1.0}, // Eutelsat 5 West B
        {90, 1.0},   // Eutelsat 9B
        {130, 3.0},  // Hot Bird
        {192, 2.0},  // Astra 1
        {282, 1.0},  // Astra 2
        {400, -2.0}, // Express AM7
    };
    return offsets.value(int(std::lround(longitude * 10)), 0.0);
}

Sky Sky::builtIn(double eirpDbw)
{
    Sky sky;
    sky.satellites = {
        {QStringLiteral("Eutelsat 9B"),
         9.0,
         eirpDbw,
         {tp(11727, 'V', 27500, 4), tp(11747, 'H', 27500, 2), tp(11766, 'V', 27500, 4),
          tp(11785, 'H', 27500, 2)}},
        {QStringLiteral("Hot Bird 13E"),
         13.0,
         eirpDbw,
         {tp(10719, 'V', 27500, 2), tp(10723, 'H', 29900, 2), tp(10757, 'V', 27500, 2),
          tp(10775, 'H', 28000, 2)}},
        {QStringLiteral("Astra 19.2E"),
         19.2,
         eirpDbw,
         {s2(11362, 'H', 22000, hw::Modulation::Psk8, {2, 3}), tp(11493, 'H', 22000, 4),
          tp(12603, 'H', 22000, 4)}},
        {QStringLiteral("Express AM7"),
         40.0,
         eirpDbw,
         {tp(10967, 'V', 20000, 2), tp(10995, 'V', 20000, 2), tp(11097, 'H', 4000, 2)}},
        {QStringLiteral("Turksat 3A/4A"),
         42.0,
         eirpDbw,
         {tp(10954, 'V', 2222, 2), tp(10962, 'H', 2222, 2),
          s2(10964, 'V', 14170, hw::Modulation::Psk8, {3, 4}),
          s2(11012, 'H', 30000, hw::Modulation::Psk8, {3, 4}), tp(11046, 'H', 2725, 4),
          tp(11345, 'V', 29750, 3), tp(11977, 'H', 27500, 2)}},
    };
    for (SimSatellite& sat : sky.satellites)
        sat.eirpDbw = eirpDbw + eirpOffsetDb(sat.longitude);
    return sky;
}

Sky Sky::fromFiles(const QString& satelliteList, const QString& transponderDir, double eirpDbw)
{
    Sky sky;
    if (!QFile::exists(satelliteList))
        return sky;
    static const QRegularExpression line(QStringLiteral("(\\d+)=(.\\d*\\.\\d+);(.*);(.*)"));
    for (const QString& text : readDataLines(satelliteList)) {
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const auto m = line.match(text);
        if (!m.hasMatch())
            continue;
        SimSatellite sat;
        sat.name = m.captured(3);
        sat.longitude = m.captured(2).toDouble();
        sat.eirpDbw = eirpDbw + eirpOffsetDb(sat.longitude);
        sat.transponders = readTransponders(transponderDir + m.captured(4));
        sky.satellites.append(sat);
    }
    qCDebug(lcSim, "Sky: %d satellites from %s", int(sky.satellites.size()),
            qPrintable(satelliteList));
    return sky;
}

} // namespace sim
