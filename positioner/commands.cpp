#include "positioner/commands.h"

#include "positioner/logging.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cmath>

namespace positioner {

QByteArray message(quint8 command)
{
    QByteArray m;
    m.append(char(FirstTransmission));
    m.append(char(AnyPositioner));
    m.append(char(command));
    return m;
}

QByteArray message(quint8 command, quint8 data)
{
    QByteArray m = message(command);
    m.append(char(data));
    return m;
}

QByteArray driveSteps(bool east, int steps)
{
    Q_ASSERT(steps >= 1 && steps <= MaxChunkSteps);
    return message(east ? DriveEast : DriveWest, quint8(0xFF - (steps - 1)));
}

QByteArray driveSeconds(bool east, int seconds)
{
    return message(east ? DriveEast : DriveWest, quint8(seconds));
}

quint8 directionCode(bool east, int driveVersion)
{
    if (east)
        return 0xE0;
    if (driveVersion != 0 && driveVersion != 1)
        qCDebug(lcPositioner, "Drive version %d unknown: the west goto uses the Typical code",
                driveVersion);
    return driveVersion == 1 ? 0xD0 : 0x00;
}

bool gotoAngle(bool east, double degrees, int driveVersion, QByteArray* out)
{
    if (!std::isfinite(degrees) || degrees < 0 || degrees * 16 >= MaxAngleSixteenths + 1)
        return false;
    const int v = int(degrees * 16);
    QByteArray m = message(GotoAngle);
    m.append(char(directionCode(east, driveVersion) | ((v >> 8) & 0xFF)));
    m.append(char(v & 0xFF));
    *out = m;
    return true;
}

bool labelAngle(const QString& label, double* angle, QChar* side)
{
    static const QRegularExpression pattern(QStringLiteral(".(\\d*\\.\\d+)\u00B0(.).*"));
    const auto m = pattern.match(label);
    if (!m.hasMatch())
        return false;
    *angle = m.captured(1).toDouble();
    *side = m.captured(2).at(0);
    return true;
}

QVector<int> stepChunks(int steps)
{
    QVector<int> chunks;
    for (int left = steps; left > 0; left -= MaxChunkSteps)
        chunks.append(std::min(left, MaxChunkSteps));
    return chunks;
}

int degreesToSteps(double degrees, double stepsPerDegree)
{
    const double steps = degrees * stepsPerDegree;
    if (!std::isfinite(steps) || steps <= 0)
        return 0;
    return int(std::min(std::floor(steps + 1e-9), 1e9));
}

qint64 chunkWaitMs(int chunkSteps, double stepsPerDegree, int msPerDegree)
{
    if (chunkSteps <= 1 || stepsPerDegree <= 0)
        return 0;
    return qint64(std::floor((chunkSteps - 1) / stepsPerDegree * msPerDegree));
}

ModeRange modeRange(int mode, int maxAngle, double stepsPerDegree)
{
    ModeRange r;
    switch (mode) {
    case 0:
        r = {true, 1, int(std::floor(2.0 * maxAngle * stepsPerDegree)), false, false};
        break;
    case 1:
        r = {true, 1, 128, false, false};
        break;
    case 2:
        r = {true, 0, 2 * maxAngle, true, true};
        break;
    case 3:
        r = {true, 0, maxAngle, true, true};
        break;
    default:
        break;
    }
    return r;
}

QStringList rawFieldTexts(const QByteArray& message)
{
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts.append(
            i < message.size()
                ? QStringLiteral("%1").arg(quint8(message.at(i)), 2, 16, QLatin1Char('0')).toUpper()
                : QString());
    return texts;
}

RawMessage parseRawFields(const QStringList& fields)
{
    RawMessage raw;
    QByteArray bytes;
    int firstGap = -1;
    for (int i = 0; i < 6; ++i) {
        const QString text = fields.value(i).trimmed();
        if (text.isEmpty()) {
            if (i < 3)
                return raw; // the command is not complete: nothing to send
            if (firstGap < 0)
                firstGap = i;
            continue;
        }
        bool ok = false;
        const uint value = text.toUShort(&ok, 16);
        if (!ok) {
            raw.error = QCoreApplication::translate(
                            "zenaraForm", "RAW Data: byte %1, \"%2\", is not a hexadecimal number")
                            .arg(i + 1)
                            .arg(text);
            return raw;
        }
        if (firstGap >= 0) {
            raw.error = QCoreApplication::translate(
                            "zenaraForm", "RAW Data: byte %1 is empty while a later byte is filled")
                            .arg(firstGap + 1);
            return raw;
        }
        bytes.append(char(value & 0xFF));
    }
    raw.bytes = bytes;
    return raw;
}

} // namespace positioner
