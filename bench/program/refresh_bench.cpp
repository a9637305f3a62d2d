// Filling the server list of MainWindow with 10,000 servers read from config.MDB, on the in-memory window:
// ServerCatalogue::RefreshServerList as a whole, the start-up loader's LoadServerListAtStartup, and their
// parts (reading table Server, making the servers of the model). Prints the mean and the slowest of several
// runs in milliseconds.
//
//   refresh_bench [SERVERS] [RUNS]
//
// The Win32 list's own fill is measured under Wine by bench/wine/list_fill_bench.cpp.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "app/startup_loader.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "server_samples.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

struct Figures {
    double mean = 0, max = 0;
};

template <typename Work>
Figures Measure(int runs, Work work) {
    Figures figures;
    for (int run = 0; run < runs; ++run) {
        double ms = work();
        figures.mean += ms / runs;
        figures.max = std::max(figures.max, ms);
    }
    return figures;
}

// The loader's user-interface thread when there is only one thread: the work runs at once.
class SameThread final : public catalogue::UiThread {
public:
    void Run(const std::function<void()>& work) override { work(); }
};

void Print(const char* what, const Figures& figures) {
    std::printf("  %-44s mean %8.1f   max %8.1f\n", what, figures.mean, figures.max);
}

// The list must hold exactly the servers, in table order, with their numbers: a benchmark that measured an
// empty or wrong fill would be worthless.
bool ListHoldsServers(const runtime::Form& window, const std::vector<catalogue::ServerEntry>& servers) {
    if (window.ListRowCount(app::kServerList) != static_cast<int>(servers.size())) {
        std::fprintf(stderr, "the list holds %d rows, not %zu\n", window.ListRowCount(app::kServerList), servers.size());
        return false;
    }
    for (size_t i = 0; i < servers.size(); i += std::max<size_t>(1, servers.size() / 97)) {
        const int row = static_cast<int>(i);
        if (window.ListCell(app::kServerList, row, app::kColumnIp) != servers[i].ip ||
            window.ListCell(app::kServerList, row, app::kColumnNote) != servers[i].note ||
            window.ListCell(app::kServerList, row, app::kColumnExpiry) != servers[i].dqsj ||
            window.ListCell(app::kServerList, row, app::kColumnNumber) != std::to_string(i + 1)) {
            std::fprintf(stderr, "row %d of the list is not server %zu of the database\n", row, i);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    char folder[] = "/tmp/refresh_bench.XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = std::string(folder) + "/config.MDB";
    const std::vector<catalogue::ServerEntry> servers = bench::MakeServerEntries(count);
    double start = NowMs();
    if (std::string error = bench::WriteServerDatabase(path, servers); !error.empty()) {
        std::fprintf(stderr, "could not write %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    const double writeMs = NowMs() - start;

    catalogue::ConfigDatabase database;
    if (!database.Open(path)) {
        std::fprintf(stderr, "could not open %s: %s\n", path.c_str(), database.LastError().c_str());
        return 1;
    }
    std::mutex lock;
    app::ServerModel model;
    app::ServerCatalogue catalogue(model, {&database, &lock, nullptr, nullptr, nullptr, {}});
    runtime::ModelForm window(ui::MainWindowSpec());
    window.Open();
    model.BindList(window);
    SameThread ui;
    catalogue::LoaderContext loader(database, lock, ui);

    bool right = true;
    std::vector<catalogue::ServerEntry> read;
    const Figures refresh = Measure(runs, [&] {
        model.Reset(std::vector<catalogue::ServerEntry>{}, {});
        double begin = NowMs();
        catalogue.RefreshServerList(window);
        double ms = NowMs() - begin;
        right = right && ListHoldsServers(window, servers);
        return ms;
    });
    const Figures atStartup = Measure(runs, [&] {
        model.Reset(std::vector<catalogue::ServerEntry>{}, {});
        double begin = NowMs();
        app::LoadServerListAtStartup(loader, model, nullptr);
        double ms = NowMs() - begin;
        right = right && ListHoldsServers(window, servers);
        return ms;
    });
    const Figures load = Measure(runs, [&] {
        read.clear();
        double begin = NowMs();
        bool loaded = catalogue::LoadServers(database, read);
        double ms = NowMs() - begin;
        if (!loaded || read.size() != servers.size() || read.back().note != servers.back().note) {
            std::fprintf(stderr, "LoadServers read %zu servers (%s)\n", read.size(), database.LastError().c_str());
            right = false;
        }
        return ms;
    });
    const Figures adopt = Measure(runs, [&] {
        std::vector<app::Server> made;
        for (const catalogue::ServerEntry& entry : read) made.push_back(app::MakeServer(entry, model.NameLimit()));
        double begin = NowMs();
        model.Adopt(std::move(made), {});
        double ms = NowMs() - begin;
        right = right && ListHoldsServers(window, servers);
        return ms;
    });
    const Figures makeServers = Measure(runs, [&] {
        double begin = NowMs();
        model.Reset(read, {});
        double ms = NowMs() - begin;
        right = right && ListHoldsServers(window, servers);
        return ms;
    });

    std::printf("server list of %d servers from config.MDB (%.1f MiB, written in %.0f ms), %d runs each (ms):\n",
                count, [&] {
                    FILE* file = std::fopen(path.c_str(), "rb");
                    if (!file) return 0.0;
                    std::fseek(file, 0, SEEK_END);
                    double size = static_cast<double>(std::ftell(file)) / (1024.0 * 1024.0);
                    std::fclose(file);
                    return size;
                }(),
                writeMs, runs);
    Print("RefreshServerList (read + rows + fill)", refresh);
    Print("LoadServerListAtStartup (same, loader path)", atStartup);
    Print("  database read: catalogue::LoadServers", load);
    Print("  the model: ServerModel::Reset (servers made, list told)", makeServers);
    Print("    of which Adopt (the user-interface thread's part)", adopt);

    database.Close();
    database.CloseConnection();
    unlink(path.c_str());
    rmdir(folder);
    if (!right) {
        std::fprintf(stderr, "the list did not come out as the database holds it: figures are void\n");
        return 1;
    }
    return 0;
}
