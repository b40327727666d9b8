#pragma once

#include <QColor>

// Text that can be read on its background, as the WCAG measure it: the ratio
// of the two colours' relative luminances (each plus 0.05), 4.5 at least for
// ordinary text (level AA).
namespace contrast {

constexpr double Readable = 4.5;

double luminance(const QColor& colour);
double ratio(const QColor& a, const QColor& b);
// Black or white, whichever stands out more on the background.
QColor textOn(const QColor& background);
// The colour's hue, made darker or lighter until it is readable on the
// background (the colour itself when it already is).
QColor readableShade(const QColor& colour, const QColor& background);

} // namespace contrast
