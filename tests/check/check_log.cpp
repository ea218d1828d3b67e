#include "tests/check/check_log.h"

#include <algorithm>
#include <regex>

#include "tests/support/test_support.h"

namespace orv::test {

std::vector<std::string> LogEntries(const std::string& logText) {
    static const std::regex record(
        R"(^\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ -?\d+ \] (\[(INFO|ERROR|DEBUG|TRACE)\]) (.*)$)");
    static const std::regex openClose(R"(^(Log (open|close) time): \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}$)");
    std::vector<std::string> entries;
    for (const std::string& line : SplitLines(logText)) {
        std::smatch m;
        if (std::regex_match(line, m, record)) {
            entries.push_back(m[1].str() + " " + m[3].str());
        } else if (std::regex_match(line, m, openClose)) {
            entries.push_back(m[1].str());
        } else {
            entries.push_back("MALFORMED: " + line);
        }
    }
    return entries;
}

bool HasEntry(const std::vector<std::string>& entries, const std::string& line) {
    return std::find(entries.begin(), entries.end(), line) != entries.end();
}

int CountEntriesStartingWith(const std::vector<std::string>& entries, const std::string& prefix) {
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
}

}  // namespace orv::test
