#include "runtime/text_number.h"

#include <gtest/gtest.h>

#include <climits>

using runtime::TextToInt;

TEST(TextToInt, ReadsDigitsAfterBlanksAndASign) {
    EXPECT_EQ(TextToInt("42"), 42);
    EXPECT_EQ(TextToInt("  42"), 42);
    EXPECT_EQ(TextToInt("\t\r\n 7"), 7);
    EXPECT_EQ(TextToInt("-17"), -17);
    EXPECT_EQ(TextToInt(" +8"), 8);
    EXPECT_EQ(TextToInt("0"), 0);
    EXPECT_EQ(TextToInt("0000000000000000000000000042"), 42);  // many digits, small value
}

TEST(TextToInt, StopsAtTheFirstCharacterThatIsNotADigit) {
    EXPECT_EQ(TextToInt("12abc"), 12);
    EXPECT_EQ(TextToInt("3.9"), 3);
    EXPECT_EQ(TextToInt("-3.9"), -3);
    EXPECT_EQ(TextToInt("7 8"), 7);
    EXPECT_EQ(TextToInt("1024\xA1\xC1"), 1024);  // a GBK character after the number
}

TEST(TextToInt, EmptyOrNonNumericTextGivesZero) {
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("   "), 0);
    EXPECT_EQ(TextToInt("abc"), 0);
    EXPECT_EQ(TextToInt("-"), 0);
    EXPECT_EQ(TextToInt("--5"), 0);
    EXPECT_EQ(TextToInt("- 5"), 0);  // no blank between the sign and the digits
    EXPECT_EQ(TextToInt("x12"), 0);
    EXPECT_EQ(TextToInt("\xA3\xB1\xA3\xB2"), 0);  // full-width digits are not digits
}

TEST(TextToInt, ValuesBeyondTheIntRangeGiveTheNearestLimit) {
    EXPECT_EQ(TextToInt("2147483647"), INT_MAX);
    EXPECT_EQ(TextToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(TextToInt("2147483648"), INT_MAX);
    EXPECT_EQ(TextToInt("-2147483649"), INT_MIN);
    EXPECT_EQ(TextToInt("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(TextToInt("-99999999999999999999999999"), INT_MIN);
}
