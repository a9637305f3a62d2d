// Working out the expiry classes of 10,000 and 100,000 servers in the program's server model, its list on the
// in-memory main window: as the servers are made (Reset) and as the day turns (Reclassify, which redraws only
// the servers whose class changes), checking the counts. Prints the median and the slowest of RUNS runs in
// milliseconds.
//
//   expiry_bench [RUNS]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/server_expiry.h"
#include "app/server_model.h"
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
    const runtime::DateTimeValue now{2026, 12, 8, 10, 0, 0}, later{2026, 12, 20, 10, 0, 0};
    for (int count : {10000, 100000}) {
        std::vector<catalogue::ServerEntry> servers;
        int lapsedNow = 0, lapsedLater = 0;
        for (int i = 0; i < count; ++i) {
            // Expiry dates spread over a year around the clock's day, with some unreadable ones.
            const int day = 1 + i % 28, month = 1 + (i / 28) % 12, year = 2026 + (i % 2);
            const bool unreadable = i % 17 == 0;
            const std::string expiry = unreadable ? "下个月" : std::to_string(year) + "/" + std::to_string(month) + "/" +
                                                                std::to_string(day) + " 10:00:00";
            // What the classes must count: dates before the clock's (their times are all 10:00).
            const long key = year * 10000L + month * 100 + day;
            lapsedNow += !unreadable && key < 20261208;
            lapsedLater += !unreadable && key < 20261220;
            servers.push_back({"10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                                   std::to_string(i % 256),
                               "3389", "u", "p", "server " + std::to_string(i), expiry});
        }
        runtime::ModelForm main(ui::MainWindowSpec());
        main.Open();
        app::ServerModel model;
        model.BindList(main);
        std::printf("expiry classes of %d servers, %d runs (ms):\n", count, runs);
        Report("Reset: every server made and classified", std::max(1, runs / 10), [&](int) { model.Reset(servers, now); });
        // The day turns back and forth, so that every run changes the colours of the servers whose class changes.
        bool right = true;
        Report("Reclassify as the day turns", runs, [&](int run) {
            const app::ExpiryCounts counts = model.Reclassify(run % 2 ? now : later);
            right = right && counts.lapsed == (run % 2 ? lapsedNow : lapsedLater);
        });
        if (!right) {
            std::fprintf(stderr, "the lapsed servers were miscounted\n");
            return 1;
        }
    }
    return 0;
}
