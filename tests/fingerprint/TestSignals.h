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

}  // namespace quil::test
