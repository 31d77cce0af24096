#include "net/HttpClient.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/Sockets.h"
#include "platform/StopToken.h"
#include "tests/net/FakeWebHost.h"
#include "tests/net/SignalStorm.h"

namespace quil {
namespace {

using test::FakeWebHost;

constexpr uint32_t kLoopback = 0x7F000001;

struct Fetched {
    int result = 0;
    int status = -7;
    std::string body;
    uint8_t storage[64];
};

// Fetches "/harkbox/harkbox-host" from the fake host as the identification
// run does: method 1, a 63-byte body buffer, here with a 2-second bound.
void Fetch(const FakeWebHost& host, Fetched& out, int method = 1, const char* extra = nullptr,
           int timeout = 2) {
    std::memset(out.storage, 0xEE, sizeof out.storage);
    HttpBodyBuffer body{0, out.storage, 63};
    const HostEntry entry{{kLoopback}};
    out.result = HttpFetch(&entry, "127.0.0.1", host.port(), method, "/harkbox/harkbox-host", extra,
                           &out.status, body, timeout);
    out.body.assign(reinterpret_cast<const char*>(out.storage), body.length);
}

TEST(HttpFetch, ReadsStatusAndExactBody) {
    // Bounded or not, a fetch that waits for its answer while signals
    // arrive gets it all the same.
    for (const int timeout : {2, 0}) {
        FakeWebHost host("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Any: 1\r\n\r\nharkboxes",
                         FakeWebHost::Mode::kAnswerWhenReleased);
        std::thread releaser([&] {
            host.Requests(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            host.Release();
        });
        Fetched f;
        {
            test::SignalStorm signals;
            Fetch(host, f, 1, nullptr, timeout);
        }
        releaser.join();
        EXPECT_EQ(f.result, 0) << timeout;
        EXPECT_EQ(f.status, 200);
        EXPECT_EQ(f.body, "harkboxes");
        EXPECT_EQ(f.storage[9], 0);
    }
}

TEST(HttpFetch, AcceptsIcyAndHeadsWithoutHeaderLines) {
    for (const char* response : {"ICY 200 OK\r\n\r\nstream", "HTTP/1.1 200 OK\r\n\r\nstream"}) {
        FakeWebHost host(response);
        Fetched f;
        Fetch(host, f);
        EXPECT_EQ(f.result, 0) << response;
        EXPECT_EQ(f.status, 200) << response;
        EXPECT_EQ(f.body, "stream") << response;
    }
}

TEST(HttpFetch, ReportsOtherStatusesWithoutJudging) {
    FakeWebHost host("HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\ngone");
    Fetched f;
    Fetch(host, f);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.status, 404);
    EXPECT_EQ(f.body, "gone");
}

TEST(HttpFetch, RefusesHeadsThatAreNotHttpAsExpected) {
    const std::string overlong =
        "HTTP/1.0 200 OK\r\nX-Pad: " + std::string(5000, 'p') + "\r\n\r\nbody";
    for (const std::string& response : {
             std::string("HTTP/1.0 200 OK\nServer: x\n\nbody"),  // bare line feeds
             overlong,                                           // empty line beyond 4095 bytes
             std::string("SMTP 200 OK\r\n\r\nbody"),             // not HTTP
             std::string("HTTP/1.0\r\n\r\nbody"),                // no status piece
             std::string("HTTP/1.0 abc OK\r\n\r\nbody"),         // status not a number
             std::string("HTTP/1.0 200 OK\r\nServer: x\r\n"),    // head never ends
             std::string(""),                                    // closed without a word
         }) {
        FakeWebHost host(response);
        Fetched f;
        Fetch(host, f);
        EXPECT_EQ(f.result, -1) << response.substr(0, 40);
    }
}

TEST(HttpFetch, CutsTheBodyToTheCapacity) {
    std::string body;
    for (int i = 0; i < 100; ++i)
        body += static_cast<char>('A' + i % 26);
    FakeWebHost host("HTTP/1.0 200 OK\r\n\r\n" + body);
    Fetched f;
    Fetch(host, f);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.body, body.substr(0, 63));
    EXPECT_EQ(f.storage[63], 0);
}

TEST(HttpFetch, KeepsReadingWhenTheHeadFillsItsBuffer) {
    // The empty line ends 10 bytes before the head buffer's 4095 bytes are
    // full: the body's first 10 bytes come with the head, the rest after.
    const std::string start = "HTTP/1.0 200 OK\r\nX-Pad: ";
    const std::string end = "\r\n\r\n";
    const std::string pad(4095 - 10 - start.size() - end.size(), 'p');
    const std::string body = "0123456789abcdefghijKLMNOPQRST";
    FakeWebHost host(start + pad + end + body + std::string(9000, 'z'));
    Fetched f;
    Fetch(host, f);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.status, 200);
    EXPECT_EQ(f.body, (body + std::string(33, 'z')));
    EXPECT_EQ(f.storage[63], 0);
}

TEST(HttpFetch, SendsTheRequestLinesExactly) {
    struct Case {
        int method;
        const char* extra;
        std::string expected;
    };
    const std::string tail = " /harkbox/harkbox-host HTTP/1.1\r\nHost: 127.0.0.1:";
    for (const Case& c : {Case{0, nullptr, "GET"}, Case{1, nullptr, "GET"},
                          Case{2, "X-One: 1\r\nX-Two: 2\r\n", "PUT"}}) {
        FakeWebHost host("HTTP/1.0 200 OK\r\n\r\n");
        Fetched f;
        Fetch(host, f, c.method, c.extra);
        EXPECT_EQ(f.result, 0);
        const auto requests = host.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], c.expected + tail + std::to_string(host.port()) +
                                   "\r\nConnection: close\r\n" + (c.extra ? c.extra : "") + "\r\n");
    }
}

TEST(HttpFetch, RefusesARequestTooLongForItsBufferWithoutSending) {
    FakeWebHost host("HTTP/1.0 200 OK\r\n\r\nok");
    uint8_t storage[64];
    HttpBodyBuffer body{0, storage, 63};
    const HostEntry entry{{kLoopback}};
    int status = 0;
    const std::string longPath = "/" + std::string(4096, 'a');
    EXPECT_EQ(HttpFetch(&entry, "127.0.0.1", host.port(), 1, longPath, nullptr, &status, body, 2),
              EMSGSIZE);
    // One byte short of the limit still goes out; the host then has seen
    // that request alone.
    const std::string fixed = " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(host.port()) +
                              "\r\nConnection: close\r\n\r\n";
    const std::string fitting = "/" + std::string(4095 - 4 - 1 - fixed.size(), 'b');
    EXPECT_EQ(HttpFetch(&entry, "127.0.0.1", host.port(), 1, fitting, nullptr, &status, body, 2),
              0);
    const auto requests = host.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], "GET " + fitting + fixed);
    EXPECT_EQ(requests[0].size(), 4095u);
}

TEST(HttpFetch, ABoundedFetchEndsOnAPeerThatStalls) {
    // Accepts and never answers; answers and never closes; streams forever.
    for (const auto mode : {FakeWebHost::Mode::kSilent, FakeWebHost::Mode::kAnswerAndHold,
                            FakeWebHost::Mode::kStream}) {
        FakeWebHost host("HTTP/1.0 200 OK\r\n\r\nbody", mode);
        Fetched f;
        Fetch(host, f, 1, nullptr, 1);
        EXPECT_TRUE(IsTimeoutError(f.result)) << static_cast<int>(mode) << ": " << f.result;
    }
}

TEST(HttpFetch, AStopEndsAnUnboundedFetchOfAPeerThatStalls) {
    for (const auto mode : {FakeWebHost::Mode::kSilent, FakeWebHost::Mode::kAnswerAndHold}) {
        FakeWebHost host("HTTP/1.0 200 OK\r\n\r\nbody", mode);
        StopToken stop;
        std::thread stopper([&] {
            host.Requests(1);
            stop.RequestStop();
        });
        uint8_t storage[64];
        HttpBodyBuffer body{0, storage, 63};
        const HostEntry entry{{kLoopback}};
        // No time limit: only the stop can end the wait.
        EXPECT_EQ(
            HttpFetch(&entry, "127.0.0.1", host.port(), 1, "/", nullptr, nullptr, body, 0, &stop),
            ECANCELED)
            << static_cast<int>(mode);
        stopper.join();
    }
}

// The socket seam's error numbers are the system's own: Winsock's on Windows.
#ifdef _WIN32
constexpr int kConnectionRefused = 10061;  // WSAECONNREFUSED
#else
constexpr int kConnectionRefused = ECONNREFUSED;
#endif

TEST(HttpFetch, ReportsARefusedConnectionByItsErrorNumber) {
    // A bound socket that does not listen: connecting to its port is refused.
    SocketHandle blocker = OpenTcpSocket();
    ASSERT_NE(blocker, kNoSocket);
    ASSERT_EQ(BindSocket(blocker, SocketAddress{kLoopback, 0}), 0);
    SocketAddress local;
    ASSERT_EQ(LocalAddress(blocker, local), 0);
    uint8_t storage[64];
    HttpBodyBuffer body{0, storage, 63};
    const HostEntry entry{{kLoopback}};
    EXPECT_EQ(HttpFetch(&entry, "127.0.0.1", local.port, 1, "/", nullptr, nullptr, body, 2),
              kConnectionRefused);
    CloseSocket(blocker);
}

TEST(HttpFetch, ResolvesTheHostNameWhenNoEntryIsGiven) {
    FakeWebHost host("HTTP/1.0 200 OK\r\n\r\n127.0.0.1");
    uint8_t storage[64];
    HttpBodyBuffer body{0, storage, 63};
    int status = 0;
    EXPECT_EQ(HttpFetch(nullptr, "localhost", host.port(), 1, "/harkbox/harkbox-host", nullptr,
                        &status, body, 2),
              0);
    EXPECT_EQ(status, 200);
    EXPECT_STREQ(reinterpret_cast<const char*>(storage), "127.0.0.1");
    EXPECT_NE(HttpFetch(nullptr, "localhost\n", host.port(), 1, "/", nullptr, &status, body, 2), 0);
}

}  // namespace
}  // namespace quil
