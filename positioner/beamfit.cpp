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

} // namespace

ParabolaTop parabolaTop(const QVector<QPointF>& samples)
{
    ParabolaTop top;
    const int n = samples.size();
    if (n < 5)
        return top;
    double mx = 0;
    for (const QPointF& p : samples)
        mx += p.x();
    mx /= n;                       // x centred for a well-conditioned system
    double s[5] = {0, 0, 0, 0, 0}; // sums of x^0 .. x^4
    double t[3] = {0, 0, 0};       // sums of x^2 y, x y, y
    double minX = samples.first().x(), maxX = minX;
    for (const QPointF& p : samples) {
        const double x = p.x() - mx;
        double xn = 1;
        for (double& sum : s) {
            sum += xn;
            xn *= x;
        }
        t[0] += x * x * p.y();
        t[1] += x * p.y();
        t[2] += p.y();
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
    }
    // The normal equations for (a, b, c), inverted by their adjugate: the
    // inverse is also the shape of the coefficients' covariance.
    const double m[3][3] = {{s[4], s[3], s[2]}, {s[3], s[2], s[1]}, {s[2], s[1], s[0]}};
    const double d = det(m);
    if (!(std::abs(d) > 1e-12))
        return top;
    double inv[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            inv[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / d;
        }
    double k[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            k[i] += inv[i][j] * t[j];
    const double a = k[0], b = k[1], c = k[2];
    const double vertex = mx - b / (2 * a);
    if (!(a < 0 && vertex >= minX && vertex <= maxX))
        return top;
    double residual = 0;
    for (const QPointF& p : samples) {
        const double x = p.x() - mx;
        residual += std::pow(p.y() - (a * x * x + b * x + c), 2);
    }
    const double s2 = n > 3 ? residual / (n - 3) : 0;
    // How far the vertex -b/2a may be off, to first order.
    const double ga = b / (2 * a * a), gb = -1 / (2 * a);
    top.ok = true;
    top.peak = vertex;
    top.scatter = std::sqrt(s2);
    top.curvature = a;
    top.variance = s2 * (ga * ga * inv[0][0] + gb * gb * inv[1][1] + 2 * ga * gb * inv[0][1]);
    return top;
}

bool parabolaPeak(const QVector<QPointF>& samples, double* peak)
{
    const ParabolaTop top = parabolaTop(samples);
    if (top.ok)
        *peak = top.peak;
    return top.ok;
}

namespace {

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
