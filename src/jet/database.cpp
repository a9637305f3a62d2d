// The database: catalogue, row reading, and statements that insert, update and delete rows.
#include "jet/database.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/header.h"
#include "jet/index.h"
#include "jet/long_value.h"
#include "jet/rows.h"
#include "jet/tdef.h"
#include "jet/usage_map.h"

namespace jet {

using namespace detail;

namespace {

constexpr uint32_t kCatalogueTdef = 2;
constexpr int64_t kTableObject = 1;
constexpr uint32_t kSystemFlags = 0x80000000u | 0x00000002u;
constexpr uint8_t kLongValueSignature[4] = {'L', 'V', 'A', 'L'};
constexpr size_t kLongValueChainData = kMaxRowSize - 4;  // a chained part: next pointer, then data
constexpr size_t kMaxInlineLongValue = 1024;

char16_t fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') return char16_t(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
    return c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

std::string tableLabel(const TableDef& t) { return "table " + toUtf8(t.name); }

uint32_t pointerTo(uint32_t page, unsigned slot) { return (page << 8) | slot; }

// The lowest row start on a data page: where the next row must end.
uint16_t lowestRowStart(const uint8_t* page) {
    unsigned count = slotCount(page);
    uint16_t low = uint16_t(kPageSize);
    for (unsigned i = 0; i < count; ++i)
        low = std::min<uint16_t>(low, get16(page + kRowTableOffset + 2 * i) & kOffsetMask);
    return low;
}

// Bytes free for one more row (its offset entry already counted), or 0.
size_t roomForRow(const uint8_t* page) {
    unsigned count = slotCount(page);
    if (count >= kMaxRowsPerPage) return 0;
    size_t tableEnd = kRowTableOffset + 2 * (count + 1);
    uint16_t low = lowestRowStart(page);
    return low > tableEnd ? low - tableEnd : 0;
}

// Appends a row to a data page that has room for it; returns its slot.
unsigned appendRow(uint8_t* page, const std::vector<uint8_t>& bytes, uint16_t flags) {
    unsigned count = slotCount(page);
    uint16_t start = uint16_t(lowestRowStart(page) - bytes.size());
    std::memcpy(page + start, bytes.data(), bytes.size());
    put16(page + kRowTableOffset + 2 * count, start | flags);
    put16(page + kRowCountOffset, count + 1);
    put16(page + kFreeSpaceOffset, uint32_t(start - (kRowTableOffset + 2 * (count + 1))));
    return count;
}

// Rewrites every row of a data page from the end in slot order, with slot `slot` replaced by `bytes` and
// `flags`, keeping every other slot's flags. False (page unchanged) when the rows do not fit.
bool repackPage(uint8_t* page, uint32_t pageNumber, unsigned slot, const std::vector<uint8_t>& bytes,
                uint16_t flags) {
    unsigned count = slotCount(page);
    std::vector<std::vector<uint8_t>> rows(count);
    std::vector<uint16_t> rowFlags(count);
    size_t total = kRowTableOffset + 2 * size_t(count);
    for (unsigned i = 0; i < count; ++i) {
        if (i == slot) {
            rows[i] = bytes;
            rowFlags[i] = flags;
        } else {
            RowSlot s = rowSlot(page, pageNumber, i);
            rows[i].assign(page + s.start, page + s.end);
            rowFlags[i] = s.flags;
        }
        total += rows[i].size();
    }
    if (total > kPageSize) return false;
    size_t pos = kPageSize;
    for (unsigned i = 0; i < count; ++i) {
        pos -= rows[i].size();
        std::memcpy(page + pos, rows[i].data(), rows[i].size());
        put16(page + kRowTableOffset + 2 * i, uint32_t(pos) | rowFlags[i]);
    }
    size_t tableEnd = kRowTableOffset + 2 * size_t(count);
    std::memset(page + tableEnd, 0, pos - tableEnd);
    put16(page + kFreeSpaceOffset, uint32_t(pos - tableEnd));
    return true;
}

void writeDataPageHeader(uint8_t* page, const uint8_t owner[4]) {
    page[0] = kDataPageType;
    page[1] = 0x01;
    put16(page + kFreeSpaceOffset, kEmptyPageFree);
    std::memcpy(page + kOwnerOffset, owner, 4);
    put32(page + 8, 0);
    put16(page + kRowCountOffset, 0);
}

// Whether a row has an entry in `index`: an index that ignores nulls leaves out rows whose key is all null.
bool hasEntry(const TableDef& t, const RealIndex& index, const Row& values) {
    if (!(index.flags & 0x02)) return true;
    for (const RealIndex::KeyColumn& k : index.columns)
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (t.columns[i].number == k.column && !isNull(values[i])) return true;
    return false;
}

bool anyKeyNull(const TableDef& t, const RealIndex& index, const Row& values) {
    for (const RealIndex::KeyColumn& k : index.columns)
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (t.columns[i].number == k.column && isNull(values[i])) return true;
    return false;
}

std::string indexLabel(const TableDef& t, const RealIndex& index) {
    for (const LogicalIndex& l : t.logicalIndexes)
        if (l.realIndex == index.number) return "index " + toUtf8(l.name);
    return "index " + std::to_string(index.number);
}

}  // namespace

struct Database::State {
    std::vector<bool> system;                             // by position in tables_
    std::unordered_map<uint32_t, uint32_t> insertPage;    // TDEF page -> last data page used for inserts
    std::unordered_map<uint32_t, uint32_t> longValuePage;  // TDEF page -> last long-value page used
};

// ----- opening -----

Database::Database(std::unique_ptr<PageStore> pages) : pages_(std::move(pages)), state_(std::make_unique<State>()) {}
Database::~Database() = default;

std::unique_ptr<Database> Database::open(const std::string& path, FileSystem& fs) {
    return openFile(path, fs, PageStore::Access::kChanges);
}

std::unique_ptr<Database> Database::openForReading(const std::string& path, FileSystem& fs) {
    return openFile(path, fs, PageStore::Access::kReadOnly);
}

std::unique_ptr<Database> Database::openFile(const std::string& path, FileSystem& fs, PageStore::Access access) {
    std::unique_ptr<PageStore> store;
    try {
        store = PageStore::openFile(path, fs, access);
    } catch (const InUseError&) {
        throw;
    } catch (const Error&) {
        // Say what the file is when that explains the failure better (a Jet 3 file, a text file...).
        if (fs.exists(path)) {
            std::vector<uint8_t> bytes = fs.readAll(path);
            checkHeader(bytes.data(), bytes.size());
        }
        throw;
    }
    checkHeader(store->pageCount() ? store->page(0) : nullptr, size_t(store->pageCount()) * kPageSize);
    std::unique_ptr<Database> db(new Database(std::move(store)));
    db->load();
    return db;
}

std::unique_ptr<Database> Database::openBytes(std::vector<uint8_t> bytes) {
    checkHeader(bytes.data(), bytes.size());
    std::unique_ptr<Database> db(new Database(PageStore::fromBytes(std::move(bytes))));
    db->load();
    return db;
}

void Database::load() {
    TableDef catalogue = readTableDef(*pages_, kCatalogueTdef, u"MSysObjects");
    int idColumn = catalogue.findColumn(u"Id"), nameColumn = catalogue.findColumn(u"Name");
    int typeColumn = catalogue.findColumn(u"Type"), flagsColumn = catalogue.findColumn(u"Flags");
    if (idColumn < 0 || nameColumn < 0 || typeColumn < 0 || flagsColumn < 0)
        throw Error("the catalogue (MSysObjects) is damaged: it lacks the Id, Name, Type or Flags column");

    std::vector<TableDef> fresh;
    std::vector<bool> system;
    bool catalogueListed = false;
    // Every definition page once: two tables whose chains share a page are damage, not read twice.
    std::unordered_map<uint32_t, size_t> definitionOwner;  // definition page -> position in `fresh`
    for (const StoredRow& row : readRows(catalogue)) {
        const int64_t* type = std::get_if<int64_t>(&row.values[typeColumn]);
        const int64_t* id = std::get_if<int64_t>(&row.values[idColumn]);
        const std::u16string* name = std::get_if<std::u16string>(&row.values[nameColumn]);
        if (!type || *type != kTableObject || !id || !name) continue;
        const int64_t* flags = std::get_if<int64_t>(&row.values[flagsColumn]);
        uint32_t page = uint32_t(*id) & 0x00FFFFFF;
        std::vector<uint32_t> chain;
        try {
            chain = definitionPages(*pages_, page);
        } catch (const Error& e) {
            throw Error("table " + toUtf8(*name) + ": " + e.what());
        }
        for (uint32_t number : chain) {
            auto [owner, added] = definitionOwner.try_emplace(number, fresh.size());
            if (!added)
                throw Error("the catalogue (MSysObjects) is damaged: tables " + toUtf8(fresh[owner->second].name) +
                            " and " + toUtf8(*name) + " share definition page " + std::to_string(number));
        }
        try {
            fresh.push_back(readTableDef(*pages_, chain, *name));
        } catch (const Error& e) {
            throw Error("table " + toUtf8(*name) + ": " + e.what());
        }
        bool isSystem = (flags && (uint32_t(*flags) & kSystemFlags)) ||
                        (name->size() >= 4 && sameName(name->substr(0, 4), u"MSys"));
        system.push_back(isSystem);
        catalogueListed = catalogueListed || page == kCatalogueTdef;
    }
    if (!catalogueListed) {
        fresh.insert(fresh.begin(), std::move(catalogue));
        system.insert(system.begin(), true);
    }
    // References handed out stay valid: the list is refilled in place when its length is unchanged.
    if (fresh.size() == tables_.size()) {
        for (size_t i = 0; i < fresh.size(); ++i) tables_[i] = std::move(fresh[i]);
    } else {
        tables_ = std::move(fresh);
    }
    state_->system = std::move(system);
    state_->insertPage.clear();
    state_->longValuePage.clear();
    pages_->letGo();
}

// ----- catalogue -----

std::vector<std::u16string> Database::tableNames(bool system) const {
    std::vector<std::u16string> names;
    for (size_t i = 0; i < tables_.size(); ++i)
        if (system || !state_->system[i]) names.push_back(tables_[i].name);
    return names;
}

const TableDef* Database::findTable(std::u16string_view name) const {
    for (const TableDef& t : tables_)
        if (sameName(t.name, name)) return &t;
    return nullptr;
}

const TableDef& Database::table(std::u16string_view name) const {
    const TableDef* t = findTable(name);
    if (!t) throw Error("no table named " + toUtf8(std::u16string(name)));
    return *t;
}

// ----- reading -----

namespace {

struct Located {
    RowId home;         // the row's id: its original slot
    uint32_t dataPage;  // where its bytes are (the home slot, or the target of its overflow pointer)
    unsigned dataSlot;
    bool overflowed;
};

// Follows a 0x4000 slot to its target, which must be a live overflow row of the same table.
std::pair<uint32_t, unsigned> followPointer(const PageStore& pages, const TableDef& t, const ByteView& pointer) {
    if (pointer.size() < 4) throw Error(pointer.what() + " is damaged: its overflow pointer is too short");
    uint32_t target = pointer.u32(0);
    uint32_t page = target >> 8;
    unsigned slot = target & 0xFF;
    if (page >= pages.pageCount()) throw Error(pointer.what() + " is damaged: it points past the end of the file");
    const uint8_t* p = pages.page(page);
    if (p[0] != kDataPageType || get32(p + kOwnerOffset) != t.tdefPage)
        throw Error(pointer.what() + " is damaged: it points to page " + std::to_string(page) +
                    ", which does not belong to " + tableLabel(t));
    RowSlot s = rowSlot(p, page, slot);
    if (!s.overflowTarget())
        throw Error(pointer.what() + " is damaged: it points to a row that is not an overflow row");
    return {page, slot};
}

Located locateRow(const PageStore& pages, const TableDef& t, RowId id) {
    std::string what = "row " + std::to_string(id.slot) + " of page " + std::to_string(id.page);
    if (id.page >= pages.pageCount()) throw Error(what + " does not exist");
    const uint8_t* page = pages.page(id.page);
    if (page[0] != kDataPageType || get32(page + kOwnerOffset) != t.tdefPage)
        throw Error(what + " does not belong to " + tableLabel(t));
    if (id.slot >= slotCount(page)) throw Error(what + " does not exist");
    RowSlot s = rowSlot(page, id.page, id.slot);
    if (s.deleted() || s.overflowTarget()) throw Error(what + " of " + tableLabel(t) + " no longer exists");
    if (s.pointer()) {
        auto [targetPage, targetSlot] = followPointer(pages, t, rowBytes(page, id.page, s));
        return {id, targetPage, targetSlot, true};
    }
    return {id, id.page, id.slot, false};
}

ByteView locatedBytes(const PageStore& pages, const Located& at) {
    const uint8_t* page = pages.page(at.dataPage);
    return rowBytes(page, at.dataPage, rowSlot(page, at.dataPage, at.dataSlot));
}

}  // namespace

std::vector<StoredRow> Database::readRows(const TableDef& table) const {
    std::vector<StoredRow> rows;
    // The stored count is only a hint (the file is untrusted): never more than the pages could hold.
    rows.reserve(std::min<size_t>(table.rowCount, size_t(pages_->pageCount()) * kMaxRowsPerPage));
    RowCursor cursor(*this, table);
    while (cursor.next()) {
        rows.push_back(StoredRow{cursor.id(), {}});
        cursor.values(rows.back().values);
    }
    return rows;
}

void Database::scanRows(const TableDef& table, const std::function<bool(RowId, const ByteView&)>& visit) const {
    RowCursor cursor(*this, table);
    while (cursor.next())
        if (!visit(cursor.id(), cursor.bytes())) return;
}

Row Database::readRow(const TableDef& table, RowId id) const {
    pages_->letGo();  // what earlier reads left (the caller holds no page of ours)
    LongValueParts parts;
    return decodeRow(table, locatedBytes(*pages_, locateRow(*pages_, table, id)), *pages_, &parts);
}

RowCursor::RowCursor(const Database& db, const TableDef& table)
    : pages_(db.pages()), table_(table), hold_(db.pages()) {}

// Moves to the next data page of the table, letting go of the pages the previous one led to; false after the
// last. Pages the usage map lists that are not the table's data pages are passed over.
bool RowCursor::nextPage() {
    if (!started_) {
        dataPages_ = readUsageMap(pages_, table_.ownedPages);
        started_ = true;
    }
    page_ = nullptr;
    while (nextPage_ < dataPages_.size()) {
        hold_.letGo();
        uint32_t number = dataPages_[nextPage_++];
        const uint8_t* page = pages_.page(number);
        if (page[0] != kDataPageType || get32(page + kOwnerOffset) != table_.tdefPage) continue;
        page_ = page;
        pageNumber_ = number;
        slot_ = 0;
        slotCount_ = slotCount(page);
        onPage_ = ByteView(page, 0, "row on page " + std::to_string(number));  // named once per page
        return true;
    }
    hold_.letGo();
    return false;
}

bool RowCursor::next() {
    for (;;) {
        if (!page_ && !nextPage()) return false;
        while (slot_ < slotCount_) {
            unsigned slot = slot_++;
            RowSlot s = rowSlot(page_, pageNumber_, slot);
            if (s.deleted() || s.overflowTarget()) continue;
            id_ = RowId{pageNumber_, uint8_t(slot)};
            if (!s.pointer()) {
                onPage_.point(page_ + s.start, size_t(s.end - s.start));
                bytes_ = &onPage_;
                return true;
            }
            auto [targetPage, targetSlot] = followPointer(pages_, table_, rowBytes(page_, pageNumber_, s));
            auto [home, added] = overflowHomes_.try_emplace(pointerTo(targetPage, targetSlot), id_);
            if (!added)
                throw Error("row " + std::to_string(slot) + " of page " + std::to_string(pageNumber_) +
                            " is damaged: it points to overflow row " + std::to_string(targetSlot) + " of page " +
                            std::to_string(targetPage) + ", which row " + std::to_string(home->second.slot) +
                            " of page " + std::to_string(home->second.page) + " points to as well");
            const uint8_t* target = pages_.page(targetPage);
            overflow_ = rowBytes(target, targetPage, rowSlot(target, targetPage, targetSlot));
            bytes_ = &overflow_;
            return true;
        }
        page_ = nullptr;
    }
}

void RowCursor::values(Row& out) { decodeRow(table_, *bytes_, pages_, &parts_, out); }

// ----- statements -----

void Database::statement(const std::function<void()>& body) {
    if (pages_->inStatement()) {  // a statement inside a statement is part of it
        body();
        return;
    }
    pages_->begin();
    try {
        body();
        pages_->commit();
    } catch (...) {
        pages_->rollback();
        try {
            load();
        } catch (...) {
        }
        throw;
    }
}

namespace {

struct Writer {
    PageStore& pages;
    TableDef& t;
    std::unordered_map<uint32_t, uint32_t>& insertPage;
    std::unordered_map<uint32_t, uint32_t>& longValuePage;

    void checkIndexes() {
        for (const RealIndex& index : t.realIndexes) {
            std::string why;
            if (!index::canMaintain(t, index, &why))
                throw Error("cannot change " + tableLabel(t) + ": its " + indexLabel(t, index) +
                            " cannot be kept up to date (" + why + ")");
        }
    }

    // A data page of the table with room for `size` bytes: the last one used, or a new one.
    uint32_t pageWithRoom(size_t size) {
        auto usable = [&](uint32_t number) {
            if (number >= pages.pageCount()) return false;
            const uint8_t* page = pages.page(number);
            return page[0] == kDataPageType && get32(page + kOwnerOffset) == t.tdefPage && roomForRow(page) >= size;
        };
        auto cached = insertPage.find(t.tdefPage);
        if (cached != insertPage.end()) {
            if (usable(cached->second)) return cached->second;
        } else {
            // First insert since opening: look once at the pages the table already owns, newest first.
            std::vector<uint32_t> owned = readUsageMap(pages, t.ownedPages);
            for (auto it = owned.rbegin(); it != owned.rend(); ++it)
                if (usable(*it)) return insertPage[t.tdefPage] = *it;
        }
        uint32_t number = allocatePage(pages, t.ownedPages);
        setInUsageMap(pages, t.freeSpacePages, number, true);
        uint8_t owner[4];
        put32(owner, t.tdefPage);
        writeDataPageHeader(pages.writablePage(number), owner);
        return insertPage[t.tdefPage] = number;
    }

    RowId placeRow(const std::vector<uint8_t>& bytes, uint16_t flags) {
        uint32_t number = pageWithRoom(bytes.size());
        unsigned slot = appendRow(pages.writablePage(number), bytes, flags);
        return RowId{number, uint8_t(slot)};
    }

    // Stores one part of a long value on a long-value page; returns its pointer.
    uint32_t placeLongValuePart(const Column& c, const std::vector<uint8_t>& bytes) {
        auto cached = longValuePage.find(t.tdefPage);
        uint32_t number = 0;
        if (cached != longValuePage.end() && roomForRow(pages.page(cached->second)) >= bytes.size()) {
            number = cached->second;
        } else {
            MapRef used, free;
            if (longValueMaps(t, c.number, used, free)) {
                number = allocatePage(pages, used);
            } else {
                number = pages.appendPage();
                setInUsageMap(pages, kGlobalUsageMap, number, false);
            }
            writeDataPageHeader(pages.writablePage(number), kLongValueSignature);
            longValuePage[t.tdefPage] = number;
        }
        unsigned slot = appendRow(pages.writablePage(number), bytes, 0);
        return pointerTo(number, slot);
    }

    // The 12-byte field of a long value kept on long-value pages.
    std::vector<uint8_t> writeLongValue(const Column& c, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> field(kLongValueHeader, 0);
        if (data.size() <= kMaxRowSize) {
            put32(field.data(), uint32_t(data.size()) | kLongValueSinglePage);
            put32(field.data() + 4, placeLongValuePart(c, data));
            return field;
        }
        // A chain: write the last part first so each part can point to the next.
        size_t parts = (data.size() + kLongValueChainData - 1) / kLongValueChainData;
        uint32_t next = 0;
        for (size_t i = parts; i-- > 0;) {
            size_t begin = i * kLongValueChainData;
            size_t end = std::min(data.size(), begin + kLongValueChainData);
            std::vector<uint8_t> part(4);
            put32(part.data(), next);
            part.insert(part.end(), data.begin() + begin, data.begin() + end);
            next = placeLongValuePart(c, part);
        }
        put32(field.data(), uint32_t(data.size()));
        put32(field.data() + 4, next);
        return field;
    }

    // Encodes a row, moving large Memo and OLE values to long-value pages so that the row fits.
    std::vector<uint8_t> encode(const Row& values, std::vector<std::vector<uint8_t>> raw) {
        std::vector<std::pair<size_t, size_t>> inlineLong;  // (size, position) of values still inline
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            if (!c.isLongValue() || isNull(values[i]) || !raw[i].empty()) continue;
            std::vector<uint8_t> data = longValueData(c, values[i]);
            if (data.size() > kMaxInlineLongValue)
                raw[i] = writeLongValue(c, data);
            else
                inlineLong.push_back({data.size(), i});
        }
        std::sort(inlineLong.rbegin(), inlineLong.rend());
        for (size_t next = 0;; ++next) {
            try {
                return encodeRow(t, values, &raw);
            } catch (const Error&) {
                if (next >= inlineLong.size()) throw;
                size_t i = inlineLong[next].second;
                raw[i] = writeLongValue(t.columns[i], longValueData(t.columns[i], values[i]));
            }
        }
    }

    void addEntries(const Row& values, RowId id) {
        for (RealIndex& index : t.realIndexes) {
            if (!hasEntry(t, index, values)) continue;
            index::Key key = index::encodeKey(t, index, values);
            if (index::insertEntry(pages, t, index, index::Entry{key, id})) {
                ++index.uniqueKeyCount;
            } else if ((index.flags & 0x01) && !anyKeyNull(t, index, values)) {
                throw Error("cannot write the row: " + indexLabel(t, index) + " of " + tableLabel(t) +
                            " already holds the same value");
            }
        }
    }

    void removeEntries(const Row& values, RowId id) {
        for (RealIndex& index : t.realIndexes) {
            if (!hasEntry(t, index, values)) continue;
            index::Key key = index::encodeKey(t, index, values);
            if (index::removeEntry(pages, t, index, index::Entry{key, id}) && index.uniqueKeyCount > 0)
                --index.uniqueKeyCount;
        }
    }
};

}  // namespace

static TableDef& findMutable(std::vector<TableDef>& tables, const TableDef& table) {
    for (TableDef& t : tables)
        if (t.tdefPage == table.tdefPage) return t;
    throw Error("table " + toUtf8(table.name) + " is not part of this database");
}

RowId Database::insertRow(const TableDef& table, const Row& values) {
    if (!pages_->inStatement()) throw Error("rows can only be inserted inside a statement");
    TableDef& t = findMutable(tables_, table);
    Writer w{*pages_, t, state_->insertPage, state_->longValuePage};
    w.checkIndexes();
    if (values.size() != t.columns.size())
        throw Error("a row of " + tableLabel(t) + " needs " + std::to_string(t.columns.size()) + " values, not " +
                    std::to_string(values.size()));
    Row row = values;
    uint32_t autoNumber = t.autoNumber;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        if (!c.isAutoNumber() || c.type != ColumnType::Long) continue;
        if (isNull(row[i])) {
            if (autoNumber >= uint32_t(INT32_MAX)) throw Error("the AutoNumber of " + tableLabel(t) + " is exhausted");
            row[i] = int64_t(++autoNumber);
        } else if (const int64_t* given = std::get_if<int64_t>(&row[i]); given && *given > int64_t(autoNumber)) {
            autoNumber = uint32_t(std::min<int64_t>(*given, INT32_MAX));
        }
    }
    std::vector<uint8_t> bytes = w.encode(row, std::vector<std::vector<uint8_t>>(t.columns.size()));
    RowId id = w.placeRow(bytes, 0);
    w.addEntries(row, id);
    t.rowCount += 1;
    t.autoNumber = autoNumber;
    writeCounters(*pages_, t);
    return id;
}

void Database::updateRow(const TableDef& table, RowId id, const std::vector<ColumnChange>& changes) {
    if (!pages_->inStatement()) throw Error("rows can only be updated inside a statement");
    TableDef& t = findMutable(tables_, table);
    Writer w{*pages_, t, state_->insertPage, state_->longValuePage};
    w.checkIndexes();
    Located at = locateRow(*pages_, t, id);
    ByteView oldBytes = locatedBytes(*pages_, at);
    Row oldValues = decodeRowWithoutLongValues(t, oldBytes);  // memo and OLE bytes are carried in `raw`
    std::vector<std::vector<uint8_t>> raw(t.columns.size());
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (!t.columns[i].isFixed()) raw[i] = rawColumnBytes(t, oldBytes, i);
    Row newValues = oldValues;
    for (const ColumnChange& change : changes) {
        if (change.column >= t.columns.size())
            throw Error(tableLabel(t) + " has no column at position " + std::to_string(change.column));
        const Column& c = t.columns[change.column];
        if (c.isAutoNumber() && change.value != oldValues[change.column])
            throw Error("column " + toUtf8(c.name) + " is an AutoNumber and cannot be changed");
        newValues[change.column] = change.value;
        raw[change.column].clear();
    }
    std::vector<uint8_t> bytes = w.encode(newValues, std::move(raw));

    for (RealIndex& index : t.realIndexes) {
        bool hadEntry = hasEntry(t, index, oldValues), hasNew = hasEntry(t, index, newValues);
        index::Key oldKey = hadEntry ? index::encodeKey(t, index, oldValues) : index::Key{};
        index::Key newKey = hasNew ? index::encodeKey(t, index, newValues) : index::Key{};
        if (hadEntry == hasNew && oldKey == newKey) continue;
        if (hadEntry && index::removeEntry(*pages_, t, index, index::Entry{oldKey, id}) && index.uniqueKeyCount > 0)
            --index.uniqueKeyCount;
        if (hasNew) {
            if (index::insertEntry(*pages_, t, index, index::Entry{newKey, id}))
                ++index.uniqueKeyCount;
            else if ((index.flags & 0x01) && !anyKeyNull(t, index, newValues))
                throw Error("cannot write the row: " + indexLabel(t, index) + " of " + tableLabel(t) +
                            " already holds the same value");
        }
    }

    // Same size: in place. Otherwise repack the page; when it no longer fits, move the data elsewhere.
    uint8_t* dataPage = pages_->writablePage(at.dataPage);
    RowSlot dataSlot = rowSlot(dataPage, at.dataPage, at.dataSlot);
    if (size_t(dataSlot.end - dataSlot.start) == bytes.size()) {
        std::memcpy(dataPage + dataSlot.start, bytes.data(), bytes.size());
    } else if (!repackPage(dataPage, at.dataPage, at.dataSlot, bytes, dataSlot.flags)) {
        if (at.overflowed)  // the old overflow row is given up
            put16(dataPage + kRowTableOffset + 2 * at.dataSlot, dataSlot.start | kDeletedFlag | kLookupFlag);
        RowId target = w.placeRow(bytes, kDeletedFlag);
        std::vector<uint8_t> pointer(4);
        put32(pointer.data(), pointerTo(target.page, target.slot));
        uint8_t* home = pages_->writablePage(id.page);
        RowSlot homeSlot = rowSlot(home, id.page, id.slot);
        if (at.overflowed)
            std::memcpy(home + homeSlot.start, pointer.data(), 4);
        else if (!repackPage(home, id.page, id.slot, pointer, kLookupFlag))
            throw Error("page " + std::to_string(id.page) + " has no room for an overflow pointer");
    }
    writeCounters(*pages_, t);
}

void Database::deleteRow(const TableDef& table, RowId id) {
    if (!pages_->inStatement()) throw Error("rows can only be deleted inside a statement");
    TableDef& t = findMutable(tables_, table);
    Writer w{*pages_, t, state_->insertPage, state_->longValuePage};
    w.checkIndexes();
    Located at = locateRow(*pages_, t, id);
    Row values = decodeRowWithoutLongValues(t, locatedBytes(*pages_, at));
    w.removeEntries(values, id);
    auto markDeleted = [&](uint32_t number, unsigned slot) {
        uint8_t* page = pages_->writablePage(number);
        uint16_t entry = get16(page + kRowTableOffset + 2 * slot);
        put16(page + kRowTableOffset + 2 * slot, (entry & kOffsetMask) | kDeletedFlag | kLookupFlag);
    };
    markDeleted(id.page, id.slot);
    if (at.overflowed) markDeleted(at.dataPage, at.dataSlot);
    if (t.rowCount > 0) t.rowCount -= 1;
    writeCounters(*pages_, t);
}

// ----- consistency check -----

std::vector<std::string> Database::check() const {
    std::vector<std::string> problems;
    // The data and index pages naming each table as their owner, from one look at every page of the file.
    std::unordered_map<uint32_t, std::vector<std::pair<uint32_t, uint8_t>>> ownedBy;  // TDEF page -> (page, type)
    for (uint32_t n = 0; n < pages_->pageCount(); ++n) {
        pages_->letGo();
        const uint8_t* page = pages_->page(n);
        if (page[1] == 0x01 && (page[0] == kDataPageType || page[0] == kIndexLeafType || page[0] == kIndexNodeType))
            ownedBy[get32(page + kOwnerOffset)].push_back({n, page[0]});
    }

    for (const TableDef& t : tables_) {
        pages_->letGo();
        std::string label = tableLabel(t);
        // One pass over the rows counts them and gathers the entries every index should hold.
        size_t live = 0;
        std::vector<std::vector<index::Entry>> expected(t.realIndexes.size());
        std::vector<std::string> keyErrors(t.realIndexes.size());
        try {
            RowCursor cursor(*this, t);
            Row values;
            while (cursor.next()) {
                try {
                    cursor.values(values);
                } catch (const Error& e) {
                    if (cursor.parts().shared()) throw;  // values share long-value parts: the listing stops here
                    problems.push_back(label + ": row " + std::to_string(cursor.id().slot) + " of page " +
                                       std::to_string(cursor.id().page) + " cannot be read: " + e.what());
                    continue;
                }
                ++live;
                for (size_t i = 0; i < t.realIndexes.size(); ++i) {
                    const RealIndex& index = t.realIndexes[i];
                    if (!keyErrors[i].empty() || !hasEntry(t, index, values)) continue;
                    try {
                        expected[i].push_back({index::encodeKey(t, index, values), cursor.id()});
                    } catch (const Error& e) {
                        keyErrors[i] = e.what();
                    }
                }
            }
        } catch (const Error& e) {
            problems.push_back(label + ": its rows cannot be listed: " + e.what());
            continue;
        }
        if (live != t.rowCount)
            problems.push_back(label + ": the definition counts " + std::to_string(t.rowCount) + " rows but " +
                               std::to_string(live) + " are stored");

        // Every page naming the table as its owner must be in the matching map.
        try {
            std::vector<uint32_t> owned = readUsageMap(*pages_, t.ownedPages);
            std::vector<uint32_t> indexPages;
            for (const RealIndex& index : t.realIndexes) {
                std::vector<uint32_t> p = readUsageMap(*pages_, index.usageMap);
                indexPages.insert(indexPages.end(), p.begin(), p.end());
            }
            std::sort(indexPages.begin(), indexPages.end());
            static const std::vector<std::pair<uint32_t, uint8_t>> kNone;
            auto found = ownedBy.find(t.tdefPage);
            for (const auto& [n, type] : found == ownedBy.end() ? kNone : found->second) {
                if (type == kDataPageType && !std::binary_search(owned.begin(), owned.end(), n))
                    problems.push_back(label + ": data page " + std::to_string(n) + " is missing from its usage map");
                if (type != kDataPageType && !std::binary_search(indexPages.begin(), indexPages.end(), n))
                    problems.push_back(label + ": index page " + std::to_string(n) +
                                       " is missing from its index's usage map");
            }
        } catch (const Error& e) {
            problems.push_back(label + ": a usage map cannot be read: " + e.what());
        }

        for (size_t i = 0; i < t.realIndexes.size(); ++i) {
            const RealIndex& index = t.realIndexes[i];
            std::string name = label + ", " + indexLabel(t, index);
            pages_->letGo();
            try {
                if (!keyErrors[i].empty()) throw Error(keyErrors[i]);
                std::vector<index::Entry>& wanted = expected[i];
                std::sort(wanted.begin(), wanted.end(), [](const index::Entry& a, const index::Entry& b) {
                    if (a.key != b.key) return a.key < b.key;
                    if (a.row.page != b.row.page) return a.row.page < b.row.page;
                    return a.row.slot < b.row.slot;
                });
                std::vector<index::Entry> actual = index::readEntries(*pages_, t, index);
                if (actual.size() != wanted.size()) {
                    problems.push_back(name + ": holds " + std::to_string(actual.size()) + " entries for " +
                                       std::to_string(wanted.size()) + " rows");
                } else {
                    for (size_t k = 0; k < actual.size(); ++k) {
                        if (actual[k] == wanted[k]) continue;
                        problems.push_back(name + ": entry " + std::to_string(k) +
                                           " does not match the rows (wrong key, row or order)");
                        break;
                    }
                }
                size_t distinct = 0;
                for (size_t k = 0; k < wanted.size(); ++k)
                    if (k == 0 || wanted[k].key != wanted[k - 1].key) ++distinct;
                if (distinct != index.uniqueKeyCount)
                    problems.push_back(name + ": the definition counts " + std::to_string(index.uniqueKeyCount) +
                                       " distinct keys but the rows have " + std::to_string(distinct));
            } catch (const Error& e) {
                problems.push_back(name + ": cannot be checked: " + e.what());
            }
        }
    }
    pages_->letGo();
    return problems;
}

}  // namespace jet
