// The server list of the real MainWindow filled in parts (Form::ListAppendRows, as the start-up loader hands
// the rows over): the list view ends with every row in order, texts and item values as given, the selection
// made meanwhile kept; and a part that goes in below the visible rows leaves nothing to repaint, while a
// part that reaches into view is painted.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "runtime/form_win32.h"
#include "runtime/text_codec.h"
#include "ui/forms.h"

namespace {

using app::kServerList;

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::vector<runtime::ListRow> Rows(int first, int count) {
    std::vector<runtime::ListRow> rows;
    for (int i = first; i < first + count; ++i) {
        rows.push_back({{"用户" + std::to_string(i), "pw", std::to_string(i + 1), "", "10.2." + std::to_string(i / 256) +
                         "." + std::to_string(i % 256), "3389", "备注" + std::to_string(i), i % 3 ? "" : "2026/1/2 03:04:05"},
                        i % 5 == 0 ? 1000 + i : 0});
    }
    return rows;
}

// A cell as the list view itself holds it.
std::string ViewCell(HWND list, int row, int column) {
    wchar_t text[128] = {};
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = 128;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    return runtime::Utf16ToGbk(std::u16string(text, text + wcslen(text)));
}

class ServerListFill : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::InitialiseCommonControls();
        ASSERT_TRUE(form.Create());
        form.Show();
        UpdateWindow(form.Handle());
        Pump();
        list = form.ControlHandle(kServerList);
    }
    void TearDown() override {
        form.Close();
        Pump();
    }
    bool PaintDue() const { return GetUpdateRect(list, nullptr, FALSE) != FALSE; }

    runtime::Win32Form form{ui::MainWindowSpec()};
    HWND list = nullptr;
};

TEST_F(ServerListFill, PartsEndAsTheWholeListWithValuesAndTheSelectionKept) {
    const std::vector<runtime::ListRow> whole = Rows(0, 2300);
    form.SetListRows(kServerList, std::vector<runtime::ListRow>(whole.begin(), whole.begin() + 1000));
    form.SetListSelectedRow(kServerList, 7);
    form.ListAppendRows(kServerList, std::vector<runtime::ListRow>(whole.begin() + 1000, whole.begin() + 2000));
    Pump();
    form.ListAppendRows(kServerList, std::vector<runtime::ListRow>(whole.begin() + 2000, whole.end()));
    Pump();

    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2300);
    EXPECT_EQ(form.ListRows(kServerList), whole);
    EXPECT_EQ(form.ListSelectedRow(kServerList), 7);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 7);
    EXPECT_EQ(ViewCell(list, 2299, app::kColumnNote), "备注2299");
    EXPECT_EQ(ViewCell(list, 2100, app::kColumnExpiry), "2026/1/2 03:04:05");
    EXPECT_EQ(form.ListRowValue(kServerList, 2295), 1000 + 2295);
    // Appended rows are ordinary rows: a change and a selection reach the list view.
    form.SetListCell(kServerList, 2200, app::kColumnState, "已连接");
    form.SetListSelectedRow(kServerList, 2200);
    EXPECT_EQ(ViewCell(list, 2200, app::kColumnState), "已连接");
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2200);
}

TEST_F(ServerListFill, OnlyAPartThatReachesIntoViewIsRepainted) {
    const int perPage = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(perPage, 3);
    // A first part shorter than the visible rows, then one that fills the rest of the view: both painted.
    form.SetListRows(kServerList, Rows(0, 2));
    EXPECT_TRUE(PaintDue());
    Pump();
    ASSERT_FALSE(PaintDue());
    form.ListAppendRows(kServerList, Rows(2, perPage + 10));
    EXPECT_TRUE(PaintDue());
    Pump();
    // Below the view: nothing on screen changes but the scroll bar.
    form.ListAppendRows(kServerList, Rows(perPage + 12, 500));
    EXPECT_FALSE(PaintDue());
    // Scrolled to the end, the next part lands in view and is painted.
    form.ListShowRow(kServerList, form.ListRowCount(kServerList) - 1);
    Pump();
    form.ListAppendRows(kServerList, Rows(perPage + 512, 3));
    EXPECT_TRUE(PaintDue());
    Pump();
    // A paint already due (the window uncovered, say) is never dropped by a part below the view.
    form.ListShowRow(kServerList, 0);
    Pump();
    InvalidateRect(list, nullptr, TRUE);
    form.ListAppendRows(kServerList, Rows(perPage + 515, 50));
    EXPECT_TRUE(PaintDue());
    EXPECT_EQ(form.ListRowCount(kServerList), perPage + 565);
}

}  // namespace
