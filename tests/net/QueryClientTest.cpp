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

// A server that offers on every hello and accepts every confirm unless told
// otherwise; each handler gets how many of its packets came before.
struct Behaviour {
    std::function<Replies(int)> onHello = [](int) {
        return Replies{{test::ServerPacket(0x81, 10)}};
    };
    std::function<Replies(int)> onConfirm = [](int) { return Replies{{test::Accept(1)}}; };
    std::function<Replies(int)> onCodes = [](int) { return Replies{}; };
};

FakeIdentificationServer::Script ScriptOf(Behaviour behaviour) {
    auto counts = std::make_shared<std::array<int, 3>>();
    return [behaviour, counts](const Bytes& datagram, size_t) {
        const uint8_t type = datagram.size() > 3 ? datagram[3] : 0;
        if (type == 0x01)
            return behaviour.onHello((*counts)[0]++);
        if (type == 0x02)
            return behaviour.onConfirm((*counts)[1]++);
        if (type == 0x11)
            return behaviour.onCodes((*counts)[2]++);
        return Replies{};
    };
}

Replies Once(int n, Replies first, Replies later) {
    return n == 0 ? first : later;
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

TEST(QueryClientHandshake, NoServerMeansTenHellosThenNoDecision) {
    FakeIdentificationServer server(ScriptOf({.onHello = [](int) { return Replies{}; }}));
    Client client;
    // Signals arriving all the while are no network failure.
    test::SignalStorm signals;
    EXPECT_EQ(client.Handshake(server), QueryClient::kNoDecision);
    ASSERT_TRUE(server.WaitForHandled(10));
    EXPECT_EQ(server.Received(), std::vector<Bytes>(10, kHello));
    EXPECT_FALSE(client.query.connected());
}

TEST(QueryClientHandshake, RepliesFromStrangersAndShortRepliesAreIgnored) {
    Behaviour behaviour;
    behaviour.onHello = [](int n) {
        const Bytes offer = test::ServerPacket(0x81, 10);
        // More junk than there are attempts: ignored, it uses none of them.
        if (n == 0) {
            Replies junk(11, Reply{offer, From::kOtherPort});
            junk.push_back(Reply{offer, From::kOtherAddress});
            return junk;
        }
        if (n == 1)
            return Replies{{test::ServerPacket(0x81, 9)}};
        return Replies{{offer}};
    };
    behaviour.onConfirm = [](int n) {
        if (n == 0)
            return Replies{{test::Accept(2), From::kOtherPort}};
        if (n == 1) {
            Bytes shortAccept = test::Accept(2);
            shortAccept.pop_back();
            return Replies{{shortAccept}};
        }
        return Replies{{test::Accept(2)}};
    };
    FakeIdentificationServer server(ScriptOf(behaviour));
    Client client;
    ASSERT_EQ(client.Handshake(server), 0);
    EXPECT_EQ(server.ReceivedOfType(0x01).size(), 3u);
    // A confirm repeats the server's latest header, never a stranger's: the
    // offer's, then the short accept's.
    Bytes confirm = test::ServerPacket(0x81, 10);
    confirm[3] = 0x02;
    Bytes afterShortAccept = test::ServerPacket(0x02, 10, 1, kAcceptToken);
    EXPECT_EQ(server.ReceivedOfType(0x02),
              (std::vector<Bytes>{confirm, confirm, afterShortAccept}));
    EXPECT_TRUE(client.query.connected());
    EXPECT_EQ(client.query.candidates(), 2);
}

TEST(QueryClientHandshake, LostPacketsAreSentAgain) {
    Behaviour behaviour;
    behaviour.onHello = [](int n) { return Once(n, {}, {{test::ServerPacket(0x81, 10)}}); };
    behaviour.onConfirm = [](int n) { return Once(n, {}, {{test::Accept(4)}}); };
    FakeIdentificationServer server(ScriptOf(behaviour));
    Client client;
    ASSERT_EQ(client.Handshake(server), 0);
    EXPECT_EQ(server.ReceivedOfType(0x01).size(), 2u);
    EXPECT_EQ(server.ReceivedOfType(0x02).size(), 2u);
    EXPECT_EQ(client.query.candidates(), 4);
}

TEST(QueryClientHandshake, TooOldOnlyInTheOfferPhase) {
    {
        FakeIdentificationServer server(
            ScriptOf({.onHello = [](int) { return Replies{{test::ServerPacket(0xC1, 10)}}; }}));
        Client client;
        EXPECT_EQ(client.Handshake(server), QueryClient::kTooOld);
    }
    Behaviour behaviour;
    behaviour.onConfirm = [](int n) {
        return Once(n, {{test::ServerPacket(0xC1, 10)}}, {{test::Accept(1)}});
    };
    FakeIdentificationServer server(ScriptOf(behaviour));
    Client client;
    EXPECT_EQ(client.Handshake(server), 0);
    EXPECT_EQ(server.ReceivedOfType(0x02).size(), 2u);
}

TEST(QueryClientHandshake, RefusalsInEitherPhase) {
    for (uint8_t refusal : {0xC2, 0xD1}) {
        const Bytes refused = test::ServerPacket(refusal, 10);
        {
            FakeIdentificationServer server(
                ScriptOf({.onHello = [&](int) { return Replies{{refused}}; }}));
            Client client;
            EXPECT_EQ(client.Handshake(server), QueryClient::kRefused) << int(refusal);
        }
        Behaviour behaviour;
        behaviour.onConfirm = [&](int) { return Replies{{refused}}; };
        FakeIdentificationServer server(ScriptOf(behaviour));
        Client client;
        EXPECT_EQ(client.Handshake(server), QueryClient::kRefused) << int(refusal);
        EXPECT_FALSE(client.query.connected());
    }
}

TEST(QueryClientHandshake, StopRequestEndsItAfterTheReceive) {
    FakeIdentificationServer server(ScriptOf({.onHello = [](int) { return Replies{}; }}));
    StopToken stop;
    stop.RequestStop();
    Client client(&stop);
    EXPECT_EQ(client.Handshake(server), QueryClient::kStopped);
    ASSERT_TRUE(server.WaitForHandled(1));
    EXPECT_EQ(server.Received().size(), 1u);
}

TEST(QueryClientHandshake, AStopEndsALongWaitForAReply) {
    FakeIdentificationServer server(ScriptOf({.onHello = [](int) { return Replies{}; }}));
    StopToken stop;
    Client client(&stop);
    // Ten minutes per attempt: only the stop can end the wait.
    client.query.SetAttemptTimeout(600000);
    std::thread stopper([&] {
        server.WaitForHandled(1);
        stop.RequestStop();
    });
    EXPECT_EQ(client.Handshake(server), QueryClient::kStopped);
    stopper.join();
    EXPECT_EQ(server.Received().size(), 1u);
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
        Behaviour behaviour;
        behaviour.onConfirm = [asked = asked](int) {
            Bytes accept = test::Accept(static_cast<uint8_t>(asked));
            accept[2] = 7;  // the client repeats the server's version
            return Replies{{accept}};
        };
        FakeIdentificationServer server(ScriptOf(behaviour));
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
    Behaviour behaviour;
    behaviour.onConfirm = [](int) { return Replies{{test::Accept(1)}}; };
    behaviour.onCodes = [](int) {
        return Replies{{test::Answer("x\ny\nEvil\nStranger"), From::kOtherPort},
                       {test::Answer("x\ny\nEvil\nStranger"), From::kOtherAddress},
                       {test::Answer("x\ny\nOld\nVersion", -1, 2)},
                       {test::Answer("id\nlink\nTitle\nArtist\n")}};
    };
    FakeIdentificationServer server(ScriptOf(behaviour));
    Client client;
    ASSERT_EQ(client.Handshake(server), 0);
    GatedSource source = OneSegment(server);
    EXPECT_EQ(client.query.RunQuery(source), QueryClient::kAnswered);
    EXPECT_EQ(client.query.Field(2), "Title");
    EXPECT_EQ(client.query.Field(3), "Artist");
    EXPECT_EQ(client.query.Field(4), "");
    EXPECT_EQ(client.query.Field(99), "");

    client.query.Close();
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
        Behaviour behaviour;
        behaviour.onCodes = [&](int) {
            return Replies{{refusal, from}, {test::Answer("a\nb\nT\nA")}};
        };
        FakeIdentificationServer server(ScriptOf(behaviour));
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
