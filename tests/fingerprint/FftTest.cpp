#include "fingerprint/Fft.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "ReferenceAnalysis.h"
#include "TestSignals.h"

namespace quil {
namespace {

// Input `variant` of n values: unit-sized noise; values spread over many
// magnitudes; sparse zeros of either sign (where the sign of a zero result
// depends on the order of the operations) with subnormal and unit values
// among them, also with one infinite or NaN value; all -0.
std::vector<FftComplex> Input(int32_t n, int32_t variant) {
    const float special[] = {0.0f, -0.0f, 1e-45f, -1e-40f, 1.0f, -0.5f, INFINITY, -INFINITY, NAN};
    test::Noise noise(static_cast<uint64_t>(n * 10 + variant));
    auto pick = [&](float unit) {
        auto index = static_cast<size_t>((unit + 1.0f) * 10);
        return special[index < 6 ? index : index % 2];
    };
    std::vector<FftComplex> data(static_cast<size_t>(n));
    for (FftComplex& value : data) {
        const float re = noise.Next(1.0f);
        const float im = noise.Next(1.0f);
        value = variant == 0   ? FftComplex{re, im}
                : variant == 1 ? FftComplex{std::ldexp(re, static_cast<int>(im * 40)),
                                            std::ldexp(im, static_cast<int>(re * 40))}
                : variant < 6  ? FftComplex{pick(re), pick(im)}
                               : FftComplex{-0.0f, -0.0f};
    }
    if (variant >= 3 && variant <= 5)
        data[static_cast<size_t>(n / 3)].im = special[variant + 3];
    return data;
}

// Values that differ in their bits, unless both are NaN: which NaN an
// operation returns when several meet is the compiler's choice of operand
// order, not the transform's.
int32_t Differences(const std::vector<FftComplex>& got, const std::vector<FftComplex>& want) {
    int32_t differing = 0;
    for (size_t k = 0; k < 2 * got.size(); ++k) {
        const float g = (&got[0].re)[k];
        const float w = (&want[0].re)[k];
        differing += std::bit_cast<uint32_t>(g) != std::bit_cast<uint32_t>(w) &&
                     !(std::isnan(g) && std::isnan(w));
    }
    return differing;
}

TEST(Fft, BitForBitThePlainTransformOnEveryPathAndSize) {
    for (VectorInstructions instructions :
         {VectorInstructions::kBest, VectorInstructions::kBaseline}) {
        for (int32_t n = 1; n <= Fft::kMaxSize; n *= 2) {
            Fft fft(n, instructions);
            for (int32_t variant = 0; variant < 7; ++variant) {
                SCOPED_TRACE(
                    std::string(instructions == VectorInstructions::kBest ? "best" : "baseline") +
                    " n=" + std::to_string(n) + " input " + std::to_string(variant));
                const std::vector<FftComplex> input = Input(n, variant);
                for (bool inverse : {false, true}) {
                    std::vector<FftComplex> got = input;
                    std::vector<FftComplex> want = input;
                    fft.Transform(got.data(), inverse);
                    test::ReferenceTransform(want.data(), n, inverse);
                    EXPECT_EQ(Differences(got, want), 0) << (inverse ? "inverse" : "forward");
                }
                // Real input: the real parts, times the window.
                std::vector<float> samples(static_cast<size_t>(n));
                std::vector<FftComplex> want(static_cast<size_t>(n));
                for (int32_t i = 0; i < n; ++i) {
                    samples[i] = input[i].re;
                    want[i] = {samples[i] * test::HannWindow(i, n), 0.0f};
                }
                std::vector<FftComplex> got(static_cast<size_t>(n));
                fft.ForwardReal(samples.data(), got.data());
                test::ReferenceTransform(want.data(), n, false);
                EXPECT_EQ(Differences(got, want), 0) << "real";
            }
        }
    }
}

TEST(Fft, CloseToTheDefiningSumAndBack) {
    // The plain transform's own anchor: 64 points of unit-sized noise.
    constexpr int32_t n = 64;
    const std::vector<FftComplex> input = Input(n, 0);
    std::vector<FftComplex> data = input;
    Fft fft(n);
    fft.Transform(data.data(), false);
    for (int32_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (int32_t i = 0; i < n; ++i)
            sum += std::complex<double>(input[i].re, input[i].im) *
                   std::polar(1.0, -2 * std::numbers::pi * (k * i % n) / n);
        ASSERT_LT(std::abs(std::complex<double>(data[k].re, data[k].im) - sum), 3e-5) << k;
    }
    fft.Transform(data.data(), true);
    for (int32_t i = 0; i < 2 * n; ++i)
        ASSERT_NEAR((&data[0].re)[i], (&input[0].re)[i], 8e-6) << i;
}

TEST(Fft, AnUnusableSizeHasNoWindow) {
    EXPECT_EQ(Fft(1000).Window(), nullptr);
}

}  // namespace
}  // namespace quil
