// Table definitions as read from (and written to) TDEF pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

enum class ColumnType : uint8_t {
    Boolean = 0x01, Byte = 0x02, Integer = 0x03, Long = 0x04, Currency = 0x05, Single = 0x06,
    Double = 0x07, DateTime = 0x08, Binary = 0x09, Text = 0x0A, OLE = 0x0B, Memo = 0x0C,
    GUID = 0x0F, Numeric = 0x10,
};
const char* columnTypeName(ColumnType type);  // "Text", "Long", ...

// A usage-map reference as stored in a TDEF: the map is row `row` of data page `page`.
struct MapRef {
    uint32_t page = 0;
    uint8_t row = 0;
    bool operator==(const MapRef&) const = default;
};

struct Column {
    std::u16string name;
    ColumnType type = ColumnType::Text;
    uint16_t number = 0;       // column number: bit of the null mask, key of index column lists
    uint16_t varIndex = 0;     // position among variable-length columns (variable columns only)
    uint16_t fixedOffset = 0;  // offset in the fixed area (fixed columns only)
    uint16_t length = 0;       // bytes; Text(n) has 2n
    uint8_t flags = 0;         // 0x01 fixed length, 0x02 updatable/nullable, 0x04 AutoNumber
    uint8_t extraFlags = 0;    // 0x01 compressed unicode
    uint16_t sortOrder = 0;    // text columns: 0x0409 General
    uint8_t precision = 0, scale = 0;  // Numeric
    uint32_t descriptorOffset = 0;     // offset of the 25-byte descriptor within TableDef::raw

    bool isFixed() const { return flags & 0x01; }
    bool isAutoNumber() const { return flags & 0x04; }
    bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::OLE; }
};

// A real (physical) index: one B-tree.
struct RealIndex {
    struct KeyColumn {
        uint16_t column = 0;   // column number
        bool ascending = true;
    };
    uint32_t number = 0;             // position among real indexes
    std::vector<KeyColumn> columns;  // up to ten
    MapRef usageMap;                 // the index's page usage map
    uint32_t rootPage = 0;           // first page of the tree; never moves
    uint8_t flags = 0;               // 0x01 unique, 0x02 ignore nulls, 0x08 required
    uint32_t uniqueKeyCount = 0;     // from the 12-byte per-index block
    uint32_t countOffset = 0;        // offset of uniqueKeyCount within TableDef::raw
    uint32_t descriptorOffset = 0;   // offset of the 52-byte descriptor within TableDef::raw
};

// A logical index: a name bound to a real index (several logical indexes may share one).
struct LogicalIndex {
    std::u16string name;
    uint32_t number = 0;
    uint32_t realIndex = 0;
    uint8_t type = 0;  // 1 primary key, 2 foreign key, 0 other
};

struct TableDef {
    std::u16string name;
    uint32_t tdefPage = 0;             // first TDEF page; also the table's id in MSysObjects
    std::vector<uint32_t> tdefPages;   // the chain, first page first
    std::vector<uint8_t> raw;          // the definition bytes: first page whole, continuations from offset 8
    uint8_t tableType = 0;             // 0x4E user, 0x53 system
    uint32_t rowCount = 0;
    uint32_t autoNumber = 0;           // last AutoNumber value handed out
    uint16_t maxColumns = 0;           // column count written at the start of every row
    uint16_t varColumns = 0;
    std::vector<Column> columns;       // in column-number order
    std::vector<RealIndex> realIndexes;
    std::vector<LogicalIndex> logicalIndexes;
    MapRef ownedPages;                 // pages holding the table's rows
    MapRef freeSpacePages;             // pages with free space

    // Position in `columns` of the column named `name` (case-insensitive, as Jet compares names), or -1.
    int findColumn(std::u16string_view name) const;
};

// Where byte `offset` of a definition's raw bytes lives: page and offset within it.
struct DefLocation { uint32_t page; uint32_t offset; };
DefLocation locateInDefinition(const TableDef& def, uint32_t offset);

}  // namespace jet
