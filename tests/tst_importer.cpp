// The importer: satellites.xml and DVBv5 scan tables into Zenara's files, read
// back the way the window reads them; bad input gives a clear error and no files.

#include "lists/importer.h"
#include "lists/satellitelist.h"
#include "lists/transponderlist.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <clocale>
#include <cstdio>

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return path;
}

const QByteArray SmallXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<satellites>\n"
    "  <sat name=\"0.8W C-band Thor\" flags=\"1\" position=\"-9\">\n"
    "    <transponder frequency=\"3920000\" symbol_rate=\"6000000\" polarization=\"2\" "
    "fec_inner=\"3\" system=\"0\" modulation=\"1\" />\n"
    "  </sat>\n"
    "  <sat name=\"0.8W Ku-band Thor\" flags=\"1\" position=\"-8\">\n"
    "    <transponder frequency=\"10778000\" symbol_rate=\"24500000\" polarization=\"1\" "
    "fec_inner=\"4\" system=\"1\" modulation=\"2\" />\n"
    "    <transponder frequency=\"11247000\" symbol_rate=\"24500000\" polarization=\"3\" "
    "fec_inner=\"0\" system=\"0\" modulation=\"1\" />\n"
    "  </sat>\n"
    "  <sat name=\"42.0E Ku-band T\xC3\xBCrksat \xE2\x98\x85\" flags=\"1\" position=\"420\">\n"
    "    <transponder frequency=\"11977000\" symbol_rate=\"27500000\" polarization=\"0\" "
    "fec_inner=\"3\" system=\"0\" modulation=\"1\" />\n"
    "  </sat>\n"
    "</satellites>\n";

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

} // namespace

class TestImporter : public QObject
{
    Q_OBJECT

private slots:
    void xmlRoundTrip();
    void scanTableRoundTrip();
    void signalFormats_data();
    void signalFormats();
    void codeRatesAsBefore();
    void shippedFiles();
    void malformedInput_data();
    void malformedInput();
    void existingFilesAreKept();
    void importingTwiceDoesNotDouble();
    void realScanTablesSkipOnlyBadEntries();
    void xmlAfterAMarkOrAComment();
    void hostileNames();
    void namesAreUniqueAndFast();
    void satellitesReadTwice();
    void messagesQuoteLittle();
    void writingIsAllOrNothing();
    void aMoveThatFailsIsUndone();
    void numbersIgnoreTheLocale();
    void hugeNamesAndPipes();
};

void TestImporter::xmlRoundTrip()
{
    QTemporaryDir dir;
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY2(importer::readAny(writeFile(dir, QStringLiteral("s.xml"), SmallXml), &sats, &error),
             qPrintable(error));
    QCOMPARE(sats.size(), 3);
    // Both Thor entries sit at the true 0.8 W, whatever the position attribute says.
    QCOMPARE(sats.at(0).position, -0.8);
    QCOMPARE(sats.at(1).position, -0.8);

    QStringList written;
    QVERIFY2(
        importer::writeFiles(sats, dir.filePath(QStringLiteral("out")), false, &written, &error),
        qPrintable(error));
    QCOMPARE(written.size(), 4);

    SatelliteList list;
    list.setLocation(10.0, 50.0);
    list.loadFile(dir.filePath(QStringLiteral("out/satlist.znr")));
    QCOMPARE(list.numbers, QVector<int>({0, 1, 2}));
    QCOMPARE(list.orbitalPositions, QVector<double>({-0.8, -0.8, 42.0}));
    QCOMPARE(list.names.at(2), QStringLiteral("Ku-band Turksat")); // accent dropped, star left out
    QVERIFY(list.transponderFiles.at(0) != list.transponderFiles.at(1));

    QStringList entries;
    QVERIFY(transponders::readEntries(
        dir.filePath(QStringLiteral("out/Transponders/") + list.transponderFiles.at(1)), &entries));
    QCOMPARE(entries,
             QStringList({QString(), "10778, V, 24500 \u00B7 S2 8PSK", "11247, R, 24500"}));
    QFile ini(dir.filePath(QStringLiteral("out/Transponders/") + list.transponderFiles.at(1)));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    // West as 3600 less its tenths, as other tools write it.
    QVERIFY(text.startsWith("[SATTYPE]\n1=3592\n2=Ku-band Thor\n\n[DVB]\n0=2\n"));
    QVERIFY(text.contains("1=10778,V,24500,56,S2,8PSK\n"));
    QVERIFY(text.contains("2=11247,R,24500,AUTO\n"));
}

void TestImporter::scanTableRoundTrip()
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, QStringLiteral("Hotbird-13.0E"),
                  "# comment\r\n[CHANNEL]\r\n\tDELIVERY_SYSTEM = DVBS\r\n\tFREQUENCY = 10719000\r\n"
                  "\tPOLARIZATION = VERTICAL\r\n\tSYMBOL_RATE = 27500000\r\n\tINNER_FEC = 3/4\r\n"
                  "\r\n[CHANNEL]\r\n\tDELIVERY_SYSTEM = DVB-S2\r\n\tFREQUENCY = 11034000\r\n"
                  "\tPOLARIZATION = LEFT\r\n\tSYMBOL_RATE = 27500000\r\n\tINNER_FEC = AUTO\r\n");
    const QString west = writeFile(dir, QStringLiteral("AMC1-103w"),
                                   "[CHANNEL]\nFREQUENCY = 11700000\nPOLARIZATION = HORIZONTAL\n"
                                   "SYMBOL_RATE = 20000000\n");
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY2(importer::readAny(path, &sats, &error), qPrintable(error));
    QVERIFY2(importer::readAny(west, &sats, &error), qPrintable(error));
    QCOMPARE(sats.size(), 2);
    QCOMPARE(sats.at(0).name, QStringLiteral("Hotbird"));
    QCOMPARE(sats.at(0).position, 13.0);
    QCOMPARE(sats.at(1).position, -103.0);
    const QByteArray text = importer::transponderFileText(sats.at(0));
    QVERIFY(text.contains("1=10719,V,27500,34\n2=11034,L,27500,AUTO,S2\n"));
}

namespace {

// The transponder line written for one entry of either kind, the entry given
// as the XML's attributes or the scan table's keys.
QByteArray lineFor(const QString& kind, const QByteArray& entry, hw::SignalFormat* format = nullptr)
{
    QTemporaryDir dir;
    const QString path =
        kind == QLatin1String("xml")
            ? writeFile(dir, QStringLiteral("s.xml"),
                        "<satellites><sat name=\"13.0E Hot\" position=\"130\"><transponder "
                        "frequency=\"11727000\" symbol_rate=\"27500000\" polarization=\"1\" " +
                            entry + "/></sat></satellites>")
            : writeFile(dir, QStringLiteral("Hot-13.0E"),
                        "[CHANNEL]\nFREQUENCY = 11727000\nPOLARIZATION = VERTICAL\n"
                        "SYMBOL_RATE = 27500000\n" +
                            entry);
    QVector<importer::Satellite> sats;
    QString error;
    if (!importer::readAny(path, &sats, &error) || sats.size() != 1 ||
        sats.first().transponders.size() != 1)
        return "(not read) " + error.toUtf8();
    if (format)
        *format = sats.first().transponders.first().format;
    const QByteArray text = importer::transponderFileText(sats.first());
    const int at = text.indexOf("\n1=", text.indexOf("[DVB]"));
    return text.mid(at + 1, text.indexOf('\n', at + 1) - at - 1);
}

} // namespace

void TestImporter::signalFormats_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("fields"); // after "1=11727,V,27500,"
    const auto row = [](const char* name, const char* kind, const char* entry, const char* fields) {
        QTest::newRow(name) << kind << QByteArray(entry) << QByteArray(fields);
    };
    row("xml 8PSK 3/4", "xml", "system=\"1\" modulation=\"2\" fec_inner=\"3\"", "34,S2,8PSK");
    row("xml 16APSK 9/10", "xml",
        "system=\"1\" modulation=\"4\" fec_inner=\"9\" rolloff=\"2\" pilot=\"1\"",
        "910,S2,16APSK,RO20,PILOTS");
    row("xml QPSK auto rate", "xml",
        "system=\"1\" modulation=\"1\" fec_inner=\"0\" rolloff=\"0\" pilot=\"0\"",
        "AUTO,S2,QPSK,RO35,NOPILOTS");
    row("xml unknown codes", "xml",
        "system=\"1\" modulation=\"3\" fec_inner=\"2\" rolloff=\"3\" pilot=\"2\"", "23,S2");
    row("xml DVB-S", "xml",
        "system=\"0\" modulation=\"2\" fec_inner=\"3\" rolloff=\"2\" pilot=\"1\"", "34");
    row("scan 8PSK 3/4", "scan", "DELIVERY_SYSTEM = DVBS2\nMODULATION = PSK/8\nINNER_FEC = 3/4\n",
        "34,S2,8PSK");
    row("scan 16APSK 9/10", "scan",
        "DELIVERY_SYSTEM = DVB-S2\nMODULATION = APSK/16\nINNER_FEC = 9/10\nROLLOFF = 20\n"
        "PILOT = ON\n",
        "910,S2,16APSK,RO20,PILOTS");
    row("scan QPSK auto rate", "scan",
        "DELIVERY_SYSTEM = DVBS2\nMODULATION = QPSK\nINNER_FEC = AUTO\nROLLOFF = 35\nPILOT = OFF\n",
        "AUTO,S2,QPSK,RO35,NOPILOTS");
    row("scan unknown values", "scan",
        "DELIVERY_SYSTEM = DVBS2\nMODULATION = QAM/64\nINNER_FEC = 11/12\nROLLOFF = 15\n"
        "PILOT = AUTO\n",
        "AUTO,S2");
    row("scan DVB-S", "scan",
        "DELIVERY_SYSTEM = DVBS\nMODULATION = PSK/8\nINNER_FEC = 7/8\nROLLOFF = 20\nPILOT = ON\n",
        "78");
}

void TestImporter::signalFormats()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, fields);
    hw::SignalFormat format;
    QCOMPARE(lineFor(kind, entry, &format), "1=11727,V,27500," + fields);
    // The line reads back as the carrier it was written for.
    QCOMPARE(hw::modcod::fromFileFields(QString::fromLatin1(fields).split(QLatin1Char(','))),
             format);
}

void TestImporter::codeRatesAsBefore()
{
    // Every code rate either source can give, written as it always was: the
    // rate alone for DVB-S, then ",S2" for DVB-S2 of no stated modulation.
    const QStringList codes = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "15"};
    const QStringList rates = {"",    "1/2", "2/3",  "3/4", "5/6", "7/8", "8/9",
                               "3/5", "4/5", "9/10", "6/7", "34",  "NONE"};
    const QList<QByteArray> written = {"AUTO", "12", "23",  "34", "56",   "78",  "89",
                                       "35",   "45", "910", "67", "AUTO", "AUTO"};
    for (int i = 0; i < codes.size(); ++i) {
        const QByteArray fec = codes.at(i).toLatin1(), rate = rates.at(i).toLatin1();
        const QByteArray line = "1=11727,V,27500," + written.at(i);
        QCOMPARE(lineFor("xml", "fec_inner=\"" + fec + "\" system=\"0\""), line);
        QCOMPARE(lineFor("xml", "fec_inner=\"" + fec + "\" system=\"1\""), line + ",S2");
        QCOMPARE(lineFor("scan", "INNER_FEC = " + rate + "\n"), line);
        QCOMPARE(lineFor("scan", "DELIVERY_SYSTEM = DVBS2\nINNER_FEC = " + rate + "\n"),
                 line + ",S2");
    }
}

void TestImporter::shippedFiles()
{
    if (!QFile::exists(QStringLiteral(ZENARA_SHARED_DATA "/satellites.xml")))
        QSKIP("the source data is not beside this checkout");
    QTemporaryDir dir;
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY2(importer::readAny(QStringLiteral(ZENARA_SHARED_DATA "/satellites.xml"), &sats, &error),
             qPrintable(error));
    QCOMPARE(sats.size(), 208);
    int transponders = 0;
    for (const auto& s : sats)
        transponders += s.transponders.size();
    QCOMPARE(transponders, 3368);

    QVector<importer::Satellite> table;
    QVERIFY2(
        importer::readAny(QStringLiteral(ZENARA_SHARED_DATA "/dtv-scan-tables-dvb-s/Hotbird-13.0E"),
                          &table, &error),
        qPrintable(error));
    QCOMPARE(table.first().transponders.size(), 95);

    // All 116 shipped scan tables in one run: every usable entry, Türksat included.
    QVector<importer::Satellite> tables;
    importer::Report report;
    const QDir scanTables(QStringLiteral(ZENARA_SHARED_DATA "/dtv-scan-tables-dvb-s"));
    for (const QString& name : scanTables.entryList(QDir::Files))
        QVERIFY2(importer::readAny(scanTables.filePath(name), &tables, &error, &report),
                 qPrintable(error));
    QCOMPARE(tables.size(), 116);
    QCOMPARE(report.skipped, 4);
    QVERIFY(std::any_of(tables.begin(), tables.end(),
                        [](const importer::Satellite& sat) { return sat.position == 42.0; }));

    QStringList written;
    QVERIFY(importer::writeFiles(sats, dir.path(), false, &written, &error));
    SatelliteList list;
    list.loadFile(dir.filePath(QStringLiteral("satlist.znr")));
    QCOMPARE(list.satelliteCount(), 208);
    QVERIFY(list.labels.contains(QStringLiteral("[ 0.0°E]  42.0°E Ku-band Turksat 3A/4A/5B/6A")));

    // The committed sample data is exactly what the importer makes of the source.
    for (const QString& file : written) {
        const QString relative = QDir(dir.path()).relativeFilePath(file);
        QFile made(file), committed(QStringLiteral(ZENARA_SOURCE_DIR "/data/") + relative);
        QVERIFY2(made.open(QIODevice::ReadOnly) && committed.open(QIODevice::ReadOnly),
                 qPrintable(relative));
        QVERIFY2(made.readAll() == committed.readAll(), qPrintable(relative));
    }
}

void TestImporter::malformedInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::newRow("broken xml") << "a.xml"
                                << QByteArray("<?xml version=\"1.0\"?>\n<satellites>\n<sat name"
                                              "=\"13.0E Hot\" position=\"130\">\n<transponder "
                                              "frequency=\"1\"\n</satellites>\n")
                                << ":5: ";
    QTest::newRow("no satellites")
        << "c.xml" << QByteArray("<?xml version=\"1.0\"?>\n<channels>\n</channels>\n")
        << "no satellites found";
    QTest::newRow("no entry with a frequency")
        << "Sat-13.0E" << QByteArray("[CHANNEL]\nSYMBOL_RATE = 27500000\nbad\n")
        << "no entry with a FREQUENCY";
    QTest::newRow("invalid UTF-8 on line 4")
        << "d.xml"
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<satellites>\n<sat name"
                      "=\"13.0E Hot\" position=\"130\">\n<!-- \xC3\x28 -->\n</sat>\n"
                      "</satellites>\n")
        << ":4: not UTF-8";
    QTest::newRow("position beyond 180")
        << "Far-999.9E" << QByteArray("[CHANNEL]\nFREQUENCY = 10719000\n")
        << "not within 180 degrees";
    QTest::newRow("no position in the name")
        << "Somewhere" << QByteArray("[CHANNEL]\nFREQUENCY = 1\n")
        << "does not end in the orbital position";
}

void TestImporter::malformedInput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = writeFile(dir, name, content);
    QVector<importer::Satellite> sats;
    QString message;
    QVERIFY(!importer::readAny(path, &sats, &message));
    QVERIFY2(message.startsWith(path), qPrintable(message));
    QVERIFY2(message.contains(error), qPrintable(message));
    QVERIFY(sats.isEmpty()); // nothing half-read
}

void TestImporter::existingFilesAreKept()
{
    QTemporaryDir dir;
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY(importer::readAny(writeFile(dir, QStringLiteral("s.xml"), SmallXml), &sats, &error));
    const QStringList files = importer::transponderFileNames(sats);
    // A transponder file of the same name, not in any list: kept, the new one
    // gets another name.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Transponders")));
    writeFile(dir, QStringLiteral("Transponders/") + files.at(0), "mine\n");
    // A list of the user's own, with a line the program skips: added to.
    writeFile(dir, QStringLiteral("satlist.znr"), "7=13.0;Hot Bird;hb.ini\nmine");
    QStringList written;
    QVERIFY2(importer::writeFiles(sats, dir.path(), false, &written, &error), qPrintable(error));
    QFile own(dir.filePath(QStringLiteral("Transponders/") + files.at(0)));
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), QByteArray("mine\n"));
    SatelliteList list;
    list.loadFile(dir.filePath(QStringLiteral("satlist.znr")));
    QCOMPARE(list.numbers, QVector<int>({7, 8, 9, 10}));
    QCOMPARE(list.transponderFiles.at(0), QStringLiteral("hb.ini"));
    QVERIFY(list.transponderFiles.at(1) != files.at(0));
    QFile text(dir.filePath(QStringLiteral("satlist.znr")));
    QVERIFY(text.open(QIODevice::ReadOnly));
    QVERIFY(text.readAll().startsWith("7=13.0;Hot Bird;hb.ini\nmine\n8=-0.8;"));
}

void TestImporter::importingTwiceDoesNotDouble()
{
    QTemporaryDir dir;
    const QString xml = writeFile(dir, QStringLiteral("s.xml"), SmallXml);
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY(importer::readAny(xml, &sats, &error));
    QStringList written;
    QVERIFY(importer::writeFiles(sats, dir.path(), false, &written, &error));
    const QString listPath = dir.filePath(QStringLiteral("satlist.znr"));
    const QByteArray first = contents(listPath);

    // The same again: refused, nothing changed.
    QVERIFY(!importer::writeFiles(sats, dir.path(), false, &written, &error));
    QVERIFY2(error.contains(QStringLiteral("already; nothing was written")), qPrintable(error));
    QCOMPARE(contents(listPath), first);

    // With --force: the same three satellites, their transponders replaced.
    sats[2].transponders[0].symbolRateKs = 30000;
    QVERIFY2(importer::writeFiles(sats, dir.path(), true, &written, &error), qPrintable(error));
    QCOMPARE(contents(listPath), first);
    SatelliteList list;
    list.loadFile(listPath);
    QCOMPARE(list.satelliteCount(), 3);
    QStringList entries;
    QVERIFY(transponders::readEntries(
        dir.filePath(QStringLiteral("Transponders/") + list.transponderFiles.at(2)), &entries));
    QCOMPARE(entries, QStringList({QString(), "11977, H, 30000"}));

    // Another satellite is added after them.
    QVector<importer::Satellite> more(1);
    more[0].position = 19.2;
    more[0].name = QStringLiteral("Astra");
    more[0].transponders.append({11494, QLatin1Char('H'), 22000, {}});
    QVERIFY(importer::writeFiles(more, dir.path(), false, &written, &error));
    QVERIFY(contents(listPath).startsWith(first));
    SatelliteList four;
    four.loadFile(listPath);
    QCOMPARE(four.numbers, QVector<int>({0, 1, 2, 3}));
    QCOMPARE(four.names.last(), QStringLiteral("Astra"));
}

void TestImporter::realScanTablesSkipOnlyBadEntries()
{
    QVector<importer::Satellite> sats;
    QString error;
    importer::Report report;
    const QString path = QStringLiteral(ZENARA_FIXTURES "/Turksat-42.0E");
    QVERIFY2(importer::readAny(path, &sats, &error, &report), qPrintable(error));
    QCOMPARE(sats.size(), 1);
    QCOMPARE(sats.at(0).position, 42.0);
    const auto& t = sats.at(0).transponders;
    QCOMPARE(t.size(), 2); // "[channel 10954000]" and "[Türksat]"
    QCOMPARE(t.at(0).frequencyMHz, 10954);
    QCOMPARE(t.at(0).symbolRateKs, 4820);
    QCOMPARE(t.at(1).frequencyMHz, 11977);
    QVERIFY(t.at(1).format.isS2());
    QCOMPARE(report.skipped, 5);
    const QString file = path + QLatin1Char(':');
    QCOMPARE(report.warnings,
             QStringList({file + QStringLiteral("17: symbol rate is not a number: \"663-000\", "
                                                "entry skipped"),
                          file + QStringLiteral("24: delivery system \"DVBC/ANNEX_A\" is not a "
                                                "satellite one, entry skipped"),
                          file + QStringLiteral("29: frequency 12.2 MHz is outside 950..40000 MHz, "
                                                "entry skipped"),
                          file + QStringLiteral("35: frequency 4294977296 MHz is outside "
                                                "950..40000 MHz, entry skipped"),
                          file + QStringLiteral("41: symbol rate -27500 kS/s is outside "
                                                "50..100000 kS/s, entry skipped")}));
}

void TestImporter::xmlAfterAMarkOrAComment()
{
    QVector<importer::Satellite> sats;
    QString error;
    importer::Report report;
    QVERIFY2(importer::readAny(QStringLiteral(ZENARA_FIXTURES "/bom-comment.xml"), &sats, &error,
                               &report),
             qPrintable(error));
    QCOMPARE(sats.size(), 2); // "Far away" at 999.9 degrees is left out
    QCOMPARE(sats.at(0).position, -8.0);
    QCOMPARE(sats.at(1).transponders.size(), 1); // system 2 is not a satellite one
    QCOMPARE(report.skipped, 2);
    QVERIFY(
        report.warnings.at(0).contains(QStringLiteral(":6: satellite \"Far away\" is at 999.9")));
    QVERIFY(report.warnings.at(1).contains(
        QStringLiteral(":11: transponder of delivery system \"2\", entry skipped")));
    // East in tenths, west as 3600 less its tenths.
    QVERIFY(importer::transponderFileText(sats.at(0)).startsWith("[SATTYPE]\n1=3520\n"));
    QVERIFY(importer::transponderFileText(sats.at(1)).startsWith("[SATTYPE]\n1=0192\n"));
}

void TestImporter::hostileNames()
{
    QVector<importer::Satellite> sats(5);
    sats[0].position = -5.0;
    sats[0].name = QStringLiteral("%1 %2 %4");
    sats[1].position = 4.0;
    sats[1].name = QStringLiteral("10714,H,22000,56");
    sats[2].position = 13.0;
    sats[2].name = QStringLiteral("Hot\nBird\t;x");
    sats[3].position = 19.25; // a tie: written as the C library rounds it
    sats[3].name = QStringLiteral("Tie");
    sats[4].position = 40.0; // Cyrillic survives the Windows-1251 files
    sats[4].name = QStringLiteral("\u042D\u043A\u0441\u043F\u0440\u0435\u0441\u0441 AM7");
    for (auto& sat : sats)
        sat.transponders.append({11977, QLatin1Char('H'), 27500, {}});
    QTemporaryDir dir;
    QStringList written;
    QString error;
    QVERIFY2(importer::writeFiles(sats, dir.path(), false, &written, &error), qPrintable(error));

    SatelliteList list;
    list.setLocation(4.0, 0.0);
    list.loadFile(dir.filePath(QStringLiteral("satlist.znr")));
    QCOMPARE(list.names,
             QStringList({"%1 %2 %4", "10714,H,22000,56", "Hot Bird x", "Tie",
                          QStringLiteral("\u042D\u043A\u0441\u043F\u0440\u0435\u0441\u0441 AM7")}));
    QCOMPARE(list.orbitalPositions, QVector<double>({-5.0, 4.0, 13.0, 19.2, 40.0}));
    QVERIFY(list.transponderFiles.at(0).startsWith(QStringLiteral("5.0W_1_2_4")));
    // The name in the transponder file's header never reads as a transponder.
    QStringList entries;
    QVERIFY(transponders::readEntries(
        dir.filePath(QStringLiteral("Transponders/") + list.transponderFiles.at(1)), &entries));
    QCOMPARE(entries, QStringList({QString(), "11977, H, 27500"}));
    QVERIFY(transponders::readEntries(
        dir.filePath(QStringLiteral("Transponders/") + list.transponderFiles.at(2)), &entries));
    QCOMPARE(entries, QStringList({QString(), "11977, H, 27500"}));
}

void TestImporter::namesAreUniqueAndFast()
{
    QVector<importer::Satellite> sats(3000);
    for (int i = 0; i < sats.size(); ++i) {
        sats[i].position = 13.0;
        sats[i].name = i % 3 ? QStringLiteral("Hot Bird") : QStringLiteral("hot bird");
    }
    QElapsedTimer timer;
    timer.start();
    const QStringList names = importer::transponderFileNames(sats);
    qInfo("3000 equal names in %lld ms", timer.elapsed());
    QSet<QString> lower;
    for (const QString& name : names)
        lower.insert(name.toLower());
    QCOMPARE(lower.size(), 3000);
    QCOMPARE(names.at(0), QStringLiteral("13.0E_hot_bird.ini"));
    QCOMPARE(names.at(1), QStringLiteral("13.0E_Hot_Bird-2.ini"));
    QCOMPARE(names.at(2), QStringLiteral("13.0E_Hot_Bird-3.ini"));
}

void TestImporter::satellitesReadTwice()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("s.xml"), SmallXml);
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY(importer::readAny(path, &sats, &error));
    QVERIFY(importer::readAny(path, &sats, &error));
    QCOMPARE(sats.size(), 6);
    QVector<importer::Satellite> copy = sats;
    QVERIFY(!importer::removeDuplicates(&copy, false, &error));
    QVERIFY2(error.contains(QStringLiteral("is read twice")), qPrintable(error));
    QVERIFY(importer::removeDuplicates(&sats, true, &error));
    QCOMPARE(sats.size(), 3);
}

void TestImporter::messagesQuoteLittle()
{
    QTemporaryDir dir;
    // One 2 MB line with a terminal escape in it.
    const QByteArray line = "\x1b[2J" + QByteArray(2 * 1024 * 1024, 'x');
    const QString path = writeFile(dir, QStringLiteral("Big-13.0E"),
                                   "[CHANNEL]\nFREQUENCY = 10719000\n" + line + "\n");
    QVector<importer::Satellite> sats;
    QString error;
    importer::Report report;
    QVERIFY(importer::readAny(path, &sats, &error, &report));
    // The line, the entry without a symbol rate, the satellite without entries.
    QCOMPARE(report.warnings.size(), 3);
    const QString& warning = report.warnings.at(0);
    QVERIFY2(warning.size() < path.size() + 200, qPrintable(QString::number(warning.size())));
    QVERIFY(!warning.contains(QChar(0x1b)));
    QVERIFY(warning.contains(QStringLiteral("\\x{1b}[2J")));

    // A million bad lines make twenty warnings and a count, not a million.
    QByteArray many = "[CHANNEL]\nFREQUENCY = 10719000\nSYMBOL_RATE = 27500000\n"
                      "POLARIZATION = VERTICAL\n";
    for (int i = 0; i < 100000; ++i)
        many += "x\n";
    const QString manyPath = writeFile(dir, QStringLiteral("Many-13.0E"), many);
    importer::Report manyReport;
    QVERIFY(importer::readAny(manyPath, &sats, &error, &manyReport));
    QCOMPARE(manyReport.warnings.size(), 21);
    QCOMPARE(manyReport.warnings.last(),
             manyPath + QStringLiteral(": 99980 more warnings not shown"));
    // File names are escaped too.
    QCOMPARE(importer::quoted(QStringLiteral("a\u202Eb\nc")),
             QStringLiteral("\"a\\x{202e}b\\x{0a}c\""));
}

void TestImporter::writingIsAllOrNothing()
{
    QTemporaryDir source;
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY(importer::readAny(writeFile(source, QStringLiteral("s.xml"), SmallXml), &sats, &error));
    const QStringList files = importer::transponderFileNames(sats);
    auto leftovers = [](const QString& dir) {
        return QDir(dir).entryList({QStringLiteral(".zenara-import-*")},
                                   QDir::AllEntries | QDir::Hidden);
    };

    // The list has the satellite, and a folder stands at its transponder
    // file's name: even with --force it is not replaced, and nothing else was.
    QTemporaryDir into;
    QVERIFY(QDir(into.path()).mkpath(QStringLiteral("Transponders/tk.ini")));
    writeFile(into, QStringLiteral("satlist.znr"), "0=42.0;Ku-band Turksat;tk.ini\nmine\n");
    QStringList written;
    QVERIFY(!importer::writeFiles(sats, into.path(), true, &written, &error));
    QVERIFY2(error.contains(QStringLiteral("nothing was written")), qPrintable(error));
    QCOMPARE(contents(into.filePath(QStringLiteral("satlist.znr"))),
             QByteArray("0=42.0;Ku-band Turksat;tk.ini\nmine\n"));
    QVERIFY(written.isEmpty());
    QVERIFY(leftovers(into.path()).isEmpty());

    // A link at a target name is not written through.
    QTemporaryDir elsewhere;
    const QString outside = writeFile(elsewhere, QStringLiteral("precious"), "keep\n");
    QTemporaryDir linked;
    QVERIFY(QFile::link(outside, linked.filePath(QStringLiteral("satlist.znr"))));
    QVERIFY(!importer::writeFiles(sats, linked.path(), true, &written, &error));
    QCOMPARE(contents(outside), QByteArray("keep\n"));
    // ... nor a linked transponders folder.
    QTemporaryDir linkedFolder;
    QVERIFY(QFile::link(elsewhere.path(), linkedFolder.filePath(QStringLiteral("Transponders"))));
    QVERIFY(!importer::writeFiles(sats, linkedFolder.path(), true, &written, &error));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList({"precious"}));

    // A list that is there is added to in one go, and the staging folder goes.
    QTemporaryDir replace;
    writeFile(replace, QStringLiteral("satlist.znr"), "old\n");
    QVERIFY(importer::writeFiles(sats, replace.path(), true, &written, &error));
    QCOMPARE(written.size(), 4);
    QVERIFY(contents(replace.filePath(QStringLiteral("satlist.znr"))).startsWith("old\n0=-0.8;"));
    QVERIFY(leftovers(replace.path()).isEmpty());
}

void TestImporter::aMoveThatFailsIsUndone()
{
    QTemporaryDir source;
    QVector<importer::Satellite> sats;
    QString error;
    QVERIFY(importer::readAny(writeFile(source, QStringLiteral("s.xml"), SmallXml), &sats, &error));
    const QStringList files = importer::transponderFileNames(sats);

    // Without --force: a file that appears at a target name while the others
    // are being moved is not replaced, and the moved ones go again.
    QTemporaryDir into;
    QStringList written;
    QVERIFY(!importer::writeFiles(sats, into.path(), false, &written, &error, [&](int n) {
        if (n == 2)
            writeFile(into, QStringLiteral("Transponders/") + files.at(2), "someone else's\n");
    }));
    QVERIFY2(error.contains(QStringLiteral("changed while importing; nothing was written")),
             qPrintable(error));
    QCOMPARE(contents(into.filePath(QStringLiteral("Transponders/") + files.at(2))),
             QByteArray("someone else's\n"));
    QCOMPARE(QDir(into.filePath(QStringLiteral("Transponders"))).entryList(QDir::Files),
             QStringList({files.at(2)}));
    QVERIFY(!QFile::exists(into.filePath(QStringLiteral("satlist.znr"))));

    // With --force: the files it replaced come back when the last move fails.
    QTemporaryDir replace;
    QVERIFY(QDir(replace.path()).mkpath(QStringLiteral("Transponders")));
    writeFile(replace, QStringLiteral("Transponders/") + files.at(0), "old transponders\n");
    writeFile(replace, QStringLiteral("satlist.znr"), "old list\n");
    QVERIFY(!importer::writeFiles(sats, replace.path(), true, &written, &error, [&](int n) {
        if (n == 3) { // the list, moved last
            QFile::remove(replace.filePath(QStringLiteral("satlist.znr")));
            QDir(replace.path()).mkdir(QStringLiteral("satlist.znr"));
        }
    }));
    QVERIFY2(error.contains(QStringLiteral("nothing was written")), qPrintable(error));
    QCOMPARE(contents(replace.filePath(QStringLiteral("Transponders/") + files.at(0))),
             QByteArray("old transponders\n"));
    QCOMPARE(QDir(replace.filePath(QStringLiteral("Transponders"))).entryList(QDir::Files),
             QStringList({files.at(0)}));
    QVERIFY(QDir(replace.path())
                .entryList({QStringLiteral(".zenara-import-*")}, QDir::AllEntries | QDir::Hidden)
                .isEmpty());
}

void TestImporter::numbersIgnoreTheLocale()
{
    // Qt applications take the user's locale: with a decimal comma the files
    // must still say 19.2, or no program can read them back.
    const QByteArray previous = setlocale(LC_NUMERIC, nullptr);
    if (!setlocale(LC_NUMERIC, "de_DE.UTF-8") && !setlocale(LC_NUMERIC, "ru_RU.UTF-8"))
        QSKIP("no locale with a decimal comma is installed");
    auto restore = qScopeGuard([&previous] { setlocale(LC_NUMERIC, previous.constData()); });
    char check[16];
    std::snprintf(check, sizeof check, "%.1f", 1.5);
    QCOMPARE(QByteArray(check), QByteArray("1,5")); // the locale is really in force
    QVector<importer::Satellite> sats(1);
    sats[0].position = 19.25;
    sats[0].name = QStringLiteral("Astra");
    QVERIFY(importer::satelliteListText(sats, {QStringLiteral("a.ini")})
                .contains("0=19.2;Astra;a.ini\n"));
    QCOMPARE(SatelliteList::label(-10.19, 19.2, QStringLiteral("Astra")),
             QStringLiteral("[10.2°W]  19.2°E Astra"));
}

void TestImporter::hugeNamesAndPipes()
{
    // A name of a megabyte is cut, with a word; the rest of the file counts.
    QTemporaryDir dir;
    const QByteArray name(1 << 20, 'x');
    const QString xml = writeFile(dir, QStringLiteral("big.xml"),
                                  "<?xml version=\"1.0\"?>\n<satellites>\n<sat name=\"" + name +
                                      "\" position=\"130\">\n<transponder frequency=\"11977000\" "
                                      "symbol_rate=\"27500000\" polarization=\"0\"/>\n</sat>\n"
                                      "</satellites>\n");
    QVector<importer::Satellite> sats;
    importer::Report report;
    QString error;
    QVERIFY2(importer::readAny(xml, &sats, &error, &report), qPrintable(error));
    QCOMPARE(sats.size(), 1);
    QCOMPARE(sats.first().name.size(), importer::MaxNameLength);
    QCOMPARE(sats.first().transponders.size(), 1);
    QVERIFY(report.warnings.join('\n').contains(QLatin1String("cut to 100 characters")));
    // A pipe where a file should be: refused at once, not waited on.
    const QString pipe = dir.filePath(QStringLiteral("sats.xml"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    sats.clear();
    QVERIFY(!importer::readAny(pipe, &sats, &error, &report));
    QVERIFY2(error.endsWith(QLatin1String("it is a pipe (FIFO), not a file")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestImporter)
#include "tst_importer.moc"
