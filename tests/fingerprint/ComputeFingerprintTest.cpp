#include "fingerprint/Fingerprint.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "MemorySource.h"
#include "TestSignals.h"
#include "fingerprint/Codebooks.h"
#include "fingerprint/Quantiser.h"
#include "fingerprint/SegmentAnalysis.h"

namespace quil {
namespace {

struct Sent {
    int32_t m;
    std::vector<uint8_t> codes;
    std::vector<double> distances;
    int32_t startFrame;
};

struct Collector {
    std::vector<Sent> sent;
    int stopAfter = -1;  // answer 5 to this send (0-based)

    static int Send(void* context, int32_t m, const uint8_t* codes, const double* distances,
                    int32_t startFrame) {
        auto* self = static_cast<Collector*>(context);
        self->sent.push_back({m, std::vector<uint8_t>(codes, codes + 4 * m),
                              std::vector<double>(distances, distances + 4 * m), startFrame});
        return static_cast<int>(self->sent.size()) - 1 == self->stopAfter ? 5 : 0;
    }
};

int CountPolls(void* context) {
    ++*static_cast<int32_t*>(context);
    return 0;
}

TEST(ComputeFingerprint, SendsTheQuantisedRowsOfEverySegment) {
    std::vector<float> samples = test::OnsetSignal(260, {10, 13, 150});
    struct Rows {
        std::vector<Segment> segments;
        static int Sink(void* context, const Segment& segment) {
            static_cast<Rows*>(context)->segments.push_back(segment);
            return 0;
        }
    } rows;
    MemorySource plain(samples);
    ASSERT_EQ(AnalyseSegments(plain, &rows, &Rows::Sink, nullptr), 0);

    for (int32_t m : {1, 3, 255}) {
        MemorySource source(samples);
        Collector collector;
        FingerprintOptions options;
        options.candidates = m;
        ASSERT_EQ(ComputeFingerprint(source, &collector, &Collector::Send, &options), 0);
        ASSERT_EQ(collector.sent.size(), rows.segments.size());
        ASSERT_EQ(collector.sent.size(), 3u);
        for (size_t i = 0; i < collector.sent.size(); ++i) {
            const Sent& sent = collector.sent[i];
            EXPECT_EQ(sent.m, m);
            EXPECT_EQ(sent.startFrame, rows.segments[i].startFrame);
            std::vector<uint8_t> codes(4 * m);
            std::vector<double> distances(4 * m);
            QuantiseSegment(rows.segments[i].rows, m, codes.data(), distances.data());
            EXPECT_EQ(sent.codes, codes);
            EXPECT_EQ(sent.distances, distances);
        }
    }
}

TEST(ComputeFingerprint, NoOptionsMeansOneCandidate) {
    MemorySource source(test::OnsetSignal(130, {10}));
    Collector collector;
    EXPECT_EQ(ComputeFingerprint(source, &collector, &Collector::Send, nullptr), 0);
    ASSERT_EQ(collector.sent.size(), 1u);
    EXPECT_EQ(collector.sent[0].m, 1);
    EXPECT_EQ(collector.sent[0].startFrame, 10);

    MemorySource again(test::OnsetSignal(130, {10}));
    FingerprintOptions zero;
    Collector second;
    EXPECT_EQ(ComputeFingerprint(again, &second, &Collector::Send, &zero), 0);
    ASSERT_EQ(second.sent.size(), 1u);
    EXPECT_EQ(second.sent[0].m, 1);
}

TEST(ComputeFingerprint, RefusesCandidatesOutsideTheRangeBeforeReading) {
    for (int32_t m : {256, 300, 100000, std::numeric_limits<int32_t>::max(), -1,
                      std::numeric_limits<int32_t>::min()}) {
        MemorySource source(test::OnsetSignal(130, {10}));
        Collector collector;
        int32_t polls = 0;
        FingerprintOptions options;
        options.candidates = m;
        options.poll = &CountPolls;
        options.pollContext = &polls;
        EXPECT_EQ(ComputeFingerprint(source, &collector, &Collector::Send, &options), -1) << m;
        EXPECT_EQ(polls, 0);
        EXPECT_EQ(source.readCalls, 0);
        EXPECT_TRUE(collector.sent.empty());
    }
    MemorySource source(test::OnsetSignal(130, {10}));
    EXPECT_EQ(ComputeFingerprint(source, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(source.readCalls, 0);
}

TEST(ComputeFingerprint, WrongRateAndStops) {
    MemorySource wrongRate(test::OnsetSignal(130, {10}), 48000.0);
    Collector collector;
    int32_t polls = 0;
    FingerprintOptions options;
    options.poll = &CountPolls;
    options.pollContext = &polls;
    EXPECT_EQ(ComputeFingerprint(wrongRate, &collector, &Collector::Send, &options), -1);
    EXPECT_EQ(polls, 0);
    EXPECT_EQ(wrongRate.readCalls, 0);

    // A failed send ends the analysis: the next segment is never quantised.
    MemorySource source(test::OnsetSignal(300, {10, 13}));
    collector.stopAfter = 0;
    EXPECT_EQ(ComputeFingerprint(source, &collector, &Collector::Send, &options), 5);
    EXPECT_EQ(collector.sent.size(), 1u);
    EXPECT_EQ(source.readCalls, 115);
}

TEST(ComputeFingerprint, SameInputSameCodes) {
    std::vector<float> samples = test::MusicLikeSignal(10.0, 3);
    FingerprintOptions options;
    options.candidates = 4;
    Collector first;
    Collector second;
    MemorySource a(samples);
    MemorySource b(samples);
    ASSERT_EQ(ComputeFingerprint(a, &first, &Collector::Send, &options), 0);
    ASSERT_EQ(ComputeFingerprint(b, &second, &Collector::Send, &options), 0);
    ASSERT_GT(first.sent.size(), 3u);
    ASSERT_EQ(first.sent.size(), second.sent.size());
    for (size_t i = 0; i < first.sent.size(); ++i) {
        EXPECT_EQ(first.sent[i].startFrame, second.sent[i].startFrame);
        EXPECT_EQ(first.sent[i].codes, second.sent[i].codes);
        EXPECT_EQ(first.sent[i].distances, second.sent[i].distances);
    }
}

}  // namespace
}  // namespace quil
