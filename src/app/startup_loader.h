// The start-up loader: the work that fills the main window after it appears (the server list, the display
// sizes, the connection profile), run once on a thread of its own so that the window shows at once.
//
// Threading rules the steps follow, and that LoaderContext enforces where it can:
// - The database is used by one thread at a time. A step reads it only inside WithDatabase, which holds the
//   program's database lock (AppState::DatabaseLock); the user-interface thread holds the same lock
//   whenever it uses the database.
// - Controls belong to the user-interface thread. A step never touches a control itself: it hands each
//   change to OnUiThread, which runs it there (on Windows by SendMessage of a private message to the main
//   window) and returns when it has run.
// - A step never hands work to the user-interface thread while it holds the database lock: that thread
//   may itself be waiting for the lock, and would never run the work. OnUiThread refuses it.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/config_database.h"

namespace app {

// Where the loader's control changes run.
class UiThread {
public:
    virtual ~UiThread() = default;
    // Runs `work` on the user-interface thread and returns when it has run (or when it cannot run any
    // more because the window is gone).
    virtual void Run(const std::function<void()>& work) = 0;
};

class LoaderContext {
public:
    LoaderContext(catalogue::ConfigDatabase& database, std::mutex& databaseLock, UiThread& ui);

    // Runs `use` with the database while holding the database lock.
    void WithDatabase(const std::function<void(catalogue::ConfigDatabase&)>& use);
    // Runs `change` on the user-interface thread and waits for it. Throws std::logic_error when called
    // inside WithDatabase.
    void OnUiThread(const std::function<void()>& change);

private:
    catalogue::ConfigDatabase& database_;
    std::mutex& databaseLock_;
    UiThread& ui_;
    bool holdingDatabase_ = false;
};

// One piece of the loader's work. A step without `run` is reserved: its name holds its place in the order
// until the work it names is written.
struct LoaderStep {
    std::string name;
    std::function<void(LoaderContext&)> run;
};

// The loader's steps in the order they run, with the work given here: RefreshServerList, BuildDisplayModeList
// (the profile's slider needs the display sizes), LoadConnectionProfile. A step given no work is reserved.
std::vector<LoaderStep> StartupSteps(std::function<void(LoaderContext&)> refreshServerList = nullptr,
                                     std::function<void(LoaderContext&)> buildDisplayModeList = nullptr,
                                     std::function<void(LoaderContext&)> loadConnectionProfile = nullptr);

// Runs each step that has work, once, in order. A step that throws does not stop the ones after it; the
// return value lists the steps that failed as "name: message".
std::vector<std::string> RunStartupLoader(const std::vector<LoaderStep>& steps, LoaderContext& context);

}  // namespace app
