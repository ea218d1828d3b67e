/*
 * The shared SQL generator of the four dialects (db/sql/sql_dialects.h). Each
 * statement and clause is written once here, over a SqlDialect record
 * (db/sql/dialect_record.h) that holds the points in which an engine
 * differs; a dialect's own file only fills that record and wraps these
 * functions under its names.
 *
 * Internal to the library.
 */
#ifndef ORV_DB_SQLGEN_H
#define ORV_DB_SQLGEN_H

#include <cstdint>

#include "datastore/row_object.h"
#include "datastore/type_codes.h"
#include "db/provider.h"
#include "db/result_set.h"
#include "db/select_query.h"
#include "db/sql/dialect_record.h"

namespace orv {

/* The maximum size a text column of size 0 is created with. */
constexpr int32_t kDefaultTextColumnSize = 255;

namespace sqlgen {

char* GenSelectQuery(const SqlDialect& d, const SelectQuery* query);
char* GenerateColumnsStr(const SqlDialect& d, const Vector* columns);
char* GenerateJoinsStr(const SqlDialect& d, const Vector* joins);
char* GenerateTableListStr(const SqlDialect& d, const Vector* tables);
char* GenerateCriteriaStr(const SqlDialect& d, const CriteriaNode* root);
char* GenerateGroupByStr(const SqlDialect& d, const GroupBySpec* groupBy);
char* GenerateSortColumnStr(const SqlDialect& d, const SortSpec* sort);
char* GenCriteriaString(const SqlDialect& d, const CriteriaNode* node);
char* GenUpdateQuery(const SqlDialect& d, const char* tableName, const RowObject* row);
char* GenInsertQuery(const SqlDialect& d, const char* tableName, const RowObject* row);
char* GenDeleteQuery(const SqlDialect& d, const char* tableName, const RowObject* row);
char* GenCreateQuery(const SqlDialect& d, const char* tableName);
RowObject* ConvResultsetToRowobject(const SqlDialect& d, ResultSet* set, const char* tableName);

}  // namespace sqlgen

/* Defines a dialect's thirteen named functions over its SqlDialect record
 * and its SQLGenerator table, e.g. ORV_DEFINE_SQL_DIALECT(Mysql,
 * kMysqlDialect, "MYSQL") gives MysqlGenSelectQuery ...
 * MysqlConvResultsetToRowobject and GetMysqlSQLGenerator(). */
#define ORV_DEFINE_SQL_DIALECT(Word, dialect, dialectName)                                                     \
    char* Word##GenSelectQuery(const SelectQuery* query) { return sqlgen::GenSelectQuery(dialect, query); }    \
    char* Word##GenerateColumnsStr(const Vector* columns) {                                                  \
        return sqlgen::GenerateColumnsStr(dialect, columns);                                                 \
    }                                                                                                        \
    char* Word##GenerateJoinsStr(const Vector* joins) { return sqlgen::GenerateJoinsStr(dialect, joins); }    \
    char* Word##GenerateTableListStr(const Vector* tables) {                                                 \
        return sqlgen::GenerateTableListStr(dialect, tables);                                                \
    }                                                                                                        \
    char* Word##GenerateCriteriaStr(const CriteriaNode* root) {                                              \
        return sqlgen::GenerateCriteriaStr(dialect, root);                                                   \
    }                                                                                                        \
    char* Word##GenerateGroupByStr(const GroupBySpec* groupBy) {                                             \
        return sqlgen::GenerateGroupByStr(dialect, groupBy);                                                 \
    }                                                                                                        \
    char* Word##GenerateSortColumnStr(const SortSpec* sort) { return sqlgen::GenerateSortColumnStr(dialect, sort); } \
    char* Word##GenCriteriaString(const CriteriaNode* node) { return sqlgen::GenCriteriaString(dialect, node); } \
    char* Word##GenUpdateQuery(const char* tableName, const RowObject* row) {                                \
        return sqlgen::GenUpdateQuery(dialect, tableName, row);                                              \
    }                                                                                                        \
    char* Word##GenInsertQuery(const char* tableName, const RowObject* row) {                                \
        return sqlgen::GenInsertQuery(dialect, tableName, row);                                              \
    }                                                                                                        \
    char* Word##GenDeleteQuery(const char* tableName, const RowObject* row) {                                \
        return sqlgen::GenDeleteQuery(dialect, tableName, row);                                              \
    }                                                                                                        \
    char* Word##GenCreateQuery(const char* tableName) { return sqlgen::GenCreateQuery(dialect, tableName); }  \
    RowObject* Word##ConvResultsetToRowobject(ResultSet* set, const char* tableName) {                       \
        return sqlgen::ConvResultsetToRowobject(dialect, set, tableName);                                    \
    }                                                                                                        \
    const SQLGenerator* Get##Word##SQLGenerator() {                                                          \
        static const SQLGenerator generator = {                                                              \
            dialectName,              Word##GenSelectQuery, Word##GenUpdateQuery,                            \
            Word##GenInsertQuery,     Word##GenDeleteQuery, Word##GenCreateQuery,                            \
            Word##ConvResultsetToRowobject,                                                                  \
        };                                                                                                   \
        return &generator;                                                                                   \
    }

}  // namespace orv

#endif
