/*
 * Small helpers of the statements the persistence layer writes itself
 * (the sequence table and whole-table selects): the connection a table's
 * statements go to. The lock of a connection's transactions is the
 * transaction guard's (db/transaction_guard.h). Text literals, plain identifiers and the dialect of a connection
 * come from the dialect layer (db/sql/dialect_record.h).
 *
 * Internal to the library. Thread-safe (reads only start-up state).
 */
#ifndef ORV_DATASTORE_SQL_TEXT_H
#define ORV_DATASTORE_SQL_TEXT_H

namespace orv {

/* Where a table's statements go. In map mode the table's data source map
 * entry names the connection (*connectionName; false when the table has no
 * entry); otherwise the default connection (*connectionName null). The
 * dialect name is set as DialectNameOfConnection gives it (false when
 * none). */
bool ConnectionForTable(const char* tableName, const char** connectionName, const char** dialectName);

}  // namespace orv

#endif
