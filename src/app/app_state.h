// What the program's threads share: the flags the start-up sets, the configuration database with the lock
// that gives it to one thread at a time, and the profile values the settings keep.
#pragma once

#include <atomic>
#include <mutex>

#include "catalogue/config_database.h"
#include "profile/profile_state.h"

namespace app {

struct AppState {
    std::atomic<int> MonitorStop{0};        // 1 tells the session monitor to stop

    // Every use of Database, on any thread, holds DatabaseLock for its whole sequence of calls (open a
    // result, read its rows, close it): the database keeps one open result for the whole program.
    std::mutex DatabaseLock;
    catalogue::ConfigDatabase Database;

    // The connection profile's values that have no control on the main window. User-interface thread only.
    profile::ProfileState Profile;
};

// The program's one AppState. It is created on first use and never destroyed, so that a thread still
// running while the program ends never meets a destroyed lock or database.
AppState& App();

}  // namespace app
