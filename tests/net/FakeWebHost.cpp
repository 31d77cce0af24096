#include "tests/net/FakeWebHost.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <utility>

namespace quil::test {

namespace {

using Clock = std::chrono::steady_clock;

// Waits up to `milliseconds` for `events` on `fd`; true when they came.
bool WaitFor(int fd, short events, int milliseconds) {
    pollfd waiting{fd, events, 0};
    return ::poll(&waiting, 1, milliseconds) > 0;
}

bool SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (!WaitFor(fd, POLLOUT, 2000))
            return false;
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

FakeWebHost::FakeWebHost(std::string response, Mode mode)
    : response_(std::move(response)), mode_(mode) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return;  // port() stays 0; the test's fetch then fails
    }
    port_ = ntohs(local.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

FakeWebHost::~FakeWebHost() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
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
        if (!WaitFor(listener_, POLLIN, 20))
            continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;

        std::string request;
        const auto readEnd = Clock::now() + std::chrono::seconds(2);
        while (request.find("\r\n\r\n") == std::string::npos && Clock::now() < readEnd && !stop_) {
            if (!WaitFor(connection, POLLIN, 20))
                continue;
            char buffer[1024];
            const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<size_t>(n));
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
        ::close(connection);
    }
}

// Keeps the connection open until the host is stopped; in stream mode the
// client is fed further bytes meanwhile.
void FakeWebHost::Hold(int connection) {
    const std::string more(256, 'x');
    while (!stop_) {
        if (mode_ == Mode::kStream) {
            if (WaitFor(connection, POLLOUT, 10))
                ::send(connection, more.data(), more.size(), MSG_NOSIGNAL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace quil::test
