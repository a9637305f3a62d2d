// Row encoding and decoding.
#include "jet/rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/tdef.h"

namespace jet {

using namespace detail;

namespace {

std::string columnLabel(const Column& c) { return "column " + toUtf8(c.name); }

// The parts of a stored row, checked. Reading it allocates nothing: a scan reads one per row.
struct RowLayout {
    unsigned columnCount = 0;  // columns the row was written with
    size_t nullMask = 0;       // offset of the null mask
    unsigned varCount = 0;     // variable columns the row was written with
    size_t countAt = 0;        // offset of the variable column count; the start offsets lie below it
    size_t eodAt = 0;          // offset of the end of the variable data

    // Start of variable position i; position varCount gives the end of the variable data.
    uint16_t varStart(const ByteView& row, unsigned i) const {
        return i < varCount ? row.u16(countAt - 2 * (size_t(i) + 1)) : row.u16(eodAt);
    }
};

// Reads the layout of a row. With `checkAll`, every variable offset is checked to lie in order inside the
// row (decoding the whole row); without, the caller checks the two offsets of the column it reads.
RowLayout readLayout(const TableDef& table, const ByteView& row, bool checkAll = true) {
    RowLayout layout;
    layout.columnCount = row.u16(0);
    size_t maskSize = (layout.columnCount + 7) / 8;
    if (row.size() < 2 + maskSize) throw Error(row.what() + " is damaged: it is shorter than its null mask");
    layout.nullMask = row.size() - maskSize;
    if (table.varColumns == 0) return layout;  // no variable section at all

    if (layout.nullMask < 4) throw Error(row.what() + " is damaged: it has no room for its variable columns");
    layout.countAt = layout.nullMask - 2;
    layout.varCount = row.u16(layout.countAt);
    if (size_t(layout.varCount) * 2 + 2 > layout.countAt)
        throw Error(row.what() + " is damaged: its variable column count is impossible");
    layout.eodAt = layout.countAt - 2 * (size_t(layout.varCount) + 1);
    if (!checkAll) return layout;
    uint16_t previous = 0;
    for (unsigned i = 0; i <= layout.varCount; ++i) {
        uint16_t start = layout.varStart(row, i);
        if (start < previous || start > layout.eodAt)
            throw Error(row.what() + " is damaged: its variable column offsets are out of order");
        previous = start;
    }
    return layout;
}

bool notNull(const RowLayout& layout, const ByteView& row, uint16_t number) {
    if (number >= layout.columnCount) return false;
    return (row.u8(layout.nullMask + number / 8) >> (number % 8)) & 1;
}

// The bytes of variable column `c` into `out`; false when it is null or absent from the row.
bool varBytes(const RowLayout& layout, const ByteView& row, const Column& c, ByteView& out) {
    if (!notNull(layout, row, c.number) || c.varIndex >= layout.varCount) return false;
    uint16_t start = layout.varStart(row, c.varIndex), end = layout.varStart(row, c.varIndex + 1u);
    out = row.sub(start, end - start);
    return true;
}

// The bytes of fixed column `c` (already known to be present): fixedWidth(c) of them, checked to lie inside
// the row.
const uint8_t* fixedField(const RowLayout& layout, const ByteView& row, const Column& c) {
    size_t width = fixedWidth(c);
    if (2 + size_t(c.fixedOffset) + width > layout.nullMask)
        throw Error(row.what() + " is damaged: " + columnLabel(c) + " lies outside the row");
    return row.data() + 2 + c.fixedOffset;
}

// Text bytes (compressed or UCS-2) at `p` into `out`, replacing what it held but keeping its storage;
// damage is reported as part of `owner`.
void decodeTextInto(const uint8_t* p, size_t size, const ByteView& owner, std::u16string& out) {
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        if (std::memchr(p + 2, 0, size - 2) == nullptr) {  // the usual case: one byte per character throughout
            out.resize(size - 2);
            for (size_t i = 2; i < size; ++i) out[i - 2] = char16_t(p[i]);
            return;
        }
        // Compressed: one byte per character, a zero byte switching to two-byte characters and back.
        out.resize(size);  // never more characters than bytes
        size_t length = 0;
        bool compressed = true;
        size_t i = 2;
        while (i < size) {
            uint8_t b = p[i];
            if (b == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out[length++] = char16_t(b);
                ++i;
            } else {
                if (i + 1 >= size) throw Error(owner.what() + " is damaged: compressed text ends inside a character");
                out[length++] = char16_t(get16(p + i));
                i += 2;
            }
        }
        out.resize(length);
        return;
    }
    if (size % 2 != 0) throw Error(owner.what() + " is damaged: text has an odd number of bytes");
    out.resize(size / 2);
    for (size_t i = 0; i < size / 2; ++i) out[i] = char16_t(get16(p + 2 * i));
}

// A fixed column's value from its fixedWidth(c) bytes at `p`, inside `row`.
Value decodeFixed(const Column& c, const uint8_t* p, const ByteView& row) {
    switch (c.type) {
    case ColumnType::Byte: return int64_t(p[0]);
    case ColumnType::Integer: return int64_t(int16_t(get16(p)));
    case ColumnType::Long: return int64_t(int32_t(get32(p)));
    case ColumnType::Currency: {
        int64_t v = int64_t(uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32));
        return Currency{v};
    }
    case ColumnType::Single: {
        uint32_t bits = get32(p);
        float f;
        std::memcpy(&f, &bits, 4);
        return double(f);
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
        uint64_t bits = uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32);
        double d;
        std::memcpy(&d, &bits, 8);
        if (c.type == ColumnType::DateTime) return DateTime{d};
        return d;
    }
    case ColumnType::GUID: {
        Guid g;
        std::memcpy(g.bytes.data(), p, 16);
        return g;
    }
    case ColumnType::Numeric: {
        Numeric n;
        n.precision = c.precision;
        n.scale = c.scale;
        n.negative = (p[0] & 0x80) != 0;
        std::memcpy(n.magnitude.data(), p + 1, 16);
        return n;
    }
    case ColumnType::Text: {
        Value text = std::u16string();
        decodeTextInto(p, fixedWidth(c), row, std::get<std::u16string>(text));
        return text;
    }
    case ColumnType::Binary: return Bytes(p, p + fixedWidth(c));
    default: break;
    }
    throw Error(columnLabel(c) + " has a type this engine cannot read (" + std::to_string(int(c.type)) + ")");
}

// A variable-length value; `pages` may be null unless it is a Memo or OLE field that is not empty.
Value decodeVariable(const Column& c, const ByteView& field, const PageStore* pages, LongValueParts* parts) {
    auto longValue = [&] { return field.size() ? readLongValue(field, *pages, parts, &c) : std::vector<uint8_t>(); };
    switch (c.type) {
    case ColumnType::Text: return decodeText(field);
    case ColumnType::Binary: return Bytes(field.data(), field.data() + field.size());
    case ColumnType::Memo: {
        std::vector<uint8_t> data = longValue();
        return decodeText(ByteView(data.data(), data.size(), field.what()));
    }
    case ColumnType::OLE: return longValue();
    default: break;
    }
    throw Error(columnLabel(c) + " has a type this engine cannot read (" + std::to_string(int(c.type)) + ")");
}

[[noreturn]] void wrongValue(const Column& c, const char* expected) {
    throw Error(columnLabel(c) + " needs " + expected);
}

int64_t integerValue(const Column& c, const Value& v, int64_t low, int64_t high) {
    const int64_t* i = std::get_if<int64_t>(&v);
    if (!i) wrongValue(c, "a whole number");
    if (*i < low || *i > high)
        throw Error(columnLabel(c) + " cannot hold " + std::to_string(*i) + " (it takes " + std::to_string(low) +
                    " to " + std::to_string(high) + ")");
    return *i;
}

double realValue(const Column& c, const Value& v) {
    if (const double* d = std::get_if<double>(&v)) return *d;
    if (const int64_t* i = std::get_if<int64_t>(&v)) return double(*i);
    wrongValue(c, "a number");
}

void encodeFixed(const Column& c, const Value& v, uint8_t* out) {
    switch (c.type) {
    case ColumnType::Byte: out[0] = uint8_t(integerValue(c, v, 0, 255)); return;
    case ColumnType::Integer: put16(out, uint32_t(integerValue(c, v, -32768, 32767))); return;
    case ColumnType::Long: put32(out, uint32_t(integerValue(c, v, INT32_MIN, INT32_MAX))); return;
    case ColumnType::Currency: {
        const Currency* m = std::get_if<Currency>(&v);
        if (!m) wrongValue(c, "a currency amount");
        put32(out, uint32_t(uint64_t(m->tenThousandths)));
        put32(out + 4, uint32_t(uint64_t(m->tenThousandths) >> 32));
        return;
    }
    case ColumnType::Single: {
        float f = float(realValue(c, v));
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(out, bits);
        return;
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
        double d;
        if (c.type == ColumnType::DateTime) {
            const DateTime* t = std::get_if<DateTime>(&v);
            if (!t) wrongValue(c, "a date");
            d = t->oleDays;
        } else {
            d = realValue(c, v);
        }
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        put32(out, uint32_t(bits));
        put32(out + 4, uint32_t(bits >> 32));
        return;
    }
    case ColumnType::GUID: {
        const Guid* g = std::get_if<Guid>(&v);
        if (!g) wrongValue(c, "a GUID");
        std::memcpy(out, g->bytes.data(), 16);
        return;
    }
    case ColumnType::Numeric: {
        const Numeric* n = std::get_if<Numeric>(&v);
        if (!n) wrongValue(c, "a decimal number");
        out[0] = n->negative ? 0x80 : 0x00;
        std::memcpy(out + 1, n->magnitude.data(), 16);
        return;
    }
    default: break;
    }
    throw Error(columnLabel(c) + " has a type this engine cannot write (" + std::to_string(int(c.type)) + ")");
}

std::vector<uint8_t> encodeVariable(const Column& c, const Value& v) {
    switch (c.type) {
    case ColumnType::Text: {
        const std::u16string* s = std::get_if<std::u16string>(&v);
        if (!s) wrongValue(c, "text");
        if (s->size() * 2 > c.length)
            throw Error(columnLabel(c) + " holds at most " + std::to_string(c.length / 2) + " characters, not " +
                        std::to_string(s->size()));
        return encodeText(*s, (c.extraFlags & 0x01) != 0);
    }
    case ColumnType::Binary: {
        const Bytes* b = std::get_if<Bytes>(&v);
        if (!b) wrongValue(c, "binary data");
        if (b->size() > c.length)
            throw Error(columnLabel(c) + " holds at most " + std::to_string(c.length) + " bytes, not " +
                        std::to_string(b->size()));
        return *b;
    }
    case ColumnType::Memo:
    case ColumnType::OLE: {
        std::vector<uint8_t> data = longValueData(c, v);
        std::vector<uint8_t> field(kLongValueHeader);
        put32(field.data(), uint32_t(data.size()) | kLongValueInline);
        field.insert(field.end(), data.begin(), data.end());
        return field;
    }
    default: break;
    }
    throw Error(columnLabel(c) + " has a type this engine cannot write (" + std::to_string(int(c.type)) + ")");
}

}  // namespace

namespace detail {

std::vector<uint8_t> longValueData(const Column& c, const Value& v) {
    if (c.type == ColumnType::Memo) {
        const std::u16string* s = std::get_if<std::u16string>(&v);
        if (!s) wrongValue(c, "text");
        return encodeText(*s, (c.extraFlags & 0x01) != 0 && s->size() <= kMaxCompressedMemo);
    }
    const Bytes* b = std::get_if<Bytes>(&v);
    if (!b) wrongValue(c, "binary data");
    if (b->size() > kLongValueLengthMask) throw Error(columnLabel(c) + " cannot hold a value this large");
    return *b;
}

std::vector<uint8_t> readLongValue(ByteView field, const PageStore& pages, LongValueParts* parts,
                                   const Column* column) {
    if (field.size() == 0) return {};
    uint32_t header = field.u32(0);
    size_t length = header & kLongValueLengthMask;
    if (header & kLongValueInline) {
        const uint8_t* p = field.at(kLongValueHeader, length);
        return std::vector<uint8_t>(p, p + length);
    }
    uint32_t pointer = field.u32(4);
    std::vector<uint8_t> out;
    std::set<uint32_t> seen;
    bool single = (header & kLongValueSinglePage) != 0;
    while (out.size() < length) {
        if (pointer == 0 || !seen.insert(pointer).second)
            throw Error(field.what() + " is damaged: its long value chain ends early or loops");
        uint32_t pageNumber = pointer >> 8;
        if (pageNumber >= pages.pageCount())
            throw Error(field.what() + " is damaged: its long value lies on page " + std::to_string(pageNumber) +
                        ", which does not exist");
        const uint8_t* page = pages.page(pageNumber);
        if (page[0] != kDataPageType)
            throw Error(field.what() + " is damaged: its long value page " + std::to_string(pageNumber) +
                        " is not a data page");
        RowSlot slot = rowSlot(page, pageNumber, pointer & 0xFF);
        if (parts && !parts->add(pointer))
            throw Error(field.what() + " is damaged: " + (column ? columnLabel(*column) : "a long value") +
                        " shares long-value row " + std::to_string(pointer & 0xFF) + " of page " +
                        std::to_string(pageNumber) + " with another value");
        ByteView part = rowBytes(page, pageNumber, slot);
        if (single) {
            if (part.size() < length) throw Error(field.what() + " is damaged: its long value is cut short");
            out.assign(part.data(), part.data() + length);
            break;
        }
        if (part.size() < 4) throw Error(field.what() + " is damaged: a long value part is too short");
        size_t take = std::min(part.size() - 4, length - out.size());
        if (take == 0 && out.size() < length)
            throw Error(field.what() + " is damaged: a long value part is empty");
        out.insert(out.end(), part.data() + 4, part.data() + 4 + take);
        pointer = part.u32(0);
    }
    return out;
}

}  // namespace detail

bool LongValueParts::add(uint32_t part) {
    if (2 * (count_ + 1) > slots_.size()) {  // keep the table at most half full
        std::vector<uint32_t> old = std::move(slots_);
        slots_.assign(std::max<size_t>(64, 2 * old.size()), 0);
        count_ = 0;
        for (uint32_t p : old)
            if (p != 0) add(p);
    }
    size_t mask = slots_.size() - 1;
    for (size_t i = size_t((uint64_t(part) * 0x9E3779B97F4A7C15u) >> 32) & mask;; i = (i + 1) & mask) {
        if (slots_[i] == part) {
            shared_ = true;
            return false;
        }
        if (slots_[i] == 0) {
            slots_[i] = part;
            ++count_;
            return true;
        }
    }
}

std::u16string decodeText(ByteView bytes) {
    std::u16string out;
    decodeTextInto(bytes.data(), bytes.size(), bytes, out);
    return out;
}

std::vector<uint8_t> encodeText(const std::u16string& text, bool compressible) {
    bool compress = compressible && text.size() > 2;
    for (size_t i = 0; compress && i < text.size(); ++i) compress = text[i] >= 0x01 && text[i] <= 0xFF;
    std::vector<uint8_t> out;
    if (compress) {
        out.reserve(text.size() + 2);
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char16_t c : text) out.push_back(uint8_t(c));
        return out;
    }
    out.resize(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) put16(out.data() + 2 * i, text[i]);
    return out;
}

namespace {

// The values of a row into `values`, reusing the texts it holds; without `pages`, memo and OLE values are left
// null unless their field is empty.
void decodeValues(const TableDef& table, const ByteView& row, const PageStore* pages, LongValueParts* parts,
                  std::vector<Value>& values) {
    RowLayout layout = readLayout(table, row);
    values.resize(table.columns.size());
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        Value& value = values[i];
        if (c.type == ColumnType::Boolean) {
            value = notNull(layout, row, c.number);
        } else if (!notNull(layout, row, c.number)) {
            value = std::monostate{};
        } else if (c.type == ColumnType::Text && !c.isFixed()) {
            // The common case, decoded straight into the row's own string.
            if (c.varIndex >= layout.varCount) {
                value = std::monostate{};
                continue;
            }
            size_t start = layout.varStart(row, c.varIndex), end = layout.varStart(row, c.varIndex + 1u);
            std::u16string* text = std::get_if<std::u16string>(&value);
            decodeTextInto(row.data() + start, end - start, row, text ? *text : value.emplace<std::u16string>());
        } else if (c.isFixed()) {
            value = decodeFixed(c, fixedField(layout, row, c), row);
        } else {
            ByteView field;
            if (varBytes(layout, row, c, field) && (pages || !c.isLongValue() || field.size() == 0))
                value = decodeVariable(c, field, pages, parts);
            else
                value = std::monostate{};
        }
    }
}

}  // namespace

std::vector<Value> decodeRow(const TableDef& table, ByteView row, const PageStore& pages, LongValueParts* parts) {
    std::vector<Value> values;
    decodeValues(table, row, &pages, parts, values);
    return values;
}

void decodeRow(const TableDef& table, const ByteView& row, const PageStore& pages, LongValueParts* parts,
               std::vector<Value>& out) {
    decodeValues(table, row, &pages, parts, out);
}

std::vector<Value> decodeRowWithoutLongValues(const TableDef& table, ByteView row) {
    std::vector<Value> values;
    decodeValues(table, row, nullptr, nullptr, values);
    return values;
}

Value decodeColumn(const TableDef& table, const ByteView& row, size_t column, const PageStore& pages,
                   LongValueParts* parts) {
    if (column >= table.columns.size()) throw Error("column position " + std::to_string(column) + " does not exist");
    const Column& c = table.columns[column];
    RowLayout layout = readLayout(table, row);
    if (c.type == ColumnType::Boolean) return notNull(layout, row, c.number);
    if (!notNull(layout, row, c.number)) return std::monostate{};
    if (c.isFixed()) return decodeFixed(c, fixedField(layout, row, c), row);
    ByteView field;
    if (!varBytes(layout, row, c, field)) return std::monostate{};
    return decodeVariable(c, field, &pages, parts);
}

bool readText(const TableDef& table, const ByteView& row, size_t column, std::u16string& out) {
    out.clear();
    if (column >= table.columns.size()) throw Error("column position " + std::to_string(column) + " does not exist");
    const Column& c = table.columns[column];
    if (c.type != ColumnType::Text) throw Error(columnLabel(c) + " is not a Text column");
    RowLayout layout = readLayout(table, row, false);
    if (!notNull(layout, row, c.number)) return false;
    size_t start, end;
    if (c.isFixed()) {
        start = 2 + size_t(c.fixedOffset);
        end = start + fixedWidth(c);
        if (end > layout.nullMask)
            throw Error(row.what() + " is damaged: " + columnLabel(c) + " lies outside the row");
    } else {
        if (c.varIndex >= layout.varCount) return false;
        start = layout.varStart(row, c.varIndex);
        end = layout.varStart(row, c.varIndex + 1u);
        if (start > end || end > layout.eodAt)
            throw Error(row.what() + " is damaged: its variable column offsets are out of order");
    }
    decodeTextInto(row.data() + start, end - start, row, out);
    return true;
}

std::vector<uint8_t> rawColumnBytes(const TableDef& table, ByteView row, size_t column) {
    if (column >= table.columns.size()) throw Error("column position " + std::to_string(column) + " does not exist");
    const Column& c = table.columns[column];
    if (c.isFixed()) return {};
    RowLayout layout = readLayout(table, row);
    ByteView field;
    if (!varBytes(layout, row, c, field)) return {};
    return std::vector<uint8_t>(field.data(), field.data() + field.size());
}

std::vector<uint8_t> encodeRow(const TableDef& table, const std::vector<Value>& values,
                               const std::vector<std::vector<uint8_t>>* rawLongValues) {
    if (values.size() != table.columns.size())
        throw Error("a row of table " + toUtf8(table.name) + " needs " + std::to_string(table.columns.size()) +
                    " values, not " + std::to_string(values.size()));
    if (rawLongValues && rawLongValues->size() != table.columns.size())
        throw Error("stored column bytes do not match the columns of table " + toUtf8(table.name));

    size_t fixedSize = 0;
    unsigned varCount = table.varColumns;
    for (const Column& c : table.columns) {
        if (c.isFixed()) fixedSize = std::max(fixedSize, size_t(c.fixedOffset) + fixedWidth(c));
        else varCount = std::max<unsigned>(varCount, c.varIndex + 1u);
    }
    unsigned columnCount = std::max<unsigned>(table.maxColumns, 1);
    std::vector<uint8_t> row(2 + fixedSize, 0);
    put16(row.data(), columnCount);
    std::vector<uint8_t> mask((columnCount + 7) / 8, 0);
    std::vector<const std::vector<uint8_t>*> varData(varCount, nullptr);
    std::vector<std::vector<uint8_t>> encoded(table.columns.size());

    for (size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        const Value& v = values[i];
        if (c.number >= columnCount) throw Error(columnLabel(c) + " lies past the row's column count");
        bool present = !isNull(v);
        const std::vector<uint8_t>* raw = rawLongValues ? &(*rawLongValues)[i] : nullptr;
        if (c.type == ColumnType::Boolean) {
            const bool* b = std::get_if<bool>(&v);
            if (present && !b) wrongValue(c, "a yes/no value");
            present = b && *b;
        } else if (c.isFixed()) {
            if (present) encodeFixed(c, v, row.data() + 2 + c.fixedOffset);
        } else if (raw && !raw->empty()) {
            present = true;
            varData[c.varIndex] = raw;
        } else if (present) {
            encoded[i] = encodeVariable(c, v);
            varData[c.varIndex] = &encoded[i];
        }
        if (present) mask[c.number / 8] |= uint8_t(1u << (c.number % 8));
    }

    if (table.varColumns > 0 || varCount > 0) {
        std::vector<uint16_t> starts(varCount + 1);
        for (unsigned i = 0; i < varCount; ++i) {
            if (row.size() > kMaxRowSize) break;
            starts[i] = uint16_t(row.size());
            if (varData[i]) row.insert(row.end(), varData[i]->begin(), varData[i]->end());
        }
        if (row.size() > kMaxRowSize)
            throw Error("a row of table " + toUtf8(table.name) + " would take more than " +
                        std::to_string(kMaxRowSize) + " bytes");
        starts[varCount] = uint16_t(row.size());
        uint8_t two[2];
        put16(two, starts[varCount]);
        row.insert(row.end(), two, two + 2);
        for (unsigned i = varCount; i-- > 0;) {
            put16(two, starts[i]);
            row.insert(row.end(), two, two + 2);
        }
        put16(two, varCount);
        row.insert(row.end(), two, two + 2);
    }
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() > kMaxRowSize)
        throw Error("a row of table " + toUtf8(table.name) + " would take more than " + std::to_string(kMaxRowSize) +
                    " bytes");
    return row;
}

}  // namespace jet
