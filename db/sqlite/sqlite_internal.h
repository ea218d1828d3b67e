/*
 * Internals shared by the files of the SQLite provider
 * (sqlite_provider.cpp, sqlite_fetch.cpp): the provider's state of a
 * connection, the reporting of the engine's errors, and the walk over the
 * parts of a statement text.
 *
 * Not part of the library's interface.
 */
#ifndef ORV_DB_SQLITE_INTERNAL_H
#define ORV_DB_SQLITE_INTERNAL_H

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "db/connection.h"

namespace orv::sqlite {

struct StatementCache;

/* A literal taken out of a statement text: a 64-bit integer, a double, a
 * text (quotes undoubled) or a blob's bytes. */
struct SqlLiteral {
    enum class Kind { kInteger, kDouble, kText, kBlob } kind;
    int64_t integer;
    double real;
    std::string bytes;
};

/* Splits the text of an insert, update or delete into its shape (each
 * literal replaced by "?") and its literals in order. False when the text
 * is not one that can be run so: another statement kind, a comment, a
 * parameter of the caller's own, a second statement, a number that is no
 * 64-bit integer or double, an unclosed quote or blob. */
bool SplitSqlLiterals(const char* sql, std::string* shape, std::vector<SqlLiteral>* literals);

/* Binds the literals as the statement's parameters 1, 2, ...; false when
 * the statement has another number of parameters or a bind fails. */
bool BindSqlLiterals(sqlite3_stmt* statement, const std::vector<SqlLiteral>& literals);

/* The provider handle of a connection: the engine's connection and the
 * statements prepared for it (sqlite_statements.cpp), made at first use. */
struct SqliteConnection {
    sqlite3* db;
    StatementCache* cache;
};

/* The prepared statement of an insert, update or delete text with its
 * literals bound as parameters (made once per shape of text and kept),
 * or null when the text is not one that can be run so: then it is
 * prepared as it is. Give it back with ReleaseCachedStatement after its
 * steps. REQUIRES: the connection's object lock is held. */
sqlite3_stmt* CachedStatement(SqliteConnection* handle, const char* sql);
void ReleaseCachedStatement(sqlite3_stmt* statement);
/* Finalizes every kept statement and frees the cache (null is fine). */
void FreeStatementCache(StatementCache* cache);

/* The provider state of a connection, or null (with an ERROR record)
 * when it has none. REQUIRES: the connection's object lock is held. */
SqliteConnection* UsableHandle(const DBConnection* connection);

/* Writes the engine's message of the last failure on db at ERROR as
 * "MSG: <sqlite3_errmsg> (extended code N)\n", and marks the connection
 * broken when the failure is the file's own (I/O error, not a database,
 * corrupt). connection may be null. */
void ReportError(DBConnection* connection, sqlite3* db);

/* Prepares the next part of a statement text at *sql, moving *sql past
 * it. *statement is null when only blanks and comments were left. False
 * after the messages when the part does not prepare. */
bool PrepareNext(DBConnection* connection, sqlite3* db, const char** sql, sqlite3_stmt** statement);

/* The provider's queries (sqlite_fetch.cpp); each holds the object lock
 * on the connection. */
ResultSet* ExecuteQueryDirect(DBConnection* connection, const char* sql);
ResultSet* ExecuteQueryWithBlobs(DBConnection* connection, const char* sql, BlobConsumer consumer, void* context);

}  // namespace orv::sqlite

#endif
