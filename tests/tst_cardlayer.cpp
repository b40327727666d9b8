// The card library stand-in: opening, binding, tuning and DiSEqC through the
// frontend, receiver strings, and the trace that shows it all from outside.

#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "hw/receivers.h"
#include "sim/simreceiver.h"
#include "testsupport.h"

#include <QtTest>

class TestCardLayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { sim::registerSimulatedReceiver(); }
    void startUpFailures_data();
    void startUpFailures();
    void traceRecordsTheSession();
    void setChannelTakesOnlyWhatTheTunerCanReceive();
    void lnbControlByteLeavesTheBandToneAlone();
    void frontendDiseqcChoosesTheInput();
    void busBeforeOpenFails();
    void receiverStrings_data();
    void receiverStrings();
};

void TestCardLayer::startUpFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("initialises");
    QTest::addColumn<bool>("binds");
    QTest::addColumn<QStringList>("trace");
    QTest::newRow("healthy") << "" << true << true << true << QStringList({"OPEN", "INIT"});
    QTest::newRow("no card") << "open" << false << false << false << QStringList();
    QTest::newRow("frontend") << "init" << true << false << false << QStringList({"OPEN"});
    QTest::newRow("bus") << "bind" << true << true << false << QStringList({"OPEN", "INIT"});
}

void TestCardLayer::startUpFailures()
{
    QFETCH(QString, fault);
    QFETCH(bool, opens);
    QFETCH(bool, initialises);
    QFETCH(bool, binds);
    QFETCH(QStringList, trace);

    sim::SimFaults faults;
    faults.failOpen = fault == QLatin1String("open");
    faults.failInit = fault == QLatin1String("init");
    faults.failBind = fault == QLatin1String("bind");
    SimulatedBoard board(faults, false);
    CDVBFrontend frontend;

    QCOMPARE(CDVBCommon::OpenDevice(0, nullptr, 0) != 0, opens);
    if (opens)
        QCOMPARE(frontend.Init() == DVB_ERR_NONE, initialises);
    if (initialises)
        QCOMPARE(locateBusRoutines() == 0, binds);
    QCOMPARE(board.traceEvents(), trace);
    // The program ends at the first failure, so only a healthy card is ever closed.
}

void TestCardLayer::traceRecordsTheSession()
{
    SimulatedBoard board;
    CDVBFrontend frontend;
    QCOMPARE(frontend.Init(), DVB_ERR_NONE);

    board.clock.advance(1234);
    CDVBFrontend::_CHANNEL_TYPE channel = {
        11778000, frontend.channelMode(), 27500000, 10600000, 1, 13, 0, 0};
    QCOMPARE(frontend.SetChannel(channel, 0), DVB_ERR_NONE);
    unsigned char committed[4] = {0xE0, 0x10, 0x38, 0xF3};
    QCOMPARE(frontend.SendDiSEqCMsg(committed, 4, 0xFF), DVB_ERR_NONE);
    QCOMPARE(frontend.SendDiSEqCMsg(nullptr, 0, 1), DVB_ERR_NONE);
    // Positioner commands are up to six bytes long; seven is no DiSEqC message.
    unsigned char gotoAngle[6] = {0xE0, 0x31, 0x6E, 0x02, 0x04, 0x00};
    QCOMPARE(frontend.SendDiSEqCMsg(gotoAngle, 5, 0xFF), DVB_ERR_NONE);
    QCOMPARE(frontend.SendDiSEqCMsg(gotoAngle, 6, 0xFF), DVB_ERR_NONE);
    unsigned char seven[7] = {0xE0, 0x31, 0x6E, 0x02, 0x04, 0x00, 0x00};
    QCOMPARE(frontend.SendDiSEqCMsg(seven, 7, 0xFF), DVB_ERR_INVALID);
    CDVBCommon::CloseDevice();

    // Milliseconds since the card was opened, then the event.
    QVERIFY(board.rawTraceLines().at(3).startsWith(QLatin1String("1234 FE_CHANNEL ")));
    const QStringList events = board.traceEvents();
    QCOMPARE(events,
             QStringList({"OPEN", "INIT", "INIT",
                          "FE_CHANNEL freq=11778000 mode=1 sr=27500000 lof=10600000 hi=1 volt=13",
                          "FE_DISEQC E0 10 38 F3 BURST 255", "FE_DISEQC BURST 1",
                          "FE_DISEQC E0 31 6E 02 04 BURST 255",
                          "FE_DISEQC E0 31 6E 02 04 00 BURST 255", "CLOSE"}));
}

void TestCardLayer::setChannelTakesOnlyWhatTheTunerCanReceive()
{
    SimulatedBoard board;
    CDVBFrontend frontend;
    QCOMPARE(frontend.Init(), DVB_ERR_NONE);
    auto channel = [&](quint32 freqMHz, quint32 lofMHz, quint32 srKs) {
        CDVBFrontend::_CHANNEL_TYPE c = {
            freqMHz * 1000, 1, srKs * 1000, lofMHz * 1000, 0, 18, 0, 0};
        return frontend.SetChannel(c, 0);
    };
    QCOMPARE(channel(10700, 9750, 27500), DVB_ERR_NONE); // IF 950
    QCOMPARE(channel(11900, 9750, 27500), DVB_ERR_NONE); // IF 2150
    QCOMPARE(channel(3700, 5150, 27500), DVB_ERR_NONE);  // C band: IF 1450
    QCOMPARE(channel(11901, 9750, 27500), DVB_ERR_FAILED);
    QCOMPARE(channel(10699, 9750, 27500), DVB_ERR_FAILED);
    QCOMPARE(channel(11000, 9750, 46000), DVB_ERR_FAILED);

    // The supply follows the channel's voltage.
    QCOMPARE(board.card->lnb().voltage(), 18);
    CDVBFrontend::_CHANNEL_TYPE off = {11000000, 1, 27500000, 9750000, 0, 0, 0, 0};
    QCOMPARE(frontend.SetChannel(off, 0), DVB_ERR_NONE);
    QVERIFY(!board.card->tunerState().lnbPowered);
}

void TestCardLayer::lnbControlByteLeavesTheBandToneAlone()
{
    SimulatedBoard board;
    CDVBFrontend frontend;
    QCOMPARE(frontend.Init(), DVB_ERR_NONE);
    CDVBFrontend::_CHANNEL_TYPE high = {11778000, 1, 27500000, 10600000, 1, 13, 0, 0};
    QCOMPARE(frontend.SetChannel(high, 0), DVB_ERR_NONE);
    QVERIFY(board.card->tunerState().tone22k);

    const unsigned char vertical = 0x44;
    QCOMPARE(busWrite(lnbp21::BusAddress, &vertical, 1), 0);
    const sim::TunerState state = board.card->tunerState();
    QVERIFY(state.tone22k);
    QVERIFY(state.lnbPowered);
    QCOMPARE(state.voltage, 13);

    const unsigned char off = 0x08;
    QCOMPARE(busWrite(lnbp21::BusAddress, &off, 1), 0);
    QVERIFY(!board.card->tunerState().lnbPowered);
}

void TestCardLayer::frontendDiseqcChoosesTheInput()
{
    SimulatedBoard board;
    CDVBFrontend frontend;
    QCOMPARE(frontend.Init(), DVB_ERR_NONE);
    CDVBFrontend::_CHANNEL_TYPE channel = {11000000, 1, 27500000, 9750000, 0, 18, 0, 0};
    QCOMPARE(frontend.SetChannel(channel, 0), DVB_ERR_NONE);

    unsigned char positionB[4] = {0xE0, 0x10, 0x38, 0xF6};
    QCOMPARE(frontend.SendDiSEqCMsg(positionB, 4, 0xFF), DVB_ERR_NONE);
    QCOMPARE(board.card->tunerState().input, 1);
    positionB[0] = 0xE1; // a repetition says the same
    positionB[3] = 0xFC; // position B, option B
    QCOMPARE(frontend.SendDiSEqCMsg(positionB, 4, 0xFF), DVB_ERR_NONE);
    QCOMPARE(board.card->tunerState().input, 3);
    QCOMPARE(frontend.SendDiSEqCMsg(nullptr, 0, 0), DVB_ERR_NONE);
    QCOMPARE(board.card->tunerState().input, 0);

    unsigned char tooLong[7] = {};
    QCOMPARE(frontend.SendDiSEqCMsg(tooLong, 7, 0xFF), DVB_ERR_INVALID);
}

void TestCardLayer::busBeforeOpenFails()
{
    SimulatedBoard board;
    CDVBCommon::CloseDevice();
    const unsigned char reg = 0x0E;
    unsigned char value = 0;
    QVERIFY(busRead(0x1C, &reg, 1, &value, 1) != 0);
    CDVBFrontend frontend;
    QCOMPARE(frontend.Init(), DVB_ERR_NOT_OPEN);
}

void TestCardLayer::receiverStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::newRow("plain") << "sim"
                           << "";
    QTest::newRow("faults") << "sim,fail=bind,bus-error=0x43,bus-error=lnb,bus-error-code=9"
                            << "";
    QTest::newRow("stuck") << "sim, diseqc=stuck"
                           << "";
    QTest::newRow("unknown receiver") << "dvb0"
                                      << "Unknown receiver \"dvb0\"; known receivers: sim";
    QTest::newRow("unknown option") << "sim,colour=red"
                                    << "Unknown option \"colour\" for the simulated receiver";
    QTest::newRow("bad fail") << "sim,fail=later"
                              << "fail= takes open, init, bind or diseqc, not \"later\"";
    QTest::newRow("bad register") << "sim,bus-error=0x100"
                                  << "bus-error= takes all, lnb or a register 0x00..0xFF, not "
                                     "\"0x100\"";
    QTest::newRow("zero code") << "sim,bus-error-code=0"
                               << "bus-error-code= takes a nonzero number, not \"0\"";
    QTest::newRow("DVB-S card") << "sim,card=tda10086"
                                << "";
    QTest::newRow("bad card") << "sim,card=stv0900"
                              << "card= takes s2 or tda10086, not \"stv0900\"";
}

void TestCardLayer::receiverStrings()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    hw::ManualClock clock;
    QString message;
    const auto backend = hw::createReceiver(text, clock, &message);
    QCOMPARE(backend != nullptr, error.isEmpty());
    QCOMPARE(message, error);
    if (backend)
        QCOMPARE(backend->receivesDvbS2(), !text.contains(QLatin1String("tda10086")));
}

QTEST_GUILESS_MAIN(TestCardLayer)
#include "tst_cardlayer.moc"
