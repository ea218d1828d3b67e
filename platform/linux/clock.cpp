/*
 * Time: GetTickCount, Sleep and GetLocalTime. GetLocalTime keeps, per
 * thread, the broken-down local time of the current second, so that the
 * time-zone conversion runs once a second rather than once a call.
 * Thread-safe.
 */
#if !defined(_WIN32)

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/win32.h"

namespace {

// The broken-down local time of second cachedSecond (valid when filled).
struct LocalTimeCache {
    bool filled = false;
    time_t cachedSecond = 0;
    struct tm local {};
};

thread_local LocalTimeCache t_localTime;

}  // namespace

DWORD GetTickCount(void) {
    const char* fixed = std::getenv("ORV_TICK_COUNT");
    if (fixed && *fixed) {
        uint32_t value = 0;  // accumulates modulo 2^32: the low 32 bits
        const char* p = fixed;
        for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
        if (*p == '\0') return value;
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);  // wraps after about 49.7 days, as on Windows
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        timespec none{0, 0};
        nanosleep(&none, nullptr);
        return;
    }
    while (true) {
        // INFINITE sleeps for ever, in steps of about 49 days.
        timespec left{static_cast<time_t>(dwMilliseconds / 1000u), static_cast<long>(dwMilliseconds % 1000u) * 1000000L};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
        if (dwMilliseconds != INFINITE) return;
    }
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    LocalTimeCache& cache = t_localTime;
    if (!cache.filled || cache.cachedSecond != now.tv_sec) {
        tzset();  // picks up a changed TZ once a second
        if (!localtime_r(&now.tv_sec, &cache.local)) {
            cache.filled = false;
            *lpSystemTime = SYSTEMTIME{};
            return;
        }
        cache.filled = true;
        cache.cachedSecond = now.tv_sec;
    }
    const struct tm& t = cache.local;
    lpSystemTime->wYear = static_cast<WORD>(t.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(t.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(t.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(t.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(t.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(t.tm_sec > 59 ? 59 : t.tm_sec);  // no leap second on Windows
    lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000L);
}

#endif  // !_WIN32
