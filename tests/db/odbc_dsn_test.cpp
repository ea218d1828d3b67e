// Creating ODBC data sources (CreateDSN, CreateDSNsFromFile) in an odbc.ini
// of the test's own folder: the data sources written from a file connect
// to the three test databases; refused and failing lines; nothing is
// written outside the test's folder and no password reaches the log.
//
// The program sets ODBCSYSINI and ODBCINI to its own folder before any
// ODBC call (unixODBC reads them once), with the drivers of the test
// databases' odbcinst.ini.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/db/odbc_test_util.h"

namespace orv::test {
namespace {

TempDir* g_configDir = nullptr;
std::string g_environmentError;

std::string OdbcIni() { return *g_configDir / "odbc.ini"; }

/* The lines of one section of an ini text. */
std::string Section(const std::string& ini, const std::string& name) {
    size_t start = ini.find("[" + name + "]");
    if (start == std::string::npos) return "";
    size_t end = ini.find("\n[", start + 1);
    return ini.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class OdbcDsnTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(g_environmentError.empty()) << g_environmentError;
        log_.Open();
    }
    void TearDown() override {
        std::string password = DbEnvValue("ORV_TEST_DB_PASSWORD");
        if (!password.empty()) {
            EXPECT_EQ(log_.Text().find(password), std::string::npos) << "password in the log";
        }
        log_.Close();
    }
    /* The first cell of a query's first row as text. */
    std::string Scalar(const ProviderConnection& c, const std::string& sql) {
        ResultHolder r(c.Query(sql));
        if (r.set == nullptr || r.set->columnCount < 1) return "<failed>";
        return CellText(CellAt(r.set, 0, 0), r.set->columns[0].type);
    }
    ProviderLog log_;
};

TEST_F(OdbcDsnTest, MissingDriverOrDsnNameIsRefused) {
    EXPECT_FALSE(CreateDSN("made_x", "d", "NULL", "NULL", "NULL", "NULL", nullptr));
    EXPECT_FALSE(CreateDSN(nullptr, "d", "NULL", "NULL", "NULL", "NULL", "SQLite3"));
    EXPECT_FALSE(CreateDSN("", "d", "NULL", "NULL", "NULL", "NULL", "SQLite3"));
    std::string text = log_.Text();
    size_t first = text.find("DriverName or DSN name is NULL \n");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(Section(ReadFile(OdbcIni()), "made_x"), "");
}

TEST_F(OdbcDsnTest, UnknownDriverFails) {
    EXPECT_FALSE(CreateDSN("made_unknown", "d", "NULL", "NULL", "NULL", "NULL", "No Such Driver"));
    EXPECT_TRUE(log_.Has("SQLConfigDataSource returned FALSE \n")) << log_.Text();
    EXPECT_EQ(Section(ReadFile(OdbcIni()), "made_unknown"), "");
}

TEST_F(OdbcDsnTest, MissingFileFails) {
    EXPECT_FALSE(CreateDSNsFromFile("/nonexistent/velkra/dsns.txt"));
    EXPECT_TRUE(log_.Has("Error opening File /nonexistent/velkra/dsns.txt \n")) << log_.Text();
    EXPECT_FALSE(CreateDSNsFromFile(nullptr));
}

TEST_F(OdbcDsnTest, NullValuesAreLeftOutAndLongWordsKeptWhole) {
    std::string description(300, 'd');
    std::string database = *g_configDir / "long.db";
    ASSERT_TRUE(CreateDSN("made_long", description.c_str(), "null", "NULL", "Null", database.c_str(), "SQLite3"))
        << log_.Text();
    std::string section = Section(ReadFile(OdbcIni()), "made_long");
    EXPECT_NE(section.find("Driver"), std::string::npos) << section;
    EXPECT_NE(section.find("SQLite3"), std::string::npos) << section;
    EXPECT_NE(section.find(description), std::string::npos) << section;
    EXPECT_NE(section.find(database), std::string::npos) << section;
    EXPECT_EQ(section.find("PWD"), std::string::npos) << section;
    EXPECT_EQ(section.find("UID"), std::string::npos) << section;
    EXPECT_EQ(section.find("SERVER"), std::string::npos) << section;
}

TEST_F(OdbcDsnTest, DataSourcesFromAFileConnect) {
    std::string home = getenv("HOME") ? getenv("HOME") : "/nonexistent";
    std::string homeIniBefore = ReadFile(home + "/.odbc.ini");
    bool homeIniExisted = FileExists(home + "/.odbc.ini");
    std::string etcIniBefore = ReadFile("/etc/odbc.ini");

    std::string user = DbEnvValue("ORV_TEST_DB_USER");
    std::string password = DbEnvValue("ORV_TEST_DB_PASSWORD");
    std::string database = DbEnvValue("ORV_TEST_DB_NAME");
    std::string sqliteFile = *g_configDir / "made.db";
    std::string lines;
    lines += "made_sqlite SQLite-file NULL NULL null " + sqliteFile + " SQLite3\n";
    lines += "made_pg PostgreSQL 127.0.0.1 " + user + " " + password + " " + database + " PostgreSQL Unicode\n";
    lines += "made_mariadb MariaDB 127.0.0.1 " + user + " " + password + " " + database + "    MariaDB Unicode  \r\n";
    lines += "made_bad Broken NULL NULL NULL NULL No Such Driver\n";
    std::string file = *g_configDir / "dsns.txt";
    WriteFile(file, lines);

    ASSERT_TRUE(CreateDSNsFromFile(file.c_str()));
    EXPECT_TRUE(log_.Has("Creating DSN made_bad Failed\n")) << log_.Text();
    EXPECT_FALSE(log_.Has("Creating DSN made_sqlite Failed")) << log_.Text();
    EXPECT_FALSE(log_.Has("Creating DSN made_pg Failed")) << log_.Text();
    EXPECT_FALSE(log_.Has("Creating DSN made_mariadb Failed")) << log_.Text();

    std::string ini = ReadFile(OdbcIni());
    EXPECT_EQ(Section(ini, "made_sqlite").find("PWD"), std::string::npos) << ini;
    EXPECT_NE(Section(ini, "made_mariadb").find("MariaDB Unicode"), std::string::npos) << ini;
    EXPECT_EQ(Section(ini, "made_bad"), "") << ini;

    for (const DbContext& db : AllDbContexts()) {
        if (!db.reachedThroughOdbc) continue;  // no ODBC data source of its own
        SCOPED_TRACE(db.name);
        ConnParams* params = nullptr;
        std::string current;
        // The data sources above are named by engine, not by context.
        const std::string made = "made_" + (db.dialect == "SQLITE" ? std::string("sqlite") : db.name);
        if (db.portKey.empty()) {
            // A database in a file: everything from the data source.
            params = ParamsFor(made, "", "NULL");
            current = "SELECT 1";
        } else if (!db.readsServerKeysOfDsn) {
            // psqlODBC reads its server and account from the keys
            // Servername, Username and Password of odbc.ini, not SERVER,
            // UID and PWD; the driver and database come from the data
            // source.
            params = ParamsFor("x", "", "NULL", true,
                               "DSN=" + made + ";Servername=127.0.0.1;Port=" + DbEnvValue(db.portKey) +
                                   ";UID=" + user + ";PWD=" + password);
            current = db.currentDatabaseSql;
        } else {
            // MariaDB's driver reads SERVER, UID, PWD and DATABASE from the
            // data source; only the test server's port is added.
            params = ParamsFor("x", "", "NULL", true, "DSN=" + made + ";PORT=" + DbEnvValue(db.portKey));
            current = db.currentDatabaseSql;
        }
        ProviderConnection c(params);
        FreeConnParams(params);
        ASSERT_TRUE(c) << log_.Text();
        EXPECT_EQ(Scalar(c, current), db.currentDatabaseSql.empty() ? "1" : database);
    }
    EXPECT_TRUE(FileExists(sqliteFile));

    // Nothing was written outside the test's folder.
    EXPECT_EQ(FileExists(home + "/.odbc.ini"), homeIniExisted);
    EXPECT_EQ(ReadFile(home + "/.odbc.ini"), homeIniBefore);
    EXPECT_EQ(ReadFile("/etc/odbc.ini"), etcIniBefore);
}

}  // namespace
}  // namespace orv::test

int main(int argc, char** argv) {
    using namespace orv::test;
    ::testing::InitGoogleTest(&argc, argv);
    // The test databases' environment first (it sets ODBCSYSINI and
    // ODBCINI), then this program's own folder over it.
    LoadDbEnvironment(&g_environmentError);
    g_configDir = new TempDir();
    if (g_environmentError.empty()) {
        WriteFile(*g_configDir / "odbcinst.ini", ReadFile(DbEnvValue("ODBCSYSINI") + "/odbcinst.ini"));
    }
    WriteFile(*g_configDir / "odbc.ini", "");
    setenv("ODBCSYSINI", g_configDir->path().c_str(), 1);
    setenv("ODBCINI", (*g_configDir / "odbc.ini").c_str(), 1);
    int status = RUN_ALL_TESTS();
    delete g_configDir;
    return status;
}
