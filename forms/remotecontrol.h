#pragma once

#include "app/remoterequest.h"

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

class zenaraForm;

// Runs the requests of "zenara --remote" on the window: each command does what
// its control does, through the same slot, and a warning box it would show is
// the reply's error instead. Commands that wait (drives, gotos until the
// estimated arrival, autotune, wait-lock) reply when they end; a halt from
// another request ends them.
class RemoteControl
{
public:
    explicit RemoteControl(zenaraForm& window) : m_window(window) {}

    // A request {"command": "...", "args": [...]} in, a reply out.
    QByteArray handle(const QByteArray& request);

    // The request "zenara --remote COMMAND ARGS..." sends.
    static QByteArray request(const QString& command, const QStringList& args);

private:
    QJsonObject run(const remote::Request& request, QString* error);
    QJsonObject status() const;
    void waitForMotor();
    void waitMs(int ms);

    zenaraForm& m_window;
};
