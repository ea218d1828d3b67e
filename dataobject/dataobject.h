/*
 * Data objects: the rows of several related tables handled as one unit.
 *
 * A DataObject holds one RowCollection per table, each with the columns the
 * object keeps for that table and its rows (RowUnit) in insertion order.
 * Every row is registered once in the object's key table under its key
 * string: the table name followed by the text form of each primary key
 * value (datastore/column_value.h), without separator, at most
 * kMaxKeyStringLength characters. A row whose key is longer is refused
 * (never cut, so two rows cannot share a cut key); a row whose key is
 * present already is a duplicate and refused.
 *
 * Row states are the flags of datastore/relvar.h: 1 stored, 2 new,
 * 4 modified, 8 deleted. Saving writes 5 as an update, 1+8 as a delete,
 * 2 and 6 as an insert (inserts and updates parents before children by
 * foreign key, deletes children before parents), in one
 * transaction per data source; a row whose statement fails keeps its state,
 * the others apply. A saved row becomes 1, a saved delete 8 (gone from the
 * database, still listed).
 *
 * Memory: everything of an object (collections, rows, value copies, key
 * strings, name copies) lives in its memory pool (util/mempool.h) and goes
 * with FreeDataObject. Arrays handed to CreateRowUnit, InsertRowUnit and
 * UpdateRowUnit are kept as they are: make them with the object's pool
 * (MakeStringColumnValuesList, MakeLengthList, DataObjectAlloc) or keep
 * them alive as long as the object. The pool lives under the root pool
 * when there is one: an object still open when the root's last use ends
 * goes with it and must not be freed again.
 *
 * Thread-safety: an object is used by one thread at a time. The criteria
 * operations take the criteria lock (datastore/criteria.h).
 */
#ifndef ORV_DATAOBJECT_DATAOBJECT_H
#define ORV_DATAOBJECT_DATAOBJECT_H

#include <cstdint>
#include <string>

#include "datastore/relvar.h"
#include "datastore/table_defn.h"
#include "db/result_set.h"
#include "db/select_query.h"
#include "util/mempool.h"
#include "util/string_hash.h"
#include "util/vector.h"

namespace orv {

/* The longest key string (its buffer holds one byte more). */
constexpr size_t kMaxKeyStringLength = 131;
/* Buckets of an object's key table. */
constexpr uint32_t kKeyTableBuckets = 100;

struct RowUnit {
    char* tableName;
    int32_t columnCount;  /* the collection's column count once inserted */
    void** values;        /* columnCount value blocks, null for a missing value */
    int32_t* lengths;
    uint8_t state;
    RowUnit* next;
    /* The names of the values, in their order: the collection's column
     * names once the row is in a collection; null before, when the values
     * are read in the table definition's column order. */
    char** columnNames;
};

struct RowCollection {
    char* tableName;
    TableDefn* tableDefn;   /* owned by gv_tableDefnVect */
    char** columnNames;     /* null-terminated */
    uint8_t* columnTypes;   /* one per column */
    int32_t columnCount;
    RowUnit* firstRow;
    RowUnit* cursor;        /* GotoNextRowUnit; null before the first step */
    RowCollection* next;
    RowUnit* lastRow;       /* the tail, for appends in constant time */
};

struct DataObject {
    MemPool* pool;
    StringHashTable keyTable;  /* key string -> RowUnit */
    int32_t tableCount;
    Vector* tableList;         /* of table names (pool copies), in foreign-key order */
    /* The query the object was built from, or null for one built in
     * memory; not owned unless ownsQuery is set (the object then frees it
     * with itself). Read only while the object is built. */
    SelectQuery* selectQuery;
    uint8_t ownsQuery;
    RowCollection* firstCollection;
    RowCollection* cursor;     /* found by the last look-up by table name */
    RowCollection* lastCollection;
};

/* ---- Retrieval ---- */

/* Runs the query on the data source of its first table and builds the
 * object from its rows. The query stays the caller's. None when the query
 * is missing, does not generate or fails. */
DataObject* GetDataObject(SelectQuery* query);
/* The object of a result set of the query: one collection per table of the
 * query (first join's left table, every join's right table, the table
 * list), each table row once. Takes ownership of the result set and frees
 * it. Rows of an outer join without a match (a missing key value) are left
 * out. */
DataObject* CreateDataObjectFromResultSet(ResultSet* set, SelectQuery* query);
/* One select over the tables (a null-terminated list) with the criteria
 * tree (the caller's, read during the call; null for every row) as its
 * condition. */
DataObject* GetDataObjectByCriteria(const char* const* tableNames, CriteriaNode* criteria);
/* The row's own table selected by its primary key, and every other table
 * of the list by the foreign keys whose chain of references leads to the
 * row's table: one select per table, so that a table without matching
 * rows leaves the others whole. */
DataObject* GetDataObjectByRowUnit(const char* const* tableNames, const RowUnit* row);

/* ---- Building in memory ---- */

DataObject* CreateDataObject();
/* Releases the object and everything in it; null does nothing. */
void FreeDataObject(DataObject* object);
/* size zero-filled bytes from the object's pool. */
void* DataObjectAlloc(DataObject* object, size_t size);

/* A collection with copies of the names (null-terminated) and types (one
 * per name). None for an unknown table or when a primary key column is
 * missing ("All Primary key columns were not selected.\n"). */
RowCollection* CreateRowCollection(const char* tableName, const char* const* columnNames,
                                   const uint8_t* columnTypes, MemPool* pool);
/* Appends the collection and its table name to the table list (when not
 * listed). False for a null collection or a table the object holds. */
uint8_t AddRowCollectionToDO(DataObject* object, RowCollection* collection);
/* A collection of the named columns (all of the definition's when null). */
uint8_t AddTableToDO(DataObject* object, const char* tableName, const char* const* columnNames);
RowUnit* CreateRowUnit(const char* tableName, void** values, int32_t* lengths, MemPool* pool);
uint8_t AddRowUnitToRowCollection(RowUnit* row, RowCollection* collection);
char** MakeColumnList(MemPool* pool, int32_t count, ...);
void** MakeStringColumnValuesList(MemPool* pool, int32_t count, ...);
int32_t* MakeLengthList(MemPool* pool, int32_t count, ...);

/* ---- Row operations ----
 * REQUIRES: a row's arrays hold one entry per column of its collection. */

uint8_t InsertRowUnit(RowUnit* row, DataObject* object);
uint8_t InsertRowIntoDO(const char* tableName, void** values, int32_t* lengths, DataObject* object);
/* texts: one per column of the collection (null for a missing value). */
uint8_t InsertStringRowIntoDO(const char* tableName, const char* const* texts, DataObject* object);
uint8_t UpdateRowUnit(RowUnit* row, DataObject* object);
uint8_t DeleteRowUnit(RowUnit* row, DataObject* object);
uint8_t DeleteRowUnitOnCriteria(const char* tableName, const char* criteria, DataObject* object);
RowUnit* FindRowUnitOnCriteria(const char* tableName, const char* criteria, DataObject* object);
RowUnit* FindRowUnit(const RowUnit* row, DataObject* object);
uint8_t SetValueForRowUnit(const char* columnName, const char* tableName, const void* value, int32_t length,
                           DataObject* object);
uint8_t SetValueForAllRowUnits(const char* columnName, const char* tableName, const void* value, int32_t length,
                               DataObject* object);

/* ---- Navigation and reading ---- */

Vector* GetTableList(DataObject* object);
uint8_t ContainsTableInDO(const char* tableName, DataObject* object);
bool IsDOEmpty(const DataObject* object);
/* The collection of the table (without regard to case), or none. */
RowCollection* GetRowCollection(const char* tableName, DataObject* object);
/* A new vector (nodes in the pool's care) of the collection's column names. */
Vector* GetColumnListFromDO(const char* tableName, DataObject* object);
RowUnit* GetFirstRowUnit(const char* tableName, DataObject* object);
RowUnit* GetLastRowUnit(const char* tableName, DataObject* object);
RowUnit* GetNthRowUnit(int32_t n, const char* tableName, DataObject* object);
RowUnit* GotoNextRowUnit(RowCollection* collection);
void* GetFirstValue(const char* columnName, const char* tableName, DataObject* object);
void* GetColumnValueFromDO(const char* tableName, const char* columnName, int32_t n, DataObject* object);
/* One copy of the column's value per row of the table, in row order (null
 * entries for missing values); OUT *count the number of rows, OUT *lengths
 * (optional) their lengths. None, *count 0, for a table or column the
 * object does not hold; an empty table gives an empty array. */
void** GetColumnValuesFromDO(const char* columnName, const char* tableName, DataObject* object, int32_t* count,
                             int32_t** lengths = nullptr);

/* ---- Whole objects ---- */

bool SaveDataObject(DataObject* object);
/* Writes one row on its own (no transaction). */
bool SaveRowUnit(RowUnit* row, RowCollection* collection);
DataObject* CloneDataObject(const DataObject* object);
DataObject* MergeDataObject(DataObject* target, DataObject* source);
uint8_t PrintDataObject(const DataObject* object);
/* The text PrintDataObject logs. */
std::string RenderDataObject(const DataObject* object);

/* The row's key string in the pool, or none (also for a key longer than
 * kMaxKeyStringLength). The row's values are found by columnList, else by
 * the row's own column names, else by the query's columns of the table (all
 * of the definition's when it names none). */
char* GenerateKeyString(const RowUnit* row, const SelectQuery* query, const char* const* columnList, MemPool* pool);
uint8_t CheckForPKEntry(const char* keyString, RowUnit* row, DataObject* object);

/* A new heap vector of the list's names (the same pointers), referenced
 * tables before the tables that refer to them; tables in a cycle of
 * foreign keys keep their list order among themselves. Free it with
 * FreeVector and free(). */
Vector* SortTableByFK(Vector* tableList);

/* The row as a RowObject in the definition's column order; the values are
 * the row's and the definition's blocks (not copies). Free it with
 * FreeBorrowedRowObject. None when a column has no value and may not be
 * null. */
RowObject* GetRowObjectFromRowUnit(const RowUnit* row, const RowCollection* collection);
void FreeBorrowedRowObject(RowObject* row);

}  // namespace orv

#endif
