#pragma once

#include <QPointF>
#include <QVector>

namespace positioner {

// Where a beam peaks, from levels sampled across it: a parabola through the
// samples in the upper half of the range seen (the beam's top is a parabola in
// dB, and the meters read about linearly in dB), or, where a parabola does not
// fit (too few points, opening upwards, vertex outside them), the centroid of
// those samples above the half-way level.
struct BeamFit
{
    bool ok = false;
    double peak = 0;       // in the samples' x units
    bool parabola = false; // false: the centroid
    int used = 0;          // samples the fit used
};

BeamFit fitBeam(const QVector<QPointF>& samples);

// The top of a parabola y = a x^2 + b x + c fitted by least squares, and how
// uncertain it is from the scatter about it; not ok when it opens upwards,
// its vertex lies outside the samples, or they are fewer than five.
struct ParabolaTop
{
    bool ok = false;
    double peak = 0;
    double variance = 0;
    double scatter = 0;   // of the samples about the parabola
    double curvature = 0; // a: negative for a top
};
ParabolaTop parabolaTop(const QVector<QPointF>& samples);
bool parabolaPeak(const QVector<QPointF>& samples, double* peak);

} // namespace positioner
