#pragma once

// A real X display with a window manager, for what only shows under one: an
// Xvfb screen of 1366 x 768 (a laptop's) with openbox on it.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

class XDesktop
{
public:
    // False (with a warning) when Xvfb or openbox cannot be started.
    bool start()
    {
        for (int n = 90 + int(::getpid() % 50); n < 200; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_display = QStringLiteral(":%1").arg(n);
            m_server.start(QStringLiteral("Xvfb"),
                           {m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1366x768x24"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
            if (!m_server.waitForStarted(10000))
                break;
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
            if (!QTest::qWaitFor([&] { return QFile::exists(socket); }, 20000))
                break;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("DISPLAY"), m_display);
            m_manager.setProcessEnvironment(env);
            m_manager.start(QStringLiteral("openbox"), {});
            if (!m_manager.waitForStarted(10000))
                break;
            // Ready once it has said so on the root window.
            auto managed = [&env] {
                QProcess prop;
                prop.setProcessEnvironment(env);
                prop.start(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
                return prop.waitForFinished(5000) &&
                       prop.readAllStandardOutput().contains("window id");
            };
            if (!QTest::qWaitFor(managed, 20000))
                break;
            return true;
        }
        qWarning("cannot start Xvfb and openbox");
        return false;
    }
    QString display() const { return m_display; }
    ~XDesktop()
    {
        for (QProcess* p : {&m_manager, &m_server}) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
        }
    }

private:
    QString m_display;
    QProcess m_server;
    QProcess m_manager;
};
