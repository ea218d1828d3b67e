/*
 * The agent's log set-up. Runs on the main thread at start-up.
 */
#include "agent/agent_log.h"

#include <cstdlib>
#include <string>

#include "agent/log.h"
#include "agent/log_rotation.h"
#include "agent/object_lock.h"
#include "agent/registry.h"

namespace orv {

char* gv_agentDirectory = nullptr;
int32_t gv_eventEnabled = 1;

namespace {
constexpr int kAgentLogOpenFailed = 13;
constexpr int32_t kAgentLogMaxSize = 10000000;
constexpr DWORD kDefaultAgentLogLevel = 2;

// The rotation settings of this process; never released.
LogRotationSettings* g_rotationSettings = nullptr;
}  // namespace

long StartAgentLogging(const char* fileName) {
    char* directory = nullptr;
    LONG rc = ReadAgentInstallDir(&directory);
    if (rc != ERROR_SUCCESS) {
        free(directory);
        return rc;
    }
    free(gv_agentDirectory);
    gv_agentDirectory = directory;

    // The settings live until the process ends: the rotation timer's
    // callbacks hold them as their context.
    if (g_rotationSettings == nullptr) g_rotationSettings = NewLogRotationSettings();
    if (g_rotationSettings != nullptr) {
        SetLogRotationFileName(g_rotationSettings, fileName);
        StartLogRotation(g_rotationSettings);
    }
    return 0;
}

int OpenAgentLog(const char* fileName, const char* directory, int32_t openMode) {
    InitMutex();
    ReadEventEnabled(&gv_eventEnabled);
    if (!InitDefaultLog()) return kAgentLogOpenFailed;

    DWORD level = kDefaultAgentLogLevel;
    DWORD stored = 0;
    if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "ZRAgentLogLevel", &stored) == ERROR_SUCCESS) {
        level = stored;
    }
    if (!ConfigureLog(fileName, directory, kAgentLogMaxSize, static_cast<int32_t>(level))) return kAgentLogOpenFailed;

    bool opened = openMode == 2 ? OpenLogTruncate() : OpenLogAppend();
    return opened ? 0 : kAgentLogOpenFailed;
}

}  // namespace orv
