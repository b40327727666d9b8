#include "monitor/historyplot.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPen>

#include <qwt_color_map.h>
#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>
#include <qwt_series_data.h>

#include <algorithm>
#include <cmath>

namespace {

// A curve that leaves a gap where a sample is missing (NaN) instead of drawing
// it as a value.
class GapCurve : public QwtPlotCurve
{
public:
    using QwtPlotCurve::QwtPlotCurve;

protected:
    void drawCurve(QPainter* painter, int style, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                   const QRectF& canvasRect, int from, int to) const override
    {
        int start = from;
        while (start <= to) {
            while (start <= to && std::isnan(sample(start).y()))
                ++start;
            int end = start;
            while (end + 1 <= to && !std::isnan(sample(end + 1).y()))
                ++end;
            if (start < end) {
                QwtPlotCurve::drawCurve(painter, style, xMap, yMap, canvasRect, start, end);
            } else if (start == end && start <= to) {
                // A reading alone between two missing ones has no line to be
                // part of: drawn as a dot, or it would not be seen at all.
                const QPointF p(xMap.transform(sample(start).x()),
                                yMap.transform(sample(start).y()));
                painter->save();
                QPen dot = pen();
                dot.setWidthF(std::max<qreal>(3, dot.widthF() + 2));
                dot.setCapStyle(Qt::RoundCap);
                painter->setPen(dot);
                painter->drawPoint(p);
                painter->restore();
            }
            start = end + 1;
        }
    }
};

// The samples of one history, read in place from the arrays at every redraw.
// Qwt's own raw-sample data computes its bounding rectangle once and keeps it,
// which would freeze an auto-scaled axis at the first (empty) history; here it
// is computed from the samples as they are now, missing ones left out.
class HistorySeries : public QwtSeriesData<QPointF>
{
public:
    HistorySeries(const double* x, const double* y, size_t size) : m_x(x), m_y(y), m_size(size) {}

    size_t size() const override { return m_size; }
    QPointF sample(size_t i) const override { return QPointF(m_x[i], m_y[i]); }
    QRectF boundingRect() const override
    {
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
        bool any = false;
        for (size_t i = 0; i < m_size; ++i) {
            if (!std::isfinite(m_y[i]))
                continue;
            if (!any) {
                minX = maxX = m_x[i];
                minY = maxY = m_y[i];
                any = true;
                continue;
            }
            minX = std::min(minX, m_x[i]);
            maxX = std::max(maxX, m_x[i]);
            minY = std::min(minY, m_y[i]);
            maxY = std::max(maxY, m_y[i]);
        }
        if (!any)
            return QRectF(1.0, 1.0, -2.0, -2.0); // Qwt's "no bounds"
        return QRectF(minX, minY, maxX - minX, maxY - minY);
    }

private:
    const double* m_x;
    const double* m_y;
    size_t m_size;
};

} // namespace

// A marker whose label goes where the plot lays it out.
class EventMarker : public QwtPlotMarker
{
public:
    bool top = false; // rows counted from the top, else from the bottom
    int row = 0;      // 0 at the canvas's edge, 1 next to it, ...
    QRectF rect;      // pixels; empty: not drawn
    QString shown;    // the label shortened to the room it has; empty: all of it

    QwtText drawn() const
    {
        QwtText text = label();
        if (!shown.isEmpty())
            text.setText(shown);
        return text;
    }

protected:
    void drawLabel(QPainter* painter, const QRectF&, const QPointF&) const override
    {
        if (!rect.isEmpty())
            drawn().draw(painter, rect);
    }
};

namespace {

// Numbers on the axes as everywhere in the window: with a point whatever the
// language (the readings, the labels, the data files write one).
class PointScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double value) const override { return QwtText(QLocale::c().toString(value)); }
};

QwtText titled(const char* text)
{
    QwtText t(QCoreApplication::translate("zenaraForm", text));
    t.setFont(QFont(QStringLiteral("Helvetica"), 10, 75));
    return t;
}

QwtLinearColorMap* berColorMap()
{
    auto* map = new QwtLinearColorMap(Qt::green, Qt::red);
    map->addColorStop(0.001, Qt::yellow);
    map->addColorStop(0.02, Qt::red);
    return map;
}

} // namespace

HistoryPlot::HistoryPlot()
{
    for (int i = 0; i < HistoryLength; ++i)
        m_time[i] = TickSeconds * i;
    m_ber.fill(1.0);
}

HistoryPlot::~HistoryPlot()
{
    // Each marker detaches itself from the plot as it goes.
    qDeleteAll(m_markers);
}

void HistoryPlot::initPlot(QwtPlot* plot, const Options& options)
{
    m_plot = plot;
    plot->setAutoReplot(false);
    plot->setCanvasBackground(Qt::black);

    auto* grid = new QwtPlotGrid;
    grid->setMajorPen(QPen(Qt::darkGreen, 0, Qt::DotLine));
    grid->attach(plot);

    plot->enableAxis(QwtPlot::yRight);
    plot->setAxisTitle(QwtPlot::xBottom, titled(QT_TRANSLATE_NOOP("zenaraForm", "Time/seconds")));
    plot->setAxisTitle(QwtPlot::yLeft, titled(QT_TRANSLATE_NOOP("zenaraForm", "BER")));
    plot->setAxisTitle(QwtPlot::yRight, titled(QT_TRANSLATE_NOOP("zenaraForm", "SNR%, AGC%")));
    for (int axis : {QwtPlot::yLeft, QwtPlot::yRight, QwtPlot::xBottom}) {
        plot->setAxisFont(axis, QFont(QStringLiteral("Helvetica"), 8, 50));
        plot->setAxisScaleDraw(axis, new PointScaleDraw);
    }

    // A lower error rate is drawn higher: 1.0 at the bottom, 1e-7 at the top.
    plot->setAxisScaleEngine(QwtPlot::yLeft, new QwtLogScaleEngine(10));
    plot->setAxisScale(QwtPlot::yLeft, 1.0, 1e-7);
    plot->setAxisMaxMajor(QwtPlot::xBottom, 6);
    plot->setAxisMaxMinor(QwtPlot::xBottom, 10);
    plot->setAxisScale(QwtPlot::xBottom, WindowSeconds, 0);
    applyAgcScale(options.agcScaleMin, options.agcScaleMax, options.agcAutoScale);

    auto makeCurve = [plot, this](const char* title, const QColor& colour, int axis,
                                  const std::array<double, HistoryLength>& y, bool visible) {
        auto* curve = new GapCurve(QString::fromLatin1(title));
        curve->setPen(QPen(colour, 1, Qt::SolidLine));
        curve->setYAxis(axis);
        curve->attach(plot);
        curve->setData(new HistorySeries(m_time.data(), y.data(), HistoryLength));
        curve->setVisible(visible);
        return curve;
    };
    m_curveBer = makeCurve("BER", Qt::green, QwtPlot::yLeft, m_ber, options.showBer);
    m_curveAgc = makeCurve("AGC", Qt::yellow, QwtPlot::yRight, m_agc, options.showAgc);
    m_curveSnr = makeCurve("SNR", QColor(0, 153, 255), QwtPlot::yRight, m_snr, options.showSnr);

    auto* picker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yRight, QwtPicker::CrossRubberBand,
                                     QwtPicker::AlwaysOn, plot->canvas());
    picker->setStateMachine(new QwtPickerDragPointMachine);
    picker->setRubberBandPen(QPen(Qt::darkGreen, 0, Qt::SolidLine));
    picker->setTrackerPen(QPen(Qt::white, 0, Qt::SolidLine));

    m_ber.fill(1.0);
    m_agc.fill(0.0);
    m_snr.fill(0.0);
}

void HistoryPlot::applyAgcScale(int scaleMin, int scaleMax, bool autoScale)
{
    if (!m_plot)
        return;
    m_plot->setAxisScale(QwtPlot::yRight, scaleMin, scaleMax);
    if (autoScale)
        m_plot->setAxisAutoScale(QwtPlot::yRight, true);
    // The colour bar is switched off and on again with a fresh map.
    QwtScaleWidget* left = m_plot->axisWidget(QwtPlot::yLeft);
    left->setColorBarEnabled(false);
    left->setColorMap(QwtInterval(1e-7, 1.0), berColorMap());
    left->setColorBarWidth(6);
    left->setColorBarEnabled(true);
}

void HistoryPlot::push(double ber, double agc, double snr)
{
    for (int i = HistoryLength - 1; i > 0; --i) {
        m_ber[i] = m_ber[i - 1];
        m_agc[i] = m_agc[i - 1];
        m_snr[i] = m_snr[i - 1];
    }
    m_ber[0] = ber;
    m_agc[0] = agc;
    m_snr[0] = snr;
}

void HistoryPlot::ageMarkers()
{
    // Oldest first: a marker that has reached the left edge is always the
    // first one still in the list.
    for (int i = 0; i < m_markers.size();) {
        QwtPlotMarker* marker = m_markers.at(i);
        if (marker->xValue() < WindowSeconds) {
            marker->setXValue(marker->xValue() + TickSeconds);
            ++i;
        } else {
            marker->detach();
            delete m_markers.takeAt(i);
        }
    }
    layOutLabels();
}

void HistoryPlot::addPlotMarker(const QString& label)
{
    auto* marker = new EventMarker;
    m_markers.append(marker);
    marker->setLineStyle(QwtPlotMarker::VLine);
    // Neighbouring labels alternate between the bottom and the top.
    marker->top = m_markers.size() % 2 == 0;
    marker->setLabelAlignment(Qt::AlignLeft | (marker->top ? Qt::AlignTop : Qt::AlignBottom));
    marker->setLinePen(QPen(Qt::cyan, 1, Qt::DashDotLine));
    marker->setLabel(QwtText(label));
    marker->setXValue(0);
    if (m_plot) {
        marker->attach(m_plot);
        chooseRow(marker);
    }
    layOutLabels();
}

QRectF HistoryPlot::labelRect(const QwtPlotMarker* marker) const
{
    return static_cast<const EventMarker*>(marker)->rect;
}

QRectF HistoryPlot::placedRect(const EventMarker* m, bool right) const
{
    constexpr double Spacing = 2;
    const QRectF canvas = QRectF(m_plot->canvas()->contentsRect());
    const QSizeF size = m->drawn().textSize(m_plot->canvas()->font());
    const double x = m_plot->canvasMap(QwtPlot::xBottom).transform(m->xValue());
    const double y = m->top ? canvas.top() + Spacing + m->row * size.height()
                            : canvas.bottom() - Spacing - (m->row + 1) * size.height();
    return QRectF(QPointF(right ? x + Spacing : x - Spacing - size.width(), y), size);
}

void HistoryPlot::chooseRow(EventMarker* marker)
{
    constexpr double Gap = 6; // or two labels in a row read as one
    const QRectF canvas = QRectF(m_plot->canvas()->contentsRect());
    const double height = marker->label().textSize(m_plot->canvas()->font()).height();
    const int rows = std::max(1, int(canvas.height() / (2 * std::max(1.0, height))));
    const bool first = marker->top;
    // The alternating side's edge first, then the other, then further in;
    // where every row is taken, the row with the most room, and the label
    // shortened to it.
    double bestRoom = -1;
    std::pair<bool, int> best(first, 0);
    for (int row = 0; row < rows; ++row) {
        for (const bool top : {first, !first}) {
            marker->top = top;
            marker->row = row;
            const QRectF wanted = placedRect(marker, false);
            double room = wanted.width();
            for (QwtPlotMarker* o : m_markers) {
                const QRectF r = labelRect(o);
                if (o != marker && !r.isEmpty() && r.top() < wanted.bottom() &&
                    r.bottom() > wanted.top())
                    room = std::min(room, wanted.right() - r.right() - Gap);
            }
            if (room >= wanted.width())
                return;
            if (room > bestRoom) {
                bestRoom = room;
                best = {top, row};
            }
        }
    }
    marker->top = best.first;
    marker->row = best.second;
    const QFontMetricsF metrics(m_plot->canvas()->font());
    const QString shortened =
        metrics.elidedText(marker->label().text(), Qt::ElideRight, std::max(0.0, bestRoom));
    if (shortened.size() > 2) // more than an ellipsis and a letter
        marker->shown = shortened;
}

QRectF HistoryPlot::shortened(EventMarker* m, const QRectF& wanted, int index)
{
    constexpr double Gap = 6;
    double right = wanted.right();
    for (int j = index + 1; j < m_markers.size(); ++j) {
        const QRectF r = labelRect(m_markers.at(j));
        if (!r.isEmpty() && r.top() < wanted.bottom() && r.bottom() > wanted.top())
            right = std::min(right, r.left() - Gap);
    }
    const QFontMetricsF metrics(m_plot->canvas()->font());
    const QString text =
        metrics.elidedText(m->label().text(), Qt::ElideRight, std::max(0.0, right - wanted.left()));
    if (text.size() <= 2)
        return QRectF(); // no room for a word
    m->shown = text;
    return QRectF(wanted.topLeft(),
                  QSizeF(m->drawn().textSize(m_plot->canvas()->font()).width(), wanted.height()));
}

void HistoryPlot::layOutLabels()
{
    if (!m_plot)
        return;
    const QRectF canvas = QRectF(m_plot->canvas()->contentsRect());
    // Newest first: a label leaving at the left yields to a newer one.
    for (int i = m_markers.size() - 1; i >= 0; --i) {
        auto* m = static_cast<EventMarker*>(m_markers.at(i));
        auto free = [&](const QRectF& r) {
            for (int j = i + 1; j < m_markers.size(); ++j)
                if (labelRect(m_markers.at(j)).intersects(r))
                    return false;
            return canvas.contains(r);
        };
        // Left of its line; at the left edge pushed in whole, or shortened to
        // the room left by the newer ones in its row.
        QRectF r = placedRect(m, false);
        if (r.left() < canvas.left()) {
            r.translate(canvas.left() - r.left(), 0);
            if (!free(r))
                r = shortened(m, r, i);
        }
        m->rect = free(r) ? r : QRectF();
    }
}

void HistoryPlot::setVisible(QwtPlotCurve* curve, bool on)
{
    if (!curve)
        return;
    curve->setVisible(on);
    replot();
}

void HistoryPlot::setBerVisible(bool on)
{
    setVisible(m_curveBer, on);
}

void HistoryPlot::setSnrVisible(bool on)
{
    setVisible(m_curveSnr, on);
}

void HistoryPlot::setAgcVisible(bool on)
{
    setVisible(m_curveAgc, on);
}

void HistoryPlot::replot()
{
    if (m_plot)
        m_plot->replot();
}

QVector<HistoryPlot::Marker> HistoryPlot::markers() const
{
    QVector<Marker> list;
    for (const QwtPlotMarker* m : m_markers)
        list.append({m->label().text(), m->xValue()});
    return list;
}
