/*
 * Index tables of dominant tables: their creation, their entries kept as
 * rows of referring tables come and go, and the deep retrieval of one
 * dominant row over the tables its index lists. Every statement takes
 * names only as plain identifiers and values only as numbers or escaped
 * literals of the default connection's dialect.
 */
#include <strings.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "dataobject/dataobject_internal.h"
#include "dataobject/personality.h"
#include "datastore/column_value.h"
#include "db/connection.h"
#include "db/sql/dialect_record.h"
#include "persist/sql_text.h"

namespace orv {

namespace {

bool IsIntegerKey(uint8_t type) { return type == 1 || type == 3 || type == 5 || type == 7; }
bool IsTextKey(uint8_t type) { return type == 14 || type == 15; }

/* Appends a key value as it stands in a statement: a number, or an escaped
 * text literal. False for a missing value or another type. */
bool AppendKeyValue(const void* value, uint8_t type, const SqlDialect* dialect, std::string* out) {
    int64_t number = 0;
    if (IsIntegerKey(type) && ReadIntegerValue(value, type, &number)) {
        *out += std::to_string(number);
        return true;
    }
    if (IsTextKey(type) && value != nullptr && dialect != nullptr) {
        AppendSqlTextLiteral(*dialect, static_cast<const char*>(value), out);
        return true;
    }
    return false;
}

/* The dialect of the default connection (the first data source), or null
 * when it has none. */
const SqlDialect* DefaultDialect() {
    DBConnection* connection = GetDBConnection(nullptr);
    if (connection == nullptr) return DialectOfConnection(nullptr);
    const SqlDialect* dialect = DialectOfConnection(connection->connectionName);
    ReleaseDBConnection(nullptr);
    return dialect;
}

/* Runs a statement on the default connection. */
bool RunUpdate(const std::string& sql) {
    DBConnection* connection = GetDBConnection(nullptr);
    if (connection == nullptr) return false;
    const bool ok = ExecuteUpdate(connection, sql.c_str()) == 1;
    ReleaseDBConnection(nullptr);
    return ok;
}

ResultSet* RunQuery(const char* connectionName, const std::string& sql) {
    DBConnection* connection = GetDBConnection(connectionName);
    if (connection == nullptr) return nullptr;
    ResultSet* set = ExecuteQuery(connection, sql.c_str());
    ReleaseDBConnection(connectionName);
    return set;
}

/* The index table's name, or "" when the table's name cannot be one. */
std::string IndexTableName(const char* dominant) {
    if (!IsPlainSqlIdentifier(dominant)) {
        LogError("Table name %s cannot name an index table.\n", dominant ? dominant : "(null)");
        return "";
    }
    return std::string(dominant) + "_IDX";
}

}  // namespace

int32_t GetColIndex(const char* columnName, const char* tableName, const TableDefn* defn) {
    LogTrace("@@@@ Inside GetColIndex @@@@\n");
    if (defn == nullptr) defn = GetTableDefn(tableName);
    int32_t index = -1;
    return DefnColumn(defn, columnName, &index) != nullptr ? index : -1;
}

Vector* GetPKColumnInfo(const char* tableName) {
    LogTrace("@@@@ Inside GetPKColumnInfo @@@@\n");
    if (tableName == nullptr) {
        LogError("Cannot get PKColumnInfo.  TableName is NULL\n");
        return nullptr;
    }
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("No table definition found for %s.\n", tableName);
        return nullptr;
    }
    const ConstraintDefn* k = defn->constraints;
    if (k == nullptr || k->primaryKeyColumns == nullptr || k->primaryKeyCount <= 0) {
        LogError("No constraints for table %s\n", tableName);
        return nullptr;
    }
    Vector* columns = NewVector();
    if (columns == nullptr) return nullptr;
    for (int32_t i = 0; i < k->primaryKeyCount; ++i) {
        ColumnDefnEntry* column = DefnColumn(defn, k->primaryKeyColumns[i]);
        if (column == nullptr || AddValue(columns, column) != 1) {
            LogError("No constraints for table %s\n", tableName);
            FreeVector(columns);
            free(columns);
            return nullptr;
        }
    }
    return columns;
}

char* ConstructPKColumnString(const char* tableName) {
    LogTrace("@@@@ Inside ConstructPKColumnString @@@@\n");
    Vector* columns = GetPKColumnInfo(tableName);
    if (columns == nullptr) return nullptr;
    std::string out;
    bool ok = true;
    for (VectorNode* n = columns->head; n != nullptr && ok; n = n->next) {
        auto* c = static_cast<ColumnDefnEntry*>(n->element);
        if (!IsPlainSqlIdentifier(c->name)) {
            ok = false;
        } else if (IsIntegerKey(c->type)) {
            out += std::string(c->name) + " INT, ";
        } else if (IsTextKey(c->type) && c->maxSize > 0) {
            out += std::string(c->name) + " VARCHAR(" + std::to_string(c->maxSize) + "), ";
        } else {
            ok = false;
        }
        if (!ok) LogError("Key column %s of table %s cannot be indexed.\n", c->name, tableName);
    }
    FreeVector(columns);
    free(columns);
    return ok ? strdup(out.c_str()) : nullptr;
}

char* ConstructPKValueString(const char* tableName, const RowUnit* row) {
    LogTrace("@@@@ Inside ConstructPKValueString @@@@\n");
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("No table definition found for %s\n", tableName ? tableName : "(null)");
        return nullptr;
    }
    const ConstraintDefn* k = defn->constraints;
    if (row == nullptr || k == nullptr || k->primaryKeyColumns == nullptr || k->primaryKeyCount <= 0) {
        LogError("No primary columns in the dominant table.\n");
        return nullptr;
    }
    std::string out;
    for (int32_t i = 0; i < k->primaryKeyCount; ++i) {
        ColumnDefnEntry* column = DefnColumn(defn, k->primaryKeyColumns[i]);
        if (column == nullptr || !IsPlainSqlIdentifier(column->name)) return nullptr;
        if (i > 0) out += " AND ";
        out += column->name;
        out += " = ";
        if (!AppendKeyValue(RowValueByName(row, defn, column->name, nullptr), column->type, DefaultDialect(), &out)) {
            LogError("No usable value for key column %s of table %s.\n", column->name, tableName);
            return nullptr;
        }
        out += " ";
    }
    return strdup(out.c_str());
}

namespace {

void FindRoots(const char* tableName, const char* columnName, Vector* roots, Vector* columns, int depth) {
    const TableDefn* defn = GetTableDefn(tableName);
    Vector* fks = ForeignKeysOf(defn);
    bool followed = false;
    for (VectorNode* n = fks != nullptr && depth < 32 ? fks->head : nullptr; n != nullptr; n = n->next) {
        auto* fk = static_cast<ForeignKeyEntry*>(n->element);
        if (columnName != nullptr && (fk->localColumn == nullptr || strcasecmp(fk->localColumn, columnName) != 0)) {
            continue;
        }
        // A self-reference leads nowhere further.
        if (fk->referenceTable == nullptr || strcasecmp(fk->referenceTable, tableName) == 0) continue;
        followed = true;
        FindRoots(fk->referenceTable, fk->referenceColumn, roots, columns, depth + 1);
    }
    if (!followed && depth > 0) {
        AddValue(roots, const_cast<char*>(defn != nullptr ? defn->name : tableName));
        AddValue(columns, const_cast<char*>(columnName));
    }
}

}  // namespace

bool FindRootTable(const char* tableName, const char* columnName, Vector* rootTables, Vector* rootColumns) {
    LogTrace("@@@@ Inside FindRootTable @@@@\n");
    if (tableName == nullptr || rootTables == nullptr || rootColumns == nullptr || GetTableDefn(tableName) == nullptr) {
        return false;
    }
    FindRoots(tableName, columnName, rootTables, rootColumns, 0);
    return true;
}

bool CreateIndexTable(Vector* records) {
    LogTrace("@@@@ Inside CreateIndexTable @@@@\n");
    for (VectorNode* n = records != nullptr ? records->head : nullptr; n != nullptr; n = n->next) {
        auto* record = static_cast<XmlElementRecord*>(n->element);
        if (record->name == nullptr || strcasecmp(record->name, "DominantTableConfig") != 0) continue;
        const char* dominant = nullptr;
        for (VectorNode* a = record->attributes ? record->attributes->head : nullptr; a != nullptr; a = a->next) {
            auto* attribute = static_cast<XmlAttributeRecord*>(a->element);
            if (strcasecmp(attribute->name, "dominanttableid") == 0) {
                dominant = attribute->value;
                continue;
            }
            if (strcasecmp(attribute->name, "isindexed") != 0 || strcasecmp(attribute->value, "true") != 0 ||
                dominant == nullptr) {
                continue;
            }
            char* keyColumns = ConstructPKColumnString(dominant);
            const std::string index = IndexTableName(dominant);
            if (keyColumns == nullptr || index.empty()) {
                LogError("Cannot create Index Table for %s\n", dominant);
                free(keyColumns);
                return false;
            }
            // An index table made by an earlier start stays as it is.
            ResultSet* present = RunQuery(nullptr, "SELECT TABLENAME FROM " + index + " WHERE 1 = 0");
            if (present != nullptr) {
                FreeResultSet(present);
                free(keyColumns);
                continue;
            }
            const std::string sql = "CREATE TABLE " + index + "(" + keyColumns + " TABLENAME VARCHAR(40))";
            free(keyColumns);
            if (!RunUpdate(sql)) {
                LogError("Cannot create Index Table for %s\n", dominant);
                return false;
            }
        }
    }
    return true;
}

namespace {

/* The columns of table whose references lead to each key column of the
 * dominant table, in key order; empty when some key column has none. */
std::vector<const char*> ReferringColumns(const TableDefn* defn, const char* dominant, Vector* keyColumns) {
    std::vector<const char*> locals;
    for (VectorNode* k = keyColumns->head; k != nullptr; k = k->next) {
        auto* key = static_cast<ColumnDefnEntry*>(k->element);
        const char* local = nullptr;
        Vector* fks = ForeignKeysOf(defn);
        for (VectorNode* n = fks != nullptr ? fks->head : nullptr; n != nullptr && local == nullptr; n = n->next) {
            auto* fk = static_cast<ForeignKeyEntry*>(n->element);
            const char* reached = ChainToTable(fk->referenceTable, fk->referenceColumn, dominant, 0);
            if (reached != nullptr && strcasecmp(reached, key->name) == 0) local = fk->localColumn;
        }
        if (local == nullptr) return {};
        locals.push_back(local);
    }
    return locals;
}

/* Whether a row of table other than the given one still refers to the
 * dominant key (condition on the referring columns). */
bool OtherRowRefers(const TableDefn* defn, const std::string& condition, const RowObject* row) {
    const ConstraintDefn* k = defn->constraints;
    const char* connectionName = nullptr;
    const char* dialect = nullptr;
    if (k == nullptr || k->primaryKeyColumns == nullptr || !ConnectionForTable(defn->name, &connectionName, &dialect)) {
        return false;
    }
    std::string columns;
    for (int32_t i = 0; i < k->primaryKeyCount; ++i) {
        if (!IsPlainSqlIdentifier(k->primaryKeyColumns[i])) return false;
        columns += (i > 0 ? ", " : "") + std::string(k->primaryKeyColumns[i]);
    }
    ResultSet* set = RunQuery(connectionName, "SELECT " + columns + " FROM " + defn->name + " WHERE " + condition);
    if (set == nullptr) return false;
    bool other = false;
    for (ResultRow* r = set->rows; r != nullptr && !other; r = r->next) {
        ResultCell* cell = r->cells;
        bool same = true;
        for (int32_t i = 0; i < k->primaryKeyCount && cell != nullptr; ++i, cell = cell->next) {
            int32_t index = -1;
            ColumnDefnEntry* column = DefnColumn(defn, k->primaryKeyColumns[i], &index);
            int32_t length = 0;
            void* value = ConvertCellValue(cell->data, cell->length, set->columns[i].type, column->type, &length);
            char* theirs = ConvertColumnValueToString(value, column->type);
            char* mine = ConvertColumnValueToString(row->values[index], column->type);
            same = same && theirs != nullptr && mine != nullptr && strcmp(theirs, mine) == 0;
            free(theirs);
            free(mine);
            free(value);
        }
        other = !same;
    }
    FreeResultSet(set);
    return other;
}

}  // namespace

bool AddEntryToIndexTable(const char* tableName, const RowObject* row) {
    LogTrace("@@@@ Inside AddEntryToIndexTable @@@@\n");
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr || row == nullptr) {
        LogError("No table definition found for %s\n", tableName ? tableName : "(null)");
        return false;
    }
    Vector* fks = ForeignKeysOf(defn);
    if (fks == nullptr || fks->count == 0) {
        LogTrace("No References.\n");
        return true;
    }
    const uint8_t state = row->state;
    const bool remove = (state & kRowStored) && (state & kRowDeleted);
    const bool add = state == kRowNew || state == (kRowNew | kRowModified);
    if (!remove && !add) {
        LogDebug("No index entry for row state %d of %s\n", state, tableName);
        return true;
    }
    Vector roots{};
    Vector rootColumns{};
    FindRootTable(defn->name, nullptr, &roots, &rootColumns);
    std::vector<const char*> done;
    bool ok = true;
    for (VectorNode* n = roots.head; n != nullptr && ok; n = n->next) {
        const char* root = static_cast<const char*>(n->element);
        bool seen = false;
        for (const char* d : done) seen = seen || strcasecmp(d, root) == 0;
        if (seen || !IsDominantTable(root)) continue;
        done.push_back(root);
        Vector* keyColumns = GetPKColumnInfo(root);
        if (keyColumns == nullptr) continue;
        const std::vector<const char*> locals = ReferringColumns(defn, root, keyColumns);
        const std::string index = IndexTableName(root);
        if (locals.empty() || index.empty()) {
            FreeVector(keyColumns);
            free(keyColumns);
            continue;
        }
        if (!IsPlainSqlIdentifier(defn->name) || strlen(defn->name) > kMaxIndexedTableName) {
            LogError("Table name %s cannot stand in an index table.\n", defn->name);
            FreeVector(keyColumns);
            free(keyColumns);
            ok = false;
            break;
        }
        // The key condition on the index table and on the referring table.
        std::string keyCondition;
        std::string referCondition;
        std::string values;
        bool usable = true;
        size_t i = 0;
        for (VectorNode* k = keyColumns->head; k != nullptr && usable; k = k->next, ++i) {
            auto* key = static_cast<ColumnDefnEntry*>(k->element);
            const int32_t at = GetColIndex(locals[i], defn->name, defn);
            std::string literal;
            usable = at >= 0 && IsPlainSqlIdentifier(locals[i]) &&
                     AppendKeyValue(row->values[at], key->type, DefaultDialect(), &literal);
            if (!usable) break;
            keyCondition += (i > 0 ? " AND " : "") + std::string(key->name) + " = " + literal;
            referCondition += (i > 0 ? " AND " : "") + std::string(locals[i]) + " = " + literal;
            values += literal + ", ";
        }
        FreeVector(keyColumns);
        free(keyColumns);
        if (!usable) continue;  // the row refers to no dominant row
        std::string table;
        const SqlDialect* dialect = DefaultDialect();
        AppendSqlTextLiteral(dialect != nullptr ? *dialect : kBaselineDialect, defn->name, &table);
        const std::string entry = keyCondition + " AND TABLENAME = " + table;
        ResultSet* present = RunQuery(nullptr, "SELECT TABLENAME FROM " + index + " WHERE " + entry);
        const bool listed = present != nullptr && present->rowCount > 0;
        FreeResultSet(present);
        std::string sql;
        if (add && !listed) {
            sql = "INSERT INTO " + index + " VALUES (" + values + table + ")";
            LogTrace("Insert Query for %s: %s\n", index.c_str(), sql.c_str());
        } else if (remove && listed && !OtherRowRefers(defn, referCondition, row)) {
            sql = "DELETE FROM " + index + " WHERE " + entry;
        }
        if (!sql.empty() && !RunUpdate(sql)) {
            LogError("Cannot Add Entry Into Index Table\n");
            ok = false;
        }
    }
    FreeVector(&roots);
    FreeVector(&rootColumns);
    return ok;
}

DataObject* DeepRetrieveDO(const char* dominantTableName, const RowUnit* row) {
    LogTrace("@@@@ Inside DeepRetrieveDO @@@@\n");
    if (dominantTableName == nullptr || row == nullptr) return nullptr;
    char* condition = ConstructPKValueString(dominantTableName, row);
    const std::string index = IndexTableName(dominantTableName);
    if (condition == nullptr || index.empty()) {
        LogError("No primary keys in dominant table %s\n", dominantTableName);
        free(condition);
        return nullptr;
    }
    const std::string sql = "SELECT TABLENAME FROM " + index + " WHERE " + condition;
    free(condition);
    ResultSet* set = RunQuery(nullptr, sql);
    if (set == nullptr || set->rows == nullptr) {
        LogError("Query: %s. No tables indexed.  Cannot deep retrieve DO for %s\n", sql.c_str(), dominantTableName);
        FreeResultSet(set);
        return nullptr;
    }
    std::vector<std::string> tables{dominantTableName};
    for (ResultRow* r = set->rows; r != nullptr; r = r->next) {
        if (r->cells == nullptr || r->cells->data == nullptr) continue;
        std::string name(static_cast<const char*>(r->cells->data), static_cast<size_t>(r->cells->length));
        while (!name.empty() && name.back() == ' ') name.pop_back();  // CHAR padding
        bool known = false;
        for (const std::string& t : tables) known = known || strcasecmp(t.c_str(), name.c_str()) == 0;
        if (known) continue;
        if (GetTableDefn(name.c_str()) == nullptr) {
            LogError("Index table %s names table %s, which has no definition: left out.\n", index.c_str(), name.c_str());
            continue;
        }
        tables.push_back(name);
    }
    FreeResultSet(set);
    std::vector<const char*> list;
    for (const std::string& t : tables) list.push_back(t.c_str());
    list.push_back(nullptr);
    return GetDataObjectByRowUnit(list.data(), row);
}

}  // namespace orv
