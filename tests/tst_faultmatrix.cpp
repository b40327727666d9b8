// Every failure a receiver can show, with the real program running on it: the
// simulated card's injected faults and the scripted Linux DVB frontend's. Each
// run starts from a settings file with stored positions and remembered
// transponders, goes through a short session over the remote-control socket
// (tune, drive, store, raw message), keeps polling for a while and is closed.
// The program must carry on (or end with the fatal box), answer each action
// with the warning it owes, show nothing on its own more than once, and leave
// the settings file whole.

#include "programrun.h"

#include <QRegularExpression>
#include <QSettings>

namespace {

const QString SwitchFailed = QStringLiteral("CDVBFrontend::SendDiSEqCMsg(...) failed");
const QString ChannelFailed = QStringLiteral("CDVBFrontend::SetChannel(...) failed");
const QString StoreFailed = QStringLiteral("Frontend::tda10086_send_master_cmd(...) failed");
const QString MotorFailed = QStringLiteral("tda10086_send_master_cmd(...) failed");

const QByteArray Settings = "[Settings]\n"
                            "MaxTimeOfPositioning=200\n"
                            "MotorPositions=\"-1\\n-1\\n-1\\n-1\\n-1\\n1\\n-1\\n-1\\n\"\n"
                            "FreqList=\"11977,H,27500\", \"10719,V,27500\"\n"
                            "CurrentSat=0\n";

const QByteArray HealthyFrontend = "[frontend]\nname=Philips TDA10086 DVB-S\n"
                                   "[reception]\nstatus=0x1F\nstrength=relative:45000\n"
                                   "cnr=decibel:11000\nerrors=counter:50\nbits=counter:1000000\n"
                                   "blocks=counter:0\n";

struct Outcome
{
    QStringList replies; // the error of each session request, "" for none
    QMap<QString, int> boxes;
    QJsonObject status;
};

QString pullFile(const Run& run);

void prepare(const Run& run, const QByteArray& extraSettings, const QByteArray& script)
{
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"), Settings + extraSettings);
    run.writeFile(QStringLiteral("work/satlist.znr"),
                  "0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n");
    run.writeFile(QStringLiteral("work/Transponders/tk.ini"), "[DVB]\n0=1\n1=11977,H,27500,34\n");
    run.writeFile(QStringLiteral("work/Transponders/hb.ini"), "[DVB]\n0=1\n1=10719,V,27500,34\n");
    if (!script.isEmpty())
        run.writeFile(QStringLiteral("fe.ini"),
                      QByteArray(script).replace("PULL", QFile::encodeName(pullFile(run))));
}

// The card is pulled out when this file appears: at a moment the test chooses,
// whatever the machine's speed.
QString pullFile(const Run& run)
{
    return run.path(QStringLiteral("pulled"));
}

QString receiverText(const Run& run, const QString& receiver)
{
    QString text = receiver;
    return text.replace(QLatin1String("SCRIPT"), run.path(QStringLiteral("fe.ini")))
        .replace(QLatin1String("PULL"), pullFile(run));
}

int polls(const Run& run)
{
    return run.trace().filter(QStringLiteral("RD 1C 0E")).size();
}

QMap<QString, int> boxesIn(const QString& errors)
{
    static const QRegularExpression line(QStringLiteral("Message box \"[^\"]*\": ([^\\n]*)"));
    QMap<QString, int> boxes;
    for (auto it = line.globalMatch(errors); it.hasNext();)
        ++boxes[it.next().captured(1)];
    return boxes;
}

// The program on the receiver: started, waited for until it answers (then, with
// vanished, the card is pulled), taken through the session, left polling for
// extraPolls more polls and closed with SIGTERM.
bool session(const Run& run, const QString& receiver, Outcome* out, int extraPolls = 24,
             bool vanished = false)
{
    auto zenara = run.start({QStringLiteral("--receiver"), receiverText(run, receiver),
                             QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    auto alive = [&] {
        return !request(run, QStringLiteral("status"), {}, 2000).isEmpty();
    };
    if (!QTest::qWaitFor(alive, 60000)) {
        qWarning("no answer: %s", zenara->readAllStandardError().constData());
        return false;
    }
    // The session follows at once: its tune fails before the automatic re-tune
    // (after 5 s without lock) could.
    if (vanished)
        run.writeFile(QStringLiteral("pulled"), QByteArray());
    const QList<QStringList> requests = {
        {QStringLiteral("tune"), QStringLiteral("11977"), QStringLiteral("H"),
         QStringLiteral("27500")},
        {QStringLiteral("drive"), QStringLiteral("east"), QStringLiteral("3"),
         QStringLiteral("steps")},
        {QStringLiteral("store"), QStringLiteral("7")},
        {QStringLiteral("raw"), QStringLiteral("E0"), QStringLiteral("31"), QStringLiteral("63")},
    };
    for (const QStringList& words : requests) {
        const QJsonObject reply = request(run, words.first(), words.mid(1));
        if (reply.isEmpty()) {
            qWarning("no reply to %s", qPrintable(words.join(' ')));
            return false;
        }
        out->replies.append(reply.value(QStringLiteral("error")).toString());
    }
    const int until = polls(run) + extraPolls;
    if (!QTest::qWaitFor([&] { return polls(run) >= until; }, 120000)) {
        qWarning("the polls stopped at %d", polls(run));
        return false;
    }
    out->status = request(run, QStringLiteral("status"));
    zenara->terminate();
    if (!finish(*zenara) || zenara->exitCode() != 0) {
        qWarning("ended with %d: %s", zenara->exitCode(),
                 zenara->readAllStandardError().right(3000).constData());
        return false;
    }
    // What the session's replies carry is theirs: no box shows it.
    out->boxes = boxesIn(QString::fromLocal8Bit(zenara->readAllStandardError()));
    return true;
}

// The settings file parses and still holds what was stored before the run.
bool settingsIntact(const Run& run)
{
    QSettings s(run.settingsFile(), QSettings::IniFormat);
    const QStringList freq = s.value(QStringLiteral("Settings/FreqList")).toStringList();
    return s.status() == QSettings::NoError &&
           s.value(QStringLiteral("Settings/MotorPositions")).toString().section('\n', 5, 5) ==
               QLatin1String("1") &&
           freq.value(0) == QLatin1String("11977,H,27500") &&
           freq.value(1) == QLatin1String("10719,V,27500") &&
           s.contains(QStringLiteral("Geometry/MainwindowWidth")); // the write at exit happened
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void carriesOn_data();
    void carriesOn();
    void fatalAtOpen_data();
    void fatalAtOpen();
    void everyRegisterTheProgramUses();
};

void TestFaultMatrix::carriesOn_data()
{
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("vanishes");
    QTest::addColumn<QStringList>("replies"); // tune, drive, store, raw
    QTest::addColumn<QStringList>("boxes");   // shown on the program's own account

    const QStringList fine = {QString(), QString(), QString(), QString()};
    const QStringList motorDead = {QString(), MotorFailed, StoreFailed, MotorFailed};
    QTest::newRow("sim healthy") << "sim" << QByteArray() << QByteArray() << false << fine
                                 << QStringList();
    // The start-up tune says it once; the re-tunes every 5.5 s say nothing more.
    QTest::newRow("sim switch command fails")
        << "sim,fail=diseqc" << QByteArray("Diseqc=2\n") << QByteArray() << false
        << QStringList({SwitchFailed, QString(), QString(), QString()})
        << QStringList({SwitchFailed});
    QTest::newRow("sim every transfer fails") << "sim,bus-error=all" << QByteArray() << QByteArray()
                                              << false << motorDead << QStringList();
    QTest::newRow("sim LNB supply unreachable")
        << "sim,bus-error=lnb" << QByteArray() << QByteArray() << false << fine << QStringList();
    // A transmitter that never becomes ready only costs a debug line: the
    // message was handed over, whether it went out is unknown.
    QTest::newRow("sim DiSEqC transmitter stuck")
        << "sim,diseqc=stuck" << QByteArray() << QByteArray() << false << fine << QStringList();
    QTest::newRow("sim card vanishes")
        << "sim,vanish-on=PULL" << QByteArray() << QByteArray() << true
        << QStringList({ChannelFailed, MotorFailed, StoreFailed, MotorFailed}) << QStringList();

    QTest::newRow("dvb healthy") << "dvb-fake:SCRIPT" << QByteArray() << HealthyFrontend << false
                                 << fine << QStringList();
    QTest::newRow("dvb tuning refused")
        << "dvb-fake:SCRIPT" << QByteArray() << HealthyFrontend + "[fail]\nFE_SET_PROPERTY=5\n"
        << false << QStringList({ChannelFailed, QString(), QString(), QString()})
        << QStringList({ChannelFailed});
    QTest::newRow("dvb statistics unsupported")
        << "dvb-fake:SCRIPT" << QByteArray() << HealthyFrontend + "[fail]\nFE_GET_PROPERTY=95\n"
        << false << fine << QStringList();
    QTest::newRow("dvb DiSEqC times out")
        << "dvb-fake:SCRIPT" << QByteArray()
        << HealthyFrontend + "[fail]\nFE_DISEQC_SEND_MASTER_CMD=110\n"
        << false << motorDead << QStringList();
    QTest::newRow("dvb device vanishes")
        << "dvb-fake:SCRIPT" << QByteArray() << HealthyFrontend + "[fail]\nvanish-on=PULL\n"
        << true << QStringList({ChannelFailed, MotorFailed, StoreFailed, MotorFailed})
        << QStringList();
}

void TestFaultMatrix::carriesOn()
{
    QFETCH(QString, receiver);
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, script);
    QFETCH(bool, vanishes);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, boxes);

    Run run;
    prepare(run, settings, script);
    Outcome out;
    QVERIFY(session(run, receiver, &out, 24, vanishes));
    QCOMPARE(out.replies, replies);
    QMap<QString, int> expected;
    for (const QString& text : boxes)
        ++expected[text];
    QCOMPARE(out.boxes, expected);
    QVERIFY(settingsIntact(run));
    if (vanishes) {
        // Nothing can be read from a card that is gone: no lamp lit, no levels.
        for (const QJsonValue& lit : out.status.value(QStringLiteral("flags")).toObject())
            QVERIFY(!lit.toBool());
        QVERIFY(out.status.value(QStringLiteral("snr")).isNull());
    }
}

void TestFaultMatrix::fatalAtOpen_data()
{
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("message");
    QTest::newRow("sim no card") << "sim,fail=open" << QByteArray()
                                 << "CDVBCommon::OpenDevice(0) failed";
    QTest::newRow("sim frontend") << "sim,fail=init" << QByteArray()
                                  << "CDVBFrontend::Init() failed";
    QTest::newRow("sim library") << "sim,fail=bind" << QByteArray()
                                 << "Unknown version ttlcdacc.dll";
    QTest::newRow("dvb busy") << "dvb-fake:SCRIPT" << QByteArray("[frontend]\nopen=busy\n")
                              << "CDVBCommon::OpenDevice(0) failed";
    // The frontend's status is part of bringing it up.
    QTest::newRow("dvb status unreadable")
        << "dvb-fake:SCRIPT" << HealthyFrontend + "[fail]\nFE_READ_STATUS=5\n"
        << "CDVBFrontend::Init() failed";
    QTest::newRow("dvb not permitted")
        << "dvb-fake:SCRIPT" << QByteArray("[frontend]\nopen=denied\n")
        << "CDVBCommon::OpenDevice(0) failed";
}

void TestFaultMatrix::fatalAtOpen()
{
    QFETCH(QString, receiver);
    QFETCH(QByteArray, script);
    QFETCH(QString, message);

    Run run;
    prepare(run, QByteArray(), script);
    auto zenara = run.start({QStringLiteral("--receiver"), receiverText(run, receiver)});
    QVERIFY(finish(*zenara));
    QCOMPARE(zenara->exitCode(), 255);
    const QMap<QString, int> boxes =
        boxesIn(QString::fromLocal8Bit(zenara->readAllStandardError()));
    QCOMPARE(boxes, (QMap<QString, int>{{message, 1}}));
    // Not a byte of the settings file was touched.
    QFile file(run.settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), Settings);
}

void TestFaultMatrix::everyRegisterTheProgramUses()
{
    if (!qEnvironmentVariableIsSet("ZENARA_REGISTER_SWEEP"))
        QSKIP("run as tst_faultmatrix_registers, beside the rest");
    // The registers a healthy session reads and writes, from its trace.
    QSet<QString> registers;
    {
        Run run;
        prepare(run, QByteArray(), QByteArray());
        Outcome out;
        QVERIFY(session(run, QStringLiteral("sim"), &out, 4));
        static const QRegularExpression transfer(QStringLiteral("^(?:RD|WR) 1C ([0-9A-F]{2})"));
        for (const QString& line : run.trace()) {
            const auto m = transfer.match(line);
            if (m.hasMatch())
                registers.insert(m.captured(1));
        }
    }
    QVERIFY2(registers.size() >= 6, qPrintable(QStringList(registers.values()).join(' ')));
    QStringList sorted = registers.values();
    sorted.sort();
    for (const QString& reg : sorted) {
        Run run;
        prepare(run, QByteArray(), QByteArray());
        Outcome out;
        QVERIFY2(session(run, QStringLiteral("sim,bus-error=0x") + reg, &out, 8), qPrintable(reg));
        // Only the warnings these actions owe, each at most once per action:
        // nothing from the poll, however often it fails.
        const QMap<QString, int> limits = {{ChannelFailed, 1}, {MotorFailed, 0}, {StoreFailed, 0}};
        for (auto it = out.boxes.cbegin(); it != out.boxes.cend(); ++it)
            QVERIFY2(limits.contains(it.key()) && it.value() <= limits.value(it.key()),
                     qPrintable(reg + ": " + it.key()));
        for (const QString& error : out.replies)
            QVERIFY2(error.isEmpty() || error == ChannelFailed || error == MotorFailed ||
                         error == StoreFailed,
                     qPrintable(reg + ": " + error));
        QVERIFY2(settingsIntact(run), qPrintable(reg));
    }
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
