// The devices dialog: which local devices the remote session uses. The empty label 标签2 is a white panel
// with a thin border; the five check boxes lie on top of it with a white background of their own, so they
// look like a list of check-box entries.
#include "ui/forms.h"
#include "ui/pictures.h"

// Each control names only the fields it needs; the others keep the defaults of runtime::ControlSpec.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ui {
namespace {

using namespace runtime;  // ControlKind, the style flags kCentred, kWraps, ...

WindowSpec Build() {
    WindowSpec window;
    window.name = "DevicesDialog";
    window.caption = "远程桌面设备和资源设置";
    window.width = 444;
    window.height = 362;
    window.frame = Frame::FixedSingle;
    window.minimiseBox = false;
    window.taskbarButton = true;
    window.programIcon = true;
    window.controls = {
        {.name = "图片框1", .kind = ControlKind::PictureBox,
         .left = 0, .top = 0, .width = 440, .height = 72, .picture = &pictures::kDialogBanner},  // 471 x 67
        {.name = "分组框1", .kind = ControlKind::GroupBox,
         .left = 8, .top = 80, .width = 424, .height = 208,
         .caption = "本地设备和资源"},
        {.name = "标签1", .kind = ControlKind::Label, .container = "分组框1",
         .left = 32, .top = 24, .width = 368, .height = 16,
         .caption = "选择要在远程会话中使用的这台计算机上的设备和资源。"},
        {.name = "标签2", .kind = ControlKind::Label, .container = "分组框1",
         .left = 32, .top = 56, .width = 360, .height = 136, .style = kBordered | kWhiteBackground},
        {.name = "选择框1", .kind = ControlKind::CheckBox, .container = "分组框1",
         .left = 56, .top = 64, .width = 200, .height = 20,
         .caption = "智能卡或 Windows Hello 企业版", .style = kWhiteBackground},
        {.name = "选择框2", .kind = ControlKind::CheckBox, .container = "分组框1",
         .left = 56, .top = 88, .width = 48, .height = 20,
         .caption = "端口", .style = kWhiteBackground},
        {.name = "选择框3", .kind = ControlKind::CheckBox, .container = "分组框1",
         .left = 56, .top = 112, .width = 80, .height = 20,
         .caption = "所有驱动器", .style = kWhiteBackground},
        {.name = "选择框4", .kind = ControlKind::CheckBox, .container = "分组框1",
         .left = 56, .top = 136, .width = 96, .height = 20,
         .caption = "视频捕获设备", .style = kWhiteBackground},
        {.name = "选择框5", .kind = ControlKind::CheckBox, .container = "分组框1",
         .left = 56, .top = 160, .width = 184, .height = 20,
         .caption = "其它支持的即插即用(PnP)设备", .style = kWhiteBackground},
        {.name = "按钮1", .kind = ControlKind::Button,
         .left = 224, .top = 296, .width = 96, .height = 32,
         .caption = "确定"},
        {.name = "按钮2", .kind = ControlKind::Button,
         .left = 336, .top = 296, .width = 96, .height = 32,
         .caption = "取消"},
    };
    return window;
}

}  // namespace

const WindowSpec& DevicesDialogSpec() {
    static const WindowSpec table = Build();
    return table;
}

}  // namespace ui
