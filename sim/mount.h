#pragma once

#include <QtGlobal>

namespace sim {

struct Vector3
{
    double x = 0, y = 0, z = 0;
};

// How a real mount is set up wrong, in degrees, as an installer sees it in
// either hemisphere.
struct MountErrors
{
    // What any of them may be: more than this and no installer would call
    // the dish aligned at all.
    static constexpr double LimitDeg = 5.0;

    // The whole mount turned east of where it should face: the dish at motor
    // angle 0 points east of due south (north of the equator) or of due north
    // (south of it).
    double axisAzimuthDeg = 0;
    // The whole mount tipped up: the dish at motor angle 0 points higher. The
    // polar axis is then flatter than the site's latitude asks, as if set for
    // a lower latitude.
    double axisElevationDeg = 0;
    // The declination offset set too large: the dish leans further from the
    // polar axis towards the equator and points lower all along the arc.
    double declinationDeg = 0;
    // The motor's reference off: at motor angle 0 the dish points this far
    // east along its path (the user's east, as the motor angles of the
    // satellite list go, in both hemispheres).
    double motorZeroDeg = 0;

    bool operator==(const MountErrors& o) const
    {
        return axisAzimuthDeg == o.axisAzimuthDeg && axisElevationDeg == o.axisElevationDeg &&
               declinationDeg == o.declinationDeg && motorZeroDeg == o.motorZeroDeg;
    }
    bool operator!=(const MountErrors& o) const { return !(*this == o); }
};

// The four in that order, for what goes through them all.
inline constexpr double MountErrors::*MountErrorFields[] = {
    &MountErrors::axisAzimuthDeg, &MountErrors::axisElevationDeg, &MountErrors::declinationDeg,
    &MountErrors::motorZeroDeg};

// A dish on a polar (USALS-style) mount at a site on a spherical Earth. Motor
// angle 0 points the dish at the geostationary arc on the site's meridian; the
// dish is tilted by the declination offset. South of the equator the motor is
// mounted facing north and turns the other way round the polar axis: its own
// angles (those of motorAngleDeg below) are east positive only north of it.
class PolarMount
{
public:
    static constexpr double EarthRadiusKm = 6378.14;
    static constexpr double OrbitRadiusKm = 42164.57;

    PolarMount(double latitude, double longitude);

    void setErrors(const MountErrors& errors) { m_errors = errors; }
    const MountErrors& errors() const { return m_errors; }

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
    MountErrors m_errors;
};

} // namespace sim
