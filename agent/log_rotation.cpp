/*
 * Log rotation by size and the agent's log shutdown.
 *
 * The timer state (queue, last timer, a count of callbacks inside
 * LoggerTimerRoutine, a start and a stop flag) is guarded by one mutex, so
 * that a callback never runs while the start is still opening the log, and
 * StopAgentLogging can end the chain of timers and wait for a callback that
 * is still running before it closes the log. The file helpers are
 * stateless. Start and stop run on the main thread; everything else is
 * thread-safe.
 */
#include "agent/log_rotation.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "agent/agent_log.h"
#include "agent/log.h"
#include "agent/object_lock.h"
#include "agent/registry.h"
#include "agent/result_messages.h"
#include "agent/strings.h"

namespace orv {
namespace {

constexpr int32_t kModeEmpty = 1;  // copy and empty the live file
constexpr int32_t kModeDelete = 0;  // copy and delete the live file

struct RotationTimerState {
    std::mutex mutex;
    std::condition_variable idle;     // signalled when a callback leaves
    std::condition_variable started;  // signalled when StartLogRotation has opened the log
    HANDLE queue = nullptr;        // the timer queue, or null
    HANDLE timer = nullptr;        // the timer armed last
    int running = 0;               // callbacks inside LoggerTimerRoutine
    bool starting = false;         // StartLogRotation has not opened the log yet
    bool stopping = false;         // StopAgentLogging has begun
};

RotationTimerState& TimerState() {
    // Never destroyed: a timer thread may still look at it at exit.
    static RotationTimerState* state = new RotationTimerState();
    return *state;
}

/* A new heap copy of text, or null. */
char* CopyText(const std::string& text) {
    char* copy = nullptr;
    if (DuplicateString(&copy, text.c_str()) != kDupOk) return nullptr;
    return copy;
}

int32_t LowWord(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

/* Deletes path and logs the outcome with the given failure format. */
void DeleteAndLog(const std::string& path, const char* failureFormat) {
    if (DeleteFileA(path.c_str())) {
        LogInfo("RotateSpecificLogs : The file %s was successfully deleted..:\n", path.c_str());
    } else {
        LogInfo(failureFormat, path.c_str(), static_cast<int>(GetLastError()));
    }
}

/* Copies the live file to copy 1 and empties it, under the log writer's
 * lock so that no record is written between the copy and the truncation. */
void CopyAndEmpty(const std::string& live, const std::string& newer) {
    LogInfo("RotateSpecificLogs : Copying the file %s to %s ; %s will then be emptied . \n", live.c_str(),
            newer.c_str(), live.c_str());
    // The lock is not re-entrant: nothing below logs while it is held.
    const void* token = GetLogLockToken();
    if (token != nullptr) LockObject(token);
    if (!CopyFileA(live.c_str(), newer.c_str(), FALSE)) {
        DWORD error = GetLastError();
        if (token != nullptr) UnlockObject(token);
        LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n",
                live.c_str(), newer.c_str(), static_cast<int>(error));
        return;
    }
    HANDLE file = CreateFileA(live.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (token != nullptr) UnlockObject(token);
    if (error != ERROR_SUCCESS) {
        printf("RotateSpecificLogs : Unable to empty the file %s and the error code is %d \n", live.c_str(),
               static_cast<int>(error));
        fflush(stdout);
    }
}

/* Mode 0: true when the live file exists and is larger than threshold. */
bool LargerThan(const std::string& live, uint32_t threshold) {
    HANDLE file = CreateFileA(live.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE || error == ERROR_FILE_NOT_FOUND) {
        LogError("RotateSpecificLogs : hFile is NULL or not AVAILABLE (Errorcode : %d) for the file name %s . \n",
                 static_cast<int>(error), live.c_str());
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return false;
    }
    // A size that cannot be read stays 0: the file is not rotated.
    int64_t size = 0;
    GetFileSize64(live.c_str(), &size);
    LogInfo("RotateSpecificLogs : Sucessfully got the %s File size = %lld \n", live.c_str(),
            static_cast<long long>(size));
    CloseHandle(file);
    return static_cast<uint64_t>(size) > threshold;
}

/* Shifts the copies of one live file up by one and rotates the live file
 * into copy 1 (step by step as logged). */
void ShiftCopies(const char* directory, const char* name, const std::string& live, int32_t maxFileCount,
                 int32_t mode) {
    char* prefix = TextBefore(name, ".log");
    int32_t c = FindNoOfRepeatedFileNames(directory, prefix != nullptr ? prefix : "");
    free(prefix);
    LogInfo("RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method is : %d \n", c);
    auto copyName = [&](int32_t n) {
        char* text = BuildRotatedFileName(directory, name, n);
        std::string path = text != nullptr ? text : "";
        free(text);
        return path;
    };
    do {
        // c - 1 and N - 2 are computed in unsigned arithmetic: no overflow.
        int32_t k = static_cast<int32_t>(static_cast<uint32_t>(c) - 1u);
        std::string older = copyName(k);
        LogInfo("RotateSpecificLogs : The tempFileName1 : %s . \n", older.c_str());
        if (c >= maxFileCount) {
            DeleteAndLog(older, "RotateSpecificLogs : Unable to delete the file %s and the error code is :%d\n");
            k = static_cast<int32_t>(static_cast<uint32_t>(maxFileCount) - 2u);
            older = copyName(k);
            c = static_cast<int32_t>(static_cast<uint32_t>(maxFileCount) - 1u);
        }
        std::string newer = copyName(c);
        LogInfo("RotateSpecificLogs : The tempFileName2 : %s . \n", newer.c_str());
        if (c != 1) {
            if (CopyFileA(older.c_str(), newer.c_str(), FALSE)) {
                LogInfo("RotateSpecificLogs : File copied from %s to  %s . \n", older.c_str(), newer.c_str());
                DeleteAndLog(older, "RotateSpecificLogs : Unable to delete the file %s and the error code is :%d\n");
            } else {
                LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n",
                        older.c_str(), newer.c_str(), static_cast<int>(GetLastError()));
            }
        } else if (mode == kModeEmpty) {
            CopyAndEmpty(live, newer);
        } else if (mode == kModeDelete) {
            if (CopyFileA(live.c_str(), newer.c_str(), FALSE)) {
                LogInfo("RotateSpecificLogs : File successfully copied from %s to  %s . \n", live.c_str(),
                        newer.c_str());
                DeleteAndLog(live, "RotateSpecificLogs : Unable to delete the file %s and the error code is  :%d\n");
            } else {
                LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n",
                        live.c_str(), newer.c_str(), static_cast<int>(GetLastError()));
            }
        }
        c = k;
    } while (c >= 1);
}

}  // namespace

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
    RotationTimerState& state = TimerState();
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        state.stopping = false;
        state.starting = true;  // a timer that fires early waits for the open below
    }
    if (settings->periodic) {
        HANDLE queue = CreateTimerQueue();
        if (queue != nullptr) {
            {
                std::lock_guard<std::mutex> guard(state.mutex);
                state.queue = queue;
            }
            LogInfo("ServiceMain : TimerQueue is created successfully \n");
        } else {
            DWORD error = GetLastError();
            LogError("ServiceMain : CreateTimerQueue is failed due to following error !! \n");
            LogResultCode(static_cast<int32_t>(error));
        }
        LoggerTimerMethod(settings);
    } else {
        RotateLoggerForEverRunningProcess(settings->directory, settings->fileName, settings->maxFileCount,
                                          static_cast<uint32_t>(settings->sizeThreshold));
    }
    int rc = OpenAgentLog(settings->fileName, settings->directory, settings->openMode);
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        state.starting = false;
    }
    state.started.notify_all();
    return rc;
}

DWORD LoggerTimerMethod(LogRotationSettings* settings) {
    RotateLoggerForEverRunningProcess(settings->directory, settings->fileName, settings->maxFileCount,
                                      static_cast<uint32_t>(settings->sizeThreshold));
    RotationTimerState& state = TimerState();
    BOOL armed;
    DWORD error = ERROR_SUCCESS;
    {
        // Armed under the mutex, so that StopAgentLogging either sees this
        // timer in the queue it deletes or finds the flag set first.
        std::lock_guard<std::mutex> guard(state.mutex);
        if (state.stopping) return 0;
        HANDLE timer = nullptr;
        armed = CreateTimerQueueTimer(&timer, state.queue, LoggerTimerRoutine, settings, settings->period, 0,
                                      WT_EXECUTEDEFAULT);
        if (armed) {
            state.timer = timer;
        } else {
            error = GetLastError();
        }
    }
    if (!armed) {
        LogError("LoggerTimerMethod : CreateTimerQueueTimer failed due to following error \n");
        LogResultCode(static_cast<int32_t>(error));
        return error;
    }
    LogDebug("LoggerTimerMethod : Registered the TimerRoutime callback in next %d minutes . \n",
             static_cast<int>(settings->period / 60000u));
    return 0;
}

VOID CALLBACK LoggerTimerRoutine(PVOID context, BOOLEAN timerOrWaitFired) {
    (void)timerOrWaitFired;
    RotationTimerState& state = TimerState();
    {
        // The log writer's settings are made by the start's open; a timer
        // that fires before it has finished waits for it.
        std::unique_lock<std::mutex> guard(state.mutex);
        state.started.wait(guard, [&] { return !state.starting || state.stopping; });
        if (state.stopping) return;  // the log is being closed
        ++state.running;
    }
    LogInfo("LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n");
    LoggerTimerMethod(static_cast<LogRotationSettings*>(context));
    LogInfo("LoggerTimerRoutine : End of LoggerTimerRoutine Method\n");
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        --state.running;
    }
    state.idle.notify_all();
}

LONG RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int32_t maxFileCount,
                                       uint32_t sizeThreshold) {
    std::string base = directory != nullptr
                           ? std::string(directory) + "\\"
                           : std::string(gv_agentDirectory != nullptr ? gv_agentDirectory : "") + "logs\\";
    std::string live = base + (fileName != nullptr ? fileName : "");
    LogInfo("RotateLoggerForEverRunningProcess : cSfileName : %s \n", live.c_str());
    if (!CheckLogSizeReached(live.c_str(), sizeThreshold)) return 0;
    return RotateSpecificLogs(base.c_str(), fileName, maxFileCount, sizeThreshold, kModeEmpty);
}

bool CheckLogSizeReached(const char* path, uint32_t sizeThreshold) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        LogError("CheckLogSizeReached : Unable to get the file handle \n");
        LogResultCodeAnsi(static_cast<int32_t>(error));
    }
    LARGE_INTEGER size;
    size.QuadPart = 0;
    if (!GetFileSizeEx(file, &size)) {
        DWORD error = GetLastError();
        size.QuadPart = 0;
        LogError("CheckLogSizeReached : Error occurred in getting the size %d \n", static_cast<int>(error));
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
    LogInfo("CheckLogSizeReached : The log file size of %s is given by %ld \n", path != nullptr ? path : "",
            static_cast<long>(LowWord(bytes)));
    if (bytes >= sizeThreshold) {
        LogInfo("CheckLogSizeReached : The size is greater than the given size .........\n");
        return true;
    }
    LogDebug("CheckLogSizeReached : The size is less the required size \n");
    return false;
}

LONG RotateSpecificLogs(const char* directory, const char* names, int32_t maxFileCount, uint32_t sizeThreshold,
                        int32_t mode) {
    LogInfo("RotateSpecificLogs : Inside RotateSpecificLogs Method\n");
    std::string dir;
    if (directory != nullptr) {
        dir = directory;
    } else {
        char* install = nullptr;
        LONG rc = ReadAgentInstallDir(&install);
        if (rc != ERROR_SUCCESS) {
            free(install);
            printf("RotateSpecificLogs : Unable to get the agent installed directory %d \n", static_cast<int>(rc));
            fflush(stdout);
            return rc;
        }
        dir = std::string(install) + "logs\\";
        free(install);
    }
    // Names are split at ";"; empty pieces are skipped.
    std::string list = names != nullptr ? names : "";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        LogInfo("RotateSpecificLogs : Log File Name : %s\n", name.c_str());
        std::string live = dir + "\\" + name;
        if (mode == kModeDelete && !LargerThan(live, sizeThreshold)) continue;
        ShiftCopies(dir.c_str(), name.c_str(), live, maxFileCount, mode);
    }
    LogInfo("RotateSpecificLogs : End of RotateSpecificLogs Method and the return code is %d\n", 0);
    return 0;
}

int32_t FindNoOfRepeatedFileNames(const char* directory, const char* prefix) {
    LogDebug("FindNoOfRepeatedFileNames : Inside FindNoOfRepeatedFileNames Method\n");
    std::string dir = directory != nullptr ? directory : "";
    std::string pattern = dir + "\\" + (prefix != nullptr ? prefix : "") + "*.*";
    LogInfo("FindNoOfRepeatedFileNames : Successfully allocated szFormattedPath and the value is %s  .\n",
            pattern.c_str());
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    DWORD firstError = GetLastError();
    // The handle's value is logged as the original does, in its low 32 bits.
    LogInfo("FindNoOfRepeatedFileNames : Successfully finded out first file  %d  .\n",
            static_cast<int>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(search))));
    int32_t count;
    if (search == INVALID_HANDLE_VALUE) {
        LogResultCode(static_cast<int32_t>(firstError));
        LogError("FindNumberOfRepeatedFileNames : Unable to find the files/folder.\n");
        count = -1;
    } else {
        count = 0;
        do {
            ++count;
            std::string entry = dir + "\\" + data.cFileName;
            LogInfo("FindNoOfRepeatedFileNames : after memset of szSrcPath is  %s  .\n", entry.c_str());
        } while (FindNextFileA(search, &data));
        DWORD error = GetLastError();
        if (error != ERROR_NO_MORE_FILES) {
            LogResultCode(static_cast<int32_t>(error));
            LogError("FindNumberOfRepeatedFileNames : Couldn't find next file :%d\n", static_cast<int>(error));
            count = -1;
        }
        FindClose(search);
    }
    LogInfo("FindNoOfRepeatedFileNames : Going to Free the allocated memory in this method.\n");
    LogDebug("FindNoOfRepeatedFileNames : End of FindNoOfRepeatedFileNames Method and the count is %d\n", count);
    return count;
}

char* BuildRotatedFileName(const char* directory, const char* fileName, int32_t n) {
    if (directory == nullptr || fileName == nullptr) return nullptr;
    char* prefix = TextBefore(fileName, ".log");
    if (prefix == nullptr) return nullptr;
    std::string path = std::string(directory) + "\\" + prefix + std::to_string(n) + ".log";
    free(prefix);
    return CopyText(path);
}

bool GetFileSize64(const char* path, int64_t* size) {
    if (path == nullptr || size == nullptr) return false;
    *size = 0;
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER value;
    BOOL ok = GetFileSizeEx(file, &value);
    if (ok) *size = value.QuadPart;
    CloseHandle(file);
    return ok != FALSE;
}

char* TextBefore(const char* text, const char* pattern) {
    int64_t pos = FindSubstringPos(text, pattern);
    if (pos < 0) return nullptr;
    return CopyText(std::string(text, static_cast<size_t>(pos)));
}

int64_t FindSubstringPos(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return -1;
    size_t patternLength = strlen(pattern);
    if (patternLength == 0) return 0;
    size_t matched = 0;
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (text[i] == pattern[matched]) {
            if (++matched == patternLength) return static_cast<int64_t>(i + 1 - patternLength);
        } else {
            matched = 0;  // the character is not compared with the pattern's start again
        }
    }
    return 0;
}

int StopAgentLogging() {
    RotationTimerState& state = TimerState();
    HANDLE queue;
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        state.stopping = true;  // no callback starts its work and no timer is armed from now on
        queue = state.queue;
        state.queue = nullptr;
        state.timer = nullptr;
    }
    // INVALID_HANDLE_VALUE: the deletion waits for a callback that is still
    // running, so that none touches the log after it is closed. Without it
    // the system reports ERROR_IO_PENDING for every queue that still holds
    // a pending timer, which is no failure.
    if (queue != nullptr && !DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE)) {
        DWORD error = GetLastError();
        LogError("ServiceMain : DeleteTimerQueue is failed due to following error !! \n");
        LogResultCode(static_cast<int32_t>(error));
    }
    {
        std::unique_lock<std::mutex> guard(state.mutex);
        state.idle.wait(guard, [&] { return state.running == 0; });
    }
    CloseLog();
    FreeLogSettings();
    CloseObjectLockMutex();
    return 0;
}

}  // namespace orv
