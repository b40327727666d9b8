#include "hw/receivers.h"

#include <QMap>

namespace hw {
namespace {

struct Entry
{
    QString description;
    ReceiverFactory factory;
};

QMap<QString, Entry>& registry()
{
    static QMap<QString, Entry> entries;
    return entries;
}

} // namespace

ReceiverSpec ReceiverSpec::parse(const QString& text)
{
    ReceiverSpec request;
    const QStringList parts = text.split(QLatin1Char(','));
    request.name = parts.value(0).trimmed();
    // "dvb:/dev/dvb/adapter1/frontend0": the device after the name.
    const int colon = request.name.indexOf(QLatin1Char(':'));
    if (colon > 0) {
        request.options.append({QStringLiteral("device"), request.name.mid(colon + 1)});
        request.name = request.name.left(colon);
    }
    for (int i = 1; i < parts.size(); ++i) {
        const QString part = parts.at(i).trimmed();
        if (part.isEmpty())
            continue;
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            request.options.append({part, QString()});
        else
            request.options.append({part.left(eq).trimmed(), part.mid(eq + 1).trimmed()});
    }
    return request;
}

bool ReceiverSpec::has(const QString& key) const
{
    for (const auto& option : options) {
        if (option.first == key)
            return true;
    }
    return false;
}

QStringList ReceiverSpec::values(const QString& key) const
{
    QStringList result;
    for (const auto& option : options) {
        if (option.first == key)
            result.append(option.second);
    }
    return result;
}

void registerReceiver(const QString& name, const QString& description, ReceiverFactory factory)
{
    registry().insert(name, Entry{description, std::move(factory)});
}

QStringList receiverDescriptions()
{
    QStringList lines;
    const auto& entries = registry();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        lines.append(it.value().description);
    return lines;
}

std::unique_ptr<CardBackend> createReceiver(const QString& text, Clock& clock, QString* error)
{
    const ReceiverSpec request = ReceiverSpec::parse(text);
    const auto it = registry().constFind(request.name);
    if (it == registry().constEnd()) {
        if (error) {
            *error =
                QStringLiteral("Unknown receiver \"%1\"; known receivers: %2")
                    .arg(request.name, QStringList(registry().keys()).join(QStringLiteral(", ")));
        }
        return nullptr;
    }
    return it.value().factory(request, clock, error);
}

} // namespace hw
