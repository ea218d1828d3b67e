/*
 * Timer queues: CreateTimerQueue, CreateTimerQueueTimer, DeleteTimerQueueEx
 * and DeleteTimerQueue. Each queue owns one worker thread that sleeps until
 * its earliest timer is due and runs the callbacks one at a time, outside
 * every lock of this file. Timers passed a null queue go to a process-wide
 * default queue that is made on first use and never deleted. Thread-safe.
 */
#if !defined(_WIN32)

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/handles.h"

namespace orv::platform {
namespace {

using Clock = std::chrono::steady_clock;

struct TimerEntry {
    WAITORTIMERCALLBACK callback = nullptr;
    PVOID parameter = nullptr;
    DWORD period = 0;  // milliseconds; 0: once
};

/* The state that the worker thread shares with the queue's handle. */
struct QueueCore {
    std::mutex lock;
    std::condition_variable wake;  // a timer was added or the queue ends
    std::multimap<Clock::time_point, std::shared_ptr<TimerEntry>> pending;
    std::vector<HANDLE> timerHandles;  // every timer armed on this queue
    bool ending = false;
    bool running = false;  // a callback runs now
    std::thread::id worker;
};

struct TimerObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::Timer;
    TimerObject() : HandleObject(kKind) {}
};

void RunWorker(const std::shared_ptr<QueueCore>& core) {
    std::unique_lock guard(core->lock);
    while (!core->ending) {
        if (core->pending.empty()) {
            core->wake.wait(guard);
            continue;
        }
        auto first = core->pending.begin();
        Clock::time_point due = first->first;
        if (Clock::now() < due) {
            core->wake.wait_until(guard, due);
            continue;
        }
        std::shared_ptr<TimerEntry> entry = first->second;
        core->pending.erase(first);
        core->running = true;
        guard.unlock();
        entry->callback(entry->parameter, TRUE);
        guard.lock();
        core->running = false;
        if (entry->period != 0 && !core->ending) {
            Clock::time_point next = due + std::chrono::milliseconds(entry->period);
            Clock::time_point now = Clock::now();
            core->pending.emplace(next < now ? now : next, entry);
        }
    }
}

/* Ends the queue: no callback starts any more, pending timers are dropped
 * and the timer handles released. Then joins the worker when wait is true
 * or no callback runs, else lets it finish on its own. Returns false when
 * a callback was still running and was not waited for. */
bool EndQueue(const std::shared_ptr<QueueCore>& core, std::thread& thread, bool wait) {
    std::vector<HANDLE> timers;
    bool callbackRunning;
    bool onWorker;
    {
        std::lock_guard guard(core->lock);
        onWorker = std::this_thread::get_id() == core->worker;
        core->ending = true;
        core->pending.clear();
        timers.swap(core->timerHandles);
        callbackRunning = core->running;
    }
    core->wake.notify_all();
    for (HANDLE timer : timers) RemoveHandle(timer, HandleKind::Timer);
    if (!thread.joinable()) return !callbackRunning;
    if (onWorker || (callbackRunning && !wait)) {
        thread.detach();  // the worker holds the core and ends after the callback
        return false;
    }
    thread.join();
    return true;
}

struct TimerQueueObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::TimerQueue;
    TimerQueueObject() : HandleObject(kKind), core(std::make_shared<QueueCore>()) {}
    ~TimerQueueObject() override {
        if (thread.joinable()) EndQueue(core, thread, false);  // closed by CloseHandle
    }

    /* Starts the worker; false when the thread cannot be made. */
    bool Start() {
        try {
            std::shared_ptr<QueueCore> shared = core;
            thread = std::thread([shared] { RunWorker(shared); });
        } catch (...) {
            return false;
        }
        std::lock_guard guard(core->lock);
        core->worker = thread.get_id();
        return true;
    }

    std::shared_ptr<QueueCore> core;
    std::thread thread;
};

/* The queue of timers armed with a null queue handle; null when its worker
 * cannot be started. */
TimerQueueObject* DefaultQueue() {
    static TimerQueueObject* queue = [] {
        auto* made = new TimerQueueObject();
        if (!made->Start()) {
            delete made;
            return static_cast<TimerQueueObject*>(nullptr);
        }
        return made;
    }();
    return queue;
}

}  // namespace
}  // namespace orv::platform

using namespace orv::platform;

HANDLE CreateTimerQueue(void) {
    auto queue = std::make_shared<TimerQueueObject>();
    if (!queue->Start()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return AddHandle(std::move(queue));
}

BOOL CreateTimerQueueTimer(PHANDLE phNewTimer, HANDLE TimerQueue, WAITORTIMERCALLBACK Callback, PVOID Parameter,
                           DWORD DueTime, DWORD Period, ULONG Flags) {
    (void)Flags;
    if (phNewTimer == nullptr || Callback == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<TimerQueueObject> held;
    TimerQueueObject* queue;
    if (TimerQueue == nullptr) {
        queue = DefaultQueue();
        if (queue == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    } else {
        held = FindHandle<TimerQueueObject>(TimerQueue);
        queue = held.get();
        if (queue == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    auto entry = std::make_shared<TimerEntry>();
    entry->callback = Callback;
    entry->parameter = Parameter;
    entry->period = Period;
    HANDLE timer = AddHandle(std::make_shared<TimerObject>());
    QueueCore& core = *queue->core;
    {
        std::lock_guard guard(core.lock);
        if (core.ending) {  // deleted by another thread meanwhile
            RemoveHandle(timer, HandleKind::Timer);
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        core.pending.emplace(Clock::now() + std::chrono::milliseconds(DueTime), std::move(entry));
        core.timerHandles.push_back(timer);
    }
    core.wake.notify_all();
    *phNewTimer = timer;
    return TRUE;
}

BOOL DeleteTimerQueueEx(HANDLE TimerQueue, HANDLE CompletionEvent) {
    if (CompletionEvent != nullptr && CompletionEvent != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);  // no event objects in this layer
        return FALSE;
    }
    std::shared_ptr<HandleObject> removed = RemoveHandle(TimerQueue, HandleKind::TimerQueue);
    if (!removed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* queue = static_cast<TimerQueueObject*>(removed.get());
    if (!EndQueue(queue->core, queue->thread, CompletionEvent == INVALID_HANDLE_VALUE)) {
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteTimerQueue(HANDLE TimerQueue) { return DeleteTimerQueueEx(TimerQueue, nullptr); }

#endif  // !_WIN32
