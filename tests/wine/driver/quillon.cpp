#include "quillon.h"

namespace wine_driver {

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
