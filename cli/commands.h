/*
 * The table of velkra's sub-commands and the one parser that reads a
 * command line by it. An entry says what a sub-command takes: its value
 * options, how many positional arguments (and the usage messages when
 * there are too few, too many or empty ones), and checks of its options
 * that run before or after the arguments are counted. The parser prints
 * the help text for --help (exit 0) and one usage line for anything the
 * entry refuses (exit 2); otherwise it runs the sub-command.
 */
#ifndef ORV_CLI_COMMANDS_H
#define ORV_CLI_COMMANDS_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace orv::cli {

/* A check of a sub-command's options: the usage message, with SeeHelp at
 * its end where it wants one, or "" when the options are fine. */
using UsageCheck = std::string (*)(const char* command, const ParsedArgs& args);

/* The positional arguments of a sub-command. */
struct Arguments {
    size_t min = 0;
    size_t max = 0;
    const char* missing = nullptr;  // usage message when fewer than min are given
    const char* surplus = nullptr;  // when more than max; null: "unexpected argument '<first beyond max>'"
    const char* empty = nullptr;    // when one is the empty text; null: empty texts are taken
};

struct Command {
    const char* name;
    const char* summary;  // one line for 'velkra --help'
    const char* help;     // the text of 'velkra <name> --help'
    std::vector<std::string> options;  // the value options, "--root" and so on
    Arguments arguments;
    UsageCheck checkFirst;  // before the arguments are counted, or null
    UsageCheck checkAfter;  // after they are counted, or null
    int (*run)(const ParsedArgs& args);
};

/* The entry of a sub-command, or null for an unknown name. */
const Command* FindCommand(const std::string& name);

/* "usage: velkra <command> [options]" and one line per sub-command. */
void PrintCommandList(FILE* out);

/* Reads the words after a sub-command's name: "--" ends the options, "-h"
 * and "--help" ask for help, each value option takes the next word (or
 * its text after "="). Stops at the first unknown option or missing
 * value, with the message in error. */
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions);

/* Reads words by the command's entry and runs it. Returns the command's
 * exit code, kExitOk after its help text, or kExitUsage after one usage
 * line on standard error. */
int RunCommand(const Command& command, const std::vector<std::string>& words);

/* Option checks that several entries share. */
/* "--root" given with an empty value. */
std::string RootNotEmpty(const char* command, const ParsedArgs& args);
/* "--root" missing or empty. */
std::string RootNeeded(const char* command, const ParsedArgs& args);

/* The sub-commands' help texts and functions, each in its cmd_*.cpp. A
 * function runs only with what its entry accepted (RunSelect, for one,
 * finds one or two positional arguments). */
extern const char kTablesHelp[];
extern const char kSelectHelp[];
extern const char kSqlHelp[];
extern const char kDdlHelp[];
extern const char kQueriesHelp[];
extern const char kQueryHelp[];
extern const char kInitHelp[];
extern const char kImportHelp[];

int RunTables(const ParsedArgs& args);
int RunSelect(const ParsedArgs& args);
int RunSql(const ParsedArgs& args);
int RunDdl(const ParsedArgs& args);
int RunQueries(const ParsedArgs& args);
int RunQuery(const ParsedArgs& args);
int RunInit(const ParsedArgs& args);
int RunImport(const ParsedArgs& args);

/* select's own check: a row document or a root. */
std::string XmlOrRoot(const char* command, const ParsedArgs& args);

}  // namespace orv::cli

#endif
