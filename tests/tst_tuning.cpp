// Tuning: the range check, band and oscillator, the committed-switch and supply
// bytes, and the whole tune sequence against the simulated card.

#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "hw/tuning.h"
#include "testsupport.h"

#include <QtTest>

using namespace tuning;

class TestTuning : public QObject
{
    Q_OBJECT

private slots:
    void ranges_data();
    void ranges();
    void bands();
    void committedSwitchByte_data();
    void committedSwitchByte();
    void supplyByte();
    void fields();
    void tuneSequence();
    void committedSwitchIsSentThreeTimes();
    void toneBurst();
    void failures_data();
    void failures();
    void switchFailureLeavesTheFlags();
    void rangesBelowZeroAreEmpty();
    void hugeNumbersAreNotWrapped();
};

void TestTuning::ranges_data()
{
    QTest::addColumn<int>("lof1");
    QTest::addColumn<int>("lof2");
    QTest::addColumn<int>("sw");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::newRow("UNIVERSAL") << 9750 << 10600 << 11700 << 10700 << 12750;
    QTest::newRow("swapped LOFs") << 10600 << 9750 << 11700 << 10700 << 12750;
    QTest::newRow("ENHANCED") << 9750 << 0 << 0 << 10700 << 11900;
    QTest::newRow("C-BAND") << 5150 << 0 << 0 << 3000 << 4200;
    QTest::newRow("DBS") << 11250 << 0 << 0 << 12200 << 13400;
    // Below 2150 the C-band rule gives a negative lower bound: shown as 0,
    // not as a number wrapped round to four billion.
    QTest::newRow("LOF1 below 2150") << 1000 << 0 << 0 << 0 << 50;
}

void TestTuning::ranges()
{
    QFETCH(int, lof1);
    QFETCH(int, lof2);
    QFETCH(int, sw);
    QFETCH(int, low);
    QFETCH(int, high);
    const Range r = allowedRange(lof1, lof2, sw);
    QCOMPARE(r.low, qint64(low));
    QCOMPARE(r.high, qint64(high));
    QVERIFY(r.contains(high));
    QVERIFY(!r.contains(high + 1));
    QVERIFY(!r.empty);
}

void TestTuning::rangesBelowZeroAreEmpty()
{
    // An oscillator below 950 MHz delivers nothing: no frequency passes, 0 included.
    for (int lof1 : {0, 100, 949, 950}) {
        const Range r = allowedRange(lof1, 0, 0);
        QVERIFY(r.empty);
        QCOMPARE(r.low, qint64(0));
        QCOMPARE(r.high, qint64(0));
        QVERIFY(!r.contains(0));
        QVERIFY(!r.contains(1));
    }
    QVERIFY(allowedRange(950, 0, 0).empty); // only 0 MHz: nothing
    // A range clamped at 0 starts at 1 MHz.
    const Range clamped = allowedRange(1000, 0, 0);
    QVERIFY(!clamped.contains(0));
    QVERIFY(clamped.contains(1));
    QVERIFY(clamped.contains(50));
}

void TestTuning::bands()
{
    QVERIFY(isHighBand(11700, 10600, 11700));
    QVERIFY(!isHighBand(11699, 10600, 11700));
    QVERIFY(!isHighBand(12000, 0, 11700)); // single oscillator
    QVERIFY(!isHighBand(12000, 10600, 0)); // no switch frequency
}

void TestTuning::committedSwitchByte_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("high");
    QTest::addColumn<int>("data");
    QTest::newRow("Pos:A, Opt:A, V, low") << 0 << false << false << 0xF0;
    QTest::newRow("Pos:B, Opt:B, H, high") << 3 << true << true << 0xFF;
    QTest::newRow("Pos:A, Opt:B") << 1 << false << false << 0xF8;
    QTest::newRow("Pos:B, Opt:A") << 2 << false << false << 0xF4;
    QTest::newRow("H only") << 0 << true << false << 0xF2;
}

void TestTuning::committedSwitchByte()
{
    QFETCH(int, item);
    QFETCH(bool, horizontal);
    QFETCH(bool, high);
    QFETCH(int, data);
    QCOMPARE(int(diseqc10Data(item, horizontal, high)), data);
}

void TestTuning::supplyByte()
{
    QCOMPARE(int(lnbp21Byte(true, false, true, false)), 0x04);
    QCOMPARE(int(lnbp21Byte(true, true, false, true)), 0x5C);
    QCOMPARE(int(lnbp21Byte(false, true, false, true)), 0x08);
    QCOMPARE(int(lnbp21Byte(true, true, true, false)), 0x0C);
}

void TestTuning::fields()
{
    QVERIFY(parseField(QStringLiteral("11977")).valid);
    QCOMPARE(parseField(QStringLiteral(" 9750 ")).value, 9750);
    QVERIFY(!parseField(QString()).valid);
    QVERIFY(!parseField(QStringLiteral("12,5")).valid);
    QVERIFY(!parseField(QStringLiteral("-5")).valid);
    QVERIFY(!parseField(QStringLiteral("abc")).valid);
}

namespace {

// A tuner on the simulated card, as the window holds one.
struct Rig
{
    explicit Rig(sim::SimFaults faults = {}) : board(faults), tuner(frontend, access, board.clock)
    {
        frontend.Init();
        board.newTraceEvents();
    }
    SimulatedBoard board;
    DemodulatorAccess access;
    CDVBFrontend frontend;
    Tuner tuner;
    ReceiverFlags flags;
};

Request universal(const char* frequency, bool horizontal = true)
{
    Request r;
    r.frequency = QString::fromLatin1(frequency);
    r.symbolRate = QStringLiteral("27500");
    r.horizontal = horizontal;
    r.lof1 = QStringLiteral("9750");
    r.lof2 = QStringLiteral("10600");
    r.switchFrequency = QStringLiteral("11700");
    return r;
}
} // namespace

void TestTuning::tuneSequence()
{
    Rig rig;
    auto [board, tuner, flags] = std::tie(rig.board, rig.tuner, rig.flags);
    flags.tuneFailed = true;

    const qint64 start = board.clock.nowMs();
    QCOMPARE(tuner.tune(universal("11700"), flags).status, 0);
    QVERIFY(!flags.tuneFailed);
    QVERIFY(flags.awaitingLock);
    QCOMPARE(
        board.newTraceEvents(),
        QStringList({"WR 1C 02 35",
                     "FE_CHANNEL freq=11700000 mode=1 sr=27500000 lof=10600000 hi=1 volt=18"}));
    QCOMPARE(board.clock.nowMs() - start, qint64(20));

    QCOMPARE(tuner.tune(universal("11699", false), flags).status, 0);
    QCOMPARE(
        board.newTraceEvents().last(),
        QStringLiteral("FE_CHANNEL freq=11699000 mode=1 sr=27500000 lof=9750000 hi=0 volt=13"));

    Request off = universal("11000");
    off.supplyOn = false;
    QCOMPARE(tuner.tune(off, flags).status, 0);
    QVERIFY(board.newTraceEvents().last().endsWith(QLatin1String("volt=0")));
}

void TestTuning::committedSwitchIsSentThreeTimes()
{
    Rig rig;
    auto [board, tuner, flags] = std::tie(rig.board, rig.tuner, rig.flags);
    Request r = universal("12000");
    r.diseqc = DiseqcMode::CommittedSwitch;
    r.switchItem = 3;
    board.newTraceEvents();
    const qint64 start = board.clock.nowMs();
    QCOMPARE(tuner.tune(r, flags).status, 0);
    const QStringList events = board.newTraceEvents();
    QCOMPARE(events.mid(0, 3),
             QStringList({"FE_DISEQC E0 10 38 FF BURST 255", "FE_DISEQC E1 10 38 FF BURST 255",
                          "FE_DISEQC E1 10 38 FF BURST 255"}));
    QCOMPARE(board.clock.nowMs() - start, qint64(3 * 100 + 20));
}

void TestTuning::toneBurst()
{
    Rig rig;
    auto [board, tuner, flags] = std::tie(rig.board, rig.tuner, rig.flags);
    Request r = universal("11000");
    r.diseqc = DiseqcMode::ToneBurst;
    r.burst = 1;
    board.newTraceEvents();
    QCOMPARE(tuner.tune(r, flags).status, 0);
    QCOMPARE(board.newTraceEvents().first(), QStringLiteral("FE_DISEQC BURST 1"));
}

void TestTuning::failures_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("lof1");
    QTest::addColumn<QString>("symbolRate");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("arg1");
    QTest::addColumn<QString>("arg2");
    QTest::newRow("ENHANCED 11901") << "11901"
                                    << "9750"
                                    << "27500" << Tuner::RangeWarning << "10700"
                                    << "11900";
    QTest::newRow("wrapped C band") << "11000"
                                    << "100"
                                    << "27500" << Tuner::RangeWarning << "0"
                                    << "0";
    QTest::newRow("0 MHz, LOF1 100") << "0"
                                     << "100"
                                     << "27500" << Tuner::RangeWarning << "0"
                                     << "0";
    QTest::newRow("empty frequency") << ""
                                     << "9750"
                                     << "27500" << Tuner::FieldWarning << "Frequency"
                                     << "";
    QTest::newRow("letters") << "11977"
                             << "9750"
                             << "27k" << Tuner::FieldWarning << "Symbol rate"
                             << "27k";
    // Passes the range check but the demodulator takes 1 to 45 MBd only.
    QTest::newRow("channel") << "11000"
                             << "9750"
                             << "50000" << Tuner::ChannelWarning << ""
                             << "";
}

void TestTuning::failures()
{
    QFETCH(QString, frequency);
    QFETCH(QString, lof1);
    QFETCH(QString, symbolRate);
    QFETCH(QString, error);
    QFETCH(QString, arg1);
    QFETCH(QString, arg2);

    Rig rig;
    auto [board, tuner, flags] = std::tie(rig.board, rig.tuner, rig.flags);
    Request r;
    r.frequency = frequency;
    r.symbolRate = symbolRate;
    r.lof1 = lof1;
    r.lof2 = QStringLiteral("0");
    r.switchFrequency = QStringLiteral("0");
    const Result result = tuner.tune(r, flags);
    QCOMPARE(result.status, -1);
    QCOMPARE(result.error, error);
    QCOMPARE(result.errorArg1, arg1);
    QCOMPARE(result.errorArg2, arg2);
    // A refusal sent nothing and changes nothing; a channel that failed did.
    const bool channel = error == QLatin1String(Tuner::ChannelWarning);
    QCOMPARE(result.refused, !channel);
    QCOMPARE(flags.tuneFailed, channel);
}

void TestTuning::switchFailureLeavesTheFlags()
{
    sim::SimFaults faults;
    faults.failDiseqc = true;
    Rig rig(faults);
    auto [board, tuner, flags] = std::tie(rig.board, rig.tuner, rig.flags); // flags both clear
    Request r = universal("11000");
    r.diseqc = DiseqcMode::CommittedSwitch;
    board.newTraceEvents();
    const Result result = tuner.tune(r, flags);
    QCOMPARE(result.error, QString::fromLatin1(Tuner::DiseqcWarning));
    QVERIFY(!flags.tuneFailed);
    QVERIFY(!flags.awaitingLock);
    // Nothing after the three attempts: no acquisition reset, no channel.
    QCOMPARE(board.newTraceEvents().size(), 3);
}

void TestTuning::hugeNumbersAreNotWrapped()
{
    // 4322000 kS/s is 4322000000 S/s: wrapped to 32 bits it would be a
    // plausible 27 MBd. Passed on as the largest value, the card refuses it.
    Rig rig;
    auto [board, tuner, flags] = std::tie(rig.board, rig.tuner, rig.flags);
    Request r = universal("11000");
    r.symbolRate = QStringLiteral("4322000");
    board.newTraceEvents();
    const Result result = tuner.tune(r, flags);
    QCOMPARE(result.error, QString::fromLatin1(Tuner::ChannelWarning));
    QVERIFY(board.newTraceEvents()
                .filter(QStringLiteral("FE_CHANNEL"))
                .first()
                .contains(QStringLiteral("sr=4294967295")));
}

QTEST_GUILESS_MAIN(TestTuning)
#include "tst_tuning.moc"
