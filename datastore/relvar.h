/*
 * The in-memory table store: relvars (TableData) holding rows (RowObject)
 * in insertion order, result cursors (ResultData) over selected rows, and
 * custom views whose columns come from several tables.
 *
 * Ownership: gv_tableDataVect owns the relvars; a relvar owns its rows; a
 * row owns its value blocks (datastore/column_value.h: one heap block per
 * value, released with free()) and both arrays. A ResultData references
 * rows and owns only its nodes; it becomes invalid when its rows are freed.
 *
 * Thread-safety: only criteria parsing and evaluation take a lock (the
 * criteria lock, datastore/criteria.h). Row lists are not locked: callers
 * that share a relvar between threads serialise their access.
 */
#ifndef ORV_DATASTORE_RELVAR_H
#define ORV_DATASTORE_RELVAR_H

#include <cstdint>
#include <string>

#include "datastore/row_object.h"
#include "datastore/table_defn.h"
#include "util/vector.h"

namespace orv {

/* Relvar kinds. */
constexpr uint8_t kRelvarTable = 1;
constexpr uint8_t kRelvarView = 2;

struct ViewColumnDefn {
    const char* columnName;  /* the underlying column's name (not a copy) */
    int32_t number;          /* 0 in the views the library builds */
    uint8_t smallNumber;     /* 0 in the views the library builds */
    ColumnDefnEntry* column; /* the underlying column: its type is the view column's */
};

struct CustomViewDefn {
    uint8_t tableCount;
    char** tableNames; /* tableCount owned names */
    Vector* columns;   /* of ViewColumnDefn, owned */
};

struct TableData {
    char* name;
    uint8_t kind;              /* kRelvarTable or kRelvarView */
    TableDefn* tableDefn;      /* tables only; owned by gv_tableDefnVect */
    CustomViewDefn* viewDefn;  /* views only; owned */
    int32_t columnCount;
    int32_t rowCount;          /* rows ever added (not decreased by deletion) */
    RowObject* firstRow;
    RowObject* lastRow;        /* the tail, for appends in constant time */
};

struct ResultNode {
    RowObject* row;
    ResultNode* next;
};

struct ResultData {
    ResultNode* head;
    uint8_t kind;
    TableDefn* tableDefn;
    CustomViewDefn* viewDefn;
    int32_t rowCount;
    int32_t columnCount;
    ResultNode* cursor; /* current node; null before the first GotoNextRowObject */
    ResultNode* tail;   /* last node, for appends in constant time */
};

/* Every relvar, in creation order. */
extern Vector* gv_tableDataVect;

/* Makes gv_tableDataVect an empty list (freeing any relvars it held). */
void InitTableDataList();
/* Frees every relvar and empties the list. */
void FreeAllTableData();

/* A relvar of kind table for a defined table. False when the name has no
 * definition, a relvar of that name exists, or memory runs out. */
uint8_t CreateTable(const char* tableName);

/* A relvar of kind view; takes ownership of the definition when it
 * succeeds. False when the name exists or memory runs out. */
uint8_t CreateCustomViewData(const char* viewName, CustomViewDefn* defn);

/* Takes ownership of the table names (each and the array) and the column
 * vector; null with "Could not allocate memory for CustomViewDefn\n" at
 * ERROR when memory runs out. */
CustomViewDefn* CreateCustomViewDefn(uint8_t tableCount, char** tableNames, Vector* viewColumns);
ViewColumnDefn* CreateViewColumnDefn(const char* columnName, int32_t number, uint8_t smallNumber,
                                     ColumnDefnEntry* column);
void FreeCustomViewDefn(CustomViewDefn* defn);

/* The relvar of that name (without regard to case), or null. */
TableData* GetTableDataByName(const char* name);

/* Orders two relvar nodes by name, with regard to case. */
int8_t SortTableByName(const VectorNode* newNode, const VectorNode* presentNode);

/* A new row with state kRowNew, taking ownership of both arrays. Null when
 * memory runs out (the arrays stay the caller's then). */
RowObject* CreateNewRowObject(void** values, int32_t* lengths);

/* Appends the row (which the relvar owns from then on) after filling
 * missing values of a table's columns from their generator or default;
 * tells the listeners. False when the relvar does not exist (the row stays
 * the caller's). */
uint8_t AddNewRow(const char* tableName, RowObject* row);

/* Every row of the relvar (criteria null), or the rows of a table matching
 * the criteria text. Null when the relvar does not exist, the criteria do
 * not parse, or the relvar is a view and criteria are given. */
ResultData* SelectRows(const char* tableName, const char* criteria);

/* A result with the row at the 1-based index (0 and 1 both give the first
 * row); null when the index exceeds the row count; an empty table gives an
 * empty result. */
ResultData* SelectRowByRowIdx(const char* tableName, int32_t index);

/* Replaces one column's value of a row with a copy of the bytes and marks
 * it modified. Refuses primary key columns. */
uint8_t UpdateRowObject(const char* tableName, RowObject* row, const char* columnName, const void* value,
                        int32_t length);

/* A stored row is only marked deleted; any other row is unlinked, the
 * listeners are told and the row is freed. */
uint8_t DeleteRowObject(const char* tableName, RowObject* row);
uint8_t DeleteRowObjectByCriteria(const char* tableName, const char* criteria);
uint8_t DeleteAllTableRowObjects(const char* tableName);

/* Frees every value block, both arrays and the row. */
void FreeRowObject(RowObject* row, int32_t columnCount);

/* A deep copy of a row of the relvar (values, lengths, state; no
 * successor), or null when memory runs out. */
RowObject* CopyRowObject(const TableData* relvar, const RowObject* row);

/* The type code of column i of a relvar (a view's from its underlying
 * column), 0 outside the columns. */
uint8_t GetRelvarColumnType(const TableData* relvar, int32_t i);
/* The name of column i of a relvar, or null. */
const char* GetRelvarColumnName(const TableData* relvar, int32_t i);

ResultData* CreateResultData();
uint8_t AddRowToResultData(RowObject* row, ResultData* result);
/* Frees the nodes and the result, never the rows. */
void FreeResultData(ResultData* result);

RowObject* GotoNextRowObject(ResultData* result);
void ResetResultDataCursor(ResultData* result);

/* The value block of the column in the current row (the row keeps it) and
 * OUT *length; null when the cursor is unset or there is no such column. */
void* GetColumnValueByName(const char* columnName, int32_t* length, ResultData* result);

/* The value block (owned by its row) of the column in the first row that
 * the criteria select, or null. */
void* GetColumnValue(const char* tableName, const char* columnName, const char* criteria, int32_t* length);

uint8_t GetColumnTypeByName(const char* columnName, ResultData* result);
const char* GetColumnNameByIndex(int32_t index, ResultData* result);
const char* GetTableNameFromResultData(ResultData* result);
const char* GetTableNameOfView(const char* name);

/* Orders the result by an integer column, keeping rows with equal keys in
 * their order. ascending 1 sorts ascending, any other value descending. */
uint8_t SortResultSet(ResultData* result, const char* columnName, uint8_t ascending);

/* The rows to the log at DEBUG level, in the printed layout below. */
void PrintTableData(const char* name);
void PrintCustomViewData(const char* name);
void PrintResultData(ResultData* result);

/* The printed layout as one owned text ("String Value of Relvar Data\n
 * %s\n" at TRACE): each column name and a tab, a line end; each row's
 * values each with a tab, a line end; "NULL" for a missing value. Null for
 * an unknown relvar or short memory. */
char* ToStringTableData(const char* name);
char* ToStringCustomViewData(const char* name);

/* How floats print: as "%f" (the library's printed layout), or in the
 * shortest form that reads back as the same value ("0.1", "1e+300",
 * "4.9e-324"), as the velkra command shows them. */
enum class FloatForm : uint8_t { kFixed, kShortest };

/* The printed form of one value: "NULL" for none, integers in decimal,
 * floats in the form asked for, texts as they are, dates in their text
 * form, booleans as 1 or 0; "" for the types that print nothing (0, 12,
 * 13, 20, 21). */
std::string FormatPrintedValue(const void* value, uint8_t type, FloatForm floats = FloatForm::kFixed);

/* The printed layout of a result's rows (deleted rows skipped when
 * skipDeleted is set), appended to out. */
void RenderResultData(const ResultData* result, bool skipDeleted, std::string* out,
                      FloatForm floats = FloatForm::kFixed);

void FreeTableData(TableData* relvar);

}  // namespace orv

#endif
