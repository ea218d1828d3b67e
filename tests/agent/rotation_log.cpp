#include "tests/agent/rotation_log.h"

#include <algorithm>
#include <regex>

#include "agent/log.h"

namespace orv::test {

void OpenTestLog(const TempDir& dir, int level) {
    CloseTestLog();
    InitDefaultLog();
    ConfigureLog("test.log", dir.path().c_str(), 10000000, level);
    OpenLogTruncate();
}

void CloseTestLog() {
    CloseLog();
    FreeLogSettings();
}

std::vector<std::string> TestLogRecords(const TempDir& dir) {
    static const std::regex record(
        R"(^\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ -?\d+ \] (\[(INFO|ERROR|DEBUG|TRACE)\] .*)$)");
    std::vector<std::string> records;
    for (const std::string& line : SplitLines(ReadFile(dir / "test.log"))) {
        if (line.rfind("Log open time: ", 0) == 0 || line.rfind("Log close time: ", 0) == 0) continue;
        std::smatch m;
        records.push_back(std::regex_match(line, m, record) ? m[1].str() : "MALFORMED: " + line);
    }
    return records;
}

bool HasRecord(const std::vector<std::string>& records, const std::string& line) {
    return std::find(records.begin(), records.end(), line) != records.end();
}

}  // namespace orv::test
