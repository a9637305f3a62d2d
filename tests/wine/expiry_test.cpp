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
#include "runtime/png_image.h"
#include "runtime/text_codec.h"
#include "tray/tray_icon_win32.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

constexpr int kIpColumn = 4, kNoteColumn = 6;

std::string Utf8(const std::wstring& text) { return runtime::Utf16ToUtf8(std::u16string(text.begin(), text.end())); }

// The date `days` from today, as the editor writes it, at the current hour.
std::string DaysFromNow(int days) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME file{};
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(days) * 86400LL * 10000000LL);
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME then{};
    FileTimeToSystemTime(&file, &then);
    return std::to_string(then.wYear) + "/" + std::to_string(then.wMonth) + "/" + std::to_string(then.wDay) + " " +
           std::to_string(then.wHour) + ":00:00";
}

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

// Whether the screen shows a pixel of `colour` (0x00BBGGRR) inside `area` (screen coordinates), read from a
// screenshot of the whole display.
bool ColourIn(const runtime::RgbaImage& screen, const RECT& area, std::int32_t colour) {
    const std::uint32_t wanted = 0xFF000000u | (static_cast<std::uint32_t>(colour & 0xFF) << 16) |
                                 (static_cast<std::uint32_t>(colour & 0xFF00)) | ((colour >> 16) & 0xFF);
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, screen.height); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, screen.width); ++x)
            if (screen.At(x, y) == wanted) return true;
    return false;
}

TEST(ExpiryTest, TheReminderTheColoursAndFindingAServer) {
    const std::wstring exe = PrepareProgramFolder(L"expiry");
    ASSERT_FALSE(exe.empty());
    const std::wstring database = exe.substr(0, exe.find_last_of(L'\\')) + L"\\config.MDB";
    ASSERT_TRUE(WriteFileBytes(database, catalogue::ConfigDatabaseTemplate()));
    {
        catalogue::ConfigDatabase db;
        ASSERT_TRUE(db.Open(Utf8(database))) << db.LastError();
        ASSERT_TRUE(catalogue::AddServer(db, {"10.0.0.1", "3389", "u", "p", "gone", DaysFromNow(-3)}));
        ASSERT_TRUE(catalogue::AddServer(db, {"10.0.0.2", "3389", "u", "p", "soon", DaysFromNow(2)}));
        ASSERT_TRUE(catalogue::AddServer(db, {"10.0.0.3", "3389", "u", "p", "fine", DaysFromNow(60)}));
    }
    Process program = StartQuillon(exe);
    ASSERT_TRUE(program.Started()) << program.Error();
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GetPropW(main, L"QuillonLoaded") != nullptr; }, kReactTimeout));
    HWND list = FindControl(main, Gbk(L"超级列表框1"));
    ASSERT_NE(list, nullptr);

    // The balloon, as Wine shows it: a visible tooltip window holding its text.
    EXPECT_TRUE(WaitUntil([] { return BalloonShows(Gbk(L"1 台服务器已过期，1 台服务器将在 7 天内到期")); }, kReactTimeout))
        << "no reminder balloon";

    // The rows' colours on the screen, each in its own row's place.
    Pause(500);
    const std::string shot = Utf8(Environment(L"QUILLON_TEST_DIR_UNIX")) + "/screen.png";
    ASSERT_TRUE(RunLinuxCommand("import -window root " + shot).has_value());
    const std::string png = ReadFileBytes(JoinPath(Environment(L"QUILLON_TEST_DIR"), L"screen.png")).value_or("");
    runtime::RgbaImage screen;
    ASSERT_TRUE(runtime::DecodePng(reinterpret_cast<const unsigned char*>(png.data()), png.size(), screen));
    std::vector<RECT> rows;
    for (int row = 0; row < 3; ++row) {
        std::optional<RECT> cell = ListCellRect(list, row, kIpColumn);
        ASSERT_TRUE(cell);
        RECT area{0, cell->top, 0, cell->bottom};
        RECT client{};
        GetClientRect(list, &client);
        area.right = client.right;
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&area), 2);
        rows.push_back(area);
    }
    EXPECT_TRUE(ColourIn(screen, rows[0], app::kLapsedColour)) << "the lapsed row is not red";
    EXPECT_TRUE(ColourIn(screen, rows[1], app::kDueSoonColour)) << "the lapsing row is not orange";
    EXPECT_FALSE(ColourIn(screen, rows[2], app::kLapsedColour) || ColourIn(screen, rows[2], app::kDueSoonColour));
    EXPECT_FALSE(ColourIn(screen, rows[0], app::kDueSoonColour));

    // Typing an address while the list has the keyboard selects its row.
    POINT at{(rows[0].left + rows[0].right) / 2, (rows[0].top + rows[0].bottom) / 2};
    ScreenToClient(list, &at);
    ASSERT_TRUE(ClickAt(list, at.x, at.y));
    ASSERT_TRUE(WaitUntil([&] { return ListSelection(list) == 0; }, kReactTimeout));
    ASSERT_TRUE(TypeText(list, "10.0.0.3"));
    EXPECT_TRUE(WaitUntil([&] { return ListSelection(list) == 2; }, kReactTimeout)) << "typing did not find 10.0.0.3";

    // The reminder clicked (the shell's message for a click on the balloon): the main window in front, the
    // list by expiry with the first server due selected.
    SendMessageTimeoutW(main, tray::kCallbackMessage, 1, NIN_BALLOONUSERCLICK, SMTO_ABORTIFHUNG, kReactTimeout, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ListSelection(list) == 0; }, kReactTimeout));
    EXPECT_EQ(ListCellText(list, 0, kNoteColumn).value_or(""), "gone");
    EXPECT_EQ(ListCellText(list, 2, kNoteColumn).value_or(""), "fine");
    ASSERT_TRUE(CloseQuillon(program, main));
    EXPECT_TRUE(program.WaitForExit(kReactTimeout));
}

}  // namespace
}  // namespace wine_driver
