#include "lists/satellitelist.h"

#include <QFile>
#include <QtDebug>

SatelliteList::SatelliteList() : m_storedPositions(StoredPositionCount, -1) {}

void SatelliteList::addSatellite(int number, const QString& name, double position,
                                 const QString& file)
{
    m_numbers.append(number);
    m_names.append(name);
    m_orbitalPositions.append(position);
    m_transponderFiles.append(file);
    m_lastTransponders.append(QStringLiteral("None"));
}

void SatelliteList::setStoredPosition(int slot, int satellite)
{
    if (slot >= 0 && slot < StoredPositionCount)
        m_storedPositions[slot] = satellite;
}

QString SatelliteList::storedPositionsText() const
{
    QString text;
    for (int satellite : m_storedPositions)
        text += QString::number(satellite) + QLatin1Char('\n');
    return text;
}

void SatelliteList::parseStoredPositions(const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    // A text ending in a line feed has no line after it.
    const int count = std::min<int>(StoredPositionCount,
                                    lines.size() - (text.endsWith(QLatin1Char('\n')) ? 1 : 0));
    for (int slot = 0; slot < count; ++slot) {
        bool ok = false;
        const int satellite = lines.at(slot).trimmed().toInt(&ok);
        m_storedPositions[slot] = ok && satellite >= -1 ? satellite : -1;
    }
}

bool SatelliteList::applySavedTransponders(const QStringList& saved)
{
    if (saved.isEmpty() || saved.size() != satelliteCount())
        return false;
    m_lastTransponders = saved;
    return true;
}

void SatelliteList::loadFile(const QString& fileName)
{
    if (!QFile::exists(fileName)) {
        qDebug().noquote() << "File does not exist: " + fileName;
        return;
    }
}
