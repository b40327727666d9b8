#pragma once

#include "core/session.h"
#include "positioner/arccalibration.h"

#include <QObject>
#include <QVector>

namespace core {

// "Calibrate the arc": to each of a few satellites spread over the visible
// arc, a transponder of its own that no satellite near it sends on, the goto,
// the sweep and fit, the peak's motor angle and C/N; then the mount's fit,
// the advice, and every later goto corrected. Halt ends it at once (the
// calibration is then as it was). Every front end runs the same one.
class ArcCalibrator : public QObject
{
    Q_OBJECT

public:
    explicit ArcCalibrator(Session& session, QObject* parent = nullptr);

    // Orbital positions, east positive; empty: the ones pick() chooses. The
    // result's warning says why nothing was calibrated.
    Result calibrate(QVector<double> satellites);
    bool running() const { return m_running; }
    // Ends a round under way as Halt does: nothing changed.
    void stop() { m_stop = true; }
    // East end, near the top, west end: satellites the list shows with a
    // transponder worth locking to.
    QVector<double> pick() const;
    // The same, each with the next nearest to fall back on.
    QVector<QVector<double>> candidates() const;

    // How long one satellite takes besides its goto: the lock, the sweep
    // and fit, the readings of the peak.
    static constexpr int SatelliteSeconds = 25;

signals:
    void progress(const QString& doing, int done, int total, int secondsLeft);
    void finished();

private:
    // The satellite box row of a position, and the entry of its transponder
    // to lock to (0: none).
    int rowOf(double position) const;
    int transponderFor(int row) const;
    bool measure(double position, positioner::CalibrationPeak* peak, double* levelSigma);
    // Each part of the arc in turn, the next in it where one does not lock.
    void measureRound(const QVector<QVector<double>>& parts, QVector<double>* satellites,
                      QVector<positioner::CalibrationPeak>* peaks, double* levelSigma);
    bool waitMs(int ms);
    bool waitForLock(int ms);
    int secondsLeft(const QVector<double>& satellites, int from) const;

    Session& m_session;
    bool m_running = false;
    bool m_stop = false;
};

} // namespace core
