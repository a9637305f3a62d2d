// Layout of data pages (type 0x01): header, row-offset table and rows packed from the end of the page.
#pragma once

#include <cstdint>
#include <string>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/page_store.h"

namespace jet::detail {

constexpr uint8_t kDataPageType = 0x01;
constexpr uint8_t kTdefPageType = 0x02;
constexpr uint8_t kIndexNodeType = 0x03;
constexpr uint8_t kIndexLeafType = 0x04;
constexpr uint8_t kMapPageType = 0x05;

constexpr size_t kFreeSpaceOffset = 0x02;
constexpr size_t kOwnerOffset = 0x04;
constexpr size_t kRowCountOffset = 0x0C;
constexpr size_t kRowTableOffset = 0x0E;
constexpr uint32_t kEmptyPageFree = kPageSize - kRowTableOffset;  // 4082

constexpr uint16_t kDeletedFlag = 0x8000;
constexpr uint16_t kLookupFlag = 0x4000;
constexpr uint16_t kOffsetMask = 0x1FFF;
constexpr unsigned kMaxRowsPerPage = 255;

// Where one slot's bytes lie on a data page.
struct RowSlot {
    uint16_t start = 0;
    uint16_t end = 0;
    uint16_t flags = 0;  // the high bits of the offset entry
    bool deleted() const { return (flags & (kDeletedFlag | kLookupFlag)) == (kDeletedFlag | kLookupFlag); }
    bool pointer() const { return flags == kLookupFlag; }
    bool overflowTarget() const { return flags == kDeletedFlag; }
};

inline unsigned slotCount(const uint8_t* page) { return get16(page + kRowCountOffset); }

// The checked bounds of slot `slot`: row i runs from its start to the start of row i-1 (or the page end).
inline RowSlot rowSlot(const uint8_t* page, uint32_t pageNumber, unsigned slot) {
    unsigned count = slotCount(page);
    auto damaged = [&](const std::string& why) {
        return Error("data page " + std::to_string(pageNumber) + " is damaged: " + why);
    };
    if (count > (kPageSize - kRowTableOffset) / 2) throw damaged("its row count is impossible");
    if (slot >= count) throw damaged("row " + std::to_string(slot) + " does not exist");
    uint16_t entry = get16(page + kRowTableOffset + 2 * slot);
    RowSlot r;
    r.flags = entry & ~kOffsetMask;
    r.start = entry & kOffsetMask;
    r.end = slot == 0 ? uint16_t(kPageSize) : uint16_t(get16(page + kRowTableOffset + 2 * (slot - 1)) & kOffsetMask);
    if (r.start < kRowTableOffset + 2 * count || r.start > r.end || r.end > kPageSize)
        throw damaged("row " + std::to_string(slot) + " lies outside the page");
    return r;
}

inline ByteView rowBytes(const uint8_t* page, uint32_t pageNumber, const RowSlot& slot) {
    return ByteView(page + slot.start, size_t(slot.end - slot.start),
                    "row on page " + std::to_string(pageNumber));
}

}  // namespace jet::detail
