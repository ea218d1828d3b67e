// A second, independent reader of what the library writes to Firebird:
// rows that the FIREBIRD dialect's generated statements stored through the
// library's Firebird provider, read back by isql-fb (a process of its own,
// tests/db/firebird_isql.h) and compared byte for byte: texts with quotes,
// backslashes, line ends and non-ASCII characters, a text at the longest
// literal, binary blobs of every byte, and doubles and floats to the bit
// (isql-fb gives them exactly, as an integer times a power of two). The
// library's own reading of the generated statements is proven on every
// engine, Firebird among them, by SqlGenEngineTest.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "datastore/type_codes.h"
#include "tests/db/firebird_isql.h"
#include "tests/db/odbc_test_util.h"
#include "tests/db/sqlgen_test_util.h"

namespace orv::test {
namespace {

/* The database of this program, made by isql-fb, with the embedded engine
 * of this process pointed at its folder (configuration and lock files), so
 * that the library and isql-fb share the file the way two test processes
 * do. The engine reads that folder once, at its first connection: one
 * database for the whole program. Null with the reason in error when
 * isql-fb cannot make it. */
FirebirdDb* ReaderDb(std::string* error) {
    static FirebirdDb db;
    static std::string failure = [] {
        std::string why;
        if (!db.Create(&why)) return "cannot create the Firebird database: " + why;
        for (const auto& [key, value] : db.Environment()) setenv(key.c_str(), value.c_str(), 1);
        return std::string();
    }();
    *error = failure;
    return failure.empty() ? &db : nullptr;
}

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s + std::string("\0\0'\\", 4);
}

std::string Exact(double d) {
    char buf[64];
    snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

class FirebirdSecondReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        log_.Open();
        InitTableDefnList();
        InitSQLGenerators();
        gen_ = FindSQLGenerator("FIREBIRD");
        ASSERT_NE(gen_, nullptr);
        std::string error;
        db_ = ReaderDb(&error);
        ASSERT_NE(db_, nullptr) << error;
        DbContext firebird = DbContextNamed("firebird");
        firebird.dsn = db_->DatabasePath();
        ASSERT_TRUE(conn_.Open(firebird)) << log_.Tail();
    }
    void TearDown() override {
        conn_.Close();
        DeInitSQLGenerators();
        FreeAllTableDefns();
        log_.Close();
    }

    /* Runs a generated statement (which must exist) through the library. */
    bool Run(std::optional<std::string> sql) {
        EXPECT_NE(sql, std::nullopt) << log_.Tail();
        if (!sql) return false;
        bool ok = conn_.Update(*sql);
        EXPECT_TRUE(ok) << sql->substr(0, 300) << "\n" << log_.Tail();
        return ok;
    }
    bool Create(const std::string& table) { return Run(Take(gen_->generateCreateTable(table.c_str()))); }
    bool Insert(const std::string& table, RowBuilder& row) {
        return Run(Take(gen_->generateInsert(table.c_str(), row.Make())));
    }
    /* The rows of a select as isql-fb reads them. */
    std::vector<FirebirdRow> IsqlRows(const std::string& select, const std::vector<uint8_t>& types) {
        std::vector<FirebirdRow> rows;
        std::string error;
        EXPECT_TRUE(db_->Query(select, types, &rows, &error)) << select << "\n" << error;
        return rows;
    }

    SqlLog log_;
    const SQLGenerator* gen_ = nullptr;
    FirebirdDb* db_ = nullptr;
    ProviderConnection conn_;
};

TEST_F(FirebirdSecondReaderTest, TextsBytesAndValuesTheLibraryWroteReadBackByIsql) {
    const std::string t = "written";
    const TableDefn* defn = DefineTable(t,
                                        {{"Id", 5, 0, false},
                                         {"Name", 15, 200},
                                         {"Body", 22},
                                         {"Raw", 20},
                                         {"Flag", 19},
                                         {"Big", 7},
                                         {"Amount", 12},
                                         {"Stamp", 18}},
                                        {"Id"});
    ASSERT_TRUE(Create(t));
    const std::vector<std::string> texts = {
        "O'Brien", "''", "back\\slash \\n \\' end\\", "100% _like_", "semi;colon; -- not a comment /* nor this */",
        "line\r\nbreak\tand tab\r", "trailing blanks   ", "", "Grüße € 🎉 日本", "set term ^ ;",
    };
    const int64_t bigs[] = {INT64_MIN, INT64_MAX, 0, -1};
    const char* amounts[] = {"-99999999.9999", "12345678901.2345", "0.0001", "0.0000"};
    const char* times[] = {"2024-02-29 23:59:59", "0001-01-01 00:00:00", "9999-12-31 23:59:59", "1970-01-01 00:00:01"};
    std::vector<FirebirdRow> want;
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string bytes = AllBytes().substr(i) + texts[i];
        RowBuilder row(defn);
        row.Number<int32_t>(0, static_cast<int32_t>(i))
            .Text(1, texts[i])
            .Text(2, texts[i] + texts[i])
            .Bytes(3, bytes)
            .Bool(4, i % 2 == 0)
            .Number<int64_t>(5, bigs[i % 4])
            .Bytes(6, amounts[i % 4])
            .Text(7, times[i % 4]);
        ASSERT_TRUE(Insert(t, row)) << texts[i];
        want.push_back({std::to_string(i), texts[i], texts[i] + texts[i], bytes, i % 2 == 0 ? "TRUE" : "FALSE",
                        std::to_string(bigs[i % 4]), amounts[i % 4], std::string(times[i % 4]) + ".0000"});
    }
    // A text of the longest literal: 16383 characters, 21844 bytes.
    std::string longText;
    for (int i = 0; i < 16383 / 3; ++i) longText += "é'\\";
    RowBuilder tall(defn);
    tall.Number<int32_t>(0, 100).Text(2, longText);
    ASSERT_TRUE(Insert(t, tall));
    want.push_back({"100", std::nullopt, longText, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                    std::nullopt});

    const std::string select = "select Id, Name, Body, Raw, Flag, Big, Amount, Stamp from " + t + " order by Id";
    const std::vector<uint8_t> types = {ORV_SQL_INT,     ORV_SQL_CHAR,   ORV_SQL_TEXT,    ORV_SQL_BLOB,
                                        ORV_SQL_BOOLEAN, ORV_SQL_BIGINT, ORV_SQL_DECIMAL, ORV_SQL_DATETIME};
    std::vector<FirebirdRow> rows = IsqlRows(select, types);
    ASSERT_EQ(rows.size(), want.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], want[i]) << i;

    // What the library changes afterwards is what isql-fb reads next.
    RowBuilder changed(defn);
    changed.Number<int32_t>(0, 0).Text(1, "changed ' \\ é").Null(2).Bytes(3, std::string("\0", 1));
    ASSERT_TRUE(Run(Take(gen_->generateUpdate(t.c_str(), changed.Make()))));
    RowBuilder gone(defn);
    gone.Number<int32_t>(0, 1);
    ASSERT_TRUE(Run(Take(gen_->generateDelete(t.c_str(), gone.Make()))));
    rows = IsqlRows("select Id, Name, Body, Raw from " + t + " where Id < 2",
                    {ORV_SQL_INT, ORV_SQL_CHAR, ORV_SQL_TEXT, ORV_SQL_BLOB});
    EXPECT_EQ(rows, (std::vector<FirebirdRow>{{"0", "changed ' \\ é", std::nullopt, std::string("\0", 1)}}));
}

TEST_F(FirebirdSecondReaderTest, DoublesAndFloatsTheLibraryWroteReadBackExactlyByIsql) {
    const std::string t = "numbers";
    const TableDefn* defn = DefineTable(t, {{"Id", 5, 0, false}, {"D", 10}, {"F", 9}}, {"Id"});
    ASSERT_TRUE(Create(t));
    // Among them the ones the engine misreads as decimal literals (the
    // largest float, digits below 1e-307, subnormals).
    const double doubles[] = {0.1,
                              1.0 / 3.0,
                              static_cast<double>(FLT_MAX),
                              2.2250738585072014e-300,
                              2.2250738585072014e-308,
                              4.9406564584124654e-324,
                              1.7976931348623157e308,
                              -1.2345678901234567e300,
                              9007199254740993.0 * 3,
                              123456789.125};
    const float floats[] = {0.1f, FLT_MAX, FLT_MIN, -3.14159274f, 1e-7f, 16777217.0f, 1e-45f, -FLT_MAX, 1.5f, 0.0f};
    static_assert(std::size(doubles) == std::size(floats));
    std::vector<FirebirdRow> want;
    for (size_t i = 0; i < std::size(doubles); ++i) {
        RowBuilder row(defn);
        row.Number<int32_t>(0, static_cast<int32_t>(i)).Number<double>(1, doubles[i]).Number<float>(2, floats[i]);
        ASSERT_TRUE(Insert(t, row)) << i;
        want.push_back({std::to_string(i), Exact(doubles[i]), Exact(static_cast<double>(floats[i]))});
    }
    std::vector<FirebirdRow> rows =
        IsqlRows("select Id, D, F from " + t + " order by Id", {ORV_SQL_INT, ORV_SQL_DOUBLE, ORV_SQL_DOUBLE});
    ASSERT_EQ(rows.size(), want.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], want[i]) << i;
}

}  // namespace
}  // namespace orv::test
