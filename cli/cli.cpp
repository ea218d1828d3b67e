/*
 * Shared pieces of the velkra command: the parsed options, error lines and
 * the library log on standard error.
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

void PrintError(const char* command, const std::string& message) {
    fprintf(stderr, "velkra %s: %s\n", command, message.c_str());
}

std::string SeeHelp(const char* command) { return std::string(" (see 'velkra ") + command + " --help')"; }

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
