// The page store: statements reach the file all together or not at all, even when the power goes at any
// moment of a commit; only changed pages are written.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "jet/create.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_store.h"
#include "power_cut_file_system.h"
#include "test_files.h"

using namespace jet;
using testfiles::PowerCutFileSystem;

namespace {

NewTable hostsTable() {
    NewTable t;
    t.name = u"Hosts";
    t.columns = {{u"Id", ColumnType::Long, 0, true}, {u"Name", ColumnType::Text, 100, false},
                 {u"Notes", ColumnType::Memo, 0, false}};
    t.indexes = {{u"PrimaryKey", u"Id", true, true}};
    for (int i = 0; i < 25; ++i)
        t.rows.push_back({std::monostate{}, fromUtf8("host" + std::to_string(i)), std::u16string(100, u'n')});
    return t;
}

// Runs `change` as one statement on a copy of `base` (after `first`, when given, as a statement of its own in
// the same session) once without failure, then once for every possible power cut during it, keeping or
// losing the unflushed writes of the file and of its journal. Each interrupted file must reopen as exactly the old or exactly the new content,
// and as the new content whenever the statement had reported success.
void checkEveryPowerCut(const std::vector<uint8_t>& base, const std::function<void(Database&)>& change,
                        const std::function<void(const std::vector<uint8_t>&)>& checkNew,
                        const std::function<void(Database&)>& first = nullptr) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb");
    testfiles::writeFile(path, base);
    PowerCutFileSystem counting;
    std::vector<uint8_t> before;
    {
        auto db = Database::open(path, counting);
        if (first) db->statement([&] { first(*db); });
        before = db->pages().bytes();
        counting.calls = 0;
        db->statement([&] { change(*db); });
    }
    size_t needed = counting.calls;  // the statement's calls and the store's closing
    std::vector<uint8_t> after = testfiles::readFile(path);
    ASSERT_NE(after, before);
    checkNew(after);

    for (int lose = 0; lose < 4; ++lose) {
        int sawOld = 0, sawNew = 0;
        for (size_t k = 0; k <= needed; ++k) {
            testfiles::writeFile(path, base);
            PowerCutFileSystem fs;
            fs.loseFile = (lose & 1) != 0;
            fs.loseJournal = (lose & 2) != 0;
            bool reported = false;
            {
                auto db = Database::open(path, fs);
                if (first) db->statement([&] { first(*db); });
                fs.calls = 0;
                fs.limit = k;
                try {
                    db->statement([&] { change(*db); });
                    reported = true;
                } catch (const Error&) {
                    EXPECT_EQ(db->pages().bytes(), before) << "memory not rolled back after " << k << " calls";
                }
            }
            std::string label = std::string(fs.loseFile ? "losing" : "keeping") + " the file's and " +
                                (fs.loseJournal ? "losing" : "keeping") + " the journal's unflushed writes, cut after " +
                                std::to_string(k) + " calls";
            auto db = Database::open(path);  // recovers from the journal, if any
            std::vector<uint8_t> now = db->pages().bytes();
            EXPECT_EQ(testfiles::readFile(path), now) << label;
            EXPECT_FALSE(realFileSystem().exists(PageStore::journalPath(path))) << "journal left, " << label;
            if (reported) {
                EXPECT_EQ(now, after) << "a statement reported done was undone, " << label;
            }
            if (now == before) ++sawOld;
            else if (now == after) ++sawNew;
            else ADD_FAILURE() << "a mixed file, " << label;
        }
        EXPECT_GT(sawOld, 0);
        EXPECT_GT(sawNew, 0);
    }
}

}  // namespace

TEST(PageStore, EveryPowerCutDuringAnInsertThatAddsAPage) {
    std::vector<uint8_t> base = createDatabase({hostsTable()});
    uint32_t pagesBefore = uint32_t(base.size() / kPageSize);
    checkEveryPowerCut(
        base,
        [](Database& db) {
            const TableDef& t = db.table(u"Hosts");
            // A row too large for the creator's data page forces a new one.
            db.insertRow(t, {std::monostate{}, std::u16string(u"big"), std::u16string(1000, u'\u4e2d')});
        },
        [&](const std::vector<uint8_t>& after) { EXPECT_GT(after.size() / kPageSize, pagesBefore); });
}

TEST(PageStore, EveryPowerCutDuringAnUpdateThatOverflows) {
    std::vector<uint8_t> base = createDatabase({hostsTable()});
    RowId target;
    {
        auto db = Database::openBytes(base);
        target = db->readRows(db->table(u"Hosts"))[3].id;
    }
    checkEveryPowerCut(
        base,
        [&](Database& db) {
            db.updateRow(db.table(u"Hosts"), target, {{2, std::u16string(1000, u'x')}});
        },
        [&](const std::vector<uint8_t>& after) {
            auto db = Database::openBytes(after);
            const uint8_t* page = db->pages().page(target.page);
            detail::RowSlot s = detail::rowSlot(page, target.page, target.slot);
            EXPECT_TRUE(s.pointer());  // the row's data had to move to another page
            auto problems = db->check();
            EXPECT_TRUE(problems.empty()) << problems.front();
        });
}

// The journal file is kept between statements: a cut during a small statement that follows a larger one
// (whose longer journal, not yet invalidated on disk when unflushed writes are lost, lies underneath).
TEST(PageStore, EveryPowerCutDuringASecondStatementOfTheSession) {
    std::vector<uint8_t> base = createDatabase({hostsTable()});
    RowId target;
    {
        auto db = Database::openBytes(base);
        target = db->readRows(db->table(u"Hosts"))[5].id;
    }
    checkEveryPowerCut(
        base,
        [](Database& db) {
            db.insertRow(db.table(u"Hosts"), {std::monostate{}, std::u16string(u"second"), std::monostate{}});
        },
        [](const std::vector<uint8_t>& after) {
            auto db = Database::openBytes(after);
            EXPECT_EQ(db->readRows(db->table(u"Hosts")).size(), 26u);
            auto problems = db->check();
            EXPECT_TRUE(problems.empty()) << problems.front();
        },
        [&](Database& db) { db.updateRow(db.table(u"Hosts"), target, {{2, std::u16string(1500, u'y')}}); });
}

TEST(PageStore, CommitWritesOnlyChangedPages) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb");
    testfiles::writeFile(path, createDatabase({hostsTable()}));
    PowerCutFileSystem fs;
    auto db = Database::open(path, fs);
    for (int i = 0; i < 3; ++i)
        db->statement([&] { db->insertRow(db->table(u"Hosts"), {std::monostate{}, std::u16string(u"x"), std::monostate{}}); });
    size_t fileBytes = 0;
    for (const auto& [file, size] : fs.writes)
        if (file == path) fileBytes += size;
    // Data page, TDEF page and index leaf per statement: a handful of pages, not the whole file.
    EXPECT_LE(fileBytes, 3 * 4 * kPageSize);
    EXPECT_EQ(testfiles::readFile(path), db->pages().bytes());
}

// The journal file is created once and kept between statements, and removed when the database is closed.
TEST(PageStore, OneJournalFileForTheWholeSession) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb");
    testfiles::writeFile(path, createDatabase({hostsTable()}));
    PowerCutFileSystem fs;
    {
        auto db = Database::open(path, fs);
        EXPECT_FALSE(realFileSystem().exists(PageStore::journalPath(path)));  // reading alone writes nothing
        for (int i = 0; i < 3; ++i)
            db->statement([&] { db->insertRow(db->table(u"Hosts"), {std::monostate{}, std::u16string(u"x"), std::monostate{}}); });
        EXPECT_TRUE(realFileSystem().exists(PageStore::journalPath(path)));
    }
    EXPECT_FALSE(realFileSystem().exists(PageStore::journalPath(path)));
}

namespace {

// The real file system, except that writes to the database file (not its journal) fail from the
// `failFrom`-th one on, and only `failCount` of them, as a disk error would.
class FailingWritesFileSystem : public FileSystem {
public:
    std::string failing;
    size_t failFrom = 0, failCount = SIZE_MAX, seen = 0;

    bool exists(const std::string& path) override { return realFileSystem().exists(path); }
    std::vector<uint8_t> readAll(const std::string& path) override { return realFileSystem().readAll(path); }
    void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        if (path == failing && seen++ >= failFrom && failCount > 0) {
            --failCount;
            throw Error("disk error");
        }
        realFileSystem().write(path, offset, data, size);
    }
    void truncate(const std::string& path, uint64_t size) override { realFileSystem().truncate(path, size); }
    void flush(const std::string& path) override { realFileSystem().flush(path); }
    void remove(const std::string& path) override { realFileSystem().remove(path); }
    void rename(const std::string& from, const std::string& to) override { realFileSystem().rename(from, to); }
};

}  // namespace

// A write that fails inside a running program: the pages already written go back at once and the next
// statement works; when even that fails, commits are refused and reopening repairs the file from the journal.
TEST(PageStore, FailedWritesAreUndoneOrLeftForTheJournal) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb");
    std::vector<uint8_t> base = createDatabase({hostsTable()});
    auto insertBig = [](Database& db) {  // changes several pages and appends one
        db.insertRow(db.table(u"Hosts"), {std::monostate{}, std::u16string(u"big"), std::u16string(1000, u'\u4e2d')});
    };

    // One failed write, the second of the statement: the first is put back at once.
    testfiles::writeFile(path, base);
    FailingWritesFileSystem once;
    once.failing = path;
    once.failFrom = 1;
    once.failCount = 1;
    {
        auto db = Database::open(path, once);
        EXPECT_THROW(db->statement([&] { insertBig(*db); }), Error);
        EXPECT_EQ(db->pages().bytes(), base);
        EXPECT_EQ(testfiles::readFile(path), base);
        db->statement([&] { insertBig(*db); });  // the disk works again
        EXPECT_EQ(testfiles::readFile(path), db->pages().bytes());
    }
    EXPECT_FALSE(realFileSystem().exists(PageStore::journalPath(path)));

    // Every write from the second on fails, so the file cannot be put back: the store refuses further
    // commits, keeps the journal, and the next open restores the old content.
    testfiles::writeFile(path, base);
    FailingWritesFileSystem broken;
    broken.failing = path;
    broken.failFrom = 1;
    {
        auto db = Database::open(path, broken);
        EXPECT_THROW(db->statement([&] { insertBig(*db); }), Error);
        EXPECT_EQ(db->pages().bytes(), base);
        EXPECT_NE(testfiles::readFile(path), base);  // the first write reached the file
        try {
            db->statement([&] { insertBig(*db); });
            ADD_FAILURE() << "a commit was accepted after the file could not be put back";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("reopen"), std::string::npos) << e.what();
        }
        EXPECT_EQ(db->pages().bytes(), base);
    }
    EXPECT_TRUE(realFileSystem().exists(PageStore::journalPath(path)));
    auto db = Database::open(path);
    EXPECT_EQ(db->pages().bytes(), base);
    EXPECT_EQ(testfiles::readFile(path), base);
    EXPECT_FALSE(realFileSystem().exists(PageStore::journalPath(path)));
}

TEST(PageStore, JournalOnDiskIsAppliedOrDiscardedAtOpen) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb");
    std::vector<uint8_t> base = createDatabase({hostsTable()});
    testfiles::writeFile(path, base);
    // A journal that is not complete (a crash while it was written) is removed and the file left alone.
    testfiles::writeFile(PageStore::journalPath(path), {'Q', 'J', 'E', 'T', 1, 2, 3});
    auto store = PageStore::openFile(path);
    EXPECT_EQ(store->bytes(), base);
    EXPECT_FALSE(realFileSystem().exists(PageStore::journalPath(path)));

    // Changes outside a statement are refused; rollback forgets changes and appended pages.
    EXPECT_THROW(store->writablePage(1), Error);
    EXPECT_THROW(store->page(store->pageCount()), Error);
    store->begin();
    store->writablePage(1)[100] ^= 0xFF;
    store->appendPage();
    store->rollback();
    EXPECT_EQ(store->bytes(), base);
}

// ---------------------------------------------------------------------------------------------------------
// One writer at a time, and journals applied only to the file they were written for.

namespace {

size_t hostCount(Database& db) { return db.readRows(db.table(u"Hosts")).size(); }

void insertHosts(const std::string& path, int count) {
    auto db = Database::open(path);
    for (int i = 0; i < count; ++i)
        db->statement([&] { db->insertRow(db->table(u"Hosts"), {std::monostate{}, std::u16string(u"h"), std::monostate{}}); });
}

// Leaves the journal of a delete that a power cut stopped once its journal was on disk: before the file was
// written, or (`torn`) in the middle of its first write.
void crashDuringADelete(const std::string& path, bool torn = false) {
    PowerCutFileSystem fs;
    fs.loseFile = !torn;
    auto db = Database::open(path, fs);
    RowId first = db->readRows(db->table(u"Hosts"))[0].id;
    fs.calls = 0;
    fs.limit = 2;  // the journal's write and flush
    EXPECT_THROW(db->statement([&] { db->deleteRow(db->table(u"Hosts"), first); }), Error);
}

bool exists(const std::string& path) { return realFileSystem().exists(path); }

}  // namespace

TEST(OneWriter, ASecondOpenerForChangesIsRefusedAndReadersReadWhatWasCommitted) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb"), journal = PageStore::journalPath(path);
    testfiles::writeFile(path, createDatabase({hostsTable()}));
    auto writer = Database::open(path);
    writer->statement([&] { writer->insertRow(writer->table(u"Hosts"), {std::monostate{}, std::u16string(u"a"), std::monostate{}}); });
    const std::vector<uint8_t> file = testfiles::readFile(path), journalBytes = testfiles::readFile(journal);

    try {
        Database::open(path);
        ADD_FAILURE() << "a second opener for changes was let in";
    } catch (const InUseError& e) {
        EXPECT_NE(std::string(e.what()).find(path + " is in use"), std::string::npos) << e.what();
    }
    EXPECT_EQ(testfiles::readFile(path), file);
    EXPECT_EQ(testfiles::readFile(journal), journalBytes);

    writer->statement([&] { writer->insertRow(writer->table(u"Hosts"), {std::monostate{}, std::u16string(u"b"), std::monostate{}}); });
    // A handle to ask the statement lock with, besides the writer's: on Windows one for reading (nobody may
    // open the writer's file for changes), elsewhere one for writing (an exclusive lock needs write access).
    auto lockHandle = [&] {
#ifdef _WIN32
        return realFileSystem().openForReading(path);
#else
        return realFileSystem().openDatabase(path);
#endif
    };
    {
        auto reader = Database::openForReading(path);
        EXPECT_EQ(hostCount(*reader), 27u);
        EXPECT_THROW(reader->statement([] {}), Error);
        EXPECT_TRUE(exists(journal)) << "the reader removed the writer's journal";
        // A reader reads pages as it goes: until it closes, no commit may change the file under it.
        EXPECT_FALSE(lockHandle()->tryLock(OpenFile::kStatementLock, true));
    }
    EXPECT_TRUE(lockHandle()->tryLock(OpenFile::kStatementLock, true));
    writer.reset();
    EXPECT_EQ(hostCount(*Database::open(path)), 27u);  // free again once the writer has closed it
}

TEST(OneWriter, AReaderSeesTheContentBeforeAnInterruptedStatementAndChangesNothing) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb"), journal = PageStore::journalPath(path);
    const std::vector<uint8_t> before = createDatabase({hostsTable()});
    testfiles::writeFile(path, before);
    crashDuringADelete(path, true);
    const std::vector<uint8_t> torn = testfiles::readFile(path), journalBytes = testfiles::readFile(journal);
    ASSERT_NE(torn, before) << "the crash should have left a half-written file";

    EXPECT_EQ(Database::openForReading(path)->pages().bytes(), before);
    EXPECT_EQ(testfiles::readFile(path), torn);
    EXPECT_EQ(testfiles::readFile(journal), journalBytes);

    auto db = Database::open(path);  // the writer repairs the file
    EXPECT_EQ(testfiles::readFile(path), before);
    EXPECT_TRUE(db->openingNote().empty());
    EXPECT_FALSE(exists(journal));
}

TEST(Journals, AJournalIsAppliedOnlyToTheFileItWasWrittenFor) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path, const std::vector<uint8_t>& backup)> replace;
    };
    const std::vector<uint8_t> empty = createDatabase({});
    const Case cases[] = {
        {"a backup copied back", [](const std::string& path, const auto& backup) { testfiles::writeFile(path, backup); }},
        {"another database written over it", [&](const std::string& path, const auto&) { testfiles::writeFile(path, empty); }},
        {"removed, then written anew",
         [&](const std::string& path, const auto&) {
             realFileSystem().remove(path);
             EXPECT_TRUE(realFileSystem().createNew(path, empty.data(), empty.size()));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testfiles::TempDir dir;
        std::string path = dir.file("config.MDB"), journal = PageStore::journalPath(path);
        testfiles::writeFile(path, createDatabase({hostsTable()}));
        insertHosts(path, 3);
        const std::vector<uint8_t> backup = testfiles::readFile(path);
        insertHosts(path, 5);
        crashDuringADelete(path);
        c.replace(path, backup);
        const std::vector<uint8_t> replaced = testfiles::readFile(path);

        EXPECT_EQ(Database::openForReading(path)->pages().bytes(), replaced);  // a reader leaves it all alone
        EXPECT_TRUE(exists(journal));
        auto db = Database::open(path);
        EXPECT_EQ(testfiles::readFile(path), replaced);
        EXPECT_EQ(db->pages().bytes(), replaced);
        EXPECT_FALSE(exists(journal));
        EXPECT_TRUE(exists(journal + "-unused"));
        EXPECT_NE(db->openingNote().find("kept as " + journal + "-unused"), std::string::npos) << db->openingNote();
    }

    // A second journal set aside takes the next free name; one that fits its file is still applied.
    testfiles::TempDir dir;
    std::string path = dir.file("config.MDB"), journal = PageStore::journalPath(path);
    for (const char* name : {"-unused", "-unused-2"}) {
        testfiles::writeFile(path, createDatabase({hostsTable()}));
        crashDuringADelete(path);
        testfiles::writeFile(path, empty);
        EXPECT_NE(Database::open(path)->openingNote().find(journal + name), std::string::npos);
        EXPECT_TRUE(exists(journal + name));
    }
    testfiles::writeFile(path, createDatabase({hostsTable()}));
    crashDuringADelete(path, true);
    auto db = Database::open(path);
    EXPECT_TRUE(db->openingNote().empty());
    EXPECT_EQ(hostCount(*db), 25u);
}

// The replacement may even hold the very pages the statement changed, as another file that had the same
// statement: the page it appended tells them apart.
TEST(Journals, APageTheStatementAppendedMustHoldItsRowOrNothing) {
    NewTable hosts = hostsTable();
    hosts.rows.clear();
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb"), journal = PageStore::journalPath(path);
    auto insertOne = [](Database& db, const char16_t* name) {
        db.statement([&] { db.insertRow(db.table(u"Hosts"), {std::monostate{}, std::u16string(name), std::monostate{}}); });
    };
    testfiles::writeFile(path, createDatabase({hosts}));
    {
        auto db = Database::open(path);
        insertOne(*db, u"another");
    }
    const std::vector<uint8_t> other = testfiles::readFile(path);
    testfiles::writeFile(path, createDatabase({hosts}));
    {
        PowerCutFileSystem fs;
        fs.loseFile = true;
        auto db = Database::open(path, fs);
        fs.limit = 2;  // the journal's write and flush
        EXPECT_THROW(insertOne(*db, u"mine"), Error);
    }
    ASSERT_GT(other.size(), testfiles::readFile(path).size()) << "the insert should have appended a page";
    testfiles::writeFile(path, other);
    auto db = Database::open(path);
    EXPECT_EQ(testfiles::readFile(path), other);
    EXPECT_TRUE(exists(journal + "-unused"));
}

// Journals with whole checksums whose lengths, counts or page numbers are out of all proportion, some past
// 32 bits: the file is never changed and nothing is sized from them.
TEST(Journals, CraftedJournalsLeaveTheFileUntouched) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb"), journal = PageStore::journalPath(path);
    testfiles::writeFile(path, createDatabase({hostsTable()}));
    crashDuringADelete(path);
    const std::vector<uint8_t> file = testfiles::readFile(path), real = testfiles::readFile(journal);
    const size_t written = get32(real.data() + 24), hashed = 32 + written * 68 + get32(real.data() + 28) * 4100;

    struct Change { size_t offset; uint64_t value; int bytes; };
    struct Case { const char* what; std::vector<Change> changes; bool setAside; };
    const Case cases[] = {
        {"old length past 32 bits", {{8, (uint64_t(1) << 32) + 4096, 8}, {16, (uint64_t(1) << 32) + 8192, 8}}, true},
        {"new length near 2^64", {{16, ~uint64_t(4095), 8}}, false},  // the file is what it found: kept
        {"old length beyond the new one", {{8, file.size() + 4096, 8}}, true},
        {"a length that is not whole pages", {{16, file.size() + 100, 8}}, true},
        {"a written page far past the new length", {{32, 0xFFFFFFFF, 4}}, true},
        {"an original page far past the old length", {{32 + written * 68, 0xFFFFFFFF, 4}}, true},
        {"2^32 - 1 written pages", {{24, 0xFFFFFFFF, 4}}, false},   // longer than the journal: not a journal
        {"2^32 - 1 original pages", {{28, 0xFFFFFFFF, 4}}, false},
        {"the layout of an earlier version", {{7, '2', 1}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> crafted = real;
        for (const Change& change : c.changes)
            for (int i = 0; i < change.bytes; ++i) crafted[change.offset + i] = uint8_t(change.value >> (8 * i));
        uint64_t sum = detail::journalHash(crafted.data(), hashed);
        for (int i = 0; i < 8; ++i) crafted[hashed + i] = uint8_t(sum >> (8 * i));
        testfiles::writeFile(path, file);
        testfiles::writeFile(journal, crafted);
        auto db = Database::open(path);
        EXPECT_EQ(testfiles::readFile(path), file);
        EXPECT_EQ(hostCount(*db), 25u);
        EXPECT_FALSE(exists(journal));
        EXPECT_EQ(exists(journal + "-unused"), c.setAside);
        EXPECT_EQ(db->openingNote().empty(), !c.setAside);
        db.reset();
        realFileSystem().remove(journal + "-unused");
    }
}
