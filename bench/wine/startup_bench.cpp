// Start-up benchmark, a Windows console program run under Wine (bench/wine/run_startup_bench.sh):
//
//   startup_bench.exe QUILLON_EXE MINIMAL_EXE SCRATCH_FOLDER [RUNS] [--loaded-property NAME] [--database FILE]
//
// Measures, for quillon.exe and for the minimal Win32 program (tests/wine/tools/minimal_window.cpp) in
// turns within the same run, the time from CreateProcessW until the program's main window is visible, and
// then each program's private memory once it has settled. Prints the medians and the ratio of the two
// start-up times.
//
// "Started" means: quillon.exe's visible top-level window named "MainWindow" (its "QuillonName" property)
// exists; for the minimal program, its visible top-level window exists. The start-up loader fills the main
// window on its own thread after it shows and leaves no mark a second process can see, so its end is not
// part of the time unless the program sets a window property for it: with --loaded-property NAME the
// benchmark also waits until the main window carries property NAME.
//
// quillon.exe runs from a copy in SCRATCH_FOLDER; one start before the measured ones writes its config.MDB,
// so that every measured start opens an existing database, as a user's start does. With --database FILE the
// program's config.MDB is a copy of FILE instead (a catalogue of many servers, say).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStartLimitMs = 30000;
constexpr DWORD kExitLimitMs = 10000;
constexpr DWORD kSettleMs = 500;  // after the window shows, before the memory is read

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

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::wstring FileName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct Search {
    DWORD pid;
    bool named;  // look for the window named "MainWindow"
    HWND found;
};

bool IsNamedMainWindow(HWND window) {
    auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, L"QuillonName")));
    if (atom == 0) return false;
    wchar_t name[64] = {};
    UINT length = GlobalGetAtomNameW(atom, name, 64);
    return std::wstring(name, length) == L"MainWindow";
}

BOOL CALLBACK CheckWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    if (search->named && !IsNamedMainWindow(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND VisibleWindowOf(DWORD pid, bool named) {
    Search search{pid, named, nullptr};
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The committed private memory of a process, region by region: what Windows reports as its private bytes.
// Wine leaves PrivateUsage at 0 for another process, so this count stands beside it.
double CommittedPrivateMiB(HANDLE process) {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region = {};
    for (char* address = nullptr;
         VirtualQueryEx(process, address, &region, sizeof region) == sizeof region;
         address = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return static_cast<double>(total) / (1024.0 * 1024.0);
}

struct Sample {
    double startMs = -1;       // until the window shows (and the loaded property, when asked)
    double privateMiB = -1;    // PrivateUsage after settling
    double committedMiB = -1;  // committed private regions after settling, counted with VirtualQueryEx
    double workingSetMiB = -1;
};

// quillon.exe asks before it ends ("确认是否关闭", OK and Cancel): answers OK for it, as the person would.
// The minimal program ends without asking; then there is nothing to answer.
void AnswerCloseQuestion(DWORD processId, HANDLE process) {
    for (int i = 0; i < 500 && WaitForSingleObject(process, 10) == WAIT_TIMEOUT; ++i) {
        struct Search {
            DWORD processId;
            HWND found;
        } search{processId, nullptr};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                Search& search = *reinterpret_cast<Search*>(data);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t className[16] = {};
                GetClassNameW(window, className, 16);
                if (owner == search.processId && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
                    search.found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            PostMessageW(search.found, WM_COMMAND, IDOK, 0);
            return;
        }
    }
}

// One start of `exe`: measured until its window is up, then its memory, then a close request.
Sample RunOnce(const std::wstring& exe, bool named, const std::wstring& loadedProperty) {
    Sample sample;
    std::wstring commandLine = L"\"" + exe + L"\"";
    std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};

    const double start = NowMs();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info)) {
        std::fprintf(stderr, "could not start %s (error %lu)\n", Narrow(exe).c_str(), GetLastError());
        return sample;
    }
    HWND window = nullptr;
    for (;;) {
        window = VisibleWindowOf(info.dwProcessId, named);
        if (window && (loadedProperty.empty() || GetPropW(window, loadedProperty.c_str()) != nullptr)) break;
        if (NowMs() - start > kStartLimitMs || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) {
            window = nullptr;
            break;
        }
        Sleep(1);
    }
    const double shown = NowMs();
    if (window) {
        sample.startMs = shown - start;
        Sleep(kSettleMs);
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        if (K32GetProcessMemoryInfo(info.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                    sizeof memory)) {
            sample.privateMiB = static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
            sample.workingSetMiB = static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
        }
        sample.committedMiB = CommittedPrivateMiB(info.hProcess);
        PostMessageW(window, WM_CLOSE, 0, 0);
        AnswerCloseQuestion(info.dwProcessId, info.hProcess);
    } else {
        std::fprintf(stderr, "%s showed no window within %lu ms\n", Narrow(FileName(exe)).c_str(), kStartLimitMs);
    }
    if (WaitForSingleObject(info.hProcess, kExitLimitMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s did not end after the close request; ended by force\n",
                     Narrow(FileName(exe)).c_str());
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, kExitLimitMs);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return sample;
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

double Median(std::vector<double> values) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }), values.end());
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Minimum(const std::vector<double>& values) {
    double best = -1;
    for (double v : values) {
        if (v >= 0 && (best < 0 || v < best)) best = v;
    }
    return best;
}

double Maximum(const std::vector<double>& values) {
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> positional;
    std::wstring loadedProperty, startWith;
    for (int i = 1; i < count; ++i) {
        if (std::wstring(args[i]) == L"--loaded-property" && i + 1 < count) {
            loadedProperty = args[++i];
        } else if (std::wstring(args[i]) == L"--database" && i + 1 < count) {
            startWith = args[++i];
        } else {
            positional.emplace_back(args[i]);
        }
    }
    if (positional.size() < 3) {
        std::fprintf(stderr,
                     "usage: startup_bench QUILLON_EXE MINIMAL_EXE SCRATCH_FOLDER [RUNS] [--loaded-property NAME] "
                     "[--database FILE]\n");
        return 2;
    }
    const int runs = positional.size() > 3 ? std::max(1, _wtoi(positional[3].c_str())) : 11;

    // quillon.exe from a folder of its own, with its database written by a first, unmeasured start.
    const std::wstring folder = positional[2];
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring quillon = folder + L"\\quillon.exe";
    const std::wstring database = folder + L"\\config.MDB";
    DeleteFileW(database.c_str());
    if (!startWith.empty() && !CopyFileW(startWith.c_str(), database.c_str(), FALSE)) {
        std::fprintf(stderr, "could not copy %s into %s\n", Narrow(startWith).c_str(), Narrow(folder).c_str());
        return 1;
    }
    if (!CopyFileW(positional[0].c_str(), quillon.c_str(), FALSE)) {
        std::fprintf(stderr, "could not copy %s into %s\n", Narrow(positional[0]).c_str(), Narrow(folder).c_str());
        return 1;
    }
    const std::wstring minimal = positional[1];

    WaitForProgramGone();
    Sample first = RunOnce(quillon, true, loadedProperty);
    if (first.startMs < 0 || GetFileAttributesW(database.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "quillon.exe did not start and write its database\n");
        return 1;
    }
    RunOnce(minimal, false, L"");  // warm the minimal program's file cache as well

    std::vector<double> quillonMs, minimalMs, quillonPrivate, minimalPrivate, quillonWorking, minimalWorking,
        quillonCommitted, minimalCommitted;
    for (int run = 0; run < runs; ++run) {
        // Alternate, so that both see the same conditions (caches, other load on the machine).
        WaitForProgramGone();
        Sample q = RunOnce(quillon, true, loadedProperty);
        Sample m = RunOnce(minimal, false, L"");
        quillonMs.push_back(q.startMs);
        minimalMs.push_back(m.startMs);
        quillonPrivate.push_back(q.privateMiB);
        minimalPrivate.push_back(m.privateMiB);
        quillonWorking.push_back(q.workingSetMiB);
        minimalWorking.push_back(m.workingSetMiB);
        quillonCommitted.push_back(q.committedMiB);
        minimalCommitted.push_back(m.committedMiB);
    }

    const double q = Median(quillonMs);
    const double m = Median(minimalMs);
    std::printf("start-up until the main window is visible%s, %d runs each (ms):\n",
                loadedProperty.empty() ? "" : " and the loaded property is set", runs);
    std::printf("  %-20s median %8.1f   min %8.1f   max %8.1f\n", "quillon.exe", q, Minimum(quillonMs),
                Maximum(quillonMs));
    std::printf("  %-20s median %8.1f   min %8.1f   max %8.1f\n", Narrow(FileName(minimal)).c_str(), m,
                Minimum(minimalMs), Maximum(minimalMs));
    std::printf("  first start (writes config.MDB): %.1f ms\n", first.startMs);
    if (q > 0 && m > 0) {
        std::printf("  ratio quillon / minimal: %.2f (target <= 1.50)\n", q / m);
    }
    std::printf("memory %u ms after the window shows (median, MiB):\n", static_cast<unsigned>(kSettleMs));
    std::printf("  %-20s PrivateUsage %7.2f   committed private %7.2f   working set %7.2f\n", "quillon.exe",
                Median(quillonPrivate), Median(quillonCommitted), Median(quillonWorking));
    std::printf("  %-20s PrivateUsage %7.2f   committed private %7.2f   working set %7.2f\n",
                Narrow(FileName(minimal)).c_str(), Median(minimalPrivate), Median(minimalCommitted),
                Median(minimalWorking));
    std::printf("  (PrivateUsage from GetProcessMemoryInfo; Wine reports 0 there for another process, so the\n"
                "   committed private regions, counted with VirtualQueryEx, are the figure to compare)\n");
    LocalFree(args);
    return 0;
}
