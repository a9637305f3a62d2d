// The page store: statements reach the file all together or not at all, even when the power goes at any
// moment of a commit; only changed pages are written.
#include <gtest/gtest.h>

#include "jet/create.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_store.h"
#include "test_files.h"

using namespace jet;

namespace {

// The real file system until `limit` changing calls have been made; the next one tears (a write keeps only
// its first half) and throws, and from then on every change is ignored, as after a power cut.
class PowerCutFileSystem : public FileSystem {
public:
    size_t limit = SIZE_MAX;
    size_t calls = 0;
    bool dead = false;
    std::vector<std::pair<std::string, size_t>> writes;  // path and size of each write that happened

    bool exists(const std::string& path) override { return realFileSystem().exists(path); }
    std::vector<uint8_t> readAll(const std::string& path) override { return realFileSystem().readAll(path); }
    void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        if (cut()) {
            if (!dead) return;
            realFileSystem().write(path, offset, data, size / 2);
            throw Error("power cut");
        }
        writes.push_back({path, size});
        realFileSystem().write(path, offset, data, size);
    }
    void truncate(const std::string& path, uint64_t size) override {
        if (cut()) throwIfJustCut();
        else realFileSystem().truncate(path, size);
    }
    void flush(const std::string& path) override {
        if (cut()) throwIfJustCut();
        else realFileSystem().flush(path);
    }
    void remove(const std::string& path) override {
        if (cut()) throwIfJustCut();
        else realFileSystem().remove(path);
    }

private:
    bool justCut_ = false;
    // True when this call must not happen; `dead` turns true on the call that hits the limit.
    bool cut() {
        if (dead) { justCut_ = false; return true; }
        if (calls++ < limit) return false;
        dead = true;
        justCut_ = true;
        return true;
    }
    void throwIfJustCut() {
        if (justCut_) throw Error("power cut");
    }
};

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

// Runs `change` on a copy of `base` once without failure, then once for every possible power cut, and
// checks that each interrupted file reopens as exactly the old or exactly the new content.
void checkEveryPowerCut(const std::vector<uint8_t>& base, const std::function<void(Database&)>& change,
                        const std::function<void(const std::vector<uint8_t>&)>& checkNew) {
    testfiles::TempDir dir;
    std::string path = dir.file("db.mdb");
    testfiles::writeFile(path, base);
    PowerCutFileSystem counting;
    {
        auto db = Database::open(path, counting);
        counting.calls = 0;
        db->statement([&] { change(*db); });
    }
    size_t needed = counting.calls;
    std::vector<uint8_t> after = testfiles::readFile(path);
    ASSERT_NE(after, base);
    checkNew(after);

    int sawOld = 0, sawNew = 0;
    for (size_t k = 0; k <= needed; ++k) {
        testfiles::writeFile(path, base);
        PowerCutFileSystem fs;
        {
            auto db = Database::open(path, fs);
            fs.calls = 0;
            fs.limit = k;
            if (k < needed) {
                EXPECT_THROW(db->statement([&] { change(*db); }), Error) << "cut after " << k << " calls";
                EXPECT_EQ(db->pages().bytes(), base) << "memory not rolled back after " << k << " calls";
            } else {
                db->statement([&] { change(*db); });
            }
        }
        auto db = Database::open(path);  // recovers from the journal, if any
        std::vector<uint8_t> now = db->pages().bytes();
        EXPECT_EQ(testfiles::readFile(path), now);
        EXPECT_FALSE(realFileSystem().exists(PageStore::journalPath(path))) << "journal left after " << k;
        if (now == base) ++sawOld;
        else if (now == after) ++sawNew;
        else ADD_FAILURE() << "a power cut after " << k << " calls left a mixed file";
    }
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
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
