#pragma once

#include <QLocale>
#include <QString>

// The values the options dialog edits, as the window holds them, and how the
// dialog shows and reads its decimal fields.
namespace optionvalues {

struct Values
{
    double longitude = 42.0;
    double latitude = 45.0;
    double minElevation = 0.0; // degrees above the horizon a satellite must stand
    int agcScaleMin = 0;
    int agcScaleMax = 100;
    bool agcAutoScale = false;
    int driveVersion = 0;
    double oneDegreSteps = 9.6;
    int maxTimeOfPositioning = 1000;
    int gapTime = 200;
    int maxAngle = 80;
    double dishDiameter = 0.8; // metres
    int acousticFreqMinHz = 50;
    int acousticFreqMaxHz = 1000;
    int acousticVolume = 50;
    int acousticScaleMin = 50;
    int acousticScaleMax = 70;
};

// "%.1f" for the site, "%.2f" for the steps per degree; always with a point.
QString oneDecimalText(double value);
QString twoDecimalText(double value);

// A decimal field's text as a number: a point always, a comma too where the
// user's language writes one ("43,5" in Russian or German). False for
// anything else, an empty field among them: never a value made up.
bool parseDecimal(const QString& text, const QLocale& language, double* value);
// The pattern a decimal field lets the user type: an optional sign when
// negative values are allowed, digits, a point or a comma and up to that many
// decimals. What is typed stays as typed: a comma where the language writes
// none is refused on OK with a message, not dropped while typing ("9,6" would
// become 96).
QString typingPattern(bool negative, int decimals);

// Why these values cannot be kept (a latitude beyond 90 degrees, a longitude
// beyond 180, no steps per degree, a minimum elevation or dish diameter out of
// range), or an empty string.
QString problem(const Values& values);

constexpr double MaxMinElevation = 60;
constexpr double MinDishDiameter = 0.2;
constexpr double MaxDishDiameter = 10;

} // namespace optionvalues
