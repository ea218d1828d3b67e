/*
 * Create table: each column with its dialect's type, default, NOT NULL
 * and UNIQUE, then the primary key and the foreign keys (several entries
 * to one table make one key of several columns).
 */
#include <strings.h>

#include <string>
#include <vector>

#include "db/sql/sqlgen_internal.h"

namespace orv {
namespace sqlgen {
namespace {

/* The column type of the dialect with the column's size for "%d". */
std::string ColumnType(const SqlDialect& d, const ColumnDefnEntry* column) {
    std::string type = kSqlColumnTypes[column->type][d.types];
    size_t at = type.find("%d");
    if (at != std::string::npos) {
        int32_t size = column->maxSize > 0 ? column->maxSize : kDefaultTextColumnSize;
        type.replace(at, 2, std::to_string(size));
    }
    return type;
}

/* "a,b" of names; false for a name that is not a plain identifier. */
bool AppendNameList(const SqlDialect& d, std::string& out, const std::vector<const char*>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ',';
        if (!AppendName(d, out, names[i])) return false;
    }
    return true;
}

bool BuildCreate(const SqlDialect& d, const char* tableName, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr) return false;
    LogTrace("Table Name : %s\n", defn->name);
    LogTrace("Description: %s\n", Or(defn->description));
    LogTrace("---------------------------------------\n\n");
    out += "CREATE TABLE ";
    if (!AppendName(d, out, defn->name)) return false;
    out += "(\n";
    const int32_t keys = KeyCount(defn);
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        LogTrace("Column Name : %s\n", column->name);
        LogTrace("Column Type : %d\n", column->type);
        LogTrace("Unique Flag : %s\n", column->unique ? "TRUE" : "FALSE");
        LogTrace("Description : %s\n", Or(column->description));
        LogTrace("---------------------------------------\n\n");
        if (column->type > kMaxTypeCode) {
            LogError("Unsupported Datatype Used in Query generation.\n");
            return false;
        }
        out += '\t';
        if (!AppendName(d, out, column->name)) return false;
        out += ' ';
        out += ColumnType(d, column);
        out += ' ';
        std::string defaultValue;
        Written w = column->defaultValue != nullptr
                        ? AppendValue(d, defaultValue, column->type, column->defaultValue, column->defaultLength,
                                      column->name, At::kDefault)
                        : Written::kNoTextForm;
        if (w == Written::kRefused) return false;
        if (w == Written::kOk) {
            out += "DEFAULT ";
            out += defaultValue;
        } else {
            out += ' ';
        }
        const bool key = IsKeyColumn(defn, column->name);
        if (!column->nullable) out += " NOT NULL";
        if (column->unique && !key) out += " UNIQUE";
        if (node->next != nullptr || keys > 0) {
            out += ",\n";
        } else {
            out += "\n";
        }
    }
    if (keys > 0) {
        out += "\tPRIMARY KEY(";
        for (int32_t i = 0; i < keys; ++i) {
            const char* name = defn->constraints->primaryKeyColumns[i];
            LogTrace("Primary key : %s\n\n", Or(name));
            if (i > 0) out += ", ";
            if (!AppendName(d, out, name)) return false;
        }
        out += ")";
    }
    const Vector* fks = defn->constraints != nullptr ? defn->constraints->foreignKeys : nullptr;
    if (HasItems(fks)) {
        LogTrace("Foreign key Constraints\n");
        LogTrace("********************************\n");
        out += ",\n";
        int group = 0;
        VectorNode* node = First(fks);
        while (node != nullptr) {
            auto* first = static_cast<const ForeignKeyEntry*>(node->element);
            std::vector<const char*> locals{first->localColumn};
            std::vector<const char*> references{first->referenceColumn};
            node = node->next;
            // Following entries to the same table with another reference
            // column than the group's first make one key of several columns.
            while (node != nullptr) {
                auto* e = static_cast<const ForeignKeyEntry*>(node->element);
                bool sameTable = e->referenceTable != nullptr && first->referenceTable != nullptr &&
                                 strcasecmp(e->referenceTable, first->referenceTable) == 0;
                bool otherColumn = e->referenceColumn == nullptr || first->referenceColumn == nullptr ||
                                   strcmp(e->referenceColumn, first->referenceColumn) != 0;
                if (!sameTable || !otherColumn) break;
                locals.push_back(e->localColumn);
                references.push_back(e->referenceColumn);
                node = node->next;
            }
            if (group > 0) out += ",\n";
            out += "\tFOREIGN KEY(";
            if (!AppendNameList(d, out, locals)) return false;
            out += ") REFERENCES ";
            if (!AppendName(d, out, first->referenceTable)) return false;
            out += " (";
            if (!AppendNameList(d, out, references)) return false;
            out += ") ON DELETE CASCADE";
            if (d.foreignKeyIndex) {
                out += ",\n";
                out += Printf("\tINDEX %s_IDX%d (", defn->name, group);
                if (!AppendNameList(d, out, locals)) return false;
                out += ")";
            }
            ++group;
        }
    }
    out += d.tableEnd;
    LogTrace("Create query is\n%s\n", out.c_str());
    return true;
}

}  // namespace

char* GenCreateQuery(const SqlDialect& d, const char* tableName) {
    TraceEntry(d, "GenCreateQuery");
    return Generate([&](std::string& out) { return BuildCreate(d, tableName, out); }, kCopyFailed, nullptr);
}

}  // namespace sqlgen
}  // namespace orv
