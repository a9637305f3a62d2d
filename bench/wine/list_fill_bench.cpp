// The server list with 10,000 servers under Wine, a Windows console program run by
// bench/wine/run_list_fill_bench.sh:
//
//   list_fill_bench.exe SCRATCH_FOLDER [QUILLON_EXE [OTHER_QUILLON_EXE...]] [--runs N] [--servers N]
//
// (a) In this process: MainWindow's table as a real Win32 window, shown, with the program's server model as its
//     list (an owner-data view): the model filled with the servers and the first paint, the header-click sort
//     by a text, a numeric and a date column, typing in the filter box (from each keystroke to the redrawn
//     list), and scrolling the coloured list.
// (b) The program itself (when QUILLON_EXE is given): a copy of quillon.exe beside a config.MDB holding the
//     servers, started several times and timed until its main window carries the property "QuillonLoaded"
//     (its start-up loader has filled the list). Meanwhile the main window is sent WM_NULL every ~10 ms with
//     SendMessageTimeout, and the longest wait for an answer is the longest time the window stood frozen.
//     The same program beside a config.MDB without servers gives the start-up time the servers add to.
//     Further programs (other builds of quillon.exe, under other names) are watched the same way, in turns.
//     Each start is checked: the list must hold every server, the last one last.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../program/server_samples.h"
#include "app/server_catalogue.h"
#include "app/server_model.h"
#include "runtime/date_time.h"
#include "runtime/form_win32.h"
#include "runtime/text_codec.h"
#include "ui/forms.h"

namespace {

constexpr DWORD kStartLimitMs = 60000;
constexpr DWORD kExitLimitMs = 10000;
constexpr DWORD kPingEveryMs = 10;
constexpr DWORD kPingAfterLoadedMs = 300;  // the list's first paint comes after the loader's mark

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::wstring Wide(const std::string& gbk) {
    std::u16string text = runtime::GbkToUtf16(gbk);
    return std::wstring(text.begin(), text.end());
}

std::string Gbk(const std::wstring& text) { return runtime::Utf16ToGbk(std::u16string(text.begin(), text.end())); }

struct Figures {
    std::vector<double> values;
    void Add(double ms) { values.push_back(ms); }
    double Mean() const {
        double sum = 0;
        for (double v : values) sum += v;
        return values.empty() ? -1 : sum / static_cast<double>(values.size());
    }
    double Median() const {
        if (values.empty()) return -1;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        size_t middle = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    }
    double Max() const { return values.empty() ? -1 : *std::max_element(values.begin(), values.end()); }
};

void Print(const char* what, const Figures& figures) {
    std::printf("  %-50s mean %8.1f   median %8.1f   max %8.1f\n", what, figures.Mean(), figures.Median(),
                figures.Max());
}

// Handles every message waiting for this thread's windows (paints included).
void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The list must show the model's servers in the model's view: sampled cells through the window's own readback.
bool ListShowsModel(const runtime::Form& form, const app::ServerModel& model) {
    if (form.ListRowCount(app::kServerList) != model.ViewRowCount()) {
        std::fprintf(stderr, "the list holds %d rows, not %d\n", form.ListRowCount(app::kServerList), model.ViewRowCount());
        return false;
    }
    const int rows = model.ViewRowCount();
    for (int row = 0; row < rows; row += std::max(1, rows / 37)) {
        const catalogue::ServerEntry& entry = model.at(model.ServerOfRow(row)).entry;
        if (form.ListCell(app::kServerList, row, app::kColumnIp) != entry.ip ||
            form.ListCell(app::kServerList, row, app::kColumnNote) != entry.note) {
            std::fprintf(stderr, "row %d of the list is wrong\n", row);
            return false;
        }
    }
    return true;
}

// The header-click sort on the full, shown list, a column in turn, a server selected and followed. Prints the
// figures.
bool Sorting(runtime::Win32Form& form, app::ServerModel& model, int runs) {
    struct Column {
        int column;
        const char* label;
        Figures click, paint;
    };
    Column columns[] = {{app::kColumnIp, "column 4 (address, text)", {}, {}},
                        {app::kColumnPort, "column 5 (port, numeric)", {}, {}},
                        {app::kColumnExpiry, "column 7 (expiry, date)", {}, {}}};
    bool right = true, ascending = false;
    for (int run = 0; run < runs; ++run) {
        for (Column& c : columns) {
            const size_t picked = (static_cast<size_t>(run) * 7919 + static_cast<size_t>(c.column) * 104729) % model.size();
            model.SelectServer(picked);
            ascending = !ascending;
            double start = NowMs();
            model.Sort(c.column, ascending);
            double sorted = NowMs();
            UpdateWindow(form.Handle());
            Pump();
            c.click.Add(sorted - start);
            c.paint.Add(NowMs() - sorted);
            size_t selected = 0;
            if (!model.SelectedServer(selected) || selected != picked) {
                std::fprintf(stderr, "sorting by column %d lost the selected server\n", c.column);
                right = false;
            }
            right = right && ListShowsModel(form, model);
        }
    }
    std::printf("  the header-click sort of the full list (ServerModel::Sort), a server selected:\n");
    for (const Column& c : columns) {
        Print((std::string("  ") + c.label).c_str(), c.click);
        Print("    then the paint", c.paint);
    }
    return right;
}

// Typing in the filter box: each keystroke's filter, then the list drawn again; the count the list shows is
// checked against the servers the filter lets through.
bool Filtering(runtime::Win32Form& form, app::ServerModel& model, int runs) {
    const runtime::DateTimeValue now{2026, 12, 8, 10, 0, 0};
    const double date = runtime::OleDateFromDateTime(now);
    Figures keystroke, paint;
    bool right = true;
    for (int run = 0; run < runs; ++run) {
        for (const char* text : {"10.0.1", "bj", "上海"}) {
            const std::string typed = text;
            for (size_t length = 1; length <= typed.size(); ++length) {
                const std::string part = typed.substr(0, length);
                double start = NowMs();
                model.SetFilter({part, app::ServerView::kAll}, now);
                double filtered = NowMs();
                UpdateWindow(form.Handle());
                Pump();
                keystroke.Add(NowMs() - start);
                paint.Add(NowMs() - filtered);
                size_t expected = 0;
                const app::FilterQuery key = app::MakeFilterQuery(part);
                for (size_t i = 0; i < model.size(); ++i) expected += app::MatchesFilter(model.at(i), app::ServerView::kAll, key, date);
                if (static_cast<size_t>(form.ListRowCount(app::kServerList)) != expected) {
                    std::fprintf(stderr, "\"%s\": the list shows %d rows, not %zu\n", part.c_str(),
                                 form.ListRowCount(app::kServerList), expected);
                    right = false;
                }
            }
            model.SetFilter({}, now);
            Pump();
        }
    }
    std::printf("  typing in the filter box (\"10.0.1\", \"bj\", \"上海\" a character at a time):\n");
    Print("  from a keystroke to the list drawn again", keystroke);
    Print("    of which the paint", paint);
    std::printf("    target: under 50 ms from a keystroke to the redrawn list\n");
    return right;
}

// Scrolling the full, shown list from the top to the bottom a page at a time, each page painted at once, the
// rows in the colours of their expiry. Prints the figures.
void Scrolling(runtime::Win32Form& form, int rows, int runs) {
    HWND list = form.ControlHandle(app::kServerList);
    Figures scrolled;
    for (int run = 0; run < runs; ++run) {
        form.ListShowRow(app::kServerList, 0);
        UpdateWindow(list);
        Pump();
        const int page = std::max(1, static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)));
        RECT item{LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
        const int pixels = std::max<int>(1, item.bottom - item.top) * page;
        double start = NowMs();
        for (int shown = 0; shown < rows; shown += page) {
            SendMessageW(list, LVM_SCROLL, 0, pixels);
            UpdateWindow(list);
        }
        scrolled.Add(NowMs() - start);
    }
    std::printf("  scrolling the full list top to bottom, a page at a time, each page painted:\n");
    Print("  rows in their expiry colours", scrolled);
}

// (a) The model and its list in this process.
bool InProcess(const std::vector<catalogue::ServerEntry>& entries, int runs) {
    runtime::Win32Form form(ui::MainWindowSpec());
    if (!form.Create()) {
        std::fprintf(stderr, "could not create MainWindow\n");
        return false;
    }
    form.Show();
    UpdateWindow(form.Handle());
    Pump();
    app::ServerModel model;
    model.BindList(form);
    bool right = true;
    Figures reset, adopt, firstPaint;
    for (int run = 0; run < runs; ++run) {
        // The start-up loader makes the servers on its thread; the window's thread only adopts them.
        std::vector<app::Server> servers;
        for (const catalogue::ServerEntry& entry : entries) servers.push_back(app::MakeServer(entry, model.NameLimit()));
        model.Reset(std::vector<catalogue::ServerEntry>{}, {});
        Pump();
        double begin = NowMs();
        model.Adopt(std::move(servers), {2026, 12, 8, 10, 0, 0});
        adopt.Add(NowMs() - begin);
        Pump();
        model.Reset(std::vector<catalogue::ServerEntry>{}, {});
        Pump();
        double start = NowMs();
        model.Reset(entries, {2026, 12, 8, 10, 0, 0});
        double made = NowMs();
        UpdateWindow(form.Handle());
        Pump();
        reset.Add(made - start);
        firstPaint.Add(NowMs() - made);
        right = right && ListShowsModel(form, model);
    }
    std::printf("(a) in this process: MainWindow shown, the server model of %zu servers as its list (ms)\n", entries.size());
    Print("ServerModel::Reset (servers made, the list told)", reset);
    Print("  ServerModel::Adopt alone (servers made before)", adopt);
    Print("  then the first paint", firstPaint);
    right = Sorting(form, model, runs) && right;
    right = Filtering(form, model, runs) && right;
    Scrolling(form, static_cast<int>(entries.size()), runs);
    form.Close();
    Pump();
    return right;
}

// --- (b) The program --------------------------------------------------------------------------------------

bool IsNamed(HWND window, const std::wstring& expected) {
    auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, L"QuillonName")));
    if (atom == 0) return false;
    wchar_t name[128] = {};
    UINT length = GlobalGetAtomNameW(atom, name, 128);
    return std::wstring(name, length) == expected;
}

struct Search {
    DWORD pid;
    std::wstring name;
    HWND found;
};

BOOL CALLBACK CheckTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window) || !IsNamed(window, search->name)) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CheckChild(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (!IsNamed(window, search->name)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND MainWindowOf(DWORD pid) {
    Search search{pid, L"MainWindow", nullptr};
    EnumWindows(CheckTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ServerListOf(HWND mainWindow) {
    Search search{0, Wide(app::kServerList), nullptr};
    EnumChildWindows(mainWindow, CheckChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A cell of a list view in another process, read through a buffer in that process.
std::optional<std::string> RemoteCell(HANDLE process, HWND list, int row, int column) {
    constexpr int kChars = 512;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return std::nullopt;
    std::optional<std::string> text;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    item.cchTextMax = kChars;
    DWORD_PTR length = 0;
    if (WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
        SendMessageTimeoutW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote),
                            SMTO_NORMAL, 5000, &length)) {
        std::wstring wide(std::min<DWORD_PTR>(length, kChars - 1), L'\0');
        if (ReadProcessMemory(process, remote + sizeof(LVITEMW), wide.data(), wide.size() * sizeof(wchar_t), nullptr)) {
            text = Gbk(wide);
        }
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

// Waits until no copy of quillon.exe holds its single-instance mark, so that the next start is a first one.
void WaitForProgramGone() {
    for (int i = 0; i < 1000; ++i) {
        HANDLE mark = OpenEventW(SYNCHRONIZE, FALSE, L"QuillonVRLTKD2021");
        if (!mark) return;
        CloseHandle(mark);
        Sleep(10);
    }
}

struct Start {
    double shownMs = -1;   // until the main window is visible
    double loadedMs = -1;  // until it carries "QuillonLoaded"
    double frozenMs = -1;  // the longest wait for an answer to WM_NULL
    int rows = -1;         // the list's rows once loaded
    std::string lastNote;  // the note column of its last row
};

// One start of the program at `exe`, watched until loaded and a little after, then closed.
Start RunProgram(const std::wstring& exe) {
    Start result;
    std::wstring commandLine = L"\"" + exe + L"\"";
    std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    WaitForProgramGone();
    const double start = NowMs();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info)) {
        std::fprintf(stderr, "could not start %s (error %lu)\n", Gbk(exe).c_str(), GetLastError());
        return result;
    }
    HWND window = nullptr;
    double stopAt = -1;
    for (;;) {
        const double now = NowMs();
        if (now - start > kStartLimitMs || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) break;
        if (stopAt >= 0 && now >= stopAt) break;
        if (!window) {
            window = MainWindowOf(info.dwProcessId);
            if (!window) {
                Sleep(1);
                continue;
            }
            result.shownMs = NowMs() - start;
            result.frozenMs = 0;
        }
        const double sent = NowMs();
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kStartLimitMs, &answer)) break;
        const double answered = NowMs();
        result.frozenMs = std::max(result.frozenMs, answered - sent);
        if (result.loadedMs < 0 && GetPropW(window, L"QuillonLoaded") != nullptr) {
            result.loadedMs = answered - start;
            stopAt = answered + kPingAfterLoadedMs;
        }
        Sleep(kPingEveryMs);
    }
    if (result.loadedMs >= 0) {
        HWND list = ServerListOf(window);
        DWORD_PTR count = 0;
        if (list && SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count)) {
            result.rows = static_cast<int>(count);
            if (count > 0) {
                result.lastNote = RemoteCell(info.hProcess, list, static_cast<int>(count) - 1, app::kColumnNote).value_or("");
            }
        }
    } else {
        std::fprintf(stderr, "quillon.exe did not finish loading within %lu ms\n", kStartLimitMs);
    }
    // Closing asks the person first (a message box), so the copy is ended by force: its database is a
    // scratch copy and nothing of it is kept.
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, kExitLimitMs);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

// A copy of quillon.exe in `folder` beside a new config.MDB holding `servers`. Gives the copy's path, or ""
// after saying what failed.
std::wstring PrepareProgram(const std::wstring& source, const std::wstring& folder,
                            const std::vector<catalogue::ServerEntry>& servers) {
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = folder + L"\\quillon.exe";
    const std::wstring database = folder + L"\\config.MDB";
    DeleteFileW(database.c_str());
    if (!CopyFileW(source.c_str(), exe.c_str(), FALSE)) {
        std::fprintf(stderr, "could not copy %s into %s\n", Gbk(source).c_str(), Gbk(folder).c_str());
        return L"";
    }
    if (std::string error = bench::WriteServerDatabase(Gbk(database), servers); !error.empty()) {
        std::fprintf(stderr, "could not write %s: %s\n", Gbk(database).c_str(), error.c_str());
        return L"";
    }
    return exe;
}

std::string FileNameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return Gbk(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// Each program in `programs` (quillon.exe, and other builds of it to compare) beside the servers, and the
// first one beside an empty table, started in turns.
bool Program(const std::vector<std::wstring>& programs, const std::wstring& scratch,
             const std::vector<catalogue::ServerEntry>& servers, int runs) {
    std::vector<std::wstring> copies;
    for (size_t i = 0; i < programs.size(); ++i) {
        copies.push_back(PrepareProgram(programs[i], scratch + L"\\with-servers-" + std::to_wstring(i + 1), servers));
        if (copies.back().empty()) return false;
    }
    const std::wstring empty = PrepareProgram(programs[0], scratch + L"\\without-servers", {});
    if (empty.empty()) return false;

    for (const std::wstring& copy : copies) RunProgram(copy);  // first starts warm the file cache; not counted
    struct Watched {
        Figures shown, loaded, frozen;
    };
    std::vector<Watched> with(copies.size());
    Watched without;
    bool right = true;
    auto note = [&](Watched& figures, const Start& start) {
        figures.shown.Add(start.shownMs);
        figures.loaded.Add(start.loadedMs);
        figures.frozen.Add(start.frozenMs);
    };
    for (int run = 0; run < runs; ++run) {
        // In turns, so that all see the same conditions.
        for (size_t i = 0; i < copies.size(); ++i) {
            Start start = RunProgram(copies[i]);
            if (start.loadedMs < 0) {
                right = false;
                continue;
            }
            if (start.rows != static_cast<int>(servers.size()) || start.lastNote != servers.back().note) {
                std::fprintf(stderr, "%s lists %d rows, the last with note \"%s\"; expected %zu, \"%s\"\n",
                             FileNameOf(programs[i]).c_str(), start.rows, start.lastNote.c_str(), servers.size(),
                             servers.back().note.c_str());
                right = false;
            }
            note(with[i], start);
        }
        Start start = RunProgram(empty);
        if (start.loadedMs < 0 || start.rows != 0) {
            std::fprintf(stderr, "the program without servers did not load, or lists %d rows\n", start.rows);
            right = false;
            continue;
        }
        note(without, start);
    }
    std::printf("(b) the program, %d starts each, its main window sent WM_NULL every %lu ms (ms)\n", runs,
                kPingEveryMs);
    auto print = [](const std::string& title, const Watched& figures) {
        std::printf("  %s:\n", title.c_str());
        Print("  until the main window is visible", figures.shown);
        Print("  until \"QuillonLoaded\" (the list filled)", figures.loaded);
        Print("  longest wait for the window to answer", figures.frozen);
    };
    for (size_t i = 0; i < copies.size(); ++i) {
        print(FileNameOf(programs[i]) + " with " + std::to_string(servers.size()) + " servers", with[i]);
    }
    print(FileNameOf(programs[0]) + " without servers", without);
    for (size_t i = 0; i < copies.size(); ++i) {
        if (with[i].loaded.Median() >= 0 && without.loaded.Median() >= 0) {
            std::printf("  %s: the servers add %.1f ms to the start (median to median)\n",
                        FileNameOf(programs[i]).c_str(), with[i].loaded.Median() - without.loaded.Median());
        }
    }
    std::printf("  targets: listed in under 1000 ms; the window never frozen for long (say over 250 ms)\n");
    return right;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> positional;
    int runs = 5;
    int servers = 10000;
    for (int i = 1; i < count; ++i) {
        std::wstring arg = args[i];
        if (arg == L"--runs" && i + 1 < count) {
            runs = std::max(1, _wtoi(args[++i]));
        } else if (arg == L"--servers" && i + 1 < count) {
            servers = std::max(1, _wtoi(args[++i]));
        } else {
            positional.push_back(arg);
        }
    }
    LocalFree(args);
    if (positional.empty()) {
        std::fprintf(stderr, "usage: list_fill_bench SCRATCH_FOLDER [QUILLON_EXE [OTHER_EXE...]] [--runs N] [--servers N]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_DATE_CLASSES |
                                                       ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    const std::vector<catalogue::ServerEntry> entries = bench::MakeServerEntries(servers);
    CreateDirectoryW(positional[0].c_str(), nullptr);
    bool right = InProcess(entries, runs);
    if (positional.size() > 1) {
        right = Program(std::vector<std::wstring>(positional.begin() + 1, positional.end()), positional[0], entries,
                        runs) &&
                right;
    }
    std::fflush(stdout);
    if (!right) {
        std::fprintf(stderr, "a list did not come out as filled: the figures above are void\n");
        return 1;
    }
    return 0;
}
