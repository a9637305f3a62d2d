// Writes sample databases through the engine, for independent readers (mdbtools, mdb-reader) to read back.
//
//   interop_samples OUTDIR [--read NAME FILE]...
//
// Every sample starts as the configuration template and then goes through one kind of change: a few inserts,
// growth onto many data pages, updates that make rows larger, deletes, an indexed table, awkward texts and the
// statements the program sends. `--read` adds a file written elsewhere (for example by the Jet engine) as it
// is, to compare our reading of it with the other readers'.
//
// While it writes, the program keeps its own list of the rows each table should hold (AutoNumbers included)
// and, after reopening each file from disk, checks that the engine reads back exactly those rows and that
// Database::check() finds nothing. Then, for each sample NAME, it writes into OUTDIR:
//   NAME.mdb      the database
//   NAME.tables   the user tables, one name a line, in catalogue order
//   NAME.counts   "table<TAB>row count" lines
//   NAME.columns  "table<TAB>column" lines
//   NAME.json     the engine's view of every user table: {"tables":[{"name","columns","rows"}]}
//   NAME.order    "exact", or "any" when updates may have moved rows: the engine lists a moved row at its
//                 original place, as Jet does, while mdbtools and mdb-reader list it where its data now lives
// and OUTDIR/samples.txt lists the sample names. The exit status is 0 only when every sample was written and
// read back as expected.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql.h"

#if __has_include("catalogue/config_template.h")
#include "catalogue/config_template.h"
#define QUILLON_HAVE_CONFIG_TEMPLATE 1
#endif

namespace fs = std::filesystem;
using jet::Row;
using jet::Value;

namespace {

std::u16string u(const std::string& utf8) { return jet::fromUtf8(utf8); }
std::string utf8(const std::u16string& text) { return jet::toUtf8(text); }

// ---------------------------------------------------------------------------------------------------------
// JSON output, in the form the mdb-reader script prints.

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

std::string hex(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return jsonString(std::to_string(value));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// Values that JSON has no plain form for are tagged objects; the mdb-reader script tags them the same way.
std::string jsonValue(const Value& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(int64_t n) const { return std::to_string(n); }
        std::string operator()(double d) const { return jsonNumber(d); }
        std::string operator()(const std::u16string& s) const { return jsonString(utf8(s)); }
        std::string operator()(const jet::Bytes& b) const {
            return "{\"bytes\":\"" + hex(b.data(), b.size()) + "\"}";
        }
        std::string operator()(const jet::Currency& c) const {
            return "{\"currency\":" + jsonString(std::to_string(c.tenThousandths)) + "}";
        }
        std::string operator()(const jet::DateTime& d) const { return "{\"oleDays\":" + jsonNumber(d.oleDays) + "}"; }
        std::string operator()(const jet::Guid& g) const {
            return "{\"guid\":\"" + hex(g.bytes.data(), g.bytes.size()) + "\"}";
        }
        std::string operator()(const jet::Numeric& n) const {
            return "{\"numeric\":\"" + std::string(n.negative ? "-" : "") + hex(n.magnitude.data(), 16) + "/" +
                   std::to_string(n.scale) + "\"}";
        }
    };
    return std::visit(Visitor{}, value);
}

std::string jsonRow(const Row& row) {
    std::string out = "[";
    for (size_t i = 0; i < row.size(); ++i) out += (i ? "," : "") + jsonValue(row[i]);
    return out + "]";
}

// ---------------------------------------------------------------------------------------------------------
// The rows each table should hold, kept by this program independently of the engine.

struct ExpectedRow {
    jet::RowId id;  // where the engine put it (for updates and deletes)
    Row values;
};

struct ExpectedTable {
    std::u16string name;
    int autoNumberColumn = -1;
    int64_t lastAutoNumber = 0;
    std::vector<ExpectedRow> rows;
};

class Sample {
public:
    Sample(std::string name, fs::path file) : name_(std::move(name)), file_(std::move(file)) {}

    const std::string& name() const { return name_; }
    const fs::path& file() const { return file_; }
    jet::Database& db() { return *db_; }

    // Writes a new database holding `tables` and opens it.
    void create(const std::vector<jet::NewTable>& tables) {
        std::vector<uint8_t> bytes = jet::createDatabase(tables);
        std::ofstream out(file_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) throw jet::Error("cannot write " + file_.string());
        expected_.clear();
        for (const jet::NewTable& table : tables) {
            ExpectedTable& t = expected_[table.name];
            t.name = table.name;
            for (size_t c = 0; c < table.columns.size(); ++c)
                if (table.columns[c].autoNumber) t.autoNumberColumn = int(c);
            for (const Row& row : table.rows) t.rows.push_back({{}, withAutoNumber(t, row)});
        }
        open();
        // Rows written by createDatabase have no RowId here yet: take them from the file.
        for (auto& [name, t] : expected_) matchRowIds(t);
    }

    void open() { db_ = jet::Database::open(file_.string()); }
    void close() { db_.reset(); }

    ExpectedTable& expected(const std::u16string& name) { return expected_.at(name); }

    // Inserts rows in one statement; a null in the AutoNumber column takes the next number.
    void insert(const std::u16string& tableName, const std::vector<Row>& rows) {
        ExpectedTable& t = expected_.at(tableName);
        std::vector<ExpectedRow> added;
        db_->statement([&] {
            const jet::TableDef& def = db_->table(tableName);
            for (const Row& row : rows) {
                jet::RowId id = db_->insertRow(def, row);
                added.push_back({id, row});
            }
        });
        for (ExpectedRow& row : added) {
            row.values = withAutoNumber(t, row.values);
            t.rows.push_back(std::move(row));
        }
    }

    // Changes column `column` of the rows at the given positions of the expected list, in one statement.
    void update(const std::u16string& tableName, const std::vector<size_t>& positions, size_t column,
                const std::function<Value(const Row&)>& newValue) {
        ExpectedTable& t = expected_.at(tableName);
        std::vector<Value> values;
        for (size_t p : positions) values.push_back(newValue(t.rows.at(p).values));
        db_->statement([&] {
            const jet::TableDef& def = db_->table(tableName);
            for (size_t i = 0; i < positions.size(); ++i)
                db_->updateRow(def, t.rows[positions[i]].id, {{column, values[i]}});
        });
        for (size_t i = 0; i < positions.size(); ++i) t.rows[positions[i]].values[column] = values[i];
        rowsMayMove_ = true;
    }

    // Whether an update may have moved a row's data to another place.
    bool rowsMayMove() const { return rowsMayMove_; }
    void setRowsMayMove() { rowsMayMove_ = true; }

    // Deletes the rows at the given positions of the expected list, in one statement.
    void remove(const std::u16string& tableName, std::vector<size_t> positions) {
        ExpectedTable& t = expected_.at(tableName);
        db_->statement([&] {
            const jet::TableDef& def = db_->table(tableName);
            for (size_t p : positions) db_->deleteRow(def, t.rows.at(p).id);
        });
        std::sort(positions.rbegin(), positions.rend());
        for (size_t p : positions) t.rows.erase(t.rows.begin() + std::ptrdiff_t(p));
    }

    // Reopens the file from disk and checks that the engine reads exactly the expected rows.
    // Returns the problems found.
    std::vector<std::string> verify() {
        close();
        open();
        std::vector<std::string> problems = db_->check();
        std::vector<std::u16string> names = db_->tableNames();
        for (const auto& [name, t] : expected_) {
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                problems.push_back("table " + utf8(name) + " is missing");
                continue;
            }
            std::vector<std::string> want, got;
            for (const ExpectedRow& row : t.rows) want.push_back(jsonRow(row.values));
            for (const jet::StoredRow& row : db_->readRows(db_->table(name))) got.push_back(jsonRow(row.values));
            std::sort(want.begin(), want.end());
            std::sort(got.begin(), got.end());
            if (want.size() != got.size())
                problems.push_back("table " + utf8(name) + ": " + std::to_string(got.size()) + " rows read, " +
                                   std::to_string(want.size()) + " expected");
            std::vector<std::string> missing, extra;
            std::set_difference(want.begin(), want.end(), got.begin(), got.end(), std::back_inserter(missing));
            std::set_difference(got.begin(), got.end(), want.begin(), want.end(), std::back_inserter(extra));
            if (!missing.empty()) problems.push_back("table " + utf8(name) + ": row not read back: " + missing[0]);
            if (!extra.empty()) problems.push_back("table " + utf8(name) + ": unexpected row read: " + extra[0]);
        }
        if (names.size() != expected_.size())
            problems.push_back(std::to_string(names.size()) + " user tables, " + std::to_string(expected_.size()) +
                               " expected");
        return problems;
    }

private:
    static Row withAutoNumber(ExpectedTable& t, Row row) {
        if (t.autoNumberColumn >= 0) {
            Value& v = row.at(size_t(t.autoNumberColumn));
            if (jet::isNull(v)) v = ++t.lastAutoNumber;
        }
        return row;
    }

    void matchRowIds(ExpectedTable& t) {
        std::vector<jet::StoredRow> stored = db_->readRows(db_->table(t.name));
        std::vector<bool> taken(stored.size());
        for (ExpectedRow& row : t.rows) {
            for (size_t i = 0; i < stored.size(); ++i) {
                if (!taken[i] && stored[i].values == row.values) {
                    row.id = stored[i].id;
                    taken[i] = true;
                    break;
                }
            }
        }
    }

    std::string name_;
    fs::path file_;
    std::unique_ptr<jet::Database> db_;
    std::map<std::u16string, ExpectedTable> expected_;
    bool rowsMayMove_ = false;
};

// Writes NAME.tables, NAME.counts, NAME.columns, NAME.json and NAME.order from the engine's reading of `file`.
void writeEngineView(const fs::path& dir, const std::string& name, const fs::path& file, bool rowsMayMove) {
    std::unique_ptr<jet::Database> db = jet::Database::open(file.string());
    std::ofstream tables(dir / (name + ".tables")), counts(dir / (name + ".counts")),
        columns(dir / (name + ".columns")), json(dir / (name + ".json")), order(dir / (name + ".order"));
    order << (rowsMayMove ? "any" : "exact") << "\n";
    json << "{\"tables\":[";
    bool firstTable = true;
    for (const std::u16string& tableName : db->tableNames()) {
        const jet::TableDef& def = db->table(tableName);
        std::vector<jet::StoredRow> rows = db->readRows(def);
        tables << utf8(tableName) << '\n';
        counts << utf8(tableName) << '\t' << rows.size() << '\n';
        json << (firstTable ? "" : ",") << "\n{\"name\":" << jsonString(utf8(tableName)) << ",\"columns\":[";
        firstTable = false;
        for (size_t c = 0; c < def.columns.size(); ++c) {
            columns << utf8(tableName) << '\t' << utf8(def.columns[c].name) << '\n';
            json << (c ? "," : "") << jsonString(utf8(def.columns[c].name));
        }
        json << "],\"rows\":[";
        for (size_t r = 0; r < rows.size(); ++r) json << (r ? ",\n" : "\n") << jsonRow(rows[r].values);
        json << "]}";
    }
    json << "\n]}\n";
    for (std::ofstream* out : {&tables, &counts, &columns, &json, &order})
        if (!out->good()) throw jet::Error("cannot write the engine's view of " + name);
}

// ---------------------------------------------------------------------------------------------------------
// The samples.

jet::NewColumn text(const std::string& name, uint16_t length) {
    return {u(name), jet::ColumnType::Text, length, false};
}

// The configuration template: table Server without rows, table config with its one row.
std::vector<jet::NewTable> templateTables() {
#ifdef QUILLON_HAVE_CONFIG_TEMPLATE
    return catalogue::ConfigTemplateTables();
#else
    jet::NewTable server{u("Server"),
                         {{u("id"), jet::ColumnType::Long, 0, true}, text("ip", 20), text("port", 10),
                          text("user", 20), text("password", 20), text("note", 255), text("dqsj", 20)},
                         {},
                         {}};
    jet::NewTable config{u("config"), {text("id", 10), text("kd", 10), text("gd", 10), text("RDmc", 20)}, {}, {}};
    Row row{u("1"), u("640"), u("480"), u("1121")};
    const char* options[][2] = {
        {"wz", "1"},     {"qpxz", "0"},   {"ys", "3"},     {"qpsxlan", "1"}, {"ypxz", "1"},   {"yplz", "2"},
        {"jpxz", "3"},   {"dyxz", "1"},   {"jtxz", "1"},   {"znxz", "0"},    {"qdxz", "0"},   {"xnxz", "6"},
        {"bjxz", "1"},   {"ztxz", "1"},   {"hcxz", "1"},   {"tdxz", "1"},    {"dhxz", "1"},   {"sjxz", "1"},
        {"twhcxz", "1"}, {"dxclxz", "1"}, {"sfyz", "2"},   {"dkxz", "0"},    {"spbhxz", "0"}, {"qtzcxz", "0"},
        {"wz1", "1"},    {"zdjcRD", "1"},  {"syRD", "0"},  {"RDdl", "0"},    {"bsybdRD", "0"}, {"bsyRD", "0"},
        {"RDpj", "0"}};
    for (auto& [column, value] : options) {
        config.columns.push_back(text(column, 5));
        row.push_back(u(value));
    }
    config.rows.push_back(row);
    return {server, config};
#endif
}

// A deterministic sequence, so that every run writes the same files.
struct Sequence {
    uint32_t state;
    uint32_t next() { return state = state * 1664525u + 1013904223u; }
    size_t below(size_t n) { return size_t(next() >> 8) % n; }
};

const std::u16string kServer = u"Server";
constexpr size_t kNote = 5;  // Server's note column

// A Server row: AutoNumber id, address, port, user, password, note, expiry.
Row serverRow(int n, size_t noteLength = 12) {
    std::string note = "server " + std::to_string(n) + " ";
    while (note.size() < noteLength) note += char('a' + note.size() % 26);
    note.resize(noteLength);
    return {Value{},
            u("10." + std::to_string(n / 256 % 256) + "." + std::to_string(n % 256) + ".1"),
            u(std::to_string(3389 + n % 7)),
            u("user" + std::to_string(n)),
            u("pw" + std::to_string(n * 7919 % 100000)),
            u(note),
            n % 3 ? Value{u("2027/" + std::to_string(1 + n % 12) + "/" + std::to_string(1 + n % 28) + " 08:30:00")}
                  : Value{u("")}};
}

void insertServers(Sample& s, int from, int count, int batch = 100) {
    for (int start = from; start < from + count; start += batch) {
        std::vector<Row> rows;
        for (int n = start; n < std::min(from + count, start + batch); ++n) rows.push_back(serverRow(n));
        s.insert(kServer, rows);
    }
}

void sampleTemplate(Sample& s) { s.create(templateTables()); }

void sampleInserts(Sample& s) {
    s.create(templateTables());
    s.insert(kServer, {{Value{}, u("192.168.1.10"), u("3389"), u("administrator"), u("secret"), u("office"),
                        u("2027/1/31 23:59:59")}});
    s.insert(kServer, {serverRow(1), serverRow(2)});
    s.insert(kServer, {{Value{}, u("server.example"), u("13389"), u(""), u(""), u("no user"), u("")}});
}

void sampleGrowth(Sample& s) {
    s.create(templateTables());
    insertServers(s, 0, 2000);
}

// Rows grow well past their original size, so many no longer fit on their page and move elsewhere.
void sampleUpdates(Sample& s) {
    s.create(templateTables());
    insertServers(s, 0, 2000);
    const size_t note = kNote;
    std::vector<size_t> every3rd;
    for (size_t p = 0; p < 2000; p += 3) every3rd.push_back(p);
    s.update(kServer, every3rd, note, [](const Row& row) {
        return Value{std::get<std::u16string>(row[kNote]) + std::u16string(200, u'x') + u"末"};
    });
    // Grow some of the moved rows again, and shrink others back.
    std::vector<size_t> again{0, 3, 300, 1998}, shrink{6, 9, 1500};
    s.update(kServer, again, note, [](const Row& row) {
        return Value{std::get<std::u16string>(row[kNote]).substr(0, 200) + u"更长的备注，再长一点"};
    });
    s.update(kServer, shrink, note, [](const Row&) { return Value{u"short"}; });
    // A column that was empty becomes null and back.
    s.update(kServer, {1, 2}, 2, [](const Row&) { return Value{}; });
    s.update(kServer, {2}, 2, [](const Row&) { return Value{u"3390"}; });
}

void sampleDeletes(Sample& s) {
    s.create(templateTables());
    insertServers(s, 0, 2000);
    std::vector<size_t> doomed{0, 1999};  // the first and the last row
    for (size_t p = 4; p < 1999; p += 4) doomed.push_back(p);
    s.remove(kServer, doomed);
    // One at a time, as the program deletes.
    s.remove(kServer, {100});
    s.remove(kServer, {100});
    // New rows after deletes, which may reuse the freed space.
    insertServers(s, 5000, 50, 10);
    // The template's config row too.
    s.remove(u"config", {0});
}

// A table with a primary key on its AutoNumber and an index on a text column, with enough rows to need
// many index pages.
void sampleIndexed(Sample& s) {
    std::vector<jet::NewTable> tables = templateTables();
    jet::NewTable hosts{u("Hosts"),
                        {{u("id"), jet::ColumnType::Long, 0, true}, text("name", 100), text("address", 50)},
                        {{u("PrimaryKey"), u("id"), true, true}, {u("name"), u("name"), false, false}},
                        {}};
    for (int n = 0; n < 3; ++n)
        hosts.rows.push_back({Value{}, u("initial host " + std::to_string(n)), u("172.16.0." + std::to_string(n))});
    tables.push_back(hosts);
    s.create(tables);

    const std::u16string table = u"Hosts";
    Sequence random{20261201};
    for (int batch = 0; batch < 20; ++batch) {
        std::vector<Row> rows;
        for (int i = 0; i < 100; ++i) {
            int n = batch * 100 + i;
            // Names in scrambled order, some shared, of varied length and case, some with the hyphen and
            // apostrophe that the sort order passes over. (Index keys hold printable ASCII only.)
            std::string name = "host-" + std::to_string(random.below(1500)) + std::string(random.below(40), 'q');
            if (n % 5 == 0) name = "Node " + std::to_string(random.below(300));
            if (n % 7 == 0) name = "o'brien" + std::to_string(random.below(50));
            if (n % 11 == 0) name = "CO-OP " + std::to_string(random.below(50));
            if (n % 97 == 0) name = "";
            rows.push_back({Value{}, u(name), u("10.1." + std::to_string(n / 250) + "." + std::to_string(n % 250))});
        }
        s.insert(table, rows);
    }
    ExpectedTable& t = s.expected(table);
    std::vector<size_t> renamed;
    for (size_t p = 7; p < t.rows.size(); p += 41) renamed.push_back(p);
    s.update(table, renamed, 1, [](const Row& row) {
        return Value{u"renamed " + std::get<std::u16string>(row[2])};
    });
    std::vector<size_t> doomed;
    for (size_t p = 11; p < t.rows.size(); p += 9) doomed.push_back(p);
    s.remove(table, doomed);
    s.update(table, {1}, 1, [](const Row&) { return Value{}; });
}

// Texts that readers must quote, escape or decode: quotes, commas, line breaks, Chinese and other
// non-ASCII letters, empty texts and nulls; also columns with Chinese names. (Table names stay ASCII: the
// catalogue indexes them, and index keys hold printable ASCII only.)
void sampleTexts(Sample& s) {
    std::vector<jet::NewTable> tables = templateTables();
    tables.push_back({u("Notes"),
                      {{u("编号"), jet::ColumnType::Long, 0, true}, text("名称", 50), text("说明 文字", 255)},
                      {},
                      {{Value{}, u("第一"), u("中文，带全角标点。")}, {Value{}, u(""), Value{}}}});
    s.create(tables);
    const std::vector<std::string> awkward = {
        "say \"hello\"", "a,b,c", "\"", "\"\"", ",", "'single' quotes", "line one\nline two", "tab\there",
        "服务器一号", "測試 繁體", "café über naïve", "ends with blank ", " starts with blank", "\\backslash\\",
        "emoji-free ☺ symbols ©", "全角　空格", "mixed 中文 and ASCII, \"quoted\"",
    };
    std::vector<Row> rows;
    for (size_t i = 0; i < awkward.size(); ++i) {
        Row row = serverRow(int(i));
        row[5] = u(awkward[i]);
        row[3] = Value{u(awkward[(i + 3) % awkward.size()]).substr(0, 20)};
        rows.push_back(row);
    }
    rows.push_back({Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}});  // nulls only
    rows.push_back({Value{}, u(""), u(""), u(""), u(""), u(""), u("")});                  // empty texts only
    rows.push_back({Value{}, u("1.2.3.4"), u("3389"), u("用户"), u("密码"), u(std::string(255, 'n')), u("")});
    std::u16string longChinese;
    for (int i = 0; i < 255; ++i) longChinese += char16_t(0x4E00 + i);
    rows.push_back({Value{}, u("5.6.7.8"), u("3389"), u("王"), u("口令"), Value{longChinese}, Value{}});
    s.insert(kServer, rows);
    s.insert(u"Notes", {{Value{}, u("引号\"和,逗号"), u("第三行")}});
}

// The statements the program sends, through the statement parser.
void sampleStatements(Sample& s) {
    s.create(templateTables());
    auto run = [&](const std::string& text) { return jet::sql::execute(s.db(), jet::sql::parse(u(text))); };
    run("INSERT INTO Server (ip, port, user, password, note, dqsj) VALUES ('1.1.1.1', '3389', 'a', 'p', 'first', '')");
    run("INSERT INTO [Server] (ip, port, note) VALUES ('2.2.2.2', '3390', 'it''s second')");
    run("insert into Server (ip, port, note) values ('3.3.3.3', '3389', '第三台')");
    run("UPDATE Server SET note = 'renamed, with comma' WHERE ip = '2.2.2.2' AND port = '3390'");
    run("DELETE FROM Server WHERE ip = '1.1.1.1'");
    run("update config set kd = '1024', gd = '768' where id = '1'");
    s.setRowsMayMove();

    // The same changes, for the list of expected rows: AutoNumbers 1 to 3 were handed out and 1 deleted;
    // columns an INSERT does not name are null.
    ExpectedTable& server = s.expected(kServer);
    server.lastAutoNumber = 3;
    server.rows = {{{}, {int64_t(2), u("2.2.2.2"), u("3390"), Value{}, Value{}, u("renamed, with comma"), Value{}}},
                   {{}, {int64_t(3), u("3.3.3.3"), u("3389"), Value{}, Value{}, u("第三台"), Value{}}}};
    ExpectedTable& config = s.expected(u"config");
    config.rows[0].values[1] = u("1024");
    config.rows[0].values[2] = u("768");
}

struct SampleMaker {
    const char* name;
    void (*make)(Sample&);
};

const SampleMaker kSamples[] = {
    {"template", sampleTemplate}, {"inserts", sampleInserts},   {"growth", sampleGrowth},
    {"updates", sampleUpdates},   {"deletes", sampleDeletes},   {"indexed", sampleIndexed},
    {"texts", sampleTexts},       {"statements", sampleStatements},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: interop_samples OUTDIR [--read NAME FILE]...\n";
        return 2;
    }
    const fs::path dir = argv[1];
    std::vector<std::pair<std::string, fs::path>> foreign;
    for (int i = 2; i < argc; i += 3) {
        if (std::string(argv[i]) != "--read" || i + 2 >= argc) {
            std::cerr << "interop_samples: expected --read NAME FILE, got " << argv[i] << "\n";
            return 2;
        }
        foreign.push_back({argv[i + 1], argv[i + 2]});
    }
    fs::create_directories(dir);

    int failures = 0;
    std::vector<std::string> written;
    for (const SampleMaker& maker : kSamples) {
        const std::string name = maker.name;
        Sample sample(name, dir / (name + ".mdb"));
        try {
            fs::remove(sample.file());
            maker.make(sample);
            std::vector<std::string> problems = sample.verify();
            sample.close();
            for (const std::string& problem : problems) std::cerr << name << ": " << problem << "\n";
            if (!problems.empty()) {
                ++failures;
                continue;
            }
            writeEngineView(dir, name, sample.file(), sample.rowsMayMove());
            written.push_back(name);
            std::cout << "wrote " << name << "\n";
        } catch (const std::exception& e) {
            std::cerr << name << ": " << e.what() << "\n";
            ++failures;
        }
    }
    for (const auto& [name, source] : foreign) {
        try {
            fs::copy_file(source, dir / (name + ".mdb"), fs::copy_options::overwrite_existing);
            fs::permissions(dir / (name + ".mdb"), fs::perms::owner_write, fs::perm_options::add);
            writeEngineView(dir, name, dir / (name + ".mdb"), false);
            written.push_back(name);
            std::cout << "read " << name << " from " << source.string() << "\n";
        } catch (const std::exception& e) {
            std::cerr << name << ": " << e.what() << "\n";
            ++failures;
        }
    }

    std::ofstream list(dir / "samples.txt");
    for (const std::string& name : written) list << name << "\n";
    if (failures) std::cerr << "interop_samples: " << failures << " sample(s) failed\n";
    return failures ? 1 : 0;
}
