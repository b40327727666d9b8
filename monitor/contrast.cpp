#include "monitor/contrast.h"

#include <algorithm>
#include <cmath>

namespace contrast {
namespace {
double channel(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
} // namespace

double luminance(const QColor& c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
           0.0722 * channel(c.blueF());
}

double ratio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor textOn(const QColor& background)
{
    return ratio(Qt::black, background) >= ratio(Qt::white, background) ? QColor(Qt::black)
                                                                        : QColor(Qt::white);
}

QColor readableShade(const QColor& colour, const QColor& background)
{
    // Towards black on a light background, towards white on a dark one.
    const bool darken = luminance(background) > 0.18;
    QColor shade = colour;
    for (int step = 0; step < 20 && ratio(shade, background) < Readable; ++step)
        shade = darken ? shade.darker(115) : shade.lighter(115);
    return ratio(shade, background) >= Readable ? shade : textOn(background);
}

} // namespace contrast
