#include "forms/siteview.h"

#include "lists/sitegeometry.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QPen>
#include <QSet>
#include <QToolTip>
#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_map.h>
#include <qwt_symbol.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// South of the equator the arc crosses north: there the axis runs from -180 to
// 180 so that the arc is not cut in two, and still reads as 0..360 degrees.
class AzimuthScale : public QwtScaleDraw
{
public:
    QwtText label(double value) const override
    {
        return QwtText(QString::number(std::fmod(value + 360.0, 360.0), 'f', 0));
    }
};

QString degrees(double value)
{
    return QString::number(value, 'f', 1) + QChar(0x00B0);
}

QString eastWest(double value)
{
    return QString::number(std::abs(value), 'f', 1) + QChar(0x00B0) +
           (value < 0 ? QLatin1Char('W') : QLatin1Char('E'));
}

} // namespace

SiteView::SiteView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("siteView"));
    m_plot = new QwtPlot(this);
    m_plot->setObjectName(QStringLiteral("sitePlot"));
    m_plot->setCanvasBackground(QColor(10, 20, 40));
    m_plot->setAxisTitle(QwtPlot::xBottom, tr("Azimuth (degrees, true)"));
    m_plot->setAxisTitle(QwtPlot::yLeft, tr("Elevation (degrees)"));
    m_plot->setAxisScaleDraw(QwtPlot::xBottom, new AzimuthScale);
    m_plot->setAxisScaleDraw(QwtPlot::yLeft, new AzimuthScale); // 0..90: the same numbers
    // Small enough to dock beside the window on a laptop's screen.
    m_plot->setMinimumSize(260, 200);
    m_plot->canvas()->installEventFilter(this);
    auto* grid = new QwtPlotGrid;
    grid->setMajorPen(QPen(QColor(60, 80, 110), 0, Qt::DotLine));
    grid->attach(m_plot);

    m_arc = new QwtPlotCurve(tr("Visible arc"));
    m_arc->setPen(QPen(QColor(120, 160, 220), 1));
    m_arc->setRenderHint(QwtPlotItem::RenderAntialiased);
    m_arc->attach(m_plot);
    m_path = new QwtPlotCurve(tr("The calibrated dish's path"));
    m_path->setPen(QPen(QColor(255, 150, 60), 1, Qt::DashLine));
    m_path->setRenderHint(QwtPlotItem::RenderAntialiased);
    m_path->attach(m_plot);
    m_points = new QwtPlotCurve(tr("Satellites"));
    m_points->setStyle(QwtPlotCurve::NoCurve);
    m_points->setSymbol(
        new QwtSymbol(QwtSymbol::Ellipse, QBrush(Qt::yellow), QPen(Qt::yellow), QSize(5, 5)));
    m_points->attach(m_plot);

    m_selected = new QwtPlotMarker;
    m_selected->setSymbol(
        new QwtSymbol(QwtSymbol::Ellipse, QBrush(Qt::red), QPen(Qt::white, 1), QSize(11, 11)));
    m_selected->setZ(30);
    m_selected->attach(m_plot);
    m_dish = new QwtPlotMarker;
    m_dish->setSymbol(new QwtSymbol(QwtSymbol::Cross, QBrush(), QPen(Qt::green, 2), QSize(17, 17)));
    QwtText dishLabel(tr("dish"));
    dishLabel.setColor(Qt::green);
    // Readable where it passes over a satellite's name.
    dishLabel.setBackgroundBrush(QBrush(QColor(10, 20, 40)));
    m_dish->setLabel(dishLabel);
    m_dish->setLabelAlignment(Qt::AlignRight | Qt::AlignBottom);
    m_dish->setZ(40);
    m_dish->attach(m_plot);

    auto* picker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::NoRubberBand,
                                     QwtPicker::AlwaysOff, m_plot->canvas());
    picker->setStateMachine(new QwtPickerClickPointMachine);
    connect(picker, qOverload<const QPointF&>(&QwtPlotPicker::selected), this,
            [this](const QPointF& point) {
                const int row = rowNear(point);
                if (row >= 0 && chosen)
                    chosen(row);
            });

    m_details = new QLabel(this);
    m_details->setObjectName(QStringLiteral("siteDetails"));
    m_details->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Narrow, but never so narrow as to cut off which way to turn an LNB.
    const QFontMetrics metrics(m_details->font());
    m_details->setMinimumWidth(std::max({190, metrics.horizontalAdvance(direction(true)),
                                         metrics.horizontalAdvance(direction(false))}));
    // The figures under the sky: narrow enough to dock beside the window on a
    // laptop's screen.
    m_layout = new QBoxLayout(QBoxLayout::TopToBottom, this);
    m_layout->addWidget(m_plot, 1);
    m_layout->addWidget(m_details);
    rebuild();
}

void SiteView::setSite(double latitude, double longitude)
{
    m_latitude = latitude;
    m_longitude = longitude;
    rebuild();
}

void SiteView::setSatellites(const QVector<Satellite>& satellites)
{
    m_satellites = satellites;
    rebuild();
}

void SiteView::setSelectedRow(int row)
{
    if (row == m_selectedRow)
        return;
    m_selectedRow = row;
    rebuild();
}

QPointF SiteView::plotPoint(double position) const
{
    const sitegeometry::Pointing p = sitegeometry::pointing(m_latitude, m_longitude, position);
    double x = p.azimuth;
    if (m_latitude < 0 && x > 180)
        x -= 360;
    return QPointF(x, p.elevation);
}

void SiteView::setDishAngle(double motorAngle)
{
    m_dishAngle = motorAngle;
    m_dishPoint = QPointF(qQNaN(), qQNaN());
    if (std::isfinite(motorAngle)) {
        // The orbital position that motor angle points at (the angle grows with it).
        double low = m_longitude - 81.0;
        double high = m_longitude + 81.0;
        for (int i = 0; i < 50; ++i) {
            const double mid = (low + high) / 2;
            (sitegeometry::motorAngle(m_latitude, m_longitude, mid) < motorAngle ? low : high) =
                mid;
        }
        const QPointF point = plotPoint((low + high) / 2);
        if (point.y() >= 0)
            m_dishPoint = point;
    }
    m_dish->setVisible(std::isfinite(m_dishPoint.x()));
    if (m_dish->isVisible())
        m_dish->setValue(m_dishPoint);
    m_plot->replot();
}

int SiteView::rowNear(const QPointF& point) const
{
    int best = -1;
    double bestDistance = 3.0;
    for (const Satellite& s : m_satellites) {
        const QPointF p = plotPoint(s.position);
        if (p.y() < 0)
            continue;
        const double distance = std::hypot(p.x() - point.x(), p.y() - point.y());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = s.row;
        }
    }
    return best;
}

void SiteView::setMountPath(const QVector<QPointF>& path)
{
    QVector<QPointF> shown = path;
    if (m_latitude < 0) // the plot runs through north down there
        for (QPointF& p : shown)
            if (p.x() > 180)
                p.rx() -= 360;
    m_path->setSamples(shown);
    m_plot->replot();
}

void SiteView::rebuild()
{
    QVector<QPointF> arc = sitegeometry::visibleArc(m_latitude, m_longitude);
    if (m_latitude < 0)
        for (QPointF& p : arc)
            if (p.x() > 180)
                p.rx() -= 360;
    m_arc->setSamples(arc);

    QVector<QPointF> points;
    for (const Satellite& s : m_satellites) {
        const QPointF p = plotPoint(s.position);
        if (p.y() >= 0)
            points.append(p);
    }
    m_points->setSamples(points);

    double xMin = 90, xMax = 270;
    if (m_latitude < 0) {
        xMin = -90;
        xMax = 90;
    }
    for (const QPointF& p : arc) {
        xMin = std::min(xMin, p.x());
        xMax = std::max(xMax, p.x());
    }
    m_plot->setAxisScale(QwtPlot::xBottom, std::floor(xMin / 10) * 10, std::ceil(xMax / 10) * 10);
    m_plot->setAxisScale(QwtPlot::yLeft, 0, 90);

    const Satellite* selected = nullptr;
    for (const Satellite& s : m_satellites)
        if (s.row == m_selectedRow)
            selected = &s;
    m_selected->setVisible(selected != nullptr);
    if (selected)
        m_selected->setValue(plotPoint(selected->position));
    showDetails();
    placeNamesOnPlot();
    setDishAngle(m_dishAngle);
}

QVector<QRectF> SiteView::placeNames(const QVector<Candidate>& candidates, const QRectF& canvas,
                                     double spacing)
{
    // The points themselves are not to be covered, and names keep a gap
    // between them, or two would read as one.
    constexpr double Point = 3, Gap = 4;
    QVector<QRectF> points;
    for (const Candidate& c : candidates)
        points.append(QRectF(c.anchor - QPointF(Point, Point), QSizeF(2 * Point, 2 * Point)));
    QVector<QRectF> names;
    QVector<QRectF> placed;
    for (const Candidate& c : candidates) {
        const double w = c.size.width(), h = c.size.height();
        QRectF chosen;
        // Around the point, nearest first: above, below, beside, then further out.
        for (const double d : {spacing + Point, spacing + Point + h}) {
            const QPointF a = c.anchor;
            const QRectF options[] = {QRectF(a.x() - w / 2, a.y() - d - h, w, h),
                                      QRectF(a.x() - w / 2, a.y() + d, w, h),
                                      QRectF(a.x() + d, a.y() - h / 2, w, h),
                                      QRectF(a.x() - d - w, a.y() - h / 2, w, h),
                                      QRectF(a.x() + d / 2, a.y() - d - h, w, h),
                                      QRectF(a.x() - d / 2 - w, a.y() - d - h, w, h)};
            for (const QRectF& r : options) {
                const QRectF padded = r.adjusted(-Gap, -Gap / 2, Gap, Gap / 2);
                auto hits = [](const QVector<QRectF>& list, const QRectF& rect) {
                    return std::any_of(list.cbegin(), list.cend(),
                                       [&rect](const QRectF& t) { return t.intersects(rect); });
                };
                if (canvas.contains(r) && !hits(points, r) && !hits(names, padded)) {
                    chosen = r;
                    break;
                }
            }
            if (!chosen.isNull())
                break;
        }
        placed.append(chosen);
        if (!chosen.isNull())
            names.append(chosen);
    }
    return placed;
}

QVector<SiteView::Candidate> SiteView::nameCandidates(const QwtScaleMap& xMap,
                                                      const QwtScaleMap& yMap,
                                                      const QFontMetricsF& metrics,
                                                      QVector<Satellite>* shown) const
{
    // The chosen satellite first, then along the arc from west to east.
    QVector<Satellite> order = m_satellites;
    std::stable_sort(order.begin(), order.end(), [this](const Satellite& a, const Satellite& b) {
        if ((a.row == m_selectedRow) != (b.row == m_selectedRow))
            return a.row == m_selectedRow;
        return a.position < b.position;
    });
    QVector<Candidate> candidates;
    QSet<QString> named; // two satellites in one slot have one name
    for (const Satellite& s : order) {
        const QPointF p = plotPoint(s.position);
        if (p.y() < 0 || named.contains(eastWest(s.position)))
            continue;
        named.insert(eastWest(s.position));
        candidates.append({QPointF(xMap.transform(p.x()), yMap.transform(p.y())),
                           metrics.size(0, eastWest(s.position)) + QSizeF(2, 0)});
        shown->append(s);
    }
    return candidates;
}

void SiteView::placeNamesOnPlot()
{
    qDeleteAll(m_labels);
    m_labels.clear();
    qDeleteAll(m_leads);
    m_leads.clear();
    m_names.clear();
    // The maps from degrees to pixels as the canvas stands now.
    m_plot->updateAxes();
    const QwtScaleMap xMap = m_plot->canvasMap(QwtPlot::xBottom);
    const QwtScaleMap yMap = m_plot->canvasMap(QwtPlot::yLeft);
    QFont font = m_plot->canvas()->font();
    font.setPointSizeF(7);
    QVector<Satellite> shown;
    const QVector<Candidate> candidates = nameCandidates(xMap, yMap, QFontMetricsF(font), &shown);
    const QVector<QRectF> rects =
        placeNames(candidates, QRectF(m_plot->canvas()->contentsRect()), 2.0);
    for (int i = 0; i < rects.size(); ++i) {
        if (rects.at(i).isNull())
            continue;
        m_names.append({shown.at(i).position, rects.at(i)});
        auto* label = new QwtPlotMarker;
        // Drawn from the chosen rectangle's centre, in plot units.
        label->setValue(xMap.invTransform(rects.at(i).center().x()),
                        yMap.invTransform(rects.at(i).center().y()));
        QwtText text(eastWest(shown.at(i).position));
        text.setColor(QColor(230, 230, 160));
        text.setFont(font);
        label->setLabel(text);
        label->setLabelAlignment(Qt::AlignCenter);
        label->setSpacing(0);
        label->setZ(20);
        label->attach(m_plot);
        m_labels.append(label);
        // A name set off from its point gets a line to it.
        const QPointF anchor = candidates.at(i).anchor;
        const QRectF r = rects.at(i);
        const QPointF edge(std::clamp(anchor.x(), r.left(), r.right()),
                           std::clamp(anchor.y(), r.top(), r.bottom()));
        if (QLineF(anchor, edge).length() > 8) {
            auto* lead = new QwtPlotCurve;
            lead->setPen(QPen(QColor(150, 150, 110), 0));
            lead->setSamples(QVector<QPointF>{
                QPointF(xMap.invTransform(anchor.x()), yMap.invTransform(anchor.y())),
                QPointF(xMap.invTransform(edge.x()), yMap.invTransform(edge.y()))});
            lead->setZ(15);
            lead->attach(m_plot);
            m_leads.append(lead);
        }
    }
}

QString SiteView::nameAt(const QPointF& point) const
{
    const int row = rowNear(point);
    for (const Satellite& s : m_satellites)
        if (s.row == row)
            return s.name + QLatin1String(" (") + eastWest(s.position) + QLatin1Char(')');
    return QString();
}

bool SiteView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_plot->canvas())
        return false;
    if (event->type() == QEvent::Resize) {
        placeNamesOnPlot();
    } else if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString name = nameAt(QPointF(m_plot->invTransform(QwtPlot::xBottom, help->pos().x()),
                                            m_plot->invTransform(QwtPlot::yLeft, help->pos().y())));
        if (name.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), name, m_plot->canvas());
        return true;
    }
    return false;
}

void SiteView::setReception(const QStringList& lines)
{
    if (lines == m_reception)
        return;
    m_reception = lines;
    showDetails();
}

QStringList SiteView::turnLines(const QString& text, double clockwise)
{
    // Two short lines, not one long one: the view docks narrow.
    const QString amount = degrees(std::abs(clockwise));
    if (amount == degrees(0.0))
        return {text.arg(amount)};
    return {text.arg(amount), direction(clockwise > 0)};
}

QString SiteView::direction(bool clockwise)
{
    return clockwise ? tr("clockwise from behind the dish")
                     : tr("anticlockwise from behind the dish");
}

QStringList SiteView::polarMountSkewLines(const Satellite& satellite, double motorAngle) const
{
    // The mount turns the LNB with the dish; what it leaves over is said only
    // where it is more than an LNB's scale shows.
    constexpr double Negligible = 0.1;
    const double leftover =
        sitegeometry::polarMountSkew(m_latitude, m_longitude, satellite.position, motorAngle);
    if (std::abs(leftover) < Negligible)
        return {tr("LNB skew: follows the arc")};
    return turnLines(tr("LNB skew: follows the arc, plus %1"), leftover);
}

void SiteView::showDetails()
{
    QStringList lines;
    lines << tr("Site %1, %2")
                 .arg(QString::number(std::abs(m_latitude), 'f', 1) + QChar(0x00B0) +
                          (m_latitude < 0 ? QLatin1Char('S') : QLatin1Char('N')),
                      eastWest(m_longitude));
    const Satellite* selected = nullptr;
    for (const Satellite& s : m_satellites)
        if (s.row == m_selectedRow)
            selected = &s;
    if (selected) {
        const sitegeometry::Pointing p =
            sitegeometry::pointing(m_latitude, m_longitude, selected->position);
        lines << QString()
              << selected->name + QLatin1String(" (") + eastWest(selected->position) +
                     QLatin1Char(')')
              << tr("Azimuth %1 (true)").arg(degrees(p.azimuth))
              << tr("Elevation %1").arg(degrees(p.elevation))
              << polarMountSkewLines(*selected, p.motorAngle)
              << tr("USALS motor angle %1").arg(eastWest(p.motorAngle));
    }
    if (!m_reception.isEmpty())
        lines << QString() << m_reception;
    // The LNB is set upright at the arc's top: the satellite there, on the
    // site's meridian, has its polarisation upright.
    lines << QString() << tr("Polar mount:")
          << tr("Declination offset %1").arg(degrees(sitegeometry::declinationOffset(m_latitude)))
          << tr("Arc top elevation %1").arg(degrees(sitegeometry::arcTopElevation(m_latitude)))
          << tr("Arc top LNB skew %1").arg(degrees(0.0));
    // A dish that does not turn needs its LNB turned for each satellite; said
    // apart, so that nobody turns the LNB of a polar mount by it.
    if (selected)
        lines << QString()
              << turnLines(
                     tr("Fixed dish: LNB skew %1"),
                     sitegeometry::fixedDishSkew(m_latitude, m_longitude, selected->position));
    m_detailsText = lines.join(QLatin1Char('\n'));
    m_details->setText(m_detailsText);
}
