// The portable part of the window and process helpers: comparing executable file names.
#include "session/window_helpers.h"

namespace session {
namespace {

// One character of a GBK text, as a number: a single byte below 0x100, a double-byte character as
// lead * 0x100 + trail.
struct Character {
    unsigned code = 0;
    size_t length = 0;
};

Character characterAt(const std::string& text, size_t i) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0x81 && lead <= 0xFE && i + 1 < text.size()) {
        unsigned char trail = static_cast<unsigned char>(text[i + 1]);
        if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) return {lead * 0x100u + trail, 2};
    }
    return {lead, 1};
}

// The GBK rows where a small letter and its capital both exist, each run of small letters at a fixed
// distance from its capitals.
struct CaseRun {
    unsigned firstSmall, lastSmall, firstCapital;
};
constexpr CaseRun kCaseRuns[] = {
    {'a', 'z', 'A'},
    {0xA2A1, 0xA2AA, 0xA2F1},  // small Roman numerals i to x
    {0xA3E1, 0xA3FA, 0xA3C1},  // full-width Latin letters
    {0xA6C1, 0xA6D8, 0xA6A1},  // Greek
    {0xA7D1, 0xA7F1, 0xA7A1},  // Cyrillic
};

unsigned toCapital(unsigned code) {
    for (const CaseRun& run : kCaseRuns) {
        if (code >= run.firstSmall && code <= run.lastSmall) return code - run.firstSmall + run.firstCapital;
    }
    return code;
}

}  // namespace

bool SameExeName(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        Character x = characterAt(a, i), y = characterAt(b, j);
        if (toCapital(x.code) != toCapital(y.code)) return false;
        i += x.length;
        j += y.length;
    }
    return i == a.size() && j == b.size();
}

}  // namespace session
