#include "sim/noise.h"

#include <cmath>

namespace sim {
namespace {

// SplitMix64's finaliser: every input bit affects every output bit.
quint64 mix(quint64 z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in (0, 1], never 0, so that its logarithm is finite.
double uniform(quint64 bits)
{
    return (double(bits >> 11) + 1.0) / 9007199254740992.0;
}

} // namespace

double gaussianNoise(quint64 seed, quint32 stream, quint64 index)
{
    const quint64 key = mix(mix(seed) ^ (quint64(stream) << 32)) ^ index;
    const quint64 a = mix(key * 2);
    const quint64 b = mix(key * 2 + 1);
    // Box-Muller.
    return std::sqrt(-2.0 * std::log(uniform(a))) * std::cos(2.0 * M_PI * uniform(b));
}

} // namespace sim
