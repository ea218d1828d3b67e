/*
 * Data objects from the database: a select query run on the data source of
 * its first table, its result set split into one collection per table with
 * each table row held once, and the selects by criteria and by a row.
 */
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "dataobject/dataobject.h"
#include "dataobject/dataobject_internal.h"
#include "datastore/column_value.h"
#include "db/connection.h"
#include "persist/sql_text.h"

namespace orv {

namespace {

/* The query's tables: the first join's left table, every join's right
 * table, the table list; each name once. */
std::vector<const char*> QueryTables(const SelectQuery* query) {
    std::vector<const char*> names;
    auto add = [&](const char* name) {
        if (name == nullptr) return;
        for (const char* n : names) {
            if (strcasecmp(n, name) == 0) return;
        }
        names.push_back(name);
    };
    bool left = false;
    for (VectorNode* node = query->joins != nullptr ? query->joins->head : nullptr; node != nullptr; node = node->next) {
        auto* join = static_cast<JoinSpec*>(node->element);
        if (join == nullptr) continue;
        if (!left && join->leftTable != nullptr) {
            add(join->leftTable);
            left = true;
        }
        add(join->rightTable);
    }
    for (VectorNode* node = query->tables != nullptr ? query->tables->head : nullptr; node != nullptr;
         node = node->next) {
        auto* table = static_cast<SelectTable*>(node->element);
        if (table != nullptr) add(table->tableName);
    }
    return names;
}

/* Builds the collection of one table from the result set. *position runs
 * on over the tables when the query names no columns. */
RowCollection* CollectionFromResultSet(const char* tableName, ResultSet* set, const SelectQuery* query,
                                       DataObject* object, int32_t* position) {
    LogTrace("@@@@  Inside CreateRowCollectionFromResultSet @@@@\n");
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("Table Definition not found for %s.\n", tableName);
        return nullptr;
    }
    MemPool* pool = object->pool;
    std::vector<const char*> names;
    std::vector<int32_t> positions;
    if (query->columns != nullptr && query->columns->count > 0) {
        int32_t at = 0;
        for (VectorNode* node = query->columns->head; node != nullptr; node = node->next, ++at) {
            auto* c = static_cast<SelectColumn*>(node->element);
            if (c != nullptr && c->tableName != nullptr && c->columnName != nullptr &&
                strcasecmp(c->tableName, tableName) == 0 && DefnColumn(defn, c->columnName) != nullptr) {
                names.push_back(c->columnName);
                positions.push_back(at);
            }
        }
    } else {
        const int32_t n = DefnColumnCount(defn);
        for (int32_t i = 0; i < n; ++i) {
            names.push_back(DefnColumnAt(defn, i)->name);
            positions.push_back((*position)++);
        }
    }
    auto* c = static_cast<RowCollection*>(MemPoolAlloc(pool, sizeof(RowCollection)));
    if (c == nullptr) return nullptr;
    c->tableName = MemPoolStrdup(pool, defn->name);
    c->tableDefn = defn;
    c->columnNames = static_cast<char**>(MemPoolAlloc(pool, sizeof(char*) * (names.size() + 1)));
    c->columnTypes = static_cast<uint8_t*>(MemPoolAlloc(pool, names.size() + 1));
    if (c->tableName == nullptr || c->columnNames == nullptr || c->columnTypes == nullptr) return nullptr;
    const ConstraintDefn* k = defn->constraints;
    const int32_t pkCount = k != nullptr && k->primaryKeyColumns != nullptr ? k->primaryKeyCount : 0;
    std::vector<int32_t> pkIndex;
    for (int32_t i = 0; i < pkCount; ++i) {
        int32_t at = -1;
        for (size_t j = 0; j < names.size() && at < 0; ++j) {
            if (strcasecmp(names[j], k->primaryKeyColumns[i]) == 0) at = static_cast<int32_t>(j);
        }
        if (at < 0) {
            LogError("\nALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR %s\n", tableName);
            return c;  // neither columns nor rows
        }
        pkIndex.push_back(at);
    }
    const size_t n = names.size();
    for (size_t i = 0; i < n; ++i) {
        c->columnNames[i] = MemPoolStrdup(pool, names[i]);
        c->columnTypes[i] = DefnColumn(defn, names[i])->type;
    }
    c->columnCount = static_cast<int32_t>(n);
    // The cells of each result row by position (the rows are walked once).
    std::vector<ResultCell*> cells(static_cast<size_t>(set->columnCount), nullptr);
    std::vector<void*> converted(n, nullptr);
    std::vector<int32_t> convertedLength(n, 0);
    RowUnit probe{};
    probe.tableName = c->tableName;
    probe.columnCount = c->columnCount;
    probe.columnNames = c->columnNames;
    std::vector<void*> probeValues(n, nullptr);
    std::vector<int32_t> probeLengths(n, 0);
    probe.values = probeValues.data();
    probe.lengths = probeLengths.data();
    for (ResultRow* r = set->rows; r != nullptr; r = r->next) {
        size_t at = 0;
        for (ResultCell* cell = r->cells; cell != nullptr && at < cells.size(); cell = cell->next) cells[at++] = cell;
        for (; at < cells.size(); ++at) cells[at] = nullptr;
        // Each value in the column's type, converted when the driver's type differs.
        for (size_t i = 0; i < n; ++i) {
            free(converted[i]);
            converted[i] = nullptr;
            const int32_t p = positions[i];
            ResultCell* cell = p >= 0 && p < set->columnCount ? cells[static_cast<size_t>(p)] : nullptr;
            const uint8_t from = p >= 0 && p < set->columnCount ? set->columns[p].type : 0;
            if (cell == nullptr || cell->data == nullptr) {
                probeValues[i] = nullptr;
                probeLengths[i] = 0;
            } else if (from == c->columnTypes[i]) {
                probeValues[i] = cell->data;
                probeLengths[i] = cell->length;
            } else {
                converted[i] = ConvertCellValue(cell->data, cell->length, from, c->columnTypes[i], &convertedLength[i]);
                probeValues[i] = converted[i];
                probeLengths[i] = convertedLength[i];
            }
        }
        bool keyMissing = false;
        for (int32_t i : pkIndex) keyMissing = keyMissing || probeValues[static_cast<size_t>(i)] == nullptr;
        if (keyMissing) continue;  // an outer join's row without this table's row
        char* key = KeyStringFor(&probe, c->columnNames, pool);
        if (key == nullptr) continue;
        if (HashContains(&object->keyTable, key)) {
            if (c->firstRow == nullptr) {
                LogDebug("HashKey %s Not Inserted\n", key);
                for (void* v : converted) free(v);
                return nullptr;
            }
            continue;
        }
        auto** values = static_cast<void**>(MemPoolAlloc(pool, sizeof(void*) * (n + 1)));
        auto* lengths = static_cast<int32_t*>(MemPoolAlloc(pool, sizeof(int32_t) * (n + 1)));
        auto* row = static_cast<RowUnit*>(MemPoolAlloc(pool, sizeof(RowUnit)));
        if (values == nullptr || lengths == nullptr || row == nullptr) break;
        for (size_t i = 0; i < n; ++i) {
            values[i] = PoolCopyValue(pool, probeValues[i], probeLengths[i], c->columnTypes[i]);
            lengths[i] = probeLengths[i];
        }
        row->tableName = c->tableName;
        row->columnCount = c->columnCount;
        row->values = values;
        row->lengths = lengths;
        row->state = kRowStored;
        if (!CheckForPKEntry(key, row, object)) continue;
        AddRowUnitToRowCollection(row, c);
    }
    for (void* v : converted) free(v);
    return c;
}

/* The number of result rows, for the key table's size. */
uint32_t KeyTableSize(const ResultSet* set, size_t tables) {
    const uint64_t want = static_cast<uint64_t>(set != nullptr && set->rowCount > 0 ? set->rowCount : 0) * tables;
    return static_cast<uint32_t>(std::clamp<uint64_t>(want, kKeyTableBuckets, 1u << 20));
}

}  // namespace

DataObject* CreateDataObjectFromResultSet(ResultSet* set, SelectQuery* query) {
    LogTrace("@@@@  Inside CreateDataObjectFromResultSet @@@@\n");
    if (set == nullptr || query == nullptr) {
        FreeResultSet(set);
        return nullptr;
    }
    std::vector<const char*> tables = QueryTables(query);
    DataObject* object = CreateSizedDataObject(KeyTableSize(set, tables.size()));
    if (object == nullptr) {
        LogError("\nMEMORY ALLOCATION FOR DATAOBJECT FAILED\n");
        FreeResultSet(set);
        return nullptr;
    }
    object->selectQuery = query;
    int32_t position = 0;
    for (const char* table : tables) {
        LogTrace("TableName %s\n", table);
        RowCollection* c = CollectionFromResultSet(table, set, query, object, &position);
        AddRowCollectionToDO(object, c);
    }
    // One table list, in foreign-key order, each table once.
    Vector* sorted = SortTableByFK(object->tableList);
    if (sorted != nullptr) {
        FreeVector(object->tableList);
        for (VectorNode* node = sorted->head; node != nullptr; node = node->next) AddValue(object->tableList, node->element);
        FreeVector(sorted);
        free(sorted);
    }
    object->tableCount = object->tableList->count;
    FreeResultSet(set);
    return object;
}

DataObject* GetDataObject(SelectQuery* query) {
    LogTrace("@@@@  Inside GetDataObject @@@@\n");
    if (query == nullptr) {
        LogError("Cannot construct DO. Select Query pointer is NULL.\n");
        return nullptr;
    }
    const char* first = GetSelectQueryFirstTable(query);
    const char* connectionName = nullptr;
    const char* dialect = nullptr;
    if (first == nullptr || !ConnectionForTable(first, &connectionName, &dialect)) {
        LogError("Cannot create DataObject.  No data source for %s\n", first ? first : "(no table)");
        return nullptr;
    }
    char* sql = GenerateSelectQuery(query);
    if (sql == nullptr) {
        LogError("Cannot create DataObject.  No entries returned for SelectQuery\n");
        return nullptr;
    }
    DBConnection* connection = GetDBConnection(connectionName);
    ResultSet* set = connection != nullptr ? ExecuteQuery(connection, sql) : nullptr;
    if (connection != nullptr) ReleaseDBConnection(connectionName);
    if (set == nullptr) {
        LogError("Cannot create DataObject.  No entries returned for SelectQuery\n");
        LogError("QUERY : %s\n", sql);
        free(sql);
        return nullptr;
    }
    free(sql);
    return CreateDataObjectFromResultSet(set, query);
}

DataObject* GetDataObjectByCriteria(const char* const* tableNames, CriteriaNode* criteria) {
    LogTrace("@@@@  Inside GetDataObjectByCriteria @@@@\n");
    if (tableNames == nullptr || tableNames[0] == nullptr) {
        LogError("Cannot create DataObject.\n");
        return nullptr;
    }
    SelectQuery* query = CreateSelectQuery();
    bool ok = query != nullptr;
    for (int32_t i = 0; ok && tableNames[i] != nullptr; ++i) {
        ok = AddSelectTable(query, CreateSelectTable(tableNames[i], nullptr, query->pool));
    }
    DataObject* object = nullptr;
    if (ok) {
        SetCriteria(query, criteria);
        object = GetDataObject(query);
        query->criteria = nullptr;  // the caller's
    }
    if (object == nullptr) {
        LogError("Cannot create DataObject.\n");
        FreeSelectQuery(query);
        return nullptr;
    }
    object->ownsQuery = 1;
    return object;
}

namespace {

}  // namespace

const char* ChainToTable(const char* table, const char* column, const char* target, int depth) {
    if (table == nullptr || column == nullptr || depth > 64) return nullptr;
    const TableDefn* defn = GetTableDefn(table);
    if (strcasecmp(table, target) == 0) {
        const ConstraintDefn* k = defn != nullptr ? defn->constraints : nullptr;
        if (k != nullptr && k->primaryKeyColumns != nullptr) {
            for (int32_t i = 0; i < k->primaryKeyCount; ++i) {
                if (strcasecmp(k->primaryKeyColumns[i], column) == 0) return k->primaryKeyColumns[i];
            }
        }
        return nullptr;
    }
    Vector* fks = ForeignKeysOf(defn);
    for (VectorNode* node = fks != nullptr ? fks->head : nullptr; node != nullptr; node = node->next) {
        auto* fk = static_cast<ForeignKeyEntry*>(node->element);
        if (fk->localColumn != nullptr && strcasecmp(fk->localColumn, column) == 0) {
            const char* found = ChainToTable(fk->referenceTable, fk->referenceColumn, target, depth + 1);
            if (found != nullptr) return found;
        }
    }
    return nullptr;
}

namespace {

/* One equality condition of the query on table.column with a value. */
CriteriaNode* Equality(SelectQuery* query, const char* table, const ColumnDefnEntry* column, const void* value,
                       int32_t length) {
    SelectColumn* c = CreateSelectColumn(table, nullptr, column->name, nullptr, 0, column->type, 0, query->pool);
    return c != nullptr ? CreateCriteriaNode(c, value, length, kSqlEqual, query->pool) : nullptr;
}

}  // namespace

DataObject* GetDataObjectByRowUnit(const char* const* tableNames, const RowUnit* row) {
    LogTrace("@@@@  Inside GetDataObjectByRowUnit @@@@\n");
    if (tableNames == nullptr || row == nullptr || row->tableName == nullptr) return nullptr;
    bool listed = false;
    for (int32_t i = 0; tableNames[i] != nullptr; ++i) listed = listed || strcasecmp(tableNames[i], row->tableName) == 0;
    if (!listed) {
        LogError("RowUnit belongs to table %s, which is not present in the tableList.\n", row->tableName);
        return nullptr;
    }
    const TableDefn* rowDefn = GetTableDefn(row->tableName);
    if (rowDefn == nullptr) {
        LogError("No Table Definition found for table %s.\n", row->tableName);
        return nullptr;
    }
    DataObject* result = CreateDataObject();
    if (result == nullptr) return nullptr;
    // One select per table: a table without matching rows leaves the
    // others whole, and no table's rows multiply another's.
    for (int32_t t = 0; tableNames[t] != nullptr; ++t) {
        const char* table = tableNames[t];
        if (ContainsTableInDO(table, result)) continue;
        const TableDefn* defn = GetTableDefn(table);
        SelectQuery* query = CreateSelectQuery();
        if (defn == nullptr || query == nullptr || !AddSelectTable(query, CreateSelectTable(table, nullptr, query->pool))) {
            LogError("Table Definition not found for %s.\n", table);
            FreeSelectQuery(query);
            FreeDataObject(result);
            return nullptr;
        }
        CriteriaNode* root = nullptr;
        bool ok = true;
        auto add = [&](CriteriaNode* node) {
            if (node == nullptr) {
                ok = false;
                return;
            }
            root = root == nullptr ? node : CreateAndNode(root, node, query->pool);
            ok = ok && root != nullptr;
        };
        if (strcasecmp(table, row->tableName) == 0) {
            const ConstraintDefn* k = defn->constraints;
            for (int32_t i = 0; ok && k != nullptr && k->primaryKeyColumns != nullptr && i < k->primaryKeyCount; ++i) {
                int32_t length = 0;
                void* value = RowValueByName(row, defn, k->primaryKeyColumns[i], &length);
                ColumnDefnEntry* column = DefnColumn(defn, k->primaryKeyColumns[i]);
                if (value == nullptr || column == nullptr) {
                    LogError("No value for key column %s of table %s.\n", k->primaryKeyColumns[i], table);
                    ok = false;
                } else {
                    add(Equality(query, table, column, value, length));
                }
            }
        } else {
            Vector* fks = ForeignKeysOf(defn);
            if (fks == nullptr || fks->count == 0) LogError("No constraints for table %s.\n", table);
            for (VectorNode* node = fks != nullptr ? fks->head : nullptr; ok && node != nullptr; node = node->next) {
                auto* fk = static_cast<ForeignKeyEntry*>(node->element);
                const char* pk = ChainToTable(fk->referenceTable, fk->referenceColumn, row->tableName, 0);
                ColumnDefnEntry* column = DefnColumn(defn, fk->localColumn);
                if (pk == nullptr || column == nullptr) continue;
                int32_t length = 0;
                void* value = RowValueByName(row, rowDefn, pk, &length);
                if (value != nullptr) add(Equality(query, table, column, value, length));
            }
        }
        DataObject* part = nullptr;
        if (ok) {
            SetCriteria(query, root);
            part = GetDataObject(query);
        }
        if (part == nullptr || MergeDataObject(result, part) == nullptr) {
            FreeDataObject(part);
            FreeSelectQuery(query);
            FreeDataObject(result);
            return nullptr;
        }
        FreeDataObject(part);
        FreeSelectQuery(query);
    }
    return result;
}

}  // namespace orv
