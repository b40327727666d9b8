#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The satellites of the satellite list file with the site they are seen from,
// their remembered transponders, and the motor's table of stored positions.
class SatelliteList
{
public:
    static constexpr int StoredPositionCount = 60;
    static constexpr double DefaultLatitude = 45.0;
    static constexpr double DefaultLongitude = 42.0;

    SatelliteList();

    double siteLatitude() const { return m_latitude; }
    double siteLongitude() const { return m_longitude; }
    void setSiteLatitude(double latitude) { m_latitude = latitude; }
    void setSiteLongitude(double longitude) { m_longitude = longitude; }

    int satelliteCount() const { return m_numbers.size(); }
    void addSatellite(int number, const QString& name, double position, const QString& file);

    // Satellite number stored in each slot, -1 for an empty slot.
    const QVector<int>& storedPositions() const { return m_storedPositions; }
    void setStoredPosition(int slot, int satellite);
    // The 60-line text form: one decimal number and a line feed per slot.
    QString storedPositionsText() const;
    // Fills the slots from that text: line n goes to slot n; a line that is not a
    // number leaves its slot empty; missing lines keep their slots; lines after
    // the 60th are ignored.
    void parseStoredPositions(const QString& text);

    // One entry per satellite, "None" or "freq,pol,sr".
    const QStringList& lastTransponders() const { return m_lastTransponders; }
    // Takes a saved list only when it has exactly one entry per satellite.
    bool applySavedTransponders(const QStringList& saved);

    // Combo box texts (entry 0 empty once a file was read).
    const QStringList& labels() const { return m_labels; }

    void loadFile(const QString& fileName);

private:
    double m_latitude = DefaultLatitude;
    double m_longitude = DefaultLongitude;
    QVector<int> m_numbers;
    QStringList m_names;
    QVector<double> m_orbitalPositions;
    QStringList m_transponderFiles;
    QVector<int> m_storedPositions;
    QStringList m_lastTransponders;
    QStringList m_labels;
};
