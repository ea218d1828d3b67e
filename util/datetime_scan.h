/*
 * The library's own scanner of date-time texts into the runtime's
 * broken-down time, for patterns such as "%Y-%m-%d %H:%M:%S".
 *
 * It checks the text's shape, not the calendar: fields are read as they
 * stand (a month of 13 gives tm_mon 12, an hour of 25 gives tm_hour 25) so
 * that a caller's normalisation can carry them. Thread-safe.
 */
#ifndef ORV_UTIL_DATETIME_SCAN_H
#define ORV_UTIL_DATETIME_SCAN_H

#include <ctime>

namespace orv {

/* The pattern of a full date-time text form. */
inline constexpr const char* kOrvDateTimePattern = "%Y-%m-%d %H:%M:%S";

/* Reads text by pattern into *out, setting only the fields that the
 * pattern names. Pattern pieces:
 *   %Y  1 to 5 decimal digits, tm_year = value - 1900
 *   %m  1 to 3 digits, tm_mon = value - 1
 *   %d  1 to 3 digits, tm_mday     %H  1 to 3 digits, tm_hour
 *   %M  1 to 3 digits, tm_min      %S  1 to 3 digits, tm_sec
 *   %%  a "%" character
 *   white space: any amount of white space in the text, also none
 *   any other character: that very character
 * A field may be preceded by white space; it takes no sign. Reading stops
 * at the end of the pattern.
 * Returns the first character of text after the match, or null when the
 * text does not fit the pattern (then *out may be partly set), when the
 * pattern holds an unknown directive, or for a null argument. */
const char* ScanDateTimeText(const char* text, const char* pattern, std::tm* out);

}  // namespace orv

#endif
