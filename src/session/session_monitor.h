// The session monitor: about five times a second it looks at the titles of all top-level windows and tells
// the program which servers' session windows are there (a window whose whole title is the server's expected
// title), and deletes connection files that are no longer needed: the file of a session that has ended, the
// file of a client the program started once that client is gone, and, once at start, files left in the
// connection folder by an earlier run.
//
// It works on a thread of its own: it takes the servers' titles from the user-interface thread when they have
// changed, compares them with the windows on its own thread, and hands back what it found, which is applied
// there only when the servers are still the ones it looked at.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "session/connect.h"
#include "session/connection_file.h"

namespace session {

// Files left by an earlier run that a pass deletes at most (the rest in the passes after it).
inline constexpr size_t kLeftoverFilesPerPass = 32;

// The servers as the program keeps them. Asked on the user-interface thread only.
class MonitoredServers {
public:
    virtual ~MonitoredServers() = default;
    // Changes whenever servers come, go or change.
    virtual std::uint64_t Version() const = 0;
    virtual size_t Count() const = 0;
    virtual const ConnectionName& SessionOf(size_t server) const = 0;
    virtual bool SessionConnected(size_t server) const = 0;
    // Whether every server is known to have no session: nothing for a pass without session windows to do.
    virtual bool NothingConnected() const = 0;
    // What a pass found: found[i] whether server i's window is there (servers past the end of `found`: not).
    // Gives the servers whose session ended (connected before, not now).
    virtual std::vector<size_t> SetSessionsFound(const std::vector<char>& found) = 0;
};

struct MonitorServices {
    std::atomic<int>* stop = nullptr;  // 1 ends the monitor at its next look
    // Runs the work on the user-interface thread and waits for it; false when it could not run (the window
    // is gone).
    std::function<bool(const std::function<void()>& work)> onUiThread;
    std::function<std::vector<std::string>()> windowTitles;  // of every top-level window
    std::function<void(const std::string& file)> deleteFile;  // relative to the connection folder; missing is fine
    std::function<std::vector<std::string>()> connectionFiles;  // every file in the connection folder, relative
    std::function<bool(ClientToken client)> clientRunning;
    std::function<void(ClientToken client)> releaseClient;
    std::function<void(std::uint32_t milliseconds)> pause;
    std::function<std::uint64_t()> clock;  // milliseconds, the clock ConnectServices::clock gives
};

class SessionMonitor {
public:
    SessionMonitor(MonitoredServers& servers, MonitorServices services);

    // User-interface thread. A client started for `file` (see ConnectServices::watch): the file stays while
    // the client runs, until `until` at least, and while a window titled `title` is there; then it goes.
    // Watching a file again replaces what was known of it.
    void Watch(const std::string& file, const std::string& title, ClientToken client, std::uint64_t until);
    // User-interface thread: whether `file` is kept for a client (a connect started it, or runs).
    bool Watching(const std::string& file) const { return watched_.contains(file); }

    // One look at the windows. False once the monitor is told to stop or the window is gone.
    bool Pass();
    // Passes 200 ms apart until told to stop.
    void Run();

private:
    struct Watched {
        std::string title;
        ClientToken client = 0;
        std::uint64_t until = 0;
    };
    // On the user-interface thread: applies a pass's findings.
    void Apply(const std::vector<std::string>& sessionTitles, const std::vector<char>* found);

    MonitoredServers& servers_;
    MonitorServices services_;
    // The monitor thread's copy of the servers' titles, of version copyVersion_.
    std::vector<std::string> titles_;
    std::uint64_t copyVersion_ = ~std::uint64_t{0};
    bool firstPass_ = true;
    std::vector<std::string> leftovers_;  // files of an earlier run still to delete
    // User-interface thread only.
    std::map<std::string, Watched> watched_;
};

}  // namespace session
