// The system's services for connecting and for the session monitor: the data protection service, the
// connection file, the client's start, the session window's activation, the titles of the top-level windows.
#include "session/connect_win32.h"

#include <windows.h>
#include <wincrypt.h>

#include "runtime/text_codec.h"
#include "session/window_helpers.h"

namespace session {
namespace {

std::vector<std::uint8_t> Protect(const std::vector<std::uint8_t>& block, const std::u16string& description) {
    DATA_BLOB in{static_cast<DWORD>(block.size()), const_cast<BYTE*>(block.data())};
    DATA_BLOB out{0, nullptr};
    std::wstring what(description.begin(), description.end());
    if (!CryptProtectData(&in, what.c_str(), nullptr, nullptr, nullptr, 0, &out)) return {};
    std::vector<std::uint8_t> sealed(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    return sealed;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(runtime::GbkToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    return CloseHandle(file) && ok;
}

// Started as a command line without a program path, as the system finds such a program; shown normally; no
// handles inherited. The client is never waited for beyond its first readiness for input.
bool StartClient(const std::string& commandLine) {
    std::wstring command = runtime::GbkToWide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForInputIdle(process.hProcess, 1000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The session window whose whole title is `title`, in front of the other windows.
void ActivateSessionWindow(const std::string& title) { ShowWindowInFront(FindWindowByTitle(0, 0, "", title)); }

}  // namespace

ConnectServices SystemConnectServices() {
    ConnectServices services;
    services.protect = &Protect;
    services.writeFile = &WriteWhole;
    services.processPendingMessages = &ProcessPendingMessages;
    services.startClient = &StartClient;
    services.delayWithMessages = [](std::uint32_t milliseconds) { DelayWithMessages(milliseconds); };
    services.activateSessionWindow = &ActivateSessionWindow;
    return services;
}

MonitorServices SystemMonitorServices() {
    MonitorServices services;
    services.windowTitles = &TopLevelWindowTitles;
    services.deleteFile = [](const std::string& path) { DeleteFileW(runtime::GbkToWide(path).c_str()); };
    services.pause = [](std::uint32_t milliseconds) { Sleep(milliseconds); };
    return services;
}

}  // namespace session
