#pragma once

#include "hw/transportstream.h"

#include <QString>

// "Which satellite am I on?": the network a locked transponder names against
// the satellite chosen in the list.
namespace networkcheck {

enum class Verdict {
    Unknown,  // the network gives no position, or no satellite is chosen
    Match,    // within half a degree of the chosen satellite
    Mismatch, // the dish is on another satellite
};

Verdict verdict(const hw::NetworkInfo& info, double chosenPosition);
// "42.0°E", "30.0°W".
QString positionText(double degrees);
// "Network: Türksat — 42.0°E"; on a mismatch "Network: Hellas Sat — you are on
// 39.0°E, not 42.0°E"; without a position "Network: Türksat".
QString text(const hw::NetworkInfo& info, Verdict v, double chosenPosition);
// When no network information came within the time limit.
QString noneText();

} // namespace networkcheck
