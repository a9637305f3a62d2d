// Filtering the server list as the person types, for 1,000, 10,000 and 100,000 servers: each keystroke's
// ServerModel::SetFilter (every server matched, the view made, the list told), the text typed one character at
// a time ("10.0.1", "bj", "上海"), and a date view. Each keystroke's count is checked against the same match
// made server by server without the model (MatchesFilter over all of them). Prints the median and the slowest
// keystroke in milliseconds.
//
//   filter_bench [RUNS]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/server_model.h"
#include "runtime/date_time.h"
#include "runtime/form_model.h"
#include "server_samples.h"
#include "ui/forms.h"

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

const runtime::DateTimeValue kNow{2026, 12, 8, 10, 0, 0};

std::vector<catalogue::ServerEntry> MakeServers(int count) {
    static const char* const kPlaces[] = {"北京", "上海", "广州", "深圳", "杭州", "成都", "重庆", "香港"};
    static const char* const kKinds[] = {"电信", "联通", "移动", "机房", "办公室", "测试"};
    bench::Sequence random(20261208u);
    std::vector<catalogue::ServerEntry> servers;
    servers.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::uint32_t month = 1 + random.Next(12), day = 1 + random.Next(28);
        servers.push_back({"10." + std::to_string(random.Next(4)) + "." + std::to_string(random.Next(256)) + "." +
                               std::to_string(random.Next(256)),
                           std::to_string(3389 + random.Next(3)), "user" + std::to_string(random.Next(100)), "pw",
                           std::string(kPlaces[random.Next(8)]) + "-" + kKinds[random.Next(6)] + std::to_string(i),
                           std::to_string(2026 + random.Next(2)) + "/" + std::to_string(month) + "/" + std::to_string(day)});
    }
    return servers;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const double now = runtime::OleDateFromDateTime(kNow);
    bool right = true;
    for (int count : {1000, 10000, 100000}) {
        runtime::ModelForm main(ui::MainWindowSpec());
        main.Open();
        app::ServerModel model;
        model.BindList(main);
        const double begin = NowMs();
        model.Reset(MakeServers(count), kNow);
        std::printf("\n%d servers (made in %.1f ms); keystroke by keystroke, %d runs (ms):\n", count, NowMs() - begin, runs);
        struct Typing {
            const char* text;
            const char* label;  // ASCII, for the terminal
            app::ServerView view;
        };
        for (const Typing& typing : {Typing{"10.0.1", "10.0.1", app::ServerView::kAll},
                                     Typing{"bj", "bj", app::ServerView::kAll},
                                     Typing{"上海", "(shanghai)", app::ServerView::kAll},
                                     Typing{"cq", "cq", app::ServerView::kDueIn30Days}}) {
            std::vector<double> ms;
            size_t shown = 0;
            for (int run = 0; run < runs; ++run) {
                const std::string text = typing.text;
                for (size_t length = 1; length <= text.size(); ++length) {
                    const std::string typed = text.substr(0, length);
                    const double start = NowMs();
                    model.SetFilter({typed, typing.view}, kNow);
                    ms.push_back(NowMs() - start);
                    // The count the view must show, worked out server by server.
                    size_t expected = 0;
                    const app::FilterQuery key = app::MakeFilterQuery(typed);
                    for (size_t i = 0; i < model.size(); ++i) expected += app::MatchesFilter(model.at(i), typing.view, key, now);
                    if (static_cast<size_t>(model.ViewRowCount()) != expected) {
                        std::fprintf(stderr, "\"%s\": %d shown, %zu expected\n", typed.c_str(), model.ViewRowCount(), expected);
                        right = false;
                    }
                    shown = expected;
                }
                model.SetFilter({}, kNow);
            }
            std::sort(ms.begin(), ms.end());
            std::printf("  %-10s %-8s median %7.3f   slowest %7.3f   (%zu shown at the end)\n", typing.label,
                        typing.view == app::ServerView::kAll ? "all" : "30 days", ms[ms.size() / 2], ms.back(), shown);
        }
    }
    if (!right) std::fprintf(stderr, "the view did not show what the filter lets through: figures are void\n");
    return right ? 0 : 1;
}
