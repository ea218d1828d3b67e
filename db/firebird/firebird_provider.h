/*
 * The Firebird provider: the provider table "FIREBIRD", which reaches a
 * Firebird database through its client library (libfbclient) without
 * ODBC. A data source's dsnName (or, with useConnString, its connString)
 * names the database: a file path for the embedded engine, or
 * "host:path" / "host/port:path" for a server. User and password come
 * from the data source; the connection character set is UTF8.
 *
 * Firebird has no autocommit: outside BeginTransaction each statement runs
 * in a transaction of its own that is committed at once (rolled back when
 * the statement fails). Statements on one connection are serialised with
 * the object lock keyed by the DBConnection.
 *
 * Thread-safe in the way the ODBC provider is: any thread may use a
 * connection; the provider table is constant.
 */
#ifndef ORV_DB_FIREBIRD_PROVIDER_H
#define ORV_DB_FIREBIRD_PROVIDER_H

#include <cstdint>

#include "db/provider.h"

namespace orv {

const DBProvider* GetFirebirdProvider();

/* The library type code of a Firebird column: its SQL type (the XSQLVAR
 * sqltype with the nullable bit), subtype (the character set for texts,
 * the blob subtype for blobs, 1 NUMERIC / 2 DECIMAL for scaled integers)
 * and scale. SMALLINT 3, INTEGER 5, BIGINT 7 (with a negative scale:
 * DECIMAL 12, NUMERIC 13), FLOAT 11 (single precision), DOUBLE PRECISION
 * 10, CHAR 14, VARCHAR 15 (in character set OCTETS: 20), text BLOB 22,
 * other BLOB 20, DATE 16, TIME 17, TIMESTAMP 18, BOOLEAN 19; 0 for any
 * other. */
uint8_t MapFirebirdType(int32_t sqlType, int32_t subType, int32_t scale);

}  // namespace orv

#endif
