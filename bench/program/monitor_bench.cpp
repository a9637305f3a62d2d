// Passes of the session monitor over the program's server model and the titles of 300 top-level windows, the
// enumeration replaced by the list of titles: 1,000, 10,000 and 100,000 servers, with 20 session windows of
// servers in the list and with none (the program idling). The servers keep their states from pass to pass, as
// in the running program, so a pass after the first changes nothing. Each run checks that exactly the servers
// with a session window are connected.
//
//   monitor_bench [RUNS]
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/server_model.h"
#include "runtime/form_model.h"
#include "session/connection_file.h"
#include "session/session_monitor.h"
#include "ui/forms.h"

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

// `runs` passes over `rows` servers, `sessionWindows` of them with a session window among 300 window titles;
// the first pass apart (it marks every row and looks for files of earlier runs), then the others.
void Passes(int rows, int sessionWindows, int runs) {
    runtime::ModelForm main(ui::MainWindowSpec());
    main.Open();
    std::vector<catalogue::ServerEntry> servers;
    for (int i = 0; i < rows; ++i)
        servers.push_back({"10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                               std::to_string(i % 256),
                           "3389", "u", "p", "服务器 " + std::to_string(i), ""});
    app::ServerModel model;
    model.BindList(main);
    model.Reset(servers, {2026, 12, 8, 10, 0, 0});

    std::vector<std::string> titles;
    for (int i = 0; i < 300 - sessionWindows; ++i) titles.push_back("窗口 " + std::to_string(i) + " - 某个程序");
    for (int i = 0; i < sessionWindows; ++i)
        titles.push_back(model.at(static_cast<size_t>(i) * (servers.size() / sessionWindows)).connection.title);

    std::atomic<int> stop{0};
    session::MonitorServices services;
    services.stop = &stop;
    services.onUiThread = [](const std::function<void()>& work) {
        work();
        return true;
    };
    services.windowTitles = [&] { return titles; };
    services.deleteFile = [](const std::string&) {};
    session::SessionMonitor monitor(model, services);

    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        double start = NowMs();
        monitor.Pass();
        ms.push_back(NowMs() - start);
        size_t connected = 0;
        for (size_t i = 0; i < model.size(); ++i) connected += model.SessionConnected(i);
        if (connected != static_cast<size_t>(sessionWindows)) {
            std::fprintf(stderr, "%zu servers connected, not %d\n", connected, sessionWindows);
            std::exit(1);
        }
    }
    const double first = ms.front();
    ms.erase(ms.begin());
    std::sort(ms.begin(), ms.end());
    double total = 0;
    for (double v : ms) total += v;
    std::printf("  %6d rows, %2d session windows:  first %7.3f   then median %7.3f   mean %7.3f   slowest %7.3f\n",
                rows, sessionWindows, first, ms[ms.size() / 2], total / static_cast<double>(ms.size()), ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(2, atoi(argv[1])) : 500;
    std::printf("session monitor, one pass over the rows and 300 window titles, %d passes (ms):\n", runs);
    for (int rows : {1000, 10000, 100000}) {
        Passes(rows, 20, runs);
        Passes(rows, 0, runs);
    }
    return 0;
}
