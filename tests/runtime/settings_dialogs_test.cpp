// MainWindow's settings buttons against the in-memory windows: which dialog each opens, that it opens
// modally and centred over MainWindow, and how it closes. The placement figures are worked out by hand from
// the rule (main top + main height / 2 - dialog height / 2, across the same, truncated toward zero) and the
// window sizes of the designer's tables.
#include <gtest/gtest.h>

#include <string>

#include "runtime/form_model.h"
#include "runtime/window_placement.h"
#include "ui/forms.h"
#include "profile/settings_window.h"

namespace {

using runtime::CentreOverMainWindow;
using runtime::ModelDialogs;
using runtime::ModelForm;
using runtime::WindowCorner;

void ExpectCorner(WindowCorner corner, int left, int top) {
    EXPECT_EQ(corner.left, left);
    EXPECT_EQ(corner.top, top);
}

TEST(CentreOverMainWindowTest, HalvesAreTakenInFloatingPointAndTheSumTruncatedTowardZero) {
    // 0 + 462.5 - 202 = 260.5 and 0 + 279 - 196 = 83.
    ExpectCorner(CentreOverMainWindow(0, 0, 925, 558, 404, 392), 260, 83);
    // Halving each size in integers first would give 3 - 1 = 2 here; in floating point 3 - 1.5 = 1.5 -> 1.
    ExpectCorner(CentreOverMainWindow(0, 0, 6, 6, 3, 3), 1, 1);
    // Negative results move toward 0: -301 + 150 - 50.5 = -201.5 -> -201 (rounding down would give -202).
    ExpectCorner(CentreOverMainWindow(-301, -301, 300, 300, 101, 101), -201, -201);
    // A dialog larger than the main window: -10 + 462.5 - 500 = -47.5 -> -47; 0 + 279 - 300 = -21.
    ExpectCorner(CentreOverMainWindow(-10, 0, 925, 558, 1000, 600), -47, -21);
}

TEST(CentreOverMainWindowTest, MovesTheDialogFormOverTheMainWindowForm) {
    ModelForm main(ui::MainWindowSpec());
    main.Open();
    main.MoveTo(101, -37);
    ModelForm gateway(ui::GatewayDialogSpec());  // 476 x 508
    gateway.Open();
    CentreOverMainWindow(gateway, main);
    EXPECT_EQ(gateway.Left(), 325);  // 101 + 462.5 - 238 = 325.5
    EXPECT_EQ(gateway.Top(), -12);   // -37 + 279 - 254
}

struct Opened {
    std::string button;
    std::string dialog;
    int left, top;  // where it must open with MainWindow at (101, -37)
};

class SettingsButtonsTest : public ::testing::TestWithParam<Opened> {};

TEST_P(SettingsButtonsTest, EachButtonOpensItsDialogModallyCentredAndEachWayOutClosesIt) {
    const Opened& expected = GetParam();
    ModelForm main(ui::MainWindowSpec());
    ModelDialogs dialogs;
    profile::ProfileState state;
    profile::BindSettingsWindow(main, dialogs, state, {});
    main.Open();
    main.MoveTo(101, -37);

    // The buttons sit on tab pages, out of reach until the person chooses the page ("本地资源" 1, "高级" 3).
    EXPECT_FALSE(main.Click(expected.button));
    const int page = expected.button == "按钮2" ? 3 : 1;
    ASSERT_TRUE(main.ChooseTabPage("高级选择夹1", page));

    // One way out each time: 取消, 确定, and the close request (Esc, the close box).
    for (const char* wayOut : {"按钮2", "按钮1", ""}) {
        SCOPED_TRACE(std::string("way out ") + (*wayOut ? wayOut : "close request"));
        bool seen = false;
        dialogs.Expect(expected.dialog, [&](ModelForm& dialog) {
            seen = true;
            EXPECT_FALSE(main.WindowEnabled()) << "MainWindow must be disabled while the dialog is open";
            EXPECT_EQ(dialog.Left(), expected.left);
            EXPECT_EQ(dialog.Top(), expected.top);
            if (*wayOut) {
                EXPECT_TRUE(dialog.Click(wayOut));
            } else {
                dialog.RequestClose();
            }
            EXPECT_FALSE(dialog.IsOpen());
        });
        ASSERT_TRUE(main.Click(expected.button));
        EXPECT_TRUE(seen);
        EXPECT_TRUE(main.WindowEnabled());
    }
    EXPECT_EQ(dialogs.Opened().size(), 3u);
}

// 404 x 392: 101 + 462.5 - 202 = 361.5, -37 + 279 - 196 = 46.
// 444 x 362: 101 + 462.5 - 222 = 341.5, -37 + 279 - 181 = 61.
// 476 x 508: 101 + 462.5 - 238 = 325.5, -37 + 279 - 254 = -12.
INSTANTIATE_TEST_SUITE_P(Dialogs, SettingsButtonsTest,
                         ::testing::Values(Opened{"按钮1", "AudioDialog", 361, 46},
                                           Opened{"按钮5", "DevicesDialog", 341, 61},
                                           Opened{"按钮2", "GatewayDialog", 325, -12}));

}  // namespace
