#pragma once

#include "sim/physicalscene.h"
#include "sim/simcard.h"

namespace sim {

// Reads a simulation file (INI) over the defaults; false with *error when the
// file cannot be read or holds a value that is not a number.
bool loadSimConfig(const QString& path, SimConfig* config, SimFaults* faults, QString* error);

} // namespace sim
