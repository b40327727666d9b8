#include "app/singleinstance.h"

#include "app/framing.h"

#include "app/logging.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimer>
#include <QVector>

#include <algorithm>
#include <memory>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char Acknowledge = 'A';
constexpr int MaxSocketPath = 107; // sun_path less its terminating zero

QString userName()
{
    if (const passwd* pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(getuid());
}

// Reads one length-prefixed UTF-8 message; false while it is incomplete.
bool readMessage(QLocalSocket* socket, QString* text)
{
    const qint64 wanted =
        qMin(socket->bytesAvailable(), qint64(sizeof(quint32)) + framing::MaxRequestBytes);
    QByteArray message;
    int consumed = 0;
    switch (framing::take(socket->peek(wanted), framing::MaxRequestBytes, &message, &consumed)) {
    case framing::Take::Incomplete:
        return false;
    case framing::Take::TooLong:
        socket->abort();
        return false;
    case framing::Take::Message:
        break;
    }
    socket->read(consumed);
    *text = QString::fromUtf8(message);
    return true;
}

} // namespace

bool SingleInstance::isPrivateDirectory(const QString& path)
{
    // lstat: a symbolic link is not followed, so it cannot point us elsewhere.
    struct stat info = {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

QString SingleInstance::privateDirectory(const QString& preferred, int nameLength)
{
    // The runtime folder when it is ours alone; else a folder of our own in the
    // temporary folder; else one in the cache folder. Never a bare name in a
    // shared folder, where another user could take it first.
    struct Candidate
    {
        QString dir;
        bool ours; // made by us when missing (the preferred one never is)
    };
    QVector<Candidate> candidates;
    if (!preferred.isEmpty())
        candidates.append({preferred, false});
    candidates.append(
        {QDir(QDir::tempPath()).filePath(QStringLiteral("zenara-%1").arg(::getuid())), true});
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty())
        candidates.append({QDir(cache).filePath(QStringLiteral("zenara-runtime")), true});
    for (const Candidate& candidate : candidates) {
        const QString& dir = candidate.dir;
        // A local socket's path has room for 107 bytes; a longer one cannot be
        // bound or reached, and the copies would not find each other.
        if (QFile::encodeName(dir).size() + 1 + nameLength > MaxSocketPath) {
            qCDebug(lcApp, "SingleInstance: %s is too long a path for a socket, not used",
                    qPrintable(dir));
            continue;
        }
        if (candidate.ours) {
            QDir().mkpath(QFileInfo(dir).path());
            // Made with 0700 from the start; an existing one is checked as found.
            ::mkdir(QFile::encodeName(dir).constData(), 0700);
        }
        if (isPrivateDirectory(dir))
            return QDir::cleanPath(dir);
        qCDebug(lcApp, "SingleInstance: %s is not a private folder of this user, not used",
                qPrintable(dir));
    }
    return QString();
}

SingleInstance::SingleInstance(const QString& id, const QString& directory, QObject* parent)
    : QObject(parent)
{
    QString dir = directory;
    if (dir.isEmpty())
        dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString name = id + QLatin1Char('-') + userName();
    // The lock file's name is the longest one kept there.
    dir = privateDirectory(dir, QFile::encodeName(name).size() + 5);
    if (dir.isEmpty())
        qCWarning(lcApp, "SingleInstance: no private folder for the socket; other copies "
                         "will not be found");
    else
        m_socketName = QDir(dir).filePath(name);
}

SingleInstance::~SingleInstance()
{
    releaseLock();
}

bool SingleInstance::isListening() const
{
    struct stat info = {};
    return m_server && m_server->isListening() &&
           ::lstat(QFile::encodeName(m_socketName).constData(), &info) == 0 &&
           S_ISSOCK(info.st_mode) && quint64(info.st_ino) == m_socketInode;
}

bool SingleInstance::acquireLock(int timeoutMs, const std::function<bool()>& cancelled)
{
    if (m_lockFd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(m_socketName + QStringLiteral(".lock"));
    m_lockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0) {
        qCDebug(lcApp, "SingleInstance: cannot open %s", path.constData());
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (timer.elapsed() >= timeoutMs || (cancelled && cancelled())) {
            releaseLock();
            return false;
        }
        ::usleep(20000);
    }
    return true;
}

void SingleInstance::releaseLock()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
}

bool SingleInstance::sendMessage(const QString& text, int timeoutMs,
                                 const std::function<bool()>& cancelled)
{
    if (m_socketName.isEmpty())
        return false;
    QElapsedTimer timer;
    timer.start();
    auto remaining = [&] {
        return int(std::max<qint64>(0, timeoutMs - timer.elapsed()));
    };
    // Held from this probe until listen(): two copies started together must
    // not both find nobody and both listen.
    if (!acquireLock(timeoutMs, cancelled))
        return false;

    QLocalSocket socket;
    socket.connectToServer(m_socketName);
    if (!socket.waitForConnected(remaining()))
        return false;

    socket.write(framing::frame(text.toUtf8()));
    if (!socket.waitForBytesWritten(remaining()))
        return false;
    // In short steps, so that the caller can give up at once (a signal).
    while (socket.bytesAvailable() < 1) {
        if (remaining() == 0 || (cancelled && cancelled()))
            return false;
        socket.waitForReadyRead(std::min(remaining(), 50));
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() < 1)
            return false;
    }
    char answer = 0;
    socket.getChar(&answer);
    return answer == Acknowledge;
}

bool SingleInstance::sendRequest(const QByteArray& request, QByteArray* reply, int timeoutMs,
                                 QString* error)
{
    if (m_socketName.isEmpty()) {
        *error = QStringLiteral("no private folder for the socket");
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(m_socketName);
    if (!socket.waitForConnected(2000)) {
        *error = QStringLiteral("Zenara is not running (nothing answers on %1)").arg(m_socketName);
        return false;
    }
    socket.write(framing::frame(request));
    QElapsedTimer timer;
    timer.start();
    QByteArray buffer;
    while (timer.elapsed() < timeoutMs) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(100)) {
            if (socket.state() != QLocalSocket::ConnectedState)
                break;
            continue;
        }
        buffer += socket.readAll();
        int consumed = 0;
        const framing::Take taken = framing::take(buffer, framing::MaxReplyBytes, reply, &consumed);
        if (taken == framing::Take::Message)
            return true;
        if (taken == framing::Take::TooLong)
            break;
    }
    *error = QStringLiteral("Zenara did not answer");
    return false;
}

bool SingleInstance::listen()
{
    if (isListening())
        return true;
    if (m_socketName.isEmpty())
        return false;
    // Listening again after a failure must not hold the window up for long.
    if (!acquireLock(m_server ? 200 : 5000, {}))
        return false;
    const auto release = qScopeGuard([this] { releaseLock(); });
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
        // Only our own socket that nobody answers on is removed; anything else
        // at that name is left alone, and we do without the socket.
        struct stat info = {};
        const QByteArray path = QFile::encodeName(m_socketName);
        if (::lstat(path.constData(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
            info.st_uid != ::getuid() || probe.error() != QLocalSocket::ConnectionRefusedError) {
            qCWarning(lcApp, "SingleInstance: %s is not our stale socket; left alone",
                      qPrintable(m_socketName));
            return false;
        }
        qCDebug(lcApp, "SingleInstance: removing stale socket %s", qPrintable(m_socketName));
        ::unlink(path.constData());
    }
    if (!m_server->listen(m_socketName))
        return false;
    struct stat info = {};
    if (::lstat(QFile::encodeName(m_socketName).constData(), &info) == 0)
        m_socketInode = quint64(info.st_ino);
    keepListening();
    return true;
}

void SingleInstance::keepListening()
{
    // Qt closes the server (and deletes its socket file) when accepting a
    // connection fails, for instance with every descriptor in use. Without the
    // socket, remote control is gone and a second copy would start: listen
    // again as soon as it can be done.
    if (m_watchdog)
        return;
    m_watchdog = new QTimer(this);
    m_watchdog->setInterval(1000);
    connect(m_watchdog, &QTimer::timeout, this, [this] {
        if (isListening())
            return;
        struct stat info = {};
        if (::lstat(QFile::encodeName(m_socketName).constData(), &info) == 0)
            return; // somebody else's now: closing ours would delete it
        qCWarning(lcApp, "SingleInstance: the socket %s was lost (%s); listening again",
                  qPrintable(m_socketName), qPrintable(m_server->errorString()));
        m_server->close(); // nothing left at the name for it to delete
        listen();
    });
    m_watchdog->start();
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_sockets.size() >= MaxConnections) {
            const auto idle = std::find_if(m_sockets.cbegin(), m_sockets.cend(),
                                           [](QLocalSocket* s) { return !s->property("busy").toBool(); });
            if (idle == m_sockets.cend()) {
                answerOnce(socket); // every place taken by a waiting request
                continue;
            }
            qCDebug(lcApp, "SingleInstance: %d connections open; the oldest idle one is closed",
                    int(m_sockets.size()));
            QLocalSocket* dropped = *idle;
            m_sockets.removeOne(dropped);
            dropped->abort();
            dropped->deleteLater();
        }
        serve(socket);
    }
}

void SingleInstance::answerOnce(QLocalSocket* socket)
{
    // A second copy's probe is still acknowledged, or two windows would run;
    // a request is told to come back. A few such at a time, briefly each.
    if (m_overflow >= MaxConnections / 4) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    ++m_overflow;
    connect(socket, &QObject::destroyed, this, [this] { --m_overflow; });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(2000, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    auto once = [this, socket] {
        QString text;
        if (socket->property("answered").toBool() || !readMessage(socket, &text))
            return;
        socket->setProperty("answered", true);
        if (text.startsWith(QLatin1Char('{'))) {
            socket->write(framing::frame(
                QByteArrayLiteral("{\"error\":\"Zenara has too many requests waiting; try again\"}")));
        } else {
            socket->putChar(Acknowledge);
            emit messageReceived(text);
            activateWindow();
        }
        socket->flush();
        socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, once);
    once();
}

void SingleInstance::serve(QLocalSocket* socket)
{
    m_sockets.append(socket);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_sockets.removeOne(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Idle, or a request that never arrives whole: the connection goes.
    auto* idle = new QTimer(socket);
    idle->setObjectName(QStringLiteral("idle"));
    idle->setSingleShot(true);
    idle->setInterval(m_idleTimeoutMs);
    connect(idle, &QTimer::timeout, socket, [this, socket] {
        qCDebug(lcApp, "SingleInstance: an idle connection is closed");
        m_sockets.removeOne(socket);
        socket->abort();
        socket->deleteLater();
    });
    idle->start();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answerNext(socket); });
    answerNext(socket); // the probe may already be buffered
}

void SingleInstance::answerNext(QLocalSocket* socket)
{
    auto* idle = socket->findChild<QTimer*>(QStringLiteral("idle"));
    // One request of a connection at a time; the next waits in the buffer.
    while (!socket->property("busy").toBool()) {
        QString text;
        if (!readMessage(socket, &text))
            return;
        if (requestHandler && text.startsWith(QLatin1Char('{'))) {
            socket->setProperty("busy", true);
            idle->stop();
            QPointer<QLocalSocket> guard(socket);
            auto answered = std::make_shared<bool>(false);
            requestHandler(text.toUtf8(), [this, guard, answered](const QByteArray& reply) {
                if (*answered || !guard)
                    return; // answered already, or the client went away meanwhile
                *answered = true;
                guard->write(framing::frame(reply));
                guard->flush();
                guard->setProperty("busy", false);
                if (auto* timer = guard->findChild<QTimer*>(QStringLiteral("idle")))
                    timer->start();
                // A request sent behind this one is in the buffer already.
                QTimer::singleShot(0, guard, [this, guard] {
                    if (guard)
                        answerNext(guard);
                });
            });
            return;
        }
        socket->putChar(Acknowledge);
        socket->flush();
        idle->start();
        emit messageReceived(text);
        activateWindow();
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
