#include "sim/motor.h"

#include "sim/logging.h"

#include <algorithm>
#include <cmath>

namespace sim {

DishMotor::DishMotor(const hw::Clock& clock, const Config& config)
    : m_clock(clock), m_config(config), m_angle(config.startAngle),
      // As if the last move had been eastwards: the play is taken up on that side.
      m_dish(config.startAngle - config.backlash / 2), m_target(config.startAngle),
      m_updatedAt(clock.nowMs())
{
}

DishMotor::State DishMotor::state()
{
    update();
    return State{m_angle, m_limitsEnabled, m_softEast, m_softWest, m_stored};
}

void DishMotor::restore(const State& state)
{
    const double limit = m_config.hardLimit;
    m_angle = std::clamp(state.angle, -limit, limit);
    m_dish = m_angle - m_config.backlash / 2;
    m_target = m_angle;
    m_moving = false;
    m_stopAtMs = -1;
    m_limitsEnabled = state.limitsEnabled;
    m_softEast = state.softEast;
    m_softWest = state.softWest;
    m_stored = state.stored;
    m_updatedAt = m_clock.nowMs();
}

void DishMotor::notifyChanged()
{
    if (changed)
        changed();
}

double DishMotor::speed() const
{
    if (m_volts <= 0)
        return 0.0;
    // Between (and a little beyond) the two rated speeds, linear in the voltage.
    const double perVolt = (m_config.speed18V - m_config.speed13V) / 5.0;
    return std::max(0.0, m_config.speed13V + perVolt * (m_volts - 13));
}

void DishMotor::setSupply(int volts)
{
    update(); // the way so far at the old speed
    m_volts = volts;
    if (volts <= 0)
        halt(Stop::Unpowered);
}

QString DishMotor::stopName(Stop why)
{
    switch (why) {
    case Stop::Arrived:
        return QStringLiteral("arrived");
    case Stop::Halted:
        return QStringLiteral("halted");
    case Stop::Limit:
        return QStringLiteral("limit");
    case Stop::Unpowered:
        return QStringLiteral("unpowered");
    }
    return QString();
}

double DishMotor::eastLimit() const
{
    return m_limitsEnabled ? std::min(m_softEast, m_config.hardLimit) : m_config.hardLimit;
}

double DishMotor::westLimit() const
{
    return m_limitsEnabled ? std::max(m_softWest, -m_config.hardLimit) : -m_config.hardLimit;
}

double DishMotor::clampToLimits(double target, bool* clipped) const
{
    // A dish already beyond a limit may come back, but not go further out.
    const double east = std::max(eastLimit(), m_angle);
    const double west = std::min(westLimit(), m_angle);
    const double clamped = std::clamp(target, west, east);
    *clipped = clamped != target;
    return clamped;
}

void DishMotor::update()
{
    const qint64 now = m_clock.nowMs();
    const qint64 from = m_updatedAt;
    m_updatedAt = now;
    if (!m_moving || now <= from)
        return;
    const bool timedOut = m_stopAtMs >= 0 && m_stopAtMs <= now;
    const qint64 until = timedOut ? std::max(from, m_stopAtMs) : now;
    const double step = speed() * double(until - from) / 1000.0;
    const double remaining = m_target - m_angle;
    const bool arrives = std::abs(remaining) <= step;
    m_angle = arrives ? m_target : m_angle + (remaining > 0 ? step : -step);
    // The dish follows the shaft once the play is taken up.
    m_dish = std::clamp(m_dish, m_angle - m_config.backlash / 2, m_angle + m_config.backlash / 2);
    if (arrives || timedOut) {
        m_moving = false;
        m_stopAtMs = -1;
        m_target = m_angle;
        if (stopped)
            stopped(m_angle, arrives && m_clipped ? Stop::Limit : Stop::Arrived);
        notifyChanged();
    }
}

double DishMotor::angle()
{
    update();
    return m_angle;
}

double DishMotor::dishAngle()
{
    update();
    return m_dish;
}

bool DishMotor::moving()
{
    update();
    return m_moving;
}

void DishMotor::moveTo(double target, qint64 stopAtMs)
{
    update();
    bool clipped = false;
    m_target = clampToLimits(target, &clipped);
    m_clipped = clipped;
    m_stopAtMs = stopAtMs;
    m_moving = m_target != m_angle;
    if (!m_moving && stopped)
        stopped(m_angle, m_clipped ? Stop::Limit : Stop::Arrived);
}

void DishMotor::halt(Stop why)
{
    update();
    const bool wasMoving = m_moving;
    m_moving = false;
    m_stopAtMs = -1;
    m_target = m_angle;
    if (wasMoving && stopped)
        stopped(m_angle, why);
    if (wasMoving)
        notifyChanged();
}

void DishMotor::command(const QByteArray& message)
{
    if (message.size() < 3)
        return;
    const quint8 framing = quint8(message[0]);
    const quint8 address = quint8(message[1]);
    if ((framing & 0xFC) != 0xE0 || (address != 0x30 && address != 0x31 && address != 0x00))
        return;
    // A repetition (framing E1/E3) of the command just heard is not executed again.
    if ((framing & 0x01) && message.mid(1) == m_last.mid(1))
        return;
    m_last = message;

    const quint8 cmd = quint8(message[2]);
    const int data = message.size() > 3 ? quint8(message[3]) : -1;
    update();
    switch (cmd) {
    case 0x60:
        halt(Stop::Halted);
        break;
    case 0x63:
        m_limitsEnabled = false;
        notifyChanged();
        break;
    case 0x66:
        m_softEast = m_angle;
        m_limitsEnabled = true;
        notifyChanged();
        break;
    case 0x67:
        m_softWest = m_angle;
        m_limitsEnabled = true;
        notifyChanged();
        break;
    case 0x68:
    case 0x69:
        drive(cmd == 0x68 ? 1.0 : -1.0, data);
        break;
    case 0x6A:
        if (data == 0)
            m_limitsEnabled = true;
        else if (data > 0)
            m_stored.insert(data, m_angle);
        notifyChanged();
        break;
    case 0x6B:
        if (data == 0)
            moveTo(0.0);
        else if (m_stored.contains(data))
            moveTo(m_stored.value(data));
        break;
    case 0x6E:
        gotoAngle(message);
        break;
    default:
        qCDebug(lcSim, "Motor: command 0x%02x ignored", cmd);
        break;
    }
}

// Drive east (sign 1) or west: 0 until halted or a limit, 1 to 127 for that
// many seconds, 128 to 255 that many steps less 256.
void DishMotor::drive(double sign, int data)
{
    if (data < 0)
        return;
    if (data == 0)
        moveTo(sign * 1000.0);
    else if (data < 0x80)
        moveTo(sign * 1000.0, m_clock.nowMs() + data * 1000);
    else
        moveTo(m_angle + sign * (256 - data) / m_config.stepsPerDegree);
}

// Goto angle: a direction nibble and the angle in sixteenths of a degree.
void DishMotor::gotoAngle(const QByteArray& message)
{
    if (message.size() < 5)
        return;
    const quint8 high = quint8(message[3]);
    const quint8 low = quint8(message[4]);
    const double magnitude = (((high & 0x0F) << 8) | low) / 16.0;
    switch (high >> 4) {
    case 0xE:
        moveTo(magnitude);
        break;
    case 0x0: // "Typical" west
        if (m_config.ignoreWestZero) {
            qCDebug(lcSim, "Motor: goto-angle west with code 0x00 ignored");
            break;
        }
        moveTo(-magnitude);
        break;
    case 0xD: // STAB west
        moveTo(-magnitude);
        break;
    default:
        qCDebug(lcSim, "Motor: goto-angle direction 0x%x not understood", high >> 4);
        break;
    }
}

} // namespace sim
