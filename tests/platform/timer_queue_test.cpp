/*
 * Timer queues: one-shot timers on the queue's worker thread, cancellation
 * by deleting the queue, and the deletion of a queue whose callback runs.
 * No case depends on how fast a loaded machine runs it: a callback that
 * must still be running is held until the test lets it go, and a deletion
 * that came too late to cancel a timer is tried again.
 */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win32.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Firing {
    std::atomic<int> count{0};
    std::atomic<DWORD> thread{0};
    std::atomic<bool> flag{false};
    std::atomic<int> sleepMs{0};
    std::atomic<bool> hold{false};     // the callback waits for release
    std::atomic<bool> release{false};  // (at most a minute)
    std::atomic<bool> finished{false};
};

VOID CALLBACK Record(PVOID parameter, BOOLEAN timerOrWaitFired) {
    auto* f = static_cast<Firing*>(parameter);
    f->thread = GetCurrentThreadId();
    f->flag = timerOrWaitFired != 0;
    f->count.fetch_add(1);
    if (f->sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(f->sleepMs.load()));
    const auto end = Clock::now() + std::chrono::minutes(1);
    while (f->hold.load() && !f->release.load() && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    f->finished = true;
}

bool WaitUntil(const std::atomic<int>& value, int target, int timeoutMs) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (value.load() < target) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(TimerQueue, OneShotTimerFiresOnceOnAnotherThreadAfterItsDueTime) {
    HANDLE queue = CreateTimerQueue();
    ASSERT_NE(queue, nullptr);
    Firing f;
    HANDLE timer = nullptr;
    auto start = Clock::now();
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Record, &f, 30, 0, WT_EXECUTEDEFAULT));
    EXPECT_NE(timer, nullptr);
    ASSERT_TRUE(WaitUntil(f.count, 1, 5000));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_NE(f.thread.load(), GetCurrentThreadId());
    EXPECT_TRUE(f.flag.load());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(f.count.load(), 1);
    EXPECT_TRUE(DeleteTimerQueue(queue));
}

TEST(TimerQueue, PeriodicTimerRepeatsUntilTheQueueGoes) {
    HANDLE queue = CreateTimerQueue();
    Firing f;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Record, &f, 0, 2, WT_EXECUTEDEFAULT));
    ASSERT_TRUE(WaitUntil(f.count, 3, 5000));
    EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    int after = f.count.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(f.count.load(), after);
}

TEST(TimerQueue, DeletingTheQueueCancelsPendingTimers) {
    // A timer due in 40 ms, its queue deleted at once. Whether it fires is
    // decided by a second timer, armed after the deletion on another queue
    // and due 40 ms later than the first: by the time that one has run,
    // the first would have run too. An attempt whose deletion came only
    // after the first timer was due (a loaded machine) says nothing and is
    // made again. Each attempt has a record of its own that outlives the
    // test, since a timer that was not cancelled in time may still run.
    constexpr int kAttempts = 20;
    static Firing fired[kAttempts];
    static Firing witnesses[kAttempts];
    HANDLE queue = nullptr;
    HANDLE timer = nullptr;
    bool deletedInTime = false;
    for (int attempt = 0; attempt < kAttempts && !deletedInTime; ++attempt) {
        Firing& f = fired[attempt];
        Firing& witness = witnesses[attempt];
        queue = CreateTimerQueue();
        ASSERT_NE(queue, nullptr);
        const auto armed = Clock::now();
        ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Record, &f, 40, 0, 0));
        EXPECT_TRUE(DeleteTimerQueue(queue));
        deletedInTime = Clock::now() - armed < std::chrono::milliseconds(40);
        HANDLE later = nullptr;
        ASSERT_TRUE(CreateTimerQueueTimer(&later, nullptr, Record, &witness, 80, 0, 0));
        ASSERT_TRUE(WaitUntil(witness.count, 1, 60000));
        while (!witness.finished.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (deletedInTime) {
            EXPECT_EQ(f.count.load(), 0);
        }
    }
    ASSERT_TRUE(deletedInTime) << "no deletion in " << kAttempts << " attempts came within 40 ms of arming the timer";
    Firing f;
    // The handle is gone.
    EXPECT_FALSE(CreateTimerQueueTimer(&timer, queue, Record, &f, 0, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeleteTimerQueue(queue));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(TimerQueue, DeleteDuringACallbackReportsIoPendingAndDoesNotWait) {
    // The callback is held until the deletion has returned: a deletion
    // that waited for it would return only when the hold gives up (a
    // minute), with the callback finished.
    HANDLE queue = CreateTimerQueue();
    Firing f;
    f.hold = true;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Record, &f, 0, 0, 0));
    ASSERT_TRUE(WaitUntil(f.count, 1, 5000));
    SetLastError(0);
    EXPECT_FALSE(DeleteTimerQueue(queue));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_FALSE(f.finished.load());
    f.release = true;
    while (!f.finished.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the worker ends after the callback
}

TEST(TimerQueue, DeleteWithInvalidHandleValueWaitsForTheCallback) {
    HANDLE queue = CreateTimerQueue();
    Firing f;
    f.sleepMs = 100;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Record, &f, 0, 0, 0));
    ASSERT_TRUE(WaitUntil(f.count, 1, 5000));
    EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    EXPECT_TRUE(f.finished.load());
}

TEST(TimerQueue, NullQueueMeansTheDefaultQueue) {
    Firing f;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, Record, &f, 1, 0, 0));
    EXPECT_TRUE(WaitUntil(f.count, 1, 5000));
}

}  // namespace
