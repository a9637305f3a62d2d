#include "runtime/pinyin.h"

#include <gtest/gtest.h>

#include <string>

using runtime::MakePinyinKey;
using runtime::MatchesPinyin;

TEST(Pinyin, MatchesRunsOfCharactersByInitialsLettersAndThemselves) {
    const std::string as70 = std::string(70, 'a') + "北京", as69 = std::string(69, 'a');
    struct Case {
        std::string text, query;
        bool matches;
    } cases[] = {
        {"北京01", "bj", true},
        {"北京01", "bj01", true},
        {"北京01", "j0", true},
        {"北京01", "BJ", true},       // either case on both sides
        {"上海-电信", "sh", true},
        {"上海-电信", "h-dx", true},  // punctuation matches itself
        {"上海-电信", "hd", false},   // the run must be consecutive
        {"北京01", "jb", false},
        {"北京01", "bjx", false},
        {"长沙", "cs", true},         // 长 cháng or zhǎng
        {"长沙", "zs", true},
        {"厦门", "xm", true},         // 厦 xià or shà
        {"厦门", "sm", true},
        {"绿色", "ls", true},         // lǜ
        {"爱心", "ax", true},         // ài
        {"DB主机Web", "bzj", true},   // ASCII and Han together
        {"DB主机Web", "jw", true},
        {"DB主机Web", "dbw", false},
        {"北京01", "", true},
        {"", "", true},
        {"", "b", false},
        {"北京01", "北j", true},      // a Han character of the query matches only itself
        {"北京01", "北b", false},
        {"北京01", "京", true},
        {"ＤＢ主机", "db", false},    // full-width letters match only themselves
        {"ＤＢ主机", "ＤＢ", true},
        {"與", "y", true},            // GBK C5 63: the trail byte is 'c'
        {"與", "c", false},
        {"長", "l", false},           // E9 4C, 'L'
        {as70, as69 + "bj", true},    // beyond the first 64 query characters
        {as70, as69 + "jb", false},
        {std::string(64, 'x') + "aaaaa北京", as69 + "bj", false},  // the rest without the first 64 before it
        {std::string(300, 'a') + "北京", std::string(299, 'a') + "bj", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesPinyin(MakePinyinKey(c.text), c.query), c.matches) << c.text.size() << " bytes, " << c.query;
    }
}

TEST(Pinyin, InitialsOfHanCharactersOnly) {
    constexpr auto bit = [](char letter) { return 1u << (letter - 'a'); };
    EXPECT_EQ(runtime::PinyinInitials(U'北'), bit('b'));
    EXPECT_EQ(runtime::PinyinInitials(U'行'), bit('h') | bit('x'));
    EXPECT_EQ(runtime::PinyinInitials(0x20000), bit('h'));  // U+20000, hē: beyond the basic plane
    EXPECT_EQ(runtime::PinyinInitials(U'a'), 0u);
    EXPECT_EQ(runtime::PinyinInitials(U'Ｂ'), 0u);
    EXPECT_EQ(runtime::PinyinInitials(0x10FFFF), 0u);
}
