// `harkbox-tool query` end to end: the built tool reads a sound file and
// queries a scripted server on real loopback sockets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../fingerprint/TestSignals.h"
#include "tests/audiofile/SoundFiles.h"
#include "FakeIdentificationServer.h"
#include "ToolRunner.h"

namespace quil {
namespace {

using test::Bytes;
using test::FakeIdentificationServer;
using Replies = std::vector<FakeIdentificationServer::Reply>;

// Runs `harkbox-tool query` with `arguments`; its standard output and exit
// status.
std::string RunQuery(const std::string& arguments, int& status) {
    return test::RunHarkboxTool("query " + arguments, status);
}

// A scratch folder of its own, removed afterwards.
class QueryTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("harkbox-query-tool-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  private:
    std::filesystem::path dir_;
};

// Waits (at most 5 s) until the server received a datagram of `type`.
bool WaitForType(const FakeIdentificationServer& server, uint8_t type) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.ReceivedOfType(type).empty()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST_F(QueryTool, AnswerAfterTheFirstCodePacket) {
    ASSERT_TRUE(std::filesystem::exists(test::kHarkboxTool)) << test::kHarkboxTool;
    // Half a minute of onsets, so that at full speed the analysis is still
    // running when the answer to the first code packet comes back.
    std::vector<int32_t> bursts;
    for (int32_t hop = 10; hop < 1290; hop += 140)
        bursts.push_back(hop);
    const std::string file = Path("onsets.wav");
    ASSERT_TRUE(test::WriteSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
                                 test::OnsetSignal(1292, bursts)));

    auto codePackets = std::make_shared<int>(0);
    FakeIdentificationServer server([codePackets](const Bytes& datagram, size_t) {
        const uint8_t type = datagram.size() > 3 ? datagram[3] : 0;
        if (type == 0x01)
            return Replies{{test::ServerPacket(0x81, 10)}};
        if (type == 0x02)
            return Replies{{test::Accept(2)}};
        if (type == 0x11 && (*codePackets)++ == 0)
            return Replies{{test::Answer("f0\nf1\nTitle\nArtist")}};
        return Replies{};
    });

    int status = 0;
    EXPECT_EQ(
        RunQuery("--server 127.0.0.1:" + std::to_string(server.port()) + " '" + file + "'", status),
        "handshake 0\nquery -10\nfield0 f0\nfield1 f1\nfield2 Title\nfield3 Artist\n"
        "field4 \nfield5 \nfield6 \nfield7 \n");
    EXPECT_EQ(status, 0);

    ASSERT_TRUE(WaitForType(server, 0x03));
    const std::vector<Bytes> codes = server.ReceivedOfType(0x11);
    ASSERT_FALSE(codes.empty());
    for (const Bytes& packet : codes)
        EXPECT_EQ(packet.size(), 14u + 4u * 2u);
    Bytes goodbye = test::Accept(2);
    goodbye.resize(10);
    goodbye[3] = 0x03;
    EXPECT_EQ(server.ReceivedOfType(0x03), std::vector<Bytes>{goodbye});
}

}  // namespace
}  // namespace quil
