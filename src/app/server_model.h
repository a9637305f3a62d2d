// The program's servers: every row of table Server with what the program knows about it besides (whether its
// session runs, how its expiry date stands), and the view of them that the main window's server list shows —
// the servers the filter lets through, in the order of the last header sort.
//
// The list is an owner-data view of the model (runtime::ListSource): it asks for the texts of the rows it
// draws and never holds a copy. Everything here runs on the user-interface thread; the start-up loader and
// the session monitor hand their results there.
//
// A server is found again by its place in the model (an index, valid until the next Reset) or by what the
// database knows it by, its address and port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/server_expiry.h"
#include "app/server_list.h"
#include "app/server_list_sort.h"
#include "catalogue/server_records.h"
#include "runtime/form_runtime.h"
#include "runtime/pinyin.h"
#include "session/connection_file.h"
#include "session/session_monitor.h"

namespace app {

enum class SessionState { kUnknown, kConnected, kNotConnected };  // "", "已连接", "-----"

// What the filter strip chooses: the servers shown by date or session, before the typed text narrows them.
enum class ServerView { kAll = 0, kConnected = 1, kLapsed = 2, kDueIn7Days = 3, kDueIn30Days = 4 };

struct ServerFilter {
    std::string text;  // GBK as typed; matched as FilterKey(text)
    ServerView view = ServerView::kAll;
};

// The typed filter text as it is matched: control characters left out, ASCII letters in lower case, cut to
// 256 bytes without splitting a character (no server field is longer).
std::string FilterKey(const std::string& typed);

// The typed text made ready to be matched against every server: once per keystroke.
struct FilterQuery {
    std::string key;  // FilterKey
    runtime::PinyinQuery pinyin;
};
FilterQuery MakeFilterQuery(const std::string& typed);

struct Server {
    catalogue::ServerEntry entry;
    // Worked out from the entry when the server is made (MakeServer): never changed apart from it.
    double expiry = 0;          // the expiry text as an OLE date (ExpiryDate), NaN when there is none
    std::string search;         // address, port, user and note in lower case, one after another
    runtime::PinyinKey pinyin;  // of the note
    session::ConnectionName connection;  // the connection file and the session window's title
    // Kept by the model.
    SessionState session = SessionState::kUnknown;
    ExpiryClass expiryClass = ExpiryClass::kNone;
    std::uint32_t number = 0;  // 序号: the place in the list's full order, from 1
};

// A server with its worked-out parts. `nameLimit`: the most characters a connection file's name may have.
Server MakeServer(catalogue::ServerEntry entry, size_t nameLimit);

// Whether `server` shows under the view and the typed text at `now` (an OLE date): the view's condition, and
// the text found in the address, port, user or note (a whole character at a time, ASCII letters in either
// case), or in the note by its pinyin initials (runtime/pinyin.h).
bool MatchesFilter(const Server& server, ServerView view, const FilterQuery& query, double now);

class ServerModel final : public runtime::ListSource, public session::MonitoredServers {
public:
    explicit ServerModel(size_t nameLimit = session::kDefaultNameLimit) : nameLimit_(nameLimit) {}

    // The list that shows the view (the main window's server list). Until one is bound, changes are only
    // kept here.
    void BindList(runtime::Form& window);

    // --- Every server -------------------------------------------------------------------------------------
    // All servers anew, in table order, with their expiry classes at `now`: the list in table order, numbered
    // from 1, the filter kept. A server that stays (same address, port and note) keeps its session state.
    void Reset(std::vector<catalogue::ServerEntry> entries, const runtime::DateTimeValue& now);
    // The same with servers already made (on the loader's thread, say).
    void Adopt(std::vector<Server> servers, const runtime::DateTimeValue& now);
    // One server changed in place (a renewal): the first server that is `old` becomes `updated`, keeping its
    // place in the list, its session state and the selection. False when no server is `old` any more.
    bool Replace(const catalogue::ServerEntry& old, catalogue::ServerEntry updated, const runtime::DateTimeValue& now);
    size_t size() const { return servers_.size(); }
    const Server& at(size_t index) const { return servers_[index]; }
    size_t NameLimit() const { return nameLimit_; }

    // session::MonitoredServers: what the session monitor looks at and finds. Rows whose state changed are
    // drawn again, and the view follows when it shows the connected servers.
    std::uint64_t Version() const override { return version_; }
    size_t Count() const override { return servers_.size(); }
    const session::ConnectionName& SessionOf(size_t server) const override { return servers_[server].connection; }
    bool SessionConnected(size_t server) const override {
        return servers_[server].session == SessionState::kConnected;
    }
    bool NothingConnected() const override { return connected_ == 0 && unknown_ == 0; }
    std::vector<size_t> SetSessionsFound(const std::vector<char>& found) override;

    // Expiry classes at `now` (the day turned); rows whose class changed are drawn again. The counts of all
    // servers, shown or not.
    ExpiryCounts Reclassify(const runtime::DateTimeValue& now);
    ExpiryCounts Counts() const;

    // --- The view ---------------------------------------------------------------------------------------------
    const ServerFilter& Filter() const { return filter_; }
    // Shows what `filter` lets through, keeping the selected server selected when it still shows.
    void SetFilter(const ServerFilter& filter, const runtime::DateTimeValue& now);
    // Sorts every server by `column` (SortedOrder's rule over the full list), renumbers them, and keeps the
    // selected server selected and in view.
    void Sort(int column, bool ascending);
    // The view's rows and the server each shows.
    int ViewRowCount() const { return static_cast<int>(view_.size()); }
    size_t ServerOfRow(int row) const { return view_[static_cast<size_t>(row)]; }
    // The row showing server `index`, -1 when the filter hides it.
    int RowOfServer(size_t index) const;
    // The server of the list's selected row; false when none is selected.
    bool SelectedServer(size_t& index) const;
    // Selects server `index`'s row and brings it into view (nothing when it is hidden).
    void SelectServer(size_t index);

    // runtime::ListSource
    int RowCount() const override { return ViewRowCount(); }
    const std::string& CellText(int row, int column) const override;
    std::int32_t RowColour(int row) const override;

private:
    // The view anew from order_ and the filter; the list redrawn with `selected` (a server, or npos) selected.
    void Refilter(size_t selected);
    void Publish(size_t selected);
    void RedrawServer(size_t index);
    const std::string& CellOf(size_t index, int column) const;
    // Redraws the rows of these servers that are shown: one by one when they are few, the whole view at once
    // when they are many (a pass that finds every server's state at start-up).
    void RedrawServers(const std::vector<size_t>& servers);

    size_t nameLimit_;
    runtime::Form* window_ = nullptr;
    std::vector<Server> servers_;  // table order
    std::vector<size_t> order_;    // every server in list order (the last sort)
    std::vector<size_t> view_;     // the servers of order_ the filter lets through
    std::vector<int> rowOf_;       // per server: its row in view_, -1 when hidden
    ServerFilter filter_;
    FilterQuery query_;
    double now_ = 0;  // OLE date of the last classification, for the filter's date views
    std::uint64_t version_ = 0;
    size_t connected_ = 0;  // servers whose session runs
    size_t unknown_ = 0;    // servers the monitor has not looked at yet
    mutable std::string cell_;  // a cell's text made for the list (the number)
};

}  // namespace app
