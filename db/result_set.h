/*
 * ResultSet: the rows of one query as a provider returns them. Columns
 * carry a name and a type code (datastore/type_codes.h); every cell holds a
 * value in the stored form of its column's type (datastore/column_value.h),
 * or none for an SQL NULL.
 *
 * Ownership: the set owns its columns, rows and cells; FreeResultSet frees
 * all of it. Not thread-safe: one thread reads a set at a time.
 */
#ifndef ORV_DB_RESULT_SET_H
#define ORV_DB_RESULT_SET_H

#include <cstdint>
#include <string>

#include "datastore/relvar.h"

namespace orv {

struct DateTimeColumnValue;
struct OrvDate;
struct OrvTime;

struct ResultColumn {
    char* name;
    uint8_t type;
};

struct ResultCell {
    int32_t length; /* bytes of data; 0 for an SQL NULL */
    void* data;     /* a value block of the column's type, or null */
    ResultCell* next;
};

struct ResultRow {
    ResultCell* cells; /* one per column, in column order */
    ResultCell* lastCell;
    ResultRow* next;
    /* The first packedCells cells and their values live in a block shared
     * with the rows that follow it in the list (CreatePackedResultRow);
     * cells appended later are blocks of their own. 0 for a row made by
     * CreateResultRow. */
    int32_t packedCells;
    /* 1 when the row is the first of its shared block, which is freed
     * with the last row of the block. */
    uint8_t startsBlock;
};

/* One value handed to CreatePackedResultRow: data null for an SQL NULL;
 * length bytes of data are copied (a date, time or date-time value is
 * copied whole from its OrvDateTime, whatever the length). */
struct ResultCellValue {
    const void* data;
    int32_t length;
    uint8_t type;
};

struct ResultSet {
    int32_t columnCount;
    int32_t rowCount;
    ResultColumn* columns; /* columnCount entries */
    ResultRow* rows;
    ResultRow* cursor;     /* the current row; null before the first */
};

/* Fills a column entry with a copy of the name. False when memory runs
 * out. */
bool InitResultColumn(ResultColumn* column, const char* name, uint8_t type);

/* A new empty row, or null. */
ResultRow* CreateResultRow();

/* Where CreatePackedResultRow places rows: the current shared block and
 * how much of it is used. Start it zeroed; it owns nothing (the rows own
 * their blocks), so it needs no freeing. */
struct ResultRowArena {
    unsigned char* block;
    size_t used;
    size_t capacity;
};

/* A new row of count cells holding copies of the values (every value
 * followed by a zero byte, as a separate value would be), placed with its
 * cells in the arena's current block or a new one. The rows of one arena
 * must be appended, in the order they were made, to one list and freed
 * with it (FreeResultRows, FreeResultSet); their cells and values cannot
 * be taken out or replaced. Null when memory runs out. */
ResultRow* CreatePackedResultRow(ResultRowArena* arena, const ResultCellValue* values, int32_t count);

/* Appends a cell holding a copy of the value (copied as a value of the
 * type, so dates stay whole); a null value is an SQL NULL. False when
 * memory runs out. */
bool AppendResultCell(ResultRow* row, const void* data, int32_t length, uint8_t type);

/* Appends a cell that takes the value block itself (null for SQL NULL).
 * False when memory runs out (the block is freed then). */
bool AppendResultCellOwned(ResultRow* row, void* data, int32_t length);

/* Links row after *tail (or makes it *head). */
void AppendResultRow(ResultRow** head, ResultRow** tail, ResultRow* row);

/* A new set over the rows and the columns array (both taken), counting
 * the rows. Null when memory runs out (then both are freed). */
ResultSet* CreateResultSet(ResultRow* rows, ResultColumn* columns, int32_t columnCount);

/* Moves to the next row (the first when the cursor is unset); returns the
 * new current row, or null at the end. */
ResultRow* ResultSetNext(ResultSet* set);
void ResultSetReset(ResultSet* set);

/* The cell of the current row in the column of that name (without regard
 * to case): its data, and OUT *length. Null when there is no current row,
 * no such column, or the cell is NULL. */
void* GetResultSetValue(ResultSet* set, const char* columnName, int32_t* length);
/* The cell of the current row at a column position, or null. */
ResultCell* GetResultSetCell(ResultSet* set, int32_t index);

/* The column's type code (0 when absent) and the name at a position (null
 * beyond the count). */
uint8_t GetResultSetColumnType(const ResultSet* set, const char* columnName);
const char* GetResultSetColumnName(const ResultSet* set, int32_t index);
/* The position of a column (without regard to case), or -1. */
int32_t GetResultSetColumnIndex(const ResultSet* set, const char* columnName);

void FreeResultSet(ResultSet* set);
void FreeResultRows(ResultRow* rows);

/* The printed layout: column names each followed by a tab and a line end,
 * then one line per row with each value's text form (NULL for none)
 * followed by a tab. PrintResultSet writes it to the log at DEBUG, one
 * record per line; RenderResultSet appends it to out. */
void PrintResultSet(const ResultSet* set);
void RenderResultSet(const ResultSet* set, std::string* out, FloatForm floats = FloatForm::kFixed);

/* A value of type `to` from a cell value of type `from`: a copy when the
 * types agree, else through its text form (booleans accept 1, t, true, y
 * and yes in any case as true). Null for a null value or when it cannot be
 * converted. OUT *length: the stored width of the new value. */
void* ConvertCellValue(const void* data, int32_t length, uint8_t from, uint8_t to, int32_t* outLength);

/* Parses a date and time text as drivers and SQLite keep them:
 * "YYYY-MM-DD", "HH:MM:SS" or "YYYY-MM-DD HH:MM:SS" (a "T" also separates
 * them; seconds may be missing; fractions and anything after the time,
 * such as a zone, are dropped). False when the text starts with neither. */
bool ParseDateTimeText(const char* text, OrvDate* date, bool* hasDate, OrvTime* time, bool* hasTime);

/* The value of a date (16), time (17) or date-time (18) cell from its text
 * into *out, holding the parts its type has (a date-time without a time
 * gets 00:00:00); false when the text holds no such value. */
bool DateTimeCellValue(const char* text, uint8_t code, DateTimeColumnValue* out);

}  // namespace orv

#endif
