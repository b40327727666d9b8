// The simulated dish's mount as an installer meets it: which way each of its
// errors turns the dish, north and south of the equator; a random mount from
// a seed; screws turned while the program runs, the levels following at once,
// and kept across runs.

#include "hw/clock.h"
#include "hw/receivers.h"
#include "positioner/mountfit.h"
#include "sim/dishstate.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"
#include "sim/simconfig.h"
#include "sim/simreceiver.h"

#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <cmath>
#include <random>

namespace {

const auto& Fields = sim::MountErrorFields;
enum Error { AxisAzimuth, AxisElevation, Declination, MotorZero };

sim::PolarMount mountWith(double latitude, int error, double degrees)
{
    sim::PolarMount mount(latitude, 20);
    sim::MountErrors e;
    e.*Fields[error] = degrees;
    mount.setErrors(e);
    return mount;
}

using Direction = std::array<double, 3>; // east, north, up

Direction direction(const sim::PolarMount& mount, double motorAngle)
{
    const double az = mount.azimuthDeg(motorAngle) * M_PI / 180;
    const double el = mount.elevationDeg(motorAngle) * M_PI / 180;
    return {std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el)};
}

double degreesBetween(const Direction& a, const Direction& b)
{
    const double c = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    return std::acos(std::clamp(c, -1.0, 1.0)) * 180 / M_PI;
}

// Where on the path of a perfect mount the dish is closest to a direction:
// the motor angle, and how far off the path it is.
std::pair<double, double> nearestOnPath(const sim::PolarMount& perfect, const Direction& d,
                                        double near)
{
    std::pair<double, double> best{near, 1e9};
    for (double a = near - 1; a <= near + 1; a += 0.0005)
        if (const double off = degreesBetween(direction(perfect, a), d); off < best.second)
            best = {a, off};
    return best;
}

QString text(const sim::MountErrors& e)
{
    QStringList values;
    for (const auto f : Fields)
        values.append(QString::number(e.*f));
    return values.join(QLatin1Char(' '));
}

QStringList split(const char* words)
{
    return QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A receiver without simulation: what every real card answers.
class RealCard : public hw::CardBackend
{
public:
    bool open() override { return true; }
    void close() override {}
    int initFrontend(quint8*) override { return 0; }
    bool busReachable() const override { return true; }
    int busRead(quint8, const quint8*, int, quint8*, int) override { return 0; }
    int busWrite(quint8, const quint8*, int) override { return 0; }
    int setChannel(const hw::ChannelRecord&) override { return 0; }
    int sendDiseqc(const quint8*, int, int) override { return 0; }
};

} // namespace

class TestSimMount : public QObject
{
    Q_OBJECT

private slots:
    void eachErrorAsAnInstallerSeesIt_data();
    void eachErrorAsAnInstallerSeesIt();
    void declinationAcrossThePathMotorZeroAlongIt();
    void theConfigurationInstallsTheMount();
    void screwsTurned();
    void levelsFollowTheScrewsAtOnce();
    void turnedScrewsAreKeptAcrossRuns();
    void theCalibrationsModelAgrees();
};

void TestSimMount::eachErrorAsAnInstallerSeesIt_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("east");   // the dish at motor angle 0: east of where it should point
    QTest::addColumn<int>("higher"); // ... above it
    QTest::addColumn<int>("back");   // the best motor angle for a satellite, the user's east
    for (const auto& [latitude, side] : {std::pair{45.0, "north"}, {-34.0, "south"}}) {
        auto row = [&](const char* name, int error, int east, int higher, int back) {
            QTest::addRow("%s, %s", side, name) << latitude << error << east << higher << back;
        };
        row("axis azimuth", AxisAzimuth, 1, 0, -1);
        row("axis elevation", AxisElevation, 0, 1, 0);
        row("declination", Declination, 0, -1, 0);
        row("motor zero", MotorZero, 1, 0, -1);
    }
}

// One degree of each error alone, against a perfect mount. The dish faces the
// arc: south from the north, north from the south, and east is to the left
// of the one and to the right of the other.
void TestSimMount::eachErrorAsAnInstallerSeesIt()
{
    QFETCH(double, latitude);
    QFETCH(int, error);
    QFETCH(int, east);
    QFETCH(int, higher);
    QFETCH(int, back);
    const double hemisphere = latitude < 0 ? -1 : 1;
    const sim::PolarMount perfect = mountWith(latitude, error, 0);
    const sim::PolarMount wrong = mountWith(latitude, error, 1.0);
    auto expect = [](const char* what, double change, int sign) {
        const bool ok =
            sign == 0 ? std::abs(change) < 0.05 : change * sign > 0.5 && change * sign < 2.0;
        QVERIFY2(ok, qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(change)));
    };
    const double turned = std::remainder(wrong.azimuthDeg(0) - perfect.azimuthDeg(0), 360.0);
    expect("east by", -hemisphere * turned, east);
    expect("higher by", wrong.elevationDeg(0) - perfect.elevationDeg(0), higher);
    // The motor must turn the other way to make up for it: the user's west
    // for a dish turned east, by the same all along the arc.
    for (const double off : {-40.0, -20.0, 0.0, 20.0, 40.0}) {
        if (back == 0 && off != 0)
            continue; // away from the meridian a tilt has a part along the arc too
        const double satellite = 20 + off;
        const double usals = sim::PolarMount::usalsAngle(latitude, 20, satellite);
        const double shift =
            wrong.bestMotorAngle(usals, satellite) - perfect.bestMotorAngle(usals, satellite);
        expect(qPrintable(QStringLiteral("motor angle at %1 moved by").arg(satellite)),
               hemisphere * shift, back);
    }
}

// Declination lifts the dish's whole path off the arc; the motor's zero only
// shifts where along its path each motor angle is.
void TestSimMount::declinationAcrossThePathMotorZeroAlongIt()
{
    for (const double latitude : {45.0, -34.0}) {
        const double hemisphere = latitude < 0 ? -1 : 1;
        const sim::PolarMount perfect = mountWith(latitude, Declination, 0);
        const sim::PolarMount leaning = mountWith(latitude, Declination, 0.5);
        const sim::PolarMount zeroOff = mountWith(latitude, MotorZero, 0.5);
        for (const double angle : {-45.0, -15.0, 0.0, 20.0, 50.0}) {
            const QByteArray where =
                QByteArray::number(latitude) + " at " + QByteArray::number(angle);
            const auto [along, across] = nearestOnPath(perfect, direction(leaning, angle), angle);
            QVERIFY2(std::abs(along - angle) < 0.01 && std::abs(across - 0.5) < 0.03, where);
            // East in the user's terms is the motor's west south of the equator.
            const double shifted = angle + hemisphere * 0.5;
            QVERIFY2(degreesBetween(direction(zeroOff, angle), direction(perfect, shifted)) < 1e-4,
                     where);
        }
    }
}

// The simulation file, then the receiver string over it: the mount as
// installed, or the start of the refusal. A seed gives the same mount on
// every machine, within the spread; an error given stands over the draw.
void TestSimMount::theConfigurationInstallsTheMount()
{
    const struct
    {
        const char* file;
        const char* options;
        const char* errors;
    } rows[] = {
        {"", "sim", "0.15 0.3 0 0"},
        {"", "sim,axis-azimuth=0.2,axis-elevation=-0.1,declination-error=0.4,motor-zero=-1.5",
         "0.2 -0.1 0.4 -1.5"},
        {"", "sim,azimuth-error=-0.5,elevation-error=1", "-0.5 1 0 0"},
        {"[dish]\naxisElevationError=0.7\nelevationError=0.5\ndeclinationError=-0.25\n"
         "motorZeroError=2\n",
         "sim", "0.15 0.7 -0.25 2"},
        {"", "sim,mount-seed=7", "-0.847 -0.545 0.56 -0.362"},
        {"", "sim,mount-seed=8", "0.747 -0.978 0.937 -0.521"},
        {"", "sim,mount-seed=7,mount-spread=0.1", "-0.085 -0.055 0.056 -0.036"},
        {"", "sim,mount-seed=7,declination-error=0.25", "-0.847 -0.545 0.25 -0.362"},
        {"[dish]\nmountSeed=7\n", "sim,azimuth-error=0", "0 -0.545 0.56 -0.362"},
        {"[dish]\nmotorZeroError=3\n", "sim,mount-seed=7", "-0.847 -0.545 0.56 3"},
        {"", "sim,axis-azimuth=5.5", "axis-azimuth= must be a number from -5 to 5, not 5.5"},
        {"", "sim,motor-zero=east", "motor-zero= is not a number"},
        {"", "sim,mount-spread=6", "mount-spread= must be a number from 0"},
        {"", "sim,mount-seed=-1", "mount-seed= must be a whole number"},
        {"[dish]\naxisAzimuthError=9\n", "sim", ": dish/axisAzimuthError must be a number from -5"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sim.ini"));
    for (const auto& row : rows) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(row.file);
        file.close();
        sim::SimConfig config;
        sim::SimFaults faults;
        QString error;
        const bool ok = sim::loadSimConfig(path, &config, &faults, &error) &&
                        sim::applySimOptions(hw::ReceiverSpec::parse(QLatin1String(row.options)),
                                             &config, &error);
        const QString got = ok ? text(config.installedMount()) : error;
        QVERIFY2(ok ? got == QLatin1String(row.errors) : got.contains(QLatin1String(row.errors)),
                 qPrintable(QLatin1String(row.options) + QStringLiteral(": ") + got));
    }
}

// From the default mount: the errors after the words, or the start of the
// refusal, after which nothing has changed.
void TestSimMount::screwsTurned()
{
    const struct
    {
        const char* words;
        const char* result;
    } rows[] = {
        {"", "0.15 0.3 0 0"},
        {"axis-azimuth=+0.3 declination=-0.2", "0.45 0.3 -0.2 0"},
        {"axis-azimuth=0.1 axis-azimuth=0.1", "0.35 0.3 0 0"},
        {"set axis-azimuth=0", "0 0.3 0 0"},
        {"set axis_elevation=-1 motor-zero=2.5", "0.15 -1 0 2.5"},
        {"declination-error=0.5 elevation-error=-0.3", "0.15 0 0.5 0"},
        {"axis-elevation=4.7", "0.15 5 0 0"},
        {"axis-azimuth=3.95 axis-azimuth=0.9", "5 0.3 0 0"}, // a hair over, by the sum
        {"axis-azimuth=abc", "axis-azimuth: \"abc\" is not a number of degrees"},
        {"axis-azimuth=0,3", "axis-azimuth: \"0,3\" is not a number of degrees (a decimal point"},
        {"axis-azimuth=nan", "axis-azimuth: \"nan\" is not a number"},
        {"axis-azimuth=1e400", "axis-azimuth: \"1e400\" is not a number"},
        {"tilt=1", "the mount has no \"tilt\""},
        {"axis-azimuth=4.9", "axis-azimuth would be 5.05 degrees"},
        {"set axis-elevation=-5.01", "axis-elevation would be -5.01 degrees"},
        {"axis-azimuth=0.1 tilt=1", "the mount has no \"tilt\""}, // the first not kept either
        {"set", "mount set takes"},
        {"axis-azimuth", "mount takes NAME=DEGREES"},
        {"=1", "mount takes NAME=DEGREES"},
        {"axis-azimuth=0.1 set", "mount takes NAME=DEGREES"},
    };
    for (const auto& row : rows) {
        sim::MountErrors mount = sim::SimConfig().installedMount();
        QString error;
        const bool ok = sim::adjustMountErrors(split(row.words), &mount, &error);
        const QString got = ok ? text(mount) : error;
        QVERIFY2(ok ? got == QLatin1String(row.result) : got.startsWith(QLatin1String(row.result)),
                 qPrintable(QLatin1String(row.words) + QStringLiteral(": ") + got));
        QVERIFY2(ok || text(mount) == QLatin1String("0.15 0.3 0 0"), row.words);
    }
}

// Through the card, as the remote command goes: the levels follow the turn
// at once; a mount-less scene and a real card say why nothing was turned.
void TestSimMount::levelsFollowTheScrewsAtOnce()
{
    hw::ManualClock clock;
    sim::SimConfig config;
    config.readingNoise = 0;
    sim::SimCard card(clock,
                      std::make_unique<sim::PhysicalScene>(clock, config, sim::Sky::builtIn()));
    auto& scene = static_cast<sim::PhysicalScene&>(card.scene());
    scene.supplyChanged(18, 0);
    sim::TunerState tuner; // Türksat 11977 H, due south of the default site
    tuner.lnbPowered = tuner.tuned = tuner.tone22k = true;
    tuner.voltage = 18;
    tuner.ifKHz = 1377000;
    tuner.symbolRate = 27500000;
    const auto agc = [&] {
        clock.advance(500);
        return scene.receive(tuner, clock.nowMs()).agc;
    };
    QVariantMap values;
    QString error;
    const auto turn = [&](hw::CardBackend& c, const char* words) {
        return c.adjustSimulation(QStringLiteral("mount"), split(words), &values, &error);
    };
    const double aligned = agc();
    QVERIFY2(turn(card, "axis-elevation=2"), qPrintable(error));
    QCOMPARE(values.value(QStringLiteral("axis_elevation")).toDouble(), 2.3);
    QCOMPARE(values.value(QStringLiteral("latitude")).toDouble(), 45.0);
    QVERIFY2(agc() < aligned - 30, qPrintable(QString::number(aligned)));
    QVERIFY(turn(card, "set axis-elevation=0.3"));
    QCOMPARE(agc(), aligned);
    QVERIFY(!turn(card, "axis-elevation=9")); // refused: nothing turned
    QCOMPARE(scene.mountErrors().axisElevationDeg, 0.3);

    sim::SimCard fixed(clock, std::make_unique<sim::FixedScene>());
    QVERIFY(!turn(fixed, ""));
    QCOMPARE(error, QStringLiteral("the simulated receiver has no mount to adjust"));
    RealCard real;
    QVERIFY(!turn(real, ""));
    QCOMPARE(error, QStringLiteral(
                        "the receiver is not simulated: its mount cannot be adjusted from here"));
}

// The screws stay turned from one run to the next, as on a real mount; a
// fresh start, or the simulation installing another mount, starts over; a
// state file from before mounts were kept, or a damaged one, installs afresh.
void TestSimMount::turnedScrewsAreKeptAcrossRuns()
{
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    sim::registerSimulatedReceiver();
    hw::ManualClock clock;
    const auto run = [&](const char* receiver, const char* words) {
        QString error;
        auto card = hw::createReceiver(QLatin1String(receiver), clock, &error);
        QVariantMap values;
        if (!card ||
            !card->adjustSimulation(QStringLiteral("mount"), split(words), &values, &error))
            return error;
        QStringList errors;
        for (const char* key : {"axis_azimuth", "axis_elevation", "declination", "motor_zero"})
            errors.append(values.value(QLatin1String(key)).toString());
        return errors.join(QLatin1Char(' '));
    };
    const QString path = sim::dishStatePath();
    const struct
    {
        const char* receiver;
        const char* words;
        const char* file; // written over the state first
        const char* errors;
    } rows[] = {
        {"sim,fresh", "axis-azimuth=+0.3 motor-zero=-0.5", nullptr, "0.45 0.3 0 -0.5"},
        {"sim", "", nullptr, "0.45 0.3 0 -0.5"},
        {"sim", "set declination=0.1", nullptr, "0.45 0.3 0.1 -0.5"},
        {"sim", "tilt=1", nullptr,
         "the mount has no \"tilt\": axis-azimuth, axis-elevation, "
         "declination or motor-zero"},
        {"sim", "", nullptr, "0.45 0.3 0.1 -0.5"},
        // Another mount: the turns of the default one are not its own ...
        {"sim,mount-seed=7", "", nullptr, "-0.847 -0.545 0.56 -0.362"},
        {"sim", "", nullptr, "0.45 0.3 0.1 -0.5"}, // ... nor lost, the file untouched
        {"sim,mount-seed=7", "set motor-zero=0", nullptr, "-0.847 -0.545 0.56 0"},
        {"sim,mount-seed=7", "", nullptr, "-0.847 -0.545 0.56 0"},
        {"sim", "", nullptr, "0.15 0.3 0 0"}, // the last mount kept is the seed's
        {"sim", "", "[motor]\nangle=3\n", "0.15 0.3 0 0"},
        {"sim", "", "[mount]\naxisAzimuth=nan\n", "0.15 0.3 0 0"},
        {"sim", "",
         "[mount]\naxisAzimuth=1\naxisElevation=0.3\ndeclination=0\nmotorZero=0\n"
         "[installedMount]\naxisAzimuth=0.15\naxisElevation=0.3\ndeclination=0\nmotorZero=0\n",
         "1 0.3 0 0"},
        {"sim,fresh", "", nullptr, "0.15 0.3 0 0"},
    };
    for (const auto& row : rows) {
        if (row.file) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(row.file);
        }
        QCOMPARE(run(row.receiver, row.words), QString::fromLatin1(row.errors));
    }
    qunsetenv("XDG_STATE_HOME");
}

void TestSimMount::theCalibrationsModelAgrees()
{
    // The calibration's mount (worked out in the site's horizon frame) and the
    // simulated one (in Earth-centred vectors) are two derivations of the same
    // geometry: where the dish peaks on a satellite and how far it passes off
    // it must agree for any installation, north and south.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> error(-1, 1);
    for (int trial = 0; trial < 12; ++trial) {
        const double latitude = trial % 2 ? 50.0 : -33.9, longitude = 10;
        const sim::MountErrors e{error(random), error(random), error(random), error(random)};
        sim::PolarMount simulated(latitude, longitude);
        simulated.setErrors(e);
        const positioner::MountModel model(
            latitude, longitude,
            {e.motorZeroDeg, e.axisAzimuthDeg, e.axisElevationDeg, e.declinationDeg});
        for (double satellite = longitude - 60; satellite <= longitude + 60; satellite += 30) {
            const double near = sim::PolarMount::usalsAngle(latitude, longitude, satellite);
            const double best = simulated.bestMotorAngle(near, satellite);
            // The simulated motor's own angles turn the other way in the south.
            const double userAngle = latitude < 0 ? -best : best;
            QVERIFY(std::abs(userAngle - model.peakMotorAngle(satellite)) < 0.001);
            QVERIFY(std::abs(simulated.pointingError(best, satellite) -
                             std::abs(model.crossTrack(satellite))) < 0.001);
            // And where the dish points, for the Site view's path.
            double azimuth = 0, elevation = 0;
            model.pointing(userAngle, &azimuth, &elevation);
            QVERIFY(std::abs(azimuth - simulated.azimuthDeg(best)) < 0.001);
            QVERIFY(std::abs(elevation - simulated.elevationDeg(best)) < 0.001);
        }
    }
}

QTEST_GUILESS_MAIN(TestSimMount)
#include "tst_simmount.moc"
