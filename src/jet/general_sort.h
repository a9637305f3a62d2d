// Index key codes of Jet's General sort order: the legacy one of Jet 4 / Access 2000-2003 files whose text
// columns carry sort order 0x0409 with sort version 0.
//
// A text value becomes one code per character (letters fold case: 'A' and 'a' share a code), then 0x01,
// then an extra section for characters that sort as if they were not there (the hyphen and the
// apostrophe), then 0x00. Only characters whose codes this engine knows exactly are accepted: the printable
// ASCII range U+0020-U+007E. Any other character is refused, so that a write is refused rather than an
// index left wrong.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace jet::general_sort {

// Whether `c` has a code this engine knows exactly.
bool canEncode(char16_t c);

// The key bytes of a non-null text value, ascending, without the leading 0x7F flag of an index key piece.
// Only the first 255 characters count, as in Jet. Throws jet::Error("cannot index the character U+XXXX")
// for a character outside U+0020-U+007E.
std::vector<uint8_t> encodeText(std::u16string_view text);

}  // namespace jet::general_sort
