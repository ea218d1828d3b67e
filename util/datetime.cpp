/*
 * Creation, text forms, the clock and comparison of date and time values.
 * Thread-safe.
 */
#include "util/datetime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "agent/log.h"

namespace orv {

namespace {

/* The longest text form (a 5-digit year and 3-digit byte fields) needs 25
 * characters; this buffer cannot be overrun since snprintf is bounded. */
constexpr size_t kFormBuffer = 64;

/* A heap copy of the text that snprintf wrote into buffer (length is its
 * result), or null when it failed or memory runs out. */
char* CopyForm(const char* buffer, int length) {
    if (length < 0 || static_cast<size_t>(length) >= kFormBuffer) {
        return nullptr;
    }
    auto* text = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (text != nullptr) {
        std::memcpy(text, buffer, static_cast<size_t>(length) + 1);
    }
    return text;
}

}  // namespace

OrvDate* CreateOrvDate(int32_t year, int32_t month, int32_t day) {
    auto* date = static_cast<OrvDate*>(std::calloc(1, sizeof(OrvDate)));
    if (date == nullptr) {
        LogError("OrvDate creation failed");
        return nullptr;
    }
    date->year = static_cast<uint16_t>(year);
    date->month = static_cast<uint8_t>(month);
    date->day = static_cast<uint8_t>(day);
    return date;
}

OrvTime* CreateOrvTime(int32_t hour, int32_t minute, int32_t second) {
    auto* time = static_cast<OrvTime*>(std::calloc(1, sizeof(OrvTime)));
    if (time == nullptr) {
        LogError("OrvTime creation failed");
        return nullptr;
    }
    time->hour = static_cast<uint8_t>(hour);
    time->minute = static_cast<uint8_t>(minute);
    time->second = static_cast<uint8_t>(second);
    return time;
}

OrvDateTime* CreateOrvDateTime(int32_t year, int32_t month, int32_t day, int32_t hour,
                               int32_t minute, int32_t second) {
    auto* value = static_cast<OrvDateTime*>(std::calloc(1, sizeof(OrvDateTime)));
    if (value == nullptr) {
        LogError("OrvDateTime creation failed");
        return nullptr;
    }
    value->date = CreateOrvDate(year, month, day);
    value->time = CreateOrvTime(hour, minute, second);
    if (value->date == nullptr || value->time == nullptr) {
        FreeOrvDateTime(value);
        LogError("OrvDateTime creation failed");
        return nullptr;
    }
    return value;
}

void FreeOrvDateTime(OrvDateTime* value) {
    if (value == nullptr) {
        return;
    }
    std::free(value->date);
    std::free(value->time);
    std::free(value);
}

char* OrvDateToString(const OrvDate* date) {
    if (date == nullptr) {
        return nullptr;
    }
    char buffer[kFormBuffer];
    return CopyForm(buffer, std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date->year,
                                          date->month, date->day));
}

char* OrvTimeToString(const OrvTime* time) {
    if (time == nullptr) {
        return nullptr;
    }
    char buffer[kFormBuffer];
    return CopyForm(buffer, std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", time->hour,
                                          time->minute, time->second));
}

char* OrvDateTimeToString(const OrvDateTime* value) {
    if (value == nullptr) {
        return nullptr;
    }
    if (value->date != nullptr && value->time != nullptr) {
        const OrvDate* d = value->date;
        const OrvTime* t = value->time;
        char buffer[kFormBuffer];
        return CopyForm(buffer, std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d",
                                              d->year, d->month, d->day, t->hour, t->minute,
                                              t->second));
    }
    if (value->date != nullptr) {
        return OrvDateToString(value->date);
    }
    return OrvTimeToString(value->time);
}

OrvDateTime* GetCurrentOrvDateTime() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    auto* value = static_cast<OrvDateTime*>(std::calloc(1, sizeof(OrvDateTime)));
    if (value == nullptr) {
        LogError("MEMORY ALLOCATION FAILURE FOR dateTimePtr");
        return nullptr;
    }
    // tm_year + 1900 cannot overflow: localtime of a real clock is near now.
    value->date = CreateOrvDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    if (value->date == nullptr) {
        LogError("CreateOrvDate Failed");
        FreeOrvDateTime(value);
        return nullptr;
    }
    value->time = CreateOrvTime(local.tm_hour, local.tm_min, local.tm_sec);
    if (value->time == nullptr) {
        LogError("CreateOrvTime Failed");
        FreeOrvDateTime(value);
        return nullptr;
    }
    return value;
}

uint32_t GetCurrentSeconds() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(seconds));
}

bool IsLaterDateTime(const OrvDateTime* first, const OrvDateTime* second) {
    if (first == nullptr || second == nullptr || first->date == nullptr ||
        first->time == nullptr || second->date == nullptr || second->time == nullptr) {
        return false;
    }
    const unsigned a[] = {first->date->year, first->date->month,  first->date->day,
                          first->time->hour, first->time->minute, first->time->second};
    const unsigned b[] = {second->date->year, second->date->month,  second->date->day,
                          second->time->hour, second->time->minute, second->time->second};
    for (size_t i = 0; i < 6; i++) {
        if (a[i] != b[i]) {
            return a[i] > b[i];
        }
    }
    return false;
}

}  // namespace orv
