// The connection pool on real SQLite connections through the ODBC
// provider: owner keys by thread, the shared single connection, choosing a
// data source, renewal by age and after a failure, and the provider slots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/connection.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/provider.h"
#include "tests/datastore/log_fixture.h"

namespace orv::test {
namespace {

const char kSqliteDriver[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

class PoolTest : public LogFixture {
protected:
    /* One ODBC configuration for the whole process: the driver manager
     * keeps what it read of the ini files. */
    static void SetUpTestSuite() {
        static TempDir* odbc = new TempDir();
        WriteFile(*odbc / "odbcinst.ini", std::string("[SQLite3]\nDriver=") + kSqliteDriver + "\n");
        WriteFile(*odbc / "odbc.ini", "[pool_a]\nDriver=SQLite3\nDatabase=" + (*odbc / "a.db") +
                                          "\n[pool_b]\nDriver=SQLite3\nDatabase=" + (*odbc / "b.db") + "\n");
        setenv("ODBCSYSINI", odbc->path().c_str(), 1);
        setenv("ODBCINI", (*odbc / "odbc.ini").c_str(), 1);
    }
    void SetUp() override {
        LogFixture::SetUp();
        ASSERT_TRUE(InitDBProvider());
    }
    void TearDown() override {
        CloseAllDBConnections();
        FreeAllConnParams();
        DeInitDBProvider();
        LogFixture::TearDown();
    }
    void AddSource(const char* dsn, const char* name) {
        ASSERT_TRUE(AddConnParams(CreateConnParams("x", 0, dsn, "", "NULL", name, 0, nullptr, "ODBC", "SQLITE")));
    }
    int Count(const char* name) {
        for (VectorNode* n = ElementAt(gv_connectionPool, 0); n; n = n->next) {
            auto* entry = static_cast<ConnectionPoolEntry*>(n->element);
            if (std::string(entry->connectionName) == name) return entry->connections->count;
        }
        return -1;
    }
};

TEST_F(PoolTest, InitTwiceChangesNothing) {
    EXPECT_FALSE(InitDBProvider());
    EXPECT_TRUE(Logged("[ERROR] InitDBProvider Failed as already initialized\n"));
    EXPECT_EQ(GetDBProviderIndex("ODBC"), 0);
    EXPECT_EQ(GetDBProviderIndex("SQLITE"), 1);
    EXPECT_TRUE(LoadDBProvider("ODBC"));  // the third slot takes a second copy
    EXPECT_FALSE(LoadDBProvider("ODBC"));  // every slot is filled
    EXPECT_TRUE(UnloadDBProvider("ODBC"));
    EXPECT_EQ(GetDBProviderIndex("ODBC"), 2);
}

TEST_F(PoolTest, OneConnectionIsSharedByEveryThread) {
    AddSource("pool_a", "a");
    ASSERT_TRUE(EstablishDBConnections());
    EXPECT_TRUE(Logged("[DEBUG]  a : Connection Established\n"));
    DBConnection* mine = GetDBConnection("a");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->owner, 1);
    DBConnection* theirs = nullptr;
    std::thread([&] { theirs = GetDBConnection("a"); }).join();
    EXPECT_EQ(theirs, mine);
    EXPECT_EQ(GetDBConnection(nullptr), mine);  // the only data source
    EXPECT_TRUE(ReleaseDBConnection("a"));
    EXPECT_FALSE(ReleaseDBConnection("a"));
    EXPECT_EQ(GetDBConnection("nothing"), nullptr);
}

TEST_F(PoolTest, SeveralConnectionsGoByThread) {
    AddSource("pool_a", "a");
    AddSource("pool_b", "b");
    ASSERT_TRUE(EstablishDBConnectionPool(0));
    EXPECT_EQ(Count("a"), 5);
    EXPECT_EQ(Count("b"), 5);
    EXPECT_TRUE(Logged("[DEBUG]  4 : b : Connection Established\n"));
    EXPECT_EQ(GetDBConnection(nullptr), nullptr);  // two data sources: which?

    DBConnection* mine = GetDBConnection("a");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(GetDBConnection("a"), mine);  // the same thread keeps its connection
    std::set<DBConnection*> seen = {mine};
    for (int i = 0; i < 4; ++i) {
        DBConnection* other = nullptr;
        std::thread([&] { other = GetDBConnection("a"); }).join();
        ASSERT_NE(other, nullptr);
        seen.insert(other);
    }
    EXPECT_EQ(seen.size(), 5u);
    DBConnection* none = mine;
    std::thread([&] { none = GetDBConnection("a"); }).join();
    EXPECT_EQ(none, nullptr);  // every connection is held
    EXPECT_TRUE(ReleaseDBConnection("a"));
    EXPECT_EQ(mine->owner, -1);
}

TEST_F(PoolTest, OldAndBrokenConnectionsAreRenewed) {
    AddSource("pool_a", "a");
    ASSERT_TRUE(EstablishDBConnectionPool(2));
    DBConnection* first = GetDBConnection("a");
    ASSERT_NE(first, nullptr);
    first->openedAt = GetPoolClock() - 27900;
    EXPECT_EQ(GetDBConnection("a"), first);
    first->openedAt = GetPoolClock() - 27901;
    DBConnection* renewed = GetDBConnection("a");
    ASSERT_NE(renewed, nullptr);
    EXPECT_NE(renewed->owner, -1);  // the replacement is held by the caller
    EXPECT_LE(GetPoolClock() - renewed->openedAt, 1u);
    EXPECT_EQ(Count("a"), 2);  // the old one was closed, not kept
    EXPECT_EQ(GetDBConnection("a"), renewed);

    renewed->broken = 1;
    DBConnection* healed = GetDBConnection("a");
    ASSERT_NE(healed, nullptr);
    EXPECT_EQ(healed->broken, 0);
    EXPECT_EQ(Count("a"), 2);
    ResultSet* set = ExecuteQuery(healed, "SELECT 1");
    EXPECT_NE(set, nullptr);
    FreeResultSet(set);
}

TEST_F(PoolTest, StatementsAndTransactionsNeedAConnection) {
    EXPECT_EQ(ExecuteUpdate(nullptr, "DELETE FROM x"), 0);
    EXPECT_TRUE(Logged("[ERROR] ConnectionHandle NULL in ExecuteUpdate for Query DELETE FROM x \n"));
    AddSource("pool_a", "a");
    ASSERT_TRUE(EstablishDBConnections());
    DBConnection* c = GetDBConnection("a");
    EXPECT_EQ(ExecuteUpdate(c, nullptr), 0);
    EXPECT_TRUE(Logged("[ERROR]  No Query To be Updated \n"));
    EXPECT_EQ(ExecuteQuery(c, nullptr), nullptr);
    EXPECT_TRUE(Logged("[ERROR]  No Query To be Executed \n"));
    EXPECT_EQ(CommitTransaction(c), 0);  // none begun: the provider is not called
    EXPECT_EQ(RollbackTransaction(c), 0);
    EXPECT_FALSE(Logged("ODBCCommitTransaction"));
    ASSERT_EQ(BeginTransaction(c), 1);
    EXPECT_EQ(c->inTransaction, 1);
    EXPECT_EQ(CommitTransaction(c), 1);
    EXPECT_EQ(c->inTransaction, 0);
}

TEST_F(PoolTest, NoDataSourcesNoPool) {
    EXPECT_FALSE(EstablishDBConnectionPool(3));
    EXPECT_TRUE(Logged("[ERROR] There is no entry in data source vector\n"));
    AddSource("missing_dsn", "m");
    EXPECT_FALSE(EstablishDBConnections());
    EXPECT_TRUE(Logged("[ERROR] Cannot establish connection.\n"));
    EXPECT_EQ(GetDBConnection("m"), nullptr);
}

/* Threads opening their first connections to a data source whose
 * provider is registered but not loaded: one of them loads it into the
 * free slot, every one of them connects through it, and statements of
 * the others read the slot meanwhile. A second name for the ODBC table
 * stands for such a provider. */
TEST_F(PoolTest, ThreadsLoadingAProviderAtOnceAllConnectThroughOneSlot) {
    static DBProvider second = *GetDBProviderInSlot(0);
    second.name = "ODBC_SECOND";
    ASSERT_TRUE(RegisterDBProvider(&second));
    ASSERT_EQ(GetDBProviderIndex("ODBC_SECOND"), -1);
    ConnParams* params = CreateConnParams("x", 0, "pool_a", "", "NULL", "a", 0, nullptr, "ODBC_SECOND", "SQLITE");
    ASSERT_NE(params, nullptr);
    constexpr int kThreads = 6;
    std::vector<std::thread> threads;
    std::vector<int> answered(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                DBConnection* c = OpenDBConnection(params);
                if (c == nullptr) continue;
                ResultSet* set = ExecuteQuery(c, "SELECT 1");
                if (set != nullptr && set->rowCount == 1) ++answered[t];
                FreeResultSet(set);
                CloseDBConnection(c);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    FreeConnParams(params);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(answered[t], 5) << "thread " << t;
    EXPECT_EQ(GetDBProviderIndex("ODBC_SECOND"), 2);  // the slot after ODBC and SQLITE
}

}  // namespace
}  // namespace orv::test
