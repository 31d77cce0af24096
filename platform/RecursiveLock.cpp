#include "platform/RecursiveLock.h"

namespace quil {

bool RecursiveLock::Lock(int32_t levels) {
    if (levels <= 0)
        return true;
    const std::thread::id self = std::this_thread::get_id();
    if (IsHeldByCurrentThread()) {
        // Only the owner reads the depth, so the check cannot race.
        if (levels > INT32_MAX - depth_)
            return false;
    } else {
        main_.lock();
        std::lock_guard<std::mutex> guard(ownerMutex_);
        owner_ = self;
    }
    depth_ += levels;
    return true;
}

int32_t RecursiveLock::Unlock(int32_t levels) {
    // Only the owner may touch the depth or the main mutex; a stray unlock
    // from another thread would otherwise release a mutex it never took.
    if (!IsHeldByCurrentThread())
        return -1;
    if (levels <= 0)
        return depth_;
    depth_ -= levels;
    if (depth_ >= 1)
        return depth_;
    // An over-release still ends at depth 0, so the next owner starts clean.
    depth_ = 0;
    {
        std::lock_guard<std::mutex> guard(ownerMutex_);
        owner_ = std::thread::id();
    }
    main_.unlock();
    return 0;
}

bool RecursiveLock::IsHeldByCurrentThread() const {
    std::lock_guard<std::mutex> guard(ownerMutex_);
    return owner_ == std::this_thread::get_id();
}

}  // namespace quil
