// The ODBC provider's own parts (its type mapping, its health checks, its
// connection strings), then the cases every provider passes on every test
// database through its provider table: ODBC on SQLite, PostgreSQL and
// MariaDB, the FIREBIRD provider on Firebird. Connecting, updates, queries
// of every mapped type, blobs, transactions, statements of several threads
// on one connection, and the log, which never shows a password.
#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "db/odbc/odbc_internal.h"
#include "tests/db/odbc_test_util.h"

namespace orv::test {
namespace {

/* ---- The type mapping --------------------------------------------------- */

TEST(MapODBCTypeTest, EveryMappedSqlType) {
    struct Case {
        int32_t sqlType;
        uint8_t code;
    };
    const Case cases[] = {
        {SQL_BIGINT, 7},       {SQL_SMALLINT, 3},        {SQL_INTEGER, 5},     {SQL_TINYINT, 1},
        {SQL_REAL, 11},        {SQL_FLOAT, 10},          {SQL_DOUBLE, 10},     {SQL_DECIMAL, 12},
        {SQL_NUMERIC, 13},     {SQL_GUID, 14},           {SQL_CHAR, 14},       {SQL_VARCHAR, 15},
        {SQL_LONGVARCHAR, 22}, {SQL_WCHAR, 15},          {SQL_WVARCHAR, 15},   {SQL_WLONGVARCHAR, 22},
        {SQL_DATE, 16},        {SQL_TIME, 17},           {SQL_TIMESTAMP, 18},  {SQL_TYPE_DATE, 16},
        {SQL_TYPE_TIME, 17},   {SQL_TYPE_TIMESTAMP, 18}, {SQL_BINARY, 20},     {SQL_VARBINARY, 20},
        {SQL_LONGVARBINARY, 20}, {SQL_BIT, 19},
    };
    for (const Case& c : cases) EXPECT_EQ(MapODBCType(c.sqlType), c.code) << "SQL type " << c.sqlType;
    for (int32_t interval = 101; interval <= 113; ++interval) EXPECT_EQ(MapODBCType(interval), 14) << interval;
    EXPECT_EQ(MapODBCType(0), 0);
    EXPECT_EQ(MapODBCType(-150), 0);
    EXPECT_EQ(MapODBCType(114), 0);
}

TEST(OdbcHealthTest, ConnectionLevelStates) {
    using odbc::IsConnectionLevelFailure;
    EXPECT_TRUE(IsConnectionLevelFailure("08S01", 35));    // psqlODBC, MariaDB: link lost
    EXPECT_TRUE(IsConnectionLevelFailure("08003", 0));     // connection not open
    EXPECT_TRUE(IsConnectionLevelFailure("08001", 101));   // cannot connect
    EXPECT_TRUE(IsConnectionLevelFailure("57P01", 35));    // PostgreSQL: administrator shutdown
    EXPECT_TRUE(IsConnectionLevelFailure("57P02", 0));     // crash shutdown
    EXPECT_TRUE(IsConnectionLevelFailure("57P03", 0));     // cannot connect now
    EXPECT_TRUE(IsConnectionLevelFailure("HY000", 2006));  // MariaDB: server has gone away
    EXPECT_TRUE(IsConnectionLevelFailure("HY001", 2006));
    EXPECT_TRUE(IsConnectionLevelFailure("HY000", 2013));  // lost connection during query
    EXPECT_FALSE(IsConnectionLevelFailure("HY000", 1));
    EXPECT_FALSE(IsConnectionLevelFailure("42P01", 1));
    EXPECT_FALSE(IsConnectionLevelFailure("42S02", 2006));
    EXPECT_FALSE(IsConnectionLevelFailure("57014", 0));    // query cancelled
    EXPECT_FALSE(IsConnectionLevelFailure(nullptr, 0));
}

TEST(OdbcHealthTest, MessagesAreScrubbedOfThePassword) {
    char* text = odbc::ScrubText("login failed for s3cr3t; PWD=other;x", "s3cr3t");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "login failed for ****; PWD=****;x");
    free(text);
}

/* ---- Connecting (no particular database) ------------------------------- */

class OdbcConnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(LoadDbEnvironment(&error)) << error;
        log_.Open();
    }
    void TearDown() override { log_.Close(); }
    ProviderLog log_;
};

TEST_F(OdbcConnectTest, WithoutParametersOrDsnFailsBeforeAnyOdbcCall) {
    EXPECT_EQ(GetODBCProvider()->connect(nullptr), nullptr);
    ConnParams params{};
    params.userName = const_cast<char*>("velkra");
    EXPECT_EQ(GetODBCProvider()->connect(&params), nullptr);
    std::string text = log_.Text();
    size_t first = text.find("ODBC connection Parameter missing\n");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find("ODBC connection Parameter missing\n", first + 1), std::string::npos) << text;
    EXPECT_EQ(text.find("Allocating"), std::string::npos) << text;
    EXPECT_EQ(text.find("Connecting to driver failed"), std::string::npos) << text;
}

TEST_F(OdbcConnectTest, UnknownDsnFailsWithTheDriverManagersDiagnostics) {
    ConnParams* params = ParamsFor("velkra_no_such_dsn", "velkra", "NULL");
    ProviderConnection c(params);
    FreeConnParams(params);
    EXPECT_FALSE(c);
    EXPECT_TRUE(log_.Has("Connecting to driver failed\n")) << log_.Text();
    EXPECT_TRUE(log_.Has("STATE: IM002")) << log_.Text();
}

TEST_F(OdbcConnectTest, NullPasswordLeavesPwdOutAndKeepsBothSemicolons) {
    ConnParams* params = ParamsFor("velkra_no_such_dsn", "velkra", "NULL");
    ASSERT_EQ(params->password, nullptr);
    ProviderConnection c(params);
    FreeConnParams(params);
    EXPECT_FALSE(c);
    EXPECT_TRUE(log_.Has("Connection string: DSN=velkra_no_such_dsn;UID=velkra;;\n")) << log_.Text();
}

TEST_F(OdbcConnectTest, PasswordIsMaskedInTheConnectionStringLine) {
    ConnParams* params = ParamsFor("velkra_no_such_dsn", "velkra", "Top$ecret-4711");
    ProviderConnection c(params);
    FreeConnParams(params);
    EXPECT_FALSE(c);
    std::string text = log_.Text();
    EXPECT_NE(text.find("Connection string: DSN=velkra_no_such_dsn;UID=velkra;PWD=****;\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Top$ecret-4711"), std::string::npos) << text;
    EXPECT_EQ(text.find("Driver="), std::string::npos) << text;
}

TEST_F(OdbcConnectTest, PasswordHoldingASemicolonIsBracedAndMasked) {
    ConnParams* params = ParamsFor("velkra_no_such_dsn", "velkra", "pa;ss}word");
    ProviderConnection c(params);
    FreeConnParams(params);
    EXPECT_FALSE(c);
    std::string text = log_.Text();
    EXPECT_NE(text.find("Connection string: DSN=velkra_no_such_dsn;UID=velkra;PWD=****;\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("ss}"), std::string::npos) << text;
    EXPECT_EQ(text.find("word"), std::string::npos) << text;
}

TEST_F(OdbcConnectTest, ConfiguredConnectionStringIsPassedExactly) {
    ConnParams* params =
        ParamsFor("velkra_sqlite", "velkra", "NULL", true, "DSN=velkra_no_such_dsn;Timeout=1000;PWD={a;b}");
    ProviderConnection c(params);
    FreeConnParams(params);
    EXPECT_FALSE(c);
    std::string text = log_.Text();
    // Exactly the configured text (its password masked): no DSN= of the
    // parameters, no Driver= piece.
    EXPECT_NE(text.find("Connection string: DSN=velkra_no_such_dsn;Timeout=1000;PWD=****\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("velkra_sqlite"), std::string::npos) << text;
    EXPECT_EQ(text.find("a;b"), std::string::npos) << text;
}

/* ---- The shared cases ---------------------------------------------------- */

/* The cases every provider passes on every test database: through ODBC on
 * SQLite, PostgreSQL and MariaDB, through the FIREBIRD provider on
 * Firebird. Each goes through the provider table of its context's data
 * source. */
class ProviderTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        log_.Open();
        ASSERT_TRUE(conn_.Open(Db())) << log_.Text();
    }
    void TearDown() override {
        for (const std::string& t : tables_) {
            if (conn_) conn_.Update(Db().DropTableSql(t));
        }
        conn_.Close();
        if (!Db().password.empty()) {
            EXPECT_EQ(log_.Text().find(Db().password), std::string::npos) << "the password reached the log";
        }
        log_.Close();
    }
    const DBProvider* P() const { return conn_.provider(); }
    std::string Table(const std::string& base) {
        tables_.push_back(TableName(base));
        return tables_.back();
    }
    /* "SELECT <what>" with the one-row table Firebird needs to select
     * from. */
    std::string Select(const std::string& what) const {
        return "SELECT " + what + Db().selectFrom;
    }
    /* The first cell of a query's first row as text. */
    std::string Scalar(const ProviderConnection& c, const std::string& sql) {
        ResultHolder r(c.Query(sql));
        if (r.set == nullptr) return "<failed>";
        if (r.set->columnCount < 1) return "<no column>";
        return CellText(CellAt(r.set, 0, 0), r.set->columns[0].type);
    }

    ProviderLog log_;
    ProviderConnection conn_;
    std::vector<std::string> tables_;
};

std::string Lower(std::string text) {
    for (char& ch : text) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return text;
}

TEST_P(ProviderTest, TheTableIsTheDataSourcesProviderWithEveryOperation) {
    const DBProvider* p = P();
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->name, Db().providerName.c_str());
    EXPECT_NE(p->connect, nullptr);
    EXPECT_NE(p->executeUpdate, nullptr);
    EXPECT_NE(p->executeQuery, nullptr);
    EXPECT_NE(p->disconnect, nullptr);
    EXPECT_NE(p->beginTransaction, nullptr);
    EXPECT_NE(p->commitTransaction, nullptr);
    EXPECT_NE(p->rollbackTransaction, nullptr);
    EXPECT_NE(p->executeUpdateBlob, nullptr);
    EXPECT_NE(p->executeQueryBlob, nullptr);
}

TEST_P(ProviderTest, ConnectsWithItsOwnHandlesAndDisconnects) {
    ProviderConnection second;
    ASSERT_TRUE(second.Open(Db()));
    EXPECT_NE(second.get()->providerHandle, conn_.get()->providerHandle);
    EXPECT_STREQ(second.get()->connectionName, "testconn");
    EXPECT_EQ(second.get()->broken, 0);
    // Closing one connection leaves the other working.
    second.Close();
    EXPECT_EQ(Scalar(conn_, Select("1")), "1");
}

TEST_P(ProviderTest, ConfiguredConnectionStringConnects) {
    // The connection string names the database (Firebird: the database
    // file); the data source name of the parameters is not used.
    const DbContext& db = Db();
    const std::string connString = db.reachedThroughOdbc ? db.ConnectionString() : db.dsn;
    ConnParams* params = CreateConnParams("x", 0, "not_a_dsn_at_all", "nobody", "NULL", "testconn", 1,
                                          connString.c_str(), db.providerName.c_str(), db.dialect.c_str());
    ASSERT_NE(params, nullptr);
    ProviderConnection c(params);
    FreeConnParams(params);
    ASSERT_TRUE(c) << log_.Text();
    EXPECT_EQ(Scalar(c, Select("1")), "1");
}

TEST_P(ProviderTest, WrongPasswordFailsAndNeverReachesTheLog) {
    if (Db().password.empty()) GTEST_SKIP() << "SQLite has no passwords";
    if (!Db().checksPassword) GTEST_SKIP() << "the embedded Firebird engine takes any password";
    ConnParams* params = ParamsFor(Db().dsn, Db().user, "Wr0ng-Secret-9911");
    ProviderConnection c(params);
    FreeConnParams(params);
    EXPECT_FALSE(c);
    std::string text = log_.Text();
    EXPECT_NE(text.find("Connecting to driver failed\n"), std::string::npos) << text;
    EXPECT_NE(text.find("STATE: "), std::string::npos) << text;
    EXPECT_NE(text.find("PWD=****;"), std::string::npos) << text;
    EXPECT_EQ(text.find("Wr0ng-Secret-9911"), std::string::npos) << text;
}

TEST_P(ProviderTest, UpdatesIncludingOnesThatMatchNoRow) {
    std::string t = Table("upd");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (id INTEGER, v INTEGER)")) << log_.Text();
    EXPECT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (1, 10)"));
    EXPECT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (2, 20)"));
    EXPECT_TRUE(conn_.Update("UPDATE " + t + " SET v = 11 WHERE id = 1"));
    // Matching no row is success (the ODBC drivers of SQLite and
    // PostgreSQL answer SQL_NO_DATA).
    EXPECT_TRUE(conn_.Update("UPDATE " + t + " SET v = 0 WHERE id = -1")) << log_.Text();
    EXPECT_TRUE(conn_.Update("DELETE FROM " + t + " WHERE id = -1")) << log_.Text();
    EXPECT_TRUE(conn_.Update("DELETE FROM " + t + " WHERE id = 2"));
    EXPECT_EQ(Scalar(conn_, "SELECT COUNT(*) FROM " + t), "1");
    EXPECT_EQ(Scalar(conn_, "SELECT v FROM " + t + " WHERE id = 1"), "11");
    EXPECT_EQ(log_.Text().find("[ERROR]"), std::string::npos) << log_.Text();
}

TEST_P(ProviderTest, FailedStatementsLogDiagnosticsAndLeaveTheConnectionHealthy) {
    EXPECT_FALSE(conn_.Update("UPDATE velkra_no_such_table SET a = 1"));
    EXPECT_EQ(conn_.Query("SELECT * FROM velkra_no_such_table"), nullptr);
    EXPECT_EQ(P()->executeQueryBlob(conn_.get(), "SELEC nonsense", ConsumeChunks, nullptr), nullptr);
    std::string text = log_.Text();
    // The engine's own text, which names the table (statements are not
    // logged).
    EXPECT_NE(text.find(" MSG: "), std::string::npos) << text;
    EXPECT_NE(Lower(text).find("velkra_no_such_table"), std::string::npos) << text;
    for (const std::string& mark : Db().failureLogMarks) EXPECT_NE(text.find(mark), std::string::npos) << text;
    EXPECT_EQ(conn_.get()->broken, 0);
    EXPECT_EQ(Scalar(conn_, Select("1")), "1");
}

TEST_P(ProviderTest, MissingConnectionOrStatementFails) {
    EXPECT_EQ(P()->connect(nullptr), nullptr);
    EXPECT_EQ(P()->executeUpdate(conn_.get(), nullptr), 0);
    EXPECT_EQ(P()->executeQuery(conn_.get(), nullptr), nullptr);
    EXPECT_EQ(P()->executeUpdate(nullptr, "SELECT 1"), 0);
    EXPECT_EQ(P()->executeQuery(nullptr, "SELECT 1"), nullptr);
    EXPECT_EQ(P()->beginTransaction(nullptr), 0);
    EXPECT_EQ(P()->disconnect(nullptr), 0);
    EXPECT_EQ(Scalar(conn_, Select("1")), "1");
}

/* A column of EveryMappedTypeRoundTrips's table and the type code the
 * provider reports it as (the engine's where it differs, from its
 * DbReportedCodes). */
struct ColumnCase {
    std::string name;
    std::string sqlType;  // filled per engine
    std::string literal;
    uint8_t code;
    std::string expected;  // CellText of the value
};

TEST_P(ProviderTest, EveryMappedTypeRoundTrips) {
    const DbContext& db = Db();
    const DbSqlTypes& ty = db.types;
    // As long as a literal may be (100,000 characters where there is no
    // limit).
    const size_t textSize = db.maxTextLiteral > 0 && db.maxTextLiteral < 100000 ? db.maxTextLiteral : 100000;
    std::string longText;
    while (longText.size() < textSize) longText += "abcdefghij" + std::to_string(longText.size() % 7);
    longText.resize(textSize);
    const DbReportedCodes& codes = db.reportedCodes;
    std::vector<ColumnCase> cases = {
        {"c_tiny", ty.tinyint, "100", codes.tinyint, "100"},
        {"c_small", ty.smallint, "-12345", codes.smallint, "-12345"},
        {"c_int", ty.integer, "-2000000000", codes.integer, "-2000000000"},
        {"c_big", ty.bigint, "12345678901234", 7, "12345678901234"},
        {"c_dbl", ty.doubleType, "1234.56789012345", 10, "1234.5678901234500"},
        {"c_real", ty.real, "1.5", codes.real, ""},
        {"c_dec", ty.decimal, "12345.6789", codes.decimal, "12345.6789"},
        {"c_num", ty.numeric, "-0.5", codes.numeric, ""},
        {"c_vc", ty.Varchar(40), "'hello, w\xC3\xB6rld'", 15, "hello, w\xC3\xB6rld"},
        {"c_text", ty.text, "'" + longText + "'", 22, longText},
        {"c_date", ty.date, "'2024-02-29'", 16, "2024-02-29"},
        {"c_time", ty.time, "'23:59:58'", 17, "23:59:58"},
        {"c_ts", ty.timestamp, "'2024-02-29 23:59:59'", 18, "2024-02-29 23:59:59"},
        {"c_true", ty.boolean, "TRUE", codes.boolean, "1"},
        {"c_false", ty.boolean, "FALSE", codes.boolean, "0"},
    };
    std::string t = Table("types");
    std::string create = "CREATE TABLE " + t + " (id INTEGER";
    std::string insert = "INSERT INTO " + t + " VALUES (1";
    std::string nulls = "INSERT INTO " + t + " VALUES (2";
    std::string select = "SELECT id";
    for (const ColumnCase& c : cases) {
        create += ", " + c.name + " " + c.sqlType;
        insert += ", " + c.literal;
        nulls += ", NULL";
        select += ", " + c.name;
    }
    ASSERT_TRUE(conn_.Update(create + ")")) << log_.Text();
    ASSERT_TRUE(conn_.Update(insert + ")")) << log_.Text();
    ASSERT_TRUE(conn_.Update(nulls + ")")) << log_.Text();
    ResultHolder r(conn_.Query(select + " FROM " + t + " ORDER BY id"));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    ASSERT_EQ(r.set->columnCount, static_cast<int32_t>(cases.size()) + 1);
    ASSERT_EQ(r.set->rowCount, 2);
    for (size_t i = 0; i < cases.size(); ++i) {
        const ColumnCase& c = cases[i];
        int col = static_cast<int>(i) + 1;
        uint8_t type = r.set->columns[col].type;
        SCOPED_TRACE(c.name + " " + c.sqlType);
        // Firebird gives unquoted names in capitals.
        EXPECT_EQ(Lower(r.set->columns[col].name), c.name);
        EXPECT_EQ(type, c.code);
        const ResultCell* cell = CellAt(r.set, 0, col);
        ASSERT_NE(cell, nullptr);
        ASSERT_NE(cell->data, nullptr);
        if (c.name == "c_real") {
            EXPECT_EQ(CellDouble(cell, type), 1.5);
            EXPECT_EQ(cell->length, db.hasSinglePrecisionFloat ? 4 : 8);
        } else if (c.name == "c_num") {
            if (type == 10) {
                EXPECT_EQ(CellDouble(cell, type), -0.5);
            } else {
                EXPECT_EQ(CellText(cell, type), db.keepsDecimalScale ? "-0.5000" : "-0.5");
            }
        } else if (c.name == "c_dbl") {
            EXPECT_EQ(CellDouble(cell, type), 1234.56789012345);
            EXPECT_EQ(cell->length, 8);
        } else if (c.name == "c_dec" && IsTextType(codes.decimal)) {
            EXPECT_EQ(CellText(cell, type), "12345.6789");  // kept as text by the driver
        } else if (c.name == "c_dec") {
            EXPECT_EQ(CellText(cell, type), "12345.6789");
            EXPECT_EQ(cell->length, 10);
        } else {
            EXPECT_EQ(CellText(cell, type), c.expected);
        }
        if (IsTextType(type)) {
            EXPECT_EQ(cell->length, static_cast<int32_t>(CellText(cell, type).size()));
        }
        if (IsIntegerType(type)) {
            EXPECT_EQ(cell->length, GetStoredWidth(type));
        }
        if (type == ORV_SQL_BOOLEAN) {
            EXPECT_EQ(cell->length, 1);
        }
        // Dates carry exactly the parts of their type.
        if (IsDateTimeType(type)) {
            const auto* v = static_cast<const OrvDateTime*>(cell->data);
            EXPECT_EQ(cell->length, kDateTimeStoredWidth);
            EXPECT_EQ(v->date != nullptr, type != ORV_SQL_TIME);
            EXPECT_EQ(v->time != nullptr, type != ORV_SQL_DATE);
        }
        // Booleans read as true or false whatever code the provider gave.
        if (c.name == "c_true" || c.name == "c_false") {
            int32_t length = 0;
            void* b = ConvertCellValue(cell->data, cell->length, type, ORV_SQL_BOOLEAN, &length);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(*static_cast<uint8_t*>(b), c.name == "c_true" ? 1 : 0);
            free(b);
        }
        // The second row is all NULL.
        const ResultCell* null = CellAt(r.set, 1, col);
        ASSERT_NE(null, nullptr);
        EXPECT_EQ(null->data, nullptr);
        EXPECT_EQ(null->length, 0);
    }
    // The set finds a column of the current row by its name in any case.
    ASSERT_NE(ResultSetNext(r.set), nullptr);
    int32_t length = 0;
    const void* vc = GetResultSetValue(r.set, "C_VC", &length);
    ASSERT_NE(vc, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(vc), static_cast<size_t>(length)), "hello, w\xC3\xB6rld");
    EXPECT_NE(GetResultSetValue(r.set, "c_Vc", &length), nullptr);
}

TEST_P(ProviderTest, AnIntegerBeyondItsColumnsWidthIsNeverWrapped) {
    // Engines that keep the declared width refuse the insert; SQLite keeps
    // any 64-bit integer in an INTEGER column, which its ODBC driver
    // reports as 32 bits wide.
    std::string t = Table("wide");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (y " + Db().types.integer + ")")) << log_.Text();
    if (!conn_.Update("INSERT INTO " + t + " VALUES (3000000000)")) return;
    ResultHolder r(conn_.Query("SELECT y FROM " + t));
    if (r.set == nullptr) {
        EXPECT_TRUE(log_.Has("The value 3000000000 does not fit column y\n")) << log_.Text();
        return;
    }
    EXPECT_EQ(CellText(CellAt(r.set, 0, 0), r.set->columns[0].type), "3000000000");
}

TEST_P(ProviderTest, FloatsInExponentFormRoundTrip) {
    std::string t = Table("exp");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (d " + Db().types.doubleType + ")"));
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (1.5e300)"));
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (-2.5e-7)"));
    ResultHolder r(conn_.Query("SELECT d FROM " + t + " ORDER BY d"));
    ASSERT_NE(r.set, nullptr);
    ASSERT_EQ(r.set->rowCount, 2);
    EXPECT_EQ(CellDouble(CellAt(r.set, 0, 0), r.set->columns[0].type), -2.5e-7);
    EXPECT_EQ(CellDouble(CellAt(r.set, 1, 0), r.set->columns[0].type), 1.5e300);
}

TEST_P(ProviderTest, UnsignedIntegersKeepTheirRange) {
    const DbContext& db = Db();
    if (!db.hasUnsignedTypes) GTEST_SKIP() << db.name << " has no unsigned integer types";
    std::string t = Table("unsig");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (a " + db.types.unsignedTinyint + ", b " +
                             db.types.unsignedSmallint + ", c " + db.types.unsignedInteger + ", d " +
                             db.types.unsignedBigint + ")"));
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (200, 60000, 4000000000, 18000000000000000000)"));
    ResultHolder r(conn_.Query("SELECT a, b, c, d FROM " + t));
    ASSERT_NE(r.set, nullptr);
    const uint8_t codes[] = {2, 4, 6, 8};
    const char* values[] = {"200", "60000", "4000000000", "18000000000000000000"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r.set->columns[i].type, codes[i]);
        EXPECT_EQ(CellText(CellAt(r.set, 0, i), r.set->columns[i].type), values[i]);
    }
}

TEST_P(ProviderTest, CharColumnsAndEnginesOwnTypes) {
    const DbContext& db = Db();
    std::string t = Table("chars");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (c " + db.types.Char(5) + ")"));
    // Two characters, three bytes in UTF-8.
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES ('\xC3\xA4" "b')"));
    ResultHolder r(conn_.Query("SELECT c FROM " + t));
    ASSERT_NE(r.set, nullptr);
    uint8_t type = r.set->columns[0].type;
    std::string text = CellText(CellAt(r.set, 0, 0), type);
    if (db.padsCharColumns) {
        // CHAR(5) keeps its padding to five characters (Firebird's UTF8
        // CHAR(5) comes padded to 20 bytes, of which the five characters
        // are kept).
        EXPECT_EQ(type, 14);
        EXPECT_EQ(text, "\xC3\xA4" "b   ");
    } else {
        EXPECT_TRUE(type == 14 || type == 15) << int(type);
        EXPECT_EQ(text, "\xC3\xA4" "b");
    }
    if (db.hasUuidType) {
        ResultHolder g(conn_.Query("SELECT CAST('a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11' AS uuid) AS g"));
        ASSERT_NE(g.set, nullptr) << log_.Text();
        EXPECT_EQ(g.set->columns[0].type, 14);  // SQL_GUID
        EXPECT_EQ(Lower(CellText(CellAt(g.set, 0, 0), 14)), "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
    }
    if (db.hasOctetsCharacterSet) {
        // Texts of the OCTETS character set are bytes; a timestamp's
        // fraction of a second is dropped.
        std::string f = Table("fbown");
        ASSERT_TRUE(conn_.Update("CREATE TABLE " + f + " (o VARCHAR(8) CHARACTER SET OCTETS, ts TIMESTAMP)"))
            << log_.Text();
        ASSERT_TRUE(conn_.Update("INSERT INTO " + f + " VALUES (x'00FF10', '1999-12-31 01:02:03.5')")) << log_.Text();
        ResultHolder o(conn_.Query("SELECT o, ts FROM " + f));
        ASSERT_NE(o.set, nullptr) << log_.Text();
        EXPECT_EQ(o.set->columns[0].type, ORV_SQL_BLOB);
        EXPECT_EQ(CellText(CellAt(o.set, 0, 0), ORV_SQL_BLOB), std::string("\0\xFF\x10", 3));
        EXPECT_EQ(o.set->columns[1].type, 18);
        EXPECT_EQ(CellText(CellAt(o.set, 0, 1), 18), "1999-12-31 01:02:03");
    }
}

TEST_P(ProviderTest, LongColumnNamesAreKeptWhole) {
    const DbContext& db = Db();
    int n = db.maxIdentifierLength < 150 ? db.maxIdentifierLength : 150;
    std::string name = "c";
    while (static_cast<int>(name.size()) < n) name += static_cast<char>('a' + name.size() % 26);
    ResultHolder r(conn_.Query(Select("1 AS " + name)));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    EXPECT_EQ(Lower(r.set->columns[0].name), name);
}

TEST_P(ProviderTest, QueryOfAStatementWithoutRowsGivesAnEmptySet) {
    std::string t = Table("norows");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (id INTEGER)"));
    ResultHolder r(conn_.Query("SELECT id FROM " + t));
    ASSERT_NE(r.set, nullptr);
    EXPECT_EQ(r.set->columnCount, 1);
    EXPECT_EQ(r.set->rowCount, 0);
    EXPECT_EQ(r.set->rows, nullptr);
}

TEST_P(ProviderTest, BlobsOfEverySizeRoundTrip) {
    std::string t = Table("blobs");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (id INTEGER, b " + Db().types.blob + ")")) << log_.Text();
    const size_t sizes[] = {0, 1, 1024, 2500, 100000};
    for (size_t size : sizes) {
        SCOPED_TRACE("blob of " + std::to_string(size) + " bytes");
        std::string data = BlobPattern(size);
        SupplierState supplier;
        supplier.data = &data;
        // The largest in chunks longer than one piece a provider writes.
        if (size == 100000) supplier.chunk = 70000;
        std::string insert = "INSERT INTO " + t + " (id, b) VALUES (" + std::to_string(size) + ", ?)";
        ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), insert.c_str(), SupplyChunks, &supplier), 1) << log_.Text();
        EXPECT_EQ(supplier.offset, size);

        // The blob query streams the cell in chunks of at most 1024 bytes.
        ConsumerState consumer;
        std::string query = "SELECT id, b FROM " + t + " WHERE id = " + std::to_string(size);
        ResultHolder r(P()->executeQueryBlob(conn_.get(), query.c_str(), ConsumeChunks, &consumer));
        ASSERT_NE(r.set, nullptr) << log_.Text();
        ASSERT_EQ(r.set->rowCount, 1);
        EXPECT_EQ(r.set->columns[1].type, ORV_SQL_BLOB);
        EXPECT_EQ(CellText(CellAt(r.set, 0, 0), r.set->columns[0].type), std::to_string(size));
        EXPECT_EQ(CellAt(r.set, 0, 1)->data, nullptr);
        EXPECT_EQ(consumer.endCalls, 1);
        ASSERT_FALSE(consumer.events.empty());
        EXPECT_EQ(consumer.events.back(), -1);
        std::vector<int> expected;
        for (size_t left = size; left > 0; left -= left > 1024 ? 1024 : left) {
            expected.push_back(static_cast<int>(left > 1024 ? 1024 : left));
        }
        expected.push_back(-1);
        EXPECT_EQ(consumer.events, expected);
        EXPECT_TRUE(consumer.bytes == data) << "bytes differ";

        // The direct query reads the blob whole, as bytes.
        ResultHolder d(conn_.Query("SELECT b FROM " + t + " WHERE id = " + std::to_string(size)));
        ASSERT_NE(d.set, nullptr) << log_.Text();
        EXPECT_EQ(d.set->columns[0].type, ORV_SQL_BLOB);
        const ResultCell* cell = CellAt(d.set, 0, 0);
        ASSERT_NE(cell, nullptr);
        ASSERT_NE(cell->data, nullptr) << "an empty blob is not a missing one";
        EXPECT_EQ(cell->length, static_cast<int32_t>(size));
        EXPECT_TRUE(std::string(static_cast<const char*>(cell->data), static_cast<size_t>(cell->length)) == data);
    }
    // A missing blob: no chunk, just the end call; the direct query's cell
    // is NULL.
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " (id, b) VALUES (-1, NULL)"));
    ConsumerState consumer;
    std::string query = "SELECT b FROM " + t + " WHERE id = -1";
    ResultHolder r(P()->executeQueryBlob(conn_.get(), query.c_str(), ConsumeChunks, &consumer));
    ASSERT_NE(r.set, nullptr);
    EXPECT_EQ(consumer.events, std::vector<int>{-1});
    ResultHolder d(conn_.Query(query));
    ASSERT_NE(d.set, nullptr);
    EXPECT_EQ(CellAt(d.set, 0, 0)->data, nullptr);
    // Every blob cell of a query of several rows ends with its own end
    // call, the empty and the missing one too, in row order.
    ConsumerState all;
    std::string every = "SELECT b FROM " + t + " ORDER BY id";
    ResultHolder a(P()->executeQueryBlob(conn_.get(), every.c_str(), ConsumeChunks, &all));
    ASSERT_NE(a.set, nullptr) << log_.Text();
    EXPECT_EQ(all.endCalls, 6);
    std::string bytes;
    for (size_t size : sizes) bytes += BlobPattern(size);
    EXPECT_TRUE(all.bytes == bytes) << "bytes differ";
}

TEST_P(ProviderTest, BlobChunksOfOddSizesAndAnUpdate) {
    std::string t = Table("blobupd");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (id INTEGER, b " + Db().types.blob + ")"));
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " (id) VALUES (1)"));
    std::string data = BlobPattern(5000);
    SupplierState supplier;
    supplier.data = &data;
    supplier.chunk = 1;  // the supplier's chunks need not be the reader's
    std::string update = "UPDATE " + t + " SET b = ? WHERE id = 1";
    ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), update.c_str(), SupplyChunks, &supplier), 1);
    EXPECT_EQ(supplier.calls, 5001);
    ConsumerState consumer;
    std::string query = "SELECT b FROM " + t;
    ResultHolder r(P()->executeQueryBlob(conn_.get(), query.c_str(), ConsumeChunks, &consumer));
    ASSERT_NE(r.set, nullptr);
    EXPECT_TRUE(consumer.bytes == data);
    EXPECT_EQ(consumer.events, (std::vector<int>{1024, 1024, 1024, 1024, 904, -1}));
    // An update matching no row with a blob succeeds too.
    SupplierState again;
    again.data = &data;
    std::string none = "UPDATE " + t + " SET b = ? WHERE id = -5";
    EXPECT_EQ(P()->executeUpdateBlob(conn_.get(), none.c_str(), SupplyChunks, &again), 1) << log_.Text();
    // A statement on a missing table fails cleanly.
    SupplierState third;
    third.data = &data;
    std::string bad = "UPDATE velkra_no_such_table SET b = ?";
    EXPECT_EQ(P()->executeUpdateBlob(conn_.get(), bad.c_str(), SupplyChunks, &third), 0);
    EXPECT_EQ(Scalar(conn_, Select("1")), "1");
    // A statement without its one parameter is refused and changes
    // nothing (the supplier's bytes would go nowhere).
    SupplierState fourth;
    fourth.data = &data;
    EXPECT_EQ(P()->executeUpdateBlob(conn_.get(), ("DELETE FROM " + t).c_str(), SupplyChunks, &fourth), 0);
    EXPECT_TRUE(log_.Has("A blob statement needs exactly one parameter; it has 0")) << log_.Text();
    EXPECT_EQ(Scalar(conn_, "SELECT COUNT(*) FROM " + t), "1");
}

TEST_P(ProviderTest, TransactionsSeenFromASecondConnection) {
    const DbContext& db = Db();
    std::string t = Table("tx");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (id INTEGER)"));
    ProviderConnection other;
    ASSERT_TRUE(other.Open(db));
    const DBProvider* p = P();
    std::string count = "SELECT COUNT(*) FROM " + t + " WHERE id = ";

    // Without a transaction every statement is committed at once.
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (0)"));
    EXPECT_EQ(Scalar(other, count + "0"), "1");

    ASSERT_EQ(p->beginTransaction(conn_.get()), 1) << log_.Text();
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (1)"));
    EXPECT_EQ(Scalar(conn_, count + "1"), "1");
    EXPECT_EQ(Scalar(other, count + "1"), "0");
    ASSERT_EQ(p->commitTransaction(conn_.get()), 1) << log_.Text();
    EXPECT_EQ(Scalar(other, count + "1"), "1");

    ASSERT_EQ(p->beginTransaction(conn_.get()), 1);
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (2)"));
    EXPECT_EQ(Scalar(conn_, count + "2"), "1");
    ASSERT_EQ(p->rollbackTransaction(conn_.get()), 1) << log_.Text();
    EXPECT_EQ(Scalar(conn_, count + "2"), "0");
    EXPECT_EQ(Scalar(other, count + "2"), "0");

    // Autocommit is back on.
    ASSERT_TRUE(conn_.Update("INSERT INTO " + t + " VALUES (3)"));
    EXPECT_EQ(Scalar(other, count + "3"), "1");
    // The library's front ends do not reach the provider for a commit or a
    // rollback without a begun transaction.
    EXPECT_EQ(CommitTransaction(conn_.get()), 0);
    EXPECT_EQ(RollbackTransaction(conn_.get()), 0);
    std::string text = log_.Text();
    const std::string prefix = "\t@@@@@ " + db.providerLogWord;
    EXPECT_NE(text.find(prefix + "BeginTransaction() @@@@@\n"), std::string::npos) << text;
    EXPECT_NE(text.find(prefix + "CommitTransaction() @@@@@\n"), std::string::npos) << text;
    EXPECT_NE(text.find(prefix + "RollbackTransaction() @@@@@\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Error in"), std::string::npos) << text;
    EXPECT_EQ(text.find("[ERROR]"), std::string::npos) << text;
}

TEST_P(ProviderTest, ThreadsSharingOneConnectionDoNotInterleave) {
    std::string t = Table("threads");
    ASSERT_TRUE(conn_.Update("CREATE TABLE " + t + " (id INTEGER, b " + Db().types.blob + ")"));
    constexpr int kThreads = 4;
    constexpr int kRounds = 20;
    const DBProvider* p = P();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back([&, n] {
            std::string data = BlobPattern(3000);
            for (int i = 0; i < kRounds; ++i) {
                int id = n * 1000 + i;
                SupplierState s;
                s.data = &data;
                std::string insert = "INSERT INTO " + t + " VALUES (" + std::to_string(id) + ", ?)";
                if (p->executeUpdateBlob(conn_.get(), insert.c_str(), SupplyChunks, &s) != 1) ++failures;
                ResultSet* r = conn_.Query("SELECT id FROM " + t + " WHERE id = " + std::to_string(id));
                if (r == nullptr || r->rowCount != 1) ++failures;
                FreeResultSet(r);
                ConsumerState c;
                std::string q = "SELECT b FROM " + t + " WHERE id = " + std::to_string(id);
                r = p->executeQueryBlob(conn_.get(), q.c_str(), ConsumeChunks, &c);
                if (r == nullptr || c.bytes != data) ++failures;
                FreeResultSet(r);
                // A plain update amid the others.
                std::string plain = "UPDATE " + t + " SET id = id WHERE id = " + std::to_string(id);
                if (p->executeUpdate(conn_.get(), plain.c_str()) != 1) ++failures;
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0) << log_.Text();
    EXPECT_EQ(Scalar(conn_, "SELECT COUNT(*) FROM " + t), std::to_string(kThreads * kRounds));
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(ProviderTest);

}  // namespace
}  // namespace orv::test
