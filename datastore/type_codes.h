/*
 * Column type codes: one unsigned byte per column, 0 to 22, with the names
 * the data dictionary accepts for them, and the one table of stored widths
 * that every reader, writer, printer and comparison of the library uses.
 *
 * Stored widths (bytes of a value in memory):
 *   0 (not supported), 12, 13, 20, 21   the length the caller gives
 *   1, 2 (tinyint, unsigned tinyint)    1
 *   3, 4 (smallint, unsigned smallint)  2
 *   5, 6 (int, unsigned int)            4
 *   7, 8 (bigint, unsigned long int)    8
 *   9, 11 (float, real)                 4
 *   10 (double)                         8
 *   14, 15, 22 (char, nchar, text)      the text's length (NUL-terminated)
 *   16, 17, 18 (date, time, datetime)   11 (reported), see column_value.h
 *   19 (boolean)                        1
 * Integers are stored in the machine's byte order (little-endian here).
 *
 * Thread-safe: constant tables only.
 */
#ifndef ORV_DATASTORE_TYPE_CODES_H
#define ORV_DATASTORE_TYPE_CODES_H

#include <cstdint>

namespace orv {

constexpr uint8_t ORV_SQL_NOT_SUPPORTED_TYPE = 0;
constexpr uint8_t ORV_SQL_TINYINT = 1;
constexpr uint8_t ORV_SQL_UNSIGNED_TINYINT = 2;
constexpr uint8_t ORV_SQL_SMALLINT = 3;
constexpr uint8_t ORV_SQL_UNSIGNED_SMALLINT = 4;
constexpr uint8_t ORV_SQL_INT = 5;
constexpr uint8_t ORV_SQL_UNSIGNED_INT = 6;
constexpr uint8_t ORV_SQL_BIGINT = 7;
constexpr uint8_t ORV_SQL_UNSIGNED_LONG_INT = 8;
constexpr uint8_t ORV_SQL_FLOAT = 9;
constexpr uint8_t ORV_SQL_DOUBLE = 10;
constexpr uint8_t ORV_SQL_REAL = 11;
constexpr uint8_t ORV_SQL_DECIMAL = 12;
constexpr uint8_t ORV_SQL_NUMERIC = 13;
constexpr uint8_t ORV_SQL_CHAR = 14;
constexpr uint8_t ORV_SQL_NCHAR = 15;
constexpr uint8_t ORV_SQL_DATE = 16;
constexpr uint8_t ORV_SQL_TIME = 17;
constexpr uint8_t ORV_SQL_DATETIME = 18;
constexpr uint8_t ORV_SQL_BOOLEAN = 19;
constexpr uint8_t ORV_SQL_BLOB = 20;
constexpr uint8_t ORV_SQL_CLOB = 21;
constexpr uint8_t ORV_SQL_TEXT = 22;

/* The highest code in use; there is no code 23 or above. */
constexpr uint8_t kMaxTypeCode = 22;

/* The stored width of a date, time or date-time value. */
constexpr int32_t kDateTimeStoredWidth = 11;

/* The type code of a data dictionary type name, compared without regard to
 * case; 0 for a name outside the table (silently) and for a missing name
 * (with "Column data type not supported - Error while creating column
 * definition.\n" at ERROR). */
uint8_t GetDataTypeCode(const char* typeName);

/* The fixed stored width of a type code: 1 to 11 from the width table, 11
 * for dates, 1 for booleans; -1 for the types whose width is the value's
 * own (0, 12 to 15, 20 to 22) and for codes above 22. */
int32_t GetStoredWidth(uint8_t type);

/* True for the integer codes 1 to 8; *isSigned tells signed (1, 3, 5, 7)
 * from unsigned (2, 4, 6, 8) when given. */
bool IsIntegerType(uint8_t type, bool* isSigned = nullptr);

/* True for the float codes 9, 10 and 11. */
bool IsFloatType(uint8_t type);

/* True for the text codes 14, 15 and 22. */
bool IsTextType(uint8_t type);

/* True for the copied byte codes 0, 12, 13, 20 and 21. */
bool IsBytesType(uint8_t type);

/* True for the date codes 16, 17 and 18. */
bool IsDateTimeType(uint8_t type);

}  // namespace orv

#endif
