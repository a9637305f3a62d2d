// Table definitions: parsing TDEF page chains and writing their counters back.
#include "jet/tdef.h"

#include <algorithm>
#include <set>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/error.h"

namespace jet::detail {

namespace {

// Offsets within a definition's bytes.
constexpr size_t kRowCount = 0x10;
constexpr size_t kAutoNumber = 0x14;
constexpr size_t kTableType = 0x28;
constexpr size_t kMaxColumns = 0x29;
constexpr size_t kVarColumns = 0x2B;
constexpr size_t kColumnCount = 0x2D;
constexpr size_t kLogicalCount = 0x2F;
constexpr size_t kRealCount = 0x33;
constexpr size_t kOwnedMap = 0x37;
constexpr size_t kFreeMap = 0x3B;
constexpr size_t kBlocksStart = 0x3F;

constexpr size_t kRealCountBlock = 12;
constexpr size_t kColumnDescriptor = 25;
constexpr size_t kRealDescriptor = 52;
constexpr size_t kLogicalDescriptor = 28;
constexpr size_t kIndexKeySlots = 10;

// Jet's own limits; anything beyond them is damage.
constexpr unsigned kMaxColumnCount = 255;
constexpr unsigned kMaxIndexCount = 64;

std::u16string readName(const ByteView& view, size_t& pos) {
    uint16_t bytes = view.u16(pos);
    pos += 2;
    if (bytes % 2 != 0) throw Error(view.what() + " is damaged: a name has an odd length");
    const uint8_t* p = view.at(pos, bytes);
    std::u16string name;
    for (size_t i = 0; i < bytes; i += 2) name += char16_t(get16(p + i));
    pos += bytes;
    return name;
}

MapRef readMapRef(const ByteView& view, size_t offset) {
    return MapRef{view.u24(offset + 1), view.u8(offset)};
}

}  // namespace

size_t fixedWidth(const Column& column) {
    switch (column.type) {
    case ColumnType::Boolean: return 0;
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: return 4;
    case ColumnType::Single: return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime: return 8;
    case ColumnType::GUID: return 16;
    case ColumnType::Numeric: return 17;
    default: return column.length;  // fixed-length text or binary
    }
}

std::vector<uint32_t> definitionPages(const PageStore& pages, uint32_t firstPage) {
    std::string what = "the table definition on page " + std::to_string(firstPage);
    std::vector<uint32_t> chain;
    std::set<uint32_t> seen;
    uint32_t number = firstPage;
    while (true) {
        if (number == 0 || number >= pages.pageCount())
            throw Error(what + " is damaged: it continues on page " + std::to_string(number) +
                        ", which does not exist");
        if (!seen.insert(number).second) throw Error(what + " is damaged: its pages form a loop");
        const uint8_t* page = pages.page(number);
        if (page[0] != kTdefPageType || page[1] != 0x01)
            throw Error(what + " is damaged: page " + std::to_string(number) + " is not a table definition page");
        chain.push_back(number);
        number = get32(page + 4);
        if (number == 0) return chain;
    }
}

TableDef readTableDef(const PageStore& pages, uint32_t firstPage, const std::u16string& name) {
    return readTableDef(pages, definitionPages(pages, firstPage), name);
}

TableDef readTableDef(const PageStore& pages, const std::vector<uint32_t>& chain, const std::u16string& name) {
    TableDef def;
    def.name = name;
    def.tdefPage = chain.front();
    def.tdefPages = chain;
    std::string what = "the table definition on page " + std::to_string(def.tdefPage);
    def.raw.reserve(chain.size() * kPageSize);
    for (uint32_t number : chain) {
        const uint8_t* page = pages.page(number);
        if (def.raw.empty())
            def.raw.assign(page, page + kPageSize);
        else
            def.raw.insert(def.raw.end(), page + 8, page + kPageSize);
    }

    ByteView view(def.raw.data(), def.raw.size(), what);
    def.rowCount = view.u32(kRowCount);
    def.autoNumber = view.u32(kAutoNumber);
    def.tableType = view.u8(kTableType);
    def.maxColumns = view.u16(kMaxColumns);
    def.varColumns = view.u16(kVarColumns);
    unsigned columnCount = view.u16(kColumnCount);
    uint32_t logicalCount = view.u32(kLogicalCount);
    uint32_t realCount = view.u32(kRealCount);
    def.ownedPages = readMapRef(view, kOwnedMap);
    def.freeSpacePages = readMapRef(view, kFreeMap);
    if (columnCount > kMaxColumnCount || def.maxColumns > kMaxColumnCount || columnCount > def.maxColumns)
        throw Error(what + " is damaged: its column counts are impossible");
    if (logicalCount > kMaxIndexCount || realCount > kMaxIndexCount)
        throw Error(what + " is damaged: its index counts are impossible");

    size_t pos = kBlocksStart;
    def.realIndexes.resize(realCount);
    for (uint32_t i = 0; i < realCount; ++i) {
        def.realIndexes[i].number = i;
        def.realIndexes[i].countOffset = uint32_t(pos + 4);
        def.realIndexes[i].uniqueKeyCount = view.u32(pos + 4);
        pos += kRealCountBlock;
    }

    std::vector<Column> columns(columnCount);
    for (Column& c : columns) {
        ByteView d = view.sub(pos, kColumnDescriptor);
        c.descriptorOffset = uint32_t(pos);
        c.type = ColumnType(d.u8(0));
        c.number = d.u16(5);
        c.varIndex = d.u16(7);
        c.sortOrder = d.u16(11);
        c.precision = d.u8(11);
        c.scale = d.u8(12);
        c.flags = d.u8(15);
        c.extraFlags = d.u8(16);
        c.fixedOffset = d.u16(21);
        c.length = d.u16(23);
        if (c.type != ColumnType::Numeric) c.precision = c.scale = 0;
        if (c.type != ColumnType::Text && c.type != ColumnType::Memo) c.sortOrder = 0;
        pos += kColumnDescriptor;
    }
    for (Column& c : columns) c.name = readName(view, pos);

    std::set<uint16_t> numbers;
    for (const Column& c : columns) {
        std::string col = what + " is damaged: column " + std::to_string(c.number);
        if (c.number >= def.maxColumns) throw Error(col + " lies past the row's column count");
        if (!numbers.insert(c.number).second) throw Error(col + " appears twice");
        if (c.isFixed()) {
            if (size_t(c.fixedOffset) + fixedWidth(c) > kPageSize) throw Error(col + " lies outside the row");
        } else if (c.varIndex >= def.varColumns) {
            throw Error(col + " has a variable-length position past the table's count");
        }
    }
    std::sort(columns.begin(), columns.end(),
              [](const Column& a, const Column& b) { return a.number < b.number; });
    def.columns = std::move(columns);

    for (uint32_t i = 0; i < realCount; ++i) {
        RealIndex& index = def.realIndexes[i];
        ByteView d = view.sub(pos, kRealDescriptor);
        index.descriptorOffset = uint32_t(pos);
        for (size_t k = 0; k < kIndexKeySlots; ++k) {
            uint16_t column = d.u16(4 + 3 * k);
            if (column == 0xFFFF) continue;
            if (!numbers.count(column))
                throw Error(what + " is damaged: an index names column " + std::to_string(column) +
                            ", which does not exist");
            index.columns.push_back({column, (d.u8(4 + 3 * k + 2) & 0x01) != 0});
        }
        index.usageMap = readMapRef(d, 34);
        index.rootPage = d.u32(38);
        index.flags = d.u8(46);
        if (index.rootPage >= pages.pageCount())
            throw Error(what + " is damaged: an index starts on page " + std::to_string(index.rootPage) +
                        ", which does not exist");
        pos += kRealDescriptor;
    }

    def.logicalIndexes.resize(logicalCount);
    for (uint32_t i = 0; i < logicalCount; ++i) {
        LogicalIndex& index = def.logicalIndexes[i];
        ByteView d = view.sub(pos, kLogicalDescriptor);
        index.number = d.u32(4);
        index.realIndex = d.u32(8);
        index.type = d.u8(23);
        if (index.realIndex >= realCount)
            throw Error(what + " is damaged: a logical index refers to a real index that does not exist");
        pos += kLogicalDescriptor;
    }
    for (LogicalIndex& index : def.logicalIndexes) index.name = readName(view, pos);
    return def;
}

bool longValueMaps(const TableDef& def, uint16_t columnNumber, MapRef& used, MapRef& free) {
    ByteView view(def.raw.data(), def.raw.size(), "the table definition on page " + std::to_string(def.tdefPage));
    size_t pos = kBlocksStart + def.realIndexes.size() * kRealCountBlock + def.columns.size() * kColumnDescriptor;
    for (size_t i = 0; i < def.columns.size(); ++i) readName(view, pos);
    pos += def.realIndexes.size() * kRealDescriptor + def.logicalIndexes.size() * kLogicalDescriptor;
    for (size_t i = 0; i < def.logicalIndexes.size(); ++i) readName(view, pos);
    for (size_t guard = 0; guard <= kMaxColumnCount; ++guard) {
        uint16_t column = view.u16(pos);
        if (column == 0xFFFF) return false;
        if (column == columnNumber) {
            used = readMapRef(view, pos + 2);
            free = readMapRef(view, pos + 6);
            return true;
        }
        pos += 10;
    }
    return false;
}

void writeCounters(PageStore& pages, const TableDef& def) {
    auto put = [&](uint32_t offset, uint32_t value) {
        DefLocation at = locateInDefinition(def, offset);
        put32(pages.writablePage(at.page) + at.offset, value);
    };
    put(uint32_t(kRowCount), def.rowCount);
    put(uint32_t(kAutoNumber), def.autoNumber);
    for (const RealIndex& index : def.realIndexes) put(index.countOffset, index.uniqueKeyCount);
}

}  // namespace jet::detail
