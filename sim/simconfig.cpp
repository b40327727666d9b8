#include "sim/simconfig.h"

#include <QFileInfo>
#include <QSettings>

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
    auto number = [&](const char* key, double* value) {
        const QVariant v = ini.value(QLatin1String(key));
        if (!v.isValid())
            return;
        bool converted = false;
        const double d = v.toString().toDouble(&converted);
        if (!converted) {
            *error = QStringLiteral("%1: %2 is not a number: \"%3\"")
                         .arg(path, QLatin1String(key), v.toString());
            ok = false;
            return;
        }
        *value = d;
    };
    double input = config->dishInput, seed = config->noiseSeed;
    number("site/latitude", &config->latitude);
    number("site/longitude", &config->longitude);
    number("dish/diameter", &config->dishDiameterM);
    number("dish/elevationError", &config->elevationErrorDeg);
    number("dish/azimuthError", &config->azimuthErrorDeg);
    number("dish/input", &input);
    number("motor/speed", &config->motor.degreesPerSecond);
    number("motor/stepsPerDegree", &config->motor.stepsPerDegree);
    number("motor/startAngle", &config->motor.startAngle);
    number("motor/limit", &config->motor.hardLimit);
    number("sky/eirp", &config->eirpDbw);
    number("noise/seed", &seed);
    number("noise/scale", &config->readingNoise);
    if (!ok)
        return false;
    if (config->latitude < -81 || config->latitude > 81 || config->dishDiameterM <= 0.1 ||
        config->motor.degreesPerSecond <= 0 || config->motor.stepsPerDegree <= 0 || input < 0 ||
        input > 3) {
        *error = QStringLiteral("%1: a value is out of range (latitude within 81 degrees, "
                                "dish above 0.1 m, positive speed and steps, input 0..3)")
                     .arg(path);
        return false;
    }
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
