#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Sockets.h"

namespace quil::test {

// A scripted web host on 127.0.0.1 at an ephemeral port, serving on its own
// thread, one connection after another. For each connection it reads the
// request (up to its empty line, or until the client closes or two seconds
// pass), records it, and then behaves as its mode says. Every wait is
// bounded; the destructor stops the thread and closes every socket.
class FakeWebHost {
  public:
    enum class Mode {
        kAnswerAndClose,      // send the response, then close
        kSilent,              // send nothing and keep the connection open
        kAnswerAndHold,       // send the response and keep the connection open
        kStream,              // send the response, then more bytes without end
        kAnswerWhenReleased,  // send the response once Release was called, then close
    };

    explicit FakeWebHost(std::string response, Mode mode = Mode::kAnswerAndClose);
    ~FakeWebHost();
    FakeWebHost(const FakeWebHost&) = delete;
    FakeWebHost& operator=(const FakeWebHost&) = delete;

    uint16_t port() const { return port_; }
    // Lets kAnswerWhenReleased answer the request it holds and every later one.
    void Release() { released_ = true; }
    // The requests received so far, in order, after waiting up to five
    // seconds for at least `count` of them.
    std::vector<std::string> Requests(size_t count = 1);

  private:
    void Serve();
    void Hold(SocketHandle connection);

    std::string response_;
    Mode mode_;
    SocketHandle listener_ = kNoSocket;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> released_{false};
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace quil::test
