#include "monitor/ledmeter.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>

LedMeter::LedMeter(QWidget* parent) : QFrame(parent)
{
    // The whole contents area is painted here; no erase by the toolkit first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumWidth(2 * frameWidth() + 40);
    setMinimumHeight(14);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LedMeter::setValue(int value)
{
    m_value = std::clamp(value, 0, m_range);
    const int lit = int(std::ceil(double(m_count) / m_range * m_value));
    if (lit != m_litCount) {
        m_litCount = lit;
        update();
    }
}

void LedMeter::setRange(int range)
{
    m_range = std::max(1, range);
    setValue(m_value);
    update();
}

void LedMeter::setCount(int count)
{
    m_count = std::max(1, count);
    updateThresholds();
    setValue(m_value);
    update();
}

void LedMeter::setLineWidth(int width)
{
    m_lineWidth = std::max(1, width);
    setCount(contentsRect().width() / (m_lineWidth + 1));
}

void LedMeter::addColorBand(int percent, const QColor& color)
{
    m_bands.append(ColorBand{percent, 0, color});
    updateThresholds();
}

void LedMeter::updateThresholds()
{
    int sum = 0;
    for (ColorBand& band : m_bands) {
        sum += m_count * band.percent / 100;
        band.threshold = sum;
    }
}

QVector<QColor> LedMeter::segmentColors() const
{
    QVector<QColor> colors;
    QColor color = palette().color(QPalette::WindowText);
    int threshold = m_count;
    int band = 0;
    if (!m_bands.isEmpty()) {
        color = m_bands.first().color;
        threshold = m_bands.first().threshold;
    }
    for (int i = 0; i < m_litCount; ++i) {
        // At most one band further per segment.
        if (i > threshold) {
            ++band;
            if (band < m_bands.size()) {
                color = m_bands.at(band).color;
                threshold = m_bands.at(band).threshold;
            }
        }
        colors.append(color);
    }
    return colors;
}

void LedMeter::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    setCount(contentsRect().width() / (m_lineWidth + 1));
    setFrameRect(QRect(0, 0, width(), height()));
}

void LedMeter::paintEvent(QPaintEvent* event)
{
    ++m_paintCount;
    // Drawn off screen, then copied in one go.
    QPixmap pixmap(size());
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        const QRect contents = contentsRect();
        p.fillRect(contents, palette().brush(backgroundRole()));
        const int step = contents.width() / m_count;
        int x = contents.left() + 1;
        p.setClipRect(contents);
        for (const QColor& color : segmentColors()) {
            p.fillRect(QRect(x, contents.top(), step - 1, contents.height()), color);
            x += step;
        }
        p.setClipping(false);
        drawFrame(&p);
    }
    QPainter widget(this);
    widget.setClipRegion(event->region());
    widget.drawPixmap(0, 0, pixmap);
}
