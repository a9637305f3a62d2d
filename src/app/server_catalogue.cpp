#include "app/server_catalogue.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "app/server_expiry.h"
#include "runtime/date_time.h"
#include "runtime/window_placement.h"
#include "ui/forms.h"

namespace app {
namespace {

using catalogue::ServerEntry;
using runtime::Form;
using runtime::FormEvent;
using runtime::FormEventArgs;
using runtime::MessageIcon;

// The server editor's controls.
constexpr char kAddress[] = "编辑框_地址";
constexpr char kPort[] = "编辑框_端口";
constexpr char kUser[] = "编辑框_用户名";
constexpr char kPassword[] = "编辑框_密码";
constexpr char kNote[] = "编辑框1";
constexpr char kExpiry[] = "编辑框2";
constexpr char kExpiryPicker[] = "日期框1";
constexpr char kSaveButton[] = "按钮1";
constexpr char kCancelButton[] = "按钮2";

// The items of menu "菜单" (index 2 is its separator).
constexpr int kMenuAdd = 0;
constexpr int kMenuModify = 1;
constexpr int kMenuDelete = 3;

std::string Cell(const Form& mainWindow, int row, int column) { return mainWindow.ListCell(kServerList, row, column); }

// Whether two rows show the same server. The connection state and the colour are left out: the session
// monitor and the day watch rewrite them on rows at any time, the loader's included.
bool SameServerRow(const runtime::ListRow& a, const runtime::ListRow& b) {
    if (a.value != b.value || a.cells.size() != b.cells.size()) return false;
    for (size_t column = 0; column < a.cells.size(); ++column) {
        if (column != static_cast<size_t>(kColumnState) && a.cells[column] != b.cells[column]) return false;
    }
    return true;
}

// Whether row `row` of the server list shows the server of `expected` (read cell by cell: reading the whole
// list back would cost as much as filling it).
bool ListRowIs(const Form& mainWindow, int row, const runtime::ListRow& expected) {
    for (size_t column = 0; column < expected.cells.size(); ++column) {
        if (static_cast<int>(column) == kColumnState) continue;
        if (Cell(mainWindow, row, static_cast<int>(column)) != expected.cells[column]) return false;
    }
    return mainWindow.ListRowValue(kServerList, row) == expected.value;
}

}  // namespace

std::vector<runtime::ListRow> ServerListRows(const std::vector<ServerEntry>& servers, const runtime::DateTimeValue* now) {
    std::vector<runtime::ListRow> rows;
    rows.reserve(servers.size());
    for (size_t i = 0; i < servers.size(); ++i) {
        const ServerEntry& server = servers[i];
        rows.push_back({{server.user, server.password, std::to_string(i + 1), "", server.ip, server.port, server.note,
                         server.dqsj},
                        0,
                        now ? ExpiryColour(ClassifyExpiry(server.dqsj, *now)) : runtime::kListColour});
    }
    return rows;
}

void LoadServerListAtStartup(LoaderContext& context, Form& mainWindow, size_t partRows, const Clock& clock) {
    // What the list holds before the table is read (at start-up: nothing). The first part replaces it only if
    // it is still there: a list the person refilled meanwhile (adding a server) is newer than the rows read.
    std::vector<runtime::ListRow> before;
    context.OnUiThread([&] { before = mainWindow.ListRows(kServerList); });
    std::vector<ServerEntry> servers;
    context.WithDatabase([&](catalogue::ConfigDatabase& database) {
        if (!catalogue::LoadServers(database, servers)) servers.clear();
    });
    const runtime::DateTimeValue now = clock ? clock() : runtime::DateTimeValue{};
    const std::vector<runtime::ListRow> rows = ServerListRows(servers, clock ? &now : nullptr);
    partRows = std::max<size_t>(partRows, 1);
    size_t done = 0;
    do {
        const size_t end = std::min(rows.size(), done + partRows);
        const std::vector<runtime::ListRow> part(rows.begin() + static_cast<std::ptrdiff_t>(done),
                                                 rows.begin() + static_cast<std::ptrdiff_t>(end));
        bool stillOurs = true;
        context.OnUiThread([&] {
            if (done == 0) {
                const std::vector<runtime::ListRow> held = mainWindow.ListRows(kServerList);
                stillOurs = std::equal(held.begin(), held.end(), before.begin(), before.end(), SameServerRow);
                if (stillOurs) mainWindow.SetListRows(kServerList, part);
                return;
            }
            // The list is still the loader's when it holds exactly the rows given so far, the last of them
            // unchanged; anything else means it was refilled or sorted in between.
            stillOurs = mainWindow.ListRowCount(kServerList) == static_cast<int>(done) &&
                        ListRowIs(mainWindow, static_cast<int>(done) - 1, rows[done - 1]);
            if (stillOurs) mainWindow.ListAppendRows(kServerList, part);
        });
        if (!stillOurs) return;
        done = end;
    } while (done < rows.size());
}

ServerCatalogue::ServerCatalogue(CatalogueServices services) : services_(std::move(services)) {}

void ServerCatalogue::BindMainWindow(Form& mainWindow) {
    mainWindow.On(kServerList, FormEvent::RowRightClick, [this, &mainWindow](const FormEventArgs&) {
        switch (mainWindow.ShowMenu("菜单")) {
        case kMenuAdd: BeginAddServer(mainWindow); break;
        case kMenuModify: BeginModifyServer(mainWindow); break;
        case kMenuDelete: DeleteSelectedServer(mainWindow); break;
        default: break;
        }
    });
    mainWindow.On(kServerList, FormEvent::ColumnClick,
                  [this, &mainWindow](const FormEventArgs& args) { sorter_.OnColumnClick(mainWindow, args.column); });
}

void ServerCatalogue::RefreshServerList(Form& mainWindow) {
    std::vector<ServerEntry> servers;
    {
        std::lock_guard<std::mutex> lock(*services_.databaseLock);
        if (!catalogue::LoadServers(*services_.database, servers)) servers.clear();
    }
    const runtime::DateTimeValue now = services_.clock ? services_.clock() : runtime::DateTimeValue{};
    mainWindow.SetListRows(kServerList, ServerListRows(servers, services_.clock ? &now : nullptr));
}

void ServerCatalogue::Say(const std::string& text, MessageIcon icon) {
    services_.dialogs->ShowMessage({text, "", icon, runtime::MessageButtons::Ok});
}

void ServerCatalogue::BeginAddServer(Form& mainWindow) {
    editorMode_ = kAdd;
    OpenEditor(mainWindow);
}

void ServerCatalogue::BeginModifyServer(Form& mainWindow) {
    int row = mainWindow.ListSelectedRow(kServerList);
    if (row < 0) {
        Say("请选择一组服务器进行修改...", MessageIcon::Error);
        return;
    }
    if (Cell(mainWindow, row, kColumnState) == kConnectedState) {
        Say("该组服务器已经连接,请关闭连接后再进行修改...", MessageIcon::Warning);
        return;
    }
    editorMode_ = kModify;
    OpenEditor(mainWindow);
}

void ServerCatalogue::OpenEditor(Form& mainWindow) {
    services_.dialogs->ShowModal(ui::ServerEditorWindowSpec(), mainWindow, [this, &mainWindow](Form& editor) {
        editor.On("", FormEvent::Created, [this, &editor, &mainWindow](const FormEventArgs&) {
            InitServerEditor(editor, mainWindow);
        });
        editor.On(kSaveButton, FormEvent::Click,
                  [this, &editor, &mainWindow](const FormEventArgs&) { SaveServerEntry(editor, mainWindow); });
        editor.On(kCancelButton, FormEvent::Click, [&editor](const FormEventArgs&) { editor.Close(); });
        // The chosen day keeps the picker's time of day: the current time for a new server, the stored one
        // when an expiry text was read into the picker.
        editor.On(kExpiryPicker, FormEvent::DateChosen, [&editor](const FormEventArgs&) {
            editor.SetText(kExpiry, runtime::ExpiryText(editor.DateValue(kExpiryPicker)));
        });
    });
}

void ServerCatalogue::InitServerEditor(Form& editor, Form& mainWindow) {
    runtime::CentreOverMainWindow(editor, mainWindow);
    editor.SetFocus(kAddress);
    if (editorMode_ != kModify) {
        editor.SetCaption("添加服务器");
        editor.SetText(kSaveButton, "添加");
        return;
    }
    editor.SetCaption("修改服务器");
    editor.SetText(kSaveButton, "修改");
    int row = mainWindow.ListSelectedRow(kServerList);
    if (row < 0) return;
    editor.SetText(kAddress, Cell(mainWindow, row, kColumnIp));
    editor.SetText(kPort, Cell(mainWindow, row, kColumnPort));
    editor.SetText(kUser, Cell(mainWindow, row, kColumnUser));
    editor.SetText(kPassword, Cell(mainWindow, row, kColumnPassword));
    editor.SetText(kNote, Cell(mainWindow, row, kColumnNote));
    std::string expiry = Cell(mainWindow, row, kColumnExpiry);
    editor.SetText(kExpiry, expiry);
    // An expiry text that does not read as a date leaves the picker on the current date and time.
    runtime::DateTimeValue value;
    if (runtime::DateTimeFromText(expiry, value)) editor.SetDateValue(kExpiryPicker, value);
}

void ServerCatalogue::SaveServerEntry(Form& editor, Form& mainWindow) {
    ServerEntry entry;
    entry.ip = editor.Text(kAddress);
    entry.port = editor.Text(kPort);
    entry.user = editor.Text(kUser);
    entry.password = editor.Text(kPassword);
    entry.dqsj = editor.Text(kExpiry);
    catalogue::ConfigDatabase& database = *services_.database;

    if (editorMode_ != kModify) {
        if (std::string missing = catalogue::MissingFieldMessage(entry); !missing.empty()) {
            Say(missing, MessageIcon::Error);
            return;
        }
        entry.note = catalogue::NoteForAdd(editor.Text(kNote));
        if (std::string tooLong = catalogue::ColumnLimitMessage(entry); !tooLong.empty()) {
            Say(tooLong, MessageIcon::Error);
            return;
        }
        bool saved;
        {
            std::lock_guard<std::mutex> lock(*services_.databaseLock);
            saved = catalogue::AddServer(database, entry);
        }
        if (!saved) {
            Say("服务器信息保存失败...", MessageIcon::Error);
            return;
        }
        RefreshServerList(mainWindow);
        Say("服务器已经成功添加...", MessageIcon::Information);
        editor.Close();
        return;
    }

    // Modify: the row is found by the address and port the list showed before editing. When it is no longer
    // there (or the selection is gone) the save stops without a word and the dialog stays open.
    int row = mainWindow.ListSelectedRow(kServerList);
    if (row < 0) return;
    const std::string oldIp = Cell(mainWindow, row, kColumnIp);
    const std::string oldPort = Cell(mainWindow, row, kColumnPort);
    // The lock is never held while a message box shows: the box's message loop may run a handler (the close
    // question) that takes the same lock.
    bool found = false, saved = false;
    std::string refused;
    {
        std::lock_guard<std::mutex> lock(*services_.databaseLock);
        found = catalogue::FindServer(database, oldIp, oldPort);
        if (found) refused = catalogue::MissingFieldMessage(entry);
        if (found && refused.empty()) {
            entry.note = catalogue::NoteForModify(editor.Text(kNote));
            refused = catalogue::ColumnLimitMessage(entry);
            if (refused.empty()) saved = catalogue::SaveFoundServer(database, entry);
        }
    }
    if (!found) return;
    if (!refused.empty()) {
        Say(refused, MessageIcon::Error);
        return;
    }
    if (!saved) {
        Say("服务器信息保存失败...", MessageIcon::Error);
        return;
    }
    RefreshServerList(mainWindow);
    Say("修改服务器成功...", MessageIcon::Information);
    editor.Close();
}

void ServerCatalogue::DeleteSelectedServer(Form& mainWindow) {
    int row = mainWindow.ListSelectedRow(kServerList);
    if (row < 0) {
        Say("请选择一组服务器进行删除...", MessageIcon::Error);
        return;
    }
    if (Cell(mainWindow, row, kColumnState) == kConnectedState) {
        Say("该组服务器已经连接,请关闭连接后再进行删除服务器...", MessageIcon::Warning);
        return;
    }
    if (services_.deleteFile) services_.deleteFile(catalogue::ConnectionFilePath(Cell(mainWindow, row, kColumnNote)));
    bool deleted;
    {
        std::lock_guard<std::mutex> lock(*services_.databaseLock);
        deleted = catalogue::DeleteServers(*services_.database, Cell(mainWindow, row, kColumnIp),
                                           Cell(mainWindow, row, kColumnPort));
    }
    if (!deleted) return;  // the list stays as it is
    RefreshServerList(mainWindow);
    Say("成功删除一组服务器信息...", MessageIcon::Information);
}

}  // namespace app
