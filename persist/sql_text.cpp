/*
 * Text literals, plain identifiers and the connection of a table.
 */
#include "persist/sql_text.h"

#include <strings.h>

#include "db/connection.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/provider.h"

namespace orv {

void AppendSqlTextLiteral(const char* dialectName, const char* text, std::string* out) {
    const bool escapeBackslash = dialectName != nullptr && strcasecmp(dialectName, "MYSQL") == 0;
    *out += '\'';
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        if (*p == '\'') {
            *out += "''";
        } else if (*p == '\\' && escapeBackslash) {
            *out += "\\\\";
        } else {
            *out += *p;
        }
    }
    *out += '\'';
}

bool IsPlainSqlIdentifier(const char* name) {
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (name == nullptr || !letter(name[0])) return false;
    for (const char* p = name + 1; *p != '\0'; ++p) {
        if (!letter(*p) && !(*p >= '0' && *p <= '9') && *p != '$') return false;
    }
    return true;
}

const char* DialectNameForConnection(const char* connectionName) {
    if (IsDSNMapValid()) return connectionName != nullptr ? GetDialectNameOfConnection(connectionName) : nullptr;
    const uint8_t index = GetDSNDialectIndex();
    return index < 4 ? kDialectNames[index] : nullptr;
}

bool ConnectionForTable(const char* tableName, const char** connectionName, const char** dialectName) {
    *connectionName = nullptr;
    if (IsDSNMapValid()) {
        DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
        if (entry == nullptr) return false;
        *connectionName = entry->connectionName;
    }
    *dialectName = DialectNameForConnection(*connectionName);
    return *dialectName != nullptr;
}

}  // namespace orv
