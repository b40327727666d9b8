// The phone meter's server as a client on the network meets it: the token in
// front of everything, the live stream, the page's commands, and clients that
// send rubbish, open thousands of connections or never read, while the poll
// keeps its 250 ms.

#include "core/session.h"
#include "testsupport.h"
#include "web/qrcode.h"
#include "web/webaccess.h"
#include "web/webserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A blocking socket to the server, every read ending within the timeout.
class Client
{
public:
    // from: the loopback address it comes from, another host's stand-in.
    explicit Client(quint16 port, int timeoutMs = 3000, const char* from = nullptr)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (from) {
            sockaddr_in source{};
            source.sin_family = AF_INET;
            ::inet_pton(AF_INET, from, &source.sin_addr);
            ::bind(m_fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
        }
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() { ::close(m_fd); }
    bool connected() const { return m_connected; }
    bool send(const QByteArray& bytes)
    {
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    // What comes until the server closes, the timeout, or enough bytes.
    QByteArray read(int enough = 1 << 20)
    {
        QByteArray all;
        char buffer[4096];
        while (all.size() < enough) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            all.append(buffer, int(n));
        }
        return all;
    }
    // Waits for the server to end the response (the last chunk) or the
    // connection; false when neither came before the timeout.
    bool ended()
    {
        QByteArray all;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                return true;
            if (n < 0)
                return false;
            all.append(buffer, int(n));
            if (all.endsWith("\r\n0\r\n\r\n"))
                return true;
        }
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

int statusOf(const QByteArray& response)
{
    return response.startsWith("HTTP/1.") ? response.mid(9, 3).toInt() : 0;
}

QByteArray bodyOf(const QByteArray& response)
{
    const int at = response.indexOf("\r\n\r\n");
    return at < 0 ? QByteArray() : response.mid(at + 4);
}

QByteArray get(quint16 port, const QByteArray& target)
{
    Client c(port);
    c.send("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    return c.read();
}

QByteArray post(quint16 port, const QByteArray& target, const QByteArray& body)
{
    Client c(port);
    c.send("POST " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body);
    return c.read();
}

// Runs work on a thread of its own while this thread's event loop serves the
// session (a page's command is run there).
void offThread(const std::function<void()>& work)
{
    QEventLoop loop;
    std::thread t([&] {
        work();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    t.join();
}

// The satellite list in a folder of its own, made the working folder.
class Data
{
public:
    Data()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("Transponders"));
        write("satlist.znr", "0=19.2;Astra <1>;a.ini\n1=13.0;Hot Bird;hb.ini\n");
        write("Transponders/a.ini", "[DVB]\n0=1\n1=11494,H,22000,23\n");
        write("Transponders/hb.ini", "[DVB]\n0=1\n1=10719,V,27500,34\n");
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    ~Data() { QDir::setCurrent(m_previous); }

private:
    void write(const char* name, const QByteArray& content)
    {
        QFile f(m_dir.filePath(QLatin1String(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }
    QTemporaryDir m_dir;
    QString m_previous;
};

// A polling session on the simulated card with the phone meter on loopback.
struct Served
{
    Served() : board({}, false), server(session)
    {
        QFile::remove(openSettings()->fileName());
        session.loadSettings();
        ok = session.openCard() == nullptr;
        session.enter({QStringLiteral("11494"), QStringLiteral("22000"), true, {}});
        ok = ok && session.tune().ok();
        session.startPolling();
        web::Listen listen;
        listen.address = QHostAddress(QHostAddress::LocalHost);
        QString error;
        ok = ok && server.start(listen, &error);
        port = server.port();
        token = QUrlQuery(QUrl(server.url())).queryItemValue(QStringLiteral("t")).toLatin1();
    }
    QByteArray withToken(const QByteArray& path) const { return path + "?t=" + token; }

    Data data;
    SimulatedBoard board;
    core::Session session;
    web::WebServer server;
    bool ok = false;
    quint16 port = 0;
    QByteArray token;
};

} // namespace

class TestWeb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void listenAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow("port alone") << "8088"
                                    << "127.0.0.1" << 8088;
        QTest::newRow("any free port") << "0"
                                       << "127.0.0.1" << 0;
        QTest::newRow("address and port") << "192.168.1.20:9000"
                                          << "192.168.1.20" << 9000;
        QTest::newRow("address alone") << "10.0.0.5"
                                       << "10.0.0.5" << web::DefaultPort;
        QTest::newRow("IPv6 in brackets") << "[::1]:8088"
                                          << "::1" << 8088;
        QTest::newRow("all networks") << "0.0.0.0:8088"
                                      << "0.0.0.0" << 8088;
        QTest::newRow("host name") << "roof.local:8088"
                                   << "" << 0;
        QTest::newRow("port too large") << "65536"
                                        << "" << 0;
        QTest::newRow("negative port") << "-1"
                                       << "" << 0;
        QTest::newRow("decimal comma") << "80,88"
                                       << "" << 0;
        QTest::newRow("empty") << ""
                               << "" << 0;
        QTest::newRow("IPv6 alone") << "::1:8088"
                                    << "::1:8088" << web::DefaultPort;
    }
    void listenAddresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(int, port);
        web::Listen listen;
        QString error;
        const bool ok =
            web::parseListen(text, QHostAddress(QHostAddress::LocalHost), &listen, &error);
        QCOMPARE(ok, !address.isEmpty());
        if (ok) {
            QCOMPARE(listen.address, QHostAddress(address));
            QCOMPARE(int(listen.port), port);
        } else {
            QVERIFY(!error.isEmpty());
        }
    }

    void tokensAndCommands()
    {
        const QByteArray a = web::newToken(), b = web::newToken();
        QCOMPARE(a.size(), 32);
        QVERIFY(a != b);
        QVERIFY(web::sameToken(a, a));
        for (const QByteArray& other : {b, a.left(31), a + "0", QByteArray(), a.toUpper()})
            QVERIFY2(!web::sameToken(other, a) || other == a, other.constData());
        QVERIFY(!web::sameToken(QByteArray(), QByteArray())); // no token: no entry
        QString reason;
        const auto named = [](const char* command) {
            return QJsonDocument(QJsonObject{{QStringLiteral("command"), QLatin1String(command)}})
                .toJson();
        };
        for (const char* allowed : {"halt", "drive", "go", "satellite", "autotune", "satellites"})
            QVERIFY(web::pageMayRun(named(allowed), &reason));
        for (const char* refused : {"raw", "set", "store", "limit", "calibrate", "web", "mount"}) {
            QVERIFY(!web::pageMayRun(named(refused), &reason));
            QVERIFY(reason.contains(QLatin1String(refused)));
        }
        QVERIFY(!web::pageMayRun("not json", &reason));
    }

    void qrCode()
    {
        const QImage image = web::qrImage(QStringLiteral("http://192.168.1.20:8088/?t=") +
                                              QString::fromLatin1(web::newToken()),
                                          4);
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), image.height());
        QCOMPARE((image.width() / 4 - 8 - 17) % 4, 0);            // 21, 25, ... modules
        QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));         // quiet zone
        QCOMPARE(image.pixel(4 * 4, 4 * 4), qRgb(0, 0, 0));       // finder pattern's corner
        QCOMPARE(image.pixel(5 * 4, 5 * 4), qRgb(255, 255, 255)); // and its white ring
        QVERIFY(web::qrImage(QString(8000, QLatin1Char('x')), 4).isNull());
    }

    // Without the token there is nothing: not the page, not whether a path
    // exists, not the stream, not a command.
    void tokenGuardsEverything()
    {
        Served s;
        QVERIFY(s.ok);
        const QByteArray wrong = web::newToken();
        const QByteArray paths[] = {"/", "/events", "/meter.js", "/nothing", "/command"};
        offThread([&] {
            for (const QByteArray& path : paths) {
                for (const QByteArray& target :
                     {path, path + "?t=", path + "?t=" + wrong, path + "?t=" + s.token.left(31),
                      path + "?token=" + s.token, path + "?t=" + s.token + "0"}) {
                    const QByteArray r =
                        path == "/command" ? post(s.port, target, "{}") : get(s.port, target);
                    QVERIFY2(statusOf(r) == 403, target.constData());
                    QVERIFY2(bodyOf(r).isEmpty(), target.constData());
                }
            }
            QCOMPARE(statusOf(get(s.port, s.withToken("/"))), 200);
            QCOMPARE(statusOf(get(s.port, s.withToken("/nothing"))), 404);
        });
        const QByteArray old = s.token;
        s.server.renewToken();
        QCOMPARE(statusOf(get(s.port, "/?t=" + old)), 403);
        s.server.stop();
        QVERIFY(!Client(s.port).connected());
    }

    // The page has the readings as text before any script runs, escaped.
    void pageAndStream()
    {
        Served s;
        QVERIFY(s.ok);
        QSignalSpy polled(&s.session, &core::Session::polled);
        QVERIFY(polled.wait(2000));
        s.session.chooseSatellite(1); // "Astra <1>"
        QVERIFY(polled.wait(2000));
        QByteArray page, events;
        offThread([&] {
            page = bodyOf(get(s.port, s.withToken("/")));
            Client stream(s.port);
            stream.send("GET " + s.withToken("/events") + " HTTP/1.1\r\nHost: x\r\n\r\n");
            QElapsedTimer t;
            t.start();
            while (events.count("data: {") < 3 && t.elapsed() < 5000)
                events += stream.read(1);
        });
        QVERIFY(page.contains("AGC: "));
        QVERIFY(page.contains("Astra &lt;1&gt;"));
        QVERIFY(!page.contains("@TOKEN@"));
        QVERIFY(page.contains("meter.js?t=" + s.token));
        QVERIFY(events.contains("text/event-stream"));
        QCOMPARE(events.count("data: {"), 3);
        const int at = events.lastIndexOf("data: ") + 6;
        const QJsonObject last =
            QJsonDocument::fromJson(events.mid(at, events.indexOf('\n', at) - at)).object();
        QVERIFY(last.contains(QStringLiteral("agc")));
        QVERIFY(last.contains(QStringLiteral("tone_hz")));
        QVERIFY(last.contains(QStringLiteral("network_line")));
    }

    // A new token or a stop ends the streams at once, a reader or not.
    void streamsEndWithTheirToken()
    {
        Served s;
        QVERIFY(s.ok);
        Client reader(s.port, 5000), stalled(s.port, 5000);
        const QByteArray request = "GET " + s.withToken("/events") + " HTTP/1.1\r\nHost: x\r\n\r\n";
        QVERIFY(reader.send(request) && stalled.send(request));
        QTRY_COMPARE(s.server.clients(), 2);
        // A command whose body is still coming when the link is renewed.
        Client slow(s.port, 5000);
        QVERIFY(slow.send("POST " + s.withToken("/command") +
                          " HTTP/1.1\r\nHost: x\r\nContent-Length: 18\r\n\r\n{\"command\""));
        QTRY_COMPARE(s.server.connections(), 3);
        s.server.renewToken();
        QTRY_COMPARE(s.server.clients(), 0);
        QVERIFY(reader.ended());
        QVERIFY(slow.send(":\"halt\"}"));
        QCOMPARE(statusOf(slow.read()), 403);
        QVERIFY(!s.board.scene->heard.contains(QByteArray("\xE0\x31\x60", 3)));
        Client again(s.port, 5000);
        QVERIFY(again.send(
            "GET /events?t=" +
            QUrlQuery(QUrl(s.server.url())).queryItemValue(QStringLiteral("t")).toLatin1() +
            " HTTP/1.1\r\nHost: x\r\n\r\n"));
        QTRY_COMPARE(s.server.clients(), 1);
        s.server.stop(); // returns: its threads were woken
        QCOMPARE(s.server.clients(), 0);
        QVERIFY(again.ended());
    }

    // The page's controls run the session's commands; nothing else gets through.
    void commands_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("replyHas");
        QTest::newRow("halt") << command("halt") << 200 << "\"ok\"";
        // Answered at once, while the dish still moves: the page watches it.
        QTest::newRow("drive a step")
            << command("drive", {"east", "1", "steps"}) << 200 << "\"moving\":true";
        QTest::newRow("satellites") << command("satellites") << 200 << "Hot Bird";
        QTest::newRow("unknown satellite") << command("satellite", {"99.9E"}) << 200 << "error";
        QTest::newRow("raw bytes")
            << command("raw", {"E0", "31", "6B"}) << 400 << "not a phone meter command";
        QTest::newRow("not JSON") << QByteArray("halt") << 400 << "names no command";
        QTest::newRow("too large") << QByteArray(4096, ' ') << 413 << "";
        // Refused on its length, before a byte of the body comes.
        QTest::newRow("too large, announced") << QByteArray() << 413 << "";
        // Without scripts: a form's Halt, then the page again.
        QTest::newRow("halt form") << QByteArray("go=HALT") << 303 << "";
        QTest::newRow("too large, chunked") << QByteArray(4096, ' ') << 413 << "";
    }
    void commands()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, replyHas);
        Served s;
        QVERIFY(s.ok);
        const QByteArray tag = QTest::currentDataTag();
        QByteArray r;
        offThread([&] {
            if (tag.endsWith("announced")) {
                Client c(s.port);
                c.send("POST " + s.withToken("/command") +
                       " HTTP/1.1\r\nHost: x\r\nContent-Length: 100000000\r\n\r\n");
                r = c.read(12);
            } else if (tag == "halt form") {
                r = post(s.port, s.withToken("/halt"), body);
            } else if (tag.endsWith("chunked")) { // no length to refuse it by
                Client c(s.port);
                c.send("POST " + s.withToken("/command") +
                       " HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n1000\r\n" + body +
                       "\r\n0\r\n\r\n");
                r = c.read();
            } else {
                r = post(s.port, s.withToken("/command"), body);
            }
        });
        QCOMPARE(statusOf(r), status);
        QVERIFY2(bodyOf(r).contains(replyHas.toUtf8()), r.constData());
        if (status == 303)
            QVERIFY(r.contains("Location: /?t=" + s.token));
        const bool halts = tag.startsWith("halt");
        QCOMPARE(s.board.scene->heard.contains(QByteArray("\xE0\x31\x60", 3)), halts);
        QVERIFY(!s.board.scene->heard.contains(QByteArray("\xE0\x31\x6B", 3)));
    }

    // Rubbish, 10,000 connections, more idle ones than a host may hold and a
    // client that never reads: the poll keeps its interval and a phone on
    // another address still gets in at once.
    void hostileClients()
    {
        Served s;
        QVERIFY(s.ok);
        QVector<qint64> ticks;
        QElapsedTimer clock;
        clock.start();
        connect(&s.session, &core::Session::polled, this, [&] { ticks.append(clock.elapsed()); });
        QByteArray phone;
        int refusedOrClosed = 0;
        offThread([&] { phone = attack(s, &refusedOrClosed); });
        QCOMPARE(statusOf(phone), 200);
        QVERIFY2(refusedOrClosed > 9000, qPrintable(QString::number(refusedOrClosed)));
        QVector<qint64> gaps;
        for (int i = 1; i < ticks.size(); ++i)
            gaps.append(ticks.at(i) - ticks.at(i - 1));
        std::sort(gaps.begin(), gaps.end());
        QVERIFY(gaps.size() > 8);
        const qint64 median = gaps.at(gaps.size() / 2), p95 = gaps.at(gaps.size() * 95 / 100);
        const double mean = double(ticks.last() - ticks.first()) / (ticks.size() - 1);
        qInfo("poll interval under attack: %d ticks, mean %.1f ms, median %lld ms, 95th "
              "percentile %lld ms, longest %lld ms",
              int(ticks.size()), mean, median, p95, gaps.last());
        // The period holds (no tick lost, none bunched); one tick may come a
        // little late on a busy machine, never half an interval late.
        QVERIFY(median >= 225 && median <= 275);
        QVERIFY(mean >= 225 && mean <= 275);
        QVERIFY(gaps.last() < 375);
    }

private:
    static QByteArray command(const char* name, const QStringList& args = {})
    {
        return QJsonDocument(
                   QJsonObject{{QStringLiteral("command"), QLatin1String(name)},
                               {QStringLiteral("args"), QJsonArray::fromStringList(args)}})
            .toJson(QJsonDocument::Compact);
    }

    static QByteArray attack(const Served& s, int* refusedOrClosed)
    {
        const QByteArray token = s.token;
        // A stream client that never reads, for the whole attack.
        Client stalled(s.port);
        stalled.send("GET /events?t=" + token + " HTTP/1.1\r\nHost: x\r\n\r\n");
        const QByteArray rubbish[] = {
            "GARBAGE\r\n\r\n",
            "GET / HTTP/9.9\r\n\r\n",
            "GET /?t=" + token + " HTTP/1.1\r\nno colon here\r\n\r\n",
            "GET /?t=" + token + " HTTP/1.1\r\nX: " + QByteArray(64 * 1024, 'a') + "\r\n\r\n",
            "POST /command?t=" + token + " HTTP/1.1\r\nContent-Length: -5\r\n\r\n",
            "POST /command?t=" + token +
                " HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nZZZ\r\n{}\r\n0\r\n\r\n",
            "POST /command?t=" + token + " HTTP/1.1\r\nContent-Length: 999999999\r\n\r\n{",
            "GET /" + QByteArray(40000, 'x') + "?t=" + token + " HTTP/1.1\r\n\r\n",
            QByteArray("\0\0\0\xff\xfe", 5),
        };
        for (int round = 0; round < 3; ++round)
            for (const QByteArray& r : rubbish) {
                Client c(s.port, 1000);
                c.send(r);
                const QByteArray answer = c.read();
                if (!answer.isEmpty() && statusOf(answer) < 400)
                    return "accepted: " + r.left(60);
            }
        // More idle connections than one host may hold, held while 10,000
        // come and go.
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < 2 * web::MaxConnectionsPerAddress; ++i)
            idle.push_back(std::make_unique<Client>(s.port, 200));
        for (int i = 0; i < 10000; ++i) {
            Client c(s.port, 200);
            c.send("GET /?t=" + token + " HTTP/1.1\r\n\r\n");
            if (!c.connected() || c.read(12).isEmpty())
                ++*refusedOrClosed;
        }
        Client phone(s.port, 1000, "127.0.0.2");
        phone.send("GET /?t=" + token + " HTTP/1.1\r\nConnection: close\r\n\r\n");
        return phone.read();
    }
};

QTEST_GUILESS_MAIN(TestWeb)
#include "tst_web.moc"
