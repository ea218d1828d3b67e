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
#include "db/sql/dialect_record.h"
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen.h"

namespace orv {

/* The baseline is PostgreSQL's: this dialect changes nothing of it. */
constinit const SqlDialect kPgsqlDialect = kBaselineDialect;

ORV_DEFINE_SQL_DIALECT(Pgsql, kPgsqlDialect, "PGSQL")

}  // namespace orv
