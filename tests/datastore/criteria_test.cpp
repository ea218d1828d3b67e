// Criteria texts: scanning and grammar, grouping, case rules, reversed
// operators, invalid characters, binding to columns, and the comparison of
// row values by column type.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "datastore/column_value.h"
#include "datastore/criteria.h"
#include "datastore/relvar.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"

namespace orv::test {
namespace {

/* A column list of the given names and types, freed with the object. */
class Columns {
public:
    Columns(std::initializer_list<std::pair<std::string, uint8_t>> columns)
        : Columns(std::vector<std::pair<std::string, uint8_t>>(columns)) {}
    explicit Columns(const std::vector<std::pair<std::string, uint8_t>>& columns) {
        list_ = NewVector();
        for (const auto& [name, type] : columns) {
            AddValue(list_, CreateColumnDefnEntry(name.c_str(), type, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
            types_.push_back(type);
        }
    }
    ~Columns() {
        for (VectorNode* n = list_->head; n != nullptr; n = n->next) {
            FreeColumnDefnEntry(static_cast<ColumnDefnEntry*>(n->element));
        }
        FreeVector(list_);
        free(list_);
    }
    Vector* list() const { return list_; }
    uint8_t type(size_t i) const { return types_[i]; }

private:
    Vector* list_;
    std::vector<uint8_t> types_;
};

/* A row whose values are the texts converted for the columns' types; a
 * null text is a missing value. */
class Row {
public:
    Row(const Columns& columns, const std::vector<const char*>& texts) {
        size_t i = 0;
        for (const char* text : texts) {
            int32_t length = text ? static_cast<int32_t>(strlen(text)) : 0;
            values_.push_back(text ? ConvertStringToColumnValue(text, &length, columns.type(i)) : nullptr);
            lengths_.push_back(length);
            i++;
        }
        row_ = RowObject{values_.data(), lengths_.data(), kRowNew, nullptr};
    }
    ~Row() {
        for (void* v : values_) free(v);
    }
    const RowObject* get() const { return &row_; }

private:
    std::vector<void*> values_;
    std::vector<int32_t> lengths_;
    RowObject row_;
};

std::string ErrorOf(const char* text) {
    std::string error;
    FilterNode* root = ParseCriteria(text, &error);
    EXPECT_EQ(root, nullptr) << text;
    FreeCriteria(root);
    return error;
}

bool Parses(const char* text) {
    FilterNode* root = ParseCriteria(text);
    FreeCriteria(root);
    return root != nullptr;
}

/* Parses, binds against the columns and evaluates the row. */
bool Matches(const char* text, const Columns& columns, const Row& row) {
    FilterNode* root = ParseCriteria(text);
    EXPECT_NE(root, nullptr) << text;
    ResolveCriteriaColumns(columns.list(), root);
    bool result = EvaluateCriteria(row.get(), root);
    FreeCriteria(root);
    return result;
}

void ExpectComparison(const FilterNode* n, const char* column, uint8_t op, const char* literal) {
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n->columnName, column);
    EXPECT_EQ(n->op, op);
    EXPECT_STREQ(n->literal, literal);
    EXPECT_EQ(n->left, nullptr);
    EXPECT_EQ(n->right, nullptr);
}

TEST(CriteriaGrammar, ComparisonKeepsTheLiteralAsWritten) {
    FilterNode* root = ParseCriteria("NAME = 'x y'");
    ExpectComparison(root, "NAME", kOpEqual, "'x y'");
    EXPECT_EQ(root->parent, nullptr);
    FreeCriteria(root);
    root = ParseCriteria("\tAGE>=18.25");
    ExpectComparison(root, "AGE", kOpGreaterEqual, "18.25");
    FreeCriteria(root);
    root = ParseCriteria("a != ''");
    ExpectComparison(root, "a", kOpNotEqual, "''");
    FreeCriteria(root);
}

TEST(CriteriaGrammar, OrThenAndGroupsToTheRight) {
    FilterNode* root = ParseCriteria("a = 1 or b = 2 and c = 3");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->op, kOpOr);
    ExpectComparison(root->left, "a", kOpEqual, "1");
    ASSERT_NE(root->right, nullptr);
    EXPECT_EQ(root->right->op, kOpAnd);
    ExpectComparison(root->right->left, "b", kOpEqual, "2");
    ExpectComparison(root->right->right, "c", kOpEqual, "3");
    EXPECT_EQ(root->left->parent, root);
    EXPECT_EQ(root->right->parent, root);
    EXPECT_EQ(root->right->right->parent, root->right);
    FreeCriteria(root);
}

TEST(CriteriaGrammar, AndThenOrGroupsToTheRight) {
    FilterNode* root = ParseCriteria("a = 1 and b = 2 or c = 3");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->op, kOpAnd);
    ExpectComparison(root->left, "a", kOpEqual, "1");
    EXPECT_EQ(root->right->op, kOpOr);
    FreeCriteria(root);

    // Only a group changes it.
    root = ParseCriteria("((a = 1 and b = 2)) or c = 3");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->op, kOpOr);
    EXPECT_EQ(root->left->op, kOpAnd);
    EXPECT_EQ(root->left->parent, root);
    ExpectComparison(root->right, "c", kOpEqual, "3");
    FreeCriteria(root);
}

TEST(CriteriaGrammar, GroupingDecidesTheResult) {
    Columns cols{{"a", ORV_SQL_INT}, {"b", ORV_SQL_INT}, {"c", ORV_SQL_INT}};
    Row row(cols, {"1", "0", "0"});
    EXPECT_TRUE(Matches("a = 1 or b = 2 and c = 3", cols, row));
    EXPECT_FALSE(Matches("(a = 1 or b = 2) and c = 3", cols, row));
    EXPECT_FALSE(Matches("b = 2 and c = 3 or a = 1", cols, row));  // b = 2 and (c = 3 or a = 1)
}

TEST(CriteriaGrammar, SyntaxErrors) {
    EXPECT_EQ(ErrorOf(""), "syntax error at position 1");
    EXPECT_EQ(ErrorOf("   "), "syntax error at position 4");
    EXPECT_EQ(ErrorOf("a = b"), "syntax error at position 5");  // two columns
    EXPECT_EQ(ErrorOf("1 = 2"), "syntax error at position 5");  // two literals
    EXPECT_EQ(ErrorOf("a <> 1"), "syntax error at position 4");
    EXPECT_EQ(ErrorOf("a == 1"), "syntax error at position 4");
    EXPECT_EQ(ErrorOf("a = 1 and"), "syntax error at position 10");
    EXPECT_EQ(ErrorOf("(a = 1"), "syntax error at position 7");
    EXPECT_EQ(ErrorOf("a = 1)"), "syntax error at position 6");
    EXPECT_EQ(ErrorOf("()"), "syntax error at position 2");
    EXPECT_EQ(ErrorOf("a = 1 b = 2"), "syntax error at position 7");
    EXPECT_EQ(ErrorOf("a"), "syntax error at position 2");
    EXPECT_EQ(ErrorOf("and = 1"), "syntax error at position 1");
    EXPECT_EQ(ParseCriteria(nullptr), nullptr);
    EXPECT_EQ(ErrorOf(nullptr), "no criteria text");
}

TEST(CriteriaGrammar, LineEndEndsTheExpression) {
    EXPECT_TRUE(Parses("a = 1\n"));
    EXPECT_TRUE(Parses("a = 1\n \n\t"));
    EXPECT_EQ(ErrorOf("a = 1\nb = 2"), "syntax error at position 7");
    EXPECT_EQ(ErrorOf("a = 1\nor b = 2"), "syntax error at position 7");
    EXPECT_EQ(ErrorOf("a = 1 and\nb = 2"), "syntax error at position 10");
    EXPECT_EQ(ErrorOf("a = 'x\ny'"), "invalid character ''' at position 5");
}

TEST(CriteriaScanner, AndOrOnlyInLowerCase) {
    EXPECT_EQ(ErrorOf("NAME = 'x' AND AGE = 1"), "syntax error at position 12");
    EXPECT_FALSE(Parses("a = 1 Or b = 2"));
    // Longest match: "andx" and "or_" are column names.
    FilterNode* root = ParseCriteria("andx = 1 and or_ = 2");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->op, kOpAnd);
    ExpectComparison(root->left, "andx", kOpEqual, "1");
    ExpectComparison(root->right, "or_", kOpEqual, "2");
    FreeCriteria(root);
    root = ParseCriteria("AND = 1");
    ExpectComparison(root, "AND", kOpEqual, "1");
    FreeCriteria(root);
    // A number ends where its digits end.
    root = ParseCriteria("a=1or b=2");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->op, kOpOr);
    FreeCriteria(root);
}

TEST(CriteriaScanner, InvalidCharacters) {
    EXPECT_EQ(ErrorOf("AGE >= -1"), "invalid character '-' at position 8");
    EXPECT_EQ(ErrorOf("a = +1"), "invalid character '+' at position 5");
    EXPECT_EQ(ErrorOf("a = 3."), "invalid character '.' at position 6");
    EXPECT_EQ(ErrorOf("a = .5"), "invalid character '.' at position 5");
    EXPECT_EQ(ErrorOf("_a = 1"), "invalid character '_' at position 1");
    EXPECT_EQ(ErrorOf("a = \"x\""), "invalid character '\"' at position 5");
    EXPECT_EQ(ErrorOf("a = 1\r\n"), "invalid character '\\x0d' at position 6");
    EXPECT_EQ(ErrorOf("a = 'x"), "invalid character ''' at position 5");
    EXPECT_EQ(ErrorOf("a ! 1"), "invalid character '!' at position 3");
    EXPECT_EQ(ErrorOf("\xc3\xa9 = 1"), "invalid character '\\xc3' at position 1");
    EXPECT_EQ(ErrorOf("a = 1.2.3"), "invalid character '.' at position 8");
}

TEST(CriteriaGrammar, ReversedComparisonIsMirrored) {
    const struct {
        const char* text;
        uint8_t op;
    } cases[] = {{"5 < a", kOpGreater}, {"5 > a", kOpLess},   {"5 <= a", kOpGreaterEqual},
                 {"5 >= a", kOpLessEqual}, {"5 = a", kOpEqual}, {"5 != a", kOpNotEqual}};
    for (const auto& c : cases) {
        FilterNode* root = ParseCriteria(c.text);
        ExpectComparison(root, "a", c.op, "5");
        FreeCriteria(root);
    }
    Columns cols{{"AGE", ORV_SQL_INT}};
    EXPECT_TRUE(Matches("5 > AGE", cols, Row(cols, {"4"})));
    EXPECT_FALSE(Matches("5 > AGE", cols, Row(cols, {"5"})));
    EXPECT_TRUE(Matches("5 <= AGE", cols, Row(cols, {"5"})));
}

TEST(CriteriaBinding, FirstMatchIgnoringCase) {
    Columns cols{{"ID", ORV_SQL_INT}, {"NAME", ORV_SQL_CHAR}, {"Name", ORV_SQL_INT}};
    FilterNode* root = ParseCriteria("id = 1 and name = 'x'");
    ASSERT_NE(root, nullptr);
    ResolveCriteriaColumns(cols.list(), root);
    EXPECT_EQ(root->left->columnIndex, 0);
    EXPECT_EQ(root->left->columnType, ORV_SQL_INT);
    EXPECT_EQ(root->right->columnIndex, 1);
    EXPECT_EQ(root->right->columnType, ORV_SQL_CHAR);
    EXPECT_EQ(root->right->bound, 1);
    Row row(cols, {"1", "x", "7"});
    EXPECT_TRUE(EvaluateCriteria(row.get(), root));
    FreeCriteria(root);
}

TEST(CriteriaBinding, UnknownColumnSelectsNothing) {
    Columns cols{{"A", ORV_SQL_INT}};
    Row row(cols, {"3"});
    FilterNode* root = ParseCriteria("NOSUCHCOL = 3");
    ResolveCriteriaColumns(cols.list(), root);
    EXPECT_EQ(root->columnIndex, 0);
    EXPECT_EQ(root->columnType, 0);
    EXPECT_FALSE(EvaluateCriteria(row.get(), root));
    FreeCriteria(root);
    EXPECT_FALSE(Matches("NOSUCHCOL != 3", cols, row));
    EXPECT_TRUE(Matches("NOSUCHCOL = 3 or A = 3", cols, row));
    // Unbound trees and no tree.
    root = ParseCriteria("A = 3");
    EXPECT_FALSE(EvaluateCriteria(row.get(), root));
    FreeCriteria(root);
    EXPECT_TRUE(EvaluateCriteria(row.get(), nullptr));
}

TEST(CriteriaBinding, ColumnPast255CannotBeBound) {
    std::vector<std::pair<std::string, uint8_t>> names;
    for (int i = 0; i < 257; i++) names.emplace_back("C" + std::to_string(i), ORV_SQL_INT);
    Columns cols(names);
    Row row(cols, std::vector<const char*>(257, "9"));
    FilterNode* root = ParseCriteria("C255 = 9 and C256 = 9");
    ResolveCriteriaColumns(cols.list(), root);
    EXPECT_EQ(root->left->columnIndex, 255);
    EXPECT_EQ(root->right->columnIndex, 0);
    EXPECT_EQ(root->right->columnType, 0);
    EXPECT_FALSE(EvaluateCriteria(row.get(), root));
    EXPECT_TRUE(EvaluateCriteria(row.get(), root->left));
    FreeCriteria(root);
}

TEST(CriteriaCompare, SignedAndUnsignedIntegersAtTheirWidths) {
    Columns cols{{"T", ORV_SQL_TINYINT},  {"UT", ORV_SQL_UNSIGNED_TINYINT}, {"S", ORV_SQL_SMALLINT},
                 {"US", ORV_SQL_UNSIGNED_SMALLINT}, {"I", ORV_SQL_INT},   {"UI", ORV_SQL_UNSIGNED_INT},
                 {"B", ORV_SQL_BIGINT}};
    Row row(cols, {"-1", "255", "-300", "65535", "-70000", "4294967295", "-5000000000"});
    EXPECT_TRUE(Matches("T < 0", cols, row));
    EXPECT_TRUE(Matches("T = 255", cols, row));  // the literal wraps to -1 in one byte
    EXPECT_TRUE(Matches("UT > 254", cols, row));
    EXPECT_TRUE(Matches("UT = 255", cols, row));
    EXPECT_TRUE(Matches("S < 0 and S = 65236", cols, row));
    EXPECT_TRUE(Matches("US >= 65535 and US > 1", cols, row));
    EXPECT_TRUE(Matches("I < 0 and I != 70000", cols, row));
    EXPECT_TRUE(Matches("UI > 4294967294", cols, row));
    EXPECT_TRUE(Matches("B < 0", cols, row));
    EXPECT_FALSE(Matches("B > 705032704", cols, row));  // not cut to 32 bits
    Row big(cols, {"0", "0", "0", "0", "0", "0", "5000000000"});
    EXPECT_TRUE(Matches("B > 4999999999 and B <= 5000000000", cols, big));
    EXPECT_FALSE(Matches("B = 705032704", cols, big));
    // A quoted literal is not a number: it converts to 0.
    EXPECT_TRUE(Matches("I = '12'", cols, big));
}

TEST(CriteriaCompare, FloatsDoublesAndOtherTypes) {
    Columns cols{{"F", ORV_SQL_FLOAT},  {"AGE", ORV_SQL_DOUBLE}, {"R", ORV_SQL_REAL},
                 {"UL", ORV_SQL_UNSIGNED_LONG_INT}, {"FLAG", ORV_SQL_BOOLEAN}, {"D", ORV_SQL_DATE}};
    Row row(cols, {"1.25", "30", "2.5", "7", "true", "2024-02-29"});
    EXPECT_TRUE(Matches("F = 1.25 and F > 1 and F < 1.5", cols, row));
    EXPECT_FALSE(Matches("AGE > 5", cols, row));
    EXPECT_FALSE(Matches("AGE != 5", cols, row));
    EXPECT_FALSE(Matches("R = 2.5", cols, row));
    EXPECT_FALSE(Matches("UL = 7", cols, row));
    EXPECT_FALSE(Matches("FLAG = 1", cols, row));
    EXPECT_FALSE(Matches("D = '2024-02-29'", cols, row));
}

TEST(CriteriaCompare, TextsExactAndCaseSensitive) {
    Columns cols{{"NAME", ORV_SQL_CHAR}, {"CODE", ORV_SQL_NCHAR}, {"NOTE", ORV_SQL_TEXT}};
    Row row(cols, {"x", "42", "abc"});
    EXPECT_TRUE(Matches("NAME = 'x'", cols, row));
    EXPECT_FALSE(Matches("NAME = 'X'", cols, row));
    EXPECT_FALSE(Matches("NAME = 'x'", cols, Row(cols, {"X", "", ""})));
    EXPECT_FALSE(Matches("NAME = 'x'", cols, Row(cols, {"xy", "", ""})));
    EXPECT_TRUE(Matches("CODE = 42 and CODE < 5", cols, row));  // a number compares as written
    EXPECT_TRUE(Matches("NOTE > 'ab' and NOTE < 'abd' and NOTE >= 'abc' and NOTE != ''", cols, row));
    EXPECT_TRUE(Matches("NOTE > 'ABC'", cols, row));
}

TEST(CriteriaCompare, MissingValues) {
    Columns cols{{"NAME", ORV_SQL_CHAR}, {"N", ORV_SQL_INT}};
    Row row(cols, {nullptr, nullptr});
    EXPECT_TRUE(Matches("NAME < ''", cols, row));
    EXPECT_TRUE(Matches("NAME != 'a'", cols, row));
    EXPECT_FALSE(Matches("NAME = ''", cols, row));
    EXPECT_FALSE(Matches("NAME >= ''", cols, row));
    EXPECT_FALSE(Matches("N = 0", cols, row));
    EXPECT_FALSE(Matches("N != 0", cols, row));
}

TEST(CriteriaNesting, GroupsNestUpToTheBound) {
    auto nested = [](int depth) {
        return std::string(static_cast<size_t>(depth), '(') + "a = 1" + std::string(static_cast<size_t>(depth), ')');
    };
    FilterNode* root = ParseCriteria(nested(kMaxCriteriaStack).c_str());
    ExpectComparison(root, "a", kOpEqual, "1");
    FreeCriteria(root);
    std::string error;
    EXPECT_EQ(ParseCriteria(nested(kMaxCriteriaStack + 1).c_str(), &error), nullptr);
    EXPECT_EQ(error, "nesting deeper than 10000");
    EXPECT_EQ(ParseCriteria(std::string(1000000, '(').c_str(), &error), nullptr);
    EXPECT_EQ(error, "nesting deeper than 10000");
}

TEST(CriteriaNesting, LongChainsNeedNoStack) {
    Columns cols{{"a", ORV_SQL_INT}};
    Row row(cols, {"1"});
    constexpr int kTerms = 100000;
    std::string mixed = "a = 1";
    std::string conjunction = "a = 1";
    for (int i = 1; i < kTerms; i++) {
        mixed += i % 2 ? " and a = 1" : " or a = 1";
        conjunction += " and a = 1";
    }
    EXPECT_TRUE(Matches(mixed.c_str(), cols, row));
    EXPECT_TRUE(Matches(conjunction.c_str(), cols, row));
    EXPECT_FALSE(Matches((conjunction + " and a = 2").c_str(), cols, row));
    // Left-deep: each group holds the expression before it.
    std::string left = std::string(5000, '(') + "a = 1";
    for (int i = 0; i < 5000; i++) left += ") and a = 1";
    EXPECT_TRUE(Matches(left.c_str(), cols, row));
    EXPECT_FALSE(Matches(("a = 2 or " + left + " and a = 2").c_str(), cols, row));
}

TEST(CriteriaRobustness, RandomBytesNeverCrash) {
    Columns cols{{"a", ORV_SQL_INT}, {"b", ORV_SQL_CHAR}, {"c", ORV_SQL_FLOAT}};
    Row row(cols, {"1", "x", "1.5"});
    const char alphabet[] = "abc()<>=!'. \t\n\r_-19andor\"\x80";
    std::mt19937 random(12345);
    for (int i = 0; i < 20000; i++) {
        std::string text;
        const int length = static_cast<int>(random() % 24);
        for (int j = 0; j < length; j++) {
            text += random() % 8 == 0 ? static_cast<char>(random() % 255 + 1)
                                      : alphabet[random() % (sizeof(alphabet) - 1)];
        }
        std::string error;
        FilterNode* root = ParseCriteria(text.c_str(), &error);
        EXPECT_EQ(root == nullptr, !error.empty()) << text;
        ResolveCriteriaColumns(cols.list(), root);
        EvaluateCriteria(row.get(), root);
        FreeCriteria(root);
    }
}

}  // namespace
}  // namespace orv::test
