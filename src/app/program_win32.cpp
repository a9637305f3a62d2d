// The program's start-up, single instance and exit on Windows.
//
// Threads: the user-interface thread runs the message loop and every window; the start-up loader runs on
// a thread of its own (see startup_loader.h for its rules: the database lock for its reads, and each
// control change handed to the user-interface thread by SendMessage of a private message to MainWindow).
// Every way out of the program goes through std::exit (or the return from WinMain), so the exit clean-up
// registered at start always runs.
//
// The database: config.MDB beside the executable, in whatever folder that is (its path comes from the system
// as UTF-16 and reaches the engine as UTF-8), read and written by the program's own engine. Started with
// --system-jet-provider, the program uses the system's Jet OLE DB provider through ADO instead. Then each
// thread that uses the database joins COM's multithreaded apartment on its first use (ado_backend_win32.cpp),
// the user-interface thread included, which does so when it opens the database; later code on the
// user-interface thread must not ask COM for a single-threaded apartment.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "app/program.h"
#include "app/server_catalogue.h"
#include "app/server_expiry.h"
#include "app/server_transfer.h"
#include "app/startup_loader.h"
#include "catalogue/config_check.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "profile/connection_profile.h"
#include "profile/display_sizes.h"
#include "profile/settings_window.h"
#include "runtime/file_dialogs_win32.h"
#include "runtime/form_win32.h"
#include "runtime/text_codec.h"
#include "runtime/window_win32.h"
#include "session/connect_win32.h"
#include "tray/tray_icon_win32.h"
#include "session/window_helpers.h"
#include "ui/main_window.h"

namespace app {
namespace {

constexpr char kInstanceEventName[] = "QuillonVRLTKD2021";

// The command-line option that has the database read and written through the system's Jet OLE DB provider
// (ADO) instead of the program's own engine.
constexpr wchar_t kSystemProviderOption[] = L"--system-jet-provider";
catalogue::ConfigDatabase::Engine databaseEngine = catalogue::ConfigDatabase::Engine::kBuiltIn;

void ReadCommandLine() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return;
    for (int i = 1; i < count; ++i) {
        if (lstrcmpiW(arguments[i], kSystemProviderOption) == 0)
            databaseEngine = catalogue::ConfigDatabase::Engine::kSystemProvider;
    }
    LocalFree(arguments);
}

// ---------------------------------------------------------------------------------------------------------
// The notification icon (src/tray): its object is created at start and destroyed by the exit clean-up (which
// removes the icon, so that no way out leaves one behind); the icon itself is added once the main window
// exists, with the program's icon and the tip "Quillon".

tray::TrayIcon* trayIcon = nullptr;

void CreateTrayIconObject() { trayIcon = new tray::TrayIcon(); }

void DestroyTrayIconObject() {
    delete trayIcon;
    trayIcon = nullptr;
}

// The program's .ico file, carried as resource 2 (src/ui/quillon.rc).
std::vector<std::uint8_t> ProgramIconFile() {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    return bytes ? std::vector<std::uint8_t>(bytes, bytes + SizeofResource(nullptr, found)) : std::vector<std::uint8_t>{};
}

// Kept: the handler is bound whatever the shell says, and the icon is added again until the shell takes it.
void AddTrayIconAndHandler() {
    if (trayIcon)
        trayIcon->Keep(reinterpret_cast<HWND>(ui::MainWindowHandle()), ProgramIconFile(), "Quillon", &HandleTrayEvent);
}

void RemoveTrayIcon() {
    if (trayIcon) trayIcon->Remove();
}
// ---------------------------------------------------------------------------------------------------------

// The full path of this program's executable in UTF-16.
std::wstring executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

// The folder of the executable without a trailing separator, in UTF-8 (the form the database takes).
std::string executableFolder() {
    std::wstring path = executablePath();
    size_t separator = path.find_last_of(L"\\/");
    path.resize(separator == std::wstring::npos ? 0 : separator);
    return runtime::Utf16ToUtf8(std::u16string(path.begin(), path.end()));
}

// The executable's file name in GBK ("quillon.exe"), as the process list names it.
std::string executableFileName() {
    std::wstring path = executablePath();
    size_t separator = path.find_last_of(L"\\/");
    std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    return runtime::Utf16ToGbk(std::u16string(name.begin(), name.end()));
}

void closeDatabase() {
    AppState& state = App();
    std::lock_guard<std::mutex> lock(state.DatabaseLock);
    state.Database.Close();
    state.Database.CloseConnection();
}

void ExitCleanup() { DestroyTrayIconObject(); }

// The loader's way to the user-interface thread: SendMessage to MainWindow (runtime::Window).
class MainWindowUiThread final : public UiThread {
public:
    void Run(const std::function<void()>& work) override { ui::RunOnMainWindowThread(work); }
};

// MainWindow's controls as its handlers see them (set when the window's handlers are bound).
runtime::Form* mainForm = nullptr;

// The windows the handlers open: the settings dialogs, the server editor and the message boxes.
runtime::Win32Dialogs& Dialogs() {
    static runtime::Win32Dialogs dialogs([] { return reinterpret_cast<HWND>(ui::MainWindowHandle()); });
    return dialogs;
}

// The local date and time.
runtime::DateTimeValue LocalNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// The program's servers, which the server list shows. Never destroyed, like the window it serves.
ServerModel& Servers() {
    static ServerModel* model = new ServerModel(session::ConnectionNameLimit());
    return *model;
}

// The session monitor: made when the main window's handlers are bound (a connect request tells it about the
// clients it starts), run on a thread of its own from OnMainWindowCreated until MonitorStop. Never destroyed,
// like the window it watches.
session::SessionMonitor* monitor = nullptr;

ServerTransfer& Transfer();

// Work away from the user-interface thread: a thread of its own, what it found handed back to the
// user-interface thread.
void InBackground(std::function<void()> work, std::function<void()> done) {
    std::thread([work = std::move(work), done = std::move(done)] {
        work();
        ui::RunOnMainWindowThread(done);
    }).detach();
}

// The server list, its menu, the server editor and the filter strip. Never destroyed, like the window it serves.
ServerCatalogue& Catalogue() {
    static ServerCatalogue* catalogue = new ServerCatalogue(
        Servers(), {&App().Database, &App().DatabaseLock, &Dialogs(), &session::DeleteConnectionFileNow,
                    [](const std::string& file) { return monitor && monitor->Watching(file); }, &LocalNow,
                    [](runtime::Form& window) { Transfer().BeginImport(window); },
                    [](runtime::Form& window) { Transfer().BeginExport(window); }, &InBackground});
    return *catalogue;
}

// Import and export. The system's file dialogs are owned by the window in front (the import dialog, say).
ServerTransfer& Transfer() {
    static ServerTransfer* transfer = [] {
        TransferServices services;
        services.database = &App().Database;
        services.databaseLock = &App().DatabaseLock;
        services.dialogs = &Dialogs();
        services.databasePath = executableFolder() + "\\config.MDB";
        services.unprotect = transfer::SystemUnprotector();
        const runtime::FileTypes sources = {{"服务器列表 (*.csv; *.txt; *.rdp; *.rdg; *.xml)", "*.csv;*.txt;*.rdp;*.rdg;*.xml"},
                                            {"所有文件 (*.*)", "*.*"}};
        services.chooseImportFile = [sources] { return runtime::ChooseFileToOpen(GetActiveWindow(), "选择要导入的文件", sources); };
        services.chooseImportFolder = [] {
            return runtime::ChooseFolder(GetActiveWindow(), "选择存放远程桌面连接文件(.rdp)的文件夹");
        };
        services.chooseExportFile = [] {
            return runtime::ChooseFileToSave(GetActiveWindow(), "导出到文件", "servers.csv", "csv",
                                             {{"CSV 文件 (*.csv)", "*.csv"}, {"所有文件 (*.*)", "*.*"}});
        };
        services.inBackground = &InBackground;
        services.clock = &LocalNow;
        return new ServerTransfer(Servers(), Catalogue(), std::move(services));
    }();
    return *transfer;
}

// ---------------------------------------------------------------------------------------------------------
// Expiry dates: the rows' colours worked out again when the day turns (local midnight, or a change of the
// clock or the time zone), and the reminder from the notification icon after the start-up and at each new day.
// A hidden top-level window of its own receives the midnight timer and the system's time-change broadcast.

constexpr UINT_PTR kDayTimer = 1;
HWND dayWatch = nullptr;
int remindedDay = 0;  // year * 10000 + month * 100 + day of the last reminder

void RemindOfExpiries() {
    if (!mainForm) return;
    const runtime::DateTimeValue now = LocalNow();
    const ExpiryCounts counts = Servers().Reclassify(now);
    const int today = now.year * 10000 + now.month * 100 + now.day;
    if (today == remindedDay) return;
    remindedDay = today;
    const std::string text = ReminderText(counts);
    if (!text.empty() && trayIcon) trayIcon->ShowBalloon(kReminderTitle, text, NIIF_INFO, 0);
}

void ArmDayTimer() {
    const std::int64_t wait = MillisecondsToNextDay(LocalNow()) + 1000;  // a second into the new day
    SetTimer(dayWatch, kDayTimer, static_cast<UINT>(std::min<std::int64_t>(wait, 3600 * 1000)), nullptr);
}

LRESULT CALLBACK DayWatchProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER || message == WM_TIMECHANGE) {
        // A timer of at most an hour: long waits drift, and a new day is found at most an hour late even if
        // the clock was put forward without a change notice.
        return runtime::CatchHandlerFailure(window, 0, [] {
            RemindOfExpiries();
            ArmDayTimer();
            return LRESULT(0);
        });
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void StartDayWatch() {
    WNDCLASSW watchClass{};
    watchClass.lpfnWndProc = DayWatchProcedure;
    watchClass.hInstance = GetModuleHandleW(nullptr);
    watchClass.lpszClassName = L"QuillonDayWatch";
    RegisterClassW(&watchClass);
    dayWatch = CreateWindowExW(0, watchClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               watchClass.hInstance, nullptr);
    if (dayWatch) ArmDayTimer();
}
// ---------------------------------------------------------------------------------------------------------

DWORD WINAPI SessionMonitorThread(LPVOID) {
    monitor->Run();
    return 0;
}

void StartSessionMonitor() {
    HANDLE thread = CreateThread(nullptr, 0, &SessionMonitorThread, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
}

DWORD WINAPI StartupLoaderThread(LPVOID) {
    MainWindowUiThread ui;
    AppState& state = App();
    LoaderContext context(state.Database, state.DatabaseLock, ui);
    // The first question for the display modes makes Wine (and a cold display driver) ask the display server,
    // which takes tens of milliseconds: asked at once on a thread of its own, it is answered while the server
    // list goes in, and the step that needs it takes the answer.
    std::future<std::vector<profile::DisplaySize>> modes = std::async(std::launch::async, &profile::SystemDisplayModes);
    const std::vector<std::string> failures = RunStartupLoader(
        StartupSteps([](LoaderContext& loader) { LoadServerListAtStartup(loader, Servers(), &LocalNow); },
                     [&state, &modes](LoaderContext& loader) {
                         profile::BuildDisplayModeList(loader, *mainForm, state.Profile, [&modes] { return modes.get(); });
                     },
                     [&state](LoaderContext& loader) {
                         profile::LoadConnectionProfile(loader, *mainForm, state.Profile);
                         // Saving and connecting use the profile: now that it is in, they may.
                         loader.OnUiThread([] {
                             mainForm->SetEnabled(profile::kSaveButton, true);
                             mainForm->SetEnabled(session::kConnectButton, true);
                         });
                     }),
        context);
    // A step that failed is said like any handler's failure, not dropped.
    if (!failures.empty()) {
        std::string what = "启动时加载失败：";
        for (const std::string& failure : failures) what += "\n" + failure;
        context.OnUiThread([what] { runtime::ShowHandlerFailure(reinterpret_cast<HWND>(ui::MainWindowHandle()), what.c_str()); });
    }
    // The reminder of servers that have lapsed or lapse soon, once the list is in; then a mark that the loader
    // has finished, for tools that watch the program start (the start-up benchmark).
    context.OnUiThread([] {
        RemindOfExpiries();
        StartDayWatch();
        SetPropW(reinterpret_cast<HWND>(ui::MainWindowHandle()), L"QuillonLoaded", reinterpret_cast<HANDLE>(1));
    });
    return 0;
}

}  // namespace

// The running copy's main window. The first visible parentless window of that process is it when shown;
// when it is hidden in the notification area no window of that process is visible, so then its hidden
// top-level window of the program's own class and caption is taken instead (without this a hidden copy
// could never be brought back by a second start).
static HWND RunningCopyMainWindow() {
    session::ProcessId other = session::FindOtherProcessIdByName(executableFileName(), GetCurrentProcessId());
    if (other == 0) return nullptr;
    if (session::WindowHandle shown = session::FindProcessWindow(other, 100)) return reinterpret_cast<HWND>(shown);
    std::vector<session::WindowInfo> windows;
    session::EnumTopLevelWindows(windows);
    for (const session::WindowInfo& info : windows) {
        HWND window = reinterpret_cast<HWND>(info.window);
        if (info.processId == other && GetParent(window) == nullptr && info.className == runtime::WindowClassName() &&
            info.title == "Quillon")
            return window;
    }
    return nullptr;
}

// Shows the running copy's main window in front and ends this copy.
[[noreturn]] static void ActivateRunningCopyAndExit() {
    session::ShowWindowInFront(reinterpret_cast<session::WindowHandle>(RunningCopyMainWindow()));
    std::exit(0);
}

void SingleInstanceGuard(const std::string& name) {
    HANDLE existing = OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str());
    if (existing) {
        CloseHandle(existing);
        ActivateRunningCopyAndExit();
    }
    // Auto-reset, not signalled. Its handle stays open for the program's life: the name lives as long as it.
    // Two copies started at the same moment can both miss the event above; the one whose create finds it
    // already there gives way, so that never two copies work on the same database.
    static HANDLE instanceEvent = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    if (instanceEvent && GetLastError() == ERROR_ALREADY_EXISTS) ActivateRunningCopyAndExit();
}

void OnMainWindowCreated() {
    SingleInstanceGuard(kInstanceEventName);
    ui::ShowMainWindow();
    AppState& state = App();

    const std::string databasePath = executableFolder() + "\\config.MDB";
    catalogue::EnsureConfigDatabaseFile(databasePath);
    bool opened;
    std::string note;
    {
        std::lock_guard<std::mutex> lock(state.DatabaseLock);
        opened = state.Database.Open(databasePath, databaseEngine);
        note = state.Database.OpeningNote();
    }
    HWND mainWindow = reinterpret_cast<HWND>(ui::MainWindowHandle());
    if (!opened) {
        MessageBoxW(mainWindow, runtime::GbkToWide("数据库连接失败！").c_str(), runtime::GbkToWide("警告：").c_str(), MB_OK);
        std::exit(0);
    }
    if (!note.empty()) {
        // A journal left beside config.MDB that does not belong to it (the file was replaced after a crash):
        // it was renamed and the file left as it is. The person should know, in case the file is not the one
        // they meant to keep.
        MessageBoxW(mainWindow,
                    runtime::GbkToWide("config.MDB 旁的日志文件与数据库文件不符，已改名保存，数据库文件未作改动。\n\n" + note).c_str(),
                    runtime::GbkToWide("警告：").c_str(), MB_OK | MB_ICONWARNING);
    }

    // A file that is not the program's configuration database (made by something else, or without the
    // program's tables and columns) is said at once, naming what it lacks, and left as it is.
    std::vector<catalogue::MissingPart> missing;
    {
        std::lock_guard<std::mutex> lock(state.DatabaseLock);
        missing = catalogue::FindMissingParts(state.Database,
                                              {catalogue::ServerTableNeeds(), profile::ProfileTableNeeds()});
    }
    if (!missing.empty()) {
        MessageBoxW(mainWindow, runtime::GbkToWide(catalogue::ForeignDatabaseMessage(missing)).c_str(),
                    runtime::GbkToWide("警告：").c_str(), MB_OK | MB_ICONWARNING);
        closeDatabase();
        std::exit(0);
    }

    // Until the loader has put the stored profile in, nothing may save it or connect with it.
    mainForm->SetEnabled(profile::kSaveButton, false);
    mainForm->SetEnabled(session::kConnectButton, false);
    HANDLE loader = CreateThread(nullptr, 0, &StartupLoaderThread, nullptr, 0, nullptr);
    if (loader) CloseHandle(loader);

    AddTrayIconAndHandler();
    state.MonitorStop = 0;  // before the monitor's first look at it
    StartSessionMonitor();
}

// Hides a shown main window into the notification area, or shows a hidden one in front of the other windows
// without leaving it topmost. A window hidden while minimised comes back restored.
void ToggleMainWindow() {
    HWND window = reinterpret_cast<HWND>(ui::MainWindowHandle());
    if (!window) return;
    if (IsWindowVisible(window)) {
        ShowWindow(window, SW_HIDE);
        return;
    }
    session::ShowWindowInFront(reinterpret_cast<session::WindowHandle>(window));
}

// Minimising the main window hides it into the notification area.
void OnMainWindowPositionChanged(int, int) {
    HWND window = reinterpret_cast<HWND>(ui::MainWindowHandle());
    if (window && IsIconic(window) && IsWindowVisible(window)) ToggleMainWindow();
}

// The close question: OK ends the program, Cancel hides the window into the notification area.
void OnMainWindowCloseRequested() {
    runtime::MessageAnswer answer = Dialogs().ShowMessage(
        {"确认是否关闭", "提示:", runtime::MessageIcon::None, runtime::MessageButtons::OkCancel});
    if (answer != runtime::MessageAnswer::Ok) {
        HWND window = reinterpret_cast<HWND>(ui::MainWindowHandle());
        if (window && IsWindowVisible(window)) ToggleMainWindow();
        return;
    }
    RemoveTrayIcon();
    App().MonitorStop = 1;
    ui::DestroyMainWindow();
    closeDatabase();
    PostQuitMessage(0);
}

void OnMainWindowDestroying() {}

// The notification icon's events: a left click shows or hides the main window; a right click shows its menu
// "退" ("退出" ends the program); after the shell's restart the icon is added again.
void HandleTrayEvent(int code) {
    HWND window = reinterpret_cast<HWND>(ui::MainWindowHandle());
    switch (code) {
    case WM_LBUTTONUP: ToggleMainWindow(); break;
    case WM_RBUTTONDOWN: {
        // A notification icon's menu closes when the person clicks elsewhere only if its window is in the
        // foreground while it shows, and takes the next click only after the window has had a message.
        SetForegroundWindow(window);
        const int chosen = mainForm ? mainForm->ShowMenu("退") : -1;
        PostMessageW(window, WM_NULL, 0, 0);
        if (chosen == 0) ExitProgram();
        break;
    }
    case NIN_BALLOONUSERCLICK:
        // The expiry reminder: the main window in front, the servers due first in the list. While a modal window
        // of the program is open (the main window is disabled then) the list stays as it is: the editor, a
        // dialog or a question works on what the list showed when it opened.
        session::ShowWindowInFront(reinterpret_cast<session::WindowHandle>(window));
        if (mainForm && IsWindowEnabled(window)) Catalogue().ShowDueServers(*mainForm);
        break;
    case tray::kShellRestarted:
        // The icon is in the new shell already (TrayIcon::Keep); icons of programs that ended meanwhile go.
        if (trayIcon) trayIcon->SweepDeadIcons(false);
        break;
    default: break;
    }
}

void ExitProgram() {
    App().MonitorStop = 1;
    closeDatabase();
    RemoveTrayIcon();
    std::exit(0);
}

int RunProgram() {
    ReadCommandLine();
    runtime::InitialiseCommonControls();
    CreateTrayIconObject();
    std::atexit(&ExitCleanup);

    ui::MainWindowEvents events;
    events.created = &OnMainWindowCreated;
    events.moved = &OnMainWindowPositionChanged;
    events.closeRequested = &OnMainWindowCloseRequested;
    events.destroying = &OnMainWindowDestroying;
    events.bind = [](runtime::Form& window) {
        mainForm = &window;
        AppState& state = App();
        profile::SettingsServices settings;
        settings.save = {&state.Database, &state.DatabaseLock, &Dialogs()};
        settings.openWebPage = [](const std::string& address) {
            ShellExecuteW(reinterpret_cast<HWND>(ui::MainWindowHandle()), L"open", runtime::GbkToWide(address).c_str(), nullptr,
                          nullptr, SW_SHOWNORMAL);
        };
        // The banner is the frameless window's title bar: a press there moves the window with the mouse.
        settings.dragMainWindow = [] {
            ReleaseCapture();
            SendMessageW(reinterpret_cast<HWND>(ui::MainWindowHandle()), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        };
        settings.hideMainWindow = [] { ShowWindow(reinterpret_cast<HWND>(ui::MainWindowHandle()), SW_HIDE); };
        profile::BindSettingsWindow(window, Dialogs(), state.Profile, std::move(settings));
        Catalogue().BindMainWindow(window);

        session::MonitorServices watching = session::SystemMonitorServices();
        watching.stop = &state.MonitorStop;
        watching.onUiThread = [](const std::function<void()>& work) { return ui::RunOnMainWindowThread(work); };
        monitor = new session::SessionMonitor(Servers(), std::move(watching));
        session::ConnectServices connecting = session::SystemConnectServices();
        connecting.profile = &state.Profile;
        connecting.dialogs = &Dialogs();
        connecting.watch = [](const std::string& file, const std::string& title, session::ClientToken client,
                              std::uint64_t until) { monitor->Watch(file, title, client, until); };
        static session::Connector* connector = new session::Connector(std::move(connecting));
        BindConnect(window, Servers(), *connector, state.Profile);
    };
    if (!ui::LoadMainWindow(std::move(events))) return 0;

    runtime::RunMessageLoop();
    return 0;
}

}  // namespace app
