#include "lists/satellitelist.h"

SatelliteList::SatelliteList() : m_storedPositions(StoredPositionCount, -1) {}
