#include "sim/simconfig.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace sim {
namespace {

// A number the simulation takes, as a key of the simulation file and, where
// it makes sense on the command line, an option of the receiver string.
struct NumberKey
{
    const char* fileKey;
    const char* option; // nullptr: only in the file
    double* value;
    double min;
    double max;
    bool whole;
};

// The values are read into doubles first; whole numbers are converted after.
struct Whole
{
    double input;
    double seed;
    double ignoreWestZero;
    double mountSeed;
};

Whole wholeOf(const SimConfig& c)
{
    return {double(c.dishInput), double(c.noiseSeed), double(c.motor.ignoreWestZero),
            double(c.mountSeed)};
}

void setWhole(SimConfig* c, const Whole& w)
{
    c->dishInput = int(w.input);
    c->noiseSeed = quint32(w.seed);
    c->motor.ignoreWestZero = w.ignoreWestZero != 0;
    c->mountSeed = quint32(w.mountSeed);
}

QVector<NumberKey> numberKeys(SimConfig* c, Whole* w)
{
    MountErrors& e = c->mountErrors;
    const double limit = MountErrors::LimitDeg;
    return {
        {"site/latitude", "latitude", &c->latitude, -81, 81, false},
        {"site/longitude", "longitude", &c->longitude, -180, 360, false},
        {"dish/diameter", "dish", &c->dishDiameterM, 0.1, 100, false},
        // The older names first: where a file has both, the newer one counts.
        {"dish/azimuthError", "azimuth-error", &e.axisAzimuthDeg, -limit, limit, false},
        {"dish/axisAzimuthError", "axis-azimuth", &e.axisAzimuthDeg, -limit, limit, false},
        {"dish/elevationError", "elevation-error", &e.axisElevationDeg, -limit, limit, false},
        {"dish/axisElevationError", "axis-elevation", &e.axisElevationDeg, -limit, limit, false},
        {"dish/declinationError", "declination-error", &e.declinationDeg, -limit, limit, false},
        {"dish/motorZeroError", "motor-zero", &e.motorZeroDeg, -limit, limit, false},
        {"dish/mountSeed", "mount-seed", &w->mountSeed, 0, 4294967295.0, true},
        {"dish/mountSpread", "mount-spread", &c->mountSpread, 0, limit, false},
        {"dish/input", nullptr, &w->input, 0, 3, true},
        {"motor/speed13V", nullptr, &c->motor.speed13V, 0.001, 100, false},
        {"motor/speed18V", nullptr, &c->motor.speed18V, 0.001, 100, false},
        {"motor/backlash", "backlash", &c->motor.backlash, 0, 5, false},
        {"motor/stepsPerDegree", nullptr, &c->motor.stepsPerDegree, 0.01, 1000, false},
        {"motor/limit", nullptr, &c->motor.hardLimit, 0, 90, false},
        {"motor/startAngle", nullptr, &c->motor.startAngle, -90, 90, false},
        {"motor/ignoreWestZero", "ignore-west-0", &w->ignoreWestZero, 0, 1, true},
        {"sky/eirp", "eirp", &c->eirpDbw, -50, 150, false},
        {"field/rain", "rain", &c->field.rainFadeDb, 0, 50, false},
        {"field/skew", "skew", &c->field.skewDeg, -90, 90, false},
        {"field/lofOffset", "lof-offset", &c->field.lofOffsetMHz, -100, 100, false},
        {"noise/seed", "seed", &w->seed, 0, 4294967295.0, true},
        {"noise/scale", nullptr, &c->readingNoise, 0, 100, false},
    };
}

QString range(const NumberKey& key)
{
    return QStringLiteral("%1 from %2 to %3")
        .arg(key.whole ? QStringLiteral("a whole number") : QStringLiteral("a number"))
        .arg(key.min, 0, 'g', 10)
        .arg(key.max, 0, 'g', 10);
}

// What giving a key says besides its value: the simulation's own site or
// start angle, an error that stands over the random draw, a draw at all.
void noteGiven(const NumberKey& key, SimConfig* c, const Whole& w)
{
    for (unsigned i = 0; i < std::size(MountErrorFields); ++i)
        if (key.value == &(c->mountErrors.*MountErrorFields[i]))
            c->mountErrorsGiven |= 1u << i;
    c->siteGiven = c->siteGiven || key.value == &c->latitude || key.value == &c->longitude;
    c->startAngleGiven = c->startAngleGiven || key.value == &c->motor.startAngle;
    c->mountSeedGiven = c->mountSeedGiven || key.value == &w.mountSeed;
}

// Every number must be finite and within its bounds: the simulation converts
// some to integers and divides by others. *problem is empty on success.
bool readNumber(const NumberKey& key, const QString& text, QString* problem)
{
    bool converted = false;
    const double d = text.trimmed().toDouble(&converted);
    if (!converted || !std::isfinite(d)) {
        *problem = QStringLiteral("is not a number: \"%1\"").arg(text);
        return false;
    }
    if (d < key.min || d > key.max || (key.whole && d != std::floor(d))) {
        *problem = QStringLiteral("must be %1, not %2").arg(range(key), text);
        return false;
    }
    *key.value = d;
    return true;
}

// The start angle must lie within the end stops the same configuration sets.
bool checkStartAngle(const SimConfig& c, QString* problem)
{
    if (std::abs(c.motor.startAngle) <= c.motor.hardLimit)
        return true;
    *problem = QStringLiteral("must be a number from %1 to %2, not %3")
                   .arg(-c.motor.hardLimit, 0, 'g', 10)
                   .arg(c.motor.hardLimit, 0, 'g', 10)
                   .arg(c.motor.startAngle, 0, 'g', 10);
    return false;
}

// "13.0E" or "5W" as tenths of a degree, east positive.
bool positionInTenths(const QString& text, int* tenths)
{
    static const QRegularExpression position(QStringLiteral("^(\\d{1,3}(?:\\.\\d)?)([EW])$"),
                                             QRegularExpression::CaseInsensitiveOption);
    const auto m = position.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const double degrees = m.captured(1).toDouble();
    if (degrees > 180)
        return false;
    *tenths =
        int(std::lround(degrees * 10)) * (m.captured(2).toUpper() == QLatin1String("W") ? -1 : 1);
    return true;
}

// [eirp] 13.0E=53: the satellite's power toward the site, in dBW.
bool readEirp(QSettings& ini, const QString& path, SimConfig* c, QString* error)
{
    QString problem;
    ini.beginGroup(QStringLiteral("eirp"));
    const QStringList names = ini.childKeys();
    for (const QString& name : names) {
        int tenths = 0;
        if (!positionInTenths(name, &tenths)) {
            *error = QStringLiteral("%1: eirp/%2 is not an orbital position such as 13.0E or 5.0W")
                         .arg(path, name);
            return false;
        }
        double eirp = 0;
        const NumberKey key{"eirp", nullptr, &eirp, -50, 150, false};
        if (!readNumber(key, ini.value(name).toString(), &problem)) {
            *error = QStringLiteral("%1: %2 %3").arg(path, QStringLiteral("eirp/") + name, problem);
            return false;
        }
        c->eirpByPosition.insert(tenths, eirp);
    }
    ini.endGroup();
    return true;
}

// [nit] 13.0E=19.2E: the satellite at 13.0E says it is at 19.2E; =none: it
// sends no network information.
bool readNit(QSettings& ini, const QString& path, SimConfig* c, QString* error)
{
    ini.beginGroup(QStringLiteral("nit"));
    const QStringList names = ini.childKeys();
    for (const QString& name : names) {
        int tenths = 0;
        int reported = 0;
        const QString value = ini.value(name).toString().trimmed();
        if (value.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
            reported = SimConfig::NoNit;
        if (!positionInTenths(name, &tenths) ||
            (reported == 0 && !positionInTenths(value, &reported))) {
            *error = QStringLiteral("%1: nit/%2 takes an orbital position such as 19.2E, or none")
                         .arg(path, name);
            return false;
        }
        c->nitPositionByPosition.insert(tenths, reported);
    }
    ini.endGroup();
    return true;
}

void readFaults(const QSettings& ini, SimFaults* faults)
{
    const QString failure = ini.value(QStringLiteral("faults/fail")).toString();
    faults->failOpen = faults->failOpen || failure == QLatin1String("open");
    faults->failInit = faults->failInit || failure == QLatin1String("init");
    faults->failBind = faults->failBind || failure == QLatin1String("bind");
    faults->diseqcStuck =
        faults->diseqcStuck || ini.value(QStringLiteral("faults/diseqcStuck")).toBool();
}

// The mount's screws by the names an installer turns them by.
struct Screw
{
    const char* name;
    const char* alias; // as the receiver option says it
    double MountErrors::*error;
};

const Screw Screws[] = {
    {"axis-azimuth", "azimuth-error", &MountErrors::axisAzimuthDeg},
    {"axis-elevation", "elevation-error", &MountErrors::axisElevationDeg},
    {"declination", "declination-error", &MountErrors::declinationDeg},
    {"motor-zero", nullptr, &MountErrors::motorZeroDeg},
};

const Screw* findScrew(QString name)
{
    name.replace(QLatin1Char('_'), QLatin1Char('-'));
    for (const Screw& s : Screws)
        if (name == QLatin1String(s.name) || (s.alias && name == QLatin1String(s.alias)))
            return &s;
    return nullptr;
}

// One NAME=DEGREES word over *errors; false with *error.
bool turnScrew(const QString& word, bool set, MountErrors* errors, QString* error)
{
    const int equals = word.indexOf(QLatin1Char('='));
    const Screw* screw = equals > 0 ? findScrew(word.left(equals)) : nullptr;
    if (equals <= 0) {
        *error = QStringLiteral("mount takes NAME=DEGREES, such as axis-azimuth=+0.3, not \"%1\"")
                     .arg(word);
        return false;
    }
    if (!screw) {
        *error = QStringLiteral("the mount has no \"%1\": axis-azimuth, axis-elevation, "
                                "declination or motor-zero")
                     .arg(word.left(equals));
        return false;
    }
    const QString text = word.mid(equals + 1);
    bool ok = false;
    const double degrees = text.toDouble(&ok);
    if (!ok || !std::isfinite(degrees)) {
        *error = QStringLiteral("%1: \"%2\" is not a number of degrees%3")
                     .arg(QLatin1String(screw->name), text,
                          text.contains(QLatin1Char(','))
                              ? QStringLiteral(" (a decimal point, not a comma)")
                              : QString());
        return false;
    }
    double& value = errors->*(screw->error);
    const double result = set ? degrees : value + degrees;
    // Turns added up may land a hair past the limit they reach.
    if (std::abs(result) > MountErrors::LimitDeg + 1e-9) {
        *error = QStringLiteral("%1 would be %2 degrees: the mount's errors stay within %3 to %4")
                     .arg(QLatin1String(screw->name))
                     .arg(result, 0, 'g', 10)
                     .arg(-MountErrors::LimitDeg)
                     .arg(MountErrors::LimitDeg);
        return false;
    }
    value = std::clamp(result, -MountErrors::LimitDeg, MountErrors::LimitDeg);
    return true;
}

} // namespace

bool adjustMountErrors(const QStringList& words, MountErrors* errors, QString* error)
{
    const bool set = !words.isEmpty() && words.first() == QLatin1String("set");
    if (set && words.size() == 1) {
        *error = QStringLiteral("mount set takes NAME=DEGREES words, such as axis-azimuth=0");
        return false;
    }
    MountErrors turned = *errors;
    for (int i = set ? 1 : 0; i < words.size(); ++i)
        if (!turnScrew(words.at(i), set, &turned, error))
            return false;
    *errors = turned;
    return true;
}

QVector<QPair<QString, double>> mountErrorValues(const MountErrors& errors)
{
    QVector<QPair<QString, double>> values;
    for (const Screw& s : Screws)
        values.append({QString::fromLatin1(s.name).replace(QLatin1Char('-'), QLatin1Char('_')),
                       errors.*(s.error)});
    return values;
}

bool loadSimConfig(const QString& path, SimConfig* config, SimFaults* faults, QString* error)
{
    if (!QFileInfo(path).isReadable()) {
        *error = QStringLiteral("Cannot read the simulation file %1").arg(path);
        return false;
    }
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        *error = QStringLiteral("%1 is not a valid INI file").arg(path);
        return false;
    }
    SimConfig c = *config;
    Whole whole = wholeOf(c);
    QString problem;
    auto fail = [&](const QString& key) {
        *error = QStringLiteral("%1: %2 %3").arg(path, key, problem);
        return false;
    };
    // A motor whose speed does not depend on the supply.
    const QVariant speed = ini.value(QStringLiteral("motor/speed"));
    if (speed.isValid()) {
        const NumberKey key{"motor/speed", nullptr, &c.motor.speed13V, 0.001, 100, false};
        if (!readNumber(key, speed.toString(), &problem))
            return fail(QLatin1String(key.fileKey));
        c.motor.speed18V = c.motor.speed13V;
    }
    for (const NumberKey& key : numberKeys(&c, &whole)) {
        const QVariant v = ini.value(QLatin1String(key.fileKey));
        if (!v.isValid())
            continue;
        if (!readNumber(key, v.toString(), &problem))
            return fail(QLatin1String(key.fileKey));
        noteGiven(key, &c, whole);
    }
    if (!checkStartAngle(c, &problem))
        return fail(QStringLiteral("motor/startAngle"));

    if (!readEirp(ini, path, &c, error) || !readNit(ini, path, &c, error))
        return false;

    setWhole(&c, whole);
    *config = c;

    readFaults(ini, faults);
    return true;
}

bool isSimOption(const QString& name)
{
    SimConfig c;
    Whole w{};
    for (const NumberKey& key : numberKeys(&c, &w))
        if (key.option && name == QLatin1String(key.option))
            return true;
    return false;
}

bool applySimOptions(const hw::ReceiverSpec& request, SimConfig* config, QString* error)
{
    SimConfig c = *config;
    Whole whole = wholeOf(c);
    const QVector<NumberKey> keys = numberKeys(&c, &whole);
    for (const auto& option : request.options) {
        for (const NumberKey& key : keys) {
            if (!key.option || option.first != QLatin1String(key.option))
                continue;
            QString problem;
            if (!readNumber(key, option.second, &problem)) {
                *error = QStringLiteral("%1= %2").arg(option.first, problem);
                return false;
            }
            noteGiven(key, &c, whole);
        }
    }
    setWhole(&c, whole);
    *config = c;
    return true;
}

} // namespace sim
