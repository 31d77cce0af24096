#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Sockets.h"

namespace quil::test {

using Bytes = std::vector<uint8_t>;

// A scriptable identification server on 127.0.0.1 at an ephemeral port,
// serving on its own thread until destroyed (30 s at most, so that a test
// that goes wrong cannot hang). Every datagram is recorded and handed to
// the script, whose replies go back to its sender from the server's own
// endpoint or from a stranger's: another port, or 127.0.0.2.
class FakeIdentificationServer {
  public:
    enum class From { kServer, kOtherPort, kOtherAddress };
    struct Reply {
        Bytes bytes;
        From from = From::kServer;
    };
    // Called with each datagram and its 0-based index among all received.
    using Script = std::function<std::vector<Reply>(const Bytes& datagram, size_t index)>;

    explicit FakeIdentificationServer(Script script) : script_(std::move(script)) {
        sockets_[0] = Bound(0x7F000001, 0);
        SocketAddress local;
        port_ = LocalAddress(sockets_[0], local) == 0 ? local.port : 0;
        SetReceiveTimeout(sockets_[0], 20);
        sockets_[1] = Bound(0x7F000001, 0);
        sockets_[2] = Bound(0x7F000002, port_);
        thread_ = std::thread([this] {
            const auto end = Clock::now() + std::chrono::seconds(30);
            uint8_t buffer[2048];
            while (!stop_ && Clock::now() < end) {
                SocketAddress from;
                const int64_t received = ReceiveFrom(sockets_[0], buffer, sizeof buffer, from);
                if (received < 0)
                    continue;
                const Bytes datagram(buffer, buffer + received);
                std::unique_lock lock(mutex_);
                received_.push_back(datagram);
                lock.unlock();
                for (const Reply& reply : script_(datagram, received_.size() - 1)) {
                    SendTo(sockets_[static_cast<int>(reply.from)], reply.bytes.data(),
                           reply.bytes.size(), from);
                }
                ++handled_;
            }
        });
    }
    ~FakeIdentificationServer() {
        stop_ = true;
        thread_.join();
        for (SocketHandle& socket : sockets_)
            CloseSocket(socket);
    }

    uint16_t port() const { return port_; }
    // The datagrams received so far of one packet type (byte 3), in order.
    std::vector<Bytes> ReceivedOfType(uint8_t type) const {
        std::lock_guard lock(mutex_);
        std::vector<Bytes> found;
        for (const Bytes& datagram : received_) {
            if (datagram.size() > 3 && datagram[3] == type)
                found.push_back(datagram);
        }
        return found;
    }
    // Waits (at most 5 s) until `count` datagrams were handled, replies sent.
    bool WaitForHandled(size_t count) const {
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (handled_ < count && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return handled_ >= count;
    }

  private:
    using Clock = std::chrono::steady_clock;
    static SocketHandle Bound(uint32_t address, uint16_t port) {
        SocketHandle socket = OpenUdpSocket();
        if (socket != kNoSocket && BindSocket(socket, SocketAddress{address, port}) != 0)
            CloseSocket(socket);
        return socket;
    }

    Script script_;
    SocketHandle sockets_[3] = {kNoSocket, kNoSocket, kNoSocket};  // by From
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Bytes> received_;  // only the server's thread adds to it
    std::atomic<size_t> handled_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A packet as the server sends it: header and token, cut or padded with
// zeros to `length`.
inline Bytes ServerPacket(uint8_t type, size_t length, uint8_t version = 1,
                          const Bytes& token = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}) {
    const uint8_t head[4] = {0x48, 0x42, version, type};
    Bytes packet(length, 0);
    for (size_t i = 0; i < length; ++i)
        packet[i] = i < 4 ? head[i] : i - 4 < token.size() ? token[i - 4] : 0;
    return packet;
}

// An accept with the token B1..B6 asking for `m` candidates per row.
inline Bytes Accept(uint8_t m) {
    Bytes packet = ServerPacket(0x82, 16, 1, {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6});
    packet[14] = m;
    return packet;
}

// An answer to that token carrying `text`, with the length field `declared`
// (default: the text's length).
inline Bytes Answer(const std::string& text, int declared = -1, uint8_t version = 1) {
    Bytes packet = ServerPacket(0x91, 10, version, {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6});
    const auto length = static_cast<uint16_t>(declared < 0 ? text.size() : declared);
    packet.insert(packet.end(), {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    packet.insert(packet.end(), text.begin(), text.end());
    return packet;
}

}  // namespace quil::test
