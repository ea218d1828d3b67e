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
#include "db/sql/dialect_record.h"
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {
namespace {

/* The baseline with what Firebird changes. */
constexpr SqlDialect FirebirdRecord() {
    SqlDialect d = kBaselineDialect;
    d.name = "FIREBIRD";
    d.types = kFirebirdTypes;
    d.paging = SqlPaging::kFirstSkip;
    d.tableAliasLead = " ";
    d.joinAliasLead = "";
    d.trueLiteral = "TRUE";
    d.falseLiteral = "FALSE";
    d.blobForm = SqlBlobForm::kLowerXQuote;
    d.signedIntegersOnly = true;
    d.bigintMinValue = "(-9223372036854775807-1)";
    d.exponentFloatsExact = true;
    d.fold = SqlIdentifierFold::kUpper;
    d.tableLookup = "select RDB$RELATION_NAME from RDB$RELATIONS where RDB$RELATION_NAME = ";
    d.log.word = "Firebird";
    return d;
}

}  // namespace

constinit const SqlDialect kFirebirdDialect = FirebirdRecord();

ORV_DEFINE_SQL_DIALECT(Firebird, kFirebirdDialect, "FIREBIRD")

}  // namespace orv
