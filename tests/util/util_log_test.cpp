// The utilities' log lines, read back from a real log file at level 4: the
// framed entry lines of the vector operations and the parsers' messages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "agent/log.h"
#include "util/datetime.h"
#include "util/datetime_parse.h"
#include "util/vector.h"

namespace orv {
namespace {

class UtilLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orv_util_log_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(InitDefaultLog());
        ASSERT_TRUE(ConfigureLog("util.log", dir_.c_str(), 1000000, 4));
        ASSERT_TRUE(OpenLogTruncate());
    }
    void TearDown() override {
        CloseLog();
        FreeLogSettings();
        std::remove((dir_ + "/util.log").c_str());
        rmdir(dir_.c_str());
    }
    // The log so far.
    std::string Contents() {
        std::ifstream in(dir_ + "/util.log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
};

TEST_F(UtilLogTest, VectorOperationsWriteFramedEntryLines) {
    Vector v{};
    InitVector(&v);
    int x = 1;
    AddValue(&v, &x);
    ElementAt(&v, 0);
    FreeVector(&v);
    std::string log = Contents();
    for (const char* name : {"InitVector", "AddValue", "AddElement", "ElementAt", "FreeVector"}) {
        std::string line = std::string("[TRACE] @@@ Inside ") + name + " @@@\n";
        EXPECT_NE(log.find(line), std::string::npos) << name;
    }
}

TEST_F(UtilLogTest, CloneOfMissingVectorIsLogged) {
    EXPECT_EQ(CloneVector(nullptr), nullptr);
    EXPECT_NE(Contents().find("[ERROR] Cannot clone vector.  Vector is NULL.\n"),
              std::string::npos);
}

TEST_F(UtilLogTest, ParsersLogEntryAndRefusals) {
    EXPECT_EQ(ConvertStringToOrvDateTime("20240229"), nullptr);
    std::string quiet = Contents();
    EXPECT_NE(quiet.find("[TRACE] Inside ConvertStringToOrvDateTime \n"), std::string::npos);
    EXPECT_EQ(quiet.find("[ERROR]"), std::string::npos);  // no message for this parser

    EXPECT_EQ(ConvertStringToOrvGenDateTime("20240229"), nullptr);
    EXPECT_EQ(ConvertStringToOrvDateTime(nullptr), nullptr);
    std::string log = Contents();
    EXPECT_NE(log.find("[TRACE] Inside ConvertStringToOrvGenDateTime \n"), std::string::npos);
    EXPECT_NE(log.find("[ERROR] The String is not a datetimeStr \n"), std::string::npos);
    EXPECT_NE(log.find("[ERROR] datetimeStr NULL \n"), std::string::npos);
}

}  // namespace
}  // namespace orv
