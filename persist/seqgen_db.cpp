/*
 * The database half of the sequence generator: the SeqGenState table of
 * every data source and the batches taken from it.
 */
#include "persist/seqgen_db.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "datastore/seqgen.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/sql/dialect_record.h"
#include "db/transaction_guard.h"
#include "persist/sql_text.h"

namespace orv {

namespace {

/* Times a batch is asked for again when a new sequence's insert lost the
 * race to another process (which inserted the row first). */
constexpr int kSeqGenAttempts = 5;

/* Statements end as the dialect's generator ends them (";", or nothing
 * for MYSQL). */
void EndStatement(const SqlDialect* dialect, std::string* sql) { *sql += dialect->statementEnd; }

std::string SelectSql(const SqlDialect* dialect, const char* name) {
    std::string sql = "select * from SeqGenState where SEQNAME = ";
    AppendSqlTextLiteral(*dialect, name, &sql);
    EndStatement(dialect, &sql);
    return sql;
}

/* OUT *end: CURRENTBATCHEND of the first row of the set. False when the
 * set has no row (*found false) or the value is no integer. */
bool ReadBatchEnd(ResultSet* set, bool* found, int32_t* end) {
    *found = ResultSetNext(set) != nullptr;
    if (!*found) return false;
    int32_t length = 0;
    void* data = GetResultSetValue(set, "CURRENTBATCHEND", &length);
    if (data == nullptr) return false;
    int32_t width = 0;
    void* value = ConvertCellValue(data, length, GetResultSetColumnType(set, "CURRENTBATCHEND"), ORV_SQL_INT, &width);
    if (value == nullptr) return false;
    memcpy(end, value, sizeof(int32_t));
    free(value);
    return true;
}

/* What one attempt at a batch gave. */
enum class BatchOutcome { kTaken, kFailed, kRetry };

/* Reads CURRENTBATCHEND of the sequence: false (after its ERROR line) when
 * the statement fails; *found false without a row. */
bool SelectBatchEnd(DBConnection* connection, const std::string& select, bool* found, bool* read, int32_t* end) {
    LogTrace("Query %s\n", select.c_str());
    ResultSet* set = ExecuteQuery(connection, select.c_str());
    if (set == nullptr) {
        LogError("Table doesn't Exists for UpdateSeqGen\n");
        return false;
    }
    *read = ReadBatchEnd(set, found, end);
    FreeResultSet(set);
    return true;
}

/* One transaction: raise the end of the sequence by a batch and read it
 * back; without a row, insert the sequence with the first batch.
 * Where another process may insert the row between an update that found
 * nothing and the read after it (every engine but SQLite, whose update
 * holds the database's write lock to the end of the transaction), the row
 * is looked up first and raised only when it was there: otherwise the
 * other process's first batch would be read as this one's and handed out
 * twice. A row that exists when the update runs is raised by it (the
 * update waits for any other writer of the row), and the read after it
 * sees this transaction's own value.
 * REQUIRES: transaction was begun (made or restarted) for this attempt. */
BatchOutcome TakeBatch(TransactionGuard* transaction, const SqlDialect* dialect, const char* name) {
    DBConnection* connection = transaction->connection();
    std::string literal;
    AppendSqlTextLiteral(*dialect, name, &literal);
    std::string update = "update SeqGenState set CURRENTBATCHEND = CURRENTBATCHEND + " +
                         std::to_string(kSeqGenBatchSize) + " where SEQNAME = " + literal;
    EndStatement(dialect, &update);
    const std::string select = SelectSql(dialect, name);
    const bool raiseFirst = dialect->updateLocksDatabase;

    if (!transaction->open()) {
        LogError("Cannot begin the transaction of UpdateSeqGen\n");
        return BatchOutcome::kFailed;
    }
    bool found = false;
    bool read = false;
    int32_t end = 0;
    if (!raiseFirst && !SelectBatchEnd(connection, select, &found, &read, &end)) {
        transaction->Rollback();
        return BatchOutcome::kFailed;
    }
    if (raiseFirst || found) {
        LogTrace("Update Query %s\n", update.c_str());
        if (ExecuteUpdate(connection, update.c_str()) != 1) {
            transaction->Rollback();
            // Tell a missing table from a failing update.
            ResultSet* probe = ExecuteQuery(connection, select.c_str());
            if (probe == nullptr) {
                LogError("Table doesn't Exists for UpdateSeqGen\n");
            } else {
                FreeResultSet(probe);
                LogError("ExecuteUpdate Failed for update\n");
            }
            return BatchOutcome::kFailed;
        }
        const bool wasThere = found;
        if (!SelectBatchEnd(connection, select, &found, &read, &end)) {
            transaction->Rollback();
            return BatchOutcome::kFailed;
        }
        if (wasThere && !found) {
            LogError("Sequence %s vanished while its batch was taken\n", name);
            transaction->Rollback();
            return BatchOutcome::kFailed;
        }
    }
    if (found) {
        if (!read) {
            LogError("CURRENTBATCHEND of sequence %s is not a number\n", name);
            transaction->Rollback();
            return BatchOutcome::kFailed;
        }
        if (!transaction->Commit()) {
            LogError("Cannot commit the batch of sequence %s\n", name);
            return BatchOutcome::kFailed;
        }
        return SetSeqGenBatch(name, end - kSeqGenBatchSize + 1, end) ? BatchOutcome::kTaken : BatchOutcome::kFailed;
    }
    std::string insert = "insert into SeqGenState values (" + literal + "," + std::to_string(kSeqGenBatchSize) + ")";
    EndStatement(dialect, &insert);
    LogTrace("Insert Query %s\n", insert.c_str());
    if (ExecuteUpdate(connection, insert.c_str()) != 1) {
        // Another process may have inserted the row since our update: the
        // primary key refused ours; the next attempt updates that row.
        LogError("ExecuteUpdate Failed for insert\n");
        transaction->Rollback();
        return BatchOutcome::kRetry;
    }
    if (!transaction->Commit()) {
        LogError("Cannot commit the batch of sequence %s\n", name);
        return BatchOutcome::kRetry;
    }
    return SetSeqGenBatch(name, 1, kSeqGenBatchSize) ? BatchOutcome::kTaken : BatchOutcome::kFailed;
}

/* The connection name of a table's sequences: the table's data source in
 * map mode, the first data source without a table; null (the default
 * connection) otherwise. False when map mode knows no data source. */
bool SequenceConnection(const char* tableName, const char** connectionName) {
    *connectionName = nullptr;
    if (!IsDSNMapValid()) return true;
    *connectionName = tableName != nullptr ? GetConnectionNameForTable(tableName) : GetDefaultConnectionName();
    return *connectionName != nullptr;
}

}  // namespace

bool CreateSeqGenStateTable(const char* connectionName) {
    LogTrace("@@@ Inside CreateSeqGenStateTable @@@\n");
    const SqlDialect* dialect = DialectOfConnection(connectionName);
    DBConnection* connection = GetDBConnection(connectionName);
    if (dialect == nullptr || connection == nullptr) {
        LogError("Cannot create SeqGenState on data source %s\n", connectionName ? connectionName : "(default)");
        if (connection != nullptr) ReleaseDBConnection(connectionName);
        return false;
    }
    const std::string columns = " (SEQNAME varchar(255) not null primary key, CURRENTBATCHEND integer not null)";
    bool ok = false;
    if (dialect->tableLookup != nullptr) {
        // No "if not exists" there: look the table up in the catalogue. A
        // process that lost the race to create it finds it the second time.
        const std::string lookup = std::string(dialect->tableLookup) + "'SEQGENSTATE'";
        for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
            ResultSet* set = ExecuteQuery(connection, lookup.c_str());
            if (set == nullptr) break;
            ok = ResultSetNext(set) != nullptr;
            FreeResultSet(set);
            if (!ok) ok = ExecuteUpdate(connection, ("create table SeqGenState" + columns).c_str()) == 1;
        }
    } else {
        std::string sql = "create table if not exists SeqGenState" + columns;
        EndStatement(dialect, &sql);
        // Two processes creating it at once: the loser's statement may fail
        // (PostgreSQL's catalogue); the second try finds the table.
        for (int attempt = 0; attempt < 2 && !ok; ++attempt) ok = ExecuteUpdate(connection, sql.c_str()) == 1;
    }
    ReleaseDBConnection(connectionName);
    if (!ok) LogError("Cannot create SeqGenState on data source %s\n", connectionName ? connectionName : "(default)");
    return ok;
}

bool CreateSeqGenStateTables() {
    LogTrace("@@@ Inside CreateSeqGenStateTables @@@\n");
    if (!IsDSNMapValid()) return CreateSeqGenStateTable(nullptr);
    bool ok = true;
    for (VectorNode* node = gv_connParamsVect ? ElementAt(gv_connParamsVect, 0) : nullptr; node != nullptr;
         node = node->next) {
        auto* params = static_cast<ConnParams*>(node->element);
        if (!CreateSeqGenStateTable(params->connectionName)) ok = false;
    }
    return ok;
}

bool SequenceGenerator() {
    LogTrace("Inside SequenceGenerator\n");
    CreateSeqGenStateTables();
    Vector* defns = GetTableDefnList();
    for (VectorNode* node = defns ? ElementAt(defns, 0) : nullptr; node != nullptr; node = node->next) {
        auto* defn = static_cast<TableDefn*>(node->element);
        if (defn->columns == nullptr || defn->columns->count == 0) return false;
        for (VectorNode* c = ElementAt(defn->columns, 0); c != nullptr; c = c->next) {
            auto* column = static_cast<ColumnDefnEntry*>(c->element);
            if (column->generatorName == nullptr) continue;
            LockObject(&gv_seqGenState);
            UpdateSeqGen(defn->name, column->generatorName);
            UnlockObject(&gv_seqGenState);
        }
    }
    return true;
}

bool UpdateSeqGen(const char* tableName, const char* sequenceName) {
    LogTrace("Inside UpdateSeqGen \n");
    if (sequenceName == nullptr || sequenceName[0] == '\0' || strlen(sequenceName) > kMaxSequenceNameLength) {
        LogError("Sequence name refused: empty or longer than %zu characters\n", kMaxSequenceNameLength);
        return false;
    }
    const char* connectionName = nullptr;
    if (!SequenceConnection(tableName, &connectionName)) return false;
    const SqlDialect* dialect = DialectOfConnection(connectionName);
    DBConnection* connection = GetDBConnection(connectionName);
    if (connection == nullptr || dialect == nullptr) {
        LogError("No database connection to take a new batch for sequence %s\n", sequenceName);
        if (connection != nullptr) ReleaseDBConnection(connectionName);
        return false;
    }
    BatchOutcome outcome = BatchOutcome::kRetry;
    {
        TransactionGuard transaction(connection);
        for (int attempt = 0; attempt < kSeqGenAttempts && outcome == BatchOutcome::kRetry; ++attempt) {
            if (attempt > 0) transaction.Restart();
            outcome = TakeBatch(&transaction, dialect, sequenceName);
        }
    }
    ReleaseDBConnection(connectionName);
    return outcome == BatchOutcome::kTaken;
}

namespace {

bool TakeDatabaseBatch(void* /*context*/, const char* tableName, const char* sequenceName) {
    return UpdateSeqGen(tableName, sequenceName);
}

}  // namespace

void InstallSeqGenDatabaseSource() {
    const SeqGenBatchSource source = {&TakeDatabaseBatch, nullptr};
    SetSeqGenBatchSource(&source);
}

}  // namespace orv
