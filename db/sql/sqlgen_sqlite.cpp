/*
 * The SQLite dialect: "SQLITE".
 *
 * Texts: quotes doubled. Booleans are 1 and 0 in a BOOLEAN column; dates,
 * times and date-times are kept as their text in varchar(30). SQLite's
 * integers are signed 64-bit: an unsigned bigint above 2^63-1 is refused
 * rather than stored as an approximate REAL. Its REAL holds every float
 * and double; DECIMAL and NUMERIC keep 15 significant digits (the engine
 * stores them as REAL when they are not whole).
 */
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {
namespace {

const SqlDialect kSqlite = {
    .name = "SQLITE",
    .word = "Sqlite",
    .paging = SqlPaging::kLimitOffset,
    .tableAliasLead = " as ",
    .joinAliasLead = "as ",
    .trueLiteral = "1",
    .falseLiteral = "0",
    .escapeBackslash = false,
    .blobForm = SqlBlobForm::kXQuote,
    .signedIntegersOnly = true,
    .quoteKeyNumbers = false,
    .bigintMinValue = nullptr,
    .exponentFloatsExact = false,
    .identifierOpen = '"',
    .identifierClose = '"',
    .fold = SqlIdentifierFold::kKeep,
    .insertEnd = ");",
    .foreignKeyIndex = false,
    .tableEnd = "\n);\n\n",
    .columnTypes =
        {
            "blob",           // 0 not supported: any bytes
            "int",            // 1 tinyint
            "int",            // 2
            "int",            // 3 smallint
            "int",            // 4
            "int",            // 5
            "bigint",         // 6
            "bigint",         // 7
            "bigint",         // 8 (up to 2^63-1)
            "real",           // 9 float
            "double",         // 10
            "real",           // 11
            "decimal(18,4)",  // 12
            "numeric(18,4)",  // 13
            "varchar(%d)",    // 14
            "varchar(%d)",    // 15
            "varchar(30)",    // 16
            "varchar(30)",    // 17
            "varchar(30)",    // 18
            "boolean",        // 19
            "blob",           // 20
            "text",           // 21
            "text",           // 22
        },
    .entryTrace = false,
    .deleteFunctionName = "GenDeleteQuery",
    .updateTrace = "Update query is @@@%s\n",
    .insertTrace = nullptr,
    .memoryFailure = nullptr,
};

}  // namespace

ORV_DEFINE_SQL_DIALECT(Sqlite, kSqlite, "SQLITE")

}  // namespace orv
