#pragma once

#include <QByteArray>
#include <QtGlobal>

// Messages on the single-instance socket: a 32-bit big-endian length, then the
// payload. Both ends cut their input with take(), so a length that lies, a
// message cut short or one too long is handled in one place.
namespace framing {

constexpr quint32 MaxRequestBytes = 64 * 1024;
constexpr quint32 MaxReplyBytes = 1024 * 1024;

enum class Take {
    Incomplete, // wait for more bytes
    Message,    // *message holds the payload; *consumed bytes are used up
    TooLong,    // the length is over the limit: drop the connection
};

Take take(const QByteArray& buffer, quint32 limit, QByteArray* message, int* consumed);
QByteArray frame(const QByteArray& payload);

} // namespace framing
