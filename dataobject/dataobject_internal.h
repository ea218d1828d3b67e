/*
 * What the data object files share: value copies in an object's pool,
 * column look-ups and reading integers of any width. Internal to the
 * library.
 */
#ifndef ORV_DATAOBJECT_DATAOBJECT_INTERNAL_H
#define ORV_DATAOBJECT_DATAOBJECT_INTERNAL_H

#include <cstdint>
#include <string>

#include "dataobject/dataobject.h"

namespace orv {

/* A copy of a value of the type in the pool (dates whole, every other type
 * as length bytes and a zero byte); null for a null value or a negative
 * length. */
void* PoolCopyValue(MemPool* pool, const void* value, int32_t length, uint8_t type);

/* The position of a name in a null-terminated list (without regard to
 * case), or -1. */
int32_t NameIndex(const char* const* names, const char* name);

/* The definition's column of that name (without regard to case), its
 * position in *index when asked; null when absent. */
ColumnDefnEntry* DefnColumn(const TableDefn* defn, const char* name, int32_t* index = nullptr);
/* The definition's column at a position, or null. */
ColumnDefnEntry* DefnColumnAt(const TableDefn* defn, int32_t index);
int32_t DefnColumnCount(const TableDefn* defn);

/* An integer value of type codes 1 to 8 (and booleans) as a signed 64-bit
 * number; false for another type or a missing value. */
bool ReadIntegerValue(const void* value, uint8_t type, int64_t* out);

/* The row's value of a column and its length, looked up by the row's own
 * column names, else in the definition's order. Null when absent. */
void* RowValueByName(const RowUnit* row, const TableDefn* defn, const char* columnName, int32_t* length);

/* The key string, or none, with the refusal logged. */
char* KeyStringFor(const RowUnit* row, const char* const* columnList, MemPool* pool);

/* An empty object whose key table has that many buckets. */
DataObject* CreateSizedDataObject(uint32_t buckets);

/* Follows a reference (table, column) through the referenced tables' own
 * foreign keys until it reaches target; the primary key column of target
 * it lands on (owned by the definition), or null. depth: 0. */
const char* ChainToTable(const char* table, const char* column, const char* target, int depth);

/* Foreign keys of a definition (possibly none). */
inline Vector* ForeignKeysOf(const TableDefn* defn) {
    return defn != nullptr && defn->constraints != nullptr ? defn->constraints->foreignKeys : nullptr;
}

}  // namespace orv

#endif
