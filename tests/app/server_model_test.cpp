// The server model and the list's view of it: which servers the filter lets through, and a person's session
// with a filtered list (sorting it, the date views, a session of a hidden server).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "app/server_model.h"
#include "runtime/date_time.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

using app::ServerView;
constexpr runtime::DateTimeValue kNow{2026, 12, 8, 10, 0, 0};

TEST(ServerFilter, WhatATypedTextAndAViewLetThrough) {
    const app::Server server = app::MakeServer(
        {"Web01.example.CN", "3389", "Admin", "pw", "北京01 乐园", "2026/12/20 10:00:00"}, session::kDefaultNameLimit);
    struct Case { std::string typed; ServerView view; bool shown; };
    const Case cases[] = {
        {"", ServerView::kAll, true},
        {"web01", ServerView::kAll, true},          // address, ASCII letters in either case
        {"EXAMPLE.cn", ServerView::kAll, true},
        {"389", ServerView::kAll, true},            // port
        {"admin", ServerView::kAll, true},          // user
        {"pw", ServerView::kAll, false},            // never the password
        {"北京", ServerView::kAll, true},           // note
        {"bj", ServerView::kAll, true},             // the note's pinyin initials
        {"BJ01", ServerView::kAll, true},           // initials and digits in one run
        {"ly", ServerView::kAll, true},             // 乐 read lè or yuè: either initial
        {"yy", ServerView::kAll, true},
        {"bjly", ServerView::kAll, false},          // not one run: a blank lies between
        {"cn3389", ServerView::kAll, false},        // never across two fields
        {"web\n01", ServerView::kAll, true},        // control characters in a pasted text are left out
        {std::string(100000, 'x'), ServerView::kAll, false},
        {"", ServerView::kDueIn30Days, true},       // 12 days away
        {"", ServerView::kDueIn7Days, false},
        {"", ServerView::kLapsed, false},
        {"", ServerView::kConnected, false},
        {"bj", ServerView::kDueIn7Days, false},     // both must hold
    };
    const double now = runtime::OleDateFromDateTime(kNow);
    for (const Case& c : cases) {
        EXPECT_EQ(app::MatchesFilter(server, c.view, app::MakeFilterQuery(c.typed), now), c.shown)
            << "\"" << c.typed.substr(0, 20) << "\" view " << static_cast<int>(c.view);
    }
    // A lapsed server is due in both date views too; one without a readable date in neither.
    const app::Server lapsed = app::MakeServer({"h", "1", "u", "p", "n", "2026/12/1"}, 100);
    const app::Server undated = app::MakeServer({"h", "1", "u", "p", "n", "永久"}, 100);
    for (ServerView view : {ServerView::kLapsed, ServerView::kDueIn7Days, ServerView::kDueIn30Days}) {
        EXPECT_TRUE(app::MatchesFilter(lapsed, view, {}, now));
        EXPECT_FALSE(app::MatchesFilter(undated, view, {}, now));
    }
}

// A person with a few servers: filters, sorts, sees the session of a server the filter hides.
class ServerViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        main.Open();
        catalogue.BindMainWindow(main);
        model.Reset({{"10.0.0.1", "3389", "u", "p", "北京01", "2026/12/10 10:00:00"},
                     {"10.0.0.2", "22", "u", "p", "上海-电信", "2027/6/1"},
                     {"10.0.0.3", "3389", "u", "p", "北京02", "2026/12/1"},
                     {"10.0.1.4", "3389", "u", "p", "广州", ""}},
                    kNow);
    }
    std::vector<std::string> Notes() const {
        std::vector<std::string> notes;
        for (int row = 0; row < main.ListRowCount(app::kServerList); ++row)
            notes.push_back(main.ListCell(app::kServerList, row, app::kColumnNote));
        return notes;
    }
    std::string Cell(int row, int column) const { return main.ListCell(app::kServerList, row, column); }

    runtime::ModelForm main{ui::MainWindowSpec()};
    app::ServerModel model;
    runtime::ModelDialogs dialogs;
    app::ServerCatalogue catalogue{model, {.dialogs = &dialogs, .clock = [] { return kNow; }}};
};

TEST_F(ServerViewTest, TheFilterNarrowsTheSortedListAndKeepsTheSelectedServer) {
    EXPECT_EQ(main.Text(app::kFilterCount), "显示 4 / 共 4 台");
    ASSERT_TRUE(main.ClickColumn(app::kServerList, app::kColumnIp));   // ascending
    ASSERT_TRUE(main.ClickColumn(app::kServerList, app::kColumnIp));   // descending
    ASSERT_TRUE(main.SelectRow(app::kServerList, 1));                  // 北京02
    ASSERT_TRUE(main.TypeText(app::kFilterText, "bj"));
    // The sort stays; the numbers are the servers' own in the whole list, not their rows.
    EXPECT_EQ(Notes(), (std::vector<std::string>{"北京02", "北京01"}));
    EXPECT_EQ(Cell(0, app::kColumnNumber), "2");
    EXPECT_EQ(Cell(1, app::kColumnNumber), "4");
    EXPECT_EQ(main.ListSelectedRow(app::kServerList), 0);
    EXPECT_EQ(main.Text(app::kFilterCount), "显示 2 / 共 4 台");

    // Nothing matches: no row, no selection, and connecting does nothing.
    ASSERT_TRUE(main.TypeText(app::kFilterText, "nothing like it"));
    EXPECT_EQ(main.ListRowCount(app::kServerList), 0);
    EXPECT_EQ(main.ListSelectedRow(app::kServerList), -1);
    EXPECT_EQ(main.Text(app::kFilterCount), "显示 0 / 共 4 台");

    // Esc in the box clears it.
    ASSERT_TRUE(main.PressEscape(app::kFilterText));
    EXPECT_EQ(main.Text(app::kFilterText), "");
    EXPECT_EQ(Notes(), (std::vector<std::string>{"广州", "北京02", "上海-电信", "北京01"}));

    // The date views: lapsed, due within 7 days (lapsed included).
    ASSERT_TRUE(main.ChooseEntry(app::kFilterView, static_cast<int>(ServerView::kLapsed)));
    EXPECT_EQ(Notes(), (std::vector<std::string>{"北京02"}));
    ASSERT_TRUE(main.ChooseEntry(app::kFilterView, static_cast<int>(ServerView::kDueIn7Days)));
    EXPECT_EQ(Notes(), (std::vector<std::string>{"北京02", "北京01"}));
}

TEST_F(ServerViewTest, SessionsOfHiddenServersAreKeptAndTheConnectedViewFollowsThem) {
    ASSERT_TRUE(main.TypeText(app::kFilterText, "sh"));
    EXPECT_EQ(Notes(), (std::vector<std::string>{"上海-电信"}));
    // The monitor finds the session of 北京01, which the filter hides: its state is kept all the same.
    model.SetSessionsFound({1, 0, 0, 0});
    EXPECT_EQ(Cell(0, app::kColumnState), "-----");
    ASSERT_TRUE(main.TypeText(app::kFilterText, ""));
    EXPECT_EQ(Cell(0, app::kColumnState), "已连接");
    ASSERT_TRUE(main.ChooseEntry(app::kFilterView, static_cast<int>(ServerView::kConnected)));
    EXPECT_EQ(Notes(), (std::vector<std::string>{"北京01"}));
    model.SetSessionsFound({0, 1, 0, 0});  // that session ends, another starts: the view follows
    EXPECT_EQ(Notes(), (std::vector<std::string>{"上海-电信"}));
}

}  // namespace
