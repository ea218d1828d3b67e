/*
 * Mutex handles: recursion by the owning thread, exclusion of other threads,
 * timeouts, ERROR_NOT_OWNER, and closing handles; and the per-thread last
 * error.
 */
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

// Runs WaitForSingleObject(mutex, ms) on another thread; returns its result.
DWORD WaitOnOtherThread(HANDLE mutex, DWORD ms, bool release = true) {
    DWORD result = WAIT_FAILED;
    std::thread([&] {
        result = WaitForSingleObject(mutex, ms);
        if (result == WAIT_OBJECT_0 && release) ReleaseMutex(mutex);
    }).join();
    return result;
}

TEST(Mutex, OwnerMayTakeItAgainAndOthersWaitUntilEveryTakeIsReleased) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitOnOtherThread(mutex, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ReleaseMutex(mutex), TRUE);
    EXPECT_EQ(WaitOnOtherThread(mutex, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ReleaseMutex(mutex), TRUE);
    EXPECT_EQ(WaitOnOtherThread(mutex, 30), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(ReleaseMutex(mutex), FALSE);  // released as often as taken
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_EQ(CloseHandle(mutex), TRUE);
}

TEST(Mutex, OnlyTheOwnerMayReleaseIt) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);  // owned by this thread
    ASSERT_NE(mutex, nullptr);
    BOOL released = TRUE;
    DWORD error = 0;
    std::thread([&] {
        released = ReleaseMutex(mutex);
        error = GetLastError();
    }).join();
    EXPECT_EQ(released, FALSE);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_EQ(WaitOnOtherThread(mutex, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ReleaseMutex(mutex), TRUE);
    EXPECT_EQ(WaitOnOtherThread(mutex, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(mutex);
}

TEST(Mutex, ExcludesOtherThreadsUnderContention) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    long counter = 0;  // guarded by the mutex only
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                WaitForSingleObject(mutex, INFINITE);
                long seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                ReleaseMutex(mutex);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counter, 8000);
    CloseHandle(mutex);
}

TEST(Mutex, NamedMutexIsRefused) {
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, "Global\\orv"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Handles, ClosedOrMadeUpHandlesAreInvalid) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(CloseHandle(mutex), TRUE);
    EXPECT_EQ(CloseHandle(mutex), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_FAILED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_EQ(CloseHandle(nullptr), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CloseHandle(INVALID_HANDLE_VALUE), FALSE);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_EQ(WaitForSingleObject(snapshot, 0), static_cast<DWORD>(WAIT_FAILED));  // not a mutex
    EXPECT_EQ(ReleaseMutex(snapshot), FALSE);
    EXPECT_EQ(CloseHandle(snapshot), TRUE);
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(1234);
    DWORD seen = 99;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(5678);
    }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

}  // namespace
