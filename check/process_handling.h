/*
 * Handling of the product's running process: found by its executable name,
 * ended in a startup event (or whenever the agent's alwaysKillApps is on),
 * reported as running otherwise. Runs on the check's main thread.
 */
#ifndef ORV_CHECK_PROCESS_HANDLING_H
#define ORV_CHECK_PROCESS_HANDLING_H

#include "platform/win32.h"

namespace orv {

/* Uptime up to and including this many milliseconds is a startup event. */
constexpr DWORD kStartupWindowMs = 900000;

/* True when another process of the name runs and the run is not a startup
 * event; false when none runs, and false after ending them in a startup
 * event. An empty name matches no process. */
bool CheckAlreadyRunning(const char* processName);

/* The id of the first other process whose executable name equals the name
 * in its first 15 characters (ASCII case ignored), or 0 when there is none
 * or the snapshot cannot be taken. */
DWORD FindOtherProcessByName(const char* processName);

/* Terminates every other process whose whole executable name equals the
 * name (ASCII case ignored), pausing 100 ms after each. The checking
 * process itself is never terminated. Returns true when one matched. */
bool KillProcesses(const char* processName);

}  // namespace orv

#endif
