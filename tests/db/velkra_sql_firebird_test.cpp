// End-to-end runs of velkra sql on the embedded Firebird test database
// (the harness's, under ORV_DB_DIR) through the FIREBIRD provider:
// statements and queries with the values' text forms, the engine's message
// on a failure, and no password in any output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "tests/db/db_context.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

/* The database is shared with the tests running at the same time: the
 * table has a name of the test's own. The Firebird client library's
 * converters and ICU's caches count as lost for LeakSanitizer (see the
 * note in tests/db/db_context.cpp); the velkra program run here gets the
 * same suppression through LSAN_OPTIONS. */
class VelkraSqlFirebirdTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(FirebirdReady(&error)) << error;
        ASSERT_TRUE(sql_.Connect(fb_)) << sql_.LastError();
        table_ = UniqueTableName("t");
        mkdir((dir_ / "data").c_str(), 0755);
        WriteFile(dir_ / "lsan.supp", "leak:libfbclient.so\nleak:libicuuc.so\n");
        WriteFile(dir_ / "data/connparams.txt",
                  "fb 0 " + fb_.dsn + " SYSDBA fb-top-secret x fbconn FIREBIRD FIREBIRD no\n"
                  "gone 0 " + (dir_ / "missing.fdb") + " SYSDBA fb-top-secret x gone FIREBIRD FIREBIRD no\n");
    }
    void TearDown() override {
        if (sql_.Connected()) sql_.Exec(fb_.DropTableSql(table_));
    }
    /* velkra sql with the embedded engine's variables of this process
     * (LoadDbEnvironment set them). */
    RunResult Sql(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"sql", "--root", dir_.path()};
        all.insert(all.end(), args.begin(), args.end());
        RunResult r = RunProgram(ORV_VELKRA_PROGRAM, all,
                                 {{"LSAN_OPTIONS", "suppressions=" + (dir_ / "lsan.supp") + ":print_suppressions=0"}});
        EXPECT_EQ(r.output.find("fb-top-secret"), std::string::npos) << r.output;
        return r;
    }
    const DbContext fb_ = DbContextNamed("firebird");
    OdbcSession sql_;
    std::string table_;
    TempDir dir_;
};

TEST_F(VelkraSqlFirebirdTest, StatementsAndQueriesThroughTheFirebirdProvider) {
    RunResult create = Sql({"CREATE TABLE " + table_ + " (id INTEGER, name VARCHAR(20), score DOUBLE PRECISION, "
                            "price NUMERIC(9,2), born DATE, ok BOOLEAN)"});
    ASSERT_EQ(create.exitStatus, 0) << create.output;
    RunResult insert = Sql({"INSERT INTO " + table_ + " VALUES (1, 'it''s', 2.5, 12.5, '2024-02-29', TRUE)"});
    EXPECT_EQ(insert.exitStatus, 0) << insert.output;
    EXPECT_EQ(insert.output, "");
    EXPECT_EQ(Sql({"INSERT INTO " + table_ + " (id, score) VALUES (2, 0.125)"}).exitStatus, 0);
    RunResult select = Sql({"select id, name, score, price, born, ok from " + table_ + " order by id"});
    ASSERT_EQ(select.exitStatus, 0) << select.output;
    EXPECT_EQ(select.output,
              "ID\tNAME\tSCORE\tPRICE\tBORN\tOK\t\n"
              "1\tit's\t2.5\t12.50\t2024-02-29\t1\t\n"
              "2\tNULL\t0.125\tNULL\tNULL\tNULL\t\n");
    // Each statement was committed: this process, another attachment,
    // sees the rows.
    EXPECT_EQ(sql_.Scalar("select count(*) from " + table_), std::optional<std::string>("2")) << sql_.LastError();
    // An update that changes no row is no failure.
    EXPECT_EQ(Sql({"UPDATE " + table_ + " SET name = 'x' WHERE id = 99"}).exitStatus, 0);
}

TEST_F(VelkraSqlFirebirdTest, FailuresCarryTheEnginesMessage) {
    RunResult missing = Sql({"SELECT x FROM no_such_table"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.output.find("Table unknown"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("velkra sql: the query failed on data source 'fbconn'"), std::string::npos);
    RunResult gone = Sql({"--source", "gone", "SELECT 1 FROM rdb$database"});
    EXPECT_EQ(gone.exitStatus, 1);
    EXPECT_NE(gone.output.find("velkra sql: cannot connect to data source 'gone' (provider FIREBIRD)"),
              std::string::npos)
        << gone.output;
}

}  // namespace
}  // namespace orv::test
