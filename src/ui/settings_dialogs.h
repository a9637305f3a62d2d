// MainWindow's three settings buttons and the dialogs they open: 按钮1 (page "本地资源") the audio dialog,
// 按钮5 (page "本地资源") the devices dialog, 按钮2 (page "高级") the gateway dialog.
#pragma once

#include "runtime/form_runtime.h"

namespace ui {

// Binds the three buttons of `mainWindow`: each opens its dialog through `dialogs`, modally over MainWindow,
// centred over it. `dialogs` must outlive the window.
void BindSettingsButtons(runtime::Form& mainWindow, runtime::Dialogs& dialogs);

}  // namespace ui
