// Typing in a list finds a row by the beginning of its search columns: ASCII letters in either case, a
// double-byte character only whole, from the row given on and round from the top when asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/form_runtime.h"

namespace {

TEST(FindListRow, TheNextRowWhoseAddressOrNoteBeginsWithWhatWasTyped) {
    // Columns: 0 address, 1 note.
    const std::vector<runtime::ListRow> rows = {
        {{"10.0.0.1", "Alpha 机房"}}, {{"192.168.1.5", "beta"}}, {{"10.0.0.2", "机房二"}},
        {{"\x81\x41x", "\x81\x61y"}},  // two different characters: trail bytes 'A' and 'a'
    };
    const std::vector<int> both = {0, 1};
    struct Case { std::string typed; int start; bool wrap; int found; };
    const Case cases[] = {
        {"10.0", 0, false, 0},   {"10.0", 1, false, 2},   {"10.0", 3, false, -1}, {"10.0", 3, true, 0},
        {"ALP", 0, false, 0},    {"Beta", 0, false, 1},   {"192.168.1.5x", 0, true, -1},
        {"机房", 0, false, 2},    {"机", 1, false, 2},     {"\xBB\xFA", 0, false, 2},  // 机
        {"\x81\x61", 0, false, 3},
        {"\x81\x41", 0, false, 3},  {"\x81\x41y", 0, false, -1},
        {"", 0, true, -1},       {"zzz", 0, true, -1},    {"10", -5, false, 0},   {"10", 99, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runtime::FindListRow(rows, c.typed, c.start, c.wrap, both), c.found) << c.typed << " from " << c.start;
    EXPECT_EQ(runtime::FindListRow(rows, "beta", 0, true, {0}), -1);  // only the columns given are searched
    EXPECT_EQ(runtime::FindListRow(rows, "\x81\x61", 0, true, {0}), -1);  // a trail byte is never folded
    EXPECT_EQ(runtime::FindListRow({}, "a", 0, true, both), -1);
}

}  // namespace
