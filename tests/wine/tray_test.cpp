// The notification icon: TrayIcon on a window of this test (the record the shell gets, the events the bound
// window delivers), and the program's own icon as a person uses it where Wine lets a test do so.
//
// What Wine shows of the notification area: without a desktop window, a small top-level window "Wine System
// Tray" (an explorer.exe window) draws the icons below its caption; a real mouse click there (xdotool, run
// through the shell) makes the shell send the icon's callback message.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tray/tray_icon_win32.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

std::vector<std::uint8_t> ProgramIcon() {
    std::ifstream in(QUILLON_SOURCE_DIR "/src/ui/pictures/quillon.ico", std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> events;  // what the bound window saw, in order

void Record(int code) { events.push_back("code " + std::to_string(code)); }

LRESULT CALLBACK OwnProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) events.push_back("own destroy");
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND PlainWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuillonTrayTest";
    RegisterClassW(&windowClass);
    return CreateWindowW(L"QuillonTrayTest", L"tray test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                         windowClass.hInstance, nullptr);
}

// The X window id of Wine's notification area ("" while it is not shown: it shows while it holds an icon).
std::string TrayWindow() {
    std::string id = RunLinuxCommand("xdotool search --onlyvisible --name 'Wine System Tray' | head -n 1").value_or("");
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
    return id;
}

TEST(TrayIconTest, TheRecordTheShellGetsAndTheEventsTheWindowDelivers) {
    // The pointer away from where the icon will show (an earlier run left it there): no mouse events.
    ASSERT_TRUE(RunLinuxCommand("xdotool mousemove 1279 1023").has_value());
    HWND window = PlainWindow();
    ASSERT_NE(window, nullptr);
    tray::TrayIcon icon;
    EXPECT_FALSE(icon.Add(nullptr, ProgramIcon(), "x"));  // not a window: nothing changes
    EXPECT_EQ(icon.Window(), nullptr);

    const std::string longTip = std::string(120, 'a') + Gbk(L"服务器");  // 126 bytes, the last character cut
    ASSERT_TRUE(icon.Add(window, ProgramIcon(), longTip));
    const NOTIFYICONDATAA& record = icon.Record();
    EXPECT_EQ(record.cbSize, sizeof(void*) == 8 ? 504u : 488u);
    EXPECT_EQ(record.uFlags, 0x17u);
    EXPECT_EQ(record.uCallbackMessage, 0x2DA5u);
    EXPECT_EQ(record.uTimeout, 10000u);
    EXPECT_NE(record.hIcon, nullptr);
    EXPECT_EQ(std::string(record.szTip), longTip.substr(0, 126));
    EXPECT_TRUE(icon.ShowBalloon(std::string(70, 'T'), "text", NIIF_INFO, 0));
    EXPECT_EQ(std::string(record.szInfoTitle), std::string(63, 'T'));
    EXPECT_EQ(record.uTimeout, 3000u);

    // Icon data shorter than its directory says: no icon from it, the window's small icon instead.
    std::vector<std::uint8_t> cut = ProgramIcon();
    cut.resize(500);
    EXPECT_EQ(tray::TrayIcon::IconFromIcoData(cut, 0, nullptr, nullptr), nullptr);
    EXPECT_FALSE(icon.SetIcon(cut));

    icon.BindEvents(&Record);
    SendMessageW(window, tray::kCallbackMessage, 1, WM_LBUTTONUP);
    SendMessageW(window, icon.TaskbarCreatedMessage(), 0, 0);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\u670D\u52A1\u5668"));  // passed on, whole
    wchar_t caption[16] = {};
    GetWindowTextW(window, caption, 16);
    EXPECT_EQ(std::wstring(caption), L"\u670D\u52A1\u5668");

    // Removed while its window lives on: the shell drops the icon (Wine hides its notification area when it
    // holds none). Added and bound again, the window's end is the last event.
    EXPECT_FALSE(TrayWindow().empty());
    icon.Remove();
    EXPECT_TRUE(WaitUntil([] { return TrayWindow().empty(); }, kReactTimeout)) << "the icon stayed after Remove";
    ASSERT_TRUE(icon.Add(window, ProgramIcon(), "again"));
    icon.BindEvents(&Record);
    DestroyWindow(window);
    EXPECT_EQ(events, (std::vector<std::string>{"code 514", "code 1120", "code 1130", "own destroy"}));
    icon.Remove();
    icon.Remove();  // a second time changes nothing
    EXPECT_EQ(icon.Window(), nullptr);
}

// A real click (button 1 left, 3 right), or only the pointer moved there (0), on the first icon of the
// notification area, which Wine draws below the area's caption. The pointer moves twice on the icon, as a
// hand's does: Wine's area shows the tip only after a move that starts on the icon.
void OnTheIcon(const std::string& tray, int button) {
    std::string command = "xdotool mousemove --window " + tray + " 10 33 mousemove --window " + tray + " 12 35";
    if (button) command = "xdotool mousemove --window " + tray + " 12 35 click " + std::to_string(button);
    ASSERT_TRUE(RunLinuxCommand(command).has_value());
}

// Wine's notification area is a window of its own: it shows tips only while it is the active window, and a
// click on an icon activates it, so a click while the program's window is active takes the focus from the
// menu the program opens. A person's first click on the area's caption (and the program's window left
// behind) settles that before the click that counts.
void ActivateArea(const std::string& tray, HWND main) {
    ASSERT_TRUE(RunLinuxCommand("xdotool mousemove --window " + tray + " 60 10 click 1").has_value());
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() != main; }, kReactTimeout));
}

BOOL CALLBACK AddTooltipText(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && ClassName(window) == "tooltips_class32")
        reinterpret_cast<std::vector<std::string>*>(list)->push_back(ReadText(window));
    return TRUE;
}

// The visible tooltip windows' texts.
std::vector<std::string> ShownTooltips() {
    std::vector<std::string> texts;
    EnumWindows(&AddTooltipText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool TopMost(HWND window) { return (ExStyle(window) & WS_EX_TOPMOST) != 0; }

TEST(ProgramTrayIcon, AsAPersonUsesIt) {
    const std::wstring exe = PrepareProgramFolder(L"tray");
    ASSERT_FALSE(exe.empty());
    Process program = StartQuillon(exe);
    ASSERT_TRUE(program.Started()) << program.Error();
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GetPropW(main, L"QuillonLoaded") != nullptr; }, kReactTimeout));
    std::string tray;
    ASSERT_TRUE(WaitUntil([&] { return !(tray = TrayWindow()).empty(); }, kReactTimeout)) << "no notification area";

    // The tip, as the shell shows it when the pointer rests on the icon.
    ActivateArea(tray, main);
    OnTheIcon(tray, 0);
    EXPECT_TRUE(WaitUntil([&] {
        for (const std::string& text : ShownTooltips())
            if (text == "Quillon") return true;
        return false;
    }, kReactTimeout)) << "no tip \"Quillon\"";

    // The hide button, then left clicks on the icon: shown in front (not left topmost), hidden again.
    ASSERT_TRUE(Click(FindControl(main, Gbk(L"按钮最小化"))));
    ASSERT_TRUE(WaitUntil([&] { return !IsShown(main); }, kReactTimeout));
    OnTheIcon(tray, 1);
    EXPECT_TRUE(WaitUntil([&] { return IsShown(main) && !TopMost(main); }, kReactTimeout));
    OnTheIcon(tray, 1);
    EXPECT_TRUE(WaitUntil([&] { return !IsShown(main); }, kReactTimeout));

    // The shell restarted: the program adds its icon again, and it still answers.
    SendMessageTimeoutW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, kReactTimeout, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !(tray = TrayWindow()).empty(); }, kReactTimeout));
    OnTheIcon(tray, 1);
    EXPECT_TRUE(WaitUntil([&] { return IsShown(main) && GetForegroundWindow() == main; }, kReactTimeout))
        << "the icon did not answer after the restart";
    // The right button: the menu "退"; "退出" ends the program and leaves no icon.
    ActivateArea(tray, main);
    OnTheIcon(tray, 3);
    HWND menu = WaitForPopupMenu(program.Id());
    ASSERT_NE(menu, nullptr) << "no menu on the right button";
    ASSERT_TRUE(ChooseMenuItem(menu, 0));
    ASSERT_TRUE(program.WaitForExit(kReactTimeout)) << "退出 did not end the program";
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_TRUE(WaitUntil([] { return TrayWindow().empty(); }, kReactTimeout)) << "an icon was left behind";
}

// A stand-in for the notification area in this test's process: a window of the shell's class, which Wine's
// Shell_NotifyIcon hands each call as WM_COPYDATA (NIM_ADD ... in dwData, the icon's window in wParam) and
// whose answer is the call's result. It holds icons by their window, as a shell does.
std::vector<HWND> areaIcons;

LRESULT CALLBACK AreaProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
    const auto held = std::find(areaIcons.begin(), areaIcons.end(), reinterpret_cast<HWND>(wParam));
    const bool wasHeld = held != areaIcons.end();
    const ULONG_PTR call = reinterpret_cast<const COPYDATASTRUCT*>(lParam)->dwData;
    if (call == NIM_ADD && !wasHeld) areaIcons.push_back(reinterpret_cast<HWND>(wParam));
    if (call == NIM_DELETE && wasHeld) areaIcons.erase(held);
    return call == NIM_ADD ? !wasHeld : wasHeld;
}

HWND StartArea() {
    WNDCLASSW areaClass{};
    areaClass.lpfnWndProc = AreaProcedure;
    areaClass.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&areaClass);  // once; later calls find it there
    areaIcons.clear();
    return CreateWindowW(L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

bool AreaHolds(HWND window) { return std::find(areaIcons.begin(), areaIcons.end(), window) != areaIcons.end(); }

// The program started while there is no notification area (Wine's, drawn by its desktop process, ended; Wine
// starts another for the programs after this test), and the shell restarting under it: the icon comes once
// there is an area, though the program missed its start notice, again after the restart, and answers.
TEST(ProgramTrayIcon, ComesWhenTheNotificationAreaDoesAndAfterItsRestart) {
    DWORD shell = 0;
    GetWindowThreadProcessId(FindWindowW(L"Shell_TrayWnd", nullptr), &shell);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, shell);
    ASSERT_TRUE(process && TerminateProcess(process, 1) &&
                WaitForSingleObject(process, kReactTimeout) == WAIT_OBJECT_0);
    CloseHandle(process);
    Process program = StartQuillon(PrepareProgramFolder(L"tray-late"));
    ASSERT_TRUE(program.Started()) << program.Error();
    HWND main = WaitForMainWindow(program);
    ASSERT_TRUE(main && Click(FindControl(main, Gbk(L"按钮最小化"))));
    ASSERT_TRUE(WaitUntil([&] { return !IsShown(main); }, kReactTimeout));

    HWND area = StartArea();
    EXPECT_TRUE(WaitUntil([&] { return AreaHolds(main); }, kReactTimeout)) << "no icon once the area is there";
    PostMessageW(main, tray::kCallbackMessage, 1, WM_LBUTTONUP);  // a click on it, as the shell says it
    EXPECT_TRUE(WaitUntil([&] { return IsShown(main); }, kReactTimeout)) << "the icon's click did not show the window";

    DestroyWindow(area);
    area = StartArea();
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG,
                        kSendTimeout, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return AreaHolds(main); }, kReactTimeout)) << "no icon after the restart";
    ASSERT_TRUE(CloseQuillon(program, main) && program.WaitForExit(kReactTimeout));
    EXPECT_FALSE(AreaHolds(main)) << "an icon was left behind";
    DestroyWindow(area);
}

}  // namespace
}  // namespace wine_driver
