/*
 * Personalities: named groups of tables around one dominant table, read
 * from an XML personality file into gv_personalityDefnVect, and the index
 * tables "<dominant>_IDX" that record, per dominant row, which tables hold
 * rows referring to it.
 *
 * Personality file: the elements below the root, in document order;
 * "PersonalityConfiguration" (personalityname, description,
 * dominanttableid) starts a personality, the "ConstituentTable" elements
 * directly after it (tableindex, tableid, fkconstraint_id, mandatory) are
 * its constituents, and "DominantTableConfig" (dominanttableid, isindexed)
 * with isindexed "true" asks for the dominant table's index table. Names
 * and attribute names are compared without regard to case. A constituent
 * naming the dominant table itself is left out; one without a table name
 * (its tableindex "0" came first) is kept in the definition but joins and
 * lists nothing.
 *
 * Index table of D: D's primary key columns (INT for integer codes 1, 3,
 * 5 and 7, VARCHAR(size) for 14 and 15; other key types get no index
 * table) and TABLENAME VARCHAR(40), on the default connection. One row per
 * (dominant key, referring table): an entry is added once, and removed
 * when the last row of that table referring to the key is deleted. Every
 * name and value reaches SQL as a plain identifier or an escaped literal.
 *
 * Ownership: gv_personalityDefnVect owns the definitions (FreeAllPersonalities).
 * Name lists returned are heap arrays of heap copies (FreeNameList).
 * Thread-safety: the list is filled at start-up and read afterwards.
 */
#ifndef ORV_DATAOBJECT_PERSONALITY_H
#define ORV_DATAOBJECT_PERSONALITY_H

#include <cstdint>

#include "datastore/relvar.h"
#include "dataobject/dataobject.h"
#include "util/vector.h"

namespace orv {

/* The longest referring table name an index table holds. */
constexpr size_t kMaxIndexedTableName = 40;

struct ConstituentTable {
    char* dominantTableName;
    char* tableName;       /* or null */
    int32_t tableIndex;
    uint8_t mandatory;
    char* fkConstraintId;  /* or null */
};

struct PersonalityDefn {
    char* personalityName;
    char* dominantTableName;
    char* description;
    Vector* constituentTables; /* of ConstituentTable, file order */
};

/* One element of the personality file: a copy of its name and of its
 * attributes (of XmlAttributeRecord), in document order. */
struct XmlAttributeRecord {
    char* name;
    char* value;
};
struct XmlElementRecord {
    char* name;
    Vector* attributes;
};

extern Vector* gv_personalityDefnVect;

uint8_t InitPersonality();
/* Frees every personality and the list. */
void FreeAllPersonalities();
uint8_t CreatePersonalityFromXMLFile(const char* path);
/* The personalities of the records (of XmlElementRecord) appended. */
uint8_t CreateAndAddPersonalityDefn(Vector* records);
bool CreateIndexTable(Vector* records);
void FreeElementRecords(Vector* records);

PersonalityDefn* GetPersonalityDefn(const char* personalityName);
uint8_t PrintPersonalityDefn(const char* personalityName);
char** GetConstituentTables(const char* personalityName);
char** GetDominantTables();
char** GetPersonalityNames();
bool IsDominantTable(const char* tableName);
void FreeNameList(char** names);

DataObject* GetDOFromPersonality(const char* personalityName);
DataObject* GetDOFromPersonalities(const char* const* personalityNames);
DataObject* GetDOFromPersonalityByRowUnit(const char* personalityName, const RowUnit* row);
DataObject* GetDOFromPersonalitiesByRowUnit(const char* const* personalityNames, const RowUnit* row);
DataObject* GetDOFromPersonalityByCriteria(const char* personalityName, CriteriaNode* criteria);
DataObject* GetDOFromPersonalitiesByCriteria(const char* const* personalityNames, CriteriaNode* criteria);

/* Records or removes the index entries of a row of table (values in the
 * definition's column order): state 2 or 6 adds, a state with 1 and 8
 * removes; any other state changes nothing (true). */
bool AddEntryToIndexTable(const char* tableName, const RowObject* row);
/* The object of one dominant row over the tables its index lists. */
DataObject* DeepRetrieveDO(const char* dominantTableName, const RowUnit* row);

/* The primary key column definitions (a heap vector; FreeVector and free),
 * or none. */
Vector* GetPKColumnInfo(const char* tableName);
/* The index table's key columns, "NAME INT, " or "NAME VARCHAR(n), " each
 * (heap text), or none for a key column of another type or name. */
char* ConstructPKColumnString(const char* tableName);
/* "NAME = 5 " / "NAME = 'text' " per key column joined by " AND " (heap
 * text, literals escaped for the default connection's dialect), or none. */
char* ConstructPKValueString(const char* tableName, const RowUnit* row);
/* The tables without further references that the table's foreign keys
 * (those on column, or all) lead to, and the column through which each was
 * reached (names owned by the definitions), one entry per foreign key path.
 * False when the table is unknown. */
bool FindRootTable(const char* tableName, const char* columnName, Vector* rootTables, Vector* rootColumns);
int32_t GetColIndex(const char* columnName, const char* tableName, const TableDefn* defn);

}  // namespace orv

#endif
