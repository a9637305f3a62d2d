// The Remote Desktop connection file written for a server: its 43 lines, its place in the temporary folder,
// its protected password, and the command line that starts the system's client on it.
//
// The profile's lines come from the live form (the settings controls and ProfileState) as
// profile::GatherProfile gives it: the same field table that load and save use decides what each control
// means. Texts are GBK.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "profile/profile_state.h"
#include "runtime/form_runtime.h"

namespace session {

// What the file says about the server: the list row's cells.
struct ServerCells {
    std::string user, password, ip, port, note;
};

// The server list's row `row` of the main window.
ServerCells ServerCellsOfRow(const runtime::Form& mainWindow, int row);

// A value as it goes into a line of the file, or into the session window's title: without carriage
// returns and line feeds, which would start a line of their own.
std::string LineValue(const std::string& text);

// Protects a password for the current user (the data protection service on Windows; tests give their own):
// takes the 512-byte block and the description, gives the protected bytes (empty on failure).
using Protector = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& block,
                                                          const std::u16string& description)>;
// The block protected for a password: its UTF-16LE text with the terminating zero, then zeros, 512 bytes in
// all (a longer password is cut at 512 bytes).
std::vector<std::uint8_t> PasswordBlock(const std::string& password);
// "password 51:b:"'s value: the protected bytes of PasswordBlock(password), described "psw", as two
// upper-case hex digits a byte, then one more "0".
std::string ProtectPassword(const std::string& password, const Protector& protect);

// The 43 lines, joined by CR LF, without a final line break.
std::string BuildConnectionFileText(const runtime::Form& mainWindow, const profile::ProfileState& state,
                                    const ServerCells& server, const Protector& protect);

// "C:\Windows\Temp\" + name + ".rdp": the file of a note (catalogue::ConnectionFilePath).
std::string ConnectionFileOfNote(const std::string& note);
// "mstsc C:\windows\temp\" + name + ".rdp /console".
std::string ClientCommandLine(const std::string& note);
// "<name> - <ip>:<port> - 远程桌面连接": the title the client gives the session window of this file.
std::string SessionWindowTitle(const std::string& note, const std::string& ip, const std::string& port);

}  // namespace session
