#include "lists/satellitelist.h"

#include "lists/sitegeometry.h"

#include "lists/logging.h"
#include "settings/textcodec.h"

#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>

namespace {
constexpr double DegToRad = 0.017453292519943295;

} // namespace

QString SatelliteList::positionLabel(const QString& label, int position)
{
    return label + QStringLiteral(" - [") + QString::number(position) + QLatin1Char(']');
}

SatelliteList::SatelliteList() : storedPositions(StoredPositionCount, -1) {}

void SatelliteList::setSiteLatitude(double latitude)
{
    m_latitude = latitude;
    if (satelliteCount() > 0) {
        computeAngles();
        buildLabels();
    }
}

void SatelliteList::setSiteLongitude(double longitude)
{
    m_longitude = longitude;
    if (satelliteCount() > 0) {
        computeAngles();
        buildLabels();
    }
}

void SatelliteList::setLocation(double longitude, double latitude)
{
    m_longitude = longitude;
    m_latitude = latitude;
    if (satelliteCount() > 0) {
        computeAngles();
        buildLabels();
    }
}

void SatelliteList::setMinimumElevation(double degrees)
{
    m_minimumElevation = degrees;
    if (satelliteCount() > 0) {
        computeAngles();
        buildLabels();
    }
}

void SatelliteList::addSatellite(int number, const QString& name, double position,
                                 const QString& file)
{
    numbers.append(number);
    names.append(name);
    orbitalPositions.append(position);
    motorAngles.append(-1.0);
    transponderFiles.append(file);
    lastTransponders.append(QStringLiteral("None"));
    // The remembered transponders are addressed by satellite number: a file
    // that skips numbers still gets an entry for each of its satellites (up to
    // a number no real list reaches).
    while (number >= lastTransponders.size() && number < MaxRememberedNumber)
        lastTransponders.append(QStringLiteral("None"));
    visibleFlags.append(false);
}

void SatelliteList::loadFile(const QString& fileName)
{
    if (!QFile::exists(fileName)) {
        qCDebug(lcLists).noquote() << QStringLiteral("File does not exist: ") + fileName;
        return;
    }
    QStringList lines;
    QString why;
    if (!readDataFileLines(fileName, &lines, &why)) {
        qCDebug(lcLists).noquote() << QStringLiteral("Could not open file: ") + fileName +
                                          QStringLiteral(" (") + why + QLatin1Char(')');
        return;
    }
    static const QRegularExpression pattern(QStringLiteral("(\\d+)=(.\\d*\\.\\d+);(.*);(.*)"));
    int lineNumber = 0;
    for (const QString& line : lines) {
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch m = pattern.match(line);
        if (!m.hasMatch()) {
            // Such a line would become a phantom satellite 0 at 0.0 degrees.
            qCDebug(lcLists, "%s:%d: not a satellite line, skipped", qPrintable(fileName),
                    lineNumber);
            continue;
        }
        // A name of megabytes (a damaged file) would make every label as long.
        addSatellite(m.captured(1).toInt(), m.captured(3).left(MaxNameLength),
                     m.captured(2).toDouble(), m.captured(4));
    }
    computeAngles();
    buildLabels();
}

bool SatelliteList::isVisible(double position) const
{
    // The motor-angle rule alone passes satellites just below the horizon
    // (their angles lie beyond any motor's end stop): the elevation decides too.
    const double d = (position - m_longitude) * DegToRad;
    const double c = (90 - m_latitude) * DegToRad;
    return EarthRadiusKm * std::sin(c) <= OrbitRadiusKm * std::cos(d) &&
           sitegeometry::pointing(m_latitude, m_longitude, position).elevation >=
               m_minimumElevation;
}

double SatelliteList::motorAngleOf(double position) const
{
    return sitegeometry::motorAngle(m_latitude, m_longitude, position);
}

void SatelliteList::computeAngles()
{
    for (int i = 0; i < satelliteCount(); ++i) {
        visibleFlags[i] = isVisible(orbitalPositions.at(i));
        motorAngles[i] = visibleFlags.at(i) ? motorAngleOf(orbitalPositions.at(i)) : -1.0;
    }
}

QString SatelliteList::label(double motorAngle, double orbitalPosition, const QString& name)
{
    // The magnitudes are taken from the formatted text, so that "-0.0" shows as
    // 0.0 with the letter of its sign.
    static const QRegularExpression magnitude(QStringLiteral("(\\d*\\.\\d+)"));
    const QString angle = magnitude.match(oneDecimal(motorAngle)).captured(1);
    const QString position = magnitude.match(oneDecimal(orbitalPosition)).captured(1);
    // Put together without arg(): a "%1" in a name is text, not a placeholder.
    return QLatin1Char('[') + angle.rightJustified(4) + QChar(0x00B0) +
           (motorAngle < 0.0 ? QLatin1Char('W') : QLatin1Char('E')) + QStringLiteral("] ") +
           position.rightJustified(5) + QChar(0x00B0) +
           (orbitalPosition < 0.0 ? QLatin1Char('W') : QLatin1Char('E')) + QLatin1Char(' ') + name;
}

void SatelliteList::buildLabels()
{
    labels = QStringList(QString());
    shownNumbers = {-1};
    shownFiles = QStringList(QString());
    for (int i = 0; i < satelliteCount(); ++i) {
        if (!visibleFlags.at(i))
            continue;
        labels.append(label(motorAngles.at(i), orbitalPositions.at(i), names.at(i)));
        shownNumbers.append(numbers.at(i));
        shownFiles.append(transponderFiles.at(i));
    }
    markStoredPositions();
}

void SatelliteList::markStoredPositions()
{
    if (shownNumbers.isEmpty())
        return;
    for (int n = 0; n < StoredPositionCount; ++n) {
        if (storedPositions.at(n) <= -1)
            continue;
        const int k = indexOfShown(storedPositions.at(n));
        if (k > -1)
            labels[k] = positionLabel(labels.at(k), n);
    }
}

int SatelliteList::indexOfShown(int number) const
{
    return shownNumbers.indexOf(number);
}

int SatelliteList::storedPositionOf(int number) const
{
    return storedPositions.indexOf(number);
}

QString SatelliteList::lastTransponderOf(int number) const
{
    if (number < 0 || number >= lastTransponders.size())
        return QStringLiteral("None");
    return lastTransponders.at(number);
}

bool SatelliteList::setLastTransponder(int number, const QString& transponder)
{
    if (number < 0 || number >= lastTransponders.size())
        return false;
    lastTransponders[number] = transponder;
    return true;
}

QString SatelliteList::storedPositionsText() const
{
    QString text;
    for (int satellite : storedPositions)
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
        storedPositions[slot] = ok && satellite >= -1 ? satellite : -1;
    }
    markStoredPositions();
}

bool SatelliteList::applySavedTransponders(const QStringList& saved)
{
    if (saved.isEmpty() || satelliteCount() == 0)
        return false;
    if (saved.size() == lastTransponders.size()) {
        lastTransponders = saved;
        return true;
    }
    // The file gained or lost satellites since the list was saved: an entry
    // stays with its satellite number as long as that number is still in the
    // file, rather than every remembered transponder being thrown away.
    bool kept = false;
    for (int n = 0; n < lastTransponders.size() && n < saved.size(); ++n) {
        if (numbers.contains(n)) {
            lastTransponders[n] = saved.at(n);
            kept = true;
        }
    }
    return kept;
}
