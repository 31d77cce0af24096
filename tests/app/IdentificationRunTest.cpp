// Identification runs of the main window against a scripted web host and
// identification server on loopback, with sound pushed into a scripted input.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AppTestSupport.h"
#include "app/RunOutcome.h"
#include "tests/net/FakeIdentificationServer.h"
#include "tests/net/FakeWebHost.h"

namespace quil {
namespace {

using test::Bytes;
using test::FakeIdentificationServer;
using test::FakeWebHost;
using testing::AppTest;
using Replies = std::vector<FakeIdentificationServer::Reply>;
using Stage = RunOutcome::Stage;

TEST(RunOutcomeTest, OneTableFromResultToLines) {
    struct Case {
        Stage stage;
        int code;
        const char* line1;  // null: the answer's title
        const char* line2;
    };
    const char* again = "Click to try again";
    const Case cases[] = {
        {Stage::kHostLookup, -1, "Server not found", again},
        {Stage::kHostLookup, 111, "Server not found", again},
        {Stage::kHandshake, -7, "Program too old", "Download new version"},
        {Stage::kHandshake, -4, "Server unreachable", again},
        {Stage::kHandshake, -5, "Server unreachable", again},
        {Stage::kHandshake, -6, "Server unreachable", again},
        {Stage::kQuery, -10, nullptr, nullptr},
        {Stage::kQuery, -9, "Signal too weak", "Check your microphone"},
        {Stage::kQuery, -6, "Server unreachable", again},
        {Stage::kQuery, -4, "Server unreachable", again},
        {Stage::kQuery, 0, "Song not found", again},
        {Stage::kQuery, -1, "Song not found", again},
        {Stage::kQuery, -2, "Song not found", again},
        {Stage::kQuery, -7, "Song not found", again},
        {Stage::kQuery, -8, "Song not found", again},
        {Stage::kStart, -1, "Song not found", again},
    };
    for (const Case& c : cases) {
        const RunOutcome outcome = RunOutcome::Describe(c.stage, c.code);
        const std::string what = std::to_string(int(c.stage)) + "/" + std::to_string(c.code);
        EXPECT_EQ(outcome.found, c.line1 == nullptr) << what;
        EXPECT_STREQ(outcome.line1, c.line1) << what;
        EXPECT_STREQ(outcome.line2, c.line2) << what;
    }
}

std::string HttpAnswer(const std::string& body, const char* status = "200 OK") {
    return std::string("HTTP/1.1 ") + status +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// An identification server replying to hellos with `onHello` and to
// confirms with `onConfirm`, silent to everything else.
FakeIdentificationServer::Script Server(Replies onHello, Replies onConfirm = {}) {
    return [onHello, onConfirm](const Bytes& datagram, size_t) {
        const uint8_t type = datagram.size() > 3 ? datagram[3] : 0;
        return type == 0x01 ? onHello : type == 0x02 ? onConfirm : Replies{};
    };
}

const Replies kOffer = {{test::ServerPacket(0x81, 10)}};

// Lets the status ticker make one pass per Step, so that tests see every
// pass without waiting for the clock.
class Pacer {
  public:
    bool Pause(StopToken& token) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++passes_;
        changed_.notify_all();
        while (grants_ == 0) {
            if (token.IsStopRequested())
                return true;
            changed_.wait_for(lock, std::chrono::milliseconds(5));
        }
        --grants_;
        return false;
    }
    // Waits (at most 10 s) until `count` passes are done.
    bool AwaitPasses(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return passes_ >= count; });
    }
    void Step() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++grants_;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int passes_ = 0;
    int grants_ = 0;
};

struct Screen {
    std::string lines[3];
    uint32_t findCommand;
    bool findEnabled;
    bool linkVisible;
    bool operator==(const Screen&) const = default;
};

class RunTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        devices_ = {{"USB Mic", "usb", false}};
        defaultDevice_ = "usb";
    }

    // Starts the program with runs going to these loopback ports, without
    // time limits: only a stop or an answer ends a wait.
    void Start(uint16_t webPort, uint16_t serverPort) {
        ASSERT_EQ(StartApp(), 0);
        Serve(webPort, serverPort);
    }
    void Serve(uint16_t webPort, uint16_t serverPort) {
        Application::Service service;
        service.webHost = "127.0.0.1";
        service.webPort = webPort;
        service.serverPort = serverPort;
        service.lookupTimeoutSeconds = 0;
        service.handshakeAttemptMs = 600000;
        app().SetService(service);
    }

    Screen Look() {
        Window::LockGuard hold(app());
        return {
            {app().statusLine(0)->text(), app().statusLine(1)->text(), app().statusLine(2)->text()},
            app().findButton()->commandCode(),
            app().findButton()->isEnabled(),
            app().linkButton()->isVisible()};
    }
    void SetLine3(const std::string& text) {
        Window::LockGuard hold(app());
        app().statusLine(2)->setText(text);
    }
    // Waits (at most 10 s) until line 1 reads `text`.
    bool AwaitLine1(const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Look().lines[0] != text) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    // Two seconds of loud noise into the capture.
    void PushSound() {
        uint32_t seed = 12345;
        std::vector<int16_t> block(1024);
        for (int i = 0; i < 86; ++i) {
            for (int16_t& sample : block) {
                seed = seed * 1664525u + 1013904223u;
                sample = static_cast<int16_t>(int32_t(seed >> 16) - 32768) / 3;
            }
            input_->Push(block);
        }
    }

    const Screen kReady{
        {"Harkbox ready", "Click to identify song", ""}, CommandCode("FIND"), true, false};
};

TEST_F(RunTest, AFoundSongShowsTitleAndArtistAndOpensItsPage) {
    FakeWebHost web(HttpAnswer("127.0.0.1"));
    // The answer follows the accept at once and waits for the first poll.
    FakeIdentificationServer server(
        Server(kOffer, {{test::Accept(1)}, {test::Answer("id\nlink\nDon't Stop\nAC/DC\n")}}));
    Start(web.port(), server.port());
    ASSERT_EQ(Look(), kReady);
    SetLine3("kept");

    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_EQ(web.Requests(1).size(), 1u);  // the sound from here on is analysed
    PushSound();
    app().WaitForRun();
    EXPECT_EQ(Look(), (Screen{{"Don't Stop", "AC/DC", "kept"}, CommandCode("STOP"), true, true}));
    EXPECT_EQ(web.Requests(1)[0].rfind("GET /harkbox/harkbox-host HTTP/1.1\r\n", 0), 0u);

    const std::string page = "http://127.0.0.1:" + std::to_string(web.port()) +
                             "/harkbox/links.pl?title=Don%27t%20Stop&artist=AC%2FDC";
    {
        Window::LockGuard hold(app());
        EXPECT_EQ(app().resultLink(), page);
    }
    testing::ScopedEnv locale("LC_ALL", "en_GB.UTF-8");
    ASSERT_TRUE(app().command(CommandCode("LINK"), 0));
    EXPECT_EQ(system_.openedUrls(), std::vector<std::string>{page + "&loc=UK&lang=en"});

    // The next click dismisses the song.
    ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
    EXPECT_EQ(
        Look(),
        (Screen{
            {"Harkbox ready", "Click to identify song", ""}, CommandCode("FIND"), true, false}));
}

TEST_F(RunTest, EveryFailureEndsWithItsLinesAndTheFindButton) {
    struct Case {
        std::string hostAnswer;
        Replies onHello;
        Replies onConfirm;
        std::string line1;
        std::string line2;
    };
    const Case cases[] = {
        {HttpAnswer("127.0.0.1", "404 Not Found"),
         kOffer,
         {},
         "Server not found",
         "Click to try again"},
        // The body is resolved as it stands: a line break is part of the name.
        {HttpAnswer("localhost\n"), kOffer, {}, "Server not found", "Click to try again"},
        {HttpAnswer("127.0.0.1"),
         {{test::ServerPacket(0xC1, 10)}},
         {},
         "Program too old",
         "Download new version"},
        {HttpAnswer("127.0.0.1"),
         {{test::ServerPacket(0xC2, 10)}},
         {},
         "Server unreachable",
         "Click to try again"},
        {HttpAnswer("127.0.0.1"),
         kOffer,
         {{test::ServerPacket(0xD1, 10)}},
         "Server unreachable",
         "Click to try again"},
    };
    ASSERT_EQ(StartApp(), 0);
    for (const Case& c : cases) {
        FakeWebHost web(c.hostAnswer);
        FakeIdentificationServer server(Server(c.onHello, c.onConfirm));
        Serve(web.port(), server.port());
        SetLine3("emptied");
        ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
        app().WaitForRun();
        EXPECT_EQ(Look(), (Screen{{c.line1, c.line2, ""}, CommandCode("FIND"), true, false}))
            << c.line1;
    }
}

TEST_F(RunTest, AStopAtAnyStageShowsReadyAndTheRunChangesNothingLater) {
    for (const std::string stage : {"Looking up server", "Contacting server", "Identifying song"}) {
        FakeWebHost web(HttpAnswer("127.0.0.1"), stage == "Looking up server"
                                                     ? FakeWebHost::Mode::kSilent
                                                     : FakeWebHost::Mode::kAnswerAndClose);
        // Never answers a hello, or accepts and never answers the query.
        FakeIdentificationServer server(
            Server(stage == "Contacting server" ? Replies{} : kOffer, {{test::Accept(1)}}));
        if (!app_) {
            Start(web.port(), server.port());
            // No dots: line 1 shows each stage as it is set.
            app().SetStatusTickerPause([](StopToken& token) { return token.WaitFor(600000); });
        }
        Serve(web.port(), server.port());
        ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
        if (stage == "Looking up server") {
            ASSERT_EQ(web.Requests(1).size(), 1u);
        } else if (stage == "Contacting server") {
            ASSERT_TRUE(server.WaitForHandled(1));
        }
        ASSERT_TRUE(AwaitLine1(stage)) << stage;

        ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
        EXPECT_EQ(Look(), kReady) << stage;
        // The analysis notices the stop at its next hop.
        PushSound();
        app().WaitForRun();
        EXPECT_EQ(Look(), kReady) << stage;
    }
}

TEST_F(RunTest, ClosingDuringARunEndsItsThreads) {
    for (FakeWebHost::Mode mode :
         {FakeWebHost::Mode::kSilent, FakeWebHost::Mode::kAnswerAndClose}) {
        FakeWebHost web(HttpAnswer("127.0.0.1"), mode);
        FakeIdentificationServer server(Server(kOffer, {{test::Accept(1)}}));
        Start(web.port(), server.port());
        ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
        // Waiting for the web host, or for sound that never comes.
        if (mode == FakeWebHost::Mode::kSilent) {
            ASSERT_EQ(web.Requests(1).size(), 1u);
        } else {
            ASSERT_TRUE(AwaitLine1("Identifying song"));
        }
        app_.reset();
    }
}

TEST_F(RunTest, TheStatusTickerCountsDotsAndStartsAgainAtEachStage) {
    FakeWebHost web(HttpAnswer("127.0.0.1"), FakeWebHost::Mode::kAnswerWhenReleased);
    FakeIdentificationServer server(Server({}));
    Start(web.port(), server.port());
    Pacer pacer;
    app().SetStatusTickerPause([&](StopToken& token) { return pacer.Pause(token); });
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));

    const auto pass = [&](int n) {
        if (n > 1)
            pacer.Step();
        EXPECT_TRUE(pacer.AwaitPasses(n));
        return Look().lines[0];
    };
    EXPECT_EQ(pass(1), "Looking up server");
    EXPECT_EQ(Look().lines[1], "Please wait");
    EXPECT_EQ(pass(2), "Looking up server.");
    web.Release();
    ASSERT_TRUE(server.WaitForHandled(1));  // the stage has changed
    EXPECT_EQ(pass(3), "Contacting server");
    EXPECT_EQ(pass(4), "Contacting server.");
    EXPECT_EQ(pass(5), "Contacting server..");
    EXPECT_EQ(pass(6), "Contacting server...");
    EXPECT_EQ(pass(7), "Contacting server");
    EXPECT_EQ(Look().lines[1], "Please wait");

    ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
    app().WaitForRun();
    EXPECT_EQ(Look(), kReady);
}

}  // namespace
}  // namespace quil
