#pragma once

#include "app/remoterequest.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class zenaraForm;

// Runs the requests of "zenara --remote" on the window: each command does what
// its control does, through the same slot, and a warning box it would show is
// the reply's error instead. A command that waits (a goto until the estimated
// arrival, wait-lock) is answered when what it waits for has happened: the
// window's polls and motor estimate say so, and every waiting request is
// looked at again. Nothing here runs an event loop of its own.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    using Reply = std::function<void(const QByteArray& reply)>;

    explicit RemoteControl(zenaraForm& window);

    // A request {"command": "...", "args": [...]} in; its reply goes to reply,
    // at once or when the wait it asks for is over.
    void handle(const QByteArray& request, const Reply& reply);
    // The program is going: every waiting request, and every later one, is
    // answered with an error.
    void shutDown();
    int waitingCount() const { return m_waits.size(); }

    // The request "zenara --remote COMMAND ARGS..." sends.
    static QByteArray request(const QString& command, const QStringList& args);
    static const char* const ShuttingDown;

private:
    enum class Then { Reply, Motor, Lock };
    struct Outcome
    {
        Outcome(QJsonObject reply = {}, QString error = {}, Then then = Then::Reply,
                double seconds = 0)
            : reply(std::move(reply)), error(std::move(error)), then(then), seconds(seconds)
        {
        }
        QJsonObject reply;
        QString error;
        Then then;
        double seconds; // how long a lock is waited for
    };
    struct Wait
    {
        Then kind;
        QDeadlineTimer deadline;
        Reply reply;
    };

    Outcome run(const remote::Request& request);
    Outcome runMotion(const remote::Request& request);
    Outcome runDrive(const remote::Request& request);
    Outcome runSetting(const remote::Request& request);
    Outcome runSelection(const remote::Request& request);
    void startWait(const Outcome& outcome, const Reply& reply);
    bool waitIsOver(const Wait& wait) const;
    void checkWaits();
    QJsonObject status() const;
    QJsonValue network() const;
    static QByteArray encode(const QJsonObject& object);
    static QByteArray failure(const QString& text);

    zenaraForm& m_window;
    QList<Wait> m_waits;
    bool m_shutDown = false;
};
