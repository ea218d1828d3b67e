// End-to-end runs of velkra ddl: the sample dictionary's create-table
// statements in the four dialects, one line each in load order; the SQLite
// ones run by the sqlite3 program and the Firebird ones by isql-fb on an
// embedded database; the dialect of the first data source when none is
// given; refused tables, usage errors and the help text.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/db/firebird_isql.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

const char kSqlite3[] = "/usr/bin/sqlite3";
const char* const kSampleTables[] = {"Customer", "Site", "Device", "Port", "Alarm"};

/* A shell word holding text exactly. */
std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

/* velkra with the arguments, run from a folder of its own (so that no
 * ..\data beside the working directory is found). */
RunResult Velkra(const std::vector<std::string>& args) {
    static TempDir cwd;
    std::string line = "cd " + Quote(cwd.path()) + " && exec " + Quote(ORV_VELKRA_PROGRAM);
    for (const std::string& a : args) line += " " + Quote(a);
    return RunProgram("/bin/sh", {"-c", line}, {});
}

RunResult Ddl(const std::string& root, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"ddl", "--root", root};
    args.insert(args.end(), more.begin(), more.end());
    return Velkra(args);
}

/* The statements of a run's output: its lines, each checked to be one
 * whole statement. */
std::vector<std::string> Statements(const RunResult& r) {
    std::vector<std::string> lines = SplitLines(r.output);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.rfind("CREATE TABLE ", 0), 0u) << line;
        EXPECT_FALSE(line.empty() || line.back() != ';') << line;
        EXPECT_EQ(line.find('\t'), std::string::npos) << line;
    }
    EXPECT_TRUE(r.output.empty() || r.output.back() == '\n');
    return lines;
}

/* A library root holding a copy of the sample dictionary and the given
 * connparams.txt (none when empty). */
class SampleRoot {
public:
    explicit SampleRoot(const std::string& connParams) {
        mkdir((dir_ / "data").c_str(), 0755);
        for (const char* name : {"datadictionary.txt", "inventory.xml", "monitoring.xml"}) {
            WriteFile(dir_ / (std::string("data/") + name), ReadFile(std::string(ORV_EXAMPLES_DIR) + "/data/" + name));
        }
        if (!connParams.empty()) WriteFile(dir_ / "data/connparams.txt", connParams);
    }
    const std::string& path() const { return dir_.path(); }
    std::string operator/(const std::string& name) const { return dir_ / name; }

private:
    TempDir dir_;
};

TEST(VelkraDdl, PrintsTheSampleDictionaryInEveryDialect) {
    struct Case {
        const char* dialect;
        const char* typical;  // a text only that dialect writes
    };
    const Case cases[] = {{"MYSQL", "ENGINE = InnoDB"},
                          {"PGSQL", "bytea"},
                          {"SQLITE", "varchar(30)"},
                          {"FIREBIRD", "BLOB SUB_TYPE TEXT"}};
    for (const Case& c : cases) {
        RunResult r = Ddl(ORV_EXAMPLES_DIR, {"--dialect", c.dialect});
        ASSERT_EQ(r.exitStatus, 0) << c.dialect << "\n" << r.output;
        std::vector<std::string> lines = Statements(r);
        ASSERT_EQ(lines.size(), std::size(kSampleTables)) << r.output;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].rfind(std::string("CREATE TABLE ") + kSampleTables[i] + "(", 0), 0u) << lines[i];
        }
        EXPECT_NE(r.output.find(c.typical), std::string::npos) << c.dialect << "\n" << r.output;
        EXPECT_NE(lines[1].find("FOREIGN KEY(CustomerID) REFERENCES Customer (CustomerID) ON DELETE CASCADE"),
                  std::string::npos)
            << lines[1];
        EXPECT_NE(lines[3].find("PRIMARY KEY(DeviceID, IfIndex)"), std::string::npos) << lines[3];
    }
}

TEST(VelkraDdl, DialectNamesIgnoreCase) {
    RunResult upper = Ddl(ORV_EXAMPLES_DIR, {"--dialect", "PGSQL"});
    ASSERT_EQ(upper.exitStatus, 0) << upper.output;
    for (const char* name : {"pgsql", "PgSql"}) {
        RunResult r = Ddl(ORV_EXAMPLES_DIR, {"--dialect", name});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.output, upper.output) << name;
    }
    RunResult joined = Velkra({"ddl", "--root=" ORV_EXAMPLES_DIR, "--dialect=firebird"});
    EXPECT_EQ(joined.exitStatus, 0) << joined.output;
    EXPECT_EQ(joined.output, Ddl(ORV_EXAMPLES_DIR, {"--dialect", "FIREBIRD"}).output);
}

TEST(VelkraDdl, WithoutDialectTakesTheFirstDataSourcesOne) {
    // The sample's own connparams.txt names SQLite.
    RunResult sample = Ddl(ORV_EXAMPLES_DIR);
    ASSERT_EQ(sample.exitStatus, 0) << sample.output;
    EXPECT_EQ(sample.output, Ddl(ORV_EXAMPLES_DIR, {"--dialect", "SQLITE"}).output);

    SampleRoot root("first 0 dsn1 velkra NULL x pgconn ODBC pgsql no\n"
                    "second 0 dsn2 velkra NULL x myconn ODBC MYSQL no\n");
    RunResult pg = Ddl(root.path());
    ASSERT_EQ(pg.exitStatus, 0) << pg.output;
    EXPECT_EQ(pg.output, Ddl(root.path(), {"--dialect", "PGSQL"}).output);
    // --dialect wins over the file.
    RunResult my = Ddl(root.path(), {"--dialect", "MYSQL"});
    EXPECT_EQ(my.exitStatus, 0);
    EXPECT_NE(my.output, pg.output);
}

TEST(VelkraDdl, WithoutDialectOrDataSourceFails) {
    SampleRoot none("");
    RunResult r = Ddl(none.path());
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("velkra ddl: cannot open the connection parameters"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("give --dialect"), std::string::npos) << r.output;
    // With --dialect the file is not needed.
    EXPECT_EQ(Ddl(none.path(), {"--dialect", "SQLITE"}).exitStatus, 0);

    SampleRoot empty("\n");
    r = Ddl(empty.path());
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("no data source in"), std::string::npos) << r.output;

    SampleRoot unknown("x 0 dsn velkra NULL x conn ODBC ORACLE no\n");
    r = Ddl(unknown.path());
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("the unknown dialect 'ORACLE'"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("CREATE TABLE"), std::string::npos);
}

TEST(VelkraDdl, SqliteStatementsRunInSqlite) {
    RunResult r = Ddl(ORV_EXAMPLES_DIR, {"--dialect", "SQLITE"});
    ASSERT_EQ(r.exitStatus, 0) << r.output;
    TempDir dir;
    WriteFile(dir / "ddl.sql", r.output);
    RunResult run = RunProgram(kSqlite3, {"-bail", dir / "sample.db", ".read " + (dir / "ddl.sql")}, {});
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output, "");
    RunResult tables =
        RunProgram(kSqlite3, {dir / "sample.db", "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"}, {});
    ASSERT_EQ(tables.exitStatus, 0) << tables.output;
    EXPECT_EQ(tables.output, "Customer\nSite\nDevice\nPort\nAlarm\n");
    // The foreign keys hold: a row needs its parent, and goes with it.
    const std::string script =
        "PRAGMA foreign_keys = ON;"
        "INSERT INTO Customer (CustomerID, Name) VALUES (1, 'O''Brien');"
        "INSERT INTO Site (SiteID, CustomerID) VALUES (10, 1);"
        "DELETE FROM Customer WHERE CustomerID = 1;"
        "SELECT count(*) FROM Site;";
    RunResult cascade = RunProgram(kSqlite3, {"-bail", dir / "sample.db", script}, {});
    EXPECT_EQ(cascade.exitStatus, 0) << cascade.output;
    EXPECT_EQ(cascade.output, "0\n");
    RunResult orphan = RunProgram(
        kSqlite3, {"-bail", dir / "sample.db", "PRAGMA foreign_keys = ON; INSERT INTO Site (SiteID, CustomerID) VALUES (11, 99);"},
        {});
    EXPECT_NE(orphan.exitStatus, 0);
    EXPECT_NE(orphan.output.find("FOREIGN KEY constraint failed"), std::string::npos) << orphan.output;
    // The defaults.
    RunResult defaults = RunProgram(
        kSqlite3,
        {dir / "sample.db", "INSERT INTO Customer (CustomerID, Name) VALUES (2, 'x'); "
                            "SELECT Active, CreatedAt FROM Customer WHERE CustomerID = 2;"},
        {});
    EXPECT_EQ(defaults.exitStatus, 0) << defaults.output;
    EXPECT_EQ(defaults.output, "1|2024-01-01 00:00:00\n");
}

TEST(VelkraDdl, FirebirdStatementsRunInFirebird) {
    RunResult r = Ddl(ORV_EXAMPLES_DIR, {"--dialect", "FIREBIRD"});
    ASSERT_EQ(r.exitStatus, 0) << r.output;
    FirebirdDb db;
    std::string error;
    ASSERT_TRUE(db.Create(&error)) << error;
    FirebirdRun run = db.RunStatements(SplitLines(r.output));
    ASSERT_TRUE(run.ok()) << run.output;
    std::vector<FirebirdRow> rows;
    ASSERT_TRUE(db.Query("SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 AND "
                         "RDB$VIEW_BLR IS NULL ORDER BY RDB$RELATION_ID",
                         &rows, &error))
        << error;
    EXPECT_EQ(rows, (std::vector<FirebirdRow>{{"CUSTOMER"}, {"SITE"}, {"DEVICE"}, {"PORT"}, {"ALARM"}}));
    run = db.RunStatements({"INSERT INTO Customer (CustomerID, Name) VALUES (1, 'O''Brien')",
                            "INSERT INTO Site (SiteID, CustomerID) VALUES (10, 1)"});
    EXPECT_TRUE(run.ok()) << run.output;
    run = db.RunStatements({"INSERT INTO Site (SiteID, CustomerID) VALUES (11, 99)"});
    EXPECT_FALSE(run.ok());
    EXPECT_NE(run.output.find("FOREIGN KEY"), std::string::npos) << run.output;
}

TEST(VelkraDdl, QuotedTextsKeepTheirBlanks) {
    TempDir root;
    mkdir((root / "data").c_str(), 0755);
    WriteFile(root / "data/datadictionary.txt", "t.xml\n");
    WriteFile(root / "data/t.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<data-dictionary>\n"
              "  <table name=\"Spaced\">\n"
              "    <columns>\n"
              "      <column name=\"Id\"><data-type>ORV_SQL_INT</data-type><nullable>false</nullable></column>\n"
              "      <column name=\"Label\"><data-type>ORV_SQL_CHAR</data-type><max-size>40</max-size>\n"
              "        <default-value>two  blanks, it's</default-value></column>\n"
              "    </columns>\n"
              "    <primary-key><primary-key-column>Id</primary-key-column></primary-key>\n"
              "  </table>\n"
              "</data-dictionary>\n");
    for (const char* dialect : {"SQLITE", "MYSQL", "PGSQL", "FIREBIRD"}) {
        RunResult r = Ddl(root.path(), {"--dialect", dialect});
        ASSERT_EQ(r.exitStatus, 0) << r.output;
        std::vector<std::string> lines = Statements(r);
        ASSERT_EQ(lines.size(), 1u) << r.output;
        EXPECT_NE(lines[0].find("two  blanks, it"), std::string::npos) << lines[0];
    }
    RunResult r = Ddl(root.path(), {"--dialect", "SQLITE"});
    TempDir dir;
    WriteFile(dir / "ddl.sql", r.output);
    RunResult run = RunProgram(kSqlite3, {"-bail", dir / "t.db", ".read " + (dir / "ddl.sql")}, {});
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    RunResult value =
        RunProgram(kSqlite3, {dir / "t.db", "INSERT INTO Spaced (Id) VALUES (1); SELECT Label FROM Spaced;"}, {});
    EXPECT_EQ(value.output, "two  blanks, it's\n");
}

TEST(VelkraDdl, ATableWithoutStatementExitsOneNamingIt) {
    TempDir root;
    mkdir((root / "data").c_str(), 0755);
    WriteFile(root / "data/datadictionary.txt", "t.xml\n");
    WriteFile(root / "data/t.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<data-dictionary>\n"
              "  <table name=\"Good\">\n"
              "    <columns><column name=\"Id\"><data-type>ORV_SQL_INT</data-type></column></columns>\n"
              "  </table>\n"
              "  <table name=\"Bad\">\n"
              "    <columns><column name=\"two words\"><data-type>ORV_SQL_INT</data-type></column></columns>\n"
              "  </table>\n"
              "  <table name=\"Last\">\n"
              "    <columns><column name=\"Id\"><data-type>ORV_SQL_INT</data-type></column></columns>\n"
              "  </table>\n"
              "</data-dictionary>\n");
    RunResult r = Ddl(root.path(), {"--dialect", "SQLITE"});
    EXPECT_EQ(r.exitStatus, 1) << r.output;
    EXPECT_NE(r.output.find("velkra ddl: cannot generate the SQLITE create-table statement of table 'Bad'"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("CREATE TABLE Good("), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("CREATE TABLE Last("), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("CREATE TABLE Bad"), std::string::npos) << r.output;
}

TEST(VelkraDdl, MissingDictionaryExitsOne) {
    TempDir root;
    RunResult r = Ddl(root.path(), {"--dialect", "PGSQL"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("velkra ddl: cannot open the data dictionary list"), std::string::npos) << r.output;
}

TEST(VelkraDdl, UsageErrorsAndHelp) {
    RunResult unknown = Ddl(ORV_EXAMPLES_DIR, {"--dialect", "ORACLE"});
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_EQ(unknown.output,
              "velkra ddl: unknown dialect 'ORACLE': give MYSQL, PGSQL, SQLITE or FIREBIRD (see 'velkra ddl --help')\n");
    EXPECT_EQ(Ddl(ORV_EXAMPLES_DIR, {"--dialect", ""}).exitStatus, 2);
    RunResult noValue = Velkra({"ddl", "--dialect"});
    EXPECT_EQ(noValue.exitStatus, 2);
    EXPECT_NE(noValue.output.find("velkra ddl: "), std::string::npos) << noValue.output;
    RunResult extra = Ddl(ORV_EXAMPLES_DIR, {"SQLITE"});
    EXPECT_EQ(extra.exitStatus, 2);
    EXPECT_NE(extra.output.find("unexpected argument 'SQLITE'"), std::string::npos) << extra.output;
    RunResult option = Velkra({"ddl", "--bogus"});
    EXPECT_EQ(option.exitStatus, 2);
    EXPECT_NE(option.output.find("velkra ddl: "), std::string::npos);
    EXPECT_EQ(Velkra({"ddl", "--root", ""}).exitStatus, 2);

    RunResult help = Velkra({"ddl", "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.output.rfind("usage: velkra ddl [--root DIR] [--dialect MYSQL|PGSQL|SQLITE|FIREBIRD]\n", 0), 0u)
        << help.output;
    RunResult list = Velkra({"--help"});
    EXPECT_EQ(list.exitStatus, 0);
    EXPECT_NE(list.output.find("  ddl        print the create-table statements"), std::string::npos) << list.output;
}

}  // namespace
}  // namespace orv::test
