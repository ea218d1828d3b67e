/*
 * The whole check run: log set-up, options, process handling, antivirus
 * detection in both views, exit code, log shutdown. Single-threaded.
 */
#ifndef ORV_CHECK_CHECK_RUN_H
#define ORV_CHECK_CHECK_RUN_H

#include <cstdint>

namespace orv {

/* The exit code when the product runs outside a startup event. */
constexpr int32_t kAlreadyRunningExitCode = 20001;

/* The check's log file, under the agent directory's "logs". */
extern const char* const kCheckLogFileName;

/* Runs the check with the process's command line and returns its exit code:
 * 20001 when the product is running outside a startup event, else the
 * not-found code when both registry views are clear, else the found code. */
int32_t RunCheck(int argc, const char* const* argv);

}  // namespace orv

#endif
