// End-to-end runs of velkra sql on an embedded Firebird database through
// the FIREBIRD provider: statements and queries with the values' text
// forms, the engine's message on a failure, and no password in any output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "datastore/type_codes.h"
#include "tests/db/firebird_isql.h"
#include "tests/support/test_support.h"

/* The Firebird client library's converters and ICU's caches count as lost for
 * LeakSanitizer (see the note in tests/db/db_context.cpp); the velkra
 * program run here gets the same suppression through LSAN_OPTIONS. */
extern "C" const char* __lsan_default_suppressions() { return "leak:libfbclient.so\nleak:libicuuc.so\n"; }

namespace orv::test {
namespace {

class VelkraSqlFirebirdTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fb_.Create(&error)) << error;
        mkdir((dir_ / "data").c_str(), 0755);
        WriteFile(dir_ / "lsan.supp", "leak:libfbclient.so\nleak:libicuuc.so\n");
        WriteFile(dir_ / "data/connparams.txt",
                  "fb 0 " + fb_.DatabasePath() + " SYSDBA fb-top-secret x fbconn FIREBIRD FIREBIRD no\n"
                  "gone 0 " + (dir_ / "missing.fdb") + " SYSDBA fb-top-secret x gone FIREBIRD FIREBIRD no\n");
    }
    RunResult Sql(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"sql", "--root", dir_.path()};
        all.insert(all.end(), args.begin(), args.end());
        std::map<std::string, std::string> env = fb_.Environment();
        env["LSAN_OPTIONS"] = "suppressions=" + (dir_ / "lsan.supp") + ":print_suppressions=0";
        RunResult r = RunProgram(ORV_VELKRA_PROGRAM, all, env);
        EXPECT_EQ(r.output.find("fb-top-secret"), std::string::npos) << r.output;
        return r;
    }
    FirebirdDb fb_;
    TempDir dir_;
};

TEST_F(VelkraSqlFirebirdTest, StatementsAndQueriesThroughTheFirebirdProvider) {
    RunResult create = Sql({"CREATE TABLE t (id INTEGER, name VARCHAR(20), score DOUBLE PRECISION, "
                            "price NUMERIC(9,2), born DATE, ok BOOLEAN)"});
    ASSERT_EQ(create.exitStatus, 0) << create.output;
    RunResult insert = Sql({"INSERT INTO t VALUES (1, 'it''s', 2.5, 12.5, '2024-02-29', TRUE)"});
    EXPECT_EQ(insert.exitStatus, 0) << insert.output;
    EXPECT_EQ(insert.output, "");
    EXPECT_EQ(Sql({"INSERT INTO t (id, score) VALUES (2, 0.125)"}).exitStatus, 0);
    RunResult select = Sql({"select id, name, score, price, born, ok from t order by id"});
    ASSERT_EQ(select.exitStatus, 0) << select.output;
    EXPECT_EQ(select.output,
              "ID\tNAME\tSCORE\tPRICE\tBORN\tOK\t\n"
              "1\tit's\t2.500000\t12.50\t2024-02-29\t1\t\n"
              "2\tNULL\t0.125000\tNULL\tNULL\tNULL\t\n");
    // Each statement was committed: isql-fb, another process, sees the rows.
    std::vector<FirebirdRow> rows;
    ASSERT_TRUE(fb_.Query("select count(*) from t", {ORV_SQL_BIGINT}, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], std::optional<std::string>("2"));
    // An update that changes no row is no failure.
    EXPECT_EQ(Sql({"UPDATE t SET name = 'x' WHERE id = 99"}).exitStatus, 0);
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
