// The configuration database the program carries: its bytes, what it holds, and writing it out.
#include "catalogue/config_template.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "catalogue/config_database.h"
#include "jet/create.h"
#include "jet/database.h"

namespace catalogue {
namespace {

namespace fs = std::filesystem;

// The template row as the program expects it, column by column: name, size in characters, value.
struct Expected {
    const char* name;
    unsigned size;
    const char* value;
};
const Expected kConfigRow[] = {
    {"id", 10, "1"},        {"kd", 10, "640"},     {"gd", 10, "480"},      {"RDmc", 20, "1121"},
    {"wz", 5, "1"},         {"qpxz", 5, "0"},      {"ys", 5, "3"},         {"qpsxlan", 5, "1"},
    {"ypxz", 5, "1"},       {"yplz", 5, "2"},      {"jpxz", 5, "3"},       {"dyxz", 5, "1"},
    {"jtxz", 5, "1"},       {"znxz", 5, "0"},      {"qdxz", 5, "0"},       {"xnxz", 5, "6"},
    {"bjxz", 5, "1"},       {"ztxz", 5, "1"},      {"hcxz", 5, "1"},       {"tdxz", 5, "1"},
    {"dhxz", 5, "1"},       {"sjxz", 5, "1"},      {"twhcxz", 5, "1"},     {"dxclxz", 5, "1"},
    {"sfyz", 5, "2"},       {"dkxz", 5, "0"},      {"spbhxz", 5, "0"},     {"qtzcxz", 5, "0"},
    {"wz1", 5, "1"},        {"zdjcRD", 5, "1"},    {"syRD", 5, "0"},       {"RDdl", 5, "0"},
    {"bsybdRD", 5, "0"},    {"bsyRD", 5, "0"},     {"RDpj", 5, "0"},
};

std::vector<uint8_t> templateBytes() {
    const std::string& bytes = ConfigDatabaseTemplate();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder in the temporary directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("config_template_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TEST(ConfigTemplate, EmbeddedBytesAreWhatTheEngineWritesToday) {
    // If this fails, the tables or the engine changed: run scripts/regenerate-template.sh.
    EXPECT_TRUE(templateBytes() == jet::createDatabase(ConfigTemplateTables()));
    EXPECT_EQ(ConfigDatabaseTemplate().size() % jet::kPageSize, 0u);
    EXPECT_EQ(ConfigDatabaseTemplate().compare(0, 19, std::string("\0\1\0\0Standard Jet DB", 19)), 0);
}

TEST(ConfigTemplate, ServerIsEmptyAndConfigHoldsTheTemplateRow) {
    auto db = jet::Database::openBytes(templateBytes());
    EXPECT_EQ(db->tableNames(), (std::vector<std::u16string>{u"Server", u"config"}));

    const jet::TableDef& server = db->table(u"Server");
    const char* const serverColumns[] = {"id", "ip", "port", "user", "password", "note", "dqsj"};
    const unsigned serverSizes[] = {0, 20, 10, 20, 20, 255, 20};
    ASSERT_EQ(server.columns.size(), 7u);
    EXPECT_EQ(server.columns[0].type, jet::ColumnType::Long);
    EXPECT_TRUE(server.columns[0].isAutoNumber());
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(jet::toUtf8(server.columns[i].name), serverColumns[i]);
        if (i > 0) {
            EXPECT_EQ(server.columns[i].type, jet::ColumnType::Text) << serverColumns[i];
            EXPECT_EQ(server.columns[i].length, 2 * serverSizes[i]) << serverColumns[i];
        }
    }
    EXPECT_TRUE(server.realIndexes.empty());
    EXPECT_TRUE(server.logicalIndexes.empty());
    EXPECT_EQ(server.rowCount, 0u);
    EXPECT_EQ(server.autoNumber, 0u);
    EXPECT_TRUE(db->readRows(server).empty());

    const jet::TableDef& config = db->table(u"config");
    ASSERT_EQ(config.columns.size(), std::size(kConfigRow));
    EXPECT_TRUE(config.realIndexes.empty());
    std::vector<jet::StoredRow> rows = db->readRows(config);
    ASSERT_EQ(rows.size(), 1u);
    for (size_t i = 0; i < std::size(kConfigRow); ++i) {
        SCOPED_TRACE(kConfigRow[i].name);
        EXPECT_EQ(jet::toUtf8(config.columns[i].name), kConfigRow[i].name);
        EXPECT_EQ(config.columns[i].type, jet::ColumnType::Text);
        EXPECT_EQ(config.columns[i].length, 2 * kConfigRow[i].size);
        const auto* value = std::get_if<std::u16string>(&rows[0].values[i]);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(jet::toUtf8(*value), kConfigRow[i].value);
    }
    std::vector<std::string> problems = db->check();
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
}

TEST(ConfigTemplate, MdbtoolsReadsTheTemplate) {
    if (std::system("command -v mdb-export >/dev/null 2>&1") != 0) GTEST_SKIP() << "mdb-export is not installed";
    TempDir dir;
    fs::path file = dir.path() / "config.mdb";
    ASSERT_TRUE(EnsureConfigDatabaseFile(file.string()));
    auto run = [](const std::string& command) {
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
            pclose(pipe);
        }
        return out;
    };
    std::string header, values;
    for (const Expected& e : kConfigRow) {
        header += std::string(header.empty() ? "" : ",") + e.name;
        values += std::string(values.empty() ? "" : ",") + "\"" + e.value + "\"";
    }
    EXPECT_EQ(run("mdb-tables -1 '" + file.string() + "'"), "Server\nconfig\n");
    EXPECT_EQ(run("mdb-export '" + file.string() + "' config"), header + "\n" + values + "\n");
    EXPECT_EQ(run("mdb-export '" + file.string() + "' Server"), "id,ip,port,user,password,note,dqsj\n");
}

TEST(ConfigTemplate, EnsureFileCreatesOnlyWhatIsMissing) {
    TempDir dir;
    fs::path file = dir.path() / "config.MDB";

    // Missing: written whole.
    EXPECT_TRUE(EnsureConfigDatabaseFile(file.string()));
    EXPECT_EQ(readFile(file), ConfigDatabaseTemplate());

    // Present: never touched, whatever it holds.
    const std::string mine = "not the template, but the user's own file";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << mine;
    }
    auto before = fs::last_write_time(file);
    EXPECT_TRUE(EnsureConfigDatabaseFile(file.string()));
    EXPECT_EQ(readFile(file), mine);
    EXPECT_EQ(fs::last_write_time(file), before);

    // Nowhere to write: no file afterwards.
    fs::path nowhere = dir.path() / "no such folder" / "config.MDB";
    EXPECT_FALSE(EnsureConfigDatabaseFile(nowhere.string()));
    EXPECT_FALSE(fs::exists(nowhere));
}

}  // namespace
}  // namespace catalogue
