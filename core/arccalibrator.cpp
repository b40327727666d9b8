#include "core/arccalibrator.h"

#include "hw/cardlibrary.h"
#include "lists/satellitelist.h"
#include "monitor/networkcheck.h"
#include "positioner/beamfit.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace core {
namespace {

QString said(const char* text)
{
    return QCoreApplication::translate("zenaraForm", text);
}

double megahertz(const transponders::Transponder& t)
{
    return t.frequency.toDouble();
}

double kilosymbols(const transponders::Transponder& t)
{
    return t.symbolRate.toDouble();
}

// A carrier worth peaking on: Ku band, wide enough to be strong, a
// modulation any receiver locks at a modest C/N.
bool worthLocking(const transponders::Transponder& t)
{
    using hw::Modulation;
    const Modulation m = t.format.modulation;
    return megahertz(t) >= 10700 && megahertz(t) <= 12750 && kilosymbols(t) >= 10000 &&
           (m == Modulation::Auto || m == Modulation::Qpsk || m == Modulation::Psk8);
}

// A neighbour sending on the same frequency and polarisation skews the top
// the readings show.
bool sharedBy(const transponders::Transponder& t, const QVector<transponders::Transponder>& others)
{
    for (const transponders::Transponder& o : others)
        if (o.polarization == t.polarization &&
            std::abs(megahertz(o) - megahertz(t)) < 0.7 * (kilosymbols(o) + kilosymbols(t)) / 1000)
            return true;
    return false;
}

} // namespace

ArcCalibrator::ArcCalibrator(Session& session, QObject* parent)
    : QObject(parent), m_session(session)
{
    connect(&session, &Session::haltSent, this, [this] { m_stop = true; });
    connect(&session, &Session::closing, this, [this] { m_stop = true; });
}

int ArcCalibrator::rowOf(double position) const
{
    const SatelliteList& list = m_session.satellites();
    for (int row = 1; row < list.shownNumbers.size(); ++row) {
        const int at = list.numbers.indexOf(list.shownNumbers.at(row));
        if (at >= 0 && std::abs(list.orbitalPositions.at(at) - position) < 0.05)
            return row;
    }
    return -1;
}

int ArcCalibrator::transponderFor(int row) const
{
    const SatelliteList& list = m_session.satellites();
    const QVector<transponders::Transponder> own = m_session.transpondersOf(row);
    QVector<transponders::Transponder> near;
    const double position =
        list.orbitalPositions.value(list.numbers.indexOf(list.shownNumbers.value(row)));
    for (int other = 1; other < list.shownNumbers.size(); ++other) {
        const int at = list.numbers.indexOf(list.shownNumbers.at(other));
        const double apart = at >= 0 ? std::abs(list.orbitalPositions.at(at) - position) : 99;
        if (other != row && apart > 0.05 && apart <= 4)
            near += m_session.transpondersOf(other);
    }
    // The widest clean carrier; a shared one only where there is no other.
    int best = 0;
    double bestScore = 0;
    for (int i = 0; i < own.size(); ++i) {
        if (!worthLocking(own.at(i)))
            continue;
        // QPSK locks at the lowest C/N.
        const bool robust = own.at(i).format.modulation != hw::Modulation::Psk8;
        const double score =
            kilosymbols(own.at(i)) * (sharedBy(own.at(i), near) ? 1 : 1000) * (robust ? 3 : 1);
        if (score > bestScore) {
            bestScore = score;
            best = i + 1;
        }
    }
    return best;
}

QVector<QVector<double>> ArcCalibrator::candidates() const
{
    const SatelliteList& list = m_session.satellites();
    struct Candidate
    {
        double position, angle;
    };
    QVector<Candidate> shown;
    double east = 0, west = 0;
    for (int row = 1; row < list.shownNumbers.size(); ++row) {
        const int at = list.numbers.indexOf(list.shownNumbers.at(row));
        if (at < 0)
            continue;
        const double position = list.orbitalPositions.at(at);
        const double angle = list.motorAngleOf(position);
        shown.append({position, angle});
        east = std::max(east, angle);
        west = std::min(west, angle);
    }
    // Two thirds of the way to either end: low satellites lock poorly. Each
    // slot has the next nearest to fall back on.
    QVector<QVector<double>> parts;
    QVector<double> taken;
    for (const double wanted : {2 * east / 3, 0.0, 2 * west / 3}) {
        std::sort(shown.begin(), shown.end(), [wanted](const Candidate& a, const Candidate& b) {
            return std::abs(a.angle - wanted) < std::abs(b.angle - wanted);
        });
        QVector<double> slot;
        for (const Candidate& c : shown)
            if (slot.size() < 3 && !taken.contains(c.position) &&
                transponderFor(rowOf(c.position)) > 0) {
                slot.append(c.position);
                taken.append(c.position);
            }
        if (!slot.isEmpty())
            parts.append(slot);
    }
    return parts;
}

QVector<double> ArcCalibrator::pick() const
{
    QVector<double> picked;
    for (const QVector<double>& slot : candidates())
        picked.append(slot.first());
    return picked;
}

bool ArcCalibrator::waitMs(int ms)
{
    const hw::Stopwatch watch(hw::CardLayer::clock());
    while (!m_stop && watch.elapsed() < ms) {
        // The window is going: nothing more is to be asked of the motor.
        if (m_session.positioner().abandoned())
            m_stop = true;
        else
            m_session.positioner().waitWithEvents(int(std::min<qint64>(250, ms - watch.elapsed())));
    }
    return !m_stop;
}

bool ArcCalibrator::waitForLock(int ms)
{
    for (int waited = 0; waited < ms; waited += 250) {
        if (m_session.lastReading().locked)
            return true;
        if (!waitMs(250))
            return false;
    }
    return m_session.lastReading().locked;
}

bool ArcCalibrator::measure(double position, positioner::CalibrationPeak* peak, double* levelSigma)
{
    peak->satelliteLongitude = position;
    peak->found = false;
    const int row = rowOf(position);
    const int transponder = row > 0 ? transponderFor(row) : 0;
    if (transponder <= 0)
        return true; // nothing there to lock to: not found
    m_session.chooseSatellite(row);
    m_session.chooseTransponder(transponder);
    m_session.usalsGoto();
    m_session.tune();
    const hw::Clock& clock = hw::CardLayer::clock();
    // Until the goto is over by the estimate (the longest a goto can take, if
    // the motor's start was not known), and a second for the gears.
    const positioner::Positioner& p = m_session.positioner();
    const double longest = 180.0 * p.settings().msPerDegree;
    for (const hw::Stopwatch watch(clock);
         p.motion().moving(clock.nowMs()) && watch.elapsed() < longest;)
        if (!waitMs(250))
            return false;
    if (!waitMs(1000) || (!waitForLock(4000) && m_stop))
        return false;
    m_session.autotune(1, 0);
    if (m_stop || !waitMs(500))
        return false;
    // The peak's level: a few seconds of the AGC (which reads the power the
    // dish gathers, as the decibel goes), locked throughout, and the C/N.
    double sum = 0, squares = 0, cn = 0;
    int n = 0;
    for (int k = 0; k < 8; ++k) {
        if (!waitMs(250))
            return false;
        const PollReading& r = m_session.lastReading();
        if (!r.locked || !r.agcValid)
            return true;
        sum += r.agcPercent;
        squares += r.agcPercent * r.agcPercent;
        cn += m_session.margin().valid ? m_session.margin().cnDb : 0;
        ++n;
    }
    const positioner::Positioner::SweepReport& sweep = p.lastSweep();
    const double stepsPerDegree = p.settings().stepsPerDegree;
    peak->found = sweep.ok && sweep.agcOk;
    // Where the beam itself peaks: the AGC's top, the SNR's being pulled
    // up the sky by its noise, warmer low down, a little differently at
    // either end of the arc (which looks like a tilted mount). The sweep
    // counts the motor's own steps, which turn the other way in the south.
    const double userSteps = p.settings().siteLatitude < 0 ? -1 : 1;
    // The dish stands on the fitted top, or back at the start when that read
    // no better (the start was on the top already).
    const double at = sweep.backAtStart ? 0 : std::round(sweep.peak);
    peak->motorAngle =
        p.motion().angle(clock.nowMs()) + userSteps * (sweep.agcPeak - at) / stepsPerDegree;
    peak->level = sum / n;
    peak->cnDb = cn / n;
    // The beam's curvature as the same meter showed it along the arc, and
    // what that makes of its decibel against the dish's beamwidth.
    peak->curvature = -sweep.agcCurvature * stepsPerDegree * stepsPerDegree;
    const double theory =
        positioner::beamCurvatureDbPerDeg2(m_session.options().dishDiameter, m_session.frequency());
    peak->unitsPerDb = theory > 0 && peak->curvature > 0 ? peak->curvature / theory : 1;
    const double spread = std::sqrt(std::max(0.0, squares / n - peak->level * peak->level));
    *levelSigma = std::max(*levelSigma, std::max(0.03, spread / std::sqrt(double(n))));
    peak->found = peak->found && std::isfinite(peak->motorAngle);
    return true;
}

int ArcCalibrator::secondsLeft(const QVector<double>& satellites, int from) const
{
    const SatelliteList& list = m_session.satellites();
    const double msPerDegree = m_session.positioner().settings().msPerDegree;
    double angle = m_session.positioner().motion().angle(hw::CardLayer::clock().nowMs());
    double seconds = 0;
    for (int i = from; i < satellites.size(); ++i) {
        const double next = list.motorAngleOf(satellites.at(i));
        seconds += (std::isfinite(angle) ? std::abs(next - angle) : 30) * msPerDegree / 1000 +
                   SatelliteSeconds;
        angle = next;
    }
    return int(std::lround(seconds));
}

void ArcCalibrator::measureRound(const QVector<QVector<double>>& parts, QVector<double>* satellites,
                                 QVector<positioner::CalibrationPeak>* peaks, double* levelSigma)
{
    for (int i = 0; i < parts.size() && !m_stop; ++i) {
        positioner::CalibrationPeak peak;
        for (const double position : parts.at(i)) {
            (*satellites)[i] = position;
            emit progress(said(QT_TRANSLATE_NOOP("zenaraForm", "Calibrating the arc: %1"))
                              .arg(networkcheck::positionText(position)),
                          i, parts.size(), secondsLeft(*satellites, i));
            if (!measure(position, &peak, levelSigma) || peak.found)
                break;
        }
        if (!m_stop)
            peaks->append(peak);
    }
}

Result ArcCalibrator::calibrate(QVector<double> satellites)
{
    if (m_running)
        return {said(QT_TRANSLATE_NOOP("zenaraForm", "The arc is being calibrated already"))};
    // Picked here: a satellite that does not lock gives way to the next in
    // its part of the arc. Named by the user: those.
    // Measured again: the same satellites, whose levels then say how far off
    // the arc passes them.
    QVector<QVector<double>> parts;
    if (satellites.isEmpty())
        for (const positioner::CalibrationPeak& p : m_session.calibration().peaks)
            if (p.found)
                satellites.append(p.satelliteLongitude);
    if (satellites.isEmpty())
        parts = candidates();
    for (const double s : satellites) // each once, however often named
        if (std::none_of(parts.cbegin(), parts.cend(), [s](const QVector<double>& part) {
                return std::abs(part.first() - s) < 0.05;
            }))
            parts.append(QVector<double>{s});
    if (parts.size() < 2)
        return {said(QT_TRANSLATE_NOOP("zenaraForm",
                                       "Calibrating the arc needs two satellites or more with a "
                                       "transponder to lock to in the lists"))};
    satellites.clear();
    for (const QVector<double>& slot : parts)
        satellites.append(slot.first());
    m_running = true;
    m_stop = false;
    const double latitude = m_session.options().latitude;
    const double longitude = m_session.options().longitude;
    const positioner::ArcCalibration before = m_session.calibration();
    // The installer did what the last round asked: gotos go where that puts
    // the satellites.
    positioner::ArcCalibration adjusted = before;
    adjusted.assumeAdjusted();
    m_session.setCalibration(adjusted);
    QVector<positioner::CalibrationPeak> peaks;
    double levelSigma = 0.03;
    measureRound(parts, &satellites, &peaks, &levelSigma);
    Result result;
    if (m_stop) {
        m_session.setCalibration(before); // halted: as it was
        result.warning =
            said(QT_TRANSLATE_NOOP("zenaraForm", "Calibrating the arc: halted, nothing changed"));
    } else {
        m_session.setCalibration(
            positioner::nextRound(before, latitude, longitude, peaks, levelSigma));
    }
    m_running = false;
    emit progress(QString(), satellites.size(), satellites.size(), 0);
    emit finished();
    return result;
}

} // namespace core
