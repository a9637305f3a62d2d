// Index key codes of the General sort order for printable ASCII.
#include "jet/general_sort.h"

#include <cstdio>
#include <string>

#include "jet/error.h"

namespace jet::general_sort {

namespace {

// How one character is written into a key.
struct CharCode {
    uint8_t first;   // the code written in place; 0 for a character that sorts as if absent
    uint8_t second;  // a second in-place byte (0 = none), for ^ _ ` { | } ~
    uint8_t extra;   // for a character that sorts as if absent: its code in the extra section
};

constexpr char16_t kFirstChar = 0x20;
constexpr char16_t kLastChar = 0x7E;

// Codes of U+0020 to U+007E in character order. Letters are listed once (upper and lower case share codes).
constexpr CharCode kPunctuationAndDigits[] = {
    {0x07, 0, 0},  // ' '
    {0x09, 0, 0},  // !
    {0x0A, 0, 0},  // "
    {0x0C, 0, 0},  // #
    {0x0E, 0, 0},  // $
    {0x10, 0, 0},  // %
    {0x12, 0, 0},  // &
    {0, 0, 0x80},  // '  (sorts as if absent)
    {0x14, 0, 0},  // (
    {0x16, 0, 0},  // )
    {0x18, 0, 0},  // *
    {0x2C, 0, 0},  // +
    {0x1A, 0, 0},  // ,
    {0, 0, 0x82},  // -  (sorts as if absent)
    {0x1C, 0, 0},  // .
    {0x1E, 0, 0},  // /
    {0x36, 0, 0},  // 0
    {0x38, 0, 0},  // 1
    {0x3A, 0, 0},  // 2
    {0x3C, 0, 0},  // 3
    {0x3E, 0, 0},  // 4
    {0x40, 0, 0},  // 5
    {0x42, 0, 0},  // 6
    {0x44, 0, 0},  // 7
    {0x46, 0, 0},  // 8
    {0x48, 0, 0},  // 9
    {0x20, 0, 0},  // :
    {0x22, 0, 0},  // ;
    {0x2E, 0, 0},  // <
    {0x30, 0, 0},  // =
    {0x32, 0, 0},  // >
    {0x24, 0, 0},  // ?
    {0x26, 0, 0},  // @
};
// A..Z (and a..z).
constexpr uint8_t kLetters[26] = {
    0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
    0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78,
};
// [ \ ] ^ _ `
constexpr CharCode kBetweenCases[] = {
    {0x27, 0, 0}, {0x29, 0, 0}, {0x2A, 0, 0}, {0x2B, 0x02, 0}, {0x2B, 0x03, 0}, {0x2B, 0x07, 0},
};
// { | } ~
constexpr CharCode kAfterLetters[] = {
    {0x2B, 0x09, 0}, {0x2B, 0x0B, 0}, {0x2B, 0x0D, 0}, {0x2B, 0x0F, 0},
};

CharCode codeOf(char16_t c) {
    if (c >= u'a' && c <= u'z') return {kLetters[c - u'a'], 0, 0};
    if (c >= u'A' && c <= u'Z') return {kLetters[c - u'A'], 0, 0};
    if (c >= u'[' && c <= u'`') return kBetweenCases[c - u'['];
    if (c >= u'{' && c <= u'~') return kAfterLetters[c - u'{'];
    return kPunctuationAndDigits[c - kFirstChar];
}

constexpr uint8_t kEndOfText = 0x01;
constexpr uint8_t kEndOfKey = 0x00;
constexpr size_t kMaxIndexedChars = 255;

}  // namespace

bool canEncode(char16_t c) { return c >= kFirstChar && c <= kLastChar; }

std::vector<uint8_t> encodeText(std::u16string_view text) {
    if (text.size() > kMaxIndexedChars) text = text.substr(0, kMaxIndexedChars);

    std::vector<uint8_t> out;
    out.reserve(text.size() + 2);
    // Characters that sort as if absent are recorded after the text, each with its position: the number
    // of characters written in place before it.
    std::vector<uint8_t> absent;
    size_t written = 0;
    for (char16_t c : text) {
        if (!canEncode(c)) {
            char code[8];
            std::snprintf(code, sizeof code, "%04X", unsigned(c));
            throw Error(std::string("cannot index the character U+") + code);
        }
        CharCode cc = codeOf(c);
        if (cc.first == 0) {
            // Position marker: 0x8000 | (7 + 4 * position), big-endian, then 0x06 and the character's code.
            unsigned marker = 0x8000u | unsigned(7 + 4 * written);
            absent.push_back(uint8_t(marker >> 8));
            absent.push_back(uint8_t(marker));
            absent.push_back(0x06);
            absent.push_back(cc.extra);
            continue;
        }
        out.push_back(cc.first);
        if (cc.second != 0) out.push_back(cc.second);
        ++written;
    }
    out.push_back(kEndOfText);
    if (!absent.empty()) {
        // Three more end markers introduce the section.
        out.push_back(kEndOfText);
        out.push_back(kEndOfText);
        out.push_back(kEndOfText);
        out.insert(out.end(), absent.begin(), absent.end());
    }
    out.push_back(kEndOfKey);
    return out;
}

}  // namespace jet::general_sort
