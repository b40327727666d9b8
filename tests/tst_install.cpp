// Installed as a Linux desktop application: "cmake --install" into a fresh
// prefix gives the program, its data, translations, menu entry, icons,
// AppStream metainfo and man page, each passing its own validator, and the
// installed program started from / finds its data.

#include "app/commandline.h"
#include "core/remotecommands.h"
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <QtTest>

namespace {

struct Result
{
    int code = -1;
    QString output;
};

Result run(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
           const QString& folder = QString())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    Result r;
    if (!process.waitForFinished(120000))
        return r;
    r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.output = QString::fromUtf8(process.readAll());
    return r;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filesWhereLinuxLooks_data();
    void filesWhereLinuxLooks();
    void validators();
    void runsFromAnyFolder();

private:
    QTemporaryDir m_prefix;
    QTemporaryDir m_home;
    QString path(const QString& relative) const { return m_prefix.filePath(relative); }
    QProcessEnvironment userEnvironment() const;
};

void TestInstall::initTestCase()
{
    const Result install =
        run(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(ZENARA_BUILD_DIR),
                                      QStringLiteral("--prefix"), m_prefix.path()});
    QVERIFY2(install.code == 0, qPrintable(install.output));
}

void TestInstall::filesWhereLinuxLooks_data()
{
    QTest::addColumn<QString>("file");
    for (const char* file : {"bin/zenara", "share/zenara/satlist.znr", "share/zenara/lock.wav",
                             "share/zenara/Translations/zenara_ru.qm",
                             "share/zenara/Transponders/42.0E_Ku_band_Turksat_3A_4A_5B_6A.ini",
                             "share/applications/net.tavarin.Zenara.desktop",
                             "share/metainfo/net.tavarin.Zenara.metainfo.xml",
                             "share/icons/hicolor/scalable/apps/net.tavarin.Zenara.svg",
                             "share/icons/hicolor/48x48/apps/net.tavarin.Zenara.png",
                             "share/icons/hicolor/256x256/apps/net.tavarin.Zenara.png",
                             "share/man/man1/zenara.1", "share/doc/zenara/README.md"})
        QTest::newRow(file) << QString::fromLatin1(file);
}

void TestInstall::filesWhereLinuxLooks()
{
    QFETCH(QString, file);
    QVERIFY2(QFileInfo(path(file)).isFile(), qPrintable(file));
    if (file.endsWith(QLatin1String(".png"))) {
        const QImage icon(path(file));
        const int size = file.contains(QLatin1String("48x48")) ? 48 : 256;
        QCOMPARE(icon.size(), QSize(size, size));
    }
}

void TestInstall::validators()
{
    const Result desktop =
        run(QStringLiteral("desktop-file-validate"),
            {path(QStringLiteral("share/applications/net.tavarin.Zenara.desktop"))});
    QVERIFY2(desktop.code == 0 && !desktop.output.contains(QLatin1String("error")),
             qPrintable(desktop.output));
    const Result metainfo =
        run(QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--strict"),
             path(QStringLiteral("share/metainfo/net.tavarin.Zenara.metainfo.xml"))});
    QVERIFY2(metainfo.code == 0, qPrintable(metainfo.output));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    const Result man = run(QStringLiteral("man"),
                           {QStringLiteral("--warnings"), QStringLiteral("-l"),
                            path(QStringLiteral("share/man/man1/zenara.1"))},
                           env);
    QVERIFY2(man.code == 0 && man.output.contains(QLatin1String("--print-satellites")),
             qPrintable(man.output));
    QVERIFY2(!man.output.contains(QLatin1String("warning")), qPrintable(man.output));
    // Every option and every remote command, from the program's own tables.
    for (int i = 0; i < OptionRowCount; ++i)
        QVERIFY2(man.output.contains(QLatin1String("--") + QLatin1String(OptionRows[i].name)),
                 OptionRows[i].name);
    for (const remotecommands::Command* c : remotecommands::commands()) {
        const QString tag = QLatin1String("\n       ") + QLatin1String(c->name);
        QVERIFY2(man.output.contains(tag + QLatin1Char(' ')) ||
                     man.output.contains(tag + QLatin1Char('\n')),
                 c->name);
    }
    for (const char* section : {"FILES", "ENVIRONMENT", "EXIT STATUS", "EXAMPLES"})
        QVERIFY2(
            man.output.contains(QLatin1String("\n") + QLatin1String(section) + QLatin1Char('\n')),
            section);
    QVERIFY(!man.output.contains(QLatin1String("@")));
}

QProcessEnvironment TestInstall::userEnvironment() const
{
    // A user with nothing of Zenara's own: only the installed data to find.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), m_home.filePath(QStringLiteral("system")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

void TestInstall::runsFromAnyFolder()
{
    const QString zenara = path(QStringLiteral("bin/zenara"));
    const Result sats =
        run(zenara, {QStringLiteral("--print-satellites")}, userEnvironment(), QStringLiteral("/"));
    QCOMPARE(sats.code, 0);
    // The shipped list: over a hundred satellites above the default site's horizon.
    QVERIFY2(sats.output.count(QLatin1Char('\n')) > 100, qPrintable(sats.output.left(500)));
    QVERIFY(sats.output.contains(QStringLiteral("[ 0.0°E]  42.0°E Ku-band Turksat")));

    // The translation is found there too.
    QProcessEnvironment russian = userEnvironment();
    russian.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
    russian.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8"));
    const Result help = run(zenara, {QStringLiteral("--help")}, russian, QStringLiteral("/"));
    QVERIFY2(help.output.contains(QStringLiteral("Приёмники:")), qPrintable(help.output));

    // The window on the simulated receiver sees the full sky.
    QProcess window;
    QProcessEnvironment env = userEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("runtime")));
    QDir().mkpath(m_home.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(m_home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zenara.sim.debug=true"));
    env.insert(QStringLiteral("ZENARA_DIALOG_TIMEOUT_MS"), QStringLiteral("50"));
    window.setProcessEnvironment(env);
    window.setWorkingDirectory(QStringLiteral("/"));
    window.setProcessChannelMode(QProcess::MergedChannels);
    window.start(zenara, {});
    QString output;
    const QString expected = QStringLiteral("Sky: 208 satellites from ") +
                             QDir::cleanPath(path(QStringLiteral("share/zenara/satlist.znr")));
    QVERIFY(QTest::qWaitFor(
        [&] {
            output += QString::fromUtf8(window.readAll());
            return output.contains(expected);
        },
        60000));
    window.terminate();
    QVERIFY(window.waitForFinished(60000));
    QCOMPARE(window.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
