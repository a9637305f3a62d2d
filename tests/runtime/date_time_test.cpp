// Dates and times of the expiry column: OLE dates, reading the texts people and the program write, and the
// text the program writes.
#include "runtime/date_time.h"

#include <gtest/gtest.h>

#include "catalogue/value_text.h"

using runtime::DateTimeFromText;
using runtime::DateTimeValue;
using runtime::ExpiryText;
using runtime::OleDateFromDateTime;

namespace {

DateTimeValue At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return DateTimeValue{year, month, day, hour, minute, second};
}

}  // namespace

// The values Microsoft documents for the OLE DATE type.
TEST(OleDateFromDateTime, GivesTheDocumentedValues) {
    EXPECT_EQ(OleDateFromDateTime(At(1899, 12, 30)), 0.0);
    EXPECT_EQ(OleDateFromDateTime(At(1899, 12, 31)), 1.0);
    EXPECT_EQ(OleDateFromDateTime(At(1900, 1, 1)), 2.0);
    EXPECT_EQ(OleDateFromDateTime(At(1900, 1, 1, 6)), 2.25);
    EXPECT_EQ(OleDateFromDateTime(At(1900, 1, 4)), 5.0);
    EXPECT_EQ(OleDateFromDateTime(At(1900, 1, 4, 12)), 5.5);
    EXPECT_EQ(OleDateFromDateTime(At(1900, 1, 4, 21)), 5.875);
    // 1900 is no leap year (for OLE, unlike a spreadsheet's day numbers).
    EXPECT_EQ(OleDateFromDateTime(At(1900, 3, 1)) - OleDateFromDateTime(At(1900, 2, 28)), 1.0);
    EXPECT_EQ(OleDateFromDateTime(At(2000, 3, 1)) - OleDateFromDateTime(At(2000, 2, 28)), 2.0);
    // 2025-01-01 is day 45658; 2025-07-03 is 183 days later; 14:05:09 is 50709 seconds into the day.
    EXPECT_EQ(OleDateFromDateTime(At(2025, 1, 1)), 45658.0);
    EXPECT_DOUBLE_EQ(OleDateFromDateTime(At(2025, 7, 3, 14, 5, 9)), 45841.0 + 50709.0 / 86400.0);
    EXPECT_DOUBLE_EQ(OleDateFromDateTime(At(9999, 12, 31, 23, 59, 59)), 2958465.0 + 86399.0 / 86400.0);
}

// Before 1899-12-30 the whole part is negative and the time of day is added to its magnitude.
TEST(OleDateFromDateTime, BeforeTheEpochTheTimeOfDayCountsAwayFromZero) {
    EXPECT_EQ(OleDateFromDateTime(At(1899, 12, 29)), -1.0);
    EXPECT_EQ(OleDateFromDateTime(At(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(OleDateFromDateTime(At(1899, 12, 28, 12)), -2.5);
    EXPECT_EQ(OleDateFromDateTime(At(1899, 12, 27)), -3.0);
    // The epoch day itself has a whole part of 0, so its times are positive.
    EXPECT_EQ(OleDateFromDateTime(At(1899, 12, 30, 18)), 0.75);
    EXPECT_EQ(OleDateFromDateTime(At(100, 1, 1)), -657434.0);
}

// The catalogue splits OLE dates with its own calendar arithmetic: both must agree everywhere.
TEST(OleDateFromDateTime, AgreesWithTheCatalogueSplittingItBack) {
    int checked = 0;
    for (int year = 100; year <= 9999; year += 7) {
        for (int month = 1; month <= 12; ++month) {
            const int day = 1 + (year + month * 3) % 28;
            const DateTimeValue value = At(year, month, day, (year + month) % 24, (year * 7) % 60, month * 4 % 60);
            const catalogue::DateParts parts = catalogue::SplitOleDate(OleDateFromDateTime(value));
            ASSERT_TRUE(parts.valid) << ExpiryText(value);
            ASSERT_EQ(At(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second), value)
                << ExpiryText(value);
            ++checked;
        }
    }
    // Month ends and leap days.
    for (const DateTimeValue& value : {At(2024, 2, 29, 23, 59, 59), At(2000, 2, 29), At(1600, 2, 29, 12),
                                       At(2023, 12, 31, 0, 0, 1), At(1899, 12, 29, 6)}) {
        const catalogue::DateParts parts = catalogue::SplitOleDate(OleDateFromDateTime(value));
        EXPECT_EQ(At(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second), value)
            << ExpiryText(value);
    }
    EXPECT_GT(checked, 10000);
}

TEST(DateTimeFromText, ReadsDatesWithAndWithoutATime) {
    DateTimeValue value;
    ASSERT_TRUE(DateTimeFromText("2025/7/3 14:05:09", value));
    EXPECT_EQ(value, At(2025, 7, 3, 14, 5, 9));
    ASSERT_TRUE(DateTimeFromText("2025/7/3", value));
    EXPECT_EQ(value, At(2025, 7, 3));  // midnight, not the time read before
    ASSERT_TRUE(DateTimeFromText("2025/07/03 14:05", value));
    EXPECT_EQ(value, At(2025, 7, 3, 14, 5, 0));
    ASSERT_TRUE(DateTimeFromText("2025-12-31 0:00:00", value));
    EXPECT_EQ(value, At(2025, 12, 31));
    ASSERT_TRUE(DateTimeFromText("  2024/2/29\t \t23:59:59 \t", value));
    EXPECT_EQ(value, At(2024, 2, 29, 23, 59, 59));
    // A 12-hour text without AM/PM: the hour as written.
    ASSERT_TRUE(DateTimeFromText("2025/7/3 2:05:09", value));
    EXPECT_EQ(value, At(2025, 7, 3, 2, 5, 9));
    ASSERT_TRUE(DateTimeFromText("2025/7/3 12:00", value));
    EXPECT_EQ(value, At(2025, 7, 3, 12, 0, 0));
    ASSERT_TRUE(DateTimeFromText("2000/2/29", value));
    EXPECT_EQ(value, At(2000, 2, 29));
}

TEST(DateTimeFromText, RefusesImpossibleDatesAndTimes) {
    DateTimeValue value = At(1999, 9, 9, 9, 9, 9);
    const DateTimeValue untouched = value;
    for (const char* text : {"2025/2/30", "2023/2/29", "1900/2/29", "2025/4/31", "2025/13/1", "2025/0/1", "2025/1/0",
                             "2025/1/32", "0099/1/1", "0000/1/1", "2025/7/3 24:00", "2025/7/3 23:60",
                             "2025/7/3 23:59:60", "2025/7/3 -1:00"}) {
        EXPECT_FALSE(DateTimeFromText(text, value)) << text;
    }
    EXPECT_EQ(value, untouched);
}

TEST(DateTimeFromText, RefusesOtherShapes) {
    DateTimeValue value = At(1999, 9, 9);
    const DateTimeValue untouched = value;
    for (const char* text : {"", "   ", "永久", "2025", "2025/7", "2025/7/", "25/7/3", "20251/7/3", "2025/007/3",
                             "2025/7/003", "2025/7-3", "2025-7/3", "2025.7.3", "2025/7/3x", "x2025/7/3",
                             "2025/7/3 14", "2025/7/3 14:", "2025/7/3 14:5", "2025/7/3 14:05:9", "2025/7/3 14:05:",
                             "2025/7/3 114:05", "2025/7/3 14:005", "2025/7/3 14:05:09 PM", "2025/7/3 下午2:05:09",
                             "2025/7/314:05", "2025/7/3T14:05:09", "2025/7/3 14:05:09:01", "2025/ 7/3",
                             "+2025/7/3", "\xA1\xA1" "2025/7/3"}) {
        EXPECT_FALSE(DateTimeFromText(text, value)) << text;
    }
    EXPECT_EQ(value, untouched);
}

TEST(ExpiryText, WritesTheDateUnpaddedAndTheTimeOnTheTwentyFourHourClock) {
    EXPECT_EQ(ExpiryText(At(2025, 7, 3, 14, 5, 9)), "2025/7/3 14:05:09");
    EXPECT_EQ(ExpiryText(At(2025, 12, 31)), "2025/12/31 00:00:00");
    EXPECT_EQ(ExpiryText(At(2026, 1, 1, 9, 0, 59)), "2026/1/1 09:00:59");
    EXPECT_EQ(ExpiryText(At(2024, 2, 29, 23, 59, 59)), "2024/2/29 23:59:59");
}

TEST(ExpiryText, ReadsBackAsTheSameValue) {
    for (const DateTimeValue& written : {At(2025, 7, 3, 14, 5, 9), At(2025, 1, 1), At(2000, 2, 29, 23, 59, 59),
                                         At(9999, 12, 31, 12, 30, 0), At(1601, 1, 1, 1, 2, 3)}) {
        DateTimeValue read;
        ASSERT_TRUE(DateTimeFromText(ExpiryText(written), read)) << ExpiryText(written);
        EXPECT_EQ(read, written);
    }
}
