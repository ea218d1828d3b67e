/*
 * The embedded Firebird harness on the real engine: a database file made
 * by isql-fb, scripts that stop at their first error, and rows read back
 * whole (texts with quotes, separators and line ends, binary blobs from hex
 * literals, booleans, doubles to the bit, every column type described).
 */
#include "tests/db/firebird_isql.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "datastore/type_codes.h"

namespace orv::test {
namespace {

/* A binary literal: x'00FF'. */
std::string BinaryLiteral(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "x'";
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out + "'";
}

class FirebirdIsqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(db_.Create(&error)) << error;
    }

    /* The single column of every row of a query. */
    std::vector<std::optional<std::string>> Column(const std::string& select, uint8_t type) {
        std::vector<FirebirdRow> rows;
        std::string error;
        EXPECT_TRUE(db_.Query(select, {type}, &rows, &error)) << error;
        std::vector<std::optional<std::string>> values;
        for (const FirebirdRow& row : rows) values.push_back(row.at(0));
        return values;
    }

    void Exec(const std::vector<std::string>& statements) {
        FirebirdRun run = db_.RunStatements(statements);
        ASSERT_TRUE(run.ok()) << run.output;
    }

    FirebirdDb db_;
};

TEST_F(FirebirdIsqlTest, CreatesAnEmbeddedDatabaseFile) {
    EXPECT_TRUE(FileExists(db_.DatabasePath()));
    std::string conf = ReadFile(db_.Folder() + "/root/firebird.conf");
    EXPECT_NE(conf.find("ServerMode = SuperClassic"), std::string::npos);
    EXPECT_NE(conf.find("Providers = Engine12"), std::string::npos);
    EXPECT_EQ(db_.Environment().at("FIREBIRD"), db_.Folder() + "/root");
    // The database's own character set is UTF8.
    std::vector<FirebirdRow> rows;
    std::string error;
    ASSERT_TRUE(db_.Query("SELECT TRIM(RDB$CHARACTER_SET_NAME) FROM RDB$DATABASE", &rows, &error)) << error;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "UTF8");
}

TEST_F(FirebirdIsqlTest, CreateFailsForADatabaseThatExists) {
    std::string error;
    EXPECT_FALSE(db_.Create(&error));
    EXPECT_NE(error.find("exit 1"), std::string::npos) << error;
}

TEST_F(FirebirdIsqlTest, CreatesInsertsAndSelects) {
    Exec({"CREATE TABLE T (A INTEGER NOT NULL, B VARCHAR(20), PRIMARY KEY (A))",
          "INSERT INTO T VALUES (1, 'one')", "INSERT INTO T VALUES (2, NULL);", "INSERT INTO T VALUES (3, 'three');  "});
    std::vector<FirebirdRow> rows;
    std::string error;
    ASSERT_TRUE(db_.Query("SELECT A, B FROM T ORDER BY A", {ORV_SQL_INT, ORV_SQL_CHAR}, &rows, &error)) << error;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (FirebirdRow{"1", "one"}));
    EXPECT_EQ(rows[1], (FirebirdRow{"2", std::nullopt}));
    EXPECT_EQ(rows[2], (FirebirdRow{"3", "three"}));

    Exec({"UPDATE T SET B = 'two' WHERE A = 2", "DELETE FROM T WHERE A = 3"});
    ASSERT_TRUE(db_.Query("select a, b from T order by a", &rows, &error)) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (FirebirdRow{"2", "two"}));
}

TEST_F(FirebirdIsqlTest, NoRowsIsAnEmptyResult) {
    Exec({"CREATE TABLE E (A INTEGER)"});
    EXPECT_TRUE(Column("SELECT A FROM E", ORV_SQL_INT).empty());
}

TEST_F(FirebirdIsqlTest, TextsComeBackByteForByte) {
    Exec({"CREATE TABLE S (N INTEGER, V VARCHAR(200), B BLOB SUB_TYPE TEXT)"});
    const std::vector<std::string> texts = {
        "O'Brien",
        "''",
        "semi;colon; -- not a comment /* nor this */",
        "back\\slash \\n \\\\ and \\' end\\",
        "100% _like_",
        "line one\nline two\n\ttabbed\t and a\rreturn\r",
        "trailing blanks   ",
        "   leading blanks",
        "",
        "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x98\x80 \xe6\x97\xa5\xe6\x9c\xac",
        "@start and end$",
        "N",
        "V",
        "X00",
    };
    std::vector<std::string> statements;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string literal = FirebirdTextLiteral(texts[i]);
        statements.push_back("INSERT INTO S VALUES (" + std::to_string(i) + ", " + literal + ", " + literal + ")");
    }
    Exec(statements);
    std::vector<FirebirdRow> rows;
    std::string error;
    ASSERT_TRUE(db_.Query("SELECT V, B FROM S ORDER BY N", {ORV_SQL_CHAR, ORV_SQL_TEXT}, &rows, &error)) << error;
    ASSERT_EQ(rows.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(rows[i][0], texts[i]) << i;
        EXPECT_EQ(rows[i][1], texts[i]) << i;
    }
    // Selected by their value.
    std::vector<std::optional<std::string>> found =
        Column("SELECT N FROM S WHERE V = " + FirebirdTextLiteral("O'Brien"), ORV_SQL_INT);
    EXPECT_EQ(found, (std::vector<std::optional<std::string>>{"0"}));
}

TEST_F(FirebirdIsqlTest, LongTexts) {
    // A literal holds at most 16383 characters on a UTF8 connection; longer
    // texts are concatenated onto a blob.
    std::string a(16000, 'a');
    std::string b;
    for (int i = 0; i < 1500; ++i) b += "0123456789";
    Exec({"CREATE TABLE L (N INTEGER, B BLOB SUB_TYPE TEXT)",
          "INSERT INTO L VALUES (1, " + FirebirdTextLiteral(a) + ")",
          "INSERT INTO L VALUES (2, CAST(" + FirebirdTextLiteral(a) + " AS BLOB SUB_TYPE TEXT) || " +
              FirebirdTextLiteral(b) + " || " + FirebirdTextLiteral(b) + ")"});
    std::vector<std::optional<std::string>> values = Column("SELECT B FROM L ORDER BY N", ORV_SQL_TEXT);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], a);
    EXPECT_EQ(values[1], a + b + b);
    EXPECT_EQ(values[1]->size(), 46000u);

    FirebirdRun tooLong = db_.RunStatements({"INSERT INTO L VALUES (3, " + FirebirdTextLiteral(std::string(16384, 'x')) + ")"});
    EXPECT_EQ(tooLong.exitStatus, 1);
    EXPECT_NE(tooLong.output.find("exceeds the maximum length"), std::string::npos) << tooLong.output;
}

TEST_F(FirebirdIsqlTest, BinaryBlobsFromHexLiterals) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    std::string big;
    for (int i = 0; i < 9000; ++i) big += static_cast<char>((i * 7) & 0xff);  // past one 8000-byte chunk
    Exec({"CREATE TABLE BL (N INTEGER, B BLOB SUB_TYPE BINARY, O VARCHAR(8) CHARACTER SET OCTETS)",
          "INSERT INTO BL VALUES (1, " + BinaryLiteral(bytes) + ", x'000A0D09')",
          "INSERT INTO BL VALUES (2, x'', NULL)", "INSERT INTO BL VALUES (3, NULL, x'41')",
          "INSERT INTO BL VALUES (4, " + BinaryLiteral(big) + ", NULL)"});
    std::vector<FirebirdRow> rows;
    std::string error;
    ASSERT_TRUE(db_.Query("SELECT B, O FROM BL ORDER BY N", &rows, &error)) << error;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][0], bytes);
    EXPECT_EQ(rows[0][1], std::string("\0\n\r\t", 4));
    EXPECT_EQ(rows[1][0], "");
    EXPECT_EQ(rows[1][1], std::nullopt);
    EXPECT_EQ(rows[2][0], std::nullopt);
    EXPECT_EQ(rows[2][1], "A");
    EXPECT_EQ(rows[3][0], big);
}

TEST_F(FirebirdIsqlTest, Booleans) {
    Exec({"CREATE TABLE BO (N INTEGER, B BOOLEAN, S SMALLINT)", "INSERT INTO BO VALUES (1, TRUE, 1)",
          "INSERT INTO BO VALUES (2, FALSE, 0)", "INSERT INTO BO VALUES (3, NULL, NULL)",
          "INSERT INTO BO VALUES (4, 'true', 1)"});
    std::vector<FirebirdRow> rows;
    std::string error;
    ASSERT_TRUE(db_.Query("SELECT B, S FROM BO ORDER BY N", &rows, &error)) << error;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (FirebirdRow{"TRUE", "1"}));
    EXPECT_EQ(rows[1], (FirebirdRow{"FALSE", "0"}));
    EXPECT_EQ(rows[2], (FirebirdRow{std::nullopt, std::nullopt}));
    EXPECT_EQ(rows[3][0], "TRUE");

    EXPECT_EQ(Column("SELECT N FROM BO WHERE B = TRUE ORDER BY N", ORV_SQL_INT),
              (std::vector<std::optional<std::string>>{"1", "4"}));
}

TEST_F(FirebirdIsqlTest, AScriptStopsAtItsFirstErrorAndKeepsNoneOfItsRows) {
    Exec({"CREATE TABLE T (A INTEGER)"});
    FirebirdRun run = db_.RunStatements(
        {"INSERT INTO T VALUES (1)", "INSERT INTO NO_SUCH_TABLE VALUES (2)", "INSERT INTO T VALUES (3)"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.output.find("Table unknown"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("NO_SUCH_TABLE"), std::string::npos) << run.output;
    EXPECT_TRUE(Column("SELECT A FROM T", ORV_SQL_INT).empty());

    // A failing query is no result.
    std::vector<FirebirdRow> rows;
    std::string error;
    EXPECT_FALSE(db_.Query("SELECT X FROM NO_SUCH_TABLE", {ORV_SQL_INT}, &rows, &error));
    EXPECT_NE(error.find("NO_SUCH_TABLE"), std::string::npos) << error;
}

TEST_F(FirebirdIsqlTest, DescribesEveryColumnType) {
    Exec({"CREATE TABLE TY (C1 SMALLINT, C2 INTEGER, C3 BIGINT, C4 FLOAT, C5 DOUBLE PRECISION, "
          "C6 NUMERIC(18,4), C7 DECIMAL(9,2), C8 VARCHAR(10), C9 CHAR(3), C10 VARCHAR(4) CHARACTER SET OCTETS, "
          "C11 BLOB SUB_TYPE TEXT, C12 BLOB SUB_TYPE BINARY, C13 DATE, C14 TIME, C15 TIMESTAMP, C16 BOOLEAN)"});
    std::vector<FirebirdColumn> columns;
    std::string error;
    ASSERT_TRUE(db_.Describe("SELECT TY.*, C2 + 1 AS NEXT_ONE FROM TY", &columns, &error)) << error;
    const std::vector<uint8_t> expected = {ORV_SQL_SMALLINT, ORV_SQL_INT,    ORV_SQL_BIGINT,   ORV_SQL_FLOAT,
                                           ORV_SQL_DOUBLE,   ORV_SQL_DECIMAL, ORV_SQL_DECIMAL, ORV_SQL_CHAR,
                                           ORV_SQL_CHAR,     ORV_SQL_BLOB,   ORV_SQL_TEXT,     ORV_SQL_BLOB,
                                           ORV_SQL_DATE,     ORV_SQL_TIME,   ORV_SQL_DATETIME, ORV_SQL_BOOLEAN,
                                           ORV_SQL_BIGINT};
    ASSERT_EQ(columns.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(columns[i].type, expected[i]) << i;
    EXPECT_EQ(columns[0].name, "C1");
    EXPECT_EQ(columns[15].name, "C16");
    EXPECT_EQ(columns[16].name, "NEXT_ONE");
}

/* A double as an exact expression of the engine: a 53-bit integer times a
 * power of two (a decimal literal is not always read as the nearest
 * double). */
std::string ExactDouble(double v) {
    if (v == 0) return "CAST(0 AS DOUBLE PRECISION)";
    int e = 0;
    std::frexp(v, &e);
    int k = std::max(e - 53, -1074);
    auto m = static_cast<long long>(std::ldexp(v, -k));
    return "(CAST(" + std::to_string(m) + " AS DOUBLE PRECISION) * POWER(CAST(2 AS DOUBLE PRECISION), " +
           std::to_string(k) + "))";
}

TEST_F(FirebirdIsqlTest, DoublesComeBackExactly) {
    const double values[] = {-1.2345678901234567e300, 0.1, 1.0 / 3.0, 1.2345678901234567e-300,
                             2.2250738585072014e-308, 4.9406564584124654e-324, 3.4028234663852886e38,
                             1.7976931348623157e308, -1.0000000000000002e308, 9007199254740993.0 * 3, 0.0};
    std::vector<std::string> statements = {"CREATE TABLE D (N INTEGER, D DOUBLE PRECISION, F FLOAT)"};
    for (size_t i = 0; i < std::size(values); ++i) {
        statements.push_back("INSERT INTO D VALUES (" + std::to_string(i) + ", " + ExactDouble(values[i]) + ", " +
                             ExactDouble(static_cast<double>(FLT_MIN)) + ")");
    }
    Exec(statements);
    std::vector<FirebirdRow> rows;
    std::string error;
    ASSERT_TRUE(db_.Query("SELECT D, F FROM D ORDER BY N", &rows, &error)) << error;
    ASSERT_EQ(rows.size(), std::size(values));
    char floatMin[64];
    snprintf(floatMin, sizeof floatMin, "%.17g", static_cast<double>(FLT_MIN));
    for (size_t i = 0; i < rows.size(); ++i) {
        char want[64];
        snprintf(want, sizeof want, "%.17g", values[i]);
        ASSERT_TRUE(rows[i][0].has_value());
        EXPECT_EQ(*rows[i][0], want) << std::hexfloat << values[i];
        EXPECT_EQ(rows[i][1], floatMin);
        // The text reads back as the very double.
        EXPECT_EQ(strtod(rows[i][0]->c_str(), nullptr), values[i]) << *rows[i][0];
    }
}

TEST_F(FirebirdIsqlTest, SelectsWithFirstSkipAndOrderAsDerivedTables) {
    std::vector<std::string> statements = {"CREATE TABLE P (A INTEGER, B VARCHAR(5))"};
    for (int i = 1; i <= 6; ++i) {
        statements.push_back("INSERT INTO P VALUES (" + std::to_string(i) + ", 'v" + std::to_string(i) + "')");
    }
    Exec(statements);
    EXPECT_EQ(Column("select first 2 skip 1 A from P order by A desc ", ORV_SQL_INT),
                     (std::vector<std::optional<std::string>>{"5", "4"}));
    std::vector<FirebirdRow> rows;
    std::string error;
    // Two columns of one name.
    ASSERT_TRUE(db_.Query("select x.A, y.A from P x inner join P y on x.A = y.A where x.A = 3", &rows, &error))
        << error;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (FirebirdRow{"3", "3"}));
}

TEST_F(FirebirdIsqlTest, SeveralProcessesShareTheDatabase) {
    Exec({"CREATE TABLE C (W INTEGER, N INTEGER)"});
    constexpr int kWorkers = 4;
    constexpr int kRuns = 5;
    std::vector<std::thread> workers;
    std::vector<std::string> failures(kWorkers);
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([this, w, &failures] {
            for (int r = 0; r < kRuns; ++r) {
                FirebirdRun run = db_.RunStatements(
                    {"INSERT INTO C VALUES (" + std::to_string(w) + ", " + std::to_string(r) + ")"});
                if (!run.ok()) failures[static_cast<size_t>(w)] += run.output;
            }
        });
    }
    for (std::thread& t : workers) t.join();
    for (const std::string& f : failures) EXPECT_EQ(f, "");
    EXPECT_EQ(Column("SELECT COUNT(*) FROM C", ORV_SQL_BIGINT),
              (std::vector<std::optional<std::string>>{std::to_string(kWorkers * kRuns)}));
}

TEST(FirebirdLiteralTest, QuotesAndHex) {
    EXPECT_EQ(FirebirdTextLiteral("O'Brien"), "'O''Brien'");
    EXPECT_EQ(FirebirdTextLiteral(""), "''");
    EXPECT_EQ(BinaryLiteral(std::string("\0\xff\x1a", 3)), "x'00FF1A'");
}

}  // namespace
}  // namespace orv::test
