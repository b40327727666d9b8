// The simulated installation: a dish on a DiSEqC motor under a sky of real
// transponders, driven as the program drives it, on a clock the test moves.

#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "sim/dishstate.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"
#include "sim/simconfig.h"
#include "sim/simreceiver.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>

namespace {

class Installation
{
public:
    explicit Installation(sim::SimConfig config = {}, bool exact = true)
    {
        if (exact)
            config.readingNoise = 0; // exact readings, so that expectations are exact
        auto scene =
            std::make_unique<sim::PhysicalScene>(clock, config, sim::Sky::builtIn(config.eirpDbw));
        this->scene = scene.get();
        auto card = std::make_unique<sim::SimCard>(clock, std::move(scene));
        this->card = card.get();
        hw::CardLayer::install(std::move(card), &clock);
        hw::CardLayer::startTrace(dir.filePath(QStringLiteral("t.log")), nullptr);
        CDVBCommon::OpenDevice(0, nullptr, 0);
        frontend.Init();
        locateBusRoutines();
        access.lnbp21_write_byte(0x4C);
    }
    ~Installation()
    {
        CDVBCommon::CloseDevice();
        hw::CardLayer::stopTrace();
        hw::CardLayer::uninstall();
    }

    // Tunes like the program: universal LNB, band by 11700 MHz, supply byte after.
    bool tune(int mhz, bool vertical, int ks, bool powered = true)
    {
        const bool high = mhz >= 11700;
        const quint32 lof = high ? 10600 : 9750;
        CDVBFrontend::_CHANNEL_TYPE c = {quint32(mhz) * 1000,
                                         1,
                                         quint32(ks) * 1000,
                                         lof * 1000,
                                         high ? 1u : 0u,
                                         powered ? (vertical ? 13u : 18u) : 0u,
                                         0,
                                         0};
        access.tda10086_write_byte(tda10086::RegAcquisition, 0x35);
        const bool ok = frontend.SetChannel(c, 0) == DVB_ERR_NONE;
        access.lnbp21_write_byte(powered ? (vertical ? 0x44 : 0x4C) : 0x08);
        return ok;
    }

    void send(std::initializer_list<int> bytes)
    {
        QByteArray m;
        for (int b : bytes)
            m.append(char(b));
        QCOMPARE(access.tda10086_send_master_cmd(reinterpret_cast<const unsigned char*>(m.data()),
                                                 m.size()),
                 0);
    }

    // Polls like the status poll, every 250 ms, for the given time.
    unsigned char pollFor(int ms)
    {
        unsigned char status = 0, agc = 0;
        for (int t = 0; t < ms; t += 250) {
            clock.advance(250);
            access.tda10086_agc_raw(&agc);
            access.tda10086_status_flags(&status);
        }
        return status;
    }

    int agcMeter()
    {
        unsigned char agc = 0;
        access.tda10086_agc_raw(&agc);
        return 255 - agc;
    }

    QStringList motorLines() const
    {
        QFile f(dir.filePath(QStringLiteral("t.log")));
        f.open(QIODevice::ReadOnly);
        QStringList lines;
        for (const QString& l : QString::fromLatin1(f.readAll()).split('\n'))
            if (l.contains(QLatin1String(" MOTOR ")))
                lines.append(l.section(' ', 1));
        return lines;
    }

    hw::ManualClock clock;
    QTemporaryDir dir;
    sim::PhysicalScene* scene = nullptr;
    sim::SimCard* card = nullptr;
    CDVBFrontend frontend;
    DemodulatorAccess access;
};

constexpr unsigned char Lock = 0x10;

} // namespace

class TestSimSky : public QObject
{
    Q_OBJECT

private slots:
    void networkIdentification();
    void geometryMatchesUsals();
    void defaultDishLocksOnTheSatelliteDueSouth();
    void secondGenerationAroundItsThreshold();
    void noLockWithoutTheRightSignal();
    void lockNeedsTheThresholdToStart();
    void motorHearsNothingWithoutSupply();
    void backlashOnReversal();
    void usalsGotoTravelsAndLocks();
    void haltStopsWhereItIs();
    void stepsAddUp();
    void limitsStopTravel();
    void repetitionsAreNotExecutedTwice();
    void westCodes_data();
    void westCodes();
    void hillClimbFindsThePeak();
    void errorsRiseNearTheThreshold();
    void noiseIsRepeatableForASeed();
    void simulationFile();
    void theDishStandsAtTheUsersSite();
    void theDishStaysWhereItWasLeft();
    void simulationFileErrors_data();
    void simulationFileErrors();
};

void TestSimSky::geometryMatchesUsals()
{
    // Published sample: site 50 N 10 E, Astra 19.2 E needs 10.19 degrees east.
    QCOMPARE(std::round(sim::PolarMount::usalsAngle(50, 10, 19.2) * 100) / 100, 10.19);
    QCOMPARE(std::round(sim::PolarMount::usalsAngle(50, 10, -5) * 100) / 100, -16.59);
    QCOMPARE(std::round(sim::PolarMount::usalsAngle(45, 42, 13) * 100) / 100, -32.27);
    sim::PolarMount mount(50, 10);
    QCOMPARE(std::round(mount.declinationOffset() * 100) / 100, 7.31);
    // An ideal mount at the USALS angle is within the residual of a polar mount.
    QVERIFY(mount.pointingError(sim::PolarMount::usalsAngle(50, 10, 19.2), 19.2) < 0.1);
    QVERIFY(!mount.visible(130.0));
    // South of the equator the motor turns the other way.
    sim::PolarMount south(-34, 18);
    QVERIFY(sim::PolarMount::usalsAngle(-34, 18, 36) < 0);
    QVERIFY(south.pointingError(sim::PolarMount::usalsAngle(-34, 18, 36), 36) < 0.1);
    // An installation error shows up as a pointing error of about its size.
    sim::MountErrors tipped;
    tipped.axisElevationDeg = 0.3;
    mount.setErrors(tipped);
    QVERIFY(std::abs(mount.pointingError(0, 10) - 0.3) < 0.02);
}

void TestSimSky::defaultDishLocksOnTheSatelliteDueSouth()
{
    Installation dish;
    QVERIFY(dish.tune(11044, false, 39999)); // the program's first tune: nothing there
    QVERIFY(!(dish.pollFor(3000) & Lock));

    QVERIFY(dish.tune(11977, false, 27500));
    QVERIFY(dish.pollFor(2000) & Lock);
    unsigned char rate = 0;
    rate = quint8(dish.access.tda10086_read_byte(tda10086::RegCodeRate));
    QCOMPARE((rate >> 4) & 7, 2); // 3/4
    unsigned int ber = 0;
    QCOMPARE(dish.access.tda10086_ber_count(&ber), 0);
    QVERIFY(ber < 100);

    // DVB-S2: the default demodulator finds it and says what it is; the
    // TDA10086 alone finds the carrier but never locks.
    QVERIFY(dish.tune(11012, false, 30000));
    QVERIFY(dish.pollFor(2000) & Lock);
    hw::SignalFormat locked;
    QVERIFY(dish.frontend.GetLockedFormat(&locked));
    QCOMPARE(hw::modcod::lockedText(locked), QStringLiteral("8PSK 3/4"));
    dish.card->setSecondGeneration(false);
    QVERIFY(dish.tune(11012, false, 30000));
    const unsigned char flags = dish.pollFor(3000);
    QVERIFY((flags & 0x02) && !(flags & Lock));
    QVERIFY(!dish.frontend.GetLockedFormat(&locked));
}

void TestSimSky::secondGenerationAroundItsThreshold()
{
    // Türksat's 11012 H, 8PSK 3/4, faded by rain to a given distance from
    // what the demodulator needs.
    Installation dish;
    QVERIFY(dish.tune(11012, false, 30000));
    QVERIFY(dish.pollFor(1000) & Lock);
    const sim::Carrier clear = dish.scene->tunedCarrier(dish.card->tunerState());
    const double needed = sim::PhysicalScene::carrierThresholdDb(*clear.transponder);
    QCOMPARE(needed, 7.91 + 10 * std::log10((90.0 * 241 + 36 * 14) / (90 * 241)) +
                         sim::PhysicalScene::S2ImplementationLossDb);
    auto fadeTo = [&](double margin) {
        sim::FieldConditions field;
        for (int i = 0; i < 30; ++i) {
            const double esN0 = dish.scene->tunedCarrier(dish.card->tunerState()).esN0Db;
            field.rainFadeDb = std::max(0.0, field.rainFadeDb + esN0 - (needed + margin));
            dish.scene->setField(field);
        }
    };
    auto blocksOver = [&](int ms, unsigned char* status) {
        unsigned char ucb = 0;
        dish.access.tda10086_ucb_count(&ucb); // restart the counter
        *status = dish.pollFor(ms);
        dish.access.tda10086_ucb_count(&ucb);
        return int(ucb);
    };
    const struct
    {
        double margin;
        bool retune, locked;
        int minBlocks, maxBlocks;
    } steps[] = {
        {0.4, false, true, 0, 0},     // quasi-error-free
        {-0.5, false, true, 50, 127}, // held, but the decoder gives up on frames
        {-1.3, false, false, 0, 127}, // lost
        {-0.2, true, false, 0, 127},  // not acquired again below the threshold
        {0.2, true, true, 0, 0},      // acquired at it
    };
    for (const auto& step : steps) {
        fadeTo(step.margin);
        if (step.retune)
            dish.tune(11012, false, 30000);
        unsigned char status = 0;
        const int blocks = blocksOver(2000, &status);
        const QByteArray what = QByteArray::number(step.margin);
        QVERIFY2(bool(status & Lock) == step.locked, what);
        QVERIFY2(blocks >= step.minBlocks && blocks <= step.maxBlocks,
                 what + " blocks " + QByteArray::number(blocks));
    }
}

void TestSimSky::noLockWithoutTheRightSignal()
{
    {
        Installation dish;
        QVERIFY(dish.tune(11977, true, 27500)); // wrong polarisation
        QVERIFY(!(dish.pollFor(3000) & Lock));
        QVERIFY(dish.tune(11977, false, 27500, false)); // LNB supply off
        QCOMPARE(dish.pollFor(3000), 0);
        // ... and nothing reaches the tuner: the AGC is at its floor.
        QVERIFY2(dish.agcMeter() <= 12, qPrintable(QString::number(dish.agcMeter())));
        QVERIFY(dish.tune(11977, false, 27500));
        dish.pollFor(500);
        QVERIFY2(dish.agcMeter() > 40, qPrintable(QString::number(dish.agcMeter())));
        QVERIFY(!dish.tune(12900, false, 27500)); // IF beyond 2150 MHz: the tuner refuses
        QVERIFY(dish.tune(11977, false, 22000));  // symbol rate far off
        QVERIFY(!(dish.pollFor(3000) & Lock));
    }
    {
        Installation dish;
        QVERIFY(dish.tune(11977, false, 27500));
        unsigned char positionB[4] = {0xE0, 0x10, 0x38, 0xF6};
        dish.frontend.SendDiSEqCMsg(positionB, 4, 0xFF); // the dish hangs on input A
        QCOMPARE(dish.pollFor(3000), 0);
    }
}

void TestSimSky::lockNeedsTheThresholdToStart()
{
    // Es/N0 of Türksat's 11977 H and its threshold, for a given EIRP.
    auto measure = [](double eirp, double* threshold) {
        sim::SimConfig config;
        config.eirpDbw = eirp;
        config.readingNoise = 0;
        hw::ManualClock clock;
        sim::PhysicalScene scene(clock, config, sim::Sky::builtIn(eirp));
        for (const auto& sat : scene.sky().satellites) {
            for (const auto& tp : sat.transponders) {
                if (sat.longitude == 42.0 && tp.frequencyMHz == 11977 && !tp.vertical) {
                    *threshold = sim::PhysicalScene::thresholdDb(tp.codeRate);
                    return scene.esN0Db(sat, tp);
                }
            }
        }
        return -99.0;
    };
    // The EIRP that puts the carrier a given distance from its threshold (the
    // uplink's noise makes the relation not quite linear).
    auto eirpFor = [&](double margin) {
        double eirp = 50, threshold = 0;
        for (int i = 0; i < 20; ++i) {
            const double esN0 = measure(eirp, &threshold);
            eirp += threshold + margin - esN0;
        }
        return eirp;
    };
    double threshold = 0;
    const double below = eirpFor(-0.25);
    QVERIFY(std::abs(measure(below, &threshold) - (threshold - 0.25)) < 0.02);

    // 0.25 dB below: a receiver that is not locked does not lock (one already
    // locked would hold on down to 0.5 dB below).
    sim::SimConfig weak;
    weak.eirpDbw = below;
    Installation dish(weak);
    QVERIFY(dish.tune(11977, false, 27500));
    QVERIFY(!(dish.pollFor(3000) & Lock));
    sim::SimConfig strong;
    strong.eirpDbw = eirpFor(0.25);
    Installation better(strong);
    QVERIFY(better.tune(11977, false, 27500));
    QVERIFY(better.pollFor(3000) & Lock);
}

void TestSimSky::motorHearsNothingWithoutSupply()
{
    Installation dish;
    dish.access.lnbp21_write_byte(0x08); // supply off
    dish.send({0xE0, 0x31, 0x66});       // east limit here
    dish.send({0xE0, 0x31, 0x68, 0x00}); // east until halted
    dish.pollFor(3000);
    QCOMPARE(dish.scene->motor().angle(), 0.0);
    // Unheard, so nothing is left to do when the supply comes back...
    dish.access.lnbp21_write_byte(0x4C);
    dish.pollFor(1000);
    QCOMPARE(dish.scene->motor().angle(), 0.0);
    // ... and no limit was set.
    dish.send({0xE0, 0x31, 0x68, 0x00});
    dish.pollFor(3000);
    const double before = dish.scene->motor().angle();
    QVERIFY(before > 5.0);
    // The supply goes in the middle of the move: the motor stops there, and
    // does not resume when it comes back.
    dish.access.lnbp21_write_byte(0x08);
    const double cut = dish.scene->motor().angle();
    dish.pollFor(2000);
    QCOMPARE(dish.scene->motor().angle(), cut);
    dish.access.lnbp21_write_byte(0x4C);
    dish.pollFor(2000);
    QCOMPARE(dish.scene->motor().angle(), cut);
    QCOMPARE(dish.motorLines().size(), 1);
    QVERIFY(dish.motorLines().first().endsWith(QLatin1String(" unpowered")));
}

void TestSimSky::backlashOnReversal()
{
    Installation dish;
    auto dishAngle = [&] {
        return dish.scene->motor().dishAngle();
    };
    const double start = dishAngle();
    dish.send({0xE0, 0x31, 0x68, 0xF6}); // 10 steps east: the dish follows at once
    dish.pollFor(1000);
    QVERIFY(std::abs(dishAngle() - start - 10 / 9.6) < 1e-9);
    dish.send({0xE0, 0x31, 0x69, 0xF6}); // 10 steps back: the gears' 0.05 degrees are lost
    dish.pollFor(1000);
    QVERIFY2(std::abs(dishAngle() - start - 0.05) < 1e-9, qPrintable(QString::number(dishAngle())));
    QCOMPARE(dish.scene->motor().angle(), 0.0); // the motor's own count is exact
    dish.send({0xE0, 0x31, 0x69, 0xF6});        // on westwards: no further loss
    dish.pollFor(1000);
    QVERIFY(std::abs(dishAngle() - start + 10 / 9.6 - 0.05) < 1e-9);
}

void TestSimSky::usalsGotoTravelsAndLocks()
{
    Installation dish;
    // Hot Bird 13 E from 45 N 42 E: 32.27 degrees west, v = 516 sixteenths.
    dish.send({0xE0, 0x31, 0x6E, 0x02, 0x04});
    dish.send({0xE1, 0x31, 0x6E, 0x02, 0x04});
    dish.send({0xE1, 0x31, 0x6E, 0x02, 0x04});
    // 18 V on the cable: 1.8 degrees a second.
    const double start = dish.scene->motor().angle();
    dish.pollFor(10000);
    const double after10s = dish.scene->motor().angle();
    QVERIFY2(std::abs(after10s - start + 18.0) < 0.05, qPrintable(QString::number(after10s)));
    // Tuned to a vertical transponder the supply drops to 13 V: 1.2 degrees a second.
    QVERIFY(dish.tune(10719, true, 27500));
    const double at13V = dish.scene->motor().angle();
    dish.pollFor(5000);
    QVERIFY2(std::abs(dish.scene->motor().angle() - at13V + 6.0) < 0.05,
             qPrintable(QString::number(dish.scene->motor().angle())));
    dish.pollFor(15000);
    QCOMPARE(dish.scene->motor().angle(), -32.25);
    QVERIFY(dish.pollFor(1000) & Lock);
    QCOMPARE(dish.motorLines(), QStringList({"MOTOR -32.25 arrived"}));
}

void TestSimSky::haltStopsWhereItIs()
{
    Installation dish;
    dish.send({0xE0, 0x31, 0x68, 0x00}); // east until halted
    dish.pollFor(5000);
    dish.send({0xE0, 0x31, 0x60});
    const double stoppedAt = dish.scene->motor().angle();
    QVERIFY2(std::abs(stoppedAt - 9.1) < 0.1, qPrintable(QString::number(stoppedAt)));
    dish.pollFor(5000);
    QCOMPARE(dish.scene->motor().angle(), stoppedAt);
    QCOMPARE(dish.motorLines().size(), 1);
    QVERIFY(dish.motorLines().first().endsWith(QLatin1String(" halted")));
}

void TestSimSky::stepsAddUp()
{
    Installation dish;
    dish.send({0xE0, 0x31, 0x68, 0x80}); // 128 steps
    dish.pollFor(13500);
    dish.send({0xE0, 0x31, 0x68, 0xB8}); // 72 steps
    dish.pollFor(8000);
    QVERIFY(std::abs(dish.scene->motor().angle() - 200 / 9.6) < 1e-9);
    dish.send({0xE0, 0x31, 0x69, 0xFF}); // one step west
    dish.pollFor(500);
    QVERIFY(std::abs(dish.scene->motor().angle() - 199 / 9.6) < 1e-9);
}

void TestSimSky::limitsStopTravel()
{
    Installation dish;
    dish.send({0xE0, 0x31, 0x68, 0x02}); // two seconds east at 1.8 degrees a second
    dish.pollFor(3000);
    const double limit = dish.scene->motor().angle();
    QVERIFY2(std::abs(limit - 3.6) < 1e-9, qPrintable(QString::number(limit)));
    dish.send({0xE0, 0x31, 0x66}); // east limit here
    dish.send({0xE0, 0x31, 0x68, 0x00});
    dish.pollFor(3000);
    QCOMPARE(dish.scene->motor().angle(), limit);

    dish.send({0xE0, 0x31, 0x63});             // limits off: the end stop at 80 degrees remains
    dish.send({0xE0, 0x31, 0x6E, 0xE5, 0x50}); // goto 85 E
    dish.pollFor(90000);
    QCOMPARE(dish.scene->motor().angle(), 80.0);
    QVERIFY(dish.motorLines().last().endsWith(QLatin1String("80.00 limit")));
}

void TestSimSky::repetitionsAreNotExecutedTwice()
{
    Installation dish;
    dish.send({0xE0, 0x31, 0x68, 0xF6}); // 10 steps
    dish.send({0xE1, 0x31, 0x68, 0xF6}); // its repetitions
    dish.send({0xE1, 0x31, 0x68, 0xF6});
    dish.pollFor(3000);
    QVERIFY(std::abs(dish.scene->motor().angle() - 10 / 9.6) < 1e-9);
}

void TestSimSky::westCodes_data()
{
    QTest::addColumn<bool>("ignoresZero"); // "sim,ignore-west-0=1"
    QTest::addColumn<int>("code");         // high nibble of the goto-angle's first data byte
    QTest::addColumn<double>("angle");     // where the motor goes from 0
    QTest::newRow("typical, 0x00") << false << 0x00 << -2.0;
    QTest::newRow("typical, 0xD0") << false << 0xD0 << -2.0;
    QTest::newRow("D0 only, 0x00") << true << 0x00 << 0.0;
    QTest::newRow("D0 only, 0xD0") << true << 0xD0 << -2.0;
    QTest::newRow("D0 only, east") << true << 0xE0 << 2.0;
}

void TestSimSky::westCodes()
{
    QFETCH(bool, ignoresZero);
    QFETCH(int, code);
    QFETCH(double, angle);
    sim::SimConfig config;
    hw::ReceiverSpec spec;
    spec.options.append({QStringLiteral("ignore-west-0"), QString::number(int(ignoresZero))});
    QVERIFY(sim::applySimOptions(spec, &config, nullptr));
    QCOMPARE(config.motor.ignoreWestZero, ignoresZero);
    Installation dish(config);
    dish.send({0xE0, 0x31, 0x6E, code, 0x20}); // 2 degrees
    dish.pollFor(3000);
    QCOMPARE(dish.scene->motor().angle(), angle);
}

void TestSimSky::hillClimbFindsThePeak()
{
    sim::SimConfig config;
    config.motor.startAngle = 1.0; // about ten steps east of Turksat
    config.motor.backlash = 0;     // the climb is compared step for step with fixed dishes

    // The best step as the signal model defines it, from dishes set up there.
    auto agcAt = [&](int step) {
        sim::SimConfig probe = config;
        probe.motor.startAngle = 1.0 + step / 9.6;
        Installation other(probe);
        other.tune(11977, false, 27500);
        return other.agcMeter();
    };
    QMap<int, int> readings;
    for (int step = -30; step <= 30; ++step)
        readings.insert(step, agcAt(step));
    const int bestAgc = *std::max_element(readings.cbegin(), readings.cend());
    QVERIFY(readings.key(bestAgc) < -3);

    Installation dish(config);
    QVERIFY(dish.tune(11977, false, 27500));
    dish.pollFor(500);

    // Single steps east, then west, staying on the best reading, as an
    // installer (or the autotune) would.
    int position = 0;
    int current = dish.agcMeter();
    for (int direction : {1, -1}) {
        for (int guard = 0; guard < 100; ++guard) { // a dish that never moves would climb forever
            dish.send({0xE0, 0x31, direction > 0 ? 0x68 : 0x69, 0xFF});
            dish.pollFor(250);
            position += direction;
            const int reading = dish.agcMeter();
            if (reading < current) {
                dish.send({0xE0, 0x31, direction > 0 ? 0x69 : 0x68, 0xFF});
                dish.pollFor(250);
                position -= direction;
                break;
            }
            current = reading;
        }
    }
    QCOMPARE(current, bestAgc);
    QCOMPARE(readings.value(position), bestAgc);
}

void TestSimSky::errorsRiseNearTheThreshold()
{
    auto measure = [](double eirp, unsigned int* ber, int* blocks) {
        sim::SimConfig config;
        config.eirpDbw = eirp;
        Installation dish(config);
        dish.tune(11977, false, 27500);
        dish.pollFor(1000);
        unsigned char ucb = 0;
        dish.access.tda10086_ucb_count(&ucb); // restart the counter
        const unsigned char status = dish.pollFor(4000);
        dish.access.tda10086_ber_count(ber);
        dish.access.tda10086_ucb_count(&ucb);
        *blocks = ucb;
        return status;
    };
    unsigned int strongBer = 0, weakBer = 0;
    int strongBlocks = 0, weakBlocks = 0;
    QVERIFY(measure(50.0, &strongBer, &strongBlocks) & Lock);
    // 10 dB less: Es/N0 about 1.3 dB above the 3/4 threshold. Many more bit
    // errors before the decoder, still quasi-error-free after it.
    QVERIFY(measure(40.0, &weakBer, &weakBlocks) & Lock);
    QCOMPARE(strongBlocks, 0);
    QCOMPARE(weakBlocks, 0);
    QVERIFY(weakBer > 100 * std::max(1u, strongBer));
    // Far below the threshold there is no lock at all.
    unsigned int ber = 0;
    int blocks = 0;
    QVERIFY(!(measure(36.0, &ber, &blocks) & Lock));
}

void TestSimSky::noiseIsRepeatableForASeed()
{
    auto readings = [](quint32 seed) {
        sim::SimConfig config;
        config.noiseSeed = seed;
        Installation dish(config, false);
        dish.tune(11977, false, 27500);
        QVector<int> values;
        for (int i = 0; i < 20; ++i) {
            dish.clock.advance(250);
            values.append(dish.agcMeter());
        }
        return values;
    };
    const QVector<int> first = readings(7);
    QCOMPARE(readings(7), first);
    QVERIFY(readings(8) != first);
    // Noise, not drift: the readings stay within a few units of each other.
    const auto [low, high] = std::minmax_element(first.begin(), first.end());
    QVERIFY(*high > *low);
    QVERIFY(*high - *low < 20);
}

// The installation stands where the user's options say, unless the
// simulation gives a site of its own: a USALS goto computed for the user's
// site then finds the satellite.
void TestSimSky::theDishStandsAtTheUsersSite()
{
    for (const bool given : {false, true}) {
        sim::SimConfig config;
        config.siteGiven = given;
        Installation dish(config);
        static_cast<hw::CardBackend*>(dish.card)->setSite(50, 10);
        QCOMPARE(dish.scene->mount().latitude(), given ? 45.0 : 50.0);
        const int v = int(std::lround(sim::PolarMount::usalsAngle(50, 10, 19.2) * 16));
        dish.send({0xE0, 0x31, 0x6E, 0xE0 | (v >> 8), v & 0xFF});
        dish.pollFor(10000);
        const sim::SimSatellite* astra = nullptr;
        for (const sim::SimSatellite& sat : dish.scene->sky().satellites)
            if (sat.longitude == 19.2)
                astra = &sat;
        QVERIFY(astra && !astra->transponders.isEmpty());
        const sim::SimTransponder& tp = astra->transponders.first();
        QVERIFY(dish.tune(int(tp.frequencyMHz), tp.vertical, int(tp.symbolRateKs)));
        QCOMPARE(bool(dish.pollFor(2000) & Lock), !given);
    }
}

// A restart finds the motor where the last run left it, with its limits and
// stored positions; "fresh" starts from the reference; a state file that is
// not one (damaged, a FIFO) is passed over at once.
void TestSimSky::theDishStaysWhereItWasLeft()
{
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    sim::registerSimulatedReceiver();
    const QString path = sim::dishStatePath();
    QCOMPARE(path, state.filePath(QStringLiteral("zenara/simulated-dish.ini")));
    hw::ManualClock clock;
    QString error;
    auto start = [&](const QString& receiver) {
        auto card = hw::createReceiver(receiver, clock, &error);
        return card;
    };
    auto motorOf = [](hw::CardBackend& card) -> sim::DishMotor& {
        return static_cast<sim::PhysicalScene&>(static_cast<sim::SimCard&>(card).scene()).motor();
    };
    {
        auto card = start(QStringLiteral("sim"));
        QVERIFY2(card, qPrintable(error));
        sim::DishMotor& motor = motorOf(*card);
        QCOMPARE(motor.angle(), 0.0);
        motor.setSupply(18);
        motor.command(QByteArray::fromHex("e0316ee0a0")); // 10 degrees east
        clock.advance(10000);
        QCOMPARE(motor.angle(), 10.0);
        motor.command(QByteArray::fromHex("e0316a03"));   // store 3
        motor.command(QByteArray::fromHex("e03166"));     // east limit here
        motor.command(QByteArray::fromHex("e0316ed050")); // 5 west, not waited for
        clock.advance(5000);
        motor.setSupply(0); // half way when the program ends and closes the card
    }
    const struct
    {
        const char* receiver;
        QByteArray file; // written over the state first; "fifo" for a FIFO
        double angle;
        bool limits;
        double stored3; // where "goto 3" takes it
    } rows[] = {
        {"sim", {}, 1.0, true, 10.0}, // stopped half way when the program ended
        {"sim,fresh", {}, 0.0, false, 0.0},
        {"sim", {}, 0.0, false, 0.0}, // a fresh start is the new state
        {"sim", "[motor]\nangle=nan\n", 0.0, false, 0.0},
        {"sim", "[motor]\nangle=-12.5\n[stored]\n3=-12.5\n999=1\n", -12.5, false, -12.5},
        {"sim", "fifo", 0.0, false, 0.0},
    };
    for (const auto& row : rows) {
        if (row.file == "fifo") {
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (QFile f(path); !row.file.isEmpty()) {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(row.file);
        }
        auto card = start(QLatin1String(row.receiver));
        QVERIFY2(card, qPrintable(error));
        sim::DishMotor& motor = motorOf(*card);
        QCOMPARE(motor.angle(), row.angle);
        QCOMPARE(motor.limitsEnabled(), row.limits);
        motor.setSupply(18);
        motor.command(QByteArray::fromHex("e0316b03"));
        clock.advance(20000);
        QCOMPARE(motor.angle(), row.stored3);
    }
    qunsetenv("XDG_STATE_HOME");
}

void TestSimSky::simulationFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sim.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[site]\nlatitude=-33.9\nlongitude=18.4\n[dish]\ndiameter=1.2\ninput=2\n"
               "[motor]\nspeed=2.5\nstartAngle=-10\n[noise]\nseed=42\n"
               "[faults]\nfail=init\n");
    file.close();

    sim::SimConfig config;
    sim::SimFaults faults;
    QString error;
    QVERIFY2(sim::loadSimConfig(path, &config, &faults, &error), qPrintable(error));
    QCOMPARE(config.latitude, -33.9);
    QCOMPARE(config.longitude, 18.4);
    QCOMPARE(config.dishDiameterM, 1.2);
    QCOMPARE(config.dishInput, 2);
    QCOMPARE(config.motor.speed13V, 2.5); // one speed whatever the supply
    QCOMPARE(config.motor.speed18V, 2.5);
    QCOMPARE(config.motor.startAngle, -10.0);
    QCOMPARE(config.motor.stepsPerDegree, 9.6); // not in the file: default kept
    QCOMPARE(config.noiseSeed, 42u);
    QVERIFY(faults.failInit);
    QVERIFY(!faults.failOpen);
}

void TestSimSky::simulationFileErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::newRow("not a number") << QByteArray("[motor]\nspeed=fast\n")
                                  << "motor/speed is not a number: \"fast\"";
    QTest::newRow("no speed") << QByteArray("[motor]\nspeed=0\n")
                              << "motor/speed must be a number from 0.001 to 100, not 0";
    QTest::newRow("pole") << QByteArray("[site]\nlatitude=89\n")
                          << "site/latitude must be a number from -81 to 81, not 89";
    QTest::newRow("input") << QByteArray("[dish]\ninput=4\n")
                           << "dish/input must be a whole number from 0 to 3, not 4";
    QTest::newRow("half an input")
        << QByteArray("[dish]\ninput=1.5\n") << "dish/input must be a whole number";
    QTest::newRow("nan input") << QByteArray("[dish]\ninput=nan\n")
                               << "dish/input is not a number: \"nan\"";
    QTest::newRow("inf latitude") << QByteArray("[site]\nlatitude=inf\n")
                                  << "site/latitude is not a number: \"inf\"";
    QTest::newRow("negative seed") << QByteArray("[noise]\nseed=-1\n") << "noise/seed must be";
    QTest::newRow("huge seed") << QByteArray("[noise]\nseed=1e12\n") << "noise/seed must be";
    QTest::newRow("huge limit") << QByteArray("[motor]\nlimit=1e308\n") << "motor/limit must be";
    QTest::newRow("start beyond the stops")
        << QByteArray("[motor]\nlimit=60\nstartAngle=70\n")
        << "motor/startAngle must be a number from -60 to 60, not 70";
    QTest::newRow("steps") << QByteArray("[motor]\nstepsPerDegree=-nan\n")
                           << "motor/stepsPerDegree is not a number";
    QTest::newRow("missing") << QByteArray() << "Cannot read the simulation file";
}

void TestSimSky::simulationFileErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sim.ini"));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    sim::SimConfig config;
    sim::SimFaults faults;
    QString message;
    QVERIFY(!sim::loadSimConfig(path, &config, &faults, &message));
    QVERIFY2(message.contains(error), qPrintable(message));
}

namespace {

// A simulation file with this text, read as --sim-config reads it.
bool loadSimText(const QByteArray& text, sim::SimConfig* config, QString* error)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("s.ini")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    sim::SimFaults faults;
    return sim::loadSimConfig(file.fileName(), config, &faults, error);
}

} // namespace

void TestSimSky::networkIdentification()
{
    using State = hw::TransportStream::State;
    // Locked on Turksat: its NIT arrives a moment after the read starts.
    {
        Installation dish;
        QVERIFY(dish.tune(11977, false, 27500));
        QVERIFY(dish.pollFor(2000) & Lock);
        hw::TransportStream* stream = dish.card->transportStream();
        QVERIFY(stream);
        hw::NetworkInfo info;
        stream->startNetworkRead(12000);
        dish.pollFor(1000);
        QCOMPARE(stream->networkState(&info), State::Reading);
        dish.pollFor(1000);
        QCOMPARE(stream->networkState(&info), State::Found);
        QCOMPARE(info.name, QStringLiteral("Turksat 3A/4A"));
        QCOMPARE(info.orbitalPosition, 42.0);
    }
    // A neighbour's mix-up from the simulation file, and a tuning with no carrier.
    {
        sim::SimConfig config;
        QString error;
        QVERIFY2(loadSimText("[nit]\n42.0E=39.0E\n", &config, &error), qPrintable(error));
        Installation dish(config);
        QVERIFY(dish.tune(11977, false, 27500));
        QVERIFY(dish.pollFor(2000) & Lock);
        hw::NetworkInfo info;
        dish.card->transportStream()->startNetworkRead(12000);
        dish.pollFor(2000);
        QCOMPARE(dish.card->transportStream()->networkState(&info), State::Found);
        QCOMPARE(info.orbitalPosition, 39.0);

        // No carrier at all: nothing within the time limit.
        QVERIFY(dish.tune(11044, false, 39999));
        dish.card->transportStream()->startNetworkRead(12000);
        dish.pollFor(12000);
        QCOMPARE(dish.card->transportStream()->networkState(&info), State::None);
    }
    // Locked on a satellite that sends no network information.
    {
        sim::SimConfig config;
        QString error;
        QVERIFY2(loadSimText("[nit]\n42.0E=none\n", &config, &error), qPrintable(error));
        Installation dish(config);
        QVERIFY(dish.tune(11977, false, 27500));
        QVERIFY(dish.pollFor(2000) & Lock);
        hw::NetworkInfo info;
        dish.card->transportStream()->startNetworkRead(12000);
        QVERIFY(dish.pollFor(11000) & Lock);
        QCOMPARE(dish.card->transportStream()->networkState(&info), State::Reading);
        QVERIFY(dish.pollFor(1000) & Lock);
        QCOMPARE(dish.card->transportStream()->networkState(&info), State::None);
    }
    // A value that is not a position is refused with the key named.
    sim::SimConfig config;
    QString error;
    QVERIFY(!loadSimText("[nit]\n42.0E=somewhere\n", &config, &error));
    QVERIFY2(error.contains(QStringLiteral("nit/42.0E")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSimSky)
#include "tst_simsky.moc"
