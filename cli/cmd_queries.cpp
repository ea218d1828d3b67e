/*
 * velkra queries / velkra query: starts the library on a root and, for
 * every stored query (or the one asked for), prints its id, the statement
 * generated from its definition rows and the rows the statement returns.
 */
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"
#include "db/result_set.h"
#include "persist/stored_query.h"
#include "persist/velkra_init.h"
#include "util/conv_misc.h"
#include "util/conv_number.h"

namespace orv::cli {

const char kQueriesHelp[] =
    "usage: velkra queries --root DIR\n"
    "\n"
    "Starts the library on DIR (data dictionary, data source map, connection\n"
    "parameters and connections as an application starts it; on a new\n"
    "database the tables are created and defaultdata.txt stored) and, for\n"
    "every row of QueryDetails, rebuilds the stored query from its definition\n"
    "tables and prints:\n"
    "  query ID\n"
    "  the generated statement (one line)\n"
    "  the column names and the rows, each value followed by a tab\n"
    "and an empty line. The library's log is DIR/logs/velkra.log.\n"
    "\n"
    "options:\n"
    "  --root DIR   the library root\n"
    "  --help       this text\n"
    "\n"
    "Exit status: 0 done, 1 when the library does not start or a query cannot\n"
    "be built or run (the others are still printed), 2 on a usage error.\n";

const char kQueryHelp[] =
    "usage: velkra query --root DIR ID\n"
    "\n"
    "As 'velkra queries' for the one stored query ID of QueryDetails.\n"
    "\n"
    "options:\n"
    "  --root DIR   the library root\n"
    "  --help       this text\n"
    "\n"
    "Exit status: 0 done, 1 when the library does not start, ID is not a\n"
    "stored query or it cannot be built or run, 2 on a usage error.\n";

namespace {

/* The statement on one line: line ends and runs of blanks become one
 * blank, none at the ends. */
std::string OneLine(const std::string& sql) {
    std::string out;
    bool blank = false;
    for (char c : sql) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

/* Prints one stored query; false when it cannot be built or run. */
bool PrintStoredQuery(const char* command, int32_t id) {
    std::string sql;
    ResultSet* set = RunStoredQuery(id, &sql);
    std::printf("query %d\n", static_cast<int>(id));
    if (!sql.empty()) std::printf("%s\n", OneLine(sql).c_str());
    if (set == nullptr) {
        std::fflush(stdout);
        PrintError(command, "stored query " + std::to_string(id) +
                                (sql.empty() ? " could not be built" : " failed on its data source"));
        std::printf("\n");
        return false;
    }
    std::string rows;
    RenderResultSet(set, &rows);
    FreeResultSet(set);
    std::fputs(rows.c_str(), stdout);
    std::printf("\n");
    return true;
}

/* The library root of the parsed options; false after the message when
 * it is no directory. REQUIRES: --root given (the entry's RootNeeded). */
bool RootDirectory(const char* command, const ParsedArgs& args, std::string* root) {
    const std::string* rootOption = args.Get("--root");
    if (IsDirectory(rootOption->c_str()) != 1) {
        PrintError(command, "'" + *rootOption + "' is not a directory");
        return false;
    }
    *root = *rootOption;
    return true;
}

/* The library for the run of one command. */
class Library {
public:
    ~Library() { DeInitVelkra(); }
    bool Start(const char* command, const std::string& root) {
        if (InitVelkra(root.c_str())) return true;
        PrintError(command, "the library did not start on '" + root + "' (see " + root + "/logs/velkra.log)");
        return false;
    }
};

}  // namespace

int RunQueries(const ParsedArgs& args) {
    std::string root;
    if (!RootDirectory("queries", args, &root)) return kExitFailed;
    Library library;
    if (!library.Start("queries", root)) return kExitFailed;
    std::vector<int32_t> ids;
    if (!ReadStoredQueryIds(&ids)) {
        PrintError("queries", "QueryDetails could not be read (see " + root + "/logs/velkra.log)");
        return kExitFailed;
    }
    bool ok = true;
    for (int32_t id : ids) ok = PrintStoredQuery("queries", id) && ok;
    std::fflush(stdout);
    return ok ? kExitOk : kExitFailed;
}

int RunQuery(const ParsedArgs& args) {
    std::string root;
    if (!RootDirectory("query", args, &root)) return kExitFailed;
    const std::vector<std::string>& words = args.positional;
    int32_t id = ConvertTextToInteger(words[0].c_str());
    if (!IsIntegerText(words[0].c_str()) || (id == -1 && words[0] != "-1")) {
        PrintError("query", "'" + words[0] + "' is not a query id (see 'velkra query --help')");
        return kExitUsage;
    }
    Library library;
    if (!library.Start("query", root)) return kExitFailed;
    std::vector<int32_t> ids;
    if (!ReadStoredQueryIds(&ids)) {
        PrintError("query", "QueryDetails could not be read (see " + root + "/logs/velkra.log)");
        return kExitFailed;
    }
    bool known = false;
    for (int32_t stored : ids) known = known || stored == id;
    if (!known) {
        PrintError("query", "no stored query " + words[0] + " in QueryDetails");
        return kExitFailed;
    }
    bool ok = PrintStoredQuery("query", id);
    std::fflush(stdout);
    return ok ? kExitOk : kExitFailed;
}

}  // namespace orv::cli
