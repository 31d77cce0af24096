#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <vector>

#include "audiofile/FileSampleSource.h"
#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/Fingerprint.h"
#include "server/FingerprintIndex.h"
#include "server/Matcher.h"
#include "server/QueryReplay.h"
#include "server/RecordingCodes.h"
#include "tests/server/SyntheticSongs.h"

namespace quil {
namespace {

using test::SongSource;
using test::SyntheticSong;

RecordingCodes Analyse(const std::vector<float>& samples) {
    SongSource source(samples);
    RecordingCodes codes;
    EXPECT_EQ(AnalyseRecording(source, codes), 0);
    return codes;
}

// Songs of 40 s from the seeds, then `extra`, indexed under ids 1, 2, ...
struct Catalogue {
    std::vector<std::vector<float>> songs;
    FingerprintIndex index;
};

Catalogue MakeCatalogue(const std::vector<uint64_t>& seeds,
                        const std::vector<std::vector<float>>& extra = {}) {
    Catalogue catalogue;
    for (uint64_t seed : seeds)
        catalogue.songs.push_back(SyntheticSong(40, seed));
    catalogue.songs.insert(catalogue.songs.end(), extra.begin(), extra.end());
    for (size_t i = 0; i < catalogue.songs.size(); ++i)
        catalogue.index.AddSong(
            {static_cast<int64_t>(i + 1), "song " + std::to_string(i + 1), "", 0, "", ""},
            Analyse(catalogue.songs[i]));
    catalogue.index.Finish();
    return catalogue;
}

// The catalogue's segment at a hop must be, code for code, the segment a
// client makes when its onset detector starts one there: that is what lets
// any client segment find its twin.
TEST(RecordingCodesTest, EveryClientSegmentHasAnIdenticalDenseTwin) {
    const std::vector<float> song = SyntheticSong(30, 7);
    const RecordingCodes codes = Analyse(song);
    EXPECT_EQ(codes.segments(), codes.rowAverages() - 96);
    SongSource source(song);
    struct Twins {
        const RecordingCodes& codes;
        int32_t checked = 0, differing = 0;
    } twins{codes};
    ASSERT_EQ(ComputeFingerprint(
                  source, &twins,
                  [](void* context, int32_t m, const uint8_t* c, const double*, int32_t frame) {
                      auto* t = static_cast<Twins*>(context);
                      const SegmentCodes dense = t->codes.At(frame);
                      ++t->checked;
                      for (int32_t row = 0; row < 4; ++row)
                          t->differing += c[row * m] != dense.rows[row];
                      return 0;
                  },
                  nullptr),
              0);
    EXPECT_GT(twins.checked, 30);
    EXPECT_EQ(twins.differing, 0);
}

TEST(RecordingCodesTest, NoisyTracksKeepTheCleanCodesAndTheirNoiseIsTheSameEachTime) {
    const std::vector<float> song = SyntheticSong(30, 7);
    const RecordingCodes clean = Analyse(song);
    RecordingCodes first, second;
    SongSource a(song), b(song);
    ASSERT_EQ(AnalyseRecordingWithNoise(a, 5, first), 0);
    ASSERT_EQ(AnalyseRecordingWithNoise(b, 5, second), 0);
    EXPECT_EQ(first.book0, clean.book0);
    EXPECT_EQ(first.book1, clean.book1);
    ASSERT_EQ(first.noisy.size(), std::size(kNoiseLevelsDb));
    for (size_t t = 0; t < first.noisy.size(); ++t) {
        EXPECT_EQ(first.noisy[t].book0, second.noisy[t].book0);
        EXPECT_EQ(first.noisy[t].book1.size(), clean.book1.size());
        EXPECT_NE(first.noisy[t].book1, clean.book1);
    }
}

TEST(RecordingCodesTest, RefusesAnotherRate) {
    std::vector<float> samples(44100);
    SongSource source(samples);
    source.sampleRate = 48000;
    RecordingCodes codes;
    EXPECT_EQ(AnalyseRecording(source, codes), -1);
    EXPECT_EQ(codes.rowAverages(), 0);
}

TEST(FingerprintIndexTest, FramesSongsAndPostingsAgree) {
    FingerprintIndex index;
    RecordingCodes a, b, empty;
    for (int h = 0; h < 120; ++h) {
        a.book0.push_back(static_cast<uint8_t>(h));
        a.book1.push_back(static_cast<uint8_t>(h + 1));
        b.book0.push_back(7);
        b.book1.push_back(9);
    }
    index.AddSong({1, "a", "", 0, "", ""}, a);
    index.AddSong({2, "empty", "", 0, "", ""}, empty);
    index.AddSong({3, "b", "", 0, "", ""}, b);
    index.Finish();
    ASSERT_EQ(index.songFrames(), 2u * 24u);
    EXPECT_EQ(index.SongAt(index.base(0) + 23), 0);
    EXPECT_EQ(index.SongAt(index.base(0) + 24), -1);  // the gap
    EXPECT_EQ(index.SongAt(index.base(2)), 2);
    EXPECT_EQ(index.SongAt(-1), -1);
    SegmentCodes codes;
    ASSERT_TRUE(index.CodesAt(index.base(0) + 5, codes));
    EXPECT_EQ(codes.rows[0], 5);
    EXPECT_EQ(codes.rows[3], 5 + 96 + 1);
    // Each pair of rows keys its own postings: (0, 1), (0, 2), (0, 3), (1, 2), (1, 3), (2, 3).
    const int pairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (int p = 0; p < 6; ++p) {
        const auto list = index.Postings(p, codes.rows[pairs[p][0]], codes.rows[pairs[p][1]]);
        EXPECT_TRUE(std::binary_search(list.begin(), list.end(), index.base(0) + 5)) << p;
    }
    // Pair (1, 3) of song b's frames: codes 9 and 9, every frame.
    auto postings = index.Postings(4, 9, 9);
    ASSERT_EQ(postings.size(), 24u);
    EXPECT_EQ(postings.front(), index.base(2));
    EXPECT_TRUE(std::is_sorted(postings.begin(), postings.end()));
    EXPECT_GT(index.CodeShare(1, 9), index.CodeShare(1, 10));
}

// Excerpt start in samples, off the hop grid as a live capture would be.
size_t At(double seconds) {
    return static_cast<size_t>(seconds * kAnalysisRate) + 337;
}

// Each of the two decision rules alone names the right song at the right
// offset, and neither names a song the catalogue does not hold.
TEST(MatcherTest, NamesTheSongAtItsOffsetAndNothingElse) {
    const Catalogue catalogue = MakeCatalogue({11, 12, 13, 14, 15, 16});
    const std::vector<std::vector<float>> strangers = {SyntheticSong(35, 21), SyntheticSong(35, 22),
                                                       SyntheticSong(35, 23)};
    MatcherSettings quickOnly, patientOnly;
    quickOnly.patientThresholdPerLogFrame = 1e9;
    patientOnly.threshold = 1e9;
    for (const MatcherSettings& settings : {quickOnly, patientOnly}) {
        SCOPED_TRACE(settings.threshold > 1e8 ? "patient rule" : "quick rule");
        const Matcher matcher(catalogue.index, settings);
        struct Case {
            size_t song;
            double from;
        };
        for (const Case& c : {Case{0, 3.0}, Case{2, 17.5}, Case{5, 25.0}}) {
            SCOPED_TRACE(c.song);
            SongSource excerpt(catalogue.songs[c.song], At(c.from), At(12));
            ReplayResult result = ReplayQuery(excerpt, matcher);
            ASSERT_TRUE(result.answer.has_value());
            EXPECT_EQ(result.answer->song.id, static_cast<int64_t>(c.song + 1));
            EXPECT_NEAR(result.answer->offsetSeconds, c.from, 2.0 * kHopSize / kAnalysisRate);
            EXPECT_LT(result.seconds, 10.0);
        }
        for (size_t i = 0; i < strangers.size(); ++i) {
            SongSource excerpt(strangers[i], At(5), At(30));
            EXPECT_FALSE(ReplayQuery(excerpt, matcher).answer.has_value()) << "stranger " << i;
        }
    }
}

// Three orchestral tracks of one game in the catalogue, indexed as the
// service indexes (with their noisy tracks), and a fourth of the same style
// played for a minute at many places: it sounds like them throughout but
// matches none of them anywhere in particular, and is never named, while a
// catalogued one is.
TEST(MatcherTest, AStrangerOfTheSameStyleIsNotNamed) {
    const std::filesystem::path music = "/usr/share/games/wesnoth/1.16/data/core/music";
    if (!std::filesystem::exists(music / "loyalists.ogg"))
        GTEST_SKIP() << "no game music in " << music << " (scripts/setup installs it)";
    auto decode = [&](const char* name) {
        FileSampleSource source;
        std::vector<float> samples;
        EXPECT_EQ(source.Open((music / name).string()), 0) << name;
        std::vector<float> block(4096);
        while (source.Read(static_cast<int32_t>(block.size()), block.data()) == 0)
            samples.insert(samples.end(), block.begin(), block.end());
        return samples;
    };
    FingerprintIndex index;
    const char* const catalogued[] = {"northerners.ogg", "heroes_rite.ogg", "the_city_falls.ogg"};
    std::vector<float> first;
    for (size_t i = 0; i < std::size(catalogued); ++i) {
        std::vector<float> samples = decode(catalogued[i]);
        SongSource source(samples);
        RecordingCodes codes;
        ASSERT_EQ(AnalyseRecordingWithNoise(source, i + 1, codes), 0);
        SongInfo song;
        song.id = static_cast<int64_t>(i + 1);
        song.title = catalogued[i];
        index.AddSong(song, codes);
        if (i == 0)
            first = std::move(samples);
    }
    index.Finish();
    const Matcher matcher(std::move(index), MatcherSettings{});

    SongSource known(first, At(60), At(20));
    ReplayResult result = ReplayQuery(known, matcher);
    ASSERT_TRUE(result.answer.has_value());
    EXPECT_EQ(result.answer->song.id, 1);

    const std::vector<float> stranger = decode("loyalists.ogg");
    for (double from = 0; from + 60 <= stranger.size() / kAnalysisRate; from += 15) {
        SongSource excerpt(stranger, At(from), At(60));
        result = ReplayQuery(excerpt, matcher);
        EXPECT_FALSE(result.answer.has_value())
            << "from " << from << " s: " << (result.answer ? result.answer->song.title : "");
    }
}

TEST(MatcherTest, NamesOneOfTwoCopiesOfTheSameRecording) {
    // Song 3 is song 1 again, a little quieter and with a faint hiss: two
    // releases of one recording. Either is a right answer; none is not.
    std::vector<float> copy = SyntheticSong(40, 31);
    std::mt19937 random(5);
    std::normal_distribution<float> hiss(0.0f, 0.002f);
    for (float& sample : copy)
        sample = 0.8f * sample + hiss(random);
    const Catalogue catalogue = MakeCatalogue({31, 32}, {copy});
    const Matcher matcher(catalogue.index, {});
    SongSource excerpt(catalogue.songs[0], At(10), At(15));
    ReplayResult result = ReplayQuery(excerpt, matcher);
    ASSERT_TRUE(result.answer.has_value());
    EXPECT_TRUE(result.answer->song.id == 1 || result.answer->song.id == 3);
}

TEST(MatcherTest, SessionIgnoresMalformedSegmentsAndStopsAfterItsAnswer) {
    const Catalogue catalogue = MakeCatalogue({41, 42});
    const Matcher matcher(catalogue.index, {});
    auto session = matcher.NewSession();
    const uint8_t codes[4] = {1, 2, 3, 4};
    EXPECT_FALSE(session->Add({0, 0, codes}).has_value());
    EXPECT_FALSE(session->Add({0, 1, nullptr}).has_value());
    EXPECT_EQ(session->segments(), 0);

    // Feed the client's segments by hand, with wrapping frame numbers: an
    // answer comes once, later segments get none.
    struct Feed {
        IdentifySession* session;
        int answers = 0;
        int afterAnswer = 0;
    } feed{session.get()};
    SongSource excerpt(catalogue.songs[1], At(8), At(20));
    FingerprintOptions options;
    options.candidates = matcher.candidates();
    ComputeFingerprint(
        excerpt, &feed,
        [](void* context, int32_t m, const uint8_t* c, const double*, int32_t frame) {
            auto* f = static_cast<Feed*>(context);
            const uint16_t wrapped = static_cast<uint16_t>((frame + 65500) & 0xFFFF);
            const bool answered = f->session->Add({wrapped, m, c}).has_value();
            f->afterAnswer += f->answers > 0 && answered;
            f->answers += answered;
            return 0;
        },
        &options);
    EXPECT_EQ(feed.answers, 1);
    EXPECT_EQ(feed.afterAnswer, 0);
}

}  // namespace
}  // namespace quil
