// Expiry dates in the running program: a config.MDB with a lapsed, a lapsing and an ordinary server gives the
// reminder balloon with the right text, the three rows in their colours on the screen, the reminder's click
// showing the servers due first; and typing an address in the list selects its row.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/server_expiry.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "tray/tray_icon_win32.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

constexpr int kIpColumn = 4, kNoteColumn = 6;


BOOL CALLBACK AddTooltipText(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && ClassName(window) == "tooltips_class32")
        reinterpret_cast<std::vector<std::string>*>(list)->push_back(ReadText(window));
    return TRUE;
}

bool BalloonShows(const std::string& text) {
    std::vector<std::string> texts;
    EnumWindows(&AddTooltipText, reinterpret_cast<LPARAM>(&texts));
    for (const std::string& shown : texts)
        if (shown.find(text) != std::string::npos) return true;
    return false;
}

TEST(ExpiryTest, TheReminderTheColoursAndFindingAServer) {
    Started started = StartWithServers(L"expiry", {{"10.0.0.1", "3389", "u", "p", "gone", DaysFromNow(-3)},
                                                   {"10.0.0.2", "3389", "u", "p", "soon", DaysFromNow(2)},
                                                   {"10.0.0.3", "3389", "u", "p", "fine", DaysFromNow(60)}});
    ASSERT_NE(started.main, nullptr);
    HWND main = started.main, list = started.list;

    // The balloon, as Wine shows it: a visible tooltip window holding its text.
    EXPECT_TRUE(WaitUntil([] { return BalloonShows(Gbk(L"1 台服务器已过期，1 台服务器将在 7 天内到期")); }, kReactTimeout))
        << "no reminder balloon";

    // The rows' colours on the screen, each in its own row's place.
    Pause(500);
    EXPECT_TRUE(RowShowsColour(list, 0, app::kLapsedColour)) << "the lapsed row is not red";
    EXPECT_TRUE(RowShowsColour(list, 1, app::kDueSoonColour)) << "the lapsing row is not orange";
    EXPECT_FALSE(RowShowsColour(list, 2, app::kLapsedColour) || RowShowsColour(list, 2, app::kDueSoonColour));
    EXPECT_FALSE(RowShowsColour(list, 0, app::kDueSoonColour));

    // Typing an address while the list has the keyboard selects its row.
    std::optional<RECT> first = ListCellRect(list, 0, kIpColumn);
    ASSERT_TRUE(first);
    ASSERT_TRUE(ClickAt(list, (first->left + first->right) / 2, (first->top + first->bottom) / 2));
    ASSERT_TRUE(WaitUntil([&] { return ListSelection(list) == 0; }, kReactTimeout));
    ASSERT_TRUE(TypeText(list, "10.0.0.3"));
    EXPECT_TRUE(WaitUntil([&] { return ListSelection(list) == 2; }, kReactTimeout)) << "typing did not find 10.0.0.3";

    // The reminder clicked (the shell's message for a click on the balloon): the main window in front, the
    // servers due within 30 days by expiry, the first server due selected.
    SendMessageTimeoutW(main, tray::kCallbackMessage, 1, NIN_BALLOONUSERCLICK, SMTO_ABORTIFHUNG, kReactTimeout, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ListItemCount(list) == 2 && ListSelection(list) == 0; }, kReactTimeout));
    EXPECT_EQ(ListCellText(list, 0, kNoteColumn).value_or(""), "gone");
    EXPECT_EQ(ListCellText(list, 1, kNoteColumn).value_or(""), "soon");
    EXPECT_EQ(ComboSelection(FindControl(main, Gbk(L"组合框_查找范围"))), 4);
    ASSERT_TRUE(CloseQuillon(started.program, main));
    EXPECT_TRUE(started.program.WaitForExit(kReactTimeout));
}

}  // namespace
}  // namespace wine_driver
