// The transaction guard on the test databases: rolled back when it goes
// without a commit, committed when told, begun again by a restart, and its
// connection's transaction lock held from its making to its end and given
// back in every case.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "agent/object_lock.h"
#include "db/connection.h"
#include "db/transaction_guard.h"
#include "tests/db/db_context.h"
#include "tests/db/library_session.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

/* Whether another thread can take the key: it takes and gives it back
 * within a minute (a bound against a hang only; a free key is taken at
 * once). A thread that waits longer is left waiting. */
bool KeyIsFree(const void* key) {
    std::promise<void> taken;
    std::future<void> done = taken.get_future();
    std::thread taker([key, promise = std::move(taken)]() mutable {
        LockObject(key);
        UnlockObject(key);
        promise.set_value();
    });
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        taker.detach();
        return false;
    }
    taker.join();
    return true;
}

class TransactionGuardTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        std::string error;
        ASSERT_TRUE(session_.Start(Db(), log_.path(), &error)) << error << "\n" << LogText();
        ASSERT_TRUE(sql_.Connect(Db())) << sql_.LastError();
        table_ = TableName("guarded");
        ASSERT_TRUE(sql_.Exec("CREATE TABLE " + table_ + " (ID " + Db().types.integer + ")")) << sql_.LastError();
        created_ = true;
        connection_ = GetDBConnection(Db().connectionName.c_str());
        ASSERT_NE(connection_, nullptr) << LogText();
    }
    void TearDown() override {
        if (connection_ != nullptr) ReleaseDBConnection(Db().connectionName.c_str());
        session_.Stop();
        if (created_) sql_.Exec(Db().DropTableSql(table_));
    }

    std::string LogText() const { return ReadFile(log_ / "velkra.log"); }
    size_t Rollbacks() const { return Count(LogText(), "@@@ Inside RollbackTransaction @@@"); }
    void Insert(int id) {
        ASSERT_EQ(ExecuteUpdate(connection_, ("insert into " + table_ + " values (" + std::to_string(id) + ")").c_str()),
                  1)
            << LogText();
    }
    /* The IDs in the table as another session reads them, in order. */
    std::string Ids() {
        std::vector<OdbcSession::Row> rows;
        EXPECT_TRUE(sql_.Query("select ID from " + table_ + " order by ID", &rows)) << sql_.LastError();
        std::string ids;
        for (const auto& row : rows) ids += (ids.empty() ? "" : ",") + row[0].value_or("NULL");
        return ids;
    }

    TempDir log_;
    LibrarySession session_;
    OdbcSession sql_;
    std::string table_;
    bool created_ = false;
    DBConnection* connection_ = nullptr;
};

TEST_P(TransactionGuardTest, RollsBackWhenItGoesWithoutACommit) {
    const size_t before = Rollbacks();
    {
        TransactionGuard transaction(connection_);
        ASSERT_TRUE(transaction.open()) << LogText();
        EXPECT_EQ(transaction.connection(), connection_);
        EXPECT_EQ(connection_->inTransaction, 1);
        Insert(1);
    }
    EXPECT_EQ(connection_->inTransaction, 0);
    EXPECT_EQ(Rollbacks(), before + 1);
    EXPECT_EQ(Ids(), "");
    EXPECT_TRUE(KeyIsFree(TransactionLockKey(connection_)));
}

TEST_P(TransactionGuardTest, CommitsWhenToldAndIsNotRolledBackAfterwards) {
    const size_t before = Rollbacks();
    {
        TransactionGuard transaction(connection_);
        ASSERT_TRUE(transaction.open()) << LogText();
        Insert(1);
        Insert(2);
        EXPECT_TRUE(transaction.Commit()) << LogText();
        EXPECT_FALSE(transaction.open());
        // Over: a second commit or a rollback has nothing to do.
        EXPECT_FALSE(transaction.Commit());
        EXPECT_FALSE(transaction.Rollback());
    }
    EXPECT_EQ(connection_->inTransaction, 0);
    EXPECT_EQ(Rollbacks(), before);
    EXPECT_EQ(Ids(), "1,2");
    EXPECT_TRUE(KeyIsFree(TransactionLockKey(connection_)));
}

TEST_P(TransactionGuardTest, RollbackKeepsTheLockAndRestartBeginsAgain) {
    {
        TransactionGuard transaction(connection_);
        ASSERT_TRUE(transaction.open()) << LogText();
        Insert(1);
        EXPECT_TRUE(transaction.Rollback()) << LogText();
        EXPECT_FALSE(transaction.open());
        ASSERT_TRUE(transaction.Restart()) << LogText();
        EXPECT_TRUE(transaction.open());
        Insert(2);
        // A restart of an open transaction rolls it back first.
        ASSERT_TRUE(transaction.Restart()) << LogText();
        Insert(3);
        EXPECT_TRUE(transaction.Commit()) << LogText();
    }
    EXPECT_EQ(Ids(), "3");
    EXPECT_TRUE(KeyIsFree(TransactionLockKey(connection_)));
}

TEST_P(TransactionGuardTest, AnotherThreadTakesTheLockOnlyWhenTheGuardIsGone) {
    const void* key = TransactionLockKey(connection_);
    auto guardGone = std::make_shared<std::atomic<bool>>(false);
    auto sawGuardGone = std::make_shared<std::promise<bool>>();
    std::future<bool> seen = sawGuardGone->get_future();
    std::thread waiter;
    {
        TransactionGuard transaction(connection_);
        ASSERT_TRUE(transaction.open()) << LogText();
        waiter = std::thread([key, guardGone, sawGuardGone] {
            LockObject(key);
            sawGuardGone->set_value(guardGone->load());
            UnlockObject(key);
        });
        Insert(1);
        EXPECT_TRUE(transaction.Rollback());
        EXPECT_TRUE(transaction.Restart());
        // Time for the waiter to reach the lock; it must still be waiting.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        guardGone->store(true);
    }
    // Bounded against a hang only: the lock is given back at once.
    if (seen.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        waiter.detach();
        FAIL() << "the guard kept its lock";
    }
    waiter.join();
    EXPECT_TRUE(seen.get());
    EXPECT_TRUE(KeyIsFree(key));
}

}  // namespace

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(TransactionGuardTest);

}  // namespace orv::test
