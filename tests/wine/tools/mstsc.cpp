// A stand-in for the system's Remote Desktop client, for the Windows-side tests: put beside quillon.exe, it is
// what the command line "mstsc FILE /console" starts. It reads the connection file, unprotects the
// "password 51:b:" value with CryptUnprotectData as the real client does, and records, in the folder named by
// QUILLON_TEST_DIR:
//   mstsc-starts.log   one line per start: the performance counter's reading (QueryPerformanceCounter, the
//                      same clock in every process) when it started, then its command line
//   mstsc-record.txt   the command line, the unprotected password, then the file's bytes (for the last start)
// With QUILLON_REAL_LOGIN set (the Unix path of a file), it also hands the connection file and the password it
// unprotected to FreeRDP's client, `xfreerdp FILE /p:PASSWORD /cert:ignore /auth-only`, which logs in to the
// file's server and ends, and writes that program's exit code (0: the server accepted the login) to that
// file. Wine gives a Linux program's exit code to nobody, so the shell writes it.
// Then it opens a window titled as the real client titles its session window, "<file name> - <full address> -
// 远程桌面连接", until that window is closed.
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

std::string Gbk(const std::wstring& text) {
    int size = WideCharToMultiByte(936, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(936, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& gbk) {
    int size = MultiByteToWideChar(936, 0, gbk.c_str(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(936, 0, gbk.c_str(), static_cast<int>(gbk.size()), out.data(), size);
    return out;
}

std::string ReadAll(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes;
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void Write(const std::wstring& path, const std::string& bytes, bool append) {
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The value of line "key" of the file ("" when it has none).
std::string Value(const std::string& file, const std::string& key) {
    size_t at = file.find(key);
    if (at == std::string::npos) return "";
    size_t end = file.find("\r\n", at);
    return file.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
}

// The password that "password 51:b:" holds: hex pairs (the final odd digit left out), unprotected, read
// as UTF-16 up to its zero.
std::string Unprotect(const std::string& hex) {
    std::vector<BYTE> sealed;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) sealed.push_back(static_cast<BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    DATA_BLOB in{static_cast<DWORD>(sealed.size()), sealed.data()};
    DATA_BLOB out{0, nullptr};
    LPWSTR description = nullptr;
    if (!CryptUnprotectData(&in, &description, nullptr, nullptr, nullptr, 0, &out)) return "(not unprotected)";
    std::wstring text(reinterpret_cast<const wchar_t*>(out.pbData), out.cbData / 2);
    text.resize(wcsnlen(text.c_str(), text.size()));
    std::string result = Gbk(text) + (description && std::wstring(description) == L"psw" ? "" : " (description?)");
    LocalFree(out.pbData);
    LocalFree(description);
    return result;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring path = args && count > 1 ? args[1] : L"";
    const std::string commandLine = Gbk(GetCommandLineW());
    const std::string file = ReadAll(path);
    const std::wstring folder = Environment(L"QUILLON_TEST_DIR");
    Write(folder + L"\\mstsc-starts.log", std::to_string(started.QuadPart) + " " + commandLine + "\n", true);
    Write(folder + L"\\mstsc-record.txt", commandLine + "\n" + Unprotect(Value(file, "password 51:b:")) + "\n" + file,
          false);

    const std::wstring login = Environment(L"QUILLON_REAL_LOGIN");
    if (!login.empty()) {
        // The file's Linux path: Wine keeps drive C: in the prefix's drive_c folder.
        std::wstring relative = path.substr(path.find(L'\\') + 1);
        for (wchar_t& c : relative)
            if (c == L'\\') c = L'/';
        const std::wstring unixFile = Environment(L"WINEPREFIX") + L"/drive_c/" + relative;
        std::wstring command = L"sh -c \"xfreerdp '" + unixFile + L"' /p:'" + Wide(Unprotect(Value(file, "password 51:b:"))) +
                               L"' /cert:ignore /auth-only >/dev/null 2>&1; echo $? > '" + login + L"'\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }

    std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    if (name.size() > 4) name.resize(name.size() - 4);  // without ".rdp"
    const std::wstring title = name + L" - " + Wide(Value(file, "full address:s:")) + L" - \u8FDC\u7A0B\u684C\u9762\u8FDE\u63A5";

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TscShellContainerClass";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 300,
                                nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    LocalFree(args);
    return 0;
}
