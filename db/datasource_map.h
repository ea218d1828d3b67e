/*
 * The data source map: on which data source (a connectionName) each table
 * lives, read from dsn_table_map.txt (pairs of words: table, connection),
 * and the map mode that decides whether statements take the dialect of the
 * table's data source or one dialect for the whole library.
 *
 * Filled at start-up, read afterwards.
 */
#ifndef ORV_DB_DATASOURCE_MAP_H
#define ORV_DB_DATASOURCE_MAP_H

#include <cstdint>

namespace orv {

struct DataSourceMapEntry {
    char* tableName;
    char* connectionName;
};

DataSourceMapEntry* CreateDataSourceMapEntry(const char* tableName, const char* connectionName);
bool AddDataSourceMapEntry(DataSourceMapEntry* entry);
bool DeleteDataSourceMapEntry(const char* tableName);
/* The first entry of that table (without regard to case), or null. */
DataSourceMapEntry* GetDataSourceMapEntry(const char* tableName);
void FreeAllDataSourceMapEntries();
/* Reads path, else "<root>/data/dsn_table_map.txt". False only when
 * neither opens. Words over 255 characters are refused. */
bool LoadDataSourceMapEntryFromFile(const char* path);

/* Status 1: map mode on. Status 0: map mode off with the dialect index
 * (0 MYSQL, 1 PGSQL, 2 FIREBIRD, 3 SQLITE), whose provider is loaded.
 * Anything else logs "\nInvalid Status\n". */
void SetDSNMapValid(uint8_t status, uint8_t dialectIndex);
bool IsDSNMapValid();
uint8_t GetDSNDialectIndex();

}  // namespace orv

#endif
