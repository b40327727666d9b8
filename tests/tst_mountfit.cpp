// The polar mount's model and its calibration fit: the sign of each
// installation error in both hemispheres, the ideal mount against the USALS
// angle, errors recovered from noisy rounds, what too few satellites leave
// open, cross-track offsets from peak levels, and the installer's advice.

#include "positioner/arccalibration.h"
#include "positioner/mountfit.h"

#include <QtTest>

#include <cmath>
#include <random>

using positioner::ArcPeak;
using positioner::MountErrors;
using positioner::MountFit;
using positioner::MountModel;

namespace {

constexpr double Longitude = 10; // the site's; satellites below are given as offsets from it

MountErrors only(int parameter, double value)
{
    MountErrors e;
    e[parameter] = value;
    return e;
}

// Gaussian noise from the generator alone (the library's distributions differ
// between standard libraries).
double gauss(std::mt19937& random)
{
    const double u = (random() + 1.0) / 4294967297.0, v = random() / 4294967296.0;
    return std::sqrt(-2 * std::log(u)) * std::cos(2 * 3.14159265358979 * v);
}

// A round as the fine-tune would find it on a mount with the errors.
QVector<ArcPeak> round(double latitude, const MountErrors& errors, const QVector<double>& offsets,
                       bool crossTrack, unsigned seed)
{
    std::mt19937 random(seed);
    const MountModel mount(latitude, Longitude, errors);
    QVector<ArcPeak> peaks;
    for (double offset : offsets) {
        ArcPeak p;
        p.satelliteLongitude = Longitude + offset;
        p.motorAngle = mount.peakMotorAngle(p.satelliteLongitude) + p.motorSigma * gauss(random);
        p.crossTrackKnown = crossTrack;
        p.crossTrack = mount.crossTrack(p.satelliteLongitude) + p.crossTrackSigma * gauss(random);
        peaks.append(p);
    }
    return peaks;
}

bool finite(const MountFit& fit)
{
    for (int i = 0; i < MountErrors::Count; ++i)
        if (!std::isfinite(fit.value[i]) || !std::isfinite(fit.sigma[i]))
            return false;
    return std::isfinite(fit.rmsDeg);
}

} // namespace

class TestMountFit : public QObject
{
    Q_OBJECT

private slots:
    void eachErrorMovesThePeakItsWay();
    void idealMountIsUsalsAndThePeakIsTheClosestApproach();
    void errorsAreRecoveredFromARound_data();
    void errorsAreRecoveredFromARound();
    void fewOrOneSidedSatellitesSayWhatIsOpen();
    void crossTrackFromLevels();
    void secondRoundMeasuresTheCrossTrack();
    void advice();
    void calibrationKeptAsText();
    void twoRoundsAndAdjustments();
};

void TestMountFit::eachErrorMovesThePeakItsWay()
{
    // Signs of the change in (peak motor angle, cross-track) for +0.5 degrees
    // of one error, a satellite west of, on or east of the meridian; 9: either.
    const struct
    {
        int parameter;
        double offset;
        int peak, cross;
    } rows[] = {{0, 0, -1, 0}, {0, 55, -1, 0},   {1, 0, -1, 9},  {1, -40, -1, 1}, {1, 40, -1, -1},
                {2, 0, 0, -1}, {2, -40, -1, -1}, {2, 40, 1, -1}, {3, 0, 0, 1},    {3, -55, 0, 1}};
    const auto sign = [](double v) {
        return std::abs(v) < 1e-9 ? 0 : v > 0 ? 1 : -1;
    };
    for (const auto& row : rows) {
        const double satellite = Longitude + row.offset;
        for (double latitude : {45.0, -33.0, 60.0}) {
            const MountModel ideal(latitude, Longitude);
            const MountModel off(latitude, Longitude, only(row.parameter, 0.5));
            const double peak = off.peakMotorAngle(satellite) - ideal.peakMotorAngle(satellite);
            const double cross = off.crossTrack(satellite) - ideal.crossTrack(satellite);
            const QByteArray where = QByteArray::number(row.parameter) + " at " +
                                     QByteArray::number(row.offset) + ", " +
                                     QByteArray::number(latitude);
            QVERIFY2(sign(peak) == row.peak && (row.cross == 9 || sign(cross) == row.cross), where);
            // Sizes where the geometry gives them plainly.
            QVERIFY2(row.parameter != 0 || std::abs(peak + 0.5) < 1e-9, where);
            QVERIFY2(row.parameter != 3 || std::abs(cross - 0.5) < 1e-9, where);
            // The southern mount is the mirror image of the northern one.
            const MountModel mirror(-latitude, Longitude, only(row.parameter, 0.5));
            QVERIFY(std::abs(mirror.peakMotorAngle(satellite) - off.peakMotorAngle(satellite)) <
                    1e-9);
            QVERIFY(std::abs(mirror.crossTrack(satellite) - off.crossTrack(satellite)) < 1e-9);
        }
    }
}

void TestMountFit::idealMountIsUsalsAndThePeakIsTheClosestApproach()
{
    const MountErrors skewed{0.3, -0.8, 0.6, -0.4};
    for (double latitude : {45.0, -33.0, 0.0, 71.0}) {
        const MountModel ideal(latitude, Longitude), off(latitude, Longitude, skewed);
        double largestCross = 0;
        for (double offset = -75; offset <= 75; offset += 7.5) {
            const double satellite = Longitude + offset;
            if (!ideal.visible(satellite))
                continue;
            QVERIFY(std::abs(ideal.peakMotorAngle(satellite) -
                             MountModel::usalsAngle(latitude, Longitude, satellite)) < 1e-9);
            QVERIFY(ideal.crossTrack(satellite) >= -1e-9); // the arc bulges above the cone
            largestCross = std::max(largestCross, ideal.crossTrack(satellite));
            // The peak is the dish's closest approach, within 0.001 degrees, and
            // the cross-track offset the angle left there.
            for (const MountModel* m : {&ideal, &off}) {
                const double peak = m->peakMotorAngle(satellite);
                const double least = m->pointingError(peak, satellite);
                QVERIFY(m->pointingError(peak - 0.001, satellite) > least);
                QVERIFY(m->pointingError(peak + 0.001, satellite) > least);
                QVERIFY(std::abs(least - std::abs(m->crossTrack(satellite))) < 1e-6);
            }
        }
        // A few tenths of a degree at the ends of the visible arc, none at the equator.
        QVERIFY2(latitude == 0 ? largestCross < 1e-9 : largestCross > 0.2 && largestCross < 1,
                 qPrintable(QString::number(largestCross)));
    }
    // By hand: atan2(sin 10, cos 10 - cos 45 R/r), east positive in both hemispheres.
    for (double latitude : {45.0, -45.0})
        QVERIFY(std::abs(MountModel::usalsAngle(latitude, 10, 20) - 11.189) < 0.001);
    QVERIFY(!MountModel(45, Longitude).visible(Longitude + 85));
}

void TestMountFit::errorsAreRecoveredFromARound_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<QVector<double>>("offsets");
    QTest::addColumn<bool>("crossTrack");
    const QVector<double> three{-40, 10, 55}, four{-45, -15, 20, 50}, five{-50, -25, 0, 25, 55};
    for (double latitude : {45.0, -33.0})
        for (bool crossTrack : {false, true})
            for (const QVector<double>& offsets : {three, four, five})
                QTest::addRow("%+.0f, %d satellites%s", latitude, int(offsets.size()),
                              crossTrack ? ", cross-track" : "")
                    << latitude << offsets << crossTrack;
}

void TestMountFit::errorsAreRecoveredFromARound()
{
    QFETCH(double, latitude);
    QFETCH(QVector<double>, offsets);
    QFETCH(bool, crossTrack);
    const MountErrors truth{0.4, -0.7, 0.5, 0.3};
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const MountFit fit = positioner::fitMount(
            latitude, Longitude, round(latitude, truth, offsets, crossTrack, seed));
        QVERIFY(fit.ok && finite(fit));
        QCOMPARE(fit.used, offsets.size());
        for (int i = 0; i < MountErrors::Count; ++i)
            QVERIFY2(std::abs(fit.value[i] - truth[i]) < 3 * fit.sigma[i],
                     qPrintable(QStringLiteral("seed %1, parameter %2: %3 +- %4")
                                    .arg(seed)
                                    .arg(i)
                                    .arg(fit.value[i])
                                    .arg(fit.sigma[i])));
        // Cross-track readings pin every error. Motor angles alone give the
        // axis' elevation roughly (from the ends of the arc), the motor's zero
        // and the mount's azimuth only together, and leave the declination
        // exactly at its prior.
        QCOMPARE(fit.determined,
                 (std::array<bool, 4>{crossTrack, crossTrack, fit.determined[2], crossTrack}));
        QVERIFY(fit.sigma.axisElevation < (crossTrack ? 0.25 : 0.5));
        if (!crossTrack)
            QVERIFY(std::abs(fit.sigma.declination - 2) < 1e-6 && fit.value.declination == 0);
        QVERIFY(fit.rmsDeg < 0.15);
    }
}

void TestMountFit::fewOrOneSidedSatellitesSayWhatIsOpen()
{
    const MountErrors truth{0.4, -0.7, 0.5, 0.3};
    QVector<ArcPeak> lost = round(45, truth, {-40, 10, 35, 55}, true, 7);
    lost[2].found = false;
    QVector<ArcPeak> broken = round(45, truth, {-40, 10, 55}, false, 8);
    broken[1].motorAngle = qQNaN();
    broken += round(45, truth, {80}, false, 9); // below the horizon at 45N
    QVector<ArcPeak> neighbour = round(45, truth, {-40, 10, 35, 55}, true, 10);
    neighbour[2].motorAngle += 2; // the fine-tune peaked on the wrong satellite
    const struct
    {
        double latitude;
        QVector<ArcPeak> peaks;
        int used, determined; // bits by parameter
        QStringList notes;
    } rows[] = {
        {45, {}, 0, 0, {"No satellite"}},
        {45, round(45, truth, {5}, true, 1), 1, 0, {"One satellite", "needs more satellites"}},
        {45,
         round(45, truth, {-40, 55}, false, 2),
         2,
         0,
         {"Two satellites", "only together", "cannot show the declination", "second round"}},
        {45, round(45, truth, {-40, 55}, true, 3), 2, 15, {"Two satellites"}},
        {45, round(45, truth, {20, 40, 55}, false, 4), 3, 0, {"east of the meridian"}},
        {-33, round(-33, truth, {-55, -35, -15}, true, 5), 3, 1, {"west of the meridian"}},
        {45, lost, 3, 15, {"45.0°E: not found"}},
        {45, neighbour, 4, 15, {"disagree", "check 45.0°E first"}},
        {45, broken, 2, 0, {"20.0°E: reading not usable", "90.0°E: below the horizon"}}};
    for (const auto& row : rows) {
        const MountFit fit = positioner::fitMount(row.latitude, Longitude, row.peaks);
        const QString notes = fit.notes.join(QLatin1Char('\n'));
        QVERIFY2(fit.ok == (row.used > 0) && fit.used == row.used && finite(fit),
                 qPrintable(notes));
        for (int i = 0; i < MountErrors::Count; ++i)
            QVERIFY2(fit.determined[i] == bool(row.determined & (1 << i)), qPrintable(notes));
        for (const QString& note : row.notes)
            QVERIFY2(notes.contains(note), qPrintable(notes));
    }
}

void TestMountFit::crossTrackFromLevels()
{
    const double k = positioner::beamCurvatureDbPerDeg2(0.8, 11700); // 2.24 degrees wide
    QVERIFY(std::abs(k - 2.389) < 0.002);
    QCOMPARE(positioner::beamCurvatureDbPerDeg2(0, 11700), 0.0);
    // The offset before, the shift, whether it can be told.
    const struct
    {
        double c, shift;
        bool ok;
    } rows[] = {{0.4, -0.8, true}, {-0.3, 0.25, true}, {0, 0.5, true}, {0.3, 0.02, false},
                {0.3, 0, false},   {2.0, -0.5, false}}; // beyond the upper lobe
    for (const auto& row : rows) {
        const double before = -3 - k * row.c * row.c;
        const double after = -3 - k * (row.c + row.shift) * (row.c + row.shift);
        double c = 99, sigma = 99;
        QCOMPARE(positioner::crossTrackFromLevels(before, after, row.shift, k, 0.1, &c, &sigma),
                 row.ok);
        // Two levels' noise over the slope of their difference, 2 k shift.
        QVERIFY(!row.ok ||
                (std::abs(c - row.c) < 1e-9 &&
                 std::abs(sigma - 0.1 * std::sqrt(0.5) / (k * std::abs(row.shift))) < 1e-12));
        QVERIFY(!positioner::crossTrackFromLevels(before, after, row.shift, 0, 0.1, &c, &sigma));
        QVERIFY(!positioner::crossTrackFromLevels(qQNaN(), after, row.shift, k, 0.1, &c, &sigma));
    }
}

void TestMountFit::secondRoundMeasuresTheCrossTrack()
{
    // Round one on a mount with errors; the installer then turns the mount
    // 0.5 degrees east, tips it up by 0.4 and lowers the declination offset
    // by 0.3 degrees. The change in each peak level gives the cross-track offset
    // before, reckoned with shifts worked out for the ideal mount, as the
    // program knows no better. A 60 cm dish: 3 degrees wide.
    const MountErrors truth{0.4, -0.7, 0.5, 0.3}, adjustment{0, 0.5, 0.4, -0.3};
    const double k = positioner::beamCurvatureDbPerDeg2(0.6, 11700);
    for (double latitude : {45.0, -33.0}) {
        const MountModel before(latitude, Longitude, truth);
        const MountModel after(latitude, Longitude, truth + adjustment);
        for (double offset : {-40.0, 0.0, 30.0, 55.0}) {
            const double satellite = Longitude + offset;
            const double c0 = before.crossTrack(satellite), c1 = after.crossTrack(satellite);
            const double shift =
                positioner::crossTrackShift(latitude, Longitude, satellite, {}, adjustment);
            double c = 0, sigma = 0;
            QVERIFY(positioner::crossTrackFromLevels(-k * c0 * c0, -k * c1 * c1, shift, k, 0.1, &c,
                                                     &sigma));
            QVERIFY2(std::abs(c - c0) < 0.01, qPrintable(QString::number(c - c0)));
        }
    }
}

void TestMountFit::advice()
{
    const MountErrors tight{0.02, 0.02, 0.02, 0.02}, loose{0.1, 0.1, 0.1, 0.1};
    const struct
    {
        MountErrors value, sigma;
        int determined; // bits by parameter
        QStringList lines;
    } rows[] = {
        {{0.26, 0.34, -0.46, 0.5},
         tight,
         15,
         {"The motor's zero is 0.3° east (gotos allow for it)", "Turn the mount 0.3° west",
          "Tip the mount up by 0.5° (its latitude scale 0.5° lower)",
          "Declination offset 0.5° too large (this site needs 6.8°)"}},
        {{-0.07, -0.08, 0.06, -0.09},
         tight,
         15,
         {"The motor's zero is 0.07° west (gotos allow for it)", "Turn the mount 0.08° east",
          "Tip the mount down by 0.06° (its latitude scale 0.06° higher)",
          "Declination offset 0.09° too small (this site needs 6.8°)"}},
        // Within twice sigma, or under 0.05 degrees.
        {{0.19, 0.04, 0.0, -0.15}, loose, 15, {"The mount needs no adjustment"}},
        {{1.5, -1.2, 0.7, 0.02}, tight, 8, {"Nothing measured so far needs adjusting"}},
        {{1.5, 0, 0, 0}, tight, 0, {"Too few readings to advise"}}};
    for (const auto& row : rows) {
        MountFit fit;
        fit.ok = true;
        fit.value = row.value;
        fit.sigma = row.sigma;
        for (int i = 0; i < MountErrors::Count; ++i)
            fit.determined[i] = row.determined & (1 << i);
        QCOMPARE(positioner::adjustmentAdvice(fit, 45), row.lines);
        fit.ok = false;
        QCOMPARE(positioner::adjustmentAdvice(fit, -45), QStringList{"Too few readings to advise"});
    }
}

void TestMountFit::calibrationKeptAsText()
{
    positioner::ArcCalibration c;
    c.rounds = 2;
    c.fitted = true;
    c.errors = {0.4, -0.7, 0.5, 0.3};
    c.sigma = {0.1, 0.12, 0.13, 0.11};
    c.determined = {true, false, true, true};
    c.pending = {0, 0.7, -0.5, -0.3};
    c.peaks = {{28.2, true, -15.25, 71.4, 5.6, 2.35, 11.9}, {-5, false, 0, 0, 0, 1, 0}};
    c.setOffset(19.2, 0.12);
    c.setOffset(13, 0); // none
    const positioner::ArcCalibration back = positioner::ArcCalibration::fromText(c.toText());
    QCOMPARE(back.toText(), c.toText());
    QCOMPARE(back.offsetOf(19.2), 0.12);
    QCOMPARE(back.peaks.size(), 2);
    QVERIFY(!back.peaks.at(1).found && back.determined[0] && !back.determined[1]);
    // Damaged or foreign text is no calibration: gotos go to the USALS angles.
    for (const QString& bad :
         {QString(), QStringLiteral("arc1;2;1"), c.toText().replace(QLatin1String("arc1"), "arc9"),
          c.toText().replace(QLatin1String("0.4,"), "nan,"),
          c.toText().replace(QLatin1String("28.2:1"), "28.2:x"),
          c.toText().replace(QLatin1String("0.4,"), "40,"),   // no mount is this far off
          c.toText().replace(QLatin1String("0.1,"), "-0.1,"), // nor is a sigma negative
          c.toText().replace(QLatin1String("192:0.12"), "192:7")}) {
        const positioner::ArcCalibration none = positioner::ArcCalibration::fromText(bad);
        QVERIFY2(!none.fitted && none.rounds == 0 && none.offsets.isEmpty(), qPrintable(bad));
        QCOMPARE(none.gotoAngle(45, Longitude, 30), MountModel::usalsAngle(45, Longitude, 30));
    }
    // Fitted: where that mount peaks, plus the satellite's own offset.
    QCOMPARE(c.gotoAngle(45, Longitude, 19.2),
             MountModel(45, Longitude, c.errors).peakMotorAngle(19.2) + 0.12);
    // Adjusted: the gotos allow for what was done; the fit stays as measured.
    c.assumeAdjusted();
    QVERIFY(c.made.axisAzimuth == 0.7 && c.pending.axisElevation == 0 &&
            c.errors.axisAzimuth == -0.7);
    QCOMPARE(c.gotoAngle(45, Longitude, 30),
             MountModel(45, Longitude, c.errors + c.made).peakMotorAngle(30) + c.offsetOf(30));
    QCOMPARE(positioner::ArcCalibration::fromText(c.toText()).made.axisElevation, -0.5);
}

void TestMountFit::twoRoundsAndAdjustments()
{
    // A round's peaks as the fine-tune reads them on a mount, 70 cm: the
    // level falls with the square of the satellite's offset off the path.
    const double k = positioner::beamCurvatureDbPerDeg2(0.7, 11500);
    auto measure = [&](const MountErrors& mount, double latitude, unsigned seed) {
        std::mt19937 random(seed);
        const MountModel m(latitude, Longitude, mount);
        QVector<positioner::CalibrationPeak> peaks;
        for (double offset : {-45.0, 3.0, 50.0}) {
            const double satellite = Longitude + offset, c = m.crossTrack(satellite);
            peaks.append({satellite, true, m.peakMotorAngle(satellite) + 0.02 * gauss(random),
                          12 - k * c * c + 0.05 * gauss(random), k});
        }
        return peaks;
    };
    for (const double latitude : {45.0, -33.9}) {
        MountErrors mount{0.6, -0.8, 0.7, -0.5};
        // Round one: motor angles only; a test tilt is asked for.
        positioner::ArcCalibration c =
            positioner::nextRound({}, latitude, Longitude, measure(mount, latitude, 1));
        QVERIFY(c.fitted && c.testTilt && c.rounds == 1);
        QCOMPARE(std::abs(c.pending.axisElevation), positioner::TestTiltDeg);
        QVERIFY(c.advice(latitude).first().contains("As a test"));
        // The installer tilts; round two reads the change of the levels and
        // asks for the corrections, which leave the arc within 0.15° of a
        // perfect mount's across it (the elevation and the declination
        // offset may share out what they do alike).
        mount = mount + c.pending;
        c = positioner::nextRound(c, latitude, Longitude, measure(mount, latitude, 2));
        QVERIFY(!c.testTilt && c.pending.motorZero == 0);
        mount = mount + c.pending;
        const MountModel adjusted(latitude, Longitude, mount), perfect(latitude, Longitude);
        for (const double satellite : {Longitude - 55, Longitude, Longitude + 55})
            QVERIFY2(std::abs(adjusted.crossTrack(satellite) - perfect.crossTrack(satellite)) <
                         0.15,
                     qPrintable(QStringLiteral("%1: %2").arg(satellite).arg(
                         adjusted.crossTrack(satellite) - perfect.crossTrack(satellite))));
        // The gotos allow for the motor's zero, which no spanner mends.
        c.assumeAdjusted();
        const MountModel real(latitude, Longitude, mount);
        for (const double satellite : {Longitude - 30, Longitude + 20})
            QVERIFY(std::abs(c.gotoAngle(latitude, Longitude, satellite) -
                             real.peakMotorAngle(satellite)) < 0.1);
    }
    // Nothing found: no fit, and what was known stays (the gotos as they were).
    const QVector<positioner::CalibrationPeak> lost = {{20, false, 0, 0, 0}, {-20, false, 0, 0, 0}};
    const positioner::ArcCalibration none = positioner::nextRound({}, 45, Longitude, lost);
    QVERIFY(!none.fitted && none.rounds == 0 && none.advice(45).isEmpty());
    const positioner::ArcCalibration known =
        positioner::nextRound({}, 45, Longitude, measure({0.3, 0.2, 0, 0}, 45, 9));
    const positioner::ArcCalibration kept = positioner::nextRound(known, 45, Longitude, lost);
    QVERIFY(kept.fitted && !kept.notes.isEmpty());
    QCOMPARE(kept.gotoAngle(45, Longitude, 30), known.gotoAngle(45, Longitude, 30));
}

QTEST_GUILESS_MAIN(TestMountFit)
#include "tst_mountfit.moc"
