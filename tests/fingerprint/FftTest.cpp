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
// magnitudes; zeros, subnormal and unit values mixed.
std::vector<FftComplex> Input(int32_t n, int32_t variant) {
    const float special[] = {0.0f, 0.0f, 1e-45f, -1e-40f, 1.0f, -0.5f};
    test::Noise noise(static_cast<uint64_t>(n * 10 + variant));
    auto pick = [&](float unit) { return special[static_cast<size_t>((unit + 1.0f) * 2.99f)]; };
    std::vector<FftComplex> data(static_cast<size_t>(n));
    for (FftComplex& value : data) {
        const float re = noise.Next(1.0f);
        const float im = noise.Next(1.0f);
        value = variant == 0   ? FftComplex{re, im}
                : variant == 1 ? FftComplex{std::ldexp(re, static_cast<int>(im * 40)),
                                            std::ldexp(im, static_cast<int>(re * 40))}
                               : FftComplex{pick(re), pick(im)};
    }
    return data;
}

// Values that differ in their bits.
int32_t Differences(const std::vector<FftComplex>& got, const std::vector<FftComplex>& want) {
    int32_t differing = 0;
    for (size_t k = 0; k < 2 * got.size(); ++k)
        differing +=
            std::bit_cast<uint32_t>((&got[0].re)[k]) != std::bit_cast<uint32_t>((&want[0].re)[k]);
    return differing;
}

TEST(Fft, BitForBitThePlainTransformOnEveryPathAndSize) {
    for (VectorInstructions instructions :
         {VectorInstructions::kBest, VectorInstructions::kBaseline}) {
        for (int32_t n = 1; n <= Fft::kMaxSize; n *= 2) {
            Fft fft(n, instructions);
            for (int32_t variant = 0; variant < 3; ++variant) {
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
