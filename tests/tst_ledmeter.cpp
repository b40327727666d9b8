// The segmented bar meter: lit counts, band thresholds and colours, clamping,
// and that it repaints only when the number of lit segments changes.

#include "monitor/contrast.h"
#include "monitor/ledmeter.h"
#include "monitor/scale.h"
#include "monitor/valuelabel.h"

#include <QtTest>

class TestLedMeter : public QObject
{
    Q_OBJECT

private slots:
    void readableOnEveryBackground_data();
    void readableOnEveryBackground();
    void litSegments_data();
    void litSegments();
    void bandsAndColours();
    void bandEdgeCases();
    void zeroIsStoredAsOne();
    void resizeFollowsTheWidth();
    void repaintsOnlyWhenTheLitCountChanges();
    void berScale();
    void readingLabelLooksLikeRichText();
};

namespace {
LedMeter* meterWithCount(int count)
{
    auto* meter = new LedMeter;
    meter->setCount(count);
    return meter;
}
} // namespace

void TestLedMeter::readableOnEveryBackground_data()
{
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("wanted"); // a hue the text keeps
    // The lock flags' four states, and the status bar in a light and a dark theme.
    QTest::newRow("flag set") << QColor(0, 128, 0) << QColor();
    QTest::newRow("flag clear") << QColor(128, 0, 0) << QColor();
    QTest::newRow("flag at start") << QColor(170, 0, 0) << QColor();
    QTest::newRow("flag unknown") << QColor(128, 128, 128) << QColor();
    QTest::newRow("green, light bar") << QColor(239, 239, 239) << QColor(0, 128, 0);
    QTest::newRow("red, light bar") << QColor(239, 239, 239) << QColor(170, 0, 0);
    QTest::newRow("green, dark bar") << QColor(49, 54, 59) << QColor(0, 128, 0);
    QTest::newRow("red, dark bar") << QColor(49, 54, 59) << QColor(170, 0, 0);
}

void TestLedMeter::readableOnEveryBackground()
{
    QFETCH(QColor, background);
    QFETCH(QColor, wanted);
    // Black on maroon, as the flags were, is 1.9 to 1: the measure knows it.
    QVERIFY(std::abs(contrast::ratio(Qt::black, QColor(128, 0, 0)) - 1.9) < 0.05);
    const QColor text =
        wanted.isValid() ? contrast::readableShade(wanted, background) : contrast::textOn(background);
    QVERIFY2(contrast::ratio(text, background) >= contrast::Readable,
             qPrintable(text.name() + " on " + background.name()));
    if (wanted.isValid())
        QCOMPARE(text.hue(), wanted.hue()); // still green, still red
}

void TestLedMeter::litSegments_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("lit");
    QTest::addColumn<int>("stored");
    QTest::newRow("half") << 20 << 100 << 50 << 10 << 50;
    QTest::newRow("one lights one") << 20 << 100 << 1 << 1 << 1;
    QTest::newRow("above range") << 20 << 100 << 250 << 20 << 100;
    QTest::newRow("negative") << 20 << 100 << -3 << 0 << 0;
    QTest::newRow("agc meter") << 85 << 255 << 151 << 51 << 151;
    // Floating point at full scale: one more than there are segments.
    QTest::newRow("7 segments full") << 7 << 100 << 100 << 8 << 100;
}

void TestLedMeter::litSegments()
{
    QFETCH(int, count);
    QFETCH(int, range);
    QFETCH(int, value);
    QFETCH(int, lit);
    QFETCH(int, stored);
    std::unique_ptr<LedMeter> meter(meterWithCount(count));
    meter->setRange(range);
    meter->setValue(value);
    QCOMPARE(meter->litCount(), lit);
    QCOMPARE(meter->value(), stored);

    // What is painted: exactly the lit segments, in the text colour, each one
    // pixel narrower than its step, inside the contents.
    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::red);
    palette.setColor(QPalette::Window, Qt::black);
    meter->setPalette(palette);
    meter->resize(100, 15);
    const QImage image = meter->grab().toImage(); // the resize sets the count from the width
    const int step = meter->contentsRect().width() / meter->count();
    int red = 0;
    for (int x = 0; x < image.width(); ++x)
        red += image.pixelColor(x, image.height() / 2) == QColor(Qt::red);
    QCOMPARE(red, meter->litCount() * (step - 1));
    QCOMPARE(image.pixelColor(meter->contentsRect().right(), image.height() / 2) == QColor(Qt::red),
             meter->litCount() == meter->count() &&
                 step * meter->count() == meter->contentsRect().width());
}

void TestLedMeter::bandsAndColours()
{
    std::unique_ptr<LedMeter> meter(meterWithCount(20));
    meter->addColorBand(30, Qt::red);
    meter->addColorBand(14, Qt::yellow);
    meter->addColorBand(56, Qt::green);
    QCOMPARE(meter->bands().at(0).threshold, 6);
    QCOMPARE(meter->bands().at(1).threshold, 8);
    QCOMPARE(meter->bands().at(2).threshold, 19);

    meter->setValue(100);
    const QVector<QColor> colours = meter->segmentColors();
    QCOMPARE(colours.size(), 20);
    QCOMPARE(colours.count(QColor(Qt::red)), 7);
    QCOMPARE(colours.count(QColor(Qt::yellow)), 2);
    QCOMPARE(colours.count(QColor(Qt::green)), 11);
    QCOMPARE(colours.at(6), QColor(Qt::red));
    QCOMPARE(colours.at(7), QColor(Qt::yellow));
}

void TestLedMeter::bandEdgeCases()
{
    // Without bands: the palette's foreground colour.
    std::unique_ptr<LedMeter> plain(meterWithCount(10));
    plain->setValue(100);
    QCOMPARE(plain->segmentColors().first(), plain->palette().color(QPalette::WindowText));

    // Bands short of 100 %: the rest in the last band's colour.
    std::unique_ptr<LedMeter> shortBands(meterWithCount(10));
    shortBands->addColorBand(20, Qt::red);
    shortBands->addColorBand(20, Qt::blue);
    shortBands->setValue(100);
    QCOMPARE(shortBands->segmentColors().last(), QColor(Qt::blue));

    // A 0 % band still takes one segment: one band further per segment at most.
    std::unique_ptr<LedMeter> zero(meterWithCount(10));
    zero->addColorBand(50, Qt::red);
    zero->addColorBand(0, Qt::yellow);
    zero->addColorBand(50, Qt::green);
    zero->setValue(100);
    const QVector<QColor> colours = zero->segmentColors();
    QCOMPARE(colours.count(QColor(Qt::red)), 6);
    QCOMPARE(colours.count(QColor(Qt::yellow)), 1);
    QCOMPARE(colours.count(QColor(Qt::green)), 3);

    // More than 100 %: the later bands are never reached.
    std::unique_ptr<LedMeter> over(meterWithCount(10));
    over->addColorBand(120, Qt::red);
    over->addColorBand(50, Qt::green);
    over->setValue(100);
    QCOMPARE(over->segmentColors().count(QColor(Qt::green)), 0);
}

void TestLedMeter::zeroIsStoredAsOne()
{
    LedMeter meter;
    meter.setRange(0);
    QCOMPARE(meter.range(), 1);
    meter.setCount(0);
    QCOMPARE(meter.count(), 1);
    meter.setLineWidth(0);
    QCOMPARE(meter.lineWidth(), 1);
}

void TestLedMeter::resizeFollowsTheWidth()
{
    LedMeter meter;
    meter.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    meter.setLineWidth(2);
    meter.addColorBand(50, Qt::red);
    meter.addColorBand(50, Qt::green);
    meter.setValue(50);
    meter.resize(304, 15);
    meter.show(); // a hidden widget gets its resize event when shown
    QVERIFY(QTest::qWaitForWindowExposed(&meter));
    const int contents = meter.contentsRect().width();
    QCOMPARE(meter.count(), contents / 3);
    QCOMPARE(meter.bands().first().threshold, meter.count() / 2);
    QCOMPARE(meter.value(), 50); // the value stays, the lit count follows
    QCOMPARE(meter.litCount(), meter.count() / 2);
}

void TestLedMeter::repaintsOnlyWhenTheLitCountChanges()
{
    LedMeter meter;
    meter.resize(200, 15);
    meter.setLineWidth(2);
    meter.setRange(1000);
    meter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&meter));
    meter.setValue(400);
    QTRY_VERIFY(meter.paintCount() > 0);
    // Let the start-up paints (show, expose) settle first.
    int painted = -1;
    while (painted != meter.paintCount()) {
        painted = meter.paintCount();
        QTest::qWait(50);
    }
    const int lit = meter.litCount();

    // Values that light the same segments cost nothing.
    for (int v = 401; v <= 405; ++v) {
        meter.setValue(v);
        QCOMPARE(meter.litCount(), lit);
    }
    QTest::qWait(20);
    QCOMPARE(meter.paintCount(), painted);

    meter.setValue(900);
    QTRY_COMPARE(meter.paintCount(), painted + 1);
}

void TestLedMeter::berScale()
{
    auto meter = [](double ber) {
        return int(mapToScale(ber, 1.0, 1e-7, 0, 100, true));
    };
    QCOMPARE(meter(1e-7), 100);
    QCOMPARE(meter(1e-3), 42);
    QCOMPARE(meter(1.0), 0);
    QCOMPARE(meter(1e-6), 85);
    QCOMPARE(meter(0.1048575), 13);
    QCOMPARE(mapToScale(5, 0, 10, 0, 100, false), 50.0);
}

namespace {
// The bounding box of the pixels drawn in the text colour.
QRect inked(QWidget& w)
{
    const QImage image = w.grab().toImage();
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGreen(image.pixel(x, y)) > 128 && qRed(image.pixel(x, y)) < 100)
                box |= QRect(x, y, 1, 1);
    return box;
}
} // namespace

void TestLedMeter::readingLabelLooksLikeRichText()
{
    const QString html = QStringLiteral("<p align=\"center\">47.3</p>");
    ValueLabel value;
    QLabel rich;
    for (QLabel* l : std::initializer_list<QLabel*>{&value, &rich}) {
        QPalette p = l->palette();
        p.setColor(QPalette::Window, Qt::black);
        p.setColor(QPalette::WindowText, QColor(0, 255, 0));
        l->setPalette(p);
        l->setAutoFillBackground(true);
        l->resize(80, 30);
    }
    value.setText(html);
    rich.setText(html);
    // The window's form of the text is kept; the tags are not drawn.
    QCOMPARE(value.text(), html);
    QCOMPARE(ValueLabel::shownText(html), QStringLiteral("47.3"));
    QCOMPARE(ValueLabel::shownText(QStringLiteral("<p>1 &lt; 2</p>")), QStringLiteral("1 < 2"));
    QCOMPARE(value.sizeHint(), rich.sizeHint());

    // Drawn where the rich-text label draws it, give or take a pixel.
    const QRect drawn = inked(value);
    const QRect expected = inked(rich);
    QVERIFY(!drawn.isEmpty());
    QVERIFY2(qAbs(drawn.center().x() - expected.center().x()) <= 1 &&
                 qAbs(drawn.top() - expected.top()) <= 2 &&
                 qAbs(drawn.width() - expected.width()) <= 1,
             qPrintable(QStringLiteral("%1,%2 %3x%4 against %5,%6 %7x%8")
                            .arg(drawn.x())
                            .arg(drawn.y())
                            .arg(drawn.width())
                            .arg(drawn.height())
                            .arg(expected.x())
                            .arg(expected.y())
                            .arg(expected.width())
                            .arg(expected.height())));

    // A new reading of the same length leaves the window's layout alone.
    const QSize hint = value.sizeHint();
    value.setText(QStringLiteral("<p align=\"center\">51.1</p>"));
    QCOMPARE(value.sizeHint(), hint);
    value.setText(QStringLiteral("<p align=\"center\">100.0</p>"));
    QVERIFY(value.sizeHint().width() > hint.width());
}

QTEST_MAIN(TestLedMeter)
#include "tst_ledmeter.moc"
