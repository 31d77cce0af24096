#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace quil::test {

// A "song" for the service's tests: a random melody of harmonic notes with
// their own timbre, a bass line and a drum pattern, all drawn from `seed`,
// so that songs of different seeds share nothing but the style. 44 100 Hz.
inline std::vector<float> SyntheticSong(double seconds, uint64_t seed) {
    const double rate = 44100.0;
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double harmonics[6];
    for (double& h : harmonics)
        h = 0.02 + 0.08 * unit(random);
    const double tonic = 180.0 + 120.0 * unit(random);
    const int steps[7] = {0, 2, 4, 5, 7, 9, 11};
    const size_t count = static_cast<size_t>(seconds * rate);
    std::vector<float> samples(count);
    std::normal_distribution<double> noise(0.0, 1.0);
    double phase = 0, bassPhase = 0, frequency = tonic, noteStart = 0, noteLength = 0;
    const double beat = 0.25 + 0.2 * unit(random);
    const uint32_t drumPattern = static_cast<uint32_t>(random());
    for (size_t n = 0; n < count; ++n) {
        const double t = static_cast<double>(n) / rate;
        if (t >= noteStart + noteLength) {
            noteStart = t;
            noteLength = beat * (1 + static_cast<int>(unit(random) * 3));
            const int degree = static_cast<int>(unit(random) * 14);
            frequency = tonic * std::pow(2.0, (steps[degree % 7] + 12 * (degree / 7)) / 12.0);
        }
        phase += 2 * std::numbers::pi * frequency / rate;
        bassPhase += 2 * std::numbers::pi * frequency / 4 / rate;
        const double envelope = std::exp(-2.5 * (t - noteStart));
        double value = 0.12 * std::sin(bassPhase);
        for (int h = 0; h < 6; ++h)
            value += envelope * harmonics[h] * std::sin((h + 1) * phase);
        const int beatIndex = static_cast<int>(t / beat);
        if (drumPattern >> (beatIndex % 32) & 1)
            value += 0.25 * noise(random) * std::exp(-35.0 * (t - beatIndex * beat));
        samples[n] = static_cast<float>(value);
    }
    return samples;
}

}  // namespace quil::test
