#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/net/FakeWebHost.h"
#include "tests/net/ToolRunner.h"

namespace quil {
namespace {

// Runs `harkbox-tool http-get` against 127.0.0.1; its standard output and
// exit status.
std::string HttpGet(uint16_t port, const std::string& path, int& status) {
    return test::RunHarkboxTool("http-get 127.0.0.1 " + std::to_string(port) + " '" + path + "'",
                                status);
}

TEST(HttpGetTool, PrintsResultStatusAndBody) {
    ASSERT_TRUE(std::filesystem::exists(test::kHarkboxTool)) << test::kHarkboxTool;
    test::FakeWebHost host("HTTP/1.1 200 OK\r\nServer: fake\r\n\r\nid.example.org");
    int status = 0;
    EXPECT_EQ(HttpGet(host.port(), "/harkbox/harkbox-host", status),
              "result 0 status 200\nid.example.org");
    EXPECT_EQ(status, 0);
    const auto requests = host.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /harkbox/harkbox-host HTTP/1.1\r\n", 0), 0u);
}

TEST(HttpGetTool, FailsOnAResponseThatIsNotHttp) {
    ASSERT_TRUE(std::filesystem::exists(test::kHarkboxTool)) << test::kHarkboxTool;
    test::FakeWebHost host("SSH-2.0-OpenSSH\r\n");
    int status = 0;
    EXPECT_EQ(HttpGet(host.port(), "/", status), "result -1 status 0\n");
    EXPECT_NE(status, 0);
}

}  // namespace
}  // namespace quil
