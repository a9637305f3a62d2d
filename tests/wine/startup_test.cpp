// quillon.exe's start, as a person sees it: the main window, the configuration database it creates or
// opens, the warning for a database that does not open, the ways to end it, and a second start while a
// copy already runs. Each case copies quillon.exe into a fresh folder of its own.
#include <gtest/gtest.h>

#include <functional>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalogue/config_database.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {


std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring DatabaseBeside(const std::wstring& exe) {
    return JoinPath(FolderOf(exe), L"config.MDB");
}

// What the folder holds besides the program and its database: a journal or any other file left behind.
std::vector<std::string> StrayFiles(const std::wstring& folder) {
    std::vector<std::string> stray;
    for (const std::wstring& name : ListFolder(folder)) {
        if (name != L"quillon.exe" && name != L"config.MDB") stray.push_back(Gbk(name));
    }
    return stray;
}

// Whether `upper` comes before `lower` in the Z order of top-level windows.
bool IsAbove(HWND upper, HWND lower) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == upper) return true;
        if (window == lower) return false;
    }
    return false;
}

// A configuration database with one server, written by the engine from the template.
std::string DatabaseWithOneServer(const std::wstring& folder) {
    std::wstring path = JoinPath(folder, L"made.MDB");
    EXPECT_TRUE(WriteFileBytes(path, catalogue::ConfigDatabaseTemplate()));
    {
        catalogue::ConfigDatabase database;
        EXPECT_TRUE(database.Open(Utf8(path))) << database.LastError();
        EXPECT_TRUE(database.OpenTable("Server")) << database.LastError();
        EXPECT_TRUE(database.AddRow()) << database.LastError();
        EXPECT_TRUE(database.WriteText("ip", "192.168.1.20"));
        EXPECT_TRUE(database.WriteText("port", "3389"));
        EXPECT_TRUE(database.WriteText("note", Gbk(L"机房一")));
        EXPECT_TRUE(database.SaveRow()) << database.LastError();
        database.Close();
        database.CloseConnection();
    }
    std::string bytes = ReadFileBytes(path).value_or(std::string());
    DeleteFileW(path.c_str());
    return bytes;
}

// A running copy of the program whose main window is up.
struct Running {
    Process program;
    HWND main = nullptr;
};

Running StartAndWaitForMainWindow(const std::wstring& exe) {
    Running running;
    running.program = StartQuillon(exe);
    EXPECT_TRUE(running.program.Started()) << running.program.Error();
    running.main = WaitForMainWindow(running.program);
    EXPECT_NE(running.main, nullptr) << "no visible main window";
    // Started means the database file is written and open and the loader has finished: the program then
    // marks its main window. Before that the file may still be being written.
    if (running.main) {
        EXPECT_TRUE(WaitUntil([&] { return GetPropW(running.main, L"QuillonLoaded") != nullptr; }, kReactTimeout))
            << "the start-up loader did not finish";
    }
    return running;
}

// Ends the copy with a close request, answered with OK, and expects a clean end.
void CloseAndExpectCleanEnd(Running& running) {
    ASSERT_TRUE(CloseQuillon(running.program, running.main));
    ASSERT_TRUE(running.program.WaitForExit(kReactTimeout)) << "still running after the close request";
    EXPECT_EQ(running.program.ExitCode(), 0u);
}

TEST(StartupTest, FirstStartCreatesTheDatabaseAndShowsTheMainWindow) {
    std::wstring exe = PrepareProgramFolder(L"first-start");
    ASSERT_FALSE(exe.empty()) << "could not copy QUILLON_EXE into the test folder";
    const std::wstring database = DatabaseBeside(exe);
    ASSERT_FALSE(FileExists(database));

    Running running = StartAndWaitForMainWindow(exe);
    ASSERT_NE(running.main, nullptr);
    EXPECT_TRUE(InstanceMarkExists());

    // The window: caption, name, outer size, centred, no caption bar or frame, no taskbar button.
    EXPECT_EQ(ReadText(running.main), "Quillon");
    EXPECT_EQ(ControlName(running.main), "MainWindow");
    RECT frame = {};
    ASSERT_TRUE(GetWindowRect(running.main, &frame));
    EXPECT_EQ(frame.right - frame.left, 925);
    EXPECT_EQ(frame.bottom - frame.top, 558);
    EXPECT_NEAR(frame.left, (GetSystemMetrics(SM_CXSCREEN) - 925) / 2, 1);
    EXPECT_NEAR(frame.top, (GetSystemMetrics(SM_CYSCREEN) - 558) / 2, 1);
    const LONG_PTR style = Style(running.main);
    EXPECT_EQ(style & WS_CAPTION, 0) << "title bar or border";
    EXPECT_EQ(style & WS_THICKFRAME, 0) << "sizing frame";
    EXPECT_EQ(style & WS_CHILD, 0);
    const LONG_PTR exStyle = ExStyle(running.main);
    const bool offTaskbar = (exStyle & WS_EX_TOOLWINDOW) != 0 || GetWindow(running.main, GW_OWNER) != nullptr;
    EXPECT_TRUE(offTaskbar) << "neither a tool window nor owned: it would get a taskbar button";
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0) << "WS_EX_APPWINDOW forces a taskbar button";
    EXPECT_EQ(exStyle & WS_EX_TOPMOST, 0);

    // The database appears beside the program while it runs.
    EXPECT_TRUE(WaitUntil([&] { return FileExists(database); }, kReactTimeout));

    CloseAndExpectCleanEnd(running);
    EXPECT_FALSE(InstanceMarkExists());

    // The file is the template the program carries (opening it changed nothing), and it reads as such.
    EXPECT_EQ(ReadFileBytes(database), std::optional<std::string>(catalogue::ConfigDatabaseTemplate()));
    EXPECT_EQ(StrayFiles(FolderOf(exe)), std::vector<std::string>());
    catalogue::ConfigDatabase db;
    ASSERT_TRUE(db.Open(Utf8(database))) << db.LastError();
    ASSERT_TRUE(db.OpenTable("Server")) << db.LastError();
    EXPECT_EQ(db.RecordCount(), 0);
    ASSERT_TRUE(db.OpenTable("config")) << db.LastError();
    EXPECT_EQ(db.RecordCount(), 1);
    EXPECT_EQ(db.ReadText("id"), "1");
    EXPECT_EQ(db.ReadText("kd"), "640");
    EXPECT_EQ(db.ReadText("gd"), "480");
    db.Close();
    db.CloseConnection();
}

TEST(StartupTest, AnExistingDatabaseIsOpenedUnchangedAndEscEndsTheProgram) {
    std::wstring exe = PrepareProgramFolder(L"existing-database");
    ASSERT_FALSE(exe.empty());
    const std::wstring database = DatabaseBeside(exe);
    const std::string bytes = DatabaseWithOneServer(FolderOf(exe));
    ASSERT_FALSE(bytes.empty());
    ASSERT_NE(bytes, catalogue::ConfigDatabaseTemplate());
    ASSERT_TRUE(WriteFileBytes(database, bytes));

    Running running = StartAndWaitForMainWindow(exe);
    ASSERT_NE(running.main, nullptr);
    // The program opens the database before its window takes input; give the start-up loader a moment too.
    Pause(1000);
    EXPECT_FALSE(FindMessageBox(running.program.Id()).has_value()) << "the database did not open";

    ASSERT_TRUE(PressEscape(running.main));
    ASSERT_TRUE(AnswerCloseQuestion(running.program, true)) << "Esc did not ask the close question";
    ASSERT_TRUE(running.program.WaitForExit(kReactTimeout)) << "OK did not end the program";
    EXPECT_EQ(running.program.ExitCode(), 0u);

    EXPECT_EQ(ReadFileBytes(database), std::optional<std::string>(bytes));
    EXPECT_EQ(StrayFiles(FolderOf(exe)), std::vector<std::string>());
}

// What the program must do with a file that is not a database it can open: say so in its warning box and
// end after OK, leaving the file as it was.
void ExpectWarningForDamagedDatabase(const std::wstring& folderName, const std::string& damaged) {
    std::wstring exe = PrepareProgramFolder(folderName);
    ASSERT_FALSE(exe.empty());
    const std::wstring database = DatabaseBeside(exe);
    ASSERT_TRUE(WriteFileBytes(database, damaged));

    Process program = StartQuillon(exe);
    ASSERT_TRUE(program.Started()) << program.Error();
    std::optional<MessageBoxView> box = WaitForMessageBox(program.Id(), kStartTimeout);
    ASSERT_TRUE(box.has_value()) << "no message box";
    EXPECT_EQ(box->text, Gbk(L"数据库连接失败！"));
    EXPECT_EQ(box->title, Gbk(L"警告："));
    EXPECT_FALSE(box->hasIcon);
    EXPECT_EQ(box->buttons.size(), 1u);
    EXPECT_NE(GetDlgItem(box->dialog, IDOK), nullptr) << "the one button is not OK";
    ASSERT_NE(box->owner, nullptr) << "the box has no owner";
    EXPECT_EQ(ControlName(box->owner), "MainWindow");
    EXPECT_TRUE(program.Running());

    ASSERT_TRUE(PressButtonId(box->dialog, IDOK));
    ASSERT_TRUE(program.WaitForExit(kReactTimeout)) << "still running after OK";
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(database), std::optional<std::string>(damaged));
    EXPECT_EQ(StrayFiles(FolderOf(exe)), std::vector<std::string>());
}

TEST(StartupTest, ADamagedDatabaseShowsTheWarningAndTheProgramEndsAfterOk) {
    {
        SCOPED_TRACE("text instead of a database");
        std::string text;
        while (text.size() < 8192) text += "This is not a database file.\r\n";
        ExpectWarningForDamagedDatabase(L"damaged-text", text);
    }
    {
        SCOPED_TRACE("the template cut after its first page");
        ExpectWarningForDamagedDatabase(L"damaged-cut", catalogue::ConfigDatabaseTemplate().substr(0, 4096));
    }
}

// A second start while a copy runs: `showCommand` puts the running copy's main window out of sight
// (`outOfSight` says when it is), and the second copy must bring it back and end. The second copy starts
// from another folder without a database: had it gone on to the database, it would have written one there.
void ExpectSecondStartBringsBackFirstCopy(const std::wstring& name, int showCommand,
                                          const std::function<bool(HWND)>& outOfSight) {
    std::wstring exe = PrepareProgramFolder(name + L"-first");
    std::wstring secondExe = PrepareProgramFolder(name + L"-second");
    ASSERT_FALSE(exe.empty());
    ASSERT_FALSE(secondExe.empty());
    const std::wstring database = DatabaseBeside(exe);

    Running first = StartAndWaitForMainWindow(exe);
    ASSERT_NE(first.main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(database); }, kReactTimeout));
    const std::string bytes = ReadFileBytes(database).value_or(std::string());

    ShowWindowAsync(first.main, showCommand);
    ASSERT_TRUE(WaitUntil([&] { return outOfSight(first.main); }, kReactTimeout));

    // Another window in front of everything, so that "in front" afterwards means the copy was raised.
    Process other = Process::Start(ToolPath(L"window_host.exe"), L"window Other");
    ASSERT_TRUE(other.Started()) << other.Error();
    HWND otherWindow = other.WaitForVisibleWindow();
    ASSERT_NE(otherWindow, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == otherWindow; }, kReactTimeout));

    const ULONGLONG started = GetTickCount64();
    Process second = Process::Start(secondExe);
    ASSERT_TRUE(second.Started()) << second.Error();
    // The program is meant to end within about 2 s; a Wine process start alone may take that long, so the
    // limit here is only what tells "ends" from "stays"; the time is printed.
    ASSERT_TRUE(second.WaitForExit(kStartTimeout)) << "the second copy did not end";
    std::printf("second start ended after %llu ms\n", GetTickCount64() - started);
    EXPECT_EQ(second.ExitCode(), 0u);

    EXPECT_TRUE(WaitUntil([&] { return IsShown(first.main) && !IsMinimised(first.main); }, kReactTimeout))
        << "visible " << IsShown(first.main) << ", minimised " << IsMinimised(first.main);
    // Wine lets any process set the foreground window (Windows may refuse a process that is not in the
    // foreground itself and flash the taskbar button instead); under Wine the raised window must be active
    // and above the window that was in front.
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == first.main; }, kReactTimeout))
        << "foreground is " << ReadText(GetForegroundWindow());
    EXPECT_TRUE(IsAbove(first.main, otherWindow));

    EXPECT_TRUE(first.program.Running());
    EXPECT_FALSE(FileExists(DatabaseBeside(secondExe))) << "the second copy went on to the database";
    EXPECT_EQ(StrayFiles(FolderOf(secondExe)), std::vector<std::string>());

    ASSERT_TRUE(RequestClose(otherWindow));
    EXPECT_TRUE(other.WaitForExit(kReactTimeout));
    CloseAndExpectCleanEnd(first);
    EXPECT_EQ(ReadFileBytes(database), std::optional<std::string>(bytes));
    EXPECT_EQ(StrayFiles(FolderOf(exe)), std::vector<std::string>());
}

TEST(StartupTest, ASecondStartShowsTheHiddenFirstCopyAndEnds) {
    ExpectSecondStartBringsBackFirstCopy(L"second-start-hidden", SW_HIDE, [](HWND w) { return !IsShown(w); });
}

TEST(StartupTest, ASecondStartRestoresTheMinimisedFirstCopyAndEnds) {
    ExpectSecondStartBringsBackFirstCopy(L"second-start-minimised", SW_MINIMIZE,
                                         [](HWND w) { return IsMinimised(w); });
}

}  // namespace
}  // namespace wine_driver
