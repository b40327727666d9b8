#include "lists/sitegeometry.h"

#include <cmath>

namespace sitegeometry {

namespace {

constexpr double DegToRad = M_PI / 180.0;

struct Vector
{
    double x, y, z;
};

double dot(const Vector& a, const Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector cross(const Vector& a, const Vector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The part of v across the unit vector d.
Vector across(const Vector& v, const Vector& d)
{
    const double k = dot(v, d);
    return {v.x - k * d.x, v.y - k * d.y, v.z - k * d.z};
}

} // namespace

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

double fixedDishSkew(double latitude, double longitude, double satellite)
{
    // The turn about the path from the vertical plane through it to the plane
    // through it parallel to the Earth's axis, at the satellite's true distance:
    // the far-satellite formula is off by up to a third of a degree.
    const double phi = latitude * DegToRad;
    const double delta = (satellite - longitude) * DegToRad;
    const double ratio = EarthRadiusKm / OrbitRadiusKm;
    const double range = std::sqrt(1 + ratio * ratio - 2 * ratio * std::cos(phi) * std::cos(delta));
    const double sideways = -std::sin(delta) * std::cos(phi) * range;
    const double upright = std::sin(phi) * (1 - ratio * std::cos(phi) * std::cos(delta));
    // On the equator the arc is the plane of the vertical: a quarter turn, and
    // none for the satellite overhead.
    if (upright == 0)
        return sideways == 0 ? 0.0 : std::copysign(90.0, sideways);
    return std::atan(sideways / upright) / DegToRad;
}

double polarMountSkew(double latitude, double longitude, double satellite, double motorAngle)
{
    // x towards the site's meridian on the equator, y east, z the Earth's axis.
    const double phi = latitude * DegToRad;
    const double delta = (satellite - longitude) * DegToRad;
    Vector path{OrbitRadiusKm * std::cos(delta) - EarthRadiusKm * std::cos(phi),
                OrbitRadiusKm * std::sin(delta), -EarthRadiusKm * std::sin(phi)};
    const double length = std::sqrt(dot(path, path));
    path = {path.x / length, path.y / length, path.z / length};
    // The LNB's upright as set at the arc's top (across the dish, in the
    // meridian plane), carried round the polar axis by the motor.
    const double tilt = declinationOffset(latitude) * DegToRad;
    const double turn = motorAngle * DegToRad;
    const Vector upright{std::sin(tilt) * std::cos(turn), std::sin(tilt) * std::sin(turn),
                         std::cos(tilt)};
    const Vector reference = across(upright, path);
    const Vector polarisation = across({0, 0, 1}, path);
    // Clockwise looking along the path is from the reference towards its right.
    const Vector right = cross(path, reference);
    double angle = std::atan2(dot(polarisation, right), dot(polarisation, reference)) / DegToRad;
    // A linear polarisation turned half round is the same one.
    if (angle > 90)
        angle -= 180;
    else if (angle < -90)
        angle += 180;
    return angle;
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
