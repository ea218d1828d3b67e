/*
 * The in-memory table store: relvars, rows, adding, selecting, updating
 * and deleting. Results, sorting and printing are in relvar_result.cpp.
 */
#include "datastore/relvar.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/column_value.h"
#include "datastore/criteria.h"
#include "datastore/missing_values.h"
#include "datastore/notification.h"

namespace orv {

Vector* gv_tableDataVect = nullptr;

namespace {

/* The column definition entries of a table relvar, or null. */
Vector* TableColumns(const TableData* relvar) {
    if (relvar->kind != kRelvarTable || relvar->tableDefn == nullptr) return nullptr;
    return relvar->tableDefn->columns;
}

/* The position of a column of the relvar (names without regard to case),
 * or -1. */
int32_t ColumnPosition(const TableData* relvar, const char* columnName) {
    if (columnName == nullptr) return -1;
    for (int32_t i = 0; i < relvar->columnCount; ++i) {
        const char* name = GetRelvarColumnName(relvar, i);
        if (name != nullptr && strcasecmp(name, columnName) == 0) return i;
    }
    return -1;
}

bool IsPrimaryKeyColumn(const TableData* relvar, const char* columnName) {
    if (relvar->kind != kRelvarTable || relvar->tableDefn == nullptr) return false;
    const ConstraintDefn* constraints = relvar->tableDefn->constraints;
    if (constraints == nullptr) return false;
    for (int32_t i = 0; i < constraints->primaryKeyCount; ++i) {
        const char* key = constraints->primaryKeyColumns[i];
        if (key != nullptr && strcasecmp(key, columnName) == 0) return true;
    }
    return false;
}

/* A generated identifier in the column's own form: integers in their
 * width, texts as decimal text, anything else as a 4-byte integer. */
void* GeneratedValue(int32_t id, uint8_t type, int32_t* length) {
    if (IsIntegerType(type) || IsTextType(type)) {
        char text[16];
        snprintf(text, sizeof(text), "%d", id);
        return ConvertStringToColumnValue(text, length, type);
    }
    char* block = nullptr;
    if (DuplicateBytes(&block, &id, sizeof(id)) != kDupOk) return nullptr;
    *length = sizeof(id);
    return block;
}

/* A walk along a table's column list, for FillMissingValues. */
struct ColumnCursor {
    VectorNode* node; /* the column at index at, or null past the last */
    int32_t at;
};

const ColumnDefnEntry* CursorColumn(void* context, int32_t index) {
    auto* cursor = static_cast<ColumnCursor*>(context);
    while (cursor->node != nullptr && cursor->at < index) {
        cursor->node = cursor->node->next;
        ++cursor->at;
    }
    return cursor->node != nullptr ? static_cast<const ColumnDefnEntry*>(cursor->node->element) : nullptr;
}

/* A relvar row's generated value: GeneratedValue's, its length set only
 * when there is one. */
void* GeneratedInRelvar(void*, const ColumnDefnEntry* column, int32_t id, int32_t* length) {
    int32_t made = 0;
    void* value = GeneratedValue(id, column->type, &made);
    if (value != nullptr) *length = made;
    return value;
}

/* A relvar row's copy of the default, of the default's length. */
void* DefaultInRelvar(void*, const ColumnDefnEntry* column, int32_t* length) {
    void* value = CopyColumnValue(column->defaultValue, column->defaultLength, column->type);
    if (value != nullptr) *length = column->defaultLength;
    return value;
}

/* Unlinks row (whose predecessor is prev, null for the first row), tells
 * the listeners and frees it. */
void RemoveRow(TableData* relvar, RowObject* prev, RowObject* row) {
    if (prev == nullptr) {
        relvar->firstRow = row->next;
    } else {
        prev->next = row->next;
    }
    if (relvar->lastRow == row) relvar->lastRow = prev;
    row->next = nullptr;
    SendNotification(row, relvar->name);
    FreeRowObject(row, relvar->columnCount);
}

/* Deletes one row of the relvar: a stored row is only marked. */
void DeleteListedRow(TableData* relvar, RowObject* prev, RowObject* row) {
    if (row->state & kRowStored) {
        row->state |= kRowDeleted;
        return;
    }
    RemoveRow(relvar, prev, row);
}

}  // namespace

void InitTableDataList() {
    if (gv_tableDataVect != nullptr) {
        FreeAllTableData();
        return;
    }
    gv_tableDataVect = NewVector();
}

void FreeAllTableData() {
    if (gv_tableDataVect == nullptr) return;
    for (VectorNode* node = ElementAt(gv_tableDataVect, 0); node != nullptr; node = node->next) {
        FreeTableData(static_cast<TableData*>(node->element));
    }
    FreeVector(gv_tableDataVect);
}

const char* GetRelvarColumnName(const TableData* relvar, int32_t i) {
    if (relvar == nullptr || i < 0 || i >= relvar->columnCount) return nullptr;
    if (relvar->kind == kRelvarView) {
        if (relvar->viewDefn == nullptr) return nullptr;
        VectorNode* node = ElementAt(relvar->viewDefn->columns, i);
        return node ? static_cast<ViewColumnDefn*>(node->element)->columnName : nullptr;
    }
    Vector* columns = TableColumns(relvar);
    VectorNode* node = columns ? ElementAt(columns, i) : nullptr;
    return node ? static_cast<ColumnDefnEntry*>(node->element)->name : nullptr;
}

uint8_t GetRelvarColumnType(const TableData* relvar, int32_t i) {
    if (relvar == nullptr || i < 0 || i >= relvar->columnCount) return 0;
    if (relvar->kind == kRelvarView) {
        if (relvar->viewDefn == nullptr) return 0;
        VectorNode* node = ElementAt(relvar->viewDefn->columns, i);
        const ColumnDefnEntry* column = node ? static_cast<ViewColumnDefn*>(node->element)->column : nullptr;
        return column ? column->type : 0;
    }
    Vector* columns = TableColumns(relvar);
    VectorNode* node = columns ? ElementAt(columns, i) : nullptr;
    return node ? static_cast<ColumnDefnEntry*>(node->element)->type : 0;
}

TableData* GetTableDataByName(const char* name) {
    LogTrace("@@@ Inside GetTableDataByName @@@\n");
    if (name == nullptr || gv_tableDataVect == nullptr) return nullptr;
    for (VectorNode* node = ElementAt(gv_tableDataVect, 0); node != nullptr; node = node->next) {
        auto* relvar = static_cast<TableData*>(node->element);
        if (strcasecmp(relvar->name, name) == 0) return relvar;
    }
    return nullptr;
}

int8_t SortTableByName(const VectorNode* newNode, const VectorNode* presentNode) {
    LogTrace("@@@ Inside SortTableByName @@@\n");
    int c = strcmp(static_cast<const TableData*>(newNode->element)->name,
                   static_cast<const TableData*>(presentNode->element)->name);
    return static_cast<int8_t>(c < 0 ? -1 : c > 0 ? 1 : 0);
}

namespace {

/* A new relvar record appended to the list, or false. */
uint8_t AppendRelvar(const char* name, uint8_t kind, TableDefn* tableDefn, CustomViewDefn* viewDefn,
                     int32_t columnCount) {
    if (gv_tableDataVect == nullptr) {
        gv_tableDataVect = NewVector();
        if (gv_tableDataVect == nullptr) return 0;
    }
    auto* relvar = static_cast<TableData*>(calloc(1, sizeof(TableData)));
    if (relvar == nullptr) return 0;
    if (DuplicateString(&relvar->name, name) != kDupOk) {
        free(relvar);
        return 0;
    }
    relvar->kind = kind;
    relvar->tableDefn = tableDefn;
    relvar->viewDefn = viewDefn;
    relvar->columnCount = columnCount;
    if (AddValue(gv_tableDataVect, relvar) != 1) {
        free(relvar->name);
        free(relvar);
        return 0;
    }
    return 1;
}

}  // namespace

uint8_t CreateTable(const char* tableName) {
    LogTrace("@@@ Inside CreateTable @@@\n");
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr || GetTableDataByName(tableName) != nullptr) return 0;
    int32_t columnCount = defn->columns ? defn->columns->count : 0;
    return AppendRelvar(tableName, kRelvarTable, defn, nullptr, columnCount);
}

uint8_t CreateCustomViewData(const char* viewName, CustomViewDefn* defn) {
    LogTrace("@@@ Inside CreateCustomViewData @@@\n");
    if (viewName == nullptr || defn == nullptr || GetTableDataByName(viewName) != nullptr) return 0;
    int32_t columnCount = defn->columns ? defn->columns->count : 0;
    return AppendRelvar(viewName, kRelvarView, nullptr, defn, columnCount);
}

CustomViewDefn* CreateCustomViewDefn(uint8_t tableCount, char** tableNames, Vector* viewColumns) {
    LogTrace("\t@@@@@ Inside CreateCustomViewDefn() @@@@@\n");
    auto* defn = static_cast<CustomViewDefn*>(calloc(1, sizeof(CustomViewDefn)));
    if (defn == nullptr) {
        LogError("Could not allocate memory for CustomViewDefn\n");
        return nullptr;
    }
    defn->tableCount = tableCount;
    defn->tableNames = tableNames;
    defn->columns = viewColumns;
    return defn;
}

ViewColumnDefn* CreateViewColumnDefn(const char* columnName, int32_t number, uint8_t smallNumber,
                                     ColumnDefnEntry* column) {
    LogTrace("\t@@@@@ Inside CreateViewColumnDefn() @@@@@\n");
    auto* view = static_cast<ViewColumnDefn*>(calloc(1, sizeof(ViewColumnDefn)));
    if (view == nullptr) {
        LogError("Could not allocate memory for ViewColumnDefn\n");
        return nullptr;
    }
    view->columnName = columnName;
    view->number = number;
    view->smallNumber = smallNumber;
    view->column = column;
    return view;
}

void FreeCustomViewDefn(CustomViewDefn* defn) {
    LogTrace("\t@@@@@ Inside FreeCustomViewDefn() @@@@@\n");
    if (defn == nullptr) return;
    if (defn->tableNames != nullptr) {
        for (int i = 0; i < defn->tableCount; ++i) free(defn->tableNames[i]);
        free(defn->tableNames);
    }
    if (defn->columns != nullptr) {
        for (VectorNode* node = ElementAt(defn->columns, 0); node != nullptr; node = node->next) free(node->element);
        FreeVector(defn->columns);
        free(defn->columns);
    }
    free(defn);
}

RowObject* CreateNewRowObject(void** values, int32_t* lengths) {
    LogTrace("@@@ Inside CreateNewRowObject @@@\n");
    auto* row = static_cast<RowObject*>(malloc(sizeof(RowObject)));
    if (row == nullptr) return nullptr;
    row->values = values;
    row->lengths = lengths;
    row->state = kRowNew;
    row->next = nullptr;
    return row;
}

void FreeRowObject(RowObject* row, int32_t columnCount) {
    LogTrace("@@@ Inside FreeRowObject @@@\n");
    if (row == nullptr) return;
    if (row->values != nullptr) {
        for (int32_t i = 0; i < columnCount; ++i) free(row->values[i]);
        free(row->values);
    }
    free(row->lengths);
    free(row);
}

RowObject* CopyRowObject(const TableData* relvar, const RowObject* row) {
    if (relvar == nullptr || row == nullptr) return nullptr;
    const int32_t n = relvar->columnCount;
    auto* copy = static_cast<RowObject*>(calloc(1, sizeof(RowObject)));
    if (copy == nullptr) return nullptr;
    copy->values = static_cast<void**>(calloc(n > 0 ? static_cast<size_t>(n) : 1, sizeof(void*)));
    copy->lengths = static_cast<int32_t*>(calloc(n > 0 ? static_cast<size_t>(n) : 1, sizeof(int32_t)));
    copy->state = row->state;
    if (copy->values == nullptr || copy->lengths == nullptr) {
        FreeRowObject(copy, 0);
        return nullptr;
    }
    for (int32_t i = 0; i < n; ++i) {
        copy->lengths[i] = row->lengths ? row->lengths[i] : 0;
        if (row->values == nullptr || row->values[i] == nullptr) continue;
        copy->values[i] = CopyColumnValue(row->values[i], copy->lengths[i], GetRelvarColumnType(relvar, i));
        if (copy->values[i] == nullptr) {
            FreeRowObject(copy, n);
            return nullptr;
        }
    }
    return copy;
}

uint8_t AddNewRow(const char* tableName, RowObject* row) {
    LogTrace("@@@ Inside AddNewRow @@@\n");
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) return 0;
    if (relvar->kind == kRelvarTable) {
        Vector* columns = TableColumns(relvar);
        if (columns == nullptr || columns->count == 0) return 0;
        ColumnCursor cursor{ElementAt(columns, 0), 0};
        const MissingValueFill fill{relvar->name, relvar->columnCount, &cursor, CursorColumn, GeneratedInRelvar,
                                    DefaultInRelvar, true};
        FillMissingValues(fill, row->values, row->lengths);
    } else if (relvar->viewDefn == nullptr || relvar->viewDefn->columns == nullptr ||
               relvar->viewDefn->columns->count == 0) {
        return 0;
    }
    row->next = nullptr;
    if (relvar->lastRow == nullptr) {
        relvar->firstRow = row;
    } else {
        relvar->lastRow->next = row;
    }
    relvar->lastRow = row;
    relvar->rowCount++;
    SendNotification(row, relvar->name);
    return 1;
}

ResultData* SelectRows(const char* tableName, const char* criteria) {
    LogTrace("@@@ Inside SelectRows @@@\n");
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr) return nullptr;
    if (criteria != nullptr) {
        Vector* columns = TableColumns(relvar);
        if (columns == nullptr || columns->count == 0) return nullptr;
    }
    ResultData* result = CreateResultData();
    if (result == nullptr) return nullptr;
    result->kind = relvar->kind;
    result->tableDefn = relvar->tableDefn;
    result->viewDefn = relvar->viewDefn;
    result->columnCount = relvar->columnCount;
    if (criteria == nullptr) {
        for (RowObject* row = relvar->firstRow; row != nullptr; row = row->next) {
            if (!AddRowToResultData(row, result)) {
                LogError("not able to Add row \n");
                FreeResultData(result);
                return nullptr;
            }
        }
        result->cursor = nullptr;
        return result;
    }
    LockCriteria();
    FilterNode* tree = ParseCriteria(criteria);
    if (tree == nullptr) {
        UnlockCriteria();
        FreeResultData(result);
        return nullptr;
    }
    ResolveCriteriaColumns(TableColumns(relvar), tree);
    for (RowObject* row = relvar->firstRow; row != nullptr; row = row->next) {
        if (EvaluateCriteria(row, tree) && !AddRowToResultData(row, result)) {
            LogError("not able to Add row \n");
            FreeCriteria(tree);
            UnlockCriteria();
            FreeResultData(result);
            return nullptr;
        }
    }
    FreeCriteria(tree);
    UnlockCriteria();
    result->cursor = nullptr;
    return result;
}

ResultData* SelectRowByRowIdx(const char* tableName, int32_t index) {
    LogTrace("@@@ Inside SelectRowByRowIdx @@@\n");
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr || index < 0) return nullptr;
    if (relvar->firstRow != nullptr && index > relvar->rowCount) return nullptr;
    RowObject* row = relvar->firstRow;
    for (int32_t i = 1; row != nullptr && i < index; ++i) row = row->next;
    if (relvar->firstRow != nullptr && row == nullptr) return nullptr;
    ResultData* result = CreateResultData();
    if (result == nullptr) return nullptr;
    result->kind = relvar->kind;
    result->tableDefn = relvar->tableDefn;
    result->viewDefn = relvar->viewDefn;
    result->columnCount = relvar->columnCount;
    if (row != nullptr && !AddRowToResultData(row, result)) {
        FreeResultData(result);
        return nullptr;
    }
    result->cursor = nullptr;
    return result;
}

uint8_t UpdateRowObject(const char* tableName, RowObject* row, const char* columnName, const void* value,
                        int32_t length) {
    LogTrace("@@@ Inside UpdateRowObject @@@\n");
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr) return 0;
    if (row == nullptr) {
        LogError("\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n");
        return 0;
    }
    if (columnName == nullptr || length < 0) return 0;
    if (IsPrimaryKeyColumn(relvar, columnName)) {
        LogError("@@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n");
        return 0;
    }
    int32_t i = ColumnPosition(relvar, columnName);
    if (i < 0) return 0;
    void* copy = nullptr;
    if (value != nullptr) {
        copy = CopyColumnValue(value, length, GetRelvarColumnType(relvar, i));
        if (copy == nullptr) return 0;
    }
    void* old = row->values[i];
    row->values[i] = copy;
    row->lengths[i] = value != nullptr ? length : 0;
    row->state |= kRowModified;
    SendNotification(row, relvar->name);
    free(old);
    return 1;
}

uint8_t DeleteRowObject(const char* tableName, RowObject* row) {
    LogTrace("@@@ Inside DeleteRowObject @@@\n");
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr || row == nullptr) return 0;
    if (row->state & kRowStored) {
        row->state |= kRowDeleted;
        return 1;
    }
    RowObject* prev = nullptr;
    for (RowObject* r = relvar->firstRow; r != nullptr; prev = r, r = r->next) {
        if (r == row) {
            RemoveRow(relvar, prev, row);
            return 1;
        }
    }
    return 0;
}

uint8_t DeleteRowObjectByCriteria(const char* tableName, const char* criteria) {
    LogTrace("@@@ Inside DeleteRowObjectByCriteria @@@\n");
    if (criteria == nullptr) return 0;
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr) return 0;
    Vector* columns = TableColumns(relvar);
    if (columns == nullptr || columns->count == 0) return 0;
    LockCriteria();
    FilterNode* tree = ParseCriteria(criteria);
    if (tree == nullptr) {
        UnlockCriteria();
        return 0;
    }
    ResolveCriteriaColumns(columns, tree);
    RowObject* prev = nullptr;
    RowObject* row = relvar->firstRow;
    while (row != nullptr) {
        RowObject* next = row->next;
        if (EvaluateCriteria(row, tree)) {
            bool removed = (row->state & kRowStored) == 0;
            DeleteListedRow(relvar, prev, row);
            if (!removed) prev = row;
        } else {
            prev = row;
        }
        row = next;
    }
    FreeCriteria(tree);
    UnlockCriteria();
    return 1;
}

uint8_t DeleteAllTableRowObjects(const char* tableName) {
    LogTrace("@@@ Inside DeleteAllTableRowObjects @@@\n");
    if (tableName == nullptr) {
        LogError("\t tableName NULL \n");
        return 0;
    }
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr) {
        LogError("\t GetTableDataByName returned NULL \n");
        return 0;
    }
    Vector* columns = TableColumns(relvar);
    if (columns == nullptr || columns->count == 0) return 0;
    RowObject* prev = nullptr;
    RowObject* row = relvar->firstRow;
    while (row != nullptr) {
        RowObject* next = row->next;
        bool removed = (row->state & kRowStored) == 0;
        DeleteListedRow(relvar, prev, row);
        if (!removed) prev = row;
        row = next;
    }
    return 1;
}

void FreeTableData(TableData* relvar) {
    LogTrace("\t@@@@@ Inside FreeTableData() @@@@@\n");
    if (relvar == nullptr) return;
    LogTrace("\t %s is being freed\n", relvar->name);
    RowObject* row = relvar->firstRow;
    while (row != nullptr) {
        RowObject* next = row->next;
        FreeRowObject(row, relvar->columnCount);
        row = next;
    }
    if (relvar->kind == kRelvarView) FreeCustomViewDefn(relvar->viewDefn);
    free(relvar->name);
    free(relvar);
}

}  // namespace orv
