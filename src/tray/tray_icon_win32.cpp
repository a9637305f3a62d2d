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

template <size_t N>
void Put(char (&field)[N], const std::string& gbk, size_t limit) {
    std::string text = CutGbk(gbk, limit);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

HWND ChildOfClass(HWND parent, const char* className) {
    return parent ? FindWindowExA(parent, nullptr, className, nullptr) : nullptr;
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

bool TrayIcon::Add(HWND window, const std::vector<std::uint8_t>& icoFile, const std::string& tip) {
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
    return Shell_NotifyIconA(NIM_ADD, &record_) != FALSE;
}

void TrayIcon::Remove() {
    if (previous_ && window_ && IsWindow(window_))
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    window_ = nullptr;
    previous_ = nullptr;
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
    return Shell_NotifyIconA(NIM_MODIFY, &record_) != FALSE;
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
    // The program's windows are Unicode windows: the W functions keep their messages' texts as they are.
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayIcon::EventProcedure)));
    SetPropA(window_, kPreviousProcedure, reinterpret_cast<HANDLE>(previous_));
    SetPropA(window_, kCallbackProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(kCallbackMessage)));
    SetPropA(window_, kTaskbarProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(taskbarCreated_)));
    if (handler) SetPropA(window_, kHandlerProperty, reinterpret_cast<HANDLE>(handler));
}

LRESULT CALLBACK TrayIcon::EventProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProcedure));
    auto handler = reinterpret_cast<TrayHandler>(GetPropA(window, kHandlerProperty));
    const UINT callback = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(GetPropA(window, kCallbackProperty)));
    const UINT taskbar = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(GetPropA(window, kTaskbarProperty)));
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
        for (int j = 1; j <= client.right / 2; ++j) SendMessageA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(2 * j, 2 * i));
}

}  // namespace tray
