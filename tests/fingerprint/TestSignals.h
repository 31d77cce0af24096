#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace quil::test {

inline constexpr int32_t kHop = 1024;

// Deterministic white noise, uniform in [-amplitude, amplitude].
class Noise {
  public:
    explicit Noise(uint64_t seed) : state_(seed * 2862933555777941757ull + 3037000493ull) {}
    float Next(float amplitude) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        double unit = static_cast<double>(state_ >> 11) * 0x1p-53;
        return static_cast<float>((2.0 * unit - 1.0) * amplitude);
    }

  private:
    uint64_t state_;
};

// `hops` hops: from hop `toneStart` on a quiet steady tone (23 cycles per
// hop, bin 46), loud one-hop noise bursts at `bursts` (each an onset once the
// detector has re-armed), and a quiet noise `background` that makes every
// hop differ from the others.
inline std::vector<float> OnsetSignal(int32_t hops, const std::vector<int32_t>& bursts,
                                      int32_t toneStart = 0, float burstAmplitude = 0.5f,
                                      float background = 0.0f) {
    std::vector<float> samples(static_cast<size_t>(hops) * kHop, 0.0f);
    for (size_t i = static_cast<size_t>(toneStart) * kHop; i < samples.size(); ++i)
        samples[i] =
            static_cast<float>(0.05 * std::sin(2.0 * std::numbers::pi * 23.0 * (i % kHop) / kHop));
    Noise noise(static_cast<uint64_t>(bursts.size()) + 7);
    for (float& sample : samples)
        sample += background > 0 ? noise.Next(background) : 0.0f;
    for (int32_t burst : bursts) {
        for (int32_t i = 0; burst >= 0 && burst < hops && i < kHop; ++i)
            samples[static_cast<size_t>(burst) * kHop + i] += noise.Next(burstAmplitude);
    }
    return samples;
}

// Music-like sound: a melody of harmonic notes changing every 12 hops, a
// bass line, and noise-burst drum hits every 16 hops with a short decay.
inline std::vector<float> MusicLikeSignal(double seconds, uint64_t seed = 1) {
    const double rate = 44100.0;
    std::vector<float> samples(static_cast<size_t>(seconds * rate));
    Noise noise(seed);
    const double scale[8] = {261.6, 293.7, 329.6, 392.0, 440.0, 523.3, 587.3, 659.3};
    double phase = 0;
    double bassPhase = 0;
    for (size_t n = 0; n < samples.size(); ++n) {
        double frequency = scale[(n / kHop / 12 * 5 + seed) % 8];
        phase += 2.0 * std::numbers::pi * frequency / rate;
        bassPhase += 2.0 * std::numbers::pi * frequency / 4.0 / rate;
        double envelope = std::exp(-3.0 * static_cast<double>(n % (12 * kHop)) / rate);
        double value = 0;
        for (int harmonic = 1; harmonic <= 5; ++harmonic)
            value += envelope * 0.08 / harmonic * std::sin(harmonic * phase);
        value += 0.1 * std::sin(bassPhase);
        double inBeat = static_cast<double>(n % (16 * kHop)) / rate;
        samples[n] = static_cast<float>(value + noise.Next(0.4f) * std::exp(-40.0 * inBeat));
    }
    return samples;
}

}  // namespace quil::test
