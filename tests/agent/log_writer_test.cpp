/*
 * The log writer: record layout, levels, open paths and modes, directory
 * creation, and whole records from several threads.
 */
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "agent/strings.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadFile;
using test::SplitLines;
using test::TempDir;

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/* Each test starts from a closed writer without settings. */
class LogWriterTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        CloseLog();
        FreeLogSettings();
        SetLogLibraryRoot(nullptr);
    }
    /* Default set-up, then the given directory and level; opened truncated. */
    std::string Open(int level, const std::string& name = "x.log") {
        EXPECT_TRUE(InitDefaultLog());
        EXPECT_TRUE(ConfigureLog(name.c_str(), dir_.path().c_str(), 10000000, level));
        EXPECT_TRUE(OpenLogTruncate());
        return dir_ / name;
    }
    static void WriteAllLevels() {
        LogInfo("info %d\n", 1);
        LogError("error %s\n", "two");
        LogDebug("debug\n");
        LogTrace("trace\n");
    }
    TempDir dir_;
};

TEST_F(LogWriterTest, RecordLayout) {
    std::string path = Open(4);
    LogInfo("Exit Code : %ld\n", -5L);
    CloseLog();
    std::vector<std::string> lines = SplitLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(Log open time: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d\d\d)")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(
        lines[1], std::regex(R"(\[ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d\d\d \] \[ \d+ \] \[INFO\] Exit Code : -5)")))
        << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Log close time: .*)")));
    EXPECT_EQ(ReadFile(path).back(), '\n');
}

TEST_F(LogWriterTest, LevelSettingFiltersRecords) {
    struct Case {
        int setting;
        const char* expected;
    } cases[] = {
        {0, ""},
        {1, "I"},
        {2, "IE"},
        {3, "IED"},
        {4, "IEDT"},
        {200, "IEDT"},
        {258, "IE"},  // only the low 8 bits count
        {256, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        std::string path = Open(c.setting);
        WriteAllLevels();
        CloseLog();
        std::string seen;
        for (const std::string& line : SplitLines(ReadFile(path))) {
            if (line.find("[INFO] info 1") != std::string::npos) seen += 'I';
            if (line.find("[ERROR] error two") != std::string::npos) seen += 'E';
            if (line.find("[DEBUG] debug") != std::string::npos) seen += 'D';
            if (line.find("[TRACE] trace") != std::string::npos) seen += 'T';
        }
        EXPECT_EQ(seen, c.expected);
        FreeLogSettings();
    }
}

TEST_F(LogWriterTest, RecordsWhileClosedLeaveNoTrace) {
    WriteAllLevels();  // no settings at all
    std::string path = Open(4);
    CloseLog();
    WriteAllLevels();
    EXPECT_EQ(SplitLines(ReadFile(path)).size(), 2u);  // open and close lines only
}

TEST_F(LogWriterTest, SecondOpenKeepsTheFirst) {
    std::string path = Open(4);
    EXPECT_TRUE(OpenLogAppend());
    CloseLog();
    std::vector<std::string> lines = SplitLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("[TRACE] gv_logFilePtr already Set"), std::string::npos);
}

TEST_F(LogWriterTest, AppendKeepsEarlierRecordsAndTruncateEmpties) {
    std::string path = Open(2);
    LogInfo("first run\n");
    CloseLog();
    ASSERT_TRUE(OpenLogAppend());
    LogInfo("second run\n");
    CloseLog();
    std::string text = ReadFile(path);
    EXPECT_NE(text.find("first run"), std::string::npos);
    EXPECT_NE(text.find("second run"), std::string::npos);
    ASSERT_TRUE(OpenLogTruncate());
    CloseLog();
    EXPECT_EQ(ReadFile(path).find("first run"), std::string::npos);
}

TEST_F(LogWriterTest, OpenCreatesTheDirectoryAndJoinsWithSlash) {
    std::string nested = dir_ / "a/b/logs";
    ASSERT_TRUE(InitDefaultLog());
    ASSERT_TRUE(ConfigureLog("n.log", nested.c_str(), 0, 2));
    ASSERT_TRUE(OpenLogAppend());
    EXPECT_EQ(std::string(GetLogFullPath()), nested + "/n.log");
    CloseLog();
    EXPECT_TRUE(test::FileExists(nested + "/n.log"));
}

TEST_F(LogWriterTest, BackslashesInTheDirectoryAreSeparators) {
    std::string windowsStyle = dir_.path() + "\\logs";
    ASSERT_TRUE(InitDefaultLog());
    ASSERT_TRUE(ConfigureLog("w.log", windowsStyle.c_str(), 0, 2));
    ASSERT_TRUE(OpenLogAppend());
    EXPECT_EQ(std::string(GetLogFullPath()), windowsStyle + "/w.log");
    CloseLog();
    EXPECT_TRUE(test::FileExists(dir_ / "logs/w.log"));
}

TEST_F(LogWriterTest, LibraryRootAndRelativeFallback) {
    ASSERT_TRUE(InitDefaultLog());  // velkra.log, no directory
    ASSERT_TRUE(SetLogLibraryRoot(dir_.path().c_str()));
    ASSERT_TRUE(OpenLogAppend());
    EXPECT_EQ(std::string(GetLogFullPath()), dir_.path() + "/logs/velkra.log");
    EXPECT_EQ(GetLogLevel(), 3);
    CloseLog();
    EXPECT_TRUE(test::FileExists(dir_ / "logs/velkra.log"));

    // Neither directory nor root: ../logs beside the working directory.
    SetLogLibraryRoot(nullptr);
    std::string work = dir_ / "work";
    ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(work.c_str()), 0);
    bool opened = OpenLogAppend();
    CloseLog();
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(test::FileExists(dir_ / "logs/velkra.log"));
}

TEST_F(LogWriterTest, OpenFailsWhereNoFileCanBeMade) {
    std::string blocker = dir_ / "file";
    test::WriteFile(blocker, "x");
    ASSERT_TRUE(InitDefaultLog());
    ASSERT_TRUE(ConfigureLog("x.log", (blocker + "/sub").c_str(), 0, 2));
    EXPECT_FALSE(OpenLogAppend());
    EXPECT_EQ(gv_logFilePtr, nullptr);
}

TEST(MakeDirectoryPath, CreatesMissingParents) {
    TempDir dir;
    std::string deep = dir / "a/b/c/d";
    EXPECT_EQ(MakeDirectoryPath(deep.c_str()), 0);
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_EQ(MakeDirectoryPath(deep.c_str()), 1);
    EXPECT_EQ(MakeDirectoryPath((dir / "a/b/").c_str()), 1);
    EXPECT_EQ(MakeDirectoryPath((dir / "x/y/").c_str()), 0);  // trailing slash
    EXPECT_TRUE(IsDirectory(dir / "x/y"));
    test::WriteFile(dir / "f", "");
    EXPECT_EQ(MakeDirectoryPath((dir / "f/g").c_str()), ENOTDIR);
    EXPECT_EQ(MakeDirectory((dir / "a").c_str()), EEXIST);
    EXPECT_EQ(MakeDirectory((dir / "m/n").c_str()), ENOENT);
}

TEST_F(LogWriterTest, LongMessagesAreWrittenWhole) {
    std::string path = Open(2);
    std::string big(10000, 'z');
    LogInfo("%s|\n", big.c_str());
    CloseLog();
    EXPECT_NE(ReadFile(path).find(big + "|\n"), std::string::npos);
}

TEST(DuplicateText, CopiesAndTerminates) {
    char* copy = nullptr;
    EXPECT_EQ(DuplicateString(&copy, "abc"), kDupOk);
    EXPECT_STREQ(copy, "abc");
    free(copy);
    EXPECT_EQ(DuplicateBytes(&copy, "abcdef", 3), kDupOk);
    EXPECT_STREQ(copy, "abc");
    free(copy);
    EXPECT_EQ(DuplicateBytes(&copy, nullptr, 0), kDupOk);
    EXPECT_STREQ(copy, "");
    free(copy);
}

}  // namespace
}  // namespace orv
