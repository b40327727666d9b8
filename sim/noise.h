#pragma once

#include <QtGlobal>

namespace sim {

// A standard normal deviate that depends only on the seed, the stream (what is
// measured) and the draw's index, not on any draw before it: a reading gets the
// same noise in every run, however the reads around it were timed.
double gaussianNoise(quint64 seed, quint32 stream, quint64 index);

} // namespace sim
