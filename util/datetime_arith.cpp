/*
 * Date-time arithmetic through the runtime's local-time normalisation.
 * Thread-safe.
 */
#include "util/datetime_arith.h"

#include <cstdlib>
#include <ctime>
#include <string>

#include "agent/log.h"
#include "util/datetime_scan.h"

namespace orv {

namespace {

constexpr uint64_t kSecondsPerDay = 86400;
constexpr uint64_t kMinutesPerDay = 1440;
constexpr uint64_t kHoursPerDay = 24;
constexpr uint64_t kDaysPer400Years = 146097;

/* field + sign * amount. REQUIRES: the result fits an int, which every
 * caller below guarantees by bounding amount. */
int Shifted(int field, int sign, uint64_t amount) {
    return static_cast<int>(static_cast<int64_t>(field) + sign * static_cast<int64_t>(amount));
}

/* Moves the broken-down time by a number of days (up to 7 * 2^32): whole
 * 400-year cycles go to the year (at most 82 million years), the rest
 * (below 146097) to the day of the month. */
void ShiftDays(std::tm* tm, int sign, uint64_t days) {
    tm->tm_year = Shifted(tm->tm_year, sign, 400 * (days / kDaysPer400Years));
    tm->tm_mday = Shifted(tm->tm_mday, sign, days % kDaysPer400Years);
}

/* Changes the field that the unit names. */
void ShiftField(std::tm* tm, int sign, uint32_t amount, uint8_t unit) {
    uint64_t seconds = 0;
    switch (unit) {
        case kOrvNanoseconds:
            seconds = amount / 1000000000u;
            break;
        case kOrvMicroseconds:
            seconds = amount / 1000000u;
            break;
        case kOrvMilliseconds:
            seconds = amount / 1000u;
            break;
        case kOrvSeconds:
            seconds = amount;
            break;
        case kOrvMinutes:
            ShiftDays(tm, sign, amount / kMinutesPerDay);
            tm->tm_min = Shifted(tm->tm_min, sign, amount % kMinutesPerDay);
            return;
        case kOrvHours:
            ShiftDays(tm, sign, amount / kHoursPerDay);
            tm->tm_hour = Shifted(tm->tm_hour, sign, amount % kHoursPerDay);
            return;
        case kOrvDays:
            ShiftDays(tm, sign, amount);
            return;
        case kOrvWeeks:
            ShiftDays(tm, sign, 7 * static_cast<uint64_t>(amount));
            return;
        case kOrvMonths:
            // At most 357913941 years: tm_year stays far inside int.
            tm->tm_year = Shifted(tm->tm_year, sign, amount / 12u);
            tm->tm_mon = Shifted(tm->tm_mon, sign, amount % 12u);
            return;
        default:
            return;
    }
    ShiftDays(tm, sign, seconds / kSecondsPerDay);
    tm->tm_sec = Shifted(tm->tm_sec, sign, seconds % kSecondsPerDay);
}

OrvDateTime* ShiftDateTime(const char* name, OrvDateTime* value, int sign, uint32_t amount,
                           int32_t unit) {
    LogTrace("@@@ Inside %s @@@\n", name);
    if (value == nullptr) {
        LogError("%s : no value given\n", name);
        return nullptr;
    }
    if (value->date == nullptr) {
        LogError("%s : the value has no date part; left unchanged\n", name);
        return value;
    }
    std::string text;
    {
        char* form = OrvDateTimeToString(value);
        if (form == nullptr) {
            LogError("%s : cannot make the value's text form\n", name);
            return value;
        }
        text = form;
        std::free(form);
    }
    if (value->time == nullptr) {
        text += " 00:00:00";
    }
    std::tm tm{};
    if (ScanDateTimeText(text.c_str(), kOrvDateTimePattern, &tm) == nullptr) {
        LogError("%s : cannot read %s; left unchanged\n", name, text.c_str());
        return value;
    }
    tm.tm_isdst = -1;
    ShiftField(&tm, sign, amount, static_cast<uint8_t>(unit));
    tm.tm_wday = -1;  // mktime sets it on success only
    std::mktime(&tm);
    if (tm.tm_wday == -1) {
        LogError("%s : the result cannot be normalised; left unchanged\n", name);
        return value;
    }
    // tm_year may be large: add 1900 in unsigned arithmetic, keep 16 bits.
    value->date->year = static_cast<uint16_t>(static_cast<uint32_t>(tm.tm_year) + 1900u);
    value->date->month = static_cast<uint8_t>(tm.tm_mon + 1);
    value->date->day = static_cast<uint8_t>(tm.tm_mday);
    if (value->time != nullptr) {
        value->time->hour = static_cast<uint8_t>(tm.tm_hour);
        value->time->minute = static_cast<uint8_t>(tm.tm_min);
        value->time->second = static_cast<uint8_t>(tm.tm_sec);
    }
    return value;
}

}  // namespace

OrvDateTime* AddToOrvDateTime(OrvDateTime* value, uint32_t amount, int32_t unit) {
    return ShiftDateTime("AddToOrvDateTime", value, 1, amount, unit);
}

OrvDateTime* SubtractFromOrvDateTime(OrvDateTime* value, uint32_t amount, int32_t unit) {
    return ShiftDateTime("SubtractFromOrvDateTime", value, -1, amount, unit);
}

}  // namespace orv
