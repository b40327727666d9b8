#include "sim/simconfig.h"

#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace sim {

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
    bool ok = true;
    // Every number must be finite and within its bounds: the simulation
    // converts some to integers and divides by others.
    auto number = [&](const char* key, double* value, double min, double max, bool whole = false) {
        if (!ok)
            return;
        const QVariant v = ini.value(QLatin1String(key));
        if (!v.isValid())
            return;
        bool converted = false;
        const double d = v.toString().trimmed().toDouble(&converted);
        if (!converted || !std::isfinite(d)) {
            *error = QStringLiteral("%1: %2 is not a number: \"%3\"")
                         .arg(path, QLatin1String(key), v.toString());
            ok = false;
        } else if (d < min || d > max || (whole && d != std::floor(d))) {
            *error = QStringLiteral("%1: %2 must be %3 from %4 to %5, not %6")
                         .arg(path, QLatin1String(key),
                              whole ? QStringLiteral("a whole number") : QStringLiteral("a number"))
                         .arg(min, 0, 'g', 10)
                         .arg(max, 0, 'g', 10)
                         .arg(v.toString());
            ok = false;
        } else {
            *value = d;
        }
    };
    double input = config->dishInput, seed = config->noiseSeed;
    number("site/latitude", &config->latitude, -81, 81);
    number("site/longitude", &config->longitude, -180, 360);
    number("dish/diameter", &config->dishDiameterM, 0.1, 100);
    number("dish/elevationError", &config->elevationErrorDeg, -45, 45);
    number("dish/azimuthError", &config->azimuthErrorDeg, -45, 45);
    number("dish/input", &input, 0, 3, true);
    number("motor/speed", &config->motor.degreesPerSecond, 0.001, 100);
    number("motor/stepsPerDegree", &config->motor.stepsPerDegree, 0.01, 1000);
    number("motor/limit", &config->motor.hardLimit, 0, 90);
    number("motor/startAngle", &config->motor.startAngle, -config->motor.hardLimit,
           config->motor.hardLimit);
    number("sky/eirp", &config->eirpDbw, -50, 150);
    number("noise/seed", &seed, 0, 4294967295.0, true);
    number("noise/scale", &config->readingNoise, 0, 100);
    if (!ok)
        return false;
    config->dishInput = int(input);
    config->noiseSeed = quint32(seed);

    const QString fail = ini.value(QStringLiteral("faults/fail")).toString();
    faults->failOpen = faults->failOpen || fail == QLatin1String("open");
    faults->failInit = faults->failInit || fail == QLatin1String("init");
    faults->failBind = faults->failBind || fail == QLatin1String("bind");
    faults->diseqcStuck =
        faults->diseqcStuck || ini.value(QStringLiteral("faults/diseqcStuck")).toBool();
    return true;
}

} // namespace sim
