// Result sets: building, the cursor, look-ups by name, printing, and the
// conversion of cell values into a table's column types.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "datastore/column_value.h"
#include "datastore/relvar.h"
#include "datastore/table_defn.h"
#include "db/connection.h"
#include "db/result_set.h"
#include "tests/datastore/log_fixture.h"

namespace orv::test {
namespace {

void* Value(const char* text, uint8_t type, int32_t* length) {
    *length = static_cast<int32_t>(strlen(text));
    return ConvertStringToColumnValue(text, length, type);
}

/* A set of columns ID (bigint), NAME (text), SCORE (double), FLAG
 * (tinyint as a driver reports a boolean), WHEN (datetime) and two rows. */
ResultSet* SampleSet() {
    auto* columns = static_cast<ResultColumn*>(calloc(5, sizeof(ResultColumn)));
    InitResultColumn(&columns[0], "ID", ORV_SQL_BIGINT);
    InitResultColumn(&columns[1], "NAME", ORV_SQL_TEXT);
    InitResultColumn(&columns[2], "SCORE", ORV_SQL_DOUBLE);
    InitResultColumn(&columns[3], "FLAG", ORV_SQL_TINYINT);
    InitResultColumn(&columns[4], "WHEN", ORV_SQL_DATETIME);
    ResultRow* head = nullptr;
    ResultRow* tail = nullptr;
    const char* texts[2][5] = {{"9000000000", "ann", "1.5", "1", "2024-02-29 10:11:12"},
                               {"7", nullptr, "2.25", "0", nullptr}};
    for (auto& row : texts) {
        ResultRow* r = CreateResultRow();
        for (int c = 0; c < 5; ++c) {
            int32_t length = 0;
            void* v = row[c] ? Value(row[c], columns[c].type, &length) : nullptr;
            AppendResultCellOwned(r, v, length);
        }
        AppendResultRow(&head, &tail, r);
    }
    return CreateResultSet(head, columns, 5);
}

class ResultSetTest : public LogFixture {};

TEST_F(ResultSetTest, CursorAndLookUps) {
    ResultSet* set = SampleSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->rowCount, 2);
    int32_t length = 0;
    EXPECT_EQ(GetResultSetValue(set, "name", &length), nullptr);  // no current row
    ASSERT_NE(ResultSetNext(set), nullptr);
    EXPECT_STREQ(static_cast<char*>(GetResultSetValue(set, "name", &length)), "ann");
    EXPECT_EQ(length, 3);
    EXPECT_EQ(GetResultSetColumnType(set, "score"), ORV_SQL_DOUBLE);
    EXPECT_EQ(GetResultSetColumnType(set, "nothing"), 0);
    EXPECT_STREQ(GetResultSetColumnName(set, 4), "WHEN");
    EXPECT_EQ(GetResultSetColumnName(set, 5), nullptr);
    ASSERT_NE(ResultSetNext(set), nullptr);
    EXPECT_EQ(GetResultSetValue(set, "NAME", &length), nullptr);  // SQL NULL
    EXPECT_EQ(ResultSetNext(set), nullptr);
    ResultSetReset(set);
    EXPECT_NE(ResultSetNext(set), nullptr);
    FreeResultSet(set);
}

TEST_F(ResultSetTest, PrintingShowsEachValuesTextAndNULL) {
    ResultSet* set = SampleSet();
    std::string text;
    RenderResultSet(set, &text);
    EXPECT_EQ(text,
              "ID\tNAME\tSCORE\tFLAG\tWHEN\t\n"
              "9000000000\tann\t1.500000\t1\t2024-02-29 10:11:12\t\n"
              "7\tNULL\t2.250000\t0\tNULL\t\n");
    PrintResultSet(set);
    EXPECT_TRUE(Logged("[DEBUG] 9000000000\tann\t1.500000\t1\t2024-02-29 10:11:12\t\n"));
    FreeResultSet(set);
}

TEST_F(ResultSetTest, RowsTakeTheirTablesColumnTypes) {
    Vector* columns = NewVector();
    AddValue(columns, CreateColumnDefnEntry("id", ORV_SQL_INT, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
    AddValue(columns, CreateColumnDefnEntry("name", ORV_SQL_CHAR, nullptr, 0, 0, nullptr, nullptr, 20, 1, nullptr));
    AddValue(columns, CreateColumnDefnEntry("score", ORV_SQL_FLOAT, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
    AddValue(columns, CreateColumnDefnEntry("flag", ORV_SQL_BOOLEAN, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
    AddValue(columns, CreateColumnDefnEntry("when", ORV_SQL_DATETIME, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
    AddValue(columns, CreateColumnDefnEntry("absent", ORV_SQL_INT, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
    ASSERT_TRUE(AddTableDefn(CreateTableDefn("T", nullptr, columns, nullptr)));

    ResultSet* set = SampleSet();
    EXPECT_EQ(ResultSetRowToRowObject(set, "T"), nullptr);  // no current row
    ResultSetNext(set);
    // 9000000000 does not fit the int column: the row is refused, never
    // stored with a wrapped value.
    EXPECT_EQ(ResultSetRowToRowObject(set, "T"), nullptr);
    EXPECT_TRUE(Logged("[ERROR] The value 9000000000 does not fit column id\n"));

    ResultSetNext(set);
    RowObject* row = ResultSetRowToRowObject(set, "T");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->state, kRowStored);
    EXPECT_EQ(row->lengths[0], 4);  // an int column gets 4 bytes from the 8 of the cell
    int32_t id = 0;
    memcpy(&id, row->values[0], 4);
    EXPECT_EQ(id, 7);
    EXPECT_EQ(row->values[1], nullptr);
    float score = 0;
    memcpy(&score, row->values[2], 4);
    EXPECT_FLOAT_EQ(score, 2.25f);
    EXPECT_EQ(*static_cast<uint8_t*>(row->values[3]), 0);
    EXPECT_EQ(row->values[4], nullptr);
    EXPECT_EQ(row->values[5], nullptr);
    FreeRowObject(row, 6);
    FreeResultSet(set);
}

TEST(CellValues, BooleansFromTheDriversTexts) {
    for (const char* yes : {"1", "t", "TRUE", "true", "Y", "yes"}) {
        int32_t length = 0;
        void* v = ConvertCellValue(yes, static_cast<int32_t>(strlen(yes)), ORV_SQL_CHAR, ORV_SQL_BOOLEAN, &length);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*static_cast<uint8_t*>(v), 1) << yes;
        EXPECT_EQ(length, 1);
        free(v);
    }
    for (const char* no : {"0", "f", "false", "no", ""}) {
        int32_t length = 0;
        void* v = ConvertCellValue(no, static_cast<int32_t>(strlen(no)), ORV_SQL_CHAR, ORV_SQL_BOOLEAN, &length);
        EXPECT_EQ(*static_cast<uint8_t*>(v), 0) << no;
        free(v);
    }
    int32_t length = 0;
    void* d = ConvertCellValue("12.75", 5, ORV_SQL_DECIMAL, ORV_SQL_INT, &length);
    int32_t whole = 0;
    memcpy(&whole, d, 4);
    EXPECT_EQ(whole, 12);
    free(d);
}

}  // namespace
}  // namespace orv::test
