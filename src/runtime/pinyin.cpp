#include "runtime/pinyin.h"

#include <bit>

#include "runtime/text_codec.h"

namespace runtime {
namespace {

// kPinyinBlocks, kPinyinPageOfBlock, kPinyinPages, kPinyinInitialSets: written by the build from the Unihan
// readings (scripts/make-pinyin-table.py, which describes the layout).
#include "runtime/pinyin_table.inc"

constexpr std::uint32_t kSingleLetters = 26;

bool IsAsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::vector<PinyinUnit> Units(const std::string& gbk, bool withInitials) {
    const std::u16string text = GbkToUtf16(gbk);  // GBK holds only characters of the basic plane
    std::vector<PinyinUnit> units;
    units.reserve(text.size());
    for (char16_t c : text) {
        PinyinUnit unit{c, 0};
        if (IsAsciiLetter(c)) {
            unit.letters = 1u << ((c | 0x20) - 'a');
        } else if (withInitials) {
            unit.letters = PinyinInitials(c);
        }
        units.push_back(unit);
    }
    return units;
}

// The characters of a part of the query that the text's character `unit` matches.
std::uint64_t Positions(const PinyinQuery::Part& part, const PinyinUnit& unit) {
    std::uint64_t positions = 0;
    for (std::uint32_t letters = unit.letters; letters != 0; letters &= letters - 1) {
        positions |= part.letterPositions[std::countr_zero(letters)];
    }
    for (const auto& [code, at] : part.otherPositions) {
        if (code == unit.code) positions |= at;
    }
    return positions;
}

}  // namespace

std::uint32_t PinyinInitials(char32_t codePoint) {
    if (codePoint >= kPinyinBlocks * 256) return 0;
    const std::uint8_t value = kPinyinPages[kPinyinPageOfBlock[codePoint >> 8]][codePoint & 255];
    if (value == 0) return 0;
    if (value <= kSingleLetters) return 1u << (value - 1);
    return kPinyinInitialSets[value - kSingleLetters - 1];
}

PinyinKey MakePinyinKey(const std::string& gbk) {
    PinyinKey key;
    key.units = Units(gbk, true);
    for (const PinyinUnit& unit : key.units) key.letters |= unit.letters;
    return key;
}

PinyinQuery MakePinyinQuery(std::string_view gbk) {
    PinyinQuery query;
    const std::vector<PinyinUnit> units = Units(std::string(gbk), false);
    query.length = units.size();
    query.parts.resize((units.size() + 63) / 64);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const PinyinUnit& unit = units[i];
        PinyinQuery::Part& part = query.parts[i / 64];
        part.last = std::uint64_t{1} << (i % 64);
        query.letters |= unit.letters;
        if (unit.letters != 0) {
            part.letterPositions[std::countr_zero(unit.letters)] |= part.last;
            continue;
        }
        auto known = part.otherPositions.begin();
        while (known != part.otherPositions.end() && known->first != unit.code) ++known;
        if (known == part.otherPositions.end()) {
            part.otherPositions.emplace_back(unit.code, part.last);
        } else {
            known->second |= part.last;
        }
    }
    return query;
}

bool MatchesPinyin(const PinyinKey& key, const PinyinQuery& query) {
    if (query.length == 0) return true;
    if (query.length > key.units.size() || (query.letters & ~key.letters) != 0) return false;
    // Shift-And, one state per part of the query: bit j of a part's state is set when the text's characters
    // up to here end with the part's characters up to j, following a whole match of the parts before it.
    const std::size_t parts = query.parts.size();
    std::uint64_t few[4] = {};
    std::vector<std::uint64_t> many(parts > 4 ? parts : 0);
    std::uint64_t* state = parts > 4 ? many.data() : few;
    for (const PinyinUnit& unit : key.units) {
        std::uint64_t begin = 1;  // the first part may begin at any character, a later one after the one before
        for (std::size_t p = 0; p < parts; ++p) {
            const PinyinQuery::Part& part = query.parts[p];
            const std::uint64_t next = (state[p] & part.last) != 0;
            state[p] = ((state[p] << 1) | begin) & Positions(part, unit);
            begin = next;
        }
        if ((state[parts - 1] & query.parts.back().last) != 0) return true;
    }
    return false;
}

bool MatchesPinyin(const PinyinKey& key, std::string_view query) {
    return MatchesPinyin(key, MakePinyinQuery(query));
}

}  // namespace runtime
