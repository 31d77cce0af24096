#include "platform/StopToken.h"

#include <chrono>
#include <limits>

namespace quil {

void StopToken::RequestStop() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (stopRequests_ < std::numeric_limits<int32_t>::max())
        ++stopRequests_;
    stopped_.notify_all();
}

bool StopToken::IsStopRequested() const {
    return StopRequests() > 0;
}

int32_t StopToken::StopRequests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return stopRequests_;
}

bool StopToken::WaitFor(int32_t milliseconds) const {
    std::unique_lock<std::mutex> lock(mutex_);
    stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0),
                      [this] { return stopRequests_ > 0; });
    return stopRequests_ > 0;
}

}  // namespace quil
