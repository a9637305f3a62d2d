// SameExeName: executable names compared as Windows compares file names, on GBK texts.
#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <string>
#include <vector>

#include "runtime/text_codec.h"
#include "session/window_helpers.h"

using session::SameExeName;

TEST(SameExeName, AsciiLettersCompareWithoutCase) {
    EXPECT_TRUE(SameExeName("quillon.exe", "quillon.exe"));
    EXPECT_TRUE(SameExeName("QUILLON.EXE", "quillon.exe"));
    EXPECT_TRUE(SameExeName("Quillon.Exe", "qUILLON.eXE"));
    EXPECT_TRUE(SameExeName("", ""));
    EXPECT_FALSE(SameExeName("quillon.exe", "quillon.ex"));
    EXPECT_FALSE(SameExeName("quillon.ex", "quillon.exe"));
    EXPECT_FALSE(SameExeName("quillon.exe", "quillon.exe "));
    EXPECT_FALSE(SameExeName("quillon.exe", "quilion.exe"));
    EXPECT_FALSE(SameExeName("[.exe", "{.exe"));  // 0x5B and 0x7B differ by the case bit but are not letters
    EXPECT_FALSE(SameExeName("A.exe", "\xA3\xC1.exe"));  // 'A' and the full-width A are different names
}

TEST(SameExeName, ADoubleByteCharacterIsOneUnitWhoseTrailByteIsNeverFolded) {
    // 0x81 0x41 and 0x81 0x61 are two different characters whose trail bytes are 'A' and 'a'.
    EXPECT_FALSE(SameExeName("\x81\x41.exe", "\x81\x61.exe"));
    EXPECT_TRUE(SameExeName("\x81\x41.EXE", "\x81\x41.exe"));
    // Chinese names: 远程桌面.exe in GBK.
    const std::string chinese = "\xD4\xB6\xB3\xCC\xD7\xC0\xC3\xE6.exe";
    EXPECT_TRUE(SameExeName(chinese, "\xD4\xB6\xB3\xCC\xD7\xC0\xC3\xE6.EXE"));
    EXPECT_FALSE(SameExeName(chinese, "\xD4\xB6\xB3\xCC\xD7\xC0\xC3\xE7.exe"));
    // A pair must line up as a pair: a lead byte at the end stands alone.
    EXPECT_FALSE(SameExeName("a\x81", "a\x81\x41"));
    EXPECT_TRUE(SameExeName("a\x81", "A\x81"));
}

namespace {

// Every valid GBK double-byte character of the given lead bytes.
std::vector<std::string> gbkCharacters(unsigned firstLead, unsigned lastLead) {
    std::vector<std::string> characters;
    for (unsigned lead = firstLead; lead <= lastLead; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            std::string c{static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string decoded = runtime::GbkToUtf16(c);
            if (decoded.size() == 1 && decoded[0] != u'\uFFFD') characters.push_back(c);
        }
    }
    return characters;
}

char32_t upper(const std::string& gbk) {
    return static_cast<char32_t>(std::towupper(static_cast<wint_t>(runtime::GbkToUtf16(gbk)[0])));
}

class UnicodeCase : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale for the case mappings";
    }
    void TearDown() override { std::setlocale(LC_CTYPE, "C"); }
};

}  // namespace

// The C library's Unicode case mappings, applied to the characters the GBK texts decode to, decide
// independently which double-byte characters are the same letter.
TEST_F(UnicodeCase, EveryGbkLetterWithItsCapitalInGbkFoldsToIt) {
    int pairs = 0;
    for (const std::string& c : gbkCharacters(0x81, 0xFE)) {
        char32_t capital = upper(c);
        if (capital == runtime::GbkToUtf16(c)[0]) continue;
        std::string capitalGbk = runtime::Utf16ToGbk(std::u16string(1, static_cast<char16_t>(capital)));
        if (capitalGbk.size() != 2 || capitalGbk == "?") continue;  // its capital is not in GBK
        EXPECT_TRUE(SameExeName(c, capitalGbk)) << std::hex << static_cast<unsigned>(static_cast<unsigned char>(c[0]))
                                                << static_cast<unsigned>(static_cast<unsigned char>(c[1]));
        ++pairs;
    }
    EXPECT_GE(pairs, 26 + 24 + 33);  // at least full-width Latin, Greek, Cyrillic
}

TEST_F(UnicodeCase, InTheRowsOfLettersOnlyTheSameLetterCompareEqual) {
    // Rows A2 (numerals), A3 (full-width), A6 (Greek), A7 (Cyrillic), A8 (pinyin and phonetic letters).
    std::vector<std::string> characters;
    for (unsigned lead : {0xA2u, 0xA3u, 0xA6u, 0xA7u, 0xA8u}) {
        std::vector<std::string> row = gbkCharacters(lead, lead);
        characters.insert(characters.end(), row.begin(), row.end());
    }
    ASSERT_GT(characters.size(), 400u);
    int mismatches = 0;
    for (const std::string& a : characters) {
        for (const std::string& b : characters) {
            if (SameExeName(a, b) != (upper(a) == upper(b)) && ++mismatches <= 10) {
                ADD_FAILURE() << "characters " << std::hex << static_cast<unsigned>(static_cast<unsigned char>(a[0]))
                              << static_cast<unsigned>(static_cast<unsigned char>(a[1])) << " and "
                              << static_cast<unsigned>(static_cast<unsigned char>(b[0]))
                              << static_cast<unsigned>(static_cast<unsigned char>(b[1]));
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}
