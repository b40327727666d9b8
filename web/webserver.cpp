#include "web/webserver.h"

#include "core/remotecommands.h"
#include "core/remotecontrol.h"
#include "core/session.h"
#include "monitor/networkcheck.h"
#include "monitor/sound.h"

#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTimer>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <cstring>

Q_LOGGING_CATEGORY(lcWeb, "zenara.web", QtInfoMsg)

static void initPageResources()
{
    Q_INIT_RESOURCE(web);
}

namespace web {

// What the connection threads read: the hub and the page's fixed files.
struct Site
{
    Hub* hub;
    QByteArray script;
    QByteArray style;
};

namespace {

// A request being read: its body so far, and the token's generation it was
// let in with (a new link ends it even while its body still comes).
struct Request
{
    QByteArray body;
    std::uint64_t generation = 0;
    bool tooLarge = false;
};

// One page's live readings: server-sent events, one per poll.
struct Stream
{
    Hub* hub;
    std::uint64_t generation;
    std::uint64_t seq = 0;
    QByteArray out;
    int sent = 0;
};

QByteArray resource(const char* name)
{
    QFile file(QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

MHD_Result send(MHD_Connection* c, unsigned status, const QByteArray& body, const char* type)
{
    MHD_Response* r = MHD_create_response_from_buffer(
        size_t(body.size()), const_cast<char*>(body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!r)
        return MHD_NO;
    if (type)
        MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    MHD_add_response_header(r, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    if (type && std::strncmp(type, "text/html", 9) == 0)
        MHD_add_response_header(r, "Content-Security-Policy",
                                "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
    const MHD_Result queued = MHD_queue_response(c, status, r);
    MHD_destroy_response(r);
    return queued;
}

ssize_t readStream(void* cls, uint64_t, char* buffer, size_t max)
{
    auto* s = static_cast<Stream*>(cls);
    if (s->sent >= s->out.size()) {
        QByteArray json;
        switch (s->hub->waitNext(&s->seq, s->generation, 10000, &json)) {
        case Hub::Next::End:
            return MHD_CONTENT_READER_END_OF_STREAM;
        case Hub::Next::KeepAlive: // a comment line, so that proxies and phones keep it open
            s->out = ": waiting for a reading\n\n";
            break;
        case Hub::Next::Event:
            s->out = "data: " + json + "\n\n";
            break;
        }
        s->sent = 0;
    }
    const size_t n = std::min(max, size_t(s->out.size() - s->sent));
    std::memcpy(buffer, s->out.constData() + s->sent, n);
    s->sent += int(n);
    return ssize_t(n);
}

void freeStream(void* cls)
{
    auto* s = static_cast<Stream*>(cls);
    s->hub->streamClosed();
    delete s;
}

MHD_Result openStream(MHD_Connection* c, Hub* hub, std::uint64_t generation)
{
    auto* s = new Stream{hub, generation, 0, {}, 0};
    hub->streamOpened();
    MHD_Response* r =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &readStream, s, &freeStream);
    if (!r) {
        freeStream(s);
        return MHD_NO;
    }
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream");
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    const MHD_Result queued = MHD_queue_response(c, MHD_HTTP_OK, r);
    MHD_destroy_response(r);
    return queued;
}

MHD_Result runCommand(MHD_Connection* c, Hub* hub, const QByteArray& body, std::uint64_t generation)
{
    QString reason;
    if (!pageMayRun(body, &reason))
        return send(c, MHD_HTTP_BAD_REQUEST,
                    QJsonDocument(QJsonObject{{QStringLiteral("error"), reason}})
                        .toJson(QJsonDocument::Compact),
                    "application/json");
    QByteArray reply;
    switch (hub->command(body, generation, CommandTimeoutMs, &reply)) {
    case Hub::Answer::Refused:
        return send(c, MHD_HTTP_FORBIDDEN, {}, nullptr);
    case Hub::Answer::None:
        return send(c, MHD_HTTP_SERVICE_UNAVAILABLE, R"({"error":"Zenara did not answer"})",
                    "application/json");
    case Hub::Answer::Given:
        break;
    }
    return send(c, MHD_HTTP_OK, reply, "application/json");
}

// The page's Halt without scripts: a form posted, then the page again.
MHD_Result haltFromForm(MHD_Connection* c, Hub* hub, std::uint64_t generation,
                        const QByteArray& token)
{
    QByteArray reply;
    if (hub->command(R"({"command":"halt"})", generation, CommandTimeoutMs, &reply) ==
        Hub::Answer::Refused)
        return send(c, MHD_HTTP_FORBIDDEN, {}, nullptr);
    MHD_Response* r = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    if (!r)
        return MHD_NO;
    MHD_add_response_header(r, MHD_HTTP_HEADER_LOCATION, ("/?t=" + token).constData());
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    const MHD_Result queued = MHD_queue_response(c, MHD_HTTP_SEE_OTHER, r);
    MHD_destroy_response(r);
    return queued;
}

MHD_Result route(MHD_Connection* c, const Site& site, const QByteArray& path, const char* method,
                 const Request& request, const QByteArray& token)
{
    if (std::strcmp(method, MHD_HTTP_METHOD_POST) == 0) {
        if (path == "/command")
            return runCommand(c, site.hub, request.body, request.generation);
        if (path == "/halt")
            return haltFromForm(c, site.hub, request.generation, token);
        return send(c, MHD_HTTP_METHOD_NOT_ALLOWED, {}, nullptr);
    }
    if (path == "/")
        return send(c, MHD_HTTP_OK, site.hub->page(token), "text/html; charset=utf-8");
    if (path == "/events" && std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0)
        return send(c, MHD_HTTP_OK, {}, "text/event-stream"); // the page asking if it may
    if (path == "/events")
        return openStream(c, site.hub, request.generation);
    if (path == "/meter.js")
        return send(c, MHD_HTTP_OK, site.script, "text/javascript; charset=utf-8");
    if (path == "/meter.css")
        return send(c, MHD_HTTP_OK, site.style, "text/css; charset=utf-8");
    return send(c, MHD_HTTP_NOT_FOUND, {}, nullptr);
}

// Called with the headers read (state still null), then with each piece of
// the body, then once more with none left.
MHD_Result answer(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                  const char* upload, size_t* uploadSize, void** state)
{
    const Site& site = *static_cast<const Site*>(cls);
    const char* given = MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "t");
    const QByteArray token(given ? given : "");
    const bool post = std::strcmp(method, MHD_HTTP_METHOD_POST) == 0;
    if (!*state) {
        // Nothing at all without the token, not even whether a path exists.
        std::uint64_t generation = 0;
        if (!site.hub->admits(token, &generation))
            return send(c, MHD_HTTP_FORBIDDEN, {}, nullptr);
        if (!post && std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
            std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
            return send(c, MHD_HTTP_METHOD_NOT_ALLOWED, {}, nullptr);
        // Refused before a byte of a body too large is read.
        const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Length");
        if (length && std::strtoull(length, nullptr, 10) > MaxCommandBytes)
            return send(c, MHD_HTTP_CONTENT_TOO_LARGE, {}, nullptr);
        *state = new Request{{}, generation, false};
        return MHD_YES;
    }
    auto* request = static_cast<Request*>(*state);
    if (*uploadSize > 0) {
        // A body without a length that grows too large: the rest is dropped
        // and refused at its end (no answer can go out in the middle).
        request->tooLarge =
            request->tooLarge || request->body.size() + qint64(*uploadSize) > MaxCommandBytes;
        if (!request->tooLarge)
            request->body.append(upload, int(*uploadSize));
        *uploadSize = 0;
        return MHD_YES;
    }
    if (request->tooLarge)
        return send(c, MHD_HTTP_CONTENT_TOO_LARGE, {}, nullptr);
    return route(c, site, QByteArray(url), method, *request, token);
}

void completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode)
{
    delete static_cast<Request*>(*state);
    *state = nullptr;
}

// The library's own complaints, without the token should one hold it.
void logLine(void* cls, const char* format, va_list arguments)
{
    char line[512];
    std::vsnprintf(line, sizeof line, format, arguments);
    qCDebug(lcWeb, "%s",
            static_cast<Site*>(cls)->hub->scrub(QByteArray(line).trimmed()).constData());
}

} // namespace

WebServer::WebServer(core::Session& session, QObject* parent)
    : QObject(parent), m_session(session), m_remote(new RemoteControl(session, this))
{
    initPageResources();
    connect(&session, &core::Session::polled, this, &WebServer::publish);
    connect(&session, &core::Session::closing, this, &WebServer::stop);
}

WebServer::~WebServer()
{
    stop();
}

bool WebServer::start(const Listen& listen, QString* error)
{
    stop();
    m_site.reset(new Site{&m_hub, resource(":/web/meter.js"), resource(":/web/meter.css")});
    sockaddr_storage address{};
    const bool ipv6 = listen.address.protocol() == QAbstractSocket::IPv6Protocol;
    if (ipv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&address);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(listen.port);
        const Q_IPV6ADDR bytes = listen.address.toIPv6Address();
        std::memcpy(&a->sin6_addr, &bytes, sizeof bytes);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&address);
        a->sin_family = AF_INET;
        a->sin_port = htons(listen.port);
        a->sin_addr.s_addr = htonl(listen.address.toIPv4Address());
    }
    m_token = newToken();
    m_hub.open(
        m_token, resource(":/web/meter.html"), [this](quint64 id, const QByteArray& request) {
            QMetaObject::invokeMethod(
                this, [this, id, request] { runCommand(id, request); }, Qt::QueuedConnection);
        });
    publish();
    // "::" takes IPv4 clients too: the code shows an IPv4 address for it.
    const bool any6 = listen.address == QHostAddress(QHostAddress::AnyIPv6);
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION |
                           MHD_USE_ERROR_LOG |
                           (any6   ? MHD_USE_DUAL_STACK
                            : ipv6 ? MHD_USE_IPv6
                                   : 0);
    errno = 0;
    m_daemon = MHD_start_daemon(
        flags, listen.port, nullptr, nullptr, &answer, m_site.get(), MHD_OPTION_SOCK_ADDR, &address,
        MHD_OPTION_CONNECTION_LIMIT, unsigned(MaxConnections), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        unsigned(MaxConnectionsPerAddress), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        size_t(ConnectionMemoryBytes), MHD_OPTION_CONNECTION_TIMEOUT, unsigned(IdleTimeoutSeconds),
        MHD_OPTION_NOTIFY_COMPLETED, &completed, nullptr, MHD_OPTION_EXTERNAL_LOGGER, &logLine,
        m_site.get(), MHD_OPTION_END);
    if (!m_daemon) {
        const int cause = errno;
        m_hub.close();
        *error = QStringLiteral("The phone meter cannot listen on %1 port %2: %3")
                     .arg(listen.address.toString())
                     .arg(listen.port)
                     .arg(cause ? QString::fromLocal8Bit(std::strerror(cause))
                                : QStringLiteral("the address is not this machine's, or the "
                                                 "port is taken"));
        return false;
    }
    m_listen = listen;
    m_port = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
    qCDebug(lcWeb, "Phone meter on %s port %u", qPrintable(listen.address.toString()), m_port);
    emit stateChanged();
    return true;
}

void WebServer::stop()
{
    if (!m_daemon)
        return;
    // Wake every stream and command first: stopping joins their threads.
    m_hub.close();
    MHD_stop_daemon(std::exchange(m_daemon, nullptr));
    m_token.clear();
    m_port = 0;
    emit stateChanged();
}

void WebServer::renewToken()
{
    if (!m_daemon)
        return;
    m_token = newToken();
    m_hub.setToken(m_token);
    emit stateChanged();
}

int WebServer::connections() const
{
    return m_daemon ? int(MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_CURRENT_CONNECTIONS)
                              ->num_connections)
                    : 0;
}

QString WebServer::url() const
{
    return m_daemon ? pageUrl(m_listen, m_port, m_token) : QString();
}

bool WebServer::startServing(const QString& where, QString* error)
{
    Listen listen;
    return parseListen(where, QHostAddress(QHostAddress::LocalHost), &listen, error) &&
           start(listen, error);
}

QJsonObject WebServer::webState() const
{
    return {{QStringLiteral("running"), running()},
            {QStringLiteral("url"), url()},
            {QStringLiteral("address"), running() ? m_listen.address.toString() : QString()},
            {QStringLiteral("port"), int(m_port)},
            {QStringLiteral("clients"), clients()}};
}

QByteArray WebServer::snapshot() const
{
    QJsonObject o = remotecommands::status(m_session, 0);
    const optionvalues::Values& v = m_session.options();
    const QJsonValue agc = o.value(QStringLiteral("agc"));
    o.insert(QStringLiteral("tone_hz"),
             agc.isDouble() ? QJsonValue(double(sound::toneFrequency(
                                  agc.toDouble(), v.acousticFreqMinHz, v.acousticFreqMaxHz,
                                  v.acousticScaleMin, v.acousticScaleMax)))
                            : QJsonValue());
    QString line;
    if (m_session.networkState() == core::Session::Network::None)
        line = networkcheck::noneText();
    else if (m_session.networkState() == core::Session::Network::Found)
        line = networkcheck::text(m_session.network(), m_session.networkVerdict(),
                                  m_session.chosenPosition(), m_session.networkSatellite());
    o.insert(QStringLiteral("network_line"), line);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void WebServer::publish()
{
    if (!m_daemon && !m_hub.admits(m_token))
        return;
    const QByteArray json = snapshot();
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    m_hub.publish(json, readingsText(o).toHtmlEscaped().toUtf8());
}

void WebServer::runCommand(quint64 id, const QByteArray& request)
{
    const bool halt = QJsonDocument::fromJson(request).object().value(QStringLiteral("command")) ==
                      QLatin1String("halt");
    // Its asker gave up (a new link, a stop): nothing moves for it now. A
    // halt still stops the dish.
    if (!halt && !m_hub.waiting(id))
        return;
    // A drive or a fine-tune runs until the dish stops: the page is told at
    // once that it started and watches the rest in the readings.
    auto replied = std::make_shared<bool>(false);
    const auto answer = [this, id, replied](const QByteArray& reply) {
        if (!std::exchange(*replied, true))
            m_hub.reply(id, reply);
    };
    QTimer::singleShot(StartedReplyMs, this, [answer] { answer(R"({"ok":true,"running":true})"); });
    m_remote->handle(request, answer, RemoteControl::Waits::No);
}

} // namespace web
