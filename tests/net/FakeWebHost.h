#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Sockets.h"

namespace quil::test {

// A scripted web host on 127.0.0.1 at an ephemeral port, serving on its own
// thread, one connection after another: it records each request (up to its
// empty line, two seconds at most) and then behaves as its mode says. Every
// wait is bounded; the destructor stops the thread and closes the sockets.
class FakeWebHost {
  public:
    enum class Mode {
        kAnswerAndClose,      // send the response, then close
        kSilent,              // send nothing and keep the connection open
        kStream,              // send the response, then more bytes without end
        kAnswerWhenReleased,  // send the response once Release was called, then close
    };

    explicit FakeWebHost(std::string response, Mode mode = Mode::kAnswerAndClose)
        : response_(std::move(response)), mode_(mode) {
        SocketAddress local{0x7F000001, 0};
        if (BindSocket(listener_, local) == 0 && ListenSocket(listener_, 8) == 0 &&
            LocalAddress(listener_, local) == 0 && SetNonBlocking(listener_, true) == 0) {
            port_ = local.port;  // else 0: the test's fetch fails
            thread_ = std::thread([this] { Serve(); });
        }
    }
    ~FakeWebHost() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        CloseSocket(listener_);
    }

    uint16_t port() const { return port_; }
    // Lets kAnswerWhenReleased answer the request it holds and every later one.
    void Release() { released_ = true; }
    // The requests so far, after waiting up to five seconds for `count`.
    std::vector<std::string> Requests(size_t count = 1) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return requests_.size() >= count; });
        return requests_;
    }

  private:
    using Clock = std::chrono::steady_clock;
    static void Pause(int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    // Sends all of `bytes`, up to the first failure.
    static void Send(SocketHandle connection, const std::string& bytes) {
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        for (size_t sent = 0, n = 1; sent < bytes.size() && n > 0; sent += n)
            n = static_cast<size_t>(
                std::max<int64_t>(SendBytes(connection, data + sent, bytes.size() - sent), 0));
    }

    void Serve() {
        for (const auto end = Clock::now() + std::chrono::seconds(60); !stop_ && Clock::now() < end;
             Pause(20)) {
            SocketHandle connection = AcceptSocket(listener_);
            if (connection == kNoSocket)
                continue;
            std::string request;
            char buffer[1024];
            SetReceiveTimeout(connection, 2000);
            for (int64_t n = 1; n > 0 && request.find("\r\n\r\n") == std::string::npos;) {
                n = ReceiveBytes(connection, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
                request.append(buffer, static_cast<size_t>(std::max<int64_t>(n, 0)));
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            arrived_.notify_all();
            while (mode_ == Mode::kAnswerWhenReleased && !released_ && !stop_)
                Pause(5);
            // A client that takes nothing for two seconds is given up.
            SetSendTimeout(connection, 2000);
            if (mode_ != Mode::kSilent)
                Send(connection, response_);
            // Silent and streaming connections stay open until the host stops.
            SetNonBlocking(connection, mode_ == Mode::kStream);
            for (; (mode_ == Mode::kSilent || mode_ == Mode::kStream) && !stop_; Pause(10)) {
                if (mode_ == Mode::kStream)
                    Send(connection, std::string(256, 'x'));
            }
            CloseSocket(connection);
        }
    }

    std::string response_;
    Mode mode_;
    SocketHandle listener_ = OpenTcpSocket();
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> released_{false};
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace quil::test
