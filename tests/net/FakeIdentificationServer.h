#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Sockets.h"

namespace quil::test {

using Bytes = std::vector<uint8_t>;

// A scriptable identification server on 127.0.0.1 at an ephemeral port, on
// its own thread. Every datagram it receives is recorded and handed to the
// script, whose replies go back to the datagram's sender: from the server's
// own endpoint, or from a stranger (another port on 127.0.0.1, or the same
// port on 127.0.0.2). The thread ends on destruction, and by itself after
// 30 seconds, so a test that goes wrong cannot hang.
class FakeIdentificationServer {
  public:
    enum class From { kServer, kOtherPort, kOtherAddress };
    struct Reply {
        Bytes bytes;
        From from = From::kServer;
    };
    // Called with each received datagram and its 0-based index among all
    // received so far.
    using Script = std::function<std::vector<Reply>(const Bytes& datagram, size_t index)>;

    explicit FakeIdentificationServer(Script script);
    ~FakeIdentificationServer();
    FakeIdentificationServer(const FakeIdentificationServer&) = delete;
    FakeIdentificationServer& operator=(const FakeIdentificationServer&) = delete;

    static uint32_t Loopback() { return 0x7F000001; }
    uint16_t port() const { return port_; }

    // Everything received so far, in order.
    std::vector<Bytes> Received() const;
    // The received datagrams of one packet type (byte 3).
    std::vector<Bytes> ReceivedOfType(uint8_t type) const;
    // Waits (at most 5 s) until `count` datagrams were handled, replies sent.
    bool WaitForHandled(size_t count) const;
    size_t Handled() const { return handled_.load(); }

  private:
    void Serve();

    Script script_;
    SocketHandle socket_ = kNoSocket;
    SocketHandle otherPort_ = kNoSocket;
    SocketHandle otherAddress_ = kNoSocket;
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Bytes> received_;
    std::atomic<size_t> handled_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Packets as the server sends them.
Bytes ServerPacket(uint8_t type, size_t length, uint8_t version = 1,
                   const Bytes& token = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6});
// An accept asking for `m` candidates per row, with version byte 1 and the
// given token.
Bytes Accept(uint8_t m, const Bytes& token = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6});
// An answer carrying `text`, with the length field `declared` (default: the
// text's length) and the accept's default token.
Bytes Answer(const std::string& text, int declared = -1, uint8_t version = 1);

}  // namespace quil::test
