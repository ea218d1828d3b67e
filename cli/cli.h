/*
 * The velkra command: one program, sub-commands. Each sub-command is a
 * function from its arguments (after the sub-command's name) to an exit
 * code: 0 done, 1 failed (one line on standard error saying what and
 * where), 2 misused (one line on standard error). Results go to standard
 * output, messages to standard error.
 */
#ifndef ORV_CLI_CLI_H
#define ORV_CLI_CLI_H

#include <string>
#include <vector>

namespace orv::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const std::vector<std::string>& args);
};

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

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions);

/* Writes "velkra <command>: <message>" and a line end to standard error. */
void PrintError(const char* command, const std::string& message);

/* Sends the library's log records at ERROR level to standard error for the
 * run of a command, and takes them back at the end. */
class ErrorLogToStderr {
public:
    ErrorLogToStderr();
    ~ErrorLogToStderr();
    ErrorLogToStderr(const ErrorLogToStderr&) = delete;
    ErrorLogToStderr& operator=(const ErrorLogToStderr&) = delete;
};

int RunTables(const std::vector<std::string>& args);
int RunSelect(const std::vector<std::string>& args);
int RunSql(const std::vector<std::string>& args);
int RunDdl(const std::vector<std::string>& args);
int RunInit(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);

}  // namespace orv::cli

#endif
