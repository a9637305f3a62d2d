// Row encoding: the bytes of one row on a data page, and the values they hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/page_store.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

// The largest row a data page can hold.
constexpr size_t kMaxRowSize = 4060;

// The long-value parts (page << 8 | row) that one pass over a table's rows has read. In a sound file every
// part belongs to one value, so a pass reads each part once; a damaged file whose rows all point at one long
// chain would otherwise have the chain read, and held, again for every row. A part met a second time in the
// same pass is refused as damage. A statement that tests a column of every row and then decodes the rows that
// match makes two passes, each with its own LongValueParts; so does a test that names one column twice.
class LongValueParts {
public:
    // Records `part` (never 0: page 0 is the file header); false when this pass has read it already, and
    // shared() is true from then on.
    bool add(uint32_t part);
    // Whether the pass has met a part twice: two values share it.
    bool shared() const { return shared_; }

private:
    // An open-addressing table of the parts, 0 marking a free slot: a pass over thousands of long values
    // records them without an allocation each.
    std::vector<uint32_t> slots_;
    size_t count_ = 0;
    bool shared_ = false;
};

// Decodes one row's bytes (already located on its page, overflow followed) into values by column
// position. Memo and OLE values are read in full from their long-value pages through `pages`; with `parts`,
// every part read is recorded there and one the pass has read before is refused. Throws jet::Error on damage.
std::vector<Value> decodeRow(const TableDef& table, ByteView row, const PageStore& pages,
                             LongValueParts* parts = nullptr);
// The same into `out`, reusing the storage of the values it holds: a scan decoding row after row into one
// vector keeps the buffers of its texts.
void decodeRow(const TableDef& table, const ByteView& row, const PageStore& pages, LongValueParts* parts,
               std::vector<Value>& out);

// The same without reading memo and OLE values: those columns are left null (an empty stored field still
// decodes as the empty value). For writes, which carry the stored bytes of those columns over unchanged
// (rawColumnBytes) and never key an index on them.
std::vector<Value> decodeRowWithoutLongValues(const TableDef& table, ByteView row);

// One column (position in TableDef::columns) of a row's bytes, decoded without the others; the same value
// decodeRow gives for it, `parts` as there. Throws jet::Error on damage.
Value decodeColumn(const TableDef& table, const ByteView& row, size_t column, const PageStore& pages,
                   LongValueParts* parts = nullptr);

// The text of Text column `column` of a row's bytes into `out`, reusing its storage, so that a scan comparing
// one column of every row allocates nothing; false (and `out` empty) when the value is null. Throws
// jet::Error for a column that is not Text, or on damage to the parts of the row it reads.
bool readText(const TableDef& table, const ByteView& row, size_t column, std::u16string& out);

// The stored bytes of one variable-length column of a row, or empty for null; used to carry memo and
// OLE pointers through an update unchanged. Position `column` in TableDef::columns.
std::vector<uint8_t> rawColumnBytes(const TableDef& table, ByteView row, size_t column);

// Encodes values (by column position) as a row. Text is compressed where the column allows it and the
// value is safe to compress. A Memo or OLE value is written inline only when it fits a memo's inline
// form; `rawLongValues`, when given, supplies stored bytes to copy unchanged for those columns (by
// position; an empty entry means "encode the value"). Throws jet::Error for a value that does not fit its
// column (text longer than its size) or a row longer than kMaxRowSize.
std::vector<uint8_t> encodeRow(const TableDef& table, const std::vector<Value>& values,
                               const std::vector<std::vector<uint8_t>>* rawLongValues = nullptr);

// Text column helpers (UCS-2 with optional compression).
std::u16string decodeText(ByteView bytes);
std::vector<uint8_t> encodeText(const std::u16string& text, bool compressible);

}  // namespace jet
