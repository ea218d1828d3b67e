/*
 * The shared SQL generator of the four dialects (db/sql/sql_dialects.h). Each
 * statement and clause is written once here, over a SqlDialect record that
 * holds the points in which an engine differs; a dialect's own file only
 * fills that record and wraps these functions under its names.
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

namespace orv {

/* Where a select's row count and offset go. */
enum class SqlPaging : uint8_t {
    kFirstSkip,         /* "select first %d skip %d ..." (Firebird) */
    kLimitOffset,       /* "... limit %d offset %d" (SQLite, PostgreSQL) */
    kLimitOffsetCount,  /* "... limit %d , %d" with the offset first (MySQL) */
};

/* How a binary value is written. */
enum class SqlBlobForm : uint8_t {
    kXQuote,       /* X'00ff' (SQLite, MySQL) */
    kLowerXQuote,  /* x'00ff' (Firebird) */
    kDecodeHex,    /* decode('00ff','hex') (PostgreSQL, whatever standard_conforming_strings says) */
};

/* How a quoted identifier keeps the meaning of the unquoted one. */
enum class SqlIdentifierFold : uint8_t {
    kKeep,   /* MySQL (backquotes), SQLite */
    kLower,  /* PostgreSQL folds unquoted names to lower case */
    kUpper,  /* Firebird folds them to upper case */
};

struct SqlDialect {
    const char* name;  /* "MYSQL", "PGSQL", "SQLITE", "FIREBIRD" */
    const char* word;  /* "Mysql", "Pgsql", "Sqlite", "Firebird": the prefix of logged function names */

    /* Select. */
    SqlPaging paging;
    const char* tableAliasLead; /* before a table list alias: " " or " as " */
    const char* joinAliasLead;  /* before a join alias: "" or "as " */

    /* Values. */
    const char* trueLiteral;
    const char* falseLiteral;
    bool escapeBackslash;       /* a backslash in a text literal is an escape (MySQL, MariaDB) */
    SqlBlobForm blobForm;
    bool signedIntegersOnly;    /* no column holds an unsigned 64-bit value above 2^63-1 */
    bool quoteKeyNumbers;       /* key values of update and delete conditions in quotes (MySQL) */
    const char* bigintMinValue; /* how -2^63 is written where the engine cannot read it as a literal, or null */
    bool exponentFloatsExact;   /* floats whose shortest form has an exponent, which the engine
                                 * misreads (Firebird), written as plain integer digits or the exact
                                 * product (CAST(m AS DOUBLE PRECISION) * POWER(CAST(2 AS DOUBLE PRECISION), k)) */

    /* Identifiers that are reserved words are written between these. */
    char identifierOpen;
    char identifierClose;
    SqlIdentifierFold fold;

    /* Statements. */
    const char* insertEnd;      /* ");" or ")" */
    bool foreignKeyIndex;       /* "\tINDEX %s_IDX%d (%s)" after each foreign key (MySQL) */
    const char* tableEnd;       /* after the last clause of a create table */
    /* Column type of each type code 0 to 22; "%d" stands for the column's
     * maximum size (texts). */
    const char* columnTypes[kMaxTypeCode + 1];

    /* Logged texts. */
    bool entryTrace;            /* "@@@ Inside <word><function> @@@\n" on update, insert, delete, create, conversion */
    const char* deleteFunctionName; /* the name the delete generator logs itself under */
    const char* updateTrace;    /* "Update query is @@@%s\n" */
    const char* insertTrace;    /* or null */
    const char* memoryFailure;  /* ERROR of update and insert when memory runs out, or null */
};

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
 * and its SQLGenerator table, e.g. ORV_DEFINE_SQL_DIALECT(Mysql, kMysql,
 * "MYSQL") gives MysqlGenSelectQuery ... MysqlConvResultsetToRowobject and
 * GetMysqlSQLGenerator(). */
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
