#include "lists/transponderlist.h"

#include "lists/logging.h"
#include "settings/textcodec.h"

#include <QFile>
#include <QRegularExpression>

namespace transponders {

bool readTransponders(const QString& path, QVector<Transponder>* list)
{
    if (!QFile::exists(path)) {
        qCDebug(lcLists).noquote() << QStringLiteral("File does not exist: ") + path;
        return false;
    }
    QStringList lines;
    QString why;
    if (!readDataFileLines(path, &lines, &why)) {
        qCDebug(lcLists).noquote() << QStringLiteral("Could not open file: ") + path +
                                          QStringLiteral(" (") + why + QLatin1Char(')');
        return false;
    }
    // Fields may be padded with spaces ("5=10957,H, 4340,34") and the code rate
    // may be missing ("66=12303,H,25548"); the polarisation is a word in any
    // alphabet, or empty.
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*(\\d+)\\s*=\\s*(\\d+)\\s*,\\s*([\\p{L}\\d_]*)\\s*,\\s*(\\d+)\\s*(?:,(.*))?$"));
    QVector<Transponder> result;
    for (const QString& line : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        const QRegularExpressionMatch m = pattern.match(line);
        if (!m.hasMatch())
            continue;
        Transponder t{m.captured(2), m.captured(3), m.captured(4), {}};
        if (m.capturedStart(5) >= 0)
            t.format = hw::modcod::fromFileFields(m.captured(5).split(QLatin1Char(',')));
        result.append(t);
    }
    *list = result;
    return true;
}

QString entryText(const Transponder& t)
{
    QString text =
        t.frequency + QStringLiteral(", ") + t.polarization + QStringLiteral(", ") + t.symbolRate;
    const QString system = hw::modcod::systemText(t.format);
    if (!system.isEmpty())
        text += QStringLiteral(" \u00B7 ") + system;
    return text;
}

bool readEntries(const QString& path, QStringList* entries)
{
    QVector<Transponder> list;
    if (!readTransponders(path, &list))
        return false;
    QStringList result{QString()};
    for (const Transponder& t : list)
        result.append(entryText(t));
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
    const int system = entry.indexOf(QStringLiteral(" \u00B7 "));
    return split(pattern, system < 0 ? entry : entry.left(system));
}

Fields parseRemembered(const QString& remembered)
{
    static const QRegularExpression pattern(QStringLiteral("^(.*),(.*),(.*)"));
    return split(pattern, remembered);
}

} // namespace transponders
