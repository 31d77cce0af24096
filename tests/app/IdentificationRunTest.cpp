// Identification runs of the main window against a scripted web host and
// identification server on loopback, with sound pushed into a scripted input.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
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

TEST(RunOutcomeTest, OneTableFromResultToLines) {
    const char* again = "Click to try again";
    const struct {
        Stage stage;
        std::vector<int> codes;
        const char* line1;  // null: a found song, shown by its title
        const char* line2;
    } cases[] = {
        {Stage::kHostLookup, {-1}, "Server not found", again},
        {Stage::kHandshake, {-7}, "Program too old", "Download new version"},
        {Stage::kHandshake, {-5, -6}, "Server unreachable", again},
        {Stage::kQuery, {-10}, nullptr, nullptr},
        {Stage::kQuery, {-9}, "Signal too weak", "Check your microphone"},
        {Stage::kQuery, {-6, -4}, "Server unreachable", again},
        {Stage::kQuery, {0, -1, -8}, "Song not found", again},
        {Stage::kStart, {-1}, "Song not found", again},
    };
    for (const auto& c : cases) {
        for (const int code : c.codes) {
            const RunOutcome outcome = RunOutcome::Describe(c.stage, code);
            EXPECT_EQ(outcome.found, c.line1 == nullptr) << code;
            EXPECT_STREQ(outcome.line1, c.line1) << code;
            EXPECT_STREQ(outcome.line2, c.line2) << code;
        }
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

// Lets the status ticker make one pass per Step, so that a test sees every
// pass without waiting for the clock.
class Pacer {
  public:
    bool Pause(StopToken& token) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++passes_;
        changed_.notify_all();
        while (grants_ == 0 && !token.IsStopRequested())
            changed_.wait_for(lock, std::chrono::milliseconds(5));
        --grants_;
        return token.IsStopRequested();
    }
    // Allows the next pass (unless it is the first) and waits (at most
    // 10 s) until it is done.
    void Pass(int n) {
        std::unique_lock<std::mutex> lock(mutex_);
        grants_ += n > 1;
        changed_.notify_all();
        EXPECT_TRUE(
            changed_.wait_for(lock, std::chrono::seconds(10), [&] { return passes_ >= n; }));
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

const Screen kReady{
    {"Harkbox ready", "Click to identify song", ""}, CommandCode("FIND"), true, false};

class RunTest : public testing::AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        devices_ = {{"USB Mic", "usb", false}};
        defaultDevice_ = "usb";
        ASSERT_EQ(StartApp(), 0);
    }
    // Runs go to these loopback ports, without time limits: only a stop or
    // an answer ends a wait.
    void Serve(const FakeWebHost& web, const FakeIdentificationServer& server) {
        Application::Service service;
        service.webHost = "127.0.0.1";
        service.webPort = web.port();
        service.serverPort = server.port();
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
        for (int i = 0; i < 5000 && Look().lines[0] != text; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return Look().lines[0] == text;
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
    Serve(web, server);
    SetLine3("kept");
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_EQ(web.Requests(1).size(), 1u);  // sound from here on is analysed
    // Once the answer waits on the program's socket, the next hop finds it.
    ASSERT_TRUE(server.WaitForHandled(2));
    PushSound();
    app().WaitForRun();
    EXPECT_EQ(Look(), (Screen{{"Don't Stop", "AC/DC", "kept"}, CommandCode("STOP"), true, true}));
    EXPECT_EQ(web.Requests(1)[0].rfind("GET /harkbox/harkbox-host HTTP/1.1\r\n", 0), 0u);

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
    EXPECT_EQ(Look(), kReady);
}

TEST_F(RunTest, EveryFailureEndsWithItsLinesAndTheFindButton) {
    const char* again = "Click to try again";
    const struct {
        std::string hostAnswer;
        Replies onHello;
        Replies onConfirm;
        std::string line1;
        std::string line2;
    } cases[] = {
        {HttpAnswer("127.0.0.1", "404 Not Found"), kOffer, kAccept, "Server not found", again},
        // The body is resolved as it stands: a line break is part of the name.
        {HttpAnswer("localhost\n"), kOffer, kAccept, "Server not found", again},
        {HttpAnswer("127.0.0.1"),
         {{test::ServerPacket(0xC1, 10)}},
         {},
         "Program too old",
         "Download new version"},
        {HttpAnswer("127.0.0.1"),
         kOffer,
         {{test::ServerPacket(0xD1, 10)}},
         "Server unreachable",
         again},
    };
    for (const auto& c : cases) {
        FakeWebHost web(c.hostAnswer);
        FakeIdentificationServer server(Server(c.onHello, c.onConfirm));
        Serve(web, server);
        SetLine3("emptied");
        ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
        app().WaitForRun();
        EXPECT_EQ(Look(), (Screen{{c.line1, c.line2, ""}, CommandCode("FIND"), true, false}));
    }
}

TEST_F(RunTest, TheLookupStepsShareOneBound) {
    FakeWebHost web(HttpAnswer("server.invalid"));
    FakeIdentificationServer server(Server(kOffer, kAccept));
    Serve(web, server);
    Application::Service service = app().service();
    service.lookupTimeoutSeconds = 2;
    // The names asked for with the time each was given (ms); written by the
    // run's worker, read after it ended.
    std::vector<std::pair<std::string, int64_t>> asked;
    service.resolve = [&](const std::string& name, std::chrono::milliseconds timeout,
                          const StopToken&) -> std::optional<HostEntry> {
        asked.emplace_back(name, timeout.count());
        if (name != "127.0.0.1")
            return std::nullopt;
        // A slow resolver for the web host uses up a quarter of the bound.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return HostEntry{{0x7F000001}};
    };
    app().SetService(service);
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    app().WaitForRun();
    EXPECT_EQ(Look().lines[0], "Server not found");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].first, "server.invalid");
    EXPECT_GT(asked[0].second, 1500);
    EXPECT_LE(asked[0].second, 2000);
    EXPECT_LE(asked[1].second, 1500) << "the server's name gets only what is left";
}

TEST_F(RunTest, AStopAtAnyStageShowsReadyAndTheRunChangesNothingLater) {
    // No dots: line 1 shows each stage as the worker sets it.
    app().SetStatusTickerPause([](StopToken& token) { return token.WaitFor(600000); });
    for (const std::string stage : {"Looking up server", "Contacting server", "Identifying song"}) {
        // A web host that never answers; a server that never answers a
        // hello; one that accepts and never answers the query.
        FakeWebHost web(HttpAnswer("127.0.0.1"),
                        stage == "Looking up server" ? Mode::kSilent : Mode::kAnswerAndClose);
        FakeIdentificationServer server(
            Server(stage == "Contacting server" ? Replies{} : kOffer, kAccept));
        Serve(web, server);
        ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
        web.Requests(1);
        ASSERT_TRUE(stage != "Contacting server" || server.WaitForHandled(1));
        ASSERT_TRUE(AwaitLine1(stage));
        ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
        EXPECT_EQ(Look(), kReady) << stage;
        PushSound();  // the analysis notices the stop at its next hop
        app().WaitForRun();
        EXPECT_EQ(Look(), kReady) << stage;
    }
    // Closing the program while the analysis waits for sound that never
    // comes ends it too.
    FakeWebHost web(HttpAnswer("127.0.0.1"));
    FakeIdentificationServer server(Server(kOffer, kAccept));
    Serve(web, server);
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_TRUE(AwaitLine1("Identifying song"));
    app_.reset();
}

TEST_F(RunTest, TheStatusTickerCountsDotsAndStartsAgainAtEachStage) {
    FakeWebHost web(HttpAnswer("127.0.0.1"), Mode::kAnswerWhenReleased);
    FakeIdentificationServer server(Server({}));
    Serve(web, server);
    Pacer pacer;
    app().SetStatusTickerPause([&](StopToken& token) { return pacer.Pause(token); });
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    pacer.Pass(1);
    EXPECT_EQ(Look().lines[0], "Looking up server");
    pacer.Pass(2);
    EXPECT_EQ(Look().lines[0], "Looking up server.");
    // The worker moves on to the handshake: the dots start again.
    web.Release();
    ASSERT_TRUE(server.WaitForHandled(1));
    const char* later[] = {"Contacting server", "Contacting server.", "Contacting server..",
                           "Contacting server...", "Contacting server"};
    for (int i = 0; i < 5; ++i) {
        pacer.Pass(3 + i);
        EXPECT_EQ(Look().lines[0], later[i]) << i;
    }
    EXPECT_EQ(Look().lines[1], "Please wait");
    ASSERT_TRUE(app().command(CommandCode("STOP"), 0));
    app().WaitForRun();
    EXPECT_EQ(Look(), kReady);
}

}  // namespace
}  // namespace quil
