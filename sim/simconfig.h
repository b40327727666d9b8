#pragma once

#include "hw/receivers.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"

namespace sim {

// Reads a simulation file (INI) over the defaults; false with *error when the
// file cannot be read or holds a value that is not a number.
bool loadSimConfig(const QString& path, SimConfig* config, SimFaults* faults, QString* error);

// The installation and field options of a "sim,..." receiver string (dish=0.6,
// rain=3, ...) over *config; false with *error on a bad value. Other options
// are left alone.
bool applySimOptions(const hw::ReceiverSpec& request, SimConfig* config, QString* error);

// Whether a "sim,..." option name is one applySimOptions takes.
bool isSimOption(const QString& name);

// Turns the mount's screws as an installer would: each NAME=DEGREES word adds
// to that error (axis-azimuth, axis-elevation, declination, motor-zero), or
// sets it when the first word is "set". False with *error, and *errors
// untouched, on a word it does not take or an error that would end up out of
// its limits.
bool adjustMountErrors(const QStringList& words, MountErrors* errors, QString* error);

// The errors by the names adjustMountErrors takes, "_" for "-" (axis_azimuth).
QVector<QPair<QString, double>> mountErrorValues(const MountErrors& errors);

} // namespace sim
