#pragma once

#include <cstdint>

namespace quil {

// Standard normal white noise (mean 0, deviation 1), the same sequence for
// the same seed on every machine. Each value is one of 4096 equally likely
// quantiles of the normal distribution, picked by 12 bits of a SplitMix64
// stream: as good as exact for noise added to sound (it stops at 3.7
// deviations, beyond which one value in 5000 lies), and many times faster
// than the standard library's generator and distribution, which made up half
// the time of indexing a recording with its noisy tracks. The table fits in
// the first-level cache.
class GaussianNoise {
  public:
    static constexpr int kBits = 12;

    explicit GaussianNoise(uint64_t seed);

    double Next() {
        if (spare_ == 0) {
            bits_ = NextBits();
            spare_ = 64 / kBits;
        }
        --spare_;
        const double value = quantiles_[bits_ & ((1u << kBits) - 1)];
        bits_ >>= kBits;
        return value;
    }

    // The normal quantile at (i + 0.5) / 4096, i the low 12 bits of `index`.
    static double Quantile(uint32_t index);

  private:
    uint64_t NextBits();

    const double* quantiles_;  // the shared constant table
    uint64_t state_;
    uint64_t bits_ = 0;
    int spare_ = 0;
};

}  // namespace quil
