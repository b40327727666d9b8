#pragma once

// The program as a user starts it, in folders of its own: for the tests that
// run the real binary (ZENARA_BINARY) and talk to it.

#include "app/singleinstance.h"
#include "core/remoterequest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace programrun {

class Run
{
public:
    Run()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("config"));
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        QDir(m_dir.path()).mkpath(QStringLiteral("work"));
        ::chmod(QFile::encodeName(path(QStringLiteral("runtime"))).constData(), 0700);
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Shows the program's window on an X display rather than offscreen.
    void onDisplay(const QString& display) { m_display = display; }

    // Runs a copy of the program from this run's own folder, so that it does
    // not find the data the build put beside the original.
    void awayFromTheBuild()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
        m_binary = path(QStringLiteral("bin/zenara"));
        if (!QFile::copy(QStringLiteral(ZENARA_BINARY), m_binary))
            qFatal("cannot copy the program");
    }
    QString settingsFile() const { return path(QStringLiteral("config/Tavarin/zenara.ini")); }

    // A process set up like a user's, in this run's folders. Message boxes
    // close themselves after 50 ms unless boxesStay.
    std::unique_ptr<QProcess> start(const QStringList& arguments, bool boxesStay = false) const
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), path(QStringLiteral("state")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), path(QStringLiteral("system-data")));
        if (m_display.isEmpty()) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.insert(QStringLiteral("DISPLAY"), m_display);
        }
        if (boxesStay)
            env.remove(QStringLiteral("ZENARA_DIALOG_TIMEOUT_MS"));
        else
            env.insert(QStringLiteral("ZENARA_DIALOG_TIMEOUT_MS"), QStringLiteral("50"));
        env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(path(QStringLiteral("work")));
        process->start(m_binary, arguments);
        return process;
    }

    QStringList trace() const
    {
        QFile file(path(QStringLiteral("t.log")));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        QStringList events;
        for (const QString& line :
             QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            events.append(line.section(QLatin1Char(' '), 1));
        return events;
    }

    void writeFile(const QString& name, const QByteArray& content) const
    {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(name));
    }

    // Starts the program and waits for its first poll, then closes it with
    // SIGTERM; true when it ended normally.
    bool runUntilPolling(const QStringList& arguments = {}) const
    {
        QFile::remove(path(QStringLiteral("t.log"))); // from an earlier run
        auto zenara = start(
            arguments + QStringList({QStringLiteral("--trace"), path(QStringLiteral("t.log"))}));
        if (!zenara->waitForStarted() ||
            !QTest::qWaitFor(
                [this] { return !trace().filter(QStringLiteral("RD 1C 0E")).isEmpty(); }, 60000))
            return false;
        zenara->terminate();
        const bool normal = zenara->waitForFinished(60000) &&
                            zenara->exitStatus() == QProcess::NormalExit && zenara->exitCode() == 0;
        if (!normal)
            qWarning("%s", zenara->readAllStandardError().constData());
        return normal;
    }

private:
    QTemporaryDir m_dir;
    QString m_binary = QStringLiteral(ZENARA_BINARY);
    QString m_display;
};

// Waits until the process has written text to standard error; keeps what it read.
inline bool waitForError(QProcess& process, const QString& text, QString* seen)
{
    return QTest::qWaitFor(
        [&] {
            process.waitForReadyRead(50);
            *seen += QString::fromLocal8Bit(process.readAllStandardError());
            return seen->contains(text);
        },
        60000);
}

inline bool finish(QProcess& process)
{
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
}

// A request over the program's own socket, as "zenara --remote" sends it,
// without starting a client process; an empty object when nobody answers.
inline QJsonObject request(const Run& run, const QString& command, const QStringList& args = {},
                           int timeoutMs = 30000)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run.path(QStringLiteral("runtime"))));
    SingleInstance instance(QStringLiteral("Zenara"));
    qputenv("XDG_RUNTIME_DIR", saved);
    QByteArray reply;
    QString error;
    if (!instance.sendRequest(remote::encode(command, args), &reply, timeoutMs, &error))
        return QJsonObject();
    return QJsonDocument::fromJson(reply).object();
}

struct Reply
{
    int code = -1;
    QJsonObject json;
};

// One "zenara --remote ..." run against the program of this Run.
inline Reply remoteCli(const Run& run, const QStringList& words)
{
    auto client = run.start(QStringList(QStringLiteral("--remote")) + words);
    Reply r;
    if (!finish(*client))
        return r;
    r.code = client->exitCode();
    r.json = QJsonDocument::fromJson(client->readAllStandardOutput()).object();
    return r;
}

inline QStringList words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '));
}

// The program with two satellites and a slow motor, polling.
inline std::unique_ptr<QProcess> startWithSatellites(const Run& run, const QByteArray& settings)
{
    run.writeFile(QStringLiteral("config/Tavarin/zenara.ini"), settings);
    run.writeFile(QStringLiteral("work/satlist.znr"),
                  "0=42.0;Turksat;tk.ini\n1=13.0;Hot Bird;hb.ini\n");
    run.writeFile(QStringLiteral("work/Transponders/tk.ini"), "[DVB]\n0=1\n1=11977,H,27500,34\n");
    run.writeFile(QStringLiteral("work/Transponders/hb.ini"), "[DVB]\n0=1\n1=10719,V,27500,34\n");
    auto zenara = run.start({QStringLiteral("--trace"), run.path(QStringLiteral("t.log"))});
    if (!QTest::qWaitFor([&] { return !run.trace().filter(QStringLiteral("RD 1C 0E")).isEmpty(); },
                         60000))
        return nullptr;
    return zenara;
}

} // namespace programrun

using namespace programrun;
