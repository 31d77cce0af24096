#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "server/CatalogueLoader.h"
#include "server/SqliteCatalogue.h"
#include "tests/audiofile/SoundFiles.h"

namespace quil {
namespace {

// `count` row averages, and `noisy` noisy tracks of the same length.
RecordingCodes Codes(int count, uint8_t seed, int noisy = 0) {
    RecordingCodes codes;
    codes.noisy.resize(static_cast<size_t>(noisy));
    for (int h = 0; h < count; ++h) {
        codes.book0.push_back(static_cast<uint8_t>(seed + h));
        codes.book1.push_back(static_cast<uint8_t>(seed * 3 + h));
        for (int t = 0; t < noisy; ++t) {
            codes.noisy[static_cast<size_t>(t)].book0.push_back(static_cast<uint8_t>(h * 5 + t));
            codes.noisy[static_cast<size_t>(t)].book1.push_back(static_cast<uint8_t>(h * 7 + t));
        }
    }
    return codes;
}

std::string FreshCatalogue(const std::string& name) {
    const std::string path = test::ScratchPath(name);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
    return path;
}

TEST(SqliteCatalogueTest, KeepsSongsCodesAndChecksumAcrossReopening) {
    const std::string path = FreshCatalogue("roundtrip.db");
    {
        SqliteCatalogue store;
        ASSERT_EQ(store.Open(path, true), 0) << store.ErrorText();
        EXPECT_EQ(store.CodebookChecksum(), "");
        ASSERT_EQ(store.SetCodebookChecksum(BuildCodebookChecksum()), 0);
        EXPECT_EQ(store.AddSong({0, "Één", "Bänd", 61.5, "aa", "/x/1.ogg"}, Codes(300, 1, 2)), 1);
        EXPECT_EQ(store.AddSong({0, "Two", "", 2, "bb", "/x/2.ogg"}, Codes(0, 2)), 2);
        // The content hash is unique: the same recording is not stored twice.
        EXPECT_LT(store.AddSong({0, "Again", "", 2, "bb", "/y/2.ogg"}, Codes(5, 3)), 0);
    }
    SqliteCatalogue store;
    ASSERT_EQ(store.Open(path, false), 0) << store.ErrorText();
    EXPECT_TRUE(store.HasContent("aa"));
    EXPECT_FALSE(store.HasContent("cc"));
    std::vector<std::pair<SongInfo, RecordingCodes>> read;
    ASSERT_EQ(store.ForEachSong([&](const SongInfo& song, const RecordingCodes& codes) {
        read.emplace_back(song, codes);
        return true;
    }),
              0);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].first.title, "Één");
    EXPECT_EQ(read[0].first.artist, "Bänd");
    EXPECT_DOUBLE_EQ(read[0].first.seconds, 61.5);
    EXPECT_EQ(read[0].first.path, "/x/1.ogg");
    const RecordingCodes stored = Codes(300, 1, 2);
    EXPECT_EQ(read[0].second.book0, stored.book0);
    EXPECT_EQ(read[0].second.book1, stored.book1);
    ASSERT_EQ(read[0].second.noisy.size(), 2u);
    EXPECT_EQ(read[0].second.noisy[1].book0, stored.noisy[1].book0);
    EXPECT_EQ(read[0].second.noisy[1].book1, stored.noisy[1].book1);
    EXPECT_EQ(read[1].second.rowAverages(), 0);

    FingerprintIndex index;
    std::string error;
    ASSERT_EQ(LoadIndex(store, index, error), 0) << error;
    EXPECT_EQ(index.songCount(), 2u);
    EXPECT_EQ(index.songFrames(), 300u - 96u);
    ASSERT_EQ(index.noisyTracks(), 2);
    EXPECT_EQ(index.NoisyCodesAt(index.base(0) + 3)[1].rows[2], stored.noisy[1].book1[3 + 64]);
}

TEST(SqliteCatalogueTest, RefusesWhatIsNotACatalogueOrWasMadeWithOtherCodebooks) {
    SqliteCatalogue store;
    EXPECT_EQ(store.Open(FreshCatalogue("missing.db"), false), SqliteCatalogue::kOpenFailed);
    EXPECT_NE(store.ErrorText().find("no catalogue"), std::string::npos);

    const std::string text = FreshCatalogue("text.db");
    std::ofstream(text) << "this is not a database, just some text that is long enough\n";
    EXPECT_EQ(store.Open(text, false), SqliteCatalogue::kOpenFailed);

    const std::string other = FreshCatalogue("other.db");
    ASSERT_EQ(store.Open(other, true), 0);
    ASSERT_EQ(store.SetCodebookChecksum("0123456789abcdef"), 0);
    FingerprintIndex index;
    std::string error;
    EXPECT_EQ(LoadIndex(store, index, error), -1);
    EXPECT_NE(error.find("other codebooks"), std::string::npos);
}

TEST(SqliteCatalogueTest, ReportsDamagedCodesInsteadOfReadingPastThem) {
    // Codes are 2 x row_averages bytes per track, clean and noisy.
    const char* const kDamage[] = {
        "UPDATE songs SET row_averages = 5000",           "UPDATE songs SET row_averages = 150",
        "UPDATE songs SET codes = substr(codes, 1, 599)", "UPDATE songs SET codes = zeroblob(0)",
        "UPDATE songs SET codes = zeroblob(400 * 10)",    "UPDATE songs SET row_averages = -1",
    };
    for (const char* damage : kDamage) {
        const std::string path = FreshCatalogue("damaged.db");
        std::filesystem::remove(path);
        SqliteCatalogue store;
        ASSERT_EQ(store.Open(path, true), 0);
        ASSERT_EQ(store.AddSong({0, "Song", "", 1, "aa", "a"}, Codes(200, 1, 1)), 1);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, damage, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        EXPECT_EQ(store.ForEachSong([](const SongInfo&, const RecordingCodes&) { return true; }),
                  SqliteCatalogue::kDamaged)
            << damage;
    }
}

}  // namespace
}  // namespace quil
