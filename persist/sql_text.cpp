/*
 * The connection of a table.
 */
#include "persist/sql_text.h"

#include "db/connection.h"
#include "db/datasource_map.h"
#include "db/sql/dialect_record.h"

namespace orv {

bool ConnectionForTable(const char* tableName, const char** connectionName, const char** dialectName) {
    *connectionName = nullptr;
    if (IsDSNMapValid()) {
        DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
        if (entry == nullptr) return false;
        *connectionName = entry->connectionName;
    }
    *dialectName = DialectNameOfConnection(*connectionName);
    return *dialectName != nullptr;
}

}  // namespace orv
