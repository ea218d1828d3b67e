/*
 * Table definitions: constructors, look-ups, frees and printing.
 */
#include "datastore/table_defn.h"

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/column_value.h"
#include "util/string_util.h"

namespace orv {

Vector* gv_tableDefnVect = nullptr;

namespace {

/* A copy of text, or null for a null text. OUT *ok: false when the copy
 * failed. */
char* CopyOrNull(const char* text, bool* ok) {
    if (text == nullptr) return nullptr;
    char* copy = nullptr;
    if (DuplicateString(&copy, text) != kDupOk) *ok = false;
    return copy;
}

/* Calls fn on every element of the vector in order. */
template <typename T, typename Fn>
void ForEach(Vector* vector, Fn fn) {
    if (vector == nullptr) return;
    for (VectorNode* node = ElementAt(vector, 0); node != nullptr; node = node->next) {
        fn(static_cast<T*>(node->element));
    }
}

const char* OrNull(const char* text) { return text ? text : "(null)"; }

}  // namespace

void InitTableDefnList() {
    if (gv_tableDefnVect != nullptr) {
        FreeAllTableDefns();
        return;
    }
    gv_tableDefnVect = NewVector();
}

bool AddTableDefn(TableDefn* defn) {
    if (defn == nullptr) return false;
    if (gv_tableDefnVect == nullptr) {
        gv_tableDefnVect = NewVector();
        if (gv_tableDefnVect == nullptr) return false;
    }
    return AddValue(gv_tableDefnVect, defn) == 1;
}

void FreeAllowedValues(AllowedValues* values) {
    if (values == nullptr) return;
    if (values->values != nullptr) {
        if (values->isRange) {
            free(values->values[0]);
            free(values->values[1]);
        } else {
            for (char** p = values->values; *p != nullptr; ++p) free(*p);
        }
        free(values->values);
    }
    free(values);
}

AllowedValues* CreateAllowedValues(const char* const* texts, int32_t count, uint8_t isRange) {
    if (texts == nullptr || count < 0 || (isRange && count != 2)) return nullptr;
    auto* values = static_cast<AllowedValues*>(calloc(1, sizeof(AllowedValues)));
    if (values == nullptr) return nullptr;
    values->isRange = isRange ? 1 : 0;
    // A list gets a null end entry; a range has exactly its two texts (a
    // third null slot keeps it safe to walk as a list too).
    values->values = static_cast<char**>(calloc(static_cast<size_t>(count) + 1, sizeof(char*)));
    if (values->values == nullptr) {
        free(values);
        return nullptr;
    }
    bool ok = true;
    for (int32_t i = 0; i < count && ok; ++i) {
        values->values[i] = CopyOrNull(texts[i] ? texts[i] : "", &ok);
    }
    if (!ok) {
        FreeAllowedValues(values);
        return nullptr;
    }
    return values;
}

void FreeColumnDefnEntry(ColumnDefnEntry* column) {
    if (column == nullptr) return;
    free(column->name);
    free(column->description);
    free(column->generatorName);
    free(column->defaultValue);
    FreeAllowedValues(column->allowedValues);
    free(column);
}

ColumnDefnEntry* CreateColumnDefnEntry(const char* name, uint8_t type, const char* defaultText,
                                       int32_t defaultLength, uint8_t unique, const char* generatorName,
                                       const char* description, int32_t maxSize, uint8_t nullable,
                                       AllowedValues* allowedValues) {
    if (name == nullptr) {
        FreeAllowedValues(allowedValues);
        return nullptr;
    }
    auto* column = static_cast<ColumnDefnEntry*>(calloc(1, sizeof(ColumnDefnEntry)));
    if (column == nullptr) {
        FreeAllowedValues(allowedValues);
        return nullptr;
    }
    column->allowedValues = allowedValues;
    bool ok = true;
    column->name = CopyOrNull(name, &ok);
    column->type = ((type == ORV_SQL_CHAR || type == ORV_SQL_NCHAR) && maxSize > 255) ? ORV_SQL_TEXT : type;
    if (ok && defaultText != nullptr) {
        int32_t length = defaultLength;
        column->defaultValue = ConvertStringToColumnValue(defaultText, &length, type);
        column->defaultLength = column->defaultValue ? length : 0;
    }
    column->unique = unique;
    column->description = CopyOrNull(description, &ok);
    column->generatorName = CopyOrNull(generatorName, &ok);
    column->maxSize = maxSize;
    column->nullable = nullable;
    if (!ok) {
        FreeColumnDefnEntry(column);
        return nullptr;
    }
    return column;
}

void FreeForeignKeyEntry(ForeignKeyEntry* entry) {
    if (entry == nullptr) return;
    free(entry->localColumn);
    free(entry->referenceColumn);
    free(entry->referenceTable);
    free(entry);
}

ForeignKeyEntry* CreateForeignKeyEntry(const char* localColumn, const char* referenceColumn,
                                       const char* referenceTable, uint8_t onDeleteCascade, uint8_t reserved,
                                       uint8_t bidirectional) {
    auto* entry = static_cast<ForeignKeyEntry*>(calloc(1, sizeof(ForeignKeyEntry)));
    if (entry == nullptr) return nullptr;
    bool ok = true;
    entry->localColumn = CopyOrNull(localColumn, &ok);
    entry->referenceColumn = CopyOrNull(referenceColumn, &ok);
    entry->referenceTable = CopyOrNull(referenceTable, &ok);
    entry->onDeleteCascade = onDeleteCascade;
    entry->reserved = reserved;
    entry->bidirectional = bidirectional;
    if (!ok) {
        FreeForeignKeyEntry(entry);
        return nullptr;
    }
    return entry;
}

ConstraintDefn* CreateConstraintDefn() { return static_cast<ConstraintDefn*>(calloc(1, sizeof(ConstraintDefn))); }

bool AddForeignKeyEntry(ConstraintDefn* constraints, ForeignKeyEntry* entry) {
    if (constraints == nullptr || entry == nullptr) return false;
    if (constraints->foreignKeys == nullptr) {
        constraints->foreignKeys = NewVector();
        if (constraints->foreignKeys == nullptr) return false;
    }
    return AddValue(constraints->foreignKeys, entry) == 1;
}

void FreeConstraintDefn(ConstraintDefn* constraints) {
    if (constraints == nullptr) return;
    if (constraints->primaryKeyColumns != nullptr) {
        for (int32_t i = 0; i < constraints->primaryKeyCount; ++i) free(constraints->primaryKeyColumns[i]);
        free(constraints->primaryKeyColumns);
    }
    if (constraints->foreignKeys != nullptr) {
        ForEach<ForeignKeyEntry>(constraints->foreignKeys, FreeForeignKeyEntry);
        FreeVector(constraints->foreignKeys);
        free(constraints->foreignKeys);
    }
    free(constraints);
}

namespace {

/* Frees what a definition holds, not the record. */
void FreeTableDefnContents(TableDefn* defn) {
    free(defn->name);
    free(defn->description);
    if (defn->columns != nullptr) {
        ForEach<ColumnDefnEntry>(defn->columns, FreeColumnDefnEntry);
        FreeVector(defn->columns);
        free(defn->columns);
    }
    FreeConstraintDefn(defn->constraints);
}

}  // namespace

void FreeTableDefn(TableDefn* defn) {
    if (defn == nullptr) return;
    FreeTableDefnContents(defn);
    free(defn);
}

TableDefn* CreateTableDefn(const char* name, const char* description, Vector* columns,
                           ConstraintDefn* constraints) {
    TableDefn built{};
    built.columns = columns;
    built.constraints = constraints;
    bool ok = name != nullptr;
    built.name = CopyOrNull(name, &ok);
    built.description = CopyOrNull(description, &ok);
    auto* defn = ok ? static_cast<TableDefn*>(malloc(sizeof(TableDefn))) : nullptr;
    if (defn == nullptr) {
        FreeTableDefnContents(&built);
        return nullptr;
    }
    *defn = built;
    return defn;
}

TableDefn* GetTableDefn(const char* tableName) {
    if (gv_tableDefnVect == nullptr || gv_tableDefnVect->count == 0) return nullptr;
    if (tableName == nullptr) {
        LogError("Table Name is NULL.\n");
        return nullptr;
    }
    TableDefn* found = nullptr;
    for (VectorNode* node = ElementAt(gv_tableDefnVect, 0); node != nullptr && !found; node = node->next) {
        auto* defn = static_cast<TableDefn*>(node->element);
        if (defn->name && strcasecmp(defn->name, tableName) == 0) found = defn;
    }
    return found;
}

ColumnDefnEntry* GetColumnDefnEntry(const char* tableName, const char* columnName) {
    LogTrace("@@@@ Inside GetColumnDefnEntry @@@@\n");
    if (tableName == nullptr || columnName == nullptr) return nullptr;
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("No definition found for table %s\n", tableName);
        return nullptr;
    }
    if (defn->columns == nullptr) return nullptr;
    for (VectorNode* node = ElementAt(defn->columns, 0); node != nullptr; node = node->next) {
        auto* column = static_cast<ColumnDefnEntry*>(node->element);
        if (column->name && strcmp(column->name, columnName) == 0) return column;
    }
    return nullptr;
}

uint8_t GetColumnType(const char* tableName, const char* columnName) {
    if (tableName == nullptr || columnName == nullptr) return 0;
    ColumnDefnEntry* column = GetColumnDefnEntry(tableName, columnName);
    return column ? column->type : 0;
}

void* GetDefaultValue(const char* tableName, const char* columnName, uint8_t* found) {
    LogTrace("@@@@ Inside GetDefaultValue @@@@\n");
    if (tableName == nullptr || columnName == nullptr) {
        LogError("Cannot fetch default value;\n");
        return nullptr;
    }
    ColumnDefnEntry* column = GetColumnDefnEntry(tableName, columnName);
    if (column == nullptr) return nullptr;
    if (found) *found = 1;
    return column->defaultValue;
}

ForeignKeyEntry* GetForeignKeyEntry(const TableDefn* defn, const char* localColumn) {
    if (defn == nullptr) return nullptr;
    if (defn->constraints == nullptr) {
        LogError("No constraint Definition \n");
        return nullptr;
    }
    if (defn->constraints->foreignKeys == nullptr) {
        LogError("No Foreignkey Entries in Definition \n");
        return nullptr;
    }
    if (localColumn == nullptr) return nullptr;
    for (VectorNode* node = ElementAt(defn->constraints->foreignKeys, 0); node != nullptr; node = node->next) {
        auto* entry = static_cast<ForeignKeyEntry*>(node->element);
        if (entry->localColumn && strcasecmp(entry->localColumn, localColumn) == 0) return entry;
    }
    return nullptr;
}

Vector* GetTableDefnList() { return gv_tableDefnVect; }

void RemoveTableDefn(const char* tableName) {
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr) return;
    DeleteLCDVector(gv_tableDefnVect, defn);
    FreeTableDefn(defn);
}

void FreeAllTableDefns() {
    if (gv_tableDefnVect == nullptr) return;
    ForEach<TableDefn>(gv_tableDefnVect, FreeTableDefn);
    FreeVector(gv_tableDefnVect);
}

namespace {

/* printf into a growing text, then one line to the sink. */
void SinkLine(TableDefnLineSink sink, void* context, const char* format, ...) ORV_PRINTF(3, 4);
void SinkLine(TableDefnLineSink sink, void* context, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = PrintfV(format, args);
    va_end(args);
    sink(context, text.c_str());
}

void DebugSink(void*, const char* line) { LogDebug("%s", line); }

}  // namespace

void WriteTableDefn(const TableDefn* defn, TableDefnLineSink sink, void* context) {
    if (defn == nullptr || sink == nullptr || defn->columns == nullptr || defn->columns->count == 0) return;
    SinkLine(sink, context, "Table Name : %s\n", OrNull(defn->name));
    SinkLine(sink, context, "Description: %s\n", OrNull(defn->description));
    SinkLine(sink, context, "---------------------------------------\n\n");
    for (VectorNode* node = ElementAt(defn->columns, 0); node != nullptr; node = node->next) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        SinkLine(sink, context, "Column Name : %s\n", OrNull(column->name));
        SinkLine(sink, context, "Column Type : %d\n", column->type);
        SinkLine(sink, context, "Unique Flag : %s\n", column->unique ? "TRUE" : "FALSE");
        SinkLine(sink, context, "Description : %s\n", OrNull(column->description));
        SinkLine(sink, context, "---------------------------------------\n\n");
    }
    const ConstraintDefn* constraints = defn->constraints;
    if (constraints == nullptr) return;
    for (int32_t i = 0; i < constraints->primaryKeyCount; ++i) {
        SinkLine(sink, context, "Primary key : %s\n\n", OrNull(constraints->primaryKeyColumns[i]));
    }
    if (constraints->foreignKeys == nullptr || constraints->foreignKeys->count == 0) return;
    SinkLine(sink, context, "Foreign key Constraints\n");
    SinkLine(sink, context, "********************************\n");
    for (VectorNode* node = ElementAt(constraints->foreignKeys, 0); node != nullptr; node = node->next) {
        auto* entry = static_cast<const ForeignKeyEntry*>(node->element);
        SinkLine(sink, context, "Column Name : %s\n", OrNull(entry->localColumn));
        SinkLine(sink, context, "Ref Column  : %s\n", OrNull(entry->referenceColumn));
        SinkLine(sink, context, "Tablename : %s\n", OrNull(entry->referenceTable));
    }
    SinkLine(sink, context, "********************************\n");
}

void PrintTableDefn(const TableDefn* defn) { WriteTableDefn(defn, DebugSink, nullptr); }

void PrintAllTableDefns() {
    ForEach<TableDefn>(gv_tableDefnVect, [](TableDefn* defn) { PrintTableDefn(defn); });
}

}  // namespace orv
