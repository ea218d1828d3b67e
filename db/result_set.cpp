/*
 * Result sets: building, reading by cursor, printing, and converting cell
 * values to the types of a table's columns.
 */
#include "db/result_set.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/column_value.h"
#include "datastore/relvar.h"
#include "datastore/type_codes.h"

namespace orv {

bool InitResultColumn(ResultColumn* column, const char* name, uint8_t type) {
    if (column == nullptr) return false;
    column->type = type;
    column->name = nullptr;
    return DuplicateString(&column->name, name ? name : "") == kDupOk;
}

ResultRow* CreateResultRow() { return static_cast<ResultRow*>(calloc(1, sizeof(ResultRow))); }

bool AppendResultCellOwned(ResultRow* row, void* data, int32_t length) {
    auto* cell = static_cast<ResultCell*>(malloc(sizeof(ResultCell)));
    if (row == nullptr || cell == nullptr) {
        free(cell);
        free(data);
        return false;
    }
    cell->data = data;
    cell->length = data ? length : 0;
    cell->next = nullptr;
    if (row->lastCell == nullptr) {
        row->cells = cell;
    } else {
        row->lastCell->next = cell;
    }
    row->lastCell = cell;
    return true;
}

bool AppendResultCell(ResultRow* row, const void* data, int32_t length, uint8_t type) {
    void* copy = nullptr;
    if (data != nullptr) {
        copy = CopyColumnValue(data, length, type);
        if (copy == nullptr) return false;
    }
    return AppendResultCellOwned(row, copy, length);
}

namespace {

/* Value blocks inside a packed row start at multiples of this (the widest
 * alignment a stored value needs: 64-bit numbers and pointers). */
constexpr size_t kValueAlign = alignof(DateTimeColumnValue) > alignof(uint64_t) ? alignof(DateTimeColumnValue)
                                                                               : alignof(uint64_t);

size_t AlignUp(size_t n) { return (n + kValueAlign - 1) & ~(kValueAlign - 1); }

/* The bytes a value takes in a packed row, or SIZE_MAX for a bad length. */
size_t PackedSize(const ResultCellValue& value) {
    if (value.data == nullptr) return 0;
    if (IsDateTimeType(value.type)) return AlignUp(sizeof(DateTimeColumnValue));
    if (value.length < 0) return SIZE_MAX;
    return AlignUp(static_cast<size_t>(value.length) + 1);
}

}  // namespace

/* Shared blocks of packed rows start small and double up to this. */
constexpr size_t kFirstRowBlock = 1024;
constexpr size_t kLargestRowBlock = 256 * 1024;

ResultRow* CreatePackedResultRow(ResultRowArena* arena, const ResultCellValue* values, int32_t count) {
    if (arena == nullptr || count < 0 || (count > 0 && values == nullptr)) return nullptr;
    const size_t n = static_cast<size_t>(count);
    size_t total = AlignUp(sizeof(ResultRow)) + AlignUp(n * sizeof(ResultCell));
    for (size_t i = 0; i < n; ++i) {
        size_t size = PackedSize(values[i]);
        if (size == SIZE_MAX || size > SIZE_MAX - total) return nullptr;
        total += size;
    }
    const bool starts = arena->block == nullptr || arena->capacity - arena->used < total;
    if (starts) {
        // Blocks double up to the largest size; a row larger than that gets
        // a block of its own size.
        size_t capacity = arena->capacity == 0 ? kFirstRowBlock : arena->capacity;
        if (arena->capacity != 0) capacity = capacity >= kLargestRowBlock / 2 ? kLargestRowBlock : capacity * 2;
        if (capacity < total) capacity = total;
        auto* fresh = static_cast<unsigned char*>(malloc(capacity));
        if (fresh == nullptr) return nullptr;
        arena->block = fresh;
        arena->capacity = capacity;
        arena->used = 0;
    }
    unsigned char* block = arena->block + arena->used;
    arena->used += total;
    auto* row = reinterpret_cast<ResultRow*>(block);
    auto* cells = reinterpret_cast<ResultCell*>(block + AlignUp(sizeof(ResultRow)));
    unsigned char* at = block + AlignUp(sizeof(ResultRow)) + AlignUp(n * sizeof(ResultCell));
    for (size_t i = 0; i < n; ++i) {
        ResultCell* cell = &cells[i];
        const ResultCellValue& value = values[i];
        cell->next = i + 1 < n ? &cells[i + 1] : nullptr;
        cell->data = nullptr;
        cell->length = 0;
        if (value.data == nullptr) continue;
        if (IsDateTimeType(value.type)) {
            const auto* source = static_cast<const OrvDateTime*>(value.data);
            auto* copy = new (at) DateTimeColumnValue{};
            if (source->date) {
                copy->date = *source->date;
                copy->value.date = &copy->date;
            }
            if (source->time) {
                copy->time = *source->time;
                copy->value.time = &copy->time;
            }
        } else {
            if (value.length > 0) memcpy(at, value.data, static_cast<size_t>(value.length));
            at[value.length] = 0;
        }
        cell->data = at;
        cell->length = value.length;
        at += PackedSize(value);
    }
    row->cells = n > 0 ? &cells[0] : nullptr;
    row->lastCell = n > 0 ? &cells[n - 1] : nullptr;
    row->next = nullptr;
    row->packedCells = count;
    row->startsBlock = starts ? 1 : 0;
    return row;
}

void AppendResultRow(ResultRow** head, ResultRow** tail, ResultRow* row) {
    row->next = nullptr;
    if (*tail == nullptr) {
        *head = row;
    } else {
        (*tail)->next = row;
    }
    *tail = row;
}

void FreeResultRows(ResultRow* rows) {
    // The rows of a shared block follow each other: the block is freed when
    // the next block starts, or at the end.
    void* sharedBlock = nullptr;
    while (rows != nullptr) {
        ResultRow* next = rows->next;
        const bool packed = rows->packedCells > 0 || rows->startsBlock;
        ResultCell* cell = rows->cells;
        // Packed cells go with the row's block.
        for (int32_t i = 0; cell != nullptr && i < rows->packedCells; ++i) cell = cell->next;
        while (cell != nullptr) {
            ResultCell* nextCell = cell->next;
            free(cell->data);
            free(cell);
            cell = nextCell;
        }
        if (!packed) {
            free(rows);
        } else if (rows->startsBlock) {
            free(sharedBlock);
            sharedBlock = rows;
        }
        rows = next;
    }
    free(sharedBlock);
}

ResultSet* CreateResultSet(ResultRow* rows, ResultColumn* columns, int32_t columnCount) {
    auto* set = static_cast<ResultSet*>(calloc(1, sizeof(ResultSet)));
    if (set == nullptr) {
        FreeResultRows(rows);
        if (columns != nullptr) {
            for (int32_t i = 0; i < columnCount; ++i) free(columns[i].name);
            free(columns);
        }
        return nullptr;
    }
    set->columns = columns;
    set->columnCount = columnCount;
    set->rows = rows;
    for (ResultRow* row = rows; row != nullptr; row = row->next) set->rowCount++;
    return set;
}

ResultRow* ResultSetNext(ResultSet* set) {
    if (set == nullptr) return nullptr;
    set->cursor = set->cursor == nullptr ? set->rows : set->cursor->next;
    return set->cursor;
}

void ResultSetReset(ResultSet* set) {
    if (set != nullptr) set->cursor = nullptr;
}

int32_t GetResultSetColumnIndex(const ResultSet* set, const char* columnName) {
    if (set == nullptr || columnName == nullptr) return -1;
    for (int32_t i = 0; i < set->columnCount; ++i) {
        if (set->columns[i].name != nullptr && strcasecmp(set->columns[i].name, columnName) == 0) return i;
    }
    return -1;
}

ResultCell* GetResultSetCell(ResultSet* set, int32_t index) {
    if (set == nullptr || set->cursor == nullptr || index < 0) return nullptr;
    ResultCell* cell = set->cursor->cells;
    for (int32_t i = 0; cell != nullptr && i < index; ++i) cell = cell->next;
    return cell;
}

void* GetResultSetValue(ResultSet* set, const char* columnName, int32_t* length) {
    ResultCell* cell = GetResultSetCell(set, GetResultSetColumnIndex(set, columnName));
    if (cell == nullptr) return nullptr;
    if (length) *length = cell->length;
    return cell->data;
}

uint8_t GetResultSetColumnType(const ResultSet* set, const char* columnName) {
    int32_t i = GetResultSetColumnIndex(set, columnName);
    return i < 0 ? 0 : set->columns[i].type;
}

const char* GetResultSetColumnName(const ResultSet* set, int32_t index) {
    if (set == nullptr || index < 0 || index >= set->columnCount) return nullptr;
    return set->columns[index].name;
}

void FreeResultSet(ResultSet* set) {
    if (set == nullptr) return;
    FreeResultRows(set->rows);
    if (set->columns != nullptr) {
        for (int32_t i = 0; i < set->columnCount; ++i) free(set->columns[i].name);
        free(set->columns);
    }
    free(set);
}

namespace {

/* The text form of a cell for printing: NULL for none, else the value's
 * text (booleans as 1 or 0, bytes as they are). */
std::string CellText(const ResultCell* cell, uint8_t type, FloatForm floats) {
    if (cell == nullptr || cell->data == nullptr) return "NULL";
    if (IsBytesType(type)) return std::string(static_cast<const char*>(cell->data), strnlen(static_cast<const char*>(cell->data), static_cast<size_t>(cell->length)));
    return FormatPrintedValue(cell->data, type, floats);
}

}  // namespace

void RenderResultSet(const ResultSet* set, std::string* out, FloatForm floats) {
    if (set == nullptr || out == nullptr) return;
    for (int32_t i = 0; i < set->columnCount; ++i) {
        *out += set->columns[i].name ? set->columns[i].name : "";
        *out += '\t';
    }
    *out += '\n';
    for (const ResultRow* row = set->rows; row != nullptr; row = row->next) {
        const ResultCell* cell = row->cells;
        for (int32_t i = 0; i < set->columnCount; ++i) {
            *out += CellText(cell, set->columns[i].type, floats);
            *out += '\t';
            if (cell != nullptr) cell = cell->next;
        }
        *out += '\n';
    }
}

void PrintResultSet(const ResultSet* set) {
    std::string text;
    RenderResultSet(set, &text);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size() - 1;
        LogDebug("%.*s", static_cast<int>(end - start + 1), text.c_str() + start);
        start = end + 1;
    }
}

/* Reads up to maxDigits decimal digits; null when there is none. */
namespace {

const char* ReadNumber(const char* p, int32_t* out, int maxDigits) {
    int32_t value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9' && digits < maxDigits) {
        value = value * 10 + (*p - '0');
        ++p;
        ++digits;
    }
    if (digits == 0) return nullptr;
    *out = value;
    return p;
}

}  // namespace

/* Parses a driver's date and time text: "YYYY-MM-DD", "HH:MM:SS" or
 * "YYYY-MM-DD HH:MM:SS" (a "T" also separates them; seconds may be
 * missing; fractions and anything after the time, such as a zone, are
 * dropped). False when the text starts with neither. */
bool ParseDateTimeText(const char* text, OrvDate* date, bool* hasDate, OrvTime* time, bool* hasTime) {
    *hasDate = false;
    *hasTime = false;
    const char* p = text;
    while (*p == ' ') ++p;
    int32_t first = 0;
    const char* q = ReadNumber(p, &first, 9);
    if (q == nullptr) return false;
    if (*q == '-') {
        int32_t month = 0;
        int32_t day = 0;
        const char* r = ReadNumber(q + 1, &month, 2);
        if (r == nullptr || *r != '-') return false;
        r = ReadNumber(r + 1, &day, 2);
        if (r == nullptr) return false;
        date->year = static_cast<uint16_t>(first);
        date->month = static_cast<uint8_t>(month);
        date->day = static_cast<uint8_t>(day);
        *hasDate = true;
        p = r;
        if (*p != ' ' && *p != 'T') return true;
        while (*p == ' ' || *p == 'T') ++p;
        q = ReadNumber(p, &first, 2);
        if (q == nullptr || *q != ':') return true;
    } else if (*q != ':') {
        return false;
    }
    int32_t minute = 0;
    int32_t second = 0;
    const char* r = ReadNumber(q + 1, &minute, 2);
    if (r == nullptr) return *hasDate;
    if (*r == ':' && ReadNumber(r + 1, &second, 2) == nullptr) second = 0;
    time->hour = static_cast<uint8_t>(first);
    time->minute = static_cast<uint8_t>(minute);
    time->second = static_cast<uint8_t>(second);
    *hasTime = true;
    return true;
}

bool DateTimeCellValue(const char* text, uint8_t code, DateTimeColumnValue* out) {
    OrvDate date = {0, 0, 0};
    OrvTime time = {0, 0, 0};
    bool hasDate = false;
    bool hasTime = false;
    if (!ParseDateTimeText(text, &date, &hasDate, &time, &hasTime)) return false;
    DateTimeColumnValue& value = *out;
    value = DateTimeColumnValue{};
    if (code == ORV_SQL_DATE) {
        if (!hasDate) return false;
        value.date = date;
        value.value.date = &value.date;
    } else if (code == ORV_SQL_TIME) {
        if (!hasTime) return false;
        value.time = time;
        value.value.time = &value.time;
    } else {
        value.date = date;
        value.time = time;
        value.value.date = &value.date;
        value.value.time = &value.time;
    }
    return true;
}

void* ConvertCellValue(const void* data, int32_t length, uint8_t from, uint8_t to, int32_t* outLength) {
    if (data == nullptr) return nullptr;
    int32_t dummy = 0;
    int32_t* len = outLength ? outLength : &dummy;
    if (from == to) {
        *len = length;
        return CopyColumnValue(data, length, to);
    }
    // Through the value's text.
    std::string text;
    if (IsBytesType(from) || IsTextType(from)) {
        text.assign(static_cast<const char*>(data), static_cast<size_t>(length < 0 ? 0 : length));
    } else if (IsDateTimeType(from)) {
        char* t = ConvertColumnValueToString(data, from);
        text = t ? t : "";
        free(t);
    } else {
        text = FormatPrintedValue(data, from);
    }
    if (to == ORV_SQL_BOOLEAN) {
        std::string lower;
        for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        uint8_t v = (lower == "1" || lower == "t" || lower == "true" || lower == "y" || lower == "yes") ? 1 : 0;
        char* block = nullptr;
        if (DuplicateBytes(&block, &v, 1) != kDupOk) return nullptr;
        *len = 1;
        return block;
    }
    if (IsIntegerType(to) && text.find('.') != std::string::npos) {
        text = text.substr(0, text.find('.'));  // a decimal's whole part
    }
    *len = static_cast<int32_t>(text.size());
    return ConvertStringToColumnValue(text.c_str(), len, to);
}

}  // namespace orv
