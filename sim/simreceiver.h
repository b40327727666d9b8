#pragma once

#include "hw/receivers.h"
#include "sim/simcard.h"

namespace sim {

// Makes the simulated card available as the receiver "sim".
void registerSimulatedReceiver();

// The faults a "sim,..." receiver string asks for; false with *error on a bad option.
bool parseFaults(const hw::ReceiverSpec& request, SimFaults* faults, QString* error);

} // namespace sim
