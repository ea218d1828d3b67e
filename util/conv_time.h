/*
 * Date and time values of network management and HTTP: the DateAndTime
 * octet string (8 or 11 octets: year big-endian in two, month, day, hour,
 * minute, second, deci-seconds, and for 11 the direction from UTC as a
 * character with hours and minutes from UTC), the three date forms of
 * HTTP/1.1 and comparisons of broken-down times.
 *
 * Texts are read by a bounded scanner: numbers are read like the runtime's
 * "%d" (white space skipped, an optional sign, digits; values beyond the
 * 32-bit range saturate), and every word read has a fixed maximum length:
 * a longer word does not match.
 *
 * Each named conversion logs "@@@ Inside <name> @@@\n" at TRACE first.
 * Heap results are released with free(). All routines are thread-safe.
 */
#ifndef ORV_UTIL_CONV_TIME_H
#define ORV_UTIL_CONV_TIME_H

#include <cstdint>
#include <ctime>

namespace orv {

/* The longest day name, month name or zone word of an HTTP date. */
inline constexpr int kHttpDateWordMax = 31;

/* The text of a DateAndTime octet string, "%d-%d-%d,%d:%d:%d.%d" for
 * *length 8 and "%d-%d-%d,%d:%d:%d.%d,%c%d:%d" for 11 or more, in a new
 * heap text; OUT *length: the text's length. Null for a null argument,
 * fewer than 8 octets, 9 or 10 octets (which the long form would read
 * past), or when memory is short. Logs "The retVal is %s\n" at TRACE. */
char* ConvertToStringFromDateTime(const uint8_t* octets, int32_t* length);

/* Reads a text of the 11-octet form; 10 fields read give 11 new octets, 7
 * fields 8 octets (each field keeps its low 8 bits, the year its low 16
 * bits big-endian), each logged as "%.02x\n" at TRACE; OUT *length: 11 or
 * 8. Any other field count, a null argument or short memory: null. */
uint8_t* ConvertToDateTimeFromString(const char* text, int32_t* length);

/* "Jan" to "Dec", letter case ignored, give 0 to 11; anything else -1. */
int32_t ParseMonth(const char* name);

/* A new zero-filled broken-down time from an HTTP date in one of the forms
 *   "Sun, 06 Nov 1994 08:49:37 GMT"   (tm_year = year - 1900)
 *   "Sunday, 06-Nov-94 08:49:37 GMT"  (tm_year = the year as read)
 *   "Sun Nov  6 08:49:37 1994"        (tm_year = year - 1900)
 * tried in that order. Null for an unknown month name, a text that fits no
 * form, a null text or short memory. */
std::tm* ParseDateTime(const char* text);

/* Compares year, month, day, hour, minute and second in that order: 1 when
 * first is later than or equal to second, 0 when earlier (and for a null
 * argument). */
uint8_t CompareTime(const std::tm* first, const std::tm* second);

}  // namespace orv

#endif
