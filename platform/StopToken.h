#pragma once

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

    // Counts one more stop request (saturating); never blocks for long.
    void RequestStop();

    // True once at least one stop was requested.
    bool IsStopRequested() const;

    // How many stop requests arrived so far.
    int32_t StopRequests() const;

  private:
    mutable std::mutex mutex_;
    int32_t stopRequests_ = 0;
};

}  // namespace quil
