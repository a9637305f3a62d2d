// Working out the expiry classes of 10,000 servers on the in-memory main window: as the rows are made
// (ServerListRows with the clock) and as the day turns (ColourServerList over the list, which touches only rows
// whose colour changes). Prints the median and the slowest of RUNS runs in milliseconds.
//
//   expiry_bench [RUNS]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "app/server_expiry.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

template <typename Work>
void Report(const char* what, int runs, Work work) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        double start = NowMs();
        work(run);
        ms.push_back(NowMs() - start);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  %-52s median %7.3f   slowest %7.3f\n", what, ms[ms.size() / 2], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    std::vector<catalogue::ServerEntry> servers;
    for (int i = 0; i < 10000; ++i) {
        // Expiry dates spread over a year around the clock's day, with some unreadable ones.
        const int day = 1 + i % 28, month = 1 + (i / 28) % 12;
        const std::string expiry = i % 17 == 0 ? "下个月" : std::to_string(2026 + (i % 2)) + "/" + std::to_string(month) +
                                                             "/" + std::to_string(day) + " 10:00:00";
        servers.push_back({"10.0." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256), "3389", "u", "p",
                           "server " + std::to_string(i), expiry});
    }
    const runtime::DateTimeValue now{2026, 12, 8, 10, 0, 0};
    runtime::ModelForm main(ui::MainWindowSpec());
    main.Open();
    std::printf("expiry classes of 10,000 servers, %d runs (ms):\n", runs);
    Report("ServerListRows with the clock (the rows made)", runs, [&](int) { app::ServerListRows(servers, &now); });
    Report("ServerListRows without it", runs, [&](int) { app::ServerListRows(servers); });
    main.SetListRows(app::kServerList, app::ServerListRows(servers, &now));
    // The day turns back and forth, so that every run changes the colours of the rows whose class changes.
    Report("ColourServerList as the day turns", runs, [&](int run) {
        app::ColourServerList(main, run % 2 ? now : runtime::DateTimeValue{2026, 12, 20, 10, 0, 0});
    });
    return 0;
}
