#pragma once

#ifdef _WIN32

#include <thread>

namespace quil::test {

// Windows has no signals that interrupt socket calls: nothing to storm.
// It records its thread only so that a storm made and left alone is used.
class SignalStorm {
  public:
    SignalStorm() : target_(std::this_thread::get_id()) {}
    SignalStorm(const SignalStorm&) = delete;
    SignalStorm& operator=(const SignalStorm&) = delete;

  private:
    std::thread::id target_;
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
    SignalStorm() : target_(pthread_self()) {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, &previous_);
        thread_ = std::thread([this] {
            while (!stop_) {
                pthread_kill(target_, SIGALRM);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~SignalStorm() {
        stop_ = true;
        thread_.join();
        sigaction(SIGALRM, &previous_, nullptr);
    }
    SignalStorm(const SignalStorm&) = delete;
    SignalStorm& operator=(const SignalStorm&) = delete;

  private:
    pthread_t target_;
    struct sigaction previous_ {};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace quil::test

#endif
