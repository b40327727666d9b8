#pragma once

#include <QLocale>
#include <QString>

#include <vector>

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
    // How long the motor took a degree in gotos the readings saw end, at
    // 13 V and at 18 V; 0 while not learnt (MaxTimeOfPositioning stands in).
    int learnedMsPerDegree13V = 0;
    int learnedMsPerDegree18V = 0;
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

// One row per option: its key under "Settings/", its type, what the dialog
// takes (and so does "zenara --remote set"), what the store still reads (a
// value beyond is damage and reads as the default), the member it lives in,
// and the dialog's words for a value it refuses (%1 and %2: the bounds).
struct Key
{
    enum class Kind { Real, Whole, Flag };
    const char* name;
    Kind kind;
    double minimum;
    double maximum;
    double readMinimum;
    double readMaximum;
    double Values::*real;
    int Values::*whole;
    bool Values::*flag;
    const char* refusal;
};

// Every option, in the dialog's order.
const std::vector<Key>& keys();
// The row for a name with or without "Settings/"; nullptr for none.
const Key* findKey(const QString& name);
// The store's key: "Settings/" and the name.
QString storeKey(const Key& key);
double valueOf(const Values& values, const Key& key);
void setValue(Values* values, const Key& key, double value);
// Why this value cannot be kept for this key (the dialog's message), or empty.
QString refusal(const Key& key, double value);

// Why these values cannot be kept (the first option changed from before to
// a value the dialog does not take, in the dialog's order), or an empty
// string. A value kept from before stays, even beyond the dialog's range (a
// file written by hand or an older version may hold one).
QString problem(const Values& values, const Values& before);

} // namespace optionvalues
