// Sorting the main window's server list by a column: a click on a column header sorts by that column, each
// click turning the direction round (one direction for all columns). The servers keep what they are; their
// 序号 numbers them 1..n again in the new order (server_model.h).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/form_runtime.h"

namespace app {

// How a column's texts compare: as the number they start with, as bytes, or as the date they hold.
enum class SortMode { Numeric = 0, Text = 1, Date = 2 };

// The server list's columns: 7 (到期时间) dates, 5 (端口) numbers, the others text.
SortMode SortModeForColumn(int column);

// The order of `count` rows sorted by the texts `cell(i)` gives for row i, as indices into them. Keys: the
// text with blanks (space, tab, the full-width space) removed at both ends; Numeric takes the decimal number
// it starts with (optional sign and fraction; 0 when none), Date its OLE date (0 when it is not a date
// DateTimeFromText reads), Text the bytes, compared unsigned. Numbers closer than 1e-7 count as equal.
//
// The rows are taken in their current order and each is put into place by a binary search among those
// placed before it: after the last when not below it, else first when not above the first, else after
// the middle key it lands on (an equal key ends the search there). Descending is exactly that order
// reversed. Where equal keys go follows from these steps. (The steps are followed exactly but not carried
// out one insertion at a time, which would take quadratic time on a long list: see server_list_sort.cpp.)
std::vector<int> SortedOrder(size_t count, const std::function<std::string_view(size_t row)>& cell, SortMode mode,
                             bool ascending);
// The same for list rows by the cell in `column` (an empty text where a row has no such cell).
std::vector<int> SortedOrder(const std::vector<runtime::ListRow>& rows, int column, SortMode mode, bool ascending);
// The insertion carried out one row at a time, as the rule reads: for comparison.
std::vector<int> SortedOrderByInsertion(size_t count, const std::function<std::string_view(size_t row)>& cell,
                                        SortMode mode, bool ascending);

// The direction of the header sort: one for all columns, turned round by every click (the first ascending).
class ServerListSorter {
public:
    // Turns the direction round and gives it.
    bool Turn() { return ascending_ = !ascending_; }
    // A sort made otherwise (the reminder's, by expiry): the next click reverses it.
    void Sorted(bool ascending) { ascending_ = ascending; }
    // The direction of the last sort.
    bool SortAscending() const { return ascending_; }

private:
    bool ascending_ = false;
};

}  // namespace app
