#pragma once

#include <QStringList>
#include <QVector>

#include <array>

namespace positioner {

// How a polar mount stands off the ideal one, in degrees. The signs are
// physical and the same in both hemispheres:
// - motorZero > 0: at motor angle a the dish stands at a + motorZero along its
//   path (further east);
// - axisAzimuth > 0: the whole mount turned about the vertical so that the
//   dish faces further east;
// - axisElevation > 0: the whole mount tipped up, so that the dish points
//   higher on the meridian (the polar axis flatter than the latitude asks:
//   lower the mount's elevation to mend it);
// - declination > 0: the declination offset set too large (the dish lower).
// The installer's correction for an error is its negative.
struct MountErrors
{
    enum Parameter { MotorZero, AxisAzimuth, AxisElevation, Declination, Count };

    double motorZero = 0, axisAzimuth = 0, axisElevation = 0, declination = 0;

    double& operator[](int parameter);
    double operator[](int parameter) const;
};

// The errors after an adjustment: a correction of the errors is their negative,
// so errors + (-errors) is the ideal mount.
MountErrors operator+(const MountErrors& errors, const MountErrors& adjustment);
MountErrors operator-(const MountErrors& errors);

// A polar mount with its installation errors at a site on a spherical Earth,
// worked out in the site's own east/north/up frame. The dish follows a cone
// round the polar axis; the geostationary arc is not quite such a cone, so even
// the ideal mount passes a few tenths of a degree off satellites near the ends
// of the arc: crossTrack() keeps that part.
class MountModel
{
public:
    static constexpr double EarthRadiusKm = 6378.14;
    static constexpr double OrbitRadiusKm = 42164.57;

    MountModel(double latitude, double longitude, const MountErrors& errors = {});

    // The motor angle (east positive, in both hemispheres) at which the dish
    // comes closest to the satellite; exact, since the dish's path is a cone.
    double peakMotorAngle(double satelliteLongitude) const;
    // The satellite's angle off the dish's path at that motor angle, degrees:
    // positive when the satellite lies ABOVE the path (on the side of the
    // elevated celestial pole), i.e. the path passes below it.
    double crossTrack(double satelliteLongitude) const;
    // The angle between the dish's axis at the motor angle and the satellite.
    double pointingError(double motorAngle, double satelliteLongitude) const;
    // Whether the satellite stands above the site's horizon.
    bool visible(double satelliteLongitude) const;
    // Where the dish points at a motor angle: true azimuth (from north
    // through east) and elevation, degrees.
    void pointing(double motorAngle, double* azimuthDeg, double* elevationDeg) const;

    // The ideal mount's declination offset at the latitude, degrees.
    static double declinationOffset(double latitude);
    // The closed-form USALS motor angle, east positive.
    static double usalsAngle(double latitude, double longitude, double satelliteLongitude);

private:
    struct Direction
    {
        double hourAngle; // round the polar axis, east positive, before the motor's zero
        double height;    // above the plane perpendicular to the axis (towards the pole)
    };
    void satelliteDirection(double satelliteLongitude, double v[3]) const;
    Direction inMountFrame(double satelliteLongitude) const;

    // The dish's axis at a motor angle, in local coordinates.
    void dishAxis(double motorAngle, double dish[3]) const;

    double m_longitude;
    double m_latitudeSign;
    double m_absLatitude;
    double m_cosLatitude;
    MountErrors m_errors;
    double m_declination; // the dish's actual tilt below the axis' plane, radians
    double m_frame[3][3]; // mount axes (east, polar, equator-ward) in local coordinates
};

// One satellite's result of a calibration round.
struct ArcPeak
{
    double satelliteLongitude = 0;
    double motorAngle = 0; // the fine-tune's peak, east positive
    double motorSigma = 0.03;
    bool found = true;
    bool crossTrackKnown = false;
    double crossTrack = 0; // the satellite's offset off the path, as MountModel::crossTrack
    double crossTrackSigma = 0.1;
};

struct MountFit
{
    bool ok = false; // at least one usable peak, and a finite solution
    MountErrors value;
    MountErrors sigma;                // one standard deviation, from the covariance
    std::array<bool, 4> determined{}; // by MountErrors::Parameter
    int used = 0;                     // peaks that went into the fit
    double rmsDeg = 0;                // the residuals' rms, motor and cross-track
    QStringList notes;                // what was left out, what cannot be told yet
};

// The errors that best explain a round's peaks (Gauss-Newton, with a weak prior
// of 0 +- 2 degrees on each error, so it always has a solution).
MountFit fitMount(double latitude, double longitude, const QVector<ArcPeak>& peaks);

// A parameter counts as determined when its sigma is below this: an error that
// small costs an 80 cm dish's Ku-band beam some 0.15 dB, and the data must then
// outweigh the prior sixty-fold.
constexpr double DeterminedSigmaDeg = 0.25;

// The cross-track offset c BEFORE a known adjustment that moved the path
// across the satellite by shiftDeg (c -> c + shiftDeg), from the peak levels
// before and after: the top of a beam falls as curvature * c^2. False when the
// shift is too small to tell (sigma above half a degree), a level lies outside
// the upper main lobe (8 dB) where that parabola holds, or the input is invalid.
// The levels may be in any unit that goes as the decibel, unitsPerDb of them
// to one (the curvature and the sigma in the same).
bool crossTrackFromLevels(double levelBeforeDb, double levelAfterDb, double shiftDeg,
                          double curvatureDbPerDeg2, double levelSigmaDb, double* crossTrack,
                          double* sigma, double unitsPerDb = 1);
// How much an adjustment moves the path across a satellite (the shift of
// crossTrackFromLevels), for a mount that stands at errors before it.
double crossTrackShift(double latitude, double longitude, double satelliteLongitude,
                       const MountErrors& errors, const MountErrors& adjustment);
// The curvature of a beam's top: 3 dB down at half its half-power width,
// 70 wavelengths over the diameter. 0 for a nonsensical dish or frequency.
double beamCurvatureDbPerDeg2(double dishDiameterM, double frequencyMHz);

// What the installer should do, one line an error: those determined and larger
// than both 0.05 degrees and twice their sigma.
QStringList adjustmentAdvice(const MountFit& fit, double latitude);

} // namespace positioner
