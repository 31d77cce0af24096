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
    EXPECT_EQ(ResolveHost("127.0.0.1").value().addresses, std::vector<uint32_t>{kLoopback});
    EXPECT_EQ(ResolveHost("localhost").value().addresses.at(0) >> 24, 127u);
    for (const char* text : {"localhost\n", "127.0.0.1\n", ""}) {
        int error = 0;
        EXPECT_FALSE(ResolveHost(text, &error)) << text;
        EXPECT_GT(error, 0) << text;
    }
}

TEST(HttpResponse, ReadsHeadsAndRefusesOddOnes) {
    struct Case {
        std::string bytes;
        int result;
        int status = 0;
        std::string body = {};
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody", 0, 200, "body"},
        {"HTTP/1.0 abc OK\r\n\r\nx", -1},
        {std::string("HTTP/1.0 200 OK\r\n\0\r\n\r\n", 22), -1},  // a 0 byte ends the text
        {"HTTP/1.0 99999999999 OK\r\n\r\n", -1},                 // beyond int
        {"HTTP/1.0 200 OK\nServer: x\n\nbody", -1},              // bare line feeds
        {"HTTP/1.0\r\n\r\nbody", -1},                            // no status piece
        {"HTTP/1.0 200 OK\r\n\r", -1},                           // a final CR without its LF
        {"SMTP 200 OK\r\n\r\n", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        HttpResponse r;
        const ByteReader bytes(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
        ASSERT_EQ(ParseHttpResponse(bytes, true, r), c.result);
        if (c.result == 0) {
            EXPECT_EQ(r.status, c.status);
            ASSERT_LE(r.bodyStart, c.bytes.size());
            EXPECT_EQ(c.bytes.substr(r.bodyStart), c.body);
        }
    }
}

TEST(HttpFetch, SendsTheRequestAndReportsStatusAndBodyOrRefusesTheHead) {
    // The empty line ends 10 bytes before the head buffer's 4095 bytes are
    // full: the body's first 10 bytes come with the head, the rest after.
    const std::string start = "HTTP/1.0 200 OK\r\nX-Pad: ";
    const std::string body30 = "0123456789abcdefghijKLMNOPQRST";
    const std::string ok = "HTTP/1.0 200 OK\r\n\r\nbody";
    const std::string full = start + std::string(4095 - 10 - start.size() - 4, 'p') + "\r\n\r\n" +
                             body30 + std::string(9000, 'z');
    struct Case {
        std::string response;
        int result;
        int status = 0;
        std::string body = {};
        int timeout = 2;  // seconds; 0: none
        Mode mode = Mode::kAnswerWhenReleased;
        bool stop = false;
    };
    const Case cases[] = {
        {"ICY 200 OK\r\n\r\nstream", 0, 200, "stream"},
        {"HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\ngone", 0, 404, "gone"},
        {"HTTP/1.0 200 OK\r\n\r\n" + body30 + body30 + body30, 0, 200,
         (body30 + body30 + body30).substr(0, 63), 0},
        {full, 0, 200, body30 + std::string(33, 'z')},
        {start + std::string(5000, 'p') + "\r\n\r\nbody", -1},  // the empty line beyond 4095 bytes
        // Answers and streams without end, or accepts and never answers: a
        // time-out or a stop ends the wait.
        {ok, ETIMEDOUT, 0, "", 1, Mode::kStream},
        {ok, ECANCELED, 0, "", 0, Mode::kSilent, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.response.substr(0, 40) + " mode " +
                     std::to_string(static_cast<int>(c.mode)));
        // The answer or the stop comes late, so that the client waits
        // through signals.
        FakeWebHost host(c.response, c.mode);
        StopToken stop;
        std::thread releaser([&] {
            host.Requests(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (c.stop)
                stop.RequestStop();
            host.Release();
        });
        int status = -7;
        uint8_t storage[64];
        std::memset(storage, 0xEE, sizeof storage);
        HttpBodyBuffer body{0, storage, 63};  // as the identification run fetches
        {
            test::SignalStorm signals;
            EXPECT_EQ(HttpFetch(&kEntry, "127.0.0.1", host.port(), 0, "/harkbox/harkbox-host",
                                nullptr, &status, body, c.timeout, c.stop ? &stop : nullptr),
                      c.result);
        }
        releaser.join();
        EXPECT_EQ(host.Requests(),
                  std::vector<std::string>{
                      "GET /harkbox/harkbox-host HTTP/1.1\r\nHost: 127.0.0.1:" +
                      std::to_string(host.port()) + "\r\nConnection: close\r\n\r\n"});
        if (c.result == 0) {
            EXPECT_EQ(status, c.status);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(storage), body.length), c.body);
            EXPECT_EQ(storage[body.length], 0);
        }
    }
}

TEST(HttpFetch, RefusesBadRequestsBeforeConnectingAndReportsFailures) {
    FakeWebHost host("HTTP/1.0 200 OK\r\n\r\nok");
    const int port = host.port();
    // A bound socket that does not listen: connecting to its port is refused.
    SocketHandle blocker = OpenTcpSocket();
    SocketAddress closed;
    ASSERT_EQ(BindSocket(blocker, SocketAddress{kLoopback, 0}), 0);
    ASSERT_EQ(LocalAddress(blocker, closed), 0);
    // One byte beyond the request buffer.
    const std::string fixed =
        " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nConnection: close\r\n\r\n";
    std::string fitting(4095 - 4 - fixed.size(), 'b');
    fitting[0] = '/';
    struct Case {
        std::string name;  // other than 127.0.0.1: looked up, exactly as given
        int port;
        std::string path;
        int result;  // -1: any failure
    };
    for (const Case& c : {Case{"127.0.0.1", port, fitting + "b", EMSGSIZE},
                          {"127.0.0.1", closed.port, "/", -1},
                          {"localhost", port, "/", 0}}) {
        HttpBodyBuffer body{0, nullptr, 7};  // no storage: the body is dropped
        const int result = HttpFetch(c.name == "127.0.0.1" ? &kEntry : nullptr, c.name, c.port, 1,
                                     c.path, nullptr, nullptr, body, 2);
        EXPECT_TRUE(c.result == -1 ? result != 0 : result == c.result)
            << c.name << " " << c.port << " " << c.path.size() << ": " << result;
    }
    CloseSocket(blocker);
    EXPECT_EQ(host.Requests(),
              (std::vector<std::string>{"GET / HTTP/1.1\r\nHost: localhost:" +
                                        std::to_string(port) + "\r\nConnection: close\r\n\r\n"}));
}

}  // namespace
}  // namespace quil
