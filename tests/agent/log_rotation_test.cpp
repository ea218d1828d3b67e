/*
 * Log rotation on real files: the size threshold, the shift of numbered
 * copies, copy names, a missing live file, the timer registration line and
 * the shutdown without a timer queue. Each test rotates in its own
 * directory and logs to another.
 */
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/log_rotation.h"
#include "tests/agent/rotation_log.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::FileExists;
using test::HasRecord;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class LogRotationTest : public ::testing::Test {
protected:
    void SetUp() override { test::OpenTestLog(logDir_, 4); }
    void TearDown() override { test::CloseTestLog(); }

    std::string Live(const std::string& name = "x.log") const { return dir_ / name; }
    std::vector<std::string> Records() const { return test::TestLogRecords(logDir_); }

    TempDir dir_;     // the rotated files
    TempDir logDir_;  // the writer's own log
};

TEST_F(LogRotationTest, ThresholdIsReachedAtExactlyItsSize) {
    WriteFile(Live(), std::string(1999999, 'a'));
    EXPECT_FALSE(CheckLogSizeReached(Live().c_str(), 2000000));
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir_.path().c_str(), "x.log", 5, 2000000), 0);
    EXPECT_FALSE(FileExists(dir_ / "x1.log"));
    EXPECT_EQ(ReadFile(Live()).size(), 1999999u);

    WriteFile(Live(), std::string(2000000, 'b'));
    EXPECT_TRUE(CheckLogSizeReached(Live().c_str(), 2000000));
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir_.path().c_str(), "x.log", 5, 2000000), 0);
    EXPECT_EQ(ReadFile(dir_ / "x1.log"), std::string(2000000, 'b'));
    EXPECT_EQ(ReadFile(Live()), "");

    std::vector<std::string> log = Records();
    EXPECT_TRUE(HasRecord(log, "[INFO] CheckLogSizeReached : The log file size of " + Live() +
                                   " is given by 1999999 "));
    EXPECT_TRUE(HasRecord(log, "[DEBUG] CheckLogSizeReached : The size is less the required size "));
    EXPECT_TRUE(HasRecord(log, "[INFO] CheckLogSizeReached : The size is greater than the given size ........."));
}

TEST_F(LogRotationTest, FirstRotationEmptiesTheLiveFileThatTheWriterKeepsAppendingTo) {
    // The writer's own log is the live file here.
    test::CloseTestLog();
    InitDefaultLog();
    ConfigureLog("x.log", dir_.path().c_str(), 0, 2);
    ASSERT_TRUE(OpenLogAppend());
    LogInfo("before the rotation\n");
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir_.path().c_str(), "x.log", 5, 10), 0);
    LogInfo("after the rotation\n");
    CloseLog();
    FreeLogSettings();

    std::string copy = ReadFile(dir_ / "x1.log");
    std::string live = ReadFile(Live());
    EXPECT_NE(copy.find("before the rotation\n"), std::string::npos);
    EXPECT_EQ(copy.find("after the rotation"), std::string::npos);
    // The record announcing the emptying is the copy's last.
    EXPECT_NE(copy.find("RotateSpecificLogs : Copying the file "), std::string::npos);
    EXPECT_EQ(live.find("before the rotation"), std::string::npos);
    EXPECT_EQ(live.rfind("[ ", 0), 0u) << live;  // starts with a whole record at offset 0
    EXPECT_NE(live.find("after the rotation\n"), std::string::npos);
    EXPECT_EQ(live.find('\0'), std::string::npos);  // no hole before the new end
}

TEST_F(LogRotationTest, FullSetOfCopiesShiftsUpAndDropsTheOldest) {
    WriteFile(Live(), "live");
    for (int n = 1; n <= 4; ++n) WriteFile(dir_ / ("x" + std::to_string(n) + ".log"), "copy" + std::to_string(n));
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir_.path().c_str(), "x.log", 5, 1), 0);
    EXPECT_EQ(ReadFile(Live()), "");
    EXPECT_EQ(ReadFile(dir_ / "x1.log"), "live");
    EXPECT_EQ(ReadFile(dir_ / "x2.log"), "copy1");
    EXPECT_EQ(ReadFile(dir_ / "x3.log"), "copy2");
    EXPECT_EQ(ReadFile(dir_ / "x4.log"), "copy3");
    EXPECT_FALSE(FileExists(dir_ / "x5.log"));

    std::vector<std::string> log = Records();
    std::string base = dir_.path() + "\\";
    EXPECT_TRUE(HasRecord(log, "[INFO] RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames "
                               "method is : 5 "));
    EXPECT_TRUE(HasRecord(log, "[INFO] RotateSpecificLogs : The file " + base + "\\x4.log was successfully deleted..:"));
    EXPECT_TRUE(HasRecord(log, "[INFO] RotateSpecificLogs : File copied from " + base + "\\x3.log to  " + base +
                                   "\\x4.log . "));
}

TEST_F(LogRotationTest, PartialSetOfCopiesGrowsByOne) {
    WriteFile(Live(), "live");
    WriteFile(dir_ / "x1.log", "copy1");
    WriteFile(dir_ / "x2.log", "copy2");
    RotateLoggerForEverRunningProcess(dir_.path().c_str(), "x.log", 5, 1);
    EXPECT_EQ(ReadFile(dir_ / "x1.log"), "live");
    EXPECT_EQ(ReadFile(dir_ / "x2.log"), "copy1");
    EXPECT_EQ(ReadFile(dir_ / "x3.log"), "copy2");
    EXPECT_FALSE(FileExists(dir_ / "x4.log"));
}

TEST_F(LogRotationTest, CopyNamesTakeThePartBeforeTheFirstDotLog) {
    struct Case {
        const char* name;
        const char* copy;
    } cases[] = {{"x.log", "x1.log"}, {"x.txt", "1.log"}, {"x..log", "1.log"}, {"a.log.log", "a1.log"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char* built = BuildRotatedFileName("D:\\logs", c.name, 1);
        ASSERT_NE(built, nullptr);
        EXPECT_EQ(std::string(built), std::string("D:\\logs\\") + c.copy);
        free(built);
    }
    EXPECT_EQ(FindSubstringPos("x.log", ".log"), 1);
    EXPECT_EQ(FindSubstringPos("x..log", ".log"), 0);  // the second '.' is not tried as a new start
    EXPECT_EQ(FindSubstringPos(nullptr, ".log"), -1);
    EXPECT_EQ(TextBefore(nullptr, ".log"), nullptr);
}

TEST_F(LogRotationTest, NameWithoutDotLogIsCopiedToANumberOnlyName) {
    WriteFile(Live("x.txt"), "text log");
    RotateLoggerForEverRunningProcess(dir_.path().c_str(), "x.txt", 5, 1);
    EXPECT_EQ(ReadFile(dir_ / "1.log"), "text log");
    EXPECT_EQ(ReadFile(Live("x.txt")), "");
}

TEST_F(LogRotationTest, MissingLiveFileRotatesNothingAndLogsWhy) {
    EXPECT_FALSE(CheckLogSizeReached(Live().c_str(), 0u + 1u));
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir_.path().c_str(), "x.log", 5, 2000000), 0);
    EXPECT_FALSE(FileExists(Live()));
    EXPECT_FALSE(FileExists(dir_ / "x1.log"));
    std::vector<std::string> log = Records();
    EXPECT_TRUE(HasRecord(log, "[ERROR] CheckLogSizeReached : Unable to get the file handle "));
    // The system's text, trimmed.
    EXPECT_TRUE(HasRecord(log, "[ERROR] Error Code : 2 , Error Message : The system cannot find the file specified. "));
    EXPECT_TRUE(HasRecord(log, "[ERROR] CheckLogSizeReached : Error occurred in getting the size 6 "));
    EXPECT_TRUE(HasRecord(log, "[INFO] CheckLogSizeReached : The log file size of " + Live() + " is given by 0 "));
}

TEST_F(LogRotationTest, ModeZeroMovesOnlyFilesAboveTheThreshold) {
    WriteFile(Live("a.log"), std::string(11, 'a'));
    WriteFile(Live("b.log"), std::string(10, 'b'));
    std::string base = dir_.path() + "\\";
    EXPECT_EQ(RotateSpecificLogs(base.c_str(), "a.log;b.log;c.log", 5, 10, 0), 0);
    EXPECT_FALSE(FileExists(Live("a.log")));
    EXPECT_EQ(ReadFile(dir_ / "a1.log"), std::string(11, 'a'));
    EXPECT_EQ(ReadFile(Live("b.log")), std::string(10, 'b'));
    EXPECT_FALSE(FileExists(dir_ / "b1.log"));
    std::vector<std::string> log = Records();
    EXPECT_TRUE(HasRecord(log, "[INFO] RotateSpecificLogs : Sucessfully got the " + base + "\\b.log File size = 10 "));
    EXPECT_TRUE(HasRecord(log, "[ERROR] RotateSpecificLogs : hFile is NULL or not AVAILABLE (Errorcode : 2) for the "
                               "file name " + base + "\\c.log . "));
}

TEST_F(LogRotationTest, CountIsMinusOneForAMissingDirectory) {
    std::string missing = dir_ / "nothing";
    EXPECT_EQ(FindNoOfRepeatedFileNames(missing.c_str(), "x"), -1);
    EXPECT_TRUE(HasRecord(Records(), "[ERROR] Error Code : 3 , Error Message : The system cannot find the path specified.  "));
    WriteFile(Live(), "");
    WriteFile(dir_ / "X1.LOG", "");
    WriteFile(dir_ / "y.log", "");
    EXPECT_EQ(FindNoOfRepeatedFileNames(dir_.path().c_str(), "x"), 2);  // letter case is ignored
}

TEST_F(LogRotationTest, GetFileSize64ReportsSizesAndFailures) {
    int64_t size = 7;
    WriteFile(Live(), "12345");
    EXPECT_TRUE(GetFileSize64(Live().c_str(), &size));
    EXPECT_EQ(size, 5);
    EXPECT_FALSE(GetFileSize64((dir_ / "none").c_str(), &size));
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(GetFileSize64(nullptr, &size));
}

/* The registration line of the timer, for the period's whole minutes. */
void ExpectRegistrationLine(uint32_t period, const std::string& minutes) {
    TempDir logDir;
    TempDir rotated;
    test::OpenTestLog(logDir, 3);
    LogRotationSettings* settings = NewLogRotationSettings();
    ASSERT_NE(settings, nullptr);
    free(settings->directory);
    settings->directory = strdup(rotated.path().c_str());
    settings->period = period;
    StartLogRotation(settings);  // the log is open already: the start's records are kept
    StopAgentLogging();
    std::vector<std::string> log = test::TestLogRecords(logDir);
    EXPECT_TRUE(HasRecord(log, "[INFO] ServiceMain : TimerQueue is created successfully "));
    EXPECT_TRUE(HasRecord(log, "[DEBUG] LoggerTimerMethod : Registered the TimerRoutime callback in next " + minutes +
                                   " minutes . "));
    EXPECT_FALSE(HasRecord(log, "[ERROR] ServiceMain : DeleteTimerQueue is failed due to following error !! "));
    free(settings->fileName);
    free(settings->directory);
    free(settings);  // no timer holds it any more
}

TEST(LogRotationTimer, RegistrationLineGivesWholeMinutes) {
    ExpectRegistrationLine(900000, "15");
    ExpectRegistrationLine(90000, "1");
}

TEST(LogRotationTimer, StopWithoutTimerQueueStillClosesTheLog) {
    TempDir dir;
    LogRotationSettings* settings = NewLogRotationSettings();
    ASSERT_NE(settings, nullptr);
    free(settings->directory);
    settings->directory = strdup(dir.path().c_str());
    settings->periodic = false;
    WriteFile(dir / "computer.log", std::string(2000000, 'z'));
    EXPECT_EQ(StartLogRotation(settings), 0);
    EXPECT_EQ(ReadFile(dir / "computer1.log").size(), 2000000u);  // rotated once at start
    LogInfo("between\n");
    EXPECT_EQ(StopAgentLogging(), 0);
    EXPECT_EQ(gv_logFilePtr, nullptr);
    std::vector<std::string> lines = test::SplitLines(ReadFile(dir / "computer.log"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("Log open time: ", 0), 0u);
    EXPECT_NE(lines[1].find("[INFO] between"), std::string::npos);
    EXPECT_EQ(lines[2].rfind("Log close time: ", 0), 0u);
    free(settings->fileName);
    free(settings->directory);
    free(settings);
}

}  // namespace
}  // namespace orv
