#include "platform/ThreadGroup.h"

#include <memory>
#include <new>

#include "platform/DetachedThread.h"

namespace quil {

// Owned by the starting thread until the new thread runs, then by the new
// thread, which frees it when the function returns. The token lives here
// rather than on the thread's stack so that Start can register it before
// the thread exists: a stop requested right after Start is never lost.
struct ThreadGroup::StartRecord {
    ThreadGroup* group;
    ThreadMain function;
    void* argument;
    StopToken token;
};

ThreadGroup::~ThreadGroup() {
    RequestStop();
    Wait();
}

int ThreadGroup::Start(ThreadMain function, void* argument) {
    std::unique_ptr<StartRecord> record(new (std::nothrow)
                                            StartRecord{this, function, argument, {}});
    if (!record)
        return -1;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        try {
            tokens_.insert(&record->token);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        ++running_;
    }
    StartRecord* started = record.get();
    if (StartDetachedThread([started] { Run(started); }) != 0) {
        std::lock_guard<std::mutex> guard(mutex_);
        tokens_.erase(&record->token);
        if (--running_ < 1)
            allDone_.notify_all();
        return -1;
    }
    record.release();  // the thread owns it now
    return 0;
}

void ThreadGroup::Run(StartRecord* record) {
    record->function(&record->argument, &record->token);
    ThreadGroup* group = record->group;
    {
        std::lock_guard<std::mutex> guard(group->mutex_);
        group->tokens_.erase(&record->token);
        // Signalled with the mutex held: once Wait sees running_ at 0 the
        // group may be destroyed, so nothing of it may be touched afterwards.
        if (--group->running_ < 1)
            group->allDone_.notify_all();
    }
    delete record;
}

void ThreadGroup::RequestStop() {
    std::lock_guard<std::mutex> guard(mutex_);
    for (StopToken* token : tokens_)
        token->RequestStop();
}

void ThreadGroup::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    allDone_.wait(lock, [this] { return running_ < 1; });
}

}  // namespace quil
