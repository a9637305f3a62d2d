// Text key codes of the General sort order, and the key pieces built on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "jet/error.h"
#include "jet/general_sort.h"
#include "jet/index.h"

namespace {

using jet::general_sort::encodeText;
using Bytes = std::vector<uint8_t>;

Bytes codes(const char* ascii) {
    std::u16string text;
    for (const char* p = ascii; *p; ++p) text.push_back(char16_t(static_cast<unsigned char>(*p)));
    return encodeText(text);
}

std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TEST(GeneralSort, LettersFoldCaseAndEndWithTheTwoMarkers) {
    // "MSysDb" as the Jet engine wrote it in the ParentIdName index of an empty database.
    EXPECT_EQ(codes("MSysDb"), (Bytes{0x60, 0x6B, 0x76, 0x6B, 0x4F, 0x4C, 0x01, 0x00}));
    EXPECT_EQ(codes("MSYSDB"), codes("msysdb"));
    EXPECT_EQ(codes("Tables"), codes("tABLES"));
    EXPECT_EQ(codes(""), (Bytes{0x01, 0x00}));
    for (char c = 'a'; c <= 'z'; ++c) {
        char lower[2] = {c, 0}, upper[2] = {char(c - 32), 0};
        EXPECT_EQ(codes(lower), codes(upper)) << c;
    }
}

TEST(GeneralSort, CodesFollowTheCollatingSequence) {
    // Within each group the codes rise with the characters; space sorts before punctuation, punctuation
    // before digits, digits before letters.
    auto first = [](char c) { char s[2] = {c, 0}; return codes(s)[0]; };
    for (char c = 'A'; c < 'Z'; ++c) EXPECT_LT(first(c), first(char(c + 1))) << c;
    for (char c = '0'; c < '9'; ++c) EXPECT_LT(first(c), first(char(c + 1))) << c;
    EXPECT_LT(first(' '), first('!'));
    EXPECT_LT(first('/'), first('0'));
    EXPECT_LT(first('9'), first('A'));
    // Shorter text that is a prefix of longer text sorts first.
    EXPECT_LT(codes("web"), codes("web1"));
    EXPECT_LT(codes("a b"), codes("ab"));
}

TEST(GeneralSort, HyphenAndApostropheSortAsIfAbsent) {
    // They leave no code in place; after the text come three more 0x01 and, per character, a position
    // marker 0x8000 | (7 + 4 * characters before it), 0x06 and the character's code (0x82 '-', 0x80 '\'').
    EXPECT_EQ(codes("a-b"), (Bytes{0x4A, 0x4C, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06, 0x82, 0x00}));
    EXPECT_EQ(codes("'x"), (Bytes{0x75, 0x01, 0x01, 0x01, 0x01, 0x80, 0x07, 0x06, 0x80, 0x00}));
    EXPECT_EQ(codes("a-b-c"), (Bytes{0x4A, 0x4C, 0x4D, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06, 0x82, 0x80,
                                     0x0F, 0x06, 0x82, 0x00}));
    // So "web01" sorts just before "web-01", and both before "web02".
    EXPECT_LT(codes("web01"), codes("web-01"));
    EXPECT_LT(codes("web-01"), codes("web02"));
}

TEST(GeneralSort, EveryPrintableAsciiCharacterIsEncodedAndOthersAreRefused) {
    for (char16_t c = 0x20; c <= 0x7E; ++c) {
        EXPECT_TRUE(jet::general_sort::canEncode(c));
        Bytes b = encodeText(std::u16string(1, c));
        EXPECT_EQ(b.back(), 0x00);
        EXPECT_GE(b.size(), 3u);
    }
    for (char16_t c : {char16_t(0x09), char16_t(0x7F), char16_t(0xE9), char16_t(0x4E2D), char16_t(0xD800)}) {
        EXPECT_FALSE(jet::general_sort::canEncode(c));
        try {
            encodeText(u"ab" + std::u16string(1, c));
            ADD_FAILURE() << "no error for " << int(c);
        } catch (const jet::Error& e) {
            char expected[40];
            std::snprintf(expected, sizeof expected, "cannot index the character U+%04X", unsigned(c));
            EXPECT_STREQ(e.what(), expected);
        }
    }
}

TEST(GeneralSort, OnlyTheFirst255CharactersCount) {
    std::u16string longText(300, u'x');
    std::u16string cut(255, u'x');
    EXPECT_EQ(encodeText(longText), encodeText(cut));
    EXPECT_EQ(encodeText(cut).size(), 257u);
}

TEST(KeyPieces, LongValuesSortAsSignedNumbersAndDescendingReverses) {
    using jet::index::encodeLongKey;
    // ParentId 0x0F000000 as the Jet engine wrote it.
    EXPECT_EQ(encodeLongKey(0x0F000000), (Bytes{0x7F, 0x8F, 0x00, 0x00, 0x00}));
    EXPECT_EQ(encodeLongKey(-1), (Bytes{0x7F, 0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(encodeLongKey(std::nullopt), (Bytes{0x00}));
    EXPECT_EQ(encodeLongKey(std::nullopt, false), (Bytes{0xFF}));
    EXPECT_EQ(encodeLongKey(5, false), (Bytes{0x80, 0x7F, 0xFF, 0xFF, 0xFA}));

    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        int32_t a = int32_t(rng()), b = int32_t(rng());
        if (i % 3 == 0) b = a + int32_t(rng() % 5) - 2;
        if (a == b) continue;
        EXPECT_EQ(a < b, encodeLongKey(a) < encodeLongKey(b)) << a << " " << b;
        EXPECT_EQ(a < b, encodeLongKey(a, false) > encodeLongKey(b, false)) << a << " " << b;
        // Null sorts before every value ascending, after every value descending.
        EXPECT_LT(encodeLongKey(std::nullopt), encodeLongKey(a));
        EXPECT_GT(encodeLongKey(std::nullopt, false), encodeLongKey(a, false));
    }
}

TEST(KeyPieces, TextDescendingInvertsTheBodyAndAddsAClosingZero) {
    using jet::index::encodeTextKey;
    EXPECT_EQ(encodeTextKey(u16("ab")), (Bytes{0x7F, 0x4A, 0x4C, 0x01, 0x00}));
    EXPECT_EQ(encodeTextKey(u16("ab"), false), (Bytes{0x80, 0xB5, 0xB3, 0xFE, 0xFF, 0x00}));
    EXPECT_EQ(encodeTextKey(std::nullopt), (Bytes{0x00}));
    EXPECT_EQ(encodeTextKey(std::nullopt, false), (Bytes{0xFF}));

    // Random printable text: descending keys sort in the reverse order of ascending ones.
    std::mt19937 rng(11);
    auto randomText = [&] {
        std::string s;
        size_t n = rng() % 12;
        for (size_t i = 0; i < n; ++i) s.push_back(char(0x20 + rng() % 95));
        return u16(s);
    };
    for (int i = 0; i < 3000; ++i) {
        std::u16string a = randomText(), b = randomText();
        auto ascA = encodeTextKey(a), ascB = encodeTextKey(b);
        if (ascA == ascB) continue;
        EXPECT_EQ(ascA < ascB, encodeTextKey(a, false) > encodeTextKey(b, false));
    }
}

}  // namespace
