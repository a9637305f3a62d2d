// Import and export from the server list's menu, against the in-memory windows and a real config.MDB: lines
// pasted into the import dialog, their preview, the import in one change with its backup, the list following;
// then the export with passwords after the warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "app/server_model.h"
#include "app/server_transfer.h"
#include "catalogue/config_database.h"
#include "jet/test_files.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

namespace fs = std::filesystem;
using runtime::ModelForm;

TEST(ServerTransferTest, PastedLinesArePreviewedImportedAndExportedBack) {
    testfiles::TempDir folder;
    const std::string path = folder.file("config.MDB"), csv = folder.file("out.csv");
    ASSERT_TRUE(catalogue::EnsureConfigDatabaseFile(path));
    catalogue::ConfigDatabase database;
    ASSERT_TRUE(database.Open(path));
    ASSERT_TRUE(catalogue::AddServer(database, {"10.0.0.5", "3389", "u", "p", "已有", ""}));
    std::mutex lock;
    runtime::ModelDialogs dialogs;
    app::ServerModel model;
    app::ServerTransfer* transfer = nullptr;
    app::ServerCatalogue catalogue(model, {.database = &database, .databaseLock = &lock, .dialogs = &dialogs,
                                           .importServers = [&](runtime::Form& w) { transfer->BeginImport(w); },
                                           .exportServers = [&](runtime::Form& w) { transfer->BeginExport(w); }});
    app::ServerTransfer transferring(model, catalogue,
                                     {.database = &database, .databaseLock = &lock, .dialogs = &dialogs,
                                      .databasePath = path, .chooseExportFile = [&] { return csv; },
                                      .inBackground = [](std::function<void()> work, std::function<void()> done) {
                                          work();
                                          done();
                                      },
                                      .clock = [] { return runtime::DateTimeValue{2026, 12, 8, 10, 0, 0}; }});
    transfer = &transferring;
    ModelForm main(ui::MainWindowSpec());
    main.Open();
    catalogue.BindMainWindow(main);
    catalogue.RefreshServerList(main);

    dialogs.Expect("ImportDialog", [&](ModelForm& dialog) {
        EXPECT_FALSE(dialog.Enabled("按钮_导入"));  // nothing to import yet
        ASSERT_TRUE(dialog.TypeText("编辑框_粘贴", "10.0.0.1 admin pw 机房A 2027/1/1\r\n"
                                                   "10.0.0.2:2222 root pw2 机房B\r\n"
                                                   "10.0.0.9:99999 u p 坏端口\r\n"
                                                   "10.0.0.5 u p 重复"));
        ASSERT_TRUE(dialog.Click("按钮_预览"));
        EXPECT_EQ(dialog.Text("标签_统计"), "添加 2，更新 0，跳过 1，拒绝 1");
        ASSERT_EQ(dialog.ListRowCount("列表_预览"), 4);
        EXPECT_EQ(dialog.ListCell("列表_预览", 1, 3), "2222");
        EXPECT_EQ(dialog.ListCell("列表_预览", 2, 0), "拒绝");
        EXPECT_FALSE(dialog.ListCell("列表_预览", 2, 7).empty()) << "a refusal without its reason";
        EXPECT_EQ(dialog.ListCell("列表_预览", 3, 0), "跳过");
        ASSERT_TRUE(dialog.Click("按钮_导入"));
        EXPECT_FALSE(dialog.IsOpen());
    });
    main.AnswerMenu("菜单", 7);
    ASSERT_TRUE(main.RightClickRow(app::kServerList, 0));
    ASSERT_FALSE(dialogs.Messages().empty());
    EXPECT_TRUE(dialogs.Messages().back().text.starts_with("导入完成：添加 2 台，更新 0 台服务器...")) << dialogs.Messages().back().text;
    ASSERT_EQ(main.ListRowCount(app::kServerList), 3);
    EXPECT_EQ(main.ListCell(app::kServerList, 2, app::kColumnNote), "机房B");
    EXPECT_EQ(main.ListCell(app::kServerList, 1, app::kColumnExpiry), "2027/1/1 23:59:59");
    size_t backups = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path() / fs::u8path(u8"\u5907\u4efd")))
        backups += entry.is_regular_file();
    EXPECT_EQ(backups, 1u);

    // Export with passwords: said first that the file holds them readable; all three servers go out.
    dialogs.Expect("ExportDialog", [&](ModelForm& dialog) {
        EXPECT_EQ(dialog.Text("单选框_全部"), "全部服务器（3 台）");
        ASSERT_TRUE(dialog.Click("选择框_密码"));
        ASSERT_TRUE(dialog.Click("按钮_导出"));
        EXPECT_FALSE(dialog.IsOpen());
    });
    main.AnswerMenu("菜单", 8);
    ASSERT_TRUE(main.RightClickRow(app::kServerList, 0));
    const std::vector<runtime::Message>& messages = dialogs.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].icon, runtime::MessageIcon::Warning);
    const std::vector<uint8_t> bytes = testfiles::readFile(csv);
    const std::string written(bytes.begin(), bytes.end());
    EXPECT_TRUE(written.starts_with("\xEF\xBB\xBF")) << "no byte-order mark";
    EXPECT_NE(written.find("pw2"), std::string::npos);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 4);
    database.CloseConnection();
}

}  // namespace
