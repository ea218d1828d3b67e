/*
 * The agent's registry readers against a registry file that this program
 * writes before its first registry call, and the agent log set-up.
 */
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "agent/agent_log.h"
#include "agent/log.h"
#include "agent/log_rotation.h"
#include "agent/registry.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

test::TempDir* g_dir = nullptr;

}  // namespace

// Written before the first registry call (main, below).
const char* const kRegistry =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvalis\\Stelvane\\ZRAgent]\r\n"
    "\"ZRAgentInstallDir\"=\"@AGENT@/\"\r\n"
    "\"ZRAgentLogLevel\"=dword:00000102\r\n"
    "\"ZREventEnabled\"=dword:00000000\r\n"
    "\"Text\"=\"abc\"\r\n"
    "\"Unterminated\"=hex:61,62,63\r\n"
    "\"LongText\"=\"level two\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvalis\\Stelvane\\ZRAgent]\r\n"
    "\"Only64\"=dword:00000001\r\n";

namespace {

/* A log at level 4 in the test directory, read back as text. */
class RegistryReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        logDir_ = (*g_dir) / "testlogs";
        ASSERT_TRUE(InitDefaultLog());
        ASSERT_TRUE(ConfigureLog("r.log", logDir_.c_str(), 0, 4));
        ASSERT_TRUE(OpenLogTruncate());
    }
    void TearDown() override {
        CloseLog();
        FreeLogSettings();
    }
    std::string LogText() {
        fflush(gv_logFilePtr);
        return test::ReadFile(logDir_ + "/r.log");
    }
    std::string logDir_;
};

TEST_F(RegistryReaderTest, ReadRegSZGivesATerminatedCopy) {
    char* value = nullptr;
    EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "Text", &value), 0);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "abc");
    free(value);
    // Stored without a terminating zero: the spare zero bytes end the text.
    EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "Unterminated", &value), 0);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "abc");
    free(value);
    EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "Empty", &value), 0);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "");
    free(value);
}

TEST_F(RegistryReaderTest, ReadRegSZMissingValueAndKey) {
    char* value = reinterpret_cast<char*>(1);
    EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "Nope", &value), 2);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(LogText().find("ReadRegSZ"), std::string::npos);  // a missing value is not logged
    EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchKey", "x", &value), 2);
    EXPECT_EQ(value, nullptr);
    EXPECT_NE(LogText().find("[ERROR] ReadRegSZ: Error while opening registry key SOFTWARE\\NoSuchKey ,and the "
                             "error is  2 \n"),
              std::string::npos);
}

TEST_F(RegistryReaderTest, SettingsAreReadInThe32BitView) {
    DWORD value = 99;
    EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "Only64", &value), 2);
    EXPECT_EQ(value, 99u);
    EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "ZRAgentLogLevel", &value), 0);
    EXPECT_EQ(value, 0x102u);
}

TEST_F(RegistryReaderTest, ReadDwordFailuresLeaveTheValueAndLogTheirLine) {
    DWORD value = 7;
    EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "Missing", &value), 2);
    EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchKey", "Gone", &value), 2);
    EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "LongText", &value), ERROR_MORE_DATA);
    EXPECT_EQ(value, 7u);
    std::string log = LogText();
    EXPECT_NE(log.find("[DEBUG] ReadDwordRegistryData:  value  Missing Not found: 2 \n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] ReadDwordRegistryData:  value  Gone Not found: 2 \n"), std::string::npos);
    EXPECT_NE(log.find("[ERROR] ReadDwordRegistryData: Error while reading DWORD value of LongText : 234 \n"),
              std::string::npos);
}

TEST_F(RegistryReaderTest, AgentWrappers) {
    char* dir = nullptr;
    EXPECT_EQ(ReadAgentInstallDir(&dir), 0);
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(std::string(dir), g_dir->path() + "/agent/");
    free(dir);
    int32_t flag = 5;
    EXPECT_EQ(ReadEventEnabled(&flag), 0);
    EXPECT_EQ(flag, 0);
}

TEST(AgentLogSetUp, OpensTheAgentLogAtTheRegistryLevel) {
    ASSERT_EQ(StartAgentLogging("agent.log"), 0);
    EXPECT_EQ(GetLogLevel(), 2);  // 0x102: only the low 8 bits count
    EXPECT_EQ(gv_eventEnabled, 0);
    EXPECT_EQ(std::string(gv_agentDirectory), g_dir->path() + "/agent/");
    std::string expected = g_dir->path() + "/agent/logs/agent.log";
    EXPECT_EQ(std::string(GetLogFullPath()), expected);
    LogInfo("hello\n");
    LogDebug("hidden\n");
    StopAgentLogging();
    std::string text = test::ReadFile(expected);
    EXPECT_NE(text.find("[INFO] hello\n"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
    EXPECT_NE(text.find("Log close time: "), std::string::npos);
    EXPECT_EQ(gv_logFilePtr, nullptr);
}

TEST(AgentLogSetUp, OpenModeTwoEmptiesTheFile) {
    std::string dir = g_dir->path() + "/agent/logs";
    test::WriteFile(dir + "/m.log", "old content\n");
    EXPECT_EQ(OpenAgentLog("m.log", dir.c_str(), 2), 0);
    StopAgentLogging();
    EXPECT_EQ(test::ReadFile(dir + "/m.log").find("old content"), std::string::npos);
    test::WriteFile(dir + "/m.log", "old content\n");
    EXPECT_EQ(OpenAgentLog("m.log", dir.c_str(), 1), 0);
    StopAgentLogging();
    EXPECT_NE(test::ReadFile(dir + "/m.log").find("old content"), std::string::npos);
}

}  // namespace
}  // namespace orv

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    orv::test::TempDir dir;
    orv::g_dir = &dir;
    std::string text = orv::kRegistry;
    text.replace(text.find("@AGENT@"), 7, dir.path() + "/agent");
    orv::test::WriteFile(dir / "registry.reg", text);
    setenv("ORV_REGISTRY_FILE", (dir / "registry.reg").c_str(), 1);
    return RUN_ALL_TESTS();
}
