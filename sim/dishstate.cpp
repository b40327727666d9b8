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

bool saveDishState(const QString& path, const DishMotor::State& state)
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
    file.sync();
    if (file.status() != QSettings::NoError) {
        qCDebug(lcSim, "Simulated dish: %s could not be written", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace sim
