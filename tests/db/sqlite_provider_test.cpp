/*
 * The SQLite provider on database files of the test's own: every value
 * read back exactly as SQLite stored it (64-bit integers, doubles to the
 * bit, texts, blobs of every size, NULL), blobs streamed in chunks, the
 * parts of a statement text, a file that cannot be made, and a writer
 * that waits for another connection's write lock.
 */
#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "datastore/type_codes.h"
#include "db/connparams.h"
#include "db/provider.h"
#include "db/result_set.h"
#include "db/sqlite/sqlite_provider.h"
#include "tests/db/odbc_test_util.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

ConnParams* SqliteParams(const std::string& file) {
    return CreateConnParams("x", 0, file.c_str(), "NULL", "NULL", "testconn", 0, "", "SQLITE", "SQLITE");
}

class SqliteProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        log_.Open();
        file_ = dir_.path() + "/test.db";
        ASSERT_TRUE(Open(conn_)) << log_.Text();
    }
    void TearDown() override {
        conn_.Close();
        log_.Close();
    }
    bool Open(ProviderConnection& c) {
        ConnParams* params = SqliteParams(file_);
        bool ok = c.Open(params);
        FreeConnParams(params);
        return ok;
    }
    const DBProvider* P() const { return GetSqliteProvider(); }

    TempDir dir_;
    std::string file_;
    ProviderLog log_;
    ProviderConnection conn_;
};

int64_t Int64At(const ResultSet* set, int row, int column) {
    const ResultCell* cell = CellAt(set, row, column);
    int64_t v = 0;
    if (cell != nullptr && cell->data != nullptr) memcpy(&v, cell->data, sizeof v);
    return v;
}

uint64_t BitsAt(const ResultSet* set, int row, int column) {
    const ResultCell* cell = CellAt(set, row, column);
    uint64_t bits = 0;
    if (cell != nullptr && cell->data != nullptr && cell->length == 8) memcpy(&bits, cell->data, sizeof bits);
    return bits;
}

uint64_t Bits(double d) {
    uint64_t bits;
    memcpy(&bits, &d, sizeof bits);
    return bits;
}

TEST_F(SqliteProviderTest, IntegersKeepAllSixtyFourBits) {
    ASSERT_TRUE(conn_.Update("create table t (n integer, y int)"));
    ASSERT_TRUE(conn_.Update("insert into t values (3000000000, 9223372036854775807)"));
    ASSERT_TRUE(conn_.Update("insert into t values (-9223372036854775808, -3000000000)"));
    ResultHolder r(conn_.Query("select n, y, 12345678901234567 as d from t order by n desc"));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    ASSERT_EQ(r.set->rowCount, 2);
    EXPECT_EQ(r.set->columns[0].type, ORV_SQL_BIGINT);
    EXPECT_EQ(r.set->columns[2].type, ORV_SQL_BIGINT);
    EXPECT_EQ(Int64At(r.set, 0, 0), 3000000000LL);
    EXPECT_EQ(Int64At(r.set, 0, 1), INT64_MAX);
    EXPECT_EQ(Int64At(r.set, 0, 2), 12345678901234567LL);
    EXPECT_EQ(Int64At(r.set, 1, 0), INT64_MIN);
    EXPECT_EQ(Int64At(r.set, 1, 1), -3000000000LL);
}

TEST_F(SqliteProviderTest, DoublesComeBackBitForBit) {
    ASSERT_TRUE(conn_.Update("create table t (i integer, d double)"));
    // A stored -0.0 loses its sign in SQLite's own storage (a whole REAL is
    // kept as an integer): it is read back from an expression.
    ASSERT_TRUE(conn_.Update("insert into t values (0, 1.7976931348623157e308), (1, 4.9e-324), (2, 0.5)"));
    std::string insert = "insert into t values ";
    for (int i = 1; i <= 1000; ++i) insert += (i > 1 ? ",(" : "(") + std::to_string(i + 2) + ", " + std::to_string(i) + "/7.0)";
    ASSERT_TRUE(conn_.Update(insert));
    ResultHolder r(conn_.Query("select d, 1.7976931348623157e308 as b, -0.0 as z from t order by i"));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    ASSERT_EQ(r.set->rowCount, 1003);
    EXPECT_EQ(r.set->columns[0].type, ORV_SQL_DOUBLE);
    EXPECT_EQ(r.set->columns[1].type, ORV_SQL_DOUBLE);
    EXPECT_EQ(BitsAt(r.set, 0, 0), Bits(DBL_MAX));
    EXPECT_EQ(BitsAt(r.set, 0, 1), Bits(DBL_MAX));
    EXPECT_EQ(BitsAt(r.set, 1, 0), Bits(4.9e-324));
    EXPECT_EQ(BitsAt(r.set, 2, 2), Bits(-0.0));
    int wrong = 0;
    for (int i = 1; i <= 1000; ++i) wrong += BitsAt(r.set, i + 2, 0) != Bits(i / 7.0) ? 1 : 0;
    EXPECT_EQ(wrong, 0);
}

TEST_F(SqliteProviderTest, TextsAndNullsComeBackWhole) {
    ASSERT_TRUE(conn_.Update("create table t (i integer, s varchar(200), x text)"));
    const std::string quoted = "it''s a \\ back\\slash and \"quotes\" ''x''";
    const std::string utf8 = "Grüße, 東京, emoji \xF0\x9F\x98\x80";
    ASSERT_TRUE(conn_.Update("insert into t values (1, '" + quoted + "', '" + utf8 + "')"));
    ASSERT_TRUE(conn_.Update("insert into t values (2, NULL, '" + std::string(100000, 'z') + "')"));
    ResultHolder r(conn_.Query("select s, x from t order by i"));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    EXPECT_EQ(r.set->columns[0].type, ORV_SQL_NCHAR);
    EXPECT_EQ(r.set->columns[1].type, ORV_SQL_TEXT);
    EXPECT_EQ(CellText(CellAt(r.set, 0, 0), ORV_SQL_NCHAR), "it's a \\ back\\slash and \"quotes\" 'x'");
    EXPECT_EQ(CellText(CellAt(r.set, 0, 1), ORV_SQL_TEXT), utf8);
    EXPECT_EQ(CellAt(r.set, 1, 0)->data, nullptr);
    EXPECT_EQ(CellText(CellAt(r.set, 1, 1), ORV_SQL_TEXT), std::string(100000, 'z'));
}

TEST_F(SqliteProviderTest, BlobsOfEverySizeRoundTripThroughTheBlobCalls) {
    ASSERT_TRUE(conn_.Update("create table b (i integer, v blob)"));
    const std::vector<size_t> sizes = {0, 1, 1024, 2500, 100000};
    for (size_t n : sizes) {
        ASSERT_TRUE(conn_.Update("insert into b values (" + std::to_string(n) + ", NULL)"));
        const std::string data = BlobPattern(n);
        SupplierState supply;
        supply.data = &data;
        ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), ("update b set v = ? where i = " + std::to_string(n)).c_str(),
                                         SupplyChunks, &supply),
                  1)
            << log_.Text();
    }
    ResultHolder all(conn_.Query("select v from b order by i"));
    ASSERT_NE(all.set, nullptr);
    EXPECT_EQ(all.set->columns[0].type, ORV_SQL_BLOB);
    for (size_t k = 0; k < sizes.size(); ++k) {
        const ResultCell* cell = CellAt(all.set, static_cast<int>(k), 0);
        ASSERT_NE(cell, nullptr);
        ASSERT_NE(cell->data, nullptr) << "a blob of " << sizes[k] << " bytes is no NULL";
        EXPECT_EQ(std::string(static_cast<const char*>(cell->data), static_cast<size_t>(cell->length)),
                  BlobPattern(sizes[k]));
    }
    ConsumerState got;
    ResultHolder streamed(P()->executeQueryBlob(conn_.get(), "select v from b where i = 2500", ConsumeChunks, &got));
    ASSERT_NE(streamed.set, nullptr);
    EXPECT_EQ(got.bytes, BlobPattern(2500));
    EXPECT_EQ(got.events, (std::vector<int>{1024, 1024, 452, -1}));
    EXPECT_EQ(CellAt(streamed.set, 0, 0)->data, nullptr);
    EXPECT_EQ(P()->executeUpdateBlob(conn_.get(), "delete from b", SupplyChunks, nullptr), 0);
    EXPECT_TRUE(log_.Has("A blob statement needs exactly one parameter; it has 0"));
    ResultHolder count(conn_.Query("select count(*) from b"));
    EXPECT_EQ(Int64At(count.set, 0, 0), 5);
}

TEST_F(SqliteProviderTest, EveryPartOfAStatementRunsOrTheFailingOneIsNamed) {
    ASSERT_TRUE(conn_.Update("create table p (i integer primary key); insert into p values (1); insert into p values (2);"));
    ResultHolder two(conn_.Query("select count(*) from p"));
    EXPECT_EQ(Int64At(two.set, 0, 0), 2);
    EXPECT_FALSE(conn_.Update("insert into p values (3); insert into p values (1); insert into p values (4)"));
    EXPECT_TRUE(log_.Has("Part 2 of the statement failed"));
    EXPECT_TRUE(log_.Has("UNIQUE constraint failed: p.i (extended code 1555)"));
    ResultHolder three(conn_.Query("select max(i) from p"));
    EXPECT_EQ(Int64At(three.set, 0, 0), 3);
    EXPECT_TRUE(conn_.Update("update p set i = 9 where i = 100"));  // no row: still done
    EXPECT_FALSE(conn_.Update("select * from no_such_table"));
    EXPECT_TRUE(log_.Has("MSG: no such table: no_such_table"));
}

TEST_F(SqliteProviderTest, WrittenStatementsOfOneShapeStoreEveryLiteralExactly) {
    ASSERT_TRUE(conn_.Update("create table v (k integer primary key, n integer, d double, s text, b blob)"));
    // The same shape again and again, with every kind of literal the
    // generators write.
    const std::vector<std::string> doubles = {"0.1", "-2.5e-300", "1.7976931348623157e+308", "3", "-0"};
    for (size_t i = 0; i < doubles.size(); ++i) {
        const std::string k = std::to_string(i);
        ASSERT_TRUE(conn_.Update("insert into  v values(" + k + ",-" + k + "000000000," + doubles[i] + ",'it''s " + k +
                                 "',X'00ff" + k + k + "');"))
            << log_.Text();
    }
    ASSERT_TRUE(conn_.Update("update v set s='x''y',n=-9223372036854775808 where k=1"));
    ASSERT_TRUE(conn_.Update("delete from v where k=4"));
    EXPECT_TRUE(conn_.Update("update v set s = 'kept' /* a comment */ where k = 0"));
    ResultHolder r(conn_.Query("select n, d, s, b from v order by k"));
    ASSERT_NE(r.set, nullptr);
    ASSERT_EQ(r.set->rowCount, 4);
    EXPECT_EQ(Int64At(r.set, 0, 0), 0);
    EXPECT_EQ(Int64At(r.set, 1, 0), INT64_MIN);
    EXPECT_EQ(Int64At(r.set, 2, 0), -2000000000LL);
    EXPECT_EQ(BitsAt(r.set, 0, 1), Bits(0.1));
    EXPECT_EQ(BitsAt(r.set, 1, 1), Bits(-2.5e-300));
    EXPECT_EQ(BitsAt(r.set, 2, 1), Bits(DBL_MAX));
    EXPECT_EQ(BitsAt(r.set, 3, 1), Bits(3.0));
    EXPECT_EQ(CellText(CellAt(r.set, 0, 2), ORV_SQL_TEXT), "kept");
    EXPECT_EQ(CellText(CellAt(r.set, 1, 2), ORV_SQL_TEXT), "x'y");
    EXPECT_EQ(CellText(CellAt(r.set, 2, 2), ORV_SQL_TEXT), "it's 2");
    EXPECT_EQ(CellText(CellAt(r.set, 3, 3), ORV_SQL_BLOB), std::string("\x00\xff\x33", 3));
    // A row the engine refuses is reported with its message.
    EXPECT_FALSE(conn_.Update("insert into  v values(2,0,0,'dup',X'');"));
    EXPECT_TRUE(log_.Has("UNIQUE constraint failed: v.k"));
    EXPECT_TRUE(conn_.Update("insert into  v values(5,0,0,'next',X'');"));
}

TEST_F(SqliteProviderTest, AFileThatCannotBeMadeFailsWithTheEnginesMessage) {
    ProviderConnection c;
    ConnParams* params = SqliteParams(dir_.path() + "/no/such/folder/x.db");
    EXPECT_FALSE(c.Open(params));
    FreeConnParams(params);
    EXPECT_TRUE(log_.Has("Opening the database file " + dir_.path() + "/no/such/folder/x.db failed"));
    EXPECT_TRUE(log_.Has("MSG: unable to open database file"));
    EXPECT_FALSE(FileExists(dir_.path() + "/no"));
}

TEST_F(SqliteProviderTest, AWriterWaitsForAnotherConnectionsLockAndThenGoesOn) {
    ASSERT_TRUE(conn_.Update("create table w (i integer)"));
    ProviderConnection other;
    ASSERT_TRUE(Open(other));
    ASSERT_EQ(P()->beginTransaction(conn_.get()), 1);
    ASSERT_TRUE(conn_.Update("insert into w values (1)"));
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(P()->commitTransaction(conn_.get()), 1);
    });
    // Taken while the first connection holds the write lock: it waits for
    // the commit instead of failing at once.
    EXPECT_EQ(P()->beginTransaction(other.get()), 1) << log_.Text();
    holder.join();
    EXPECT_TRUE(other.Update("insert into w values (2)"));
    EXPECT_EQ(P()->commitTransaction(other.get()), 1);
    ResultHolder r(conn_.Query("select count(*) from w"));
    EXPECT_EQ(Int64At(r.set, 0, 0), 2);
    ResultHolder mode(conn_.Query("pragma journal_mode"));
    EXPECT_EQ(CellText(CellAt(mode.set, 0, 0), mode.set->columns[0].type), "wal");
}

TEST_F(SqliteProviderTest, AnInMemoryDatabaseIsPrivateToItsConnection) {
    ProviderConnection a;
    ProviderConnection b;
    ConnParams* params = SqliteParams(":memory:");
    ASSERT_TRUE(a.Open(params));
    ASSERT_TRUE(b.Open(params));
    FreeConnParams(params);
    EXPECT_TRUE(a.Update("create table m (i integer)"));
    EXPECT_TRUE(b.Update("create table m (i integer)"));  // b's own database has none
}

/* velkra init on a root whose connparams.txt names SQLite files: a new
 * file is made and the sample's tables created in it, with nothing of
 * ODBC configured; a file that cannot be made fails the start with
 * SQLite's message. */
TEST(SqliteStart, InitMakesTheNamedFileAndAFileThatCannotBeMadeFailsTheStart) {
    TempDir dir;
    const std::string root = dir.path() + "/root";
    const std::string sample = std::string(ORV_SOURCE_DIR) + "/examples/data/";
    std::filesystem::create_directories(root + "/data");
    for (const char* name : {"datadictionary.txt", "inventory.xml", "monitoring.xml", "dsn_table_map.txt"}) {
        WriteFile(root + "/data/" + name, ReadFile(sample + name));
    }
    const std::map<std::string, std::string> env = {{"ODBCSYSINI", "/nonexistent"}, {"ODBCINI", "/nonexistent"}};
    const std::string database = dir.path() + "/new.db";
    WriteFile(root + "/data/connparams.txt", "sample 0 " + database + " NULL NULL x sample SQLITE SQLITE no\n");
    RunResult made = RunProgram(ORV_VELKRA_PROGRAM, {"init", "--root", root}, env);
    EXPECT_EQ(made.exitStatus, 0) << made.output;
    EXPECT_TRUE(FileExists(database));

    const std::string missing = dir.path() + "/no/such/folder/x.db";
    WriteFile(root + "/data/connparams.txt", "sample 0 " + missing + " NULL NULL x sample SQLITE SQLITE no\n");
    RunResult failed = RunProgram(ORV_VELKRA_PROGRAM, {"init", "--root", root}, env);
    EXPECT_EQ(failed.exitStatus, 1) << failed.output;
    EXPECT_NE(failed.output.find("Opening the database file " + missing + " failed"), std::string::npos)
        << failed.output;
    EXPECT_NE(failed.output.find("MSG: unable to open database file"), std::string::npos) << failed.output;
    EXPECT_NE(failed.output.find("velkra init: the library did not start on " + root), std::string::npos)
        << failed.output;
}

TEST(SqliteDeclaredTypes, MapToTheLibrarysCodes) {
    EXPECT_EQ(MapSqliteDeclaredType("INTEGER"), ORV_SQL_BIGINT);
    EXPECT_EQ(MapSqliteDeclaredType("bigint"), ORV_SQL_BIGINT);
    EXPECT_EQ(MapSqliteDeclaredType("boolean"), ORV_SQL_BOOLEAN);
    EXPECT_EQ(MapSqliteDeclaredType("double"), ORV_SQL_DOUBLE);
    EXPECT_EQ(MapSqliteDeclaredType("real"), ORV_SQL_DOUBLE);
    EXPECT_EQ(MapSqliteDeclaredType("decimal(18,4)"), ORV_SQL_DECIMAL);
    EXPECT_EQ(MapSqliteDeclaredType("numeric(18,4)"), ORV_SQL_NUMERIC);
    EXPECT_EQ(MapSqliteDeclaredType("varchar(30)"), ORV_SQL_NCHAR);
    EXPECT_EQ(MapSqliteDeclaredType("char(3)"), ORV_SQL_CHAR);
    EXPECT_EQ(MapSqliteDeclaredType("text"), ORV_SQL_TEXT);
    EXPECT_EQ(MapSqliteDeclaredType("blob"), ORV_SQL_BLOB);
    EXPECT_EQ(MapSqliteDeclaredType("datetime"), ORV_SQL_DATETIME);
    EXPECT_EQ(MapSqliteDeclaredType(""), ORV_SQL_NOT_SUPPORTED_TYPE);
    EXPECT_EQ(MapSqliteDeclaredType(nullptr), ORV_SQL_NOT_SUPPORTED_TYPE);
}

}  // namespace
}  // namespace orv::test
