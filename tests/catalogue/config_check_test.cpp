// The start-up check of config.MDB with the program's own needs (table Server's columns, the profile's field
// table and its row): files made from the template with one thing changed, each left as it was.
#include "catalogue/config_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "catalogue/config_template.h"
#include "catalogue/server_records.h"
#include "jet/test_files.h"
#include "profile/connection_profile.h"

namespace catalogue {
namespace {

void DropColumn(jet::NewTable& table, const std::u16string& name) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (table.columns[i].name != name) continue;
        table.columns.erase(table.columns.begin() + static_cast<std::ptrdiff_t>(i));
        for (auto& row : table.rows) row.erase(row.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

TEST(ConfigCheckTest, NamesWhatAFileLacksAndLeavesItAsItWas) {
    using Tables = std::vector<jet::NewTable>;  // Server, config
    const struct {
        const char* what;
        std::function<void(Tables&)> change;
        std::vector<MissingPart> expected;
    } cases[] = {
        {"the template", [](Tables&) {}, {}},
        {"names in other letter cases", [](Tables& t) { t[0].name = u"SERVER", t[0].columns[1].name = u"IP"; }, {}},
        {"an Access file of other tables", [](Tables& t) { t = {t[0]}, t[0].name = u"Customers"; },
         {{.table = "Server"}, {.table = "config"}}},
        {"Server without dqsj", [](Tables& t) { DropColumn(t[0], u"dqsj"); },
         {{.table = "Server", .columns = {"dqsj"}}}},
        {"config without kd and RDpj", [](Tables& t) { DropColumn(t[1], u"kd"), DropColumn(t[1], u"RDpj"); },
         {{.table = "config", .columns = {"kd", "RDpj"}}}},
        {"config with another row", [](Tables& t) { t[1].rows[0][0] = std::u16string(u"2"); },
         {{.table = "config", .keyColumn = "id", .keyValue = "1"}}},
    };
    const std::vector<TableNeeds> needs = {ServerTableNeeds(), profile::ProfileTableNeeds()};
    testfiles::TempDir folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Tables tables = ConfigTemplateTables();
        c.change(tables);
        const std::string path = folder.file("config.MDB");
        const std::vector<uint8_t> bytes = jet::createDatabase(tables);
        testfiles::writeFile(path, bytes);
        ConfigDatabase db;
        ASSERT_TRUE(db.Open(path)) << db.LastError();
        EXPECT_EQ(FindMissingParts(db, needs), c.expected);
        db.CloseConnection();
        EXPECT_EQ(testfiles::readFile(path), bytes) << "the check changed the file";
    }
}

}  // namespace
}  // namespace catalogue
