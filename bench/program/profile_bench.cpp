// The connection profile on the in-memory main window and a real config.MDB in a temporary folder:
// SaveConnectionProfile (an update of the row that changes it, as every save after the first), the start-up loader's
// BuildDisplayModeList on a screen with 200 modes and LoadConnectionProfile. Prints the median and the
// slowest of RUNS runs in milliseconds.
//
//   profile_bench [RUNS] [FOLDER]
//     FOLDER  where config.MDB goes (default: the temporary folder); a folder on a real disk gives the figures
//             with the disk's flushes
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <vector>

#include "app/startup_loader.h"
#include "catalogue/config_database.h"
#include "profile/connection_profile.h"
#include "profile/display_sizes.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

class RunHere final : public catalogue::UiThread {
public:
    void Run(const std::function<void()>& work) override { work(); }
};

// Answers every message box with OK and keeps nothing (ModelDialogs would keep every message).
class Quiet final : public runtime::Dialogs {
public:
    runtime::MessageAnswer ShowMessage(const runtime::Message&) override { return runtime::MessageAnswer::Ok; }
    void ShowModal(const runtime::WindowSpec&, runtime::Form&, const runtime::FormBinder&) override {}
};

template <typename Work>
void Report(const char* what, int runs, Work work) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        double start = NowMs();
        work();
        ms.push_back(NowMs() - start);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-48s median %8.3f   slowest %8.3f\n", what, ms[ms.size() / 2], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 100;
    std::filesystem::path base = argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    std::string folder = (base / "quillon_profile_bench_XXXXXX").string();
    if (!mkdtemp(folder.data())) return 1;
    const std::string path = folder + "/config.MDB";
    catalogue::ConfigDatabase database;
    if (!catalogue::EnsureConfigDatabaseFile(path) || !database.Open(path)) return 1;
    std::mutex lock;
    RunHere ui;
    Quiet dialogs;
    catalogue::LoaderContext context(database, lock, ui);
    std::vector<profile::DisplaySize> modes;
    for (int i = 0; i < 200; ++i) modes.push_back({640 + 8 * (i % 100), 480 + 6 * (i / 2)});

    runtime::ModelForm main(ui::MainWindowSpec());
    main.Open();
    profile::ProfileState state;
    std::printf("connection profile, %d runs (ms):\n", runs);
    Report("BuildDisplayModeList (200 modes)", runs, [&] {
        profile::BuildDisplayModeList(context, main, state, [&] { return modes; });
    });
    Report("LoadConnectionProfile", runs, [&] { profile::LoadConnectionProfile(context, main, state); });
    // Each save changes one box, so that every one writes the row's page through the journal.
    Report("SaveConnectionProfile (update)", runs, [&] {
        main.SetChecked("选择框2", !main.Checked("选择框2"));
        profile::SaveConnectionProfile(main, state, {&database, &lock, &dialogs});
    });
    database.CloseConnection();
    std::filesystem::remove_all(folder);
    return 0;
}
