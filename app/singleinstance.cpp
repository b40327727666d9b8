#include "app/singleinstance.h"

#include "app/logging.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QtEndian>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr char Acknowledge = 'A';

QString userName()
{
    if (const passwd* pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(getuid());
}

// Reads one length-prefixed UTF-8 message; false while it is incomplete.
bool readMessage(QLocalSocket* socket, QString* text)
{
    if (socket->bytesAvailable() < qint64(sizeof(quint32)))
        return false;
    quint32 length = 0;
    socket->peek(reinterpret_cast<char*>(&length), sizeof(length));
    length = qFromBigEndian(length);
    if (length > 64 * 1024) {
        socket->abort();
        return false;
    }
    if (socket->bytesAvailable() < qint64(sizeof(quint32) + length))
        return false;
    socket->read(sizeof(quint32));
    *text = QString::fromUtf8(socket->read(length));
    return true;
}

} // namespace

SingleInstance::SingleInstance(const QString& id, const QString& directory, QObject* parent)
    : QObject(parent)
{
    QString dir = directory;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString name = id + QLatin1Char('-') + userName();
    m_socketName = dir.isEmpty() ? name : QDir(dir).filePath(name);
}

bool SingleInstance::sendMessage(const QString& text, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    auto remaining = [&] {
        return int(std::max<qint64>(0, timeoutMs - timer.elapsed()));
    };

    QLocalSocket socket;
    socket.connectToServer(m_socketName);
    if (!socket.waitForConnected(remaining()))
        return false;

    const QByteArray payload = text.toUtf8();
    const quint32 length = qToBigEndian(quint32(payload.size()));
    socket.write(reinterpret_cast<const char*>(&length), sizeof(length));
    socket.write(payload);
    if (!socket.waitForBytesWritten(remaining()))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(remaining()))
            return false;
    }
    char answer = 0;
    socket.getChar(&answer);
    return answer == Acknowledge;
}

bool SingleInstance::listen()
{
    if (isListening())
        return true;
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    }
    // Something may hold the name already. If nobody accepts connections on it,
    // it is the socket of a copy that crashed: remove it and take its place.
    // (Listening would silently replace a live copy's socket, so look first.)
    QLocalSocket probe;
    probe.connectToServer(m_socketName);
    if (probe.waitForConnected(200)) {
        qCDebug(lcApp, "SingleInstance: %s is in use by a running copy", qPrintable(m_socketName));
        return false;
    }
    if (probe.error() != QLocalSocket::ServerNotFoundError) {
        qCDebug(lcApp, "SingleInstance: removing stale socket %s", qPrintable(m_socketName));
        QLocalServer::removeServer(m_socketName);
    }
    return m_server->listen(m_socketName);
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto answer = [this, socket] {
            QString text;
            if (!readMessage(socket, &text))
                return;
            socket->putChar(Acknowledge);
            socket->flush();
            emit messageReceived(text);
            activateWindow();
        };
        connect(socket, &QLocalSocket::readyRead, this, answer);
        answer(); // the probe may already be buffered
    }
}

void SingleInstance::activateWindow()
{
    if (!m_window)
        return;
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
    qCDebug(lcApp, "SingleInstance: another copy asked for us, window brought to the front");
}
