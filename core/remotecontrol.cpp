#include "core/remotecontrol.h"

#include "core/session.h"
#include "hw/cardlibrary.h"

#include <QJsonDocument>
#include <QTimer>

#include <cmath>

const char* const RemoteControl::ShuttingDown = "Zenara is shutting down";

RemoteControl::RemoteControl(core::Session& session, QObject* parent)
    : QObject(parent), m_session(session)
{
    // Every change a waiting request may be waiting for.
    connect(&session, &core::Session::polled, this, &RemoteControl::checkWaits);
    connect(&session, &core::Session::motionChanged, this, &RemoteControl::checkWaits);
    connect(&session, &core::Session::closing, this, &RemoteControl::shutDown);
}

QByteArray RemoteControl::request(const QString& command, const QStringList& args)
{
    return remote::encode(command, args);
}

QByteArray RemoteControl::encode(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray RemoteControl::failure(const QString& text)
{
    return encode(QJsonObject{{QStringLiteral("error"), text}});
}

void RemoteControl::handle(const QByteArray& request, const Reply& reply, Waits waits)
{
    if (m_shutDown) {
        reply(failure(QLatin1String(ShuttingDown)));
        return;
    }
    const remote::Request r = remote::parse(request);
    if (!r.error.isEmpty()) {
        reply(failure(r.error));
        return;
    }
    const int saves = m_session.saveAttempts();
    Outcome outcome = remotecommands::run(m_session, r);
    if (m_shutDown) // a drive under way when the program closed
        outcome.error = QLatin1String(ShuttingDown);
    // Done, but not kept: the reply says so, as the status bar does.
    if (outcome.error.isEmpty() && m_session.saveAttempts() != saves &&
        !m_session.lastSaveError().isEmpty())
        outcome.error = m_session.lastSaveError();
    if (!outcome.error.isEmpty())
        reply(failure(outcome.error));
    else if (outcome.then == Then::Status || (outcome.then != Then::Reply && waits == Waits::No))
        reply(encode(remotecommands::status(m_session, m_waits.size())));
    else if (outcome.then == Then::Reply)
        reply(encode(outcome.reply));
    else
        startWait(outcome, reply);
}

void RemoteControl::startWait(const Outcome& outcome, const Reply& reply)
{
    Wait wait{outcome.then, QDeadlineTimer(QDeadlineTimer::Forever), reply};
    if (outcome.then == Then::Lock) {
        wait.deadline = QDeadlineTimer(qint64(std::ceil(outcome.seconds * 1000)));
        QTimer::singleShot(int(wait.deadline.remainingTime()), this, &RemoteControl::checkWaits);
    } else {
        const qint64 left =
            m_session.positioner().motion().remainingMs(hw::CardLayer::clock().nowMs());
        if (left >= 0 && left < 24 * 3600 * 1000)
            QTimer::singleShot(int(left) + 1, this, &RemoteControl::checkWaits);
    }
    if (waitIsOver(wait)) {
        reply(encode(remotecommands::status(m_session, m_waits.size())));
        return;
    }
    m_waits.append(wait);
}

bool RemoteControl::waitIsOver(const Wait& wait) const
{
    if (wait.kind == Then::Lock)
        return m_session.lastReading().locked || wait.deadline.hasExpired();
    // Until the program reckons the dish has arrived, or a Halt stopped it.
    return !m_session.positioner().motion().moving(hw::CardLayer::clock().nowMs());
}

void RemoteControl::checkWaits()
{
    // A reply may lead to another request being handled: go through a copy.
    const QList<Wait> waits = std::exchange(m_waits, {});
    for (const Wait& wait : waits) {
        if (waitIsOver(wait))
            wait.reply(encode(remotecommands::status(m_session, m_waits.size())));
        else
            m_waits.append(wait);
    }
}

void RemoteControl::shutDown()
{
    m_shutDown = true;
    const QList<Wait> waits = std::exchange(m_waits, {});
    for (const Wait& wait : waits)
        wait.reply(failure(QLatin1String(ShuttingDown)));
}
