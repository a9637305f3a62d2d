#include "runtime/window_win32.h"

#include <commctrl.h>

#include "runtime/text_codec.h"

namespace runtime {
namespace {

constexpr wchar_t kClassName[] = L"QuillonWindow";
// The private message RunOnUiThread sends: lParam points to the std::function to run.
constexpr UINT kRunOnUiThreadMessage = WM_APP + 0x100;

// The window class of every Window, registered by the first Create.
ATOM classAtom = 0;

ATOM registerClass(WNDPROC procedure) {
    static ATOM atom = [procedure] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass);
    }();
    classAtom = atom;
    return atom;
}

}  // namespace

void SetDesignerName(HWND window, const std::string& gbkName) {
    ATOM atom = GlobalAddAtomW(GbkToWide(gbkName).c_str());
    if (atom) SetPropW(window, kDesignerNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atom)));
}

Window::~Window() { Destroy(); }

bool Window::Create(const FrameDescription& description, WindowEvents events) {
    if (handle_ || !registerClass(&Window::Procedure)) return false;
    events_ = std::move(events);
    escapeCloses_ = description.escapeCloses;
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    if (description.centreOnScreen) {
        x = (GetSystemMetrics(SM_CXSCREEN) - description.width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - description.height) / 2;
    }
    // Created without WS_VISIBLE: the created event runs before the window is first shown.
    // The procedure takes this object from the creation parameters at WM_NCCREATE.
    HWND handle = CreateWindowExW(description.extendedStyle, kClassName, GbkToWide(description.caption).c_str(),
                                  description.style & ~WS_VISIBLE, x, y, description.width, description.height,
                                  description.owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!handle) return false;
    if (description.icon) {
        SendMessageW(handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(description.icon));
        SendMessageW(handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(description.icon));
    }
    SetDesignerName(handle, description.name);
    if (events_.created) events_.created();
    return true;
}

void Window::Show() {
    if (handle_) ShowWindow(handle_, SW_SHOW);
}

void Window::Destroy() {
    if (handle_) DestroyWindow(handle_);
}

bool Window::RunOnUiThread(const std::function<void()>& work) const {
    HWND handle = handle_;
    if (!handle || !IsWindow(handle)) return false;
    // SendMessage waits until the window's thread has handled the message; the function outlives it.
    return SendMessageW(handle, kRunOnUiThreadMessage, 0, reinterpret_cast<LPARAM>(&work)) == 1;
}

Window* Window::FromHandle(HWND handle) {
    if (!handle || !classAtom || GetClassLongPtrW(handle, GCW_ATOM) != classAtom) return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
}

LRESULT CALLBACK Window::Procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        Window* window = static_cast<Window*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->handle_ = handle;
        SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    Window* window = reinterpret_cast<Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
    if (!window) return DefWindowProcW(handle, message, wParam, lParam);
    return CatchHandlerFailure(handle, 0, [&] { return window->OnMessage(handle, message, wParam, lParam); });
}

void ShowHandlerFailure(HWND window, const char* what) noexcept {
    thread_local bool showing = false;
    if (showing) return;
    showing = true;
    try {
        std::wstring text = GbkToWide(std::string("程序出错，刚才的操作没有完成：\n\n") + what);
        HWND owner = window && IsWindow(window) ? GetAncestor(window, GA_ROOT) : nullptr;
        MessageBoxW(owner, text.c_str(), GbkToWide("警告：").c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Out of memory for the text: nothing more can be said.
    }
    showing = false;
}

LRESULT Window::OnMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (events_.message) {
        LRESULT result = 0;
        if (events_.message(message, wParam, lParam, &result)) return result;
    }
    switch (message) {
    case kRunOnUiThreadMessage:
        // Ran, even when it failed: the failure is shown here, and the caller goes on.
        return CatchHandlerFailure(handle, 1, [&] {
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return LRESULT(1);
        });
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        const WINDOWPOS* position = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!(position->flags & SWP_NOMOVE) && events_.moved) events_.moved(position->x, position->y);
        break;  // DefWindowProc still sends WM_MOVE and WM_SIZE
    }
    case WM_SYSCOMMAND:
        // The close box, Alt+F4 and Esc all come here; handled directly so that a window without a system
        // menu behaves the same.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            SendMessageW(handle, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (events_.closeRequested) {
            events_.closeRequested();
        } else {
            DestroyWindow(handle);
        }
        return 0;
    case WM_DESTROY:
        if (events_.destroying) events_.destroying();
        break;
    case WM_NCDESTROY: {
        SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
        ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(RemovePropW(handle, kDesignerNameProperty)));
        if (atom) GlobalDeleteAtom(atom);
        handle_ = nullptr;
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

const char* WindowClassName() { return "QuillonWindow"; }

void InitialiseCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
}

bool PreTranslateWindowMessage(const MSG& message) {
    if (message.message != WM_KEYDOWN || !message.hwnd) return false;
    Window* window = Window::FromHandle(GetAncestor(message.hwnd, GA_ROOT));
    if (!window) return false;
    // A disabled window (the owner of an open modal dialog) takes no keys: a key that still reaches one of its
    // controls, pressed just as the dialog opened, must not close it or move its focus.
    if (!IsWindowEnabled(window->handle_)) return message.wParam == VK_ESCAPE || message.wParam == VK_TAB;
    if (message.wParam == VK_TAB) {
        // Tab and Shift+Tab move the focus through the window's controls in their order, as in a dialog; an
        // edit box reached this way has its text selected, ready to be typed over.
        bool backwards = GetKeyState(VK_SHIFT) < 0;
        HWND next = GetNextDlgTabItem(window->handle_, GetFocus(), backwards);
        if (!next) return false;
        SetFocus(next);
        wchar_t className[16] = {};
        GetClassNameW(next, className, 16);
        if (lstrcmpiW(className, L"Edit") == 0) SendMessageW(next, EM_SETSEL, 0, -1);
        return true;
    }
    if (message.wParam != VK_ESCAPE) return false;
    if (window->events_.escapeInControl && window->events_.escapeInControl(message.hwnd)) return true;
    if (!window->escapeCloses_) return false;
    // What the close box does: the system command, which DefWindowProc turns into WM_CLOSE.
    SendMessageW(window->handle_, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslateWindowMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace runtime
