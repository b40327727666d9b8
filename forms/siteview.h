#pragma once

#include <QPointF>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class QLabel;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;

// The installer's sky: the visible arc from the site as azimuth against
// elevation, each visible satellite of the list as a labelled point, the chosen
// one highlighted and the dish's estimated pointing; beside it the chosen
// satellite's look angles, the polar mount's set-up figures and the LNB skew a
// fixed dish would need instead. A click on a satellite chooses it as the
// satellite box would.
class SiteView : public QWidget
{
    Q_OBJECT

public:
    struct Satellite
    {
        int row;         // in the satellite boxes
        double position; // orbital, east positive
        QString name;
    };

    explicit SiteView(QWidget* parent = nullptr);

    void setSite(double latitude, double longitude);
    void setSatellites(const QVector<Satellite>& satellites);
    void setSelectedRow(int row);
    // The dish's estimated motor angle, or NaN when it is not known.
    void setDishAngle(double motorAngle);
    // The path the calibrated mount's dish sweeps (azimuth, elevation), to
    // lie against the arc; empty: none.
    void setMountPath(const QVector<QPointF>& path);
    // What the receiver is tuned to and locked on, a line each.
    void setReception(const QStringList& lines);

    // The row of the satellite nearest a point on the plot, within 3 degrees; -1 if none.
    int rowNear(const QPointF& azimuthElevation) const;
    QString detailsText() const { return m_detailsText; }
    // Where the dish marker stands, as (azimuth, elevation); NaN when hidden.
    QPointF dishPoint() const { return m_dishPoint; }

    std::function<void(int row)> chosen;

    // The positions named on the plot now, and where their names stand (in
    // the canvas's pixels): names that would cover one another are left out,
    // the chosen satellite's never; every point keeps its name as a tooltip.
    struct Name
    {
        double position;
        QRectF rect;
    };
    QVector<Name> names() const { return m_names; }
    // The name of the satellite under a point of the canvas, for its tooltip.
    QString nameAt(const QPointF& azimuthElevation) const;

    // Where names go: each candidate (in order of importance) above its point,
    // else below, else left out; never over another or past the canvas.
    struct Candidate
    {
        QPointF anchor; // pixels
        QSizeF size;
    };
    static QVector<QRectF> placeNames(const QVector<Candidate>& candidates, const QRectF& canvas,
                                      double spacing);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVector<Candidate> nameCandidates(const class QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                      const class QFontMetricsF& metrics,
                                      QVector<Satellite>* shown) const;
    void placeNamesOnPlot();
    QPointF plotPoint(double position) const;
    void rebuild();
    void showDetails();
    QStringList polarMountSkewLines(const Satellite& satellite, double motorAngle) const;
    // An LNB turn: text with its size in degrees, then its direction seen from
    // behind the dish (none for no turn).
    static QStringList turnLines(const QString& text, double clockwise);
    static QString direction(bool clockwise);

    QwtPlot* m_plot = nullptr;
    QwtPlotCurve* m_arc = nullptr;
    QwtPlotCurve* m_points = nullptr;
    QwtPlotCurve* m_path = nullptr;
    QwtPlotMarker* m_selected = nullptr;
    QwtPlotMarker* m_dish = nullptr;
    QList<QwtPlotMarker*> m_labels;
    QList<QwtPlotCurve*> m_leads;
    QLabel* m_details = nullptr;
    double m_latitude = 45;
    double m_longitude = 42;
    QVector<Satellite> m_satellites;
    int m_selectedRow = -1;
    double m_dishAngle = 0;
    QPointF m_dishPoint;
    QString m_detailsText;
    QStringList m_reception;
    QVector<Name> m_names;
    class QBoxLayout* m_layout = nullptr;
};
