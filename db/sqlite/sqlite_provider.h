/*
 * The SQLite provider: the provider table "SQLITE", which reaches a SQLite
 * database file through libsqlite3 itself, without ODBC. A data source's
 * dsnName (or, with useConnString, its connString) names the file; it is
 * created when absent. ":memory:" gives a private in-memory database.
 * User and password are not used.
 *
 * Several processes share one file: the journal is written ahead (WAL), a
 * statement that finds the file locked waits up to kSqliteBusyTimeoutMs,
 * and BeginTransaction takes the write lock at once (BEGIN IMMEDIATE), so
 * two writers never deadlock on the upgrade from a read lock.
 *
 * Values are read by the type SQLite stored, never through text: integers
 * in 64 bits, doubles bit for bit, blobs as bytes, texts whole.
 *
 * Thread-safe in the way the other providers are: any thread may use a
 * connection (statements on one connection are serialised with the object
 * lock keyed by the DBConnection); the provider table is constant.
 */
#ifndef ORV_DB_SQLITE_PROVIDER_H
#define ORV_DB_SQLITE_PROVIDER_H

#include <cstdint>

#include "db/provider.h"

namespace orv {

/* How long a statement waits for a lock held by another connection. */
constexpr int kSqliteBusyTimeoutMs = 10000;

const DBProvider* GetSqliteProvider();

/* The library type code of a column by its declared type (as CREATE TABLE
 * wrote it, any case), or 0 when the declaration says nothing the library
 * maps (an expression, or no type): then the stored values decide.
 *   ...BOOL...                      19 boolean
 *   ...INT...                       7 bigint (SQLite keeps 64 bits)
 *   REAL, DOUBLE, FLOAT             10 double (SQLite keeps 8 bytes)
 *   DECIMAL..., NUMERIC...          12, 13 (their text)
 *   DATETIME, TIMESTAMP / DATE / TIME   18 / 16 / 17
 *   CHAR(n) / other ...CHAR...      14 / 15
 *   TEXT, CLOB                      22
 *   BLOB                            20 */
uint8_t MapSqliteDeclaredType(const char* declared);

}  // namespace orv

#endif
