// The Linux DVB back end on a scripted frontend: the kernel's scales turned
// into the demodulator's registers, tuning with v5 properties, DiSEqC with its
// guard pauses, the LNB supply byte, and every failure reaching the program
// as a failed call, not a crash or a made-up value.

#include "app/messages.h"
#include "forms/zenaraform.h"
#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "hw/dvb/dvbbackend.h"
#include "hw/dvb/dvbnetwork.h"
#include "hw/dvb/dvbreceiver.h"
#include "hw/dvb/fakefrontend.h"
#include "hw/dvb/registerfacade.h"
#include "hw/receivers.h"
#include "settings/settingsstore.h"
#include "sim/simreceiver.h"

#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <cerrno>
#include <linux/dvb/frontend.h>

namespace {

using dvb::Scale;
using dvb::Stat;
using Properties = QVector<std::pair<quint32, quint32>>;

QString text(const Properties& properties)
{
    QStringList list;
    for (const auto& p : properties)
        list.append(QStringLiteral("%1=%2").arg(p.first).arg(p.second));
    return list.join(QLatin1Char(' '));
}

// A DVB-S2 tune in the order the kernel is given it.
Properties s2Tune(quint32 voltage, quint32 tone, quint32 ifKHz, quint32 symbolRate,
                  quint32 modulation, quint32 fec, quint32 rollOff, quint32 pilot)
{
    return {{DTV_CLEAR, 0},
            {DTV_DELIVERY_SYSTEM, SYS_DVBS2},
            {DTV_VOLTAGE, voltage},
            {DTV_TONE, tone},
            {DTV_FREQUENCY, ifKHz},
            {DTV_SYMBOL_RATE, symbolRate},
            {DTV_MODULATION, modulation},
            {DTV_INNER_FEC, fec},
            {DTV_ROLLOFF, rollOff},
            {DTV_PILOT, pilot},
            {DTV_INVERSION, INVERSION_AUTO},
            {DTV_TUNE, 0}};
}

void s2Frontend(dvb::FakeFrontend& f)
{
    f.delsys = {SYS_DVBS, SYS_DVBS2};
}

// The back end behind the card layer, opened and bound as the program does.
class Card
{
public:
    explicit Card(std::function<void(dvb::FakeFrontend&)> prepare = {})
    {
        auto owned = std::make_unique<dvb::FakeFrontend>();
        fake = owned.get();
        if (prepare)
            prepare(*fake);
        auto backend = std::make_unique<dvb::DvbBackend>(clock, std::move(owned));
        this->backend = backend.get();
        hw::CardLayer::install(std::move(backend), &clock);
        opened = CDVBCommon::OpenDevice(0, nullptr, 0) != 0;
        if (opened) {
            frontend.Init();
            locateBusRoutines();
        }
    }
    ~Card()
    {
        CDVBCommon::CloseDevice();
        hw::CardLayer::uninstall();
    }

    hw::ManualClock clock;
    dvb::FakeFrontend* fake = nullptr;
    dvb::DvbBackend* backend = nullptr;
    CDVBFrontend frontend;
    DemodulatorAccess access;
    bool opened = false;
};

} // namespace

class TestDvb : public QObject
{
    Q_OBJECT

private slots:
    void networkFromARecordedNit();
    void positionOfTheTunedStream();
    void scales();
    void openingTellsWhatIsWrong();
    void tuningWithProperties();
    void tuningDvbS2WithProperties();
    void dvbS2LockReadsItsModcod();
    void deliverySystemsSayWhatItIs();
    void measurementsAsRegisters();
    void missingMeasurementsFailTheRead();
    void diseqcAndSupply();
    void failedCallsAreFailures();
    void receiverStrings();
    void windowOnAFakeFrontend();
    void autoFallsBackToTheSimulator();
};

void TestDvb::scales()
{
    quint8 reg = 0;
    // Relative strength: full scale reads 255 on the meter, i.e. register 0.
    QVERIFY(dvb::scales::agcRegister(Stat{Scale::Relative, 65535}, &reg));
    QCOMPARE(reg, quint8(0));
    QVERIFY(dvb::scales::agcRegister(Stat{Scale::Relative, 32768}, &reg));
    QCOMPARE(255 - reg, 128);
    // dBm: -85 reads 0, -25 reads 255, -55 half way.
    QVERIFY(dvb::scales::agcRegister(Stat{Scale::Decibel, -85000}, &reg));
    QCOMPARE(255 - reg, 0);
    QVERIFY(dvb::scales::agcRegister(Stat{Scale::Decibel, -10000}, &reg));
    QCOMPARE(255 - reg, 255);
    QVERIFY(dvb::scales::agcRegister(Stat{Scale::Decibel, -55000}, &reg));
    QCOMPARE(255 - reg, 128);
    // C/N in dB on the simulator's scale: 40 + 9 a dB.
    QVERIFY(dvb::scales::snrRegister(Stat{Scale::Decibel, 12300}, &reg));
    QCOMPARE(255 - reg, 151);
    QVERIFY(dvb::scales::snrRegister(Stat{Scale::Decibel, -20000}, &reg));
    QCOMPARE(255 - reg, 0);
    // Nothing made up.
    QVERIFY(!dvb::scales::agcRegister(Stat{}, &reg));
    QVERIFY(!dvb::scales::snrRegister(Stat{Scale::Counter, 5}, &reg));
    // 100 errors in 10^6 bits: 10^-4, which the program reads as count x 10^-7.
    QCOMPARE(dvb::scales::errorCount(100, 1000000), 1000u);
    QCOMPARE(dvb::scales::errorCount(5, 0), 0u);
    QCOMPARE(dvb::scales::errorCount(1000000, 1000000), 0xFFFFFu);
    // FEC_1_2 .. FEC_8_9 are 1..8 in the kernel, 0..7 in the chip.
    QCOMPARE(dvb::scales::codeRate(1), 0);
    QCOMPARE(dvb::scales::codeRate(3), 2);
    QCOMPARE(dvb::scales::codeRate(8), 7);
    QCOMPARE(dvb::scales::codeRate(9), -1); // FEC_AUTO
    QCOMPARE(dvb::scales::codeRate(0), -1);
}

void TestDvb::openingTellsWhatIsWrong()
{
    {
        Card card([](dvb::FakeFrontend& f) { f.openError = EBUSY; });
        QVERIFY(!card.opened);
        QVERIFY2(
            card.backend->openError().contains(QLatin1String("busy: another program has it open")),
            qPrintable(card.backend->openError()));
    }
    {
        Card card([](dvb::FakeFrontend& f) { f.openError = EACCES; });
        QVERIFY(!card.opened);
        QVERIFY(card.backend->openError().contains(QLatin1String("\"video\" group")));
    }
    {
        Card card([](dvb::FakeFrontend& f) {
            f.frontendInfo.satellite = false;
            f.frontendInfo.name = QStringLiteral("Some DVB-T stick");
        });
        QVERIFY(!card.opened);
        QVERIFY(card.backend->openError().contains(
            QLatin1String("(Some DVB-T stick) is not a satellite (DVB-S) frontend")));
        QVERIFY(!card.fake->isOpen); // not kept open
    }
    Card card;
    QVERIFY(card.opened);
    QCOMPARE(card.fake->calls.mid(0, 2), QStringList({"open", "FE_GET_INFO"}));
}

void TestDvb::tuningWithProperties()
{
    Card card;
    card.fake->calls.clear();
    // 11977 H through a universal LNB: high band, IF 1377 MHz, 18 V, tone on.
    CDVBFrontend::_CHANNEL_TYPE high = {11977000, 1, 27500000, 10600000, 1, 18, 0, 0};
    QCOMPARE(card.frontend.SetChannel(high, 0), DVB_ERR_NONE);
    // CLEAR, DVB-S, voltage 18, tone on, frequency, symbol rate, FEC and
    // inversion automatic, TUNE.
    QCOMPARE(card.fake->calls.filter(QStringLiteral("FE_SET_PROPERTY")),
             QStringList({"FE_SET_PROPERTY 2=0 17=5 10=1 11=0 3=1377000 8=27500000 9=9 6=2 1=0"}));
    // 10744 V: low band, IF 994 MHz, 13 V, tone off.
    card.fake->calls.clear();
    CDVBFrontend::_CHANNEL_TYPE low = {10744000, 1, 22000000, 9750000, 0, 13, 0, 0};
    QCOMPARE(card.frontend.SetChannel(low, 0), DVB_ERR_NONE);
    QCOMPARE(card.fake->calls.filter(QStringLiteral("FE_SET_PROPERTY")),
             QStringList({"FE_SET_PROPERTY 2=0 17=5 10=0 11=1 3=994000 8=22000000 9=9 6=2 1=0"}));
    // C band: the oscillator above the downlink.
    QCOMPARE(dvb::intermediateFrequencyKHz({3900000, 1, 27500000, 5150000, 0, 13}), 1250000u);
}

void TestDvb::tuningDvbS2WithProperties()
{
    using hw::Modulation;
    using hw::Pilot;
    using hw::RollOff;
    const auto s2 = [](Modulation m, hw::CodeRate rate, RollOff r, Pilot p) {
        return hw::SignalFormat{hw::DeliverySystem::DvbS2, m, rate, r, p};
    };
    // 11977 H high band (IF 1377 MHz, 18 V, tone on); 10744 V low band (IF
    // 994 MHz, 13 V, tone off).
    const CDVBFrontend::_CHANNEL_TYPE high = {11977000, 1, 27500000, 10600000, 1, 18, 0, 0};
    const CDVBFrontend::_CHANNEL_TYPE low = {10744000, 1, 22000000, 9750000, 0, 13, 0, 0};
    const struct
    {
        CDVBFrontend::_CHANNEL_TYPE channel;
        hw::SignalFormat format;
        Properties expected;
    } rows[] = {
        {high, s2(Modulation::Psk8, {3, 4}, RollOff::R20, Pilot::On),
         s2Tune(SEC_VOLTAGE_18, SEC_TONE_ON, 1377000, 27500000, PSK_8, FEC_3_4, ROLLOFF_20,
                PILOT_ON)},
        {low, s2(Modulation::Auto, {}, RollOff::Auto, Pilot::Auto),
         s2Tune(SEC_VOLTAGE_13, SEC_TONE_OFF, 994000, 22000000, QAM_AUTO, FEC_AUTO, ROLLOFF_AUTO,
                PILOT_AUTO)},
        // The kernel has no 1/4: the demodulator is left to find it.
        {low, s2(Modulation::Qpsk, {1, 4}, RollOff::R35, Pilot::Off),
         s2Tune(SEC_VOLTAGE_13, SEC_TONE_OFF, 994000, 22000000, QPSK, FEC_AUTO, ROLLOFF_35,
                PILOT_OFF)},
        {high, s2(Modulation::Apsk16, {9, 10}, RollOff::R25, Pilot::Off),
         s2Tune(SEC_VOLTAGE_18, SEC_TONE_ON, 1377000, 27500000, APSK_16, FEC_9_10, ROLLOFF_25,
                PILOT_OFF)},
        {high, s2(Modulation::Apsk32, {3, 5}, RollOff::R35, Pilot::On),
         s2Tune(SEC_VOLTAGE_18, SEC_TONE_ON, 1377000, 27500000, APSK_32, FEC_3_5, ROLLOFF_35,
                PILOT_ON)},
    };
    {
        Card card(s2Frontend);
        QVERIFY(card.frontend.ReceivesDvbS2());
        for (const auto& row : rows) {
            card.fake->propertySets.clear();
            card.fake->calls.clear();
            QCOMPARE(card.frontend.SetChannelFormat(row.channel, row.format), DVB_ERR_NONE);
            QCOMPARE(card.fake->propertySets.size(), 1);
            QCOMPARE(text(card.fake->propertySets.first()), text(row.expected));
            // The band's tone is restored after DiSEqC, as after a DVB-S tune.
            QCOMPARE(card.frontend.SendDiSEqCMsg(nullptr, 0, 0), DVB_ERR_NONE);
            QCOMPARE(card.fake->calls.last(), row.channel.highBand
                                                  ? QStringLiteral("FE_SET_TONE on")
                                                  : QStringLiteral("FE_SET_TONE off"));
        }
        // A DVB-S carrier given with its format is tuned as DVB-S.
        card.fake->propertySets.clear();
        QCOMPARE(card.frontend.SetChannelFormat(high, hw::SignalFormat{}), DVB_ERR_NONE);
        QCOMPARE(text(card.fake->propertySets.value(0)),
                 QStringLiteral("2=0 17=5 10=1 11=0 3=1377000 8=27500000 9=9 6=2 1=0"));
    }
    // A DVB-S frontend neither claims DVB-S2 nor tunes it.
    Card plain;
    QVERIFY(!plain.frontend.ReceivesDvbS2());
    plain.fake->propertySets.clear();
    QVERIFY(plain.backend->setChannelFormat({11977000, 1, 27500000, 10600000, 1, 18},
                                            rows[0].format) != 0);
    QVERIFY(plain.fake->propertySets.isEmpty());
}

void TestDvb::dvbS2LockReadsItsModcod()
{
    using hw::Modulation;
    const hw::SignalFormat psk8{
        hw::DeliverySystem::DvbS2, Modulation::Psk8, {3, 4}, hw::RollOff::R20, hw::Pilot::On};
    const hw::SignalFormat unknown{
        hw::DeliverySystem::DvbS2, Modulation::Auto, {}, hw::RollOff::Auto, hw::Pilot::Auto};
    const struct
    {
        const char* name;
        quint32 status, system, modulation, fec, pilot, rollOff;
        int failure; // errno of FE_GET_PROPERTY
        bool locked;
        hw::SignalFormat format;
    } rows[] = {
        {"8PSK 3/4 pilots", 0x1F, SYS_DVBS2, PSK_8, FEC_3_4, PILOT_ON, ROLLOFF_20, 0, true, psk8},
        {"driver reports auto", 0x1F, SYS_DVBS2, QAM_AUTO, FEC_AUTO, PILOT_AUTO, ROLLOFF_AUTO, 0,
         true, unknown},
        {"values no DVB-S2 has", 0x1F, SYS_DVBS2, QAM_64, FEC_NONE, 7, 9, 0, true, unknown},
        {"DVB-S lock", 0x1F, SYS_DVBS, QPSK, FEC_3_4, PILOT_OFF, ROLLOFF_35, 0, false, {}},
        {"not locked", 0x0F, SYS_DVBS2, PSK_8, FEC_3_4, PILOT_ON, ROLLOFF_20, 0, false, {}},
        {"system unreadable",
         0x1F,
         SYS_DVBS2,
         PSK_8,
         FEC_3_4,
         PILOT_ON,
         ROLLOFF_20,
         EIO,
         false,
         {}},
    };
    for (const auto& row : rows) {
        Card card([&row](dvb::FakeFrontend& f) {
            s2Frontend(f);
            f.status = row.status;
            f.system = row.system;
            f.modulation = row.modulation;
            f.innerFec = row.fec;
            f.pilot = row.pilot;
            f.rollOff = row.rollOff;
            if (row.failure)
                f.failures.insert(QStringLiteral("FE_GET_PROPERTY"), row.failure);
        });
        QVERIFY(card.opened);
        hw::SignalFormat format;
        QVERIFY2(card.frontend.GetLockedFormat(&format) == row.locked, row.name);
        if (row.locked)
            QVERIFY2(format == row.format, row.name);
    }
}

void TestDvb::deliverySystemsSayWhatItIs()
{
    const struct
    {
        const char* name;
        bool legacySatellite, legacyS2; // FE_GET_INFO's type and caps
        QVector<quint32> delsys;
        int enumFailure;
        bool opens, dvbS2;
    } rows[] = {
        {"combo set to DVB-T", false, false, {SYS_DVBT, SYS_DVBS, SYS_DVBS2}, 0, true, true},
        {"DVB-T only", false, false, {SYS_DVBT, SYS_DVBT2}, 0, false, false},
        {"DVB-S only", true, false, {SYS_DVBS}, 0, true, false},
        {"DVB-S2 alone", false, false, {SYS_DVBS2}, 0, true, true},
        // A kernel without the list: the legacy type and caps decide.
        {"no list, legacy DVB-S2", true, true, {SYS_DVBT}, EINVAL, true, true},
        {"no list, legacy DVB-T", false, false, {SYS_DVBS}, EINVAL, false, false},
    };
    for (const auto& row : rows) {
        Card card([&row](dvb::FakeFrontend& f) {
            f.frontendInfo.satellite = row.legacySatellite;
            f.frontendInfo.dvbS2 = row.legacyS2;
            f.delsys = row.delsys;
            if (row.enumFailure)
                f.failures.insert(QStringLiteral("DTV_ENUM_DELSYS"), row.enumFailure);
        });
        QVERIFY2(card.opened == row.opens, row.name);
        QVERIFY2(card.backend->info().satellite == row.opens, row.name);
        QVERIFY2(card.backend->receivesDvbS2() == row.dvbS2, row.name);
        QVERIFY2(
            card.fake->calls.contains(QStringLiteral("FE_GET_PROPERTY %1").arg(DTV_ENUM_DELSYS)),
            row.name);
    }
}

void TestDvb::measurementsAsRegisters()
{
    Card card([](dvb::FakeFrontend& f) {
        f.status = 0x1F;
        f.stats.strength = Stat{Scale::Relative, 45000};
        f.stats.cnr = Stat{Scale::Decibel, 11000};
        f.stats.preErrorBits = Stat{Scale::Counter, 500};
        f.stats.preTotalBits = Stat{Scale::Counter, 10000000};
        f.stats.errorBlocks = Stat{Scale::Counter, 40};
        f.innerFec = 5; // 5/6
    });
    unsigned char status = 0, agc = 0, snr = 0, ucb = 0;
    QCOMPARE(card.access.tda10086_status_flags(&status), 0);
    QCOMPARE(status, 0x1F);
    QCOMPARE(card.access.tda10086_agc_raw(&agc), 0);
    QCOMPARE(255 - agc, 175); // 45000 / 65535 x 255
    QCOMPARE(card.access.tda10086_snr_raw(&snr), 0);
    QCOMPARE(255 - snr, 139); // 40 + 9 x 11
    unsigned int ber = 0;
    QCOMPARE(card.access.tda10086_ber_count(&ber), 0);
    QCOMPARE(ber, 500u); // 5 x 10^-5
    // The next poll's read counts only what came since.
    card.clock.advance(250);
    card.fake->stats.preErrorBits.value = 520;
    card.fake->stats.preTotalBits.value = 11000000;
    QCOMPARE(card.access.tda10086_ber_count(&ber), 0);
    QCOMPARE(ber, 200u); // 20 in 10^6 bits
    // Blocks since the program last restarted the counter.
    QCOMPARE(card.access.tda10086_ucb_count(&ucb), 0); // restarts it
    card.fake->stats.errorBlocks.value = 47;
    card.clock.advance(250);
    QCOMPARE(card.access.tda10086_ucb_count(&ucb), 0);
    QCOMPARE(ucb, 7);
    // More than the chip's seven bits hold in one poll: it stops at 127, and
    // never wraps round to a small count.
    for (const int more : {127, 128, 200, 255, 256, 953}) {
        card.fake->stats.errorBlocks.value += more;
        card.clock.advance(250);
        QCOMPARE(card.access.tda10086_ucb_count(&ucb), 0);
        QCOMPARE(int(ucb), std::min(more, 127));
    }
    QCOMPARE((card.access.tda10086_read_byte(tda10086::RegCodeRate) >> 4) & 7, 4);
}

void TestDvb::missingMeasurementsFailTheRead()
{
    // A driver without statistics: the reads fail, the program shows "--".
    Card card;
    unsigned char value = 0;
    unsigned int ber = 0;
    QVERIFY(card.access.tda10086_agc_raw(&value) != 0);
    QVERIFY(card.access.tda10086_snr_raw(&value) != 0);
    QVERIFY(card.access.tda10086_ber_count(&ber) != 0);
    QVERIFY(card.access.tda10086_ucb_count(&value) != 0);
    card.fake->innerFec = 9; // not settled on a rate yet
    quint8 rate = 0;
    QVERIFY(card.access.tda10086_read_byte(tda10086::RegCodeRate, &rate) != 0);
    // The status still reads.
    QCOMPARE(card.access.tda10086_status_flags(&value), 0);
}

void TestDvb::diseqcAndSupply()
{
    Card card;
    CDVBFrontend::_CHANNEL_TYPE high = {11977000, 1, 27500000, 10600000, 1, 18, 0, 0};
    card.frontend.SetChannel(high, 0);
    card.fake->calls.clear();
    // The positioner's Goto 12, through the demodulator's DiSEqC registers:
    // never over the high band's tone.
    const unsigned char gotoTwelve[4] = {0xE0, 0x31, 0x6B, 0x0C};
    QCOMPARE(card.access.tda10086_send_master_cmd(gotoTwelve, 4), 0);
    QCOMPARE(card.fake->calls,
             QStringList(
                 {"FE_SET_TONE off", "FE_DISEQC_SEND_MASTER_CMD E0 31 6B 0C", "FE_SET_TONE on"}));

    // A committed switch and a burst: tone off, quiet, message, quiet, burst,
    // quiet, then the band's tone again.
    card.fake->calls.clear();
    const qint64 start = card.clock.nowMs();
    unsigned char positionB[4] = {0xE0, 0x10, 0x38, 0xF6};
    QCOMPARE(card.frontend.SendDiSEqCMsg(positionB, 4, 1), DVB_ERR_NONE);
    QCOMPARE(card.fake->calls,
             QStringList({"FE_SET_TONE off", "FE_DISEQC_SEND_MASTER_CMD E0 10 38 F6",
                          "FE_DISEQC_SEND_BURST B", "FE_SET_TONE on"}));
    QCOMPARE(card.clock.nowMs() - start, 3 * dvb::DvbBackend::GuardMs);

    // The LNB supply byte: 18 V as tuned (nothing to repeat), +1 V, 13 V, off.
    card.fake->calls.clear();
    card.access.lnbp21_write_byte(0x4C);
    card.access.lnbp21_write_byte(0x5C);
    card.access.lnbp21_write_byte(0x44);
    card.access.lnbp21_write_byte(0x40);
    QCOMPARE(card.fake->calls, QStringList({"FE_ENABLE_HIGH_LNB_VOLTAGE 1", "FE_SET_VOLTAGE 13",
                                            "FE_ENABLE_HIGH_LNB_VOLTAGE 0", "FE_SET_VOLTAGE 0"}));
}

void TestDvb::failedCallsAreFailures()
{
    Card card([](dvb::FakeFrontend& f) {
        f.failures.insert(QStringLiteral("FE_SET_PROPERTY"), EIO);
        f.failures.insert(QStringLiteral("FE_DISEQC_SEND_MASTER_CMD"), ETIMEDOUT);
        f.failures.insert(QStringLiteral("FE_READ_STATUS"), EIO);
        f.failures.insert(QStringLiteral("FE_SET_VOLTAGE"), ENOTSUP);
    });
    QVERIFY(card.opened);
    CDVBFrontend::_CHANNEL_TYPE high = {11977000, 1, 27500000, 10600000, 1, 18, 0, 0};
    QVERIFY(card.frontend.SetChannel(high, 0) != DVB_ERR_NONE);
    const unsigned char halt[3] = {0xE0, 0x31, 0x60};
    QVERIFY(card.access.tda10086_send_master_cmd(halt, 3) != 0);
    unsigned char flags = 0;
    QVERIFY(card.access.tda10086_status_flags(&flags) != 0);
    QVERIFY(card.access.lnbp21_write_byte(0x4C) != 0);
}

void TestDvb::receiverStrings()
{
    // "dvb:/dev/..." names the device.
    const hw::ReceiverSpec request =
        hw::ReceiverSpec::parse(QStringLiteral("dvb:/dev/dvb/adapter1/frontend0,x=1"));
    QCOMPARE(request.name, QStringLiteral("dvb"));
    QCOMPARE(request.values(QStringLiteral("device")),
             QStringList({"/dev/dvb/adapter1/frontend0"}));
    QCOMPARE(request.values(QStringLiteral("x")), QStringList({"1"}));

    // A script for the fake frontend: what it is and how it fails.
    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("fe.ini")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("[frontend]\nname=Test card\nopen=busy\n[reception]\nstatus=0x03\n"
                 "strength=decibel:-40000\ncnr=none\n[fail]\nFE_SET_TONE=5\n");
    script.close();
    dvb::FakeFrontend fake;
    QString error;
    QVERIFY2(fake.loadScript(script.fileName(), &error), qPrintable(error));
    QCOMPARE(fake.frontendInfo.name, QStringLiteral("Test card"));
    QCOMPARE(fake.openError, EBUSY);
    QCOMPARE(fake.status, 0x03u);
    QCOMPARE(fake.stats.strength.scale, Scale::Decibel);
    QCOMPARE(fake.stats.strength.value, -40000);
    QVERIFY(!fake.stats.cnr.available());
    QCOMPARE(fake.failures.value(QStringLiteral("FE_SET_TONE")), 5);
    // What the frontend lists and what it reports of a DVB-S2 carrier, as the
    // kernel's values.
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("[frontend]\ndelsys=DVBT,DVBS,DVBS2\n[reception]\nsystem=DVBS2\n"
                 "modulation=8PSK\nfec=9/10\npilot=on\nrolloff=20\n");
    script.close();
    dvb::FakeFrontend s2;
    QVERIFY2(s2.loadScript(script.fileName(), &error), qPrintable(error));
    QCOMPARE(s2.delsys, QVector<quint32>({SYS_DVBT, SYS_DVBS, SYS_DVBS2}));
    QCOMPARE(QVector<quint32>({s2.system, s2.modulation, s2.innerFec, s2.pilot, s2.rollOff}),
             QVector<quint32>({SYS_DVBS2, PSK_8, FEC_9_10, PILOT_ON, ROLLOFF_20}));
    const std::pair<const char*, const char*> wrong[] = {
        {"[frontend]\ndelsys=DVBS,DVB-X\n", "frontend/delsys takes"},
        {"[reception]\nfec=3/9\n", "reception/fec takes"},
        {"[reception]\nstrength=loud\n", "reception/strength takes"}};
    for (const auto& w : wrong) {
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(w.first);
        script.close();
        dvb::FakeFrontend bad;
        QVERIFY2(!bad.loadScript(script.fileName(), &error), w.first);
        QVERIFY2(error.contains(QLatin1String(w.second)), qPrintable(error));
    }
}

void TestDvb::windowOnAFakeFrontend()
{
    // The window itself on the back end: start-up tune, the poll, a DiSEqC 1.0
    // switch and positioner commands reach the kernel as calls.
    QStandardPaths::setTestModeEnabled(true);
    openSettings()->clear();
    hw::ManualClock clock;
    auto owned = std::make_unique<dvb::FakeFrontend>();
    dvb::FakeFrontend* fake = owned.get();
    fake->status = 0x1F;
    fake->stats.strength = Stat{Scale::Relative, 40000};
    hw::CardLayer::install(std::make_unique<dvb::DvbBackend>(clock, std::move(owned)), &clock);
    messages::setHook(
        [](QMessageBox::Icon, const QString&, const QString& text) { QFAIL(qPrintable(text)); });
    {
        zenaraForm form;
        QVERIFY(fake->calls.contains(
            QStringLiteral("FE_SET_PROPERTY 2=0 17=5 10=1 11=1 3=1294000 8=39999000 9=9 6=2 1=0")));
        QVERIFY(form.findChild<QLabel*>(QStringLiteral("receiverLabel"))
                    ->text()
                    .startsWith(QLatin1String("Receiver: Philips TDA10086 DVB-S")));
        fake->calls.clear();
        form.radioButtonDiSEqC10->click();
        form.comboBoxDiSEqC10->setCurrentIndex(3);
        form.buttonSet->click();
        QVERIFY2(fake->calls.contains(QStringLiteral("FE_DISEQC_SEND_MASTER_CMD E0 10 38 FE")),
                 qPrintable(fake->calls.join(QLatin1Char('\n'))));
        fake->calls.clear();
        form.haltMotorButton->click();
        QTRY_COMPARE(fake->calls.filter(QStringLiteral("MASTER_CMD")).size(), 3);
        form.positionsSpinBox->setValue(12);
        form.gotoButton->click();
        QTRY_COMPARE(fake->calls.filter(QStringLiteral("MASTER_CMD")).size(), 6);
        QCOMPARE(fake->calls.filter(QStringLiteral("MASTER_CMD")),
                 QStringList(
                     {"FE_DISEQC_SEND_MASTER_CMD E0 31 60", "FE_DISEQC_SEND_MASTER_CMD E1 31 60",
                      "FE_DISEQC_SEND_MASTER_CMD E1 31 60", "FE_DISEQC_SEND_MASTER_CMD E0 31 6B 0C",
                      "FE_DISEQC_SEND_MASTER_CMD E1 31 6B 0C",
                      "FE_DISEQC_SEND_MASTER_CMD E1 31 6B 0C"}));
    }
    messages::setHook({});
    CDVBCommon::CloseDevice();
    hw::CardLayer::uninstall();
}

void TestDvb::autoFallsBackToTheSimulator()
{
    if (!dvb::describeFrontends().isEmpty())
        QSKIP("this machine has a DVB frontend");
    sim::registerSimulatedReceiver();
    dvb::registerDvbReceivers();
    hw::ManualClock clock;
    QString error;
    auto backend = hw::createReceiver(QStringLiteral("auto,seed=3"), clock, &error);
    QVERIFY2(backend, qPrintable(error));
    QCOMPARE(backend->description(), QStringLiteral("simulated receiver"));
    // Its options go to the simulator, and are checked there.
    QVERIFY(!hw::createReceiver(QStringLiteral("auto,rain=-1"), clock, &error));
    QVERIFY2(error.contains(QLatin1String("rain=")), qPrintable(error));
    // "dvb" without a card says what is missing.
    QVERIFY(!hw::createReceiver(QStringLiteral("dvb"), clock, &error));
    QVERIFY(error.contains(QLatin1String("No DVB satellite frontend in /dev/dvb")));
}

void TestDvb::networkFromARecordedNit()
{
    // NIT sections as a demux delivers them (network name in UTF-8, one
    // transport with its satellite delivery descriptor, CRC at the end).
    const QByteArray turksat(
        "\x40\xb0\x2b\x00\x46\xc1\x00\x00\xf0\x0b\x40\x09\x15\x54\xc3\xbc\x72\x6b\x73\x61\x74\xf0"
        "\x13\x00\x01\x00\x46\xf0\x0d\x43\x0b\x01\x19\x77\x00\x04\x20\x81\x02\x75\x00\x03\x47\x0b"
        "\x60\x84",
        46);
    const QByteArray hispasat(
        "\x40\xb0\x2b\x00\x02\xc1\x00\x00\xf0\x0b\x40\x09\x15\x48\x69\x73\x70\x61\x73\x61\x74\xf0"
        "\x13\x00\x01\x00\x02\xf0\x0d\x43\x0b\x01\x19\x77\x00\x03\x00\x01\x02\x75\x00\x03\x0d\xa6"
        "\x6e\x85",
        46);
    hw::NetworkInfo info;
    QVERIFY(dvb::networkFromNit(turksat, &info));
    QCOMPARE(info.networkId, quint16(0x46));
    QCOMPARE(info.name, QString::fromUtf8("T\xc3\xbcrksat"));
    QCOMPARE(info.orbitalPosition, 42.0);
    QVERIFY(dvb::networkFromNit(hispasat, &info));
    QCOMPARE(info.orbitalPosition, -30.0); // the west flag
    // Not a NIT, or cut short: refused, without reading past the end.
    QVERIFY(!dvb::networkFromNit(QByteArray("\x42\xb0\x2b", 3), &info));
    QVERIFY(!dvb::networkFromNit(turksat.left(20), &info));
    QByteArray damaged = turksat;
    damaged[30] = char(0x7F); // a descriptor length past the end
    dvb::networkFromNit(damaged, &info);
    QCOMPARE(dvb::adapterOf(QStringLiteral("/dev/dvb/adapter1/frontend0")), 1);
    QCOMPARE(dvb::adapterOf(QStringLiteral("fake frontend /tmp/x.ini")), -1);
}

namespace {

QByteArray be16(int value)
{
    QByteArray b(2, '\0');
    b[0] = char(value >> 8);
    b[1] = char(value & 0xFF);
    return b;
}

// A section: its table, the length with the CRC, the body, a CRC of zeros
// (the demux checked it; the parsers never see it).
QByteArray section(int table, int flags, const QByteArray& body)
{
    return QByteArray(1, char(table)) + be16((flags << 8) | (body.size() + 4)) + body +
           QByteArray(4, '\0');
}

// A NIT of one network over several positions: each transport stream with
// its satellite delivery descriptor (orbit in BCD tenths, east).
QByteArray nitOver(const QVector<QPair<int, int>>& streams)
{
    QByteArray loop;
    for (const auto& [tsid, orbit] : streams) {
        const QByteArray sat =
            QByteArray::fromHex("430b01197700") + be16(orbit) + QByteArray::fromHex("8102750003");
        loop += be16(tsid) + be16(0x46) + be16(0xF000 | sat.size()) + sat;
    }
    return section(0x40, 0xB0,
                   QByteArray::fromHex("0046c10000f000") + be16(0xF000 | loop.size()) + loop);
}

// The SDT (actual) of a transport stream, without services.
QByteArray sdtOf(int tsid, int onid)
{
    return section(0x42, 0xF0,
                   be16(tsid) + QByteArray::fromHex("c10000") + be16(onid) +
                       QByteArray(1, char(0xFF)));
}

} // namespace

void TestDvb::positionOfTheTunedStream()
{
    // One network at 13.0E (stream 1) and 19.2E (stream 2).
    const QByteArray nit = nitOver({{1, 0x0130}, {2, 0x0192}});
    const struct
    {
        QByteArray sdt;
        double position; // NaN: not said
    } rows[] = {
        {sdtOf(2, 0x46), 19.2},    {sdtOf(1, 0x46), 13.0},
        {sdtOf(3, 0x46), qQNaN()}, // a stream the NIT does not list: no false alarm
        {sdtOf(2, 0x47), qQNaN()}, // the same id in another network
        {QByteArray(), 13.0},      // no SDT: the first, as before
    };
    for (const auto& row : rows) {
        hw::NetworkInfo info;
        QVERIFY(dvb::networkFromNit(nit, &info, dvb::transportFromSdt(row.sdt)));
        QCOMPARE(qIsNaN(info.orbitalPosition), qIsNaN(row.position));
        if (!qIsNaN(row.position))
            QCOMPARE(info.orbitalPosition, row.position);
    }
}

QTEST_MAIN(TestDvb)
#include "tst_dvb.moc"
