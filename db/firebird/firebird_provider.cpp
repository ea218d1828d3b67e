/*
 * The Firebird provider: the provider table "FIREBIRD", connecting and
 * disconnecting, plain and blob updates, transactions, and the reporting of
 * the engine's status (the queries are in firebird_fetch.cpp).
 *
 * Each statement outside a begun transaction runs in one of its own,
 * committed at once. Every operation on a connection holds the object lock
 * keyed by the DBConnection for its whole run. After a failed call the
 * engine's texts are written at ERROR, scrubbed of the password; a failure
 * of the attachment itself marks the connection broken, which the pool
 * renews on its next hand-out.
 */
#include "db/firebird/firebird_provider.h"

#include <strings.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "agent/strings.h"
#include "db/blob_chunks.h"
#include "db/connparams.h"
#include "db/firebird/firebird_internal.h"

namespace orv {
namespace firebird {

/* ---- Status ------------------------------------------------------------ */

bool IsConnectionLevelStatus(const ISC_STATUS* status) {
    static const ISC_STATUS kLost[] = {isc_network_error, isc_net_read_err,       isc_net_write_err,
                                       isc_lost_db_connection, isc_conn_lost,     isc_shutdown,
                                       isc_att_shutdown,  isc_bad_db_handle,      isc_io_error};
    // The vector is a list of clusters: isc_arg_gds and a code, or an
    // argument kind and its value; isc_arg_end ends it.
    for (const ISC_STATUS* p = status; p[0] != isc_arg_end; p += 2) {
        if (p[0] == isc_arg_cstring) {
            ++p;  // a counted string takes one more slot
            continue;
        }
        if (p[0] != isc_arg_gds) continue;
        for (ISC_STATUS code : kLost) {
            if (p[1] == code) return true;
        }
    }
    return false;
}

void ReportStatus(DBConnection* connection, const ISC_STATUS* status, const char* secret) {
    const ISC_STATUS* cursor = status;
    char line[1024];
    int lines = 0;
    while (lines < 20) {
        line[0] = '\0';
        if (fb_interpret(line, sizeof line, &cursor) <= 0) break;
        line[sizeof line - 1] = '\0';
        std::string text(line);
        if (secret != nullptr && secret[0] != '\0') {
            const std::string what(secret);
            for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 4)) {
                text.replace(at, what.size(), "****");
            }
        }
        LogError("MSG: %s\n", text.c_str());
        ++lines;
    }
    LogError("SQLCODE: %ld\n", static_cast<long>(isc_sqlcode(status)));
    if (connection != nullptr && IsConnectionLevelStatus(status)) {
        // The pool reads the flag under its own lock while a statement may
        // set it under the connection's.
        __atomic_store_n(&connection->broken, static_cast<uint8_t>(1), __ATOMIC_RELAXED);
    }
}

FbConnection* UsableHandle(const DBConnection* connection) {
    auto* handle = connection ? static_cast<FbConnection*>(connection->providerHandle) : nullptr;
    if (handle == nullptr || handle->db == 0) {
        LogError("Firebird connection handle missing\n");
        return nullptr;
    }
    return handle;
}

bool IsUpdateConflict(const ISC_STATUS* status) {
    for (const ISC_STATUS* p = status; p[0] != isc_arg_end; p += 2) {
        if (p[0] == isc_arg_cstring) {
            ++p;
            continue;
        }
        if (p[0] == isc_arg_gds && p[1] == isc_update_conflict) return true;
    }
    return false;
}

void PauseBeforeRetry(int attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 20 ? 2 + attempt : 25));
}

/* ---- Statements that create a database --------------------------------- */

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/* Skips blanks and then the keyword (any case) followed by a blank; false
 * when the keyword is not there. */
bool SkipKeyword(const char** at, const char* keyword) {
    const char* p = *at;
    while (IsBlank(*p)) ++p;
    const size_t n = strlen(keyword);
    if (strncasecmp(p, keyword, n) != 0 || !IsBlank(p[n])) return false;
    *at = p + n;
    return true;
}

}  // namespace

bool CreateDatabaseTarget(const char* sql, const char* ownDatabase, std::string* path) {
    const char* p = sql;
    if (!SkipKeyword(&p, "create") || !SkipKeyword(&p, "database")) return false;
    while (IsBlank(*p)) ++p;
    std::string target;
    if (*p == '\'') {
        for (++p;; ++p) {
            if (*p == '\0') return false;
            if (*p == '\'') {
                if (p[1] != '\'') break;
                ++p;
            }
            target.push_back(*p);
        }
        ++p;
        *path = target;
    } else {
        while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || *p == '_') {
            target.push_back(*p++);
        }
        if (target.empty()) return false;
        const std::string own = ownDatabase != nullptr ? ownDatabase : "";
        size_t cut = own.find_last_of("/\\");
        if (cut == std::string::npos) cut = own.find_last_of(':');
        *path = (cut == std::string::npos ? std::string() : own.substr(0, cut + 1)) + target + ".fdb";
    }
    while (IsBlank(*p) || *p == ';') ++p;
    return *p == '\0' && !path->empty();
}

/* ---- Transactions of statements ---------------------------------------- */

namespace {

/* Read committed, seeing the newest committed version, waiting on
 * locks: how the ODBC drivers of the other engines run a statement. */
const char kTransactionParameters[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                       isc_tpb_rec_version, isc_tpb_wait};

bool StartTransaction(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction) {
    ISC_STATUS_ARRAY status;
    *transaction = 0;
    if (isc_start_transaction(status, transaction, 1, &handle->db, static_cast<unsigned short>(sizeof kTransactionParameters),
                              kTransactionParameters) != 0) {
        LogError("Starting a transaction failed\n");
        ReportStatus(connection, status, handle->secret);
        *transaction = 0;
        return false;
    }
    return true;
}

}  // namespace

bool StatementTransaction(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction) {
    if (handle->transaction != 0) {
        *transaction = handle->transaction;
        return true;
    }
    return StartTransaction(connection, handle, transaction);
}

bool FinishStatementTransaction(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction,
                                bool ok) {
    if (*transaction == handle->transaction) return ok;  // the connection's own
    if (ok) return CommitStatement(connection, handle, transaction, true) == 1;
    ISC_STATUS_ARRAY status;
    if (*transaction != 0 && isc_rollback_transaction(status, transaction) != 0) {
        LogError("Error in rollbacking transaction\n");
        ReportStatus(connection, status, handle->secret);
    }
    *transaction = 0;
    return false;
}

int CommitStatement(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction, bool lastAttempt) {
    ISC_STATUS_ARRAY status;
    if (isc_commit_transaction(status, transaction) == 0) return 1;
    const bool retry = !lastAttempt && IsUpdateConflict(status);
    if (!retry) {
        LogError("Error in commiting transaction\n");
        ReportStatus(connection, status, handle->secret);
    }
    ISC_STATUS_ARRAY ignored;
    if (isc_rollback_transaction(ignored, transaction) != 0) {
        LogError("Error in rollbacking transaction\n");
        ReportStatus(connection, ignored, handle->secret);
    }
    *transaction = 0;
    return retry ? -1 : 0;
}

/* ---- Descriptor areas -------------------------------------------------- */

XSQLDA* NewSqlda(int count) {
    if (count < 1) count = 1;
    if (count > SHRT_MAX) return nullptr;
    auto* sqlda = static_cast<XSQLDA*>(calloc(1, XSQLDA_LENGTH(count)));
    if (sqlda == nullptr) return nullptr;
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = static_cast<ISC_SHORT>(count);
    return sqlda;
}

bool AllocateSqldaBuffers(XSQLDA* sqlda) {
    for (int i = 0; i < sqlda->sqld; ++i) {
        XSQLVAR* var = &sqlda->sqlvar[i];
        size_t size = static_cast<size_t>(var->sqllen > 0 ? var->sqllen : 0);
        if ((var->sqltype & ~1) == SQL_VARYING) size += sizeof(ISC_USHORT);
        var->sqldata = static_cast<ISC_SCHAR*>(calloc(1, size + 1));
        var->sqlind = static_cast<ISC_SHORT*>(calloc(1, sizeof(ISC_SHORT)));
        if (var->sqldata == nullptr || var->sqlind == nullptr) return false;
    }
    return true;
}

void FreeSqlda(XSQLDA* sqlda) {
    if (sqlda == nullptr) return;
    for (int i = 0; i < sqlda->sqln; ++i) {
        free(sqlda->sqlvar[i].sqldata);
        free(sqlda->sqlvar[i].sqlind);
    }
    free(sqlda);
}

namespace {

/* ---- Connecting ------------------------------------------------------- */

/* Appends one database parameter (a kind, a length byte and the bytes);
 * false for a value longer than 255 bytes, which the block cannot hold. */
bool AppendParameter(std::string* block, char kind, const char* value) {
    size_t length = strlen(value);
    if (length > 255) return false;
    block->push_back(kind);
    block->push_back(static_cast<char>(length));
    block->append(value, length);
    return true;
}

void FreeFbConnection(FbConnection* handle) {
    if (handle == nullptr) return;
    if (handle->secret != nullptr) {
        memset(handle->secret, 0, strlen(handle->secret));
        free(handle->secret);
    }
    free(handle->database);
    free(handle->user);
    free(handle);
}

DBConnection* FirebirdConnect(const ConnParams* params) {
    const char* database = nullptr;
    if (params != nullptr) database = params->useConnString ? params->connString : params->dsnName;
    if (database == nullptr || database[0] == '\0') {
        LogError("Firebird connection Parameter missing\n");
        return nullptr;
    }
    if (strlen(database) > SHRT_MAX) {
        LogError("Firebird database name too long\n");
        return nullptr;
    }
    std::string block(1, static_cast<char>(isc_dpb_version1));
    bool ok = AppendParameter(&block, isc_dpb_lc_ctype, "UTF8");
    if (ok && params->userName != nullptr) ok = AppendParameter(&block, isc_dpb_user_name, params->userName);
    if (ok && params->password != nullptr) ok = AppendParameter(&block, isc_dpb_password, params->password);
    if (!ok) {
        LogError("Firebird user name or password longer than 255 bytes\n");
        return nullptr;
    }
    auto* handle = static_cast<FbConnection*>(calloc(1, sizeof(FbConnection)));
    if (handle == nullptr || (params->password != nullptr && DuplicateString(&handle->secret, params->password) != kDupOk) ||
        DuplicateString(&handle->database, database) != kDupOk ||
        (params->userName != nullptr && DuplicateString(&handle->user, params->userName) != kDupOk)) {
        LogError("Unable to allocate memory\n");
        FreeFbConnection(handle);
        return nullptr;
    }
    ISC_STATUS_ARRAY status;
    if (isc_attach_database(status, static_cast<short>(strlen(database)), database, &handle->db,
                            static_cast<short>(block.size()), block.data()) != 0) {
        LogError("Connecting to Firebird database %s failed\n", database);
        ReportStatus(nullptr, status, handle->secret);
        memset(block.data(), 0, block.size());
        FreeFbConnection(handle);
        return nullptr;
    }
    memset(block.data(), 0, block.size());
    DBConnection* connection = CreateDBConnectionRecord(handle, params->connectionName);
    if (connection == nullptr) {
        LogError("Unable to allocate memory\n");
        isc_detach_database(status, &handle->db);
        FreeFbConnection(handle);
        return nullptr;
    }
    return connection;
}

uint8_t FirebirdDisconnect(DBConnection* connection) {
    if (connection == nullptr) return 0;
    auto* handle = static_cast<FbConnection*>(connection->providerHandle);
    if (handle == nullptr) return 1;
    LockObject(connection);
    ISC_STATUS_ARRAY status;
    if (handle->transaction != 0 && isc_rollback_transaction(status, &handle->transaction) != 0) {
        LogError("Error in rollbacking transaction\n");
        ReportStatus(nullptr, status, handle->secret);
    }
    if (handle->db != 0 && isc_detach_database(status, &handle->db) != 0) {
        LogError("Disconnecting from Firebird failed\n");
        ReportStatus(nullptr, status, handle->secret);
    }
    FreeFbConnection(handle);
    connection->providerHandle = nullptr;
    UnlockObject(connection);
    return 1;
}

/* ---- Updates ----------------------------------------------------------- */

/* Runs sql in transaction, again on the committed row after an update
 * conflict. */
bool ExecuteWithRetries(FbConnection* handle, isc_tr_handle* transaction, const char* sql, ISC_STATUS* status) {
    return RunRetryingConflicts(status, [&] {
               return isc_dsql_execute_immediate(status, &handle->db, transaction, 0, sql, SQL_DIALECT_V6, nullptr);
           }) == 0;
}

uint8_t RunUpdate(DBConnection* connection, FbConnection* handle, const char* sql) {
    ISC_STATUS_ARRAY status;
    if (handle->transaction != 0) {
        if (ExecuteWithRetries(handle, &handle->transaction, sql, status)) return 1;
        LogError("Executing the statement failed\n");
        ReportStatus(connection, status, handle->secret);
        return 0;
    }
    // A statement of its own: the commit of a data definition statement,
    // which changes the system tables there, meets the same conflict with
    // one of another attachment; the whole transaction is rolled back and
    // run again then, a little later each time.
    for (int attempt = 0;; ++attempt) {
        isc_tr_handle transaction = 0;
        if (!StatementTransaction(connection, handle, &transaction)) return 0;
        if (!ExecuteWithRetries(handle, &transaction, sql, status)) {
            LogError("Executing the statement failed\n");
            ReportStatus(connection, status, handle->secret);
            FinishStatementTransaction(connection, handle, &transaction, false);
            return 0;
        }
        const int committed = CommitStatement(connection, handle, &transaction, attempt == kConflictRetries);
        if (committed >= 0) return static_cast<uint8_t>(committed);
        PauseBeforeRetry(attempt);
    }
}

/* ---- Creating a database ------------------------------------------------ */

/* Appends a text as a quoted literal of a statement (straight into the
 * statement, so that no other copy of the password is left behind). */
void AppendQuoted(std::string* out, const char* text) {
    out->push_back('\'');
    for (const char* p = text; *p; ++p) {
        if (*p == '\'') out->push_back('\'');
        out->push_back(*p);
    }
    out->push_back('\'');
}

/* Creates the database at path, owned by the connection's user, in UTF8,
 * and detaches from it; 0 after the messages when the engine refuses
 * (e.g. the file exists). */
uint8_t CreateDatabase(FbConnection* handle, const std::string& path) {
    if (path.size() > 255) {
        LogError("Firebird database name too long\n");
        return 0;
    }
    const char* user = handle->user != nullptr ? handle->user : "";
    const char* secret = handle->secret != nullptr ? handle->secret : "";
    std::string sql = "CREATE DATABASE ";
    // Room for every quote doubled: no reallocation leaves a copy of the
    // password behind.
    sql.reserve(80 + 2 * (path.size() + strlen(user) + strlen(secret)));
    AppendQuoted(&sql, path.c_str());
    if (user[0] != '\0') {
        sql += " USER ";
        AppendQuoted(&sql, user);
    }
    if (secret[0] != '\0') {
        sql += " PASSWORD ";
        AppendQuoted(&sql, secret);
    }
    sql += " DEFAULT CHARACTER SET UTF8";
    ISC_STATUS_ARRAY status;
    isc_db_handle created = 0;
    isc_tr_handle none = 0;
    const bool ok = isc_dsql_execute_immediate(status, &created, &none, 0, sql.c_str(), SQL_DIALECT_V6, nullptr) == 0;
    memset(sql.data(), 0, sql.size());  // it holds the password
    if (!ok) {
        LogError("Creating Firebird database %s failed\n", path.c_str());
        ReportStatus(nullptr, status, handle->secret);
        return 0;
    }
    if (isc_detach_database(status, &created) != 0) {
        LogError("Disconnecting from Firebird failed\n");
        ReportStatus(nullptr, status, handle->secret);
    }
    LogDebug("Created Firebird database %s\n", path.c_str());
    return 1;
}

uint8_t FirebirdExecuteUpdate(DBConnection* connection, const char* sql) {
    FbConnection* handle = UsableHandle(connection);
    if (handle == nullptr || sql == nullptr) return 0;
    LockObject(connection);
    // A new database cannot be made by a statement of an attachment: the
    // engine creates it with an attachment of its own.
    std::string created;
    uint8_t ok = CreateDatabaseTarget(sql, handle->database, &created) ? CreateDatabase(handle, created)
                                                             : RunUpdate(connection, handle, sql);
    UnlockObject(connection);
    return ok;
}

/* Writes the supplier's chunks into a new blob of the transaction; its
 * id in *id. */
bool WriteBlob(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction, BlobSupplier supplier,
               void* context, ISC_QUAD* id) {
    ISC_STATUS_ARRAY status;
    isc_blob_handle blob = 0;
    if (isc_create_blob2(status, &handle->db, transaction, &blob, id, 0, nullptr) != 0) {
        LogError("Creating the blob failed\n");
        ReportStatus(connection, status, handle->secret);
        return false;
    }
    bool putFailed = false;
    bool ok = ForEachBlobChunk(supplier, context, [&](const void* bytes, int32_t size) {
        const char* data = static_cast<const char*>(bytes);
        auto length = static_cast<size_t>(size);
        while (length > 0) {
            // A segment holds at most 65535 bytes.
            auto piece = static_cast<unsigned short>(length > 32768 ? 32768 : length);
            if (isc_put_segment(status, &blob, piece, data) != 0) {
                putFailed = true;
                return false;
            }
            data += piece;
            length -= piece;
        }
        return true;
    });
    if (putFailed) {
        LogError("Writing the blob failed\n");
        ReportStatus(connection, status, handle->secret);
    }
    ISC_STATUS_ARRAY closing;
    if (!ok) {
        isc_cancel_blob(closing, &blob);
        return false;
    }
    if (isc_close_blob(closing, &blob) != 0) {
        LogError("Writing the blob failed\n");
        ReportStatus(connection, closing, handle->secret);
        return false;
    }
    return true;
}

/* Gathers the supplier's chunks (for a parameter that is not a blob). */
bool GatherChunks(BlobSupplier supplier, void* context, std::string* bytes) {
    return ForEachBlobChunk(supplier, context, [bytes](const void* data, int32_t length) {
        if (bytes->size() + static_cast<size_t>(length) > 32765) {
            LogError("Blob too long for its parameter\n");
            return false;
        }
        bytes->append(static_cast<const char*>(data), static_cast<size_t>(length));
        return true;
    });
}

uint8_t RunUpdateBlob(DBConnection* connection, FbConnection* handle, const char* sql, BlobSupplier supplier,
                      void* context) {
    isc_tr_handle transaction = 0;
    if (!StatementTransaction(connection, handle, &transaction)) return 0;
    ISC_STATUS_ARRAY status;
    isc_stmt_handle statement = 0;
    XSQLDA* input = NewSqlda(1);
    ISC_QUAD blobId = {0, 0};
    ISC_SHORT present = 0;
    std::string bytes;
    bool ok = input != nullptr;
    if (!ok) LogError("Unable to allocate memory\n");
    if (ok && isc_dsql_allocate_statement(status, &handle->db, &statement) != 0) {
        LogError("Allocating Statement Handle failed\n");
        ReportStatus(connection, status, handle->secret);
        ok = false;
    }
    if (ok && (isc_dsql_prepare(status, &transaction, &statement, 0, sql, SQL_DIALECT_V6, nullptr) != 0 ||
               isc_dsql_describe_bind(status, &statement, SQLDA_VERSION1, input) != 0)) {
        LogError("SQLPrepare failed\n");
        ReportStatus(connection, status, handle->secret);
        ok = false;
    }
    if (ok && input->sqld != 1) {
        LogError("A blob statement needs exactly one parameter; it has %d\n", static_cast<int>(input->sqld));
        ok = false;
    }
    if (ok) {
        XSQLVAR* var = &input->sqlvar[0];
        if ((var->sqltype & ~1) == SQL_BLOB) {
            ok = WriteBlob(connection, handle, &transaction, supplier, context, &blobId);
            var->sqltype = SQL_BLOB + 1;
            var->sqldata = reinterpret_cast<ISC_SCHAR*>(&blobId);
        } else {
            ok = GatherChunks(supplier, context, &bytes);
            var->sqltype = SQL_TEXT + 1;
            var->sqlsubtype = 1;  // OCTETS: the bytes as they are
            var->sqllen = static_cast<ISC_SHORT>(bytes.size());
            var->sqldata = bytes.data();
        }
        var->sqlind = &present;
    }
    if (ok) {
        // An update that waited for a concurrent writer runs again on the
        // committed row (the blob written stays valid in the transaction).
        if (RunRetryingConflicts(
                status, [&] { return isc_dsql_execute(status, &transaction, &statement, SQLDA_VERSION1, input); }) != 0) {
            LogError("SQLExecute failed\n");
            ReportStatus(connection, status, handle->secret);
            ok = false;
        }
    }
    if (input != nullptr) {
        input->sqlvar[0].sqldata = nullptr;  // not ours to free
        input->sqlvar[0].sqlind = nullptr;
        FreeSqlda(input);
    }
    if (statement != 0) isc_dsql_free_statement(status, &statement, DSQL_drop);
    return FinishStatementTransaction(connection, handle, &transaction, ok) ? 1 : 0;
}

uint8_t FirebirdExecuteUpdateBlob(DBConnection* connection, const char* sql, BlobSupplier supplier, void* context) {
    LogTrace("Inside FirebirdExecuteUpdateBlob\n");
    FbConnection* handle = UsableHandle(connection);
    if (handle == nullptr || sql == nullptr) return 0;
    LockObject(connection);
    uint8_t ok = RunUpdateBlob(connection, handle, sql, supplier, context);
    UnlockObject(connection);
    return ok;
}

/* ---- Transactions ------------------------------------------------------ */

uint8_t FirebirdBeginTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ FirebirdBeginTransaction() @@@@@\n");
    FbConnection* handle = UsableHandle(connection);
    if (handle == nullptr) return 0;
    LockObject(connection);
    bool ok = false;
    if (handle->transaction != 0) {
        LogError("Error in starting transaction\n");
        LogError("MSG: a transaction is open on this connection already\n");
    } else {
        ok = StartTransaction(connection, handle, &handle->transaction);
        if (!ok) LogError("Error in starting transaction\n");
    }
    UnlockObject(connection);
    return ok ? 1 : 0;
}

/* Ends the begun transaction; a commit that fails is rolled back, so the
 * connection never keeps half a transaction. */
uint8_t EndTransaction(DBConnection* connection, bool commit) {
    FbConnection* handle = UsableHandle(connection);
    if (handle == nullptr) return 0;
    LockObject(connection);
    ISC_STATUS_ARRAY status;
    bool ok = false;
    if (handle->transaction == 0) {
        LogError("%s", commit ? "Error in commiting transaction\n" : "Error in rollbacking transaction\n");
        LogError("MSG: no transaction is open on this connection\n");
    } else if (commit) {
        ok = isc_commit_transaction(status, &handle->transaction) == 0;
        if (!ok) {
            LogError("Error in commiting transaction\n");
            ReportStatus(connection, status, handle->secret);
            if (isc_rollback_transaction(status, &handle->transaction) != 0) {
                ReportStatus(connection, status, handle->secret);
            }
        }
    } else {
        ok = isc_rollback_transaction(status, &handle->transaction) == 0;
        if (!ok) {
            LogError("Error in rollbacking transaction\n");
            ReportStatus(connection, status, handle->secret);
        }
    }
    handle->transaction = 0;
    UnlockObject(connection);
    return ok ? 1 : 0;
}

uint8_t FirebirdCommitTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ FirebirdCommitTransaction() @@@@@\n");
    return EndTransaction(connection, true);
}

uint8_t FirebirdRollbackTransaction(DBConnection* connection) {
    LogTrace("\t@@@@@ FirebirdRollbackTransaction() @@@@@\n");
    return EndTransaction(connection, false);
}

const DBProvider kFirebirdProvider = {
    "FIREBIRD",
    FirebirdConnect,
    FirebirdExecuteUpdate,
    ExecuteQueryDirect,
    FirebirdDisconnect,
    FirebirdBeginTransaction,
    FirebirdCommitTransaction,
    FirebirdRollbackTransaction,
    FirebirdExecuteUpdateBlob,
    ExecuteQueryWithBlobs,
};

}  // namespace
}  // namespace firebird

const DBProvider* GetFirebirdProvider() { return &firebird::kFirebirdProvider; }

}  // namespace orv
