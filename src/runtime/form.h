// Windows as data: each window of the program is declared once as a table of controls, read like the
// form designer's (name, kind, container, position, size, caption or entries, initial state). The same table
// becomes either real Win32 controls or an in-memory model with the same behaviour, so every event handler
// runs in native tests and in the real program alike. All texts are GBK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

enum class ControlKind {
    Button,
    CheckBox,
    RadioButton,   // radio buttons sharing a container form one group
    Label,
    Edit,          // single line unless kMultiline, no length limit, text shown in clear unless kPassword
    DropDownList,  // choose only; selection -1 possible
    GroupBox,
    PictureBox,    // a PNG at natural size from its top-left corner, clipped, never scaled
    TrackBar,      // horizontal, a tick at every step
    DatePicker,    // shows only its drop-down button
    ListView,      // report view
    TabControl,    // pages own their controls
};

// Presentation details that the designer's table notes for some controls.
enum ControlStyle : uint32_t {
    kStyleNone = 0,
    kCentred = 1u << 0,        // label or edit text centred horizontally
    kWraps = 1u << 1,          // label text word-wrapped from the top-left
    kBordered = 1u << 2,       // label with a thin single-line border
    kWhiteBackground = 1u << 3,  // label or check box on a white background
    kMultiline = 1u << 4,      // edit box of several lines, scrolled down as it fills; Enter starts a line
    kPassword = 1u << 5,       // edit box whose characters show as dots
};

enum class Alignment { Left, Centre, Right };

struct ListColumn {
    std::string header;
    int width = 0;  // 0: hidden, and it stays hidden
    Alignment alignment = Alignment::Left;
};

// A PNG the program carries: its bytes and its natural size.
struct Picture {
    const unsigned char* png = nullptr;
    size_t size = 0;
    int width = 0, height = 0;
};

struct ControlSpec {
    std::string name;       // designer name, unique within its window
    ControlKind kind = ControlKind::Label;
    std::string container;  // "" = the window's client area; else a group box, picture box or tab control
    int page = -1;          // for a control in a tab control: the page index
    int left = 0, top = 0, width = 0, height = 0;  // relative to the container (for a tab page: the tab control)
    std::string caption;    // caption or initial text
    std::vector<std::string> entries;  // drop-down entries; tab page captions
    std::vector<ListColumn> columns;   // list view
    std::vector<int> findColumns = {0};  // list view: the columns typing in the list searches (FindListRow)
    uint32_t style = kStyleNone;
    bool checked = false;              // check box, radio button
    int selection = 0;                 // drop-down list, tab control
    int rangeMin = 0, rangeMax = 0, position = 0;  // track bar
    const Picture* picture = nullptr;  // picture box
};

struct MenuSpec {
    std::string name;                // "菜单"
    std::vector<std::string> items;  // "" is a separator
};

enum class Frame {
    None,         // no frame, no title bar
    FixedSingle,  // fixed single frame with title bar
};

struct WindowSpec {
    std::string name;     // "MainWindow", "ServerEditorWindow", ...
    std::string caption;
    int width = 0, height = 0;  // outer size
    Frame frame = Frame::FixedSingle;
    bool minimiseBox = false;
    bool taskbarButton = true;
    bool programIcon = true;    // the 32 x 32 program icon
    std::vector<ControlSpec> controls;
    std::vector<MenuSpec> menus;
};

}  // namespace runtime
