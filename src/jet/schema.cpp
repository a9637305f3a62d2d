// Table definition helpers.
#include "jet/schema.h"

#include "jet/error.h"

namespace jet {

const char* columnTypeName(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean: return "Boolean";
    case ColumnType::Byte: return "Byte";
    case ColumnType::Integer: return "Integer";
    case ColumnType::Long: return "Long";
    case ColumnType::Currency: return "Currency";
    case ColumnType::Single: return "Single";
    case ColumnType::Double: return "Double";
    case ColumnType::DateTime: return "DateTime";
    case ColumnType::Binary: return "Binary";
    case ColumnType::Text: return "Text";
    case ColumnType::OLE: return "OLE";
    case ColumnType::Memo: return "Memo";
    case ColumnType::GUID: return "GUID";
    case ColumnType::Numeric: return "Numeric";
    }
    return "unknown";
}

namespace {

// Jet compares object names without regard to case. Folding ASCII and Latin-1 letters covers the names
// this program meets; other characters compare exactly.
char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return char16_t(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
    return c;
}

constexpr uint32_t kDefFirstPageBytes = 4096;      // the first TDEF page is kept whole
constexpr uint32_t kDefContinuationBytes = 4096 - 8;  // continuation pages from offset 8

}  // namespace

int TableDef::findColumn(std::u16string_view wanted) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::u16string& have = columns[i].name;
        if (have.size() != wanted.size()) continue;
        bool same = true;
        for (size_t k = 0; k < have.size() && same; ++k) same = foldCase(have[k]) == foldCase(wanted[k]);
        if (same) return int(i);
    }
    return -1;
}

DefLocation locateInDefinition(const TableDef& def, uint32_t offset) {
    // The first page holds raw[0..4096); each continuation page holds the next 4088 bytes from its offset 8.
    if (def.tdefPages.empty()) throw Error("table definition has no pages");
    if (offset < kDefFirstPageBytes) return {def.tdefPages[0], offset};
    uint32_t rest = offset - kDefFirstPageBytes;
    size_t index = 1 + rest / kDefContinuationBytes;
    if (index >= def.tdefPages.size())
        throw Error("offset " + std::to_string(offset) + " lies past the end of the table definition");
    return {def.tdefPages[index], 8 + rest % kDefContinuationBytes};
}

}  // namespace jet
