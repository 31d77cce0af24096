#include "fingerprint/SegmentAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "MemorySource.h"
#include "TestSignals.h"
#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/BandHistory.h"

namespace quil {
namespace {

// Records what an analysis hands over, and the hop of each hand-over as
// counted by the poll callback (called once at the start of every hop).
struct Recorder {
    int32_t polls = 0;
    int32_t stopPollAt = -1;  // poll call index that answers stopValue
    int32_t stopSinkAt = -1;  // sink call index that answers stopValue
    int stopValue = 0;
    std::vector<Segment> segments;
    std::vector<int32_t> sentInHop;

    FingerprintOptions Options() {
        FingerprintOptions options;
        options.poll = &Recorder::Poll;
        options.pollContext = this;
        return options;
    }
    static int Poll(void* context) {
        auto* self = static_cast<Recorder*>(context);
        int32_t index = self->polls++;
        return index == self->stopPollAt ? self->stopValue : 0;
    }
    static int Sink(void* context, const Segment& segment) {
        auto* self = static_cast<Recorder*>(context);
        self->segments.push_back(segment);
        self->sentInHop.push_back(self->polls - 1);
        return static_cast<int32_t>(self->segments.size()) - 1 == self->stopSinkAt ? self->stopValue
                                                                                   : 0;
    }
};

// The band values and band means of every hop of `samples`, computed with
// the stage classes in the analysis' frame order.
struct HopBands {
    std::vector<std::vector<float>> bands;
    std::vector<std::vector<double>> means;
};

HopBands BandsPerHop(const std::vector<float>& samples) {
    HopBands out;
    BandAnalyzer analyzer;
    BandHistory history;
    std::vector<float> frame(kFrameSize, 0.0f);
    for (size_t hop = 0; (hop + 1) * kHopSize <= samples.size(); ++hop) {
        std::copy(frame.begin() + kHopSize, frame.end(), frame.begin());
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(hop * kHopSize), kHopSize,
                    frame.begin() + kHopSize);
        analyzer.Analyse(frame.data());
        history.Add(analyzer.bands());
        out.bands.emplace_back(analyzer.bands(), analyzer.bands() + kBandCount);
        std::vector<double> means(kBandCount);
        for (int32_t k = 0; k < kBandCount; ++k)
            means[k] = history.mean(k);
        out.means.push_back(means);
    }
    return out;
}

// Row of a segment from 8 hops starting at `first`, made zero-mean.
std::vector<double> ExpectedRow(const HopBands& hops, int32_t first) {
    std::vector<double> row(kBandCount, 0.0);
    for (int32_t hop = first; hop < first + 8; ++hop) {
        for (int32_t k = 0; k < kBandCount; ++k)
            row[k] += 0.125 * (hops.bands[hop][k] - hops.means[hop][k]);
    }
    double mean = 0;
    for (double value : row)
        mean += value / kBandCount;
    for (double& value : row)
        value -= mean;
    return row;
}

double MaxDifference(const float* row, const std::vector<double>& expected) {
    double worst = 0;
    for (int32_t k = 0; k < kBandCount; ++k)
        worst = std::max(worst, std::abs(row[k] - expected[k]));
    return worst;
}

TEST(SegmentAnalysis, SegmentRowsComeFromTheirHopsAndLeaveInHop114) {
    // Quiet noise under the tone makes every hop's bands differ, so a row
    // taken one hop early or late differs.
    std::vector<float> samples = test::OnsetSignal(130, {10, 60, 61, 90}, 0, 0.5f, 0.03f);
    MemorySource source(samples);
    Recorder recorder;
    FingerprintOptions options = recorder.Options();
    ASSERT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, &options), 0);
    ASSERT_EQ(recorder.segments.size(), 1u);  // the later ones are unfinished at the end
    const Segment& segment = recorder.segments[0];
    EXPECT_EQ(segment.startFrame, 10);
    EXPECT_EQ(recorder.sentInHop[0], 114);

    HopBands hops = BandsPerHop(samples);
    const int32_t firstHops[4] = {10, 42, 74, 106};
    for (int32_t row = 0; row < 4; ++row) {
        EXPECT_LT(MaxDifference(segment.rows[row], ExpectedRow(hops, firstHops[row])), 1e-5) << row;
        EXPECT_GT(MaxDifference(segment.rows[row], ExpectedRow(hops, firstHops[row] + 1)), 1e-3);
        EXPECT_GT(MaxDifference(segment.rows[row], ExpectedRow(hops, firstHops[row] - 1)), 1e-3);
    }
}

TEST(SegmentAnalysis, RowsAverageHops0To7Of32HopSpacings) {
    // Music-like sound changes from hop to hop, so a row taken one hop
    // early or late differs.
    std::vector<float> samples = test::MusicLikeSignal(6.0);
    MemorySource source(samples);
    Recorder recorder;
    ASSERT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, nullptr), 0);
    ASSERT_GE(recorder.segments.size(), 2u);
    HopBands hops = BandsPerHop(samples);
    for (size_t i = 0; i < 2; ++i) {
        const Segment& segment = recorder.segments[i];
        ASSERT_GE(segment.startFrame, 1);
        for (int32_t row = 0; row < 4; ++row) {
            int32_t first = segment.startFrame + 32 * row;
            double sum = 0;
            for (float value : segment.rows[row])
                sum += value;
            EXPECT_NEAR(sum, 0.0, 1e-4) << row;
            EXPECT_LT(MaxDifference(segment.rows[row], ExpectedRow(hops, first)), 1e-5) << row;
            EXPECT_GT(MaxDifference(segment.rows[row], ExpectedRow(hops, first + 1)), 1e-3);
            EXPECT_GT(MaxDifference(segment.rows[row], ExpectedRow(hops, first - 1)), 1e-3);
        }
    }
}

TEST(SegmentAnalysis, SegmentsLeaveInOrderOfTheirStart) {
    std::vector<float> samples = test::OnsetSignal(260, {10, 13, 40, 150});
    MemorySource source(samples);
    Recorder recorder;
    FingerprintOptions options = recorder.Options();
    ASSERT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, &options), 0);
    ASSERT_EQ(recorder.segments.size(), 4u);
    const int32_t starts[4] = {10, 13, 40, 150};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(recorder.segments[i].startFrame, starts[i]);
        EXPECT_EQ(recorder.sentInHop[i], starts[i] + 104);
    }
    // Hop 260 polls and finds the source empty.
    EXPECT_EQ(recorder.polls, 261);
    EXPECT_EQ(source.readCalls, 261);
}

TEST(SegmentAnalysis, UnfinishedSegmentsAreDiscarded) {
    // Onset at hop 10; the source ends after hop 110 (d = 100).
    MemorySource ends(test::OnsetSignal(111, {10}));
    Recorder recorder;
    EXPECT_EQ(AnalyseSegments(ends, &recorder, &Recorder::Sink, nullptr), 0);
    EXPECT_TRUE(recorder.segments.empty());
    EXPECT_EQ(ends.reads, 111);

    // The same when the source clears its open flag instead.
    MemorySource closes(test::OnsetSignal(300, {10}));
    closes.closeAfterReads = 113;  // hops 0-112
    EXPECT_EQ(AnalyseSegments(closes, &recorder, &Recorder::Sink, nullptr), 0);
    EXPECT_TRUE(recorder.segments.empty());
    EXPECT_EQ(closes.readCalls, 113);
}

TEST(SegmentAnalysis, PollStopsBeforeTheHopReads) {
    MemorySource source(test::OnsetSignal(300, {10}));
    Recorder recorder;
    recorder.stopPollAt = 5;
    recorder.stopValue = -7;
    FingerprintOptions options = recorder.Options();
    EXPECT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, &options), -7);
    EXPECT_EQ(recorder.polls, 6);
    EXPECT_EQ(source.readCalls, 5);
}

TEST(SegmentAnalysis, SinkStopsTheAnalysis) {
    MemorySource source(test::OnsetSignal(300, {10, 13}));
    Recorder recorder;
    recorder.stopSinkAt = 0;
    recorder.stopValue = 42;
    FingerprintOptions options = recorder.Options();
    EXPECT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, &options), 42);
    EXPECT_EQ(recorder.segments.size(), 1u);
    EXPECT_EQ(source.readCalls, 115);  // hop 114 was the last
}

TEST(SegmentAnalysis, WrongRateReadsNothingAndCallsNothing) {
    for (double rate : {48000.0, 0.0, 44099.999}) {
        MemorySource source(test::OnsetSignal(200, {10}), rate);
        Recorder recorder;
        uint8_t seen = 9;
        FingerprintOptions options = recorder.Options();
        options.signalSeen = &seen;
        EXPECT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, &options), -1);
        EXPECT_EQ(recorder.polls, 0);
        EXPECT_EQ(source.readCalls, 0);
        EXPECT_EQ(seen, 9);
    }
}

TEST(SegmentAnalysis, DigitalSilenceMakesNoSegment) {
    MemorySource source(std::vector<float>(400 * kHopSize, 0.0f));
    Recorder recorder;
    uint8_t seen = 1;
    FingerprintOptions options = recorder.Options();
    options.signalSeen = &seen;
    EXPECT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, &options), 0);
    EXPECT_TRUE(recorder.segments.empty());
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(recorder.polls, 401);
}

TEST(SegmentAnalysis, SignalFlagNeedsASampleAboveOneTenth) {
    auto flagFor = [](float value, size_t at) {
        std::vector<float> samples(10 * kHopSize, 0.0f);
        samples[at] = value;
        MemorySource source(samples);
        uint8_t seen = 0;
        FingerprintOptions options;
        options.signalSeen = &seen;
        AnalyseSegments(source, nullptr, nullptr, &options);
        return seen;
    };
    EXPECT_EQ(flagFor(0.1f, 5000), 0);
    EXPECT_EQ(flagFor(-0.5f, 5000), 0);
    EXPECT_EQ(flagFor(0.100001f, 5000), 1);
    EXPECT_EQ(flagFor(0.5f, 10 * kHopSize - 1), 1);
}

TEST(SegmentAnalysis, NoOptionsRunsToTheEnd) {
    std::vector<float> samples = test::OnsetSignal(130, {10});
    MemorySource source(samples);
    Recorder recorder;
    EXPECT_EQ(AnalyseSegments(source, &recorder, &Recorder::Sink, nullptr), 0);
    ASSERT_EQ(recorder.segments.size(), 1u);
    EXPECT_EQ(recorder.segments[0].startFrame, 10);
}

TEST(SegmentAnalysis, SameInputSameSegments) {
    std::vector<float> samples = test::MusicLikeSignal(8.0);
    Recorder first;
    Recorder second;
    MemorySource a(samples);
    MemorySource b(samples);
    AnalyseSegments(a, &first, &Recorder::Sink, nullptr);
    AnalyseSegments(b, &second, &Recorder::Sink, nullptr);
    ASSERT_FALSE(first.segments.empty());
    ASSERT_EQ(first.segments.size(), second.segments.size());
    for (size_t i = 0; i < first.segments.size(); ++i) {
        EXPECT_EQ(first.segments[i].startFrame, second.segments[i].startFrame);
        EXPECT_EQ(0, std::memcmp(first.segments[i].rows, second.segments[i].rows,
                                 sizeof(first.segments[i].rows)));
    }
}

}  // namespace
}  // namespace quil
