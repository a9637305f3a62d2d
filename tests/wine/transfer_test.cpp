// Import and export in the running program, as a person does them: lines pasted into the import dialog, the
// preview, the import, the new servers in the list and in config.MDB with a backup beside it; then the export
// through the system's file dialog, and the CSV file it wrote.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

constexpr int kIpColumn = 4, kNoteColumn = 6;

// Right-clicks the list's first row and chooses the menu's item `item` (counting the items that can be chosen).
bool ChooseFromMenu(HWND list, DWORD pid, int item) {
    std::optional<RECT> cell = ListCellRect(list, 0, kIpColumn);
    if (!cell || !RightClickAt(list, (cell->left + cell->right) / 2, (cell->top + cell->bottom) / 2)) return false;
    HWND menu = WaitForPopupMenu(pid);
    return menu && ChooseMenuItem(menu, item);
}

bool AnswerBox(DWORD pid, const std::wstring& startsWith) {
    std::optional<MessageBoxView> box = WaitForMessageBox(pid);
    EXPECT_TRUE(box);
    if (!box) return false;
    EXPECT_EQ(box->text.substr(0, Gbk(startsWith).size()), Gbk(startsWith)) << box->text;
    return PressButton(box->dialog, Gbk(L"确定")) && WaitUntil([&] { return !IsWindow(box->dialog); }, kReactTimeout);
}

TEST(TransferTest, PasteImportAndExportAsAPersonDoes) {
    Started started = StartWithServers(L"transfer", {{"10.0.0.5", "3389", "u", "p", Gbk(L"已有"), DaysFromNow(90)}});
    ASSERT_NE(started.main, nullptr);
    const DWORD pid = started.program.Id();

    // "导入服务器...": the fifth item that can be chosen (add, modify, delete, renew, import, export).
    ASSERT_TRUE(ChooseFromMenu(started.list, pid, 4));
    HWND dialog = started.program.WaitForNamedWindow("ImportDialog");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(TypeText(FindControl(dialog, Gbk(L"编辑框_粘贴")),
                         Gbk(L"10.0.0.1 admin pw 机房A\r10.0.0.2:2222 root pw2 机房B\r10.0.0.5 u p 重复\r")));
    ASSERT_TRUE(Click(FindControl(dialog, Gbk(L"按钮_预览"))));
    HWND preview = FindControl(dialog, Gbk(L"列表_预览"));
    EXPECT_TRUE(WaitUntil([&] { return ListItemCount(preview) == 3; }, kReactTimeout));
    EXPECT_EQ(ReadText(FindControl(dialog, Gbk(L"标签_统计"))), Gbk(L"添加 2，更新 0，跳过 1，拒绝 0"));
    EXPECT_EQ(ListCellText(preview, 2, 0).value_or(""), Gbk(L"跳过"));
    HWND import = FindControl(dialog, Gbk(L"按钮_导入"));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(import); }, kReactTimeout));
    ASSERT_TRUE(Click(import));
    ASSERT_TRUE(AnswerBox(pid, L"导入完成：添加 2 台，更新 0 台服务器..."));
    EXPECT_TRUE(WaitUntil([&] { return ListItemCount(started.list) == 3; }, kReactTimeout));
    EXPECT_EQ(ListCellText(started.list, 2, kNoteColumn).value_or(""), Gbk(L"机房B"));
    EXPECT_EQ(ListFolder(JoinPath(started.folder, L"备份")).size(), 1u) << "no backup before the import";

    // "导出服务器...": all servers, through the system's file dialog, into a file of the test's.
    const std::wstring csv = JoinPath(Environment(L"QUILLON_TEST_DIR"), L"servers.csv");
    ASSERT_TRUE(ChooseFromMenu(started.list, pid, 5));
    HWND exporting = started.program.WaitForNamedWindow("ExportDialog");
    ASSERT_NE(exporting, nullptr);
    ASSERT_TRUE(Click(FindControl(exporting, Gbk(L"按钮_导出"))));
    HWND save = started.program.WaitForWindow(
        [](HWND window) { return IsWindowVisible(window) && ReadText(window) == Gbk(L"导出到文件"); }, kReactTimeout);
    ASSERT_NE(save, nullptr) << "no file dialog";
    HWND name = GetDlgItem(save, 1148);  // the file name: a combo box with an edit, or an edit
    if (HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr)) name = edit;
    ASSERT_NE(name, nullptr);
    ASSERT_TRUE(SetText(name, Gbk(csv)));
    ASSERT_TRUE(PressButtonId(save, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, kReactTimeout));
    ASSERT_TRUE(AnswerBox(pid, L"已导出 3 台服务器到："));
    const std::string written = ReadFileBytes(csv).value_or("");
    EXPECT_EQ(written.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(written.find("10.0.0.2,2222,root"), std::string::npos) << written;
    EXPECT_EQ(written.find("pw2"), std::string::npos) << "a password exported without being asked for";
    ASSERT_TRUE(CloseQuillon(started.program, started.main));
    EXPECT_TRUE(started.program.WaitForExit(kReactTimeout));
}

}  // namespace
}  // namespace wine_driver
