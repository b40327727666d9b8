// The importer: satellites.xml and DVBv5 scan tables into Zenara's files, read
// back the way the window reads them; bad input gives a clear error and no files.

#include "lists/importer.h"
#include "lists/satellitelist.h"
#include "lists/transponderlist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

} // namespace

class TestImporter : public QObject
{
    Q_OBJECT

private slots:
    void xmlRoundTrip();
    void scanTableRoundTrip();
    void shippedFiles();
    void malformedInput_data();
    void malformedInput();
    void existingFilesAreKept();
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
    QCOMPARE(entries, QStringList({QString(), "10778, V, 24500", "11247, R, 24500"}));
    QFile ini(dir.filePath(QStringLiteral("out/Transponders/") + list.transponderFiles.at(1)));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    QVERIFY(text.startsWith("[SATTYPE]\n1=-008\n2=Ku-band Thor\n\n[DVB]\n0=2\n"));
    QVERIFY(text.contains("1=10778,V,24500,56,S2\n"));
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
    QTest::newRow("transponder without data")
        << "b.xml"
        << QByteArray("<?xml version=\"1.0\"?>\n<satellites>\n<sat name=\"13.0E Hot\" "
                      "position=\"130\">\n<transponder frequency=\"x\" symbol_rate=\"1\" "
                      "polarization=\"0\"/>\n</sat>\n</satellites>\n")
        << ":4: transponder without a valid frequency";
    QTest::newRow("scan table line")
        << "Sat-13.0E" << QByteArray("[CHANNEL]\nFREQUENCY = 10719000\nbad\n")
        << ":3: expected [CHANNEL] or KEY = value";
    QTest::newRow("scan table channel")
        << "Sat-19.2E" << QByteArray("\n[CHANNEL]\nFREQUENCY = 10719000\n")
        << ":2: channel without";
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
    QStringList written;
    QVERIFY(importer::writeFiles(sats, dir.path(), false, &written, &error));
    writeFile(dir, QStringLiteral("satlist.znr"), "mine\n");

    written.clear();
    QVERIFY(!importer::writeFiles(sats, dir.path(), false, &written, &error));
    QVERIFY(error.contains(QStringLiteral("exists already")));
    QVERIFY(written.isEmpty());
    QFile mine(dir.filePath(QStringLiteral("satlist.znr")));
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("mine\n"));
    mine.close();

    QVERIFY(importer::writeFiles(sats, dir.path(), true, &written, &error));
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QVERIFY(mine.readAll().startsWith("# Zenara satellite list"));
}

QTEST_GUILESS_MAIN(TestImporter)
#include "tst_importer.moc"
