/*
 * The select query model.
 *
 * Every record and text of a query is cut from the query's pool; the query
 * record itself is the pool's first allocation, so destroying the pool
 * releases everything at once. The vectors of a query (its column, join
 * and table lists, and every list from NewColumnList) have their records in
 * the pool but their nodes on the heap (util/vector.h); each such vector
 * registers FreeVector with its pool when it is made, so its nodes go with
 * the pool whichever record it ends up in.
 */
#include "db/select_query.h"

#include <cstring>

#include "agent/log.h"

namespace orv {

namespace {

constexpr uint8_t kMaxSelectDataType = 21;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

/* Equal ignoring ASCII letter case; two absent texts are equal. */
bool EqualIgnoringCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    while (*a != '\0' && FoldAscii(*a) == FoldAscii(*b)) {
        ++a;
        ++b;
    }
    return FoldAscii(*a) == FoldAscii(*b);
}

void FreeVectorNodes(void* vector) { FreeVector(static_cast<Vector*>(vector)); }

/* An empty vector whose record lives in the pool and whose nodes are freed
 * when the pool goes; null when memory runs out. */
Vector* NewPoolVector(MemPool* pool) {
    Vector* vector = static_cast<Vector*>(MemPoolAlloc(pool, sizeof(Vector)));
    if (vector == nullptr) {
        return nullptr;
    }
    InitVector(vector);
    if (!MemPoolOnDestroy(pool, FreeVectorNodes, vector)) {
        return nullptr;
    }
    return vector;
}

/* Copies text into the pool; false when a present text cannot be copied. */
bool CopyText(MemPool* pool, const char* text, char** out) {
    *out = nullptr;
    if (text == nullptr) {
        return true;
    }
    *out = MemPoolStrdup(pool, text);
    return *out != nullptr;
}

SelectColumn* MakeColumn(const char* tableName, const char* tableAlias, const char* columnName,
                         const char* columnAlias, int32_t number, uint8_t dataType, uint8_t aggregate,
                         MemPool* pool) {
    if (dataType > kMaxSelectDataType) {
        LogError("\nInvalid Data Type\n");
        return nullptr;
    }
    SelectColumn* column = static_cast<SelectColumn*>(MemPoolAlloc(pool, sizeof(SelectColumn)));
    if (column == nullptr || !CopyText(pool, tableName, &column->tableName) ||
        !CopyText(pool, tableAlias, &column->tableAlias) || !CopyText(pool, columnName, &column->columnName) ||
        !CopyText(pool, columnAlias, &column->columnAlias)) {
        return nullptr;
    }
    column->number = number;
    column->dataType = dataType;
    column->aggregate = aggregate;
    return column;
}

CriteriaNode* MakeJunction(CriteriaNode* left, CriteriaNode* right, uint8_t op, MemPool* pool) {
    CriteriaNode* node = static_cast<CriteriaNode*>(MemPoolAlloc(pool, sizeof(CriteriaNode)));
    if (node == nullptr) {
        return nullptr;
    }
    node->op = op;
    node->left = left;
    node->right = right;
    if (left != nullptr) {
        left->parent = node;
    }
    if (right != nullptr) {
        right->parent = node;
    }
    return node;
}

}  // namespace

SelectQuery* CreateSelectQuery() {
    LogTrace("@@@ Inside CreateSelectQuery @@@\n");
    MemPool* pool = CreateMemPool(nullptr);
    if (pool == nullptr) {
        LogError("\nMEMORY ALLOCATION FOR SELECTQUERYPTR FAILED\n");
        return nullptr;
    }
    SelectQuery* query = static_cast<SelectQuery*>(MemPoolAlloc(pool, sizeof(SelectQuery)));
    if (query == nullptr || (query->columns = NewPoolVector(pool)) == nullptr ||
        (query->joins = NewPoolVector(pool)) == nullptr || (query->tables = NewPoolVector(pool)) == nullptr) {
        LogError("\nMEMORY ALLOCATION FOR SELECTQUERYPTR FAILED\n");
        DestroyMemPool(pool);
        return nullptr;
    }
    query->pool = pool;
    return query;
}

void FreeSelectQuery(SelectQuery* query) {
    LogTrace("@@@ Inside FreeSelectQuery @@@\n");
    if (query == nullptr) {
        return;
    }
    /* The record is inside its own pool: read the pool first. */
    DestroyMemPool(query->pool);
}

SelectColumn* CreateSelectColumn(const char* tableName, const char* tableAlias, const char* columnName,
                                 const char* columnAlias, int32_t number, uint8_t dataType, uint8_t aggregate,
                                 MemPool* pool) {
    LogTrace("@@@ Inside CreateSelectColumn @@@\n");
    if (columnName == nullptr && aggregate == kAggregateNone) {
        LogError("\nColumn Name is NULL\n");
        return nullptr;
    }
    return MakeColumn(tableName, tableAlias, columnName, columnAlias, number, dataType, aggregate, pool);
}

SelectColumn* CreateListColumn(const char* tableName, const char* tableAlias, const char* columnName,
                               const char* columnAlias, int32_t number, uint8_t dataType, uint8_t aggregate,
                               MemPool* pool) {
    LogTrace("@@@ Inside CreateListColumn @@@\n");
    if (columnName == nullptr) {
        LogError("\nColumn Name is NULL\n");
        return nullptr;
    }
    return MakeColumn(tableName, tableAlias, columnName, columnAlias, number, dataType, aggregate, pool);
}

bool AddSelectColumn(SelectQuery* query, SelectColumn* column) {
    LogTrace("@@@ Inside AddSelectColumn @@@\n");
    if (query == nullptr || column == nullptr) {
        return false;
    }
    return AddValue(query->columns, column) == 1;
}

bool AddSelectTable(SelectQuery* query, SelectTable* table) {
    LogTrace("@@@ Inside AddSelectTable @@@\n");
    if (query == nullptr || table == nullptr) {
        return false;
    }
    return AddValue(query->tables, table) == 1;
}

bool AddJoin(SelectQuery* query, JoinSpec* join) {
    LogTrace("@@@ Inside AddJoin @@@\n");
    if (query == nullptr || join == nullptr) {
        return false;
    }
    return AddValue(query->joins, join) == 1;
}

Vector* NewColumnList(MemPool* pool) {
    LogTrace("@@@ Inside NewColumnList @@@\n");
    return NewPoolVector(pool);
}

bool AddColumnToList(MemPool* pool, SelectColumn* column, Vector* list) {
    LogTrace("@@@ Inside AddColumnToList @@@\n");
    (void)pool; /* the nodes are heap nodes, released with the list */
    if (column == nullptr || list == nullptr) {
        return false;
    }
    return AddValue(list, column) == 1;
}

bool AddItemToList(MemPool* pool, void* item, Vector* list) {
    LogTrace("@@@ Inside AddItemToList @@@\n");
    (void)pool;
    if (item == nullptr || list == nullptr) {
        return false;
    }
    return AddValue(list, item) == 1;
}

bool RemoveSelectColumn(SelectQuery* query, const char* tableName, const char* columnName) {
    LogTrace("@@@ Inside RemoveSelectColumn @@@\n");
    bool removed = false;
    if (query != nullptr && query->columns != nullptr) {
        /* A query is used by one thread, so the chain may be walked here;
         * each removal goes through the vector's own operation. */
        VectorNode* node = query->columns->head;
        while (node != nullptr) {
            VectorNode* next = node->next;
            const SelectColumn* column = static_cast<const SelectColumn*>(node->element);
            bool match = false;
            if (column != nullptr) {
                if (column->tableName != nullptr) {
                    match = EqualIgnoringCase(column->tableName, tableName) &&
                            EqualIgnoringCase(column->columnName, columnName);
                } else {
                    match = EqualIgnoringCase(column->columnName, columnName);
                }
            }
            if (match) {
                DeleteElement(query->columns, node);
                removed = true;
            }
            node = next;
        }
    }
    if (!removed) {
        LogError("Invalid Column Name\n");
    }
    return removed;
}

SelectTable* CreateSelectTable(const char* tableName, const char* tableAlias, MemPool* pool) {
    LogTrace("@@@ Inside CreateSelectTable @@@\n");
    SelectTable* table = static_cast<SelectTable*>(MemPoolAlloc(pool, sizeof(SelectTable)));
    if (table == nullptr || !CopyText(pool, tableName, &table->tableName) ||
        !CopyText(pool, tableAlias, &table->tableAlias)) {
        return nullptr;
    }
    return table;
}

JoinSpec* CreateJoinSpec(const char* leftTable, const char* leftAlias, const char* rightTable,
                         const char* rightAlias, uint8_t joinType, Vector* leftColumns, Vector* rightColumns,
                         MemPool* pool) {
    LogTrace("@@@ Inside CreateJoinSpec @@@\n");
    JoinSpec* join = static_cast<JoinSpec*>(MemPoolAlloc(pool, sizeof(JoinSpec)));
    if (join == nullptr || !CopyText(pool, leftTable, &join->leftTable) ||
        !CopyText(pool, leftAlias, &join->leftAlias) || !CopyText(pool, rightTable, &join->rightTable) ||
        !CopyText(pool, rightAlias, &join->rightAlias)) {
        return nullptr;
    }
    join->joinType = joinType;
    join->leftColumns = leftColumns;
    join->rightColumns = rightColumns;
    return join;
}

CriteriaNode* CreateCriteriaNode(SelectColumn* column, const void* value, int32_t valueLength, uint8_t op,
                                 MemPool* pool) {
    LogTrace("@@@ Inside CreateCriteriaNode @@@\n");
    if (column == nullptr) {
        LogError("\nEmpty Column Assigned\n");
        return nullptr;
    }
    if (value != nullptr && valueLength < 0) {
        LogError("\nInvalid Value Length\n");
        return nullptr;
    }
    CriteriaNode* node = static_cast<CriteriaNode*>(MemPoolAlloc(pool, sizeof(CriteriaNode)));
    if (node == nullptr) {
        return nullptr;
    }
    if (value != nullptr) {
        node->value = MemPoolMemdup(pool, value, static_cast<size_t>(valueLength));
        if (node->value == nullptr) {
            return nullptr;
        }
        node->valueLength = valueLength;
    }
    node->column = column;
    node->op = op;
    return node;
}

CriteriaNode* CreateAndNode(CriteriaNode* left, CriteriaNode* right, MemPool* pool) {
    LogTrace("@@@ Inside CreateAndNode @@@\n");
    return MakeJunction(left, right, kSqlAnd, pool);
}

CriteriaNode* CreateOrNode(CriteriaNode* left, CriteriaNode* right, MemPool* pool) {
    LogTrace("@@@ Inside CreateOrNode @@@\n");
    return MakeJunction(left, right, kSqlOr, pool);
}

void SetCriteria(SelectQuery* query, CriteriaNode* root) {
    LogTrace("@@@ Inside SetCriteria @@@\n");
    if (query != nullptr) {
        query->criteria = root;
    }
}

GroupBySpec* CreateGroupBySpec(Vector* columns, CriteriaNode* having, MemPool* pool) {
    LogTrace("@@@ Inside CreateGroupBySpec @@@\n");
    GroupBySpec* spec = static_cast<GroupBySpec*>(MemPoolAlloc(pool, sizeof(GroupBySpec)));
    if (spec == nullptr) {
        return nullptr;
    }
    spec->columns = columns;
    spec->having = having;
    return spec;
}

void SetGroupBy(SelectQuery* query, GroupBySpec* spec) {
    LogTrace("@@@ Inside SetGroupBy @@@\n");
    if (query != nullptr) {
        query->groupBy = spec;
    }
}

SortSpec* CreateSortSpec(Vector* columns, uint8_t ascending, MemPool* pool) {
    LogTrace("@@@ Inside CreateSortSpec @@@\n");
    SortSpec* spec = static_cast<SortSpec*>(MemPoolAlloc(pool, sizeof(SortSpec)));
    if (spec == nullptr) {
        return nullptr;
    }
    spec->columns = columns;
    spec->ascending = ascending;
    return spec;
}

void SetSort(SelectQuery* query, SortSpec* spec) {
    LogTrace("@@@ Inside SetSort @@@\n");
    if (query != nullptr) {
        query->sort = spec;
    }
}

const char* GetSelectQueryFirstTable(const SelectQuery* query) {
    LogTrace("@@@ Inside GetSelectQueryFirstTable @@@\n");
    if (query == nullptr) {
        return nullptr;
    }
    if (query->tables != nullptr && query->tables->head != nullptr) {
        const SelectTable* table = static_cast<const SelectTable*>(query->tables->head->element);
        if (table != nullptr) {
            return table->tableName;
        }
    }
    if (query->joins != nullptr && query->joins->head != nullptr) {
        const JoinSpec* join = static_cast<const JoinSpec*>(query->joins->head->element);
        if (join != nullptr) {
            return join->leftTable;
        }
    }
    return nullptr;
}

}  // namespace orv
