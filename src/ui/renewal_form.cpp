// RenewalDialog ("续费"): a server's expiry date moved on by a month, three months or a year, or to a day
// chosen in the calendar. 标签_当前 shows the current expiry, 标签_新 the date that "确定" will save.
#include "ui/forms.h"

// Each control names only the fields it needs; the others keep the defaults of runtime::ControlSpec.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ui {
namespace {

using namespace runtime;  // ControlKind, the style flags

WindowSpec Build() {
    WindowSpec window;
    window.name = "RenewalDialog";
    window.caption = "续费";
    window.width = 300;
    window.height = 190;
    window.frame = Frame::FixedSingle;
    window.minimiseBox = false;
    window.taskbarButton = true;
    window.programIcon = true;
    window.controls = {
        {.name = "标签1", .kind = ControlKind::Label,
         .left = 16, .top = 16, .width = 64, .height = 20,
         .caption = "当前到期:"},
        {.name = "标签_当前", .kind = ControlKind::Label,
         .left = 84, .top = 16, .width = 196, .height = 20},
        {.name = "标签2", .kind = ControlKind::Label,
         .left = 16, .top = 42, .width = 64, .height = 20,
         .caption = "续费至:"},
        {.name = "标签_新", .kind = ControlKind::Label,
         .left = 84, .top = 42, .width = 196, .height = 20,
         .caption = "(请选择续费时长或日期)"},
        {.name = "按钮_1个月", .kind = ControlKind::Button,
         .left = 16, .top = 72, .width = 60, .height = 28,
         .caption = "1 个月"},
        {.name = "按钮_3个月", .kind = ControlKind::Button,
         .left = 84, .top = 72, .width = 60, .height = 28,
         .caption = "3 个月"},
        {.name = "按钮_1年", .kind = ControlKind::Button,
         .left = 152, .top = 72, .width = 60, .height = 28,
         .caption = "1 年"},
        {.name = "标签3", .kind = ControlKind::Label,
         .left = 220, .top = 78, .width = 34, .height = 20,
         .caption = "日期:"},
        {.name = "日期框1", .kind = ControlKind::DatePicker,
         .left = 256, .top = 76, .width = 20, .height = 20},
        {.name = "按钮_确定", .kind = ControlKind::Button,
         .left = 72, .top = 116, .width = 60, .height = 30,
         .caption = "确定"},
        {.name = "按钮_取消", .kind = ControlKind::Button,
         .left = 168, .top = 116, .width = 60, .height = 30,
         .caption = "取消"},
    };
    return window;
}

}  // namespace

const WindowSpec& RenewalDialogSpec() {
    static const WindowSpec table = Build();
    return table;
}

}  // namespace ui
