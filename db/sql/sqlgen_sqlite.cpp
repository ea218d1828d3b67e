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
#include "db/sql/dialect_record.h"
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {
namespace {

/* The baseline with what Sqlite changes. */
constexpr SqlDialect SqliteRecord() {
    SqlDialect d = kBaselineDialect;
    d.name = "SQLITE";
    d.types = kSqliteTypes;
    d.trueLiteral = "1";
    d.falseLiteral = "0";
    d.blobForm = SqlBlobForm::kXQuote;
    d.signedIntegersOnly = true;
    d.fold = SqlIdentifierFold::kKeep;
    d.updateLocksDatabase = true;
    d.log.entryTrace = false;
    d.log.word = "Sqlite";
    return d;
}

}  // namespace

constinit const SqlDialect kSqliteDialect = SqliteRecord();

ORV_DEFINE_SQL_DIALECT(Sqlite, kSqliteDialect, "SQLITE")

}  // namespace orv
