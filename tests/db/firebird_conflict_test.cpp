/*
 * Statements on the embedded Firebird test database that wait for a
 * concurrent writer of their row: once the writer commits, each kind of
 * statement (a blob update, a statement run as a query) applies to the
 * committed row, as a plain update does, instead of failing with the
 * engine's update conflict.
 */
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "db/connection.h"
#include "db/firebird/firebird_provider.h"
#include "db/provider.h"
#include "tests/db/db_context.h"
#include "tests/db/odbc_test_util.h"

namespace orv::test {
namespace {

class FirebirdConflictTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(FirebirdReady(&error)) << error;
        db_ = DbContextNamed("firebird");
        log_.Open();
        ASSERT_TRUE(holder_.Open(db_)) << log_.Text();
        ASSERT_TRUE(waiter_.Open(db_)) << log_.Text();
        table_ = "fbc_" + std::to_string(getpid());
        holder_.Update(db_.DropTableSql(table_));
        ASSERT_TRUE(holder_.Update("create table " + table_ + " (id integer primary key, n integer, b blob sub_type binary)"))
            << log_.Text();
        ASSERT_TRUE(holder_.Update("insert into " + table_ + " (id, n) values (1, 0)"));
    }
    void TearDown() override {
        waiter_.Close();
        holder_.Update(db_.DropTableSql(table_));
        holder_.Close();
        log_.Close();
    }
    const DBProvider* P() const { return GetFirebirdProvider(); }

    /* Runs statement on the waiting connection while the holder's open
     * transaction has changed the row; true when it waited, and what it
     * gave once the holder committed. */
    template <typename Statement>
    bool RunWhileRowIsHeld(Statement statement, int* result) {
        if (P()->beginTransaction(holder_.get()) != 1) return false;
        if (!holder_.Update("update " + table_ + " set n = n + 1 where id = 1")) return false;
        std::atomic<int> outcome{-1};
        std::thread waiting([&] { outcome = statement(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const bool waited = outcome.load() == -1;
        const bool committed = P()->commitTransaction(holder_.get()) == 1;
        waiting.join();
        *result = outcome.load();
        return waited && committed;
    }
    std::string N() {
        ResultHolder r(holder_.Query("select n from " + table_ + " where id = 1"));
        return r.set ? CellText(CellAt(r.set, 0, 0), r.set->columns[0].type) : "<failed>";
    }

    DbContext db_;
    ProviderLog log_;
    ProviderConnection holder_, waiter_;
    std::string table_;
};

TEST_F(FirebirdConflictTest, ABlobUpdateWaitingForAWriterAppliesToTheCommittedRow) {
    const std::string data = BlobPattern(3000);
    SupplierState supply;
    supply.data = &data;
    supply.chunk = 1000;
    int result = 0;
    ASSERT_TRUE(RunWhileRowIsHeld(
        [&] {
            return static_cast<int>(P()->executeUpdateBlob(
                waiter_.get(), ("update " + table_ + " set b = ?, n = n + 10 where id = 1").c_str(), SupplyChunks,
                &supply));
        },
        &result));
    EXPECT_EQ(result, 1) << log_.Text();
    EXPECT_EQ(N(), "11");
    ResultHolder r(holder_.Query("select b from " + table_ + " where id = 1"));
    ASSERT_NE(r.set, nullptr);
    const ResultCell* cell = CellAt(r.set, 0, 0);
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(cell->data, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(cell->data), static_cast<size_t>(cell->length)), data);
    EXPECT_FALSE(log_.Has("update conflicts")) << log_.Text();
}

TEST_F(FirebirdConflictTest, AStatementRunAsAQueryWaitingForAWriterAppliesToTheCommittedRow) {
    int result = 0;
    std::string returned;
    ASSERT_TRUE(RunWhileRowIsHeld(
        [&] {
            ResultHolder r(waiter_.Query("update " + table_ + " set n = n + 10 where id = 1 returning n"));
            if (r.set == nullptr) return 0;
            returned = CellText(CellAt(r.set, 0, 0), r.set->columns[0].type);
            return 1;
        },
        &result));
    EXPECT_EQ(result, 1) << log_.Text();
    EXPECT_EQ(returned, "11");
    EXPECT_EQ(N(), "11");
    EXPECT_FALSE(log_.Has("update conflicts")) << log_.Text();
}

/* Two attachments changing the data definitions at once, through queries:
 * every statement succeeds, none is reported as a conflict. */
TEST_F(FirebirdConflictTest, DataDefinitionsRunAsQueriesFromTwoAttachmentsAtOnce) {
    std::atomic<int> failures{0};
    auto work = [&](ProviderConnection* c, const std::string& name) {
        for (int i = 0; i < 15; ++i) {
            FreeResultSet(c->Query(db_.DropTableSql(name)));
            ResultSet* created = c->Query("create table " + name + " (id integer primary key, v varchar(20))");
            if (created == nullptr) ++failures;
            FreeResultSet(created);
        }
        FreeResultSet(c->Query(db_.DropTableSql(name)));
    };
    const std::string a = table_ + "_a", b = table_ + "_b";
    std::thread first(work, &holder_, a);
    std::thread second(work, &waiter_, b);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0) << log_.Text();
}

}  // namespace
}  // namespace orv::test
