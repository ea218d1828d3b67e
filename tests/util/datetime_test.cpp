// Date and time values: text forms, the shape rule of the three parsers,
// fields kept without range checks, and the comparison.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "tests/util/datetime_test_support.h"
#include "util/datetime.h"
#include "util/datetime_parse.h"

namespace orv {
namespace {

using test::DateTimePtr;
using test::Text;

TEST(DateTimeText, FormsByPartsPresent) {
    DateTimePtr full(CreateOrvDateTime(2024, 3, 5, 4, 7, 9));
    EXPECT_EQ(Text(full.get()), "2024-03-05 04:07:09");

    OrvDateTime dateOnly{full->date, nullptr};
    OrvDateTime timeOnly{nullptr, full->time};
    OrvDateTime neither{nullptr, nullptr};
    EXPECT_EQ(Text(&dateOnly), "2024-03-05");
    EXPECT_EQ(Text(&timeOnly), "04:07:09");
    EXPECT_EQ(Text(&neither), "<null>");
    EXPECT_EQ(Text(nullptr), "<null>");
    EXPECT_EQ(OrvDateToString(nullptr), nullptr);
    EXPECT_EQ(OrvTimeToString(nullptr), nullptr);
}

TEST(DateTimeText, FieldsKeepLowBitsWithoutRangeChecks) {
    DateTimePtr v(CreateOrvDateTime(70000, 13, 300, 25, 61, 99));
    // 70000 keeps its low 16 bits (4464); 300 its low 8 bits (44).
    EXPECT_EQ(Text(v.get()), "4464-13-44 25:61:99");
    DateTimePtr small(CreateOrvDateTime(5, 1, 2, 0, 0, 0));
    EXPECT_EQ(Text(small.get()), "0005-01-02 00:00:00");
    DateTimePtr widest(CreateOrvDateTime(65535, 255, 255, 255, 255, 255));
    EXPECT_EQ(Text(widest.get()), "65535-255-255 255:255:255");
}

TEST(DateTimeParse, FullTextRoundTrips) {
    DateTimePtr v(ConvertStringToOrvDateTime("2024-02-29 23:59:59"));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Text(v.get()), "2024-02-29 23:59:59");
}

TEST(DateTimeParse, DateAloneGetsMidnightOrNoTimePart) {
    DateTimePtr full(ConvertStringToOrvDateTime("2024-2-9"));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(Text(full.get()), "2024-02-09 00:00:00");

    DateTimePtr gen(ConvertStringToOrvGenDateTime("2024-2-9"));
    ASSERT_NE(gen, nullptr);
    EXPECT_EQ(gen->time, nullptr);
    EXPECT_EQ(Text(gen.get()), "2024-02-09");
}

TEST(DateTimeParse, TimeAloneGetsZeroDateOrNoDatePart) {
    DateTimePtr full(ConvertStringToOrvDateTime("12:30"));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(Text(full.get()), "0000-00-00 12:30:00");

    DateTimePtr gen(ConvertStringToOrvGenDateTime("12:30"));
    ASSERT_NE(gen, nullptr);
    EXPECT_EQ(gen->date, nullptr);
    EXPECT_EQ(Text(gen.get()), "12:30:00");
}

TEST(DateTimeParse, TextWithoutDashOrColonGivesNone) {
    EXPECT_EQ(ConvertStringToOrvDateTime("20240229"), nullptr);
    EXPECT_EQ(ConvertStringToOrvGenDateTime("20240229"), nullptr);
    EXPECT_EQ(ConvertStringToOrvValue("20240229"), nullptr);
    EXPECT_EQ(ConvertStringToOrvDateTime(nullptr), nullptr);
    EXPECT_EQ(ConvertStringToOrvGenDateTime(nullptr), nullptr);
    EXPECT_EQ(ConvertStringToOrvValue(nullptr), nullptr);
}

TEST(DateTimeParse, OutOfRangeTimeIsStoredUnchanged) {
    DateTimePtr v(ConvertStringToOrvGenDateTime("25:61:99"));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Text(v.get()), "25:61:99");
}

TEST(DateTimeParse, ShapeIsDecidedByDashAndColonAnywhere) {
    // A colon anywhere makes it a date-time text; reading stops at the
    // first piece that does not fit, the rest stays 0.
    DateTimePtr stopped(ConvertStringToOrvDateTime("2024-05 note: x"));
    ASSERT_NE(stopped, nullptr);
    EXPECT_EQ(Text(stopped.get()), "2024-05-00 00:00:00");

    // A dash with no numbers at all still gives a (zero) date.
    DateTimePtr empty(ConvertStringToOrvGenDateTime("a-b"));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(Text(empty.get()), "0000-00-00");

    // Leading blanks are skipped and signs are read like the runtime does;
    // a negative number keeps its low bits.
    DateTimePtr signedDay(ConvertStringToOrvDateTime("  2024-+3--1"));
    ASSERT_NE(signedDay, nullptr);
    EXPECT_EQ(signedDay->date->month, 3);
    EXPECT_EQ(signedDay->date->day, 255);

    EXPECT_EQ(GetDateTimeTextShape("1:2-3"), OrvTextShape::kDateTime);
    EXPECT_EQ(GetDateTimeTextShape("1-2"), OrvTextShape::kDate);
    EXPECT_EQ(GetDateTimeTextShape("1:2"), OrvTextShape::kTime);
    EXPECT_EQ(GetDateTimeTextShape("12"), OrvTextShape::kNeither);
}

TEST(DateTimeParse, ValueParserReturnsTheRecordOfTheShape) {
    auto* date = static_cast<OrvDate*>(ConvertStringToOrvValue("2024-1-2"));
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->year * 10000 + date->month * 100 + date->day, 20240102);
    std::free(date);
    auto* time = static_cast<OrvTime*>(ConvertStringToOrvValue("3:4:5"));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->hour * 10000 + time->minute * 100 + time->second, 30405);
    std::free(time);
    DateTimePtr full(static_cast<OrvDateTime*>(ConvertStringToOrvValue("2024-1-2 3:4:5")));
    EXPECT_EQ(Text(full.get()), "2024-01-02 03:04:05");
}

TEST(DateTimeCompare, LaterByFirstDifferingField) {
    DateTimePtr later(ConvertStringToOrvDateTime("2024-01-01 00:00:01"));
    DateTimePtr earlier(ConvertStringToOrvDateTime("2024-01-01 00:00:00"));
    DateTimePtr same(ConvertStringToOrvDateTime("2024-01-01 00:00:00"));
    EXPECT_TRUE(IsLaterDateTime(later.get(), earlier.get()));
    EXPECT_FALSE(IsLaterDateTime(earlier.get(), later.get()));
    EXPECT_FALSE(IsLaterDateTime(earlier.get(), same.get()));

    // The year decides before the seconds.
    DateTimePtr nextYear(ConvertStringToOrvDateTime("2025-01-01 00:00:00"));
    DateTimePtr lateInYear(ConvertStringToOrvDateTime("2024-12-31 23:59:59"));
    EXPECT_TRUE(IsLaterDateTime(nextYear.get(), lateInYear.get()));

    DateTimePtr dateOnly(ConvertStringToOrvGenDateTime("2030-1-1"));
    EXPECT_FALSE(IsLaterDateTime(dateOnly.get(), earlier.get()));
    EXPECT_FALSE(IsLaterDateTime(nullptr, earlier.get()));
    EXPECT_FALSE(IsLaterDateTime(later.get(), nullptr));
}

TEST(DateTimeClock, CurrentValuesMatchTheSystemClock) {
    std::time_t before = std::time(nullptr);
    uint32_t seconds = GetCurrentSeconds();
    DateTimePtr now(GetCurrentOrvDateTime());
    std::time_t after = std::time(nullptr);
    EXPECT_GE(seconds, static_cast<uint32_t>(before));
    EXPECT_LE(seconds, static_cast<uint32_t>(after));
    std::tm local{};
    localtime_r(&after, &local);
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->date->year, local.tm_year + 1900);
    EXPECT_EQ(now->date->month, local.tm_mon + 1);
}

}  // namespace
}  // namespace orv
