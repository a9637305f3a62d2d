// Memo and OLE values: the 12-byte field stored in the row and the long-value pages it may point to.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/page_store.h"
#include "jet/rows.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet::detail {

constexpr size_t kLongValueHeader = 12;
constexpr uint32_t kLongValueInline = 0x80000000u;
constexpr uint32_t kLongValueSinglePage = 0x40000000u;
constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFFu;
// Jet compresses a memo only when it has at most this many characters.
constexpr size_t kMaxCompressedMemo = 1024;

// The bytes a Memo (encoded text) or OLE value stores, without the 12-byte field header.
std::vector<uint8_t> longValueData(const Column& column, const Value& value);
// The whole value of a stored field: inline, on one long-value page, or along a chain of them. With `parts`,
// each part read is recorded there, and a part already recorded (another value of the same pass holds it)
// is refused naming `column`.
std::vector<uint8_t> readLongValue(ByteView field, const PageStore& pages, LongValueParts* parts = nullptr,
                                   const Column* column = nullptr);

}  // namespace jet::detail
