/*
 * The PostgreSQL dialect: "PGSQL".
 *
 * Texts: quotes doubled (standard_conforming_strings, on by default since
 * 9.1, keeps backslashes as they are). Booleans are BOOLEAN true and
 * false; binary values are written decode('<hex>','hex'), which does not
 * depend on that setting. The engine has no unsigned types: each unsigned
 * code takes the next wider signed type, unsigned bigint numeric(20).
 * Reserved words used as names are quoted in lower case, which is what
 * the unquoted name means.
 */
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {
namespace {

const SqlDialect kPgsql = {
    .name = "PGSQL",
    .word = "Pgsql",
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
    .insertEnd = ");",
    .foreignKeyIndex = false,
    .tableEnd = "\n);\n\n",
    .columnTypes =
        {
            "bytea",             // 0 not supported: any bytes
            "int",               // 1 tinyint
            "int",               // 2
            "int",               // 3 smallint
            "int",               // 4
            "int",               // 5
            "bigint",            // 6
            "bigint",            // 7
            "numeric(20)",       // 8
            "real",              // 9 float
            "double precision",  // 10
            "real",              // 11
            "decimal(18,4)",     // 12
            "numeric(18,4)",     // 13
            "varchar(%d)",       // 14
            "varchar(%d)",       // 15
            "date",              // 16
            "time",              // 17
            "timestamp",         // 18
            "boolean",           // 19
            "bytea",             // 20
            "text",              // 21
            "text",              // 22
        },
    .entryTrace = true,
    .deleteFunctionName = "GenDeleteQuery",
    .updateTrace = "Update query is @@@%s\n",
    .insertTrace = nullptr,
    .memoryFailure = nullptr,
};

}  // namespace

ORV_DEFINE_SQL_DIALECT(Pgsql, kPgsql, "PGSQL")

}  // namespace orv
