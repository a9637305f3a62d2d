#include "session/session_monitor.h"

#include <algorithm>
#include <unordered_set>

namespace session {
namespace {

constexpr char kClientTitle[] = " - 远程桌面连接";
constexpr std::uint32_t kPassInterval = 200;

}  // namespace

SessionMonitor::SessionMonitor(MonitoredServers& servers, MonitorServices services)
    : servers_(servers), services_(std::move(services)) {}

void SessionMonitor::Watch(const std::string& file, const std::string& title, ClientToken client, std::uint64_t until) {
    Watched& watched = watched_[file];
    if (watched.client != 0 && watched.client != client && services_.releaseClient) services_.releaseClient(watched.client);
    watched = {title, client, until};
}

bool SessionMonitor::Pass() {
    auto stopped = [this] { return services_.stop && *services_.stop == 1; };
    if (stopped()) return false;

    // Files of an earlier run, listed once; deleted a few at a time by the passes that follow.
    if (firstPass_ && services_.connectionFiles) leftovers_ = services_.connectionFiles();
    firstPass_ = false;

    // Only the titles of the client's session windows can be a server's.
    std::vector<std::string> sessions;
    for (std::string& title : services_.windowTitles ? services_.windowTitles() : std::vector<std::string>{})
        if (title.find(kClientTitle) != std::string::npos) sessions.push_back(std::move(title));

    // With session windows open: the servers' titles (taken again only when they changed), then the search
    // here, on this thread. Without any, nothing can be found and no copy is needed.
    std::vector<char> found;
    bool compared = false;
    if (!sessions.empty()) {
        if (!services_.onUiThread([&] {
                const std::uint64_t version = servers_.Version();
                if (version == copyVersion_) return;
                titles_.clear();
                titles_.reserve(servers_.Count());
                for (size_t i = 0; i < servers_.Count(); ++i) titles_.push_back(servers_.SessionOf(i).title);
                copyVersion_ = version;
            }))
            return false;
        const std::unordered_set<std::string> open(sessions.begin(), sessions.end());
        found.resize(titles_.size());
        for (size_t i = 0; i < titles_.size(); ++i) found[i] = open.contains(titles_[i]);
        compared = true;
    }
    if (stopped()) return false;

    // The user-interface thread works on leftovers_ while this thread waits for it.
    return services_.onUiThread([&] {
        if (!stopped()) Apply(sessions, compared ? &found : nullptr);
    }) && !stopped();
}

void SessionMonitor::Apply(const std::vector<std::string>& sessions, const std::vector<char>* found) {
    // The servers' states: what was found, when it was found for the servers as they are now; with no session
    // window at all, no server is connected.
    std::vector<size_t> ended;
    if (found && servers_.Version() == copyVersion_) {
        ended = servers_.SetSessionsFound(*found);
    } else if (!found && !servers_.NothingConnected()) {
        ended = servers_.SetSessionsFound({});
    }
    auto remove = [this](const std::string& file) {
        if (services_.deleteFile) services_.deleteFile(file);
    };
    // A session that ended takes its file along, unless a client the program started still needs it.
    for (size_t server : ended) {
        const std::string& file = servers_.SessionOf(server).file;
        if (!watched_.contains(file)) remove(file);
    }
    // The files of the clients the program started: kept while the client runs (or its start is recent) and
    // while its window is there.
    const std::uint64_t now = services_.clock ? services_.clock() : 0;
    for (auto it = watched_.begin(); it != watched_.end();) {
        const Watched& watched = it->second;
        const bool running = watched.client != 0 && services_.clientRunning && services_.clientRunning(watched.client);
        const bool shown = std::find(sessions.begin(), sessions.end(), watched.title) != sessions.end();
        if (running || shown || now < watched.until) {
            ++it;
            continue;
        }
        remove(it->first);
        if (watched.client != 0 && services_.releaseClient) services_.releaseClient(watched.client);
        it = watched_.erase(it);
    }
    // Files an earlier run left: every one but those of sessions running now and of clients started since.
    std::vector<std::string>& leftovers = leftovers_;
    if (leftovers.empty()) return;
    std::unordered_set<std::string> keep;
    for (size_t i = 0; i < servers_.Count(); ++i)
        if (servers_.SessionConnected(i)) keep.insert(servers_.SessionOf(i).file);
    size_t deleted = 0;
    while (!leftovers.empty() && deleted < kLeftoverFilesPerPass) {
        const std::string file = std::move(leftovers.back());
        leftovers.pop_back();
        if (keep.contains(file) || watched_.contains(file)) continue;
        remove(file);
        ++deleted;
    }
}

void SessionMonitor::Run() {
    while (Pass()) {
        if (services_.pause) services_.pause(kPassInterval);
    }
}

}  // namespace session
