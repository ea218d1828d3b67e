/*
 * The providers and SQL generators built into the library.
 */
#include "db/firebird/firebird_provider.h"
#include "db/odbc/odbc_provider.h"
#include "db/sql/sql_dialects.h"
#include "db/sqlite/sqlite_provider.h"
#include "db/sql/sql_generators.h"

namespace orv {

std::vector<const DBProvider*> BuiltinDBProviders() { return {GetODBCProvider(), GetSqliteProvider(), GetFirebirdProvider()}; }

std::vector<const SQLGenerator*> BuiltinSQLGenerators() {
    return {GetPgsqlSQLGenerator(), GetMysqlSQLGenerator(), GetSqliteSQLGenerator(), GetFirebirdSQLGenerator()};
}

}  // namespace orv
