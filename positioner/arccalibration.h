#pragma once

#include "positioner/mountfit.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

namespace positioner {

// What a calibration round measured on one satellite: where the fine-tune
// peaked, and the peak's level with the beam's curvature as the same meter
// showed it along the arc (any unit that goes as the decibel: the AGC's
// percent will do), and how many of those units make a decibel there.
struct CalibrationPeak
{
    double satelliteLongitude = 0;
    bool found = false;
    double motorAngle = 0; // east positive
    double level = 0;      // at the peak
    double curvature = 0;  // per degree squared; 0: not measured
    double unitsPerDb = 1;
    double cnDb = 0; // the C/N there, for the user
};

// The arc's calibration as it is kept between runs: the mount's fitted
// errors, what the installer was last asked to adjust, the last round's peaks
// (the next round's levels are read against them), and offsets the user
// stores for satellites that are not where their nominal position says.
struct ArcCalibration
{
    int rounds = 0;
    bool fitted = false;
    MountErrors errors; // the mount as it stood at the last round
    MountErrors sigma;
    std::array<bool, 4> determined{};
    // Asked of the installer since the last round (a test tilt, or the
    // corrections); the motor's zero is never among them: gotos allow for it.
    MountErrors pending;
    bool testTilt = false; // pending is the test tilt alone
    // What the installer has since said is done ("Adjusted"): the gotos
    // allow for it, and the next round reads the levels' change against it.
    MountErrors made;
    QVector<CalibrationPeak> peaks;
    QMap<int, double> offsets; // by orbital position in tenths, degrees east
    QStringList notes;         // what the last round could not tell

    // The last round's words to the installer: what to adjust, or the test
    // tilt to make before the next round.
    QStringList advice(double latitude) const;
    // The motor angle to send for a satellite: where the fitted mount peaks
    // on it (the USALS angle before any fit), plus the user's offset.
    double gotoAngle(double latitude, double longitude, double satelliteLongitude) const;
    // The installer did what was asked: the mount now stands at errors +
    // made + pending.
    void assumeAdjusted();
    double offsetOf(double satelliteLongitude) const;
    void setOffset(double satelliteLongitude, double degrees);

    // One line of text for the settings store; fromText takes what toText
    // gave, and anything else as no calibration at all.
    QString toText() const;
    static ArcCalibration fromText(const QString& text);
};

// A round's result: the fit of the peaks, read with the previous round's
// levels where the installer has since made a known adjustment (that gives
// how far the arc passes off each satellite), the advice, and what to ask of
// the installer next. The levels' noise is levelSigma, in their units.
ArcCalibration nextRound(const ArcCalibration& before, double latitude, double longitude,
                         const QVector<CalibrationPeak>& peaks, double levelSigma = 0.1);

// The test tilt a first round asks for when the motor angles alone cannot
// show the mount's errors across the arc: half a degree of the mount's
// elevation, the way the motor angles lean.
constexpr double TestTiltDeg = 0.5;

} // namespace positioner
