/*
 * Internals shared by the files of the ODBC provider (odbc_provider.cpp,
 * odbc_fetch.cpp, odbc_diag.cpp, odbc_dsn.cpp): the provider's own state of
 * a connection, the reading of ODBC diagnostics with the connection's
 * health check, and a growing byte buffer.
 *
 * Not part of the library's interface.
 */
#ifndef ORV_DB_ODBC_INTERNAL_H
#define ORV_DB_ODBC_INTERNAL_H

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>

#include "db/connection.h"

namespace orv::odbc {

/* The provider handle of a connection: its own environment and connection
 * handle (an environment is never shared between connections), and the
 * password it was opened with, kept only to scrub it out of driver
 * messages. */
struct OdbcConnection {
    SQLHENV env;
    SQLHDBC dbc;
    char* secret;           /* the password, or null */
    int8_t needLongDataLen; /* SQL_NEED_LONG_DATA_LEN: -1 not asked yet, 0 "N", 1 "Y" */
};

/* The provider state of a connection, or null when it has none. */
OdbcConnection* HandleOf(const DBConnection* connection);

/* How ReportFailure writes the records: one line "STATE: %s NAT: %ld MSG:
 * %s\n" per record, or, for the transaction operations, the lines "Error in
 * starting transaction\n", "STATE: %s\n", "NAT: %ld\n" and "MSG: %s\n" of
 * the first record. */
enum class DiagStyle { kStatement, kTransaction };

/* Reads every diagnostic record of a handle after a failed call, writes
 * them at ERROR (the connection's password scrubbed out of each message),
 * and marks the connection broken when a record names a connection-level
 * failure or the driver reports the connection dead. connection may be
 * null (then the records are only written). */
void ReportFailure(DBConnection* connection, SQLSMALLINT handleType, SQLHANDLE handle,
                   DiagStyle style = DiagStyle::kStatement);

/* As ReportFailure, with the secret given directly and no connection
 * (while connecting). */
void ReportConnectFailure(const char* secret, SQLSMALLINT handleType, SQLHANDLE handle);

/* True for a SQLSTATE and native error that mean the connection itself is
 * lost: class 08, the server's shutdown states 57P01, 57P02 and 57P03, and
 * the client errors 2006 (server has gone away) and 2013 (lost
 * connection) under an HY state. */
bool IsConnectionLevelFailure(const char* sqlState, SQLINTEGER nativeError);

/* Marks a connection broken (the pool renews it on its next hand-out). */
void MarkBroken(DBConnection* connection);

/* A copy of a text for a message: every occurrence of secret replaced by
 * "****", and PWD= / PASSWORD= values masked. Null when memory runs out. */
char* ScrubText(const char* text, const char* secret);

/* Closes and frees a statement handle whatever state it is in (a
 * statement waiting for data is cancelled first). */
void FreeStatement(SQLHSTMT statement);

/* The provider's query operations (odbc_fetch.cpp). */
ResultSet* ExecuteQueryDirect(DBConnection* connection, const char* sql);
ResultSet* ExecuteQueryWithBlobs(DBConnection* connection, const char* sql, BlobConsumer consumer, void* context);

/* A byte buffer that grows; the content is always followed by a zero
 * byte once anything was reserved. Functions return false when memory
 * runs out. */
struct ByteBuffer {
    char* data = nullptr;
    size_t size = 0;
    size_t capacity = 0; /* bytes usable for content (one more is allocated) */
};
bool Reserve(ByteBuffer* buffer, size_t capacity);
bool Append(ByteBuffer* buffer, const void* bytes, size_t length);
bool AppendText(ByteBuffer* buffer, const char* text);
/* Hands the block over (the caller frees it) and empties the buffer. */
char* TakeBuffer(ByteBuffer* buffer);
void Release(ByteBuffer* buffer);

}  // namespace orv::odbc

#endif
