// A small top-level window wrapper for the program's windows: creates the frame from a description, routes
// its events to named callbacks, carries the designer name for the test driver, and lets other threads
// hand work to the window's thread. Windows only.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace runtime {

// The window property holding a window's or control's designer name as a global atom, read by the test
// driver from another process with GetPropW and GlobalGetAtomNameW.
inline constexpr wchar_t kDesignerNameProperty[] = L"QuillonName";
// Sets that property from a GBK name.
void SetDesignerName(HWND window, const std::string& gbkName);

struct WindowEvents {
    std::function<void()> created;            // after creation, before the window is first shown
    std::function<void(int x, int y)> moved;  // its top-left corner moved (screen coordinates)
    std::function<void()> closeRequested;     // close box, Alt+F4, Esc; without a handler it is destroyed
    std::function<void()> destroying;         // the window is being destroyed
    // Esc pressed while `control` (a child of the window) has the keyboard focus: true when the control took
    // the key for itself (an edit box clearing its text), and the window is then not closed.
    std::function<bool(HWND control)> escapeInControl;
    // Any other message first: true when handled, with *result the value to return (the window's controls
    // report here: WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_CTLCOLOR...).
    std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)> message;
};

struct FrameDescription {
    std::string name;     // designer name (GBK)
    std::string caption;  // GBK
    int width = 0;        // outer size in pixels
    int height = 0;
    DWORD style = WS_POPUP;
    DWORD extendedStyle = 0;
    bool centreOnScreen = true;
    bool escapeCloses = true;  // Esc pressed anywhere in the window raises the close request
    HWND owner = nullptr;      // an owned window stays above its owner and has no taskbar button of its own
    HICON icon = nullptr;      // the title bar's icon
};

class Window {
public:
    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creates the window hidden, with the system's default GUI font, then runs events.created. False when
    // Windows refuses to create it.
    bool Create(const FrameDescription& description, WindowEvents events);
    HWND Handle() const { return handle_; }
    HFONT Font() const { return font_; }
    void Show();
    void Destroy();

    // Runs `work` on the thread that owns the window and waits for it, by SendMessage of a private message
    // (directly when called on that thread). False when the window is gone and the work did not run.
    bool RunOnUiThread(const std::function<void()>& work) const;

    // The Window behind a handle created by this class, or null.
    static Window* FromHandle(HWND handle);

private:
    static LRESULT CALLBACK Procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

    HWND handle_ = nullptr;
    HFONT font_ = nullptr;
    bool escapeCloses_ = false;
    WindowEvents events_;

    friend bool PreTranslateWindowMessage(const MSG& message);
};

// Shows what a handler threw in a message box owned by `window`'s top-level window ("程序出错..."), and
// returns. One box at a time: a failure while one is showing is not shown again.
void ShowHandlerFailure(HWND window, const char* what) noexcept;

// Runs the work of a window procedure. What it throws (a handler's failure) must not unwind through user32,
// which would end the program: it is shown (ShowHandlerFailure), the program goes on, and the message counts
// as handled with `failed` as its result.
template <class Work>
LRESULT CatchHandlerFailure(HWND window, LRESULT failed, Work&& work) noexcept {
    try {
        return work();
    } catch (const std::exception& e) {
        ShowHandlerFailure(window, e.what());
    } catch (...) {
        ShowHandlerFailure(window, "an unknown failure");
    }
    return failed;
}

// Initialises the common controls (once per process).
// The window class every program window is made of (ASCII).
const char* WindowClassName();

void InitialiseCommonControls();
// The keyboard handling the program's windows need before a message is dispatched (Esc raises the close
// request of the window it was pressed in). True when the message was handled and must not be dispatched.
bool PreTranslateWindowMessage(const MSG& message);
// Gets and dispatches the thread's messages until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace runtime
