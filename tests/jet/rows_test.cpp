// Writing rows: inserts, updates (in place, repacked, overflowed), deletes, long values, AutoNumber and
// index upkeep, statements that roll back. Tables come from the database creator; every file is also
// checked with Database::check() and read back after reopening from disk.
#include <algorithm>

#include <gtest/gtest.h>

#include "jet/create.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/rows.h"
#include "jet/sql.h"
#include "test_files.h"

using namespace jet;

namespace {

// Servers: Id AutoNumber primary key, Name unique text, Notes memo, and one column of most other types.
NewTable serversTable() {
    NewTable t;
    t.name = u"Servers";
    t.columns = {
        {u"Id", ColumnType::Long, 0, true},        {u"Name", ColumnType::Text, 64, false},
        {u"Notes", ColumnType::Memo, 0, false},    {u"Port", ColumnType::Long, 0, false},
        {u"Enabled", ColumnType::Boolean, 0, false}, {u"Weight", ColumnType::Double, 0, false},
        {u"Added", ColumnType::DateTime, 0, false}, {u"Level", ColumnType::Integer, 0, false},
        {u"Kind", ColumnType::Byte, 0, false},      {u"Price", ColumnType::Currency, 0, false},
        {u"Ratio", ColumnType::Single, 0, false},  {u"Host", ColumnType::Text, 100, false},
    };
    t.indexes = {{u"PrimaryKey", u"Id", true, true}, {u"Name", u"Name", false, true}};
    return t;
}

enum Col { kId, kName, kNotes, kPort, kEnabled, kWeight, kAdded, kLevel, kKind, kPrice, kRatio, kHost };

Row server(const std::u16string& name, const std::u16string& notes = u"", int64_t port = 3389) {
    Row r(12);
    r[kName] = name;
    if (!notes.empty()) r[kNotes] = notes;
    r[kPort] = port;
    r[kEnabled] = true;
    r[kWeight] = 2.5;
    r[kAdded] = DateTime{45000.25};
    r[kLevel] = int64_t(-7);
    r[kKind] = int64_t(200);
    r[kPrice] = Currency{123456};
    r[kRatio] = 0.5;
    return r;
}

struct Fixture {
    testfiles::TempDir dir;
    std::string path;
    std::unique_ptr<Database> db;

    Fixture() {
        path = dir.file("servers.mdb");
        testfiles::writeFile(path, createDatabase({serversTable()}));
        db = Database::open(path);
    }
    const TableDef& table() { return db->table(u"Servers"); }
    RowId insert(const Row& r) {
        RowId id;
        db->statement([&] { id = db->insertRow(table(), r); });
        return id;
    }
    void update(RowId id, std::vector<ColumnChange> changes) {
        db->statement([&] { db->updateRow(table(), id, changes); });
    }
    std::vector<StoredRow> rows() { return db->readRows(table()); }
    void reopen() {
        db.reset();  // the writer lock goes with it
        db = Database::open(path);
    }
    void expectSound() {
        auto problems = db->check();
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
};

std::u16string repeat(const std::u16string& piece, size_t times) {
    std::u16string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

}  // namespace

TEST(RowWrite, InsertAssignsAutoNumbersAndReadsBackEveryType) {
    Fixture f;
    RowId a = f.insert(server(u"alpha", u"first server"));
    RowId b = f.insert(server(u"beta"));
    EXPECT_NE(a, b);
    f.reopen();
    auto rows = f.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, a);
    EXPECT_EQ(std::get<int64_t>(rows[0].values[kId]), 1);
    EXPECT_EQ(std::get<int64_t>(rows[1].values[kId]), 2);
    Row expected = server(u"alpha", u"first server");
    expected[kId] = int64_t(1);
    EXPECT_EQ(rows[0].values, expected);
    EXPECT_TRUE(isNull(rows[1].values[kNotes]));
    EXPECT_EQ(f.table().rowCount, 2u);
    EXPECT_EQ(f.table().autoNumber, 2u);
    EXPECT_EQ(f.table().realIndexes[0].uniqueKeyCount, 2u);
    f.expectSound();
}

TEST(RowWrite, RowsFollowTheDataPageRules) {
    Fixture f;
    // Enough rows to need several data pages.
    std::vector<RowId> ids;
    for (int i = 0; i < 120; ++i) ids.push_back(f.insert(server(u"host-" + fromUtf8(std::to_string(i)), repeat(u"n", 60))));
    f.reopen();
    auto rows = f.rows();
    ASSERT_EQ(rows.size(), 120u);
    std::set<uint32_t> dataPages;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].id, ids[i]);  // table order is insertion order here
        dataPages.insert(rows[i].id.page);
    }
    EXPECT_GT(dataPages.size(), 1u);
    for (uint32_t number : dataPages) {
        const uint8_t* page = f.db->pages().page(number);
        EXPECT_EQ(page[0], 0x01);
        EXPECT_EQ(get32(page + 4), f.table().tdefPage);
        unsigned count = get16(page + 0x0C);
        EXPECT_LE(count, 255u);
        // Rows packed from the end in slot order; free space exact.
        size_t used = 0;
        uint16_t previous = 4096;
        for (unsigned s = 0; s < count; ++s) {
            uint16_t start = get16(page + 0x0E + 2 * s) & 0x1FFF;
            EXPECT_LT(start, previous);
            used += previous - start + 2;
            previous = start;
        }
        EXPECT_EQ(get16(page + 2), 4082 - used);
        // Every row starts with the table's max column count.
        EXPECT_EQ(get16(page + previous), f.table().maxColumns);
    }
    f.expectSound();
}

TEST(RowWrite, TextIsCompressedOnlyWhenSafe) {
    Fixture f;
    auto withHost = [](const std::u16string& name, const std::u16string& host) {
        Row r = server(name);
        r[kHost] = host;
        return r;
    };
    RowId longAscii = f.insert(withHost(u"a", u"abc"));
    RowId shortText = f.insert(withHost(u"b", u"ab"));
    RowId greek = f.insert(withHost(u"c", u"\u03A9mega"));
    auto nameBytes = [&](RowId id) {
        const uint8_t* page = f.db->pages().page(id.page);
        detail::RowSlot s = detail::rowSlot(page, id.page, id.slot);
        return rawColumnBytes(f.table(), detail::rowBytes(page, id.page, s), kHost);
    };
    EXPECT_EQ(nameBytes(longAscii), (std::vector<uint8_t>{0xFF, 0xFE, 'a', 'b', 'c'}));
    EXPECT_EQ(nameBytes(shortText), (std::vector<uint8_t>{'a', 0, 'b', 0}));
    EXPECT_EQ(nameBytes(greek).size(), 10u);
    f.reopen();
    EXPECT_EQ(std::get<std::u16string>(f.rows()[2].values[kHost]), u"\u03A9mega");
    EXPECT_EQ(std::get<std::u16string>(f.rows()[0].values[kHost]), u"abc");
}

TEST(RowWrite, UpdatesKeepRowIdsAndUntouchedBytes) {
    Fixture f;
    std::vector<RowId> ids;
    for (int i = 0; i < 30; ++i) ids.push_back(f.insert(server(u"h" + fromUtf8(std::to_string(i)), u"memo text here")));
    RowId target = ids[10];
    auto notesBytes = [&] {
        auto rows = f.rows();
        const uint8_t* page = f.db->pages().page(target.page);
        detail::RowSlot s = detail::rowSlot(page, target.page, target.slot);
        if (s.pointer()) {
            uint32_t p = get32(page + s.start);
            page = f.db->pages().page(p >> 8);
            s = detail::rowSlot(page, p >> 8, p & 0xFF);
        }
        return rawColumnBytes(f.table(), detail::rowBytes(page, target.page, s), kNotes);
    };
    std::vector<uint8_t> memoBefore = notesBytes();

    f.update(target, {{kPort, int64_t(22)}});                // same size
    f.update(target, {{kName, std::u16string(u"h")}});       // smaller
    f.update(target, {{kHost, repeat(u"\u4e2d", 60)}});      // larger, still fits the page
    EXPECT_EQ(notesBytes(), memoBefore);

    // Grow rows until the page is full, then grow the target past what its page can hold.
    for (RowId id : ids)
        if (id.page == target.page && !(id == target)) f.update(id, {{kNotes, repeat(u"x", 200)}});
    f.update(target, {{kNotes, repeat(u"y", 1000)}, {kHost, repeat(u"\u4e2d", 100)}, {kName, repeat(u"q", 64)}});
    {
        const uint8_t* home = f.db->pages().page(target.page);
        ASSERT_TRUE(detail::rowSlot(home, target.page, target.slot).pointer());  // the data moved away
    }
    f.update(target, {{kNotes, repeat(u"z", 900)}});  // again, while already moved

    f.reopen();
    auto rows = f.rows();
    ASSERT_EQ(rows.size(), 30u);
    size_t seen = 0;
    for (const StoredRow& r : rows) {
        if (!(r.id == target)) continue;
        ++seen;
        EXPECT_EQ(std::get<std::u16string>(r.values[kName]), repeat(u"q", 64));
        EXPECT_EQ(std::get<std::u16string>(r.values[kHost]), repeat(u"\u4e2d", 100));
        EXPECT_EQ(std::get<std::u16string>(r.values[kNotes]), repeat(u"z", 900));
        EXPECT_EQ(std::get<int64_t>(r.values[kPort]), 22);
    }
    EXPECT_EQ(seen, 1u);
    f.expectSound();
}

// Reading rows without decoding them whole: Database::scanRows gives the same rows in the same order as
// readRows (overflowed rows and long values included), and decodeColumn / readText give the same value for
// each column as decodeRow.
TEST(RowRead, ScansAndSingleColumnsAgreeWithWholeRows) {
    Fixture f;
    std::vector<RowId> ids;
    for (int i = 0; i < 30; ++i) {
        Row r = server(u"h" + fromUtf8(std::to_string(i)), i % 3 ? u"memo text" : u"");
        if (i % 4 == 0) r[kHost] = i % 8 ? u"\u4e2d\u6587 host" : u"Plain Host";
        if (i == 5) r[kNotes] = repeat(u"long memo ", 400);  // on long-value pages
        if (i == 6) r[kEnabled] = false;
        ids.push_back(f.insert(r));
    }
    // Fill the first page, then grow one row past what it can hold, so that it is read through its pointer.
    RowId moved = ids[2];
    for (RowId id : ids)
        if (id.page == moved.page && !(id == moved)) f.update(id, {{kNotes, repeat(u"x", 200)}});
    f.update(moved, {{kNotes, repeat(u"y", 1000)}, {kHost, repeat(u"\u4e2d", 100)}});
    ASSERT_TRUE(detail::rowSlot(f.db->pages().page(moved.page), moved.page, moved.slot).pointer());
    f.reopen();

    const TableDef& t = f.table();
    std::vector<StoredRow> rows = f.rows();
    size_t at = 0;
    std::u16string text = u"left over";
    f.db->scanRows(t, [&](RowId id, const ByteView& bytes) {
        EXPECT_LT(at, rows.size());
        if (at >= rows.size()) return false;
        const StoredRow& expected = rows[at++];
        EXPECT_EQ(id, expected.id);
        EXPECT_EQ(decodeRow(t, bytes, f.db->pages()), expected.values);
        for (size_t c = 0; c < t.columns.size(); ++c) {
            EXPECT_EQ(decodeColumn(t, bytes, c, f.db->pages()), expected.values[c]) << "column " << c << ", row " << at;
            if (t.columns[c].type != ColumnType::Text) {
                EXPECT_THROW(readText(t, bytes, c, text), Error);
            } else if (isNull(expected.values[c])) {
                EXPECT_FALSE(readText(t, bytes, c, text));
                EXPECT_TRUE(text.empty());
            } else {
                EXPECT_TRUE(readText(t, bytes, c, text));
                EXPECT_EQ(text, std::get<std::u16string>(expected.values[c]));
            }
        }
        return true;
    });
    EXPECT_EQ(at, rows.size());

    // The visitor can stop the scan.
    size_t visited = 0;
    f.db->scanRows(t, [&](RowId, const ByteView&) { return ++visited < 3; });
    EXPECT_EQ(visited, 3u);

    // A row whose variable column offsets are out of order is refused, not read out of bounds.
    const uint8_t* page = f.db->pages().page(ids[0].page);
    ByteView original = detail::rowBytes(page, ids[0].page, detail::rowSlot(page, ids[0].page, ids[0].slot));
    std::vector<uint8_t> damaged(original.data(), original.data() + original.size());
    size_t maskSize = (t.maxColumns + 7) / 8;
    size_t nameStart = damaged.size() - maskSize - 2 - 2 * (size_t(t.columns[kName].varIndex) + 1);
    put16(damaged.data() + nameStart, 0xFFF);
    ByteView bad(damaged.data(), damaged.size(), "damaged row");
    EXPECT_THROW(readText(t, bad, kName, text), Error);
    EXPECT_THROW(decodeColumn(t, bad, kName, f.db->pages()), Error);
    EXPECT_THROW(decodeRow(t, bad, f.db->pages()), Error);
}

// A reader's pass over a table of many pages, read from the file as it goes: the live rows in table order,
// overflowed rows and long values (some on chains of pages) included, pages whose rows were all deleted and a
// page freed in the middle passed over, with only a few pages held at a time. A damaged page stops the pass
// with the error a whole read gives, after the rows before it.
TEST(RowRead, ACursorReadsTheFilePageByPage) {
    Fixture f;
    std::vector<RowId> ids;
    std::vector<std::u16string> notes;
    f.db->statement([&] {
        for (int i = 0; i < 1500; ++i) {
            notes.push_back(i % 50 == 7 ? repeat(u"long note \u4e2d ", 600) : u"note " + fromUtf8(std::to_string(i)));
            ids.push_back(f.db->insertRow(f.table(), server(u"host" + fromUtf8(std::to_string(i)), notes.back())));
        }
    });
    const uint32_t emptied = ids[400].page, freed = ids[700].page, damaged = ids[1000].page;
    std::vector<bool> live(ids.size(), true);
    f.db->statement([&] {
        for (size_t i = 0; i < ids.size(); ++i) {
            if (ids[i].page != emptied && ids[i].page != freed) continue;
            f.db->deleteRow(f.table(), ids[i]);
            live[i] = false;
        }
        std::fill_n(f.db->pages().writablePage(freed), kPageSize, 0);
    });
    for (size_t i : {100u, 900u}) {
        notes[i] = repeat(u"y", 1000);
        f.update(ids[i], {{kNotes, notes[i]}, {kHost, repeat(u"\u4e2d", 100)}});
        const uint8_t* home = f.db->pages().page(ids[i].page);
        ASSERT_TRUE(detail::rowSlot(home, ids[i].page, ids[i].slot).pointer()) << "row " << i << " did not move";
        ASSERT_NE(get32(home + detail::rowSlot(home, ids[i].page, ids[i].slot).start) >> 8, damaged);
    }
    f.expectSound();
    std::vector<size_t> expected;  // positions in `ids` of the live rows, in table order
    for (size_t i = 0; i < ids.size(); ++i)
        if (live[i]) expected.push_back(i);
    const size_t beforeDamage =
        size_t(std::find_if(expected.begin(), expected.end(), [&](size_t i) { return ids[i].page == damaged; }) -
               expected.begin());
    std::vector<uint8_t> bytes = testfiles::readFile(f.path);
    bytes[size_t(damaged) * kPageSize + 0x0C] = 0xFF;  // a row count no page can hold
    bytes[size_t(damaged) * kPageSize + 0x0D] = 0xFF;
    const std::string damagedPath = f.dir.file("damaged.mdb");
    testfiles::writeFile(damagedPath, bytes);
    f.db.reset();

    for (const std::string& path : {f.path, damagedPath}) {
        SCOPED_TRACE(path);
        auto reader = Database::openForReading(path);
        const TableDef& t = reader->table(u"Servers");
        RowCursor cursor(*reader, t);
        Row values;
        size_t at = 0, mostHeld = 0;
        std::string error = "(none)";
        try {
            for (; cursor.next(); ++at) {
                cursor.values(values);
                ASSERT_LT(at, expected.size());
                EXPECT_EQ(cursor.id(), ids[expected[at]]);
                EXPECT_EQ(std::get<std::u16string>(values[kName]), u"host" + fromUtf8(std::to_string(expected[at])));
                EXPECT_EQ(std::get<std::u16string>(values[kNotes]), notes[expected[at]]);
                mostHeld = std::max(mostHeld, reader->pages().pagesInMemory());
            }
        } catch (const Error& e) {
            error = e.what();
        }
        EXPECT_LT(mostHeld, reader->pages().pageCount() / 4) << "of " << reader->pages().pageCount() << " pages";
        if (path == f.path) {
            EXPECT_EQ(at, expected.size()) << error;
            continue;
        }
        EXPECT_EQ(at, beforeDamage);
        EXPECT_EQ(error, "data page " + std::to_string(damaged) + " is damaged: its row count is impossible");
        EXPECT_THROW(reader->readRows(t), Error);
    }
}

// Text as Jet may store it: compressed runs switching to two-byte characters and back at zero bytes.
TEST(RowRead, CompressedTextWithUnicodeRuns) {
    const uint8_t mixed[] = {0xFF, 0xFE, 'a', 'b', 0, 0x2D, 0x4E, 0x87, 0x65, 0, 'c'};
    EXPECT_EQ(decodeText(ByteView(mixed, sizeof mixed)), u"ab\u4e2d\u6587c");
    const uint8_t plain[] = {0xFF, 0xFE, 'x', 'y', 'z'};
    EXPECT_EQ(decodeText(ByteView(plain, sizeof plain)), u"xyz");
    const uint8_t cut[] = {0xFF, 0xFE, 'a', 0, 0x2D};  // ends inside a two-byte character
    EXPECT_THROW(decodeText(ByteView(cut, sizeof cut)), Error);
    const uint8_t odd[] = {'a', 0, 'b'};
    EXPECT_THROW(decodeText(ByteView(odd, sizeof odd)), Error);
}

TEST(RowWrite, LongValuesOnLongValuePages) {
    Fixture f;
    std::u16string single = repeat(u"\u00e9\u4e2d", 900);  // 3600 bytes: one long-value page
    std::u16string chained = repeat(u"0123456789\u4e2d", 1500);  // 33000 bytes: a chain of pages
    RowId a = f.insert(server(u"single", single));
    RowId b = f.insert(server(u"chained", chained));
    f.update(a, {{kPort, int64_t(1)}});
    f.reopen();
    auto rows = f.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, a);
    EXPECT_EQ(std::get<std::u16string>(rows[0].values[kNotes]), single);
    EXPECT_EQ(rows[1].id, b);
    EXPECT_EQ(std::get<std::u16string>(rows[1].values[kNotes]), chained);
    f.expectSound();
}

namespace {

// A row's stored bytes, and inside a statement a writable pointer to them.
ByteView rowAt(Database& db, RowId id) {
    const uint8_t* page = db.pages().page(id.page);
    return detail::rowBytes(page, id.page, detail::rowSlot(page, id.page, id.slot));
}
uint8_t* writableRow(Database& db, RowId id) {
    uint8_t* page = db.pages().writablePage(id.page);
    return page + detail::rowSlot(page, id.page, id.slot).start;
}
RowId pointed(uint32_t pointer) { return RowId{pointer >> 8, uint8_t(pointer)}; }
std::string rowOfPage(RowId id) { return "row " + std::to_string(id.slot) + " of page " + std::to_string(id.page); }

}  // namespace

// Updates and deletes carry the memo values they do not change without reading them: a row whose memo points
// past the end of the file can still be changed and deleted.
TEST(RowWrite, UpdatesAndDeletesLeaveUnchangedMemosUnread) {
    Fixture f;
    RowId id = f.insert(server(u"a", repeat(u"n", 2000)));
    f.db->statement([&] {
        std::vector<uint8_t> field = rawColumnBytes(f.table(), rowAt(*f.db, id), kNotes);
        uint8_t* row = writableRow(*f.db, id);
        put32(std::search(row, row + rowAt(*f.db, id).size(), field.begin(), field.end()) + 4, 0x7FFFFF00);
    });
    EXPECT_THROW(f.rows(), Error);
    f.update(id, {{kPort, int64_t(22)}, {kName, std::u16string(u"renamed")}});
    f.db->statement([&] { f.db->deleteRow(f.table(), id); });
    EXPECT_TRUE(f.rows().empty());
}

TEST(RowWrite, DeleteMarksTheSlotAndKeepsTheCounter) {
    Fixture f;
    RowId a = f.insert(server(u"a1"));
    RowId b = f.insert(server(u"b1"));
    f.db->statement([&] { f.db->deleteRow(f.table(), a); });
    const uint8_t* page = f.db->pages().page(a.page);
    EXPECT_EQ(get16(page + 0x0E + 2 * a.slot) & 0xC000, 0xC000);
    EXPECT_THROW(f.db->statement([&] { f.db->deleteRow(f.table(), a); }), Error);
    RowId c = f.insert(server(u"a1"));  // the name is free again
    f.reopen();
    auto rows = f.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, b);
    EXPECT_EQ(rows[1].id, c);
    EXPECT_EQ(std::get<int64_t>(rows[1].values[kId]), 3);  // AutoNumber values are not reused
    EXPECT_EQ(f.table().rowCount, 2u);
    f.expectSound();
}

TEST(RowWrite, FailedStatementsChangeNothing) {
    Fixture f;
    f.insert(server(u"one"));
    std::vector<uint8_t> before = testfiles::readFile(f.path);
    const TableDef& t = f.table();

    // A duplicate in the unique Name index, after a successful insert in the same statement.
    EXPECT_THROW(f.db->statement([&] {
        f.db->insertRow(t, server(u"two"));
        f.db->insertRow(t, server(u"ONE"));  // Jet compares names without case
    }), Error);
    EXPECT_EQ(testfiles::readFile(f.path), before);
    EXPECT_EQ(f.db->pages().bytes(), before);
    EXPECT_EQ(t.rowCount, 1u);  // the same reference shows the restored counters
    EXPECT_EQ(t.autoNumber, 1u);

    EXPECT_THROW(f.db->statement([&] {
        f.db->insertRow(t, server(u"three"));
        throw std::runtime_error("caller gave up");
    }), std::runtime_error);
    EXPECT_EQ(testfiles::readFile(f.path), before);

    // Values that do not fit are refused.
    EXPECT_THROW(f.insert(server(repeat(u"n", 65))), Error);
    Row wrongType = server(u"x");
    wrongType[kPort] = std::u16string(u"3389");
    EXPECT_THROW(f.insert(wrongType), Error);
    EXPECT_THROW(f.db->insertRow(t, server(u"outside")), Error);  // not inside a statement
    EXPECT_EQ(testfiles::readFile(f.path), before);
    f.expectSound();

    RowId four = f.insert(server(u"four"));
    EXPECT_EQ(std::get<int64_t>(f.rows()[1].values[kId]), 2);
    EXPECT_EQ(f.rows()[1].id, four);
}

TEST(RowWrite, SystemTableRowsInAnEmptyDatabase) {
    // MSysACEs (Long, Binary, Long, Boolean; index on ObjectId) in a copy of an empty database.
    testfiles::TempDir dir;
    std::string path = dir.copyOfEmptyDatabase();
    auto db = Database::open(path);
    const TableDef& aces = db->table(u"MSysACEs");
    RowId id;
    db->statement([&] { id = db->insertRow(aces, {int64_t(99), Bytes{0x06, 0xEA}, int64_t(7), true}); });
    db->statement([&] { db->updateRow(aces, db->readRows(aces)[0].id, {{2, int64_t(12345)}}); });
    db.reset();
    db = Database::open(path);
    const TableDef& reread = db->table(u"MSysACEs");
    auto rows = db->readRows(reread);
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_EQ(rows[16].id, id);
    EXPECT_EQ(rows[16].values, (Row{int64_t(99), Bytes{0x06, 0xEA}, int64_t(7), true}));
    EXPECT_EQ(std::get<int64_t>(rows[0].values[2]), 12345);
    EXPECT_EQ(reread.realIndexes[0].uniqueKeyCount, 9u);
    auto problems = db->check();
    EXPECT_TRUE(problems.empty()) << problems.front();
}

// Values sharing a long-value part, and rows sharing an overflow row, are damage: every pass over the rows
// stops with an error naming it, instead of reading the shared chain again for each of thousands of rows.
TEST(RowRead, SharedLongValuesAndOverflowRowsStopEveryPass) {
    using Ids = std::vector<RowId>;
    // Where the long value of a Notes row (Host, Note) begins.
    auto firstPart = [](Database& db, RowId id) {
        return pointed(get32(rawColumnBytes(db.table(u"Notes"), rowAt(db, id), 1).data() + 4));
    };
    struct Damage { const char* what; size_t rows; std::function<std::string(Database&, const Ids&)> apply; };
    std::vector<Damage> damages = {
        {"memos on one chain", 4000, [&](Database& db, const Ids& ids) {  // copies of the first row, pointer included
             for (size_t i = 1; i < ids.size(); ++i)
                 std::memcpy(writableRow(db, ids[i]), rowAt(db, ids[0]).data(), rowAt(db, ids[i]).size());
             return "column Note shares long-value " + rowOfPage(firstPart(db, ids[0]));
         }},
        {"a chain continuing into another", 1, [&](Database& db, const Ids& ids) {
             RowId own = db.insertRow(db.table(u"Notes"), {std::u16string(u"shared"), repeat(u"x", 5000)});
             uint32_t second = get32(rowAt(db, firstPart(db, ids[0])).data());
             put32(writableRow(db, firstPart(db, own)), second);
             return "column Note shares long-value " + rowOfPage(pointed(second));
         }},
        {"rows pointing to one overflow row", 4000, [](Database& db, const Ids& ids) {
             db.updateRow(db.table(u"Notes"), ids[0], {{0, repeat(u"\u4e2d", 255)}});  // too big for its page: moved
             uint32_t target = get32(rowAt(db, ids[0]).data());
             for (size_t i = 1; i < ids.size(); ++i) {
                 put32(writableRow(db, ids[i]), target);
                 uint8_t* entry = db.pages().writablePage(ids[i].page) + 0x0E + 2 * ids[i].slot;
                 put16(entry, get16(entry) | 0x4000);
             }
             return "points to overflow " + rowOfPage(pointed(target)) + ", which " + rowOfPage(ids[0]);
         }},
    };
    auto sqlPass = [](const char* text) { return [=](Database& db) { sql::execute(db, sql::parse(fromUtf8(text))); }; };
    const std::vector<std::function<void(Database&)>> passes = {
        [](Database& db) { db.readRows(db.table(u"Notes")); },
        [](Database& db) { if (auto problems = db.check(); !problems.empty()) throw Error(problems.back()); },
        sqlPass("select * from Notes where Host='shared'"), sqlPass("delete from Notes where Note='x'"),
    };
    for (const Damage& d : damages) {
        auto db = Database::openBytes(createDatabase(
            {{u"Notes", {{u"Host", ColumnType::Text, 255}, {u"Note", ColumnType::Memo}}, {}, {}}}));
        Ids ids;
        std::string expected;
        db->statement([&] {
            for (size_t i = 0; i < d.rows; ++i) {  // the first note: 200 KB, a chain of 50 long-value pages
                Row row = {std::u16string(u"shared"), i ? u"" : repeat(u"\u4e2d", 100000)};
                ids.push_back(db->insertRow(db->table(u"Notes"), row));
            }
            expected = d.apply(*db, ids);
        });
        db = Database::openBytes(db->pages().bytes());
        for (size_t i = 0; i < passes.size(); ++i) {
            std::string error = "(no error)";
            try {
                passes[i](*db);
            } catch (const Error& e) {
                error = e.what();
            }
            EXPECT_NE(error.find(expected), std::string::npos) << d.what << ", pass " << i << ": " << error;
        }
    }
}
