/*
 * The SQLite provider's queries: the mapping of declared column types to
 * the library's type codes, and the direct query and the query with blob
 * columns, which build a ResultSet.
 *
 * A column takes the code of its declared type; a column without one (an
 * expression) takes the code of the first value stored in it: an integer
 * 7 (bigint), a double 10, a text 15, a blob 20. Each value is read by the
 * type SQLite stored and written in the column's stored form: integers in
 * 64 bits, doubles bit for bit, texts whole (up to a zero byte, as every
 * stored text ends), blobs as bytes. A value that has no form of its
 * column's type (a text in an integer column that is no integer) fails
 * the query with an ERROR record naming the column.
 */
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "datastore/column_value.h"
#include "datastore/type_codes.h"
#include "db/result_set.h"
#include "db/sqlite/sqlite_internal.h"
#include "db/sqlite/sqlite_provider.h"

namespace orv {

namespace {

bool Contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

}  // namespace

uint8_t MapSqliteDeclaredType(const char* declared) {
    if (declared == nullptr || *declared == '\0') return ORV_SQL_NOT_SUPPORTED_TYPE;
    std::string type(declared);
    for (char& c : type) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (Contains(type, "bool")) return ORV_SQL_BOOLEAN;
    if (Contains(type, "int")) return ORV_SQL_BIGINT;
    if (Contains(type, "real") || Contains(type, "doub") || Contains(type, "floa")) return ORV_SQL_DOUBLE;
    if (type.rfind("decimal", 0) == 0) return ORV_SQL_DECIMAL;
    if (type.rfind("numeric", 0) == 0) return ORV_SQL_NUMERIC;
    if (type == "datetime" || type == "timestamp") return ORV_SQL_DATETIME;
    if (type == "date") return ORV_SQL_DATE;
    if (type == "time") return ORV_SQL_TIME;
    if (type.rfind("char", 0) == 0) return ORV_SQL_CHAR;
    if (Contains(type, "char")) return ORV_SQL_NCHAR;
    if (Contains(type, "text") || Contains(type, "clob")) return ORV_SQL_TEXT;
    if (Contains(type, "blob")) return ORV_SQL_BLOB;
    return ORV_SQL_NOT_SUPPORTED_TYPE;
}

namespace sqlite {
namespace {

/* The chunks a blob cell reaches its consumer in. */
constexpr int kBlobChunk = 1024;

/* The code a column without a declared type takes from a stored value. */
uint8_t CodeOfStored(int stored) {
    switch (stored) {
        case SQLITE_INTEGER:
            return ORV_SQL_BIGINT;
        case SQLITE_FLOAT:
            return ORV_SQL_DOUBLE;
        case SQLITE_BLOB:
            return ORV_SQL_BLOB;
        default:
            return ORV_SQL_NCHAR;
    }
}

/* The shortest text that reads back as the same double: for a decimal
 * column without an exponent ("-0.0001"), else in the shorter of the two
 * forms. */
std::string DoubleText(double value, bool fixed) {
    char text[400];  // the longest fixed form of a double is 300-odd digits
    auto result = std::to_chars(text, text + sizeof text, value,
                                fixed ? std::chars_format::fixed : std::chars_format::general);
    if (result.ec != std::errc()) result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

/* Where one cell's value is staged until its row is packed. */
struct Cell {
    ResultCellValue value;
    int64_t integer;
    double real;
    uint8_t flag;
    std::string text;             /* a double's text */
    DateTimeColumnValue dateTime; /* a date, time or date-time */
};

/* What a statement of one connection needs while its rows are read. */
struct Reader {
    DBConnection* connection;
    sqlite3* db;
    sqlite3_stmt* statement;
    bool streamBlobs; /* blob cells go to the consumer and stay null */
    BlobConsumer consumer;
    void* context;
};

bool Refuse(const Reader& reader, int column, const char* what) {
    LogError("Column %s holds a value that is not %s\n", sqlite3_column_name(reader.statement, column), what);
    return false;
}

/* A whole text as a signed 64-bit integer (sign and decimal digits). */
bool IntegerOfText(const char* text, int64_t* out) {
    if (text == nullptr || *text == '\0') return false;
    const char* end = text + strlen(text);
    const char* start = *text == '+' ? text + 1 : text;
    auto result = std::from_chars(start, end, *out);
    return result.ec == std::errc() && result.ptr == end;
}

/* A whole text as a double. */
bool DoubleOfText(const char* text, double* out) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    *out = strtod(text, &end);
    return end != nullptr && *end == '\0';
}

/* Stages column i of the current row as a value of code. False after the
 * messages when it has no form of that type or memory runs out. */
bool StageCell(const Reader& reader, int i, uint8_t code, Cell* cell) {
    sqlite3_stmt* s = reader.statement;
    const int stored = sqlite3_column_type(s, i);
    cell->value = {nullptr, 0, code};
    if (stored == SQLITE_NULL) {
        if (reader.streamBlobs && code == ORV_SQL_BLOB && reader.consumer != nullptr) {
            reader.consumer(nullptr, 0, reader.context);
        }
        return true;
    }
    if (code == ORV_SQL_BLOB) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, i));
        const int length = sqlite3_column_bytes(s, i);
        if (reader.streamBlobs) {
            for (int at = 0; reader.consumer != nullptr && at < length; at += kBlobChunk) {
                reader.consumer(bytes + at, length - at < kBlobChunk ? length - at : kBlobChunk, reader.context);
            }
            if (reader.consumer != nullptr) reader.consumer(nullptr, 0, reader.context);
            return true;
        }
        static const char kNone = 0;
        cell->value.data = bytes != nullptr ? bytes : &kNone;
        cell->value.length = length;
        return true;
    }
    if (code == ORV_SQL_BIGINT) {
        if (stored == SQLITE_INTEGER) {
            cell->integer = sqlite3_column_int64(s, i);
        } else if (stored == SQLITE_FLOAT) {
            const double d = sqlite3_column_double(s, i);
            // Only a whole number inside the 64-bit range converts.
            if (!(d == std::trunc(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
                return Refuse(reader, i, "an integer");
            }
            cell->integer = static_cast<int64_t>(d);
        } else if (!IntegerOfText(reinterpret_cast<const char*>(sqlite3_column_text(s, i)), &cell->integer)) {
            return Refuse(reader, i, "an integer");
        }
        cell->value.data = &cell->integer;
        cell->value.length = 8;
        return true;
    }
    if (code == ORV_SQL_DOUBLE) {
        if (stored == SQLITE_FLOAT || stored == SQLITE_INTEGER) {
            // An integer beyond 2^53 takes the nearest double, as SQLite's
            // own arithmetic would.
            cell->real = stored == SQLITE_FLOAT ? sqlite3_column_double(s, i)
                                                : static_cast<double>(sqlite3_column_int64(s, i));
        } else if (!DoubleOfText(reinterpret_cast<const char*>(sqlite3_column_text(s, i)), &cell->real)) {
            return Refuse(reader, i, "a number");
        }
        cell->value.data = &cell->real;
        cell->value.length = 8;
        return true;
    }
    if (code == ORV_SQL_BOOLEAN) {
        if (stored == SQLITE_INTEGER || stored == SQLITE_FLOAT) {
            cell->flag = sqlite3_column_double(s, i) != 0 ? 1 : 0;
        } else {
            std::string t(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
            for (char& c : t) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            if (t == "1" || t == "t" || t == "true" || t == "y" || t == "yes") {
                cell->flag = 1;
            } else if (t == "0" || t == "f" || t == "false" || t == "n" || t == "no") {
                cell->flag = 0;
            } else {
                return Refuse(reader, i, "a boolean");
            }
        }
        cell->value.data = &cell->flag;
        cell->value.length = 1;
        return true;
    }
    // Texts, decimals and dates: the value's text; a double in its shortest
    // exact form rather than SQLite's 15 digits.
    const char* text = nullptr;
    size_t length = 0;
    if (stored == SQLITE_FLOAT) {
        cell->text = DoubleText(sqlite3_column_double(s, i), code == ORV_SQL_DECIMAL || code == ORV_SQL_NUMERIC);
        text = cell->text.c_str();
        length = cell->text.size();
    } else {
        text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
        length = static_cast<size_t>(sqlite3_column_bytes(s, i));
        if (text == nullptr) {
            LogError("Unable to allocate memory\n");
            return false;
        }
    }
    if (IsDateTimeType(code)) {
        if (!DateTimeCellValue(text, code, &cell->dateTime)) {
            LogError("Cannot read a date or time from \"%s\"\n", text);
            return true;  // an SQL NULL, as the other providers give it
        }
        cell->value.data = &cell->dateTime.value;
        cell->value.length = kDateTimeStoredWidth;
        return true;
    }
    // A text ends at its first zero byte, as every stored text does.
    if (IsTextType(code)) length = strnlen(text, length);
    if (length > static_cast<size_t>(INT32_MAX)) {
        LogError("Value too long in column %s\n", sqlite3_column_name(s, i));
        return false;
    }
    // The engine keeps the text until the next step; the row copies it.
    cell->value.data = text;
    cell->value.length = static_cast<int32_t>(length);
    return true;
}

void FreeColumns(ResultColumn* columns, int32_t count) {
    if (columns == nullptr) return;
    for (int32_t i = 0; i < count; ++i) free(columns[i].name);
    free(columns);
}

/* Steps a prepared statement and reads its rows into a set. */
ResultSet* Collect(const Reader& reader) {
    sqlite3_stmt* s = reader.statement;
    const int count = sqlite3_column_count(s);
    std::vector<uint8_t> codes(static_cast<size_t>(count));
    std::vector<Cell> cells(static_cast<size_t>(count));
    std::vector<ResultCellValue> values(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) codes[i] = MapSqliteDeclaredType(sqlite3_column_decltype(s, i));
    ResultRow* rows = nullptr;
    ResultRow* tail = nullptr;
    ResultRowArena arena = {};
    bool ok = true;
    for (;;) {
        const int r = sqlite3_step(s);
        if (r == SQLITE_DONE) break;
        if (r != SQLITE_ROW) {
            LogError("SQLFetch failed\n");
            ReportError(reader.connection, reader.db);
            ok = false;
            break;
        }
        for (int i = 0; ok && i < count; ++i) {
            if (codes[i] == ORV_SQL_NOT_SUPPORTED_TYPE && sqlite3_column_type(s, i) != SQLITE_NULL) {
                codes[i] = CodeOfStored(sqlite3_column_type(s, i));
            }
            ok = StageCell(reader, i, codes[i], &cells[i]);
            values[i] = cells[i].value;
        }
        ResultRow* row = ok ? CreatePackedResultRow(&arena, values.data(), count) : nullptr;
        if (!ok) break;
        if (row == nullptr) {
            LogError("Unable to allocate memory\n");
            ok = false;
            break;
        }
        AppendResultRow(&rows, &tail, row);
    }
    auto* columns = ok ? static_cast<ResultColumn*>(calloc(count > 0 ? static_cast<size_t>(count) : 1,
                                                           sizeof(ResultColumn)))
                       : nullptr;
    if (ok && columns == nullptr) {
        LogError("Unable to allocate memory\n");
        ok = false;
    }
    for (int i = 0; ok && i < count; ++i) {
        const char* name = sqlite3_column_name(s, i);
        const uint8_t code = codes[i] == ORV_SQL_NOT_SUPPORTED_TYPE ? ORV_SQL_NCHAR : codes[i];
        if (!InitResultColumn(&columns[i], name != nullptr ? name : "", code)) {
            LogError("Unable to allocate memory\n");
            ok = false;
        }
    }
    if (!ok) {
        FreeResultRows(rows);
        FreeColumns(columns, count);
        return nullptr;
    }
    ResultSet* set = CreateResultSet(rows, columns, count);
    if (set == nullptr) LogError("Unable to allocate memory\n");
    return set;
}

/* Runs every part of sql; the rows are those of the last part that has
 * columns (an empty set when none has). */
ResultSet* RunQuery(DBConnection* connection, SqliteConnection* handle, const char* sql, bool streamBlobs,
                    BlobConsumer consumer, void* context) {
    ResultSet* set = nullptr;
    int part = 0;
    while (*sql != '\0') {
        sqlite3_stmt* statement = nullptr;
        ++part;
        if (!PrepareNext(connection, handle->db, &sql, &statement)) {
            if (part > 1 || *sql != '\0') LogError("Part %d of the statement failed\n", part);
            FreeResultSet(set);
            return nullptr;
        }
        if (statement == nullptr) break;
        Reader reader{connection, handle->db, statement, streamBlobs, consumer, context};
        ResultSet* next = Collect(reader);
        sqlite3_finalize(statement);
        if (next == nullptr) {
            if (part > 1 || *sql != '\0') LogError("Part %d of the statement failed\n", part);
            FreeResultSet(set);
            return nullptr;
        }
        if (next->columnCount > 0 || set == nullptr) {
            FreeResultSet(set);
            set = next;
        } else {
            FreeResultSet(next);
        }
    }
    if (set == nullptr) {
        set = CreateResultSet(nullptr, static_cast<ResultColumn*>(calloc(1, sizeof(ResultColumn))), 0);
        if (set == nullptr) LogError("Unable to allocate memory\n");
    }
    return set;
}

ResultSet* LockedQuery(DBConnection* connection, const char* sql, bool streamBlobs, BlobConsumer consumer,
                       void* context) {
    LogTrace("Inside SqliteExecuteQuery\n");
    if (connection == nullptr) {
        LogError("SQLite connection handle missing\n");
        return nullptr;
    }
    if (sql == nullptr) return nullptr;
    LockObject(connection);
    SqliteConnection* handle = UsableHandle(connection);
    ResultSet* set = handle != nullptr ? RunQuery(connection, handle, sql, streamBlobs, consumer, context) : nullptr;
    UnlockObject(connection);
    return set;
}

}  // namespace

ResultSet* ExecuteQueryDirect(DBConnection* connection, const char* sql) {
    return LockedQuery(connection, sql, false, nullptr, nullptr);
}

ResultSet* ExecuteQueryWithBlobs(DBConnection* connection, const char* sql, BlobConsumer consumer, void* context) {
    return LockedQuery(connection, sql, true, consumer, context);
}

}  // namespace sqlite
}  // namespace orv
