// Satellite list geometry and labels, stored-position suffixes, and transponder
// files as the window reads them.

#include "lists/satellitelist.h"
#include "lists/sitegeometry.h"
#include "lists/transponderlist.h"
#include "settings/textcodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& content)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return path;
}

// A fixed dish's LNB turn from the vectors themselves, in Earth-centred
// coordinates: the local vertical and the Earth's axis (a geostationary
// satellite's polarisation reference), each seen across the line of sight, and
// the turn from the first to the second, clockwise for someone behind the dish
// looking along the line of sight.
double skewFromVectors(double latitude, double longitude, double satellite)
{
    using V = std::array<double, 3>;
    const auto dot = [](const V& a, const V& b) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    const auto add = [](const V& a, double k, const V& b) {
        return V{a[0] + k * b[0], a[1] + k * b[1], a[2] + k * b[2]};
    };
    const double rad = M_PI / 180, phi = latitude * rad, lambda = longitude * rad;
    const double R = sitegeometry::OrbitRadiusKm;
    const V up{std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
    V sight = add({R * std::cos(satellite * rad), R * std::sin(satellite * rad), 0},
                  -sitegeometry::EarthRadiusKm, up);
    sight = add({0, 0, 0}, 1 / std::sqrt(dot(sight, sight)), sight);
    // Across the line of sight; their lengths cancel out in the angle.
    const V vertical = add(up, -dot(up, sight), sight), axis = add({0, 0, 1}, -sight[2], sight);
    const V right{sight[1] * vertical[2] - sight[2] * vertical[1],
                  sight[2] * vertical[0] - sight[0] * vertical[2],
                  sight[0] * vertical[1] - sight[1] * vertical[0]};
    // A polarisation upside down is the same one: within a quarter turn.
    return std::atan(dot(axis, right) / dot(axis, vertical)) / rad;
}

// Two LNB turns apart, a half turn being no turn.
double turnApart(double a, double b)
{
    return std::abs(std::remainder(a - b, 180.0));
}

} // namespace

class TestLists : public QObject
{
    Q_OBJECT

private slots:
    void lookAngles_data();
    void lookAngles();
    void polarMountSetUp();
    void lnbSkew();
    void geometryAtTheDefaultSite();
    void geometryAt50North10East();
    void labelsByteForByte();
    void storedPositionSuffixes();
    void loadFileSkipsLinesThatDoNotMatch();
    void commentOnlyFile();
    void missingFile();
    void siteChangeRebuildsTheLabels();
    void lastTransponderNumbers();
    void transponderFileExample();
    void transponderFieldsParse();
    void namesAreTextAndTiesRoundToEven();
    void satelliteListWithCrLineEnds();
    void southernAndEquatorialSites();
    void belowTheHorizonIsNotOffered_data();
    void belowTheHorizonIsNotOffered();
    void whatADataFileMayBe_data();
    void whatADataFileMayBe();
};

void TestLists::geometryAtTheDefaultSite()
{
    SatelliteList list;
    QCOMPARE(list.motorAngleOf(42.0), 0.0);
    QCOMPARE(QString::asprintf("%.2f", list.motorAngleOf(13.0)), QStringLiteral("-32.27"));
    QVERIFY(!list.isVisible(130.0));
    QVERIFY(!list.isVisible(42.0 + 180.0));
}

void TestLists::belowTheHorizonIsNotOffered_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("lastVisible"); // degrees east of the site
    // The horizon lies where the motor rule still passes satellites (83.8
    // degrees away at 45 N, 82.4 at 50 N): their elevation decides.
    QTest::newRow("45N") << 45.0 << 42.0 << 0.0 << 77.6;
    QTest::newRow("50N 10E") << 50.0 << 10.0 << 0.0 << 76.3;
    QTest::newRow("Svalbard") << 78.2 << 15.6 << 0.0 << 42.2;
    QTest::newRow("the equator") << 0.0 << 30.0 << 0.0 << 81.2;
    QTest::newRow("south") << -33.9 << 18.4 << 0.0 << 79.4;
    // A user's minimum elevation (a hill, a house) narrows the arc.
    QTest::newRow("10 degrees up") << 50.0 << 10.0 << 10.0 << 60.3;
}

void TestLists::belowTheHorizonIsNotOffered()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, minimum);
    QFETCH(double, lastVisible);
    SatelliteList list;
    list.setLocation(longitude, latitude);
    list.setMinimumElevation(minimum);
    for (double side : {1.0, -1.0}) {
        QVERIFY(list.isVisible(longitude + side * lastVisible));
        QVERIFY(!list.isVisible(longitude + side * (lastVisible + 0.1)));
    }
    // The list's rows follow: a satellite just below is dropped.
    list.addSatellite(0, QStringLiteral("low"), longitude + lastVisible + 0.1, QStringLiteral("a"));
    list.addSatellite(1, QStringLiteral("up"), longitude + lastVisible, QStringLiteral("b"));
    list.setMinimumElevation(minimum);
    QCOMPARE(list.shownNumbers, QVector<int>({-1, 1}));
}

void TestLists::geometryAt50North10East()
{
    SatelliteList list;
    list.setLocation(10.0, 50.0);
    QCOMPARE(QString::asprintf("%.2f", list.motorAngleOf(19.2)), QStringLiteral("10.19"));
    QCOMPARE(QString::asprintf("%.2f", list.motorAngleOf(-5.0)), QStringLiteral("-16.59"));
}

void TestLists::labelsByteForByte()
{
    QCOMPARE(SatelliteList::label(0.0, 42.0, QStringLiteral("Turksat")),
             QStringLiteral("[ 0.0°E]  42.0°E Turksat"));
    QCOMPARE(SatelliteList::label(-32.27, 13.0, QStringLiteral("Hot Bird")),
             QStringLiteral("[32.3°W]  13.0°E Hot Bird"));
    QCOMPARE(SatelliteList::label(-7.3, 13.0, QStringLiteral("x")),
             QStringLiteral("[ 7.3°W]  13.0°E x"));
    QCOMPARE(SatelliteList::label(-16.59, -5.0, QStringLiteral("Eutelsat 5 West")),
             QStringLiteral("[16.6°W]   5.0°W Eutelsat 5 West"));
    QCOMPARE(SatelliteList::label(60.0, 102.0, QStringLiteral("y")),
             QStringLiteral("[60.0°E] 102.0°E y"));
    QCOMPARE(SatelliteList::label(-0.01, 0.0, QStringLiteral("z")),
             QStringLiteral("[ 0.0°W]   0.0°E z"));
    const QByteArray utf8 = SatelliteList::label(0.0, 42.0, QStringLiteral("T")).toUtf8();
    QCOMPARE(utf8, QByteArray("[ 0.0\xC2\xB0"
                              "E]  42.0\xC2\xB0"
                              "E T"));
}

void TestLists::storedPositionSuffixes()
{
    SatelliteList list;
    list.addSatellite(0, QStringLiteral("A"), 42.0, QStringLiteral("a.ini"));
    list.addSatellite(1, QStringLiteral("B"), 13.0, QStringLiteral("b.ini"));
    list.addSatellite(2, QStringLiteral("C"), 19.2, QStringLiteral("c.ini"));
    list.computeAngles();
    list.storedPositions[11] = 2;
    list.storedPositions[4] = 2;
    list.buildLabels();
    QCOMPARE(list.labels.size(), 4);
    QCOMPARE(list.labels.first(), QString());
    QVERIFY(list.labels.at(3).endsWith(QStringLiteral("19.2°E C - [4] - [11]")));
    QCOMPARE(list.shownNumbers, QVector<int>({-1, 0, 1, 2}));
    QCOMPARE(list.storedPositionOf(2), 4);
    QCOMPARE(list.indexOfShown(1), 2);
    QCOMPARE(list.indexOfShown(9), -1);
}

void TestLists::loadFileSkipsLinesThatDoNotMatch()
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, "satlist.znr",
                  "# comment\n\n0=42.0;Turksat;tk.ini\nnonsense line\n1=13;No point;x.ini\n"
                  "2=-5.0;Eutelsat 5 West;e5.ini\n3=130.0;Far away;far.ini\n");
    SatelliteList list;
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable(path + QStringLiteral(":4: not a satellite line, skipped")));
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable(path + QStringLiteral(":5: not a satellite line, skipped")));
    list.loadFile(path);
    QCOMPARE(list.numbers, QVector<int>({0, 2, 3})); // no phantom satellite 0
    QCOMPARE(list.labels, QStringList({QString(), QStringLiteral("[ 0.0°E]  42.0°E Turksat"),
                                       QStringLiteral("[51.8°W]   5.0°W Eutelsat 5 West")}));
    QCOMPARE(list.motorAngles.last(), -1.0);
    QCOMPARE(list.shownFiles.at(1), QStringLiteral("tk.ini"));
}

void TestLists::commentOnlyFile()
{
    QTemporaryDir dir;
    SatelliteList list;
    list.loadFile(writeFile(dir, "satlist.znr", "# nothing here\n"));
    QCOMPARE(list.labels, QStringList(QString()));
}

void TestLists::missingFile()
{
    SatelliteList list;
    QTest::ignoreMessage(QtDebugMsg, "File does not exist: /nowhere/satlist.znr");
    list.loadFile(QStringLiteral("/nowhere/satlist.znr"));
    QVERIFY(list.labels.isEmpty());
}

void TestLists::siteChangeRebuildsTheLabels()
{
    SatelliteList list;
    list.addSatellite(0, QStringLiteral("East"), 110.0, QStringLiteral("e.ini"));
    list.computeAngles();
    list.buildLabels();
    QCOMPARE(list.labels.size(), 2);
    list.setLocation(-30.0, 45.0); // far to the west: 140 degrees away
    QCOMPARE(list.labels.size(), 1);
}

void TestLists::lastTransponderNumbers()
{
    SatelliteList list;
    list.addSatellite(0, QStringLiteral("A"), 42.0, QStringLiteral("a.ini"));
    // The file skips numbers 1 to 6: satellite 7 still remembers its transponder.
    list.addSatellite(7, QStringLiteral("B"), 13.0, QStringLiteral("b.ini"));
    QVERIFY(list.setLastTransponder(0, QStringLiteral("11977,H,27500")));
    QVERIFY(list.setLastTransponder(7, QStringLiteral("10719,V,27500")));
    QCOMPARE(list.lastTransponderOf(7), QStringLiteral("10719,V,27500"));
    QCOMPARE(list.lastTransponderOf(3), QStringLiteral("None"));
    QCOMPARE(list.lastTransponderOf(-1), QStringLiteral("None"));
    QCOMPARE(list.lastTransponderOf(8), QStringLiteral("None"));
    QVERIFY(!list.setLastTransponder(8, QStringLiteral("10719,V,27500")));
    QCOMPARE(list.lastTransponderOf(0), QStringLiteral("11977,H,27500"));
}

void TestLists::transponderFileExample()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "tp.ini",
                                   "[DVB]\n0=3\n1=10714,H,22000,56\n#2=10729,V,22000,56\n"
                                   ";3=10744,H,27500,34\n4=10758,V,27500,34\n"
                                   "5=11000,,27500,34\n6=11470,L,27500,34\n7=11727,V,27500\n"
                                   " 8=11766,V,27500,34\n9=11800,V,27500,\n");
    QStringList entries = {QStringLiteral("old")};
    QVERIFY(transponders::readEntries(path, &entries));
    QCOMPARE(entries, QStringList({QString(), "10714, H, 22000", "10758, V, 27500",
                                   "11000, , 27500", "11470, L, 27500", "11727, V, 27500",
                                   "11766, V, 27500", "11800, V, 27500"}));

    // As other tools write them: padded fields, no code rate, CR line ends, a
    // Cyrillic letter (CP1251 0xC2); lines short of a symbol rate stay out.
    const QString real = writeFile(dir, "real.ini",
                                   "[DVB]\r0=5\r5=10957,H, 4340,34\r30= 3977 , V ,27500 ,34\r"
                                   "66=12303,H,25548\r70=11000,\xC2,27500,34\r71=11100,H\r"
                                   "72=11200,H,\r73=x11300,H,27500,34\r");
    QVERIFY(transponders::readEntries(real, &entries));
    QCOMPARE(entries, QStringList({QString(), "10957, H, 4340", "3977, V, 27500", "12303, H, 25548",
                                   QStringLiteral("11000, \u0412, 27500")}));
    const QString crlf = writeFile(dir, "crlf.ini", "[DVB]\r\n1=10714,H,22000,56\r\n");
    QVERIFY(transponders::readEntries(crlf, &entries));
    QCOMPARE(entries, QStringList({QString(), "10714, H, 22000"}));

    QStringList kept = {QStringLiteral("previous")};
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("File does not exist: ") +
                                                dir.filePath(QStringLiteral("none.ini"))));
    QVERIFY(!transponders::readEntries(dir.filePath(QStringLiteral("none.ini")), &kept));
    QCOMPARE(kept, QStringList({"previous"}));
}

void TestLists::transponderFieldsParse()
{
    const auto empty = transponders::parseEntry(QStringLiteral("11000, , 27500"));
    QVERIFY(empty.ok);
    QCOMPARE(empty.frequency, QStringLiteral("11000"));
    QVERIFY(!empty.vertical());
    QVERIFY(!transponders::parseEntry(QStringLiteral("11470, L, 27500")).vertical());
    QVERIFY(transponders::parseEntry(QStringLiteral("10758, V, 27500")).vertical());
    QVERIFY(!transponders::parseEntry(QStringLiteral("10758,V,27500")).ok);
    const auto remembered = transponders::parseRemembered(QStringLiteral("11977,H,27500"));
    QVERIFY(remembered.ok);
    QCOMPARE(remembered.symbolRate, QStringLiteral("27500"));
    QVERIFY(!transponders::parseRemembered(QStringLiteral("11977;H")).ok);
}

void TestLists::namesAreTextAndTiesRoundToEven()
{
    // 19.25 and -0.75 are exact in binary: the C library rounds them to even.
    QCOMPARE(SatelliteList::label(19.25, -0.75, QStringLiteral("Tie")),
             QStringLiteral("[19.2°E]   0.8°W Tie"));
    QCOMPARE(SatelliteList::label(0.35, 13.0, QStringLiteral("Not a tie")),
             QStringLiteral("[ 0.3°E]  13.0°E Not a tie")); // 0.35 is a little below
    // A "%1" in a name is part of the name, here and with a stored position.
    SatelliteList list;
    list.addSatellite(0, QStringLiteral("Hot %1 Bird %2"), 42.0, QStringLiteral("hb.ini"));
    list.storedPositions[4] = 0;
    list.computeAngles();
    list.buildLabels();
    QCOMPARE(list.labels.at(1), QStringLiteral("[ 0.0°E]  42.0°E Hot %1 Bird %2 - [4]"));
}

void TestLists::satelliteListWithCrLineEnds()
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, "satlist.znr", "# list\r0=42.0;Turksat;tk.ini\r1=13.0;Hot Bird;hb.ini\r");
    SatelliteList list;
    list.loadFile(path);
    QCOMPARE(list.names, QStringList({"Turksat", "Hot Bird"}));
    QCOMPARE(list.transponderFiles.at(1), QStringLiteral("hb.ini"));
}

void TestLists::southernAndEquatorialSites()
{
    // Cape Town: the arc lies to the north, the angles as in the north.
    SatelliteList south;
    south.setLocation(18.4, -33.9);
    QCOMPARE(SatelliteList::label(south.motorAngleOf(25.5), 25.5, QStringLiteral("A")),
             QStringLiteral("[ 8.1°E]  25.5°E A"));
    QCOMPARE(SatelliteList::label(south.motorAngleOf(-30.0), -30.0, QStringLiteral("B")),
             QStringLiteral("[54.2°W]  30.0°W B"));
    // On the equator at 30 E: overhead arc, visible out to 81.x degrees of longitude.
    SatelliteList equator;
    equator.setLocation(30.0, 0.0);
    QCOMPARE(QString::asprintf("%.1f", equator.motorAngleOf(40.0)), QStringLiteral("11.8"));
    QCOMPARE(QString::asprintf("%.1f", equator.motorAngleOf(-40.0)), QStringLiteral("-78.5"));
    QVERIFY(equator.isVisible(111.0));
    QVERIFY(!equator.isVisible(112.0));
}

void TestLists::lookAngles_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("satellite");
    QTest::addColumn<double>("azimuth");
    QTest::addColumn<double>("elevation");
    QTest::addColumn<double>("skew");
    // Central Europe to Astra 1 (the usual worked example).
    QTest::newRow("50N 10E, 19.2E") << 50.0 << 10.0 << 19.2 << 168.1 << 32.0 << 7.6;
    // Cape Town to Eutelsat 7E and 36E: the dish looks north.
    QTest::newRow("33.9S 18.4E, 7E") << -33.9 << 18.4 << 7.0 << 340.1 << 48.7 << 16.4;
    QTest::newRow("33.9S 18.4E, 36E") << -33.9 << 18.4 << 36.0 << 29.6 << 46.3 << -24.2;
    // On the equator the arc passes overhead; west of the site it is due west.
    QTest::newRow("0N 30E, 0E") << 0.0 << 30.0 << 0.0 << 270.0 << 55.0 << -90.0;
    QTest::newRow("on the meridian") << 50.0 << 10.0 << 10.0 << 180.0 << 32.7 << 0.0;
}

void TestLists::lookAngles()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, satellite);
    QFETCH(double, azimuth);
    QFETCH(double, elevation);
    QFETCH(double, skew);
    const sitegeometry::Pointing p = sitegeometry::pointing(latitude, longitude, satellite);
    QVERIFY(p.visible);
    QVERIFY2(std::abs(p.azimuth - azimuth) < 0.06, qPrintable(QString::number(p.azimuth)));
    QVERIFY2(std::abs(p.elevation - elevation) < 0.06, qPrintable(QString::number(p.elevation)));
    QVERIFY2(std::abs(p.skew - skew) < 0.06, qPrintable(QString::number(p.skew)));
    // The USALS angle is the satellite list's.
    SatelliteList list;
    list.setLocation(longitude, latitude);
    QCOMPARE(p.motorAngle, list.motorAngleOf(satellite));
}

void TestLists::lnbSkew()
{
    // Known turns, clockwise seen from behind the dish: north of the equator a
    // satellite west of the site takes a clockwise turn, one east of it an
    // anticlockwise one; south, the other way round.
    const struct
    {
        double latitude, longitude, satellite, clockwise;
    } known[] = {{45, 42, 13, 26.06},      {50, 10, 13, -2.54},
                 {50, 10, 19.2, -7.70},    {-33.9, 18.4, 7, -16.47},
                 {-33.9, 18.4, 36, 24.34}, {5, 30, 0, 80.11},
                 {0, 30, 0, 90},           {0, 30, 30, 0}};
    for (const auto& k : known) {
        const double skew = sitegeometry::fixedDishSkew(k.latitude, k.longitude, k.satellite);
        QVERIFY2(turnApart(skew, k.clockwise) < 0.006, qPrintable(QString::number(skew)));
    }
    // Across the visible arc of sites north, south and on the equator: the
    // fixed dish's turn follows the vectors, the rule of directions and (with
    // the other sign) the far-satellite formula; the polar mount, turned to the
    // USALS angle (as sent, in sixteenths), keeps the LNB set at the arc's top
    // within two hundredths of a degree.
    for (const double latitude : {-70.0, -33.9, -5.0, 0.0, 5.0, 45.0, 70.0}) {
        for (const double longitude : {-100.0, 10.0, 42.0}) {
            for (double satellite = longitude - 80; satellite <= longitude + 80; satellite += 2.5) {
                const sitegeometry::Pointing p =
                    sitegeometry::pointing(latitude, longitude, satellite);
                if (!p.visible || p.elevation > 89.9)
                    continue;
                const double skew = sitegeometry::fixedDishSkew(latitude, longitude, satellite);
                const double carried =
                    sitegeometry::polarMountSkew(latitude, longitude, satellite, p.motorAngle);
                const double sent = sitegeometry::polarMountSkew(
                    latitude, longitude, satellite, std::trunc(p.motorAngle * 16) / 16);
                const bool clockwise = (latitude > 0) == (satellite < longitude);
                QVERIFY2(turnApart(skew, skewFromVectors(latitude, longitude, satellite)) < 1e-3 &&
                             (latitude == 0 || satellite == longitude || (skew > 0) == clockwise) &&
                             turnApart(skew, -p.skew) < 0.35 && std::abs(carried) < 1e-6 &&
                             std::abs(sent) < 0.02,
                         qPrintable(QString::asprintf("%g %g %g: %g %g %g", latitude, longitude,
                                                      satellite, skew, carried, sent)));
            }
        }
    }
    // A mount turned two degrees past Hot Bird from 45N 42E leaves a quarter
    // of a degree, clockwise.
    const double usals = sitegeometry::motorAngle(45.0, 42.0, 13.0);
    const double off = sitegeometry::polarMountSkew(45.0, 42.0, 13.0, usals + 2);
    QVERIFY2(off > 0.2 && off < 0.3, qPrintable(QString::number(off)));
}

void TestLists::polarMountSetUp()
{
    // A modified polar mount at 50 degrees: 7.3 degrees of declination, and the
    // arc's top at 32.7 degrees elevation; none at the equator.
    QVERIFY(std::abs(sitegeometry::declinationOffset(50.0) - 7.31) < 0.01);
    QVERIFY(std::abs(sitegeometry::arcTopElevation(50.0) - 32.69) < 0.01);
    QCOMPARE(sitegeometry::declinationOffset(0.0), 0.0);
    QVERIFY(std::abs(sitegeometry::declinationOffset(-50.0) + 7.31) < 0.01);
    // The visible arc runs west to east and touches the horizon at both ends.
    const QVector<QPointF> arc = sitegeometry::visibleArc(50.0, 10.0);
    QVERIFY(arc.size() > 100);
    QVERIFY(arc.first().x() > 180 && arc.first().x() < 270); // west of south first
    QVERIFY(arc.last().x() > 90 && arc.last().x() < 180);
    QVERIFY(arc.first().y() < 1.0 && arc.last().y() < 1.0);
    double top = 0;
    for (const QPointF& p : arc)
        top = std::max(top, p.y());
    QVERIFY(std::abs(top - 32.69) < 0.01);
}

void TestLists::whatADataFileMayBe_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("lines"); // read; empty when refused
    QTest::addColumn<QString>("why");
    // A hand-edited list whose last line has no line end keeps that line.
    QTest::newRow("no final line end") << "text" << QStringList({"0=42.0;A;a", "1=13.0;B;b"}) << "";
    QTest::newRow("one line, no end") << "one" << QStringList({"0=42.0;A;a"}) << "";
    // Nothing may hold the program up or fill its memory.
    QTest::newRow("pipe") << "fifo" << QStringList() << "it is a pipe (FIFO), not a file";
    QTest::newRow("device") << "/dev/zero" << QStringList() << "it is a device or a socket";
    QTest::newRow("folder") << "dir" << QStringList() << "it is a folder, not a file";
    QTest::newRow("huge") << "huge" << QStringList() << "it is larger than 32 MB";
    QTest::newRow("missing") << "none" << QStringList()
                             << QString::fromLocal8Bit(std::strerror(ENOENT));
}

void TestLists::whatADataFileMayBe()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, lines);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("satlist.znr"));
    if (kind == QLatin1String("text") || kind == QLatin1String("one")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kind == QLatin1String("one") ? "0=42.0;A;a" : "0=42.0;A;a\r\n1=13.0;B;b");
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("dir")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("huge")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(qint64(33) << 20)); // sparse
    } else if (kind.startsWith(QLatin1Char('/'))) {
        path = kind;
    }
    QStringList read;
    QString error;
    QCOMPARE(readDataFileLines(path, &read, &error), !lines.isEmpty());
    QCOMPARE(read, lines);
    QVERIFY2(why.isEmpty() ? error.isEmpty() : error.startsWith(why), qPrintable(error));
    if (lines.isEmpty())
        return;
    SatelliteList list;
    list.loadFile(path);
    QCOMPARE(list.satelliteCount(), lines.size());
}

QTEST_GUILESS_MAIN(TestLists)
#include "tst_lists.moc"
