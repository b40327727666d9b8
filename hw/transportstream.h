#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cmath>

namespace hw {

// What a transport stream says about its network: the NIT's network name and
// the orbital position in its satellite delivery descriptor, and the service
// providers named in the SDT.
struct NetworkInfo
{
    quint16 networkId = 0;
    QString name;
    double orbitalPosition = std::nan(""); // degrees east; NaN when not given
    QStringList providers;
};

// The tables of the transport stream the receiver is locked on. Reading takes
// a while (a NIT comes every few seconds), so it is started once and then
// asked after on each poll.
class TransportStream
{
public:
    enum class State {
        Reading, // nothing yet, still within the time limit
        Found,   // *info holds the network
        None,    // no network information within the time limit
    };

    virtual ~TransportStream() = default;
    // Drops any read under way and starts one for the channel now locked.
    virtual void startNetworkRead(int timeLimitMs) = 0;
    virtual State networkState(NetworkInfo* info) = 0;
};

} // namespace hw
