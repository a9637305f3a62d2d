// The server catalogue as the person works with it: the server list of MainWindow, its right-click menu
// ("添加服务器", "修改服务器", "删除服务器"), the server editor in its two modes, and the header-click sort.
// Every handler runs on the user-interface thread; the database is used only while holding its lock.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/server_list.h"
#include "app/server_list_sort.h"
#include "app/startup_loader.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "runtime/form_runtime.h"

namespace app {

// The list rows of `servers` in their order: sequence numbers 1 .. n, empty state cells, item value 0, and,
// when `now` is given, each row in the colour of its expiry class (server_expiry.h).
std::vector<runtime::ListRow> ServerListRows(const std::vector<catalogue::ServerEntry>& servers,
                                             const runtime::DateTimeValue* now = nullptr);

// The local date and time (the program's clock; tests give their own).
using Clock = std::function<runtime::DateTimeValue()>;

// What the catalogue's handlers use besides the windows.
struct CatalogueServices {
    catalogue::ConfigDatabase* database = nullptr;
    std::mutex* databaseLock = nullptr;
    runtime::Dialogs* dialogs = nullptr;
    // Removes a file (a connection file of a deleted server); a missing file is not an error.
    std::function<void(const std::string& path)> deleteFile;
    // When given, rows are set in the colours of their expiry.
    Clock clock;
};

// How many rows the start-up loader hands the user-interface thread at a time. A part of 2,000 rows keeps
// the window busy for well under a tenth of a second under Wine; smaller parts would freeze it for less but
// cost more in all, since each part also costs the list view a fixed time (it redoes its scroll bar).
inline constexpr size_t kServerListLoadRows = 2000;

// The start-up loader's RefreshServerList: notes what the list holds, reads table Server on the loader's
// thread (holding the database lock), then fills the list on the user-interface thread, `partRows` rows at a
// time (the first part replacing what the list held), so that the window keeps answering while a long list
// goes in. Should the list change after it was noted or between two parts (the person added a server, which
// refills it, or sorted it), the loader leaves it as it is and stops.
void LoadServerListAtStartup(LoaderContext& context, runtime::Form& mainWindow,
                             size_t partRows = kServerListLoadRows, const Clock& clock = nullptr);

class ServerCatalogue {
public:
    enum EditorMode { kAdd = 1, kModify = 2 };

    explicit ServerCatalogue(CatalogueServices services);

    // Binds MainWindow's list events: right-click on a row shows menu "菜单" and runs the chosen item,
    // a header click sorts.
    void BindMainWindow(runtime::Form& mainWindow);

    // Refills the server list from table Server, in table order. A database that cannot be read leaves the
    // list empty.
    void RefreshServerList(runtime::Form& mainWindow);

    // The menu items.
    void BeginAddServer(runtime::Form& mainWindow);
    void BeginModifyServer(runtime::Form& mainWindow);
    void DeleteSelectedServer(runtime::Form& mainWindow);

    // The mode the editor was last opened in (kAdd or kModify; 0 before the first time).
    int ServerEditorMode() const { return editorMode_; }
    const ServerListSorter& Sorter() const { return sorter_; }

private:
    void OpenEditor(runtime::Form& mainWindow);
    void InitServerEditor(runtime::Form& editor, runtime::Form& mainWindow);
    void SaveServerEntry(runtime::Form& editor, runtime::Form& mainWindow);
    // Shows a message box with the default title and an OK button.
    void Say(const std::string& text, runtime::MessageIcon icon);

    CatalogueServices services_;
    int editorMode_ = 0;
    ServerListSorter sorter_;
};

}  // namespace app
