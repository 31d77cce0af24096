#include "platform/RecursiveLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quil {
namespace {

// A one-shot signal between two threads.
class Signal {
  public:
    void Raise() {
        std::lock_guard<std::mutex> guard(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    void AwaitRaised() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return raised_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// Gives a wrongly admitted thread a chance to run before the test looks.
void LetOthersRun() {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(RecursiveLockTest, OtherThreadWaitsUntilTheLastUnlock) {
    RecursiveLock lock;
    lock.Lock();
    lock.Lock();
    EXPECT_TRUE(lock.IsHeldByCurrentThread());

    int phase = 0;  // guarded by the lock
    int phaseSeen = -1;
    std::atomic<bool> acquired{false};
    Signal trying;
    std::thread other([&] {
        EXPECT_FALSE(lock.IsHeldByCurrentThread());
        trying.Raise();
        lock.Lock();
        acquired = true;
        phaseSeen = phase;
        EXPECT_EQ(lock.Unlock(), 0);
    });
    trying.AwaitRaised();
    LetOthersRun();
    EXPECT_FALSE(acquired);
    phase = 1;
    EXPECT_EQ(lock.Unlock(), 1);
    EXPECT_TRUE(lock.IsHeldByCurrentThread());
    LetOthersRun();
    EXPECT_FALSE(acquired);
    phase = 2;
    EXPECT_EQ(lock.Unlock(), 0);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    other.join();
    EXPECT_TRUE(acquired);
    EXPECT_EQ(phaseSeen, 2);
}

TEST(RecursiveLockTest, ZeroLevelsChangeNothing) {
    RecursiveLock lock;
    lock.Lock(0);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    std::thread other([&] {
        lock.Lock();
        lock.Unlock();
    });
    other.join();  // would hang if Lock(0) had taken the lock

    lock.Lock();
    EXPECT_EQ(lock.Unlock(0), 1);
    EXPECT_TRUE(lock.IsHeldByCurrentThread());
    lock.Lock(0);
    EXPECT_EQ(lock.Unlock(), 0);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
}

TEST(RecursiveLockTest, DepthFollowsLevels) {
    RecursiveLock lock;
    lock.Lock(3);
    EXPECT_EQ(lock.Unlock(2), 1);
    lock.Lock(2);
    EXPECT_EQ(lock.Unlock(), 2);
    EXPECT_EQ(lock.Unlock(2), 0);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());

    // A count that would take the depth beyond its range is refused.
    EXPECT_TRUE(lock.Lock(INT32_MAX - 1));
    EXPECT_FALSE(lock.Lock(2));
    EXPECT_TRUE(lock.Lock(1));
    EXPECT_FALSE(lock.Lock(1));
    EXPECT_EQ(lock.Unlock(INT32_MAX - 1), 1);
    EXPECT_EQ(lock.Unlock(), 0);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
}

TEST(RecursiveLockTest, OverReleaseGivesUpAndLeavesNoDebt) {
    RecursiveLock lock;
    lock.Lock();
    EXPECT_EQ(lock.Unlock(3), 0);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    lock.Lock();
    lock.Lock();
    EXPECT_EQ(lock.Unlock(), 1);  // a negative depth would have released here
    EXPECT_TRUE(lock.IsHeldByCurrentThread());
    EXPECT_EQ(lock.Unlock(), 0);
}

TEST(RecursiveLockTest, UnlockByAnotherThreadIsRefused) {
    RecursiveLock lock;
    EXPECT_EQ(lock.Unlock(), -1);
    lock.Lock();
    std::thread other([&] { EXPECT_EQ(lock.Unlock(), -1); });
    other.join();
    EXPECT_TRUE(lock.IsHeldByCurrentThread());
    EXPECT_EQ(lock.Unlock(), 0);
}

TEST(RecursiveLockTest, NestedLockingExcludesOtherThreads) {
    RecursiveLock lock;
    constexpr int kThreads = 4;
    constexpr int kRounds = 500;
    int counter = 0;  // guarded by the lock
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                lock.Lock();
                lock.Lock();
                ++counter;
                lock.Unlock();
                ++counter;
                lock.Unlock();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 2 * kThreads * kRounds);
}

}  // namespace
}  // namespace quil
