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

} // namespace positioner
