// End-to-end runs of velkra sql on a SQLite file through the ODBC
// provider: statements and queries, choosing the data source, failures
// with the driver's message, usage errors, and no password in any output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace orv::test {
namespace {

const char kSqliteDriver[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

/* A shell word holding text exactly. */
std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class VelkraSqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir((dir_ / "data").c_str(), 0755);
        std::string drv = std::string("Driver=") + kSqliteDriver;
        WriteFile(dir_ / "data/connparams.txt",
                  "a 0 none velkra NULL x first ODBC SQLITE yes " + drv + ";Database=" + (dir_ / "first.db") +
                      ";PWD=top-secret-1\n"
                      "b 0 none velkra top-secret-2 x second ODBC SQLITE yes " + drv + ";Database=" +
                      (dir_ / "second.db") + "\n"
                      "c 0 no_such_dsn velkra top-secret-3 x broken ODBC SQLITE no\n");
    }
    RunResult Sql(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"sql", "--root", dir_.path()};
        all.insert(all.end(), args.begin(), args.end());
        // From the test's own folder, so that no ..\data of the build is found.
        std::string line = "cd " + Quote(dir_.path()) + " && exec " + Quote(ORV_VELKRA_PROGRAM);
        for (const std::string& a : all) line += " " + Quote(a);
        RunResult r = RunProgram("/bin/sh", {"-c", line}, {{"ODBCSYSINI", dir_.path()}, {"ODBCINI", dir_ / "odbc.ini"}});
        EXPECT_EQ(r.output.find("top-secret"), std::string::npos) << r.output;
        return r;
    }
    TempDir dir_;
};

TEST_F(VelkraSqlTest, StatementsAndQueriesOnTheFirstDataSource) {
    EXPECT_EQ(Sql({"CREATE TABLE t (id INTEGER, name VARCHAR(20), score DOUBLE)"}).exitStatus, 0);
    RunResult insert = Sql({"INSERT INTO t VALUES (1, 'it''s', 2.5), (2, NULL, 0.125)"});
    EXPECT_EQ(insert.exitStatus, 0);
    EXPECT_EQ(insert.output, "");
    RunResult select = Sql({"  select id, name, score from t order by id"});
    ASSERT_EQ(select.exitStatus, 0) << select.output;
    EXPECT_EQ(select.output, "id\tname\tscore\t\n1\tit's\t2.5\t\n2\tNULL\t0.125\t\n");
    // An update that changes no row is no failure.
    EXPECT_EQ(Sql({"UPDATE t SET name = 'x' WHERE id = 99"}).exitStatus, 0);
}

TEST_F(VelkraSqlTest, SourceChoosesTheDataSource) {
    EXPECT_EQ(Sql({"--source", "second", "CREATE TABLE only_second (x INTEGER)"}).exitStatus, 0);
    EXPECT_EQ(Sql({"--source", "second", "SELECT count(*) AS n FROM only_second"}).output, "n\t\n0\t\n");
    RunResult missing = Sql({"SELECT count(*) FROM only_second"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.output.find("no such table: only_second"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("velkra sql: the query failed on data source 'first'"), std::string::npos);
    RunResult unknown = Sql({"--source", "nowhere", "SELECT 1"});
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_NE(unknown.output.find("no data source named 'nowhere'"), std::string::npos);
}

TEST_F(VelkraSqlTest, ConnectionFailuresNameTheSourceNotThePassword) {
    RunResult r = Sql({"--source", "broken", "SELECT 1"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("velkra sql: cannot connect to data source 'broken'"), std::string::npos) << r.output;
}

TEST_F(VelkraSqlTest, MissingFilesAndUsage) {
    TempDir empty;
    RunResult none = RunProgram(ORV_VELKRA_PROGRAM, {"sql", "--root", empty.path(), "SELECT 1"}, {});
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_NE(none.output.find("velkra sql: cannot open the connection parameters"), std::string::npos);
    EXPECT_EQ(Sql({}).exitStatus, 2);
    EXPECT_EQ(Sql({"SELECT 1", "SELECT 2"}).exitStatus, 2);
    EXPECT_EQ(Sql({"--source"}).exitStatus, 2);
    RunResult help = RunProgram(ORV_VELKRA_PROGRAM, {"sql", "--help"}, {});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.output.find("usage: velkra sql"), std::string::npos);
}

}  // namespace
}  // namespace orv::test
