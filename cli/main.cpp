/*
 * velkra: the command-line tool of the data-access library.
 */
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cmd_queries.h"

namespace {

const orv::cli::Command kCommands[] = {
    {"tables", "print the table definitions of the data dictionary", orv::cli::RunTables},
    {"select", "print the rows of a table of an XML row document that criteria select", orv::cli::RunSelect},
    {"sql", "run one statement on a data source and print its rows", orv::cli::RunSql},
    {"ddl", "print the create-table statements of the data dictionary for an SQL dialect", orv::cli::RunDdl},
    {"queries", "print every stored query, its statement and its rows", orv::cli::RunQueries},
    {"query", "print one stored query, its statement and its rows", orv::cli::RunQuery},
    {"init", "start the library on a root and print the tables it loaded", orv::cli::RunInit},
    {"import", "store the rows of an XML row document in the database", orv::cli::RunImport},
};

void PrintUsage(FILE* out) {
    fputs("usage: velkra <command> [options]\n\ncommands:\n", out);
    for (const auto& command : kCommands) fprintf(out, "  %-10s %s\n", command.name, command.summary);
    fputs("\n'velkra <command> --help' tells more about a command.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("velkra: no command given (see 'velkra --help')\n", stderr);
        return orv::cli::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return orv::cli::kExitOk;
    }
    for (const auto& command : kCommands) {
        if (name == command.name) return command.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    fprintf(stderr, "velkra: unknown command '%s' (see 'velkra --help')\n", name.c_str());
    return orv::cli::kExitUsage;
}
