// DateAndTime octet strings, HTTP dates and broken-down time comparison.
#include "util/conv_time.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"

namespace orv {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// One field that the scanner fills.
struct ScanTarget {
    int32_t* number;  // for 'd'
    char* word;       // for 's' (kHttpDateWordMax + 1 bytes) and 'c' (1 byte)
};

// Reads text by a pattern of the runtime's scanning forms restricted to
// "%d", "%c", "%s" and "%Ns" (at most N, N <= kHttpDateWordMax, else
// kHttpDateWordMax; a longer word does not match), white space (any
// amount, also none) and literal characters. Returns the number of fields
// stored before the first mismatch.
int ScanFields(const char* text, const char* pattern, const ScanTarget* targets, int targetCount) {
    int stored = 0;
    const char* t = text;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (IsSpace(*p)) {
            while (IsSpace(*t)) ++t;
            continue;
        }
        if (*p != '%') {
            if (*t != *p) return stored;
            ++t;
            continue;
        }
        ++p;
        int width = 0;
        while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        if (stored >= targetCount) return stored;
        const ScanTarget& target = targets[stored];
        if (*p == 'd') {
            while (IsSpace(*t)) ++t;
            bool negative = false;
            if (*t == '+' || *t == '-') {
                negative = *t == '-';
                ++t;
            }
            if (*t < '0' || *t > '9') return stored;
            int64_t value = 0;
            for (; *t >= '0' && *t <= '9'; ++t) {
                if (value <= INT32_MAX) value = value * 10 + (*t - '0');
            }
            if (negative) value = -value;
            if (value > INT32_MAX) value = INT32_MAX;
            if (value < INT32_MIN) value = INT32_MIN;
            *target.number = static_cast<int32_t>(value);
        } else if (*p == 'c') {
            if (*t == '\0') return stored;
            target.word[0] = *t++;
        } else if (*p == 's') {
            if (width <= 0 || width > kHttpDateWordMax) width = kHttpDateWordMax;
            while (IsSpace(*t)) ++t;
            int n = 0;
            while (*t != '\0' && !IsSpace(*t) && n < width) target.word[n++] = *t++;
            if (n == 0) return stored;
            target.word[n] = '\0';
            // A word longer than the bound of an unbounded "%s" is refused.
            if (width == kHttpDateWordMax && *t != '\0' && !IsSpace(*t)) return stored;
        } else {
            return stored;
        }
        ++stored;
    }
    return stored;
}

std::tm* NewTm() {
    auto* tm = static_cast<std::tm*>(std::calloc(1, sizeof(std::tm)));
    if (tm == nullptr) LogError("Unable to allocate memory\n");
    return tm;
}

int32_t YearSince1900(int32_t year) {
    int64_t v = static_cast<int64_t>(year) - 1900;
    return v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

}  // namespace

char* ConvertToStringFromDateTime(const uint8_t* octets, int32_t* length) {
    LogTrace("@@@ Inside ConvertToStringFromDateTime @@@\n");
    if (octets == nullptr || length == nullptr) return nullptr;
    if (*length < 8 || *length == 9 || *length == 10) {
        LogError("Invalid DateAndTime length %d\n", static_cast<int>(*length));
        return nullptr;
    }
    unsigned year = (static_cast<unsigned>(octets[0]) << 8) | octets[1];
    char text[96];
    int n;
    if (*length == 8) {
        n = std::snprintf(text, sizeof text, "%d-%d-%d,%d:%d:%d.%d", static_cast<int>(year), octets[2], octets[3],
                          octets[4], octets[5], octets[6], octets[7]);
    } else {
        n = std::snprintf(text, sizeof text, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d", static_cast<int>(year), octets[2],
                          octets[3], octets[4], octets[5], octets[6], octets[7], static_cast<char>(octets[8]),
                          octets[9], octets[10]);
    }
    char* result = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
    if (result == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    std::memcpy(result, text, static_cast<size_t>(n) + 1);
    *length = n;
    LogTrace("The retVal is %s\n", result);
    return result;
}

uint8_t* ConvertToDateTimeFromString(const char* text, int32_t* length) {
    LogTrace("@@@ Inside ConvertToDateTimeFromString @@@\n");
    if (text == nullptr || length == nullptr) return nullptr;
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, deci = 0, hoursUtc = 0, minutesUtc = 0;
    char direction = 0;
    const ScanTarget targets[] = {{&year, nullptr},   {&month, nullptr},   {&day, nullptr},
                                  {&hour, nullptr},   {&minute, nullptr},  {&second, nullptr},
                                  {&deci, nullptr},   {nullptr, &direction}, {&hoursUtc, nullptr},
                                  {&minutesUtc, nullptr}};
    int fields = ScanFields(text, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d", targets, 10);
    if (fields != 10 && fields != 7) return nullptr;
    int32_t count = fields == 10 ? 11 : 8;
    auto* octets = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(count), 1));
    if (octets == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    uint32_t y = static_cast<uint32_t>(year);
    octets[0] = static_cast<uint8_t>(y >> 8);
    octets[1] = static_cast<uint8_t>(y);
    const int32_t rest[] = {month, day, hour, minute, second, deci};
    for (int i = 0; i < 6; ++i) octets[2 + i] = static_cast<uint8_t>(static_cast<uint32_t>(rest[i]));
    if (count == 11) {
        octets[8] = static_cast<uint8_t>(direction);
        octets[9] = static_cast<uint8_t>(static_cast<uint32_t>(hoursUtc));
        octets[10] = static_cast<uint8_t>(static_cast<uint32_t>(minutesUtc));
    }
    for (int32_t i = 0; i < count; ++i) LogTrace("%.02x\n", octets[i]);
    *length = count;
    return octets;
}

int32_t ParseMonth(const char* name) {
    LogTrace("@@@ Inside ParseMonth @@@\n");
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name == nullptr || std::strlen(name) != 3) return -1;
    char lower[4];
    for (int i = 0; i < 3; ++i) {
        char c = name[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    lower[3] = '\0';
    for (int32_t m = 0; m < 12; ++m) {
        if (std::strcmp(lower, kMonths[m]) == 0) return m;
    }
    return -1;
}

std::tm* ParseDateTime(const char* text) {
    LogTrace("@@@ Inside ParseDateTime @@@\n");
    if (text == nullptr) return nullptr;
    char dayName[kHttpDateWordMax + 1] = {};
    char monthName[kHttpDateWordMax + 1] = {};
    char zone[kHttpDateWordMax + 1] = {};
    int32_t day = 0, year = 0, hour = 0, minute = 0, second = 0;
    int32_t month = -1;
    bool fourDigitYear = true;

    const ScanTarget rfc1123[] = {{nullptr, dayName}, {&day, nullptr},    {nullptr, monthName},
                                  {&year, nullptr},   {&hour, nullptr},   {&minute, nullptr},
                                  {&second, nullptr}, {nullptr, zone}};
    const ScanTarget asctime[] = {{nullptr, dayName}, {nullptr, monthName}, {&day, nullptr}, {&hour, nullptr},
                                  {&minute, nullptr}, {&second, nullptr},   {&year, nullptr}};
    if (ScanFields(text, "%s %d %s %d %d:%d:%d %s", rfc1123, 8) == 8) {
        month = ParseMonth(monthName);
    } else if (ScanFields(text, "%s %d-%3s-%d %d:%d:%d %s", rfc1123, 8) == 8) {
        month = ParseMonth(monthName);
        fourDigitYear = false;
    } else if (ScanFields(text, "%s %s %d %d:%d:%d %d", asctime, 7) == 7) {
        month = ParseMonth(monthName);
    } else {
        return nullptr;
    }
    if (month < 0) return nullptr;
    std::tm* tm = NewTm();
    if (tm == nullptr) return nullptr;
    tm->tm_sec = second;
    tm->tm_min = minute;
    tm->tm_hour = hour;
    tm->tm_mday = day;
    tm->tm_mon = month;
    tm->tm_year = fourDigitYear ? YearSince1900(year) : year;
    return tm;
}

uint8_t CompareTime(const std::tm* first, const std::tm* second) {
    LogTrace("@@@ Inside CompareTime @@@\n");
    if (first == nullptr || second == nullptr) return 0;
    const int a[] = {first->tm_year, first->tm_mon, first->tm_mday, first->tm_hour, first->tm_min, first->tm_sec};
    const int b[] = {second->tm_year, second->tm_mon, second->tm_mday, second->tm_hour, second->tm_min,
                     second->tm_sec};
    for (int i = 0; i < 6; ++i) {
        if (a[i] > b[i]) return 1;
        if (a[i] < b[i]) return 0;
    }
    return 1;
}

}  // namespace orv
