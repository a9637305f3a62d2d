// The five window tables against the form designer's layout: every control where the designer put it, the
// containers, radio groups, tab pages and list columns, the pictures the tables point to and the program
// icon file. The expected values below are written from the designer's tables, not taken from the code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "runtime/form_model.h"
#include "runtime/form_runtime.h"
#include "runtime/png_image.h"
#include "ui/forms.h"
#include "ui/pictures.h"

namespace {

using runtime::ControlSpec;
using runtime::WindowSpec;
using K = runtime::ControlKind;

struct Expected {
    const char* name;
    K kind;
    const char* container;  // "" = the window
    int page;               // tab page, -1 when not directly on a page
    int left, top, width, height;
    const char* caption;    // nullptr: the implementer's choice (the web-site buttons)
};

// In the designer's order. MainWindow's non-visual database connection and recordset have no control.
const std::vector<Expected> kMainWindow = {
    {"图片框3", K::PictureBox, "", -1, -7, 0, 935, 72, ""},
    {"按钮6", K::Button, "图片框3", -1, 647, 16, 104, 40, nullptr},
    {"按钮7", K::Button, "图片框3", -1, 768, 16, 104, 40, nullptr},
    {"分组框1", K::GroupBox, "", -1, 0, 80, 568, 448, "服务器列表"},
    {"超级列表框1", K::ListView, "分组框1", -1, 5, 18, 557, 424, ""},
    {"高级选择夹1", K::TabControl, "", -1, 569, 88, 352, 392, ""},
    {"分组框2", K::GroupBox, "高级选择夹1", 0, 8, 32, 336, 192, "显示配置"},
    {"图片框1", K::PictureBox, "分组框2", -1, 8, 24, 48, 40, ""},
    {"标签1", K::Label, "分组框2", -1, 56, 32, 272, 32, "选择远程桌面的大小。将滑块拖动到最右边来使用全屏(S)。"},
    {"标签2", K::Label, "分组框2", -1, 24, 80, 56, 24, "小"},
    {"滑块条1", K::TrackBar, "分组框2", -1, 80, 80, 184, 32, ""},
    {"标签3", K::Label, "分组框2", -1, 264, 80, 48, 24, "大"},
    {"标签4", K::Label, "分组框2", -1, 88, 120, 184, 24, "000 x 000 像素"},
    {"选择框1", K::CheckBox, "分组框2", -1, 56, 160, 272, 24, "全屏/将我的所有监视器用于远程会话(U)。"},
    {"分组框3", K::GroupBox, "高级选择夹1", 0, 8, 232, 336, 112, "颜色"},
    {"图片框2", K::PictureBox, "分组框3", -1, 16, 24, 40, 40, ""},
    {"标签5", K::Label, "分组框3", -1, 72, 24, 184, 24, "选择远程会话的颜色深度(C)。"},
    {"组合框1", K::DropDownList, "分组框3", -1, 72, 56, 184, 20, ""},
    {"选择框2", K::CheckBox, "高级选择夹1", 0, 8, 360, 256, 24, "全屏显示时显示连接栏(B)。"},
    {"分组框4", K::GroupBox, "高级选择夹1", 1, 8, 32, 336, 96, "远程音频"},
    {"图片框4", K::PictureBox, "分组框4", -1, 8, 24, 40, 40, ""},
    {"标签6", K::Label, "分组框4", -1, 64, 24, 152, 24, "配置远程音频设置。"},
    {"按钮1", K::Button, "分组框4", -1, 64, 56, 144, 32, "设置(S)..."},
    {"分组框5", K::GroupBox, "高级选择夹1", 1, 8, 136, 336, 112, "键盘"},
    {"图片框5", K::PictureBox, "分组框5", -1, 8, 24, 40, 40, ""},
    {"标签7", K::Label, "分组框5", -1, 64, 24, 168, 24, "应用Windows 组合键(K):"},
    {"组合框2", K::DropDownList, "分组框5", -1, 64, 56, 176, 20, ""},
    {"标签8", K::Label, "分组框5", -1, 64, 88, 144, 16, "示例: Alt + Tab"},
    {"分组框6", K::GroupBox, "高级选择夹1", 1, 8, 256, 336, 128, "本地设备和资源"},
    {"图片框6", K::PictureBox, "分组框6", -1, 8, 24, 40, 40, ""},
    {"标签9", K::Label, "分组框6", -1, 72, 32, 240, 16, "选择你要在远程会话中使用的设备和资源。"},
    {"选择框3", K::CheckBox, "分组框6", -1, 72, 64, 88, 16, "打印机(T)"},
    {"选择框4", K::CheckBox, "分组框6", -1, 176, 64, 112, 16, "剪贴板(L)"},
    {"按钮5", K::Button, "分组框6", -1, 72, 88, 136, 32, "详细信息(M)..."},
    {"分组框7", K::GroupBox, "高级选择夹1", 2, 8, 32, 336, 296, "性能"},
    {"图片框7", K::PictureBox, "分组框7", -1, 8, 16, 40, 40, ""},
    {"标签10", K::Label, "分组框7", -1, 72, 24, 192, 16, "选择连接速度来优化性能(P)。"},
    {"组合框3", K::DropDownList, "分组框7", -1, 72, 48, 248, 20, ""},
    {"标签11", K::Label, "分组框7", -1, 72, 80, 176, 16, "允许以下功能:"},
    {"选择框7", K::CheckBox, "分组框7", -1, 72, 104, 152, 16, "桌面背景(B)"},
    {"选择框8", K::CheckBox, "分组框7", -1, 72, 136, 160, 16, "字体平滑(F)"},
    {"选择框9", K::CheckBox, "分组框7", -1, 72, 168, 168, 16, "桌面合成(D)"},
    {"选择框10", K::CheckBox, "分组框7", -1, 72, 200, 176, 16, "拖动时显示窗口内容(S)"},
    {"选择框11", K::CheckBox, "分组框7", -1, 72, 232, 184, 16, "菜单和窗口动画(M)"},
    {"选择框12", K::CheckBox, "分组框7", -1, 72, 264, 184, 16, "视觉样式(V)"},
    {"选择框13", K::CheckBox, "高级选择夹1", 2, 8, 344, 184, 16, "持久位图缓存(A)"},
    {"选择框14", K::CheckBox, "高级选择夹1", 2, 8, 368, 192, 16, "如果连接中断，则重新连接(E)"},
    {"分组框8", K::GroupBox, "高级选择夹1", 3, 8, 32, 336, 152, "服务器身份验证"},
    {"图片框8", K::PictureBox, "分组框8", -1, 8, 24, 40, 40, ""},
    {"标签12", K::Label, "分组框8", -1, 64, 32, 264, 64,
     "服务器身份验证会验证你是否正在连接目标远程计算机。连接所需的验证强度由系统安全策略确定。\r\n\r\n\r\n"
     "如果服务器身份验证失败(A):"},
    {"组合框4", K::DropDownList, "分组框8", -1, 64, 104, 232, 20, ""},
    {"分组框9", K::GroupBox, "高级选择夹1", 3, 8, 192, 336, 192, "从任意位置连接"},
    {"图片框9", K::PictureBox, "分组框9", -1, 8, 24, 48, 40, ""},
    {"标签13", K::Label, "分组框9", -1, 64, 32, 264, 32, "远程工作时, 请配置设置以通过远程桌面网关进行连接。"},
    {"按钮2", K::Button, "分组框9", -1, 64, 72, 120, 32, "设置(S)..."},
    {"标签_查找", K::Label, "", -1, 6, 535, 32, 18, "查找:"},
    {"编辑框_查找", K::Edit, "", -1, 40, 532, 170, 21, ""},
    {"组合框_查找范围", K::DropDownList, "", -1, 218, 532, 110, 20, ""},
    {"标签_查找结果", K::Label, "", -1, 338, 535, 226, 18, "显示 0 / 共 0 台"},
    {"按钮3", K::Button, "", -1, 570, 490, 91, 32, "连接服务器(N)"},
    {"按钮4", K::Button, "", -1, 700, 490, 91, 32, "保存设置(M)"},
    {"按钮最小化", K::Button, "", -1, 830, 490, 91, 32, "窗口最小化(X)"},
};
const std::vector<Expected> kServerEditor = {
    {"标签1", K::Label, "", -1, 16, 16, 50, 20, "IP地址:"},
    {"编辑框_地址", K::Edit, "", -1, 72, 16, 104, 20, ""},
    {"标签2", K::Label, "", -1, 188, 16, 28, 20, "端口:"},
    {"编辑框_端口", K::Edit, "", -1, 220, 16, 60, 20, "3389"},
    {"标签3", K::Label, "", -1, 16, 40, 50, 20, "用户名:"},
    {"编辑框_用户名", K::Edit, "", -1, 72, 40, 208, 20, "Administrator"},
    {"标签4", K::Label, "", -1, 16, 64, 50, 20, "密  码:"},
    {"编辑框_密码", K::Edit, "", -1, 72, 64, 208, 20, ""},
    {"标签5", K::Label, "", -1, 16, 88, 56, 20, "备  注:"},
    {"编辑框1", K::Edit, "", -1, 72, 88, 208, 20, "我的服务器"},
    {"标签6", K::Label, "", -1, 16, 112, 48, 20, "到  期:"},
    {"编辑框2", K::Edit, "", -1, 72, 112, 208, 20, ""},
    {"日期框1", K::DatePicker, "", -1, 260, 113, 20, 19, ""},
    {"按钮1", K::Button, "", -1, 72, 144, 60, 30, "添加"},
    {"按钮2", K::Button, "", -1, 208, 144, 60, 30, "取消"},
};
const std::vector<Expected> kAudio = {
    {"图片框1", K::PictureBox, "", -1, 0, 0, 400, 72, ""},
    {"分组框1", K::GroupBox, "", -1, 8, 80, 384, 120, "远程音频播放"},
    {"图片框2", K::PictureBox, "分组框1", -1, 8, 24, 40, 40, ""},
    {"单选框1", K::RadioButton, "分组框1", -1, 80, 24, 136, 20, "在此计算机上播放(P)"},
    {"单选框2", K::RadioButton, "分组框1", -1, 80, 56, 144, 20, "不要播放(D)"},
    {"单选框3", K::RadioButton, "分组框1", -1, 80, 88, 160, 20, "在远程计算机在上播放(O)"},
    {"分组框2", K::GroupBox, "", -1, 8, 208, 384, 96, "远程音频录制"},
    {"图片框3", K::PictureBox, "分组框2", -1, 16, 24, 40, 40, ""},
    {"单选框4", K::RadioButton, "分组框2", -1, 80, 24, 168, 20, "从此计算机进行录制(R)"},
    {"单选框5", K::RadioButton, "分组框2", -1, 80, 56, 144, 20, "不录制(N)"},
    {"按钮1", K::Button, "", -1, 184, 320, 96, 32, "确定"},
    {"按钮2", K::Button, "", -1, 296, 320, 96, 32, "取消"},
};
const std::vector<Expected> kDevices = {
    {"图片框1", K::PictureBox, "", -1, 0, 0, 440, 72, ""},
    {"分组框1", K::GroupBox, "", -1, 8, 80, 424, 208, "本地设备和资源"},
    {"标签1", K::Label, "分组框1", -1, 32, 24, 368, 16, "选择要在远程会话中使用的这台计算机上的设备和资源。"},
    {"标签2", K::Label, "分组框1", -1, 32, 56, 360, 136, ""},
    {"选择框1", K::CheckBox, "分组框1", -1, 56, 64, 200, 20, "智能卡或 Windows Hello 企业版"},
    {"选择框2", K::CheckBox, "分组框1", -1, 56, 88, 48, 20, "端口"},
    {"选择框3", K::CheckBox, "分组框1", -1, 56, 112, 80, 20, "所有驱动器"},
    {"选择框4", K::CheckBox, "分组框1", -1, 56, 136, 96, 20, "视频捕获设备"},
    {"选择框5", K::CheckBox, "分组框1", -1, 56, 160, 184, 20, "其它支持的即插即用(PnP)设备"},
    {"按钮1", K::Button, "", -1, 224, 296, 96, 32, "确定"},
    {"按钮2", K::Button, "", -1, 336, 296, 96, 32, "取消"},
};
const std::vector<Expected> kGateway = {
    {"图片框1", K::PictureBox, "", -1, 0, 0, 480, 72, ""},
    {"分组框1", K::GroupBox, "", -1, 8, 88, 456, 200, "连接设置"},
    {"单选框1", K::RadioButton, "分组框1", -1, 24, 24, 400, 20, "自动检测 RD 网关服务器设置(A)"},
    {"单选框2", K::RadioButton, "分组框1", -1, 24, 48, 408, 20, "使用这些 RD 网关服务器设置(U):"},
    {"标签1", K::Label, "分组框1", -1, 48, 72, 80, 20, "服务器名(S):"},
    {"编辑框1", K::Edit, "分组框1", -1, 144, 72, 288, 20, ""},
    {"标签2", K::Label, "分组框1", -1, 48, 104, 88, 20, "登录方法(L):"},
    {"组合框1", K::DropDownList, "分组框1", -1, 144, 104, 288, 20, ""},
    {"选择框1", K::CheckBox, "分组框1", -1, 48, 136, 384, 20, "不对本地地址使用 RD 网关服务器(B)"},
    {"单选框3", K::RadioButton, "分组框1", -1, 32, 168, 400, 20, "不使用 RD 网关服务器(D)"},
    {"分组框2", K::GroupBox, "", -1, 8, 304, 456, 128, "登录设置"},
    {"标签3", K::Label, "分组框2", -1, 24, 24, 312, 20, "用户名:           未指定"},
    {"标签4", K::Label, "分组框2", -1, 24, 56, 320, 20, "当连接到此 RD 网关服务器时, 系统将会向你询问凭据。"},
    {"选择框2", K::CheckBox, "分组框2", -1, 24, 96, 416, 20, "将我的 RD 网关凭据用于远程计算机(E)"},
    {"按钮1", K::Button, "", -1, 256, 440, 96, 32, "确定"},
    {"按钮2", K::Button, "", -1, 368, 440, 96, 32, "取消"},
};

struct Window {
    const WindowSpec& table;
    const std::vector<Expected>& expected;
};

std::vector<Window> AllWindows() {
    return {{ui::MainWindowSpec(), kMainWindow},
            {ui::ServerEditorWindowSpec(), kServerEditor},
            {ui::AudioDialogSpec(), kAudio},
            {ui::DevicesDialogSpec(), kDevices},
            {ui::GatewayDialogSpec(), kGateway}};
}

const ControlSpec& Find(const WindowSpec& window, const std::string& name) {
    for (const ControlSpec& control : window.controls) {
        if (control.name == name) return control;
    }
    ADD_FAILURE() << window.name << " has no control " << name;
    static const ControlSpec none;
    return none;
}

bool IsContainerKind(K kind) { return kind == K::GroupBox || kind == K::PictureBox || kind == K::TabControl; }

// The client area of a window: a window without frame is all client area; a fixed single frame is taken with
// the classic metrics (3-pixel frame, 19-pixel caption), the smallest frame Windows draws.
std::pair<int, int> ClientSize(const WindowSpec& window) {
    if (window.frame == runtime::Frame::None) return {window.width, window.height};
    return {window.width - 2 * 3, window.height - 2 * 3 - 19};
}

std::uint32_t BigEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WindowTables, FramesAsDesigned) {
    struct Frame {
        const WindowSpec& table;
        const char* name;
        const char* caption;
        int width, height;
        runtime::Frame frame;
        bool minimiseBox, taskbarButton, programIcon;
    };
    const Frame frames[] = {
        {ui::MainWindowSpec(), "MainWindow", "Quillon", 925, 558, runtime::Frame::None, false, false, true},
        {ui::ServerEditorWindowSpec(), "ServerEditorWindow", "", 300, 214, runtime::Frame::FixedSingle, false,
         true, true},
        {ui::AudioDialogSpec(), "AudioDialog", "远程桌面音频设置", 404, 392, runtime::Frame::FixedSingle, false,
         true, true},
        {ui::DevicesDialogSpec(), "DevicesDialog", "远程桌面设备和资源设置", 444, 362,
         runtime::Frame::FixedSingle, false, true, true},
        {ui::GatewayDialogSpec(), "GatewayDialog", "RD 网关服务器设置", 476, 508, runtime::Frame::FixedSingle,
         true, true, false},
    };
    for (const Frame& f : frames) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.table.name, f.name);
        EXPECT_EQ(f.table.caption, f.caption);
        EXPECT_EQ(f.table.width, f.width);
        EXPECT_EQ(f.table.height, f.height);
        EXPECT_EQ(f.table.frame, f.frame);
        EXPECT_EQ(f.table.minimiseBox, f.minimiseBox);
        EXPECT_EQ(f.table.taskbarButton, f.taskbarButton);
        EXPECT_EQ(f.table.programIcon, f.programIcon);
        // The runtime accepts the table (it throws on the first fault).
        EXPECT_NO_THROW(runtime::ValidateWindowSpec(f.table));
    }
}

TEST(WindowTables, EveryControlWhereTheDesignerPutIt) {
    for (const Window& window : AllWindows()) {
        SCOPED_TRACE(window.table.name);
        ASSERT_EQ(window.table.controls.size(), window.expected.size());
        for (size_t i = 0; i < window.expected.size(); ++i) {
            const Expected& e = window.expected[i];
            const ControlSpec& c = window.table.controls[i];
            SCOPED_TRACE(e.name);
            EXPECT_EQ(c.name, e.name);
            EXPECT_EQ(c.kind, e.kind);
            EXPECT_EQ(c.container, e.container);
            EXPECT_EQ(c.page, e.page);
            EXPECT_EQ(c.left, e.left);
            EXPECT_EQ(c.top, e.top);
            EXPECT_EQ(c.width, e.width);
            EXPECT_EQ(c.height, e.height);
            if (e.caption) {
                EXPECT_EQ(c.caption, e.caption);
            } else {
                EXPECT_FALSE(c.caption.empty());  // the web-site buttons name their site
            }
        }
    }
}

TEST(WindowTables, NamesAreUniqueAndContainersHoldControls) {
    for (const Window& window : AllWindows()) {
        SCOPED_TRACE(window.table.name);
        std::map<std::string, const ControlSpec*> seen;  // the controls before the current one
        for (const ControlSpec& control : window.table.controls) {
            SCOPED_TRACE(control.name);
            EXPECT_FALSE(control.name.empty());
            EXPECT_EQ(seen.count(control.name), 0u) << "name used twice";
            if (!control.container.empty()) {
                // The container exists, can hold controls, and comes first (it is created before its members).
                auto it = seen.find(control.container);
                ASSERT_NE(it, seen.end()) << "container " << control.container << " missing or after it";
                EXPECT_TRUE(IsContainerKind(it->second->kind));
                if (it->second->kind == K::TabControl) {
                    EXPECT_GE(control.page, 0);
                    EXPECT_LT(control.page, static_cast<int>(it->second->entries.size()));
                } else {
                    EXPECT_EQ(control.page, -1);
                }
            } else {
                EXPECT_EQ(control.page, -1);
            }
            seen[control.name] = &control;
        }
    }
}

TEST(WindowTables, ControlsLieInsideTheirContainers) {
    // The banners are the exceptions: MainWindow's starts left of the window and is wider than it, and the
    // dialogs' banners are cut at the window's edge. They are checked on their own below.
    const std::set<std::pair<std::string, std::string>> banners = {
        {"MainWindow", "图片框3"}, {"AudioDialog", "图片框1"}, {"DevicesDialog", "图片框1"},
        {"GatewayDialog", "图片框1"}};
    for (const Window& window : AllWindows()) {
        SCOPED_TRACE(window.table.name);
        const auto [clientWidth, clientHeight] = ClientSize(window.table);
        for (const ControlSpec& control : window.table.controls) {
            SCOPED_TRACE(control.name);
            if (banners.count({window.table.name, control.name})) continue;
            int width = clientWidth, height = clientHeight;
            if (!control.container.empty()) {
                const ControlSpec& container = Find(window.table, control.container);
                width = container.width;
                height = container.height;
            }
            EXPECT_GE(control.left, 0);
            EXPECT_GE(control.top, 0);
            EXPECT_GT(control.width, 0);
            EXPECT_GT(control.height, 0);
            EXPECT_LE(control.left + control.width, width);
            EXPECT_LE(control.top + control.height, height);
        }
    }
}

TEST(WindowTables, BannersSpanTheTopOfTheWindows) {
    // MainWindow shows banner pixels 7 to 931 in its pixels 0 to 924.
    const WindowSpec& main = ui::MainWindowSpec();
    const ControlSpec& banner = Find(main, "图片框3");
    ASSERT_NE(banner.picture, nullptr);
    EXPECT_EQ(banner.left, -7);
    EXPECT_EQ(banner.top, 0);
    EXPECT_GE(banner.left + banner.width, 925);
    EXPECT_GE(banner.picture->width, 7 + 925);
    EXPECT_LE(banner.picture->height, banner.height);
    // The buttons on the banner lie on the picture itself.
    for (const char* name : {"按钮6", "按钮7"}) {
        const ControlSpec& button = Find(main, name);
        EXPECT_LE(button.left + button.width, banner.picture->width) << name;
        EXPECT_LE(button.top + button.height, banner.picture->height) << name;
    }
    // The dialogs share one 471 x 67 banner at the top-left corner; it covers the whole client width.
    for (const WindowSpec* dialog : {&ui::AudioDialogSpec(), &ui::DevicesDialogSpec(), &ui::GatewayDialogSpec()}) {
        SCOPED_TRACE(dialog->name);
        const ControlSpec& box = Find(*dialog, "图片框1");
        ASSERT_NE(box.picture, nullptr);
        EXPECT_EQ(box.picture, &ui::pictures::kDialogBanner);
        EXPECT_EQ(box.left, 0);
        EXPECT_EQ(box.top, 0);
        EXPECT_GE(box.left + box.width, ClientSize(*dialog).first);
        EXPECT_GE(box.picture->width, ClientSize(*dialog).first);
        // Everything else starts below the banner.
        for (const ControlSpec& control : dialog->controls) {
            if (control.container.empty() && control.name != "图片框1") {
                EXPECT_GE(control.top, box.height) << control.name;
            }
        }
    }
}

// The radio buttons that share `radio`'s container and page, in table order.
std::vector<std::string> SameContainer(const WindowSpec& window, const std::string& radio) {
    const ControlSpec& self = Find(window, radio);
    std::vector<std::string> group;
    for (const ControlSpec& control : window.controls) {
        if (control.kind == K::RadioButton && control.container == self.container && control.page == self.page)
            group.push_back(control.name);
    }
    return group;
}

TEST(WindowTables, RadioGroups) {
    using Names = std::vector<std::string>;
    const WindowSpec& audio = ui::AudioDialogSpec();
    const Names playback = {"单选框1", "单选框2", "单选框3"};
    const Names recording = {"单选框4", "单选框5"};
    for (const std::string& name : playback) {
        EXPECT_EQ(SameContainer(audio, name), playback) << name;
        EXPECT_EQ(runtime::RadioGroup(audio, name), playback) << name;
    }
    for (const std::string& name : recording) {
        EXPECT_EQ(SameContainer(audio, name), recording) << name;
        EXPECT_EQ(runtime::RadioGroup(audio, name), recording) << name;
    }
    EXPECT_TRUE(Find(audio, "单选框1").checked);
    EXPECT_FALSE(Find(audio, "单选框2").checked);
    EXPECT_FALSE(Find(audio, "单选框3").checked);
    EXPECT_FALSE(Find(audio, "单选框4").checked);
    EXPECT_TRUE(Find(audio, "单选框5").checked);

    // The gateway's three radio buttons are one group although detail controls stand between them.
    const WindowSpec& gateway = ui::GatewayDialogSpec();
    const Names connection = {"单选框1", "单选框2", "单选框3"};
    for (const std::string& name : connection) {
        EXPECT_EQ(SameContainer(gateway, name), connection) << name;
        EXPECT_EQ(runtime::RadioGroup(gateway, name), connection) << name;
    }
    size_t first = 0, last = 0;
    for (size_t i = 0; i < gateway.controls.size(); ++i) {
        if (gateway.controls[i].name == "单选框1") first = i;
        if (gateway.controls[i].name == "单选框3") last = i;
    }
    EXPECT_EQ(last - first, 7u);  // 单选框2, 标签1, 编辑框1, 标签2, 组合框1, 选择框1 between
    EXPECT_TRUE(Find(gateway, "单选框1").checked);
    EXPECT_FALSE(Find(gateway, "单选框2").checked);
    EXPECT_FALSE(Find(gateway, "单选框3").checked);
}

TEST(WindowTables, RadioGroupsBehaveInTheModel) {
    runtime::ModelForm audio(ui::AudioDialogSpec());
    audio.Open();
    ASSERT_TRUE(audio.Click("单选框4"));  // clears only 单选框5
    EXPECT_TRUE(audio.Checked("单选框4"));
    EXPECT_FALSE(audio.Checked("单选框5"));
    EXPECT_TRUE(audio.Checked("单选框1"));
    ASSERT_TRUE(audio.Click("单选框2"));  // clears 单选框1 and 单选框3 only
    EXPECT_FALSE(audio.Checked("单选框1"));
    EXPECT_FALSE(audio.Checked("单选框3"));
    EXPECT_TRUE(audio.Checked("单选框4"));

    runtime::ModelForm gateway(ui::GatewayDialogSpec());
    gateway.Open();
    ASSERT_TRUE(gateway.Click("单选框3"));
    EXPECT_FALSE(gateway.Checked("单选框1"));
    EXPECT_FALSE(gateway.Checked("单选框2"));
    EXPECT_FALSE(gateway.Checked("选择框1"));  // a check box between them is not part of the group
}

TEST(MainWindowTable, TabPages) {
    const WindowSpec& main = ui::MainWindowSpec();
    const ControlSpec& tabs = Find(main, "高级选择夹1");
    EXPECT_EQ(tabs.entries, (std::vector<std::string>{"显示", "本地资源", "体验", "高级"}));
    EXPECT_EQ(tabs.selection, 0);
    std::vector<std::set<std::string>> members(4);
    for (const ControlSpec& control : main.controls) {
        if (control.container == "高级选择夹1") members.at(control.page).insert(control.name);
    }
    EXPECT_EQ(members[0], (std::set<std::string>{"分组框2", "分组框3", "选择框2"}));
    EXPECT_EQ(members[1], (std::set<std::string>{"分组框4", "分组框5", "分组框6"}));
    EXPECT_EQ(members[2], (std::set<std::string>{"分组框7", "选择框13", "选择框14"}));
    EXPECT_EQ(members[3], (std::set<std::string>{"分组框8", "分组框9"}));

    // Below their group box and still inside the 392-pixel-high tab control.
    auto bottom = [&](const char* name) { return Find(main, name).top + Find(main, name).height; };
    EXPECT_EQ(tabs.height, 392);
    EXPECT_EQ(bottom("分组框3"), 344);
    EXPECT_EQ(Find(main, "选择框2").top, 360);
    EXPECT_LE(bottom("选择框2"), tabs.height);
    EXPECT_EQ(bottom("分组框7"), 328);
    EXPECT_GT(Find(main, "选择框13").top, bottom("分组框7"));
    EXPECT_GT(Find(main, "选择框14").top, bottom("选择框13"));
    EXPECT_LE(bottom("选择框14"), tabs.height);
}

TEST(MainWindowTable, ServerListColumns) {
    const ControlSpec& list = Find(ui::MainWindowSpec(), "超级列表框1");
    using A = runtime::Alignment;
    struct Column {
        const char* header;
        int width;
        A alignment;
    };
    const Column expected[] = {{"用户", 0, A::Left},      {"密码", 0, A::Left},   {"序号", 40, A::Centre},
                               {"状态", 50, A::Centre},   {"服务器IP", 110, A::Left}, {"端口", 45, A::Left},
                               {"备注", 160, A::Left},    {"到期时间", 130, A::Left}};
    ASSERT_EQ(list.columns.size(), std::size(expected));
    for (size_t i = 0; i < list.columns.size(); ++i) {
        EXPECT_EQ(list.columns[i].header, expected[i].header) << i;
        EXPECT_EQ(list.columns[i].width, expected[i].width) << i;
        EXPECT_EQ(list.columns[i].alignment, expected[i].alignment) << i;
    }
}

TEST(MainWindowTable, MenusAndInitialStates) {
    const WindowSpec& main = ui::MainWindowSpec();
    ASSERT_EQ(main.menus.size(), 2u);
    EXPECT_EQ(main.menus[0].name, "菜单");
    EXPECT_EQ(main.menus[0].items,
              (std::vector<std::string>{"添加服务器", "修改服务器", "", "删除服务器", "", "续费...", "",
                                        "导入服务器...", "导出服务器..."}));
    EXPECT_EQ(main.menus[1].name, "退");
    EXPECT_EQ(main.menus[1].items, (std::vector<std::string>{"退出"}));

    const ControlSpec& slider = Find(main, "滑块条1");
    EXPECT_EQ(slider.rangeMin, 1);
    EXPECT_EQ(slider.rangeMax, 10);
    EXPECT_EQ(slider.position, 1);

    // Drop-down lists: entry counts, first entry selected; a few entries whose spelling is easy to get wrong.
    const std::map<std::string, size_t> entryCounts = {{"组合框1", 4}, {"组合框2", 3}, {"组合框3", 7}, {"组合框4", 3}};
    for (const auto& [name, count] : entryCounts) {
        EXPECT_EQ(Find(main, name).entries.size(), count) << name;
        EXPECT_EQ(Find(main, name).selection, 0) << name;
    }
    EXPECT_EQ(Find(main, "组合框1").entries.at(3), "最高质量(32 位)");
    EXPECT_EQ(Find(main, "组合框3").entries.at(1), "低速宽带(256 bkps - 2 Mbps)");
    EXPECT_EQ(Find(main, "组合框3").entries.at(4), "WAN (10 Mbps 或更高速度, 高延迟)");
    EXPECT_EQ(Find(main, "组合框4").entries.at(2), "不连接");

    // Check boxes: all checked except 选择框1.
    for (const ControlSpec& control : main.controls) {
        if (control.kind == K::CheckBox) {
            EXPECT_EQ(control.checked, control.name != "选择框1") << control.name;
        }
    }
    // Centred and wrapping labels.
    for (const char* name : {"标签2", "标签3", "标签4"}) {
        EXPECT_EQ(Find(main, name).style, runtime::kCentred) << name;
    }
    for (const char* name : {"标签1", "标签12", "标签13"}) {
        EXPECT_EQ(Find(main, name).style, runtime::kWraps) << name;
    }
    EXPECT_EQ(Find(main, "标签5").style, runtime::kStyleNone);
}

TEST(DialogTables, EditorAndDevicesDetails) {
    const WindowSpec& editor = ui::ServerEditorWindowSpec();
    for (const ControlSpec& control : editor.controls) {
        if (control.kind == K::Edit) {
            const uint32_t expected = control.name == "编辑框_端口" ? runtime::kCentred : runtime::kStyleNone;
            EXPECT_EQ(control.style, expected) << control.name;
        }
    }
    // The date picker lies over the right end of the expiry box.
    const ControlSpec& date = Find(editor, "日期框1");
    const ControlSpec& expiry = Find(editor, "编辑框2");
    EXPECT_EQ(date.left + date.width, expiry.left + expiry.width);
    EXPECT_GT(date.left, expiry.left);
    EXPECT_GE(date.top, expiry.top);
    EXPECT_LE(date.top + date.height, expiry.top + expiry.height);

    // The devices dialog: the five check boxes lie on the bordered white panel 标签2, white themselves.
    const WindowSpec& devices = ui::DevicesDialogSpec();
    const ControlSpec& panel = Find(devices, "标签2");
    EXPECT_EQ(panel.style, runtime::kBordered | runtime::kWhiteBackground);
    EXPECT_TRUE(panel.caption.empty());
    for (const char* name : {"选择框1", "选择框2", "选择框3", "选择框4", "选择框5"}) {
        const ControlSpec& box = Find(devices, name);
        EXPECT_EQ(box.container, panel.container) << name;
        EXPECT_EQ(box.style, runtime::kWhiteBackground) << name;
        EXPECT_FALSE(box.checked) << name;
        EXPECT_GT(box.left, panel.left) << name;
        EXPECT_GT(box.top, panel.top) << name;
        EXPECT_LT(box.left + box.width, panel.left + panel.width) << name;
        EXPECT_LT(box.top + box.height, panel.top + panel.height) << name;
    }
}

TEST(Pictures, EmbeddedPngsHaveTheSizesOfTheTables) {
    struct PictureBox {
        const WindowSpec& window;
        const char* box;
        int width, height;  // of the image, from the designer's tables
        const char* file;   // src/ui/pictures/<file>.png
    };
    const PictureBox boxes[] = {
        {ui::MainWindowSpec(), "图片框3", 935, 67, "banner-main"},
        {ui::MainWindowSpec(), "图片框1", 41, 45, "display"},
        {ui::MainWindowSpec(), "图片框2", 39, 41, "colours"},
        {ui::MainWindowSpec(), "图片框4", 41, 41, "speaker"},
        {ui::MainWindowSpec(), "图片框5", 41, 41, "keyboard"},
        {ui::MainWindowSpec(), "图片框6", 41, 41, "devices"},
        {ui::MainWindowSpec(), "图片框7", 47, 47, "performance"},
        {ui::MainWindowSpec(), "图片框8", 47, 47, "shield"},
        {ui::MainWindowSpec(), "图片框9", 47, 43, "gateway"},
        {ui::AudioDialogSpec(), "图片框1", 471, 67, "banner-dialog"},
        {ui::AudioDialogSpec(), "图片框2", 41, 41, "speaker"},
        {ui::AudioDialogSpec(), "图片框3", 39, 45, "microphone"},
        {ui::DevicesDialogSpec(), "图片框1", 471, 67, "banner-dialog"},
        {ui::GatewayDialogSpec(), "图片框1", 471, 67, "banner-dialog"},
    };
    size_t pictureBoxes = 0;
    for (const Window& window : AllWindows()) {
        for (const ControlSpec& control : window.table.controls) {
            if (control.kind == K::PictureBox) {
                ++pictureBoxes;
            } else {
                EXPECT_EQ(control.picture, nullptr) << window.table.name << " " << control.name;
            }
        }
    }
    EXPECT_EQ(pictureBoxes, std::size(boxes));  // every picture box is checked below

    for (const PictureBox& b : boxes) {
        SCOPED_TRACE(b.window.name + " " + b.box);
        const runtime::Picture* picture = Find(b.window, b.box).picture;
        ASSERT_NE(picture, nullptr);
        ASSERT_GE(picture->size, 33u);  // signature and the IHDR chunk
        const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        EXPECT_TRUE(std::equal(signature, signature + 8, picture->png));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(picture->png) + 12, 4), "IHDR");
        EXPECT_EQ(BigEndian32(picture->png + 16), static_cast<std::uint32_t>(b.width));
        EXPECT_EQ(BigEndian32(picture->png + 20), static_cast<std::uint32_t>(b.height));
        EXPECT_EQ(picture->width, b.width);
        EXPECT_EQ(picture->height, b.height);
        // The whole image decodes, and the program carries the PNG file as it is in the source tree.
        runtime::RgbaImage image;
        std::string error;
        ASSERT_TRUE(runtime::DecodePng(picture->png, picture->size, image, &error)) << error;
        // A box smaller than its image cuts it; the icons keep their drawing inside the part that shows
        // (the banners are meant to be cut).
        const ControlSpec& box = Find(b.window, b.box);
        if (b.width < 400) {
            int cut = 0;
            for (int y = 0; y < image.height; ++y) {
                for (int x = 0; x < image.width; ++x) {
                    if ((x >= box.width || y >= box.height) && (image.At(x, y) >> 24) != 0) ++cut;
                }
            }
            EXPECT_EQ(cut, 0) << "pixels drawn outside the " << box.width << " x " << box.height << " box";
        }
        const std::vector<unsigned char> file =
            ReadFile(std::string(QUILLON_SOURCE_DIR) + "/src/ui/pictures/" + b.file + ".png");
        EXPECT_TRUE(file == std::vector<unsigned char>(picture->png, picture->png + picture->size))
            << "pictures.inc is out of date with " << b.file << ".png: run scripts/make-pictures.py";
    }
}

TEST(Pictures, ProgramIconFile) {
    const std::vector<unsigned char> ico = ReadFile(std::string(QUILLON_SOURCE_DIR) + "/src/ui/pictures/quillon.ico");
    ASSERT_GE(ico.size(), 6u);
    auto le16 = [&](size_t at) { return unsigned(ico.at(at)) | unsigned(ico.at(at + 1)) << 8; };
    auto le32 = [&](size_t at) { return std::uint32_t(le16(at)) | std::uint32_t(le16(at + 2)) << 16; };
    EXPECT_EQ(le16(0), 0u);  // reserved
    EXPECT_EQ(le16(2), 1u);  // an icon, not a cursor
    ASSERT_EQ(le16(4), 10u);
    ASSERT_GE(ico.size(), 6u + 10 * 16);

    // Image 0: 48 x 48 in 16 colours (4 bits a pixel), stored as a bitmap whose header agrees.
    EXPECT_EQ(ico[6], 48);
    EXPECT_EQ(ico[7], 48);
    EXPECT_EQ(ico[8], 16);        // colours in the palette
    EXPECT_EQ(le16(6 + 6), 4u);  // bits a pixel
    const std::uint32_t first = le32(6 + 12);
    ASSERT_LE(first + 40, ico.size());
    EXPECT_EQ(le32(first), 40u);           // header size
    EXPECT_EQ(le32(first + 4), 48u);       // width
    EXPECT_EQ(le32(first + 8), 96u);       // height: colour rows and mask rows
    EXPECT_EQ(le16(first + 14), 4u);       // bits a pixel
    // 40 + 16 palette entries + 48 rows of 24 bytes + 48 mask rows of 8 bytes
    EXPECT_EQ(le32(6 + 8), 40u + 16 * 4 + 48 * 24 + 48 * 8);

    bool has32 = false;
    for (size_t i = 0; i < 10; ++i) {
        const size_t entry = 6 + 16 * i;
        const std::uint32_t size = le32(entry + 8), offset = le32(entry + 12);
        EXPECT_LE(std::uint64_t(offset) + size, ico.size()) << "image " << i;
        if (ico[entry] == 32 && ico[entry + 1] == 32) has32 = true;
    }
    EXPECT_TRUE(has32) << "no 32 x 32 image for the windows";
}

}  // namespace
