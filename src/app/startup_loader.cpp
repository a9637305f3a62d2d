#include "app/startup_loader.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace app {

std::vector<LoaderStep> StartupSteps(std::function<void(LoaderContext&)> refreshServerList,
                                     std::function<void(LoaderContext&)> buildDisplayModeList,
                                     std::function<void(LoaderContext&)> loadConnectionProfile) {
    // The work of each step is written with the part of the program it belongs to and handed in here.
    return {
        {"BuildDisplayModeList", std::move(buildDisplayModeList)},
        {"LoadConnectionProfile", std::move(loadConnectionProfile)},
        {"RefreshServerList", std::move(refreshServerList)},
    };
}

std::vector<std::string> RunStartupLoader(const std::vector<LoaderStep>& steps, LoaderContext& context) {
    std::vector<std::string> failures;
    for (const LoaderStep& step : steps) {
        if (!step.run) continue;
        try {
            step.run(context);
        } catch (const std::exception& e) {
            failures.push_back(step.name + ": " + e.what());
        } catch (...) {
            failures.push_back(step.name + ": unexpected failure");
        }
    }
    return failures;
}

}  // namespace app
