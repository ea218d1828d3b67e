/*
 * Connection parameters: one record per data source, read from
 * connparams.txt, kept in file order. Filled at start-up, read afterwards.
 *
 * A line holds ten blank-separated words, then the rest of the line:
 *   extraText extraNumber dsn user password ignored connectionName
 *   provider dialect useConnString [connection string]
 * "NULL" as password means none; a tenth word "YES" (any case) makes the
 * rest of the line, less its first character, the connection string.
 * Words over 255 characters and rests over 254 are refused (the line is
 * skipped with an ERROR record).
 */
#ifndef ORV_DB_CONNPARAMS_H
#define ORV_DB_CONNPARAMS_H

#include <cstdint>

#include "util/vector.h"

namespace orv {

constexpr int kMaxConnParamsWord = 255;
constexpr int kMaxConnParamsRest = 254;

struct ConnParams {
    char* extraText;
    uint16_t extraNumber;
    char* dsnName;
    char* userName;
    char* password; /* null for none */
    int32_t reserved;
    char* connectionName;
    uint8_t useConnString;
    char* connString; /* only with useConnString */
    char* providerName;
    char* dialectName;
};

/* Every ConnParams in file order. */
extern Vector* gv_connParamsVect;

/* Reads path, else "<root>/data/connparams.txt". False only when neither
 * opens ("Cannot open Connection Parameters File.\n"). */
bool LoadConnParamsEntryFromFile(const char* path);

/* A new record with copies of every text ("NULL" as password gives none;
 * connString is kept only with useConnString). Null when a copy fails. */
ConnParams* CreateConnParams(const char* extraText, uint16_t extraNumber, const char* dsnName, const char* userName,
                             const char* password, const char* connectionName, uint8_t useConnString,
                             const char* connString, const char* providerName, const char* dialectName);
void FreeConnParams(ConnParams* params);

bool AddConnParams(ConnParams* params);
bool RemoveConnParams(const char* connectionName);
/* The data source of that connection name (exact), or null. */
ConnParams* GetConnParams(const char* connectionName);
void FreeAllConnParams();

const char* GetDefaultConnectionName();
const char* GetProviderNameOfConnection(const char* connectionName);
const char* GetDialectNameOfConnection(const char* connectionName);

/* The text of a connection string with the value of every PWD= (any case)
 * replaced by "****", for messages. */
char* MaskConnectionString(const char* text);

}  // namespace orv

#endif
