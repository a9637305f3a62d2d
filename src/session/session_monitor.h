// The session monitor: about five times a second it looks at the titles of all top-level windows and shows
// in the server list's status column whether each server's session window is there ("已连接") or not
// ("-----"), deleting the connection file of a session that has ended.
//
// It works on a thread of its own: it takes the rows from the user-interface thread, compares them with the
// titles on its own thread, and hands back only the changes, which are applied there to the rows that are
// still the same servers (a row the person removed or replaced meanwhile is left alone). While a connect
// request runs it only marks rows connected: a row not found keeps its status and its file stays, so that
// the file just written survives until the client has read it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "runtime/form_runtime.h"

namespace session {

// Files of earlier runs a pass deletes at most (the rest in the passes after it).
inline constexpr size_t kLeftoverFilesPerPass = 32;

struct MonitorServices {
    std::atomic<int>* stop = nullptr;               // 1 ends the monitor at its next look
    std::atomic<int>* connectInProgress = nullptr;
    // Runs the work on the user-interface thread and waits for it; false when it could not run (the window
    // is gone).
    std::function<bool(const std::function<void()>& work)> onUiThread;
    std::function<std::vector<std::string>()> windowTitles;  // of every top-level window
    std::function<void(const std::string& path)> deleteFile;  // a missing file is no error
    std::function<void(std::uint32_t milliseconds)> pause;
};

class SessionMonitor {
public:
    SessionMonitor(runtime::Form& mainWindow, MonitorServices services);

    // A connection file a connect request wrote: deleted once no session of it runs. User-interface thread.
    void WatchFile(const std::string& path);
    // One look at the windows and the list. False once the monitor is told to stop or the window is gone.
    bool Pass();
    // Passes 200 ms apart until told to stop.
    void Run();

private:
    runtime::Form& main_;
    MonitorServices services_;
    // Used on the user-interface thread only.
    std::unordered_set<std::string> checked_;  // notes of rows whose file was deleted at least once
    std::set<std::string> watched_;  // files to delete when their session is not (or no longer) there
};

}  // namespace session
