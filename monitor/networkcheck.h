#pragma once

#include "hw/transportstream.h"

#include <QString>
#include <QStringList>
#include <QVector>

// "Which satellite am I on?": the network a locked transponder names against
// the satellite chosen in the list.
namespace networkcheck {

enum class Verdict {
    Unknown,  // the network gives no position, or no satellite is chosen
    Match,    // within half a degree of the chosen satellite
    Mismatch, // the dish is on another satellite
};

Verdict verdict(const hw::NetworkInfo& info, double chosenPosition);
// The satellite of the list in the slot at position (the nearest, within the
// half degree the verdict allows); empty when the list has none there.
QString satelliteAt(const QStringList& names, const QVector<double>& positions, double position);
// "42.0°E", "30.0°W".
QString positionText(double degrees);
// "Network: Türksat — 42.0°E"; on a mismatch "Network: Hellas Sat — you are on
// Hellas Sat 3/4 at 39.0°E, not 42.0°E", naming listedThere, the satellite of
// the list at the network's position, or "a satellite at 39.0°E" without one;
// without a position "Network: Türksat".
QString text(const hw::NetworkInfo& info, Verdict v, double chosenPosition,
             const QString& listedThere = QString());
// When no network information came within the time limit.
QString noneText();

} // namespace networkcheck
