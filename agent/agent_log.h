/*
 * The agent's log set-up: the installation directory and log level from the
 * registry, the rotation start, and the agent's log file under the agent
 * directory's "logs". Start-up and shutdown run on the main thread.
 */
#ifndef ORV_AGENT_AGENT_LOG_H
#define ORV_AGENT_AGENT_LOG_H

#include <cstdint>

namespace orv {

/* The agent's installation directory as read from the registry (it ends in
 * a backslash), or null before StartAgentLogging has read it. Lives for the
 * whole run; the rotation reads it too. */
extern char* gv_agentDirectory;

/* The agent's event-enabled flag; starts at 1. */
extern int32_t gv_eventEnabled;

/* Reads the installation directory, makes the rotation settings for
 * fileName and starts the rotation, which opens the log. Returns 0, or the
 * registry error when the installation directory cannot be read (then no
 * log is opened). */
long StartAgentLogging(const char* fileName);

/* Opens the agent's log: object lock, event flag, default set-up, level
 * from ZRAgentLogLevel (2 when it cannot be read), then openMode 2 empties
 * the file and any other mode appends. Returns 0 or 13. */
int OpenAgentLog(const char* fileName, const char* directory, int32_t openMode);

}  // namespace orv

#endif
