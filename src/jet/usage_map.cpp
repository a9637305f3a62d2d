// Usage maps: inline bitmaps (type 0) and maps spread over bitmap pages (type 1).
#include "jet/usage_map.h"

#include <string>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/error.h"

namespace jet {

namespace {

using namespace detail;

constexpr uint8_t kInlineMap = 0x00;
constexpr uint8_t kReferenceMap = 0x01;
constexpr size_t kInlineBitmapOffset = 5;
constexpr size_t kMapPageBitmapOffset = 4;
constexpr uint32_t kPagesPerMapPage = (kPageSize - kMapPageBitmapOffset) * 8;  // 32,736

std::string mapName(MapRef map) {
    return "the usage map in row " + std::to_string(map.row) + " of page " + std::to_string(map.page);
}

// The map's row on its page.
RowSlot mapRow(const PageStore& pages, MapRef map) {
    if (map.page >= pages.pageCount())
        throw Error(mapName(map) + " lies past the end of the file");
    const uint8_t* page = pages.page(map.page);
    if (page[0] != kDataPageType) throw Error(mapName(map) + " is not on a data page");
    RowSlot slot = rowSlot(page, map.page, map.row);
    if (size_t(slot.end - slot.start) < kInlineBitmapOffset) throw Error(mapName(map) + " is damaged: it is too short");
    return slot;
}

void appendBits(std::vector<uint32_t>& out, const uint8_t* bitmap, size_t size, uint64_t first, uint32_t limit) {
    for (size_t i = 0; i < size; ++i) {
        if (bitmap[i] == 0) continue;
        for (int b = 0; b < 8; ++b) {
            if (!(bitmap[i] >> b & 1)) continue;
            uint64_t page = first + i * 8 + b;
            if (page < limit) out.push_back(uint32_t(page));
        }
    }
}

// Turns an inline map into a reference map whose bitmap pages cover every page the map marks plus `page`.
// The bitmap pages are new pages of the file, taken from the global map.
void promoteToReference(PageStore& pages, MapRef map, uint32_t page);

}  // namespace

std::vector<uint32_t> readUsageMap(const PageStore& pages, MapRef map) {
    RowSlot slot = mapRow(pages, map);
    const uint8_t* row = pages.page(map.page) + slot.start;
    size_t size = slot.end - slot.start;
    std::vector<uint32_t> out;
    if (row[0] == kInlineMap) {
        uint32_t start = get32(row + 1);
        appendBits(out, row + kInlineBitmapOffset, size - kInlineBitmapOffset, start, pages.pageCount());
    } else if (row[0] == kReferenceMap) {
        for (size_t i = 0; 1 + 4 * i + 4 <= size; ++i) {
            uint32_t mapPage = get32(row + 1 + 4 * i);
            if (mapPage == 0) continue;
            if (mapPage >= pages.pageCount())
                throw Error(mapName(map) + " is damaged: it refers to page " + std::to_string(mapPage) +
                            ", which does not exist");
            const uint8_t* bitmap = pages.page(mapPage);
            if (bitmap[0] != kMapPageType)
                throw Error(mapName(map) + " is damaged: page " + std::to_string(mapPage) + " is not a bitmap page");
            appendBits(out, bitmap + kMapPageBitmapOffset, kPageSize - kMapPageBitmapOffset,
                       uint64_t(i) * kPagesPerMapPage, pages.pageCount());
        }
    } else {
        throw Error(mapName(map) + " is damaged: unknown map kind " + std::to_string(row[0]));
    }
    return out;
}

namespace {

void setBit(uint8_t* bitmap, uint32_t bit, bool set) {
    if (set)
        bitmap[bit / 8] |= uint8_t(1u << (bit % 8));
    else
        bitmap[bit / 8] &= uint8_t(~(1u << (bit % 8)));
}

void promoteToReference(PageStore& pages, MapRef map, uint32_t page) {
    RowSlot slot = mapRow(pages, map);
    size_t size = slot.end - slot.start;
    std::vector<uint32_t> marked = readUsageMap(pages, map);
    marked.push_back(page);
    size_t pointers = (size - 1) / 4;
    uint32_t highest = 0;
    for (uint32_t p : marked) highest = std::max(highest, p);
    if (highest / kPagesPerMapPage >= pointers)
        throw Error(mapName(map) + " cannot track page " + std::to_string(page));

    // New bitmap pages come from the end of the file; they are recorded as used in the global map.
    std::vector<uint32_t> bitmapPages(pointers, 0);
    for (uint32_t p : marked) {
        size_t i = p / kPagesPerMapPage;
        if (bitmapPages[i] == 0) {
            uint32_t fresh = pages.appendPage();
            uint8_t* bytes = pages.writablePage(fresh);
            bytes[0] = kMapPageType;
            bytes[1] = 0x01;
            bitmapPages[i] = fresh;
            setInUsageMap(pages, kGlobalUsageMap, fresh, false);
        }
    }
    for (uint32_t p : marked)
        setBit(pages.writablePage(bitmapPages[p / kPagesPerMapPage]) + kMapPageBitmapOffset, p % kPagesPerMapPage,
               true);
    uint8_t* row = pages.writablePage(map.page) + slot.start;
    std::fill(row, row + size, uint8_t(0));
    row[0] = kReferenceMap;
    for (size_t i = 0; i < pointers; ++i) put32(row + 1 + 4 * i, bitmapPages[i]);
}

// In the global map, pages at or past the end of the file are marked free.
void markPastEnd(const PageStore& pages, uint8_t* bitmapPage, uint64_t first) {
    for (uint32_t bit = 0; bit < kPagesPerMapPage; ++bit)
        if (first + bit >= pages.pageCount()) setBit(bitmapPage + kMapPageBitmapOffset, bit, true);
}

// The global map outgrew its inline window: move it to bitmap pages, keeping every free page free.
void promoteGlobal(PageStore& pages, uint32_t taken) {
    MapRef map = kGlobalUsageMap;
    RowSlot slot = mapRow(pages, map);
    size_t size = slot.end - slot.start;
    std::vector<uint32_t> free = readUsageMap(pages, map);
    if (size < 5 || taken / kPagesPerMapPage >= (size - 1) / 4)
        throw Error("the global usage map cannot track page " + std::to_string(taken));
    if (pages.pageCount() >= kPagesPerMapPage)
        throw Error("the global usage map cannot track page " + std::to_string(taken));
    uint32_t bitmapPage = pages.appendPage();
    uint8_t* bytes = pages.writablePage(bitmapPage);
    bytes[0] = kMapPageType;
    bytes[1] = 0x01;
    markPastEnd(pages, bytes, 0);
    for (uint32_t p : free)
        if (p < kPagesPerMapPage) setBit(bytes + kMapPageBitmapOffset, p, true);
    setBit(bytes + kMapPageBitmapOffset, bitmapPage, false);
    uint8_t* row = pages.writablePage(map.page) + slot.start;
    std::fill(row, row + size, uint8_t(0));
    row[0] = kReferenceMap;
    put32(row + 1, bitmapPage);
    setInUsageMap(pages, map, taken, false);
}

}  // namespace

void setInUsageMap(PageStore& pages, MapRef map, uint32_t page, bool set) {
    const bool global = map == kGlobalUsageMap;
    RowSlot slot = mapRow(pages, map);
    size_t size = slot.end - slot.start;
    const uint8_t* row = pages.page(map.page) + slot.start;

    if (row[0] == kReferenceMap) {
        size_t i = page / kPagesPerMapPage;
        if (1 + 4 * i + 4 > size) throw Error(mapName(map) + " cannot track page " + std::to_string(page));
        uint32_t mapPage = get32(row + 1 + 4 * i);
        if (mapPage == 0) {
            if (!set && !global) return;  // an absent bitmap page marks nothing
            mapPage = pages.appendPage();
            uint8_t* bytes = pages.writablePage(mapPage);
            bytes[0] = kMapPageType;
            bytes[1] = 0x01;
            if (global) markPastEnd(pages, bytes, uint64_t(i) * kPagesPerMapPage);
            put32(pages.writablePage(map.page) + slot.start + 1 + 4 * i, mapPage);
            setInUsageMap(pages, kGlobalUsageMap, mapPage, false);
        }
        if (mapPage >= pages.pageCount() || pages.page(mapPage)[0] != kMapPageType)
            throw Error(mapName(map) + " is damaged: its bitmap page " + std::to_string(mapPage) + " is not one");
        setBit(pages.writablePage(mapPage) + kMapPageBitmapOffset, page % kPagesPerMapPage, set);
        return;
    }
    if (row[0] != kInlineMap) throw Error(mapName(map) + " is damaged: unknown map kind " + std::to_string(row[0]));

    uint32_t start = get32(row + 1);
    uint32_t bits = uint32_t(size - kInlineBitmapOffset) * 8;
    if (page >= start && page - start < bits) {
        setBit(pages.writablePage(map.page) + slot.start + kInlineBitmapOffset, page - start, set);
        return;
    }
    if (global) {
        // Pages outside the global map's window count as free, so a page taken there needs a larger map.
        if (set) return;
        promoteGlobal(pages, page);
        return;
    }
    if (!set) return;  // not marked, nothing to clear

    // Re-base the window when every marked page and the new one fit in it; otherwise spread the map.
    std::vector<uint32_t> marked = readUsageMap(pages, map);
    uint32_t low = page, high = page;
    for (uint32_t p : marked) { low = std::min(low, p); high = std::max(high, p); }
    uint32_t newStart = low - low % 8;
    if (high - newStart < bits) {
        uint8_t* out = pages.writablePage(map.page) + slot.start;
        std::fill(out + kInlineBitmapOffset, out + size, uint8_t(0));
        put32(out + 1, newStart);
        for (uint32_t p : marked) setBit(out + kInlineBitmapOffset, p - newStart, true);
        setBit(out + kInlineBitmapOffset, page - newStart, true);
        return;
    }
    promoteToReference(pages, map, page);
}

uint32_t allocatePage(PageStore& pages, MapRef ownerMap) {
    uint32_t page = pages.appendPage();
    setInUsageMap(pages, kGlobalUsageMap, page, false);
    setInUsageMap(pages, ownerMap, page, true);
    return page;
}

}  // namespace jet
