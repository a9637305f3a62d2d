// Values turned into text as ReadText returns them.
#include "catalogue/value_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace catalogue {
namespace {

std::string text(const jet::Value& value) { return jet::toUtf8(ValueText(value)); }

TEST(ValueText, EachTypeAsTheRecordsetShowsIt) {
    EXPECT_EQ(text(jet::Value{}), "");
    EXPECT_EQ(text(std::u16string(u"\u6211 it's")), "\xE6\x88\x91 it's");
    EXPECT_EQ(text(int64_t{-2147483648LL}), "-2147483648");
    EXPECT_EQ(text(true), "True");
    EXPECT_EQ(text(false), "False");
    EXPECT_EQ(text(0.1), "0.1");
    EXPECT_EQ(text(-2.5), "-2.5");
    EXPECT_EQ(text(1e20), "1E+20");
    EXPECT_EQ(text(jet::Currency{123456789}), "12345.6789");
    EXPECT_EQ(text(jet::Currency{-5}), "-0.0005");
    EXPECT_EQ(text(jet::Currency{30000}), "3");
    EXPECT_EQ(text(jet::Bytes{0x41, 0x42}), "");

    // 2026-12-01 noon; midnight shows the date alone, day 0 the time alone.
    EXPECT_EQ(text(jet::DateTime{46357.5}), "2026/12/1 12:00:00");
    EXPECT_EQ(text(jet::DateTime{36526.0}), "2000/1/1");
    EXPECT_EQ(text(jet::DateTime{0.25}), "6:00:00");
    EXPECT_EQ(text(jet::DateTime{0.0}), "1899/12/30");
    EXPECT_EQ(text(jet::DateTime{1e12}), "");  // no such date

    jet::Guid guid;
    for (int i = 0; i < 16; ++i) guid.bytes[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(text(guid), "{03020100-0504-0706-0809-0A0B0C0D0E0F}");
}

TEST(ValueText, NumericMagnitudesOfEveryWidth) {
    jet::Numeric n;
    n.scale = 2;
    n.magnitude[15] = 0x00;
    n.magnitude[12] = 0x39;  // last word, little-endian: 12345
    n.magnitude[13] = 0x30;
    EXPECT_EQ(NumericText(n), "123.45");
    n.negative = true;
    n.scale = 6;
    EXPECT_EQ(NumericText(n), "-0.012345");
    // 2^96 (the most significant word holds 1): 79228162514264337593543950336.
    jet::Numeric big;
    big.magnitude[0] = 1;
    EXPECT_EQ(NumericText(big), "79228162514264337593543950336");
    // Zero is never negative.
    jet::Numeric zero;
    zero.negative = true;
    zero.scale = 2;
    EXPECT_EQ(NumericText(zero), "0.00");
}

TEST(ValueText, OleDatesSplitIntoCalendarParts) {
    // Day 60 is 1900-02-28 and day 61 is 1900-03-01: OLE dates have no 29 February 1900.
    DateParts d = SplitOleDate(60.0);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 19000228);
    d = SplitOleDate(61.0);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 19000301);
    // Before day 0 the fraction still counts forward from midnight: -1.25 is 1899-12-29 06:00.
    d = SplitOleDate(-1.25);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 18991229);
    EXPECT_EQ(d.hour, 6);
    // Rounding to the second carries into the next day.
    d = SplitOleDate(1.9999999);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 19000101);
    EXPECT_EQ(d.hour * 3600 + d.minute * 60 + d.second, 0);
    d = SplitOleDate(2958465.0);
    EXPECT_TRUE(d.valid);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 99991231);
    EXPECT_FALSE(SplitOleDate(2958466.0).valid);
    EXPECT_FALSE(SplitOleDate(-1e9).valid);
    EXPECT_FALSE(SplitOleDate(std::nan("")).valid);
}

}  // namespace
}  // namespace catalogue
