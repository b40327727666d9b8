// The register operations, the measurement reads and the DiSEqC master command
// against the simulated demodulator, on a manual clock.

#include "hw/demodulatoraccess.h"
#include "testsupport.h"

#include <QtTest>

class TestDemodulator : public QObject
{
    Q_OBJECT

private slots:
    void readAndWriteReachTheChips();
    void failedReadHandsOnTheErrorCode();
    void measurementReadsReportFailedTransfers();
    void berCountAssemblesTwentyBits();
    void ucbCountReadsAndRestarts();
    void ucbCountKeepsBlocksWhenTheReadFails();
    void sendMasterCommand_data();
    void sendMasterCommand();
    void sendMasterCommandRefusesOverlongMessages();
    void sendMasterCommandStopsAtTheFirstFailure_data();
    void sendMasterCommandStopsAtTheFirstFailure();
    void diseqcWaitReturnsAtOnceWhenReady();
    void diseqcWaitGivesUpAfter200ms();
};

void TestDemodulator::readAndWriteReachTheChips()
{
    SimulatedBoard board;
    DemodulatorAccess access;
    board.newTraceEvents();

    QCOMPARE(access.tda10086_write_byte(tda10086::RegAcquisition, 0x35), 0);
    QCOMPARE(board.card->demodulator().peek(tda10086::RegAcquisition), quint8(0x35));
    QCOMPARE(access.tda10086_read_byte(0x1E), 0xE1); // chip id

    QCOMPARE(access.lnbp21_write_byte(0x5C), 0);
    QCOMPARE(board.card->lnb().control, quint8(0x5C));
    QCOMPARE(board.card->lnb().voltage(), 19); // 18 V raised by 1 V

    QCOMPARE(board.newTraceEvents(), QStringList({"WR 1C 02 35", "RD 1C 1E E1", "WR 10 5C"}));
}

void TestDemodulator::failedReadHandsOnTheErrorCode()
{
    DemodulatorAccess access;
    {
        sim::SimFaults faults;
        faults.busErrorRegisters = {tda10086::RegAgc};
        faults.busErrorCode = 5;
        SimulatedBoard board(faults);
        board.newTraceEvents();

        // The register read keeps its contract: the code stands in for the value.
        QTest::ignoreMessage(QtDebugMsg, "tda10086_read_byte(): error reg=0x43, ret=5");
        QCOMPARE(access.tda10086_read_byte(tda10086::RegAgc), 5);
        QTest::ignoreMessage(QtDebugMsg, "tda10086_write_byte(): error reg=0x43, data=0x12, ret=5");
        QCOMPARE(access.tda10086_write_byte(tda10086::RegAgc, 0x12), 5);
        QCOMPARE(board.newTraceEvents(), QStringList({"RD 1C 43 ERR 5", "WR 1C 43 12 ERR 5"}));
    }
    sim::SimFaults lnbFaults;
    lnbFaults.busErrorLnb = true;
    lnbFaults.busErrorCode = 7;
    SimulatedBoard lnbBoard(lnbFaults);
    QTest::ignoreMessage(QtDebugMsg, "lnbp21_write_byte(): data=0x4, ret=7");
    QCOMPARE(access.lnbp21_write_byte(0x04), 7);
}

void TestDemodulator::measurementReadsReportFailedTransfers()
{
    DemodulatorAccess access;
    unsigned int count = 0xAAAA;
    {
        sim::SimFaults faults;
        faults.busErrorAll = true;
        SimulatedBoard board(faults);
        for (int i = 0; i < 7; ++i)
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression("tda10086_read_byte\\(\\): error .*"));

        // A failed read must not come back as a reading of the error code.
        unsigned char byte = 0xAA;
        QCOMPARE(access.tda10086_agc_raw(&byte), 5);
        QCOMPARE(byte, 0);
        QVERIFY(access.tda10086_snr_raw(&byte) != 0);
        QVERIFY(access.tda10086_status_flags(&byte) != 0);
        QVERIFY(access.tda10086_ucb_count(&byte) != 0);
        QVERIFY(access.tda10086_ber_count(&count) != 0);
        QCOMPARE(count, 0u);
    }

    // One failed register of three spoils the whole count.
    sim::SimFaults midOnly;
    midOnly.busErrorRegisters = {tda10086::RegBerMid};
    SimulatedBoard board2(midOnly);
    QTest::ignoreMessage(QtDebugMsg, "tda10086_read_byte(): error reg=0x16, ret=5");
    QVERIFY(access.tda10086_ber_count(&count) != 0);
}

void TestDemodulator::berCountAssemblesTwentyBits()
{
    SimulatedBoard board;
    DemodulatorAccess access;
    auto& demod = board.card->demodulator();
    demod.pin(tda10086::RegBerLow, 0x34);
    demod.pin(tda10086::RegBerMid, 0x12);
    demod.pin(tda10086::RegBerHigh, 0xF1); // upper nibble is not part of the count
    board.newTraceEvents();

    unsigned int count = 0;
    QCOMPARE(access.tda10086_ber_count(&count), 0);
    QCOMPARE(count, 0x11234u);
    QCOMPARE(board.newTraceEvents(), QStringList({"RD 1C 15 34", "RD 1C 16 12", "RD 1C 17 F1"}));

    // The largest count, straight from the scene.
    demod.unpin(tda10086::RegBerLow);
    demod.unpin(tda10086::RegBerMid);
    demod.unpin(tda10086::RegBerHigh);
    board.scene->reception.berCount = 0xFFFFF;
    QCOMPARE(access.tda10086_ber_count(&count), 0);
    QCOMPARE(count, 0xFFFFFu);
    // A count whose every nibble differs: each goes to its own register.
    board.scene->reception.berCount = 0x12345;
    board.clock.advance(1); // a new measurement
    board.newTraceEvents();
    QCOMPARE(access.tda10086_ber_count(&count), 0);
    QCOMPARE(count, 0x12345u);
    QCOMPARE(board.newTraceEvents(), QStringList({"RD 1C 15 45", "RD 1C 16 23", "RD 1C 17 01"}));
}

void TestDemodulator::ucbCountReadsAndRestarts()
{
    SimulatedBoard board;
    DemodulatorAccess access;
    board.scene->reception.ucbPerSecond = 100;
    board.clock.advance(500);
    board.newTraceEvents();

    unsigned char count = 0;
    QCOMPARE(access.tda10086_ucb_count(&count), 0);
    QCOMPARE(count, 50);
    QCOMPARE(board.newTraceEvents(), QStringList({"RD 1C 18 B2", "WR 1C 18 00", "WR 1C 18 80"}));
    // Restarted: nothing counted since.
    QCOMPARE(access.tda10086_ucb_count(&count), 0);
    QCOMPARE(count, 0);

    // The chip's counter stops at 127 (200 blocks must not wrap to 72, nor
    // spill into the enable bit).
    board.clock.advance(2000);
    board.newTraceEvents();
    QCOMPARE(access.tda10086_ucb_count(&count), 0);
    QCOMPARE(count, 127);
    QCOMPARE(board.newTraceEvents().first(), QStringLiteral("RD 1C 18 FF"));
    board.clock.advance(5000);
    QCOMPARE(access.tda10086_ucb_count(&count), 0);
    QCOMPARE(count, 127);

    // Bit 7 of the register is not part of the count.
    board.card->demodulator().pin(tda10086::RegUcb, 0xFF);
    QCOMPARE(access.tda10086_ucb_count(&count), 0);
    QCOMPARE(count, 127);
}

void TestDemodulator::ucbCountKeepsBlocksWhenTheReadFails()
{
    sim::SimFaults faults;
    faults.busErrorRegisters = {tda10086::RegUcb};
    SimulatedBoard board(faults);
    DemodulatorAccess access;
    board.newTraceEvents();
    QTest::ignoreMessage(QtDebugMsg, "tda10086_read_byte(): error reg=0x18, ret=5");

    unsigned char count = 0x55;
    QCOMPARE(access.tda10086_ucb_count(&count), 5);
    QCOMPARE(count, 0);
    // No restart: the blocks counted so far are still there for the next read.
    QCOMPARE(board.newTraceEvents(), QStringList({"RD 1C 18 ERR 5"}));
}

void TestDemodulator::sendMasterCommand_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("control");
    QTest::newRow("1 byte") << QByteArray("\xE0", 1) << "08";
    QTest::newRow("3 bytes: halt") << QByteArray("\xE0\x31\x60", 3) << "28";
    QTest::newRow("4 bytes") << QByteArray("\xE0\x31\x6B\x05", 4) << "38";
    QTest::newRow("5 bytes: goto angle") << QByteArray("\xE0\x31\x6E\xE1\x40", 5) << "48";
    QTest::newRow("6 bytes") << QByteArray("\xE1\x31\x6E\xD1\x40\x00", 6) << "58";
}

void TestDemodulator::sendMasterCommand()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, control);

    SimulatedBoard board;
    DemodulatorAccess access;
    auto& demod = board.card->demodulator();
    demod.write(tda10086::RegDiseqcControl, 0x01); // whatever was there must come back
    const qint64 start = board.clock.nowMs();
    board.newTraceEvents();

    const auto* bytes = reinterpret_cast<const unsigned char*>(message.constData());
    QCOMPARE(access.tda10086_send_master_cmd(bytes, message.size()), 0);

    const QStringList events = board.newTraceEvents();
    QCOMPARE(events.first(), QStringLiteral("RD 1C 36 01"));
    for (int i = 0; i < message.size(); ++i) {
        QCOMPARE(events.at(1 + i),
                 QString::asprintf("WR 1C %02X %02X", 0x48 + i, quint8(message.at(i))));
        QCOMPARE(demod.peek(quint8(0x48 + i)), quint8(message.at(i)));
    }
    QCOMPARE(events.at(1 + message.size()), QStringLiteral("WR 1C 36 ") + control);
    QCOMPARE(events.at(2 + message.size()),
             QStringLiteral("DISEQC ") + QString::fromLatin1(message.toHex(' ').toUpper()));
    QCOMPARE(events.last(), QStringLiteral("WR 1C 36 01"));
    QCOMPARE(demod.peek(tda10086::RegDiseqcControl), quint8(0x01));
    QCOMPARE(demod.messagesSent(), 1);

    // The send waited for the transmitter, polling every 10 ms, and no longer.
    const int polls = events.filter(QStringLiteral("RD 1C 50")).size();
    const qint64 transmitMs =
        qint64(std::ceil(message.size() * sim::Tda10086Model::MsPerDiseqcByte)) +
        sim::Tda10086Model::DiseqcGuardMs;
    QCOMPARE(board.clock.nowMs() - start, qint64(polls - 1) * 10);
    QVERIFY(board.clock.nowMs() - start >= transmitMs);
    QVERIFY(board.clock.nowMs() - start < transmitMs + 10);
    QCOMPARE(events.at(events.size() - 2), QStringLiteral("RD 1C 50 01"));
}

void TestDemodulator::sendMasterCommandRefusesOverlongMessages()
{
    SimulatedBoard board;
    DemodulatorAccess access;
    board.newTraceEvents();
    const unsigned char seven[7] = {0xE0, 0x31, 0x6E, 0xE1, 0x40, 0x00, 0x00};
    QCOMPARE(access.tda10086_send_master_cmd(seven, 7), -1);
    QCOMPARE(access.tda10086_send_master_cmd(seven, 0), -1);
    QCOMPARE(board.newTraceEvents(), QStringList());
}

void TestDemodulator::sendMasterCommandStopsAtTheFirstFailure_data()
{
    QTest::addColumn<int>("failingRegister");
    QTest::addColumn<QString>("lastEvent");
    QTest::addColumn<int>("controlWrites");
    QTest::newRow("control register unreadable") << 0x36 << "RD 1C 36 ERR 5" << 0;
    // All message bytes are still written, but the transmission is not started.
    QTest::newRow("message byte") << 0x49 << "WR 1C 4A 60" << 0;
}

void TestDemodulator::sendMasterCommandStopsAtTheFirstFailure()
{
    QFETCH(int, failingRegister);
    QFETCH(QString, lastEvent);
    QFETCH(int, controlWrites);

    sim::SimFaults faults;
    faults.busErrorRegisters = {failingRegister};
    SimulatedBoard board(faults);
    DemodulatorAccess access;
    board.newTraceEvents();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("tda10086_.*error reg=.*"));

    const unsigned char halt[3] = {0xE0, 0x31, 0x60};
    QCOMPARE(access.tda10086_send_master_cmd(halt, 3), -1);
    const QStringList events = board.newTraceEvents();
    QCOMPARE(events.last(), lastEvent);
    QCOMPARE(events.filter(QStringLiteral("WR 1C 36")).size(), controlWrites);
    QCOMPARE(board.card->demodulator().messagesSent(), 0);
}

void TestDemodulator::diseqcWaitReturnsAtOnceWhenReady()
{
    SimulatedBoard board;
    DemodulatorAccess access;
    board.newTraceEvents();
    access.tda10086_diseqc_wait();
    QCOMPARE(board.newTraceEvents(), QStringList({"RD 1C 50 01"}));
    QCOMPARE(board.clock.nowMs(), qint64(0));
}

void TestDemodulator::diseqcWaitGivesUpAfter200ms()
{
    sim::SimFaults faults;
    faults.diseqcStuck = true;
    SimulatedBoard board(faults);
    DemodulatorAccess access;
    board.newTraceEvents();

    QTest::ignoreMessage(QtDebugMsg,
                         "tda10086_diseqc_wait(): DiSEqC queue not ready, command may be lost.");
    const unsigned char halt[3] = {0xE0, 0x31, 0x60};
    // The caller carries on as if the message had gone out.
    QCOMPARE(access.tda10086_send_master_cmd(halt, 3), 0);

    const QStringList events = board.newTraceEvents();
    const int polls = events.filter(QStringLiteral("RD 1C 50")).size();
    QVERIFY2(polls >= 20 && polls <= 22, qPrintable(QString::number(polls)));
    QCOMPARE(board.clock.nowMs(), qint64(polls - 1) * 10);
    QCOMPARE(events.last(), QStringLiteral("WR 1C 36 00"));
}

QTEST_GUILESS_MAIN(TestDemodulator)
#include "tst_demodulator.moc"
