// The running program without a window: the commands every front end calls,
// their warnings as results, the options' limits, and the poll on the test's
// clock.

#include "core/arccalibrator.h"
#include "core/session.h"
#include "lists/satellitelist.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"
#include "testsupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The lists in a folder of their own, made the working folder.
class Data
{
public:
    Data()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("Transponders"));
        write("satlist.znr", "0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n");
        write("Transponders/tk.ini", "[DVB]\n0=2\n1=11012,H,30000,34,S2\n2=11977,H,27500,34\n");
        write("Transponders/hb.ini", "[DVB]\n0=1\n1=10719,V,27500,34\n");
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    ~Data() { QDir::setCurrent(m_previous); }

private:
    void write(const char* name, const QByteArray& content)
    {
        QFile f(m_dir.filePath(QLatin1String(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }
    QTemporaryDir m_dir;
    QString m_previous;
};

// A session started as the window starts it, on the board's clock.
struct Started
{
    explicit Started(const QByteArray& stored = {}) : board({}, false)
    {
        const QString file = openSettings()->fileName();
        QFile::remove(file);
        QDir().mkpath(QFileInfo(file).path());
        if (QFile f(file); !stored.isEmpty() && f.open(QIODevice::WriteOnly))
            f.write(stored);
        session.loadSettings();
        ok = session.openCard() == nullptr;
    }
    Data data;
    SimulatedBoard board;
    core::Session session;
    bool ok = false;
};

// The shipped lists, and the default simulated receiver's sky made of them,
// at the default site, on a clock of the test's.
struct ShippedSky
{
    ShippedSky() : previous(QDir::currentPath())
    {
        const QString data = QStringLiteral(ZENARA_SOURCE_DIR "/data");
        QDir::setCurrent(data);
        QFile::remove(openSettings()->fileName());
        sim::Sky sky = sim::Sky::fromFiles(data + QStringLiteral("/satlist.znr"),
                                           data + QStringLiteral("/Transponders/"), 50.0);
        auto card = std::make_unique<sim::SimCard>(
            clock, std::make_unique<sim::PhysicalScene>(clock, sim::SimConfig{}, std::move(sky)));
        hw::CardLayer::install(std::move(card), &clock);
        session = std::make_unique<core::Session>();
        session->loadSettings();
        ok = session->openCard() == nullptr;
        session->tune(); // as start-up does: the LNB, and the motor behind it, get their supply
    }
    ~ShippedSky()
    {
        session.reset();
        CDVBCommon::CloseDevice();
        hw::CardLayer::uninstall();
        QDir::setCurrent(previous);
    }
    void pollFor(int ms)
    {
        for (int t = 0; t < ms; t += 250) {
            clock.advance(250);
            session->pollOnce();
        }
    }
    hw::ManualClock clock;
    QString previous;
    std::unique_ptr<core::Session> session;
    bool ok = false;
};

QStringList markerTexts(const core::Session& s)
{
    QStringList texts;
    for (const HistoryPlot::Marker& m : s.history().markers())
        texts.append(m.label);
    return texts;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void commandsReturnTheirWarnings();
    void choosingFollowsTheLists();
    void optionsKeepTheDialogsLimits();
    void pollOnTheTestClock();
    void secondGeneration_data();
    void secondGeneration();
    void everyListedCarrierLocksOrSaysWhy_data();
    void everyListedCarrierLocksOrSaysWhy();
    void aGotoEndsWhenTheDishIsThere();
    void calibratedGotosGoWhereTheMountPeaks();
    void aHaltedCalibrationChangesNothing();
};

void TestSession::commandsReturnTheirWarnings()
{
    Started s;
    QVERIFY(s.ok);
    QSignalSpy boxes(&s.session, &core::Session::warning);
    s.session.enter({QStringLiteral("11977"), QStringLiteral("27500"), true, {}});
    QVERIFY(s.session.tune().ok());
    QCOMPARE(s.session.frequency(), 11977);
    QCOMPARE(markerTexts(s.session).last(), QStringLiteral("11977, H, 27500"));
    // Refused: a warning to return, nothing sent, nothing remembered.
    const QStringList before = s.board.traceEvents();
    s.session.enter({QStringLiteral("5000"), QStringLiteral("27500"), false, {}});
    const core::Result refused = s.session.tune();
    QVERIFY(!refused.ok());
    QCOMPARE(s.session.frequency(), 11977);
    QCOMPARE(s.session.polarization(), 0);
    QCOMPARE(s.board.traceEvents().filter(QStringLiteral("FE_CHANNEL")).size(),
             before.filter(QStringLiteral("FE_CHANNEL")).size());
    QCOMPARE(boxes.size(), 0); // the caller shows it, not a box of the session's
    // The motor's commands go out through the same session.
    s.board.scene->heard.clear();
    QVERIFY(s.session.halt().ok());
    QVERIFY(s.session.limit(core::Session::Limit::East).ok());
    QCOMPARE(s.board.scene->heard.first().toHex(), QByteArray("e03160"));
    QCOMPARE(s.board.scene->heard.last().toHex(), QByteArray("e03166"));
}

void TestSession::choosingFollowsTheLists()
{
    Started s;
    QVERIFY(s.ok);
    QSignalSpy entries(&s.session, &core::Session::entryChanged);
    QSignalSpy labels(&s.session, &core::Session::labelChanged);
    s.session.chooseSatellite(1);
    QCOMPARE(s.session.transponderEntries().size(), 3); // a title and two entries
    s.session.chooseTransponder(2);
    hw::SignalFormat rate34;
    rate34.rate = {3, 4};
    QCOMPARE(s.session.entry(),
             (core::Entry{QStringLiteral("11977"), QStringLiteral("27500"), true, rate34}));
    QVERIFY(s.session.tune().ok()); // remembered for Turksat
    s.session.chooseSatellite(2);
    s.session.enter({QStringLiteral("10719"), QStringLiteral("27500"), false, {}});
    s.session.chooseSatellite(1);
    QCOMPARE(s.session.entry().frequency, QStringLiteral("11977"));
    QCOMPARE(entries.size(), 3);
    // A position: taken by one satellite, then by another, which takes the
    // label's suffix with it; 60 is the motor's, not the table's.
    s.session.choosePosition(5);
    QVERIFY(s.session.togglePosition().ok());
    QVERIFY(s.session.positionSet());
    QVERIFY(s.session.satellites().labels.at(1).endsWith(QLatin1String(" - [5]")));
    s.session.chooseSatellite(2);
    s.session.choosePosition(5);
    QCOMPARE(s.session.chosenRow(), 1); // the position chooses its satellite
    s.session.chooseSatellite(2);
    QVERIFY(!s.session.positionSet());
    s.session.togglePosition();
    QVERIFY(!s.session.satellites().labels.at(1).contains(QLatin1String("[5]")));
    QVERIFY(s.session.satellites().labels.at(2).endsWith(QLatin1String(" - [5]")));
    QCOMPARE(labels.size(), 3);
    s.session.choosePosition(60);
    QVERIFY(!s.session.positionSettable());
    s.session.togglePosition();
    QCOMPARE(labels.size(), 3);
}

void TestSession::optionsKeepTheDialogsLimits()
{
    // A pause shorter than the dialog offers, written by hand: kept, and no
    // reason to refuse another option.
    Started s("[Settings]\nGAPTime=50\nLocationLongitude=10\n");
    QCOMPARE(s.session.options().gapTime, 50);
    QVERIFY(s.ok);
    // The simulated installation stands at the site of the options.
    QCOMPARE(s.board.scene->siteLongitude, 10.0);
    QCOMPARE(s.board.scene->siteLatitude, 45.0);
    const optionvalues::Values before = s.session.options();
    for (const optionvalues::Key& key : optionvalues::keys()) {
        const double step = key.kind == optionvalues::Key::Kind::Real ? 0.01 : 1;
        for (const double wrong : {key.minimum - step, key.maximum + step, qQNaN()}) {
            QCOMPARE(s.session.setOption(QLatin1String(key.name), wrong),
                     optionvalues::refusal(key, wrong));
            QVERIFY2(!optionvalues::refusal(key, wrong).isEmpty(), key.name);
        }
        if (key.kind != optionvalues::Key::Kind::Real)
            QVERIFY(!s.session.setOption(QLatin1String(key.name), key.minimum + 0.5).isEmpty());
    }
    QVERIFY(s.session.options().maxAngle == before.maxAngle &&
            s.session.options().latitude == before.latitude);
    QVERIFY(
        s.session.setOption(QStringLiteral("Nonsense"), 1).startsWith(QLatin1String("no such")));
    QCOMPARE(s.session.options().gapTime, 50);
    // A new site: new rows, so nothing chosen; the motor's settings follow.
    s.session.chooseSatellite(1);
    QSignalSpy lists(&s.session, &core::Session::labelsChanged);
    QCOMPARE(s.session.setOption(QStringLiteral("Settings/LocationLatitude"), -33.9), QString());
    QCOMPARE(lists.size(), 1);
    QCOMPARE(s.session.chosenRow(), 0);
    QCOMPARE(s.session.positioner().settings().siteLatitude, -33.9);
    QCOMPARE(s.board.scene->siteLatitude, -33.9);
    QCOMPARE(s.session.setOption(QStringLiteral("MaxAngle"), 90), QString());
    QCOMPARE(lists.size(), 1);
}

void TestSession::pollOnTheTestClock()
{
    Started s;
    QVERIFY(s.ok);
    QSignalSpy polls(&s.session, &core::Session::polled);
    s.board.scene->reception = {0x1F, 255 - 0x69, 0, 255 - 0x55, 0, 10, 0, 0, 4};
    QVERIFY(s.session.tune().ok());
    for (int i = 0; i < 4; ++i) {
        s.board.clock.advance(250);
        s.session.pollOnce();
    }
    QCOMPARE(polls.size(), 4);
    QVERIFY(s.session.lastReading().locked);
    QCOMPARE(s.session.fecText(), QStringLiteral("5/6"));
    QVERIFY(s.session.margin().marginValid);
    // A goto: moving until the estimate says it has arrived.
    s.session.chooseSatellite(2);
    QSignalSpy motion(&s.session, &core::Session::motionChanged);
    QVERIFY(s.session.usalsGoto().ok());
    QVERIFY(motion.size() > 0);
    QVERIFY(s.session.positioner().motion().moving(s.board.clock.nowMs()));
    QCOMPARE(s.session.currentSat(), 2);
    s.board.clock.advance(120000);
    QVERIFY(!s.session.positioner().motion().moving(s.board.clock.nowMs()));
}

void TestSession::secondGeneration_data()
{
    QTest::addColumn<bool>("cardHasS2");
    QTest::addColumn<int>("entry");       // in Turksat's list: 1 DVB-S2, 2 DVB-S
    QTest::addColumn<quint8>("status");   // what the demodulator then says
    QTest::addColumn<int>("snrMeter");    // C/N (meter - 40) / 9 dB
    QTest::addColumn<QString>("channel"); // the card call the tune made
    QTest::addColumn<QString>("fec");
    QTest::addColumn<double>("margin"); // NaN: none
    QTest::addColumn<QString>("hint");  // the start of the reason, if any
    const double none = qQNaN();
    // 8PSK 3/4 with pilots needs 7.91 dB plus the pilots' 0.10.
    QTest::newRow("S2 locked") << true << 1 << quint8(0x1F) << 40 + 9 * 12 << "FE_CHANNEL2"
                               << "8PSK 3/4" << 12 - 8.01 << "";
    QTest::newRow("S2 too weak") << true << 1 << quint8(0x03) << 40 + 9 * 2 << "FE_CHANNEL2"
                                 << "" << none
                                 << "No lock: C/N 2.0 dB, and DVB-S2 3/4 needs 4.0 dB";
    QTest::newRow("S2 on a DVB-S card")
        << false << 1 << quint8(0x03) << 40 + 9 * 12 << "FE_CHANNEL "
        << "" << none << "This receiver cannot receive DVB-S2";
    QTest::newRow("S locked") << true << 2 << quint8(0x1F) << 40 + 9 * 12 << "FE_CHANNEL "
                              << "3/4" << 12 - 6.91 << "";
    QTest::newRow("S too weak") << true << 2 << quint8(0x03) << 40 + 9 * 6 << "FE_CHANNEL "
                                << "" << none << "No lock: C/N 6.0 dB, and 3/4 needs 6.9 dB";
    QTest::newRow("S unlocked, strong enough")
        << true << 2 << quint8(0x03) << 40 + 9 * 9 << "FE_CHANNEL "
        << "" << none << "";
}

void TestSession::secondGeneration()
{
    QFETCH(bool, cardHasS2);
    QFETCH(int, entry);
    QFETCH(quint8, status);
    QFETCH(int, snrMeter);
    QFETCH(QString, channel);
    QFETCH(QString, fec);
    QFETCH(double, margin);
    QFETCH(QString, hint);
    Started s;
    QVERIFY(s.ok);
    s.board.card->setSecondGeneration(cardHasS2);
    s.board.scene->s2 = entry == 1;
    s.board.scene->s2Format =
        hw::modcod::fromFileFields(QStringLiteral("34,S2,8PSK,PILOTS").split(QLatin1Char(',')));
    s.board.scene->reception = {status, 150, 0, double(snrMeter), 0, 10, 0, 0, 2};
    s.session.chooseSatellite(1);
    s.session.chooseTransponder(entry);
    QCOMPARE(s.session.entry().format.isS2(), entry == 1);
    s.board.newTraceEvents();
    QVERIFY(s.session.tune().ok());
    QCOMPARE(s.board.newTraceEvents()
                 .filter(QStringLiteral("FE_CHANNEL"))
                 .join(QString())
                 .left(channel.size()),
             channel);
    // Long enough for the reason, and for a re-tune where one is due.
    for (int i = 0; i < 25; ++i) {
        s.board.clock.advance(250);
        s.session.pollOnce();
    }
    QCOMPARE(s.session.fecText(), fec);
    QCOMPARE(s.session.margin().marginValid, !qIsNaN(margin));
    if (!qIsNaN(margin))
        QVERIFY2(std::abs(s.session.margin().marginDb - margin) < 0.01,
                 qPrintable(QString::number(s.session.margin().marginDb)));
    QVERIFY2(hint.isEmpty() ? s.session.lockHint().isEmpty()
                            : s.session.lockHint().startsWith(hint),
             qPrintable(s.session.lockHint()));
    // A receiver that cannot lock is not re-tuned every 5.5 s.
    const int retunes = s.board.newTraceEvents().filter(QStringLiteral("FE_CHANNEL")).size();
    QCOMPARE(retunes, status & 0x10 || !cardHasS2 ? 0 : 1);
    const QStringList lines = s.session.receptionLines();
    QVERIFY2(lines.first().endsWith(entry == 1 ? "DVB-S2" : "DVB-S"), qPrintable(lines.first()));
    // The Site view gives the rain fade the lock holds, not the margin to errors.
    if (s.session.margin().marginValid)
        QVERIFY2(lines.at(1).endsWith(QString::number(s.session.margin().rainFadeDb, 'f', 1) +
                                      QStringLiteral(" dB of rain")),
                 qPrintable(lines.at(1)));
}

void TestSession::everyListedCarrierLocksOrSaysWhy_data()
{
    QTest::addColumn<QString>("satellite"); // its position in the label
    QTest::newRow("Turksat") << QStringLiteral(" 42.0\u00B0E ");
    QTest::newRow("Hot Bird") << QStringLiteral(" 13.0\u00B0E ");
    // 11727 H twice, as DVB-S and as DVB-S2: one carrier, both entries lock.
    QTest::newRow("Astra 4.8E") << QStringLiteral(" 4.8\u00B0E Ku");
}

// Each transponder of the satellite's lists, as a newcomer would pick it: it
// locks and shows its modcod, or the program says why not (out of the LNB's
// range, too weak for its modcod on this dish).
void TestSession::everyListedCarrierLocksOrSaysWhy()
{
    QFETCH(QString, satellite);
    ShippedSky sky;
    QVERIFY(sky.ok);
    core::Session& s = *sky.session;
    int locked = 0, s2 = 0, refused = 0, weak = 0, lists = 0;
    for (int row = 1; row < s.satellites().labels.size(); ++row) {
        if (!s.satellites().labels.at(row).contains(satellite))
            continue;
        ++lists;
        s.chooseSatellite(row);
        QVERIFY(s.usalsGoto().ok());
        sky.clock.advance(120000);
        const QStringList entries = s.transponderEntries();
        for (int i = 1; i < entries.size(); ++i) {
            s.chooseTransponder(i);
            const hw::SignalFormat listed = s.entry().format;
            if (const core::Result r = s.tune(); !r.ok()) {
                qInfo("%s: %s", qPrintable(entries.at(i)), qPrintable(r.warning));
                ++refused; // the box said why
                continue;
            }
            sky.pollFor(500);
            for (int t = 0; t < 12 && !s.lastReading().locked && s.lockHint().isEmpty(); ++t)
                sky.pollFor(250);
            const QByteArray what = entries.at(i).toUtf8() + ": flags " +
                                    QByteArray::number(s.lastReading().flags, 16) + " C/N " +
                                    QByteArray::number(s.margin().cnDb) + " " +
                                    s.lockHint().toUtf8();
            if (s.lastReading().locked) {
                ++locked;
                s2 += listed.isS2();
                // A carrier named twice locks as the one the sky sends.
                const QString carrier = entries.at(i).section(QLatin1Char(' '), 0, 2);
                QStringList named;
                for (const QString& e : entries)
                    if (e.section(QLatin1Char(' '), 0, 2) == carrier)
                        named.append(e);
                const bool twice = named.size() > 1;
                QVERIFY2(!twice || named.filter(QStringLiteral(" S2 ")).isEmpty() ||
                             s.fecText().contains(QLatin1Char(' ')),
                         what + " " + s.fecText().toUtf8());
                if (listed.isS2() && !twice)
                    QVERIFY2(s.fecText() == hw::modcod::lockedText(sim::transmittedFormat(listed)),
                             what + " " + s.fecText().toUtf8());
                QVERIFY2(!s.fecText().isEmpty(), what);
            } else {
                QVERIFY2(!s.lockHint().isEmpty(), what);
                qInfo("%s", what.constData());
                ++weak;
            }
        }
    }
    qInfo("%s: %d lists; %d locked (%d DVB-S2), %d too weak, %d refused", qPrintable(satellite),
          lists, locked, s2, weak, refused);
    QVERIFY(lists >= 1 && locked > 0);
}

// A goto ends when the readings show the dish there, not when a guessed
// speed says so (the option's 1000 ms a degree, against the motor's 833 at
// 13 V and 556 at 18 V); the motor's speed for the supply is learnt from it.
void TestSession::aGotoEndsWhenTheDishIsThere()
{
    ShippedSky sky;
    QVERIFY(sky.ok);
    auto& card = static_cast<sim::SimCard&>(*hw::CardLayer::backend());
    auto& scene = static_cast<sim::PhysicalScene&>(card.scene());
    auto choose = [&](double position, const char* mhz, bool horizontal) {
        const SatelliteList& list = sky.session->satellites();
        for (int row = 1; row < list.shownNumbers.size(); ++row) {
            const int at = list.numbers.indexOf(list.shownNumbers.at(row));
            if (at >= 0 && std::abs(list.orbitalPositions.at(at) - position) < 0.05)
                sky.session->chooseSatellite(row);
        }
        sky.session->setEntry({QLatin1String(mhz), QStringLiteral("27500"), horizontal, {}});
        sky.session->tune(); // remembered for the satellite, tuned again by the goto
    };
    const struct
    {
        double position;
        const char* mhz;
        bool horizontal;
        int motorMsPerDegree;
    } gotos[] = {{13.0, "11034", false, 833}, {42.0, "11977", true, 556}};
    for (const auto& g : gotos) {
        choose(g.position, g.mhz, g.horizontal);
        QVERIFY(sky.session->go().ok());
        qint64 lockedAt = -1, arrivedAt = -1, endedAt = -1;
        // Until both the goto and the motor are over: either may end first.
        for (int t = 0; t < 60000 && (endedAt < 0 || arrivedAt < 0); t += 250) {
            sky.pollFor(250);
            const qint64 now = sky.clock.nowMs();
            if (arrivedAt < 0 && !scene.motor().moving())
                arrivedAt = now;
            if (lockedAt < 0 && sky.session->lastReading().locked)
                lockedAt = now;
            if (endedAt < 0 && !sky.session->positioner().motion().moving(now))
                endedAt = now;
        }
        QVERIFY2(lockedAt > 0 && arrivedAt > 0, g.mhz);
        // A strong carrier locks before the dish stops: the goto ends when
        // it has stopped, within a second of that or of the lock.
        QVERIFY2(endedAt - std::max(lockedAt, arrivedAt) <= 1000 && endedAt >= arrivedAt - 500,
                 qPrintable(QStringLiteral("lock %1, motor %2, end %3")
                                .arg(lockedAt)
                                .arg(arrivedAt)
                                .arg(endedAt)));
        sky.pollFor(5000); // the lock outlasts the end: the goto times the motor
        const optionvalues::Values& o = sky.session->options();
        const int learned = g.horizontal ? o.learnedMsPerDegree18V : o.learnedMsPerDegree13V;
        QVERIFY2(std::abs(learned - g.motorMsPerDegree) < 0.15 * g.motorMsPerDegree,
                 qPrintable(QString::number(learned)));
    }
}

void TestSession::calibratedGotosGoWhereTheMountPeaks()
{
    // Uncalibrated: the label's angle. Calibrated: the nearest sixteenth of
    // where the fitted mount peaks on the satellite, plus its own offset;
    // kept across a restart; reset: the label's again.
    auto gotoMarker = [](core::Session& session) {
        return session.usalsGoto().ok()
                   ? markerTexts(session)
                         .filter(QStringLiteral("Goto"))
                         .value(-1 +
                                int(markerTexts(session).filter(QStringLiteral("Goto")).size()))
                   : QStringLiteral("refused");
    };
    positioner::ArcCalibration c;
    c.rounds = 1;
    c.fitted = true;
    c.errors = {0.4, -0.6, 0.3, 0.2};
    QString nominal, corrected, offset;
    QByteArray stored; // the settings file as the first run left it
    {
        Started s;
        QVERIFY(s.ok);
        s.session.chooseSatellite(1);
        const double position = s.session.chosenPosition();
        nominal = gotoMarker(s.session);
        s.session.setCalibration(c);
        corrected = gotoMarker(s.session);
        const double angle =
            std::trunc((std::round(std::abs(c.gotoAngle(45, 42, position)) * 16) + 0.01)) / 16;
        QCOMPARE(corrected,
                 QString::asprintf(
                     c.gotoAngle(45, 42, position) >= 0 ? "Goto %.1f°E" : "Goto %.1f°W", angle));
        c.setOffset(position, 0.5);
        s.session.setCalibration(c);
        offset = gotoMarker(s.session);
        QFile file(openSettings()->fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        stored = file.readAll();
    }
    QVERIFY(nominal != corrected && corrected != offset);
    Started again(stored);
    QVERIFY(again.ok);
    again.session.chooseSatellite(1);
    QCOMPARE(gotoMarker(again.session), offset);
    again.session.setCalibration({});
    QCOMPARE(gotoMarker(again.session), nominal);
}

void TestSession::aHaltedCalibrationChangesNothing()
{
    // The round runs the event loop while it waits; the test clock goes on
    // in it, and Halt comes while the dish is on its way.
    ShippedSky sky;
    QVERIFY(sky.ok);
    positioner::ArcCalibration known;
    known.setOffset(19.2, 0.3);
    sky.session->setCalibration(known);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] {
        sky.clock.advance(50);
        if (++ticks % 5 == 0)
            sky.session->pollOnce();
        if (ticks == 400) // 20 s in
            sky.session->halt();
    });
    ticker.start(0);
    core::ArcCalibrator& calibrator = sky.session->calibrator();
    QCOMPARE(calibrator.pick().size(), 3);
    QSignalSpy finished(&calibrator, &core::ArcCalibrator::finished);
    const core::Result result = calibrator.calibrate({});
    QVERIFY(result.warning.contains(QLatin1String("halted")));
    QVERIFY(!calibrator.running() && finished.size() == 1);
    QCOMPARE(sky.session->calibration().toText(), known.toText());
    // Too few to calibrate on: said, and nothing starts.
    QVERIFY(!calibrator.calibrate({13.0, 13.0}).ok());
    QVERIFY(!calibrator.running());
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
