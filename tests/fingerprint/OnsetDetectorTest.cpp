#include "fingerprint/OnsetDetector.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestSignals.h"
#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandAnalyzer.h"

namespace quil {
namespace {

constexpr double kDecay = 1.0 - 2048.0 / 44100.0;

std::vector<float> Flat(float value) {
    return std::vector<float>(kMagnitudeBins, value);
}

TEST(OnsetDetector, FirstHopCountsEveryNonZeroProduct) {
    // Bins 0-9 silent: bases 0-9 have a zero first factor, the other 48 a
    // non-zero product, each a rise against the zero start.
    std::vector<float> magnitudes = Flat(1.0f);
    for (int32_t bin = 0; bin < 10; ++bin)
        magnitudes[bin] = 0.0f;
    OnsetDetector detector;
    EXPECT_FALSE(detector.Process(magnitudes.data()));
    EXPECT_EQ(detector.riseCount(), 48);
    EXPECT_DOUBLE_EQ(detector.peak(), 48 * kDecay);
    EXPECT_FALSE(detector.armed());
}

TEST(OnsetDetector, BaseBinZeroIncludesTheDcBin) {
    // Only bins 0-3 sound: base 0 (bins 0; 0-1; 0-2; 0-3) has a product,
    // base 1 reaches bins 4-7 with its fourth harmonic and has none.
    std::vector<float> magnitudes = Flat(0.0f);
    for (int32_t bin = 0; bin < 4; ++bin)
        magnitudes[bin] = 2.0f;
    OnsetDetector detector;
    detector.Process(magnitudes.data());
    EXPECT_EQ(detector.riseCount(), 1);
    // A rise needs more than tenfold: 10x exactly is not one, 10.5x is.
    for (int32_t bin = 0; bin < 4; ++bin)
        magnitudes[bin] = 2.0f * std::sqrt(std::sqrt(10.0f));
    detector.Process(magnitudes.data());
    EXPECT_LE(detector.riseCount(), 1);
    std::vector<float> bigger = Flat(0.0f);
    for (int32_t bin = 0; bin < 4; ++bin)
        bigger[bin] = magnitudes[bin] * 1.1f;
    for (int32_t bin = 0; bin < 4; ++bin)
        magnitudes[bin] = 2.0f;
    OnsetDetector second;
    second.Process(magnitudes.data());
    second.Process(bigger.data());
    EXPECT_EQ(second.riseCount(), 1);
}

TEST(OnsetDetector, ArmsBelowFortyPercentAndFiresAboveTheDecayedPeak) {
    OnsetDetector detector;
    std::vector<float> quiet = Flat(1.0f);
    std::vector<float> loud = Flat(100.0f);
    // Hop 0: 58 rises from nothing; the peak becomes 58, then decays. No
    // onset: the detector starts disarmed.
    EXPECT_FALSE(detector.Process(quiet.data()));
    EXPECT_EQ(detector.riseCount(), 58);
    double peak = 58 * kDecay;
    EXPECT_DOUBLE_EQ(detector.peak(), peak);
    // Steady: no rises, 0 < 0.4 x peak arms.
    EXPECT_FALSE(detector.Process(quiet.data()));
    EXPECT_EQ(detector.riseCount(), 0);
    EXPECT_TRUE(detector.armed());
    peak *= kDecay;
    EXPECT_NEAR(detector.peak(), peak, 1e-12);
    // Every product grows 10^8-fold: 58 > the decayed peak.
    EXPECT_TRUE(detector.Process(loud.data()));
    EXPECT_FALSE(detector.armed());
    // Staying loud: no rises, re-armed but no onset.
    EXPECT_FALSE(detector.Process(loud.data()));
    EXPECT_TRUE(detector.armed());
}

TEST(OnsetDetector, ACountBetweenFortyPercentAndThePeakNeitherArmsNorFires) {
    OnsetDetector detector;
    std::vector<float> magnitudes = Flat(1.0f);
    detector.Process(magnitudes.data());  // 58 rises, peak 55.3
    detector.Process(magnitudes.data());  // armed
    ASSERT_TRUE(detector.armed());
    // Raise only the bins that bases 40-57 use alone (bins 40 and up feed
    // bases 10 and up through harmonics 2-4, so count what happens).
    std::vector<float> some = magnitudes;
    for (int32_t bin = 40; bin < 58; ++bin)
        some[bin] = 1000.0f;
    bool onset = detector.Process(some.data());
    int32_t rises = detector.riseCount();
    EXPECT_GT(rises, 0.4 * detector.peak());
    EXPECT_LT(rises, detector.peak());
    EXPECT_FALSE(onset);
    EXPECT_TRUE(detector.armed());  // still armed from before
}

TEST(OnsetDetector, DigitalSilenceNeverArms) {
    BandAnalyzer analyzer;
    OnsetDetector detector;
    std::vector<float> silence(kFrameSize, 0.0f);
    for (int32_t hop = 0; hop < 200; ++hop) {
        analyzer.Analyse(silence.data());
        EXPECT_FALSE(detector.Process(analyzer.magnitudes()));
        EXPECT_EQ(detector.riseCount(), 0);
    }
    EXPECT_EQ(detector.peak(), 0.0);
    EXPECT_FALSE(detector.armed());
    EXPECT_EQ(analyzer.floor(), 0.01);
    for (int32_t k = 0; k < kBandCount; ++k)
        EXPECT_EQ(analyzer.bands()[k], static_cast<float>(std::log(0.01)));
}

// Frames as the analysis builds them: half the previous hop, half this one.
std::vector<int32_t> OnsetHops(const std::vector<float>& samples, int32_t* firstRise = nullptr) {
    BandAnalyzer analyzer;
    OnsetDetector detector;
    std::vector<float> frame(kFrameSize, 0.0f);
    std::vector<int32_t> onsets;
    for (size_t hop = 0; (hop + 1) * kHopSize <= samples.size(); ++hop) {
        std::copy(frame.begin() + kHopSize, frame.end(), frame.begin());
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(hop * kHopSize), kHopSize,
                    frame.begin() + kHopSize);
        analyzer.Analyse(frame.data());
        if (detector.Process(analyzer.magnitudes()))
            onsets.push_back(static_cast<int32_t>(hop));
        if (hop == 0 && firstRise)
            *firstRise = detector.riseCount();
    }
    return onsets;
}

TEST(OnsetDetector, SteadyToneAfterSilenceIsNoOnsetButABurstIs) {
    // Silence for 20 hops, then a steady tone: its first hops rise a lot but
    // the detector is not armed yet, and once armed nothing rises.
    EXPECT_TRUE(OnsetHops(test::OnsetSignal(200, {}, 20)).empty());
    // Bursts over the tone, once re-armed, are onsets in their own hop.
    EXPECT_EQ(OnsetHops(test::OnsetSignal(200, {30, 35, 120}, 20)),
              (std::vector<int32_t>{30, 35, 120}));
    EXPECT_EQ(OnsetHops(test::OnsetSignal(40, {10})), (std::vector<int32_t>{10}));
}

TEST(OnsetDetector, FirstHopOfASignalIsHalfZeros) {
    // The tone fills only the upper half of the first frame, yet every base
    // with a non-zero product counts against the zero start.
    int32_t firstRise = -1;
    OnsetHops(test::OnsetSignal(2, {}), &firstRise);
    EXPECT_EQ(firstRise, 58);
    OnsetHops(std::vector<float>(2 * kHopSize, 0.0f), &firstRise);
    EXPECT_EQ(firstRise, 0);
}

}  // namespace
}  // namespace quil
