/*
 * Several writer threads log numbered records as fast as they can while the
 * rotation timer, at a period of a few milliseconds, copies and empties the
 * live file again and again. Read back from the oldest copy to the live
 * file, every record must be whole, every numbered record must be there
 * exactly once, each writer's records in the order it wrote them, and the
 * time stamps of all records (the rotation's own included) must never go
 * back. Labelled "concurrency" (also run under ThreadSanitizer).
 */
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "agent/log.h"
#include "agent/log_rotation.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::FileExists;
using test::ReadFile;
using test::SplitLines;
using test::TempDir;

constexpr int kWriters = 4;
constexpr int kMinRecords = 2000;     // each writer writes at least this many
constexpr int kMaxRecords = 200000;   // and stops here whatever happened
constexpr int kWantedCopies = 5;      // and goes on until the rotation made this many copies
constexpr int kLongEvery = 250;       // every so many records is longer than the writer's stack buffer

std::string CopyPath(const TempDir& dir, int n) { return dir / ("order" + std::to_string(n) + ".log"); }

/* The payload of writer t's record i. */
std::string Payload(int t, int i) {
    if (i % kLongEvery == 0) return std::string(3000, static_cast<char>('a' + t));
    return "0123456789abcdefghijklmnopqrstuvwxyz";
}

TEST(LogWriterOrder, RecordsOfSeveralWritersArriveWholeOnceAndInTimeStampOrderWhileTheLogRotates) {
    TempDir dir;
    LogRotationSettings* settings = NewLogRotationSettings();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(SetLogRotationFileName(settings, "order.log"));
    free(settings->directory);
    settings->directory = strdup(dir.path().c_str());
    settings->sizeThreshold = 32 * 1024;
    settings->period = 2;
    settings->maxFileCount = 1000000;  // no copy is ever dropped
    ASSERT_EQ(StartLogRotation(settings), 0);

    std::atomic<bool> rotatedEnough{false};
    std::vector<int> written(kWriters, 0);
    std::vector<std::thread> writers;
    for (int t = 0; t < kWriters; ++t) {
        writers.emplace_back([t, &dir, &rotatedEnough, &written] {
            int i = 0;
            for (; i < kMaxRecords && (i < kMinRecords || !rotatedEnough.load()); ++i) {
                LogInfo("order writer %d record %d payload %s end\n", t, i, Payload(t, i).c_str());
                if (t == 0 && i % 100 == 99 && FileExists(CopyPath(dir, kWantedCopies))) rotatedEnough = true;
            }
            written[t] = i;
        });
    }
    for (std::thread& w : writers) w.join();
    StopAgentLogging();
    free(settings->fileName);
    free(settings->directory);
    free(settings);

    // The highest-numbered copy is the oldest; the live file is the newest.
    int copies = 0;
    while (FileExists(CopyPath(dir, copies + 1))) ++copies;
    EXPECT_GE(copies, kWantedCopies) << "the rotation should have run many times";
    std::vector<std::string> texts;
    for (int n = copies; n >= 1; --n) texts.push_back(ReadFile(CopyPath(dir, n)));
    texts.push_back(ReadFile(dir / "order.log"));

    static const std::regex record(
        R"(^\[ (\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}) \] \[ \d+ \] \[(INFO|ERROR|DEBUG|TRACE)\] (.*)$)");
    static const std::regex numbered(R"(^order writer (\d+) record (\d+) payload (.*) end$)");
    std::vector<int> next(kWriters, 0);  // the record each writer must show next
    std::string lastStamp;
    int faults = 0;
    auto fault = [&faults](const std::string& what) {
        if (++faults <= 5) ADD_FAILURE() << what;
    };
    for (const std::string& text : texts) {
        if (!text.empty() && text.back() != '\n') fault("a file ends inside a record");
        for (const std::string& line : SplitLines(text)) {
            if (line.rfind("Log open time: ", 0) == 0 || line.rfind("Log close time: ", 0) == 0) continue;
            std::smatch m;
            if (!std::regex_match(line, m, record)) {
                fault("not a whole record: " + line.substr(0, 200));
                continue;
            }
            std::string stamp = m[1].str();
            if (stamp < lastStamp) fault("time stamp " + stamp + " after " + lastStamp);
            lastStamp = stamp;
            std::string message = m[3].str();
            if (message.rfind("order writer ", 0) != 0) continue;  // the rotation's own records
            std::smatch s;
            if (!std::regex_match(message, s, numbered)) {
                fault("cut record: " + line.substr(0, 200));
                continue;
            }
            int t = std::stoi(s[1].str());
            int i = std::stoi(s[2].str());
            if (t < 0 || t >= kWriters) {
                fault("unknown writer: " + line.substr(0, 200));
                continue;
            }
            if (i != next[t]) {
                fault("writer " + std::to_string(t) + ": record " + std::to_string(i) + " where " +
                      std::to_string(next[t]) + " was due");
            }
            if (s[3].str() != Payload(t, i)) fault("wrong payload: " + line.substr(0, 200));
            next[t] = i + 1;
        }
    }
    EXPECT_EQ(faults, 0);
    for (int t = 0; t < kWriters; ++t) {
        EXPECT_EQ(next[t], written[t]) << "writer " << t << ": records missing at the end";
    }
}

}  // namespace
}  // namespace orv
