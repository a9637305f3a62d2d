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

// The binary insertion over keys of one type, one insertion at a time. `compare(a, b)` is negative, zero or
// positive as a is below, equal to or above b.
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

// Counts over 1..n (a Fenwick tree): add at a place, the sum up to a place, the place of the k-th unit.
class Counts {
public:
    explicit Counts(size_t n) : tree_(n + 1, 0) {}
    void Add(size_t place, int amount) {
        for (; place < tree_.size(); place += place & (~place + 1)) tree_[place] += amount;
    }
    int SumTo(size_t place) const {
        int sum = 0;
        for (; place > 0; place -= place & (~place + 1)) sum += tree_[place];
        return sum;
    }
    // The smallest place whose sum reaches k (k >= 1, within the total).
    size_t Find(int k) const {
        size_t place = 0, step = 1;
        while (step * 2 < tree_.size()) step *= 2;
        for (; step > 0; step /= 2) {
            if (place + step < tree_.size() && tree_[place + step] < k) {
                place += step;
                k -= tree_[place];
            }
        }
        return place + 1;
    }

private:
    std::vector<int> tree_;
};

// The same order as InsertionOrder without moving rows about. Every key below the one being placed lies
// before it and every key above after it, so each comparison of the search is known from two counts: how
// many keys placed so far are below it and how many are not above it (kept per key rank). The search is
// followed with those counts, giving the place each row took among the rows before it; the final order is
// then filled in from the last row back, each taking the free slot at its place. Needs keys whose equality
// is an equivalence: numbers within the tolerance of each other that chain unequal ones together fall back
// to InsertionOrder.
template <typename Key, typename Compare>
std::vector<int> FastInsertionOrder(const std::vector<Key>& keys, Compare compare) {
    const size_t n = keys.size();
    // The keys in order, ties in any order: only which keys are equal matters here.
    std::vector<std::pair<Key, int>> byKey;
    byKey.reserve(n);
    for (size_t i = 0; i < n; ++i) byKey.emplace_back(keys[i], static_cast<int>(i));
    std::sort(byKey.begin(), byKey.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<size_t> rank(n);  // from 1
    size_t ranks = 0, groupStart = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i == 0 || compare(byKey[i - 1].first, byKey[i].first) != 0) {
            ++ranks;
            groupStart = i;
        } else if (compare(byKey[groupStart].first, byKey[i].first) != 0) {
            return InsertionOrder(keys, compare);
        }
        rank[static_cast<size_t>(byKey[i].second)] = ranks;
    }

    Counts placedByRank(ranks);
    std::vector<size_t> place(n);  // 1-based place among the rows placed until then
    for (size_t r = 0; r < n; ++r) {
        const size_t m = r;
        const size_t below = static_cast<size_t>(placedByRank.SumTo(rank[r] - 1));
        const size_t notAbove = static_cast<size_t>(placedByRank.SumTo(rank[r]));
        // The sign of compare(key, key at place j).
        auto order = [&](size_t j) { return j <= below ? 1 : (j > notAbove ? -1 : 0); };
        size_t p;
        if (m == 0 || order(m) >= 0) {
            p = m + 1;
        } else if (order(1) <= 0) {
            p = 1;
        } else {
            size_t lo = 1, hi = m;
            while (lo + 1 < hi) {
                const size_t mid = (lo + hi) / 2;
                const int o = order(mid);
                if (o == 0) {
                    lo = mid;
                    break;
                }
                (o > 0 ? lo : hi) = mid;
            }
            p = lo + 1;
        }
        place[r] = p;
        placedByRank.Add(rank[r], 1);
    }

    std::vector<int> sorted(n);
    Counts free(n);
    for (size_t slot = 1; slot <= n; ++slot) free.Add(slot, 1);
    for (size_t r = n; r-- > 0;) {
        const size_t slot = free.Find(static_cast<int>(place[r]));
        sorted[slot - 1] = static_cast<int>(r);
        free.Add(slot, -1);
    }
    return sorted;
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
    if (column == kColumnExpiry) return SortMode::Date;
    if (column == kColumnPort) return SortMode::Numeric;
    return SortMode::Text;
}

namespace {

template <bool kFast>
std::vector<int> Order(size_t count, const std::function<std::string_view(size_t row)>& cell, SortMode mode,
                       bool ascending) {
    std::vector<int> order;
    if (mode == SortMode::Text) {
        std::vector<std::string_view> keys;
        keys.reserve(count);
        for (size_t row = 0; row < count; ++row) keys.push_back(TrimBlanks(cell(row)));
        order = kFast ? FastInsertionOrder(keys, CompareTexts) : InsertionOrder(keys, CompareTexts);
    } else {
        std::vector<double> keys;
        keys.reserve(count);
        for (size_t row = 0; row < count; ++row) {
            std::string_view text = TrimBlanks(cell(row));
            keys.push_back(mode == SortMode::Numeric ? LeadingNumber(text) : DateKey(text));
        }
        order = kFast ? FastInsertionOrder(keys, CompareNumbers) : InsertionOrder(keys, CompareNumbers);
    }
    if (!ascending) std::reverse(order.begin(), order.end());
    return order;
}

}  // namespace

std::vector<int> SortedOrder(size_t count, const std::function<std::string_view(size_t row)>& cell, SortMode mode,
                             bool ascending) {
    return Order<true>(count, cell, mode, ascending);
}

std::vector<int> SortedOrderByInsertion(size_t count, const std::function<std::string_view(size_t row)>& cell,
                                        SortMode mode, bool ascending) {
    return Order<false>(count, cell, mode, ascending);
}

std::vector<int> SortedOrder(const std::vector<runtime::ListRow>& rows, int column, SortMode mode, bool ascending) {
    return SortedOrder(
        rows.size(),
        [&rows, column](size_t row) -> std::string_view {
            const std::vector<std::string>& cells = rows[row].cells;
            return column >= 0 && static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)]
                                                                               : std::string_view();
        },
        mode, ascending);
}

}  // namespace app
