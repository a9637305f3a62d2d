// The Windows environment every other Windows-side test relies on: Chinese ANSI code page, GBK literals,
// Chinese window captions, the folders the test run hands over, and crashes that end a program at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The program's texts are GBK; its string literals are compiled to code page 936.
TEST(Environment, AnsiCodePageIsChinese) {
    EXPECT_EQ(GetACP(), 936u) << "Wine must run under LANG=zh_CN.UTF-8";

    // 服务器 as code page 936 bytes, written out so that this check does not depend on the compiler.
    const std::string kServerGbk = "\xB7\xFE\xCE\xF1\xC6\xF7";
    EXPECT_EQ(std::string("服务器"), kServerGbk) << "string literals are not compiled to GBK";

    // The ANSI functions take GBK without naming a code page only under code page 936.
    wchar_t wide[8] = {};
    int length = MultiByteToWideChar(CP_ACP, 0, kServerGbk.data(), int(kServerGbk.size()), wide, 8);
    EXPECT_EQ(std::wstring(wide, length > 0 ? size_t(length) : 0), L"\u670D\u52A1\u5668");
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcW(window, message, w, l);
}

// A Chinese caption set through the W functions reads back the same through both the W and the A functions
// (the latter converting to GBK), and another window finds it by that caption.
TEST(Environment, ChineseWindowCaptionRoundTrips) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuillonEnvironmentTest";
    ASSERT_NE(RegisterClassW(&windowClass), 0) << GetLastError();

    const std::wstring caption = L"\u670D\u52A1\u5668\u5217\u8868 Quillon";  // 服务器列表 Quillon
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr) << GetLastError();
    ShowWindow(window, SW_SHOW);

    wchar_t wide[64] = {};
    ASSERT_EQ(GetWindowTextW(window, wide, 64), int(caption.size()));
    EXPECT_EQ(std::wstring(wide), caption);

    char ansi[64] = {};
    GetWindowTextA(window, ansi, 64);
    EXPECT_EQ(std::string(ansi), "\xB7\xFE\xCE\xF1\xC6\xF7\xC1\xD0\xB1\xED Quillon");

    EXPECT_EQ(FindWindowW(windowClass.lpszClassName, caption.c_str()), window);
    EXPECT_EQ(FindWindowA("QuillonEnvironmentTest", "\xB7\xFE\xCE\xF1\xC6\xF7\xC1\xD0\xB1\xED Quillon"), window);

    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

// The scratch folder exists, is empty and writable, in Windows form; quillon.exe, when named, exists.
TEST(Environment, TestFoldersArriveInWindowsForm) {
    const char* scratch = std::getenv("QUILLON_TEST_DIR");
    ASSERT_NE(scratch, nullptr) << "QUILLON_TEST_DIR is not set: run through scripts/wine/emulator.sh";
    const std::string folder = scratch;
    ASSERT_GE(folder.size(), 3u);
    EXPECT_EQ(folder.substr(1, 2), ":\\");

    DWORD attributes = GetFileAttributesA(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << folder;
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..") ++entries;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    EXPECT_EQ(entries, 0) << "the scratch folder is not fresh";

    const std::string file = folder + "\\probe.txt";
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(handle);
    EXPECT_TRUE(DeleteFileA(file.c_str()));

    if (const char* exe = std::getenv("QUILLON_EXE")) {
        EXPECT_NE(GetFileAttributesA(exe), INVALID_FILE_ATTRIBUTES) << exe;
    }
}

// A program that crashes prints its backtrace and ends with a non-zero exit code at once: it never waits in
// a debugger or behind a crash dialog until the test's time-out.
TEST(Environment, ACrashEndsTheProgramAtOnce) {
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring crasher = self;
    crasher.resize(crasher.find_last_of(L'\\') + 1);
    crasher += L"crash_at_once.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(crasher.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << GetLastError();
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0) << "the crashed program is still there";
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, STILL_ACTIVE);
    if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
