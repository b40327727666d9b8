#include "web/webhub.h"

#include "web/webaccess.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>

namespace web {

void Hub::open(const QByteArray& token, const QByteArray& page, const Dispatch& dispatch)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_token = token;
    ++m_generation;
    m_page = page;
    m_dispatch = dispatch;
}

void Hub::close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
        m_token.clear();
        ++m_generation;
        m_dispatch = nullptr;
    }
    m_changed.notify_all();
}

void Hub::setToken(const QByteArray& token)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_token = token;
        ++m_generation;
    }
    m_changed.notify_all();
}

bool Hub::admits(const QByteArray& given) const
{
    std::uint64_t generation = 0;
    return admits(given, &generation);
}

bool Hub::admits(const QByteArray& given, std::uint64_t* generation) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    *generation = m_generation;
    return m_open && sameToken(given, m_token);
}

std::uint64_t Hub::generation() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_generation;
}

void Hub::publish(const QByteArray& json, const QByteArray& textHtml)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_json = json;
        m_textHtml = textHtml;
        ++m_seq;
    }
    m_changed.notify_all();
}

Hub::Next Hub::waitNext(std::uint64_t* seq, std::uint64_t generation, int timeoutMs,
                        QByteArray* json)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto ended = [&] {
        return !m_open || m_generation != generation;
    };
    const bool woke = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return ended() || (m_seq != *seq && !m_json.isEmpty());
    });
    if (ended())
        return Next::End;
    if (!woke)
        return Next::KeepAlive;
    *seq = m_seq;
    *json = m_json;
    return Next::Event;
}

QByteArray Hub::page(const QByteArray& token) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray page = m_page;
    page.replace("@READINGS@", m_textHtml);
    return page.replace("@TOKEN@", token);
}

Hub::Answer Hub::command(const QByteArray& request, std::uint64_t generation, int timeoutMs,
                         QByteArray* reply)
{
    const bool halt = QJsonDocument::fromJson(request).object().value(QStringLiteral("command")) ==
                      QLatin1String("halt");
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_open || m_generation != generation)
        return Answer::Refused;
    if (!m_dispatch || (int(m_answered.size()) >= MaxPendingCommands && !halt))
        return Answer::None;
    const std::uint64_t id = ++m_nextId;
    m_answered[id] = false;
    const Dispatch dispatch = m_dispatch;
    lock.unlock();
    dispatch(id, request); // only queues it for the program's thread
    lock.lock();
    const bool answered = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return m_answered[id] || !m_open || m_generation != generation;
    });
    const bool ok = answered && m_answered[id];
    if (ok)
        *reply = m_replies[id];
    m_answered.erase(id);
    m_replies.erase(id);
    return ok ? Answer::Given : Answer::None;
}

bool Hub::waiting(std::uint64_t id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answered.count(id) != 0 && m_open;
}

void Hub::reply(std::uint64_t id, const QByteArray& reply)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_answered.find(id);
        if (it == m_answered.end()) // its asker gave up
            return;
        it->second = true;
        m_replies[id] = reply;
    }
    m_changed.notify_all();
}

void Hub::streamOpened()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_streams;
}

void Hub::streamClosed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_streams;
}

int Hub::streams() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_streams;
}

QByteArray Hub::scrub(const QByteArray& line) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray out = line;
    return m_token.isEmpty() ? out : out.replace(m_token, "(token)");
}

} // namespace web
