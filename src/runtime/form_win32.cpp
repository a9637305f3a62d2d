#include "runtime/form_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <stdexcept>

#include "runtime/png_image.h"
#include "runtime/text_codec.h"

namespace runtime {
namespace {

constexpr wchar_t kPictureClass[] = L"QuillonPicture";
constexpr int kFirstControlId = 1000;
// The drop-down part of a drop-down list: Windows takes the height given at creation as the height of the
// closed box plus its open list.
constexpr int kDropDownListHeight = 200;

std::string Gbk(const std::wstring& text) { return Utf16ToGbk(std::u16string(text.begin(), text.end())); }

std::string WindowText(HWND handle) {
    int length = GetWindowTextLengthW(handle);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(handle, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return Gbk(text);
}

int Depth(const WindowSpec& design, const ControlSpec& control) {
    int depth = 0;
    for (const ControlSpec* step = &control; !step->container.empty(); ++depth) {
        auto found = std::find_if(design.controls.begin(), design.controls.end(),
                                  [&](const ControlSpec& c) { return c.name == step->container; });
        if (found == design.controls.end()) break;
        step = &*found;
    }
    return depth;
}

bool IsContainer(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::PictureBox || kind == ControlKind::TabControl;
}

void RemoveDesignerName(HWND handle) {
    ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(RemovePropW(handle, kDesignerNameProperty)));
    if (atom) GlobalDeleteAtom(atom);
}

// The font of every tab control's page names: SimSun, 12 pixels. Made on first use and kept for the program's
// life, shared by every window with a tab control (a window never deletes it when it closes).
HFONT TabFont() {
    static HFONT font = [] {
        LOGFONTW description{};
        description.lfHeight = -12;
        description.lfCharSet = GB2312_CHARSET;
        wcscpy(description.lfFaceName, L"SimSun");
        return CreateFontIndirectW(&description);
    }();
    return font;
}

// The Win32Form a control belongs to: CreateControl keeps it in the control's GWLP_USERDATA. Read from the
// window itself, so the procedures, which ask for it on every message of every control, need no round trip
// to the window server (Wine answers a window property, GetPropW, only through the server).
Win32Form* FormOfControl(HWND handle) {
    return reinterpret_cast<Win32Form*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
}

FormEventArgs MouseArgs(WPARAM wParam, LPARAM lParam) {
    FormEventArgs args;
    args.x = static_cast<short>(LOWORD(lParam));
    args.y = static_cast<short>(HIWORD(lParam));
    args.ctrl = (wParam & MK_CONTROL) != 0;
    args.shift = (wParam & MK_SHIFT) != 0;
    args.alt = GetKeyState(VK_MENU) < 0;
    return args;
}

}  // namespace

// A picture decoded once and drawn onto the dialog colour (its transparent parts show the window's face).
struct Win32Form::Picture {
    HBITMAP bitmap = nullptr;
    int width = 0, height = 0;
    ~Picture() {
        if (bitmap) DeleteObject(bitmap);
    }
};

std::shared_ptr<Win32Form::Picture> Win32Form::DecodedPicture(const runtime::Picture& source, std::string* error) {
    // Each picture the program carries is decoded once, on first use, and kept: windows open again and again.
    // Used on the user-interface thread only.
    static std::map<const runtime::Picture*, std::shared_ptr<Picture>> decoded;
    auto found = decoded.find(&source);
    if (found != decoded.end()) return found->second;
    RgbaImage image;
    if (!DecodePng(source.png, source.size, image, error)) return nullptr;
    auto picture = std::make_shared<Picture>();
    picture->width = image.width;
    picture->height = image.height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    picture->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!picture->bitmap || !bits) {
        if (error) *error = "no memory for the picture's bitmap";
        return nullptr;
    }
    // Drawn onto the dialog colour: the transparent parts show the window's face.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    const unsigned background[3] = {GetRValue(face), GetGValue(face), GetBValue(face)};
    unsigned char* out = static_cast<unsigned char*>(bits);
    for (size_t p = 0; p < image.pixels.size() / 4; ++p) {
        const unsigned char* in = &image.pixels[p * 4];
        unsigned alpha = in[3];
        for (int c = 0; c < 3; ++c) {
            unsigned value = (in[c] * alpha + background[c] * (255 - alpha) + 127) / 255;
            out[p * 4 + (2 - c)] = static_cast<unsigned char>(value);  // blue, green, red
        }
        out[p * 4 + 3] = 0;
    }
    decoded[&source] = picture;
    return picture;
}

Win32Form::Win32Form(WindowSpec design) : Form(std::move(design)) { controls_.resize(Design().controls.size()); }

Win32Form::~Win32Form() {
    if (IsOpen()) window_.Destroy();
}

bool Win32Form::Create(HWND owner) {
    if (Handle()) return false;
    InitialiseCommonControls();
    static ATOM pictureClass = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &Win32Form::PictureProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kPictureClass;
        return RegisterClassExW(&windowClass);
    }();
    if (!pictureClass) return false;

    FrameDescription frame;
    frame.name = Design().name;
    frame.caption = Design().caption;
    frame.width = Design().width;  // outer sizes, as CreateWindowEx takes them
    frame.height = Design().height;
    frame.owner = owner;
    frame.escapeCloses = true;
    if (Design().frame == Frame::None) {
        frame.style = WS_POPUP | WS_CLIPCHILDREN;
    } else {
        frame.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        if (Design().minimiseBox) frame.style |= WS_MINIMIZEBOX;
    }
    if (Design().taskbarButton) {
        frame.extendedStyle = WS_EX_APPWINDOW;
    } else if (!owner) {
        frame.extendedStyle = WS_EX_TOOLWINDOW;  // an owned window has no taskbar button anyway
    }
    if (Design().programIcon) {
        frame.icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0,
                                                   LR_DEFAULTSIZE | LR_SHARED));
    }

    WindowEvents events;
    events.moved = [this](int x, int y) {
        if (quietDepth_ > 0) return;
        FormEventArgs args;
        args.x = x;
        args.y = y;
        Fire(-1, FormEvent::Moved, args);
    };
    events.closeRequested = [this] {
        if (HasHandler(-1, FormEvent::CloseRequested)) {
            Fire(-1, FormEvent::CloseRequested);
        } else {
            Close();
        }
    };
    events.destroying = [this] {
        if (modalOwner_) EnableWindow(modalOwner_, TRUE);
        Fire(-1, FormEvent::Destroying);
    };
    events.message = [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        return OnMessage(message, wParam, lParam, result);
    };
    events.escapeInControl = [this](HWND control) {
        const int index = IndexOfHandle(control);
        if (index < 0 || ControlAt(index).kind != ControlKind::Edit || !HasHandler(index, FormEvent::EscapePressed) ||
            GetWindowTextLengthW(control) == 0)
            return false;
        Fire(index, FormEvent::EscapePressed);
        return true;
    };
    if (!window_.Create(frame, std::move(events))) return false;

    whiteBrush_ = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

    ++quietDepth_;
    try {
        for (int i = 0; i < ControlCount(); ++i) {
            if (!CreateControl(i)) {
                --quietDepth_;
                window_.Destroy();
                return false;
            }
        }
    } catch (...) {
        --quietDepth_;
        window_.Destroy();
        throw;
    }
    // Two radio buttons of one group checked in the table: the later one wins, as in ModelForm.
    for (int i = 0; i < ControlCount(); ++i) {
        if (ControlAt(i).kind == ControlKind::RadioButton && ControlAt(i).checked) CheckRadio(i);
    }
    ArrangeZOrder();
    UpdateShown();
    --quietDepth_;
    Fire(-1, FormEvent::Created);
    return true;
}

bool Win32Form::CreateControl(int index) {
    const ControlSpec& design = ControlAt(index);
    auto [x, y] = ClientPosition(Design(), design.name);
    const wchar_t* className = L"BUTTON";
    DWORD style = WS_CHILD;
    DWORD extended = 0;
    int height = design.height;
    switch (design.kind) {
    case ControlKind::Button:
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    case ControlKind::CheckBox:
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
    case ControlKind::RadioButton: {
        style |= BS_AUTORADIOBUTTON;
        // A group starts (WS_GROUP, and the tab stop) at a radio button whose group differs from that of the
        // radio button before it. A group spread among other groups' buttons still behaves: a click clears
        // the rest of its group in OnCommand, whatever Windows' own grouping did.
        int previous = index - 1;
        while (previous >= 0 && ControlAt(previous).kind != ControlKind::RadioButton) --previous;
        if (previous < 0 || ControlAt(previous).container != design.container || ControlAt(previous).page != design.page) {
            style |= WS_GROUP | WS_TABSTOP;
        }
        break;
    }
    case ControlKind::Label:
        className = L"STATIC";
        style |= SS_NOTIFY | ((design.style & kCentred) ? SS_CENTER : SS_LEFT);
        if (!(design.style & kWraps)) style |= SS_CENTERIMAGE;  // one line, centred vertically
        if (design.style & kBordered) style |= WS_BORDER;
        break;
    case ControlKind::Edit:
        className = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ((design.style & kCentred) ? ES_CENTER : ES_LEFT);
        if (design.style & kMultiline) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL;
        if (design.style & kPassword) style |= ES_PASSWORD;
        extended |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::DropDownList:
        className = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        height = design.height + kDropDownListHeight;
        break;
    case ControlKind::GroupBox:
        style |= BS_GROUPBOX | WS_CLIPSIBLINGS;
        break;
    case ControlKind::PictureBox:
        className = kPictureClass;
        style |= WS_CLIPSIBLINGS;
        break;
    case ControlKind::TrackBar:
        className = TRACKBAR_CLASSW;
        style |= WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM;
        break;
    case ControlKind::DatePicker:
        className = DATETIMEPICK_CLASSW;
        style |= WS_TABSTOP | DTS_SHORTDATEFORMAT;
        break;
    case ControlKind::ListView:
        className = WC_LISTVIEWW;
        // Owner data: the rows live in the Control record, the list view asks for the texts it shows.
        style |= WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA;
        extended |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::TabControl:
        className = WC_TABCONTROLW;
        style |= WS_TABSTOP | WS_CLIPSIBLINGS;
        break;
    }
    std::wstring caption = design.kind == ControlKind::Edit || design.kind == ControlKind::Label ||
                                   design.kind == ControlKind::Button || design.kind == ControlKind::CheckBox ||
                                   design.kind == ControlKind::RadioButton || design.kind == ControlKind::GroupBox
                               ? GbkToWide(design.caption)
                               : std::wstring();
    HWND handle = CreateWindowExW(extended, className, caption.c_str(), style, x, y, design.width, height, Handle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (!handle) return false;
    Control& control = controls_[static_cast<size_t>(index)];
    control.handle = handle;
    SetDesignerName(handle, design.name);
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));  // FormOfControl
    HFONT tabFont = TabFont();
    HFONT font = design.kind == ControlKind::TabControl && tabFont ? tabFont : window_.Font();
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    switch (design.kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        // Radio buttons: the table's checked flags; the group rule runs once all exist (Created).
        SendMessageW(handle, BM_SETCHECK, design.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case ControlKind::DropDownList:
        for (const std::string& entry : design.entries) {
            SendMessageW(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GbkToWide(entry).c_str()));
        }
        SendMessageW(handle, CB_SETCURSEL, static_cast<WPARAM>(design.selection), 0);
        // Windows sizes the closed box from the font, taller than the table's height: its selection field is
        // made shorter by the difference. Measured again after each change: Wine answers a field height 2
        // pixels above the one it was given, so one step may not be enough.
        {
            LRESULT field = SendMessageW(handle, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
            for (int attempt = 0; attempt < 4 && field != CB_ERR; ++attempt) {
                RECT box{};
                GetWindowRect(handle, &box);
                int excess = static_cast<int>(box.bottom - box.top) - design.height;
                if (excess == 0 || field - excess <= 0) break;
                field -= excess;
                SendMessageW(handle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
            }
        }
        break;
    case ControlKind::Edit:
        SendMessageW(handle, EM_SETLIMITTEXT, 0, 0);  // no length limit (Windows' default is some 32,000)
        break;
    case ControlKind::PictureBox:
        if (design.picture) {
            std::string error;
            std::shared_ptr<Picture> picture = DecodedPicture(*design.picture, &error);
            if (!picture) {
                DestroyWindow(handle);
                throw std::logic_error("window " + Design().name + ", picture box \"" + design.name + "\": " + error);
            }
            control.picture = picture.get();
            pictures_.push_back(std::move(picture));
        }
        break;
    case ControlKind::TrackBar:
        SendMessageW(handle, TBM_SETRANGEMIN, FALSE, design.rangeMin);
        SendMessageW(handle, TBM_SETRANGEMAX, FALSE, design.rangeMax);
        SendMessageW(handle, TBM_SETTICFREQ, 1, 0);
        SendMessageW(handle, TBM_SETPOS, TRUE, design.position);
        control.lastPosition = design.position;
        break;
    case ControlKind::ListView: {
        SendMessageW(handle, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                     LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        for (size_t c = 0; c < design.columns.size(); ++c) {
            const ListColumn& column = design.columns[c];
            std::wstring header = GbkToWide(column.header);
            LVCOLUMNW item{};
            item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
            item.fmt = column.alignment == Alignment::Right    ? LVCFMT_RIGHT
                       : column.alignment == Alignment::Centre ? LVCFMT_CENTER
                                                               : LVCFMT_LEFT;
            item.cx = column.width;
            item.pszText = header.data();
            item.iSubItem = static_cast<int>(c);
            SendMessageW(handle, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&item));
        }
        // Rows of a source bound before the window was made.
        if (const ListSource* source = SourceOf(index)) {
            SendMessageW(handle, LVM_SETITEMCOUNT, static_cast<WPARAM>(source->RowCount()), LVSICF_NOSCROLL);
        }
        break;
    }
    case ControlKind::TabControl:
        for (size_t page = 0; page < design.entries.size(); ++page) {
            std::wstring text = GbkToWide(design.entries[page]);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text.data();
            SendMessageW(handle, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
        }
        SendMessageW(handle, TCM_SETCURSEL, static_cast<WPARAM>(design.selection), 0);
        break;
    default:
        break;
    }
    if (design.kind != ControlKind::PictureBox) {
        control.previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Form::ControlProcedure)));
    }
    return true;
}

void Win32Form::ArrangeZOrder() {
    // Containers go below everything, the outermost lowest, so that each lies below what it holds.
    std::vector<int> containers;
    for (int i = 0; i < ControlCount(); ++i) {
        if (IsContainer(ControlAt(i).kind)) containers.push_back(i);
    }
    std::stable_sort(containers.begin(), containers.end(), [&](int a, int b) {
        return Depth(Design(), ControlAt(a)) > Depth(Design(), ControlAt(b));
    });
    for (int index : containers) {
        SetWindowPos(controls_[static_cast<size_t>(index)].handle, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void Win32Form::Show() {
    if (Handle()) ShowWindow(Handle(), SW_SHOW);
}

void Win32Form::ShowModal(HWND owner) {
    if (!IsOpen() && !Create(owner)) return;
    modalOwner_ = owner;
    if (owner) EnableWindow(owner, FALSE);
    Show();
    SetActiveWindow(Handle());
    bool quit = false;
    WPARAM quitCode = 0;
    MSG message;
    while (IsOpen()) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = message.wParam;
            break;
        }
        if (got < 0) break;
        if (PreTranslateWindowMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    Close();
    if (owner) EnableWindow(owner, TRUE);
    modalOwner_ = nullptr;
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

HWND Win32Form::ControlHandle(const std::string& control) const {
    return controls_[static_cast<size_t>(IndexOf(control, "ControlHandle"))].handle;
}

int Win32Form::IndexOfHandle(HWND handle) const {
    if (!handle) return -1;
    for (size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].handle == handle) return static_cast<int>(i);
    }
    return -1;
}

// --- Messages ----------------------------------------------------------------------------------------------

bool Win32Form::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_COMMAND: {
        int index = IndexOfHandle(reinterpret_cast<HWND>(lParam));
        if (index < 0) return false;
        *result = 0;
        return OnCommand(index, HIWORD(wParam));
    }
    case WM_NOTIFY: {
        NMHDR& header = *reinterpret_cast<NMHDR*>(lParam);
        int index = IndexOfHandle(header.hwndFrom);
        if (index < 0) return false;
        return OnNotify(index, header, result);
    }
    case WM_HSCROLL: {
        int index = IndexOfHandle(reinterpret_cast<HWND>(lParam));
        if (index < 0 || ControlAt(index).kind != ControlKind::TrackBar) return false;
        Control& control = controls_[static_cast<size_t>(index)];
        int position = static_cast<int>(SendMessageW(control.handle, TBM_GETPOS, 0, 0));
        if (position != control.lastPosition) {
            control.lastPosition = position;
            if (quietDepth_ == 0) Fire(index, FormEvent::PositionChanged);
        }
        *result = 0;
        return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        int index = IndexOfHandle(reinterpret_cast<HWND>(lParam));
        if (index < 0 || !(ControlAt(index).style & kWhiteBackground)) return false;
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        *result = reinterpret_cast<LRESULT>(whiteBrush_);
        return true;
    }
    case WM_LBUTTONDOWN:
        Fire(-1, FormEvent::MouseDown, MouseArgs(wParam, lParam));
        return false;
    // The keyboard focus stays with its control while the window is away: it is remembered when the window
    // loses the activation and handed back when the window gets the focus again (on activation the window
    // itself is given the focus first). SetFocus sets what is remembered, so a focus given before the window
    // shows lands when it shows.
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = GetFocus();
            if (focused && IsChild(Handle(), focused)) focus_ = focused;
        }
        return false;
    case WM_SETFOCUS:
        if (focus_ && IsWindow(focus_) && IsChild(Handle(), focus_) && IsWindowVisible(focus_) &&
            IsWindowEnabled(focus_)) {
            ::SetFocus(focus_);
            *result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool Win32Form::OnCommand(int index, int code) {
    if (quietDepth_ > 0) return false;
    switch (ControlAt(index).kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
        if (code == BN_CLICKED) Fire(index, FormEvent::Click);
        return true;
    case ControlKind::RadioButton:
        if (code == BN_CLICKED) {
            // Windows' own grouping may not match the table's (a group spread among others): the table wins.
            if (DoChecked(index)) CheckRadio(index);
            Fire(index, FormEvent::Click);
        }
        return true;
    case ControlKind::Label:
        if (code == STN_CLICKED) Fire(index, FormEvent::Click);
        if (code == STN_DBLCLK) Fire(index, FormEvent::DoubleClick);
        return true;
    case ControlKind::DropDownList:
        if (code == CBN_SELCHANGE) Fire(index, FormEvent::SelectionChanged);
        return true;
    case ControlKind::Edit:
        if (code == EN_CHANGE) Fire(index, FormEvent::TextChanged);
        return true;
    default:
        return false;
    }
}

bool Win32Form::OnNotify(int index, NMHDR& header, LRESULT* result) {
    *result = 0;
    switch (ControlAt(index).kind) {
    case ControlKind::ListView: {
        // What the list view asks for its rows is answered at any time, also while the program changes them:
        // the texts it draws (and those another program reads through it), and the row a typed prefix finds.
        if (header.code == LVN_GETDISPINFOW) {
            AnswerCellText(index, header);
            return true;
        }
        if (header.code == LVN_ODFINDITEMW) {
            *result = FindRow(index, header);
            return true;
        }
        if (header.code == NM_CUSTOMDRAW) {
            *result = DrawRow(index, reinterpret_cast<NMLVCUSTOMDRAW&>(header));
            return true;
        }
        if (quietDepth_ > 0) return false;
        FormEventArgs args;
        switch (header.code) {
        case NM_CLICK:
        case NM_DBLCLK:
        case NM_RCLICK: {
            const NMITEMACTIVATE& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            args.row = activate.iItem;
            if (args.row < 0) {  // some versions leave the row out: find it under the click
                LVHITTESTINFO hit{};
                hit.pt = activate.ptAction;
                args.row = static_cast<int>(
                    SendMessageW(header.hwndFrom, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            }
            if (header.code == NM_CLICK) Fire(index, FormEvent::Click, args);
            if (header.code == NM_DBLCLK) Fire(index, FormEvent::DoubleClick, args);
            if (header.code == NM_RCLICK) Fire(index, FormEvent::RowRightClick, args);
            return true;
        }
        case LVN_COLUMNCLICK:
            args.column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
            Fire(index, FormEvent::ColumnClick, args);
            return true;
        case LVN_ITEMCHANGED: {
            // A row newly selected. (Item -1 is every row at once, which single selection only ever clears.)
            const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (change.iItem >= 0 && (change.uChanged & LVIF_STATE) &&
                ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) && (change.uNewState & LVIS_SELECTED)) {
                args.row = change.iItem;
                Fire(index, FormEvent::SelectionChanged, args);
            }
            return true;
        }
        case LVN_ODSTATECHANGED: {
            // An owner-data list may report a range of rows changing state at once; with single selection a
            // range newly selected is one row, its first.
            const NMLVODSTATECHANGE& change = reinterpret_cast<const NMLVODSTATECHANGE&>(header);
            if (change.iFrom >= 0 && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) &&
                (change.uNewState & LVIS_SELECTED)) {
                args.row = change.iFrom;
                Fire(index, FormEvent::SelectionChanged, args);
            }
            return true;
        }
        default:
            return false;
        }
    }
    case ControlKind::TabControl:
        if (header.code == TCN_SELCHANGE) {
            UpdateShown();
            if (quietDepth_ == 0) Fire(index, FormEvent::SelectionChanged);
            return true;
        }
        return false;
    case ControlKind::DatePicker:
        if (header.code == DTN_DATETIMECHANGE && quietDepth_ == 0) {
            const NMDATETIMECHANGE& change = reinterpret_cast<const NMDATETIMECHANGE&>(header);
            if (change.dwFlags == GDT_VALID) {
                FormEventArgs args;
                args.year = change.st.wYear;
                args.month = change.st.wMonth;
                args.day = change.st.wDay;
                Fire(index, FormEvent::DateChosen, args);
            }
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool Win32Form::RefuseHeaderChange(int index, const NMHDR& header) const {
    const NMHEADERW& notice = reinterpret_cast<const NMHEADERW&>(header);
    const std::vector<ListColumn>& columns = ControlAt(index).columns;
    if (notice.iItem < 0 || notice.iItem >= static_cast<int>(columns.size())) return false;
    if (columns[static_cast<size_t>(notice.iItem)].width != 0) return false;
    switch (header.code) {
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA:
        return true;
    case HDN_ITEMCHANGINGW:
    case HDN_ITEMCHANGINGA:
        return notice.pitem && (notice.pitem->mask & HDI_WIDTH) && notice.pitem->cxy != 0;
    default:
        return false;
    }
}

LRESULT CALLBACK Win32Form::ControlProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return CatchHandlerFailure(handle, 0, [&] { return ControlMessage(handle, message, wParam, lParam); });
}

LRESULT Win32Form::ControlMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Form* form = FormOfControl(handle);
    int index = form ? form->IndexOfHandle(handle) : -1;
    if (index < 0) return DefWindowProcW(handle, message, wParam, lParam);
    WNDPROC previous = form->controls_[static_cast<size_t>(index)].previous;
    switch (message) {
    case WM_LBUTTONDOWN:
        form->Fire(index, FormEvent::MouseDown, MouseArgs(wParam, lParam));
        if (!IsWindow(handle)) return 0;  // the handler closed the window
        break;
    case WM_ERASEBKGND:
        // A group box paints only its frame and caption, and the window clips its children: the box's inside
        // would stay unpainted. It lies below its members (ArrangeZOrder) and clips them, so filling it is safe.
        if (form->ControlAt(index).kind == ControlKind::GroupBox) {
            RECT client{};
            GetClientRect(handle, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        break;
    case WM_NOTIFY:
        // The list view's header reports to the list view itself: a hidden column is never opened.
        if (form->ControlAt(index).kind == ControlKind::ListView &&
            form->RefuseHeaderChange(index, *reinterpret_cast<const NMHDR*>(lParam))) {
            return TRUE;
        }
        break;
    case WM_NCDESTROY:
        RemoveDesignerName(handle);
        SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        form->controls_[static_cast<size_t>(index)].handle = nullptr;
        break;
    default:
        break;
    }
    return CallWindowProcW(previous, handle, message, wParam, lParam);
}

void Win32Form::PaintPicture(HWND handle, HDC dc, const Picture* picture) {
    RECT client{};
    GetClientRect(handle, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (!picture || !picture->bitmap) return;
    // Natural size from the top-left corner, never scaled; what does not fit the box is cut off.
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture->bitmap);
    BitBlt(dc, 0, 0, std::min<int>(picture->width, client.right), std::min<int>(picture->height, client.bottom),
           source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

LRESULT CALLBACK Win32Form::PictureProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return CatchHandlerFailure(handle, 0, [&] { return PictureMessage(handle, message, wParam, lParam); });
}

LRESULT Win32Form::PictureMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Form* form = FormOfControl(handle);
    int index = form ? form->IndexOfHandle(handle) : -1;
    const Picture* picture = index >= 0 ? form->controls_[static_cast<size_t>(index)].picture : nullptr;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(handle, &paint);
        PaintPicture(handle, dc, picture);
        EndPaint(handle, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintPicture(handle, reinterpret_cast<HDC>(wParam), picture);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills the whole box
    case WM_LBUTTONDOWN:
        if (index >= 0) form->Fire(index, FormEvent::MouseDown, MouseArgs(wParam, lParam));
        return 0;
    case WM_LBUTTONUP:
        // The button coming up after a double-click ends that double-click: no second Click.
        if (index >= 0 && !form->controls_[static_cast<size_t>(index)].afterDoubleClick) form->Fire(index, FormEvent::Click);
        if (index >= 0 && form->IndexOfHandle(handle) == index) form->controls_[static_cast<size_t>(index)].afterDoubleClick = false;
        return 0;
    case WM_LBUTTONDBLCLK:
        if (index >= 0) {
            form->controls_[static_cast<size_t>(index)].afterDoubleClick = true;
            form->Fire(index, FormEvent::DoubleClick);
        }
        return 0;
    case WM_NCDESTROY:
        RemoveDesignerName(handle);
        if (index >= 0) form->controls_[static_cast<size_t>(index)].handle = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

void Win32Form::UpdateShown() {
    ++quietDepth_;
    for (int i = 0; i < ControlCount(); ++i) {
        HWND handle = controls_[static_cast<size_t>(i)].handle;
        if (!handle) continue;
        bool shown = Shown(ControlAt(i).name);
        bool showing = (GetWindowLongW(handle, GWL_STYLE) & WS_VISIBLE) != 0;  // its own flag, whatever the window's
        if (shown != showing) {
            ShowWindow(handle, shown ? SW_SHOWNA : SW_HIDE);
        }
    }
    --quietDepth_;
}

// --- Control states ----------------------------------------------------------------------------------------

namespace {
HWND Need(HWND handle) {
    if (!handle) throw std::logic_error("the window is closed: its controls are gone");
    return handle;
}
}  // namespace

std::string Win32Form::DoText(int index) const { return WindowText(Need(controls_[index].handle)); }

void Win32Form::DoSetText(int index, const std::string& text) {
    ++quietDepth_;  // an edit box reports the change (EN_CHANGE): not the person's
    SetWindowTextW(Need(controls_[index].handle), GbkToWide(text).c_str());
    --quietDepth_;
}

bool Win32Form::DoTextFitsGbk(int index) const {
    HWND handle = Need(controls_[index].handle);
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(handle)) + 1, u'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(handle, reinterpret_cast<wchar_t*>(text.data()),
                                                   static_cast<int>(text.size()))));
    std::string gbk;
    return Utf16ToGbkExact(text, gbk);
}

bool Win32Form::DoChecked(int index) const {
    return SendMessageW(Need(controls_[index].handle), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Form::DoSetChecked(int index, bool checked) {
    SendMessageW(Need(controls_[index].handle), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int Win32Form::DoSelection(int index) const {
    LRESULT selection = SendMessageW(Need(controls_[index].handle), CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void Win32Form::DoSetSelection(int index, int selection) {
    SendMessageW(Need(controls_[index].handle), CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

std::vector<std::string> Win32Form::DoEntries(int index) const {
    HWND handle = Need(controls_[index].handle);
    int count = static_cast<int>(SendMessageW(handle, CB_GETCOUNT, 0, 0));
    std::vector<std::string> entries;
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(handle, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        LRESULT copied = SendMessageW(handle, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
        entries.push_back(Gbk(text));
    }
    return entries;
}

void Win32Form::DoSetEntries(int index, const std::vector<std::string>& entries) {
    HWND handle = Need(controls_[index].handle);
    SendMessageW(handle, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries) {
        SendMessageW(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GbkToWide(entry).c_str()));
    }
    SendMessageW(handle, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

std::pair<int, int> Win32Form::DoTrackRange(int index) const {
    HWND handle = Need(controls_[index].handle);
    return {static_cast<int>(SendMessageW(handle, TBM_GETRANGEMIN, 0, 0)),
            static_cast<int>(SendMessageW(handle, TBM_GETRANGEMAX, 0, 0))};
}

void Win32Form::DoSetTrackRange(int index, int minimum, int maximum) {
    HWND handle = Need(controls_[index].handle);
    SendMessageW(handle, TBM_SETRANGEMIN, FALSE, minimum);
    SendMessageW(handle, TBM_SETRANGEMAX, TRUE, maximum);
    SendMessageW(handle, TBM_SETTICFREQ, 1, 0);
}

int Win32Form::DoTrackPosition(int index) const {
    return static_cast<int>(SendMessageW(Need(controls_[index].handle), TBM_GETPOS, 0, 0));
}

void Win32Form::DoSetTrackPosition(int index, int position) {
    SendMessageW(Need(controls_[index].handle), TBM_SETPOS, TRUE, position);
    controls_[index].lastPosition = position;
}

bool Win32Form::DoEnabled(int index) const { return IsWindowEnabled(Need(controls_[index].handle)) != FALSE; }

void Win32Form::DoSetEnabled(int index, bool enabled) { EnableWindow(Need(controls_[index].handle), enabled); }

bool Win32Form::DoVisible(int index) const { return controls_[index].visible; }

void Win32Form::DoSetVisible(int index, bool visible) { controls_[index].visible = visible; }

int Win32Form::DoListColumnWidth(int index, int column) const {
    return static_cast<int>(SendMessageW(Need(controls_[index].handle), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void Win32Form::DoSetListColumnWidth(int index, int column, int width) {
    SendMessageW(Need(controls_[index].handle), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void Win32Form::DoListClear(int index) {
    HWND handle = Need(controls_[index].handle);
    controls_[index].rows.clear();
    // Emptying the list view also clears its selection and focus, and it is repainted.
    ++quietDepth_;
    SendMessageW(handle, LVM_DELETEALLITEMS, 0, 0);
    --quietDepth_;
}

int Win32Form::DoListAddRow(int index, const std::vector<std::string>& cells) {
    std::vector<ListRow>& rows = controls_[index].rows;
    const size_t oldCount = rows.size();
    rows.push_back({cells, 0});
    UpdateRowCount(index, oldCount);
    return static_cast<int>(oldCount);
}

void Win32Form::DoSetListRows(int index, const std::vector<ListRow>& rows) {
    DoListClear(index);  // the selection goes, and the list starts again from its top
    controls_[index].rows = rows;
    UpdateRowCount(index, 0);
}

void Win32Form::DoListAppendRows(int index, const std::vector<ListRow>& rows) {
    std::vector<ListRow>& held = controls_[index].rows;
    const size_t oldCount = held.size();
    held.insert(held.end(), rows.begin(), rows.end());
    UpdateRowCount(index, oldCount);
}

void Win32Form::UpdateRowCount(int index, size_t oldCount) {
    HWND handle = Need(controls_[index].handle);
    std::vector<ListRow>& rows = controls_[index].rows;
    // The list view repaints only the rows that came or went where they are in view (none when they are
    // below the last visible one: then only its scroll bar changes), keeps its scroll position, and keeps
    // its selection. A long list handed over in parts is thus painted once for the rows in view.
    ++quietDepth_;
    const LRESULT taken = SendMessageW(handle, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows.size()),
                                       LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    --quietDepth_;
    if (!taken) {
        const size_t refused = rows.size();
        rows.resize(oldCount);
        throw std::runtime_error("window " + Design().name + ": the list refused to hold " + std::to_string(refused) +
                                 " rows");
    }
}

void Win32Form::AnswerCellText(int index, NMHDR& request) {
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(request).item;
    if (!(item.mask & LVIF_TEXT)) return;
    Control& control = controls_[static_cast<size_t>(index)];
    control.cellText.clear();
    if (const ListSource* source = SourceOf(index)) {
        if (item.iItem >= 0 && item.iItem < source->RowCount() && item.iSubItem >= 0 &&
            static_cast<size_t>(item.iSubItem) < ControlAt(index).columns.size()) {
            control.cellText = GbkToWide(source->CellText(item.iItem, item.iSubItem));
        }
    } else if (item.iItem >= 0 && static_cast<size_t>(item.iItem) < control.rows.size()) {
        const std::vector<std::string>& cells = control.rows[static_cast<size_t>(item.iItem)].cells;
        if (item.iSubItem >= 0 && static_cast<size_t>(item.iSubItem) < cells.size()) {
            control.cellText = GbkToWide(cells[static_cast<size_t>(item.iSubItem)]);
        }
    }
    // Into the asker's buffer when it gives one (cut to fit), else the list view reads it from here.
    if (item.pszText && item.pszText != LPSTR_TEXTCALLBACKW && item.cchTextMax > 0) {
        size_t length = std::min(control.cellText.size(), static_cast<size_t>(item.cchTextMax) - 1);
        std::copy_n(control.cellText.c_str(), length, item.pszText);
        item.pszText[length] = L'\0';
    } else {
        item.pszText = control.cellText.data();
    }
}

int Win32Form::FindRow(int index, const NMHDR& request) const {
    const NMLVFINDITEMW& find = reinterpret_cast<const NMLVFINDITEMW&>(request);
    // Typing in the list finds the next row one of whose search columns (the table's findColumns) starts with
    // what was typed (FindListRow), as an ordinary list view does; only searches by text are answered.
    const LVFINDINFOW& what = find.lvfi;
    if (!(what.flags & (LVFI_STRING | LVFI_PARTIAL)) || !what.psz) return -1;
    const std::wstring wanted = what.psz;
    const std::string typed = Utf16ToGbk(std::u16string(wanted.begin(), wanted.end()));
    const bool wrap = (what.flags & LVFI_WRAP) != 0;
    if (const ListSource* source = SourceOf(index)) {
        const int columns = static_cast<int>(ControlAt(index).columns.size());
        return FindListRow(
            source->RowCount(),
            [source, columns](int row, int column) -> std::string_view {
                return column >= 0 && column < columns ? std::string_view(source->CellText(row, column))
                                                       : std::string_view();
            },
            typed, find.iStart, wrap, ControlAt(index).findColumns);
    }
    return FindListRow(controls_[static_cast<size_t>(index)].rows, typed, find.iStart, wrap,
                       ControlAt(index).findColumns);
}

LRESULT Win32Form::DrawRow(int index, NMLVCUSTOMDRAW& draw) const {
    // Each row in its own text colour, worked out when the rows were set: here it is only looked up. A
    // selected row keeps the system's selection colours.
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const std::vector<ListRow>& rows = controls_[static_cast<size_t>(index)].rows;
    const size_t row = static_cast<size_t>(draw.nmcd.dwItemSpec);
    const ListSource* source = SourceOf(index);
    std::int32_t colour = kListColour;
    if (source) {
        if (row < static_cast<size_t>(source->RowCount())) colour = source->RowColour(static_cast<int>(row));
    } else if (row < rows.size()) {
        colour = rows[row].textColour;
    }
    if (colour == kListColour) return CDRF_DODEFAULT;
    const UINT state = static_cast<UINT>(SendMessageW(draw.nmcd.hdr.hwndFrom, LVM_GETITEMSTATE, row, LVIS_SELECTED));
    if (state & LVIS_SELECTED) return CDRF_DODEFAULT;
    draw.clrText = static_cast<COLORREF>(colour);
    return CDRF_NEWFONT;
}

void Win32Form::DoListShowRow(int index, int row) {
    SendMessageW(Need(controls_[index].handle), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

DateTimeValue Win32Form::DoDateValue(int index) const {
    SYSTEMTIME time{};
    if (SendMessageW(Need(controls_[index].handle), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID) {
        GetLocalTime(&time);
    }
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

void Win32Form::DoSetDateValue(int index, const DateTimeValue& value) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(value.year);
    time.wMonth = static_cast<WORD>(value.month);
    time.wDay = static_cast<WORD>(value.day);
    time.wHour = static_cast<WORD>(value.hour);
    time.wMinute = static_cast<WORD>(value.minute);
    time.wSecond = static_cast<WORD>(value.second);
    ++quietDepth_;
    SendMessageW(Need(controls_[index].handle), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    --quietDepth_;
}

void Win32Form::DoSetFocus(int index) {
    focus_ = Need(controls_[index].handle);
    ::SetFocus(focus_);
}

int Win32Form::DoListRowCount(int index) const {
    if (const ListSource* source = SourceOf(index)) return source->RowCount();
    return static_cast<int>(controls_[index].rows.size());
}

std::string Win32Form::DoListCell(int index, int row, int column) const {
    if (const ListSource* source = SourceOf(index)) return source->CellText(row, column);
    return controls_[index].rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
}

void Win32Form::DoListSourceChanged(int index) {
    HWND handle = Need(controls_[index].handle);
    const ListSource* source = SourceOf(index);
    const int count = source ? source->RowCount() : static_cast<int>(controls_[index].rows.size());
    // Every row may be another now: the list takes the new count where it is scrolled (the selection is set
    // by the caller) and draws what is in view again.
    ++quietDepth_;
    const LRESULT taken = SendMessageW(handle, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOSCROLL);
    --quietDepth_;
    if (!taken) {
        throw std::runtime_error("window " + Design().name + ": the list refused to hold " + std::to_string(count) +
                                 " rows");
    }
    // Fewer rows than it was scrolled past: back to the last page, not an empty one.
    if (count > 0 && SendMessageW(handle, LVM_GETTOPINDEX, 0, 0) >= count) {
        SendMessageW(handle, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE);
    }
    InvalidateRect(handle, nullptr, FALSE);
}

namespace {

// Redraws row `row` of an owner-data list when it is on screen; a row scrolled away is drawn from the rows
// when it comes into view. (Redrawing an unseen row still costs a trip through the window system: across a
// whole list of servers that is most of a second under Wine.)
void RedrawListRow(HWND list, int row) {
    const int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const int page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    if (row < top || row > top + page) return;  // the row after a full page may show in part
    SendMessageW(list, LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
}

}  // namespace

void Win32Form::DoRedrawListRow(int index, int row) { RedrawListRow(Need(controls_[index].handle), row); }

void Win32Form::DoRedrawList(int index) { InvalidateRect(Need(controls_[index].handle), nullptr, FALSE); }

void Win32Form::DoSetListCell(int index, int row, int column, const std::string& text) {
    controls_[index].rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)] = text;
    RedrawListRow(Need(controls_[index].handle), row);
}

std::vector<ListRow> Win32Form::DoListRows(int index) const { return controls_[index].rows; }

int Win32Form::DoListSelectedRow(int index) const {
    return static_cast<int>(
        SendMessageW(Need(controls_[index].handle), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void Win32Form::DoSetListSelectedRow(int index, int row) {
    HWND handle = Need(controls_[index].handle);
    ++quietDepth_;
    // With single selection at most one row is selected and one has the focus: only those are cleared
    // (clearing all rows at once, item -1, visits every row of a long owner-data list).
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    for (UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
        LRESULT current = SendMessageW(handle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), which);
        if (current >= 0 && current != row) {
            SendMessageW(handle, LVM_SETITEMSTATE, static_cast<WPARAM>(current), reinterpret_cast<LPARAM>(&state));
        }
    }
    if (row >= 0) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(handle, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
        SendMessageW(handle, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }
    --quietDepth_;
}

std::int64_t Win32Form::DoListRowValue(int index, int row) const {
    return controls_[index].rows[static_cast<size_t>(row)].value;
}

void Win32Form::DoSetListRowValue(int index, int row, std::int64_t value) {
    controls_[index].rows[static_cast<size_t>(row)].value = value;
}

std::int32_t Win32Form::DoListRowColour(int index, int row) const {
    return controls_[index].rows[static_cast<size_t>(row)].textColour;
}

void Win32Form::DoSetListRowColour(int index, int row, std::int32_t colour) {
    ListRow& target = controls_[index].rows[static_cast<size_t>(row)];
    if (target.textColour == colour) return;
    target.textColour = colour;
    RedrawListRow(Need(controls_[index].handle), row);
}

int Win32Form::DoTabPage(int index) const {
    return static_cast<int>(SendMessageW(Need(controls_[index].handle), TCM_GETCURSEL, 0, 0));
}

void Win32Form::DoSetTabPage(int index, int page) {
    SendMessageW(Need(controls_[index].handle), TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
}

int Win32Form::DoShowMenu(int menuIndex, const std::vector<int>& disabled) {
    const MenuSpec& design = Design().menus[static_cast<size_t>(menuIndex)];
    HMENU menu = CreatePopupMenu();
    if (!menu) return -1;
    for (size_t i = 0; i < design.items.size(); ++i) {
        if (design.items[i].empty()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            const bool greyed = std::find(disabled.begin(), disabled.end(), static_cast<int>(i)) != disabled.end();
            AppendMenuW(menu, MF_STRING | (greyed ? MF_GRAYED : 0), i + 1, GbkToWide(design.items[i]).c_str());
        }
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(Handle());  // so that a click elsewhere dismisses the menu
    int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, cursor.x,
                                                 cursor.y, 0, Handle(), nullptr));
    PostMessageW(Handle(), WM_NULL, 0, 0);
    DestroyMenu(menu);
    return chosen - 1;
}

// --- The window --------------------------------------------------------------------------------------------

namespace {
RECT Bounds(HWND handle) {
    RECT bounds{};
    if (handle) GetWindowRect(handle, &bounds);
    return bounds;
}
}  // namespace

std::string Win32Form::Caption() const { return Handle() ? WindowText(Handle()) : Design().caption; }

void Win32Form::SetCaption(const std::string& caption) {
    if (Handle()) SetWindowTextW(Handle(), GbkToWide(caption).c_str());
}

int Win32Form::Left() const { return Bounds(Handle()).left; }
int Win32Form::Top() const { return Bounds(Handle()).top; }
int Win32Form::Width() const {
    RECT bounds = Bounds(Handle());
    return bounds.right - bounds.left;
}
int Win32Form::Height() const {
    RECT bounds = Bounds(Handle());
    return bounds.bottom - bounds.top;
}

void Win32Form::MoveTo(int left, int top) {
    if (!Handle()) return;
    ++quietDepth_;
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    --quietDepth_;
}

bool Win32Form::WindowVisible() const { return Handle() && IsWindowVisible(Handle()); }

void Win32Form::SetWindowVisible(bool visible) {
    if (Handle()) ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
}

bool Win32Form::WindowEnabled() const { return Handle() && IsWindowEnabled(Handle()); }

void Win32Form::SetWindowEnabled(bool enabled) {
    if (Handle()) EnableWindow(Handle(), enabled);
}

bool Win32Form::Minimised() const { return Handle() && IsIconic(Handle()); }

void Win32Form::SetMinimised(bool minimised) {
    if (Handle()) ShowWindow(Handle(), minimised ? SW_MINIMIZE : SW_RESTORE);
}

void Win32Form::Close() {
    if (!IsOpen()) return;
    // The owner first, so that Windows hands it the activation when this window goes.
    if (modalOwner_) EnableWindow(modalOwner_, TRUE);
    window_.Destroy();
}

bool Win32Form::IsOpen() const { return Handle() && IsWindow(Handle()); }

void Win32Dialogs::ShowModal(const WindowSpec& design, Form& owner, const FormBinder& bind) {
    Win32Form* ownerWindow = dynamic_cast<Win32Form*>(&owner);
    HWND ownerHandle = ownerWindow && ownerWindow->Handle() ? ownerWindow->Handle()
                       : fallbackOwner_                     ? fallbackOwner_()
                                                            : nullptr;
    Win32Form window(design);
    if (bind) bind(window);
    window.ShowModal(ownerHandle);
}

MessageAnswer Win32Dialogs::ShowMessage(const Message& message) {
    UINT type = MB_TASKMODAL | (message.buttons == MessageButtons::OkCancel ? MB_OKCANCEL : MB_OK);
    switch (message.icon) {
    case MessageIcon::Error: type |= MB_ICONERROR; break;
    case MessageIcon::Warning: type |= MB_ICONWARNING; break;
    case MessageIcon::Information: type |= MB_ICONINFORMATION; break;
    case MessageIcon::None: break;
    }
    std::wstring title = GbkToWide(message.title.empty() ? std::string("信息：") : message.title);
    // Owned by the window the person is working in (this thread's active window: the editor for its own
    // messages), else by the window these dialogs serve, so that the box never opens behind them.
    HWND owner = GetActiveWindow();
    if (!owner) owner = fallbackOwner_ ? fallbackOwner_() : nullptr;
    int answer = MessageBoxW(owner, GbkToWide(message.text).c_str(), title.c_str(), type);
    return answer == IDOK ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

}  // namespace runtime
