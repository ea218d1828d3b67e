/*
 * Writes the result message texts of a few codes into a log, so that the
 * Wine tests can look at what the system's message table and our own table
 * give on the real Windows API:
 *   result_message_probe.exe DIRECTORY
 * logs to DIRECTORY\probe.log at level 4 and returns 0, or 1 when the log
 * cannot be opened.
 */
#include "agent/log.h"
#include "agent/result_messages.h"

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    if (!orv::InitDefaultLog() || !orv::ConfigureLog("probe.log", argv[1], 0, 4) || !orv::OpenLogTruncate()) {
        return 1;
    }
    orv::LogResultCode(0);
    orv::LogResultCode(2);
    orv::LogResultCodeAnsi(5);
    orv::LogResultCode(17022);
    orv::LogResultCode(-5);
    orv::LogResultCode(2359302);
    orv::CloseLog();
    orv::FreeLogSettings();
    return 0;
}
