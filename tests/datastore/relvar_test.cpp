// The in-memory table store: adding rows with generated and default
// values, selecting by criteria, updating, deleting, row index, sorting,
// printing and rendering.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "datastore/relvar.h"
#include "tests/datastore/relvar_fixture.h"

namespace orv::test {
namespace {

using Texts = std::vector<std::string>;

class RelvarTest : public RelvarFixture {
protected:
    void AddFour() {
        Add({"1", "ann", "34", "1.5", "11", "Bergen"});
        Add({"2", "bob", "17", "2.5", "12", "Oslo"});
        Add({"3", "cid", "51", "3.5", "13", "Oslo"});
        Add({"4", "Ann", "8", "4.5", "14", "Tromso"});
    }
};

TEST_F(RelvarTest, CreateTableNeedsADefinitionAndANewName) {
    EXPECT_FALSE(CreateTable("People"));
    EXPECT_FALSE(CreateTable("people"));
    EXPECT_FALSE(CreateTable("Nothing"));
    TableData* relvar = GetTableDataByName("PEOPLE");
    ASSERT_NE(relvar, nullptr);
    EXPECT_EQ(relvar->kind, kRelvarTable);
    EXPECT_EQ(relvar->columnCount, 6);
}

TEST_F(RelvarTest, AddNewRowFillsGeneratorAndDefault) {
    ASSERT_TRUE(SetSeqGenBatch("PeopleSerial", 301, 600));
    RowObject* row = Add({"1", "ann", "34", "1.5", "", ""});
    EXPECT_EQ(row->state, kRowNew);
    ASSERT_NE(row->values[4], nullptr);
    EXPECT_EQ(row->lengths[4], 8);  // the bigint column's own width
    int64_t serial = 0;
    memcpy(&serial, row->values[4], 8);
    EXPECT_EQ(serial, 301);
    EXPECT_STREQ(static_cast<char*>(row->values[5]), "Oslo");
    RowObject* second = Add({"2", "bob", "", "", "", "Bergen"});
    memcpy(&serial, second->values[4], 8);
    EXPECT_EQ(serial, 302);
    EXPECT_STREQ(static_cast<char*>(second->values[5]), "Bergen");
    EXPECT_EQ(second->values[2], nullptr);  // no generator, no default: missing
    EXPECT_EQ(GetTableDataByName("People")->rowCount, 2);
    EXPECT_EQ(GetTableDataByName("People")->lastRow, second);

    // An unprimed sequence gives -1, stored as the value.
    FreeSeqGenState();
    ASSERT_TRUE(InitSeqGenState());
    RowObject* third = Add({"3", "cid", "", "", "", ""});
    memcpy(&serial, third->values[4], 8);
    EXPECT_EQ(serial, -1);
    EXPECT_TRUE(Logged("Cannot generate ID for key PeopleSerial."));

    RowObject* orphan = Row({"9"});
    EXPECT_FALSE(AddNewRow("Nothing", orphan));
    FreeRowObject(orphan, 6);
}

TEST_F(RelvarTest, SelectRowsByCriteria) {
    AddFour();
    EXPECT_EQ(Names(nullptr), (Texts{"ann", "bob", "cid", "Ann"}));
    EXPECT_EQ(Names("NAME = 'ann'"), (Texts{"ann"}));
    EXPECT_EQ(Names("name = 'ann' or AGE < 10"), (Texts{"ann", "Ann"}));
    EXPECT_EQ(Names("20 < AGE and CITY != 'Tromso'"), (Texts{"ann", "cid"}));
    EXPECT_EQ(Names("SCORE > 1"), Texts{});  // doubles compare false
    EXPECT_EQ(Names("NOSUCH = 3"), Texts{});
    EXPECT_EQ(Names("NAME = 'ann' AND AGE = 1"), (Texts{"(none)"}));
    EXPECT_EQ(Names(""), (Texts{"(none)"}));
    EXPECT_EQ(SelectRows("Nothing", nullptr), nullptr);
}

TEST_F(RelvarTest, UpdateRefusesThePrimaryKey) {
    AddFour();
    ResultData* result = SelectRows("People", "NAME = 'bob'");
    RowObject* bob = GotoNextRowObject(result);
    ASSERT_NE(bob, nullptr);
    int32_t id = 99;
    EXPECT_FALSE(UpdateRowObject("People", bob, "id", &id, 4));
    EXPECT_TRUE(Logged("[ERROR] @@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n"));
    int32_t before = 0;
    memcpy(&before, bob->values[0], 4);
    EXPECT_EQ(before, 2);
    EXPECT_EQ(bob->state, kRowNew);

    int32_t age = 18;
    EXPECT_TRUE(UpdateRowObject("People", bob, "age", &age, 4));
    EXPECT_EQ(bob->state, kRowNew | kRowModified);
    EXPECT_EQ(Names("AGE = 18"), (Texts{"bob"}));
    EXPECT_FALSE(UpdateRowObject("People", bob, "NOSUCH", &age, 4));
    EXPECT_FALSE(UpdateRowObject("People", nullptr, "AGE", &age, 4));
    EXPECT_TRUE(Logged("[ERROR] \t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n"));
    FreeResultData(result);
}

TEST_F(RelvarTest, DeletedStoredRowsStayListedAndAreNotPrinted) {
    AddFour();
    ResultData* all = SelectRows("People", nullptr);
    RowObject* ann = GotoNextRowObject(all);
    RowObject* bob = GotoNextRowObject(all);
    FreeResultData(all);
    ann->state = kRowStored;  // as if loaded from the database
    EXPECT_TRUE(DeleteRowObject("People", ann));
    EXPECT_EQ(ann->state, kRowStored | kRowDeleted);
    EXPECT_TRUE(DeleteRowObject("People", bob));  // a new row goes at once
    EXPECT_EQ(Names(nullptr), (Texts{"ann", "cid", "Ann"}));
    EXPECT_EQ(GetTableDataByName("People")->rowCount, 4);  // rows ever added

    char* text = ToStringTableData("People");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text).find("ann\t"), std::string::npos);
    EXPECT_NE(std::string(text).find("cid\t"), std::string::npos);
    free(text);

    EXPECT_TRUE(DeleteRowObjectByCriteria("People", "AGE > 1"));
    EXPECT_EQ(Names(nullptr), (Texts{"ann"}));  // only the stored row stays, marked
    EXPECT_FALSE(DeleteRowObjectByCriteria("People", "AGE >"));
    EXPECT_TRUE(DeleteAllTableRowObjects("People"));
    EXPECT_FALSE(DeleteAllTableRowObjects(nullptr));
    EXPECT_TRUE(Logged("[ERROR] \t tableName NULL \n"));
    EXPECT_FALSE(DeleteAllTableRowObjects("Nothing"));
    EXPECT_TRUE(Logged("[ERROR] \t GetTableDataByName returned NULL \n"));
    EXPECT_EQ(GetTableDataByName("People")->lastRow, GetTableDataByName("People")->firstRow);
}

TEST_F(RelvarTest, SelectRowByRowIdxBounds) {
    ResultData* empty = SelectRowByRowIdx("People", 1);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->rowCount, 0);
    FreeResultData(empty);
    AddFour();
    for (int32_t index : {0, 1}) {
        ResultData* r = SelectRowByRowIdx("People", index);
        EXPECT_EQ(Column(r, "NAME"), (Texts{"ann"}));
        FreeResultData(r);
    }
    ResultData* last = SelectRowByRowIdx("People", 4);
    EXPECT_EQ(Column(last, "NAME"), (Texts{"Ann"}));
    FreeResultData(last);
    EXPECT_EQ(SelectRowByRowIdx("People", 5), nullptr);
    EXPECT_EQ(SelectRowByRowIdx("People", -1), nullptr);
}

TEST_F(RelvarTest, SortKeepsEqualKeysInOrder) {
    Add({"1", "a", "30"});
    Add({"2", "b", "10"});
    Add({"3", "c", "30"});
    Add({"4", "d", ""});
    Add({"5", "e", "10"});
    ResultData* result = SelectRows("People", nullptr);
    ASSERT_TRUE(SortResultSet(result, "AGE", 1));
    EXPECT_EQ(Column(result, "NAME"), (Texts{"d", "b", "e", "a", "c"}));
    ASSERT_TRUE(SortResultSet(result, "age", 0));
    EXPECT_EQ(Column(result, "NAME"), (Texts{"a", "c", "b", "e", "d"}));
    EXPECT_FALSE(SortResultSet(result, "NOSUCH", 1));
    EXPECT_FALSE(SortResultSet(nullptr, "AGE", 1));
    FreeResultData(result);

    ResultData* one = SelectRows("People", "ID = 3");
    EXPECT_TRUE(SortResultSet(one, "AGE", 1));
    EXPECT_TRUE(Logged("[DEBUG] Number of Rows is 1 for the Relvar to be Sorted \n"));
    FreeResultData(one);
}

TEST_F(RelvarTest, ColumnAccessThroughAResult) {
    AddFour();
    int32_t length = 0;
    void* value = GetColumnValue("People", "CITY", "NAME = 'cid'", &length);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(static_cast<char*>(value), "Oslo");
    EXPECT_EQ(length, 4);
    EXPECT_EQ(GetColumnValue("People", "CITY", "NAME = 'zed'", &length), nullptr);
    EXPECT_TRUE(Logged("[TRACE] No such row available in the People for NAME = 'zed'"));
    EXPECT_EQ(GetColumnValue("People", "CITY", "NAME =", &length), nullptr);
    EXPECT_TRUE(Logged("[ERROR] Error in executing SelectRows(People,NAME =)\n"));

    ResultData* result = SelectRows("People", nullptr);
    EXPECT_EQ(GetColumnValueByName("NAME", &length, result), nullptr);  // cursor unset
    EXPECT_EQ(GetColumnTypeByName("score", result), ORV_SQL_DOUBLE);
    EXPECT_EQ(GetColumnTypeByName("nosuch", result), 0);
    EXPECT_STREQ(GetColumnNameByIndex(5, result), "CITY");
    EXPECT_EQ(GetColumnNameByIndex(6, result), nullptr);
    EXPECT_STREQ(GetTableNameFromResultData(result), "People");
    FreeResultData(result);
}

TEST_F(RelvarTest, RenderingGrowsAndPrintsMissingValuesAsNULL) {
    Add({"1", "first", "", "0.25", "7", ""});
    for (int i = 2; i <= 200; ++i) Add({std::to_string(i), "row" + std::to_string(i), "1", "1", "1", "x"});
    char* text = ToStringTableData("People");
    ASSERT_NE(text, nullptr);
    std::string s = text;
    free(text);
    EXPECT_EQ(s.rfind("ID\tNAME\tAGE\tSCORE\tSERIAL\tCITY\t\n", 0), 0u);
    EXPECT_NE(s.find("1\tfirst\tNULL\t0.250000\t7\tOslo\t\n"), std::string::npos);
    EXPECT_NE(s.find("200\trow200\t"), std::string::npos);  // far past 1024 bytes
    EXPECT_GT(s.size(), 5000u);
    EXPECT_TRUE(Logged("[TRACE] String Value of Relvar Data\n ID\tNAME"));

    PrintTableData("People");
    EXPECT_TRUE(Logged("[DEBUG] ID\tNAME\tAGE\tSCORE\tSERIAL\tCITY\t\n"));
    EXPECT_TRUE(Logged("[DEBUG] 1\tfirst\tNULL\t0.250000\t7\tOslo\t\n"));
    EXPECT_EQ(ToStringTableData("Nothing"), nullptr);
}

TEST(PrintedValues, FormsByType) {
    auto printed = [](const char* text, uint8_t type) {
        int32_t length = 0;
        void* value = ConvertStringToColumnValue(text, &length, type);
        std::string out = FormatPrintedValue(value, type);
        free(value);
        return out;
    };
    EXPECT_EQ(printed("-1", ORV_SQL_TINYINT), "-1");
    EXPECT_EQ(printed("255", ORV_SQL_UNSIGNED_TINYINT), "255");
    EXPECT_EQ(printed("65535", ORV_SQL_UNSIGNED_SMALLINT), "65535");
    EXPECT_EQ(printed("4294967295", ORV_SQL_UNSIGNED_INT), "4294967295");
    EXPECT_EQ(printed("-9000000000", ORV_SQL_BIGINT), "-9000000000");
    EXPECT_EQ(printed("18446744073709551615", ORV_SQL_UNSIGNED_LONG_INT), "18446744073709551615");
    EXPECT_EQ(printed("1.5", ORV_SQL_REAL), "1.500000");
    EXPECT_EQ(printed("true", ORV_SQL_BOOLEAN), "1");
    EXPECT_EQ(printed("2024-02-29 10:11:12", ORV_SQL_DATE), "2024-02-29");
    EXPECT_EQ(printed("2024-02-29 10:11:12", ORV_SQL_TIME), "10:11:12");
    EXPECT_EQ(printed("2024-02-29 10:11:12", ORV_SQL_DATETIME), "2024-02-29 10:11:12");
    EXPECT_EQ(printed("abc", ORV_SQL_TEXT), "abc");
    EXPECT_EQ(FormatPrintedValue(nullptr, ORV_SQL_INT), "NULL");
}

TEST_F(RelvarTest, CustomViewsCarryTheirColumnsTypes) {
    TableDefn* people = GetTableDefn("People");
    Vector* columns = NewVector();
    auto* name = static_cast<ColumnDefnEntry*>(ElementAt(people->columns, 1)->element);
    auto* age = static_cast<ColumnDefnEntry*>(ElementAt(people->columns, 2)->element);
    AddValue(columns, CreateViewColumnDefn(name->name, 0, 0, name));
    AddValue(columns, CreateViewColumnDefn(age->name, 0, 0, age));
    char** tables = static_cast<char**>(calloc(1, sizeof(char*)));
    tables[0] = strdup("People");
    CustomViewDefn* defn = CreateCustomViewDefn(1, tables, columns);
    ASSERT_TRUE(CreateCustomViewData("Young", defn));
    EXPECT_FALSE(CreateCustomViewData("young", defn));
    EXPECT_STREQ(GetTableNameOfView("Young"), "People");
    EXPECT_STREQ(GetTableNameOfView("Other"), "Other");

    auto** values = static_cast<void**>(calloc(2, sizeof(void*)));
    auto* lengths = static_cast<int32_t*>(calloc(2, sizeof(int32_t)));
    values[0] = ConvertStringToColumnValue("zoe", &lengths[0], ORV_SQL_CHAR);
    values[1] = ConvertStringToColumnValue("9", &lengths[1], ORV_SQL_INT);
    ASSERT_TRUE(AddNewRow("Young", CreateNewRowObject(values, lengths)));
    EXPECT_EQ(SelectRows("Young", "AGE = 9"), nullptr);  // views are not selected by criteria
    ResultData* result = SelectRows("Young", nullptr);
    EXPECT_EQ(GetColumnTypeByName("AGE", result), ORV_SQL_INT);
    EXPECT_STREQ(GetTableNameFromResultData(result), "People");
    FreeResultData(result);
    char* text = ToStringCustomViewData("Young");
    EXPECT_STREQ(text, "NAME\tAGE\t\nzoe\t9\t\n");
    free(text);
}

}  // namespace
}  // namespace orv::test
