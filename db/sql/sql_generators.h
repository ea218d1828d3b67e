/*
 * The providers and SQL generators built into the library, registered by
 * InitDBProvider and InitSQLGenerators.
 */
#ifndef ORV_DB_SQL_GENERATORS_H
#define ORV_DB_SQL_GENERATORS_H

#include <vector>

#include "db/provider.h"

namespace orv {

/* The built-in providers, "ODBC" first. */
std::vector<const DBProvider*> BuiltinDBProviders();

/* The built-in SQL generators in registration order (PGSQL, MYSQL,
 * SQLITE, FIREBIRD once they exist). */
std::vector<const SQLGenerator*> BuiltinSQLGenerators();

}  // namespace orv

#endif
