/*
 * The Firebird provider on the embedded test database: connecting, the
 * stored form of every column type, statements committed at once and
 * transactions, blobs through the supplier and the consumer, statements
 * of several threads on one connection, and the pool opening and healing
 * its connections through a connparams.txt line naming the provider.
 */
#include <gtest/gtest.h>

#include <ibase.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "db/connection.h"
#include "db/connparams.h"
#include "db/firebird_provider.h"
#include "db/provider.h"
#include "tests/db/db_context.h"
#include "tests/db/odbc_test_util.h"

namespace orv::test {
namespace {

class FirebirdProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(FirebirdReady(&error)) << error;
        db_ = DbContextNamed("firebird");
        log_.Open();
        ASSERT_TRUE(conn_.Open(db_)) << log_.Text();
    }
    void TearDown() override {
        for (const std::string& t : created_) conn_.Update(db_.DropTableSql(t));
        conn_.Close();
        log_.Close();
    }
    /* A table name of this process (Firebird keeps 31 characters). */
    std::string Table(const std::string& base) {
        std::string name = "fbp_" + base + "_" + std::to_string(getpid());
        created_.push_back(name);
        conn_.Update(db_.DropTableSql(name));
        return name;
    }
    const DBProvider* P() const { return GetFirebirdProvider(); }
    int64_t Count(ProviderConnection& c, const std::string& table) {
        ResultHolder r(c.Query("select count(*) from " + table));
        const ResultCell* cell = CellAt(r.set, 0, 0);
        if (cell == nullptr || cell->data == nullptr) return -1;
        return std::stoll(CellText(cell, r.set->columns[0].type));
    }

    DbContext db_;
    ProviderLog log_;
    ProviderConnection conn_;
    std::vector<std::string> created_;
};

TEST_F(FirebirdProviderTest, ConnectRefusesMissingAndUnknownDatabasesWithoutThePassword) {
    EXPECT_EQ(P()->connect(nullptr), nullptr);
    ConnParams* none = CreateConnParams("x", 0, "", "SYSDBA", "NULL", "c", 0, "", "FIREBIRD", "FIREBIRD");
    EXPECT_EQ(P()->connect(none), nullptr);
    FreeConnParams(none);
    EXPECT_TRUE(log_.Has("Firebird connection Parameter missing"));
    const std::string secret = "S3cr3t-" + std::to_string(getpid());
    const std::string missing = db_.dsn + ".missing-" + secret;  // the password in the name as well
    ConnParams* params = CreateConnParams("x", 0, missing.c_str(), "SYSDBA", secret.c_str(), "c", 0, "", "FIREBIRD",
                                          "FIREBIRD");
    EXPECT_EQ(P()->connect(params), nullptr);
    FreeConnParams(params);
    std::string log = log_.Text();
    EXPECT_NE(log.find("MSG: "), std::string::npos) << log;
    EXPECT_EQ(log.find("MSG: " + secret), std::string::npos);
    size_t msg = log.find("MSG: ");
    EXPECT_EQ(log.find(secret, msg), std::string::npos) << log;
    EXPECT_EQ(MapFirebirdType(SQL_LONG, 0, -2), ORV_SQL_NUMERIC);
    EXPECT_EQ(MapFirebirdType(SQL_INT64 + 1, 2, -4), ORV_SQL_DECIMAL);
    EXPECT_EQ(MapFirebirdType(SQL_VARYING, 1, 0), ORV_SQL_BLOB);
    EXPECT_EQ(MapFirebirdType(SQL_ARRAY, 0, 0), ORV_SQL_NOT_SUPPORTED_TYPE);
}

TEST_F(FirebirdProviderTest, EveryColumnTypeComesInTheStoredFormOfItsCode) {
    std::string t = Table("types");
    ASSERT_TRUE(conn_.Update("create table " + t +
                             " (c_small smallint, c_int integer, c_big bigint, c_float float, c_double double precision,"
                             " c_dec decimal(18,4), c_num numeric(9,2), c_char char(5), c_vchar varchar(20),"
                             " c_date date, c_time time, c_ts timestamp, c_bool boolean, c_text blob sub_type text,"
                             " c_bin blob sub_type binary, c_oct varchar(8) character set octets)"))
        << log_.Text();
    ASSERT_TRUE(conn_.Update("insert into " + t +
                             " values (-32768, -2147483648, -9223372036854775808, 2.5, 0.1, -12.5, 0.05, 'äb',"
                             " 'Grüße', '2024-02-29', '23:59:58', '1999-12-31 01:02:03.5', true, 'long text',"
                             " x'00FF10', x'0102')"))
        << log_.Text();
    ASSERT_TRUE(conn_.Update("insert into " + t + " (c_int) values (null)"));
    ResultHolder r(conn_.Query("select * from " + t + " order by c_small nulls last"));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    ASSERT_EQ(r.set->columnCount, 16);
    ASSERT_EQ(r.set->rowCount, 2);
    const uint8_t want[] = {3, 5, 7, 11, 10, 12, 13, 14, 15, 16, 17, 18, 19, 22, 20, 20};
    const char* texts[] = {"-32768", "-2147483648", "-9223372036854775808", "2.5", "0.10000000000000001",
                           "-12.5000", "0.05", "äb   ", "Grüße", "2024-02-29", "23:59:58", "1999-12-31 01:02:03",
                           "1", "long text", std::string("\0\xff\x10", 3).c_str(), "\x01\x02"};
    const int32_t widths[] = {2, 4, 8, 4, 8, 8, 4, -1, -1, 11, 11, 11, 1, 9, 3, 2};
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(r.set->columns[i].name);
        EXPECT_EQ(r.set->columns[i].type, want[i]);
        const ResultCell* cell = CellAt(r.set, 0, i);
        ASSERT_NE(cell, nullptr);
        ASSERT_NE(cell->data, nullptr);
        if (i == 14) {
            EXPECT_EQ(std::string(static_cast<const char*>(cell->data), 3), std::string("\0\xff\x10", 3));
        } else if (i == 3) {
            EXPECT_EQ(CellDouble(cell, 11), 2.5);
        } else {
            EXPECT_EQ(CellText(cell, want[i]), texts[i]);
        }
        if (widths[i] > 0) {
            EXPECT_EQ(cell->length, widths[i]);
        }
        const ResultCell* null = CellAt(r.set, 1, i);
        ASSERT_NE(null, nullptr);
        if (i != 1) {
            EXPECT_EQ(null->data, nullptr);
        }
    }
    // Names are case-insensitive through the set's lookup.
    ResultSetNext(r.set);
    int32_t length = 0;
    EXPECT_NE(GetResultSetValue(r.set, "C_VCHAR", &length), nullptr);
    EXPECT_EQ(length, static_cast<int32_t>(strlen("Grüße")));
}

TEST_F(FirebirdProviderTest, StatementsCommitAtOnceUnlessATransactionWasBegun) {
    std::string t = Table("tx");
    ASSERT_TRUE(conn_.Update("create table " + t + " (id integer primary key, name varchar(10))"));
    ProviderConnection other;
    ASSERT_TRUE(other.Open(db_));
    ASSERT_TRUE(conn_.Update("insert into " + t + " values (1, 'a')"));
    EXPECT_EQ(Count(other, t), 1);  // committed at once

    ASSERT_EQ(P()->beginTransaction(conn_.get()), 1);
    EXPECT_EQ(P()->beginTransaction(conn_.get()), 0);  // one at a time
    ASSERT_TRUE(conn_.Update("insert into " + t + " values (2, 'b')"));
    EXPECT_EQ(Count(conn_, t), 2);
    EXPECT_EQ(Count(other, t), 1);
    EXPECT_EQ(P()->rollbackTransaction(conn_.get()), 1);
    EXPECT_EQ(Count(conn_, t), 1);

    ASSERT_EQ(P()->beginTransaction(conn_.get()), 1);
    ASSERT_TRUE(conn_.Update("insert into " + t + " values (3, 'c')"));
    EXPECT_FALSE(conn_.Update("insert into " + t + " values (3, 'dup')"));  // fails, the transaction goes on
    EXPECT_EQ(P()->commitTransaction(conn_.get()), 1);
    EXPECT_EQ(Count(other, t), 2);
    EXPECT_EQ(P()->commitTransaction(conn_.get()), 0);  // none open

    // Through the library's front ends: commit without a transaction does
    // not reach the provider.
    EXPECT_EQ(CommitTransaction(conn_.get()), 0);

    // An update that changes no row succeeds; a failing one is false with
    // the engine's text in the log.
    EXPECT_TRUE(conn_.Update("update " + t + " set name = 'x' where id = 999"));
    EXPECT_FALSE(conn_.Update("update no_such_table_here set a = 1"));
    EXPECT_TRUE(log_.Has("NO_SUCH_TABLE_HERE")) << log_.Text();
    EXPECT_EQ(P()->executeQuery(conn_.get(), "select nothing from nowhere_at_all"), nullptr);
    // A failed autocommit statement leaves nothing behind.
    EXPECT_EQ(Count(other, t), 2);

    // INSERT ... RETURNING gives its row through the query.
    ResultHolder ret(conn_.Query("insert into " + t + " values (7, 'r') returning id, name"));
    ASSERT_NE(ret.set, nullptr) << log_.Text();
    ASSERT_EQ(ret.set->rowCount, 1);
    EXPECT_EQ(CellText(CellAt(ret.set, 0, 0), ret.set->columns[0].type), "7");
    EXPECT_EQ(Count(other, t), 3);
}

TEST_F(FirebirdProviderTest, BlobsStreamInChunksOfAtMost1024BytesWithAnEndCall) {
    std::string t = Table("blob");
    ASSERT_TRUE(conn_.Update("create table " + t + " (id integer, b blob sub_type binary, v varchar(40))"));
    const std::string data = BlobPattern(2500);
    SupplierState supply;
    supply.data = &data;
    supply.chunk = 700;
    ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), ("insert into " + t + " (id, b) values (1, ?)").c_str(),
                                      SupplyChunks, &supply),
              1)
        << log_.Text();
    const std::string big = BlobPattern(100000);
    SupplierState supplyBig;
    supplyBig.data = &big;
    supplyBig.chunk = 70000;  // more than one segment holds
    ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), ("insert into " + t + " (id, b) values (2, ?)").c_str(),
                                      SupplyChunks, &supplyBig),
              1)
        << log_.Text();
    const std::string empty;
    SupplierState supplyEmpty;
    supplyEmpty.data = &empty;
    ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), ("insert into " + t + " (id, b) values (3, ?)").c_str(),
                                      SupplyChunks, &supplyEmpty),
              1);
    ASSERT_TRUE(conn_.Update("insert into " + t + " (id) values (4)"));
    // A parameter that is no blob takes the gathered bytes.
    const std::string small = "plain bytes";
    SupplierState supplySmall;
    supplySmall.data = &small;
    supplySmall.chunk = 4;
    ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), ("update " + t + " set v = ? where id = 4").c_str(), SupplyChunks,
                                      &supplySmall),
              1)
        << log_.Text();

    ConsumerState consumed;
    ResultHolder r(P()->executeQueryBlob(conn_.get(), ("select id, b, v from " + t + " order by id").c_str(),
                                          ConsumeChunks, &consumed));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    ASSERT_EQ(r.set->rowCount, 4);
    for (int row = 0; row < 4; ++row) EXPECT_EQ(CellAt(r.set, row, 1)->data, nullptr);
    EXPECT_EQ(CellText(CellAt(r.set, 3, 2), 15), "plain bytes");
    ASSERT_GE(consumed.events.size(), 4u);
    EXPECT_EQ(std::vector<int>(consumed.events.begin(), consumed.events.begin() + 4),
              (std::vector<int>{1024, 1024, 452, -1}));
    for (int e : consumed.events) EXPECT_LE(e, 1024);
    EXPECT_EQ(consumed.endCalls, 4);  // one per blob cell, also the empty and the NULL one
    EXPECT_EQ(consumed.bytes, data + big);

    // The direct query reads blobs whole into their cells.
    ResultHolder whole(conn_.Query("select b from " + t + " where id = 2"));
    ASSERT_NE(whole.set, nullptr);
    const ResultCell* cell = CellAt(whole.set, 0, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(cell->data), static_cast<size_t>(cell->length)), big);

    // A statement without its one parameter is refused.
    EXPECT_EQ(P()->executeUpdateBlob(conn_.get(), ("delete from " + t).c_str(), SupplyChunks, &supply), 0);
    EXPECT_EQ(Count(conn_, t), 4);
}

TEST_F(FirebirdProviderTest, ThreadsSharingOneConnectionDoNotInterleaveStatements) {
    std::string t = Table("threads");
    ASSERT_TRUE(conn_.Update("create table " + t + " (id integer primary key, who integer)"));
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int w = 0; w < 4; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < 40; ++i) {
                std::string sql = "insert into " + t + " values (" + std::to_string(w * 1000 + i) + ", " +
                                  std::to_string(w) + ")";
                if (P()->executeUpdate(conn_.get(), sql.c_str()) != 1) ++failures;
                ResultSet* set = P()->executeQuery(conn_.get(), ("select count(*) from " + t).c_str());
                if (set == nullptr) ++failures;
                FreeResultSet(set);
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0) << log_.Text();
    EXPECT_EQ(Count(conn_, t), 160);
}

TEST_F(FirebirdProviderTest, AnUpdateWaitingForAConcurrentWriterAppliesToItsCommittedRow) {
    std::string t = Table("conflict");
    ASSERT_TRUE(conn_.Update("create table " + t + " (id integer primary key, n integer)"));
    ASSERT_TRUE(conn_.Update("insert into " + t + " values (1, 0)"));
    ProviderConnection other;
    ASSERT_TRUE(other.Open(db_));
    ASSERT_EQ(P()->beginTransaction(conn_.get()), 1);
    ASSERT_TRUE(conn_.Update("update " + t + " set n = n + 1 where id = 1"));
    std::atomic<int> waited{-1};
    std::thread writer([&] { waited = other.Update("update " + t + " set n = n + 10 where id = 1") ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(waited.load(), -1);  // waits for the open transaction
    ASSERT_EQ(P()->commitTransaction(conn_.get()), 1);
    writer.join();
    EXPECT_EQ(waited.load(), 1) << log_.Text();
    ResultHolder r(conn_.Query("select n from " + t + " where id = 1"));
    ASSERT_NE(r.set, nullptr);
    EXPECT_EQ(CellText(CellAt(r.set, 0, 0), r.set->columns[0].type), "11");
}

/* The library started on a connparams.txt naming the provider. */
class FirebirdPoolTest : public FirebirdProviderTest {
protected:
    void SetUp() override {
        FirebirdProviderTest::SetUp();
        if (HasFatalFailure()) return;
        WriteFile(dir_ / "connparams.txt", db_.connParamsLine + "\n");
        ASSERT_TRUE(InitDBProvider());
        ASSERT_TRUE(LoadConnParamsEntryFromFile((dir_ / "connparams.txt").c_str()));
    }
    void TearDown() override {
        CloseAllDBConnections();
        FreeAllConnParams();
        DeInitDBProvider();
        FirebirdProviderTest::TearDown();
    }
    TempDir dir_;
};

TEST_F(FirebirdPoolTest, AConnparamsLineNamingTheProviderConnectsThroughTheSecondSlot) {
    EXPECT_EQ(GetDBProviderIndex("ODBC"), 0);
    EXPECT_EQ(GetDBProviderIndex("FIREBIRD"), -1);  // loaded when a connection needs it
    ASSERT_TRUE(EstablishDBConnectionPool(2)) << log_.Text();
    EXPECT_EQ(GetDBProviderIndex("FIREBIRD"), 1);
    DBConnection* c = GetDBConnection("firebirdconn");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->providerIndex, 1);
    std::string t = Table("pool");
    ASSERT_EQ(ExecuteUpdate(c, ("create table " + t + " (id integer)").c_str()), 1) << log_.Text();
    ASSERT_EQ(ExecuteUpdate(c, ("insert into " + t + " values (5)").c_str()), 1);
    ResultSet* set = ExecuteQuery(c, ("select id from " + t).c_str());
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->rowCount, 1);
    FreeResultSet(set);
    EXPECT_TRUE(ReleaseDBConnection("firebirdconn"));
    // The password never reaches the log.
    EXPECT_EQ(log_.Text().find("velkra-secret"), std::string::npos);
}

TEST_F(FirebirdPoolTest, AConnectionEndedByTheEngineIsRenewedOnItsNextHandOut) {
    ASSERT_TRUE(EstablishDBConnections()) << log_.Text();
    DBConnection* c = GetDBConnection("firebirdconn");
    ASSERT_NE(c, nullptr);
    ResultHolder id(ExecuteQuery(c, "select current_connection from rdb$database"));
    ASSERT_NE(id.set, nullptr) << log_.Text();
    const std::string attachment = CellText(CellAt(id.set, 0, 0), id.set->columns[0].type);
    // Another attachment ends this one, as an administrator would.
    ASSERT_TRUE(conn_.Update("delete from mon$attachments where mon$attachment_id = " + attachment)) << log_.Text();
    EXPECT_EQ(ExecuteQuery(c, "select 1 from rdb$database"), nullptr);
    EXPECT_EQ(c->broken, 1) << log_.Text();
    ReleaseDBConnection("firebirdconn");
    DBConnection* renewed = GetDBConnection("firebirdconn");
    ASSERT_NE(renewed, nullptr);
    EXPECT_EQ(renewed->broken, 0);
    ResultHolder again(ExecuteQuery(renewed, "select current_connection from rdb$database"));
    ASSERT_NE(again.set, nullptr) << log_.Text();
    EXPECT_NE(CellText(CellAt(again.set, 0, 0), again.set->columns[0].type), attachment);
    ReleaseDBConnection("firebirdconn");
}

}  // namespace
}  // namespace orv::test
