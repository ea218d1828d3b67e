/*
 * A fixture with a small table defined in memory and rows built from
 * texts: People(ID int, NAME char 20, AGE int, SCORE double, SERIAL bigint
 * with generator "PeopleSerial", CITY char 20 with default "Oslo"), primary
 * key ID.
 */
#ifndef ORV_TESTS_DATASTORE_RELVAR_FIXTURE_H
#define ORV_TESTS_DATASTORE_RELVAR_FIXTURE_H

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datastore/column_value.h"
#include "datastore/notification.h"
#include "datastore/relvar.h"
#include "datastore/seqgen.h"
#include "tests/datastore/log_fixture.h"

namespace orv::test {

class RelvarFixture : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        InitTableDataList();
        InitNotification();
        ASSERT_TRUE(InitSeqGenState());
        Vector* columns = NewVector();
        auto add = [&](const char* name, uint8_t type, const char* def, const char* generator, int32_t size) {
            AddValue(columns, CreateColumnDefnEntry(name, type, def, def ? static_cast<int32_t>(strlen(def)) : 0, 0,
                                                    generator, nullptr, size, 1, nullptr));
        };
        add("ID", ORV_SQL_INT, nullptr, nullptr, 0);
        add("NAME", ORV_SQL_CHAR, nullptr, nullptr, 20);
        add("AGE", ORV_SQL_INT, nullptr, nullptr, 0);
        add("SCORE", ORV_SQL_DOUBLE, nullptr, nullptr, 0);
        add("SERIAL", ORV_SQL_BIGINT, nullptr, "PeopleSerial", 0);
        add("CITY", ORV_SQL_CHAR, "Oslo", nullptr, 20);
        ConstraintDefn* constraints = CreateConstraintDefn();
        constraints->primaryKeyColumns = static_cast<char**>(calloc(1, sizeof(char*)));
        constraints->primaryKeyColumns[0] = strdup("ID");
        constraints->primaryKeyCount = 1;
        ASSERT_TRUE(AddTableDefn(CreateTableDefn("People", "test table", columns, constraints)));
        ASSERT_TRUE(CreateTable("People"));
    }
    void TearDown() override {
        DeInitNotification();
        FreeAllTableData();
        FreeSeqGenState();
        LogFixture::TearDown();
    }
    /* A new row of People from texts; "" leaves a value missing. */
    RowObject* Row(const std::vector<std::string>& texts) {
        static const uint8_t types[] = {ORV_SQL_INT,    ORV_SQL_CHAR,   ORV_SQL_INT,
                                        ORV_SQL_DOUBLE, ORV_SQL_BIGINT, ORV_SQL_CHAR};
        auto** values = static_cast<void**>(calloc(6, sizeof(void*)));
        auto* lengths = static_cast<int32_t*>(calloc(6, sizeof(int32_t)));
        for (size_t i = 0; i < texts.size() && i < 6; ++i) {
            if (texts[i].empty()) continue;
            lengths[i] = static_cast<int32_t>(texts[i].size());
            values[i] = ConvertStringToColumnValue(texts[i].c_str(), &lengths[i], types[i]);
        }
        return CreateNewRowObject(values, lengths);
    }
    /* Adds a row and returns it. */
    RowObject* Add(const std::vector<std::string>& texts) {
        RowObject* row = Row(texts);
        EXPECT_TRUE(AddNewRow("People", row));
        return row;
    }
    /* The printed values of one column over a result's rows. */
    std::vector<std::string> Column(ResultData* result, const char* column) {
        std::vector<std::string> out;
        uint8_t type = GetColumnTypeByName(column, result);
        ResetResultDataCursor(result);
        while (GotoNextRowObject(result) != nullptr) {
            int32_t length = 0;
            out.push_back(FormatPrintedValue(GetColumnValueByName(column, &length, result), type));
        }
        ResetResultDataCursor(result);
        return out;
    }
    /* The NAMEs the criteria select. */
    std::vector<std::string> Names(const char* criteria) {
        ResultData* result = SelectRows("People", criteria);
        if (result == nullptr) return {"(none)"};
        std::vector<std::string> names = Column(result, "NAME");
        FreeResultData(result);
        return names;
    }
};

}  // namespace orv::test

#endif
