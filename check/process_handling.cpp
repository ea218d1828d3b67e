/*
 * Product process handling. Runs on the check's main thread.
 */
#include "check/process_handling.h"

#include "agent/log.h"
#include "agent/registry.h"
#include "check/text.h"

namespace orv {

namespace {

constexpr size_t kNameMatchLength = 15;
constexpr DWORD kPauseAfterKillMs = 100;

/* Walks a process snapshot; visit returns false to stop the walk. */
template <typename Visit>
void WalkProcesses(Visit visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    if (Process32First(snapshot, &entry)) {
        do {
            entry.szExeFile[MAX_PATH - 1] = '\0';
            if (!visit(entry)) break;
        } while (Process32Next(snapshot, &entry));
    }
    CloseHandle(snapshot);
}

bool IsAlwaysKillAppsOn() {
    DWORD value = 0;
    ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentPatchKey, "alwaysKillApps", &value);
    return value != 0;
}

}  // namespace

DWORD FindOtherProcessByName(const char* processName) {
    if (processName == nullptr || processName[0] == '\0') return 0;
    const DWORD self = GetCurrentProcessId();
    DWORD found = 0;
    WalkProcesses([&](const PROCESSENTRY32& entry) {
        if (entry.th32ProcessID != self && EqualsIgnoreAsciiCase(entry.szExeFile, processName, kNameMatchLength)) {
            found = entry.th32ProcessID;
            return false;
        }
        return true;
    });
    return found;
}

bool KillProcesses(const char* processName) {
    LogDebug("@@@@@@@@@  Inside KillProcesses Method @@@@@@@@@@@\n");
    LogInfo("Process name to kill : %s\n", processName);
    const DWORD self = GetCurrentProcessId();
    bool matched = false;
    WalkProcesses([&](const PROCESSENTRY32& entry) {
        if (entry.th32ProcessID == self || !EqualsIgnoreAsciiCase(entry.szExeFile, processName)) return true;
        HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID);
        BOOL terminated = FALSE;
        if (process != nullptr) {
            DWORD exitCode = 0;
            GetExitCodeProcess(process, &exitCode);
            terminated = TerminateProcess(process, exitCode);
        }
        DWORD error = GetLastError();
        if (process != nullptr) CloseHandle(process);
        if (terminated) {
            LogInfo("%s was Killed......\n", processName);
        } else {
            LogError("%s not killed......due to error %d\n", processName, static_cast<int>(error));
        }
        Sleep(kPauseAfterKillMs);
        matched = true;
        return true;
    });
    LogDebug("@@@@@@@@@  End of KillProcesses Method @@@@@@@@@@@\n");
    return matched;
}

bool CheckAlreadyRunning(const char* processName) {
    if (FindOtherProcessByName(processName) == 0) return false;

    DWORD ticks = GetTickCount();
    LogInfo("the tick count is %d\n", static_cast<int>(ticks));
    if (IsAlwaysKillAppsOn()) {
        LogInfo("alwaysKillApps is set so we are setting the uptime as 1\n");
        ticks = 1;
    }
    LogInfo("the final tick count is %d\n", static_cast<int>(ticks));

    if (ticks > kStartupWindowMs) {
        LogInfo("Not a startup event hence not killing the product exe\n");
        return true;
    }
    LogInfo("This is a startup event hence killing the products exe\n");
    KillProcesses(processName);
    LogInfo("Process killed successfully\n");
    return false;
}

}  // namespace orv
