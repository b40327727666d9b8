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
#include <QVector>

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
    if (!acquireLock(5000, {}))
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
    return m_server->listen(m_socketName);
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto answer = [this, socket] {
            // A request being answered runs the event loop; its socket's
            // further input waits until the answer is out.
            if (socket->property("busy").toBool())
                return;
            QString text;
            if (!readMessage(socket, &text))
                return;
            if (requestHandler && text.startsWith(QLatin1Char('{'))) {
                QPointer<QLocalSocket> guard(socket);
                socket->setProperty("busy", true);
                const QByteArray reply = requestHandler(text.toUtf8());
                if (!guard)
                    return; // the client went away meanwhile
                socket->setProperty("busy", false);
                socket->write(framing::frame(reply));
                socket->flush();
                return;
            }
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
