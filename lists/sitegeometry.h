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
    double skew = 0;       // LNB turn: the sign of sin(satellite - site) / tan(latitude)
    double motorAngle = 0; // USALS angle of a polar mount, east positive
};

Pointing pointing(double latitude, double longitude, double satellite);
double motorAngle(double latitude, double longitude, double satellite);
// A polar mount's dish tilt below the polar axis, and the elevation of the arc's
// highest point (the satellite on the site's own meridian).
double declinationOffset(double latitude);
double arcTopElevation(double latitude);
// The visible arc as (azimuth, elevation) points, west to east, every step degrees
// of orbital position.
QVector<QPointF> visibleArc(double latitude, double longitude, double step = 0.5);

} // namespace sitegeometry
