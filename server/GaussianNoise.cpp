#include "server/GaussianNoise.h"

#include <array>
#include <cmath>
#include <numbers>

namespace quil {

namespace {

constexpr int kLevels = 1 << GaussianNoise::kBits;

// The normal distribution's quantiles at (i + 0.5) / 4096, each found by
// Newton's method on the distribution function from its neighbour; the
// table is symmetric, so only the upper half is searched.
std::array<double, kLevels> MakeQuantiles() {
    std::array<double, kLevels> table{};
    double x = 0;
    for (int i = kLevels / 2; i < kLevels; ++i) {
        const double p = (i + 0.5) / kLevels;
        for (int step = 0; step < 50; ++step) {
            const double cdf = 0.5 * std::erfc(-x / std::numbers::sqrt2);
            const double density = std::exp(-0.5 * x * x) / std::sqrt(2 * std::numbers::pi);
            const double next = x - (cdf - p) / density;
            if (std::abs(next - x) < 1e-13)
                break;
            x = next;
        }
        table[static_cast<size_t>(i)] = x;
        table[static_cast<size_t>(kLevels - 1 - i)] = -x;
    }
    return table;
}

// Constant data, made once (thread-safe) on first use.
const std::array<double, kLevels>& Quantiles() {
    static const std::array<double, kLevels> table = MakeQuantiles();
    return table;
}

}  // namespace

GaussianNoise::GaussianNoise(uint64_t seed) : quantiles_(Quantiles().data()), state_(seed) {}

double GaussianNoise::Quantile(uint32_t index) {
    return Quantiles()[index & (kLevels - 1)];
}

uint64_t GaussianNoise::NextBits() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

}  // namespace quil
