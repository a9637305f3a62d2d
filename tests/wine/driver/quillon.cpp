#include "quillon.h"

#include <commctrl.h>

#include <gtest/gtest.h>

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
