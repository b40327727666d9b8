#include "lists/transponderlist.h"

#include "lists/logging.h"
#include "settings/textcodec.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace transponders {

bool readEntries(const QString& path, QStringList* entries)
{
    if (!QFile::exists(path)) {
        qCDebug(lcLists).noquote() << QStringLiteral("File does not exist: ") + path;
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCDebug(lcLists).noquote() << QStringLiteral("Could not open file: ") + path;
        return false;
    }
    QTextStream in(&file);
    if (QTextCodec* codec = dataCodec())
        in.setCodec(codec);
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)=(\\d+),(\\w*),(\\d+),.*"));
    QStringList result{QString()};
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        const QRegularExpressionMatch m = pattern.match(line);
        if (m.hasMatch())
            result.append(
                QStringLiteral("%1, %2, %3").arg(m.captured(2), m.captured(3), m.captured(4)));
    }
    *entries = result;
    return true;
}

namespace {
Fields split(const QRegularExpression& pattern, const QString& text)
{
    Fields f;
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return f;
    f.frequency = m.captured(1);
    f.polarization = m.captured(2);
    f.symbolRate = m.captured(3);
    f.ok = true;
    return f;
}
} // namespace

Fields parseEntry(const QString& entry)
{
    static const QRegularExpression pattern(QStringLiteral("^(.*), (.*), (.*)"));
    return split(pattern, entry);
}

Fields parseRemembered(const QString& remembered)
{
    static const QRegularExpression pattern(QStringLiteral("^(.*),(.*),(.*)"));
    return split(pattern, remembered);
}

} // namespace transponders
