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

// What the file says about the server.
struct ServerCells {
    std::string user, password, ip, port, note;
};

// Where a server's connection file lives and how the client titles its session window; both come from this
// one rule. Every server has a folder of its own under the program's connection folder (the user's own
// temporary folder on Windows, see connect_win32.cpp), named by 16 hex digits of its address (ASCII letters
// in lower case, as the database compares it) and port, so two servers never share a file; the file in it
// is named after the note: ConnectionFileName's characters, cut to `nameLimit` characters (so that the
// whole path stays within the system's limit), "_" for a name left empty, and "_" before a name the system
// keeps for a device (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with or without an extension, any case).
struct ConnectionName {
    std::string file;   // "<folder>\<name>.rdp", relative to the connection folder
    std::string title;  // "<name> - <address>:<port> - 远程桌面连接"
};
// Room for a name when the folder's length is not known (tests); the program works its own out.
inline constexpr size_t kDefaultNameLimit = 100;
ConnectionName ConnectionNameOf(const std::string& note, const std::string& ip, const std::string& port,
                                size_t nameLimit = kDefaultNameLimit);
// The name part alone.
std::string ConnectionBaseName(const std::string& note, size_t nameLimit = kDefaultNameLimit);

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
// Overwrites a plain password's bytes with zeros, in a way the compiler keeps.
void Wipe(void* data, size_t size);
template <class Text>
void Wipe(Text& text) {
    Wipe(text.data(), text.size() * sizeof(text[0]));
}
// "password 51:b:"'s value: the protected bytes of PasswordBlock(password), described "psw", as two
// upper-case hex digits a byte, then one more "0".
std::string ProtectPassword(const std::string& password, const Protector& protect);

// The 43 lines, joined by CR LF, without a final line break.
std::string BuildConnectionFileText(const runtime::Form& mainWindow, const profile::ProfileState& state,
                                    const ServerCells& server, const Protector& protect);


}  // namespace session
