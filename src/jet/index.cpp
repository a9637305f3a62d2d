// Index B-trees: key encoding, reading the tree, and inserting and removing entries.
//
// Page layout (leaf 0x04, node 0x03): 00 type, 01 = 0x01, 02 free space (u16), 04 TDEF page, 0C previous
// page, 10 next page, 14 tail page, 18 shared-prefix length (u16), 1B a 453-byte mask with one bit set at
// the end offset of each entry, 1E0 the entries (at most 3616 bytes). A leaf entry is the key then the row
// pointer (3-byte big-endian page, 1-byte slot). A node entry is the last entry of one child page followed by
// that child's page number (4 bytes, big-endian). A node with more than one child keeps its last child only
// in the tail pointer. Leaves are linked from first to last; node pages are linked only to siblings that
// share their parent. The root page never moves: when it is full its entries move to a new page below it.
//
// Pages are always written without a shared prefix; pages written with one are read correctly.
#include "jet/index.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/general_sort.h"
#include "jet/usage_map.h"

namespace jet::index {

namespace {

constexpr uint8_t kNodePage = 0x03;
constexpr uint8_t kLeafPage = 0x04;
constexpr size_t kOffsetFreeSpace = 0x02;
constexpr size_t kOffsetTdef = 0x04;
constexpr size_t kOffsetPrev = 0x0C;
constexpr size_t kOffsetNext = 0x10;
constexpr size_t kOffsetTail = 0x14;
constexpr size_t kOffsetPrefix = 0x18;
constexpr size_t kOffsetMask = 0x1B;
constexpr size_t kOffsetEntries = 0x1E0;
constexpr size_t kMaskBytes = kOffsetEntries - kOffsetMask;    // 453
constexpr size_t kEntryArea = kPageSize - kOffsetEntries;      // 3616
constexpr size_t kRowPointerBytes = 4;
constexpr size_t kChildPointerBytes = 4;
// Keys longer than this are refused, so that every page split leaves at least two entries on each side.
constexpr size_t kMaxKeyBytes = 1000;
constexpr size_t kMaxDepth = 32;

constexpr uint8_t kAscendingFlag = 0x7F;
constexpr uint8_t kNullAscending = 0x00;

constexpr uint16_t kGeneralSortOrder = 0x0409;

// ---------------------------------------------------------------------------------------------------------
// Ordering: keys compare byte by byte (a key that is a prefix of another sorts first), then the row pointer.

int compareEntries(const Entry& a, const Entry& b) {
    size_t common = std::min(a.key.size(), b.key.size());
    int c = common == 0 ? 0 : std::memcmp(a.key.data(), b.key.data(), common);
    if (c != 0) return c < 0 ? -1 : 1;
    if (a.key.size() != b.key.size()) return a.key.size() < b.key.size() ? -1 : 1;
    if (a.row.page != b.row.page) return a.row.page < b.row.page ? -1 : 1;
    if (a.row.slot != b.row.slot) return a.row.slot < b.row.slot ? -1 : 1;
    return 0;
}
bool entryLess(const Entry& a, const Entry& b) { return compareEntries(a, b) < 0; }

std::string pageName(uint32_t page) { return "index page " + std::to_string(page); }

// ---------------------------------------------------------------------------------------------------------
// One index page in memory.

struct Child {
    Entry last;            // the child's last entry (the key its node entry carries)
    uint32_t page = 0;
    bool lastKnown = true;  // false for a tail child read from disk: its last entry is not stored here
};

struct Page {
    uint32_t number = 0;
    bool leaf = true;
    uint32_t prev = 0, next = 0;
    std::vector<Entry> entries;   // leaf pages
    std::vector<Child> children;  // node pages, in order; the last one is the tail when there are several

    bool empty() const { return leaf ? entries.empty() : children.empty(); }
};

size_t leafEntrySize(const Entry& e) { return e.key.size() + kRowPointerBytes; }
size_t nodeEntrySize(const Entry& e) { return e.key.size() + kRowPointerBytes + kChildPointerBytes; }

// How many children of a node are written as entries (the others: the tail).
size_t writtenChildren(const Page& p) { return p.children.size() <= 1 ? p.children.size() : p.children.size() - 1; }

size_t entryBytes(const Page& p) {
    size_t total = 0;
    if (p.leaf) {
        for (const Entry& e : p.entries) total += leafEntrySize(e);
    } else {
        for (size_t i = 0; i < writtenChildren(p); ++i) total += nodeEntrySize(p.children[i].last);
    }
    return total;
}

Page parsePage(const uint8_t* bytes, uint32_t number, uint32_t tdefPage, uint32_t pageCount) {
    ByteView view(bytes, kPageSize, pageName(number));
    const std::string name = pageName(number);
    uint8_t type = view.u8(0);
    if (type != kLeafPage && type != kNodePage)
        throw Error(name + " is damaged: it is not an index page (type " + std::to_string(type) + ")");
    if (view.u32(kOffsetTdef) != tdefPage)
        throw Error(name + " is damaged: it belongs to the table defined on page " +
                    std::to_string(view.u32(kOffsetTdef)) + ", not " + std::to_string(tdefPage));

    Page page;
    page.number = number;
    page.leaf = type == kLeafPage;
    page.prev = view.u32(kOffsetPrev);
    page.next = view.u32(kOffsetNext);
    uint32_t tail = view.u32(kOffsetTail);
    for (uint32_t link : {page.prev, page.next, page.leaf ? 0u : tail})
        if (link >= pageCount) throw Error(name + " is damaged: it points to page " + std::to_string(link) +
                                           ", past the end of the file");
    size_t prefixLength = view.u16(kOffsetPrefix);
    if (prefixLength > kEntryArea) throw Error(name + " is damaged: its shared-prefix length is too large");

    const size_t pointerBytes = page.leaf ? kRowPointerBytes : kRowPointerBytes + kChildPointerBytes;
    std::vector<uint8_t> prefix;
    std::vector<uint8_t> full;
    size_t start = 0;
    bool first = true;
    const uint8_t* mask = view.at(kOffsetMask, kMaskBytes);
    size_t count = 0;
    for (size_t i = 0; i < kMaskBytes; ++i)
        for (uint8_t b = mask[i]; b != 0; b &= uint8_t(b - 1)) ++count;
    if (page.leaf) page.entries.reserve(count);
    else page.children.reserve(count + 1);
    for (size_t end = 0; end < kMaskBytes * 8; ++end) {
        if (mask[end / 8] == 0) {
            end += 7 - end % 8;
            continue;
        }
        if (!(mask[end / 8] & (1u << (end % 8)))) continue;
        if (end > kEntryArea) throw Error(name + " is damaged: its entry mask runs past the entry area");
        if (end == start) throw Error(name + " is damaged: its entry mask marks an empty entry");
        const uint8_t* raw = view.at(kOffsetEntries + start, end - start);
        size_t rawLength = end - start;
        // The whole entry: the first one is stored whole, later ones without the shared prefix.
        const uint8_t* data = raw;
        size_t size = rawLength;
        if (first) {
            if (prefixLength > rawLength)
                throw Error(name + " is damaged: its shared prefix is longer than its first entry");
            prefix.assign(raw, raw + prefixLength);
        } else if (!prefix.empty()) {
            full = prefix;
            full.insert(full.end(), raw, raw + rawLength);
            data = full.data();
            size = full.size();
        }
        if (size < pointerBytes + 1) throw Error(name + " is damaged: an entry is too short");

        size_t keyLength = size - pointerBytes;
        Entry entry;
        entry.key.assign(data, data + keyLength);
        entry.row.page = get24be(data + keyLength);
        entry.row.slot = data[keyLength + 3];
        // Entries are strictly ascending.
        const Entry* previous = page.leaf ? (page.entries.empty() ? nullptr : &page.entries.back())
                                          : (page.children.empty() ? nullptr : &page.children.back().last);
        if (previous && !entryLess(*previous, entry)) throw Error(name + " is damaged: its entries are out of order");
        if (page.leaf) {
            page.entries.push_back(std::move(entry));
        } else {
            uint32_t child = get32be(data + keyLength + kRowPointerBytes);
            if (child == 0 || child >= pageCount)
                throw Error(name + " is damaged: an entry points to page " + std::to_string(child) +
                            ", which is not in the file");
            page.children.push_back(Child{std::move(entry), child, true});
        }
        start = end;
        first = false;
    }
    if (!page.leaf && tail != 0) page.children.push_back(Child{Entry{}, tail, false});
    return page;
}

void serializePage(uint8_t* out, const Page& page, uint32_t tdefPage) {
    std::memset(out, 0, kPageSize);
    out[0] = page.leaf ? kLeafPage : kNodePage;
    out[1] = 0x01;
    put32(out + kOffsetTdef, tdefPage);
    put32(out + kOffsetPrev, page.prev);
    put32(out + kOffsetNext, page.next);
    uint32_t tail = (!page.leaf && page.children.size() > 1) ? page.children.back().page : 0;
    put32(out + kOffsetTail, tail);
    put16(out + kOffsetPrefix, 0);

    size_t used = 0;
    auto append = [&](const Entry& e, const uint32_t* child) {
        size_t size = e.key.size() + kRowPointerBytes + (child ? kChildPointerBytes : 0);
        if (used + size > kEntryArea) throw Error("internal error: index entries do not fit their page");
        uint8_t* p = out + kOffsetEntries + used;
        std::memcpy(p, e.key.data(), e.key.size());
        put24be(p + e.key.size(), e.row.page);
        p[e.key.size() + 3] = e.row.slot;
        if (child) put32be(p + e.key.size() + kRowPointerBytes, *child);
        used += size;
        out[kOffsetMask + used / 8] |= uint8_t(1u << (used % 8));
    };
    if (page.leaf) {
        for (const Entry& e : page.entries) append(e, nullptr);
    } else {
        for (size_t i = 0; i < writtenChildren(page); ++i) {
            if (!page.children[i].lastKnown) throw Error("internal error: an index node entry has no key");
            append(page.children[i].last, &page.children[i].page);
        }
    }
    put16(out + kOffsetFreeSpace, uint32_t(kEntryArea - used));
}

// ---------------------------------------------------------------------------------------------------------
// The pages of one index, loaded as needed and written back together.

class Tree {
public:
    Tree(const PageStore& pages, const TableDef& table, const RealIndex& index, PageStore* writable = nullptr)
        : pages_(pages), writable_(writable), table_(table), index_(index) {
        if (index.rootPage == 0 || index.rootPage >= pages.pageCount())
            throw Error("index root page " + std::to_string(index.rootPage) + " is not in the file");
        owned_ = readUsageMap(pages, index.usageMap);
        std::sort(owned_.begin(), owned_.end());
    }

    // Reads a page without keeping it (whole-tree walks).
    Page read(uint32_t number) const {
        if (!std::binary_search(owned_.begin(), owned_.end(), number))
            throw Error(pageName(number) + " is damaged or foreign: the index's usage map does not list it");
        return parsePage(pages_.page(number), number, table_.tdefPage, pages_.pageCount());
    }

    // The page, loaded once and kept for changes.
    Page& load(uint32_t number) {
        auto it = cache_.find(number);
        if (it != cache_.end()) return it->second;
        return cache_.emplace(number, read(number)).first->second;
    }

    void touch(const Page& page) { dirty_.insert(page.number); }

    Page& allocate(bool leaf) {
        uint32_t number = allocatePage(*writable_, index_.usageMap);
        owned_.insert(std::upper_bound(owned_.begin(), owned_.end(), number), number);
        Page page;
        page.number = number;
        page.leaf = leaf;
        Page& stored = cache_[number] = std::move(page);
        touch(stored);
        return stored;
    }

    // Takes an empty page out of the tree: unlinks it from its neighbours and gives it back to the file.
    void release(Page& page) {
        if (page.prev != 0) {
            Page& before = load(page.prev);
            if (before.next != page.number) throw linkError(before.number);
            before.next = page.next;
            touch(before);
        }
        if (page.next != 0) {
            Page& after = load(page.next);
            if (after.prev != page.number) throw linkError(after.number);
            after.prev = page.prev;
            touch(after);
        }
        uint32_t number = page.number;
        setInUsageMap(*writable_, index_.usageMap, number, false);
        setInUsageMap(*writable_, kGlobalUsageMap, number, true);
        std::memset(writable_->writablePage(number), 0, kPageSize);
        dirty_.erase(number);
        cache_.erase(number);
    }

    // The last entry below `page` (following the last child of each node down to a leaf).
    Entry lastOf(const Page& page, size_t depth = 0) {
        if (depth > kMaxDepth) throw Error("index is damaged: its tree is too deep or has a loop");
        if (page.empty()) throw Error(pageName(page.number) + " is damaged: it holds no entries");
        if (page.leaf) return page.entries.back();
        const Child& last = page.children.back();
        if (last.lastKnown) return last.last;
        if (last.page == page.number) throw Error(pageName(page.number) + " is damaged: it refers to itself");
        return lastOf(load(last.page), depth + 1);
    }

    // A node with a single child writes it as an entry, which needs that child's last entry.
    void resolveSingleChild(Page& page) {
        if (!page.leaf && page.children.size() == 1 && !page.children[0].lastKnown) {
            page.children[0].last = lastOf(load(page.children[0].page));
            page.children[0].lastKnown = true;
            touch(page);
        }
    }

    void flush() {
        for (uint32_t number : dirty_) {
            Page& page = cache_.at(number);
            resolveSingleChild(page);
        }
        for (uint32_t number : dirty_) serializePage(writable_->writablePage(number), cache_.at(number), table_.tdefPage);
        dirty_.clear();
    }

    Error linkError(uint32_t page) const {
        return Error(pageName(page) + " is damaged: its links to neighbouring pages do not match the tree");
    }

    uint32_t root() const { return index_.rootPage; }
    const PageStore& pages() const { return pages_; }

private:
    const PageStore& pages_;
    PageStore* writable_;
    const TableDef& table_;
    const RealIndex& index_;
    std::vector<uint32_t> owned_;
    std::map<uint32_t, Page> cache_;
    std::set<uint32_t> dirty_;
};

// ---------------------------------------------------------------------------------------------------------
// Reading the whole tree.

struct Walk {
    Tree& tree;
    std::vector<Entry>& out;
    std::set<uint32_t> seen;
    struct LeafLinks { uint32_t page, prev, next; };
    std::vector<LeafLinks> leaves;

    void visit(uint32_t number, size_t depth, const Entry* low, const Entry* high) {
        if (depth > kMaxDepth) throw Error("index is damaged: its tree is deeper than " + std::to_string(kMaxDepth) + " levels");
        if (!seen.insert(number).second)
            throw Error("index is damaged: " + pageName(number) + " is reached twice (a loop in the tree)");
        Page page = tree.read(number);
        auto inRange = [&](const Entry& e) {
            return (!low || entryLess(*low, e)) && (!high || !entryLess(*high, e));
        };
        if (page.leaf) {
            for (Entry& e : page.entries) {
                if (!inRange(e)) throw Error(pageName(number) + " is damaged: it holds entries outside the range its parent gives");
                out.push_back(std::move(e));
            }
            leaves.push_back({number, page.prev, page.next});
            return;
        }
        if (page.children.empty()) throw Error(pageName(number) + " is damaged: a node page without entries");
        for (size_t i = 0; i < page.children.size(); ++i) {
            const Child& child = page.children[i];
            if (child.lastKnown && !inRange(child.last))
                throw Error(pageName(number) + " is damaged: its entries lie outside the range its parent gives");
            const Entry* childLow = i == 0 ? low : &page.children[i - 1].last;
            const Entry* childHigh = child.lastKnown ? &child.last : high;
            visit(child.page, depth + 1, childLow, childHigh);
        }
    }

    void checkLeafChain() const {
        for (size_t i = 0; i < leaves.size(); ++i) {
            uint32_t prev = i == 0 ? 0 : leaves[i - 1].page;
            uint32_t next = i + 1 == leaves.size() ? 0 : leaves[i + 1].page;
            if (leaves[i].prev != prev || leaves[i].next != next)
                throw Error(pageName(leaves[i].page) + " is damaged: its links to neighbouring leaves do not match the tree");
        }
    }
};

// ---------------------------------------------------------------------------------------------------------
// Changing the tree.

struct Step {
    uint32_t page;
    size_t child;  // node pages: which child the path follows
};

// The path from the root to the leaf where `entry` belongs.
std::vector<Step> descend(Tree& tree, const Entry& entry) {
    std::vector<Step> path;
    std::set<uint32_t> onPath;
    uint32_t number = tree.root();
    while (true) {
        if (path.size() > kMaxDepth) throw Error("index is damaged: its tree is too deep");
        if (!onPath.insert(number).second)
            throw Error("index is damaged: " + pageName(number) + " is reached twice (a loop in the tree)");
        Page& page = tree.load(number);
        if (page.leaf) {
            path.push_back({number, 0});
            return path;
        }
        if (page.children.empty()) throw Error(pageName(number) + " is damaged: a node page without entries");
        size_t i = 0;
        while (i + 1 < page.children.size() &&
               !(page.children[i].lastKnown && !entryLess(page.children[i].last, entry)))
            ++i;
        path.push_back({number, i});
        number = page.children[i].page;
    }
}

// The neighbouring entries of a leaf position, following leaf links across pages.
const Entry* entryBefore(Tree& tree, const Page& leaf, size_t pos) {
    if (pos > 0) return &leaf.entries[pos - 1];
    uint32_t number = leaf.prev;
    for (size_t steps = 0; number != 0; ++steps) {
        if (steps > tree.pages().pageCount()) throw Error("index is damaged: its leaf links form a loop");
        Page& page = tree.load(number);
        if (!page.leaf) throw tree.linkError(number);
        if (!page.entries.empty()) return &page.entries.back();
        number = page.prev;
    }
    return nullptr;
}
const Entry* entryAfter(Tree& tree, const Page& leaf, size_t pos) {
    if (pos < leaf.entries.size()) return &leaf.entries[pos];
    uint32_t number = leaf.next;
    for (size_t steps = 0; number != 0; ++steps) {
        if (steps > tree.pages().pageCount()) throw Error("index is damaged: its leaf links form a loop");
        Page& page = tree.load(number);
        if (!page.leaf) throw tree.linkError(number);
        if (!page.entries.empty()) return &page.entries.front();
        number = page.next;
    }
    return nullptr;
}

// Where to cut an over-full page: the end of each piece. `append` keeps the page full for keys added in
// ascending order (the last piece holds only the newest entry).
std::vector<size_t> cutPoints(const std::vector<size_t>& sizes, bool append) {
    size_t total = 0, largest = 0;
    for (size_t s : sizes) { total += s; largest = std::max(largest, s); }
    if (append && sizes.size() >= 2 && total - sizes.back() <= kEntryArea) return {sizes.size() - 1, sizes.size()};
    // Equal pieces, each small enough that one more entry still fits the page.
    size_t limit = kEntryArea - largest;
    size_t pieces = std::max<size_t>(2, (total + limit - 1) / limit);
    size_t target = (total + pieces - 1) / pieces;
    std::vector<size_t> ends;
    size_t current = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        current += sizes[i];
        if (current >= target && i + 1 < sizes.size()) {
            ends.push_back(i + 1);
            current = 0;
        }
    }
    ends.push_back(sizes.size());
    return ends;
}

// Splits the over-full `page`, child number `pos` of `parent`: new pages before it take the first pieces,
// the page keeps the last. Returns the page's new position in `parent`.
size_t split(Tree& tree, Page& page, Page& parent, size_t pos, bool append) {
    std::vector<size_t> sizes;
    if (page.leaf) {
        for (const Entry& e : page.entries) sizes.push_back(leafEntrySize(e));
    } else {
        for (const Child& c : page.children) sizes.push_back(c.lastKnown ? nodeEntrySize(c.last) : 0);
    }
    std::vector<size_t> ends = cutPoints(sizes, append);
    if (ends.size() < 2) throw Error("internal error: an index page cannot be split");

    std::vector<Page*> created;
    size_t begin = 0;
    for (size_t piece = 0; piece + 1 < ends.size(); ++piece) {
        Page& fresh = tree.allocate(page.leaf);
        if (page.leaf) {
            fresh.entries.assign(page.entries.begin() + long(begin), page.entries.begin() + long(ends[piece]));
        } else {
            fresh.children.assign(page.children.begin() + long(begin), page.children.begin() + long(ends[piece]));
        }
        created.push_back(&fresh);
        begin = ends[piece];
    }
    if (page.leaf) page.entries.erase(page.entries.begin(), page.entries.begin() + long(begin));
    else page.children.erase(page.children.begin(), page.children.begin() + long(begin));

    // Child node pages are linked only to siblings under the same parent: cut their links at piece borders.
    if (!page.leaf) {
        std::vector<std::vector<Child>*> groups;
        for (Page* p : created) groups.push_back(&p->children);
        groups.push_back(&page.children);
        for (size_t g = 0; g + 1 < groups.size(); ++g) {
            Page& left = tree.load(groups[g]->back().page);
            Page& right = tree.load(groups[g + 1]->front().page);
            if (left.leaf) break;
            if (left.next == right.number) { left.next = 0; tree.touch(left); }
            if (right.prev == left.number) { right.prev = 0; tree.touch(right); }
        }
    }

    // Link the new pages in before the page.
    uint32_t oldPrev = page.prev;
    if (oldPrev != 0) {
        Page& before = tree.load(oldPrev);
        if (before.next != page.number) throw tree.linkError(oldPrev);
        before.next = created.front()->number;
        tree.touch(before);
    }
    for (size_t i = 0; i < created.size(); ++i) {
        created[i]->prev = i == 0 ? oldPrev : created[i - 1]->number;
        created[i]->next = i + 1 < created.size() ? created[i + 1]->number : page.number;
    }
    page.prev = created.back()->number;
    tree.touch(page);

    // The parent gains one entry per new page, in order, before the page's own.
    std::vector<Child> added;
    for (Page* p : created) {
        tree.resolveSingleChild(*p);
        added.push_back(Child{tree.lastOf(*p), p->number, true});
    }
    parent.children.insert(parent.children.begin() + long(pos), added.begin(), added.end());
    tree.touch(parent);
    return pos + added.size();
}

// After a change to the leaf at the end of `path`, restores every page on the path: removes emptied pages,
// splits over-full ones (the root by moving its entries down a level), and refreshes node entries whose
// child's last entry changed.
void rebalance(Tree& tree, const std::vector<Step>& path, bool append) {
    for (size_t level = path.size(); level-- > 0;) {
        Page& page = tree.load(path[level].page);
        const bool isRoot = level == 0;
        Page* parent = isRoot ? nullptr : &tree.load(path[level - 1].page);
        size_t pos = isRoot ? 0 : path[level - 1].child;

        if (page.empty()) {
            if (isRoot) {
                page.leaf = true;
                page.entries.clear();
                page.children.clear();
                tree.touch(page);
            } else {
                tree.release(page);
                parent->children.erase(parent->children.begin() + long(pos));
                tree.touch(*parent);
            }
            continue;
        }

        tree.resolveSingleChild(page);
        if (entryBytes(page) > kEntryArea) {
            if (isRoot) {
                // The root stays where it is: its contents move to a new page, its only child, which splits.
                Page& below = tree.allocate(page.leaf);
                below.entries = std::move(page.entries);
                below.children = std::move(page.children);
                page.entries.clear();
                page.children.clear();
                page.leaf = false;
                page.children.push_back(Child{tree.lastOf(below), below.number, true});
                size_t at = split(tree, below, page, 0, append);
                page.children[at].last = tree.lastOf(below);
                tree.touch(page);
                continue;
            }
            pos = split(tree, page, *parent, pos, append);
        }

        if (!isRoot) {
            Child& slot = parent->children[pos];
            if (slot.lastKnown) {
                Entry last = tree.lastOf(page);
                if (!(last == slot.last)) {
                    slot.last = std::move(last);
                    tree.touch(*parent);
                }
            }
        }
    }
}

void checkEntry(const Entry& entry) {
    if (entry.key.empty()) throw Error("an index entry needs a key");
    if (entry.key.size() > kMaxKeyBytes)
        throw Error("an index key of " + std::to_string(entry.key.size()) + " bytes is longer than this engine allows (" +
                    std::to_string(kMaxKeyBytes) + ")");
    if (entry.row.page == 0 || entry.row.page > 0xFFFFFF) throw Error("an index entry points to an invalid row page");
}

// ---------------------------------------------------------------------------------------------------------
// Key pieces.

Key nullPiece(bool ascending) { return Key{ascending ? kNullAscending : uint8_t(~kNullAscending)}; }

void invert(Key& key, size_t from = 0) {
    for (size_t i = from; i < key.size(); ++i) key[i] = uint8_t(~key[i]);
}

// A signed integer of `bytes` bytes: 0x7F, big-endian with the sign bit flipped.
Key signedPiece(int64_t value, size_t bytes, bool ascending) {
    Key key{kAscendingFlag};
    for (size_t i = bytes; i-- > 0;) key.push_back(uint8_t(uint64_t(value) >> (8 * i)));
    key[1] ^= 0x80;
    if (!ascending) invert(key);
    return key;
}

std::string indexName(const TableDef& table, const RealIndex& index) {
    for (const LogicalIndex& logical : table.logicalIndexes)
        if (logical.realIndex == index.number) return "index '" + toUtf8(logical.name) + "'";
    return "index number " + std::to_string(index.number);
}

const Column* keyColumn(const TableDef& table, uint16_t number, size_t* position) {
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].number == number) {
            if (position) *position = i;
            return &table.columns[i];
        }
    return nullptr;
}

// Text columns carry the sort order at descriptor offset 11 (u16) and its version at 14; only the legacy
// General order (version 0) is encoded here.
bool isGeneralLegacyText(const TableDef& table, const Column& column) {
    if (column.sortOrder != kGeneralSortOrder) return false;
    size_t versionOffset = size_t(column.descriptorOffset) + 14;
    if (column.descriptorOffset != 0 && versionOffset < table.raw.size() && table.raw[versionOffset] != 0) return false;
    return true;
}

}  // namespace

// -------------------------------------------------------------------------------------------------------------
// Public functions.

Key encodeLongKey(std::optional<int32_t> value, bool ascending) {
    if (!value) return nullPiece(ascending);
    return signedPiece(*value, 4, ascending);
}

Key encodeTextKey(const std::optional<std::u16string>& value, bool ascending) {
    if (!value) return nullPiece(ascending);
    std::vector<uint8_t> body = general_sort::encodeText(*value);
    Key key{kAscendingFlag};
    key.insert(key.end(), body.begin(), body.end());
    if (!ascending) {
        // Descending: the flag and every byte up to and including the closing 0x00 are inverted, and a
        // further 0x00 closes the piece.
        invert(key);
        key.push_back(0x00);
    }
    return key;
}

Key encodeKey(const TableDef& table, const RealIndex& index, const Row& row) {
    if (index.columns.empty()) throw Error(indexName(table, index) + " has no key columns");
    Key key;
    for (const RealIndex::KeyColumn& kc : index.columns) {
        size_t position = 0;
        const Column* column = keyColumn(table, kc.column, &position);
        if (!column)
            throw Error(indexName(table, index) + " refers to column number " + std::to_string(kc.column) +
                        ", which the table does not have");
        if (position >= row.size()) throw Error("the row has no value for column '" + toUtf8(column->name) + "'");
        const Value& value = row[position];
        Key piece;
        auto integer = [&](int64_t low, int64_t high) -> int64_t {
            const int64_t* v = std::get_if<int64_t>(&value);
            if (!v) throw Error("column '" + toUtf8(column->name) + "' needs a whole number for its index key");
            if (*v < low || *v > high)
                throw Error("the value " + std::to_string(*v) + " does not fit column '" + toUtf8(column->name) + "'");
            return *v;
        };
        switch (column->type) {
        case ColumnType::Byte:
            if (isNull(value)) piece = nullPiece(kc.ascending);
            else {
                // Bytes are unsigned: written as they are.
                piece = Key{kAscendingFlag, uint8_t(integer(0, 255))};
                if (!kc.ascending) invert(piece);
            }
            break;
        case ColumnType::Integer:
            piece = isNull(value) ? nullPiece(kc.ascending) : signedPiece(integer(-32768, 32767), 2, kc.ascending);
            break;
        case ColumnType::Long:
            piece = isNull(value) ? nullPiece(kc.ascending)
                                  : signedPiece(integer(INT32_MIN, INT32_MAX), 4, kc.ascending);
            break;
        case ColumnType::Text: {
            if (!isGeneralLegacyText(table, *column))
                throw Error(indexName(table, index) + " uses a text column with a sort order this engine cannot maintain");
            if (isNull(value)) {
                piece = nullPiece(kc.ascending);
            } else {
                const std::u16string* text = std::get_if<std::u16string>(&value);
                if (!text) throw Error("column '" + toUtf8(column->name) + "' needs text for its index key");
                piece = encodeTextKey(*text, kc.ascending);
            }
            break;
        }
        default:
            throw Error(indexName(table, index) + " uses a " + columnTypeName(column->type) +
                        " column, which this engine cannot maintain");
        }
        key.insert(key.end(), piece.begin(), piece.end());
    }
    return key;
}

bool skipsRow(const TableDef& table, const RealIndex& index, const Row& row) {
    if (!(index.flags & 0x02)) return false;
    for (const RealIndex::KeyColumn& kc : index.columns) {
        size_t position = 0;
        if (!keyColumn(table, kc.column, &position) || position >= row.size() || !isNull(row[position])) return false;
    }
    return true;
}

bool canMaintain(const TableDef& table, const RealIndex& index, std::string* why) {
    auto refuse = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    if (index.columns.empty()) return refuse(indexName(table, index) + " has no key columns");
    for (const RealIndex::KeyColumn& kc : index.columns) {
        const Column* column = keyColumn(table, kc.column, nullptr);
        if (!column)
            return refuse(indexName(table, index) + " refers to column number " + std::to_string(kc.column) +
                          ", which the table does not have");
        switch (column->type) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
            break;
        case ColumnType::Text:
            if (!isGeneralLegacyText(table, *column))
                return refuse(indexName(table, index) + " uses text column '" + toUtf8(column->name) +
                              "' with a sort order other than General, which this engine cannot maintain");
            break;
        default:
            return refuse(indexName(table, index) + " uses a " + std::string(columnTypeName(column->type)) +
                          " column, which this engine cannot maintain");
        }
    }
    if (why) why->clear();
    return true;
}

std::vector<Entry> readEntries(const PageStore& pages, const TableDef& table, const RealIndex& index) {
    Tree tree(pages, table, index);
    std::vector<Entry> entries;
    Walk walk{tree, entries, {}, {}};
    walk.visit(index.rootPage, 0, nullptr, nullptr);
    walk.checkLeafChain();
    return entries;
}

bool insertEntry(PageStore& pages, const TableDef& table, const RealIndex& index, const Entry& entry) {
    checkEntry(entry);
    Tree tree(pages, table, index, &pages);
    std::vector<Step> path = descend(tree, entry);
    Page& leaf = tree.load(path.back().page);
    auto at = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry, entryLess);
    size_t pos = size_t(at - leaf.entries.begin());
    if (at != leaf.entries.end() && *at == entry) throw Error("the index already holds an entry for this row");

    const Entry* before = entryBefore(tree, leaf, pos);
    const Entry* after = entryAfter(tree, leaf, pos);
    bool shared = (before && before->key == entry.key) || (after && after->key == entry.key);
    bool append = pos == leaf.entries.size() && leaf.next == 0;

    leaf.entries.insert(leaf.entries.begin() + long(pos), entry);
    tree.touch(leaf);
    rebalance(tree, path, append);
    tree.flush();
    return !shared;
}

bool removeEntry(PageStore& pages, const TableDef& table, const RealIndex& index, const Entry& entry) {
    checkEntry(entry);
    Tree tree(pages, table, index, &pages);
    std::vector<Step> path = descend(tree, entry);
    Page& leaf = tree.load(path.back().page);
    auto at = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry, entryLess);
    if (at == leaf.entries.end() || !(*at == entry))
        throw Error(indexName(table, index) + " has no entry for row " + std::to_string(entry.row.slot) + " of page " +
                    std::to_string(entry.row.page) + " to remove");
    size_t pos = size_t(at - leaf.entries.begin());
    leaf.entries.erase(at);

    const Entry* before = entryBefore(tree, leaf, pos);
    const Entry* after = entryAfter(tree, leaf, pos);
    bool remaining = (before && before->key == entry.key) || (after && after->key == entry.key);

    tree.touch(leaf);
    rebalance(tree, path, false);
    tree.flush();
    return !remaining;
}

void writeLeafPage(uint8_t* page, uint32_t tdefPage, const std::vector<Entry>& sorted) {
    Page leaf;
    leaf.leaf = true;
    for (size_t i = 0; i < sorted.size(); ++i) {
        checkEntry(sorted[i]);
        if (i > 0 && !entryLess(sorted[i - 1], sorted[i])) throw Error("index entries for a new page are not in order");
    }
    leaf.entries = sorted;
    if (entryBytes(leaf) > kEntryArea)
        throw Error("the index entries (" + std::to_string(entryBytes(leaf)) + " bytes) do not fit one index page");
    serializePage(page, leaf, tdefPage);
}

}  // namespace jet::index
