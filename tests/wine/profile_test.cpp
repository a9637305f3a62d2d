// The connection profile in the running program, as a person uses it: settings changed on the pages and in
// the gateway dialog, saved, and there again after a restart; and a link button opening its page in the
// browser (here a stand-in that records the address: tests/wine/tools/record_browser.sh).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "catalogue/config_database.h"
#include "profile/settings_window.h"
#include "runtime/text_codec.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

HWND Control(HWND window, const wchar_t* name) {
    HWND control = FindControl(window, Gbk(name));
    EXPECT_NE(control, nullptr) << Gbk(name);
    return control;
}

HWND StartUntilLoaded(Process& program, const std::wstring& exe) {
    program = StartQuillon(exe);
    EXPECT_TRUE(program.Started()) << program.Error();
    HWND main = WaitForMainWindow(program);
    EXPECT_NE(main, nullptr);
    if (main) {
        EXPECT_TRUE(WaitUntil([&] { return GetPropW(main, L"QuillonLoaded") != nullptr; }, kReactTimeout));
    }
    return main;
}

HWND OpenGatewayDialog(const Process& program, HWND main) {
    ChooseSettingsPage(main, 3, L"按钮2");
    EXPECT_TRUE(Click(Control(main, L"按钮2")));
    HWND dialog = program.WaitForNamedWindow("GatewayDialog", kReactTimeout);
    EXPECT_NE(dialog, nullptr);
    return dialog;
}

void CloseAndWait(Process& program, HWND main) {
    ASSERT_TRUE(CloseQuillon(program, main));
    ASSERT_TRUE(program.WaitForExit(kReactTimeout));
}

TEST(ProfileTest, SettingsSavedComeBackAfterARestartAndALinkOpensItsPage) {
    const std::wstring exe = PrepareProgramFolder(L"profile");
    ASSERT_FALSE(exe.empty());
    const std::wstring database = exe.substr(0, exe.find_last_of(L'\\')) + L"\\config.MDB";
    // Wine opens web addresses with the programs named in its registry: the stand-in, which writes to
    // browser.log in this test's scratch folder.
    const std::wstring log = JoinPath(Environment(L"QUILLON_TEST_DIR"), L"browser.log");
    const std::wstring browser = Wide(QUILLON_SOURCE_DIR "/tests/wine/tools/record_browser.sh");
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers", REG_SZ, browser.c_str(),
                              static_cast<DWORD>((browser.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    Process program;
    HWND main = StartUntilLoaded(program, exe);
    ASSERT_NE(main, nullptr);
    EXPECT_NE(ReadText(Control(main, L"标签4")), Gbk(L"000 x 000 像素")) << "no display sizes were loaded";

    // "体验": automatic detection of the connection quality, and no persistent bitmap cache.
    ChooseSettingsPage(main, 2, L"组合框3");
    HWND speed = Control(main, L"组合框3");
    EXPECT_EQ(ComboSelection(speed), 5);
    ASSERT_TRUE(PressKey(speed, VK_DOWN));
    EXPECT_TRUE(WaitUntil([&] { return ComboSelection(speed) == 6; }, kReactTimeout));
    EXPECT_TRUE(WaitUntil([&] { return !IsEnabled(Control(main, L"选择框7")); }, kReactTimeout));
    EXPECT_EQ(ReadText(Control(main, L"标签11")), Gbk(L"与连接质量相关的功能:"));
    ASSERT_TRUE(Click(Control(main, L"选择框13")));
    EXPECT_TRUE(WaitUntil([&] { return CheckState(Control(main, L"选择框13")) == BST_UNCHECKED; }, kReactTimeout));

    // "高级": a gateway of our own, its name with a quote.
    HWND gateway = OpenGatewayDialog(program, main);
    ASSERT_NE(gateway, nullptr);
    ASSERT_TRUE(Click(Control(gateway, L"单选框2")));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(Control(gateway, L"编辑框1")) != FALSE; }, kReactTimeout));
    ASSERT_TRUE(TypeOver(Control(gateway, L"编辑框1"), "gw's.example"));
    ASSERT_TRUE(Click(Control(gateway, L"按钮1")));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(gateway); }, kReactTimeout));

    ASSERT_TRUE(Click(Control(main, L"按钮4")));
    std::optional<MessageBoxView> saved = WaitForMessageBox(program.Id());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->text, Gbk(L"保存成功..."));
    ASSERT_TRUE(PressButton(saved->dialog, Gbk(L"确定")));

    ASSERT_TRUE(Click(Control(main, L"按钮6")));
    auto logged = [&] { return ReadFileBytes(log).value_or(""); };
    EXPECT_TRUE(WaitUntil([&] { return logged() == std::string(profile::kFileSettingsAddress) + "\n"; }, kStartTimeout))
        << logged();
    CloseAndWait(program, main);

    catalogue::ConfigDatabase reader;
    ASSERT_TRUE(reader.OpenForReading(Utf8(database))) << reader.LastError();
    ASSERT_TRUE(reader.OpenTable("config"));
    EXPECT_EQ(reader.ReadText("xnxz") + reader.ReadText("twhcxz") + reader.ReadText("syRD") + reader.ReadText("zdjcRD"),
              "7010");
    EXPECT_EQ(reader.ReadText("RDmc"), "gw's.example");
    reader.CloseConnection();

    main = StartUntilLoaded(program, exe);
    ASSERT_NE(main, nullptr);
    ChooseSettingsPage(main, 2, L"组合框3");
    EXPECT_EQ(ComboSelection(Control(main, L"组合框3")), 6);
    EXPECT_EQ(CheckState(Control(main, L"选择框13")), BST_UNCHECKED);
    EXPECT_FALSE(IsEnabled(Control(main, L"选择框7")));
    gateway = OpenGatewayDialog(program, main);
    ASSERT_NE(gateway, nullptr);
    EXPECT_EQ(CheckState(Control(gateway, L"单选框2")), BST_CHECKED);
    EXPECT_EQ(ReadText(Control(gateway, L"编辑框1")), "gw's.example");
    ASSERT_TRUE(Click(Control(gateway, L"按钮2")));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(gateway); }, kReactTimeout));
    CloseAndWait(program, main);
}

}  // namespace
}  // namespace wine_driver
