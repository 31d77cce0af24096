#include "FakeIdentificationServer.h"

#include <chrono>
#include <string>

namespace quil::test {

namespace {

SocketHandle OpenBound(uint32_t address, uint16_t port) {
    SocketHandle socket = OpenUdpSocket();
    if (socket != kNoSocket && BindSocket(socket, SocketAddress{address, port}) != 0)
        CloseSocket(socket);
    return socket;
}

}  // namespace

FakeIdentificationServer::FakeIdentificationServer(Script script) : script_(std::move(script)) {
    socket_ = OpenBound(Loopback(), 0);
    SocketAddress local;
    if (socket_ != kNoSocket && LocalAddress(socket_, local) == 0)
        port_ = local.port;
    SetReceiveTimeout(socket_, 20);
    otherPort_ = OpenBound(Loopback(), 0);
    otherAddress_ = OpenBound(0x7F000002, port_);
    if (otherAddress_ == kNoSocket)
        otherAddress_ = OpenBound(0x7F000002, 0);
    thread_ = std::thread([this] { Serve(); });
}

FakeIdentificationServer::~FakeIdentificationServer() {
    stop_ = true;
    thread_.join();
    CloseSocket(socket_);
    CloseSocket(otherPort_);
    CloseSocket(otherAddress_);
}

void FakeIdentificationServer::Serve() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    uint8_t buffer[2048];
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        SocketAddress from;
        const int64_t received = ReceiveFrom(socket_, buffer, sizeof buffer, from);
        if (received < 0)
            continue;
        Bytes datagram(buffer, buffer + received);
        size_t index = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = received_.size();
            received_.push_back(datagram);
        }
        for (const Reply& reply : script_(datagram, index)) {
            const SocketHandle sender = reply.from == From::kServer      ? socket_
                                        : reply.from == From::kOtherPort ? otherPort_
                                                                         : otherAddress_;
            SendTo(sender, reply.bytes.data(), reply.bytes.size(), from);
        }
        ++handled_;
    }
}

std::vector<Bytes> FakeIdentificationServer::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::vector<Bytes> FakeIdentificationServer::ReceivedOfType(uint8_t type) const {
    std::vector<Bytes> found;
    for (const Bytes& datagram : Received()) {
        if (datagram.size() > 3 && datagram[3] == type)
            found.push_back(datagram);
    }
    return found;
}

bool FakeIdentificationServer::WaitForHandled(size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (handled_.load() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

Bytes ServerPacket(uint8_t type, size_t length, uint8_t version, const Bytes& token) {
    Bytes packet(length, 0);
    const Bytes head = {0x48, 0x42, version, type};
    for (size_t i = 0; i < length && i < 4; ++i)
        packet[i] = head[i];
    for (size_t i = 0; i < token.size() && 4 + i < length; ++i)
        packet[4 + i] = token[i];
    return packet;
}

Bytes Accept(uint8_t m, const Bytes& token) {
    Bytes packet = ServerPacket(0x82, 16, 1, token);
    packet[14] = m;
    return packet;
}

Bytes Answer(const std::string& text, int declared, uint8_t version) {
    Bytes packet = ServerPacket(0x91, 12, version, {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6});
    const auto length = static_cast<uint16_t>(declared < 0 ? text.size() : declared);
    packet[10] = static_cast<uint8_t>(length >> 8);
    packet[11] = static_cast<uint8_t>(length);
    packet.insert(packet.end(), text.begin(), text.end());
    return packet;
}

}  // namespace quil::test
