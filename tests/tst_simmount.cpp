// The simulated dish's mount as an installer meets it: which way each of its
// errors turns the dish, north and south of the equator; a random mount from
// a seed; screws turned while the program runs, the levels following at once,
// and kept across runs.

#include "hw/clock.h"
#include "hw/receivers.h"
#include "sim/dishstate.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"
#include "sim/simconfig.h"
#include "sim/simreceiver.h"

#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <cmath>

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
    return QStringLiteral("%1 %2 %3 %4")
        .arg(e.axisAzimuthDeg)
        .arg(e.axisElevationDeg)
        .arg(e.declinationDeg)
        .arg(e.motorZeroDeg);
}

bool near(const sim::MountErrors& a, const sim::MountErrors& b, double within = 1e-9)
{
    for (const auto f : Fields)
        if (std::abs(a.*f - b.*f) > within)
            return false;
    return true;
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
    void theConfigurationInstallsTheMount_data();
    void theConfigurationInstallsTheMount();
    void screwsTurned_data();
    void screwsTurned();
    void levelsFollowTheScrewsAtOnce();
    void turnedScrewsAreKeptAcrossRuns();
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

void TestSimMount::theConfigurationInstallsTheMount_data()
{
    QTest::addColumn<QByteArray>("file"); // the simulation file, if any
    QTest::addColumn<QString>("options"); // the receiver string over it
    QTest::addColumn<QString>("errors");  // as installed, or the start of the refusal
    const auto row = [](const char* name, const char* file, const char* options,
                        const char* errors) {
        QTest::newRow(name) << QByteArray(file) << QString::fromLatin1(options)
                            << QString::fromLatin1(errors);
    };
    row("defaults", "", "sim", "0.15 0.3 0 0");
    row("each given", "",
        "sim,axis-azimuth=0.2,axis-elevation=-0.1,declination-error=0.4,"
        "motor-zero=-1.5",
        "0.2 -0.1 0.4 -1.5");
    row("older names", "", "sim,azimuth-error=-0.5,elevation-error=1", "-0.5 1 0 0");
    row("file, newer name counts",
        "[dish]\naxisElevationError=0.7\nelevationError=0.5\n"
        "declinationError=-0.25\nmotorZeroError=2\n",
        "sim", "0.15 0.7 -0.25 2");
    // The same mount for a seed on every machine, within the spread.
    row("seed", "", "sim,mount-seed=7", "-0.847 -0.545 0.56 -0.362");
    row("seed, another", "", "sim,mount-seed=8", "0.747 -0.978 0.937 -0.521");
    row("seed, narrower", "", "sim,mount-seed=7,mount-spread=0.1", "-0.085 -0.055 0.056 -0.036");
    row("seed, one given", "", "sim,mount-seed=7,declination-error=0.25",
        "-0.847 -0.545 0.25 -0.362");
    row("seed in the file, one given over it", "[dish]\nmountSeed=7\n", "sim,azimuth-error=0",
        "0 -0.545 0.56 -0.362");
    row("given in the file, seed over it", "[dish]\nmotorZeroError=3\n", "sim,mount-seed=7",
        "-0.847 -0.545 0.56 3");
    row("out of limits", "", "sim,axis-azimuth=5.5",
        "axis-azimuth= must be a number from -5 to 5, not 5.5");
    row("not a number", "", "sim,motor-zero=east", "motor-zero= is not a number");
    row("too wide a spread", "", "sim,mount-spread=6", "mount-spread= must be a number from 0");
    row("negative seed", "", "sim,mount-seed=-1", "mount-seed= must be a whole number");
    row("file out of limits", "[dish]\naxisAzimuthError=9\n", "sim",
        "dish/axisAzimuthError must be a number from -5 to 5");
}

void TestSimMount::theConfigurationInstallsTheMount()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, options);
    QFETCH(QString, errors);
    QTemporaryDir dir;
    sim::SimConfig config;
    sim::SimFaults faults;
    QString error;
    bool ok = true;
    if (!file.isEmpty()) {
        QFile f(dir.filePath(QStringLiteral("sim.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();
        ok = sim::loadSimConfig(f.fileName(), &config, &faults, &error);
    }
    ok = ok && sim::applySimOptions(hw::ReceiverSpec::parse(options), &config, &error);
    if (!errors.front().isDigit() && errors.front() != QLatin1Char('-')) {
        QVERIFY(!ok);
        QVERIFY2(error.contains(errors), qPrintable(error));
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(text(config.installedMount()), errors);
}

void TestSimMount::screwsTurned_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("result"); // the errors after, or the start of the refusal
    const auto row = [](const char* words, const char* result) {
        QTest::newRow(*words ? words : "(none)")
            << QString::fromLatin1(words) << QString::fromLatin1(result);
    };
    // From the default mount, 0.15 0.3 0 0.
    row("", "0.15 0.3 0 0");
    row("axis-azimuth=+0.3 declination=-0.2", "0.45 0.3 -0.2 0");
    row("axis-azimuth=0.1 axis-azimuth=0.1", "0.35 0.3 0 0");
    row("set axis-azimuth=0", "0 0.3 0 0");
    row("set axis_elevation=-1 motor-zero=2.5", "0.15 -1 0 2.5");
    row("declination-error=0.5 elevation-error=-0.3", "0.15 0 0.5 0");
    row("axis-elevation=4.7", "0.15 5 0 0");
    row("axis-azimuth=abc", "axis-azimuth: \"abc\" is not a number of degrees");
    row("axis-azimuth=0,3", "axis-azimuth: \"0,3\" is not a number of degrees (a decimal point");
    row("axis-azimuth=nan", "axis-azimuth: \"nan\" is not a number");
    row("axis-azimuth=1e400", "axis-azimuth: \"1e400\" is not a number");
    row("tilt=1", "the mount has no \"tilt\"");
    row("axis-azimuth=4.9", "axis-azimuth would be 5.05 degrees");
    row("set axis-elevation=-5.01", "axis-elevation would be -5.01 degrees");
    row("axis-azimuth=0.1 tilt=1", "the mount has no \"tilt\""); // the first not kept either
    row("set", "mount set takes");
    row("axis-azimuth", "mount takes NAME=DEGREES");
    row("=1", "mount takes NAME=DEGREES");
    row("axis-azimuth=0.1 set", "mount takes NAME=DEGREES");
}

void TestSimMount::screwsTurned()
{
    QFETCH(QString, words);
    QFETCH(QString, result);
    sim::MountErrors mount = sim::SimConfig().installedMount();
    const sim::MountErrors before = mount;
    QString error;
    const bool ok =
        sim::adjustMountErrors(words.split(QLatin1Char(' '), Qt::SkipEmptyParts), &mount, &error);
    if (!result.front().isDigit() && result.front() != QLatin1Char('-')) {
        QVERIFY(!ok);
        QVERIFY2(error.startsWith(result), qPrintable(error));
        QVERIFY(near(mount, before)); // nothing changed
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QStringList expected = result.split(QLatin1Char(' '));
    for (int i = 0; i < 4; ++i)
        QVERIFY2(std::abs(mount.*Fields[i] - expected.at(i).toDouble()) < 1e-12,
                 qPrintable(text(mount)));
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
    const double aligned = agc();
    QVariantMap values;
    QString error;
    QVERIFY2(card.adjustSimulation(QStringLiteral("mount"), {QStringLiteral("axis-elevation=2")},
                                   &values, &error),
             qPrintable(error));
    QCOMPARE(values.value(QStringLiteral("axis_elevation")).toDouble(), 2.3);
    QCOMPARE(values.value(QStringLiteral("latitude")).toDouble(), 45.0);
    QVERIFY2(agc() < aligned - 30, qPrintable(QStringLiteral("%1 %2").arg(aligned).arg(agc())));
    QVERIFY(card.adjustSimulation(QStringLiteral("mount"),
                                  {QStringLiteral("set"), QStringLiteral("axis-elevation=0.3")},
                                  &values, &error));
    QCOMPARE(agc(), aligned);
    // Refused: nothing turned.
    QVERIFY(!card.adjustSimulation(QStringLiteral("mount"), {QStringLiteral("axis-elevation=9")},
                                   &values, &error));
    QCOMPARE(scene.mountErrors().axisElevationDeg, 0.3);

    sim::SimCard fixed(clock, std::make_unique<sim::FixedScene>());
    QVERIFY(!fixed.adjustSimulation(QStringLiteral("mount"), {}, &values, &error));
    QCOMPARE(error, QStringLiteral("the simulated receiver has no mount to adjust"));
    RealCard real;
    QVERIFY(!real.adjustSimulation(QStringLiteral("mount"), {}, &values, &error));
    QCOMPARE(error, QStringLiteral(
                        "the receiver is not simulated: its mount cannot be adjusted from here"));
}

// The screws stay turned from one run to the next, as on a real mount; a
// fresh start, or the simulation installing another mount, starts over. A
// state file from before mounts were kept still gives the motor's place.
void TestSimMount::turnedScrewsAreKeptAcrossRuns()
{
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    sim::registerSimulatedReceiver();
    hw::ManualClock clock;
    const auto run = [&](const char* receiver, const QStringList& words) {
        QString error;
        auto card = hw::createReceiver(QLatin1String(receiver), clock, &error);
        QVariantMap values;
        if (!card || !card->adjustSimulation(QStringLiteral("mount"), words, &values, &error))
            return error;
        return QStringLiteral("%1 %2 %3 %4")
            .arg(values.value(QStringLiteral("axis_azimuth")).toDouble())
            .arg(values.value(QStringLiteral("axis_elevation")).toDouble())
            .arg(values.value(QStringLiteral("declination")).toDouble())
            .arg(values.value(QStringLiteral("motor_zero")).toDouble());
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
         "the mount has no \"tilt\": axis-azimuth, axis-elevation, declination or motor-zero"},
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
        QCOMPARE(run(row.receiver,
                     QString::fromLatin1(row.words).split(QLatin1Char(' '), Qt::SkipEmptyParts)),
                 QString::fromLatin1(row.errors));
    }
    // The motor's place from a file of before.
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[motor]\nangle=3\n");
    f.close();
    QString error;
    auto card = hw::createReceiver(QStringLiteral("sim"), clock, &error);
    QVERIFY(card);
    auto& scene = static_cast<sim::PhysicalScene&>(static_cast<sim::SimCard&>(*card).scene());
    QCOMPARE(scene.motor().angle(), 3.0);
    qunsetenv("XDG_STATE_HOME");
}

QTEST_GUILESS_MAIN(TestSimMount)
#include "tst_simmount.moc"
