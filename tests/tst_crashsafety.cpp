// A power cut at any moment: the program is killed (SIGKILL) at a random time,
// fifty times over, during sessions that store positions and remember
// transponders over the remote-control socket. Each next run starts from what
// the last one left. The settings file must always parse, and everything the
// program confirmed before a kill must still be there.

#include "programrun.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

struct Satellite
{
    int number;
    const char* position;
    const char* frequency; // a transponder in its file
};
const Satellite Satellites[] = {
    {0, "42.0E", "11977"}, {1, "13.0E", "10719"}, {2, "19.2E", "11362"}, {3, "5.0W", "11591"}};

// What the program has confirmed: position -> satellite, satellite -> transponder.
struct Stored
{
    QMap<int, int> positions;
    QMap<int, QString> transponders;
};

// A change asked for whose answer did not arrive: it may or may not have been kept.
struct Pending
{
    bool position = false;
    int key = -1;
    int number = -1;
    QString transponder;
};

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killedAtRandomLosesNothingConfirmed();
};

void TestCrashSafety::killedAtRandomLosesNothingConfirmed()
{
    Run run;
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"),
                  "[Settings]\nMaxTimeOfPositioning=200\n");
    run.writeFile(QStringLiteral("work/satlist.znr"),
                  "0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n2=19.2;Astra;as.ini\n"
                  "3=-5.0;Eutelsat;eu.ini\n");
    run.writeFile(QStringLiteral("work/Transponders/tk.ini"), "[DVB]\n0=1\n1=11977,H,27500,34\n");
    run.writeFile(QStringLiteral("work/Transponders/hb.ini"), "[DVB]\n0=1\n1=10719,V,27500,34\n");
    run.writeFile(QStringLiteral("work/Transponders/as.ini"), "[DVB]\n0=1\n1=11362,H,22000,23\n");
    run.writeFile(QStringLiteral("work/Transponders/eu.ini"), "[DVB]\n0=1\n1=11591,V,27500,34\n");

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator random(seed);
    Stored stored;
    int killedInSession = 0;
    int sessionRounds = 0;
    for (int round = 0; round < 50; ++round) {
        auto zenara = run.start({QStringLiteral("--receiver"), QStringLiteral("sim,scene=fixed")});
        QVERIFY(zenara->waitForStarted());
        const qint64 pid = zenara->processId();
        // Mostly during the session, one round in five while starting up. A
        // session's kill is timed from its first confirmed change of selection,
        // not from the start: how long start-up takes depends on the machine.
        const bool duringStart = random.bounded(5) == 0;
        sessionRounds += !duringStart;
        const int delayMs = int(random.bounded(duringStart ? 1000 : 1500));
        std::atomic<bool> ready{false};
        std::thread killer([pid, delayMs, duringStart, &ready] {
            for (int waited = 0; !duringStart && !ready && waited < 60000; waited += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            ::kill(pid_t(pid), SIGKILL);
        });
        auto joinKiller = qScopeGuard([&killer] { killer.join(); });

        // Until the window answers, or the kill comes first.
        while (zenara->state() == QProcess::Running &&
               request(run, QStringLiteral("status"), {}, 1000).isEmpty())
            QTest::qWait(50);
        Pending pending;
        bool talked = false;
        while (zenara->state() == QProcess::Running) {
            const Satellite& sat = Satellites[random.bounded(4)];
            if (request(run, QStringLiteral("satellite"), {QLatin1String(sat.position)}, 5000)
                    .value(QStringLiteral("ok")) != true)
                break;
            talked = true;
            ready = true;
            Pending change;
            QStringList words;
            if (random.bounded(2) == 0) {
                // Store the satellite at a position (the motor, then the table).
                change.position = true;
                change.key = 1 + int(random.bounded(58));
                change.number = sat.number;
                if (request(run, QStringLiteral("store"), {QString::number(change.key)}, 5000)
                        .value(QStringLiteral("ok")) != true)
                    break;
                if (stored.positions.value(change.key, -1) == sat.number)
                    continue; // Set would unset it
                words = QStringList({QStringLiteral("set-position")});
            } else {
                change.key = sat.number;
                const QString sr = QString::number(20000 + int(random.bounded(10000)));
                change.transponder = QLatin1String(sat.frequency) + QStringLiteral(",H,") + sr;
                words = QStringList({QStringLiteral("tune"), QLatin1String(sat.frequency),
                                     QStringLiteral("H"), sr});
            }
            pending = change;
            const QJsonObject reply = request(run, words.first(), words.mid(1), 5000);
            if (reply.isEmpty())
                break; // killed with the change under way
            // Choosing a position that holds a satellite selects that one.
            if (reply.value(QStringLiteral("error")) ==
                QLatin1String("already set at this position")) {
                pending = Pending();
                continue;
            }
            QVERIFY2(reply.value(QStringLiteral("ok")) == true,
                     qPrintable(QJsonDocument(reply).toJson()));
            if (change.position)
                stored.positions[change.key] = change.number;
            else
                stored.transponders[change.key] = change.transponder;
            pending = Pending();
        }
        joinKiller.dismiss();
        killer.join();
        QVERIFY(zenara->state() == QProcess::NotRunning || zenara->waitForFinished(30000));
        QCOMPARE(zenara->exitStatus(), QProcess::CrashExit);
        killedInSession += talked;

        QSettings s(run.settingsFile(), QSettings::IniFormat);
        QCOMPARE(s.status(), QSettings::NoError);
        const QStringList positions =
            s.value(QStringLiteral("Settings/MotorPositions")).toString().split('\n');
        const QStringList transponders =
            s.value(QStringLiteral("Settings/FreqList")).toStringList();
        // The change whose answer was lost counts once it is in the file.
        if (pending.key >= 0) {
            if (pending.position && positions.value(pending.key) == QString::number(pending.number))
                stored.positions[pending.key] = pending.number;
            if (!pending.position && transponders.value(pending.key) == pending.transponder)
                stored.transponders[pending.key] = pending.transponder;
        }
        for (auto it = stored.positions.cbegin(); it != stored.positions.cend(); ++it)
            QVERIFY2(positions.value(it.key()) == QString::number(it.value()),
                     qPrintable(QStringLiteral("round %1: position %2").arg(round).arg(it.key())));
        for (auto it = stored.transponders.cbegin(); it != stored.transponders.cend(); ++it)
            QVERIFY2(transponders.value(it.key()) == it.value(),
                     qPrintable(QStringLiteral("round %1: satellite %2").arg(round).arg(it.key())));
    }
    qInfo("%d of 50 kills during a session; %d positions and %d transponders kept", killedInSession,
          int(stored.positions.size()), int(stored.transponders.size()));
    // The kills meant for a session must have found one.
    QVERIFY2(killedInSession * 4 >= sessionRounds * 3,
             qPrintable(QStringLiteral("%1 of %2").arg(killedInSession).arg(sessionRounds)));
    QVERIFY(stored.positions.size() + stored.transponders.size() >= 10);
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
