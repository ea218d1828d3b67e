/*
 * Rotation of the agent's log by size, at start and on a one-shot timer
 * that re-arms itself, and the agent's log shutdown.
 *
 * Copies of the live file x.log are x1.log (newest) up to x<N-1>.log
 * (oldest) in the live file's directory:
 *
 *   x<N-1>.log -> deleted (when the count is reached)
 *   x2.log -> x3.log, x1.log -> x2.log, x.log -> x1.log, x.log emptied
 *
 * The live file is copied and emptied in place under the log writer's lock,
 * so a writer holding it open for appending goes on at its new end and no
 * record is lost or cut. Start and stop run on the main thread; the timer
 * callback runs on a timer thread. The helpers are thread-safe.
 */
#ifndef ORV_AGENT_LOG_ROTATION_H
#define ORV_AGENT_LOG_ROTATION_H

#include <cstdint>

#include "platform/win32.h"

namespace orv {

struct LogRotationSettings {
    char* fileName;          // the live file's name; "computer.log" by default
    char* directory;         // the live file's directory, without a trailing separator
    int32_t maxFileCount;    // the live file plus at most this count minus one copies
    uint64_t sizeThreshold;  // rotate once the live file has reached this size (low 32 bits used)
    uint32_t period;         // milliseconds from the end of one check to the next
    int32_t openMode;        // handed to OpenAgentLog: 2 empties the file, else append
    bool periodic;           // true: check now and on the timer; false: once at start
};

/* A new settings record with the defaults: directory is the agent directory
 * followed by "logs". Null when memory is short. Never released while the
 * rotation runs. */
LogRotationSettings* NewLogRotationSettings();

/* Replaces the record's file name with a copy. False when the copy fails. */
bool SetLogRotationFileName(LogRotationSettings* settings, const char* fileName);

/* Rotates (now and, when periodic, on the timer) and opens the agent's log.
 * Returns what OpenAgentLog returns. REQUIRES: not started, or stopped by
 * StopAgentLogging; settings lives until the process ends. */
int StartLogRotation(LogRotationSettings* settings);

/* One check and rotation, then arms the next one-shot timer after the
 * period. Returns 0 or the system's error from arming the timer (then no
 * further check follows). Arms nothing while StopAgentLogging runs. */
DWORD LoggerTimerMethod(LogRotationSettings* settings);

/* The timer callback: context is the LogRotationSettings. Does nothing once
 * StopAgentLogging has begun. */
VOID CALLBACK LoggerTimerRoutine(PVOID context, BOOLEAN timerOrWaitFired);

/* Rotates directory\fileName (directory null: the agent directory's
 * "logs") when it has reached sizeThreshold bytes. Returns 0 or what
 * RotateSpecificLogs returns. */
LONG RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int32_t maxFileCount,
                                       uint32_t sizeThreshold);

/* True when the file's size is at least sizeThreshold; a file that cannot
 * be opened counts as size 0. */
bool CheckLogSizeReached(const char* path, uint32_t sizeThreshold);

/* Rotates every file of the ";"-separated names in directory (null: the
 * agent directory's "logs\"). Mode 1 copies each to copy 1 and empties it;
 * mode 0 rotates only files larger than sizeThreshold, copying and deleting
 * them. Returns 0, or the registry error when directory is null and the
 * installation directory cannot be read. */
LONG RotateSpecificLogs(const char* directory, const char* names, int32_t maxFileCount, uint32_t sizeThreshold,
                        int32_t mode);

/* The count of entries of directory whose names begin with prefix (ASCII
 * case ignored, the live file and "." / ".." included where they match),
 * or -1 when the search fails. */
int32_t FindNoOfRepeatedFileNames(const char* directory, const char* prefix);

/* A new heap text "directory\<name before .log>n.log"; null when memory is
 * short or an argument is null. The caller frees it. */
char* BuildRotatedFileName(const char* directory, const char* fileName, int32_t n);

/* OUT *size: 0, then the file's size. Opens the file without data access.
 * Returns false for a null argument, a failed open or a failed size query. */
bool GetFileSize64(const char* path, int64_t* size);

/* A new heap copy of text up to FindSubstringPos(text, pattern); null for a
 * null argument or when memory is short. The caller frees it. */
char* TextBefore(const char* text, const char* pattern);

/* One forward pass: a mismatch sets the pattern position back to its start
 * without comparing that character again. Returns where a full match began,
 * 0 when none did (as for a match at the start), -1 when either is null. */
int64_t FindSubstringPos(const char* text, const char* pattern);

/* The agent's log shutdown: deletes the timer queue, waits for a timer
 * callback that is still running, closes the log and releases its
 * settings. Returns 0. REQUIRES: the main thread, at the end of the run. */
int StopAgentLogging();

}  // namespace orv

#endif
