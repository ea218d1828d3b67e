/*
 * Creating a Firebird database through the library: CreateDB on a pool
 * whose data source is the embedded test database makes NAME.fdb beside
 * it, which the provider can then attach; a name that exists already is
 * refused; a statement naming a quoted path creates that file.
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

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class FirebirdCreateDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(FirebirdReady(&error)) << error;
        db_ = DbContextNamed("firebird");
        log_.Open();
        WriteFile(dir_ / "connparams.txt", db_.connParamsLine + "\n");
        ASSERT_TRUE(InitDBProvider());
        ASSERT_TRUE(LoadConnParamsEntryFromFile((dir_ / "connparams.txt").c_str()));
        ASSERT_TRUE(EstablishDBConnections()) << log_.Text();
    }
    void TearDown() override {
        CloseAllDBConnections();
        FreeAllConnParams();
        DeInitDBProvider();
        for (const std::string& file : made_) unlink(file.c_str());
        EXPECT_EQ(log_.Text().find(db_.password), std::string::npos) << "the password reached the log";
        log_.Close();
    }
    /* A table made, filled and read back in the database at path. */
    std::string RoundTrip(const std::string& path) {
        DbContext other = db_;
        other.dsn = path;
        ProviderConnection c;
        if (!c.Open(other)) return "<no connection>";
        if (!c.Update("create table made (id integer)") || !c.Update("insert into made values (7)")) return "<failed>";
        ResultHolder r(c.Query("select id from made"));
        return r.set ? CellText(CellAt(r.set, 0, 0), r.set->columns[0].type) : "<failed>";
    }

    DbContext db_;
    ProviderLog log_;
    TempDir dir_;
    std::vector<std::string> made_;
};

TEST_F(FirebirdCreateDbTest, ANamedDatabaseIsMadeBesideTheDataSourcesOwnOnce) {
    const std::string name = "fbnew_" + std::to_string(getpid());
    const std::string own = FirebirdTestDatabasePath();
    const std::string path = own.substr(0, own.rfind('/') + 1) + name + ".fdb";
    unlink(path.c_str());
    made_.push_back(path);
    ASSERT_TRUE(CreateDB(name.c_str())) << log_.Text();
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(RoundTrip(path), "7") << log_.Text();
    // It exists now: refused, with the engine's reason.
    EXPECT_FALSE(CreateDB(name.c_str()));
    EXPECT_TRUE(log_.Has("Cannot create database " + name + ".\n")) << log_.Text();
    EXPECT_TRUE(log_.Has("MSG: ")) << log_.Text();
    // The pool's connection goes on working.
    DBConnection* c = GetDBConnection(nullptr);
    ASSERT_NE(c, nullptr);
    ResultSet* set = ExecuteQuery(c, "select 1 from rdb$database");
    EXPECT_NE(set, nullptr);
    FreeResultSet(set);
    ReleaseDBConnection(nullptr);
}

TEST_F(FirebirdCreateDbTest, AStatementNamingAQuotedPathCreatesThatFile) {
    const std::string path = dir_ / "it's new.fdb";
    made_.push_back(path);
    DBConnection* c = GetDBConnection(nullptr);
    ASSERT_NE(c, nullptr);
    std::string quoted;
    for (char ch : path) {
        if (ch == '\'') quoted += '\'';
        quoted += ch;
    }
    EXPECT_EQ(ExecuteUpdate(c, ("CREATE DATABASE '" + quoted + "';").c_str()), 1) << log_.Text();
    ReleaseDBConnection(nullptr);
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(RoundTrip(path), "7") << log_.Text();
    // Anything after the name is another statement, which the engine judges.
    c = GetDBConnection(nullptr);
    EXPECT_EQ(ExecuteUpdate(c, "create database other page_size 8192"), 0);
    ReleaseDBConnection(nullptr);
    EXPECT_FALSE(Exists(dir_ / "other.fdb"));
}

}  // namespace
}  // namespace orv::test
