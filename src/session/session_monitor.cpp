#include "session/session_monitor.h"

#include <unordered_map>

#include "session/connection_file.h"

namespace session {
namespace {

constexpr char kList[] = "超级列表框1";
constexpr int kStateColumn = 3, kIpColumn = 4, kPortColumn = 5, kNoteColumn = 6;
constexpr char kConnected[] = "已连接";
constexpr char kClientTitle[] = " - 远程桌面连接";
constexpr std::uint32_t kPassInterval = 200;

struct Server {
    std::string note, ip, port;
    bool operator==(const Server&) const = default;
};

Server ServerOfRow(const runtime::Form& main, int row) {
    return {main.ListCell(kList, row, kNoteColumn), main.ListCell(kList, row, kIpColumn),
            main.ListCell(kList, row, kPortColumn)};
}

}  // namespace

SessionMonitor::SessionMonitor(runtime::Form& mainWindow, MonitorServices services)
    : main_(mainWindow), services_(std::move(services)) {}

void SessionMonitor::WatchFile(const std::string& path) { watched_.insert(path); }

bool SessionMonitor::Pass() {
    auto stopped = [this] { return services_.stop && *services_.stop == 1; };
    if (stopped()) return false;

    // The rows, taken on the user-interface thread.
    std::vector<Server> rows;
    if (!services_.onUiThread([&] {
            int count = main_.ListRowCount(kList);
            rows.reserve(static_cast<size_t>(count));
            for (int row = 0; row < count; ++row) rows.push_back(ServerOfRow(main_, row));
        }))
        return false;

    // Only a title that ends like the client's session windows can hold an expected title (which never holds
    // a line break, so it cannot span two titles): the others are left out before any row is looked for.
    std::string sessions;
    for (const std::string& title : services_.windowTitles ? services_.windowTitles() : std::vector<std::string>{})
        if (title.find(kClientTitle) != std::string::npos) sessions += "\r\n" + title;
    std::vector<char> found(rows.size());
    std::unordered_map<std::string, bool> byTitle;  // rows of one server are looked for once
    for (size_t i = 0; i < rows.size(); ++i) {
        std::string title = SessionWindowTitle(rows[i].note, rows[i].ip, rows[i].port);
        auto known = byTitle.find(title);
        if (known == byTitle.end()) known = byTitle.emplace(title, sessions.find(title) != std::string::npos).first;
        found[i] = known->second;
    }
    if (stopped()) return false;

    // The changes, on the user-interface thread, to the rows that are still the servers looked at.
    return services_.onUiThread([&] {
        if (stopped()) return;
        const bool connecting = services_.connectInProgress && *services_.connectInProgress == 1;
        const int count = main_.ListRowCount(kList);
        for (size_t i = 0; i < rows.size() && static_cast<int>(i) < count; ++i) {
            const int row = static_cast<int>(i);
            if (!(ServerOfRow(main_, row) == rows[i])) continue;
            const std::string state = main_.ListCell(kList, row, kStateColumn);
            if (found[i]) {
                if (state != kConnected) main_.SetListCell(kList, row, kStateColumn, kConnected);
                watched_.insert(ConnectionFileOfNote(rows[i].note));
                continue;
            }
            if (connecting) continue;
            if (state != kNotConnected) main_.SetListCell(kList, row, kStateColumn, kNotConnected);
            const std::string file = ConnectionFileOfNote(rows[i].note);
            // The first time a row is seen without a session its file goes (left by an earlier run), and again
            // whenever a session of it has ended or a connect wrote it meanwhile.
            if (checked_.insert(file).second || watched_.erase(file) > 0) {
                if (services_.deleteFile) services_.deleteFile(file);
            }
        }
    }) && !stopped();
}

void SessionMonitor::Run() {
    while (Pass()) {
        if (services_.pause) services_.pause(kPassInterval);
    }
}

}  // namespace session
