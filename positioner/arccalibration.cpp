#include "positioner/arccalibration.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace positioner {
namespace {

constexpr int Physical[] = {MountErrors::AxisAzimuth, MountErrors::AxisElevation,
                            MountErrors::Declination};
constexpr double Smallest = 0.05; // degrees: less is not worth a spanner

int tenths(double longitude)
{
    return int(std::lround(longitude * 10));
}

bool anyPhysical(const MountErrors& e)
{
    return std::any_of(std::begin(Physical), std::end(Physical), [&](int i) { return e[i] != 0; });
}

const CalibrationPeak* peakAt(const QVector<CalibrationPeak>& peaks, double longitude)
{
    for (const CalibrationPeak& p : peaks)
        if (p.found && tenths(p.satelliteLongitude) == tenths(longitude))
            return &p;
    return nullptr;
}

// The fit's input: motor angles, and across the arc what the change of each
// peak's level since the last round says, the adjustment made in between
// being known.
QVector<ArcPeak> arcPeaks(const ArcCalibration& before, double latitude, double longitude,
                          const QVector<CalibrationPeak>& peaks, double levelSigma)
{
    // Since the last round: what was said to be done, and what was asked
    // (measuring again says it was done).
    const MountErrors adjustment = before.made + before.pending;
    const bool adjusted = before.fitted && anyPhysical(adjustment);
    QVector<ArcPeak> result;
    for (const CalibrationPeak& p : peaks) {
        ArcPeak a;
        a.satelliteLongitude = p.satelliteLongitude;
        a.motorAngle = p.motorAngle;
        a.found = p.found;
        const CalibrationPeak* was =
            adjusted ? peakAt(before.peaks, p.satelliteLongitude) : nullptr;
        // The beam's curvature as the readings themselves show it: a flat-
        // topped meter shows the change of level flattened alike.
        const double k =
            was && was->curvature > 0 && p.curvature > 0 ? (was->curvature + p.curvature) / 2 : 0;
        const double unitsPerDb = was ? (was->unitsPerDb + p.unitsPerDb) / 2 : 1;
        const double shift =
            crossTrackShift(latitude, longitude, p.satelliteLongitude, before.errors, adjustment);
        double c = 0, sigma = 0;
        if (p.found && k > 0 &&
            crossTrackFromLevels(was->level, p.level, shift, k, levelSigma, &c, &sigma,
                                 unitsPerDb)) {
            a.crossTrackKnown = true;
            a.crossTrack = c + shift; // as the mount stands now
            a.crossTrackSigma = sigma;
        }
        result.append(a);
    }
    return result;
}

QString degrees(double value)
{
    return QString::number(std::abs(value), 'f', std::abs(value) < 0.1 ? 2 : 1);
}

} // namespace

double ArcCalibration::gotoAngle(double latitude, double longitude, double satelliteLongitude) const
{
    const double nominal =
        fitted ? MountModel(latitude, longitude, errors + made).peakMotorAngle(satelliteLongitude)
               : MountModel::usalsAngle(latitude, longitude, satelliteLongitude);
    return nominal + offsetOf(satelliteLongitude);
}

void ArcCalibration::assumeAdjusted()
{
    made = made + pending;
    pending = MountErrors{};
    testTilt = false;
}

double ArcCalibration::offsetOf(double satelliteLongitude) const
{
    return offsets.value(tenths(satelliteLongitude), 0.0);
}

void ArcCalibration::setOffset(double satelliteLongitude, double degrees)
{
    if (degrees == 0 || !std::isfinite(degrees))
        offsets.remove(tenths(satelliteLongitude));
    else
        offsets[tenths(satelliteLongitude)] = degrees;
}

QStringList ArcCalibration::advice(double latitude) const
{
    if (!fitted)
        return {};
    if (testTilt) {
        const QString text =
            pending.axisElevation > 0
                ? QCoreApplication::translate(
                      "zenaraForm", "As a test, tip the mount up by %1° (its latitude scale %1° "
                                    "lower), then measure again: the change of each signal shows "
                                    "the rest")
                : QCoreApplication::translate(
                      "zenaraForm", "As a test, tip the mount down by %1° (its latitude scale %1° "
                                    "higher), then measure again: the change of each signal shows "
                                    "the rest");
        return {text.arg(degrees(pending.axisElevation))};
    }
    // What is asked, in the installer's words; the motor's zero as fitted.
    MountFit asked;
    asked.ok = true;
    asked.value = -pending;
    asked.value.motorZero = errors.motorZero;
    asked.determined = {determined[MountErrors::MotorZero], true, true, true};
    return adjustmentAdvice(asked, latitude);
}

ArcCalibration nextRound(const ArcCalibration& before, double latitude, double longitude,
                         const QVector<CalibrationPeak>& peaks, double levelSigma)
{
    const QVector<ArcPeak> input = arcPeaks(before, latitude, longitude, peaks, levelSigma);
    const MountFit fit = fitMount(latitude, longitude, input);
    if (!fit.ok) {
        // Nothing found (rain, an LNB gone): what was known stays.
        ArcCalibration kept = before;
        kept.notes = fit.notes;
        return kept;
    }
    ArcCalibration next;
    next.offsets = before.offsets;
    next.rounds = before.rounds + 1;
    next.peaks = peaks;
    next.notes = fit.notes;
    next.fitted = true;
    next.errors = fit.value;
    next.sigma = fit.sigma;
    next.determined = fit.determined;
    const bool across = std::any_of(input.cbegin(), input.cend(),
                                    [](const ArcPeak& p) { return p.found && p.crossTrackKnown; });
    if (!across) {
        // Along the arc alone the mount's tilt hardly shows: a known tilt,
        // against the way the motor angles lean, and the levels tell it.
        next.testTilt = true;
        next.pending.axisElevation = fit.value.axisElevation > 0 ? -TestTiltDeg : TestTiltDeg;
        return next;
    }
    // The fit's best estimate, even where one error is uncertain on its own:
    // the elevation and the declination offset are told apart only by how
    // their effect varies along the arc, while what they do together, which
    // decides the signal at the ends, is well measured.
    // Not where a round lost a satellite and the fit is little more than its
    // prior: no spanner for a guess.
    for (const int i : Physical)
        if (std::abs(fit.value[i]) > Smallest && fit.sigma[i] < 2 * DeterminedSigmaDeg)
            next.pending[i] = -fit.value[i];
    return next;
}

QString ArcCalibration::toText() const
{
    auto list = [](const MountErrors& e) {
        QStringList parts;
        for (int i = 0; i < MountErrors::Count; ++i)
            parts.append(QString::number(e[i], 'g', 10));
        return parts.join(QLatin1Char(','));
    };
    QStringList fields = {QStringLiteral("arc1"), QString::number(rounds),
                          QString::number(fitted ? 1 : 0), list(errors), list(sigma)};
    int bits = 0;
    for (int i = 0; i < MountErrors::Count; ++i)
        bits |= determined[i] ? 1 << i : 0;
    fields << QString::number(bits) << list(pending) << QString::number(testTilt ? 1 : 0)
           << list(made);
    QStringList peakTexts;
    for (const CalibrationPeak& p : peaks)
        peakTexts.append(QStringLiteral("%1:%2:%3:%4:%5:%6:%7")
                             .arg(p.satelliteLongitude, 0, 'g', 10)
                             .arg(p.found ? 1 : 0)
                             .arg(p.motorAngle, 0, 'g', 10)
                             .arg(p.level, 0, 'g', 10)
                             .arg(p.curvature, 0, 'g', 10)
                             .arg(p.unitsPerDb, 0, 'g', 10)
                             .arg(p.cnDb, 0, 'g', 10));
    QStringList offsetTexts;
    for (auto o = offsets.cbegin(); o != offsets.cend(); ++o)
        offsetTexts.append(QStringLiteral("%1:%2").arg(o.key()).arg(o.value(), 0, 'g', 10));
    fields << peakTexts.join(QLatin1Char('|')) << offsetTexts.join(QLatin1Char('|'));
    return fields.join(QLatin1Char(';'));
}

namespace {

bool numbers(const QString& text, int count, double* out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != count)
        return false;
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        out[i] = parts.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(out[i]))
            return false;
    }
    return true;
}

bool errorsFrom(const QString& text, MountErrors* e)
{
    double v[MountErrors::Count];
    if (!numbers(text, MountErrors::Count, v))
        return false;
    for (int i = 0; i < MountErrors::Count; ++i) {
        if (std::abs(v[i]) > 10) // no mount stands this far off: damage
            return false;
        (*e)[i] = v[i];
    }
    return true;
}

bool peaksFrom(const QString& text, QVector<CalibrationPeak>* peaks)
{
    for (const QString& item : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QStringList f = item.split(QLatin1Char(':'));
        double v[7];
        if (f.size() != 7 || !numbers(f.join(QLatin1Char(',')), 7, v) || !(v[5] > 0) ||
            std::abs(v[0]) > 360 || std::abs(v[2]) > 360 || peaks->size() >= 64)
            return false;
        peaks->append({v[0], v[1] != 0, v[2], v[3], v[4], v[5], v[6]});
    }
    return true;
}

bool offsetsFrom(const QString& text, QMap<int, double>* offsets)
{
    for (const QString& item : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        double v[2];
        if (!numbers(item.split(QLatin1Char(':')).join(QLatin1Char(',')), 2, v) ||
            std::abs(v[0]) > 3600 || std::abs(v[1]) > 5)
            return false;
        (*offsets)[int(v[0])] = v[1];
    }
    return true;
}

} // namespace

ArcCalibration ArcCalibration::fromText(const QString& text)
{
    const QStringList f = text.split(QLatin1Char(';'));
    ArcCalibration c;
    bool ok = f.size() == 11 && f.at(0) == QLatin1String("arc1");
    ok = ok && errorsFrom(f.value(3), &c.errors) && errorsFrom(f.value(4), &c.sigma) &&
         errorsFrom(f.value(6), &c.pending) && errorsFrom(f.value(8), &c.made) &&
         peaksFrom(f.value(9), &c.peaks) && offsetsFrom(f.value(10), &c.offsets);
    for (int i = 0; i < MountErrors::Count; ++i)
        ok = ok && c.sigma[i] >= 0;
    const int bits = f.value(5).toInt();
    c.rounds = std::clamp(f.value(1).toInt(), 0, 1000);
    c.fitted = f.value(2) == QLatin1String("1");
    c.testTilt = f.value(7) == QLatin1String("1");
    for (int i = 0; i < MountErrors::Count; ++i)
        c.determined[i] = bits & (1 << i);
    return ok ? c : ArcCalibration{};
}

} // namespace positioner
