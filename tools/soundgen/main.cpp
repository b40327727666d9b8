// Writes the lock sound: a soft two-note chime, 16-bit mono PCM WAV, made from
// sine tones so that it is ours entirely. Usage: soundgen OUTPUT.wav

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void put16(std::FILE* f, uint16_t v)
{
    const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

void put32(std::FILE* f, uint32_t v)
{
    const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: soundgen OUTPUT.wav\n");
        return 2;
    }
    constexpr int rate = 22050;
    constexpr double seconds = 0.8;
    const int frames = int(rate * seconds);
    std::vector<int16_t> samples(size_t(frames), 0);
    // Two notes a fifth apart, each with a quick attack and an exponential decay.
    const struct
    {
        double start, hz;
    } notes[] = {{0.0, 880.0}, {0.18, 1318.5}};
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (const auto& n : notes) {
            const double u = t - n.start;
            if (u < 0)
                continue;
            const double envelope = std::min(1.0, u / 0.005) * std::exp(-u * 7.0);
            v += 0.35 * envelope * std::sin(2 * M_PI * n.hz * u);
        }
        samples[size_t(i)] = int16_t(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
    }

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const uint32_t dataBytes = uint32_t(frames * 2);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 1); // mono
    put32(f, rate);
    put32(f, rate * 2);
    put16(f, 2);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    for (int16_t s : samples)
        put16(f, uint16_t(s));
    return std::fclose(f) == 0 ? 0 : 1;
}
