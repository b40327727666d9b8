#pragma once

#include "hw/clock.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>

namespace sim {

// A DiSEqC 1.2 / USALS dish motor: it turns at a constant speed towards its
// target and answers halt, limits, drive, store, goto and goto-angle commands.
// Positive angles are east in the motor's own sense.
class DishMotor
{
public:
    struct Config
    {
        double degreesPerSecond = 1.0;
        double stepsPerDegree = 9.6;
        double hardLimit = 80.0; // mechanical end stops at +-hardLimit
        double startAngle = 0.0;
    };

    enum class Stop { Arrived, Halted, Limit };

    DishMotor(const hw::Clock& clock, const Config& config);

    // A master command as heard on the cable (framing, address, command, data).
    void command(const QByteArray& message);

    double angle(); // where the dish is now
    bool moving();
    double target() const { return m_target; }
    bool limitsEnabled() const { return m_limitsEnabled; }

    // Called when the motor stops: where, and why.
    std::function<void(double angle, Stop why)> stopped;

    static QString stopName(Stop why);

private:
    void update();
    void moveTo(double target);
    void halt(Stop why);
    double clampToLimits(double target, bool* clipped) const;
    double eastLimit() const;
    double westLimit() const;

    const hw::Clock& m_clock;
    Config m_config;
    double m_angle;
    double m_target;
    bool m_moving = false;
    bool m_clipped = false;
    qint64 m_updatedAt;
    bool m_limitsEnabled = false;
    double m_softEast = 0;
    double m_softWest = 0;
    QMap<int, double> m_stored;
    QByteArray m_last;
};

} // namespace sim
