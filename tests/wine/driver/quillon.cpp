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

}  // namespace wine_driver
