// MainWindow: the banner across the top, the server list on the left, the settings pages on the right and
// the three buttons along the bottom right. Controls on a tab page have the tab control as container and
// their left and top from the tab control's corner (tab strip included).
//
// The designer's two non-visual objects, the database connection 数据库连接 and the recordset 记录集, have
// no appearance and are not part of this table: they are ConfigDatabase.
#include "ui/forms.h"
#include "ui/pictures.h"

// Each control names only the fields it needs; the others keep the defaults of runtime::ControlSpec.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ui {
namespace {

using namespace runtime;  // ControlKind, Alignment, the style flags kCentred, kWraps, ...

// The server list's columns. The user name and password columns are hidden (width 0).
std::vector<ListColumn> ListColumns() {
    return {
        {"用户", 0, Alignment::Left},      {"密码", 0, Alignment::Left},
        {"序号", 40, Alignment::Centre},   {"状态", 50, Alignment::Centre},
        {"服务器IP", 110, Alignment::Left}, {"端口", 45, Alignment::Left},
        {"备注", 160, Alignment::Left},     {"到期时间", 130, Alignment::Left},
    };
}

WindowSpec Build() {
    WindowSpec window;
    window.name = "MainWindow";
    window.caption = "Quillon";
    window.width = 925;
    window.height = 558;
    window.frame = Frame::None;  // the banner is the handle for moving the window
    window.minimiseBox = false;
    window.taskbarButton = false;  // the notification-area icon stands for it
    window.programIcon = true;
    window.menus = {
        // Right-click on a row of the server list. Renewal, import and export come after the designer's items.
        {"菜单", {"添加服务器", "修改服务器", "", "删除服务器", "", "续费...", "", "导入服务器...", "导出服务器..."}},
        {"退", {"退出"}},                                         // right-click on the notification icon
    };
    // Drop-down lists start at their first entry, the tab control at its first page ("显示").
    window.controls = {
        {.name = "图片框3", .kind = ControlKind::PictureBox,
         .left = -7, .top = 0, .width = 935, .height = 72, .picture = &pictures::kMainBanner},  // 935 x 67
        {.name = "按钮6", .kind = ControlKind::Button, .container = "图片框3",
         .left = 647, .top = 16, .width = 104, .height = 40,
         .caption = "连接文件设置"},
        {.name = "按钮7", .kind = ControlKind::Button, .container = "图片框3",
         .left = 768, .top = 16, .width = 104, .height = 40,
         .caption = "远程桌面帮助"},
        {.name = "分组框1", .kind = ControlKind::GroupBox,
         .left = 0, .top = 80, .width = 568, .height = 448,
         .caption = "服务器列表"},
        {.name = "超级列表框1", .kind = ControlKind::ListView, .container = "分组框1",
         .left = 5, .top = 18, .width = 557, .height = 424,
         .columns = ListColumns(), .findColumns = {4, 6}},  // typing finds a server by address or note
        {.name = "高级选择夹1", .kind = ControlKind::TabControl,
         .left = 569, .top = 88, .width = 352, .height = 392,
         .entries = {"显示", "本地资源", "体验", "高级"}},
        {.name = "分组框2", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 0,
         .left = 8, .top = 32, .width = 336, .height = 192,
         .caption = "显示配置"},
        {.name = "图片框1", .kind = ControlKind::PictureBox, .container = "分组框2",
         .left = 8, .top = 24, .width = 48, .height = 40, .picture = &pictures::kDisplay},  // 41 x 45
        {.name = "标签1", .kind = ControlKind::Label, .container = "分组框2",
         .left = 56, .top = 32, .width = 272, .height = 32,
         .caption = "选择远程桌面的大小。将滑块拖动到最右边来使用全屏(S)。", .style = kWraps},
        {.name = "标签2", .kind = ControlKind::Label, .container = "分组框2",
         .left = 24, .top = 80, .width = 56, .height = 24,
         .caption = "小", .style = kCentred},
        {.name = "滑块条1", .kind = ControlKind::TrackBar, .container = "分组框2",
         .left = 80, .top = 80, .width = 184, .height = 32, .rangeMin = 1, .rangeMax = 10, .position = 1},
        {.name = "标签3", .kind = ControlKind::Label, .container = "分组框2",
         .left = 264, .top = 80, .width = 48, .height = 24,
         .caption = "大", .style = kCentred},
        {.name = "标签4", .kind = ControlKind::Label, .container = "分组框2",
         .left = 88, .top = 120, .width = 184, .height = 24,
         .caption = "000 x 000 像素", .style = kCentred},
        {.name = "选择框1", .kind = ControlKind::CheckBox, .container = "分组框2",
         .left = 56, .top = 160, .width = 272, .height = 24,
         .caption = "全屏/将我的所有监视器用于远程会话(U)。"},
        {.name = "分组框3", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 0,
         .left = 8, .top = 232, .width = 336, .height = 112,
         .caption = "颜色"},
        {.name = "图片框2", .kind = ControlKind::PictureBox, .container = "分组框3",
         .left = 16, .top = 24, .width = 40, .height = 40, .picture = &pictures::kColours},  // 39 x 41
        {.name = "标签5", .kind = ControlKind::Label, .container = "分组框3",
         .left = 72, .top = 24, .width = 184, .height = 24,
         .caption = "选择远程会话的颜色深度(C)。"},
        {.name = "组合框1", .kind = ControlKind::DropDownList, .container = "分组框3",
         .left = 72, .top = 56, .width = 184, .height = 20,
         .entries = {"增强色(15 位)", "增强色(16 位)", "真彩色(24 位)", "最高质量(32 位)"}},
        {.name = "选择框2", .kind = ControlKind::CheckBox, .container = "高级选择夹1", .page = 0,
         .left = 8, .top = 360, .width = 256, .height = 24,
         .caption = "全屏显示时显示连接栏(B)。", .checked = true},
        {.name = "分组框4", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 1,
         .left = 8, .top = 32, .width = 336, .height = 96,
         .caption = "远程音频"},
        {.name = "图片框4", .kind = ControlKind::PictureBox, .container = "分组框4",
         .left = 8, .top = 24, .width = 40, .height = 40, .picture = &pictures::kSpeaker},  // 41 x 41
        {.name = "标签6", .kind = ControlKind::Label, .container = "分组框4",
         .left = 64, .top = 24, .width = 152, .height = 24,
         .caption = "配置远程音频设置。"},
        {.name = "按钮1", .kind = ControlKind::Button, .container = "分组框4",
         .left = 64, .top = 56, .width = 144, .height = 32,
         .caption = "设置(S)..."},
        {.name = "分组框5", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 1,
         .left = 8, .top = 136, .width = 336, .height = 112,
         .caption = "键盘"},
        {.name = "图片框5", .kind = ControlKind::PictureBox, .container = "分组框5",
         .left = 8, .top = 24, .width = 40, .height = 40, .picture = &pictures::kKeyboard},  // 41 x 41
        {.name = "标签7", .kind = ControlKind::Label, .container = "分组框5",
         .left = 64, .top = 24, .width = 168, .height = 24,
         .caption = "应用Windows 组合键(K):"},
        {.name = "组合框2", .kind = ControlKind::DropDownList, .container = "分组框5",
         .left = 64, .top = 56, .width = 176, .height = 20,
         .entries = {"这台计算机上", "在远程计算机上", "仅在全屏显示时"}},
        {.name = "标签8", .kind = ControlKind::Label, .container = "分组框5",
         .left = 64, .top = 88, .width = 144, .height = 16,
         .caption = "示例: Alt + Tab"},
        {.name = "分组框6", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 1,
         .left = 8, .top = 256, .width = 336, .height = 128,
         .caption = "本地设备和资源"},
        {.name = "图片框6", .kind = ControlKind::PictureBox, .container = "分组框6",
         .left = 8, .top = 24, .width = 40, .height = 40, .picture = &pictures::kDevices},  // 41 x 41
        {.name = "标签9", .kind = ControlKind::Label, .container = "分组框6",
         .left = 72, .top = 32, .width = 240, .height = 16,
         .caption = "选择你要在远程会话中使用的设备和资源。"},
        {.name = "选择框3", .kind = ControlKind::CheckBox, .container = "分组框6",
         .left = 72, .top = 64, .width = 88, .height = 16,
         .caption = "打印机(T)", .checked = true},
        {.name = "选择框4", .kind = ControlKind::CheckBox, .container = "分组框6",
         .left = 176, .top = 64, .width = 112, .height = 16,
         .caption = "剪贴板(L)", .checked = true},
        {.name = "按钮5", .kind = ControlKind::Button, .container = "分组框6",
         .left = 72, .top = 88, .width = 136, .height = 32,
         .caption = "详细信息(M)..."},
        {.name = "分组框7", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 2,
         .left = 8, .top = 32, .width = 336, .height = 296,
         .caption = "性能"},
        {.name = "图片框7", .kind = ControlKind::PictureBox, .container = "分组框7",
         .left = 8, .top = 16, .width = 40, .height = 40, .picture = &pictures::kPerformance},  // 47 x 47
        {.name = "标签10", .kind = ControlKind::Label, .container = "分组框7",
         .left = 72, .top = 24, .width = 192, .height = 16,
         .caption = "选择连接速度来优化性能(P)。"},
        {.name = "组合框3", .kind = ControlKind::DropDownList, .container = "分组框7",
         .left = 72, .top = 48, .width = 248, .height = 20,
         .entries = {"调制解调器(56 kbps)", "低速宽带(256 bkps - 2 Mbps)", "卫星(2 Mbps - 16 Mbps, 高延迟)",
                     "高速宽带(2 Mbps - 10Mbps)", "WAN (10 Mbps 或更高速度, 高延迟)", "LAN (10 Mbps 或更高)",
                     "自动检测连接质量"}},
        {.name = "标签11", .kind = ControlKind::Label, .container = "分组框7",
         .left = 72, .top = 80, .width = 176, .height = 16,
         .caption = "允许以下功能:"},
        {.name = "选择框7", .kind = ControlKind::CheckBox, .container = "分组框7",
         .left = 72, .top = 104, .width = 152, .height = 16,
         .caption = "桌面背景(B)", .checked = true},
        {.name = "选择框8", .kind = ControlKind::CheckBox, .container = "分组框7",
         .left = 72, .top = 136, .width = 160, .height = 16,
         .caption = "字体平滑(F)", .checked = true},
        {.name = "选择框9", .kind = ControlKind::CheckBox, .container = "分组框7",
         .left = 72, .top = 168, .width = 168, .height = 16,
         .caption = "桌面合成(D)", .checked = true},
        {.name = "选择框10", .kind = ControlKind::CheckBox, .container = "分组框7",
         .left = 72, .top = 200, .width = 176, .height = 16,
         .caption = "拖动时显示窗口内容(S)", .checked = true},
        {.name = "选择框11", .kind = ControlKind::CheckBox, .container = "分组框7",
         .left = 72, .top = 232, .width = 184, .height = 16,
         .caption = "菜单和窗口动画(M)", .checked = true},
        {.name = "选择框12", .kind = ControlKind::CheckBox, .container = "分组框7",
         .left = 72, .top = 264, .width = 184, .height = 16,
         .caption = "视觉样式(V)", .checked = true},
        {.name = "选择框13", .kind = ControlKind::CheckBox, .container = "高级选择夹1", .page = 2,
         .left = 8, .top = 344, .width = 184, .height = 16,
         .caption = "持久位图缓存(A)", .checked = true},
        {.name = "选择框14", .kind = ControlKind::CheckBox, .container = "高级选择夹1", .page = 2,
         .left = 8, .top = 368, .width = 192, .height = 16,
         .caption = "如果连接中断，则重新连接(E)", .checked = true},
        {.name = "分组框8", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 3,
         .left = 8, .top = 32, .width = 336, .height = 152,
         .caption = "服务器身份验证"},
        {.name = "图片框8", .kind = ControlKind::PictureBox, .container = "分组框8",
         .left = 8, .top = 24, .width = 40, .height = 40, .picture = &pictures::kShield},  // 47 x 47
        {.name = "标签12", .kind = ControlKind::Label, .container = "分组框8",
         .left = 64, .top = 32, .width = 264, .height = 64,
         .caption = "服务器身份验证会验证你是否正在连接目标远程计算机。连接所需的验证强度由系统安全策略确定。"
                    "\r\n\r\n\r\n"  // three line breaks
                    "如果服务器身份验证失败(A):",
         .style = kWraps},
        {.name = "组合框4", .kind = ControlKind::DropDownList, .container = "分组框8",
         .left = 64, .top = 104, .width = 232, .height = 20,
         .entries = {"连接并且不显示警告", "显示警告", "不连接"}},
        {.name = "分组框9", .kind = ControlKind::GroupBox, .container = "高级选择夹1", .page = 3,
         .left = 8, .top = 192, .width = 336, .height = 192,
         .caption = "从任意位置连接"},
        {.name = "图片框9", .kind = ControlKind::PictureBox, .container = "分组框9",
         .left = 8, .top = 24, .width = 48, .height = 40, .picture = &pictures::kGateway},  // 47 x 43
        {.name = "标签13", .kind = ControlKind::Label, .container = "分组框9",
         .left = 64, .top = 32, .width = 264, .height = 32,
         .caption = "远程工作时, 请配置设置以通过远程桌面网关进行连接。", .style = kWraps},
        {.name = "按钮2", .kind = ControlKind::Button, .container = "分组框9",
         .left = 64, .top = 72, .width = 120, .height = 32,
         .caption = "设置(S)..."},
        // The filter strip under the server list: the text to look for, which servers, how many show.
        {.name = "标签_查找", .kind = ControlKind::Label,
         .left = 6, .top = 535, .width = 32, .height = 18,
         .caption = "查找:"},
        {.name = "编辑框_查找", .kind = ControlKind::Edit,
         .left = 40, .top = 532, .width = 170, .height = 21},
        {.name = "组合框_查找范围", .kind = ControlKind::DropDownList,
         .left = 218, .top = 532, .width = 110, .height = 20,
         .entries = {"全部", "已连接", "已过期", "7 天内到期", "30 天内到期"}},
        {.name = "标签_查找结果", .kind = ControlKind::Label,
         .left = 338, .top = 535, .width = 226, .height = 18,
         .caption = "显示 0 / 共 0 台"},
        {.name = "按钮3", .kind = ControlKind::Button,
         .left = 570, .top = 490, .width = 91, .height = 32,
         .caption = "连接服务器(N)"},
        {.name = "按钮4", .kind = ControlKind::Button,
         .left = 700, .top = 490, .width = 91, .height = 32,
         .caption = "保存设置(M)"},
        {.name = "按钮最小化", .kind = ControlKind::Button,
         .left = 830, .top = 490, .width = 91, .height = 32,
         .caption = "窗口最小化(X)"},
    };
    return window;
}

}  // namespace

const runtime::WindowSpec& MainWindowSpec() {
    static const runtime::WindowSpec table = Build();
    return table;
}

}  // namespace ui
