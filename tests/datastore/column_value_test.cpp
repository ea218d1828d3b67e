// Column values from text and back, by type code: the number, boolean,
// date and copied-bytes rules and the stored widths.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datastore/column_value.h"
#include "datastore/type_codes.h"

namespace orv {
namespace {

/* Converts text and back; "(none)" when no value or no text comes out. */
std::string RoundTrip(const char* text, uint8_t type, int32_t* length = nullptr) {
    int32_t len = static_cast<int32_t>(strlen(text));
    void* value = ConvertStringToColumnValue(text, &len, type);
    if (length) *length = len;
    if (value == nullptr) return "(none)";
    char* back = ConvertColumnValueToString(value, type);
    std::string out = back ? back : "(none)";
    free(back);
    free(value);
    return out;
}

template <typename T>
T Stored(const char* text, uint8_t type) {
    int32_t len = 0;
    void* value = ConvertStringToColumnValue(text, &len, type);
    EXPECT_NE(value, nullptr);
    T out{};
    if (value) memcpy(&out, value, sizeof(T));
    free(value);
    return out;
}

TEST(ColumnValue, IntegersAcceptOnlySignAndDigits) {
    EXPECT_EQ(Stored<int32_t>("12a", ORV_SQL_INT), 0);
    EXPECT_EQ(Stored<int32_t>("-7", ORV_SQL_INT), -7);
    EXPECT_EQ(Stored<int32_t>("+7", ORV_SQL_INT), 7);
    EXPECT_EQ(Stored<int32_t>("7.5", ORV_SQL_INT), 0);
    EXPECT_EQ(Stored<int32_t>(" 7", ORV_SQL_INT), 0);
    EXPECT_EQ(Stored<int32_t>("", ORV_SQL_INT), 0);
    // Long digit strings wrap in the type's width instead of overflowing.
    EXPECT_EQ(Stored<uint32_t>("4294967297", ORV_SQL_UNSIGNED_INT), 1u);
    EXPECT_EQ(RoundTrip("99999999999999999999999999", ORV_SQL_BIGINT).empty(), false);
}

TEST(ColumnValue, StoredWidthsFollowTheOneTable) {
    const struct {
        uint8_t type;
        int32_t width;
    } cases[] = {{ORV_SQL_TINYINT, 1},  {ORV_SQL_UNSIGNED_TINYINT, 1},  {ORV_SQL_SMALLINT, 2},
                 {ORV_SQL_UNSIGNED_SMALLINT, 2}, {ORV_SQL_INT, 4}, {ORV_SQL_UNSIGNED_INT, 4},
                 {ORV_SQL_BIGINT, 8},   {ORV_SQL_UNSIGNED_LONG_INT, 8}, {ORV_SQL_FLOAT, 4},
                 {ORV_SQL_DOUBLE, 8},   {ORV_SQL_REAL, 4},              {ORV_SQL_BOOLEAN, 1},
                 {ORV_SQL_DATE, 11},    {ORV_SQL_DATETIME, 11}};
    for (const auto& c : cases) {
        int32_t length = -1;
        const char* text = c.type == ORV_SQL_BOOLEAN ? "true" : IsDateTimeType(c.type) ? "2024-02-29" : "1";
        RoundTrip(text, c.type, &length);
        EXPECT_EQ(length, c.width) << "type " << int(c.type);
        EXPECT_EQ(GetStoredWidth(c.type), c.width) << "type " << int(c.type);
    }
    int32_t length = 0;
    RoundTrip("hello", ORV_SQL_TEXT, &length);
    EXPECT_EQ(length, 5);
}

TEST(ColumnValue, SmallIntegersPrintWithTheirSign) {
    EXPECT_EQ(RoundTrip("-1", ORV_SQL_TINYINT), "-1");
    EXPECT_EQ(RoundTrip("255", ORV_SQL_UNSIGNED_TINYINT), "255");
    EXPECT_EQ(RoundTrip("-7", ORV_SQL_SMALLINT), "-7");
    EXPECT_EQ(RoundTrip("65535", ORV_SQL_UNSIGNED_SMALLINT), "65535");
    EXPECT_EQ(RoundTrip("4294967295", ORV_SQL_UNSIGNED_INT), "4294967295");
    EXPECT_EQ(RoundTrip("-2147483648", ORV_SQL_INT), "-2147483648");
}

TEST(ColumnValue, BigintsKeepAllDigits) {
    EXPECT_EQ(RoundTrip("9000000000", ORV_SQL_BIGINT), "9000000000");
    EXPECT_EQ(RoundTrip("-9000000000", ORV_SQL_BIGINT), "-9000000000");
    EXPECT_EQ(RoundTrip("-9223372036854775808", ORV_SQL_BIGINT), "-9223372036854775808");
    EXPECT_EQ(RoundTrip("18446744073709551615", ORV_SQL_UNSIGNED_LONG_INT), "18446744073709551615");
}

TEST(ColumnValue, FloatsTakeSignDigitsAndAFraction) {
    EXPECT_FLOAT_EQ(Stored<float>("1.25", ORV_SQL_FLOAT), 1.25f);
    EXPECT_FLOAT_EQ(Stored<float>("-0.5", ORV_SQL_REAL), -0.5f);
    EXPECT_FLOAT_EQ(Stored<float>("1e3", ORV_SQL_FLOAT), 0.0f);
    EXPECT_FLOAT_EQ(Stored<float>("1.5 ", ORV_SQL_FLOAT), 0.0f);
    EXPECT_DOUBLE_EQ(Stored<double>("2.75", ORV_SQL_DOUBLE), 2.75);
    EXPECT_EQ(RoundTrip("1.25", ORV_SQL_FLOAT), "1.250000");
    EXPECT_EQ(RoundTrip("3", ORV_SQL_DOUBLE), "3.000000");
    // A huge value prints whole ("%f" of 1e38 has 39 digits before the point).
    std::string big = RoundTrip("100000000000000000000000000000000000000", ORV_SQL_FLOAT);
    EXPECT_GT(big.size(), 39u);
}

TEST(ColumnValue, BooleansAreTrueOrFalseInAnyCase) {
    EXPECT_EQ(Stored<uint8_t>("true", ORV_SQL_BOOLEAN), 1);
    EXPECT_EQ(Stored<uint8_t>("True", ORV_SQL_BOOLEAN), 1);
    EXPECT_EQ(Stored<uint8_t>("FALSE", ORV_SQL_BOOLEAN), 0);
    EXPECT_EQ(RoundTrip("yes", ORV_SQL_BOOLEAN), "(none)");
    EXPECT_EQ(RoundTrip("TRUE", ORV_SQL_BOOLEAN), "'t'");
    EXPECT_EQ(RoundTrip("false", ORV_SQL_BOOLEAN), "'f'");
}

TEST(ColumnValue, DatesAreOneBlockThatCopiesWhole) {
    EXPECT_EQ(RoundTrip("2024-02-29 23:59:58", ORV_SQL_DATETIME), "2024-02-29 23:59:58");
    EXPECT_EQ(RoundTrip("2024-02-29", ORV_SQL_DATE), "2024-02-29 00:00:00");
    EXPECT_EQ(RoundTrip("12:30:00", ORV_SQL_TIME), "0000-00-00 12:30:00");
    EXPECT_EQ(RoundTrip("tomorrow", ORV_SQL_DATE), "(none)");

    int32_t len = 0;
    void* value = ConvertStringToColumnValue("2001-02-03 04:05:06", &len, ORV_SQL_DATETIME);
    ASSERT_NE(value, nullptr);
    void* copy = CopyColumnValue(value, len, ORV_SQL_DATETIME);
    free(value);  // the copy must not point into the freed block
    ASSERT_NE(copy, nullptr);
    char* text = ConvertColumnValueToString(copy, ORV_SQL_DATETIME);
    EXPECT_STREQ(text, "2001-02-03 04:05:06");
    free(text);
    free(copy);
}

TEST(ColumnValue, TextsAndBytesAreCopied) {
    EXPECT_EQ(RoundTrip("hello world", ORV_SQL_CHAR), "hello world");
    EXPECT_EQ(RoundTrip("", ORV_SQL_TEXT), "");
    // Copied types take exactly the length given and add a zero byte.
    int32_t len = 3;
    char* value = static_cast<char*>(ConvertStringToColumnValue("abcdef", &len, ORV_SQL_BLOB));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(len, 3);
    EXPECT_STREQ(value, "abc");
    char* text = ConvertColumnValueToString(value, ORV_SQL_BLOB);
    EXPECT_STREQ(text, "abc");
    free(text);
    free(value);
    len = -1;
    EXPECT_EQ(ConvertStringToColumnValue("abc", &len, ORV_SQL_BLOB), nullptr);
    // Codes above the table are kept as texts but print as nothing.
    EXPECT_EQ(RoundTrip("x", 23), "(none)");
    EXPECT_EQ(RoundTrip("x", ORV_SQL_NOT_SUPPORTED_TYPE), "(none)");
}

TEST(ColumnValue, MissingInputGivesNoValueAndNullPrintsAsNULL) {
    int32_t len = 0;
    EXPECT_EQ(ConvertStringToColumnValue(nullptr, &len, ORV_SQL_INT), nullptr);
    char* text = ConvertColumnValueToString(nullptr, ORV_SQL_INT);
    EXPECT_STREQ(text, "NULL");
    free(text);
}

}  // namespace
}  // namespace orv
