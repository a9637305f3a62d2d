// Helpers for finding and handling other programs' windows and processes (the running copy of this
// program, the remote desktop client's session windows).
//
// Window handles, process ids and thread ids are plain integers here so that portable code can hold them;
// the Win32 side (window_helpers_win32.cpp) converts at the boundary. Every helper ignores failures of the
// calls it makes: a failed call gives 0, the empty text or the empty list.
//
// Texts are GBK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace session {

using WindowHandle = std::uintptr_t;
using ProcessId = std::uint32_t;
using ThreadId = std::uint32_t;

// What FindMainWindowOfProcess gives when no process of that name runs (as opposed to 0: a process runs
// but no window of it was found in time).
constexpr WindowHandle kNoSuchProcess = static_cast<WindowHandle>(-1);

struct WindowInfo {
    WindowHandle window = 0;
    ProcessId processId = 0;
    ThreadId threadId = 0;
    std::string title;
    std::string className;
};

// Whether two executable file names ("quillon.exe") name the same file, as Windows compares file names:
// letters compare without regard to case. GBK-aware: a double-byte character is one unit, so a trail byte
// that happens to be an ASCII letter is never folded (0x81 0x41 and 0x81 0x61 are different characters).
// Besides ASCII, the letters GBK holds in double-byte form fold too (full-width Latin, Greek, Cyrillic).
bool SameExeName(const std::string& a, const std::string& b);

// The rest is implemented for Windows only (window_helpers_win32.cpp).

// Handles every message waiting in the calling thread's queue and returns at once. A WM_QUIT stops it
// early and is posted again, so that the message loop it was meant for still ends.
void ProcessPendingMessages();
// Waits `milliseconds` while still handling the thread's messages. Always true.
bool DelayWithMessages(std::uint32_t milliseconds);
// Shows `window` in front of the other windows and activates it, from any thread or process, keeping its place
// and size: shown when hidden, restored when minimised, never left topmost. A window disabled by a modal
// window of its own comes with that window on top, which takes the activation. Nothing when `window` is not a
// window.
void ShowWindowInFront(WindowHandle window);
// FindWindowExA: the next window after `after` among the children of `parent` (0: top-level windows) with
// the class and title given; an empty text matches any.
WindowHandle FindWindowByTitle(WindowHandle parent, WindowHandle after, const std::string& classText,
                               const std::string& titleText);
// The id of the first running process whose executable file name is `exeName` (compared by SameExeName),
// 0 when none.
ProcessId FindProcessIdByName(const std::string& exeName);
// The same, passing over the process `skip` (the caller itself, when looking for another running copy).
ProcessId FindOtherProcessIdByName(const std::string& exeName, ProcessId skip);
// The first visible top-level window without owner that belongs to `processId`, searched for at most
// `limitMilliseconds`; 0 when none. Handles the thread's messages while it searches.
WindowHandle FindProcessWindow(ProcessId processId, std::uint32_t limitMilliseconds);
// FindProcessWindow(first process named exeName, 100 ms); kNoSuchProcess when no such process runs.
WindowHandle FindMainWindowOfProcess(const std::string& exeName);
// The same for another process than `skip`.
WindowHandle FindMainWindowOfOtherProcess(const std::string& exeName, ProcessId skip);
// The window's class name (at most 260 characters) and title (GBK).
std::string GetWindowClassText(WindowHandle window);
std::string GetWindowTitleText(WindowHandle window);
// Replaces `list` by every top-level window of the desktop; returns how many there are.
int EnumTopLevelWindows(std::vector<WindowInfo>& list);
// The titles alone of every top-level window, in the same order: the session monitor's look, several times
// a second, asks Windows for nothing else.
std::vector<std::string> TopLevelWindowTitles();

}  // namespace session
