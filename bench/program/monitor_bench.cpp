// One pass of the session monitor over 1,000 rows of the in-memory main window and the titles of 300
// top-level windows (20 of them session windows of rows in the list), the enumeration replaced by the list of
// titles: the mean and the slowest of RUNS passes, in milliseconds. The rows keep their states from pass to
// pass, as in the running program, so a pass after the first changes nothing.
//
//   monitor_bench [RUNS]
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
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

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    runtime::ModelForm main(ui::MainWindowSpec());
    main.Open();
    std::vector<catalogue::ServerEntry> servers;
    for (int i = 0; i < 1000; ++i)
        servers.push_back({"10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256), "3389", "u", "p",
                           "服务器 " + std::to_string(i), ""});
    main.SetListRows("超级列表框1", app::ServerListRows(servers));

    std::vector<std::string> titles;
    for (int i = 0; i < 280; ++i) titles.push_back("窗口 " + std::to_string(i) + " - 某个程序");
    for (int i = 0; i < 20; ++i)
        titles.push_back(session::SessionWindowTitle(servers[size_t(i) * 50].note, servers[size_t(i) * 50].ip, "3389"));

    std::atomic<int> stop{0}, connecting{0};
    session::MonitorServices services;
    services.stop = &stop;
    services.connectInProgress = &connecting;
    services.onUiThread = [](const std::function<void()>& work) {
        work();
        return true;
    };
    services.windowTitles = [&] { return titles; };
    services.deleteFile = [](const std::string&) {};
    session::SessionMonitor monitor(main, services);

    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        double start = NowMs();
        monitor.Pass();
        ms.push_back(NowMs() - start);
    }
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    double total = 0;
    for (double v : ms) total += v;
    std::printf("session monitor, one pass over 1,000 rows and 300 window titles, %d passes (ms):\n", runs);
    std::printf("  first %.3f   median %.3f   mean %.3f   slowest %.3f\n", first, ms[ms.size() / 2], total / runs,
                ms.back());
    return 0;
}
