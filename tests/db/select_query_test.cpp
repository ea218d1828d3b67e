/*
 * Tests of the select query model: constructors and their refusals, copied
 * texts, criteria trees, column removal, and the release of whole queries
 * (run under ASan they show that no vector node or block is leaked). The
 * log is a real file at TRACE level, read back by the tests.
 */
#include "db/select_query.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "agent/log.h"
#include "tests/support/test_support.h"
#include "util/mempool.h"

namespace orv {
namespace {

using orv::test::ReadFile;
using orv::test::TempDir;

class SelectQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitDefaultLog());
        ASSERT_TRUE(ConfigureLog("db.log", dir_.path().c_str(), 100000000, 4));
        ASSERT_TRUE(OpenLogTruncate());
        ASSERT_TRUE(InitializeMemPool());
    }
    void TearDown() override {
        TerminateMemPool();
        CloseLog();
        FreeLogSettings();
    }
    std::string Log() {
        fflush(gv_logFilePtr);
        return ReadFile(dir_ / "db.log");
    }
    bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }
    int CountLogged(const std::string& text) {
        std::string log = Log();
        int n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++n;
        return n;
    }
    TempDir dir_;
};

SelectColumn* ColumnAt(Vector* list, int32_t index) {
    VectorNode* node = ElementAt(list, index);
    return node ? static_cast<SelectColumn*>(node->element) : nullptr;
}

TEST_F(SelectQueryTest, NewQueryIsEmpty) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    ASSERT_NE(query->pool, nullptr);
    ASSERT_NE(query->columns, nullptr);
    ASSERT_NE(query->joins, nullptr);
    ASSERT_NE(query->tables, nullptr);
    EXPECT_EQ(query->columns->count, 0);
    EXPECT_EQ(query->joins->count, 0);
    EXPECT_EQ(query->tables->count, 0);
    EXPECT_EQ(query->criteria, nullptr);
    EXPECT_EQ(query->groupBy, nullptr);
    EXPECT_EQ(query->sort, nullptr);
    EXPECT_EQ(query->limit, 0);
    EXPECT_EQ(query->offset, 0);
    EXPECT_EQ(GetSelectQueryFirstTable(query), nullptr);
    FreeSelectQuery(query);
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside CreateSelectQuery @@@\n"));
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside FreeSelectQuery @@@\n"));
}

TEST_F(SelectQueryTest, CountWithoutColumnNameIsAccepted) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    SelectColumn* count = CreateSelectColumn("Site", nullptr, nullptr, "n", 3, 5, kAggregateCount, query->pool);
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->columnName, nullptr);
    EXPECT_STREQ(count->tableName, "Site");
    EXPECT_EQ(count->tableAlias, nullptr);
    EXPECT_STREQ(count->columnAlias, "n");
    EXPECT_EQ(count->number, 3);
    EXPECT_EQ(count->dataType, 5);
    EXPECT_EQ(count->aggregate, kAggregateCount);
    EXPECT_TRUE(AddSelectColumn(query, count));
    EXPECT_EQ(query->columns->count, 1);
    EXPECT_FALSE(Logged("Column Name is NULL"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, NoColumnNameWithoutAggregateIsRefused) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(CreateSelectColumn("Site", nullptr, nullptr, nullptr, 0, 5, kAggregateNone, query->pool), nullptr);
    EXPECT_TRUE(Logged("[ERROR] \nColumn Name is NULL\n"));
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside CreateSelectColumn @@@\n"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, ListColumnAlwaysNeedsAColumnName) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(CreateListColumn("Site", nullptr, nullptr, nullptr, 0, 5, kAggregateCount, query->pool), nullptr);
    EXPECT_EQ(CountLogged("[ERROR] \nColumn Name is NULL\n"), 1);
    SelectColumn* column = CreateListColumn("Site", "s", "SiteID", nullptr, 0, 5, kAggregateNone, query->pool);
    ASSERT_NE(column, nullptr);
    EXPECT_STREQ(column->columnName, "SiteID");
    EXPECT_STREQ(column->tableAlias, "s");
    EXPECT_EQ(CreateListColumn("Site", nullptr, "SiteID", nullptr, 0, 22, kAggregateNone, query->pool), nullptr);
    EXPECT_TRUE(Logged("[ERROR] \nInvalid Data Type\n"));
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside CreateListColumn @@@\n"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, DataType21IsAcceptedAnd22Refused) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    SelectColumn* clob = CreateSelectColumn("Doc", nullptr, "Body", nullptr, 0, 21, kAggregateNone, query->pool);
    ASSERT_NE(clob, nullptr);
    EXPECT_EQ(clob->dataType, 21);
    EXPECT_FALSE(Logged("Invalid Data Type"));
    EXPECT_EQ(CreateSelectColumn("Doc", nullptr, "Body", nullptr, 0, 22, kAggregateNone, query->pool), nullptr);
    EXPECT_EQ(CountLogged("[ERROR] \nInvalid Data Type\n"), 1);
    EXPECT_EQ(CreateSelectColumn("Doc", nullptr, "Body", nullptr, 0, 255, kAggregateNone, query->pool), nullptr);
    EXPECT_EQ(CountLogged("[ERROR] \nInvalid Data Type\n"), 2);
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, TextsAreCopiedIntoTheQuery) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    char table[] = "Site";
    char alias[] = "s";
    char column[] = "SiteID";
    char columnAlias[] = "id";
    SelectColumn* col = CreateSelectColumn(table, alias, column, columnAlias, 0, 5, kAggregateNone, query->pool);
    SelectTable* tab = CreateSelectTable(table, alias, query->pool);
    JoinSpec* join = CreateJoinSpec(table, alias, column, nullptr, kJoinLeft, nullptr, nullptr, query->pool);
    ASSERT_TRUE(col && tab && join);
    EXPECT_NE(col->tableName, table);
    EXPECT_NE(col->columnName, column);
    std::memset(table, 'X', sizeof table - 1);
    std::memset(alias, 'X', sizeof alias - 1);
    std::memset(column, 'X', sizeof column - 1);
    std::memset(columnAlias, 'X', sizeof columnAlias - 1);
    EXPECT_STREQ(col->tableName, "Site");
    EXPECT_STREQ(col->tableAlias, "s");
    EXPECT_STREQ(col->columnName, "SiteID");
    EXPECT_STREQ(col->columnAlias, "id");
    EXPECT_STREQ(tab->tableName, "Site");
    EXPECT_STREQ(tab->tableAlias, "s");
    EXPECT_STREQ(join->leftTable, "Site");
    EXPECT_STREQ(join->leftAlias, "s");
    EXPECT_STREQ(join->rightTable, "SiteID");
    EXPECT_EQ(join->rightAlias, nullptr) << "an absent text stays absent";
    EXPECT_EQ(join->joinType, kJoinLeft);

    SelectTable* bare = CreateSelectTable("Device", nullptr, query->pool);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->tableAlias, nullptr);
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, RemoveSelectColumnWithoutMatchLogsAndFails) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    ASSERT_TRUE(AddSelectColumn(
        query, CreateSelectColumn("Site", nullptr, "SiteID", nullptr, 0, 5, kAggregateNone, query->pool)));
    EXPECT_FALSE(RemoveSelectColumn(query, "Site", "Name"));
    EXPECT_FALSE(RemoveSelectColumn(query, "Device", "SiteID"));
    EXPECT_EQ(CountLogged("[ERROR] Invalid Column Name\n"), 2);
    EXPECT_EQ(query->columns->count, 1);
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside RemoveSelectColumn @@@\n"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, RemoveSelectColumnRemovesEveryMatch) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    MemPool* pool = query->pool;
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("Site", nullptr, "SiteID", nullptr, 1, 5, 0, pool)));
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("Site", nullptr, "Name", nullptr, 2, 14, 0, pool)));
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("SITE", "s", "siteid", "x", 3, 5, 0, pool)));
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("Device", nullptr, "SiteID", nullptr, 4, 5, 0, pool)));
    ASSERT_EQ(query->columns->count, 4);

    EXPECT_TRUE(RemoveSelectColumn(query, "site", "SITEID"));
    ASSERT_EQ(query->columns->count, 2);
    EXPECT_EQ(ColumnAt(query->columns, 0)->number, 2);
    EXPECT_EQ(ColumnAt(query->columns, 1)->number, 4);
    EXPECT_FALSE(Logged("Invalid Column Name"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, ColumnWithoutTableMatchesOnItsNameAlone) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    MemPool* pool = query->pool;
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn(nullptr, nullptr, "Kind", nullptr, 1, 14, 0, pool)));
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("Device", nullptr, "Kind", nullptr, 2, 14, 0, pool)));
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn(nullptr, nullptr, "Name", nullptr, 3, 14, 0, pool)));
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn(nullptr, nullptr, nullptr, nullptr, 4, 5, 2, pool)));

    EXPECT_TRUE(RemoveSelectColumn(query, "Site", "Kind"));
    ASSERT_EQ(query->columns->count, 3);
    EXPECT_EQ(ColumnAt(query->columns, 0)->number, 2) << "a table name must match too";
    EXPECT_TRUE(RemoveSelectColumn(query, nullptr, "name"));
    ASSERT_EQ(query->columns->count, 2);
    EXPECT_EQ(ColumnAt(query->columns, 1)->number, 4);
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, CriteriaValueIsCopiedWithItsLengthAndAZeroByte) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    SelectColumn* column = CreateSelectColumn("Site", nullptr, "Code", nullptr, 0, 20, 0, query->pool);
    ASSERT_NE(column, nullptr);
    char value[7] = {'a', 'b', '\0', 'c', 'd', 'e', 'f'};
    CriteriaNode* node = CreateCriteriaNode(column, value, 7, kSqlEqual, query->pool);
    ASSERT_NE(node, nullptr);
    std::memset(value, 'Z', sizeof value);
    ASSERT_NE(node->value, nullptr);
    EXPECT_NE(node->value, static_cast<void*>(value));
    EXPECT_EQ(node->valueLength, 7);
    EXPECT_EQ(std::memcmp(node->value, "ab\0cdef", 7), 0);
    EXPECT_EQ(static_cast<const char*>(node->value)[7], '\0');
    EXPECT_EQ(node->column, column);
    EXPECT_EQ(node->op, kSqlEqual);
    EXPECT_EQ(node->left, nullptr);
    EXPECT_EQ(node->right, nullptr);
    EXPECT_EQ(node->parent, nullptr);

    int32_t number = 42;
    CriteriaNode* numeric = CreateCriteriaNode(column, &number, 4, kSqlGreater, query->pool);
    ASSERT_NE(numeric, nullptr);
    int32_t read = 0;
    std::memcpy(&read, numeric->value, 4);
    EXPECT_EQ(read, 42);

    CriteriaNode* empty = CreateCriteriaNode(column, "", 0, kSqlLike, query->pool);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(static_cast<const char*>(empty->value)[0], '\0');
    CriteriaNode* none = CreateCriteriaNode(column, nullptr, 0, kSqlEqual, query->pool);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->value, nullptr);
    EXPECT_EQ(none->valueLength, 0);
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside CreateCriteriaNode @@@\n"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, CriteriaNodeNeedsAColumn) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(CreateCriteriaNode(nullptr, "x", 1, kSqlEqual, query->pool), nullptr);
    EXPECT_TRUE(Logged("[ERROR] \nEmpty Column Assigned\n"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, AndNodeBecomesParentOfItsComparisons) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    MemPool* pool = query->pool;
    SelectColumn* site = CreateSelectColumn("Device", nullptr, "SiteID", nullptr, 0, 5, 0, pool);
    SelectColumn* kind = CreateSelectColumn("Device", nullptr, "Kind", nullptr, 0, 14, 0, pool);
    int32_t ten = 10;
    CriteriaNode* left = CreateCriteriaNode(site, &ten, 4, kSqlEqual, pool);
    CriteriaNode* right = CreateCriteriaNode(kind, "router", 6, kSqlEqual, pool);
    ASSERT_TRUE(left && right);
    CriteriaNode* both = CreateAndNode(left, right, pool);
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(both->op, kSqlAnd);
    EXPECT_EQ(both->left, left);
    EXPECT_EQ(both->right, right);
    EXPECT_EQ(left->parent, both);
    EXPECT_EQ(right->parent, both);
    EXPECT_EQ(both->column, nullptr);
    EXPECT_EQ(both->value, nullptr);
    EXPECT_EQ(both->valueLength, 0);
    EXPECT_EQ(both->parent, nullptr);

    CriteriaNode* other = CreateCriteriaNode(kind, "switch", 6, kSqlEqual, pool);
    ASSERT_NE(other, nullptr);
    CriteriaNode* either = CreateOrNode(both, other, pool);
    ASSERT_NE(either, nullptr);
    EXPECT_EQ(either->op, kSqlOr);
    EXPECT_EQ(both->parent, either);
    EXPECT_EQ(other->parent, either);
    EXPECT_EQ(left->parent, both) << "the grandchildren keep their own parent";

    SetCriteria(query, either);
    EXPECT_EQ(query->criteria, either);
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside CreateAndNode @@@\n"));
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside CreateOrNode @@@\n"));
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside SetCriteria @@@\n"));
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, JoinsGroupingAndSortHoldTheirLists) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    MemPool* pool = query->pool;
    Vector* leftColumns = NewColumnList(pool);
    Vector* rightColumns = NewColumnList(pool);
    ASSERT_TRUE(leftColumns && rightColumns);
    EXPECT_EQ(leftColumns->count, 0);
    ASSERT_TRUE(AddColumnToList(pool, CreateListColumn("Site", nullptr, "SiteID", nullptr, 0, 5, 0, pool),
                                leftColumns));
    ASSERT_TRUE(AddColumnToList(pool, CreateListColumn("Device", nullptr, "SiteID", nullptr, 0, 5, 0, pool),
                                rightColumns));
    EXPECT_FALSE(AddColumnToList(pool, nullptr, leftColumns));
    JoinSpec* join = CreateJoinSpec("Site", "s", "Device", "d", kJoinInner, leftColumns, rightColumns, pool);
    ASSERT_NE(join, nullptr);
    EXPECT_EQ(join->leftColumns, leftColumns);
    EXPECT_EQ(join->rightColumns, rightColumns);
    ASSERT_TRUE(AddJoin(query, join));
    EXPECT_STREQ(GetSelectQueryFirstTable(query), "Site") << "without tables the first join's left table";

    ASSERT_TRUE(AddSelectTable(query, CreateSelectTable("Customer", nullptr, pool)));
    ASSERT_TRUE(AddSelectTable(query, CreateSelectTable("Alarm", nullptr, pool)));
    EXPECT_STREQ(GetSelectQueryFirstTable(query), "Customer");
    EXPECT_FALSE(AddSelectTable(query, nullptr));
    EXPECT_FALSE(AddJoin(query, nullptr));
    EXPECT_FALSE(AddSelectColumn(query, nullptr));

    Vector* groupColumns = NewColumnList(pool);
    ASSERT_NE(groupColumns, nullptr);
    SelectColumn* kind = CreateSelectColumn("Device", nullptr, "Kind", nullptr, 0, 14, 0, pool);
    ASSERT_TRUE(AddColumnToList(pool, kind, groupColumns));
    SelectColumn* count = CreateSelectColumn("Device", nullptr, nullptr, nullptr, 0, 5, kAggregateCount, pool);
    int32_t two = 2;
    CriteriaNode* having = CreateCriteriaNode(count, &two, 4, kSqlGreaterEqual, pool);
    GroupBySpec* group = CreateGroupBySpec(groupColumns, having, pool);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->columns, groupColumns);
    EXPECT_EQ(group->having, having);
    SetGroupBy(query, group);
    EXPECT_EQ(query->groupBy, group);

    Vector* sortColumns = NewColumnList(pool);
    ASSERT_TRUE(AddItemToList(pool, kind, sortColumns));
    EXPECT_FALSE(AddItemToList(pool, nullptr, sortColumns));
    SortSpec* sort = CreateSortSpec(sortColumns, 1, pool);
    ASSERT_NE(sort, nullptr);
    EXPECT_EQ(sort->columns, sortColumns);
    EXPECT_EQ(sort->ascending, 1);
    SetSort(query, sort);
    EXPECT_EQ(query->sort, sort);

    /* A list that is never attached still goes with the query. */
    Vector* loose = NewColumnList(pool);
    ASSERT_TRUE(AddItemToList(pool, kind, loose));
    FreeSelectQuery(query);

    std::string log = Log();
    for (const char* name :
         {"NewColumnList", "AddColumnToList", "AddItemToList", "CreateJoinSpec", "AddJoin", "CreateSelectTable",
          "AddSelectTable", "CreateGroupBySpec", "SetGroupBy", "CreateSortSpec", "SetSort",
          "GetSelectQueryFirstTable", "AddSelectColumn"}) {
        EXPECT_NE(log.find(std::string("[TRACE] @@@ Inside ") + name + " @@@\n"), std::string::npos) << name;
    }
}

TEST_F(SelectQueryTest, FirstTableOfAJoinWithoutLeftTableIsAbsent) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    ASSERT_TRUE(AddJoin(query, CreateJoinSpec(nullptr, nullptr, "Device", nullptr, kJoinLeft, nullptr, nullptr,
                                              query->pool)));
    EXPECT_EQ(GetSelectQueryFirstTable(query), nullptr);
    EXPECT_EQ(GetSelectQueryFirstTable(nullptr), nullptr);
    FreeSelectQuery(query);
}

TEST_F(SelectQueryTest, QueryWithoutRootPoolStandsAlone) {
    TerminateMemPool();
    ASSERT_EQ(GetRootMemPool(), nullptr);
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("Site", nullptr, "Name", nullptr, 0, 14, 0, query->pool)));
    FreeSelectQuery(query);
    FreeSelectQuery(nullptr);
    ASSERT_TRUE(InitializeMemPool());
}

TEST_F(SelectQueryTest, QueriesStillOpenGoWithTheRootPool) {
    for (int i = 0; i < 10; ++i) {
        SelectQuery* query = CreateSelectQuery();
        ASSERT_NE(query, nullptr);
        MemPool* pool = query->pool;
        ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("Site", nullptr, "Name", nullptr, 0, 14, 0, pool)));
        Vector* list = NewColumnList(pool);
        ASSERT_TRUE(AddColumnToList(pool, CreateListColumn("Site", nullptr, "SiteID", nullptr, 0, 5, 0, pool), list));
    }
    /* The last end of the root pool releases them: ASan's leak check would
     * report any vector node left behind. */
    TerminateMemPool();
    EXPECT_EQ(GetRootMemPool(), nullptr);
    ASSERT_TRUE(InitializeMemPool());
}

/* A query like the ones stored definitions build, with every kind of list. */
bool BuildFullQuery(int i) {
    SelectQuery* query = CreateSelectQuery();
    if (query == nullptr) return false;
    MemPool* pool = query->pool;
    char name[32];
    std::snprintf(name, sizeof name, "Column%d", i);
    bool ok = true;
    for (int k = 0; k < 8 && ok; ++k) {
        ok = AddSelectColumn(query, CreateSelectColumn("Device", "d", name, "alias", k, 5, 0, pool));
    }
    ok = ok && AddSelectTable(query, CreateSelectTable("Device", "d", pool));
    Vector* left = NewColumnList(pool);
    Vector* right = NewColumnList(pool);
    ok = ok && left && right;
    ok = ok && AddColumnToList(pool, CreateListColumn("Device", nullptr, "SiteID", nullptr, 0, 5, 0, pool), left);
    ok = ok && AddColumnToList(pool, CreateListColumn("Site", nullptr, "SiteID", nullptr, 0, 5, 0, pool), right);
    ok = ok && AddJoin(query, CreateJoinSpec("Device", "d", "Site", "s", kJoinLeft, left, right, pool));
    SelectColumn* column = CreateSelectColumn("Device", nullptr, "Kind", nullptr, 0, 14, 0, pool);
    CriteriaNode* a = CreateCriteriaNode(column, name, static_cast<int32_t>(std::strlen(name)), kSqlEqual, pool);
    CriteriaNode* b = CreateCriteriaNode(column, "x", 1, kSqlNotEqual, pool);
    CriteriaNode* root = CreateAndNode(a, b, pool);
    ok = ok && a && b && root;
    SetCriteria(query, root);
    Vector* group = NewColumnList(pool);
    ok = ok && group && AddColumnToList(pool, column, group);
    SetGroupBy(query, CreateGroupBySpec(group, nullptr, pool));
    Vector* sort = NewColumnList(pool);
    ok = ok && sort && AddColumnToList(pool, column, sort);
    SetSort(query, CreateSortSpec(sort, 0, pool));
    Vector* loose = NewColumnList(pool);
    ok = ok && loose && AddItemToList(pool, column, loose);
    /* Enough texts to need more than the first block now and then. */
    for (int k = 0; k < (i % 5) * 40 && ok; ++k) {
        ok = MemPoolStrdup(pool, "a somewhat longer text that takes room in the pool") != nullptr;
    }
    ok = ok && RemoveSelectColumn(query, "DEVICE", name);
    ok = ok && query->columns->count == 0;
    FreeSelectQuery(query);
    return ok;
}

TEST_F(SelectQueryTest, ThousandsOfQueriesAreCreatedAndFreed) {
    SetLogLevel(2); /* keep the log small: every operation writes at TRACE */
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(BuildFullQuery(i)) << i;
    }
    EXPECT_LE(GetMemPoolFreeListBlocks(), 8u) << "blocks circulate through the free lists";
    EXPECT_FALSE(Logged("[ERROR]"));
}

/* Four threads building and freeing queries under the one root pool; run
 * under ThreadSanitizer by "ctest -L concurrency". */
TEST_F(SelectQueryTest, ThreadsBuildAndFreeQueries) {
    SetLogLevel(2);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 500; ++i) {
                if (!BuildFullQuery(t * 1000 + i)) failures[t]++;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
    EXPECT_FALSE(Logged("[ERROR]"));
}

}  // namespace
}  // namespace orv
