// The ODBC provider marks a connection broken when its server went away:
// connections opened before a restart of the PostgreSQL or MariaDB test
// server fail their next statement of every kind and are marked broken; a
// statement that fails for another reason leaves the mark off, and a new
// connection works. Registered RUN_SERIAL, as every test that restarts a
// server.
#include <gtest/gtest.h>

#include <string>

#include "tests/db/odbc_test_util.h"

namespace orv::test {
namespace {

class OdbcRestartTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        log_.Open();
    }
    void TearDown() override {
        if (!Db().password.empty()) {
            EXPECT_EQ(log_.Text().find(Db().password), std::string::npos) << "the password reached the log";
        }
        log_.Close();
    }
    ProviderLog log_;
};

TEST_P(OdbcRestartTest, ConnectionsToARestartedServerAreMarkedBroken) {
    const DbContext& db = Db();
    if (!db.canRestart) GTEST_SKIP() << db.name << " has no server to restart";
    const DBProvider* p = GetODBCProvider();
    std::string table = TableName("restart");
    ProviderConnection query, update, blobQuery, blobUpdate, transaction, healthy;
    for (ProviderConnection* c : {&query, &update, &blobQuery, &blobUpdate, &transaction, &healthy}) {
        ASSERT_TRUE(c->Open(db)) << log_.Text();
    }
    ASSERT_TRUE(query.Update("CREATE TABLE " + table + " (id INTEGER, b " + db.types.blob + ")")) << log_.Text();
    for (ProviderConnection* c : {&query, &update, &blobQuery, &blobUpdate, &transaction, &healthy}) {
        ResultHolder r(c->Query("SELECT 1"));
        ASSERT_NE(r.set, nullptr);
    }
    // A failure of the statement itself is no connection failure.
    EXPECT_FALSE(healthy.Update("UPDATE velkra_no_such_table SET a = 1"));
    EXPECT_EQ(healthy.get()->broken, 0);

    std::string output;
    ASSERT_TRUE(RestartDbServer(db, &output)) << output;

    EXPECT_EQ(query.Query("SELECT 1"), nullptr);
    EXPECT_EQ(query.get()->broken, 1) << log_.Text();

    EXPECT_FALSE(update.Update("INSERT INTO " + table + " (id) VALUES (1)"));
    EXPECT_EQ(update.get()->broken, 1) << log_.Text();

    // A prepared statement (psqlODBC reports its loss as HY000 only).
    ConsumerState consumer;
    EXPECT_EQ(p->executeQueryBlob(blobQuery.get(), "SELECT 1", ConsumeChunks, &consumer), nullptr);
    EXPECT_EQ(blobQuery.get()->broken, 1) << log_.Text();

    std::string data = BlobPattern(3000);
    SupplierState supplier;
    supplier.data = &data;
    std::string insert = "INSERT INTO " + table + " (id, b) VALUES (2, ?)";
    EXPECT_EQ(p->executeUpdateBlob(blobUpdate.get(), insert.c_str(), SupplyChunks, &supplier), 0);
    EXPECT_EQ(blobUpdate.get()->broken, 1) << log_.Text();

    // A transaction's first statement on a lost connection.
    if (p->beginTransaction(transaction.get()) == 1) {
        EXPECT_FALSE(transaction.Update("INSERT INTO " + table + " (id) VALUES (3)"));
        p->rollbackTransaction(transaction.get());
    }
    EXPECT_EQ(transaction.get()->broken, 1) << log_.Text();
    EXPECT_TRUE(log_.Has(" lost; it is renewed on its next hand-out\n")) << log_.Text();

    // Disconnecting a broken connection is clean; a new one works.
    query.Close();
    ProviderConnection fresh;
    ASSERT_TRUE(fresh.Open(db)) << log_.Text();
    ResultHolder r(fresh.Query("SELECT COUNT(*) FROM " + table));
    ASSERT_NE(r.set, nullptr) << log_.Text();
    EXPECT_EQ(CellText(CellAt(r.set, 0, 0), r.set->columns[0].type), "0");
    EXPECT_EQ(fresh.get()->broken, 0);
    EXPECT_TRUE(fresh.Update(db.DropTableSql(table)));
}

ORV_INSTANTIATE_DB_TESTS(OdbcRestartTest);

}  // namespace
}  // namespace orv::test
