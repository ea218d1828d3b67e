// Rows read by a query share blocks with their cells and values: many rows
// spread over several blocks, a value larger than a block in the middle of
// them, NULLs, dates that point into their own row, cells appended to such
// a row afterwards; on SQLite, PostgreSQL and MariaDB through the provider.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "datastore/column_value.h"
#include "datastore/type_codes.h"
#include "db/result_set.h"
#include "tests/db/odbc_test_util.h"

namespace orv::test {
namespace {

TEST(PackedRowTest, RowsOverSeveralBlocksKeepEveryValue) {
    ResultRowArena arena = {nullptr, 0, 0};
    ResultRow* head = nullptr;
    ResultRow* tail = nullptr;
    const std::string big(300 * 1024, 'x');  // larger than any shared block
    OrvDate date = {2024, 2, 29};
    OrvTime time = {23, 59, 58};
    OrvDateTime when = {&date, &time};
    for (int i = 0; i < 5000; ++i) {
        int64_t id = i;
        std::string name = "row-" + std::to_string(i);
        const char* text = i == 2500 ? big.c_str() : name.c_str();
        ResultCellValue values[4] = {
            {&id, 8, ORV_SQL_BIGINT},
            {text, static_cast<int32_t>(strlen(text)), ORV_SQL_TEXT},
            {i % 3 == 0 ? nullptr : &when, kDateTimeStoredWidth, ORV_SQL_DATETIME},
            {nullptr, 0, ORV_SQL_DOUBLE},
        };
        ResultRow* row = CreatePackedResultRow(&arena, values, 4);
        ASSERT_NE(row, nullptr);
        AppendResultRow(&head, &tail, row);
    }
    // A cell appended afterwards is a block of its own, freed with the row.
    ASSERT_TRUE(AppendResultCell(tail, "extra", 5, ORV_SQL_TEXT));
    auto* columns = static_cast<ResultColumn*>(calloc(4, sizeof(ResultColumn)));
    ASSERT_TRUE(InitResultColumn(&columns[0], "ID", ORV_SQL_BIGINT));
    ASSERT_TRUE(InitResultColumn(&columns[1], "NAME", ORV_SQL_TEXT));
    ASSERT_TRUE(InitResultColumn(&columns[2], "WHEN", ORV_SQL_DATETIME));
    ASSERT_TRUE(InitResultColumn(&columns[3], "SCORE", ORV_SQL_DOUBLE));
    ResultSet* set = CreateResultSet(head, columns, 4);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->rowCount, 5000);
    int i = 0;
    for (ResultRow* row = ResultSetNext(set); row != nullptr; row = ResultSetNext(set), ++i) {
        int64_t id = -1;
        memcpy(&id, GetResultSetCell(set, 0)->data, 8);
        ASSERT_EQ(id, i);
        ResultCell* name = GetResultSetCell(set, 1);
        const std::string expected = i == 2500 ? big : "row-" + std::to_string(i);
        ASSERT_EQ(name->length, static_cast<int32_t>(expected.size()));
        ASSERT_EQ(std::string(static_cast<const char*>(name->data)), expected);  // zero-terminated
        ResultCell* whenCell = GetResultSetCell(set, 2);
        if (i % 3 == 0) {
            EXPECT_EQ(whenCell->data, nullptr);
            EXPECT_EQ(whenCell->length, 0);
        } else {
            const auto* v = static_cast<const OrvDateTime*>(whenCell->data);
            ASSERT_NE(v->date, nullptr);
            ASSERT_NE(v->time, nullptr);
            // The parts are the row's own copies.
            EXPECT_NE(v->date, &date);
            EXPECT_EQ(v->date->day, 29);
            EXPECT_EQ(v->time->second, 58);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(whenCell->data) % alignof(OrvDateTime), 0u);
        }
        EXPECT_EQ(GetResultSetCell(set, 3)->data, nullptr);
    }
    EXPECT_EQ(i, 5000);
    EXPECT_STREQ(static_cast<const char*>(tail->lastCell->data), "extra");
    FreeResultSet(set);
}

TEST(PackedRowTest, BadInputGivesNoRow) {
    ResultRowArena arena = {nullptr, 0, 0};
    ResultCellValue negative = {"x", -1, ORV_SQL_BLOB};
    EXPECT_EQ(CreatePackedResultRow(&arena, &negative, 1), nullptr);
    EXPECT_EQ(CreatePackedResultRow(nullptr, &negative, 1), nullptr);
    EXPECT_EQ(CreatePackedResultRow(&arena, nullptr, 2), nullptr);
    ResultRow* empty = CreatePackedResultRow(&arena, nullptr, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->cells, nullptr);
    FreeResultRows(empty);
}

class ResultRowsDbTest : public DbTest {};

TEST_P(ResultRowsDbTest, ManyRowsWithALongTextAndNullsComeBackWhole) {
    const DbContext& db = Db();
    ProviderConnection c;
    ASSERT_TRUE(c.Open(db));
    const std::string table = TableName("rows");
    ASSERT_TRUE(c.Update("CREATE TABLE " + table + " (id INTEGER, d " + db.SqlTypeFor(ORV_SQL_DOUBLE) + ", s " +
                         db.SqlTypeFor(ORV_SQL_TEXT) + ", dt " + db.SqlTypeFor(ORV_SQL_DATE) + ")"));
    ASSERT_TRUE(c.Update("INSERT INTO " + table + " VALUES (0, 0.5, 'first', '2024-01-31')"));
    // Doubling the rows to 4096; one text of 400,000 bytes among them.
    for (int k = 0; k < 12; ++k) {
        ASSERT_TRUE(c.Update("INSERT INTO " + table + " SELECT id + " + std::to_string(1 << k) +
                             ", d, s, dt FROM " + table));
    }
    ASSERT_TRUE(c.Update("UPDATE " + table + " SET s = NULL, dt = NULL WHERE MOD(id, 7) = 3"));
    ASSERT_TRUE(c.Update("UPDATE " + table + " SET s = " + db.longTextSql + " WHERE id = 2000"));
    ResultHolder r(c.Query("SELECT id, d, s, dt FROM " + table + " ORDER BY id"));
    ASSERT_NE(r.set, nullptr);
    ASSERT_EQ(r.set->rowCount, 4096);
    int i = 0;
    for (const ResultRow* row = r.set->rows; row != nullptr; row = row->next, ++i) {
        ASSERT_EQ(CellText(CellAt(r.set, i, 0), r.set->columns[0].type), std::to_string(i));
        const ResultCell* s = row->cells->next->next;
        const ResultCell* dt = s->next;
        if (i % 7 == 3) {
            EXPECT_EQ(s->data, nullptr);
            EXPECT_EQ(dt->data, nullptr);
            continue;
        }
        if (i == 2000) {
            ASSERT_EQ(s->length, 400000);
            EXPECT_EQ(std::string(static_cast<const char*>(s->data), 4), "abab");
            EXPECT_EQ(strlen(static_cast<const char*>(s->data)), 400000u);
        } else {
            ASSERT_EQ(CellText(s, r.set->columns[2].type), "first");
        }
        EXPECT_EQ(CellText(dt, r.set->columns[3].type).substr(0, 10), "2024-01-31");
        EXPECT_EQ(CellDouble(row->cells->next, r.set->columns[1].type), 0.5);
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_TRUE(c.Update(db.DropTableSql(table)));
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(ResultRowsDbTest);

}  // namespace
}  // namespace orv::test
