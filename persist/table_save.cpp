/*
 * Saving relvars: the changed rows of a table in one transaction, the save
 * lists, and the default data documents.
 *
 * A save runs its statements in one transaction, committed only when each
 * of them succeeded; a failing statement is left out of the next attempt
 * (see RunStatements). Rows take their new flags only after the commit
 * succeeded.
 */
#include <libxml/tree.h>
#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "datastore/criteria.h"
#include "datastore/relvar.h"
#include "datastore/relvar_xml.h"
#include "db/connection.h"
#include "db/datasource_map.h"
#include "persist/sql_text.h"
#include "persist/table_io.h"
#include "persist/table_io_internal.h"
#include "platform/win32.h"

namespace orv {

namespace {

/* The longest entry of defaultdata.txt. */
constexpr size_t kMaxDefaultDataEntry = kMaxTableListLine;

/* Attempts at one transaction for a save's statements before the rest run
 * one at a time. */
constexpr int kMaxSaveAttempts = 10;

/* Tables saved at once while the names of a row document are collected. */
constexpr size_t kSaveNameBatch = 50;

/* One row's statement. */
struct PendingStatement {
    RowObject* row;
    char* sql;
    bool written;  /* ran without failure in the transaction */
};

/* The statement a row's flags call for, or null for none (sets *wanted). */
char* StatementFor(const char* tableName, RowObject* row, bool* wanted) {
    const uint8_t state = row->state;
    *wanted = true;
    if (state == (kRowStored | kRowModified)) return GenerateUpdateQuery(tableName, row);
    if ((state & kRowStored) && (state & kRowDeleted)) return GenerateDeleteQuery(tableName, row);
    if (state == kRowNew || state == (kRowNew | kRowModified)) return GenerateInsertQuery(tableName, row);
    *wanted = false;
    return nullptr;
}

void LogFailedStatement(const char* sql) {
    LogError("Error in executing update query \n");
    LogError("QUERY : %s\n", sql != nullptr ? sql : "(null)");
}

/* Runs the statements in one transaction that is committed only when
 * every statement in it succeeded. A statement that fails ends the attempt:
 * the transaction is rolled back and tried again without it (and without
 * every statement that failed before), so whatever the engine and driver do
 * with a failed statement inside a transaction (PostgreSQL aborts the
 * transaction, its ODBC driver may roll back the statement or all of it,
 * MariaDB rolls back all of it on a deadlock), a commit holds exactly the
 * statements marked written. After kMaxSaveAttempts failing attempts the
 * remaining statements run one at a time. */
void RunStatements(DBConnection* connection, const char* tableName, std::vector<PendingStatement>* pending) {
    std::vector<bool> failed(pending->size(), false);
    for (int attempt = 0; attempt < kMaxSaveAttempts; ++attempt) {
        if (BeginTransaction(connection) != 1) {
            LogError("Cannot begin the transaction of SaveTable for %s\n", tableName);
            return;
        }
        size_t failedAt = pending->size();
        for (size_t i = 0; i < pending->size() && failedAt == pending->size(); ++i) {
            if (!failed[i] && ExecuteUpdate(connection, (*pending)[i].sql) != 1) failedAt = i;
        }
        if (failedAt == pending->size()) {
            if (CommitTransaction(connection) != 1) {
                LogError("Commit failed in SaveTable for %s: every row keeps its flags\n", tableName);
                return;
            }
            for (size_t i = 0; i < pending->size(); ++i) (*pending)[i].written = !failed[i];
            return;
        }
        LogFailedStatement((*pending)[failedAt].sql);
        RollbackTransaction(connection);
        failed[failedAt] = true;
    }
    LogError("SaveTable for %s: %d statements failed; the others run one at a time\n", tableName, kMaxSaveAttempts);
    for (size_t i = 0; i < pending->size(); ++i) {
        if (failed[i]) continue;
        if (ExecuteUpdate(connection, (*pending)[i].sql) == 1) {
            (*pending)[i].written = true;
        } else {
            LogFailedStatement((*pending)[i].sql);
        }
    }
}

}  // namespace

bool SaveTable(const char* tableName) {
    LogTrace("@@@ Inside SaveTable @@@\n");
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr || relvar->kind != kRelvarTable) return false;
    LockCriteria();
    DataSourceMapEntry* entry = GetDataSourceMapEntry(relvar->name);
    const char* connectionName = entry != nullptr ? entry->connectionName : nullptr;
    DBConnection* connection = entry != nullptr ? GetDBConnection(connectionName) : nullptr;
    if (connection == nullptr) {
        UnlockCriteria();
        return false;
    }

    std::vector<PendingStatement> pending;
    for (RowObject* row = relvar->firstRow; row != nullptr; row = row->next) {
        bool wanted = false;
        char* sql = StatementFor(relvar->name, row, &wanted);
        if (!wanted) continue;
        if (sql == nullptr) {
            LogFailedStatement(nullptr);  // not generated: the row keeps its flags
            continue;
        }
        pending.push_back(PendingStatement{row, sql, false});
    }

    if (!pending.empty()) {
        LockObject(TransactionLockKey(connection));
        RunStatements(connection, relvar->name, &pending);
        UnlockObject(TransactionLockKey(connection));
    }
    ReleaseDBConnection(connectionName);

    // Flags change only for rows whose statement is committed; the
    // listeners (DeleteRowObject) run after the transaction.
    for (PendingStatement& p : pending) {
        if (p.written) {
            if (p.row->state & kRowDeleted) {
                p.row->state = kRowDeleted;
                DeleteRowObject(relvar->name, p.row);
            } else {
                p.row->state = kRowStored;
            }
        }
        free(p.sql);
    }
    UnlockCriteria();
    return true;
}

bool SaveAllTables() {
    LogTrace("@@@ Inside SaveAllTables @@@\n");
    for (VectorNode* node = gv_tableDataVect ? ElementAt(gv_tableDataVect, 0) : nullptr; node != nullptr;
         node = node->next) {
        SaveTable(static_cast<TableData*>(node->element)->name);
    }
    return true;
}

bool SaveTablesFromList() {
    LogTrace("\t@@@@@ Inside SaveTablesFromList @@@@@\n");
    FILE* list = OpenRootListFile("savetableslist.txt");
    if (list == nullptr) {
        LogError("No tables to be saved.\n");
        return true;
    }
    std::string line;
    while (ReadListLine(list, "savetableslist.txt", &line)) {
        const std::string name = line.substr(0, line.find_first_of(" \t"));
        if (!name.empty()) SaveTable(name.c_str());
    }
    fclose(list);
    return true;
}

bool SaveDefaultData() {
    LogTrace("\t@@@@@ Inside SaveDefaultData @@@@@\n");
    std::string folder;
    FILE* list = OpenDataListFile("defaultdata.txt", &folder);
    if (list == nullptr) {
        LogError("No default data to be prepopulated.\n");
        return true;
    }
    bool ok = true;
    std::string entry;
    bool tooLong = false;
    auto finish = [&] {
        if (tooLong) {
            LogError("Default data entry longer than %zu characters refused: %.40s...\n", kMaxDefaultDataEntry,
                     entry.c_str());
            ok = false;
        } else if (!entry.empty() && !SaveDataInXML((folder + entry).c_str())) {
            ok = false;
        }
        entry.clear();
        tooLong = false;
    };
    int ch;
    while ((ch = fgetc(list)) != EOF) {
        if (isspace(ch) || ch == '\0') {
            finish();
        } else if (entry.size() < kMaxDefaultDataEntry) {
            entry.push_back(static_cast<char>(ch));
        } else {
            tooLong = true;
        }
    }
    finish();
    fclose(list);
    return ok;
}

namespace {

void SaveNames(std::vector<std::string>* names) {
    for (const std::string& name : *names) SaveTable(name.c_str());
    names->clear();
}

}  // namespace

bool SaveDataInXML(const char* path) {
    LogTrace("@@@@@ Inside SaveDataInXML @@@@@\n");
    if (path == nullptr) return false;
    // The rows go in from the document, which then gives the tables to
    // save without the file being parsed a second time.
    xmlDocPtr document = nullptr;
    if (!CreateTableDataFromXMLFileKeepingDocument(path, &document)) {
        LogError("Cannot create DO from %s.\n", path);
        return false;
    }
    std::vector<std::string> names;
    xmlNodePtr root = xmlDocGetRootElement(document);
    for (xmlNodePtr child = root != nullptr ? root->children : nullptr; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || child->name == nullptr) continue;
        const char* name = reinterpret_cast<const char*>(child->name);
        bool known = false;
        for (const std::string& n : names) known = known || strcasecmp(n.c_str(), name) == 0;
        if (known) continue;
        names.emplace_back(name);
        if (names.size() == kSaveNameBatch) SaveNames(&names);
    }
    SaveNames(&names);
    xmlFreeDoc(document);
    return true;
}

}  // namespace orv
