#include "app/framing.h"

#include <QtEndian>

#include <cstring>

namespace framing {

Take take(const QByteArray& buffer, quint32 limit, QByteArray* message, int* consumed)
{
    constexpr int Header = int(sizeof(quint32));
    if (buffer.size() < Header)
        return Take::Incomplete;
    quint32 length = 0;
    std::memcpy(&length, buffer.constData(), sizeof(length));
    length = qFromBigEndian(length);
    if (length > limit)
        return Take::TooLong;
    // Compared in 64 bits: a length near 4 GiB must not wrap into "complete".
    if (qint64(buffer.size()) < qint64(Header) + qint64(length))
        return Take::Incomplete;
    *message = buffer.mid(Header, int(length));
    *consumed = Header + int(length);
    return Take::Message;
}

QByteArray frame(const QByteArray& payload)
{
    const quint32 length = qToBigEndian(quint32(payload.size()));
    QByteArray out(reinterpret_cast<const char*>(&length), sizeof(length));
    return out + payload;
}

} // namespace framing
