/*
 * The ODBC provider: the provider table "ODBC", connecting and
 * disconnecting, plain and blob updates, and transactions (the queries
 * are in odbc_fetch.cpp, the diagnostics in odbc_diag.cpp).
 *
 * Each connection has its own environment (ODBC 3) and connection handle,
 * both freed by its disconnect. Every operation on a connection holds the
 * object lock keyed by the DBConnection for its whole run, so threads
 * sharing one pooled connection never interleave their statements. After a
 * failed ODBC call the diagnostics are written at ERROR and a
 * connection-level failure marks the connection broken, which the pool
 * renews on its next hand-out. Passwords never reach a message: driver texts
 * are scrubbed of the connection's password and connection strings are only
 * written masked.
 */
#include "db/odbc/odbc_provider.h"

#include <strings.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "agent/strings.h"
#include "db/blob_chunks.h"
#include "db/connparams.h"
#include "db/odbc/odbc_internal.h"

namespace orv {
namespace odbc {

namespace {

/* ---- Connecting ------------------------------------------------------- */

/* Held while an environment is made and a connection opened. The driver
 * manager fills its cached configuration paths without a lock at a
 * process's first connections, and client libraries of some drivers start
 * themselves on their first connection in the same way: two threads
 * connecting at once could read a half-written path. Statements do not
 * take it. */
std::mutex gv_connectLock;

/* Appends "KEY=value" for a connection string: a value holding ";" or
 * starting with "{" is braced (with "}" doubled), as ODBC reads it. */
bool AppendAttribute(ByteBuffer* out, const char* key, const char* value) {
    if (!AppendText(out, key)) return false;
    if (strchr(value, ';') == nullptr && value[0] != '{') return AppendText(out, value);
    if (!AppendText(out, "{")) return false;
    for (const char* p = value; *p; ++p) {
        if (!Append(out, p, 1)) return false;
        if (*p == '}' && !Append(out, p, 1)) return false;
    }
    return AppendText(out, "}");
}

/* The connection string of a data source: its configured string, else
 * "DSN=d;UID=u;PWD=p;" with "UID=u" and "PWD=p" each left out when absent
 * (the ";" after it stays). The driver keyword is not added: a "Driver=" beside "DSN=" makes
 * MariaDB's driver ignore the data source's settings. Null when memory runs
 * out. */
char* BuildConnectionString(const ConnParams* params) {
    ByteBuffer out;
    bool ok = true;
    if (params->useConnString) {
        ok = AppendText(&out, params->connString ? params->connString : "");
    } else {
        ok = AppendAttribute(&out, "DSN=", params->dsnName) && AppendText(&out, ";");
        ok = ok && (params->userName == nullptr || AppendAttribute(&out, "UID=", params->userName));
        ok = ok && AppendText(&out, ";");
        ok = ok && (params->password == nullptr || AppendAttribute(&out, "PWD=", params->password));
        ok = ok && AppendText(&out, ";");
    }
    if (!ok) {
        Release(&out);
        return nullptr;
    }
    return TakeBuffer(&out);
}

/* The value of the first PWD or PASSWORD attribute of a connection
 * string (braces removed), as a new text; null when there is none or
 * memory runs out. */
char* ExtractPassword(const char* text) {
    if (text == nullptr) return nullptr;
    const char* p = text;
    while (*p) {
        while (*p == ' ' || *p == ';') ++p;
        const char* keyStart = p;
        while (*p && *p != '=' && *p != ';') ++p;
        if (*p != '=') continue;
        std::string key(keyStart, static_cast<size_t>(p - keyStart));
        while (!key.empty() && key.back() == ' ') key.pop_back();
        ++p;
        std::string value;
        if (*p == '{') {
            for (++p; *p; ++p) {
                if (*p == '}') {
                    if (p[1] != '}') {
                        ++p;
                        break;
                    }
                    ++p;
                }
                value += *p;
            }
            while (*p && *p != ';') ++p;
        } else {
            while (*p && *p != ';') value += *p++;
        }
        if (strcasecmp(key.c_str(), "PWD") == 0 || strcasecmp(key.c_str(), "PASSWORD") == 0) {
            char* copy = nullptr;
            return DuplicateString(&copy, value.c_str()) == kDupOk ? copy : nullptr;
        }
    }
    return nullptr;
}

void FreeOdbcConnection(OdbcConnection* handle) {
    if (handle == nullptr) return;
    if (handle->dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, handle->dbc);
    if (handle->env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, handle->env);
    free(handle->secret);
    free(handle);
}

DBConnection* ODBCConnect(const ConnParams* params) {
    if (params == nullptr || params->dsnName == nullptr) {
        LogError("ODBC connection Parameter missing\n");
        return nullptr;
    }
    std::lock_guard<std::mutex> connecting(gv_connectLock);
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        LogError("Allocating Env Handle failed\n");
        return nullptr;
    }
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        LogError("Setting ODBC version 3 failed\n");
        ReportConnectFailure(nullptr, SQL_HANDLE_ENV, env);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return nullptr;
    }
    auto* handle = static_cast<OdbcConnection*>(calloc(1, sizeof(OdbcConnection)));
    if (handle == nullptr) {
        LogError("Error in allocating SQLHDBC\n");
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return nullptr;
    }
    handle->env = env;
    handle->dbc = SQL_NULL_HDBC;
    handle->needLongDataLen = -1;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &handle->dbc))) {
        LogError("Allocating connection Handle failed\n");
        handle->dbc = SQL_NULL_HDBC;
        ReportConnectFailure(nullptr, SQL_HANDLE_ENV, env);
        FreeOdbcConnection(handle);
        return nullptr;
    }
    char* text = BuildConnectionString(params);
    bool secretOk = true;
    if (params->useConnString) {
        handle->secret = ExtractPassword(params->connString);
    } else if (params->password != nullptr) {
        secretOk = DuplicateString(&handle->secret, params->password) == kDupOk;
    }
    if (text == nullptr || !secretOk) {
        LogError("Unable to allocate memory\n");
        free(text);
        FreeOdbcConnection(handle);
        return nullptr;
    }
    size_t length = strlen(text);
    SQLSMALLINT textLength = length <= SHRT_MAX ? static_cast<SQLSMALLINT>(length) : SQL_NTS;
    // No output string is asked for: nothing reads it, and it would carry
    // the password.
    SQLRETURN r = SQLDriverConnect(handle->dbc, nullptr, reinterpret_cast<SQLCHAR*>(text), textLength, nullptr, 0,
                                   nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(r)) {
        LogError("Connecting to driver failed\n");
        ReportConnectFailure(handle->secret, SQL_HANDLE_DBC, handle->dbc);
        char* shown = ScrubText(text, handle->secret);
        LogError("Connection string: %s\n", shown ? shown : "");
        free(shown);
        free(text);
        FreeOdbcConnection(handle);
        return nullptr;
    }
    free(text);
    DBConnection* connection = CreateDBConnectionRecord(handle, params->connectionName);
    if (connection == nullptr) {
        LogError("Unable to allocate memory\n");
        SQLDisconnect(handle->dbc);
        FreeOdbcConnection(handle);
        return nullptr;
    }
    return connection;
}

uint8_t ODBCDisconnect(DBConnection* connection) {
    if (connection == nullptr) return 0;
    // Under the connection's lock: a statement of another thread that
    // still holds the record finishes first, and later ones find no state.
    LockObject(connection);
    auto* handle = static_cast<OdbcConnection*>(connection->providerHandle);
    if (handle == nullptr) {
        UnlockObject(connection);
        return 1;
    }
    if (handle->dbc != SQL_NULL_HDBC && !SQL_SUCCEEDED(SQLDisconnect(handle->dbc))) {
        // An open transaction keeps some drivers from disconnecting.
        SQLEndTran(SQL_HANDLE_DBC, handle->dbc, SQL_ROLLBACK);
        if (!SQL_SUCCEEDED(SQLDisconnect(handle->dbc))) {
            LogError("SQLDisconnect failed\n");
            ReportFailure(nullptr, SQL_HANDLE_DBC, handle->dbc);
        }
    }
    FreeOdbcConnection(handle);
    connection->providerHandle = nullptr;
    UnlockObject(connection);
    return 1;
}

/* ---- Updates ----------------------------------------------------------- */

/* The connection's provider state, or null with an ERROR record. Read it
 * with the connection's lock held: a renewal disconnects a record that
 * another thread may still hold. */
OdbcConnection* UsableHandle(const DBConnection* connection) {
    OdbcConnection* handle = HandleOf(connection);
    if (handle == nullptr) LogError("ODBC connection handle missing\n");
    return handle;
}

SQLHSTMT AllocStatement(DBConnection* connection, OdbcConnection* handle) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, handle->dbc, &statement))) {
        LogError("Allocating Statement Handle failed\n");
        ReportFailure(connection, SQL_HANDLE_DBC, handle->dbc);
        return SQL_NULL_HSTMT;
    }
    return statement;
}

/* Prepares sql on a new statement; null after the messages on failure. */
SQLHSTMT PrepareStatement(DBConnection* connection, OdbcConnection* handle, const char* sql) {
    SQLHSTMT statement = AllocStatement(connection, handle);
    if (statement == SQL_NULL_HSTMT) return SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLPrepare(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS))) {
        LogError("SQLPrepare failed\n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        FreeStatement(statement);
        return SQL_NULL_HSTMT;
    }
    return statement;
}

/* SQLRowCount after an update; a count of 0 is success. Frees the
 * statement. */
uint8_t FinishUpdate(DBConnection* connection, SQLHSTMT statement) {
    SQLLEN count = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(statement, &count))) {
        LogError("No Rows Affected \n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        FreeStatement(statement);
        return 0;
    }
    FreeStatement(statement);  // closes it first
    return 1;
}

/* An execution result that counts as done: SQL_NO_DATA is a searched
 * update or delete that matched no row. */
bool ExecutedOk(SQLRETURN r) { return SQL_SUCCEEDED(r) || r == SQL_NO_DATA; }

uint8_t RunUpdate(DBConnection* connection, OdbcConnection* handle, const char* sql) {
    SQLHSTMT statement = PrepareStatement(connection, handle, sql);
    if (statement == SQL_NULL_HSTMT) return 0;
    if (!ExecutedOk(SQLExecute(statement))) {
        LogError("SQLExecute failed\n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        FreeStatement(statement);
        return 0;
    }
    return FinishUpdate(connection, statement);
}

uint8_t ODBCExecuteUpdate(DBConnection* connection, const char* sql) {
    if (connection == nullptr) {
        LogError("ODBC connection handle missing\n");
        return 0;
    }
    if (sql == nullptr) return 0;
    LockObject(connection);
    OdbcConnection* handle = UsableHandle(connection);
    uint8_t ok = handle != nullptr ? RunUpdate(connection, handle, sql) : 0;
    UnlockObject(connection);
    return ok;
}

/* Whether the driver wants the whole length of a data-at-execution value
 * before its data (SQL_NEED_LONG_DATA_LEN "Y"); asked once per
 * connection. */
bool NeedsLongDataLength(OdbcConnection* handle) {
    if (handle->needLongDataLen < 0) {
        char answer[8] = {0};
        SQLSMALLINT length = 0;
        SQLRETURN r = SQLGetInfo(handle->dbc, SQL_NEED_LONG_DATA_LEN, answer, sizeof answer, &length);
        handle->needLongDataLen = SQL_SUCCEEDED(r) && (answer[0] == 'Y' || answer[0] == 'y') ? 1 : 0;
    }
    return handle->needLongDataLen == 1;
}

uint8_t RunUpdateBlob(DBConnection* connection, OdbcConnection* handle, const char* sql, BlobSupplier supplier,
                      void* context) {
    SQLHSTMT statement = PrepareStatement(connection, handle, sql);
    if (statement == SQL_NULL_HSTMT) return 0;
    // Without its one parameter the statement would run and report success
    // while the supplier's bytes went nowhere.
    SQLSMALLINT parameters = 0;
    if (SQL_SUCCEEDED(SQLNumParams(statement, &parameters)) && parameters != 1) {
        LogError("A blob statement needs exactly one parameter; it has %d\n", static_cast<int>(parameters));
        FreeStatement(statement);
        return 0;
    }
    ByteBuffer gathered;
    const bool gather = NeedsLongDataLength(handle);
    SQLLEN indicator = SQL_DATA_AT_EXEC;
    int64_t chunks = 0;
    if (gather) {
        bool ok = ForEachBlobChunk(
            supplier, context,
            [&gathered](const void* data, int32_t length) {
                if (Append(&gathered, data, static_cast<size_t>(length))) return true;
                LogError("Unable to allocate memory\n");
                return false;
            },
            &chunks);
        if (!ok || static_cast<uint64_t>(gathered.size) > static_cast<uint64_t>(INT32_MAX)) {
            if (ok) LogError("Blob too long\n");
            Release(&gathered);
            FreeStatement(statement);
            return 0;
        }
        indicator = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(gathered.size));
    }
    SQLRETURN r = SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, 0, 0,
                                   reinterpret_cast<SQLPOINTER>(1), 0, &indicator);
    if (!SQL_SUCCEEDED(r)) {
        LogError("SQLBindParameter failed\n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        Release(&gathered);
        FreeStatement(statement);
        return 0;
    }
    r = SQLExecute(statement);
    bool putFailed = false;
    while (r == SQL_NEED_DATA) {
        SQLPOINTER token = nullptr;
        r = SQLParamData(statement, &token);
        if (r != SQL_NEED_DATA) break;
        auto put = [statement](const void* data, int32_t length) {
            return SQL_SUCCEEDED(SQLPutData(statement, const_cast<void*>(data), length));
        };
        char none = 0;
        bool ok;
        if (gather) {
            ok = put(gathered.data != nullptr ? gathered.data : &none, static_cast<int32_t>(gathered.size));
        } else {
            ok = ForEachBlobChunk(supplier, context, put, &chunks);
            // A blob of no bytes is an empty value, not a missing one.
            if (ok && chunks == 0) ok = put(&none, 0);
        }
        if (!ok) {
            putFailed = true;
            break;
        }
    }
    Release(&gathered);
    if (putFailed) {
        LogError("SQLPutData failed\n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        FreeStatement(statement);
        return 0;
    }
    if (!ExecutedOk(r)) {
        LogError("SQLExecute failed\n");
        ReportFailure(connection, SQL_HANDLE_STMT, statement);
        FreeStatement(statement);
        return 0;
    }
    return FinishUpdate(connection, statement);
}

uint8_t ODBCExecuteUpdateBlob(DBConnection* connection, const char* sql, BlobSupplier supplier, void* context) {
    LogTrace("Inside ODBCExecuteUpdateBlob\n");
    if (connection == nullptr) {
        LogError("ODBC connection handle missing\n");
        return 0;
    }
    if (sql == nullptr) return 0;
    LockObject(connection);
    OdbcConnection* handle = UsableHandle(connection);
    uint8_t ok = handle != nullptr ? RunUpdateBlob(connection, handle, sql, supplier, context) : 0;
    UnlockObject(connection);
    return ok;
}

/* ---- Transactions ------------------------------------------------------ */

bool SetAutocommit(DBConnection* connection, OdbcConnection* handle, bool on) {
    SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    SQLRETURN r = SQLSetConnectAttr(handle->dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value),
                                    SQL_IS_UINTEGER);
    if (SQL_SUCCEEDED(r)) return true;
    LogError("%s", on ? "Error in setting SQL_AUTOCOMMIT_ON\n" : "Error in setting SQL_AUTOCOMMIT_OFF\n");
    ReportFailure(connection, SQL_HANDLE_DBC, handle->dbc, DiagStyle::kTransaction);
    return false;
}

uint8_t ODBCBeginTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ ODBCBeginTransaction() @@@@@\n");
    if (connection == nullptr) {
        LogError("ODBC connection handle missing\n");
        return 0;
    }
    LockObject(connection);
    OdbcConnection* handle = UsableHandle(connection);
    bool ok = handle != nullptr && SetAutocommit(connection, handle, false);
    UnlockObject(connection);
    return ok ? 1 : 0;
}

/* Ends the transaction and turns autocommit back on. A commit that fails
 * is rolled back before autocommit returns, since turning autocommit on
 * would commit what is left of the transaction. */
uint8_t EndTransaction(DBConnection* connection, SQLSMALLINT completion, const char* failure) {
    if (connection == nullptr) {
        LogError("ODBC connection handle missing\n");
        return 0;
    }
    LockObject(connection);
    OdbcConnection* handle = UsableHandle(connection);
    if (handle == nullptr) {
        UnlockObject(connection);
        return 0;
    }
    bool ok = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, handle->dbc, completion));
    if (!ok) {
        LogError("%s", failure);
        ReportFailure(connection, SQL_HANDLE_DBC, handle->dbc, DiagStyle::kTransaction);
        if (completion == SQL_COMMIT) SQLEndTran(SQL_HANDLE_DBC, handle->dbc, SQL_ROLLBACK);
    }
    if (!SetAutocommit(connection, handle, true)) ok = false;
    UnlockObject(connection);
    return ok ? 1 : 0;
}

uint8_t ODBCCommitTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ ODBCCommitTransaction() @@@@@\n");
    return EndTransaction(connection, SQL_COMMIT, "Error in commiting transaction\n");
}

uint8_t ODBCRollbackTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ ODBCRollbackTransaction() @@@@@\n");
    return EndTransaction(connection, SQL_ROLLBACK, "Error in rollbacking transaction\n");
}

const DBProvider kODBCProvider = {
    "ODBC",
    ODBCConnect,
    ODBCExecuteUpdate,
    ExecuteQueryDirect,
    ODBCDisconnect,
    ODBCBeginTransaction,
    ODBCCommitTransaction,
    ODBCRollbackTransaction,
    ODBCExecuteUpdateBlob,
    ExecuteQueryWithBlobs,
};

}  // namespace
}  // namespace odbc

const DBProvider* GetODBCProvider() { return &odbc::kODBCProvider; }

}  // namespace orv
