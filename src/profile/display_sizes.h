// The desktop size choices of the "显示" page: the slider 滑块条1 picks one of the display sizes the local
// screen offers, its last position is full screen ("全屏"); the label 标签4 shows the choice, and the check
// box 选择框1 forces full screen. ProfileState keeps the list, the desktop width and height of the last size
// shown (kd, gd) and the position the box returns to (wz1).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue/loader_context.h"
#include "profile/profile_state.h"
#include "runtime/form_runtime.h"

namespace profile {

inline constexpr char kFullScreenEntry[] = "全屏";

struct DisplaySize {
    int width = 0, height = 0;
};

// The display modes of the screen in the order the system reports them (EnumDisplaySettingsA on Windows:
// display_modes_win32.cpp); natively, tests give any list.
using DisplayModeSource = std::function<std::vector<DisplaySize>()>;
std::vector<DisplaySize> SystemDisplayModes();  // Windows only

// "<width> x <height> 像素" for each mode, repeats left out (the first of each kept, in order), then "全屏".
std::vector<std::string> DisplayModeTexts(const std::vector<DisplaySize>& modes);

// The start-up loader's step: asks for the modes on the loader's thread, then on the user-interface thread
// keeps the list in `state` and makes it the slider's range (1 .. the number of entries).
void BuildDisplayModeList(catalogue::LoaderContext& context, runtime::Form& mainWindow, ProfileState& state,
                          const DisplayModeSource& modes);

// The slider moved (by the person, or at load): the position is kept within the list, the label shows its
// entry, wz1 takes the position, and unless the entry is "全屏" kd and gd take its width and height.
void ApplySliderPosition(runtime::Form& mainWindow, ProfileState& state);
// The all-monitors box clicked: checked, the slider goes to full screen and is disabled (wz1, kd and gd keep
// the last windowed choice); cleared, the slider goes back to wz1 and is enabled, and the label, kd and gd
// follow it.
void ApplyAllMonitorsChoice(runtime::Form& mainWindow, ProfileState& state);

}  // namespace profile
