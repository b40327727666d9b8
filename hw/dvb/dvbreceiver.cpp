#include "hw/dvb/dvbreceiver.h"

#include "hw/dvb/dvbbackend.h"
#include "hw/dvb/fakefrontend.h"
#include "hw/dvb/linuxfrontend.h"
#include "hw/logging.h"
#include "hw/receivers.h"

#include <QCoreApplication>

#include <cerrno>

namespace dvb {
namespace {

// What a node is, asked without taking it from a program that uses it.
bool probe(const QString& path, FrontendInfo* info, int* error)
{
    LinuxFrontend frontend(path, true);
    *error = frontend.open();
    if (*error)
        return false;
    *error = identifyFrontend(frontend, info);
    return *error == 0;
}

// 0 when the frontend can be opened for tuning, else why not: the kernel lets
// anyone read a frontend, but only one program at a time tune it (EBUSY).
int openForUse(const QString& path)
{
    LinuxFrontend frontend(path, false);
    return frontend.open();
}

// The first satellite frontend that opens, and why each one before it was
// passed over.
QString firstSatelliteFrontend(QStringList* passedOver)
{
    for (const QString& path : LinuxFrontend::devicePaths()) {
        FrontendInfo info;
        int error = 0;
        if (!probe(path, &info, &error))
            passedOver->append(QStringLiteral("%1: %2").arg(path, openErrorReason(error)));
        else if (!info.satellite)
            passedOver->append(
                QStringLiteral("%1 (%2): not a satellite frontend").arg(path, info.name));
        else if ((error = openForUse(path)))
            passedOver->append(
                QStringLiteral("%1 (%2): %3").arg(path, info.name, openErrorReason(error)));
        else
            return path;
    }
    return QString();
}

// The first usable satellite frontend, else the simulated receiver with a
// note of what was passed over and why.
std::unique_ptr<hw::CardBackend> autoReceiver(const hw::ReceiverSpec& request, hw::Clock& clock,
                                              QString* error)
{
    QStringList passedOver;
    const QString path = firstSatelliteFrontend(&passedOver);
    for (const QString& why : passedOver)
        qCInfo(lcHw, "Receiver: passed over %s", qPrintable(why));
    if (!path.isEmpty()) {
        qCInfo(lcHw, "Receiver: %s", qPrintable(path));
        return std::make_unique<DvbBackend>(clock, std::make_unique<LinuxFrontend>(path));
    }
    qCInfo(lcHw, "Receiver: no DVB satellite frontend, so the simulated receiver");
    QStringList options(QStringLiteral("sim"));
    for (const auto& option : request.options)
        options.append(option.second.isEmpty() ? option.first
                                               : option.first + QLatin1Char('=') + option.second);
    auto simulated = hw::createReceiver(options.join(QLatin1Char(',')), clock, error);
    if (simulated && !passedOver.isEmpty())
        simulated->choiceNote = QStringLiteral("No DVB card used (%1), so the simulated receiver")
                                    .arg(passedOver.join(QStringLiteral("; ")));
    return simulated;
}

} // namespace

QStringList describeFrontends()
{
    QStringList lines;
    for (const QString& path : LinuxFrontend::devicePaths()) {
        FrontendInfo info;
        int error = 0;
        if (!probe(path, &info, &error)) {
            lines.append(QStringLiteral("%1: %2").arg(path, openErrorReason(error)));
            continue;
        }
        QString line = QStringLiteral("%1: %2, %3, %4-%5 MHz")
                           .arg(path, info.name,
                                info.satellite ? (info.dvbS2 ? QStringLiteral("DVB-S, DVB-S2")
                                                             : QStringLiteral("DVB-S"))
                                               : QStringLiteral("not satellite"))
                           .arg(info.minFrequencyKHz / 1000)
                           .arg(info.maxFrequencyKHz / 1000);
        if (info.satellite && (error = openForUse(path)))
            line += QStringLiteral(" (%1)").arg(openErrorReason(error));
        lines.append(line);
    }
    return lines;
}

void registerDvbReceivers()
{
    hw::registerReceiver(
        QStringLiteral("dvb"),
        QString::fromUtf8(QT_TRANSLATE_NOOP(
            "Receivers",
            "dvb  a satellite card through the Linux DVB API: the first DVB-S frontend, or\n"
            "     dvb:/dev/dvb/adapterN/frontendM for that one")),
        [](const hw::ReceiverSpec& request, hw::Clock& clock,
           QString* error) -> std::unique_ptr<hw::CardBackend> {
            QString path = request.values(QStringLiteral("device")).value(0);
            QStringList passedOver;
            if (path.isEmpty())
                path = firstSatelliteFrontend(&passedOver);
            if (path.isEmpty() && !passedOver.isEmpty()) {
                *error = QStringLiteral("No DVB satellite frontend could be used: ") +
                         passedOver.join(QStringLiteral("; "));
                return nullptr;
            }
            if (path.isEmpty()) {
                *error = QStringLiteral("No DVB satellite frontend in /dev/dvb: is the card's "
                                        "driver loaded, and may you use it (the \"video\" group)?");
                return nullptr;
            }
            return std::make_unique<DvbBackend>(clock, std::make_unique<LinuxFrontend>(path));
        });
    hw::registerReceiver(
        QStringLiteral("dvb-fake"),
        QString::fromUtf8(QT_TRANSLATE_NOOP(
            "Receivers",
            "dvb-fake:SCRIPT  the Linux DVB back end on a scripted frontend, for trying it out")),
        [](const hw::ReceiverSpec& request, hw::Clock& clock,
           QString* error) -> std::unique_ptr<hw::CardBackend> {
            auto fake = std::make_unique<FakeFrontend>();
            const QString script = request.values(QStringLiteral("device")).value(0);
            if (!script.isEmpty() && !fake->loadScript(script, error))
                return nullptr;
            return std::make_unique<DvbBackend>(clock, std::move(fake));
        });
    hw::registerReceiver(
        QStringLiteral("auto"),
        QString::fromUtf8(QT_TRANSLATE_NOOP(
            "Receivers", "auto  the first DVB satellite frontend, else the simulated card "
                         "(default)")),
        &autoReceiver);
}

} // namespace dvb
