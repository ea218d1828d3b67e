// The test databases themselves, reached straight through unixODBC (not
// through the library): every data source connects and answers, the
// servers listen on 127.0.0.1 on the ports of ports.env, and the driver
// facts that the shared cases rely on hold.
#include <gtest/gtest.h>

#include <sqlext.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/db/db_context.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

class DbServersTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(session_.Connect(Db())) << session_.LastError();
    }
    void TearDown() override {
        for (const std::string& t : tables_) session_.Exec(Db().DropTableSql(t));
    }
    std::string Table(const std::string& base) {
        tables_.push_back(TableName(base));
        return tables_.back();
    }

    OdbcSession session_;
    std::vector<std::string> tables_;
};

TEST_P(DbServersTest, SelectOne) {
    std::vector<OdbcSession::Row> rows;
    ASSERT_TRUE(session_.Query("SELECT 1", &rows)) << session_.LastError();
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 1u);
    EXPECT_EQ(rows[0][0].value_or("NULL"), "1");
}

TEST_P(DbServersTest, ConfigurationLivesInTheTestFolder) {
    if (!Db().reachedThroughOdbc) GTEST_SKIP() << "an ODBC driver's fact; this database is reached without ODBC";
    std::string dir = DbEnvValue("ORV_DB_DIR");
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(DbEnvValue("ODBCSYSINI"), dir);
    EXPECT_EQ(DbEnvValue("ODBCINI"), dir + "/odbc.ini");
    EXPECT_TRUE(FileExists(dir + "/odbcinst.ini"));
    std::string ini = ReadFile(dir + "/odbc.ini");
    EXPECT_NE(ini.find("[" + Db().dsn + "]"), std::string::npos) << ini;
}

TEST_P(DbServersTest, ServerListensOnLoopbackOnTheRecordedPort) {
    const DbContext& db = Db();
    ASSERT_FALSE(db.settings.empty());
    for (const DbSetting& setting : db.settings) {
        SCOPED_TRACE(setting.sql);
        std::vector<OdbcSession::Row> rows;
        ASSERT_TRUE(session_.Query(setting.sql, &rows)) << session_.LastError();
        ASSERT_FALSE(rows.empty());
        ASSERT_GT(rows[0].size(), setting.column);
        EXPECT_EQ(rows[0][setting.column].value_or(""),
                  setting.envKey.empty() ? setting.value : DbEnvValue(setting.envKey));
    }
}

TEST_P(DbServersTest, TablesOfOneTestAreItsOwn) {
    std::string a = Table("names");
    EXPECT_NE(a.find(std::to_string(getpid())), std::string::npos);
    EXPECT_LE(a.size(), 63u);
    EXPECT_EQ(a, TableName("names"));
    EXPECT_NE(a, TableName("other"));
    std::string longName = TableName(std::string(100, 'x'));
    EXPECT_LE(longName.size(), 63u);
    ASSERT_TRUE(session_.Exec("CREATE TABLE " + a + " (id " + Db().types.integer + ")")) << session_.LastError();
    ASSERT_TRUE(session_.Exec("INSERT INTO " + a + " (id) VALUES (7)")) << session_.LastError();
    EXPECT_EQ(session_.Scalar("SELECT id FROM " + a).value_or(""), "7");
}

TEST_P(DbServersTest, EveryColumnTypeMakesATable) {
    const DbContext& db = Db();
    std::string table = Table("types");
    std::string sql = "CREATE TABLE " + table + " (";
    for (int code = 1; code <= 22; ++code) {
        std::string type = db.SqlTypeFor(static_cast<uint8_t>(code), 20);
        ASSERT_FALSE(type.empty()) << "code " << code;
        sql += (code > 1 ? ", c" : "c") + std::to_string(code) + " " + type;
    }
    sql += ", v " + db.types.Varchar(40) + ")";
    EXPECT_TRUE(session_.Exec(sql)) << session_.LastError();
    EXPECT_EQ(db.SqlTypeFor(0), "");
    EXPECT_EQ(db.SqlTypeFor(23), "");
}

TEST_P(DbServersTest, DriverReportsTheContextsTypes) {
    if (!Db().reachedThroughOdbc) GTEST_SKIP() << "an ODBC driver's fact; this database is reached without ODBC";
    const DbContext& db = Db();
    std::string table = Table("facts");
    ASSERT_TRUE(session_.Exec("CREATE TABLE " + table + " (b " + db.types.boolean + ", t " + db.types.text +
                              ", x " + db.types.blob + ")"))
        << session_.LastError();
    std::vector<SQLSMALLINT> types;
    ASSERT_TRUE(session_.ColumnTypes("SELECT b, t, x FROM " + table, &types)) << session_.LastError();
    ASSERT_EQ(types.size(), 3u);
    EXPECT_EQ(types[0], db.booleanReportedType);
    EXPECT_EQ(types[1], db.textReportedType);
    EXPECT_EQ(types[2], db.blobReportedType);
    EXPECT_EQ(session_.InfoText(SQL_NEED_LONG_DATA_LEN), db.needsLongDataLength ? "Y" : "N");
}

TEST_P(DbServersTest, ChangeThatMatchesNoRow) {
    if (!Db().reachedThroughOdbc) GTEST_SKIP() << "an ODBC driver's fact; this database is reached without ODBC";
    const DbContext& db = Db();
    std::string table = Table("nochange");
    ASSERT_TRUE(session_.Exec("CREATE TABLE " + table + " (id " + db.types.integer + ")")) << session_.LastError();
    ASSERT_TRUE(session_.Exec("UPDATE " + table + " SET id = 2 WHERE id = 99")) << session_.LastError();
    EXPECT_EQ(session_.LastReturn(), db.noDataWhenNothingChanged ? SQL_NO_DATA : SQL_SUCCESS);
    ASSERT_TRUE(session_.Exec("DELETE FROM " + table + " WHERE id = 99")) << session_.LastError();
    EXPECT_EQ(session_.LastReturn(), db.noDataWhenNothingChanged ? SQL_NO_DATA : SQL_SUCCESS);
}

TEST_P(DbServersTest, WrongPasswordIsRefused) {
    DbContext db = Db();
    if (db.password.empty()) return;  // SQLite has no users
    db.password = "not-the-password";
    OdbcSession other;
    EXPECT_FALSE(other.Connect(db));
    EXPECT_EQ(other.LastError().find("not-the-password"), std::string::npos) << other.LastError();
}

ORV_INSTANTIATE_DB_TESTS(DbServersTest);

/* The local addresses (hex, as the kernel writes them) of the listening
 * TCP sockets on port in one of /proc/net/tcp, /proc/net/tcp6. */
std::vector<std::string> ListeningAddresses(const std::string& table, int port) {
    std::vector<std::string> addresses;
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        const size_t colon = local.rfind(':');
        if (state != "0A" || colon == std::string::npos) continue;  // 0A: listening
        if (std::stoi(local.substr(colon + 1), nullptr, 16) == port) addresses.push_back(local.substr(0, colon));
    }
    return addresses;
}

// Every server of the tests is reachable from this machine only: on
// 127.0.0.1, not on every interface (nor on IPv6's).
TEST(DbServers, EveryServerListensOnLoopbackOnly) {
    std::string error;
    ASSERT_TRUE(LoadDbEnvironment(&error)) << error;
    for (const char* key : {"ORV_TEST_PG_PORT", "ORV_TEST_MARIADB_PORT", "ORV_TEST_FBSERVER_PORT"}) {
        const std::string value = DbEnvValue(key);
        ASSERT_FALSE(value.empty()) << key;
        const int port = std::stoi(value);
        const std::vector<std::string> v4 = ListeningAddresses("/proc/net/tcp", port);
        EXPECT_EQ(v4, std::vector<std::string>{"0100007F"}) << key << " " << port;
        EXPECT_TRUE(ListeningAddresses("/proc/net/tcp6", port).empty()) << key << " " << port << " on IPv6";
    }
}

TEST(DbContexts, ThreeEnginesWithTheirLines) {
    DbContext sqlite = DbContextNamed("sqlite_odbc");
    DbContext native = DbContextNamed("sqlite");
    EXPECT_EQ(native.connParamsLine, "x 0 " + native.dsn + " velkra NULL x sqliteconn SQLITE SQLITE no");
    EXPECT_EQ(native.providerName, "SQLITE");
    EXPECT_NE(native.dsn, "velkra_sqlite");
    DbContext pg = DbContextNamed("pg");
    DbContext mariadb = DbContextNamed("mariadb");
    EXPECT_EQ(pg.connParamsLine, "x 0 velkra_pg velkra velkra-secret x pgconn ODBC PGSQL no");
    EXPECT_EQ(mariadb.connParamsLine, "x 0 velkra_mariadb velkra velkra-secret x mariadbconn ODBC MYSQL no");
    EXPECT_EQ(sqlite.connParamsLine, "x 0 velkra_sqlite velkra NULL x sqliteconn ODBC SQLITE no");
    EXPECT_EQ(sqlite.dialect, "SQLITE");
    EXPECT_EQ(pg.dialect, "PGSQL");
    EXPECT_EQ(mariadb.dialect, "MYSQL");
    EXPECT_EQ(pg.ConnectionString(), "DSN=velkra_pg;UID=velkra;PWD=velkra-secret;");
    EXPECT_EQ(sqlite.ConnectionString(), "DSN=velkra_sqlite;");
    EXPECT_FALSE(sqlite.canRestart);
    EXPECT_TRUE(pg.canRestart);
    EXPECT_TRUE(mariadb.canRestart);
    EXPECT_EQ(pg.types.blob, "BYTEA");
    EXPECT_EQ(mariadb.types.blob, "LONGBLOB");
    EXPECT_EQ(sqlite.types.blob, "BLOB");
}

TEST(DbContexts, AllEnginesUnlessLimited) {
    const char* limit = getenv("ORV_DB_ENGINES");
    std::vector<DbContext> all = AllDbContexts();
    if (limit == nullptr || *limit == '\0') {
        ASSERT_EQ(all.size(), 4u);
        EXPECT_EQ(all[0].name, "sqlite");
        EXPECT_EQ(all[1].name, "sqlite_odbc");
        EXPECT_EQ(all[2].name, "pg");
        EXPECT_EQ(all[3].name, "mariadb");
    } else {
        EXPECT_LE(all.size(), 4u);
    }
}

}  // namespace
}  // namespace orv::test
