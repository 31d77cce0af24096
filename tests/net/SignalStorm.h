#pragma once

#ifdef _WIN32

namespace quil::test {

// Windows has no signals that interrupt socket calls: nothing to storm.
struct SignalStorm {
    SignalStorm() {}
    ~SignalStorm() {}
};

}  // namespace quil::test

#else

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace quil::test {

// Interrupts the thread that makes it with SIGALRM every two milliseconds
// until destroyed, through a handler installed with SA_RESTART as libraries
// install theirs (GLib's for SIGCHLD): the calls Linux does not restart
// even then fail with EINTR unless the code retries them.
class SignalStorm {
  public:
    SignalStorm() {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        action.sa_flags = SA_RESTART;
        sigaction(SIGALRM, &action, &previous_);
        thread_ = std::thread([this, target = pthread_self()] {
            for (; !stop_; std::this_thread::sleep_for(std::chrono::milliseconds(2)))
                pthread_kill(target, SIGALRM);
        });
    }
    ~SignalStorm() {
        stop_ = true;
        thread_.join();
        sigaction(SIGALRM, &previous_, nullptr);
    }

  private:
    struct sigaction previous_ {};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace quil::test

#endif
