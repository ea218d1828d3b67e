/*
 * The select query model: the structured form of a select statement
 * (columns, tables, joins, criteria, grouping with a having condition,
 * sort, limit and offset). Every part of a query, texts included, lives in
 * the query's own memory pool (util/mempool.h) and goes with the query.
 *
 * Not thread-safe: a query is built and read by one thread.
 */
#ifndef ORV_DB_SELECT_QUERY_H
#define ORV_DB_SELECT_QUERY_H

#include <cstdint>

#include "util/mempool.h"
#include "util/vector.h"

namespace orv {

/* Aggregates. */
constexpr uint8_t kAggregateNone = 0;
constexpr uint8_t kAggregateDistinct = 1;
constexpr uint8_t kAggregateCount = 2;
constexpr uint8_t kAggregateMin = 3;
constexpr uint8_t kAggregateMax = 4;
constexpr uint8_t kAggregateSum = 5;
constexpr uint8_t kAggregateAvg = 6;

/* Criteria operators of a select query. */
constexpr uint8_t kSqlLess = 1;
constexpr uint8_t kSqlGreater = 2;
constexpr uint8_t kSqlLessEqual = 3;
constexpr uint8_t kSqlGreaterEqual = 4;
constexpr uint8_t kSqlEqual = 5;
constexpr uint8_t kSqlNotEqual = 6;
constexpr uint8_t kSqlAnd = 7;
constexpr uint8_t kSqlOr = 8;
constexpr uint8_t kSqlLike = 9;
constexpr uint8_t kSqlBetween = 10;

/* Join types. */
constexpr uint8_t kJoinInner = 0;
constexpr uint8_t kJoinLeft = 1;

struct SelectColumn {
    char* tableName;   /* each text may be null */
    char* tableAlias;
    char* columnName;
    char* columnAlias;
    int32_t number;    /* stored for the caller */
    uint8_t dataType;  /* 0 to 21 */
    uint8_t aggregate;
};

struct SelectTable {
    char* tableName;
    char* tableAlias;
};

struct JoinSpec {
    char* leftTable;
    char* leftAlias;
    char* rightTable;
    char* rightAlias;
    uint8_t joinType;
    Vector* leftColumns;  /* of SelectColumn, paired by position */
    Vector* rightColumns;
};

struct CriteriaNode {
    SelectColumn* column;
    void* value;         /* byte copy with an extra zero byte, or null */
    int32_t valueLength;
    uint8_t op;          /* kSqlLess ... kSqlBetween */
    CriteriaNode* left;
    CriteriaNode* right;
    CriteriaNode* parent;
};

struct GroupBySpec {
    Vector* columns; /* of SelectColumn */
    CriteriaNode* having;
};

struct SortSpec {
    Vector* columns; /* of SelectColumn */
    uint8_t ascending;
};

struct SelectQuery {
    MemPool* pool;
    Vector* columns; /* of SelectColumn */
    Vector* joins;   /* of JoinSpec */
    CriteriaNode* criteria;
    GroupBySpec* groupBy;
    SortSpec* sort;
    Vector* tables;  /* of SelectTable */
    int32_t limit;   /* 0: none */
    int32_t offset;  /* 0: none */
};

/* A query's pool is created under the root pool when there is one: a query
 * still open when the root's last use ends goes with the root, and must
 * not be freed again afterwards. Every vector made for a query (its own
 * lists and those of NewColumnList) has its nodes released with the pool. */
SelectQuery* CreateSelectQuery();
void FreeSelectQuery(SelectQuery* query);

SelectColumn* CreateSelectColumn(const char* tableName, const char* tableAlias, const char* columnName,
                                 const char* columnAlias, int32_t number, uint8_t dataType, uint8_t aggregate,
                                 MemPool* pool);
SelectColumn* CreateListColumn(const char* tableName, const char* tableAlias, const char* columnName,
                               const char* columnAlias, int32_t number, uint8_t dataType, uint8_t aggregate,
                               MemPool* pool);
bool AddSelectColumn(SelectQuery* query, SelectColumn* column);
bool AddSelectTable(SelectQuery* query, SelectTable* table);
bool AddJoin(SelectQuery* query, JoinSpec* join);
Vector* NewColumnList(MemPool* pool);
bool AddColumnToList(MemPool* pool, SelectColumn* column, Vector* list);
bool AddItemToList(MemPool* pool, void* item, Vector* list);
bool RemoveSelectColumn(SelectQuery* query, const char* tableName, const char* columnName);
SelectTable* CreateSelectTable(const char* tableName, const char* tableAlias, MemPool* pool);
JoinSpec* CreateJoinSpec(const char* leftTable, const char* leftAlias, const char* rightTable,
                         const char* rightAlias, uint8_t joinType, Vector* leftColumns, Vector* rightColumns,
                         MemPool* pool);
CriteriaNode* CreateCriteriaNode(SelectColumn* column, const void* value, int32_t valueLength, uint8_t op,
                                 MemPool* pool);
CriteriaNode* CreateAndNode(CriteriaNode* left, CriteriaNode* right, MemPool* pool);
CriteriaNode* CreateOrNode(CriteriaNode* left, CriteriaNode* right, MemPool* pool);
void SetCriteria(SelectQuery* query, CriteriaNode* root);
GroupBySpec* CreateGroupBySpec(Vector* columns, CriteriaNode* having, MemPool* pool);
void SetGroupBy(SelectQuery* query, GroupBySpec* spec);
SortSpec* CreateSortSpec(Vector* columns, uint8_t ascending, MemPool* pool);
void SetSort(SelectQuery* query, SortSpec* spec);

/* The table a query is generated for: the first of its table list, else
 * the left table of its first join; null when both are empty. */
const char* GetSelectQueryFirstTable(const SelectQuery* query);

}  // namespace orv

#endif
