#include "testsupport.h"

#include "hw/cardlibrary.h"

#include <QFile>
#include <QTest>

SimulatedBoard::SimulatedBoard(sim::SimFaults faults, bool openAndBind)
{
    auto ownedScene = std::make_unique<ScriptedScene>();
    scene = ownedScene.get();
    auto ownedCard = std::make_unique<sim::SimCard>(clock, std::move(ownedScene), faults);
    card = ownedCard.get();
    hw::CardLayer::install(std::move(ownedCard), &clock);
    QString error;
    if (!hw::CardLayer::startTrace(m_dir.filePath(QStringLiteral("trace.log")), &error))
        qFatal("cannot start the trace: %s", qPrintable(error));
    if (openAndBind) {
        CDVBFrontend frontend;
        if (CDVBCommon::OpenDevice(0, nullptr, 0) == 0 || frontend.Init() != DVB_ERR_NONE ||
            locateBusRoutines() != 0)
            qFatal("the simulated board did not open");
    }
}

SimulatedBoard::~SimulatedBoard()
{
    CDVBCommon::CloseDevice();
    hw::CardLayer::stopTrace();
    hw::CardLayer::uninstall();
}

QStringList SimulatedBoard::rawTraceLines() const
{
    QFile file(m_dir.filePath(QStringLiteral("trace.log")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SimulatedBoard::traceEvents() const
{
    QStringList events;
    for (const QString& line : rawTraceLines())
        events.append(line.section(QLatin1Char(' '), 1));
    return events;
}

QStringList SimulatedBoard::newTraceEvents()
{
    const QStringList all = traceEvents();
    const QStringList fresh = all.mid(m_seen);
    m_seen = all.size();
    return fresh;
}
