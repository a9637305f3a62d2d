// Sorting the main window's server list by column. Every expected order below is worked out by hand from the
// insertion rule (rows taken in list order; a key not below the last placed goes last, else one not above
// the first goes first, else a binary search between them stops at an equal key and goes after it), never
// taken from the program's output.
#include "app/server_list_sort.h"

#include <random>

#include "app/server_catalogue.h"
#include "app/server_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/form_model.h"
#include "ui/forms.h"

using app::SortMode;
using runtime::ListRow;

namespace {

const char kList[] = "超级列表框1";
constexpr int kAddress = 4, kPort = 5, kNote = 6, kExpiry = 7;

// The main window in memory, remembering the last row the list was asked to bring into view.
class MainWindow : public runtime::ModelForm {
public:
    MainWindow() : ModelForm(ui::MainWindowSpec()) { Open(); }
    int shownRow = -1;

protected:
    void DoListShowRow(int, int row) override { shownRow = row; }
};

// A server row: user, password, 序号, 状态, address, port, note, expiry; `value` is its item value.
ListRow Server(std::int64_t value, const std::string& address, const std::string& port, const std::string& expiry,
               const std::string& note = "备注") {
    return ListRow{{"user" + std::to_string(value), "secret", "?", "未连接", address, port, note, expiry}, value};
}

// Rows that differ only in one column.
std::vector<ListRow> Column(int column, const std::vector<std::pair<std::int64_t, std::string>>& cells) {
    std::vector<ListRow> rows;
    for (const auto& [value, text] : cells) {
        ListRow row = Server(value, "10.1.1.1", "3389", "2025/1/1");
        row.cells[static_cast<size_t>(column)] = text;
        rows.push_back(row);
    }
    return rows;
}

// The servers the list shows, top to bottom, by the number in their user name ("user41" is 41).
std::vector<std::int64_t> Values(const runtime::Form& window) {
    std::vector<std::int64_t> values;
    for (const ListRow& row : window.ListRows(kList)) values.push_back(std::stoll(row.cells[0].substr(4)));
    return values;
}

// A model of the servers of `rows` (cells 0, 1, 4..7), shown in `window`'s list.
struct Model {
    explicit Model(runtime::Form& window, const std::vector<ListRow>& rows) {
        std::vector<catalogue::ServerEntry> entries;
        for (const ListRow& row : rows)
            entries.push_back({row.cells[4], row.cells[5], row.cells[0], row.cells[1], row.cells[6], row.cells[7]});
        servers.BindList(window);
        servers.Reset(entries, {2025, 1, 1, 0, 0, 0});
    }
    app::ServerModel servers;
};

std::vector<std::string> ColumnTexts(const runtime::Form& window, int column) {
    std::vector<std::string> texts;
    for (const ListRow& row : window.ListRows(kList)) texts.push_back(row.cells[static_cast<size_t>(column)]);
    return texts;
}

// The item values of `rows` in their sorted order.
std::vector<std::int64_t> Sorted(const std::vector<ListRow>& rows, int column, SortMode mode, bool ascending) {
    std::vector<std::int64_t> values;
    for (int row : app::SortedOrder(rows, column, mode, ascending)) values.push_back(rows[static_cast<size_t>(row)].value);
    return values;
}

using Order = std::vector<std::int64_t>;

}  // namespace

TEST(SortModeForColumn, ExpiryIsADatePortANumberTheRestText) {
    EXPECT_EQ(app::SortModeForColumn(7), SortMode::Date);
    EXPECT_EQ(app::SortModeForColumn(5), SortMode::Numeric);
    for (int column : {0, 1, 2, 3, 4, 6}) EXPECT_EQ(app::SortModeForColumn(column), SortMode::Text) << column;
}

TEST(SortServerList, NumbersCompareByValueAfterBlanks) {
    // Keys: 3389, 9, 22, 0 (no number), -1, 8080.5, 443 (stops at x), 21 (full-width space and tab trimmed),
    // 5 ("+5"), -0.5. No two are equal, so descending is simply the reverse.
    const std::vector<ListRow> rows = Column(kPort, {{101, "3389"},
                                                     {102, "9"},
                                                     {103, "  22"},
                                                     {104, "abc"},
                                                     {105, "-1"},
                                                     {106, "8080.5"},
                                                     {107, "443x"},
                                                     {108, "\xA1\xA1" "21\t"},
                                                     {109, "+5"},
                                                     {110, "-0.5"}});
    const Order ascending = {105, 110, 104, 109, 102, 108, 103, 107, 101, 106};
    EXPECT_EQ(Sorted(rows, kPort, SortMode::Numeric, true), ascending);
    EXPECT_EQ(Sorted(rows, kPort, SortMode::Numeric, false), Order(ascending.rbegin(), ascending.rend()));
    // As text the same trimmed cells order by their bytes ('+' 2B, '-' 2D, digits, letters): "+5", "-0.5",
    // "-1", "21", "22", "3389", "443x", "8080.5", "9", "abc".
    EXPECT_EQ(Sorted(rows, kPort, SortMode::Text, true), (Order{109, 110, 105, 108, 103, 101, 107, 106, 102, 104}));
}

TEST(SortServerList, TextComparesBytesCaseSensitivelyAndUnsigned) {
    // Trimmed keys: "10.0.0.2", "10.0.0.10", "192.168.1.1", "10.0.0.1", "server", "服务器", "Server". GBK bytes
    // (above 0x80) sort after ASCII; "Server" is below "server" ('S' 0x53 < 's' 0x73).
    const std::vector<ListRow> rows = Column(kAddress, {{201, "10.0.0.2"},
                                                        {202, "10.0.0.10"},
                                                        {203, "192.168.1.1"},
                                                        {204, " \t10.0.0.1\xA1\xA1"},
                                                        {205, "server"},
                                                        {206, "服务器"},
                                                        {207, "\tServer\t"}});
    const Order ascending = {204, 202, 201, 203, 207, 205, 206};
    EXPECT_EQ(Sorted(rows, kAddress, SortMode::Text, true), ascending);
    EXPECT_EQ(Sorted(rows, kAddress, SortMode::Text, false), Order(ascending.rbegin(), ascending.rend()));
    // As numbers: 10.0 for the first three 10.0.0.x, 192.168 (the number stops at the second point), 0 for the
    // names. Working, in list order:
    //   201 (10)     -> [201]
    //   202 (10)     not below the last (10)               -> [201 202]
    //   203 (192.168) not below the last                   -> [201 202 203]
    //   204 (10)     below 192.168; not above the first 10 -> first: [204 201 202 203]
    //   205 (0)      not above the first                   -> [205 204 201 202 203]
    //   206 (0)      not above the first (equal)           -> [206 205 204 201 202 203]
    //   207 (0)      likewise                              -> [207 206 205 204 201 202 203]
    EXPECT_EQ(Sorted(rows, kAddress, SortMode::Numeric, true), (Order{207, 206, 205, 204, 201, 202, 203}));
}

TEST(SortServerList, DatesInBothClockFormsAndUnreadableOnesFirst) {
    // Keys (OLE days): 301 2025-07-03 14:05:09 = 45841.5869; 302 "2:05:09" reads as 02:05:09 = 45841.0869;
    // 303 2024-12-31 = 45657; 304 永久, 305 2025/2/30 (no such day) and 308 "" are 0; 306 14:05:00 = 45841.5868
    // (9 s = 1.04e-4 days below 301, well beyond the 1e-7 of equality); 307 2026-01-01 = 46023.
    const std::vector<ListRow> rows = Column(kExpiry, {{301, "2025/7/3 14:05:09"},
                                                       {302, "2025/7/3 2:05:09"},
                                                       {303, "2024-12-31"},
                                                       {304, "永久"},
                                                       {305, "2025/2/30"},
                                                       {306, " 2025-07-03 14:05 "},
                                                       {307, "2026/1/1 00:00:00"},
                                                       {308, ""}});
    // Working:
    //   301                                   -> [301]
    //   302 below 301, not above the first    -> [302 301]
    //   303 not above the first               -> [303 302 301]
    //   304 (0) first                         -> [304 303 302 301]
    //   305 (0) not above the first (equal)   -> [305 304 303 302 301]
    //   306 below the last, above the first: lo 1, hi 5; mid 3 (303) below -> lo 3; mid 4 (302) below -> lo 4;
    //       place 5                           -> [305 304 303 302 306 301]
    //   307 not below the last                -> [305 304 303 302 306 301 307]
    //   308 (0) not above the first (equal)   -> [308 305 304 303 302 306 301 307]
    const Order ascending = {308, 305, 304, 303, 302, 306, 301, 307};
    EXPECT_EQ(Sorted(rows, kExpiry, SortMode::Date, true), ascending);
    // Descending is the exact reverse: the unreadable ones last, in arrival order.
    EXPECT_EQ(Sorted(rows, kExpiry, SortMode::Date, false), Order(ascending.rbegin(), ascending.rend()));
}

TEST(SortServerList, TiesGoWhereTheInsertionPutsThem) {
    // Ports 80, 80, 22, 80, 443, 80 for rows 1..6. Working:
    //   1 (80)                                  -> [1]
    //   2 (80) not below the last (80)          -> [1 2]
    //   3 (22) not above the first              -> [3 1 2]
    //   4 (80) not below the last (80)          -> [3 1 2 4]
    //   5 (443) not below the last              -> [3 1 2 4 5]
    //   6 (80) below 443, above 22: lo 1, hi 5; mid 3 is row 2 (80), equal: stop at lo 3, place 4
    //                                           -> [3 1 2 6 4 5]
    const std::vector<ListRow> ports =
        Column(kPort, {{1, "80"}, {2, "80"}, {3, "22"}, {4, "80"}, {5, "443"}, {6, "80"}});
    EXPECT_EQ(Sorted(ports, kPort, SortMode::Numeric, true), (Order{3, 1, 2, 6, 4, 5}));
    EXPECT_EQ(Sorted(ports, kPort, SortMode::Numeric, false), (Order{5, 4, 6, 2, 1, 3}));

    // Notes web, db, web, mail, db, web. Working:
    //   1 web                                    -> [1]
    //   2 db   not above the first               -> [2 1]
    //   3 web  not below the last (web)          -> [2 1 3]
    //   4 mail below web, above db: lo 1, hi 3; mid 2 (web) above mail -> hi 2; place 2 -> [2 4 1 3]
    //   5 db   not above the first (db, equal)   -> [5 2 4 1 3]
    //   6 web  not below the last (web)          -> [5 2 4 1 3 6]
    const std::vector<ListRow> notes =
        Column(kNote, {{1, "web"}, {2, "db"}, {3, "web"}, {4, "mail"}, {5, "db"}, {6, "web"}});
    EXPECT_EQ(Sorted(notes, kNote, SortMode::Text, true), (Order{5, 2, 4, 1, 3, 6}));
    EXPECT_EQ(Sorted(notes, kNote, SortMode::Text, false), (Order{6, 3, 1, 4, 2, 5}));

    // Numbers closer than 1e-7 are equal: 1, 1.0000002, 1.00000005. Working:
    //   1 (1)                                                      -> [1]
    //   2 (1.0000002) not below the last                           -> [1 2]
    //   3 (1.00000005) below 1.0000002 by 1.5e-7; equal to 1 (5e-8 apart), so not above the first -> [3 1 2]
    // (Exact comparison would put it between them: [1 3 2].)
    const std::vector<ListRow> close = Column(kPort, {{1, "1"}, {2, "1.0000002"}, {3, "1.00000005"}});
    EXPECT_EQ(Sorted(close, kPort, SortMode::Numeric, true), (Order{3, 1, 2}));
    EXPECT_EQ(Sorted(close, kPort, SortMode::Numeric, false), (Order{2, 1, 3}));

    // The same moment written in both forms is one key. Keys Jan 1, Mar 1, Dec 1, Mar 1 again. Working:
    //   [1] -> [1 2] -> [1 2 3]; 4 below Dec 1, above Jan 1: lo 1, hi 3; mid 2 (Mar 1) equal, place 3
    //   -> [1 2 4 3]
    const std::vector<ListRow> dates = Column(
        kExpiry, {{1, "2025/1/1"}, {2, "2025/3/1"}, {3, "2025/12/1 8:00"}, {4, "2025-03-01 00:00:00"}});
    EXPECT_EQ(Sorted(dates, kExpiry, SortMode::Date, true), (Order{1, 2, 4, 3}));
    EXPECT_EQ(Sorted(dates, kExpiry, SortMode::Date, false), (Order{3, 4, 2, 1}));
}

TEST(SortServerList, RowsKeepTheirCellsAndAreRenumbered) {
    MainWindow window;
    std::vector<ListRow> rows = {Server(41, "10.0.0.3", "3390", "2025/7/3 14:05:09", "办公室"),
                                 Server(42, "10.0.0.1", "22", "永久", "机房"),
                                 Server(43, "10.0.0.2", "3389", "2024-12-31", "")};
    Model model(window, rows);
    model.servers.Sort(kPort, true);

    // By port: 22 (42), 3389 (43), 3390 (41); every other cell unchanged, 序号 1..3.
    std::vector<ListRow> expected = {rows[1], rows[2], rows[0]};
    for (size_t i = 0; i < expected.size(); ++i) {
        expected[i].value = 0;
        expected[i].cells[2] = std::to_string(i + 1);
        expected[i].cells[3] = "";
    }
    expected[1].textColour = app::kLapsedColour;  // 2024-12-31 has passed on 2025/1/1
    EXPECT_EQ(window.ListRows(kList), expected);

    // Sorting by 序号 itself (as text) still numbers the result 1..n.
    model.servers.Sort(2, false);
    EXPECT_EQ(Values(window), (Order{41, 43, 42}));  // were numbered 3, 2, 1
    EXPECT_EQ(ColumnTexts(window, 2), (std::vector<std::string>{"1", "2", "3"}));
}

TEST(SortServerList, KeepsTheSelectedServerSelectedAndInView) {
    MainWindow window;
    Model model(window, {Server(21, "10.0.0.2", "3389", "2025/7/3 14:05:09"),
                         Server(22, "10.0.0.10", "9", "永久"),
                         Server(23, "192.168.1.1", "22", "2024-12-31"),
                         Server(24, "10.0.0.1", "443", "2025/7/3 2:05")});
    window.SetListSelectedRow(kList, 2);  // 23

    // Ports ascending: 9 (22), 22 (23), 443 (24), 3389 (21): row 23 is now second.
    model.servers.Sort(kPort, true);
    EXPECT_EQ(Values(window), (Order{22, 23, 24, 21}));
    EXPECT_EQ(window.ListSelectedRow(kList), 1);
    EXPECT_EQ(window.shownRow, 1);

    // Addresses descending: 192.168.1.1 (23), 10.0.0.2 (21), 10.0.0.10 (22), 10.0.0.1 (24): row 23 first.
    model.servers.Sort(kAddress, false);
    EXPECT_EQ(Values(window), (Order{23, 21, 22, 24}));
    EXPECT_EQ(window.ListSelectedRow(kList), 0);
    EXPECT_EQ(window.shownRow, 0);

    // Without a selection nothing gets selected or scrolled to.
    window.SetListSelectedRow(kList, -1);
    window.shownRow = -1;
    model.servers.Sort(kExpiry, true);
    EXPECT_EQ(Values(window), (Order{22, 23, 24, 21}));
    EXPECT_EQ(window.ListSelectedRow(kList), -1);
    EXPECT_EQ(window.shownRow, -1);
}

TEST(SortedOrder, RowsWithoutTheCellSortAsEmpty) {
    // Row 0 lacks column 4 (key ""), row 1 has "b", row 2 has "a". Working: [0] -> [0 1] (b not below "")
    // -> a below b, above "": lo 1, hi 2, place 2 -> [0 2 1].
    const std::vector<ListRow> rows = {{{"u"}, 0}, {{"u", "", "", "", "b"}, 0}, {{"u", "", "", "", "a"}, 0}};
    EXPECT_EQ(app::SortedOrder(rows, 4, SortMode::Text, true), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(app::SortedOrder(rows, 4, SortMode::Text, false), (std::vector<int>{1, 2, 0}));
    EXPECT_TRUE(app::SortedOrder({}, 4, SortMode::Date, true).empty());
}

TEST(SortedOrder, FollowsTheInsertionExactlyOnLongListsFullOfTies) {
    // The sort does not move rows about one insertion at a time; its order must still be the insertion's,
    // ties included. Keys from a few values, so that most searches meet an equal key.
    std::mt19937 random(7);
    for (SortMode mode : {SortMode::Text, SortMode::Numeric, SortMode::Date}) {
        for (size_t count : {2u, 17u, 300u, 2000u}) {
            std::vector<std::string> cells(count);
            for (std::string& cell : cells) {
                const unsigned pick = random() % 6;
                cell = mode == SortMode::Date ? "2025/" + std::to_string(pick + 1) + "/1" : std::to_string(pick * 7);
            }
            auto cell = [&cells](size_t row) -> std::string_view { return cells[row]; };
            for (bool ascending : {true, false}) {
                EXPECT_EQ(app::SortedOrder(count, cell, mode, ascending),
                          app::SortedOrderByInsertion(count, cell, mode, ascending))
                    << count << " rows, mode " << static_cast<int>(mode);
            }
        }
    }
}

TEST(ServerListSorter, OneDirectionSharedByAllColumnsTurnsOnEveryClick) {
    MainWindow window;
    app::ServerModel model;
    app::ServerCatalogue catalogue(model, {});
    catalogue.BindMainWindow(window);
    model.Reset({{"10.0.0.2", "3389", "user21", "", "", "2025/7/3 14:05:09"},
                 {"10.0.0.10", "9", "user22", "", "", "永久"},
                 {"192.168.1.1", "22", "user23", "", "", "2024-12-31"},
                 {"10.0.0.1", "443", "user24", "", "", "2025/7/3 2:05"}},
                {2025, 1, 1, 0, 0, 0});
    const std::vector<std::string> numbers = {"1", "2", "3", "4"};
    const app::ServerListSorter& sorter = catalogue.Sorter();

    // First click: ascending, by port (a number: 9 before 22 before 443 before 3389).
    ASSERT_TRUE(window.ClickColumn(kList, kPort));
    EXPECT_TRUE(sorter.SortAscending());
    EXPECT_EQ(Values(window), (Order{22, 23, 24, 21}));
    EXPECT_EQ(ColumnTexts(window, 2), numbers);

    // Another column: descending now, by address as text (10.0.0.10 before 10.0.0.2 ascending).
    ASSERT_TRUE(window.ClickColumn(kList, kAddress));
    EXPECT_FALSE(sorter.SortAscending());
    EXPECT_EQ(Values(window), (Order{23, 21, 22, 24}));
    EXPECT_EQ(ColumnTexts(window, 2), numbers);

    // Expiry, ascending again: 永久 (unreadable, 0) first, then 2024-12-31, 2025/7/3 02:05, 2025/7/3 14:05:09.
    ASSERT_TRUE(window.ClickColumn(kList, kExpiry));
    EXPECT_TRUE(sorter.SortAscending());
    EXPECT_EQ(Values(window), (Order{22, 23, 24, 21}));

    // The same column again: descending.
    ASSERT_TRUE(window.ClickColumn(kList, kExpiry));
    EXPECT_FALSE(sorter.SortAscending());
    EXPECT_EQ(Values(window), (Order{21, 24, 23, 22}));
    EXPECT_EQ(ColumnTexts(window, 2), numbers);
}
