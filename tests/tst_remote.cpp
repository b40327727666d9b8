// Remote control as a script drives it: requests over the program's socket,
// waits that end with the program, and replies that say what was not saved.

#include "programrun.h"
#include "settings/optionvalues.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QtTest>

class TestRemote : public QObject
{
    Q_OBJECT

private slots:
    void remoteControl();
    void remoteWaitsEndWithTheProgram();
    void remoteRepliesSayWhatWasNotSaved();
    void setRefusesWhatTheDialogRefuses();
    void aRestartFindsTheDishWhereItWasLeft();
    void theSimulatedMountIsTurnedFromTheCommandLine();
};

void TestRemote::remoteControl()
{
    Run run;
    // Nobody to talk to yet.
    QCOMPARE(remoteCli(run, {QStringLiteral("status")}).code, 2);

    // A motor reckoned at 200 ms a degree, so that the goto's wait is short.
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"),
                  "[Settings]\nMaxTimeOfPositioning=200\n");
    run.writeFile(QStringLiteral("work/satlist.znr"),
                  "0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n");
    run.writeFile(QStringLiteral("work/Transponders/tk.ini"), "[DVB]\n0=1\n1=11977,H,27500,34\n");
    run.writeFile(QStringLiteral("work/Transponders/hb.ini"), "[DVB]\n0=1\n1=10719,V,27500,34\n");
    auto zenara = run.start({QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    QTRY_VERIFY_WITH_TIMEOUT(!run.trace().filter(QStringLiteral("RD 1C 0E")).isEmpty(), 60000);

    Reply r = remoteCli(run, {QStringLiteral("status")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.json.value(QStringLiteral("frequency")).toInt(), 11044);
    QCOMPARE(r.json.value(QStringLiteral("receiver")).toString(),
             QStringLiteral("simulated receiver"));

    // Tune and wait for the lock.
    QCOMPARE(remoteCli(run, {QStringLiteral("tune"), QStringLiteral("11977"), QStringLiteral("H"),
                             QStringLiteral("27500")})
                 .code,
             0);
    // Answered at the lock, not at the end of the hour.
    r = remoteCli(run, {QStringLiteral("wait-lock"), QStringLiteral("3600")});
    QVERIFY(r.json.value(QStringLiteral("locked")).toBool());
    QVERIFY(r.json.value(QStringLiteral("flags")).toObject().value(QStringLiteral("LCK")).toBool());
    // The rain the lock takes, under the margin to the threshold; the network
    // read after the lock, with the list's satellite at its position.
    QJsonObject locked;
    QVERIFY(QTest::qWaitFor(
        [&] {
            locked = request(run, QStringLiteral("status"));
            return locked.value(QStringLiteral("rain_fade_db")).isDouble() &&
                   locked.value(QStringLiteral("network")).isObject();
        },
        20000));
    const double fade = locked.value(QStringLiteral("rain_fade_db")).toDouble();
    QVERIFY2(fade > 0 && fade < locked.value(QStringLiteral("margin_db")).toDouble(),
             QJsonDocument(locked).toJson().constData());
    QCOMPARE(locked.value(QStringLiteral("network")).toObject().value(QStringLiteral("satellite")),
             QJsonValue(QStringLiteral("Turksat")));

    // Another satellite: its transponder, the go button, the lock there.
    QCOMPARE(remoteCli(run, {QStringLiteral("satellite"), QStringLiteral("13.0E")}).code, 0);
    QCOMPARE(remoteCli(run, {QStringLiteral("transponder"), QStringLiteral("10719")}).code, 0);
    QCOMPARE(remoteCli(run, {QStringLiteral("set-position")}).code, 0); // recorded at 0 ...
    r = remoteCli(run, {QStringLiteral("status")});
    QVERIFY(r.json.value(QStringLiteral("satellite")).toString().endsWith(QLatin1String(" - [0]")));
    QCOMPARE(remoteCli(run, {QStringLiteral("set-position")}).code, 1); // ... once
    QCOMPARE(remoteCli(run, {QStringLiteral("unset-position")}).code, 0);
    r = remoteCli(run, {QStringLiteral("status")});
    QVERIFY(!r.json.value(QStringLiteral("satellite")).toString().contains(QLatin1String("[0]")));
    // Set, as a user would after picking the transponder: remembered for Hot Bird.
    QCOMPARE(remoteCli(run, {QStringLiteral("tune"), QStringLiteral("10719"), QStringLiteral("V"),
                             QStringLiteral("27500")})
                 .code,
             0);
    r = remoteCli(run, {QStringLiteral("usals")}); // replies when the dish should be there
    QCOMPARE(r.code, 0);
    QCOMPARE(r.json.value(QStringLiteral("current_sat")).toInt(), 2);
    r = remoteCli(run, {QStringLiteral("wait-lock"), QStringLiteral("3600")});
    QVERIFY2(r.json.value(QStringLiteral("locked")).toBool(),
             QJsonDocument(r.json).toJson().constData());

    // A drive halted during its wait: both requests answered, the drive early.
    auto drive =
        run.start({QStringLiteral("--remote"), QStringLiteral("drive"), QStringLiteral("east"),
                   QStringLiteral("300"), QStringLiteral("steps")});
    QVERIFY(QTest::qWaitFor(
        [&] {
            return request(run, QStringLiteral("status")).value(QStringLiteral("moving")).toBool();
        },
        60000));
    QCOMPARE(request(run, QStringLiteral("halt")).value(QStringLiteral("ok")), QJsonValue(true));
    QVERIFY(finish(*drive));
    QCOMPARE(drive->exitCode(), 0);
    r = remoteCli(run, {QStringLiteral("markers")});
    QStringList labels;
    for (const QJsonValue& m : r.json.value(QStringLiteral("markers")).toArray())
        labels.append(m.toObject().value(QStringLiteral("label")).toString());
    // 300 steps go as 128, 128 and 44: the Halt came before the last.
    QVERIFY2(labels.contains(QStringLiteral("East 128 stp")) &&
                 labels.contains(QStringLiteral("Halt")) &&
                 !labels.contains(QStringLiteral("East 44 stp")),
             qPrintable(labels.join(QLatin1Char('|'))));

    // Settings the options dialog edits, applied as it applies them.
    r = remoteCli(run, {QStringLiteral("set"), QStringLiteral("MaxAngle"), QStringLiteral("60")});
    QCOMPARE(r.json.value(QStringLiteral("value")).toInt(), 60);
    r = remoteCli(run, {QStringLiteral("get"), QStringLiteral("Settings/MaxAngle")});
    QCOMPARE(r.json.value(QStringLiteral("value")).toInt(), 60);
    QCOMPARE(remoteCli(run, {QStringLiteral("set"), QStringLiteral("LocationLatitude"),
                             QStringLiteral("91")})
                 .code,
             1);
    r = remoteCli(run, {QStringLiteral("get"), QStringLiteral("LocationLatitude")});
    QCOMPARE(r.json.value(QStringLiteral("value")).toDouble(), 45.0);
    // West of Greenwich: a negative number is a value, not an option.
    r = remoteCli(
        run, {QStringLiteral("set"), QStringLiteral("LocationLongitude"), QStringLiteral("-3.7")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.json.value(QStringLiteral("value")).toDouble(), -3.7);

    // Refused requests: an error and exit status 1, the program unharmed.
    for (const QStringList& bad :
         {QStringList({QStringLiteral("fly")}),
          QStringList({QStringLiteral("tune"), QStringLiteral("x")}),
          QStringList({QStringLiteral("satellite"), QStringLiteral("130.0E")}),
          QStringList({QStringLiteral("goto"), QStringLiteral("61")}),
          QStringList({QStringLiteral("raw"), QStringLiteral("E0"), QStringLiteral("31"),
                       QStringLiteral("zz")}),
          QStringList({QStringLiteral("drive"), QStringLiteral("up"), QStringLiteral("1"),
                       QStringLiteral("steps")}),
          // Too large for an int: refused before it is made one.
          QStringList({QStringLiteral("drive"), QStringLiteral("east"), QStringLiteral("1e300"),
                       QStringLiteral("steps")}),
          QStringList({QStringLiteral("wait-lock"), QStringLiteral("nan")})}) {
        r = remoteCli(run, bad);
        QCOMPARE(r.code, 1);
        QVERIFY2(!r.json.value(QStringLiteral("error")).toString().isEmpty(),
                 qPrintable(bad.join(' ')));
    }
    // Garbage on the socket: malformed JSON, a length past the limit, a
    // message cut short by a client that hangs up.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run.path(QStringLiteral("runtime"))));
    SingleInstance instance(QStringLiteral("Zenara"));
    QByteArray reply;
    QString error;
    QVERIFY(instance.sendRequest("{not json", &reply, 10000, &error));
    QVERIFY(QJsonDocument::fromJson(reply).object().contains(QStringLiteral("error")));
    for (const QByteArray& raw :
         {QByteArray("\xFF\xFF\xFF\xFF{", 5), QByteArray("\x00\x00\x00\x40{\"com", 9)}) {
        QLocalSocket socket;
        socket.connectToServer(instance.socketName());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(raw);
        socket.waitForBytesWritten(1000);
        socket.abort();
    }
    QCOMPARE(remoteCli(run, {QStringLiteral("status")}).code, 0); // still answering
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 0);
}

void TestRemote::remoteWaitsEndWithTheProgram()
{
    Run run;
    // 3 s a degree: every goto below takes minutes.
    auto zenara = startWithSatellites(run, "[Settings]\nMaxTimeOfPositioning=3000\n");
    QVERIFY(zenara);
    // Right after a tune the flags and "locked" come from one reading.
    QCOMPARE(remoteCli(run, words("tune 11977 H 27500")).code, 0);
    QVERIFY(remoteCli(run, words("wait-lock 30")).json.value(QStringLiteral("locked")).toBool());
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(remoteCli(run, words("tune 11977 H 27500")).code, 0);
        const QJsonObject s = request(run, QStringLiteral("status"));
        QCOMPARE(s.value(QStringLiteral("flags")).toObject().value(QStringLiteral("LCK")),
                 s.value(QStringLiteral("locked")));
    }
    QCOMPARE(remoteCli(run, words("set MaxAngle 70")).code, 0);
    QCOMPARE(remoteCli(run, words("tune 10800 H 27500")).code, 0); // nothing there
    QCOMPARE(remoteCli(run, words("satellite 13.0E")).code, 0);

    // Four requests that wait, each for its own end.
    std::vector<std::unique_ptr<QProcess>> waiting;
    for (const char* command : {"wait-lock 3600", "usals", "goto 5", "drive-to 60.0E"})
        waiting.push_back(run.start(QStringList(QStringLiteral("--remote")) + words(command)));
    QVERIFY(QTest::qWaitFor(
        [&] {
            return request(run, QStringLiteral("status")).value(QStringLiteral("waiting")) == 4;
        },
        60000));
    // Another client's short wait is not held up by them.
    const Reply quick = remoteCli(run, words("wait-lock 1"));
    QCOMPARE(quick.code, 0);
    QCOMPARE(quick.json.value(QStringLiteral("locked")), QJsonValue(false));
    for (const auto& client : waiting)
        QCOMPARE(client->state(), QProcess::Running);

    // One signal: every waiting client hears why, the options are written,
    // and the program is gone at once (no spinning wait survives the quit).
    QElapsedTimer timer;
    timer.start();
    zenara->terminate();
    QVERIFY(finish(*zenara));
    qInfo("ended %lld ms after the signal", timer.elapsed());
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed()))); // not hung
    QCOMPARE(zenara->exitCode(), 0);
    for (const auto& client : waiting) {
        QVERIFY(finish(*client));
        QCOMPARE(client->exitCode(), 1);
        QCOMPARE(QJsonDocument::fromJson(client->readAllStandardOutput())
                     .object()
                     .value(QStringLiteral("error"))
                     .toString(),
                 QStringLiteral("Zenara is shutting down"));
    }
    QSettings settings(run.settingsFile(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Settings/MaxAngle")).toInt(), 70);
}

void TestRemote::remoteRepliesSayWhatWasNotSaved()
{
    Run run;
    auto zenara = startWithSatellites(run, "[Settings]\nMaxTimeOfPositioning=200\n");
    QVERIFY(zenara);
    QCOMPARE(remoteCli(run, words("satellite 13.0E")).code, 0);
    // A folder where the settings file was: nothing can be written any more.
    QVERIFY(QFile::remove(run.settingsFile()));
    QVERIFY(QDir().mkpath(run.settingsFile()));
    for (const char* command : {"set MaxAngle 65", "set-position", "tune 10719 V 27500"}) {
        const Reply r = remoteCli(run, words(command));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.json.value(QStringLiteral("error"))
                     .toString()
                     .startsWith(QLatin1String("The settings could not be written")),
                 command);
    }
    // What could not be kept was still done.
    QCOMPARE(remoteCli(run, words("get MaxAngle")).json.value(QStringLiteral("value")).toInt(), 65);
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(zenara->readAllStandardError())
                .contains(QLatin1String("the changes of this session are lost")));
}

void TestRemote::setRefusesWhatTheDialogRefuses()
{
    Run run;
    auto zenara = startWithSatellites(run, "[Settings]\n");
    QVERIFY(zenara);
    for (const optionvalues::Key& key : optionvalues::keys()) {
        const double step = key.kind == optionvalues::Key::Kind::Real ? 0.1 : 1;
        const QString name = QLatin1String(key.name);
        const QJsonValue was =
            request(run, QStringLiteral("get"), {name}).value(QStringLiteral("value"));
        for (const double wrong : {key.minimum - step, key.maximum + step}) {
            const QJsonObject r =
                request(run, QStringLiteral("set"), {name, QString::number(wrong)});
            QCOMPARE(r.value(QStringLiteral("error")).toString(),
                     optionvalues::refusal(key, wrong));
        }
        QCOMPARE(request(run, QStringLiteral("get"), {name}).value(QStringLiteral("value")), was);
    }
    zenara->terminate();
    QVERIFY(finish(*zenara));
}

// One installation: the simulated dish stands at the site of the options, and
// a restart finds it where it was left, locked without a goto.
void TestRemote::aRestartFindsTheDishWhereItWasLeft()
{
    Run run;
    auto zenara = startWithSatellites(run, "[Settings]\nMaxTimeOfPositioning=200\n");
    QVERIFY(zenara);
    for (const char* command : {"set LocationLatitude 50", "set LocationLongitude 10",
                                "satellite 13.0E", "tune 10719 V 27500", "go"})
        QVERIFY2(remoteCli(run, words(command)).code == 0, command);
    QVERIFY(remoteCli(run, words("wait-lock 30")).json.value(QStringLiteral("locked")).toBool());
    zenara->terminate();
    QVERIFY(finish(*zenara));

    zenara = run.start({QStringLiteral("--trace"), run.path(QStringLiteral("t2.log"))});
    QTRY_VERIFY_WITH_TIMEOUT(remoteCli(run, words("status")).code == 0, 60000);
    const Reply r = remoteCli(run, words("wait-lock 10"));
    QVERIFY(r.json.value(QStringLiteral("locked")).toBool());
    QCOMPARE(r.json.value(QStringLiteral("frequency")).toInt(), 10719);
    QFile trace(run.path(QStringLiteral("t2.log")));
    QVERIFY(trace.open(QIODevice::ReadOnly));
    QVERIFY(!trace.readAll().contains(" 31 6E ")); // no goto was needed
    zenara->terminate();
    QVERIFY(finish(*zenara));
}

// "mount": the simulated mount's errors reported, turned and set as an
// installer turns its screws, refused without a change, and still turned
// after a restart.
void TestRemote::theSimulatedMountIsTurnedFromTheCommandLine()
{
    Run run;
    auto zenara = startWithSatellites(run, "[Settings]\n");
    QVERIFY(zenara);
    const auto errors = [](const QJsonObject& o) {
        QStringList values;
        for (const char* key : {"axis_azimuth", "axis_elevation", "declination", "motor_zero",
                                "latitude", "longitude"})
            values.append(QString::number(o.value(QLatin1String(key)).toDouble()));
        return values.join(QLatin1Char(' '));
    };
    const struct
    {
        const char* command;
        const char* errors; // nullptr: refused
    } rows[] = {
        {"mount", "0.15 0.3 0 0 45 42"},
        {"mount axis-azimuth=+0.3 declination=-0.2", "0.45 0.3 -0.2 0 45 42"},
        {"mount set axis-azimuth=0 motor-zero=1.5", "0 0.3 -0.2 1.5 45 42"},
        {"mount axis-elevation=0,2", nullptr},
        {"mount tilt=1", nullptr},
        {"mount axis-elevation=4.8", nullptr},
        {"mount set", nullptr},
        {"mount", "0 0.3 -0.2 1.5 45 42"}, // nothing changed by the refused ones
    };
    for (const auto& row : rows) {
        const Reply r = remoteCli(run, words(row.command));
        QCOMPARE(r.code, row.errors ? 0 : 1);
        if (row.errors)
            QCOMPARE(errors(r.json), QLatin1String(row.errors));
        else
            QVERIFY2(!r.json.value(QStringLiteral("error")).toString().isEmpty(), row.command);
    }
    zenara->terminate();
    QVERIFY(finish(*zenara));
    zenara = run.start({});
    QTRY_VERIFY_WITH_TIMEOUT(remoteCli(run, words("status")).code == 0, 60000);
    QCOMPARE(errors(request(run, QStringLiteral("mount"))), QStringLiteral("0 0.3 -0.2 1.5 45 42"));
    zenara->terminate();
    QVERIFY(finish(*zenara));
}

QTEST_GUILESS_MAIN(TestRemote)
#include "tst_remote.moc"
