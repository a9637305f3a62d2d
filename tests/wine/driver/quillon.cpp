#include "quillon.h"

#include <commctrl.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "catalogue/config_database.h"
#include "runtime/png_image.h"
#include "runtime/text_codec.h"
#include "session/connection_file.h"

namespace wine_driver {

namespace {

// The tab control's header rectangle of `page`, asked through a buffer in the program's own memory (the
// message's pointer is read in the program's process).
bool TabHeaderRect(HWND tab, int page, RECT* rect) {
    DWORD pid = ProcessIdOf(tab);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = false;
    if (remote) {
        DWORD_PTR answer = 0;
        SIZE_T read = 0;
        ok = SendMessageTimeoutW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(remote),
                                 SMTO_ABORTIFHUNG, kReactTimeout, &answer) != 0 &&
             answer != 0 && ReadProcessMemory(process, remote, rect, sizeof(RECT), &read) && read == sizeof(RECT);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

}  // namespace

void ChooseSettingsPage(HWND main, int page, const std::wstring& button) {
    HWND tab = FindControl(main, Gbk(L"高级选择夹1"));
    ASSERT_NE(tab, nullptr);
    RECT header = {};
    ASSERT_TRUE(TabHeaderRect(tab, page, &header));
    ASSERT_TRUE(ClickAt(tab, (header.left + header.right) / 2, (header.top + header.bottom) / 2));
    HWND shown = FindControl(main, Gbk(button));
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return IsShown(shown); }, kReactTimeout)) << "page " << page << " did not show";
}

bool InstanceMarkExists() {
    HANDLE mark = OpenEventW(SYNCHRONIZE, FALSE, kInstanceMarkName);
    if (!mark) return false;
    CloseHandle(mark);
    return true;
}

std::wstring PrepareProgramFolder(const std::wstring& name) {
    std::wstring folder = FreshFolder(name);
    return folder.empty() ? std::wstring() : CopyProgram(folder);
}

Process StartQuillon(const std::wstring& exe) {
    WaitUntil([] { return !InstanceMarkExists(); }, kReactTimeout);
    return Process::Start(exe);
}

std::wstring ConnectionFilePath(const std::string& note, const std::string& ip, const std::string& port) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"Quillon\\" + Utf16(session::ConnectionNameOf(note, ip, port).file);
}

std::string DaysFromNow(int days) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME file{};
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(days) * 86400LL * 10000000LL);
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME then{};
    FileTimeToSystemTime(&file, &then);
    return std::to_string(then.wYear) + "/" + std::to_string(then.wMonth) + "/" + std::to_string(then.wDay) + " " +
           std::to_string(then.wHour) + ":00:00";
}

bool RowShowsColour(HWND list, int row, std::int32_t colour) {
    // The screenshot goes through the Linux side's /tmp, which Wine shows as Z:\tmp.
    const std::string name = "quillon-screen-" + std::to_string(GetCurrentProcessId()) + ".png";
    if (!RunLinuxCommand("import -window root /tmp/" + name)) return false;
    const std::wstring shot = L"Z:\\tmp\\" + Utf16(name);
    const std::string png = ReadFileBytes(shot).value_or("");
    DeleteFileW(shot.c_str());
    runtime::RgbaImage screen;
    if (!runtime::DecodePng(reinterpret_cast<const unsigned char*>(png.data()), png.size(), screen)) return false;
    std::optional<RECT> cell = ListCellRect(list, row, 4);
    if (!cell) return false;
    RECT client{};
    GetClientRect(list, &client);
    RECT area{0, cell->top, client.right, cell->bottom};
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&area), 2);
    const std::uint32_t wanted = 0xFF000000u | (static_cast<std::uint32_t>(colour & 0xFF) << 16) |
                                 (static_cast<std::uint32_t>(colour & 0xFF00)) | ((colour >> 16) & 0xFF);
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, screen.height); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, screen.width); ++x)
            if (screen.At(x, y) == wanted) return true;
    return false;
}

Started StartWithServers(const std::wstring& name, const std::vector<catalogue::ServerEntry>& servers) {
    Started started;
    const std::wstring exe = PrepareProgramFolder(name);
    EXPECT_FALSE(exe.empty());
    if (exe.empty()) return started;
    started.folder = exe.substr(0, exe.find_last_of(L'\\'));
    const std::wstring database = JoinPath(started.folder, L"config.MDB");
    EXPECT_TRUE(WriteFileBytes(database, catalogue::ConfigDatabaseTemplate()));
    {
        catalogue::ConfigDatabase db;
        EXPECT_TRUE(db.Open(Utf8(database))) << db.LastError();
        for (const catalogue::ServerEntry& server : servers) EXPECT_TRUE(catalogue::AddServer(db, server)) << db.LastError();
    }
    started.program = StartQuillon(exe);
    EXPECT_TRUE(started.program.Started()) << started.program.Error();
    HWND main = WaitForMainWindow(started.program);
    EXPECT_NE(main, nullptr);
    if (!main || !WaitUntil([&] { return GetPropW(main, L"QuillonLoaded") != nullptr; }, kReactTimeout)) {
        ADD_FAILURE() << "the program did not load";
        return started;
    }
    started.main = main;
    started.list = FindControl(main, Gbk(L"超级列表框1"));
    EXPECT_NE(started.list, nullptr);
    return started;
}

HWND WaitForMainWindow(const Process& program, DWORD timeoutMs) {
    return program.WaitForNamedWindow(kMainWindowName, timeoutMs);
}

bool AnswerCloseQuestion(const Process& program, bool ok) {
    std::optional<MessageBoxView> question = WaitForMessageBox(program.Id());
    if (!question || question->text != Gbk(L"确认是否关闭") || question->title != Gbk(L"提示:")) return false;
    return PressButtonId(question->dialog, ok ? IDOK : IDCANCEL);
}

bool CloseQuillon(const Process& program, HWND mainWindow) {
    return RequestClose(mainWindow) && AnswerCloseQuestion(program, true);
}

}  // namespace wine_driver
