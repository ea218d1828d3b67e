/*
 * The FIREBIRD provider on the tests' Firebird server (a data source named
 * 127.0.0.1/PORT:PATH): the server checks the password, which never
 * reaches the log; a database created through the library lands beside
 * the data source's own on that server.
 */
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "db/connection.h"
#include "db/connparams.h"
#include "db/firebird/firebird_provider.h"
#include "db/provider.h"
#include "tests/db/db_context.h"
#include "tests/db/odbc_test_util.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

class FirebirdServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(LoadDbEnvironment(&error)) << error;
        db_ = DbContextNamed("fbserver");
        ASSERT_NE(db_.dsn.find(":"), std::string::npos) << db_.dsn;
        log_.Open();
    }
    void TearDown() override {
        EXPECT_EQ(log_.Text().find(db_.password), std::string::npos) << "the password reached the log";
        log_.Close();
    }
    DbContext db_;
    ProviderLog log_;
};

TEST_F(FirebirdServerTest, TheServerChecksThePasswordWhichNeverReachesTheLog) {
    ProviderConnection right;
    ASSERT_TRUE(right.Open(db_)) << log_.Text();
    ResultHolder r(right.Query("select mon$remote_protocol from mon$attachments where mon$attachment_id = "
                               "current_connection"));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    EXPECT_EQ(CellText(CellAt(r.set, 0, 0), r.set->columns[0].type).substr(0, 4), "TCPv");

    DbContext wrong = db_;
    wrong.password = "Wr0ng-Secret-4471";
    ProviderConnection refused;
    EXPECT_FALSE(refused.Open(wrong));
    const std::string text = log_.Text();
    EXPECT_NE(text.find("Connecting to Firebird database " + db_.dsn + " failed\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MSG: "), std::string::npos) << text;
    EXPECT_EQ(text.find("Wr0ng-Secret-4471"), std::string::npos) << text;
}

TEST_F(FirebirdServerTest, ADatabaseCreatedThroughTheLibraryLandsBesideTheServersOwn) {
    TempDir dir;
    WriteFile(dir / "connparams.txt", db_.connParamsLine + "\n");
    ASSERT_TRUE(InitDBProvider());
    ASSERT_TRUE(LoadConnParamsEntryFromFile((dir / "connparams.txt").c_str()));
    ASSERT_TRUE(EstablishDBConnections()) << log_.Text();
    const std::string name = "fbsrv_" + std::to_string(getpid());
    const std::string own = db_.dsn.substr(db_.dsn.find(':') + 1);
    const std::string file = own.substr(0, own.rfind('/') + 1) + name + ".fdb";
    unlink(file.c_str());
    EXPECT_TRUE(CreateDB(name.c_str())) << log_.Text();
    struct stat info;
    EXPECT_EQ(stat(file.c_str(), &info), 0) << file;
    // Reached on the server, as the data source's own.
    DbContext created = db_;
    created.dsn = db_.dsn.substr(0, db_.dsn.find(':') + 1) + file;
    ProviderConnection c;
    EXPECT_TRUE(c.Open(created)) << log_.Text();
    c.Close();
    CloseAllDBConnections();
    FreeAllConnParams();
    DeInitDBProvider();
    unlink(file.c_str());
}

}  // namespace
}  // namespace orv::test
