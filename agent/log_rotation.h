/*
 * Rotation of the agent's log by size, at start and on a one-shot timer
 * that re-arms itself, and the agent's log shutdown.
 *
 * Copies of the live file x.log are x1.log (newest) up to x<N-1>.log
 * (oldest) in the live file's directory:
 *
 *   x3.log -> deleted (when the count is reached)
 *   x2.log -> x3.log, x1.log -> x2.log, x.log -> x1.log, x.log emptied
 *
 * The live file is emptied in place, so a writer holding it open for
 * appending goes on at its new end. Start and stop run on the main thread;
 * the timer callback runs on a pool thread.
 */
#ifndef ORV_AGENT_LOG_ROTATION_H
#define ORV_AGENT_LOG_ROTATION_H

#include <cstdint>

namespace orv {

struct LogRotationSettings {
    char* fileName;          // the live file's name; "computer.log" by default
    char* directory;         // the live file's directory, without a trailing separator
    int32_t maxFileCount;    // the live file plus at most this count minus one copies
    uint64_t sizeThreshold;  // rotate once the live file has reached this size
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
 * Returns what OpenAgentLog returns. */
int StartLogRotation(LogRotationSettings* settings);

/* The agent's log shutdown: removes the timer queue, closes the log and
 * releases its settings. Returns 0. REQUIRES: the main thread, at the end. */
int StopAgentLogging();

}  // namespace orv

#endif
