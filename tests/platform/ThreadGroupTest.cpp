#include "platform/ThreadGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/StopToken.h"

namespace quil {
namespace {

// A gate that threads wait at until it is opened.
class Gate {
  public:
    void Open() {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void AwaitOpen() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// What a gated thread saw when it first looked at its token.
struct Probe {
    Gate gate;
    void* argumentSeen = nullptr;
    bool stopSeen = false;
    int32_t requestsSeen = -1;
};

void RunProbe(void** argument, StopToken* token) {
    Probe* probe = static_cast<Probe*>(*argument);
    probe->gate.AwaitOpen();
    probe->argumentSeen = *argument;
    probe->stopSeen = token->IsStopRequested();
    probe->requestsSeen = token->StopRequests();
}

// Polls its token until a stop arrives, then counts itself finished.
void RunUntilStopped(void** argument, StopToken* token) {
    while (!token->IsStopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++*static_cast<std::atomic<int>*>(*argument);
}

TEST(StopTokenTest, CountsRequestsAndWaitForEndsEarlyOnAStop) {
    StopToken token;
    EXPECT_FALSE(token.IsStopRequested());
    EXPECT_FALSE(token.WaitFor(0));
    std::thread stopper([&] { token.RequestStop(); });
    EXPECT_TRUE(token.WaitFor(60000));  // a minute unless the stop wakes it
    stopper.join();
    token.RequestStop();
    EXPECT_TRUE(token.IsStopRequested());
    EXPECT_EQ(token.StopRequests(), 2);
    EXPECT_TRUE(token.WaitFor(60000));
}

TEST(ThreadGroupTest, FunctionGetsItsArgumentAndSeesStopsRequestedRightAfterStart) {
    ThreadGroup group;
    group.Wait();  // without threads: returns at once
    for (int round = 0; round < 20; ++round) {
        const int stops = round % 3;
        SCOPED_TRACE(::testing::Message() << "round " << round << ", " << stops << " stops");
        Probe probe;
        ASSERT_EQ(group.Start(RunProbe, &probe), 0);
        for (int i = 0; i < stops; ++i)
            group.RequestStop();
        probe.gate.Open();
        group.Wait();
        EXPECT_EQ(probe.argumentSeen, &probe);
        EXPECT_EQ(probe.stopSeen, stops > 0);
        EXPECT_EQ(probe.requestsSeen, stops);
    }
}

TEST(ThreadGroupTest, StopRequestsAreNotRememberedForLaterThreads) {
    ThreadGroup group;
    Probe finished;
    finished.gate.Open();
    ASSERT_EQ(group.Start(RunProbe, &finished), 0);
    group.Wait();
    group.RequestStop();

    Probe stopped;
    ASSERT_EQ(group.Start(RunProbe, &stopped), 0);
    group.RequestStop();
    Probe later;
    ASSERT_EQ(group.Start(RunProbe, &later), 0);
    stopped.gate.Open();
    later.gate.Open();
    group.Wait();
    EXPECT_FALSE(finished.stopSeen);
    EXPECT_TRUE(stopped.stopSeen);
    EXPECT_FALSE(later.stopSeen);
    EXPECT_EQ(later.requestsSeen, 0);
}

TEST(ThreadGroupTest, DestructionStopsAndWaitsForEveryThread) {
    std::atomic<int> finished{0};
    {
        ThreadGroup group;
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(group.Start(RunUntilStopped, &finished), 0);
    }
    EXPECT_EQ(finished, 4);
}

TEST(ThreadGroupTest, ManyThreadsStartedAndStoppedConcurrently) {
    constexpr int kStarters = 4;
    constexpr int kThreadsPerStarter = 25;
    ThreadGroup group;
    std::atomic<int> finished{0};
    std::atomic<int> started{0};
    std::atomic<bool> startersDone{false};

    std::thread stopper([&] {
        while (!startersDone) {
            group.RequestStop();
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> starters;
    for (int s = 0; s < kStarters; ++s) {
        starters.emplace_back([&] {
            for (int i = 0; i < kThreadsPerStarter; ++i) {
                if (group.Start(RunUntilStopped, &finished) == 0)
                    ++started;
            }
        });
    }
    for (std::thread& starter : starters)
        starter.join();
    startersDone = true;
    stopper.join();

    group.RequestStop();
    group.Wait();
    EXPECT_EQ(started, kStarters * kThreadsPerStarter);
    EXPECT_EQ(finished, started.load());
}

}  // namespace
}  // namespace quil
