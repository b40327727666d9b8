#pragma once

#include <QPointF>
#include <QVector>

// Where a geostationary satellite stands in the sky of a site: spherical Earth
// (6378.14 km), orbit radius 42164.57 km, angles in degrees, east and north
// positive. Geometric values: no refraction.
namespace sitegeometry {

constexpr double EarthRadiusKm = 6378.14;
constexpr double OrbitRadiusKm = 42164.57;

struct Pointing
{
    bool visible = false; // above the horizon
    double azimuth = 0;   // true, from north through east, 0..360
    double elevation = 0;
    // A fixed dish's LNB turn by the far-satellite formula, atan(sin(satellite -
    // site) / tan(latitude)): positive anticlockwise seen from behind the dish.
    double skew = 0;
    double motorAngle = 0; // USALS angle of a polar mount, east positive
};

Pointing pointing(double latitude, double longitude, double satellite);
double motorAngle(double latitude, double longitude, double satellite);
// A polar mount's dish tilt below the polar axis, and the elevation of the arc's
// highest point (the satellite on the site's own meridian).
double declinationOffset(double latitude);
double arcTopElevation(double latitude);

// The LNB turn a fixed dish needs: the angle from the local vertical to the
// satellite's polarisation (parallel to the Earth's axis), both seen across the
// path to the satellite at its true distance. Positive clockwise seen from
// behind the dish, looking towards the satellite; -90..90.
double fixedDishSkew(double latitude, double longitude, double satellite);
// What is left for an LNB set upright with a polar mount at the arc's top once
// the motor turns the dish to motorAngle: the mount carries the LNB round the
// polar axis, so at the satellite's USALS angle nothing is left. Same sign.
double polarMountSkew(double latitude, double longitude, double satellite, double motorAngle);

// The visible arc as (azimuth, elevation) points, west to east, every step degrees
// of orbital position.
QVector<QPointF> visibleArc(double latitude, double longitude, double step = 0.5);

} // namespace sitegeometry
