// Index B-trees: key encoding, reading, and keeping entries exact as rows change.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/page_store.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet::index {

using Key = std::vector<uint8_t>;

struct Entry {
    Key key;     // the encoded column values, without the row pointer
    RowId row;
    bool operator==(const Entry&) const = default;
};

// Encoded key pieces. A Long-family value: 0x7F then the value big-endian with the sign bit flipped;
// null: a single 0x00. Descending columns invert every byte. Text: the General sort order's codes.
Key encodeLongKey(std::optional<int32_t> value, bool ascending = true);
Key encodeTextKey(const std::optional<std::u16string>& value, bool ascending = true);
// The whole key of `row` for `index`: each key column's piece in order. Throws jet::Error for a column
// type that this engine cannot encode.
Key encodeKey(const TableDef& table, const RealIndex& index, const Row& row);

// Whether `row` has no entry in `index`: an index that ignores nulls (flag 0x02) leaves out rows whose key
// columns are all null.
bool skipsRow(const TableDef& table, const RealIndex& index, const Row& row);

// Whether writes can keep this index exact; otherwise `why` says what is not supported.
bool canMaintain(const TableDef& table, const RealIndex& index, std::string* why);

// Every entry of the tree in key order (leaves followed from the root). Throws jet::Error on damage,
// including loops and pages not owned by the index.
std::vector<Entry> readEntries(const PageStore& pages, const TableDef& table, const RealIndex& index);

// Adds one entry, splitting leaves (and nodes) as needed; the root page never moves. Returns true when no
// other entry had the same key (the index's count of distinct keys grows). Inside a statement.
bool insertEntry(PageStore& pages, const TableDef& table, const RealIndex& index, const Entry& entry);
// Removes one entry; throws jet::Error if it is not there. Returns true when no entry with that key is left.
bool removeEntry(PageStore& pages, const TableDef& table, const RealIndex& index, const Entry& entry);

// Writes a fresh leaf page (type 0x04, no neighbours) holding `sorted` entries, for a new database.
// Throws jet::Error if they do not fit one page.
void writeLeafPage(uint8_t* page, uint32_t tdefPage, const std::vector<Entry>& sorted);

}  // namespace jet::index
