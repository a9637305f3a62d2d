// The settings side of the main window: the connection-speed presets, the size slider and the all-monitors
// box, the audio, devices and RD gateway dialogs, "保存设置(M)", the two link buttons on the banner, dragging
// the window by its banner, and "窗口最小化(X)". Every handler runs on the user-interface thread.
#pragma once

#include <functional>
#include <string>

#include "profile/connection_profile.h"
#include "profile/profile_state.h"
#include "runtime/form_runtime.h"

namespace profile {

// The addresses the link buttons open: the Remote Desktop client's documentation (按钮7) and the reference of
// the settings a Remote Desktop connection file can hold (按钮6).
inline constexpr char kClientHelpAddress[] =
    "https://learn.microsoft.com/windows-server/administration/windows-commands/mstsc";
inline constexpr char kFileSettingsAddress[] =
    "https://learn.microsoft.com/azure/virtual-desktop/rdp-properties";

// What the settings side needs from the system besides the windows and the database.
struct SettingsServices {
    SaveServices save;
    std::function<void(const std::string& address)> openWebPage;  // in the default browser
    std::function<void()> dragMainWindow;  // the left button went down on the banner: move the window with it
    std::function<void()> hideMainWindow;
};

// 组合框3 chose a speed: the preset of the six experience boxes (checked states, and whether they can be
// changed) and the text of 标签11. Any other selection changes nothing.
void ApplyConnectionSpeed(runtime::Form& mainWindow);

// Binds every settings handler of `mainWindow`. `dialogs`, `state` and the services must outlive the window.
void BindSettingsWindow(runtime::Form& mainWindow, runtime::Dialogs& dialogs, ProfileState& state,
                        SettingsServices services);

}  // namespace profile
