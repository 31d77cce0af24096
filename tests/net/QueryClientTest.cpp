// The query client against a scripted server on real loopback sockets.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../fingerprint/MemorySource.h"
#include "../fingerprint/TestSignals.h"
#include "FakeIdentificationServer.h"
#include "SignalStorm.h"
#include "fingerprint/Fingerprint.h"
#include "net/QueryClient.h"

namespace quil {
namespace {

using test::Bytes;
using test::FakeIdentificationServer;
using Reply = FakeIdentificationServer::Reply;
using From = FakeIdentificationServer::From;
using Replies = std::vector<Reply>;

const Bytes kHello = {0x48, 0x42, 1, 0x01};
const Bytes kAcceptToken = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6};

// Replies to a handler's n-th packet: the n-th list, the last one for all
// later packets.
std::function<Replies(int)> InTurn(std::vector<Replies> turns) {
    return [turns](int n) {
        return turns[std::min<size_t>(static_cast<size_t>(n), turns.size() - 1)];
    };
}

// A server that offers on every hello and accepts every confirm unless told
// otherwise.
struct Behaviour {
    std::function<Replies(int)> onHello = InTurn({{{test::ServerPacket(0x81, 10)}}});
    std::function<Replies(int)> onConfirm = InTurn({{{test::Accept(1)}}});
    std::function<Replies(int)> onCodes = InTurn({{}});
};

FakeIdentificationServer::Script ScriptOf(Behaviour behaviour) {
    auto counts = std::make_shared<std::array<int, 3>>();
    return [behaviour, counts](const Bytes& datagram, size_t) {
        const uint8_t type = datagram.size() > 3 ? datagram[3] : 0;
        if (type == 0x01)
            return behaviour.onHello((*counts)[0]++);
        if (type == 0x02)
            return behaviour.onConfirm((*counts)[1]++);
        return type == 0x11 ? behaviour.onCodes((*counts)[2]++) : Replies{};
    };
}

// The client with a short wait per handshake attempt.
struct Client {
    explicit Client(const StopToken* stop = nullptr) : query(stop) { query.SetAttemptTimeout(30); }
    int Handshake(const FakeIdentificationServer& server) {
        return query.Handshake(FakeIdentificationServer::Loopback(), server.port());
    }
    QueryClient query;
};

// A memory source that, once `gateAt` reads are done, waits for the server
// to have handled `handled` datagrams, so that its replies are waiting at
// the next poll.
class GatedSource : public MemorySource {
  public:
    GatedSource(std::vector<float> samples, const FakeIdentificationServer& server, int32_t gateAt,
                size_t handled)
        : MemorySource(std::move(samples)), server_(server), gateAt_(gateAt), handled_(handled) {}
    int Read(int32_t count, float* out) override {
        if (reads == gateAt_) {
            EXPECT_TRUE(server_.WaitForHandled(handled_));
        }
        return MemorySource::Read(count, out);
    }

  private:
    const FakeIdentificationServer& server_;
    int32_t gateAt_;
    size_t handled_;
};

// One segment starts at hop 10 and is sent in hop 114 (read 115); the gate
// sits before read 116, when hello, confirm and codes have been handled.
GatedSource OneSegment(const FakeIdentificationServer& server) {
    return GatedSource(test::OnsetSignal(130, {10}), server, 115, 3);
}

TEST(QueryClientHandshake, RepliesFromStrangersAndShortRepliesAreIgnored) {
    const Bytes offer = test::ServerPacket(0x81, 10);
    // More junk than there are attempts: ignored, it uses none of them.
    Replies junk(11, Reply{offer, From::kOtherPort});
    junk.push_back(Reply{offer, From::kOtherAddress});
    junk.push_back(Reply{test::ServerPacket(0x81, 11), From::kOtherPort});
    junk.push_back(Reply{Bytes{}});
    Bytes shortAccept = test::Accept(2);
    shortAccept.pop_back();
    FakeIdentificationServer server(ScriptOf(
        {InTurn({junk, {{test::ServerPacket(0x81, 9)}}, {{offer}}}),
         InTurn({{{test::Accept(2), From::kOtherPort}}, {{shortAccept}}, {{test::Accept(2)}}})}));
    Client client;
    ASSERT_EQ(client.Handshake(server), 0);
    EXPECT_EQ(server.ReceivedOfType(0x01).size(), 3u);
    // A confirm repeats the server's latest header, never a stranger's: the
    // offer's, then the short accept's.
    Bytes confirm = offer;
    confirm[3] = 0x02;
    const Bytes afterShortAccept = test::ServerPacket(0x02, 10, 1, kAcceptToken);
    EXPECT_EQ(server.ReceivedOfType(0x02),
              (std::vector<Bytes>{confirm, confirm, afterShortAccept}));
    EXPECT_EQ(client.query.candidates(), 2);
}

TEST(QueryClientHandshake, OutcomesOfEachPhase) {
    const Replies offer = {{test::ServerPacket(0x81, 10)}};
    struct Case {
        const char* name;
        Behaviour behaviour;
        int result;  // the run's outcome codes, as the program reports them
        size_t hellos = 1;
        size_t confirms = 1;
    };
    const Case cases[] = {
        {"no server", {InTurn({{}})}, -5, 10, 0},
        {"lost packets are sent again",
         {InTurn({{}, offer}), InTurn({{}, {{test::Accept(4)}}})},
         0,
         2,
         2},
        {"too old", {InTurn({{{test::ServerPacket(0xC1, 10)}}})}, -7, 1, 0},
        {"too old only in the offer phase",
         {.onConfirm = InTurn({{{test::ServerPacket(0xC1, 10)}}, {{test::Accept(1)}}})},
         0,
         1,
         2},
        {"refused on hello", {InTurn({{{test::ServerPacket(0xC2, 10)}}})}, -6, 1, 0},
        {"refused in any phase on hello", {InTurn({{{test::ServerPacket(0xD1, 10)}}})}, -6, 1, 0},
        {"refused on confirm", {.onConfirm = InTurn({{{test::ServerPacket(0xC2, 10)}}})}, -6},
        {"refused in any phase on confirm",
         {.onConfirm = InTurn({{{test::ServerPacket(0xD1, 10)}}})},
         -6},
        // Longer than the offer: the server's own is a failure, not junk.
        {"oversized offer", {InTurn({{{test::ServerPacket(0x81, 11)}}})}, -4, 1, 0},
    };
    // Signals arriving all the while are no network failure.
    test::SignalStorm signals;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeIdentificationServer server(ScriptOf(c.behaviour));
        Client client;
        EXPECT_EQ(client.Handshake(server), c.result);
        EXPECT_EQ(client.query.connected(), c.result == 0);
        ASSERT_TRUE(server.WaitForHandled(c.hellos + c.confirms));
        EXPECT_EQ(server.ReceivedOfType(0x01), std::vector<Bytes>(c.hellos, kHello));
        EXPECT_EQ(server.ReceivedOfType(0x02).size(), c.confirms);
        if (c.result == 0) {
            EXPECT_EQ(client.query.candidates(), c.hellos == 2 ? 4 : 1);
        }
    }
}

TEST(QueryClientHandshake, AStopEndsItAfterTheReceiveOrDuringALongWait) {
    for (const bool early : {true, false}) {
        FakeIdentificationServer server(ScriptOf({InTurn({{}})}));
        StopToken stop;
        Client client(&stop);
        // Ten minutes per attempt: only the stop can end the wait.
        client.query.SetAttemptTimeout(600000);
        if (early)
            stop.RequestStop();
        std::thread stopper([&] {
            server.WaitForHandled(1);
            stop.RequestStop();
        });
        EXPECT_EQ(client.Handshake(server), QueryClient::kStopped) << early;
        stopper.join();
        EXPECT_EQ(server.Received().size(), 1u) << early;
    }
}

struct SentSegment {
    int32_t m;
    std::vector<uint8_t> codes;
    int32_t startFrame;
};

int CollectSegment(void* context, int32_t m, const uint8_t* codes, const double*, int32_t start) {
    static_cast<std::vector<SentSegment>*>(context)->push_back(
        {m, std::vector<uint8_t>(codes, codes + 4 * m), start});
    return 0;
}

TEST(QueryClientQuery, CodePacketsCarryTheAcceptHeaderAndTheCandidates) {
    // The accept's byte 14 -> m in the packets: 0 means 1; more than a
    // packet carries is cut to 133.
    for (const auto& [asked, m] : {std::pair{0, 1}, std::pair{3, 3}, std::pair{200, 133}}) {
        Bytes accept = test::Accept(static_cast<uint8_t>(asked));
        accept[2] = 7;  // the client repeats the server's version
        FakeIdentificationServer server(ScriptOf({.onConfirm = InTurn({{{accept}}})}));
        Client client;
        ASSERT_EQ(client.Handshake(server), 0);
        EXPECT_EQ(client.query.candidates(), m);
        MemorySource source(test::OnsetSignal(300, {10, 150}));
        EXPECT_EQ(client.query.RunQuery(source), 0);

        std::vector<SentSegment> expected;
        MemorySource again(test::OnsetSignal(300, {10, 150}));
        FingerprintOptions options;
        options.candidates = m;
        ASSERT_EQ(ComputeFingerprint(again, &expected, CollectSegment, &options), 0);
        ASSERT_FALSE(expected.empty());
        ASSERT_TRUE(server.WaitForHandled(2 + expected.size()));
        const std::vector<Bytes> packets = server.ReceivedOfType(0x11);
        ASSERT_EQ(packets.size(), expected.size());
        for (size_t i = 0; i < packets.size(); ++i) {
            Bytes want = {0x48, 0x42, 7, 0x11};
            want.insert(want.end(), kAcceptToken.begin(), kAcceptToken.end());
            want.push_back(static_cast<uint8_t>(expected[i].startFrame >> 8));
            want.push_back(static_cast<uint8_t>(expected[i].startFrame));
            want.push_back(static_cast<uint8_t>(m));
            want.insert(want.end(), expected[i].codes.begin(), expected[i].codes.end());
            want.push_back(0);
            EXPECT_EQ(packets[i].size(), 14u + 4u * m);
            EXPECT_EQ(packets[i], want) << "m " << m << " packet " << i;
        }
    }
}

TEST(QueryClientQuery, AnswerFromTheServerOnlyThenGoodbye) {
    // A stranger's datagram too long for the buffer is dropped like the rest.
    FakeIdentificationServer server(
        ScriptOf({.onCodes = InTurn({{{Bytes(600, 0x48), From::kOtherPort},
                                      {test::Answer("x\ny\nEvil\nStranger"), From::kOtherPort},
                                      {test::Answer("x\ny\nEvil\nStranger"), From::kOtherAddress},
                                      {test::Answer("x\ny\nOld\nVersion", -1, 2)},
                                      {test::Answer("id\nlink\nTitle\nArtist\n")}}})}));
    Client client;
    ASSERT_EQ(client.Handshake(server), 0);
    GatedSource source = OneSegment(server);
    EXPECT_EQ(client.query.RunQuery(source), QueryClient::kAnswered);
    EXPECT_EQ(client.query.Field(2), "Title");
    EXPECT_EQ(client.query.Field(3), "Artist");
    EXPECT_EQ(client.query.Field(4), "");
    EXPECT_EQ(client.query.Field(99), "");

    EXPECT_EQ(client.query.SendGoodbye(), 0);
    EXPECT_FALSE(client.query.connected());
    ASSERT_TRUE(server.WaitForHandled(4));
    Bytes goodbye = test::Accept(1);
    goodbye.resize(10);
    goodbye[3] = 0x03;
    EXPECT_EQ(server.ReceivedOfType(0x03), std::vector<Bytes>{goodbye});
}

TEST(QueryClientQuery, RefusalEndsTheQueryOnlyFromTheServer) {
    const Bytes refusal = test::ServerPacket(0xD1, 10, 1, kAcceptToken);
    for (From from : {From::kServer, From::kOtherPort}) {
        FakeIdentificationServer server(
            ScriptOf({.onCodes = InTurn({{{refusal, from}, {test::Answer("a\nb\nT\nA")}}})}));
        Client client;
        ASSERT_EQ(client.Handshake(server), 0);
        GatedSource source = OneSegment(server);
        EXPECT_EQ(client.query.RunQuery(source),
                  from == From::kServer ? QueryClient::kRefused : QueryClient::kAnswered);
    }
}

// A clock that answers the given times in turn, then the last one forever.
QueryClient::Clock Times(std::vector<int64_t> times) {
    auto next = std::make_shared<size_t>(0);
    return [times, next] { return times[std::min(times.size() - 1, (*next)++)]; };
}

TEST(QueryClientQuery, TimeLimitsInWholeSeconds) {
    FakeIdentificationServer server(ScriptOf({}));
    const std::vector<float> silence(150 * test::kHop, 0.0f);
    const std::vector<float> noise = test::OnsetSignal(150, {}, 0, 0.5f, 0.3f);
    struct Case {
        const std::vector<float>& samples;
        int64_t later;
        int result;
    };
    // Start, first poll, every later poll.
    for (const Case& c : {Case{silence, 1004, 0}, Case{silence, 1005, QueryClient::kNoSignal},
                          Case{noise, 1060, 0}, Case{noise, 1061, QueryClient::kTimeLimit}}) {
        Client client;
        ASSERT_EQ(client.Handshake(server), 0);
        client.query.SetClock(Times({1000, 1000, c.later}));
        MemorySource source(c.samples);
        EXPECT_EQ(client.query.RunQuery(source), c.result) << c.later;
        if (c.result != 0) {
            EXPECT_EQ(source.readCalls, 1);
        }
    }
}

TEST(QueryClientQuery, NeedsAHandshakeAndHonoursStop) {
    Client lonely;
    MemorySource unused(test::OnsetSignal(10, {}));
    EXPECT_EQ(lonely.query.RunQuery(unused), QueryClient::kNotConnected);
    EXPECT_EQ(unused.readCalls, 0);

    FakeIdentificationServer server(ScriptOf({}));
    StopToken stop;
    Client client(&stop);
    ASSERT_EQ(client.Handshake(server), 0);
    stop.RequestStop();
    MemorySource source(test::OnsetSignal(130, {10}));
    EXPECT_EQ(client.query.RunQuery(source), QueryClient::kStopped);
    EXPECT_EQ(source.readCalls, 0);
}

}  // namespace
}  // namespace quil
