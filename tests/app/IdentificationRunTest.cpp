// Identification runs of the main window against a scripted web host and
// identification server on loopback, with sound pushed into a scripted input.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "AppTestSupport.h"
#include "app/ResultLink.h"
#include "app/RunOutcome.h"
#include "platform/UserLocale.h"
#include "tests/net/FakeIdentificationServer.h"
#include "tests/net/FakeWebHost.h"

namespace quil {
namespace {

using test::FakeIdentificationServer;
using test::FakeWebHost;
using Mode = FakeWebHost::Mode;
using Replies = std::vector<FakeIdentificationServer::Reply>;
using Stage = RunOutcome::Stage;

// The outcomes the runs below do not reach: a lookup, a handshake and a found
// song end there.
TEST(RunOutcomeTest, OneTableFromResultToLines) {
    const std::tuple<Stage, int, const char*> cases[] = {
        {Stage::kQuery, -9, "Signal too weak|Check your microphone"},
        {Stage::kQuery, -6, "Server unreachable|Click to try again"},
        {Stage::kQuery, 0, "Song not found|Click to try again"},
    };
    for (const auto& [stage, code, lines] : cases) {
        const RunOutcome o = RunOutcome::Describe(stage, code);
        EXPECT_EQ(std::string(o.line1) + "|" + o.line2, lines) << int(stage) << " " << code;
    }
}

std::string HttpAnswer(const std::string& body, const char* status = "200 OK") {
    return std::string("HTTP/1.1 ") + status +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Replies to hellos with `onHello` and to confirms with `onConfirm`.
FakeIdentificationServer::Script Server(Replies onHello, Replies onConfirm = {}) {
    return [onHello, onConfirm](const test::Bytes& datagram, size_t) {
        const uint8_t type = datagram.size() > 3 ? datagram[3] : 0;
        return type == 0x01 ? onHello : type == 0x02 ? onConfirm : Replies{};
    };
}

const Replies kOffer = {{test::ServerPacket(0x81, 10)}};
const Replies kAccept = {{test::Accept(1)}};

const char* const kReady = "Harkbox ready|Click to identify song||FIND on";

class RunTest : public testing::AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        devices_ = {{"USB Mic", "usb", false}};
        defaultDevice_ = "usb";
        ASSERT_EQ(StartApp(), 0);
    }
    void SetLine3(const char* text) {
        Window::LockGuard hold(app());
        app().statusLine(2)->setText(text);
    }
    // Waits (at most 10 s) until line 1 reads `text`.
    bool AwaitLine1(const std::string& text) {
        for (int i = 0; i < 5000 && Shows().rfind(text + "|", 0) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return Shows().rfind(text + "|", 0) == 0;
    }
    // Two seconds of loud noise into the capture.
    void PushSound() {
        uint32_t seed = 12345;
        std::vector<int16_t> block(1024);
        for (int i = 0; i < 86; ++i) {
            for (int16_t& sample : block) {
                seed = seed * 1664525u + 1013904223u;
                sample = static_cast<int16_t>((int32_t(seed >> 16) - 32768) / 3);
            }
            input_->Push(block);
        }
    }
};

TEST_F(RunTest, AFoundSongShowsTitleAndArtistAndOpensItsPage) {
    FakeWebHost web(HttpAnswer("127.0.0.1"));
    // The answer follows the accept at once and waits for the first poll.
    FakeIdentificationServer server(
        Server(kOffer, {kAccept[0], {test::Answer("id\nlink\nDon't Stop\nAC/DC\n")}}));
    Serve(web.port(), server.port());
    SetLine3("kept");
    const std::vector<uint32_t> before = window().Screen();
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_EQ(web.Requests(1).size(), 1u);  // sound from here on is analysed
    EXPECT_EQ(web.Requests(1)[0].rfind("GET /harkbox/harkbox-host HTTP/1.1\r\n", 0), 0u);
    // Once the answer waits on the program's socket, the next hop finds it.
    ASSERT_TRUE(server.WaitForHandled(2));
    PushSound();
    app().WaitForRun();
    EXPECT_EQ(Shows(), "Don't Stop|AC/DC|kept|STOP on|link");
    // The link button is on the screen with the answer, not at a later paint.
    const std::vector<uint32_t> after = window().Screen();
    const Rect button = [&] {
        Window::LockGuard hold(app());
        return app().linkButton()->face().frame();
    }();
    int changed = 0;
    for (int32_t y = button.top; y < button.bottom; ++y)
        for (int32_t x = button.left; x < button.right; ++x)
            changed += after.at(size_t(y * window().screenWidth() + x)) !=
                       before.at(size_t(y * window().screenWidth() + x));
    EXPECT_GT(changed, 0);

    testing::ScopedEnv locale("LC_ALL", "en_GB.UTF-8");
    ASSERT_TRUE(app().command(CommandCode("LINK"), 0));
    const std::string link = "http://127.0.0.1:" + std::to_string(web.port()) +
                             "/harkbox/links.pl?title=Don%27t%20Stop&artist=AC%2FDC";
#ifdef _WIN32
    // Windows programs take the user's country and language from the
    // system's settings, not from the environment.
    EXPECT_EQ(system_.openedUrls(),
              std::vector<std::string>{ResultLink::WithLocale(link, UserLocaleName())});
#else
    EXPECT_EQ(system_.openedUrls(), std::vector<std::string>{link + "&loc=UK&lang=en"});
#endif
    // The next click dismisses the song.
    ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
    EXPECT_EQ(Shows(), kReady);
}

TEST_F(RunTest, EveryFailureEndsWithItsLinesAndTheFindButton) {
    const std::string ok = HttpAnswer("127.0.0.1");
    const Replies tooOld = {{test::ServerPacket(0xC1, 10)}};
    const Replies refused = {{test::ServerPacket(0xD1, 10)}};
    // The web host's answer, the server's replies to hellos and confirms,
    // and lines 1 and 2.
    const std::tuple<std::string, Replies, Replies, std::string> cases[] = {
        // The body is resolved as it stands: a line break is part of the name.
        {HttpAnswer("localhost\n"), kOffer, kAccept, "Server not found|Click to try again"},
        {ok, tooOld, {}, "Program too old|Download new version"},
        {ok, kOffer, refused, "Server unreachable|Click to try again"},
    };
    for (const auto& [hostAnswer, onHello, onConfirm, lines] : cases) {
        FakeWebHost web(hostAnswer);
        FakeIdentificationServer server(Server(onHello, onConfirm));
        Serve(web.port(), server.port());
        SetLine3("emptied");
        ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
        app().WaitForRun();
        EXPECT_EQ(Shows(), lines + "||FIND on");
    }
}

// A stop during the handshake is the ticker test's; a stop during the
// analysis is the same stop as the program's close below.
TEST_F(RunTest, AStopShowsReadyAndTheRunChangesNothingLater) {
    // No dots: line 1 shows each stage as the worker sets it.
    app().SetStatusTickerPause([](StopToken& token) { return token.WaitFor(600000); });
    {
        // A web host that never answers.
        FakeWebHost web(HttpAnswer("127.0.0.1"), Mode::kSilent);
        Serve(web.port());
        ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
        web.Requests(1);
        ASSERT_TRUE(AwaitLine1("Looking up server"));
        ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
        EXPECT_EQ(Shows(), kReady);
        app().WaitForRun();
        EXPECT_EQ(Shows(), kReady);
    }
    // Closing the program while the analysis waits for sound that never
    // comes ends it too.
    FakeWebHost web(HttpAnswer("127.0.0.1"));
    FakeIdentificationServer server(Server(kOffer, kAccept));
    Serve(web.port(), server.port());
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_TRUE(AwaitLine1("Identifying song"));
    app_.reset();
}

TEST_F(RunTest, TheStatusTickerCountsDotsAndStartsAgainAtEachStage) {
    FakeWebHost web(HttpAnswer("127.0.0.1"), Mode::kAnswerWhenReleased);
    FakeIdentificationServer server(Server({}));
    Serve(web.port(), server.port());
    // The ticker's pause notes what each pass showed, lets the worker move on
    // to the handshake after the second, and stops pacing after the seventh.
    std::vector<std::string> seen;  // the ticker's until `done`
    std::promise<void> done;
    app().SetStatusTickerPause([&](StopToken& token) {
        seen.push_back(Shows());
        if (seen.size() == 2) {
            web.Release();
            EXPECT_TRUE(server.WaitForHandled(1));
        }
        if (seen.size() == 7)
            done.set_value();
        return seen.size() >= 7 && token.WaitFor(600000);
    });
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    std::vector<std::string> expected;
    for (const char* line :
         {"Looking up server", "Looking up server.", "Contacting server", "Contacting server.",
          "Contacting server..", "Contacting server...", "Contacting server"})
        expected.push_back(line + std::string("|Please wait||STOP on"));
    EXPECT_EQ(seen, expected);
    ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
    app().WaitForRun();
    EXPECT_EQ(Shows(), kReady);
}

}  // namespace
}  // namespace quil
