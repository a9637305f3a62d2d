// Sorting the main window's server list by a column: a click on a column header sorts by that column, each
// click turning the direction round (one direction for all columns). The list keeps every row's cells and
// item value, numbers its 序号 column 1..n again, and keeps the selected server selected.
#pragma once

#include <string>
#include <vector>

#include "runtime/form_runtime.h"

namespace app {

// How a column's texts compare: as the number they start with, as bytes, or as the date they hold.
enum class SortMode { Numeric = 0, Text = 1, Date = 2 };

// The server list's columns: 7 (到期时间) dates, 5 (端口) numbers, the others text.
SortMode SortModeForColumn(int column);

// The order of `rows` sorted by the cell in `column` (an empty text where a row has no such cell), as
// indices into `rows`. Keys: the cell with blanks (space, tab, the full-width space) removed at both ends;
// Numeric takes the decimal number it starts with (optional sign and fraction; 0 when none), Date its OLE
// date (0 when it is not a date DateTimeFromText reads), Text the bytes, compared unsigned. Numbers closer
// than 1e-7 count as equal.
//
// The rows are taken in their current order and each is put into place by a binary search among those
// placed before it: after the last when not below it, else first when not above the first, else after
// the middle key it lands on (an equal key ends the search there). Descending is exactly that order
// reversed. Where equal keys go follows from these steps.
std::vector<int> SortedOrder(const std::vector<runtime::ListRow>& rows, int column, SortMode mode, bool ascending);

// Sorts the list view `list` of `window` by `column`, renumbers column 2 (序号) of row i as i+1, and selects
// and shows the row that was selected before, wherever it went. Throws std::out_of_range for a column the
// list does not have.
void SortServerList(runtime::Form& window, const std::string& list, int column, SortMode mode, bool ascending);

// The column-click handler of the main window's server list ("超级列表框1").
class ServerListSorter {
public:
    // Turns the direction round (the first click sorts ascending, the next, on any column, descending, ...)
    // and sorts by `column` in its mode.
    void OnColumnClick(runtime::Form& window, int column);
    // The direction of the last sort.
    bool SortAscending() const { return ascending_; }

private:
    bool ascending_ = false;
};

}  // namespace app
