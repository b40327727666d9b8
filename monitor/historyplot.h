#pragma once

#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>

#include <array>

class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;

// The last 60 seconds of BER, SNR and AGC in the window's plot, newest sample
// at the right edge, with labelled event markers that travel left with the data.
// The curves read the history arrays in place at every redraw.
class HistoryPlot
{
public:
    static constexpr int HistoryLength = 241; // one sample per 250 ms, 0..60 s
    static constexpr double TickSeconds = 0.25;
    static constexpr double WindowSeconds = 60.0;

    HistoryPlot();
    ~HistoryPlot();

    struct Options
    {
        int agcScaleMin = 0;
        int agcScaleMax = 100;
        bool agcAutoScale = false;
        bool showBer = true;
        bool showSnr = true;
        bool showAgc = true;
    };

    // One-time set-up of the plot widget: axes, colour bar, curves, picker.
    void initPlot(QwtPlot* plot, const Options& options);

    // Shifts the histories by one tick and stores the newest samples (NaN marks
    // a missing reading; the curve leaves a gap there).
    void push(double ber, double agc, double snr);
    void ageMarkers();
    void addPlotMarker(const QString& label);
    // Shows or hides a curve and replots; does nothing before initPlot.
    void setBerVisible(bool on);
    void setSnrVisible(bool on);
    void setAgcVisible(bool on);
    // After the options dialog: the right axis range, then the colour bar again.
    void applyAgcScale(int scaleMin, int scaleMax, bool autoScale);
    void replot();

    const std::array<double, HistoryLength>& berHistory() const { return m_ber; }
    const std::array<double, HistoryLength>& agcHistory() const { return m_agc; }
    const std::array<double, HistoryLength>& snrHistory() const { return m_snr; }
    const std::array<double, HistoryLength>& historyTime() const { return m_time; }
    const QList<QwtPlotMarker*>& plotMarkers() const { return m_markers; }
    // The markers' labels and ages, newest last.
    struct Marker
    {
        QString label;
        double ageSeconds;
    };
    QVector<Marker> markers() const;
    // Where a marker's label is drawn, in the canvas's pixels; empty when it
    // is not drawn (it would cover a newer one as it leaves at the left).
    QRectF labelRect(const QwtPlotMarker* marker) const;
    QwtPlotCurve* curveBER() const { return m_curveBer; }
    QwtPlotCurve* curveAGC() const { return m_curveAgc; }
    QwtPlotCurve* curveSNR() const { return m_curveSnr; }

private:
    void setVisible(QwtPlotCurve* curve, bool on);
    // Labels stand left of their lines, in rows from the top or the bottom of
    // the canvas. A new one takes the first row (bottom and top alternating,
    // then further in) where it covers no other label, or, with every row
    // taken, the one with the most room, shortened to it; at the left edge a
    // label is pushed in whole, or shortened, rather than cut off.
    void chooseRow(class EventMarker* marker);
    void layOutLabels();
    QRectF placedRect(const EventMarker* marker, bool right) const;
    // A label at the left edge made short enough for the room it has there.
    QRectF shortened(EventMarker* marker, const QRectF& wanted, int index);

    QwtPlot* m_plot = nullptr;
    QwtPlotCurve* m_curveBer = nullptr;
    QwtPlotCurve* m_curveAgc = nullptr;
    QwtPlotCurve* m_curveSnr = nullptr;
    QList<QwtPlotMarker*> m_markers; // oldest first, owned
    std::array<double, HistoryLength> m_time{};
    std::array<double, HistoryLength> m_ber{};
    std::array<double, HistoryLength> m_agc{};
    std::array<double, HistoryLength> m_snr{};
};
