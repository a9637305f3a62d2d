// The server catalogue as the person works with it: the server list of MainWindow (a view of the server
// model), its right-click menu ("添加服务器", "修改服务器", "删除服务器", "续费..."), the server editor in its
// two modes, the renewal dialog, the header-click sort and the filter strip under the list.
//
// Every handler runs on the user-interface thread; the database is used only while holding its lock, and the
// lock is never held while a window or message box shows.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/server_list.h"
#include "app/server_list_sort.h"
#include "app/server_model.h"
#include "app/startup_loader.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "profile/profile_state.h"
#include "runtime/form_runtime.h"
#include "session/connect.h"

namespace app {

// The local date and time (the program's clock; tests give their own).
using Clock = std::function<runtime::DateTimeValue()>;

// What the catalogue's handlers use besides the windows.
struct CatalogueServices {
    catalogue::ConfigDatabase* database = nullptr;
    std::mutex* databaseLock = nullptr;
    runtime::Dialogs* dialogs = nullptr;
    // Removes a connection file (relative to the connection folder); a missing file is not an error.
    std::function<void(const std::string& file)> deleteFile;
    // Whether a client the program started still needs this connection file (session::SessionMonitor).
    std::function<bool(const std::string& file)> clientUsesFile;
    Clock clock;
    // The menu's "导入服务器..." and "导出服务器..." (server_transfer.h).
    std::function<void(runtime::Form& mainWindow)> importServers, exportServers;
    // Runs `work` away from the user-interface thread, then `done` on it; when not given (tests), both at once.
    std::function<void(std::function<void()> work, std::function<void()> done)> inBackground;
};

// The start-up loader's RefreshServerList: reads table Server on the loader's thread (holding the database
// lock) and makes the servers there, then hands them to the model on the user-interface thread in one turn.
// Should the model change after the loader began (the person added a server, which refills it), the newer
// servers stay.
void LoadServerListAtStartup(LoaderContext& context, ServerModel& model, const Clock& clock);

// Binds "连接服务器(N)" and the list's double-click: the selected server's connect request (nothing when no
// server is selected, or before the profile has been loaded).
void BindConnect(runtime::Form& mainWindow, ServerModel& model, session::Connector& connector,
                 const profile::ProfileState& profile);

class ServerCatalogue {
public:
    enum EditorMode { kAdd = 1, kModify = 2 };

    ServerCatalogue(ServerModel& model, CatalogueServices services);

    // Binds MainWindow's list events (right-click menu, header sort) and the filter strip, and makes the list
    // show the model.
    void BindMainWindow(runtime::Form& mainWindow);

    // Refills the model from table Server, in table order. A database that cannot be read leaves it empty.
    // The table is read and the servers made away from the user-interface thread (a long list would freeze
    // the window); the model takes them when they are ready, unless a later refill has begun meanwhile.
    void RefreshServerList(runtime::Form& mainWindow);

    // The menu items.
    void BeginAddServer(runtime::Form& mainWindow);
    void BeginModifyServer(runtime::Form& mainWindow);
    void DeleteSelectedServer(runtime::Form& mainWindow);
    void BeginRenewal(runtime::Form& mainWindow);

    // The expiry reminder was clicked: the servers due within 30 days (lapsed ones included), sorted by expiry
    // date, the first selected.
    void ShowDueServers(runtime::Form& mainWindow);

    // The mode the editor was last opened in (kAdd or kModify; 0 before the first time).
    int ServerEditorMode() const { return editorMode_; }
    const ServerListSorter& Sorter() const { return sorter_; }

private:
    void OpenEditor(runtime::Form& mainWindow, const catalogue::ServerEntry* opened);
    void InitServerEditor(runtime::Form& editor, runtime::Form& mainWindow, const catalogue::ServerEntry* opened);
    void SaveServerEntry(runtime::Form& editor, runtime::Form& mainWindow, const catalogue::ServerEntry* opened);
    // The selected server when it may be changed: false after saying why not (none selected, connected, a
    // client the program started still uses its file).
    bool SelectedChangeable(size_t& server, const char* noSelection, const char* connected, const char* busy);
    void ApplyFilter(runtime::Form& mainWindow);
    runtime::DateTimeValue Now() const;
    // Shows a message box with the default title and an OK button.
    void Say(const std::string& text, runtime::MessageIcon icon);

    ServerModel& model_;
    CatalogueServices services_;
    int editorMode_ = 0;
    ServerListSorter sorter_;
    std::uint64_t refills_ = 0;  // RefreshServerList calls so far: only the latest one's servers are taken
};

}  // namespace app
