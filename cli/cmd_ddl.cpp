/*
 * velkra ddl: the create-table statement of every table of the data
 * dictionary, in load order, in the SQL dialect asked for or in that of
 * the first data source of connparams.txt.
 */
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"
#include "datastore/datadict.h"
#include "datastore/table_defn.h"
#include "datastore/velkra_root.h"
#include "db/connparams.h"
#include "db/provider.h"
#include "db/sql/dialect_record.h"

namespace orv::cli {

const char kDdlHelp[] =
    "usage: velkra ddl [--root DIR] [--dialect MYSQL|PGSQL|SQLITE|FIREBIRD]\n"
    "\n"
    "Loads the data dictionary as the library does at start-up and prints the\n"
    "create-table statement of every table, in load order, each on a line of\n"
    "its own ending in \";\" (blanks and line ends outside quoted texts become\n"
    "one blank, or none next to parentheses and commas).\n"
    "\n"
    "The list file is ..\\data\\datadictionary.txt relative to the working\n"
    "directory when it exists, else DIR/data/datadictionary.txt. Without\n"
    "--dialect the dialect is that of the first data source of connparams.txt\n"
    "(..\\data\\connparams.txt, else DIR/data/connparams.txt).\n"
    "\n"
    "options:\n"
    "  --root DIR       the library root\n"
    "  --dialect NAME   MYSQL, PGSQL, SQLITE or FIREBIRD (any case)\n"
    "  --help           this text\n"
    "\n"
    "Exit status: 0 when every table's statement was printed, 1 when the data\n"
    "dictionary or connparams.txt cannot be read or a statement cannot be\n"
    "generated (the messages on standard error say which table), 2 on a usage\n"
    "error (also for an unknown dialect).\n";

namespace {

/* The library parts the command uses, set up and taken down with it. */
struct Session {
    Session() {
        InitSQLGenerators();
        InitTableDefnList();
        ResetDataDictLoadReport();
    }
    ~Session() {
        FreeAllConnParams();
        FreeAllTableDefns();
        DeInitSQLGenerators();
    }
};

/* The statement on one line: every run of blanks, tabs and line ends
 * outside a quoted text becomes one blank, or none after "(" and before
 * ")" and ","; quoted texts ('...', with ''
 * inside, and a backslash escaping the next character where the dialect
 * reads it so) and quoted names ("...", `...`) stay as they are. Ends in
 * ";". */
std::string OneLine(const std::string& sql, bool backslashEscapes) {
    std::string out;
    char quote = 0;
    bool blank = false;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (quote != 0) {
            out += c;
            if (quote == '\'' && backslashEscapes && c == '\\' && i + 1 < sql.size()) {
                out += sql[++i];
            } else if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (isspace(static_cast<unsigned char>(c))) {
            blank = true;
            continue;
        }
        if (blank && !out.empty() && out.back() != '(' && c != ')' && c != ',') out += ' ';
        blank = false;
        if (c == '\'' || c == '"' || c == '`') quote = c;
        out += c;
    }
    if (out.empty() || out.back() != ';') out += ';';
    return out;
}

}  // namespace

int RunDdl(const ParsedArgs& args) {
    const std::string* root = args.Get("--root");
    const std::string* dialectOption = args.Get("--dialect");

    ErrorLogToStderr log;
    Session session;
    const SQLGenerator* generator = nullptr;
    if (dialectOption != nullptr) {
        generator = FindSQLGenerator(dialectOption->c_str());
        if (generator == nullptr) {
            PrintError("ddl", "unknown dialect '" + *dialectOption +
                                  "': give MYSQL, PGSQL, SQLITE or FIREBIRD (see 'velkra ddl --help')");
            return kExitUsage;
        }
    }
    if (root != nullptr) SetVelkraRoot(root->c_str());
    if (generator == nullptr) {
        const std::string where = DataFileWhere("connparams.txt", root);
        if (!LoadConnParamsEntryFromFile("..\\data\\connparams.txt")) {
            PrintError("ddl", "cannot open the connection parameters (" + where + "); give --dialect");
            return kExitFailed;
        }
        VectorNode* first = gv_connParamsVect != nullptr ? ElementAt(gv_connParamsVect, 0) : nullptr;
        if (first == nullptr) {
            PrintError("ddl", "no data source in " + where + "; give --dialect");
            return kExitFailed;
        }
        const auto* params = static_cast<const ConnParams*>(first->element);
        const char* name = params->dialectName != nullptr ? params->dialectName : "";
        generator = FindSQLGenerator(name);
        if (generator == nullptr) {
            PrintError("ddl", "the first data source of " + where + " names the unknown dialect '" + name +
                                  "'; give --dialect");
            return kExitFailed;
        }
    }

    if (!LoadDictionary("ddl", root)) {
        return kExitFailed;
    }
    const SqlDialect* dialect = FindSqlDialect(generator->name);
    const bool backslashEscapes = dialect != nullptr && dialect->escapeBackslash;
    int status = kExitOk;
    Vector* list = GetTableDefnList();
    for (VectorNode* node = list != nullptr ? ElementAt(list, 0) : nullptr; node != nullptr; node = node->next) {
        const auto* defn = static_cast<const TableDefn*>(node->element);
        char* sql = generator->generateCreateTable(defn->name);
        if (sql == nullptr) {
            PrintError("ddl", std::string("cannot generate the ") + generator->name + " create-table statement of table '" +
                                  defn->name + "' (the messages above say why)");
            status = kExitFailed;
            continue;
        }
        std::string line = OneLine(sql, backslashEscapes) + "\n";
        free(sql);
        fputs(line.c_str(), stdout);
    }
    fflush(stdout);
    if (!ReportDictionary("ddl")) status = kExitFailed;
    return status;
}

}  // namespace orv::cli
