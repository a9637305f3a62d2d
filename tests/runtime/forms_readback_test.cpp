// The program's five windows made from their tables in memory (ModelForm), opened, and every control read back
// through the Form interface the handlers use: caption or text, drop-down entries and selection, checked
// state, slider range and position, enabled, visible, shown page by page, the server list's columns and
// widths, the chosen tab page; and the window's caption and size. The expected side is the window's table.
// The same readback against real Win32 windows is tests/wine/forms_readback_test.cpp.
//
// What the model cannot be asked, and so is not checked here: a control's window class, its position and
// size (the model keeps no geometry of its own; ClientPosition is arithmetic on the table), styles (centred or
// wrapping text, borders, the password box in clear), fonts and colours, the list's column headers and
// alignment, the tab page captions, and the window's frame, title-bar buttons, taskbar button and icon.
//
// A failure names the window, the control and the property, e.g. "AudioDialog / 单选框2 / checked".
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

using runtime::ControlKind;
using runtime::ControlSpec;
using runtime::ModelForm;
using runtime::WindowSpec;

std::string Where(const WindowSpec& table, const std::string& control, const std::string& property) {
    return table.name + " / " + (control.empty() ? std::string("(window)") : control) + " / " + property;
}

const ControlSpec* FindControl(const WindowSpec& table, const std::string& name) {
    for (const ControlSpec& control : table.controls) {
        if (control.name == name) return &control;
    }
    return nullptr;
}

// Whether `control` shows while each tab control stands at the page given in `pages`, worked out from the
// table alone: every tab control on the way up through its containers must be at the page that holds it.
bool ShownOnPages(const WindowSpec& table, const ControlSpec& control, const std::map<std::string, int>& pages) {
    for (const ControlSpec* step = &control; !step->container.empty();) {
        const ControlSpec* container = FindControl(table, step->container);
        if (!container) return false;
        if (container->kind == ControlKind::TabControl && pages.at(container->name) != step->page) return false;
        step = container;
    }
    return true;
}

bool HasCaption(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::CheckBox || kind == ControlKind::RadioButton ||
           kind == ControlKind::Label || kind == ControlKind::Edit || kind == ControlKind::GroupBox;
}

void CheckControl(const WindowSpec& table, const ModelForm& form, const ControlSpec& control) {
    const std::string& name = control.name;
    ASSERT_TRUE(form.HasControl(name)) << Where(table, name, "addressable by its name");
    EXPECT_TRUE(form.Enabled(name)) << Where(table, name, "enabled");
    EXPECT_TRUE(form.Visible(name)) << Where(table, name, "visible");
    if (HasCaption(control.kind)) {
        EXPECT_EQ(form.Text(name), control.caption) << Where(table, name, "caption");
    }
    switch (control.kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        EXPECT_EQ(form.Checked(name), control.checked) << Where(table, name, "checked");
        break;
    case ControlKind::DropDownList:
        EXPECT_EQ(form.Entries(name), control.entries) << Where(table, name, "entries");
        EXPECT_EQ(form.Selection(name), control.selection) << Where(table, name, "selected entry");
        ASSERT_GE(control.selection, 0) << Where(table, name, "an entry chosen in the table");
        ASSERT_LT(control.selection, static_cast<int>(control.entries.size())) << Where(table, name, "chosen entry");
        EXPECT_EQ(form.Text(name), control.entries[static_cast<size_t>(control.selection)])
            << Where(table, name, "text of the chosen entry");
        break;
    case ControlKind::TrackBar:
        EXPECT_EQ(form.TrackMin(name), control.rangeMin) << Where(table, name, "minimum");
        EXPECT_EQ(form.TrackMax(name), control.rangeMax) << Where(table, name, "maximum");
        EXPECT_EQ(form.TrackPosition(name), control.position) << Where(table, name, "position");
        break;
    case ControlKind::ListView: {
        ASSERT_EQ(form.ListColumnCount(name), static_cast<int>(control.columns.size()))
            << Where(table, name, "number of columns");
        for (size_t c = 0; c < control.columns.size(); ++c) {
            EXPECT_EQ(form.ListColumnWidth(name, static_cast<int>(c)), control.columns[c].width)
                << Where(table, name, "width of column " + std::to_string(c));
        }
        EXPECT_EQ(form.ListRowCount(name), 0) << Where(table, name, "no rows at start");
        EXPECT_EQ(form.ListSelectedRow(name), -1) << Where(table, name, "no row selected at start");
        break;
    }
    case ControlKind::TabControl:
        EXPECT_EQ(form.TabPage(name), control.selection) << Where(table, name, "chosen page");
        break;
    default:
        break;
    }
}

// Which controls show, page after page, as the person chooses each tab in turn.
void CheckPages(const WindowSpec& table, ModelForm& form) {
    std::map<std::string, int> pages;
    for (const ControlSpec& control : table.controls) {
        if (control.kind == ControlKind::TabControl) pages[control.name] = control.selection;
    }
    auto expectShown = [&](const std::string& when) {
        for (const ControlSpec& control : table.controls) {
            EXPECT_EQ(form.Shown(control.name), ShownOnPages(table, control, pages))
                << Where(table, control.name, "shown") << " " << when;
            EXPECT_TRUE(form.Visible(control.name)) << Where(table, control.name, "visible") << " " << when;
        }
    };
    expectShown("when the window opens");
    for (const ControlSpec& tabs : table.controls) {
        if (tabs.kind != ControlKind::TabControl) continue;
        std::vector<int> order;
        for (int page = 1; page < static_cast<int>(tabs.entries.size()); ++page) order.push_back(page);
        order.push_back(0);
        for (int page : order) {
            ASSERT_TRUE(form.ChooseTabPage(tabs.name, page)) << Where(table, tabs.name, "page can be chosen");
            EXPECT_EQ(form.TabPage(tabs.name), page) << Where(table, tabs.name, "chosen page");
            pages[tabs.name] = page;
            expectShown("on page " + std::to_string(page) + " of " + tabs.name);
        }
    }
}

void ReadBack(const WindowSpec& table) {
    ModelForm form(table);
    form.Open();
    EXPECT_TRUE(form.IsOpen()) << Where(table, "", "open");
    EXPECT_TRUE(form.WindowVisible()) << Where(table, "", "shown");
    EXPECT_TRUE(form.WindowEnabled()) << Where(table, "", "enabled");
    EXPECT_FALSE(form.Minimised()) << Where(table, "", "not minimised");
    EXPECT_EQ(form.Caption(), table.caption) << Where(table, "", "caption");
    EXPECT_EQ(form.Width(), table.width) << Where(table, "", "outer width");
    EXPECT_EQ(form.Height(), table.height) << Where(table, "", "outer height");
    for (const ControlSpec& control : table.controls) CheckControl(table, form, control);
    CheckPages(table, form);
}

TEST(FormsReadbackModel, MainWindow) { ReadBack(ui::MainWindowSpec()); }
TEST(FormsReadbackModel, ServerEditorWindow) { ReadBack(ui::ServerEditorWindowSpec()); }
TEST(FormsReadbackModel, AudioDialog) { ReadBack(ui::AudioDialogSpec()); }
TEST(FormsReadbackModel, DevicesDialog) { ReadBack(ui::DevicesDialogSpec()); }
TEST(FormsReadbackModel, GatewayDialog) { ReadBack(ui::GatewayDialogSpec()); }

}  // namespace
