#pragma once

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace web {

// What the program's thread and the server's connection threads share: the
// token, the latest readings, and the page's commands on their way to the
// session and back. Every wait here ends when the server stops.
class Hub
{
public:
    enum class Next { Event, KeepAlive, End };
    // Runs a command's request on the program's thread; the reply comes back
    // through reply(id, ...), from that thread.
    using Dispatch = std::function<void(std::uint64_t id, const QByteArray& request)>;

    void open(const QByteArray& token, const QByteArray& page, const Dispatch& dispatch);
    // Ends every stream and wait; nothing is let in until open() again.
    void close();
    // A new token: streams opened with the old one end.
    void setToken(const QByteArray& token);
    bool admits(const QByteArray& given) const;
    // The same, and the token's generation it was let in with.
    bool admits(const QByteArray& given, std::uint64_t* generation) const;
    std::uint64_t generation() const;

    // The readings of one poll, as JSON and as escaped text for the page.
    void publish(const QByteArray& json, const QByteArray& textHtml);
    // The event after *seq (waiting up to timeoutMs for it), a keep-alive
    // when none came, or the end of the stream.
    Next waitNext(std::uint64_t* seq, std::uint64_t generation, int timeoutMs, QByteArray* json);
    // The page with its token and the current readings filled in.
    QByteArray page(const QByteArray& token) const;

    // A page's command, let in with that generation: its reply; refused when
    // the token changed since; none when the program did not answer within
    // timeoutMs, too many wait (a halt always goes), or the server stopped.
    enum class Answer { Given, Refused, None };
    Answer command(const QByteArray& request, std::uint64_t generation, int timeoutMs,
                   QByteArray* reply);
    void reply(std::uint64_t id, const QByteArray& reply);
    // Whether the asker of that command still waits for it.
    bool waiting(std::uint64_t id) const;

    void streamOpened();
    void streamClosed();
    int streams() const;
    // The token as it may be written in a log line: never.
    QByteArray scrub(const QByteArray& line) const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    QByteArray m_token;
    std::uint64_t m_generation = 0;
    QByteArray m_page;
    QByteArray m_json;
    QByteArray m_textHtml;
    std::uint64_t m_seq = 0;
    Dispatch m_dispatch;
    std::uint64_t m_nextId = 0;
    std::map<std::uint64_t, QByteArray> m_replies; // empty until answered
    std::map<std::uint64_t, bool> m_answered;
    int m_streams = 0;
};

} // namespace web
