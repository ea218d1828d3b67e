/*
 * Reading the check's log in tests: records reduced to "[TAG] message" and
 * the open and close lines to their fixed text.
 */
#ifndef ORV_TESTS_CHECK_CHECK_LOG_H
#define ORV_TESTS_CHECK_CHECK_LOG_H

#include <string>
#include <vector>

namespace orv::test {

/* One entry per line: "[INFO] text" for a record, "Log open time" and
 * "Log close time" for those lines, "MALFORMED: line" for anything else. */
std::vector<std::string> LogEntries(const std::string& logText);

/* True when entries hold line exactly. */
bool HasEntry(const std::vector<std::string>& entries, const std::string& line);

/* How many entries start with prefix. */
int CountEntriesStartingWith(const std::vector<std::string>& entries, const std::string& prefix);

}  // namespace orv::test

#endif
