#pragma once

#include "hw/clock.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>

namespace sim {

// A DiSEqC 1.2 / USALS dish motor: it turns towards its target at a speed set
// by the supply voltage, stops when the supply goes, and answers halt, limits,
// drive, store, goto and goto-angle commands. Positive angles are east in the
// motor's own sense. The gears have a little play: after a reversal the shaft
// turns through the backlash before the dish follows.
class DishMotor
{
public:
    struct Config
    {
        double speed13V = 1.2; // degrees per second
        double speed18V = 1.8;
        double stepsPerDegree = 9.6;
        double hardLimit = 80.0; // mechanical end stops at +-hardLimit
        double startAngle = 0.0;
        double backlash = 0.05; // degrees
        // Like many USALS motors, it takes only 0xD0 as the west code of a
        // goto-angle and ignores one with 0x00.
        bool ignoreWestZero = false;
    };

    enum class Stop { Arrived, Halted, Limit, Unpowered };

    // What the motor keeps when its power goes: where it is, its limits and
    // its stored positions.
    struct State
    {
        double angle = 0;
        bool limitsEnabled = false;
        double softEast = 1e9; // a side never set stays at the end stop
        double softWest = -1e9;
        QMap<int, double> stored;
    };

    DishMotor(const hw::Clock& clock, const Config& config);

    // A master command as heard on the cable (framing, address, command, data).
    void command(const QByteArray& message);

    // The supply on the cable, in volts (0 = off); the motor stops without it.
    void setSupply(int volts);
    double speed() const; // degrees per second at the present supply

    double angle();     // the shaft's position, as the motor counts it
    double dishAngle(); // where the dish points: the shaft less the gears' play
    bool moving();
    double target() const { return m_target; }
    bool limitsEnabled() const { return m_limitsEnabled; }

    // Called when the motor stops: where, and why.
    std::function<void(double angle, Stop why)> stopped;
    // Called when what state() gives has changed for good: a stop, a limit or
    // a stored position.
    std::function<void()> changed;

    State state();
    // The motor as it was left (a dish stays where it was); an angle beyond
    // the end stops is taken back to them.
    void restore(const State& state);

    static QString stopName(Stop why);

private:
    void drive(double sign, int data);
    void gotoAngle(const QByteArray& message);
    void update();
    void moveTo(double target, qint64 stopAtMs = -1);
    void halt(Stop why);
    double clampToLimits(double target, bool* clipped) const;
    double eastLimit() const;
    double westLimit() const;

    const hw::Clock& m_clock;
    Config m_config;
    double m_angle;
    double m_dish;
    double m_target;
    qint64 m_stopAtMs = -1; // a timed drive ends here
    int m_volts = 0;
    bool m_moving = false;
    bool m_clipped = false;
    qint64 m_updatedAt;
    bool m_limitsEnabled = false;
    double m_softEast = 1e9;
    double m_softWest = -1e9;
    QMap<int, double> m_stored;
    void notifyChanged();
    QByteArray m_last;
};

} // namespace sim
