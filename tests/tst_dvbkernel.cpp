// The Linux DVB back end's own ioctl code against a frontend emulated from the
// kernel's Digital TV API (runs with umockdev's preload library and ours):
// what a dish on a real card would hear, and what the meters would show.

#include "emulatedkernel.h"
#include "mpegcrc.h"
#include "programrun.h"

#include "core/session.h"
#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "hw/dvb/dvbbackend.h"
#include "hw/dvb/dvbreceiver.h"
#include "hw/dvb/linuxfrontend.h"
#include "hw/receivers.h"
#include "hw/transportstream.h"
#include "hw/tuning.h"
#include "monitor/statuspoll.h"
#include "sim/simreceiver.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <linux/dvb/frontend.h>

namespace {

// The back end over the real LinuxFrontend, behind the card layer, opened as
// the program opens it.
struct Card
{
    explicit Card(EmulatedFrontend::Config config = {}) : kernel(clock, std::move(config))
    {
        auto backend = std::make_unique<dvb::DvbBackend>(
            clock, std::make_unique<dvb::LinuxFrontend>(EmulatedFrontend::path()));
        this->backend = backend.get();
        hw::CardLayer::install(std::move(backend), &clock);
        ok = CDVBCommon::OpenDevice(0, nullptr, 0) != 0 && frontend.Init() == DVB_ERR_NONE &&
             locateBusRoutines() == 0;
    }
    ~Card()
    {
        CDVBCommon::CloseDevice();
        hw::CardLayer::uninstall();
    }
    tuning::Result tune(const char* mhz, bool horizontal, tuning::DiseqcMode diseqc,
                        int switchItem = 0)
    {
        tuning::Request r;
        r.frequency = QString::fromLatin1(mhz);
        r.symbolRate = QStringLiteral("27500");
        r.horizontal = horizontal;
        r.lof1 = QStringLiteral("9750");
        r.lof2 = QStringLiteral("10600");
        r.switchFrequency = QStringLiteral("11700");
        r.diseqc = diseqc;
        r.switchItem = switchItem;
        tuning::ReceiverFlags flags;
        const tuning::Result result = tuner.tune(r, flags);
        // As the session does after every tune: the supply byte.
        access.lnbp21_write_byte(tuning::lnbp21Byte(true, horizontal, false, false));
        return result;
    }
    void positioner(std::initializer_list<int> bytes)
    {
        QVector<unsigned char> m;
        for (int b : bytes)
            m.append(quint8(b));
        access.tda10086_send_master_cmd(m.data(), m.size());
    }
    QVector<EmulatedFrontend::Call> named(const QByteArray& name) const
    {
        QVector<EmulatedFrontend::Call> out;
        for (const auto& c : kernel.calls())
            if (c.name == name)
                out.append(c);
        return out;
    }

    hw::ManualClock clock;
    EmulatedFrontend kernel;
    dvb::DvbBackend* backend = nullptr;
    CDVBFrontend frontend;
    DemodulatorAccess access;
    tuning::Tuner tuner{frontend, access, clock};
    bool ok = false;
};

} // namespace

class TestDvbKernel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tuneReachesTheDriver();
    void diseqcOnlyWithToneOffAndSupplyOn();
    void noRedundantSupplyCall();
    void eachFigureKeepsItsScale_data();
    void eachFigureKeepsItsScale();
    void berOverItsOwnWindow();
    void legacyBlocksAreCountedOnce();
    void interruptedCallsAreMadeAgain();
    void noDecibelsMadeUp_data();
    void noDecibelsMadeUp();
    void receiverSaysWhichCardAndWhy_data();
    void receiverSaysWhichCardAndWhy();
    void theTunedStreamsPositionFromTheDemux();
    void aPulledCardIsSaidAndTakenBack();
    void theProgramOnTheEmulatedCard();
};

void TestDvbKernel::initTestCase()
{
    sim::registerSimulatedReceiver();
    dvb::registerDvbReceivers();
    if (!EmulatedFrontend::preloaded())
        QFAIL("run with LD_PRELOAD=libzenara_emulated_devices.so:libumockdev-preload.so.0: the "
              "emulated kernel needs both preload libraries");
}

// The tune goes out in one FE_SET_PROPERTY, in the uAPI's units, on the
// real ioctl path.
void TestDvbKernel::tuneReachesTheDriver()
{
    Card card;
    QVERIFY(card.ok);
    QVERIFY(card.backend->receivesDvbS2());
    QCOMPARE(card.tune("11977", true, tuning::DiseqcMode::None).status, 0);
    const auto sets = card.named("FE_SET_PROPERTY");
    QCOMPARE(sets.size(), 1);
    QCOMPARE(sets.first().detail,
             QByteArray("DTV_CLEAR=0 DTV_DELIVERY_SYSTEM=5 DTV_VOLTAGE=1 DTV_TONE=0 "
                        "DTV_FREQUENCY=1377000 DTV_SYMBOL_RATE=27500000 DTV_INNER_FEC=9 "
                        "DTV_INVERSION=2 DTV_TUNE=0"));
    QCOMPARE(card.kernel.volts(), 18);
    QVERIFY(card.kernel.toneOn());
}

// Every message a dish can hear, from the switch and from the positioner,
// goes out with the supply on and the tone off, after and before 15 ms of
// quiet, and the band's tone comes back after it.
void TestDvbKernel::diseqcOnlyWithToneOffAndSupplyOn()
{
    Card card;
    QVERIFY(card.ok);
    // The first command of all, a committed switch, with nothing powered yet.
    QCOMPARE(card.tune("11977", true, tuning::DiseqcMode::CommittedSwitch, 1).status, 0);
    card.positioner({0xE0, 0x31, 0x60});             // halt, high band tuned: tone on
    card.positioner({0xE0, 0x31, 0x6E, 0xE0, 0x32}); // a USALS goto
    QCOMPARE(card.tune("10719", false, tuning::DiseqcMode::CommittedSwitch, 1).status, 0);
    card.positioner({0xE0, 0x31, 0x69, 0xFE}); // drive west one step
    const auto calls = card.kernel.calls();
    int messages = 0;
    for (int i = 0; i < calls.size(); ++i) {
        const auto& c = calls.at(i);
        if (c.name != "FE_DISEQC_SEND_MASTER_CMD")
            continue;
        ++messages;
        const QByteArray what = c.detail + " at " + QByteArray::number(c.atMs);
        QVERIFY2(!c.toneOn, "tone on: " + what);
        QVERIFY2(c.volts == 13 || c.volts == 18, "unpowered: " + what);
        // A switch command goes out at the voltage of the polarisation it names.
        if (c.detail.startsWith("E0 10 38") || c.detail.startsWith("E1 10 38"))
            QCOMPARE(c.volts, (QByteArray::fromHex(c.detail.mid(9)).at(0) & 0x02) ? 18 : 13);
        int toneOff = i - 1;
        while (toneOff >= 0 && calls.at(toneOff).name != "FE_SET_TONE")
            --toneOff;
        QVERIFY2(toneOff >= 0 && c.atMs - calls.at(toneOff).atMs >= 15, "no quiet: " + what);
        QVERIFY2(i + 1 < calls.size() && calls.at(i + 1).atMs - c.atMs >= 15,
                 "no quiet after: " + what);
    }
    QCOMPARE(messages, 3 + 3 + 3);          // a switch is sent three times
    QVERIFY(card.kernel.toneOn() == false); // low band last
}

// The tune's properties set the supply; the program's supply byte after it
// repeats nothing (a voltage call can break off the driver's search).
void TestDvbKernel::noRedundantSupplyCall()
{
    Card card;
    QVERIFY(card.ok);
    card.tune("11977", true, tuning::DiseqcMode::None);
    card.tune("10719", false, tuning::DiseqcMode::None);
    QCOMPARE(card.named("FE_SET_VOLTAGE").size(), 0);
    // Switched off by the user: that does reach the driver.
    card.access.lnbp21_write_byte(tuning::lnbp21Byte(false, false, false, false));
    QCOMPARE(card.named("FE_SET_VOLTAGE").size(), 1);
    QCOMPARE(card.kernel.volts(), 0);
}

using Stats = EmulatedFrontend::Statistics;

void TestDvbKernel::eachFigureKeepsItsScale_data()
{
    QTest::addColumn<int>("statistics");
    // The SNR meter unlocked, locked, unlocked again (-1: no reading, "--"),
    // at 12 dB; and the most calls one poll may make.
    QTest::addColumn<QVector<int>>("snr");
    QTest::addColumn<int>("callsPerPoll");
    const int db = 40 + 9 * 12, relative = 255 * 12 / 20;
    QTest::newRow("decibel") << int(Stats::Decibel) << QVector<int>{db, db, db} << 2;
    QTest::newRow("relative") << int(Stats::Relative) << QVector<int>{relative, relative, relative}
                              << 2;
    QTest::newRow("not available until lock")
        << int(Stats::DecibelWhenLocked) << QVector<int>{-1, db, -1} << 2;
    // No v5 statistics at all: the old calls, and only they, every poll.
    QTest::newRow("legacy only") << int(Stats::LegacyOnly)
                                 << QVector<int>{relative, relative, relative} << 6;
}

// One scale for a meter from first to last, whatever the lock: a reading the
// driver cannot give now is missing, not taken from another call. The
// statistics are read once a poll.
void TestDvbKernel::eachFigureKeepsItsScale()
{
    QFETCH(int, statistics);
    QFETCH(QVector<int>, snr);
    QFETCH(int, callsPerPoll);
    EmulatedFrontend::Config config;
    config.statistics = Stats(statistics);
    Card card(config);
    QVERIFY(card.ok);
    card.tune("11977", true, tuning::DiseqcMode::None);
    tuning::ReceiverFlags flags;
    StatusPoll poll(card.access, card.clock, flags);
    for (int step = 0; step < snr.size(); ++step) {
        EmulatedFrontend::Signal signal;
        signal.locked = step == 1;
        card.kernel.setSignal(signal);
        for (int i = 0; i < 3; ++i) { // a poll after the change, then two more
            card.clock.advance(StatusPoll::IntervalMs);
            card.kernel.clearCalls();
            const PollReading r = poll.poll();
            const QByteArray at = "step " + QByteArray::number(step);
            QCOMPARE(r.snrValid ? r.snrMeter : -1, snr.at(step));
            int calls = 0;
            for (const auto& c : card.kernel.calls())
                calls += c.name != "FE_READ_STATUS";
            QVERIFY2(calls <= callsPerPoll, at + " calls " + QByteArray::number(calls));
        }
    }
    // A v5 driver's old calls are never mixed in.
    if (Stats(statistics) != Stats::LegacyOnly)
        QCOMPARE(card.named("FE_READ_SNR").size(), 0);
}

// The BER of the bits that came since the last change of the driver's
// counters, never their lifetime average; counters that have not moved
// leave the figure as it was.
void TestDvbKernel::berOverItsOwnWindow()
{
    Card card;
    QVERIFY(card.ok);
    card.tune("11977", true, tuning::DiseqcMode::None);
    EmulatedFrontend::Signal signal;
    signal.locked = true;
    // 1e-2 over the first 10^7 bits, then 1e-5 over each 10^7 after,
    // counted by the driver once a second.
    signal.errorBits = 100000;
    signal.totalBits = 10000000;
    card.kernel.setSignal(signal);
    unsigned int ber = 0;
    QCOMPARE(card.access.tda10086_ber_count(&ber), 0);
    QCOMPARE(ber, 100000u);
    for (int second = 1; second <= 3; ++second) {
        signal.errorBits += 100;
        signal.totalBits += 10000000;
        card.kernel.setSignal(signal);
        for (int i = 0; i < 4; ++i) {
            card.clock.advance(StatusPoll::IntervalMs);
            QCOMPARE(card.access.tda10086_ber_count(&ber), 0);
            QCOMPARE(ber, 100u); // 1e-5 in the register's 10^-7 steps
        }
    }
}

// The old call counts blocks since the tune; reading it does not reset it.
void TestDvbKernel::legacyBlocksAreCountedOnce()
{
    EmulatedFrontend::Config config;
    config.statistics = Stats::LegacyOnly;
    Card card(config);
    QVERIFY(card.ok);
    card.tune("11977", true, tuning::DiseqcMode::None);
    tuning::ReceiverFlags flags;
    flags.awaitingLock = true;
    StatusPoll poll(card.access, card.clock, flags);
    EmulatedFrontend::Signal signal;
    signal.locked = true;
    card.kernel.setSignal(signal);
    for (int i = 0; i < 12; ++i) {
        if (i == 3) {
            signal.errorBlocks = 9;
            card.kernel.setSignal(signal);
        }
        card.clock.advance(StatusPoll::IntervalMs);
        poll.poll();
    }
    QCOMPARE(poll.ucbTotal, 9.0);
}

// A call a signal broke off is made again: the message still goes out, the
// reading is still read (and from the same source).
void TestDvbKernel::interruptedCallsAreMadeAgain()
{
    Card card;
    QVERIFY(card.ok);
    card.tune("11977", true, tuning::DiseqcMode::None);
    card.kernel.failNext("FE_DISEQC_SEND_MASTER_CMD", EINTR);
    card.kernel.clearCalls();
    QCOMPARE(card.access.tda10086_send_master_cmd(
                 std::array<unsigned char, 3>{0xE0, 0x31, 0x60}.data(), 3),
             0);
    QCOMPARE(card.named("FE_DISEQC_SEND_MASTER_CMD").size(), 2);
    EmulatedFrontend::Signal signal;
    signal.locked = true;
    card.kernel.setSignal(signal);
    card.kernel.failNext("FE_GET_PROPERTY", EINTR);
    card.clock.advance(StatusPoll::IntervalMs);
    unsigned char snr = 0;
    QCOMPARE(card.access.tda10086_snr_raw(&snr), 0);
    QCOMPARE(255 - snr, 40 + 9 * 12);
    QCOMPARE(card.named("FE_READ_SNR").size(), 0);
}

void TestDvbKernel::noDecibelsMadeUp_data()
{
    QTest::addColumn<int>("statistics");
    QTest::addColumn<QString>("line"); // the margin line, locked on a DVB-S 3/4 carrier
    QTest::newRow("decibel") << int(Stats::Decibel) << "C/N 12.0 dB, takes 2.3 dB of rain";
    QTest::newRow("relative") << int(Stats::Relative) << "C/N --";
    QTest::newRow("legacy only") << int(Stats::LegacyOnly) << "C/N --";
}

// Decibels only where the driver gives them: a relative figure is shown on
// the meter, never turned into a C/N with another receiver's calibration.
void TestDvbKernel::noDecibelsMadeUp()
{
    QFETCH(int, statistics);
    QFETCH(QString, line);
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(openSettings()->fileName());
    EmulatedFrontend::Config config;
    config.statistics = Stats(statistics);
    Card card(config);
    QVERIFY(card.ok);
    EmulatedFrontend::Signal signal;
    signal.locked = true;
    signal.innerFec = FEC_3_4;
    card.kernel.setSignal(signal);
    core::Session session;
    session.loadSettings();
    QVERIFY(session.tune().ok());
    for (int i = 0; i < 4; ++i) {
        card.clock.advance(StatusPoll::IntervalMs);
        session.pollOnce();
    }
    QVERIFY(session.lastReading().locked);
    QVERIFY(session.lastReading().snrValid);
    QCOMPARE(linkmargin::text(session.margin()), line);
}

// A frontend that cannot be used is named, with the reason, wherever the
// program looked for one without being told which: "dvb" says it and stops,
// "auto" says it in the note beside the simulated receiver it takes instead.
void TestDvbKernel::receiverSaysWhichCardAndWhy_data()
{
    QTest::addColumn<bool>("terrestrial");
    QTest::addColumn<QByteArray>("openRule");
    QTest::addColumn<QString>("why");
    QTest::addColumn<QString>("listed"); // by --list-receivers
    const QString node = EmulatedFrontend::path();
    const QString group = "not permitted: add yourself to the \"video\" group";
    const QString busy = "busy: another program has it open";
    QTest::newRow("DVB-T") << true << QByteArray()
                           << node + " (Emulated DVB-S/S2): not a satellite frontend"
                           << node + ": Emulated DVB-S/S2, not satellite, 950-2150 MHz";
    QTest::newRow("not in the group")
        << false << QByteArray("EACCES") << node + ": " + group << node + ": " + group;
    // Anyone may read a frontend; only one program at a time tune it.
    QTest::newRow("busy") << false << QByteArray("EBUSY") << node + " (Emulated DVB-S/S2): " + busy
                          << node + ": Emulated DVB-S/S2, DVB-S, DVB-S2, 950-2150 MHz (" + busy +
                                 ")";
}

void TestDvbKernel::receiverSaysWhichCardAndWhy()
{
    QFETCH(bool, terrestrial);
    QFETCH(QByteArray, openRule);
    QFETCH(QString, why);
    QFETCH(QString, listed);
    hw::ManualClock clock;
    EmulatedFrontend::Config config;
    if (terrestrial) {
        config.deliverySystems = {SYS_DVBT, SYS_DVBT2};
        config.legacyType = FE_OFDM;
    }
    EmulatedFrontend kernel(clock, config);
    if (!openRule.isEmpty())
        qputenv("ZENARA_EMULATED_OPEN", EmulatedFrontend::path().toUtf8() + ':' + openRule);
    QString error;
    QVERIFY(!hw::createReceiver(QStringLiteral("dvb"), clock, &error));
    const auto simulated = hw::createReceiver(QStringLiteral("auto"), clock, &error);
    const QStringList lines = dvb::describeFrontends();
    qunsetenv("ZENARA_EMULATED_OPEN");
    QCOMPARE(error, "No DVB satellite frontend could be used: " + why);
    QVERIFY(simulated);
    QVERIFY2(simulated->choiceNote.contains(why), qPrintable(simulated->choiceNote));
    QCOMPARE(lines, QStringList{listed});
}

namespace {

QByteArray be16(int value)
{
    return QByteArray(1, char(value >> 8)) + char(value & 0xFF);
}

// A section as it goes through the air: table, length, body, CRC.
QByteArray section(int table, const QByteArray& body)
{
    QByteArray s = QByteArray(1, char(table)) + be16(0xF000 | (body.size() + 4)) + body;
    const quint32 crc = crc32Mpeg(reinterpret_cast<const unsigned char*>(s.constData()), s.size());
    return s + be16(int(crc >> 16)) + be16(int(crc & 0xFFFF));
}

// A NIT of network 0x46 over several positions: each transport stream with
// its satellite delivery descriptor (orbit in BCD tenths, east).
QByteArray nitOver(int table, const QVector<QPair<int, int>>& streams)
{
    QByteArray loop;
    for (const auto& [tsid, orbit] : streams) {
        const QByteArray sat =
            QByteArray::fromHex("430b01197700") + be16(orbit) + QByteArray::fromHex("8102750003");
        loop += be16(tsid) + be16(0x46) + be16(0xF000 | sat.size()) + sat;
    }
    const QByteArray name = QByteArray::fromHex("4008") + "Emulated";
    return section(table, QByteArray::fromHex("0046c10000") + be16(0xF000 | name.size()) + name +
                              be16(0xF000 | loop.size()) + loop);
}

// An SDT of a transport stream with one service of a provider.
QByteArray sdtOf(int table, int tsid, const QByteArray& provider)
{
    // Digital television, the provider's name, no service name.
    const QByteArray service = char(0x01) + (char(provider.size()) + provider) + char(0);
    const QByteArray descriptor = char(0x48) + (char(service.size()) + service);
    return section(table, be16(tsid) + QByteArray::fromHex("c10000") + be16(0x46) +
                              QByteArray(1, char(0xFF)) + be16(0x0001) + char(0xFC) +
                              be16(0x8000 | descriptor.size()) + descriptor);
}

} // namespace

// The network read off the card's own demux: a NIT over three positions, the
// position of the stream the SDT names (not the first listed), and what
// else the demux carries (other tables, a damaged section) left alone.
void TestDvbKernel::theTunedStreamsPositionFromTheDemux()
{
    QTemporaryDir sections;
    auto write = [&sections](int pid, const QByteArray& data) {
        QFile f(sections.filePath(QString::number(pid) + ".sections"));
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    };
    QByteArray damaged = sdtOf(0x42, 1, "Wrong");
    damaged[damaged.size() - 1] = char(damaged.at(damaged.size() - 1) ^ 1);
    QVERIFY(write(0x10, nitOver(0x41, {{2, 0x0420}}) + // another network's NIT
                            nitOver(0x40, {{1, 0x0130}, {2, 0x0192}, {3, 0x0282}})));
    QVERIFY(write(0x11, damaged + sdtOf(0x46, 3, "Other") + sdtOf(0x42, 2, "Astra")));
    qputenv("ZENARA_EMULATED_DEMUX", QFile::encodeName(sections.path()));
    Card card;
    QVERIFY(card.ok);
    hw::TransportStream* stream = card.backend->transportStream();
    QVERIFY(stream);
    stream->startNetworkRead(3000);
    hw::NetworkInfo info;
    QTRY_VERIFY(stream->networkState(&info) != hw::TransportStream::State::Reading);
    qunsetenv("ZENARA_EMULATED_DEMUX");
    QCOMPARE(stream->networkState(&info), hw::TransportStream::State::Found);
    QCOMPARE(info.networkId, quint16(0x46));
    QCOMPARE(info.name, QStringLiteral("Emulated"));
    QCOMPARE(info.orbitalPosition, 19.2);
    QCOMPARE(info.providers, QStringList{"Astra"});
}

// A card pulled out while the program runs: said once, the readings missing
// meanwhile, and taken back (and tuned again) when it is plugged in.
void TestDvbKernel::aPulledCardIsSaidAndTakenBack()
{
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(openSettings()->fileName());
    Card card;
    QVERIFY(card.ok);
    EmulatedFrontend::Signal signal;
    signal.locked = true;
    card.kernel.setSignal(signal);
    core::Session session;
    session.loadSettings();
    QSignalSpy messages(&session, &core::Session::statusMessage);
    QVERIFY(session.tune().ok());
    auto pollFor = [&](int ms) {
        for (int t = 0; t < ms; t += StatusPoll::IntervalMs) {
            card.clock.advance(StatusPoll::IntervalMs);
            session.pollOnce();
        }
    };
    pollFor(500);
    QVERIFY(session.lastReading().locked);
    card.kernel.vanish();
    pollFor(3000);
    QVERIFY(!session.lastReading().snrValid);
    QStringList said;
    for (const auto& m : messages)
        said.append(m.at(0).toString());
    QCOMPARE(said.filter(QStringLiteral(" is gone ")).size(), 1);
    card.kernel.clearCalls();
    card.kernel.reappear();
    pollFor(1500);
    QVERIFY(session.lastReading().locked);
    QVERIFY(messages.last().at(0).toString().endsWith(QLatin1String(" is back")));
    QCOMPARE(card.named("FE_SET_PROPERTY").size(), 1); // tuned again
    QCOMPARE(card.kernel.volts(), 18);
}

// The program itself with "--receiver dvb" on the emulated card, worked as a
// user would: tunes (DVB-S and DVB-S2) through a committed switch, a goto,
// a USALS goto, a drive and a halt. What the dish heard is checked.
void TestDvbKernel::theProgramOnTheEmulatedCard()
{
    hw::SystemClock clock; // the program runs on real time
    EmulatedFrontend kernel(clock);
    EmulatedFrontend::Signal signal;
    signal.locked = true;
    kernel.setSignal(signal);
    Run run;
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"),
                  "[Settings]\nDiseqc=2\nMultiOption=1\nMaxTimeOfPositioning=1\nCurrentSat=1\n");
    run.writeFile(QStringLiteral("work/satlist.znr"),
                  "0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n");
    run.writeFile(QStringLiteral("work/Transponders/tk.ini"), "[DVB]\n0=1\n1=11977,H,27500,34\n");
    run.writeFile(QStringLiteral("work/Transponders/hb.ini"), "[DVB]\n0=1\n1=10719,V,27500,34\n");
    auto zenara = run.start({QStringLiteral("--receiver"), QStringLiteral("dvb"),
                             QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    QTRY_VERIFY_WITH_TIMEOUT(!run.trace().filter(QStringLiteral("RD 1C 0E")).isEmpty(), 60000);
    for (const char* command :
         {"tune 11977 H 27500", "tune 11012 H 30000 S2 8PSK 3/4", "store 3", "satellite 13.0E",
          "usals", "tune 10719 V 27500", "goto 3", "drive east 2 steps", "halt"}) {
        const Reply r = remoteCli(run, words(command));
        QVERIFY2(r.code == 0, command);
    }
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 0);

    const auto calls = kernel.calls();
    QStringList heard;
    bool dvbS2 = false;
    for (int i = 0; i < calls.size(); ++i) {
        const auto& c = calls.at(i);
        dvbS2 =
            dvbS2 || (c.name == "FE_SET_PROPERTY" &&
                      c.detail.contains("DTV_DELIVERY_SYSTEM=" + QByteArray::number(SYS_DVBS2)));
        if (c.name != "FE_DISEQC_SEND_MASTER_CMD")
            continue;
        heard.append(QString::fromLatin1(c.detail.left(8)));
        QVERIFY2(!c.toneOn && (c.volts == 13 || c.volts == 18), c.detail);
        QVERIFY2(i > 0 && calls.at(i - 1).name == "FE_SET_TONE" &&
                     c.atMs - calls.at(i - 1).atMs >= 15,
                 "no quiet before " + c.detail);
    }
    QVERIFY(dvbS2);
    for (const char* message :
         {"E0 10 38", "E1 10 38", "E0 31 6A", "E0 31 6E", "E0 31 6B", "E0 31 68", "E0 31 60"})
        QVERIFY2(heard.contains(QLatin1String(message)), message);
    // Nothing the dish heard went out twice in the trace's words either.
    QVERIFY(run.trace().filter(QStringLiteral("FE_DISEQC_SEND_MASTER_CMD")).size() >= heard.size());
}

QTEST_MAIN(TestDvbKernel)
#include "tst_dvbkernel.moc"
