/*
 * The table of velkra's sub-commands, in the order 'velkra --help' lists
 * them. Each entry says what its command line takes; the parser
 * (command_line.cpp) reads it and the command's function runs.
 */
#include "cli/commands.h"

#include <cstdio>
#include <string>

namespace orv::cli {

namespace {

const Command kCommands[] = {
    {"tables", "print the table definitions of the data dictionary", kTablesHelp, {"--root"}, {}, nullptr,
     RootNotEmpty, RunTables},
    {"select", "print the rows of a table of an XML row document that criteria select", kSelectHelp,
     {"--root", "--xml"}, {1, 2, "no table given", nullptr, nullptr}, XmlOrRoot, nullptr, RunSelect},
    {"sql", "run one statement on a data source and print its rows", kSqlHelp, {"--root", "--source"},
     {1, 1, "no statement given", "give the statement as one argument", "give the statement as one argument"},
     nullptr, nullptr, RunSql},
    {"ddl", "print the create-table statements of the data dictionary for an SQL dialect", kDdlHelp,
     {"--root", "--dialect"}, {}, nullptr, RootNotEmpty, RunDdl},
    {"queries", "print every stored query, its statement and its rows", kQueriesHelp, {"--root"}, {}, RootNeeded,
     nullptr, RunQueries},
    {"query", "print one stored query, its statement and its rows", kQueryHelp, {"--root"},
     {1, 1, "one stored query id is needed", "one stored query id is needed", nullptr}, RootNeeded, nullptr,
     RunQuery},
    {"init", "start the library on a root and print the tables it loaded", kInitHelp, {"--root"}, {}, nullptr,
     RootNeeded, RunInit},
    {"import", "store the rows of an XML row document in the database", kImportHelp, {"--root"},
     {1, 1, "no row document given", nullptr, "no row document given"}, nullptr, RootNeeded, RunImport},
};

}  // namespace

const Command* FindCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

void PrintCommandList(FILE* out) {
    fputs("usage: velkra <command> [options]\n\ncommands:\n", out);
    for (const Command& command : kCommands) fprintf(out, "  %-10s %s\n", command.name, command.summary);
    fputs("\n'velkra <command> --help' tells more about a command.\n", out);
}

}  // namespace orv::cli
