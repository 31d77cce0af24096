#include "fingerprint/Fft.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <ostream>
#include <vector>

#include "ReferenceAnalysis.h"
#include "TestSignals.h"

namespace quil {

// Names the path in test names and messages.
void PrintTo(VectorInstructions instructions, std::ostream* out) {
    *out << (instructions == VectorInstructions::kBest ? "Best" : "Baseline");
}

namespace {

std::vector<FftComplex> RandomData(int32_t n, uint64_t seed) {
    test::Noise noise(seed);
    std::vector<FftComplex> data(static_cast<size_t>(n));
    for (FftComplex& value : data)
        value = {noise.Next(1.0f), noise.Next(1.0f)};
    return data;
}

// The defining sum in double precision.
std::vector<std::complex<double>> DirectDft(const std::vector<FftComplex>& in, bool inverse) {
    const size_t n = in.size();
    std::vector<std::complex<double>> out(n);
    const double sign = inverse ? 1.0 : -1.0;
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (size_t i = 0; i < n; ++i) {
            double angle = sign * 2.0 * std::numbers::pi * static_cast<double>((k * i) % n) /
                           static_cast<double>(n);
            sum += std::complex<double>(in[i].re, in[i].im) *
                   std::complex<double>(std::cos(angle), std::sin(angle));
        }
        out[k] = inverse ? sum / static_cast<double>(n) : sum;
    }
    return out;
}

double MaxError(const std::vector<FftComplex>& got, const std::vector<std::complex<double>>& want) {
    double worst = 0;
    for (size_t k = 0; k < got.size(); ++k)
        worst = std::max(worst, std::abs(std::complex<double>(got[k].re, got[k].im) - want[k]));
    return worst;
}

class FftSizes : public ::testing::TestWithParam<int32_t> {};

TEST_P(FftSizes, MatchesTheDirectTransformBothWays) {
    const int32_t n = GetParam();
    Fft fft(n);
    ASSERT_EQ(fft.size(), n);
    std::vector<FftComplex> input = RandomData(n, static_cast<uint64_t>(n));

    // Single-precision error: rounding grows with log2 N, and the twiddle
    // factors, advanced by repeated multiplication with rounded step
    // factors, drift in proportion to N. Outputs of unit-sized random input
    // are about sqrt(N) in size.
    const double stages = std::log2(static_cast<double>(n));
    const double relative = 1e-8 * n + 2e-7 * stages;
    const double tolerance = 2 * relative * std::sqrt(static_cast<double>(n));
    std::vector<FftComplex> forward = input;
    fft.Transform(forward.data(), false);
    EXPECT_LT(MaxError(forward, DirectDft(input, false)), tolerance);

    std::vector<FftComplex> inverse = input;
    fft.Transform(inverse.data(), true);
    EXPECT_LT(MaxError(inverse, DirectDft(input, true)), tolerance / n);

    std::vector<FftComplex> roundTrip = forward;
    fft.Transform(roundTrip.data(), true);
    double worst = 0;
    for (int32_t i = 0; i < n; ++i) {
        worst = std::max(worst, std::abs(static_cast<double>(roundTrip[i].re) - input[i].re));
        worst = std::max(worst, std::abs(static_cast<double>(roundTrip[i].im) - input[i].im));
    }
    EXPECT_LT(worst, 4 * relative);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FftSizes, ::testing::Values(8, 64, 1024, 2048, 8192));

TEST(Fft, ImpulseAndToneLandWhereExpected) {
    Fft fft(16);
    std::vector<FftComplex> data(16, FftComplex{0, 0});
    data[0] = {1, 0};
    fft.Transform(data.data(), false);
    for (const FftComplex& value : data) {
        EXPECT_FLOAT_EQ(value.re, 1.0f);
        EXPECT_FLOAT_EQ(value.im, 0.0f);
    }

    // cos(2 pi 3 i / 16) puts N/2 into bins 3 and 13 and nothing elsewhere.
    for (int32_t i = 0; i < 16; ++i)
        data[i] = {static_cast<float>(std::cos(2 * std::numbers::pi * 3 * i / 16)), 0};
    fft.Transform(data.data(), false);
    for (int32_t k = 0; k < 16; ++k) {
        float want = (k == 3 || k == 13) ? 8.0f : 0.0f;
        EXPECT_NEAR(data[k].re, want, 1e-5) << k;
        EXPECT_NEAR(data[k].im, 0.0f, 1e-5) << k;
    }
}

TEST(Fft, PeriodicHannWindow) {
    Fft fft(2048);
    const float* window = fft.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window, fft.Window());  // built once
    EXPECT_EQ(window[0], 0.0f);
    EXPECT_EQ(window[1024], 1.0f);
    EXPECT_FLOAT_EQ(window[512], 0.5f);
    EXPECT_FLOAT_EQ(window[1536], 0.5f);
    for (int32_t i = 1; i < 2048; ++i) {
        EXPECT_EQ(window[i], window[2048 - i]) << i;  // periodic: symmetric about N/2
        float want = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / 2048));
        EXPECT_EQ(window[i], want) << i;
    }
}

TEST(Fft, ForwardRealWindowsThenTransforms) {
    const int32_t n = 64;
    Fft fft(n);
    std::vector<float> samples(n);
    test::Noise noise(3);
    for (float& sample : samples)
        sample = noise.Next(1.0f);
    std::vector<FftComplex> windowed(n);
    for (int32_t i = 0; i < n; ++i)
        windowed[i] = {samples[i] * fft.Window()[i], 0.0f};
    fft.Transform(windowed.data(), false);

    std::vector<FftComplex> out(n);
    fft.ForwardReal(samples.data(), out.data());
    for (int32_t k = 0; k < n; ++k) {
        EXPECT_EQ(out[k].re, windowed[k].re);
        EXPECT_EQ(out[k].im, windowed[k].im);
    }
    // Real input: conjugate-symmetric spectrum.
    for (int32_t k = 1; k < n / 2; ++k) {
        EXPECT_NEAR(out[k].re, out[n - k].re, 1e-5);
        EXPECT_NEAR(out[k].im, -out[n - k].im, 1e-5);
    }
}

// Same bits, or both NaN: which NaN an operation returns when several meet
// is the compiler's choice of operand order, not the transform's.
void ExpectSameBits(const std::vector<FftComplex>& got, const std::vector<FftComplex>& want,
                    const char* what) {
    ASSERT_EQ(got.size(), want.size());
    int32_t differing = 0;
    for (size_t k = 0; k < got.size(); ++k) {
        for (auto part : {&FftComplex::re, &FftComplex::im}) {
            float g = got[k].*part;
            float w = want[k].*part;
            bool same = std::bit_cast<uint32_t>(g) == std::bit_cast<uint32_t>(w) ||
                        (std::isnan(g) && std::isnan(w));
            if (!same && ++differing <= 3)
                ADD_FAILURE() << what << " n=" << got.size() << " value " << k << ": " << g
                              << " instead of " << w;
        }
    }
    EXPECT_EQ(differing, 0) << what << " n=" << got.size();
}

class FftPaths : public ::testing::TestWithParam<VectorInstructions> {};

TEST_P(FftPaths, BitForBitThePlainTransformAtEverySize) {
    for (int32_t n = 1; n <= Fft::kMaxSize; n *= 2) {
        Fft fft(n, GetParam());
        for (uint64_t seed : {1, 2, 3}) {
            // Unit-sized values, and values spread over many magnitudes.
            std::vector<FftComplex> input = RandomData(n, seed * 1000 + static_cast<uint64_t>(n));
            if (seed == 3) {
                for (FftComplex& value : input) {
                    const FftComplex unit = value;
                    value.re = std::ldexp(unit.re, static_cast<int>(unit.im * 40));
                    value.im = std::ldexp(unit.im, static_cast<int>(unit.re * 40));
                }
            }
            for (bool inverse : {false, true}) {
                std::vector<FftComplex> got = input;
                std::vector<FftComplex> want = input;
                fft.Transform(got.data(), inverse);
                test::ReferenceTransform(want.data(), n, inverse);
                ExpectSameBits(got, want, inverse ? "inverse" : "forward");
            }

            std::vector<float> samples(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i)
                samples[i] = input[i].re;
            std::vector<FftComplex> got(static_cast<size_t>(n));
            fft.ForwardReal(samples.data(), got.data());
            std::vector<FftComplex> want(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i)
                want[i] = {samples[i] * fft.Window()[i], 0.0f};
            test::ReferenceTransform(want.data(), n, false);
            ExpectSameBits(got, want, "real");
        }
    }
}

TEST_P(FftPaths, BitForBitThePlainTransformOnSpecialValues) {
    // Sparse input, mostly zeros of either sign, where the sign of a zero
    // result depends on the order of the operations, with subnormal and
    // unit values among them; then single non-finite values.
    const float special[] = {0.0f,    -0.0f, std::numeric_limits<float>::denorm_min(),
                             -1e-40f, 1.0f,  -0.5f};
    const float inf = std::numeric_limits<float>::infinity();
    const float nonFinite[] = {inf, -inf, std::numeric_limits<float>::quiet_NaN()};
    for (int32_t n : {2, 4, 8, 16, 32, 64, 2048}) {
        Fft fft(n, GetParam());
        test::Noise noise(static_cast<uint64_t>(n));
        auto pick = [&] {
            auto index = static_cast<size_t>((noise.Next(1.0f) + 1.0f) * 10);
            return special[index < std::size(special) ? index : index % 2];
        };
        std::vector<std::vector<FftComplex>> inputs;
        for (int32_t variant = 0; variant < 4; ++variant) {
            std::vector<FftComplex> input(static_cast<size_t>(n));
            for (FftComplex& value : input)
                value = {pick(), pick()};
            if (variant > 0)
                input[static_cast<size_t>(n / 3)].im = nonFinite[variant - 1];
            inputs.push_back(input);
        }
        inputs.emplace_back(static_cast<size_t>(n), FftComplex{-0.0f, -0.0f});
        for (const std::vector<FftComplex>& input : inputs) {
            for (bool inverse : {false, true}) {
                std::vector<FftComplex> got = input;
                std::vector<FftComplex> want = input;
                fft.Transform(got.data(), inverse);
                test::ReferenceTransform(want.data(), n, inverse);
                ExpectSameBits(got, want, inverse ? "inverse" : "forward");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Instructions, FftPaths,
                         ::testing::Values(VectorInstructions::kBest,
                                           VectorInstructions::kBaseline),
                         ::testing::PrintToStringParamName());

TEST(Fft, UnusableSizesDoNothing) {
    for (int32_t size : {0, -8, 3, 1000, 16384}) {
        Fft fft(size);
        EXPECT_EQ(fft.size(), 0) << size;
        EXPECT_EQ(fft.Window(), nullptr);
        FftComplex value{1.0f, 2.0f};
        fft.Transform(&value, false);
        EXPECT_EQ(value.re, 1.0f);
    }
    Fft one(1);
    FftComplex value{1.5f, -2.0f};
    one.Transform(&value, true);
    EXPECT_EQ(value.re, 1.5f);
    EXPECT_EQ(value.im, -2.0f);
}

}  // namespace
}  // namespace quil
