// Connecting to a server ("连接服务器(N)" and a double-click on a list row): a server whose session window is
// there has that window brought to the front; any other gets its connection file written newly and the
// system's Remote Desktop client started on it. The session monitor (session_monitor.h) then shows whether the
// session runs, and deletes the file once it has ended.
//
// One request at a time: a request that comes while another still runs (its wait for the client, during
// which window messages are handled and the person may click again) is ignored, unless it only brings a
// session window forward. A request ends by its
// deadline, whatever happens meanwhile (a dialog opened during the wait), so that nothing stays blocked.
//
// Every operating-system service comes in through ConnectServices (connect_win32.cpp on Windows; tests give
// their own). Runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "profile/profile_state.h"
#include "runtime/form_runtime.h"
#include "session/connection_file.h"

namespace session {

inline constexpr char kConnectButton[] = "按钮3";

// A client the program started (a process handle on Windows), 0 for none.
using ClientToken = std::uintptr_t;

// How long a request waits after starting the client (window messages handled meanwhile), and how long,
// from its start, its file is kept even when no client runs: the client reads the file while it starts.
inline constexpr std::uint32_t kWaitAfterStart = 2000;
inline constexpr std::uint64_t kRequestDeadline = 4000;

struct ConnectServices {
    const profile::ProfileState* profile = nullptr;
    runtime::Dialogs* dialogs = nullptr;
    Protector protect;
    // One attempt to write a connection file (relative to the connection folder) newly: whatever is at its
    // place is removed first and the file is created new, readable by the current user only. Never writes
    // into a file that was there.
    std::function<bool(const std::string& file, const std::string& bytes)> writeFile;
    std::function<void(const std::string& file)> deleteFile;  // a missing file is not an error
    std::function<void()> processPendingMessages;
    // Starts the system's client on the file and waits at most 1000 ms for it to take input; 0 when it could
    // not be started at all.
    std::function<ClientToken(const std::string& file)> startClient;
    std::function<void(std::uint32_t milliseconds)> delayWithMessages;
    // Brings the window whose whole title is this to the front (restored when minimised); nothing when none.
    std::function<void(const std::string& title)> activateSessionWindow;
    // Milliseconds of a steady clock.
    std::function<std::uint64_t()> clock;
    // The client started for a file: the session monitor keeps the file while it runs (and at least until
    // `until` on the clock), then deletes it. Given before the file is written.
    std::function<void(const std::string& file, const std::string& title, ClientToken client, std::uint64_t until)>
        watch;
};

// What a request is about.
struct ConnectRequest {
    ServerCells server;
    ConnectionName name;
    bool connected = false;  // its session window is there
};

class Connector {
public:
    explicit Connector(ConnectServices services) : services_(std::move(services)) {}

    // The request on a server. `mainWindow` gives the connection settings as they are now, saved or not.
    void Connect(const runtime::Form& mainWindow, const ConnectRequest& request);
    // Whether a request runs (its deadline has not passed).
    bool Running() const;

private:
    // Writes the file with up to 10 attempts, handling pending window messages after each failed attempt and
    // once at the end. Whether it was written.
    bool Write(const std::string& file, const std::string& text);

    ConnectServices services_;
    std::uint64_t runningUntil_ = 0;  // on services_.clock
};

}  // namespace session
