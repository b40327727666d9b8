#include "positioner/mountfit.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace positioner {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double Rad = Pi / 180;
constexpr double OrbitRatio = MountModel::EarthRadiusKm / MountModel::OrbitRadiusKm;
constexpr double PriorSigmaDeg = 2;
constexpr int N = MountErrors::Count;

// Degrees into (-180, 180].
double wrap180(double degrees)
{
    const double w = std::remainder(degrees, 360.0);
    return w == -180 ? 180 : w;
}

double dot(const double* a, const double* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

QString longitudeText(double degrees)
{
    const double w = wrap180(degrees);
    return QString::number(std::abs(w), 'f', 1) + QChar(0x00B0) +
           (w < 0 ? QLatin1Char('W') : QLatin1Char('E'));
}

} // namespace

// Parameter by index, for the fit's loops; an index out of range is a
// programming error and lands on the last one rather than off the object.
double& MountErrors::operator[](int parameter)
{
    static constexpr double MountErrors::*Fields[Count] = {
        &MountErrors::motorZero, &MountErrors::axisAzimuth, &MountErrors::axisElevation,
        &MountErrors::declination};
    return this->*Fields[std::clamp(parameter, 0, Count - 1)];
}

double MountErrors::operator[](int parameter) const
{
    return const_cast<MountErrors&>(*this)[parameter];
}

MountErrors operator+(const MountErrors& errors, const MountErrors& adjustment)
{
    MountErrors sum;
    for (int i = 0; i < N; ++i)
        sum[i] = errors[i] + adjustment[i];
    return sum;
}

MountErrors operator-(const MountErrors& errors)
{
    MountErrors negative;
    for (int i = 0; i < N; ++i)
        negative[i] = -errors[i];
    return negative;
}

// Local coordinates here are (east, horizontal towards the elevated pole, up):
// north of the equator that is east/north/up, south of it the mirror image, in
// which the southern mount is the northern one at |latitude|. So every sign
// convention holds alike in both hemispheres.
MountModel::MountModel(double latitude, double longitude, const MountErrors& errors)
    : m_longitude(longitude), m_latitudeSign(latitude < 0 ? -1 : 1),
      m_absLatitude(std::abs(latitude) * Rad), m_cosLatitude(std::cos(latitude * Rad)),
      m_errors(errors), m_declination((declinationOffset(latitude) + errors.declination) * Rad)
{
    // The ideal mount turned about the east axis by the polar axis' elevation
    // (a mount tipped up has the flatter axis), then about the vertical by the
    // azimuth error, which turns the dish's face (towards the equator) to the
    // east when positive.
    const double psi = m_absLatitude - errors.axisElevation * Rad;
    const double alpha = errors.axisAzimuth * Rad;
    const double elevation[3][3] = {
        {1, 0, 0}, {0, std::cos(psi), std::sin(psi)}, {0, -std::sin(psi), std::cos(psi)}};
    const double ca = std::cos(alpha), sa = std::sin(alpha);
    for (int k = 0; k < 3; ++k) {
        const double* v = elevation[k];
        m_frame[k][0] = ca * v[0] - sa * v[1];
        m_frame[k][1] = sa * v[0] + ca * v[1];
        m_frame[k][2] = v[2];
    }
}

// The satellite as seen from the site, a unit vector in local coordinates: the
// satellite (orbit radius 1, d east of the site's meridian) less the site (R/r
// up), the meridian's equatorial direction being cos(lat) up, -sin|lat| poleward.
void MountModel::satelliteDirection(double satelliteLongitude, double v[3]) const
{
    const double d = (satelliteLongitude - m_longitude) * Rad;
    v[0] = std::sin(d);
    v[1] = -std::sin(m_absLatitude) * std::cos(d);
    v[2] = m_cosLatitude * std::cos(d) - OrbitRatio;
    const double length = std::sqrt(dot(v, v));
    for (int k = 0; k < 3; ++k)
        v[k] /= length;
}

MountModel::Direction MountModel::inMountFrame(double satelliteLongitude) const
{
    double v[3];
    satelliteDirection(satelliteLongitude, v);
    const double x = dot(m_frame[0], v), polar = dot(m_frame[1], v), z = dot(m_frame[2], v);
    return {std::atan2(x, z), std::asin(std::clamp(polar, -1.0, 1.0))};
}

// The other way round from inMountFrame: the dish's axis carried out into
// local coordinates, and its angle to the satellite.
void MountModel::dishAxis(double motorAngle, double dish[3]) const
{
    const double a = (motorAngle + m_errors.motorZero) * Rad;
    const double inMount[3] = {std::cos(m_declination) * std::sin(a), -std::sin(m_declination),
                               std::cos(m_declination) * std::cos(a)};
    dish[0] = dish[1] = dish[2] = 0;
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j)
            dish[j] += inMount[k] * m_frame[k][j];
}

void MountModel::pointing(double motorAngle, double* azimuthDeg, double* elevationDeg) const
{
    double dish[3];
    dishAxis(motorAngle, dish);
    // The second local axis points to the raised pole: north, or south.
    const double north = m_latitudeSign * dish[1];
    const double azimuth = std::atan2(dish[0], north) / Rad;
    *azimuthDeg = azimuth < 0 ? azimuth + 360 : azimuth;
    *elevationDeg = std::asin(std::clamp(dish[2], -1.0, 1.0)) / Rad;
}

double MountModel::pointingError(double motorAngle, double satelliteLongitude) const
{
    double dish[3], v[3];
    dishAxis(motorAngle, dish);
    satelliteDirection(satelliteLongitude, v);
    const double cross[3] = {dish[1] * v[2] - dish[2] * v[1], dish[2] * v[0] - dish[0] * v[2],
                             dish[0] * v[1] - dish[1] * v[0]};
    return std::atan2(std::sqrt(dot(cross, cross)), dot(dish, v)) / Rad;
}

// The dish at motor angle a points along cos(decl) (sin(a') east + cos(a')
// equator-ward) - sin(decl) polar, a' = a + motorZero: a cone round the axis.
// Its closest approach to a direction is at that direction's own hour angle.
double MountModel::peakMotorAngle(double satelliteLongitude) const
{
    return wrap180(inMountFrame(satelliteLongitude).hourAngle / Rad - m_errors.motorZero);
}

double MountModel::crossTrack(double satelliteLongitude) const
{
    return (inMountFrame(satelliteLongitude).height + m_declination) / Rad;
}

bool MountModel::visible(double satelliteLongitude) const
{
    const double d = (satelliteLongitude - m_longitude) * Rad;
    return m_cosLatitude * std::cos(d) - OrbitRatio > 0;
}

double MountModel::declinationOffset(double latitude)
{
    const double phi = latitude * Rad;
    return std::atan(OrbitRatio * std::abs(std::sin(phi)) / (1 - OrbitRatio * std::cos(phi))) / Rad;
}

double MountModel::usalsAngle(double latitude, double longitude, double satelliteLongitude)
{
    const double d = (satelliteLongitude - longitude) * Rad;
    return std::atan2(std::sin(d), std::cos(d) - OrbitRatio * std::cos(latitude * Rad)) / Rad;
}

namespace {

using Matrix = std::array<std::array<double, N>, N>;
using Vector = std::array<double, N>;

// The readings less the model's, each over its sigma: motor angles, then the
// cross-track offset where one is known.
QVector<double> residuals(double latitude, double longitude, const QVector<ArcPeak>& peaks,
                          const MountErrors& errors, bool weighted = true)
{
    const MountModel model(latitude, longitude, errors);
    QVector<double> r;
    for (const ArcPeak& p : peaks) {
        const double motor = wrap180(p.motorAngle - model.peakMotorAngle(p.satelliteLongitude));
        r.append(weighted ? motor / p.motorSigma : motor);
        if (p.crossTrackKnown) {
            const double across = p.crossTrack - model.crossTrack(p.satelliteLongitude);
            r.append(weighted ? across / p.crossTrackSigma : across);
        }
    }
    return r;
}

double cost(const QVector<double>& r, const MountErrors& errors)
{
    double sum = 0;
    for (double v : r)
        sum += v * v;
    for (int i = 0; i < N; ++i)
        sum += errors[i] * errors[i] / (PriorSigmaDeg * PriorSigmaDeg);
    return sum;
}

// Inverts a symmetric positive definite matrix (Gauss-Jordan with pivoting;
// the prior keeps it well away from singular). False if it is not finite.
bool invert(Matrix a, Matrix* inverse)
{
    Matrix& x = *inverse;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
            x[i][j] = i == j;
    for (int c = 0; c < N; ++c) {
        int pivot = c;
        for (int r = c + 1; r < N; ++r)
            if (std::abs(a[r][c]) > std::abs(a[pivot][c]))
                pivot = r;
        if (!(std::abs(a[pivot][c]) > 1e-300))
            return false;
        std::swap(a[c], a[pivot]);
        std::swap(x[c], x[pivot]);
        const double p = a[c][c];
        for (int j = 0; j < N; ++j) {
            a[c][j] /= p;
            x[c][j] /= p;
        }
        for (int r = 0; r < N; ++r) {
            const double f = a[r][c];
            if (r == c || f == 0)
                continue;
            for (int j = 0; j < N; ++j) {
                a[r][j] -= f * a[c][j];
                x[r][j] -= f * x[c][j];
            }
        }
    }
    return true;
}

// The Gauss-Newton normal matrix J'J + prior at the errors, and the step that
// solves it. A numeric Jacobian: central differences, the model being smooth.
bool gaussNewtonStep(double latitude, double longitude, const QVector<ArcPeak>& peaks,
                     const MountErrors& errors, Matrix* covariance, MountErrors* step)
{
    constexpr double h = 1e-4;
    const QVector<double> r = residuals(latitude, longitude, peaks, errors);
    QVector<QVector<double>> jacobian(N);
    for (int i = 0; i < N; ++i) {
        MountErrors plus = errors, minus = errors;
        plus[i] += h;
        minus[i] -= h;
        const QVector<double> rp = residuals(latitude, longitude, peaks, plus);
        const QVector<double> rm = residuals(latitude, longitude, peaks, minus);
        for (int k = 0; k < r.size(); ++k)
            jacobian[i].append((rp[k] - rm[k]) / (2 * h));
    }
    Matrix a{};
    Vector g{};
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < N; ++j)
            for (int k = 0; k < r.size(); ++k)
                a[i][j] += jacobian[i][k] * jacobian[j][k];
        a[i][i] += 1 / (PriorSigmaDeg * PriorSigmaDeg);
        for (int k = 0; k < r.size(); ++k)
            g[i] += jacobian[i][k] * r[k];
        g[i] += errors[i] / (PriorSigmaDeg * PriorSigmaDeg);
    }
    if (!invert(a, covariance))
        return false;
    for (int i = 0; i < N; ++i) {
        (*step)[i] = 0;
        for (int j = 0; j < N; ++j)
            (*step)[i] -= (*covariance)[i][j] * g[j];
    }
    return true;
}

// Gauss-Newton from the ideal mount, halving a step that does not lower the
// cost. The covariance is that of the last linearisation.
bool solve(double latitude, double longitude, const QVector<ArcPeak>& peaks, MountErrors* errors,
           Matrix* covariance)
{
    MountErrors e;
    double c = cost(residuals(latitude, longitude, peaks, e), e);
    for (int iteration = 0; iteration < 30; ++iteration) {
        MountErrors step;
        if (!gaussNewtonStep(latitude, longitude, peaks, e, covariance, &step))
            return false;
        double largest = 0;
        for (int i = 0; i < N; ++i)
            largest = std::max(largest, std::abs(step[i]));
        if (!std::isfinite(largest))
            return false;
        if (largest < 1e-9)
            break;
        bool better = false;
        for (int halving = 0; halving < 20 && !better; ++halving) {
            const MountErrors trial = e + step;
            const double trialCost = cost(residuals(latitude, longitude, peaks, trial), trial);
            if (trialCost <= c) {
                e = trial;
                c = trialCost;
                better = true;
            }
            for (int i = 0; i < N; ++i)
                step[i] /= 2;
        }
        if (!better)
            break;
    }
    *errors = e;
    MountErrors unused;
    return gaussNewtonStep(latitude, longitude, peaks, e, covariance, &unused);
}

// The peaks the fit can use: found, finite, with a sensible sigma, of a
// satellite above the horizon; a note for each one left out.
QVector<ArcPeak> usablePeaks(const MountModel& ideal, const QVector<ArcPeak>& peaks,
                             QStringList* notes)
{
    QVector<ArcPeak> usable;
    for (const ArcPeak& p : peaks) {
        const QString where = longitudeText(p.satelliteLongitude);
        const bool finite =
            std::isfinite(p.satelliteLongitude) && std::isfinite(p.motorAngle) &&
            p.motorSigma > 0 && std::isfinite(p.motorSigma) &&
            (!p.crossTrackKnown || (std::isfinite(p.crossTrack) && p.crossTrackSigma > 0 &&
                                    std::isfinite(p.crossTrackSigma)));
        if (!p.found)
            notes->append(
                QCoreApplication::translate("zenaraForm", "%1: not found, left out").arg(where));
        else if (!finite)
            notes->append(
                QCoreApplication::translate("zenaraForm", "%1: reading not usable, left out")
                    .arg(where));
        else if (!ideal.visible(p.satelliteLongitude))
            notes->append(
                QCoreApplication::translate("zenaraForm", "%1: below the horizon, left out")
                    .arg(where));
        else
            usable.append(p);
    }
    return usable;
}

QString parameterName(int parameter)
{
    static const char* const Names[N] = {QT_TRANSLATE_NOOP("zenaraForm", "the motor's zero"),
                                         QT_TRANSLATE_NOOP("zenaraForm", "the mount's azimuth"),
                                         QT_TRANSLATE_NOOP("zenaraForm", "the mount's elevation"),
                                         QT_TRANSLATE_NOOP("zenaraForm", "the declination offset")};
    return QCoreApplication::translate("zenaraForm", Names[parameter]);
}

// What the round's geometry leaves open, in the installer's terms. The motor's
// zero and the mount's azimuth both turn the dish along the arc, nearly alike
// everywhere on it; without cross-track readings only their sum is known.
void addCoverageNotes(const QVector<ArcPeak>& used, const Matrix& covariance, MountFit* fit)
{
    const bool crossTrack =
        std::any_of(used.cbegin(), used.cend(), [](const ArcPeak& p) { return p.crossTrackKnown; });
    const bool allEast = std::all_of(used.cbegin(), used.cend(),
                                     [](const ArcPeak& p) { return p.motorAngle > 0.5; });
    const bool allWest = std::all_of(used.cbegin(), used.cend(),
                                     [](const ArcPeak& p) { return p.motorAngle < -0.5; });
    const int z = MountErrors::MotorZero, a = MountErrors::AxisAzimuth;
    const double correlation = covariance[z][a] / std::sqrt(covariance[z][z] * covariance[a][a]);
    if (used.size() == 1)
        fit->notes.append(QCoreApplication::translate(
            "zenaraForm", "One satellite is not enough to tell the errors apart: find more, "
                          "spread across the arc"));
    else if (used.size() == 2)
        fit->notes.append(QCoreApplication::translate(
            "zenaraForm", "Two satellites leave no reading over to check the result: a third "
                          "would show a wrong peak"));
    if (used.size() > 1 && (allEast || allWest))
        fit->notes.append(
            allEast
                ? QCoreApplication::translate(
                      "zenaraForm", "All satellites lie east of the meridian: find one to the west")
                : QCoreApplication::translate(
                      "zenaraForm",
                      "All satellites lie west of the meridian: find one to the east"));
    if (!fit->determined[z] && !fit->determined[a] && std::abs(correlation) > 0.9)
        fit->notes.append(QCoreApplication::translate(
            "zenaraForm", "Motor angles give the motor's zero and the mount's azimuth only "
                          "together (both turn the dish along the arc)"));
    if (!crossTrack)
        fit->notes.append(QCoreApplication::translate(
            "zenaraForm", "Motor angles alone cannot show the declination offset: it moves "
                          "the dish's path across the arc, not along it"));
    QStringList open;
    for (int i = 0; i < N; ++i)
        if (!fit->determined[i])
            open.append(parameterName(i));
    if (open.isEmpty())
        return;
    const QString list = open.join(QStringLiteral(", "));
    fit->notes.append(
        crossTrack ? QCoreApplication::translate(
                         "zenaraForm",
                         "Not determined yet, needs more satellites spread across the arc: %1")
                         .arg(list)
                   : QCoreApplication::translate(
                         "zenaraForm",
                         "Not determined yet, needs a second round with cross-track readings: %1")
                         .arg(list));
}

// A note when the readings disagree with the best mount by clearly more than
// their stated noise (a neighbour's peak, a slipping motor, a wrong site),
// naming the satellite that disagrees most.
void addConsistencyNote(double latitude, double longitude, const QVector<ArcPeak>& used,
                        MountFit* fit)
{
    const QVector<double> r = residuals(latitude, longitude, used, fit->value);
    double sum = 0, worst = 0;
    int worstAt = 0;
    for (int k = 0; k < r.size(); ++k) {
        sum += r[k] * r[k];
        if (std::abs(r[k]) > worst) {
            worst = std::abs(r[k]);
            worstAt = k;
        }
    }
    if (r.isEmpty() || std::sqrt(sum / r.size()) <= 3)
        return;
    // Back from the residual's index to its peak.
    int k = 0;
    for (const ArcPeak& p : used) {
        k += p.crossTrackKnown ? 2 : 1;
        if (worstAt < k) {
            fit->notes.append(QCoreApplication::translate(
                                  "zenaraForm",
                                  "The readings disagree by more than their noise (rms %1°): "
                                  "check %2 first")
                                  .arg(QString::number(fit->rmsDeg, 'f', 2),
                                       longitudeText(p.satelliteLongitude)));
            return;
        }
    }
}

} // namespace

MountFit fitMount(double latitude, double longitude, const QVector<ArcPeak>& peaks)
{
    MountFit fit;
    for (int i = 0; i < N; ++i)
        fit.sigma[i] = PriorSigmaDeg;
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::abs(latitude) > 90) {
        fit.notes.append(
            QCoreApplication::translate("zenaraForm", "The site's position is not valid"));
        return fit;
    }
    const QVector<ArcPeak> used = usablePeaks(MountModel(latitude, longitude), peaks, &fit.notes);
    fit.used = used.size();
    if (used.isEmpty()) {
        fit.notes.append(QCoreApplication::translate("zenaraForm", "No satellite to fit"));
        return fit;
    }
    MountErrors value;
    Matrix covariance{};
    if (!solve(latitude, longitude, used, &value, &covariance)) {
        fit.notes.append(
            QCoreApplication::translate("zenaraForm", "The readings give no solution"));
        return fit;
    }
    fit.ok = true;
    fit.value = value;
    for (int i = 0; i < N; ++i) {
        fit.sigma[i] = std::sqrt(std::max(0.0, covariance[i][i]));
        fit.determined[i] = fit.sigma[i] < DeterminedSigmaDeg;
    }
    const QVector<double> r = residuals(latitude, longitude, used, value, false);
    double sum = 0;
    for (double v : r)
        sum += v * v;
    fit.rmsDeg = std::sqrt(sum / r.size());
    addCoverageNotes(used, covariance, &fit);
    addConsistencyNote(latitude, longitude, used, &fit);
    return fit;
}

// Levels L = top - k c^2 before and L' = top - k (c + s)^2 after: the top
// cancels, L' - L = -k (2 c s + s^2), a straight line in c.
bool crossTrackFromLevels(double levelBeforeDb, double levelAfterDb, double shiftDeg,
                          double curvatureDbPerDeg2, double levelSigmaDb, double* crossTrack,
                          double* sigma, double unitsPerDb)
{
    // A dish's main lobe falls as a parabola in dB down to about this far.
    constexpr double ParabolaHoldsDb = 8;
    constexpr double LargestSigmaDeg = 0.5;
    const double k = curvatureDbPerDeg2, s = shiftDeg;
    if (!crossTrack || !std::isfinite(levelBeforeDb) || !std::isfinite(levelAfterDb) ||
        !std::isfinite(s) || !(k > 0) || !std::isfinite(k) || !(levelSigmaDb > 0) ||
        !std::isfinite(levelSigmaDb) || s == 0)
        return false;
    const double c = -((levelAfterDb - levelBeforeDb) / k + s * s) / (2 * s);
    const double sigmaC = std::sqrt(2.0) * levelSigmaDb / (2 * k * std::abs(s));
    // Further down the main lobe the beam no longer falls as a parabola.
    const double holds = ParabolaHoldsDb * (unitsPerDb > 0 ? unitsPerDb : 1);
    if (!(sigmaC <= LargestSigmaDeg) || k * c * c > holds || k * (c + s) * (c + s) > holds)
        return false;
    *crossTrack = c;
    if (sigma)
        *sigma = sigmaC;
    return true;
}

double crossTrackShift(double latitude, double longitude, double satelliteLongitude,
                       const MountErrors& errors, const MountErrors& adjustment)
{
    const MountModel before(latitude, longitude, errors);
    const MountModel after(latitude, longitude, errors + adjustment);
    return after.crossTrack(satelliteLongitude) - before.crossTrack(satelliteLongitude);
}

double beamCurvatureDbPerDeg2(double dishDiameterM, double frequencyMHz)
{
    constexpr double SpeedOfLightMmPerUs = 299.792458; // wavelength in m = this / MHz
    if (!(dishDiameterM > 0) || !(frequencyMHz > 0) || !std::isfinite(dishDiameterM) ||
        !std::isfinite(frequencyMHz))
        return 0;
    const double halfPowerWidth = 70 * (SpeedOfLightMmPerUs / frequencyMHz) / dishDiameterM;
    return 12 / (halfPowerWidth * halfPowerWidth);
}

namespace {

QString degreesText(double degrees)
{
    const double size = std::abs(degrees);
    return QString::number(size, 'f', size >= 0.1 ? 1 : 2);
}

// The installer's words for one error, worth adjusting (the correction being
// its negative), with the site's declination offset where that is the one.
QString advice(int parameter, double value, double latitude)
{
    const QString size = degreesText(value);
    switch (parameter) {
    case MountErrors::MotorZero:
        return value > 0 ? QCoreApplication::translate(
                               "zenaraForm", "The motor's zero is %1° east (gotos allow for it)")
                               .arg(size)
                         : QCoreApplication::translate(
                               "zenaraForm", "The motor's zero is %1° west (gotos allow for it)")
                               .arg(size);
    case MountErrors::AxisAzimuth:
        return value > 0
                   ? QCoreApplication::translate("zenaraForm", "Turn the mount %1° west").arg(size)
                   : QCoreApplication::translate("zenaraForm", "Turn the mount %1° east").arg(size);
    case MountErrors::AxisElevation:
        // Tipping the mount moves the dish and the polar axis opposite ways:
        // said both ways, as the latitude scale is read.
        return value > 0
                   ? QCoreApplication::translate(
                         "zenaraForm", "Tip the mount down by %1° (its latitude scale %1° higher)")
                         .arg(size)
                   : QCoreApplication::translate(
                         "zenaraForm", "Tip the mount up by %1° (its latitude scale %1° lower)")
                         .arg(size);
    default: {
        const QString right = QString::number(MountModel::declinationOffset(latitude), 'f', 1);
        return value > 0
                   ? QCoreApplication::translate(
                         "zenaraForm", "Declination offset %1° too large (this site needs %2°)")
                         .arg(size, right)
                   : QCoreApplication::translate(
                         "zenaraForm", "Declination offset %1° too small (this site needs %2°)")
                         .arg(size, right);
    }
    }
}

} // namespace

QStringList adjustmentAdvice(const MountFit& fit, double latitude)
{
    constexpr double SmallestDeg = 0.05;
    QStringList lines;
    bool anyDetermined = false;
    for (int i = 0; i < N && fit.ok; ++i) {
        if (!fit.determined[i])
            continue;
        anyDetermined = true;
        if (std::abs(fit.value[i]) > std::max(SmallestDeg, 2 * fit.sigma[i]))
            lines.append(advice(i, fit.value[i], latitude));
    }
    if (!lines.isEmpty())
        return lines;
    if (!anyDetermined)
        return {QCoreApplication::translate("zenaraForm", "Too few readings to advise")};
    const bool all = std::all_of(fit.determined.cbegin(), fit.determined.cend(),
                                 [](bool determined) { return determined; });
    return {
        all ? QCoreApplication::translate("zenaraForm", "The mount needs no adjustment")
            : QCoreApplication::translate("zenaraForm", "Nothing measured so far needs adjusting")};
}

} // namespace positioner
