/*
 * Whole data objects: clone, merge and the printed layout.
 */
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "dataobject/dataobject.h"
#include "dataobject/dataobject_internal.h"

namespace orv {

namespace {

/* A copy of a source row in the target's pool, with the target
 * collection's columns (matched by name) and the given state. */
RowUnit* CopyRowInto(const RowUnit* source, const RowCollection* from, const RowCollection* to, MemPool* pool,
                     uint8_t state) {
    const size_t n = static_cast<size_t>(to->columnCount);
    auto** values = static_cast<void**>(MemPoolAlloc(pool, sizeof(void*) * (n + 1)));
    auto* lengths = static_cast<int32_t*>(MemPoolAlloc(pool, sizeof(int32_t) * (n + 1)));
    auto* row = static_cast<RowUnit*>(MemPoolAlloc(pool, sizeof(RowUnit)));
    if (values == nullptr || lengths == nullptr || row == nullptr) return nullptr;
    for (size_t i = 0; i < n; ++i) {
        const int32_t at = NameIndex(from->columnNames, to->columnNames[i]);
        if (at < 0 || at >= source->columnCount) continue;
        values[i] = PoolCopyValue(pool, source->values[at], source->lengths[at], to->columnTypes[i]);
        if (source->values[at] != nullptr && values[i] == nullptr) return nullptr;
        lengths[i] = source->lengths[at];
    }
    row->tableName = to->tableName;
    row->columnCount = to->columnCount;
    row->values = values;
    row->lengths = lengths;
    row->state = state;
    row->columnNames = to->columnNames;
    return row;
}

/* A collection with the source's table, column names and types in the
 * target's pool. */
RowCollection* CopyCollectionShape(const RowCollection* source, MemPool* pool) {
    auto* c = static_cast<RowCollection*>(MemPoolAlloc(pool, sizeof(RowCollection)));
    if (c == nullptr) return nullptr;
    const size_t n = static_cast<size_t>(source->columnCount);
    c->tableName = MemPoolStrdup(pool, source->tableName);
    c->tableDefn = source->tableDefn;
    c->columnCount = source->columnCount;
    c->columnNames = static_cast<char**>(MemPoolAlloc(pool, sizeof(char*) * (n + 1)));
    c->columnTypes = static_cast<uint8_t*>(MemPoolAlloc(pool, n + 1));
    if (c->tableName == nullptr || c->columnNames == nullptr || c->columnTypes == nullptr) return nullptr;
    for (size_t i = 0; i < n; ++i) {
        c->columnNames[i] = MemPoolStrdup(pool, source->columnNames[i]);
        if (c->columnNames[i] == nullptr) return nullptr;
        c->columnTypes[i] = source->columnTypes[i];
    }
    return c;
}

/* Registers and appends a copied row; false when its key is present. */
bool AddCopiedRow(RowUnit* row, RowCollection* c, DataObject* object) {
    char* key = KeyStringFor(row, c->columnNames, object->pool);
    if (key == nullptr || !CheckForPKEntry(key, row, object)) return false;
    AddRowUnitToRowCollection(row, c);
    return true;
}

/* Puts the table list in foreign-key order again. */
void ResortTables(DataObject* object) {
    Vector* sorted = SortTableByFK(object->tableList);
    if (sorted == nullptr) return;
    FreeVector(object->tableList);
    for (VectorNode* node = sorted->head; node != nullptr; node = node->next) AddValue(object->tableList, node->element);
    FreeVector(sorted);
    free(sorted);
    object->tableCount = object->tableList->count;
}

}  // namespace

DataObject* CloneDataObject(const DataObject* object) {
    LogTrace("@@@@  Inside CloneDataObject @@@@\n");
    if (object == nullptr) return nullptr;
    DataObject* copy = CreateSizedDataObject(object->keyTable.bucketCount);
    if (copy == nullptr) return nullptr;
    copy->selectQuery = object->selectQuery;  // for reference only: never owned by a clone
    for (const RowCollection* c = object->firstCollection; c != nullptr; c = c->next) {
        RowCollection* nc = CopyCollectionShape(c, copy->pool);
        if (nc == nullptr || !AddRowCollectionToDO(copy, nc)) {
            FreeDataObject(copy);
            return nullptr;
        }
        for (const RowUnit* row = c->firstRow; row != nullptr; row = row->next) {
            RowUnit* nr = CopyRowInto(row, c, nc, copy->pool, row->state);
            if (nr == nullptr || !AddCopiedRow(nr, nc, copy)) {
                LogError("Cannot add the newRowUnit into hash table.\n");
                FreeDataObject(copy);
                return nullptr;
            }
        }
    }
    // The same table list and order as the source.
    FreeVector(copy->tableList);
    for (VectorNode* node = object->tableList->head; node != nullptr; node = node->next) {
        RowCollection* c = GetRowCollection(static_cast<const char*>(node->element), copy);
        AddValue(copy->tableList, c != nullptr ? c->tableName : MemPoolStrdup(copy->pool, static_cast<char*>(node->element)));
    }
    copy->tableCount = object->tableCount;
    return copy;
}

DataObject* MergeDataObject(DataObject* target, DataObject* source) {
    LogTrace("@@@@  Inside MergeDataObject @@@@\n");
    if (target == nullptr || source == nullptr) return nullptr;
    if (target == source) return target;
    bool added = false;
    for (RowCollection* sc = source->firstCollection; sc != nullptr; sc = sc->next) {
        RowCollection* tc = GetRowCollection(sc->tableName, target);
        if (tc == nullptr) {
            tc = CopyCollectionShape(sc, target->pool);
            if (tc == nullptr || !AddRowCollectionToDO(target, tc)) {
                LogError("tempRowCollection is NULL\n");
                return nullptr;
            }
            added = true;
            // Every row but a new one deleted again, each with its state.
            for (RowUnit* row = sc->firstRow; row != nullptr; row = row->next) {
                if (row->state == (kRowNew | kRowDeleted)) continue;
                RowUnit* copy = CopyRowInto(row, sc, tc, target->pool, row->state);
                if (copy == nullptr) return nullptr;
                if (!AddCopiedRow(copy, tc, target)) {
                    LogError("Cannot Insert Row with keystring of table %s.  Row already exists.\n", tc->tableName);
                }
            }
            continue;
        }
        for (RowUnit* row = sc->firstRow; row != nullptr; row = row->next) {
            const uint8_t state = row->state;
            const bool update = state == (kRowStored | kRowModified);
            const bool insert = state == kRowNew || state == (kRowNew | kRowModified);
            const bool remove = state == (kRowStored | kRowDeleted);
            if (!update && !insert && !remove) continue;
            char* key = KeyStringFor(row, sc->columnNames, target->pool);
            if (key == nullptr) continue;
            auto* present = static_cast<RowUnit*>(HashGet(&target->keyTable, key));
            if (insert) {
                if (present != nullptr) {
                    LogError("Cannot Insert Row with keystring %s.  Row already exists.\n", key);
                    continue;
                }
                RowUnit* copy = CopyRowInto(row, sc, tc, target->pool, state);
                if (copy == nullptr || !AddCopiedRow(copy, tc, target)) return nullptr;
            } else if (update) {
                if (present == nullptr) {
                    LogError("Row to be updated is not present in DO. \n");
                    continue;
                }
                RowUnit* copy = CopyRowInto(row, sc, tc, target->pool, state);
                if (copy == nullptr) return nullptr;
                LogDebug("Updating Row\n");
                // Columns the source does not hold keep the target's values.
                for (int32_t i = 0; i < tc->columnCount; ++i) {
                    if (NameIndex(sc->columnNames, tc->columnNames[i]) < 0) continue;
                    present->values[i] = copy->values[i];
                    present->lengths[i] = copy->lengths[i];
                }
                present->state |= kRowModified;
            } else if (present != nullptr) {
                present->state |= kRowDeleted;
            } else {
                RowUnit* copy = CopyRowInto(row, sc, tc, target->pool, state);
                if (copy == nullptr || !AddCopiedRow(copy, tc, target)) return nullptr;
            }
        }
    }
    if (added) ResortTables(target);
    return target;
}

std::string RenderDataObject(const DataObject* object) {
    std::string out = "Tables selected in DataObject: \n";
    if (object == nullptr) return out;
    for (VectorNode* node = object->tableList->head; node != nullptr; node = node->next) {
        out += static_cast<const char*>(node->element);
        out += "\n";
    }
    out += "*************\n";
    for (const RowCollection* c = object->firstCollection; c != nullptr; c = c->next) {
        out += "Table Name: ";
        out += c->tableName;
        out += "\n";
        for (int32_t i = 0; i < c->columnCount; ++i) {
            out += " ";
            out += c->columnNames[i];
            out += "\t";
        }
        out += "RowState\n";
        for (const RowUnit* row = c->firstRow; row != nullptr; row = row->next) {
            for (int32_t i = 0; i < c->columnCount; ++i) {
                out += " ";
                out += FormatPrintedValue(i < row->columnCount ? row->values[i] : nullptr, c->columnTypes[i]);
                out += "\t";
            }
            out += std::to_string(row->state);
            out += "\n";
        }
        out += "\n\n";
    }
    return out;
}

uint8_t PrintDataObject(const DataObject* object) {
    LogTrace("@@@@  Inside PrintDataObject @@@@\n");
    if (object == nullptr) {
        LogError("Cannot print DataObject.  dataObjectPtr is NULL\n");
        return 0;
    }
    LogDebug("\n%s\n", RenderDataObject(object).c_str());
    return 1;
}

}  // namespace orv
