// MainWindow from its table (ui::MainWindowSpec): 925 x 558, no frame or title bar (WS_POPUP), not
// resizable, centred on the screen, never topmost, no taskbar button, with every control of the table.
//
// The taskbar: WS_EX_TOOLWINDOW (the table's "no taskbar button") keeps the window off the taskbar and out
// of Alt+Tab, which matches a program reached from its notification icon. The other way, owning the window
// by a hidden window, was not taken: an owned WS_POPUP window reports its owner from GetParent, and the
// search for a running copy's main window (session::FindProcessWindow) only takes windows whose GetParent is
// 0, so a second start could not find and raise this window.
#include <windows.h>

#include "runtime/form_win32.h"
#include "ui/forms.h"
#include "ui/main_window.h"

namespace ui {
namespace {

// Created on first use and never destroyed: it must outlive everything that may still run while the
// program ends (the exit clean-up, other threads).
runtime::Win32Form& window() {
    static runtime::Win32Form* mainWindow = new runtime::Win32Form(MainWindowSpec());
    return *mainWindow;
}

}  // namespace

bool LoadMainWindow(MainWindowEvents events) {
    runtime::Win32Form& form = window();
    using runtime::FormEvent;
    using runtime::FormEventArgs;
    if (events.created) {
        form.On("", FormEvent::Created, [created = std::move(events.created)](const FormEventArgs&) { created(); });
    }
    if (events.moved) {
        form.On("", FormEvent::Moved,
                [moved = std::move(events.moved)](const FormEventArgs& args) { moved(args.x, args.y); });
    }
    if (events.closeRequested) {
        form.On("", FormEvent::CloseRequested,
                [closeRequested = std::move(events.closeRequested)](const FormEventArgs&) { closeRequested(); });
    }
    if (events.destroying) {
        form.On("", FormEvent::Destroying,
                [destroying = std::move(events.destroying)](const FormEventArgs&) { destroying(); });
    }
    if (events.bind) events.bind(form);
    return form.Create();
}

std::uintptr_t MainWindowHandle() { return reinterpret_cast<std::uintptr_t>(window().Handle()); }

void ShowMainWindow() { window().Show(); }

void DestroyMainWindow() { window().Close(); }

bool RunOnMainWindowThread(const std::function<void()>& work) { return window().RunOnUiThread(work); }

}  // namespace ui
