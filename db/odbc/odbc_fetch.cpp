/*
 * The ODBC provider's queries: the mapping of ODBC SQL types to the
 * library's type codes, and the direct query and the query with blob
 * columns, which build a ResultSet.
 *
 * Values are read whole with SQLGetData, in pieces into a growing buffer,
 * never into a buffer of the size the driver reports for the column (a
 * MariaDB LONGTEXT reports 4 GB; a PostgreSQL text reports 8190 and holds
 * more). Binary columns are read as bytes (SQL_C_BINARY), booleans as
 * SQL_C_BIT, everything else as the driver's text (SQL_C_CHAR), which is
 * then converted to the stored form of the column's type code.
 *
 * A row's values are read into one buffer reused for every row, converted
 * there, and then copied with the row's cells into a block shared with
 * the rows around it (CreatePackedResultRow): a few allocations per query
 * instead of two per cell.
 */
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "datastore/column_value.h"
#include "datastore/type_codes.h"
#include "db/odbc/odbc_internal.h"
#include "db/odbc/odbc_provider.h"
#include "db/result_set.h"

namespace orv {

namespace {

/* One pair of the type mapping: an ODBC SQL type and the library type code
 * its values are stored as. */
struct TypePair {
    uint8_t code;
    int32_t sqlType;
};

/* The mapping, searched in order for the first pair of the SQL type (0
 * when none has it):
 *   exact integers      BIGINT 7, SMALLINT 3, INTEGER 5, TINYINT 1
 *                       (unsigned columns take the unsigned code of the
 *                       same width when a query reads them)
 *   approximate numbers REAL 11 (single precision); FLOAT and DOUBLE 10
 *                       (ODBC's FLOAT is double precision)
 *   decimal numbers     DECIMAL 12, NUMERIC 13, kept as their digits' text
 *   texts               CHAR 14, VARCHAR 15, LONGVARCHAR 22, WCHAR and
 *                       WVARCHAR 15, WLONGVARCHAR 22, GUID 14
 *   dates and times     DATE 16, TIME 17, TIMESTAMP 18, in their ODBC 2
 *                       codes (9, 10, 11) and ODBC 3 codes (91, 92, 93)
 *   bytes               BINARY, VARBINARY, LONGVARBINARY 20
 *   intervals           the thirteen types 101 to 113: 14, their text
 *   boolean             BIT 19 */
constexpr TypePair kTypeMap[] = {
    {ORV_SQL_BIGINT, SQL_BIGINT},
    {ORV_SQL_SMALLINT, SQL_SMALLINT},
    {ORV_SQL_INT, SQL_INTEGER},
    {ORV_SQL_TINYINT, SQL_TINYINT},
    {ORV_SQL_REAL, SQL_REAL},
    {ORV_SQL_DOUBLE, SQL_FLOAT},
    {ORV_SQL_DOUBLE, SQL_DOUBLE},
    {ORV_SQL_DECIMAL, SQL_DECIMAL},
    {ORV_SQL_NUMERIC, SQL_NUMERIC},
    {ORV_SQL_CHAR, SQL_GUID},
    {ORV_SQL_CHAR, SQL_CHAR},
    {ORV_SQL_NCHAR, SQL_VARCHAR},
    {ORV_SQL_TEXT, SQL_LONGVARCHAR},
    {ORV_SQL_NCHAR, SQL_WCHAR},
    {ORV_SQL_NCHAR, SQL_WVARCHAR},
    {ORV_SQL_TEXT, SQL_WLONGVARCHAR},
    {ORV_SQL_DATE, SQL_DATE},
    {ORV_SQL_TIME, SQL_TIME},
    {ORV_SQL_DATETIME, SQL_TIMESTAMP},
    {ORV_SQL_DATE, SQL_TYPE_DATE},
    {ORV_SQL_TIME, SQL_TYPE_TIME},
    {ORV_SQL_DATETIME, SQL_TYPE_TIMESTAMP},
    {ORV_SQL_BLOB, SQL_BINARY},
    {ORV_SQL_BLOB, SQL_VARBINARY},
    {ORV_SQL_BLOB, SQL_LONGVARBINARY},
    {ORV_SQL_CHAR, SQL_INTERVAL_YEAR},
    {ORV_SQL_CHAR, SQL_INTERVAL_MONTH},
    {ORV_SQL_CHAR, SQL_INTERVAL_DAY},
    {ORV_SQL_CHAR, SQL_INTERVAL_HOUR},
    {ORV_SQL_CHAR, SQL_INTERVAL_MINUTE},
    {ORV_SQL_CHAR, SQL_INTERVAL_SECOND},
    {ORV_SQL_CHAR, SQL_INTERVAL_YEAR_TO_MONTH},
    {ORV_SQL_CHAR, SQL_INTERVAL_DAY_TO_HOUR},
    {ORV_SQL_CHAR, SQL_INTERVAL_DAY_TO_MINUTE},
    {ORV_SQL_CHAR, SQL_INTERVAL_DAY_TO_SECOND},
    {ORV_SQL_CHAR, SQL_INTERVAL_HOUR_TO_MINUTE},
    {ORV_SQL_CHAR, SQL_INTERVAL_HOUR_TO_SECOND},
    {ORV_SQL_CHAR, SQL_INTERVAL_MINUTE_TO_SECOND},
    {ORV_SQL_BOOLEAN, SQL_BIT},
};

}  // namespace

uint8_t MapODBCType(int32_t sqlType) {
    for (const TypePair& pair : kTypeMap) {
        if (pair.sqlType == sqlType) return pair.code;
    }
    return ORV_SQL_NOT_SUPPORTED_TYPE;
}

namespace odbc {
namespace {

/* The first piece a value is read into; the buffer grows to the value. */
constexpr size_t kFirstPiece = 1024;
/* The chunks a blob cell reaches its consumer in. */
constexpr SQLLEN kBlobChunk = 1024;

enum class ReadAs { kText, kBinary, kBit };

struct ColumnPlan {
    uint8_t code;
    ReadAs readAs;
    const char* name; /* the result column's own */
};

/* What one read of a column gave. */
enum class Got { kValue, kNull, kFailed };

/* Reads the current row's column whole and appends it to buffer (as text
 * with a zero after it, or as bytes); the value starts at the buffer's
 * size on entry. On kNull and kFailed the appended bytes are to be
 * dropped by the caller. */
Got ReadWhole(DBConnection* connection, SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType,
              ByteBuffer* buffer) {
    const size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
    if (!Reserve(buffer, buffer->size + kFirstPiece)) {
        LogError("Unable to allocate memory\n");
        return Got::kFailed;
    }
    for (;;) {
        size_t room = buffer->capacity - buffer->size;
        SQLLEN indicator = 0;
        SQLRETURN r = SQLGetData(statement, column, cType, buffer->data + buffer->size,
                                 static_cast<SQLLEN>(room + terminator), &indicator);
        if (r == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(r)) {
            LogError("SQLGetData failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            return Got::kFailed;
        }
        if (indicator == SQL_NULL_DATA) return Got::kNull;
        bool more = indicator == SQL_NO_TOTAL || indicator < 0 || static_cast<size_t>(indicator) > room;
        size_t got = more ? room : static_cast<size_t>(indicator);
        buffer->size += got;
        buffer->data[buffer->size] = '\0';
        if (r == SQL_SUCCESS || !more) break;
        size_t rest = indicator > 0 && indicator != SQL_NO_TOTAL ? static_cast<size_t>(indicator) - room : buffer->capacity;
        if (!Reserve(buffer, buffer->size + (rest > 0 ? rest : 1))) {
            LogError("Unable to allocate memory\n");
            return Got::kFailed;
        }
    }
    return Got::kValue;
}

/* Streams the current row's binary column to the consumer in chunks of at
 * most kBlobChunk bytes, then the end call (also for an empty or missing
 * value, so every blob cell of every row has one end call). */
bool StreamBlob(DBConnection* connection, SQLHSTMT statement, SQLUSMALLINT column, BlobConsumer consumer,
                void* context) {
    unsigned char chunk[kBlobChunk];
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN r = SQLGetData(statement, column, SQL_C_BINARY, chunk, kBlobChunk, &indicator);
        if (r == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(r)) {
            LogError("SQLGetData failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            return false;
        }
        if (indicator == SQL_NULL_DATA) break;
        bool more = indicator == SQL_NO_TOTAL || indicator < 0 || indicator > kBlobChunk;
        SQLLEN got = more ? kBlobChunk : indicator;
        if (got > 0 && consumer != nullptr) consumer(chunk, static_cast<int32_t>(got), context);
        if (r == SQL_SUCCESS || !more) break;
    }
    if (consumer != nullptr) consumer(nullptr, 0, context);
    return true;
}

/* One cell of the row being read: where its stored form is (in the row's
 * scratch buffer, or the date-time value of the stage itself). */
struct CellStage {
    enum class Kind { kNull, kScratch, kDateTime } kind;
    size_t offset;  /* in the scratch buffer */
    int32_t length; /* the stored width reported for the cell */
    DateTimeColumnValue dateTime;
};

/* The date-time value of a cell's text into stage, holding the parts its
 * type has; false when the text holds no such value. */
bool DateTimeValue(const char* text, uint8_t code, CellStage* stage) {
    return DateTimeCellValue(text, code, &stage->dateTime);
}

/* A float or double from the driver's text ("2.25", "1e+20", "-Infinity";
 * read without regard to the locale); 0 when the text is no number. */
double FloatOfText(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && *p == ' ') ++p;
    if (p < end && *p == '+') ++p;
    double value = 0.0;
    if (std::from_chars(p, end, value).ec != std::errc()) value = 0.0;
    return value;
}

/* The value of an integer cell's text in *value (its low bytes are its
 * stored form); false when the text is an integer that does not fit the
 * type's width. A text that is no plain integer reads as the stored values
 * read it (ScanInteger). */
bool IntegerFits(const char* text, size_t size, uint8_t code, uint64_t* value) {
    bool isSigned = false;
    IsIntegerType(code, &isSigned);
    const char* begin = text;
    const char* end = text + strnlen(text, size);
    while (begin < end && *begin == ' ') ++begin;
    if (begin < end && *begin == '+') ++begin;
    const int bits = GetStoredWidth(code) * 8;
    if (isSigned) {
        int64_t v = 0;
        auto r = std::from_chars(begin, end, v);
        if (r.ec == std::errc::result_out_of_range) return false;
        if (r.ec != std::errc() || r.ptr != end) {
            *value = ScanInteger(text);
            return true;
        }
        if (bits < 64) {
            const int64_t limit = int64_t{1} << (bits - 1);
            if (v < -limit || v >= limit) return false;
        }
        *value = static_cast<uint64_t>(v);
        return true;
    }
    uint64_t v = 0;
    if (begin < end && *begin == '-') {
        // A negative value in an unsigned column: only -0 fits.
        int64_t negative = 0;
        auto r = std::from_chars(begin, end, negative);
        if (r.ec == std::errc() && r.ptr == end) {
            if (negative != 0) return false;
            *value = 0;
            return true;
        }
        *value = ScanInteger(text);
        return true;
    }
    auto r = std::from_chars(begin, end, v);
    if (r.ec == std::errc::result_out_of_range) return false;
    if (r.ec != std::errc() || r.ptr != end) {
        *value = ScanInteger(text);
        return true;
    }
    if (bits < 64 && (v >> bits) != 0) return false;
    *value = v;
    return true;
}

/* Appends the low width bytes of an integer (its stored form). */
bool AppendInteger(ByteBuffer* buffer, uint64_t wide, int32_t width) {
    switch (width) {
        case 1: {
            auto v = static_cast<uint8_t>(wide);
            return Append(buffer, &v, 1);
        }
        case 2: {
            auto v = static_cast<uint16_t>(wide);
            return Append(buffer, &v, 2);
        }
        case 4: {
            auto v = static_cast<uint32_t>(wide);
            return Append(buffer, &v, 4);
        }
        default:
            return Append(buffer, &wide, 8);
    }
}

int32_t Clamped(size_t n) { return static_cast<int32_t>(n > INT32_MAX ? INT32_MAX : n); }

/* Replaces the text the cell's value was read as (at stage->offset in
 * scratch) by the stored form of the column's type. False when memory
 * runs out; a value that does not convert becomes an SQL NULL. */
bool ConvertText(ByteBuffer* scratch, const ColumnPlan& plan, CellStage* stage) {
    const uint8_t code = plan.code;
    const char* text = scratch->data + stage->offset;
    const size_t size = scratch->size - stage->offset;
    stage->kind = CellStage::Kind::kScratch;
    if (IsDateTimeType(code)) {
        stage->length = kDateTimeStoredWidth;
        stage->kind = CellStage::Kind::kDateTime;
        if (!DateTimeValue(text, code, stage)) {
            LogError("Cannot read a date or time from \"%s\"\n", text);
            stage->kind = CellStage::Kind::kNull;
        }
        scratch->size = stage->offset;
        return true;
    }
    bool ok = true;
    if (IsFloatType(code)) {
        double value = FloatOfText(text, size);
        scratch->size = stage->offset;
        if (code == ORV_SQL_DOUBLE) {
            stage->length = 8;
            ok = Append(scratch, &value, 8);
        } else {
            auto single = static_cast<float>(value);
            stage->length = 4;
            ok = Append(scratch, &single, 4);
        }
    } else if (IsIntegerType(code)) {
        // Read in 64 bits; a value beyond the column's width is refused,
        // never kept wrapped.
        uint64_t value = 0;
        if (!IntegerFits(text, size, code, &value)) {
            LogError("The value %.*s does not fit column %s\n", static_cast<int>(size), text,
                     plan.name != nullptr ? plan.name : "?");
            scratch->size = stage->offset;
            return false;
        }
        scratch->size = stage->offset;
        stage->length = GetStoredWidth(code);
        ok = AppendInteger(scratch, value, stage->length);
    } else if (IsTextType(code)) {
        // A text ends at its first zero byte, as every stored text does.
        stage->length = Clamped(strnlen(text, size));
        scratch->size = stage->offset + static_cast<size_t>(stage->length);
    } else {
        // Decimals, numerics and unmapped types keep the text's bytes.
        stage->length = Clamped(size);
    }
    if (!ok) LogError("Unable to allocate memory\n");
    return ok;
}

/* Reads one cell of the current row into its stage (its bytes appended to
 * scratch). */
bool ReadCell(DBConnection* connection, SQLHSTMT statement, SQLUSMALLINT column, const ColumnPlan& plan,
              ByteBuffer* scratch, CellStage* stage, BlobConsumer consumer, bool streamBlobs, void* context) {
    stage->kind = CellStage::Kind::kNull;
    stage->offset = scratch->size;
    stage->length = 0;
    if (plan.readAs == ReadAs::kBinary && streamBlobs) {
        return StreamBlob(connection, statement, column, consumer, context);
    }
    if (plan.readAs == ReadAs::kBit) {
        unsigned char bit = 0;
        SQLLEN indicator = 0;
        SQLRETURN r = SQLGetData(statement, column, SQL_C_BIT, &bit, sizeof bit, &indicator);
        if (!SQL_SUCCEEDED(r)) {
            LogError("SQLGetData failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            return false;
        }
        if (indicator == SQL_NULL_DATA) return true;
        uint8_t flag = bit != 0 ? 1 : 0;
        if (!Append(scratch, &flag, 1)) {
            LogError("Unable to allocate memory\n");
            return false;
        }
        stage->kind = CellStage::Kind::kScratch;
        stage->length = 1;
        return true;
    }
    SQLSMALLINT cType = plan.readAs == ReadAs::kBinary ? SQL_C_BINARY : SQL_C_CHAR;
    Got got = ReadWhole(connection, statement, column, cType, scratch);
    if (got != Got::kValue) {
        scratch->size = stage->offset;
        return got != Got::kFailed;
    }
    if (plan.readAs == ReadAs::kBinary) {
        stage->kind = CellStage::Kind::kScratch;
        stage->length = Clamped(scratch->size - stage->offset);
        return true;
    }
    return ConvertText(scratch, plan, stage);
}

/* The row of the staged cells, in one block. */
ResultRow* PackRow(ResultRowArena* arena, const ByteBuffer& scratch, const CellStage* stages, const ColumnPlan* plans,
                   ResultCellValue* values, SQLSMALLINT count) {
    for (SQLSMALLINT i = 0; i < count; ++i) {
        const CellStage& stage = stages[i];
        values[i].type = plans[i].code;
        values[i].length = stage.length;
        switch (stage.kind) {
            case CellStage::Kind::kNull:
                values[i].data = nullptr;
                values[i].length = 0;
                break;
            case CellStage::Kind::kScratch:
                values[i].data = scratch.data + stage.offset;
                // Only a date-time column reads its value as a record.
                if (IsDateTimeType(values[i].type)) values[i].type = ORV_SQL_NOT_SUPPORTED_TYPE;
                break;
            case CellStage::Kind::kDateTime:
                values[i].data = &stage.dateTime.value;
                break;
        }
    }
    return CreatePackedResultRow(arena, values, count);
}

/* The unsigned code of the same width for an integer code. */
uint8_t UnsignedCode(uint8_t code) {
    switch (code) {
        case ORV_SQL_TINYINT:
            return ORV_SQL_UNSIGNED_TINYINT;
        case ORV_SQL_SMALLINT:
            return ORV_SQL_UNSIGNED_SMALLINT;
        case ORV_SQL_INT:
            return ORV_SQL_UNSIGNED_INT;
        case ORV_SQL_BIGINT:
            return ORV_SQL_UNSIGNED_LONG_INT;
        default:
            return code;
    }
}

/* Describes column i (1-based) into its result column and plan. */
bool DescribeColumn(DBConnection* connection, SQLHSTMT statement, SQLUSMALLINT i, ResultColumn* column,
                    ColumnPlan* plan, ByteBuffer* name) {
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    if (!Reserve(name, 128)) {
        LogError("Unable to allocate memory\n");
        return false;
    }
    // Some drivers (SQLite's) give the length they copied, not the name's:
    // a name that fills the buffer is read again with a larger one.
    for (;;) {
        size_t room = name->capacity + 1 > 32767 ? 32767 : name->capacity + 1;
        SQLRETURN r = SQLDescribeCol(statement, i, reinterpret_cast<SQLCHAR*>(name->data),
                                     static_cast<SQLSMALLINT>(room), &nameLength, &sqlType, &size, &digits, &nullable);
        if (!SQL_SUCCEEDED(r)) {
            LogError("SQLDescribeCol failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            return false;
        }
        if (nameLength < 0 || static_cast<size_t>(nameLength) + 1 < room || room >= 32767) break;
        size_t want = static_cast<size_t>(nameLength) + 1 > name->capacity ? static_cast<size_t>(nameLength) + 1
                                                                            : name->capacity * 2;
        if (!Reserve(name, want)) {
            LogError("Unable to allocate memory\n");
            return false;
        }
    }
    name->data[name->capacity] = '\0';
    uint8_t code = MapODBCType(sqlType);
    if (IsIntegerType(code)) {
        SQLLEN isUnsigned = SQL_FALSE;
        if (SQL_SUCCEEDED(SQLColAttribute(statement, i, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned)) &&
            isUnsigned == SQL_TRUE) {
            code = UnsignedCode(code);
        }
    }
    plan->code = code;
    plan->readAs = code == ORV_SQL_BLOB ? ReadAs::kBinary : code == ORV_SQL_BOOLEAN ? ReadAs::kBit : ReadAs::kText;
    if (!InitResultColumn(column, name->data, code)) {
        LogError("Unable to allocate memory\n");
        return false;
    }
    return true;
}

void FreeColumns(ResultColumn* columns, int32_t count) {
    if (columns == nullptr) return;
    for (int32_t i = 0; i < count; ++i) free(columns[i].name);
    free(columns);
}

/* Describes the columns, fetches every row and builds the set. Each row
 * is read into one scratch buffer, then made one block with its cells and
 * values. */
ResultSet* CollectResult(DBConnection* connection, SQLHSTMT statement, SQLSMALLINT count, BlobConsumer consumer,
                         bool streamBlobs, void* context) {
    const size_t n = count > 0 ? static_cast<size_t>(count) : 1;
    auto* columns = static_cast<ResultColumn*>(calloc(n, sizeof(ResultColumn)));
    auto* plans = static_cast<ColumnPlan*>(calloc(n, sizeof(ColumnPlan)));
    auto* stages = static_cast<CellStage*>(calloc(n, sizeof(CellStage)));
    auto* values = static_cast<ResultCellValue*>(calloc(n, sizeof(ResultCellValue)));
    ByteBuffer scratch;
    ResultRowArena arena = {nullptr, 0, 0};
    ResultRow* rows = nullptr;
    ResultRow* tail = nullptr;
    bool ok = columns != nullptr && plans != nullptr && stages != nullptr && values != nullptr;
    if (!ok) LogError("Unable to allocate memory\n");
    for (SQLSMALLINT i = 0; ok && i < count; ++i) {
        ok = DescribeColumn(connection, statement, static_cast<SQLUSMALLINT>(i + 1), &columns[i], &plans[i], &scratch);
        if (ok) plans[i].name = columns[i].name;
    }
    while (ok && count > 0) {
        SQLRETURN r = SQLFetch(statement);
        if (r == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(r)) {
            LogError("SQLFetch failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            ok = false;
            break;
        }
        scratch.size = 0;
        for (SQLSMALLINT i = 0; ok && i < count; ++i) {
            ok = ReadCell(connection, statement, static_cast<SQLUSMALLINT>(i + 1), plans[i], &scratch, &stages[i],
                          consumer, streamBlobs, context);
        }
        if (!ok) break;
        ResultRow* row = PackRow(&arena, scratch, stages, plans, values, count);
        if (row == nullptr) {
            LogError("Unable to allocate memory\n");
            ok = false;
            break;
        }
        AppendResultRow(&rows, &tail, row);
    }
    Release(&scratch);
    free(values);
    free(stages);
    free(plans);
    if (!ok) {
        FreeResultRows(rows);
        FreeColumns(columns, count);
        return nullptr;
    }
    ResultSet* set = CreateResultSet(rows, columns, count);
    if (set == nullptr) LogError("Unable to allocate memory\n");
    return set;
}

ResultSet* RunQuery(DBConnection* connection, OdbcConnection* handle, const char* sql, bool prepared,
                    BlobConsumer consumer, void* context) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, handle->dbc, &statement))) {
        LogError("Allocating Statement Handle failed\n");
        ReportFailure(connection, SQL_HANDLE_DBC, handle->dbc);
        return nullptr;
    }
    auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql));
    if (prepared) {
        if (!SQL_SUCCEEDED(SQLPrepare(statement, text, SQL_NTS))) {
            LogError("SQLPrepare failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            FreeStatement(statement);
            return nullptr;
        }
        SQLRETURN r = SQLExecute(statement);
        if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
            LogError("SQLExecute failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            FreeStatement(statement);
            return nullptr;
        }
    } else {
        SQLRETURN r = SQLExecDirect(statement, text, SQL_NTS);
        if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
            LogError("SQLExecDirect failed\n");
            ReportFailure(connection, SQL_HANDLE_STMT, statement);
            FreeStatement(statement);
            return nullptr;
        }
    }
    SQLLEN affected = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(statement, &affected))) {
        LogError("No Rows Affected\n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        FreeStatement(statement);
        return nullptr;
    }
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(statement, &count))) {
        LogError("SQLNumResultCols Failed\n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        FreeStatement(statement);
        return nullptr;
    }
    ResultSet* set = CollectResult(connection, statement, count, consumer, prepared, context);
    if (count > 0) SQLCloseCursor(statement);
    SQLFreeStmt(statement, SQL_UNBIND);
    FreeStatement(statement);
    return set;
}

}  // namespace

ResultSet* ExecuteQueryDirect(DBConnection* connection, const char* sql) {
    LogTrace("Inside ODBCExecuteQuery\n");
    if (connection == nullptr) LogError("ODBC connection handle missing\n");
    if (connection == nullptr || sql == nullptr) return nullptr;
    // The handle is read under the lock (see UsableHandle).
    LockObject(connection);
    OdbcConnection* handle = HandleOf(connection);
    if (handle == nullptr) LogError("ODBC connection handle missing\n");
    ResultSet* set = handle != nullptr ? RunQuery(connection, handle, sql, false, nullptr, nullptr) : nullptr;
    UnlockObject(connection);
    return set;
}

ResultSet* ExecuteQueryWithBlobs(DBConnection* connection, const char* sql, BlobConsumer consumer, void* context) {
    LogTrace("Inside ODBCExecuteQuery\n");
    if (connection == nullptr) LogError("ODBC connection handle missing\n");
    if (connection == nullptr || sql == nullptr) return nullptr;
    // The handle is read under the lock (see UsableHandle).
    LockObject(connection);
    OdbcConnection* handle = HandleOf(connection);
    if (handle == nullptr) LogError("ODBC connection handle missing\n");
    ResultSet* set = handle != nullptr ? RunQuery(connection, handle, sql, true, consumer, context) : nullptr;
    UnlockObject(connection);
    return set;
}

}  // namespace odbc
}  // namespace orv
