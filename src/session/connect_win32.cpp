// The system's services for connecting and for the session monitor: the data protection service, the
// connection files, the client's start, the session window's activation, the titles of the top-level windows.
//
// Connection files live in a folder of the current user's own: "Quillon" in the user's temporary folder
// (GetTempPathW), which other users cannot write. The folders and files the program makes there carry a
// security descriptor that lets the current user alone in, and a file is always created new (whatever was at
// its place removed first): nobody else can have made it, read it or changed it before the client reads it.
#include "session/connect_win32.h"

#include <windows.h>
#include <sddl.h>
#include <wincrypt.h>

#include <memory>

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

// "<temporary folder>\Quillon\", empty when the system gives no temporary folder.
const std::wstring& ConnectionFolder() {
    static const std::wstring folder = [] {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        if (length == 0 || length > MAX_PATH) return std::wstring();
        std::wstring path(temp, length);
        if (path.back() != L'\\') path += L'\\';
        return path + L"Quillon\\";
    }();
    return folder;
}

// Folders and files only the current user may open (and what is made inside a folder inherits that).
SECURITY_ATTRIBUTES* PrivateAttributes() {
    static SECURITY_ATTRIBUTES* attributes = [] () -> SECURITY_ATTRIBUTES* {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::unique_ptr<BYTE[]> buffer(new BYTE[size ? size : 1]);
        LPWSTR sid = nullptr;
        if (size && GetTokenInformation(token, TokenUser, buffer.get(), size, &size))
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &sid);
        CloseHandle(token);
        if (!sid) return nullptr;
        // Protected from the folder's inherited entries; full access for the user, to what is made inside too.
        const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
        LocalFree(sid);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            return nullptr;
        return new SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};  // kept for the program's life
    }();
    return attributes;
}

std::wstring FullPath(const std::string& file) { return ConnectionFolder() + runtime::GbkToWide(file); }

bool MakeFolder(const std::wstring& folder) {
    return CreateDirectoryW(folder.c_str(), PrivateAttributes()) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// A new file: what was at its place goes first (a file of another user there cannot be removed, and then
// nothing is written), the file is created only if nothing is there, with the private security descriptor.
bool WriteNew(const std::string& file, const std::string& bytes) {
    const std::wstring& folder = ConnectionFolder();
    const std::wstring path = FullPath(file);
    const size_t separator = path.find_last_of(L'\\');
    if (folder.empty() || !PrivateAttributes() || !MakeFolder(folder) || !MakeFolder(path.substr(0, separator)))
        return false;
    DeleteFileW(path.c_str());
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, PrivateAttributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    if (!CloseHandle(handle) || !ok) {
        DeleteFileW(path.c_str());
        return false;
    }
    return true;
}

// The file, and its server's folder once it is empty.
void DeleteConnectionFile(const std::string& file) {
    const std::wstring path = FullPath(file);
    DeleteFileW(path.c_str());
    RemoveDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str());  // refused while anything is left in it
}

// Every file in the servers' folders, relative to the connection folder.
std::vector<std::string> ConnectionFiles() {
    std::vector<std::string> files;
    const std::wstring& folder = ConnectionFolder();
    if (folder.empty()) return files;
    auto each = [](const std::wstring& pattern, bool folders, const std::function<void(const std::wstring&)>& found) {
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            const std::wstring name = entry.cFileName;
            const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (name != L"." && name != L".." && folder == folders) found(name);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    };
    each(folder + L"*", true, [&](const std::wstring& server) {
        each(folder + server + L"\\*", false, [&](const std::wstring& name) {
            const std::wstring relative = server + L"\\" + name;
            files.push_back(runtime::Utf16ToGbk(std::u16string(relative.begin(), relative.end())));
        });
    });
    return files;
}

// The system's client, by its full path in the system folder: never a program of that name elsewhere (the
// program's folder, the current folder), which would get the password file. The command line stays
// "mstsc <file> /console". Shown normally; no handles inherited. Waited for only until it first takes input.
ClientToken StartClient(const std::string& file) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;
    const std::wstring application = std::wstring(system, length) + L"\\mstsc.exe";
    std::wstring command = L"mstsc \"" + FullPath(file) + L"\" /console";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 0;
    WaitForInputIdle(process.hProcess, 1000);
    CloseHandle(process.hThread);
    return reinterpret_cast<ClientToken>(process.hProcess);
}

bool ClientRunning(ClientToken client) {
    return WaitForSingleObject(reinterpret_cast<HANDLE>(client), 0) == WAIT_TIMEOUT;
}

void ReleaseClient(ClientToken client) { CloseHandle(reinterpret_cast<HANDLE>(client)); }

std::uint64_t Milliseconds() { return GetTickCount64(); }

// The session window whose whole title is `title`, in front of the other windows.
void ActivateSessionWindow(const std::string& title) { ShowWindowInFront(FindWindowByTitle(0, 0, "", title)); }

}  // namespace

size_t ConnectionNameLimit() {
    // The whole path within MAX_PATH characters with its terminating zero: the folder, 16 digits and a
    // separator, the name, ".rdp".
    const size_t used = ConnectionFolder().size() + 17 + 4 + 1;
    return used + 8 <= MAX_PATH ? MAX_PATH - used : 8;
}

ConnectServices SystemConnectServices() {
    ConnectServices services;
    services.protect = &Protect;
    services.writeFile = &WriteNew;
    services.deleteFile = &DeleteConnectionFile;
    services.processPendingMessages = &ProcessPendingMessages;
    services.startClient = &StartClient;
    services.delayWithMessages = [](std::uint32_t milliseconds) { DelayWithMessages(milliseconds); };
    services.activateSessionWindow = &ActivateSessionWindow;
    services.clock = &Milliseconds;
    return services;
}

MonitorServices SystemMonitorServices() {
    MonitorServices services;
    services.windowTitles = &TopLevelWindowTitles;
    services.deleteFile = &DeleteConnectionFile;
    services.connectionFiles = &ConnectionFiles;
    services.clientRunning = &ClientRunning;
    services.releaseClient = &ReleaseClient;
    services.pause = [](std::uint32_t milliseconds) { Sleep(milliseconds); };
    services.clock = &Milliseconds;
    return services;
}

void DeleteConnectionFileNow(const std::string& file) { DeleteConnectionFile(file); }

}  // namespace session
