#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QJsonObject>
#include <QString>

// The phone meter's rules, apart from the server: where it listens, the access
// token, which commands a page may send, the readings as plain text.
namespace web {

// Caps on what one client may send or hold.
constexpr int MaxConnections = 32;
constexpr int MaxConnectionsPerAddress = 8;      // one host cannot take every slot
constexpr int ConnectionMemoryBytes = 16 * 1024; // request line, headers and buffers
constexpr int MaxCommandBytes = 2048;
constexpr int IdleTimeoutSeconds = 15;
constexpr int MaxPendingCommands = 8;
constexpr int DefaultPort = 8088;
constexpr int CommandTimeoutMs = 10000; // a page's command waits for the window this long
constexpr int StartedReplyMs = 300;     // then a drive under way answers "running"

struct Listen
{
    QHostAddress address;
    quint16 port = 0; // 0: any free port
};

// "[ADDRESS:]PORT", "ADDRESS" alone or "[IPV6]:PORT"; an address left out is
// fallback. False with the reason for anything else.
bool parseListen(const QString& text, const QHostAddress& fallback, Listen* out, QString* error);

// 128 random bits from the system's generator, as 32 hexadecimal digits.
QByteArray newToken();
// Equal tokens, in a time that does not depend on where they first differ.
bool sameToken(const QByteArray& given, const QByteArray& token);

// The address a phone should open: the listening one, or for "any" the first
// address of this machine on a network.
QString pageUrl(const Listen& listen, quint16 boundPort, const QByteArray& token);
QHostAddress firstNetworkAddress();

// The commands the page's controls send; anything else is refused with a
// reason (the page never sends raw bytes or changes options).
bool pageMayRun(const QByteArray& request, QString* reason);

// The readings of a status reply as lines of plain text, for a browser
// without scripts.
QString readingsText(const QJsonObject& status);

} // namespace web
