/*
 * The error channel beside the log: each thread's ERROR records since its
 * last clear, written to the log or not, and no other thread's.
 */
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "agent/log.h"
#include "agent/log_errors.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadFile;
using test::TempDir;

/* Each test starts from a closed writer without settings and a thread
 * that keeps no ERROR records, at the default limit. */
class LogErrorsTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        CloseLog();
        FreeLogSettings();
        SetLogLibraryRoot(nullptr);
        SetLogErrorLimit(kLogErrorLimit);
        ClearLogErrors();
    }
    /* The log opened truncated in the test's folder at the level. */
    std::string Open(int level) {
        EXPECT_TRUE(InitDefaultLog());
        EXPECT_TRUE(ConfigureLog("x.log", dir_.path().c_str(), 10000000, level));
        EXPECT_TRUE(OpenLogTruncate());
        return dir_ / "x.log";
    }
    TempDir dir_;
};

TEST_F(LogErrorsTest, TheLastErrorIsTheMessageOfTheLastErrorRecord) {
    std::string path = Open(4);
    LogError("first %d\n", 1);
    LogInfo("info\n");
    LogError("second %s\n", "error");
    LogDebug("debug\n");
    EXPECT_STREQ(GetLastLogError(), "second error\n");
    ASSERT_EQ(CountLogErrors(), 2u);
    CloseLog();
    // Each kept record stands in the log as it is kept, stamp and thread
    // included.
    std::string log = ReadFile(path);
    for (size_t i = 0; i < 2; ++i) {
        std::string record = GetLogErrorRecord(i);
        EXPECT_EQ(record.rfind("[ ", 0), 0u) << record;
        EXPECT_NE(log.find(record), std::string::npos) << record << "\nnot in\n" << log;
    }
    EXPECT_NE(std::string(GetLogErrorRecord(0)).find("] [ERROR] first 1\n"), std::string::npos);
    EXPECT_NE(std::string(GetLogErrorRecord(1)).find("] [ERROR] second error\n"), std::string::npos);
    EXPECT_EQ(GetLogErrorRecord(2), nullptr);
}

TEST_F(LogErrorsTest, OtherLevelsAreNotKept) {
    Open(4);
    LogInfo("info\n");
    LogDebug("debug\n");
    LogTrace("trace\n");
    EXPECT_EQ(CountLogErrors(), 0u);
    EXPECT_STREQ(GetLastLogError(), "");
}

TEST_F(LogErrorsTest, ErrorsAreKeptWhetherOrNotTheLogWritesThem) {
    // No log open.
    LogError("nowhere\n");
    EXPECT_STREQ(GetLastLogError(), "nowhere\n");
    // A level that writes no ERROR records.
    std::string path = Open(1);
    LogError("below the level\n");
    EXPECT_STREQ(GetLastLogError(), "below the level\n");
    SetLogLevel(0);
    LogError("level zero\n");
    EXPECT_STREQ(GetLastLogError(), "level zero\n");
    ASSERT_EQ(CountLogErrors(), 3u);
    EXPECT_NE(std::string(GetLogErrorRecord(0)).find("] [ERROR] nowhere\n"), std::string::npos);
    CloseLog();
    EXPECT_EQ(ReadFile(path).find("[ERROR]"), std::string::npos) << "the log itself is unchanged";
}

TEST_F(LogErrorsTest, ClearForgetsTheThreadsErrors) {
    LogError("one\n");
    LogError("two\n");
    ClearLogErrors();
    EXPECT_STREQ(GetLastLogError(), "");
    EXPECT_EQ(CountLogErrors(), 0u);
    EXPECT_EQ(GetLogErrorRecord(0), nullptr);
    LogError("three\n");
    EXPECT_STREQ(GetLastLogError(), "three\n");
    EXPECT_EQ(CountLogErrors(), 1u);
}

TEST_F(LogErrorsTest, AnotherThreadsErrorsDoNotShow) {
    Open(2);
    LogError("main\n");
    std::string seen;
    size_t count = 0;
    std::thread other([&] {
        // Nothing of the main thread here, and its own error after.
        seen = GetLastLogError();
        count = CountLogErrors();
        LogError("other\n");
        seen += "|" + std::string(GetLastLogError());
        count += CountLogErrors();
        ClearLogErrors();
    });
    other.join();
    EXPECT_EQ(seen, "|other\n");
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(GetLastLogError(), "main\n") << "the other thread's error and clear do not reach this thread";
    EXPECT_EQ(CountLogErrors(), 1u);
}

TEST_F(LogErrorsTest, ManyThreadsEachKeepTheirOwn) {
    Open(2);
    constexpr int kThreads = 4;
    constexpr int kErrors = 50;
    std::vector<std::string> wrong(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < kErrors; ++i) {
                LogError("thread %d error %d\n", t, i);
                std::string expected = "thread " + std::to_string(t) + " error " + std::to_string(i) + "\n";
                if (GetLastLogError() != expected && wrong[t].empty()) wrong[t] = GetLastLogError();
            }
            if (CountLogErrors() != static_cast<size_t>(kErrors) && wrong[t].empty()) wrong[t] = "count";
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], "") << "thread " << t;
    EXPECT_EQ(CountLogErrors(), 0u);
}

TEST_F(LogErrorsTest, AThreadKeepsItsLimitDroppingTheOldest) {
    const size_t total = kLogErrorLimit + 6;
    for (size_t i = 0; i < total; ++i) LogError("error %zu\n", i);
    EXPECT_EQ(CountLogErrors(), kLogErrorLimit);
    EXPECT_EQ(CountDroppedLogErrors(), 6u);
    EXPECT_NE(std::string(GetLogErrorRecord(0)).find("] [ERROR] error 6\n"), std::string::npos);
    EXPECT_EQ(GetLastLogError(), "error " + std::to_string(total - 1) + "\n");

    SetLogErrorLimit(2);
    EXPECT_EQ(CountLogErrors(), 2u);
    EXPECT_EQ(CountDroppedLogErrors(), total - 2);
    EXPECT_EQ(GetLastLogError(), "error " + std::to_string(total - 1) + "\n");
    SetLogErrorLimit(0);  // taken as 1: the last error stays
    EXPECT_EQ(CountLogErrors(), 1u);
    EXPECT_EQ(GetLastLogError(), "error " + std::to_string(total - 1) + "\n");

    ClearLogErrors();
    EXPECT_EQ(CountDroppedLogErrors(), 0u);
}

TEST_F(LogErrorsTest, ALongMessageIsKeptWhole) {
    std::string path = Open(2);
    std::string text(5000, 'x');
    LogError("long %s\n", text.c_str());
    EXPECT_EQ(GetLastLogError(), "long " + text + "\n");
    CloseLog();
    EXPECT_NE(ReadFile(path).find(GetLogErrorRecord(0)), std::string::npos);
}

}  // namespace
}  // namespace orv
