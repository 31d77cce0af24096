#include "net/HttpResponse.h"

#include <gtest/gtest.h>

#include <string>

namespace quil {
namespace {

int Parse(const std::string& bytes, HttpResponse& out, bool readStatus = true) {
    return ParseHttpResponse(
        ByteReader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), readStatus, out);
}

TEST(HttpResponse, FindsTheBodyAfterTheEmptyLine) {
    HttpResponse r;
    const std::string bytes = "HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody";
    ASSERT_EQ(Parse(bytes, r), 0);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(bytes.substr(r.bodyStart), "body");
    // An empty body right at the end of the bytes.
    ASSERT_EQ(Parse("ICY 302 Found\r\n\r\n", r), 0);
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.bodyStart, 17u);
}

TEST(HttpResponse, RefusesIncompleteOrOddHeads) {
    HttpResponse r;
    // A final CR without its LF: the body would begin past the bytes.
    EXPECT_EQ(Parse("HTTP/1.0 200 OK\r\n\r", r), -1);
    // The head is a text: a 0 byte ends it before its empty line.
    EXPECT_EQ(Parse(std::string("HTTP/1.0 200 OK\r\n\0\r\n\r\n", 22), r), -1);
    // A status beyond int is no number.
    EXPECT_EQ(Parse("HTTP/1.0 99999999999 OK\r\n\r\n", r), -1);
    EXPECT_EQ(Parse("HTT 200 OK\r\n\r\n", r), -1);
    EXPECT_EQ(Parse("", r), -1);
}

TEST(HttpResponse, ReadsTheStatusOnlyWhenAsked) {
    HttpResponse r;
    EXPECT_EQ(Parse("HTTP/1.0 abc OK\r\n\r\nx", r, false), 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Parse("HTTP/1.0 abc OK\r\n\r\nx", r, true), -1);
}

}  // namespace
}  // namespace quil
