// The server list with 10,000 servers under Wine, a Windows console program run by
// bench/wine/run_list_fill_bench.sh:
//
//   list_fill_bench.exe SCRATCH_FOLDER [QUILLON_EXE [OTHER_QUILLON_EXE...]] [--runs N] [--servers N]
//
// (a) In this process: MainWindow's table as a real Win32 window, shown, and its server list filled with
//     SetListRows (into the empty list and over a full one), in parts as the start-up loader hands them over
//     (ListAppendRows), row by row with ListAddRow for comparison (the first rows only: it is that slow),
//     and the list view's own cost apart (inserting the items, then setting the other columns' texts, on a
//     list view of the benchmark's own). Then the header-click sort on the full list
//     (app::ServerListSorter::OnColumnClick) by a text, a numeric and a date column, and ListRows alone.
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
#include "app/server_list_sort.h"
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

// The list must hold the rows given, in order: sampled cells through the window's own readback.
bool ListHolds(const runtime::Form& form, const std::vector<runtime::ListRow>& rows) {
    if (form.ListRowCount(app::kServerList) != static_cast<int>(rows.size())) {
        std::fprintf(stderr, "the list holds %d rows, not %zu\n", form.ListRowCount(app::kServerList), rows.size());
        return false;
    }
    for (size_t i = 0; i < rows.size(); i += std::max<size_t>(1, rows.size() / 37)) {
        for (int column : {app::kColumnUser, app::kColumnNumber, app::kColumnIp, app::kColumnNote}) {
            if (form.ListCell(app::kServerList, static_cast<int>(i), column) != rows[i].cells[static_cast<size_t>(column)]) {
                std::fprintf(stderr, "row %zu, column %d of the list is wrong\n", i, column);
                return false;
            }
        }
    }
    const size_t last = rows.size() - 1;
    if (!rows.empty() && form.ListCell(app::kServerList, static_cast<int>(last), app::kColumnExpiry) !=
                             rows[last].cells[app::kColumnExpiry]) {
        std::fprintf(stderr, "the last row of the list is wrong\n");
        return false;
    }
    return true;
}

// What a header click must leave in the list: `before` sorted by `column` as app::SortedOrder orders it,
// 序号 numbered 1..n again. (The order itself is the sort module's, tested on its own; this checks that the
// window ends up holding it.)
std::vector<runtime::ListRow> SortedRows(const std::vector<runtime::ListRow>& before, int column, bool ascending) {
    std::vector<runtime::ListRow> sorted;
    for (int from : app::SortedOrder(before, column, app::SortModeForColumn(column), ascending)) {
        sorted.push_back(before[static_cast<size_t>(from)]);
        sorted.back().cells[app::kColumnNumber] = std::to_string(sorted.size());
    }
    return sorted;
}

// The header-click sort on the full, shown list, a click per column in turn (each click turns the direction
// round), the selected server followed; and ListRows, the sort's read of the list, alone. Prints the figures.
bool Sorting(runtime::Win32Form& form, const std::vector<runtime::ListRow>& rows, int runs) {
    struct Column {
        int column;
        const char* label;
        Figures click, paint;
    };
    Column columns[] = {{app::kColumnIp, "column 4 (address, text)", {}, {}},
                        {app::kColumnPort, "column 5 (port, numeric)", {}, {}},
                        {app::kColumnExpiry, "column 7 (expiry, date)", {}, {}}};
    Figures listRows;
    app::ServerListSorter sorter;
    bool right = true;
    form.SetListRows(app::kServerList, rows);
    UpdateWindow(form.Handle());
    Pump();
    for (int run = 0; run < runs; ++run) {
        for (Column& c : columns) {
            double start = NowMs();
            const std::vector<runtime::ListRow> before = form.ListRows(app::kServerList);
            listRows.Add(NowMs() - start);
            // A server picked anew each time, told apart by its note (unique: it ends in its first number).
            const int picked = static_cast<int>((static_cast<size_t>(run) * 7919 + static_cast<size_t>(c.column) * 104729) % before.size());
            const std::string pickedNote = before[static_cast<size_t>(picked)].cells[app::kColumnNote];
            form.SetListSelectedRow(app::kServerList, picked);
            const std::vector<runtime::ListRow> expected = SortedRows(before, c.column, !sorter.SortAscending());

            start = NowMs();
            sorter.OnColumnClick(form, c.column);
            double sorted = NowMs();
            UpdateWindow(form.Handle());
            Pump();
            c.click.Add(sorted - start);
            c.paint.Add(NowMs() - sorted);

            if (form.ListRows(app::kServerList) != expected) {
                std::fprintf(stderr, "sorting by column %d left the list in another order\n", c.column);
                right = false;
            }
            const int selected = form.ListSelectedRow(app::kServerList);
            if (selected < 0 || form.ListCell(app::kServerList, selected, app::kColumnNote) != pickedNote) {
                std::fprintf(stderr, "sorting by column %d lost the selected server\n", c.column);
                right = false;
            }
        }
    }
    std::printf("  the header-click sort of the full list (ServerListSorter::OnColumnClick), a row selected:\n");
    for (const Column& c : columns) {
        Print((std::string("  ") + c.label).c_str(), c.click);
        Print("    then the paint", c.paint);
    }
    Print("  ListRows of the full list alone", listRows);
    return right;
}

// What the session monitor's first pass and the day watch do to a full, shown list: the state column of every
// row written, every row recoloured, and (the monitor again) a file that is not there deleted for each row.
void RowWrites(runtime::Win32Form& form, const std::vector<runtime::ListRow>& rows, const std::wstring& scratch,
               int runs) {
    Figures states, colours, deletes;
    for (int run = 0; run < runs; ++run) {
        form.SetListRows(app::kServerList, rows);
        UpdateWindow(form.Handle());
        Pump();
        const int count = static_cast<int>(rows.size());
        double start = NowMs();
        for (int row = 0; row < count; ++row) form.SetListCell(app::kServerList, row, app::kColumnState, app::kNotConnectedState);
        states.Add(NowMs() - start);
        start = NowMs();
        for (int row = 0; row < count; ++row) form.SetListRowColour(app::kServerList, row, row % 2 ? 0xC8 : 0x70D2);
        colours.Add(NowMs() - start);
        start = NowMs();
        for (int row = 0; row < count; ++row) {
            DeleteFileW((scratch + L"\\absent-" + std::to_wstring(row) + L".rdp").c_str());
        }
        deletes.Add(NowMs() - start);
        Pump();
    }
    std::printf("  every row of the full list changed one at a time:\n");
    Print("  SetListCell, the state column", states);
    Print("  SetListRowColour, a new colour", colours);
    Print("  DeleteFileW of a missing file, one a row", deletes);
}

// Scrolling the full, shown list from the top to the bottom a page at a time, each page painted at once:
// with the rows in the list's own colour, and with every row coloured by its expiry (red and dark orange in
// turn), the way the expiry rows are drawn. Prints both and their ratio.
void Scrolling(runtime::Win32Form& form, const std::vector<runtime::ListRow>& rows, int runs) {
    HWND list = form.ControlHandle(app::kServerList);
    std::vector<runtime::ListRow> coloured = rows;
    for (size_t i = 0; i < coloured.size(); ++i) coloured[i].textColour = i % 2 ? 0x000000C8 : 0x000070D2;
    Figures plain, colour;
    for (int run = 0; run < runs; ++run) {
        for (Figures* figures : {&plain, &colour}) {
            form.SetListRows(app::kServerList, figures == &plain ? rows : coloured);
            form.ListShowRow(app::kServerList, 0);
            UpdateWindow(list);
            Pump();
            const int page = std::max(1, static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)));
            RECT item{LVIR_BOUNDS, 0, 0, 0};
            SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
            const int pixels = std::max<int>(1, item.bottom - item.top) * page;
            double start = NowMs();
            for (size_t shown = 0; shown < rows.size(); shown += static_cast<size_t>(page)) {
                SendMessageW(list, LVM_SCROLL, 0, pixels);
                UpdateWindow(list);
            }
            figures->Add(NowMs() - start);
        }
    }
    std::printf("  scrolling the full list top to bottom, a page at a time, each page painted:\n");
    Print("  rows in the list's own colour", plain);
    Print("  every row coloured by its expiry", colour);
    std::printf("    coloured / plain (medians): %.2f\n", colour.Median() / plain.Median());
}

// (a) The fill in this process.
bool InProcess(const std::vector<runtime::ListRow>& rows, const std::wstring& scratch, int runs) {
    runtime::Win32Form form(ui::MainWindowSpec());
    if (!form.Create()) {
        std::fprintf(stderr, "could not create MainWindow\n");
        return false;
    }
    form.Show();
    UpdateWindow(form.Handle());
    Pump();
    HWND list = form.ControlHandle(app::kServerList);
    bool right = true;

    Figures intoEmpty, intoEmptyPaint, overFull, clear, inserts, texts, conversion;
    for (int run = 0; run < runs; ++run) {
        form.ListClear(app::kServerList);
        Pump();
        double start = NowMs();
        form.SetListRows(app::kServerList, rows);
        double filled = NowMs();
        UpdateWindow(form.Handle());
        Pump();
        intoEmpty.Add(filled - start);
        intoEmptyPaint.Add(NowMs() - filled);
        right = right && ListHolds(form, rows);

        // A refresh after a server was added: the full list is replaced.
        start = NowMs();
        form.SetListRows(app::kServerList, rows);
        overFull.Add(NowMs() - start);
        Pump();
        right = right && ListHolds(form, rows);

        start = NowMs();
        form.ListClear(app::kServerList);
        clear.Add(NowMs() - start);
        Pump();
    }

    // In parts, as the start-up loader hands them over (app::kServerListLoadRows rows each, the first part by
    // SetListRows, the rest by ListAppendRows), with the messages waiting handled between the parts.
    Figures inParts, longestPart;
    for (int run = 0; run < runs; ++run) {
        form.ListClear(app::kServerList);
        Pump();
        double start = NowMs();
        double longest = 0;
        for (size_t begin = 0; begin < rows.size(); begin += app::kServerListLoadRows) {
            std::vector<runtime::ListRow> part(
                rows.begin() + static_cast<std::ptrdiff_t>(begin),
                rows.begin() + static_cast<std::ptrdiff_t>(std::min(rows.size(), begin + app::kServerListLoadRows)));
            double partStart = NowMs();
            if (begin == 0) {
                form.SetListRows(app::kServerList, part);
            } else {
                form.ListAppendRows(app::kServerList, part);
            }
            longest = std::max(longest, NowMs() - partStart);
            Pump();
        }
        UpdateWindow(form.Handle());
        Pump();
        inParts.Add(NowMs() - start);
        longestPart.Add(longest);
        right = right && ListHolds(form, rows);
    }

    // What a part costs besides its rows, on the full list: an empty part, and its two list view calls.
    Figures emptyPart, itemCount, redraw;
    form.SetListRows(app::kServerList, rows);
    Pump();
    for (int run = 0; run < 20; ++run) {
        double start = NowMs();
        form.ListAppendRows(app::kServerList, {});
        Pump();
        emptyPart.Add(NowMs() - start);
        start = NowMs();
        SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
        itemCount.Add(NowMs() - start);
        start = NowMs();
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        Pump();
        redraw.Add(NowMs() - start);
    }

    // Row by row, as a loop of ListAddRow fills it (drawing stays on): so slow under Wine that only the
    // first rows are timed, twice as many the second time, to show how the cost grows.
    std::vector<std::pair<size_t, double>> byRow;
    for (size_t count : {std::min<size_t>(rows.size(), 500), std::min<size_t>(rows.size(), 1000)}) {
        form.ListClear(app::kServerList);
        Pump();
        double start = NowMs();
        for (size_t r = 0; r < count; ++r) form.ListAddRow(app::kServerList, rows[r].cells);
        byRow.emplace_back(count, NowMs() - start);
        Pump();
        right = right && ListHolds(form, std::vector<runtime::ListRow>(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(count)));
    }

    // What an ordinary list view (one holding its own texts) costs, on a window of the benchmark's own in
    // the server list's place, with its columns: the texts converted first, then the items inserted with
    // their first column, then the other columns' texts set.
    RECT place{};
    GetWindowRect(list, &place);
    MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&place), 2);
    HWND plain = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL,
                                 place.left, place.top, place.right - place.left, place.bottom - place.top,
                                 form.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(plain, WM_SETFONT, SendMessageW(list, WM_GETFONT, 0, 0), FALSE);
    SendMessageW(plain, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < form.ListColumnCount(app::kServerList); ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = form.ListColumnWidth(app::kServerList, c);
        column.iSubItem = c;
        SendMessageW(plain, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    for (int run = 0; run < runs; ++run) {
        SendMessageW(plain, LVM_DELETEALLITEMS, 0, 0);
        Pump();
        double start = NowMs();
        std::vector<std::vector<std::wstring>> wide(rows.size());
        for (size_t r = 0; r < rows.size(); ++r) {
            for (const std::string& cell : rows[r].cells) wide[r].push_back(Wide(cell));
        }
        conversion.Add(NowMs() - start);
        SendMessageW(plain, WM_SETREDRAW, FALSE, 0);
        SendMessageW(plain, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows.size()), 0);
        start = NowMs();
        for (size_t r = 0; r < rows.size(); ++r) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = static_cast<int>(r);
            item.pszText = wide[r][0].data();
            item.lParam = static_cast<LPARAM>(r);
            if (SendMessageW(plain, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) != static_cast<LRESULT>(r)) {
                std::fprintf(stderr, "the list refused item %zu\n", r);
                right = false;
                break;
            }
        }
        inserts.Add(NowMs() - start);
        start = NowMs();
        for (size_t r = 0; r < rows.size(); ++r) {
            for (size_t column = 1; column < wide[r].size(); ++column) {
                if (wide[r][column].empty()) continue;
                LVITEMW cell{};
                cell.iSubItem = static_cast<int>(column);
                cell.pszText = wide[r][column].data();
                SendMessageW(plain, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&cell));
            }
        }
        texts.Add(NowMs() - start);
        SendMessageW(plain, WM_SETREDRAW, TRUE, 0);
        Pump();
    }
    DestroyWindow(plain);
    Pump();

    std::printf("(a) in this process: MainWindow shown, %zu rows (ms)\n", rows.size());
    Print("SetListRows into the empty list", intoEmpty);
    Print("  then the first paint", intoEmptyPaint);
    Print("SetListRows over the full list (a refresh)", overFull);
    Print("ListClear of the full list", clear);
    std::printf("  in parts of %zu rows, messages handled between them:\n", app::kServerListLoadRows);
    Print("  all parts, then the first paint", inParts);
    Print("  the longest part", longestPart);
    Print("  an empty part on the full list (its overhead)", emptyPart);
    Print("    LVM_SETITEMCOUNT on the full list", itemCount);
    Print("    WM_SETREDRAW off and on, then the messages", redraw);
    for (const auto& [count, ms] : byRow) {
        std::printf("  ListAddRow row by row, the first %5zu rows         %8.1f  (%.2f ms a row)\n", count, ms,
                    ms / static_cast<double>(count));
    }
    std::printf("  an ordinary list view (holding its texts) filled directly, drawing off:\n");
    Print("  texts GBK -> UTF-16 (all cells)", conversion);
    Print("  LVM_INSERTITEMW, one per row", inserts);
    Print("  LVM_SETITEMTEXTW, the other non-empty cells", texts);
    right = Sorting(form, rows, runs) && right;
    Scrolling(form, rows, runs);
    RowWrites(form, rows, scratch, runs);
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
    bool right = InProcess(app::ServerListRows(entries), positional[0], runs);
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
