// The start-up loader: the work that fills the main window after it appears (the server list, the display
// sizes, the connection profile), run once on a thread of its own so that the window shows at once.
//
// The steps follow the threading rules of their context (catalogue/loader_context.h): the database only
// inside WithDatabase, controls only through OnUiThread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/loader_context.h"

namespace app {

using catalogue::LoaderContext;
using catalogue::UiThread;

// One piece of the loader's work. A step without `run` is reserved: its name holds its place in the order
// until the work it names is written.
struct LoaderStep {
    std::string name;
    std::function<void(LoaderContext&)> run;
};

// The loader's steps in the order they run, with the work given here: BuildDisplayModeList (the profile's
// slider needs the display sizes), LoadConnectionProfile, then RefreshServerList. The profile, one row, comes
// before the list, which may be long: saving the settings or connecting must never use a profile not loaded
// yet. A step given no work is reserved.
std::vector<LoaderStep> StartupSteps(std::function<void(LoaderContext&)> refreshServerList = nullptr,
                                     std::function<void(LoaderContext&)> buildDisplayModeList = nullptr,
                                     std::function<void(LoaderContext&)> loadConnectionProfile = nullptr);

// Runs each step that has work, once, in order. A step that throws does not stop the ones after it; the
// return value lists the steps that failed as "name: message".
std::vector<std::string> RunStartupLoader(const std::vector<LoaderStep>& steps, LoaderContext& context);

}  // namespace app
