#pragma once

#include "settings/optionvalues.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include <limits>
#include <memory>

// Keys of the settings store, relative to the application's own section.
namespace settingskeys {
inline const QString GeometryMaximized = QStringLiteral("Geometry/MainwindowMaximized");
inline const QString GeometryX = QStringLiteral("Geometry/MainwindowX");
inline const QString GeometryY = QStringLiteral("Geometry/MainwindowY");
inline const QString GeometryWidth = QStringLiteral("Geometry/MainwindowWidth");
inline const QString GeometryHeight = QStringLiteral("Geometry/MainwindowHeight");
inline const QString MotorPositions = QStringLiteral("Settings/MotorPositions");
inline const QString FreqList = QStringLiteral("Settings/FreqList");

// A stored window position beyond this many pixels from the origin is damage:
// within it, no rectangle arithmetic can overflow.
constexpr int MaxCoordinate = 1000000;
} // namespace settingskeys

// Every value that survives a restart, with its default.
struct StoredSettings
{
    QString layout; // the window's toolbar and dock arrangement, base64
    int frequency = 11044;
    int symbolRate = 39999;
    int polarization = 0;
    bool lnbPower = true;
    bool iout650mA = false;
    bool voutHigh = false;
    int lnbType = 0;
    QString lof1 = QStringLiteral("9750");
    QString lof2 = QStringLiteral("10600");
    QString lofSwitch = QStringLiteral("11700");
    int diseqc = 0;
    int simplePosition = 0;
    int multiOption = 0;
    bool acoustic = false;
    bool curveBer = true;
    bool curveSnr = true;
    bool curveAgc = true;
    optionvalues::Values options; // what the options dialog edits
    int tuneMethod = 0;           // 0 hill climb, 1 sweep and fit
    QString arcCalibration;       // the mount's calibration, one line
    QString signalLog;            // CSV file the poll appends to; empty: none
    QString transpondersPath = QStringLiteral("./Transponders/");
    QString motorPositions;
    QStringList freqList;
    int currentPosition = 0;
    int currentSat = 0;

    // Geometry, read at start-up before the window is built.
    bool maximized = false;
    int x = 0;
    int y = 0;
    int width = 439;
    int height = 592;

    bool operator==(const StoredSettings& other) const;
};

// The store: an INI file "Tavarin/zenara.ini" in the user's configuration
// folder. Qt writes it through a temporary file renamed into place, so an
// interrupted write never leaves a damaged file.
std::unique_ptr<QSettings> openSettings();
// The store's file, for messages.
QString settingsPath();

StoredSettings readSettings(const QSettings& settings);
// Writes every key in the store's order; geometry first, the layout last.
void writeSettings(QSettings& settings, const StoredSettings& values);

// Writes the stored-position table and the remembered transponders at once, so
// that a crash or power cut does not lose them. Returns false if the store
// could not be written.
bool writeListsNow(const QString& motorPositions, const QStringList& freqList);

// Whether the last sync wrote the store. A store that held lines Qt could not
// parse reports a format error although it was written: only an access error
// means the values are not in the file.
bool writtenOut(const QSettings& settings);

// Typed reads that fall back to the default when a key is missing, its value
// cannot be read as the type asked for, or it lies outside [min, max] (a real
// must also be finite: "nan" and "inf" are not numbers here). Booleans are
// stored as 0 and 1; "true" and "false" are understood too, and any other
// number reads as on.
int readInt(const QSettings& settings, const QString& key, int defaultValue,
            int min = std::numeric_limits<int>::min(), int max = std::numeric_limits<int>::max());
bool readBool(const QSettings& settings, const QString& key, bool defaultValue);
double readDouble(const QSettings& settings, const QString& key, double defaultValue,
                  double min = -std::numeric_limits<double>::max(),
                  double max = std::numeric_limits<double>::max());
