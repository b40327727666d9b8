#pragma once

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

// Lets only one copy of the program run per user. A copy asks a running one
// through a local socket named from the id and the user; the running copy
// answers every probe and brings its main window to the front.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // directory: where the socket lives; empty for the user's runtime directory.
    // Either is used only when it is a folder of this user's that nobody else
    // can enter; otherwise a private folder is made (see privateDirectory).
    explicit SingleInstance(const QString& id, const QString& directory = QString(),
                            QObject* parent = nullptr);

    ~SingleInstance() override;

    // True when a running instance received the text within timeoutMs; false
    // at once when cancelled() says so. Takes the start-up lock (below).
    bool sendMessage(const QString& text, int timeoutMs,
                     const std::function<bool()>& cancelled = {});
    // Starts answering probes; removes a socket left behind by a crashed copy.
    // The start-up lock (a lock file beside the socket) is held from the probe
    // until here, so that of two copies started together only one listens.
    bool listen();
    // Listening, with our socket file still in place (Qt's server says it
    // listens after it closed itself and deleted the file).
    bool isListening() const;
    QString socketName() const { return m_socketName; }

    // Answers a request (a JSON object) from "zenara --remote" by calling
    // reply, at once or later (the window keeps running meanwhile; a reply
    // for a client that has gone is dropped). Requests get no Acknowledge and
    // do not raise the window. A connection's requests are answered in turn.
    using Reply = std::function<void(const QByteArray& reply)>;
    std::function<void(const QByteArray& request, const Reply& reply)> requestHandler;

    // At most this many connections are kept, so that a flood of clients
    // cannot use up the descriptors the listening socket needs: a new one
    // takes the place of the oldest idle one; when every one is waiting for
    // its reply, a new one gets one answer (a probe its acknowledgement, a
    // request an error) and is closed.
    static constexpr int MaxConnections = 32;
    // A connection that has sent no complete request for this long (and is
    // not waiting for a reply) is closed.
    void setIdleTimeoutMs(int ms) { m_idleTimeoutMs = ms; }
    int connectionCount() const { return m_sockets.size(); }
    // Sends a request to the running copy and waits for its reply; false with
    // *error when nobody answers.
    bool sendRequest(const QByteArray& request, QByteArray* reply, int timeoutMs, QString* error);

    // The window that a received message brings to the front.
    void setActivationWindow(QWidget* window) { m_window = window; }
    void activateWindow();

    // A real folder (not a link), owned by this user, closed to everybody else.
    static bool isPrivateDirectory(const QString& path);
    // preferred when it is private, else "zenara-<uid>" in the temporary
    // folder, else "zenara-runtime" in the cache folder (each made 0700 when
    // missing); empty when none of them is private.
    // A folder is passed over when a name of nameLength bytes in it would be
    // too long for a local socket.
    static QString privateDirectory(const QString& preferred, int nameLength = 0);

signals:
    void messageReceived(const QString& text);

private:
    void acceptConnection();
    void serve(class QLocalSocket* socket);
    void answerOnce(class QLocalSocket* socket);
    void answerNext(class QLocalSocket* socket);
    void keepListening();
    bool acquireLock(int timeoutMs, const std::function<bool()>& cancelled);
    void releaseLock();

    QString m_socketName;
    QLocalServer* m_server = nullptr;
    QPointer<QWidget> m_window;
    int m_lockFd = -1;
    QList<class QLocalSocket*> m_sockets; // oldest first
    int m_overflow = 0;                   // connections answered once, beyond those
    quint64 m_socketInode = 0; // of the socket file made by listening
    int m_idleTimeoutMs = 30000;
    class QTimer* m_watchdog = nullptr;
};
