/*
 * Readers for the per-process files under /proc that the process calls
 * need. Each call reads the files afresh; thread-safe.
 */
#ifndef ORV_PLATFORM_LINUX_PROCFS_H
#define ORV_PLATFORM_LINUX_PROCFS_H

#include <sys/types.h>

#include <string>

#include "platform/win32.h"

namespace orv::platform {

/* The fields of /proc/PID/stat that this layer uses. */
struct ProcStat {
    char state = '?';  // R, S, D, Z (zombie), X (dead), ...
    DWORD parentId = 0;
    DWORD threadCount = 0;
    std::string comm;  // the kernel's short name of the process
};

/* Reads /proc/PID/stat into out. Returns false when the process does not
 * exist (any more) or the file cannot be parsed. */
bool ReadProcStat(pid_t pid, ProcStat& out);

/* The executable name of a process without a directory: the base name of the
 * resolved /proc/PID/exe (without a " (deleted)" suffix), else the base name
 * of argv[0] from /proc/PID/cmdline, else comm. */
std::string ProcessExeName(pid_t pid, const std::string& comm);

}  // namespace orv::platform

#endif
