// ServerEditorWindow: the fields of one server entry. Its caption is set when it opens ("添加服务器" or
// "修改服务器"), and 按钮1 reads "修改" when it modifies an entry. The small date picker 日期框1 lies over the
// right end of the expiry box 编辑框2 and shows only its drop-down button.
#include "ui/forms.h"

// Each control names only the fields it needs; the others keep the defaults of runtime::ControlSpec.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ui {
namespace {

using namespace runtime;  // ControlKind, the style flags kCentred, kWraps, ...

WindowSpec Build() {
    WindowSpec window;
    window.name = "ServerEditorWindow";
    window.caption = "";
    window.width = 300;
    window.height = 214;
    window.frame = Frame::FixedSingle;
    window.minimiseBox = false;
    window.taskbarButton = true;
    window.programIcon = true;
    window.controls = {
        {.name = "标签1", .kind = ControlKind::Label,
         .left = 16, .top = 16, .width = 50, .height = 20,
         .caption = "IP地址:"},
        {.name = "编辑框_地址", .kind = ControlKind::Edit,
         .left = 72, .top = 16, .width = 104, .height = 20},
        {.name = "标签2", .kind = ControlKind::Label,
         .left = 188, .top = 16, .width = 28, .height = 20,
         .caption = "端口:"},
        {.name = "编辑框_端口", .kind = ControlKind::Edit,
         .left = 220, .top = 16, .width = 60, .height = 20,
         .caption = "3389", .style = kCentred},
        {.name = "标签3", .kind = ControlKind::Label,
         .left = 16, .top = 40, .width = 50, .height = 20,
         .caption = "用户名:"},
        {.name = "编辑框_用户名", .kind = ControlKind::Edit,
         .left = 72, .top = 40, .width = 208, .height = 20,
         .caption = "Administrator"},
        {.name = "标签4", .kind = ControlKind::Label,
         .left = 16, .top = 64, .width = 50, .height = 20,
         .caption = "密  码:"},
        {.name = "编辑框_密码", .kind = ControlKind::Edit,
         .left = 72, .top = 64, .width = 208, .height = 20},
        {.name = "标签5", .kind = ControlKind::Label,
         .left = 16, .top = 88, .width = 56, .height = 20,
         .caption = "备  注:"},
        {.name = "编辑框1", .kind = ControlKind::Edit,
         .left = 72, .top = 88, .width = 208, .height = 20,
         .caption = "我的服务器"},
        {.name = "标签6", .kind = ControlKind::Label,
         .left = 16, .top = 112, .width = 48, .height = 20,
         .caption = "到  期:"},
        {.name = "编辑框2", .kind = ControlKind::Edit,
         .left = 72, .top = 112, .width = 208, .height = 20},
        {.name = "日期框1", .kind = ControlKind::DatePicker,
         .left = 260, .top = 113, .width = 20, .height = 19},
        {.name = "按钮1", .kind = ControlKind::Button,
         .left = 72, .top = 144, .width = 60, .height = 30,
         .caption = "添加"},
        {.name = "按钮2", .kind = ControlKind::Button,
         .left = 208, .top = 144, .width = 60, .height = 30,
         .caption = "取消"},
    };
    return window;
}

}  // namespace

const WindowSpec& ServerEditorWindowSpec() {
    static const WindowSpec table = Build();
    return table;
}

}  // namespace ui
