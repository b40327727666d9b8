#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The satellites of the satellite list file, which of them the site sees and
// at what motor angle, the combo box labels, each satellite's remembered
// transponder, and the motor's table of stored positions.
class SatelliteList
{
public:
    static constexpr int StoredPositionCount = 60;
    static constexpr int MaxRememberedNumber = 10000;
    static constexpr int MaxNameLength = 100;
    static constexpr double DefaultLatitude = 45.0;
    static constexpr double DefaultLongitude = 42.0;
    static constexpr double EarthRadiusKm = 6378;
    static constexpr double OrbitRadiusKm = 42164;

    SatelliteList();

    // Per satellite, file order.
    QVector<int> numbers;
    QStringList names;
    QVector<double> orbitalPositions;
    QVector<double> motorAngles; // -1.0 for a satellite below the horizon
    QStringList transponderFiles;
    // By satellite number: "None" or "freq,pol,sr"; one entry per satellite,
    // more where the file skips numbers.
    QStringList lastTransponders;
    QVector<bool> visibleFlags;
    // Per combo box row; row 0 is the empty entry.
    QStringList labels;
    QVector<int> shownNumbers;
    QStringList shownFiles;
    QVector<int> storedPositions; // satellite number per motor position, -1 free

    double siteLongitude() const { return m_longitude; }
    double siteLatitude() const { return m_latitude; }
    void setSiteLatitude(double latitude);
    void setSiteLongitude(double longitude);
    void setLocation(double longitude, double latitude);
    // Satellites lower in the sky than this are not offered (degrees; 0 by
    // default: none below the horizon).
    void setMinimumElevation(double degrees);
    double minimumElevation() const { return m_minimumElevation; }

    int satelliteCount() const { return numbers.size(); }
    void addSatellite(int number, const QString& name, double position, const QString& file);
    // Reads the satellite list file (CP1251); lines that do not match are
    // skipped with a debug line naming the file and the line.
    void loadFile(const QString& fileName);

    // Above the minimum elevation, with a motor angle a polar mount can turn to.
    bool isVisible(double position) const;
    double motorAngleOf(double position) const;
    void computeAngles();
    void buildLabels();
    void markStoredPositions();
    int indexOfShown(int number) const;
    int storedPositionOf(int number) const;

    // The remembered transponder of a satellite number, or "None" for a number
    // that has no entry.
    QString lastTransponderOf(int number) const;
    bool setLastTransponder(int number, const QString& transponder);

    // The 60-line text form: one decimal number and a line feed per slot.
    QString storedPositionsText() const;
    // Line n goes to slot n; a line that is not a number leaves its slot empty;
    // missing lines keep their slots; lines after the 60th are ignored.
    void parseStoredPositions(const QString& text);
    // Takes a saved list whole when it has one entry per satellite number; otherwise
    // keeps the entry of each satellite number the file still has (the rest
    // stay "None"). False when nothing was taken.
    bool applySavedTransponders(const QStringList& saved);

    // The combo box text of one satellite.
    static QString label(double motorAngle, double orbitalPosition, const QString& name);
    // A label with the stored position it is recorded at: "label - [n]".
    static QString positionLabel(const QString& label, int position);

private:
    double m_latitude = DefaultLatitude;
    double m_longitude = DefaultLongitude;
    double m_minimumElevation = 0.0;
};
