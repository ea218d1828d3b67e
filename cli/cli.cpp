/*
 * Shared pieces of the velkra command: option parsing, error lines and the
 * library log on standard error.
 */
#include "cli/cli.h"

#include <unistd.h>

#include <cstdio>

#include "agent/log.h"

namespace orv::cli {

const std::string* ParsedArgs::Get(const std::string& name) const {
    for (const auto& [key, value] : values) {
        if (key == name) return &value;
    }
    return nullptr;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions) {
    ParsedArgs parsed;
    bool onlyPositional = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositional || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        bool known = false;
        for (const std::string& option : valueOptions) known = known || option == name;
        if (!known) {
            parsed.error = "unknown option '" + name + "'";
            return parsed;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                parsed.error = "option '" + name + "' needs a value";
                return parsed;
            }
            value = args[++i];
        }
        parsed.values.emplace_back(name, value);
    }
    return parsed;
}

void PrintError(const char* command, const std::string& message) {
    fprintf(stderr, "velkra %s: %s\n", command, message.c_str());
}

ErrorLogToStderr::ErrorLogToStderr() {
    InitDefaultLog();
    SetLogLevel(2);
    int fd = dup(2);
    FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (file == nullptr && fd >= 0) close(fd);
    if (file != nullptr) SetLogFilePtr(file);
}

ErrorLogToStderr::~ErrorLogToStderr() {
    if (gv_logFilePtr != nullptr) {
        fclose(gv_logFilePtr);
        gv_logFilePtr = nullptr;
    }
    FreeLogSettings();
}

}  // namespace orv::cli
