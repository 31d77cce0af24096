// The protocol through the session table on a clock of its own, then the
// server's own sweep over loopback.
#include <gtest/gtest.h>

#include <thread>

#include "net/QueryClient.h"
#include "server/IdentificationServer.h"

namespace quil {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;
constexpr uint8_t kM = 2;
const Bytes kHello = {'H', 'B', 1, 0x01}, kNone(4, 0);

std::string Repeat(const std::string& unit, size_t count) {
    return count == 0 ? "" : unit + Repeat(unit, count - 1);
}

// Song k answers a segment whose first code is k; then its title and artist
// as the answer carries them: "song\nk\n" and the line feed after the title
// leave 527 bytes.
const struct {
    SongInfo song;
    std::string title, artist;
} kSongs[] = {
    {{1, "Title", "Artist", 0, "", ""}, "Title", "Artist"},
    {{2, "", "", 0, "", ""}, "Unknown title", "Unknown artist"},
    {{3, Repeat("\xC3\xA9", 600), "Band", 0, "", ""}, Repeat("\xC3\xA9", 261), "Band"},
    {{4, Repeat("\x80", 600), "X", 0, "", ""}, Repeat("\x80", 526), "X"},
};
struct FakeSession : IdentifySession {
    std::optional<SongAnswer> Add(const QuerySegment& segment) override {
        const size_t song = segment.codes[0];
        return song == 0 || song > std::size(kSongs)
                   ? std::nullopt
                   : std::optional(SongAnswer{kSongs[song - 1].song, 0});
    }
    int32_t segments() const override { return 0; }
};
struct FakeIdentifier : SongIdentifier {
    int32_t candidates() const override { return kM; }
    std::unique_ptr<IdentifySession> NewSession() const override {
        return std::make_unique<FakeSession>();
    }
};

Bytes Packet(uint8_t type, const Bytes& token, uint8_t version = 1, size_t size = 10) {
    Bytes packet(std::max(size, 4 + token.size()), 0);
    const uint8_t head[] = {'H', 'B', version, type};
    std::copy(head, head + 4, packet.begin());
    std::copy(token.begin(), token.end(), packet.begin() + 4);
    return packet;
}
// A segment of m candidates per row whose first code is `first`.
Bytes Codes(const Bytes& token, uint8_t first, uint8_t m = kM, uint8_t version = 1) {
    Bytes packet = Packet(0x11, token, version, 14 + 4 * size_t{m});
    packet[12] = m;
    packet[13] = first;
    return packet;
}

// The session table with its clock at `now`; clients are 127.0.0.1 ports.
struct Table {
    explicit Table(const ServerOptions& options = {})
        : table(identifier, options, [this](const std::string& line) { log.push_back(line); }) {}
    // The only reply; kNone for none.
    Bytes Reply(const Bytes& datagram, uint16_t port = 40000) {
        const auto replies = table.Handle(ByteReader(datagram.data(), datagram.size()),
                                          {asio::ip::address_v4::loopback(), port}, now);
        return replies.size() == 1 ? replies[0] : replies.empty() ? kNone : Bytes{};
    }
    // Hello and confirm from `port`: the token, empty if either failed.
    Bytes Connect(uint16_t port = 40000) {
        const Bytes offer = Reply(kHello, port);
        const Bytes token(offer.begin() + 4, offer.end());
        return Reply(Packet(0x02, token), port).size() == 16 ? token : Bytes{};
    }
    // Lets `time` pass and sweeps: the log's length then.
    size_t After(std::chrono::milliseconds time) {
        table.Sweep(now += time);
        return log.size();
    }
    FakeIdentifier identifier;
    std::vector<std::string> log;
    SessionTable table;
    SessionTable::Clock::time_point now{};
};

TEST(SessionTable, HandshakeRefusalsAndGoodbye) {
    Table t(ServerOptions{.maxSessions = 2});
    const Bytes offer = t.Reply(kHello);
    ASSERT_EQ(offer.size(), 10u);
    const Bytes token(offer.begin() + 4, offer.end());
    EXPECT_EQ(offer, Packet(0x81, token));
    EXPECT_NE(token, Bytes(6, 0));
    EXPECT_EQ(t.Reply(kHello), offer) << "a lost offer is offered again";
    Bytes accept = Packet(0x82, token, 1, 16);
    accept[14] = kM;
    EXPECT_EQ(t.Reply(Packet(0x02, token)), accept);
    EXPECT_EQ(t.Reply(Packet(0x02, token)), accept);
    EXPECT_EQ(t.Reply(Packet(0x01, {}, 2)), Packet(0xC1, Bytes(6, 0)));
    EXPECT_EQ(t.Reply(kHello, 40001)[3], 0x81);
    EXPECT_EQ(t.Reply(kHello, 40002), Packet(0xD1, Bytes(6, 0))) << "over the session limit";
    EXPECT_EQ(t.Reply(Codes(token, 0)), kNone);
    t.now += 2500ms;
    EXPECT_EQ(t.Reply(Packet(0x03, token)), kNone);
    EXPECT_EQ(t.log, std::vector<std::string>{
                         "127.0.0.1:40000, 2.5 s, 1 segments, goodbye without answer"});
}

TEST(SessionTable, AnswersOnceAndResendsTheAnswer) {
    Table t;
    for (uint8_t song = 1; song <= std::size(kSongs); ++song) {
        SCOPED_TRACE(song);
        const uint16_t port = 40000 + song;
        const Bytes token = t.Connect(port);
        ASSERT_EQ(token.size(), 6u);
        EXPECT_EQ(t.Reply(Codes(token, 0), port), kNone);
        const std::string text = "song\n" + std::to_string(song) + "\n" + kSongs[song - 1].title +
                                 "\n" + kSongs[song - 1].artist;
        Bytes answer = Packet(0x91, token, 1, 12);
        answer[10] = static_cast<uint8_t>(text.size() >> 8);
        answer[11] = static_cast<uint8_t>(text.size());
        answer.insert(answer.end(), text.begin(), text.end());
        EXPECT_EQ(t.Reply(Codes(token, song), port), answer);
        EXPECT_EQ(t.Reply(Codes(token, 0), port), answer) << "a lost answer comes again";
        t.Reply(Packet(0x03, token), port);
    }
    ASSERT_EQ(t.log.size(), std::size(kSongs));
    EXPECT_EQ(t.log[0], "127.0.0.1:40001, 0.0 s, 3 segments, answer: Title / Artist");
}

TEST(SessionTable, DropsMalformedDatagramsStrangersAndWrongTokens) {
    Table t;
    const Bytes token = t.Connect(), offer = t.Reply(kHello, 40002);
    ASSERT_EQ(token.size(), 6u);
    const Bytes offered(offer.begin() + 4, offer.end());
    Bytes wrong = token;
    wrong[5] ^= 1;
    const struct {
        const char* name;
        Bytes datagram;
        uint16_t port = 40000;
    } rows[] = {
        {"no magic", {'X', 'Y', 1, 0x01}},
        {"unknown type", Packet(0x7F, token)},
        {"other m", Codes(token, 1, kM + 1)},
        {"codes of version 2", Codes(token, 1, kM, 2)},
        {"over 548 bytes", Packet(0x11, token, 1, 549)},
        {"a token's last byte wrong", Codes(wrong, 1)},
        {"goodbye from a stranger", Packet(0x03, token), 40001},
        {"codes before the confirm", Codes(offered, 1), 40002},
    };
    for (const auto& row : rows)
        EXPECT_EQ(t.Reply(row.datagram, row.port), kNone) << row.name;
    EXPECT_EQ(t.Reply(Packet(0x02, token))[3], 0x82);
    EXPECT_EQ(t.Reply(Codes(token, 4))[3], 0x91);
}

TEST(SessionTable, SessionsEndWhenIdleOrAtTheirTimeLimit) {
    Table t(ServerOptions{.idleTimeout = 1000ms, .sessionLimit = 300ms});
    const Bytes token = t.Connect();
    ASSERT_EQ(t.Reply(kHello, 40001)[3], 0x81);
    t.now += 200ms;
    t.Reply(Packet(0x02, token));  // a repeated confirm does not restart the limit
    EXPECT_EQ(t.After(99ms), 0u);
    ASSERT_EQ(t.After(1ms), 1u);
    EXPECT_EQ(t.log[0], "127.0.0.1:40000, 0.3 s, 0 segments, time limit");
    t.Reply(kHello, 40001);  // any datagram keeps a session alive
    EXPECT_EQ(t.After(999ms), 1u);
    ASSERT_EQ(t.After(1ms), 2u);
    EXPECT_EQ(t.log[1], "127.0.0.1:40001, 1.3 s, 0 segments, expired");
    EXPECT_EQ(t.Reply(Codes(token, 1)), kNone);
}

// Over loopback, the server's own sweep ends a session that went quiet.
TEST(IdentificationServer, SweepsQuietSessions) {
    asio::io_context io;
    FakeIdentifier identifier;
    std::vector<std::string> log;  // written on the io thread, read after it ended
    IdentificationServer server(io, identifier, {.idleTimeout = 100ms, .sweepInterval = 10ms},
                                [&](const std::string& line) { log.push_back(line); });
    ASSERT_FALSE(server.Start(asio::ip::address_v4::loopback(), 0));
    std::thread thread([&] { io.run_for(30s); });
    QueryClient client;
    EXPECT_EQ(client.Handshake(0x7F000001, server.LocalEndpoint().port()), 0);
    for (int i = 0; i < 500 && server.Counters().expiries == 0; ++i)
        std::this_thread::sleep_for(10ms);
    server.Stop();
    thread.join();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].ends_with(", 0 segments, expired")) << log[0];
}

}  // namespace
}  // namespace quil
