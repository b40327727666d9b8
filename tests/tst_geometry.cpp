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

QTEST_GUILESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
