#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "net/QueryClient.h"
#include "server/SqliteCatalogue.h"
#include "tests/ChildProcess.h"
#include "tests/audiofile/SoundFiles.h"
#include "tests/fingerprint/MemorySource.h"
#include "tests/server/SyntheticSongs.h"

namespace quil {
namespace {

namespace fs = std::filesystem;
constexpr int kRate = 44100;

// harkbox-server run to its end: the exit status, -1 for none.
int RunServer(const std::vector<std::string>& arguments, std::string* out = nullptr,
              std::string* err = nullptr) {
    return test::RunProgram(HARKBOX_SERVER, arguments, out, err);
}

int Count(const std::string& text, const std::string& word) {
    int count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// A library of four songs by "Test Band" (the folder names the artist, the
// file the title), written once for the suite. ctest runs each test in a
// process of its own, several at once: each writes its own library.
class HarkboxServerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = fs::path(HARKBOX_BINARY_DIR) / "tests" / "server" /
                ("program-" + std::to_string(getpid()));
        fs::remove_all(root_);
        for (int i = 1; i <= 4; ++i)  // the last one lasts over a minute
            WriteSong(root_ / "Test Band" / ("song-" + std::to_string(i) + ".wav"), 100 + i,
                      i < 4 ? 30 : 75);
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }
    static std::string WriteSong(const fs::path& path, uint64_t seed, double seconds,
                                 double from = 0) {
        std::vector<float> song = test::SyntheticSong(from + seconds, seed);
        song.erase(song.begin(), song.begin() + static_cast<ptrdiff_t>(from * kRate) + 123);
        fs::create_directories(path.parent_path());
        EXPECT_TRUE(
            test::WriteSound(path.string(), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, song));
        return path.string();
    }
    static std::string Library() { return (root_ / "Test Band").string(); }
    static std::string Scratch(const std::string& name) { return (root_ / name).string(); }
    static fs::path root_;
};

fs::path HarkboxServerTest::root_;

// A song from memory at a few hundred times real time: slow enough for the
// server's answer to arrive while the client still analyses.
struct PacedSong : MemorySource {
    using MemorySource::MemorySource;
    int Read(int32_t count, float* out) override {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        return MemorySource::Read(count, out);
    }
};

TEST_F(HarkboxServerTest, IndexesOnceIdentifiesReportsItsSizeAndServes) {
    const std::string catalogue = Scratch("library.db"), broken = Scratch("broken.wav");
    std::ofstream(broken) << "RIFF....WAVEfmt but nothing a decoder can use";
    std::string out, err;
    EXPECT_EQ(RunServer({"index", "--catalogue", catalogue, Library(), broken}, &out, &err), 0)
        << err;
    EXPECT_NE(err.find("4 added (2.7 minutes), 0 skipped, 1 failed\n"), std::string::npos) << err;
    EXPECT_NE(out.find("song-4 / Test Band (1:15)"), std::string::npos) << out;
    EXPECT_EQ(RunServer({"index", "--catalogue", catalogue, Library()}, &out), 0);
    EXPECT_EQ(Count(out, "\tskipped\t"), 4) << out;
    fs::create_directories(root_ / "empty");  // nothing to do is no failure
    EXPECT_EQ(RunServer({"index", "--catalogue", catalogue, Scratch("empty")}), 0);

    const std::string excerpt = WriteSong(root_ / "excerpt.wav", 102, 12, 9.5);
    ASSERT_EQ(RunServer({"identify", "--catalogue", catalogue, excerpt}, &out), 0);
    EXPECT_NE(out.find("excerpt.wav\tmatch\tsong-2\tTest Band\t"), std::string::npos) << out;
    ASSERT_EQ(RunServer({"stats", "--catalogue", catalogue}, &out), 0);
    EXPECT_NE(out.find("songs\t4\nhours\t0.05\n"), std::string::npos) << out;

    test::ChildProcess serve(HARKBOX_SERVER, {"serve", "--catalogue", catalogue, "--address",
                                              "127.0.0.1", "--udp-port", "0", "--http-port", "0"});
    ASSERT_TRUE(serve.WaitFor("web host on", true)) << serve.err;
    // "... UDP 127.0.0.1:<port>, web host on ..."
    const size_t at = serve.err.find("UDP 127.0.0.1:");
    const int udpPort = at == std::string::npos ? 0 : std::atoi(serve.err.c_str() + at + 14);
    ASSERT_GT(udpPort, 0) << serve.err;

    const std::vector<float> song = test::SyntheticSong(30, 103);
    PacedSong paced({song.begin() + 7 * kRate + 555, song.begin() + 22 * kRate + 555});
    QueryClient query;
    ASSERT_EQ(query.Handshake(0x7F000001, static_cast<uint16_t>(udpPort)), 0);
    EXPECT_EQ(query.RunQuery(paced), QueryClient::kAnswered);
    query.Close();
    EXPECT_EQ(query.Field(2), "song-3");
    EXPECT_EQ(query.Field(3), "Test Band");
    ASSERT_TRUE(serve.WaitFor("answer: song-3 / Test Band")) << serve.out;
    serve.Signal(SIGTERM);
    EXPECT_EQ(serve.Wait(10), 0) << serve.err;
    EXPECT_NE(serve.out.find("sessions 1, answers 1, refusals 0, expiries 0"), std::string::npos)
        << serve.out;
}

TEST_F(HarkboxServerTest, IndexingKilledMidwayResumesWhereItStopped) {
    const std::string catalogue = Scratch("resumed.db");
    {
        test::ChildProcess index(HARKBOX_SERVER,
                                 {"index", "--threads", "1", "--catalogue", catalogue, Library()});
        ASSERT_TRUE(index.WaitFor("\tadded\t")) << index.err;
        index.Signal(SIGKILL);
    }
    std::string out;
    ASSERT_EQ(RunServer({"index", "--catalogue", catalogue, Library()}, &out), 0);
    EXPECT_GE(Count(out, "\tskipped\t"), 1) << out;
    EXPECT_EQ(Count(out, "\tskipped\t") + Count(out, "\tadded\t"), 4) << out;
}

TEST_F(HarkboxServerTest, RefusesBadUseWithOneLineAndStatusTwo) {
    const std::string foreign = Scratch("foreign.db"), missing = Scratch("missing.db");
    {
        SqliteCatalogue store;
        ASSERT_EQ(store.Open(foreign, true), 0);
        ASSERT_EQ(store.SetCodebookChecksum("made-with-other-codebooks"), 0);
    }
    const std::vector<std::vector<std::string>> cases = {
        {"dance"},
        {"identify", "--catalogue", missing, Library()},
        {"index", "--catalogue", foreign, Library()},
    };
    for (const auto& arguments : cases) {
        std::string err;
        EXPECT_EQ(RunServer(arguments, nullptr, &err), 2) << err;
        EXPECT_EQ(Count(err, "\n"), 1) << err;
    }
}

}  // namespace
}  // namespace quil
