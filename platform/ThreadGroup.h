#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

#include "platform/StopToken.h"

namespace quil {

// The body of a worker thread. `argument` points at the slot holding the
// pointer given to ThreadGroup::Start (the thread may overwrite it; the slot
// lives until the function returns); `token` is the thread's own stop token,
// valid until the function returns. Neither is owned by the function.
using ThreadMain = void (*)(void** argument, StopToken* token);

// A set of detached worker threads that can all be asked to stop and waited
// for. One group serves many threads in turn. Stop requests reach only the
// threads running at the time; a thread started later runs normally.
class ThreadGroup {
  public:
    ThreadGroup() = default;
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;
    // Requests a stop of every running thread and waits until all are done.
    ~ThreadGroup();

    // Starts `function` on a new detached thread. The thread belongs to the
    // group, and sees stop requests, from the moment Start is called until
    // the function returns. Answers 0, or -1 when no thread could be started
    // (then the function is never called).
    int Start(ThreadMain function, void* argument);

    // Raises the stop request of every thread running in the group; does not
    // wait for them.
    void RequestStop();

    // Blocks until no thread of the group is running.
    void Wait();

  private:
    struct StartRecord;
    static void Run(StartRecord* record);

    std::mutex mutex_;  // guards tokens_ and running_
    std::set<StopToken*> tokens_;
    int32_t running_ = 0;
    std::condition_variable allDone_;  // signalled when running_ drops below 1
};

}  // namespace quil
