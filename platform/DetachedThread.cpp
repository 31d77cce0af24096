#include "platform/DetachedThread.h"

#include <pthread.h>

#include <cerrno>
#include <memory>
#include <new>
#include <utility>

namespace quil {
namespace {

void* RunBody(void* body) {
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(body));
    (*owned)();
    return nullptr;
}

}  // namespace

int StartDetachedThread(std::function<void()> body) {
    std::unique_ptr<std::function<void()>> owned(new (std::nothrow)
                                                     std::function<void()>(std::move(body)));
    if (!owned)
        return ENOMEM;
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error != 0)
        return error;
    error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    if (error == 0)
        error = pthread_create(&thread, &attributes, RunBody, owned.get());
    pthread_attr_destroy(&attributes);
    if (error == 0)
        owned.release();  // the thread's now
    return error;
}

}  // namespace quil
