/*
 * velkra: the command-line tool of the data-access library.
 */
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("velkra: no command given (see 'velkra --help')\n", stderr);
        return orv::cli::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        orv::cli::PrintCommandList(stdout);
        return orv::cli::kExitOk;
    }
    if (const orv::cli::Command* command = orv::cli::FindCommand(name)) {
        return orv::cli::RunCommand(*command, std::vector<std::string>(argv + 2, argv + argc));
    }
    fprintf(stderr, "velkra: unknown command '%s' (see 'velkra --help')\n", name.c_str());
    return orv::cli::kExitUsage;
}
