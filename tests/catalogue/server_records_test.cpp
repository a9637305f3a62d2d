// The server records: their text rules, and the record operations on real database files.
// This file is compiled with GBK as its execution character set: plain Chinese literals are GBK bytes.
#include "catalogue/server_records.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/text_codec.h"

namespace catalogue {
namespace {

namespace fs = std::filesystem;

const std::string kMyServer = "我的服务器";
const std::string kFullWidthSpace = "\xA1\xA1";
// Double-byte GBK characters whose trail byte looks like an ASCII byte or like half a full-width space.
const std::string kTrail5C = "\x95\x5C";  // 昞, trail byte '\'
const std::string kTrail7C = "\x95\x7C";  // 晐, trail byte '|'
const std::string kTrailA1 = "\xB0\xA1";  // 啊, trail byte A1
// Not a real GBK character, but a lead byte followed by 0x20 must still be scanned as one unit.
const std::string kTrail20 = "\xB0\x20";

std::string utf8(const std::u8string& text) { return std::string(text.begin(), text.end()); }

TEST(ServerTexts, TheTestLiteralsAreTheGbkCharactersTheyClaimToBe) {
    // Everything below relies on these bytes; a wrong execution charset would make the other tests vacuous.
    EXPECT_EQ(kMyServer, "\xCE\xD2\xB5\xC4\xB7\xFE\xCE\xF1\xC6\xF7");
    EXPECT_EQ(runtime::GbkToUtf16(kTrail5C), u"昞");
    EXPECT_EQ(runtime::GbkToUtf16(kTrail7C), u"晐");
    EXPECT_EQ(runtime::GbkToUtf16(kTrailA1), u"啊");
    EXPECT_EQ(runtime::GbkToUtf16(kFullWidthSpace), u"\u3000");
    EXPECT_EQ(runtime::GbkToUtf16("表"), u"表");
}

TEST(ServerTexts, ClassicGeneratorAndDefaultNote) {
    // The well-known first values of the C runtime's rand() after srand(1).
    ClassicRandom seedOne(1);
    EXPECT_EQ(seedOne.Next(), 41);
    EXPECT_EQ(seedOne.Next(), 18467);
    EXPECT_EQ(seedOne.Next(), 6334);
    EXPECT_EQ(seedOne.Next(), 26500);

    // The state wraps modulo 2^32: values stay in 0..0x7FFF over a long run from a large starting value.
    ClassicRandom large(0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        int value = large.Next();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 0x7FFF);
    }

    EXPECT_EQ(DefaultNote(), kMyServer + "304");
}

TEST(ServerTexts, TrimBlanksScansGbkCharacters) {
    EXPECT_EQ(TrimBlanks(""), "");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks(kFullWidthSpace + " " + kFullWidthSpace), "");
    EXPECT_EQ(TrimBlanks("  a b  "), "a b");
    EXPECT_EQ(TrimBlanks("\t a \t"), "\t a \t");  // only spaces are blanks
    // Full-width spaces at both ends go, one inside stays.
    EXPECT_EQ(TrimBlanks(kFullWidthSpace + kMyServer + kFullWidthSpace + "1" + kFullWidthSpace + " "),
              kMyServer + kFullWidthSpace + "1");
    // A character ending in 0x20 or A1 is not cut at the end...
    EXPECT_EQ(TrimBlanks(" x" + kTrail20), "x" + kTrail20);
    EXPECT_EQ(TrimBlanks("x" + kTrailA1 + " "), "x" + kTrailA1);
    EXPECT_EQ(TrimBlanks("x" + kTrailA1 + kFullWidthSpace), "x" + kTrailA1);
    // ... and "B0 A1 A1" is 啊 followed by a lone A1, not B0 followed by a full-width space.
    EXPECT_EQ(TrimBlanks("x\xB0\xA1\xA1"), "x\xB0\xA1\xA1");
    // A full-width space right after a character stays paired correctly at the start too.
    EXPECT_EQ(TrimBlanks(kFullWidthSpace + kTrailA1 + kFullWidthSpace), kTrailA1);
    // A lone lead byte at the very end is kept as it is.
    EXPECT_EQ(TrimBlanks(" a\xB0"), "a\xB0");
}

TEST(ServerTexts, NotesForAddAndModify) {
    EXPECT_EQ(NoteForAdd("  home  "), "home");
    EXPECT_EQ(NoteForAdd(""), DefaultNote());
    EXPECT_EQ(NoteForAdd(kFullWidthSpace + " "), DefaultNote());
    EXPECT_EQ(NoteForModify(""), kMyServer);
    EXPECT_EQ(NoteForModify("  home  "), "  home  ");
    EXPECT_EQ(NoteForModify(" "), " ");
}

TEST(ServerTexts, ConnectionFileNames) {
    EXPECT_EQ(ConnectionFileName(kMyServer + "304"), kMyServer + "304");
    // Spaces: trimmed, then removed everywhere; full-width spaces inside stay.
    EXPECT_EQ(ConnectionFileName("  my  box 1 "), "mybox1");
    EXPECT_EQ(ConnectionFileName(kFullWidthSpace + "a" + kFullWidthSpace + "b c" + kFullWidthSpace),
              "a" + kFullWidthSpace + "bc");
    // Every character a file name cannot hold.
    EXPECT_EQ(ConnectionFileName("a\\b/c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
    EXPECT_EQ(ConnectionFileName(std::string("a\x01" "b\x1F" "c\x7F" "d\t", 8)), "a_b_c_d_");
    EXPECT_EQ(ConnectionFileName(std::string("a\0b", 3)), "a_b");
    // What is allowed stays.
    EXPECT_EQ(ConnectionFileName("a.b-c_d(e)[f]{g}'h'!#$%&+,;=@^`~"), "a.b-c_d(e)[f]{g}'h'!#$%&+,;=@^`~");
    // Trail bytes that look like '\', '|' or a space are part of their character.
    EXPECT_EQ(ConnectionFileName(kTrail5C + "|" + kTrail7C + " " + kTrail20 + "\\"),
              kTrail5C + "_" + kTrail7C + kTrail20 + "_");
    EXPECT_EQ(ConnectionFileName("表" + kTrail5C), "表" + kTrail5C);

}

TEST(ServerTexts, SqlTextDoublesQuotes) {
    EXPECT_EQ(SqlText(""), "''");
    EXPECT_EQ(SqlText("1.2.3.4"), "'1.2.3.4'");
    EXPECT_EQ(SqlText("x' or '1'='1"), "'x'' or ''1''=''1'");
    EXPECT_EQ(SqlText("''"), "''''''");
    EXPECT_EQ(SqlText("\"a\""), "'\"a\"'");
}

ServerEntry fullEntry() { return ServerEntry{"1.2.3.4", "3389", "administrator", "secret", "note", "2025/7/3"}; }

TEST(ServerTexts, MissingFieldsInOrder) {
    EXPECT_EQ(MissingFieldMessage(fullEntry()), "");
    EXPECT_EQ(MissingFieldMessage(ServerEntry{}), "服务器IP不能为空...");

    ServerEntry entry = fullEntry();
    entry.port = "";
    EXPECT_EQ(MissingFieldMessage(entry), "服务器端口不能为空...");
    entry.password = "";
    EXPECT_EQ(MissingFieldMessage(entry), "服务器密码不能为空...");
    entry.user = "";
    EXPECT_EQ(MissingFieldMessage(entry), "服务器用户名不能为空...");
    entry.ip = "";
    EXPECT_EQ(MissingFieldMessage(entry), "服务器IP不能为空...");

    // Note and expiry date are optional; blanks are content.
    ServerEntry blanks{" ", " ", " ", kFullWidthSpace, "", ""};
    EXPECT_EQ(MissingFieldMessage(blanks), "");
}

TEST(ServerTexts, ColumnLimitsCountCharactersNotBytes) {
    std::string twentyChinese;
    for (int i = 0; i < 4; ++i) twentyChinese += kMyServer;  // 20 characters, 40 bytes
    ServerEntry entry = fullEntry();
    entry.ip = twentyChinese;
    entry.user = twentyChinese;
    entry.password = twentyChinese;
    entry.dqsj = twentyChinese;
    entry.port = kMyServer + kMyServer;  // 10
    entry.note.clear();
    for (int i = 0; i < 51; ++i) entry.note += kMyServer;  // 255
    EXPECT_EQ(ColumnLimitMessage(entry), "");

    // One character more in each, last field first, so that each message shows up as the first one.
    entry.dqsj += "x";
    EXPECT_EQ(ColumnLimitMessage(entry), "到期时间不能超过20个字符...");
    entry.note += "表";
    EXPECT_EQ(ColumnLimitMessage(entry), "备注不能超过255个字符...");
    entry.password += "表";
    EXPECT_EQ(ColumnLimitMessage(entry), "服务器密码不能超过20个字符...");
    entry.user += "1";
    EXPECT_EQ(ColumnLimitMessage(entry), "服务器用户名不能超过20个字符...");
    entry.port += "1";
    EXPECT_EQ(ColumnLimitMessage(entry), "服务器端口不能超过10个字符...");
    entry.ip += "表";
    EXPECT_EQ(ColumnLimitMessage(entry), "服务器IP不能超过20个字符...");

    // Plain ASCII at the boundary.
    ServerEntry ascii = fullEntry();
    ascii.ip = std::string(20, '9');
    ascii.port = std::string(10, '9');
    EXPECT_EQ(ColumnLimitMessage(ascii), "");
    ascii.port += "9";
    EXPECT_EQ(ColumnLimitMessage(ascii), "服务器端口不能超过10个字符...");
}

// A fresh template database in a temporary folder of its own.
class ServerRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillon_servers_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = (folder_ / "config.MDB").string();
        ASSERT_TRUE(EnsureConfigDatabaseFile(path_));
        ASSERT_TRUE(db_.Open(path_)) << db_.LastError();
    }
    void TearDown() override {
        db_.CloseConnection();
        fs::remove_all(folder_);
    }

    std::vector<ServerEntry> load() {
        std::vector<ServerEntry> servers;
        EXPECT_TRUE(LoadServers(db_, servers)) << db_.LastError();
        return servers;
    }

    fs::path folder_;
    std::string path_;
    ConfigDatabase db_;
};

void expectSame(const ServerEntry& actual, const ServerEntry& expected) {
    EXPECT_EQ(actual.ip, expected.ip);
    EXPECT_EQ(actual.port, expected.port);
    EXPECT_EQ(actual.user, expected.user);
    EXPECT_EQ(actual.password, expected.password);
    EXPECT_EQ(actual.note, expected.note);
    EXPECT_EQ(actual.dqsj, expected.dqsj);
}

TEST_F(ServerRecordsTest, AddedServersLoadInTableOrder) {
    EXPECT_TRUE(load().empty());
    ServerEntry first{"10.0.0.1", "3389", "administrator", "pw1", kMyServer + "304", "2025/7/3 02:05:09"};
    ServerEntry second{"10.0.0.2", "3390", "user", "pw2", "", ""};
    ServerEntry third{"host.example", "1", "u", "p", kFullWidthSpace + "x", "2026/1/1"};
    ASSERT_TRUE(AddServer(db_, first)) << db_.LastError();
    ASSERT_TRUE(AddServer(db_, second)) << db_.LastError();
    ASSERT_TRUE(AddServer(db_, third)) << db_.LastError();

    // Through a fresh connection, so that nothing comes from memory.
    db_.CloseConnection();
    ASSERT_TRUE(db_.Open(path_)) << db_.LastError();
    std::vector<ServerEntry> servers = load();
    ASSERT_EQ(servers.size(), 3u);
    expectSame(servers[0], first);
    expectSame(servers[1], second);
    expectSame(servers[2], third);
}

TEST_F(ServerRecordsTest, QuotesInEveryFieldAreStoredAndFoundExactly) {
    const std::string tricky = "x' or '1'='1";
    ServerEntry entry{tricky, "'3389'", "O'Brien", "p'w\"d", "it's " + kMyServer + " ''", "'"};
    ServerEntry other{"1.2.3.4", "3389", "a", "b", "c", "d"};
    ASSERT_TRUE(AddServer(db_, other)) << db_.LastError();
    ASSERT_TRUE(AddServer(db_, entry)) << db_.LastError();

    std::vector<ServerEntry> servers = load();
    ASSERT_EQ(servers.size(), 2u);
    expectSame(servers[1], entry);

    EXPECT_TRUE(FindServer(db_, tricky, "'3389'")) << db_.LastError();
    EXPECT_EQ(db_.RecordCount(), 1);  // the condition did not turn into "or true"
    EXPECT_EQ(db_.ReadText("user"), "O'Brien");
    EXPECT_FALSE(FindServer(db_, tricky, "3389"));
    EXPECT_FALSE(FindServer(db_, "x", "'3389'"));

    // Deleting the tricky one leaves the other row alone.
    ASSERT_TRUE(DeleteServers(db_, tricky, "'3389'")) << db_.LastError();
    servers = load();
    ASSERT_EQ(servers.size(), 1u);
    expectSame(servers[0], other);
}

TEST_F(ServerRecordsTest, DuplicatesAreTwoRowsAndDeleteRemovesBoth) {
    ServerEntry entry{"1.2.3.4", "3389", "a", "b", "first", ""};
    ServerEntry keep{"1.2.3.4", "3390", "a", "b", "other port", ""};
    ASSERT_TRUE(AddServer(db_, entry));
    ASSERT_TRUE(AddServer(db_, keep));
    entry.note = "second";
    ASSERT_TRUE(AddServer(db_, entry));
    EXPECT_EQ(load().size(), 3u);

    ASSERT_TRUE(DeleteServers(db_, "1.2.3.4", "3389")) << db_.LastError();
    std::vector<ServerEntry> servers = load();
    ASSERT_EQ(servers.size(), 1u);
    expectSame(servers[0], keep);
    // Deleting what is not there is no failure.
    EXPECT_TRUE(DeleteServers(db_, "1.2.3.4", "3389")) << db_.LastError();
    EXPECT_EQ(load().size(), 1u);
}

TEST_F(ServerRecordsTest, SaveFoundServerChangesOnlyTheFirstMatch) {
    ServerEntry a{"1.2.3.4", "3389", "a", "b", "first", ""};
    ServerEntry other{"5.6.7.8", "3389", "x", "y", "other", ""};
    ServerEntry b{"1.2.3.4", "3389", "a", "b", "second", ""};
    ASSERT_TRUE(AddServer(db_, a));
    ASSERT_TRUE(AddServer(db_, other));
    ASSERT_TRUE(AddServer(db_, b));

    ASSERT_TRUE(FindServer(db_, "1.2.3.4", "3389")) << db_.LastError();
    EXPECT_EQ(db_.RecordCount(), 2);
    EXPECT_EQ(db_.ReadText("note"), "first");
    ServerEntry changed{"9.9.9.9", "3390", "new user", "new pw", "changed " + kMyServer, "2030/1/1"};
    ASSERT_TRUE(SaveFoundServer(db_, changed)) << db_.LastError();

    db_.CloseConnection();
    ASSERT_TRUE(db_.Open(path_));
    std::vector<ServerEntry> servers = load();
    ASSERT_EQ(servers.size(), 3u);
    expectSame(servers[0], changed);
    expectSame(servers[1], other);
    expectSame(servers[2], b);
    // The remaining duplicate is now the first match.
    ASSERT_TRUE(FindServer(db_, "1.2.3.4", "3389"));
    EXPECT_EQ(db_.ReadText("note"), "second");
}

TEST_F(ServerRecordsTest, FindServerNeedsAnExactMatchOfAnExistingRow) {
    ASSERT_TRUE(AddServer(db_, ServerEntry{"Host.Example", "3389", "a", "b", "", ""}));
    EXPECT_TRUE(FindServer(db_, "Host.Example", "3389"));
    // The database matches ignoring case, the program wants the exact text.
    EXPECT_FALSE(FindServer(db_, "host.example", "3389"));
    EXPECT_EQ(db_.RecordCount(), 1);
    EXPECT_FALSE(FindServer(db_, "Host.Example", "3390"));
    // An empty result is not a row of empty texts.
    EXPECT_FALSE(FindServer(db_, "", ""));

    // The row vanishes (another copy of the program deleted it).
    ASSERT_TRUE(db_.Execute("delete from Server")) << db_.LastError();
    EXPECT_FALSE(FindServer(db_, "Host.Example", "3389"));
}

TEST_F(ServerRecordsTest, FailuresReturnFalseWithTheReason) {
    // A value the column cannot hold: AddServer fails and the table stays empty.
    ServerEntry entry{"1.2.3.4", "12345678901", "a", "b", "", ""};
    EXPECT_FALSE(AddServer(db_, entry));
    EXPECT_NE(db_.LastError().find("port"), std::string::npos) << db_.LastError();
    EXPECT_TRUE(load().empty());

    ASSERT_TRUE(AddServer(db_, fullEntry()));
    ASSERT_TRUE(FindServer(db_, "1.2.3.4", "3389"));
    ServerEntry tooLong = fullEntry();
    tooLong.note = std::string(256, 'n');
    EXPECT_FALSE(SaveFoundServer(db_, tooLong));
    EXPECT_NE(db_.LastError().find("note"), std::string::npos) << db_.LastError();

    // Without a database every operation fails with a message.
    ConfigDatabase closed;
    std::vector<ServerEntry> servers{fullEntry()};
    EXPECT_FALSE(LoadServers(closed, servers));
    EXPECT_FALSE(closed.LastError().empty());
    EXPECT_EQ(servers.size(), 1u);  // left as it was
    EXPECT_FALSE(AddServer(closed, fullEntry()));
    EXPECT_FALSE(FindServer(closed, "1.2.3.4", "3389"));
    EXPECT_FALSE(SaveFoundServer(closed, fullEntry()));
    EXPECT_FALSE(DeleteServers(closed, "1.2.3.4", "3389"));
    EXPECT_FALSE(closed.LastError().empty());
}

// What the program stores is readable by an independent reader: mdb-export prints the rows as CSV in
// UTF-8, text in double quotes with inner double quotes doubled.
TEST_F(ServerRecordsTest, MdbExportReadsTheStoredServers) {
    if (std::system("command -v mdb-export >/dev/null 2>&1") != 0) GTEST_SKIP() << "mdb-export is not installed";

    ASSERT_TRUE(AddServer(db_, ServerEntry{"1.2.3.4", "3389", "O'Brien", "p\"w", kMyServer + "304", "2025/7/3"}));
    ASSERT_TRUE(AddServer(db_, ServerEntry{"x' or '1'='1", "1", "u", "p", "表" + kTrail5C, ""}));
    db_.CloseConnection();

    std::string command = "mdb-export -H '" + path_ + "' Server 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0) << output;

    // The first column is the AutoNumber id, which the program does not choose; compare what follows it.
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        size_t comma = line.find(',');
        lines.push_back(comma == std::string::npos ? line : line.substr(comma + 1));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 2u) << output;
    EXPECT_EQ(lines[0], utf8(u8"\"1.2.3.4\",\"3389\",\"O'Brien\",\"p\"\"w\",\"我的服务器304\",\"2025/7/3\""));
    // mdb-export prints an empty text as nothing between the delimiters.
    EXPECT_EQ(lines[1], utf8(u8"\"x' or '1'='1\",\"1\",\"u\",\"p\",\"表昞\","));
}

}  // namespace
}  // namespace catalogue
