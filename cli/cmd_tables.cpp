/*
 * velkra tables: the table definitions of a library's data dictionary, in
 * load order, in the layout the library prints them to its log.
 */
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "datastore/datadict.h"
#include "datastore/table_defn.h"
#include "datastore/velkra_root.h"

namespace orv::cli {

namespace {

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

void PrintLine(void*, const char* line) { fputs(line, stdout); }

}  // namespace

int RunTables(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(args, {"--root"});
    if (!parsed.error.empty()) {
        PrintError("tables", parsed.error + " (see 'velkra tables --help')");
        return kExitUsage;
    }
    if (parsed.help) {
        fputs(kTablesHelp, stdout);
        return kExitOk;
    }
    if (!parsed.positional.empty()) {
        PrintError("tables", "unexpected argument '" + parsed.positional[0] + "' (see 'velkra tables --help')");
        return kExitUsage;
    }
    const std::string* root = parsed.Get("--root");
    if (root != nullptr && root->empty()) {
        PrintError("tables", "option '--root' needs a directory");
        return kExitUsage;
    }

    ErrorLogToStderr log;
    if (root != nullptr) SetVelkraRoot(root->c_str());
    InitTableDefnList();
    ResetDataDictLoadReport();
    bool listed = LoadAllDataDictFiles();
    if (!listed) {
        std::string where = "..\\data\\datadictionary.txt";
        if (root != nullptr) where += " or " + *root + "/data/datadictionary.txt";
        PrintError("tables", "cannot open the data dictionary list (" + where + ")");
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
    DataDictLoadReport report = GetDataDictLoadReport();
    FreeAllTableDefns();
    if (report.filesFailed > 0 || report.tablesFailed > 0 || report.entriesRefused > 0) {
        PrintError("tables", std::to_string(report.filesFailed) + " file(s), " +
                                 std::to_string(report.tablesFailed) + " table(s) and " +
                                 std::to_string(report.entriesRefused) +
                                 " list entr(ies) of the data dictionary could not be loaded; the messages "
                                 "above say where");
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace orv::cli
