// The positioner's commands and drives on a clock the test moves: the bytes
// on the cable and when they go, the markers, the raw fields, the waits and
// what Halt does to them; then the same drives against the simulated dish.

#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "lists/satellitelist.h"
#include "positioner/arrival.h"
#include "positioner/beamfit.h"
#include "positioner/commands.h"
#include "positioner/lobesearch.h"
#include "positioner/positioner.h"
#include "positioner/stillness.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>

namespace {

struct Sent
{
    qint64 atMs;
    QByteArray bytes;
};

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

// A positioner whose cable, plot, boxes and raw fields are recorded, and
// whose event processing moves the test's clock on by 10 ms and runs
// whatever the test scheduled for that moment (a click during a wait).
class Recorder
{
public:
    // withTimers: the repeats are scheduled, as the window schedules them, on
    // timers that runTimers() fires.
    explicit Recorder(bool withTimers = false)
    {
        positioner::Positioner::Hooks hooks;
        hooks.send = [this](const QByteArray& m) {
            sent.append({clock.nowMs(), m});
            return sent.size() == failAt ? 1 : 0;
        };
        hooks.marker = [this](const QString& label) {
            markers.append(label);
        };
        hooks.warn = [this](const QString& text) {
            warnings.append(text);
        };
        hooks.showRaw = [this](const QByteArray& m) {
            raw = positioner::rawFieldTexts(m);
        };
        hooks.processEvents = [this] {
            clock.advance(10);
            // An action may itself wait (a nested drive) and so come back here:
            // take each one off the list before running it.
            for (int i = 0; i < scheduled.size(); ++i) {
                if (clock.nowMs() >= scheduled.at(i).first) {
                    const auto action = scheduled.takeAt(i).second;
                    action();
                    break;
                }
            }
        };
        if (withTimers)
            hooks.later = [this](int ms, std::function<void()> run) {
                timers.append({clock.nowMs() + ms, std::move(run)});
            };
        p = std::make_unique<positioner::Positioner>(clock, hooks);
    }

    // Fires the timers due in order, moving the clock to each.
    void runTimers()
    {
        while (!timers.isEmpty()) {
            const auto timer = timers.takeFirst();
            clock.advance(std::max<qint64>(0, timer.first - clock.nowMs()));
            timer.second();
        }
    }

    void at(qint64 ms, std::function<void()> action) { scheduled.append({ms, std::move(action)}); }

    QList<QByteArray> messages() const
    {
        QList<QByteArray> list;
        for (const Sent& s : sent)
            list.append(s.bytes);
        return list;
    }

    hw::ManualClock clock;
    std::unique_ptr<positioner::Positioner> p;
    QList<Sent> sent;
    QStringList markers;
    QStringList warnings;
    QStringList raw = QStringList({"AA", "BB", "CC", "DD", "EE", "FF"}); // from before
    int failAt = -1; // the n-th transmission (1-based) fails
    QList<QPair<qint64, std::function<void()>>> scheduled;
    QList<QPair<qint64, std::function<void()>>> timers;
};

const QString FrontendFailed = QStringLiteral("Frontend::tda10086_send_master_cmd(...) failed");
const QString PlainFailed = QStringLiteral("tda10086_send_master_cmd(...) failed");

} // namespace

class TestPositioner : public QObject
{
    Q_OBJECT

private slots:
    void singleCommands();
    void haltRepeatsWithPauses();
    void repeatsWaitOnTimers();
    void arrivalInTheReadings_data();
    void arrivalInTheReadings();
    void stillnessAfterAWestGoto_data();
    void stillnessAfterAWestGoto();
    void storeDuringAMoveIsNotAGuess();
    void gotoAndItsFailure();
    void rawMessage_data();
    void rawMessage();
    void stepsInChunks();
    void haltEndsTheDrive();
    void nestedDrives();
    void secondsThenHalt();
    void degrees_data();
    void degrees();
    void angleGoto_data();
    void angleGoto();
    void modeRanges();
    void progressAndEstimate();
    void usalsGoto_data();
    void usalsGoto();
    void labelAngles();
    void autotune_data();
    void autotune();
    void autotuneFailureAndHalt();
    void beamFit();
    void lobeSearchOnScriptedBeams_data();
    void lobeSearchOnScriptedBeams();
    void sweepStaysOnItsSatellite_data();
    void sweepStaysOnItsSatellite();
    void southernMirror();
    void southernDishEndToEnd();
    void simulatedDishComesBack();
    void haltStopsTheSimulatedMotor();
};

void TestPositioner::singleCommands()
{
    Recorder r;
    QVERIFY(r.p->limitEast());
    QVERIFY(r.p->limitsOff());
    QVERIFY(r.p->limitWest());
    QVERIFY(r.p->storePosition(7));
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x66}), bytes({0xE0, 0x31, 0x63}),
                                bytes({0xE0, 0x31, 0x67}), bytes({0xE0, 0x31, 0x6A, 0x07})}));
    QCOMPARE(r.markers, QStringList({"Limit E", "Limits Off", "Limit W", "Store 7"}));
    QCOMPARE(r.raw, QStringList({"E0", "31", "6A", "07", "", ""}));
    r.failAt = 5;
    QVERIFY(!r.p->limitEast());
    QCOMPARE(r.warnings, QStringList({FrontendFailed}));
    QCOMPARE(r.markers.size(), 4);
}

void TestPositioner::haltRepeatsWithPauses()
{
    Recorder r;
    r.clock.advance(1000);
    QVERIFY(r.p->halt());
    QVERIFY(r.p->haltRequested);
    QCOMPARE(r.messages(), QList<QByteArray>({bytes({0xE0, 0x31, 0x60}), bytes({0xE1, 0x31, 0x60}),
                                              bytes({0xE1, 0x31, 0x60})}));
    QCOMPARE(r.sent.at(0).atMs, 1000);
    QCOMPARE(r.sent.at(1).atMs, 1100);
    QCOMPARE(r.sent.at(2).atMs, 1200);
    QCOMPARE(r.clock.nowMs(), 1300); // the last pause too
    QCOMPARE(r.markers, QStringList({"Halt"}));
    QCOMPARE(r.raw, QStringList({"E0", "31", "60", "", "", ""}));
}

void TestPositioner::repeatsWaitOnTimers()
{
    // The window does not stop for the repeats: the first message goes at
    // once, the others from timers, 100 ms apart.
    Recorder r(true);
    r.clock.advance(1000);
    QVERIFY(r.p->gotoPosition(3));
    QCOMPARE(r.clock.nowMs(), 1000);
    QCOMPARE(r.sent.size(), 1);
    QCOMPARE(r.markers, QStringList({"Goto 3"}));
    r.runTimers();
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x6B, 0x03}), bytes({0xE1, 0x31, 0x6B, 0x03}),
                                bytes({0xE1, 0x31, 0x6B, 0x03})}));
    QCOMPARE(r.sent.at(2).atMs, 1200);
    // A message sent before the repeats are out ends them: a repeated goto
    // must not undo the Halt that follows it, nor a Halt's repeat stop a drive.
    r.sent.clear();
    QVERIFY(r.p->gotoPosition(4));
    QVERIFY(r.p->halt());
    r.p->driveSteps(true, 1);
    r.runTimers();
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x6B, 0x04}), bytes({0xE0, 0x31, 0x60}),
                                bytes({0xE0, 0x31, 0x68, 0xFF})}));
    // A repeat that fails says so, and no more follow.
    r.sent.clear();
    r.failAt = 2;
    QVERIFY(r.p->halt());
    r.runTimers();
    QCOMPARE(r.sent.size(), 2);
    QCOMPARE(r.warnings, QStringList({FrontendFailed}));
    // Closing down there is no event loop to come back to: in sleeps.
    r.sent.clear();
    r.failAt = -1;
    r.p->abandon();
    QCOMPARE(r.sent.size(), 3);
    QVERIFY(r.timers.isEmpty());
}

void TestPositioner::stillnessAfterAWestGoto_data()
{
    // One poll a line, 250 ms apart from the goto: flags, AGC, SNR (-1: not
    // read). The first second is the receiver settling: anything goes.
    QTest::addColumn<QVector<QVector<double>>>("polls");
    QTest::addColumn<bool>("still");
    const QVector<double> locked = {0x1F, 73.3, 70.2};
    QVector<QVector<double>> rest(21, locked);
    for (int i = 0; i < rest.size(); ++i)
        rest[i][1] += (i % 3) * 0.4; // the readings' own wander
    rest[1] = {0x03, 20.0, 9.0};     // settling on a new channel
    QTest::newRow("nothing moves") << rest << true;
    QTest::newRow("too short to tell") << rest.mid(0, 19) << false;
    auto lostLock = rest;
    lostLock[9][0] = 0x03;
    QTest::newRow("the lock goes") << lostLock << false;
    auto fading = rest;
    fading[12][2] = 60.0;
    QTest::newRow("the SNR falls") << fading << false;
    auto rising = rest;
    rising[8][1] = 78.0;
    QTest::newRow("the AGC rises") << rising << false;
    QTest::newRow("nothing read") << QVector<QVector<double>>(21, {-1, -1, -1}) << false;
}

void TestPositioner::stillnessAfterAWestGoto()
{
    QFETCH(QVector<QVector<double>>, polls);
    QFETCH(bool, still);
    positioner::StillnessWatch watch;
    watch.start(1000);
    int said = 0;
    qint64 now = 1000;
    for (const QVector<double>& p : polls) {
        said += watch.still(now, p[0] >= 0, quint8(p[0]), p[1] >= 0, p[1], p[2] >= 0, p[2]);
        now += 250;
    }
    QCOMPARE(said, still ? 1 : 0);
    QVERIFY(!watch.still(now, true, 0x1F, true, 73.3, true, 70.2)); // said once at most
}

void TestPositioner::storeDuringAMoveIsNotAGuess()
{
    // Stored where the dish is known to stand, a later goto knows its target;
    // stored while it moves, the angle is not known, and no guess is kept.
    positioner::MotionEstimate m;
    m.setRates(9.6, 1000);
    m.assume(0.0, 0);
    m.moveTo(QStringLiteral("Goto 10.0°E"), 10.0, 0);
    m.stored(5, 4000);
    QVERIFY(std::isnan(m.storedAngle(5)));
    m.stored(6, 10000);
    QCOMPARE(m.storedAngle(6), 10.0);
    // A later store during a move forgets what the position held.
    m.moveTo(QStringLiteral("Goto 0.0°"), 0.0, 10000);
    m.stored(6, 12000);
    QVERIFY(std::isnan(m.storedAngle(6)));
    QCOMPARE(m.storedAngle(0), 0.0); // the reference is always known
}

void TestPositioner::gotoAndItsFailure()
{
    Recorder r;
    QVERIFY(r.p->gotoPosition(12));
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x6B, 0x0C}), bytes({0xE1, 0x31, 0x6B, 0x0C}),
                                bytes({0xE1, 0x31, 0x6B, 0x0C})}));
    QCOMPARE(r.raw, QStringList({"E0", "31", "6B", "0C", "", ""}));
    QCOMPARE(r.markers, QStringList({"Goto 12"}));

    Recorder failing;
    failing.failAt = 2;
    QVERIFY(!failing.p->gotoPosition(12));
    QCOMPARE(failing.sent.size(), 2); // no third transmission
    QCOMPARE(failing.markers, QStringList());
    QCOMPARE(failing.warnings, QStringList({FrontendFailed}));
    // The motor takes 60 too, though the table ends at 59.
    QVERIFY(r.p->gotoPosition(60));
    QCOMPARE(r.sent.last().bytes, bytes({0xE1, 0x31, 0x6B, 0x3C}));
}

void TestPositioner::rawMessage_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("warning");
    QTest::newRow("four bytes") << QStringList({"e0", "31", "6b", "5", "", ""})
                                << bytes({0xE0, 0x31, 0x6B, 0x05}) << QString();
    QTest::newRow("six bytes") << QStringList({"E0", "31", "6E", "E0", "C4", "00"})
                               << bytes({0xE0, 0x31, 0x6E, 0xE0, 0xC4, 0x00}) << QString();
    QTest::newRow("raw2 empty") << QStringList({"E0", "31", "", "", "", ""}) << QByteArray()
                                << QString();
    QTest::newRow("a gap") << QStringList({"E0", "31", "6B", "", "05", ""}) << QByteArray()
                           << "RAW Data: byte 4 is empty while a later byte is filled";
    QTest::newRow("not hex") << QStringList({"E0", "31", "6B", "zz", "", ""}) << QByteArray()
                             << "RAW Data: byte 4, \"zz\", is not a hexadecimal number";
    QTest::newRow("not hex first") << QStringList({"%1", "31", "60", "", "", ""}) << QByteArray()
                                   << "RAW Data: byte 1, \"%1\", is not a hexadecimal number";
}

void TestPositioner::rawMessage()
{
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, sent);
    QFETCH(QString, warning);
    Recorder r;
    r.p->sendRaw(fields);
    QCOMPARE(r.messages(), sent.isEmpty() ? QList<QByteArray>() : QList<QByteArray>({sent}));
    QCOMPARE(r.warnings, warning.isEmpty() ? QStringList() : QStringList({warning}));
    QCOMPARE(r.markers, sent.isEmpty() ? QStringList() : QStringList({"RAW Data"}));
    QCOMPARE(r.raw.first(), QStringLiteral("AA")); // the fields are the user's: left alone

    // A failed send says so without the frontend's name.
    Recorder failing;
    failing.failAt = 1;
    QVERIFY(!failing.p->sendRaw({"E0", "31", "60", "", "", ""}));
    QCOMPARE(failing.warnings, QStringList({PlainFailed}));
}

void TestPositioner::stepsInChunks()
{
    Recorder r;
    r.p->driveSteps(true, 200);
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0x80}), bytes({0xE0, 0x31, 0x68, 0xB8})}));
    QCOMPARE(r.markers, QStringList({"East 128 stp", "East 72 stp"}));
    // 127 / 9.6 s for the first chunk, 71 / 9.6 s for the second, rounded down
    // to the poll of the wait (10 ms here).
    QCOMPARE(r.sent.at(1).atMs, 13230);
    QVERIFY(r.clock.nowMs() >= 13230 + 7395 && r.clock.nowMs() < 13230 + 7405);
    QCOMPARE(positioner::chunkWaitMs(128, 9.6, 1000), 13229);
    QCOMPARE(positioner::chunkWaitMs(72, 9.6, 1000), 7395);
    QCOMPARE(r.raw, QStringList({"E0", "31", "68", "B8", "", ""}));

    Recorder one;
    one.p->driveSteps(false, 1);
    QCOMPARE(one.messages(), QList<QByteArray>({bytes({0xE0, 0x31, 0x69, 0xFF})}));
    QCOMPARE(one.markers, QStringList({"West 1 stp"}));
    QCOMPARE(one.clock.nowMs(), 0); // no wait for a single step

    // A failure ends the drive: the east drive's text has no prefix, the west one's has.
    Recorder failing;
    failing.failAt = 2;
    failing.p->driveSteps(true, 300);
    QCOMPARE(failing.sent.size(), 2);
    QCOMPARE(failing.warnings, QStringList({PlainFailed}));
    Recorder west;
    west.failAt = 1;
    west.p->driveSteps(false, 300);
    QCOMPARE(west.warnings, QStringList({FrontendFailed}));
}

void TestPositioner::haltEndsTheDrive()
{
    Recorder r;
    r.at(5000, [&] { r.p->halt(); });
    r.p->driveSteps(true, 200);
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0x80}), bytes({0xE0, 0x31, 0x60}),
                                bytes({0xE1, 0x31, 0x60}), bytes({0xE1, 0x31, 0x60})}));
    QCOMPARE(r.markers, QStringList({"East 128 stp", "Halt"}));
    QVERIFY(!r.p->haltRequested);
    QVERIFY(!r.p->driving());
    QVERIFY(r.clock.nowMs() < 5400); // ended by the Halt, not by the time
}

void TestPositioner::nestedDrives()
{
    // A second drive started during a wait runs to its end, then the first
    // goes on with its remaining chunk.
    {
        Recorder r;
        r.at(1000, [&] { r.p->driveSteps(false, 10); });
        r.p->driveSteps(true, 200);
        QCOMPARE(r.markers, QStringList({"East 128 stp", "West 10 stp", "East 72 stp"}));
    }
    // A tune (any other slot) during the wait does not disturb the drive.
    {
        Recorder r;
        bool tuned = false;
        r.at(1000, [&] { tuned = true; });
        r.p->driveSteps(true, 200);
        QVERIFY(tuned);
        QCOMPARE(r.markers, QStringList({"East 128 stp", "East 72 stp"}));
    }
    // Halt during the inner drive's wait stops both: the motor was told to
    // stop, so the outer drive must not set it going again.
    {
        Recorder r;
        r.at(1000, [&] { r.p->driveSteps(false, 100); });
        r.at(2000, [&] { r.p->halt(); });
        r.p->driveSteps(true, 200);
        QCOMPARE(r.markers, QStringList({"East 128 stp", "West 100 stp", "Halt"}));
        QVERIFY(!r.p->driving());
        // ... and the next drive runs normally.
        r.p->driveSteps(true, 5);
        QCOMPARE(r.markers.last(), QStringLiteral("East 5 stp"));
        QCOMPARE(r.clock.nowMs() - r.sent.last().atMs, 420); // waited its 4 / 9.6 s
    }
}

void TestPositioner::secondsThenHalt()
{
    Recorder r;
    int seconds = 5;
    r.p->driveSeconds(true, [&] { return seconds; });
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0x05}), bytes({0xE0, 0x31, 0x60}),
                                bytes({0xE1, 0x31, 0x60}), bytes({0xE1, 0x31, 0x60})}));
    QCOMPARE(r.sent.at(1).atMs, 5000);
    QCOMPARE(r.markers, QStringList({"East 5 sec", "Halt"}));

    // The amount is read afresh while it runs: shortened, the drive ends earlier.
    Recorder shorter;
    seconds = 20;
    shorter.at(2000, [&] { seconds = 3; });
    shorter.p->driveSeconds(false, [&] { return seconds; });
    QCOMPARE(shorter.sent.first().bytes, bytes({0xE0, 0x31, 0x69, 0x14}));
    QCOMPARE(shorter.markers.first(), QStringLiteral("West 20 sec"));
    QCOMPARE(shorter.sent.at(1).atMs, 3000);

    // Halt clicked meanwhile: the drive ends at once, sending nothing more itself.
    Recorder halted;
    seconds = 30;
    halted.at(1000, [&] { halted.p->halt(); });
    halted.p->driveSeconds(true, [&] { return seconds; });
    QCOMPARE(halted.sent.size(), 4); // the drive and the click's three Halts
    QCOMPARE(halted.markers, QStringList({"East 30 sec", "Halt"}));
    QVERIFY(!halted.p->haltRequested);
}

void TestPositioner::degrees_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QList<QByteArray>>("sent");
    QTest::newRow("1.5 deg = 14 steps")
        << 1.5 << QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0xF2})});
    QTest::newRow("0.2 deg = 1 step")
        << 0.2 << QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0xFF})});
    QTest::newRow("0.1 deg = 0 steps") << 0.1 << QList<QByteArray>();
    QTest::newRow("13.5 deg = 129 steps")
        << 13.5
        << QList<QByteArray>({bytes({0xE0, 0x31, 0x68, 0x80}), bytes({0xE0, 0x31, 0x68, 0xFF})});
}

void TestPositioner::degrees()
{
    QFETCH(double, degrees);
    QFETCH(QList<QByteArray>, sent);
    Recorder r;
    r.p->driveDegrees(true, degrees);
    QCOMPARE(r.messages(), sent);
    QCOMPARE(r.raw.first(), QStringLiteral("AA")); // degrees leave the raw fields alone
    if (!sent.isEmpty())
        QCOMPARE(r.markers.first(),
                 QStringLiteral("East %1 stp").arg(0xFF - quint8(sent.first().at(3)) + 1));

    // 25 degrees at 1.16 steps a degree are 29 steps, though the product in
    // floating point comes out a hair under 29.
    Recorder other;
    other.p->setSettings({1.16, 1000, 0});
    other.p->driveDegrees(false, 25.0);
    QCOMPARE(other.messages(), QList<QByteArray>({bytes({0xE0, 0x31, 0x69, 0xE3})}));
}

void TestPositioner::angleGoto_data()
{
    QTest::addColumn<bool>("east");
    QTest::addColumn<int>("version");
    QTest::addColumn<double>("angle");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("marker");
    QTest::newRow("east") << true << 0 << 12.3 << bytes({0xE0, 0x31, 0x6E, 0xE0, 0xC4})
                          << "Goto 12.3°E";
    QTest::newRow("east, STAB") << true << 1 << 12.3 << bytes({0xE0, 0x31, 0x6E, 0xE0, 0xC4})
                                << "Goto 12.3°E";
    QTest::newRow("west, Typical")
        << false << 0 << 12.3 << bytes({0xE0, 0x31, 0x6E, 0x00, 0xC4}) << "Goto 12.3°W";
    QTest::newRow("west, STAB") << false << 1 << 12.3 << bytes({0xE0, 0x31, 0x6E, 0xD0, 0xC4})
                                << "Goto 12.3°W";
    QTest::newRow("west, unknown version")
        << false << 7 << 12.3 << bytes({0xE0, 0x31, 0x6E, 0x00, 0xC4}) << "Goto 12.3°W";
    QTest::newRow("80 east") << true << 0 << 80.0 << bytes({0xE0, 0x31, 0x6E, 0xE5, 0x00})
                             << "Goto 80.0°E";
    QTest::newRow("largest") << true << 0 << 255.9 << bytes({0xE0, 0x31, 0x6E, 0xEF, 0xFE})
                             << "Goto 255.9°E";
    QTest::newRow("too far") << true << 0 << 256.0 << QByteArray() << QString();
}

void TestPositioner::angleGoto()
{
    QFETCH(bool, east);
    QFETCH(int, version);
    QFETCH(double, angle);
    QFETCH(QByteArray, sent);
    QFETCH(QString, marker);
    Recorder r;
    r.p->setSettings({9.6, 1000, version});
    QCOMPARE(r.p->gotoAngle(east, angle), !sent.isEmpty());
    if (sent.isEmpty()) {
        QCOMPARE(r.sent.size(), 0);
        QCOMPARE(r.warnings, QStringList({"Goto 256.0°: the motor takes angles up to 255.9°"}));
        return;
    }
    QCOMPARE(r.messages(), QList<QByteArray>({sent}));
    QCOMPARE(r.markers, QStringList({marker}));
    QCOMPARE(r.raw.mid(0, 5), positioner::rawFieldTexts(sent).mid(0, 5));
    QCOMPARE(r.raw.at(5), QString());
}

void TestPositioner::modeRanges()
{
    struct Row
    {
        int mode, min, max;
        bool reset, decimals;
    };
    for (const Row& row : {Row{0, 1, 1536, false, false}, Row{1, 1, 128, false, false},
                           Row{2, 0, 160, true, true}, Row{3, 0, 80, true, true}}) {
        const auto range = positioner::modeRange(row.mode, 80, 9.6);
        QVERIFY(range.valid);
        QCOMPARE(range.minimum, row.min);
        QCOMPARE(range.maximum, row.max);
        QCOMPARE(range.resetValue, row.reset);
        QCOMPARE(range.decimals, row.decimals);
    }
    QVERIFY(!positioner::modeRange(4, 80, 9.6).valid);
    QCOMPARE(positioner::modeRange(0, 180, 1000).maximum, 360000);
}

void TestPositioner::progressAndEstimate()
{
    Recorder r;
    QString during;
    const qint64 driveStart = qint64(positioner::MotionEstimate::LongestMoveDeg * 1000);
    r.at(driveStart + 6000, [&] { during = r.p->motion().statusText(r.clock.nowMs()); });
    r.p->gotoAngle(true, 10.0); // from the reference? unknown: no time yet
    QCOMPARE(r.p->motion().statusText(r.clock.nowMs()), QStringLiteral("Motor: Goto 10.0°E"));
    r.clock.advance(positioner::MotionEstimate::LongestMoveDeg * 1000);
    QCOMPARE(r.p->motion().statusText(r.clock.nowMs()),
             QStringLiteral("Motor: Goto 10.0°E done, dish at about 10.0°E"));

    // From a known angle the drive counts down and the dish's angle moves on.
    r.p->driveSteps(false, 200); // 20.83 degrees west at a second a degree
    QCOMPARE(during, QStringLiteral("Motor: West 200 stp, 15 s left, dish at about 4.0°E"));
    r.clock.advance(1000);
    QCOMPARE(positioner::MotionEstimate::angleText(r.p->motion().angle(r.clock.nowMs())),
             QStringLiteral("10.8°W"));
    // A stored position remembers the estimate; going back to it is timed.
    QVERIFY(r.p->storePosition(3));
    r.p->gotoAngle(false, 0);
    r.clock.advance(20000);
    QVERIFY(r.p->gotoPosition(3));
    QCOMPARE(r.p->motion().statusText(r.clock.nowMs()),
             QStringLiteral("Motor: Goto 3, 11 s left, dish at about 0.0°"));
    // Halt freezes it where it got to.
    r.clock.advance(5000);
    r.p->halt();
    QCOMPARE(r.p->motion().statusText(r.clock.nowMs()),
             QStringLiteral("Motor halted, dish at about 5.0°W"));
    r.clock.advance(6000);
    QCOMPARE(r.p->motion().statusText(r.clock.nowMs()), QString());
    // A raw drive leaves the program not knowing.
    r.p->sendRaw({"E0", "31", "68", "F0", "", ""});
    QVERIFY(std::isnan(r.p->motion().angle(r.clock.nowMs())));
}

void TestPositioner::usalsGoto_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("marker");
    // 50.0 N 10.0 E: Astra 19.2 E at 10.19 degrees east, Eutelsat 5 W at 16.59 west.
    QTest::newRow("19.2E") << 50.0 << 0 << "[10.2°E]  19.2°E Astra"
                           << bytes({0xE0, 0x31, 0x6E, 0xE0, 0xA3}) << "Goto 10.2°E";
    QTest::newRow("5.0W Typical") << 50.0 << 0 << "[16.6°W]   5.0°W Eutelsat"
                                  << bytes({0xE0, 0x31, 0x6E, 0x01, 0x09}) << "Goto 16.6°W";
    QTest::newRow("5.0W STAB") << 50.0 << 1 << "[16.6°W]   5.0°W Eutelsat"
                               << bytes({0xE0, 0x31, 0x6E, 0xD1, 0x09}) << "Goto 16.6°W";
    QTest::newRow("0.0 west") << 50.0 << 0 << "[ 0.0°W]   9.9°E Close"
                              << bytes({0xE0, 0x31, 0x6E, 0x00, 0x00}) << "Goto 0.0°W";
    // 33.9 S 18.4 E: the motor faces north and turns the other way, so a
    // satellite east of the site takes the west code, and one west the east code.
    QTest::newRow("south, east") << -33.9 << 0 << "[20.0°E]  36.0°E Eutelsat"
                                 << bytes({0xE0, 0x31, 0x6E, 0x01, 0x40}) << "Goto 20.0°E";
    QTest::newRow("south, west") << -33.9 << 1 << "[20.0°W]   0.8°W Thor"
                                 << bytes({0xE0, 0x31, 0x6E, 0xE1, 0x40}) << "Goto 20.0°W";
}

void TestPositioner::usalsGoto()
{
    QFETCH(double, latitude);
    QFETCH(int, version);
    QFETCH(QString, label);
    QFETCH(QByteArray, sent);
    QFETCH(QString, marker);
    Recorder r;
    positioner::Positioner::Settings settings;
    settings.driveVersion = version;
    settings.siteLatitude = latitude;
    r.p->setSettings(settings);
    double angle = 0;
    QChar side;
    QVERIFY(positioner::labelAngle(label, &angle, &side));
    QVERIFY(r.p->usalsGoto(angle, side == QLatin1Char('E')));
    QByteArray repeat = sent;
    repeat[0] = char(0xE1);
    QCOMPARE(r.messages(), QList<QByteArray>({sent, repeat, repeat}));
    QCOMPARE(r.sent.at(2).atMs - r.sent.at(0).atMs, 200);
    QCOMPARE(r.markers, QStringList({marker}));
    QCOMPARE(r.raw.mid(0, 5), positioner::rawFieldTexts(sent).mid(0, 5));
    QCOMPARE(r.raw.at(5), QString());
}

void TestPositioner::labelAngles()
{
    double angle = 0;
    QChar side;
    QVERIFY(
        positioner::labelAngle(QStringLiteral("[32.3°W]  13.0°E Hot Bird - [2]"), &angle, &side));
    QCOMPARE(angle, 32.3);
    QCOMPARE(side, QLatin1Char('W'));
    QVERIFY(positioner::labelAngle(QStringLiteral("[ 0.0°E]  42.0°E %1 Turksat"), &angle, &side));
    QCOMPARE(angle, 0.0);
    QVERIFY(!positioner::labelAngle(QStringLiteral("Turksat"), &angle, &side));
    QVERIFY(!positioner::labelAngle(QString(), &angle, &side));
}

namespace {

// A dish whose level peaks at a given step from the start: samples follow the
// steps the positioner sends.
struct Hill
{
    explicit Hill(Recorder& r, std::function<double(int)> level) : r(r), level(std::move(level)) {}
    int position() const
    {
        int p = 0;
        for (const Sent& s : r.sent)
            p += s.bytes.at(2) == char(0x68) ? 1 : s.bytes.at(2) == char(0x69) ? -1 : 0;
        return p;
    }
    double sample()
    {
        ++samples;
        return level(position());
    }
    Recorder& r;
    std::function<double(int)> level;
    int samples = 0;
};

} // namespace

void TestPositioner::autotune_data()
{
    QTest::addColumn<int>("peak");  // where the level is highest, in steps east
    QTest::addColumn<int>("slope"); // 0: a peak; 1: rising east; -1: rising west; 2: flat
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("samples"); // ten for the baseline, ten for each measured step
    QTest::newRow("peak at the start") << 0 << 0 << "EWWE" << 0 << 30;
    QTest::newRow("peak two steps east") << 2 << 0 << "EEEWWE" << 2 << 50;
    QTest::newRow("rising east") << 0 << 1 << "EEE" << 3 << 40;
    QTest::newRow("rising west") << 0 << -1 << "EWWWW" << -3 << 50;
    // Equal sums are no drop: on a plateau the climb goes all the way east.
    QTest::newRow("plateau") << 0 << 2 << "EEE" << 3 << 40;
}

void TestPositioner::autotune()
{
    QFETCH(int, peak);
    QFETCH(int, slope);
    QFETCH(QString, steps);
    QFETCH(int, end);
    QFETCH(int, samples);
    Recorder r;
    Hill hill(r, [&](int p) {
        if (slope == 2)
            return 50.0;
        return slope ? 50.0 + slope * p : 80.0 - (p - peak) * (p - peak);
    });
    QVERIFY(r.p->autotune(3, 200, [&] { return hill.sample(); }));
    QString sent;
    for (const Sent& s : r.sent) {
        QCOMPARE(s.bytes.size(), 4);
        QCOMPARE(quint8(s.bytes.at(3)), quint8(0xFF)); // single steps
        sent += s.bytes.at(2) == char(0x68) ? QLatin1Char('E') : QLatin1Char('W');
    }
    QCOMPARE(sent, steps);
    QCOMPARE(hill.position(), end);
    QCOMPARE(r.markers, QStringList({"Tune Begin", "Tune End"}));
    QCOMPARE(r.raw.first(), QStringLiteral("AA")); // the raw fields are left alone
    QCOMPARE(hill.samples, samples);
    QCOMPARE(r.clock.nowMs(), 200 * samples); // each after (or before) a 200 ms wait
}

void TestPositioner::autotuneFailureAndHalt()
{
    {
        Recorder r;
        r.failAt = 1;
        QVERIFY(!r.p->autotune(3, 200, [] { return 1.0; }));
        QCOMPARE(r.markers, QStringList({"Tune Begin"}));
        QCOMPARE(r.warnings, QStringList({FrontendFailed}));
        QCOMPARE(r.sent.size(), 1);
    }
    {
        // N = 0: the baseline, then the end.
        Recorder r;
        QVERIFY(r.p->autotune(0, 200, [] { return 1.0; }));
        QCOMPARE(r.markers, QStringList({"Tune Begin", "Tune End"}));
        QCOMPARE(r.sent.size(), 0);
        QCOMPARE(r.clock.nowMs(), 2000);
    }
    {
        // Halt cuts a wait short (and sends its own messages); the run goes on.
        Recorder r;
        Hill hill(r, [](int p) { return 80.0 - p * p; });
        r.at(1000, [&] { r.p->halt(); });
        QVERIFY(r.p->autotune(3, 200, [&] { return hill.sample(); }));
        QCOMPARE(r.markers, QStringList({"Tune Begin", "Halt", "Tune End"}));
        QCOMPARE(hill.position(), 0);
        QVERIFY(!r.p->haltRequested);
    }
    {
        // The window closes during the climb: Halt, and no further step.
        Recorder r;
        Hill hill(r, [](int p) { return 50.0 + p; });
        r.at(2500, [&] { r.p->abandon(); });
        QVERIFY(!r.p->autotune(3, 200, [&] { return hill.sample(); }));
        QCOMPARE(r.markers, QStringList({"Tune Begin", "Halt"}));
        QCOMPARE(hill.position(), 1); // the one step before the close
        QVERIFY(r.clock.nowMs() < 4000);
        QVERIFY(!r.p->driving());
    }
}

namespace {

// The positioner on the simulated dish, through the card layer as in the program.
class Dish
{
public:
    explicit Dish(sim::SimConfig config = {}, bool exact = true, sim::Sky sky = sim::Sky::builtIn())
    {
        if (exact)
            config.readingNoise = 0;
        auto scene = std::make_unique<sim::PhysicalScene>(clock, config, std::move(sky));
        this->scene = scene.get();
        hw::CardLayer::install(std::make_unique<sim::SimCard>(clock, std::move(scene)), &clock);
        CDVBCommon::OpenDevice(0, nullptr, 0);
        frontend.Init();
        locateBusRoutines();
        access.lnbp21_write_byte(0x4C); // 18 V
        CDVBFrontend::_CHANNEL_TYPE channel = {11977000, 1, 27500000, 10600000, 1, 18, 0, 0};
        frontend.SetChannel(channel, 0);

        positioner::Positioner::Hooks hooks;
        hooks.send = [this](const QByteArray& m) {
            return access.tda10086_send_master_cmd(
                reinterpret_cast<const unsigned char*>(m.constData()), m.size());
        };
        hooks.marker = [](const QString&) {
        };
        hooks.warn = [](const QString& text) {
            QFAIL(qPrintable(text));
        };
        hooks.showRaw = [](const QByteArray&) {
        };
        // The window's status poll runs during the waits.
        hooks.processEvents = [this] {
            clock.advance(10);
            if (clock.nowMs() - polledAt >= 250) {
                polledAt = clock.nowMs();
                poll();
            }
            if (onPoll && clock.nowMs() >= onPollAfter) {
                auto action = std::move(onPoll);
                onPoll = nullptr;
                action();
            }
        };
        p = std::make_unique<positioner::Positioner>(clock, hooks);
    }
    ~Dish()
    {
        CDVBCommon::CloseDevice();
        hw::CardLayer::uninstall();
    }

    // Tunes a transponder through the card, as the window does.
    void tune(double mhz, bool vertical, double ks)
    {
        const bool high = mhz >= 11700;
        access.lnbp21_write_byte(vertical ? 0x44 : 0x4C);
        CDVBFrontend::_CHANNEL_TYPE channel = {quint32(mhz * 1000),
                                               1,
                                               quint32(ks * 1000),
                                               high ? 10600000u : 9750000u,
                                               high ? 1u : 0u,
                                               vertical ? 13u : 18u,
                                               0,
                                               0};
        frontend.SetChannel(channel, 0);
        clock.advance(1000);
        poll();
    }
    positioner::Reading reading() const
    {
        return positioner::Reading{100.0 * (255 - agc) / 255, 100.0 * (255 - snr) / 255,
                                   (status & 0x10) != 0, 0, polledAt};
    }

    void poll()
    {
        access.tda10086_snr_raw(&snr);
        access.tda10086_agc_raw(&agc);
        access.tda10086_status_flags(&status);
        moving = scene->motor().moving();
    }

    hw::ManualClock clock;
    sim::PhysicalScene* scene = nullptr;
    CDVBFrontend frontend;
    DemodulatorAccess access;
    std::unique_ptr<positioner::Positioner> p;
    unsigned char agc = 0, snr = 0, status = 0;

    // How far along the motor's arc the dish is from its best angle for a
    // satellite (the installation error leaves a part no motor angle removes).
    double distanceFromPeak(double satellite)
    {
        const double here = scene->motor().dishAngle();
        return std::abs(here - scene->mount().bestMotorAngle(here, satellite));
    }
    bool moving = false;
    qint64 polledAt = 0;
    std::function<void()> onPoll;
    qint64 onPollAfter = 0;
};

} // namespace

void TestPositioner::beamFit()
{
    // A beam 22 steps wide at half power, peaking at 3.3, sampled in whole steps.
    auto beam = [](double x) {
        return 200.0 - 12 * 6 * std::pow((x - 3.3) / 22, 2);
    };
    QVector<QPointF> samples;
    for (int x = -30; x <= 30; ++x)
        samples.append(QPointF(x, std::max(25.0, beam(x)) + ((x * 7919) % 5 - 2) * 0.5));
    positioner::BeamFit fit = positioner::fitBeam(samples);
    QVERIFY(fit.ok && fit.parabola);
    QVERIFY2(std::abs(fit.peak - 3.3) < 0.3, qPrintable(QString::number(fit.peak)));
    QVERIFY(fit.used > 10 && fit.used < samples.size());

    // The far side cut off: still found from the half it has.
    fit = positioner::fitBeam(samples.mid(0, 45));
    QVERIFY2(fit.ok && std::abs(fit.peak - 3.3) < 0.5, qPrintable(QString::number(fit.peak)));

    // A top too narrow for a parabola: the centroid of what there is.
    fit = positioner::fitBeam({{0, 10}, {1, 30}, {2, 40}, {3, 30}, {4, 10}});
    QVERIFY(fit.ok && !fit.parabola);
    QCOMPARE(fit.peak, 2.0);
    // Nothing to fit: flat, or no samples.
    QVERIFY(!positioner::fitBeam({{0, 5}, {1, 5}, {2, 5}}).ok);
    QVERIFY(!positioner::fitBeam({}).ok);
}

void TestPositioner::lobeSearchOnScriptedBeams_data()
{
    // Beams 20 steps wide, in steps from the start; the SNR is read only
    // under a lock, which holds within 9 steps of a beam's top.
    QTest::addColumn<double>("wanted"); // its top
    QTest::addColumn<double>("other");  // a neighbour's top on the same frequency, or 99
    QTest::addColumn<double>("spike");  // a level at the start the beam never reaches, or 0
    QTest::addColumn<double>("louder"); // how much higher the neighbour's top reads
    QTest::addColumn<int>("failAfter"); // readings before Halt, or -1
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("end"); // where the dish is left, in steps
    QTest::newRow("a beam east") << 7.3 << 99.0 << 0.0 << 0.0 << -1 << true << 7.0;
    QTest::newRow("a beam west, far") << -31.6 << 99.0 << 0.0 << 0.0 << -1 << true << -32.0;
    QTest::newRow("between two, nearer its own")
        << -9.0 << 13.0 << 0.0 << 0.0 << -1 << true << -9.0;
    QTest::newRow("a spike at the start") << 6.0 << 99.0 << 90.0 << 0.0 << -1 << true << 0.0;
    QTest::newRow("halted") << 7.3 << 99.0 << 0.0 << 0.0 << 6 << false << 99.0;
    // Past the gap where the lock goes lies a louder neighbour: not its lobe.
    QTest::newRow("a louder neighbour past the gap")
        << 6.0 << 26.0 << 0.0 << 5.0 << -1 << true << 6.0;
}

void TestPositioner::lobeSearchOnScriptedBeams()
{
    QFETCH(double, wanted);
    QFETCH(double, other);
    QFETCH(double, spike);
    QFETCH(double, louder);
    QFETCH(int, failAfter);
    QFETCH(bool, ok);
    QFETCH(double, end);
    int at = 0, reads = 0;
    auto level = [](double x, double top) {
        return 60 - 12 * std::pow((x - top) / 20, 2);
    };
    positioner::LobeSearch::Io io;
    io.move = [&](bool east, int steps) {
        at += east ? steps : -steps;
        return true;
    };
    io.read = [&](int, positioner::Reading* r) {
        if (failAfter >= 0 && reads++ >= failAfter)
            return false;
        // The AGC reads both beams' power; the SNR the carrier captured.
        const double a = level(at, wanted), b = level(at, other) + louder;
        r->agc = 10 * std::log10(std::pow(10, a / 10) + std::pow(10, b / 10));
        r->locked = std::min(std::abs(at - wanted), std::abs(at - other)) < 9;
        r->snr = r->locked ? (std::abs(at - wanted) < std::abs(at - other) ? a : b) - 10 : 0;
        if (at == 0 && spike > 0)
            r->agc = r->snr = spike;
        return true;
    };
    const positioner::LobeSearch::Result result = positioner::LobeSearch(io, 20).run();
    QCOMPARE(result.ok, ok);
    if (ok)
        QCOMPARE(at, int(end));
    QCOMPARE(result.backAtStart, spike > 0);
}

void TestPositioner::sweepStaysOnItsSatellite_data()
{
    QTest::addColumn<int>("sky"); // 0 built in, 1 shipped, 2 the target and one neighbour
    QTest::addColumn<double>("satellite");
    QTest::addColumn<double>("neighbour"); // degrees of longitude away, sky 2
    QTest::addColumn<double>("mhz");
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<double>("offset"); // degrees the dish starts off the peak, along the arc
    QTest::addColumn<quint32>("seed");  // 0: exact readings
    // At the end: how far from the best reception, in degrees or in its
    // Es/N0 (a neighbour skews the best so that it is a broad, lopsided top).
    QTest::addColumn<double>("within");
    QTest::addColumn<double>("lossDb");
    const double halfStep = 0.5 / 9.6;
    QTest::newRow("on it") << 0 << 42.0 << 0.0 << 11977.0 << false << 0.0 << 1u << halfStep << 0.1;
    QTest::newRow("0.4 east") << 0 << 42.0 << 0.0 << 11977.0 << false << 0.4 << 2u << halfStep
                              << 0.1;
    QTest::newRow("0.8 west") << 0 << 42.0 << 0.0 << 11977.0 << false << -0.8 << 3u << halfStep
                              << 0.1;
    QTest::newRow("1.9 east") << 0 << 42.0 << 0.0 << 11977.0 << false << 1.9 << 4u << halfStep
                              << 0.1;
    // Where an earlier sweep fitted one parabola over two satellites' humps:
    // from Astra 2 onto Badr 26E, and off 7.0W.
    QTest::newRow("28.2E 11426 H")
        << 1 << 28.2 << 0.0 << 11426.0 << false << 0.0 << 0u << 1.0 << 0.3;
    QTest::newRow("7.0W 11475 V") << 1 << -7.0 << 0.0 << 11475.0 << true << 0.0 << 0u << 1.0 << 0.3;
    QTest::newRow("neighbour 2E") << 2 << 13.0 << 2.0 << 11977.0 << false << 0.3 << 5u << 1.0
                                  << 0.3;
    QTest::newRow("neighbour 3W") << 2 << 13.0 << -3.0 << 11977.0 << false << -0.5 << 6u << 1.0
                                  << 0.3;
    // Unlocked between the two, nearer its own: the nearer lock is its own.
    QTest::newRow("unlocked start")
        << 2 << 13.0 << 2.0 << 11977.0 << false << 0.85 << 0u << 1.0 << 0.3;
}

void TestPositioner::sweepStaysOnItsSatellite()
{
    QFETCH(int, sky);
    QFETCH(double, satellite);
    QFETCH(double, neighbour);
    QFETCH(double, mhz);
    QFETCH(bool, vertical);
    QFETCH(double, offset);
    QFETCH(quint32, seed);
    QFETCH(double, within);
    QFETCH(double, lossDb);
    sim::Sky heavens = sim::Sky::builtIn();
    if (sky == 1)
        heavens = sim::Sky::fromFiles(QStringLiteral(ZENARA_SOURCE_DIR "/data/satlist.znr"),
                                      QStringLiteral(ZENARA_SOURCE_DIR "/data/Transponders/"), 50);
    if (sky == 2) {
        heavens.satellites.clear();
        for (const double longitude : {satellite, satellite + neighbour})
            heavens.satellites.append({QStringLiteral("%1").arg(longitude),
                                       longitude,
                                       50.0,
                                       {{mhz, vertical, 27500, 2, false, {}}}});
    }
    sim::SimConfig config;
    config.noiseSeed = seed;
    Dish dish(config, seed == 0, heavens);
    const double peak = dish.scene->mount().bestMotorAngle(
        sim::PolarMount::usalsAngle(45, 42, satellite), satellite);
    sim::DishMotor::State start = dish.scene->motor().state();
    start.angle = peak + offset;
    dish.scene->motor().restore(start);
    dish.tune(mhz, vertical, 27500);
    const positioner::Reading before = dish.reading();

    positioner::Positioner::SweepReport report;
    QVERIFY(dish.p->sweepTune(
        dish.p->beamwidthSteps(0.8, mhz), 250, [&] { return dish.reading(); }, &report));
    dish.clock.advance(2000);
    // Locked on its own satellite, no worse than it began, near its best.
    sim::TunerState tuner;
    tuner.lnbPowered = tuner.tuned = tuner.secondGeneration = true;
    tuner.voltage = vertical ? 13 : 18;
    tuner.tone22k = mhz >= 11700;
    tuner.ifKHz = quint32((mhz - (mhz >= 11700 ? 10600 : 9750)) * 1000);
    tuner.symbolRate = 27500000;
    const sim::Carrier carrier = dish.scene->tunedCarrier(tuner);
    QVERIFY(dish.reading().locked && carrier.satellite);
    QCOMPARE(carrier.satellite->longitude, satellite);
    if (seed == 0)
        QVERIFY2(
            dish.reading().snr >= before.snr - 0.5 || !before.locked,
            qPrintable(QStringLiteral("SNR %1 after %2").arg(dish.reading().snr).arg(before.snr)));
    double best = 0, bestEsN0 = -1e9;
    const sim::DishMotor::State end = dish.scene->motor().state();
    for (double a = peak - 0.6; a <= peak + 0.6; a += 0.002) {
        sim::DishMotor::State at = end;
        at.angle = a + 0.025; // the dish follows the shaft less half the play
        dish.scene->motor().restore(at);
        const sim::Carrier c = dish.scene->tunedCarrier(tuner);
        if (c.satellite && c.satellite->longitude == satellite && c.esN0Db > bestEsN0)
            std::tie(best, bestEsN0) = std::pair(a, c.esN0Db);
    }
    dish.scene->motor().restore(end);
    const double after = std::abs(dish.scene->motor().dishAngle() - best);
    const double loss = bestEsN0 - dish.scene->tunedCarrier(tuner).esN0Db;
    QVERIFY2(after <= within && loss <= lossDb,
             qPrintable(QStringLiteral("%1 degrees, %5 dB from the best (started %2 off), fitted "
                                       "%3 in %4 steps")
                            .arg(after)
                            .arg(offset)
                            .arg(report.peak)
                            .arg(report.steps)
                            .arg(loss)));
    QVERIFY(!report.backAtStart || offset == 0);
}

void TestPositioner::southernMirror()
{
    // 33.9 S: every command for the user's east goes out as the motor's west,
    // and the other way round; the markers name what the user asked for.
    Recorder r;
    positioner::Positioner::Settings south;
    south.siteLatitude = -33.9;
    r.p->setSettings(south);
    r.p->driveSteps(true, 10);
    r.p->driveDegrees(false, 1.5);
    int seconds = 5;
    r.p->driveSeconds(false, [&] { return seconds; });
    QVERIFY(r.p->gotoAngle(true, 12.3));
    QVERIFY(r.p->gotoAngle(false, 12.3));
    QVERIFY(r.p->limitEast());
    QVERIFY(r.p->limitWest());
    QCOMPARE(r.messages(),
             QList<QByteArray>({bytes({0xE0, 0x31, 0x69, 0xF6}), bytes({0xE0, 0x31, 0x68, 0xF2}),
                                bytes({0xE0, 0x31, 0x68, 0x05}), bytes({0xE0, 0x31, 0x60}),
                                bytes({0xE1, 0x31, 0x60}), bytes({0xE1, 0x31, 0x60}),
                                bytes({0xE0, 0x31, 0x6E, 0x00, 0xC4}),
                                bytes({0xE0, 0x31, 0x6E, 0xE0, 0xC4}), bytes({0xE0, 0x31, 0x67}),
                                bytes({0xE0, 0x31, 0x66})}));
    QCOMPARE(r.markers, QStringList({"East 10 stp", "West 14 stp", "West 5 sec", "Halt",
                                     "Goto 12.3°E", "Goto 12.3°W", "Limit E", "Limit W"}));
    // STAB motors get their own west code for the user's east.
    south.driveVersion = 1;
    r.p->setSettings(south);
    QVERIFY(r.p->gotoAngle(true, 12.3));
    QCOMPARE(r.sent.last().bytes, bytes({0xE0, 0x31, 0x6E, 0xD0, 0xC4}));
    // The estimate is in the user's terms: east is east.
    QCOMPARE(positioner::MotionEstimate::angleText(r.p->motion().angle(r.clock.nowMs() + 200000)),
             QStringLiteral("12.3°E"));
}

void TestPositioner::southernDishEndToEnd()
{
    // Cape Town, the simulated motor mounted facing north.
    sim::SimConfig config;
    config.latitude = -33.9;
    config.longitude = 18.4;
    Dish dish(config);
    positioner::Positioner::Settings south;
    south.siteLatitude = -33.9;
    dish.p->setSettings(south);
    auto& motor = dish.scene->motor();
    const auto& mount = dish.scene->mount();

    // East turns the dish east: facing north, its azimuth grows.
    const double azimuth = mount.azimuthDeg(motor.dishAngle());
    dish.p->driveSteps(true, 50);
    QVERIFY2(mount.azimuthDeg(motor.dishAngle()) > azimuth + 3,
             qPrintable(
                 QStringLiteral("%1 -> %2").arg(azimuth).arg(mount.azimuthDeg(motor.dishAngle()))));
    dish.p->driveSteps(false, 50);

    // The USALS goto, from the angle a satellite's label shows, reaches a
    // satellite east of the site and one west of it.
    SatelliteList list;
    list.setLocation(18.4, -33.9);
    for (double satellite : {42.0, 9.0}) {
        const double angle = std::round(list.motorAngleOf(satellite) * 10) / 10;
        QVERIFY(dish.p->usalsGoto(std::abs(angle), angle >= 0));
        while (motor.moving())
            dish.clock.advance(100);
        QVERIFY2(mount.pointingError(motor.dishAngle(), satellite) < 0.5,
                 qPrintable(QStringLiteral("%1: %2 degrees off")
                                .arg(satellite)
                                .arg(mount.pointingError(motor.dishAngle(), satellite))));
    }

    // Limit E stops the dish going further east, and only east.
    dish.p->limitEast();
    const double here = motor.dishAngle();
    const double hereAzimuth = mount.azimuthDeg(here);
    dish.p->driveSteps(true, 20);
    QCOMPARE(motor.dishAngle(), here);
    dish.p->driveSteps(false, 20);
    QVERIFY(mount.azimuthDeg(motor.dishAngle()) < hereAzimuth - 1);
}

void TestPositioner::simulatedDishComesBack()
{
    Dish dish;
    dish.clock.advance(1000);
    dish.poll();
    const unsigned char lockedAgc = dish.agc;
    QVERIFY(dish.status & 0x10);
    const double start = dish.scene->motor().dishAngle();

    dish.p->driveSteps(false, 50);
    // The waits cover the travel at the configured 1 s a degree; the motor at
    // 18 V is faster and already there.
    QVERIFY(!dish.scene->motor().moving());
    QVERIFY(std::abs(dish.scene->motor().angle() + 50 / 9.6) < 1e-9);
    dish.poll();
    QVERIFY(!(dish.status & 0x10)); // 5 degrees off: no signal
    dish.p->driveSteps(true, 50);
    dish.clock.advance(1000);
    dish.poll();
    QVERIFY(std::abs(dish.scene->motor().dishAngle() - start) <= 1 / 9.6);
    QVERIFY(dish.status & 0x10);
    QVERIFY2(std::abs(int(dish.agc) - int(lockedAgc)) <= 2,
             qPrintable(QStringLiteral("%1 / %2").arg(dish.agc).arg(lockedAgc)));
}

void TestPositioner::haltStopsTheSimulatedMotor()
{
    Dish dish;
    dish.onPollAfter = 5000;
    dish.onPoll = [&] {
        dish.p->halt();
    };
    dish.p->driveSeconds(true, [] { return 30; });
    const qint64 haltedAt = dish.clock.nowMs();
    QVERIFY(haltedAt < 6000);
    // The next poll finds the motor still.
    dish.clock.advance(250 - haltedAt % 250);
    dish.poll();
    QVERIFY(!dish.moving);
    const double angle = dish.scene->motor().angle();
    QVERIFY2(std::abs(angle - 5.0 * 1.8) < 0.1, qPrintable(QString::number(angle)));
    dish.clock.advance(10000);
    QCOMPARE(dish.scene->motor().angle(), angle);
}

// A goto of 20 degrees watched poll by poll (every 250 ms): "L" locked with
// the level still, "R" locked with the level rising, "-" no lock.
void TestPositioner::arrivalInTheReadings_data()
{
    QTest::addColumn<QString>("polls");
    QTest::addColumn<int>("lowestMs");       // a degree takes at least this (0: any motor)
    QTest::addColumn<QString>("events");     // A arrived, X refuted, C confirmed, by poll
    QTest::addColumn<int>("measured");       // ms a degree (0: not learnt)
    const QString travel = QString(40, '-'); // 10 s: no motor is there sooner
    const QString held = QString(17, 'L');   // the lock holds 4 s after the end
    QTest::newRow("settled lock") << travel + "RRLL" + held << 0 << "42A 58C" << 525;
    QTest::newRow("a neighbour too soon")
        << QString(8, '-') + "LLLLL" + QString(27, '-') + "LL" + held << 0 << "41A 57C" << 513;
    QTest::newRow("a neighbour passed on the way")
        << travel + "LLLL--" + travel + "LL" + held << 0 << "41A 44X 87A 103C" << 1088;
    QTest::newRow("too soon for this motor")
        << QString(20, '-') + QString(40, 'L') << 450 << "35A 51C" << 0;
    QTest::newRow("never there") << QString(400, '-') << 0 << "" << 0;
}

void TestPositioner::arrivalInTheReadings()
{
    QFETCH(QString, polls);
    QFETCH(int, lowestMs);
    QFETCH(QString, events);
    QFETCH(int, measured);
    using Event = positioner::ArrivalWatch::Event;
    positioner::ArrivalWatch watch;
    watch.start(-20.0, 0, lowestMs);
    double agc = 40;
    QStringList seen;
    for (int i = 0; i < polls.size(); ++i) {
        const QChar c = polls.at(i);
        agc += c == QLatin1Char('R') ? 4 : 0.25;
        const Event e = watch.poll((i + 1) * 250, c != QLatin1Char('-'), true, agc);
        if (e != Event::None)
            seen.append(QString::number(i) + (e == Event::Arrived   ? "A"
                                              : e == Event::Refuted ? "X"
                                                                    : "C"));
    }
    QCOMPARE(seen.join(' '), events);
    QCOMPARE(watch.measuredMsPerDegree(), measured);
    QVERIFY(!watch.watching());
    // Each new figure moves the learnt one a third of the way.
    QCOMPARE(positioner::learnedMsPerDegree(0, 800), 800);
    QCOMPARE(positioner::learnedMsPerDegree(900, 600), 800);
    QCOMPARE(positioner::learnedMsPerDegree(900, 0), 900);
}

QTEST_GUILESS_MAIN(TestPositioner)
#include "tst_positioner.moc"
