#include "lists/importer.h"

#include "settings/safefile.h"
#include "settings/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace importer {
namespace {

// "FILE:LINE: ", the file name with its control characters escaped.
QString where(const QString& path, qint64 line)
{
    return escaped(path, 400) + QLatin1Char(':') + QString::number(line) + QStringLiteral(": ");
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

// The value of a table at an Enigma2 code, or otherwise for a code the table
// does not have.
template <typename T, size_t N>
T fromCode(const T (&values)[N], int code, T otherwise)
{
    return code >= 0 && code < int(N) ? values[code] : otherwise;
}

// An attribute's code; -1 when it is missing or no number.
int codeOf(const QXmlStreamAttributes& attributes, const char* name)
{
    bool ok = false;
    const int code = attributes.value(QLatin1String(name)).toInt(&ok);
    return ok ? code : -1;
}

// Enigma2's codes for what a carrier is beyond its frequency and symbol rate.
// A code it does not have, or an attribute left out, leaves it to the
// demodulator to find.
hw::SignalFormat formatFromEnigma(const QXmlStreamAttributes& a, bool dvbS2)
{
    using namespace hw;
    static const CodeRate rates[] = {{0, 0}, {1, 2}, {2, 3}, {3, 4},  {5, 6}, {7, 8},
                                     {8, 9}, {3, 5}, {4, 5}, {9, 10}, {6, 7}};
    static const Modulation modulations[] = {Modulation::Auto,   Modulation::Qpsk,
                                             Modulation::Psk8,   Modulation::Auto,
                                             Modulation::Apsk16, Modulation::Apsk32};
    static const RollOff rollOffs[] = {RollOff::R35, RollOff::R25, RollOff::R20};
    static const Pilot pilots[] = {Pilot::Off, Pilot::On, Pilot::Auto};
    SignalFormat format;
    format.rate = fromCode(rates, codeOf(a, "fec_inner"), CodeRate{});
    // DVB-S is QPSK at 0.35 without pilots, whatever else the entry says.
    if (!dvbS2)
        return format;
    format.system = DeliverySystem::DvbS2;
    format.modulation = fromCode(modulations, codeOf(a, "modulation"), Modulation::Auto);
    format.rollOff = fromCode(rollOffs, codeOf(a, "rolloff"), RollOff::Auto);
    format.pilot = fromCode(pilots, codeOf(a, "pilot"), Pilot::Auto);
    return format;
}

// A scan table's INNER_FEC: "3/4"; "AUTO", "NONE" and whatever is no code
// rate are left to the demodulator.
hw::CodeRate rateFromText(const QString& text)
{
    hw::CodeRate rate;
    // Only "n/m": the transponder files' "34" is not a scan table's spelling.
    if (!text.contains(QLatin1Char('/')) || !hw::modcod::parseRate(text, &rate))
        return hw::CodeRate{};
    return rate;
}

// The same from a scan table entry's keys.
hw::SignalFormat formatFromKeys(const QMap<QString, QString>& keys, bool dvbS2)
{
    using namespace hw;
    SignalFormat format;
    format.rate = rateFromText(keys.value(QStringLiteral("INNER_FEC")));
    if (!dvbS2)
        return format;
    format.system = DeliverySystem::DvbS2;
    Modulation modulation;
    if (modcod::parseModulation(keys.value(QStringLiteral("MODULATION")), &modulation))
        format.modulation = modulation;
    RollOff rollOff;
    if (modcod::parseRollOff(keys.value(QStringLiteral("ROLLOFF")), &rollOff))
        format.rollOff = rollOff;
    const QString pilot = keys.value(QStringLiteral("PILOT")).trimmed().toUpper();
    format.pilot = pilot == QLatin1String("ON")    ? Pilot::On
                   : pilot == QLatin1String("OFF") ? Pilot::Off
                                                   : Pilot::Auto;
    return format;
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

// Limits of what a DVB-S/S2 receiver behind an LNB could tune.
constexpr double MinFrequencyMHz = 950;
constexpr double MaxFrequencyMHz = 40000;
constexpr double MinSymbolRateKs = 50; // real SCPC carriers go down to about 80
constexpr double MaxSymbolRateKs = 100000;

// A name as it may stand in a data file: what CP1251 holds, no control
// characters (a line break would split the file).
QString cleanName(const QString& name)
{
    QString text = representable(name);
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char(' ');
    }
    return text.simplified();
}

// A value given in thousandths (kHz, symbols per second) as a whole number of
// its unit (MHz, kS/s) within [min, max], or a reason it is not one.
bool thousandths(const QString& text, const char* what, const char* unit, double min, double max,
                 int* result, QString* why)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        *why = QStringLiteral("no ") + QLatin1String(what);
        return false;
    }
    bool ok = false;
    const double raw = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(raw)) {
        *why = QLatin1String(what) + QStringLiteral(" is not a number: ") + quoted(text);
        return false;
    }
    const double value = raw / 1000.0;
    if (value < min || value > max) {
        *why = QLatin1String(what) + QLatin1Char(' ') + QString::number(value, 'g', 12) +
               QLatin1Char(' ') + QLatin1String(unit) + QStringLiteral(" is outside ") +
               QString::number(min) + QStringLiteral("..") + QString::number(max) +
               QLatin1Char(' ') + QLatin1String(unit);
        return false;
    }
    *result = int(std::lround(value));
    return true;
}

bool frequencyFromKhz(const QString& text, int* mhz, QString* why)
{
    return thousandths(text, "frequency", "MHz", MinFrequencyMHz, MaxFrequencyMHz, mhz, why);
}

bool symbolRateFromSps(const QString& text, int* ks, QString* why)
{
    return thousandths(text, "symbol rate", "kS/s", MinSymbolRateKs, MaxSymbolRateKs, ks, why);
}

// A warning, unless the file has had its share already (a file of a million
// bad lines must not print a million warnings); finishWarnings counts the rest.
void warn(Report* report, const QString& path, const QString& text)
{
    if (!report)
        return;
    if (++report->perFile[path] <= Report::WarningsPerFile)
        report->warnings.append(text);
}

void finishWarnings(Report* report, const QString& path)
{
    if (!report)
        return;
    const int more = report->perFile.value(path) - Report::WarningsPerFile;
    if (more > 0)
        report->warnings.append(escaped(path, 400) +
                                QStringLiteral(": %1 more warnings not shown").arg(more));
}

void skip(Report* report, const QString& path, qint64 line, const QString& what)
{
    if (!report)
        return;
    warn(report, path, where(path, line) + what + QStringLiteral(", entry skipped"));
    ++report->skipped;
}

// The line of the first byte that is not UTF-8, or 0 when all of it is.
qint64 firstBadUtf8Line(const QByteArray& bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    // Decoded line by line, so that the bad line is the one reported.
    qint64 line = 1;
    for (const QByteArray& text : bytes.split('\n')) {
        utf8->toUnicode(text.constData(), text.size(), &state);
        if (state.invalidChars > 0 || state.remainingChars > 0)
            return line;
        ++line;
    }
    return 0;
}

// A file to import: a regular file of sane size (a FIFO would block, a device
// never end).
bool readInput(const QString& path, QByteArray* bytes, QString* error)
{
    QString why;
    if (safefile::readRegular(path, bytes, &why))
        return true;
    *error = QStringLiteral("%1: %2").arg(escaped(path, 400), why);
    return false;
}

} // namespace

QString escaped(const QString& text, int maxLength)
{
    QString shown;
    for (const QChar c : text.left(maxLength)) {
        const auto category = c.category();
        // Control characters, and those that reorder or break the text shown.
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || category == QChar::Other_Control ||
            category == QChar::Other_Format || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            shown += QStringLiteral("\\x{%1}").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (text.size() > maxLength)
        shown += QStringLiteral("...");
    return shown;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + escaped(text, 80) + QLatin1Char('"');
}

namespace {

// A <sat> element as a satellite; false (with the reason in the report) when
// it has no usable position.
bool satelliteFromElement(const QXmlStreamReader& xml, const QString& path, Report* report,
                          Satellite* sat)
{
    const auto a = xml.attributes();
    sat->source = path;
    const QStringRef whole = a.value(QLatin1String("name"));
    const QString name = whole.left(MaxNameLength).toString();
    if (whole.size() > MaxNameLength && report)
        warn(report, path,
             where(path, xml.lineNumber()) +
                 QStringLiteral("satellite name %1 cut to %2 characters")
                     .arg(quoted(name))
                     .arg(MaxNameLength));
    bool ok = false;
    const int tenths = a.value(QLatin1String("position")).toInt(&ok);
    double fromName = 0;
    QString rest;
    if (positionFromName(name, &fromName, &rest)) {
        sat->position = fromName;
        sat->name = rest.isEmpty() ? name : rest;
    } else if (ok) {
        sat->position = tenths / 10.0;
        sat->name = name;
    } else {
        skip(report, path, xml.lineNumber(),
             QStringLiteral("satellite %1 has no position").arg(quoted(name)));
        return false;
    }
    if (!(std::abs(sat->position) <= 180)) {
        skip(report, path, xml.lineNumber(),
             QStringLiteral("satellite %1 is at %2, not within 180 degrees")
                 .arg(quoted(name), QString::number(sat->position, 'g', 12)));
        return false;
    }
    return true;
}

// A <transponder> element; false (with the reason in the report) when it
// cannot be tuned.
bool transponderFromElement(const QXmlStreamReader& xml, const QString& path, Report* report,
                            Transponder* t)
{
    const auto a = xml.attributes();
    QString why;
    bool okP = false;
    const int pol = a.value(QLatin1String("polarization")).toInt(&okP);
    const QString system = a.value(QLatin1String("system")).toString();
    if (!frequencyFromKhz(a.value(QLatin1String("frequency")).toString(), &t->frequencyMHz, &why) ||
        !symbolRateFromSps(a.value(QLatin1String("symbol_rate")).toString(), &t->symbolRateKs,
                           &why)) {
        skip(report, path, xml.lineNumber(), QStringLiteral("transponder: ") + why);
        return false;
    }
    if (!okP || pol < 0 || pol > 3) {
        skip(report, path, xml.lineNumber(),
             QStringLiteral("transponder without a valid polarization"));
        return false;
    }
    // 0 DVB-S, 1 DVB-S2; anything else is not a satellite system.
    if (!system.isEmpty() && system != QLatin1String("0") && system != QLatin1String("1")) {
        skip(report, path, xml.lineNumber(),
             QStringLiteral("transponder of delivery system %1").arg(quoted(system)));
        return false;
    }
    t->polarization = QLatin1Char("HVLR"[pol]);
    t->format = formatFromEnigma(a, system == QLatin1String("1"));
    return true;
}

// Where the satellites.xml reader stands.
struct XmlReading
{
    QVector<Satellite> found;
    Satellite* current = nullptr;
    bool skipping = false;    // inside a satellite that was skipped
    int satElements = 0;      // <sat> elements seen, usable or not
    int transponderTried = 0; // <transponder> elements of the current satellite
};

void startSatellite(const QXmlStreamReader& xml, const QString& path, Report* report, XmlReading* r)
{
    ++r->satElements;
    r->transponderTried = 0;
    Satellite sat;
    r->skipping = !satelliteFromElement(xml, path, report, &sat);
    r->current = nullptr;
    if (r->skipping)
        return;
    r->found.append(sat);
    r->current = &r->found.last();
}

void addTransponder(const QXmlStreamReader& xml, const QString& path, Report* report, XmlReading* r)
{
    if (r->skipping)
        return;
    ++r->transponderTried;
    if (!r->current) {
        skip(report, path, xml.lineNumber(), QStringLiteral("transponder outside a satellite"));
        return;
    }
    Transponder t;
    if (transponderFromElement(xml, path, report, &t))
        r->current->transponders.append(t);
}

// A satellite whose every transponder was skipped is left out, as from a scan
// table; one listed without transponders stays.
void endSatellite(const QXmlStreamReader& xml, const QString& path, Report* report, XmlReading* r)
{
    if (r->current && r->transponderTried > 0 && r->current->transponders.isEmpty()) {
        if (report)
            report->warnings.append(
                where(path, xml.lineNumber()) +
                QStringLiteral("satellite %1 has no usable transponder, left out")
                    .arg(quoted(r->current->name)));
        r->found.removeLast();
    }
    r->current = nullptr;
    r->skipping = false;
}

// The reader reports a bad byte where it noticed it, often lines later: for
// UTF-8, find the line ourselves.
bool encodingReadable(const QXmlStreamReader& xml, const QByteArray& bytes, const QString& path,
                      QString* error)
{
    const QString encoding = xml.documentEncoding().toString().toUpper();
    if (!encoding.isEmpty() && encoding != QLatin1String("UTF-8"))
        return true;
    if (const qint64 line = firstBadUtf8Line(bytes)) {
        *error = where(path, line) + QStringLiteral("not UTF-8 text");
        return false;
    }
    return true;
}

} // namespace

bool readSatellitesXml(const QString& path, QVector<Satellite>* satellites, QString* error,
                       Report* report)
{
    QByteArray bytes;
    if (!readInput(path, &bytes, error))
        return false;
    QXmlStreamReader xml(bytes);
    XmlReading r;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartDocument() && !encodingReadable(xml, bytes, path, error))
            return false;
        if (xml.isStartElement() && xml.name() == QLatin1String("sat"))
            startSatellite(xml, path, report, &r);
        else if (xml.isStartElement() && xml.name() == QLatin1String("transponder"))
            addTransponder(xml, path, report, &r);
        else if (xml.isEndElement() && xml.name() == QLatin1String("sat"))
            endSatellite(xml, path, report, &r);
    }
    finishWarnings(report, path);
    if (xml.hasError()) {
        *error = where(path, xml.lineNumber()) + xml.errorString();
        return false;
    }
    if (r.satElements == 0) {
        *error = escaped(path, 400) + QStringLiteral(": no satellites found");
        return false;
    }
    *satellites += r.found;
    return true;
}

namespace {

// The position is only in the file name: "Hotbird-13.0E", "AMC1-103w".
bool satelliteFromFileName(const QString& path, Satellite* sat, QString* error)
{
    static const QRegularExpression fileName(QStringLiteral("^(.*)-(\\d+(?:\\.\\d+)?)([EeWw])$"));
    const QRegularExpressionMatch m = fileName.match(QFileInfo(path).fileName());
    if (!m.hasMatch()) {
        *error = QStringLiteral("%1: the file name does not end in the orbital position "
                                "(like Hotbird-13.0E)")
                     .arg(path);
        return false;
    }
    sat->source = path;
    sat->position =
        m.captured(2).toDouble() *
        (m.captured(3).compare(QLatin1String("W"), Qt::CaseInsensitive) == 0 ? -1.0 : 1.0);
    sat->name =
        QString(m.captured(1).left(MaxNameLength)).replace(QLatin1Char('_'), QLatin1Char(' '));
    if (!(std::abs(sat->position) <= 180)) {
        *error = escaped(path, 400) + QStringLiteral(": the position ") +
                 QString::number(sat->position, 'g', 12) +
                 QStringLiteral(" is not within 180 degrees");
        return false;
    }
    return true;
}

// One entry of a scan table: its first line and its keys, upper case.
struct ScanEntry
{
    int line = 0;
    QMap<QString, QString> keys;
};

// Hands each entry of a scan table to done as soon as it ends; a line that is
// neither a [NAME] nor a KEY = value in an entry is warned of and skipped.
void readEntries(const QByteArray& bytes, const QString& path, Report* report,
                 const std::function<void(const ScanEntry&)>& done)
{
    // An entry starts with any bracketed name: "[CHANNEL]", "[channel 10954000]", "[TRT]".
    static const QRegularExpression header(QStringLiteral("^\\[.*\\]$"));
    static const QRegularExpression keyValue(QStringLiteral("^([A-Za-z_0-9]+)\\s*=\\s*(.*)$"));
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    ScanEntry entry;
    int lineNumber = 0;
    for (const QString& untrimmed : QString::fromUtf8(bytes).split(lineEnd)) {
        const QString line = untrimmed.trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (header.match(line).hasMatch()) {
            if (entry.line != 0)
                done(std::exchange(entry, {}));
            entry.line = lineNumber;
            continue;
        }
        const QRegularExpressionMatch m = keyValue.match(line);
        if (!m.hasMatch() || entry.line == 0) {
            warn(report, path,
                 where(path, lineNumber) +
                     QStringLiteral("expected [NAME] or KEY = value, found %1, line skipped")
                         .arg(quoted(line)));
            continue;
        }
        entry.keys.insert(m.captured(1).toUpper(), m.captured(2).trimmed());
    }
    if (entry.line != 0)
        done(entry);
}

// An entry as a transponder; false (with the reason in the report) when it
// cannot be tuned.
bool transponderFromEntry(const ScanEntry& e, const QString& path, Report* report, Transponder* t)
{
    const QMap<QString, QString>& b = e.keys;
    QString why;
    const QString system = b.value(QStringLiteral("DELIVERY_SYSTEM")).toUpper();
    static const QStringList satellite = {"", "DVBS", "DVB-S", "DVBS2", "DVB-S2"};
    if (!satellite.contains(system)) {
        skip(report, path, e.line,
             QStringLiteral("delivery system %1 is not a satellite one").arg(quoted(system)));
        return false;
    }
    if (!frequencyFromKhz(b.value(QStringLiteral("FREQUENCY")), &t->frequencyMHz, &why) ||
        !symbolRateFromSps(b.value(QStringLiteral("SYMBOL_RATE")), &t->symbolRateKs, &why)) {
        skip(report, path, e.line, why);
        return false;
    }
    const QString pol = b.value(QStringLiteral("POLARIZATION")).toUpper();
    static const QStringList pols = {"HORIZONTAL", "VERTICAL", "LEFT", "RIGHT"};
    const int p = pols.indexOf(pol);
    if (p < 0) {
        skip(report, path, e.line,
             QStringLiteral("polarization %1 is none of HORIZONTAL, VERTICAL, LEFT, RIGHT")
                 .arg(quoted(pol)));
        return false;
    }
    t->polarization = QLatin1Char("HVLR"[p]);
    t->format =
        formatFromKeys(b, system == QLatin1String("DVBS2") || system == QLatin1String("DVB-S2"));
    return true;
}

} // namespace

bool readScanTable(const QString& path, QVector<Satellite>* satellites, QString* error,
                   Report* report)
{
    Satellite sat;
    if (!satelliteFromFileName(path, &sat, error))
        return false;
    QByteArray bytes;
    if (!readInput(path, &bytes, error))
        return false;
    bool anyFrequency = false;
    readEntries(bytes, path, report, [&](const ScanEntry& entry) {
        anyFrequency = anyFrequency || entry.keys.contains(QStringLiteral("FREQUENCY"));
        Transponder t;
        if (transponderFromEntry(entry, path, report, &t))
            sat.transponders.append(t);
    });
    finishWarnings(report, path);
    if (!anyFrequency) {
        *error =
            escaped(path, 400) + QStringLiteral(": no entry with a FREQUENCY; not a scan table");
        return false;
    }
    if (sat.transponders.isEmpty()) {
        if (report)
            report->warnings.append(escaped(path, 400) +
                                    QStringLiteral(": no usable entry, satellite left out"));
        return true;
    }
    satellites->append(sat);
    return true;
}

bool readAny(const QString& path, QVector<Satellite>* satellites, QString* error, Report* report)
{
    QByteArray head;
    if (!readInput(path, &head, error))
        return false;
    head.truncate(4096);
    // XML may start with a byte-order mark, spaces and comments; a scan table
    // starts with "#" comments or "[".
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    head = head.trimmed();
    if (head.startsWith('<'))
        return readSatellitesXml(path, satellites, error, report);
    return readScanTable(path, satellites, error, report);
}

bool removeDuplicates(QVector<Satellite>* satellites, bool replace, QString* error)
{
    QHash<QString, int> seen; // position and name -> index of the last one read
    QVector<bool> dropped(satellites->size(), false);
    for (int i = 0; i < satellites->size(); ++i) {
        const Satellite& sat = satellites->at(i);
        const QString key = oneDecimal(sat.position) + QLatin1Char(';') +
                            cleanName(sat.name).remove(QLatin1Char(';'));
        const auto it = seen.find(key);
        if (it != seen.end()) {
            if (!replace) {
                *error = QStringLiteral("satellite %1 at %2 is read twice (%3, %4); --force "
                                        "keeps the last one")
                             .arg(quoted(sat.name), oneDecimal(sat.position),
                                  satellites->at(it.value()).source, sat.source);
                return false;
            }
            dropped[it.value()] = true;
        }
        seen.insert(key, i);
    }
    QVector<Satellite> kept;
    for (int i = 0; i < satellites->size(); ++i) {
        if (!dropped.at(i))
            kept.append(satellites->at(i));
    }
    *satellites = kept;
    return true;
}

QStringList transponderFileNames(const QVector<Satellite>& satellites, QSet<QString> taken)
{
    static const QRegularExpression marks(QStringLiteral("\\p{Mn}"));
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9.]+"));
    QStringList names;
    // Lower case: file systems may ignore case.
    QHash<QString, int> next; // the next number to try for a stem
    for (const Satellite& sat : satellites) {
        QString stem = oneDecimal(std::abs(sat.position)) +
                       QLatin1Char(sat.position < 0 ? 'W' : 'E') + QLatin1Char('-') +
                       sat.name.normalized(QString::NormalizationForm_D);
        stem.remove(marks);
        stem.replace(other, QStringLiteral("_"));
        stem = stem.left(60);
        while (stem.endsWith(QLatin1Char('_')))
            stem.chop(1);
        QString name = stem + QStringLiteral(".ini");
        if (taken.contains(name.toLower())) {
            int& n = next[stem.toLower()];
            n = std::max(n, 2);
            do {
                name = stem + QLatin1Char('-') + QString::number(n++) + QStringLiteral(".ini");
            } while (taken.contains(name.toLower()));
        }
        taken.insert(name.toLower());
        names.append(name);
    }
    return names;
}

QByteArray satelliteListText(const QVector<Satellite>& satellites, const QStringList& files,
                             int firstNumber, bool header)
{
    QString text;
    if (header)
        text = QStringLiteral("# Zenara satellite list: number=position;name;transponder file\n");
    for (int i = 0; i < satellites.size(); ++i) {
        // Joined, not arg()-ed: a "%1" in a name stays text.
        text += QString::number(firstNumber + i) + QLatin1Char('=') +
                oneDecimal(satellites.at(i).position) + QLatin1Char(';') +
                cleanName(satellites.at(i).name).remove(QLatin1Char(';')) + QLatin1Char(';') +
                files.at(i) + QLatin1Char('\n');
    }
    QTextCodec* codec = dataCodec();
    return codec ? codec->fromUnicode(text) : text.toLatin1();
}

QByteArray transponderFileText(const Satellite& sat)
{
    // The position as other tools write it: east in tenths, west as 3600 less
    // its tenths (8.0W is 3520).
    int tenths = int(std::lround(sat.position * 10));
    if (tenths < 0)
        tenths += 3600;
    // No commas in the name: "2=10714,H,22000,56" would read as a transponder.
    const QString name = cleanName(sat.name).replace(QLatin1Char(','), QLatin1Char(' '));
    QString text = QStringLiteral("[SATTYPE]\n1=") +
                   QStringLiteral("%1").arg(tenths, 4, 10, QLatin1Char('0')) +
                   QStringLiteral("\n2=") + name + QStringLiteral("\n\n[DVB]\n0=") +
                   QString::number(sat.transponders.size()) + QLatin1Char('\n');
    int n = 1;
    for (const Transponder& t : sat.transponders) {
        text += QString::number(n++) + QLatin1Char('=') + QString::number(t.frequencyMHz) +
                QLatin1Char(',') + t.polarization + QLatin1Char(',') +
                QString::number(t.symbolRateKs) + QLatin1Char(',') +
                hw::modcod::toFileFields(t.format) + QLatin1Char('\n');
    }
    QTextCodec* codec = dataCodec();
    return codec ? codec->fromUnicode(text) : text.toLatin1();
}

namespace {

// An open folder, closed when it goes.
class Folder
{
public:
    Folder(int parent, const QString& name, bool followLink)
    {
        const QByteArray path = QFile::encodeName(name);
        m_fd = ::openat(parent, path.constData(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    }
    ~Folder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return m_fd; }
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The satellite list already in the target folder, as bytes and as keys.
struct ExistingList
{
    bool found = false;
    QByteArray text;
    QStringList keys;  // "position;name", as removeDuplicates compares them
    QStringList files; // transponder file names, alike
    int nextNumber = 0;
};

ExistingList readExistingList(const QString& path)
{
    ExistingList list;
    struct stat info = {};
    QFile file(path);
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(QIODevice::ReadOnly))
        return list; // nothing, or something the checks below refuse
    list.found = true;
    list.text = file.readAll();
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)=(.\\d*\\.\\d+);(.*);(.*)$"));
    for (const QString& line : dataLines(list.text)) {
        const QRegularExpressionMatch m = pattern.match(line);
        if (!m.hasMatch())
            continue;
        bool ok = false;
        const qint64 number = m.captured(1).toLongLong(&ok);
        if (ok && number < std::numeric_limits<int>::max())
            list.nextNumber = std::max<int>(list.nextNumber, int(number) + 1);
        list.keys.append(oneDecimal(m.captured(2).toDouble()) + QLatin1Char(';') + m.captured(3));
        list.files.append(m.captured(4));
    }
    return list;
}

// What lstat says of a name in a folder: nothing there, a plain file, or
// something else (a link, a folder, ...).
enum class Target { Missing, File, Other };

Target targetKind(int folder, const QByteArray& name)
{
    struct stat info = {};
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return Target::Missing;
    return S_ISREG(info.st_mode) ? Target::File : Target::Other;
}

// Moves a file between open folders, failing (not replacing) when the target
// name has been taken meanwhile.
bool moveNoReplace(int fromFolder, const QByteArray& from, int toFolder, const QByteArray& to)
{
    if (::renameat2(fromFolder, from.constData(), toFolder, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: a hard link cannot replace either.
    if (::linkat(fromFolder, from.constData(), toFolder, to.constData(), 0) != 0)
        return false;
    ::unlinkat(fromFolder, from.constData(), 0);
    return true;
}

} // namespace

namespace {

// One file to write: a transponder file or the list.
struct Item
{
    bool inTransponders;
    QByteArray name;
    QByteArray content;
    bool mayReplace; // an old file at the name is expected and kept inside
};

// The import's writing, step by step: plan the files, look at the targets,
// stage every file on the disk, then move them into place (undone step by
// step if a move fails). Every step says why it stopped in error.
class Writer
{
public:
    Writer(const QString& dir, bool overwrite, QString* error)
        : m_dir(dir), m_out(dir), m_overwrite(overwrite), m_error(error)
    {
    }

    bool plan(const QVector<Satellite>& satellites);
    bool openTargets();
    bool checkTargets() const;
    bool stage();
    bool moveIntoPlace(const std::function<void(int)>& beforeMove, QStringList* written);

private:
    QString shown(const Item& item) const
    {
        return m_out.filePath((item.inTransponders ? QStringLiteral("Transponders/") : QString()) +
                              QFile::decodeName(item.name));
    }
    // Items go into "new" under their own names, transponder files with a
    // prefix that no list file name has.
    static QByteArray stagedName(const Item& item)
    {
        return (item.inTransponders ? QByteArrayLiteral("T-") : QByteArrayLiteral("L-")) +
               item.name;
    }
    bool fail(const QString& text) const
    {
        *m_error = text;
        return false;
    }
    bool planExisting(const Satellite& sat, const ExistingList& existing,
                      QVector<Satellite>* added);
    bool undo(const QVector<std::pair<const Item*, bool>>& done, int transponders);
    bool failMoving(const QString& what, const QVector<std::pair<const Item*, bool>>& done,
                    int transponders);

    const QString m_dir;
    const QDir m_out;
    const bool m_overwrite;
    QString* m_error;
    QVector<Item> m_items;
    std::unique_ptr<Folder> m_into;
    bool m_madeFolder = false;
    std::unique_ptr<QTemporaryDir> m_staging;
    std::unique_ptr<Folder> m_fresh;
    std::unique_ptr<Folder> m_replaced;
    const QByteArray m_transpondersName = QByteArrayLiteral("Transponders");
};

// A satellite the list has already (same position and name): its file is
// replaced, with overwrite; a new one is added.
bool Writer::planExisting(const Satellite& sat, const ExistingList& existing,
                          QVector<Satellite>* added)
{
    const int at = existing.keys.indexOf(oneDecimal(sat.position) + QLatin1Char(';') +
                                         cleanName(sat.name).remove(QLatin1Char(';')));
    if (at < 0) {
        added->append(sat);
        return true;
    }
    const QString listPath = m_out.filePath(QStringLiteral("satlist.znr"));
    if (!m_overwrite)
        return fail(QStringLiteral("satellite %1 at %2 is in %3 already; nothing was written "
                                   "(--force replaces its transponders)")
                        .arg(quoted(sat.name), oneDecimal(sat.position), listPath));
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*$"));
    if (!plainName.match(existing.files.at(at)).hasMatch())
        return fail(QStringLiteral("satellite %1 is in %2 with the transponder file %3, which is "
                                   "not a plain name; nothing was written")
                        .arg(quoted(sat.name), listPath, quoted(existing.files.at(at))));
    m_items.append(
        {true, QFile::encodeName(existing.files.at(at)), transponderFileText(sat), true});
    return true;
}

// A list already there is added to: its lines stay as they are, a satellite
// it has is replaced only with overwrite, new ones are appended after its
// highest number.
bool Writer::plan(const QVector<Satellite>& satellites)
{
    const ExistingList existing = readExistingList(m_out.filePath(QStringLiteral("satlist.znr")));
    QSet<QString> taken;
    for (const QString& name : existing.files)
        taken.insert(name.toLower());
    for (const QString& name : QDir(m_out.filePath(QStringLiteral("Transponders")))
                                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::System))
        taken.insert(name.toLower());
    QVector<Satellite> added;
    for (const Satellite& sat : satellites)
        if (!planExisting(sat, existing, &added))
            return false;
    const QStringList files = transponderFileNames(added, taken);
    for (int i = 0; i < added.size(); ++i)
        m_items.append(
            {true, QFile::encodeName(files.at(i)), transponderFileText(added.at(i)), false});
    // The transponder files first, the list last: whatever stops the moves,
    // no list ever names files that are not there.
    QByteArray list = existing.text;
    if (list.isEmpty()) {
        list = satelliteListText(added, files, 0);
    } else {
        if (!list.endsWith('\n') && !list.endsWith('\r'))
            list += '\n';
        list += satelliteListText(added, files, existing.nextNumber, false);
    }
    m_items.append({false, QByteArrayLiteral("satlist.znr"), list, existing.found});
    return true;
}

// Everything below goes through open folders, so that a folder swapped for a
// link meanwhile cannot send a file elsewhere.
bool Writer::openTargets()
{
    if (!m_out.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("Cannot create %1; nothing was written").arg(m_dir));
    m_into = std::make_unique<Folder>(AT_FDCWD, m_dir, true);
    if (!m_into->ok())
        return fail(QStringLiteral("Cannot open %1; nothing was written").arg(m_dir));
    m_madeFolder = targetKind(m_into->fd(), m_transpondersName) == Target::Missing;
    struct stat info = {};
    if (!m_madeFolder &&
        (::fstatat(m_into->fd(), m_transpondersName.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
         !S_ISDIR(info.st_mode)))
        return fail(m_out.filePath(QStringLiteral("Transponders")) +
                    QStringLiteral(" is not a folder of its own (a file or a link); nothing was "
                                   "written"));
    return true;
}

// Look before writing anything: a folder, link or device at a target name is
// never replaced, a file only with overwrite.
bool Writer::checkTargets() const
{
    const Folder existing(m_into->fd(), QString::fromLatin1(m_transpondersName), false);
    for (const Item& item : m_items) {
        if (item.inTransponders && !existing.ok())
            continue; // no folder yet: nothing in it
        const Target kind =
            targetKind(item.inTransponders ? existing.fd() : m_into->fd(), item.name);
        if (kind == Target::Other)
            return fail(shown(item) + QStringLiteral(" is not a plain file (a link, a folder, "
                                                     "...); nothing was written"));
        if (kind == Target::File && !m_overwrite && !item.mayReplace)
            return fail(shown(item) + QStringLiteral(" exists already; nothing was written "
                                                     "(--force replaces existing files)"));
    }
    return true;
}

// Everything into a staging folder beside the targets (so that moving is a
// rename on the same file system), each file on the disk before a move.
bool Writer::stage()
{
    m_staging =
        std::make_unique<QTemporaryDir>(m_out.filePath(QStringLiteral(".zenara-import-XXXXXX")));
    const QDir staging(m_staging->path());
    if (!m_staging->isValid() || !staging.mkpath(QStringLiteral("new")) ||
        !staging.mkpath(QStringLiteral("replaced")))
        return fail(
            QStringLiteral("Cannot create a staging folder in %1; nothing was written").arg(m_dir));
    m_fresh = std::make_unique<Folder>(AT_FDCWD, staging.filePath(QStringLiteral("new")), false);
    m_replaced =
        std::make_unique<Folder>(AT_FDCWD, staging.filePath(QStringLiteral("replaced")), false);
    if (!m_fresh->ok() || !m_replaced->ok())
        return fail(
            QStringLiteral("Cannot open the staging folder in %1; nothing was written").arg(m_dir));
    for (const Item& item : m_items) {
        const int fd = ::openat(m_fresh->fd(), stagedName(item).constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        bool ok = fd >= 0;
        qint64 done = 0;
        while (ok && done < item.content.size()) {
            const ssize_t n =
                ::write(fd, item.content.constData() + done, size_t(item.content.size() - done));
            ok = n > 0;
            done += n > 0 ? n : 0;
        }
        ok = ok && ::fsync(fd) == 0;
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        if (!ok)
            return fail(shown(item) + QStringLiteral(": ") + reason +
                        QStringLiteral("; nothing was written"));
    }
    return true;
}

// Takes back the moves done, newest first; false when something could not be.
bool Writer::undo(const QVector<std::pair<const Item*, bool>>& done, int transponders)
{
    bool complete = true;
    for (int i = done.size() - 1; i >= 0; --i) {
        const Item& item = *done.at(i).first;
        const int folder = item.inTransponders ? transponders : m_into->fd();
        if (::unlinkat(folder, item.name.constData(), 0) != 0)
            complete = false;
        if (done.at(i).second &&
            !moveNoReplace(m_replaced->fd(), stagedName(item), folder, item.name))
            complete = false;
    }
    if (m_madeFolder)
        ::unlinkat(m_into->fd(), m_transpondersName.constData(), AT_REMOVEDIR);
    return complete;
}

bool Writer::failMoving(const QString& what, const QVector<std::pair<const Item*, bool>>& done,
                        int transponders)
{
    if (undo(done, transponders))
        return fail(what + QStringLiteral("; nothing was written"));
    // The replaced files are still in the staging folder: keep it.
    m_staging->setAutoRemove(false);
    return fail(what + QStringLiteral("; the files it replaced are kept in ") + m_staging->path());
}

bool Writer::moveIntoPlace(const std::function<void(int)>& beforeMove, QStringList* written)
{
    const QString folderShown = m_out.filePath(QStringLiteral("Transponders"));
    if (m_madeFolder && ::mkdirat(m_into->fd(), m_transpondersName.constData(), 0755) != 0)
        return fail(folderShown + QStringLiteral(": cannot create it; nothing was written"));
    const Folder transponders(m_into->fd(), QString::fromLatin1(m_transpondersName), false);
    if (!transponders.ok()) {
        if (m_madeFolder)
            ::unlinkat(m_into->fd(), m_transpondersName.constData(), AT_REMOVEDIR);
        return fail(folderShown +
                    QStringLiteral(" is not a folder of its own; nothing was written"));
    }
    QVector<std::pair<const Item*, bool>> done; // and whether it replaced an old file
    for (int i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items.at(i);
        if (beforeMove)
            beforeMove(i);
        const int folder = item.inTransponders ? transponders.fd() : m_into->fd();
        const Target kind = targetKind(folder, item.name);
        if (kind == Target::Other || (kind == Target::File && !m_overwrite && !item.mayReplace) ||
            (kind == Target::Missing && item.mayReplace))
            return failMoving(shown(item) + QStringLiteral(" changed while importing"), done,
                              transponders.fd());
        const bool replacing = kind == Target::File;
        if (replacing && ::renameat(folder, item.name.constData(), m_replaced->fd(),
                                    stagedName(item).constData()) != 0)
            return failMoving(QStringLiteral("Cannot replace ") + shown(item), done,
                              transponders.fd());
        if (!moveNoReplace(m_fresh->fd(), stagedName(item), folder, item.name)) {
            if (replacing)
                moveNoReplace(m_replaced->fd(), stagedName(item), folder, item.name);
            return failMoving(QStringLiteral("Cannot move ") + shown(item) +
                                  QStringLiteral(" into place"),
                              done, transponders.fd());
        }
        done.append({&item, replacing});
    }
    ::fsync(transponders.fd());
    ::fsync(m_into->fd());
    for (const auto& move : done)
        written->append(shown(*move.first));
    return true;
}

} // namespace

bool writeFiles(const QVector<Satellite>& satellites, const QString& dir, bool overwrite,
                QStringList* written, QString* error, const std::function<void(int)>& beforeMove)
{
    Writer writer(dir, overwrite, error);
    return writer.plan(satellites) && writer.openTargets() && writer.checkTargets() &&
           writer.stage() && writer.moveIntoPlace(beforeMove, written);
}

} // namespace importer
