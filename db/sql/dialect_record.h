/*
 * The dialect record: every point in which one of the four engines
 * (MYSQL, PGSQL, SQLITE, FIREBIRD) differs is a field of one record, and
 * what every writer of SQL text in the library takes from it: the dialect
 * of a name or of a connection, the one writer of text literals and the
 * one check of plain identifiers. Code outside db/sql/ never compares
 * dialect names; it reads the record.
 *
 * Each dialect copies the baseline record (kBaselineDialect, which holds
 * PostgreSQL's choices) and overrides only where its engine differs; the
 * column types of all four stand side by side in one table
 * (kSqlColumnTypes), a row per type code and a column per dialect.
 *
 * Thread-safe: the records are constants; the connection lookup only
 * reads start-up state.
 */
#ifndef ORV_DB_SQL_DIALECT_RECORD_H
#define ORV_DB_SQL_DIALECT_RECORD_H

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/type_codes.h"

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

/* The dialects' columns of kSqlColumnTypes, in the order of the dialect
 * table of the README. */
enum SqlTypeColumn : uint8_t { kMysqlTypes, kPgsqlTypes, kSqliteTypes, kFirebirdTypes, kSqlTypeColumns };

/* The column type of each type code 0 to 22 in each dialect; "%d" stands
 * for the column's maximum size (texts). */
extern const char* const kSqlColumnTypes[kMaxTypeCode + 1][kSqlTypeColumns];

/* What a dialect's generator writes into the log besides its statements,
 * with the quirks of naming each has kept. */
struct SqlLogNames {
    const char* word;               /* "Mysql", "Pgsql", "Sqlite", "Firebird": prefix of logged function names */
    bool entryTrace;                /* "@@@ Inside <word><function> @@@\n" on update, insert, delete,
                                     * create and conversion */
    const char* deleteFunctionName; /* the name the delete generator logs itself under */
    const char* updateTrace;        /* "Update query is @@@%s\n" */
    const char* insertTrace;        /* or null */
    const char* memoryFailure;      /* ERROR of update and insert when memory runs out, or null */
};

struct SqlDialect {
    const char* name;  /* "MYSQL", "PGSQL", "SQLITE", "FIREBIRD" */
    SqlTypeColumn types; /* its column of kSqlColumnTypes */

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
    const char* statementEnd;   /* after an insert and the library's own statements: ";" or "" (MySQL) */
    bool foreignKeyIndex;       /* "\tINDEX %s_IDX%d (%s)" after each foreign key (MySQL) */
    const char* tableEnd;       /* after the last clause of a create table */

    /* The sequence table (persist/seqgen_db.cpp). */
    bool updateLocksDatabase;   /* an update holds the database's write lock to the end of its
                                 * transaction, so that a sequence is raised before it is read (SQLite) */
    const char* tableLookup;    /* a query giving a row when the table whose name follows, as an
                                 * upper-case text literal, exists; for an engine without "create
                                 * table if not exists" (Firebird), else null */

    SqlLogNames log;
};

/* The baseline every dialect copies: PostgreSQL's choices, the ones most
 * of the four engines share. A dialect name that none of the four has is
 * written in it. */
inline constexpr SqlDialect kBaselineDialect = {
    .name = "PGSQL",
    .types = kPgsqlTypes,
    .paging = SqlPaging::kLimitOffset,
    .tableAliasLead = " as ",
    .joinAliasLead = "as ",
    .trueLiteral = "true",
    .falseLiteral = "false",
    .escapeBackslash = false,
    .blobForm = SqlBlobForm::kDecodeHex,
    .signedIntegersOnly = false,
    .quoteKeyNumbers = false,
    .bigintMinValue = nullptr,
    .exponentFloatsExact = false,
    .identifierOpen = '"',
    .identifierClose = '"',
    .fold = SqlIdentifierFold::kLower,
    .statementEnd = ";",
    .foreignKeyIndex = false,
    .tableEnd = "\n);\n\n",
    .updateLocksDatabase = false,
    .tableLookup = nullptr,
    .log =
        {
            .word = "Pgsql",
            .entryTrace = true,
            .deleteFunctionName = "GenDeleteQuery",
            .updateTrace = "Update query is @@@%s\n",
            .insertTrace = nullptr,
            .memoryFailure = nullptr,
        },
};

/* The records of the four dialects (sqlgen_<dialect>.cpp). */
extern const SqlDialect kMysqlDialect;
extern const SqlDialect kPgsqlDialect;
extern const SqlDialect kSqliteDialect;
extern const SqlDialect kFirebirdDialect;

/* The record of a dialect name (any case), or null for none of the four. */
const SqlDialect* FindSqlDialect(const char* name);

/* The index of a dialect name (any case) in kDialectNames (db/provider.h),
 * or -1 for none of the four. */
int FindDialectIndex(const char* name);

/* The dialect name of a connection: in map mode the data source's own as
 * its connection parameters give it (null for a null name), else the
 * library's dialect (GetDSNDialectIndex). Null when unknown. */
const char* DialectNameOfConnection(const char* connectionName);

/* The record of a connection's dialect (DialectNameOfConnection): the
 * baseline for a name none of the four has, null when the connection has
 * no dialect name. */
const SqlDialect* DialectOfConnection(const char* connectionName);

/* Appends text as a quoted text literal of the dialect: quotes doubled,
 * and backslashes doubled where the engine reads them as escapes
 * (escapeBackslash). Every text value the library writes into a
 * statement goes through here. */
void AppendSqlTextLiteral(const SqlDialect& dialect, std::string_view text, std::string* out);

/* [A-Za-z_][A-Za-z0-9_$]*: a name that can stand in a statement as it is
 * written. False for null. */
bool IsPlainSqlIdentifier(const char* name);

}  // namespace orv

#endif
