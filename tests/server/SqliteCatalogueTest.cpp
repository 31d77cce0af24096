#include "server/SqliteCatalogue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "server/CatalogueLoader.h"
#include "tests/audiofile/SoundFiles.h"

namespace quil {
namespace {

// `count` row averages and `noisy` noisy tracks of the same length.
RecordingCodes Codes(int count, uint8_t seed, int noisy = 0) {
    const auto book = [&](int step) {
        std::vector<uint8_t> codes;
        for (int h = 0; h < count; ++h)
            codes.push_back(static_cast<uint8_t>(seed * step + h));
        return codes;
    };
    RecordingCodes codes{book(1), book(3), {}};
    for (int t = 0; t < noisy; ++t)
        codes.noisy.push_back({book(5 + t), book(7 + 2 * t)});
    return codes;
}

// Every book of every track, for comparing.
std::vector<std::vector<uint8_t>> Books(const RecordingCodes& codes) {
    std::vector<std::vector<uint8_t>> books{codes.book0, codes.book1};
    for (const RecordingCodes::Track& track : codes.noisy)
        books.insert(books.end(), {track.book0, track.book1});
    return books;
}

// A path without a catalogue or its log files.
std::string Fresh(const std::string& name) {
    for (const char* log : {"-wal", "-shm"})
        std::filesystem::remove(test::ScratchPath(name) + log);
    return test::ScratchPath(name);
}

TEST(SqliteCatalogueTest, KeepsSongsCodesAndChecksumAcrossReopening) {
    const std::string path = Fresh("roundtrip.db");
    const RecordingCodes codes = Codes(300, 1, 2);
    {
        SqliteCatalogue store;
        ASSERT_EQ(store.Open(path, true), 0) << store.ErrorText();
        ASSERT_EQ(store.SetCodebookChecksum(BuildCodebookChecksum()), 0);
        EXPECT_EQ(store.AddSong({0, "Één", "Bänd", 61.5, "aa", "/x/1.ogg"}, codes), 1);
        EXPECT_EQ(store.AddSong({0, "Two", "", 2, "bb", "/x/2.ogg"}, Codes(0, 2)), 2);
        // The content hash is unique: the same recording is not stored twice.
        EXPECT_LT(store.AddSong({0, "Again", "", 2, "bb", "/y/2.ogg"}, Codes(5, 3)), 0);
    }
    SqliteCatalogue store;
    ASSERT_EQ(store.Open(path, false), 0) << store.ErrorText();
    std::vector<std::pair<SongInfo, RecordingCodes>> read;
    ASSERT_EQ(store.ForEachSong([&](const SongInfo& song, const RecordingCodes& stored) {
        read.emplace_back(song, stored);
        return true;
    }),
              0);
    ASSERT_EQ(read.size(), 2u);
    const SongInfo& first = read[0].first;
    EXPECT_EQ(std::tie(first.title, first.artist, first.seconds, first.path),
              std::make_tuple("Één", "Bänd", 61.5, "/x/1.ogg"));
    EXPECT_EQ(Books(read[0].second), Books(codes));
    EXPECT_EQ(Books(read[1].second), Books(Codes(0, 2)));

    FingerprintIndex index;
    std::string error;
    ASSERT_EQ(LoadIndex(store, index, error), 0) << error;
    EXPECT_EQ(index.songCount(), 2u);
    EXPECT_EQ(index.songFrames(), 300u - 96u);
    ASSERT_EQ(index.noisyTracks(), 2);
    EXPECT_EQ(index.NoisyCodesAt(index.base(0) + 3)[1].rows[2], codes.noisy[1].book1[3 + 64]);

    ASSERT_EQ(store.SetCodebookChecksum("0123456789abcdef"), 0);
    EXPECT_EQ(LoadIndex(store, index, error), -1);
}

// Open refuses what is not a catalogue of this format; reading refuses codes
// that do not fit their song's hop count (2 x row_averages bytes per track,
// clean and noisy) instead of reading past them.
TEST(SqliteCatalogueTest, RefusesWhatIsNotACatalogueOrIsDamaged) {
    SqliteCatalogue store;
    EXPECT_EQ(store.Open(Fresh("missing.db"), false), SqliteCatalogue::kOpenFailed);
    EXPECT_NE(store.ErrorText().find("no catalogue"), std::string::npos);
    const std::string path = Fresh("damaged.db");
    std::ofstream(path) << "this is not a database, just some text that is long enough\n";
    EXPECT_EQ(store.Open(path, false), SqliteCatalogue::kOpenFailed);
    EXPECT_NE(store.ErrorText().find("is not a catalogue"), std::string::npos);

    const std::pair<const char*, int> rows[] = {
        // the damage, and what Open answers then
        {"UPDATE meta SET value = 'harkbox-catalogue 2' WHERE key = 'format'", -1},
        {"UPDATE songs SET row_averages = 5000", 0},
        {"UPDATE songs SET row_averages = -1", 0},
        {"UPDATE songs SET codes = substr(codes, 1, 599)", 0},
        {"UPDATE songs SET codes = zeroblob(400 * 10)", 0},  // ten tracks
    };
    for (const auto& [damage, opened] : rows) {
        Fresh("damaged.db");
        SqliteCatalogue damaged;
        ASSERT_EQ(damaged.Open(path, true), 0);
        ASSERT_EQ(damaged.AddSong({0, "Song", "", 1, "aa", "a"}, Codes(200, 1, 1)), 1);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, damage, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        EXPECT_EQ(damaged.ForEachSong([](const SongInfo&, const RecordingCodes&) { return true; }),
                  opened == 0 ? SqliteCatalogue::kDamaged : 0)
            << damage;
        EXPECT_EQ(SqliteCatalogue().Open(path, false), opened) << damage;
    }
}

}  // namespace
}  // namespace quil
