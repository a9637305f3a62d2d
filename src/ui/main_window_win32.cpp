// MainWindow's frame: 925 x 558, no frame or title bar (WS_POPUP), not resizable, centred on the screen,
// never topmost, no taskbar button.
//
// The taskbar: WS_EX_TOOLWINDOW keeps the window off the taskbar and out of Alt+Tab, which matches a
// program reached from its notification icon. The other way, owning the window by a hidden window, was not
// taken: an owned WS_POPUP window reports its owner from GetParent, and the search for a running copy's
// main window (session::FindProcessWindow) only takes windows whose GetParent is 0, so a second start
// could not find and raise this window.
#include <windows.h>

#include "runtime/window_win32.h"
#include "ui/main_window.h"

namespace ui {
namespace {

// Created on first use and never destroyed: it must outlive everything that may still run while the
// program ends (the exit clean-up, other threads).
runtime::Window& window() {
    static runtime::Window* mainWindow = new runtime::Window;
    return *mainWindow;
}

}  // namespace

bool LoadMainWindow(MainWindowEvents events) {
    runtime::FrameDescription frame;
    frame.name = "MainWindow";
    frame.caption = "Quillon";
    frame.width = 925;
    frame.height = 558;
    frame.style = WS_POPUP;
    frame.extendedStyle = WS_EX_TOOLWINDOW;
    frame.centreOnScreen = true;
    frame.escapeCloses = true;

    runtime::WindowEvents windowEvents;
    windowEvents.created = std::move(events.created);
    windowEvents.moved = std::move(events.moved);
    windowEvents.closeRequested = std::move(events.closeRequested);
    windowEvents.destroying = std::move(events.destroying);
    return window().Create(frame, std::move(windowEvents));
}

std::uintptr_t MainWindowHandle() { return reinterpret_cast<std::uintptr_t>(window().Handle()); }

void ShowMainWindow() { window().Show(); }

void DestroyMainWindow() { window().Destroy(); }

bool RunOnMainWindowThread(const std::function<void()>& work) { return window().RunOnUiThread(work); }

}  // namespace ui
