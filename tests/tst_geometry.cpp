// Where the main window opens: the stored geometry and the rule that moves the
// window to its stored place only when enough of it would be visible.

#include "app/geometry.h"
#include "settings/settingsstore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestGeometry : public QObject
{
    Q_OBJECT

private slots:
    void visibility_data();
    void visibility();
    void storedGeometryDefaults();
    void storedGeometryReadsBack();
    void damagedValuesFallBackToDefaults();
    void absurdSizesAreBounded_data();
    void absurdSizesAreBounded();
};

void TestGeometry::visibility_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<bool>("moved");
    // Desktop 1920 x 1080. 400 x 200 = 80000; one twentieth is 4000.
    QTest::newRow("fully visible") << QRect(100, 100, 400, 200) << true;
    QTest::newRow("on a detached screen") << QRect(3000, 100, 400, 200) << false;
    QTest::newRow("exactly one twentieth") << QRect(-380, 0, 400, 200) << false; // 20 x 200
    QTest::newRow("one column more") << QRect(-379, 0, 400, 200) << true;        // 21 x 200
    QTest::newRow("just below the bottom") << QRect(0, 1080, 400, 200) << false;
    QTest::newRow("corner overlap") << QRect(1900, 1060, 400, 200) << false; // 20 x 20
    // 4001 is not divisible by 20: integer division gives 200, and 1 x 201 > 200.
    QTest::newRow("integer division") << QRect(1919, 0, 1, 4001) << true;
    QTest::newRow("empty size") << QRect(100, 100, 0, 0) << false;
    QTest::newRow("huge size") << QRect(0, 0, 2000000000, 2000000000) << false;
    QTest::newRow("far right") << QRect(1000000, 1000000, 2732, 1536) << false;
    QTest::newRow("far left") << QRect(-1000000, -1000000, 2732, 1536) << false;
    QTest::newRow("larger than the desktop") << QRect(-100, -100, 3840, 2160) << true;
    // Near the ends of int: the right edge is past INT_MAX in 32 bits.
    QTest::newRow("at int max") << QRect(2147480000, 0, 3000, 100) << false;
    QTest::newRow("at int min") << QRect(-2147483000, 0, 3000, 100) << false;
    QTest::newRow("wide from int min") << QRect(-2147483000, 0, 2147483000 + 100, 1080) << false;
}

void TestGeometry::visibility()
{
    QFETCH(QRect, stored);
    QFETCH(bool, moved);
    QCOMPARE(geometry::positionVisibleEnough(stored, QRect(0, 0, 1920, 1080)), moved);
}

void TestGeometry::storedGeometryDefaults()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("empty.ini")), QSettings::IniFormat);
    const auto g = geometry::readStoredGeometry(settings, QRect(1920, 40, 1280, 1024));
    QCOMPARE(g.rect, QRect(1920, 40, 439, 592));
    QVERIFY(!g.maximized);
}

void TestGeometry::storedGeometryReadsBack()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("stored.ini")), QSettings::IniFormat);
    settings.setValue(settingskeys::GeometryX, -50);
    settings.setValue(settingskeys::GeometryY, 30);
    settings.setValue(settingskeys::GeometryWidth, 700);
    settings.setValue(settingskeys::GeometryHeight, 650);
    settings.setValue(settingskeys::GeometryMaximized, true);
    settings.sync();

    QSettings reread(settings.fileName(), QSettings::IniFormat);
    const auto g = geometry::readStoredGeometry(reread, QRect(0, 0, 1920, 1080));
    QCOMPARE(g.rect, QRect(-50, 30, 700, 650));
    QVERIFY(g.maximized);
}

void TestGeometry::damagedValuesFallBackToDefaults()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("damaged.ini")), QSettings::IniFormat);
    settings.setValue(settingskeys::GeometryX, QStringLiteral("left"));
    settings.setValue(settingskeys::GeometryWidth, QStringLiteral("wide"));
    settings.setValue(settingskeys::GeometryMaximized, QStringLiteral("perhaps"));
    const auto g = geometry::readStoredGeometry(settings, QRect(10, 20, 1280, 1024));
    QCOMPARE(g.rect, QRect(10, 20, 439, 592));
    QVERIFY(!g.maximized);

    settings.setValue(settingskeys::GeometryMaximized, 1);
    QVERIFY(geometry::readStoredGeometry(settings, QRect()).maximized);
}

void TestGeometry::absurdSizesAreBounded_data()
{
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("moved");
    // Largest screen 1366 x 768: at most 2732 x 1536.
    QTest::newRow("int max") << "5"
                             << "2147483647"
                             << "2147483647" << QRect(5, 0, 2732, 1536) << true;
    QTest::newRow("100000 square") << "5"
                                   << "100000"
                                   << "100000" << QRect(5, 0, 2732, 1536) << true;
    QTest::newRow("zero") << "5"
                          << "0"
                          << "0" << QRect(5, 0, 439, 592) << true;
    QTest::newRow("negative") << "5"
                              << "-800"
                              << "-2147483648" << QRect(5, 0, 439, 592) << true;
    QTest::newRow("x at int max") << "2147483647"
                                  << "800"
                                  << "600" << QRect(0, 0, 800, 600) << true;
    QTest::newRow("x at int min") << "-2147483648"
                                  << "800"
                                  << "600" << QRect(0, 0, 800, 600) << true;
    QTest::newRow("far away") << "1000000"
                              << "800"
                              << "600" << QRect(1000000, 0, 800, 600) << false;
    QTest::newRow("real size") << "-3"
                               << "1000"
                               << "690" << QRect(-3, 0, 1000, 690) << true;
}

void TestGeometry::absurdSizesAreBounded()
{
    QFETCH(QString, x);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QRect, rect);
    QFETCH(bool, moved);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("g.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[Geometry]\nMainwindowX=%1\nMainwindowY=0\nMainwindowWidth=%2\n"
                              "MainwindowHeight=%3\n")
                   .arg(x, width, height)
                   .toLatin1());
    file.close();
    QSettings settings(file.fileName(), QSettings::IniFormat);
    const auto g = geometry::readStoredGeometry(settings, QRect(0, 0, 1366, 768), QSize(1366, 768));
    QCOMPARE(g.rect, rect);
    // Whatever was stored, the visibility rule answers without overflow.
    QCOMPARE(geometry::positionVisibleEnough(g.rect, QRect(0, 0, 1366, 768)), moved);
}

QTEST_GUILESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
