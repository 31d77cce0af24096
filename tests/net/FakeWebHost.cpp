#include "tests/net/FakeWebHost.h"

#include <chrono>
#include <utility>

namespace quil::test {

namespace {

using Clock = std::chrono::steady_clock;

bool SendAll(SocketHandle connection, const std::string& bytes) {
    // A peer that takes nothing for two seconds is given up.
    if (SetSendTimeout(connection, 2000) != 0)
        return false;
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int64_t n = SendBytes(
            connection, reinterpret_cast<const uint8_t*>(bytes.data()) + sent, bytes.size() - sent);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

FakeWebHost::FakeWebHost(std::string response, Mode mode)
    : response_(std::move(response)), mode_(mode) {
    listener_ = OpenTcpSocket();
    SocketAddress local{0x7F000001, 0};
    if (listener_ == kNoSocket || BindSocket(listener_, local) != 0 ||
        ListenSocket(listener_, 8) != 0 || LocalAddress(listener_, local) != 0 ||
        SetNonBlocking(listener_, true) != 0) {
        return;  // port() stays 0; the test's fetch then fails
    }
    port_ = local.port;
    thread_ = std::thread([this] { Serve(); });
}

FakeWebHost::~FakeWebHost() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    CloseSocket(listener_);
}

std::vector<std::string> FakeWebHost::Requests(size_t count) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return requests_.size() >= count; });
    return requests_;
}

void FakeWebHost::Serve() {
    // A test that forgets to end is ended here at the latest.
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (!stop_ && Clock::now() < end) {
        SocketHandle connection = AcceptSocket(listener_);
        if (connection == kNoSocket) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }

        // Receives wait in short slices, so that a stop is noticed.
        std::string request;
        const auto readEnd = Clock::now() + std::chrono::seconds(2);
        SetReceiveTimeout(connection, 20);
        while (request.find("\r\n\r\n") == std::string::npos && Clock::now() < readEnd && !stop_) {
            uint8_t buffer[1024];
            const int64_t n = ReceiveBytes(connection, buffer, sizeof buffer);
            if (n < 0 && IsTimeoutError(LastSocketError()))
                continue;
            if (n <= 0)
                break;
            request.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        arrived_.notify_all();

        while (mode_ == Mode::kAnswerWhenReleased && !released_ && !stop_)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (mode_ != Mode::kSilent)
            SendAll(connection, response_);
        if (mode_ != Mode::kAnswerAndClose && mode_ != Mode::kAnswerWhenReleased)
            Hold(connection);
        CloseSocket(connection);
    }
}

// Keeps the connection open until the host is stopped; in stream mode the
// client is fed further bytes meanwhile, as many as it takes.
void FakeWebHost::Hold(SocketHandle connection) {
    const std::string more(256, 'x');
    if (mode_ == Mode::kStream)
        SetNonBlocking(connection, true);
    while (!stop_) {
        if (mode_ == Mode::kStream)
            SendBytes(connection, reinterpret_cast<const uint8_t*>(more.data()), more.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace quil::test
