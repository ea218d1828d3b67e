/*
 * Rotation under load: writer threads log numbered records while the
 * rotation timer, at a period of a few milliseconds, rotates the live file
 * again and again; and StopAgentLogging called while a timer callback is
 * busy. Every record must end up exactly once and whole in the live file or
 * one of its copies. Labelled "concurrency" (also run under ThreadSanitizer).
 */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
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

/* A periodic settings record for name in dir; released by FreeSettings. */
LogRotationSettings* MakeSettings(const TempDir& dir, const char* name, uint64_t threshold, uint32_t period,
                                  int32_t maxFileCount) {
    LogRotationSettings* settings = NewLogRotationSettings();
    if (settings == nullptr) return nullptr;
    SetLogRotationFileName(settings, name);
    free(settings->directory);
    settings->directory = strdup(dir.path().c_str());
    settings->sizeThreshold = threshold;
    settings->period = period;
    settings->maxFileCount = maxFileCount;
    return settings;
}

void FreeSettings(LogRotationSettings* settings) {
    free(settings->fileName);
    free(settings->directory);
    free(settings);
}

/* The live file's text followed by that of every copy that exists. */
std::vector<std::string> AllLogFiles(const TempDir& dir, const std::string& stem, int* copies) {
    std::vector<std::string> texts = {ReadFile(dir / (stem + ".log"))};
    *copies = 0;
    for (int n = 1; FileExists(dir / (stem + std::to_string(n) + ".log")); ++n) {
        texts.push_back(ReadFile(dir / (stem + std::to_string(n) + ".log")));
        ++*copies;
    }
    return texts;
}

TEST(LogRotationStress, EveryRecordSurvivesManyRotationsExactlyOnceAndWhole) {
    // Each writer logs at least kRecords records, and goes on (one record
    // a millisecond) until the timer has made kCopies copies or two
    // minutes have passed, however slowly a loaded machine runs the timer.
    constexpr int kThreads = 4;
    constexpr int kRecords = 4000;
    constexpr int kCopies = 10;
    TempDir dir;
    LogRotationSettings* settings = MakeSettings(dir, "stress.log", 48 * 1024, 2, 100000);
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(StartLogRotation(settings), 0);

    std::atomic<bool> enough{false};
    std::vector<int> written(kThreads, 0);
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t, &enough, &written] {
            int i = 0;
            for (; i < kRecords; ++i) {
                LogInfo("stress writer %d record %d payload %s end\n", t, i, "0123456789abcdefghijklmnopqrstuvwxyz");
                if (i % 20 == 19) std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            for (; !enough.load(); ++i) {
                LogInfo("stress writer %d record %d payload %s end\n", t, i, "0123456789abcdefghijklmnopqrstuvwxyz");
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            written[static_cast<size_t>(t)] = i;
        });
    }
    const std::string lastCopy = dir / ("stress" + std::to_string(kCopies) + ".log");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!FileExists(lastCopy) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    enough = true;
    for (std::thread& w : writers) w.join();
    StopAgentLogging();
    FreeSettings(settings);

    int copies = 0;
    std::vector<std::string> texts = AllLogFiles(dir, "stress", &copies);
    EXPECT_GE(copies, kCopies) << "the timer should have rotated many times";

    static const std::regex record(
        R"(^\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ \d+ \] \[(INFO|ERROR|DEBUG|TRACE)\] (.*)$)");
    static const std::regex stressLine(R"(^stress writer (\d+) record (\d+) payload 0123456789abcdefghijklmnopqrstuvwxyz end$)");
    std::map<std::pair<int, int>, int> seen;
    int malformed = 0;
    for (const std::string& text : texts) {
        if (!text.empty()) {
            EXPECT_EQ(text.back(), '\n');
        }
        for (const std::string& line : SplitLines(text)) {
            if (line.rfind("Log open time: ", 0) == 0 || line.rfind("Log close time: ", 0) == 0) continue;
            std::smatch m;
            if (!std::regex_match(line, m, record)) {
                if (++malformed < 5) {
                    ADD_FAILURE() << "not a whole record: " << line;
                }
                continue;
            }
            std::string message = m[2].str();
            if (message.rfind("stress", 0) != 0) continue;  // the rotation's own records
            std::smatch s;
            if (!std::regex_match(message, s, stressLine)) {
                if (++malformed < 5) {
                    ADD_FAILURE() << "cut record: " << line;
                }
                continue;
            }
            ++seen[{std::stoi(s[1].str()), std::stoi(s[2].str())}];
        }
    }
    EXPECT_EQ(malformed, 0);
    int missing = 0, doubled = 0;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_GE(written[static_cast<size_t>(t)], kRecords);
        for (int i = 0; i < written[static_cast<size_t>(t)]; ++i) {
            auto it = seen.find({t, i});
            if (it == seen.end()) {
                if (++missing < 5) {
                    ADD_FAILURE() << "lost: writer " << t << " record " << i;
                }
            } else if (it->second != 1) {
                if (++doubled < 5) {
                    ADD_FAILURE() << "written " << it->second << " times: writer " << t << " record " << i;
                }
            }
        }
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(doubled, 0);
}

int CountOccurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

TEST(LogRotationStress, StopWaitsForARunningCallbackBeforeClosingTheLog) {
    // Thousands of names sharing the live file's prefix and a threshold of
    // one byte: every callback lists and logs them all and rotates, so it
    // runs for milliseconds and a stop soon finds one busy. Every callback
    // that began must have ended before the close line, and nothing follows
    // that line.
    int callbacks = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        TempDir dir;
        for (int i = 0; i < 2000; ++i) test::WriteFile(dir / ("busy_pad_" + std::to_string(i)), "");
        LogRotationSettings* settings = MakeSettings(dir, "busy.log", 1, 1, 3);
        ASSERT_NE(settings, nullptr);
        ASSERT_EQ(StartLogRotation(settings), 0);
        for (int i = 0; i < 3; ++i) {
            LogInfo("main record %d\n", i);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        StopAgentLogging();
        FreeSettings(settings);  // no callback may touch it after the stop

        std::string live = ReadFile(dir / "busy.log");
        std::vector<std::string> lines = SplitLines(live);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("Log close time: ", 0), 0u) << "a record followed the close line";
        // A callback may rotate the stop's own records into a copy.
        std::string all = live + ReadFile(dir / "busy1.log") + ReadFile(dir / "busy2.log");
        int began = CountOccurrences(all, "[INFO] LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n");
        int ended = CountOccurrences(all, "[INFO] LoggerTimerRoutine : End of LoggerTimerRoutine Method\n");
        EXPECT_EQ(began, ended);
        EXPECT_EQ(all.find("DeleteTimerQueue is failed"), std::string::npos);
        callbacks += began;
    }
    EXPECT_GT(callbacks, 0) << "no callback ran in 5 attempts";
}

}  // namespace
}  // namespace orv
