#include "app/startup_loader.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace app {

LoaderContext::LoaderContext(catalogue::ConfigDatabase& database, std::mutex& databaseLock, UiThread& ui)
    : database_(database), databaseLock_(databaseLock), ui_(ui) {}

void LoaderContext::WithDatabase(const std::function<void(catalogue::ConfigDatabase&)>& use) {
    std::lock_guard<std::mutex> lock(databaseLock_);
    holdingDatabase_ = true;
    try {
        use(database_);
    } catch (...) {
        holdingDatabase_ = false;
        throw;
    }
    holdingDatabase_ = false;
}

void LoaderContext::OnUiThread(const std::function<void()>& change) {
    if (holdingDatabase_) {
        throw std::logic_error(
            "a loader step handed work to the user-interface thread while holding the database lock");
    }
    ui_.Run(change);
}

std::vector<LoaderStep> StartupSteps(std::function<void(LoaderContext&)> refreshServerList,
                                     std::function<void(LoaderContext&)> buildDisplayModeList,
                                     std::function<void(LoaderContext&)> loadConnectionProfile) {
    // The work of each step is written with the part of the program it belongs to and handed in here.
    return {
        {"RefreshServerList", std::move(refreshServerList)},
        {"BuildDisplayModeList", std::move(buildDisplayModeList)},
        {"LoadConnectionProfile", std::move(loadConnectionProfile)},
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
