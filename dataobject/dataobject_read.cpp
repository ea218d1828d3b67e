/*
 * Reading data objects: table list, collections, rows by position and the
 * row cursor, and values by column.
 */
#include <strings.h>

#include <cstring>

#include "agent/log.h"
#include "dataobject/dataobject.h"
#include "dataobject/dataobject_internal.h"

namespace orv {

namespace {

void FreeListNodes(void* vector) { FreeVector(static_cast<Vector*>(vector)); }

}  // namespace

/* ---- navigation and reading ---- */

Vector* GetTableList(DataObject* object) {
    LogTrace("@@@@  Inside GetTableList @@@@\n");
    return object != nullptr ? object->tableList : nullptr;
}

uint8_t ContainsTableInDO(const char* tableName, DataObject* object) {
    LogTrace("@@@@  Inside ContainsTableInDO @@@@\n");
    return GetRowCollection(tableName, object) != nullptr ? 1 : 0;
}

bool IsDOEmpty(const DataObject* object) {
    LogTrace("@@@@  Inside IsDOEmpty @@@@\n");
    return object == nullptr || object->firstCollection == nullptr;
}

RowCollection* GetRowCollection(const char* tableName, DataObject* object) {
    if (object == nullptr || tableName == nullptr) return nullptr;
    if (object->cursor != nullptr && strcasecmp(object->cursor->tableName, tableName) == 0) return object->cursor;
    for (RowCollection* c = object->firstCollection; c != nullptr; c = c->next) {
        if (strcasecmp(c->tableName, tableName) == 0) {
            object->cursor = c;
            return c;
        }
    }
    return nullptr;
}

Vector* GetColumnListFromDO(const char* tableName, DataObject* object) {
    LogTrace("@@@@  Inside GetColumnListFromDO @@@@\n");
    RowCollection* c = GetRowCollection(tableName, object);
    if (c == nullptr) return nullptr;
    auto* list = static_cast<Vector*>(MemPoolAlloc(object->pool, sizeof(Vector)));
    if (list == nullptr) return nullptr;
    InitVector(list);
    if (!MemPoolOnDestroy(object->pool, FreeListNodes, list)) return nullptr;
    for (int32_t i = 0; i < c->columnCount; ++i) {
        if (AddValue(list, c->columnNames[i]) != 1) return nullptr;
    }
    return list;
}

RowUnit* GetFirstRowUnit(const char* tableName, DataObject* object) {
    LogTrace("@@@@  Inside GetFirstRowUnit @@@@\n");
    RowCollection* c = GetRowCollection(tableName, object);
    return c != nullptr ? c->firstRow : nullptr;
}

RowUnit* GetLastRowUnit(const char* tableName, DataObject* object) {
    LogTrace("@@@@  Inside GetLastRowUnit @@@@\n");
    RowCollection* c = GetRowCollection(tableName, object);
    return c != nullptr ? c->lastRow : nullptr;
}

RowUnit* GetNthRowUnit(int32_t n, const char* tableName, DataObject* object) {
    LogTrace("@@@@  Inside GetNthRowUnit @@@@\n");
    RowCollection* c = GetRowCollection(tableName, object);
    RowUnit* row = c != nullptr && n >= 1 ? c->firstRow : nullptr;
    for (int32_t i = 1; row != nullptr && i < n; ++i) row = row->next;
    if (row == nullptr) LogError("Cannot get %d row. \n", n);
    return row;
}

RowUnit* GotoNextRowUnit(RowCollection* collection) {
    LogTrace("@@@@  Inside GotoNextRowUnit @@@@\n");
    if (collection == nullptr) {
        LogError("RowCollectionPtr is NULL.\n");
        return nullptr;
    }
    if (collection->cursor == nullptr) {
        if (collection->firstRow == nullptr) LogError("No RowUnits present in RowCollection.\n");
        collection->cursor = collection->firstRow;
        return collection->cursor;
    }
    if (collection->cursor->next == nullptr) {
        LogDebug("Reached end of rowUnits.\n");
        return nullptr;
    }
    collection->cursor = collection->cursor->next;
    return collection->cursor;
}

void* GetFirstValue(const char* columnName, const char* tableName, DataObject* object) {
    LogTrace("@@@@  Inside GetFirstValue @@@@\n");
    RowCollection* c = GetRowCollection(tableName, object);
    if (c == nullptr) return nullptr;
    const int32_t index = NameIndex(c->columnNames, columnName);
    if (index < 0) {
        LogError("Invalid Column Entered.\n");
        return nullptr;
    }
    return c->firstRow != nullptr ? c->firstRow->values[index] : nullptr;
}

void* GetColumnValueFromDO(const char* tableName, const char* columnName, int32_t n, DataObject* object) {
    LogTrace("@@@@  Inside GetColumnValueFromDO @@@@\n");
    RowCollection* c = GetRowCollection(tableName, object);
    if (c == nullptr) return nullptr;
    const int32_t index = NameIndex(c->columnNames, columnName);
    if (index < 0) {
        LogError("Invalid Column Entered.\n");
        return nullptr;
    }
    RowUnit* row = GetNthRowUnit(n, tableName, object);
    if (row == nullptr) return nullptr;
    return PoolCopyValue(object->pool, row->values[index], row->lengths[index], c->columnTypes[index]);
}

void** GetColumnValuesFromDO(const char* columnName, const char* tableName, DataObject* object, int32_t* count,
                             int32_t** lengths) {
    LogTrace("@@@@  Inside GetColumnValuesFromDO @@@@\n");
    if (count != nullptr) *count = 0;
    if (lengths != nullptr) *lengths = nullptr;
    RowCollection* c = GetRowCollection(tableName, object);
    if (c == nullptr) {
        LogError(" Table %s is not present in DO\n", tableName ? tableName : "(null)");
        return nullptr;
    }
    const int32_t index = NameIndex(c->columnNames, columnName);
    if (index < 0) {
        LogError("Invalid Column Entered.\n");
        return nullptr;
    }
    size_t n = 0;
    for (RowUnit* row = c->firstRow; row != nullptr; row = row->next) ++n;
    auto** values = static_cast<void**>(MemPoolAlloc(object->pool, sizeof(void*) * (n + 1)));
    auto* sizes = static_cast<int32_t*>(MemPoolAlloc(object->pool, sizeof(int32_t) * (n + 1)));
    if (values == nullptr || sizes == nullptr) return nullptr;
    size_t i = 0;
    for (RowUnit* row = c->firstRow; row != nullptr; row = row->next, ++i) {
        values[i] = PoolCopyValue(object->pool, row->values[index], row->lengths[index], c->columnTypes[index]);
        sizes[i] = row->lengths[index];
    }
    if (count != nullptr) *count = static_cast<int32_t>(n);
    if (lengths != nullptr) *lengths = sizes;
    return values;
}

}  // namespace orv
