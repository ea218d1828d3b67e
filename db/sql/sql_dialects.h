/*
 * The four SQL dialects: MySQL/MariaDB ("MYSQL"), PostgreSQL ("PGSQL"),
 * SQLite ("SQLITE") and Firebird 3 ("FIREBIRD"). Each turns the library's
 * structured requests (a SelectQuery, a table name with a row object, a
 * table definition) into statement text for its engine, and a row of a
 * query result back into a row object. The dialects share one generator
 * (db/sql/sqlgen.h); each supplies only the points in which its engine
 * differs.
 *
 * Every statement generator returns a new heap text (release it with
 * free()) or null. A statement is refused (null, with an ERROR line) when
 * it could not be written with the meaning it was asked for:
 *   - a table, column or alias name that is not a plain identifier
 *     ([A-Za-z_][A-Za-z0-9_$]*);
 *   - a value that is not of its column's type (a decimal that is no
 *     number, a float that is not finite, an unsigned 64-bit value above
 *     2^63-1 for SQLite and Firebird, whose integers are signed 64-bit, a
 *     character large object holding a zero byte, a date column value
 *     without its date);
 *   - an operator, aggregate or join type outside its code table.
 * Texts are written as literals escaped for the engine, binary values as
 * hexadecimal literals; identifiers that are reserved words of any of the
 * four engines are quoted in the form that keeps their unquoted meaning.
 *
 * Thread-safe: no shared state besides the log.
 */
#ifndef ORV_DB_SQL_DIALECTS_H
#define ORV_DB_SQL_DIALECTS_H

#include <cstdint>

#include "db/provider.h"
#include "db/result_set.h"
#include "db/select_query.h"
#include "util/mempool.h"

namespace orv {

/* The code tables, index = code. */
extern const char* const kAggregateNames[7]; /* "INVALID TYPE", "DISTINCT", "COUNT", "MIN", "MAX", "SUM", "AVG" */
extern const char* const kOperatorNames[11]; /* "INVALID OPERATOR", "<", ">", "<=", ">=", "=", "!=", "AND", "OR", "LIKE", "BETWEEN" */
extern const char* const kJoinTypeNames[2];  /* "INNER_JOIN", "LEFT_JOIN" */

/* The plain text of a value, copied into pool: integers in decimal (1, 3,
 * 5 signed, 2, 4, 6 unsigned, 7 and 8 in 64 bits), floats (9, 11 single,
 * 10 double) in the shortest form that reads back as the same value, the
 * bytes themselves for 12 to 15, 't' or 'f' (with the quotes) for a
 * boolean by its first byte. Null for 0, 16 to 18, 20 and above, for a
 * float that is not finite, a value shorter than its type, or when memory
 * runs out. */
char* ValueToSQLText(const void* value, int32_t length, uint8_t type, MemPool* pool);

/* The generator tables, named "MYSQL", "PGSQL", "SQLITE", "FIREBIRD". */
const SQLGenerator* GetMysqlSQLGenerator();
const SQLGenerator* GetPgsqlSQLGenerator();
const SQLGenerator* GetSqliteSQLGenerator();
const SQLGenerator* GetFirebirdSQLGenerator();

/* The thirteen functions of each dialect. The clause functions of a select
 * give the clause of one part of a query; every text is a new heap text or
 * null. */
#define ORV_SQL_DIALECT_FUNCTIONS(Word)                                          \
    char* Word##GenSelectQuery(const SelectQuery* query);                        \
    char* Word##GenerateColumnsStr(const Vector* columns);                       \
    char* Word##GenerateJoinsStr(const Vector* joins);                           \
    char* Word##GenerateTableListStr(const Vector* tables);                      \
    char* Word##GenerateCriteriaStr(const CriteriaNode* root);                   \
    char* Word##GenerateGroupByStr(const GroupBySpec* groupBy);                  \
    char* Word##GenerateSortColumnStr(const SortSpec* sort);                     \
    char* Word##GenCriteriaString(const CriteriaNode* node);                     \
    char* Word##GenUpdateQuery(const char* tableName, const RowObject* row);     \
    char* Word##GenInsertQuery(const char* tableName, const RowObject* row);     \
    char* Word##GenDeleteQuery(const char* tableName, const RowObject* row);     \
    char* Word##GenCreateQuery(const char* tableName);                           \
    RowObject* Word##ConvResultsetToRowobject(ResultSet* set, const char* tableName);

ORV_SQL_DIALECT_FUNCTIONS(Mysql)
ORV_SQL_DIALECT_FUNCTIONS(Pgsql)
ORV_SQL_DIALECT_FUNCTIONS(Sqlite)
ORV_SQL_DIALECT_FUNCTIONS(Firebird)

#undef ORV_SQL_DIALECT_FUNCTIONS

}  // namespace orv

#endif
