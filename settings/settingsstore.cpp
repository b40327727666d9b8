#include "settings/settingsstore.h"

#include <QRegularExpression>

#include <cmath>

std::unique_ptr<QSettings> openSettings()
{
    auto settings =
        std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                    QStringLiteral("Tavarin"), QStringLiteral("zenara"));
    settings->setAtomicSyncRequired(true);
    return settings;
}

QString settingsPath()
{
    return openSettings()->fileName();
}

int readInt(const QSettings& settings, const QString& key, int defaultValue, int min, int max)
{
    const QVariant value = settings.value(key);
    bool ok = false;
    const int result = value.toInt(&ok);
    return ok && result >= min && result <= max ? result : defaultValue;
}

bool readBool(const QSettings& settings, const QString& key, bool defaultValue)
{
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return defaultValue;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok ? number != 0 : defaultValue;
}

double readDouble(const QSettings& settings, const QString& key, double defaultValue, double min,
                  double max)
{
    const QVariant value = settings.value(key);
    bool ok = false;
    const double result = value.toString().toDouble(&ok);
    return ok && std::isfinite(result) && result >= min && result <= max ? result : defaultValue;
}

namespace {

QString readString(const QSettings& settings, const QString& key, const QString& defaultValue)
{
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

// An oscillator field as the LNB page takes it: up to five digits (or, for the
// second oscillator and the switch, nothing). Anything else would fail every
// start's first tune and be written back again: the default instead.
QString readLof(const QSettings& settings, const QString& key, const QString& defaultValue,
                bool mayBeEmpty)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,5}$"));
    const QString text = readString(settings, key, defaultValue).trimmed();
    return digits.match(text).hasMatch() || (mayBeEmpty && text.isEmpty()) ? text : defaultValue;
}

// Keys the program never writes: lines of a damaged file read as keys. They
// are dropped when the store is written, so that the file heals.
void dropForeignKeys(QSettings& settings)
{
    for (const QString& key : settings.allKeys()) {
        if (!key.startsWith(QLatin1String("Settings/")) &&
            !key.startsWith(QLatin1String("Geometry/")) && key != QLatin1String("MainwindowLayout"))
            settings.remove(key);
    }
}

void writeBool(QSettings& settings, const QString& key, bool value)
{
    settings.setValue(key, value ? 1 : 0);
}

} // namespace

bool StoredSettings::operator==(const StoredSettings& o) const
{
    for (const optionvalues::Key& key : optionvalues::keys())
        if (optionvalues::valueOf(options, key) != optionvalues::valueOf(o.options, key))
            return false;
    return layout == o.layout && frequency == o.frequency && symbolRate == o.symbolRate &&
           polarization == o.polarization && lnbPower == o.lnbPower && iout650mA == o.iout650mA &&
           voutHigh == o.voutHigh && lnbType == o.lnbType && lof1 == o.lof1 && lof2 == o.lof2 &&
           lofSwitch == o.lofSwitch && diseqc == o.diseqc && simplePosition == o.simplePosition &&
           multiOption == o.multiOption && acoustic == o.acoustic && curveBer == o.curveBer &&
           curveSnr == o.curveSnr && curveAgc == o.curveAgc && tuneMethod == o.tuneMethod &&
           arcCalibration == o.arcCalibration &&
           signalLog == o.signalLog && transpondersPath == o.transpondersPath &&
           motorPositions == o.motorPositions && freqList == o.freqList &&
           currentPosition == o.currentPosition && currentSat == o.currentSat &&
           maximized == o.maximized && x == o.x && y == o.y && width == o.width &&
           height == o.height;
}

namespace {
// Bounds beyond which a stored value is damage, not a setting: every
// computation on a value inside them stays far from overflow.
constexpr int MaxField = 999999999; // the nine digits a frequency field takes
constexpr int MaxWindowSize = 16384;
} // namespace

StoredSettings readSettings(const QSettings& s)
{
    using namespace settingskeys;
    StoredSettings v;
    v.layout = readString(s, QStringLiteral("MainwindowLayout"), v.layout);
    v.frequency = readInt(s, QStringLiteral("Settings/Freqency"), v.frequency, 0, MaxField);
    v.symbolRate = readInt(s, QStringLiteral("Settings/Symbol-Rate"), v.symbolRate, 0, MaxField);
    v.polarization = readInt(s, QStringLiteral("Settings/Polarization"), v.polarization, 0, 1);
    v.lnbPower = readBool(s, QStringLiteral("Settings/LNBPower"), v.lnbPower);
    v.iout650mA = readBool(s, QStringLiteral("Settings/IOUT"), v.iout650mA);
    v.voutHigh = readBool(s, QStringLiteral("Settings/VOUT"), v.voutHigh);
    v.lnbType = readInt(s, QStringLiteral("Settings/LNBType"), v.lnbType, 0, 5);
    v.lof1 = readLof(s, QStringLiteral("Settings/LOF1"), v.lof1, false);
    v.lof2 = readLof(s, QStringLiteral("Settings/LOF2"), v.lof2, true);
    v.lofSwitch = readLof(s, QStringLiteral("Settings/LOF_SW"), v.lofSwitch, true);
    v.diseqc = readInt(s, QStringLiteral("Settings/Diseqc"), v.diseqc, 0, 2);
    v.simplePosition =
        readInt(s, QStringLiteral("Settings/SimplePosition"), v.simplePosition, 0, 1);
    v.multiOption = readInt(s, QStringLiteral("Settings/MultiOption"), v.multiOption, 0, 3);
    v.acoustic = readBool(s, QStringLiteral("Settings/Acoustic"), v.acoustic);
    v.curveBer = readBool(s, QStringLiteral("Settings/CurveBER"), v.curveBer);
    v.curveSnr = readBool(s, QStringLiteral("Settings/CurveSNR"), v.curveSnr);
    v.curveAgc = readBool(s, QStringLiteral("Settings/CurveAGC"), v.curveAgc);
    for (const optionvalues::Key& key : optionvalues::keys()) {
        const QString name = optionvalues::storeKey(key);
        const double was = optionvalues::valueOf(v.options, key);
        // A flag is read as an integer: any nonzero value is on.
        const double value =
            key.kind == optionvalues::Key::Kind::Flag ? readBool(s, name, was)
            : key.kind == optionvalues::Key::Kind::Whole
                ? readInt(s, name, int(was), int(key.readMinimum), int(key.readMaximum))
                : readDouble(s, name, was, key.readMinimum, key.readMaximum);
        optionvalues::setValue(&v.options, key, value);
    }
    v.tuneMethod = readInt(s, QStringLiteral("Settings/TuneMethod"), v.tuneMethod, 0, 1);
    v.arcCalibration = s.value(QStringLiteral("Settings/ArcCalibration")).toString();
    v.signalLog = readString(s, QStringLiteral("Settings/SignalLog"), v.signalLog);
    v.transpondersPath =
        readString(s, QStringLiteral("Settings/TranspondersPath"), v.transpondersPath);
    v.motorPositions = readString(s, MotorPositions, v.motorPositions);
    v.freqList = s.value(FreqList).toStringList();
    v.currentPosition = readInt(s, QStringLiteral("Settings/CurrentPosition"), v.currentPosition);
    v.currentSat = readInt(s, QStringLiteral("Settings/CurrentSat"), v.currentSat);
    v.maximized = readBool(s, GeometryMaximized, v.maximized);
    v.x = readInt(s, GeometryX, v.x, -MaxCoordinate, MaxCoordinate);
    v.y = readInt(s, GeometryY, v.y, -MaxCoordinate, MaxCoordinate);
    v.width = readInt(s, GeometryWidth, v.width, 1, MaxWindowSize);
    v.height = readInt(s, GeometryHeight, v.height, 1, MaxWindowSize);
    return v;
}

void writeSettings(QSettings& s, const StoredSettings& v)
{
    using namespace settingskeys;
    dropForeignKeys(s);
    writeBool(s, GeometryMaximized, v.maximized);
    s.setValue(GeometryX, v.x);
    s.setValue(GeometryY, v.y);
    s.setValue(GeometryWidth, v.width);
    s.setValue(GeometryHeight, v.height);
    s.setValue(QStringLiteral("Settings/Freqency"), v.frequency);
    s.setValue(QStringLiteral("Settings/Symbol-Rate"), v.symbolRate);
    s.setValue(QStringLiteral("Settings/Polarization"), v.polarization);
    writeBool(s, QStringLiteral("Settings/LNBPower"), v.lnbPower);
    s.setValue(QStringLiteral("Settings/LOF1"), v.lof1);
    s.setValue(QStringLiteral("Settings/LOF2"), v.lof2);
    s.setValue(QStringLiteral("Settings/LOF_SW"), v.lofSwitch);
    s.setValue(QStringLiteral("Settings/LNBType"), v.lnbType);
    writeBool(s, QStringLiteral("Settings/IOUT"), v.iout650mA);
    writeBool(s, QStringLiteral("Settings/VOUT"), v.voutHigh);
    s.setValue(QStringLiteral("Settings/Diseqc"), v.diseqc);
    s.setValue(QStringLiteral("Settings/SimplePosition"), v.simplePosition);
    s.setValue(QStringLiteral("Settings/MultiOption"), v.multiOption);
    s.setValue(QStringLiteral("Settings/CurrentPosition"), v.currentPosition);
    s.setValue(QStringLiteral("Settings/CurrentSat"), v.currentSat);
    for (const optionvalues::Key& key : optionvalues::keys()) {
        const double value = optionvalues::valueOf(v.options, key);
        if (key.kind == optionvalues::Key::Kind::Flag)
            writeBool(s, optionvalues::storeKey(key), value != 0);
        else if (key.kind == optionvalues::Key::Kind::Whole)
            s.setValue(optionvalues::storeKey(key), int(value));
        else
            s.setValue(optionvalues::storeKey(key), value);
    }
    s.setValue(QStringLiteral("Settings/TuneMethod"), v.tuneMethod);
    s.setValue(QStringLiteral("Settings/ArcCalibration"), v.arcCalibration);
    s.setValue(QStringLiteral("Settings/SignalLog"), v.signalLog);
    s.setValue(QStringLiteral("Settings/TranspondersPath"), v.transpondersPath);
    writeBool(s, QStringLiteral("Settings/Acoustic"), v.acoustic);
    writeBool(s, QStringLiteral("Settings/CurveBER"), v.curveBer);
    writeBool(s, QStringLiteral("Settings/CurveSNR"), v.curveSnr);
    writeBool(s, QStringLiteral("Settings/CurveAGC"), v.curveAgc);
    s.setValue(MotorPositions, v.motorPositions);
    s.setValue(FreqList, v.freqList);
    s.setValue(QStringLiteral("MainwindowLayout"), v.layout);
}

bool writeListsNow(const QString& motorPositions, const QStringList& freqList)
{
    const auto settings = openSettings();
    settings->setValue(settingskeys::MotorPositions, motorPositions);
    settings->setValue(settingskeys::FreqList, freqList);
    settings->sync();
    return writtenOut(*settings);
}

bool writtenOut(const QSettings& settings)
{
    return settings.status() != QSettings::AccessError;
}
