// Finding Chinese texts by the initials of their pinyin: "bj" finds "北京01", "sh" finds "上海-电信".
//
// The initials come from a table the build writes from the Unihan readings of Debian's unicode-data package
// (scripts/make-pinyin-table.py): for each Han character, the first letters of its Mandarin readings, without
// diacritics ("lǜ" gives l). A character read in several ways has the initials of all of them: 长 (zhǎng,
// cháng) has c and z, 厦 (shà, xià) s and x.
//
// The rule MatchesPinyin applies, character by character (GBK texts decoded to Unicode characters first, so a
// trail byte is never taken for the ASCII character of the same value):
//   - a text matches when some run of consecutive characters of it matches the query, one character for each
//     character of the query; the empty query matches every text;
//   - a query letter (ASCII a to z, either case) matches the same ASCII letter in either case and any Han
//     character one of whose initials it is;
//   - any other query character (a digit, punctuation, a blank, a Han character, a full-width letter) matches
//     only the same character.
// A Han character of the query therefore matches itself, not a letter: "北j" finds "北京", "北b" does not.
//
// A key is made once per text (when the texts are loaded or changed) and a query once per keystroke; a match
// is one pass over the text's characters, bit-parallel over each 64 characters of the query (a query longer
// than the text is refused at once).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace runtime {

// The initials of a Han character's readings: bit (letter - 'a') for each, 0 for a character without a
// reading (ASCII letters included: they are not Han characters).
std::uint32_t PinyinInitials(char32_t codePoint);

// One character of a key or a query: the character and the letters it matches (a Han character's initials
// in a key, an ASCII letter's own bit in either case; 0 for every other character).
struct PinyinUnit {
    char32_t code = 0;
    std::uint32_t letters = 0;
};

// A text made ready for matching. Its members are the matcher's; build it with MakePinyinKey.
struct PinyinKey {
    std::vector<PinyinUnit> units;
    std::uint32_t letters = 0;  // every letter some character of the text matches
};
PinyinKey MakePinyinKey(const std::string& gbk);

// A query made ready for matching (the typed text, GBK). Its members are the matcher's; build it with
// MakePinyinQuery.
struct PinyinQuery {
    struct Part {                                 // 64 characters of the query (the last part: the rest)
        std::uint64_t letterPositions[26] = {};   // per letter: the bits of the characters that are that letter
        std::vector<std::pair<char32_t, std::uint64_t>> otherPositions;  // the same for every other character
        std::uint64_t last = 0;                   // the bit of the part's last character
    };
    std::size_t length = 0;     // characters
    std::uint32_t letters = 0;  // every letter of the query
    std::vector<Part> parts;
};
PinyinQuery MakePinyinQuery(std::string_view gbk);

bool MatchesPinyin(const PinyinKey& key, const PinyinQuery& query);
// The same for a query used once (a filter over many texts makes its query once and uses the form above).
bool MatchesPinyin(const PinyinKey& key, std::string_view query);

}  // namespace runtime
