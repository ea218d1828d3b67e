// The generated statements of each dialect on its real engine (SQLite,
// PostgreSQL through PGSQL, MariaDB through MYSQL, all three through the
// library's ODBC provider; Firebird through FIREBIRD and the library's
// Firebird provider): tables created from generated statements, rows
// inserted, updated, deleted and selected by generated statements and read
// back through the dialect's row conversion. Every type code round-trips;
// doubles come back to the bit; texts with quotes, backslashes, percent
// signs, semicolons, comment markers and non-ASCII characters survive
// unchanged, up to the longest literal the engine takes; statements
// without a key and rows without their parent are rejected.
#include <gtest/gtest.h>

#include <cfloat>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "datastore/datadict.h"
#include "datastore/velkra_root.h"
#include "db/connection.h"
#include "tests/db/db_context.h"
#include "tests/db/odbc_test_util.h"
#include "tests/db/sqlgen_test_util.h"

namespace orv::test {
namespace {

/* Long texts shown by their length, a hash and their ends, so that a
 * failure message stays readable. */
std::string Shown(std::string s) {
    if (s.size() <= 120) return s;
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : s) hash = (hash ^ c) * 1099511628211ull;
    char buf[64];
    snprintf(buf, sizeof buf, "<%zu bytes, hash %016" PRIx64 "> ", s.size(), hash);
    return buf + s.substr(0, 40) + "..." + s.substr(s.size() - 40);
}

/* A value's text for comparing: integers in decimal, floats by their bits,
 * decimals without trailing zeros, texts as they are, bytes in hex, dates
 * in their text form, booleans 1 or 0; "NULL" for none. */
std::string ValueText(uint8_t type, const void* v, int32_t length) {
    if (v == nullptr) return "NULL";
    char buf[64];
    switch (type) {
        case 1: return std::to_string(*static_cast<const int8_t*>(v));
        case 2: return std::to_string(*static_cast<const uint8_t*>(v));
        case 3: { int16_t x; memcpy(&x, v, 2); return std::to_string(x); }
        case 4: { uint16_t x; memcpy(&x, v, 2); return std::to_string(x); }
        case 5: { int32_t x; memcpy(&x, v, 4); return std::to_string(x); }
        case 6: { uint32_t x; memcpy(&x, v, 4); return std::to_string(x); }
        case 7: { int64_t x; memcpy(&x, v, 8); return std::to_string(x); }
        case 8: { uint64_t x; memcpy(&x, v, 8); return std::to_string(x); }
        case 9:
        case 11: { float x; memcpy(&x, v, 4); snprintf(buf, sizeof buf, "%a (%.9g)", x, x); return buf; }
        case 10: { double x; memcpy(&x, v, 8); snprintf(buf, sizeof buf, "%a (%.17g)", x, x); return buf; }
        case 12:
        case 13: {
            std::string s(static_cast<const char*>(v), static_cast<size_t>(length));
            if (!s.empty() && s[0] == '+') s.erase(0, 1);
            if (s.find('.') != std::string::npos) {
                while (!s.empty() && s.back() == '0') s.pop_back();
                if (!s.empty() && s.back() == '.') s.pop_back();
            }
            if (s == "-0") s = "0";
            return s;
        }
        case 16:
        case 17:
        case 18: {
            // The part the type has (a value made from a text may carry both).
            const auto* dt = static_cast<const OrvDateTime*>(v);
            char* t = type == 16 ? OrvDateToString(dt->date)
                      : type == 17 ? OrvTimeToString(dt->time)
                                   : OrvDateTimeToString(dt);
            std::string s = t ? t : "<no date>";
            free(t);
            return s;
        }
        case 19: return *static_cast<const uint8_t*>(v) ? "1" : "0";
        case 0:
        case 20: {
            std::string s = "x";
            for (int32_t i = 0; i < length; ++i) {
                snprintf(buf, sizeof buf, "%02x", static_cast<const unsigned char*>(v)[i]);
                s += buf;
            }
            return Shown(s);
        }
        case 21: return Shown(std::string(static_cast<const char*>(v), static_cast<size_t>(length)));
        default: return Shown(static_cast<const char*>(v));
    }
}

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    s += std::string("\0\0'\\", 4);
    return s;
}

const std::vector<std::string> kNastyTexts = {
    "O'Brien",
    "back\\slash",
    "ends in a backslash\\",
    "\\'; drop table x; --",
    "''",
    "100% sure_",
    "semi;colon;",
    "\"double quotes\"",
    "line\nbreak\tand tab",
    "Grüße aus Köln",
    "日本語のテキスト",
    "emoji 🎉 and é",
    "$$dollar$$ quoting",
    "/* not a comment */",
    "x' OR '1'='1",
    "set term ^ ;",
    "-- a line comment\n; commit;",
};

class SqlGenEngineTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        log_.Open();
        InitTableDefnList();
        InitSQLGenerators();
        gen_ = FindSQLGenerator(Db().dialect.c_str());
        ASSERT_NE(gen_, nullptr);
        ASSERT_TRUE(conn_.Open(Db())) << log_.Text();
    }
    void TearDown() override {
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) conn_.Update(Db().DropTableSql(*it));
        conn_.Close();
        DeInitSQLGenerators();
        FreeAllTableDefns();
        log_.Close();
    }

    /* Creates the table from its generated statement. */
    void Create(const std::string& table) {
        std::optional<std::string> sql = Take(gen_->generateCreateTable(table.c_str()));
        ASSERT_NE(sql, std::nullopt) << log_.Tail();
        conn_.Update(Db().DropTableSql(table));
        ASSERT_TRUE(conn_.Update(*sql)) << *sql << "\n" << log_.Tail();
        created_.push_back(table);
    }

    /* Runs a generated statement (which must exist). */
    bool Run(std::optional<std::string> sql) {
        EXPECT_NE(sql, std::nullopt) << log_.Tail();
        if (!sql) return false;
        bool ok = conn_.Update(*sql);
        EXPECT_TRUE(ok) << *sql << "\n" << log_.Tail();
        return ok;
    }
    bool Insert(const std::string& table, RowBuilder& row) { return Run(Take(gen_->generateInsert(table.c_str(), row.Make()))); }
    bool Update(const std::string& table, RowBuilder& row) { return Run(Take(gen_->generateUpdate(table.c_str(), row.Make()))); }
    bool Delete(const std::string& table, RowBuilder& row) { return Run(Take(gen_->generateDelete(table.c_str(), row.Make()))); }

    /* The rows of a generated select, each as the values' texts. */
    std::vector<std::vector<std::string>> Rows(const std::string& table, Query& q) {
        std::vector<std::vector<std::string>> rows;
        std::optional<std::string> sql = Take(gen_->generateSelect(q.get()));
        EXPECT_NE(sql, std::nullopt) << log_.Tail();
        if (!sql) return rows;
        ResultHolder result(conn_.Query(*sql));
        EXPECT_NE(result.set, nullptr) << *sql << "\n" << log_.Tail();
        if (result.set == nullptr) return rows;
        const TableDefn* defn = GetTableDefn(table.c_str());
        while (ResultSetNext(result.set) != nullptr) {
            RowObject* row = gen_->convertResultSet(result.set, table.c_str());
            EXPECT_NE(row, nullptr);
            if (row == nullptr) break;
            EXPECT_EQ(row->state, kRowStored);
            std::vector<std::string> values;
            for (int32_t i = 0; i < ColumnCount(defn); ++i) {
                values.push_back(ValueText(ColumnAt(defn, i)->type, row->values[i], row->lengths[i]));
            }
            FreeRowObject(row, ColumnCount(defn));
            rows.push_back(values);
        }
        return rows;
    }
    std::vector<std::vector<std::string>> RowById(const std::string& table, const char* key, int32_t id) {
        Query q;
        q.From(table.c_str()).Where(q.CompareInt(table.c_str(), key, kSqlEqual, id));
        return Rows(table, q);
    }
    /* The texts a row reads back as. SQLite's ODBC driver keeps every
     * value as SQLite's text, which has 15 significant digits for a REAL
     * (also when read as SQL_C_DOUBLE): a double comes back rounded so. */
    std::vector<std::string> Texts(const TableDefn* defn, RowBuilder& row) const {
        RowObject* r = row.Make();
        std::vector<std::string> values;
        for (int32_t i = 0; i < ColumnCount(defn); ++i) {
            uint8_t type = ColumnAt(defn, i)->type;
            if (type == 10 && r->values[i] != nullptr && !Db().doublesExact) {
                double d;
                memcpy(&d, r->values[i], 8);
                char buf[64];
                snprintf(buf, sizeof buf, "%.15g", d);
                d = strtod(buf, nullptr);
                values.push_back(ValueText(type, &d, 8));
                continue;
            }
            values.push_back(ValueText(type, r->values[i], r->lengths[i]));
        }
        return values;
    }
    /* The number of rows a plain count gives. */
    std::string Count(const std::string& table) {
        ResultHolder result(conn_.Query("select count(*) from " + table));
        if (result.set == nullptr || ResultSetNext(result.set) == nullptr) return "<none>";
        return CellText(GetResultSetCell(result.set, 0), result.set->columns[0].type);
    }

    SqlLog log_;
    const SQLGenerator* gen_ = nullptr;
    ProviderConnection conn_;
    std::vector<std::string> created_;
};

/* ---- Every type code ---------------------------------------------------- */

TEST_P(SqlGenEngineTest, EveryTypeCodeRoundTrips) {
    const std::string t = TableName("types");
    std::vector<ColumnSpec> columns = {{"Id", 5, 0, false}};
    for (int code = 0; code <= 22; ++code) {
        columns.push_back({"C" + std::to_string(code), static_cast<uint8_t>(code), code == 14 || code == 15 ? 60 : 0});
    }
    const TableDefn* defn = DefineTable(t, columns, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    const bool signed64 = !Db().storesFullUnsigned64;

    RowBuilder low(defn);
    low.Number<int32_t>(0, 1)
        .Bytes(1, "raw")  // type 0 has no text form: written as NULL
        .Number<int8_t>(2, INT8_MIN)
        .Number<uint8_t>(3, UINT8_MAX)
        .Number<int16_t>(4, INT16_MIN)
        .Number<uint16_t>(5, UINT16_MAX)
        .Number<int32_t>(6, INT32_MIN)
        .Number<uint32_t>(7, UINT32_MAX)
        .Number<int64_t>(8, INT64_MIN)
        .Number<uint64_t>(9, signed64 ? static_cast<uint64_t>(INT64_MAX) : UINT64_MAX)
        .Number<float>(10, 3.14159274f)
        .Number<double>(11, 0.1)
        .Number<float>(12, -1.5e-20f)
        .Bytes(13, "12345678901.2345")
        .Bytes(14, "-0.0001")
        .Text(15, "O'Brien \\ 100% ;")
        .Text(16, "Grüße 日本語 🎉")
        .Text(17, "2024-02-29")
        .Text(18, "23:59:59")
        .Text(19, "1999-12-31 23:59:58")
        .Bool(20, true)
        .Bytes(21, AllBytes())
        .Bytes(22, "clob ' \\ text\nline 2 é")
        .Text(23, std::string(Db().maxTextLiteral > 0 ? Db().maxTextLiteral - 10 : 20000, 'x') + "'\\;%é");
    RowBuilder high(defn);
    high.Number<int32_t>(0, 2)
        .Number<int8_t>(2, INT8_MAX)
        .Number<uint8_t>(3, 0)
        .Number<int16_t>(4, INT16_MAX)
        .Number<uint16_t>(5, 0)
        .Number<int32_t>(6, INT32_MAX)
        .Number<uint32_t>(7, 0)
        .Number<int64_t>(8, INT64_MAX)
        .Number<uint64_t>(9, 0)
        .Number<float>(10, FLT_MAX)
        .Number<double>(11, -1.2345678901234567e300)
        .Number<float>(12, 1e-7f)
        .Bytes(13, "0")
        .Bytes(14, "-99999999.9999")
        .Text(15, "")
        .Text(16, "x")
        .Text(17, "0001-01-01")
        .Text(18, "00:00:00")
        .Text(19, "2038-01-19 03:14:08")
        .Bool(20, false)
        .Bytes(21, "")
        .Bytes(22, "")
        .Text(23, "");
    RowBuilder empty(defn);
    empty.Number<int32_t>(0, 3);

    ASSERT_TRUE(Insert(t, low));
    ASSERT_TRUE(Insert(t, high));
    ASSERT_TRUE(Insert(t, empty));
    std::vector<std::string> want = Texts(defn, low);
    want[1] = "NULL";
    EXPECT_EQ(RowById(t, "Id", 1), (std::vector<std::vector<std::string>>{want}));
    EXPECT_EQ(RowById(t, "Id", 2), (std::vector<std::vector<std::string>>{Texts(defn, high)}));
    EXPECT_EQ(RowById(t, "Id", 3), (std::vector<std::vector<std::string>>{Texts(defn, empty)}));

    // Update: row 1 takes row 2's values (with its own key), row 3 row 1's.
    RowBuilder lowToHigh(defn);
    lowToHigh.Number<int32_t>(0, 1);
    RowObject* h = high.Make();
    for (int32_t i = 1; i < ColumnCount(defn); ++i) {
        if (h->values[i] == nullptr) continue;
        if (IsDateTimeType(ColumnAt(defn, i)->type)) {
            char* text = OrvDateTimeToString(static_cast<const OrvDateTime*>(h->values[i]));
            lowToHigh.Text(i, text);
            free(text);
        } else {
            lowToHigh.Bytes(i, std::string(static_cast<const char*>(h->values[i]), static_cast<size_t>(h->lengths[i])));
        }
    }
    ASSERT_TRUE(Update(t, lowToHigh));
    std::vector<std::string> updated = Texts(defn, high);
    updated[0] = "1";
    EXPECT_EQ(RowById(t, "Id", 1), (std::vector<std::vector<std::string>>{updated}));
    RowBuilder emptyToLow(defn);
    emptyToLow.Number<int32_t>(0, 3);
    RowObject* l = low.Make();
    for (int32_t i = 2; i < ColumnCount(defn); ++i) {
        if (IsDateTimeType(ColumnAt(defn, i)->type)) {
            char* text = OrvDateTimeToString(static_cast<const OrvDateTime*>(l->values[i]));
            emptyToLow.Text(i, text);
            free(text);
        } else {
            emptyToLow.Bytes(i, std::string(static_cast<const char*>(l->values[i]), static_cast<size_t>(l->lengths[i])));
        }
    }
    ASSERT_TRUE(Update(t, emptyToLow));
    want[0] = "3";
    EXPECT_EQ(RowById(t, "Id", 3), (std::vector<std::vector<std::string>>{want}));

    // Delete by key.
    ASSERT_TRUE(Delete(t, high));
    EXPECT_TRUE(RowById(t, "Id", 2).empty());
    EXPECT_EQ(Count(t), "2");
}

TEST_P(SqlGenEngineTest, UnsignedBigintAboveSigned64IsKeptOrRefused) {
    const std::string t = TableName("u64");
    const TableDefn* defn = DefineTable(t, {{"Id", 5, 0, false}, {"U", 8}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    RowBuilder row(defn);
    row.Number<int32_t>(0, 1).Number<uint64_t>(1, UINT64_MAX - 1);
    std::optional<std::string> sql = Take(gen_->generateInsert(t.c_str(), row.Make()));
    if (!Db().storesFullUnsigned64) {
        EXPECT_EQ(sql, std::nullopt);
        EXPECT_TRUE(log_.Has("is above the largest integer " + Db().dialect + " keeps: statement refused.\n"))
            << log_.Tail();
        return;
    }
    ASSERT_TRUE(Run(sql));
    EXPECT_EQ(RowById(t, "Id", 1), (std::vector<std::vector<std::string>>{{"1", "18446744073709551614"}}));
}

/* ---- Doubles and floats ------------------------------------------------- */

TEST_P(SqlGenEngineTest, DoublesAreStoredExactly) {
    const std::string t = TableName("doubles");
    const TableDefn* defn = DefineTable(t, {{"Id", 5, 0, false}, {"D", 10}, {"F", 9}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    const double doubles[] = {0.1, 1.0 / 3.0, -2.5e-300, 123456789.125, 1.7976931348623157e308, 1e-300,
                              -1.2345678901234567e300, 9007199254740993.0, -4.5e-307};
    const float floats[] = {0.1f, FLT_MAX, FLT_MIN, -3.14159274f, 1e-7f, 16777217.0f, 1.0f, 0.0f, -FLT_MAX};
    for (size_t i = 0; i < std::size(doubles); ++i) {
        // SQLite keeps the largest double, but its ODBC driver reads it
        // through the 15-digit text 1.79769313486232e+308, which is beyond
        // it, and gives 0.
        if (!Db().doublesExact && doubles[i] == DBL_MAX) continue;
        RowBuilder row(defn);
        row.Number<int32_t>(0, static_cast<int32_t>(i)).Number<double>(1, doubles[i]).Number<float>(2, floats[i]);
        ASSERT_TRUE(Insert(t, row));
        EXPECT_EQ(RowById(t, "Id", static_cast<int32_t>(i)), (std::vector<std::vector<std::string>>{Texts(defn, row)}))
            << i;
    }
}

/* Doubles at the edges of a decimal literal's reading. Firebird 3 reads
 * some decimal literals of a double one unit in the last place off
 * (3.4028234663852886e+38 is stored as 0x1.fffffe0000001p+127) and refuses
 * one whose digits reach below about 1e-307 (2.2250738585072014e-300 is
 * "numeric value is out of range"), so its dialect writes these as the
 * exact expression (CAST(<53-bit integer> AS DOUBLE PRECISION) *
 * POWER(CAST(2 AS DOUBLE PRECISION), <k>)); the smallest subnormal double
 * ends the list on every engine. */
TEST_P(SqlGenEngineTest, DoublesTheEngineMisreadsAsDecimalLiteralsAreWrittenExactly) {
    const std::string t = TableName("misread");
    const TableDefn* defn = DefineTable(t, {{"Id", 5, 0, false}, {"D", 10}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    const double doubles[] = {static_cast<double>(FLT_MAX), 2.2250738585072014e-300, 4.9406564584124654e-324};
    for (size_t i = 0; i < std::size(doubles); ++i) {
        RowBuilder row(defn);
        row.Number<int32_t>(0, static_cast<int32_t>(i)).Number<double>(1, doubles[i]);
        ASSERT_TRUE(Insert(t, row));
        EXPECT_EQ(RowById(t, "Id", static_cast<int32_t>(i)), (std::vector<std::vector<std::string>>{Texts(defn, row)}))
            << i;
    }
}

/* ---- Texts -------------------------------------------------------------- */

TEST_P(SqlGenEngineTest, TextsSurviveInsertUpdateSelectAndDelete) {
    const std::string t = TableName("texts");
    const TableDefn* defn =
        DefineTable(t, {{"Id", 5, 0, false}, {"Name", 15, 200}, {"Body", 22}, {"Note", 14, 60}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    for (size_t i = 0; i < kNastyTexts.size(); ++i) {
        const std::string& text = kNastyTexts[i];
        RowBuilder row(defn);
        row.Number<int32_t>(0, static_cast<int32_t>(i)).Text(1, text).Text(2, text).Text(3, text);
        ASSERT_TRUE(Insert(t, row)) << text;
    }
    for (size_t i = 0; i < kNastyTexts.size(); ++i) {
        const std::string& text = kNastyTexts[i];
        const std::string id = std::to_string(i);
        // Selected by the text itself.
        Query q;
        q.From(t.c_str()).Where(q.CompareText(t.c_str(), "Name", 15, kSqlEqual, text));
        EXPECT_EQ(Rows(t, q), (std::vector<std::vector<std::string>>{{id, text, text, text}})) << text;
        Query n;
        n.From(t.c_str()).Where(n.CompareText(nullptr, "Note", 14, kSqlEqual, text));
        EXPECT_EQ(Rows(t, n).size(), 1u) << text;
        // Updated by key, with the key a text in the condition as well.
        RowBuilder row(defn);
        std::string changed = text + " ' \\ ; % changed";
        row.Number<int32_t>(0, static_cast<int32_t>(i)).Text(1, changed).Text(2, text + text).Null(3);
        ASSERT_TRUE(Update(t, row)) << text;
        EXPECT_EQ(RowById(t, "Id", static_cast<int32_t>(i)),
                  (std::vector<std::vector<std::string>>{{id, changed, text + text, "NULL"}}))
            << text;
    }
    // LIKE keeps the pattern's own percent sign.
    Query like;
    like.From(t.c_str()).Where(like.CompareText(nullptr, "Name", 15, kSqlLike, "100% sure%"));
    std::vector<std::vector<std::string>> liked = Rows(t, like);
    ASSERT_EQ(liked.size(), 1u);
    EXPECT_EQ(liked[0][1], "100% sure_ ' \\ ; % changed");
    // And a pattern with non-ASCII characters.
    Query wide;
    wide.From(t.c_str()).Where(wide.CompareText(nullptr, "Name", 15, kSqlLike, "Grüße%"));
    EXPECT_EQ(Rows(t, wide).size(), 1u);
    for (size_t i = 0; i < kNastyTexts.size(); ++i) {
        RowBuilder row(defn);
        row.Number<int32_t>(0, static_cast<int32_t>(i));
        ASSERT_TRUE(Delete(t, row));
    }
    EXPECT_EQ(Count(t), "0");
}

TEST_P(SqlGenEngineTest, TextKeysInUpdateAndDeleteConditions) {
    const std::string t = TableName("textkey");
    const TableDefn* defn = DefineTable(t, {{"K", 15, 100, false}, {"V", 5}}, {"K"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    for (size_t i = 0; i < kNastyTexts.size(); ++i) {
        RowBuilder row(defn);
        row.Text(0, kNastyTexts[i]).Number<int32_t>(1, static_cast<int32_t>(i));
        ASSERT_TRUE(Insert(t, row));
    }
    for (size_t i = 0; i < kNastyTexts.size(); ++i) {
        RowBuilder row(defn);
        row.Text(0, kNastyTexts[i]).Number<int32_t>(1, static_cast<int32_t>(i) + 100);
        ASSERT_TRUE(Update(t, row));
    }
    Query all;
    all.From(t.c_str()).OrderBy(nullptr, "V", true);
    std::vector<std::vector<std::string>> rows = Rows(t, all);
    ASSERT_EQ(rows.size(), kNastyTexts.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], (std::vector<std::string>{kNastyTexts[i], std::to_string(i + 100)}));
    }
    for (size_t i = 0; i < kNastyTexts.size(); i += 2) {
        RowBuilder row(defn);
        row.Text(0, kNastyTexts[i]);
        ASSERT_TRUE(Delete(t, row));
    }
    EXPECT_EQ(Count(t), std::to_string(kNastyTexts.size() / 2));
}

/* A text and a clob of the longest literal the engine takes (Firebird:
 * 16383 characters, more bytes than that in UTF-8), or of 100,000
 * characters where there is no limit. */
TEST_P(SqlGenEngineTest, LongTextsUpToTheLiteralLimit) {
    const std::string t = TableName("longtext");
    const TableDefn* defn = DefineTable(t, {{"Id", 5, 0, false}, {"Body", 22}, {"Clob", 21}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    const size_t characters = Db().maxTextLiteral > 0 ? static_cast<size_t>(Db().maxTextLiteral) : 100000;
    // Pieces of 9 characters (10 bytes), filled up with ASCII.
    std::string text;
    size_t count = 0;
    for (; count + 9 <= characters - 10; count += 9) text += "ab'c\\d;%é";
    text += std::string(characters - 10 - count, 'x') + "0123456789";
    RowBuilder row(defn);
    row.Number<int32_t>(0, 1).Text(1, text).Bytes(2, text);
    ASSERT_TRUE(Insert(t, row));
    EXPECT_EQ(RowById(t, "Id", 1), (std::vector<std::vector<std::string>>{Texts(defn, row)}));
}

/* ---- Booleans ----------------------------------------------------------- */

TEST_P(SqlGenEngineTest, BooleansRoundTripThroughInsertUpdateDefaultAndCriteria) {
    const std::string t = TableName("bools");
    const TableDefn* defn = DefineTable(
        t, {{"Id", 5, 0, false}, {"Yes", 19, 0, true, false, "true"}, {"No", 19, 0, true, false, "false"}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    RowBuilder a(defn);
    a.Number<int32_t>(0, 1).Bool(1, true).Bool(2, false);
    RowBuilder b(defn);
    b.Number<int32_t>(0, 2).Bool(1, false).Bool(2, true);
    ASSERT_TRUE(Insert(t, a));
    ASSERT_TRUE(Insert(t, b));
    // The defaults, by a statement that leaves the columns out.
    ASSERT_TRUE(conn_.Update("insert into " + t + " (Id) values (3)")) << log_.Tail();
    EXPECT_EQ(RowById(t, "Id", 1), (std::vector<std::vector<std::string>>{{"1", "1", "0"}}));
    EXPECT_EQ(RowById(t, "Id", 2), (std::vector<std::vector<std::string>>{{"2", "0", "1"}}));
    EXPECT_EQ(RowById(t, "Id", 3), (std::vector<std::vector<std::string>>{{"3", "1", "0"}}));
    RowBuilder flip(defn);
    flip.Number<int32_t>(0, 1).Bool(1, false).Bool(2, true);
    ASSERT_TRUE(Update(t, flip));
    EXPECT_EQ(RowById(t, "Id", 1), (std::vector<std::vector<std::string>>{{"1", "0", "1"}}));
    uint8_t yes = 1;
    Query q;
    q.From(t.c_str()).Where(q.Compare(nullptr, "Yes", 19, kSqlEqual, &yes, 1));
    EXPECT_EQ(Rows(t, q), (std::vector<std::vector<std::string>>{{"3", "1", "0"}}));
    uint8_t no = 0;
    Query r;
    r.From(t.c_str()).Where(r.Compare(nullptr, "No", 19, kSqlEqual, &no, 1)).OrderBy(nullptr, "Id", true);
    EXPECT_EQ(Rows(t, r), (std::vector<std::vector<std::string>>{{"3", "1", "0"}}));
    Query s;
    s.From(t.c_str()).Where(s.Compare(nullptr, "No", 19, kSqlNotEqual, &no, 1)).OrderBy(nullptr, "Id", true);
    EXPECT_EQ(Rows(t, s), (std::vector<std::vector<std::string>>{{"1", "0", "1"}, {"2", "0", "1"}}));
}

/* ---- Statements without a key ------------------------------------------- */

TEST_P(SqlGenEngineTest, UpdateAndDeleteWithoutKeyAreRejectedByTheEngine) {
    const std::string t = TableName("nokey");
    const TableDefn* defn = DefineTable(t, {{"Id", 5}, {"Name", 14, 20}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    const std::string loose = TableName("loose");
    const TableDefn* looseDefn = DefineTable(loose, {{"A", 5}, {"B", 14, 20}});
    ASSERT_NO_FATAL_FAILURE(Create(loose));
    RowBuilder row(defn);
    row.Number<int32_t>(0, 1).Text(1, "kept");
    ASSERT_TRUE(Insert(t, row));
    RowBuilder other(looseDefn);
    other.Number<int32_t>(0, 1).Text(1, "kept");
    ASSERT_TRUE(Insert(loose, other));

    RowBuilder keyless(defn);
    keyless.Null(0).Text(1, "changed");
    std::optional<std::string> update = Take(gen_->generateUpdate(t.c_str(), keyless.Make()));
    std::optional<std::string> remove = Take(gen_->generateDelete(t.c_str(), keyless.Make()));
    std::optional<std::string> updateLoose = Take(gen_->generateUpdate(loose.c_str(), other.Make()));
    std::optional<std::string> removeLoose = Take(gen_->generateDelete(loose.c_str(), other.Make()));
    for (const std::optional<std::string>* sql : {&update, &remove, &updateLoose, &removeLoose}) {
        ASSERT_NE(*sql, std::nullopt);
        EXPECT_TRUE((*sql)->size() >= 7 && (*sql)->compare((*sql)->size() - 7, 7, " where ") == 0) << **sql;
        EXPECT_FALSE(conn_.Update(**sql)) << **sql;
    }
    EXPECT_EQ(RowById(t, "Id", 1), (std::vector<std::vector<std::string>>{{"1", "kept"}}));
    EXPECT_EQ(Count(loose), "1");
}

/* ---- Select features ---------------------------------------------------- */

TEST_P(SqlGenEngineTest, JoinsPagingGroupingAndCriteriaOnTheEngine) {
    const std::string owner = TableName("owner");
    const std::string pet = TableName("pet");
    const TableDefn* o = DefineTable(owner, {{"Id", 5, 0, false}, {"Name", 14, 40}}, {"Id"});
    const TableDefn* p =
        DefineTable(pet, {{"PetId", 5, 0, false}, {"OwnerId", 5}, {"Kind", 14, 20}, {"Age", 5}}, {"PetId"},
                    {{"OwnerId", "Id", owner}});
    ASSERT_NO_FATAL_FAILURE(Create(owner));
    ASSERT_NO_FATAL_FAILURE(Create(pet));
    const char* names[] = {"Ann", "O'Neil"};
    for (int i = 0; i < 2; ++i) {
        RowBuilder r(o);
        r.Number<int32_t>(0, i + 1).Text(1, names[i]);
        ASSERT_TRUE(Insert(owner, r));
    }
    struct PetRow {
        int id, owner;
        const char* kind;
        int age;
    };
    const PetRow pets[] = {{1, 1, "cat", 3}, {2, 1, "dog", 7}, {3, 2, "cat", 12}, {4, 2, "cat", 1}, {5, 2, "fish", 2}};
    for (const PetRow& row : pets) {
        RowBuilder r(p);
        r.Number<int32_t>(0, row.id).Number<int32_t>(1, row.owner).Text(2, row.kind).Number<int32_t>(3, row.age);
        ASSERT_TRUE(Insert(pet, r));
    }

    // Join with paging, ordered by the pet.
    Query j;
    AddSelectColumn(j.get(), j.Column(nullptr, "Name", 14, 0, nullptr, "o"));
    AddSelectColumn(j.get(), j.Column(nullptr, "Kind", 14, 0, nullptr, "p"));
    Vector* left = NewColumnList(j.pool());
    Vector* right = NewColumnList(j.pool());
    AddColumnToList(j.pool(), CreateListColumn(nullptr, nullptr, "Id", nullptr, 0, 5, 0, j.pool()), left);
    AddColumnToList(j.pool(), CreateListColumn(nullptr, nullptr, "OwnerId", nullptr, 0, 5, 0, j.pool()), right);
    AddJoin(j.get(), CreateJoinSpec(owner.c_str(), "o", pet.c_str(), "p", kJoinInner, left, right, j.pool()));
    Vector* sort = NewColumnList(j.pool());
    AddColumnToList(j.pool(), j.Column(nullptr, "PetId", 5, 0, nullptr, "p"), sort);
    SetSort(j.get(), CreateSortSpec(sort, 1, j.pool()));
    j.Page(2, 1);
    std::optional<std::string> sql = Take(gen_->generateSelect(j.get()));
    ASSERT_NE(sql, std::nullopt);
    {
        ResultHolder result(conn_.Query(*sql));
        ASSERT_NE(result.set, nullptr) << *sql << "\n" << log_.Tail();
        std::vector<std::string> got;
        while (ResultSetNext(result.set) != nullptr) {
            got.push_back(CellText(GetResultSetCell(result.set, 0), result.set->columns[0].type) + "/" +
                          CellText(GetResultSetCell(result.set, 1), result.set->columns[1].type));
        }
        EXPECT_EQ(got, (std::vector<std::string>{"Ann/dog", "O'Neil/cat"})) << *sql;
    }

    // a AND (b OR c): cats of owner 2, or any pet older than 10.
    Query c;
    c.From(pet.c_str());
    CriteriaNode* cat = c.CompareText(nullptr, "Kind", 14, kSqlEqual, "cat");
    CriteriaNode* two = c.CompareInt(nullptr, "OwnerId", kSqlEqual, 2);
    CriteriaNode* young = c.CompareInt(nullptr, "Age", kSqlLess, 2);
    CriteriaNode* old = c.CompareInt(nullptr, "Age", kSqlGreater, 10);
    c.Where(CreateAndNode(two, CreateOrNode(cat, old, c.pool()), c.pool())).OrderBy(nullptr, "PetId", true);
    std::vector<std::vector<std::string>> rows = Rows(pet, c);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "3");
    EXPECT_EQ(rows[1][0], "4");
    Query c2;
    c2.From(pet.c_str());
    c2.Where(CreateOrNode(c2.CompareInt(nullptr, "Age", kSqlLess, 2),
                          CreateAndNode(c2.CompareText(nullptr, "Kind", 14, kSqlEqual, "dog"),
                                        c2.CompareText(nullptr, "Age", 5, kSqlBetween, "5 and 8"), c2.pool()),
                          c2.pool()))
        .OrderBy(nullptr, "PetId", false);
    rows = Rows(pet, c2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "4");
    EXPECT_EQ(rows[1][0], "2");
    (void)young;

    // Group by with having.
    Query g;
    g.Select(nullptr, "Kind", 14);
    AddSelectColumn(g.get(), g.Column(nullptr, nullptr, 5, kAggregateCount, "n"));
    g.From(pet.c_str());
    Vector* group = NewColumnList(g.pool());
    AddColumnToList(g.pool(), g.Column(nullptr, "Kind", 14), group);
    int32_t one = 1;
    SetGroupBy(g.get(), CreateGroupBySpec(group,
                                          CreateCriteriaNode(g.Column(nullptr, nullptr, 5, kAggregateCount), &one, 4,
                                                             kSqlGreater, g.pool()),
                                          g.pool()));
    sql = Take(gen_->generateSelect(g.get()));
    ASSERT_NE(sql, std::nullopt);
    ResultHolder result(conn_.Query(*sql));
    ASSERT_NE(result.set, nullptr) << *sql << "\n" << log_.Tail();
    ASSERT_NE(ResultSetNext(result.set), nullptr);
    EXPECT_EQ(CellText(GetResultSetCell(result.set, 0), result.set->columns[0].type), "cat");
    EXPECT_EQ(CellText(GetResultSetCell(result.set, 1), result.set->columns[1].type), "3");
    EXPECT_EQ(ResultSetNext(result.set), nullptr);
}

/* A page with a limit, one with an offset alone, and one with both. */
TEST_P(SqlGenEngineTest, PagesWithALimitAnOffsetOrBoth) {
    const std::string t = TableName("paged");
    const TableDefn* defn = DefineTable(t, {{"Id", 5, 0, false}}, {"Id"});
    ASSERT_NO_FATAL_FAILURE(Create(t));
    for (int i = 1; i <= 12; ++i) {
        RowBuilder r(defn);
        r.Number<int32_t>(0, i);
        ASSERT_TRUE(Insert(t, r));
    }
    auto ids = [&](int32_t limit, int32_t offset) {
        Query q;
        q.From(t.c_str()).OrderBy(nullptr, "Id", true).Page(limit, offset);
        std::string got;
        for (const std::vector<std::string>& row : Rows(t, q)) got += row[0] + " ";
        return got;
    };
    EXPECT_EQ(ids(10, 0), "1 2 3 4 5 6 7 8 9 10 ");
    // An offset without a limit is Firebird's "skip" alone; the other
    // dialects have no offset without a limit and drop it.
    EXPECT_EQ(ids(0, 5), Db().pagesByOffsetAlone ? "6 7 8 9 10 11 12 " : "1 2 3 4 5 6 7 8 9 10 11 12 ");
    EXPECT_EQ(ids(3, 4), "5 6 7 ");
}

/* ---- The sample data dictionary ----------------------------------------- */

/* A value for a column of the sample tables: integers 1 (so that every
 * foreign key finds its row), texts with a quote and a backslash. */
bool IsKeyOrReference(const TableDefn* defn, const char* column) {
    const ConstraintDefn* k = defn->constraints;
    if (k == nullptr) return false;
    for (int32_t i = 0; i < k->primaryKeyCount; ++i) {
        if (strcasecmp(k->primaryKeyColumns[i], column) == 0) return true;
    }
    return k->foreignKeys != nullptr && GetForeignKeyEntry(defn, column) != nullptr;
}

void SampleValue(RowBuilder& row, const TableDefn* defn, int32_t i, int variant) {
    const ColumnDefnEntry* c = ColumnAt(defn, i);
    switch (c->type) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8:
            row.Text(i, IsKeyOrReference(defn, c->name) ? "1" : std::to_string(variant + 2));
            break;
        case 9: case 11: row.Number<float>(i, variant ? 0.25f : 1.5f); break;
        case 10: row.Number<double>(i, variant ? 99.125 : 0.3); break;
        case 14: case 15: case 22: row.Text(i, std::string(variant ? "Zoë's \\ %;" : "O'Brien\\") + c->name); break;
        case 16: row.Text(i, "2024-02-29"); break;
        case 17: row.Text(i, "12:34:56"); break;
        case 18: row.Text(i, variant ? "2025-06-30 01:02:03" : "2024-02-29 23:59:59"); break;
        case 19: row.Bool(i, variant == 0); break;
        case 20: row.Bytes(i, variant ? std::string("\x01\x00\xfe", 3) : AllBytes()); break;
        default: row.Bytes(i, "12.5"); break;
    }
}

TEST_P(SqlGenEngineTest, SampleDictionaryTablesCreateAndRoundTrip) {
    SetVelkraRoot(ORV_EXAMPLES_DIR);
    ASSERT_TRUE(LoadAllDataDictFiles());
    // Unique names for this run, foreign keys following them.
    std::map<std::string, std::string> renamed;
    std::vector<TableDefn*> tables;
    for (VectorNode* n = ElementAt(GetTableDefnList(), 0); n != nullptr; n = n->next) {
        auto* defn = static_cast<TableDefn*>(n->element);
        std::string lower;
        for (const char* c = defn->name; *c; ++c) lower += static_cast<char>(tolower(*c));
        renamed[lower] = TableName("s" + lower);
        free(defn->name);
        defn->name = strdup(renamed[lower].c_str());
        tables.push_back(defn);
    }
    ASSERT_EQ(tables.size(), 5u);
    for (TableDefn* defn : tables) {
        if (defn->constraints == nullptr || defn->constraints->foreignKeys == nullptr) continue;
        for (VectorNode* n = ElementAt(defn->constraints->foreignKeys, 0); n != nullptr; n = n->next) {
            auto* fk = static_cast<ForeignKeyEntry*>(n->element);
            std::string lower;
            for (const char* c = fk->referenceTable; *c; ++c) lower += static_cast<char>(tolower(*c));
            ASSERT_EQ(renamed.count(lower), 1u) << fk->referenceTable;
            free(fk->referenceTable);
            fk->referenceTable = strdup(renamed[lower].c_str());
        }
    }
    for (TableDefn* defn : tables) ASSERT_NO_FATAL_FAILURE(Create(defn->name));
    for (TableDefn* defn : tables) {
        const std::string name = defn->name;
        RowBuilder row(defn);
        for (int32_t i = 0; i < ColumnCount(defn); ++i) SampleValue(row, defn, i, 0);
        ASSERT_TRUE(Insert(name, row)) << name;
        Query all;
        all.From(name.c_str());
        EXPECT_EQ(Rows(name, all), (std::vector<std::vector<std::string>>{Texts(defn, row)})) << name;
        RowBuilder changed(defn);
        for (int32_t i = 0; i < ColumnCount(defn); ++i) SampleValue(changed, defn, i, 1);
        ASSERT_TRUE(Update(name, changed)) << name;
        Query again;
        again.From(name.c_str());
        // Key columns keep their value; the others changed.
        std::vector<std::vector<std::string>> rows = Rows(name, again);
        ASSERT_EQ(rows.size(), 1u) << name;
        std::vector<std::string> want = Texts(defn, changed);
        std::vector<std::string> before = Texts(defn, row);
        for (int32_t i = 0; i < ColumnCount(defn); ++i) {
            const ColumnDefnEntry* c = ColumnAt(defn, i);
            for (int32_t k = 0; k < defn->constraints->primaryKeyCount; ++k) {
                if (strcasecmp(defn->constraints->primaryKeyColumns[k], c->name) == 0) want[i] = before[i];
            }
        }
        EXPECT_EQ(rows[0], want) << name;
    }
    // A row whose parent is missing is refused by the foreign key (SQLite
    // checks foreign keys only when the connection asks for it).
    if (!Db().enforcesForeignKeysByDefault) {
        ASSERT_TRUE(conn_.Update("PRAGMA foreign_keys = ON")) << log_.Tail();
    }
    const TableDefn* site = GetTableDefn(renamed["site"].c_str());
    ASSERT_NE(site, nullptr);
    RowBuilder orphan(site);
    for (int32_t i = 0; i < ColumnCount(site); ++i) SampleValue(orphan, site, i, 0);
    orphan.Text(0, "2").Text(1, "99");
    std::optional<std::string> orphanSql = Take(gen_->generateInsert(site->name, orphan.Make()));
    ASSERT_NE(orphanSql, std::nullopt) << log_.Tail();
    EXPECT_FALSE(conn_.Update(*orphanSql)) << *orphanSql;
    EXPECT_EQ(Count(site->name), "1");
    for (auto it = tables.rbegin(); it != tables.rend(); ++it) {
        const std::string name = (*it)->name;
        RowBuilder row(*it);
        for (int32_t i = 0; i < ColumnCount(*it); ++i) SampleValue(row, *it, i, 0);
        ASSERT_TRUE(Delete(name, row)) << name;
        EXPECT_EQ(Count(name), "0") << name;
    }
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(SqlGenEngineTest);

}  // namespace
}  // namespace orv::test
