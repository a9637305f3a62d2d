// The RD gateway dialog. 单选框1, 单选框2 and 单选框3 are one group (they share 分组框1) although the detail
// controls 标签1, 编辑框1, 标签2, 组合框1 and 选择框1 stand between them; the group's choice enables or
// disables those. The label 标签3 is fixed text. This dialog has a minimise box and no icon of its own.
#include "ui/forms.h"
#include "ui/pictures.h"

// Each control names only the fields it needs; the others keep the defaults of runtime::ControlSpec.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ui {
namespace {

using namespace runtime;  // ControlKind, the style flags kCentred, kWraps, ...

WindowSpec Build() {
    WindowSpec window;
    window.name = "GatewayDialog";
    window.caption = "RD 网关服务器设置";
    window.width = 476;
    window.height = 508;
    window.frame = Frame::FixedSingle;
    window.minimiseBox = true;
    window.taskbarButton = true;
    window.programIcon = false;  // the program's default icon
    window.controls = {
        {.name = "图片框1", .kind = ControlKind::PictureBox,
         .left = 0, .top = 0, .width = 480, .height = 72, .picture = &pictures::kDialogBanner},  // 471 x 67
        {.name = "分组框1", .kind = ControlKind::GroupBox,
         .left = 8, .top = 88, .width = 456, .height = 200,
         .caption = "连接设置"},
        {.name = "单选框1", .kind = ControlKind::RadioButton, .container = "分组框1",
         .left = 24, .top = 24, .width = 400, .height = 20,
         .caption = "自动检测 RD 网关服务器设置(A)", .checked = true},
        {.name = "单选框2", .kind = ControlKind::RadioButton, .container = "分组框1",
         .left = 24, .top = 48, .width = 408, .height = 20,
         .caption = "使用这些 RD 网关服务器设置(U):"},
        {.name = "标签1", .kind = ControlKind::Label, .container = "分组框1",
         .left = 48, .top = 72, .width = 80, .height = 20,
         .caption = "服务器名(S):"},
        {.name = "编辑框1", .kind = ControlKind::Edit, .container = "分组框1",
         .left = 144, .top = 72, .width = 288, .height = 20},
        {.name = "标签2", .kind = ControlKind::Label, .container = "分组框1",
         .left = 48, .top = 104, .width = 88, .height = 20,
         .caption = "登录方法(L):"},
        {.name = "组合框1", .kind = ControlKind::DropDownList, .container = "分组框1",
         .left = 144, .top = 104, .width = 288, .height = 20,
         .entries = {"允许我稍后选择", "询问密码", "智能卡或 Windows Hello 企业版"}},
        {.name = "选择框1", .kind = ControlKind::CheckBox, .container = "分组框1",
         .left = 48, .top = 136, .width = 384, .height = 20,
         .caption = "不对本地地址使用 RD 网关服务器(B)"},
        {.name = "单选框3", .kind = ControlKind::RadioButton, .container = "分组框1",
         .left = 32, .top = 168, .width = 400, .height = 20,
         .caption = "不使用 RD 网关服务器(D)"},
        {.name = "分组框2", .kind = ControlKind::GroupBox,
         .left = 8, .top = 304, .width = 456, .height = 128,
         .caption = "登录设置"},
        {.name = "标签3", .kind = ControlKind::Label, .container = "分组框2",
         .left = 24, .top = 24, .width = 312, .height = 20,
         .caption = "用户名:           未指定"},
        {.name = "标签4", .kind = ControlKind::Label, .container = "分组框2",
         .left = 24, .top = 56, .width = 320, .height = 20,
         .caption = "当连接到此 RD 网关服务器时, 系统将会向你询问凭据。"},
        {.name = "选择框2", .kind = ControlKind::CheckBox, .container = "分组框2",
         .left = 24, .top = 96, .width = 416, .height = 20,
         .caption = "将我的 RD 网关凭据用于远程计算机(E)"},
        {.name = "按钮1", .kind = ControlKind::Button,
         .left = 256, .top = 440, .width = 96, .height = 32,
         .caption = "确定"},
        {.name = "按钮2", .kind = ControlKind::Button,
         .left = 368, .top = 440, .width = 96, .height = 32,
         .caption = "取消"},
    };
    return window;
}

}  // namespace

const WindowSpec& GatewayDialogSpec() {
    static const WindowSpec table = Build();
    return table;
}

}  // namespace ui
