// The window runtime with real Win32 controls, in this process: a sample window with every kind of control is
// built from its table and checked through Win32 itself (class names, styles, positions, properties, pixels),
// the way the test driver and a person see it. Clicks and keys are sent as the messages Windows would send.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <png.h>

#include <atomic>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/form_win32.h"
#include "ui/forms.h"
#include "runtime/text_codec.h"
#include "wine/driver/driver.h"

namespace runtime {
namespace {

// The sample picture: 20 x 10 pixels, each a colour that tells its own coordinates (red = 10 x, green =
// 20 y, blue 128), so that a shifted, scaled or turned picture shows.
COLORREF SamplePixel(int x, int y) { return RGB(x * 10, y * 20, 128); }

std::vector<unsigned char> SamplePng() {
    std::vector<unsigned char> rgba;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            COLORREF colour = SamplePixel(x, y);
            rgba.insert(rgba.end(), {GetRValue(colour), GetGValue(colour), GetBValue(colour), 255});
        }
    }
    png_image writer;
    std::memset(&writer, 0, sizeof writer);
    writer.version = PNG_IMAGE_VERSION;
    writer.width = 20;
    writer.height = 10;
    writer.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&writer, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<unsigned char> bytes(size);
    if (!png_image_write_to_memory(&writer, bytes.data(), &size, 0, rgba.data(), 0, nullptr)) bytes.clear();
    bytes.resize(size);
    return bytes;
}

const std::vector<unsigned char>& SampleBytes() {
    static const std::vector<unsigned char> bytes = SamplePng();
    return bytes;
}

const Picture& SamplePicture() {
    static const Picture picture{SampleBytes().data(), SampleBytes().size(), 20, 10};
    return picture;
}

ControlSpec Control(const std::string& name, ControlKind kind, int left, int top, int width, int height,
                    const std::string& container = "", int page = -1) {
    ControlSpec control;
    control.name = name;
    control.kind = kind;
    control.left = left;
    control.top = top;
    control.width = width;
    control.height = height;
    control.container = container;
    control.page = page;
    return control;
}

// Every kind of control; a radio group spread over three rows with other controls (and another radio group)
// between its members; a group box and
// a picture box that hold controls; a tab control whose pages hold a radio group each and a group box.
WindowSpec SampleWindow() {
    WindowSpec design;
    design.name = "SampleWindow";
    design.caption = "样例窗口";
    design.width = 640;
    design.height = 480;
    design.frame = Frame::FixedSingle;
    design.programIcon = false;

    auto banner = Control("图片框1", ControlKind::PictureBox, 0, 0, 12, 6);  // smaller than its 20 x 10 picture
    banner.picture = &SamplePicture();
    design.controls.push_back(banner);
    auto red = Control("红", ControlKind::RadioButton, 10, 20, 60, 20);
    red.caption = "红";
    red.checked = true;
    design.controls.push_back(red);
    auto label = Control("标签1", ControlKind::Label, 80, 20, 100, 20);
    label.caption = "颜色";
    label.style = kCentred | kWhiteBackground;
    design.controls.push_back(label);
    design.controls.push_back(Control("绿", ControlKind::RadioButton, 10, 45, 60, 20));
    design.controls.push_back(Control("复选框1", ControlKind::CheckBox, 80, 45, 100, 20));
    // The group box and its own radio group stand in the table between 绿 and 蓝.
    auto box = Control("分组框1", ControlKind::GroupBox, 200, 20, 180, 90);
    box.caption = "大小";
    design.controls.push_back(box);
    auto small = Control("小", ControlKind::RadioButton, 8, 16, 60, 20, "分组框1");
    small.checked = true;
    design.controls.push_back(small);
    design.controls.push_back(Control("大", ControlKind::RadioButton, 8, 40, 60, 20, "分组框1"));

    design.controls.push_back(Control("蓝", ControlKind::RadioButton, 10, 70, 60, 20));

    auto holder = Control("图片框2", ControlKind::PictureBox, 400, 20, 100, 60);
    holder.picture = &SamplePicture();
    design.controls.push_back(holder);
    design.controls.push_back(Control("按钮3", ControlKind::Button, 30, 25, 60, 24, "图片框2"));

    auto tabs = Control("选项卡1", ControlKind::TabControl, 10, 120, 380, 150);
    tabs.entries = {"常规", "显示"};
    design.controls.push_back(tabs);
    auto first = Control("甲", ControlKind::RadioButton, 10, 30, 60, 20, "选项卡1", 0);
    first.checked = true;
    design.controls.push_back(first);
    design.controls.push_back(Control("乙", ControlKind::RadioButton, 10, 55, 60, 20, "选项卡1", 0));
    auto third = Control("丙", ControlKind::RadioButton, 10, 30, 60, 20, "选项卡1", 1);
    third.checked = true;
    design.controls.push_back(third);
    design.controls.push_back(Control("丁", ControlKind::RadioButton, 10, 55, 60, 20, "选项卡1", 1));
    design.controls.push_back(Control("分组框2", ControlKind::GroupBox, 100, 30, 200, 100, "选项卡1", 1));
    auto inner = Control("按钮2", ControlKind::Button, 7, 20, 80, 24, "分组框2");
    inner.caption = "内部";
    design.controls.push_back(inner);

    auto combo = Control("组合框1", ControlKind::DropDownList, 400, 100, 150, 22);
    combo.entries = {"800 x 600", "1024 x 768"};
    combo.selection = -1;
    design.controls.push_back(combo);
    auto slider = Control("滑块1", ControlKind::TrackBar, 400, 130, 150, 30);
    slider.rangeMin = 0;
    slider.rangeMax = 4;
    slider.position = 2;
    design.controls.push_back(slider);
    auto button = Control("按钮1", ControlKind::Button, 400, 170, 80, 24);
    button.caption = "确定";
    design.controls.push_back(button);
    auto edit = Control("文本框1", ControlKind::Edit, 400, 200, 150, 22);
    edit.caption = "server";
    design.controls.push_back(edit);
    design.controls.push_back(Control("日期1", ControlKind::DatePicker, 560, 200, 20, 22));

    auto list = Control("列表1", ControlKind::ListView, 10, 280, 600, 150);
    list.columns = {{"名称", 120, Alignment::Left}, {"编号", 0, Alignment::Left}, {"状态", 60, Alignment::Right}};
    design.controls.push_back(list);
    design.menus.push_back(MenuSpec{"菜单", {"连接", "", "删除"}});
    return design;
}

std::string DesignerName(HWND window) {
    ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, kDesignerNameProperty)));
    if (!atom) return "";
    wchar_t name[256] = {};
    UINT length = GlobalGetAtomNameW(atom, name, 256);
    return Utf16ToGbk(std::u16string(name, name + length));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A control's top-left corner in its window's client area.
POINT PlaceOf(HWND control) {
    RECT bounds{};
    GetWindowRect(control, &bounds);
    POINT corner{bounds.left, bounds.top};
    ScreenToClient(GetParent(control), &corner);
    return corner;
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (PreTranslateWindowMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void ClickAt(HWND window, int x, int y) {
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    Pump();
}

class FormRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(SampleBytes().empty()) << "libpng could not write the sample picture";
        form = std::make_unique<Win32Form>(SampleWindow());
        ASSERT_TRUE(form->Create());
        form->Show();
        UpdateWindow(form->Handle());
        Pump();
    }
    void TearDown() override {
        if (form) form->Close();
        Pump();
    }
    HWND Child(const std::string& name) { return form->ControlHandle(name); }

    std::unique_ptr<Win32Form> form;
};

TEST_F(FormRuntime, EveryControlCarriesItsDesignerNameAndSitsInItsContainer) {
    EXPECT_EQ(DesignerName(form->Handle()), "SampleWindow");
    std::set<std::string> found;
    EnumChildWindows(
        form->Handle(),
        [](HWND child, LPARAM names) -> BOOL {
            std::string name = DesignerName(child);
            if (!name.empty()) reinterpret_cast<std::set<std::string>*>(names)->insert(name);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    std::set<std::string> declared;
    for (const ControlSpec& control : form->Design().controls) declared.insert(control.name);
    EXPECT_EQ(found, declared);

    // Outer size as declared (the table's sizes include the frame).
    RECT outer{};
    GetWindowRect(form->Handle(), &outer);
    EXPECT_EQ(outer.right - outer.left, 640);
    EXPECT_EQ(outer.bottom - outer.top, 480);

    // Positions add up through the containers: group box, picture box, tab page, group box on a tab page.
    EXPECT_EQ(PlaceOf(Child("小")).x, 208);
    EXPECT_EQ(PlaceOf(Child("小")).y, 36);
    EXPECT_EQ(PlaceOf(Child("按钮3")).x, 430);
    EXPECT_EQ(PlaceOf(Child("按钮3")).y, 45);
    EXPECT_EQ(PlaceOf(Child("乙")).x, 20);
    EXPECT_EQ(PlaceOf(Child("乙")).y, 175);
    EXPECT_EQ(PlaceOf(Child("按钮2")).x, 10 + 100 + 7);
    EXPECT_EQ(PlaceOf(Child("按钮2")).y, 120 + 30 + 20);

    // A button on a picture box is drawn above the picture: it comes before the picture box in Z order.
    bool buttonFirst = false;
    for (HWND child = GetWindow(form->Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == Child("按钮3")) { buttonFirst = true; break; }
        if (child == Child("图片框2")) break;
    }
    EXPECT_TRUE(buttonFirst);

    EXPECT_THROW(form->Text("按纽1"), std::logic_error);
    EXPECT_THROW(form->ControlHandle("按纽1"), std::logic_error);
}

TEST_F(FormRuntime, ControlsAreTheWin32ClassesWithTheirStyles) {
    EXPECT_EQ(ClassOf(Child("按钮1")), L"Button");
    EXPECT_EQ(StyleOf(Child("复选框1")) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_EQ(StyleOf(Child("红")) & BS_TYPEMASK, BS_AUTORADIOBUTTON);
    EXPECT_EQ(StyleOf(Child("分组框1")) & BS_TYPEMASK, BS_GROUPBOX);
    EXPECT_EQ(ClassOf(Child("标签1")), L"Static");
    EXPECT_EQ(StyleOf(Child("标签1")) & SS_TYPEMASK, SS_CENTER);
    EXPECT_TRUE(StyleOf(Child("标签1")) & SS_CENTERIMAGE);
    EXPECT_EQ(ClassOf(Child("文本框1")), L"Edit");
    EXPECT_TRUE(StyleOf(Child("文本框1")) & ES_AUTOHSCROLL);
    EXPECT_TRUE(GetWindowLongPtrW(Child("文本框1"), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(ClassOf(Child("组合框1")), L"ComboBox");
    EXPECT_EQ(StyleOf(Child("组合框1")) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(ClassOf(Child("滑块1")), std::wstring(TRACKBAR_CLASSW));
    EXPECT_TRUE(StyleOf(Child("滑块1")) & TBS_AUTOTICKS);
    EXPECT_EQ(ClassOf(Child("日期1")), std::wstring(DATETIMEPICK_CLASSW));
    EXPECT_EQ(ClassOf(Child("列表1")), std::wstring(WC_LISTVIEWW));
    EXPECT_EQ(StyleOf(Child("列表1")) & (LVS_TYPEMASK | LVS_SINGLESEL | LVS_SHOWSELALWAYS),
              LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
    LRESULT extended = SendMessageW(Child("列表1"), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_EQ(extended & (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES), LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    EXPECT_EQ(ClassOf(Child("选项卡1")), std::wstring(WC_TABCONTROLW));

    // Fonts: the system's GUI font, and SimSun 12 px for the tab captions.
    HGDIOBJ guiFont = GetStockObject(DEFAULT_GUI_FONT);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(Child("按钮1"), WM_GETFONT, 0, 0)), guiFont);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(Child("列表1"), WM_GETFONT, 0, 0)), guiFont);
    LOGFONTW tabFont{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(Child("选项卡1"), WM_GETFONT, 0, 0)), sizeof tabFont, &tabFont);
    EXPECT_STREQ(tabFont.lfFaceName, L"SimSun");
    EXPECT_EQ(tabFont.lfCharSet, GB2312_CHARSET);
    EXPECT_EQ(std::abs(tabFont.lfHeight), 12);

    // Initial states from the table.
    EXPECT_EQ(SendMessageW(Child("组合框1"), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(Child("滑块1"), TBM_GETPOS, 0, 0), 2);
    EXPECT_EQ(SendMessageW(Child("滑块1"), TBM_GETRANGEMAX, 0, 0), 4);
    EXPECT_EQ(SendMessageW(Child("滑块1"), TBM_GETNUMTICS, 0, 0), 5);  // a tick at every step
    EXPECT_EQ(form->Text("文本框1"), "server");
}

TEST_F(FormRuntime, RadioGroupsFollowTheTable) {
    std::vector<std::string> clicks;
    form->On("蓝", FormEvent::Click, [&](const FormEventArgs&) { clicks.push_back("蓝"); });
    form->On("大", FormEvent::Click, [&](const FormEventArgs&) { clicks.push_back("大"); });
    auto checked = [&](const std::string& name) { return SendMessageW(Child(name), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    EXPECT_TRUE(checked("红"));
    SendMessageW(Child("蓝"), BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(checked("红"));  // two rows up, past a label and a check box
    EXPECT_FALSE(checked("绿"));
    EXPECT_TRUE(checked("蓝"));
    EXPECT_TRUE(checked("小"));  // the group box's group is its own
    EXPECT_TRUE(checked("甲"));
    EXPECT_TRUE(checked("丙"));
    SendMessageW(Child("大"), BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(checked("小"));
    EXPECT_TRUE(checked("蓝"));
    // From code: each tab page is a group of its own.
    form->SetChecked("乙", true);
    EXPECT_FALSE(checked("甲"));
    EXPECT_TRUE(checked("丙"));
    EXPECT_EQ(clicks, (std::vector<std::string>{"蓝", "大"}));
}

TEST_F(FormRuntime, ChoosingATabShowsItsPageAndHidesTheOther) {
    int changes = 0;
    form->On("选项卡1", FormEvent::SelectionChanged, [&](const FormEventArgs&) { ++changes; });
    EXPECT_TRUE(IsWindowVisible(Child("甲")));
    EXPECT_FALSE(IsWindowVisible(Child("丙")));
    EXPECT_FALSE(IsWindowVisible(Child("按钮2")));
    // The person clicks the second tab.
    RECT tab{};
    SendMessageW(Child("选项卡1"), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
    ClickAt(Child("选项卡1"), (tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
    EXPECT_EQ(form->TabPage("选项卡1"), 1);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(IsWindowVisible(Child("甲")));
    EXPECT_FALSE(IsWindowVisible(Child("乙")));
    EXPECT_TRUE(IsWindowVisible(Child("丙")));
    EXPECT_TRUE(IsWindowVisible(Child("分组框2")));
    EXPECT_TRUE(IsWindowVisible(Child("按钮2")));
    // From code: no event, the same showing and hiding.
    form->SetTabPage("选项卡1", 0);
    EXPECT_TRUE(IsWindowVisible(Child("甲")));
    EXPECT_FALSE(IsWindowVisible(Child("按钮2")));
    EXPECT_EQ(changes, 1);
    // A control's own Visible stays what the program set while its page comes and goes.
    form->SetVisible("乙", false);
    form->SetTabPage("选项卡1", 1);
    form->SetTabPage("选项卡1", 0);
    EXPECT_FALSE(IsWindowVisible(Child("乙")));
    EXPECT_TRUE(IsWindowVisible(Child("甲")));
}

TEST_F(FormRuntime, ListColumnsRowsAndTheHiddenColumn) {
    HWND list = Child("列表1");
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_TRUE(header);
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 120);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 0);
    wchar_t text[32] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = text;
    column.cchTextMax = 32;
    SendMessageW(list, LVM_GETCOLUMNW, 2, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(Utf16ToGbk(std::u16string(text, text + wcslen(text))), "状态");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);

    // The header asks its list before a column is dragged or auto-sized: the hidden one is refused.
    auto notify = [&](UINT code, int item) {
        NMHEADERW notice{};
        notice.hdr.hwndFrom = header;
        notice.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(header));
        notice.hdr.code = code;
        notice.iItem = item;
        return SendMessageW(list, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
    };
    EXPECT_TRUE(notify(HDN_BEGINTRACKW, 1));
    EXPECT_FALSE(notify(HDN_BEGINTRACKW, 0));
    notify(HDN_DIVIDERDBLCLICKW, 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 0);
    form->SetListColumnWidth("列表1", 1, 50);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 0);
    form->SetListColumnWidth("列表1", 2, 90);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0), 90);

    // Rows through the form, read back through the list view itself.
    std::vector<std::string> selected;
    form->On("列表1", FormEvent::SelectionChanged, [&](const FormEventArgs& args) {
        selected.push_back("selected " + std::to_string(args.row));
    });
    form->On("列表1", FormEvent::Click, [&](const FormEventArgs& args) {
        selected.push_back("click " + std::to_string(args.row));
    });
    EXPECT_EQ(form->ListAddRow("列表1", {"甲服务器", "17", "在线"}), 0);
    EXPECT_EQ(form->ListAddRow("列表1", {"乙服务器", "18"}), 1);
    form->SetListRowValue("列表1", 1, 0x123456789LL);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    LVITEMW cell{};
    cell.iSubItem = 1;
    cell.pszText = text;
    cell.cchTextMax = 32;
    SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&cell));
    EXPECT_STREQ(text, L"18");
    EXPECT_EQ(form->ListCell("列表1", 0, 2), "在线");
    EXPECT_EQ(form->ListRowValue("列表1", 1), 0x123456789LL);
    EXPECT_EQ(form->ListRowValue("列表1", 0), 0);
    form->SetListSelectedRow("列表1", 1);  // from code: no event
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
    EXPECT_TRUE(selected.empty());
    // The person clicks the first row.
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    ClickAt(list, row.left + 10, (row.top + row.bottom) / 2);
    EXPECT_EQ(form->ListSelectedRow("列表1"), 0);
    // The same order as ModelForm::SelectRow: the selection when the button goes down, the click after.
    EXPECT_EQ(selected, (std::vector<std::string>{"selected 0", "click 0"}));
    form->ListClear("列表1");
    EXPECT_EQ(form->ListRowCount("列表1"), 0);
}

TEST_F(FormRuntime, PictureBoxShowsItsPictureAtNaturalSizeClipped) {
    HWND box = Child("图片框1");
    RECT client{};
    GetClientRect(box, &client);
    EXPECT_EQ(client.right, 12);
    EXPECT_EQ(client.bottom, 6);
    // Print the box into a bitmap larger than itself, filled with a colour the picture does not have.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 30, 20);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, 30, 20};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(memory, &all, magenta);
    ASSERT_TRUE(PrintWindow(box, memory, PW_CLIENTONLY));
    EXPECT_EQ(GetPixel(memory, 0, 0), SamplePixel(0, 0));
    EXPECT_EQ(GetPixel(memory, 11, 5), SamplePixel(11, 5));  // natural size: not scaled into the box
    EXPECT_EQ(GetPixel(memory, 12, 5), RGB(255, 0, 255));      // the rest of the picture is cut off
    EXPECT_EQ(GetPixel(memory, 5, 6), RGB(255, 0, 255));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteObject(magenta);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    // On the screen: the picture inside the box, and the window's face right beside it.
    HDC dc = GetDC(form->Handle());
    COLORREF inside = GetPixel(dc, 7, 3);
    COLORREF beside = GetPixel(dc, 12 + 40, 3);
    ReleaseDC(form->Handle(), dc);
    EXPECT_EQ(inside, SamplePixel(7, 3));
    EXPECT_EQ(beside, GetSysColor(COLOR_BTNFACE));
}

TEST_F(FormRuntime, PersonActionsRaiseEventsAndCodeDoesNot) {
    std::vector<std::string> seen;
    form->On("组合框1", FormEvent::SelectionChanged, [&](const FormEventArgs&) { seen.push_back("combo " + form->Text("组合框1")); });
    form->On("滑块1", FormEvent::PositionChanged, [&](const FormEventArgs&) {
        seen.push_back("slider " + std::to_string(form->TrackPosition("滑块1")));
    });
    form->On("按钮1", FormEvent::Click, [&](const FormEventArgs&) { seen.push_back("button"); });
    form->On("复选框1", FormEvent::Click, [&](const FormEventArgs&) {
        seen.push_back(form->Checked("复选框1") ? "checked" : "cleared");
    });
    form->On("图片框1", FormEvent::MouseDown, [&](const FormEventArgs& args) {
        seen.push_back("down " + std::to_string(args.x) + "," + std::to_string(args.y) + (args.shift ? " shift" : ""));
    });

    form->SetSelection("组合框1", 1);
    form->SetTrackPosition("滑块1", 3);
    form->SetChecked("复选框1", true);
    Pump();
    EXPECT_TRUE(seen.empty());

    SendMessageW(Child("组合框1"), WM_KEYDOWN, VK_UP, 0);  // the person picks the entry above
    Pump();
    SetFocus(Child("滑块1"));
    SendMessageW(Child("滑块1"), WM_KEYDOWN, VK_RIGHT, 0);
    Pump();
    SendMessageW(Child("按钮1"), BM_CLICK, 0, 0);
    SendMessageW(Child("复选框1"), BM_CLICK, 0, 0);
    SendMessageW(Child("图片框1"), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(3, 4));
    Pump();
    EXPECT_EQ(seen, (std::vector<std::string>{"combo 800 x 600", "slider 4", "button", "cleared", "down 3,4 shift"}));

    // The range clamps in the real control as in the model.
    form->SetTrackRange("滑块1", 0, 2);
    EXPECT_EQ(SendMessageW(Child("滑块1"), TBM_GETPOS, 0, 0), 2);
    form->SetEnabled("按钮1", false);
    EXPECT_FALSE(IsWindowEnabled(Child("按钮1")));
}

// A handler that throws (from a click on a button, reported to the window, or a press on a picture box,
// which has a procedure of its own) must not end the program: what it threw is shown in a box over the
// window, and the window goes on answering.
TEST_F(FormRuntime, AHandlerThatThrowsIsReportedAndTheWindowGoesOn) {
    int clicks = 0;
    form->On("按钮1", FormEvent::Click, [&](const FormEventArgs&) {
        if (++clicks == 1) throw std::runtime_error("boom in a click");
    });
    form->On("图片框1", FormEvent::MouseDown, [](const FormEventArgs&) { throw std::runtime_error("boom in a picture"); });

    // The boxes are modal: another thread reads and closes each one.
    std::vector<wine_driver::MessageBoxView> boxes;
    std::atomic<bool> done{false};
    std::thread closer([&] {
        while (!done) {
            if (auto box = wine_driver::FindMessageBox(GetCurrentProcessId())) {
                boxes.push_back(*box);
                wine_driver::PressButtonId(box->dialog, IDOK);
                while (IsWindow(box->dialog)) Sleep(10);
            }
            Sleep(10);
        }
    });
    SendMessageW(Child("按钮1"), BM_CLICK, 0, 0);
    SendMessageW(Child("按钮1"), BM_CLICK, 0, 0);
    SendMessageW(Child("图片框1"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    Pump();
    done = true;
    closer.join();

    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(boxes.size(), 2u);
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].owner, form->Handle());
        EXPECT_NE(boxes[i].text.find(i == 0 ? "boom in a click" : "boom in a picture"), std::string::npos) << boxes[i].text;
    }
    EXPECT_TRUE(IsWindow(form->Handle()));
}

// Two windows from the same table, open at once: a click in one raises that window's handler only, each
// picture box paints its own picture, and the tab captions' font, which every window shares, stays usable
// in the one still open after the other has gone.
TEST_F(FormRuntime, TwoWindowsOfOneTableKeepTheirControlsApart) {
    auto second = std::make_unique<Win32Form>(SampleWindow());
    ASSERT_TRUE(second->Create());
    second->Show();
    Pump();
    std::vector<std::string> seen;
    form->On("按钮1", FormEvent::Click, [&](const FormEventArgs&) { seen.push_back("first"); });
    second->On("按钮1", FormEvent::Click, [&](const FormEventArgs&) { seen.push_back("second"); });
    SendMessageW(second->ControlHandle("按钮1"), BM_CLICK, 0, 0);
    SendMessageW(Child("按钮1"), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(seen, (std::vector<std::string>{"second", "first"}));

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 20, 10);
    HGDIOBJ old = SelectObject(memory, bitmap);
    ASSERT_TRUE(PrintWindow(second->ControlHandle("图片框2"), memory, PW_CLIENTONLY));
    EXPECT_EQ(GetPixel(memory, 19, 9), SamplePixel(19, 9));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    second->Close();
    second.reset();
    Pump();
    LOGFONTW tabFont{};
    ASSERT_NE(GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(Child("选项卡1"), WM_GETFONT, 0, 0)), sizeof tabFont,
                         &tabFont),
              0)
        << "the tab captions' font went with the other window";
    EXPECT_STREQ(tabFont.lfFaceName, L"SimSun");
    SendMessageW(Child("按钮1"), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(seen.back(), "first");
}

TEST_F(FormRuntime, EscapeRaisesTheCloseRequestAndWithoutAHandlerCloses) {
    int requests = 0;
    form->On("", FormEvent::CloseRequested, [&](const FormEventArgs&) { ++requests; });
    PostMessageW(Child("文本框1"), WM_KEYDOWN, VK_ESCAPE, 0);  // Esc in a control of the window
    Pump();
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(form->IsOpen()) << "the handler decides";
    form->On("", FormEvent::CloseRequested, nullptr);
    bool destroyed = false;
    form->On("", FormEvent::Destroying, [&](const FormEventArgs&) { destroyed = true; });
    PostMessageW(Child("按钮1"), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(form->IsOpen());
}

// The server editor: the focus given while the window is still hidden lands in its control when the window
// shows, and Tab / Shift+Tab walk the edit boxes in table order, selecting an edit box's text.
TEST(FormRuntimeFocus, FocusGivenBeforeShowingLandsAndTabWalksTheControls) {
    Win32Form editor(ui::ServerEditorWindowSpec());
    editor.On("", FormEvent::Created, [&](const FormEventArgs&) { editor.SetFocus("编辑框_地址"); });
    ASSERT_TRUE(editor.Create());
    editor.Show();
    SetForegroundWindow(editor.Handle());
    Pump();
    EXPECT_EQ(GetFocus(), editor.ControlHandle("编辑框_地址"));

    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    Pump();
    HWND port = editor.ControlHandle("编辑框_端口");
    EXPECT_EQ(GetFocus(), port);
    DWORD start = 0, end = 0;
    SendMessageW(port, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 4u) << "the port box's \"3389\" is selected";
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    Pump();
    EXPECT_EQ(GetFocus(), editor.ControlHandle("编辑框_用户名"));

    // Away and back: the focus returns to the control that had it.
    Win32Form other(ui::ServerEditorWindowSpec());
    ASSERT_TRUE(other.Create());
    other.Show();
    SetForegroundWindow(other.Handle());
    SetActiveWindow(other.Handle());
    Pump();
    SetForegroundWindow(editor.Handle());
    SetActiveWindow(editor.Handle());
    Pump();
    EXPECT_EQ(GetFocus(), editor.ControlHandle("编辑框_用户名"));
    other.Close();
    editor.Close();
    Pump();
}

// The modal dialog's checks run from a timer inside its own message loop.
struct ModalProbe {
    HWND owner = nullptr;
    Win32Form* dialog = nullptr;
    bool ownerDisabledWhileOpen = false;
    bool dialogShown = false;
    bool ownerEnabledWhenDestroyed = false;
    int ticks = 0;
};
ModalProbe* probe = nullptr;

void CALLBACK ProbeTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    if (++probe->ticks == 1) {
        probe->ownerDisabledWhileOpen = !IsWindowEnabled(probe->owner);
        probe->dialogShown = IsWindowVisible(probe->dialog->Handle()) != FALSE;
        // Esc pressed in the dialog's edit box closes it as its close box does.
        PostMessageW(probe->dialog->ControlHandle("文本框1"), WM_KEYDOWN, VK_ESCAPE, 0);
    }
    if (probe->ticks > 100) {  // a stuck dialog: close it so that the test ends and fails
        probe->dialog->Close();
        KillTimer(nullptr, timer);
    }
}

TEST_F(FormRuntime, AModalDialogDisablesItsOwnerUntilItCloses) {
    WindowSpec dialogSpec = SampleWindow();
    dialogSpec.name = "SampleDialog";
    dialogSpec.width = 620;
    ModalProbe modal;
    modal.owner = form->Handle();
    probe = &modal;
    HWND dialogHandle = nullptr;
    bool destroyed = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &ProbeTimer);
    // The way handlers open a dialog: through Dialogs, over the window they belong to.
    Win32Dialogs dialogs;
    dialogs.ShowModal(dialogSpec, *form, [&](Form& dialog) {
        modal.dialog = static_cast<Win32Form*>(&dialog);
        dialog.On("", FormEvent::Created, [&](const FormEventArgs&) { dialogHandle = modal.dialog->Handle(); });
        dialog.On("", FormEvent::Destroying, [&](const FormEventArgs&) {
            destroyed = true;
            modal.ownerEnabledWhenDestroyed = IsWindowEnabled(form->Handle()) != FALSE;
        });
    });
    KillTimer(nullptr, timer);
    probe = nullptr;
    EXPECT_TRUE(modal.ownerDisabledWhileOpen);
    EXPECT_TRUE(modal.dialogShown);
    EXPECT_LT(modal.ticks, 100) << "Esc did not close the dialog";
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(modal.ownerEnabledWhenDestroyed);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
    EXPECT_NE(dialogHandle, nullptr);
    EXPECT_FALSE(IsWindow(dialogHandle));
}

}  // namespace
}  // namespace runtime
