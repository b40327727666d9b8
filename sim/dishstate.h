#pragma once

#include "sim/motor.h"

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
// Written whole or not at all; false when it could not be written.
bool saveDishState(const QString& path, const DishMotor::State& state);

} // namespace sim
