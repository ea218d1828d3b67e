/*
 * The sub-commands that start the whole library on a root: velkra init,
 * velkra import, and velkra select without a row document. Each starts
 * the library with InitVelkra, does its work and shuts the library down.
 * The library logs to DIR/logs/velkra.log; when something fails, the ERROR
 * records the command's thread logged since the start (agent/log_errors.h)
 * go to standard error, one line each as the log holds them.
 */
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "agent/log.h"
#include "agent/log_errors.h"
#include "cli/cli.h"
#include "cli/cmd_library.h"
#include "cli/commands.h"
#include "datastore/criteria.h"
#include "datastore/relvar.h"
#include "datastore/table_defn.h"
#include "persist/table_io.h"
#include "persist/velkra_init.h"

namespace orv::cli {

const char kInitHelp[] =
    "usage: velkra init --root DIR\n"
    "\n"
    "Starts the library on DIR as an application does: the data dictionary,\n"
    "the data source map and the connection parameters (..\\data\\ relative to\n"
    "the working directory first, then DIR/data), the connections, the tables\n"
    "the database lacks, the sequences, the tables of loadtablelist.txt and,\n"
    "on a new database, the rows of defaultdata.txt. Prints every relvar in\n"
    "memory with its number of rows, each value followed by a tab, and shuts\n"
    "the library down. The library's log is DIR/logs/velkra.log.\n"
    "\n"
    "options:\n"
    "  --root DIR   the library root\n"
    "  --help       this text\n"
    "\n"
    "Exit status: 0 done, 1 when the start fails (the log's ERROR records are\n"
    "on standard error), 2 on a usage error.\n";

const char kImportHelp[] =
    "usage: velkra import --root DIR ROWS.xml\n"
    "\n"
    "Starts the library on DIR (as 'velkra init' does), imports the XML row\n"
    "document and saves every table it holds rows of into the database.\n"
    "Prints every relvar with its number of rows, and shuts the library down.\n"
    "\n"
    "options:\n"
    "  --root DIR   the library root\n"
    "  --help       this text\n"
    "\n"
    "Exit status: 0 done, 1 when the start, the document or a row's statement\n"
    "fails (the log's ERROR records are on standard error), 2 on a usage\n"
    "error.\n";

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/* A kept ERROR record on one line: its line ends dropped at the end and
 * made blanks inside (none after a blank), as the log file shows it. */
std::string OneLineRecord(const char* record) {
    std::string text = record;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

/* Rows of a relvar that are in memory (deleted ones still listed
 * included). */
int32_t RowCount(const TableData* relvar) {
    int32_t n = 0;
    for (const RowObject* row = relvar->firstRow; row != nullptr; row = row->next) ++n;
    return n;
}

void PrintRelvars() {
    std::string out = "relvar\trows\t\n";
    for (VectorNode* node = gv_tableDataVect ? ElementAt(gv_tableDataVect, 0) : nullptr; node != nullptr;
         node = node->next) {
        const auto* relvar = static_cast<const TableData*>(node->element);
        out += std::string(relvar->name) + "\t" + std::to_string(RowCount(relvar)) + "\t\n";
    }
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
}

}  // namespace

LibraryRun::~LibraryRun() {
    if (started_) DeInitVelkra();
}

bool LibraryRun::Start(const char* command, const std::string* root) {
    command_ = command;
    if (root == nullptr || root->empty()) {
        PrintError(command, "option '--root' with the library root is needed" + SeeHelp(command));
        usage_ = true;
        return false;
    }
    if (!IsDirectory(*root)) {
        PrintError(command, "the library root " + *root + " is not a directory");
        return false;
    }
    logPath_ = *root + "/logs/velkra.log";
    // Every ERROR record of the run is kept, however many there are.
    SetLogErrorLimit(SIZE_MAX);
    ClearLogErrors();
    started_ = true;
    if (InitVelkra(root->c_str())) return true;
    if (gv_logFilePtr == nullptr) {
        PrintError(command, "the library did not start on " + *root + ": cannot open its log " + logPath_);
        return false;
    }
    Fail("the library did not start on " + *root);
    return false;
}

void LibraryRun::Fail(const std::string& message) {
    PrintKeptErrors();
    PrintError(command_, message + " (log: " + logPath_ + ")");
}

void LibraryRun::PrintKeptErrors() {
    for (size_t i = 0; i < CountLogErrors(); ++i) fprintf(stderr, "%s\n", OneLineRecord(GetLogErrorRecord(i)).c_str());
    ClearLogErrors();
}

namespace {

/* The rows of the table relvars that are not stored (a statement that
 * failed leaves its row unsaved in memory), with the names of their
 * tables. */
int32_t UnsavedRows(std::string* tables) {
    int32_t unsaved = 0;
    for (VectorNode* node = ElementAt(gv_tableDataVect, 0); node != nullptr; node = node->next) {
        const auto* relvar = static_cast<const TableData*>(node->element);
        int32_t n = 0;
        for (const RowObject* row = relvar->firstRow; row != nullptr; row = row->next) n += row->state != kRowStored;
        if (n > 0 && relvar->kind == kRelvarTable) {
            unsaved += n;
            *tables += std::string(tables->empty() ? "" : ", ") + relvar->name;
        }
    }
    return unsaved;
}

}  // namespace

int RunInit(const ParsedArgs& args) {
    LibraryRun library;
    if (!library.Start("init", args.Get("--root"))) return library.usage() ? kExitUsage : kExitFailed;
    // The start goes on when default rows do not store; the command says so.
    std::string tables;
    if (int32_t unsaved = UnsavedRows(&tables); unsaved > 0) {
        library.Fail(std::to_string(unsaved) + " default row(s) were not stored, in " + tables);
        return kExitFailed;
    }
    PrintRelvars();
    return kExitOk;
}

int RunImport(const ParsedArgs& args) {
    const std::string& document = args.positional[0];
    const std::string* root = args.Get("--root");
    FILE* probe = fopen(document.c_str(), "rb");
    if (probe == nullptr) {
        PrintError("import", "cannot read the row document " + document);
        return kExitFailed;
    }
    fclose(probe);
    LibraryRun library;
    if (!library.Start("import", root)) return library.usage() ? kExitUsage : kExitFailed;
    if (!SaveDataInXML(document.c_str())) {
        library.Fail(document + ": the row document was not stored");
        return kExitFailed;
    }
    std::string tables;
    if (int32_t unsaved = UnsavedRows(&tables); unsaved > 0) {
        library.Fail(document + ": " + std::to_string(unsaved) + " row(s) were not stored, in " + tables);
        return kExitFailed;
    }
    PrintRelvars();
    return kExitOk;
}

int RunSelectFromDatabase(const std::string* root, const std::string& table, const std::string* criteria) {
    LibraryRun library;
    if (!library.Start("select", root)) return library.usage() ? kExitUsage : kExitFailed;
    if (GetTableDefn(table.c_str()) == nullptr) {
        PrintError("select", "unknown table '" + table + "': the data dictionary does not define it");
        return kExitFailed;
    }
    if (criteria != nullptr) {
        std::string error;
        FilterNode* tree = ParseCriteria(criteria->c_str(), &error);
        if (tree == nullptr) {
            PrintError("select", "criteria '" + *criteria + "' do not parse: " + error);
            return kExitFailed;
        }
        FreeCriteria(tree);
    }
    if (GetTableDataByName(table.c_str()) == nullptr && !LoadTable(table.c_str())) {
        library.Fail("cannot load table '" + table + "' from its data source");
        return kExitFailed;
    }
    ResultData* result = SelectRows(table.c_str(), criteria ? criteria->c_str() : nullptr);
    if (result == nullptr) {
        library.Fail("cannot select from table '" + table + "'");
        return kExitFailed;
    }
    std::string out;
    RenderResultData(result, true, &out, FloatForm::kShortest);
    FreeResultData(result);
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
    return kExitOk;
}

}  // namespace orv::cli
