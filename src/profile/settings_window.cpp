#include "profile/settings_window.h"

#include "profile/display_sizes.h"
#include "runtime/text_number.h"
#include "runtime/window_placement.h"
#include "ui/forms.h"

namespace profile {
namespace {

using runtime::Form;
using runtime::FormEvent;
using runtime::FormEventArgs;

constexpr const char* kExperienceBoxes[] = {"选择框7", "选择框8", "选择框9", "选择框10", "选择框11", "选择框12"};

// The speed presets, by 组合框3 index: the six boxes' checked states (选择框7 .. 选择框12), whether they can
// be changed, and 标签11's text.
struct SpeedPreset {
    bool checked[6];
    bool enabled;
    const char* label;
};
constexpr char kAllowed[] = "允许以下功能:";
constexpr SpeedPreset kSpeedPresets[] = {
    {{false, false, false, false, false, false}, true, kAllowed},          // modem
    {{false, false, false, false, false, true}, true, kAllowed},           // low-speed broadband
    {{false, false, true, false, false, true}, true, kAllowed},            // satellite
    {{false, false, true, false, false, true}, true, kAllowed},            // high-speed broadband
    {{true, true, true, true, true, true}, true, kAllowed},                // WAN
    {{true, true, true, true, true, true}, true, kAllowed},                // LAN
    {{true, false, false, false, false, true}, false, "与连接质量相关的功能:"},  // detect automatically
};

std::string Flag(bool set) { return set ? "1" : "0"; }

// Each dialog: centred over the main window and filled when it opens; 确定 (按钮1) stores and closes (the
// store may refuse and keep it open); 取消 (按钮2), like the close box and Esc, closes it storing nothing.
void BindDialog(Form& dialog, Form& mainWindow, std::function<void()> fill, std::function<bool()> store) {
    dialog.On("", FormEvent::Created, [&dialog, &mainWindow, fill](const FormEventArgs&) {
        runtime::CentreOverMainWindow(dialog, mainWindow);
        fill();
    });
    dialog.On("按钮1", FormEvent::Click, [&dialog, store](const FormEventArgs&) {
        if (store()) dialog.Close();
    });
    dialog.On("按钮2", FormEvent::Click, [&dialog](const FormEventArgs&) { dialog.Close(); });
}

void BindAudioDialog(Form& dialog, Form& mainWindow, ProfileState& state) {
    BindDialog(
        dialog, mainWindow,
        [&] {
            for (int i = 1; i <= 3; ++i) dialog.SetChecked("单选框" + std::to_string(i), state.ypxz == std::to_string(i));
            for (int i = 1; i <= 2; ++i)
                dialog.SetChecked("单选框" + std::to_string(i + 3), state.yplz == std::to_string(i));
        },
        [&] {
            // The first checked button of each group gives its number; none checked leaves the value alone.
            for (int i = 1; i <= 3; ++i) {
                if (dialog.Checked("单选框" + std::to_string(i))) {
                    state.ypxz = std::to_string(i);
                    break;
                }
            }
            for (int i = 1; i <= 2; ++i) {
                if (dialog.Checked("单选框" + std::to_string(i + 3))) {
                    state.yplz = std::to_string(i);
                    break;
                }
            }
            return true;
        });
}

void BindDevicesDialog(Form& dialog, Form& mainWindow, ProfileState& state) {
    static constexpr std::string ProfileState::*kDevices[] = {&ProfileState::znxz, &ProfileState::dkxz,
                                                               &ProfileState::qdxz, &ProfileState::spbhxz,
                                                               &ProfileState::qtzcxz};
    BindDialog(
        dialog, mainWindow,
        [&] {
            for (int i = 0; i < 5; ++i) dialog.SetChecked("选择框" + std::to_string(i + 1), state.*kDevices[i] == "1");
        },
        [&] {
            for (int i = 0; i < 5; ++i) state.*kDevices[i] = Flag(dialog.Checked("选择框" + std::to_string(i + 1)));
            return true;
        });
}

// The gateway dialog's four detail controls follow its radio buttons: enabled only for "使用这些 RD 网关服务器
// 设置(U):".
void EnableGatewayDetails(Form& dialog, bool enabled) {
    for (const char* control : {"编辑框1", "组合框1", "选择框1", "选择框2"}) dialog.SetEnabled(control, enabled);
}

void BindGatewayDialog(Form& dialog, Form& mainWindow, ProfileState& state, runtime::Dialogs& dialogs) {
    BindDialog(
        dialog, mainWindow,
        [&] {
            // In this order, so that when several are "1" the last one sets the details.
            struct Radio { const char* control; const std::string* value; bool details; };
            for (Radio radio : {Radio{"单选框1", &state.zdjcRD, false}, Radio{"单选框3", &state.bsyRD, false},
                                Radio{"单选框2", &state.syRD, true}}) {
                if (*radio.value == "1") {
                    EnableGatewayDetails(dialog, radio.details);
                    dialog.SetChecked(radio.control, true);
                } else {
                    dialog.SetChecked(radio.control, false);
                }
            }
            dialog.SetText("编辑框1", state.RDmc);
            int method = runtime::TextToInt(state.RDdl);
            int methods = static_cast<int>(dialog.Entries("组合框1").size());
            dialog.SetSelection("组合框1", method >= 0 && method < methods ? method : -1);
            dialog.SetChecked("选择框1", state.bsybdRD == "1");
            dialog.SetChecked("选择框2", state.RDpj == "1");
        },
        [&] {
            const bool useThese = dialog.Checked("单选框2");
            if (useThese && dialog.Text("编辑框1").empty()) {
                dialogs.ShowMessage({"必须指定有效网关服务器地址。", "远程桌面连接", runtime::MessageIcon::Error,
                                     runtime::MessageButtons::Ok});
                return false;
            }
            // A name GBK cannot hold would be stored with look-alikes or '?' and never reach the gateway.
            if (!dialog.TextFitsGbk("编辑框1")) {
                dialogs.ShowMessage({"网关服务器名称中有无法保存的字符(请只用中文、英文字母、数字和常用符号)...",
                                     "远程桌面连接", runtime::MessageIcon::Error, runtime::MessageButtons::Ok});
                return false;
            }
            state.syRD = Flag(useThese);
            state.zdjcRD = Flag(dialog.Checked("单选框1"));
            state.bsyRD = Flag(dialog.Checked("单选框3"));
            state.RDmc = dialog.Text("编辑框1");
            int method = dialog.Selection("组合框1");
            if (method >= 0 && method <= 2) state.RDdl = std::to_string(method);
            state.bsybdRD = Flag(dialog.Checked("选择框1"));
            state.RDpj = Flag(dialog.Checked("选择框2"));
            return true;
        });
    for (const char* radio : {"单选框1", "单选框2", "单选框3"}) {
        dialog.On(radio, FormEvent::Click, [&dialog, radio](const FormEventArgs&) {
            if (dialog.Checked(radio)) EnableGatewayDetails(dialog, std::string(radio) == "单选框2");
        });
    }
}

void BindDialogButton(Form& mainWindow, runtime::Dialogs& dialogs, const char* button, const runtime::WindowSpec& design,
                      std::function<void(Form& dialog)> bind) {
    mainWindow.On(button, FormEvent::Click, [&mainWindow, &dialogs, &design, bind](const FormEventArgs&) {
        dialogs.ShowModal(design, mainWindow, bind);
    });
}

}  // namespace

void ApplyConnectionSpeed(Form& mainWindow) {
    int index = mainWindow.Selection(kSpeed);
    if (index < 0 || index >= static_cast<int>(std::size(kSpeedPresets))) return;
    const SpeedPreset& preset = kSpeedPresets[index];
    mainWindow.SetText(kSpeedLabel, preset.label);
    for (size_t i = 0; i < std::size(kExperienceBoxes); ++i) {
        mainWindow.SetChecked(kExperienceBoxes[i], preset.checked[i]);
        mainWindow.SetEnabled(kExperienceBoxes[i], preset.enabled);
    }
}

void BindSettingsWindow(Form& mainWindow, runtime::Dialogs& dialogs, ProfileState& state, SettingsServices services) {
    mainWindow.On(kSpeed, FormEvent::SelectionChanged, [&mainWindow](const FormEventArgs&) { ApplyConnectionSpeed(mainWindow); });
    mainWindow.On(kSizeSlider, FormEvent::PositionChanged,
                  [&mainWindow, &state](const FormEventArgs&) { ApplySliderPosition(mainWindow, state); });
    mainWindow.On(kAllMonitors, FormEvent::Click,
                  [&mainWindow, &state](const FormEventArgs&) { ApplyAllMonitorsChoice(mainWindow, state); });

    BindDialogButton(mainWindow, dialogs, "按钮1", ui::AudioDialogSpec(),
                     [&mainWindow, &state](Form& dialog) { BindAudioDialog(dialog, mainWindow, state); });
    BindDialogButton(mainWindow, dialogs, "按钮5", ui::DevicesDialogSpec(),
                     [&mainWindow, &state](Form& dialog) { BindDevicesDialog(dialog, mainWindow, state); });
    BindDialogButton(mainWindow, dialogs, "按钮2", ui::GatewayDialogSpec(), [&mainWindow, &state, &dialogs](Form& dialog) {
        BindGatewayDialog(dialog, mainWindow, state, dialogs);
    });

    mainWindow.On(kSaveButton, FormEvent::Click, [&mainWindow, &state, save = services.save](const FormEventArgs&) {
        SaveConnectionProfile(mainWindow, state, save);
    });
    auto open = services.openWebPage;
    mainWindow.On("按钮6", FormEvent::Click, [open](const FormEventArgs&) {
        if (open) open(kFileSettingsAddress);
    });
    mainWindow.On("按钮7", FormEvent::Click, [open](const FormEventArgs&) {
        if (open) open(kClientHelpAddress);
    });
    mainWindow.On("图片框3", FormEvent::MouseDown, [drag = services.dragMainWindow](const FormEventArgs&) {
        if (drag) drag();
    });
    mainWindow.On("按钮最小化", FormEvent::Click, [hide = services.hideMainWindow](const FormEventArgs&) {
        if (hide) hide();
    });
}

}  // namespace profile
