// End-to-end runs of velkra init, velkra select (on the database) and
// velkra import with the sample data of examples/library-demo. On every test
// database (SQLite, PostgreSQL, MariaDB through ODBC, Firebird through its
// own provider), with the sample's tables and sequences renamed for the
// test: a new database and the same one again, rows selected and
// imported, rows that do not store, unknown tables and bad criteria. On a
// SQLite file reached through an odbc.ini of the test's own: a first data
// source reached by a connection string, the failures (no dictionary, no
// data source, an absent Firebird file, no log) and usage errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/db/db_context.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

const char kSqliteDriver[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
const char* const kSampleFiles[] = {"datadictionary.txt", "shop.xml",      "dsn_table_map.txt", "connparams.txt",
                                    "loadtablelist.txt",  "defaultdata.txt", "defaults.xml",     "new-customers.xml"};

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

/* The velkra command run from folder dir (no ..\data of the build), with
 * env added to the test's own environment. The Firebird client library's
 * converters and ICU's caches count as lost for LeakSanitizer in the velkra
 * program too (see the note in tests/db/db_context.cpp): a suppression file
 * in dir says so. */
RunResult RunVelkra(const TempDir& dir, const std::vector<std::string>& args,
                    std::map<std::string, std::string> env = {}) {
    std::string line = "cd " + Quote(dir.path()) + " && exec " + Quote(ORV_VELKRA_PROGRAM);
    for (const std::string& a : args) line += " " + Quote(a);
    WriteFile(dir / "lsan.supp", "leak:libfbclient.so\nleak:libicuuc.so\n");
    env["LSAN_OPTIONS"] = "suppressions=" + (dir / "lsan.supp") + ":print_suppressions=0";
    return RunProgram("/bin/sh", {"-c", line}, env);
}

class VelkraInitCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir((dir_ / "root").c_str(), 0755);
        mkdir((dir_ / "root/data").c_str(), 0755);
        for (const char* name : kSampleFiles) {
            WriteFile(dir_ / "root/data/" + name,
                      ReadFile(std::string(ORV_EXAMPLES_DIR) + "/library-demo/data/" + name));
        }
        WriteFile(dir_ / "odbc.ini", std::string("[velkra_demo]\nDriver = ") + kSqliteDriver +
                                         "\nDatabase = " + (dir_ / "shop.db") + "\n");
    }
    /* The command run from the test's folder on its own odbc.ini. */
    RunResult Velkra(const std::vector<std::string>& args) {
        return RunVelkra(dir_, args, {{"ODBCSYSINI", dir_.path()}, {"ODBCINI", dir_ / "odbc.ini"}});
    }
    std::string Root() const { return dir_ / "root"; }
    TempDir dir_;
};

/* The sample data on a test database: the tables Customer and Orders and
 * their sequences get names of the test's own (the servers' databases and
 * Firebird's file are shared by the tests running at the same time), and
 * the connection parameters and map name the database's data source. */
class VelkraInitCliDbTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        customer_ = TableName("customer");
        orders_ = TableName("orders");
        ASSERT_TRUE(sql_.Connect(Db())) << sql_.LastError();
        mkdir((dir_ / "root").c_str(), 0755);
        mkdir((dir_ / "root/data").c_str(), 0755);
        for (const char* name : kSampleFiles) {
            WriteFile(dir_ / "root/data/" + name,
                      Renamed(ReadFile(std::string(ORV_EXAMPLES_DIR) + "/library-demo/data/" + name)));
        }
        WriteFile(Root() + "/data/connparams.txt", Db().connParamsLine + "\n");
        WriteFile(Root() + "/data/dsn_table_map.txt",
                  customer_ + " " + Db().connectionName + "\n" + orders_ + " " + Db().connectionName + "\n");
    }
    void TearDown() override {
        if (!sql_.Connected()) return;
        // The orders refer to the customers: they go first.
        sql_.Exec(Db().DropTableSql(orders_));
        sql_.Exec(Db().DropTableSql(customer_));
        sql_.Exec("delete from SeqGenState where SEQNAME in ('" + customer_ + "_seq', '" + orders_ + "_seq')");
    }
    /* A text of the sample with the test's names. */
    std::string Renamed(const std::string& text) const {
        std::string out = std::regex_replace(text, std::regex("\\bCustomerSeq\\b"), customer_ + "_seq");
        out = std::regex_replace(out, std::regex("\\bOrderSeq\\b"), orders_ + "_seq");
        out = std::regex_replace(out, std::regex("\\bCustomer\\b"), customer_);
        return std::regex_replace(out, std::regex("\\bOrders\\b"), orders_);
    }
    /* The command run from the test's folder, on the test databases' data
     * sources (the environment LoadDbEnvironment set in this process); no
     * output shows the password. */
    RunResult Velkra(const std::vector<std::string>& args) {
        RunResult r = RunVelkra(dir_, args);
        if (!Db().password.empty()) {
            EXPECT_EQ(r.output.find(Db().password), std::string::npos) << r.output;
        }
        return r;
    }
    std::string Root() const { return dir_ / "root"; }

    TempDir dir_;
    OdbcSession sql_;
    std::string customer_, orders_;
};

TEST_F(VelkraInitCliTest, AFirstDataSourceReachedByAConnectionStringGetsStatementsOfItsOwnDialect) {
    // No data source in odbc.ini: the driver and file are in the line.
    WriteFile(Root() + "/data/connparams.txt", std::string("demo 0 velkra_demo velkra NULL x demo ODBC SQLITE yes ") +
                                                   "Driver=" + kSqliteDriver + ";Database=" + (dir_ / "direct.db") + "\n");
    RunResult init = Velkra({"init", "--root", Root()});
    ASSERT_EQ(init.exitStatus, 0) << init.output << ReadFile(dir_ / "root/logs/velkra.log");
    EXPECT_EQ(init.output, "relvar\trows\t\nCustomer\t2\t\nOrders\t3\t\n");
    RunResult select = Velkra({"select", "--root", Root(), "Orders", "Qty > 1"});
    EXPECT_EQ(select.exitStatus, 0) << select.output;
    EXPECT_EQ(select.output, "OrderID\tCustomerID\tItem\tQty\t\n1\t1\trouter\t2\t\n2\t1\tcable\t10\t\n");
    EXPECT_EQ(ReadFile(dir_ / "root/logs/velkra.log").find("ENGINE"), std::string::npos)
        << "tables are created in the SQLite dialect, not the MySQL one";
}

TEST_F(VelkraInitCliTest, AFailedStartPrintsTheLogsErrorsAndExitsOne) {
    TempDir empty;
    RunResult none = Velkra({"init", "--root", empty.path()});
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_NE(none.output.find("[ERROR] Cannot open DataDictionary File."), std::string::npos) << none.output;
    EXPECT_NE(none.output.find("[ERROR] LoadAllDataDictFiles failed."), std::string::npos);
    EXPECT_NE(none.output.find("velkra init: the library did not start on " + empty.path() + " (log: " +
                               empty.path() + "/logs/velkra.log)"),
              std::string::npos);
    EXPECT_EQ(none.output.find("[DEBUG]"), std::string::npos) << "only ERROR records";

    WriteFile(Root() + "/data/connparams.txt", "demo 0 no_such_dsn velkra secret-word x demo ODBC SQLITE no\n");
    for (const char* command : {"init", "select", "import"}) {
        std::vector<std::string> args = {command, "--root", Root()};
        if (std::string(command) == "select") args.push_back("Customer");
        if (std::string(command) == "import") args.push_back(Root() + "/data/new-customers.xml");
        RunResult r = Velkra(args);
        EXPECT_EQ(r.exitStatus, 1) << command;
        EXPECT_NE(r.output.find("[ERROR] EstablishDBConnections failed."), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("the library did not start on"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("secret-word"), std::string::npos) << r.output;
    }
    // A Firebird database file that is not there: the same, and no file
    // is made.
    std::string error;
    ASSERT_TRUE(FirebirdReady(&error)) << error;
    WriteFile(Root() + "/data/connparams.txt",
              "demo 0 " + (dir_ / "missing.fdb") + " SYSDBA secret-word x demo FIREBIRD FIREBIRD no\n");
    RunResult firebird = Velkra({"init", "--root", Root()});
    EXPECT_EQ(firebird.exitStatus, 1);
    EXPECT_NE(firebird.output.find("[ERROR] EstablishDBConnections failed."), std::string::npos) << firebird.output;
    EXPECT_EQ(firebird.output.find("secret-word"), std::string::npos) << firebird.output;
    EXPECT_FALSE(FileExists(dir_ / "missing.fdb"));

    const std::string other = dir_ / "other";
    mkdir(other.c_str(), 0755);
    WriteFile(other + "/logs", "a file where the log folder belongs");
    RunResult noLog = Velkra({"init", "--root", other});
    EXPECT_EQ(noLog.exitStatus, 1);
    EXPECT_NE(noLog.output.find("cannot open its log " + other + "/logs/velkra.log"), std::string::npos)
        << noLog.output;
    RunResult notDir = Velkra({"init", "--root", dir_ / "odbc.ini"});
    EXPECT_EQ(notDir.exitStatus, 1);
    EXPECT_NE(notDir.output.find("is not a directory"), std::string::npos);
}

TEST_F(VelkraInitCliTest, DefaultRowsThatDoNotStoreFailTheCommand) {
    WriteFile(Root() + "/data/defaults.xml",
              "<Defaults>\n"
              "    <Customer CustomerID=\"7\" Name=\"Acme\" City=\"Oslo\"/>\n"
              "    <Customer CustomerID=\"7\" Name=\"Globex\" City=\"Bergen\"/>\n"
              "</Defaults>\n");
    RunResult first = Velkra({"init", "--root", Root()});
    EXPECT_EQ(first.exitStatus, 1) << first.output;
    EXPECT_NE(first.output.find("UNIQUE constraint failed"), std::string::npos) << first.output;
    EXPECT_NE(first.output.find("velkra init: 1 default row(s) were not stored, in Customer (log: "),
              std::string::npos)
        << first.output;
    // The database holds what did store; a start on it stores nothing.
    RunResult again = Velkra({"init", "--root", Root()});
    EXPECT_EQ(again.exitStatus, 0) << again.output;
    EXPECT_EQ(again.output, "relvar\trows\t\nCustomer\t1\t\nOrders\t0\t\n");
}

TEST_F(VelkraInitCliTest, SelectWithARowDocumentUsesNoDatabase) {
    // The row document form: no connection parameters are read.
    WriteFile(Root() + "/data/connparams.txt", "");
    RunResult r = Velkra({"select", "--root", std::string(ORV_EXAMPLES_DIR), "--xml",
                          std::string(ORV_EXAMPLES_DIR) + "/data/rows.xml", "Site", "City = 'Oslo'"});
    EXPECT_EQ(r.exitStatus, 0) << r.output;
    EXPECT_EQ(r.output, "SiteID\tCustomerID\tCity\tFloors\t\n10\t1\tOslo\t3\t\n");
    EXPECT_FALSE(FileExists(dir_ / "shop.db"));
}

TEST_F(VelkraInitCliTest, UsageAndHelp) {
    for (const char* command : {"init", "import", "select"}) {
        RunResult help = Velkra({command, "--help"});
        EXPECT_EQ(help.exitStatus, 0);
        EXPECT_NE(help.output.find(std::string("usage: velkra ") + command), std::string::npos) << help.output;
        EXPECT_EQ(Velkra({command}).exitStatus, 2) << command;
        EXPECT_EQ(Velkra({command, "--root"}).exitStatus, 2) << command;
        EXPECT_EQ(Velkra({command, "--bogus", "x"}).exitStatus, 2) << command;
    }
    EXPECT_EQ(Velkra({"init", "--root", Root(), "extra"}).exitStatus, 2);
    EXPECT_EQ(Velkra({"import", "--root", Root()}).exitStatus, 2);
    EXPECT_EQ(Velkra({"import", "--root", Root(), "a.xml", "b.xml"}).exitStatus, 2);
    EXPECT_EQ(Velkra({"import", "a.xml"}).exitStatus, 2);
    EXPECT_EQ(Velkra({"select", "--root", Root()}).exitStatus, 2);
    EXPECT_EQ(Velkra({"select", "--root", Root(), "Customer", "a", "b"}).exitStatus, 2);
    EXPECT_EQ(Velkra({"select", "Customer"}).exitStatus, 2);
    EXPECT_EQ(Velkra({"select", "--xml", "", "Customer"}).exitStatus, 2);
}

TEST_P(VelkraInitCliDbTest, ANewDatabaseThenSelectImportAndTheSameDatabaseAgain) {
    RunResult init = Velkra({"init", "--root", Root()});
    ASSERT_EQ(init.exitStatus, 0) << init.output << ReadFile(dir_ / "root/logs/velkra.log");
    EXPECT_EQ(init.output, "relvar\trows\t\n" + customer_ + "\t2\t\n" + orders_ + "\t3\t\n");
    EXPECT_NE(ReadFile(dir_ / "root/logs/velkra.log").find("[DEBUG] \nWelcome to Velkra."), std::string::npos);

    RunResult select = Velkra({"select", "--root", Root(), orders_, "Qty > 1"});
    EXPECT_EQ(select.exitStatus, 0) << select.output;
    EXPECT_EQ(select.output, "OrderID\tCustomerID\tItem\tQty\t\n1\t1\trouter\t2\t\n2\t1\tcable\t10\t\n");

    RunResult import = Velkra({"import", "--root", Root(), Root() + "/data/new-customers.xml"});
    EXPECT_EQ(import.exitStatus, 0) << import.output;
    EXPECT_EQ(import.output, "relvar\trows\t\n" + customer_ + "\t3\t\n" + orders_ + "\t5\t\n");

    // The customers are in the load list; a table outside it is loaded
    // for the select. The fourth start's customer batch began at 901.
    RunResult customers = Velkra({"select", "--root", Root(), customer_, "City = 'Trondheim' or CustomerID = 2"});
    EXPECT_EQ(customers.exitStatus, 0) << customers.output;
    EXPECT_EQ(customers.output, "CustomerID\tName\tCity\t\n2\tGlobex\tBergen\t\n601\tInitech\tTrondheim\t\n");
    WriteFile(Root() + "/data/loadtablelist.txt", "");
    RunResult orders = Velkra({"select", "--root", Root(), orders_, "Item = 'toner'"});
    EXPECT_EQ(orders.exitStatus, 0) << orders.output;
    EXPECT_EQ(orders.output, "OrderID\tCustomerID\tItem\tQty\t\n602\t1\ttoner\t4\t\n");

    // The default data is stored only on the new database.
    WriteFile(Root() + "/data/loadtablelist.txt", customer_ + "\n" + orders_ + "\n");
    RunResult again = Velkra({"init", "--root", Root()});
    EXPECT_EQ(again.exitStatus, 0) << again.output;
    EXPECT_EQ(again.output, "relvar\trows\t\n" + customer_ + "\t3\t\n" + orders_ + "\t5\t\n");
}

TEST_P(VelkraInitCliDbTest, RowsThatDoNotStoreTablesAndCriteria) {
    ASSERT_EQ(Velkra({"init", "--root", Root()}).exitStatus, 0);
    // Order 1 exists: its insert fails, the other row is stored.
    WriteFile(dir_ / "clash.xml", "<R><" + orders_ + " OrderID=\"1\" CustomerID=\"2\" Item=\"x\"/><" + orders_ +
                                      " OrderID=\"50\" CustomerID=\"2\" Item=\"y\"/></R>");
    RunResult clash = Velkra({"import", "--root", Root(), dir_ / "clash.xml"});
    EXPECT_EQ(clash.exitStatus, 1);
    EXPECT_NE(clash.output.find("[ERROR] Error in executing update query"), std::string::npos) << clash.output;
    EXPECT_NE(clash.output.find("1 row(s) were not stored, in " + orders_), std::string::npos) << clash.output;
    EXPECT_EQ(Velkra({"select", "--root", Root(), orders_, "OrderID = 50"}).output,
              "OrderID\tCustomerID\tItem\tQty\t\n50\t2\ty\t1\t\n");

    WriteFile(dir_ / "broken.xml", "<R><Orders");
    RunResult broken = Velkra({"import", "--root", Root(), dir_ / "broken.xml"});
    EXPECT_EQ(broken.exitStatus, 1);
    EXPECT_NE(broken.output.find("the row document was not stored"), std::string::npos) << broken.output;
    RunResult missing = Velkra({"import", "--root", Root(), dir_ / "missing.xml"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.output.find("cannot read the row document"), std::string::npos);

    RunResult unknown = Velkra({"select", "--root", Root(), "Nowhere"});
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_NE(unknown.output.find("unknown table 'Nowhere'"), std::string::npos);
    RunResult criteria = Velkra({"select", "--root", Root(), customer_, "Name = "});
    EXPECT_EQ(criteria.exitStatus, 1);
    EXPECT_NE(criteria.output.find("criteria 'Name = ' do not parse"), std::string::npos);
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(VelkraInitCliDbTest);

}  // namespace
}  // namespace orv::test
