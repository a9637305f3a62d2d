// Index B-trees: keys and pages checked against the indexes of an empty database (the one the Jet engine
// wrote where it is present, otherwise this engine's own), and random inserts and removes checked against a
// simple ordered model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/index.h"
#include "jet/page_store.h"
#include "jet/usage_map.h"
#include "test_files.h"

namespace {

using jet::RowId;
using jet::index::Entry;
using jet::index::Key;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kPage = 4096;

Bytes emptyDatabase() {
    Bytes bytes = testfiles::emptyDatabaseBytes();
    if (bytes.size() != 19 * kPage) throw std::runtime_error("the empty database is not 19 pages long");
    return bytes;
}

// Just enough of a TDEF reader for these tests (columns and real indexes of a one-page definition).
jet::TableDef readTableDef(const Bytes& file, uint32_t tdefPage) {
    const uint8_t* p = file.data() + size_t(tdefPage) * kPage;
    jet::TableDef def;
    def.tdefPage = tdefPage;
    def.tdefPages = {tdefPage};
    def.raw.assign(p, p + kPage);
    uint16_t columnCount = jet::get16(p + 0x2D);
    uint32_t realCount = jet::get32(p + 0x33);
    size_t offset = 0x3F + 12 * realCount;
    for (uint16_t i = 0; i < columnCount; ++i, offset += 25) {
        jet::Column c;
        c.type = jet::ColumnType(p[offset]);
        c.number = jet::get16(p + offset + 5);
        c.varIndex = jet::get16(p + offset + 7);
        c.sortOrder = jet::get16(p + offset + 11);
        c.flags = p[offset + 15];
        c.fixedOffset = jet::get16(p + offset + 21);
        c.length = jet::get16(p + offset + 23);
        c.descriptorOffset = uint32_t(offset);
        def.columns.push_back(c);
    }
    for (jet::Column& c : def.columns) {
        uint16_t length = jet::get16(p + offset);
        for (uint16_t k = 0; k < length; k += 2) c.name.push_back(char16_t(jet::get16(p + offset + 2 + k)));
        offset += 2 + length;
    }
    std::sort(def.columns.begin(), def.columns.end(), [](auto& a, auto& b) { return a.number < b.number; });
    for (uint32_t i = 0; i < realCount; ++i, offset += 52) {
        jet::RealIndex r;
        r.number = i;
        for (int k = 0; k < 10; ++k) {
            uint16_t column = jet::get16(p + offset + 4 + 3 * k);
            if (column != 0xFFFF) r.columns.push_back({column, (p[offset + 6 + 3 * k] & 0x01) != 0});
        }
        r.usageMap = {jet::get24(p + offset + 35), p[offset + 34]};
        r.rootPage = jet::get32(p + offset + 38);
        r.flags = p[offset + 46];
        r.uniqueKeyCount = jet::get32(p + 0x3F + 12 * i + 4);
        def.realIndexes.push_back(r);
    }
    return def;
}

// Reads row `slot` of data page `page`: fixed columns and uncompressed variable text columns.
jet::Row readRow(const Bytes& file, const jet::TableDef& def, RowId id) {
    const uint8_t* p = file.data() + size_t(id.page) * kPage;
    size_t start = jet::get16(p + 0x0E + 2 * id.slot) & 0x1FFF;
    size_t end = id.slot == 0 ? kPage : jet::get16(p + 0x0E + 2 * (id.slot - 1)) & 0x1FFF;
    const uint8_t* row = p + start;
    size_t length = end - start;
    uint16_t columnCount = jet::get16(row);
    size_t maskBytes = (columnCount + 7) / 8;
    size_t varCountAt = length - maskBytes - 2;
    uint16_t varCount = jet::get16(row + varCountAt);
    auto varOffset = [&](size_t j) { return size_t(jet::get16(row + varCountAt - 2 * (j + 1))); };
    jet::Row values(def.columns.size());
    for (size_t i = 0; i < def.columns.size(); ++i) {
        const jet::Column& c = def.columns[i];
        bool present = row[length - maskBytes + c.number / 8] & (1 << (c.number % 8));
        if (!present) continue;
        if (c.type == jet::ColumnType::Long) values[i] = int64_t(int32_t(jet::get32(row + 2 + c.fixedOffset)));
        if (c.type == jet::ColumnType::Text && c.varIndex < varCount) {
            std::u16string text;
            for (size_t k = varOffset(c.varIndex); k + 1 < varOffset(c.varIndex + 1); k += 2)
                text.push_back(char16_t(jet::get16(row + k)));
            values[i] = text;
        }
    }
    return values;
}

// The order entries must keep: key bytes, then row page, then row slot.
struct EntryOrder {
    bool operator()(const Entry& a, const Entry& b) const {
        if (a.key != b.key) return a.key < b.key;
        if (a.row.page != b.row.page) return a.row.page < b.row.page;
        return a.row.slot < b.row.slot;
    }
};
using Model = std::set<Entry, EntryOrder>;

bool hasKey(const Model& model, const Key& key) {
    auto it = model.lower_bound(Entry{key, RowId{0, 0}});
    return it != model.end() && it->key == key;
}

std::vector<Entry> asVector(const Model& model) { return std::vector<Entry>(model.begin(), model.end()); }

// Checks each index page of the map: its free space matches the entry mask, which ends where the entries do.
void checkPageAccounting(const jet::PageStore& store, const jet::RealIndex& index) {
    for (uint32_t number : jet::readUsageMap(store, index.usageMap)) {
        const uint8_t* p = store.page(number);
        ASSERT_TRUE(p[0] == 0x03 || p[0] == 0x04) << "page " << number;
        size_t lastEnd = 0;
        for (size_t bit = 0; bit < 453 * 8; ++bit)
            if (p[0x1B + bit / 8] & (1 << (bit % 8))) lastEnd = bit;
        EXPECT_EQ(jet::get16(p + 2), 3616 - lastEnd) << "page " << number;
        for (size_t i = 0x1E0 + lastEnd; i < kPage; ++i) ASSERT_EQ(p[i], 0) << "page " << number << " byte " << i;
    }
}

// Depth of the tree below the root, following first children.
int treeDepth(const jet::PageStore& store, uint32_t root) {
    int depth = 1;
    uint32_t number = root;
    while (store.page(number)[0] == 0x03) {
        const uint8_t* p = store.page(number);
        size_t end = 0;
        while (!(p[0x1B + end / 8] & (1 << (end % 8)))) ++end;
        number = jet::get32be(p + 0x1E0 + end - 4);
        ++depth;
    }
    return depth;
}

// ---------------------------------------------------------------------------------------------------------
// The indexes of an empty database.

class EmptyDatabaseIndexes : public ::testing::Test {
protected:
    Bytes file = emptyDatabase();
    jet::TableDef objects = readTableDef(file, 2);   // MSysObjects: ParentIdName (0), Id (1)
    jet::TableDef aces = readTableDef(file, 3);      // MSysACEs: ObjectId (0)
    std::unique_ptr<jet::PageStore> store = jet::PageStore::fromBytes(file);
};

TEST_F(EmptyDatabaseIndexes, KeysOfEveryEntryAreReproducedFromTheRows) {
    struct Case { const jet::TableDef* def; size_t index; size_t expected; };
    for (Case c : {Case{&objects, 0, 8}, Case{&objects, 1, 8}, Case{&aces, 0, 16}}) {
        const jet::RealIndex& index = c.def->realIndexes[c.index];
        std::vector<Entry> entries = jet::index::readEntries(*store, *c.def, index);
        ASSERT_EQ(entries.size(), c.expected);
        // The definition's count of distinct keys agrees with the entries.
        std::set<Key> distinct;
        for (const Entry& e : entries) distinct.insert(e.key);
        EXPECT_EQ(index.uniqueKeyCount, distinct.size());
        for (const Entry& e : entries) {
            jet::Row row = readRow(file, *c.def, e.row);
            EXPECT_EQ(jet::index::encodeKey(*c.def, index, row), e.key) << "row " << int(e.row.slot);
        }
    }
    // The names behind ParentIdName, mixed case: the key folds case.
    std::multiset<std::string> names;
    int nameColumn = objects.findColumn(u"Name");
    ASSERT_GE(nameColumn, 0);
    for (const Entry& e : jet::index::readEntries(*store, objects, objects.realIndexes[0]))
        names.insert(jet::toUtf8(std::get<std::u16string>(readRow(file, objects, e.row)[size_t(nameColumn)])));
    EXPECT_EQ(names, (std::multiset<std::string>{"Tables", "Databases", "Relationships", "MSysDb", "MSysObjects",
                                                  "MSysACEs", "MSysQueries", "MSysRelationships"}));
}

TEST_F(EmptyDatabaseIndexes, WritingTheEntriesBackGivesTheSamePagesByteForByte) {
    struct Case { const jet::TableDef* def; size_t index; };
    for (Case c : {Case{&objects, 0}, Case{&objects, 1}, Case{&aces, 0}}) {
        const jet::RealIndex& index = c.def->realIndexes[c.index];
        std::vector<Entry> entries = jet::index::readEntries(*store, *c.def, index);
        Bytes page(kPage, 0xEE);
        jet::index::writeLeafPage(page.data(), c.def->tdefPage, entries);
        const uint8_t* original = file.data() + size_t(index.rootPage) * kPage;
        EXPECT_TRUE(std::equal(page.begin(), page.end(), original)) << "page " << index.rootPage;
    }
}

TEST_F(EmptyDatabaseIndexes, WriteLeafPageRefusesUnorderedOrOversizedEntries) {
    std::vector<Entry> entries = jet::index::readEntries(*store, objects, objects.realIndexes[1]);
    std::swap(entries[0], entries[1]);
    Bytes page(kPage);
    EXPECT_THROW(jet::index::writeLeafPage(page.data(), 2, entries), jet::Error);
    std::vector<Entry> many;
    for (uint32_t i = 1; i <= 402; ++i) many.push_back(Entry{jet::index::encodeLongKey(int32_t(i)), RowId{20, 0}});
    EXPECT_NO_THROW(jet::index::writeLeafPage(page.data(), 2, {many.begin(), many.begin() + 401}));  // 3609 bytes
    EXPECT_THROW(jet::index::writeLeafPage(page.data(), 2, many), jet::Error);
}

// ---------------------------------------------------------------------------------------------------------
// Key rules for the column types and which indexes can be kept.

jet::TableDef syntheticTable() {
    jet::TableDef def;
    def.tdefPage = 2;
    auto add = [&](const char16_t* name, jet::ColumnType type, uint16_t number, uint16_t sort = 0x0409) {
        jet::Column c;
        c.name = name;
        c.type = type;
        c.number = number;
        c.sortOrder = sort;
        def.columns.push_back(c);
    };
    add(u"B", jet::ColumnType::Byte, 0);
    add(u"I", jet::ColumnType::Integer, 1);
    add(u"L", jet::ColumnType::Long, 2);
    add(u"T", jet::ColumnType::Text, 3);
    add(u"D", jet::ColumnType::Double, 4);
    add(u"Chinese", jet::ColumnType::Text, 5, 0x0804);
    def.logicalIndexes.push_back({u"Amounts", 0, 0, 0});
    return def;
}

jet::RealIndex indexOn(std::vector<jet::RealIndex::KeyColumn> columns, uint8_t flags = 0) {
    jet::RealIndex r;
    r.columns = std::move(columns);
    r.flags = flags;
    return r;
}

TEST(KeyRules, ByteIntegerLongAndTextPiecesFollowInOrder) {
    jet::TableDef def = syntheticTable();
    jet::Row row{int64_t(200), int64_t(-2), int64_t(1), std::u16string(u"Ab"), 0.5, std::monostate{}};
    EXPECT_EQ(jet::index::encodeKey(def, indexOn({{0, true}, {1, true}, {2, false}, {3, true}}), row),
              (Bytes{0x7F, 0xC8,                     // Byte: unsigned, as stored
                     0x7F, 0x7F, 0xFE,               // Integer -2: sign bit flipped
                     0x80, 0x7F, 0xFF, 0xFF, 0xFE,   // Long 1 descending: inverted
                     0x7F, 0x4A, 0x4C, 0x01, 0x00}));
    jet::Row nulls(6);
    EXPECT_EQ(jet::index::encodeKey(def, indexOn({{0, true}, {3, false}}), nulls), (Bytes{0x00, 0xFF}));

    // Integer keys sort as signed numbers.
    for (int64_t a : {-32768, -300, -1, 0, 1, 255, 256, 32767})
        for (int64_t b : {-32768, -300, -1, 0, 1, 255, 256, 32767}) {
            jet::Row ra(6), rb(6);
            ra[1] = a;
            rb[1] = b;
            auto index = indexOn({{1, true}});
            EXPECT_EQ(a < b, jet::index::encodeKey(def, index, ra) < jet::index::encodeKey(def, index, rb));
        }
}

TEST(KeyRules, BadValuesAndUnsupportedColumnsAreRefused) {
    jet::TableDef def = syntheticTable();
    jet::Row row(6);
    row[0] = int64_t(256);
    EXPECT_THROW(jet::index::encodeKey(def, indexOn({{0, true}}), row), jet::Error);
    row[2] = int64_t(1) << 40;
    EXPECT_THROW(jet::index::encodeKey(def, indexOn({{2, true}}), row), jet::Error);
    row[3] = std::u16string(u"caf\u00e9");
    EXPECT_THROW(jet::index::encodeKey(def, indexOn({{3, true}}), row), jet::Error);
    row[4] = 1.5;
    EXPECT_THROW(jet::index::encodeKey(def, indexOn({{4, true}}), row), jet::Error);
    EXPECT_THROW(jet::index::encodeKey(def, indexOn({{9, true}}), row), jet::Error);
}

TEST(KeyRules, CanMaintainOnlyExactlyEncodedColumns) {
    jet::TableDef def = syntheticTable();
    std::string why;
    EXPECT_TRUE(jet::index::canMaintain(def, indexOn({{2, true}, {3, true}}), &why));
    EXPECT_TRUE(jet::index::canMaintain(def, indexOn({{0, true}, {1, false}}), &why));
    EXPECT_FALSE(jet::index::canMaintain(def, indexOn({{2, true}, {4, true}}), &why));
    EXPECT_EQ(why, "index 'Amounts' uses a Double column, which this engine cannot maintain");
    EXPECT_FALSE(jet::index::canMaintain(def, indexOn({{5, true}}), &why));
    EXPECT_NE(why.find("sort order"), std::string::npos);
    EXPECT_FALSE(jet::index::canMaintain(def, indexOn({{7, true}}), &why));
    EXPECT_FALSE(why.empty());
}

TEST(KeyRules, IgnoreNullsIndexesSkipRowsWhoseKeyIsAllNull) {
    jet::TableDef def = syntheticTable();
    jet::Row row(6);
    EXPECT_TRUE(jet::index::skipsRow(def, indexOn({{2, true}, {3, true}}, 0x02), row));
    EXPECT_FALSE(jet::index::skipsRow(def, indexOn({{2, true}, {3, true}}, 0x01), row));
    row[3] = std::u16string(u"x");
    EXPECT_FALSE(jet::index::skipsRow(def, indexOn({{2, true}, {3, true}}, 0x02), row));
}

// ---------------------------------------------------------------------------------------------------------
// Inserting and removing.

class IndexChanges : public EmptyDatabaseIndexes {
protected:
    void SetUp() override { store->begin(); }

    Model current(const jet::RealIndex& index) {
        std::vector<Entry> entries = jet::index::readEntries(*store, objects, index);
        return Model(entries.begin(), entries.end());
    }

    // Runs random inserts and removes, comparing results and the tree to the model after each batch.
    void randomRun(const jet::RealIndex& index, const std::function<Key()>& makeKey, int batches, int perBatch,
                   uint32_t start) {
        std::mt19937 rng(start);
        Model model = current(index);
        for (int batch = 0; batch < batches; ++batch) {
            for (int op = 0; op < perBatch; ++op) {
                if (model.empty() || rng() % 10 < 7) {
                    Entry e{makeKey(), RowId{uint32_t(20 + rng() % 5000), uint8_t(rng() % 256)}};
                    if (model.count(e)) continue;
                    bool fresh = !hasKey(model, e.key);
                    ASSERT_EQ(jet::index::insertEntry(*store, objects, index, e), fresh);
                    model.insert(e);
                } else {
                    auto it = model.begin();
                    std::advance(it, long(rng() % model.size()));
                    Entry e = *it;
                    model.erase(it);
                    ASSERT_EQ(jet::index::removeEntry(*store, objects, index, e), !hasKey(model, e.key));
                }
            }
            ASSERT_EQ(jet::index::readEntries(*store, objects, index), asVector(model)) << "batch " << batch;
        }
        checkPageAccounting(*store, index);
    }
};

TEST_F(IndexChanges, RandomLongKeysMatchTheModelAndTheRootStays) {
    const jet::RealIndex& id = objects.realIndexes[1];
    std::mt19937 keys(1);
    uint32_t pagesBefore = store->pageCount();
    randomRun(id, [&] {
        // Narrow ranges give repeated keys; wide ones the extremes.
        int32_t v = keys() % 4 == 0 ? int32_t(keys()) : int32_t(keys() % 3000) - 1500;
        return jet::index::encodeLongKey(v);
    }, 20, 600, 2);
    EXPECT_EQ(id.rootPage, 8u);
    EXPECT_EQ(store->page(8)[0], 0x03) << "the root became a node";
    EXPECT_GT(store->pageCount(), pagesBefore + 10);
    EXPECT_GE(treeDepth(*store, 8), 2);
    // Every page the tree uses belongs to the index's map and is no longer free in the global one.
    std::vector<uint32_t> free = jet::readUsageMap(*store, jet::kGlobalUsageMap);
    for (uint32_t page : jet::readUsageMap(*store, id.usageMap))
        EXPECT_FALSE(std::binary_search(free.begin(), free.end(), page)) << page;
}

TEST_F(IndexChanges, RandomTextKeysMatchTheModel) {
    const jet::RealIndex& parentIdName = objects.realIndexes[0];
    std::mt19937 rng(3);
    const std::string alphabet = "abcXYZ019 -'_~.";
    std::vector<std::u16string> pool;
    randomRun(parentIdName, [&] {
        std::u16string name;
        if (!pool.empty() && rng() % 4 == 0) {
            name = pool[rng() % pool.size()];  // a repeated key
        } else {
            size_t length = rng() % 30;
            for (size_t i = 0; i < length; ++i)
                name.push_back(char16_t(rng() % 3 ? alphabet[rng() % alphabet.size()] : char(0x20 + rng() % 95)));
            pool.push_back(name);
        }
        Key key = jet::index::encodeLongKey(int32_t(0x0F000000 + rng() % 3));
        Key text = jet::index::encodeTextKey(name, rng() % 2 == 0);
        key.insert(key.end(), text.begin(), text.end());
        return key;
    }, 20, 400, 4);
}

TEST_F(IndexChanges, LongKeysBuildADeepTreeThatEmptiesAgain) {
    const jet::RealIndex& parentIdName = objects.realIndexes[0];
    std::mt19937 rng(5);
    Model model = current(parentIdName);
    // About 16 entries per leaf and 22 per node: 6,000 entries need four levels, so nodes whose children are
    // nodes split too.
    for (int i = 0; i < 6000; ++i) {
        std::u16string name;
        for (int k = 0; k < 150; ++k) name.push_back(char16_t('a' + rng() % 26));
        Entry e{jet::index::encodeTextKey(name), RowId{20 + uint32_t(i) / 200, uint8_t(i % 200)}};
        jet::index::insertEntry(*store, objects, parentIdName, e);
        model.insert(e);
    }
    ASSERT_EQ(jet::index::readEntries(*store, objects, parentIdName), asVector(model));
    EXPECT_GE(treeDepth(*store, 7), 4);
    checkPageAccounting(*store, parentIdName);

    std::vector<Entry> all = asVector(model);
    std::shuffle(all.begin(), all.end(), rng);
    for (size_t i = 0; i < all.size(); ++i) {
        jet::index::removeEntry(*store, objects, parentIdName, all[i]);
        model.erase(all[i]);
        if (i % 500 == 499) {
            ASSERT_EQ(jet::index::readEntries(*store, objects, parentIdName), asVector(model));
        }
    }
    EXPECT_TRUE(jet::index::readEntries(*store, objects, parentIdName).empty());
    EXPECT_EQ(store->page(7)[0], 0x04) << "an empty root is a leaf again";
    EXPECT_EQ(jet::readUsageMap(*store, parentIdName.usageMap), std::vector<uint32_t>{7});
}

TEST_F(IndexChanges, ThirtyThousandRandomEntries) {
    const jet::RealIndex& id = objects.realIndexes[1];
    std::mt19937 rng(9);
    Model model = current(id);
    for (uint32_t i = 0; model.size() < 30000; ++i) {
        Entry e{jet::index::encodeLongKey(int32_t(rng() % 200000)), RowId{20 + i / 250, uint8_t(i % 250)}};
        jet::index::insertEntry(*store, objects, id, e);
        model.insert(e);
    }
    ASSERT_EQ(jet::index::readEntries(*store, objects, id), asVector(model));
    EXPECT_GE(treeDepth(*store, 8), 2);
    checkPageAccounting(*store, id);
    store->commit();
}

TEST_F(IndexChanges, AscendingInsertsFillPages) {
    const jet::RealIndex& id = objects.realIndexes[1];
    uint32_t before = store->pageCount();
    // Above every id already there, as AutoNumber values come.
    for (int32_t v = 0x20000000; v < 0x20000000 + 8000; ++v)
        jet::index::insertEntry(*store, objects, id, Entry{jet::index::encodeLongKey(v), RowId{30, 0}});
    // 8,000 entries of 9 bytes: at 401 per page about 20 leaves are needed; half-full pages would need 40.
    EXPECT_LT(store->pageCount() - before, 25u);
    EXPECT_EQ(jet::index::readEntries(*store, objects, id).size(), 8008u);
}

TEST_F(IndexChanges, MisuseIsRefused) {
    const jet::RealIndex& id = objects.realIndexes[1];
    Entry existing = jet::index::readEntries(*store, objects, id)[0];
    EXPECT_THROW(jet::index::insertEntry(*store, objects, id, existing), jet::Error);
    Entry absent{jet::index::encodeLongKey(77), RowId{17, 9}};
    EXPECT_THROW(jet::index::removeEntry(*store, objects, id, absent), jet::Error);
    Entry sameKeyOtherRow{existing.key, RowId{existing.row.page, uint8_t(existing.row.slot + 1)}};
    EXPECT_THROW(jet::index::removeEntry(*store, objects, id, sameKeyOtherRow), jet::Error);
    EXPECT_THROW(jet::index::insertEntry(*store, objects, id, Entry{Key(1001, 0x7F), RowId{17, 0}}), jet::Error);
    EXPECT_EQ(jet::index::readEntries(*store, objects, id).size(), 8u);
    // Two rows with one key: the first insert adds a distinct key, the second does not; removing one of
    // them leaves the key, removing the other takes it away.
    Entry a{jet::index::encodeLongKey(77777), RowId{17, 1}}, b{jet::index::encodeLongKey(77777), RowId{17, 2}};
    EXPECT_TRUE(jet::index::insertEntry(*store, objects, id, a));
    EXPECT_FALSE(jet::index::insertEntry(*store, objects, id, b));
    EXPECT_FALSE(jet::index::removeEntry(*store, objects, id, a));
    EXPECT_TRUE(jet::index::removeEntry(*store, objects, id, b));
}

// ---------------------------------------------------------------------------------------------------------
// Damaged pages end in an error, never a hang or a read out of bounds.

// Offset (within the page) of the end of entry `n`, from the entry mask.
size_t entryEnd(const uint8_t* page, size_t n) {
    for (size_t bit = 0; bit < 453 * 8; ++bit)
        if (page[0x1B + bit / 8] & (1 << (bit % 8))) {
            if (n == 0) return 0x1E0 + bit;
            --n;
        }
    throw std::runtime_error("no such entry");
}

class DamagedIndexes : public IndexChanges {
protected:
    const jet::RealIndex& id = objects.realIndexes[1];

    // Grows the Id index to a tree with a node root.
    void grow() {
        for (int32_t v = 0; v < 3000; ++v)
            jet::index::insertEntry(*store, objects, id, Entry{jet::index::encodeLongKey(v * 7919 % 3001), RowId{40, 1}});
        ASSERT_EQ(store->page(8)[0], 0x03);
    }
    void expectDamage(const char* what) {
        EXPECT_THROW(jet::index::readEntries(*store, objects, id), jet::Error) << what;
        EXPECT_THROW(jet::index::insertEntry(*store, objects, id, Entry{jet::index::encodeLongKey(-5), RowId{40, 2}}),
                     jet::Error) << what;
    }
};

TEST_F(DamagedIndexes, BadLeafPages) {
    struct Damage { const char* what; std::function<void(uint8_t*)> apply; };
    std::vector<Damage> damages = {
        {"not an index page", [](uint8_t* p) { p[0] = 0x01; }},
        {"another table's page", [](uint8_t* p) { p[4] = 3; }},
        {"mask past the entry area", [](uint8_t* p) { p[0x1B + 452] |= 0x80; }},
        {"an empty entry", [](uint8_t* p) { p[0x1B] |= 0x01; }},
        {"an entry too short", [](uint8_t* p) { p[0x1B] |= 0x04; }},
        {"prefix longer than the first entry", [](uint8_t* p) { jet::put16(p + 0x18, 200); }},
        {"entries out of order", [](uint8_t* p) { p[0x1E0 + 9 + 1] = 0x00; }},
        {"a neighbour past the end of the file", [](uint8_t* p) { jet::put32(p + 0x10, 5000); }},
    };
    const Bytes original(store->page(8), store->page(8) + kPage);
    for (const Damage& d : damages) {
        uint8_t* p = store->writablePage(8);
        std::memcpy(p, original.data(), kPage);
        d.apply(p);
        expectDamage(d.what);
    }
}

TEST_F(DamagedIndexes, LoopsAndForeignPagesInTheTree) {
    grow();
    const Bytes root(store->page(8), store->page(8) + kPage);
    size_t firstChild = entryEnd(root.data(), 0) - 4;
    uint32_t leaf = jet::get32be(root.data() + firstChild);
    struct Damage { const char* what; uint32_t page; size_t offset; uint32_t value; bool bigEndian; };
    std::vector<Damage> damages = {
        {"a child that is the root", 8, firstChild, 8, true},
        {"a tail that is the root", 8, 0x14, 8, false},
        {"a child that is a data page", 8, firstChild, 17, true},
        {"a child past the end of the file", 8, firstChild, 0x00FFFFFF, true},
        {"a leaf linked to itself", leaf, 0x10, leaf, false},
        {"a leaf linked to nothing", leaf, 0x10, 0, false},
    };
    for (const Damage& d : damages) {
        Bytes saved(store->page(d.page), store->page(d.page) + kPage);
        uint8_t* p = store->writablePage(d.page);
        if (d.bigEndian) jet::put32be(p + d.offset, d.value);
        else jet::put32(p + d.offset, d.value);
        EXPECT_THROW(jet::index::readEntries(*store, objects, id), jet::Error) << d.what;
        std::memcpy(store->writablePage(d.page), saved.data(), kPage);
    }
    // A root whose child is the root itself: an insert stops with an error instead of descending forever.
    jet::put32be(store->writablePage(8) + firstChild, 8);
    jet::put32(store->writablePage(8) + 0x14, 8);
    EXPECT_THROW(jet::index::insertEntry(*store, objects, id, Entry{jet::index::encodeLongKey(-5), RowId{40, 2}}),
                 jet::Error);
}

}  // namespace
