/*
 * Helpers of the rotation and result message tests: a log writer opened on
 * a fresh file at a chosen level, and its records reduced to "[TAG] text".
 * Used from the main test thread.
 */
#ifndef ORV_TESTS_AGENT_ROTATION_LOG_H
#define ORV_TESTS_AGENT_ROTATION_LOG_H

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace orv::test {

/* Opens the log writer on dir/test.log (emptied) at the given level. */
void OpenTestLog(const TempDir& dir, int level);

/* Closes the writer and releases its settings. */
void CloseTestLog();

/* The records of the log file in dir, each as "[TAG] message" without its
 * line end; open and close lines are left out. A line that is no whole
 * record appears as "MALFORMED: line". */
std::vector<std::string> TestLogRecords(const TempDir& dir);

/* True when records hold line exactly. */
bool HasRecord(const std::vector<std::string>& records, const std::string& line);

}  // namespace orv::test

#endif
