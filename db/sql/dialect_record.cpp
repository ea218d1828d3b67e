/*
 * The column types of the four dialects side by side, and the lookups of
 * a dialect: by name, by index of kDialectNames, by connection. The only
 * place that compares dialect names.
 */
#include "db/sql/dialect_record.h"

#include <strings.h>

#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/provider.h"

namespace orv {

// clang-format off
const char* const kSqlColumnTypes[kMaxTypeCode + 1][kSqlTypeColumns] = {
    /*     MYSQL (MariaDB)      PGSQL               SQLITE           FIREBIRD */
    /*  0 not supported: any bytes */
    {"longblob",          "bytea",            "blob",          "BLOB SUB_TYPE BINARY"},
    /*  1 tinyint */
    {"int",               "int",              "int",           "int"},
    /*  2 unsigned tinyint */
    {"tinyint unsigned",  "int",              "int",           "int"},
    /*  3 smallint */
    {"int",               "int",              "int",           "int"},
    /*  4 unsigned smallint */
    {"smallint unsigned", "int",              "int",           "int"},
    /*  5 int */
    {"int",               "int",              "int",           "int"},
    /*  6 unsigned int */
    {"int unsigned",      "bigint",           "bigint",        "bigint"},
    /*  7 bigint */
    {"bigint",            "bigint",           "bigint",        "bigint"},
    /*  8 unsigned long int (SQLite, Firebird: up to 2^63-1) */
    {"bigint unsigned",   "numeric(20)",      "bigint",        "bigint"},
    /*  9 float */
    {"double",            "real",             "real",          "double precision"},
    /* 10 double */
    {"double",            "double precision", "double",        "double precision"},
    /* 11 real */
    {"double",            "real",             "real",          "double precision"},
    /* 12 decimal */
    {"decimal(18,4)",     "decimal(18,4)",    "decimal(18,4)", "decimal(18,4)"},
    /* 13 numeric */
    {"numeric(18,4)",     "numeric(18,4)",    "numeric(18,4)", "numeric(18,4)"},
    /* 14 char */
    {"varchar(%d)",       "varchar(%d)",      "varchar(%d)",   "varchar(%d)"},
    /* 15 nchar */
    {"varchar(%d)",       "varchar(%d)",      "varchar(%d)",   "varchar(%d)"},
    /* 16 date */
    {"date",              "date",             "varchar(30)",   "date"},
    /* 17 time */
    {"time",              "time",             "varchar(30)",   "time"},
    /* 18 datetime */
    {"datetime",          "timestamp",        "varchar(30)",   "timestamp"},
    /* 19 boolean */
    {"tinyint",           "boolean",          "boolean",       "BOOLEAN"},
    /* 20 blob */
    {"longblob",          "bytea",            "blob",          "BLOB SUB_TYPE BINARY"},
    /* 21 clob */
    {"longtext",          "text",             "text",          "BLOB SUB_TYPE TEXT"},
    /* 22 text */
    {"longtext",          "text",             "text",          "BLOB SUB_TYPE TEXT"},
};
// clang-format on

const SqlDialect* FindSqlDialect(const char* name) {
    if (name == nullptr) return nullptr;
    for (const SqlDialect* dialect : {&kMysqlDialect, &kPgsqlDialect, &kSqliteDialect, &kFirebirdDialect}) {
        if (strcasecmp(dialect->name, name) == 0) return dialect;
    }
    return nullptr;
}

int FindDialectIndex(const char* name) {
    if (name == nullptr) return -1;
    for (int i = 0; i < 4; ++i) {
        if (strcasecmp(name, kDialectNames[i]) == 0) return i;
    }
    return -1;
}

const char* DialectNameOfConnection(const char* connectionName) {
    if (IsDSNMapValid()) return connectionName != nullptr ? GetDialectNameOfConnection(connectionName) : nullptr;
    const uint8_t index = GetDSNDialectIndex();
    return index < 4 ? kDialectNames[index] : nullptr;
}

const SqlDialect* DialectOfConnection(const char* connectionName) {
    const char* name = DialectNameOfConnection(connectionName);
    if (name == nullptr) return nullptr;
    const SqlDialect* dialect = FindSqlDialect(name);
    return dialect != nullptr ? dialect : &kBaselineDialect;
}

}  // namespace orv
