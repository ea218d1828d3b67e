/*
 * The data source map and the map mode.
 */
#include "db/datasource_map.h"

#include <strings.h>

#include <cstdlib>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "db/provider.h"
#include "db/word_reader.h"
#include "util/vector.h"

namespace orv {

namespace {

Vector* g_map = nullptr;
uint8_t g_mapMode = 0;
uint8_t g_dialectIndex = 0;

constexpr size_t kMaxMapWord = 255;

void FreeEntry(DataSourceMapEntry* entry) {
    if (entry == nullptr) return;
    free(entry->tableName);
    free(entry->connectionName);
    free(entry);
}

}  // namespace

DataSourceMapEntry* CreateDataSourceMapEntry(const char* tableName, const char* connectionName) {
    LogTrace("@@@ Inside CreateDataSourceMapEntry @@@\n");
    if (tableName == nullptr || connectionName == nullptr) return nullptr;
    auto* entry = static_cast<DataSourceMapEntry*>(calloc(1, sizeof(DataSourceMapEntry)));
    if (entry == nullptr) return nullptr;
    if (DuplicateString(&entry->tableName, tableName) != kDupOk ||
        DuplicateString(&entry->connectionName, connectionName) != kDupOk) {
        FreeEntry(entry);
        return nullptr;
    }
    return entry;
}

bool AddDataSourceMapEntry(DataSourceMapEntry* entry) {
    LogTrace("@@@ Inside AddDataSourceMapEntry @@@\n");
    if (entry == nullptr) return false;
    if (g_map == nullptr) {
        g_map = NewVector();
        if (g_map == nullptr) return false;
    }
    return AddValue(g_map, entry) == 1;
}

DataSourceMapEntry* GetDataSourceMapEntry(const char* tableName) {
    LogTrace("@@@ Inside GetDataSourceMapEntry @@@\n");
    if (g_map == nullptr || g_map->count == 0 || tableName == nullptr) return nullptr;
    for (VectorNode* node = ElementAt(g_map, 0); node != nullptr; node = node->next) {
        auto* entry = static_cast<DataSourceMapEntry*>(node->element);
        if (strcasecmp(entry->tableName, tableName) == 0) return entry;
    }
    return nullptr;
}

bool DeleteDataSourceMapEntry(const char* tableName) {
    LogTrace("@@@ Inside DeleteDataSourceMapEntry @@@\n");
    if (g_map == nullptr || g_map->count == 0) return false;
    DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
    if (entry == nullptr) return false;
    DeleteLCDVector(g_map, entry);
    FreeEntry(entry);
    return true;
}

void FreeAllDataSourceMapEntries() {
    LogTrace("@@@ Inside FreeAllDataSourceMapEntries @@@\n");
    if (g_map == nullptr) return;
    for (VectorNode* node = ElementAt(g_map, 0); node != nullptr; node = node->next) {
        FreeEntry(static_cast<DataSourceMapEntry*>(node->element));
    }
    FreeVector(g_map);
    g_mapMode = 0;  // a new start decides the mode again
    g_dialectIndex = 0;
}

bool LoadDataSourceMapEntryFromFile(const char* path) {
    LogTrace("@@@ Inside LoadDataSourceMapEntryFromFile @@@\n");
    FILE* file = OpenDataFile(path, "dsn_table_map.txt", 135);
    if (file == nullptr) {
        LogError("Cannot open DataSourceMap Entry File.\n");
        return false;
    }
    for (;;) {
        std::string table;
        std::string connection;
        WordRead a = ReadBoundedWord(file, kMaxMapWord, &table);
        if (a == WordRead::kEnd) break;
        WordRead b = ReadBoundedWord(file, kMaxMapWord, &connection);
        if (b == WordRead::kEnd) break;
        if (a == WordRead::kTooLong || b == WordRead::kTooLong) {
            LogError("Data source map pair with a word over %zu characters skipped.\n", kMaxMapWord);
            continue;
        }
        DataSourceMapEntry* entry = CreateDataSourceMapEntry(table.c_str(), connection.c_str());
        if (entry != nullptr && !AddDataSourceMapEntry(entry)) FreeEntry(entry);
    }
    fclose(file);
    return true;
}

void SetDSNMapValid(uint8_t status, uint8_t dialectIndex) {
    LogTrace("@@@ Inside SetDSNMapValid @@@\n");
    if (status == 1) {
        g_mapMode = 1;
    } else if (status == 0) {
        g_mapMode = 0;
        g_dialectIndex = dialectIndex;
        if (dialectIndex < 4) LoadDBProvider(kDialectNames[dialectIndex]);
    } else {
        LogError("\nInvalid Status\n");
    }
}

bool IsDSNMapValid() { return g_mapMode == 1; }

uint8_t GetDSNDialectIndex() { return g_dialectIndex; }

}  // namespace orv
