#include "session/session_monitor.h"

#include "app/server_list.h"
#include "session/connection_file.h"

namespace session {
namespace {

using app::kColumnIp, app::kColumnNote, app::kColumnPort, app::kColumnState, app::kServerList;
using app::kConnectedState, app::kNotConnectedState;
constexpr char kClientTitle[] = " - 远程桌面连接";
constexpr std::uint32_t kPassInterval = 200;

const std::string& Cell(const runtime::ListRow& row, int column) {
    static const std::string kNone;
    return static_cast<size_t>(column) < row.cells.size() ? row.cells[static_cast<size_t>(column)] : kNone;
}

// Whether two rows are the same server: note, address and port.
bool SameServer(const runtime::ListRow& a, const runtime::ListRow& b) {
    for (int column : {kColumnNote, kColumnIp, kColumnPort})
        if (Cell(a, column) != Cell(b, column)) return false;
    return true;
}

}  // namespace

SessionMonitor::SessionMonitor(runtime::Form& mainWindow, MonitorServices services)
    : main_(mainWindow), services_(std::move(services)) {}

void SessionMonitor::WatchFile(const std::string& path) { watched_.insert(path); }

bool SessionMonitor::Pass() {
    auto stopped = [this] { return services_.stop && *services_.stop == 1; };
    if (stopped()) return false;

    // Only a title that ends like the client's session windows can hold an expected title (which never holds
    // a line break, so it cannot span two titles): the others are left out before any row is looked for.
    std::string sessions;
    for (const std::string& title : services_.windowTitles ? services_.windowTitles() : std::vector<std::string>{})
        if (title.find(kClientTitle) != std::string::npos) sessions += "\r\n" + title;

    // The rows, taken on the user-interface thread. Without any session window no row can be found, so the
    // rows need not be taken first: the one turn below looks at them as they are then.
    std::vector<runtime::ListRow> rows;
    if (!sessions.empty() && !services_.onUiThread([&] { rows = main_.ListRows(kServerList); })) return false;
    std::vector<char> found(rows.size());
    if (!sessions.empty()) {
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::string title =
                SessionWindowTitle(Cell(rows[i], kColumnNote), Cell(rows[i], kColumnIp), Cell(rows[i], kColumnPort));
            found[i] = sessions.find(title) != std::string::npos;
        }
    }
    if (stopped()) return false;

    // The changes, on the user-interface thread, to the rows that are still the servers looked at.
    return services_.onUiThread([&] {
        if (stopped()) return;
        const bool connecting = services_.connectInProgress && *services_.connectInProgress == 1;
        const std::vector<runtime::ListRow> now = main_.ListRows(kServerList);
        // Without session windows the rows were not taken before: they are the rows as they are now.
        const std::vector<runtime::ListRow>& looked = sessions.empty() ? now : rows;
        size_t leftovers = kLeftoverFilesPerPass;
        for (size_t i = 0; i < looked.size() && i < now.size(); ++i) {
            const int row = static_cast<int>(i);
            if (!SameServer(now[i], looked[i])) continue;
            const std::string& state = Cell(now[i], kColumnState);
            const std::string& note = Cell(now[i], kColumnNote);
            if (!sessions.empty() && found[i]) {
                if (state != kConnectedState) main_.SetListCell(kServerList, row, kColumnState, kConnectedState);
                watched_.insert(ConnectionFileOfNote(note));
                continue;
            }
            if (connecting) continue;
            if (state != kNotConnectedState) main_.SetListCell(kServerList, row, kColumnState, kNotConnectedState);
            // The file goes whenever a session of it has ended or a connect wrote it meanwhile, and the first
            // time the row is seen without a session (left by an earlier run). Those first looks are spread
            // over passes: each deletion is a trip to the file system on this thread, and a long list at
            // start-up would freeze the window for as long as they all take. The file's name is made only
            // when it may go: this runs for every row five times a second.
            const bool firstLook = leftovers > 0 && !checked_.contains(note);
            if (!firstLook && watched_.empty()) continue;
            const std::string file = ConnectionFileOfNote(note);
            bool remove = watched_.erase(file) > 0;
            if (!remove && firstLook) {
                --leftovers;
                remove = true;
            }
            if (remove) {
                checked_.insert(note);
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
