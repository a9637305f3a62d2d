// The system's side of connecting and of the session monitor (connect_win32.cpp). The program fills in the
// rest of each (the windows, the flags, the monitor's hand-over to the user-interface thread).
#pragma once

#include "session/connect.h"
#include "session/session_monitor.h"

namespace session {

// CryptProtectData, the file written whole without sharing, CreateProcessW on the command line,
// ProcessPendingMessages, DelayWithMessages, and the session window's activation by its whole title.
ConnectServices SystemConnectServices();
// The titles of the top-level windows (TopLevelWindowTitles), DeleteFileW, Sleep.
MonitorServices SystemMonitorServices();

}  // namespace session
