// MainWindow, the program's main window (designer name "MainWindow", caption "Quillon"): its frame and the
// events its handlers receive. Its controls come from its table (ui::MainWindowSpec).
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/form_runtime.h"

namespace ui {

struct MainWindowEvents {
    std::function<void()> created;            // runs before the window is first shown
    std::function<void(int x, int y)> moved;  // position changed (new top-left corner, screen coordinates)
    std::function<void()> closeRequested;     // close request (Esc, Alt+F4)
    std::function<void()> destroying;         // being destroyed
    // Binds the handlers of the window's controls, before the window is created.
    std::function<void(runtime::Form& window)> bind;
};

// Loads MainWindow non-modally: creates it hidden, runs events.created, and leaves it to the program's
// message loop. False when the window could not be created.
bool LoadMainWindow(MainWindowEvents events);
// The window's handle as an integer, 0 when it is not loaded or already destroyed.
std::uintptr_t MainWindowHandle();
void ShowMainWindow();
void DestroyMainWindow();
// Runs `work` on the user-interface thread and returns when it has run; false when the window is gone
// and the work did not run.
bool RunOnMainWindowThread(const std::function<void()>& work);

}  // namespace ui
