/*
 * Time and thread identity: GetTickCount against the system's uptime and
 * ORV_TICK_COUNT, GetLocalTime against the real-time clock and TZ, Sleep,
 * and GetCurrentThreadId against the kernel's thread ids.
 */
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>

#include "platform/win32.h"
#include "tests/platform/platform_support.h"

namespace orv::test {
namespace {

// Milliseconds since boot from /proc/uptime, low 32 bits.
uint32_t UptimeMs() {
    double seconds = 0;
    std::string text = ReadFile("/proc/uptime");
    seconds = std::stod(text);
    return static_cast<uint32_t>(static_cast<uint64_t>(seconds * 1000.0));
}

TEST(TickCount, FollowsTheUptimeWithoutOverride) {
    ScopedEnv unset("ORV_TICK_COUNT", nullptr);
    int32_t difference = static_cast<int32_t>(GetTickCount() - UptimeMs());
    EXPECT_LT(difference < 0 ? -difference : difference, 2000);
    ScopedEnv notANumber("ORV_TICK_COUNT", "12a");
    difference = static_cast<int32_t>(GetTickCount() - UptimeMs());
    EXPECT_LT(difference < 0 ? -difference : difference, 2000);
}

TEST(TickCount, OverrideIsReadOnEveryCallAndKeepsTheLow32Bits) {
    ScopedEnv fixed("ORV_TICK_COUNT", "900000");
    EXPECT_EQ(GetTickCount(), 900000u);
    setenv("ORV_TICK_COUNT", "1", 1);
    EXPECT_EQ(GetTickCount(), 1u);
    setenv("ORV_TICK_COUNT", "4294967297", 1);  // 2^32 + 1
    EXPECT_EQ(GetTickCount(), 1u);
    setenv("ORV_TICK_COUNT", "-5", 1);
    EXPECT_NE(GetTickCount(), 5u);
}

TEST(Sleep, WaitsAtLeastTheGivenTime) {
    auto start = std::chrono::steady_clock::now();
    Sleep(50);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

int64_t RealtimeMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The instant a SYSTEMTIME names when local time is offsetSeconds east of UTC.
int64_t ToEpochMs(const SYSTEMTIME& st, int offsetSeconds) {
    tm fields{};
    fields.tm_year = st.wYear - 1900;
    fields.tm_mon = st.wMonth - 1;
    fields.tm_mday = st.wDay;
    fields.tm_hour = st.wHour;
    fields.tm_min = st.wMinute;
    fields.tm_sec = st.wSecond;
    time_t utc = timegm(&fields);
    EXPECT_EQ(fields.tm_wday, st.wDayOfWeek);
    return (static_cast<int64_t>(utc) - offsetSeconds) * 1000 + st.wMilliseconds;
}

// Checks GetLocalTime against the real-time clock for 1.1 s (so across a
// change of second), on a fresh thread with TZ set to zone.
void CheckLocalTimeIn(const char* zone, int offsetSeconds) {
    ScopedEnv tz("TZ", zone);
    std::thread([&] {
        int64_t end = RealtimeMs() + 1100;
        while (true) {
            int64_t before = RealtimeMs();
            SYSTEMTIME st;
            GetLocalTime(&st);
            int64_t after = RealtimeMs();
            int64_t named = ToEpochMs(st, offsetSeconds);
            ASSERT_LE(before, named) << zone;
            ASSERT_LE(named, after) << zone;
            if (after > end) break;
            std::this_thread::sleep_for(std::chrono::microseconds(700));
        }
    }).join();
}

TEST(LocalTime, MatchesTheClockInTheZoneNamedByTz) {
    CheckLocalTimeIn("UTC0", 0);
    CheckLocalTimeIn("<+0530>-5:30", 5 * 3600 + 1800);
}

TEST(LocalTime, AgreesWithTimeAndLocaltime) {
    time_t before = time(nullptr);
    SYSTEMTIME st;
    GetLocalTime(&st);
    time_t after = time(nullptr);
    tm fields{};
    fields.tm_year = st.wYear - 1900;
    fields.tm_mon = st.wMonth - 1;
    fields.tm_mday = st.wDay;
    fields.tm_hour = st.wHour;
    fields.tm_min = st.wMinute;
    fields.tm_sec = st.wSecond;
    fields.tm_isdst = -1;
    time_t named = mktime(&fields);
    EXPECT_GE(named, before);
    EXPECT_LE(named, after);
    EXPECT_LT(st.wMilliseconds, 1000);
}

TEST(ThreadId, IsTheKernelThreadIdOfEachThread) {
    DWORD mainId = GetCurrentThreadId();
    EXPECT_EQ(mainId, static_cast<DWORD>(syscall(SYS_gettid)));
    DWORD otherId = 0, otherKernelId = 1;
    std::thread([&] {
        otherId = GetCurrentThreadId();
        otherKernelId = static_cast<DWORD>(syscall(SYS_gettid));
    }).join();
    EXPECT_EQ(otherId, otherKernelId);
    EXPECT_NE(otherId, mainId);
    EXPECT_EQ(GetCurrentThreadId(), mainId);
}

TEST(ThreadId, ForkedChildSeesItsOwnId) {
    GetCurrentThreadId();  // cached in the parent first
    pid_t pid = fork();
    if (pid == 0) _exit(GetCurrentThreadId() == static_cast<DWORD>(getpid()) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace orv::test
