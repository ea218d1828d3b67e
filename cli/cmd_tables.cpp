/*
 * velkra tables: the table definitions of a library's data dictionary, in
 * load order, in the layout the library prints them to its log.
 */
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"
#include "datastore/datadict.h"
#include "datastore/table_defn.h"
#include "datastore/velkra_root.h"

namespace orv::cli {

const char kTablesHelp[] =
    "usage: velkra tables [--root DIR]\n"
    "\n"
    "Loads the data dictionary as the library does at start-up and prints every\n"
    "table definition to standard output, in load order.\n"
    "\n"
    "The list file is ..\\data\\datadictionary.txt relative to the working\n"
    "directory when it exists, else DIR/data/datadictionary.txt; each XML file\n"
    "it lists is read from the same folder.\n"
    "\n"
    "options:\n"
    "  --root DIR   the library root\n"
    "  --help       this text\n"
    "\n"
    "Exit status: 0 when every listed file and table loaded, 1 when the list\n"
    "cannot be opened or a file or table could not be loaded (the library's\n"
    "messages say why, on standard error), 2 on a usage error.\n";

namespace {

void PrintLine(void*, const char* line) { fputs(line, stdout); }

}  // namespace

int RunTables(const ParsedArgs& args) {
    const std::string* root = args.Get("--root");
    ErrorLogToStderr log;
    if (root != nullptr) SetVelkraRoot(root->c_str());
    InitTableDefnList();
    ResetDataDictLoadReport();
    if (!LoadDictionary("tables", root)) {
        FreeAllTableDefns();
        return kExitFailed;
    }
    Vector* list = GetTableDefnList();
    if (list != nullptr) {
        for (VectorNode* node = ElementAt(list, 0); node != nullptr; node = node->next) {
            WriteTableDefn(static_cast<const TableDefn*>(node->element), PrintLine, nullptr);
        }
    }
    fflush(stdout);
    bool loaded = ReportDictionary("tables");
    FreeAllTableDefns();
    return loaded ? kExitOk : kExitFailed;
}

}  // namespace orv::cli
