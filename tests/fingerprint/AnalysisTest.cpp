// The hop analysis: the whole analysis bit for bit as its plain form makes
// it, over ordinary and extreme sound; what a run hands over, when, and how
// it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "MemorySource.h"
#include "ReferenceAnalysis.h"
#include "TestSignals.h"
#include "fingerprint/Fingerprint.h"
#include "fingerprint/OnsetDetector.h"
#include "tests/server/SyntheticSongs.h"

namespace quil {
namespace {

// Hops of noise each at its own loudness, from silence and subnormal values
// to far above full scale: the extremes of the floor and the onset state.
std::vector<float> ExtremeSignal() {
    test::Noise noise(9);
    std::vector<float> samples(200 * test::kHop);
    for (size_t hop = 0; hop < 200; ++hop) {
        const int exponent = hop % 7 == 3 ? -200 : static_cast<int>(noise.Next(70.0f)) - 60;
        for (size_t i = hop * test::kHop; i < (hop + 1) * test::kHop; ++i)
            samples[i] = std::ldexp(noise.Next(1.0f), exponent);
    }
    return samples;
}

// The onset detector against its plain form hop by hop, over magnitudes
// from zero through subnormal to spread over many octaves with a loud burst
// every 16 hops: every rise it counts moves the onsets.
TEST(ReferenceAnalysis, OnsetsHopByHop) {
    test::Noise noise(9);
    OnsetDetector onsets;
    test::ReferenceOnsets plain;
    float magnitudes[232];
    int32_t fired = 0;
    for (int32_t hop = 0; hop < 400; ++hop) {
        for (float& value : magnitudes) {
            const float pick = noise.Next(1.0f);
            const float spread = std::ldexp(pick + 1.0f, static_cast<int>(noise.Next(30.0f)));
            value = pick < -0.8f ? 0.0f : pick < -0.7f ? 1e-40f : spread;
            value *= hop % 16 == 0 ? 1e6f : 1.0f;  // a burst: every base rises
        }
        const bool onset = onsets.Process(magnitudes);
        ASSERT_EQ(onset, plain.Process(magnitudes)) << hop;
        ASSERT_EQ(onsets.riseCount(), plain.riseCount) << hop;
        ASSERT_EQ(onsets.peak(), plain.peak) << hop;
        fired += onset;
    }
    EXPECT_GT(fired, 3);
}

// What a run hands over, and in which hop (the poll is called at the start
// of every hop); answers -7 to the poll or the hand-over of those numbers.
struct Recorder {
    int32_t stopPollAt = -1;
    int32_t stopHandingAt = -1;
    int32_t polls = 0;
    std::vector<int32_t> starts = {};
    std::vector<int32_t> hops = {};
    std::vector<Segment> segments = {};

    static int Poll(void* self) {
        auto& r = *static_cast<Recorder*>(self);
        return r.polls++ == r.stopPollAt ? -7 : 0;
    }
    int Handed(int32_t start) {
        starts.push_back(start);
        hops.push_back(polls - 1);
        return static_cast<int32_t>(starts.size()) - 1 == stopHandingAt ? -7 : 0;
    }
    static int Sink(void* self, const Segment& segment) {
        static_cast<Recorder*>(self)->segments.push_back(segment);
        return static_cast<Recorder*>(self)->Handed(segment.startFrame);
    }
    static int Send(void* self, int32_t, const uint8_t*, const double*, int32_t start) {
        return static_cast<Recorder*>(self)->Handed(start);
    }
};

// What a run is given beyond its sound, one thing at most.
enum Setting { kNothing, kRate, kCandidates, kCloseAfter, kStopPoll, kStopHanding, kNoOptions };

struct AnalysisRun {
    const char* name;
    std::vector<float> samples;
    std::vector<int32_t> starts;  // each handed over in hop start + 104
    int32_t polls;                // hops begun
    int32_t reads;
    uint8_t signalSeen = 1;  // 9: untouched
    int result = 0;
    Setting setting = kNothing;
    double value = 0;
};

// The starts of the segments that the plain analysis finds in `samples`.
std::vector<int32_t> PlainStarts(const std::vector<float>& samples) {
    std::vector<int32_t> starts;
    for (const Segment& segment : test::ReferenceSegments(samples))
        starts.push_back(segment.startFrame);
    return starts;
}

TEST(Analysis, WhatARunHandsOverAndHowItEnds) {
    using test::OnsetSignal;
    const std::vector<float> one = OnsetSignal(300, {10});
    const std::vector<float> music = test::SyntheticSong(6.0, 1);
    const std::vector<float> extreme = ExtremeSignal();
    const std::vector<int32_t> four = {10, 13, 40, 150};
    const std::vector<int32_t> three = {10, 13, 150};
    const AnalysisRun runs[] = {
        {"segments leave in order, 104 hops on", OnsetSignal(260, four), four, 261, 261},
        {"all 255 candidates", OnsetSignal(260, three), three, 261, 261, 1, 0, kCandidates, 255},
        {"music, 4 candidates", music, PlainStarts(music), 259, 259, 1, 0, kCandidates, 4},
        {"silent, subnormal and very loud hops", extreme, PlainStarts(extreme), 201, 201},
        {"no options mean one candidate", OnsetSignal(130, {10}), {10}, 0, 131, 9, 0, kNoOptions},
        {"segments unfinished at the end are dropped", OnsetSignal(111, {10}), {}, 112, 112},
        {"also when the source closes", one, {}, 113, 113, 1, 0, kCloseAfter, 113},
        {"a poll ends the run before its hop reads", one, {}, 6, 5, 0, -7, kStopPoll, 5},
        {"a hand-over ends it", OnsetSignal(300, {10, 13}), {10}, 115, 115, 1, -7, kStopHanding},
        {"44 100 Hz only, not 48 000", one, {}, 0, 0, 9, -1, kRate, 48000},
        {"a tone after silence is no onset", OnsetSignal(200, {}, 20), {}, 201, 201, 0},
    };
    for (const AnalysisRun& run : runs) {
        const int32_t candidates = run.setting == kCandidates ? static_cast<int32_t>(run.value) : 0;
        // Segments as the plain analysis makes them, for runs to the end.
        const std::vector<Segment> plain = run.result == 0 && run.setting != kCloseAfter
                                               ? test::ReferenceSegments(run.samples)
                                               : std::vector<Segment>{};
        for (bool fingerprint : {false, true}) {
            SCOPED_TRACE(std::string(run.name) + (fingerprint ? ", codes" : ", segments"));
            const auto given = [&](Setting setting, double otherwise) {
                return run.setting == setting ? run.value : otherwise;
            };
            MemorySource source(run.samples, given(kRate, 44100));
            source.closeAfterReads = static_cast<int32_t>(given(kCloseAfter, -1));
            Recorder r{static_cast<int32_t>(given(kStopPoll, -1)),
                       static_cast<int32_t>(given(kStopHanding, -1))};
            uint8_t seen = 9;
            FingerprintOptions options{0, candidates, &Recorder::Poll, &r, &seen};
            const FingerprintOptions* chosen = run.setting == kNoOptions ? nullptr : &options;
            EXPECT_EQ(fingerprint ? ComputeFingerprint(source, &r, &Recorder::Send, chosen)
                                  : AnalyseSegments(source, &r, &Recorder::Sink, chosen),
                      run.result);
            EXPECT_EQ(r.starts, run.starts);
            EXPECT_EQ(r.polls, run.polls);
            EXPECT_EQ(source.readCalls, run.reads);
            EXPECT_EQ(seen, chosen ? run.signalSeen : 9);
            for (size_t i = 0; chosen && i < r.starts.size(); ++i)
                EXPECT_EQ(r.hops[i], r.starts[i] + 104);
            for (size_t i = 0; !fingerprint && i < std::min(plain.size(), r.segments.size()); ++i)
                EXPECT_EQ(std::memcmp(r.segments[i].rows, plain[i].rows, sizeof plain[i].rows), 0)
                    << "segment " << i;
        }
    }
}

}  // namespace
}  // namespace quil
