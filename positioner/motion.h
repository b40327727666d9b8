#pragma once

#include <QMap>
#include <QString>
#include <QtGlobal>

namespace positioner {

// The program's own idea of where the dish is and where it is going: the
// motor never answers, so this is worked out from the commands sent, the
// steps per degree and the time the motor takes for a degree. Angles are
// east positive, in the motor's sense; NaN when unknown.
class MotionEstimate
{
public:
    void setRates(double stepsPerDegree, int msPerDegree);

    // A move by an amount in degrees (negative west) that starts now.
    void moveBy(const QString& what, double degrees, qint64 nowMs);
    // A move to an absolute angle (NaN: to somewhere unknown).
    void moveTo(const QString& what, double angle, qint64 nowMs);
    // A move for a given time (seconds drive), east or west.
    void moveFor(const QString& what, bool east, qint64 durationMs, qint64 nowMs);
    // The motor was halted: the dish stays where the estimate has got to.
    void halt(qint64 nowMs);
    // The readings say the move has ended: at its target, now.
    void arrived(qint64 nowMs);
    // ... they were wrong: the move goes on to the end it was given.
    void resume(qint64 nowMs);
    // The move under way takes msPerDegree from its start (the motor's speed
    // became known, or the supply changed with a tune).
    void retime(int msPerDegree, qint64 nowMs);
    // Something was sent whose effect is not known (a raw drive).
    void lose();
    // Where the dish is taken to be without a move (at start-up).
    void assume(double angle, qint64 nowMs);

    // The estimate at store time goes with the stored position, for a later goto.
    void stored(int position, qint64 nowMs);
    double storedAngle(int position) const;

    double angle(qint64 nowMs) const;
    // Where the move under way set out from and goes to (NaN: not known).
    double from() const { return m_from; }
    double to() const { return m_to; }
    bool moving(qint64 nowMs) const;
    qint64 remainingMs(qint64 nowMs) const; // -1 when unknown
    // The longest move a motor makes, end stop to end stop, in degrees.
    static constexpr double LongestMoveDeg = 160;
    QString what() const { return m_what; }

    // The status bar line: what the motor does, how long it has left and where
    // the dish is, or where it ended; empty with nothing to say.
    QString statusText(qint64 nowMs) const;

    static QString angleText(double angle);

private:
    void start(const QString& what, double from, double to, qint64 durationMs, qint64 nowMs);

    double m_stepsPerDegree = 9.6;
    int m_msPerDegree = 1000;
    QString m_what;
    double m_from = qQNaN();
    double m_to = qQNaN();
    qint64 m_startMs = 0;
    qint64 m_endMs = 0;
    bool m_endKnown = true; // else m_endMs is the longest such a move can take
    qint64 m_stoppedMs = -1;
    qint64 m_plannedEndMs = -1; // before the readings ended the move
    QMap<int, double> m_stored;
};

} // namespace positioner
