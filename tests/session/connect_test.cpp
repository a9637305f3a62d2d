// Connect requests and the session monitor on the in-memory main window, with the system's services
// replaced by recording ones: what a connect writes and starts, and how a pass over the window titles marks
// the rows and deletes the files of sessions that have ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "catalogue/server_records.h"
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
        main.SetListRows(kList, app::ServerListRows({{"10.0.0.1", "3389", "u", "p", "机房 一", ""},
                                                     {"10.0.0.2", "22", "u", "p", "b", ""},
                                                     {"10.0.0.2", "22", "u", "p", "b", ""}}));
        services.profile = &profile;
        services.connectInProgress = &connecting;
        services.dialogs = &dialogs;
        services.protect = [](const std::vector<std::uint8_t>&, const std::u16string&) {
            return std::vector<std::uint8_t>{1};
        };
        services.writeFile = [this](const std::string& path, const std::string& bytes) {
            log.push_back("write " + path + (bytes.find("full address:s:") != std::string::npos ? " (43 lines)" : ""));
            return writes-- > 0 ? false : true;
        };
        services.processPendingMessages = [this] { ++pending; };
        services.startClient = [this](const std::string& command) {
            log.push_back("start " + command + (connecting == 1 ? " (connecting)" : ""));
            return clientThere;
        };
        services.delayWithMessages = [this](std::uint32_t ms) {
            log.push_back("wait " + std::to_string(ms) + (connecting == 1 ? " (connecting)" : ""));
        };
        services.activateSessionWindow = [this](const std::string& title) { log.push_back("activate " + title); };
        services.watchFile = [this](const std::string& path) { log.push_back("watch " + path); };
    }

    ModelForm main{ui::MainWindowSpec()};
    profile::ProfileState profile;
    std::atomic<int> connecting{0};
    runtime::ModelDialogs dialogs;
    session::ConnectServices services;
    std::vector<std::string> log;
    int writes = 0;  // failed writes still to come
    int pending = 0;
    bool clientThere = true;
};

TEST_F(ConnectTest, AConnectWritesTheFileStartsTheClientAndWaitsWhileConnecting) {
    session::BindConnect(main, services);
    EXPECT_TRUE(main.Click(session::kConnectButton));  // nothing selected: nothing happens
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(main.SelectRow(kList, 0));
    ASSERT_TRUE(main.Click(session::kConnectButton));
    EXPECT_EQ(log, (std::vector<std::string>{"write C:\\Windows\\Temp\\机房一.rdp (43 lines)",
                                             "watch C:\\Windows\\Temp\\机房一.rdp",
                                             "start mstsc C:\\windows\\temp\\机房一.rdp /console (connecting)",
                                             "wait 2000 (connecting)"}));
    EXPECT_EQ(connecting, 0);

    // A double-click on a connected row brings its session window forward, and nothing more.
    log.clear();
    main.SetListCell(kList, 1, app::kColumnState, app::kConnectedState);
    ASSERT_TRUE(main.DoubleClick(kList, 1));
    EXPECT_EQ(log, (std::vector<std::string>{"activate b - 10.0.0.2:22 - 远程桌面连接"}));
}

TEST_F(ConnectTest, TenFailedWritesStillStartTheClientAndAMissingClientIsSaid) {
    main.SetListSelectedRow(kList, 1);
    writes = 10;
    session::ConnectSelectedServer(main, services);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("write", 0) == 0; }), 10);
    EXPECT_EQ(pending, 12);  // after each failed attempt, once after the loop, once before the start
    EXPECT_EQ(log.back(), "wait 2000 (connecting)");
    EXPECT_EQ(std::count(log.begin(), log.end(), "watch C:\\Windows\\Temp\\b.rdp"), 0);

    clientThere = false;
    log.clear();
    session::ConnectSelectedServer(main, services);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0].text, "无法启动远程桌面客户端：\nmstsc C:\\windows\\temp\\b.rdp /console");
    EXPECT_NE(log.back().rfind("start", 0), std::string::npos);  // no wait after a start that failed
}

// One pass at a time against given window titles.
class MonitorTest : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        monitorServices.stop = &stop;
        monitorServices.connectInProgress = &connecting;
        monitorServices.onUiThread = [this](const std::function<void()>& work) {
            if (beforeApply && ++turns == 2) beforeApply();
            work();
            return true;
        };
        monitorServices.windowTitles = [this] { return titles; };
        monitorServices.deleteFile = [this](const std::string& path) { deleted.push_back(path); };
        monitor = std::make_unique<session::SessionMonitor>(main, monitorServices);
    }
    std::string States() {
        std::string states;
        for (int row = 0; row < main.ListRowCount(kList); ++row)
            states += "[" + main.ListCell(kList, row, app::kColumnState) + "]";
        return states;
    }
    bool Pass() {
        turns = 0;
        return monitor->Pass();
    }

    std::atomic<int> stop{0};
    session::MonitorServices monitorServices;
    std::unique_ptr<session::SessionMonitor> monitor;
    std::vector<std::string> titles;
    std::vector<std::string> deleted;
    std::function<void()> beforeApply;
    int turns = 0;
};

TEST_F(MonitorTest, PassesMarkRowsAndDeleteTheFilesOfEndedSessions) {
    // The first pass: nothing runs; every row "-----", the files of earlier runs deleted once each.
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][-----][-----]");
    EXPECT_EQ(deleted, (std::vector<std::string>{"C:\\Windows\\Temp\\机房一.rdp", "C:\\Windows\\Temp\\b.rdp"}));
    deleted.clear();
    ASSERT_TRUE(Pass());
    EXPECT_TRUE(deleted.empty()) << "a file deleted again without a session";

    // A session of the second server, its title inside a longer one: both rows of that server connected.
    titles = {"Program Manager", "[1] b - 10.0.0.2:22 - 远程桌面连接 (2)", "b - 10.0.0.2:2 - 远程桌面连接"};
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][已连接][已连接]");

    // While a connect runs nothing is demoted or deleted; after it, the ended session's file goes once.
    titles.clear();
    connecting = 1;
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][已连接][已连接]");
    EXPECT_TRUE(deleted.empty());
    connecting = 0;
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[-----][-----][-----]");
    EXPECT_EQ(deleted, (std::vector<std::string>{"C:\\Windows\\Temp\\b.rdp"}));

    // A file a connect wrote is deleted when no session of it came.
    deleted.clear();
    monitor->WatchFile("C:\\Windows\\Temp\\机房一.rdp");
    ASSERT_TRUE(Pass());
    EXPECT_EQ(deleted, (std::vector<std::string>{"C:\\Windows\\Temp\\机房一.rdp"}));

    stop = 1;
    EXPECT_FALSE(Pass());
}

// A long list: all rows are marked in the first pass, but the files of earlier runs are deleted a few per pass,
// each once, while the file of an ended session goes in the pass that sees it ended.
TEST_F(MonitorTest, FilesOfEarlierRunsAreDeletedAFewAPass) {
    const size_t servers = 2 * session::kLeftoverFilesPerPass + 5;
    std::vector<catalogue::ServerEntry> entries;
    for (size_t i = 0; i < servers; ++i) entries.push_back({"10.0.0.1", "1", "u", "p", "s" + std::to_string(i), ""});
    main.SetListRows(kList, app::ServerListRows(entries));
    const std::string last = "C:\\Windows\\Temp\\s" + std::to_string(servers - 1) + ".rdp";
    monitor->WatchFile(last);

    std::string allMarked;
    for (size_t i = 0; i < servers; ++i) allMarked += "[-----]";

    std::vector<size_t> perPass;
    std::vector<std::string> all;
    for (int pass = 0; pass < 4; ++pass) {
        deleted.clear();
        ASSERT_TRUE(Pass());
        if (pass == 0) {
            EXPECT_EQ(States(), allMarked);
            EXPECT_NE(std::find(deleted.begin(), deleted.end(), last), deleted.end());
        }
        perPass.push_back(deleted.size());
        all.insert(all.end(), deleted.begin(), deleted.end());
    }
    const size_t n = session::kLeftoverFilesPerPass;
    EXPECT_EQ(perPass, (std::vector<size_t>{n + 1, n, servers - 2 * n - 1, 0}));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::unique(all.begin(), all.end()), all.end()) << "a file deleted twice";
    EXPECT_EQ(all.size(), servers);
}

// The list refilled while a pass looks at the titles: rows that are no longer the servers looked at are
// left alone, the others are marked.
TEST_F(MonitorTest, RowsReplacedDuringAPassAreLeftAlone) {
    titles = {"b - 10.0.0.2:22 - 远程桌面连接", "机房一 - 10.0.0.1:3389 - 远程桌面连接"};
    beforeApply = [this] {
        main.SetListRows(kList, app::ServerListRows({{"10.0.0.9", "1", "u", "p", "other", ""},
                                                     {"10.0.0.2", "22", "u", "p", "b", ""}}));
    };
    ASSERT_TRUE(Pass());
    EXPECT_EQ(States(), "[][已连接]");
}

}  // namespace
