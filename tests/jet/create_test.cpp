// Creating databases from nothing: compared with an empty database the Jet engine wrote itself (where the
// shared folder beside the checkout holds it), read back through our reader and through mdbtools.
#include "jet/create.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include <unistd.h>

#include "jet/bytes.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/header.h"
#include "jet/index.h"
#include "test_files.h"

namespace jet {
namespace {

// A file in the temporary folder, removed at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes) {
        static int counter = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("create_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".mdb"))
                    .string();
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool haveMdbTools() { return std::system("command -v mdb-export >/dev/null 2>&1") == 0; }

// Standard output of a shell command.
std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::u16string u(const char* utf8) { return fromUtf8(utf8); }

Value text(const char* utf8) { return fromUtf8(utf8); }

NewColumn textColumn(const char* name, uint16_t size) {
    NewColumn c;
    c.name = u(name);
    c.type = ColumnType::Text;
    c.textLength = size;
    return c;
}

NewColumn fixedColumn(const char* name, ColumnType type, bool autoNumber = false) {
    NewColumn c;
    c.name = u(name);
    c.type = type;
    c.autoNumber = autoNumber;
    return c;
}

// Two user tables: one with an AutoNumber primary key and a unique text index, one with enough rows for
// several data pages.
std::vector<NewTable> sampleTables() {
    NewTable people;
    people.name = u"People";
    people.columns = {fixedColumn("id", ColumnType::Long, true), textColumn("name", 40), textColumn("note", 255),
                      fixedColumn("age", ColumnType::Integer), fixedColumn("active", ColumnType::Boolean)};
    people.indexes = {{u"PrimaryKey", u"id", true, false}, {u"name", u"name", false, true}};
    people.rows = {
        {Value{}, text("Zoe"), text("first"), int64_t(31), true},
        {Value{}, text("bob"), text("中文备注"), int64_t(40), false},
        {Value{}, text("adam"), text(""), Value{}, true},
        {Value{}, text("Dan"), text("Émile"), int64_t(-5), false},
    };

    NewTable numbers;
    numbers.name = u"Numbers";
    numbers.columns = {fixedColumn("n", ColumnType::Long), textColumn("label", 30)};
    numbers.indexes = {{u"PrimaryKey", u"n", true, false}};
    for (int i = 0; i < 300; ++i) {
        int n = (i * 37) % 300 - 150;  // not in key order
        numbers.rows.push_back({int64_t(n), text(("number " + std::to_string(n)).c_str())});
    }
    return {people, numbers};
}

// ---- Page 0 -------------------------------------------------------------------------------------------

std::vector<uint8_t> decodedHeader(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> page(file.begin(), file.begin() + kPageSize);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    detail::rc4(key, 4, page.data() + 0x18, 128);
    return page;
}

double headerDate(const std::vector<uint8_t>& decoded) {
    double date;
    std::memcpy(&date, decoded.data() + 0x72, 8);
    return date;
}

TEST(CreateDatabase, SameBytesEveryRunAndWholePages) {
    std::vector<uint8_t> a = createDatabase(sampleTables());
    std::vector<uint8_t> b = createDatabase(sampleTables());
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.size() % kPageSize, 0u);
    EXPECT_EQ(createDatabase({}), createDatabase({}));
}

TEST(CreateDatabase, HeaderAgreesWithTheJetEngine) {
    std::vector<uint8_t> ours = decodedHeader(createDatabase(sampleTables()));
    EXPECT_EQ(get16(ours.data() + 0x3C), 1252u);
    EXPECT_EQ(get32(ours.data() + 0x3E), 0u) << "a database key would mean encrypted pages";
    EXPECT_EQ(get16(ours.data() + 0x6E), 0x0409u);
    EXPECT_NO_THROW(detail::checkHeader(createDatabase({}).data(), kPageSize * 2));

    // The password area holds only the mask: the creation date's whole days, repeated. Checked on ours,
    // then on the engine's file, where it is here.
    auto maskIsTheDate = [](const std::vector<uint8_t>& page) {
        uint32_t days = uint32_t(int32_t(headerDate(page)));
        for (int i = 0; i < 10; ++i) EXPECT_EQ(get32(page.data() + 0x42 + 4 * i), days) << "mask word " << i;
    };
    maskIsTheDate(ours);
    EXPECT_EQ(headerDate(ours), kCreationDate);

    QUILLON_SKIP_WITHOUT_REFERENCE();
    std::vector<uint8_t> ref = decodedHeader(testfiles::referenceBytes());
    ASSERT_EQ(ref.size(), ours.size());
    maskIsTheDate(ref);
    // Every other byte, clear or decoded, as the engine writes it.
    for (size_t i = 0; i < kPageSize; ++i) {
        bool mask = i >= 0x42 && i < 0x6A;
        bool date = i >= 0x72 && i < 0x7A;
        if (!mask && !date) {
            EXPECT_EQ(ours[i], ref[i]) << "page 0 offset 0x" << std::hex << i;
        }
    }
}

// ---- The system part ----------------------------------------------------------------------------------

void expectSameDefinition(const TableDef& ours, const TableDef& ref) {
    SCOPED_TRACE(toUtf8(ref.name));
    EXPECT_EQ(ours.tdefPage, ref.tdefPage);
    EXPECT_EQ(ours.tableType, ref.tableType);
    EXPECT_EQ(ours.maxColumns, ref.maxColumns);
    EXPECT_EQ(ours.varColumns, ref.varColumns);
    EXPECT_EQ(ours.rowCount, ref.rowCount);
    EXPECT_EQ(ours.ownedPages, ref.ownedPages);
    EXPECT_EQ(ours.freeSpacePages, ref.freeSpacePages);
    ASSERT_EQ(ours.columns.size(), ref.columns.size());
    for (size_t i = 0; i < ref.columns.size(); ++i) {
        const Column& a = ours.columns[i];
        const Column& b = ref.columns[i];
        SCOPED_TRACE(toUtf8(b.name));
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.type, b.type);
        EXPECT_EQ(a.number, b.number);
        EXPECT_EQ(a.varIndex, b.varIndex);
        EXPECT_EQ(a.length, b.length);
        EXPECT_EQ(a.flags, b.flags);
        EXPECT_EQ(a.extraFlags, b.extraFlags);
        EXPECT_EQ(a.sortOrder, b.sortOrder);
        EXPECT_EQ(a.descriptorOffset, b.descriptorOffset);  // descriptors in the engine's order
        if (b.isFixed()) {
            EXPECT_EQ(a.fixedOffset, b.fixedOffset);
        }
    }
    ASSERT_EQ(ours.realIndexes.size(), ref.realIndexes.size());
    for (size_t i = 0; i < ref.realIndexes.size(); ++i) {
        const RealIndex& a = ours.realIndexes[i];
        const RealIndex& b = ref.realIndexes[i];
        ASSERT_EQ(a.columns.size(), b.columns.size());
        for (size_t k = 0; k < b.columns.size(); ++k) {
            EXPECT_EQ(a.columns[k].column, b.columns[k].column);
            EXPECT_EQ(a.columns[k].ascending, b.columns[k].ascending);
        }
        EXPECT_EQ(a.usageMap, b.usageMap);
        EXPECT_EQ(a.rootPage, b.rootPage);
        EXPECT_EQ(a.flags, b.flags);
        EXPECT_EQ(a.uniqueKeyCount, b.uniqueKeyCount);
        EXPECT_EQ(a.descriptorOffset, b.descriptorOffset);
    }
    ASSERT_EQ(ours.logicalIndexes.size(), ref.logicalIndexes.size());
    for (size_t i = 0; i < ref.logicalIndexes.size(); ++i) {
        EXPECT_EQ(ours.logicalIndexes[i].name, ref.logicalIndexes[i].name);
        EXPECT_EQ(ours.logicalIndexes[i].number, ref.logicalIndexes[i].number);
        EXPECT_EQ(ours.logicalIndexes[i].realIndex, ref.logicalIndexes[i].realIndex);
        EXPECT_EQ(ours.logicalIndexes[i].type, ref.logicalIndexes[i].type);
    }
    // Definition length and the page's free space (offsets 2 and 8 of the first page).
    EXPECT_EQ(get16(ours.raw.data() + 2), get16(ref.raw.data() + 2));
    EXPECT_EQ(get32(ours.raw.data() + 8), get32(ref.raw.data() + 8));
}

// Rows with their dates replaced by a marker, so that two databases made at different times compare.
std::vector<Row> withoutDates(std::vector<StoredRow> rows) {
    std::vector<Row> out;
    for (StoredRow& r : rows) {
        for (Value& v : r.values)
            if (std::holds_alternative<DateTime>(v)) v = std::u16string(u"<date>");
        out.push_back(r.values);
    }
    return out;
}

const char16_t* const kSystemTables[] = {u"MSysObjects", u"MSysACEs", u"MSysQueries", u"MSysRelationships"};

TEST(CreateDatabase, EmptyDatabaseMatchesTheJetEngine) {
    std::vector<uint8_t> ourBytes = createDatabase({});
    EXPECT_TRUE(Database::openBytes(ourBytes)->check().empty());
    QUILLON_SKIP_WITHOUT_REFERENCE();
    std::vector<uint8_t> refBytes = testfiles::referenceBytes();
    ASSERT_EQ(ourBytes.size(), refBytes.size());
    auto ref = Database::openBytes(refBytes);
    auto ours = Database::openBytes(ourBytes);

    EXPECT_EQ(ours->tableNames(true), ref->tableNames(true));
    EXPECT_TRUE(ours->tableNames(false).empty());
    for (const char16_t* name : kSystemTables) expectSameDefinition(ours->table(name), ref->table(name));

    EXPECT_EQ(withoutDates(ours->readRows(ours->table(u"MSysObjects"))),
              withoutDates(ref->readRows(ref->table(u"MSysObjects"))));
    EXPECT_EQ(withoutDates(ours->readRows(ours->table(u"MSysACEs"))),
              withoutDates(ref->readRows(ref->table(u"MSysACEs"))));
    for (const StoredRow& row : ours->readRows(ours->table(u"MSysObjects"))) {
        EXPECT_EQ(std::get<DateTime>(row.values[4]).oleDays, kCreationDate);
        EXPECT_EQ(std::get<DateTime>(row.values[5]).oleDays, kCreationDate);
    }

    // Usage maps, index leaves and the ACE rows carry nothing that varies between files: they must be the
    // engine's bytes exactly. The catalogue rows differ only in their dates.
    double refDate = headerDate(decodedHeader(refBytes));
    double ourDate = kCreationDate;
    for (uint32_t page = 1; page < ourBytes.size() / kPageSize; ++page) {
        if (page >= 2 && page <= 5) continue;  // definitions: compared field by field above
        std::vector<uint8_t> a(ourBytes.begin() + page * kPageSize, ourBytes.begin() + (page + 1) * kPageSize);
        std::vector<uint8_t> b(refBytes.begin() + page * kPageSize, refBytes.begin() + (page + 1) * kPageSize);
        for (size_t at = 0; at + 8 <= kPageSize; ++at) {
            if (std::memcmp(&b[at], &refDate, 8) == 0 && std::memcmp(&a[at], &ourDate, 8) == 0) {
                std::memset(&a[at], 0, 8);
                std::memset(&b[at], 0, 8);
            }
        }
        EXPECT_EQ(a, b) << "page " << page;
    }
    EXPECT_TRUE(ours->check().empty());
}

TEST(CreateDatabase, CatalogueEntriesOfUserTables) {
    auto db = Database::openBytes(createDatabase(sampleTables()));
    auto empty = Database::openBytes(testfiles::emptyDatabaseBytes());
    for (const char16_t* name : kSystemTables) {
        const TableDef& ours = db->table(name);
        const TableDef& theirs = empty->table(name);
        // Same columns and indexes as in an empty database; only the counts grow.
        ASSERT_EQ(ours.columns.size(), theirs.columns.size());
        for (size_t i = 0; i < ours.columns.size(); ++i) EXPECT_EQ(ours.columns[i].name, theirs.columns[i].name);
        EXPECT_EQ(ours.realIndexes.size(), theirs.realIndexes.size());
    }

    const TableDef& people = db->table(u"People");
    const TableDef& numbers = db->table(u"Numbers");
    std::map<std::u16string, Row> objects;
    for (const StoredRow& row : db->readRows(db->table(u"MSysObjects")))
        objects[std::get<std::u16string>(row.values[2])] = row.values;
    EXPECT_EQ(objects.size(), 10u);
    for (const TableDef* t : {&people, &numbers}) {
        ASSERT_TRUE(objects.count(t->name));
        const Row& row = objects[t->name];
        EXPECT_EQ(std::get<int64_t>(row[0]), int64_t(t->tdefPage));     // Id
        EXPECT_EQ(std::get<int64_t>(row[1]), int64_t(0x0F000001));      // ParentId: the Tables container
        EXPECT_EQ(std::get<int64_t>(row[3]), 1);                         // Type: table
        EXPECT_EQ(std::get<int64_t>(row[7]), 0);                         // Flags: a user table
        EXPECT_EQ(std::get<Bytes>(row[6]), std::get<Bytes>(objects[u"MSysObjects"][6]));  // Owner
    }
    // The catalogue's counters and both of its indexes cover the new rows.
    const TableDef& catalogue = db->table(u"MSysObjects");
    EXPECT_EQ(catalogue.rowCount, 10u);
    for (const RealIndex& index : catalogue.realIndexes) EXPECT_EQ(index.uniqueKeyCount, 10u);

    // Each user table has an access entry for every security id of the Tables container.
    std::multimap<int64_t, std::string> aces;  // object id, security id
    for (const StoredRow& row : db->readRows(db->table(u"MSysACEs"))) {
        const Bytes& sid = std::get<Bytes>(row.values[1]);
        aces.emplace(std::get<int64_t>(row.values[0]), std::string(sid.begin(), sid.end()));
    }
    std::set<std::string> containerSids;
    for (auto [it, end] = aces.equal_range(0x0F000001); it != end; ++it) containerSids.insert(it->second);
    EXPECT_EQ(containerSids.size(), 3u);
    for (const TableDef* t : {&people, &numbers}) {
        std::set<std::string> sids;
        for (auto [it, end] = aces.equal_range(t->tdefPage); it != end; ++it) sids.insert(it->second);
        EXPECT_EQ(sids, containerSids) << toUtf8(t->name);
    }
    EXPECT_EQ(db->table(u"MSysACEs").realIndexes[0].uniqueKeyCount, 10u);  // 8 objects + 2 tables
    EXPECT_TRUE(db->check().empty());
}

// ---- User tables --------------------------------------------------------------------------------------

TEST(CreateDatabase, UserTablesReadBack) {
    std::vector<NewTable> tables = sampleTables();
    auto db = Database::openBytes(createDatabase(tables));
    EXPECT_EQ(db->tableNames(), (std::vector<std::u16string>{u"People", u"Numbers"}));

    const TableDef& people = db->table(u"People");
    EXPECT_EQ(people.tableType, 0x4E);
    ASSERT_EQ(people.columns.size(), 5u);
    EXPECT_EQ(people.columns[0].type, ColumnType::Long);
    EXPECT_EQ(people.columns[0].flags, 0x07);  // fixed, updatable, AutoNumber
    EXPECT_EQ(people.columns[1].name, u"name");
    EXPECT_EQ(people.columns[1].type, ColumnType::Text);
    EXPECT_EQ(people.columns[1].length, 80);  // 40 characters
    EXPECT_EQ(people.columns[1].flags, 0x02);
    EXPECT_EQ(people.columns[1].extraFlags, 0x01);
    EXPECT_EQ(people.columns[1].sortOrder, 0x0409);
    EXPECT_EQ(people.columns[3].type, ColumnType::Integer);
    EXPECT_EQ(people.columns[4].type, ColumnType::Boolean);
    EXPECT_EQ(people.rowCount, 4u);
    EXPECT_EQ(people.autoNumber, 4u);

    ASSERT_EQ(people.logicalIndexes.size(), 2u);
    EXPECT_EQ(people.logicalIndexes[0].name, u"PrimaryKey");
    EXPECT_EQ(people.logicalIndexes[0].type, 1);
    EXPECT_EQ(people.logicalIndexes[1].type, 0);
    ASSERT_EQ(people.realIndexes.size(), 2u);
    EXPECT_EQ(people.realIndexes[0].flags, 0x89);  // as Access writes a primary key
    EXPECT_EQ(people.realIndexes[1].flags, 0x81);  // unique
    EXPECT_EQ(people.realIndexes[0].uniqueKeyCount, 4u);
    EXPECT_EQ(people.realIndexes[1].uniqueKeyCount, 4u);

    std::vector<StoredRow> rows = db->readRows(people);
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 0; i < rows.size(); ++i) {
        Row expected = tables[0].rows[i];
        expected[0] = int64_t(i + 1);  // AutoNumber handed out in row order
        EXPECT_EQ(rows[i].values, expected) << "row " << i;
    }

    // The name index lists the rows in the General sort order: case-insensitive, unlike byte order.
    std::vector<index::Entry> byName = index::readEntries(db->pages(), people, people.realIndexes[1]);
    ASSERT_EQ(byName.size(), 4u);
    std::vector<std::u16string> order;
    for (const index::Entry& e : byName)
        for (const StoredRow& r : rows)
            if (r.id == e.row) order.push_back(std::get<std::u16string>(r.values[1]));
    EXPECT_EQ(order, (std::vector<std::u16string>{u"adam", u"bob", u"Dan", u"Zoe"}));

    const TableDef& numbers = db->table(u"Numbers");
    std::vector<StoredRow> numberRows = db->readRows(numbers);
    ASSERT_EQ(numberRows.size(), 300u);
    std::set<uint32_t> pages;
    for (size_t i = 0; i < numberRows.size(); ++i) {
        EXPECT_EQ(numberRows[i].values, tables[1].rows[i]);
        pages.insert(numberRows[i].id.page);
    }
    EXPECT_GE(pages.size(), 2u) << "the rows should need more than one data page";
    std::vector<index::Entry> byNumber = index::readEntries(db->pages(), numbers, numbers.realIndexes[0]);
    ASSERT_EQ(byNumber.size(), 300u);
    for (size_t i = 1; i < byNumber.size(); ++i) {
        const index::Key& a = byNumber[i - 1].key;
        const index::Key& b = byNumber[i].key;
        EXPECT_TRUE(std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end())) << "entry " << i;
    }

    std::vector<std::string> problems = db->check();
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
}

TEST(CreateDatabase, ManyTablesSpillCatalogueOntoMorePages) {
    std::vector<NewTable> tables;
    for (int i = 0; i < 70; ++i) {
        NewTable t;
        t.name = u("Table number ") + u(std::to_string(i).c_str());
        t.columns = {textColumn("value", 10)};
        t.rows = {{text(std::to_string(i).c_str())}};
        tables.push_back(t);
    }
    std::vector<uint8_t> bytes = createDatabase(tables);
    auto db = Database::openBytes(bytes);
    std::vector<std::u16string> names = db->tableNames();
    ASSERT_EQ(names.size(), 70u);
    if (haveMdbTools()) {
        TempFile file(bytes);
        std::string expected;
        for (const NewTable& t : tables) expected += toUtf8(t.name) + "\n";
        EXPECT_EQ(run("mdb-tables -1 '" + file.path() + "'"), expected);
        EXPECT_EQ(run("mdb-export -H '" + file.path() + "' 'Table number 69'"), "\"69\"\n");
    }
    for (int i = 0; i < 70; ++i) {
        EXPECT_EQ(names[size_t(i)], tables[size_t(i)].name);
        std::vector<StoredRow> rows = db->readRows(db->table(tables[size_t(i)].name));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].values[0], text(std::to_string(i).c_str()));
    }
    EXPECT_EQ(db->table(u"MSysObjects").rowCount, 78u);
    EXPECT_EQ(db->table(u"MSysACEs").rowCount, 16u + 3 * 70);
    std::vector<std::string> problems = db->check();
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
}

TEST(CreateDatabase, RefusesDefinitionsItCannotWrite) {
    auto refuses = [](std::vector<NewTable> tables, const char* what) {
        EXPECT_THROW(createDatabase(tables), Error) << what;
    };
    NewTable good;
    good.name = u"T";
    good.columns = {fixedColumn("id", ColumnType::Long, true), textColumn("name", 10)};
    good.indexes = {{u"PrimaryKey", u"id", true, false}};
    good.rows = {{Value{}, text("a")}};
    EXPECT_NO_THROW(createDatabase({good}));

    NewTable t = good;
    t.columns[1].textLength = 0;
    refuses({t}, "text of size 0");
    t = good;
    t.columns[1].textLength = 256;
    refuses({t}, "text longer than 255");
    t = good;
    t.columns[1].autoNumber = true;
    refuses({t}, "AutoNumber text");
    t = good;
    t.indexes[0].column = u"missing";
    refuses({t}, "index on a missing column");
    t = good;
    t.columns.push_back(textColumn("NAME", 5));
    t.rows = {{Value{}, text("a"), text("b")}};
    refuses({t}, "two columns with the same name");
    t = good;
    t.rows = {{Value{}}};
    refuses({t}, "a row with too few values");
    t = good;
    t.rows = {{Value{}, text("this is longer than ten characters")}};
    refuses({t}, "text longer than its column");
    t = good;
    t.indexes = {{u"byName", u"name", false, true}};
    t.rows = {{Value{}, text("same")}, {Value{}, text("SAME")}};
    refuses({t}, "duplicate keys in a unique index");
    t = good;
    t.columns[0].autoNumber = false;
    t.rows = {{Value{}, text("a")}};
    refuses({t}, "null primary key");
    NewTable other = good;
    other.name = u"t";
    refuses({good, other}, "two tables with the same name");
    t = good;
    t.name.clear();
    refuses({t}, "no table name");
}

// ---- mdbtools -----------------------------------------------------------------------------------------

TEST(CreateDatabase, MdbtoolsReadsWhatWeWrite) {
    if (!haveMdbTools()) GTEST_SKIP() << "mdb-export is not installed";
    TempFile file(createDatabase(sampleTables()));
    const std::string path = "'" + file.path() + "'";

    EXPECT_EQ(run("mdb-tables -1 " + path), "People\nNumbers\n");
    EXPECT_EQ(run("mdb-tables -1 -S " + path),
              "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\nPeople\nNumbers\n");
    EXPECT_EQ(run("mdb-export " + path + " People"),
              "id,name,note,age,active\n"
              "1,\"Zoe\",\"first\",31,1\n"
              "2,\"bob\",\"中文备注\",40,0\n"
              "3,\"adam\",,,1\n"  // mdbtools shows empty text like a null
              "4,\"Dan\",\"Émile\",-5,0\n");
    EXPECT_EQ(run("mdb-count " + path + " Numbers"), "300\n");
    std::string numbers = run("mdb-export -H " + path + " Numbers");
    std::string expected;
    const std::vector<NewTable> tables = sampleTables();
    for (const Row& row : tables[1].rows) {
        int64_t n = std::get<int64_t>(row[0]);
        expected += std::to_string(n) + ",\"number " + std::to_string(n) + "\"\n";
    }
    EXPECT_EQ(numbers, expected);

    std::string schema = run("mdb-schema -T People " + path + " postgres 2>/dev/null");
    EXPECT_NE(schema.find("\"id\"\t\t\tSERIAL"), std::string::npos) << schema;  // AutoNumber
    EXPECT_NE(schema.find("\"name\"\t\t\tVARCHAR (40)"), std::string::npos) << schema;
    EXPECT_NE(schema.find("PRIMARY KEY (\"id\")"), std::string::npos) << schema;
    EXPECT_NE(schema.find("UNIQUE INDEX \"people_name_idx\""), std::string::npos) << schema;
}

}  // namespace
}  // namespace jet
