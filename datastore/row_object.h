/*
 * A row of an in-memory table: its value blocks with their lengths and the
 * row's state against the database. Own header so that the database door
 * (db/) can write and read rows without the table store.
 *
 * Ownership: a row owns its value blocks (datastore/column_value.h: one
 * heap block per value, released with free()) and both arrays.
 */
#ifndef ORV_DATASTORE_ROW_OBJECT_H
#define ORV_DATASTORE_ROW_OBJECT_H

#include <cstdint>

namespace orv {

/* Row state flags. */
constexpr uint8_t kRowStored = 1;   /* the row is stored in the database */
constexpr uint8_t kRowNew = 2;      /* created in memory */
constexpr uint8_t kRowModified = 4;
constexpr uint8_t kRowDeleted = 8;  /* deleted but still listed until saved */

struct RowObject {
    void** values;    /* columnCount value blocks, null for a missing value */
    int32_t* lengths; /* byte length of each block */
    uint8_t state;
    RowObject* next;
};

}  // namespace orv

#endif
