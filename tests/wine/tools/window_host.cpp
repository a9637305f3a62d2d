// A second process for the Windows-side tests: it shows the kind of windows a test needs to find or drive
// in another process. The first argument picks what it shows:
//
//   window <title>           one visible top-level window with that caption; ends when it is closed
//   hidden                   one top-level window that is never shown
//   owned                    a hidden owner and a visible popup it owns (no visible parentless window)
//   messagebox plain|icon <title> <text>
//                            a message box without an owner (with a warning icon for "icon"); the exit code
//                            is the pressed button's id
//   controls                 a window with named controls (see CreateControls) for the driver's own tests
//
// Windows and controls carry their designer names in the "QuillonName" property, as the program's do.
// Esc pressed in the controls window ends the program with exit code 27; closing a window ends it with 0.
#include <windows.h>

#include <commctrl.h>

#include <string>

namespace {

HINSTANCE g_instance = nullptr;
HWND g_label = nullptr;
int g_clicks = 0;

constexpr int kOkButtonId = 101;
constexpr int kAskButtonId = 102;

void Name(HWND window, const wchar_t* name) {
    SetPropW(window, L"QuillonName", reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GlobalAddAtomW(name))));
}

HWND Child(HWND parent, const wchar_t* kind, const wchar_t* caption, DWORD style, int x, int y, int width,
           int height, int id, const wchar_t* name) {
    HWND child = CreateWindowExW(0, kind, caption, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
    if (child) Name(child, name);
    return child;
}

// Button 按钮1 counts its clicks into label 标签1; button 按钮3 asks an OK/Cancel question in a message box
// owned by the window and writes the answer's id into 标签1; 按钮2 is disabled.
void CreateControls(HWND window) {
    g_label = Child(window, L"Static", L"\x672A\x70B9\x51FB", 0, 10, 10, 200, 20, 100, L"\x6807\x7B7E\x31");  // 未点击, 标签1
    Child(window, L"Button", L"\x786E\x5B9A", BS_PUSHBUTTON, 10, 40, 80, 24, kOkButtonId, L"\x6309\x94AE\x31");  // 确定, 按钮1
    HWND disabled = Child(window, L"Button", L"B2", BS_PUSHBUTTON, 100, 40, 80, 24, 103, L"\x6309\x94AE\x32");
    EnableWindow(disabled, FALSE);
    Child(window, L"Button", L"Ask", BS_PUSHBUTTON, 190, 40, 80, 24, kAskButtonId, L"\x6309\x94AE\x33");
    Child(window, L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL, 10, 70, 200, 22, 104, L"\x6587\x672C\x6846\x31");  // 文本框1
    Child(window, L"Button", L"Check", BS_AUTOCHECKBOX, 10, 100, 100, 20, 105, L"\x9009\x62E9\x6846\x31");  // 选择框1

    HWND combo = Child(window, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 130, 150, 200, 106,
                       L"\x7EC4\x5408\x6846\x31");  // 组合框1
    for (const wchar_t* entry : {L"\x7532", L"\x4E59", L"\x4E19"}) {  // 甲 乙 丙
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    SendMessageW(combo, CB_SETCURSEL, 1, 0);

    HWND track = Child(window, L"msctls_trackbar32", L"", TBS_HORZ, 10, 160, 200, 30, 107, L"\x6ED1\x5757\x31");  // 滑块1
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    SendMessageW(track, TBM_SETPOS, TRUE, 3);

    HWND list = Child(window, L"SysListView32", L"", LVS_REPORT | WS_BORDER, 10, 200, 300, 120, 108,
                      L"\x5217\x8868\x31");  // 列表1
    const wchar_t* headers[] = {L"\x540D\x79F0", L"IP"};  // 名称
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNW header = {};
        header.mask = LVCF_TEXT | LVCF_WIDTH;
        header.cx = 120;
        header.pszText = const_cast<wchar_t*>(headers[column]);
        SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&header));
    }
    const wchar_t* rows[][2] = {{L"\x670D\x52A1\x5668\x4E00", L"192.168.0.1"},  // 服务器一
                                {L"\x670D\x52A1\x5668\x4E8C", L"10.0.0.2"}};    // 服务器二
    for (int row = 0; row < 2; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(rows[row][0]);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<wchar_t*>(rows[row][1]);
        SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
    LVITEMW selected = {};
    selected.stateMask = LVIS_SELECTED;
    selected.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kOkButtonId && HIWORD(wParam) == BN_CLICKED) {
            ++g_clicks;
            SetWindowTextW(g_label, (L"clicked " + std::to_wstring(g_clicks)).c_str());
            return 0;
        }
        if (LOWORD(wParam) == kAskButtonId && HIWORD(wParam) == BN_CLICKED) {
            int answer = MessageBoxW(window, L"\x7EE7\x7EED\x5417\xFF1F", L"\x63D0\x95EE",  // 继续吗？ 提问
                                     MB_OKCANCEL | MB_ICONQUESTION);
            SetWindowTextW(g_label, (L"answer " + std::to_wstring(answer)).c_str());
            return 0;
        }
        break;
    case WM_DESTROY:
        if (GetWindow(window, GW_OWNER) == nullptr) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND TopLevel(const wchar_t* title, DWORD style, HWND owner, int width, int height) {
    return CreateWindowExW(0, L"QuillonTestHost", title, style, 100, 100, width, height, owner, nullptr,
                           g_instance, nullptr);
}

int RunLoop(bool escapeEnds) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (escapeEnds && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) return 27;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void LoadCommonControls() {
    HMODULE library = LoadLibraryW(L"comctl32.dll");
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    if (init) init(&controls);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    g_instance = instance;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring mode = count > 1 ? args[1] : L"";

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"QuillonTestHost";
    if (!RegisterClassW(&windowClass)) return 2;

    if (mode == L"window" && count > 2) {
        HWND window = TopLevel(args[2], WS_OVERLAPPEDWINDOW, nullptr, 300, 200);
        ShowWindow(window, SW_SHOW);
        return RunLoop(false);
    }
    if (mode == L"hidden") {
        TopLevel(L"HiddenHost", WS_OVERLAPPEDWINDOW, nullptr, 300, 200);
        return RunLoop(false);
    }
    if (mode == L"owned") {
        HWND owner = TopLevel(L"HiddenOwner", WS_OVERLAPPEDWINDOW, nullptr, 300, 200);
        // A popup: GetParent reports its owner (for an owned overlapped window it would report none).
        HWND owned = TopLevel(L"OwnedHost", WS_POPUP | WS_CAPTION, owner, 300, 200);
        ShowWindow(owned, SW_SHOW);
        return RunLoop(false);
    }
    if (mode == L"messagebox" && count > 4) {
        UINT type = MB_OK | (std::wstring(args[2]) == L"icon" ? MB_ICONWARNING : 0);
        return MessageBoxW(nullptr, args[4], args[3], type);
    }
    if (mode == L"controls") {
        LoadCommonControls();
        HWND window = TopLevel(L"\x63A7\x4EF6\x7A97\x53E3", WS_OVERLAPPEDWINDOW, nullptr, 400, 400);  // 控件窗口
        Name(window, L"HostWindow");
        CreateControls(window);
        ShowWindow(window, SW_SHOW);
        return RunLoop(true);
    }
    return 3;
}
