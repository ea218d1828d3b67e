/*
 * What only the Firebird provider does, on the embedded test database
 * (the cases every provider passes run on it in odbc_provider_test.cpp's
 * ProviderTest): connecting refused without the password in the log, one
 * begun transaction at a time, rows of statements without a cursor, blob
 * parameters that are no blob, an update waiting for a concurrent writer,
 * and the pool opening its connections through a connparams.txt line
 * naming the provider and renewing one that the test server ended.
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
#include "db/firebird/firebird_provider.h"
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
        db_ = DbContextNamed(ContextName());
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
    /* The test database: the embedded one, or the server's. */
    virtual const char* ContextName() const { return "firebird"; }
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

TEST_F(FirebirdProviderTest, OneBegunTransactionAtATimeWhichAFailedStatementDoesNotEnd) {
    std::string t = Table("tx");
    ASSERT_TRUE(conn_.Update("create table " + t + " (id integer primary key, name varchar(10))"));
    ProviderConnection other;
    ASSERT_TRUE(other.Open(db_));
    ASSERT_TRUE(conn_.Update("insert into " + t + " values (1, 'a')"));

    ASSERT_EQ(P()->beginTransaction(conn_.get()), 1);
    EXPECT_EQ(P()->beginTransaction(conn_.get()), 0);  // one at a time
    ASSERT_TRUE(conn_.Update("insert into " + t + " values (3, 'c')"));
    EXPECT_FALSE(conn_.Update("insert into " + t + " values (3, 'dup')"));  // fails, the transaction goes on
    EXPECT_EQ(P()->commitTransaction(conn_.get()), 1);
    EXPECT_EQ(Count(other, t), 2);
    EXPECT_EQ(P()->commitTransaction(conn_.get()), 0);  // none open
    EXPECT_EQ(P()->rollbackTransaction(conn_.get()), 0);
    EXPECT_TRUE(log_.Has("MSG: no transaction is open on this connection")) << log_.Text();
    // A failed statement of its own leaves nothing behind.
    EXPECT_FALSE(conn_.Update("insert into " + t + " values (1, 'dup')"));
    EXPECT_EQ(Count(other, t), 2);
}

TEST_F(FirebirdProviderTest, AStatementWithRowsButNoCursorGivesItsRowThroughTheQuery) {
    std::string t = Table("ret");
    ASSERT_TRUE(conn_.Update("create table " + t + " (id integer, name varchar(10))"));
    ProviderConnection other;
    ASSERT_TRUE(other.Open(db_));
    ResultHolder ret(conn_.Query("insert into " + t + " values (7, 'r') returning id, name"));
    ASSERT_NE(ret.set, nullptr) << log_.Text();
    ASSERT_EQ(ret.set->rowCount, 1);
    EXPECT_EQ(CellText(CellAt(ret.set, 0, 0), ret.set->columns[0].type), "7");
    EXPECT_EQ(CellText(CellAt(ret.set, 0, 1), ret.set->columns[1].type), "r");
    EXPECT_EQ(Count(other, t), 1);  // committed with the query
    // The same through the blob query.
    ConsumerState consumed;
    ResultHolder blob(P()->executeQueryBlob(conn_.get(), ("insert into " + t + " values (8, 's') returning id").c_str(),
                                            ConsumeChunks, &consumed));
    ASSERT_NE(blob.set, nullptr) << log_.Text();
    EXPECT_EQ(blob.set->rowCount, 1);
    EXPECT_EQ(Count(other, t), 2);
}

TEST_F(FirebirdProviderTest, ABlobParameterThatIsNoBlobTakesTheGatheredBytes) {
    std::string t = Table("blob");
    ASSERT_TRUE(conn_.Update("create table " + t + " (id integer, v varchar(40), o varchar(8) character set octets)"));
    ASSERT_TRUE(conn_.Update("insert into " + t + " (id) values (4)"));
    const std::string small = "plain bytes";
    SupplierState supplySmall;
    supplySmall.data = &small;
    supplySmall.chunk = 4;
    ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), ("update " + t + " set v = ? where id = 4").c_str(), SupplyChunks,
                                      &supplySmall),
              1)
        << log_.Text();
    const std::string bytes("\0\xff\x10", 3);
    SupplierState supplyBytes;
    supplyBytes.data = &bytes;
    ASSERT_EQ(P()->executeUpdateBlob(conn_.get(), ("update " + t + " set o = ? where id = 4").c_str(), SupplyChunks,
                                      &supplyBytes),
              1)
        << log_.Text();
    // More than the parameter can hold is refused.
    const std::string tooLong(40000, 'x');
    SupplierState supplyLong;
    supplyLong.data = &tooLong;
    EXPECT_EQ(P()->executeUpdateBlob(conn_.get(), ("update " + t + " set v = ? where id = 4").c_str(), SupplyChunks,
                                      &supplyLong),
              0);
    EXPECT_TRUE(log_.Has("Blob too long for its parameter")) << log_.Text();

    // The text comes as text; the OCTETS text is a blob cell, streamed.
    ConsumerState consumed;
    ResultHolder r(P()->executeQueryBlob(conn_.get(), ("select v, o from " + t).c_str(), ConsumeChunks, &consumed));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    ASSERT_EQ(r.set->rowCount, 1);
    EXPECT_EQ(CellText(CellAt(r.set, 0, 0), r.set->columns[0].type), "plain bytes");
    EXPECT_EQ(r.set->columns[1].type, ORV_SQL_BLOB);
    EXPECT_EQ(CellAt(r.set, 0, 1)->data, nullptr);
    EXPECT_EQ(consumed.events, (std::vector<int>{3, -1}));
    EXPECT_EQ(consumed.bytes, bytes);

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

TEST_F(FirebirdPoolTest, AConnparamsLineNamingTheProviderConnectsThroughTheThirdSlot) {
    EXPECT_EQ(GetDBProviderIndex("ODBC"), 0);
    EXPECT_EQ(GetDBProviderIndex("SQLITE"), 1);
    EXPECT_EQ(GetDBProviderIndex("FIREBIRD"), -1);  // loaded when a connection needs it
    ASSERT_TRUE(EstablishDBConnectionPool(2)) << log_.Text();
    EXPECT_EQ(GetDBProviderIndex("FIREBIRD"), 2);
    DBConnection* c = GetDBConnection("firebirdconn");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->providerIndex, 2);
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

/* The same on the test server's database: one process holds every
 * attachment there, so the monitoring tables show them all (a snapshot of
 * the embedded engine, which every test process runs, can miss the
 * attachments of other processes and even of its own). */
class FirebirdServerPoolTest : public FirebirdPoolTest {
protected:
    const char* ContextName() const override { return "fbserver"; }
};

TEST_F(FirebirdServerPoolTest, AConnectionEndedByTheEngineIsRenewedOnItsNextHandOut) {
    ASSERT_TRUE(EstablishDBConnections()) << log_.Text();
    DBConnection* c = GetDBConnection(db_.connectionName.c_str());
    ASSERT_NE(c, nullptr);
    ResultHolder id(ExecuteQuery(c, "select current_connection from rdb$database"));
    ASSERT_NE(id.set, nullptr) << log_.Text();
    const std::string attachment = CellText(CellAt(id.set, 0, 0), id.set->columns[0].type);
    // Another attachment ends this one, as an administrator would.
    ASSERT_TRUE(conn_.Update("delete from mon$attachments where mon$attachment_id = " + attachment)) << log_.Text();
    EXPECT_EQ(ExecuteQuery(c, "select 1 from rdb$database"), nullptr);
    EXPECT_EQ(c->broken, 1) << log_.Text();
    ReleaseDBConnection(db_.connectionName.c_str());
    DBConnection* renewed = GetDBConnection(db_.connectionName.c_str());
    ASSERT_NE(renewed, nullptr);
    EXPECT_EQ(renewed->broken, 0);
    ResultHolder again(ExecuteQuery(renewed, "select current_connection from rdb$database"));
    ASSERT_NE(again.set, nullptr) << log_.Text();
    EXPECT_NE(CellText(CellAt(again.set, 0, 0), again.set->columns[0].type), attachment);
    ReleaseDBConnection(db_.connectionName.c_str());
}

}  // namespace
}  // namespace orv::test
