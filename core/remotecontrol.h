#pragma once

#include "core/remotecommands.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

namespace core {
class Session;
}

// Runs the requests of "zenara --remote" on the session, through the same
// commands as the window's controls: a warning a command returns (or a box
// something shows meanwhile) is the reply's error. A command that waits (a
// goto until the estimated arrival, wait-lock) is answered when what it waits
// for has happened: the session's polls and motor estimate say so, and every
// waiting request is looked at again. Nothing here runs an event loop of its
// own.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    using Reply = std::function<void(const QByteArray& reply)>;

    explicit RemoteControl(core::Session& session, QObject* parent = nullptr);

    // A request {"command": "...", "args": [...]} in; its reply goes to reply,
    // at once or when the wait it asks for is over. Without waits (a web
    // page, which watches the live readings instead) a goto or a wait-lock is
    // answered at once with the status.
    enum class Waits { Allowed, No };
    void handle(const QByteArray& request, const Reply& reply, Waits waits = Waits::Allowed);
    // The program is going: every waiting request, and every later one, is
    // answered with an error.
    void shutDown();
    int waitingCount() const { return m_waits.size(); }

    // The request "zenara --remote COMMAND ARGS..." sends.
    static QByteArray request(const QString& command, const QStringList& args);
    static const char* const ShuttingDown;

private:
    using Then = remotecommands::Then;
    using Outcome = remotecommands::Outcome;
    struct Wait
    {
        Then kind;
        QDeadlineTimer deadline;
        Reply reply;
    };

    void startWait(const Outcome& outcome, const Reply& reply);
    bool waitIsOver(const Wait& wait) const;
    void checkWaits();
    static QByteArray encode(const QJsonObject& object);
    static QByteArray failure(const QString& text);

    core::Session& m_session;
    QList<Wait> m_waits;
    bool m_shutDown = false;
};
