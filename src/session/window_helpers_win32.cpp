// The window and process helpers on Win32. Every call's failure is ignored: it shows as 0, the empty text or
// the empty list in the result.
//
// This file calls the ANSI functions (GBK texts on the program's Chinese systems) by their plain names.
#undef UNICODE
#undef _UNICODE
#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "runtime/window_win32.h"
#include "session/window_helpers.h"

namespace session {
namespace {

HWND hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle handleOf(HWND window) { return reinterpret_cast<WindowHandle>(window); }
const char* textOrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// Handles the waiting messages as the program's message loop does (the W functions, so that typed Chinese
// text reaches the Unicode windows unchanged, and Esc handling first). False when it met WM_QUIT, which it
// posts again for the loop it was meant for.
bool handlePendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        if (runtime::PreTranslateWindowMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

// Activates `window` from this thread by attaching to its thread's input for the call.
void activateFromThisThread(HWND window) {
    DWORD current = GetCurrentThreadId();
    DWORD owner = GetWindowThreadProcessId(window, nullptr);
    AttachThreadInput(current, owner, TRUE);
    SetActiveWindow(window);
    AttachThreadInput(current, owner, FALSE);
}

}  // namespace

void ProcessPendingMessages() { handlePendingMessages(); }

bool DelayWithMessages(std::uint32_t milliseconds) {
    HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    LARGE_INTEGER due;
    due.QuadPart = -10000LL * milliseconds;  // negative: relative, in 100-nanosecond units
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    // 0xFF: every kind of input, posted and sent message, timer, paint and hot key.
    constexpr DWORD kAllMessages = 0xFF;
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(1, &timer, FALSE, INFINITE, kAllMessages);
        if (woken == WAIT_OBJECT_0 + 1) {
            if (handlePendingMessages()) continue;
            // The program is ending: the reposted WM_QUIT would wake the wait at once, again and again, so
            // wait for the timer alone.
            WaitForSingleObject(timer, INFINITE);
        }
        // The timer fired (or the wait failed, say for want of a timer: do not spin).
        CloseHandle(timer);
        return true;
    }
}

// The Z order is set here, by SetWindowPos with HWND_TOP, and not left to the activation. Activating another
// thread's window only asks that window's thread to do it, and the window comes up in the Z order when that
// thread gets round to it, which may be well after the caller has gone on (or ended, as a second start does):
// the thread may be busy painting the controls of the window it has just shown. SetWindowPos on another
// thread's window returns once that thread has done it. HWND_NOTOPMOST does not move a window that is not
// topmost, so it never raises a window. The showing SetWindowPos is left to activate a hidden window (run by
// the window's own thread, it makes it the foreground window; under Wine the SetActiveWindow of
// activateFromThisThread alone did not). SetForegroundWindow gives the window the keyboard where the system
// allows it: the caller is the foreground program (the person just acted in it), or the shell allowed the
// icon's program after a click on its icon or balloon.
void ShowWindowInFront(WindowHandle window) {
    HWND target = hwnd(window);
    if (!IsWindow(target)) return;
    constexpr UINT kKeepPlace = SWP_NOSIZE | SWP_NOMOVE;
    if (!IsWindowVisible(target)) SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, kKeepPlace | SWP_SHOWWINDOW);
    if (IsIconic(target)) OpenIcon(target);
    HWND active = target;
    if (!IsWindowEnabled(target)) {
        HWND popup = GetLastActivePopup(target);
        if (popup && IsWindowVisible(popup)) active = popup;
    }
    activateFromThisThread(active);
    SetForegroundWindow(active);
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, kKeepPlace | SWP_NOACTIVATE);
    if (active != target) SetWindowPos(active, HWND_TOP, 0, 0, 0, 0, kKeepPlace | SWP_NOACTIVATE);
}

WindowHandle FindWindowByTitle(WindowHandle parent, WindowHandle after, const std::string& classText,
                               const std::string& titleText) {
    return handleOf(FindWindowExA(hwnd(parent), hwnd(after), textOrNull(classText), textOrNull(titleText)));
}

ProcessId FindOtherProcessIdByName(const std::string& exeName, ProcessId skip) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    // The record's size differs between 32-bit and 64-bit builds (296 bytes in a 32-bit one).
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    ProcessId found = 0;
    // szExeFile is in the system's ANSI code page, GBK on the Chinese systems the program runs on.
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID != skip && SameExeName(entry.szExeFile, exeName)) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

ProcessId FindProcessIdByName(const std::string& exeName) {
    // Process id 0 is the system idle process, whose name is never an executable's.
    return FindOtherProcessIdByName(exeName, 0);
}

WindowHandle FindProcessWindow(ProcessId processId, std::uint32_t limitMilliseconds) {
    DWORD start = GetTickCount();
    HWND window = nullptr;
    for (;;) {
        if (GetTickCount() - start >= limitMilliseconds) return 0;  // unsigned: right across the wrap
        window = FindWindowExA(nullptr, window, nullptr, nullptr);
        if (!window) return 0;
        if (!IsWindowVisible(window)) continue;
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && GetParent(window) == nullptr) return handleOf(window);
        ProcessPendingMessages();
    }
}

WindowHandle FindMainWindowOfOtherProcess(const std::string& exeName, ProcessId skip) {
    ProcessId id = FindOtherProcessIdByName(exeName, skip);
    if (id == 0) return kNoSuchProcess;
    return FindProcessWindow(id, 100);
}

WindowHandle FindMainWindowOfProcess(const std::string& exeName) {
    return FindMainWindowOfOtherProcess(exeName, 0);
}

std::string GetWindowClassText(WindowHandle window) {
    std::string buffer(261, ' ');
    buffer[260] = '\0';
    int length = GetClassNameA(hwnd(window), buffer.data(), 260);
    if (length <= 0) return {};
    return std::string(buffer.c_str());  // up to the zero
}

std::string GetWindowTitleText(WindowHandle window) {
    int length = GetWindowTextLengthW(hwnd(window));
    if (length <= 0) return {};
    std::vector<wchar_t> wide(static_cast<size_t>(length) + 2, L'\0');  // the text, its zero, and one more zero
    GetWindowTextW(hwnd(window), wide.data(), length + 1);
    int size = WideCharToMultiByte(936, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::vector<char> gbk(static_cast<size_t>(size) + 1, '\0');
    WideCharToMultiByte(936, 0, wide.data(), -1, gbk.data(), size, nullptr, nullptr);
    return std::string(gbk.data());  // up to the first zero byte
}

namespace {

BOOL CALLBACK addWindow(HWND window, LPARAM listAddress) {
    auto& list = *reinterpret_cast<std::vector<WindowInfo>*>(listAddress);
    WindowInfo info;
    info.window = handleOf(window);
    DWORD processId = 0;
    info.threadId = GetWindowThreadProcessId(window, &processId);
    info.processId = processId;
    info.title = GetWindowTitleText(info.window);
    info.className = GetWindowClassText(info.window);
    list.push_back(std::move(info));
    return TRUE;
}

}  // namespace

int EnumTopLevelWindows(std::vector<WindowInfo>& list) {
    list.clear();
    EnumWindows(&addWindow, reinterpret_cast<LPARAM>(&list));
    return static_cast<int>(list.size());
}

namespace {

// InternalGetWindowText reads the title Windows keeps, without sending WM_GETTEXT: no window of this program's
// other threads is asked to answer, and each window costs one call.
BOOL CALLBACK addTitle(HWND window, LPARAM listAddress) {
    wchar_t text[512];
    int length = InternalGetWindowText(window, text, 512);
    std::string gbk;
    if (length > 0) {
        int size = WideCharToMultiByte(936, 0, text, length, nullptr, 0, nullptr, nullptr);
        gbk.resize(static_cast<size_t>(size > 0 ? size : 0));
        if (size > 0) WideCharToMultiByte(936, 0, text, length, gbk.data(), size, nullptr, nullptr);
    }
    reinterpret_cast<std::vector<std::string>*>(listAddress)->push_back(std::move(gbk));
    return TRUE;
}

}  // namespace

std::vector<std::string> TopLevelWindowTitles() {
    std::vector<std::string> titles;
    EnumWindows(&addTitle, reinterpret_cast<LPARAM>(&titles));
    return titles;
}

}  // namespace session
