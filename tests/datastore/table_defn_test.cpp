// Table definitions: type names, the char/text rule, defaults, look-ups by
// name and their messages, and printing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "datastore/column_value.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"
#include "tests/datastore/log_fixture.h"

namespace orv::test {
namespace {

TEST(TypeNames, AcceptedNamesAndTheirCodes) {
    EXPECT_EQ(GetDataTypeCode("INTEGER"), ORV_SQL_INT);
    EXPECT_EQ(GetDataTypeCode("integer"), ORV_SQL_INT);
    EXPECT_EQ(GetDataTypeCode("Integer"), ORV_SQL_INT);
    EXPECT_EQ(GetDataTypeCode("LONG"), ORV_SQL_INT);
    EXPECT_EQ(GetDataTypeCode("BIGINT"), ORV_SQL_BIGINT);
    EXPECT_EQ(ORV_SQL_BIGINT, 7);
    // The constant names of codes 7, 15 and 19 are not data dictionary names.
    EXPECT_EQ(GetDataTypeCode("ORV_SQL_BIGINT"), 0);
    EXPECT_EQ(GetDataTypeCode("ORV_SQL_NCHAR"), 0);
    EXPECT_EQ(GetDataTypeCode("ORV_SQL_BOOLEAN"), 0);
    EXPECT_EQ(GetDataTypeCode("BOOLEAN"), ORV_SQL_BOOLEAN);
    EXPECT_EQ(GetDataTypeCode("CHAR"), ORV_SQL_NCHAR);
    EXPECT_EQ(GetDataTypeCode("orv_sql_char"), ORV_SQL_CHAR);
    EXPECT_EQ(GetDataTypeCode("TIMESTAMP"), ORV_SQL_DATETIME);
    EXPECT_EQ(GetDataTypeCode("ORV_SQL_UNSIGNED_LONG_INT"), ORV_SQL_UNSIGNED_LONG_INT);
    EXPECT_EQ(GetDataTypeCode("clob"), ORV_SQL_CLOB);
    EXPECT_EQ(GetDataTypeCode("INTEGR"), 0);
    EXPECT_EQ(GetDataTypeCode(""), 0);
}

class TableDefnTest : public LogFixture {
protected:
    /* A table T(ID int, Name char 30 with default, Flag boolean) with
     * primary key ID and a foreign key ID -> Other.OID. */
    void AddSampleTable(const char* name = "MyTable") {
        Vector* columns = NewVector();
        AddValue(columns, CreateColumnDefnEntry("ID", ORV_SQL_INT, nullptr, 0, 1, nullptr, "key", 0, 0, nullptr));
        AddValue(columns, CreateColumnDefnEntry("Name", ORV_SQL_CHAR, "anon", 4, 0, nullptr, nullptr, 30, 1, nullptr));
        AddValue(columns, CreateColumnDefnEntry("Flag", ORV_SQL_BOOLEAN, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
        ConstraintDefn* constraints = CreateConstraintDefn();
        constraints->primaryKeyColumns = static_cast<char**>(calloc(1, sizeof(char*)));
        constraints->primaryKeyColumns[0] = strdup("ID");
        constraints->primaryKeyCount = 1;
        AddForeignKeyEntry(constraints, CreateForeignKeyEntry("ID", "OID", "Other", 1, 0, 0));
        TableDefn* defn = CreateTableDefn(name, "sample", columns, constraints);
        ASSERT_NE(defn, nullptr);
        ASSERT_TRUE(AddTableDefn(defn));
    }
};

TEST_F(TableDefnTest, CharColumnsOver255BecomeText) {
    struct {
        uint8_t type;
        int32_t maxSize;
        uint8_t stored;
    } cases[] = {{ORV_SQL_CHAR, 255, ORV_SQL_CHAR},
                 {ORV_SQL_CHAR, 256, ORV_SQL_TEXT},
                 {ORV_SQL_NCHAR, 300, ORV_SQL_TEXT},
                 {ORV_SQL_NCHAR, 255, ORV_SQL_NCHAR},
                 {ORV_SQL_TEXT, 10, ORV_SQL_TEXT},
                 {ORV_SQL_INT, 1000, ORV_SQL_INT}};
    for (const auto& c : cases) {
        ColumnDefnEntry* column = CreateColumnDefnEntry("c", c.type, nullptr, 0, 0, nullptr, nullptr, c.maxSize, 1, nullptr);
        ASSERT_NE(column, nullptr);
        EXPECT_EQ(column->type, c.stored) << int(c.type) << " size " << c.maxSize;
        EXPECT_EQ(column->maxSize, c.maxSize);
        FreeColumnDefnEntry(column);
    }
    EXPECT_EQ(CreateColumnDefnEntry(nullptr, ORV_SQL_INT, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr), nullptr);
}

TEST_F(TableDefnTest, DefaultsAreStoredInTheirTypesForm) {
    ColumnDefnEntry* smallint =
        CreateColumnDefnEntry("s", ORV_SQL_SMALLINT, "-7", 2, 0, nullptr, nullptr, 0, 1, nullptr);
    ASSERT_NE(smallint->defaultValue, nullptr);
    EXPECT_EQ(smallint->defaultLength, 2);
    int16_t v = 0;
    memcpy(&v, smallint->defaultValue, 2);
    EXPECT_EQ(v, -7);
    FreeColumnDefnEntry(smallint);

    ColumnDefnEntry* flag = CreateColumnDefnEntry("b", ORV_SQL_BOOLEAN, "yes", 3, 0, nullptr, nullptr, 0, 1, nullptr);
    EXPECT_EQ(flag->defaultValue, nullptr);
    EXPECT_EQ(flag->defaultLength, 0);
    FreeColumnDefnEntry(flag);

    ColumnDefnEntry* when =
        CreateColumnDefnEntry("d", ORV_SQL_DATETIME, "2024-01-02 03:04:05", 19, 0, nullptr, nullptr, 0, 1, nullptr);
    EXPECT_EQ(when->defaultLength, 11);
    char* text = ConvertColumnValueToString(when->defaultValue, ORV_SQL_DATETIME);
    EXPECT_STREQ(text, "2024-01-02 03:04:05");
    free(text);
    FreeColumnDefnEntry(when);
}

TEST_F(TableDefnTest, TableNamesIgnoreCaseColumnNamesDoNot) {
    AddSampleTable();
    ASSERT_NE(GetTableDefn("MYTABLE"), nullptr);
    EXPECT_STREQ(GetTableDefn("mytable")->name, "MyTable");
    EXPECT_NE(GetColumnDefnEntry("MYTABLE", "ID"), nullptr);
    EXPECT_EQ(GetColumnDefnEntry("MYTABLE", "id"), nullptr);
    EXPECT_EQ(GetColumnType("mytable", "Flag"), ORV_SQL_BOOLEAN);
    EXPECT_EQ(GetColumnType("mytable", "nothing"), 0);
    EXPECT_EQ(GetColumnType(nullptr, "Flag"), 0);
    EXPECT_NE(GetForeignKeyEntry(GetTableDefn("MyTable"), "id"), nullptr);
    EXPECT_EQ(GetForeignKeyEntry(GetTableDefn("MyTable"), "Name"), nullptr);
}

TEST_F(TableDefnTest, TheFirstOfTwoDefinitionsWithOneNameIsFound) {
    AddSampleTable("Twice");
    AddSampleTable("TWICE");
    EXPECT_STREQ(GetTableDefn("twice")->name, "Twice");
    RemoveTableDefn("twice");
    EXPECT_STREQ(GetTableDefn("twice")->name, "TWICE");
    RemoveTableDefn("twice");
    EXPECT_EQ(GetTableDefn("twice"), nullptr);
    RemoveTableDefn("twice");  // nothing left: does nothing
}

TEST_F(TableDefnTest, LookUpMessages) {
    EXPECT_EQ(GetTableDefn("x"), nullptr);
    EXPECT_FALSE(Logged("Table Name is NULL."));  // an empty list answers silently
    AddSampleTable();
    EXPECT_EQ(GetTableDefn(nullptr), nullptr);
    EXPECT_TRUE(Logged("[ERROR] Table Name is NULL.\n"));
    EXPECT_EQ(GetColumnDefnEntry("Unknown", "ID"), nullptr);
    EXPECT_TRUE(Logged("[TRACE] @@@@ Inside GetColumnDefnEntry @@@@\n"));
    EXPECT_TRUE(Logged("[ERROR] No definition found for table Unknown\n"));
    EXPECT_EQ(GetDefaultValue(nullptr, "ID", nullptr), nullptr);
    EXPECT_TRUE(Logged("[ERROR] Cannot fetch default value;\n"));

    TableDefn bare{};
    EXPECT_EQ(GetForeignKeyEntry(&bare, "ID"), nullptr);
    EXPECT_TRUE(Logged("[ERROR] No constraint Definition \n"));
    ConstraintDefn empty{};
    bare.constraints = &empty;
    EXPECT_EQ(GetForeignKeyEntry(&bare, "ID"), nullptr);
    EXPECT_TRUE(Logged("[ERROR] No Foreignkey Entries in Definition \n"));
}

TEST_F(TableDefnTest, DefaultValueFoundFlag) {
    AddSampleTable();
    uint8_t found = 0;
    EXPECT_EQ(GetDefaultValue("MyTable", "ID", &found), nullptr);
    EXPECT_EQ(found, 1);  // the column exists, without a default
    found = 0;
    EXPECT_STREQ(static_cast<const char*>(GetDefaultValue("MyTable", "Name", &found)), "anon");
    EXPECT_EQ(found, 1);
    found = 7;
    EXPECT_EQ(GetDefaultValue("MyTable", "Missing", &found), nullptr);
    EXPECT_EQ(found, 7);  // untouched
}

TEST_F(TableDefnTest, PrintWritesTheLayoutAtDebug) {
    Vector* columns = NewVector();
    AddValue(columns, CreateColumnDefnEntry("a", ORV_SQL_INT, nullptr, 0, 1, nullptr, "first", 0, 0, nullptr));
    ConstraintDefn* constraints = CreateConstraintDefn();
    constraints->primaryKeyColumns = static_cast<char**>(calloc(3, sizeof(char*)));
    for (const char* name : {"a", "b", "c"}) {
        constraints->primaryKeyColumns[constraints->primaryKeyCount++] = strdup(name);
    }
    AddForeignKeyEntry(constraints, CreateForeignKeyEntry("a", "ra", "Ref", 0, 0, 0));
    ASSERT_TRUE(AddTableDefn(CreateTableDefn("P", "printed", columns, constraints)));
    PrintAllTableDefns();
    std::string log = Log();
    EXPECT_NE(log.find("[DEBUG] Table Name : P\n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] Description: printed\n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] Column Type : 5\n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] Unique Flag : TRUE\n"), std::string::npos);
    EXPECT_EQ(CountLogged("[DEBUG] Primary key : "), 3);
    EXPECT_NE(log.find("[DEBUG] Primary key : c\n\n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] Foreign key Constraints\n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] Ref Column  : ra\n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] Tablename : Ref\n"), std::string::npos);

    // A definition without columns prints nothing.
    TableDefn* bare = CreateTableDefn("Bare", nullptr, NewVector(), nullptr);
    PrintTableDefn(bare);
    EXPECT_FALSE(Logged("Table Name : Bare"));
    FreeTableDefn(bare);
}

TEST_F(TableDefnTest, AllowedValuesListAndRange) {
    const char* list[] = {"a", "b", "c"};
    AllowedValues* values = CreateAllowedValues(list, 3, 0);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->isRange, 0);
    EXPECT_STREQ(values->values[2], "c");
    EXPECT_EQ(values->values[3], nullptr);
    FreeAllowedValues(values);
    const char* range[] = {"1", "9"};
    values = CreateAllowedValues(range, 2, 1);
    EXPECT_EQ(values->isRange, 1);
    EXPECT_STREQ(values->values[1], "9");
    FreeAllowedValues(values);
    EXPECT_EQ(CreateAllowedValues(list, 3, 1), nullptr);
}

}  // namespace
}  // namespace orv::test
