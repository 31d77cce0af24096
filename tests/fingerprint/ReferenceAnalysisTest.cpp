// The optimised stages against their plain forms, bit for bit, on music-like
// sound, silence and noise; then the whole analysis against the plain
// stages put together.
#include "ReferenceAnalysis.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

#include "MemorySource.h"
#include "TestSignals.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/BandHistory.h"
#include "fingerprint/Fingerprint.h"
#include "fingerprint/OnsetDetector.h"
#include "fingerprint/Quantiser.h"
#include "fingerprint/SegmentAccumulator.h"

namespace quil {
namespace {

int32_t DifferentFloats(const float* got, const float* want, int32_t count) {
    int32_t differing = 0;
    for (int32_t i = 0; i < count; ++i)
        differing += std::bit_cast<uint32_t>(got[i]) != std::bit_cast<uint32_t>(want[i]);
    return differing;
}

// Music, then silence, then loud noise bursts over a quiet tone.
std::vector<float> MixedSignal() {
    std::vector<float> samples = test::MusicLikeSignal(4.0, 2);
    samples.resize(samples.size() + 20 * test::kHop, 0.0f);
    std::vector<float> bursts = test::OnsetSignal(60, {5, 20, 21, 40}, 10, 0.9f, 0.001f);
    samples.insert(samples.end(), bursts.begin(), bursts.end());
    return samples;
}

TEST(ReferenceAnalysis, BandsAndOnsetsBitForBit) {
    std::vector<float> samples = MixedSignal();
    BandAnalyzer analyzer;
    test::ReferenceBandAnalyzer plainAnalyzer;
    OnsetDetector onsets;
    test::ReferenceOnsetDetector plainOnsets;
    int32_t fired = 0;
    for (size_t start = 0; start + kFrameSize <= samples.size(); start += kHopSize) {
        const float* frame = samples.data() + start;
        analyzer.Analyse(frame);
        plainAnalyzer.Analyse(frame);
        ASSERT_EQ(DifferentFloats(analyzer.magnitudes(), plainAnalyzer.magnitudes, kMagnitudeBins),
                  0)
            << start;
        ASSERT_EQ(DifferentFloats(analyzer.bands(), plainAnalyzer.bands, kBandCount), 0) << start;
        ASSERT_EQ(analyzer.floor(), plainAnalyzer.floor) << start;

        bool onset = onsets.Process(analyzer.magnitudes());
        ASSERT_EQ(onset, plainOnsets.Process(plainAnalyzer.magnitudes)) << start;
        ASSERT_EQ(onsets.riseCount(), plainOnsets.riseCount) << start;
        ASSERT_EQ(onsets.peak(), plainOnsets.peak) << start;
        ASSERT_EQ(onsets.armed(), plainOnsets.armed) << start;
        fired += onset;
    }
    EXPECT_GT(fired, 3);
}

TEST(ReferenceAnalysis, OnsetProductsBitForBitOnAnyMagnitudes) {
    // Zeros, subnormals, values spread over many magnitudes: the harmonic
    // sums and products as the plain loops round them.
    test::Noise noise(9);
    OnsetDetector onsets;
    test::ReferenceOnsetDetector plainOnsets;
    std::vector<float> magnitudes(kMagnitudeBins);
    for (int32_t hop = 0; hop < 400; ++hop) {
        for (float& value : magnitudes) {
            float pick = noise.Next(1.0f);
            value = pick < -0.8f   ? 0.0f
                    : pick < -0.7f ? 1e-40f
                                   : std::ldexp(pick + 1.0f, static_cast<int>(noise.Next(30.0f)));
        }
        ASSERT_EQ(onsets.Process(magnitudes.data()), plainOnsets.Process(magnitudes.data()));
        ASSERT_EQ(onsets.riseCount(), plainOnsets.riseCount) << hop;
        ASSERT_EQ(onsets.peak(), plainOnsets.peak) << hop;
    }
}

struct Sent {
    std::vector<uint8_t> codes;
    std::vector<double> distances;
    int32_t startFrame;
    bool operator==(const Sent&) const = default;
};

int Record(void* context, int32_t m, const uint8_t* codes, const double* distances,
           int32_t startFrame) {
    static_cast<std::vector<Sent>*>(context)->push_back(
        {std::vector<uint8_t>(codes, codes + 4 * m),
         std::vector<double>(distances, distances + 4 * m), startFrame});
    return 0;
}

TEST(ReferenceAnalysis, FingerprintAsThePlainStagesMakeIt) {
    const int32_t m = 4;
    std::vector<float> samples = MixedSignal();
    std::vector<Sent> want;
    {
        test::ReferenceBandAnalyzer analyzer;
        test::ReferenceOnsetDetector onsets;
        BandHistory history;
        SegmentAccumulator segments;
        struct Quantise {
            std::vector<Sent>* sent;
            static int Sink(void* context, const Segment& segment) {
                uint8_t codes[4 * m];
                double distances[4 * m];
                QuantiseSegment(segment.rows, m, codes, distances);
                return Record(static_cast<Quantise*>(context)->sent, m, codes, distances,
                              segment.startFrame);
            }
        } quantise{&want};
        std::vector<float> frame(kFrameSize, 0.0f);
        for (int32_t hop = 0; static_cast<size_t>(hop + 1) * kHopSize <= samples.size(); ++hop) {
            std::memcpy(frame.data() + kHopSize, samples.data() + hop * kHopSize,
                        sizeof(float) * kHopSize);
            analyzer.Analyse(frame.data());
            history.Add(analyzer.bands);
            if (onsets.Process(analyzer.magnitudes))
                segments.Open(hop);
            segments.Advance(hop, analyzer.bands, history, &Quantise::Sink, &quantise);
            std::memmove(frame.data(), frame.data() + kHopSize, sizeof(float) * kHopSize);
        }
    }

    MemorySource source(samples);
    FingerprintOptions options;
    options.candidates = m;
    std::vector<Sent> got;
    ASSERT_EQ(ComputeFingerprint(source, &got, &Record, &options), 0);
    ASSERT_GT(want.size(), 3u);
    EXPECT_TRUE(got == want) << got.size() << " segments, " << want.size() << " wanted";
}

}  // namespace
}  // namespace quil
