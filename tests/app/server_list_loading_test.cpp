// The start-up loader's server list on a long list: a first turn on the user-interface thread notes what the
// list holds; then the list goes in in parts, each its own turn, the first replacing what the list held; the
// parts add up to table Server in order; and when the person changes the list before a part (adding a server
// refills it, a header click sorts it) the loader leaves the list alone from then on.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/server_catalogue.h"
#include "app/server_list_sort.h"
#include "app/startup_loader.h"
#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

namespace fs = std::filesystem;
using catalogue::ServerEntry;

constexpr char kList[] = "超级列表框1";

// Runs each part at once and notes what the list held after it; `between` runs after a given turn, as the
// person's action between two parts would.
class RecordingUiThread final : public app::UiThread {
public:
    RecordingUiThread(std::mutex& lock, runtime::Form& window) : lock_(lock), window_(window) {}
    void Run(const std::function<void()>& work) override {
        bool free = lock_.try_lock();
        if (free) lock_.unlock();
        lockFreeEveryTime = lockFreeEveryTime && free;
        work();
        rowsAfterTurn.push_back(window_.ListRowCount(kList));
        if (rowsAfterTurn.size() == afterTurn && between) between();
    }
    bool lockFreeEveryTime = true;
    std::vector<int> rowsAfterTurn;
    size_t afterTurn = 0;
    std::function<void()> between;

private:
    std::mutex& lock_;
    runtime::Form& window_;
};

class ServerListLoadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillon_loading_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        ASSERT_TRUE(catalogue::EnsureConfigDatabaseFile(folder_ + "/config.MDB"));
        ASSERT_TRUE(database_.Open(folder_ + "/config.MDB"));
        main_.Open();
        main_.SetListRows(kList, {{{"stale", "", "1"}, 7}, {{"stale", "", "2"}, 8}});
    }
    void TearDown() override {
        database_.CloseConnection();
        fs::remove_all(folder_);
    }

    // Servers 1 .. count in table Server, each with its own address and note.
    std::vector<ServerEntry> AddServers(int count) {
        std::vector<ServerEntry> servers;
        for (int i = 1; i <= count; ++i) {
            ServerEntry server{"10.0.0." + std::to_string(i), std::to_string(3000 + i), "u" + std::to_string(i),
                               "p", "备注" + std::to_string(i), ""};
            EXPECT_TRUE(catalogue::AddServer(database_, server)) << database_.LastError();
            servers.push_back(server);
        }
        return servers;
    }
    void Load(size_t partRows) {
        app::LoaderContext context(database_, lock_, ui_);
        app::LoadServerListAtStartup(context, main_, partRows);
    }
    std::vector<std::string> ListColumn(int column) const {
        std::vector<std::string> cells;
        for (int row = 0; row < main_.ListRowCount(kList); ++row) cells.push_back(main_.ListCell(kList, row, column));
        return cells;
    }
    static std::vector<std::string> Numbers(int count) {
        std::vector<std::string> numbers;
        for (int i = 1; i <= count; ++i) numbers.push_back(std::to_string(i));
        return numbers;
    }

    std::string folder_;
    catalogue::ConfigDatabase database_;
    std::mutex lock_;
    runtime::ModelForm main_{ui::MainWindowSpec()};
    RecordingUiThread ui_{lock_, main_};
};

TEST_F(ServerListLoadingTest, TheListGoesInPartByPartAndEndsAsTheTableInOrder) {
    const std::vector<ServerEntry> servers = AddServers(7);
    Load(3);
    EXPECT_EQ(ui_.rowsAfterTurn, (std::vector<int>{2, 3, 6, 7}));  // the stale rows went with the first part
    EXPECT_TRUE(ui_.lockFreeEveryTime);
    EXPECT_EQ(main_.ListRows(kList), app::ServerListRows(servers));
}

TEST_F(ServerListLoadingTest, AWholeNumberOfPartsTakesNoEmptyTurnAndAnEmptyTableOneTurn) {
    AddServers(6);
    Load(3);
    EXPECT_EQ(ui_.rowsAfterTurn, (std::vector<int>{2, 3, 6}));
    EXPECT_EQ(ListColumn(app::kColumnNumber), Numbers(6));
}

TEST_F(ServerListLoadingTest, AnEmptyTableEmptiesTheListInOneTurn) {
    Load(3);
    EXPECT_EQ(ui_.rowsAfterTurn, (std::vector<int>{2, 0}));
}

TEST_F(ServerListLoadingTest, APartSizeOfZeroStillLoadsEverything) {
    const std::vector<ServerEntry> servers = AddServers(3);
    Load(0);
    EXPECT_EQ(ui_.rowsAfterTurn, (std::vector<int>{2, 1, 2, 3}));
    EXPECT_EQ(main_.ListRows(kList), app::ServerListRows(servers));
}

// The person adds a server while the list fills: the catalogue refills the list from the table, and the
// loader's remaining parts must not be added after it (the list would then show servers twice).
// Before the first part too: the rows the loader read before the refill would hide the server just added.
TEST_F(ServerListLoadingTest, ARefillBeforeOrBetweenPartsEndsTheLoading) {
    struct Case { size_t afterTurn; std::vector<int> rowsAfterTurn; };
    for (const Case& c : {Case{1, {2, 9}}, Case{2, {2, 3, 9}}}) {
        SCOPED_TRACE(c.afterTurn);
        ASSERT_TRUE(database_.Execute("delete from Server"));
        main_.SetListRows(kList, {{{"stale", "", "1"}, 7}, {{"stale", "", "2"}, 8}});
        std::vector<ServerEntry> servers = AddServers(8);
        app::ServerCatalogue catalogue({&database_, &lock_, nullptr, nullptr, {}});
        ui_.rowsAfterTurn.clear();
        ui_.afterTurn = c.afterTurn;
        ui_.between = [&] {
            ServerEntry added{"192.168.1.1", "3389", "new", "p", "新加的", ""};
            ASSERT_TRUE(catalogue::AddServer(database_, added));
            servers.push_back(added);
            catalogue.RefreshServerList(main_);
        };
        Load(3);
        EXPECT_EQ(ui_.rowsAfterTurn, c.rowsAfterTurn);
        EXPECT_EQ(main_.ListRows(kList), app::ServerListRows(servers));
    }
}

// The session monitor writes the connection state into rows and the day watch recolours them at any time,
// the rows the loader is still adding to included; neither is the person changing the list. The state a
// part overwrote comes back with the monitor's next pass.
TEST_F(ServerListLoadingTest, StateAndColourWrittenBetweenPartsDoNotEndTheLoading) {
    const std::vector<ServerEntry> servers = AddServers(8);
    for (size_t afterTurn : {1, 2, 3}) {
        SCOPED_TRACE(afterTurn);
        main_.SetListRows(kList, {{{"stale", "", "1"}, 7}, {{"stale", "", "2"}, 8}});
        ui_.rowsAfterTurn.clear();
        ui_.afterTurn = afterTurn;
        ui_.between = [&] {
            for (int row = 0; row < main_.ListRowCount(kList); ++row) {
                main_.SetListCell(kList, row, app::kColumnState, row == 0 ? "已连接" : "-----");
                main_.SetListRowColour(kList, row, 0x0000C8);
            }
        };
        Load(3);
        EXPECT_EQ(ui_.rowsAfterTurn, (std::vector<int>{2, 3, 6, 8}));
        EXPECT_EQ(ListColumn(app::kColumnIp).size(), 8u);
        EXPECT_EQ(ListColumn(app::kColumnNumber), Numbers(8));
    }
}

// A refill that happens to leave as many rows as the loader had put in is still told apart by the rows.
TEST_F(ServerListLoadingTest, ARefillOfTheSameLengthIsStillNoticed) {
    AddServers(5);
    ui_.afterTurn = 2;
    ui_.between = [&] { main_.SetListRows(kList, app::ServerListRows({{"a", "1", "u", "p", "n1", ""},
                                                                       {"b", "2", "u", "p", "n2", ""},
                                                                       {"c", "3", "u", "p", "n3", ""}})); };
    Load(3);
    EXPECT_EQ(ListColumn(app::kColumnIp), (std::vector<std::string>{"a", "b", "c"}));
}

// A header click between parts sorts what is there; rows added after it would sit unsorted below.
TEST_F(ServerListLoadingTest, SortingBetweenPartsEndsTheLoadingWithTheSortedRows) {
    AddServers(9);
    ui_.afterTurn = 3;
    ui_.between = [&] {
        app::SortServerList(main_, kList, app::kColumnPort, app::SortModeForColumn(app::kColumnPort), false);
    };
    Load(3);
    EXPECT_EQ(ui_.rowsAfterTurn, (std::vector<int>{2, 3, 6, 6}));
    EXPECT_EQ(ListColumn(app::kColumnIp), (std::vector<std::string>{"10.0.0.6", "10.0.0.5", "10.0.0.4", "10.0.0.3",
                                                                     "10.0.0.2", "10.0.0.1"}));
}

}  // namespace
