/*
 * Table definitions: every table the library knows, with its columns in
 * order, their types, defaults, sizes and value rules, its primary key and
 * its foreign keys, kept in the library-wide list gv_tableDefnVect.
 *
 * Ownership: a TableDefn owns its texts, its column vector and the entries
 * in it, and its constraints; gv_tableDefnVect owns the definitions. All
 * records are heap blocks released by RemoveTableDefn or FreeAllTableDefns
 * (or FreeTableDefn for a definition that was never added).
 *
 * Thread-safety: the list is built at start-up, before other threads use the
 * library, and only read afterwards; the look-ups take no lock of their own
 * beyond the vector's.
 */
#ifndef ORV_DATASTORE_TABLE_DEFN_H
#define ORV_DATASTORE_TABLE_DEFN_H

#include <cstdint>

#include "datastore/type_codes.h"
#include "util/vector.h"

namespace orv {

/* The allowed values of a column: a list (values ended by a null entry, is
 * range 0) or a range (exactly the "from" and the "to" text, is range 1). */
struct AllowedValues {
    char** values;
    uint8_t isRange;
};

struct ColumnDefnEntry {
    char* name;
    uint8_t type;
    void* defaultValue;    /* stored form (datastore/column_value.h), or null */
    int32_t defaultLength; /* bytes of the stored default */
    uint8_t unique;
    char* generatorName;   /* or null */
    char* description;     /* or null */
    int32_t maxSize;
    uint8_t nullable;
    AllowedValues* allowedValues; /* or null */
};

/* One local-column / reference-column pair of a foreign key. */
struct ForeignKeyEntry {
    char* localColumn;
    char* referenceColumn;
    char* referenceTable;
    uint8_t onDeleteCascade;
    uint8_t reserved; /* always 0 from the data dictionary */
    uint8_t bidirectional;
};

struct ConstraintDefn {
    char** primaryKeyColumns;  /* primaryKeyCount names, or null */
    int32_t primaryKeyCount;
    Vector* foreignKeys;       /* of ForeignKeyEntry; null until the first is added */
};

struct TableDefn {
    char* name;
    char* description;         /* or null */
    Vector* columns;           /* of ColumnDefnEntry, in data dictionary order */
    ConstraintDefn* constraints; /* or null */
};

/* Every loaded definition, in load order. */
extern Vector* gv_tableDefnVect;

/* Makes gv_tableDefnVect an empty list (freeing any definitions it held). */
void InitTableDefnList();

/* Appends the definition to gv_tableDefnVect (created when missing). False
 * for a null definition or when memory runs out (the definition stays the
 * caller's). */
bool AddTableDefn(TableDefn* defn);

/* A new definition with copies of name and description (description may be
 * null); takes ownership of the columns and the constraints, also when it
 * fails (they are freed then). Null for a null name or short memory. */
TableDefn* CreateTableDefn(const char* name, const char* description, Vector* columns,
                           ConstraintDefn* constraints);

/* A new column. A code 14 or 15 column with a max size above 255 is stored
 * as code 22. A default text is converted with ConvertStringToColumnValue
 * for the code passed in, with defaultLength as its length, and the stored
 * block and reported length are kept. Takes ownership of allowedValues,
 * also when it fails. Null for a null name or short memory. */
ColumnDefnEntry* CreateColumnDefnEntry(const char* name, uint8_t type, const char* defaultText,
                                       int32_t defaultLength, uint8_t unique, const char* generatorName,
                                       const char* description, int32_t maxSize, uint8_t nullable,
                                       AllowedValues* allowedValues);

/* A new foreign key pair with copies of the names given (each may be
 * null). Null when memory runs out. */
ForeignKeyEntry* CreateForeignKeyEntry(const char* localColumn, const char* referenceColumn,
                                       const char* referenceTable, uint8_t onDeleteCascade, uint8_t reserved,
                                       uint8_t bidirectional);

/* A new empty constraints record, or null when memory runs out. */
ConstraintDefn* CreateConstraintDefn();

/* Appends the entry, creating the vector on first use. False for a missing
 * argument or short memory (the entry stays the caller's). */
bool AddForeignKeyEntry(ConstraintDefn* constraints, ForeignKeyEntry* entry);

/* An allowed-values list of copies of count texts, or a range of two
 * ("from", "to") when isRange is set (count must be 2). Null when memory
 * runs out or an argument is missing. */
AllowedValues* CreateAllowedValues(const char* const* texts, int32_t count, uint8_t isRange);

/* The first definition of that name (without regard to case). None for an
 * empty list (silently) or a null name ("Table Name is NULL.\n" at
 * ERROR). */
TableDefn* GetTableDefn(const char* tableName);

/* The first column of that name (with regard to case) in the table. Logs
 * "No definition found for table %s\n" at ERROR for an unknown table. */
ColumnDefnEntry* GetColumnDefnEntry(const char* tableName, const char* columnName);

/* The column's type code, 0 when a name is missing or unknown. */
uint8_t GetColumnType(const char* tableName, const char* columnName);

/* The column's stored default, or null. OUT *found: set to 1 when the
 * column exists; untouched otherwise. */
void* GetDefaultValue(const char* tableName, const char* columnName, uint8_t* found);

/* The first foreign key pair whose local column matches (without regard to
 * case), or null. */
ForeignKeyEntry* GetForeignKeyEntry(const TableDefn* defn, const char* localColumn);

/* gv_tableDefnVect. */
Vector* GetTableDefnList();

/* Frees the first definition of that name and takes it out of the list;
 * an unknown name does nothing. */
void RemoveTableDefn(const char* tableName);

/* Frees every definition and empties the list (the list record stays). */
void FreeAllTableDefns();

/* Frees a definition with its columns and constraints (not in any list). */
void FreeTableDefn(TableDefn* defn);
void FreeColumnDefnEntry(ColumnDefnEntry* column);
void FreeForeignKeyEntry(ForeignKeyEntry* entry);
void FreeConstraintDefn(ConstraintDefn* constraints);
void FreeAllowedValues(AllowedValues* values);

/* Write a definition, or every definition in list order, to the log at
 * DEBUG level. */
void PrintTableDefn(const TableDefn* defn);
void PrintAllTableDefns();

/* The same layout as PrintTableDefn, line by line to a sink (the velkra
 * command writes it to standard output). Nothing for a definition without
 * columns. */
typedef void (*TableDefnLineSink)(void* context, const char* line);
void WriteTableDefn(const TableDefn* defn, TableDefnLineSink sink, void* context);

}  // namespace orv

#endif
