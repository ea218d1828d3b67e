/*
 * GetCurrentThreadId: the kernel thread id, read once per thread and kept in
 * a thread-local cache (cleared in a forked child, whose thread has a new
 * id). Thread-safe.
 */
#if !defined(_WIN32)

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <mutex>

#include "platform/win32.h"

namespace {

thread_local DWORD t_threadId = 0;  // 0: not read yet

void ForgetThreadIdInChild() { t_threadId = 0; }

}  // namespace

DWORD GetCurrentThreadId(void) {
    if (t_threadId == 0) {
        static std::once_flag atforkOnce;
        std::call_once(atforkOnce, [] { pthread_atfork(nullptr, nullptr, ForgetThreadIdInChild); });
        t_threadId = static_cast<DWORD>(syscall(SYS_gettid));
    }
    return t_threadId;
}

#endif  // !_WIN32
