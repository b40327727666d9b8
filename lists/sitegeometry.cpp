#include "lists/sitegeometry.h"

#include <cmath>

namespace sitegeometry {

namespace {
constexpr double DegToRad = M_PI / 180.0;
}

double motorAngle(double latitude, double longitude, double satellite)
{
    const double d = (satellite - longitude) * DegToRad;
    const double c = (90 - latitude) * DegToRad;
    return std::atan(OrbitRadiusKm * std::sin(d) /
                     (OrbitRadiusKm * std::cos(d) - EarthRadiusKm * std::sin(c))) /
           DegToRad;
}

Pointing pointing(double latitude, double longitude, double satellite)
{
    const double phi = latitude * DegToRad;
    const double lambda = longitude * DegToRad;
    const double s = satellite * DegToRad;
    // The path from the site to the satellite in the site's east, north and up.
    const double dx =
        OrbitRadiusKm * std::cos(s) - EarthRadiusKm * std::cos(phi) * std::cos(lambda);
    const double dy =
        OrbitRadiusKm * std::sin(s) - EarthRadiusKm * std::cos(phi) * std::sin(lambda);
    const double dz = -EarthRadiusKm * std::sin(phi);
    const double east = -std::sin(lambda) * dx + std::cos(lambda) * dy;
    const double north = -std::sin(phi) * std::cos(lambda) * dx -
                         std::sin(phi) * std::sin(lambda) * dy + std::cos(phi) * dz;
    const double up = std::cos(phi) * std::cos(lambda) * dx +
                      std::cos(phi) * std::sin(lambda) * dy + std::sin(phi) * dz;
    Pointing p;
    p.elevation = std::atan2(up, std::hypot(east, north)) / DegToRad;
    p.azimuth = std::fmod(std::atan2(east, north) / DegToRad + 360.0, 360.0);
    p.visible = p.elevation >= 0;
    const double delta = (satellite - longitude) * DegToRad;
    p.skew = std::abs(latitude) < 1e-9 ? (std::sin(delta) >= 0 ? 90.0 : -90.0)
                                       : std::atan(std::sin(delta) / std::tan(phi)) / DegToRad;
    p.motorAngle = motorAngle(latitude, longitude, satellite);
    return p;
}

double declinationOffset(double latitude)
{
    const double phi = latitude * DegToRad;
    const double ratio = EarthRadiusKm / OrbitRadiusKm;
    return std::atan(ratio * std::sin(phi) / (1 - ratio * std::cos(phi))) / DegToRad;
}

double arcTopElevation(double latitude)
{
    return pointing(latitude, 0, 0).elevation;
}

QVector<QPointF> visibleArc(double latitude, double longitude, double step)
{
    QVector<QPointF> arc;
    for (double d = -90; d <= 90; d += step) {
        const Pointing p = pointing(latitude, longitude, longitude + d);
        if (p.visible)
            arc.append(QPointF(p.azimuth, p.elevation));
    }
    return arc;
}

} // namespace sitegeometry
