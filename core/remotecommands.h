#pragma once

#include "core/remoterequest.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace core {
class Session;
}

// What each request of "zenara --remote" does to the session, from one table
// of command names and handlers (their arguments are checked by
// remote::parse first).
namespace remotecommands {

// When the reply goes: at once (the reply given, or the status as it stands
// after the command), when the motor should have arrived, or at lock (or
// after the seconds given).
enum class Then { Reply, Status, Motor, Lock };

struct Outcome
{
    Outcome(QJsonObject reply = {}, QString error = {}, Then then = Then::Reply, double seconds = 0)
        : reply(std::move(reply)), error(std::move(error)), then(then), seconds(seconds)
    {
    }
    QJsonObject reply;
    QString error;
    Then then;
    double seconds; // how long a lock is waited for
};

struct Command
{
    const char* name;
    const char* arguments;
    const char* what;
    bool (*check)(remote::Request*); // converts the arguments or sets the error
    Outcome (*run)(core::Session&, const remote::Request&);
};

// The command of that name; nullptr for none.
const Command* find(const QString& name);
std::vector<const Command*> commands();

Outcome run(core::Session& session, const remote::Request& request);
// The "status" reply; waiting: the requests now waiting for a motor or a lock.
QJsonObject status(const core::Session& session, int waiting);

} // namespace remotecommands
