// GBK (code page 936) <-> UTF-16, as the program's texts cross into the database and back.
#include "runtime/text_codec.h"

#include <gtest/gtest.h>

namespace runtime {
namespace {

// GBK bytes of the program's own texts, written out byte by byte (from the code page 936 table) so that
// this file does not depend on how the compiler encodes literals.
const std::string kMyServer = "\xCE\xD2\xB5\xC4\xB7\xFE\xCE\xF1\xC6\xF7";  // 我的服务器
const std::u16string kMyServerUtf16 = u"\u6211\u7684\u670D\u52A1\u5668";

TEST(TextCodec, ChineseAndAsciiRoundTrip) {
    EXPECT_EQ(GbkToUtf16(kMyServer), kMyServerUtf16);
    EXPECT_EQ(Utf16ToGbk(kMyServerUtf16), kMyServer);

    const std::string mixed = "note: " + kMyServer + "304 'quoted', \"x\"";
    EXPECT_EQ(Utf16ToGbk(GbkToUtf16(mixed)), mixed);
    EXPECT_EQ(GbkToUtf16("1.2.3.4"), u"1.2.3.4");
    EXPECT_EQ(GbkToUtf16(""), u"");
    EXPECT_EQ(Utf16ToGbk(u""), "");

    // Full-width blank (the program trims it), the euro sign at 0x80 of code page 936, and a GBK extension
    // character outside GB2312 (U+4E02, 0x81 0x40).
    EXPECT_EQ(GbkToUtf16("\xA1\xA1"), u"\u3000");
    EXPECT_EQ(Utf16ToGbk(u"\u3000"), "\xA1\xA1");
    EXPECT_EQ(GbkToUtf16("\x80"), u"\u20AC");
    EXPECT_EQ(GbkToUtf16("\x81\x40"), u"\u4E02");
    EXPECT_EQ(Utf16ToGbk(u"\u4E02"), "\x81\x40");

    // Embedded zero bytes are characters like any other.
    EXPECT_EQ(GbkToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(Utf16ToGbk(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));

    // A long text crosses the converter's internal buffer boundaries intact.
    std::string longText;
    std::u16string longUtf16;
    for (int i = 0; i < 3000; ++i) {
        longText += kMyServer + "x";
        longUtf16 += kMyServerUtf16 + u"x";
    }
    EXPECT_EQ(GbkToUtf16(longText), longUtf16);
    EXPECT_EQ(Utf16ToGbk(longUtf16), longText);
}

TEST(TextCodec, BytesThatAreNotGbkBecomeReplacementCharacters) {
    // 0xFF is never valid; a lead byte at the very end has no trail.
    EXPECT_EQ(GbkToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(GbkToUtf16("ab\xCE"), u"ab\uFFFD");
    // A lead byte followed by a byte that cannot trail it: the lead is lost, the ASCII after it survives.
    EXPECT_EQ(GbkToUtf16("\xCE'x'"), u"\uFFFD'x'");
    // Good text after a bad byte is decoded normally.
    EXPECT_EQ(GbkToUtf16("\xFF" + kMyServer), u"\uFFFD" + kMyServerUtf16);
}

TEST(TextCodec, CharactersGbkCannotHoldBecomeQuestionMarks) {
    EXPECT_EQ(Utf16ToGbk(u"stra\u00DFe"), "stra?e");        // ß is not in GBK
    EXPECT_EQ(Utf16ToGbk(u"x\U0001F600y"), "x?y");         // one '?' for a surrogate pair
    EXPECT_EQ(Utf16ToGbk(u"\u0E01" + kMyServerUtf16), "?" + kMyServer);  // Thai, then Chinese
    // A lone surrogate is not a character either.
    EXPECT_EQ(Utf16ToGbk(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
    EXPECT_EQ(Utf16ToGbk(std::u16string(u"a") + char16_t(0xDC00)), "a?");
    EXPECT_EQ(Utf16ToGbk(std::u16string(1, char16_t(0xD83D))), "?");
}

TEST(TextCodec, PathsInUtf8) {
    struct Case { std::u16string utf16; std::string utf8; };
    const Case cases[] = {
        {u"", ""},
        {u"C:\\tools\\config.MDB", "C:\\tools\\config.MDB"},
        {u"Z:\\\u5F20\u4E09\u7684 \u5DE5\u5177;x", "Z:\\\xE5\xBC\xA0\xE4\xB8\x89\xE7\x9A\x84 \xE5\xB7\xA5\xE5\x85\xB7;x"},
        {u"x\U0001F600y", "x\xF0\x9F\x98\x80y"},                                   // a surrogate pair: one character
        {std::u16string(u"a") + char16_t(0xD800) + u"b", "a\xEF\xBF\xBD" "b"},      // unpaired: U+FFFD
        {std::u16string(1, char16_t(0xDC00)), "\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
}

}  // namespace
}  // namespace runtime
