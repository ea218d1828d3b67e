/*
 * Data objects in memory: creating and releasing objects, collections and
 * rows, key strings and the key table, row operations.
 */
#include "dataobject/dataobject.h"

#include <strings.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "agent/log.h"
#include "datastore/column_value.h"
#include "datastore/missing_values.h"
#include "datastore/type_codes.h"
#include "dataobject/dataobject_internal.h"

namespace orv {

/* ---- shared helpers ---- */

void* PoolCopyValue(MemPool* pool, const void* value, int32_t length, uint8_t type) {
    if (value == nullptr || length < 0) return nullptr;
    if (type == ORV_SQL_DATE || type == ORV_SQL_TIME || type == ORV_SQL_DATETIME) {
        auto* block = static_cast<DateTimeColumnValue*>(MemPoolAlloc(pool, sizeof(DateTimeColumnValue)));
        if (block == nullptr) return nullptr;
        const auto* source = static_cast<const OrvDateTime*>(value);
        if (source->date != nullptr) {
            block->date = *source->date;
            block->value.date = &block->date;
        }
        if (source->time != nullptr) {
            block->time = *source->time;
            block->value.time = &block->time;
        }
        return block;
    }
    return MemPoolMemdup(pool, value, static_cast<size_t>(length));
}

int32_t NameIndex(const char* const* names, const char* name) {
    if (names == nullptr || name == nullptr) return -1;
    for (int32_t i = 0; names[i] != nullptr; ++i) {
        if (strcasecmp(names[i], name) == 0) return i;
    }
    return -1;
}

ColumnDefnEntry* DefnColumn(const TableDefn* defn, const char* name, int32_t* index) {
    if (defn == nullptr || defn->columns == nullptr || name == nullptr) return nullptr;
    int32_t i = 0;
    for (VectorNode* node = defn->columns->head; node != nullptr; node = node->next, ++i) {
        auto* column = static_cast<ColumnDefnEntry*>(node->element);
        if (column != nullptr && column->name != nullptr && strcasecmp(column->name, name) == 0) {
            if (index != nullptr) *index = i;
            return column;
        }
    }
    return nullptr;
}

ColumnDefnEntry* DefnColumnAt(const TableDefn* defn, int32_t index) {
    if (defn == nullptr || defn->columns == nullptr || index < 0) return nullptr;
    VectorNode* node = defn->columns->head;
    for (int32_t i = 0; node != nullptr && i < index; ++i) node = node->next;
    return node != nullptr ? static_cast<ColumnDefnEntry*>(node->element) : nullptr;
}

int32_t DefnColumnCount(const TableDefn* defn) {
    return defn != nullptr && defn->columns != nullptr ? defn->columns->count : 0;
}

bool ReadIntegerValue(const void* value, uint8_t type, int64_t* out) {
    if (value == nullptr) return false;
    switch (type) {
        case ORV_SQL_TINYINT: { int8_t v; memcpy(&v, value, 1); *out = v; return true; }
        case ORV_SQL_UNSIGNED_TINYINT:
        case ORV_SQL_BOOLEAN: { uint8_t v; memcpy(&v, value, 1); *out = v; return true; }
        case ORV_SQL_SMALLINT: { int16_t v; memcpy(&v, value, 2); *out = v; return true; }
        case ORV_SQL_UNSIGNED_SMALLINT: { uint16_t v; memcpy(&v, value, 2); *out = v; return true; }
        case ORV_SQL_INT: { int32_t v; memcpy(&v, value, 4); *out = v; return true; }
        case ORV_SQL_UNSIGNED_INT: { uint32_t v; memcpy(&v, value, 4); *out = v; return true; }
        case ORV_SQL_BIGINT:
        case ORV_SQL_UNSIGNED_LONG_INT: { int64_t v; memcpy(&v, value, 8); *out = v; return true; }
        default: return false;
    }
}

void* RowValueByName(const RowUnit* row, const TableDefn* defn, const char* columnName, int32_t* length) {
    int32_t index = -1;
    if (row->columnNames != nullptr) {
        index = NameIndex(row->columnNames, columnName);
    } else if (DefnColumn(defn, columnName, &index) == nullptr) {
        index = -1;
    }
    if (index < 0 || index >= row->columnCount || row->values == nullptr) return nullptr;
    if (length != nullptr) *length = row->lengths != nullptr ? row->lengths[index] : 0;
    return row->values[index];
}

/* ---- key strings ---- */

namespace {

/* The query's column names of a table, in select order, in the pool; the
 * definition's when the query names none of it. */
char** QueryColumnsOf(const SelectQuery* query, const TableDefn* defn, MemPool* pool) {
    int32_t n = 0;
    if (query != nullptr && query->columns != nullptr) {
        for (VectorNode* node = query->columns->head; node != nullptr; node = node->next) {
            auto* c = static_cast<SelectColumn*>(node->element);
            if (c != nullptr && c->tableName != nullptr && strcasecmp(c->tableName, defn->name) == 0) ++n;
        }
    }
    const bool all = n == 0;
    if (all) n = DefnColumnCount(defn);
    auto** names = static_cast<char**>(MemPoolAlloc(pool, sizeof(char*) * static_cast<size_t>(n + 1)));
    if (names == nullptr) return nullptr;
    int32_t i = 0;
    if (all) {
        for (VectorNode* node = defn->columns->head; node != nullptr && i < n; node = node->next) {
            names[i++] = static_cast<ColumnDefnEntry*>(node->element)->name;
        }
    } else {
        for (VectorNode* node = query->columns->head; node != nullptr; node = node->next) {
            auto* c = static_cast<SelectColumn*>(node->element);
            if (c != nullptr && c->tableName != nullptr && strcasecmp(c->tableName, defn->name) == 0) {
                names[i++] = c->columnName;
            }
        }
    }
    return names;
}

}  // namespace

char* KeyStringFor(const RowUnit* row, const char* const* columnList, MemPool* pool) {
    const TableDefn* defn = GetTableDefn(row->tableName);
    if (defn == nullptr) {
        LogError("No Table Definition found for table %s.\n", row->tableName);
        return nullptr;
    }
    if (defn->constraints == nullptr || defn->constraints->primaryKeyCount <= 0 ||
        defn->constraints->primaryKeyColumns == nullptr) {
        LogError("No Primary Keys mentioned for table %s. \n", row->tableName);
        return nullptr;
    }
    std::string key = row->tableName;
    for (int32_t k = 0; k < defn->constraints->primaryKeyCount; ++k) {
        const char* pk = defn->constraints->primaryKeyColumns[k];
        int32_t index = NameIndex(columnList, pk);
        const void* value = index >= 0 && index < row->columnCount ? row->values[index] : nullptr;
        ColumnDefnEntry* column = DefnColumn(defn, pk);
        char* text = ConvertColumnValueToString(value, column != nullptr ? column->type : 0);
        if (text == nullptr) {
            LogError("Cannot construct keystring.  No text form for column %s of table %s.\n", pk, row->tableName);
            return nullptr;
        }
        key += text;
        free(text);
        if (key.size() > kMaxKeyStringLength) {
            LogError("Key string of table %s longer than %zu characters: row refused.\n", row->tableName,
                     kMaxKeyStringLength);
            return nullptr;
        }
    }
    LogTrace("KeyStr %s\n", key.c_str());
    return MemPoolStrdup(pool, key.c_str());
}

char* GenerateKeyString(const RowUnit* row, const SelectQuery* query, const char* const* columnList, MemPool* pool) {
    LogTrace("@@@@  Inside GenerateKeyString @@@@\n");
    if (row == nullptr || pool == nullptr || row->tableName == nullptr) return nullptr;
    if (query == nullptr && columnList == nullptr && row->columnNames == nullptr) {
        LogError("Cannot construct keystring.  Both selectQueryPtr and columnList are NULL\n");
        return nullptr;
    }
    if (columnList == nullptr) columnList = row->columnNames;
    if (columnList == nullptr) {
        const TableDefn* defn = GetTableDefn(row->tableName);
        if (defn == nullptr) {
            LogError("No Table Definition found for table %s.\n", row->tableName);
            return nullptr;
        }
        columnList = QueryColumnsOf(query, defn, pool);
        if (columnList == nullptr) return nullptr;
    }
    return KeyStringFor(row, columnList, pool);
}

uint8_t CheckForPKEntry(const char* keyString, RowUnit* row, DataObject* object) {
    LogTrace("@@@@  Inside CheckForPKEntry @@@@\n");
    if (keyString == nullptr || object == nullptr) return 0;
    if (HashContains(&object->keyTable, keyString)) {
        LogDebug("HashKey %s Not Inserted\n", keyString);
        return 0;
    }
    if (!HashPut(&object->keyTable, keyString, row)) {
        LogDebug("HashKey %s Not Inserted\n", keyString);
        return 0;
    }
    LogTrace("HashKey Inserted\n");
    return 1;
}

/* ---- objects and collections ---- */

namespace {

void FreeKeyTable(void* table) { HashFree(static_cast<StringHashTable*>(table)); }
void FreeListNodes(void* vector) { FreeVector(static_cast<Vector*>(vector)); }
void FreeOwnedQuery(void* object) {
    auto* o = static_cast<DataObject*>(object);
    if (o->ownsQuery && o->selectQuery != nullptr) FreeSelectQuery(o->selectQuery);
    o->selectQuery = nullptr;
}

}  // namespace

DataObject* CreateDataObject() {
    LogTrace("@@@@  Inside CreateDataObject @@@@\n");
    return CreateSizedDataObject(kKeyTableBuckets);
}

DataObject* CreateSizedDataObject(uint32_t buckets) {
    MemPool* pool = CreateMemPool(nullptr);
    if (pool == nullptr) return nullptr;
    auto* object = static_cast<DataObject*>(MemPoolAlloc(pool, sizeof(DataObject)));
    Vector* list = object != nullptr ? static_cast<Vector*>(MemPoolAlloc(pool, sizeof(Vector))) : nullptr;
    if (list == nullptr || !HashInit(&object->keyTable, buckets)) {
        DestroyMemPool(pool);
        return nullptr;
    }
    // Released when the pool goes, last registered first: the query, the
    // list's nodes, the key table.
    if (!MemPoolOnDestroy(pool, FreeKeyTable, &object->keyTable)) {
        HashFree(&object->keyTable);
        DestroyMemPool(pool);
        return nullptr;
    }
    InitVector(list);
    if (!MemPoolOnDestroy(pool, FreeListNodes, list) || !MemPoolOnDestroy(pool, FreeOwnedQuery, object)) {
        DestroyMemPool(pool);
        return nullptr;
    }
    object->pool = pool;
    object->tableList = list;
    return object;
}

void FreeDataObject(DataObject* object) {
    if (object != nullptr) DestroyMemPool(object->pool);
}

void* DataObjectAlloc(DataObject* object, size_t size) {
    return object != nullptr ? MemPoolAlloc(object->pool, size) : nullptr;
}

RowCollection* CreateRowCollection(const char* tableName, const char* const* columnNames, const uint8_t* columnTypes,
                                   MemPool* pool) {
    LogTrace("@@@@  Inside CreateRowCollection @@@@\n");
    if (tableName == nullptr || columnNames == nullptr || pool == nullptr) return nullptr;
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("Table Definition not found for %s.\n", tableName);
        return nullptr;
    }
    if (defn->constraints != nullptr && defn->constraints->primaryKeyColumns != nullptr) {
        for (int32_t k = 0; k < defn->constraints->primaryKeyCount; ++k) {
            if (NameIndex(columnNames, defn->constraints->primaryKeyColumns[k]) < 0) {
                LogError("All Primary key columns were not selected.\n");
                return nullptr;
            }
        }
    }
    int32_t n = 0;
    while (columnNames[n] != nullptr) ++n;
    auto* c = static_cast<RowCollection*>(MemPoolAlloc(pool, sizeof(RowCollection)));
    if (c == nullptr) return nullptr;
    c->tableName = MemPoolStrdup(pool, tableName);
    c->tableDefn = defn;
    c->columnCount = n;
    c->columnNames = static_cast<char**>(MemPoolAlloc(pool, sizeof(char*) * static_cast<size_t>(n + 1)));
    c->columnTypes = static_cast<uint8_t*>(MemPoolAlloc(pool, static_cast<size_t>(n + 1)));
    if (c->tableName == nullptr || c->columnNames == nullptr || c->columnTypes == nullptr) return nullptr;
    for (int32_t i = 0; i < n; ++i) {
        c->columnNames[i] = MemPoolStrdup(pool, columnNames[i]);
        if (c->columnNames[i] == nullptr) return nullptr;
        c->columnTypes[i] = columnTypes != nullptr ? columnTypes[i] : GetColumnType(tableName, columnNames[i]);
    }
    return c;
}

uint8_t AddRowCollectionToDO(DataObject* object, RowCollection* collection) {
    LogTrace("@@@@  Inside AddRowCollectionToDO @@@@\n");
    if (object == nullptr) return 0;
    if (collection == nullptr) {
        LogError("Cannot add Row Collection to DO.  Row Collection is NULL.\n");
        return 0;
    }
    for (RowCollection* c = object->firstCollection; c != nullptr; c = c->next) {
        if (strcasecmp(c->tableName, collection->tableName) == 0) {
            LogError("Cannot add Row Collection to DO.  Table %s is already in DO.\n", collection->tableName);
            return 0;
        }
    }
    bool listed = false;
    for (VectorNode* node = object->tableList->head; node != nullptr && !listed; node = node->next) {
        listed = strcasecmp(static_cast<char*>(node->element), collection->tableName) == 0;
    }
    if (!listed) {
        if (AddValue(object->tableList, collection->tableName) != 1) return 0;
        object->tableCount = object->tableList->count;
    }
    collection->next = nullptr;
    if (object->lastCollection != nullptr) {
        object->lastCollection->next = collection;
    } else {
        object->firstCollection = collection;
    }
    object->lastCollection = collection;
    return 1;
}

uint8_t AddTableToDO(DataObject* object, const char* tableName, const char* const* columnNames) {
    LogTrace("@@@@  Inside AddTableToDO @@@@\n");
    if (object == nullptr) {
        LogError("DO is NULL.\n");
        return 0;
    }
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("Table Definition not found for %s.\n", tableName ? tableName : "(null)");
        return 0;
    }
    RowCollection* collection = nullptr;
    if (columnNames != nullptr) {
        int32_t n = 0;
        while (columnNames[n] != nullptr) ++n;
        auto* types = static_cast<uint8_t*>(MemPoolAlloc(object->pool, static_cast<size_t>(n + 1)));
        bool known = types != nullptr;
        for (int32_t i = 0; known && i < n; ++i) {
            ColumnDefnEntry* column = DefnColumn(defn, columnNames[i]);
            if (column == nullptr) {
                LogError("Column %s is not a column of table %s.\n", columnNames[i], tableName);
                known = false;
            } else {
                types[i] = column->type;
            }
        }
        if (known) collection = CreateRowCollection(defn->name, columnNames, types, object->pool);
    } else {
        const int32_t n = DefnColumnCount(defn);
        auto** names = static_cast<const char**>(MemPoolAlloc(object->pool, sizeof(char*) * static_cast<size_t>(n + 1)));
        auto* types = static_cast<uint8_t*>(MemPoolAlloc(object->pool, static_cast<size_t>(n + 1)));
        if (names != nullptr && types != nullptr) {
            for (int32_t i = 0; i < n; ++i) {
                ColumnDefnEntry* column = DefnColumnAt(defn, i);
                names[i] = column->name;
                types[i] = column->type;
            }
            collection = CreateRowCollection(defn->name, names, types, object->pool);
        }
    }
    if (collection == nullptr || !AddRowCollectionToDO(object, collection)) {
        LogError("ADD ROW COLLECTION FAILED\n");
        return 0;
    }
    return 1;
}

RowUnit* CreateRowUnit(const char* tableName, void** values, int32_t* lengths, MemPool* pool) {
    LogTrace("@@@@  Inside CreateRowUnit @@@@\n");
    if (tableName == nullptr || pool == nullptr) return nullptr;
    auto* row = static_cast<RowUnit*>(MemPoolAlloc(pool, sizeof(RowUnit)));
    if (row == nullptr) return nullptr;
    row->tableName = MemPoolStrdup(pool, tableName);
    if (row->tableName == nullptr) return nullptr;
    row->values = values;
    row->lengths = lengths;
    return row;
}

uint8_t AddRowUnitToRowCollection(RowUnit* row, RowCollection* collection) {
    if (row == nullptr || collection == nullptr) return 0;
    row->next = nullptr;
    row->columnNames = collection->columnNames;
    if (collection->lastRow != nullptr) {
        collection->lastRow->next = row;
    } else {
        collection->firstRow = row;
    }
    collection->lastRow = row;
    return 1;
}

char** MakeColumnList(MemPool* pool, int32_t count, ...) {
    if (pool == nullptr || count < 0) return nullptr;
    auto** names = static_cast<char**>(MemPoolAlloc(pool, sizeof(char*) * static_cast<size_t>(count + 1)));
    if (names == nullptr) return nullptr;
    va_list args;
    va_start(args, count);
    for (int32_t i = 0; i < count; ++i) names[i] = MemPoolStrdup(pool, va_arg(args, const char*));
    va_end(args);
    return names;
}

void** MakeStringColumnValuesList(MemPool* pool, int32_t count, ...) {
    if (pool == nullptr || count < 0) return nullptr;
    auto** values = static_cast<void**>(MemPoolAlloc(pool, sizeof(void*) * static_cast<size_t>(count + 1)));
    if (values == nullptr) return nullptr;
    va_list args;
    va_start(args, count);
    for (int32_t i = 0; i < count; ++i) {
        const char* text = va_arg(args, const char*);
        values[i] = text != nullptr ? MemPoolStrdup(pool, text) : nullptr;
    }
    va_end(args);
    return values;
}

int32_t* MakeLengthList(MemPool* pool, int32_t count, ...) {
    if (pool == nullptr || count < 0) return nullptr;
    auto* lengths = static_cast<int32_t*>(MemPoolAlloc(pool, sizeof(int32_t) * static_cast<size_t>(count + 1)));
    if (lengths == nullptr) return nullptr;
    va_list args;
    va_start(args, count);
    for (int32_t i = 0; i < count; ++i) lengths[i] = va_arg(args, int32_t);
    va_end(args);
    return lengths;
}

/* ---- row operations ---- */

namespace {

/* The collection and data object a row goes into. */
struct InsertTarget {
    const RowCollection* collection;
    DataObject* object;
};

/* The column definitions of a collection's rows, by the collection's
 * column names. */
const ColumnDefnEntry* CollectionColumn(void* context, int32_t index) {
    const RowCollection* c = static_cast<const InsertTarget*>(context)->collection;
    return DefnColumn(c->tableDefn, c->columnNames[index]);
}

/* A data object row's generated value: the identifier in the column's own
 * width (a BIGINT column reads 8 bytes, any other 4); -1 gives none with
 * an ERROR line. */
void* GeneratedInDataObject(void* context, const ColumnDefnEntry* column, int32_t id, int32_t* length) {
    const auto* target = static_cast<const InsertTarget*>(context);
    if (id == -1) {
        LogError("No identifier for column %s of table %s.\n", column->name, target->collection->tableName);
        return nullptr;
    }
    const int64_t wide = id;
    const bool eight = column->type == ORV_SQL_BIGINT || column->type == ORV_SQL_UNSIGNED_LONG_INT;
    *length = eight ? 8 : 4;
    return eight ? MemPoolMemdup(target->object->pool, &wide, 8) : MemPoolMemdup(target->object->pool, &id, 4);
}

/* A data object row's copy of the default. Its length: the default's text
 * length for CHAR, NCHAR, BLOB and TEXT; 2 for TINYINT and SMALLINT; 4 for
 * INT and BIGINT; the stored default's length for the date codes and every
 * other code. */
void* DefaultInDataObject(void* context, const ColumnDefnEntry* column, int32_t* length) {
    const auto* target = static_cast<const InsertTarget*>(context);
    void* value = PoolCopyValue(target->object->pool, column->defaultValue, column->defaultLength, column->type);
    switch (column->type) {
        case ORV_SQL_CHAR:
        case ORV_SQL_NCHAR:
        case ORV_SQL_BLOB:
        case ORV_SQL_TEXT:
            *length = static_cast<int32_t>(strlen(static_cast<const char*>(column->defaultValue)));
            break;
        case ORV_SQL_DATE:
        case ORV_SQL_TIME:
        case ORV_SQL_DATETIME:
            *length = column->defaultLength;
            break;
        case ORV_SQL_TINYINT:
        case ORV_SQL_SMALLINT:
            *length = 2;
            break;
        case ORV_SQL_INT:
        case ORV_SQL_BIGINT:
            *length = 4;
            break;
        default:
            *length = column->defaultLength;
            break;
    }
    return value;
}

}  // namespace

uint8_t InsertRowUnit(RowUnit* row, DataObject* object) {
    LogTrace("@@@@  Inside InsertRowUnit @@@@\n");
    if (row == nullptr || object == nullptr || row->values == nullptr || row->lengths == nullptr) return 0;
    RowCollection* c = GetRowCollection(row->tableName, object);
    if (c == nullptr) {
        LogError("The RowUnit belongs to Table %s, which is not in DO\n", row->tableName);
        return 0;
    }
    row->columnCount = c->columnCount;
    row->columnNames = c->columnNames;
    LogDebug("Inserting Row\n");
    InsertTarget target{c, object};
    const MissingValueFill fill{c->tableName, c->columnCount, &target, CollectionColumn, GeneratedInDataObject,
                                DefaultInDataObject, false};
    FillMissingValues(fill, row->values, row->lengths);
    char* key = KeyStringFor(row, c->columnNames, object->pool);
    if (key == nullptr) return 0;
    if (!CheckForPKEntry(key, row, object)) {
        LogDebug("Row with keyStr %s already exists.\n", key);
        return 0;
    }
    row->state = kRowNew;
    AddRowUnitToRowCollection(row, c);
    return 1;
}

uint8_t InsertRowIntoDO(const char* tableName, void** values, int32_t* lengths, DataObject* object) {
    LogTrace("@@@@  Inside InsertRowIntoDO @@@@\n");
    if (object == nullptr) return 0;
    RowUnit* row = CreateRowUnit(tableName, values, lengths, object->pool);
    if (row == nullptr) {
        LogError("Cannot create rowUnit.\n");
        return 0;
    }
    if (!InsertRowUnit(row, object)) {
        LogError("Cannot Insert RowUnit.\n");
        return 0;
    }
    return 1;
}

uint8_t InsertStringRowIntoDO(const char* tableName, const char* const* texts, DataObject* object) {
    LogTrace("@@@@  Inside InsertStringRowIntoDO @@@@\n");
    if (object == nullptr || texts == nullptr) return 0;
    RowCollection* c = GetRowCollection(tableName, object);
    if (c == nullptr) {
        LogError("The RowUnit belongs to Table %s, which is not in DO\n", tableName ? tableName : "(null)");
        return 0;
    }
    const size_t n = static_cast<size_t>(c->columnCount);
    auto** values = static_cast<void**>(MemPoolAlloc(object->pool, sizeof(void*) * (n + 1)));
    auto* lengths = static_cast<int32_t*>(MemPoolAlloc(object->pool, sizeof(int32_t) * (n + 1)));
    RowUnit* row = values != nullptr && lengths != nullptr ? CreateRowUnit(tableName, values, lengths, object->pool)
                                                           : nullptr;
    if (row == nullptr) {
        LogError("Cannot create RowUnit.\n");
        return 0;
    }
    for (size_t i = 0; i < n; ++i) {
        int32_t length = texts[i] != nullptr ? static_cast<int32_t>(strlen(texts[i])) : 0;
        void* value = ConvertStringToColumnValue(texts[i], &length, c->columnTypes[i]);
        if (value == nullptr) {
            lengths[i] = 4;
            continue;
        }
        values[i] = PoolCopyValue(object->pool, value, length, c->columnTypes[i]);
        lengths[i] = length;
        free(value);
    }
    if (!InsertRowUnit(row, object)) {
        LogError("Cannot insert RowUnit.\n");
        return 0;
    }
    return 1;
}

namespace {

/* The stored row with the key of the given one, or none (nothing logged). */
RowUnit* StoredRowFor(const RowUnit* row, DataObject* object) {
    RowCollection* c = GetRowCollection(row->tableName, object);
    const char* const* names = row->columnNames != nullptr ? row->columnNames
                                                           : (c != nullptr ? c->columnNames : nullptr);
    if (names == nullptr) return nullptr;
    RowUnit probe = *row;
    if (c != nullptr && probe.columnNames == nullptr) probe.columnCount = c->columnCount;
    char* key = KeyStringFor(&probe, names, object->pool);
    return key != nullptr ? static_cast<RowUnit*>(HashGet(&object->keyTable, key)) : nullptr;
}

}  // namespace

uint8_t UpdateRowUnit(RowUnit* row, DataObject* object) {
    LogTrace("@@@@  Inside UpdateRowUnit @@@@\n");
    if (row == nullptr || object == nullptr) return 0;
    RowUnit* stored = StoredRowFor(row, object);
    if (stored == nullptr) {
        LogError("Row to be updated is not present in DO. \n");
        return 0;
    }
    LogDebug("Updating Row\n");
    if (stored != row) {
        stored->values = row->values;
        stored->lengths = row->lengths;
    }
    stored->state |= kRowModified;
    return 1;
}

uint8_t DeleteRowUnit(RowUnit* row, DataObject* object) {
    LogTrace("@@@@  Inside DeleteRowUnit @@@@\n");
    (void)object;
    if (row != nullptr) row->state |= kRowDeleted;
    return 1;
}

RowUnit* FindRowUnit(const RowUnit* row, DataObject* object) {
    LogTrace("@@@@  Inside FindRowUnit @@@@\n");
    if (row == nullptr || object == nullptr) return nullptr;
    RowUnit* stored = StoredRowFor(row, object);
    if (stored == nullptr) LogError("Row to be found is not present in DO. \n");
    return stored;
}

namespace {

uint8_t SetValue(const char* columnName, const char* tableName, const void* value, int32_t length,
                 DataObject* object, bool all) {
    RowCollection* c = GetRowCollection(tableName, object);
    if (c == nullptr) {
        LogError(" Table %s is not present in DO\n", tableName ? tableName : "(null)");
        return 0;
    }
    const int32_t index = NameIndex(c->columnNames, columnName);
    if (index < 0) {
        if (all) {
            LogError("Passed column is not present in DO.\n");
        } else {
            LogError("Passed column %s is not present in DO.\n", columnName ? columnName : "(null)");
        }
        return 0;
    }
    bool any = false;
    for (RowUnit* row = c->firstRow; row != nullptr; row = row->next) {
        if (!all && row != c->lastRow) continue;
        void* copy = PoolCopyValue(object->pool, value, length, c->columnTypes[index]);
        if (value != nullptr && copy == nullptr) {
            LogError("Memcpy Failed.\n");
            return 0;
        }
        row->values[index] = copy;
        row->lengths[index] = length;
        row->state |= kRowModified;
        any = true;
    }
    return any || all ? 1 : 0;
}

}  // namespace

uint8_t SetValueForRowUnit(const char* columnName, const char* tableName, const void* value, int32_t length,
                           DataObject* object) {
    LogTrace("@@@@  Inside SetValueForRowUnit @@@@\n");
    return SetValue(columnName, tableName, value, length, object, false);
}

uint8_t SetValueForAllRowUnits(const char* columnName, const char* tableName, const void* value, int32_t length,
                               DataObject* object) {
    LogTrace("@@@@  Inside SetValueForAllRowUnits @@@@\n");
    return SetValue(columnName, tableName, value, length, object, true);
}

}  // namespace orv
