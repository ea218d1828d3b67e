/*
 * Loading relvars from the database, unloading them, and the list files.
 * Saving is in table_save.cpp.
 */
#include "persist/table_io.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/relvar.h"
#include "datastore/velkra_root.h"
#include "db/connection.h"
#include "db/sql/dialect_record.h"
#include "persist/sql_text.h"
#include "persist/table_io_internal.h"
#include "platform/win32.h"

namespace orv {

FILE* OpenDataListFile(const char* name, std::string* folder) {
    DataFilePlace place;
    FILE* file = OpenLibraryDataFile((std::string(kLocalDataFolder) + name).c_str(), name, SIZE_MAX, &place);
    *folder = place.folder;
    return file;
}

FILE* OpenRootListFile(const char* name) { return OpenLibraryDataFile(nullptr, name, SIZE_MAX, nullptr); }

bool ReadListLine(FILE* file, const char* listName, std::string* line) {
    for (;;) {
        line->clear();
        bool tooLong = false;
        int ch = fgetc(file);
        if (ch == EOF) return false;
        while (ch != EOF && ch != '\n') {
            if (line->size() < static_cast<size_t>(kMaxTableListLine) + 1) {
                line->push_back(static_cast<char>(ch));
            } else {
                tooLong = true;
            }
            ch = fgetc(file);
        }
        if (!line->empty() && line->back() == '\r') line->pop_back();
        if (line->size() > static_cast<size_t>(kMaxTableListLine)) tooLong = true;
        if (!tooLong) return true;
        LogError("Line longer than %d characters in %s refused: %.40s...\n", kMaxTableListLine, listName,
                 line->c_str());
    }
}

namespace {

/* A connection for a table's statements (see ConnectionForTable), or
 * null. */
DBConnection* ConnectionFor(const char* tableName, const char** connectionName, const char** dialect) {
    if (!ConnectionForTable(tableName, connectionName, dialect)) return nullptr;
    return GetDBConnection(*connectionName);
}

/* Runs a query on the table's data source and gives the connection back.
 * OUT *ran: a connection was found (the query was run). */
ResultSet* QueryFor(const char* tableName, const char* sql, const char** dialect, bool* ran) {
    const char* connectionName = nullptr;
    DBConnection* connection = ConnectionFor(tableName, &connectionName, dialect);
    *ran = connection != nullptr;
    if (connection == nullptr) return nullptr;
    ResultSet* set = ExecuteQuery(connection, sql);
    ReleaseDBConnection(connectionName);
    return set;
}

/* Converts every row of the set (with the table's definition) and adds it
 * to the relvar; frees the set. False at the first row that fails. */
bool AddResultRows(ResultSet* set, const char* dialect, const TableDefn* defn, const char* relvarName) {
    bool ok = true;
    while (ok && ResultSetNext(set) != nullptr) {
        RowObject* row = ConvertResultSet(set, dialect, defn->name);
        if (row == nullptr) {
            ok = false;
        } else if (!AddNewRow(relvarName, row)) {
            FreeRowObject(row, defn->columns ? defn->columns->count : 0);
            ok = false;
        }
    }
    FreeResultSet(set);
    return ok;
}

/* The definition of a table whose name can be written into a statement,
 * or null after "Error in getting Table Definition for %s\n". */
TableDefn* DefinitionFor(const char* tableName) {
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr || defn->columns == nullptr || !IsPlainSqlIdentifier(defn->name)) {
        LogError("Error in getting Table Definition for %s\n", tableName);
        return nullptr;
    }
    return defn;
}

bool LoadFromList(FILE* list, const char* listName) {
    std::string line;
    while (ReadListLine(list, listName, &line)) {
        const size_t blank = line.find_first_of(" \t");
        const std::string name = line.substr(0, blank);
        if (name.empty()) continue;
        if (blank == std::string::npos) {
            LoadTable(name.c_str());
            continue;
        }
        const std::string rest = line.substr(blank + 1);
        if (rest.find("select") != std::string::npos || rest.find("SELECT") != std::string::npos) {
            LogTrace("LOADTABLE_QUERY : %s\n", rest.c_str());
            LoadTableByQuery(name.c_str(), rest.c_str());
        } else {
            LogTrace("LOADTABLE : %s\n", name.c_str());
            LoadTable(name.c_str());
        }
    }
    fclose(list);
    return true;
}

}  // namespace

bool LoadAllTables() {
    LogTrace("\t@@@@@ Inside LoadAllTables() @@@@@\n");
    std::string folder;
    FILE* list = OpenDataListFile("loadtablelist.txt", &folder);
    if (list == nullptr) {
        LogError("Cannot open LoadTableList Entry File.\n");
        return false;
    }
    return LoadFromList(list, "loadtablelist.txt");
}

bool LoadAllTablesFromFile(const char* path) {
    LogTrace("\t@@@@@ Inside LoadAllTables() @@@@@\n");
    FILE* list = path != nullptr ? _fsopen(path, "r", _SH_DENYNO) : nullptr;
    if (list == nullptr) {
        LogError("Cannot open LoadTableList Entry File.\n");
        return false;
    }
    return LoadFromList(list, path);
}

bool LoadTable(const char* tableName) {
    LogTrace("\nLoading Table : %s\n", tableName ? tableName : "(null)");
    if (tableName == nullptr) return false;
    TableDefn* defn = DefinitionFor(tableName);
    if (defn == nullptr) return false;
    const std::string sql = std::string("select * from ") + defn->name;
    const char* dialect = nullptr;
    bool ran = false;
    ResultSet* set = QueryFor(defn->name, sql.c_str(), &dialect, &ran);
    if (!ran) return false;
    if (set == nullptr) {
        LogError("Error in executing select query for %s\n", tableName);
        return false;
    }
    if (set->columnCount != defn->columns->count) {
        LogError(
            "\nLoadTable Failed for %s table as there is mismatch between table definition in datadictionary and "
            "actual table in database\n",
            tableName);
        FreeResultSet(set);
        return false;
    }
    if (!CreateTable(defn->name)) {
        LogError("CreateTable Failed \n");
        FreeResultSet(set);
        return false;
    }
    return AddResultRows(set, dialect, defn, defn->name);
}

bool LoadTableByQuery(const char* tableName, const char* selectStatement) {
    LogTrace("\t@@@@@ Inside LoadTableByQuery() @@@@@\n");
    LogTrace("\nLoading Table : %s\n", tableName ? tableName : "(null)");
    LogTrace("\nSelect Query  : %s\n", selectStatement ? selectStatement : "(null)");
    if (tableName == nullptr || selectStatement == nullptr) return false;
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr || defn->columns == nullptr) {
        LogError("Error in getting Table Definition for %s\n", tableName);
        return false;
    }
    const char* dialect = nullptr;
    bool ran = false;
    ResultSet* set = QueryFor(defn->name, selectStatement, &dialect, &ran);
    if (!ran) return false;
    if (set == nullptr) LogError("Error in executing select query \n");
    if (!CreateTable(defn->name)) {
        LogError("CreateTable Failed \n");
        FreeResultSet(set);
        return false;
    }
    if (set == nullptr) return false;
    return AddResultRows(set, dialect, defn, defn->name);
}

bool LoadViewByQuery(const char* viewName, const char* tableName, const char* selectStatement) {
    LogTrace("@@@ Inside LoadViewByQuery @@@\n");
    LogTrace("\nLoading View Data : %s\n", viewName ? viewName : "(null)");
    if (viewName == nullptr || tableName == nullptr || selectStatement == nullptr) return false;
    const char* dialect = nullptr;
    bool ran = false;
    ResultSet* set = QueryFor(tableName, selectStatement, &dialect, &ran);
    if (!ran) return false;
    if (set == nullptr) {
        LogError("Error in executing select query \n");
        return false;
    }
    TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr || defn->columns == nullptr) {
        FreeResultSet(set);
        return false;
    }
    Vector* columns = NewVector();
    auto** names = static_cast<char**>(calloc(1, sizeof(char*)));
    bool ok = columns != nullptr && names != nullptr && DuplicateString(&names[0], defn->name) == kDupOk;
    for (VectorNode* node = ok ? ElementAt(defn->columns, 0) : nullptr; node != nullptr && ok; node = node->next) {
        auto* column = static_cast<ColumnDefnEntry*>(node->element);
        ViewColumnDefn* viewColumn = CreateViewColumnDefn(column->name, 0, 0, column);
        LogTrace("%s\t", column->name);
        if (viewColumn == nullptr || AddValue(columns, viewColumn) != 1) {
            free(viewColumn);
            ok = false;
        }
    }
    CustomViewDefn* viewDefn = nullptr;
    if (ok) viewDefn = CreateCustomViewDefn(1, names, columns);
    if (viewDefn == nullptr) {
        // Not taken over: free the parts here.
        if (names != nullptr) free(names[0]);
        free(names);
        if (columns != nullptr) {
            for (VectorNode* node = ElementAt(columns, 0); node != nullptr; node = node->next) free(node->element);
            FreeVector(columns);
            free(columns);
        }
        FreeResultSet(set);
        return false;
    }
    if (!CreateCustomViewData(viewName, viewDefn)) {
        FreeCustomViewDefn(viewDefn);
        FreeResultSet(set);
        return false;
    }
    return AddResultRows(set, dialect, defn, viewName);
}

bool UnLoadTable(const char* name) {
    LogTrace("\t@@@@@ UnLoadTable() @@@@@\n");
    TableData* relvar = GetTableDataByName(name);
    if (relvar == nullptr || gv_tableDataVect == nullptr) return false;
    if (!DeleteLCDVector(gv_tableDataVect, relvar)) return false;
    FreeTableData(relvar);
    return true;
}

bool UnLoadAllTable() {
    LogTrace("@@@ Inside UnLoadAllTable @@@\n");
    while (gv_tableDataVect != nullptr && gv_tableDataVect->count > 0) {
        auto* relvar = static_cast<TableData*>(ElementAt(gv_tableDataVect, 0)->element);
        if (!UnLoadTable(relvar->name)) break;
    }
    return true;
}

bool ReloadTableData() {
    UnLoadAllTable();
    return LoadAllTables();
}

}  // namespace orv
