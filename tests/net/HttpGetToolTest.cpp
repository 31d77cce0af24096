#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/net/FakeWebHost.h"

namespace quil {
namespace {

const std::string kTool = std::string(HARKBOX_BINARY_DIR) + "/server/tool/harkbox-tool";

// Runs `harkbox-tool http-get` against 127.0.0.1; its standard output and
// exit status.
std::string HttpGet(uint16_t port, const std::string& path, int& status) {
    const std::string cmd = "'" + kTool + "' http-get 127.0.0.1 " + std::to_string(port) + " '" +
                            path + "' 2>/dev/null";
    std::string out;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    status = ::pclose(pipe);
    return out;
}

TEST(HttpGetTool, PrintsResultStatusAndBody) {
    ASSERT_TRUE(std::filesystem::exists(kTool)) << kTool;
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
    ASSERT_TRUE(std::filesystem::exists(kTool)) << kTool;
    test::FakeWebHost host("SSH-2.0-OpenSSH\r\n");
    int status = 0;
    EXPECT_EQ(HttpGet(host.port(), "/", status), "result -1 status 0\n");
    EXPECT_NE(status, 0);
}

}  // namespace
}  // namespace quil
