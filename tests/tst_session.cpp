// The running program without a window: the commands every front end calls,
// their warnings as results, the options' limits, and the poll on the test's
// clock.

#include "core/session.h"
#include "lists/satellitelist.h"
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
};

void TestSession::commandsReturnTheirWarnings()
{
    Started s;
    QVERIFY(s.ok);
    QSignalSpy boxes(&s.session, &core::Session::warning);
    s.session.enter({QStringLiteral("11977"), QStringLiteral("27500"), true});
    QVERIFY(s.session.tune().ok());
    QCOMPARE(s.session.frequency(), 11977);
    QCOMPARE(markerTexts(s.session).last(), QStringLiteral("11977, H, 27500"));
    // Refused: a warning to return, nothing sent, nothing remembered.
    const QStringList before = s.board.traceEvents();
    s.session.enter({QStringLiteral("5000"), QStringLiteral("27500"), false});
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
    QCOMPARE(s.session.entry(),
             (core::Entry{QStringLiteral("11977"), QStringLiteral("27500"), true}));
    QVERIFY(s.session.tune().ok()); // remembered for Turksat
    s.session.chooseSatellite(2);
    s.session.enter({QStringLiteral("10719"), QStringLiteral("27500"), false});
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
    Started s("[Settings]\nGAPTime=50\n");
    QCOMPARE(s.session.options().gapTime, 50);
    QVERIFY(s.ok);
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

QTEST_MAIN(TestSession)
#include "tst_session.moc"
