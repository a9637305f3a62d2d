// The statements the program sends: parsing, text comparison, and their effect on a real database.
#include "jet/sql.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "jet/create.h"
#include "jet/error.h"

namespace jet::sql {
namespace {

std::u16string u(const char* utf8) { return fromUtf8(utf8); }

// The message of the jet::Error that `body` throws; fails the test when it throws nothing.
template <typename Body>
std::string errorOf(Body body) {
    try {
        body();
    } catch (const Error& e) {
        return e.what();
    }
    ADD_FAILURE() << "no jet::Error thrown";
    return "";
}

std::string parseError(const char* text) {
    return errorOf([&] { parse(u(text)); });
}

// The 35 columns of the program's configuration row, in the order its statements name them.
const char* const kConfigColumns[] = {
    "id",   "kd",   "gd",   "wz",   "qpxz",   "ys",     "qpsxlan", "ypxz",   "yplz",   "jpxz",  "dyxz",  "jtxz",
    "znxz", "qdxz", "xnxz", "bjxz", "ztxz",   "hcxz",   "tdxz",    "dhxz",   "sjxz",   "twhcxz", "dxclxz", "sfyz",
    "dkxz", "spbhxz", "qtzcxz", "wz1", "zdjcRD", "syRD", "RDmc",   "RDdl",   "bsybdRD", "bsyRD",  "RDpj"};

std::string configInsert(const std::vector<std::string>& values) {
    std::string columns, list;
    for (size_t i = 0; i < std::size(kConfigColumns); ++i) {
        columns += std::string(i ? "," : "") + "`" + kConfigColumns[i] + "`";
        list += std::string(i ? "," : "") + "'" + values[i] + "'";
    }
    return "INSERT INTO `config`(" + columns + ") VALUES (" + list + ")";
}

std::string configUpdate(const std::vector<std::string>& values) {
    std::string text = "UPDATE `config` SET ";
    for (size_t i = 1; i < std::size(kConfigColumns); ++i) {
        text += std::string(i > 1 ? "," : "") + "`" + kConfigColumns[i] + "`='" + values[i] + "'";
    }
    return text + " WHERE `id` = '1'";
}

TEST(SqlParse, TheProgramsStatements) {
    Statement del = parse(u("delete from Server where ip='1.2.3.4' and port= '3389'"));
    EXPECT_EQ(del.kind, Statement::Kind::Delete);
    EXPECT_EQ(del.table, u"Server");
    ASSERT_EQ(del.where.size(), 2u);
    EXPECT_EQ(del.where[0].column, u"ip");
    EXPECT_EQ(del.where[0].literal, u"1.2.3.4");
    EXPECT_EQ(del.where[1].column, u"port");
    EXPECT_EQ(del.where[1].literal, u"3389");

    Statement select = parse(u("select * from Server where ip= '1.2.3.4' and port='3389'"));
    EXPECT_EQ(select.kind, Statement::Kind::Select);
    ASSERT_EQ(select.where.size(), 2u);
    EXPECT_EQ(select.where[1].literal, u"3389");

    std::vector<std::string> values;
    for (size_t i = 0; i < std::size(kConfigColumns); ++i) values.push_back(std::to_string(i * 7));
    values[0] = "1";
    Statement insert = parse(u(configInsert(values).c_str()));
    EXPECT_EQ(insert.kind, Statement::Kind::Insert);
    EXPECT_EQ(insert.table, u"config");
    ASSERT_EQ(insert.columns.size(), 35u);
    ASSERT_EQ(insert.values.size(), 35u);
    EXPECT_EQ(insert.columns[34], u"RDpj");
    EXPECT_EQ(insert.values[34], u"238");
    EXPECT_TRUE(insert.where.empty());

    Statement update = parse(u(configUpdate(values).c_str()));
    EXPECT_EQ(update.kind, Statement::Kind::Update);
    ASSERT_EQ(update.columns.size(), 34u);
    EXPECT_EQ(update.columns[0], u"kd");
    EXPECT_EQ(update.values[0], u"7");
    ASSERT_EQ(update.where.size(), 1u);
    EXPECT_EQ(update.where[0].column, u"id");
    EXPECT_EQ(update.where[0].literal, u"1");
}

TEST(SqlParse, SpellingsOfKeywordsNamesAndLiterals) {
    Statement s = parse(u("SeLeCt * FrOm [my table] WhErE `ip`='a''b' AnD [note]='''';"));
    EXPECT_EQ(s.kind, Statement::Kind::Select);
    EXPECT_EQ(s.table, u"my table");
    ASSERT_EQ(s.where.size(), 2u);
    EXPECT_EQ(s.where[0].column, u"ip");
    EXPECT_EQ(s.where[0].literal, u"a'b");
    EXPECT_EQ(s.where[1].literal, u"'");

    Statement all = parse(u("DELETE FROM Server"));
    EXPECT_TRUE(all.where.empty());

    // Chinese text in literals and names, empty literals, line breaks between tokens.
    Statement chinese = parse(u("update 服务器\n set 备注 = '我的服务器', dqsj=''\r\n where ip = ' x '"));
    EXPECT_EQ(chinese.table, u("服务器"));
    EXPECT_EQ(chinese.columns, (std::vector<std::u16string>{u("备注"), u"dqsj"}));
    EXPECT_EQ(chinese.values, (std::vector<std::u16string>{u("我的服务器"), u""}));
    EXPECT_EQ(chinese.where[0].literal, u" x ");  // blanks inside the quotes are kept
}

TEST(SqlParse, RefusesWhatTheProgramNeverSendsAndSaysWhere) {
    std::string orError = parseError("select * from Server where ip='a' or port='b'");
    EXPECT_NE(orError.find("\"or\""), std::string::npos) << orError;
    EXPECT_NE(orError.find("character 35"), std::string::npos) << orError;

    std::string likeError = parseError("select * from Server where ip like 'a%'");
    EXPECT_NE(likeError.find("\"like\""), std::string::npos) << likeError;

    std::string number = parseError("delete from Server where port=3389");
    EXPECT_NE(number.find("3389"), std::string::npos) << number;
    EXPECT_NE(number.find("character 31"), std::string::npos) << number;

    std::string unterminated = parseError("delete from Server where ip='1.2.3.4");
    EXPECT_NE(unterminated.find("character 29"), std::string::npos) << unterminated;
    EXPECT_NE(unterminated.find("quote"), std::string::npos) << unterminated;

    std::string extra = parseError("delete from Server where ip='a' port='b'");
    EXPECT_NE(extra.find("\"port\""), std::string::npos) << extra;

    std::string twoStatements = parseError("delete from Server; delete from config");
    EXPECT_NE(twoStatements.find("\"delete\""), std::string::npos) << twoStatements;

    std::string counts = parseError("insert into Server (ip, port) values ('a')");
    EXPECT_NE(counts.find("2 columns but 1 values"), std::string::npos) << counts;

    std::string bracket = parseError("select * from [Server where ip='a'");
    EXPECT_NE(bracket.find("character 15"), std::string::npos) << bracket;

    EXPECT_NE(parseError("select ip from Server").find("'*'"), std::string::npos);
    EXPECT_NE(parseError("drop table Server").find("\"drop\""), std::string::npos);
    EXPECT_NE(parseError("select * from where ip='a'").find("table name"), std::string::npos);
    EXPECT_NE(parseError("select * from Server where ip<'a'").find("\"<\""), std::string::npos);
    EXPECT_NE(parseError("select * from Server where").find("end of the statement"), std::string::npos);
    EXPECT_NE(parseError("update Server set ip='a',").find("end of the statement"), std::string::npos);
    EXPECT_NE(parseError("").find("SELECT"), std::string::npos);
}

TEST(SqlTextEquals, GeneralSortOrderEquality) {
    EXPECT_TRUE(textEquals(u"Server", u"sERVER"));
    EXPECT_TRUE(textEquals(u"abc   ", u"ABC"));       // trailing blanks ignored on either side
    EXPECT_TRUE(textEquals(u"abc", u"abc  "));
    EXPECT_FALSE(textEquals(u"  abc", u"abc"));       // leading blanks count
    EXPECT_FALSE(textEquals(u"a bc", u"abc"));
    EXPECT_TRUE(textEquals(u"", u""));
    EXPECT_TRUE(textEquals(u"", u"   "));
    EXPECT_FALSE(textEquals(u"", u"a"));
    EXPECT_FALSE(textEquals(u"1.2.3.4", u"1.2.3.40"));

    // Accents are significant, their case is not.
    EXPECT_FALSE(textEquals(u("é"), u"e"));
    EXPECT_TRUE(textEquals(u("É"), u("é")));
    EXPECT_TRUE(textEquals(u("ÀÖØÞ"), u("àöøþ")));
    EXPECT_TRUE(textEquals(u("Ÿ"), u("ÿ")));
    EXPECT_FALSE(textEquals(u("ß"), u"ss"));  // simple folding: no expansion
    // Latin Extended-A and the pinyin tone letters of Extended-B.
    EXPECT_TRUE(textEquals(u("ĀČĐĘĞĦĲŁŃŒŠŦŽ"), u("āčđęğħĳłńœšŧž")));
    EXPECT_TRUE(textEquals(u("ǍǏǑǓǕǗǙǛ"), u("ǎǐǒǔǖǘǚǜ")));
    EXPECT_FALSE(textEquals(u("ǎ"), u("ā")));
    // Greek, final sigma included, and Cyrillic.
    EXPECT_TRUE(textEquals(u("ΑΒΓΔΆΈΏΣ"), u("αβγδάέώς")));
    EXPECT_TRUE(textEquals(u("ΣΊΣΥΦΟΣ"), u("σίσυφοσ")));
    EXPECT_TRUE(textEquals(u("ЁЖЯЂЏѢҐӁ"), u("ёжяђџѣґӂ")));
    EXPECT_FALSE(textEquals(u("Е"), u"E"));  // Cyrillic Ie is not Latin E
    // Full-width letters fold among themselves but never to half-width ones.
    EXPECT_TRUE(textEquals(u("ＡＢＣ"), u("ａｂｃ")));
    EXPECT_FALSE(textEquals(u("ＡＢＣ"), u"ABC"));
    EXPECT_FALSE(textEquals(u("ａ"), u"a"));
    // Chinese text compares exactly; a full-width blank is not trimmed.
    EXPECT_TRUE(textEquals(u("我的服务器"), u("我的服务器 ")));
    EXPECT_FALSE(textEquals(u("我的服务器　"), u("我的服务器")));
    // Letters next to the folded ranges stay apart.
    EXPECT_FALSE(textEquals(u"[", u"{"));
    EXPECT_FALSE(textEquals(u("×"), u("÷")));
    EXPECT_FALSE(textEquals(u("@"), u("`")));
}

// ---------------------------------------------------------------------------------------------------------
// Running statements on a database built in memory or in a temporary file.

NewTable serverTable() {
    NewTable t;
    t.name = u"Server";
    t.columns = {{u"id", ColumnType::Long, 0, true},     {u"ip", ColumnType::Text, 20},
                 {u"port", ColumnType::Text, 10},        {u"user", ColumnType::Text, 20},
                 {u"password", ColumnType::Text, 20},    {u"note", ColumnType::Text, 255},
                 {u"dqsj", ColumnType::Text, 20}};
    return t;
}

NewTable numbersTable() {
    NewTable t;
    t.name = u"Numbers";
    t.columns = {{u"b", ColumnType::Byte},   {u"i", ColumnType::Integer}, {u"l", ColumnType::Long},
                 {u"d", ColumnType::Double}, {u"m", ColumnType::Memo},    {u"t", ColumnType::Text, 5}};
    return t;
}

std::unique_ptr<Database> newDatabase() {
    return Database::openBytes(createDatabase({serverTable(), numbersTable()}));
}

Result run(Database& db, const std::string& text) { return execute(db, parse(u(text.c_str()))); }

std::string text(const Value& v) {
    if (isNull(v)) return "<null>";
    if (const auto* s = std::get_if<std::u16string>(&v)) return toUtf8(*s);
    if (const auto* n = std::get_if<int64_t>(&v)) return std::to_string(*n);
    return "<other>";
}

// Rows of a table as "id|ip|port|..." lines.
std::vector<std::string> dump(Database& db, const char* table) {
    std::vector<std::string> lines;
    for (const StoredRow& row : db.readRows(db.table(u(table)))) {
        std::string line;
        for (size_t i = 0; i < row.values.size(); ++i) line += (i ? "|" : "") + text(row.values[i]);
        lines.push_back(line);
    }
    return lines;
}

TEST(SqlExecute, InsertFillsUnnamedColumnsAndNumbersRows) {
    auto db = newDatabase();
    Result r1 = run(*db, "insert into Server (ip, port, note) values ('1.2.3.4', '3389', 'it''s mine')");
    EXPECT_EQ(r1.affected, 1u);
    ASSERT_NE(r1.table, nullptr);
    EXPECT_EQ(r1.table->name, u"Server");
    run(*db, "INSERT INTO [Server] ([IP], `Port`) VALUES ('5.6.7.8', '')");
    EXPECT_EQ(dump(*db, "Server"), (std::vector<std::string>{
                                       "1|1.2.3.4|3389|<null>|<null>|it's mine|<null>",
                                       "2|5.6.7.8||<null>|<null>|<null>|<null>",
                                   }));
}

TEST(SqlExecute, UpdateAndDeleteApplyToEveryMatchingRow) {
    auto db = newDatabase();
    run(*db, "insert into Server (ip, port, user) values ('1.2.3.4', '3389', 'a')");
    run(*db, "insert into Server (ip, port, user) values ('1.2.3.4 ', '3389', 'b')");  // trailing blank
    run(*db, "insert into Server (ip, port, user) values ('1.2.3.4', '3390', 'c')");
    run(*db, "insert into Server (ip, user) values ('1.2.3.4', 'd')");                 // port null

    Result select = run(*db, "select * from Server where IP= '1.2.3.4' and port='3389'");
    ASSERT_EQ(select.rows.size(), 2u);
    EXPECT_EQ(text(select.rows[0].values[3]), "a");
    EXPECT_EQ(text(select.rows[1].values[3]), "b");

    Result update = run(*db, "update Server set note='x', dqsj='2025/7/3 02:05:09' where ip='1.2.3.4' and port='3389'");
    EXPECT_EQ(update.affected, 2u);
    Result del = run(*db, "delete from Server where ip='1.2.3.4' and port= '3389'");
    EXPECT_EQ(del.affected, 2u);
    EXPECT_EQ(dump(*db, "Server"), (std::vector<std::string>{
                                       "3|1.2.3.4|3390|c|<null>|<null>|<null>",
                                       "4|1.2.3.4|<null>|d|<null>|<null>|<null>",
                                   }));
    // A null never matches, not even the empty text; the empty text matches only empty values.
    EXPECT_EQ(run(*db, "select * from Server where port=''").rows.size(), 0u);
    run(*db, "update Server set note='' where user='c'");
    EXPECT_EQ(run(*db, "select * from Server where note=''").rows.size(), 1u);
    EXPECT_EQ(run(*db, "select * from Server where note='  '").rows.size(), 1u);
    EXPECT_EQ(run(*db, "delete from Server where ip='9.9.9.9'").affected, 0u);
    EXPECT_EQ(run(*db, "delete from Server").affected, 2u);
    EXPECT_TRUE(db->readRows(db->table(u"Server")).empty());
}

TEST(SqlExecute, RefusesBadNamesAndValuesWithoutChangingAnything) {
    auto db = newDatabase();
    run(*db, "insert into Server (ip, port) values ('1.2.3.4', '3389')");
    const std::vector<std::string> before = dump(*db, "Server");

    EXPECT_NE(errorOf([&] { run(*db, "select * from Servers"); }).find("Servers"), std::string::npos);
    std::string column = errorOf([&] { run(*db, "update Server set address='x' where ip='1.2.3.4'"); });
    EXPECT_NE(column.find("\"address\""), std::string::npos) << column;
    column = errorOf([&] { run(*db, "delete from Server where host='x'"); });
    EXPECT_NE(column.find("\"host\""), std::string::npos) << column;

    std::string tooLong = errorOf([&] { run(*db, "update Server set port='12345678901' where ip='1.2.3.4'"); });
    EXPECT_NE(tooLong.find("\"port\""), std::string::npos) << tooLong;
    EXPECT_NE(tooLong.find("at most 10"), std::string::npos) << tooLong;
    // Exactly at the limit is fine, counted in characters, not bytes.
    run(*db, "update Server set port='一二三四五六七八九十' where ip='1.2.3.4'");
    run(*db, "update Server set port='3389' where ip='1.2.3.4'");

    EXPECT_NE(errorOf([&] { run(*db, "update Server set id='7'"); }).find("AutoNumber"), std::string::npos);
    EXPECT_NE(errorOf([&] { run(*db, "update Server set ip='a', IP='b'"); }).find("twice"), std::string::npos);
    EXPECT_EQ(dump(*db, "Server"), before);
}

TEST(SqlExecute, LiteralsForOtherColumnTypes) {
    auto db = newDatabase();
    run(*db, "insert into Numbers (b, i, l, m, t) values ('255', '-32768', ' 2147483647 ', 'memo', 'abc')");
    EXPECT_EQ(dump(*db, "Numbers"), (std::vector<std::string>{"255|-32768|2147483647|<null>|memo|abc"}));
    EXPECT_EQ(run(*db, "select * from Numbers where l='2147483647'").rows.size(), 1u);
    EXPECT_EQ(run(*db, "select * from Numbers where m='MEMO'").rows.size(), 1u);

    EXPECT_NE(errorOf([&] { run(*db, "insert into Numbers (b) values ('256')"); }).find("out of range"),
              std::string::npos);
    EXPECT_NE(errorOf([&] { run(*db, "insert into Numbers (i) values ('40000')"); }).find("out of range"),
              std::string::npos);
    EXPECT_NE(errorOf([&] { run(*db, "insert into Numbers (l) values ('1.5')"); }).find("whole number"),
              std::string::npos);
    EXPECT_NE(errorOf([&] { run(*db, "insert into Numbers (l) values ('')"); }).find("whole number"),
              std::string::npos);
    EXPECT_NE(errorOf([&] { run(*db, "insert into Numbers (d) values ('1')"); }).find("Double"), std::string::npos);
    EXPECT_NE(errorOf([&] { run(*db, "select * from Numbers where l='x'"); }).find("mismatch"), std::string::npos);
    EXPECT_EQ(dump(*db, "Numbers").size(), 1u);
}

// Memos on long-value pages, several to a page or chained, read back; a condition on the memo column (named
// twice) and the matching rows decoded after it are separate reads of each value, not values sharing pages.
TEST(SqlExecute, LongMemosReadBackAndMatchConditions) {
    auto db = newDatabase();
    auto memo = [](int i) { return toUtf8(std::u16string(size_t(520 + (i % 7) * (i % 2 ? 3 : 900)), u'\u4e2d')); };
    for (int i = 0; i < 100; ++i)
        run(*db, "insert into Numbers (l, m) values ('" + std::to_string(i) + "', '" + memo(i) + "')");
    std::vector<std::string> rows = dump(*db, "Numbers");
    ASSERT_EQ(rows.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(rows[size_t(i)], "<null>|<null>|" + std::to_string(i) + "|<null>|" + memo(i) + "|<null>");
    Result same = run(*db, "select * from Numbers where m='" + memo(5) + "' and M='" + memo(5) + "'");
    ASSERT_EQ(same.rows.size(), 7u);  // i = 5, 19, ..., 89
    for (const StoredRow& row : same.rows) EXPECT_EQ(text(row.values[4]), memo(5));
    EXPECT_TRUE(db->check().empty());
}

TEST(SqlExecute, AFailedStatementLeavesTheFileByteIdentical) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quillon_sql_test_" + std::to_string(::getpid()) + ".mdb");
    {
        std::vector<uint8_t> bytes = createDatabase({serverTable(), numbersTable()});
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    auto readFile = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    };
    {
        auto db = Database::open(path.string());
        run(*db, "insert into Server (ip, port) values ('a', '1')");
        run(*db, "insert into Server (ip, port) values ('b', '1')");
    }
    const std::vector<char> before = readFile();
    {
        auto db = Database::open(path.string());
        // A note too long for its column, and a port too long in an insert: nothing may change.
        EXPECT_THROW(run(*db, "update Server set note='" + std::string(256, 'n') + "' where port='1'"), Error);
        EXPECT_THROW(run(*db, "insert into Server (ip, port) values ('c', '12345678901')"), Error);
    }
    EXPECT_EQ(readFile(), before);
    {
        auto db = Database::open(path.string());
        EXPECT_EQ(run(*db, "update Server set note='ok' where port='1'").affected, 2u);
    }
    auto db = Database::open(path.string());
    EXPECT_EQ(run(*db, "select * from Server where note='OK'").rows.size(), 2u);
    db.reset();
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace jet::sql
