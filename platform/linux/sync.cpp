/*
 * Unnamed Windows mutexes: CreateMutexA, WaitForSingleObject and
 * ReleaseMutex. A mutex records its owning thread (by kernel thread id) and
 * how often that thread has taken it; the owner may take it again. A mutex
 * whose owner ends without releasing it stays taken (abandonment is not
 * detected). Thread-safe.
 */
#if !defined(_WIN32)

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/linux/handles.h"

namespace orv::platform {
namespace {

struct MutexObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::Mutex;
    MutexObject() : HandleObject(kKind) {}

    std::mutex lock;
    std::condition_variable released;
    DWORD owner = 0;   // thread id; 0 when free
    DWORD depth = 0;   // times the owner has taken it
};

}  // namespace
}  // namespace orv::platform

using namespace orv::platform;

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) {
    (void)lpMutexAttributes;
    if (lpName && *lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);  // named mutexes are not supported
        return nullptr;
    }
    auto mutex = std::make_shared<MutexObject>();
    if (bInitialOwner) {
        mutex->owner = GetCurrentThreadId();
        mutex->depth = 1;
    }
    HANDLE handle = AddHandle(std::move(mutex));
    SetLastError(ERROR_SUCCESS);  // as Windows: not ERROR_ALREADY_EXISTS
    return handle;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<MutexObject> mutex = FindHandle<MutexObject>(hHandle);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    DWORD self = GetCurrentThreadId();
    std::unique_lock guard(mutex->lock);
    if (mutex->owner != self) {
        auto isFree = [&] { return mutex->owner == 0; };
        if (dwMilliseconds == INFINITE) {
            mutex->released.wait(guard, isFree);
        } else if (!mutex->released.wait_for(guard, std::chrono::milliseconds(dwMilliseconds), isFree)) {
            return WAIT_TIMEOUT;
        }
        mutex->owner = self;
    }
    ++mutex->depth;
    return WAIT_OBJECT_0;
}

BOOL ReleaseMutex(HANDLE hMutex) {
    std::shared_ptr<MutexObject> mutex = FindHandle<MutexObject>(hMutex);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::unique_lock guard(mutex->lock);
    if (mutex->owner != GetCurrentThreadId() || mutex->depth == 0) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex->depth == 0) {
        mutex->owner = 0;
        guard.unlock();
        mutex->released.notify_one();
    }
    return TRUE;
}

#endif  // !_WIN32
