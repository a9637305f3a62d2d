// A person with a few servers in the running program: types in the filter box under the list, clears it with
// Esc, picks "7 天内到期", renews a lapsed server from the list's menu and sees its red go; then opens the
// editor on one server while the expiry reminder is clicked, and the save still lands on that server. The list
// on screen and the rows stored in config.MDB are both checked.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/server_expiry.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "runtime/text_codec.h"
#include "tray/tray_icon_win32.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

constexpr int kIpColumn = 4, kNoteColumn = 6, kExpiryColumn = 7;

// The servers stored in the running program's config.MDB, read from a copy (the program keeps the file open).
std::vector<catalogue::ServerEntry> Stored(const std::wstring& folder) {
    const std::wstring copy = JoinPath(Environment(L"QUILLON_TEST_DIR"), L"stored-copy.MDB");
    std::vector<catalogue::ServerEntry> rows;
    if (!CopyFileW(JoinPath(folder, L"config.MDB").c_str(), copy.c_str(), FALSE)) return rows;
    catalogue::ConfigDatabase db;
    if (db.OpenForReading(Utf8(copy))) catalogue::LoadServers(db, rows);
    return rows;
}

// The row showing the server whose note is `note`, -1 when the list does not show it.
int RowOf(HWND list, const std::wstring& note) {
    for (int row = 0; row < ListItemCount(list); ++row)
        if (ListCellText(list, row, kNoteColumn).value_or("") == Gbk(note)) return row;
    return -1;
}

// Right-clicks `row` and chooses the menu's item `item` (0 add, 1 modify, 2 delete, 3 renew).
bool ChooseOnRow(HWND list, DWORD pid, int row, int item) {
    std::optional<RECT> cell = ListCellRect(list, row, kIpColumn);
    if (!cell || !RightClickAt(list, (cell->left + cell->right) / 2, (cell->top + cell->bottom) / 2)) return false;
    HWND menu = WaitForPopupMenu(pid);
    return menu && ChooseMenuItem(menu, item);
}

TEST(FilterTest, FilterRenewAndEditAsAPersonDoes) {
    Started started = StartWithServers(L"filter", {{"10.0.0.1", "3389", "u", "p", Gbk(L"北京01"), DaysFromNow(3)},
                                                   {"10.0.0.2", "22", "u", "p", Gbk(L"上海-电信"), DaysFromNow(60)},
                                                   {"10.0.0.3", "3389", "u", "p", Gbk(L"北京02"), DaysFromNow(-2)}});
    ASSERT_NE(started.main, nullptr);
    HWND main = started.main, list = started.list;
    HWND box = FindControl(main, Gbk(L"编辑框_查找"));
    HWND view = FindControl(main, Gbk(L"组合框_查找范围"));
    HWND count = FindControl(main, Gbk(L"标签_查找结果"));
    ASSERT_TRUE(box && view && count);
    EXPECT_EQ(ReadText(count), Gbk(L"显示 3 / 共 3 台"));

    // The initials of the pinyin find both Beijing servers; Esc in the box brings all back.
    ASSERT_TRUE(ClickAt(box, 5, 5));
    ASSERT_TRUE(TypeText(box, "bj"));
    EXPECT_TRUE(WaitUntil([&] { return ListItemCount(list) == 2; }, kReactTimeout));
    EXPECT_EQ(ReadText(count), Gbk(L"显示 2 / 共 3 台"));
    EXPECT_EQ(ListCellText(list, 1, kNoteColumn).value_or(""), Gbk(L"北京02"));
    // The picture of the main window with a filter, for people to look at (build/screenshots/main-filter.png).
    RECT frame{};
    GetWindowRect(main, &frame);
    RunLinuxCommand("mkdir -p '" QUILLON_SOURCE_DIR "/build/screenshots' && import -window root -crop " +
                    std::to_string(frame.right - frame.left) + "x" + std::to_string(frame.bottom - frame.top) + "+" +
                    std::to_string(frame.left) + "+" + std::to_string(frame.top) + " +repage '" QUILLON_SOURCE_DIR
                    "/build/screenshots/main-filter.png'");
    ASSERT_TRUE(PressEscape(box));
    EXPECT_TRUE(WaitUntil([&] { return ListItemCount(list) == 3 && ReadText(box).empty(); }, kReactTimeout));

    // "7 天内到期": the lapsed and the lapsing servers, each in its colour.
    for (int down = 0; down < 3; ++down) ASSERT_TRUE(PressKey(view, VK_DOWN));
    EXPECT_TRUE(WaitUntil([&] { return ComboSelection(view) == 3 && ListItemCount(list) == 2; }, kReactTimeout));
    const int lapsed = RowOf(list, L"北京02");
    ASSERT_GE(lapsed, 0);
    Pause(300);  // the paint after the view changed
    EXPECT_TRUE(RowShowsColour(list, lapsed, app::kLapsedColour));

    // Renewed by a month from today: it is no longer due, so it leaves the view, and in the whole list it is
    // no longer red.
    ASSERT_TRUE(ChooseOnRow(list, started.program.Id(), lapsed, 3));
    HWND renewal = started.program.WaitForNamedWindow("RenewalDialog");
    ASSERT_NE(renewal, nullptr);
    ASSERT_TRUE(Click(FindControl(renewal, Gbk(L"按钮_1个月"))));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(FindControl(renewal, Gbk(L"标签_新"))).find(':') != std::string::npos; },
                          kReactTimeout));
    ASSERT_TRUE(Click(FindControl(renewal, Gbk(L"按钮_确定"))));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(renewal) && ListItemCount(list) == 1; }, kReactTimeout));
    for (int up = 0; up < 3; ++up) ASSERT_TRUE(PressKey(view, VK_UP));
    EXPECT_TRUE(WaitUntil([&] { return ListItemCount(list) == 3; }, kReactTimeout));
    const int renewed = RowOf(list, L"北京02");
    ASSERT_GE(renewed, 0);
    Pause(300);
    EXPECT_FALSE(RowShowsColour(list, renewed, app::kLapsedColour)) << "the renewed server is still red";
    EXPECT_EQ(ListCellText(list, renewed, kExpiryColumn).value_or(""), Stored(started.folder)[2].dqsj);
    EXPECT_NE(Stored(started.folder)[2].dqsj, DaysFromNow(-2));

    // The editor open on 上海-电信 while the reminder is clicked: the list stays as it is, and the save lands on
    // the server the editor was opened for.
    const int shanghai = RowOf(list, L"上海-电信");
    ASSERT_TRUE(ChooseOnRow(list, started.program.Id(), shanghai, 1));
    HWND editor = started.program.WaitForNamedWindow("ServerEditorWindow");
    ASSERT_NE(editor, nullptr);
    SendMessageTimeoutW(main, tray::kCallbackMessage, 1, NIN_BALLOONUSERCLICK, SMTO_ABORTIFHUNG, kReactTimeout, nullptr);
    EXPECT_EQ(ListItemCount(list), 3) << "the reminder changed the list under the open editor";
    ASSERT_TRUE(TypeOver(FindControl(editor, Gbk(L"编辑框1")), Gbk(L"上海-电信 改")));
    ASSERT_TRUE(Click(FindControl(editor, Gbk(L"按钮1"))));
    std::optional<MessageBoxView> saved = WaitForMessageBox(started.program.Id());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->text, Gbk(L"修改服务器成功..."));
    ASSERT_TRUE(PressButton(saved->dialog, Gbk(L"确定")));
    const std::vector<catalogue::ServerEntry> rows = Stored(started.folder);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].note, Gbk(L"北京01"));
    EXPECT_EQ(rows[1].note, Gbk(L"上海-电信 改"));
    ASSERT_TRUE(CloseQuillon(started.program, main));
    EXPECT_TRUE(started.program.WaitForExit(kReactTimeout));
}

}  // namespace
}  // namespace wine_driver
