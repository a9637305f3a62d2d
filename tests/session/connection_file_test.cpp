// The connection file: the 43 lines for the profile a new database holds, what each option makes of its
// line, the gateway rules, values that would break a line, the protected password's hex form, and the
// names (file and session window title).
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "profile/connection_profile.h"
#include "profile/display_sizes.h"
#include "runtime/form_model.h"
#include "session/connection_file.h"
#include "ui/forms.h"

namespace {

using profile::ProfileState;
using runtime::ModelForm;

// The protected bytes the tests' data protection gives: the first four bytes of the block, then 0x0A, 0xFF.
std::vector<std::uint8_t> FakeProtect(const std::vector<std::uint8_t>& block, const std::u16string& description) {
    if (description != u"psw" || block.size() != 512) return {};
    return {block[0], block[1], block[2], block[3], 0x0A, 0xFF};
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// The main window and ProfileState as a start on the database the program carries leaves them.
class ConnectionFileTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void Reset() {
        window = std::make_unique<ModelForm>(ui::MainWindowSpec());
        window->Open();
        state = ProfileState{};
        state.DisplayModeList = profile::DisplayModeTexts({{1024, 768}});
        window->SetTrackRange("滑块条1", 1, 2);
        std::map<std::string, std::string> stored;
        for (const profile::ProfileField& field : profile::ProfileFields()) stored[field.column] = field.templateValue;
        profile::ApplyStoredProfile(*window, state, stored);
    }
    std::vector<std::string> Lines(const session::ServerCells& server = {"admin", "pw", "10.0.0.1", "3389", "n"}) {
        return Split(session::BuildConnectionFileText(*window, state, server, FakeProtect));
    }

    std::unique_ptr<ModelForm> window;
    ProfileState state;
};

TEST_F(ConnectionFileTest, TheLinesOfTheProfileANewDatabaseHolds) {
    const std::vector<std::string> expected = {
        "screen mode id:i:1", "use multimon:i:0", "desktopwidth:i:1024", "desktopheight:i:768", "session bpp:i:32",
        "winposstr:s:0,1,364,170,2300,1289", "compression:i:1", "keyboardhook:i:2", "audiocapturemode:i:0",
        "videoplaybackmode:i:1", "connection type:i:6", "networkautodetect:i:0", "bandwidthautodetect:i:1",
        "displayconnectionbar:i:1", "enableworkspacereconnect:i:0", "disable wallpaper:i:0",
        "allow font smoothing:i:1", "allow desktop composition:i:1", "disable full window drag:i:0",
        "disable menu anims:i:0", "disable themes:i:0", "disable cursor setting:i:0", "bitmapcachepersistenable:i:1",
        "username:s:admin", "password 51:b:700077000AFF0", "full address:s:10.0.0.1:3389", "audiomode:i:0",
        "redirectprinters:i:1", "redirectcomports:i:0", "redirectsmartcards:i:0", "redirectclipboard:i:1",
        "redirectposdevices:i:0", "autoreconnection enabled:i:1", "authentication level:i:2",
        "gatewayhostname:s:1121", "gatewayusagemethod:i:2", "gatewaycredentialssource:i:4",
        "gatewayprofileusagemethod:i:0", "promptcredentialonce:i:0", "gatewaybrokeringtype:i:0",
        "drivestoredirect:s:", "", ""};
    EXPECT_EQ(Lines(), expected);
}

// Each option's line for each of its values (line numbers from 1), set on the live form.
TEST_F(ConnectionFileTest, EachOptionMakesItsLine) {
    struct Case {
        std::function<void(ModelForm&, ProfileState&)> set;
        int line;
        std::string text;
    };
    auto select = [](const char* list, int index) {
        return [=](ModelForm& m, ProfileState&) { m.SetSelection(list, index); };
    };
    auto uncheck = [](const char* box) { return [=](ModelForm& m, ProfileState&) { m.SetChecked(box, false); }; };
    auto put = [](std::string ProfileState::*member, const char* value) {
        return [=](ModelForm&, ProfileState& s) { s.*member = value; };
    };
    const Case cases[] = {
        {[](ModelForm& m, ProfileState&) { m.SetTrackPosition("滑块条1", 2); }, 1, "screen mode id:i:2"},
        {[](ModelForm& m, ProfileState&) { m.SetChecked("选择框1", true); }, 2, "use multimon:i:1"},
        {select("组合框1", 0), 5, "session bpp:i:15"}, {select("组合框1", 2), 5, "session bpp:i:24"},
        {select("组合框1", -1), 5, ""},
        {select("组合框2", 0), 8, "keyboardhook:i:0"}, {select("组合框2", -1), 8, ""},
        {put(&ProfileState::yplz, "1"), 9, "audiocapturemode:i:1"},
        {select("组合框3", 0), 11, "connection type:i:1"}, {select("组合框3", 6), 11, ""},
        {select("组合框3", 6), 12, "networkautodetect:i:1"}, {select("组合框3", -1), 11, ""},
        {uncheck("选择框2"), 14, "displayconnectionbar:i:0"}, {uncheck("选择框7"), 16, "disable wallpaper:i:1"},
        {uncheck("选择框8"), 17, "allow font smoothing:i:0"}, {uncheck("选择框10"), 19, "disable full window drag:i:1"},
        {uncheck("选择框12"), 21, "disable themes:i:1"}, {uncheck("选择框13"), 23, "bitmapcachepersistenable:i:0"},
        {put(&ProfileState::ypxz, "2"), 27, "audiomode:i:2"}, {put(&ProfileState::ypxz, "3"), 27, "audiomode:i:1"},
        {put(&ProfileState::ypxz, ""), 27, ""}, {uncheck("选择框3"), 28, "redirectprinters:i:0"},
        {put(&ProfileState::dkxz, "1"), 29, "redirectcomports:i:1"}, {put(&ProfileState::znxz, "1"), 30, "redirectsmartcards:i:1"},
        {uncheck("选择框14"), 33, "autoreconnection enabled:i:0"},
        {select("组合框4", 0), 34, "authentication level:i:0"}, {select("组合框4", 2), 34, "authentication level:i:1"},
        {put(&ProfileState::qdxz, "1"), 41, "drivestoredirect:s:*"}, {put(&ProfileState::spbhxz, "1"), 42, "camerastoredirect:s:*"},
        {put(&ProfileState::qtzcxz, "1"), 43, "devicestoredirect:s:*"},
    };
    for (const Case& c : cases) {
        Reset();
        c.set(*window, state);
        std::vector<std::string> lines = Lines();
        ASSERT_EQ(lines.size(), 43u);
        EXPECT_EQ(lines[static_cast<size_t>(c.line - 1)], c.text) << "line " << c.line;
    }
}

TEST_F(ConnectionFileTest, TheGatewayLinesFollowTheGatewayChoices) {
    struct Case { const char *automatic, *none, *these, *bypass, *credentialsOnce, *method; const char* lines; };
    const Case cases[] = {
        {"1", "0", "0", "1", "1", "1", "2 4 0 0"},  // automatic: the details do not count
        {"0", "1", "0", "0", "0", "0", "0 4 1 0"},  // no gateway
        {"0", "0", "1", "0", "0", "0", "1 4 1 0"},  // these settings, choose later
        {"0", "0", "1", "1", "1", "1", "2 0 1 1"},  // with the local bypass, ask for the password, once
        {"0", "0", "1", "0", "0", "2", "1 1 1 0"},  // smart card
        {"0", "0", "1", "0", "0", "9", "1 4 1 0"},  // another method leaves 4
        {"1", "1", "1", "0", "0", "1", "1 0 1 0"},  // several set: these settings win
        {"0", "0", "0", "0", "0", "0", "2 4 0 0"},  // none set
    };
    for (const Case& c : cases) {
        state.zdjcRD = c.automatic, state.bsyRD = c.none, state.syRD = c.these;
        state.bsybdRD = c.bypass, state.RDpj = c.credentialsOnce, state.RDdl = c.method;
        std::vector<std::string> lines = Lines();
        std::string values;
        for (int line = 36; line <= 39; ++line) values += (values.empty() ? "" : " ") + lines[line - 1].substr(lines[line - 1].rfind(':') + 1);
        EXPECT_EQ(values, c.lines) << c.automatic << c.none << c.these << c.bypass << c.credentialsOnce << c.method;
    }
}

// A line break in any value would add a line of its own: it is left out, and the file keeps 43 lines.
TEST_F(ConnectionFileTest, LineBreaksInValuesAreLeftOut) {
    state.RDmc = "gw\r\nusername:s:evil";
    state.kd = "1024\n";
    std::vector<std::string> lines = Lines({"ad\rmin", "pw", "10.0.0.1\r\n", "33\n89", "n"});
    ASSERT_EQ(lines.size(), 43u);
    EXPECT_EQ(lines[2], "desktopwidth:i:1024");
    EXPECT_EQ(lines[23], "username:s:admin");
    EXPECT_EQ(lines[25], "full address:s:10.0.0.1:3389");
    EXPECT_EQ(lines[34], "gatewayhostname:s:gwusername:s:evil");
    EXPECT_EQ(session::ConnectionNameOf("n", "10.0.0.1\r\n", "33\n89").title, "n - 10.0.0.1:3389 - 远程桌面连接");
    // Blanks and Chinese stay as they are.
    EXPECT_EQ(Lines({"my user", "p", "服务器 1", "", "n"})[25], "full address:s:服务器 1:");
}

TEST(ProtectPassword, TheBlockAndItsHexForm) {
    // "中a" in UTF-16LE, its terminator, zeros to 512 bytes.
    std::vector<std::uint8_t> block = session::PasswordBlock("中a");
    ASSERT_EQ(block.size(), 512u);
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 7),
              (std::vector<std::uint8_t>{0x2D, 0x4E, 0x61, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(session::PasswordBlock(std::string(300, 'x'))[511], 0);  // cut at 512 bytes
    EXPECT_EQ(session::PasswordBlock(std::string(300, 'x'))[510], 'x');
    EXPECT_EQ(session::PasswordBlock(""), std::vector<std::uint8_t>(512, 0));
    std::string twenty;
    for (int i = 0; i < 20; ++i) twenty += "密";  // the longest password the editor takes, in Chinese
    std::vector<std::uint8_t> chinese = session::PasswordBlock(twenty);
    EXPECT_EQ(chinese[38], 0xC6);  // the twentieth 密 (U+5BC6), then its terminator
    EXPECT_EQ(chinese[39], 0x5B);
    EXPECT_EQ(chinese[40] | chinese[41], 0);

    auto bytes = [](std::vector<std::uint8_t> sealed) {
        return [sealed](const std::vector<std::uint8_t>&, const std::u16string&) { return sealed; };
    };
    EXPECT_EQ(session::ProtectPassword("p", bytes({0x00, 0x0A, 0xAB, 0xFF, 0x10})), "000AABFF100");  // odd, upper case
    EXPECT_EQ(session::ProtectPassword("p", bytes({})), "0");  // the service failed
}

TEST(ConnectionNames, FileAndTitleShareOneNameThatNoDeviceAndNoOtherServerHas) {
    // The name part: blanks gone, characters no file name holds replaced, never a device, never empty,
    // never longer than the limit (counted in characters, a double-byte character whole).
    struct Case { const char* note; size_t limit; const char* name; };
    const Case cases[] = {
        {"  my server ", 100, "myserver"},
        {"", 100, "_"},
        {"   ", 100, "_"},
        {"..\\..\\evil/x:y", 100, ".._.._evil_x_y"},  // never outside the server's folder
        {"机房\xA1\xA1一", 100, "机房\xA1\xA1一"},      // a full-width space inside stays
        {"NUL", 100, "_NUL"},
        {"con.txt", 100, "_con.txt"},
        {"Lpt9.a.b", 100, "_Lpt9.a.b"},
        {"COM0", 100, "COM0"},      // not a device
        {"CONSOLE", 100, "CONSOLE"},
        {"auxiliary", 100, "auxiliary"},
        {"我的服务器304", 4, "我的服务"},
        {"abcdef", 3, "abc"},
        {"prn.abc", 4, "_prn"},     // cut to "prn.", a device: still within the limit with its "_"
    };
    for (const Case& c : cases) EXPECT_EQ(session::ConnectionBaseName(c.note, c.limit), c.name) << c.note;

    // The file is the name in the server's own folder, the title the name with the address and port.
    const session::ConnectionName a = session::ConnectionNameOf("我的服务器304", "10.0.0.1", "3389");
    EXPECT_EQ(a.title, "我的服务器304 - 10.0.0.1:3389 - 远程桌面连接");
    EXPECT_TRUE(a.file.ends_with("\\我的服务器304.rdp")) << a.file;
    EXPECT_EQ(a.file.size(), 16 + 1 + std::string("我的服务器304.rdp").size());
    // Two servers with the same (default) note never share a file; the address as the database compares it
    // (without regard to case) is one server.
    EXPECT_NE(a.file, session::ConnectionNameOf("我的服务器304", "10.0.0.2", "3389").file);
    EXPECT_NE(a.file, session::ConnectionNameOf("我的服务器304", "10.0.0.1", "3390").file);
    EXPECT_EQ(session::ConnectionNameOf("n", "Web01", "22").file, session::ConnectionNameOf("n", "web01", "22").file);
}

}  // namespace
