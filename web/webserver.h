#pragma once

#include "core/webcontrol.h"
#include "web/webaccess.h"
#include "web/webhub.h"

#include <QObject>

#include <memory>

struct MHD_Daemon;
class RemoteControl;

namespace core {
class Session;
}

namespace web {

struct Site;

// The phone meter: a small web server (libmicrohttpd, a thread per
// connection) whose page shows the session's readings as they are polled and
// sends its controls through the same commands as "zenara --remote". The
// connection threads only ever touch the hub, so a slow or hostile client
// cannot hold up the poll.
class WebServer : public QObject, public core::WebControl
{
    Q_OBJECT

public:
    explicit WebServer(core::Session& session, QObject* parent = nullptr);
    ~WebServer() override;

    bool start(const Listen& listen, QString* error);
    void stop();
    bool running() const { return m_daemon != nullptr; }
    QString url() const;
    quint16 port() const { return m_port; }
    const Listen& listening() const { return m_listen; }
    int clients() const { return m_hub.streams(); }
    // Open connections, streams or not.
    int connections() const;

    // core::WebControl, for the "web" command.
    bool startServing(const QString& where, QString* error) override;
    void stopServing() override { stop(); }
    void renewToken() override;
    QJsonObject webState() const override;

    // The readings as the page gets them (public for the tests).
    QByteArray snapshot() const;

signals:
    // Started, stopped or a new token: the address changed.
    void stateChanged();

private:
    void publish();
    void runCommand(quint64 id, const QByteArray& request);

    core::Session& m_session;
    RemoteControl* m_remote;
    Hub m_hub;
    std::unique_ptr<Site> m_site;
    MHD_Daemon* m_daemon = nullptr;
    Listen m_listen;
    quint16 m_port = 0;
    QByteArray m_token;
};

} // namespace web
