#include "net/HostResolver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/Sockets.h"

namespace quil {
namespace {

TEST(ResolveHost, TakesDottedAddressesAndLooksUpNames) {
    const auto dotted = ResolveHost("127.0.0.1");
    ASSERT_TRUE(dotted);
    ASSERT_EQ(dotted->addresses.size(), 1u);
    EXPECT_EQ(dotted->addresses[0], 0x7F000001u);

    const auto named = ResolveHost("localhost");
    ASSERT_TRUE(named);
    ASSERT_FALSE(named->addresses.empty());
    EXPECT_EQ(named->addresses[0] >> 24, 127u);
}

TEST(ResolveHost, UsesTheTextExactlyAsGiven) {
    int error = 0;
    EXPECT_FALSE(ResolveHost("localhost\n", &error));
    EXPECT_GT(error, 0);
    EXPECT_FALSE(ResolveHost("127.0.0.1\n", &error));
    EXPECT_FALSE(ResolveHost("", &error));
}

TEST(ReportResolveError, WritesTheTextAndTheLastSocketError) {
    testing::internal::CaptureStderr();
    // An empty name fails at once, offline, and leaves its error behind.
    int error = 0;
    ASSERT_FALSE(ResolveHost("", &error));
    const int last = LastSocketError();
    EXPECT_NE(last, 0);
    ReportResolveError("example.invalid");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "example.invalid: socket (hostnames) error #" + std::to_string(last) + "\n");
}

}  // namespace
}  // namespace quil
