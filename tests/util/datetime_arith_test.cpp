// Date-time arithmetic and the text scanner it reads with. Time zone UTC,
// so the normalisation has no daylight-saving shifts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "tests/util/datetime_test_support.h"
#include "util/datetime.h"
#include "util/datetime_arith.h"
#include "util/datetime_parse.h"
#include "util/datetime_scan.h"

namespace orv {
namespace {

using test::DateTimePtr;
using test::Text;

class UtcTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

// The text after adding (sign > 0) or subtracting an amount of a unit.
std::string Shifted(const char* start, uint32_t amount, int32_t unit, int sign = 1) {
    DateTimePtr v(ConvertStringToOrvGenDateTime(start));
    EXPECT_NE(v, nullptr);
    OrvDateTime* r = sign > 0 ? AddToOrvDateTime(v.get(), amount, unit)
                              : SubtractFromOrvDateTime(v.get(), amount, unit);
    EXPECT_EQ(r, v.get());
    return Text(v.get());
}

TEST(DateTimeScan, ReadsThePatternIntoBrokenDownTime) {
    std::tm tm{};
    const char* text = "2024-02-29 23:58:59 rest";
    const char* end = ScanDateTimeText(text, kOrvDateTimePattern, &tm);
    ASSERT_NE(end, nullptr);
    EXPECT_STREQ(end, " rest");
    EXPECT_EQ(tm.tm_year, 124);
    EXPECT_EQ(tm.tm_mon, 1);
    EXPECT_EQ(tm.tm_mday, 29);
    EXPECT_EQ(tm.tm_hour, 23);
    EXPECT_EQ(tm.tm_min, 58);
    EXPECT_EQ(tm.tm_sec, 59);
}

TEST(DateTimeScan, ChecksShapeNotCalendar) {
    std::tm tm{};
    ASSERT_NE(ScanDateTimeText(" 65535-13-255  25:61:99", kOrvDateTimePattern, &tm), nullptr);
    EXPECT_EQ(tm.tm_year, 65535 - 1900);
    EXPECT_EQ(tm.tm_mon, 12);
    EXPECT_EQ(tm.tm_mday, 255);
    EXPECT_EQ(tm.tm_hour, 25);
    EXPECT_EQ(tm.tm_sec, 99);

    EXPECT_EQ(ScanDateTimeText("2024-02-29", kOrvDateTimePattern, &tm), nullptr);
    EXPECT_EQ(ScanDateTimeText("12:30:00", kOrvDateTimePattern, &tm), nullptr);
    EXPECT_EQ(ScanDateTimeText("2024/02/29 1:2:3", kOrvDateTimePattern, &tm), nullptr);
    EXPECT_EQ(ScanDateTimeText("2024--2-29 1:2:3", kOrvDateTimePattern, &tm), nullptr);
    EXPECT_EQ(ScanDateTimeText("2024", "%Q", &tm), nullptr);
    EXPECT_EQ(ScanDateTimeText("2024", "%", &tm), nullptr);
    EXPECT_NE(ScanDateTimeText("50%", "%d%%", &tm), nullptr);
    EXPECT_EQ(tm.tm_mday, 50);
}

TEST_F(UtcTest, SubSecondUnitsAddWholeSecondsOnly) {
    EXPECT_EQ(Shifted("2024-01-01 00:00:00", 999, kOrvMilliseconds), "2024-01-01 00:00:00");
    EXPECT_EQ(Shifted("2024-01-01 00:00:00", 1999, kOrvMilliseconds), "2024-01-01 00:00:01");
    EXPECT_EQ(Shifted("2024-01-01 00:00:00", 3999999, kOrvMicroseconds), "2024-01-01 00:00:03");
    EXPECT_EQ(Shifted("2024-01-01 00:00:00", 4294967295u, kOrvNanoseconds),
              "2024-01-01 00:00:04");
}

TEST_F(UtcTest, OverflowsCarryIntoHigherFields) {
    EXPECT_EQ(Shifted("2024-12-31 23:59:59", 1, kOrvSeconds), "2025-01-01 00:00:00");
    EXPECT_EQ(Shifted("2024-02-28 23:30:00", 45, kOrvMinutes), "2024-02-29 00:15:00");
    EXPECT_EQ(Shifted("2023-02-28 23:00:00", 1, kOrvHours), "2023-03-01 00:00:00");
    EXPECT_EQ(Shifted("2024-12-25 10:00:00", 10, kOrvDays), "2025-01-04 10:00:00");
    EXPECT_EQ(Shifted("2024-02-22 10:00:00", 2, kOrvWeeks), "2024-03-07 10:00:00");
}

TEST_F(UtcTest, MonthAndDayOverflowAreCarriedByNormalisation) {
    // 31 February does not exist: it becomes 2 March.
    EXPECT_EQ(Shifted("2024-01-31 08:00:00", 1, kOrvMonths), "2024-03-02 08:00:00");
    EXPECT_EQ(Shifted("2024-11-15 08:00:00", 14, kOrvMonths), "2026-01-15 08:00:00");
    EXPECT_EQ(Shifted("2024-03-31 08:00:00", 1, kOrvMonths, -1), "2024-03-02 08:00:00");
    EXPECT_EQ(Shifted("2024-01-15 08:00:00", 13, kOrvMonths, -1), "2022-12-15 08:00:00");
}

TEST_F(UtcTest, SubtractionBorrowsFromHigherFields) {
    EXPECT_EQ(Shifted("2024-03-01 00:00:00", 1, kOrvSeconds, -1), "2024-02-29 23:59:59");
    EXPECT_EQ(Shifted("2024-01-01 00:10:00", 20, kOrvMinutes, -1), "2023-12-31 23:50:00");
    EXPECT_EQ(Shifted("2024-01-07 12:00:00", 1, kOrvWeeks, -1), "2023-12-31 12:00:00");
}

TEST_F(UtcTest, OnlyTheLowEightBitsOfTheUnitCount) {
    EXPECT_EQ(Shifted("2024-01-31 08:00:00", 1, 0x100 + kOrvMonths), "2024-03-02 08:00:00");
    // An unknown unit changes nothing but the normalisation, which corrects
    // fields out of calendar range.
    EXPECT_EQ(Shifted("2024-01-01 08:00:00", 5, 42), "2024-01-01 08:00:00");
    DateTimePtr v(CreateOrvDateTime(2024, 1, 1, 25, 61, 99));
    AddToOrvDateTime(v.get(), 0, 0);
    EXPECT_EQ(Text(v.get()), "2024-01-02 02:02:39");
}

TEST_F(UtcTest, LargestAmountsAreExact) {
    // 2^32 - 1 seconds after 2024-01-01 00:00:00 and back again.
    EXPECT_EQ(Shifted("2024-01-01 00:00:00", 4294967295u, kOrvSeconds), "2160-02-07 06:28:15");
    EXPECT_EQ(Shifted("2160-02-07 06:28:15", 4294967295u, kOrvSeconds, -1),
              "2024-01-01 00:00:00");
    // Minutes: 4294967295 = 2982616 days 3 h 15 min.
    DateTimePtr m(ConvertStringToOrvDateTime("2024-01-01 00:00:00"));
    AddToOrvDateTime(m.get(), 4294967295u, kOrvMinutes);
    SubtractFromOrvDateTime(m.get(), 4294967295u, kOrvMinutes);
    EXPECT_EQ(Text(m.get()), "2024-01-01 00:00:00");
    // Months: 357913941 years and 3 months; the year keeps its low 16 bits.
    DateTimePtr mo(ConvertStringToOrvDateTime("2024-01-15 00:00:00"));
    AddToOrvDateTime(mo.get(), 4294967295u, kOrvMonths);
    EXPECT_EQ(mo->date->year, static_cast<uint16_t>(2024u + 357913941u));
    EXPECT_EQ(mo->date->month, 4);
    EXPECT_EQ(mo->date->day, 15);
}

TEST_F(UtcTest, HugeWeekCountMatchesTheCivilCalendar) {
    // 7 * (2^32 - 1) days: far beyond int in days; the year keeps 16 bits.
    // Expected by the proleptic Gregorian day count.
    auto daysFromCivil = [](int64_t y, int64_t m, int64_t d) {
        y -= m <= 2;
        int64_t era = (y >= 0 ? y : y - 399) / 400;
        int64_t yoe = y - era * 400;
        int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    };
    int64_t z = daysFromCivil(2024, 1, 1) + 7 * int64_t{4294967295} + 719468;
    int64_t era = z / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1;
    int64_t month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = yoe + era * 400 + (month <= 2);

    DateTimePtr v(ConvertStringToOrvDateTime("2024-01-01 12:34:56"));
    AddToOrvDateTime(v.get(), 4294967295u, kOrvWeeks);
    EXPECT_EQ(v->date->year, static_cast<uint16_t>(year));
    EXPECT_EQ(v->date->month, month);
    EXPECT_EQ(v->date->day, day);
    EXPECT_EQ(v->time->hour, 12);
    EXPECT_EQ(v->time->minute, 34);
    EXPECT_EQ(v->time->second, 56);
}

TEST_F(UtcTest, DateOnlyValueMovesByWholeDays) {
    EXPECT_EQ(Shifted("2024-01-31", 1, kOrvDays), "2024-02-01");
    EXPECT_EQ(Shifted("2024-01-31", 23, kOrvHours), "2024-01-31");
    EXPECT_EQ(Shifted("2024-01-31", 24, kOrvHours), "2024-02-01");
    EXPECT_EQ(Shifted("2024-03-01", 1, kOrvSeconds, -1), "2024-02-29");
    DateTimePtr v(ConvertStringToOrvGenDateTime("2024-01-31"));
    AddToOrvDateTime(v.get(), 5, kOrvHours);
    EXPECT_EQ(v->time, nullptr);  // no time part is made
}

TEST_F(UtcTest, ValueWithoutDateIsLeftUnchanged) {
    EXPECT_EQ(Shifted("23:00:00", 2, kOrvHours), "23:00:00");
    OrvDateTime neither{nullptr, nullptr};
    EXPECT_EQ(AddToOrvDateTime(&neither, 1, kOrvDays), &neither);
    EXPECT_EQ(AddToOrvDateTime(nullptr, 1, kOrvDays), nullptr);
    EXPECT_EQ(SubtractFromOrvDateTime(nullptr, 1, kOrvDays), nullptr);
}

}  // namespace
}  // namespace orv
