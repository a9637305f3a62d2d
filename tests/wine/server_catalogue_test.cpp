// The server catalogue as a person works with it in the running program: the right-click menu of the server
// list, the server editor adding and modifying servers, deleting one, sorting by a header click, the error for
// a missing address, hiding the window by minimising it, and the close question. After each change the list
// on screen and the rows stored in config.MDB are both checked: the database is read with the program's own
// catalogue code, from a copy while the program runs (it keeps the file open) and from the file itself once
// it has ended.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {

// The server list's columns, as the person sees them (0 and 1 are hidden).
constexpr int kColumns = 8;
constexpr int kNumberColumn = 2;
constexpr int kIpColumn = 4;
constexpr int kPortColumn = 5;
constexpr int kExpiryColumn = 7;

// The items of the list's menu that can be chosen, from the top (a separator stands before 删除服务器).
constexpr int kMenuAdd = 0;
constexpr int kMenuModify = 1;
constexpr int kMenuDelete = 2;

// What a person types into the editor for one server, which is also what is stored (the note after its
// blanks at both ends are cut).
struct Server {
    std::string ip, port, user, password, note, expiry;
};

// A server as its six stored fields, in a form that prints readably when a comparison fails.
using Fields = std::vector<std::string>;

Fields StoredFields(const Server& server) {
    return {server.ip, server.port, server.user, server.password, server.note, server.expiry};
}

Fields StoredFields(const catalogue::ServerEntry& entry) {
    return {entry.ip, entry.port, entry.user, entry.password, entry.note, entry.dqsj};
}

// The list row of `server` at position `index` (from 0): hidden user and password, the sequence number, an
// empty state, address, port, note and expiry.
std::vector<std::string> ListRow(const Server& server, int index) {
    return {server.user, server.password, std::to_string(index + 1), "", server.ip, server.port, server.note,
            server.expiry};
}

std::vector<std::vector<std::string>> ListRowsOf(const std::vector<Server>& servers) {
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < servers.size(); ++i) rows.push_back(ListRow(servers[i], static_cast<int>(i)));
    return rows;
}


// The rows of table Server in the database file at `path`, in table order.
std::vector<Fields> ServersIn(const std::wstring& path) {
    std::vector<Fields> rows;
    catalogue::ConfigDatabase database;
    if (!database.Open(Utf8(path))) {
        ADD_FAILURE() << "the database does not open: " << database.LastError();
        return rows;
    }
    std::vector<catalogue::ServerEntry> servers;
    EXPECT_TRUE(catalogue::LoadServers(database, servers)) << database.LastError();
    database.Close();
    database.CloseConnection();
    for (const catalogue::ServerEntry& entry : servers) rows.push_back(StoredFields(entry));
    return rows;
}

std::vector<Fields> FieldsOf(const std::vector<Server>& servers) {
    std::vector<Fields> rows;
    for (const Server& server : servers) rows.push_back(StoredFields(server));
    return rows;
}

class ServerCatalogueTest : public ::testing::Test {
protected:
    // Starts a copy of the program in a fresh folder `name` and waits until its start-up loader has filled
    // the list.
    void Start(const std::wstring& name) {
        exe_ = PrepareProgramFolder(name);
        ASSERT_FALSE(exe_.empty()) << "could not copy QUILLON_EXE into the test folder";
        folder_ = exe_.substr(0, exe_.find_last_of(L'\\'));
        program_ = StartQuillon(exe_);
        ASSERT_TRUE(program_.Started()) << program_.Error();
        main_ = WaitForMainWindow(program_);
        ASSERT_NE(main_, nullptr) << "no visible main window";
        ASSERT_TRUE(WaitUntil([&] { return GetPropW(main_, L"QuillonLoaded") != nullptr; }, kReactTimeout))
            << "the start-up loader did not finish";
        list_ = FindControl(main_, Gbk(L"超级列表框1"));
        ASSERT_NE(list_, nullptr);
    }

    void TearDown() override {
        if (program_.Running()) program_.Terminate();
    }

    std::wstring Database() const { return JoinPath(folder_, L"config.MDB"); }

    std::wstring Journal() const { return JoinPath(folder_, L"config.MDB-journal"); }

    // The stored servers while the program runs, read from a copy of config.MDB. The program keeps its
    // journal beside the file while it runs; every change it makes is complete on disk before it reports it,
    // so a copy taken while it idles (after its box is answered) holds every change it made, and the copy,
    // having no journal of its own, is read as it is.
    std::vector<Fields> StoredWhileRunning() {
        const std::wstring copy = JoinPath(folder_, L"snapshot.MDB");
        DeleteFileW(copy.c_str());
        if (!CopyFileW(Database().c_str(), copy.c_str(), FALSE)) {
            ADD_FAILURE() << "could not copy config.MDB (error " << GetLastError() << ")";
            return {};
        }
        std::vector<Fields> rows = ServersIn(copy);
        DeleteFileW(copy.c_str());
        return rows;
    }

    // The list's rows with the status column left empty: the session monitor writes it ("-----" here, with no
    // session running), and the session tests check it.
    std::vector<std::vector<std::string>> ShownRows() const {
        std::vector<std::vector<std::string>> rows = ListRows(list_, kColumns);
        for (std::vector<std::string>& row : rows)
            if (row.size() > 3) row[3].clear();
        return rows;
    }

    // Waits for the list to show `expected`, then compares (so that a failure prints both).
    void ExpectListShows(const std::vector<std::vector<std::string>>& expected) {
        WaitUntil([&] { return ShownRows() == expected; }, kReactTimeout);
        EXPECT_EQ(ShownRows(), expected);
    }

    // The list and the database after a change: the list shows `shown` (in that order, numbered 1..n) and
    // table Server holds `stored` (in table order).
    void ExpectListAndDatabase(const std::vector<Server>& shown, const std::vector<Server>& stored) {
        ExpectListShows(ListRowsOf(shown));
        EXPECT_EQ(StoredWhileRunning(), FieldsOf(stored));
    }

    // Right-clicks the list on `row` (-1: below the rows) and chooses item `choosable` of the menu that shows.
    void ChooseFromListMenu(int row, int choosable) {
        int x = 0, y = 0;
        if (row >= 0) {
            std::optional<RECT> cell = ListCellRect(list_, row, kIpColumn);
            ASSERT_TRUE(cell.has_value()) << "no rectangle for row " << row;
            x = (cell->left + cell->right) / 2;
            y = (cell->top + cell->bottom) / 2;
        } else {
            RECT client{};
            ASSERT_TRUE(GetClientRect(list_, &client));
            x = client.right / 2;
            y = client.bottom - 10;
        }
        ASSERT_TRUE(RightClickAt(list_, x, y));
        HWND menu = WaitForPopupMenu(program_.Id());
        ASSERT_NE(menu, nullptr) << "no menu after the right click on row " << row;
        ASSERT_TRUE(ChooseMenuItem(menu, choosable));
        EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout)) << "the menu stays open";
    }

    // Waits for the server editor with caption `caption` (its save button reading `save`).
    HWND WaitForEditor(const std::wstring& caption, const std::wstring& save) {
        HWND editor = program_.WaitForNamedWindow("ServerEditorWindow", kReactTimeout);
        EXPECT_NE(editor, nullptr) << "the server editor did not open";
        if (!editor) return nullptr;
        EXPECT_TRUE(WaitUntil([&] { return ReadText(editor) == Gbk(caption); }, kReactTimeout))
            << "caption " << ReadText(editor);
        HWND button = FindControl(editor, Gbk(L"按钮1"));
        EXPECT_NE(button, nullptr);
        if (button) {
            EXPECT_EQ(ReadText(button), Gbk(save));
        }
        EXPECT_EQ(GetWindow(editor, GW_OWNER), main_);
        EXPECT_FALSE(IsEnabled(main_)) << "MainWindow is not disabled under the editor";
        return editor;
    }

    // Types `server` into the editor's boxes over what they hold.
    static void Fill(HWND editor, const Server& server) {
        struct Box {
            const wchar_t* name;
            const std::string& text;
        };
        for (const Box& box : {Box{L"编辑框_地址", server.ip}, Box{L"编辑框_端口", server.port},
                               Box{L"编辑框_用户名", server.user}, Box{L"编辑框_密码", server.password},
                               Box{L"编辑框1", server.note}, Box{L"编辑框2", server.expiry}}) {
            HWND edit = FindControl(editor, Gbk(box.name));
            ASSERT_NE(edit, nullptr) << Gbk(box.name);
            ASSERT_TRUE(TypeOver(edit, box.text));
            EXPECT_EQ(ReadText(edit), box.text) << Gbk(box.name);
        }
    }

    // What the editor's boxes hold, in the order of the stored fields.
    static Fields EditorFields(HWND editor) {
        Fields fields;
        for (const wchar_t* name : {L"编辑框_地址", L"编辑框_端口", L"编辑框_用户名", L"编辑框_密码", L"编辑框1", L"编辑框2"}) {
            fields.push_back(ReadText(FindControl(editor, Gbk(name))));
        }
        return fields;
    }

    // Expects the program's message box with `text` and the default title "信息：" and presses its OK.
    void ConfirmMessage(const std::wstring& text) {
        std::optional<MessageBoxView> box = WaitForMessageBox(program_.Id());
        ASSERT_TRUE(box.has_value()) << "no message box; expected " << Gbk(text);
        EXPECT_EQ(box->title, Gbk(L"信息："));
        EXPECT_EQ(box->text, Gbk(text));
        EXPECT_EQ(box->buttons.size(), 1u);
        ASSERT_TRUE(PressButtonId(box->dialog, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box->dialog); }, kReactTimeout)) << "the box stays open";
    }

    // Saves the editor with 按钮1, confirms the success box `success` and expects the editor closed.
    void SaveAndConfirm(HWND editor, const std::wstring& success) {
        ASSERT_TRUE(Click(FindControl(editor, Gbk(L"按钮1"))));
        ConfirmMessage(success);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(editor); }, kReactTimeout)) << "the editor stays open";
        EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main_); }, kReactTimeout)) << "MainWindow not enabled again";
    }

    void AddThroughMenu(int row, const Server& typed) {
        ChooseFromListMenu(row, kMenuAdd);
        HWND editor = WaitForEditor(L"添加服务器", L"添加");
        ASSERT_NE(editor, nullptr);
        Fill(editor, typed);
        SaveAndConfirm(editor, L"服务器已经成功添加...");
    }

    // Clicks the header of `column` and waits for the list to show `expected`.
    void SortBy(int column, const std::vector<Server>& expected) {
        ASSERT_TRUE(ClickListHeader(list_, column));
        ExpectListShows(ListRowsOf(expected));
    }

    // Answers the close question with `button` (IDOK or IDCANCEL).
    void AnswerCloseQuestion(int button) {
        ASSERT_TRUE(RequestClose(main_));
        std::optional<MessageBoxView> box = WaitForMessageBox(program_.Id());
        ASSERT_TRUE(box.has_value()) << "no close question";
        EXPECT_EQ(box->title, Gbk(L"提示:"));
        EXPECT_EQ(box->text, Gbk(L"确认是否关闭"));
        EXPECT_EQ(box->buttons.size(), 2u) << "OK and Cancel";
        ASSERT_TRUE(PressButtonId(box->dialog, button));
    }

    // Ends the program through the close question and expects a clean end.
    void EndProgram() {
        AnswerCloseQuestion(IDOK);
        ASSERT_TRUE(program_.WaitForExit(kReactTimeout)) << "still running after OK to the close question";
        EXPECT_EQ(program_.ExitCode(), 0u);
    }

    std::wstring exe_, folder_;
    Process program_;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(ServerCatalogueTest, AddModifySortAndDeleteThroughTheMenuReachTheListAndTheDatabase) {
    ASSERT_NO_FATAL_FAILURE(Start(L"catalogue"));
    ASSERT_EQ(ListItemCount(list_), 0);
    ASSERT_EQ(StoredWhileRunning(), std::vector<Fields>());

    // Typed as a person would; the note of the third has blanks around it, which are not stored.
    const Server first{"192.168.10.5", "3389", "Administrator", "pa55", Gbk(L"机房一"), "2027/3/1 10:00:00"};
    const Server second{"10.0.0.17", "13389", "ops", "x'y", Gbk(L"张三's \"测试\" 机"), "2026/12/31 08:30:00"};
    const Server thirdTyped{"172.16.3.2", "5000", "admin", "secret", Gbk(L"  备用  "), "2027/12/1 00:00:00"};
    Server third = thirdTyped;
    third.note = Gbk(L"备用");

    // The first server on an empty list: the right click can only be beside the rows.
    AddThroughMenu(-1, first);
    ExpectListAndDatabase({first}, {first});
    AddThroughMenu(0, second);
    ExpectListAndDatabase({first, second}, {first, second});
    AddThroughMenu(1, thirdTyped);
    ExpectListAndDatabase({first, second, third}, {first, second, third});

    // Modify the first: the editor shows the row's values; the changed server keeps its place.
    ChooseFromListMenu(0, kMenuModify);
    HWND editor = WaitForEditor(L"修改服务器", L"修改");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(EditorFields(editor), StoredFields(first));
    const Server changed{"192.168.10.6", "3390", "root", "n3w", Gbk(L"机房一（新）"), "2027/4/1 09:00:00"};
    Fill(editor, changed);
    SaveAndConfirm(editor, L"修改服务器成功...");
    ExpectListAndDatabase({changed, second, third}, {changed, second, third});

    // Sorting: 端口 by number (3390 < 5000 < 13389, where the texts would put 13389 first), first ascending,
    // then descending; then 服务器IP as text, ascending again. Only the list changes, never the table.
    SortBy(kPortColumn, {changed, third, second});
    SortBy(kPortColumn, {second, third, changed});
    SortBy(kIpColumn, {second, third, changed});
    EXPECT_EQ(StoredWhileRunning(), FieldsOf({changed, second, third}));
    // The next sort turns round again: 服务器IP descending.
    SortBy(kIpColumn, {changed, third, second});
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(ListCellText(list_, row, kNumberColumn), std::to_string(row + 1)) << "row " << row;
    }
    // 到期时间 by date, ascending again: 2026/12/31 < 2027/4/1 < 2027/12/1 (as texts 2027/12/1 would come
    // before 2027/4/1).
    SortBy(kExpiryColumn, {second, changed, third});

    // Delete the server with the quotes in its note: the first row of the sorted list, the second row of the
    // table. The list is then filled again from the table, in table order.
    // Its connection file goes with it (named after the note without its spaces, each quote made "_", in the
    // server's own folder); another server's file stays.
    const std::wstring deletedFile = ConnectionFilePath(second.note, second.ip, second.port);
    const std::wstring keptFile = ConnectionFilePath(changed.note, changed.ip, changed.port);
    EXPECT_NE(deletedFile.find(L"张三's_测试_机.rdp"), std::wstring::npos);
    for (const std::wstring& file : {deletedFile, keptFile})
        SHCreateDirectoryExW(nullptr, file.substr(0, file.find_last_of(L'\\')).c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(deletedFile, "screen mode id:i:1\r\n"));
    ASSERT_TRUE(WriteFileBytes(keptFile, "screen mode id:i:1\r\n"));
    ChooseFromListMenu(0, kMenuDelete);
    ConfirmMessage(L"成功删除一组服务器信息...");
    ExpectListAndDatabase({changed, third}, {changed, third});
    EXPECT_FALSE(FileExists(deletedFile)) << "the deleted server's connection file is still there";
    EXPECT_TRUE(FileExists(keptFile));
    DeleteFileW(keptFile.c_str());

    // What the program stored is still there once it has ended.
    EndProgram();
    EXPECT_FALSE(FileExists(Journal())) << "the journal was left behind";
    EXPECT_EQ(ServersIn(Database()), FieldsOf({changed, third}));
}

TEST_F(ServerCatalogueTest, AnEmptyAddressIsRefusedAndTheEditorKeepsWhatWasTyped) {
    ASSERT_NO_FATAL_FAILURE(Start(L"empty-address"));
    ChooseFromListMenu(-1, kMenuAdd);
    HWND editor = WaitForEditor(L"添加服务器", L"添加");
    ASSERT_NE(editor, nullptr);
    const Server typed{"", "3389", "admin", "secret", Gbk(L"测试机"), "2027/1/2 03:04:05"};
    Fill(editor, typed);
    ASSERT_TRUE(Click(FindControl(editor, Gbk(L"按钮1"))));

    std::optional<MessageBoxView> box = WaitForMessageBox(program_.Id());
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_EQ(box->title, Gbk(L"信息："));
    EXPECT_EQ(box->text, Gbk(L"服务器IP不能为空..."));
    EXPECT_TRUE(box->hasIcon);
    ASSERT_TRUE(PressButtonId(box->dialog, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->dialog); }, kReactTimeout));

    // The editor stays, holding what was typed; nothing was stored.
    Pause(300);
    ASSERT_TRUE(IsWindow(editor) && IsShown(editor)) << "the editor closed after the error";
    EXPECT_EQ(EditorFields(editor), StoredFields(typed));
    EXPECT_EQ(ListItemCount(list_), 0);
    EXPECT_EQ(StoredWhileRunning(), std::vector<Fields>());

    // With an address the same editor saves.
    Server completed = typed;
    completed.ip = "10.1.2.3";
    ASSERT_TRUE(TypeOver(FindControl(editor, Gbk(L"编辑框_地址")), completed.ip));
    SaveAndConfirm(editor, L"服务器已经成功添加...");
    ExpectListAndDatabase({completed}, {completed});

    // Cancel leaves everything as it was.
    ChooseFromListMenu(-1, kMenuAdd);
    editor = WaitForEditor(L"添加服务器", L"添加");
    ASSERT_NE(editor, nullptr);
    Fill(editor, Server{"10.9.9.9", "3389", "x", "y", "z", ""});
    ASSERT_TRUE(Click(FindControl(editor, Gbk(L"按钮2"))));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(editor); }, kReactTimeout)) << "取消 did not close the editor";
    EXPECT_FALSE(FindMessageBox(program_.Id()).has_value());
    ExpectListAndDatabase({completed}, {completed});
    EndProgram();
}

TEST_F(ServerCatalogueTest, EmptyNotesGetTheirDefaultsAndModifyOrDeleteWantARow) {
    ASSERT_NO_FATAL_FAILURE(Start(L"defaults"));
    // Added without a note: "我的服务器" and the first number of the classic C generator started from 999:
    // 999 * 214013 + 2531011 = 216329998, >> 16 = 3300, 3300 % 999 + 1 = 304.
    Server server{"10.20.30.40", "3389", "admin", "pw", "", ""};
    AddThroughMenu(-1, server);
    server.note = Gbk(L"我的服务器304");
    ExpectListAndDatabase({server}, {server});

    // Modified with the note emptied: plain "我的服务器". The right click on the row selects it.
    ChooseFromListMenu(0, kMenuModify);
    EXPECT_EQ(ListSelection(list_), 0);
    HWND editor = WaitForEditor(L"修改服务器", L"修改");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(EditorFields(editor), StoredFields(server));
    ASSERT_TRUE(TypeOver(FindControl(editor, Gbk(L"编辑框1")), ""));
    SaveAndConfirm(editor, L"修改服务器成功...");
    server.note = Gbk(L"我的服务器");
    ExpectListAndDatabase({server}, {server});

    // A right click beside the rows leaves no row selected: modify and delete say so and change nothing.
    ChooseFromListMenu(-1, kMenuModify);
    EXPECT_EQ(ListSelection(list_), -1);
    ConfirmMessage(L"请选择一组服务器进行修改...");
    EXPECT_EQ(program_.WaitForNamedWindow("ServerEditorWindow", 300), nullptr) << "the editor opened";
    ChooseFromListMenu(-1, kMenuDelete);
    ConfirmMessage(L"请选择一组服务器进行删除...");
    ExpectListAndDatabase({server}, {server});
    EndProgram();
}

TEST_F(ServerCatalogueTest, MinimisingHidesTheWindowAndASecondStartShowsItAgain) {
    ASSERT_NO_FATAL_FAILURE(Start(L"minimise"));
    // As the taskbar's minimise would do it.
    ShowWindow(main_, SW_MINIMIZE);
    EXPECT_TRUE(WaitUntil([&] { return !IsShown(main_); }, kReactTimeout)) << "the minimised window stays shown";
    EXPECT_TRUE(program_.Running());

    Process second = Process::Start(exe_);
    ASSERT_TRUE(second.Started()) << second.Error();
    ASSERT_TRUE(second.WaitForExit(kStartTimeout)) << "the second copy did not end";
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return IsShown(main_) && !IsMinimised(main_); }, kReactTimeout))
        << "visible " << IsShown(main_) << ", minimised " << IsMinimised(main_);
    EXPECT_TRUE(program_.Running());
    EndProgram();
}

TEST_F(ServerCatalogueTest, TheCloseQuestionCancelHidesTheWindowAndOkEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(Start(L"close-question"));
    AnswerCloseQuestion(IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return !IsShown(main_); }, kReactTimeout)) << "Cancel did not hide the window";
    // Still running a while later, without a box.
    EXPECT_FALSE(program_.WaitForExit(1000)) << "the program ended on Cancel";
    EXPECT_FALSE(FindMessageBox(program_.Id()).has_value());
    EXPECT_TRUE(IsWindow(main_));

    // The hidden window is asked again (as its notification icon's menu would); OK ends the program.
    EndProgram();
    EXPECT_FALSE(InstanceMarkExists());
}

}  // namespace
}  // namespace wine_driver
