#include "driver.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "runtime/text_codec.h"

namespace wine_driver {

namespace fs = std::filesystem;

constexpr UINT kGbkCodePage = 936;

// --- Texts -------------------------------------------------------------------------------------------------

std::string Gbk(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                            nullptr, nullptr);
    }
    return out;
}

std::wstring Utf16(const std::string& gbk) {
    if (gbk.empty()) return {};
    int size = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), size);
    }
    return out;
}

std::string Utf8(const std::wstring& text) { return runtime::Utf16ToUtf8(std::u16string(text.begin(), text.end())); }

// --- Waiting -----------------------------------------------------------------------------------------------

namespace {

void DispatchPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        DispatchPending();
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pollMs, QS_ALLINPUT);
    }
}

void Pause(DWORD ms) {
    WaitUntil([] { return false; }, ms, ms < 20 ? ms : 20);
}

// --- Files and folders -------------------------------------------------------------------------------------

std::wstring Environment(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    wchar_t last = folder.back();
    if (last == L'\\' || last == L'/') return folder + name;
    return folder + L"\\" + name;
}

std::wstring FreshFolder(const std::wstring& name) {
    std::wstring root = Environment(L"QUILLON_TEST_DIR");
    if (root.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        if (GetTempPathW(MAX_PATH, temp) == 0) return {};
        root = JoinPath(temp, L"quillon-wine-tests");
    }
    std::wstring folder = JoinPath(root, name);
    std::error_code error;
    fs::remove_all(fs::path(folder), error);
    fs::create_directories(fs::path(folder), error);
    if (error || !fs::is_directory(fs::path(folder), error)) return {};
    return folder;
}

std::wstring CopyProgram(const std::wstring& folder) {
    std::wstring source = Environment(L"QUILLON_EXE");
    if (source.empty()) return {};
    std::wstring target = JoinPath(folder, L"quillon.exe");
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return {};
    return target;
}

namespace {

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::wstring ToolPath(const std::wstring& exeName) {
    std::vector<std::wstring> folders;
    if (std::wstring tools = Environment(L"QUILLON_TOOLS_DIR"); !tools.empty()) folders.push_back(tools);
    wchar_t self[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folders.push_back(FolderOf(self));
    if (std::wstring exe = Environment(L"QUILLON_EXE"); !exe.empty()) folders.push_back(FolderOf(exe));
    for (const std::wstring& folder : folders) {
        std::wstring candidate = JoinPath(folder, exeName);
        if (FileExists(candidate)) return candidate;
    }
    return {};
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool StartLinuxCommand(const std::string& command) {
    std::wstring line = L"sh -c \"" + std::wstring(command.begin(), command.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::optional<std::string> RunLinuxCommand(const std::string& command, DWORD timeoutMs) {
    static int serial = 0;
    const std::wstring name = L"linux-output-" + std::to_wstring(++serial);
    const std::wstring windowsPath = JoinPath(Environment(L"QUILLON_TEST_DIR"), name);
    const std::wstring unixFolder = Environment(L"QUILLON_TEST_DIR_UNIX");
    const std::string unixPath = Gbk(unixFolder) + "/" + Gbk(name);
    DeleteFileW(windowsPath.c_str());
    if (!StartLinuxCommand("{ " + command + "; } > " + unixPath + ".part 2>&1; mv " + unixPath + ".part " + unixPath))
        return std::nullopt;
    if (!WaitUntil([&] { return FileExists(windowsPath); }, timeoutMs)) return std::nullopt;
    return ReadFileBytes(windowsPath);
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    std::error_code error;
    for (fs::directory_iterator it(fs::path(folder), error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().wstring());
    }
    return names;
}

// --- Processes ---------------------------------------------------------------------------------------------

Process::~Process() {
    Close();
}

Process::Process(Process&& other) noexcept
    : process_(other.process_), thread_(other.thread_), id_(other.id_), error_(std::move(other.error_)) {
    other.process_ = nullptr;
    other.thread_ = nullptr;
    other.id_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Close();
        process_ = other.process_;
        thread_ = other.thread_;
        id_ = other.id_;
        error_ = std::move(other.error_);
        other.process_ = nullptr;
        other.thread_ = nullptr;
        other.id_ = 0;
    }
    return *this;
}

void Process::Close() {
    if (process_ && Running()) Terminate();
    if (thread_) CloseHandle(thread_);
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    thread_ = nullptr;
    id_ = 0;
}

Process Process::Start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder) {
    Process started;
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::wstring workFolder = folder.empty() ? FolderOf(exe) : folder;

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workFolder.empty() ? nullptr : workFolder.c_str(), &startup, &info)) {
        started.error_ = "CreateProcessW failed for " + Gbk(exe) + " (error " + std::to_string(GetLastError()) + ")";
        return started;
    }
    started.process_ = info.hProcess;
    started.thread_ = info.hThread;
    started.id_ = info.dwProcessId;
    return started;
}

bool Process::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs) const {
    if (!process_) return true;
    return WaitUntil([this] { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

std::optional<DWORD> Process::ExitCode() const {
    if (!process_ || Running()) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
    return code;
}

void Process::Terminate() {
    if (!process_) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kReactTimeout);
}

std::vector<HWND> Process::Windows() const {
    return TopLevelWindowsOf(id_);
}

HWND Process::WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : Windows()) {
                if (match(window)) {
                    found = window;
                    return true;
                }
            }
            // A process that has ended shows no more windows: stop waiting.
            return !Running();
        },
        timeoutMs);
    return found;
}

HWND Process::WaitForNamedWindow(const std::string& name, DWORD timeoutMs) const {
    return WaitForWindow([&](HWND window) { return IsWindowVisible(window) && ControlName(window) == name; },
                         timeoutMs);
}

HWND Process::WaitForVisibleWindow(DWORD timeoutMs) const {
    return WaitForWindow([](HWND window) { return IsWindowVisible(window) != FALSE; }, timeoutMs);
}

namespace {

struct WindowsOfProcess {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowsOfProcess*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid) search->windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD pid) {
    WindowsOfProcess search{pid, {}};
    if (pid != 0) EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

DWORD ProcessIdOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// --- Windows and controls ----------------------------------------------------------------------------------

std::string ControlName(HWND window) {
    auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, L"QuillonName")));
    if (atom == 0) return {};
    wchar_t name[256] = {};
    UINT length = GlobalGetAtomNameW(atom, name, 256);
    return Gbk(std::wstring(name, length));
}

std::vector<HWND> Descendants(HWND root) {
    std::vector<HWND> children;
    // EnumChildWindows visits every descendant, each child followed by its own children.
    EnumChildWindows(root, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND FindControl(HWND root, const std::string& name) {
    if (!root || !IsWindow(root)) return nullptr;
    if (ControlName(root) == name) return root;
    for (HWND child : Descendants(root)) {
        if (ControlName(child) == name) return child;
    }
    return nullptr;
}

HWND WaitForControl(HWND root, const std::string& name, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindControl(root, name);
            return found != nullptr || !IsWindow(root);
        },
        timeoutMs);
    return found;
}

std::string ClassName(HWND window) {
    wchar_t name[256] = {};
    int length = GetClassNameW(window, name, 256);
    return Gbk(std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0));
}

LONG_PTR Style(HWND window) {
    return GetWindowLongPtrW(window, GWL_STYLE);
}

LONG_PTR ExStyle(HWND window) {
    return GetWindowLongPtrW(window, GWL_EXSTYLE);
}

namespace {

// SendMessageTimeoutW with the driver's limit; nothing when the target did not answer in time.
std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout,
                             &result)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

int SendForInt(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    std::optional<LRESULT> result = Send(window, message, wParam, lParam);
    return result ? static_cast<int>(*result) : -1;
}

}  // namespace

std::string ReadText(HWND window) {
    std::optional<LRESULT> length = Send(window, WM_GETTEXTLENGTH, 0, 0);
    if (!length || *length < 0) return {};
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    std::optional<LRESULT> copied =
        Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!copied) return {};
    text.resize(static_cast<size_t>(*copied) < text.size() ? static_cast<size_t>(*copied) : 0);
    return Gbk(text);
}

bool SetText(HWND window, const std::string& text) {
    std::wstring wide = Utf16(text);
    std::optional<LRESULT> result = Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return result && *result != FALSE;
}

bool TypeText(HWND window, const std::string& text) {
    for (wchar_t unit : Utf16(text)) {
        if (!Send(window, WM_CHAR, unit, 1)) return false;
    }
    return true;
}

bool Click(HWND button) {
    return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool ClickAt(HWND window, int x, int y) {
    LPARAM point = MAKELPARAM(x, y);
    return PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point) &&
           PostMessageW(window, WM_LBUTTONUP, 0, point);
}

bool DoubleClickAt(HWND window, int x, int y) {
    LPARAM point = MAKELPARAM(x, y);
    return ClickAt(window, x, y) && PostMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, point) &&
           PostMessageW(window, WM_LBUTTONUP, 0, point);
}

bool RightClickAt(HWND window, int x, int y) {
    POINT screen{x, y};
    if (!ClientToScreen(window, &screen) || !SetCursorPos(screen.x, screen.y)) return false;
    // The move reaches the window as input; let it arrive before the click, so that it cannot land in the
    // middle of the click (a list view takes a move during a right click for the start of a drag).
    Pause(100);
    LPARAM point = MAKELPARAM(x, y);
    return PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, point) && PostMessageW(window, WM_RBUTTONUP, 0, point);
}

namespace {

LPARAM KeyData(UINT virtualKey, bool release) {
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM data = 1 | (static_cast<LPARAM>(scanCode) << 16);
    if (release) data |= (1LL << 30) | (1LL << 31);
    return data;
}

}  // namespace

bool PressKey(HWND window, UINT virtualKey) {
    return PostMessageW(window, WM_KEYDOWN, virtualKey, KeyData(virtualKey, false)) &&
           PostMessageW(window, WM_KEYUP, virtualKey, KeyData(virtualKey, true));
}

bool TypeOver(HWND edit, const std::string& text) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout, &ignored)) {
        return false;
    }
    if (text.empty()) {
        return SendMessageTimeoutW(edit, WM_CHAR, VK_BACK, 1, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout,
                                   &ignored) != 0;
    }
    return TypeText(edit, text);
}

bool PressEscape(HWND window) {
    HWND target = window;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread != 0 && GetGUIThreadInfo(thread, &info) && info.hwndFocus) target = info.hwndFocus;
    const UINT scanCode = MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
    const LPARAM up = down | (1LL << 30) | (1LL << 31);
    return PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, down) && PostMessageW(target, WM_KEYUP, VK_ESCAPE, up);
}

bool RequestClose(HWND window) {
    return PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
}

bool IsShown(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

bool IsEnabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

bool IsMinimised(HWND window) {
    return IsIconic(window) != FALSE;
}

int CheckState(HWND button) {
    return SendForInt(button, BM_GETCHECK);
}

int ComboSelection(HWND combo) {
    return SendForInt(combo, CB_GETCURSEL);
}

int ComboCount(HWND combo) {
    return SendForInt(combo, CB_GETCOUNT);
}

std::string ComboItemText(HWND combo, int index) {
    int length = SendForInt(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = SendForInt(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    if (copied < 0) return {};
    text.resize(static_cast<size_t>(copied) < text.size() ? static_cast<size_t>(copied) : 0);
    return Gbk(text);
}

int TrackPosition(HWND trackbar) {
    return SendForInt(trackbar, TBM_GETPOS);
}

int ListItemCount(HWND listView) {
    return SendForInt(listView, LVM_GETITEMCOUNT);
}

namespace {

// A block of memory inside another process, freed when it goes out of scope. A list view writes the text of
// a cell into memory of its own process, so the request and its text buffer have to live there.
class RemoteBuffer {
public:
    RemoteBuffer(DWORD pid, size_t size) : size_(size) {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                               FALSE, pid);
        if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Ready() const { return address_ != nullptr; }
    char* Address() const { return static_cast<char*>(address_); }
    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T written = 0;
        return offset + size <= size_ && WriteProcessMemory(process_, Address() + offset, data, size, &written) &&
               written == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T read = 0;
        return offset + size <= size_ && ReadProcessMemory(process_, Address() + offset, data, size, &read) &&
               read == size;
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    size_t size_;
};

}  // namespace

std::optional<std::string> ListCellText(HWND listView, int row, int column) {
    constexpr size_t kTextUnits = 1024;
    constexpr size_t kTextOffset = (sizeof(LVITEMW) + 15) / 16 * 16;
    RemoteBuffer buffer(ProcessIdOf(listView), kTextOffset + kTextUnits * sizeof(wchar_t));
    if (!buffer.Ready()) return std::nullopt;

    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPWSTR>(buffer.Address() + kTextOffset);
    item.cchTextMax = static_cast<int>(kTextUnits);
    const wchar_t empty = L'\0';
    if (!buffer.Write(0, &item, sizeof item) || !buffer.Write(kTextOffset, &empty, sizeof empty)) return std::nullopt;

    std::optional<LRESULT> length =
        Send(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer.Address()));
    if (!length || *length < 0) return std::nullopt;
    size_t units = static_cast<size_t>(*length) < kTextUnits ? static_cast<size_t>(*length) : kTextUnits - 1;
    std::wstring text(units, L'\0');
    if (units > 0 && !buffer.Read(kTextOffset, text.data(), units * sizeof(wchar_t))) return std::nullopt;
    return Gbk(text);
}

std::vector<std::vector<std::string>> ListRows(HWND listView, int columns) {
    std::vector<std::vector<std::string>> rows;
    int count = ListItemCount(listView);
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column) {
            cells.push_back(ListCellText(listView, row, column).value_or(std::string()));
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

int ListSelection(HWND listView) {
    return SendForInt(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
}

namespace {

// Sends `message` to `window` with a RECT in the window's own process: `in` is written there first, the
// answer's RECT read back.
std::optional<RECT> RemoteRect(HWND window, UINT message, WPARAM wParam, const RECT& in) {
    RemoteBuffer buffer(ProcessIdOf(window), sizeof(RECT));
    if (!buffer.Ready() || !buffer.Write(0, &in, sizeof in)) return std::nullopt;
    std::optional<LRESULT> answer = Send(window, message, wParam, reinterpret_cast<LPARAM>(buffer.Address()));
    RECT out{};
    if (!answer || *answer == 0 || !buffer.Read(0, &out, sizeof out)) return std::nullopt;
    return out;
}

}  // namespace

std::optional<RECT> ListCellRect(HWND listView, int row, int column) {
    RECT in{};
    in.top = column;
    in.left = LVIR_BOUNDS;
    return RemoteRect(listView, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), in);
}

bool ClickListHeader(HWND listView, int column) {
    std::optional<LRESULT> header = Send(listView, LVM_GETHEADER, 0, 0);
    if (!header || *header == 0) return false;
    HWND headerWindow = reinterpret_cast<HWND>(*header);
    std::optional<RECT> item = RemoteRect(headerWindow, HDM_GETITEMRECT, static_cast<WPARAM>(column), RECT{});
    if (!item || item->right <= item->left) return false;
    return ClickAt(headerWindow, (item->left + item->right) / 2, (item->top + item->bottom) / 2);
}

// --- Popup menus -------------------------------------------------------------------------------------------

HWND WaitForPopupMenu(DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindowsOf(pid)) {
                if (IsWindowVisible(window) && ClassName(window) == "#32768") {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool ChooseMenuItem(HWND menu, int choosable) {
    if (!PressKey(menu, VK_HOME)) return false;
    for (int i = 0; i < choosable; ++i) {
        if (!PressKey(menu, VK_DOWN)) return false;
    }
    return PressKey(menu, VK_RETURN);
}

// --- Message boxes -----------------------------------------------------------------------------------------

namespace {

std::string WithoutAmpersands(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '&') out += c;
    }
    return out;
}

MessageBoxView ReadMessageBox(HWND dialog) {
    MessageBoxView view;
    view.dialog = dialog;
    view.owner = GetWindow(dialog, GW_OWNER);
    view.title = ReadText(dialog);
    if (HWND text = GetDlgItem(dialog, 0xFFFF)) view.text = ReadText(text);
    for (HWND child : Descendants(dialog)) {
        if (GetParent(child) != dialog) continue;
        std::string kind = ClassName(child);
        if (_stricmp(kind.c_str(), "Button") == 0) {
            view.buttons.push_back(WithoutAmpersands(ReadText(child)));
        } else if (_stricmp(kind.c_str(), "Static") == 0 && (Style(child) & SS_TYPEMASK) == SS_ICON &&
                   IsWindowVisible(child)) {
            // A message box without an icon may still carry an empty icon control; only a held icon counts.
            std::optional<LRESULT> icon = Send(child, STM_GETICON, 0, 0);
            if (icon && *icon != 0) view.hasIcon = true;
        }
    }
    return view;
}

}  // namespace

std::optional<MessageBoxView> FindMessageBox(DWORD pid) {
    for (HWND window : TopLevelWindowsOf(pid)) {
        if (IsWindowVisible(window) && ClassName(window) == "#32770") return ReadMessageBox(window);
    }
    return std::nullopt;
}

std::optional<MessageBoxView> WaitForMessageBox(DWORD pid, DWORD timeoutMs) {
    std::optional<MessageBoxView> found;
    WaitUntil(
        [&] {
            found = FindMessageBox(pid);
            return found.has_value();
        },
        timeoutMs);
    return found;
}

bool PressButton(HWND dialog, const std::string& caption) {
    for (HWND child : Descendants(dialog)) {
        if (_stricmp(ClassName(child).c_str(), "Button") == 0 && WithoutAmpersands(ReadText(child)) == caption) {
            return Click(child);
        }
    }
    return false;
}

bool PressButtonId(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button && Click(button);
}

}  // namespace wine_driver
