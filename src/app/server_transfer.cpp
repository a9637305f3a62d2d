#include "app/server_transfer.h"

#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "jet/value.h"
#include "runtime/text_codec.h"
#include "runtime/window_placement.h"
#include "transfer/export.h"
#include "ui/forms.h"

namespace app {
namespace {

using runtime::Form;
using runtime::FormEvent;
using runtime::FormEventArgs;
using runtime::MessageIcon;

// The import dialog's controls.
constexpr char kSource[] = "标签_来源";
constexpr char kChooseFile[] = "按钮_文件";
constexpr char kChooseFolder[] = "按钮_文件夹";
constexpr char kPasted[] = "编辑框_粘贴";
constexpr char kPreviewPasted[] = "按钮_预览";
constexpr char kUpdate[] = "选择框_更新";
constexpr char kPreview[] = "列表_预览";
constexpr char kCounts[] = "标签_统计";
constexpr char kImport[] = "按钮_导入";
constexpr char kCancel[] = "按钮_取消";

// The preview: a row for each server of the plan, as the plan has it.
class PlanRows final : public runtime::ListSource {
public:
    std::shared_ptr<const transfer::ImportPlan> plan;

    int RowCount() const override { return plan ? static_cast<int>(plan->servers.size()) : 0; }
    const std::string& CellText(int row, int column) const override {
        const transfer::PlannedServer& server = plan->servers[static_cast<size_t>(row)];
        switch (column) {
        case 0: text_ = transfer::ActionText(server.action); return text_;
        case 1: return server.origin;
        case 2: return server.entry.ip;
        case 3: return server.entry.port;
        case 4: return server.entry.user;
        case 5: return server.entry.note;
        case 6: return server.entry.dqsj;
        default:
            text_ = server.reason;
            for (const std::string& remark : server.remarks) text_ += (text_.empty() ? "" : "；") + remark;
            return text_;
        }
    }
    std::int32_t RowColour(int row) const override {
        return plan->servers[static_cast<size_t>(row)].action == transfer::Action::kRefuse ? kLapsedColour
                                                                                        : runtime::kListColour;
    }

private:
    mutable std::string text_;
};

// What an open import dialog knows, shared with the work it hands to other threads: a result that comes back
// after the dialog closed finds `open` false and is dropped.
struct ImportState {
    bool open = true;
    bool busy = false;  // reading, planning or writing: the dialog's buttons wait
    transfer::ReadOptions options;
    std::optional<transfer::SourceReading> reading;  // the source last read
    std::string sourceLabel;
    std::vector<catalogue::ServerEntry> existing;  // the servers the database has, as the list had them
    PlanRows rows;
};

std::string CountsText(const transfer::ImportPlan& plan) {
    return "添加 " + std::to_string(plan.added) + "，更新 " + std::to_string(plan.updated) + "，跳过 " +
           std::to_string(plan.skipped) + "，拒绝 " + std::to_string(plan.refused);
}

// A UTF-8 path as the dialog shows it.
std::string ShownPath(const std::string& utf8) { return runtime::Utf16ToGbk(jet::fromUtf8(utf8)); }

}  // namespace

ServerTransfer::ServerTransfer(ServerModel& model, ServerCatalogue& catalogue, TransferServices services)
    : services_(std::move(services)), model_(model), catalogue_(catalogue) {}

void ServerTransfer::BeginImport(Form& mainWindow) {
    auto state = std::make_shared<ImportState>();
    state->options.unprotect = services_.unprotect;
    for (size_t i = 0; i < model_.size(); ++i) state->existing.push_back(model_.at(i).entry);
    runtime::Dialogs& dialogs = *services_.dialogs;
    auto say = [&dialogs](const std::string& text, MessageIcon icon) {
        dialogs.ShowMessage({text, "", icon, runtime::MessageButtons::Ok});
    };

    dialogs.ShowModal(ui::ImportDialogSpec(), mainWindow, [&, state, say](Form& dialog) {
        // Buttons wait while work runs; "导入" only with something to write.
        auto settle = [&dialog, state] {
            const bool idle = !state->busy;
            for (const char* button : {kChooseFile, kChooseFolder, kPreviewPasted, kUpdate}) dialog.SetEnabled(button, idle);
            const std::shared_ptr<const transfer::ImportPlan>& plan = state->rows.plan;
            dialog.SetEnabled(kImport, idle && plan && plan->added + plan->updated > 0);
        };
        // Plans the source last read against the database's servers, then shows the preview.
        auto plan = [this, &dialog, state, settle] {
            state->busy = true;
            settle();
            auto planned = std::make_shared<transfer::ImportPlan>();
            const bool update = dialog.Checked(kUpdate);
            services_.inBackground(
                [state, planned, update] {
                    try {
                        *planned = transfer::PlanImport(*state->reading, state->existing, update);
                    } catch (const std::exception&) {
                        *planned = {};  // out of memory: an empty preview, nothing to import
                    }
                },
                [&dialog, state, planned, settle] {
                    if (!state->open) return;
                    state->busy = false;
                    state->rows.plan = planned;
                    dialog.ListSourceChanged(kPreview, -1);
                    dialog.SetText(kCounts, CountsText(*planned));
                    settle();
                });
        };
        // Reads a source away from this thread; a connections file that needs a master password asks for it
        // and is read again.
        auto read = std::make_shared<std::function<void(std::function<transfer::SourceReading(const transfer::ReadOptions&)>, std::string)>>();
        *read = [this, &dialog, &dialogs, state, settle, plan, say, again = std::weak_ptr(read)](
                    std::function<transfer::SourceReading(const transfer::ReadOptions&)> reader, std::string label) {
            state->busy = true;
            settle();
            dialog.SetText(kSource, label + "（正在读取...）");
            auto reading = std::make_shared<transfer::SourceReading>();
            const transfer::ReadOptions options = state->options;
            services_.inBackground(
                [reader, reading, options] {
                    try {
                        *reading = reader(options);
                    } catch (const std::exception& e) {
                        *reading = {};
                        reading->failure = std::string("读取失败：") + e.what();
                    }
                },
                                   [&dialog, &dialogs, state, settle, plan, say, again, reader, reading, label] {
                if (!state->open) return;
                state->busy = false;
                if (reading->needsMasterPassword) {
                    std::optional<std::u16string> password;
                    dialogs.ShowModal(ui::MasterPasswordDialogSpec(), dialog, [&](Form& ask) {
                        ask.On("", FormEvent::Created, [&](const FormEventArgs&) {
                            runtime::CentreOverMainWindow(ask, dialog);
                            ask.SetText("标签_说明", reading->failure);
                            ask.SetFocus("编辑框_密码");
                        });
                        ask.On("按钮_确定", FormEvent::Click, [&](const FormEventArgs&) {
                            password = runtime::GbkToUtf16(ask.Text("编辑框_密码"));
                            ask.Close();
                        });
                        ask.On("按钮_取消", FormEvent::Click, [&](const FormEventArgs&) { ask.Close(); });
                    });
                    if (password) {
                        state->options.masterPassword = *password;
                        if (auto read = again.lock()) (*read)(reader, label);
                        return;
                    }
                }
                if (!reading->failure.empty()) {
                    dialog.SetText(kSource, label);
                    settle();
                    say(reading->failure, MessageIcon::Error);
                    return;
                }
                std::string shown = label + "：" + reading->description;
                if (!reading->encoding.empty()) shown += "，" + reading->encoding;
                dialog.SetText(kSource, shown);
                state->reading = std::move(*reading);
                plan();
            });
        };

        dialog.On("", FormEvent::Created, [&dialog, &mainWindow, state, settle](const FormEventArgs&) {
            runtime::CentreOverMainWindow(dialog, mainWindow);
            dialog.SetListSource(kPreview, &state->rows);
            settle();
        });
        dialog.On("", FormEvent::Destroying, [state](const FormEventArgs&) { state->open = false; });
        dialog.On(kChooseFile, FormEvent::Click, [this, read](const FormEventArgs&) {
            const std::string path = services_.chooseImportFile ? services_.chooseImportFile() : std::string();
            if (path.empty()) return;
            (*read)([path](const transfer::ReadOptions& options) { return transfer::ReadSource(path, options); },
                    ShownPath(path));
        });
        dialog.On(kChooseFolder, FormEvent::Click, [this, read](const FormEventArgs&) {
            const std::string path = services_.chooseImportFolder ? services_.chooseImportFolder() : std::string();
            if (path.empty()) return;
            (*read)([path](const transfer::ReadOptions& options) { return transfer::ReadSource(path, options); },
                    ShownPath(path));
        });
        dialog.On(kPreviewPasted, FormEvent::Click, [&dialog, read](const FormEventArgs&) {
            const std::string text = dialog.Text(kPasted);
            (*read)([text](const transfer::ReadOptions&) { return transfer::ReadPastedLines(text); }, "粘贴的内容");
        });
        dialog.On(kUpdate, FormEvent::Click, [state, plan](const FormEventArgs&) {
            if (state->reading && !state->busy) plan();
        });
        dialog.On(kImport, FormEvent::Click, [this, &dialog, &mainWindow, state, settle, say](const FormEventArgs&) {
            std::shared_ptr<const transfer::ImportPlan> planned = state->rows.plan;
            if (!planned || state->busy) return;
            state->busy = true;
            settle();
            auto result = std::make_shared<transfer::WriteResult>();
            const runtime::DateTimeValue now = services_.clock ? services_.clock() : transfer::LocalNow();
            services_.inBackground(
                [this, planned, result, now] {
                    std::lock_guard<std::mutex> lock(*services_.databaseLock);
                    try {
                        *result = transfer::WritePlan(*services_.database, services_.databasePath, *planned, now);
                    } catch (const std::exception& e) {
                        result->written = false;
                        result->error = e.what();
                    }
                },
                [this, &dialog, &mainWindow, state, settle, say, planned, result] {
                    state->busy = false;
                    if (!result->written) {
                        if (state->open) settle();
                        say("服务器导入失败，数据库没有改动...\n\n" + result->error, MessageIcon::Error);
                        return;
                    }
                    // The list, the filter and the reminders follow; sessions that run stay known.
                    catalogue_.RefreshServerList(mainWindow);
                    if (state->open) dialog.Close();
                    std::string text = "导入完成：添加 " + std::to_string(planned->added) + " 台，更新 " +
                                       std::to_string(planned->updated) + " 台服务器...";
                    if (!result->backupPath.empty())
                        text += "\n\n导入前的数据库已备份为：\n" + ShownPath(result->backupPath);
                    say(text, MessageIcon::Information);
                });
        });
        dialog.On(kCancel, FormEvent::Click, [&dialog](const FormEventArgs&) { dialog.Close(); });
    });
}

void ServerTransfer::BeginExport(Form& mainWindow) {
    runtime::Dialogs& dialogs = *services_.dialogs;
    dialogs.ShowModal(ui::ExportDialogSpec(), mainWindow, [this, &dialogs, &mainWindow](Form& dialog) {
        dialog.On("", FormEvent::Created, [this, &dialog, &mainWindow](const FormEventArgs&) {
            runtime::CentreOverMainWindow(dialog, mainWindow);
            dialog.SetText("单选框_全部", "全部服务器（" + std::to_string(model_.size()) + " 台）");
            dialog.SetText("单选框_显示", "列表中显示的服务器（" + std::to_string(model_.ViewRowCount()) + " 台）");
        });
        dialog.On("按钮_取消", FormEvent::Click, [&dialog](const FormEventArgs&) { dialog.Close(); });
        dialog.On("按钮_导出", FormEvent::Click, [this, &dialogs, &dialog](const FormEventArgs&) {
            const bool withPasswords = dialog.Checked("选择框_密码");
            if (withPasswords &&
                dialogs.ShowMessage({"导出的文件将以明文保存服务器的密码，任何能打开这个文件的人都能看到它们。\n\n确定要导出密码吗？",
                                     "", MessageIcon::Warning, runtime::MessageButtons::OkCancel}) !=
                    runtime::MessageAnswer::Ok)
                return;
            const std::string path = services_.chooseExportFile ? services_.chooseExportFile() : std::string();
            if (path.empty()) return;
            // All servers in table order, or those the list shows, in its order.
            std::vector<catalogue::ServerEntry> servers;
            if (dialog.Checked("单选框_显示")) {
                for (int row = 0; row < model_.ViewRowCount(); ++row) servers.push_back(model_.at(model_.ServerOfRow(row)).entry);
            } else {
                for (size_t i = 0; i < model_.size(); ++i) servers.push_back(model_.at(i).entry);
            }
            std::string error;
            if (!transfer::ExportServers(path, servers, withPasswords, error)) {
                dialogs.ShowMessage({"服务器导出失败...\n\n" + error, "", MessageIcon::Error, runtime::MessageButtons::Ok});
                return;
            }
            dialog.Close();
            dialogs.ShowMessage({"已导出 " + std::to_string(servers.size()) + " 台服务器到：\n" + ShownPath(path), "",
                                 MessageIcon::Information, runtime::MessageButtons::Ok});
        });
    });
}

}  // namespace app
