// A list view's rows in Win32Form, in this process: the form holds the rows and the list view shows them on
// request. Checked through the list view itself, the way a person and the test driver see it: the texts it
// hands out (whole, or cut to a small buffer), what it repaints after a change, its selection and focus as
// the rows are replaced, appended or cleared, the events of clicks on and beside the rows, and finding a row
// by typing the start of its first column.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "runtime/form_win32.h"
#include "runtime/text_codec.h"

namespace runtime {
namespace {

constexpr char kList[] = "列表1";

WindowSpec ListWindow() {
    WindowSpec design;
    design.name = "ListWindow";
    design.caption = "列表";
    design.width = 500;
    design.height = 300;
    design.programIcon = false;
    ControlSpec list;
    list.name = kList;
    list.kind = ControlKind::ListView;
    list.left = 10;
    list.top = 10;
    list.width = 460;
    list.height = 200;
    list.columns = {{"名称", 120, Alignment::Left}, {"密码", 0, Alignment::Left}, {"备注", 300, Alignment::Left}};
    design.controls.push_back(list);
    return design;
}

// Rows whose every cell tells its row: 服务器<i>, pw<i>, 备注<i>; values 1000 + i on every third row.
std::vector<ListRow> Rows(int first, int count) {
    std::vector<ListRow> rows;
    for (int i = first; i < first + count; ++i) {
        std::string n = std::to_string(i);
        rows.push_back({{"服务器" + n, "pw" + n, "备注" + n}, i % 3 == 0 ? 1000 + i : 0});
    }
    return rows;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (PreTranslateWindowMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A cell as the list view hands it out, into a buffer of `capacity` characters.
std::string ViewCell(HWND list, int row, int column, int capacity = 1024) {
    std::wstring text(static_cast<size_t>(capacity), L'\0');
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = text.data();
    cell.cchTextMax = capacity;
    LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
    return Utf16ToGbk(std::u16string(text.begin(), text.end()));
}

class ListViewRows : public ::testing::Test {
protected:
    void SetUp() override {
        InitialiseCommonControls();
        ASSERT_TRUE(form.Create());
        form.Show();
        UpdateWindow(form.Handle());
        Pump();
        list = form.ControlHandle(kList);
        for (FormEvent event : {FormEvent::Click, FormEvent::DoubleClick, FormEvent::RowRightClick,
                                FormEvent::SelectionChanged}) {
            form.On(kList, event, [this, event](const FormEventArgs& args) {
                events.push_back(std::string(FormEventName(event)) + " " + std::to_string(args.row));
            });
        }
    }
    void TearDown() override {
        form.Close();
        Pump();
    }

    int Next(int after, UINT which) const {
        return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), which));
    }
    RECT RowBounds(int row) const {
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
        return bounds;
    }

    Win32Form form{ListWindow()};
    HWND list = nullptr;
    std::vector<std::string> events;
};

TEST_F(ListViewRows, TheListViewHandsOutTheFormsCellsWholeOrCutToTheBuffer) {
    std::vector<ListRow> rows = Rows(0, 300);
    std::string longNote;
    for (int i = 0; i < 400; ++i) longNote += "很长的备注";  // 2,000 characters, 4,000 bytes of GBK
    rows[5].cells[2] = longNote;
    rows[6].cells[2] = "";
    form.SetListRows(kList, rows);

    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 300);
    EXPECT_EQ(ViewCell(list, 0, 0), "服务器0");
    EXPECT_EQ(ViewCell(list, 299, 2), "备注299");
    EXPECT_EQ(ViewCell(list, 150, 1), "pw150");  // a hidden column still holds its texts
    EXPECT_EQ(ViewCell(list, 6, 2), "");
    EXPECT_EQ(ViewCell(list, 5, 2, 5000), longNote);
    EXPECT_EQ(ViewCell(list, 5, 2, 4), "很长的");  // three characters and the end mark
    EXPECT_EQ(form.ListCell(kList, 5, 2), longNote);

    // Appended rows, a changed cell and a changed value read the same through the form and the list view.
    form.ListAppendRows(kList, Rows(300, 20));
    form.SetListCell(kList, 310, 0, "新名称");
    form.SetListRowValue(kList, 1, -0x123456789LL);
    std::vector<ListRow> expected = rows;
    for (const ListRow& row : Rows(300, 20)) expected.push_back(row);
    expected[310].cells[0] = "新名称";
    expected[1].value = -0x123456789LL;
    EXPECT_EQ(form.ListRows(kList), expected);
    EXPECT_EQ(form.ListRowCount(kList), 320);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 320);
    EXPECT_EQ(ViewCell(list, 310, 0), "新名称");
    EXPECT_EQ(ViewCell(list, 319, 2), "备注319");
    EXPECT_EQ(form.ListRowValue(kList, 303), 1303);
    EXPECT_EQ(form.ListRowValue(kList, 304), 0);

    // Rows added one at a time carry value 0 and read back alike.
    form.ListClear(kList);
    EXPECT_EQ(form.ListAddRow(kList, {"甲"}), 0);
    EXPECT_EQ(form.ListAddRow(kList, {"乙", "", "二"}), 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(ViewCell(list, 1, 2), "二");
    EXPECT_EQ(form.ListRows(kList), (std::vector<ListRow>{{{"甲", "", ""}, 0}, {{"乙", "", "二"}, 0}}));
}

TEST_F(ListViewRows, AChangedCellRepaintsItsRowAndNothingOutOfView) {
    form.SetListRows(kList, Rows(0, 300));
    UpdateWindow(list);
    Pump();
    ASSERT_FALSE(GetUpdateRect(list, nullptr, FALSE));

    form.SetListCell(kList, 2, 2, "已连接");
    RECT due{};
    ASSERT_TRUE(GetUpdateRect(list, &due, FALSE));
    const RECT row = RowBounds(2);  // the repaint may be as wide as the list, but no taller than the row
    EXPECT_GE(due.top, row.top);
    EXPECT_LE(due.bottom, row.bottom);
    UpdateWindow(list);
    EXPECT_EQ(ViewCell(list, 2, 2), "已连接");

    const int perPage = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_LT(perPage + 5, 300);
    form.SetListCell(kList, perPage + 5, 2, "看不见");
    EXPECT_FALSE(GetUpdateRect(list, nullptr, FALSE));
    EXPECT_EQ(ViewCell(list, perPage + 5, 2), "看不见");
}

TEST_F(ListViewRows, ReplacingOrClearingTheRowsClearsTheSelectionAppendingKeepsIt) {
    form.SetListRows(kList, Rows(0, 300));
    form.SetListSelectedRow(kList, 5);
    form.SetListSelectedRow(kList, 40);
    EXPECT_EQ(Next(-1, LVNI_SELECTED), 40);
    EXPECT_EQ(Next(40, LVNI_SELECTED), -1);  // one row only
    EXPECT_EQ(Next(-1, LVNI_FOCUSED), 40);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 5, LVIS_SELECTED | LVIS_FOCUSED), 0);
    EXPECT_EQ(form.ListSelectedRow(kList), 40);
    form.SetListSelectedRow(kList, 40);  // again: still selected
    EXPECT_EQ(Next(-1, LVNI_SELECTED), 40);
    form.SetListSelectedRow(kList, -1);
    EXPECT_EQ(Next(-1, LVNI_SELECTED), -1);
    EXPECT_EQ(Next(-1, LVNI_FOCUSED), -1);

    form.SetListSelectedRow(kList, 40);
    form.ListAppendRows(kList, Rows(300, 10));
    EXPECT_EQ(form.ListSelectedRow(kList), 40);

    // Replaced while scrolled down with a row selected: no selection, no focus, the top row in view.
    form.SetListSelectedRow(kList, 290);
    ASSERT_GT(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
    form.SetListRows(kList, Rows(1000, 300));
    EXPECT_EQ(form.ListSelectedRow(kList), -1);
    EXPECT_EQ(Next(-1, LVNI_FOCUSED), -1);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(ViewCell(list, 0, 0), "服务器1000");

    form.SetListSelectedRow(kList, 3);
    form.ListClear(kList);
    EXPECT_EQ(form.ListSelectedRow(kList), -1);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    form.ListAppendRows(kList, Rows(0, 10));
    EXPECT_EQ(form.ListSelectedRow(kList), -1);
    Pump();
    EXPECT_TRUE(events.empty()) << "a change from code raised " << events.front();
}

TEST_F(ListViewRows, ClicksOnTheRowsAndBesideThemRaiseTheirEvents) {
    form.SetListRows(kList, Rows(0, 3));
    UpdateWindow(list);
    const RECT second = RowBounds(1);
    const LPARAM onSecond = MAKELPARAM(second.left + 20, (second.top + second.bottom) / 2);
    const RECT last = RowBounds(2);
    const LPARAM below = MAKELPARAM(last.left + 20, last.bottom + 30);

    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, onSecond);
    PostMessageW(list, WM_LBUTTONUP, 0, onSecond);
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"SelectionChanged 1", "Click 1"}));
    EXPECT_EQ(form.ListSelectedRow(kList), 1);

    events.clear();
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, onSecond);
    PostMessageW(list, WM_LBUTTONUP, 0, onSecond);
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"DoubleClick 1"}));

    // Right clicks: the cursor is put there first (a list view takes a move during the click for a drag).
    auto rightClick = [&](LPARAM at) {
        POINT screen{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
        ClientToScreen(list, &screen);
        SetCursorPos(screen.x, screen.y);
        Sleep(50);
        Pump();
        events.clear();
        PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
        PostMessageW(list, WM_RBUTTONUP, 0, at);
        Pump();
    };
    rightClick(onSecond);
    EXPECT_EQ(events, (std::vector<std::string>{"RowRightClick 1"}));
    rightClick(below);
    EXPECT_EQ(events, (std::vector<std::string>{"RowRightClick -1"}));
}

TEST_F(ListViewRows, TypingTheStartOfAFirstColumnSelectsThatRow) {
    form.SetListRows(kList, {{{"alpha"}, 0}, {{"Beta"}, 0}, {{"gamma"}, 0}, {{"bravo"}, 0}, {{"delta"}, 0}});
    SetFocus(list);
    Pump();
    // Within a moment the keys add up to one prefix, capitals and small letters alike.
    SendMessageW(list, WM_CHAR, L'b', 1);
    Pump();
    EXPECT_EQ(form.ListSelectedRow(kList), 1);
    SendMessageW(list, WM_CHAR, L'R', 1);
    Pump();
    EXPECT_EQ(form.ListSelectedRow(kList), 3);
    EXPECT_EQ(events, (std::vector<std::string>{"SelectionChanged 1", "SelectionChanged 3"}));
    // A prefix no row has leaves the selection.
    Sleep(1200);
    SendMessageW(list, WM_CHAR, L'z', 1);
    Pump();
    EXPECT_EQ(form.ListSelectedRow(kList), 3);
}

}  // namespace
}  // namespace runtime
