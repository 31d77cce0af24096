#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quil {

// The cooperative stop request of one worker thread. A ThreadGroup creates
// one per thread and raises it on RequestStop; the thread polls it between
// steps and returns when it is raised. Nothing is ever killed. Its mutex is
// the last one in the program's lock order.
class StopToken {
  public:
    StopToken() = default;
    StopToken(const StopToken&) = delete;
    StopToken& operator=(const StopToken&) = delete;

    // Counts one more stop request (saturating) and wakes a WaitFor; never
    // blocks for long.
    void RequestStop();

    // True once at least one stop was requested.
    bool IsStopRequested() const;

    // How many stop requests arrived so far.
    int32_t StopRequests() const;

    // Sleeps for `milliseconds`, or less when a stop is requested meanwhile,
    // so that a thread pausing between passes still ends promptly. Answers
    // IsStopRequested afterwards. The owning thread only.
    bool WaitFor(int32_t milliseconds) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable stopped_;
    int32_t stopRequests_ = 0;
};

}  // namespace quil
