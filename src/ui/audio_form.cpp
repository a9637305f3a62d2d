// The audio dialog: where the remote session plays its sound and whether it records. The radio buttons of
// 分组框1 (playback) and of 分组框2 (recording) are two separate groups. The banner is clipped at the
// window's width.
#include "ui/forms.h"
#include "ui/pictures.h"

// Each control names only the fields it needs; the others keep the defaults of runtime::ControlSpec.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ui {
namespace {

using namespace runtime;  // ControlKind, the style flags kCentred, kWraps, ...

WindowSpec Build() {
    WindowSpec window;
    window.name = "AudioDialog";
    window.caption = "远程桌面音频设置";
    window.width = 404;
    window.height = 392;
    window.frame = Frame::FixedSingle;
    window.minimiseBox = false;
    window.taskbarButton = true;
    window.programIcon = true;
    window.controls = {
        {.name = "图片框1", .kind = ControlKind::PictureBox,
         .left = 0, .top = 0, .width = 400, .height = 72, .picture = &pictures::kDialogBanner},  // 471 x 67
        {.name = "分组框1", .kind = ControlKind::GroupBox,
         .left = 8, .top = 80, .width = 384, .height = 120,
         .caption = "远程音频播放"},
        {.name = "图片框2", .kind = ControlKind::PictureBox, .container = "分组框1",
         .left = 8, .top = 24, .width = 40, .height = 40, .picture = &pictures::kSpeaker},  // 41 x 41
        {.name = "单选框1", .kind = ControlKind::RadioButton, .container = "分组框1",
         .left = 80, .top = 24, .width = 136, .height = 20,
         .caption = "在此计算机上播放(P)", .checked = true},
        {.name = "单选框2", .kind = ControlKind::RadioButton, .container = "分组框1",
         .left = 80, .top = 56, .width = 144, .height = 20,
         .caption = "不要播放(D)"},
        {.name = "单选框3", .kind = ControlKind::RadioButton, .container = "分组框1",
         .left = 80, .top = 88, .width = 160, .height = 20,
         .caption = "在远程计算机在上播放(O)"},
        {.name = "分组框2", .kind = ControlKind::GroupBox,
         .left = 8, .top = 208, .width = 384, .height = 96,
         .caption = "远程音频录制"},
        {.name = "图片框3", .kind = ControlKind::PictureBox, .container = "分组框2",
         .left = 16, .top = 24, .width = 40, .height = 40, .picture = &pictures::kMicrophone},  // 39 x 45
        {.name = "单选框4", .kind = ControlKind::RadioButton, .container = "分组框2",
         .left = 80, .top = 24, .width = 168, .height = 20,
         .caption = "从此计算机进行录制(R)"},
        {.name = "单选框5", .kind = ControlKind::RadioButton, .container = "分组框2",
         .left = 80, .top = 56, .width = 144, .height = 20,
         .caption = "不录制(N)", .checked = true},
        {.name = "按钮1", .kind = ControlKind::Button,
         .left = 184, .top = 320, .width = 96, .height = 32,
         .caption = "确定"},
        {.name = "按钮2", .kind = ControlKind::Button,
         .left = 296, .top = 320, .width = 96, .height = 32,
         .caption = "取消"},
    };
    return window;
}

}  // namespace

const WindowSpec& AudioDialogSpec() {
    static const WindowSpec table = Build();
    return table;
}

}  // namespace ui
