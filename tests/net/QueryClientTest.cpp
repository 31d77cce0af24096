// The query client against a scripted server on real loopback sockets.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "../fingerprint/MemorySource.h"
#include "../fingerprint/TestSignals.h"
#include "FakeIdentificationServer.h"
#include "SignalStorm.h"
#include "net/QueryClient.h"

namespace quil {
namespace {

using test::Accept;
using test::Answer;
using test::Bytes;
using test::ServerPacket;
using Server = test::FakeIdentificationServer;
using From = Server::From;
using Replies = std::vector<Server::Reply>;
using Turns = std::vector<Replies>;

const Bytes kAcceptToken = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6};

// A server's replies to hellos, confirms and code packets: the n-th packet
// of a type gets the n-th of its turns, later ones the last. By default it
// offers on every hello and accepts every confirm (m = 1).
struct Script {
    Turns hello = {{{ServerPacket(0x81, 10)}}};
    Turns confirm = {{{Accept(1)}}};
    Turns codes = {{}};
};

Server::Script Scripted(Script s) {
    auto counts = std::make_shared<std::array<size_t, 3>>();
    return [s, counts](const Bytes& datagram, size_t) {
        const uint8_t type = datagram.size() > 3 ? datagram[3] : 0;
        const int kind = type == 0x01 ? 0 : type == 0x02 ? 1 : 2;
        const Turns& turns = kind == 0 ? s.hello : kind == 1 ? s.confirm : s.codes;
        return type == 0x03 ? Replies{} : turns[std::min((*counts)[kind]++, turns.size() - 1)];
    };
}

// The client with a short wait per handshake attempt.
struct Client {
    explicit Client(const StopToken* stop = nullptr) : query(stop) { query.SetAttemptTimeout(30); }
    int Handshake(const Server& server) { return query.Handshake(0x7F000001, server.port()); }
    QueryClient query;
};

// One segment starts at hop 10 and is sent in hop 114 (read 115); before
// read 116 the source waits for the server to have handled hello, confirm
// and codes, so that its replies are waiting at the next poll.
struct OneSegment : MemorySource {
    explicit OneSegment(const Server& server)
        : MemorySource(test::OnsetSignal(130, {10})), server_(server) {}
    int Read(int32_t count, float* out) override {
        EXPECT_TRUE(reads != 115 || server_.WaitForHandled(3));
        return MemorySource::Read(count, out);
    }
    const Server& server_;
};

TEST(QueryClientHandshake, OutcomesOfEachPhase) {
    const Replies offer = {{ServerPacket(0x81, 10)}};
    const auto only = [](uint8_t type, size_t length = 10) {
        return Turns{{{ServerPacket(type, length)}}};
    };
    // More junk than there are attempts, strangers' or damaged: ignored, it
    // uses none of them.
    Replies junk(11, {offer[0].bytes, From::kOtherPort});
    Bytes wrongMagic = offer[0].bytes;
    wrongMagic[1] = 'X';
    for (const Bytes& bytes : {wrongMagic, Bytes{0x48, 0x42}})
        junk.push_back({bytes});
    junk.push_back({offer[0].bytes, From::kOtherAddress});
    junk.push_back({ServerPacket(0x81, 11), From::kOtherPort});
    const Script strangers = {{junk, only(0x81, 9)[0], offer},
                              {{{Accept(2), From::kOtherPort}},
                               {{ServerPacket(0x82, 15, 1, kAcceptToken)}},
                               {{Accept(2)}}}};
    struct Case {
        const char* name;
        Script script;
        int result;  // the run's outcome codes, as the program reports them
        size_t hellos = 1;
        size_t confirms = 1;
        int32_t candidates = 1;
        // A confirm repeats the server's latest whole header, never a stranger's.
        Bytes lastConfirm = ServerPacket(0x02, 10);
    };
    const Case cases[] = {
        {"strangers' and short replies are ignored", strangers, 0, 3, 3, 2,
         ServerPacket(0x02, 10, 1, kAcceptToken)},
        {"no server", {{{}}}, -5, 10, 0},
        {"too old", {only(0xC1)}, -7, 1, 0},
        {"refused", {.confirm = only(0xD1)}, -6},
        // Longer than the offer: the server's own is a failure, not junk.
        {"oversized offer", {only(0x81, 11)}, -4, 1, 0},
    };
    // Signals arriving all the while are no network failure.
    test::SignalStorm signals;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Server server(Scripted(c.script));
        Client client;
        EXPECT_EQ(client.Handshake(server), c.result);
        EXPECT_EQ(client.query.connected(), c.result == 0);
        ASSERT_TRUE(server.WaitForHandled(c.hellos + c.confirms));
        EXPECT_EQ(server.ReceivedOfType(0x01), std::vector<Bytes>(c.hellos, {0x48, 0x42, 1, 1}));
        std::vector<Bytes> confirms(c.confirms, ServerPacket(0x02, 10));
        if (!confirms.empty())
            confirms.back() = c.lastConfirm;
        EXPECT_EQ(server.ReceivedOfType(0x02), confirms);
        EXPECT_TRUE(c.result != 0 || client.query.candidates() == c.candidates);
    }
}

TEST(QueryClientHandshake, AStopEndsALongWait) {
    Server server(Scripted({{{}}}));
    StopToken stop;
    Client client(&stop);
    client.query.SetAttemptTimeout(600000);  // ten minutes: only the stop can end the wait
    std::thread stopper([&] {
        server.WaitForHandled(1);
        stop.RequestStop();
    });
    EXPECT_EQ(client.Handshake(server), QueryClient::kStopped);
    stopper.join();
    EXPECT_EQ(server.ReceivedOfType(0x01).size(), 1u);
}

TEST(QueryClientQuery, CodesAnswersAndRefusalsThenGoodbye) {
    const Bytes refusal = ServerPacket(0xD1, 10, 1, kAcceptToken);
    const Bytes stranger = Answer("x\ny\nEvil\nStranger");
    // Answers and refusals count only from the server. A stranger's datagram
    // too long for the buffer is dropped like the rest.
    Replies strangers = {{Bytes(600, 0x48), From::kOtherPort}, {stranger, From::kOtherPort}};
    strangers.push_back({stranger, From::kOtherAddress});
    strangers.push_back({Answer("x\ny\nOld\nVersion", -1, 2)});
    strangers.push_back({Answer("id\nlink\nTitle\nArtist\n")});
    constexpr int kAnswered = QueryClient::kAnswered;
    struct Case {
        const char* name;
        uint8_t asked;  // the accept's byte 14
        int32_t m;      // candidates per row in the code packets
        Replies replies;
        int result;
        std::string fields = "||";  // fields 2, 3 and 4, then 99
    };
    const Case cases[] = {
        {"strangers first", 1, 1, strangers, kAnswered, "Title|Artist|"},
        {"refusal", 1, 1, {{refusal}}, QueryClient::kRefused},
        {"0 candidates mean 1", 0, 1, {}, 0},
        {"more than a packet carries", 200, 133, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes accept = Accept(c.asked);
        accept[2] = 7;  // the client repeats the server's version
        Server server(Scripted({.confirm = {{{accept}}}, .codes = {c.replies}}));
        Client client;
        ASSERT_EQ(client.Handshake(server), 0);
        EXPECT_EQ(client.query.candidates(), c.m);
        OneSegment source(server);
        EXPECT_EQ(client.query.RunQuery(source), c.result);
        const QueryClient& q = client.query;
        EXPECT_EQ(q.Field(2) + "|" + q.Field(3) + "|" + q.Field(4) + q.Field(99), c.fields);
        EXPECT_EQ(client.query.SendGoodbye(), 0);
        EXPECT_FALSE(client.query.connected());
        ASSERT_TRUE(server.WaitForHandled(4));
        // One code packet of the segment's m candidates per row; that its
        // codes are the analysis's the end-to-end run shows.
        const std::vector<Bytes> codes = server.ReceivedOfType(0x11);
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_EQ(codes[0].size(), 14u + 4u * static_cast<size_t>(c.m));
        EXPECT_EQ(server.ReceivedOfType(0x03),
                  std::vector<Bytes>{ServerPacket(0x03, 10, 7, kAcceptToken)});
    }
}

TEST(QueryClientQuery, EndsOnTheTimeLimit) {
    Server server(Scripted({}));
    Client client;
    ASSERT_EQ(client.Handshake(server), 0);
    // The start and the first poll at 1000, every later poll 61 s on.
    client.query.SetClock([n = 0]() mutable { return int64_t{n++ < 2 ? 1000 : 1061}; });
    MemorySource source(test::OnsetSignal(150, {}, 0, 0.5f, 0.3f));
    EXPECT_EQ(client.query.RunQuery(source), QueryClient::kTimeLimit);
    EXPECT_EQ(source.readCalls, 1);
}

}  // namespace
}  // namespace quil
