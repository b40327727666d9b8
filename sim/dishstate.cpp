#include "sim/dishstate.h"

#include "sim/logging.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace sim {
namespace {

constexpr double MostDegrees = 90.0;  // no motor turns further
constexpr qint64 LargestFile = 65536; // a few dozen lines; anything bigger is not ours

bool readAngle(const QSettings& file, const QString& key, double* angle)
{
    bool ok = false;
    const double value = file.value(key).toString().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > MostDegrees)
        return false;
    *angle = value;
    return true;
}

// A file to read: false for none, or for something that is not ours.
bool readable(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    if (!info.isFile() || info.size() > LargestFile) {
        qCWarning(lcSim,
                  "Simulated dish: %s is not a file of ours; the dish starts from its "
                  "reference",
                  qPrintable(path));
        return false;
    }
    return true;
}

const char* const MountKeys[] = {"axisAzimuth", "axisElevation", "declination", "motorZero"};

bool readMount(QSettings& file, const QString& group, MountErrors* errors)
{
    file.beginGroup(group);
    bool ok = true;
    for (int i = 0; i < 4 && ok; ++i) {
        const double value = file.value(QLatin1String(MountKeys[i])).toString().toDouble(&ok);
        ok = ok && std::abs(value) <= MountErrors::LimitDeg; // false for NaN too
        errors->*MountErrorFields[i] = value;
    }
    file.endGroup();
    return ok;
}

void writeMount(QSettings& file, const QString& group, const MountErrors& errors)
{
    for (int i = 0; i < 4; ++i)
        file.setValue(group + QLatin1Char('/') + QLatin1String(MountKeys[i]),
                      QString::number(errors.*MountErrorFields[i], 'f', 6));
}

} // namespace

QString dishStatePath()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/zenara/simulated-dish.ini");
}

bool loadDishState(const QString& path, DishMotor::State* state)
{
    if (!readable(path))
        return false;
    QSettings file(path, QSettings::IniFormat);
    DishMotor::State s;
    if (file.status() != QSettings::NoError ||
        !readAngle(file, QStringLiteral("motor/angle"), &s.angle)) {
        qCWarning(lcSim, "Simulated dish: %s holds no angle; the dish starts from its reference",
                  qPrintable(path));
        return false;
    }
    s.limitsEnabled = file.value(QStringLiteral("motor/limits")).toBool();
    readAngle(file, QStringLiteral("motor/east"), &s.softEast);
    readAngle(file, QStringLiteral("motor/west"), &s.softWest);
    file.beginGroup(QStringLiteral("stored"));
    for (const QString& key : file.childKeys()) {
        bool ok = false;
        const int position = key.toInt(&ok);
        double angle = 0;
        if (ok && position >= 1 && position <= 255 && readAngle(file, key, &angle))
            s.stored.insert(position, angle);
    }
    *state = s;
    return true;
}

bool loadMountState(const QString& path, MountState* mount)
{
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() > LargestFile)
        return false; // said once by loadDishState
    QSettings file(path, QSettings::IniFormat);
    MountState m;
    if (file.status() != QSettings::NoError || !file.childGroups().contains(QLatin1String("mount")))
        return false;
    if (!readMount(file, QStringLiteral("mount"), &m.current) ||
        !readMount(file, QStringLiteral("installedMount"), &m.installed)) {
        qCWarning(lcSim, "Simulated dish: %s holds no usable mount; it is installed afresh",
                  qPrintable(path));
        return false;
    }
    *mount = m;
    return true;
}

bool saveDishState(const QString& path, const DishMotor::State& state, const MountState& mount)
{
    const QFileInfo info(path);
    // Reading a FIFO would wait for a writer for ever.
    if ((info.exists() && !info.isFile()) || !QDir().mkpath(info.absolutePath()))
        return false;
    QSettings file(path, QSettings::IniFormat);
    file.clear();
    file.setValue(QStringLiteral("motor/angle"), QString::number(state.angle, 'f', 4));
    file.setValue(QStringLiteral("motor/limits"), state.limitsEnabled);
    if (std::abs(state.softEast) <= MostDegrees)
        file.setValue(QStringLiteral("motor/east"), QString::number(state.softEast, 'f', 4));
    if (std::abs(state.softWest) <= MostDegrees)
        file.setValue(QStringLiteral("motor/west"), QString::number(state.softWest, 'f', 4));
    for (auto it = state.stored.cbegin(); it != state.stored.cend(); ++it)
        file.setValue(QStringLiteral("stored/%1").arg(it.key()),
                      QString::number(it.value(), 'f', 4));
    writeMount(file, QStringLiteral("mount"), mount.current);
    writeMount(file, QStringLiteral("installedMount"), mount.installed);
    file.sync();
    if (file.status() != QSettings::NoError) {
        qCDebug(lcSim, "Simulated dish: %s could not be written", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace sim
