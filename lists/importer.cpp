#include "lists/importer.h"

#include "settings/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <cmath>

namespace importer {
namespace {

QString where(const QString& path, qint64 line)
{
    return QStringLiteral("%1:%2: ").arg(path).arg(line);
}

// "19.2E Astra 1N" -> 19.2 (the name's own degrees are the true position; the
// position attribute of C-band entries is offset by a tenth).
bool positionFromName(const QString& name, double* degrees, QString* rest)
{
    static const QRegularExpression lead(
        QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*([EeWw])\\b\\s*(.*)$"));
    const QRegularExpressionMatch m = lead.match(name);
    if (!m.hasMatch())
        return false;
    *degrees = m.captured(1).toDouble() *
               (m.captured(2).compare(QLatin1String("W"), Qt::CaseInsensitive) == 0 ? -1.0 : 1.0);
    *rest = m.captured(3).trimmed();
    return true;
}

QString fecFromEnigma(int code)
{
    static const char* const codes[] = {"AUTO", "12", "23", "34",  "56", "78",
                                        "89",   "35", "45", "910", "67"};
    if (code >= 0 && code < int(std::size(codes)))
        return QString::fromLatin1(codes[code]);
    return QStringLiteral("AUTO");
}

QString fecFromText(const QString& text)
{
    const QString t = text.trimmed().toUpper();
    if (t.isEmpty() || t == QLatin1String("AUTO") || t == QLatin1String("NONE"))
        return QStringLiteral("AUTO");
    static const QRegularExpression rate(QStringLiteral("^(\\d+)/(\\d+)$"));
    const QRegularExpressionMatch m = rate.match(t);
    return m.hasMatch() ? m.captured(1) + m.captured(2) : QStringLiteral("AUTO");
}

// Keeps what CP1251 can hold; drops the rest.
QString representable(const QString& text)
{
    QTextCodec* codec = dataCodec();
    if (!codec)
        return text;
    // Letters with accents CP1251 lacks lose the accent ("Türksat" -> "Turksat");
    // whatever is still not representable is left out.
    QString kept;
    for (const QChar c : text) {
        if (codec->canEncode(c)) {
            kept += c;
            continue;
        }
        for (const QChar part : QString(c).normalized(QString::NormalizationForm_D)) {
            if (part.category() != QChar::Mark_NonSpacing && codec->canEncode(part))
                kept += part;
        }
    }
    return kept.simplified();
}

} // namespace

bool readSatellitesXml(const QString& path, QVector<Satellite>* satellites, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QXmlStreamReader xml(&file);
    QVector<Satellite> found;
    Satellite* current = nullptr;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("sat")) {
            const auto a = xml.attributes();
            Satellite sat;
            const QString name = a.value(QLatin1String("name")).toString();
            bool ok = false;
            const int tenths = a.value(QLatin1String("position")).toInt(&ok);
            double fromName = 0;
            QString rest;
            if (positionFromName(name, &fromName, &rest)) {
                sat.position = fromName;
                sat.name = rest.isEmpty() ? name : rest;
            } else if (ok) {
                sat.position = tenths / 10.0;
                sat.name = name;
            } else {
                *error = where(path, xml.lineNumber()) +
                         QStringLiteral("satellite \"%1\" has no position").arg(name);
                return false;
            }
            found.append(sat);
            current = &found.last();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("transponder")) {
            if (!current) {
                *error = where(path, xml.lineNumber()) +
                         QStringLiteral("transponder outside a satellite");
                return false;
            }
            const auto a = xml.attributes();
            bool okF = false, okS = false, okP = false;
            Transponder t;
            t.frequencyMHz =
                int(std::lround(a.value(QLatin1String("frequency")).toLongLong(&okF) / 1000.0));
            t.symbolRateKs =
                int(std::lround(a.value(QLatin1String("symbol_rate")).toLongLong(&okS) / 1000.0));
            const int pol = a.value(QLatin1String("polarization")).toInt(&okP);
            if (!okF || !okS || !okP || pol < 0 || pol > 3 || t.frequencyMHz <= 0) {
                *error = where(path, xml.lineNumber()) +
                         QStringLiteral("transponder without a valid frequency, symbol rate "
                                        "or polarization");
                return false;
            }
            t.polarization = QLatin1Char("HVLR"[pol]);
            t.fec = fecFromEnigma(a.value(QLatin1String("fec_inner")).toInt());
            t.dvbS2 = a.value(QLatin1String("system")).toInt() == 1;
            current->transponders.append(t);
        } else if (xml.isEndElement() && xml.name() == QLatin1String("sat")) {
            current = nullptr;
        }
    }
    if (xml.hasError()) {
        *error = where(path, xml.lineNumber()) + xml.errorString();
        return false;
    }
    if (found.isEmpty()) {
        *error = QStringLiteral("%1: no satellites found").arg(path);
        return false;
    }
    *satellites += found;
    return true;
}

bool readScanTable(const QString& path, QVector<Satellite>* satellites, QString* error)
{
    // The position is only in the file name: "Hotbird-13.0E", "AMC1-103w".
    static const QRegularExpression fileName(QStringLiteral("^(.*)-(\\d+(?:\\.\\d+)?)([EeWw])$"));
    const QString base = QFileInfo(path).fileName();
    const QRegularExpressionMatch nameMatch = fileName.match(base);
    if (!nameMatch.hasMatch()) {
        *error = QStringLiteral("%1: the file name does not end in the orbital position "
                                "(like Hotbird-13.0E)")
                     .arg(path);
        return false;
    }
    Satellite sat;
    sat.position =
        nameMatch.captured(2).toDouble() *
        (nameMatch.captured(3).compare(QLatin1String("W"), Qt::CaseInsensitive) == 0 ? -1.0 : 1.0);
    sat.name = QString(nameMatch.captured(1)).replace(QLatin1Char('_'), QLatin1Char(' '));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    static const QRegularExpression keyValue(QStringLiteral("^\\s*([A-Z_]+)\\s*=\\s*(.*?)\\s*$"));
    QMap<QString, QString> block;
    int blockLine = 0;
    auto finish = [&]() -> bool {
        if (blockLine == 0)
            return true;
        bool okF = false, okS = false;
        Transponder t;
        t.frequencyMHz =
            int(std::lround(block.value(QStringLiteral("FREQUENCY")).toLongLong(&okF) / 1000.0));
        t.symbolRateKs =
            int(std::lround(block.value(QStringLiteral("SYMBOL_RATE")).toLongLong(&okS) / 1000.0));
        const QString pol = block.value(QStringLiteral("POLARIZATION")).toUpper();
        static const QStringList pols = {"HORIZONTAL", "VERTICAL", "LEFT", "RIGHT"};
        const int p = pols.indexOf(pol);
        if (!okF || !okS || p < 0 || t.frequencyMHz <= 0) {
            *error = where(path, blockLine) +
                     QStringLiteral("channel without a valid FREQUENCY, SYMBOL_RATE or "
                                    "POLARIZATION");
            return false;
        }
        t.polarization = QLatin1Char("HVLR"[p]);
        t.fec = fecFromText(block.value(QStringLiteral("INNER_FEC")));
        const QString system = block.value(QStringLiteral("DELIVERY_SYSTEM")).toUpper();
        t.dvbS2 = system == QLatin1String("DVBS2") || system == QLatin1String("DVB-S2");
        sat.transponders.append(t);
        block.clear();
        return true;
    };
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line == QLatin1String("[CHANNEL]")) {
            if (!finish())
                return false;
            blockLine = lineNumber;
            continue;
        }
        const QRegularExpressionMatch m = keyValue.match(line);
        if (!m.hasMatch() || blockLine == 0) {
            *error = where(path, lineNumber) +
                     QStringLiteral("expected [CHANNEL] or KEY = value, found \"%1\"").arg(line);
            return false;
        }
        block.insert(m.captured(1), m.captured(2));
    }
    if (!finish())
        return false;
    if (sat.transponders.isEmpty()) {
        *error = QStringLiteral("%1: no channels found").arg(path);
        return false;
    }
    satellites->append(sat);
    return true;
}

bool readAny(const QString& path, QVector<Satellite>* satellites, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray head = file.read(512).trimmed();
    file.close();
    if (head.startsWith("<?xml") || head.startsWith("<satellites"))
        return readSatellitesXml(path, satellites, error);
    return readScanTable(path, satellites, error);
}

QStringList transponderFileNames(const QVector<Satellite>& satellites)
{
    QStringList names;
    for (const Satellite& sat : satellites) {
        QString stem =
            QString::asprintf("%.1f%c", std::abs(sat.position), sat.position < 0 ? 'W' : 'E') +
            QLatin1Char('-') + sat.name.normalized(QString::NormalizationForm_D);
        stem.remove(QRegularExpression(QStringLiteral("\\p{Mn}")));
        stem.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]+")), QStringLiteral("_"));
        stem = stem.left(60);
        while (stem.endsWith(QLatin1Char('_')))
            stem.chop(1);
        QString name = stem + QStringLiteral(".ini");
        for (int n = 2; names.contains(name, Qt::CaseInsensitive); ++n)
            name = stem + QStringLiteral("-%1.ini").arg(n);
        names.append(name);
    }
    return names;
}

QByteArray satelliteListText(const QVector<Satellite>& satellites, const QStringList& files)
{
    QString text =
        QStringLiteral("# Zenara satellite list: number=position;name;transponder file\n");
    for (int i = 0; i < satellites.size(); ++i) {
        text += QStringLiteral("%1=%2;%3;%4\n")
                    .arg(i)
                    .arg(QString::asprintf("%.1f", satellites.at(i).position))
                    .arg(representable(satellites.at(i).name).remove(QLatin1Char(';')))
                    .arg(files.at(i));
    }
    QTextCodec* codec = dataCodec();
    return codec ? codec->fromUnicode(text) : text.toLatin1();
}

QByteArray transponderFileText(const Satellite& sat)
{
    QString text;
    text += QStringLiteral("[SATTYPE]\n1=%1\n2=%2\n\n[DVB]\n0=%3\n")
                .arg(int(std::lround(sat.position * 10)), 4, 10, QLatin1Char('0'))
                .arg(representable(sat.name))
                .arg(sat.transponders.size());
    int n = 1;
    for (const Transponder& t : sat.transponders) {
        text += QStringLiteral("%1=%2,%3,%4,%5")
                    .arg(n++)
                    .arg(t.frequencyMHz)
                    .arg(t.polarization)
                    .arg(t.symbolRateKs)
                    .arg(t.fec);
        if (t.dvbS2)
            text += QStringLiteral(",S2");
        text += QLatin1Char('\n');
    }
    QTextCodec* codec = dataCodec();
    return codec ? codec->fromUnicode(text) : text.toLatin1();
}

bool writeFiles(const QVector<Satellite>& satellites, const QString& dir, bool overwrite,
                QStringList* written, QString* error)
{
    const QStringList files = transponderFileNames(satellites);
    const QDir out(dir);
    QVector<QPair<QString, QByteArray>> contents;
    contents.append(
        {out.filePath(QStringLiteral("satlist.znr")), satelliteListText(satellites, files)});
    for (int i = 0; i < satellites.size(); ++i)
        contents.append({out.filePath(QStringLiteral("Transponders/") + files.at(i)),
                         transponderFileText(satellites.at(i))});
    if (!overwrite) {
        for (const auto& c : contents) {
            if (QFileInfo::exists(c.first)) {
                *error = QStringLiteral("%1 exists already; nothing was written (--force "
                                        "replaces existing files)")
                             .arg(c.first);
                return false;
            }
        }
    }
    if (!out.mkpath(QStringLiteral("Transponders"))) {
        *error =
            QStringLiteral("Cannot create %1").arg(out.filePath(QStringLiteral("Transponders")));
        return false;
    }
    for (const auto& c : contents) {
        QSaveFile file(c.first);
        if (!file.open(QIODevice::WriteOnly) || file.write(c.second) != c.second.size() ||
            !file.commit()) {
            *error = QStringLiteral("%1: %2").arg(c.first, file.errorString());
            return false;
        }
        written->append(c.first);
    }
    return true;
}

} // namespace importer
