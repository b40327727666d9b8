#pragma once

#include "sim/motor.h"
#include "sim/mount.h"

#include <QString>

// Where the simulated dish was left, kept between runs in a small file of the
// user's, as a real motor keeps its place and its memory when the program
// ends: a restart finds the dish on the satellite it was last sent to.
namespace sim {

// $XDG_STATE_HOME/zenara/simulated-dish.ini (~/.local/state when unset).
QString dishStatePath();

// False when there is no such file or it holds nothing usable (a value that
// is not a finite angle, a FIFO or a directory where the file should be):
// the motor then starts from its reference.
bool loadDishState(const QString& path, DishMotor::State* state);
// The mount's errors as the simulation installed them and as the installer
// left them: the screws turned since stay turned while the installation is
// the same.
struct MountState
{
    MountErrors installed;
    MountErrors current;
};

// False when the file keeps no mount (written before mounts were kept) or
// one out of its limits.
bool loadMountState(const QString& path, MountState* mount);

// Written whole or not at all; false when it could not be written.
bool saveDishState(const QString& path, const DishMotor::State& state, const MountState& mount);

} // namespace sim
