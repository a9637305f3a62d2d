// The program's start-up, single instance and exit (Windows: program_win32.cpp).
#pragma once

#include <string>

namespace app {

// The program from start to end: common controls, the exit clean-up, MainWindow, the message loop.
// Returns the exit code, 0 on every path.
int RunProgram();

// MainWindow's event handlers.
void OnMainWindowCreated();
void OnMainWindowPositionChanged(int x, int y);
void OnMainWindowCloseRequested();
void OnMainWindowDestroying();

// When another copy of the program runs (the named event exists), brings its main window forward and
// ends this program with exit code 0. Otherwise creates the event and keeps it for the program's life.
void SingleInstanceGuard(const std::string& name);

// The notification icon's events: the icon's mouse message, or tray::kShellRestarted after the shell's
// restart.
void HandleTrayEvent(int code);

// Ends the program from its menu: stops the session monitor, closes the database, removes the
// notification icon, exit code 0.
void ExitProgram();

}  // namespace app
