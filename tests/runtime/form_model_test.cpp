// The in-memory window: the rules the program's handlers rely on, checked against a table that has every
// kind of control and the awkward layouts the real windows have (a radio group spread over rows with other
// controls between, radio groups on tab pages, controls inside group boxes inside pages).
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/form_model.h"

namespace runtime {
namespace {

ControlSpec Control(const std::string& name, ControlKind kind, const std::string& container = "", int page = -1) {
    ControlSpec control;
    control.name = name;
    control.kind = kind;
    control.container = container;
    control.page = page;
    control.width = 60;
    control.height = 20;
    return control;
}

WindowSpec SampleWindow() {
    WindowSpec design;
    design.name = "SampleWindow";
    design.caption = "Sample";
    design.width = 400;
    design.height = 300;

    // Colour choice: radio buttons on the client area, in two rows with a label and a check box between.
    auto red = Control("红", ControlKind::RadioButton);
    red.checked = true;
    design.controls.push_back(red);
    design.controls.push_back(Control("标签1", ControlKind::Label));
    design.controls.push_back(Control("绿", ControlKind::RadioButton));
    design.controls.push_back(Control("复选框1", ControlKind::CheckBox));
    design.controls.push_back(Control("蓝", ControlKind::RadioButton));

    // A group box with a radio group of its own.
    auto box = Control("分组框1", ControlKind::GroupBox);
    box.left = 100;
    box.top = 50;
    design.controls.push_back(box);
    auto small = Control("小", ControlKind::RadioButton, "分组框1");
    small.left = 8;
    small.top = 16;
    small.checked = true;
    design.controls.push_back(small);
    design.controls.push_back(Control("大", ControlKind::RadioButton, "分组框1"));

    // A tab control: page 0 and page 1 each have a radio group; page 1 has a group box inside.
    auto tabs = Control("选项卡1", ControlKind::TabControl);
    tabs.entries = {"常规", "显示"};
    tabs.left = 10;
    tabs.top = 120;
    design.controls.push_back(tabs);
    auto first = Control("甲", ControlKind::RadioButton, "选项卡1", 0);
    first.checked = true;
    design.controls.push_back(first);
    design.controls.push_back(Control("乙", ControlKind::RadioButton, "选项卡1", 0));
    auto third = Control("丙", ControlKind::RadioButton, "选项卡1", 1);
    third.checked = true;
    design.controls.push_back(third);
    design.controls.push_back(Control("丁", ControlKind::RadioButton, "选项卡1", 1));
    auto pageBox = Control("分组框2", ControlKind::GroupBox, "选项卡1", 1);
    pageBox.left = 5;
    pageBox.top = 30;
    design.controls.push_back(pageBox);
    auto inner = Control("按钮2", ControlKind::Button, "分组框2");
    inner.left = 7;
    inner.top = 9;
    design.controls.push_back(inner);

    auto list = Control("组合框1", ControlKind::DropDownList);
    list.entries = {"800 x 600", "1024 x 768"};
    list.selection = -1;
    design.controls.push_back(list);
    auto slider = Control("滑块1", ControlKind::TrackBar);
    slider.rangeMin = 0;
    slider.rangeMax = 4;
    slider.position = 2;
    design.controls.push_back(slider);
    design.controls.push_back(Control("按钮1", ControlKind::Button));
    auto edit = Control("文本框1", ControlKind::Edit);
    edit.caption = "server";
    design.controls.push_back(edit);
    design.controls.push_back(Control("日期1", ControlKind::DatePicker));

    auto view = Control("列表1", ControlKind::ListView);
    view.columns = {{"名称", 120, Alignment::Left}, {"编号", 0, Alignment::Left}, {"状态", 60, Alignment::Right}};
    design.controls.push_back(view);

    design.menus.push_back(MenuSpec{"菜单", {"连接", "", "删除"}});
    return design;
}

TEST(FormModel, RadioGroupsArePerContainerAndPage) {
    ModelForm form(SampleWindow());
    // The client-area group spans other controls; checking the last clears the first.
    EXPECT_EQ(RadioGroup(form.Design(), "绿"), (std::vector<std::string>{"红", "绿", "蓝"}));
    form.SetChecked("蓝", true);
    EXPECT_FALSE(form.Checked("红"));
    EXPECT_FALSE(form.Checked("绿"));
    EXPECT_TRUE(form.Checked("蓝"));
    // Other groups are untouched: the group box's, and both tab pages'.
    EXPECT_TRUE(form.Checked("小"));
    EXPECT_TRUE(form.Checked("甲"));
    EXPECT_TRUE(form.Checked("丙"));

    // Each tab page is a group of its own, though the pages share their container.
    form.SetChecked("乙", true);
    EXPECT_FALSE(form.Checked("甲"));
    EXPECT_TRUE(form.Checked("丙"));
    form.SetChecked("丁", true);
    EXPECT_FALSE(form.Checked("丙"));
    EXPECT_TRUE(form.Checked("乙"));

    // Clearing a radio button from code leaves the others alone.
    form.SetChecked("丁", false);
    EXPECT_FALSE(form.Checked("丙"));
    // A check box is not part of any group.
    form.SetChecked("复选框1", true);
    EXPECT_TRUE(form.Checked("蓝"));
}

TEST(FormModel, TwoCheckedRadiosInTheTableLeaveTheLaterOne) {
    WindowSpec design = SampleWindow();
    design.controls[2].checked = true;  // 绿, after 红
    ModelForm form(design);
    EXPECT_FALSE(form.Checked("红"));
    EXPECT_TRUE(form.Checked("绿"));
}

TEST(FormModel, TabPagesShowOnlyTheirOwnControls) {
    ModelForm form(SampleWindow());
    EXPECT_EQ(form.TabPage("选项卡1"), 0);
    EXPECT_TRUE(form.Shown("甲"));
    EXPECT_FALSE(form.Shown("丙"));
    EXPECT_FALSE(form.Shown("按钮2"));  // inside a group box on page 1
    form.SetTabPage("选项卡1", 1);
    EXPECT_FALSE(form.Shown("甲"));
    EXPECT_TRUE(form.Shown("丙"));
    EXPECT_TRUE(form.Shown("按钮2"));
    // Visible is the control's own setting; hiding a container hides what it holds.
    EXPECT_TRUE(form.Visible("甲"));
    form.SetVisible("分组框2", false);
    EXPECT_FALSE(form.Shown("按钮2"));
    EXPECT_TRUE(form.Visible("按钮2"));
    EXPECT_THROW(form.SetTabPage("选项卡1", 2), std::out_of_range);
}

TEST(FormModel, PositionsAddUpThroughContainers) {
    WindowSpec design = SampleWindow();
    EXPECT_EQ(ClientPosition(design, "小"), std::make_pair(108, 66));
    EXPECT_EQ(ClientPosition(design, "按钮2"), std::make_pair(10 + 5 + 7, 120 + 30 + 9));
}

TEST(FormModel, MisspeltNamesAndWrongKindsFailLoudly) {
    ModelForm form(SampleWindow());
    try {
        form.Text("按纽1");
        FAIL() << "a misspelt name was accepted";
    } catch (const std::logic_error& error) {
        EXPECT_NE(std::string(error.what()).find("SampleWindow"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("按纽1"), std::string::npos);
    }
    EXPECT_THROW(form.On("按纽1", FormEvent::Click, [](const FormEventArgs&) {}), std::logic_error);
    EXPECT_THROW(form.SetEnabled("列表", false), std::logic_error);
    EXPECT_THROW(form.Checked("按钮1"), std::logic_error);
    EXPECT_THROW(form.ListAddRow("组合框1", {}), std::logic_error);
    // An event the control never raises is a binding mistake too.
    EXPECT_THROW(form.On("文本框1", FormEvent::Click, [](const FormEventArgs&) {}), std::logic_error);
    EXPECT_THROW(form.On("", FormEvent::Click, [](const FormEventArgs&) {}), std::logic_error);
    EXPECT_THROW(form.ShowMenu("菜单2"), std::logic_error);
    EXPECT_THROW(form.Click("按纽1"), std::logic_error);
}

TEST(FormModel, FaultyTablesAreRefused) {
    auto refuses = [](const std::function<void(WindowSpec&)>& spoil) {
        WindowSpec design = SampleWindow();
        spoil(design);
        EXPECT_THROW(ValidateWindowSpec(design), std::logic_error);
    };
    refuses([](WindowSpec& s) { s.controls[1].name = "红"; });                    // name used twice
    refuses([](WindowSpec& s) { s.controls[6].container = "分组框9"; });          // container missing
    refuses([](WindowSpec& s) { s.controls[6].container = "按钮1"; });            // not a container
    refuses([](WindowSpec& s) { s.controls[9].page = 2; });                       // page beyond the tabs
    refuses([](WindowSpec& s) { s.controls[9].page = -1; });                      // on a tab without a page
    refuses([](WindowSpec& s) { s.controls[5].container = "分组框1"; });          // contains itself
    refuses([](WindowSpec& s) { s.controls[15].selection = 2; });                 // drop-down entry missing
    refuses([](WindowSpec& s) { s.controls[16].position = 5; });                  // outside the range
    EXPECT_NO_THROW(ValidateWindowSpec(SampleWindow()));
}

TEST(FormModel, DropDownSelectionAllowsNone) {
    ModelForm form(SampleWindow());
    EXPECT_EQ(form.Selection("组合框1"), -1);
    EXPECT_EQ(form.Text("组合框1"), "");
    form.SetSelection("组合框1", 1);
    EXPECT_EQ(form.Text("组合框1"), "1024 x 768");
    form.SetSelection("组合框1", -1);
    EXPECT_EQ(form.Selection("组合框1"), -1);
    EXPECT_THROW(form.SetSelection("组合框1", 2), std::out_of_range);
    EXPECT_THROW(form.SetSelection("组合框1", -2), std::out_of_range);
    form.SetSelection("组合框1", 0);
    form.SetEntries("组合框1", {"a", "b", "c"});
    EXPECT_EQ(form.Selection("组合框1"), -1);
    form.SetSelection("组合框1", 2);
    EXPECT_EQ(form.Text("组合框1"), "c");
}

TEST(FormModel, TrackBarPositionsAreClamped) {
    ModelForm form(SampleWindow());
    form.SetTrackPosition("滑块1", 9);
    EXPECT_EQ(form.TrackPosition("滑块1"), 4);
    form.SetTrackPosition("滑块1", -3);
    EXPECT_EQ(form.TrackPosition("滑块1"), 0);
    form.SetTrackPosition("滑块1", 4);
    form.SetTrackRange("滑块1", 0, 2);  // the position follows the narrower range
    EXPECT_EQ(form.TrackPosition("滑块1"), 2);
    form.SetTrackRange("滑块1", 5, 8);
    EXPECT_EQ(form.TrackPosition("滑块1"), 5);
    EXPECT_EQ(form.TrackMin("滑块1"), 5);
    EXPECT_EQ(form.TrackMax("滑块1"), 8);
    EXPECT_THROW(form.SetTrackRange("滑块1", 3, 1), std::logic_error);
}

TEST(FormModel, ListRowsCellsValuesAndSelection) {
    ModelForm form(SampleWindow());
    EXPECT_EQ(form.ListColumnCount("列表1"), 3);
    EXPECT_EQ(form.ListAddRow("列表1", {"甲服务器", "17"}), 0);
    EXPECT_EQ(form.ListAddRow("列表1", {"乙服务器", "18", "在线"}), 1);
    EXPECT_EQ(form.ListCell("列表1", 0, 2), "");  // missing cells are empty
    EXPECT_EQ(form.ListCell("列表1", 1, 1), "18");
    form.SetListCell("列表1", 0, 2, "离线");
    EXPECT_EQ(form.ListCell("列表1", 0, 2), "离线");
    form.SetListRowValue("列表1", 1, 1234567890123);
    EXPECT_EQ(form.ListRowValue("列表1", 1), 1234567890123);
    EXPECT_EQ(form.ListRowValue("列表1", 0), 0);
    EXPECT_EQ(form.ListSelectedRow("列表1"), -1);
    form.SetListSelectedRow("列表1", 1);
    EXPECT_EQ(form.ListSelectedRow("列表1"), 1);
    EXPECT_THROW(form.ListCell("列表1", 2, 0), std::out_of_range);
    EXPECT_THROW(form.ListCell("列表1", 0, 3), std::out_of_range);
    EXPECT_THROW(form.ListAddRow("列表1", {"a", "b", "c", "d"}), std::out_of_range);
    EXPECT_THROW(form.SetListSelectedRow("列表1", 5), std::out_of_range);
    form.ListClear("列表1");
    EXPECT_EQ(form.ListRowCount("列表1"), 0);
    EXPECT_EQ(form.ListSelectedRow("列表1"), -1);
    // The hidden column stays hidden; the others can be resized.
    EXPECT_EQ(form.ListColumnWidth("列表1", 1), 0);
    form.SetListColumnWidth("列表1", 1, 80);
    EXPECT_EQ(form.ListColumnWidth("列表1", 1), 0);
    form.SetListColumnWidth("列表1", 2, 80);
    EXPECT_EQ(form.ListColumnWidth("列表1", 2), 80);
    EXPECT_EQ(form.ListColumnWidth("列表1", 0), 120);
}

TEST(FormModel, PersonActionsRaiseEventsAndCodeDoesNot) {
    ModelForm form(SampleWindow());
    std::vector<std::string> seen;
    auto record = [&](const std::string& what) { return [&seen, what](const FormEventArgs&) { seen.push_back(what); }; };
    form.On("组合框1", FormEvent::SelectionChanged, record("combo"));
    form.On("滑块1", FormEvent::PositionChanged, record("slider"));
    form.On("绿", FormEvent::Click, record("green"));
    form.On("复选框1", FormEvent::Click, record("check"));
    form.On("列表1", FormEvent::SelectionChanged, record("row"));
    form.On("列表1", FormEvent::RowRightClick, [&](const FormEventArgs& args) {
        seen.push_back("right " + std::to_string(args.row));
    });
    form.On("列表1", FormEvent::ColumnClick, [&](const FormEventArgs& args) {
        seen.push_back("column " + std::to_string(args.column));
    });
    form.On("日期1", FormEvent::DateChosen, [&](const FormEventArgs& args) {
        seen.push_back("date " + std::to_string(args.year * 10000 + args.month * 100 + args.day));
    });
    form.On("", FormEvent::MouseDown, [&](const FormEventArgs& args) {
        seen.push_back("window down " + std::to_string(args.x) + (args.ctrl ? " ctrl" : ""));
    });
    form.Open();

    form.SetSelection("组合框1", 1);
    form.SetTrackPosition("滑块1", 3);
    form.SetChecked("绿", true);
    EXPECT_TRUE(seen.empty()) << "setting a state from code raised " << seen.front();

    EXPECT_TRUE(form.ChooseEntry("组合框1", 0));
    EXPECT_TRUE(form.SlideTo("滑块1", 7));
    EXPECT_EQ(form.TrackPosition("滑块1"), 4);
    EXPECT_TRUE(form.Click("复选框1"));
    EXPECT_TRUE(form.Checked("复选框1"));
    EXPECT_TRUE(form.Click("红"));  // no handler: nothing recorded, but the group changes
    EXPECT_FALSE(form.Checked("绿"));
    form.ListAddRow("列表1", {"a"});
    form.ListAddRow("列表1", {"b"});
    EXPECT_TRUE(form.RightClickRow("列表1", 1));
    EXPECT_EQ(form.ListSelectedRow("列表1"), 1);
    EXPECT_TRUE(form.ClickColumn("列表1", 2));
    EXPECT_TRUE(form.ChooseDate("日期1", 2026, 12, 7));
    FormEventArgs press;
    press.x = 12;
    press.ctrl = true;
    EXPECT_TRUE(form.PressMouse("", press));
    EXPECT_EQ(seen, (std::vector<std::string>{"combo", "slider", "check", "row", "right 1", "column 2",
                                              "date 20261207", "window down 12 ctrl"}));
}

TEST(FormModel, ListClicksComeInTheOrderTheRealListGivesThem) {
    ModelForm form(SampleWindow());
    std::vector<std::string> seen;
    for (FormEvent event : {FormEvent::SelectionChanged, FormEvent::Click, FormEvent::DoubleClick}) {
        form.On("列表1", event, [&seen, event](const FormEventArgs& args) {
            seen.push_back(std::string(FormEventName(event)) + " " + std::to_string(args.row));
        });
    }
    form.Open();
    form.ListAddRow("列表1", {"a"});
    form.ListAddRow("列表1", {"b"});
    form.SelectRow("列表1", 1);
    form.SelectRow("列表1", 1);  // already selected: no selection change
    form.DoubleClick("列表1", 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"SelectionChanged 1", "Click 1", "Click 1", "SelectionChanged 0",
                                              "Click 0", "DoubleClick 0"}));
}

TEST(FormModel, DisabledOrHiddenControlsCannotBeReached) {
    ModelForm form(SampleWindow());
    int clicks = 0;
    form.On("按钮1", FormEvent::Click, [&](const FormEventArgs&) { ++clicks; });
    form.On("按钮2", FormEvent::Click, [&](const FormEventArgs&) { ++clicks; });
    EXPECT_FALSE(form.Click("按钮1")) << "a window not yet open";
    form.Open();
    form.SetEnabled("按钮1", false);
    EXPECT_FALSE(form.Click("按钮1"));
    form.SetEnabled("按钮1", true);
    form.SetVisible("按钮1", false);
    EXPECT_FALSE(form.Click("按钮1"));
    EXPECT_FALSE(form.Click("按钮2")) << "on a tab page not chosen";
    EXPECT_TRUE(form.ChooseTabPage("选项卡1", 1));
    EXPECT_TRUE(form.Click("按钮2"));
    form.SetEnabled("分组框2", false);
    EXPECT_FALSE(form.Click("按钮2")) << "inside a disabled group box";
    EXPECT_EQ(clicks, 1);
}

TEST(FormModel, EventsRaisedInsideAHandlerWaitTheirTurn) {
    ModelForm form(SampleWindow());
    std::vector<std::string> order;
    form.On("", FormEvent::Created, [&](const FormEventArgs&) {
        order.push_back("created");
        form.SetCaption("Ready");
    });
    form.On("按钮1", FormEvent::Click, [&](const FormEventArgs&) {
        order.push_back("button begins");
        form.ChooseEntry("组合框1", 1);  // the person's action queued behind this handler
        order.push_back("button ends");
    });
    form.On("组合框1", FormEvent::SelectionChanged, [&](const FormEventArgs&) {
        order.push_back("combo " + form.Text("组合框1"));
    });
    form.On("", FormEvent::CloseRequested, [&](const FormEventArgs&) {
        order.push_back("close requested");
        form.Close();
    });
    form.On("", FormEvent::Destroying, [&](const FormEventArgs&) { order.push_back("destroying"); });
    form.On("", FormEvent::Moved, [&](const FormEventArgs& args) {
        order.push_back("moved " + std::to_string(args.x) + "," + std::to_string(args.y));
    });

    form.Open();
    EXPECT_TRUE(form.WindowVisible());
    EXPECT_EQ(form.Caption(), "Ready");
    form.Click("按钮1");
    form.MoveWindowTo(30, 40);
    EXPECT_EQ(form.Left(), 30);
    form.RequestClose();
    EXPECT_FALSE(form.IsOpen());
    EXPECT_FALSE(form.Click("按钮1"));
    EXPECT_EQ(order, (std::vector<std::string>{"created", "button begins", "button ends", "combo 1024 x 768",
                                               "moved 30,40", "close requested", "destroying"}));
}

TEST(FormModel, WithoutACloseHandlerTheCloseRequestCloses) {
    ModelForm form(SampleWindow());
    int destroyed = 0;
    form.On("", FormEvent::Destroying, [&](const FormEventArgs&) { ++destroyed; });
    form.Open();
    form.RequestClose();
    form.RequestClose();
    form.Close();
    EXPECT_FALSE(form.IsOpen());
    EXPECT_EQ(destroyed, 1);
}

TEST(FormModel, MenusGiveTheAnswersPrepared) {
    ModelForm form(SampleWindow());
    form.AnswerMenu("菜单", 2);
    EXPECT_EQ(form.ShowMenu("菜单"), 2);
    EXPECT_EQ(form.ShowMenu("菜单"), -1);  // each answer once; then dismissed
    EXPECT_THROW(form.AnswerMenu("菜单", 1), std::out_of_range);  // a separator
    EXPECT_EQ(form.MenusShown().size(), 2u);
}

}  // namespace
}  // namespace runtime

// The program's own five tables pass the checks and become windows: a misspelt container or a page out of
// range in them fails here, before any handler runs.
#include "ui/forms.h"

namespace runtime {
namespace {

TEST(FormModel, TheProgramsWindowsAreWellFormed) {
    const WindowSpec* windows[] = {&ui::MainWindowSpec(), &ui::ServerEditorWindowSpec(), &ui::AudioDialogSpec(),
                                   &ui::DevicesDialogSpec(), &ui::GatewayDialogSpec()};
    for (const WindowSpec* design : windows) {
        SCOPED_TRACE(design->name);
        EXPECT_NO_THROW(ValidateWindowSpec(*design));
        EXPECT_FALSE(design->controls.empty());
    }
}

}  // namespace
}  // namespace runtime

namespace runtime {
namespace {

WindowSpec SmallDialog() {
    WindowSpec design;
    design.name = "SmallDialog";
    ControlSpec edit;
    edit.name = "文本框1";
    edit.kind = ControlKind::Edit;
    design.controls.push_back(edit);
    ControlSpec ok;
    ok.name = "确定";
    ok.kind = ControlKind::Button;
    design.controls.push_back(ok);
    return design;
}

// A handler of the sample window opens the small dialog and takes its text when 确定 is clicked.
struct Opener {
    ModelForm main{SampleWindow()};
    ModelDialogs dialogs;
    std::string result;
    Opener() {
        main.On("按钮1", FormEvent::Click, [this](const FormEventArgs&) {
            dialogs.ShowModal(SmallDialog(), main, [this](Form& dialog) {
                dialog.On("确定", FormEvent::Click, [this, &dialog](const FormEventArgs&) {
                    result = dialog.Text("文本框1");
                    dialog.Close();
                });
            });
        });
        main.Open();
    }
};

TEST(FormModel, AModalDialogDisablesItsOwnerWhileTheTestWorksInIt) {
    Opener program;
    bool ownerEnabledInside = true, ownerClickable = true;
    program.dialogs.Expect("SmallDialog", [&](ModelForm& dialog) {
        ownerEnabledInside = program.main.WindowEnabled();
        ownerClickable = program.main.Click("按钮1");
        EXPECT_TRUE(dialog.TypeText("文本框1", "10.0.0.7"));
        EXPECT_TRUE(dialog.Click("确定"));
    });
    EXPECT_TRUE(program.main.Click("按钮1"));
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_FALSE(ownerClickable);
    EXPECT_TRUE(program.main.WindowEnabled());
    EXPECT_EQ(program.result, "10.0.0.7");
    EXPECT_EQ(program.dialogs.Opened(), std::vector<std::string>{"SmallDialog"});
}

TEST(FormModel, AnUnexpectedOrAbandonedDialogFailsLoudly) {
    Opener program;
    EXPECT_THROW(program.main.Click("按钮1"), std::logic_error);  // no answer prepared
    EXPECT_TRUE(program.main.WindowEnabled());
    program.dialogs.Expect("SmallDialog", [](ModelForm& dialog) { dialog.TypeText("文本框1", "x"); });
    EXPECT_THROW(program.main.Click("按钮1"), std::logic_error);  // left open
    EXPECT_TRUE(program.main.WindowEnabled());
    EXPECT_TRUE(program.main.Click("复选框1")) << "the owner works again";
}

}  // namespace
}  // namespace runtime
