#include "app/server_catalogue.h"

#include <cmath>
#include <memory>
#include <optional>
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

// The items of menu "菜单" (2, 4 and 6 are separators).
constexpr int kMenuAdd = 0;
constexpr int kMenuModify = 1;
constexpr int kMenuDelete = 3;
constexpr int kMenuRenew = 5;
constexpr int kMenuImport = 7;
constexpr int kMenuExport = 8;

// The renewal dialog's controls.
constexpr char kRenewCurrent[] = "标签_当前";
constexpr char kRenewNew[] = "标签_新";
constexpr char kRenewPicker[] = "日期框1";
constexpr char kRenewSave[] = "按钮_确定";
constexpr char kRenewCancel[] = "按钮_取消";

// The editor's fields with their names in messages, in the order they are checked.
struct Field {
    const char* control;
    std::string ServerEntry::*value;
    const char* name;
};
constexpr Field kFields[] = {
    {kAddress, &ServerEntry::ip, "服务器IP"},     {kPort, &ServerEntry::port, "服务器端口"},
    {kUser, &ServerEntry::user, "服务器用户名"},  {kPassword, &ServerEntry::password, "服务器密码"},
    {kNote, &ServerEntry::note, "备注"},          {kExpiry, &ServerEntry::dqsj, "到期时间"},
};

// The refusal of a field whose typed text GBK cannot hold exactly ("" when every field fits): stored, it
// would come back with look-alikes or '?', and a password so changed never logs in.
std::string NotGbkMessage(const Form& editor) {
    for (const Field& field : kFields) {
        if (!editor.TextFitsGbk(field.control)) {
            return std::string(field.name) + "中有无法保存的字符(请只用中文、英文字母、数字和常用符号)...";
        }
    }
    return "";
}

// The refusal of an expiry text that the colours and the reminder could not read ("" when it reads or is
// empty).
std::string ExpiryMessage(const std::string& expiry) {
    runtime::DateTimeValue value;
    if (expiry.empty() || runtime::ExpiryFromText(expiry, value)) return "";
    return "到期时间无法识别，请写成 2025/7/3 或 2025/7/3 14:05:09 的形式(也可用日期框选择)...";
}

}  // namespace

void LoadServerListAtStartup(LoaderContext& context, ServerModel& model, const Clock& clock) {
    // The model as it is before the table is read (at start-up: empty). A model the person refilled meanwhile
    // (adding a server) is newer than the rows read, and stays.
    std::uint64_t before = 0;
    size_t nameLimit = 0;
    context.OnUiThread([&] {
        before = model.Version();
        nameLimit = model.NameLimit();
    });
    std::vector<ServerEntry> entries;
    context.WithDatabase([&](catalogue::ConfigDatabase& database) {
        if (!catalogue::LoadServers(database, entries)) entries.clear();
    });
    std::vector<Server> servers;
    servers.reserve(entries.size());
    for (ServerEntry& entry : entries) servers.push_back(MakeServer(std::move(entry), nameLimit));
    const runtime::DateTimeValue now = clock ? clock() : runtime::DateTimeValue{};
    context.OnUiThread([&] {
        if (model.Version() == before) model.Adopt(std::move(servers), now);
    });
}

void BindConnect(Form& mainWindow, ServerModel& model, session::Connector& connector,
                 const profile::ProfileState& profile) {
    auto connect = [&mainWindow, &model, &connector, &profile](const FormEventArgs&) {
        size_t index = 0;
        if (!profile.loaded || !model.SelectedServer(index)) return;
        const Server& server = model.at(index);
        const ServerEntry& entry = server.entry;
        session::ConnectRequest request{{entry.user, entry.password, entry.ip, entry.port, entry.note},
                                        server.connection,
                                        server.session == SessionState::kConnected};
        connector.Connect(mainWindow, request);
        session::Wipe(request.server.password);
    };
    mainWindow.On(session::kConnectButton, FormEvent::Click, connect);
    mainWindow.On(kServerList, FormEvent::DoubleClick, connect);
}

ServerCatalogue::ServerCatalogue(ServerModel& model, CatalogueServices services)
    : model_(model), services_(std::move(services)) {}

runtime::DateTimeValue ServerCatalogue::Now() const {
    return services_.clock ? services_.clock() : runtime::DateTimeValue{};
}

void ServerCatalogue::BindMainWindow(Form& mainWindow) {
    model_.BindList(mainWindow);
    mainWindow.On(kServerList, FormEvent::RowRightClick, [this, &mainWindow](const FormEventArgs&) {
        // Renewal needs a server whose expiry reads as a date.
        size_t server = 0;
        const bool renewable = model_.SelectedServer(server) && !std::isnan(model_.at(server).expiry);
        switch (mainWindow.ShowMenu("菜单", renewable ? std::vector<int>{} : std::vector<int>{kMenuRenew})) {
        case kMenuAdd: BeginAddServer(mainWindow); break;
        case kMenuModify: BeginModifyServer(mainWindow); break;
        case kMenuDelete: DeleteSelectedServer(mainWindow); break;
        case kMenuRenew: BeginRenewal(mainWindow); break;
        case kMenuImport:
            if (services_.importServers) services_.importServers(mainWindow);
            break;
        case kMenuExport:
            if (services_.exportServers) services_.exportServers(mainWindow);
            break;
        default: break;
        }
    });
    mainWindow.On(kServerList, FormEvent::ColumnClick,
                  [this](const FormEventArgs& args) { model_.Sort(args.column, sorter_.Turn()); });
    mainWindow.On(kFilterText, FormEvent::TextChanged, [this, &mainWindow](const FormEventArgs&) { ApplyFilter(mainWindow); });
    mainWindow.On(kFilterText, FormEvent::EscapePressed, [this, &mainWindow](const FormEventArgs&) {
        mainWindow.SetText(kFilterText, "");
        ApplyFilter(mainWindow);
    });
    mainWindow.On(kFilterView, FormEvent::SelectionChanged,
                  [this, &mainWindow](const FormEventArgs&) { ApplyFilter(mainWindow); });
}

void ServerCatalogue::ApplyFilter(Form& mainWindow) {
    const int view = mainWindow.Selection(kFilterView);
    model_.SetFilter({mainWindow.Text(kFilterText), static_cast<ServerView>(view < 0 ? 0 : view)}, Now());
}

void ServerCatalogue::RefreshServerList(Form&) {
    const std::uint64_t refill = ++refills_;
    auto servers = std::make_shared<std::vector<Server>>();
    const size_t nameLimit = model_.NameLimit();
    auto read = [this, servers, nameLimit] {
        std::vector<ServerEntry> entries;
        {
            std::lock_guard<std::mutex> lock(*services_.databaseLock);
            if (!catalogue::LoadServers(*services_.database, entries)) entries.clear();
        }
        servers->reserve(entries.size());
        for (ServerEntry& entry : entries) servers->push_back(MakeServer(std::move(entry), nameLimit));
    };
    auto take = [this, servers, refill] {
        if (refill == refills_) model_.Adopt(std::move(*servers), Now());
    };
    if (services_.inBackground) {
        services_.inBackground(read, take);
    } else {
        read();
        take();
    }
}

void ServerCatalogue::Say(const std::string& text, MessageIcon icon) {
    services_.dialogs->ShowMessage({text, "", icon, runtime::MessageButtons::Ok});
}

bool ServerCatalogue::SelectedChangeable(size_t& server, const char* noSelection, const char* connected,
                                         const char* busy) {
    if (!model_.SelectedServer(server)) {
        Say(noSelection, MessageIcon::Error);
        return false;
    }
    if (model_.at(server).session == SessionState::kConnected) {
        Say(connected, MessageIcon::Warning);
        return false;
    }
    // A client the program started for it may still read or use its file (a log-on prompt before the
    // session window gets its title): a changed note or a deleted server would leave that file behind.
    if (services_.clientUsesFile && services_.clientUsesFile(model_.at(server).connection.file)) {
        Say(busy, MessageIcon::Warning);
        return false;
    }
    return true;
}

void ServerCatalogue::BeginAddServer(Form& mainWindow) {
    editorMode_ = kAdd;
    OpenEditor(mainWindow, nullptr);
}

void ServerCatalogue::BeginModifyServer(Form& mainWindow) {
    size_t server = 0;
    if (!SelectedChangeable(server, "请选择一组服务器进行修改...", "该组服务器已经连接,请关闭连接后再进行修改...",
                            "该组服务器正在连接,请关闭远程桌面客户端后再进行修改..."))
        return;
    editorMode_ = kModify;
    // The editor works on the server as it is now, whatever the list shows by the time it saves.
    const ServerEntry opened = model_.at(server).entry;
    OpenEditor(mainWindow, &opened);
}

void ServerCatalogue::OpenEditor(Form& mainWindow, const ServerEntry* opened) {
    services_.dialogs->ShowModal(ui::ServerEditorWindowSpec(), mainWindow, [this, &mainWindow, opened](Form& editor) {
        editor.On("", FormEvent::Created, [this, &editor, &mainWindow, opened](const FormEventArgs&) {
            InitServerEditor(editor, mainWindow, opened);
        });
        editor.On(kSaveButton, FormEvent::Click, [this, &editor, &mainWindow, opened](const FormEventArgs&) {
            SaveServerEntry(editor, mainWindow, opened);
        });
        editor.On(kCancelButton, FormEvent::Click, [&editor](const FormEventArgs&) { editor.Close(); });
        // The chosen day keeps the picker's time of day: the current time for a new server, the stored one
        // when an expiry text was read into the picker.
        editor.On(kExpiryPicker, FormEvent::DateChosen, [&editor](const FormEventArgs&) {
            editor.SetText(kExpiry, runtime::ExpiryText(editor.DateValue(kExpiryPicker)));
        });
    });
}

void ServerCatalogue::InitServerEditor(Form& editor, Form& mainWindow, const ServerEntry* opened) {
    runtime::CentreOverMainWindow(editor, mainWindow);
    editor.SetFocus(kAddress);
    if (!opened) {
        editor.SetCaption("添加服务器");
        editor.SetText(kSaveButton, "添加");
        return;
    }
    editor.SetCaption("修改服务器");
    editor.SetText(kSaveButton, "修改");
    for (const Field& field : kFields) editor.SetText(field.control, (*opened).*field.value);
    // An expiry text that does not read as a date leaves the picker on the current date and time.
    runtime::DateTimeValue value;
    if (runtime::DateTimeFromText(opened->dqsj, value)) editor.SetDateValue(kExpiryPicker, value);
}

void ServerCatalogue::SaveServerEntry(Form& editor, Form& mainWindow, const ServerEntry* opened) {
    ServerEntry entry;
    for (const Field& field : kFields) entry.*field.value = editor.Text(field.control);
    catalogue::ConfigDatabase& database = *services_.database;
    // The checks every save makes, in order: a required field empty, a character GBK cannot hold, a field
    // longer than its column, an expiry that does not read.
    auto refusal = [&] {
        std::string message = catalogue::MissingFieldMessage(entry);
        if (message.empty()) message = NotGbkMessage(editor);
        if (message.empty()) message = catalogue::ColumnLimitMessage(entry);
        if (message.empty()) message = ExpiryMessage(entry.dqsj);
        return message;
    };

    if (!opened) {
        entry.note = catalogue::NoteForAdd(editor.Text(kNote));
        if (std::string refused = refusal(); !refused.empty()) {
            Say(refused, MessageIcon::Error);
            return;
        }
        bool saved;
        {
            std::lock_guard<std::mutex> lock(*services_.databaseLock);
            saved = catalogue::AddServer(database, entry);
        }
        if (!saved) {
            Say("服务器信息保存失败...\n\n" + database.LastError(), MessageIcon::Error);
            return;
        }
        RefreshServerList(mainWindow);
        Say("服务器已经成功添加...", MessageIcon::Information);
        editor.Close();
        return;
    }

    // Modify: the row is found by the address and port the server had when the editor opened. When it is no
    // longer there the save stops without a word and the dialog stays open. The lock is never held while a
    // message box shows: the box's message loop may run a handler (the close question) that takes it.
    entry.note = catalogue::NoteForModify(editor.Text(kNote));
    bool found = false, saved = false;
    std::string refused;
    {
        std::lock_guard<std::mutex> lock(*services_.databaseLock);
        found = catalogue::FindServer(database, opened->ip, opened->port);
        if (found) refused = refusal();
        if (found && refused.empty()) saved = catalogue::SaveFoundServer(database, entry);
    }
    if (!found) return;
    if (!refused.empty()) {
        Say(refused, MessageIcon::Error);
        return;
    }
    if (!saved) {
        Say("服务器信息保存失败...\n\n" + database.LastError(), MessageIcon::Error);
        return;
    }
    // A connection file named after the old note (or address) would never be found again: it goes now.
    const std::string oldFile = session::ConnectionNameOf(opened->note, opened->ip, opened->port, model_.NameLimit()).file;
    if (oldFile != session::ConnectionNameOf(entry.note, entry.ip, entry.port, model_.NameLimit()).file &&
        services_.deleteFile)
        services_.deleteFile(oldFile);
    RefreshServerList(mainWindow);
    Say("修改服务器成功...", MessageIcon::Information);
    editor.Close();
}

void ServerCatalogue::DeleteSelectedServer(Form& mainWindow) {
    size_t server = 0;
    if (!SelectedChangeable(server, "请选择一组服务器进行删除...", "该组服务器已经连接,请关闭连接后再进行删除服务器...",
                            "该组服务器正在连接,请关闭远程桌面客户端后再进行删除服务器..."))
        return;
    const Server& chosen = model_.at(server);
    const std::string ip = chosen.entry.ip, port = chosen.entry.port;
    if (services_.deleteFile) services_.deleteFile(chosen.connection.file);
    bool deleted;
    {
        std::lock_guard<std::mutex> lock(*services_.databaseLock);
        deleted = catalogue::DeleteServers(*services_.database, ip, port);
    }
    if (!deleted) return;  // the list stays as it is
    RefreshServerList(mainWindow);
    Say("成功删除一组服务器信息...", MessageIcon::Information);
}

void ServerCatalogue::BeginRenewal(Form& mainWindow) {
    size_t server = 0;
    if (!model_.SelectedServer(server)) return;
    const ServerEntry opened = model_.at(server).entry;
    runtime::DateTimeValue base;
    if (!RenewalBase(opened.dqsj, Now(), base)) return;
    services_.dialogs->ShowModal(ui::RenewalDialogSpec(), mainWindow, [&](Form& dialog) {
        // The date "确定" saves: none until a length or a day is chosen.
        auto renewed = std::make_shared<std::optional<runtime::DateTimeValue>>();
        auto choose = [&dialog, &opened, renewed](const runtime::DateTimeValue& date) {
            *renewed = date;
            dialog.SetText(kRenewNew, RenewedExpiryText(opened.dqsj, date));
            dialog.SetEnabled(kRenewSave, true);
        };
        dialog.On("", FormEvent::Created, [&dialog, &mainWindow, &opened, base](const FormEventArgs&) {
            runtime::CentreOverMainWindow(dialog, mainWindow);
            dialog.SetText(kRenewCurrent, opened.dqsj);
            dialog.SetEnabled(kRenewSave, false);
            dialog.SetDateValue(kRenewPicker, base);
        });
        for (const auto& [button, months] : {std::pair{"按钮_1个月", 1}, {"按钮_3个月", 3}, {"按钮_1年", 12}}) {
            dialog.On(button, FormEvent::Click,
                      [choose, base, months = months](const FormEventArgs&) { choose(AddMonths(base, months)); });
        }
        dialog.On(kRenewPicker, FormEvent::DateChosen, [choose, base](const FormEventArgs& args) {
            runtime::DateTimeValue date = base;  // the chosen day at the expiry's time of day
            date.year = args.year;
            date.month = args.month;
            date.day = args.day;
            choose(date);
        });
        dialog.On(kRenewCancel, FormEvent::Click, [&dialog](const FormEventArgs&) { dialog.Close(); });
        dialog.On(kRenewSave, FormEvent::Click, [this, &dialog, &mainWindow, &opened, renewed](const FormEventArgs&) {
            if (!renewed->has_value()) return;
            ServerEntry entry = opened;
            entry.dqsj = RenewedExpiryText(opened.dqsj, **renewed);
            bool found = false, saved = false;
            std::string refused = catalogue::ColumnLimitMessage(entry);
            if (refused.empty()) {
                std::lock_guard<std::mutex> lock(*services_.databaseLock);
                found = catalogue::FindServer(*services_.database, opened.ip, opened.port);
                saved = found && catalogue::SaveFoundServer(*services_.database, entry);
            }
            if (!refused.empty() || !saved) {
                Say(!refused.empty() ? refused
                    : found          ? "服务器信息保存失败...\n\n" + services_.database->LastError()
                                     : std::string("该组服务器已不存在，未能续费..."),
                    MessageIcon::Error);
                return;
            }
            dialog.Close();
            model_.Replace(opened, entry, Now());
        });
    });
}

void ServerCatalogue::ShowDueServers(Form& mainWindow) {
    mainWindow.SetText(kFilterText, "");
    mainWindow.SetSelection(kFilterView, static_cast<int>(ServerView::kDueIn30Days));
    ApplyFilter(mainWindow);
    sorter_.Sorted(true);  // the next header click reverses it
    model_.Sort(kColumnExpiry, true);
    if (model_.ViewRowCount() > 0) model_.SelectServer(model_.ServerOfRow(0));
}

}  // namespace app
