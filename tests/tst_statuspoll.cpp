// The 250 ms status poll against the simulated demodulator: texts and meter
// values, the first lock after a tune, missing readings, and the re-tune rhythm.

#include "hw/demodulatoraccess.h"
#include "monitor/statuspoll.h"
#include "testsupport.h"

#include <QtTest>

#include <cmath>

namespace {

struct Poller
{
    explicit Poller(sim::SimFaults faults = {}) : board(faults), poll(access, board.clock, flags)
    {
        poll.retune = [this] {
            ++retunes;
            if (onRetune)
                onRetune();
        };
    }

    void setLocked(bool locked, quint32 berCount = 0)
    {
        board.scene->reception.status = locked ? 0x1F : 0x01;
        board.scene->reception.berCount = berCount;
    }

    SimulatedBoard board;
    DemodulatorAccess access;
    tuning::ReceiverFlags flags;
    StatusPoll poll;
    int retunes = 0;
    std::function<void()> onRetune;
};

} // namespace

class TestStatusPoll : public QObject
{
    Q_OBJECT

private slots:
    void berWhileLocked_data();
    void berWhileLocked();
    void unlocked();
    void levels();
    void firstLockShowsTheCodeRateOnce();
    void blocksAddUp();
    void readsInOrder();
    void retuneOnThe22ndUnlockedPoll();
    void noRetuneAfterAFailedTune();
    void nestedPollsDoNotRetuneAgain();
    void missingReadingsAreNotValues();
    void unreadableCodeRateIsReadAgain();
    void unreadableFlagsAreNeitherLockNorLoss();
    void lockIsTheLockBitAlone();
    void unreadableSnrIsNotAValue();
};

void TestStatusPoll::berWhileLocked_data()
{
    QTest::addColumn<quint32>("count");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("meter");
    QTest::addColumn<double>("sample");
    QTest::newRow("0") << 0u << "<p align=\"center\">0.0000000</p>" << 100 << 9e-8;
    QTest::newRow("10") << 10u << "<p align=\"center\">0.0000010</p>" << 85 << 1e-6;
    QTest::newRow("0xFFFFF") << 0xFFFFFu << "<p align=\"center\">0.1048575</p>" << 13 << 0.1048575;
}

void TestStatusPoll::berWhileLocked()
{
    QFETCH(quint32, count);
    QFETCH(QString, text);
    QFETCH(int, meter);
    QFETCH(double, sample);
    Poller p;
    p.setLocked(true, count);
    const PollReading r = p.poll.poll();
    QVERIFY(r.locked);
    QCOMPARE(r.berText, text);
    QCOMPARE(r.berMeter, meter);
    QCOMPARE(r.berSample, sample);
    QCOMPARE(r.ber, count * 1e-7);
    QVERIFY(p.poll.currentLocked);
}

void TestStatusPoll::unlocked()
{
    Poller p;
    p.setLocked(false, 1234);
    p.board.scene->reception.agc = 255 - 0x80;
    const PollReading r = p.poll.poll();
    QVERIFY(!r.locked);
    QCOMPARE(r.berText, QStringLiteral("<p align=\"center\">1</p>"));
    QCOMPARE(r.berMeter, 0);
    QCOMPARE(r.berSample, 1.0);
    // AGC and SNR are still shown and recorded.
    QCOMPARE(r.agcMeter, 127);
    QCOMPARE(r.agcText, QStringLiteral("<p align=\"center\">49.8</p>"));
    QCOMPARE(r.agcSample, 127 * 0.3921568627450981);
    QCOMPARE(p.poll.unlockedTime, 250.0);
}

void TestStatusPoll::levels()
{
    QCOMPARE(StatusPoll::percentOfRegister(0), 100.00000000000001);
    QCOMPARE(StatusPoll::percentOfRegister(255), 0.0);
    QCOMPARE(StatusPoll::percentText(100.00000000000001),
             QStringLiteral("<p align=\"center\">100.0</p>"));
    QCOMPARE(StatusPoll::percentText(5.0), QStringLiteral("<p align=\"center\">5.0</p>"));
}

void TestStatusPoll::firstLockShowsTheCodeRateOnce()
{
    Poller p;
    p.flags.awaitingLock = true;
    p.setLocked(false);
    QVERIFY(!p.poll.poll().fecChanged);

    p.setLocked(true);
    p.board.card->demodulator().pin(tda10086::RegCodeRate, 0x70);
    p.board.newTraceEvents();
    p.poll.ucbTotal = 99; // the previous transponder's blocks
    PollReading r = p.poll.poll();
    QVERIFY(r.fecChanged);
    QCOMPARE(r.fecText, QStringLiteral("8/9"));
    QVERIFY(!p.flags.awaitingLock);
    const QStringList events = p.board.newTraceEvents();
    QVERIFY(events.contains(QStringLiteral("WR 1C 02 00")));
    QVERIFY(events.contains(QStringLiteral("RD 1C 0D 70")));
    // The block counter starts again for the new transponder, chip and total.
    const int restart = events.indexOf(QStringLiteral("WR 1C 18 00"));
    QVERIFY(restart > 0);
    QCOMPARE(events.value(restart + 1), QStringLiteral("WR 1C 18 80"));
    QVERIFY(r.ucbChanged);
    QCOMPARE(r.ucbTotal, 0.0);

    r = p.poll.poll();
    QVERIFY(!r.fecChanged);
    QVERIFY(!p.board.newTraceEvents().contains(QStringLiteral("RD 1C 0D 70")));
}

void TestStatusPoll::blocksAddUp()
{
    Poller p;
    p.setLocked(true);
    p.board.scene->reception.ucbPerSecond = 40;
    p.poll.poll();
    const double total = p.poll.ucbTotal;
    const qint64 since = p.board.clock.nowMs();
    for (int i = 0; i < 4; ++i) {
        p.board.clock.advance(230);
        p.poll.poll();
    }
    // Every block of the second or so is counted once, none lost to the
    // counter's restarts after each read.
    const double expected = 40 * (p.board.clock.nowMs() - since) / 1000.0;
    QVERIFY2(
        std::abs(p.poll.ucbTotal - total - expected) <= 1.0,
        qPrintable(
            QStringLiteral("%1 blocks, %2 expected").arg(p.poll.ucbTotal - total).arg(expected)));
    p.poll.clearUcb();
    QCOMPARE(p.poll.ucbTotal, 0.0);
}

void TestStatusPoll::readsInOrder()
{
    Poller p;
    p.setLocked(false);
    p.board.newTraceEvents();
    const qint64 start = p.board.clock.nowMs();
    p.poll.poll();
    QStringList reads;
    for (const QString& e : p.board.newTraceEvents())
        reads.append(e.section(QLatin1Char(' '), 0, 2));
    QCOMPARE(reads,
             QStringList({"RD 1C 43", "RD 1C 15", "RD 1C 16", "RD 1C 17", "RD 1C 1C", "RD 1C 0E"}));
    QCOMPARE(p.board.clock.nowMs() - start, qint64(20)); // 5 ms after each read
}

void TestStatusPoll::retuneOnThe22ndUnlockedPoll()
{
    Poller p;
    p.setLocked(false);
    for (int i = 1; i <= 21; ++i) {
        QVERIFY(!p.poll.poll().retuned);
        QCOMPARE(p.retunes, 0);
    }
    QVERIFY(p.poll.poll().retuned);
    QCOMPARE(p.retunes, 1);
    QCOMPARE(p.poll.unlockedTime, 0.0);
    for (int i = 1; i <= 21; ++i)
        p.poll.poll();
    QCOMPARE(p.retunes, 1);
    p.poll.poll();
    QCOMPARE(p.retunes, 2);

    // A locked poll starts the count again.
    for (int i = 0; i < 10; ++i)
        p.poll.poll();
    p.setLocked(true);
    p.poll.poll();
    p.setLocked(false);
    for (int i = 0; i < 21; ++i)
        p.poll.poll();
    QCOMPARE(p.retunes, 2);
}

void TestStatusPoll::noRetuneAfterAFailedTune()
{
    Poller p;
    p.setLocked(false);
    p.flags.tuneFailed = true; // an out-of-range tune
    for (int i = 0; i < 100; ++i)
        p.poll.poll();
    QCOMPARE(p.retunes, 0);
    QCOMPARE(p.poll.unlockedTime, 25000.0);
}

void TestStatusPoll::nestedPollsDoNotRetuneAgain()
{
    Poller p;
    p.setLocked(false);
    // The re-tune's warning box runs its own event loop, and polls keep coming.
    p.onRetune = [&p] {
        for (int i = 0; i < 40; ++i)
            QVERIFY(!p.poll.poll().retuned);
    };
    for (int i = 0; i < 22; ++i)
        p.poll.poll();
    QCOMPARE(p.retunes, 1);
    QCOMPARE(p.poll.unlockedTime, 0.0);
}

void TestStatusPoll::missingReadingsAreNotValues()
{
    sim::SimFaults faults;
    faults.busErrorRegisters = {tda10086::RegAgc, tda10086::RegBerMid, tda10086::RegStatus};
    Poller p(faults);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("tda10086_read_byte\\(\\): error .*"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("tda10086_read_byte\\(\\): error .*"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("tda10086_read_byte\\(\\): error .*"));
    p.setLocked(true);
    p.poll.currentAgc = 42;
    const PollReading r = p.poll.poll();
    // The flags could not be read: not a lock, whatever the chip holds.
    QVERIFY(!r.locked);
    QCOMPARE(r.agcText, StatusPoll::MissingText);
    QCOMPARE(r.agcMeter, 0);
    QVERIFY(std::isnan(r.agcSample));
    QVERIFY(std::isnan(r.berSample));
    QCOMPARE(p.poll.currentAgc, 42.0); // the last real reading stays
    QVERIFY(r.snrValid);

    // BER missing while the lock is read fine.
    sim::SimFaults berOnly;
    berOnly.busErrorRegisters = {tda10086::RegBerHigh};
    Poller q(berOnly);
    QTest::ignoreMessage(QtDebugMsg, "tda10086_read_byte(): error reg=0x17, ret=5");
    q.setLocked(true);
    const PollReading locked = q.poll.poll();
    QVERIFY(locked.locked);
    QCOMPARE(locked.berText, StatusPoll::MissingText);
    QCOMPARE(locked.berMeter, 0);
    QVERIFY(std::isnan(locked.berSample));
}

void TestStatusPoll::unreadableCodeRateIsReadAgain()
{
    sim::SimFaults faults;
    faults.busErrorRegisters = {tda10086::RegCodeRate};
    faults.busErrorCode = 0x21; // decoded as a register this would read "2/3"
    Poller p(faults);
    p.flags.awaitingLock = true;
    p.setLocked(true);
    p.board.card->demodulator().pin(tda10086::RegCodeRate, 0x50);
    QTest::ignoreMessage(QtDebugMsg, "tda10086_read_byte(): error reg=0xd, ret=33");
    PollReading r = p.poll.poll();
    QVERIFY(r.fecChanged);
    QCOMPARE(r.fecText, QStringLiteral("--"));

    QTest::ignoreMessage(QtDebugMsg, "tda10086_read_byte(): error reg=0xd, ret=33");
    r = p.poll.poll();
    QCOMPARE(r.fecText, QStringLiteral("--"));

    p.board.card->faults().busErrorRegisters.clear();
    p.board.newTraceEvents();
    r = p.poll.poll();
    QVERIFY(r.fecChanged);
    QCOMPARE(r.fecText, QStringLiteral("6/7"));
    QVERIFY(p.board.newTraceEvents().contains(QStringLiteral("RD 1C 0D 50")));
    // Read once it succeeded, then left alone.
    r = p.poll.poll();
    QVERIFY(!r.fecChanged);
    QVERIFY(p.board.newTraceEvents().filter(QStringLiteral("RD 1C 0D")).isEmpty());
}

void TestStatusPoll::unreadableFlagsAreNeitherLockNorLoss()
{
    sim::SimFaults faults;
    faults.busErrorRegisters = {tda10086::RegStatus};
    Poller p(faults);
    p.setLocked(true, 10);
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression("tda10086_read_byte\\(\\): error reg=0xe.*"));
    PollReading r = p.poll.poll();
    QVERIFY(!r.flagsValid);
    QVERIFY(!r.locked);
    QCOMPARE(r.berText, QStringLiteral("<p align=\"center\">--</p>"));
    QCOMPARE(r.berMeter, 0);
    QVERIFY(std::isnan(r.berSample));
    // Far longer than the 5 s without lock: still no re-tune.
    for (int i = 0; i < 40; ++i) {
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("tda10086_read_byte\\(\\): error reg=0xe.*"));
        QVERIFY(!p.poll.poll().retuned);
    }
    QCOMPARE(p.retunes, 0);
    QCOMPARE(p.poll.unlockedTime, 0.0);

    // Readable again and really unlocked: the count starts from there.
    p.board.card->faults().busErrorRegisters.clear();
    p.setLocked(false);
    for (int i = 0; i < 21; ++i)
        p.poll.poll();
    QCOMPARE(p.retunes, 0);
    QVERIFY(p.poll.poll().retuned);
}

void TestStatusPoll::lockIsTheLockBitAlone()
{
    Poller p;
    // Signal, carrier, Viterbi and sync, but no lock: not locked.
    p.board.scene->reception.status = 0x0F;
    p.board.scene->reception.berCount = 10;
    PollReading r = p.poll.poll();
    QVERIFY(!r.locked);
    QCOMPARE(r.berText, StatusPoll::UnlockedBerText);
    QCOMPARE(p.poll.unlockedTime, 250.0);
    // The lock bit alone: locked.
    p.board.scene->reception.status = 0x10;
    r = p.poll.poll();
    QVERIFY(r.locked);
    QCOMPARE(r.berText, QStringLiteral("<p align=\"center\">0.0000010</p>"));
    QCOMPARE(p.poll.unlockedTime, 0.0);
}

void TestStatusPoll::unreadableSnrIsNotAValue()
{
    sim::SimFaults faults;
    faults.busErrorRegisters = {tda10086::RegSnr};
    Poller p(faults);
    p.setLocked(true);
    p.board.scene->reception.snr = 255 - 0x20;
    p.poll.currentSnr = 33;
    QTest::ignoreMessage(QtDebugMsg, "tda10086_read_byte(): error reg=0x1c, ret=5");
    const PollReading r = p.poll.poll();
    QVERIFY(!r.snrValid);
    QCOMPARE(r.snrMeter, 0);
    QCOMPARE(r.snrText, StatusPoll::MissingText);
    QVERIFY(std::isnan(r.snrSample));
    QCOMPARE(p.poll.currentSnr, 33.0);
    QVERIFY(r.agcValid); // the others are read as usual
}

QTEST_GUILESS_MAIN(TestStatusPoll)
#include "tst_statuspoll.moc"
