// What the driver knows about quillon.exe itself: its single-instance mark and its main window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/server_records.h"
#include "driver.h"

namespace wine_driver {

// The named event a running copy of the program holds.
constexpr wchar_t kInstanceMarkName[] = L"QuillonVRLTKD2021";
// The designer name of the program's main window.
constexpr char kMainWindowName[] = "MainWindow";

// Whether some process holds the program's single-instance mark (in this Wine server).
bool InstanceMarkExists();

// A fresh folder QUILLON_TEST_DIR\<name> holding a copy of quillon.exe; the copy's path, empty on failure.
std::wstring PrepareProgramFolder(const std::wstring& name);

// Starts quillon.exe after waiting (up to kReactTimeout) for an earlier copy's mark to be gone, so that a
// copy left over from a previous step cannot turn this start into a "second start".
Process StartQuillon(const std::wstring& exe);

// quillon.exe started from a fresh folder QUILLON_TEST_DIR\<name>, beside a new config.MDB holding `servers`,
// and loaded (its start-up loader done): the process, its main window and server list. A gtest failure, and
// no main window, when any of it fails.
struct Started {
    Process program;
    HWND main = nullptr;
    HWND list = nullptr;
    std::wstring folder;
};
Started StartWithServers(const std::wstring& name, const std::vector<catalogue::ServerEntry>& servers);

// Where the program writes a server's connection file: in its folder under "Quillon" in the user's temporary
// folder (session::ConnectionNameOf).
std::wstring ConnectionFilePath(const std::string& note, const std::string& ip, const std::string& port);

// The date `days` from today at the current hour, in the editor's form ("2026/12/8 14:00:00").
std::string DaysFromNow(int days);

// Whether the screen shows a pixel of `colour` (0x00BBGGRR, as the list's rows are drawn) inside list row
// `row` of `list`, read from a screenshot of the whole display taken now (into QUILLON_TEST_DIR).
bool RowShowsColour(HWND list, int row, std::int32_t colour);

// The program's visible main window, waiting up to `timeoutMs`.
HWND WaitForMainWindow(const Process& program, DWORD timeoutMs = kStartTimeout);

// Answers the close question the program asks when its main window is closed ("确认是否关闭", title "提示:"):
// OK (the program ends) or Cancel (the window hides). False when no such question appeared.
bool AnswerCloseQuestion(const Process& program, bool ok);

// Closes the main window as the person does (a close request) and answers the close question with OK.
bool CloseQuillon(const Process& program, HWND mainWindow);

// Clicks the header of `page` of the settings tab control ("高级选择夹1"), as a person would, and waits for
// control `shown` of that page to show (a gtest failure when it does not).
void ChooseSettingsPage(HWND main, int page, const std::wstring& shown);

}  // namespace wine_driver
