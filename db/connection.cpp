/*
 * Connections and the pool, statements dispatched to a connection's
 * provider, and the statement generation front ends.
 */
#include "db/connection.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/column_value.h"
#include "datastore/relvar.h"
#include "datastore/table_defn.h"
#include "db/datasource_map.h"
#include "db/sql/dialect_record.h"
#include "platform/win32.h"
#include "util/datetime.h"

namespace orv {

Vector* gv_connectionPool = nullptr;

namespace {

/* Guards the pool's entries and their owner keys: several threads get and
 * release connections at once. */
std::mutex& PoolMutex() {
    static std::mutex* mutex = new std::mutex();
    return *mutex;
}

/* Records of connections that a renewal replaced: disconnected at once, but
 * kept until the pool is closed, since another thread sharing the
 * connection may still hold the record (its statements then fail with no
 * provider state instead of reading freed memory). Guarded by the pool
 * mutex. */
std::vector<DBConnection*>& RetiredConnections() {
    static auto* retired = new std::vector<DBConnection*>();
    return *retired;
}

const DBProvider* ProviderOf(const DBConnection* connection) {
    return connection ? GetDBProviderInSlot(connection->providerIndex) : nullptr;
}

void FreeEntry(ConnectionPoolEntry* entry) {
    if (entry == nullptr) return;
    if (entry->connections != nullptr) {
        for (VectorNode* node = ElementAt(entry->connections, 0); node != nullptr; node = node->next) {
            CloseDBConnection(static_cast<DBConnection*>(node->element));
        }
        FreeVector(entry->connections);
        free(entry->connections);
    }
    free(entry->connectionName);
    free(entry);
}

ConnectionPoolEntry* NewEntry(const char* connectionName) {
    auto* entry = static_cast<ConnectionPoolEntry*>(calloc(1, sizeof(ConnectionPoolEntry)));
    if (entry == nullptr) return nullptr;
    entry->connections = NewVector();
    if (entry->connections == nullptr || DuplicateString(&entry->connectionName, connectionName ? connectionName : "") != kDupOk) {
        FreeEntry(entry);
        return nullptr;
    }
    return entry;
}

/* The pool entry for a name: with null the only entry (allowSeveral: the
 * first). REQUIRES: the pool mutex is held. */
ConnectionPoolEntry* ChooseEntry(const char* connectionName, bool allowSeveral) {
    if (gv_connectionPool == nullptr || gv_connectionPool->count == 0) return nullptr;
    if (connectionName == nullptr) {
        if (gv_connectionPool->count > 1 && !allowSeveral) return nullptr;
        return static_cast<ConnectionPoolEntry*>(ElementAt(gv_connectionPool, 0)->element);
    }
    for (VectorNode* node = ElementAt(gv_connectionPool, 0); node != nullptr; node = node->next) {
        auto* entry = static_cast<ConnectionPoolEntry*>(node->element);
        if (strcmp(entry->connectionName, connectionName) == 0) return entry;
    }
    return nullptr;
}

int32_t OwnerKey(const ConnectionPoolEntry* entry) {
    if (entry->connections->count == 1) return 1;
    return static_cast<int32_t>(GetCurrentThreadId());
}

/* Replaces a stale or broken connection of the entry by a new one held by
 * key. REQUIRES: the pool mutex is held. */
DBConnection* Renew(ConnectionPoolEntry* entry, DBConnection* stale, int32_t key) {
    const ConnParams* params = GetConnParams(stale->connectionName);
    if (params == nullptr) {
        LogError("Cannot return connection handle. Error in fetching connection parameters.\n");
        return nullptr;
    }
    DeleteLCDVector(entry->connections, stale);
    // Disconnect it: dropping it open would leak a server connection per
    // renewal. The record itself is retired, not freed.
    const DBProvider* provider = ProviderOf(stale);
    if (provider != nullptr) provider->disconnect(stale);
    __atomic_store_n(&stale->broken, static_cast<uint8_t>(1), __ATOMIC_RELEASE);
    stale->owner = -1;
    try {
        RetiredConnections().push_back(stale);
    } catch (...) {
        // Out of memory: the small record is left behind rather than freed
        // under a thread that may hold it.
    }
    DBConnection* fresh = OpenDBConnection(params);
    if (fresh == nullptr) {
        LogError(
            "Cannot return connection handle. Error in opening connection while re-establishing connection "
            "hanlde.\n");
        return nullptr;
    }
    if (AddValue(entry->connections, fresh) != 1) {
        CloseDBConnection(fresh);
        return nullptr;
    }
    fresh->owner = key;
    LogDebug(" %s : Connection Established\n", params->connectionName);
    char* name = nullptr;
    if (DuplicateString(&name, params->connectionName) == kDupOk) {
        free(entry->connectionName);
        entry->connectionName = name;
    }
    return fresh;
}

bool Usable(const DBConnection* connection, uint32_t now) {
    return !__atomic_load_n(&connection->broken, __ATOMIC_ACQUIRE) && now - connection->openedAt <= kConnectionMaxAge;
}

/* The generator for a table's statements, or null. */
const SQLGenerator* GeneratorForTable(const char* tableName) {
    const char* connectionName = nullptr;
    if (IsDSNMapValid()) {
        connectionName = GetConnectionNameForTable(tableName);
        if (connectionName == nullptr) return nullptr;
    }
    const char* dialect = DialectNameOfConnection(connectionName);
    // In map mode a data source without a dialect gives no generator.
    if (dialect == nullptr && IsDSNMapValid()) return nullptr;
    const SQLGenerator* generator = FindSQLGenerator(dialect);
    if (generator == nullptr) LogError("No SQL generator for dialect %s\n", dialect ? dialect : "(null)");
    return generator;
}

char* Logged(char* text, const char* format) {
    if (text != nullptr) LogDebug(format, text);
    return text;
}

}  // namespace

uint32_t GetPoolClock() { return GetCurrentSeconds(); }

DBConnection* CreateDBConnectionRecord(void* providerHandle, const char* connectionName) {
    auto* connection = static_cast<DBConnection*>(calloc(1, sizeof(DBConnection)));
    if (connection == nullptr) return nullptr;
    if (DuplicateString(&connection->connectionName, connectionName ? connectionName : "") != kDupOk) {
        free(connection);
        return nullptr;
    }
    connection->providerHandle = providerHandle;
    connection->owner = -1;
    return connection;
}

void FreeDBConnectionRecord(DBConnection* connection) {
    if (connection == nullptr) return;
    free(connection->connectionName);
    free(connection);
}

DBConnection* OpenDBConnection(const ConnParams* params) {
    LogTrace("## Inside OpenDBConnection ##\n");
    if (params == nullptr) return nullptr;
    int slot = GetDBProviderIndex(params->providerName);
    // A data source's provider that is registered but not in a slot takes
    // the free slot (or another thread has just loaded it there).
    if (slot < 0) {
        LoadDBProvider(params->providerName);
        slot = GetDBProviderIndex(params->providerName);
    }
    const DBProvider* provider = GetDBProviderInSlot(slot);
    if (provider == nullptr) return nullptr;
    DBConnection* connection = provider->connect(params);
    if (connection == nullptr) return nullptr;
    connection->providerIndex = slot;
    connection->owner = -1;
    connection->inTransaction = 0;
    connection->broken = 0;
    connection->openedAt = GetPoolClock();
    return connection;
}

bool CloseDBConnection(DBConnection* connection) {
    LogTrace("@@@ Inside CloseDBConnection @@@\n");
    const DBProvider* provider = ProviderOf(connection);
    if (provider == nullptr) return false;
    provider->disconnect(connection);
    FreeDBConnectionRecord(connection);
    return true;
}

void InitConnectionPool() {
    if (gv_connectionPool == nullptr) gv_connectionPool = NewVector();
}

namespace {

bool Establish(int32_t count, bool single) {
    InitConnectionPool();
    for (VectorNode* node = gv_connParamsVect ? ElementAt(gv_connParamsVect, 0) : nullptr; node != nullptr;
         node = node->next) {
        auto* params = static_cast<ConnParams*>(node->element);
        ConnectionPoolEntry* entry = NewEntry(params->connectionName);
        if (entry == nullptr) {
            LogError("Unable to allocate memory for connection pool\n");
            return false;
        }
        for (int32_t i = 0; i < count; ++i) {
            DBConnection* connection = OpenDBConnection(params);
            if (connection == nullptr) {
                if (single) {
                    LogError("Cannot establish connection.\n");
                    FreeEntry(entry);
                    return false;
                }
                continue;
            }
            AddValue(entry->connections, connection);
            if (single) {
                LogDebug(" %s : Connection Established\n", params->connectionName);
            } else {
                LogDebug(" %d : %s : Connection Established\n", i, params->connectionName);
            }
        }
        std::lock_guard<std::mutex> guard(PoolMutex());
        if (AddValue(gv_connectionPool, entry) != 1) {
            FreeEntry(entry);
            LogError("Unable to allocate memory for connection pool\n");
            return false;
        }
    }
    return true;
}

}  // namespace

bool EstablishDBConnections() {
    LogTrace("@@@ Inside EstablishDBConnections @@@\n");
    return Establish(1, true);
}

bool EstablishDBConnectionPool(int32_t count) {
    LogTrace("@@@ Inside EstablishDBConnectionPool @@@\n");
    if (gv_connParamsVect == nullptr || gv_connParamsVect->count == 0) {
        LogError("There is no entry in data source vector\n");
        return false;
    }
    return Establish(count == 0 ? 5 : count, false);
}

DBConnection* GetDBConnection(const char* connectionName) {
    LogTrace("@@@ Inside GetDBConnection @@@\n");
    std::lock_guard<std::mutex> guard(PoolMutex());
    if (gv_connectionPool == nullptr || gv_connectionPool->count == 0) return nullptr;
    const uint32_t now = GetPoolClock();
    ConnectionPoolEntry* entry = ChooseEntry(connectionName, false);
    if (entry == nullptr || entry->connections->count == 0) return nullptr;
    const int32_t key = OwnerKey(entry);
    for (VectorNode* node = ElementAt(entry->connections, 0); node != nullptr; node = node->next) {
        auto* connection = static_cast<DBConnection*>(node->element);
        if (connection->owner == key) return Usable(connection, now) ? connection : Renew(entry, connection, key);
    }
    for (VectorNode* node = ElementAt(entry->connections, 0); node != nullptr; node = node->next) {
        auto* connection = static_cast<DBConnection*>(node->element);
        if (connection->owner == -1) {
            connection->owner = key;
            return Usable(connection, now) ? connection : Renew(entry, connection, key);
        }
    }
    return nullptr;
}

bool ReleaseDBConnection(const char* connectionName) {
    LogTrace("@@@ Inside ReleaseDBConnection @@@\n");
    std::lock_guard<std::mutex> guard(PoolMutex());
    ConnectionPoolEntry* entry = ChooseEntry(connectionName, true);
    if (entry == nullptr || entry->connections->count == 0) return false;
    const int32_t key = OwnerKey(entry);
    for (VectorNode* node = ElementAt(entry->connections, 0); node != nullptr; node = node->next) {
        auto* connection = static_cast<DBConnection*>(node->element);
        if (connection->owner == key) {
            connection->owner = -1;
            return true;
        }
    }
    return false;
}

void CloseAllDBConnections() {
    LogTrace("@@@ Inside CloseAllDBConnections @@@\n");
    std::lock_guard<std::mutex> guard(PoolMutex());
    if (gv_connectionPool == nullptr) return;
    for (VectorNode* node = ElementAt(gv_connectionPool, 0); node != nullptr; node = node->next) {
        FreeEntry(static_cast<ConnectionPoolEntry*>(node->element));
    }
    FreeVector(gv_connectionPool);
    for (DBConnection* retired : RetiredConnections()) FreeDBConnectionRecord(retired);
    RetiredConnections().clear();
}

namespace {

/* The one dispatcher of the statement calls: logs "@@@ Inside <what> @@@"
 * at TRACE; a missing connection ("ConnectionHandle NULL in <what> for
 * Query <sql> \n") or statement (noStatement) is an ERROR and gives
 * failed, and so does a connection whose provider is no longer in its
 * slot; otherwise the result of call(provider). Registered providers have
 * every function (RegisterDBProvider). */
template <typename Result, typename Call>
Result Dispatch(const char* what, const char* noStatement, DBConnection* connection, const char* sql, Result failed,
                Call call) {
    LogTrace("@@@ Inside %s @@@\n", what);
    if (connection == nullptr) {
        LogError("ConnectionHandle NULL in %s for Query %s \n", what, sql ? sql : "(null)");
        return failed;
    }
    if (sql == nullptr) {
        LogError("%s", noStatement);
        return failed;
    }
    const DBProvider* provider = ProviderOf(connection);
    return provider != nullptr ? call(*provider) : failed;
}

constexpr const char* kNoUpdate = " No Query To be Updated \n";
constexpr const char* kNoQuery = " No Query To be Executed \n";

}  // namespace

uint8_t ExecuteUpdate(DBConnection* connection, const char* sql) {
    return Dispatch<uint8_t>("ExecuteUpdate", kNoUpdate, connection, sql, 0,
                             [&](const DBProvider& p) { return p.executeUpdate(connection, sql); });
}

uint8_t ExecuteUpdateBlob(DBConnection* connection, const char* sql, BlobSupplier supplier, void* context) {
    return Dispatch<uint8_t>("ExecuteUpdateBlob", kNoUpdate, connection, sql, 0, [&](const DBProvider& p) {
        return p.executeUpdateBlob(connection, sql, supplier, context);
    });
}

ResultSet* ExecuteQuery(DBConnection* connection, const char* sql) {
    return Dispatch<ResultSet*>("ExecuteQuery", kNoQuery, connection, sql, nullptr,
                                [&](const DBProvider& p) { return p.executeQuery(connection, sql); });
}

ResultSet* ExecuteQueryBlob(DBConnection* connection, const char* sql, BlobConsumer consumer, void* context) {
    return Dispatch<ResultSet*>("ExecuteQueryBlob", kNoQuery, connection, sql, nullptr, [&](const DBProvider& p) {
        return p.executeQueryBlob(connection, sql, consumer, context);
    });
}

uint8_t BeginTransaction(DBConnection* connection) {
    LogTrace("@@@ Inside BeginTransaction @@@\n");
    const DBProvider* provider = ProviderOf(connection);
    if (provider == nullptr) return 0;
    uint8_t ok = provider->beginTransaction(connection);
    if (ok) connection->inTransaction = 1;
    return ok;
}

uint8_t CommitTransaction(DBConnection* connection) {
    LogTrace("@@@ Inside CommitTransaction @@@\n");
    if (connection == nullptr || connection->inTransaction != 1) return 0;
    const DBProvider* provider = ProviderOf(connection);
    uint8_t ok = provider != nullptr ? provider->commitTransaction(connection) : 0;
    connection->inTransaction = 0;
    return ok;
}

uint8_t RollbackTransaction(DBConnection* connection) {
    LogTrace("@@@ Inside RollbackTransaction @@@\n");
    if (connection == nullptr || connection->inTransaction != 1) return 0;
    const DBProvider* provider = ProviderOf(connection);
    uint8_t ok = provider != nullptr ? provider->rollbackTransaction(connection) : 0;
    connection->inTransaction = 0;
    return ok;
}

const char* GetConnectionNameForTable(const char* tableName) {
    DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
    if (entry == nullptr) {
        LogError("No DataSourceMap Entry for Table name %s \n", tableName ? tableName : "(null)");
        return nullptr;
    }
    return entry->connectionName;
}

char* GenerateSelectQuery(const SelectQuery* query) {
    LogTrace("@@@ Inside GenerateSelectQuery @@@\n");
    if (query == nullptr) return nullptr;
    const char* table = GetSelectQueryFirstTable(query);
    if (table == nullptr && IsDSNMapValid()) {
        LogError("No Tables selected in select query.\n");
        return nullptr;
    }
    const SQLGenerator* generator = GeneratorForTable(table);
    if (generator == nullptr || generator->generateSelect == nullptr) return nullptr;
    return Logged(generator->generateSelect(query), "Generated Select Query: %s\n");
}

char* GenerateUpdateQuery(const char* tableName, const RowObject* row) {
    LogTrace("@@@ Inside GenerateUpdateQuery @@@\n");
    const SQLGenerator* generator = GeneratorForTable(tableName);
    if (generator == nullptr || generator->generateUpdate == nullptr) return nullptr;
    return Logged(generator->generateUpdate(tableName, row), "Generated Update Query: %s\n");
}

char* GenerateInsertQuery(const char* tableName, const RowObject* row) {
    LogTrace("@@@ Inside GenerateInsertQuery @@@\n");
    const SQLGenerator* generator = GeneratorForTable(tableName);
    if (generator == nullptr || generator->generateInsert == nullptr) return nullptr;
    return Logged(generator->generateInsert(tableName, row), "Generated Insert Query: %s\n");
}

char* GenerateDeleteQuery(const char* tableName, const RowObject* row) {
    LogTrace("@@@ Inside GenerateDeleteQuery @@@\n");
    const SQLGenerator* generator = GeneratorForTable(tableName);
    if (generator == nullptr || generator->generateDelete == nullptr) return nullptr;
    return Logged(generator->generateDelete(tableName, row), "Generated Delete Query: %s\n");
}

char* GenerateCreateTableQuery(const char* tableName) {
    LogTrace("@@@ Inside GenerateCreateTableQuery @@@\n");
    const SQLGenerator* generator = GeneratorForTable(tableName);
    if (generator == nullptr || generator->generateCreateTable == nullptr) return nullptr;
    return Logged(generator->generateCreateTable(tableName), "Generated Create Table Query: %s\n");
}

RowObject* ConvertResultSet(ResultSet* set, const char* dialectName, const char* tableName) {
    LogTrace("@@@ Inside ConvertResultSet @@@\n");
    const SQLGenerator* generator = FindSQLGenerator(dialectName);
    if (generator == nullptr || generator->convertResultSet == nullptr) return nullptr;
    return generator->convertResultSet(set, tableName);
}

namespace {

/* Runs one create statement on the table's data source. */
bool RunCreate(char* sql, const char* connectionName) {
    if (sql == nullptr) return false;
    DBConnection* connection = GetDBConnection(connectionName);
    uint8_t ok = ExecuteUpdate(connection, sql);
    if (connection != nullptr) ReleaseDBConnection(connectionName);
    free(sql);
    return ok == 1;
}

}  // namespace

bool CreateTables() {
    LogTrace("@@@ Inside CreateTables @@@\n");
    Vector* defns = GetTableDefnList();
    for (VectorNode* node = defns ? ElementAt(defns, 0) : nullptr; node != nullptr; node = node->next) {
        auto* defn = static_cast<TableDefn*>(node->element);
        const char* connectionName = IsDSNMapValid() ? GetConnectionNameForTable(defn->name) : nullptr;
        if (!RunCreate(GenerateCreateTableQuery(defn->name), connectionName)) return false;
    }
    return true;
}

bool CreateTableOnConnection(const char* tableName, const char* connectionName) {
    LogTrace("@@@ Inside CreateTableOnConnection @@@\n");
    const char* dialect = DialectNameOfConnection(connectionName);
    const SQLGenerator* generator = FindSQLGenerator(dialect);
    if (generator == nullptr || generator->generateCreateTable == nullptr) {
        LogError("No SQL generator for dialect %s\n", dialect ? dialect : "(null)");
        return false;
    }
    char* sql = Logged(generator->generateCreateTable(tableName), "Generated Create Table Query: %s\n");
    return RunCreate(sql, connectionName);
}

bool CreateDB(const char* databaseName) {
    LogTrace("@@ Inside CreateDB @@\n");
    DBConnection* connection = GetDBConnection(nullptr);
    if (connection == nullptr) {
        LogError("Cannot create DB.  Connection not established.\n");
        return false;
    }
    // The name goes into the statement as written: only a plain identifier
    // of at most 19 characters can be one.
    const bool plain = IsPlainSqlIdentifier(databaseName) && strlen(databaseName) <= 19;
    uint8_t ok = 0;
    if (plain) {
        std::string sql = std::string("create database ") + databaseName;
        ok = ExecuteUpdate(connection, sql.c_str());
    }
    ReleaseDBConnection(nullptr);
    if (!ok) LogError("Cannot create database %s.\n", databaseName ? databaseName : "(null)");
    return ok == 1;
}

namespace {

/* A float column's value from a cell of another number type, converted
 * directly (a float's text through "%f" would lose small values and
 * digits); null when the cell is not an integer or float. */
void* NumberCellAsFloat(const void* data, int32_t length, uint8_t from, uint8_t to, int32_t* outLength) {
    double value = 0.0;
    bool isSigned = false;
    if (from == ORV_SQL_DOUBLE && length >= 8) {
        memcpy(&value, data, 8);
    } else if ((from == ORV_SQL_FLOAT || from == ORV_SQL_REAL) && length >= 4) {
        float single;
        memcpy(&single, data, 4);
        value = single;
    } else if (IsIntegerType(from, &isSigned) && length >= GetStoredWidth(from)) {
        const int32_t width = GetStoredWidth(from);
        uint64_t bits = 0;
        memcpy(&bits, data, static_cast<size_t>(width));  // little-endian: the low bytes
        if (isSigned && width < 8 && (bits >> (width * 8 - 1)) != 0) bits |= ~uint64_t{0} << (width * 8);
        value = isSigned ? static_cast<double>(static_cast<int64_t>(bits)) : static_cast<double>(bits);
    } else {
        return nullptr;
    }
    auto* block = static_cast<char*>(calloc(1, 9));
    if (block == nullptr) return nullptr;
    if (to == ORV_SQL_DOUBLE) {
        memcpy(block, &value, 8);
        *outLength = 8;
    } else {
        float single = static_cast<float>(value);
        memcpy(block, &single, 4);
        *outLength = 4;
    }
    return block;
}

/* The value of an integer cell, sign-extended or zero-extended to 64
 * bits; *negative tells a signed value below zero. */
uint64_t IntegerCellBits(const void* data, uint8_t from, bool* negative) {
    bool isSigned = false;
    IsIntegerType(from, &isSigned);
    const int32_t width = GetStoredWidth(from);
    uint64_t bits = 0;
    memcpy(&bits, data, static_cast<size_t>(width));  // little-endian: the low bytes
    *negative = isSigned && (bits >> (width * 8 - 1)) != 0;
    if (*negative && width < 8) bits |= ~uint64_t{0} << (width * 8);
    return bits;
}

/* An integer column's value from an integer cell of another width, or
 * null with an ERROR record naming the column when the value does not fit
 * the column's type (it is never wrapped). */
void* IntegerCellInto(const void* data, int32_t length, uint8_t from, const ColumnDefnEntry* column,
                      int32_t* outLength) {
    if (length < GetStoredWidth(from)) return nullptr;
    bool negative = false;
    const uint64_t bits = IntegerCellBits(data, from, &negative);
    bool toSigned = false;
    IsIntegerType(column->type, &toSigned);
    const int32_t width = GetStoredWidth(column->type);
    const unsigned shift = static_cast<unsigned>(width * 8 - 1);
    bool fits;
    if (toSigned) {
        // In range when every bit above the sign bit repeats it.
        const uint64_t high = width == 8 ? 0 : bits >> shift;
        const bool signedValue = negative || (bits >> 63) == 0;
        fits = signedValue && (width == 8 || high == 0 || high == (~uint64_t{0} >> shift));
    } else {
        fits = !negative && (width == 8 || (bits >> (shift + 1)) == 0);
    }
    if (!fits) {
        char* text = ConvertColumnValueToString(data, from);
        LogError("The value %s does not fit column %s\n", text != nullptr ? text : "?",
                 column->name != nullptr ? column->name : "?");
        free(text);
        return nullptr;
    }
    auto* block = static_cast<char*>(calloc(1, static_cast<size_t>(width) + 1));
    if (block == nullptr) return nullptr;
    memcpy(block, &bits, static_cast<size_t>(width));  // little-endian: the low bytes
    *outLength = width;
    return block;
}

}  // namespace

RowObject* ResultSetRowToRowObject(ResultSet* set, const char* tableName) {
    TableDefn* defn = GetTableDefn(tableName);
    if (set == nullptr || set->cursor == nullptr || defn == nullptr || defn->columns == nullptr) return nullptr;
    const int32_t n = defn->columns->count;
    auto** values = static_cast<void**>(calloc(n > 0 ? static_cast<size_t>(n) : 1, sizeof(void*)));
    auto* lengths = static_cast<int32_t*>(calloc(n > 0 ? static_cast<size_t>(n) : 1, sizeof(int32_t)));
    if (values == nullptr || lengths == nullptr) {
        free(values);
        free(lengths);
        return nullptr;
    }
    int32_t i = 0;
    bool refused = false;
    for (VectorNode* node = ElementAt(defn->columns, 0); node != nullptr && i < n; node = node->next, ++i) {
        auto* column = static_cast<ColumnDefnEntry*>(node->element);
        int32_t index = GetResultSetColumnIndex(set, column->name);
        ResultCell* cell = GetResultSetCell(set, index);
        if (cell == nullptr || cell->data == nullptr) continue;
        const uint8_t from = set->columns[index].type;
        if (from != column->type && IsFloatType(column->type) && (IsFloatType(from) || IsIntegerType(from))) {
            values[i] = NumberCellAsFloat(cell->data, cell->length, from, column->type, &lengths[i]);
        } else if (from != column->type && IsIntegerType(column->type) && IsIntegerType(from)) {
            values[i] = IntegerCellInto(cell->data, cell->length, from, column, &lengths[i]);
            if (values[i] == nullptr) {
                refused = true;
                break;
            }
        } else {
            values[i] = ConvertCellValue(cell->data, cell->length, from, column->type, &lengths[i]);
        }
    }
    RowObject* row = refused ? nullptr : CreateNewRowObject(values, lengths);
    if (row == nullptr) {
        for (int32_t j = 0; j < n; ++j) free(values[j]);
        free(values);
        free(lengths);
        return nullptr;
    }
    row->state = kRowStored;
    return row;
}

}  // namespace orv
