// The system's side of connecting and of the session monitor (connect_win32.cpp). The program fills in the
// rest of each (the windows, the profile, the monitor's hand-over to the user-interface thread).
#pragma once

#include <cstddef>
#include <string>

#include "session/connect.h"
#include "session/session_monitor.h"

namespace session {

// CryptProtectData, connection files written newly in the user's own folder, the client started from the
// system folder, ProcessPendingMessages, DelayWithMessages, the session window's activation by its whole title.
ConnectServices SystemConnectServices();
// The titles of the top-level windows (TopLevelWindowTitles), the connection files, the started clients, Sleep.
MonitorServices SystemMonitorServices();
// The most characters a connection file's name may have, so that its whole path stays within MAX_PATH.
size_t ConnectionNameLimit();
// Removes a connection file (relative to the connection folder) and its server's folder once empty.
void DeleteConnectionFileNow(const std::string& file);

}  // namespace session
