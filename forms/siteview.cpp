#include "forms/siteview.h"

#include "lists/sitegeometry.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPen>
#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>
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
    m_plot->setMinimumSize(420, 260);
    auto* grid = new QwtPlotGrid;
    grid->setMajorPen(QPen(QColor(60, 80, 110), 0, Qt::DotLine));
    grid->attach(m_plot);

    m_arc = new QwtPlotCurve(tr("Visible arc"));
    m_arc->setPen(QPen(QColor(120, 160, 220), 1));
    m_arc->setRenderHint(QwtPlotItem::RenderAntialiased);
    m_arc->attach(m_plot);
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
    m_details->setMinimumWidth(190);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_details);
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

void SiteView::rebuild()
{
    QVector<QPointF> arc = sitegeometry::visibleArc(m_latitude, m_longitude);
    if (m_latitude < 0)
        for (QPointF& p : arc)
            if (p.x() > 180)
                p.rx() -= 360;
    m_arc->setSamples(arc);

    qDeleteAll(m_labels);
    m_labels.clear();
    QVector<QPointF> points;
    int shown = 0;
    // Every point is drawn; with a full list only every few degrees is named,
    // so that the names stay readable (the chosen one always is).
    QVector<Satellite> byPosition = m_satellites;
    std::sort(byPosition.begin(), byPosition.end(),
              [](const Satellite& a, const Satellite& b) { return a.position < b.position; });
    double lastNamed = -1000;
    for (const Satellite& s : byPosition) {
        const QPointF p = plotPoint(s.position);
        if (p.y() < 0)
            continue;
        points.append(p);
        if (s.position - lastNamed < 3.0 && s.row != m_selectedRow)
            continue;
        lastNamed = s.position;
        auto* label = new QwtPlotMarker;
        label->setValue(p);
        QwtText text(eastWest(s.position));
        text.setColor(QColor(230, 230, 160));
        QFont font = text.font();
        font.setPointSizeF(7);
        text.setFont(font);
        label->setLabel(text);
        // Alternately above and below, so that neighbours do not cover each other.
        label->setLabelAlignment(Qt::AlignHCenter | (shown++ % 2 ? Qt::AlignBottom : Qt::AlignTop));
        label->attach(m_plot);
        m_labels.append(label);
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
    setDishAngle(m_dishAngle);
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
              << tr("LNB skew %1").arg(degrees(p.skew))
              << tr("USALS motor angle %1").arg(eastWest(p.motorAngle));
    }
    lines << QString() << tr("Polar mount:")
          << tr("Declination offset %1").arg(degrees(sitegeometry::declinationOffset(m_latitude)))
          << tr("Arc top elevation %1").arg(degrees(sitegeometry::arcTopElevation(m_latitude)));
    m_detailsText = lines.join(QLatin1Char('\n'));
    m_details->setText(m_detailsText);
}
