#include "profile/display_sizes.h"

#include <algorithm>

namespace profile {
namespace {

using runtime::Form;

constexpr char kSlider[] = "滑块条1";
constexpr char kLabel[] = "标签4";
constexpr char kBox[] = "选择框1";

// kd and gd from an entry "<width> x <height> 像素": the width is what comes before the last " x", the
// height what lies between the first "x " and the blank after it (empty when there is no such part).
void TakeSize(const std::string& entry, ProfileState& state) {
    size_t lastX = entry.rfind(" x");
    state.kd = lastX == std::string::npos ? entry : entry.substr(0, lastX);
    size_t firstX = entry.find("x ");
    state.gd.clear();
    if (firstX != std::string::npos) {
        size_t start = firstX + 2;
        size_t blank = entry.find(' ', start);
        if (blank != std::string::npos) state.gd = entry.substr(start, blank - start);
    }
}

// The entry at slider position `position` (1-based), "" when the list has none there.
std::string Entry(const ProfileState& state, int position) {
    if (position < 1 || static_cast<size_t>(position) > state.DisplayModeList.size()) return "";
    return state.DisplayModeList[static_cast<size_t>(position) - 1];
}

// Shows the entry at the slider's position and, unless it is "全屏", takes its size.
void ShowSliderEntry(Form& mainWindow, ProfileState& state) {
    std::string entry = Entry(state, mainWindow.TrackPosition(kSlider));
    if (entry.empty()) return;  // no list yet: the label keeps its designed text
    mainWindow.SetText(kLabel, entry);
    if (entry != kFullScreenEntry) TakeSize(entry, state);
}

}  // namespace

std::vector<std::string> DisplayModeTexts(const std::vector<DisplaySize>& modes) {
    std::vector<std::string> texts;
    for (const DisplaySize& mode : modes) {
        std::string text = std::to_string(mode.width) + " x " + std::to_string(mode.height) + " 像素";
        if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(text);
    }
    texts.push_back(kFullScreenEntry);
    return texts;
}

void BuildDisplayModeList(catalogue::LoaderContext& context, Form& mainWindow, ProfileState& state,
                          const DisplayModeSource& modes) {
    std::vector<std::string> texts = DisplayModeTexts(modes ? modes() : std::vector<DisplaySize>{});
    context.OnUiThread([&] {
        state.DisplayModeList = texts;
        mainWindow.SetTrackRange(kSlider, 1, static_cast<int>(texts.size()));
    });
}

void ApplySliderPosition(Form& mainWindow, ProfileState& state) {
    const int last = static_cast<int>(state.DisplayModeList.size());
    if (last > 0 && mainWindow.TrackPosition(kSlider) > last) mainWindow.SetTrackPosition(kSlider, last);
    state.wz1 = mainWindow.TrackPosition(kSlider);
    ShowSliderEntry(mainWindow, state);
}

void ApplyAllMonitorsChoice(Form& mainWindow, ProfileState& state) {
    if (mainWindow.Checked(kBox)) {
        mainWindow.SetTrackPosition(kSlider, mainWindow.TrackMax(kSlider));
        mainWindow.SetEnabled(kSlider, false);
        std::string entry = Entry(state, mainWindow.TrackPosition(kSlider));
        if (!entry.empty()) mainWindow.SetText(kLabel, entry);
        return;
    }
    mainWindow.SetTrackPosition(kSlider, state.wz1);  // kept within the slider's range
    mainWindow.SetEnabled(kSlider, true);
    ShowSliderEntry(mainWindow, state);
}

}  // namespace profile
