/*
 * Loading relvars from the database and saving them back.
 *
 * Loading fills relvars with stored rows (state 1): a whole table
 * ("select * from <table>", whose column count must match the table's
 * definition), the rows of a select statement, or a custom view over one
 * table. Saving writes only what changed, by each row's state flags:
 *   5 (stored and modified)        an update statement
 *   1 and 8 both set (deleted)     a delete statement; the row then leaves
 *                                  memory (DeleteRowObject)
 *   2 or 6 (new)                   an insert statement
 *   anything else                  nothing
 * A save runs its statements in one transaction, committed only when every
 * statement in it succeeded: a statement that fails is left out and the
 * transaction tried again, so its row keeps its flags while the others
 * still apply; when the commit fails every row keeps its flags, so the next
 * save tries them all again. (After ten failing statements the rest run
 * one at a time.)
 *
 * List files (lines of at most kMaxTableListLine characters; a longer line
 * is refused with an ERROR line and skipped):
 *   loadtablelist.txt   "..\data\loadtablelist.txt", else
 *                       "<root>/data/loadtablelist.txt": one table per
 *                       line; "TABLE select ..." loads the statement's rows
 *                       (the rest of the line holds "select" or "SELECT"),
 *                       "TABLE other words" loads the whole table.
 *   savetableslist.txt  "<root>/data/savetableslist.txt": one table per
 *                       line, anything after a blank ignored.
 *   defaultdata.txt     "..\data\defaultdata.txt" (documents under
 *                       "..\data\"), else "<root>/data/defaultdata.txt"
 *                       (documents under "<root>/data/"): XML row documents
 *                       separated by white space.
 *
 * Connections: in map mode a table's statements go to its data source map
 * entry's data source, in its dialect; otherwise to the default connection
 * in the library's dialect.
 *
 * Thread-safety: SaveTable holds the criteria lock (datastore/criteria.h)
 * for the whole save, so saves never overlap each other or a criteria
 * selection; it calls the change listeners (through DeleteRowObject) with
 * that lock held, so a listener must not select by criteria. Loading and
 * unloading change gv_tableDataVect and are for start-up, shutdown or
 * callers that serialise them with every other use of the relvars.
 */
#ifndef ORV_DATASTORE_TABLE_IO_H
#define ORV_DATASTORE_TABLE_IO_H

namespace orv {

/* The longest line of a table list file. */
constexpr int kMaxTableListLine = 254;

/* Loads the tables of loadtablelist.txt (see above). False, with "Cannot
 * open LoadTableList Entry File.\n", when no list opens; each table's own
 * result is not used. */
bool LoadAllTables();
/* The same for a list file of that syntax at path. */
bool LoadAllTablesFromFile(const char* path);

/* Loads the whole table into a new relvar of the definition's name. False
 * when the table has no definition (or its name is no plain identifier),
 * the query fails, the database's column count differs from the
 * definition's, the relvar exists, or a row does not convert. */
bool LoadTable(const char* tableName);

/* Loads the rows of a select statement into a new relvar of the table;
 * columns are matched to the definition by name. A failed query leaves the
 * relvar empty and gives false. */
bool LoadTableByQuery(const char* tableName, const char* selectStatement);

/* A custom view named viewName over every column of tableName, filled with
 * the rows of the statement (run on the table's data source). */
bool LoadViewByQuery(const char* viewName, const char* tableName, const char* selectStatement);

/* Removes the relvar from gv_tableDataVect and frees it; false if there is
 * none of that name. */
bool UnLoadTable(const char* name);
/* Unloads every relvar; true. */
bool UnLoadAllTable();

/* Writes the relvar's changed rows to its data source (see above). False
 * when there is no such relvar (or it is a view), it has no data source
 * map entry, or no connection; true otherwise, whatever the statements
 * gave. */
bool SaveTable(const char* tableName);
/* SaveTable for every relvar in gv_tableDataVect order; true. */
bool SaveAllTables();
/* SaveTable for every table of savetableslist.txt; true (also when the
 * list does not open: "No tables to be saved.\n"). */
bool SaveTablesFromList();

/* UnLoadAllTable, then LoadAllTables. */
bool ReloadTableData();

/* Applies every document of defaultdata.txt with SaveDataInXML; true when
 * each was applied (and when the list does not open: "No default data to
 * be prepopulated.\n"). */
bool SaveDefaultData();

/* Imports an XML row document into its relvars and saves the tables its
 * root's child elements are named after, 50 names at a time. */
bool SaveDataInXML(const char* path);

}  // namespace orv

#endif
