#include "positioner/beamfit.h"

#include <algorithm>
#include <cmath>

namespace positioner {

namespace {

double det(const double k[3][3])
{
    return k[0][0] * (k[1][1] * k[2][2] - k[1][2] * k[2][1]) -
           k[0][1] * (k[1][0] * k[2][2] - k[1][2] * k[2][0]) +
           k[0][2] * (k[1][0] * k[2][1] - k[1][1] * k[2][0]);
}

// The top of a parabola y = a x^2 + b x + c fitted by least squares (x
// centred for a well-conditioned system); false when it opens upwards, its
// vertex lies outside the samples, or they are too few.
bool parabolaPeak(const QVector<QPointF>& top, double* peak)
{
    if (top.size() < 5)
        return false;
    double mx = 0;
    for (const QPointF& p : top)
        mx += p.x();
    mx /= top.size();
    double s[5] = {0, 0, 0, 0, 0}; // sums of x^0 .. x^4
    double t[3] = {0, 0, 0};       // sums of y, x y, x^2 y
    double minX = top.first().x(), maxX = minX;
    for (const QPointF& p : top) {
        const double x = p.x() - mx;
        double xn = 1;
        for (double& sum : s) {
            sum += xn;
            xn *= x;
        }
        t[0] += p.y();
        t[1] += x * p.y();
        t[2] += x * x * p.y();
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
    }
    // Cramer's rule on the 3 x 3 normal equations.
    const double m[3][3] = {{s[4], s[3], s[2]}, {s[3], s[2], s[1]}, {s[2], s[1], s[0]}};
    const double d = det(m);
    if (!(std::abs(d) > 1e-12))
        return false;
    const double ma[3][3] = {{t[2], s[3], s[2]}, {t[1], s[2], s[1]}, {t[0], s[1], s[0]}};
    const double mb[3][3] = {{s[4], t[2], s[2]}, {s[3], t[1], s[1]}, {s[2], t[0], s[0]}};
    const double a = det(ma) / d;
    const double b = det(mb) / d;
    const double vertex = mx - b / (2 * a);
    if (!(a < 0 && vertex >= minX && vertex <= maxX))
        return false;
    *peak = vertex;
    return true;
}

// The centre of the part above half way, weighted by the height above it.
double centroid(const QVector<QPointF>& top, double halfway)
{
    double weight = 0, moment = 0, minX = top.first().x(), maxX = minX;
    for (const QPointF& p : top) {
        const double w = p.y() - halfway;
        weight += w;
        moment += w * p.x();
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
    }
    return weight > 0 ? moment / weight : (minX + maxX) / 2;
}

} // namespace

BeamFit fitBeam(const QVector<QPointF>& samples)
{
    BeamFit fit;
    if (samples.isEmpty())
        return fit;
    double low = samples.first().y(), high = low;
    for (const QPointF& p : samples) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    if (!(high > low))
        return fit; // flat: nothing to find
    const double halfway = low + (high - low) / 2;
    QVector<QPointF> top;
    for (const QPointF& p : samples)
        if (p.y() >= halfway)
            top.append(p);
    fit.used = top.size();
    fit.ok = true;
    fit.parabola = parabolaPeak(top, &fit.peak);
    if (!fit.parabola)
        fit.peak = centroid(top, halfway);
    return fit;
}

} // namespace positioner
