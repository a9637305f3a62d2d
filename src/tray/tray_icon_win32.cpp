#include "tray/tray_icon_win32.h"

#include <cstddef>
#include <cstring>

#include "runtime/window_win32.h"
#include "tray/tray_texts.h"

namespace tray {
namespace {

// The record as the shell reads it, in both widths: the version-2 size and the place of every field used.
constexpr bool kWide = sizeof(void*) == 8;
static_assert(NOTIFYICONDATAA_V2_SIZE == (kWide ? 504 : 488));
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == (kWide ? 8 : 4));
static_assert(offsetof(NOTIFYICONDATAA, uID) == (kWide ? 16 : 8));
static_assert(offsetof(NOTIFYICONDATAA, uFlags) == (kWide ? 20 : 12));
static_assert(offsetof(NOTIFYICONDATAA, uCallbackMessage) == (kWide ? 24 : 16));
static_assert(offsetof(NOTIFYICONDATAA, hIcon) == (kWide ? 32 : 20));
static_assert(offsetof(NOTIFYICONDATAA, szTip) == (kWide ? 40 : 24) && sizeof(NOTIFYICONDATAA::szTip) == 128);
static_assert(offsetof(NOTIFYICONDATAA, szInfo) == (kWide ? 176 : 160) && sizeof(NOTIFYICONDATAA::szInfo) == 256);
static_assert(offsetof(NOTIFYICONDATAA, uTimeout) == (kWide ? 432 : 416));
static_assert(offsetof(NOTIFYICONDATAA, szInfoTitle) == (kWide ? 436 : 420) &&
              sizeof(NOTIFYICONDATAA::szInfoTitle) == 64);
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) == (kWide ? 500 : 484));

constexpr UINT kFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;  // 0x17

// The window properties the event procedure reads.
constexpr char kPreviousProcedure[] = "WinProc";
constexpr char kCallbackProperty[] = "CallbackMessage";
constexpr char kTaskbarProperty[] = "TaskbarCreatedMessage";
constexpr char kHandlerProperty[] = "Exec Event";
constexpr char kIconProperty[] = "QuillonTrayIcon";

template <size_t N>
void Put(char (&field)[N], const std::string& gbk, size_t limit) {
    std::string text = CutGbk(gbk, limit);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

HWND ChildOfClass(HWND parent, const char* className) {
    return parent ? FindWindowExA(parent, nullptr, className, nullptr) : nullptr;
}

// Lets the shell's restart notice and the icon's messages through the message filter of a copy run with
// higher rights than the shell's (from Windows Vista on, messages from a process of a lower integrity level
// are dropped unless allowed). ChangeWindowMessageFilterEx (Windows 7) allows them for this window alone;
// Vista has only ChangeWindowMessageFilter, for the whole process; earlier systems have no filter. Both are
// looked up when needed, so the program still starts where they do not exist.
void AllowShellMessages(HWND window, UINT taskbarCreated) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    using PerWindow = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using PerProcess = BOOL(WINAPI*)(UINT, DWORD);
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD of the older function
    const UINT messages[] = {taskbarCreated, kCallbackMessage};
    if (auto perWindow = reinterpret_cast<PerWindow>(
            reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
        for (UINT message : messages) perWindow(window, message, kAllow, nullptr);
    } else if (auto perProcess = reinterpret_cast<PerProcess>(
                   reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilter")))) {
        for (UINT message : messages) perProcess(message, kAllow);
    }
}

}  // namespace

TrayIcon::TrayIcon() : taskbarCreated_(RegisterWindowMessageA("TaskbarCreated")) {}

TrayIcon::~TrayIcon() {
    Remove();
    if (ownIcon_) DestroyIcon(ownIcon_);
}

HWND TrayIcon::FindTrayToolbar() {
    HWND notify = ChildOfClass(FindWindowA("Shell_TrayWnd", nullptr), "TrayNotifyWnd");
    return ChildOfClass(ChildOfClass(notify, "SysPager"), "ToolbarWindow32");
}

HWND TrayIcon::FindOverflowToolbar() {
    return ChildOfClass(FindWindowA("NotifyIconOverflowWindow", nullptr), "ToolbarWindow32");
}

HICON TrayIcon::IconFromIcoData(const std::vector<std::uint8_t>& icoFile, int index, int* width, int* height) {
    IcoImage image;
    if (!FindIcoImage(icoFile.data(), icoFile.size(), index, image)) return nullptr;
    if (width) *width = image.width;
    if (height) *height = image.height;
    return CreateIconFromResource(const_cast<PBYTE>(icoFile.data() + image.offset), static_cast<DWORD>(image.size),
                                  TRUE, 0x30000);
}

bool TrayIcon::Prepare(HWND window, const std::vector<std::uint8_t>& icoFile, const std::string& tip) {
    if (!IsWindow(window)) return false;
    window_ = window;
    HICON icon = nullptr;
    if (!icoFile.empty()) {
        icon = IconFromIcoData(icoFile, 0, nullptr, nullptr);
        if (icon) {
            if (ownIcon_) DestroyIcon(ownIcon_);
            ownIcon_ = icon;
        }
    }
    // Data that holds no usable image gives the window's own small icon, as having no data does.
    if (!icon) icon = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
    record_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record_.hWnd = window;
    record_.uID = 1;
    record_.uFlags = kFlags;
    record_.uCallbackMessage = kCallbackMessage;
    record_.hIcon = icon;
    record_.uTimeout = 10000;
    Put(record_.szTip, tip, kTipBytes);
    return true;
}

bool TrayIcon::Add(HWND window, const std::vector<std::uint8_t>& icoFile, const std::string& tip) {
    return Prepare(window, icoFile, tip) && AddToShell();
}

void TrayIcon::Keep(HWND window, const std::vector<std::uint8_t>& icoFile, const std::string& tip,
                    TrayHandler handler) {
    if (!Prepare(window, icoFile, tip)) return;
    BindEvents(handler);
    AllowShellMessages(window_, taskbarCreated_);
    AddToShell();
}

bool TrayIcon::AddToShell() {
    NOTIFYICONDATAA record = record_;
    if (!balloonWaiting_) record.uFlags &= ~NIF_INFO;  // a balloon shown before is not shown again
    shown_ = Shell_NotifyIconA(NIM_ADD, &record) || Shell_NotifyIconA(NIM_MODIFY, &record);
    if (shown_) balloonWaiting_ = false;
    // Only a window whose events are bound hears the timer.
    const bool retry = !shown_ && previous_ != nullptr;
    if (retry && !retrying_) SetTimer(window_, kRetryTimer, kRetryMilliseconds, nullptr);
    if (!retry && retrying_) KillTimer(window_, kRetryTimer);
    retrying_ = retry;
    return shown_;
}

void TrayIcon::Remove() {
    if (window_ && IsWindow(window_)) {
        if (retrying_) KillTimer(window_, kRetryTimer);
        if (previous_) SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropA(window_, kIconProperty);
    }
    window_ = nullptr;
    previous_ = nullptr;
    retrying_ = shown_ = balloonWaiting_ = false;
    record_.szInfo[0] = '\0';
    record_.szInfoTitle[0] = '\0';
    Shell_NotifyIconA(NIM_DELETE, &record_);  // the window and id still in the record name the icon
}

bool TrayIcon::SetTip(const std::string& tip) {
    Put(record_.szTip, tip, kTipBytes);
    return Shell_NotifyIconA(NIM_MODIFY, &record_) != FALSE;
}

bool TrayIcon::ShowBalloon(const std::string& title, const std::string& text, DWORD kind, UINT timeoutMs) {
    record_.dwInfoFlags = kind;
    Put(record_.szInfoTitle, title, kBalloonTitleBytes);
    Put(record_.szInfo, text, kBalloonTextBytes);
    record_.uTimeout = timeoutMs ? timeoutMs : 3000;
    const bool shown = Shell_NotifyIconA(NIM_MODIFY, &record_) != FALSE;
    balloonWaiting_ = !shown;
    return shown;
}

bool TrayIcon::SetIcon(const std::vector<std::uint8_t>& icoFile) {
    HICON icon = IconFromIcoData(icoFile, 0, nullptr, nullptr);
    if (!icon) return false;
    if (ownIcon_) DestroyIcon(ownIcon_);
    ownIcon_ = icon;
    record_.hIcon = icon;
    record_.uFlags = kFlags;
    return Shell_NotifyIconA(NIM_MODIFY, &record_) != FALSE;
}

void TrayIcon::BindEvents(TrayHandler handler) {
    if (!window_ || !IsWindow(window_)) return;
    if (previous_) {  // bound already: the procedure must not be put in front of itself
        SetPropA(window_, kHandlerProperty, reinterpret_cast<HANDLE>(handler));
        return;
    }
    // The program's windows are Unicode windows: the W functions keep their messages' texts as they are.
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayIcon::EventProcedure)));
    SetPropA(window_, kPreviousProcedure, reinterpret_cast<HANDLE>(previous_));
    SetPropA(window_, kCallbackProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(kCallbackMessage)));
    SetPropA(window_, kTaskbarProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(taskbarCreated_)));
    if (handler) SetPropA(window_, kHandlerProperty, reinterpret_cast<HANDLE>(handler));
    SetPropA(window_, kIconProperty, reinterpret_cast<HANDLE>(this));
}

LRESULT CALLBACK TrayIcon::EventProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProcedure));
    auto handler = reinterpret_cast<TrayHandler>(GetPropA(window, kHandlerProperty));
    const UINT callback = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(GetPropA(window, kCallbackProperty)));
    const UINT taskbar = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(GetPropA(window, kTaskbarProperty)));
    auto icon = reinterpret_cast<TrayIcon*>(GetPropA(window, kIconProperty));
    if (icon && message == WM_TIMER && wParam == kRetryTimer) {
        icon->AddToShell();
        return 0;
    }
    // A new shell holds no icons: this one is added again before the handler hears of the restart.
    if (icon && message == taskbar) icon->AddToShell();
    if (handler && (message == callback || message == taskbar)) {
        const int code = message == callback ? static_cast<int>(lParam) : kShellRestarted;
        return runtime::CatchHandlerFailure(window, 0, [&] {
            handler(code);
            return LRESULT(0);
        });
    }
    if (handler && message == WM_DESTROY) {
        runtime::CatchHandlerFailure(window, 0, [&] {
            handler(kWindowDestroyed);
            return LRESULT(0);
        });
    }
    return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
}

void TrayIcon::SweepDeadIcons(bool overflow) {
    HWND toolbar = overflow ? FindOverflowToolbar() : FindTrayToolbar();
    if (!toolbar) return;
    RECT client{};
    GetClientRect(toolbar, &client);
    // The shell drops the button of an icon whose window is gone when the mouse passes over it: a pass over
    // the whole toolbar, 2 pixels apart, row by row.
    for (int i = 1; i <= client.bottom / 2; ++i)
        for (int j = 1; j <= client.right / 2; ++j) {
            DWORD_PTR ignored = 0;
            if (!SendMessageTimeoutA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(2 * j, 2 * i), SMTO_ABORTIFHUNG,
                                     kSweepAnswerMilliseconds, &ignored))
                return;
        }
}

}  // namespace tray
