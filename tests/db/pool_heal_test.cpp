// The pool heals after its server restarts: through GetDBConnection, the
// first statement after a restart of the PostgreSQL, MariaDB or Firebird
// test server may fail, the next one on a connection got again succeeds,
// and the server then holds exactly the pool's sessions (the lost ones are
// not left open and no renewal opens two). A record that a renewal replaced stays safe for
// a holder that still uses it: its statements fail cleanly. Registered
// RUN_SERIAL, as every test that restarts a server.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <latch>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/db/library_session.h"

namespace orv::test {
namespace {

class PoolHealTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        if (!Db().canRestart) GTEST_SKIP() << Db().name << " has no server to restart";
        dir_ = std::filesystem::temp_directory_path() / ("orv-pool-heal-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        std::string error;
        ASSERT_TRUE(session_.Start(Db(), dir_.string(), &error)) << error;
    }
    void TearDown() override {
        session_.Stop();
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }

    /* The sessions of the test user on the server other than the counting
     * one (-1 when the count cannot be read). */
    int ServerSessions() {
        OdbcSession counter;
        if (!counter.Connect(Db())) return -1;
        std::optional<std::string> n = counter.Scalar(Db().otherSessionsSql);
        return n && !n->empty() ? std::stoi(*n) : -1;
    }

    /* Runs "SELECT 1" on the data source's connection from the pool; true
     * when it gave its row. */
    bool SelectOne() {
        DBConnection* c = GetDBConnection(Db().connectionName.c_str());
        if (c == nullptr) return false;
        ResultSet* set = ExecuteQuery(c, Db().selectOne.c_str());
        bool ok = set != nullptr && set->rowCount == 1;
        FreeResultSet(set);
        ReleaseDBConnection(Db().connectionName.c_str());
        return ok;
    }

    std::string LogText() const { return ReadFileOr(dir_ / "velkra.log"); }
    static std::string ReadFileOr(const std::filesystem::path& path) {
        FILE* f = fopen(path.c_str(), "rb");
        if (f == nullptr) return "";
        std::string text;
        char buffer[4096];
        size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        fclose(f);
        return text;
    }

    LibrarySession session_;
    std::filesystem::path dir_;
};

TEST_P(PoolHealTest, TheSharedConnectionHealsAfterEveryRestartWithoutLeaking) {
    ASSERT_TRUE(SelectOne()) << LogText();
    EXPECT_EQ(ServerSessions(), 1);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("restart " + std::to_string(round + 1));
        std::string output;
        ASSERT_TRUE(RestartDbServer(Db(), &output)) << output;
        DBConnection* before = GetDBConnection(Db().connectionName.c_str());
        ASSERT_NE(before, nullptr);
        ReleaseDBConnection(Db().connectionName.c_str());
        if (!SelectOne()) {
            EXPECT_EQ(before->broken, 1) << "a failure after the restart must mark the connection";
        }
        ASSERT_TRUE(SelectOne()) << LogText();
        DBConnection* c = GetDBConnection(Db().connectionName.c_str());
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->broken, 0);
        std::string table = TableName("heal");
        EXPECT_TRUE(ExecuteUpdate(c, ("CREATE TABLE " + table + " (id INTEGER)").c_str())) << LogText();
        EXPECT_TRUE(ExecuteUpdate(c, Db().DropTableSql(table).c_str())) << LogText();
        ReleaseDBConnection(Db().connectionName.c_str());
        EXPECT_EQ(ServerSessions(), 1) << "the lost session must not be replaced twice or left open";
    }
}

/* Three threads, each holding a connection of its own at the same time:
 * per thread 1 when its first statement succeeded, plus 2 when the second,
 * on the connection got again, did. */
std::vector<int> UseThreeConnections(const std::string& name, const std::string& selectOne) {
    std::vector<int> results(3, 0);
    std::latch allHeld(3);
    auto use = [&](size_t at) {
        DBConnection* c = GetDBConnection(name.c_str());
        allHeld.arrive_and_wait();
        if (c == nullptr) return;
        ResultSet* first = ExecuteQuery(c, selectOne.c_str());
        c = GetDBConnection(name.c_str());
        ResultSet* second = c ? ExecuteQuery(c, selectOne.c_str()) : nullptr;
        results[at] = (first ? 1 : 0) + (second ? 2 : 0);
        FreeResultSet(first);
        FreeResultSet(second);
        ReleaseDBConnection(name.c_str());
    };
    std::vector<std::thread> threads;
    for (size_t i = 0; i < 3; ++i) threads.emplace_back(use, i);
    for (std::thread& t : threads) t.join();
    return results;
}

TEST_P(PoolHealTest, APoolOfSeveralConnectionsHealsThreadByThread) {
    CloseAllDBConnections();
    ASSERT_TRUE(EstablishDBConnectionPool(3));
    for (int r : UseThreeConnections(Db().connectionName, Db().selectOne)) EXPECT_EQ(r, 3) << LogText();
    EXPECT_EQ(ServerSessions(), 3);

    std::string output;
    ASSERT_TRUE(RestartDbServer(Db(), &output)) << output;
    // A thread's first statement may fail; its second one succeeds.
    for (int r : UseThreeConnections(Db().connectionName, Db().selectOne)) EXPECT_GE(r, 2) << LogText();
    EXPECT_EQ(ServerSessions(), 3);
    for (int r : UseThreeConnections(Db().connectionName, Db().selectOne)) EXPECT_EQ(r, 3) << LogText();
}

TEST_P(PoolHealTest, AHolderOfAReplacedRecordFailsCleanly) {
    const char* name = Db().connectionName.c_str();
    DBConnection* held = GetDBConnection(name);
    ASSERT_NE(held, nullptr);
    std::string output;
    ASSERT_TRUE(RestartDbServer(Db(), &output)) << output;
    // Another user of the shared connection finds it lost and renews it,
    // while this holder keeps the old record.
    if (SelectOne()) __atomic_store_n(&held->broken, static_cast<uint8_t>(1), __ATOMIC_RELEASE);
    ASSERT_TRUE(SelectOne()) << LogText();
    DBConnection* fresh = GetDBConnection(name);
    ASSERT_NE(fresh, nullptr);
    ASSERT_NE(fresh, held);
    EXPECT_EQ(held->broken, 1);
    EXPECT_EQ(ExecuteQuery(held, Db().selectOne.c_str()), nullptr);
    EXPECT_EQ(ExecuteUpdate(held, Db().selectOne.c_str()), 0);
    EXPECT_EQ(BeginTransaction(held), 0);
    EXPECT_NE(LogText().find(Db().missingHandleLog), std::string::npos);
    ResultSet* set = ExecuteQuery(fresh, Db().selectOne.c_str());
    EXPECT_NE(set, nullptr);
    FreeResultSet(set);
    ReleaseDBConnection(name);
    EXPECT_EQ(ServerSessions(), 1);
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD_SERVER(PoolHealTest);

// Threads sharing the single connection of a SQLite data source keep
// running statements while another thread has it renewed again and again:
// a thread holding a replaced record sees its statement fail, never freed
// memory. Run under ThreadSanitizer by "ctest -L concurrency".
TEST(PoolHealThreads, RenewalsWhileOtherThreadsUseTheSharedConnection) {
    std::string error;
    ASSERT_TRUE(LoadDbEnvironment(&error)) << error;
    const DbContext db = DbContextNamed("sqlite_odbc");
    const auto dir = std::filesystem::temp_directory_path() / ("orv-pool-threads-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    LibrarySession session;
    ASSERT_TRUE(session.Start(db, dir.string(), &error)) << error;
    const char* name = db.connectionName.c_str();
    std::atomic<int> succeeded{0};
    std::atomic<bool> stop{false};
    auto work = [&] {
        while (!stop.load()) {
            DBConnection* c = GetDBConnection(name);
            if (c == nullptr) continue;
            ResultSet* set = ExecuteQuery(c, "SELECT 1");
            if (set != nullptr) succeeded.fetch_add(1);
            FreeResultSet(set);
            ReleaseDBConnection(name);
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) workers.emplace_back(work);
    std::set<DBConnection*> seen;
    for (int i = 0; i < 40; ++i) {
        DBConnection* c = GetDBConnection(name);
        ASSERT_NE(c, nullptr);
        seen.insert(c);
        __atomic_store_n(&c->broken, static_cast<uint8_t>(1), __ATOMIC_RELEASE);
        ReleaseDBConnection(name);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stop.store(true);
    for (std::thread& t : workers) t.join();
    EXPECT_GT(succeeded.load(), 0);
    EXPECT_GT(seen.size(), 1u) << "the connection was never renewed";
    DBConnection* c = GetDBConnection(name);
    ASSERT_NE(c, nullptr);
    ResultSet* set = ExecuteQuery(c, "SELECT 1");
    EXPECT_NE(set, nullptr);
    FreeResultSet(set);
    session.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

}  // namespace
}  // namespace orv::test
