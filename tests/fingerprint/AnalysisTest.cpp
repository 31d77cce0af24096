// The hop analysis: the onset detector's rules, the optimised stages and the
// whole analysis against their plain forms bit for bit, and what a run hands
// over, when, and how it ends.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "MemorySource.h"
#include "ReferenceAnalysis.h"
#include "TestSignals.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/Codebooks.h"
#include "fingerprint/Fingerprint.h"
#include "fingerprint/OnsetDetector.h"
#include "fingerprint/Quantiser.h"

namespace quil {
namespace {

// One hop of magnitudes, `rest` in every bin but `value` in bins from..to-1,
// and what the detector makes of it.
struct OnsetHop {
    float rest;
    float value;
    int32_t from;
    int32_t to;
    bool onset;
    int32_t rises;
    bool armed;
};

TEST(OnsetDetector, RisesArmingAndFiring) {
    const float tenfold = std::pow(10.0f, 0.25f);  // every product x 10
    const struct {
        const char* name;
        std::vector<OnsetHop> hops;
    } cases[] = {
        {"the first hop rises wherever a product is not zero", {{1, 0, 0, 10, false, 48, false}}},
        {"base 0 takes the DC bin", {{0, 2, 0, 4, false, 1, false}}},
        {"silence never arms", {{0, 0, 0, 0, false, 0, false}, {0, 0, 0, 0, false, 0, false}}},
        {"a rise is more than tenfold",
         {{1, 0, 0, 0, false, 58, false}, {1.01f * tenfold, 0, 0, 0, false, 58, false}}},
        {"tenfold is no rise",
         {{1, 0, 0, 0, false, 58, false}, {0.99f * tenfold, 0, 0, 0, false, 0, true}}},
        {"arms below 0.4 x peak, fires above the peak, then re-arms",
         {{1, 0, 0, 0, false, 58, false},
          {1, 0, 0, 0, false, 0, true},
          {100, 0, 0, 0, true, 58, false},
          {100, 0, 0, 0, false, 0, true}}},
        {"between 0.4 x peak and the peak neither arms nor fires",
         {{1, 0, 0, 0, false, 58, false},
          {1, 0, 0, 0, false, 0, true},
          {1, 1000, 40, 58, false, 37, true}}},
    };
    for (const auto& c : cases) {
        OnsetDetector detector;
        for (size_t hop = 0; hop < c.hops.size(); ++hop) {
            SCOPED_TRACE(std::string(c.name) + ", hop " + std::to_string(hop));
            const OnsetHop& h = c.hops[hop];
            std::vector<float> magnitudes(kMagnitudeBins, h.rest);
            std::fill(magnitudes.begin() + h.from, magnitudes.begin() + h.to, h.value);
            EXPECT_EQ(detector.Process(magnitudes.data()), h.onset);
            EXPECT_EQ(detector.riseCount(), h.rises);
            EXPECT_EQ(detector.armed(), h.armed);
        }
    }
}

// Music, then silence, then loud noise bursts over a quiet tone.
std::vector<float> MixedSignal() {
    std::vector<float> samples = test::MusicLikeSignal(4.0, 2);
    samples.resize(samples.size() + 20 * test::kHop, 0.0f);
    std::vector<float> bursts = test::OnsetSignal(60, {5, 20, 21, 40}, 10, 0.9f, 0.001f);
    samples.insert(samples.end(), bursts.begin(), bursts.end());
    return samples;
}

bool SameFloats(const float* got, const float* want, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (std::bit_cast<uint32_t>(got[i]) != std::bit_cast<uint32_t>(want[i]))
            return false;
    }
    return true;
}

TEST(ReferenceAnalysis, BandsAndOnsetsBitForBit) {
    // The frames of a mixed signal, then magnitudes from zero through
    // subnormal to spread over many magnitudes.
    const std::vector<float> samples = MixedSignal();
    test::Noise noise(9);
    BandAnalyzer analyzer;
    test::ReferenceBands plainAnalyzer;
    OnsetDetector onsets;
    test::ReferenceOnsets plainOnsets;
    int32_t fired = 0;
    for (size_t start = 0; start + 2048 <= samples.size() + 400 * 1024; start += 1024) {
        SCOPED_TRACE("from sample " + std::to_string(start));
        const float* magnitudes = plainAnalyzer.magnitudes;
        if (start + 2048 <= samples.size()) {
            analyzer.Analyse(samples.data() + start);
            plainAnalyzer.Analyse(samples.data() + start);
            ASSERT_TRUE(SameFloats(analyzer.magnitudes(), plainAnalyzer.magnitudes, 232));
            ASSERT_TRUE(SameFloats(analyzer.bands(), plainAnalyzer.bands, 64));
            ASSERT_EQ(analyzer.floor(), plainAnalyzer.floor);
        } else {
            for (float& value : plainAnalyzer.magnitudes) {
                float pick = noise.Next(1.0f);
                value = pick < -0.8f ? 0.0f
                        : pick < -0.7f
                            ? 1e-40f
                            : std::ldexp(pick + 1.0f, static_cast<int>(noise.Next(30.0f)));
            }
        }
        const bool onset = onsets.Process(magnitudes);
        ASSERT_EQ(onset, plainOnsets.Process(magnitudes));
        ASSERT_EQ(onsets.riseCount(), plainOnsets.riseCount);
        ASSERT_EQ(onsets.peak(), plainOnsets.peak);
        ASSERT_EQ(onsets.armed(), plainOnsets.armed);
        fired += onset;
    }
    EXPECT_GT(fired, 3);
}

// What a run hands over, and in which hop: the poll is called once at the
// start of every hop.
struct Recorder {
    int32_t stopPollAt = -1;
    int32_t stopHandingAt = -1;
    int stopValue = 0;
    int32_t polls = 0;
    std::vector<Segment> segments = {};
    std::vector<int32_t> m = {};
    std::vector<std::vector<uint8_t>> codes = {};
    std::vector<std::vector<double>> distances = {};
    std::vector<int32_t> starts = {};
    std::vector<int32_t> hops = {};

    int Handed(int32_t start) {
        starts.push_back(start);
        hops.push_back(polls - 1);
        return static_cast<int32_t>(starts.size()) - 1 == stopHandingAt ? stopValue : 0;
    }
    static int Poll(void* self) {
        auto& r = *static_cast<Recorder*>(self);
        return r.polls++ == r.stopPollAt ? r.stopValue : 0;
    }
    static int Sink(void* self, const Segment& segment) {
        static_cast<Recorder*>(self)->segments.push_back(segment);
        return static_cast<Recorder*>(self)->Handed(segment.startFrame);
    }
    static int Send(void* self, int32_t m, const uint8_t* codes, const double* distances,
                    int32_t start) {
        auto& r = *static_cast<Recorder*>(self);
        r.m.push_back(m);
        r.codes.emplace_back(codes, codes + 4 * m);
        r.distances.emplace_back(distances, distances + 4 * m);
        return r.Handed(start);
    }
};

TEST(ReferenceAnalysis, SegmentsAndCodesAsThePlainAnalysisMakesThem) {
    for (const std::vector<float>& samples : {MixedSignal(), test::MusicLikeSignal(6.0)}) {
        const std::vector<Segment> want = test::ReferenceSegments(samples);
        ASSERT_GT(want.size(), 3u);
        MemorySource source(samples);
        MemorySource again(samples);
        Recorder segments;
        Recorder sent;
        FingerprintOptions options;
        options.candidates = 4;
        ASSERT_EQ(AnalyseSegments(source, &segments, &Recorder::Sink, nullptr), 0);
        ASSERT_EQ(ComputeFingerprint(again, &sent, &Recorder::Send, &options), 0);
        ASSERT_EQ(segments.segments.size(), want.size());
        ASSERT_EQ(sent.codes.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE("segment " + std::to_string(i));
            EXPECT_EQ(segments.starts[i], want[i].startFrame);
            EXPECT_EQ(sent.starts[i], want[i].startFrame);
            EXPECT_TRUE(SameFloats(&segments.segments[i].rows[0][0], &want[i].rows[0][0], 4 * 64));
            for (int32_t r = 0; r < 4; ++r) {
                uint8_t codes[4];
                double distances[4];
                FindNearestCodewords(want[i].rows[r], Codebook(r == 0 ? 0 : 1), 4, codes,
                                     distances);
                EXPECT_TRUE(std::equal(codes, codes + 4, &sent.codes[i][4 * r])) << "row " << r;
                EXPECT_TRUE(std::equal(distances, distances + 4, &sent.distances[i][4 * r]));
            }
        }
    }
}

// A sound that is silent but for one sample.
std::vector<float> OneSample(float value, size_t at) {
    std::vector<float> samples(10 * 1024, 0.0f);
    samples[at] = value;
    return samples;
}

struct AnalysisRun {
    const char* name;
    std::vector<float> samples;
    std::vector<int32_t> starts;  // each handed over in hop start + 104
    int32_t polls;                // hops begun
    int32_t reads;
    uint8_t signalSeen = 1;  // 9: untouched
    int result = 0;
    double rate = 44100;
    int32_t candidates = 0;
    int32_t closeAfterReads = -1;
    int32_t stopPollAt = -1;
    int32_t stopHandingAt = -1;
    bool options = true;
};

TEST(Analysis, WhatARunHandsOverAndHowItEnds) {
    const std::vector<float> one = test::OnsetSignal(300, {10});
    const AnalysisRun runs[] = {
        // name, samples, starts, polls, reads, signal seen, result, rate, candidates,
        // close after reads, stop at poll, stop at hand-over, options
        {"segments leave in order, 104 hops after their onset",
         test::OnsetSignal(260, {10, 13, 40, 150}),
         {10, 13, 40, 150},
         261,
         261},
        {"all 255 candidates",
         test::OnsetSignal(260, {10, 13, 150}),
         {10, 13, 150},
         261,
         261,
         1,
         0,
         44100,
         255},
        {"candidates 0 mean one", test::OnsetSignal(130, {10}), {10}, 131, 131},
        {"no options mean one candidate",
         test::OnsetSignal(130, {10}),
         {10},
         0,
         131,
         9,
         0,
         44100,
         0,
         -1,
         -1,
         -1,
         false},
        {"segments unfinished when the sound ends are dropped",
         test::OnsetSignal(111, {10}),
         {},
         112,
         112},
        {"segments unfinished when the source closes are dropped",
         one,
         {},
         113,
         113,
         1,
         0,
         44100,
         0,
         113},
        {"a poll ends the run before its hop reads", one, {}, 6, 5, 0, -7, 44100, 0, -1, 5},
        {"a hand-over ends the run",
         test::OnsetSignal(300, {10, 13}),
         {10},
         115,
         115,
         1,
         -7,
         44100,
         0,
         -1,
         -1,
         0},
        {"a steady tone after silence is no onset",
         test::OnsetSignal(200, {}, 20),
         {},
         201,
         201,
         0},
        {"digital silence", std::vector<float>(400 * 1024, 0.0f), {}, 401, 401, 0},
        {"a sample of 0.1 is no signal", OneSample(0.1f, 5000), {}, 11, 11, 0},
        {"a negative sample is no signal", OneSample(-0.5f, 5000), {}, 11, 11, 0},
        {"a sample just above 0.1 is a signal", OneSample(0.100001f, 5000), {}, 11, 11, 1},
        {"the last sample counts", OneSample(0.5f, 10 * 1024 - 1), {}, 11, 11, 1},
        {"44 100 Hz only: 48 000", one, {}, 0, 0, 9, -1, 48000},
        {"44 100 Hz only: 0", one, {}, 0, 0, 9, -1, 0},
        {"44 100 Hz only: 44 099.999", one, {}, 0, 0, 9, -1, 44099.999},
        {"256 candidates", one, {}, 0, 0, 9, -1, 44100, 256},
        {"the most candidates", one, {}, 0, 0, 9, -1, 44100, INT_MAX},
        {"-1 candidates", one, {}, 0, 0, 9, -1, 44100, -1},
        {"the fewest candidates", one, {}, 0, 0, 9, -1, 44100, INT_MIN},
    };
    for (const AnalysisRun& run : runs) {
        Recorder analysed;
        for (bool fingerprint : {false, true}) {
            // AnalyseSegments takes no candidates.
            if (!fingerprint && (run.candidates < 0 || run.candidates > 255))
                continue;
            SCOPED_TRACE(std::string(run.name) + (fingerprint ? ", codes" : ", segments"));
            MemorySource source(run.samples, run.rate);
            source.closeAfterReads = run.closeAfterReads;
            Recorder r{run.stopPollAt, run.stopHandingAt, -7};
            uint8_t seen = 9;
            FingerprintOptions options{0, run.candidates, &Recorder::Poll, &r, &seen};
            const FingerprintOptions* given = run.options ? &options : nullptr;
            EXPECT_EQ(fingerprint ? ComputeFingerprint(source, &r, &Recorder::Send, given)
                                  : AnalyseSegments(source, &r, &Recorder::Sink, given),
                      run.result);
            EXPECT_EQ(r.starts, run.starts);
            EXPECT_EQ(r.polls, run.polls);
            EXPECT_EQ(source.readCalls, run.reads);
            EXPECT_EQ(seen, run.options ? run.signalSeen : 9);
            for (size_t i = 0; run.options && i < r.starts.size(); ++i)
                EXPECT_EQ(r.hops[i], r.starts[i] + 104);
            if (!fingerprint) {
                analysed = r;
                continue;
            }
            // The codes: every row of the segment quantised against its book.
            const int32_t m = run.candidates == 0 ? 1 : run.candidates;
            for (size_t i = 0; i < r.codes.size() && i < analysed.segments.size(); ++i) {
                std::vector<uint8_t> codes(4 * m);
                std::vector<double> distances(4 * m);
                QuantiseSegment(analysed.segments[i].rows, m, codes.data(), distances.data());
                EXPECT_EQ(r.m[i], m);
                EXPECT_EQ(r.codes[i], codes);
                EXPECT_EQ(r.distances[i], distances);
            }
        }
    }
    MemorySource source(one);
    EXPECT_EQ(ComputeFingerprint(source, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(source.readCalls, 0);
}

}  // namespace
}  // namespace quil
