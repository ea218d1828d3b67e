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
#include "db/sql/dialect_record.h"
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {
namespace {

/* The baseline with what Mysql changes. */
constexpr SqlDialect MysqlRecord() {
    SqlDialect d = kBaselineDialect;
    d.name = "MYSQL";
    d.types = kMysqlTypes;
    d.paging = SqlPaging::kLimitOffsetCount;
    d.trueLiteral = "1";
    d.falseLiteral = "0";
    d.escapeBackslash = true;
    d.blobForm = SqlBlobForm::kXQuote;
    d.quoteKeyNumbers = true;
    d.identifierOpen = '`';
    d.identifierClose = '`';
    d.fold = SqlIdentifierFold::kKeep;
    d.statementEnd = "";
    d.foreignKeyIndex = true;
    d.tableEnd = "\n) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4;\n\n";
    d.log.deleteFunctionName = "GenDelteQuery";
    d.log.updateTrace = "Update query is @@@ %s\n";
    d.log.insertTrace = "Insert query is @@@%s\n";
    d.log.memoryFailure = "MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n";
    d.log.word = "Mysql";
    return d;
}

}  // namespace

constinit const SqlDialect kMysqlDialect = MysqlRecord();

ORV_DEFINE_SQL_DIALECT(Mysql, kMysqlDialect, "MYSQL")

}  // namespace orv
