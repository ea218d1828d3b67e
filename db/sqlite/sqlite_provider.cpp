/*
 * The SQLite provider's table: connecting to a database file, updates
 * (every part of a statement text in turn), the blob update, and
 * transactions. The queries are in sqlite_fetch.cpp.
 */
#include "db/sqlite/sqlite_provider.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "db/blob_chunks.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/sqlite/sqlite_internal.h"

namespace orv {
namespace sqlite {

SqliteConnection* UsableHandle(const DBConnection* connection) {
    auto* handle = connection != nullptr ? static_cast<SqliteConnection*>(connection->providerHandle) : nullptr;
    if (handle == nullptr || handle->db == nullptr) {
        LogError("SQLite connection handle missing\n");
        return nullptr;
    }
    return handle;
}

void ReportError(DBConnection* connection, sqlite3* db) {
    if (db == nullptr) return;
    const int code = sqlite3_extended_errcode(db);
    LogError("MSG: %s (extended code %d)\n", sqlite3_errmsg(db), code);
    const int primary = code & 0xFF;
    if (connection != nullptr && (primary == SQLITE_IOERR || primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)) {
        connection->broken = 1;
    }
}

bool PrepareNext(DBConnection* connection, sqlite3* db, const char** sql, sqlite3_stmt** statement) {
    *statement = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, *sql, -1, statement, &tail) != SQLITE_OK) {
        LogError("SQLPrepare failed\n");
        ReportError(connection, db);
        sqlite3_finalize(*statement);
        *statement = nullptr;
        return false;
    }
    *sql = tail != nullptr ? tail : *sql + strlen(*sql);
    return true;
}

namespace {

/* Steps a prepared statement to its end (rows of a statement run as an
 * update are passed over). False after the messages when a step fails. */
bool StepToEnd(DBConnection* connection, sqlite3* db, sqlite3_stmt* statement) {
    for (;;) {
        const int r = sqlite3_step(statement);
        if (r == SQLITE_DONE) return true;
        if (r == SQLITE_ROW) continue;
        LogError("SQLExecute failed\n");
        ReportError(connection, db);
        return false;
    }
}

/* Runs every part of sql in turn; stops at the first that fails and
 * names it when the text had several. */
uint8_t RunUpdate(DBConnection* connection, SqliteConnection* handle, const char* sql) {
    if (sqlite3_stmt* cached = CachedStatement(handle, sql)) {
        const bool ok = StepToEnd(connection, handle->db, cached);
        ReleaseCachedStatement(cached);
        return ok ? 1 : 0;
    }
    int part = 0;
    while (*sql != '\0') {
        sqlite3_stmt* statement = nullptr;
        ++part;
        const bool more = part > 1;
        if (!PrepareNext(connection, handle->db, &sql, &statement)) {
            if (more || *sql != '\0') LogError("Part %d of the statement failed\n", part);
            return 0;
        }
        if (statement == nullptr) break;  // only blanks or comments were left
        const bool ok = StepToEnd(connection, handle->db, statement);
        sqlite3_finalize(statement);
        if (!ok) {
            if (more || *sql != '\0') LogError("Part %d of the statement failed\n", part);
            return 0;
        }
    }
    return 1;
}

uint8_t SqliteExecuteUpdate(DBConnection* connection, const char* sql) {
    if (connection == nullptr) {
        LogError("SQLite connection handle missing\n");
        return 0;
    }
    if (sql == nullptr) return 0;
    LockObject(connection);
    SqliteConnection* handle = UsableHandle(connection);
    uint8_t ok = handle != nullptr ? RunUpdate(connection, handle, sql) : 0;
    UnlockObject(connection);
    return ok;
}

/* Gathers the supplier's chunks into bytes; false when a chunk is invalid
 * or the blob grows past INT32_MAX bytes. */
bool GatherBlob(BlobSupplier supplier, void* context, std::string* bytes) {
    bool tooLong = false;
    const bool ok = ForEachBlobChunk(supplier, context, [&](const void* data, int32_t length) {
        if (bytes->size() + static_cast<size_t>(length) > static_cast<size_t>(INT32_MAX)) {
            tooLong = true;
            return false;
        }
        bytes->append(static_cast<const char*>(data), static_cast<size_t>(length));
        return true;
    });
    if (tooLong) LogError("Blob too long\n");
    return ok;
}

uint8_t RunUpdateBlob(DBConnection* connection, SqliteConnection* handle, const char* sql, BlobSupplier supplier,
                      void* context) {
    const char* rest = sql;
    sqlite3_stmt* statement = nullptr;
    if (!PrepareNext(connection, handle->db, &rest, &statement)) return 0;
    const int parameters = statement != nullptr ? sqlite3_bind_parameter_count(statement) : 0;
    // Without its one parameter the statement would run and report success
    // while the supplier's bytes went nowhere.
    if (parameters != 1) {
        LogError("A blob statement needs exactly one parameter; it has %d\n", parameters);
        sqlite3_finalize(statement);
        return 0;
    }
    std::string bytes;
    if (!GatherBlob(supplier, context, &bytes)) {
        sqlite3_finalize(statement);
        return 0;
    }
    // A blob of no bytes is an empty value, not a missing one.
    const int bound = bytes.empty() ? sqlite3_bind_zeroblob(statement, 1, 0)
                                    : sqlite3_bind_blob(statement, 1, bytes.data(), static_cast<int>(bytes.size()),
                                                        SQLITE_STATIC);
    if (bound != SQLITE_OK) {
        LogError("SQLBindParameter failed\n");
        ReportError(connection, handle->db);
        sqlite3_finalize(statement);
        return 0;
    }
    const bool ok = StepToEnd(connection, handle->db, statement);
    sqlite3_finalize(statement);
    return ok ? 1 : 0;
}

uint8_t SqliteExecuteUpdateBlob(DBConnection* connection, const char* sql, BlobSupplier supplier, void* context) {
    LogTrace("Inside SqliteExecuteUpdateBlob\n");
    if (connection == nullptr) {
        LogError("SQLite connection handle missing\n");
        return 0;
    }
    if (sql == nullptr) return 0;
    LockObject(connection);
    SqliteConnection* handle = UsableHandle(connection);
    uint8_t ok = handle != nullptr ? RunUpdateBlob(connection, handle, sql, supplier, context) : 0;
    UnlockObject(connection);
    return ok;
}

/* Runs one statement of transaction control; failure after failureText
 * and the engine's message. */
uint8_t Control(DBConnection* connection, const char* sql, const char* failureText) {
    if (connection == nullptr) {
        LogError("SQLite connection handle missing\n");
        return 0;
    }
    LockObject(connection);
    SqliteConnection* handle = UsableHandle(connection);
    bool ok = handle != nullptr;
    if (ok && sqlite3_exec(handle->db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        LogError("%s", failureText);
        ReportError(connection, handle->db);
        ok = false;
    }
    UnlockObject(connection);
    return ok ? 1 : 0;
}

uint8_t SqliteBeginTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ SqliteBeginTransaction() @@@@@\n");
    // The write lock is taken at once: two connections that both began
    // with a read would deadlock on the upgrade.
    return Control(connection, "BEGIN IMMEDIATE", "Error in beginning transaction\n");
}

uint8_t SqliteCommitTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ SqliteCommitTransaction() @@@@@\n");
    if (Control(connection, "COMMIT", "Error in commiting transaction\n") == 1) return 1;
    // A commit that failed leaves the transaction open: end it.
    LockObject(connection);
    auto* handle = static_cast<SqliteConnection*>(connection->providerHandle);
    if (handle != nullptr && handle->db != nullptr && !sqlite3_get_autocommit(handle->db)) {
        sqlite3_exec(handle->db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    UnlockObject(connection);
    return 0;
}

uint8_t SqliteRollbackTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ SqliteRollbackTransaction() @@@@@\n");
    return Control(connection, "ROLLBACK", "Error in rollbacking transaction\n");
}

void CloseHandle(SqliteConnection* handle) {
    if (handle == nullptr) return;
    FreeStatementCache(handle->cache);
    if (handle->db != nullptr) sqlite3_close_v2(handle->db);
    free(handle);
}

DBConnection* SqliteConnect(const ConnParams* params) {
    const char* file = params == nullptr ? nullptr : params->useConnString ? params->connString : params->dsnName;
    if (file == nullptr || *file == '\0') {
        LogError("SQLite connection Parameter missing\n");
        return nullptr;
    }
    auto* handle = static_cast<SqliteConnection*>(calloc(1, sizeof(SqliteConnection)));
    if (handle == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    // Every call on the connection is made under its object lock, so the
    // engine's own lock per call is not needed.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(file, &handle->db, flags, nullptr) != SQLITE_OK) {
        LogError("Opening the database file %s failed\n", file);
        ReportError(nullptr, handle->db);
        CloseHandle(handle);
        return nullptr;
    }
    sqlite3_extended_result_codes(handle->db, 1);
    sqlite3_busy_timeout(handle->db, kSqliteBusyTimeoutMs);
    // Readers and one writer of several processes go on side by side.
    // An in-memory database keeps its own journal.
    if (strcmp(file, ":memory:") != 0 &&
        sqlite3_exec(handle->db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        LogError("Opening the database file %s failed\n", file);
        ReportError(nullptr, handle->db);
        CloseHandle(handle);
        return nullptr;
    }
    DBConnection* connection = CreateDBConnectionRecord(handle, params->connectionName);
    if (connection == nullptr) {
        LogError("Unable to allocate memory\n");
        CloseHandle(handle);
        return nullptr;
    }
    return connection;
}

uint8_t SqliteDisconnect(DBConnection* connection) {
    if (connection == nullptr) return 0;
    // Under the connection's lock: a statement of another thread that
    // still holds the record finishes first, and later ones find no state.
    LockObject(connection);
    auto* handle = static_cast<SqliteConnection*>(connection->providerHandle);
    if (handle != nullptr && handle->db != nullptr && !sqlite3_get_autocommit(handle->db)) {
        sqlite3_exec(handle->db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    CloseHandle(handle);
    connection->providerHandle = nullptr;
    UnlockObject(connection);
    return 1;
}

const DBProvider kSqliteProvider = {
    "SQLITE",
    SqliteConnect,
    SqliteExecuteUpdate,
    ExecuteQueryDirect,
    SqliteDisconnect,
    SqliteBeginTransaction,
    SqliteCommitTransaction,
    SqliteRollbackTransaction,
    SqliteExecuteUpdateBlob,
    ExecuteQueryWithBlobs,
};

}  // namespace
}  // namespace sqlite

const DBProvider* GetSqliteProvider() { return &sqlite::kSqliteProvider; }

}  // namespace orv
