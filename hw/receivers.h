#pragma once

#include "hw/cardbackend.h"
#include "hw/clock.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

namespace hw {

// A receiver string as given with --receiver: a back-end name followed by
// comma-separated options, each "key" or "key=value", e.g. "sim,fail=open".
struct ReceiverSpec
{
    QString name;
    QVector<QPair<QString, QString>> options;

    static ReceiverSpec parse(const QString& text);
    bool has(const QString& key) const;
    QStringList values(const QString& key) const;
};

using ReceiverFactory =
    std::function<std::unique_ptr<CardBackend>(const ReceiverSpec&, Clock&, QString* error)>;

void registerReceiver(const QString& name, const QString& description, ReceiverFactory factory);
QStringList receiverDescriptions();

// The back end for a receiver string, or null with *error saying why.
std::unique_ptr<CardBackend> createReceiver(const QString& text, Clock& clock, QString* error);

} // namespace hw
