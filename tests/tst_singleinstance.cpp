// One copy per user: probes are answered, a socket left by a crash is cleaned
// up, and a second listener does not steal the name from a live one.

#include "app/singleinstance.h"

#include "app/framing.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Leaves a socket file with nobody behind it, as a crashed copy does.
bool makeStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray native = path.toLocal8Bit();
    if (size_t(native.size()) >= sizeof(address.sun_path)) {
        ::close(fd);
        return false;
    }
    memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                       ::listen(fd, 1) == 0;
    ::close(fd);
    return bound && QFile::exists(path);
}

// The replies read so far from a client's socket, running the event loop.
QList<QByteArray> repliesOn(QLocalSocket& socket, int count)
{
    QList<QByteArray> replies;
    QByteArray buffer;
    (void)QTest::qWaitFor(
        [&] {
            buffer += socket.readAll();
            QByteArray message;
            int consumed = 0;
            while (framing::take(buffer, framing::MaxReplyBytes, &message, &consumed) ==
                   framing::Take::Message) {
                replies.append(message);
                buffer.remove(0, consumed);
            }
            return replies.size() >= count || socket.state() == QLocalSocket::UnconnectedState;
        },
        5000);
    return replies;
}

// A listening copy that echoes requests at once, or holds those that say "later".
struct EchoServer
{
    QTemporaryDir dir;
    SingleInstance instance{QStringLiteral("ZenaraTest"), dir.path()};
    QList<SingleInstance::Reply> held;

    EchoServer()
    {
        instance.requestHandler = [this](const QByteArray& request,
                                         const SingleInstance::Reply& reply) {
            if (request.contains("later"))
                held.append(reply);
            else
                reply("re " + request);
        };
    }
    // A client of this process, connected.
    std::unique_ptr<QLocalSocket> client() const
    {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(instance.socketName());
        if (!socket->waitForConnected(5000))
            qFatal("cannot connect");
        return socket;
    }
    // A request from such a client, answered while the event loop runs.
    bool answers() const
    {
        const auto socket = client();
        socket->write(framing::frame("{}"));
        return repliesOn(*socket, 1) == QList<QByteArray>({"re {}"});
    }
};

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void framingCutsWhatArrives();
    void nobodyRunning();
    void runningCopyAnswersTheProbe();
    void staleSocketIsCleanedUp();
    void liveSocketIsNotTaken();
    void sharedFoldersAreNotUsed();
    void foreignFilesAreNotDeleted();
    void foldersTooDeepForASocketAreNotUsed();
    void twoCopiesStartingTogetherTakeTurns();
    void aHungCopyDoesNotHoldUsUp();
    void aMinimisedWindowIsRestored();
    void requestsAreAnsweredEachInTurn();
    void floodsAndIdleClientsAreDropped();
    void listensAgainWhenTheSocketIsLost();
};

void TestSingleInstance::nobodyRunning()
{
    QTemporaryDir dir;
    SingleInstance instance(QStringLiteral("ZenaraTest"), dir.path());
    QVERIFY(instance.socketName().startsWith(dir.path() + QStringLiteral("/ZenaraTest-")));
    QVERIFY(!instance.sendMessage(QStringLiteral("Are you there?"), 5000));
    QVERIFY(instance.listen());
    QVERIFY(instance.isListening());
}

void TestSingleInstance::runningCopyAnswersTheProbe()
{
    QTemporaryDir dir;
    // The running copy answers from its own event loop, here on another thread.
    QThread thread;
    auto stop = qScopeGuard([&thread] {
        thread.quit();
        thread.wait();
    });
    auto* running = new SingleInstance(QStringLiteral("ZenaraTest"), dir.path());
    QVERIFY(running->listen());
    QStringList received;
    // Queued into this thread: the running copy emits on its own.
    connect(running, &SingleInstance::messageReceived, this,
            [&received](const QString& text) { received.append(text); });
    running->moveToThread(&thread);
    connect(&thread, &QThread::finished, running, &QObject::deleteLater);
    thread.start();

    SingleInstance second(QStringLiteral("ZenaraTest"), dir.path());
    QVERIFY(second.sendMessage(QStringLiteral("Are you there?"), 5000));
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.first(), QStringLiteral("Are you there?"));

    // A second copy that fails to answer probes must not take over the name.
    QVERIFY(!second.listen());
}

void TestSingleInstance::staleSocketIsCleanedUp()
{
    QTemporaryDir dir;
    SingleInstance instance(QStringLiteral("ZenaraTest"), dir.path());
    QVERIFY(makeStaleSocket(instance.socketName()));

    QVERIFY(!instance.sendMessage(QStringLiteral("Are you there?"), 5000));
    QVERIFY(instance.listen());
}

void TestSingleInstance::liveSocketIsNotTaken()
{
    QTemporaryDir dir;
    SingleInstance first(QStringLiteral("ZenaraTest"), dir.path());
    QVERIFY(first.listen());
    SingleInstance second(QStringLiteral("ZenaraTest"), dir.path());
    QVERIFY(!second.listen());
    QVERIFY(first.isListening());
}

void TestSingleInstance::sharedFoldersAreNotUsed()
{
    QTemporaryDir tmp;
    QTemporaryDir cache;
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    auto restore = qScopeGuard([] {
        qunsetenv("TMPDIR");
        qunsetenv("XDG_CACHE_HOME");
    });
    const QString ownFolder = tmp.filePath(QStringLiteral("zenara-%1").arg(::getuid()));

    // No runtime folder at all: our own in the temporary folder, made for us.
    QCOMPARE(SingleInstance::privateDirectory(QString()), ownFolder);
    QVERIFY(SingleInstance::isPrivateDirectory(ownFolder));
    QVERIFY(QDir(ownFolder).removeRecursively());

    // A runtime folder everybody may write to is not used: our own is made.
    QTemporaryDir shared;
    QVERIFY(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777)));
    SingleInstance instance(QStringLiteral("ZenaraTest"), shared.path());
    QCOMPARE(QFileInfo(instance.socketName()).path(), ownFolder);
    QVERIFY(SingleInstance::isPrivateDirectory(ownFolder));
    QCOMPARE(QFileInfo(ownFolder).permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(instance.listen());

    // Somebody made that folder open to all first: it is passed over too.
    QVERIFY(QDir(ownFolder).removeRecursively());
    QVERIFY(QDir().mkdir(ownFolder));
    QVERIFY(QFile::setPermissions(ownFolder, QFileDevice::Permissions(0x7777)));
    QCOMPARE(QFileInfo(SingleInstance::privateDirectory(shared.path())).fileName(),
             QStringLiteral("zenara-runtime"));

    // ... and so is a link to a private folder, which could be changed under us.
    QVERIFY(QDir(ownFolder).removeRecursively());
    QTemporaryDir target;
    QVERIFY(QFile::link(target.path(), ownFolder));
    QVERIFY(!SingleInstance::isPrivateDirectory(ownFolder));
    QCOMPARE(QFileInfo(SingleInstance::privateDirectory(QString())).fileName(),
             QStringLiteral("zenara-runtime"));

    // A folder of another user's (only root can make one here).
    if (::getuid() == 0) {
        QTemporaryDir foreign;
        QVERIFY(::chown(QFile::encodeName(foreign.path()).constData(), 65534, 65534) == 0);
        QVERIFY(!SingleInstance::isPrivateDirectory(foreign.path()));
    }
}

void TestSingleInstance::foreignFilesAreNotDeleted()
{
    QTemporaryDir dir;
    SingleInstance instance(QStringLiteral("ZenaraTest"), dir.path());
    // A plain file where the socket would be: not ours to delete.
    {
        QFile file(instance.socketName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    QVERIFY(!instance.listen());
    QFile file(instance.socketName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
    file.remove();

    // A stale socket of another user's is left alone as well.
    if (::getuid() == 0) {
        QVERIFY(makeStaleSocket(instance.socketName()));
        QVERIFY(::chown(QFile::encodeName(instance.socketName()).constData(), 65534, 65534) == 0);
        QVERIFY(!instance.listen());
        QVERIFY(QFileInfo::exists(instance.socketName()));
    }
}

void TestSingleInstance::foldersTooDeepForASocketAreNotUsed()
{
    QTemporaryDir base;
    QTemporaryDir cache;
    // 120 bytes of folder names: no socket path fits below it.
    const QString deep = base.filePath(QString(60, QLatin1Char('d')) + QLatin1Char('/') +
                                       QString(60, QLatin1Char('e')));
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(QFile::setPermissions(deep, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner));
    qputenv("TMPDIR", QFile::encodeName(deep));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    auto restore = qScopeGuard([] {
        qunsetenv("TMPDIR");
        qunsetenv("XDG_CACHE_HOME");
    });
    SingleInstance instance(QStringLiteral("ZenaraTest"), deep);
    // Neither the runtime folder nor the temporary one: the cache folder.
    QVERIFY2(instance.socketName().startsWith(cache.path()), qPrintable(instance.socketName()));
    QVERIFY(QFile::encodeName(instance.socketName()).size() <= 107);
    QVERIFY(instance.listen());
}

void TestSingleInstance::twoCopiesStartingTogetherTakeTurns()
{
    QTemporaryDir dir;
    SingleInstance first(QStringLiteral("ZenaraTest"), dir.path());
    SingleInstance second(QStringLiteral("ZenaraTest"), dir.path());
    // The first has probed and found nobody; until it listens, the second
    // cannot probe (and so cannot also find nobody and listen).
    QVERIFY(!first.sendMessage(QStringLiteral("Are you there?"), 1000));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!second.sendMessage(QStringLiteral("Are you there?"), 300));
    QVERIFY(timer.elapsed() >= 300);
    QVERIFY(first.listen());
    // Now the second finds the first's socket and does not take it.
    QVERIFY(!second.listen());
    QVERIFY(first.isListening());
}

void TestSingleInstance::aHungCopyDoesNotHoldUsUp()
{
    QTemporaryDir dir;
    SingleInstance instance(QStringLiteral("ZenaraTest"), dir.path());
    // Accepts the connection but never answers.
    QLocalServer hung;
    QVERIFY(hung.listen(instance.socketName()));
    QElapsedTimer timer;
    timer.start();
    bool cancel = false;
    int asked = 0;
    QVERIFY(!instance.sendMessage(QStringLiteral("Are you there?"), 5000, [&] {
        cancel = ++asked > 3; // a signal arrived a moment later
        return cancel;
    }));
    QVERIFY(cancel);
    QVERIFY2(timer.elapsed() < 4000, qPrintable(QString::number(timer.elapsed()))); // not the 5 s
}

void TestSingleInstance::aMinimisedWindowIsRestored()
{
    QTemporaryDir dir;
    SingleInstance instance(QStringLiteral("ZenaraTest"), dir.path());
    QWidget window;
    window.showMinimized();
    QVERIFY(window.isMinimized());
    instance.setActivationWindow(&window);
    instance.activateWindow(); // what a second copy's probe leads to
    QVERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());
}

void TestSingleInstance::framingCutsWhatArrives()
{
    using framing::Take;
    QByteArray message;
    int consumed = 0;
    // Two messages back to back: the first is taken, the rest left.
    const QByteArray two = QByteArray("\0\0\0\3abc\0\0\0\1d", 12);
    QCOMPARE(framing::take(two, 100, &message, &consumed), Take::Message);
    QCOMPARE(message, QByteArray("abc"));
    QCOMPARE(consumed, 7);
    QCOMPARE(framing::take(two.mid(consumed), 100, &message, &consumed), Take::Message);
    QCOMPARE(message, QByteArray("d"));
    // Cut short: the header alone, part of it, or part of the payload.
    QCOMPARE(framing::take(QByteArray("\0\0", 2), 100, &message, &consumed), Take::Incomplete);
    QCOMPARE(framing::take(QByteArray("\0\0\0\5ab", 6), 100, &message, &consumed),
             Take::Incomplete);
    // At the limit it waits; past it, and at 4 GiB, it refuses.
    QCOMPARE(framing::take(QByteArray("\0\0\0\x64", 4), 100, &message, &consumed),
             Take::Incomplete);
    QCOMPARE(framing::take(QByteArray("\0\0\0\x65", 4), 100, &message, &consumed), Take::TooLong);
    QCOMPARE(framing::take(QByteArray("\xff\xff\xff\xff", 4), framing::MaxReplyBytes, &message,
                           &consumed),
             Take::TooLong);
    QCOMPARE(framing::frame("abc"), QByteArray("\0\0\0\3abc", 7));
}

void TestSingleInstance::requestsAreAnsweredEachInTurn()
{
    EchoServer server;
    QVERIFY(server.instance.listen());
    // Two requests sent together on one connection, the first held: both are
    // answered, in order, once the first is.
    const auto first = server.client();
    first->write(framing::frame("{\"later\":1}") + framing::frame("{\"n\":2}"));
    // Meanwhile another client is answered at once.
    const auto second = server.client();
    second->write(framing::frame("{\"n\":3}"));
    QCOMPARE(repliesOn(*second, 1), QList<QByteArray>({"re {\"n\":3}"}));
    QTRY_COMPARE(server.held.size(), 1);
    QVERIFY(first->bytesAvailable() == 0);
    server.held.first()("done 1");
    server.held.first()("twice"); // a second reply to one request goes nowhere
    QCOMPARE(repliesOn(*first, 2), QList<QByteArray>({"done 1", "re {\"n\":2}"}));
    // A client gone before its reply: the reply is dropped, nothing breaks.
    first->write(framing::frame("{\"later\":2}"));
    QTRY_COMPARE(server.held.size(), 2);
    first->abort();
    QTRY_COMPARE(server.instance.connectionCount(), 1);
    server.held.last()("too late");
    QVERIFY(server.answers());
}

void TestSingleInstance::floodsAndIdleClientsAreDropped()
{
    auto connectAll = [](const EchoServer& to, int count) {
        std::vector<std::unique_ptr<QLocalSocket>> clients;
        for (int i = 0; i < count; ++i)
            clients.push_back(to.client());
        return clients;
    };
    const int most = SingleInstance::MaxConnections;
    {
        // A flood of idle clients: the oldest make room, and a real request
        // gets through at once.
        EchoServer server;
        QVERIFY(server.instance.listen());
        const auto idle = connectAll(server, most + 8);
        QTRY_COMPARE(idle.at(7)->state(), QLocalSocket::UnconnectedState);
        QCOMPARE(server.instance.connectionCount(), most);
        QVERIFY(server.answers());
        // Every place taken by a request waiting for its reply: a newcomer is
        // turned away, the waiting ones stay.
        for (const auto& client : idle)
            client->abort();
        QTRY_COMPARE(server.instance.connectionCount(), 0);
        const auto waiting = connectAll(server, most);
        for (const auto& client : waiting)
            client->write(framing::frame("{\"later\":1}"));
        QTRY_COMPARE(server.held.size(), most);
        QCOMPARE(server.instance.connectionCount(), most);
        // A newcomer's request is told to come back; a second copy's probe is
        // still acknowledged, so that it does not start a window of its own.
        const auto late = server.client();
        late->write(framing::frame("{}"));
        QVERIFY(repliesOn(*late, 1).value(0).contains("too many requests waiting"));
        const auto probe = server.client();
        probe->write(framing::frame("Are you there?"));
        QTRY_VERIFY(probe->bytesAvailable() > 0);
        QCOMPARE(probe->readAll(), QByteArray("A"));
        QCOMPARE(server.instance.connectionCount(), most);
    }
    // Idle connections, and one that sends half a request, go after the limit.
    EchoServer server;
    server.instance.setIdleTimeoutMs(300);
    QVERIFY(server.instance.listen());
    const auto clients = connectAll(server, 5);
    clients.front()->write(QByteArray("\0\0\0\x20{\"comm", 10));
    QTRY_COMPARE(server.instance.connectionCount(), 5);
    QTRY_COMPARE_WITH_TIMEOUT(server.instance.connectionCount(), 0, 10000);
    for (const auto& client : clients)
        QTRY_COMPARE(client->state(), QLocalSocket::UnconnectedState);
    QVERIFY(server.answers());
}

void TestSingleInstance::listensAgainWhenTheSocketIsLost()
{
    EchoServer server;
    QVERIFY(server.instance.listen());
    // A client knocks while every descriptor is in use: the server cannot take
    // the connection, and Qt closes it and deletes the socket file.
    const auto knock = server.client();
    rlimit saved = {};
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 4096);
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &low) == 0);
    std::vector<int> taken;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        taken.push_back(fd);
    QVERIFY(errno == EMFILE && !taken.empty());
    QTRY_VERIFY(!server.instance.isListening());
    QVERIFY(!QFileInfo::exists(server.instance.socketName()));
    for (int fd : taken)
        ::close(fd);
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
    // Descriptors again: it listens again, and answers.
    QTRY_VERIFY_WITH_TIMEOUT(server.instance.isListening(), 10000);
    QVERIFY(server.answers());
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
