// The web host's client: host names, response heads and whole fetches from
// a scripted host on loopback.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/HostResolver.h"
#include "net/HttpClient.h"
#include "net/HttpResponse.h"
#include "platform/Sockets.h"
#include "platform/StopToken.h"
#include "tests/net/FakeWebHost.h"
#include "tests/net/SignalStorm.h"

namespace quil {
namespace {

using test::FakeWebHost;
using Mode = FakeWebHost::Mode;

constexpr uint32_t kLoopback = 0x7F000001;
const HostEntry kEntry{{kLoopback}};

TEST(ResolveHost, TakesDottedAddressesLooksUpNamesAndTrimsNothing) {
    const auto dotted = ResolveHost("127.0.0.1");
    ASSERT_TRUE(dotted);
    EXPECT_EQ(dotted->addresses, std::vector<uint32_t>{kLoopback});
    const auto named = ResolveHost("localhost");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->addresses.at(0) >> 24, 127u);
    for (const char* text : {"localhost\n", "127.0.0.1\n", ""}) {
        int error = 0;
        EXPECT_FALSE(ResolveHost(text, &error)) << text;
        EXPECT_GT(error, 0) << text;
    }
    // The empty name fails at once, offline, and leaves its error behind for
    // the report. Capturing stderr opens a file, which on Windows sets the
    // thread's last error, so the capture starts first.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ResolveHost(""));
    const int last = LastSocketError();
    EXPECT_NE(last, 0);
    ReportResolveError("example.invalid");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "example.invalid: socket (hostnames) error #" + std::to_string(last) + "\n");
}

TEST(HttpResponse, ReadsHeadsAndRefusesOddOnes) {
    struct Case {
        std::string bytes;
        int result;
        int status = 0;
        std::string body = {};
        bool readStatus = true;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody", 0, 200, "body"},
        {"ICY 302 Found\r\n\r\n", 0, 302, ""},
        {"HTTP/1.0 abc OK\r\n\r\nx", 0, 0, "x", false},  // the status only when asked
        {"HTTP/1.0 abc OK\r\n\r\nx", -1},
        {"HTTP/1.0 200 OK\r\n\r", -1},                           // a final CR without its LF
        {std::string("HTTP/1.0 200 OK\r\n\0\r\n\r\n", 22), -1},  // a 0 byte ends the text
        {"HTTP/1.0 99999999999 OK\r\n\r\n", -1},                 // beyond int
        {"HTTP/1.0 200 OK\nServer: x\n\nbody", -1},              // bare line feeds
        {"HTTP/1.0 200 OK\r\nServer: x\r\n", -1},                // never ends
        {"HTTP/1.0\r\n\r\nbody", -1},                            // no status piece
        {"HTT 200 OK\r\n\r\n", -1},
        {"SMTP 200 OK\r\n\r\n", -1},
        {"", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        HttpResponse r;
        const ByteReader bytes(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
        ASSERT_EQ(ParseHttpResponse(bytes, c.readStatus, r), c.result);
        if (c.result == 0) {
            EXPECT_EQ(r.status, c.status);
            ASSERT_LE(r.bodyStart, c.bytes.size());
            EXPECT_EQ(c.bytes.substr(r.bodyStart), c.body);
        }
    }
}

TEST(AppendHttpBody, TakesWhatFitsUpToTheCapacity) {
    struct Case {
        size_t length;
        std::string data;
        std::string expected;  // the storage's first `length` bytes afterwards
    };
    for (const Case& c : {Case{0, "a", "a"}, Case{0, "abcdef", "abcd"}, Case{2, "xyz", "..xy"},
                          Case{4, "z", "...."}, Case{5, "z", "....."}, Case{1, "", "."}}) {
        uint8_t storage[8];
        std::memset(storage, '.', sizeof storage);
        HttpBodyBuffer body{c.length, storage, 4};
        AppendHttpBody(body, reinterpret_cast<const uint8_t*>(c.data.data()), c.data.size());
        EXPECT_EQ(std::string(reinterpret_cast<char*>(storage), body.length), c.expected)
            << c.length << " + " << c.data;
    }
    HttpBodyBuffer none{0, nullptr, 4};
    AppendHttpBody(none, reinterpret_cast<const uint8_t*>("abc"), 3);
    EXPECT_EQ(none.length, 0u);
}

struct Fetched {
    int result = 0;
    int status = -7;
    std::string body;
    uint8_t storage[64];
};

// Fetches "/harkbox/harkbox-host" from the fake host as the identification
// run does: a 63-byte body buffer, here with a bound in seconds.
Fetched Fetch(const FakeWebHost& host, int method = 1, const char* extra = nullptr,
              int timeout = 2) {
    Fetched out;
    std::memset(out.storage, 0xEE, sizeof out.storage);
    HttpBodyBuffer body{0, out.storage, 63};
    out.result = HttpFetch(&kEntry, "127.0.0.1", host.port(), method, "/harkbox/harkbox-host",
                           extra, &out.status, body, timeout);
    out.body.assign(reinterpret_cast<const char*>(out.storage), body.length);
    if (out.result == 0) {
        EXPECT_EQ(out.storage[body.length], 0);
    }
    return out;
}

TEST(HttpFetch, WaitsForTheAnswerThroughSignals) {
    for (const int timeout : {2, 0}) {
        FakeWebHost host("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Any: 1\r\n\r\nharkboxes",
                         Mode::kAnswerWhenReleased);
        std::thread releaser([&] {
            host.Requests(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            host.Release();
        });
        Fetched f;
        {
            test::SignalStorm signals;
            f = Fetch(host, 1, nullptr, timeout);
        }
        releaser.join();
        EXPECT_EQ(f.result, 0) << timeout;
        EXPECT_EQ(f.status, 200);
        EXPECT_EQ(f.body, "harkboxes");
    }
}

TEST(HttpFetch, ReportsStatusAndBodyOrRefusesTheHead) {
    std::string alphabet;
    for (int i = 0; i < 100; ++i)
        alphabet += static_cast<char>('A' + i % 26);
    // The empty line ends 10 bytes before the head buffer's 4095 bytes are
    // full: the body's first 10 bytes come with the head, the rest after.
    const std::string start = "HTTP/1.0 200 OK\r\nX-Pad: ";
    const std::string full = start + std::string(4095 - 10 - start.size() - 4, 'p') + "\r\n\r\n" +
                             "0123456789abcdefghijKLMNOPQRST" + std::string(9000, 'z');
    struct Case {
        std::string response;
        int result;
        int status = 0;
        std::string body = {};
    };
    const Case cases[] = {
        {"ICY 200 OK\r\n\r\nstream", 0, 200, "stream"},
        {"HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\ngone", 0, 404, "gone"},
        {"HTTP/1.0 200 OK\r\n\r\n" + alphabet, 0, 200, alphabet.substr(0, 63)},
        {full, 0, 200, "0123456789abcdefghijKLMNOPQRST" + std::string(33, 'z')},
        // The empty line beyond 4095 bytes.
        {"HTTP/1.0 200 OK\r\nX-Pad: " + std::string(5000, 'p') + "\r\n\r\nbody", -1},
        {"SMTP 200 OK\r\n\r\nbody", -1},
        {"", -1},  // closed without a word
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.response.substr(0, 40));
        FakeWebHost host(c.response);
        const Fetched f = Fetch(host);
        EXPECT_EQ(f.result, c.result);
        if (c.result == 0) {
            EXPECT_EQ(f.status, c.status);
            EXPECT_EQ(f.body, c.body);
        }
    }
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
        EXPECT_EQ(Fetch(host, c.method, c.extra).result, 0);
        EXPECT_EQ(host.Requests(),
                  std::vector<std::string>{c.expected + tail + std::to_string(host.port()) +
                                           "\r\nConnection: close\r\n" + (c.extra ? c.extra : "") +
                                           "\r\n"});
    }
    // Port 0 is the web's own.
    char request[kHttpRequestBufferSize];
    SocketHandle socket = kNoSocket;
    HttpSendRequest(&kEntry, "127.0.0.1", 0, 1, "/", nullptr, socket, 1, request, sizeof request);
    CloseSocket(socket);
    EXPECT_EQ(std::string(request).substr(0, 36), "GET / HTTP/1.1\r\nHost: 127.0.0.1:80\r\n");
}

TEST(HttpFetch, RefusesBadRequestsBeforeConnecting) {
    FakeWebHost host("HTTP/1.0 200 OK\r\n\r\nok");
    const int port = host.port();
    const std::string longPath = "/" + std::string(4096, 'a');
    struct Case {
        int method;
        int port;
        std::string path;
        int result;
    };
    for (const Case& c :
         {Case{1, port, longPath, EMSGSIZE}, Case{3, port, "/", EINVAL},
          Case{-1, port, "/", EINVAL}, Case{1, -1, "/", EINVAL}, Case{1, 65536, "/", EINVAL}}) {
        uint8_t storage[8];
        HttpBodyBuffer body{0, storage, 7};
        EXPECT_EQ(
            HttpFetch(&kEntry, "127.0.0.1", c.port, c.method, c.path, nullptr, nullptr, body, 2),
            c.result)
            << c.method << " " << c.port << " " << c.path.size();
    }
    EXPECT_TRUE(host.Requests(0).empty());
    // One byte short of the limit still goes out.
    const std::string fixed =
        " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nConnection: close\r\n\r\n";
    const std::string fitting = "/" + std::string(4095 - 4 - 1 - fixed.size(), 'b');
    uint8_t storage[8];
    HttpBodyBuffer body{0, storage, 7};
    EXPECT_EQ(HttpFetch(&kEntry, "127.0.0.1", port, 1, fitting, nullptr, nullptr, body, 2), 0);
    EXPECT_EQ(host.Requests(), std::vector<std::string>{"GET " + fitting + fixed});
}

TEST(HttpFetch, ATimeOutOrAStopEndsAPeerThatStalls) {
    // Accepts and never answers; answers and never closes; streams forever.
    for (const Mode mode : {Mode::kSilent, Mode::kAnswerAndHold, Mode::kStream}) {
        FakeWebHost host("HTTP/1.0 200 OK\r\n\r\nbody", mode);
        const Fetched f = Fetch(host, 1, nullptr, 1);
        EXPECT_TRUE(IsTimeoutError(f.result)) << static_cast<int>(mode) << ": " << f.result;
    }
    for (const Mode mode : {Mode::kSilent, Mode::kAnswerAndHold}) {
        FakeWebHost host("HTTP/1.0 200 OK\r\n\r\nbody", mode);
        StopToken stop;
        std::thread stopper([&] {
            host.Requests(1);
            stop.RequestStop();
        });
        uint8_t storage[8];
        HttpBodyBuffer body{0, storage, 7};
        // No time limit: only the stop can end the wait.
        EXPECT_EQ(
            HttpFetch(&kEntry, "127.0.0.1", host.port(), 1, "/", nullptr, nullptr, body, 0, &stop),
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

TEST(HttpFetch, ReportsARefusedConnectionAndResolvesNames) {
    // A bound socket that does not listen: connecting to its port is refused.
    SocketHandle blocker = OpenTcpSocket();
    SocketAddress local;
    ASSERT_EQ(BindSocket(blocker, SocketAddress{kLoopback, 0}), 0);
    ASSERT_EQ(LocalAddress(blocker, local), 0);
    uint8_t storage[64];
    HttpBodyBuffer body{0, storage, 63};
    EXPECT_EQ(HttpFetch(&kEntry, "127.0.0.1", local.port, 1, "/", nullptr, nullptr, body, 2),
              kConnectionRefused);
    CloseSocket(blocker);

    // Without an entry the name is looked up, exactly as given.
    FakeWebHost host("HTTP/1.0 200 OK\r\n\r\n127.0.0.1");
    int status = 0;
    EXPECT_EQ(HttpFetch(nullptr, "localhost", host.port(), 1, "/", nullptr, &status, body, 2), 0);
    EXPECT_EQ(status, 200);
    EXPECT_STREQ(reinterpret_cast<const char*>(storage), "127.0.0.1");
    EXPECT_NE(HttpFetch(nullptr, "localhost\n", host.port(), 1, "/", nullptr, &status, body, 2), 0);
}

}  // namespace
}  // namespace quil
