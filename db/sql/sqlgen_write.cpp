/*
 * The statements on one row of a table: update, insert and delete, their
 * values taken from the row object in the order of the table's columns
 * and their conditions from its primary key.
 */
#include <strings.h>

#include <string>

#include "db/sql/sqlgen_internal.h"

namespace orv {
namespace sqlgen {

bool IsKeyColumn(const TableDefn* defn, const char* name) {
    const ConstraintDefn* c = defn->constraints;
    if (c == nullptr || c->primaryKeyColumns == nullptr) return false;
    for (int32_t i = 0; i < c->primaryKeyCount; ++i) {
        if (c->primaryKeyColumns[i] != nullptr && strcasecmp(c->primaryKeyColumns[i], name) == 0) return true;
    }
    return false;
}

int32_t KeyCount(const TableDefn* defn) {
    return defn->constraints != nullptr && defn->constraints->primaryKeyColumns != nullptr
               ? defn->constraints->primaryKeyCount
               : 0;
}

/* The definition of a table with columns, or null. */
const TableDefn* DefinitionWithColumns(const char* tableName) {
    const TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr || defn->columns == nullptr || First(defn->columns) == nullptr) return nullptr;
    return defn;
}

namespace {

bool BuildUpdate(const SqlDialect& d, const char* tableName, const RowObject* row, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) return false;
    out += "update ";
    if (!AppendName(d, out, defn->name)) return false;
    out += " set ";
    std::string conditions;
    bool firstSet = true;
    int32_t i = 0;
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next, ++i) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        const bool key = IsKeyColumn(defn, column->name);
        if (key) LogTrace("@@@ Update Query has Primary Key in Set clause @@@\n");
        const void* value = row->values[i];
        std::string literal;
        Written w = AppendValue(d, literal, column->type, value, row->lengths[i], column->name,
                                key ? At::kKey : At::kValue);
        if (w == Written::kNoTextForm) {
            LogError("Unsupported Datatype Used in Query generation.\n");
            return false;
        }
        if (w == Written::kRefused) return false;
        std::string name;
        if (!AppendName(d, name, column->name)) return false;
        if (!key) {
            if (!firstSet) out += ',';
            firstSet = false;
            out += name;
            out += '=';
            out += literal;
        } else if (value != nullptr) {
            if (!conditions.empty()) conditions += " and ";
            conditions += name;
            conditions += '=';
            conditions += literal;
        }
    }
    // Without a key condition the statement ends in " where ", which every
    // engine rejects, rather than changing every row.
    out += " where ";
    out += conditions;
    LogTrace(d.log.updateTrace, out.c_str());
    return true;
}

bool BuildInsert(const SqlDialect& d, const char* tableName, const RowObject* row, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) return false;
    out += "insert into  ";
    if (!AppendName(d, out, defn->name)) return false;
    out += " values(";
    int32_t i = 0;
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next, ++i) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        if (i > 0) out += ',';
        Written w = AppendValue(d, out, column->type, row->values[i], row->lengths[i], column->name, At::kValue);
        if (w == Written::kNoTextForm) out += "NULL";
        if (w == Written::kRefused) return false;
    }
    out += ')';
    out += d.statementEnd;
    if (d.log.insertTrace != nullptr) LogTrace(d.log.insertTrace, out.c_str());
    return true;
}

bool BuildDelete(const SqlDialect& d, const char* tableName, const RowObject* row, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) return false;
    out += "delete from ";
    if (!AppendName(d, out, defn->name)) return false;
    out += ' ';
    std::string conditions;
    int32_t i = 0;
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next, ++i) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        if (!IsKeyColumn(defn, column->name)) continue;
        // As in update, a key without a value gives no condition.
        if (row->values[i] == nullptr) continue;
        if (!conditions.empty()) conditions += " and ";
        if (!AppendName(d, conditions, column->name)) return false;
        conditions += '=';
        Written w = AppendValue(d, conditions, column->type, row->values[i], row->lengths[i], column->name,
                                At::kKey);
        if (w == Written::kNoTextForm) {
            LogError("Unsupported Datatype Used in Query generation.\n");
            return false;
        }
        if (w == Written::kRefused) return false;
    }
    // As for update: without a key the statement ends in " where ".
    out += " where ";
    out += conditions;
    LogTrace("Delete query is @@@%s\n", out.c_str());
    return true;
}

}  // namespace

char* GenUpdateQuery(const SqlDialect& d, const char* tableName, const RowObject* row) {
    TraceEntry(d, "GenUpdateQuery");
    return Generate([&](std::string& out) { return BuildUpdate(d, tableName, row, out); }, nullptr,
                    d.log.memoryFailure);
}

char* GenInsertQuery(const SqlDialect& d, const char* tableName, const RowObject* row) {
    TraceEntry(d, "GenInsertQuery");
    return Generate([&](std::string& out) { return BuildInsert(d, tableName, row, out); }, nullptr,
                    d.log.memoryFailure);
}

char* GenDeleteQuery(const SqlDialect& d, const char* tableName, const RowObject* row) {
    TraceEntry(d, d.log.deleteFunctionName);
    return Generate([&](std::string& out) { return BuildDelete(d, tableName, row, out); }, nullptr, nullptr);
}

}  // namespace sqlgen
}  // namespace orv
