/*
 * The levelled log writer: one process-wide log file.
 *
 * A record is "[ timestamp ] [ thread ] [TAG] message"; the message carries
 * its own line end. Records are written whole under the object lock keyed by
 * the writer's lock token, so writers on several threads never interleave;
 * records that several threads log at once are written together, in the
 * order of their time stamps. Each call returns once its record is written
 * and flushed.
 * Levels: INFO is written from setting 1, ERROR from 2, DEBUG from 3, TRACE
 * from 4; setting 0 writes nothing. Records written while no file is open
 * are dropped silently.
 *
 * The writers are thread-safe. Configuration, open and close are meant for
 * start-up and shutdown, when one thread runs.
 */
#ifndef ORV_AGENT_LOG_H
#define ORV_AGENT_LOG_H

#include <cstdint>
#include <cstdio>

#if defined(__GNUC__)
#define ORV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define ORV_PRINTF(fmt, args)
#endif

namespace orv {

/* The open log file, or null. */
extern FILE* gv_logFilePtr;

void LogInfo(const char* format, ...) ORV_PRINTF(1, 2);
void LogError(const char* format, ...) ORV_PRINTF(1, 2);
void LogDebug(const char* format, ...) ORV_PRINTF(1, 2);
void LogTrace(const char* format, ...) ORV_PRINTF(1, 2);

/* The library's default set-up: with no file open and no name set, name
 * "velkra.log", a new lock token, level 3. Returns false only when the name
 * cannot be copied. */
bool InitDefaultLog();

/* Replaces file name and directory with copies and stores the maximum size
 * and the level's low 8 bits. False when a copy fails. */
bool ConfigureLog(const char* fileName, const char* directory, int32_t maxSize, int32_t level);

/* Open the log file, emptying it / appending to it. The path is
 * "<directory>/<name>", else "<library root>/logs/<name>", else
 * "../logs/<name>"; the directory is created first. True when a file is
 * open afterwards. */
bool OpenLogTruncate();
bool OpenLogAppend();

/* Writes the close line and closes the file. */
void CloseLog();

/* Releases file name, directory, full path and lock token. */
void FreeLogSettings();

void SetLogLevel(uint8_t level);
bool SetLogFileName(const char* fileName);
bool SetLogDirectory(const char* directory);
bool SetLogFilePtr(FILE* file);
/* The library root that OpenLog* falls back on (set by SetVelkraRoot). The
 * text is copied; null clears it. */
bool SetLogLibraryRoot(const char* root);

uint8_t GetLogLevel();
int32_t GetLogMaxSize();
/* The full path that was opened last, or null. */
const char* GetLogFullPath();
/* The object lock key that guards the file, or null before a set-up. */
const void* GetLogLockToken();

/* A new heap text with the local time now, "%d-%02d-%02d
 * %02d:%02d:%02d:%03d"; null when memory is short. The caller frees it. */
char* GetTimeStamp();

/* Creates one directory. Returns 0 or the runtime's error number (17 when
 * it exists, 2 when its parent is missing). */
int MakeDirectory(const char* path);

/* Creates a directory and its missing parents ("/" separates components).
 * Returns 0 when it created the directory, 1 when it existed, otherwise the
 * error number. */
int MakeDirectoryPath(const char* path);

}  // namespace orv

#endif
