// Connecting to the selected server ("连接服务器(N)" and a double-click on a list row): a server whose row
// shows "已连接" has its session window brought to the front; any other gets its connection file written to
// the temporary folder and the system's Remote Desktop client started on it. The session monitor
// (session_monitor.h) then shows in the row whether the session runs.
//
// Every operating-system service comes in through ConnectServices (connect_win32.cpp on Windows; tests give
// their own). Runs on the user-interface thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "profile/profile_state.h"
#include "runtime/form_runtime.h"
#include "session/connection_file.h"

namespace session {

inline constexpr char kConnectButton[] = "按钮3";

struct ConnectServices {
    const profile::ProfileState* profile = nullptr;
    std::atomic<int>* connectInProgress = nullptr;  // 1 for the whole of a connect request
    runtime::Dialogs* dialogs = nullptr;
    Protector protect;
    // One attempt to write the whole file (replacing any), nobody else sharing it while it is written.
    std::function<bool(const std::string& path, const std::string& bytes)> writeFile;
    std::function<void()> processPendingMessages;
    // Starts the client on this command line (found the way the system finds a program named without a
    // path), waits at most 1000 ms for it to take input. False when it could not be started at all.
    std::function<bool(const std::string& commandLine)> startClient;
    std::function<void(std::uint32_t milliseconds)> delayWithMessages;
    // Brings the window whose whole title is this to the front (restored when minimised); nothing when none.
    std::function<void(const std::string& title)> activateSessionWindow;
    // The connection file just written, for the monitor to delete once its session has ended.
    std::function<void(const std::string& path)> watchFile;
};

// Writes the file with up to 10 attempts, handling pending window messages after each failed attempt and
// once at the end. Whether it was written.
bool WriteConnectionFile(const std::string& path, const std::string& text, const ConnectServices& services);

// The connect request on the list's selected row (nothing when none is selected).
void ConnectSelectedServer(runtime::Form& mainWindow, const ConnectServices& services);

// Binds "连接服务器(N)" and the list's double-click to ConnectSelectedServer.
void BindConnect(runtime::Form& mainWindow, ConnectServices services);

}  // namespace session
