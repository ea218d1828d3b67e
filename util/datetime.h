/*
 * Date, time and date-time values: the records that hold the values of
 * date, time and date-time columns, their creation, their fixed text forms,
 * the current local date-time and the comparison of two date-times. The
 * parsers are in util/datetime_parse.h, the arithmetic in
 * util/datetime_arith.h.
 *
 * No range is tested anywhere: every field keeps the low bits of the number
 * stored in it (a year of 70000 keeps its low 16 bits, a month of 13 stays
 * 13). All records are zero-filled heap blocks released with free(); a
 * date-time's holder owns its two parts (FreeOrvDateTime releases all
 * three). Texts handed back are heap texts released with free().
 *
 * Thread-safe: the operations keep no shared state.
 */
#ifndef ORV_UTIL_DATETIME_H
#define ORV_UTIL_DATETIME_H

#include <cstdint>

namespace orv {

struct OrvDate {
    uint16_t year;
    uint8_t month; /* 1 to 12 in use */
    uint8_t day;
};

struct OrvTime {
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
};

/* Both parts are present in every value made here; a value made by
 * ConvertStringToOrvGenDateTime may lack one. */
struct OrvDateTime {
    OrvDate* date;
    OrvTime* time;
};

/* A new date holding the low bits of each number, or null with "OrvDate
 * creation failed" at ERROR. */
OrvDate* CreateOrvDate(int32_t year, int32_t month, int32_t day);

/* A new time holding the low 8 bits of each number, or null with "OrvTime
 * creation failed" at ERROR. */
OrvTime* CreateOrvTime(int32_t hour, int32_t minute, int32_t second);

/* A new date-time with both parts, or null with "OrvDateTime creation
 * failed" at ERROR; never half built. */
OrvDateTime* CreateOrvDateTime(int32_t year, int32_t month, int32_t day, int32_t hour,
                               int32_t minute, int32_t second);

/* Frees both parts (either may be null) and the record. Null is ignored. */
void FreeOrvDateTime(OrvDateTime* value);

/* "%04d-%02d-%02d" of year, month, day; null for a null value or when
 * memory runs out. */
char* OrvDateToString(const OrvDate* date);

/* "%02d:%02d:%02d" of hour, minute, second; null for a null value or when
 * memory runs out. */
char* OrvTimeToString(const OrvTime* time);

/* "%04d-%02d-%02d %02d:%02d:%02d" with both parts, the date form with the
 * date only, the time form with the time only; null for a null value, a
 * value with neither part, or when memory runs out. */
char* OrvDateTimeToString(const OrvDateTime* value);

/* A new date-time for the local time now, or null with "MEMORY ALLOCATION
 * FAILURE FOR dateTimePtr", "CreateOrvDate Failed" or "CreateOrvTime
 * Failed" at ERROR. */
OrvDateTime* GetCurrentOrvDateTime();

/* The current time in seconds since 1 January 1970 UTC, low 32 bits. */
uint32_t GetCurrentSeconds();

/* True when the first value is later than the second, comparing year,
 * month, day, hour, minute and second in this order. False when either
 * value or any of their parts is missing, and for equal values. */
bool IsLaterDateTime(const OrvDateTime* first, const OrvDateTime* second);

}  // namespace orv

#endif
