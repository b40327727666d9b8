#pragma once

#include <QStringList>
#include <QVector>

// The satellites of the satellite list file with the site they are seen from,
// and the motor's table of stored positions.
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

    // Satellite number stored in each slot, -1 for an empty slot.
    const QVector<int>& storedPositions() const { return m_storedPositions; }

private:
    double m_latitude = DefaultLatitude;
    double m_longitude = DefaultLongitude;
    QVector<int> m_storedPositions;
};
