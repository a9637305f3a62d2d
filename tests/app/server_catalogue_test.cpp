// The server list, its menu and the server editor against the in-memory windows and a real config.MDB:
// what the person sees in the list and the message boxes, and what the table Server holds afterwards (read
// back through a second connection to the file, not through the list).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

namespace fs = std::filesystem;
using app::ServerCatalogue;
using catalogue::ServerEntry;
using runtime::Message;
using runtime::MessageIcon;
using runtime::ModelDialogs;
using runtime::ModelForm;

constexpr char kList[] = "超级列表框1";
constexpr char kEditor[] = "ServerEditorWindow";

struct Typed {
    std::string ip, port, user, password, note, expiry;
};

// Message boxes as ModelDialogs records them, noting whether the database lock was free at each: a box's
// message loop can run a handler (the close question) that takes the lock, so holding it there would hang.
class LockCheckingDialogs : public ModelDialogs {
public:
    explicit LockCheckingDialogs(std::mutex& lock) : lock_(lock) {}
    runtime::MessageAnswer ShowMessage(const Message& message) override {
        if (lock_.try_lock()) {
            lock_.unlock();
        } else {
            ADD_FAILURE() << "the database lock is held while \"" << message.text << "\" shows";
        }
        return ModelDialogs::ShowMessage(message);
    }

private:
    std::mutex& lock_;
};

class ServerCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillon_catalogue_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = (fs::path(folder_) / "config.MDB").string();
        ASSERT_TRUE(catalogue::EnsureConfigDatabaseFile(path_));
        ASSERT_TRUE(database_.Open(path_));
        main_.Open();
        main_.MoveTo(0, 0);
        catalogue_.BindMainWindow(main_);
        catalogue_.RefreshServerList(main_);
    }
    void TearDown() override {
        database_.CloseConnection();
        fs::remove_all(folder_);
    }

    // The rows of table Server as a second connection reads them.
    std::vector<ServerEntry> Stored() {
        catalogue::ConfigDatabase reader;
        EXPECT_TRUE(reader.OpenForReading(path_)) << reader.LastError();
        std::vector<ServerEntry> rows;
        EXPECT_TRUE(catalogue::LoadServers(reader, rows)) << reader.LastError();
        return rows;
    }
    // Column `column` of every list row, top to bottom.
    std::vector<std::string> ListColumn(int column) const {
        std::vector<std::string> cells;
        for (int row = 0; row < main_.ListRowCount(kList); ++row) cells.push_back(main_.ListCell(kList, row, column));
        return cells;
    }
    static void Type(ModelForm& editor, const Typed& typed) {
        EXPECT_TRUE(editor.TypeText("编辑框_地址", typed.ip));
        EXPECT_TRUE(editor.TypeText("编辑框_端口", typed.port));
        EXPECT_TRUE(editor.TypeText("编辑框_用户名", typed.user));
        EXPECT_TRUE(editor.TypeText("编辑框_密码", typed.password));
        EXPECT_TRUE(editor.TypeText("编辑框1", typed.note));
        EXPECT_TRUE(editor.TypeText("编辑框2", typed.expiry));
    }
    // Adds a server through the menu and the editor, as the person would; the editor must close.
    void Add(const Typed& typed) {
        dialogs_.Expect(kEditor, [&](ModelForm& editor) {
            Type(editor, typed);
            EXPECT_TRUE(editor.Click("按钮1"));
            EXPECT_FALSE(editor.IsOpen()) << "the editor stayed open after adding " << typed.ip;
        });
        ChooseFromMenu(0, 0);
    }
    // Right-clicks list row `row` (beside the rows when the list is empty) and chooses menu item `item` of
    // "菜单".
    void ChooseFromMenu(int row, int item) {
        main_.AnswerMenu("菜单", item);
        ASSERT_TRUE(main_.RightClickRow(kList, main_.ListRowCount(kList) == 0 ? -1 : row));
    }
    Message Last() const { return dialogs_.Messages().empty() ? Message{} : dialogs_.Messages().back(); }

    std::string folder_, path_;
    catalogue::ConfigDatabase database_;
    std::mutex lock_;
    LockCheckingDialogs dialogs_{lock_};
    std::vector<std::string> deleted_;
    std::set<std::string> clientFiles_;  // connection files a started client still uses
    app::ServerModel model_;
    ServerCatalogue catalogue_{model_,
                               {&database_, &lock_, &dialogs_,
                                [this](const std::string& file) { deleted_.push_back(file); },
                                [this](const std::string& file) { return clientFiles_.contains(file); },
                                [] { return runtime::DateTimeValue{2025, 7, 1, 12, 0, 0}; }}};
    ModelForm main_{ui::MainWindowSpec()};
};

TEST_F(ServerCatalogueTest, AddingStoresTheExactFieldsRefillsTheListAndSaysSo) {
    Add({"10.0.0.1", "3389", "Administrator", "pw", "机房 A", "2025/7/3 14:05:09"});
    EXPECT_EQ(Last(), (Message{"服务器已经成功添加...", "", MessageIcon::Information, runtime::MessageButtons::Ok}));
    std::vector<ServerEntry> rows = Stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].ip, "10.0.0.1");
    EXPECT_EQ(rows[0].note, "机房 A");
    EXPECT_EQ(rows[0].dqsj, "2025/7/3 14:05:09");
    EXPECT_EQ(main_.ListRows(kList)[0].cells,
              (std::vector<std::string>{"Administrator", "pw", "1", "", "10.0.0.1", "3389", "机房 A", "2025/7/3 14:05:09"}));
    EXPECT_EQ(catalogue_.ServerEditorMode(), ServerCatalogue::kAdd);
}

TEST_F(ServerCatalogueTest, TheEditorOpensCentredWithItsModeCaptionsAndFocusOnTheAddress) {
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        EXPECT_EQ(editor.Caption(), "添加服务器");
        EXPECT_EQ(editor.Text("按钮1"), "添加");
        EXPECT_EQ(editor.FocusedControl(), "编辑框_地址");
        // 925 x 558 main window at (0, 0), 300 x 214 editor: 462.5 - 150 = 312.5 -> 312; 279 - 107 = 172.
        EXPECT_EQ(editor.Left(), 312);
        EXPECT_EQ(editor.Top(), 172);
        // The fields keep their initial contents in add mode.
        EXPECT_EQ(editor.Text("编辑框_端口"), "3389");
        EXPECT_EQ(editor.Text("编辑框_用户名"), "Administrator");
        EXPECT_TRUE(editor.Click("按钮2"));
    });
    ChooseFromMenu(0, 0);
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_TRUE(Stored().empty()) << "cancel must save nothing";
}

TEST_F(ServerCatalogueTest, DefaultNotesDifferBetweenAddAndModify) {
    Add({"10.0.0.1", "3389", "u", "p", "", ""});
    Add({"10.0.0.2", "3389", "u", "p", " \xA1\xA1 ", ""});  // ASCII and full-width blanks only
    std::vector<ServerEntry> rows = Stored();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].note, "我的服务器304");
    EXPECT_EQ(rows[1].note, "我的服务器304");

    // Modify: an empty note becomes the plain default, a note of blanks is stored as it is.
    for (const std::string& typed : {std::string(""), std::string("   ")}) {
        main_.SetListSelectedRow(kList, 0);
        dialogs_.Expect(kEditor, [&](ModelForm& editor) {
            EXPECT_TRUE(editor.TypeText("编辑框1", typed));
            EXPECT_TRUE(editor.Click("按钮1"));
            EXPECT_FALSE(editor.IsOpen());
        });
        ChooseFromMenu(0, 1);
        EXPECT_EQ(Last().text, "修改服务器成功...");
        EXPECT_EQ(Stored()[0].note, typed.empty() ? "我的服务器" : typed);
    }
}

TEST_F(ServerCatalogueTest, MissingFieldsAreNamedInOrderAndTheEditorKeepsItsContents) {
    struct Case {
        Typed typed;
        std::string message;
    } cases[] = {
        {{"", "", "", "", "n", ""}, "服务器IP不能为空..."},
        {{"h", "", "", "", "n", ""}, "服务器用户名不能为空..."},
        {{"h", "", "u", "", "n", ""}, "服务器密码不能为空..."},
        {{"h", "", "u", "p", "n", ""}, "服务器端口不能为空..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        dialogs_.Expect(kEditor, [&](ModelForm& editor) {
            Type(editor, c.typed);
            EXPECT_TRUE(editor.Click("按钮1"));
            EXPECT_TRUE(editor.IsOpen());
            EXPECT_EQ(editor.Text("编辑框_用户名"), c.typed.user);
            EXPECT_TRUE(editor.Click("按钮2"));
        });
        ChooseFromMenu(0, 0);
        EXPECT_EQ(Last(), (Message{c.message, "", MessageIcon::Error, runtime::MessageButtons::Ok}));
    }
    EXPECT_TRUE(Stored().empty());

    // Blanks are content: a port of blanks passes and is stored as typed.
    Add({" ", "  ", " ", " ", "n", ""});
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Stored()[0].port, "  ");
}

TEST_F(ServerCatalogueTest, AFieldLongerThanItsColumnIsRefusedBeforeSaving) {
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        Type(editor, {"h", "3389", "u", std::string(21, 'p'), "n", ""});
        EXPECT_TRUE(editor.Click("按钮1"));
        EXPECT_TRUE(editor.IsOpen());
        EXPECT_EQ(editor.Text("编辑框_密码"), std::string(21, 'p'));
        EXPECT_TRUE(editor.Click("按钮2"));
    });
    ChooseFromMenu(0, 0);
    EXPECT_EQ(Last(), (Message{"服务器密码不能超过20个字符...", "", MessageIcon::Error, runtime::MessageButtons::Ok}));
    EXPECT_TRUE(Stored().empty());

    // The same refusals when modifying (found under the database lock, said once it is released).
    Add({"h", "3389", "u", "p", "n", ""});
    main_.SetListSelectedRow(kList, 0);
    struct Case { Typed typed; std::string message; };
    const Case cases[] = {{{"h", "3389", "u", std::string(21, 'p'), "n", ""}, "服务器密码不能超过20个字符..."},
                          {{"", "3389", "u", "p", "n", ""}, "服务器IP不能为空..."}};
    for (const Case& c : cases) {
        dialogs_.Expect(kEditor, [&](ModelForm& editor) {
            Type(editor, c.typed);
            EXPECT_TRUE(editor.Click("按钮1"));
            EXPECT_TRUE(editor.IsOpen());
            EXPECT_TRUE(editor.Click("按钮2"));
        });
        ChooseFromMenu(0, 1);
        EXPECT_EQ(Last().text, c.message);
    }
    EXPECT_EQ(Stored()[0].password, "p");
}

TEST_F(ServerCatalogueTest, ASaveTheDatabaseRefusesIsReportedAndTheEditorStaysOpen) {
    database_.CloseConnection();  // every statement now fails
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        Type(editor, {"h", "3389", "u", "p", "n", ""});
        EXPECT_TRUE(editor.Click("按钮1"));
        EXPECT_TRUE(editor.IsOpen());
        EXPECT_EQ(editor.Text("编辑框_地址"), "h");
        EXPECT_TRUE(editor.Click("按钮2"));
    });
    catalogue_.BeginAddServer(main_);
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_TRUE(Last().text.starts_with("服务器信息保存失败...")) << Last().text;
    EXPECT_EQ(Last().icon, MessageIcon::Error);
}

TEST_F(ServerCatalogueTest, QuotesInEveryFieldAreStoredAndFoundAgainExactly) {
    const Typed tricky{"x' or '1'='1", "33'89", "O'Brien", "p'w''", "it's", "2025/7/3 14:05:09"};
    Add(tricky);
    Add({"10.0.0.2", "3389", "u", "p", "other", ""});
    ASSERT_EQ(Stored().size(), 2u);

    // Modify the tricky row: it must be found by its exact address and port, and only it changes.
    main_.SetListSelectedRow(kList, 0);
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        EXPECT_EQ(editor.Text("编辑框_地址"), tricky.ip);
        EXPECT_EQ(editor.Text("编辑框_密码"), tricky.password);
        EXPECT_TRUE(editor.TypeText("编辑框1", "it's changed"));
        EXPECT_TRUE(editor.Click("按钮1"));
        EXPECT_FALSE(editor.IsOpen());
    });
    ChooseFromMenu(0, 1);
    std::vector<ServerEntry> rows = Stored();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].note, "it's changed");
    EXPECT_EQ(rows[0].ip, tricky.ip);
    EXPECT_EQ(rows[1].note, "other");

    // Delete it: only the tricky row goes, and its connection file is removed first.
    main_.SetListSelectedRow(kList, 0);
    ChooseFromMenu(0, 3);
    EXPECT_EQ(Last(), (Message{"成功删除一组服务器信息...", "", MessageIcon::Information, runtime::MessageButtons::Ok}));
    rows = Stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].ip, "10.0.0.2");
    // The files: the one named after the old note when the note changed, then the deleted server's.
    EXPECT_EQ(deleted_, (std::vector<std::string>{session::ConnectionNameOf("it's", tricky.ip, tricky.port).file,
                                                  session::ConnectionNameOf("it's changed", tricky.ip, tricky.port).file}));
}

TEST_F(ServerCatalogueTest, DuplicatesAreAddedTwiceModifiedFirstOnlyAndDeletedTogether) {
    Add({"10.0.0.1", "3389", "u", "p", "first", ""});
    Add({"10.0.0.9", "22", "u", "p", "between", ""});
    Add({"10.0.0.1", "3389", "u", "p", "second", ""});
    ASSERT_EQ(Stored().size(), 3u);

    // Modify the third list row (the second duplicate): the first of the pair in table order changes.
    main_.SetListSelectedRow(kList, 2);
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        EXPECT_EQ(editor.Text("编辑框1"), "second");
        EXPECT_TRUE(editor.TypeText("编辑框1", "changed"));
        EXPECT_TRUE(editor.Click("按钮1"));
    });
    ChooseFromMenu(2, 1);
    std::vector<ServerEntry> rows = Stored();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].note, "changed");
    EXPECT_EQ(rows[2].note, "second");

    // Delete either duplicate: both go.
    main_.SetListSelectedRow(kList, 2);
    ChooseFromMenu(2, 3);
    rows = Stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].note, "between");
    EXPECT_EQ(ListColumn(2), (std::vector<std::string>{"1"}));
}

TEST_F(ServerCatalogueTest, ModifyingARowThatVanishedStopsWithoutAWord) {
    Add({"10.0.0.1", "3389", "u", "p", "n", ""});
    size_t messages = dialogs_.Messages().size();
    main_.SetListSelectedRow(kList, 0);
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        // The row goes while the editor is open.
        ASSERT_TRUE(database_.Execute("delete from Server"));
        EXPECT_TRUE(editor.TypeText("编辑框1", "new"));
        EXPECT_TRUE(editor.Click("按钮1"));
        EXPECT_TRUE(editor.IsOpen());
        EXPECT_TRUE(editor.Click("按钮2"));
    });
    ChooseFromMenu(0, 1);
    EXPECT_EQ(dialogs_.Messages().size(), messages);
    EXPECT_TRUE(Stored().empty());
}

TEST_F(ServerCatalogueTest, SelectionAndConnectedStateGuardModifyAndDelete) {
    Add({"10.0.0.1", "3389", "u", "p", "n", ""});
    ServerEntry before = Stored()[0];

    main_.SetListSelectedRow(kList, -1);
    catalogue_.BeginModifyServer(main_);
    EXPECT_EQ(Last(), (Message{"请选择一组服务器进行修改...", "", MessageIcon::Error, runtime::MessageButtons::Ok}));
    catalogue_.DeleteSelectedServer(main_);
    EXPECT_EQ(Last(), (Message{"请选择一组服务器进行删除...", "", MessageIcon::Error, runtime::MessageButtons::Ok}));

    main_.SetListSelectedRow(kList, 0);
    model_.SetSessionsFound({1});
    catalogue_.BeginModifyServer(main_);
    EXPECT_EQ(Last(), (Message{"该组服务器已经连接,请关闭连接后再进行修改...", "", MessageIcon::Warning,
                               runtime::MessageButtons::Ok}));
    catalogue_.DeleteSelectedServer(main_);
    EXPECT_EQ(Last(), (Message{"该组服务器已经连接,请关闭连接后再进行删除服务器...", "", MessageIcon::Warning,
                               runtime::MessageButtons::Ok}));
    EXPECT_TRUE(deleted_.empty());
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Stored()[0].note, before.note);
    EXPECT_EQ(dialogs_.Opened().size(), 1u) << "the editor must not open for a connected server";

    // No session window yet, but the client the program started still uses the file (a log-on prompt):
    // a changed note or a deleted server would leave the file and the session behind.
    model_.SetSessionsFound({0});
    clientFiles_.insert(model_.at(0).connection.file);
    catalogue_.BeginModifyServer(main_);
    EXPECT_EQ(Last().text, "该组服务器正在连接,请关闭远程桌面客户端后再进行修改...");
    catalogue_.DeleteSelectedServer(main_);
    EXPECT_EQ(Last().text, "该组服务器正在连接,请关闭远程桌面客户端后再进行删除服务器...");
    EXPECT_EQ(dialogs_.Opened().size(), 1u);

    // "-----" and no client: delete goes ahead.
    clientFiles_.clear();
    catalogue_.DeleteSelectedServer(main_);
    EXPECT_TRUE(Stored().empty());
}

TEST_F(ServerCatalogueTest, AChangeRenumbersTheListAndServersThatStayKeepTheirSessions) {
    Add({"10.0.0.1", "3389", "u", "p", "a", ""});
    Add({"10.0.0.2", "3389", "u", "p", "b", ""});
    model_.SetSessionsFound({0, 1});
    main_.ClickColumn(kList, 4);  // ascending by address
    main_.ClickColumn(kList, 4);  // descending: b above a
    EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"b", "a"}));
    Add({"10.0.0.3", "3389", "u", "p", "c", ""});
    EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"a", "b", "c"})) << "the list is back in table order";
    EXPECT_EQ(ListColumn(2), (std::vector<std::string>{"1", "2", "3"}));
    // A refill must not make a connected server look free to delete until the monitor looks again.
    EXPECT_EQ(ListColumn(3), (std::vector<std::string>{"-----", "已连接", ""}));
}

TEST_F(ServerCatalogueTest, ModifyFillsTheEditorFromTheRowAndThePickerFromTheExpiryText) {
    Add({"10.0.0.1", "3389", "root", "secret", "n", "2025/7/3 02:05:09"});
    main_.SetListSelectedRow(kList, 0);
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        EXPECT_EQ(editor.Caption(), "修改服务器");
        EXPECT_EQ(editor.Text("按钮1"), "修改");
        EXPECT_EQ(editor.Text("编辑框_用户名"), "root");
        EXPECT_EQ(editor.Text("编辑框_密码"), "secret");
        EXPECT_EQ(editor.Text("编辑框2"), "2025/7/3 02:05:09");
        EXPECT_EQ(editor.DateValue("日期框1"), (runtime::DateTimeValue{2025, 7, 3, 2, 5, 9}));
        // Choosing a day keeps the time of day and writes the 24-hour text.
        editor.SetDateValue("日期框1", {2025, 7, 3, 14, 5, 9});
        EXPECT_TRUE(editor.ChooseDate("日期框1", 2026, 1, 31));
        EXPECT_EQ(editor.Text("编辑框2"), "2026/1/31 14:05:09");
        EXPECT_TRUE(editor.Click("按钮1"));
    });
    ChooseFromMenu(0, 1);
    EXPECT_EQ(Stored()[0].dqsj, "2026/1/31 14:05:09");
    EXPECT_EQ(catalogue_.ServerEditorMode(), ServerCatalogue::kModify);
}

// The editor open on one server while the reminder's click re-sorts the list, filters it and selects another:
// the save still lands on the server the editor was opened on.
TEST_F(ServerCatalogueTest, ModifySavesTheServerItWasOpenedOnWhateverTheListShowsMeanwhile) {
    Add({"10.0.0.1", "3389", "u", "p", "A", "2027/1/1"});
    Add({"10.0.0.2", "3389", "u", "p", "B", "2025/7/2"});  // due: the reminder selects it
    main_.SetListSelectedRow(kList, 0);
    dialogs_.Expect(kEditor, [&](ModelForm& editor) {
        catalogue_.ShowDueServers(main_);
        EXPECT_EQ(main_.ListCell(kList, main_.ListSelectedRow(kList), 6), "B");
        EXPECT_TRUE(editor.TypeText("编辑框1", "A changed"));
        EXPECT_TRUE(editor.Click("按钮1"));
        EXPECT_FALSE(editor.IsOpen());
    });
    ChooseFromMenu(0, 1);
    const std::vector<ServerEntry> rows = Stored();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].note, "A changed");
    EXPECT_EQ(rows[1].note, "B");
}

// What the database could not hold as typed, or an expiry the colours could not read, is refused naming the
// field; a bare date is an expiry (the end of that day).
TEST_F(ServerCatalogueTest, TextsGbkCannotHoldAndExpiriesThatDoNotReadAreRefused) {
    const std::string notGbk = "中有无法保存的字符(请只用中文、英文字母、数字和常用符号)...";
    const std::string badExpiry = "到期时间无法识别，请写成 2025/7/3 或 2025/7/3 14:05:09 的形式(也可用日期框选择)...";
    struct Case { const char* control; std::u16string unicode; std::string typed; std::string message; };
    const Case cases[] = {
        {"编辑框_密码", u"P\u00e4sswort1", "", "服务器密码" + notGbk},
        {"编辑框_用户名", u"\u0141ukasz", "", "服务器用户名" + notGbk},
        {"编辑框1", u"\U0001F600", "", "备注" + notGbk},
        {"编辑框2", u"", "2025年7月3日", badExpiry},
        {"编辑框2", u"", "2025.7.3", badExpiry},
        {"编辑框2", u"", "7/3/2025", badExpiry},
        {"编辑框2", u"", "2025/7/3", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control + (" " + c.typed));
        dialogs_.Expect(kEditor, [&](ModelForm& editor) {
            Type(editor, {"10.0.0.1", "3389", "u", "p", "n", ""});
            if (c.typed.empty()) {
                EXPECT_TRUE(editor.TypeUnicode(c.control, c.unicode));
            } else {
                EXPECT_TRUE(editor.TypeText(c.control, c.typed));
            }
            EXPECT_TRUE(editor.Click("按钮1"));
            if (editor.IsOpen()) EXPECT_TRUE(editor.Click("按钮2"));
        });
        ChooseFromMenu(0, 0);
        EXPECT_EQ(Last().text, c.message.empty() ? "服务器已经成功添加..." : c.message);
    }
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Stored()[0].dqsj, "2025/7/3");
}

// Renewal from the list's menu: offered only for a server whose expiry reads; the new date shown, then saved
// to that server, its colour following at once.
TEST_F(ServerCatalogueTest, ARenewalLandsOnTheServerItWasOpenedForAndTheColourFollows) {
    Add({"10.0.0.1", "3389", "u", "p", "no date", ""});
    Add({"10.0.0.2", "3389", "u", "p", "lapsed", "2025/6/1"});  // the clock says 2025/7/1 12:00
    main_.SetListSelectedRow(kList, 0);
    main_.AnswerMenu("菜单", 5);
    ASSERT_TRUE(main_.RightClickRow(kList, 0));
    EXPECT_TRUE(dialogs_.Opened().size() == 2u) << "renewal offered for a server without an expiry";

    EXPECT_EQ(main_.ListRowColour(kList, 1), app::kLapsedColour);
    dialogs_.Expect("RenewalDialog", [&](ModelForm& dialog) {
        EXPECT_EQ(dialog.Text("标签_当前"), "2025/6/1");
        EXPECT_FALSE(dialog.Enabled("按钮_确定"));  // nothing chosen yet
        EXPECT_TRUE(dialog.Click("按钮_1年"));
        EXPECT_EQ(dialog.Text("标签_新"), "2026/7/1");  // from today, the date alone as it was written
        EXPECT_TRUE(dialog.Click("按钮_3个月"));
        EXPECT_EQ(dialog.Text("标签_新"), "2025/10/1");
        EXPECT_TRUE(dialog.Click("按钮_确定"));
        EXPECT_FALSE(dialog.IsOpen());
    });
    main_.AnswerMenu("菜单", 5);
    ASSERT_TRUE(main_.RightClickRow(kList, 1));
    EXPECT_EQ(Stored()[1].dqsj, "2025/10/1");
    EXPECT_EQ(Stored()[0].dqsj, "");
    EXPECT_EQ(main_.ListCell(kList, 1, 7), "2025/10/1");
    EXPECT_EQ(main_.ListRowColour(kList, 1), runtime::kListColour);
    EXPECT_EQ(main_.ListSelectedRow(kList), 1);
}

TEST_F(ServerCatalogueTest, TheMenuShowsOnARightClickAndDismissingItDoesNothing) {
    // An empty list still offers the menu (beside the rows), or the first server could never be added.
    main_.AnswerMenu("菜单", -1);
    ASSERT_TRUE(main_.RightClickRow(kList, -1));
    EXPECT_EQ(main_.MenusShown(), (std::vector<std::string>{"菜单"}));
    Add({"10.0.0.1", "3389", "u", "p", "n", ""});
    // Beside the rows the selection is cleared, so modify asks for one.
    main_.SetListSelectedRow(kList, 0);
    main_.AnswerMenu("菜单", 1);
    ASSERT_TRUE(main_.RightClickRow(kList, -1));
    EXPECT_EQ(Last().text, "请选择一组服务器进行修改...");
    size_t messages = dialogs_.Messages().size();
    main_.AnswerMenu("菜单", -1);
    ASSERT_TRUE(main_.RightClickRow(kList, 0));
    EXPECT_EQ(main_.MenusShown().back(), "菜单");
    EXPECT_EQ(dialogs_.Messages().size(), messages);
    EXPECT_EQ(Stored().size(), 1u);
}

}  // namespace

namespace {

// Runs the user-interface work at once, noting whether the database lock was free while it ran.
class InlineUiThread final : public catalogue::UiThread {
public:
    explicit InlineUiThread(std::mutex& lock) : lock_(lock) {}
    void Run(const std::function<void()>& work) override {
        bool free = lock_.try_lock();
        if (free) lock_.unlock();
        lockFreeEveryTime = lockFreeEveryTime && free;
        if (++runs == 2 && beforeSecondRun) beforeSecondRun();
        work();
    }
    bool lockFreeEveryTime = true;
    int runs = 0;
    std::function<void()> beforeSecondRun;  // what the person does while the loader reads the table

private:
    std::mutex& lock_;
};

TEST_F(ServerCatalogueTest, TheStartUpStepFillsTheListOnTheUiThreadWithTheDatabaseLockReleased) {
    ASSERT_TRUE(catalogue::AddServer(database_, {"10.0.0.1", "3389", "u", "p", "a", ""}));
    ASSERT_TRUE(catalogue::AddServer(database_, {"10.0.0.2", "22", "u", "p", "b", ""}));
    InlineUiThread ui(lock_);
    app::LoaderContext context(database_, lock_, ui);
    std::vector<app::LoaderStep> steps = app::StartupSteps(
        [this](app::LoaderContext& loader) { app::LoadServerListAtStartup(loader, model_, nullptr); });
    EXPECT_TRUE(app::RunStartupLoader(steps, context).empty());
    EXPECT_TRUE(ui.lockFreeEveryTime);
    EXPECT_EQ(ListColumn(4), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(ListColumn(2), (std::vector<std::string>{"1", "2"}));

    // A server added while the loader read the table: the list the person refilled is newer, and stays.
    InlineUiThread racing(lock_);
    racing.beforeSecondRun = [this] {
        ASSERT_TRUE(catalogue::AddServer(database_, {"10.0.0.3", "22", "u", "p", "c", ""}));
        catalogue_.RefreshServerList(main_);
    };
    app::LoaderContext racingContext(database_, lock_, racing);
    app::LoadServerListAtStartup(racingContext, model_, nullptr);
    EXPECT_EQ(ListColumn(4), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
}

}  // namespace
