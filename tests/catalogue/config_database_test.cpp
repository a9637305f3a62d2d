// The configuration database operations on real files, in the sequences the program runs them.
#include "catalogue/config_backend.h"
#include "catalogue/config_database.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "jet/database.h"

namespace catalogue {
namespace {

namespace fs = std::filesystem;

// GBK bytes (code page 936), written out so that the test does not depend on the compiler's charset.
const std::string kMyServer = "\xCE\xD2\xB5\xC4\xB7\xFE\xCE\xF1\xC6\xF7";  // 我的服务器
const std::u16string kMyServerUtf16 = u"\u6211\u7684\u670D\u52A1\u5668";

std::vector<char> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& path, const char* data, size_t size) {
    std::ofstream(path, std::ios::binary).write(data, static_cast<std::streamsize>(size));
}

// A fresh copy of the template database in a temporary folder of its own.
class ConfigDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillon_config_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = (folder_ / "config.MDB").string();
        const std::string& image = ConfigDatabaseTemplate();
        writeBytes(path_, image.data(), image.size());
        ASSERT_TRUE(db_.Open(path_)) << db_.LastError();
    }
    void TearDown() override {
        db_.Close();
        db_.CloseConnection();
        fs::remove_all(folder_);
    }

    // Adds a server the way the editor does.
    void addServer(const std::string& ip, const std::string& port, const std::string& note) {
        ASSERT_TRUE(db_.OpenTable("Server")) << db_.LastError();
        ASSERT_TRUE(db_.AddRow()) << db_.LastError();
        ASSERT_TRUE(db_.WriteText("ip", ip));
        ASSERT_TRUE(db_.WriteText("port", port));
        ASSERT_TRUE(db_.WriteText("user", "administrator"));
        ASSERT_TRUE(db_.WriteText("password", "secret"));
        ASSERT_TRUE(db_.WriteText("note", note));
        ASSERT_TRUE(db_.WriteText("dqsj", "2025/7/3 02:05:09"));
        ASSERT_TRUE(db_.SaveRow()) << db_.LastError();
    }

    // The server list as RefreshServerList reads it: "ip:port note" per row.
    std::vector<std::string> listServers(ConfigDatabase& db) {
        std::vector<std::string> rows;
        EXPECT_TRUE(db.OpenTable("Server")) << db.LastError();
        int n = db.RecordCount();
        for (int i = 0; i < n; ++i) {
            rows.push_back(db.ReadText("ip") + ":" + db.ReadText("port") + " " + db.ReadText("note"));
            EXPECT_TRUE(db.NextRow()) << db.LastError();
        }
        return rows;
    }

    fs::path folder_;
    std::string path_;
    ConfigDatabase db_;
};

TEST_F(ConfigDatabaseTest, ServersAddListModifyDelete) {
    addServer("1.2.3.4", "3389", kMyServer + "304");
    addServer("5.6.7.8", "3390", "second");
    addServer("1.2.3.4", "3389", "duplicate");
    EXPECT_EQ(db_.RecordCount(), 3);
    EXPECT_EQ(db_.ReadText("note") + " " + db_.ReadText("id"), "duplicate 3");  // the saved row, numbered

    // The rows survive closing the connection, in insertion order, with the Chinese note intact.
    db_.Close();
    db_.CloseConnection();
    EXPECT_FALSE(db_.IsOpen());
    ASSERT_TRUE(db_.Open(path_)) << db_.LastError();
    EXPECT_EQ(listServers(db_), (std::vector<std::string>{"1.2.3.4:3389 " + kMyServer + "304",
                                                          "5.6.7.8:3390 second", "1.2.3.4:3389 duplicate"}));
    {
        auto file = jet::Database::openForReading(path_);
        auto rows = file->readRows(file->table(u"Server"));
        ASSERT_EQ(rows.size(), 3u);
        const jet::TableDef& table = file->table(u"Server");
        EXPECT_EQ(std::get<std::u16string>(rows[0].values[table.findColumn(u"note")]), kMyServerUtf16 + u"304");
        // The AutoNumber was handed out by the engine.
        EXPECT_EQ(std::get<int64_t>(rows[2].values[table.findColumn(u"id")]), 3);
    }

    // Modify: the first matching row only (case and trailing blanks do not matter in the condition).
    ASSERT_TRUE(db_.OpenFiltered("Server", "ip= '1.2.3.4 ' and port='3389'")) << db_.LastError();
    EXPECT_EQ(db_.RecordCount(), 2);
    EXPECT_EQ(db_.ReadText("ip"), "1.2.3.4");
    EXPECT_EQ(db_.ReadText("PORT"), "3389");
    ASSERT_TRUE(db_.WriteText("ip", "9.9.9.9"));
    ASSERT_TRUE(db_.WriteText("note", kMyServer));
    EXPECT_EQ(db_.ReadText("ip"), "9.9.9.9");  // a pending change reads back
    ASSERT_TRUE(db_.SaveRow()) << db_.LastError();
    EXPECT_EQ(listServers(db_), (std::vector<std::string>{"9.9.9.9:3389 " + kMyServer, "5.6.7.8:3390 second",
                                                          "1.2.3.4:3389 duplicate"}));

    // Delete: every row with that address and port.
    addServer("5.6.7.8", "3390", "third");
    EXPECT_TRUE(db_.Execute("delete from Server where ip='5.6.7.8' and port= '3390'")) << db_.LastError();
    EXPECT_EQ(listServers(db_), (std::vector<std::string>{"9.9.9.9:3389 " + kMyServer, "1.2.3.4:3389 duplicate"}));
    EXPECT_TRUE(db_.Execute("delete from Server where ip='0.0.0.0' and port= '1'"));  // nothing to delete
}

// The 35-column statements the profile save builds, with every value taken from `value(column)`.
template <typename Value>
std::string profileStatement(bool insert, Value value) {
    const char* columns[] = {"id",    "kd",   "gd",   "wz",   "qpxz",   "ys",     "qpsxlan", "ypxz", "yplz",
                             "jpxz",  "dyxz", "jtxz", "znxz", "qdxz",   "xnxz",   "bjxz",    "ztxz", "hcxz",
                             "tdxz",  "dhxz", "sjxz", "twhcxz", "dxclxz", "sfyz", "dkxz",    "spbhxz", "qtzcxz",
                             "wz1",   "zdjcRD", "syRD", "RDmc", "RDdl",   "bsybdRD", "bsyRD", "RDpj"};
    std::string names, values, sets;
    for (const char* column : columns) {
        std::string c = column;
        names += (names.empty() ? "`" : ",`") + c + "`";
        values += (values.empty() ? "'" : ",'") + std::string(value(c)) + "'";
        if (c != "id") sets += (sets.empty() ? "`" : ",`") + c + "`='" + std::string(value(c)) + "'";
    }
    if (insert) return "INSERT INTO `config`(" + names + ") VALUES (" + values + ")";
    return "UPDATE `config` SET " + sets + " WHERE `id` = '1'";
}

TEST_F(ConfigDatabaseTest, ProfileLoadAndSave) {
    // Load: the template's row.
    ASSERT_TRUE(db_.OpenTable("config")) << db_.LastError();
    EXPECT_EQ(db_.RecordCount(), 1);
    EXPECT_EQ(db_.ReadText("id"), "1");
    EXPECT_EQ(db_.ReadText("kd"), "640");
    EXPECT_EQ(db_.ReadText("gd"), "480");
    EXPECT_EQ(db_.ReadText("RDmc"), "1121");
    EXPECT_EQ(db_.ReadText("xnxz"), "6");
    EXPECT_EQ(db_.ReadText("rdmc"), "1121");  // column names are case-insensitive
    EXPECT_EQ(db_.ReadText("nosuchcolumn"), "");
    EXPECT_NE(db_.LastError().find("nosuchcolumn"), std::string::npos) << db_.LastError();

    // Save over the existing row.
    ASSERT_TRUE(db_.OpenFiltered("config", "id='1'")) << db_.LastError();
    ASSERT_EQ(db_.ReadText("id"), "1");
    auto wide = [](const std::string& c) { return c == "kd" ? "1920" : c == "gd" ? "1080" : c == "RDmc" ? "gw" : "0"; };
    ASSERT_TRUE(db_.Execute(profileStatement(false, wide))) << db_.LastError();
    ASSERT_TRUE(db_.OpenTable("config"));
    EXPECT_EQ(db_.ReadText("kd"), "1920");
    EXPECT_EQ(db_.ReadText("RDmc"), "gw");
    EXPECT_EQ(db_.ReadText("xnxz"), "0");
    EXPECT_EQ(db_.ReadText("id"), "1");

    // With the row gone, the save finds no id and inserts it.
    ASSERT_TRUE(db_.Execute("delete from config"));
    ASSERT_TRUE(db_.OpenTable("config"));
    EXPECT_EQ(db_.RecordCount(), 0);
    EXPECT_EQ(db_.ReadText("kd"), "");  // a missing row reads as empty text
    ASSERT_TRUE(db_.OpenFiltered("config", "id='1'"));
    ASSERT_EQ(db_.ReadText("id"), "");
    auto narrow = [](const std::string& c) { return c == "id" ? "1" : c == "kd" ? "800" : ""; };
    ASSERT_TRUE(db_.Execute(profileStatement(true, narrow))) << db_.LastError();
    ASSERT_TRUE(db_.OpenFiltered("config", "id='1'"));
    EXPECT_EQ(db_.RecordCount(), 1);
    EXPECT_EQ(db_.ReadText("kd"), "800");
    EXPECT_EQ(db_.ReadText("gd"), "");

    // A value wider than its five-character column: the whole statement is refused, nothing changes.
    const std::vector<char> before = readBytes(path_);
    auto tooWide = [](const std::string& c) { return c == "kd" ? "1" : c == "bsyRD" ? "123456" : "1"; };
    EXPECT_FALSE(db_.Execute(profileStatement(false, tooWide)));
    EXPECT_NE(db_.LastError().find("bsyRD"), std::string::npos) << db_.LastError();
    EXPECT_NE(db_.LastError().find("at most 5"), std::string::npos) << db_.LastError();
    EXPECT_EQ(readBytes(path_), before);
}

TEST_F(ConfigDatabaseTest, QuotesAndCommasRoundTripExactly) {
    const std::string note = "it's \"mine\", ''really''";
    addServer("1.2.3.4", "3389", note);
    ASSERT_TRUE(db_.OpenTable("Server"));
    EXPECT_EQ(db_.ReadText("note"), note);

    // Through a statement, with the quote doubled.
    EXPECT_TRUE(db_.Execute("update Server set user='O''Brien' where note='it''s \"mine\", ''''really'''''"))
        << db_.LastError();
    ASSERT_TRUE(db_.OpenFiltered("Server", "user='o''brien'")) << db_.LastError();
    EXPECT_EQ(db_.RecordCount(), 1);
    EXPECT_EQ(db_.ReadText("user"), "O'Brien");

    // A quote pasted into a condition unescaped cannot change the statement: it does not parse.
    EXPECT_FALSE(db_.OpenFiltered("Server", "ip= '1.2.3.4' or 'a'='a' and port='3389'"));
    EXPECT_NE(db_.LastError().find("or"), std::string::npos) << db_.LastError();
    EXPECT_FALSE(db_.OpenFiltered("Server", "ip= 'x'y' and port='3389'"));
    EXPECT_FALSE(db_.Execute("delete from Server where ip='1.2.3.4' and port= '3389' or ''=''"));
    EXPECT_EQ(listServers(db_).size(), 1u);
}

TEST_F(ConfigDatabaseTest, ATooLongValueFailsAndLeavesTheFileByteIdentical) {
    addServer("1.2.3.4", "3389", "n");
    const std::vector<char> before = readBytes(path_);

    // A new row with a port of 11 characters (the column holds 10).
    ASSERT_TRUE(db_.OpenTable("Server"));
    ASSERT_TRUE(db_.AddRow());
    ASSERT_TRUE(db_.WriteText("ip", "5.6.7.8"));
    ASSERT_TRUE(db_.WriteText("port", "12345678901"));
    EXPECT_FALSE(db_.SaveRow());
    EXPECT_NE(db_.LastError().find("port"), std::string::npos) << db_.LastError();
    EXPECT_NE(db_.LastError().find("10"), std::string::npos) << db_.LastError();
    EXPECT_EQ(readBytes(path_), before);
    EXPECT_EQ(db_.RecordCount(), 1);
    // Leaving the row tries to save it and fails the same way.
    EXPECT_FALSE(db_.NextRow());
    EXPECT_EQ(readBytes(path_), before);

    // Modifying an existing row with a note of 256 characters (the column holds 255).
    ASSERT_TRUE(db_.OpenFiltered("Server", "ip='1.2.3.4'"));
    ASSERT_TRUE(db_.WriteText("note", std::string(256, 'x')));
    EXPECT_FALSE(db_.SaveRow());
    EXPECT_EQ(readBytes(path_), before);
    // The record stays usable: the refused value is still pending; correct it and save again.
    EXPECT_EQ(db_.ReadText("note"), std::string(256, 'x'));
    ASSERT_TRUE(db_.WriteText("note", std::string(255, 'x')));
    EXPECT_TRUE(db_.SaveRow()) << db_.LastError();
    EXPECT_TRUE(db_.LastError().empty());
    ASSERT_TRUE(db_.OpenTable("Server"));
    EXPECT_EQ(db_.ReadText("note"), std::string(255, 'x'));
    // Ten Chinese characters are ten characters, not twenty bytes.
    ASSERT_TRUE(db_.WriteText("port", kMyServer + kMyServer));
    EXPECT_TRUE(db_.SaveRow()) << db_.LastError();
}

TEST_F(ConfigDatabaseTest, OneResultAtATimeAndPendingChangesAreDiscardedWhenLeft) {
    addServer("1.2.3.4", "3389", "a");
    addServer("5.6.7.8", "3389", "b");
    const std::vector<char> before = readBytes(path_);

    // A change pending on the first result is dropped by opening another one.
    ASSERT_TRUE(db_.OpenTable("Server"));
    ASSERT_TRUE(db_.WriteText("note", "changed"));
    ASSERT_TRUE(db_.OpenFiltered("Server", "ip='5.6.7.8'"));
    EXPECT_EQ(db_.RecordCount(), 1);
    EXPECT_EQ(db_.ReadText("note"), "b");
    // ... and by Close, and an unsaved new row by CloseConnection.
    ASSERT_TRUE(db_.WriteText("note", "changed"));
    db_.Close();
    EXPECT_EQ(db_.ReadText("note"), "");
    EXPECT_FALSE(db_.LastError().empty());
    ASSERT_TRUE(db_.OpenTable("Server"));
    ASSERT_TRUE(db_.AddRow());
    ASSERT_TRUE(db_.WriteText("ip", "7.7.7.7"));
    db_.CloseConnection();
    EXPECT_EQ(readBytes(path_), before);
    ASSERT_TRUE(db_.Open(path_));

    // NextRow saves a pending change before moving.
    ASSERT_TRUE(db_.OpenTable("Server"));
    ASSERT_TRUE(db_.WriteText("note", "saved by moving"));
    ASSERT_TRUE(db_.NextRow()) << db_.LastError();
    EXPECT_EQ(db_.ReadText("note"), "b");
    ASSERT_TRUE(db_.OpenFiltered("Server", "note='SAVED BY MOVING'"));
    EXPECT_EQ(db_.RecordCount(), 1);

    // A snapshot does not see later statements; a new open does.
    ASSERT_TRUE(db_.OpenTable("Server"));
    ASSERT_TRUE(db_.Execute("delete from Server where ip='5.6.7.8'"));
    EXPECT_EQ(db_.RecordCount(), 2);
    ASSERT_TRUE(db_.OpenTable("Server"));
    EXPECT_EQ(db_.RecordCount(), 1);
}

TEST_F(ConfigDatabaseTest, ReadingPastTheEndGivesEmptyText) {
    addServer("1.2.3.4", "3389", "a");
    ASSERT_TRUE(db_.OpenTable("Server"));
    EXPECT_EQ(db_.ReadText("ip"), "1.2.3.4");
    EXPECT_TRUE(db_.NextRow());
    EXPECT_EQ(db_.ReadText("ip"), "");
    EXPECT_FALSE(db_.LastError().empty());
    EXPECT_FALSE(db_.NextRow());
    EXPECT_FALSE(db_.WriteText("ip", "x"));
    EXPECT_EQ(db_.ReadText("ip"), "");

    // A filter that matches nothing is an empty result, not a failure.
    ASSERT_TRUE(db_.OpenFiltered("Server", "ip='none'"));
    EXPECT_EQ(db_.RecordCount(), 0);
    EXPECT_EQ(db_.ReadText("ip"), "");
    // Unknown tables and columns fail with the engine's message.
    EXPECT_FALSE(db_.OpenTable("Servers"));
    EXPECT_NE(db_.LastError().find("Servers"), std::string::npos) << db_.LastError();
    EXPECT_FALSE(db_.OpenFiltered("Server", "address='1.2.3.4'"));
    EXPECT_NE(db_.LastError().find("address"), std::string::npos) << db_.LastError();
    EXPECT_EQ(db_.RecordCount(), 0);
    EXPECT_FALSE(db_.Execute("drop table Server"));
}

TEST(ConfigDatabaseOpen, MissingDamagedAndForeignFilesDoNotOpen) {
    std::string pattern = (fs::temp_directory_path() / "quillon_config_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path folder = pattern;

    ConfigDatabase db;
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(db.OpenTable("Server"));
    EXPECT_FALSE(db.LastError().empty());
    EXPECT_FALSE(db.Execute("delete from Server"));
    EXPECT_EQ(db.RecordCount(), 0);

    EXPECT_FALSE(db.Open((folder / "missing.MDB").string()));
    EXPECT_FALSE(db.LastError().empty());
    EXPECT_FALSE(db.IsOpen());

    const std::string text = "this is not a database\n";
    writeBytes(folder / "text.MDB", text.data(), text.size());
    EXPECT_FALSE(db.Open((folder / "text.MDB").string()));
    EXPECT_FALSE(db.LastError().empty());

    // The template cut short, and the template with its header page overwritten.
    const std::string& image = ConfigDatabaseTemplate();
    writeBytes(folder / "short.MDB", image.data(), 4096 + 100);
    EXPECT_FALSE(db.Open((folder / "short.MDB").string()));
    EXPECT_FALSE(db.LastError().empty());
    std::string damaged = image;
    std::fill(damaged.begin(), damaged.begin() + 4096, '\x5A');
    writeBytes(folder / "damaged.MDB", damaged.data(), damaged.size());
    EXPECT_FALSE(db.Open((folder / "damaged.MDB").string()));
    EXPECT_FALSE(db.LastError().empty());
    EXPECT_FALSE(db.IsOpen());

    // The intact template opens; without a system provider, asking for one is refused with a reason.
    const std::string config = (folder / "config.MDB").string();
    writeBytes(config, image.data(), image.size());
    EXPECT_FALSE(db.Open(config, ConfigDatabase::Engine::kSystemProvider));
    EXPECT_NE(db.LastError().find("provider"), std::string::npos) << db.LastError();
    EXPECT_TRUE(db.Open(config)) << db.LastError();
    EXPECT_TRUE(db.LastError().empty());

    // One writer: a second connection for changes is refused, naming the file; one for reading sees what the
    // first has saved, and cannot change it.
    ASSERT_TRUE(db.Execute("insert into Server (ip, port) values ('1.2.3.4', '3389')")) << db.LastError();
    ConfigDatabase second;
    EXPECT_FALSE(second.Open(config));
    EXPECT_NE(second.LastError().find(config + " is in use"), std::string::npos) << second.LastError();
    ASSERT_TRUE(second.OpenForReading(config)) << second.LastError();
    ASSERT_TRUE(second.OpenTable("Server"));
    EXPECT_EQ(second.RecordCount(), 1);
    EXPECT_FALSE(second.Execute("delete from Server"));
    db.CloseConnection();
    EXPECT_TRUE(second.Open(config)) << second.LastError();
    second.CloseConnection();
    fs::remove_all(folder);
}

TEST(ConfigDatabaseOpen, ConnectionStringValuesHoldAnyFolder) {
    struct Case { std::u16string value, quoted; };
    const Case cases[] = {
        {u"C:\\tools\\config.MDB", u"\"C:\\tools\\config.MDB\""},
        {u"D:\\\u5F20\u4E09\u7684 \u5DE5\u5177;x=1\\config.MDB", u"\"D:\\\u5F20\u4E09\u7684 \u5DE5\u5177;x=1\\config.MDB\""},
        {u"D:\\it's\\config.MDB", u"\"D:\\it's\\config.MDB\""},
        {u"say \"hi\"", u"'say \"hi\"'"},
        {u"both ' and \"", u"'both '' and \"'"},
        {u" padded ", u"\" padded \""},
    };
    for (const Case& c : cases) EXPECT_EQ(ConnectionStringValue(c.value), c.quoted);
}

}  // namespace
}  // namespace catalogue
