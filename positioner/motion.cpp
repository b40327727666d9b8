#include "positioner/motion.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace positioner {
namespace {

// How long the line about a finished move stays.
constexpr qint64 ShowStopForMs = 5000;

} // namespace

void MotionEstimate::setRates(double stepsPerDegree, int msPerDegree)
{
    m_stepsPerDegree = stepsPerDegree;
    m_msPerDegree = std::max(1, msPerDegree);
}

QString MotionEstimate::angleText(double angle)
{
    if (!std::isfinite(angle))
        return QString();
    const double rounded = std::round(angle * 10) / 10;
    if (rounded == 0)
        return QStringLiteral("0.0°");
    return QStringLiteral("%1°%2").arg(std::abs(rounded), 0, 'f', 1).arg(rounded > 0 ? 'E' : 'W');
}

void MotionEstimate::start(const QString& what, double from, double to, qint64 durationMs,
                           qint64 nowMs)
{
    m_what = what;
    m_from = from;
    m_to = to;
    m_startMs = nowMs;
    m_endKnown = durationMs >= 0;
    m_endMs = nowMs + (m_endKnown ? durationMs : qint64(LongestMoveDeg * m_msPerDegree));
    m_plannedEndMs = -1;
    m_stoppedMs = -1;
}

void MotionEstimate::moveBy(const QString& what, double degrees, qint64 nowMs)
{
    const double from = angle(nowMs);
    start(what, from, from + degrees, qint64(std::abs(degrees) * m_msPerDegree), nowMs);
}

void MotionEstimate::moveTo(const QString& what, double target, qint64 nowMs)
{
    const double from = angle(nowMs);
    const qint64 duration = std::isfinite(from) && std::isfinite(target)
                                ? qint64(std::abs(target - from) * m_msPerDegree)
                                : -1;
    start(what, from, target, duration, nowMs);
}

void MotionEstimate::moveFor(const QString& what, bool east, qint64 durationMs, qint64 nowMs)
{
    const double degrees = double(durationMs) / m_msPerDegree;
    const double from = angle(nowMs);
    start(what, from, from + (east ? degrees : -degrees), durationMs, nowMs);
}

void MotionEstimate::halt(qint64 nowMs)
{
    // Whether or not a move is under way, the user wants to see that it stopped.
    if (m_what.isEmpty())
        m_what = QStringLiteral("Halt");
    const double here = angle(nowMs);
    m_from = m_to = here;
    m_endMs = nowMs;
    m_stoppedMs = nowMs;
}

void MotionEstimate::arrived(qint64 nowMs)
{
    if (!moving(nowMs))
        return;
    m_plannedEndMs = m_endKnown ? m_endMs : -1;
    m_endKnown = true;
    m_endMs = nowMs;
}

void MotionEstimate::resume(qint64 nowMs)
{
    if (m_plannedEndMs > nowMs && m_stoppedMs < 0)
        m_endMs = m_plannedEndMs;
    m_plannedEndMs = -1;
}

void MotionEstimate::retime(int msPerDegree, qint64 nowMs)
{
    m_msPerDegree = std::max(1, msPerDegree);
    if (!moving(nowMs) || !m_endKnown || !std::isfinite(m_from) || !std::isfinite(m_to))
        return;
    m_endMs = m_startMs + qint64(std::abs(m_to - m_from) * m_msPerDegree);
}

void MotionEstimate::lose()
{
    m_from = m_to = qQNaN();
    m_endKnown = true;
    m_endMs = m_startMs;
    m_what.clear();
}

void MotionEstimate::assume(double angle, qint64 nowMs)
{
    m_what.clear();
    m_from = m_to = angle;
    m_startMs = m_endMs = nowMs;
    m_endKnown = true;
    m_stoppedMs = -1;
}

void MotionEstimate::stored(int position, qint64 nowMs)
{
    const double here = moving(nowMs) ? qQNaN() : angle(nowMs);
    if (std::isfinite(here))
        m_stored.insert(position, here);
    else
        m_stored.remove(position);
}

double MotionEstimate::storedAngle(int position) const
{
    if (position == 0)
        return 0.0; // the motor's reference
    return m_stored.value(position, qQNaN());
}

double MotionEstimate::angle(qint64 nowMs) const
{
    if (!m_endKnown && nowMs < m_endMs)
        return qQNaN(); // somewhere between, nobody knows where
    if (nowMs >= m_endMs || m_endMs == m_startMs)
        return m_to;
    const double done = double(nowMs - m_startMs) / double(m_endMs - m_startMs);
    return m_from + (m_to - m_from) * std::clamp(done, 0.0, 1.0);
}

bool MotionEstimate::moving(qint64 nowMs) const
{
    if (m_what.isEmpty() || m_stoppedMs >= 0)
        return false;
    return nowMs < m_endMs;
}

qint64 MotionEstimate::remainingMs(qint64 nowMs) const
{
    if (!moving(nowMs))
        return 0;
    return m_endKnown ? m_endMs - nowMs : -1;
}

QString MotionEstimate::statusText(qint64 nowMs) const
{
    if (m_what.isEmpty())
        return QString();
    const QString where = angleText(angle(nowMs));
    if (moving(nowMs)) {
        QString line = QCoreApplication::translate("zenaraForm", "Motor: %1").arg(m_what);
        const qint64 left = remainingMs(nowMs);
        if (left >= 0)
            line +=
                QCoreApplication::translate("zenaraForm", ", %1 s left").arg((left + 999) / 1000);
        if (!where.isEmpty())
            line += QCoreApplication::translate("zenaraForm", ", dish at about %1").arg(where);
        return line;
    }
    const qint64 end = m_stoppedMs >= 0 ? m_stoppedMs : m_endMs;
    if (nowMs - end > ShowStopForMs)
        return QString();
    QString line = m_stoppedMs >= 0
                       ? QCoreApplication::translate("zenaraForm", "Motor halted")
                       : QCoreApplication::translate("zenaraForm", "Motor: %1 done").arg(m_what);
    if (!where.isEmpty())
        line += QCoreApplication::translate("zenaraForm", ", dish at about %1").arg(where);
    return line;
}

} // namespace positioner
