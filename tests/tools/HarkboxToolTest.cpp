// harkbox-tool's commands end to end: the built tool on files of the test's
// own and on a scripted web host and identification server on loopback.
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/audiofile/SoundFiles.h"
#include "tests/fingerprint/TestSignals.h"
#include "tests/net/FakeIdentificationServer.h"
#include "tests/net/FakeWebHost.h"

namespace quil {
namespace {

const char* const kFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

// A fresh scratch path named after the running test, as ctest runs the
// tests side by side.
std::string Scratch(const std::string& suffix) {
    const std::filesystem::path dir = std::filesystem::path(HARKBOX_BINARY_DIR) / "tests" / "tools";
    std::filesystem::create_directories(dir);
    const std::filesystem::path path =
        dir / (::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix);
    std::filesystem::remove_all(path);
    return path.string();
}

struct ToolRun {
    int status = -1;  // the wait status; -1 when the tool could not be started
    std::string out;
    std::string errors;
};

// Runs harkbox-tool with `args` (already quoted for the shell).
ToolRun Tool(const std::string& args) {
    const std::string err = Scratch(".stderr");
    const std::string command = std::string("'") + HARKBOX_TOOL + "' " + args + " 2>'" + err + "'";
    ToolRun run;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
            run.out.append(buf, n);
        run.status = ::pclose(pipe);
    }
    std::ifstream errors(err, std::ios::binary);
    run.errors.assign(std::istreambuf_iterator<char>(errors), {});
    return run;
}

// A PNG file's pixels, null when it cannot be read.
struct Png {
    explicit Png(const std::string& path)
        : pixels(stbi_load(path.c_str(), &width, &height, &channels, 0), stbi_image_free) {}
    unsigned char at(int x, int y, int c = 0) const {
        return pixels.get()[(static_cast<size_t>(y) * width + x) * channels + c];
    }
    int width = 0;  // filled in by the load, so declared before the pixels
    int height = 0;
    int channels = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels;
};

TEST(HarkboxTool, RenderTextDrawsInkWhereTheTextIs) {
    if (!std::filesystem::exists(kFont))
        GTEST_SKIP() << "Liberation Sans is not installed";
    const std::string out = Scratch(".png");
    ASSERT_EQ(Tool(std::string("render-text --font ") + kFont +
                   " --size 14 --text 'Harkbox ready' --width 200 --height 18 --origin 4,14"
                   " --out '" +
                   out + "'")
                  .status,
              0);
    const Png png(out);
    ASSERT_NE(png.pixels, nullptr);
    EXPECT_EQ(std::tuple(png.width, png.height, png.channels), std::tuple(200, 18, 1));
    // Ink between the origin and the end of the text (about 90 pixels at
    // 14 px), much of it solid; none left of the origin or far right.
    int outside = 0;
    int solid = 0;
    for (int y = 0; y < 18; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (x < 4 || x >= 110)
                outside += png.at(x, y) != 0;
            else
                solid += png.at(x, y) == 255;
        }
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(solid, 25);
}

TEST(HarkboxTool, RefusesBadArguments) {
    const std::string out = Scratch(".png");
    const std::string text = " --text x --width 20 --height 20 --out '" + out + "'";
    const std::string font = std::string(" --font ") + kFont;
    const std::string notFont = " --font '" + std::string(HARKBOX_SOURCE_DIR) + "/CMakeLists.txt'";
    const std::string wav = Scratch(".wav");
    ASSERT_TRUE(test::WriteSound(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
                                 std::vector<float>(44100, 0.0f)));
    struct Case {
        std::string args;
        std::string error;  // a piece of the message; empty: any
        bool needsFont = false;
    };
    std::vector<Case> cases = {
        {"render-text --font /nonexistent.ttf --size 14 --origin 1,1" + text,
         "cannot load font /nonexistent.ttf"},
        {"render-text" + notFont + " --size 14 --origin 1,1" + text, "not a TrueType font"},
        {"render-text" + font + " --size nan --origin 1,1" + text, "bad size", true},
        {"render-skin --width 401 --out '" + out + "'", "bad width"},
        {"fingerprint /nonexistent/song.wav", "/nonexistent/song.wav"},
        {"fingerprint --candidates 256 '" + wav + "'", "bad candidate count"},
        {"query --server :5747 '" + wav + "'", "bad server"},
        {"query --server 127.0.0.1:65536 '" + wav + "'", "bad port"},
        {"query --server 127.0.0.1:5747 /nonexistent/song.wav", "/nonexistent/song.wav"},
        {"http-get 127.0.0.1 65536 /", ""},  // refused by the argument parser
    };
    for (const char* origin : {"1", "1,", "1,2,3", "1,inf", " 1,2"}) {
        cases.push_back({"render-text" + font + " --size 14 --origin '" + origin + "'" + text,
                         "bad origin", true});
    }
    for (const Case& c : cases) {
        if (c.needsFont && !std::filesystem::exists(kFont))
            continue;
        SCOPED_TRACE(c.args);
        const ToolRun run = Tool(c.args);
        EXPECT_NE(run.status, 0);
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(!run.errors.empty() && run.errors.find(c.error) != std::string::npos)
            << run.errors;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(HarkboxTool, RenderSkinLaysOutTheWindow) {
    const std::string out = Scratch(".png");
    ASSERT_EQ(Tool("render-skin --width 250 --out '" + out + "'").status, 0);
    const Png png(out);
    ASSERT_NE(png.pixels, nullptr);
    // Below the window, 8-pixel margins around a row of 24-pixel buttons, a
    // 6-pixel gap and a row of 12-pixel glyphs.
    ASSERT_EQ(std::tuple(png.width, png.height, png.channels),
              std::tuple(250 + 16, 8 + 66 + 8 + 24 + 6 + 12 + 8, 4));
    // The window sits 8 pixels in: grey outside its rounded ends and in the
    // margin row above the body, the opaque purple body (more blue than red)
    // at mid-height.
    const int grey[][2] = {{8, 8}, {8 + 249, 8}, {8 + 125, 8 + 1}};
    for (const auto& [x, y] : grey)
        EXPECT_TRUE(png.at(x, y, 0) == png.at(x, y, 1) && png.at(x, y, 1) == png.at(x, y, 2)) << x;
    for (int x : {8 + 5, 8 + 125, 8 + 244})
        EXPECT_TRUE(png.at(x, 48, 2) > png.at(x, 48, 0) + 40 && png.at(x, 48, 3) == 255) << x;
    // The find button's white magnifier lies over the body at (10, 21).
    int white = 0;
    for (int y = 8 + 21; y < 8 + 45; ++y) {
        for (int x = 8 + 10; x < 8 + 34; ++x)
            white += png.at(x, y, 0) > 230 && png.at(x, y, 2) > 230;
    }
    EXPECT_GT(white, 20);
}

// `hops` hops of sound with an onset every 40 hops, written at `rate`.
bool WriteOnsets(const std::string& path, int32_t hops, int rate = 44100) {
    std::vector<int32_t> bursts;
    for (int32_t hop = 10; hop < hops; hop += 40)
        bursts.push_back(hop);
    return test::WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 1,
                            test::OnsetSignal(hops, bursts, 0, 0.5f, 0.01f));
}

// The fingerprint output's lines, each `numbers` numbers, the first the
// start frame and the others codes; fails the test on anything else.
std::vector<std::vector<long>> ParseLines(const std::string& text, size_t numbers) {
    std::vector<std::vector<long>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        const std::vector<long>& v =
            lines.emplace_back(std::istream_iterator<long>(words), std::istream_iterator<long>());
        EXPECT_TRUE(v.size() == numbers && words.eof() &&
                    *std::max_element(v.begin() + 1, v.end()) <= 255)
            << line;
    }
    return lines;
}

TEST(HarkboxTool, FingerprintPrintsStartFrameAndCodesPerSegment) {
    const std::string wav = Scratch(".wav");
    ASSERT_TRUE(WriteOnsets(wav, 861));
    const ToolRun one = Tool("fingerprint '" + wav + "'");
    ASSERT_EQ(one.status, 0) << one.errors;
    EXPECT_TRUE(one.errors.empty()) << one.errors;
    const auto lines = ParseLines(one.out, 5);
    // An onset every 40 hops over 20 s (861 hops); a segment is sent 104
    // hops after its start, so the last ones never are.
    EXPECT_GT(lines.size(), 15u);
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_GT(lines[i][0], lines[i - 1][0]);
    EXPECT_LE(lines.back()[0], 861 - 104);
}

TEST(HarkboxTool, TrainCodebooksRefusesTooLittleAudio) {
    const std::string dir = Scratch("-corpus");
    std::filesystem::create_directories(dir + "/sub");
    ASSERT_TRUE(WriteOnsets(dir + "/sub/onsets.wav", 215, 22050));
    const std::string table = Scratch(".bin");

    const ToolRun few = Tool("train-codebooks --out '" + table + "' '" + dir + "'");
    EXPECT_NE(few.status, 0);
    EXPECT_NE(few.errors.find("too few distinct rows"), std::string::npos) << few.errors;
    EXPECT_NE(few.out.find("files: 1 used, 0 skipped"), std::string::npos) << few.out;
    EXPECT_FALSE(std::filesystem::exists(table));
}

TEST(HarkboxTool, HttpGetPrintsResultStatusAndBody) {
    test::FakeWebHost host("HTTP/1.1 200 OK\r\nServer: fake\r\n\r\nid.example.org");
    const std::string port = std::to_string(host.port());
    const ToolRun run = Tool("http-get 127.0.0.1 " + port + " /harkbox/harkbox-host");
    EXPECT_TRUE(run.out == "result 0 status 200\nid.example.org" && run.status == 0) << run.out;
    EXPECT_EQ(host.Requests().at(0).rfind("GET /harkbox/harkbox-host HTTP/1.1\r\n", 0), 0u);
}

TEST(HarkboxTool, QueryPrintsTheAnswerAfterTheFirstCodePacket) {
    using test::Bytes;
    using Replies = std::vector<test::FakeIdentificationServer::Reply>;
    // Half a minute of onsets, so that at full speed the analysis is still
    // running when the answer to the first code packet comes back.
    const std::string file = Scratch(".wav");
    ASSERT_TRUE(WriteOnsets(file, 1292));
    test::FakeIdentificationServer server([](const Bytes& datagram, size_t) {
        const uint8_t type = datagram.size() > 3 ? datagram[3] : 0;
        if (type == 0x01)
            return Replies{{test::ServerPacket(0x81, 10)}};
        if (type == 0x02)
            return Replies{{test::Accept(2)}};
        if (type == 0x11)
            return Replies{{test::Answer("f0\nf1\nTitle\nArtist")}};
        return Replies{};
    });
    const ToolRun run =
        Tool("query --server 127.0.0.1:" + std::to_string(server.port()) + " '" + file + "'");
    EXPECT_EQ(run.out,
              "handshake 0\nquery -10\nfield0 f0\nfield1 f1\nfield2 Title\nfield3 Artist\n"
              "field4 \nfield5 \nfield6 \nfield7 \n");
    EXPECT_EQ(run.status, 0);
    // The tool has ended: its goodbye is in or on its way (at most 5 s).
    for (int i = 0; i < 5000 && server.ReceivedOfType(0x03).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(server.ReceivedOfType(0x03), std::vector<Bytes>{test::ServerPacket(
                                               0x03, 10, 1, {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6})});
}

}  // namespace
}  // namespace quil
