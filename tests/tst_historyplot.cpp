// The history plot: the arrays the curves read in place, marker ageing and
// label alternation, curve toggles.

#include "monitor/historyplot.h"

#include <QtTest>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_widget.h>

#include <cmath>

using Events = QList<QPair<double, QString>>; // seconds from the start, label
Q_DECLARE_METATYPE(Events)

class TestHistoryPlot : public QObject
{
    Q_OBJECT

private slots:
    void startsFlat();
    void samplesShiftAndAreReadInPlace();
    void markersAgeAndLeave();
    void labelsNeitherCollideNorGetCut_data();
    void labelsNeitherCollideNorGetCut();
    void labelsAlternate();
    void togglesBeforeAndAfterInit();
    void agcScale();
    void autoScaleFollowsTheSamples();
    void aLoneSampleIsDrawn();
};

namespace {
// Pixels of the canvas in a colour, as the user would see them.
int pixelsOf(QwtPlot& plot, const QColor& colour)
{
    plot.resize(400, 300);
    plot.replot();
    const QImage image = plot.canvas()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}
} // namespace

void TestHistoryPlot::startsFlat()
{
    QwtPlot plot;
    HistoryPlot history;
    history.initPlot(&plot, {});
    for (int i = 0; i < HistoryPlot::HistoryLength; ++i) {
        QCOMPARE(history.berHistory()[i], 1.0);
        QCOMPARE(history.agcHistory()[i], 0.0);
        QCOMPARE(history.historyTime()[i], 0.25 * i);
    }
    QCOMPARE(history.historyTime().back(), 60.0);
    plot.updateAxes();
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).lowerBound(), 1.0);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), 1e-7);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).lowerBound(), 60.0);
}

void TestHistoryPlot::samplesShiftAndAreReadInPlace()
{
    QwtPlot plot;
    HistoryPlot history;
    history.initPlot(&plot, {});
    history.push(1.0, 30, 40);  // unlocked
    history.push(9e-8, 55, 66); // locked, no errors
    history.push(2e-5, 57, 68); // locked
    history.push(NAN, NAN, 70); // readings missing
    QVERIFY(std::isnan(history.berHistory()[0]));
    QCOMPARE(history.berHistory()[1], 2e-5);
    QCOMPARE(history.berHistory()[2], 9e-8);
    QCOMPARE(history.berHistory()[3], 1.0);
    QCOMPARE(history.agcHistory()[3], 30.0);
    QCOMPARE(history.snrHistory()[0], 70.0);
    // The curve reads the array itself, not a copy.
    QCOMPARE(history.curveBER()->sample(1).y(), 2e-5);
    QCOMPARE(history.curveSNR()->sample(0), QPointF(0, 70));
    QCOMPARE(int(history.curveAGC()->dataSize()), HistoryPlot::HistoryLength);

    for (int i = 0; i < HistoryPlot::HistoryLength; ++i)
        history.push(1.0, 10, 20);
    QCOMPARE(history.agcHistory().back(), 10.0); // the oldest fell off the end
}

void TestHistoryPlot::markersAgeAndLeave()
{
    QwtPlot plot;
    HistoryPlot history;
    history.initPlot(&plot, {});
    history.addPlotMarker(QStringLiteral("Halt"));
    history.addPlotMarker(QStringLiteral("11977, H, 27500")); // same tick
    QwtPlotMarker* first = history.plotMarkers().first();
    QCOMPARE(first->xValue(), 0.0);
    QCOMPARE(first->plot(), &plot);
    for (int tick = 1; tick <= 240; ++tick)
        history.ageMarkers();
    QCOMPARE(history.plotMarkers().size(), 2);
    QCOMPARE(first->xValue(), 60.0);
    history.addPlotMarker(QStringLiteral("later"));
    history.ageMarkers(); // the 241st tick: the two old ones leave together
    QCOMPARE(history.plotMarkers().size(), 1);
    QCOMPARE(history.plotMarkers().first()->label().text(), QStringLiteral("later"));
    QCOMPARE(history.plotMarkers().first()->xValue(), 0.25);
}

void TestHistoryPlot::labelsNeitherCollideNorGetCut_data()
{
    // Events as a session makes them: seconds after the start, and the label.
    QTest::addColumn<Events>("events");
    QTest::newRow("tune and goto together")
        << Events{{0, "11977, H, 27500"}, {0, "Goto 32.3°W"}, {0.5, "Halt"}, {1, "10719, V, 27500"}};
    QTest::newRow("twelve seconds apart")
        << Events{{0, "11977, H, 27500"}, {12, "Goto 32.3°W"}, {24, "11034, V, 27500"},
                  {36, "Goto 13.0°E"}, {48, "12500, H, 30000"}};
    Events burst;
    for (int i = 0; i < 12; ++i)
        burst.append({i * 0.75, QStringLiteral("East %1 stp").arg(i + 1)});
    QTest::newRow("a burst of drives") << burst;
}

void TestHistoryPlot::labelsNeitherCollideNorGetCut()
{
    QFETCH(Events, events);
    QwtPlot plot;
    plot.resize(640, 260); // the window's at its smallest
    HistoryPlot history;
    history.initPlot(&plot, {});
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.replot();
    const QRectF canvas(plot.canvas()->contentsRect());
    double now = 0;
    // Through the whole minute, tick by tick, until the last one has almost left.
    for (int tick = 0; tick < 240 + 4 * int(events.last().first); ++tick, now += 0.25) {
        for (const auto& e : events)
            if (std::abs(e.first - now) < 1e-9)
                history.addPlotMarker(e.second);
        history.ageMarkers();
        const auto& markers = history.plotMarkers();
        for (int i = 0; i < markers.size(); ++i) {
            const QRectF r = history.labelRect(markers.at(i));
            if (r.isEmpty())
                continue;
            QVERIFY2(canvas.contains(r), qPrintable(markers.at(i)->label().text()));
            for (int j = i + 1; j < markers.size(); ++j)
                QVERIFY2(!r.intersects(history.labelRect(markers.at(j))),
                         qPrintable(markers.at(i)->label().text() + " / " +
                                    markers.at(j)->label().text()));
        }
        // The newest label is always shown, and a lone one to the last tick;
        // away from the left edge every one is (in a free row, or shortened).
        if (!markers.isEmpty())
            QVERIFY(!history.labelRect(markers.last()).isEmpty());
        if (!markers.isEmpty() && markers.first()->xValue() < 50)
            for (const QwtPlotMarker* m : markers) {
                QVERIFY2(!history.labelRect(m).isEmpty(),
                         qPrintable(m->label().text() + QStringLiteral(" at %1 s").arg(m->xValue())));
            }
    }
}

void TestHistoryPlot::labelsAlternate()
{
    HistoryPlot history; // markers may be added before the plot exists
    for (int i = 0; i < 4; ++i)
        history.addPlotMarker(QString::number(i));
    const auto& m = history.plotMarkers();
    QCOMPARE(m.at(0)->labelAlignment(), Qt::AlignLeft | Qt::AlignBottom);
    QCOMPARE(m.at(1)->labelAlignment(), Qt::AlignLeft | Qt::AlignTop);
    QCOMPARE(m.at(2)->labelAlignment(), Qt::AlignLeft | Qt::AlignBottom);
    QCOMPARE(m.at(0)->linePen().style(), Qt::DashDotLine);
    QCOMPARE(m.at(0)->linePen().color(), QColor(Qt::cyan));
}

void TestHistoryPlot::togglesBeforeAndAfterInit()
{
    HistoryPlot history;
    history.setBerVisible(false); // no curve yet: nothing happens
    QwtPlot plot;
    HistoryPlot::Options options;
    options.showSnr = false;
    history.initPlot(&plot, options);
    QVERIFY(history.curveBER()->isVisible());
    QVERIFY(!history.curveSNR()->isVisible());
    history.setAgcVisible(false);
    QVERIFY(!history.curveAGC()->isVisible());
    history.push(1.0, 50, 50); // samples keep being recorded
    QCOMPARE(history.agcHistory()[0], 50.0);
}

void TestHistoryPlot::agcScale()
{
    QwtPlot plot;
    HistoryPlot history;
    HistoryPlot::Options options;
    options.agcScaleMin = 20;
    options.agcScaleMax = 80;
    history.initPlot(&plot, options);
    plot.updateAxes();
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yRight).lowerBound(), 20.0);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yRight).upperBound(), 80.0);
    QVERIFY(!plot.axisAutoScale(QwtPlot::yRight));
    history.applyAgcScale(0, 100, true);
    QVERIFY(plot.axisAutoScale(QwtPlot::yRight));
    history.applyAgcScale(10, 90, false);
    QVERIFY(!plot.axisAutoScale(QwtPlot::yRight));
    QVERIFY(plot.axisWidget(QwtPlot::yLeft)->isColorBarEnabled());
}

void TestHistoryPlot::autoScaleFollowsTheSamples()
{
    QwtPlot plot;
    HistoryPlot history;
    HistoryPlot::Options options;
    options.agcAutoScale = true;
    history.initPlot(&plot, options);
    plot.replot(); // the first redraw sees an empty history
    auto right = [&plot] {
        plot.updateAxes();
        return plot.axisScaleDiv(QwtPlot::yRight);
    };
    for (int i = 0; i < HistoryPlot::HistoryLength; ++i)
        history.push(1.0, 60 + i % 10, 65);
    plot.replot();
    QVERIFY2(
        right().lowerBound() <= 60 && right().upperBound() >= 69,
        qPrintable(QStringLiteral("%1..%2").arg(right().lowerBound()).arg(right().upperBound())));
    QVERIFY(right().upperBound() <= 80); // following the data, not a fixed 0..100

    // Missing readings are left out of the bounds (NaN would poison them).
    for (int i = 0; i < HistoryPlot::HistoryLength; ++i)
        history.push(1.0, i == 7 ? 20.0 : NAN, i == 9 ? 30.0 : NAN);
    plot.replot();
    QVERIFY(std::isfinite(right().lowerBound()) && std::isfinite(right().upperBound()));
    QVERIFY(right().lowerBound() <= 20 && right().upperBound() >= 30);
    QVERIFY(right().upperBound() <= 40);

    // Nothing at all: the axis keeps a usable range.
    for (int i = 0; i < HistoryPlot::HistoryLength; ++i)
        history.push(1.0, NAN, NAN);
    plot.replot();
    QVERIFY(std::isfinite(right().lowerBound()) && std::isfinite(right().upperBound()));
}

void TestHistoryPlot::aLoneSampleIsDrawn()
{
    QwtPlot plot;
    HistoryPlot history;
    HistoryPlot::Options options;
    options.showBer = false;
    options.showSnr = false;
    history.initPlot(&plot, options);
    for (int i = 0; i < HistoryPlot::HistoryLength; ++i)
        history.push(1.0, NAN, NAN);
    QCOMPARE(pixelsOf(plot, Qt::yellow), 0);
    // One AGC reading between two that failed: it must show.
    history.push(1.0, 50, NAN);
    history.push(1.0, NAN, NAN);
    QVERIFY(pixelsOf(plot, Qt::yellow) >= 4);
    // Missing readings at the old end draw nothing, not a neighbour's sample.
    HistoryPlot other;
    QwtPlot otherPlot;
    other.initPlot(&otherPlot, options);
    for (int i = 0; i < HistoryPlot::HistoryLength; ++i)
        other.push(1.0, NAN, 50);
    QCOMPARE(pixelsOf(otherPlot, Qt::yellow), 0);
    // Two neighbours make a line as before.
    history.push(1.0, 50, NAN);
    history.push(1.0, 52, NAN);
    QVERIFY(pixelsOf(plot, Qt::yellow) >= 8);
}

QTEST_MAIN(TestHistoryPlot)
#include "tst_historyplot.moc"
