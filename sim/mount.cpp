#include "sim/mount.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr double DegToRad = M_PI / 180.0;

double dot(const Vector3& a, const Vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3 cross(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vector3 scaled(const Vector3& v, double s)
{
    return {v.x * s, v.y * s, v.z * s};
}

Vector3 sum(const Vector3& a, const Vector3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vector3 normalised(const Vector3& v)
{
    const double n = std::sqrt(dot(v, v));
    return n > 0 ? scaled(v, 1.0 / n) : v;
}

// Rodrigues' rotation of v about the unit axis k.
Vector3 rotated(const Vector3& v, const Vector3& k, double angleRad)
{
    const double c = std::cos(angleRad), s = std::sin(angleRad);
    return sum(sum(scaled(v, c), scaled(cross(k, v), s)), scaled(k, dot(k, v) * (1 - c)));
}

} // namespace

// Coordinates: Earth-centred, x towards the site's meridian on the equator,
// y towards the east, z towards the north pole.

PolarMount::PolarMount(double latitude, double longitude)
    : m_latitude(latitude), m_longitude(longitude)
{
}

double PolarMount::declinationOffset() const
{
    const double phi = m_latitude * DegToRad;
    const double ratio = EarthRadiusKm / OrbitRadiusKm;
    return std::atan(ratio * std::sin(phi) / (1 - ratio * std::cos(phi))) / DegToRad;
}

Vector3 PolarMount::sitePosition() const
{
    const double phi = m_latitude * DegToRad;
    return {EarthRadiusKm * std::cos(phi), 0, EarthRadiusKm * std::sin(phi)};
}

Vector3 PolarMount::satellitePosition(double satelliteLongitude) const
{
    const double d = (satelliteLongitude - m_longitude) * DegToRad;
    return {OrbitRadiusKm * std::cos(d), OrbitRadiusKm * std::sin(d), 0};
}

// The dish's chain from the ground up: the mount turned about the vertical,
// tipped about its east-west line, the motor's turn about the polar axis and
// the dish's lean from it. Each error is signed so that it means the same to
// an installer facing the arc north or south of the equator.
Vector3 PolarMount::boresight(double motorAngleDeg) const
{
    const double hemisphere = m_latitude < 0 ? -1.0 : 1.0;
    const double delta = (declinationOffset() + hemisphere * m_errors.declinationDeg) * DegToRad;
    // About the Earth's axis east is positive: south of the equator the
    // motor's own east is the other way round.
    const double theta = (hemisphere * motorAngleDeg + m_errors.motorZeroDeg) * DegToRad;
    Vector3 b = {std::cos(delta) * std::cos(theta), std::cos(delta) * std::sin(theta),
                 -std::sin(delta)};
    const double phi = m_latitude * DegToRad;
    const Vector3 up = {std::cos(phi), 0, std::sin(phi)};
    const Vector3 east = {0, 1, 0};
    // Facing south, tipping up turns the boresight against the east axis;
    // facing north, with it. Turning east is anticlockwise seen from above
    // when facing south, clockwise when facing north.
    b = rotated(b, east, -hemisphere * m_errors.axisElevationDeg * DegToRad);
    b = rotated(b, up, hemisphere * m_errors.axisAzimuthDeg * DegToRad);
    return normalised(b);
}

double PolarMount::bestMotorAngle(double near, double satelliteLongitude) const
{
    double best = near, bestError = 1e9;
    for (double a = near - 3; a <= near + 3; a += 0.0005) {
        const double e = pointingError(a, satelliteLongitude);
        if (e < bestError) {
            bestError = e;
            best = a;
        }
    }
    return best;
}

double PolarMount::azimuthDeg(double motorAngleDeg) const
{
    const Vector3 b = boresight(motorAngleDeg);
    const double phi = m_latitude * DegToRad;
    const Vector3 north = {-std::sin(phi), 0, std::cos(phi)};
    const Vector3 east = {0, 1, 0};
    const double azimuth = std::atan2(dot(b, east), dot(b, north)) / DegToRad;
    return azimuth < 0 ? azimuth + 360 : azimuth;
}

double PolarMount::elevationDeg(double motorAngleDeg) const
{
    const double phi = m_latitude * DegToRad;
    const Vector3 up = {std::cos(phi), 0, std::sin(phi)};
    return std::asin(std::clamp(dot(boresight(motorAngleDeg), up), -1.0, 1.0)) / DegToRad;
}

double PolarMount::satelliteElevationDeg(double satelliteLongitude) const
{
    const Vector3 site = sitePosition();
    const Vector3 sight =
        normalised(sum(satellitePosition(satelliteLongitude), scaled(site, -1.0)));
    return std::asin(std::clamp(dot(sight, normalised(site)), -1.0, 1.0)) / DegToRad;
}

double PolarMount::pointingError(double motorAngleDeg, double satelliteLongitude) const
{
    const Vector3 site = sitePosition();
    const Vector3 sight =
        normalised(sum(satellitePosition(satelliteLongitude), scaled(site, -1.0)));
    const double c = std::clamp(dot(boresight(motorAngleDeg), sight), -1.0, 1.0);
    return std::acos(c) / DegToRad;
}

bool PolarMount::visible(double satelliteLongitude) const
{
    const Vector3 site = sitePosition();
    const Vector3 sight = sum(satellitePosition(satelliteLongitude), scaled(site, -1.0));
    return dot(sight, site) > 0;
}

double PolarMount::slantRangeKm(double satelliteLongitude) const
{
    const Vector3 d = sum(satellitePosition(satelliteLongitude), scaled(sitePosition(), -1.0));
    return std::sqrt(dot(d, d));
}

double PolarMount::usalsAngle(double latitude, double longitude, double satelliteLongitude)
{
    const double ratio = EarthRadiusKm / OrbitRadiusKm;
    const double d = (satelliteLongitude - longitude) * DegToRad;
    const double phi = latitude * DegToRad;
    const double angle = std::atan2(std::sin(d), std::cos(d) - ratio * std::cos(phi)) / DegToRad;
    return latitude < 0 ? -angle : angle;
}

} // namespace sim
