// The windows of bringing servers in and taking them out:
// - ImportDialog ("导入服务器"): a source (a file, a folder of connection files, or lines pasted into 编辑框_粘贴),
//   the preview of what happens to each server (列表_预览, with the counts in 标签_统计), and "导入";
// - MasterPasswordDialog ("主密码"): the master password of a connections file the default one does not open;
// - ExportDialog ("导出服务器"): all servers or those the list shows, with or without passwords.
#include "ui/forms.h"

// Each control names only the fields it needs; the others keep the defaults of runtime::ControlSpec.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ui {
namespace {

using namespace runtime;  // ControlKind, Alignment, the style flags

WindowSpec Dialog(const char* name, const char* caption, int width, int height) {
    WindowSpec window;
    window.name = name;
    window.caption = caption;
    window.width = width;
    window.height = height;
    window.frame = Frame::FixedSingle;
    window.minimiseBox = false;
    window.taskbarButton = true;
    window.programIcon = true;
    return window;
}

WindowSpec BuildImport() {
    WindowSpec window = Dialog("ImportDialog", "导入服务器", 760, 560);
    window.controls = {
        {.name = "标签1", .kind = ControlKind::Label,
         .left = 12, .top = 14, .width = 40, .height = 20,
         .caption = "来源:"},
        {.name = "标签_来源", .kind = ControlKind::Label,
         .left = 56, .top = 14, .width = 440, .height = 20,
         .caption = "(请选择文件，或把服务器粘贴到下面)"},
        {.name = "按钮_文件", .kind = ControlKind::Button,
         .left = 504, .top = 8, .width = 112, .height = 28,
         .caption = "选择文件..."},
        {.name = "按钮_文件夹", .kind = ControlKind::Button,
         .left = 624, .top = 8, .width = 112, .height = 28,
         .caption = "选择文件夹..."},
        {.name = "标签2", .kind = ControlKind::Label,
         .left = 12, .top = 44, .width = 600, .height = 20,
         .caption = "或粘贴服务器，每行一台: 地址[:端口] 用户 密码 备注 到期时间"},
        {.name = "编辑框_粘贴", .kind = ControlKind::Edit,
         .left = 12, .top = 66, .width = 604, .height = 96, .style = kMultiline},
        {.name = "按钮_预览", .kind = ControlKind::Button,
         .left = 624, .top = 66, .width = 112, .height = 28,
         .caption = "预览粘贴内容"},
        {.name = "选择框_更新", .kind = ControlKind::CheckBox,
         .left = 12, .top = 170, .width = 200, .height = 20,
         .caption = "更新已有服务器"},
        {.name = "列表_预览", .kind = ControlKind::ListView,
         .left = 12, .top = 196, .width = 724, .height = 270,
         .columns = {{"结果", 44, Alignment::Centre}, {"位置", 110, Alignment::Left},
                     {"服务器IP", 110, Alignment::Left}, {"端口", 45, Alignment::Left},
                     {"用户", 70, Alignment::Left}, {"备注", 110, Alignment::Left},
                     {"到期时间", 120, Alignment::Left}, {"说明", 260, Alignment::Left}},
         .findColumns = {2, 5}},
        {.name = "标签_统计", .kind = ControlKind::Label,
         .left = 12, .top = 478, .width = 480, .height = 20,
         .caption = "添加 0，更新 0，跳过 0，拒绝 0"},
        {.name = "按钮_导入", .kind = ControlKind::Button,
         .left = 536, .top = 472, .width = 96, .height = 30,
         .caption = "导入"},
        {.name = "按钮_取消", .kind = ControlKind::Button,
         .left = 640, .top = 472, .width = 96, .height = 30,
         .caption = "取消"},
    };
    return window;
}

WindowSpec BuildMasterPassword() {
    WindowSpec window = Dialog("MasterPasswordDialog", "主密码", 380, 180);
    window.controls = {
        {.name = "标签_说明", .kind = ControlKind::Label,
         .left = 12, .top = 12, .width = 350, .height = 48, .style = kWraps},
        {.name = "标签1", .kind = ControlKind::Label,
         .left = 12, .top = 72, .width = 56, .height = 20,
         .caption = "主密码:"},
        {.name = "编辑框_密码", .kind = ControlKind::Edit,
         .left = 72, .top = 70, .width = 290, .height = 22, .style = kPassword},
        {.name = "按钮_确定", .kind = ControlKind::Button,
         .left = 184, .top = 104, .width = 84, .height = 30,
         .caption = "确定"},
        {.name = "按钮_取消", .kind = ControlKind::Button,
         .left = 278, .top = 104, .width = 84, .height = 30,
         .caption = "取消"},
    };
    return window;
}

WindowSpec BuildExport() {
    WindowSpec window = Dialog("ExportDialog", "导出服务器", 340, 200);
    window.controls = {
        {.name = "单选框_全部", .kind = ControlKind::RadioButton,
         .left = 16, .top = 14, .width = 300, .height = 20,
         .caption = "全部服务器", .checked = true},
        {.name = "单选框_显示", .kind = ControlKind::RadioButton,
         .left = 16, .top = 40, .width = 300, .height = 20,
         .caption = "列表中显示的服务器"},
        {.name = "选择框_密码", .kind = ControlKind::CheckBox,
         .left = 16, .top = 74, .width = 300, .height = 20,
         .caption = "包含密码"},
        {.name = "按钮_导出", .kind = ControlKind::Button,
         .left = 132, .top = 116, .width = 88, .height = 30,
         .caption = "导出..."},
        {.name = "按钮_取消", .kind = ControlKind::Button,
         .left = 228, .top = 116, .width = 88, .height = 30,
         .caption = "取消"},
    };
    return window;
}

}  // namespace

const WindowSpec& ImportDialogSpec() {
    static const WindowSpec table = BuildImport();
    return table;
}

const WindowSpec& MasterPasswordDialogSpec() {
    static const WindowSpec table = BuildMasterPassword();
    return table;
}

const WindowSpec& ExportDialogSpec() {
    static const WindowSpec table = BuildExport();
    return table;
}

}  // namespace ui
