/*
 * Adding an amount of a time unit to a date-time, and subtracting one.
 *
 * The value's text form is read back with ScanDateTimeText and the pattern
 * "%Y-%m-%d %H:%M:%S" into a broken-down time; one field is changed by the
 * amount; the runtime's local-time normalisation (mktime) carries overflows
 * into the higher fields (2024-01-31 plus one month is 2024-03-02); the
 * normalised fields are written back into the value's parts in place.
 *
 * Choices made here:
 * - The broken-down time goes into the normalisation with tm_isdst = -1, so
 *   the runtime decides from the resulting time whether daylight saving
 *   applies. Wall-clock fields therefore come out as computed, except for a
 *   result inside a daylight-saving gap, which the runtime moves past the
 *   gap.
 * - The amount is unsigned 32-bit while the broken-down fields are int. No
 *   field is ever pushed past int: seconds, minutes and hours are split
 *   into whole days and a rest below one day, days into whole 400-year
 *   Gregorian cycles (146097 days each) added to the year and a rest added
 *   to the day of the month, months into whole years and a rest. These
 *   splits are exact, so the result is the same as adding the amount to the
 *   field itself. The year written back keeps its low 16 bits.
 * - A value with both parts is changed as described. A value with the date
 *   only is read as that date at 00:00:00 and only the resulting date is
 *   written back (so hours, minutes and seconds change it only when the
 *   result crosses midnight: minus one second gives the day before). A
 *   value without a date part (time only, or neither
 *   part), or one whose text the scanner or the normalisation refuses, is
 *   left unchanged and an ERROR line names the operation.
 *
 * Thread-safe (mktime is).
 */
#ifndef ORV_UTIL_DATETIME_ARITH_H
#define ORV_UTIL_DATETIME_ARITH_H

#include <cstdint>

#include "util/datetime.h"

namespace orv {

/* Unit codes; only the low 8 bits of a unit argument are looked at, and any
 * other code changes nothing but the normalisation. */
enum OrvTimeUnit : uint8_t {
    kOrvNanoseconds = 1,  /* seconds, by amount / 1000000000 */
    kOrvMicroseconds = 2, /* seconds, by amount / 1000000 */
    kOrvMilliseconds = 3, /* seconds, by amount / 1000 (999 adds nothing) */
    kOrvSeconds = 4,
    kOrvMinutes = 5,
    kOrvHours = 6,
    kOrvDays = 7,
    kOrvWeeks = 8, /* days, by 7 * amount */
    kOrvMonths = 9,
};

/* Adds amount units to the value in place. Returns the value (null for a
 * null value, with an ERROR line). */
OrvDateTime* AddToOrvDateTime(OrvDateTime* value, uint32_t amount, int32_t unit);

/* Subtracts amount units from the value in place. Returns the value (null
 * for a null value, with an ERROR line). */
OrvDateTime* SubtractFromOrvDateTime(OrvDateTime* value, uint32_t amount, int32_t unit);

}  // namespace orv

#endif
