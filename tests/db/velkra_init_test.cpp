// Start-up and shutdown of the library on the test databases (Firebird's
// too, whose new tables go into the shared test database file): a new
// database (tables created, default data stored, identifiers from 1), the
// same database again (create statements fail, start-up goes on, default
// data not stored again, identifiers after the recorded batch), the load
// list at start-up, no root, empty connection parameters, a missing load
// list, and start-up again after shutdown in the same process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "datastore/relvar.h"
#include "datastore/velkra_root.h"
#include "persist/table_io.h"
#include "persist/velkra_init.h"
#include "tests/db/db_context.h"
#include "tests/db/library_session.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

/* A table of the dictionary: an identifier from its own sequence, a name
 * and a count. */
std::string TableXml(const std::string& table) {
    return "    <table name=\"" + table +
           "\">\n"
           "        <columns>\n"
           "            <column name=\"ID\">\n"
           "                <data-type>ORV_SQL_INT</data-type>\n"
           "                <nullable>false</nullable>\n"
           "                <uniquevalue-generation>\n"
           "                    <generator-name>" + table + "_seq</generator-name>\n"
           "                </uniquevalue-generation>\n"
           "            </column>\n"
           "            <column name=\"NAME\">\n"
           "                <data-type>ORV_SQL_CHAR</data-type>\n"
           "                <max-size>40</max-size>\n"
           "            </column>\n"
           "            <column name=\"QTY\">\n"
           "                <data-type>ORV_SQL_INT</data-type>\n"
           "            </column>\n"
           "        </columns>\n"
           "        <primary-key>\n"
           "            <primary-key-column>ID</primary-key-column>\n"
           "        </primary-key>\n"
           "    </table>\n";
}

/* The working directory is <base>/run, so that "..\data\" is <base>/data
 * (absent unless a test makes it); the root is <base>/root. */
class VelkraInitTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        MakeDirectoryPath((base_ / "run").c_str());
        MakeDirectoryPath((base_ / "root/data").c_str());
        ASSERT_EQ(chdir((base_ / "run").c_str()), 0);
        ASSERT_TRUE(sql_.Connect(Db())) << sql_.LastError();
        items_ = TableName("items");
        parts_ = TableName("parts");
        created_ = {items_, parts_};
    }
    void TearDown() override {
        DeInitVelkra();
        for (const std::string& table : created_) sql_.Exec(Db().DropTableSql(table));
        for (const std::string& table : created_) {
            sql_.Exec("delete from SeqGenState where SEQNAME = '" + table + "_seq'");
        }
        if (!oldCwd_.empty()) {
            EXPECT_EQ(chdir(oldCwd_.c_str()), 0);
        }
    }

    /* The data files of a start-up in folder: the dictionary of the
     * tables, the map, the connection parameters, and the other files
     * given (name, content). */
    void WriteData(const std::string& folder, const std::vector<std::string>& tables,
                   const std::vector<std::pair<std::string, std::string>>& files = {}) {
        std::string dict = "<?xml version=\"1.0\"?>\n<data-dictionary>\n";
        std::string map;
        for (const std::string& t : tables) {
            dict += TableXml(t);
            map += t + " " + Db().connectionName + "\n";
        }
        dict += "</data-dictionary>\n";
        WriteFile(folder + "/datadictionary.txt", "tables.xml\n");
        WriteFile(folder + "/tables.xml", dict);
        WriteFile(folder + "/dsn_table_map.txt", map);
        WriteFile(folder + "/connparams.txt", Db().connParamsLine + "\n");
        for (const auto& [name, content] : files) WriteFile(folder + "/" + name, content);
    }
    void WriteRootData(const std::vector<std::string>& tables,
                       const std::vector<std::pair<std::string, std::string>>& files = {}) {
        WriteData(base_ / "root/data", tables, files);
    }

    std::string RootLog() const { return ReadFile(base_ / "root/logs/velkra.log"); }

    std::vector<OdbcSession::Row> DbRows(const std::string& table) {
        std::vector<OdbcSession::Row> rows;
        EXPECT_TRUE(sql_.Query("select ID, NAME, QTY from " + table + " order by ID", &rows)) << sql_.LastError();
        return rows;
    }
    std::vector<int> DbIds(const std::string& table) {
        std::vector<int> ids;
        for (const auto& row : DbRows(table)) ids.push_back(row[0] ? std::stoi(*row[0]) : -1);
        return ids;
    }
    /* Adds a row without an identifier and returns the identifier it got. */
    int AddRow(const std::string& table, const char* name) {
        RowObject* row = MakeRow(table, {nullptr, name, "1"});
        EXPECT_NE(row, nullptr);
        if (row == nullptr) return -1;
        EXPECT_TRUE(AddNewRow(table.c_str(), row));
        return IntAt(row, 0);
    }

    TempDir base_;
    std::string oldCwd_;
    OdbcSession sql_;
    std::string items_, parts_;
    std::vector<std::string> created_;
};

const char kWelcome[] =
    "[DEBUG] \nWelcome to Velkra.  You have successfully initialised the appropriate parameters, loaded the "
    "mentioned files/tables and established connection with the DB.\n";

TEST_P(VelkraInitTest, ANewDatabaseGetsItsTablesAndDefaultDataThenAStartOnItStoresNothingAgain) {
    WriteRootData({items_, parts_},
                  {{"loadtablelist.txt", items_ + "\n"},
                   {"defaultdata.txt", "defaults.xml\n"},
                   {"defaults.xml", "<Defaults>\n  <" + items_ + " NAME=\"bolt\" QTY=\"5\"/>\n  <" + items_ +
                                        " NAME=\"nut\" QTY=\"7\"/>\n  <" + parts_ + " NAME=\"gear\"/>\n</Defaults>\n"}});
    // The root is copied: the caller's text may change at once.
    std::string root = base_ / "root";
    std::vector<char> text(root.begin(), root.end());
    text.push_back('\0');
    ASSERT_TRUE(InitVelkra(text.data())) << RootLog();
    std::fill(text.begin(), text.end() - 1, 'x');
    EXPECT_STREQ(GetVelkraRoot(), root.c_str());

    EXPECT_EQ(DbIds(items_), (std::vector<int>{1, 2}));
    EXPECT_EQ(DbIds(parts_), (std::vector<int>{1}));
    auto rows = DbRows(items_);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1].value_or(""), "bolt");
    EXPECT_EQ(rows[1][2].value_or(""), "7");
    // The listed table was loaded (empty) before the default rows joined it.
    EXPECT_EQ(RowsOf(items_).size(), 2u);
    for (RowObject* row : RowsOf(items_)) EXPECT_EQ(row->state, kRowStored);
    const std::string firstLog = RootLog();
    EXPECT_NE(firstLog.find(kWelcome), std::string::npos) << firstLog;
    EXPECT_EQ(firstLog.find("[ERROR]"), std::string::npos) << firstLog;
    EXPECT_EQ(firstLog.find("[TRACE]"), std::string::npos) << "start-up logs at level 3";

    EXPECT_EQ(AddRow(items_, "washer"), 3);
    EXPECT_TRUE(SaveTable(items_.c_str()));
    DeInitVelkra();
    EXPECT_EQ(GetVelkraRoot(), nullptr);
    EXPECT_EQ(gv_logFilePtr, nullptr);

    // The same database again, in the same process.
    ASSERT_TRUE(InitVelkra(root.c_str())) << RootLog();
    const std::string secondLog = RootLog().substr(firstLog.size());
    EXPECT_NE(secondLog.find("[ERROR]"), std::string::npos) << "the create statement fails";
    // Every engine's message says so, in its own words around these.
    EXPECT_NE(secondLog.find("already exists"), std::string::npos) << secondLog;
    EXPECT_EQ(secondLog.find("Cannot save default data"), std::string::npos);
    EXPECT_EQ(secondLog.find("InitDBProvider failed"), std::string::npos) << secondLog;
    EXPECT_NE(secondLog.find(kWelcome), std::string::npos);
    EXPECT_EQ(DbIds(items_), (std::vector<int>{1, 2, 3})) << "default data is not stored again";
    EXPECT_EQ(DbIds(parts_), (std::vector<int>{1}));
    EXPECT_EQ(RowsOf(items_).size(), 3u);
    // The sequence goes on after the batch recorded by the first start.
    EXPECT_EQ(AddRow(items_, "spring"), 301);
    EXPECT_TRUE(SaveTable(items_.c_str()));
    DeInitVelkra();
    EXPECT_EQ(DbIds(items_), (std::vector<int>{1, 2, 3, 301}));
}

TEST_P(VelkraInitTest, TheLoadListAtStartUp) {
    const std::string odd = TableName("odd");
    created_.push_back(odd);
    // The odd table has one column more in the database than in its
    // definition; it comes last, so the others are created first.
    ASSERT_TRUE(sql_.Exec("create table " + odd + " (ID " + Db().types.integer + ", NAME " + Db().types.Varchar(40) +
                          ", QTY " + Db().types.integer + ", EXTRA " + Db().types.integer + ")"))
        << sql_.LastError();
    ASSERT_TRUE(sql_.Exec("insert into " + odd + " values (1, 'x', 1, 1)"));
    WriteRootData({items_, parts_, odd},
                  {{"loadtablelist.txt", items_ + " select * from " + items_ + " where QTY > 5\n" + parts_ +
                                             " all of it\n" + odd + "\n"}});
    ASSERT_TRUE(InitVelkra((base_ / "root").c_str())) << RootLog();
    DeInitVelkra();
    for (int i = 1; i <= 4; ++i) {
        const std::string v = std::to_string(i);
        ASSERT_TRUE(sql_.Exec("insert into " + items_ + " values (" + v + ", 'i" + v + "', " + std::to_string(i * 3) + ")"));
        ASSERT_TRUE(sql_.Exec("insert into " + parts_ + " values (" + v + ", 'p" + v + "', " + v + ")"));
    }

    ASSERT_TRUE(InitVelkra((base_ / "root").c_str())) << RootLog();
    std::vector<int> items;
    for (RowObject* row : RowsOf(items_)) items.push_back(IntAt(row, 0));
    EXPECT_EQ(items, (std::vector<int>{2, 3, 4})) << "only the rows the statement selects";
    EXPECT_EQ(RowsOf(parts_).size(), 4u) << "other words after the name load the whole table";
    EXPECT_EQ(GetTableDataByName(odd.c_str()), nullptr);
    const std::string log = RootLog();
    EXPECT_NE(log.find("LoadTable Failed for " + odd +
                       " table as there is mismatch between table definition in datadictionary and actual table "
                       "in database"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(kWelcome), std::string::npos);
}

TEST_P(VelkraInitTest, WithoutARootTheFilesComeFromDataBesideTheWorkingDirectory) {
    MakeDirectoryPath((base_ / "data").c_str());
    WriteData(base_ / "data", {items_}, {{"loadtablelist.txt", items_ + "\n"}});
    // The log is opened first so that the root's messages reach it.
    ASSERT_TRUE(InitDefaultLog());
    ASSERT_TRUE(ConfigureLog("velkra.log", (base_ / "log").c_str(), 100000000, 4));
    ASSERT_TRUE(OpenLogAppend());
    ASSERT_TRUE(InitVelkra(nullptr)) << ReadFile(base_ / "log/velkra.log");
    EXPECT_EQ(GetVelkraRoot(), nullptr);
    EXPECT_NE(GetTableDataByName(items_.c_str()), nullptr);
    EXPECT_TRUE(FileExists(base_ / "log/velkra.log"));
    const std::string log = ReadFile(base_ / "log/velkra.log");
    EXPECT_NE(log.find("[TRACE] @@ Inside InitVelkra @@\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[DEBUG] Default Path Used"), std::string::npos);
    EXPECT_NE(log.find(kWelcome), std::string::npos);
    // The level was set back to 3 at step two: no TRACE line after it.
    EXPECT_EQ(log.find("[TRACE]", log.find("Default Path Used")), std::string::npos);
}

TEST_P(VelkraInitTest, EmptyConnectionParametersEndTheStart) {
    WriteRootData({items_}, {{"connparams.txt", ""}});
    EXPECT_FALSE(InitVelkra((base_ / "root").c_str()));
    EXPECT_NE(RootLog().find("[ERROR] No entires in data source vector. InitVelkra failed.\n"), std::string::npos)
        << RootLog();
    DeInitVelkra();
    // Without a dictionary list the start ends before.
    TempDir empty;
    EXPECT_FALSE(InitVelkra(empty.path().c_str()));
    EXPECT_NE(ReadFile(empty / "logs/velkra.log").find("[ERROR] LoadAllDataDictFiles failed.\n"), std::string::npos);
}

TEST_P(VelkraInitTest, AMissingLoadListIsLoggedAndTheStartGoesOn) {
    WriteRootData({items_});
    ASSERT_TRUE(InitVelkra((base_ / "root").c_str())) << RootLog();
    const std::string log = RootLog();
    EXPECT_NE(log.find("[ERROR] Error in loading tables from loadtablelist.txt.  Please check if there are any "
                       "entries in your loadtablelist.txt or load the required tables manually.\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[ERROR] No default data to be prepopulated.\n"), std::string::npos);
    EXPECT_NE(log.find(kWelcome), std::string::npos);
    EXPECT_EQ(gv_tableDataVect->count, 0);
}

TEST_P(VelkraInitTest, ASecondStartWithoutShutdownIsLoggedAndRepeatedStartsLeaveNothingBehind) {
    WriteRootData({items_}, {{"loadtablelist.txt", items_ + "\n"}});
    const std::string root = base_ / "root";
    ASSERT_TRUE(InitVelkra(root.c_str())) << RootLog();
    // A second start without shutdown: the providers are there already;
    // the start goes on and succeeds.
    EXPECT_TRUE(InitVelkra(root.c_str()));
    EXPECT_NE(RootLog().find("[ERROR] InitDBProvider failed. Already initialized.\n"), std::string::npos);
    DeInitVelkra();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(InitVelkra(root.c_str())) << RootLog();
        EXPECT_NE(GetTableDataByName(items_.c_str()), nullptr);
        EXPECT_EQ(AddRow(items_, "r"), 601 + 300 * i) << "each start takes a new batch";
        DeInitVelkra();
    }
    EXPECT_EQ(GetVelkraRoot(), nullptr);
    EXPECT_EQ(gv_tableDataVect->count, 0);
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(VelkraInitTest);

}  // namespace
}  // namespace orv::test
