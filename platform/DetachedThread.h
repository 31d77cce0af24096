#pragma once

#include <functional>

namespace quil {

// Any thread: runs `body` on a new thread that nobody joins, which frees its
// resources when `body` returns. The thread is detached from its start, never
// afterwards: the Windows build's thread library (winpthreads) recycles the
// record of a thread detached after its body ended while that thread's exit
// still writes to it, and the next thread started may then never run. Answers
// 0, or an error number when no thread could be started (then `body` is
// destroyed without running).
int StartDetachedThread(std::function<void()> body);

}  // namespace quil
