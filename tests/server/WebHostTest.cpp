#include "server/WebHost.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace quil {
namespace {

using namespace std::string_literals;

// A raw connection to the host on loopback, its receives bounded to 5 s.
int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval bound{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    sockaddr_in peer{static_cast<sa_family_t>(AF_INET),
                     htons(static_cast<uint16_t>(port)),
                     {htonl(0x7F000001)},
                     {}};
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer), 0);
    return fd;
}

// The whole response to `method` and path, read until the host closes.
std::string Exchange(int port, const std::string& method) {
    const std::string request = method + " HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n";
    const int fd = Connect(port);
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    std::string response;
    char piece[4096];
    for (ssize_t n; (n = ::recv(fd, piece, sizeof piece, 0)) > 0;)
        response.append(piece, static_cast<size_t>(n));
    ::close(fd);
    return response;
}

// `texts` split at '|'; none when empty.
std::vector<std::string> Split(const std::string& texts) {
    std::vector<std::string> parts;
    for (size_t from = 0, to = 0; to != std::string::npos && !texts.empty(); from = to + 1)
        parts.push_back(texts.substr(from, (to = texts.find('|', from)) - from));
    return parts;
}

const std::vector<SongInfo> kSongs = {
    {1, "<script>alert(1)</script> & Co", "O'Brien & \"Sons\"", 187.4, "", ""},
    {2, "Plain Song", "Someone", 59.6, "", ""},
    {3, "Nameless", "", 3600, "", ""},
    {4, "Broken", "", -1, "", ""},  // a decoder's nonsense
};

// Each path and method as documented; hostile query text comes back
// escaped, as valid UTF-8 and cut to length.
TEST(WebHost, AnswersEachPathAsDocumented) {
    WebHost host("127.0.0.1", kSongs);
    ASSERT_EQ(host.Start("127.0.0.1", 0), 0);
    const std::string huge(1500, 'a'), head = "Content-Type: text/plain\r\n|Connection: close\r\n";
    const std::string R = "\xEF\xBF\xBD";  // U+FFFD
    std::string acutes, kept;              // 750 x U+00E9 asked for, 499 of them (998 bytes) kept
    for (int i = 0; i < 750; ++i) {
        acutes += "%C3%A9";
        kept += i < 499 ? "\xC3\xA9" : "";
    }
    // Request, status, texts it has and lacks, split at '|'.
    const std::string cases[][4] = {
        {"GET /harkbox/links.pl?title=%3Cscript%3Ealert(1)%3C%2Fscript%3E%20%26%20Co"
         "&artist=O%27Brien%20%26%20%22Sons%22&loc=UK&lang=en",
         "200",
         "<meta charset=\"utf-8\">|&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co|"
         "O&#39;Brien &amp; &quot;Sons&quot;|3:07|<dd>1</dd>|lang=\"en-GB\"",
         "<script>|unknown song"},
        // An artist the catalogue does not know: the title decides.
        {"GET /harkbox/links.pl?title=Plain+Song&artist=Nobody&loc=at&lang=DE", "200",
         "1:00|<dd>2</dd>|lang=\"de-AT\"", "unknown song"},
        {"GET /harkbox/links.pl?title=Broken&artist=", "200", "<dd>unknown</dd>|<dd>4</dd>", ""},
        // A known artist of another song.
        {"GET /harkbox/links.pl?title=Plain%20Song&artist=O%27Brien%20%26%20%22Sons%22", "200",
         "unknown song|Plain Song|O&#39;Brien &amp; &quot;Sons&quot;", "<dd>"},
        {"GET /harkbox/links.pl?title=%3Cb%3ENo%3C%2Fb%3E&artist=Ghost&lang=%22%3E%3Cx&loc=GB",
         "200", "unknown song|&lt;b&gt;No&lt;/b&gt;|Ghost|lang=\"en\"", "<b>|<x"},
        // Bytes that are no UTF-8 or no text: an overlong form, one above
        // U+10FFFF, controls (C1 too), a sequence cut short at the end.
        {"GET /harkbox/links.pl?title=%FF%C3%28%00xcaf%C3%A9%20%E0%A4%85%20%F0%9F%8E%B5%C0%AF"
         "%F4%90%80%80a%00b%07%7F%C2%85a%E2%82&artist=%ED%A0%80",
         "200",
         "unknown song|\u201C" + R + R + "(" + R + "xcaf\xC3\xA9 \xE0\xA4\x85 \xF0\x9F\x8E\xB5" +
             R + R + R + R + R + R + "a" + R + "b" + R + R + R + "a" + R + R + "\u201D",
         "\xFF|\0|\xED"s},
        // Cut to 1000 bytes, never inside a character.
        {"GET /harkbox/links.pl?title=a" + acutes + "&artist=" + huge, "200",
         "unknown song|\u201Ca" + kept + "\u201D|" + std::string(1000, 'a'),
         std::string(1001, 'a')},
        {"GET /harkbox/", "200",
         "Harkbox reference identification service|4 songs, 1.1 hours|127.0.0.1|"
         "<li>&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co \u2014 O&#39;Brien|"
         "<li>Plain Song \u2014 Someone</li>|<li>Nameless</li>",
         "<script>"},
        {"GET /harkbox/harkbox-host", "200", head + "|\r\n\r\n127.0.0.1", ""},
    };
    for (const auto& [request, status, has, lacks] : cases) {
        const std::string response = Exchange(host.port(), request);
        const std::string name = request.substr(0, 60);
        EXPECT_EQ(response.substr(0, 13), "HTTP/1.1 " + status + " ") << name;
        for (const std::string& part : Split(has))
            EXPECT_NE(response.find(part), std::string::npos) << name << " lacks " << part;
        for (const std::string& part : Split(lacks))
            EXPECT_EQ(response.find(part), std::string::npos) << name << " has " << part;
    }
}

TEST(WebHost, RefusesToStartWithCodesAndFreesItsPort) {
    WebHost first("127.0.0.1", {});
    ASSERT_EQ(first.Start("127.0.0.1", 0), 0);
    // Public host, address, port, and Start's answer.
    const std::tuple<const char*, const char*, int, int> cases[] = {
        {"127.0.0.1", "127.0.0.1", first.port(), WebHost::kPortInUse},
        {"127.0.0.1", "localhost", 0, WebHost::kBadAddress},
        {"127.0.0.1", "192.0.2.1", 0, WebHost::kBadAddress},  // not this machine's
        {"ids.example\n", "127.0.0.1", 0, WebHost::kBadHostName},
    };
    for (const auto& [publicHost, address, port, code] : cases) {
        WebHost second(publicHost, {});
        EXPECT_EQ(second.Start(address, port), code) << address << ":" << port;
    }
    const int used = first.port();
    first.Stop();
    EXPECT_EQ(WebHost("127.0.0.1", {}).Start("127.0.0.1", used), 0);
}

// Stops that race the listen loop's start, or with an idle client, end;
// clients that hang up mid-page leave the host serving.
TEST(WebHost, StopsAndOutlivesClientsThatHangUp) {
    WebHost host("127.0.0.1",
                 std::vector<SongInfo>(20000, {1, std::string(100, 't'), "", 9, "", ""}));
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(host.Start("127.0.0.1", 0), 0);
        host.Stop();
    }
    ASSERT_EQ(host.Start("127.0.0.1", 0), 0);
    const std::string request = "GET /harkbox/ HTTP/1.1\r\n\r\n";
    for (int round = 0; round < 3; ++round) {
        const int fd = Connect(host.port());
        char first[16];
        EXPECT_GT(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), 0);
        EXPECT_GT(::recv(fd, first, sizeof first, 0), 0);
        const linger reset{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
    }
    EXPECT_TRUE(Exchange(host.port(), "GET /harkbox/harkbox-host").ends_with("\r\n\r\n127.0.0.1"));
    const int idle = Connect(host.port());
    host.Stop();
    ::close(idle);
}

}  // namespace
}  // namespace quil
