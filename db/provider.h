/*
 * Database providers and SQL generators: tables of functions registered by
 * name. Up to kProviderSlots providers are loaded into provider slots; connections
 * remember the slot that opened them. Generators are chosen per dialect.
 *
 * The registries and slots are filled at start-up and only read
 * afterwards; filling them is not thread-safe.
 */
#ifndef ORV_DB_PROVIDER_H
#define ORV_DB_PROVIDER_H

#include <cstdint>

#include "datastore/row_object.h"
#include "db/result_set.h"

namespace orv {

struct ConnParams;
struct DBConnection;
struct SelectQuery;

/* A blob supplier fills *data and *length with the next chunk (which it
 * keeps owning) and returns 2 when there is no further chunk (then the
 * chunk it filled, if any, is not used). */
typedef uint8_t (*BlobSupplier)(void** data, int32_t* length, void* context);

/* A blob consumer gets each chunk of a blob cell, then a null pointer and
 * length 0 after the cell's last chunk. */
typedef void (*BlobConsumer)(const void* data, int32_t length, void* context);

struct DBProvider {
    const char* name;
    DBConnection* (*connect)(const ConnParams* params);
    uint8_t (*executeUpdate)(DBConnection* connection, const char* sql);
    ResultSet* (*executeQuery)(DBConnection* connection, const char* sql);
    uint8_t (*disconnect)(DBConnection* connection);
    uint8_t (*beginTransaction)(DBConnection* connection);
    uint8_t (*commitTransaction)(DBConnection* connection);
    uint8_t (*rollbackTransaction)(DBConnection* connection);
    uint8_t (*executeUpdateBlob)(DBConnection* connection, const char* sql, BlobSupplier supplier, void* context);
    ResultSet* (*executeQueryBlob)(DBConnection* connection, const char* sql, BlobConsumer consumer,
                                   void* context);
};

struct SQLGenerator {
    const char* name;
    char* (*generateSelect)(const SelectQuery* query);
    char* (*generateUpdate)(const char* tableName, const RowObject* row);
    char* (*generateInsert)(const char* tableName, const RowObject* row);
    char* (*generateDelete)(const char* tableName, const RowObject* row);
    char* (*generateCreateTable)(const char* tableName);
    RowObject* (*convertResultSet)(ResultSet* set, const char* tableName);
};

/* Dialect names in index order (0 MYSQL, 1 PGSQL, 2 FIREBIRD, 3 SQLITE). */
extern const char* const kDialectNames[4];

/* The provider slots: InitDBProvider loads "ODBC" into slot 0 and "SQLITE"
 * into slot 1; a data source whose provider is registered but in no slot
 * ("FIREBIRD") is loaded into the free slot at its first connection. */
constexpr int kProviderSlots = 3;

/* Appends a provider to the registry. False for a provider without a name
 * or without any one of its functions (a provider is checked here once,
 * so that the statement calls need not check it again), or when memory
 * runs out. */
bool RegisterDBProvider(const DBProvider* provider);

/* Registers the built-in providers, loads "ODBC" into slot 0 and prepares
 * the empty connection parameters and pool. False, with "InitDBProvider
 * Failed as already initialized\n", when slot 0 is filled already. */
bool InitDBProvider();
/* Empties the slots and the registry (the library can be started again). */
void DeInitDBProvider();

/* Puts the registered provider of that name (exact) into the first empty
 * slot; false when every slot is filled or none has that name. */
bool LoadDBProvider(const char* name);
bool LoadDefaultDBProvider();
bool UnloadDBProvider(const char* name);
/* The slot of the loaded provider of that name, or -1. */
int GetDBProviderIndex(const char* name);
/* The provider in a slot, or null. */
const DBProvider* GetDBProviderInSlot(int slot);

void InitSQLGenerators();
void DeInitSQLGenerators();
bool RegisterSQLGenerator(const SQLGenerator* generator);
/* The first generator of that name (without regard to case), or null. */
const SQLGenerator* FindSQLGenerator(const char* name);

}  // namespace orv

#endif
