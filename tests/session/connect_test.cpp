// Connect requests and the session monitor on the in-memory main window and the program's server model, with
// the system's services replaced by recording ones: what a connect writes and starts, how a request during
// another is turned away, and how a pass over the window titles marks the servers and deletes the files of
// sessions and clients that have ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "app/server_model.h"
#include "profile/profile_state.h"
#include "runtime/form_model.h"
#include "session/connect.h"
#include "session/session_monitor.h"
#include "ui/forms.h"

namespace {

using runtime::ModelForm;

constexpr char kList[] = "超级列表框1";

class ConnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        main.Open();
        model.BindList(main);
        model.Reset({{"10.0.0.1", "3389", "u", "p", "机房 一", ""},
                     {"10.0.0.2", "22", "u", "p", "ab", ""},
                     {"10.0.0.2", "22", "u", "p", "b", ""}},
                    {2025, 1, 1, 0, 0, 0});
        profile.loaded = true;
        services.profile = &profile;
        services.dialogs = &dialogs;
        services.protect = [](const std::vector<std::uint8_t>&, const std::u16string&) {
            return std::vector<std::uint8_t>{1};
        };
        services.writeFile = [this](const std::string& file, const std::string& bytes) {
            log.push_back("write " + Name(file) + (bytes.find("full address:s:") != std::string::npos ? " (43 lines)" : ""));
            return writes-- > 0 ? false : true;
        };
        services.deleteFile = [this](const std::string& file) { log.push_back("delete " + Name(file)); };
        services.startClient = [this](const std::string& file) {
            log.push_back("start " + Name(file));
            return clientThere ? session::ClientToken{7} : session::ClientToken{0};
        };
        services.delayWithMessages = [this](std::uint32_t ms) {
            log.push_back("wait " + std::to_string(ms));
            if (duringWait) duringWait();
            clock += ms;
        };
        services.activateSessionWindow = [this](const std::string& title) { log.push_back("activate " + title); };
        services.clock = [this] { return clock; };
        services.watch = [this](const std::string& file, const std::string&, session::ClientToken client,
                                std::uint64_t until) {
            log.push_back("watch " + Name(file) + " client " + std::to_string(client) + " until " + std::to_string(until));
        };
        connector = std::make_unique<session::Connector>(services);
        app::BindConnect(main, model, *connector, profile);
    }
    // A request for server `index`, as the list's double-click makes it.
    session::ConnectRequest Request(size_t index) {
        const catalogue::ServerEntry& e = model.at(index).entry;
        return {{e.user, e.password, e.ip, e.port, e.note}, model.at(index).connection, false};
    }
    // A connection file by the note part of its name ("<folder>\\<note>.rdp").
    static std::string Name(const std::string& file) { return file.substr(file.find('\\') + 1); }

    ModelForm main{ui::MainWindowSpec()};
    app::ServerModel model;
    profile::ProfileState profile;
    runtime::ModelDialogs dialogs;
    session::ConnectServices services;
    std::unique_ptr<session::Connector> connector;
    std::vector<std::string> log;
    std::uint64_t clock = 1000;
    int writes = 0;  // failed writes still to come
    bool clientThere = true;
    std::function<void()> duringWait;
};

TEST_F(ConnectTest, AConnectWritesTheFileStartsTheClientAndBringsAConnectedSessionForward) {
    EXPECT_TRUE(main.Click(session::kConnectButton));  // nothing selected: nothing happens
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(main.SelectRow(kList, 0));
    ASSERT_TRUE(main.Click(session::kConnectButton));
    EXPECT_EQ(log, (std::vector<std::string>{"watch 机房一.rdp client 0 until 5000", "write 机房一.rdp (43 lines)",
                                             "start 机房一.rdp", "watch 机房一.rdp client 7 until 5000", "wait 2000"}));

    // A double-click on a connected server brings its session window forward, and nothing more.
    log.clear();
    model.SetSessionsFound({0, 0, 1});
    ASSERT_TRUE(main.DoubleClick(kList, 2));
    EXPECT_EQ(log, (std::vector<std::string>{"activate b - 10.0.0.2:22 - 远程桌面连接"}));

    // Before the stored profile is in, nothing connects with it.
    log.clear();
    profile.loaded = false;
    ASSERT_TRUE(main.DoubleClick(kList, 0));
    EXPECT_TRUE(log.empty());
}

TEST_F(ConnectTest, ARequestDuringAnotherIsIgnoredAndEveryRequestEndsByItsDeadline) {
    main.SetListSelectedRow(kList, 0);
    // A second double-click while the first request waits (the wait handles window messages, so the click
    // comes in the middle of the first request): turned away, no second client.
    duringWait = [this] {
        duringWait = nullptr;
        connector->Connect(main, Request(1));
        EXPECT_TRUE(connector->Running());
    };
    ASSERT_TRUE(main.DoubleClick(kList, 0));
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("start"); }), 1);
    EXPECT_FALSE(connector->Running());

    // A dialog opened during the wait holds the request's message loop past its deadline: the request is
    // over all the same, and the next one goes ahead (inside that loop, as the person would click).
    log.clear();
    duringWait = [this] {
        duringWait = nullptr;
        clock += session::kRequestDeadline;
        EXPECT_FALSE(connector->Running());
        connector->Connect(main, Request(1));
    };
    ASSERT_TRUE(main.DoubleClick(kList, 0));
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("start"); }), 2);
}

TEST_F(ConnectTest, AFileThatCannotBeWrittenOrAMissingClientIsSaidAndNothingRunsOnIt) {
    main.SetListSelectedRow(kList, 2);
    writes = 10;
    ASSERT_TRUE(main.Click(session::kConnectButton));
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("write"); }), 10);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("start"); }), 0);
    EXPECT_EQ(log.back(), "watch b.rdp client 0 until 0");  // given up at once
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_TRUE(dialogs.Messages()[0].text.starts_with("无法写入连接文件")) << dialogs.Messages()[0].text;

    clientThere = false;
    log.clear();
    ASSERT_TRUE(main.Click(session::kConnectButton));
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_EQ(dialogs.Messages()[1].text, "无法启动远程桌面客户端 mstsc.exe。");
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
              (std::vector<std::string>{"delete b.rdp", "watch b.rdp client 0 until 0"}));
}

// One pass at a time against given window titles, with a client that runs until told otherwise.
class MonitorTest : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        monitorServices.stop = &stop;
        monitorServices.onUiThread = [this](const std::function<void()>& work) {
            if (beforeApply && ++turns == 2) beforeApply();
            work();
            return true;
        };
        monitorServices.windowTitles = [this] { return titles; };
        monitorServices.deleteFile = [this](const std::string& file) { deleted.push_back(Name(file)); };
        monitorServices.connectionFiles = [this] { return leftovers; };
        monitorServices.clientRunning = [this](session::ClientToken client) { return running.contains(client); };
        monitorServices.releaseClient = [this](session::ClientToken client) { released.push_back(client); };
        monitorServices.clock = [this] { return clock; };
        monitor = std::make_unique<session::SessionMonitor>(model, monitorServices);
    }
    std::string States() {
        std::string states;
        for (int row = 0; row < main.ListRowCount(kList); ++row)
            states += "[" + main.ListCell(kList, row, app::kColumnState) + "]";
        return states;
    }
    bool Pass() {
        turns = 0;
        deleted.clear();
        return monitor->Pass();
    }
    const std::string& FileOf(size_t server) { return model.at(server).connection.file; }

    std::atomic<int> stop{0};
    session::MonitorServices monitorServices;
    std::unique_ptr<session::SessionMonitor> monitor;
    std::vector<std::string> titles, leftovers, deleted;
    std::set<session::ClientToken> running;
    std::vector<session::ClientToken> released;
    std::function<void()> beforeApply;
    int turns = 0;
};

TEST_F(MonitorTest, ServersAreConnectedByTheirWholeTitleAndEndedSessionsTakeTheirFiles) {
    // The first pass: nothing runs; every server "-----"; files an earlier run left go, all of them.
    leftovers = {FileOf(0), FileOf(2), "0123456789abcdef\\gone.rdp"};
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][-----][-----]");
    EXPECT_EQ(deleted, (std::vector<std::string>{"gone.rdp", "b.rdp", "机房一.rdp"}));
    ASSERT_TRUE(Pass());
    EXPECT_TRUE(deleted.empty()) << "a file deleted again without a session";

    // A session of "b" on an address that "ab" shares: only "b" is connected, and a title that merely holds
    // its title (a window of another program) connects nothing.
    titles = {"Program Manager", "b - 10.0.0.2:22 - 远程桌面连接", "[1] 机房一 - 10.0.0.1:3389 - 远程桌面连接 (2)"};
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][-----][已连接]");

    // The session ends: "-----", and its file goes once.
    titles.clear();
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][-----][-----]");
    EXPECT_EQ(deleted, (std::vector<std::string>{"b.rdp"}));

    stop = 1;
    EXPECT_FALSE(Pass());
}

TEST_F(MonitorTest, AStartedClientKeepsItsFileUntilItAndItsWindowAreGone) {
    // A client started for "ab" that shows a log-on prompt for a while: no session window yet. Its file stays
    // past the request's deadline while the client runs, then goes with it; the client is let go once.
    monitor->Watch(FileOf(1), model.at(1).connection.title, 9, clock + 100);
    running = {9};
    clock += 10'000;
    ASSERT_TRUE(Pass());
    EXPECT_TRUE(deleted.empty());
    EXPECT_TRUE(monitor->Watching(FileOf(1)));
    titles = {model.at(1).connection.title};  // the session comes
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][已连接][-----]");
    running.clear();  // the client hands its window on and ends: the window still needs the file
    ASSERT_TRUE(Pass());
    EXPECT_TRUE(deleted.empty());
    titles.clear();
    ASSERT_TRUE(Pass());
    EXPECT_EQ(deleted, (std::vector<std::string>{"ab.rdp"}));
    EXPECT_EQ(released, (std::vector<session::ClientToken>{9}));
    EXPECT_FALSE(monitor->Watching(FileOf(1)));

    // A connect whose client is not there yet: the file stays until the request's deadline.
    monitor->Watch(FileOf(0), model.at(0).connection.title, 0, clock + 4000);
    ASSERT_TRUE(Pass());
    EXPECT_TRUE(deleted.empty());
    clock += 4000;
    ASSERT_TRUE(Pass());
    EXPECT_EQ(deleted, (std::vector<std::string>{"机房一.rdp"}));
}

// The servers changed while a pass looked at the titles (the person added one, which refills the model): what
// was found is not applied to servers it was not found for; the next pass looks at them anew.
TEST_F(MonitorTest, ServersChangedDuringAPassAreLeftToTheNextPass) {
    titles = {"b - 10.0.0.2:22 - 远程桌面连接"};
    beforeApply = [this] {
        model.Reset({{"10.0.0.9", "1", "u", "p", "other", ""}, {"10.0.0.2", "22", "u", "p", "b", ""}}, {2025, 1, 1});
    };
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[][]");
    beforeApply = nullptr;
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][已连接]");
}

}  // namespace
