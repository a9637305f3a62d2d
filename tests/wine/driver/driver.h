// The test driver for Windows-side tests: starts a program, finds its windows and controls from outside,
// clicks, types, reads texts and states, answers message boxes and waits for the program to end.
//
// Texts: every text the driver takes or gives is a GBK std::string (code page 936, the program's own
// encoding); the driver converts to and from UTF-16 with code page 936 explicitly, never with the system's
// default code page. Gbk(L"...") turns a wide literal into GBK, so tests can write Chinese texts readably.
//
// Time-outs: every wait takes a limit in milliseconds and gives up after it; every message sent to another
// process goes through SendMessageTimeoutW. A Process still running when it goes out of scope is ended, so a
// failing test leaves nothing behind.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wine_driver {

// --- Limits (milliseconds) -------------------------------------------------------------------------------
// A program start under Wine costs one to three seconds, more on the first start of a prefix.
constexpr DWORD kStartTimeout = 30000;
// Waiting for something a program does in reaction to a message, or for it to end after a close request.
constexpr DWORD kReactTimeout = 10000;
// One message sent to another process.
constexpr DWORD kSendTimeout = 5000;

// --- Texts -------------------------------------------------------------------------------------------------
std::string Gbk(const std::wstring& text);    // UTF-16 -> GBK
std::wstring Utf16(const std::string& gbk);   // GBK -> UTF-16
std::string Utf8(const std::wstring& text);   // UTF-16 -> UTF-8 (the form the database engine takes paths in)

// --- Waiting -----------------------------------------------------------------------------------------------
// Polls `condition` every `pollMs` until it holds (true) or `timeoutMs` has passed (false). Messages of the
// calling thread are dispatched while waiting, so windows of the test itself stay responsive.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);
// Sleeps `ms` while dispatching the calling thread's messages.
void Pause(DWORD ms);

// --- Files and folders -------------------------------------------------------------------------------------
// The value of an environment variable, empty when unset.
std::wstring Environment(const wchar_t* name);
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// A fresh, empty folder QUILLON_TEST_DIR\<name> (emptied when it exists). Empty on failure.
std::wstring FreshFolder(const std::wstring& name);
// Copies the program under test (QUILLON_EXE) into `folder` as quillon.exe and gives the copy's path.
// Empty on failure (QUILLON_EXE unset or the copy failed).
std::wstring CopyProgram(const std::wstring& folder);
// The path of a helper program from tests/wine/tools (e.g. L"window_host.exe"): looked up in
// QUILLON_TOOLS_DIR when set, else beside the running test program, else beside QUILLON_EXE. Empty when
// not found.
std::wstring ToolPath(const std::wstring& exeName);
bool FileExists(const std::wstring& path);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The names of the files and folders in `folder` (not "." or "..").
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// --- Linux programs --------------------------------------------------------------------------------------
// Wine starts a Linux program by its Z: path; these run a command line through /bin/sh, with the Unix
// environment the test run gave Wine (DISPLAY, the scratch folder's Unix path in QUILLON_TEST_DIR_UNIX).
// Starts the command and returns at once (false when it could not be started).
bool StartLinuxCommand(const std::string& command);
// Runs the command and gives what it printed (standard output and error), waiting up to `timeoutMs`;
// nothing when it did not end in time. (Wine reports no exit code of a Linux program: the shell writes the
// output to a file of the scratch folder, which is read back.)
std::optional<std::string> RunLinuxCommand(const std::string& command, DWORD timeoutMs = 10000);

// --- Processes ---------------------------------------------------------------------------------------------
class Process {
public:
    Process() = default;
    ~Process();  // ends the process if it still runs
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts `exe` with `arguments` (already quoted as needed) in `folder` (the exe's folder when empty).
    // Check Started(); Error() says why a start failed.
    static Process Start(const std::wstring& exe, const std::wstring& arguments = L"",
                         const std::wstring& folder = L"");

    bool Started() const { return process_ != nullptr; }
    const std::string& Error() const { return error_; }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }

    bool Running() const;
    // True when the process has ended within `timeoutMs`.
    bool WaitForExit(DWORD timeoutMs) const;
    // The exit code once the process has ended; nothing while it runs.
    std::optional<DWORD> ExitCode() const;
    // Ends the process at once (exit code 1) and waits for it to be gone.
    void Terminate();

    // The process's top-level windows, visible or not, in Z order.
    std::vector<HWND> Windows() const;
    // The first top-level window of the process for which `match` holds, waiting up to `timeoutMs`.
    HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) const;
    // The first visible top-level window whose "QuillonName" is `name`.
    HWND WaitForNamedWindow(const std::string& name, DWORD timeoutMs = kStartTimeout) const;
    // The first visible top-level window of the process.
    HWND WaitForVisibleWindow(DWORD timeoutMs = kStartTimeout) const;

private:
    void Close();

    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
    std::string error_;
};

// Top-level windows (visible or not) that belong to process `pid`, in Z order.
std::vector<HWND> TopLevelWindowsOf(DWORD pid);
DWORD ProcessIdOf(HWND window);

// --- Windows and controls ----------------------------------------------------------------------------------
// The designer name of a window or control (its "QuillonName" property), empty when it has none.
std::string ControlName(HWND window);
// `root` itself or its first descendant (depth first) named `name`; null when none is.
HWND FindControl(HWND root, const std::string& name);
// Like FindControl, waiting up to `timeoutMs` for the control to appear.
HWND WaitForControl(HWND root, const std::string& name, DWORD timeoutMs = kReactTimeout);
// All descendants of `root`, depth first.
std::vector<HWND> Descendants(HWND root);
std::string ClassName(HWND window);
LONG_PTR Style(HWND window);
LONG_PTR ExStyle(HWND window);

// The window's text, read with WM_GETTEXT (works across processes for every window). Empty on time-out.
std::string ReadText(HWND window);
// Replaces the text (WM_SETTEXT): an edit's content, a window's caption.
bool SetText(HWND window, const std::string& text);
// Types `text` into `window` one character at a time (WM_CHAR per UTF-16 unit, sent in order), as a
// keyboard would deliver it to a focused edit.
bool TypeText(HWND window, const std::string& text);

// Clicks a button: posts BM_CLICK, so a click that opens a modal window does not block the driver.
bool Click(HWND button);
// Posts a left click (down and up) at client point (x, y) of `window`.
bool ClickAt(HWND window, int x, int y);
bool DoubleClickAt(HWND window, int x, int y);

// A right click (button down and up) at client point (x, y) of `window`, as a person's mouse gives it: the
// cursor is moved there first and left to settle, then the two button messages are posted. A menu the click
// opens appears at the cursor, so it opens where the click was.
bool RightClickAt(HWND window, int x, int y);

// Posts a key press (WM_KEYDOWN then WM_KEYUP of `virtualKey`) to `window` itself.
bool PressKey(HWND window, UINT virtualKey);

// Replaces an edit's content the way a person does: selects all of it (EM_SETSEL) and types `text` over the
// selection (TypeText); an empty `text` is a Backspace on the selection.
bool TypeOver(HWND edit, const std::string& text);

// Esc for the window: posts WM_KEYDOWN / WM_KEYUP VK_ESCAPE to the focus window of the window's thread
// (or to `window` itself when that thread has no focus window), as the keyboard would. Posting is used rather
// than keybd_event because it does not depend on which window Wine considers to be in the foreground.
bool PressEscape(HWND window);
// The close request a user makes with the system menu or Alt+F4: posts WM_CLOSE.
bool RequestClose(HWND window);

bool IsShown(HWND window);      // IsWindowVisible
bool IsEnabled(HWND window);    // IsWindowEnabled
bool IsMinimised(HWND window);  // IsIconic
int CheckState(HWND button);    // BM_GETCHECK: BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE; -1 on time-out
int ComboSelection(HWND combo); // CB_GETCURSEL: -1 when nothing is selected or on time-out
int ComboCount(HWND combo);     // CB_GETCOUNT
std::string ComboItemText(HWND combo, int index);  // CB_GETLBTEXT
int TrackPosition(HWND trackbar);  // TBM_GETPOS

// List views of another process: the text of each cell is read through a buffer in the target process.
int ListItemCount(HWND listView);                                 // -1 on time-out
std::optional<std::string> ListCellText(HWND listView, int row, int column);
// Every row's first `columns` cells.
std::vector<std::vector<std::string>> ListRows(HWND listView, int columns);
int ListSelection(HWND listView);  // the first selected row, -1 when none

// The rectangle (client coordinates of the list view) of cell (row, column), read with LVM_GETSUBITEMRECT
// through a buffer in the list's process; nothing on failure.
std::optional<RECT> ListCellRect(HWND listView, int row, int column);
// Clicks the middle of the header of `column` (its rectangle read with HDM_GETITEMRECT) of a report-view
// list, as a person clicks a column header to sort by it.
bool ClickListHeader(HWND listView, int column);

// --- Popup menus -------------------------------------------------------------------------------------------
// The visible popup menu window (class "#32768") of process `pid`, waiting up to `timeoutMs`; null when none
// shows.
HWND WaitForPopupMenu(DWORD pid, DWORD timeoutMs = kReactTimeout);
// Chooses an item of a shown popup menu with the keyboard, as a person can: Home (the first item), Down
// `choosable` times, then Enter. `choosable` counts the items that can be chosen, from 0: separators are
// skipped by the menu itself and not counted. The keys go to the menu's thread, whose menu loop reads them.
bool ChooseMenuItem(HWND menu, int choosable);

// --- Message boxes -----------------------------------------------------------------------------------------
struct MessageBoxView {
    HWND dialog = nullptr;
    HWND owner = nullptr;          // GetWindow(GW_OWNER)
    std::string title;
    std::string text;              // the static control with id 0xFFFF
    bool hasIcon = false;          // a visible SS_ICON static that holds an icon
    std::vector<std::string> buttons;  // captions, in child order
};

// The first visible dialog (class #32770) of process `pid`, read out; nothing when there is none.
std::optional<MessageBoxView> FindMessageBox(DWORD pid);
std::optional<MessageBoxView> WaitForMessageBox(DWORD pid, DWORD timeoutMs = kReactTimeout);
// Presses the dialog's button with caption `caption` (a '&' in the caption is ignored).
bool PressButton(HWND dialog, const std::string& caption);
// Presses the dialog's button with control id `id` (IDOK, IDCANCEL, ...).
bool PressButtonId(HWND dialog, int id);

}  // namespace wine_driver
