#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/Fingerprint.h"
#include "server/FrameSort.h"
#include "server/GaussianNoise.h"
#include "server/MatchSession.h"
#include "server/Matcher.h"
#include "server/QueryReplay.h"
#include "tests/fingerprint/MemorySource.h"
#include "tests/server/SyntheticSongs.h"

namespace quil {
namespace {

using test::SyntheticSong;

// The codes of `samples`, with noisy tracks when `noiseSeed` is not 0.
RecordingCodes Analyse(const std::vector<float>& samples, uint64_t noiseSeed = 0) {
    MemorySource source(samples);
    RecordingCodes codes;
    EXPECT_EQ(noiseSeed ? AnalyseRecordingWithNoise(source, noiseSeed, codes)
                        : AnalyseRecording(source, codes),
              0);
    return codes;
}

// Calls `segment(m, codes, frame)` for each segment the client sends.
template <typename Segment>
void ClientSegments(SampleSource& source, int32_t candidates, Segment segment) {
    FingerprintOptions options;
    options.candidates = candidates;
    ComputeFingerprint(
        source, &segment,
        [](void* context, int32_t m, const uint8_t* codes, const double*, int32_t frame) {
            (*static_cast<Segment*>(context))(m, codes, frame);
            return 0;
        },
        &options);
}

// The catalogue's segment at a hop must be, code for code, the segment a
// client makes when its onset detector starts one there: that is what lets
// any client segment find its twin. Noisy tracks keep the clean codes
// beside codes of their own.
TEST(RecordingCodesTest, ClientSegmentsHaveDenseTwinsAndNoisyTracksDiffer) {
    const std::vector<float> song = SyntheticSong(30, 7);
    const RecordingCodes codes = Analyse(song);
    int checked = 0, differing = 0;
    MemorySource source(song);
    ClientSegments(source, 32, [&](int32_t m, const uint8_t* c, int32_t frame) {
        const SegmentCodes dense = codes.At(frame);
        ++checked;
        for (int32_t row = 0; row < 4; ++row)
            differing += c[row * m] != dense.rows[row];
    });
    EXPECT_GT(checked, 30);
    EXPECT_EQ(differing, 0);

    const RecordingCodes noisy = Analyse(song, 5);
    EXPECT_EQ(noisy.book0, codes.book0);
    EXPECT_EQ(noisy.book1, codes.book1);
    ASSERT_EQ(noisy.noisy.size(), std::size(kNoiseLevelsDb));
    for (const RecordingCodes::Track& track : noisy.noisy)
        EXPECT_NE(track.book1, codes.book1);
}

TEST(FingerprintIndexTest, FramesBelongToTheirSongs) {
    const RecordingCodes a{std::vector<uint8_t>(120, 1), std::vector<uint8_t>(120, 2), {}},
        b{std::vector<uint8_t>(120, 7), std::vector<uint8_t>(120, 9), {}};
    FingerprintIndex index;
    index.AddSong({1, "a", "", 0, "", ""}, a);
    index.AddSong({2, "empty", "", 0, "", ""}, {});
    index.AddSong({3, "b", "", 0, "", ""}, b);
    index.Finish();
    // The last frame of song a, the gap after it, the first of song b, none.
    EXPECT_EQ((std::vector{index.SongAt(index.base(0) + 23), index.SongAt(index.base(0) + 24),
                           index.SongAt(index.base(2)), index.SongAt(-1)}),
              (std::vector{0, -1, 2, -1}));
    EXPECT_GT(index.CodeShare(1, 9), index.CodeShare(1, 10));
}

// Excerpt ends in samples, off the hop grid as a live capture would be.
ptrdiff_t At(double seconds) {
    return static_cast<ptrdiff_t>(seconds * kAnalysisRate) + 337;
}

// Each of the three decision rules alone names the right song at the right
// offset, and none names a song the catalogue does not hold: the quick rule,
// the patient rule, and the joint rule (here with both rules' bars doubled
// and a hypothesis leading both at half of them). Song 7 is
// song 1 again, a little quieter and with a faint hiss: two releases of one
// recording, either of which is a right answer.
TEST(MatcherTest, NamesTheSongAtItsOffsetAndNothingElse) {
    std::vector<std::vector<float>> songs;
    for (uint64_t seed : {11, 12, 13, 14, 15, 16})
        songs.push_back(SyntheticSong(40, seed));
    songs.push_back(songs[0]);
    std::mt19937 random(5);
    std::normal_distribution<float> hiss(0.0f, 0.002f);
    for (float& sample : songs.back())
        sample = 0.8f * sample + hiss(random);
    FingerprintIndex index;  // song i under id i + 1
    for (size_t i = 0; i < songs.size(); ++i)
        index.AddSong({int64_t(i + 1), "", "", 0, "", ""}, Analyse(songs[i]));
    index.Finish();
    MatcherSettings quickOnly, patientOnly, jointOnly;
    quickOnly.patientThresholdPerLogFrame = 1e9;
    patientOnly.threshold = 1e9;
    for (double* term : {&jointOnly.thresholdPerLogFrame, &jointOnly.marginPerLogFrame,
                         &jointOnly.marginShare, &jointOnly.patientThresholdPerLogFrame,
                         &jointOnly.patientMarginPerLogFrame, &jointOnly.patientMarginShare})
        *term *= 2;
    jointOnly.jointShare = 0.5;
    for (const MatcherSettings& settings : {quickOnly, patientOnly, jointOnly}) {
        SCOPED_TRACE(settings.threshold > 1e8    ? "patient rule"
                     : settings.jointShare < 0.6 ? "joint rule"
                                                 : "quick rule");
        const Matcher matcher(index, settings);
        for (const auto& [song, from] : {std::pair(0, 3.0), std::pair(2, 17.5)}) {
            SCOPED_TRACE(song);
            const std::vector<float>& whole = songs[size_t(song)];
            MemorySource excerpt({whole.begin() + At(from), whole.begin() + At(from + 12)});
            const ReplayResult result = ReplayQuery(excerpt, matcher);
            ASSERT_TRUE(result.answer.has_value());
            const int64_t id = result.answer->song.id;
            EXPECT_TRUE(id == song + 1 || (song == 0 && id == 7)) << id;
            EXPECT_NEAR(result.answer->offsetSeconds, from, 2.0 * kHopSize / kAnalysisRate);
            EXPECT_LT(result.seconds, 10.0);
        }
        for (uint64_t seed : {21, 22}) {
            const std::vector<float> stranger = SyntheticSong(35, seed);
            MemorySource excerpt({stranger.begin() + At(5), stranger.end()});
            EXPECT_FALSE(ReplayQuery(excerpt, matcher).answer.has_value()) << "stranger " << seed;
        }
    }
}

// Consecutive segments hear much of the same sound: the patient score
// counts a row's sound once, so a segment whose rows start within half a row
// of rows already counted adds its evidence for its other rows alone.
TEST(MatcherTest, PatientScoreCountsEachRowsSoundOnce) {
    std::vector<std::vector<float>> songs;
    for (uint64_t seed : {31, 32, 33, 34})
        songs.push_back(SyntheticSong(30, seed));
    FingerprintIndex index;
    for (size_t i = 0; i < songs.size(); ++i)
        index.AddSong({int64_t(i + 1), "", "", 0, "", ""}, Analyse(songs[i]));
    index.Finish();
    MatcherSettings undecided;
    undecided.threshold = 1e9;
    undecided.patientThresholdPerLogFrame = 1e9;
    undecided.promoteScore = 1e-6;
    const Matcher matcher(index, undecided);
    const RecordingCodes codes = Analyse(songs[2]);
    // The patient score of song 3 after segments at these hops, each made
    // of the catalogue's own codes (one candidate per row).
    auto patientScore = [&](std::vector<int32_t> hops) {
        MatchSession session(matcher);
        for (int32_t hop : hops) {
            const SegmentCodes segment = codes.At(hop);
            session.Add({static_cast<uint16_t>(hop), 1, segment.rows});
        }
        const std::vector<MatchCandidate> ranking = session.Ranking(true);
        EXPECT_FALSE(ranking.empty());
        EXPECT_EQ(ranking.empty() ? -1 : ranking[0].song, 2);
        return ranking.empty() ? 0.0 : ranking[0].patientScore;
    };
    const int32_t first = 400;
    const double alone = patientScore({first});
    ASSERT_GT(alone, 0);
    // Hops from the first segment to the second, and the share of the
    // second's evidence that counts: its rows start 32 hops apart.
    const std::pair<int32_t, double> cases[] = {{0, 0.0},   {16, 1.0},  {27, 1.0},
                                                {28, 0.25}, {32, 0.25}, {36, 0.25},
                                                {37, 1.0},  {64, 0.5},  {96, 0.75}};
    for (const auto& [shift, share] : cases) {
        SCOPED_TRACE(shift);
        const double second = patientScore({first + shift});
        ASSERT_GT(second, 0);
        EXPECT_NEAR(patientScore({first, first + shift}), alone + share * second, 1e-9);
    }
}

TEST(GaussianNoise, IsStandardNormalNoise) {
    // Quantile i is where the distribution function reaches (i + 0.5) / 4096.
    for (uint32_t i = 0; i < 4096; ++i) {
        const double cdf = 0.5 * std::erfc(-GaussianNoise::Quantile(i) / std::numbers::sqrt2);
        ASSERT_NEAR(cdf, (i + 0.5) / 4096, 1e-9) << i;
    }
    GaussianNoise noise(7);
    const int n = 400000;
    double sum = 0, squares = 0;
    for (int i = 0; i < n; ++i) {
        const double v = noise.Next();
        sum += v;
        squares += v * v;
    }
    EXPECT_NEAR(sum / n, 0, 0.005);
    EXPECT_NEAR(squares / n, 1, 0.01);
}

// The radix sort against the plain sort, over value ranges that need one,
// two and three digits, with and without repeats.
TEST(FrameSortTest, MatchesSortAndUnique) {
    const std::pair<uint32_t, size_t> cases[] = {
        {0, 5},   {1, 100}, {2047, 3000}, {2048, 3000}, {900000, 50000}, {0xFFFFFFFFu, 20000},
        {5000, 0}};
    std::mt19937 random(7);
    std::vector<uint32_t> scratch;
    for (const auto& [largest, count] : cases) {
        std::uniform_int_distribution<uint32_t> value(0, largest);
        std::vector<uint32_t> frames(count);
        for (uint32_t& frame : frames)
            frame = value(random);
        std::vector<uint32_t> expected = frames;
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        SortUniqueFrames(frames, scratch, largest);
        EXPECT_EQ(frames, expected) << "largest " << largest << ", count " << count;
    }
}

}  // namespace
}  // namespace quil
