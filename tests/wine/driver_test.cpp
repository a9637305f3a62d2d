// The test driver itself, against the helper programs of tests/wine/tools: the other Windows-side tests rely
// on it to see what a person would see, so what it reports must be what the other process shows.
#include <gtest/gtest.h>

#include "wine/driver/driver.h"

#include <commctrl.h>

namespace wine_driver {
namespace {

std::wstring Tool(const wchar_t* name) {
    std::wstring path = ToolPath(name);
    EXPECT_FALSE(path.empty()) << "helper program " << Gbk(name) << " not found";
    return path;
}

TEST(DriverTest, StartsAProgramFindsItsWindowAndEndsItWithACloseRequest) {
    Process program = Process::Start(Tool(L"minimal_window.exe"));
    ASSERT_TRUE(program.Started()) << program.Error();
    HWND window = program.WaitForVisibleWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ProcessIdOf(window), program.Id());
    EXPECT_EQ(ClassName(window), "MinimalWindow");
    EXPECT_EQ(ReadText(window), "Minimal");
    EXPECT_EQ(ControlName(window), "");  // the minimal program names nothing
    EXPECT_TRUE(program.Running());
    EXPECT_FALSE(program.ExitCode().has_value());

    ASSERT_TRUE(RequestClose(window));
    ASSERT_TRUE(program.WaitForExit(kReactTimeout));
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_TRUE(TopLevelWindowsOf(program.Id()).empty());
}

TEST(DriverTest, AFailedStartSaysWhy) {
    Process program = Process::Start(L"Z:\\no\\such\\program.exe");
    EXPECT_FALSE(program.Started());
    EXPECT_NE(program.Error().find("CreateProcessW failed"), std::string::npos) << program.Error();
    EXPECT_EQ(program.WaitForVisibleWindow(500), nullptr);
}

// One start of the controls window, every kind of control read and driven in turn.
TEST(DriverTest, FindsControlsByNameReadsAndDrivesThem) {
    Process program = Process::Start(Tool(L"window_host.exe"), L"controls");
    ASSERT_TRUE(program.Started()) << program.Error();
    HWND window = program.WaitForNamedWindow("HostWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ReadText(window), Gbk(L"控件窗口"));
    EXPECT_EQ(FindControl(window, "HostWindow"), window);
    EXPECT_EQ(FindControl(window, Gbk(L"按钮9")), nullptr);

    HWND label = FindControl(window, Gbk(L"标签1"));
    HWND button = FindControl(window, Gbk(L"按钮1"));
    HWND disabled = FindControl(window, Gbk(L"按钮2"));
    HWND edit = FindControl(window, Gbk(L"文本框1"));
    HWND check = FindControl(window, Gbk(L"选择框1"));
    HWND combo = FindControl(window, Gbk(L"组合框1"));
    HWND track = FindControl(window, Gbk(L"滑块1"));
    HWND list = FindControl(window, Gbk(L"列表1"));
    for (HWND control : {label, button, disabled, edit, check, combo, track, list}) ASSERT_NE(control, nullptr);
    EXPECT_EQ(ControlName(edit), Gbk(L"文本框1"));

    // Texts and states.
    EXPECT_EQ(ReadText(label), Gbk(L"未点击"));
    EXPECT_EQ(ReadText(button), Gbk(L"确定"));
    EXPECT_TRUE(IsEnabled(button));
    EXPECT_FALSE(IsEnabled(disabled));
    EXPECT_TRUE(IsShown(button));
    EXPECT_EQ(ComboCount(combo), 3);
    EXPECT_EQ(ComboSelection(combo), 1);
    EXPECT_EQ(ComboItemText(combo, 2), Gbk(L"丙"));
    EXPECT_EQ(TrackPosition(track), 3);

    // Clicks reach the button's owner as BN_CLICKED, one per click.
    ASSERT_TRUE(Click(button));
    ASSERT_TRUE(Click(button));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(label) == "clicked 2"; }, kReactTimeout)) << ReadText(label);
    EXPECT_EQ(CheckState(check), BST_UNCHECKED);
    ASSERT_TRUE(Click(check));
    EXPECT_TRUE(WaitUntil([&] { return CheckState(check) == BST_CHECKED; }, kReactTimeout));

    // Typing: replacing the text, then characters one by one (Chinese ones too).
    ASSERT_TRUE(SetText(edit, "abc"));
    EXPECT_EQ(ReadText(edit), "abc");
    ASSERT_TRUE(SetText(edit, ""));
    ASSERT_TRUE(TypeText(edit, Gbk(L"服务器 A1")));
    EXPECT_EQ(ReadText(edit), Gbk(L"服务器 A1"));

    // The list view's cells, read through memory of the other process.
    EXPECT_EQ(ListItemCount(list), 2);
    std::vector<std::vector<std::string>> expected = {{Gbk(L"服务器一"), "192.168.0.1"},
                                                      {Gbk(L"服务器二"), "10.0.0.2"}};
    EXPECT_EQ(ListRows(list, 2), expected);
    EXPECT_EQ(ListCellText(list, 1, 1), std::optional<std::string>("10.0.0.2"));
    EXPECT_EQ(ListSelection(list), 1);

    // Esc goes through the program's message loop (the host ends with 27 on Esc, 0 on a close).
    ASSERT_TRUE(PressEscape(window));
    ASSERT_TRUE(program.WaitForExit(kReactTimeout));
    EXPECT_EQ(program.ExitCode(), 27u);
}

TEST(DriverTest, AnswersAMessageBoxThatAClickOpened) {
    Process program = Process::Start(Tool(L"window_host.exe"), L"controls");
    ASSERT_TRUE(program.Started()) << program.Error();
    HWND window = program.WaitForNamedWindow("HostWindow");
    ASSERT_NE(window, nullptr);
    HWND ask = FindControl(window, Gbk(L"按钮3"));
    HWND label = FindControl(window, Gbk(L"标签1"));
    ASSERT_NE(ask, nullptr);

    // The click opens a modal message box; the driver must not wait for it to close.
    ASSERT_TRUE(Click(ask));
    std::optional<MessageBoxView> box = WaitForMessageBox(program.Id());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->title, Gbk(L"提问"));
    EXPECT_EQ(box->text, Gbk(L"继续吗？"));
    EXPECT_TRUE(box->hasIcon);
    EXPECT_EQ(box->owner, window);
    EXPECT_EQ(box->buttons.size(), 2u);
    EXPECT_FALSE(IsEnabled(window));  // modal: the owner is disabled while the box is up

    ASSERT_TRUE(PressButtonId(box->dialog, IDCANCEL));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(label) == "answer 2"; }, kReactTimeout)) << ReadText(label);
    EXPECT_FALSE(FindMessageBox(program.Id()).has_value());

    // Once more, answered by the caption the box shows on its first button (OK).
    ASSERT_TRUE(Click(ask));
    box = WaitForMessageBox(program.Id());
    ASSERT_TRUE(box.has_value());
    ASSERT_FALSE(box->buttons.empty());
    ASSERT_TRUE(PressButton(box->dialog, box->buttons.front()));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(label) == "answer 1"; }, kReactTimeout)) << ReadText(label);

    ASSERT_TRUE(RequestClose(window));
    ASSERT_TRUE(program.WaitForExit(kReactTimeout));
    EXPECT_EQ(program.ExitCode(), 0u);
}

TEST(DriverTest, TellsAMessageBoxWithAnIconFromOneWithout) {
    for (bool withIcon : {false, true}) {
        SCOPED_TRACE(withIcon ? "with icon" : "without icon");
        Process program = Process::Start(Tool(L"window_host.exe"),
                                         withIcon ? L"messagebox icon \"警告：\" \"数据库连接失败！\""
                                                  : L"messagebox plain \"警告：\" \"数据库连接失败！\"");
        ASSERT_TRUE(program.Started()) << program.Error();
        std::optional<MessageBoxView> box = WaitForMessageBox(program.Id(), kStartTimeout);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->title, Gbk(L"警告："));
        EXPECT_EQ(box->text, Gbk(L"数据库连接失败！"));
        EXPECT_EQ(box->hasIcon, withIcon);
        EXPECT_EQ(box->owner, nullptr);
        EXPECT_EQ(box->buttons.size(), 1u);
        EXPECT_NE(GetDlgItem(box->dialog, IDOK), nullptr);
        ASSERT_TRUE(PressButtonId(box->dialog, IDOK));
        ASSERT_TRUE(program.WaitForExit(kReactTimeout));
        EXPECT_EQ(program.ExitCode(), static_cast<DWORD>(IDOK));
    }
}

TEST(DriverTest, FreshFoldersAreEmptyAndFilesRoundTrip) {
    std::wstring folder = FreshFolder(L"driver-files");
    ASSERT_FALSE(folder.empty());
    std::wstring path = JoinPath(folder, L"bytes.bin");
    std::string bytes("a\0b\r\n\xFF", 6);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadFileBytes(path), std::optional<std::string>(bytes));
    EXPECT_EQ(ListFolder(folder), std::vector<std::wstring>{L"bytes.bin"});

    EXPECT_EQ(FreshFolder(L"driver-files"), folder);
    EXPECT_TRUE(ListFolder(folder).empty());
    EXPECT_FALSE(ReadFileBytes(path).has_value());
}

}  // namespace
}  // namespace wine_driver
