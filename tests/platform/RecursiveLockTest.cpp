#include "platform/RecursiveLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace quil {
namespace {

// Gives a wrongly admitted thread a chance to run before the test looks.
void LetOthersRun() {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(RecursiveLockTest, OtherThreadWaitsUntilTheLastUnlockAndCannotUnlock) {
    RecursiveLock lock;
    lock.Lock();
    lock.Lock();
    int phase = 0;  // guarded by the lock
    int phaseSeen = -1;
    std::atomic<bool> acquired{false};
    std::promise<void> trying;
    std::thread other([&] {
        EXPECT_FALSE(lock.IsHeldByCurrentThread());
        EXPECT_EQ(lock.Unlock(), -1);  // not its lock to release
        trying.set_value();
        lock.Lock();
        acquired = true;
        phaseSeen = phase;
        EXPECT_EQ(lock.Unlock(), 0);
    });
    trying.get_future().wait();
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
    EXPECT_EQ(phaseSeen, 2);
}

TEST(RecursiveLockTest, DepthFollowsLevels) {
    RecursiveLock lock;
    EXPECT_TRUE(lock.Lock(0));  // zero levels take nothing
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    EXPECT_TRUE(lock.Lock(3));
    EXPECT_EQ(lock.Unlock(2), 1);
    lock.Lock(2);
    EXPECT_EQ(lock.Unlock(0), 3);
    EXPECT_EQ(lock.Unlock(), 2);
    // An over-release gives the lock up and leaves no debt.
    EXPECT_EQ(lock.Unlock(5), 0);
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
    lock.Lock(2);
    EXPECT_EQ(lock.Unlock(), 1);
    EXPECT_EQ(lock.Unlock(), 0);
}

}  // namespace
}  // namespace quil
