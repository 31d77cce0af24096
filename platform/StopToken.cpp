#include "platform/StopToken.h"

#include <limits>

namespace quil {

void StopToken::RequestStop() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (stopRequests_ < std::numeric_limits<int32_t>::max())
        ++stopRequests_;
}

bool StopToken::IsStopRequested() const {
    return StopRequests() > 0;
}

int32_t StopToken::StopRequests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return stopRequests_;
}

}  // namespace quil
