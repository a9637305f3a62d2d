// Writing a new Jet 4 database from nothing.
//
// The file starts with the pages every Jet 4 database has, laid out as the Jet engine lays out a fresh
// one:
//   0      database definition page (partly RC4-encoded)
//   1      global usage map
//   2..5   table definitions of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   6      usage maps of MSysObjects (owned pages, free space, memo columns, both indexes)
//   7, 8   MSysObjects index leaves ("ParentIdName", "Id")
//   9, 10  MSysACEs usage maps and "ObjectId" index leaf
//   11, 12 MSysQueries usage maps and index leaf
//   13     MSysRelationships usage maps; 14..16 its three index leaves
//   17     MSysObjects rows; 18 MSysACEs rows
// Each user table then follows: its definition page, one page of usage maps, one leaf per index, and
// its data pages. Catalogue rows that do not fit pages 17 and 18 go to pages appended at the end.
#include "jet/create.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/index.h"
#include "jet/rows.h"

namespace jet {

namespace {

// ---- Constants of the catalogue -------------------------------------------------------------------

constexpr uint32_t kDefinitionMagic = 0x659;   // written in table, column and logical index definitions
constexpr uint32_t kRealIndexMagic = 0x783;    // first field of a real index definition
constexpr uint16_t kGeneralSortOrder = 0x0409;

constexpr uint32_t kObjectsTdef = 2, kAcesTdef = 3, kQueriesTdef = 4, kRelationshipsTdef = 5;
constexpr uint32_t kObjectsMaps = 6, kAcesMaps = 9, kQueriesMaps = 11, kRelationshipsMaps = 13;
constexpr uint32_t kObjectsData = 17, kAcesData = 18;
constexpr uint32_t kFirstFreePage = 19;

// Object ids of the containers and of the database document.
constexpr uint32_t kRootContainer = 0x0F000000;
constexpr uint32_t kTablesContainer = 0x0F000001;
constexpr uint32_t kDatabasesContainer = 0x0F000002;
constexpr uint32_t kRelationshipsContainer = 0x0F000003;
constexpr uint32_t kDatabaseDocument = 0x10000000;
constexpr uint32_t kSystemObjectFlag = 0x80000000;

// MSysObjects.Type values.
constexpr int kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;

// The security ids the Jet engine writes in a database made without a workgroup file, stored as
// two-byte values; we use the same four, in the same places.
const Bytes kSidA = {0x06, 0xEA};  // owner of the containers and tables
const Bytes kSidB = {0x07, 0xE8};
const Bytes kSidC = {0x06, 0xED};
const Bytes kSidD = {0x06, 0xE8};
constexpr int64_t kFullAccess = 0xFFFFF;  // access mask granting every right

// Real index flags.
constexpr uint8_t kIndexUnique = 0x01, kIndexIgnoreNulls = 0x02, kIndexRequired = 0x08,
                  kIndexNewStyle = 0x80;

// ---- Page helpers ---------------------------------------------------------------------------------

using Page = std::vector<uint8_t>;

class PageList {
public:
    uint32_t add() {
        pages_.emplace_back(kPageSize, 0);
        return uint32_t(pages_.size() - 1);
    }
    uint8_t* operator[](uint32_t number) { return pages_.at(number).data(); }
    uint32_t count() const { return uint32_t(pages_.size()); }
    std::vector<uint8_t> join() const {
        std::vector<uint8_t> out;
        out.reserve(pages_.size() * kPageSize);
        for (const Page& p : pages_) out.insert(out.end(), p.begin(), p.end());
        return out;
    }

private:
    std::vector<Page> pages_;
};

constexpr size_t kDataHeader = 14;  // data page header up to the row offset table
constexpr size_t kMaxRowsPerPage = 255;

// Writes a data page (type 0x01) owned by table definition `owner`, rows packed from the end of the page
// in slot order.
void writeDataPage(uint8_t* p, uint32_t owner, const std::vector<std::vector<uint8_t>>& rows) {
    p[0] = 0x01;
    p[1] = 0x01;
    put32(p + 4, owner);
    put16(p + 0x0C, uint32_t(rows.size()));
    size_t start = kPageSize;
    for (size_t i = 0; i < rows.size(); ++i) {
        start -= rows[i].size();
        std::memcpy(p + start, rows[i].data(), rows[i].size());
        put16(p + kDataHeader + 2 * i, uint32_t(start));
    }
    put16(p + 2, uint32_t(start - (kDataHeader + 2 * rows.size())));
}

// Whether a page already holding `count` rows of `bytes` in total can take one more of `length` bytes.
bool fitsOnPage(size_t count, size_t bytes, size_t length) {
    return count < kMaxRowsPerPage && kDataHeader + 2 * (count + 1) + bytes + length <= kPageSize;
}

// Spreads encoded rows over data pages in order; `nextPage` hands out the page for each new page needed.
// Returns where each row went.
template <typename NextPage>
std::vector<RowId> placeRows(PageList& pages, uint32_t owner, const std::vector<std::vector<uint8_t>>& rows,
                             NextPage nextPage, std::vector<uint32_t>& dataPages) {
    std::vector<RowId> ids;
    std::vector<std::vector<uint8_t>> onPage;
    size_t bytes = 0;
    uint32_t current = 0;
    auto flush = [&] {
        if (!onPage.empty()) writeDataPage(pages[current], owner, onPage);
        onPage.clear();
        bytes = 0;
    };
    for (const auto& row : rows) {
        if (row.size() > kMaxRowSize) throw Error("a row of " + std::to_string(row.size()) + " bytes is too long for a data page");
        if (onPage.empty() || !fitsOnPage(onPage.size(), bytes, row.size())) {
            flush();
            current = nextPage();
            dataPages.push_back(current);
        }
        ids.push_back(RowId{current, uint8_t(onPage.size())});
        onPage.push_back(row);
        bytes += row.size();
    }
    flush();
    return ids;
}

// A usage map row of the inline kind: type 0, first page, then one bit per page (low bit first).
constexpr size_t kMapRowSize = 69;
constexpr uint32_t kInlineMapPages = 64 * 8;

std::vector<uint8_t> inlineMap(const std::vector<uint32_t>& marked) {
    std::vector<uint8_t> row(kMapRowSize, 0);
    if (marked.empty()) return row;
    uint32_t first = *std::min_element(marked.begin(), marked.end());
    uint32_t last = *std::max_element(marked.begin(), marked.end());
    uint32_t start = last < kInlineMapPages ? 0 : first / 8 * 8;
    if (last - start >= kInlineMapPages)
        throw Error("the new database's pages are too spread out for an inline usage map");
    put32(row.data() + 1, start);
    for (uint32_t page : marked) row[5 + (page - start) / 8] |= uint8_t(1u << ((page - start) % 8));
    return row;
}

// ---- Table definitions ----------------------------------------------------------------------------

// What the serializer needs beyond TableDef.
struct DefinitionLayout {
    std::vector<size_t> columnOrder;   // positions in TableDef::columns, in descriptor order
    std::vector<size_t> logicalOrder;  // positions in TableDef::logicalIndexes, in descriptor order
    // Per memo/OLE column (by column number): its owned-pages and free-space maps.
    std::map<uint16_t, std::pair<MapRef, MapRef>> longValueMaps;
    bool systemStyle = false;  // system tables: sort order on every column, no repeated column number
};

void putMapRef(uint8_t* p, MapRef ref) {
    p[0] = ref.row;
    put24(p + 1, ref.page);
}

void putName(std::vector<uint8_t>& out, const std::u16string& name) {
    size_t at = out.size();
    out.resize(at + 2 + 2 * name.size());
    put16(out.data() + at, uint32_t(2 * name.size()));
    for (size_t i = 0; i < name.size(); ++i) put16(out.data() + at + 2 + 2 * i, name[i]);
}

// Writes the definition into its page (one page only) and records its raw bytes and offsets in `def`.
void writeDefinition(PageList& pages, TableDef& def, const DefinitionLayout& layout) {
    std::vector<uint8_t> d(0x3F, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    put32(&d[0x0C], kDefinitionMagic);
    put32(&d[0x10], def.rowCount);
    put32(&d[0x14], def.autoNumber);
    d[0x18] = 0x01;
    d[0x28] = def.tableType;
    put16(&d[0x29], def.maxColumns);
    put16(&d[0x2B], def.varColumns);
    put16(&d[0x2D], uint32_t(def.columns.size()));
    put32(&d[0x2F], uint32_t(def.logicalIndexes.size()));
    put32(&d[0x33], uint32_t(def.realIndexes.size()));
    putMapRef(&d[0x37], def.ownedPages);
    putMapRef(&d[0x3B], def.freeSpacePages);

    for (RealIndex& real : def.realIndexes) {
        size_t at = d.size();
        d.resize(at + 12, 0);
        put32(&d[at + 4], real.uniqueKeyCount);
        real.countOffset = uint32_t(at + 4);
    }
    for (size_t position : layout.columnOrder) {
        Column& c = def.columns[position];
        size_t at = d.size();
        d.resize(at + 25, 0);
        uint8_t* p = &d[at];
        p[0] = uint8_t(c.type);
        put32(p + 1, kDefinitionMagic);
        put16(p + 5, c.number);
        put16(p + 7, c.varIndex);
        if (!layout.systemStyle) put16(p + 9, c.number);
        if (c.type == ColumnType::Numeric) {
            p[11] = c.precision;
            p[12] = c.scale;
        } else {
            put16(p + 11, c.sortOrder);
        }
        p[15] = c.flags;
        p[16] = c.extraFlags;
        put16(p + 21, c.fixedOffset);
        put16(p + 23, c.length);
        c.descriptorOffset = uint32_t(at);
    }
    for (size_t position : layout.columnOrder) putName(d, def.columns[position].name);
    for (RealIndex& real : def.realIndexes) {
        size_t at = d.size();
        d.resize(at + 52, 0);
        uint8_t* p = &d[at];
        put32(p, kRealIndexMagic);
        for (size_t slot = 0; slot < 10; ++slot) {
            uint8_t* s = p + 4 + 3 * slot;
            if (slot < real.columns.size()) {
                put16(s, real.columns[slot].column);
                s[2] = real.columns[slot].ascending ? 0x01 : 0x02;
            } else {
                put16(s, 0xFFFF);
            }
        }
        putMapRef(p + 34, real.usageMap);
        put32(p + 38, real.rootPage);
        p[46] = real.flags;
        real.descriptorOffset = uint32_t(at);
    }
    for (size_t position : layout.logicalOrder) {
        const LogicalIndex& logical = def.logicalIndexes[position];
        size_t at = d.size();
        d.resize(at + 28, 0);
        uint8_t* p = &d[at];
        put32(p, kDefinitionMagic);
        put32(p + 4, logical.number);
        put32(p + 8, logical.realIndex);
        put32(p + 13, 0xFFFFFFFF);  // no related table's index
        p[21] = 0x04;               // as the Jet engine writes for indexes outside a relationship
        p[22] = 0x04;
        p[23] = logical.type;
    }
    for (size_t position : layout.logicalOrder) putName(d, def.logicalIndexes[position].name);
    for (size_t position : layout.columnOrder) {
        const Column& c = def.columns[position];
        if (!c.isLongValue()) continue;
        auto maps = layout.longValueMaps.at(c.number);
        size_t at = d.size();
        d.resize(at + 10, 0);
        put16(&d[at], c.number);
        putMapRef(&d[at + 2], maps.first);
        putMapRef(&d[at + 6], maps.second);
    }
    d.push_back(0xFF);
    d.push_back(0xFF);

    if (d.size() + 8 > kPageSize)
        throw Error("the definition of table \"" + toUtf8(def.name) + "\" does not fit one page");
    put32(&d[0x08], uint32_t(d.size()));
    put16(&d[0x02], uint32_t(kPageSize - 8 - d.size()));

    uint8_t* page = pages[def.tdefPage];
    std::memcpy(page, d.data(), d.size());
    def.tdefPages = {def.tdefPage};
    def.raw.assign(page, page + kPageSize);
}

// Fixed-area offsets, variable-column positions and the counts that follow from the columns.
void layOutColumns(TableDef& def) {
    uint16_t fixedOffset = 0, varCount = 0;
    for (Column& c : def.columns) {
        if (c.isFixed()) {
            c.varIndex = varCount;  // the Jet engine records how many variable columns precede it
            if (c.type != ColumnType::Boolean) {  // a Boolean lives in the null mask only
                c.fixedOffset = fixedOffset;
                fixedOffset = uint16_t(fixedOffset + c.length);
            }
        } else {
            c.varIndex = varCount++;
        }
    }
    def.varColumns = varCount;
    def.maxColumns = uint16_t(def.columns.size());
}

uint16_t fixedLength(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean: return 1;
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: return 4;
    case ColumnType::Currency: return 8;
    case ColumnType::Single: return 4;
    case ColumnType::Double: return 8;
    case ColumnType::DateTime: return 8;
    case ColumnType::GUID: return 16;
    case ColumnType::Numeric: return 17;
    default: return 0;
    }
}

bool isVariable(ColumnType type) {
    return type == ColumnType::Text || type == ColumnType::Binary || type == ColumnType::Memo ||
           type == ColumnType::OLE;
}

// ---- The system tables ----------------------------------------------------------------------------

struct SystemColumn {
    const char16_t* name;
    ColumnType type;
    uint8_t flags;
    uint16_t length;  // variable columns; fixed ones take their type's width
};

struct SystemIndex {
    const char16_t* name;
    std::vector<uint16_t> columns;  // column numbers
    uint8_t flags;
    uint8_t logicalType;
};

// Columns in column-number order, as the Jet engine defines them. Descriptors and index definitions are
// written sorted by name, as the engine writes them.
const std::vector<SystemColumn> kObjectsColumns = {
    {u"Id", ColumnType::Long, 0x13, 0},           {u"ParentId", ColumnType::Long, 0x13, 0},
    {u"Name", ColumnType::Text, 0x12, 510},       {u"Type", ColumnType::Integer, 0x13, 0},
    {u"DateCreate", ColumnType::DateTime, 0x13, 0}, {u"DateUpdate", ColumnType::DateTime, 0x13, 0},
    {u"Owner", ColumnType::Binary, 0x32, 510},    {u"Flags", ColumnType::Long, 0x13, 0},
    {u"Database", ColumnType::Memo, 0x12, 0},     {u"Connect", ColumnType::Memo, 0x12, 0},
    {u"ForeignName", ColumnType::Text, 0x12, 510}, {u"RmtInfoShort", ColumnType::Binary, 0x12, 510},
    {u"RmtInfoLong", ColumnType::OLE, 0x12, 0},   {u"Lv", ColumnType::OLE, 0x12, 0},
    {u"LvProp", ColumnType::OLE, 0x12, 0},        {u"LvModule", ColumnType::OLE, 0x12, 0},
    {u"LvExtra", ColumnType::OLE, 0x12, 0},
};
const std::vector<SystemIndex> kObjectsIndexes = {
    {u"ParentIdName", {1, 2}, kIndexNewStyle | kIndexUnique, 0},
    {u"Id", {0}, kIndexNewStyle | kIndexUnique, 1},
};

const std::vector<SystemColumn> kAcesColumns = {
    {u"ObjectId", ColumnType::Long, 0x13, 0},
    {u"SID", ColumnType::Binary, 0x32, 510},
    {u"ACM", ColumnType::Long, 0x13, 0},
    {u"FInheritable", ColumnType::Boolean, 0x13, 0},
};
const std::vector<SystemIndex> kAcesIndexes = {
    {u"ObjectId", {0}, kIndexNewStyle | kIndexRequired, 0},
};

const std::vector<SystemColumn> kQueriesColumns = {
    {u"ObjectId", ColumnType::Long, 0x13, 0},   {u"Attribute", ColumnType::Byte, 0x13, 0},
    {u"Order", ColumnType::Binary, 0x12, 510},  {u"Name1", ColumnType::Text, 0x12, 510},
    {u"Name2", ColumnType::Text, 0x12, 510},    {u"Expression", ColumnType::Memo, 0x12, 0},
    {u"Flag", ColumnType::Integer, 0x13, 0},    {u"LvExtra", ColumnType::Long, 0x13, 0},
};
const std::vector<SystemIndex> kQueriesIndexes = {
    {u"ObjectIdAttribute", {0, 1, 2}, kIndexNewStyle | kIndexUnique, 1},
};

const std::vector<SystemColumn> kRelationshipsColumns = {
    {u"szRelationship", ColumnType::Text, 0x12, 510},   {u"grbit", ColumnType::Long, 0x13, 0},
    {u"ccolumn", ColumnType::Long, 0x13, 0},            {u"icolumn", ColumnType::Long, 0x13, 0},
    {u"szObject", ColumnType::Text, 0x12, 510},         {u"szColumn", ColumnType::Text, 0x12, 510},
    {u"szReferencedObject", ColumnType::Text, 0x12, 510}, {u"szReferencedColumn", ColumnType::Text, 0x12, 510},
};
const std::vector<SystemIndex> kRelationshipsIndexes = {
    {u"szRelationship", {0}, kIndexNewStyle | kIndexIgnoreNulls, 0},
    {u"szObject", {4}, kIndexNewStyle | kIndexIgnoreNulls, 0},
    {u"szReferencedObject", {6}, kIndexNewStyle | kIndexIgnoreNulls, 0},
};

// Positions 0..n-1 ordered by name (the names here are plain ASCII).
template <typename GetName>
std::vector<size_t> orderByName(size_t count, GetName name) {
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return name(a) < name(b); });
    return order;
}

// A system table's definition. Its usage maps are rows of `mapPage`: owned pages, free space, two per
// memo/OLE column (in column-number order), then one per index; `roots` gives each index's leaf page.
struct SystemTable {
    TableDef def;
    DefinitionLayout layout;
};

SystemTable systemTable(const char16_t* name, uint32_t tdefPage, const std::vector<SystemColumn>& columns,
                        const std::vector<SystemIndex>& indexes, uint32_t mapPage,
                        const std::vector<uint32_t>& roots) {
    SystemTable t;
    TableDef& def = t.def;
    def.name = name;
    def.tdefPage = tdefPage;
    def.tableType = 0x53;
    for (size_t i = 0; i < columns.size(); ++i) {
        Column c;
        c.name = columns[i].name;
        c.type = columns[i].type;
        c.number = uint16_t(i);
        c.flags = columns[i].flags;
        c.length = isVariable(c.type) ? columns[i].length : fixedLength(c.type);
        c.sortOrder = kGeneralSortOrder;
        def.columns.push_back(c);
    }
    layOutColumns(def);
    t.layout.systemStyle = true;
    t.layout.columnOrder = orderByName(def.columns.size(), [&](size_t i) { return def.columns[i].name; });

    uint8_t mapRow = 0;
    def.ownedPages = {mapPage, mapRow++};
    def.freeSpacePages = {mapPage, mapRow++};
    for (const Column& c : def.columns) {  // in column-number order, as the engine numbers them
        if (!c.isLongValue()) continue;
        MapRef owned{mapPage, mapRow++};
        MapRef free{mapPage, mapRow++};
        t.layout.longValueMaps[c.number] = {owned, free};
    }
    for (size_t i = 0; i < indexes.size(); ++i) {
        RealIndex real;
        real.number = uint32_t(i);
        for (uint16_t column : indexes[i].columns) real.columns.push_back({column, true});
        real.usageMap = {mapPage, mapRow++};
        real.rootPage = roots.at(i);
        real.flags = indexes[i].flags;
        def.realIndexes.push_back(real);
        def.logicalIndexes.push_back({indexes[i].name, uint32_t(i), uint32_t(i), indexes[i].logicalType});
    }
    t.layout.logicalOrder =
        orderByName(def.logicalIndexes.size(), [&](size_t i) { return def.logicalIndexes[i].name; });
    return t;
}

// ---- Index entries --------------------------------------------------------------------------------

bool entryLess(const index::Entry& a, const index::Entry& b) {
    if (a.key != b.key) return std::lexicographical_compare(a.key.begin(), a.key.end(), b.key.begin(), b.key.end());
    if (a.row.page != b.row.page) return a.row.page < b.row.page;
    return a.row.slot < b.row.slot;
}

// Builds every index of `def` over its rows: sorted entries written to each index's root leaf, and the
// count of distinct keys. A unique index refuses duplicate keys; a required one refuses null keys.
void writeIndexes(PageList& pages, TableDef& def, const std::vector<Row>& rows, const std::vector<RowId>& ids) {
    for (RealIndex& real : def.realIndexes) {
        std::vector<index::Entry> entries;
        for (size_t i = 0; i < rows.size(); ++i) {
            for (size_t position = 0; position < def.columns.size() && (real.flags & kIndexRequired); ++position) {
                const Column& c = def.columns[position];
                bool inKey = std::any_of(real.columns.begin(), real.columns.end(),
                                         [&](const RealIndex::KeyColumn& k) { return k.column == c.number; });
                if (inKey && isNull(rows[i][position]))
                    throw Error("table \"" + toUtf8(def.name) + "\": column \"" + toUtf8(c.name) +
                                "\" of its primary key is null");
            }
            entries.push_back({index::encodeKey(def, real, rows[i]), ids[i]});
        }
        std::sort(entries.begin(), entries.end(), entryLess);
        uint32_t distinct = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (i > 0 && entries[i].key == entries[i - 1].key) {
                if (real.flags & kIndexUnique)
                    throw Error("table \"" + toUtf8(def.name) + "\": a unique index holds the same key twice");
                continue;
            }
            ++distinct;
        }
        real.uniqueKeyCount = distinct;
        index::writeLeafPage(pages[real.rootPage], def.tdefPage, entries);
    }
}

// ---- The database definition page -----------------------------------------------------------------

// RC4 keystream for the encoded area of page 0.
std::array<uint8_t, 128> headerKeystream() {
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    std::array<uint8_t, 256> s;
    for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::array<uint8_t, 128> out;
    for (int n = 0, i = 0, j = 0; n < 128; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        out[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return out;
}

constexpr size_t kEncodedStart = 0x18, kEncodedLength = 128;

void writeDefinitionPage(uint8_t* p) {
    p[1] = 0x01;
    std::memcpy(p + 4, "Standard Jet DB", 16);  // with its terminating zero
    put32(p + 0x14, 1);                          // Jet 4

    // The encoded area, written in clear first.
    for (uint32_t i = 0; i < 6; ++i) {
        // 00 01 00 00, 01 01 00 00, 02 00 00 00 ... 05 00 00 00
        put32(p + 0x18 + 4 * i, i == 0 ? 0x100 : i == 1 ? 0x101 : i);
    }
    put16(p + 0x3C, 1252);  // code page; Jet 4 stores text as UCS-2 whatever it says
    put32(p + 0x3E, 0);     // database key: 0 = pages are not encrypted
    // No password: the password area holds only its mask, the whole days of the creation date.
    uint32_t mask = uint32_t(int32_t(kCreationDate));
    for (int i = 0; i < 10; ++i) put32(p + 0x42 + 4 * i, mask);
    put32(p + 0x6A, 0x11A6);  // a value the Jet engine writes here; its meaning is not known
    put16(p + 0x6E, kGeneralSortOrder);  // then sort version 0
    std::memcpy(p + 0x72, &kCreationDate, 8);
    static_assert(sizeof(double) == 8);

    const auto stream = headerKeystream();
    for (size_t i = 0; i < kEncodedLength; ++i) p[kEncodedStart + i] ^= stream[i];

    put32(p + 0x98, 0x654);
    std::memcpy(p + 0x9C, "4.0", 4);
    put16(p + 0xE00, 0x0101);
    for (uint32_t at = 0xE02; at < kPageSize; at += 2) put16(p + at, 0x0100);
}

// ---- User tables ----------------------------------------------------------------------------------

struct UserTable {
    TableDef def;
    DefinitionLayout layout;
    std::vector<Row> rows;
    std::vector<RowId> ids;
    std::vector<uint32_t> dataPages;
    uint32_t mapPage = 0;
};

// Jet compares object names without regard to case, as TableDef::findColumn does for columns.
bool sameName(const std::u16string& a, const std::u16string& b) {
    TableDef probe;
    probe.columns.emplace_back();
    probe.columns[0].name = a;
    return probe.findColumn(b) == 0;
}

std::string tableLabel(const NewTable& t) { return "table \"" + toUtf8(t.name) + "\""; }

void defineUserTable(const NewTable& newTable, UserTable& t, PageList& pages) {
    if (newTable.name.empty()) throw Error("a new table has no name");
    if (newTable.columns.empty()) throw Error(tableLabel(newTable) + " has no columns");
    if (newTable.columns.size() > 255) throw Error(tableLabel(newTable) + " has more than 255 columns");

    TableDef& def = t.def;
    def.name = newTable.name;
    def.tableType = 0x4E;
    for (size_t i = 0; i < newTable.columns.size(); ++i) {
        const NewColumn& n = newTable.columns[i];
        if (n.name.empty()) throw Error(tableLabel(newTable) + " has a column without a name");
        Column c;
        c.name = n.name;
        c.type = n.type;
        c.number = uint16_t(i);
        if (def.findColumn(n.name) >= 0)
            throw Error(tableLabel(newTable) + " has two columns named \"" + toUtf8(n.name) + "\"");
        if (n.autoNumber && n.type != ColumnType::Long)
            throw Error(tableLabel(newTable) + ": AutoNumber column \"" + toUtf8(n.name) + "\" must be Long");
        switch (n.type) {
        case ColumnType::Text:
            if (n.textLength < 1 || n.textLength > 255)
                throw Error(tableLabel(newTable) + ": text column \"" + toUtf8(n.name) + "\" needs a size of 1 to 255");
            c.length = uint16_t(2 * n.textLength);
            c.flags = 0x02;
            c.extraFlags = 0x01;
            c.sortOrder = kGeneralSortOrder;
            break;
        case ColumnType::Memo:
            c.flags = 0x02;
            c.extraFlags = 0x01;
            c.sortOrder = kGeneralSortOrder;
            break;
        case ColumnType::OLE:
            c.flags = 0x02;
            break;
        case ColumnType::Binary:  // textLength gives the size in bytes
            c.length = n.textLength ? n.textLength : 255;
            if (c.length > 510) throw Error(tableLabel(newTable) + ": binary column \"" + toUtf8(n.name) + "\" is too long");
            c.flags = 0x02;
            break;
        case ColumnType::Numeric:
            c.precision = 18;
            c.scale = 0;
            [[fallthrough]];
        default:
            c.length = fixedLength(n.type);
            if (c.length == 0) throw Error(tableLabel(newTable) + ": column \"" + toUtf8(n.name) + "\" has an unknown type");
            c.flags = n.autoNumber ? 0x07 : 0x03;
            break;
        }
        def.columns.push_back(c);
    }
    layOutColumns(def);
    t.layout.systemStyle = false;
    for (size_t i = 0; i < def.columns.size(); ++i) t.layout.columnOrder.push_back(i);

    // Pages: definition, usage maps, index leaves.
    def.tdefPage = pages.add();
    t.mapPage = pages.add();
    uint8_t mapRow = 0;
    def.ownedPages = {t.mapPage, mapRow++};
    def.freeSpacePages = {t.mapPage, mapRow++};
    for (const Column& c : def.columns) {
        if (!c.isLongValue()) continue;
        MapRef owned{t.mapPage, mapRow++};
        MapRef free{t.mapPage, mapRow++};
        t.layout.longValueMaps[c.number] = {owned, free};
    }
    bool havePrimaryKey = false;
    for (size_t i = 0; i < newTable.indexes.size(); ++i) {
        const NewIndex& n = newTable.indexes[i];
        int column = def.findColumn(n.column);
        if (column < 0)
            throw Error(tableLabel(newTable) + ": index \"" + toUtf8(n.name) + "\" names a missing column \"" +
                        toUtf8(n.column) + "\"");
        if (n.name.empty()) throw Error(tableLabel(newTable) + " has an index without a name");
        if (n.primaryKey && havePrimaryKey) throw Error(tableLabel(newTable) + " has two primary keys");
        havePrimaryKey = havePrimaryKey || n.primaryKey;
        RealIndex real;
        real.number = uint32_t(i);
        real.columns.push_back({def.columns[size_t(column)].number, true});
        real.usageMap = {t.mapPage, mapRow++};
        real.rootPage = pages.add();
        real.flags = kIndexNewStyle;
        if (n.primaryKey) real.flags |= kIndexUnique | kIndexRequired;
        else if (n.unique) real.flags |= kIndexUnique;
        def.realIndexes.push_back(real);
        def.logicalIndexes.push_back({n.name, uint32_t(i), uint32_t(i), uint8_t(n.primaryKey ? 1 : 0)});
        t.layout.logicalOrder.push_back(i);
    }
}

void fillUserRows(const NewTable& newTable, UserTable& t, PageList& pages) {
    TableDef& def = t.def;
    std::vector<std::vector<uint8_t>> encoded;
    int64_t lastNumber = 0;
    for (const auto& values : newTable.rows) {
        if (values.size() != def.columns.size())
            throw Error(tableLabel(newTable) + ": a row has " + std::to_string(values.size()) + " values for " +
                        std::to_string(def.columns.size()) + " columns");
        Row row = values;
        for (size_t i = 0; i < def.columns.size(); ++i) {
            if (!def.columns[i].isAutoNumber()) continue;
            if (isNull(row[i])) {
                row[i] = int64_t(++lastNumber);
            } else if (const int64_t* given = std::get_if<int64_t>(&row[i])) {
                lastNumber = std::max(lastNumber, *given);
            }
        }
        encoded.push_back(encodeRow(def, row));
        t.rows.push_back(std::move(row));
    }
    def.rowCount = uint32_t(t.rows.size());
    def.autoNumber = uint32_t(lastNumber);
    t.ids = placeRows(pages, def.tdefPage, encoded, [&] { return pages.add(); }, t.dataPages);
}

// ---- Catalogue rows -------------------------------------------------------------------------------

Row objectRow(const TableDef& objects, uint32_t id, uint32_t parent, const std::u16string& name, int type,
              const Bytes& owner, uint32_t flags) {
    Row row(objects.columns.size());
    row[0] = int64_t(int32_t(id));
    row[1] = int64_t(int32_t(parent));
    row[2] = name;
    row[3] = int64_t(type);
    row[4] = DateTime{kCreationDate};
    row[5] = DateTime{kCreationDate};
    row[6] = owner;
    row[7] = int64_t(int32_t(flags));
    return row;
}

Row aceRow(uint32_t object, const Bytes& sid, int64_t acm, bool inheritable) {
    return Row{int64_t(int32_t(object)), sid, acm, inheritable};
}

}  // namespace

std::vector<uint8_t> createDatabase(const std::vector<NewTable>& tables) {
    PageList pages;
    while (pages.count() < kFirstFreePage) pages.add();

    SystemTable objects = systemTable(u"MSysObjects", kObjectsTdef, kObjectsColumns, kObjectsIndexes,
                                      kObjectsMaps, {7, 8});
    SystemTable aces = systemTable(u"MSysACEs", kAcesTdef, kAcesColumns, kAcesIndexes, kAcesMaps, {10});
    SystemTable queries =
        systemTable(u"MSysQueries", kQueriesTdef, kQueriesColumns, kQueriesIndexes, kQueriesMaps, {12});
    SystemTable relationships = systemTable(u"MSysRelationships", kRelationshipsTdef, kRelationshipsColumns,
                                            kRelationshipsIndexes, kRelationshipsMaps, {14, 15, 16});

    // User tables first, so that their definition pages (their ids) are known.
    std::vector<UserTable> users(tables.size());
    for (size_t i = 0; i < tables.size(); ++i) {
        for (size_t k = 0; k < i; ++k) {
            if (sameName(tables[k].name, tables[i].name))
                throw Error("two new tables are named \"" + toUtf8(tables[i].name) + "\"");
        }
        if (tables[i].name.size() > 64) throw Error(tableLabel(tables[i]) + ": the name is longer than 64 characters");
        defineUserTable(tables[i], users[i], pages);
        fillUserRows(tables[i], users[i], pages);
        writeIndexes(pages, users[i].def, users[i].rows, users[i].ids);
    }

    // The catalogue: containers, the database document, system tables, then user tables.
    std::vector<Row> objectRows = {
        objectRow(objects.def, kTablesContainer, kRootContainer, u"Tables", kTypeContainer, kSidA, kSystemObjectFlag),
        objectRow(objects.def, kDatabasesContainer, kRootContainer, u"Databases", kTypeContainer, kSidA,
                  kSystemObjectFlag),
        objectRow(objects.def, kRelationshipsContainer, kRootContainer, u"Relationships", kTypeContainer, kSidA,
                  kSystemObjectFlag),
        objectRow(objects.def, kDatabaseDocument, kDatabasesContainer, u"MSysDb", kTypeDatabase, kSidB,
                  kSystemObjectFlag),
    };
    for (const SystemTable* t : {&objects, &aces, &queries, &relationships})
        objectRows.push_back(
            objectRow(objects.def, t->def.tdefPage, kTablesContainer, t->def.name, kTypeTable, kSidA, kSystemObjectFlag));
    for (const UserTable& u : users)
        objectRows.push_back(objectRow(objects.def, u.def.tdefPage, kTablesContainer, u.def.name, kTypeTable, kSidA, 0));

    // Access rights, in the pattern the Jet engine writes for a fresh database.
    std::vector<Row> aceRows = {
        aceRow(kObjectsTdef, kSidB, 0x60000, false),
        aceRow(kAcesTdef, kSidB, 0x60000, false),
        aceRow(kQueriesTdef, kSidB, 0x60000, false),
        aceRow(kRelationshipsTdef, kSidB, 0xE0000, false),
        aceRow(kTablesContainer, kSidC, 0xF00FE, true),
        aceRow(kTablesContainer, kSidB, 0x60001, false),
        aceRow(kRelationshipsContainer, kSidC, 0xF00FE, true),
        aceRow(kRelationshipsContainer, kSidB, 0x60001, false),
        aceRow(kDatabasesContainer, kSidB, 0x60000, false),
        aceRow(kDatabaseDocument, kSidB, 0x6000E, false),
        aceRow(kDatabaseDocument, kSidD, 0x0E, false),
        aceRow(kQueriesTdef, kSidD, 0x14, false),
        aceRow(kRelationshipsTdef, kSidD, 0x14, false),
        aceRow(kObjectsTdef, kSidD, 0x14, false),
        aceRow(kTablesContainer, kSidD, 0xFFEFF, true),
        aceRow(kRelationshipsContainer, kSidD, 0xFFFFF, true),
    };
    // A user table grants full access to every security id that has rights on the Tables container.
    std::vector<Bytes> tableSids;
    for (const Row& ace : aceRows) {
        if (std::get<int64_t>(ace[0]) != int64_t(kTablesContainer)) continue;
        const Bytes& sid = std::get<Bytes>(ace[1]);
        if (std::find(tableSids.begin(), tableSids.end(), sid) == tableSids.end()) tableSids.push_back(sid);
    }
    for (const UserTable& u : users)
        for (const Bytes& sid : tableSids) aceRows.push_back(aceRow(u.def.tdefPage, sid, kFullAccess, false));

    // Catalogue rows: the first page is the fixed one, more pages go to the end of the file.
    auto placeSystemRows = [&](SystemTable& t, const std::vector<Row>& rows, uint32_t firstPage,
                               std::vector<uint32_t>& dataPages) {
        std::vector<std::vector<uint8_t>> encoded;
        for (const Row& row : rows) encoded.push_back(encodeRow(t.def, row));
        bool first = true;
        auto next = [&] {
            if (first) {
                first = false;
                return firstPage;
            }
            return pages.add();
        };
        std::vector<RowId> ids = placeRows(pages, t.def.tdefPage, encoded, next, dataPages);
        t.def.rowCount = uint32_t(rows.size());
        writeIndexes(pages, t.def, rows, ids);
    };
    std::vector<uint32_t> objectsPages, acesPages, noPages;
    placeSystemRows(objects, objectRows, kObjectsData, objectsPages);
    placeSystemRows(aces, aceRows, kAcesData, acesPages);
    placeSystemRows(queries, {}, 0, noPages);  // no rows: no data page, empty index leaves
    placeSystemRows(relationships, {}, 0, noPages);

    // Usage map pages. Each holds the maps in the order of their row numbers.
    auto writeMaps = [&](uint32_t mapPage, const TableDef& def, const DefinitionLayout& layout,
                         const std::vector<uint32_t>& dataPages) {
        std::map<uint8_t, std::vector<uint8_t>> rows;
        rows[def.ownedPages.row] = inlineMap(dataPages);
        rows[def.freeSpacePages.row] = inlineMap(dataPages);
        for (const auto& [column, maps] : layout.longValueMaps) {
            rows[maps.first.row] = inlineMap({});
            rows[maps.second.row] = inlineMap({});
        }
        for (const RealIndex& real : def.realIndexes) rows[real.usageMap.row] = inlineMap({real.rootPage});
        std::vector<std::vector<uint8_t>> ordered;
        for (auto& [row, bytes] : rows) {
            if (row != ordered.size()) throw Error("usage map rows are not numbered in sequence");
            ordered.push_back(bytes);
        }
        writeDataPage(pages[mapPage], 0, ordered);
    };
    writeMaps(kObjectsMaps, objects.def, objects.layout, objectsPages);
    writeMaps(kAcesMaps, aces.def, aces.layout, acesPages);
    writeMaps(kQueriesMaps, queries.def, queries.layout, noPages);
    writeMaps(kRelationshipsMaps, relationships.def, relationships.layout, noPages);
    for (UserTable& u : users) writeMaps(u.mapPage, u.def, u.layout, u.dataPages);

    // Table definitions, now that their counts are known.
    for (SystemTable* t : {&objects, &aces, &queries, &relationships}) writeDefinition(pages, t->def, t->layout);
    for (UserTable& u : users) writeDefinition(pages, u.def, u.layout);

    // The global usage map: every page of the file is in use, every page after it is free.
    if (pages.count() > kInlineMapPages)
        throw Error("the new database would need more than " + std::to_string(kInlineMapPages) + " pages");
    std::vector<uint8_t> global(kMapRowSize, 0);
    for (uint32_t page = pages.count(); page < kInlineMapPages; ++page) global[5 + page / 8] |= uint8_t(1u << (page % 8));
    writeDataPage(pages[1], 1, {global, std::vector<uint8_t>(kMapRowSize, 0)});

    writeDefinitionPage(pages[0]);
    return pages.join();
}

}  // namespace jet
