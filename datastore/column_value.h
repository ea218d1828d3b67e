/*
 * Column values and their text forms.
 *
 * A column value is one heap block whose layout follows the column's type
 * code (datastore/type_codes.h has the stored widths). Every block is one
 * byte longer than its stored width and that byte is 0, so any value can be
 * read as a string. Every value made here, dates included, is a single
 * block released with free().
 *
 * Date, time and date-time values (codes 16 to 18) are an OrvDateTime record
 * whose date and time parts live in the same block (DateTimeColumnValue);
 * a pointer to the value is a pointer to its OrvDateTime. Copy such values
 * with CopyColumnValue (a byte copy would point into the old block). Their
 * reported stored width is 11.
 *
 * Thread-safe: no shared state.
 */
#ifndef ORV_DATASTORE_COLUMN_VALUE_H
#define ORV_DATASTORE_COLUMN_VALUE_H

#include <cstdint>

#include "util/datetime.h"

namespace orv {

/* The block of a date, time or date-time value: value.date points at date
 * (or is null), value.time points at time (or is null). */
struct DateTimeColumnValue {
    OrvDateTime value;
    OrvDate date;
    OrvTime time;
    char terminator;
};

/* A decimal integer as the stored values read it: an optional sign, then
 * digits; any other character (and an empty text) makes the value 0.
 * Wraps modulo 2^64; the caller keeps the low bytes of its width.
 * REQUIRES: text is not null. */
uint64_t ScanInteger(const char* text);

/* A new value from a text. IN/OUT *length: read as the byte count for the
 * copied types 0, 12, 13, 20 and 21 (a negative count gives no value); set
 * on return to the stored width (the table's width for 1 to 11, 11 for
 * dates, 1 for booleans, the text's length for 14, 15, 22 and every code
 * above 22). Integers: an optional sign and decimal digits, wrapping in the
 * type's width; any other character makes the value 0. Floats: sign, digits
 * and an optional "." with digits; anything else gives 0. Booleans: "true"
 * or "false" in any case, anything else gives no value. Dates by the text's
 * shape (util/datetime_parse.h); a text with neither "-" nor ":" gives no
 * value. No text gives no value. A failed allocation logs "Unable to
 * allocate memory\n" at ERROR and gives no value. */
void* ConvertStringToColumnValue(const char* text, int32_t* length, uint8_t type);

/* A new text for a value: "NULL" for no value; integers in decimal;
 * floats as "%f"; the buffer's own text for 12 to 15 and 20 to 22; the date
 * forms of util/datetime.h for 16 to 18; "'t'" or "'f'" for booleans; no
 * text (null) for code 0, for codes above 22 and when memory runs out. The
 * caller frees the text. */
char* ConvertColumnValueToString(const void* value, uint8_t type);

/* A new single-block date-time value holding copies of the parts the
 * source has; null for a null source or when memory runs out. */
void* MakeDateTimeColumnValue(const OrvDateTime* source);

/* A new copy of a value of the type: dates through MakeDateTimeColumnValue,
 * every other type as length bytes plus a terminating zero byte. Null for
 * a null value, a negative length, or when memory runs out. */
void* CopyColumnValue(const void* value, int32_t length, uint8_t type);

}  // namespace orv

#endif
