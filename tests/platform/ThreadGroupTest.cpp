#include "platform/ThreadGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/StopToken.h"

namespace quil {
namespace {

// What a thread saw when it looked at its token, once `gate` was opened.
struct Probe {
    std::promise<void> gate;
    int32_t requestsSeen = -1;
};

void RunProbe(void** argument, StopToken* token) {
    Probe* probe = static_cast<Probe*>(*argument);
    probe->gate.get_future().wait();
    probe->requestsSeen = token->StopRequests();
}

// Polls its token until a stop arrives, then counts itself finished.
void RunUntilStopped(void** argument, StopToken* token) {
    while (!token->IsStopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++*static_cast<std::atomic<int>*>(*argument);
}

TEST(StopTokenTest, WaitForEndsEarlyOnAStop) {
    StopToken token;
    EXPECT_FALSE(token.WaitFor(0));
    std::thread stopper([&] { token.RequestStop(); });
    EXPECT_TRUE(token.WaitFor(60000));  // a minute unless the stop wakes it
    stopper.join();
}

TEST(ThreadGroupTest, ThreadsSeeOnlyTheStopsRequestedWhileTheyRun) {
    ThreadGroup group;
    group.Wait();  // without threads: returns at once
    // Stops requested for earlier threads are not remembered for later ones.
    for (int stops : {2, 0, 1}) {
        SCOPED_TRACE(::testing::Message() << stops << " stops");
        Probe probe;
        ASSERT_EQ(group.Start(RunProbe, &probe), 0);
        for (int i = 0; i < stops; ++i)
            group.RequestStop();
        probe.gate.set_value();
        group.Wait();
        EXPECT_EQ(probe.requestsSeen, stops);
    }
}

TEST(ThreadGroupTest, ManyThreadsStartedAndStoppedConcurrentlyAndAllWaitedFor) {
    constexpr int kStarters = 4;
    constexpr int kThreadsPerStarter = 25;
    std::atomic<int> finished{0};
    std::atomic<int> started{0};
    {
        ThreadGroup group;
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
                for (int i = 0; i < kThreadsPerStarter; ++i)
                    started += group.Start(RunUntilStopped, &finished) == 0;
            });
        }
        for (std::thread& starter : starters)
            starter.join();
        startersDone = true;
        stopper.join();
    }  // destruction stops and waits for every thread still running
    EXPECT_EQ(started, kStarters * kThreadsPerStarter);
    EXPECT_EQ(finished, started.load());
}

}  // namespace
}  // namespace quil
