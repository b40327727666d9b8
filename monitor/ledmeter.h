#pragma once

#include <QColor>
#include <QFrame>
#include <QVector>

// A row of equal lamp-like segments lit from the left, each lit segment in the
// colour of the band it falls in. Repaints only when the number of lit
// segments changes.
class LedMeter : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(int range READ range WRITE setRange)
    Q_PROPERTY(int count READ count WRITE setCount)
    Q_PROPERTY(int lineWidth READ lineWidth WRITE setLineWidth)
    Q_PROPERTY(int value READ value WRITE setValue)

public:
    struct ColorBand
    {
        int percent = 0;
        int threshold = 0; // index of the band's last segment, cumulative
        QColor color;
    };

    explicit LedMeter(QWidget* parent = nullptr);

    int range() const { return m_range; }
    int count() const { return m_count; }
    int litCount() const { return m_litCount; }
    int value() const { return m_value; }
    int lineWidth() const { return m_lineWidth; }
    const QVector<ColorBand>& bands() const { return m_bands; }
    // How many times the meter has painted itself, for checking repaint economy.
    int paintCount() const { return m_paintCount; }

    void setRange(int range);
    void setCount(int count);
    void setLineWidth(int width);
    void addColorBand(int percent, const QColor& color);

    // The colour each lit segment is painted in, left to right.
    QVector<QColor> segmentColors() const;

public slots:
    void setValue(int value);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void updateThresholds();

    int m_range = 100;
    int m_count = 20;
    int m_litCount = 0;
    int m_value = 0;
    int m_lineWidth = 1;
    QVector<ColorBand> m_bands;
    int m_paintCount = 0;
};
