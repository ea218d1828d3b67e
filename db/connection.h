/*
 * Connections and the connection pool, statements on a connection, and the
 * statement generation front ends.
 *
 * The pool holds, per data source, a list of connections. A connection is
 * free (owner -1) or held by a key: the calling thread's id, or 1 when its
 * data source has a single connection (then every thread shares it).
 * Connections are renewed on hand-out when older than 27900 seconds or
 * when a statement found the connection itself broken (a connection-level
 * SQLSTATE: class 08, or a server shutdown state).
 *
 * Thread-safety: any thread may get, release and use connections; the pool
 * is guarded by a lock of its own; a provider serialises statements on one
 * connection.
 */
#ifndef ORV_DB_CONNECTION_H
#define ORV_DB_CONNECTION_H

#include <cstdint>

#include "datastore/row_object.h"
#include "db/connparams.h"
#include "db/provider.h"
#include "db/result_set.h"
#include "db/select_query.h"

namespace orv {

/* Age in seconds up to which a connection is handed out unrenewed. */
constexpr uint32_t kConnectionMaxAge = 27900;

struct DBConnection {
    void* providerHandle;  /* the provider's own state */
    char* connectionName;  /* copy of the data source's connectionName */
    int32_t providerIndex; /* slot of the provider that opened it */
    int32_t owner;         /* -1 free, else the holder's key */
    uint8_t inTransaction;
    uint32_t openedAt;     /* seconds since 1970-01-01 UTC */
    uint8_t broken;        /* set by the provider on a connection-level failure */
};

struct ConnectionPoolEntry {
    char* connectionName;
    Vector* connections; /* of DBConnection */
};

/* The pool (of ConnectionPoolEntry). */
extern Vector* gv_connectionPool;

/* A new record for a provider's connect: the handle and a copy of the
 * name; the other fields are filled by OpenDBConnection. */
DBConnection* CreateDBConnectionRecord(void* providerHandle, const char* connectionName);
/* Frees the record and its name (not the provider's state). */
void FreeDBConnectionRecord(DBConnection* connection);

DBConnection* OpenDBConnection(const ConnParams* params);
bool CloseDBConnection(DBConnection* connection);
bool EstablishDBConnections();
bool EstablishDBConnectionPool(int32_t count);
DBConnection* GetDBConnection(const char* connectionName);
bool ReleaseDBConnection(const char* connectionName);
void CloseAllDBConnections();
/* Makes the pool an empty list. */
void InitConnectionPool();

/* The clock the pool measures age by (seconds since 1970). */
uint32_t GetPoolClock();

uint8_t ExecuteUpdate(DBConnection* connection, const char* sql);
uint8_t ExecuteUpdateBlob(DBConnection* connection, const char* sql, BlobSupplier supplier, void* context);
ResultSet* ExecuteQuery(DBConnection* connection, const char* sql);
ResultSet* ExecuteQueryBlob(DBConnection* connection, const char* sql, BlobConsumer consumer, void* context);
uint8_t BeginTransaction(DBConnection* connection);
uint8_t CommitTransaction(DBConnection* connection);
uint8_t RollbackTransaction(DBConnection* connection);

char* GenerateSelectQuery(const SelectQuery* query);
char* GenerateUpdateQuery(const char* tableName, const RowObject* row);
char* GenerateInsertQuery(const char* tableName, const RowObject* row);
char* GenerateDeleteQuery(const char* tableName, const RowObject* row);
char* GenerateCreateTableQuery(const char* tableName);
RowObject* ConvertResultSet(ResultSet* set, const char* dialectName, const char* tableName);
const char* GetConnectionNameForTable(const char* tableName);
bool CreateTables();
bool CreateTableOnConnection(const char* tableName, const char* connectionName);
bool CreateDB(const char* databaseName);

/* The current row of a result set as a new row of the table: each column
 * of the definition takes the cell of the same name (without regard to
 * case), converted to the column's type; columns without a cell stay
 * missing. The row's state is "stored". An integer cell goes into an
 * integer column of another width only when its value fits the column's
 * type; otherwise the row is refused (null) with an ERROR record naming
 * the column, never wrapped. Null when the table is unknown, there is no
 * current row, or memory runs out. */
RowObject* ResultSetRowToRowObject(ResultSet* set, const char* tableName);

}  // namespace orv

#endif
