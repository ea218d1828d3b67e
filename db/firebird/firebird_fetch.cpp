/*
 * The Firebird provider's queries: the mapping of Firebird column types to
 * the library's type codes, and the direct query and the query with blob
 * columns, which build a ResultSet.
 *
 * Values come in the engine's binary form and are stored in the form of
 * their column's type code (datastore/column_value.h): integers and
 * floats in their width, scaled integers as their decimal text
 * ("12.5000"), texts as their bytes (a CHAR without the padding past its
 * declared length), dates and times as date-time values, booleans as one
 * byte, blobs read whole, or for the blob query streamed to the consumer.
 */
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "datastore/column_value.h"
#include "datastore/type_codes.h"
#include "db/firebird/firebird_internal.h"
#include "db/firebird/firebird_provider.h"
#include "db/result_set.h"

namespace orv {

namespace {

constexpr int32_t kCharsetOctets = 1;
constexpr int32_t kCharsetUtf8 = 4;

}  // namespace

uint8_t MapFirebirdType(int32_t sqlType, int32_t subType, int32_t scale) {
    switch (sqlType & ~1) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            if (scale < 0) return subType == 2 ? ORV_SQL_DECIMAL : ORV_SQL_NUMERIC;
            if ((sqlType & ~1) == SQL_SHORT) return ORV_SQL_SMALLINT;
            return (sqlType & ~1) == SQL_LONG ? ORV_SQL_INT : ORV_SQL_BIGINT;
        case SQL_FLOAT:
            return ORV_SQL_REAL;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return ORV_SQL_DOUBLE;
        case SQL_TEXT:
            return (subType & 0xFF) == kCharsetOctets ? ORV_SQL_BLOB : ORV_SQL_CHAR;
        case SQL_VARYING:
            return (subType & 0xFF) == kCharsetOctets ? ORV_SQL_BLOB : ORV_SQL_NCHAR;
        case SQL_BLOB:
            return subType == 1 ? ORV_SQL_TEXT : ORV_SQL_BLOB;
        case SQL_TYPE_DATE:
            return ORV_SQL_DATE;
        case SQL_TYPE_TIME:
            return ORV_SQL_TIME;
        case SQL_TIMESTAMP:
            return ORV_SQL_DATETIME;
        case SQL_BOOLEAN:
            return ORV_SQL_BOOLEAN;
        default:
            return ORV_SQL_NOT_SUPPORTED_TYPE;
    }
}

namespace firebird {
namespace {

/* The chunks a blob cell reaches its consumer in. */
constexpr unsigned short kBlobChunk = 1024;

/* A block of a fixed-width value: width bytes and a zero byte. */
void* FixedValue(const void* bytes, size_t width) {
    auto* block = static_cast<char*>(calloc(1, width + 1));
    if (block != nullptr && width != 0) memcpy(block, bytes, width);
    return block;
}

/* The decimal text of value * 10^scale (scale <= 0), all digits kept. */
std::string ScaledText(int64_t value, int scale) {
    const bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    const size_t places = static_cast<size_t>(-scale);
    if (places > 0) {
        if (digits.size() <= places) digits.insert(0, places - digits.size() + 1, '0');
        digits.insert(digits.size() - places, 1, '.');
    }
    return negative ? "-" + digits : digits;
}

/* A date-time value of the code's parts from a broken-down time. */
void* DateTimeValue(const struct tm& parts, uint8_t code) {
    OrvDate date = {static_cast<uint16_t>(parts.tm_year + 1900), static_cast<uint8_t>(parts.tm_mon + 1),
                    static_cast<uint8_t>(parts.tm_mday)};
    OrvTime time = {static_cast<uint8_t>(parts.tm_hour), static_cast<uint8_t>(parts.tm_min),
                    static_cast<uint8_t>(parts.tm_sec)};
    OrvDateTime value = {code == ORV_SQL_TIME ? nullptr : &date, code == ORV_SQL_DATE ? nullptr : &time};
    return MakeDateTimeColumnValue(&value);
}

/* The length in bytes of the first count UTF-8 characters of text. */
size_t Utf8Prefix(const char* text, size_t length, size_t count) {
    size_t i = 0;
    size_t seen = 0;
    while (i < length && seen < count) {
        ++i;
        while (i < length && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
        ++seen;
    }
    return i;
}

/* What a statement of one connection needs while its rows are read. */
struct Reader {
    DBConnection* connection;
    FbConnection* handle;
    isc_tr_handle* transaction;
    bool streamBlobs; /* blob cells go to the consumer and stay null */
};

/* Reads a blob whole into bytes, or (consumer given) streams it in chunks
 * of at most kBlobChunk bytes. */
bool ReadBlob(const Reader& reader, ISC_QUAD* id, std::string* bytes, BlobConsumer consumer, void* context) {
    ISC_STATUS_ARRAY status;
    isc_blob_handle blob = 0;
    if (isc_open_blob2(status, &reader.handle->db, reader.transaction, &blob, id, 0, nullptr) != 0) {
        LogError("Opening the blob failed\n");
        ReportStatus(reader.connection, status, reader.handle->secret);
        return false;
    }
    // Segments are as long as their writer made them: they are gathered
    // into chunks of kBlobChunk bytes (the last one shorter).
    char chunk[kBlobChunk];
    unsigned short filled = 0;
    bool ok = true;
    bool done = false;
    while (ok && !done) {
        unsigned short got = 0;
        ISC_STATUS r = isc_get_segment(status, &blob, &got, static_cast<unsigned short>(kBlobChunk - filled),
                                       chunk + filled);
        if (r != 0 && r != isc_segment) {
            if (r != isc_segstr_eof) {
                LogError("Reading the blob failed\n");
                ReportStatus(reader.connection, status, reader.handle->secret);
                ok = false;
                break;
            }
            done = true;
        } else {
            filled = static_cast<unsigned short>(filled + got);
        }
        if (filled == 0 || (filled < kBlobChunk && !done)) continue;
        if (consumer != nullptr) {
            consumer(chunk, filled, context);
        } else if (bytes != nullptr) {
            if (bytes->size() + filled > static_cast<size_t>(INT32_MAX)) {
                LogError("Blob too long\n");
                ok = false;
            } else {
                bytes->append(chunk, filled);
            }
        }
        filled = 0;
    }
    isc_close_blob(status, &blob);
    return ok;
}

/* The stored form of the value of one described column. *failed is set
 * when reading or memory fails; a null result without it is SQL NULL. */
void* CellValue(const Reader& reader, const XSQLVAR& var, uint8_t code, int32_t* length, BlobConsumer consumer,
                void* context, bool* failed) {
    *failed = false;
    *length = 0;
    if ((var.sqltype & 1) != 0 && *var.sqlind < 0) {
        if (reader.streamBlobs && code == ORV_SQL_BLOB && consumer != nullptr) consumer(nullptr, 0, context);
        return nullptr;
    }
    const int type = var.sqltype & ~1;
    void* value = nullptr;
    std::string text;
    bool asText = false;
    switch (type) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64: {
            int64_t number = 0;
            if (type == SQL_SHORT) {
                int16_t v;
                memcpy(&v, var.sqldata, sizeof v);
                number = v;
            } else if (type == SQL_LONG) {
                int32_t v;
                memcpy(&v, var.sqldata, sizeof v);
                number = v;
            } else {
                memcpy(&number, var.sqldata, sizeof number);
            }
            if (var.sqlscale < 0) {
                text = ScaledText(number, var.sqlscale);
                asText = true;
            } else if (code == ORV_SQL_SMALLINT) {
                auto v = static_cast<int16_t>(number);
                value = FixedValue(&v, *length = 2);
            } else if (code == ORV_SQL_INT) {
                auto v = static_cast<int32_t>(number);
                value = FixedValue(&v, *length = 4);
            } else {
                value = FixedValue(&number, *length = 8);
            }
            break;
        }
        case SQL_FLOAT:
            value = FixedValue(var.sqldata, *length = 4);
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            value = FixedValue(var.sqldata, *length = 8);
            break;
        case SQL_BOOLEAN: {
            uint8_t flag = var.sqldata[0] != 0 ? 1 : 0;
            value = FixedValue(&flag, *length = 1);
            break;
        }
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TIMESTAMP: {
            struct tm parts = {};
            if (type == SQL_TYPE_DATE) {
                isc_decode_sql_date(reinterpret_cast<const ISC_DATE*>(var.sqldata), &parts);
            } else if (type == SQL_TYPE_TIME) {
                isc_decode_sql_time(reinterpret_cast<const ISC_TIME*>(var.sqldata), &parts);
            } else {
                isc_decode_timestamp(reinterpret_cast<const ISC_TIMESTAMP*>(var.sqldata), &parts);
            }
            value = DateTimeValue(parts, code);
            *length = kDateTimeStoredWidth;
            break;
        }
        case SQL_TEXT: {
            size_t size = static_cast<size_t>(var.sqllen);
            // A UTF8 CHAR(n) comes padded to 4n bytes: keep its n characters.
            if ((var.sqlsubtype & 0xFF) == kCharsetUtf8) size = Utf8Prefix(var.sqldata, size, size / 4);
            text.assign(var.sqldata, size);
            asText = true;
            break;
        }
        case SQL_VARYING: {
            ISC_USHORT size = 0;
            memcpy(&size, var.sqldata, sizeof size);
            if (size > static_cast<ISC_USHORT>(var.sqllen)) size = static_cast<ISC_USHORT>(var.sqllen);
            text.assign(var.sqldata + sizeof size, size);
            asText = true;
            break;
        }
        case SQL_BLOB: {
            ISC_QUAD id;
            memcpy(&id, var.sqldata, sizeof id);
            const bool stream = reader.streamBlobs && code == ORV_SQL_BLOB;
            if (!ReadBlob(reader, &id, stream ? nullptr : &text, stream ? consumer : nullptr, context)) {
                *failed = true;
                return nullptr;
            }
            if (stream) {
                if (consumer != nullptr) consumer(nullptr, 0, context);
                return nullptr;
            }
            asText = true;
            break;
        }
        default:
            LogError("Column %.*s has a type the library cannot read (%d)\n", static_cast<int>(var.aliasname_length),
                     var.aliasname, type);
            return nullptr;
    }
    if (asText) {
        if (code == ORV_SQL_BLOB && reader.streamBlobs) {
            // An OCTETS text of the blob query goes to the consumer as well.
            for (size_t at = 0; consumer != nullptr && at < text.size(); at += kBlobChunk) {
                size_t piece = text.size() - at < kBlobChunk ? text.size() - at : kBlobChunk;
                consumer(text.data() + at, static_cast<int32_t>(piece), context);
            }
            if (consumer != nullptr) consumer(nullptr, 0, context);
            return nullptr;
        }
        *length = static_cast<int32_t>(text.size());
        if (IsTextType(code)) {
            value = ConvertStringToColumnValue(text.c_str(), length, code);
        } else {
            value = FixedValue(text.data(), text.size());  // decimals and bytes as they are
        }
    }
    if (value == nullptr) {
        LogError("Unable to allocate memory\n");
        *failed = true;
    }
    return value;
}

void FreeColumns(ResultColumn* columns, int32_t count) {
    if (columns == nullptr) return;
    for (int32_t i = 0; i < count; ++i) free(columns[i].name);
    free(columns);
}

/* The statement's type (isc_info_sql_stmt_*), 0 when not known. */
int StatementType(const Reader& reader, isc_stmt_handle* statement) {
    static const char kItems[] = {isc_info_sql_stmt_type};
    char answer[16] = {0};
    ISC_STATUS_ARRAY status;
    if (isc_dsql_sql_info(status, statement, sizeof kItems, kItems, sizeof answer, answer) != 0) {
        ReportStatus(reader.connection, status, reader.handle->secret);
        return 0;
    }
    if (answer[0] != isc_info_sql_stmt_type) return 0;
    short length = static_cast<short>(isc_vax_integer(answer + 1, 2));
    if (length <= 0 || length > 4) return 0;
    return static_cast<int>(isc_vax_integer(answer + 3, length));
}

/* Describes, runs and reads a prepared statement into a set. */
ResultSet* Collect(const Reader& reader, isc_stmt_handle* statement, XSQLDA* output, BlobConsumer consumer,
                   void* context) {
    ISC_STATUS_ARRAY status;
    const int32_t count = output->sqld;
    auto* columns = static_cast<ResultColumn*>(calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(ResultColumn)));
    auto* codes = static_cast<uint8_t*>(calloc(count > 0 ? static_cast<size_t>(count) : 1, 1));
    bool ok = columns != nullptr && codes != nullptr && AllocateSqldaBuffers(output);
    if (!ok) LogError("Unable to allocate memory\n");
    for (int32_t i = 0; ok && i < count; ++i) {
        const XSQLVAR& var = output->sqlvar[i];
        codes[i] = MapFirebirdType(var.sqltype, var.sqlsubtype, var.sqlscale);
        std::string name(var.aliasname, static_cast<size_t>(var.aliasname_length > 0 ? var.aliasname_length : 0));
        if (!InitResultColumn(&columns[i], name.c_str(), codes[i])) {
            LogError("Unable to allocate memory\n");
            ok = false;
        }
    }
    const int type = ok ? StatementType(reader, statement) : 0;
    const bool cursor = type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
    ResultRow* rows = nullptr;
    ResultRow* tail = nullptr;
    if (ok) {
        // A statement with output that is not a select (EXECUTE PROCEDURE,
        // INSERT ... RETURNING) gives its one row at execution.
        // One that waited for a concurrent writer runs again on the
        // committed row, as an update does.
        const ISC_STATUS r = RunRetryingConflicts(status, [&] {
            return cursor || count == 0
                       ? isc_dsql_execute(status, reader.transaction, statement, SQLDA_VERSION1, nullptr)
                       : isc_dsql_execute2(status, reader.transaction, statement, SQLDA_VERSION1, nullptr, output);
        });
        if (r != 0) {
            LogError("SQLExecDirect failed\n");
            ReportStatus(reader.connection, status, reader.handle->secret);
            ok = false;
        }
    }
    bool pending = ok && count > 0 && !cursor;  // the single row of execute2
    while (ok && count > 0) {
        if (cursor) {
            ISC_STATUS r = isc_dsql_fetch(status, statement, SQLDA_VERSION1, output);
            if (r == 100) break;
            if (r != 0) {
                LogError("SQLFetch failed\n");
                ReportStatus(reader.connection, status, reader.handle->secret);
                ok = false;
                break;
            }
        } else if (!pending) {
            break;
        }
        pending = false;
        ResultRow* row = CreateResultRow();
        if (row == nullptr) {
            LogError("Unable to allocate memory\n");
            ok = false;
            break;
        }
        AppendResultRow(&rows, &tail, row);
        for (int32_t i = 0; ok && i < count; ++i) {
            int32_t length = 0;
            bool failed = false;
            void* value = CellValue(reader, output->sqlvar[i], codes[i], &length, consumer, context, &failed);
            if (failed || !AppendResultCellOwned(row, value, value ? length : 0)) {
                if (!failed) LogError("Unable to allocate memory\n");
                ok = false;
            }
        }
    }
    if (cursor && ok) isc_dsql_free_statement(status, statement, DSQL_close);
    free(codes);
    if (!ok) {
        FreeResultRows(rows);
        FreeColumns(columns, count);
        return nullptr;
    }
    ResultSet* set = CreateResultSet(rows, columns, count);
    if (set == nullptr) LogError("Unable to allocate memory\n");
    return set;
}

/* One run of a query in transaction (the connection's own or a new
 * one, left open); null after the messages when it fails. */
ResultSet* RunQueryIn(DBConnection* connection, FbConnection* handle, isc_tr_handle& transaction, const char* sql,
                      bool streamBlobs, BlobConsumer consumer, void* context) {
    Reader reader{connection, handle, &transaction, streamBlobs};
    ISC_STATUS_ARRAY status;
    isc_stmt_handle statement = 0;
    XSQLDA* output = NewSqlda(16);
    ResultSet* set = nullptr;
    bool ok = output != nullptr;
    if (!ok) LogError("Unable to allocate memory\n");
    if (ok && isc_dsql_allocate_statement(status, &handle->db, &statement) != 0) {
        LogError("Allocating Statement Handle failed\n");
        ReportStatus(connection, status, handle->secret);
        ok = false;
    }
    if (ok && isc_dsql_prepare(status, &transaction, &statement, 0, sql, SQL_DIALECT_V6, output) != 0) {
        LogError("SQLPrepare failed\n");
        ReportStatus(connection, status, handle->secret);
        ok = false;
    }
    if (ok && output->sqld > output->sqln) {
        const int wanted = output->sqld;
        FreeSqlda(output);
        output = NewSqlda(wanted);
        if (output == nullptr) {
            LogError("Unable to allocate memory\n");
            ok = false;
        } else if (isc_dsql_describe(status, &statement, SQLDA_VERSION1, output) != 0) {
            LogError("SQLNumResultCols Failed\n");
            ReportStatus(connection, status, handle->secret);
            ok = false;
        }
    }
    if (ok) {
        set = Collect(reader, &statement, output, consumer, context);
        ok = set != nullptr;
    }
    FreeSqlda(output);
    if (statement != 0) isc_dsql_free_statement(status, &statement, DSQL_drop);
    return set;
}

ResultSet* RunQuery(DBConnection* connection, FbConnection* handle, const char* sql, bool streamBlobs,
                    BlobConsumer consumer, void* context) {
    for (int attempt = 0;; ++attempt) {
        isc_tr_handle transaction = 0;
        if (!StatementTransaction(connection, handle, &transaction)) return nullptr;
        ResultSet* set = RunQueryIn(connection, handle, transaction, sql, streamBlobs, consumer, context);
        const bool own = transaction != handle->transaction;
        // The commit of a data definition statement run as a query can
        // meet a conflict with one of another attachment, as an update's
        // does: the whole statement runs again then, unless its blobs
        // were handed to the consumer already.
        if (!own || set == nullptr || streamBlobs) {
            if (!FinishStatementTransaction(connection, handle, &transaction, set != nullptr) && set != nullptr) {
                FreeResultSet(set);
                set = nullptr;
            }
            return set;
        }
        const int committed = CommitStatement(connection, handle, &transaction, attempt == kConflictRetries);
        if (committed == 1) return set;
        FreeResultSet(set);
        if (committed == 0) return nullptr;
        PauseBeforeRetry(attempt);
    }
}

ResultSet* LockedQuery(DBConnection* connection, const char* sql, bool streamBlobs, BlobConsumer consumer,
                       void* context) {
    LogTrace("Inside FirebirdExecuteQuery\n");
    FbConnection* handle = UsableHandle(connection);
    if (handle == nullptr || sql == nullptr) return nullptr;
    LockObject(connection);
    ResultSet* set = RunQuery(connection, handle, sql, streamBlobs, consumer, context);
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

}  // namespace firebird
}  // namespace orv
