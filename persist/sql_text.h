/*
 * Small helpers of the statements the data store writes itself (the
 * sequence table and whole-table selects): text literals escaped the way
 * the SQL generators escape texts, plain identifiers, and the dialect and
 * connection a table's statements go to.
 *
 * Internal to the library. Thread-safe (reads only start-up state).
 */
#ifndef ORV_DATASTORE_SQL_TEXT_H
#define ORV_DATASTORE_SQL_TEXT_H

#include <string>

namespace orv {

/* Appends text as a quoted literal of the dialect: quotes doubled, and
 * backslashes doubled for MYSQL, whose engine reads them as escapes. */
void AppendSqlTextLiteral(const char* dialectName, const char* text, std::string* out);

/* [A-Za-z_][A-Za-z0-9_$]*: a name that can stand in a statement as it is
 * written. */
bool IsPlainSqlIdentifier(const char* name);

/* The dialect name of a connection: the data source's own in map mode,
 * else the library's dialect (GetDSNDialectIndex). Null when unknown. */
const char* DialectNameForConnection(const char* connectionName);

/* Where a table's statements go. In map mode the table's data source map
 * entry names the connection (*connectionName; false when the table has no
 * entry); otherwise the default connection (*connectionName null). The
 * dialect is set as DialectNameForConnection gives it (false when none). */
bool ConnectionForTable(const char* tableName, const char** connectionName, const char** dialectName);

}  // namespace orv

#endif
