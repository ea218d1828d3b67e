/*
 * The ODBC provider: the DBProvider "ODBC" over an ODBC 3 driver manager
 * (unixODBC on Linux), and the creation of ODBC data sources.
 *
 * Each connection has its own environment and connection handle. Plain
 * updates and queries hold the object lock keyed by the connection for
 * their whole run. Values are read whole, in pieces where the driver cannot
 * bound their size; binary columns are read as bytes.
 */
#ifndef ORV_DB_ODBC_PROVIDER_H
#define ORV_DB_ODBC_PROVIDER_H

#include <cstdint>

#include "db/provider.h"

namespace orv {

/* The provider table "ODBC". */
const DBProvider* GetODBCProvider();

/* The library type code for an ODBC SQL type (0 when none). */
uint8_t MapODBCType(int32_t sqlType);

bool CreateDSN(const char* dsn, const char* description, const char* server, const char* user,
               const char* password, const char* database, const char* driver);
bool CreateDSNsFromFile(const char* path);

}  // namespace orv

#endif
