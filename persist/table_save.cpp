/*
 * Saving relvars: the changed rows of a table in one transaction, the save
 * lists, and the default data documents.
 *
 * A save runs its statements as one save batch (persist/save_batch.h):
 * one transaction, committed only when each of them succeeded. Rows take
 * their new flags only after the commit succeeded.
 */
#include <libxml/tree.h>
#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "datastore/criteria.h"
#include "datastore/relvar.h"
#include "datastore/relvar_xml.h"
#include "db/connection.h"
#include "db/datasource_map.h"
#include "persist/save_batch.h"
#include "persist/table_io.h"
#include "persist/table_io_internal.h"
#include "platform/win32.h"

namespace orv {

namespace {

/* The longest entry of defaultdata.txt. */
constexpr size_t kMaxDefaultDataEntry = kMaxTableListLine;

/* Tables saved at once while the names of a row document are collected. */
constexpr size_t kSaveNameBatch = 50;

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

    std::vector<SaveStatement> pending;
    for (RowObject* row = relvar->firstRow; row != nullptr; row = row->next) {
        const SaveKind kind = SaveKindOf(row->state);
        if (kind == SaveKind::kNone) continue;
        char* sql = GenerateSaveQuery(kind, relvar->name, row);
        if (sql == nullptr) {
            LogFailedSaveStatement(nullptr);  // not generated: the row keeps its flags
            continue;
        }
        pending.push_back(SaveStatement{row, sql, false});
    }

    const std::string caller = std::string("SaveTable for ") + relvar->name;
    RunSaveBatch(connection, SaveBatchWords{caller.c_str(), "flags"}, &pending);
    ReleaseDBConnection(connectionName);

    // Flags change only for rows whose statement is committed; the
    // listeners (DeleteRowObject) run after the transaction.
    for (SaveStatement& p : pending) {
        if (p.written) {
            auto* row = static_cast<RowObject*>(p.row);
            row->state = WrittenState(row->state);
            if (row->state == kRowDeleted) DeleteRowObject(relvar->name, row);
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
