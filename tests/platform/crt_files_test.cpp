/*
 * _fsopen, _mkdir and LinuxPath: Windows-style paths with backslashes on a
 * real directory tree.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/linux/paths.h"
#include "platform/win32.h"
#include "tests/platform/platform_support.h"

namespace orv::test {
namespace {

TEST(CrtFiles, MkdirTakesBackslashesAsSeparatorsAndSetsErrno) {
    TempDir dir;
    std::string logs = dir.path() + "\\logs";
    EXPECT_EQ(_mkdir(logs.c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "logs"));
    EXPECT_EQ(_mkdir((logs + "\\old").c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "logs/old"));

    errno = 0;
    EXPECT_EQ(_mkdir(logs.c_str()), -1);
    EXPECT_EQ(errno, EEXIST);
    errno = 0;
    EXPECT_EQ(_mkdir((dir.path() + "\\missing\\sub").c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(CrtFiles, FsopenOpensTheFileNamedWithBackslashes) {
    TempDir dir;
    ASSERT_EQ(_mkdir((dir / "logs").c_str()), 0);
    std::string windowsName = dir.path() + "\\logs\\x.log";
    FILE* file = _fsopen(windowsName.c_str(), "at", _SH_DENYWR);
    ASSERT_NE(file, nullptr);
    std::fputs("first\n", file);
    std::fclose(file);
    file = _fsopen(windowsName.c_str(), "a+", _SH_DENYNO);
    ASSERT_NE(file, nullptr);
    std::fputs("second\n", file);
    std::fclose(file);
    EXPECT_EQ(ReadFile(dir / "logs/x.log"), "first\nsecond\n");

    file = _fsopen(windowsName.c_str(), "rt", _SH_DENYNO);
    ASSERT_NE(file, nullptr);
    char line[16] = {};
    EXPECT_NE(std::fgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "first\n");
    std::fclose(file);

    errno = 0;
    EXPECT_EQ(_fsopen((dir.path() + "\\logs\\absent.log").c_str(), "r", _SH_DENYNO), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

TEST(CrtFiles, LinuxPathTurnsEveryBackslashIntoASlash) {
    EXPECT_EQ(orv::platform::LinuxPath("C:\\a\\b/c\\"), "C:/a/b/c/");
    EXPECT_EQ(orv::platform::LinuxPath(nullptr), "");
}

}  // namespace
}  // namespace orv::test
