/*
 * The rotation start and the log shutdown. Start and stop run on the main
 * thread.
 */
#include "agent/log_rotation.h"

#include <cstdlib>
#include <string>

#include "agent/agent_log.h"
#include "agent/log.h"
#include "agent/object_lock.h"
#include "agent/strings.h"

namespace orv {

LogRotationSettings* NewLogRotationSettings() {
    auto* settings = static_cast<LogRotationSettings*>(calloc(1, sizeof(LogRotationSettings)));
    if (settings == nullptr) return nullptr;
    std::string directory = std::string(gv_agentDirectory != nullptr ? gv_agentDirectory : "") + "logs";
    if (DuplicateString(&settings->fileName, "computer.log") != kDupOk ||
        DuplicateString(&settings->directory, directory.c_str()) != kDupOk) {
        free(settings->fileName);
        free(settings->directory);
        free(settings);
        return nullptr;
    }
    settings->maxFileCount = 5;
    settings->sizeThreshold = 2000000;
    settings->period = 900000;
    settings->openMode = 1;
    settings->periodic = true;
    return settings;
}

bool SetLogRotationFileName(LogRotationSettings* settings, const char* fileName) {
    char* copy = nullptr;
    if (fileName == nullptr || DuplicateString(&copy, fileName) != kDupOk) return false;
    free(settings->fileName);
    settings->fileName = copy;
    return true;
}

int StartLogRotation(LogRotationSettings* settings) {
    return OpenAgentLog(settings->fileName, settings->directory, settings->openMode);
}

int StopAgentLogging() {
    CloseLog();
    FreeLogSettings();
    CloseObjectLockMutex();
    return 0;
}

}  // namespace orv
