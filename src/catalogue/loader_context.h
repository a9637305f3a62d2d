// The start-up loader's context: the database with the lock that gives it to one thread at a time, and the
// way to the user-interface thread. The loader's steps (src/app/startup_loader.h) get it, and so do the parts
// of the program whose loading they run (the connection profile, the display sizes, the server list).
//
// Threading rules it enforces where it can:
// - The database is used by one thread at a time. A step reads it only inside WithDatabase, which holds the
//   program's database lock; the user-interface thread holds the same lock whenever it uses the database.
// - Controls belong to the user-interface thread. A step never touches a control itself: it hands each
//   change to OnUiThread, which runs it there and returns when it has run.
// - A step never hands work to the user-interface thread while it holds the database lock: that thread
//   may itself be waiting for the lock, and would never run the work. OnUiThread refuses it.
#pragma once

#include <functional>
#include <mutex>

#include "catalogue/config_database.h"

namespace catalogue {

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

}  // namespace catalogue
