// The program's five windows as the form designer left them: every control with its name, kind, container,
// position, size, caption or entries and initial state. The runtime turns a table into Win32 controls or into
// the in-memory model of the native tests. All texts are GBK.
#pragma once

#include "runtime/form.h"

namespace ui {

const runtime::WindowSpec& MainWindowSpec();          // "MainWindow", the server list and the settings pages
const runtime::WindowSpec& ServerEditorWindowSpec();  // "ServerEditorWindow", adds or modifies a server
const runtime::WindowSpec& AudioDialogSpec();         // "AudioDialog", remote audio settings
const runtime::WindowSpec& DevicesDialogSpec();       // "DevicesDialog", local devices and resources
const runtime::WindowSpec& GatewayDialogSpec();       // "GatewayDialog", RD gateway server settings
const runtime::WindowSpec& RenewalDialogSpec();       // "RenewalDialog", a server's expiry moved on
const runtime::WindowSpec& ImportDialogSpec();        // "ImportDialog", servers brought in, with a preview
const runtime::WindowSpec& MasterPasswordDialogSpec();  // "MasterPasswordDialog", a connections file's password
const runtime::WindowSpec& ExportDialogSpec();        // "ExportDialog", servers written to a CSV file

}  // namespace ui
