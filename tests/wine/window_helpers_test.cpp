// The window and process helpers (session/window_helpers.h) on real windows and processes under Wine: the
// cases where what Win32 does decides the result, which the native tests cannot see.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "session/window_helpers.h"
#include "wine/driver/driver.h"

namespace wine_driver {
namespace {

using session::WindowHandle;

constexpr UINT kPing = WM_APP + 1;
std::atomic<int> g_pings{0};
std::atomic<ULONGLONG> g_lastPingTick{0};

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPing) {
        ++g_pings;
        g_lastPingTick = GetTickCount64();
        return 42;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window of this test's own, destroyed at the end of the case.
class TestWindow {
public:
    explicit TestWindow(const std::wstring& title, bool visible = false) {
        static const bool registered = [] {
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = TestWindowProc;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"QuillonHelperTest";
            return RegisterClassW(&windowClass) != 0;
        }();
        EXPECT_TRUE(registered);
        window_ = CreateWindowExW(0, L"QuillonHelperTest", title.c_str(), WS_OVERLAPPEDWINDOW, 50, 50, 300, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window_, nullptr);
        if (visible) ShowWindow(window_, SW_SHOWNOACTIVATE);
    }
    ~TestWindow() {
        if (window_) DestroyWindow(window_);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return window_; }
    WindowHandle Value() const { return reinterpret_cast<WindowHandle>(window_); }

private:
    HWND window_ = nullptr;
};

// window_host.exe copied under a name of this test's own, so that no other program's process can match.
std::wstring HostCopy(const std::wstring& name) {
    std::wstring source = ToolPath(L"window_host.exe");
    EXPECT_FALSE(source.empty()) << "window_host.exe not found";
    std::wstring folder = FreshFolder(L"helpers-" + name);
    std::wstring target = JoinPath(folder, name);
    EXPECT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << "could not copy window_host.exe";
    return target;
}

// Whether `upper` lies above `lower` among the top-level windows.
bool Above(HWND upper, HWND lower) {
    for (HWND window = GetWindow(lower, GW_HWNDPREV); window; window = GetWindow(window, GW_HWNDPREV))
        if (window == upper) return true;
    return false;
}

TEST(WindowHelpersTest, ShowWindowInFrontBringsAnotherProgramsWindowAboveTheOthers) {
    Process host = Process::Start(HostCopy(L"FrontHost.exe"), L"window Front");
    ASSERT_TRUE(host.Started()) << host.Error();
    HWND other = host.WaitForVisibleWindow();
    ASSERT_NE(other, nullptr);
    TestWindow cover(L"Cover", true);
    // Behind a window of this test: shown, minimised, hidden.
    for (int state : {SW_SHOWNOACTIVATE, SW_MINIMIZE, SW_HIDE}) {
        SCOPED_TRACE(state);
        ShowWindow(other, state);
        SetWindowPos(cover.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        ASSERT_TRUE(Above(cover.Handle(), other));
        session::ShowWindowInFront(reinterpret_cast<WindowHandle>(other));
        EXPECT_TRUE(IsWindowVisible(other));
        EXPECT_FALSE(IsIconic(other));
        EXPECT_TRUE(Above(other, cover.Handle()));
        EXPECT_EQ(ExStyle(other) & WS_EX_TOPMOST, 0);
    }
    session::ShowWindowInFront(0);  // no window: nothing happens
}

TEST(WindowHelpersTest, FindWindowByTitleWithEmptyTextsGivesTheNextTopLevelWindow) {
    TestWindow first(L"First");
    TestWindow second(L"Second");
    EXPECT_EQ(session::FindWindowByTitle(0, 0, "", ""), reinterpret_cast<WindowHandle>(GetTopWindow(nullptr)));
    EXPECT_EQ(session::FindWindowByTitle(0, first.Value(), "", ""),
              reinterpret_cast<WindowHandle>(GetWindow(first.Handle(), GW_HWNDNEXT)));
    EXPECT_EQ(session::FindWindowByTitle(0, second.Value(), "", ""),
              reinterpret_cast<WindowHandle>(GetWindow(second.Handle(), GW_HWNDNEXT)));
    // Class alone, then class and title.
    WindowHandle byClass = session::FindWindowByTitle(0, 0, "QuillonHelperTest", "");
    EXPECT_TRUE(byClass == first.Value() || byClass == second.Value());
    EXPECT_EQ(session::FindWindowByTitle(0, 0, "QuillonHelperTest", "First"), first.Value());
    EXPECT_EQ(session::FindWindowByTitle(0, 0, "QuillonHelperTest", "Second"), second.Value());
    EXPECT_EQ(session::FindWindowByTitle(0, 0, "QuillonHelperTest", "Third"), 0u);
}

TEST(WindowHelpersTest, ChineseTitlesReadBackAsGbk) {
    const std::wstring title = L"远程桌面 - 服务器一";
    TestWindow window(title);
    EXPECT_EQ(session::GetWindowTitleText(window.Value()), Gbk(title));
    EXPECT_EQ(session::GetWindowClassText(window.Value()), "QuillonHelperTest");
    // The search by title goes through the ANSI functions, so it finds GBK titles only where the ANSI code
    // page is 936 (Wine under LANG=zh_CN.UTF-8, as the tests run).
    ASSERT_EQ(GetACP(), 936u) << "run the Windows-side tests under a Chinese locale";
    EXPECT_EQ(session::FindWindowByTitle(0, 0, "", Gbk(title)), window.Value());
    EXPECT_EQ(session::GetWindowTitleText(0), "");
}

TEST(WindowHelpersTest, EnumTopLevelWindowsListsAWindowWithItsDetails) {
    TestWindow window(L"列出我");  // "list me"
    std::vector<session::WindowInfo> list;
    int count = session::EnumTopLevelWindows(list);
    EXPECT_EQ(count, static_cast<int>(list.size()));
    const session::WindowInfo* found = nullptr;
    for (const session::WindowInfo& info : list) {
        if (info.window == window.Value()) found = &info;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->title, Gbk(L"列出我"));
    EXPECT_EQ(found->className, "QuillonHelperTest");
    EXPECT_EQ(found->processId, GetCurrentProcessId());
    EXPECT_EQ(found->threadId, GetCurrentThreadId());

    // The list is replaced, not added to.
    list.push_back(session::WindowInfo{});
    EXPECT_EQ(session::EnumTopLevelWindows(list), count);
}

TEST(WindowHelpersTest, FindProcessIdByNameIgnoresLetterCase) {
    std::wstring exe = HostCopy(L"CaseHost.exe");
    Process host = Process::Start(exe, L"window Case");
    ASSERT_TRUE(host.Started()) << host.Error();
    ASSERT_NE(host.WaitForVisibleWindow(), nullptr);

    EXPECT_EQ(session::FindProcessIdByName("CaseHost.exe"), host.Id());
    EXPECT_EQ(session::FindProcessIdByName("CASEHOST.EXE"), host.Id());
    EXPECT_EQ(session::FindProcessIdByName("casehost.exe"), host.Id());
    EXPECT_EQ(session::FindProcessIdByName("CaseHost"), 0u);  // the whole file name, not a part of it
    EXPECT_EQ(session::FindOtherProcessIdByName("casehost.EXE", host.Id()), 0u);
}

TEST(WindowHelpersTest, FindMainWindowOfProcessTellsNoWindowFromNoProcess) {
    EXPECT_EQ(session::FindMainWindowOfProcess("NoSuchProgram7431.exe"), session::kNoSuchProcess);

    {
        SCOPED_TRACE("a visible window");
        Process host = Process::Start(HostCopy(L"ShownHost.exe"), L"window Shown");
        ASSERT_TRUE(host.Started()) << host.Error();
        HWND shown = host.WaitForVisibleWindow();
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(session::FindMainWindowOfProcess("shownhost.exe"), reinterpret_cast<WindowHandle>(shown));
        EXPECT_EQ(session::FindProcessWindow(host.Id(), 1000), reinterpret_cast<WindowHandle>(shown));
    }
    {
        SCOPED_TRACE("only a window that is never shown");
        Process host = Process::Start(HostCopy(L"HiddenHost.exe"), L"hidden");
        ASSERT_TRUE(host.Started()) << host.Error();
        ASSERT_NE(host.WaitForWindow([](HWND) { return true; }, kStartTimeout), nullptr);
        EXPECT_EQ(session::FindMainWindowOfProcess("HiddenHost.exe"), 0u);
    }
    {
        SCOPED_TRACE("a visible window that has an owner");
        Process host = Process::Start(HostCopy(L"OwnedHost.exe"), L"owned");
        ASSERT_TRUE(host.Started()) << host.Error();
        ASSERT_NE(host.WaitForVisibleWindow(), nullptr);
        EXPECT_EQ(session::FindMainWindowOfProcess("OwnedHost.exe"), 0u);
    }
}

TEST(WindowHelpersTest, DelayWithMessagesHandlesMessagesWhileItWaits) {
    TestWindow window(L"Delay");
    g_pings = 0;
    // Another thread sends to the window while this thread waits: the send is only answered if the wait
    // handles the thread's messages.
    std::atomic<bool> answered{false};
    std::atomic<LRESULT> answer{0};
    std::thread sender([&] {
        Sleep(50);
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window.Handle(), kPing, 0, 0, SMTO_BLOCK, 5000, &result)) {
            answered = true;
            answer = static_cast<LRESULT>(result);
        }
    });
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(session::DelayWithMessages(200));
    const ULONGLONG end = GetTickCount64();
    sender.join();

    EXPECT_TRUE(answered);
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(g_pings, 1);
    EXPECT_LE(g_lastPingTick.load(), end) << "the message was handled only after the wait";
    // The wait itself lasts its time (the tick count moves in steps of up to ~16 ms).
    EXPECT_GE(end - start, 180u);
}

TEST(WindowHelpersTest, ProcessPendingMessagesHandlesThemAndKeepsAQuitForTheLoop) {
    TestWindow window(L"Pending");
    g_pings = 0;
    ASSERT_TRUE(PostMessageW(window.Handle(), kPing, 0, 0));
    ASSERT_TRUE(PostMessageW(window.Handle(), kPing, 0, 0));
    session::ProcessPendingMessages();
    EXPECT_EQ(g_pings, 2);

    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageW(window.Handle(), kPing, 0, 0));
    session::ProcessPendingMessages();
    MSG msg = {};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit request was lost";
    EXPECT_EQ(msg.wParam, 7u);
    // Clear what is left in this thread's queue for the cases after this one.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

}  // namespace
}  // namespace wine_driver
