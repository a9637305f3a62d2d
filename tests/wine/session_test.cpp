// Connecting in the running program, with the client stand-in (tests/wine/tools/mstsc.cpp) in the system
// folder, where the program starts the client from: the connection file's place, bytes and the command line,
// a file planted at its place beforehand never written into, the password through the data protection service
// and back, the row's status within a pass, a second connect bringing the session forward without a second
// client, modify and delete refused while connected, the session's end turning the row "-----" and deleting
// its file; the message when there is no client at all, and when the file cannot be written.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "runtime/text_codec.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

constexpr int kStateColumn = 3, kIpColumn = 4;

// The client stand-in as the system's client, or no client at all.
bool InstallClient(bool there) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring client = JoinPath(system, L"mstsc.exe");
    return there ? CopyFileW(ToolPath(L"mstsc.exe").c_str(), client.c_str(), FALSE) != 0
                 : DeleteFileW(client.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}


int CountLines(const std::string& text) {
    int lines = 0;
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at) ++lines;
    return lines;
}

class SessionTest : public ::testing::Test {
protected:
    // quillon.exe in a fresh folder with two servers in its database and, unless `withClient` is false, the
    // client stand-in beside it; started and loaded.
    void Start(const std::wstring& name, bool withClient = true,
               std::vector<catalogue::ServerEntry> servers = {
                   {"127.0.0.1", "3389", "admin", Gbk(L"密码\u5BC6 x"), Gbk(L"机房 一"), ""},
                   {"10.0.0.2", "22", "root", "pw", "b", ""}}) {
        ASSERT_TRUE(InstallClient(withClient));
        for (const wchar_t* log : {L"mstsc-starts.log", L"mstsc-record.txt"})
            DeleteFileW(JoinPath(Environment(L"QUILLON_TEST_DIR"), log).c_str());
        Started started = StartWithServers(name, servers);
        ASSERT_NE(started.main, nullptr);
        program_ = std::move(started.program);
        main_ = started.main;
        list_ = started.list;
    }
    void TearDown() override {
        if (HWND session = FindWindowW(nullptr, SessionTitle().c_str())) PostMessageW(session, WM_CLOSE, 0, 0);
        if (program_.Running()) program_.Terminate();
    }

    std::wstring SessionTitle() const { return L"机房一 - 127.0.0.1:3389 - \u8FDC\u7A0B\u684C\u9762\u8FDE\u63A5"; }
    std::string Log(const wchar_t* name) const {
        return ReadFileBytes(JoinPath(Environment(L"QUILLON_TEST_DIR"), name)).value_or("");
    }
    std::string State(int row) const { return ListCellText(list_, row, kStateColumn).value_or("?"); }
    POINT CellMiddle(int row) const {
        std::optional<RECT> cell = ListCellRect(list_, row, kIpColumn);
        EXPECT_TRUE(cell.has_value());
        return cell ? POINT{(cell->left + cell->right) / 2, (cell->top + cell->bottom) / 2} : POINT{};
    }
    // Right-clicks `row`, chooses menu item `item` (1 modify, 2 delete) and gives the box that answers.
    std::optional<MessageBoxView> ChooseOnRow(int row, int item) {
        POINT at = CellMiddle(row);
        EXPECT_TRUE(RightClickAt(list_, at.x, at.y));
        HWND menu = WaitForPopupMenu(program_.Id());
        EXPECT_NE(menu, nullptr);
        if (!menu) return std::nullopt;
        EXPECT_TRUE(ChooseMenuItem(menu, item));
        return WaitForMessageBox(program_.Id());
    }

    Process program_;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(SessionTest, ConnectAsAPersonDoesAndTheRowFollowsTheSession) {
    // Someone made the file's name beforehand, a link to a file of theirs: the program must not write into it.
    const std::wstring file = ConnectionFilePath(Gbk(L"机房 一"), "127.0.0.1", "3389");
    const std::wstring victim = JoinPath(Environment(L"QUILLON_TEST_DIR"), L"victim.txt");
    ASSERT_TRUE(WriteFileBytes(victim, "theirs"));
    SHCreateDirectoryExW(nullptr, file.substr(0, file.find_last_of(L'\\')).c_str(), nullptr);
    DeleteFileW(file.c_str());
    ASSERT_TRUE(CreateHardLinkW(file.c_str(), victim.c_str(), nullptr));
    Start(L"connect");
    POINT first = CellMiddle(0);
    ASSERT_TRUE(ClickAt(list_, first.x, first.y));
    ASSERT_TRUE(WaitUntil([&] { return ListSelection(list_) == 0; }, kReactTimeout));
    LARGE_INTEGER clicked, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&clicked);
    ASSERT_TRUE(Click(FindControl(main_, Gbk(L"按钮3"))));

    HWND session = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (session = FindWindowW(nullptr, SessionTitle().c_str())) != nullptr; }, kStartTimeout))
        << "no session window";
    const std::string record = Log(L"mstsc-record.txt");
    EXPECT_EQ(record.substr(0, record.find('\n')), Gbk(L"mstsc \"" + file + L"\" /console"));
    EXPECT_EQ(ReadFileBytes(victim).value_or(""), "theirs") << "the planted file was written into";
    // The password went through the data protection service and comes back.
    const size_t second = record.find('\n') + 1;
    EXPECT_EQ(record.substr(second, record.find('\n', second) - second), Gbk(L"密码\u5BC6 x"));
    // The file: GBK bytes, 43 lines, no final line break.
    std::string bytes = ReadFileBytes(file).value_or("");
    EXPECT_EQ(CountLines(bytes), 42);
    EXPECT_NE(bytes.find("\r\nusername:s:admin\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nfull address:s:127.0.0.1:3389\r\n"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - std::min<size_t>(bytes.size(), 23)), "drivestoredirect:s:\r\n\r\n");  // two empty lines last
    ASSERT_GE(record.size(), bytes.size());
    EXPECT_EQ(record.substr(record.size() - bytes.size()), bytes);  // what the client read

    // A figure, not a check: from the click to the client's start.
    const std::string starts = Log(L"mstsc-starts.log");
    std::printf("figure: from the click on the connect button to the client's start: %.1f ms\n",
                (std::stoll(starts.substr(0, starts.find(' '))) - clicked.QuadPart) * 1000.0 / frequency.QuadPart);
    EXPECT_TRUE(WaitUntil([&] { return State(0) == Gbk(L"已连接"); }, kReactTimeout));
    EXPECT_TRUE(WaitUntil([&] { return State(1) == "-----"; }, kReactTimeout));

    // A double-click on the connected row brings the session forward; no second client starts.
    ShowWindow(session, SW_MINIMIZE);
    ASSERT_TRUE(DoubleClickAt(list_, first.x, first.y));
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(session); }, kReactTimeout)) << "the session window stayed minimised";
    Pause(2500);
    EXPECT_EQ(CountLines(Log(L"mstsc-starts.log")), 1);

    // Modify and delete are refused while connected.
    for (auto [item, text] : {std::pair{1, L"该组服务器已经连接,请关闭连接后再进行修改..."},
                              std::pair{2, L"该组服务器已经连接,请关闭连接后再进行删除服务器..."}}) {
        std::optional<MessageBoxView> box = ChooseOnRow(0, item);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, Gbk(text));
        ASSERT_TRUE(PressButton(box->dialog, Gbk(L"确定")));
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box->dialog); }, kReactTimeout));
    }

    // The session ends: the row goes back and the file with the protected password is gone.
    PostMessageW(session, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return State(0) == "-----"; }, kReactTimeout));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(file); }, kReactTimeout)) << "the connection file was left";
    ASSERT_TRUE(CloseQuillon(program_, main_));
    EXPECT_TRUE(program_.WaitForExit(kReactTimeout));
}

TEST_F(SessionTest, WithoutAClientOrAWritableFileTheConnectSaysSo) {
    Start(L"no-client", false);
    POINT second = CellMiddle(1);
    ASSERT_TRUE(DoubleClickAt(list_, second.x, second.y));
    std::optional<MessageBoxView> box = WaitForMessageBox(program_.Id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, Gbk(L"无法启动远程桌面客户端 mstsc.exe。"));
    EXPECT_EQ(box->owner, main_);
    ASSERT_TRUE(PressButton(box->dialog, Gbk(L"确定")));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->dialog); }, kReactTimeout));
    // The file written for it does not stay behind.
    const std::wstring file = ConnectionFilePath("b", "10.0.0.2", "22");
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(file); }, kReactTimeout));

    // A file at its place that cannot be removed (another program holds it): nothing is written into it, the
    // person is told, and no client starts.
    ASSERT_TRUE(InstallClient(true));
    SHCreateDirectoryExW(nullptr, file.substr(0, file.find_last_of(L'\\')).c_str(), nullptr);
    HANDLE held = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(held, "planted", 7, &written, nullptr);
    ASSERT_TRUE(DoubleClickAt(list_, second.x, second.y));
    box = WaitForMessageBox(program_.Id());
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text.starts_with(Gbk(L"无法写入连接文件"))) << box->text;
    ASSERT_TRUE(PressButton(box->dialog, Gbk(L"确定")));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->dialog); }, kReactTimeout));
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(file).value_or(""), "planted");
    EXPECT_TRUE(Log(L"mstsc-starts.log").empty()) << "a client started on a file that was not written";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(CloseQuillon(program_, main_));
}

// The whole way to a real server: FreeRDP's shadow server on the loopback address (NLA only, one user in its
// SAM file), a server with that user and password in the list, the connect button, and FreeRDP's client
// logging in with the file quillon.exe wrote and the password that went through the data protection service
// (the stand-in hands both over).
TEST_F(SessionTest, ARealClientLogsInToARealServerWithThePasswordItWasGiven) {
    const std::string scratch = Utf8(Environment(L"QUILLON_TEST_DIR_UNIX"));
    ASSERT_FALSE(scratch.empty());
    const std::string port = std::to_string(33900 + GetCurrentProcessId() % 1000);
    const std::string password = "s3cret pass";
    ASSERT_TRUE(StartLinuxCommand("echo admin:::$(winpr-hash -u admin -p '" + password + "'):::> " + scratch + "/sam && exec freerdp-shadow-cli /port:" +
             port + " /bind-address:127.0.0.1 /sam-file:" + scratch + "/sam +auth -sec-rdp -sec-tls +sec-nla >" + scratch +
             "/shadow.log 2>&1"));
    const std::wstring result = JoinPath(Environment(L"QUILLON_TEST_DIR"), L"login-result");
    DeleteFileW(result.c_str());
    const std::string resultUnix = scratch + "/login-result";
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUILLON_REAL_LOGIN", std::wstring(resultUnix.begin(), resultUnix.end()).c_str()));
    Start(L"real-login", true, {{"127.0.0.1", port, "admin", password, "real", ""}});
    Pause(2000);  // the server comes up meanwhile
    POINT row = CellMiddle(0);
    ASSERT_TRUE(DoubleClickAt(list_, row.x, row.y));
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(result).has_value(); }, kStartTimeout)) << "the client did not end";
    EXPECT_EQ(ReadFileBytes(result).value_or("(none)"), "0\n") << "the server refused the login";
    SetEnvironmentVariableW(L"QUILLON_REAL_LOGIN", nullptr);
    StartLinuxCommand("pkill -f 'freerdp-shadow-cli /port:" + port + "'");
    if (HWND session = FindWindowW(nullptr, (L"real - 127.0.0.1:" + std::wstring(port.begin(), port.end()) +
                                             L" - \u8FDC\u7A0B\u684C\u9762\u8FDE\u63A5").c_str()))
        PostMessageW(session, WM_CLOSE, 0, 0);
    ASSERT_TRUE(CloseQuillon(program_, main_));
}

}  // namespace
}  // namespace wine_driver
