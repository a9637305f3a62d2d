#include "app/server_list_sort.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "app/server_list.h"
#include "runtime/date_time.h"

namespace app {
namespace {

constexpr double kTolerance = 1e-7;

// The text without blanks at either end: ASCII space and tab, and the full-width space (GBK A1 A1). The
// text is walked a character at a time so that the second byte of a double-byte character is never taken
// for the start of a full-width space.
std::string_view TrimBlanks(std::string_view text) {
    size_t first = text.size(), end = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[pos]);
        size_t length = (lead >= 0x81 && lead <= 0xFE && pos + 1 < text.size()) ? 2 : 1;
        bool blank = lead == ' ' || lead == '\t' ||
                     (length == 2 && lead == 0xA1 && static_cast<unsigned char>(text[pos + 1]) == 0xA1);
        if (!blank) {
            if (first == text.size()) first = pos;
            end = pos + length;
        }
        pos += length;
    }
    if (first == text.size()) return {};
    return text.substr(first, end - first);
}

// The decimal number the text starts with: an optional sign, digits, optionally a point and more digits.
// No digits at all gives 0.
double LeadingNumber(std::string_view text) {
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const size_t start = pos;
    size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++digits;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++digits;
    }
    if (digits == 0) return 0;
    double value = 0;
    auto result = std::from_chars(text.data() + start, text.data() + pos, value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) value = 1e308;  // more digits than a double holds
    return negative ? -value : value;
}

double DateKey(std::string_view text) {
    runtime::DateTimeValue value;
    if (!runtime::DateTimeFromText(std::string(text), value)) return 0;
    return runtime::OleDateFromDateTime(value);
}

std::string_view CellText(const runtime::ListRow& row, int column) {
    if (column < 0 || static_cast<size_t>(column) >= row.cells.size()) return {};
    return row.cells[static_cast<size_t>(column)];
}

// The binary insertion over keys of one type. `compare(a, b)` is negative, zero or positive as a is below,
// equal to or above b.
template <typename Key, typename Compare>
std::vector<int> InsertionOrder(const std::vector<Key>& keys, Compare compare) {
    std::vector<int> placed;  // indices into keys, in sorted order
    placed.reserve(keys.size());
    for (size_t r = 0; r < keys.size(); ++r) {
        const Key& key = keys[r];
        const size_t m = placed.size();
        // k(j) is the key at 1-based place j.
        auto k = [&](size_t j) -> const Key& { return keys[static_cast<size_t>(placed[j - 1])]; };
        size_t p;
        if (m == 0) {
            p = 1;
        } else if (compare(key, k(m)) >= 0) {
            p = m + 1;
        } else if (compare(key, k(1)) <= 0) {
            p = 1;
        } else {
            size_t lo = 1, hi = m;
            while (lo + 1 < hi) {
                size_t mid = (lo + hi) / 2;
                int order = compare(key, k(mid));
                if (order == 0) {
                    lo = mid;
                    break;
                }
                if (order > 0) {
                    lo = mid;
                } else {
                    hi = mid;
                }
            }
            p = lo + 1;
        }
        placed.insert(placed.begin() + static_cast<std::ptrdiff_t>(p - 1), static_cast<int>(r));
    }
    return placed;
}

int CompareNumbers(double a, double b) {
    double difference = a - b;
    if (difference > kTolerance) return 1;
    if (difference < -kTolerance) return -1;
    return 0;
}

int CompareTexts(std::string_view a, std::string_view b) {
    // std::char_traits<char> compares like memcmp: bytes as unsigned, no locale.
    int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

SortMode SortModeForColumn(int column) {
    if (column == 7) return SortMode::Date;     // 到期时间
    if (column == 5) return SortMode::Numeric;  // 端口
    return SortMode::Text;
}

std::vector<int> SortedOrder(const std::vector<runtime::ListRow>& rows, int column, SortMode mode, bool ascending) {
    std::vector<int> order;
    if (mode == SortMode::Text) {
        std::vector<std::string_view> keys;
        keys.reserve(rows.size());
        for (const runtime::ListRow& row : rows) keys.push_back(TrimBlanks(CellText(row, column)));
        order = InsertionOrder(keys, CompareTexts);
    } else {
        std::vector<double> keys;
        keys.reserve(rows.size());
        for (const runtime::ListRow& row : rows) {
            std::string_view text = TrimBlanks(CellText(row, column));
            keys.push_back(mode == SortMode::Numeric ? LeadingNumber(text) : DateKey(text));
        }
        order = InsertionOrder(keys, CompareNumbers);
    }
    if (!ascending) std::reverse(order.begin(), order.end());
    return order;
}

void SortServerList(runtime::Form& window, const std::string& list, int column, SortMode mode, bool ascending) {
    if (column < 0 || column >= window.ListColumnCount(list)) {
        throw std::out_of_range("window " + window.Name() + ", list \"" + list + "\": cannot sort by column " +
                                std::to_string(column) + ", which does not exist");
    }
    const int selected = window.ListSelectedRow(list);
    std::vector<runtime::ListRow> rows = window.ListRows(list);
    const std::vector<int> order = SortedOrder(rows, column, mode, ascending);

    std::vector<runtime::ListRow> sorted;
    sorted.reserve(rows.size());
    int newSelected = -1;
    const bool numbered = window.ListColumnCount(list) > kColumnNumber;
    for (size_t i = 0; i < order.size(); ++i) {
        runtime::ListRow row = std::move(rows[static_cast<size_t>(order[i])]);
        if (numbered) {
            if (row.cells.size() <= static_cast<size_t>(kColumnNumber)) row.cells.resize(kColumnNumber + 1);
            row.cells[kColumnNumber] = std::to_string(i + 1);
        }
        if (order[i] == selected) newSelected = static_cast<int>(i);
        sorted.push_back(std::move(row));
    }
    window.SetListRows(list, sorted);
    if (newSelected >= 0) {
        window.SetListSelectedRow(list, newSelected);
        window.ListShowRow(list, newSelected);
    }
}

void ServerListSorter::OnColumnClick(runtime::Form& window, int column) {
    ascending_ = !ascending_;
    SortServerList(window, kServerList, column, SortModeForColumn(column), ascending_);
}

}  // namespace app
