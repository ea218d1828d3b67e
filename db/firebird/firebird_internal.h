/*
 * Internals shared by the files of the Firebird provider
 * (firebird_provider.cpp, firebird_fetch.cpp): the provider's state of a
 * connection, the transaction a statement runs in, and the reporting of
 * the engine's status vector.
 *
 * Not part of the library's interface.
 */
#ifndef ORV_DB_FIREBIRD_INTERNAL_H
#define ORV_DB_FIREBIRD_INTERNAL_H

#include <ibase.h>

#include <cstdint>
#include <string>

#include "db/connection.h"

namespace orv::firebird {

/* The provider handle of a connection: the attachment, the transaction
 * begun by BeginTransaction (0 when none: then every statement has one of
 * its own), the database as the data source names it and its user (for a
 * database created beside it), and the password, kept only to scrub it
 * out of messages and to give a created database's attachment. */
struct FbConnection {
    isc_db_handle db;
    isc_tr_handle transaction;
    char* secret;
    char* database;
    char* user;
};

/* The provider state of a connection, or null (with an ERROR record)
 * when it has none. */
FbConnection* UsableHandle(const DBConnection* connection);

/* Writes the engine's texts of a failed call's status vector at ERROR,
 * each line "MSG: %s\n" (SQLCODE and the connection's password scrubbed
 * out), and marks the connection broken when the failure is the
 * connection's own (lost network link, shut down or unusable attachment).
 * connection may be null. */
void ReportStatus(DBConnection* connection, const ISC_STATUS* status, const char* secret);

/* True when a status vector names a failure of the attachment itself. */
bool IsConnectionLevelStatus(const ISC_STATUS* status);

/* True when a status vector names an update conflict: the row was
 * changed by a transaction that committed while this statement waited,
 * or (at a commit) a data definition statement met one of another
 * attachment in the system tables. The failed statement changed nothing. */
bool IsUpdateConflict(const ISC_STATUS* status);

/* How often a statement that met an update conflict is run again. */
constexpr int kConflictRetries = 100;

/* Runs call (an execution filling status) until it succeeds or fails with
 * anything but an update conflict, at most kConflictRetries times again:
 * a statement that waited for a concurrent writer fails so once that
 * writer commits, having changed nothing, and then applies to the
 * committed row, as the other engines apply it to the newest version.
 * Gives the last result. */
template <typename Call>
ISC_STATUS RunRetryingConflicts(const ISC_STATUS* status, Call call) {
    for (int attempt = 0;; ++attempt) {
        const ISC_STATUS r = call();
        if (r == 0 || attempt == kConflictRetries || !IsUpdateConflict(status)) return r;
    }
}

/* Waits a little before the next run of a whole statement transaction
 * that met a conflict at its commit (longer for later attempts). */
void PauseBeforeRetry(int attempt);

/* The database a statement "create database NAME" or "create database
 * 'path'" names, in *path: a plain name (letters, digits, _) is the file
 * NAME.fdb beside ownDatabase (the connection's own, on its server when it
 * names one); a quoted path is taken as it is. A ';' and blanks may end
 * the statement. False for any other statement. */
bool CreateDatabaseTarget(const char* sql, const char* ownDatabase, std::string* path);

/* The transaction a statement runs in: the connection's own when one was
 * begun, else a new one (read committed, waiting on locks). False after
 * the messages when it cannot be started. */
bool StatementTransaction(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction);

/* Commits a statement's own transaction, rolled back when the commit
 * fails: 1 when committed; -1 when the commit met an update conflict and
 * the statement may run again (nothing logged; never on lastAttempt); 0
 * after the messages otherwise. */
int CommitStatement(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction, bool lastAttempt);

/* Ends a statement's transaction: nothing when it is the connection's
 * own; else committed when ok (false after the messages when the commit
 * fails) or rolled back. */
bool FinishStatementTransaction(DBConnection* connection, FbConnection* handle, isc_tr_handle* transaction,
                                bool ok);

/* The provider's queries (firebird_fetch.cpp); each holds the object lock
 * on the connection. */
ResultSet* ExecuteQueryDirect(DBConnection* connection, const char* sql);
ResultSet* ExecuteQueryWithBlobs(DBConnection* connection, const char* sql, BlobConsumer consumer, void* context);

/* A new XSQLDA with room for count variables (at least one), zeroed; null
 * when memory runs out. */
XSQLDA* NewSqlda(int count);
/* Allocates sqldata (and sqlind) for each described variable; false when
 * memory runs out. */
bool AllocateSqldaBuffers(XSQLDA* sqlda);
/* Frees the buffers and the XSQLDA. */
void FreeSqlda(XSQLDA* sqlda);

}  // namespace orv::firebird

#endif
