/*
 * The check run. Single-threaded (the log rotation timer runs beside it).
 */
#include "check/check_run.h"

#include "agent/agent_log.h"
#include "agent/log.h"
#include "agent/log_rotation.h"
#include "check/antivirus.h"
#include "check/check_options.h"
#include "check/process_handling.h"

namespace orv {

const char* const kCheckLogFileName = "zrprereqhandler.log";

int32_t RunCheck(int argc, const char* const* argv) {
    // Without a log the run goes on; its records are then dropped.
    StartAgentLogging(kCheckLogFileName);

    CheckOptions options;
    ParseCheckOptions(argc, argv, &options);

    bool already = CheckAlreadyRunning(options.processName.c_str());
    bool clear = CheckAntivirusFix(true);
    if (clear) clear = CheckAntivirusFix(false);

    int32_t exitCode;
    if (already) {
        LogInfo("Application is Already running by another process\n");
        exitCode = kAlreadyRunningExitCode;
    } else {
        exitCode = clear ? options.notFoundError : options.foundError;
    }
    LogInfo("Exit Code : %ld\n", static_cast<long>(exitCode));

    StopAgentLogging();
    return exitCode;
}

}  // namespace orv
