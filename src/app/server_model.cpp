#include "app/server_model.h"

#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "runtime/date_time.h"

namespace app {
namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr size_t kFilterKeyBytes = 256;

bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// `text` with ASCII letters in lower case; a double-byte character passes whole.
void AppendLowered(std::string& out, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(byte) && i + 1 < text.size()) {
            out += text[i];
            out += text[++i];
            continue;
        }
        out += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
    }
}

// Whether `key` occurs in `text` starting at a character's first byte (never inside a double-byte character).
bool ContainsWhole(std::string_view text, std::string_view key) {
    if (key.empty()) return true;
    for (size_t i = 0; i + key.size() <= text.size();) {
        if (text.compare(i, key.size(), key) == 0) return true;
        i += IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
    return false;
}

const std::string& StateText(SessionState state) {
    static const std::string kUnknownText, kConnectedText = kConnectedState, kNotConnectedText = kNotConnectedState;
    switch (state) {
    case SessionState::kConnected: return kConnectedText;
    case SessionState::kNotConnected: return kNotConnectedText;
    case SessionState::kUnknown: break;
    }
    return kUnknownText;
}

// What the database knows a server by, with its note: a server that keeps all three is the same server.
std::string SessionKey(const catalogue::ServerEntry& entry) {
    return entry.ip + '\0' + entry.port + '\0' + entry.note;
}

}  // namespace

std::string FilterKey(const std::string& typed) {
    std::string key;
    for (size_t i = 0; i < typed.size();) {
        const unsigned char byte = static_cast<unsigned char>(typed[i]);
        const size_t length = IsLeadByte(byte) && i + 1 < typed.size() ? 2 : 1;
        if (key.size() + length > kFilterKeyBytes) break;
        if (length == 2) {
            key.append(typed, i, 2);
        } else if (byte >= 0x20 && byte != 0x7F) {
            key += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
        }
        i += length;
    }
    return key;
}

FilterQuery MakeFilterQuery(const std::string& typed) {
    FilterQuery query;
    query.key = FilterKey(typed);
    query.pinyin = runtime::MakePinyinQuery(query.key);
    return query;
}

Server MakeServer(catalogue::ServerEntry entry, size_t nameLimit) {
    Server server;
    server.expiry = ExpiryDate(entry.dqsj);
    for (const std::string* field : {&entry.ip, &entry.port, &entry.user, &entry.note}) {
        AppendLowered(server.search, *field);
        server.search += '\n';  // never in a filter key: no match runs from one field into the next
    }
    server.pinyin = runtime::MakePinyinKey(entry.note);
    server.connection = session::ConnectionNameOf(entry.note, entry.ip, entry.port, nameLimit);
    server.entry = std::move(entry);
    return server;
}

bool MatchesFilter(const Server& server, ServerView view, const FilterQuery& query, double now) {
    switch (view) {
    case ServerView::kAll: break;
    case ServerView::kConnected:
        if (server.session != SessionState::kConnected) return false;
        break;
    case ServerView::kLapsed:
        if (ClassifyExpiryDate(server.expiry, now) != ExpiryClass::kLapsed) return false;
        break;
    case ServerView::kDueIn7Days:
    case ServerView::kDueIn30Days:
        // What lapses within the days, the servers already lapsed included: all that is due.
        if (std::isnan(server.expiry) || server.expiry > now + (view == ServerView::kDueIn7Days ? 7 : 30)) return false;
        break;
    }
    return ContainsWhole(server.search, query.key) || runtime::MatchesPinyin(server.pinyin, query.pinyin);
}

void ServerModel::BindList(runtime::Form& window) {
    window_ = &window;
    window.SetListSource(kServerList, this);
    Publish(kNone);
}

void ServerModel::Reset(std::vector<catalogue::ServerEntry> entries, const runtime::DateTimeValue& now) {
    std::vector<Server> servers;
    servers.reserve(entries.size());
    for (catalogue::ServerEntry& entry : entries) servers.push_back(MakeServer(std::move(entry), nameLimit_));
    Adopt(std::move(servers), now);
}

void ServerModel::Adopt(std::vector<Server> servers, const runtime::DateTimeValue& now) {
    // Sessions the monitor found stay with the servers that are still there.
    std::unordered_map<std::string, SessionState> sessions;
    for (const Server& server : servers_)
        if (server.session != SessionState::kUnknown) sessions.emplace(SessionKey(server.entry), server.session);
    servers_ = std::move(servers);
    now_ = runtime::OleDateFromDateTime(now);
    connected_ = unknown_ = 0;
    order_.resize(servers_.size());
    for (size_t i = 0; i < servers_.size(); ++i) {
        Server& server = servers_[i];
        order_[i] = i;
        server.number = static_cast<std::uint32_t>(i + 1);
        server.expiryClass = ClassifyExpiryDate(server.expiry, now_);
        auto found = sessions.empty() ? sessions.end() : sessions.find(SessionKey(server.entry));
        server.session = found == sessions.end() ? SessionState::kUnknown : found->second;
        connected_ += server.session == SessionState::kConnected;
        unknown_ += server.session == SessionState::kUnknown;
    }
    ++version_;
    Refilter(kNone);
}

bool ServerModel::Replace(const catalogue::ServerEntry& old, catalogue::ServerEntry updated,
                          const runtime::DateTimeValue& now) {
    auto same = [&old](const Server& server) {
        const catalogue::ServerEntry& e = server.entry;
        return e.ip == old.ip && e.port == old.port && e.user == old.user && e.password == old.password &&
               e.note == old.note && e.dqsj == old.dqsj;
    };
    size_t index = 0;
    while (index < servers_.size() && !same(servers_[index])) ++index;
    if (index == servers_.size()) return false;
    size_t selected = kNone;
    SelectedServer(selected);
    Server& server = servers_[index];
    Server made = MakeServer(std::move(updated), nameLimit_);
    made.number = server.number;
    made.session = SessionKey(made.entry) == SessionKey(server.entry) ? server.session : SessionState::kUnknown;
    connected_ -= server.session == SessionState::kConnected;
    unknown_ -= server.session == SessionState::kUnknown;
    connected_ += made.session == SessionState::kConnected;
    unknown_ += made.session == SessionState::kUnknown;
    now_ = runtime::OleDateFromDateTime(now);
    made.expiryClass = ClassifyExpiryDate(made.expiry, now_);
    server = std::move(made);
    ++version_;
    Refilter(selected);  // it may leave or join the view
    return true;
}

std::vector<size_t> ServerModel::SetSessionsFound(const std::vector<char>& found) {
    std::vector<size_t> ended, changed;
    bool membershipChanged = false;
    unknown_ = 0;
    for (size_t i = 0; i < servers_.size(); ++i) {
        Server& server = servers_[i];
        const SessionState state = i < found.size() && found[i] ? SessionState::kConnected : SessionState::kNotConnected;
        if (state == server.session) continue;
        if (server.session == SessionState::kConnected) {
            ended.push_back(i);
            --connected_;
        }
        if (state == SessionState::kConnected) ++connected_;
        membershipChanged = membershipChanged || state == SessionState::kConnected ||
                            server.session == SessionState::kConnected;
        server.session = state;
        changed.push_back(i);
    }
    if (membershipChanged && filter_.view == ServerView::kConnected) {
        size_t selected = kNone;
        SelectedServer(selected);
        Refilter(selected);
    } else {
        RedrawServers(changed);
    }
    return ended;
}

ExpiryCounts ServerModel::Reclassify(const runtime::DateTimeValue& now) {
    now_ = runtime::OleDateFromDateTime(now);
    std::vector<size_t> changed;
    for (size_t i = 0; i < servers_.size(); ++i) {
        const ExpiryClass expiryClass = ClassifyExpiryDate(servers_[i].expiry, now_);
        if (expiryClass == servers_[i].expiryClass) continue;
        servers_[i].expiryClass = expiryClass;
        changed.push_back(i);
    }
    RedrawServers(changed);
    // The date views follow the day.
    if (filter_.view == ServerView::kLapsed || filter_.view == ServerView::kDueIn7Days ||
        filter_.view == ServerView::kDueIn30Days) {
        size_t selected = kNone;
        SelectedServer(selected);
        Refilter(selected);
    }
    return Counts();
}

ExpiryCounts ServerModel::Counts() const {
    ExpiryCounts counts;
    for (const Server& server : servers_) {
        counts.lapsed += server.expiryClass == ExpiryClass::kLapsed;
        counts.dueSoon += server.expiryClass == ExpiryClass::kDueSoon;
    }
    return counts;
}

void ServerModel::SetFilter(const ServerFilter& filter, const runtime::DateTimeValue& now) {
    size_t selected = kNone;
    SelectedServer(selected);
    filter_ = filter;
    query_ = MakeFilterQuery(filter.text);
    now_ = runtime::OleDateFromDateTime(now);
    Refilter(selected);
}

void ServerModel::Sort(int column, bool ascending) {
    size_t selected = kNone;
    SelectedServer(selected);
    const std::vector<int> sorted = SortedOrder(
        order_.size(), [this, column](size_t place) -> std::string_view { return CellOf(order_[place], column); },
        SortModeForColumn(column), ascending);
    std::vector<size_t> order(sorted.size());
    for (size_t place = 0; place < sorted.size(); ++place) {
        order[place] = order_[static_cast<size_t>(sorted[place])];
        servers_[order[place]].number = static_cast<std::uint32_t>(place + 1);
    }
    order_ = std::move(order);
    Refilter(selected);
}

int ServerModel::RowOfServer(size_t index) const { return index < rowOf_.size() ? rowOf_[index] : -1; }

bool ServerModel::SelectedServer(size_t& index) const {
    if (!window_ || !window_->IsOpen()) return false;
    const int row = window_->ListSelectedRow(kServerList);
    if (row < 0 || static_cast<size_t>(row) >= view_.size()) return false;
    index = view_[static_cast<size_t>(row)];
    return true;
}

void ServerModel::SelectServer(size_t index) {
    const int row = RowOfServer(index);
    if (!window_ || row < 0 || !window_->IsOpen()) return;
    window_->SetListSelectedRow(kServerList, row);
    window_->ListShowRow(kServerList, row);
}

const std::string& ServerModel::CellOf(size_t index, int column) const {
    static const std::string kEmpty;
    const Server& server = servers_[index];
    switch (column) {
    case kColumnUser: return server.entry.user;
    case kColumnPassword: return server.entry.password;
    case kColumnNumber: cell_ = std::to_string(server.number); return cell_;
    case kColumnState: return StateText(server.session);
    case kColumnIp: return server.entry.ip;
    case kColumnPort: return server.entry.port;
    case kColumnNote: return server.entry.note;
    case kColumnExpiry: return server.entry.dqsj;
    default: return kEmpty;
    }
}

const std::string& ServerModel::CellText(int row, int column) const {
    return CellOf(view_[static_cast<size_t>(row)], column);
}

std::int32_t ServerModel::RowColour(int row) const {
    return ExpiryColour(servers_[view_[static_cast<size_t>(row)]].expiryClass);
}

void ServerModel::Refilter(size_t selected) {
    view_.clear();
    rowOf_.assign(servers_.size(), -1);
    const bool everything = filter_.view == ServerView::kAll && query_.key.empty();
    for (size_t index : order_) {
        if (!everything && !MatchesFilter(servers_[index], filter_.view, query_, now_)) continue;
        rowOf_[index] = static_cast<int>(view_.size());
        view_.push_back(index);
    }
    Publish(selected);
}

void ServerModel::Publish(size_t selected) {
    if (!window_ || !window_->IsOpen()) return;  // a window not made yet shows the model when it is
    window_->ListSourceChanged(kServerList, selected == kNone ? -1 : RowOfServer(selected));
    if (window_->HasControl(kFilterCount)) {
        window_->SetText(kFilterCount,
                         "显示 " + std::to_string(view_.size()) + " / 共 " + std::to_string(servers_.size()) + " 台");
    }
}

void ServerModel::RedrawServers(const std::vector<size_t>& servers) {
    // A page of rows, more or less: beyond that, asking the list where each row is costs more than drawing
    // what is in view once.
    constexpr size_t kOneByOne = 64;
    if (servers.size() <= kOneByOne) {
        for (size_t index : servers) RedrawServer(index);
    } else if (window_ && window_->IsOpen()) {
        window_->ListSourceRedraw(kServerList);
    }
}

void ServerModel::RedrawServer(size_t index) {
    const int row = RowOfServer(index);
    if (window_ && row >= 0 && window_->IsOpen()) window_->ListSourceRowChanged(kServerList, row);
}

}  // namespace app
