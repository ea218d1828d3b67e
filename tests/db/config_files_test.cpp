// connparams.txt and dsn_table_map.txt: the line format, the look-up order
// of the files, words over their bounds, masking of passwords, and the map
// mode.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "datastore/velkra_root.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/provider.h"
#include "tests/datastore/log_fixture.h"

namespace orv::test {
namespace {

class ConfigFilesTest : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        cwd_ = cwd;
        root_ = dir_ / "root";
        mkdir(root_.c_str(), 0755);
        mkdir((root_ + "/data").c_str(), 0755);
        mkdir((dir_ / "work").c_str(), 0755);
        ASSERT_EQ(chdir((dir_ / "work").c_str()), 0);
        SetVelkraRoot(root_.c_str());
    }
    void TearDown() override {
        FreeAllConnParams();
        FreeAllDataSourceMapEntries();
        EXPECT_EQ(chdir(cwd_.c_str()), 0);
        LogFixture::TearDown();
    }
    ConnParams* Load(const std::string& text) {
        WriteFile(root_ + "/data/connparams.txt", text);
        EXPECT_TRUE(LoadConnParamsEntryFromFile("..\\data\\connparams.txt"));
        return gv_connParamsVect && gv_connParamsVect->count ? static_cast<ConnParams*>(ElementAt(gv_connParamsVect, 0)->element) : nullptr;
    }
    std::string cwd_;
    std::string root_;
};

TEST_F(ConfigFilesTest, ConnParamsFields) {
    ConnParams* p = Load("extra 70000 mydsn alice s3cret x main ODBC PGSQL no\n");
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->extraText, "extra");
    EXPECT_EQ(p->extraNumber, 70000 % 65536);
    EXPECT_STREQ(p->dsnName, "mydsn");
    EXPECT_STREQ(p->userName, "alice");
    EXPECT_STREQ(p->password, "s3cret");
    EXPECT_STREQ(p->connectionName, "main");
    EXPECT_STREQ(p->providerName, "ODBC");
    EXPECT_STREQ(p->dialectName, "PGSQL");
    EXPECT_EQ(p->useConnString, 0);
    EXPECT_EQ(p->connString, nullptr);
    EXPECT_TRUE(Logged("[DEBUG] Opening " + root_ + "/data/connparams.txt\n"));
    EXPECT_STREQ(GetDefaultConnectionName(), "main");
    EXPECT_STREQ(GetDialectNameOfConnection("main"), "PGSQL");
    EXPECT_EQ(GetDialectNameOfConnection("other"), nullptr);
    EXPECT_TRUE(Logged("[ERROR] dbConnPtr is NULL for Connection Name other \n"));
}

TEST_F(ConfigFilesTest, NullPasswordAndConnectionString) {
    Load("a 1 dsn1 bob NULL x first ODBC SQLITE yes DSN=dsn1;UID=bob;Timeout=5\n"
         "b 2 dsn2 eve pw x second ODBC MYSQL YES  two blanks\r\n"
         "c 3 dsn3 eve pw x third ODBC MYSQL maybe ignored rest\n");
    ConnParams* first = GetConnParams("first");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->password, nullptr);
    EXPECT_EQ(first->useConnString, 1);
    EXPECT_STREQ(first->connString, "DSN=dsn1;UID=bob;Timeout=5");
    EXPECT_STREQ(GetConnParams("second")->connString, " two blanks");
    EXPECT_EQ(GetConnParams("third")->useConnString, 0);
    EXPECT_EQ(GetConnParams("third")->connString, nullptr);
    EXPECT_EQ(GetConnParams(nullptr), nullptr);
    EXPECT_TRUE(RemoveConnParams("second"));
    EXPECT_FALSE(RemoveConnParams("second"));
    EXPECT_EQ(gv_connParamsVect->count, 2);
}

TEST_F(ConfigFilesTest, OverlongWordsSkipTheirLineAndABadNumberEndsTheFile) {
    std::string longWord(256, 'w');
    std::string longRest(300, 'r');
    Load("a 1 d u p x ok1 ODBC PGSQL no\n"
         "a 1 " + longWord + " u p x long ODBC PGSQL no\n"
         "a 1 d u p x longrest ODBC PGSQL yes " + longRest + "\n"
         "a 1 d u p x ok2 ODBC PGSQL no\n"
         "a notanumber d u p x never ODBC PGSQL no\n"
         "a 1 d u p x after ODBC PGSQL no\n");
    EXPECT_NE(GetConnParams("ok1"), nullptr);
    EXPECT_EQ(GetConnParams("long"), nullptr);
    EXPECT_EQ(GetConnParams("longrest"), nullptr);
    EXPECT_NE(GetConnParams("ok2"), nullptr);
    EXPECT_EQ(GetConnParams("never"), nullptr);
    EXPECT_EQ(GetConnParams("after"), nullptr);
    EXPECT_EQ(CountLogged("Connection parameters line with a word over 255"), 2);
    // A word of exactly 255 characters is kept.
    FreeAllConnParams();
    std::string fits(255, 'f');
    Load("a 1 " + fits + " u p x fits ODBC PGSQL no\n");
    EXPECT_EQ(std::string(GetConnParams("fits")->dsnName), fits);
}

TEST_F(ConfigFilesTest, MissingFilesAndAnEmptyOne) {
    EXPECT_FALSE(LoadConnParamsEntryFromFile("..\\data\\connparams.txt"));
    EXPECT_TRUE(Logged("[ERROR] Cannot open Connection Parameters File.\n"));
    EXPECT_FALSE(LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt"));
    EXPECT_TRUE(Logged("[ERROR] Cannot open DataSourceMap Entry File.\n"));
    Load("");
    EXPECT_EQ(gv_connParamsVect == nullptr ? 0 : gv_connParamsVect->count, 0);
    EXPECT_EQ(GetDefaultConnectionName(), nullptr);
    EXPECT_TRUE(Logged("[ERROR] Connection Name IS NULL\n"));
}

TEST_F(ConfigFilesTest, TheWorkingDirectoryFileComesFirst) {
    mkdir((dir_ / "data").c_str(), 0755);
    WriteFile(dir_ / "data/connparams.txt", "a 1 d u p x here ODBC PGSQL no\n");
    WriteFile(root_ + "/data/connparams.txt", "a 1 d u p x there ODBC PGSQL no\n");
    ASSERT_TRUE(LoadConnParamsEntryFromFile("..\\data\\connparams.txt"));
    EXPECT_NE(GetConnParams("here"), nullptr);
    EXPECT_EQ(GetConnParams("there"), nullptr);
}

TEST_F(ConfigFilesTest, PasswordsAreMasked) {
    char* masked = MaskConnectionString("DSN=x;UID=bob;PWD=s3cret;Port=5;pwd = other;Password=p");
    EXPECT_STREQ(masked, "DSN=x;UID=bob;PWD=****;Port=5;pwd =****;Password=****");
    free(masked);
}

TEST_F(ConfigFilesTest, DataSourceMap) {
    WriteFile(root_ + "/data/dsn_table_map.txt", "ORDERS first\nCustomers second\norders third\nLonely");
    ASSERT_TRUE(LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt"));
    ASSERT_NE(GetDataSourceMapEntry("orders"), nullptr);
    EXPECT_STREQ(GetDataSourceMapEntry("orders")->connectionName, "first");  // the first line wins
    EXPECT_STREQ(GetDataSourceMapEntry("CUSTOMERS")->connectionName, "second");
    EXPECT_EQ(GetDataSourceMapEntry("Lonely"), nullptr);  // a table without a connection adds nothing
    EXPECT_EQ(GetDataSourceMapEntry(nullptr), nullptr);
    EXPECT_TRUE(DeleteDataSourceMapEntry("Orders"));
    EXPECT_STREQ(GetDataSourceMapEntry("orders")->connectionName, "third");
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside LoadDataSourceMapEntryFromFile @@@\n"));

    std::string longWord(256, 't');
    FreeAllDataSourceMapEntries();
    WriteFile(root_ + "/data/dsn_table_map.txt", longWord + " c1\nshort c2\n");
    ASSERT_TRUE(LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt"));
    EXPECT_EQ(GetDataSourceMapEntry(longWord.c_str()), nullptr);
    EXPECT_STREQ(GetDataSourceMapEntry("short")->connectionName, "c2");
}

TEST_F(ConfigFilesTest, MapMode) {
    EXPECT_FALSE(IsDSNMapValid());
    SetDSNMapValid(1, 3);
    EXPECT_TRUE(IsDSNMapValid());
    SetDSNMapValid(2, 0);
    EXPECT_TRUE(Logged("[ERROR] \nInvalid Status\n"));
    EXPECT_TRUE(IsDSNMapValid());  // unchanged
    SetDSNMapValid(0, 1);
    EXPECT_FALSE(IsDSNMapValid());
    EXPECT_EQ(GetDSNDialectIndex(), 1);
}

}  // namespace
}  // namespace orv::test
