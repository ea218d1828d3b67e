/*
 * The velkra command: one program, sub-commands. Each sub-command is an
 * entry of the command table (cli/commands.h) and a function from its
 * parsed arguments to an exit code: 0 done, 1 failed (one line on standard
 * error saying what and where), 2 misused (one line on standard error).
 * Results go to standard output, messages to standard error. This header
 * holds the pieces the sub-commands share: the parsed options, the error
 * line, the library's log on standard error, and loading and reporting the
 * data dictionary.
 */
#ifndef ORV_CLI_CLI_H
#define ORV_CLI_CLI_H

#include <string>
#include <utility>
#include <vector>

namespace orv::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

/* The options of a sub-command: "--name VALUE" or "--name=VALUE" for the
 * value options listed, "--help", and positional words. */
struct ParsedArgs {
    bool help = false;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> positional;
    std::string error;  // non-empty on a usage error

    /* The value of an option, or null when it was not given. */
    const std::string* Get(const std::string& name) const;
};

/* Writes "velkra <command>: <message>" and a line end to standard error. */
void PrintError(const char* command, const std::string& message);

/* " (see 'velkra <command> --help')", the end of a usage message. */
std::string SeeHelp(const char* command);

/* Sends the library's log records at ERROR level to standard error for the
 * run of a command, and takes them back at the end. */
class ErrorLogToStderr {
public:
    ErrorLogToStderr();
    ~ErrorLogToStderr();
    ErrorLogToStderr(const ErrorLogToStderr&) = delete;
    ErrorLogToStderr& operator=(const ErrorLogToStderr&) = delete;
};

/* Where the library looks for one of its data files: "..\data\<name>",
 * followed by " or <root>/data/<name>" when a root was given. */
std::string DataFileWhere(const char* name, const std::string* root);

/* Loads the data dictionary as the library does at start-up. False after
 * "velkra <command>: cannot open the data dictionary list (<where>)" when
 * the list file cannot be opened. REQUIRES: the table definition list is
 * set up and the root, when given, is set. */
bool LoadDictionary(const char* command, const std::string* root);

/* Whether every file, table and list entry of the data dictionary loaded;
 * false after the line on standard error that counts those that did not. */
bool ReportDictionary(const char* command);

}  // namespace orv::cli

#endif
