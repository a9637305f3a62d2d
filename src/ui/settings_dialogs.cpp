#include "ui/settings_dialogs.h"

#include "runtime/window_placement.h"
#include "ui/forms.h"

namespace ui {
namespace {

using runtime::FormEvent;
using runtime::FormEventArgs;

// The handlers every settings dialog shares. 确定 (按钮1) only closes the dialog for now: saving the
// choices into the connection settings comes with the settings themselves. 取消 (按钮2) closes it as its
// close box does; so does Esc, which the window runtime turns into the close request.
void bindDialog(runtime::Form& dialog, runtime::Form& mainWindow) {
    dialog.On("", FormEvent::Created,
              [&dialog, &mainWindow](const FormEventArgs&) { runtime::CentreOverMainWindow(dialog, mainWindow); });
    dialog.On("按钮1", FormEvent::Click, [&dialog](const FormEventArgs&) { dialog.Close(); });
    dialog.On("按钮2", FormEvent::Click, [&dialog](const FormEventArgs&) { dialog.Close(); });
}

void bindButton(runtime::Form& mainWindow, runtime::Dialogs& dialogs, const char* button,
                const runtime::WindowSpec& dialog) {
    mainWindow.On(button, FormEvent::Click, [&mainWindow, &dialogs, &dialog](const FormEventArgs&) {
        dialogs.ShowModal(dialog, mainWindow, [&mainWindow](runtime::Form& opened) { bindDialog(opened, mainWindow); });
    });
}

}  // namespace

void BindSettingsButtons(runtime::Form& mainWindow, runtime::Dialogs& dialogs) {
    bindButton(mainWindow, dialogs, "按钮1", AudioDialogSpec());
    bindButton(mainWindow, dialogs, "按钮5", DevicesDialogSpec());
    bindButton(mainWindow, dialogs, "按钮2", GatewayDialogSpec());
}

}  // namespace ui
