// Sorting the server list by each kind of column, for 1,000, 10,000 and 100,000 servers: through the program's
// server model (ordering every server, renumbering, keeping the selection, the list told), and the ordering
// step alone beside the same order made one insertion at a time as the sort's rule reads (the yardstick, and
// the check: both orders must be the same). Prints the mean and the slowest of several runs in milliseconds.
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/server_list_sort.h"
#include "app/server_model.h"
#include "server_samples.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

const char kList[] = "超级列表框1";
constexpr int kRuns = 5;

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

// Plausible servers: addresses in a few private ranges and some names, common and odd ports, notes, and
// expiry dates written both ways (the program's 24-hour text and a 12-hour text without AM/PM), with a few
// that are no date at all.
std::vector<runtime::ListRow> MakeServers(int kRows) {
    static const char* const kNotes[] = {"办公室", "机房一号", "家里的电脑", "测试服务器", "客户 A", "备份", ""};
    static const char* const kNames[] = {"srv", "db", "web", "Gateway", "文件服务器"};
    bench::Sequence random(20250703u);  // the same list every run
    std::vector<runtime::ListRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        runtime::ListRow row;
        row.value = 1000 + i;
        std::string address;
        switch (random.Next(4)) {
        case 0: address = "10." + std::to_string(random.Next(256)) + "." + std::to_string(random.Next(256)) + "." +
                          std::to_string(random.Next(256)); break;
        case 1: address = "192.168." + std::to_string(random.Next(256)) + "." + std::to_string(random.Next(256)); break;
        case 2: address = "172.16." + std::to_string(random.Next(16)) + "." + std::to_string(random.Next(256)); break;
        default: address = std::string(kNames[random.Next(5)]) + std::to_string(random.Next(500)) + ".example.cn";
        }
        std::string port;
        switch (random.Next(5)) {
        case 0: port = "3389"; break;
        case 1: port = " 22"; break;
        case 2: port = std::to_string(1024 + random.Next(60000)); break;
        case 3: port = std::to_string(random.Next(100000)) + "x"; break;
        default: port = std::to_string(3389 + random.Next(20));
        }
        std::string note = std::string(kNotes[random.Next(7)]) + " " + std::to_string(random.Next(1000));
        std::string expiry;
        const std::uint32_t year = 2020 + random.Next(10), month = 1 + random.Next(12), day = 1 + random.Next(28);
        const std::uint32_t hour = random.Next(24), minute = random.Next(60), second = random.Next(60);
        switch (random.Next(6)) {
        case 0: case 1: case 2:
            expiry = std::to_string(year) + "/" + std::to_string(month) + "/" + std::to_string(day) + " " +
                     bench::Pad2(hour) + ":" + bench::Pad2(minute) + ":" + bench::Pad2(second);
            break;
        case 3:
            expiry = std::to_string(year) + "/" + std::to_string(month) + "/" + std::to_string(day) + " " +
                     std::to_string(hour % 12 == 0 ? 12 : hour % 12) + ":" + bench::Pad2(minute) + ":" + bench::Pad2(second);
            break;
        case 4: expiry = std::to_string(year) + "-" + bench::Pad2(month) + "-" + bench::Pad2(day); break;
        default: expiry = random.Next(2) ? "永久" : "";
        }
        row.cells = {"user" + std::to_string(i), "secret", std::to_string(i + 1), "未连接", address, port, note, expiry};
        rows.push_back(std::move(row));
    }
    return rows;
}

struct Figures {
    double mean = 0, max = 0;
};

template <typename Work>
Figures Measure(Work work) {
    Figures figures;
    for (int run = 0; run < kRuns; ++run) {
        double ms = work();
        figures.mean += ms / kRuns;
        figures.max = std::max(figures.max, ms);
    }
    return figures;
}

}  // namespace

int main() {
    struct Case {
        const char* name;
        int column;
    };
    const Case cases[] = {{"address (text)", 4}, {"port (numeric)", 5}, {"note (text)", 6}, {"expiry (date)", 7}};
    bool same = true;
    std::size_t checksum = 0;
    for (int rows : {1000, 10000, 100000}) {
        const std::vector<runtime::ListRow> servers = MakeServers(rows);
        std::vector<catalogue::ServerEntry> entries;
        for (const runtime::ListRow& row : servers)
            entries.push_back({row.cells[4], row.cells[5], row.cells[0], row.cells[1], row.cells[6], row.cells[7]});
        runtime::ModelForm window(ui::MainWindowSpec());
        window.Open();
        app::ServerModel model;
        model.BindList(window);
        model.Reset(entries, {2026, 12, 8, 10, 0, 0});
        // The insertion one row at a time takes quadratic time: measured once, and only up to 10,000 rows.
        const int insertionRuns = rows <= 10000 ? 1 : 0;
        std::printf("\nsorting %d servers (ms, mean / slowest of %d runs)\n", rows, kRuns);
        std::printf("%-16s %-10s %18s %18s %18s\n", "column", "direction", "model", "order", "by insertion");
        for (const Case& test : cases) {
            const app::SortMode mode = app::SortModeForColumn(test.column);
            auto cell = [&](std::size_t row) -> std::string_view {
                return servers[row].cells[static_cast<std::size_t>(test.column)];
            };
            for (bool ascending : {true, false}) {
                window.SetListSelectedRow(kList, rows / 2);
                Figures sorted = Measure([&] {
                    double start = NowMs();
                    model.Sort(test.column, ascending);
                    double ms = NowMs() - start;
                    checksum += static_cast<std::size_t>(window.ListSelectedRow(kList));
                    return ms;
                });
                std::vector<int> fast, slow;
                Figures order = Measure([&] {
                    double start = NowMs();
                    fast = app::SortedOrder(servers.size(), cell, mode, ascending);
                    return NowMs() - start;
                });
                double insertion = 0;
                if (insertionRuns) {
                    double start = NowMs();
                    slow = app::SortedOrderByInsertion(servers.size(), cell, mode, ascending);
                    insertion = NowMs() - start;
                    if (slow != fast) {
                        std::fprintf(stderr, "%s %s: the order differs from the insertion's\n", test.name,
                                     ascending ? "ascending" : "descending");
                        same = false;
                    }
                }
                char insertionText[32] = "-";
                if (insertionRuns) std::snprintf(insertionText, sizeof insertionText, "%.2f", insertion);
                std::printf("%-16s %-10s %8.2f / %7.2f %8.2f / %7.2f %18s\n", test.name,
                            ascending ? "ascending" : "descending", sorted.mean, sorted.max, order.mean, order.max,
                            insertionText);
            }
        }
    }
    std::printf("%s (checksum %zu)\n", same ? "every order the insertion's" : "AN ORDER DIFFERS", checksum);
    return same ? 0 : 1;
}
