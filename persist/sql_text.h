/*
 * Small helpers of the statements the persistence layer writes itself
 * (the sequence table and whole-table selects): the lock of a
 * connection's transactions and the connection a table's statements go
 * to. Text literals, plain identifiers and the dialect of a connection
 * come from the dialect layer (db/sql/dialect_record.h).
 *
 * Internal to the library. Thread-safe (reads only start-up state).
 */
#ifndef ORV_DATASTORE_SQL_TEXT_H
#define ORV_DATASTORE_SQL_TEXT_H

namespace orv {

struct DBConnection;

/* The object lock key that serialises the data store's transactions on one
 * connection: a data source with a single connection shares it between
 * threads, and two transactions interleaved on it would be one. Held from
 * BeginTransaction to the commit or rollback; never while a listener or
 * other caller code runs. Distinct from the key the provider takes for
 * each statement. */
const void* TransactionLockKey(const DBConnection* connection);

/* Where a table's statements go. In map mode the table's data source map
 * entry names the connection (*connectionName; false when the table has no
 * entry); otherwise the default connection (*connectionName null). The
 * dialect name is set as DialectNameOfConnection gives it (false when
 * none). */
bool ConnectionForTable(const char* tableName, const char** connectionName, const char** dialectName);

}  // namespace orv

#endif
