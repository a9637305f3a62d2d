// MainWindow as a person meets it in the running program: its controls by designer name with their captions,
// the server list's columns, and the three settings buttons, each opening its dialog modally and centred
// over MainWindow, with the ways out of the dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

// Where the dialog must stand over the main window: main top + main height / 2 - dialog height / 2, the
// same across, in floating point and truncated toward zero.
void ExpectCentredOver(HWND dialog, HWND main) {
    RECT mainRect = {}, dialogRect = {};
    ASSERT_TRUE(GetWindowRect(main, &mainRect));
    ASSERT_TRUE(GetWindowRect(dialog, &dialogRect));
    const double mainWidth = mainRect.right - mainRect.left, mainHeight = mainRect.bottom - mainRect.top;
    const double width = dialogRect.right - dialogRect.left, height = dialogRect.bottom - dialogRect.top;
    EXPECT_EQ(dialogRect.left, static_cast<int>(mainRect.left + mainWidth / 2 - width / 2));
    EXPECT_EQ(dialogRect.top, static_cast<int>(mainRect.top + mainHeight / 2 - height / 2));
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring exe = PrepareProgramFolder(L"main-window");
        ASSERT_FALSE(exe.empty()) << "could not copy QUILLON_EXE into the test folder";
        program_ = StartQuillon(exe);
        ASSERT_TRUE(program_.Started()) << program_.Error();
        main_ = WaitForMainWindow(program_);
        ASSERT_NE(main_, nullptr) << "no visible main window";
    }
    void TearDown() override {
        if (!program_.Started()) return;
        if (main_ && CloseQuillon(program_, main_) && program_.WaitForExit(kReactTimeout)) {
            EXPECT_EQ(program_.ExitCode(), 0u);
        } else {
            ADD_FAILURE() << "the program did not end on the close request";
            program_.Terminate();
        }
    }

    // Opens the dialog `name` with `button` and checks it is modal over MainWindow and centred over it.
    HWND OpenDialog(const std::wstring& button, const std::string& name) {
        HWND control = FindControl(main_, Gbk(button));
        EXPECT_NE(control, nullptr);
        if (!control) return nullptr;
        EXPECT_TRUE(Click(control));
        HWND dialog = program_.WaitForNamedWindow(name, kReactTimeout);
        EXPECT_NE(dialog, nullptr) << name << " did not open";
        if (!dialog) return nullptr;
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), main_);
        EXPECT_TRUE(WaitUntil([&] { return !IsEnabled(main_); }, kReactTimeout)) << "MainWindow not disabled";
        // Keys go to the focus of the active window: the person presses Esc once the dialog has come up in
        // front with the keyboard in it (on a busy machine the focus can follow the activation a little later).
        EXPECT_TRUE(WaitUntil(
            [&] {
                GUITHREADINFO info = {};
                info.cbSize = sizeof info;
                return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndActive == dialog &&
                       (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus));
            },
            kReactTimeout))
            << "the dialog did not become the active window with the keyboard";
        ExpectCentredOver(dialog, main_);
        return dialog;
    }

    void ExpectClosed(HWND dialog) {
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kReactTimeout)) << "the dialog is still open";
        EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main_) != FALSE; }, kReactTimeout))
            << "MainWindow not enabled again";
    }

    Process program_;
    HWND main_ = nullptr;
};

TEST_F(MainWindowTest, TheControlsAreThereWithTheirCaptionsAndTheServerListItsColumns) {
    struct Captioned {
        const wchar_t* name;
        const wchar_t* caption;
    };
    for (const Captioned& expected : {Captioned{L"按钮3", L"连接服务器(N)"}, Captioned{L"分组框1", L"服务器列表"},
                                      Captioned{L"按钮1", L"设置(S)..."}, Captioned{L"分组框4", L"远程音频"}}) {
        HWND control = FindControl(main_, Gbk(expected.name));
        ASSERT_NE(control, nullptr) << Gbk(expected.name);
        EXPECT_EQ(ReadText(control), Gbk(expected.caption)) << Gbk(expected.name);
        EXPECT_EQ(GetAncestor(control, GA_ROOT), main_);
    }

    HWND list = FindControl(main_, Gbk(L"超级列表框1"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ClassName(list), "SysListView32");
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    const int widths[] = {0, 0, 40, 50, 110, 45, 160, 130};  // user and password hidden
    ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 8);
    for (int column = 0; column < 8; ++column) {
        EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0), widths[column]) << "column " << column;
    }
}

TEST_F(MainWindowTest, TheAudioButtonOpensItsDialogModallyCentredAndEscClosesIt) {
    HWND button = FindControl(main_, Gbk(L"按钮1"));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(IsShown(button)) << "on page 本地资源, not the first page";
    ChooseSettingsPage(main_, 1, L"按钮1");
    HWND dialog = OpenDialog(L"按钮1", "AudioDialog");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PressEscape(dialog));
    ExpectClosed(dialog);
}

TEST_F(MainWindowTest, TheDevicesButtonOpensItsDialogAndOkClosesIt) {
    ChooseSettingsPage(main_, 1, L"按钮5");
    HWND dialog = OpenDialog(L"按钮5", "DevicesDialog");
    ASSERT_NE(dialog, nullptr);
    HWND ok = FindControl(dialog, Gbk(L"按钮1"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ReadText(ok), Gbk(L"确定"));
    ASSERT_TRUE(Click(ok));
    ExpectClosed(dialog);
}

TEST_F(MainWindowTest, TheGatewayButtonOpensItsDialogAndCancelClosesIt) {
    ChooseSettingsPage(main_, 3, L"按钮2");
    HWND dialog = OpenDialog(L"按钮2", "GatewayDialog");
    ASSERT_NE(dialog, nullptr);
    HWND cancel = FindControl(dialog, Gbk(L"按钮2"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(ReadText(cancel), Gbk(L"取消"));
    ASSERT_TRUE(Click(cancel));
    ExpectClosed(dialog);
}

}  // namespace
}  // namespace wine_driver
