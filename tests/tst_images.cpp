// The built-in images: every name the windows ask for, with the size, depth,
// colours and transparency the windows were laid out for.

#include "app/embeddedimages.h"

#include <QtTest>

class TestImages : public QObject
{
    Q_OBJECT

private slots:
    void table_data();
    void table();
    void namesAreTheTable();
    void unknownNamesGiveNothing();
    void servedToWidgetsByResourcePath();
};

void TestImages::table_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("colours"); // colour-table entries, 0 for 32-bit images
    QTest::addColumn<bool>("alpha");

    auto row = [](const char* name, int w, int h, int depth, int colours, bool alpha) {
        QTest::newRow(name) << QString::fromLatin1(name) << QSize(w, h) << depth << colours
                            << alpha;
    };
    row("splash.png", 274, 201, 8, 123, false);
    for (const char* n : {"configure.png", "exit.png", "info.png", "exec.png", "gotoxy.png",
                          "search.png", "halt.png"})
        row(n, 22, 22, 32, 0, true);
    row("bg_green.gif", 3, 2, 32, 0, false);
    for (const char* n : {"bg_green3.gif", "bg_green4.gif", "bg_gray.png", "bg_gray2.png"})
        row(n, 2, 2, 32, 0, false);
    row("greenLegend.png", 8, 8, 8, 3, false);
    row("redLegend.png", 8, 8, 8, 3, false);
    for (const char* n :
         {"prev_1.png", "next_1.png", "prev_2.png", "next_2.png", "limit_off.png", "w_limit.png",
          "e_limit.png", "memory.png", "apply.png", "enter.png", "clear.png"})
        row(n, 16, 16, 32, 0, true);
    row("yellowLegend.png", 8, 8, 32, 0, false);
    row("blueLegend.png", 8, 8, 32, 0, false);
    row("bg_black.png", 1, 1, 32, 0, false);
    row("bg_green5.gif", 1, 1, 32, 0, false);
    row("Zenara.png", 16, 16, 8, 84, true);
    row("bg_blue.png", 6, 6, 32, 0, false);
    row("bg_green_1.png", 6, 6, 32, 0, false);
}

void TestImages::table()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(int, depth);
    QFETCH(int, colours);
    QFETCH(bool, alpha);

    const QImage image = EmbeddedImageFactory::image(name);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    QCOMPARE(image.depth(), depth);
    QCOMPARE(image.colorCount(), colours);
    QCOMPARE(image.hasAlphaChannel(), alpha);
    if (alpha) {
        // An icon with an alpha channel actually uses it around its shape.
        bool transparent = false;
        for (int y = 0; y < image.height() && !transparent; ++y)
            for (int x = 0; x < image.width() && !transparent; ++x)
                transparent = qAlpha(image.pixel(x, y)) == 0;
        QVERIFY(transparent);
    }
    QVERIFY(!EmbeddedImageFactory::pixmap(name).isNull());
}

void TestImages::namesAreTheTable()
{
    const QStringList names = EmbeddedImageFactory::names();
    QCOMPARE(names.size(), 33);
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 33);
    QCOMPARE(names.first(), QStringLiteral("splash.png"));
    // The 32 images of the original table, in its order, then our own additions.
    QCOMPARE(names.at(31), QStringLiteral("bg_green_1.png"));
    QCOMPARE(names.last(), QStringLiteral("clear.png"));
}

void TestImages::unknownNamesGiveNothing()
{
    QVERIFY(EmbeddedImageFactory::image(QStringLiteral("nothing.png")).isNull());
    QVERIFY(EmbeddedImageFactory::image(QString()).isNull());
    QVERIFY(EmbeddedImageFactory::image(QStringLiteral("../images/halt.png")).isNull());
    QVERIFY(EmbeddedImageFactory::pixmap(QStringLiteral("SPLASH.PNG")).isNull());
}

void TestImages::servedToWidgetsByResourcePath()
{
    // Forms and style sheets load the images by path, whatever the extension says.
    for (const QString& name : EmbeddedImageFactory::names()) {
        const QPixmap pixmap(EmbeddedImageFactory::resourcePath(name));
        QVERIFY2(!pixmap.isNull(), qPrintable(name));
    }
}

QTEST_MAIN(TestImages)
#include "tst_images.moc"
