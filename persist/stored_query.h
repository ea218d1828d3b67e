/*
 * Stored query definitions: select queries kept as rows of fourteen
 * database tables and rebuilt into a SelectQuery (db/select_query.h) by
 * query id, generated into SQL for the dialect of the query's first table
 * and run.
 *
 * The definition tables (ids are integer columns):
 *   QueryDetails (QUERY_ID)
 *   QueryvsColumns (QUERY_ID, COLUMN_ID)   ColumnDetails (COLUMN_ID,
 *       COLUMNNAME, COLUMNALIAS, TABLENAME, TABLEALIAS, FUNCTIONNAME)
 *   QueryvsTables (QUERY_ID, TABLE_ID)     TableDetails (TABLE_ID,
 *       TABLENAME, TABLEALIAS)
 *   QueryvsJoins (QUERY_ID, JOIN_ID)       JoinDetails (JOIN_ID,
 *       BASETABLENAME, BASETABLEALIAS, REFTABLENAME, REFTABLEALIAS,
 *       BASETABLECOLUMN, REFTABLECOLUMN, JOINTYPE "INNER_JOIN"/"LEFT_JOIN")
 *   QueryvsGB (QUERY_ID, GB_ID)            GroupByDetails (GB_ID,
 *       TABLENAME, COLUMNNAME)
 *   QueryvsSort (QUERY_ID, SORT_ID)        SortDetails (SORT_ID,
 *       TABLENAME, COLUMNNAME, SORTTYPE: non-zero ascending)
 *   QueryvsCriteria (QUERY_ID, B_ID)       BooleanExp (B_ID, LEXPRESSION,
 *       OPERATOR "AND" or else OR, REXPRESSION)
 *   RelationalExp (R_ID, LIDENTIFIER, OPERATOR, RIDENTIFIER)
 * A BooleanExp operand id with rows in BooleanExp is again a boolean
 * expression, any other id an R_ID. FUNCTIONNAME is empty or one of
 * DISTINCT, COUNT, MIN, MAX, SUM, AVG (exact case).
 *
 * Each definition table is read on its own data source (the data source
 * map), one statement per detail column, each on a connection taken from
 * the pool and given back at once. A detail statement without a row leaves
 * its field absent; empty texts count as absent. A criteria tree that
 * refers to itself or to an ancestor, or that is deeper than
 * kStoredCriteriaMaxDepth, is refused with an ERROR record and the query
 * gets no criteria.
 *
 * REQUIRES: the library started (InitVelkra). Thread-safety: as the pool
 * and the table definitions; a query built here belongs to the caller.
 */
#ifndef ORV_DB_STORED_QUERY_H
#define ORV_DB_STORED_QUERY_H

#include <cstdint>
#include <string>
#include <vector>

#include "db/result_set.h"
#include "db/select_query.h"
#include "util/mempool.h"
#include "util/vector.h"

namespace orv {

/* The deepest criteria tree read (levels of boolean expressions). */
inline constexpr int kStoredCriteriaMaxDepth = 64;

/* Each fills one part of the query from the stored rows of queryId. False
 * only when a text cannot be copied into the pool. */
bool LoadQueryColumns(int32_t queryId, SelectQuery* query, MemPool* pool);
bool LoadQueryTables(int32_t queryId, SelectQuery* query, MemPool* pool);
bool LoadQueryJoins(int32_t queryId, SelectQuery* query, MemPool* pool);
bool LoadQueryGroupBy(int32_t queryId, SelectQuery* query, MemPool* pool);
bool LoadQuerySort(int32_t queryId, SelectQuery* query, MemPool* pool);
bool LoadQueryCriteria(int32_t queryId, SelectQuery* query, MemPool* pool);

/* A new query built by the six loaders in that order; null when it cannot
 * be created. The caller frees it with FreeSelectQuery. */
SelectQuery* LoadStoredQuery(int32_t queryId);

/* The statement of the stored query, a new heap text (free()), or null
 * when it cannot be built or generated. Takes and releases a use of the
 * root memory pool. */
char* GenerateStoredQuery(int32_t queryId);

/* Builds and generates the query (the statement is logged). True. */
bool BuildStoredQuery(int32_t queryId);

/* The ids of QueryDetails in row order ("SELECT QUERY_ID FROM
 * QueryDetails"); false with "Query failed\n" at ERROR when it fails. */
bool ReadStoredQueryIds(std::vector<int32_t>* ids);

/* Generates the stored query and runs it on the data source of its first
 * table. OUT *sql: the statement (empty when none). Returns the rows (the
 * caller frees them with FreeResultSet) or null when the query cannot be
 * built, generated or run (ERROR records say why). */
ResultSet* RunStoredQuery(int32_t queryId, std::string* sql);

/* For every stored query: built, generated, run and its result set
 * printed to the log (PrintResultSet). False only when the ids cannot be
 * read. */
bool RunAllStoredQueries();

/* The stored criteria of the query as one text: left operand, operator,
 * right operand, concatenated without separators; new heap text (free()),
 * empty when the query has none, null for a cyclic or too deep tree. */
char* StoredCriteriaText(int32_t queryId);

/* Writes StoredCriteriaText at DEBUG as "\n%s\n". False when it is null. */
bool PrintStoredCriteria(int32_t queryId);

/* A vector in the pool of count pool copies of the texts that follow. */
Vector* MakeColumnVector(MemPool* pool, int32_t count, ...);

/* A vector in the pool of count SelectColumns of tableName with the column
 * names that follow, type 5 and no aggregate; null when one cannot be
 * made. */
Vector* MakeColumnVectorForJoin(MemPool* pool, const char* tableName, int32_t count, ...);

/* CreateJoinSpec and AddJoin. */
bool AddJoinToQuery(SelectQuery* query, const char* leftTable, const char* leftAlias, const char* rightTable,
                    const char* rightAlias, uint8_t joinType, Vector* leftColumns, Vector* rightColumns);

/* A join on same-named columns: one list of count columns without table
 * name (type 5) used as both column lists. */
bool AddJoinOnColumns(SelectQuery* query, const char* leftTable, const char* leftAlias, const char* rightTable,
                      const char* rightAlias, uint8_t joinType, int32_t count, ...);

/* CreateSelectColumn and AddSelectColumn. */
bool AddColumnToQuery(SelectQuery* query, const char* tableName, const char* tableAlias, const char* columnName,
                      const char* columnAlias, int32_t number, uint8_t dataType, uint8_t aggregate);

}  // namespace orv

#endif
