/*
 * Result code texts: the system's message first, this system's table for
 * codes the system does not know, the unknown-code text, the level of each
 * record and the trimmed narrow form.
 */
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "agent/log.h"
#include "agent/result_messages.h"
#include "tests/agent/rotation_log.h"

namespace orv {
namespace {

using test::HasRecord;

class ResultMessagesTest : public ::testing::Test {
protected:
    void SetUp() override { test::OpenTestLog(dir_, 2); }
    void TearDown() override { test::CloseTestLog(); }
    std::vector<std::string> Records() const { return test::TestLogRecords(dir_); }

    /* DescribeResultCode's text, released. */
    static std::string Describe(int32_t code) {
        char* text = DescribeResultCode(code);
        std::string copy = text != nullptr ? text : "(null)";
        free(text);
        return copy;
    }

    test::TempDir dir_;
};

TEST_F(ResultMessagesTest, SystemTextComesFirstOnOneLine) {
    EXPECT_EQ(Describe(2), "The system cannot find the file specified. ");
    EXPECT_EQ(Describe(997), "Overlapped I/O operation is in progress. ");
    EXPECT_TRUE(HasRecord(Records(), "[ERROR] Error Code : 2 , Error Message : The system cannot find the file specified.  "));
}

TEST_F(ResultMessagesTest, CodeZeroIsLoggedAtInfo) {
    SetLogLevel(1);  // INFO only: an ERROR record would vanish
    EXPECT_EQ(Describe(0), "The operation completed successfully. ");
    EXPECT_EQ(Records(), std::vector<std::string>{"[INFO] Message : The operation completed successfully.  "});
}

TEST_F(ResultMessagesTest, OwnTableAnswersWhereTheSystemHasNoText) {
    EXPECT_EQ(Describe(20001), "Patch update delayed since application is used by another process");
    EXPECT_EQ(Describe(2359302),
              "Patch already Installed and the changes will not be effective until the system is rebooted.");
    EXPECT_EQ(Describe(10002), "zr.db.agent.config.run_as_admin.credentials_not_available");
    EXPECT_EQ(Describe(17048), "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater.");
    EXPECT_TRUE(HasRecord(Records(), "[ERROR] Error Code : 20001 , Error Message : Patch update delayed since "
                                     "application is used by another process "));
}

TEST_F(ResultMessagesTest, UnknownCodesGiveTheCodeInSignedDecimal) {
    EXPECT_EQ(Describe(17022), "Unknown Error. Code : 17022");
    EXPECT_EQ(Describe(-5), "Unknown Error. Code : -5");
    char* text = GetResultCodeText(0xFFFFFFFBu);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Unknown Error. Code : -5");
    // A zero-filled 4096-byte buffer: the end is still zero.
    EXPECT_EQ(text[4095], '\0');
    free(text);
    EXPECT_TRUE(HasRecord(Records(), "[ERROR] Error Code : -5 , Error Message : Unknown Error. Code : -5 "));
}

TEST_F(ResultMessagesTest, NarrowFormIsTrimmedAndFallsBackToTheTable) {
    EXPECT_EQ(LogResultCodeAnsi(5), 0);
    EXPECT_EQ(LogResultCodeAnsi(17029), 0);
    LogResultCode(3);
    std::vector<std::string> log = Records();
    EXPECT_TRUE(HasRecord(log, "[ERROR] Error Code : 5 , Error Message : Access is denied. "));
    EXPECT_TRUE(HasRecord(log, "[ERROR] Error Code : 17029 , Error Message : OfficeUpdateError: Patch failed to install. "));
    EXPECT_TRUE(HasRecord(log, "[ERROR] Error Code : 3 , Error Message : The system cannot find the path specified.  "));
}

TEST_F(ResultMessagesTest, WideToUtf8ConvertsBeyondAscii) {
    char* out = nullptr;
    EXPECT_TRUE(WideToUtf8(L"caf\u00e9 \u20ac \U0001F600", &out));
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
    free(out);
    EXPECT_FALSE(WideToUtf8(nullptr, &out));
    EXPECT_EQ(out, nullptr);
}

}  // namespace
}  // namespace orv
