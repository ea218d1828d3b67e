/*
 * Parsers of date and time texts into the values of util/datetime.h.
 *
 * Shape of a text: only the characters "-" and ":" are looked for, anywhere
 * in the text. Both present means a date and a time, read as
 * "%d-%d-%d %d:%d:%d"; "-" alone a date, "%d-%d-%d"; ":" alone a time,
 * "%d:%d:%d". Numbers are read like the runtime's formatted scanning reads
 * signed decimals (leading white space skipped, an optional sign, reading
 * stops at the first character that does not fit, and the first piece that
 * does not match ends the reading); fields the text does not supply stay 0,
 * and each number keeps its low bits when stored in its field.
 *
 * Thread-safe.
 */
#ifndef ORV_UTIL_DATETIME_PARSE_H
#define ORV_UTIL_DATETIME_PARSE_H

#include "util/datetime.h"

namespace orv {

/* What a text holds by the shape rule. */
enum class OrvTextShape { kNeither, kDate, kTime, kDateTime };

/* The shape of a text; kNeither for null. */
OrvTextShape GetDateTimeTextShape(const char* text);

/* A new date-time with both parts: a date alone gets the time 00:00:00, a
 * time alone the date 0000-00-00. Null for a text with neither character
 * (nothing logged), for a null text ("datetimeStr NULL \n" at ERROR), or
 * when memory runs out. Logs "Inside ConvertStringToOrvDateTime \n" at
 * TRACE first. */
OrvDateTime* ConvertStringToOrvDateTime(const char* text);

/* A new date-time with only the parts the text gives (the other is null).
 * Null for a text with neither character ("The String is not a
 * datetimeStr \n" at ERROR), for a null text ("datetimeStr NULL \n" at
 * ERROR), or when memory runs out. Logs "Inside
 * ConvertStringToOrvGenDateTime \n" at TRACE first. */
OrvDateTime* ConvertStringToOrvGenDateTime(const char* text);

/* By the text's shape a new OrvDateTime (both parts), an OrvDate or an
 * OrvTime; the caller tells which from GetDateTimeTextShape of the same
 * text. Null like ConvertStringToOrvDateTime, with the same messages. */
void* ConvertStringToOrvValue(const char* text);

}  // namespace orv

#endif
