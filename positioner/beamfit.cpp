#include "positioner/beamfit.h"

#include <algorithm>
#include <cmath>

namespace positioner {

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

    // Least squares y = a x^2 + b x + c, x centred for a well-conditioned system.
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
    if (top.size() >= 5) {
        // Cramer's rule on the 3 x 3 normal equations.
        const double m[3][3] = {{s[4], s[3], s[2]}, {s[3], s[2], s[1]}, {s[2], s[1], s[0]}};
        auto det = [](const double k[3][3]) {
            return k[0][0] * (k[1][1] * k[2][2] - k[1][2] * k[2][1]) -
                   k[0][1] * (k[1][0] * k[2][2] - k[1][2] * k[2][0]) +
                   k[0][2] * (k[1][0] * k[2][1] - k[1][1] * k[2][0]);
        };
        const double d = det(m);
        if (std::abs(d) > 1e-12) {
            const double ma[3][3] = {{t[2], s[3], s[2]}, {t[1], s[2], s[1]}, {t[0], s[1], s[0]}};
            const double mb[3][3] = {{s[4], t[2], s[2]}, {s[3], t[1], s[1]}, {s[2], t[0], s[0]}};
            const double a = det(ma) / d;
            const double b = det(mb) / d;
            const double vertex = mx - b / (2 * a);
            if (a < 0 && vertex >= minX && vertex <= maxX) {
                fit.ok = true;
                fit.parabola = true;
                fit.peak = vertex;
                return fit;
            }
        }
    }
    double weight = 0, moment = 0;
    for (const QPointF& p : top) {
        const double w = p.y() - halfway;
        weight += w;
        moment += w * p.x();
    }
    fit.ok = true;
    fit.peak = weight > 0 ? moment / weight : (minX + maxX) / 2;
    return fit;
}

} // namespace positioner
