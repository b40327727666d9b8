#pragma once

#include <QtGlobal>

namespace sim {

struct Vector3
{
    double x = 0, y = 0, z = 0;
};

// A dish on a polar (USALS-style) mount at a site on a spherical Earth. Motor
// angle 0 points the dish at the geostationary arc on the site's meridian; the
// dish is tilted by the declination offset. South of the equator the motor is
// mounted facing north and turns the other way round the polar axis.
class PolarMount
{
public:
    static constexpr double EarthRadiusKm = 6378.14;
    static constexpr double OrbitRadiusKm = 42164.57;

    PolarMount(double latitude, double longitude);

    // Installation error: the whole mount tipped up (positive) in elevation and
    // turned east (positive) in azimuth, in degrees.
    void setInstallationError(double elevationDeg, double azimuthDeg);

    double latitude() const { return m_latitude; }
    double longitude() const { return m_longitude; }
    double declinationOffset() const; // degrees, the dish's tilt below the polar axis

    // Angle in degrees between the dish's boresight at the motor angle and the
    // direction to the satellite at the given orbital longitude.
    double pointingError(double motorAngleDeg, double satelliteLongitude) const;
    // The compass direction the dish points at the motor angle, degrees from
    // north through east (0..360).
    double azimuthDeg(double motorAngleDeg) const;
    // How high above the horizon the dish points at the motor angle, and a
    // satellite stands, in degrees.
    double elevationDeg(double motorAngleDeg) const;
    double satelliteElevationDeg(double satelliteLongitude) const;
    // The motor angle within +-3 degrees of near that points closest to the
    // satellite (an installation error leaves a part no motor angle removes).
    double bestMotorAngle(double near, double satelliteLongitude) const;
    // Whether the satellite is above the site's horizon.
    bool visible(double satelliteLongitude) const;
    // Distance from the site to the satellite, km.
    double slantRangeKm(double satelliteLongitude) const;

    // The closed-form USALS motor angle for a satellite (east positive, in the
    // motor's own sense of rotation).
    static double usalsAngle(double latitude, double longitude, double satelliteLongitude);

private:
    Vector3 sitePosition() const;
    Vector3 satellitePosition(double satelliteLongitude) const;
    Vector3 boresight(double motorAngleDeg) const;

    double m_latitude;
    double m_longitude;
    double m_elevationError = 0;
    double m_azimuthError = 0;
};

} // namespace sim
