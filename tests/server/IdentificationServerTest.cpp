// The UDP side against the project's own query client and raw datagrams,
// on real loopback sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/QueryClient.h"
#include "platform/Sockets.h"
#include "server/IdentificationServer.h"

namespace quil {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint8_t kCandidates = 2;
const Bytes kHello = {0x48, 0x42, 1, 0x01};

std::string Repeat(const std::string& unit, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

// Song k answers a segment whose first code is k.
const std::vector<SongInfo> kSongs = {
    {1, "Title", "Artist", 0, "", ""},
    {2, "", "", 0, "", ""},
    {3, "Two\r\nlines\n", "Band\nName", 0, "", ""},
    {4, Repeat("\xC3\xA9", 600), "Band", 0, "", ""},
    {5, Repeat("a", 600), Repeat("b", 600), 0, "", ""},
    {6, Repeat("\x80", 600), "X", 0, "", ""},
};

// Decides on a segment whose first code names a song; counts every segment.
class FakeIdentifier : public SongIdentifier {
  public:
    int32_t candidates() const override { return kCandidates; }
    std::unique_ptr<IdentifySession> NewSession() const override {
        return std::make_unique<Session>(seen);
    }
    mutable std::atomic<int64_t> seen{0};

  private:
    struct Session : IdentifySession {
        explicit Session(std::atomic<int64_t>& counter) : seen(counter) {}
        std::optional<SongAnswer> Add(const QuerySegment& segment) override {
            ++seen;
            ++count;
            const size_t song = segment.codes[0];
            if (song == 0 || song > kSongs.size())
                return std::nullopt;
            return SongAnswer{kSongs[song - 1], 0};
        }
        int32_t segments() const override { return count; }
        std::atomic<int64_t>& seen;
        int32_t count = 0;
    };
};

// Polls `condition` for at most five seconds.
bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The server on 127.0.0.1 at a free port, its io_context running on a
// thread of its own for at most 30 s.
class RunningServer {
  public:
    explicit RunningServer(const ServerOptions& options = {})
        : server_(io_, identifier, options, [this](const std::string& line) {
              std::lock_guard<std::mutex> lock(mutex_);
              log_.push_back(line);
          }) {
        if (!server_.Start(asio::ip::address_v4::loopback(), 0))
            thread_ = std::thread([this] { io_.run_for(std::chrono::seconds(30)); });
    }
    ~RunningServer() {
        server_.Stop();
        if (thread_.joinable())
            thread_.join();
    }
    bool started() const { return thread_.joinable(); }
    uint16_t port() const { return server_.LocalEndpoint().port(); }
    ServerCounters Counters() const { return server_.Counters(); }
    std::vector<std::string> Log() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }

    FakeIdentifier identifier;

  private:
    asio::io_context io_;
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
    IdentificationServer server_;
    std::thread thread_;
};

// A bare socket on 127.0.0.1 for what the query client would never send,
// to the server at `port`.
class RawClient {
  public:
    explicit RawClient(uint16_t port) : socket_(OpenUdpSocket()), port_(port) {
        BindSocket(socket_, SocketAddress{kLoopback, 0});
        SetReceiveTimeout(socket_, 5000);
    }
    ~RawClient() { CloseSocket(socket_); }
    void Send(const Bytes& datagram) {
        SendTo(socket_, datagram.data(), datagram.size(), SocketAddress{kLoopback, port_});
    }
    // The next datagram; empty after five seconds without one.
    Bytes Exchange(const Bytes& datagram) {
        Send(datagram);
        uint8_t buffer[1024];
        SocketAddress from;
        const int64_t received = ReceiveFrom(socket_, buffer, sizeof buffer, from);
        return received < 0 ? Bytes{} : Bytes(buffer, buffer + received);
    }

  private:
    SocketHandle socket_;
    uint16_t port_;
};

Bytes Packet(uint8_t type, const Bytes& token, uint8_t version = 1) {
    Bytes packet(4 + token.size(), 0);
    packet[0] = 0x48;
    packet[1] = 0x42;
    packet[2] = version;
    packet[3] = type;
    std::copy(token.begin(), token.end(), packet.begin() + 4);
    return packet;
}

// A segment whose first code is `firstCode`.
Bytes Codes(const Bytes& token, uint8_t m, uint8_t firstCode, uint8_t version = 1) {
    Bytes packet = Packet(0x11, token, version);
    packet.resize(14 + 4 * size_t{m}, 0);
    packet[12] = m;
    packet[13] = firstCode;
    return packet;
}

uint8_t TypeOf(const Bytes& datagram) {
    return datagram.size() >= 4 ? datagram[3] : 0;
}

// Hello and confirm; the session's token, empty if either went wrong.
Bytes Connect(RawClient& client) {
    const Bytes offer = client.Exchange(kHello);
    if (offer.size() != 10)
        return {};
    const Bytes token(offer.begin() + 4, offer.end());
    return TypeOf(client.Exchange(Packet(0x02, token))) == 0x82 ? token : Bytes{};
}

// One code packet through the client's own callback; with `poll`, polls
// (bounded) until something other than "go on" comes back.
int SendCodes(QueryClient& client, uint8_t firstCode, bool poll) {
    Bytes codes(4 * size_t{kCandidates}, 0);
    codes[0] = firstCode;
    int result = QueryClient::SendCodes(&client, kCandidates, codes.data(), nullptr, 7);
    for (int attempt = 0; poll && attempt < 5 && result == 0; ++attempt)
        result = QueryClient::PollAnswer(&client);
    return result;
}

TEST(IdentificationServer, HandshakeGivesOneTokenPerClientAndGoodbyeEndsTheSession) {
    RunningServer server;
    ASSERT_TRUE(server.started());
    RawClient client(server.port());
    const Bytes offer = client.Exchange(kHello);
    ASSERT_EQ(offer.size(), 10u);
    const Bytes token(offer.begin() + 4, offer.end());
    EXPECT_EQ(offer, Packet(0x81, token));
    EXPECT_NE(token, Bytes(6, 0));
    EXPECT_EQ(client.Exchange(kHello), offer);

    Bytes accept = Packet(0x82, token);
    accept.resize(16, 0);
    accept[14] = kCandidates;
    EXPECT_EQ(client.Exchange(Packet(0x02, token)), accept);
    EXPECT_EQ(client.Exchange(Packet(0x02, token)), accept);

    QueryClient query;
    ASSERT_EQ(query.Handshake(kLoopback, server.port()), 0);
    EXPECT_EQ(query.candidates(), kCandidates);
    SocketAddress local;
    ASSERT_TRUE(query.LocalEndpoint(local));
    EXPECT_EQ(SendCodes(query, 0, false), 0);
    query.Close();
    ASSERT_TRUE(WaitFor([&] { return server.Log().size() == 1; }));
    const std::string line = server.Log()[0];
    EXPECT_EQ(line.rfind("127.0.0.1:" + std::to_string(local.port) + ", ", 0), 0u) << line;
    EXPECT_NE(line.find(" s, 1 segments, goodbye without answer"), std::string::npos) << line;
    EXPECT_EQ(server.Counters().sessionsStarted, 2u);
    EXPECT_EQ(server.Counters().activeSessions, 1u);
    EXPECT_EQ(server.Counters().dropped, 0u);
}

TEST(IdentificationServer, RefusesOldClientsAndHellosOverTheLimit) {
    ServerOptions options;
    options.maxSessions = 1;
    RunningServer server(options);
    ASSERT_TRUE(server.started());
    RawClient first(server.port());
    RawClient second(server.port());
    EXPECT_EQ(first.Exchange(Packet(0x01, {}, 2)), Packet(0xC1, Bytes(6, 0)));
    EXPECT_EQ(TypeOf(first.Exchange(kHello)), 0x81);
    EXPECT_EQ(second.Exchange(kHello), Packet(0xD1, Bytes(6, 0)));
    QueryClient query;
    EXPECT_EQ(query.Handshake(kLoopback, server.port()), QueryClient::kRefused);
    EXPECT_EQ(server.Counters().refusals, 3u);
    EXPECT_EQ(server.Counters().sessionsStarted, 1u);
}

TEST(IdentificationServer, AnswerReachesTheClientAsTitleAndArtistFields) {
    // "song\nk\n" and the line feed after the title leave 527 bytes.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Title", "Artist"},
        {"Unknown title", "Unknown artist"},
        {"Two  lines ", "Band Name"},
        {Repeat("\xC3\xA9", 261), "Band"},
        {Repeat("a", 264), Repeat("b", 263)},
        {Repeat("\x80", 526), "X"},
    };
    RunningServer server;
    ASSERT_TRUE(server.started());
    for (uint8_t song = 1; song <= expected.size(); ++song) {
        SCOPED_TRACE(song);
        QueryClient client;
        client.SetClock([] { return int64_t{0}; });
        ASSERT_EQ(client.Handshake(kLoopback, server.port()), 0);
        EXPECT_EQ(SendCodes(client, 0, false), 0);
        ASSERT_EQ(SendCodes(client, song, true), QueryClient::kAnswered);
        EXPECT_EQ(client.Field(0), "song");
        EXPECT_EQ(client.Field(2), expected[song - 1].first);
        EXPECT_EQ(client.Field(3), expected[song - 1].second);
        // A lost answer comes again; the matcher is done with the session.
        const int64_t seen = server.identifier.seen;
        ASSERT_EQ(SendCodes(client, 0, true), QueryClient::kAnswered);
        EXPECT_EQ(client.Field(3), expected[song - 1].second);
        EXPECT_EQ(server.identifier.seen, seen);
        client.Close();
    }
    ASSERT_TRUE(WaitFor([&] { return server.Log().size() == expected.size(); }));
    EXPECT_NE(server.Log()[0].find(", 3 segments, answer: Title / Artist"), std::string::npos);
    EXPECT_EQ(server.Counters().sessionsAnswered, expected.size());
}

TEST(IdentificationServer, MalformedDatagramsStrangersAndWrongTokensAreDropped) {
    RunningServer server;
    ASSERT_TRUE(server.started());
    RawClient client(server.port());
    const Bytes token = Connect(client);
    ASSERT_EQ(token.size(), 6u);
    const Bytes confirm = Packet(0x02, token);
    const Bytes codes = Codes(token, kCandidates, 1);
    Bytes longConfirm = confirm;
    longConfirm.push_back(0);
    Bytes overLong = codes;
    overLong.resize(549);
    const std::vector<Bytes> datagrams = {
        {},
        {'X', 'Y', 1, 0x01},
        {0x48, 0x42, 1},
        Bytes(confirm.begin(), confirm.end() - 1),
        longConfirm,
        Packet(0x7F, token),
        Codes(token, 0, 0),
        Bytes(codes.begin(), codes.end() - 1),
        Codes(token, kCandidates + 1, 1),
        Codes(token, kCandidates, 1, 2),
        Codes(Bytes(6, 0), kCandidates, 1),
        overLong,
    };
    for (const Bytes& datagram : datagrams)
        client.Send(datagram);
    EXPECT_EQ(TypeOf(client.Exchange(confirm)), 0x82);

    RawClient stranger(server.port());
    Bytes wrongToken = token;
    wrongToken[5] ^= 1;
    stranger.Send(codes);
    stranger.Send(Packet(0x03, token));
    client.Send(Codes(wrongToken, kCandidates, 1));
    client.Send(Packet(0x03, wrongToken));
    // Any reply to those would arrive before these.
    // The answer to the owner's codes, its text's length in bytes 10 and 11.
    const Bytes answer = client.Exchange(Codes(token, kCandidates, 5));
    ASSERT_GT(answer.size(), 12u);
    EXPECT_EQ(TypeOf(answer), 0x91);
    EXPECT_EQ(size_t{answer[10]} * 256 + answer[11], answer.size() - 12);
    EXPECT_EQ(TypeOf(stranger.Exchange(kHello)), 0x81);

    // Codes before the confirm are out of session too.
    RawClient early(server.port());
    const Bytes offer = early.Exchange(kHello);
    ASSERT_EQ(offer.size(), 10u);
    early.Send(Codes(Bytes(offer.begin() + 4, offer.end()), kCandidates, 1));
    EXPECT_EQ(early.Exchange(kHello), offer);

    EXPECT_EQ(server.Counters().dropped, datagrams.size() + 5);
    EXPECT_EQ(server.Counters().activeSessions, 3u);
    EXPECT_EQ(server.identifier.seen, 1);
}

TEST(IdentificationServer, SessionsEndWhenIdleOrAtTheirTimeLimit) {
    ServerOptions options;
    options.idleTimeout = std::chrono::milliseconds(1000);
    options.sessionLimit = std::chrono::milliseconds(300);
    options.sweepInterval = std::chrono::milliseconds(50);
    RunningServer server(options);
    ASSERT_TRUE(server.started());
    RawClient confirmed(server.port());
    RawClient offered(server.port());
    const Bytes token = Connect(confirmed);
    ASSERT_EQ(token.size(), 6u);
    ASSERT_EQ(TypeOf(offered.Exchange(kHello)), 0x81);
    ASSERT_TRUE(WaitFor([&] { return server.Counters().expiries == 2; }));
    // One sweep may end both, in any order.
    std::vector<std::string> log = server.Log();
    ASSERT_EQ(log.size(), 2u);
    std::sort(log.begin(), log.end(), [](const std::string& a, const std::string& b) {
        return a.ends_with("time limit") > b.ends_with("time limit");
    });
    EXPECT_TRUE(log[0].ends_with(", 0 segments, time limit")) << log[0];
    EXPECT_TRUE(log[1].ends_with(", 0 segments, expired")) << log[1];
    // Its codes are out of session now.
    confirmed.Send(Codes(token, kCandidates, 1));
    EXPECT_EQ(TypeOf(confirmed.Exchange(kHello)), 0x81);
    EXPECT_EQ(server.Counters().dropped, 1u);
}

}  // namespace
}  // namespace quil
