#pragma once

#include <cstdint>
#include <mutex>
#include <thread>

namespace quil {

// A lock that the owning thread may take again while it holds it. It
// remembers its owner so that any thread can ask whether it holds the lock
// without touching the main mutex. The top-level window's lock is one of
// these; it is the first lock in the program's lock order.
class RecursiveLock {
  public:
    RecursiveLock() = default;
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;
    // Must not be destroyed while a thread holds it.
    ~RecursiveLock() = default;

    // Acquires the lock for the calling thread `levels` levels deep, blocking
    // while another thread holds it; true when done. Zero or a negative
    // count does nothing (true), and so does a count that would take the
    // depth beyond INT32_MAX (false: refused, the depth stays as it was).
    bool Lock(int32_t levels = 1);

    // Releases `levels` levels. Answers the remaining depth while the caller
    // still holds the lock, 0 when the lock was given up (also when more
    // levels were released than were held), and -1 without any change when
    // the calling thread does not hold the lock. For the holder, zero or a
    // negative count changes nothing and answers the current depth.
    int32_t Unlock(int32_t levels = 1);

    // True when the calling thread holds the lock.
    bool IsHeldByCurrentThread() const;

  private:
    std::mutex main_;  // held for as long as the lock is owned
    mutable std::mutex ownerMutex_;
    std::thread::id owner_;  // default id: nobody
    // Nested acquisitions; only the owner reads or writes it, and the main
    // mutex orders the hand-over between owners.
    int32_t depth_ = 0;
};

}  // namespace quil
