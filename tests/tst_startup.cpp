// The program as a user starts it: the fatal start-up paths, a clean run with
// a trace, a second copy, and shutdown on SIGTERM. Each run gets its own
// configuration and runtime folders, so the user's settings are never touched.

#include "app/singleinstance.h"
#include "programrun.h"
#include "xdesktop.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void fatalCardErrors_data();
    void fatalCardErrors();
    void badReceiverString();
    void badSimulationFile();
    void versionAndHelp();
    void terminalModes();
    void runSecondCopyAndTerminate();
    void damagedSettingsStartAndAreNotWrittenBack();
    void rememberedTranspondersSurviveAMissingList();
    void signalDuringAStartUpBox();
    void signalDuringTheFatalBox();
    void signalWhileAskingAHungCopy();
    void importIntoTheUserDataFolder();
    void seededRunsReadAlike();
    void runsOnAFakeDvbFrontend();
    void signalLog();
    void buildFolderDataIsFound();
    void pipesAndDevicesDoNotHoldItUp();
    void windowStaysWhereItWasLeft();
};

void TestStartup::fatalCardErrors_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("trace");
    QTest::newRow("no card") << "open"
                             << "CDVBCommon::OpenDevice(0) failed" << QStringList();
    QTest::newRow("frontend") << "init"
                              << "CDVBFrontend::Init() failed" << QStringList({"OPEN"});
    QTest::newRow("library") << "bind"
                             << "Unknown version ttlcdacc.dll" << QStringList({"OPEN", "INIT"});
}

void TestStartup::fatalCardErrors()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(QStringList, trace);

    Run run;
    auto zenara = run.start({QStringLiteral("--receiver"), QStringLiteral("sim,fail=") + fault,
                             QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 255); // -1
    const QString errors = QString::fromLocal8Bit(zenara->readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("Message box \"Fatal error\": ") + message),
             qPrintable(errors));
    QVERIFY(!QFile::exists(run.settingsFile()));
    // Ended at once: the card is not closed.
    QCOMPARE(run.trace(), trace);
}

void TestStartup::badReceiverString()
{
    Run run;
    auto zenara = run.start({QStringLiteral("--receiver"), QStringLiteral("sim,fail=sometimes")});
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(zenara->readAllStandardError())
                .contains(QStringLiteral("fail= takes open, init, bind or diseqc")));
    QVERIFY(!QFile::exists(run.settingsFile()));

    // A mistyped option or a missing value is said before any display is
    // needed (here there is none to be had), with status 2.
    Run noDisplay;
    noDisplay.onDisplay(QStringLiteral(":4242"));
    for (const QStringList& args :
         {QStringList{QStringLiteral("--recevier"), QStringLiteral("sim")},
          QStringList{QStringLiteral("--web")}}) {
        auto typo = noDisplay.start(args);
        QVERIFY(finish(*typo));
        QCOMPARE(typo->exitStatus(), QProcess::NormalExit);
        QCOMPARE(typo->exitCode(), 2);
        QVERIFY(QString::fromLocal8Bit(typo->readAllStandardError())
                    .contains(QStringLiteral("--help")));
    }

    // No DVB card on this machine: "dvb" says what is missing ...
    if (QDir(QStringLiteral("/dev/dvb")).exists())
        return; // a machine with a card: nothing is missing
    auto dvb = run.start({QStringLiteral("--receiver"), QStringLiteral("dvb")});
    QVERIFY(finish(*dvb));
    QCOMPARE(dvb->exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(dvb->readAllStandardError())
                .contains(QStringLiteral("No DVB satellite frontend in /dev/dvb")));
    // ... and --list-receivers that there is none.
    auto list = run.start({QStringLiteral("--list-receivers")});
    QVERIFY(finish(*list));
    QCOMPARE(list->exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(list->readAllStandardOutput()),
             QStringLiteral("No DVB frontend found in /dev/dvb.\n"));
}

void TestStartup::badSimulationFile()
{
    Run run;
    QFile file(run.path(QStringLiteral("sim.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[dish]\ndiameter=large\n");
    file.close();
    auto zenara = run.start({QStringLiteral("--sim-config"), file.fileName()});
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(zenara->readAllStandardError())
                .contains(QStringLiteral("dish/diameter is not a number: \"large\"")));
    QVERIFY(!QFile::exists(run.settingsFile()));
}

void TestStartup::versionAndHelp()
{
    Run run;
    auto version = run.start({QStringLiteral("--version")});
    QVERIFY(finish(*version));
    QCOMPARE(version->exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(version->readAllStandardOutput()).trimmed(),
             QStringLiteral("zenara 2.02"));

    auto help = run.start({QStringLiteral("--help")});
    QVERIFY(finish(*help));
    const QString text = QString::fromLocal8Bit(help->readAllStandardOutput());
    QVERIFY(text.contains(QStringLiteral("--receiver <name[,options]>")));
    QVERIFY(text.contains(QStringLiteral("bus-error=all|lnb|REG")));

    // In Russian all of it, Qt's own lines too.
    QProcess russian;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.remove(QStringLiteral("LANGUAGE"));
    russian.setProcessEnvironment(env);
    russian.start(QStringLiteral(ZENARA_BINARY), {QStringLiteral("--help")});
    QVERIFY(finish(russian));
    const QString ru = QString::fromUtf8(russian.readAllStandardOutput());
    for (const char* line : {"Использование:", "Вывод справки по параметрам командной строки.",
                             "Используемый приёмник", "симулятор карты"})
        QVERIFY2(ru.contains(QString::fromUtf8(line)), qPrintable(ru));
}

void TestStartup::terminalModes()
{
    Run run;
    const QString work = run.path(QStringLiteral("work"));
    QFile xml(run.path(QStringLiteral("sats.xml")));
    QVERIFY(xml.open(QIODevice::WriteOnly));
    xml.write("<?xml version=\"1.0\"?>\n<satellites>\n<sat name=\"42.0E Turksat\" "
              "position=\"420\">\n<transponder frequency=\"11977000\" symbol_rate=\"27500000\" "
              "polarization=\"0\" fec_inner=\"3\" system=\"0\"/>\n</sat>\n<sat name=\"130.0E "
              "Far\" position=\"1300\">\n</sat>\n</satellites>\n");
    xml.close();

    auto import =
        run.start({QStringLiteral("--import"), xml.fileName(), QStringLiteral("--into"), work});
    QVERIFY(finish(*import));
    QCOMPARE(import->exitCode(), 0);
    QVERIFY(QFile::exists(run.path(QStringLiteral("work/satlist.znr"))));
    // A second import of the same satellites neither overwrites nor doubles.
    auto again =
        run.start({QStringLiteral("--import"), xml.fileName(), QStringLiteral("--into"), work});
    QVERIFY(finish(*again));
    QCOMPARE(again->exitCode(), 1);
    QVERIFY(again->readAllStandardError().contains("already; nothing was written"));

    auto sats = run.start({QStringLiteral("--print-satellites")});
    QVERIFY(finish(*sats));
    QCOMPARE(QString::fromUtf8(sats->readAllStandardOutput()),
             QStringLiteral("[ 0.0°E]  42.0°E Turksat\n"));
    auto elsewhere = run.start(
        {QStringLiteral("--print-satellites"), QStringLiteral("--site"), QStringLiteral("10,170")});
    QVERIFY(finish(*elsewhere));
    QCOMPARE(QString::fromUtf8(elsewhere->readAllStandardOutput()),
             QStringLiteral("[46.2°W] 130.0°E Far\n"));
    // A name that would steer the terminal is printed with its codes escaped.
    run.writeFile(QStringLiteral("work/satlist.znr"), "0=42.0;Turk\x1b[2Jsat\x07;t.ini\n");
    auto escaped = run.start({QStringLiteral("--print-satellites")});
    QVERIFY(finish(*escaped));
    QCOMPARE(QString::fromUtf8(escaped->readAllStandardOutput()),
             QStringLiteral("[ 0.0°E]  42.0°E Turk\\x{1b}[2Jsat\\x{07}\n"));

    // "nan" converts to a double, but is no place on Earth.
    for (const char* site : {"nan,10", "45,inf", "91,0"}) {
        auto refused = run.start({QStringLiteral("--print-satellites"), QStringLiteral("--site"),
                                  QString::fromLatin1(site)});
        QVERIFY(finish(*refused));
        QCOMPARE(refused->exitCode(), 2);
        QVERIFY(refused->readAllStandardOutput().isEmpty());
    }

    auto tps = run.start({QStringLiteral("--print-transponders"),
                          run.path(QStringLiteral("work/Transponders/42.0E_Turksat.ini"))});
    QVERIFY(finish(*tps));
    QCOMPARE(QString::fromUtf8(tps->readAllStandardOutput()), QStringLiteral("11977, H, 27500\n"));
    // None of this touched the card or the settings.
    QVERIFY(!QFile::exists(run.settingsFile()));
}

void TestStartup::runSecondCopyAndTerminate()
{
    Run run;
    auto first = run.start({QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    QVERIFY(first->waitForStarted());
    // Running once the first poll has read the flags.
    QTRY_VERIFY_WITH_TIMEOUT(!run.trace().filter(QStringLiteral("RD 1C 0E")).isEmpty(), 60000);

    // The second copy finds the first, says so and leaves everything alone.
    auto second = run.start({QStringLiteral("--trace"), run.path(QStringLiteral("t2.log"))});
    QVERIFY(finish(*second));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(second->readAllStandardError())
                .contains(QStringLiteral("Zenara is already running")));
    QVERIFY(!QFile::exists(run.path(QStringLiteral("t2.log"))));

    // ... and the first comes to the front.
    QString firstErrors;
    QTRY_VERIFY_WITH_TIMEOUT((firstErrors += QString::fromLocal8Bit(first->readAllStandardError()))
                                 .contains(QStringLiteral("window brought to the front")),
                             30000);

    // SIGTERM closes the window like a user would: settings written, card closed.
    first->terminate();
    QVERIFY(finish(*first));
    firstErrors += QString::fromLocal8Bit(first->readAllStandardError());
    QVERIFY2(first->exitCode() == 0, qPrintable(firstErrors));
    const QStringList trace = run.trace();
    QCOMPARE(trace.mid(0, 5),
             QStringList({"OPEN", "INIT", "WR 1C 02 35",
                          "FE_CHANNEL freq=11044000 mode=1 sr=39999000 lof=9750000 hi=0 volt=18",
                          "WR 10 4C"}));
    // Each poll reads AGC, the three error-count registers, SNR and the flags.
    QStringList reads;
    for (const QString& event : trace)
        if (event.startsWith(QLatin1String("RD 1C")))
            reads.append(event.section(QLatin1Char(' '), 0, 2));
    QVERIFY(reads.size() >= 6);
    QCOMPARE(reads.mid(0, 6),
             QStringList({"RD 1C 43", "RD 1C 15", "RD 1C 16", "RD 1C 17", "RD 1C 1C", "RD 1C 0E"}));
    QCOMPARE(trace.last(), QStringLiteral("CLOSE"));
    QVERIFY(QFile::exists(run.settingsFile()));
    QSettings settings(run.settingsFile(), QSettings::IniFormat);
    // The default 439 x 592, or the window's minimum size where that is larger.
    QVERIFY(settings.value(QStringLiteral("Geometry/MainwindowWidth")).toInt() >= 439);
    QVERIFY(settings.value(QStringLiteral("Geometry/MainwindowHeight")).toInt() >= 592);
    QCOMPARE(settings.value(QStringLiteral("Geometry/MainwindowMaximized")).toBool(), false);
}

void TestStartup::damagedSettingsStartAndAreNotWrittenBack()
{
    Run run;
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"),
                  "[Geometry]\nMainwindowWidth=2147483647\nMainwindowHeight=2147483647\n"
                  "MainwindowX=2147483647\n"
                  "[Settings]\nOneDegreSteps=nan\nMaxAngle=2147483647\nLocationLatitude=inf\n"
                  "LocationLongitude=1e308\nAcousticFreqMaxHz=2147483647\n"
                  "AcousticScaleMin=-2147483648\nGAPTime=-5\n");
    QVERIFY(run.runUntilPolling());
    QSettings settings(run.settingsFile(), QSettings::IniFormat);
    // The offscreen screen is 800 x 600: at most twice that.
    const int width = settings.value(QStringLiteral("Geometry/MainwindowWidth")).toInt();
    const int height = settings.value(QStringLiteral("Geometry/MainwindowHeight")).toInt();
    QVERIFY2(width > 0 && width <= 1600 && height > 0 && height <= 1200,
             qPrintable(QStringLiteral("%1 x %2").arg(width).arg(height)));
    QCOMPARE(settings.value(QStringLiteral("Settings/OneDegreSteps")).toString(),
             QStringLiteral("9.6"));
    QCOMPARE(settings.value(QStringLiteral("Settings/MaxAngle")).toString(), QStringLiteral("80"));
    QCOMPARE(settings.value(QStringLiteral("Settings/LocationLatitude")).toString(),
             QStringLiteral("45"));
    QCOMPARE(settings.value(QStringLiteral("Settings/LocationLongitude")).toString(),
             QStringLiteral("42"));
    QCOMPARE(settings.value(QStringLiteral("Settings/AcousticFreqMaxHz")).toString(),
             QStringLiteral("1000"));
    QCOMPARE(settings.value(QStringLiteral("Settings/AcousticScaleMin")).toString(),
             QStringLiteral("50"));
    QCOMPARE(settings.value(QStringLiteral("Settings/GAPTime")).toString(), QStringLiteral("200"));
}

void TestStartup::rememberedTranspondersSurviveAMissingList()
{
    Run run;
    run.awayFromTheBuild();
    const QByteArray stored = "[Settings]\nFreqList=\"11977,H,27500\", None, \"10719,V,27500\"\n";
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"), stored);
    const QStringList remembered({"11977,H,27500", "None", "10719,V,27500"});
    auto freqList = [&run] {
        return QSettings(run.settingsFile(), QSettings::IniFormat)
            .value(QStringLiteral("Settings/FreqList"))
            .toStringList();
    };
    QCOMPARE(freqList(), remembered);

    // No satellite list anywhere: the list is written back as it was.
    QVERIFY(run.runUntilPolling());
    QCOMPARE(freqList(), remembered);

    // A list with a fourth satellite: the three entries stay with their
    // satellites, the new one starts with "None".
    run.writeFile(QStringLiteral("work/satlist.znr"),
                  "0=42.0;Turksat;a.ini\n1=13.0;Hot Bird;b.ini\n2=19.2;Astra;c.ini\n"
                  "3=9.0;Eutelsat;d.ini\n");
    QVERIFY(run.runUntilPolling());
    QCOMPARE(freqList(), remembered + QStringList({"None"}));
}

void TestStartup::signalDuringAStartUpBox()
{
    Run run;
    // 1 MHz is out of range: the first tune shows a warning box during start-up.
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"),
                  "[Settings]\nFreqency=1\n[Geometry]\nMainwindowX=-20\nMainwindowY=40\n"
                  "MainwindowWidth=800\nMainwindowHeight=700\nMainwindowMaximized=1\n");
    auto zenara = run.start({}, true);
    QString errors;
    QVERIFY2(waitForError(*zenara, QStringLiteral("Message box \"Error\""), &errors),
             qPrintable(errors));
    QElapsedTimer timer;
    timer.start();
    zenara->terminate(); // once
    QVERIFY(finish(*zenara));
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed()))); // not hung
    QCOMPARE(zenara->exitCode(), 0);
    // The normal shutdown: the settings were written, the window's place as
    // stored (it was never shown, so its own size says nothing).
    QSettings settings(run.settingsFile(), QSettings::IniFormat);
    QVERIFY(settings.contains(QStringLiteral("Settings/OneDegreSteps")));
    QCOMPARE(settings.value(QStringLiteral("Settings/Freqency")).toInt(), 1);
    QCOMPARE(settings.value(QStringLiteral("Geometry/MainwindowX")).toInt(), -20);
    QCOMPARE(settings.value(QStringLiteral("Geometry/MainwindowY")).toInt(), 40);
    QCOMPARE(settings.value(QStringLiteral("Geometry/MainwindowWidth")).toInt(), 800);
    QCOMPARE(settings.value(QStringLiteral("Geometry/MainwindowHeight")).toInt(), 700);
    QCOMPARE(settings.value(QStringLiteral("Geometry/MainwindowMaximized")).toInt(), 1);
}

void TestStartup::signalWhileAskingAHungCopy()
{
    Run run;
    // Something accepts on the program's socket but never answers.
    const passwd* pw = getpwuid(getuid());
    QLocalServer hung;
    QVERIFY(hung.listen(run.path(QStringLiteral("runtime/Zenara-")) +
                        QString::fromLocal8Bit(pw->pw_name)));
    auto zenara = run.start({});
    QVERIFY(zenara->waitForStarted());
    QVERIFY(QTest::qWaitFor([&hung] { return hung.hasPendingConnections(); }, 30000));
    QElapsedTimer timer;
    timer.start();
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed()))); // not hung
    QCOMPARE(zenara->exitCode(), 0);
    QVERIFY(!QFile::exists(run.settingsFile())); // nothing was read, nothing is written
}

void TestStartup::signalDuringTheFatalBox()
{
    Run run;
    auto zenara = run.start({QStringLiteral("--receiver"), QStringLiteral("sim,fail=open")}, true);
    QString errors;
    QVERIFY2(waitForError(*zenara, QStringLiteral("Message box \"Fatal error\""), &errors),
             qPrintable(errors));
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 255); // the fatal exit, settings untouched
    QVERIFY(!QFile::exists(run.settingsFile()));
}

void TestStartup::importIntoTheUserDataFolder()
{
    Run run;
    run.writeFile(QStringLiteral("Turksat-42.0E"),
                  "[channel 11977000]\nFREQUENCY = 11977000\nPOLARIZATION = HORIZONTAL\n"
                  "SYMBOL_RATE = 27500000\n\n[T\xC3\xBCrksat]\nFREQUENCY = 12000000\n"
                  "POLARIZATION = HORIZONTAL\nSYMBOL_RATE = 663-000\n");
    const QString table = run.path(QStringLiteral("Turksat-42.0E"));
    // As the README says: into ~/.local/share/zenara (here $XDG_DATA_HOME/zenara).
    const QString into = run.path(QStringLiteral("data/zenara"));

    auto strict = run.start({QStringLiteral("--import"), table, QStringLiteral("--into"), into,
                             QStringLiteral("--strict")});
    QVERIFY(finish(*strict));
    QCOMPARE(strict->exitCode(), 1);
    QVERIFY(!QFile::exists(into + QStringLiteral("/satlist.znr")));

    auto import = run.start({QStringLiteral("--import"), table, QStringLiteral("--into"), into});
    QVERIFY(finish(*import));
    QCOMPARE(import->exitCode(), 0);
    const QString errors = QString::fromUtf8(import->readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("Turksat-42.0E:6: symbol rate is not a number: "
                                            "\"663-000\", entry skipped")),
             qPrintable(errors));
    QCOMPARE(QString::fromUtf8(import->readAllStandardOutput()),
             QStringLiteral("Wrote 1 satellites with 1 transponders to ") + into +
                 QStringLiteral("; 1 entries skipped\n"));

    // Started from an empty folder, the program finds the list there.
    auto sats = run.start({QStringLiteral("--print-satellites")});
    QVERIFY(finish(*sats));
    QCOMPARE(sats->exitCode(), 0);
    QCOMPARE(QString::fromUtf8(sats->readAllStandardOutput()),
             QStringLiteral("[ 0.0°E]  42.0°E Turksat\n"));
}

void TestStartup::seededRunsReadAlike()
{
    // Two programs with seed 5, side by side (each has its own user folders),
    // doing the same: their first 40 polls read the same values, whatever the
    // timing of each read.
    Run one, two;
    for (const Run* run : {&one, &two})
        run->writeFile(QStringLiteral("sim.ini"), "[noise]\nseed=5\n");
    auto first = one.start({QStringLiteral("--sim-config"), one.path(QStringLiteral("sim.ini")),
                            QStringLiteral("--trace"), one.path(QStringLiteral("t.log"))});
    auto second = two.start({QStringLiteral("--sim-config"), two.path(QStringLiteral("sim.ini")),
                             QStringLiteral("--trace"), two.path(QStringLiteral("t.log"))});
    auto polls = [](const Run& run) {
        QStringList reads;
        int count = 0;
        for (const QString& event : run.trace()) {
            if (!event.startsWith(QLatin1String("RD 1C")))
                continue;
            reads.append(event);
            if (event.startsWith(QLatin1String("RD 1C 0E")) && ++count == 40)
                return reads;
        }
        return QStringList();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!polls(one).isEmpty() && !polls(two).isEmpty(), 90000);
    for (auto* process : {first.get(), second.get()}) {
        process->terminate();
        QVERIFY(finish(*process));
    }
    const QStringList reads = polls(one);
    QCOMPARE(reads, polls(two));
    // Noise, so that there is something to compare: the AGC moves.
    QStringList agc = reads.filter(QStringLiteral("RD 1C 43"));
    QCOMPARE(agc.size(), 40);
    agc.removeDuplicates();
    QVERIFY(agc.size() > 2);
}

void TestStartup::runsOnAFakeDvbFrontend()
{
    Run run;
    run.writeFile(QStringLiteral("fe.ini"),
                  "[frontend]\nname=Philips TDA10086 DVB-S\n[reception]\nstatus=0x1F\n"
                  "strength=relative:45000\ncnr=decibel:11000\nerrors=counter:50\n"
                  "bits=counter:1000000\nblocks=counter:0\n");
    auto zenara = run.start({QStringLiteral("--receiver"),
                             QStringLiteral("dvb-fake:") + run.path(QStringLiteral("fe.ini")),
                             QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    QTRY_VERIFY_WITH_TIMEOUT(run.trace().filter(QStringLiteral("RD 1C 0E")).size() >= 2, 60000);
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 0);
    const QStringList trace = run.trace();
    QVERIFY(trace.contains(QStringLiteral("FE_GET_INFO Philips TDA10086 DVB-S")));
    // The default transponder, 11044 MHz H: low band, IF 1294 MHz, 18 V, no tone.
    QVERIFY2(
        trace.contains(QStringLiteral("FE_SET_PROPERTY freq=1294000 sr=39999000 volt=18 tone=off")),
        qPrintable(trace.join(QLatin1Char('\n'))));
    // The tune set the supply: the supply byte after it repeats nothing.
    QVERIFY(trace.filter(QStringLiteral("FE_SET_VOLTAGE")).isEmpty());
    // The poll reads the kernel's measurements as the chip's registers.
    QVERIFY(trace.contains(QStringLiteral("RD 1C 0E 1F")));
    QVERIFY(trace.contains(QStringLiteral("RD 1C 43 50"))); // 255 - 45000 x 255 / 65535
    QVERIFY(trace.contains(QStringLiteral("RD 1C 1C 74"))); // 255 - (40 + 9 x 11)

    // A device another program holds: the fatal box, and the reason on the terminal.
    Run busy;
    busy.writeFile(QStringLiteral("fe.ini"), "[frontend]\nopen=busy\n");
    auto refused = busy.start({QStringLiteral("--receiver"),
                               QStringLiteral("dvb-fake:") + busy.path(QStringLiteral("fe.ini"))});
    QVERIFY(finish(*refused));
    QCOMPARE(refused->exitCode(), 255);
    const QString errors = QString::fromLocal8Bit(refused->readAllStandardError());
    QVERIFY2(errors.contains(QLatin1String("busy: another program has it open")),
             qPrintable(errors));
    QVERIFY(errors.contains(QLatin1String("CDVBCommon::OpenDevice(0) failed")));
    // ... in the box too, under its first line.
    QVERIFY2(errors.contains(QRegularExpression(
                 QStringLiteral("OpenDevice\\(0\\) failed\\n[^\\n]*busy: another program"))),
             qPrintable(errors));
}

void TestStartup::signalLog()
{
    Run run;
    auto zenara = run.start({QStringLiteral("--log"), run.path(QStringLiteral("dish.csv")),
                             QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    QTRY_VERIFY_WITH_TIMEOUT(run.trace().filter(QStringLiteral("RD 1C 0E")).size() >= 3, 60000);
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 0);
    QFile file(run.path(QStringLiteral("dish.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 3);
    QVERIFY(lines.first().startsWith(QLatin1String("time,frequency_mhz,polarisation")));
    // The default transponder, the flags and the levels, in local time with its offset.
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}"
                                "(Z|[+-]\\d\\d:\\d\\d),11044,H,39999,0x[0-9a-f]{2},0,\\d+\\.\\d,"))
                 .match(lines.at(1))
                 .hasMatch(),
             qPrintable(lines.at(1)));

    // A log that cannot be written: said, and the program runs on.
    Run folder;
    QDir().mkpath(folder.path(QStringLiteral("taken")));
    auto second = folder.start({QStringLiteral("--log"), folder.path(QStringLiteral("taken")),
                                QStringLiteral("--trace"), folder.path(QStringLiteral("t.log"))});
    QTRY_VERIFY_WITH_TIMEOUT(!folder.trace().filter(QStringLiteral("RD 1C 0E")).isEmpty(), 60000);
    second->terminate();
    QVERIFY(finish(*second));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(second->readAllStandardError())
                .contains(QLatin1String("cannot be written")));
}

void TestStartup::buildFolderDataIsFound()
{
    // The program of the build run from another folder (the repository's
    // root, say) with no data of the user's: it takes the data the build put
    // beside it, as an installed one does.
    Run run;
    auto zenara = run.start({QStringLiteral("--print-satellites")});
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 0);
    const QStringList lines = QString::fromUtf8(zenara->readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() > 50, qPrintable(lines.join('\n')));
    QVERIFY(!lines.filter(QStringLiteral("Astra")).isEmpty());
}

void TestStartup::pipesAndDevicesDoNotHoldItUp()
{
    // Where files should be: pipes nobody writes to or reads from, and a
    // device that never ends. The simulator reads every transponder file at
    // start, the window the chosen satellite's, the log is opened for writing.
    Run run;
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"), "[Settings]\nCurrentSat=2\n");
    run.writeFile(QStringLiteral("work/satlist.znr"),
                  "0=42.0;Turksat;pipe.ini\n1=13.0;Hot Bird;zero.ini\n");
    QVERIFY(QDir().mkpath(run.path(QStringLiteral("work/Transponders"))));
    QCOMPARE(
        ::mkfifo(QFile::encodeName(run.path(QStringLiteral("work/Transponders/pipe.ini"))), 0600),
        0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"),
                        run.path(QStringLiteral("work/Transponders/zero.ini"))));
    QCOMPARE(::mkfifo(QFile::encodeName(run.path(QStringLiteral("log.csv"))), 0600), 0);
    auto zenara = run.start({QStringLiteral("--log"), run.path(QStringLiteral("log.csv")),
                             QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    QTRY_VERIFY_WITH_TIMEOUT(!run.trace().filter(QStringLiteral("RD 1C 0E")).isEmpty(), 60000);
    QCOMPARE(remoteCli(run, words("satellite 42.0E")).code, 0);
    QCOMPARE(remoteCli(run, words("satellite 13.0E")).code, 0);
    zenara->terminate();
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(zenara->readAllStandardError());
    QVERIFY2(errors.contains(QLatin1String("it is a pipe (FIFO), not a file")), qPrintable(errors));
}

namespace {

// Where the window manager put the frame of Zenara's window, from xwininfo.
QPoint framePosition(const QString& display)
{
    QProcess info;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    info.setProcessEnvironment(env);
    info.start(QStringLiteral("xwininfo"),
               {QStringLiteral("-name"), QStringLiteral("Zenara 2.02")});
    if (!info.waitForFinished(10000))
        return QPoint(-1, -1);
    int values[4] = {};
    const char* names[4] = {"Absolute upper-left X:", "Absolute upper-left Y:",
                            "Relative upper-left X:", "Relative upper-left Y:"};
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    for (int i = 0; i < 4; ++i) {
        const int at = text.indexOf(QLatin1String(names[i]));
        if (at < 0)
            return QPoint(-1, -1);
        values[i] = text.mid(at + int(strlen(names[i]))).section(QLatin1Char('\n'), 0, 0).toInt();
    }
    return QPoint(values[0] - values[2], values[1] - values[3]);
}

} // namespace

void TestStartup::windowStaysWhereItWasLeft()
{
    // Under a window manager the frame is not known before the window is
    // shown: the window once crept up by its title bar at every start.
    XDesktop desktop;
    QVERIFY(desktop.start());
    Run run;
    run.onDisplay(desktop.display());
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"),
                  "[Geometry]\nMainwindowX=100\nMainwindowY=100\nMainwindowWidth=800\n"
                  "MainwindowHeight=700\n");
    for (int start = 0; start < 3; ++start) {
        auto zenara = run.start({});
        QVERIFY2(QTest::qWaitFor(
                     [&] { return framePosition(desktop.display()) == QPoint(100, 100); }, 60000),
                 qPrintable(QStringLiteral("start %1: the frame is at %2,%3")
                                .arg(start)
                                .arg(framePosition(desktop.display()).x())
                                .arg(framePosition(desktop.display()).y())));
        zenara->terminate();
        QVERIFY(finish(*zenara));
        QSettings stored(run.settingsFile(), QSettings::IniFormat);
        QCOMPARE(QPoint(stored.value(QStringLiteral("Geometry/MainwindowX")).toInt(),
                        stored.value(QStringLiteral("Geometry/MainwindowY")).toInt()),
                 QPoint(100, 100));
    }
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
