#pragma once

#include <QString>

// The values the options dialog edits, as the window holds them, and how the
// dialog shows and reads its decimal fields.
namespace optionvalues {

struct Values
{
    double longitude = 42.0;
    double latitude = 45.0;
    int agcScaleMin = 0;
    int agcScaleMax = 100;
    bool agcAutoScale = false;
    int driveVersion = 0;
    double oneDegreSteps = 9.6;
    int maxTimeOfPositioning = 1000;
    int gapTime = 200;
    int maxAngle = 80;
    int acousticFreqMinHz = 50;
    int acousticFreqMaxHz = 1000;
    int acousticVolume = 50;
    int acousticScaleMin = 50;
    int acousticScaleMax = 70;
};

// "%.1f" for the site, "%.2f" for the steps per degree; always with a point.
QString oneDecimalText(double value);
QString twoDecimalText(double value);
// The field's text as a number with a point; 0.0 when it is not one.
double decimalValue(const QString& text);

// Why these values cannot be kept (a latitude beyond 90 degrees, a longitude
// beyond 180, no steps per degree), or an empty string.
QString problem(const Values& values);

} // namespace optionvalues
