// Stored query definitions: the loaders that rebuild a select query from
// its definition tables, the run of stored queries, and the convenience
// builders.
#include "persist/stored_query.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "datastore/column_value.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"
#include "db/connection.h"
#include "db/sql/sql_dialects.h"
#include "persist/sql_text.h"
#include "util/conv_number.h"

namespace orv {
namespace {

std::string Statement(const char* format, int32_t id) {
    char text[160];
    std::snprintf(text, sizeof text, format, static_cast<int>(id));
    return text;
}

// Runs sql on the data source of the definition table; null when there is
// no data source or connection for it or the statement fails.
ResultSet* QueryDefinitionTable(const char* table, const std::string& sql) {
    const char* connectionName = nullptr;
    const char* dialect = nullptr;
    if (!ConnectionForTable(table, &connectionName, &dialect)) {
        LogError("No data source for the definition table %s\n", table);
        return nullptr;
    }
    std::string name = connectionName != nullptr ? connectionName : "";
    DBConnection* connection = GetDBConnection(connectionName);
    if (connection == nullptr) {
        LogError("No connection for the definition table %s\n", table);
        return nullptr;
    }
    ResultSet* set = ExecuteQuery(connection, sql.c_str());
    ReleaseDBConnection(connectionName != nullptr ? name.c_str() : nullptr);
    return set;
}

// The text form of the current row's cell in column index; false for an
// SQL NULL or a missing cell.
bool CellText(ResultSet* set, int32_t index, std::string* out) {
    ResultCell* cell = GetResultSetCell(set, index);
    if (cell == nullptr || cell->data == nullptr || index >= set->columnCount) return false;
    char* text = ConvertColumnValueToString(cell->data, set->columns[index].type);
    if (text == nullptr) return false;
    *out = text;
    std::free(text);
    // Character columns may come back padded.
    while (!out->empty() && out->back() == ' ') out->pop_back();
    return true;
}

bool NamedCellText(ResultSet* set, const char* column, std::string* out) {
    int32_t index = GetResultSetColumnIndex(set, column);
    return index >= 0 && CellText(set, index, out);
}

bool TextToId(const std::string& text, int32_t* id) {
    int32_t value = ConvertTextToInteger(text.c_str());
    if (value == -1 && text != "-1") return false;
    *id = value;
    return true;
}

// The ids of the first column of every row of sql on table.
std::vector<int32_t> ReadIds(const char* table, const std::string& sql) {
    std::vector<int32_t> ids;
    ResultSet* set = QueryDefinitionTable(table, sql);
    if (set == nullptr) return ids;
    while (ResultSetNext(set) != nullptr) {
        std::string text;
        int32_t id = 0;
        if (CellText(set, 0, &text) && TextToId(text, &id)) ids.push_back(id);
    }
    FreeResultSet(set);
    return ids;
}

// The first row's first cell of the detail statement; false (field absent)
// when the statement fails, returns no row, or the cell is NULL or empty.
bool ReadDetail(const char* table, const char* format, int32_t id, std::string* out) {
    out->clear();
    ResultSet* set = QueryDefinitionTable(table, Statement(format, id));
    if (set == nullptr) return false;
    bool found = ResultSetNext(set) != nullptr && CellText(set, 0, out) && !out->empty();
    FreeResultSet(set);
    if (!found) out->clear();
    return found;
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// The column's type in the table definitions (exact names), else 14.
uint8_t DefinedColumnType(const std::string& table, const std::string& column) {
    Vector* defns = GetTableDefnList();
    for (VectorNode* node = defns != nullptr ? defns->head : nullptr; node != nullptr; node = node->next) {
        auto* defn = static_cast<const TableDefn*>(node->element);
        if (defn == nullptr || defn->name == nullptr || table != defn->name) continue;
        for (VectorNode* c = defn->columns != nullptr ? defn->columns->head : nullptr; c != nullptr; c = c->next) {
            auto* entry = static_cast<const ColumnDefnEntry*>(c->element);
            if (entry != nullptr && entry->name != nullptr && column == entry->name) return entry->type;
        }
    }
    return ORV_SQL_CHAR;
}

// The position of name among the aggregate names (exact), 0 when absent.
uint8_t AggregateCode(const std::string& name) {
    for (uint8_t i = kAggregateDistinct; i <= kAggregateAvg; ++i) {
        if (name == kAggregateNames[i]) return i;
    }
    return kAggregateNone;
}

// The position of name among the operator names (exact), 0 when absent.
uint8_t OperatorCode(const std::string& name) {
    for (uint8_t i = kSqlLess; i <= kSqlBetween; ++i) {
        if (name == kOperatorNames[i]) return i;
    }
    return 0;
}

// A text copied into the pool (null for none); false when the copy fails.
bool PoolText(MemPool* pool, const std::string& text, const char** out) {
    *out = nullptr;
    if (text.empty()) return true;
    *out = MemPoolStrdup(pool, text.c_str());
    return *out != nullptr;
}

enum class TreeRead { kOk, kNoNode, kRefused };

// The criteria subtree of id: a boolean expression when BooleanExp has
// rows for it, else a relational one. path holds the boolean ids above.
TreeRead ReadCriteriaTree(int32_t id, std::vector<int32_t>& path, MemPool* pool, CriteriaNode** out) {
    *out = nullptr;
    ResultSet* set = QueryDefinitionTable("BooleanExp", Statement("SELECT * FROM BooleanExp WHERE B_ID = %d", id));
    if (set != nullptr && ResultSetNext(set) != nullptr) {
        for (int32_t above : path) {
            if (above == id) {
                LogError("Stored criteria expression %d refers to itself or to an expression above it: criteria refused\n",
                         static_cast<int>(id));
                FreeResultSet(set);
                return TreeRead::kRefused;
            }
        }
        if (path.size() >= static_cast<size_t>(kStoredCriteriaMaxDepth)) {
            LogError("Stored criteria deeper than %d levels: criteria refused\n", kStoredCriteriaMaxDepth);
            FreeResultSet(set);
            return TreeRead::kRefused;
        }
        std::string leftText, op, rightText;
        int32_t leftId = 0, rightId = 0;
        bool haveLeft = NamedCellText(set, "LEXPRESSION", &leftText) && TextToId(leftText, &leftId);
        NamedCellText(set, "OPERATOR", &op);
        bool haveRight = NamedCellText(set, "REXPRESSION", &rightText) && TextToId(rightText, &rightId);
        FreeResultSet(set);
        path.push_back(id);
        CriteriaNode* left = nullptr;
        CriteriaNode* right = nullptr;
        TreeRead status = haveLeft ? ReadCriteriaTree(leftId, path, pool, &left) : TreeRead::kNoNode;
        if (status != TreeRead::kRefused) {
            status = haveRight ? ReadCriteriaTree(rightId, path, pool, &right) : TreeRead::kNoNode;
        }
        path.pop_back();
        if (status == TreeRead::kRefused) return status;
        *out = op == "AND" ? CreateAndNode(left, right, pool) : CreateOrNode(left, right, pool);
        return *out != nullptr ? TreeRead::kOk : TreeRead::kNoNode;
    }
    FreeResultSet(set);

    set = QueryDefinitionTable("RelationalExp", Statement("SELECT * FROM RelationalExp WHERE R_ID = %d", id));
    if (set == nullptr || ResultSetNext(set) == nullptr) {
        LogDebug("\nInvalid ID\n");
        FreeResultSet(set);
        return TreeRead::kNoNode;
    }
    std::string column, op, value;
    NamedCellText(set, "LIDENTIFIER", &column);
    NamedCellText(set, "OPERATOR", &op);
    bool haveValue = NamedCellText(set, "RIDENTIFIER", &value);
    FreeResultSet(set);
    SelectColumn* selectColumn =
        CreateSelectColumn(nullptr, nullptr, OrNull(column), nullptr, 0, ORV_SQL_NCHAR, kAggregateNone, pool);
    if (selectColumn == nullptr) return TreeRead::kNoNode;
    *out = CreateCriteriaNode(selectColumn, haveValue ? value.c_str() : nullptr,
                              haveValue ? static_cast<int32_t>(value.size()) : 0, OperatorCode(op), pool);
    return *out != nullptr ? TreeRead::kOk : TreeRead::kNoNode;
}

// The text of the stored criteria subtree of id (PrintStoredCriteria).
bool CriteriaText(int32_t id, std::vector<int32_t>& path, std::string& out) {
    std::string found;
    if (ReadDetail("BooleanExp", "SELECT B_ID FROM BooleanExp WHERE B_ID = %d", id, &found)) {
        for (int32_t above : path) {
            if (above == id) {
                LogError("Stored criteria expression %d refers to itself or to an expression above it\n",
                         static_cast<int>(id));
                return false;
            }
        }
        if (path.size() >= static_cast<size_t>(kStoredCriteriaMaxDepth)) {
            LogError("Stored criteria deeper than %d levels\n", kStoredCriteriaMaxDepth);
            return false;
        }
        std::string left, op, right;
        int32_t leftId = 0, rightId = 0;
        ReadDetail("BooleanExp", "SELECT LEXPRESSION FROM BooleanExp WHERE B_ID = %d", id, &left);
        ReadDetail("BooleanExp", "SELECT OPERATOR FROM BooleanExp WHERE B_ID = %d", id, &op);
        ReadDetail("BooleanExp", "SELECT REXPRESSION FROM BooleanExp WHERE B_ID = %d", id, &right);
        path.push_back(id);
        bool ok = true;
        if (TextToId(left, &leftId)) ok = CriteriaText(leftId, path, out);
        out += op;
        if (ok && TextToId(right, &rightId)) ok = CriteriaText(rightId, path, out);
        path.pop_back();
        return ok;
    }
    std::string left, op, right;
    ReadDetail("RelationalExp", "SELECT LIDENTIFIER FROM RelationalExp WHERE R_ID = %d", id, &left);
    ReadDetail("RelationalExp", "SELECT OPERATOR FROM RelationalExp WHERE R_ID = %d", id, &op);
    ReadDetail("RelationalExp", "SELECT RIDENTIFIER FROM RelationalExp WHERE R_ID = %d", id, &right);
    out += left + op + right;
    return true;
}

Vector* ColumnListFromArgs(MemPool* pool, const char* tableName, int32_t count, va_list args) {
    Vector* list = NewColumnList(pool);
    if (list == nullptr) return nullptr;
    for (int32_t i = 0; i < count; ++i) {
        const char* name = va_arg(args, const char*);
        SelectColumn* column = CreateListColumn(tableName, nullptr, name, nullptr, 0, ORV_SQL_INT, kAggregateNone, pool);
        if (column == nullptr || !AddColumnToList(pool, column, list)) return nullptr;
    }
    return list;
}

}  // namespace

bool LoadQueryColumns(int32_t queryId, SelectQuery* query, MemPool* pool) {
    LogTrace("@@@ Inside LoadQueryColumns @@@\n");
    std::vector<int32_t> ids =
        ReadIds("QueryvsColumns", Statement("SELECT COLUMN_ID FROM QueryvsColumns WHERE QUERY_ID = %d", queryId));
    if (ids.empty()) {
        LogDebug("\nNo Columns to be selected.\n");
        return true;
    }
    for (int32_t id : ids) {
        std::string name, alias, table, tableAlias, function;
        ReadDetail("ColumnDetails", "SELECT COLUMNNAME FROM ColumnDetails WHERE COLUMN_ID = %d", id, &name);
        ReadDetail("ColumnDetails", "SELECT COLUMNALIAS FROM ColumnDetails WHERE COLUMN_ID = %d", id, &alias);
        ReadDetail("ColumnDetails", "SELECT TABLENAME FROM ColumnDetails WHERE COLUMN_ID = %d", id, &table);
        ReadDetail("ColumnDetails", "SELECT TABLEALIAS FROM ColumnDetails WHERE COLUMN_ID = %d", id, &tableAlias);
        ReadDetail("ColumnDetails", "SELECT FUNCTIONNAME FROM ColumnDetails WHERE COLUMN_ID = %d", id, &function);
        uint8_t type = DefinedColumnType(table, name);
        SelectColumn* column = CreateSelectColumn(OrNull(table), OrNull(tableAlias), OrNull(name), OrNull(alias), 0,
                                                  type, AggregateCode(function), pool);
        if (column != nullptr && !AddSelectColumn(query, column)) return false;
    }
    return true;
}

bool LoadQueryTables(int32_t queryId, SelectQuery* query, MemPool* pool) {
    LogTrace("@@@ Inside LoadQueryTables @@@\n");
    std::vector<int32_t> ids =
        ReadIds("QueryvsTables", Statement("SELECT TABLE_ID FROM QueryvsTables WHERE QUERY_ID = %d", queryId));
    if (ids.empty()) {
        LogDebug("\nNo Tables to be selected\n");
        return true;
    }
    for (int32_t id : ids) {
        std::string name, alias;
        ReadDetail("TableDetails", "SELECT TABLENAME FROM TableDetails WHERE TABLE_ID = %d", id, &name);
        ReadDetail("TableDetails", "SELECT TABLEALIAS FROM TableDetails WHERE TABLE_ID = %d", id, &alias);
        LogDebug("\nTable Alias = %s", alias.c_str());
        const char* tableName = nullptr;
        if (!PoolText(pool, name, &tableName)) return false;
        SelectTable* table = CreateSelectTable(tableName, OrNull(alias), pool);
        if (table != nullptr && !AddSelectTable(query, table)) return false;
    }
    return true;
}

bool LoadQueryJoins(int32_t queryId, SelectQuery* query, MemPool* pool) {
    LogTrace("@@@ Inside LoadQueryJoins @@@\n");
    std::vector<int32_t> ids =
        ReadIds("QueryvsJoins", Statement("SELECT JOIN_ID FROM QueryvsJoins WHERE QUERY_ID = %d", queryId));
    if (ids.empty()) {
        LogDebug("\nNo Join details\n");
        return true;
    }
    for (int32_t id : ids) {
        std::string base, baseAlias, ref, refAlias, baseColumn, refColumn, type;
        ReadDetail("JoinDetails", "SELECT BASETABLENAME FROM JoinDetails WHERE JOIN_ID = %d", id, &base);
        ReadDetail("JoinDetails", "SELECT BASETABLEALIAS FROM JoinDetails WHERE JOIN_ID = %d", id, &baseAlias);
        ReadDetail("JoinDetails", "SELECT REFTABLENAME FROM JoinDetails WHERE JOIN_ID = %d", id, &ref);
        ReadDetail("JoinDetails", "SELECT REFTABLEALIAS FROM JoinDetails WHERE JOIN_ID = %d", id, &refAlias);
        ReadDetail("JoinDetails", "SELECT BASETABLECOLUMN FROM JoinDetails WHERE JOIN_ID = %d", id, &baseColumn);
        ReadDetail("JoinDetails", "SELECT REFTABLECOLUMN FROM JoinDetails WHERE JOIN_ID = %d", id, &refColumn);
        ReadDetail("JoinDetails", "SELECT JOINTYPE FROM JoinDetails WHERE JOIN_ID = %d", id, &type);
        const char* baseName = nullptr;
        const char* refName = nullptr;
        if (!PoolText(pool, base, &baseName) || !PoolText(pool, ref, &refName)) return false;
        Vector* left = NewColumnList(pool);
        Vector* right = NewColumnList(pool);
        SelectColumn* lc = CreateListColumn(baseName, nullptr, OrNull(baseColumn), nullptr, 0, ORV_SQL_INT,
                                            kAggregateNone, pool);
        SelectColumn* rc = CreateListColumn(refName, nullptr, OrNull(refColumn), nullptr, 0, ORV_SQL_INT,
                                            kAggregateNone, pool);
        if (left == nullptr || right == nullptr || lc == nullptr || rc == nullptr) continue;
        if (!AddColumnToList(pool, lc, left) || !AddColumnToList(pool, rc, right)) return false;
        uint8_t joinType = type == "LEFT_JOIN" ? kJoinLeft : kJoinInner;
        JoinSpec* join = CreateJoinSpec(baseName, OrNull(baseAlias), refName, OrNull(refAlias), joinType, left, right,
                                        pool);
        if (join != nullptr && !AddJoin(query, join)) return false;
    }
    return true;
}

bool LoadQueryGroupBy(int32_t queryId, SelectQuery* query, MemPool* pool) {
    LogTrace("@@@ Inside LoadQueryGroupBy @@@\n");
    std::vector<int32_t> ids = ReadIds("QueryvsGB", Statement("SELECT GB_ID FROM QueryvsGB WHERE QUERY_ID = %d", queryId));
    if (ids.empty()) {
        LogDebug("\nNo GroupBy details\n");
        return true;
    }
    Vector* columns = NewColumnList(pool);
    if (columns == nullptr) return false;
    for (int32_t id : ids) {
        std::string table, name;
        ReadDetail("GroupByDetails", "SELECT TABLENAME FROM GroupByDetails WHERE GB_ID = %d", id, &table);
        ReadDetail("GroupByDetails", "SELECT COLUMNNAME FROM GroupByDetails WHERE GB_ID = %d", id, &name);
        SelectColumn* column = CreateSelectColumn(OrNull(table), nullptr, OrNull(name), nullptr, 0,
                                                  DefinedColumnType(table, name), kAggregateNone, pool);
        if (column != nullptr && !AddColumnToList(pool, column, columns)) return false;
    }
    GroupBySpec* spec = CreateGroupBySpec(columns, nullptr, pool);
    if (spec == nullptr) return false;
    SetGroupBy(query, spec);
    return true;
}

bool LoadQuerySort(int32_t queryId, SelectQuery* query, MemPool* pool) {
    LogTrace("@@@ Inside LoadQuerySort @@@\n");
    std::vector<int32_t> ids =
        ReadIds("QueryvsSort", Statement("SELECT SORT_ID FROM QueryvsSort WHERE QUERY_ID = %d", queryId));
    if (ids.empty()) {
        LogDebug("\nNo Sort details\n");
        return true;
    }
    Vector* columns = NewColumnList(pool);
    if (columns == nullptr) return false;
    uint8_t ascending = 0;
    for (int32_t id : ids) {
        std::string table, name, type;
        ReadDetail("SortDetails", "SELECT TABLENAME FROM SortDetails WHERE SORT_ID = %d", id, &table);
        ReadDetail("SortDetails", "SELECT COLUMNNAME FROM SortDetails WHERE SORT_ID = %d", id, &name);
        if (ReadDetail("SortDetails", "SELECT SORTTYPE FROM SortDetails WHERE SORT_ID = %d", id, &type)) {
            int32_t value = ConvertTextToInteger(type.c_str());
            ascending = static_cast<uint8_t>(static_cast<uint32_t>(value));
        }
        SelectColumn* column = CreateSelectColumn(OrNull(table), nullptr, OrNull(name), nullptr, 0,
                                                  DefinedColumnType(table, name), kAggregateNone, pool);
        if (column != nullptr && !AddColumnToList(pool, column, columns)) return false;
    }
    SortSpec* spec = CreateSortSpec(columns, ascending, pool);
    if (spec == nullptr) return false;
    SetSort(query, spec);
    return true;
}

bool LoadQueryCriteria(int32_t queryId, SelectQuery* query, MemPool* pool) {
    LogTrace("@@@ Inside LoadQueryCriteria @@@\n");
    std::vector<int32_t> ids =
        ReadIds("QueryvsCriteria", Statement("SELECT B_ID FROM QueryvsCriteria WHERE QUERY_ID = %d", queryId));
    if (ids.empty()) return true;
    std::vector<int32_t> path;
    CriteriaNode* root = nullptr;
    if (ReadCriteriaTree(ids.front(), path, pool, &root) == TreeRead::kOk) SetCriteria(query, root);
    return true;
}

SelectQuery* LoadStoredQuery(int32_t queryId) {
    LogTrace("@@@ Inside LoadStoredQuery @@@\n");
    SelectQuery* query = CreateSelectQuery();
    if (query == nullptr) return nullptr;
    MemPool* pool = query->pool;
    if (!LoadQueryColumns(queryId, query, pool) || !LoadQueryTables(queryId, query, pool) ||
        !LoadQueryJoins(queryId, query, pool) || !LoadQueryGroupBy(queryId, query, pool) ||
        !LoadQuerySort(queryId, query, pool) || !LoadQueryCriteria(queryId, query, pool)) {
        LogError("Stored query %d could not be built\n", static_cast<int>(queryId));
    }
    return query;
}

char* GenerateStoredQuery(int32_t queryId) {
    LogTrace("@@@ Inside GenerateStoredQuery @@@\n");
    if (!InitializeMemPool()) return nullptr;
    SelectQuery* query = LoadStoredQuery(queryId);
    char* sql = query != nullptr ? GenerateSelectQuery(query) : nullptr;
    FreeSelectQuery(query);
    TerminateMemPool();
    return sql;
}

bool BuildStoredQuery(int32_t queryId) {
    LogTrace("@@@ Inside BuildStoredQuery @@@\n");
    char* sql = GenerateStoredQuery(queryId);
    std::free(sql);
    return true;
}

bool ReadStoredQueryIds(std::vector<int32_t>* ids) {
    ids->clear();
    ResultSet* set = QueryDefinitionTable("QueryDetails", "SELECT QUERY_ID FROM QueryDetails");
    if (set == nullptr) {
        LogError("Query failed\n");
        return false;
    }
    while (ResultSetNext(set) != nullptr) {
        std::string text;
        int32_t id = 0;
        if (CellText(set, 0, &text) && TextToId(text, &id)) ids->push_back(id);
    }
    FreeResultSet(set);
    return true;
}

ResultSet* RunStoredQuery(int32_t queryId, std::string* sql) {
    LogTrace("@@@ Inside RunStoredQuery @@@\n");
    sql->clear();
    if (!InitializeMemPool()) return nullptr;
    SelectQuery* query = LoadStoredQuery(queryId);
    char* text = query != nullptr ? GenerateSelectQuery(query) : nullptr;
    std::string firstTable;
    if (query != nullptr && GetSelectQueryFirstTable(query) != nullptr) firstTable = GetSelectQueryFirstTable(query);
    FreeSelectQuery(query);
    TerminateMemPool();
    if (text == nullptr) {
        LogError("Stored query %d could not be generated\n", static_cast<int>(queryId));
        return nullptr;
    }
    *sql = text;
    std::free(text);
    return QueryDefinitionTable(firstTable.c_str(), *sql);
}

bool RunAllStoredQueries() {
    LogTrace("@@@ Inside RunAllStoredQueries @@@\n");
    std::vector<int32_t> ids;
    if (!ReadStoredQueryIds(&ids)) return false;
    for (int32_t id : ids) {
        std::string sql;
        ResultSet* set = RunStoredQuery(id, &sql);
        if (set != nullptr) PrintResultSet(set);
        FreeResultSet(set);
    }
    return true;
}

char* StoredCriteriaText(int32_t queryId) {
    LogTrace("@@@ Inside StoredCriteriaText @@@\n");
    std::vector<int32_t> ids =
        ReadIds("QueryvsCriteria", Statement("SELECT B_ID FROM QueryvsCriteria WHERE QUERY_ID = %d", queryId));
    std::string text;
    std::vector<int32_t> path;
    if (!ids.empty() && !CriteriaText(ids.front(), path, text)) return nullptr;
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

bool PrintStoredCriteria(int32_t queryId) {
    LogTrace("@@@ Inside PrintStoredCriteria @@@\n");
    char* text = StoredCriteriaText(queryId);
    if (text == nullptr) return false;
    LogDebug("\n%s\n", text);
    std::free(text);
    return true;
}

Vector* MakeColumnVector(MemPool* pool, int32_t count, ...) {
    LogTrace("@@ Inside MakeColumnVector @@\n");
    Vector* list = NewColumnList(pool);
    if (list == nullptr) return nullptr;
    va_list args;
    va_start(args, count);
    for (int32_t i = 0; i < count; ++i) {
        const char* name = va_arg(args, const char*);
        char* copy = name != nullptr ? MemPoolStrdup(pool, name) : nullptr;
        if ((name != nullptr && copy == nullptr) || !AddItemToList(pool, copy, list)) {
            list = nullptr;
            break;
        }
    }
    va_end(args);
    return list;
}

Vector* MakeColumnVectorForJoin(MemPool* pool, const char* tableName, int32_t count, ...) {
    LogTrace("@@ Inside MakeColumnVectorForJoin @@\n");
    va_list args;
    va_start(args, count);
    Vector* list = ColumnListFromArgs(pool, tableName, count, args);
    va_end(args);
    return list;
}

bool AddJoinToQuery(SelectQuery* query, const char* leftTable, const char* leftAlias, const char* rightTable,
                    const char* rightAlias, uint8_t joinType, Vector* leftColumns, Vector* rightColumns) {
    LogTrace("@@@ Inside AddJoinToQuery @@@\n");
    if (query == nullptr) return false;
    JoinSpec* join =
        CreateJoinSpec(leftTable, leftAlias, rightTable, rightAlias, joinType, leftColumns, rightColumns, query->pool);
    return join != nullptr && AddJoin(query, join);
}

bool AddJoinOnColumns(SelectQuery* query, const char* leftTable, const char* leftAlias, const char* rightTable,
                      const char* rightAlias, uint8_t joinType, int32_t count, ...) {
    LogTrace("@@@ Inside AddJoinOnColumns @@@\n");
    if (query == nullptr) return false;
    va_list args;
    va_start(args, count);
    Vector* columns = ColumnListFromArgs(query->pool, nullptr, count, args);
    va_end(args);
    if (columns == nullptr) return false;
    return AddJoinToQuery(query, leftTable, leftAlias, rightTable, rightAlias, joinType, columns, columns);
}

bool AddColumnToQuery(SelectQuery* query, const char* tableName, const char* tableAlias, const char* columnName,
                      const char* columnAlias, int32_t number, uint8_t dataType, uint8_t aggregate) {
    LogTrace("@@@ Inside AddColumnToQuery @@@\n");
    if (query == nullptr) return false;
    SelectColumn* column =
        CreateSelectColumn(tableName, tableAlias, columnName, columnAlias, number, dataType, aggregate, query->pool);
    return column != nullptr && AddSelectColumn(query, column);
}

}  // namespace orv
