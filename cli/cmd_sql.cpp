/*
 * velkra sql: one statement on one data source of connparams.txt, with a
 * query's rows printed in the layout of a printed result set.
 */
#include <strings.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "agent/log.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/provider.h"
#include "db/result_set.h"
#include "datastore/velkra_root.h"

namespace orv::cli {

const char kSqlHelp[] =
    "usage: velkra sql [--root DIR] [--source NAME] STATEMENT\n"
    "\n"
    "Reads connparams.txt (and dsn_table_map.txt) as the library does\n"
    "(..\\data\\ relative to the working directory first, then DIR/data),\n"
    "connects to the data source whose connection name is NAME (the first\n"
    "one without --source) and runs the statement. A statement that returns\n"
    "rows (SELECT, WITH, VALUES, SHOW, PRAGMA, EXPLAIN, DESCRIBE) prints them:\n"
    "the column names, each followed by a tab, then one line per row with each\n"
    "value followed by a tab; NULL for a missing value. Any other statement\n"
    "prints nothing.\n"
    "\n"
    "options:\n"
    "  --root DIR      the library root\n"
    "  --source NAME   the data source's connection name\n"
    "  --help          this text\n"
    "\n"
    "Exit status: 0 done, 1 when the files, the connection or the statement\n"
    "fail (the driver's message is on standard error), 2 on a usage error.\n";

namespace {

bool ReturnsRows(const std::string& statement) {
    size_t i = 0;
    while (i < statement.size() && (isspace(static_cast<unsigned char>(statement[i])) || statement[i] == '(')) ++i;
    size_t j = i;
    while (j < statement.size() && isalpha(static_cast<unsigned char>(statement[j]))) ++j;
    std::string word = statement.substr(i, j - i);
    for (const char* w : {"SELECT", "WITH", "VALUES", "SHOW", "PRAGMA", "EXPLAIN", "DESCRIBE", "DESC"}) {
        if (strcasecmp(word.c_str(), w) == 0) return true;
    }
    return false;
}

/* The database layer for the run of the command. */
struct DatabaseLayer {
    DatabaseLayer() { InitDBProvider(); }
    ~DatabaseLayer() {
        CloseAllDBConnections();
        FreeAllConnParams();
        FreeAllDataSourceMapEntries();
        DeInitDBProvider();
    }
};

}  // namespace

int RunSql(const ParsedArgs& args) {
    const std::string& statement = args.positional[0];
    const std::string* root = args.Get("--root");
    const std::string* source = args.Get("--source");

    ErrorLogToStderr log;
    DatabaseLayer layer;
    if (root != nullptr && !root->empty()) SetVelkraRoot(root->c_str());
    // The map is optional here: a missing one is no error worth a line.
    const uint8_t level = GetLogLevel();
    SetLogLevel(0);
    LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt");
    SetLogLevel(level);
    const std::string where = DataFileWhere("connparams.txt", root);
    if (!LoadConnParamsEntryFromFile("..\\data\\connparams.txt")) {
        PrintError("sql", "cannot open the connection parameters (" + where + ")");
        return kExitFailed;
    }
    const ConnParams* params = nullptr;
    if (source != nullptr) {
        params = GetConnParams(source->c_str());
        if (params == nullptr) {
            PrintError("sql", "no data source named '" + *source + "' in " + where);
            return kExitFailed;
        }
    } else if (gv_connParamsVect != nullptr && gv_connParamsVect->count > 0) {
        params = static_cast<const ConnParams*>(ElementAt(gv_connParamsVect, 0)->element);
    } else {
        PrintError("sql", "no data source in " + where);
        return kExitFailed;
    }
    const std::string name = params->connectionName ? params->connectionName : "";
    DBConnection* connection = OpenDBConnection(params);
    if (connection == nullptr) {
        PrintError("sql", "cannot connect to data source '" + name + "' (provider " +
                              (params->providerName ? params->providerName : "") + ")");
        return kExitFailed;
    }
    int status = kExitOk;
    if (ReturnsRows(statement)) {
        ResultSet* set = ExecuteQuery(connection, statement.c_str());
        if (set == nullptr) {
            PrintError("sql", "the query failed on data source '" + name + "'");
            status = kExitFailed;
        } else {
            std::string out;
            RenderResultSet(set, &out, FloatForm::kShortest);
            FreeResultSet(set);
            fwrite(out.data(), 1, out.size(), stdout);
            fflush(stdout);
        }
    } else if (!ExecuteUpdate(connection, statement.c_str())) {
        PrintError("sql", "the statement failed on data source '" + name + "'");
        status = kExitFailed;
    }
    CloseDBConnection(connection);
    return status;
}

}  // namespace orv::cli
