/*
 * The log rotation in real runs of the check program: a live log that has
 * reached 2000000 bytes before the run becomes copy 1 and the live log
 * holds only the new run; one byte less and the run appends to it.
 */
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/check/check_log.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

class CheckRotationTest : public ::testing::Test {
protected:
    void SetUp() override {
        agentDir_ = tmp_ / "agent";
        mkdir(agentDir_.c_str(), 0755);
        mkdir(LogDir().c_str(), 0755);
        RegistryText reg;
        reg.Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvalis\\Stelvane\\ZRAgent")
            .Text("ZRAgentInstallDir", agentDir_ + "/");
        reg.Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A}")
            .Text("DisplayName", "Some Editor");
        reg.Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B}")
            .Text("DisplayName", "Other Tool");
        WriteFile(tmp_ / "registry.reg", reg.str());
    }

    RunResult Run() {
        return RunProgram(ORV_CHECK_PROGRAM, {}, {{"ORV_REGISTRY_FILE", tmp_ / "registry.reg"}, {"ORV_TICK_COUNT", "3600000"}});
    }

    std::string LogDir() const { return agentDir_ + "/logs"; }
    std::string LivePath() const { return LogDir() + "/zrprereqhandler.log"; }

    /* A log of exactly size bytes made of whole earlier records. */
    static std::string OldLog(size_t size) {
        std::string record = "[ 2025-01-01 00:00:00:000 ] [ 1 ] [INFO] an earlier run\n";
        std::string text;
        while (text.size() + record.size() <= size) text += record;
        text.append(size - text.size() - 1, 'x');
        text += '\n';
        return text;
    }

    TempDir tmp_;
    std::string agentDir_;
};

TEST_F(CheckRotationTest, LogOfTwoMillionBytesBecomesCopyOneAtStart) {
    std::string old = OldLog(2000000);
    WriteFile(LivePath(), old);
    RunResult r = Run();
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(ReadFile(LogDir() + "/zrprereqhandler1.log"), old);
    std::vector<std::string> expected = {
        "Log open time",
        "[INFO] Symantec Av (x64) is not installed in this system.",
        "[INFO] Symantec Av (x86) is not installed in this system.",
        "[INFO] Exit Code : 0",
        "Log close time",
    };
    EXPECT_EQ(LogEntries(ReadFile(LivePath())), expected);
    EXPECT_FALSE(FileExists(LogDir() + "/zrprereqhandler2.log"));
}

TEST_F(CheckRotationTest, LogJustBelowTheThresholdIsAppendedTo) {
    std::string old = OldLog(1999999);
    WriteFile(LivePath(), old);
    EXPECT_EQ(Run().exitStatus, 0);
    EXPECT_FALSE(FileExists(LogDir() + "/zrprereqhandler1.log"));
    std::string live = ReadFile(LivePath());
    ASSERT_GT(live.size(), old.size());
    EXPECT_EQ(live.substr(0, old.size()), old);
    EXPECT_EQ(live.compare(old.size(), 15, "Log open time: "), 0);
}

TEST_F(CheckRotationTest, SecondRotationShiftsTheFirstCopy) {
    WriteFile(LivePath(), OldLog(2000000));
    WriteFile(LogDir() + "/zrprereqhandler1.log", "the oldest copy\n");
    EXPECT_EQ(Run().exitStatus, 0);
    EXPECT_EQ(ReadFile(LogDir() + "/zrprereqhandler2.log"), "the oldest copy\n");
    EXPECT_EQ(ReadFile(LogDir() + "/zrprereqhandler1.log").size(), 2000000u);
}

}  // namespace
}  // namespace orv::test
