// The program's five windows made from their tables as real Win32 windows, and every control read back
// through Win32 itself: its window class, where it stands in its container, its caption or entries, its
// checked, selected and enabled state, the styles that carry the table's notes (centred, wrapping, border,
// clear-text password), the list's columns, the slider's range, the tab pages; and each window's caption,
// outer size, frame and taskbar presence. The expected side is the window's table; the actual side is only
// ever what Windows answers, with each control found by the designer name it carries (the "QuillonName"
// property the test driver uses), not through the runtime's own bookkeeping.
//
// A failure names the window, the control and the property, e.g. "AudioDialog / 单选框2 / checked".
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/form_win32.h"
#include "runtime/text_codec.h"
#include "ui/forms.h"

namespace {

using runtime::Alignment;
using runtime::ControlKind;
using runtime::ControlSpec;
using runtime::ListColumn;
using runtime::WindowSpec;

// --- Reading Win32 -------------------------------------------------------------------------------------------

std::string Gbk(const wchar_t* text, size_t length) {
    return runtime::Utf16ToGbk(std::u16string(text, text + length));
}

std::string WindowTextOf(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    return Gbk(text.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
LONG_PTR ExStyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); }

// The designer name a window carries as a global atom in its "QuillonName" property ("" when none).
std::string DesignerName(HWND window) {
    ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, L"QuillonName")));
    if (!atom) return "";
    wchar_t name[256] = {};
    UINT length = GlobalGetAtomNameW(atom, name, 256);
    return Gbk(name, length);
}

// Every child window of `window` that carries a designer name, by that name. A name carried twice maps to
// null, so that the control's checks fail rather than read the wrong window.
std::map<std::string, HWND> ChildrenByName(HWND window) {
    std::map<std::string, HWND> found;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM into) -> BOOL {
            auto& names = *reinterpret_cast<std::map<std::string, HWND>*>(into);
            std::string name = DesignerName(child);
            if (name.empty()) return TRUE;
            auto [at, added] = names.emplace(name, child);
            if (!added) at->second = nullptr;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The colour of a solid brush.
COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH description{};
    if (!brush || !GetObjectW(brush, sizeof description, &description)) return CLR_INVALID;
    return description.lbColor;
}

// The background the window gives a static control or a check box when it paints: the brush its procedure
// answers to WM_CTLCOLORSTATIC, as the control itself asks for it.
COLORREF StaticBackground(HWND window, HWND control) {
    HDC dc = GetDC(control);
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    COLORREF colour = BrushColour(brush);
    ReleaseDC(control, dc);
    return colour;
}

COLORREF EditBackground(HWND window, HWND control) {
    HDC dc = GetDC(control);
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageW(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    COLORREF colour = BrushColour(brush);
    ReleaseDC(control, dc);
    return colour;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (runtime::PreTranslateWindowMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// --- What the table says -----------------------------------------------------------------------------------

const ControlSpec* FindControl(const WindowSpec& table, const std::string& name) {
    for (const ControlSpec& control : table.controls) {
        if (control.name == name) return &control;
    }
    return nullptr;
}

// Whether `control` shows while each tab control stands at the page given in `pages`: every tab control on
// the way up through its containers must be at the page that holds it.
bool ShownOnPages(const WindowSpec& table, const ControlSpec& control, const std::map<std::string, int>& pages) {
    for (const ControlSpec* step = &control; !step->container.empty();) {
        const ControlSpec* container = FindControl(table, step->container);
        if (!container) return false;
        if (container->kind == ControlKind::TabControl && pages.at(container->name) != step->page) return false;
        step = container;
    }
    return true;
}

// The Win32 window class each kind of control is made of. A picture box is the program's own window class,
// which draws the PNG at its natural size from the top-left corner (a STATIC with a bitmap would stretch or
// centre it).
const wchar_t* ClassFor(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox: return L"Button";
    case ControlKind::Label: return L"Static";
    case ControlKind::Edit: return L"Edit";
    case ControlKind::DropDownList: return L"ComboBox";
    case ControlKind::PictureBox: return L"QuillonPicture";
    case ControlKind::TrackBar: return TRACKBAR_CLASSW;
    case ControlKind::DatePicker: return DATETIMEPICK_CLASSW;
    case ControlKind::ListView: return WC_LISTVIEWW;
    case ControlKind::TabControl: return WC_TABCONTROLW;
    }
    return L"?";
}

// "AudioDialog / 单选框2 / checked": where a failure is.
std::string Where(const WindowSpec& table, const std::string& control, const char* property) {
    return table.name + " / " + (control.empty() ? std::string("(window)") : control) + " / " + property;
}

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// --- The window ----------------------------------------------------------------------------------------------

// Caption, outer size, frame and title-bar buttons, taskbar presence, no menu bar, not topmost.
void CheckFrame(const WindowSpec& table, HWND window) {
    EXPECT_EQ(DesignerName(window), table.name) << Where(table, "", "designer name");
    EXPECT_EQ(WindowTextOf(window), table.caption) << Where(table, "", "caption");
    RECT outer{};
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.right - outer.left, table.width) << Where(table, "", "outer width");
    EXPECT_EQ(outer.bottom - outer.top, table.height) << Where(table, "", "outer height");

    const LONG_PTR style = StyleOf(window);
    const LONG_PTR exStyle = ExStyleOf(window);
    RECT client{};
    GetClientRect(window, &client);
    if (table.frame == runtime::Frame::None) {
        EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_DLGFRAME | WS_BORDER), 0)
            << Where(table, "", "no frame, no title bar, no system menu");
        EXPECT_EQ(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE), 0)
            << Where(table, "", "no edge");
        // All of the window is client area.
        EXPECT_EQ(client.right, table.width) << Where(table, "", "client width of a window without frame");
        EXPECT_EQ(client.bottom, table.height) << Where(table, "", "client height of a window without frame");
    } else {
        EXPECT_EQ(style & WS_CAPTION, WS_CAPTION) << Where(table, "", "title bar");
        EXPECT_TRUE(style & WS_SYSMENU) << Where(table, "", "close box");
        EXPECT_FALSE(style & WS_THICKFRAME) << Where(table, "", "fixed frame (not resizable)");
        EXPECT_FALSE(style & WS_MAXIMIZEBOX) << Where(table, "", "no maximise box");
        EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, table.minimiseBox) << Where(table, "", "minimise box");
        EXPECT_LT(client.right, table.width) << Where(table, "", "frame around the client area");
        EXPECT_LT(client.bottom, table.height) << Where(table, "", "title bar above the client area");
    }
    EXPECT_FALSE(exStyle & WS_EX_TOPMOST) << Where(table, "", "not on top of other programs");
    EXPECT_EQ(GetMenu(window), nullptr) << Where(table, "", "no menu bar");

    // Windows gives a top-level window a taskbar button when it has WS_EX_APPWINDOW, or when it is neither
    // owned nor a tool window.
    const bool owned = GetWindow(window, GW_OWNER) != nullptr;
    const bool inTaskbar = (exStyle & WS_EX_APPWINDOW) || (!owned && !(exStyle & WS_EX_TOOLWINDOW));
    EXPECT_EQ(inTaskbar, table.taskbarButton) << Where(table, "", "taskbar button");
    EXPECT_TRUE(IsWindowEnabled(window)) << Where(table, "", "enabled");
}

// --- One control ---------------------------------------------------------------------------------------------

// Where a control stands in its container as the table measures it: from the window's client area, or from
// the outer top-left corner of its group box, picture box or tab control (the tab strip included).
POINT PlaceInContainer(HWND window, const std::map<std::string, HWND>& controls, const ControlSpec& control,
                       bool* found) {
    POINT origin{0, 0};
    *found = true;
    if (control.container.empty()) {
        ClientToScreen(window, &origin);
    } else {
        auto container = controls.find(control.container);
        if (container == controls.end() || !container->second) {
            *found = false;
            return origin;
        }
        RECT bounds{};
        GetWindowRect(container->second, &bounds);
        origin = {bounds.left, bounds.top};
    }
    RECT bounds{};
    GetWindowRect(controls.at(control.name), &bounds);
    return {bounds.left - origin.x, bounds.top - origin.y};
}

void CheckButtonLike(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    const LONG_PTR style = StyleOf(handle);
    const LONG_PTR type = style & BS_TYPEMASK;
    switch (control.kind) {
    case ControlKind::Button:
        // None is a default button; the caption centred across.
        EXPECT_EQ(type, BS_PUSHBUTTON) << Where(table, control.name, "plain push button");
        EXPECT_TRUE((style & BS_CENTER) == 0 || (style & BS_CENTER) == BS_CENTER)
            << Where(table, control.name, "caption centred");
        break;
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: {
        // A box the person can tick (the runtime keeps the table's radio groups itself).
        const LONG_PTR expected = control.kind == ControlKind::CheckBox ? BS_AUTOCHECKBOX : BS_AUTORADIOBUTTON;
        EXPECT_EQ(type, expected) << Where(table, control.name, "button type");
        EXPECT_FALSE(style & BS_LEFTTEXT) << Where(table, control.name, "box at the left");
        EXPECT_TRUE((style & BS_VCENTER) == 0 || (style & BS_VCENTER) == BS_VCENTER)
            << Where(table, control.name, "caption centred vertically");
        EXPECT_FALSE(style & BS_PUSHLIKE) << Where(table, control.name, "a box, not a push button");
        const LRESULT check = SendMessageW(handle, BM_GETCHECK, 0, 0);
        EXPECT_EQ(check, control.checked ? BST_CHECKED : BST_UNCHECKED) << Where(table, control.name, "checked");
        const COLORREF background = StaticBackground(GetParent(handle), handle);
        const COLORREF expectedBackground =
            (control.style & runtime::kWhiteBackground) ? kWhite : GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ(background, expectedBackground) << Where(table, control.name, "background colour");
        break;
    }
    case ControlKind::GroupBox:
        EXPECT_EQ(type, BS_GROUPBOX) << Where(table, control.name, "group box");
        EXPECT_TRUE((style & BS_CENTER) == 0 || (style & BS_CENTER) == BS_LEFT)
            << Where(table, control.name, "caption at the left");
        break;
    default:
        break;
    }
    EXPECT_EQ(WindowTextOf(handle), control.caption) << Where(table, control.name, "caption");
}

void CheckLabel(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    const LONG_PTR style = StyleOf(handle);
    const LONG_PTR exStyle = ExStyleOf(handle);
    EXPECT_EQ(WindowTextOf(handle), control.caption) << Where(table, control.name, "caption");
    const LONG_PTR type = style & SS_TYPEMASK;
    if (control.style & runtime::kCentred) {
        EXPECT_EQ(type, SS_CENTER) << Where(table, control.name, "text centred (SS_CENTER)");
    } else {
        EXPECT_EQ(type, SS_LEFT) << Where(table, control.name, "text left-aligned (SS_LEFT, no SS_CENTER)");
    }
    // One line centred vertically is SS_CENTERIMAGE; a wrapping label starts at the top and breaks its words.
    if (control.style & runtime::kWraps) {
        EXPECT_FALSE(style & SS_CENTERIMAGE) << Where(table, control.name, "wraps from the top-left");
        EXPECT_FALSE(style & SS_ENDELLIPSIS) << Where(table, control.name, "wraps, not cut with an ellipsis");
    } else {
        EXPECT_TRUE(style & SS_CENTERIMAGE) << Where(table, control.name, "one line, centred vertically");
    }
    const bool bordered = (style & WS_BORDER) != 0;
    EXPECT_EQ(bordered, (control.style & runtime::kBordered) != 0) << Where(table, control.name, "thin border");
    EXPECT_FALSE(style & SS_SUNKEN) << Where(table, control.name, "no sunken border");
    EXPECT_EQ(exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0) << Where(table, control.name, "no 3-D edge");
    const COLORREF expectedBackground =
        (control.style & runtime::kWhiteBackground) ? kWhite : GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(StaticBackground(GetParent(handle), handle), expectedBackground)
        << Where(table, control.name, "background colour");
}

void CheckEdit(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    const LONG_PTR style = StyleOf(handle);
    EXPECT_EQ(WindowTextOf(handle), control.caption) << Where(table, control.name, "text");
    const LONG_PTR alignment = style & (ES_CENTER | ES_RIGHT);
    EXPECT_EQ(alignment, (control.style & runtime::kCentred) ? ES_CENTER : ES_LEFT)
        << Where(table, control.name, "text alignment (ES_CENTER only where the table centres it)");
    EXPECT_FALSE(style & ES_PASSWORD) << Where(table, control.name, "text in clear (no ES_PASSWORD)");
    EXPECT_EQ(SendMessageW(handle, EM_GETPASSWORDCHAR, 0, 0), 0) << Where(table, control.name, "no masking character");
    EXPECT_FALSE(style & ES_MULTILINE) << Where(table, control.name, "single line");
    EXPECT_FALSE(style & ES_READONLY) << Where(table, control.name, "the person can type");
    EXPECT_TRUE(ExStyleOf(handle) & WS_EX_CLIENTEDGE) << Where(table, control.name, "sunken border");
    // No length limit: Windows' default for a single-line box is some 32,000 characters; lifted, it is the
    // largest it can hold.
    EXPECT_GE(static_cast<unsigned long long>(SendMessageW(handle, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEull)
        << Where(table, control.name, "no length limit");
    EXPECT_EQ(EditBackground(GetParent(handle), handle), kWhite) << Where(table, control.name, "white background");
}

void CheckDropDown(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    const LONG_PTR style = StyleOf(handle);
    EXPECT_EQ(style & 3, CBS_DROPDOWNLIST) << Where(table, control.name, "choose only, no typing");
    EXPECT_FALSE(style & CBS_SORT) << Where(table, control.name, "entries in the table's order (no CBS_SORT)");
    const int count = static_cast<int>(SendMessageW(handle, CB_GETCOUNT, 0, 0));
    std::vector<std::string> entries;
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(handle, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        LRESULT copied = SendMessageW(handle, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        entries.push_back(Gbk(text.data(), static_cast<size_t>(copied > 0 ? copied : 0)));
    }
    EXPECT_EQ(entries, control.entries) << Where(table, control.name, "entries");
    const LRESULT selection = SendMessageW(handle, CB_GETCURSEL, 0, 0);
    EXPECT_EQ(selection == CB_ERR ? -1 : static_cast<int>(selection), control.selection)
        << Where(table, control.name, "selected entry");
    if (control.selection >= 0 && control.selection < static_cast<int>(control.entries.size())) {
        EXPECT_EQ(WindowTextOf(handle), control.entries[static_cast<size_t>(control.selection)])
            << Where(table, control.name, "text of the closed box");
    }
}

void CheckTrackBar(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    const LONG_PTR style = StyleOf(handle);
    EXPECT_FALSE(style & TBS_VERT) << Where(table, control.name, "horizontal");
    EXPECT_TRUE(style & TBS_AUTOTICKS) << Where(table, control.name, "ticks");
    EXPECT_FALSE(style & TBS_NOTICKS) << Where(table, control.name, "ticks shown");
    EXPECT_EQ(SendMessageW(handle, TBM_GETRANGEMIN, 0, 0), control.rangeMin) << Where(table, control.name, "minimum");
    EXPECT_EQ(SendMessageW(handle, TBM_GETRANGEMAX, 0, 0), control.rangeMax) << Where(table, control.name, "maximum");
    EXPECT_EQ(SendMessageW(handle, TBM_GETPOS, 0, 0), control.position) << Where(table, control.name, "position");
    // A tick at every step: one per value of the range, the two ends included.
    EXPECT_EQ(SendMessageW(handle, TBM_GETNUMTICS, 0, 0), control.rangeMax - control.rangeMin + 1)
        << Where(table, control.name, "a tick at every step");
}

void CheckListView(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    const LONG_PTR style = StyleOf(handle);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT) << Where(table, control.name, "report view");
    EXPECT_TRUE(style & LVS_SINGLESEL) << Where(table, control.name, "single selection");
    EXPECT_TRUE(style & LVS_SHOWSELALWAYS) << Where(table, control.name, "selection shown without focus");
    EXPECT_FALSE(style & LVS_NOCOLUMNHEADER) << Where(table, control.name, "column header");
    EXPECT_FALSE(style & LVS_NOSORTHEADER) << Where(table, control.name, "clickable column headers");
    EXPECT_EQ(style & (LVS_SORTASCENDING | LVS_SORTDESCENDING), 0) << Where(table, control.name, "no automatic sorting");
    EXPECT_TRUE(ExStyleOf(handle) & WS_EX_CLIENTEDGE) << Where(table, control.name, "sunken border");
    const LRESULT extended = SendMessageW(handle, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT) << Where(table, control.name, "whole-row selection");
    EXPECT_TRUE(extended & LVS_EX_GRIDLINES) << Where(table, control.name, "grid lines");
    EXPECT_FALSE(extended & LVS_EX_CHECKBOXES) << Where(table, control.name, "no check boxes");
    EXPECT_EQ(SendMessageW(handle, LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0) << Where(table, control.name, "no row images");
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(handle, LVM_GETBKCOLOR, 0, 0)), kWhite)
        << Where(table, control.name, "white background");
    // The text colour may be left to the system (CLR_DEFAULT), which is the window-text colour.
    COLORREF textColour = static_cast<COLORREF>(SendMessageW(handle, LVM_GETTEXTCOLOR, 0, 0));
    if (textColour == CLR_DEFAULT) textColour = GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_EQ(textColour, kBlack) << Where(table, control.name, "black text");
    EXPECT_EQ(SendMessageW(handle, LVM_GETITEMCOUNT, 0, 0), 0) << Where(table, control.name, "no rows at start");
    EXPECT_EQ(SendMessageW(handle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1)
        << Where(table, control.name, "no row selected at start");

    HWND header = reinterpret_cast<HWND>(SendMessageW(handle, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr) << Where(table, control.name, "column header");
    EXPECT_TRUE(StyleOf(header) & HDS_BUTTONS) << Where(table, control.name, "column headers act as buttons");
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    ASSERT_EQ(count, static_cast<int>(control.columns.size())) << Where(table, control.name, "number of columns");
    for (int c = 0; c < count; ++c) {
        const ListColumn& expected = control.columns[static_cast<size_t>(c)];
        const std::string column = control.name + " column " + std::to_string(c);
        wchar_t text[128] = {};
        LVCOLUMNW item{};
        item.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        item.pszText = text;
        item.cchTextMax = 128;
        ASSERT_TRUE(SendMessageW(handle, LVM_GETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item)))
            << Where(table, column, "readable");
        EXPECT_EQ(Gbk(text, wcslen(text)), expected.header) << Where(table, column, "header");
        EXPECT_EQ(SendMessageW(handle, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0), expected.width)
            << Where(table, column, "width");
        const int fmt = item.fmt & LVCFMT_JUSTIFYMASK;
        const int expectedFmt = expected.alignment == Alignment::Centre ? LVCFMT_CENTER
                                : expected.alignment == Alignment::Right ? LVCFMT_RIGHT
                                                                         : LVCFMT_LEFT;
        EXPECT_EQ(fmt, expectedFmt) << Where(table, column, "alignment");
    }
}

void CheckTabControl(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    const LONG_PTR style = StyleOf(handle);
    EXPECT_EQ(style & (TCS_BOTTOM | TCS_VERTICAL | TCS_BUTTONS), 0) << Where(table, control.name, "tab strip at the top");
    const int count = static_cast<int>(SendMessageW(handle, TCM_GETITEMCOUNT, 0, 0));
    std::vector<std::string> pages;
    for (int page = 0; page < count; ++page) {
        wchar_t text[128] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        SendMessageW(handle, TCM_GETITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
        pages.push_back(Gbk(text, wcslen(text)));
    }
    EXPECT_EQ(pages, control.entries) << Where(table, control.name, "page captions");
    EXPECT_EQ(SendMessageW(handle, TCM_GETCURSEL, 0, 0), control.selection) << Where(table, control.name, "chosen page");
    // The page captions in SimSun, 12 pixels high, normal weight, GB2312.
    LOGFONTW font{};
    HGDIOBJ handleFont = reinterpret_cast<HGDIOBJ>(SendMessageW(handle, WM_GETFONT, 0, 0));
    ASSERT_TRUE(handleFont && GetObjectW(handleFont, sizeof font, &font)) << Where(table, control.name, "font");
    EXPECT_STREQ(font.lfFaceName, L"SimSun") << Where(table, control.name, "font face");
    EXPECT_EQ(std::abs(font.lfHeight), 12) << Where(table, control.name, "font height");
    EXPECT_TRUE(font.lfWeight == FW_DONTCARE || font.lfWeight == FW_NORMAL) << Where(table, control.name, "font weight");
    EXPECT_EQ(font.lfCharSet, GB2312_CHARSET) << Where(table, control.name, "font character set");
}

void CheckPictureBox(const WindowSpec& table, const ControlSpec& control, HWND handle) {
    EXPECT_FALSE(StyleOf(handle) & WS_BORDER) << Where(table, control.name, "no border");
    EXPECT_EQ(ExStyleOf(handle) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0) << Where(table, control.name, "no edge");
}

// Every property of one control the table gives, read from its window.
void CheckControl(const WindowSpec& table, HWND window, const std::map<std::string, HWND>& controls,
                  const ControlSpec& control) {
    auto found = controls.find(control.name);
    ASSERT_TRUE(found != controls.end() && found->second)
        << Where(table, control.name, "a child window carrying this name, exactly once");
    HWND handle = found->second;
    EXPECT_EQ(GetParent(handle), window) << Where(table, control.name, "child of its window");
    const std::wstring className = ClassOf(handle);
    EXPECT_EQ(_wcsicmp(className.c_str(), ClassFor(control.kind)), 0)
        << Where(table, control.name, "window class") << ": " << Gbk(className.c_str(), className.size());

    bool containerFound = false;
    const POINT place = PlaceInContainer(window, controls, control, &containerFound);
    EXPECT_TRUE(containerFound) << Where(table, control.name, "container");
    RECT bounds{};
    GetWindowRect(handle, &bounds);
    EXPECT_EQ(place.x, control.left) << Where(table, control.name, "left in its container");
    EXPECT_EQ(place.y, control.top) << Where(table, control.name, "top in its container");
    EXPECT_EQ(bounds.right - bounds.left, control.width) << Where(table, control.name, "width");
    EXPECT_EQ(bounds.bottom - bounds.top, control.height) << Where(table, control.name, "height");

    EXPECT_TRUE(IsWindowEnabled(handle)) << Where(table, control.name, "enabled");
    EXPECT_TRUE(StyleOf(handle) & WS_CHILD) << Where(table, control.name, "child window");
    // The system's default GUI font on every control that shows text, but on the tab strip. (A picture box
    // and a slider draw no text.)
    if (control.kind != ControlKind::TabControl && control.kind != ControlKind::PictureBox &&
        control.kind != ControlKind::TrackBar) {
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(handle, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT))
            << Where(table, control.name, "default GUI font");
    }

    switch (control.kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox: CheckButtonLike(table, control, handle); break;
    case ControlKind::Label: CheckLabel(table, control, handle); break;
    case ControlKind::Edit: CheckEdit(table, control, handle); break;
    case ControlKind::DropDownList: CheckDropDown(table, control, handle); break;
    case ControlKind::TrackBar: CheckTrackBar(table, control, handle); break;
    case ControlKind::ListView: CheckListView(table, control, handle); break;
    case ControlKind::TabControl: CheckTabControl(table, control, handle); break;
    case ControlKind::PictureBox: CheckPictureBox(table, control, handle); break;
    case ControlKind::DatePicker:
        // Only its drop-down button shows: the table's size is about that of the button alone.
        EXPECT_FALSE(StyleOf(handle) & (DTS_UPDOWN | DTS_SHOWNONE)) << Where(table, control.name, "drop-down calendar");
        break;
    }
}

// Which controls show, page after page: the person clicks each tab of each tab control in turn.
void CheckPages(const WindowSpec& table, const std::map<std::string, HWND>& controls) {
    std::map<std::string, int> pages;
    for (const ControlSpec& control : table.controls) {
        if (control.kind == ControlKind::TabControl) pages[control.name] = control.selection;
    }
    auto expectShown = [&](const std::string& when) {
        for (const ControlSpec& control : table.controls) {
            auto found = controls.find(control.name);
            if (found == controls.end() || !found->second) continue;  // reported by CheckControl
            EXPECT_EQ(IsWindowVisible(found->second) != FALSE, ShownOnPages(table, control, pages))
                << Where(table, control.name, "shown") << " " << when;
        }
    };
    expectShown("when the window opens");
    for (const ControlSpec& tabs : table.controls) {
        if (tabs.kind != ControlKind::TabControl) continue;
        HWND tab = controls.count(tabs.name) ? controls.at(tabs.name) : nullptr;
        if (!tab) continue;
        // Each page once, then back to the first.
        std::vector<int> order;
        for (int page = 1; page < static_cast<int>(tabs.entries.size()); ++page) order.push_back(page);
        order.push_back(0);
        for (int page : order) {
            RECT header{};
            ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&header)))
                << Where(table, tabs.name, "tab rectangle");
            const LPARAM at = MAKELPARAM((header.left + header.right) / 2, (header.top + header.bottom) / 2);
            SendMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageW(tab, WM_LBUTTONUP, 0, at);
            Pump();
            EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), page) << Where(table, tabs.name, "chosen page after a click");
            pages[tabs.name] = page;
            expectShown("on page " + std::to_string(page) + " of " + tabs.name);
        }
    }
}

// Builds the window of `table` (owned by `owner`, as the program opens it), shows it and reads it all back.
void ReadBack(const WindowSpec& table, HWND owner) {
    runtime::Win32Form form(table);
    try {
        ASSERT_TRUE(form.Create(owner)) << table.name << ": Windows refused to create the window";
    } catch (const std::exception& error) {
        FAIL() << table.name << ": " << error.what();
    }
    form.Show();
    UpdateWindow(form.Handle());
    Pump();
    HWND window = form.Handle();

    CheckFrame(table, window);
    const std::map<std::string, HWND> controls = ChildrenByName(window);
    EXPECT_EQ(controls.size(), table.controls.size()) << Where(table, "", "number of named controls");
    for (const auto& [name, handle] : controls) {
        EXPECT_NE(FindControl(table, name), nullptr) << Where(table, name, "a control the table does not have");
    }
    for (const ControlSpec& control : table.controls) CheckControl(table, window, controls, control);
    CheckPages(table, controls);

    form.Close();
    Pump();
}

// The dialogs and the editor open over MainWindow: it is their owner here too.
class FormsReadback : public ::testing::Test {
protected:
    void SetUp() override {
        main_ = std::make_unique<runtime::Win32Form>(ui::MainWindowSpec());
        ASSERT_TRUE(main_->Create(nullptr));
    }
    void TearDown() override {
        main_->Close();
        Pump();
    }
    HWND Owner() const { return main_->Handle(); }

    std::unique_ptr<runtime::Win32Form> main_;
};

TEST(FormsReadbackMain, MainWindow) { ReadBack(ui::MainWindowSpec(), nullptr); }

TEST_F(FormsReadback, ServerEditorWindow) { ReadBack(ui::ServerEditorWindowSpec(), Owner()); }

TEST_F(FormsReadback, AudioDialog) { ReadBack(ui::AudioDialogSpec(), Owner()); }

TEST_F(FormsReadback, DevicesDialog) { ReadBack(ui::DevicesDialogSpec(), Owner()); }

TEST_F(FormsReadback, GatewayDialog) { ReadBack(ui::GatewayDialogSpec(), Owner()); }

}  // namespace
