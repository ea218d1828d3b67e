/*
 * The Firebird 3 dialect: "FIREBIRD".
 *
 * Row count and offset are "first %d skip %d" after "select". Texts:
 * quotes doubled. Booleans are the engine's BOOLEAN with TRUE and FALSE;
 * binary values x'<hex>'; texts and character large objects BLOB SUB_TYPE
 * TEXT, binary ones BLOB SUB_TYPE BINARY. Dates, times and date-times are
 * written as quoted texts, which the engine converts to the column's type.
 * Single-precision floats go into DOUBLE PRECISION columns: the engine
 * refuses the largest floats for its FLOAT (3.4028234663852886e+38 is "out
 * of range"), and every float is a double exactly. The engine misreads
 * some decimal literals of doubles (one unit in the last place off, or
 * "out of range" below about 1e-307) when they have an exponent, so a
 * float whose shortest form has one is written in plain digits (an
 * integer below 2^53) or as the exact product
 * (CAST(m AS DOUBLE PRECISION) * POWER(CAST(2 AS DOUBLE PRECISION), k));
 * column defaults stay decimal literals. The engine cannot read
 * -9223372036854775808 as a literal (it negates 9223372036854775808):
 * that value is written (-9223372036854775807-1).
 * Firebird 3's integers are at most signed 64-bit: an unsigned bigint
 * above 2^63-1 is refused (the engine rejects the literal). The engine
 * takes a string literal of at most 65535 bytes and refuses a longer one,
 * so a longer text (or a blob over 32767 bytes, two digits a byte) cannot
 * be written into a statement.
 * Reserved words used as names are quoted in upper case, which is what
 * the unquoted name means.
 */
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {
namespace {

const SqlDialect kFirebird = {
    .name = "FIREBIRD",
    .word = "Firebird",
    .paging = SqlPaging::kFirstSkip,
    .tableAliasLead = " ",
    .joinAliasLead = "",
    .trueLiteral = "TRUE",
    .falseLiteral = "FALSE",
    .escapeBackslash = false,
    .blobForm = SqlBlobForm::kLowerXQuote,
    .signedIntegersOnly = true,
    .quoteKeyNumbers = false,
    .bigintMinValue = "(-9223372036854775807-1)",
    .exponentFloatsExact = true,
    .identifierOpen = '"',
    .identifierClose = '"',
    .fold = SqlIdentifierFold::kUpper,
    .insertEnd = ");",
    .foreignKeyIndex = false,
    .tableEnd = "\n);\n\n",
    .columnTypes =
        {
            "BLOB SUB_TYPE BINARY",  // 0 not supported: any bytes
            "int",                   // 1 tinyint
            "int",                   // 2
            "int",                   // 3 smallint
            "int",                   // 4
            "int",                   // 5
            "bigint",                // 6
            "bigint",                // 7
            "bigint",                // 8 (up to 2^63-1)
            "double precision",      // 9 float
            "double precision",      // 10
            "double precision",      // 11 real
            "decimal(18,4)",         // 12
            "numeric(18,4)",         // 13
            "varchar(%d)",           // 14
            "varchar(%d)",           // 15
            "date",                  // 16
            "time",                  // 17
            "timestamp",             // 18
            "BOOLEAN",               // 19
            "BLOB SUB_TYPE BINARY",  // 20
            "BLOB SUB_TYPE TEXT",    // 21
            "BLOB SUB_TYPE TEXT",    // 22
        },
    .entryTrace = true,
    .deleteFunctionName = "GenDeleteQuery",
    .updateTrace = "Update query is @@@%s\n",
    .insertTrace = nullptr,
    .memoryFailure = nullptr,
};

}  // namespace

ORV_DEFINE_SQL_DIALECT(Firebird, kFirebird, "FIREBIRD")

}  // namespace orv
