#include "server/WebHost.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "net/HttpClient.h"

namespace quil {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;

struct Reply {
    int result = -7;
    int status = 0;
    std::string body;
};

// As the desktop program fetches, with a 5-second bound.
Reply Fetch(int port, const std::string& path, int method = 1) {
    std::vector<uint8_t> storage(1 << 20);
    HttpBodyBuffer body{0, storage.data(), storage.size() - 1};
    const HostEntry entry{{kLoopback}};
    Reply reply;
    reply.result =
        HttpFetch(&entry, "127.0.0.1", port, method, path, nullptr, &reply.status, body, 5);
    reply.body.assign(reinterpret_cast<const char*>(storage.data()), body.length);
    return reply;
}

// A raw connection to the host, its receives bounded to 5 seconds.
int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval bound{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    peer.sin_addr.s_addr = htonl(kLoopback);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer), 0);
    return fd;
}

// Sends `request` on a raw connection and reads the response until the host closes.
std::string Exchange(int port, const std::string& request) {
    const int fd = Connect(port);
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    std::string response;
    char piece[512];
    for (ssize_t n; (n = ::recv(fd, piece, sizeof piece, 0)) > 0;)
        response.append(piece, static_cast<size_t>(n));
    ::close(fd);
    return response;
}

double SecondsToStop(WebHost& host) {
    const auto start = std::chrono::steady_clock::now();
    host.Stop();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<SongInfo> Catalogue() {
    return {
        {1, "<script>alert(1)</script> & Co", "O'Brien & \"Sons\"", 187.4, "", ""},
        {2, "Plain Song", "Someone", 59.6, "", ""},
        {3, "Nameless", "", 3600, "", ""},
    };
}

class WebHostTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(host_.Start("127.0.0.1", 0), 0); }
    WebHost host_{"127.0.0.1", Catalogue()};
};

TEST_F(WebHostTest, AnswersEachPathAsDocumented) {
    const std::string huge(1500, 'a');  // what fits the client's request buffer
    const struct {
        std::string path;
        int status;
        std::vector<std::string> has;
        std::vector<std::string> lacks;
    } cases[] = {
        {"/harkbox/links.pl?title=%3Cscript%3Ealert(1)%3C%2Fscript%3E%20%26%20Co"
         "&artist=O%27Brien%20%26%20%22Sons%22",
         200,
         {"<meta charset=\"utf-8\">", "&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co",
          "O&#39;Brien &amp; &quot;Sons&quot;", "3:07", "<dd>1</dd>", "lang=\"en\""},
         {"<script>", "unknown song"}},
        // An artist the catalogue does not know: the title decides.
        {"/harkbox/links.pl?title=Plain+Song&artist=Nobody&loc=at&lang=DE",
         200,
         {"1:00", "<dd>2</dd>", "lang=\"de-AT\""},
         {"unknown song"}},
        {"/harkbox/links.pl?title=Nameless&artist=&loc=UK&lang=en",
         200,
         {"60:00", "<dd>3</dd>", "lang=\"en-GB\""},
         {}},
        // A known artist of another song.
        {"/harkbox/links.pl?title=Plain%20Song&artist=O%27Brien%20%26%20%22Sons%22",
         200,
         {"unknown song", "Plain Song", "O&#39;Brien &amp; &quot;Sons&quot;"},
         {"<dd>"}},
        {"/harkbox/links.pl?title=%3Cb%3ENo%3C%2Fb%3E&artist=Ghost&lang=%22%3E%3Cx&loc=GB",
         200,
         {"unknown song", "&lt;b&gt;No&lt;/b&gt;", "Ghost", "lang=\"en\""},
         {"<b>", "<x"}},
        {"/harkbox/links.pl?title=%FF%C3%28%00x&artist=%ED%A0%80",
         200,
         {"unknown song", "\xEF\xBF\xBD(\xEF\xBF\xBDx"},
         {"\xFF", std::string(1, '\0'), "\xED"}},
        {"/harkbox/links.pl?title=" + huge + "&artist=" + huge,
         200,
         {"unknown song", std::string(1000, 'a')},
         {std::string(1001, 'a')}},
        {"/harkbox/",
         200,
         {"Harkbox reference identification service", "3 songs, 1.1 hours",
          "<li>&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co \u2014 O&#39;Brien",
          "<li>Plain Song \u2014 Someone</li>", "<li>Nameless</li>", "127.0.0.1"},
         {"<script>"}},
        {"/harkbox/harkbox-host", 200, {"127.0.0.1"}, {}},
    };
    for (const auto& c : cases) {
        const Reply reply = Fetch(host_.port(), c.path);
        const std::string name = c.path.substr(0, 80);
        EXPECT_EQ(reply.result, 0) << name;
        EXPECT_EQ(reply.status, c.status) << name;
        for (const std::string& text : c.has)
            EXPECT_NE(reply.body.find(text), std::string::npos) << name << " lacks " << text;
        for (const std::string& text : c.lacks)
            EXPECT_EQ(reply.body.find(text), std::string::npos) << name << " has " << text;
    }
    for (const char* path : {"/harkbox", "/", "/harkbox/index.html", "/harkbox/harkbox-host/",
                             "/harkbox/links.pl/x", "/harkbox/linksXpl", "/etc/passwd"})
        EXPECT_EQ(Fetch(host_.port(), path).status, 404) << path;
}

// Raw requests: only GET and HEAD reach a page, and only GET gets its body.
TEST_F(WebHostTest, AnswersOnlyGet) {
    const struct {
        const char* request;
        const char* statusLine;
    } cases[] = {
        {"GET /harkbox/harkbox-host HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 "},
        {"POST /harkbox/harkbox-host HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 404 "},
        {"DELETE /harkbox/ HTTP/1.1\r\n\r\n", "HTTP/1.1 404 "},
        {"PUT /harkbox/harkbox-host HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 404 "},
        {"BREW /harkbox/ HTTP/1.1\r\n\r\n", "HTTP/1.1 400 "},
        {"HEAD /harkbox/harkbox-host HTTP/1.1\r\n\r\n", "HTTP/1.1 200 "},
    };
    for (const auto& c : cases) {
        const std::string response = Exchange(host_.port(), c.request);
        const bool get = c.request[0] == 'G';
        EXPECT_EQ(response.rfind(c.statusLine, 0), 0u) << c.request << response;
        EXPECT_EQ(response.ends_with("\r\n\r\n127.0.0.1"), get) << c.request << response;
        if (get) {
            EXPECT_NE(response.find("Content-Type: text/plain\r\n"), std::string::npos);
            EXPECT_NE(response.find("Connection: close\r\n"), std::string::npos);
        } else {
            EXPECT_EQ(response.find("127.0.0.1"), std::string::npos) << c.request << response;
        }
    }
}

TEST(WebHost, RefusesToStartWithCodes) {
    WebHost first("127.0.0.1", {});
    ASSERT_EQ(first.Start("127.0.0.1", 0), 0);
    EXPECT_EQ(first.Start("127.0.0.1", 0), WebHost::kAlreadyStarted);
    const struct {
        const char* publicHost;
        const char* address;
        int port;
        int code;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1", first.port(), WebHost::kPortInUse},
        {"127.0.0.1", "localhost", 0, WebHost::kBadAddress},
        {"127.0.0.1", "127.0.0.1", 65536, WebHost::kBadAddress},
        {"127.0.0.1", "192.0.2.1", 0, WebHost::kBadAddress},  // not this machine's
        {"ids.example\n", "127.0.0.1", 0, WebHost::kBadHostName},
        {"", "127.0.0.1", 0, WebHost::kBadHostName},
    };
    for (const auto& c : cases) {
        WebHost second(c.publicHost, {});
        EXPECT_EQ(second.Start(c.address, c.port), c.code) << c.address << ":" << c.port;
        EXPECT_EQ(second.port(), 0);
        EXPECT_STRNE(WebHost::ErrorText(c.code), WebHost::ErrorText(12345));
    }
    // Stopped, the port is free again at once.
    const int port = first.port();
    first.Stop();
    EXPECT_EQ(first.port(), 0);
    WebHost third("127.0.0.1", {});
    EXPECT_EQ(third.Start("127.0.0.1", port), 0);
}

TEST(WebHost, StopsPromptly) {
    WebHost host("127.0.0.1", Catalogue());
    for (int round = 0; round < 20; ++round) {  // stops that race the listen loop's start
        ASSERT_EQ(host.Start("127.0.0.1", 0), 0);
        EXPECT_LT(SecondsToStop(host), 0.5);
    }
    ASSERT_EQ(host.Start("127.0.0.1", 0), 0);
    EXPECT_EQ(Fetch(host.port(), "/harkbox/harkbox-host").status, 200);
    const int idle = Connect(host.port());
    EXPECT_LT(SecondsToStop(host), 2.5);
    ::close(idle);
}

TEST(WebHost, OutlivesClientsThatHangUpMidPage) {
    std::vector<SongInfo> songs(20000);
    for (size_t i = 0; i < songs.size(); ++i)
        songs[i] = {static_cast<int64_t>(i + 1), std::string(100, 't'), "artist", 60, "", ""};
    WebHost host("127.0.0.1", std::move(songs));
    ASSERT_EQ(host.Start("127.0.0.1", 0), 0);
    const std::string request = "GET /harkbox/ HTTP/1.1\r\nHost: x\r\n\r\n";
    for (int round = 0; round < 3; ++round) {
        const int fd = Connect(host.port());
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
        char first[16];
        EXPECT_GT(::recv(fd, first, sizeof first, 0), 0);
        const linger reset{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
    }
    EXPECT_EQ(Fetch(host.port(), "/harkbox/harkbox-host").body, "127.0.0.1");
}

}  // namespace
}  // namespace quil
