/*
 * The MySQL dialect (also MariaDB): "MYSQL".
 *
 * Texts: quotes doubled and backslashes escaped (the default sql_mode reads
 * a backslash as an escape; a server running with NO_BACKSLASH_ESCAPES
 * would keep the doubled backslashes). Booleans are TINYINT 1 and 0;
 * unsigned types are the engine's own; single-precision floats go into
 * DOUBLE columns, since the server sends FLOAT values as text with six
 * digits only and they would not read back unchanged (every float is a
 * double exactly). Tables are InnoDB in utf8mb4.
 */
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {
namespace {

const SqlDialect kMysql = {
    .name = "MYSQL",
    .word = "Mysql",
    .paging = SqlPaging::kLimitOffsetCount,
    .tableAliasLead = " as ",
    .joinAliasLead = "as ",
    .trueLiteral = "1",
    .falseLiteral = "0",
    .escapeBackslash = true,
    .blobForm = SqlBlobForm::kXQuote,
    .signedIntegersOnly = false,
    .quoteKeyNumbers = true,
    .bigintMinValue = nullptr,
    .exponentFloatsExact = false,
    .identifierOpen = '`',
    .identifierClose = '`',
    .fold = SqlIdentifierFold::kKeep,
    .insertEnd = ")",
    .foreignKeyIndex = true,
    .tableEnd = "\n) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4;\n\n",
    .columnTypes =
        {
            "longblob",           // 0 not supported: any bytes
            "int",                // 1 tinyint
            "tinyint unsigned",   // 2
            "int",                // 3 smallint
            "smallint unsigned",  // 4
            "int",                // 5
            "int unsigned",       // 6
            "bigint",             // 7
            "bigint unsigned",    // 8
            "double",             // 9 float
            "double",             // 10
            "double",             // 11 real
            "decimal(18,4)",      // 12
            "numeric(18,4)",      // 13
            "varchar(%d)",        // 14
            "varchar(%d)",        // 15
            "date",               // 16
            "time",               // 17
            "datetime",           // 18
            "tinyint",            // 19
            "longblob",           // 20
            "longtext",           // 21
            "longtext",           // 22
        },
    .entryTrace = true,
    .deleteFunctionName = "GenDelteQuery",
    .updateTrace = "Update query is @@@ %s\n",
    .insertTrace = "Insert query is @@@%s\n",
    .memoryFailure = "MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n",
};

}  // namespace

ORV_DEFINE_SQL_DIALECT(Mysql, kMysql, "MYSQL")

}  // namespace orv
