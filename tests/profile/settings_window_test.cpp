// The settings side of the main window on the in-memory windows, as a person uses it: the speed presets, the
// size slider and the all-monitors box, the three dialogs, and the banner's buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile/display_sizes.h"
#include "profile/settings_window.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

using profile::ProfileState;
using runtime::ModelForm;

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        profile::SettingsServices services;
        services.openWebPage = [this](const std::string& address) { done.push_back(address); };
        services.dragMainWindow = [this] { done.push_back("drag"); };
        services.hideMainWindow = [this] { done.push_back("hide"); };
        profile::BindSettingsWindow(main, dialogs, state, services);
        main.Open();
    }
    // Builds the size list from `modes` as the start-up does and puts the slider at `position`.
    void Sizes(const std::vector<profile::DisplaySize>& modes, int position) {
        state.DisplayModeList = profile::DisplayModeTexts(modes);
        main.SetTrackRange("滑块条1", 1, static_cast<int>(state.DisplayModeList.size()));
        main.SetTrackPosition("滑块条1", position);
        profile::ApplySliderPosition(main, state);
    }
    std::string Boxes() const {
        std::string states;
        for (int i = 7; i <= 12; ++i) states += main.Checked("选择框" + std::to_string(i)) ? '1' : '0';
        return states + (main.Enabled("选择框7") ? " on" : " off");
    }

    ModelForm main{ui::MainWindowSpec()};
    runtime::ModelDialogs dialogs;
    ProfileState state;
    std::vector<std::string> done;
};

TEST_F(SettingsWindowTest, EachSpeedSetsItsPresetWhenThePersonChoosesIt) {
    const char* expected[] = {"000000 on", "000001 on", "001001 on", "001001 on", "111111 on", "111111 on", "100001 off"};
    ASSERT_TRUE(main.ChooseTabPage("高级选择夹1", 2));
    for (int index : {6, 0, 1, 2, 3, 4, 5, 6, 2}) {
        ASSERT_TRUE(main.ChooseEntry("组合框3", index));
        EXPECT_EQ(Boxes(), expected[index]) << index;
        EXPECT_EQ(main.Text("标签11"), index == 6 ? "与连接质量相关的功能:" : "允许以下功能:");
    }
    main.SetSelection("组合框3", 6);  // from code: no preset
    EXPECT_EQ(Boxes(), "001001 on");
}

TEST_F(SettingsWindowTest, TheSliderAndTheAllMonitorsBox) {
    // Repeats (other depths and frequencies) give one entry each; the last entry is full screen.
    Sizes({{1024, 768}, {1920, 1080}, {1024, 768}, {1920, 1080}, {800, 600}}, 3);
    EXPECT_EQ(state.DisplayModeList,
              (std::vector<std::string>{"1024 x 768 像素", "1920 x 1080 像素", "800 x 600 像素", "全屏"}));
    EXPECT_EQ(state.kd + "/" + state.gd + "/" + std::to_string(state.wz1), "800/600/3");
    ASSERT_TRUE(main.SlideTo("滑块条1", 4));  // full screen keeps the last size
    EXPECT_EQ(main.Text("标签4"), "全屏");
    EXPECT_EQ(state.kd + "/" + state.gd + "/" + std::to_string(state.wz1), "800/600/4");
    ASSERT_TRUE(main.SlideTo("滑块条1", 2));
    ASSERT_TRUE(main.Click("选择框1"));
    EXPECT_EQ(main.TrackPosition("滑块条1"), 4);
    EXPECT_FALSE(main.Enabled("滑块条1"));
    EXPECT_EQ(main.Text("标签4"), "全屏");
    ASSERT_TRUE(main.Click("选择框1"));
    EXPECT_EQ(main.TrackPosition("滑块条1"), 2);
    EXPECT_EQ(main.Text("标签4") + " " + state.kd + "/" + state.gd, "1920 x 1080 像素 1920/1080");

    // A stored position beyond the list is full screen; a screen without modes offers only full screen.
    Sizes({{1024, 768}}, 5);
    EXPECT_EQ(main.TrackPosition("滑块条1"), 2);
    EXPECT_EQ(state.wz1, 2);
    state = ProfileState{};
    Sizes({}, 1);
    EXPECT_EQ(main.Text("标签4"), "全屏");
    EXPECT_TRUE(state.kd.empty() && state.gd.empty());
}

TEST_F(SettingsWindowTest, AudioAndDevicesDialogsFillConfirmAndCancel) {
    state.ypxz = "3";
    state.yplz = "1";
    state.znxz = "1";
    state.qdxz = "1";
    ASSERT_TRUE(main.ChooseTabPage("高级选择夹1", 1));
    dialogs.Expect("AudioDialog", [](ModelForm& d) {
        EXPECT_TRUE(d.Checked("单选框3") && d.Checked("单选框4") && !d.Checked("单选框1"));
        d.Click("单选框2");
        d.Click("单选框5");
        d.Click("按钮2");  // cancelled: nothing stored
    });
    ASSERT_TRUE(main.Click("按钮1"));
    EXPECT_EQ(state.ypxz + state.yplz, "31");
    dialogs.Expect("AudioDialog", [](ModelForm& d) {
        d.Click("单选框2");
        d.Click("单选框5");
        d.Click("按钮1");
    });
    ASSERT_TRUE(main.Click("按钮1"));
    EXPECT_EQ(state.ypxz + state.yplz, "22");
    dialogs.Expect("DevicesDialog", [](ModelForm& d) {
        EXPECT_TRUE(d.Checked("选择框1") && !d.Checked("选择框2") && d.Checked("选择框3"));
        d.Click("选择框1");
        d.Click("选择框5");
        d.Click("按钮1");
    });
    ASSERT_TRUE(main.Click("按钮5"));
    EXPECT_EQ(state.znxz + state.dkxz + state.qdxz + state.spbhxz + state.qtzcxz, "00101");
}

TEST_F(SettingsWindowTest, TheGatewayDialogFollowsItsRadioButtonsAndNeedsAServerName) {
    state.zdjcRD = "1";
    state.syRD = state.bsyRD = state.bsybdRD = state.RDpj = "0";
    state.RDmc = "1121";
    state.RDdl = "1";
    ASSERT_TRUE(main.ChooseTabPage("高级选择夹1", 3));
    auto detailsEnabled = [](ModelForm& d) {
        return d.Enabled("编辑框1") && d.Enabled("组合框1") && d.Enabled("选择框1") && d.Enabled("选择框2");
    };
    dialogs.Expect("GatewayDialog", [&](ModelForm& d) {
        EXPECT_TRUE(d.Checked("单选框1"));
        EXPECT_FALSE(d.Enabled("编辑框1"));
        EXPECT_EQ(d.Selection("组合框1"), 1);
        d.Click("单选框2");
        EXPECT_TRUE(detailsEnabled(d));
        d.TypeText("编辑框1", "");
        d.Click("按钮1");  // refused: the dialog stays, nothing stored
        EXPECT_TRUE(d.IsOpen());
        EXPECT_EQ(dialogs.Messages().back().text, "必须指定有效网关服务器地址。");
        EXPECT_EQ(dialogs.Messages().back().title, "远程桌面连接");
        d.TypeText("编辑框1", "gw.example");
        d.Click("选择框2");
        d.Click("按钮1");
    });
    ASSERT_TRUE(main.Click("按钮2"));
    EXPECT_EQ(state.zdjcRD + state.syRD + state.bsyRD + state.RDpj + " " + state.RDmc, "0101 gw.example");
    // Another choice keeps the name typed before it.
    dialogs.Expect("GatewayDialog", [&](ModelForm& d) {
        EXPECT_TRUE(d.Checked("单选框2") && detailsEnabled(d));
        d.TypeText("编辑框1", "typed anyway");
        d.Click("单选框3");
        EXPECT_FALSE(detailsEnabled(d));
        d.Click("按钮1");
    });
    ASSERT_TRUE(main.Click("按钮2"));
    EXPECT_EQ(state.zdjcRD + state.syRD + state.bsyRD + " " + state.RDmc, "001 typed anyway");
}

TEST_F(SettingsWindowTest, TheBannerButtonsOpenTheirPagesDragAndHide) {
    ASSERT_TRUE(main.Click("按钮6"));
    ASSERT_TRUE(main.Click("按钮7"));
    ASSERT_TRUE(main.PressMouse("图片框3", {}));
    ASSERT_TRUE(main.Click("按钮最小化"));
    EXPECT_EQ(done, (std::vector<std::string>{profile::kFileSettingsAddress, profile::kClientHelpAddress, "drag", "hide"}));
}

}  // namespace
