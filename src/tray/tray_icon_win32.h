// TrayIcon: the program's one notification-area icon. It adds, changes and removes a single icon of the
// Windows shell for a window, delivers the icon's mouse events, the shell's restart and the window's
// destruction to one handler as integer codes, and sweeps the icons of ended programs out of the shell's
// toolbar. Everything runs on the user-interface thread.
//
// Kept (Keep), the icon is never lost for good: the window's events are routed to the handler whether or not
// the shell took the icon, and while it does not (no notification area yet, as at a start during log-on; a
// shell that is restarting) the add is tried again every kRetryMilliseconds by a timer of the window, and at
// once when the shell says it has started ("TaskbarCreated"). The window has no taskbar button: without its
// icon a hidden window could not be reached.
//
// The record passed to Shell_NotifyIconA is the shell's NOTIFYICONDATAA in its version-2 size: 488 bytes in
// a 32-bit process, 504 in a 64-bit one (window and icon handles of 8 bytes); tray_icon_win32.cpp checks both
// layouts at compile time.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tray {

// The codes the handler receives besides the icon's mouse messages (0x200 move, 0x201 left down, 0x202 left
// up, 0x204 right down, ...).
inline constexpr int kShellRestarted = 0x460;  // "TaskbarCreated": a new shell (a kept icon is in it again)
inline constexpr int kWindowDestroyed = 0x46A;  // the bound window got WM_DESTROY
inline constexpr UINT kCallbackMessage = 0x2DA5;
// The window's timer that tries the add again, and its period.
inline constexpr UINT_PTR kRetryTimer = 0x2DA5;
inline constexpr UINT kRetryMilliseconds = 3000;
// How long the sweep waits for the shell's toolbar to answer one message.
inline constexpr UINT kSweepAnswerMilliseconds = 200;

using TrayHandler = void (*)(int code);

class TrayIcon {
public:
    TrayIcon();
    ~TrayIcon();  // removes the icon
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon for `window` with the first image of `icoFile` (a whole .ico file; the window's small icon
    // when it gives none) and the tip (GBK, cut to 127 bytes), once. False when `window` is not a window or the
    // shell refuses (the window is remembered all the same).
    bool Add(HWND window, const std::vector<std::uint8_t>& icoFile, const std::string& tip);
    // Keeps the icon for `window` (see the top of this file): binds the events to `handler`, lets the shell's
    // messages reach the window even in a copy run with higher rights than the shell's, and adds the icon,
    // trying again until the shell takes it. The shell's restart re-adds the icon before the handler hears
    // kShellRestarted.
    void Keep(HWND window, const std::vector<std::uint8_t>& icoFile, const std::string& tip, TrayHandler handler);
    // Puts the window's procedure back, stops the retries, forgets the window and the balloon's texts, and
    // deletes the icon.
    void Remove();
    bool SetTip(const std::string& tip);
    // A balloon (GBK title cut to 63 bytes, text to 255; `timeoutMs` 0 means 3000) with icon kind `kind`
    // (NIIF_INFO, ...). Asked while the shell does not hold the icon, it shows when a kept icon is added.
    bool ShowBalloon(const std::string& title, const std::string& text, DWORD kind, UINT timeoutMs);
    bool SetIcon(const std::vector<std::uint8_t>& icoFile);
    // Routes the window's messages through the icon's event procedure, which calls `handler` with the codes
    // above; needs the window Add remembered.
    void BindEvents(TrayHandler handler);
    // Passes the mouse over the shell's toolbar of icons (or its overflow toolbar), which makes it drop the
    // icons of programs that have ended. Stops at the first message the shell does not answer within
    // kSweepAnswerMilliseconds: a hung shell never hangs the program.
    void SweepDeadIcons(bool overflow);

    HWND Window() const { return window_; }
    const NOTIFYICONDATAA& Record() const { return record_; }
    UINT TaskbarCreatedMessage() const { return taskbarCreated_; }

    // The shell's toolbar of icons and its overflow toolbar; null when there is none (Wine without a desktop).
    static HWND FindTrayToolbar();
    static HWND FindOverflowToolbar();
    // Image `index` of an .ico file as an icon, and its size; null when the data holds no such image.
    static HICON IconFromIcoData(const std::vector<std::uint8_t>& icoFile, int index, int* width, int* height);

private:
    static LRESULT CALLBACK EventProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // One add of the icon as the record holds it (the balloon only when one waits); a shell that already
    // holds it (an add that timed out but went through, a restart notice the shell sends twice) counts as
    // taken. On failure the retry timer is armed, on success stopped.
    bool AddToShell();
    // Remembers the window and sets up the record; false when `window` is not a window.
    bool Prepare(HWND window, const std::vector<std::uint8_t>& icoFile, const std::string& tip);

    UINT taskbarCreated_ = 0;
    NOTIFYICONDATAA record_{};
    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
    HICON ownIcon_ = nullptr;  // made from icon data, destroyed when replaced or at the end
    bool shown_ = false;
    bool retrying_ = false;        // the retry timer runs
    bool balloonWaiting_ = false;  // a balloon asked for while the shell did not hold the icon
};

}  // namespace tray
