// The database file held in memory as pages, written back one statement at a time through a journal.
#include "jet/page_store.h"

#include <algorithm>
#include <cstring>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {

namespace {

// Journal layout: magic (8 bytes), old file length (u64), page count (u32), then per page its number (u32)
// and its 4096 original bytes, then a 64-bit FNV-1a checksum of everything before it.
constexpr uint8_t kJournalMagic[8] = {'Q', 'J', 'E', 'T', 'J', 'R', 'N', '1'};
constexpr size_t kJournalHeader = 8 + 8 + 4;
constexpr size_t kJournalEntry = 4 + kPageSize;
constexpr size_t kJournalTrailer = 8;

uint64_t checksum(const uint8_t* data, size_t size) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

void put64(uint8_t* p, uint64_t v) {
    put32(p, uint32_t(v));
    put32(p + 4, uint32_t(v >> 32));
}
uint64_t get64(const uint8_t* p) { return uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32); }

std::vector<std::vector<uint8_t>> splitPages(const std::vector<uint8_t>& bytes, const std::string& what) {
    if (bytes.size() % kPageSize != 0)
        throw Error(what + " is truncated: its length (" + std::to_string(bytes.size()) +
                    " bytes) is not a whole number of 4096-byte pages");
    std::vector<std::vector<uint8_t>> pages(bytes.size() / kPageSize);
    for (size_t i = 0; i < pages.size(); ++i)
        pages[i].assign(bytes.begin() + i * kPageSize, bytes.begin() + (i + 1) * kPageSize);
    return pages;
}

}  // namespace

std::unique_ptr<PageStore> PageStore::openFile(const std::string& path, FileSystem& fs) {
    std::unique_ptr<PageStore> store(new PageStore());
    store->path_ = path;
    store->fs_ = &fs;
    if (!fs.exists(path)) throw Error("database file " + path + " does not exist");
    store->recover();
    store->pages_ = splitPages(fs.readAll(path), "the file " + path);
    return store;
}

std::unique_ptr<PageStore> PageStore::fromBytes(std::vector<uint8_t> bytes) {
    std::unique_ptr<PageStore> store(new PageStore());
    store->pages_ = splitPages(bytes, "the database image");
    return store;
}

// Puts back the original pages recorded by a complete journal; removes an incomplete one.
void PageStore::recover() {
    std::string journal = journalPath(path_);
    if (!fs_->exists(journal)) return;
    std::vector<uint8_t> data = fs_->readAll(journal);
    bool complete = data.size() >= kJournalHeader + kJournalTrailer &&
                    std::memcmp(data.data(), kJournalMagic, sizeof kJournalMagic) == 0;
    uint64_t oldLength = 0;
    uint32_t count = 0;
    if (complete) {
        oldLength = get64(data.data() + 8);
        count = get32(data.data() + 16);
        complete = uint64_t(count) * kJournalEntry + kJournalHeader + kJournalTrailer == data.size() &&
                   oldLength % kPageSize == 0 &&
                   get64(data.data() + data.size() - kJournalTrailer) ==
                       checksum(data.data(), data.size() - kJournalTrailer);
    }
    if (complete) {
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* entry = data.data() + kJournalHeader + size_t(i) * kJournalEntry;
            uint64_t number = get32(entry);
            if ((number + 1) * kPageSize > oldLength) { complete = false; break; }
        }
    }
    if (complete) {
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* entry = data.data() + kJournalHeader + size_t(i) * kJournalEntry;
            fs_->write(path_, uint64_t(get32(entry)) * kPageSize, entry + 4, kPageSize);
        }
        fs_->truncate(path_, oldLength);
        fs_->flush(path_);
    }
    // An incomplete journal means the crash came before the file itself was touched.
    fs_->remove(journal);
}

const uint8_t* PageStore::page(uint32_t number) const {
    if (number >= pages_.size())
        throw Error("page " + std::to_string(number) + " lies past the end of the file (" +
                    std::to_string(pages_.size()) + " pages)");
    return pages_[number].data();
}

uint8_t* PageStore::writablePage(uint32_t number) {
    if (!inStatement_) throw Error("a page was changed outside a statement");
    if (number >= pages_.size())
        throw Error("page " + std::to_string(number) + " lies past the end of the file (" +
                    std::to_string(pages_.size()) + " pages)");
    if (number < pageCountAtBegin_ && originals_.find(number) == originals_.end())
        originals_.emplace(number, pages_[number]);
    return pages_[number].data();
}

uint32_t PageStore::appendPage() {
    if (!inStatement_) throw Error("a page was added outside a statement");
    if (pages_.size() >= 0xFFFFFF) throw Error("the database file has reached its largest size");
    pages_.emplace_back(kPageSize, uint8_t(0));
    return uint32_t(pages_.size() - 1);
}

void PageStore::begin() {
    if (inStatement_) throw Error("a statement is already running");
    inStatement_ = true;
    pageCountAtBegin_ = pageCount();
    originals_.clear();
}

void PageStore::rollback() {
    if (!inStatement_) return;
    for (auto& [number, original] : originals_) pages_[number] = std::move(original);
    pages_.resize(pageCountAtBegin_);
    originals_.clear();
    inStatement_ = false;
}

void PageStore::commit() {
    if (!inStatement_) throw Error("commit without a statement");
    if (path_.empty()) {
        originals_.clear();
        inStatement_ = false;
        return;
    }

    // The pages that really changed, in file order, and their originals.
    std::vector<uint32_t> changed;
    for (const auto& [number, original] : originals_)
        if (original != pages_[number]) changed.push_back(number);
    std::sort(changed.begin(), changed.end());
    std::vector<uint32_t> toWrite = changed;
    for (uint32_t n = pageCountAtBegin_; n < pages_.size(); ++n) toWrite.push_back(n);
    if (toWrite.empty()) {
        originals_.clear();
        inStatement_ = false;
        return;
    }

    try {
        // A journal left by an earlier failed commit is applied first, so the file matches memory again.
        recover();

        std::string journal = journalPath(path_);
        std::vector<uint8_t> data(kJournalHeader + changed.size() * kJournalEntry + kJournalTrailer);
        std::memcpy(data.data(), kJournalMagic, sizeof kJournalMagic);
        put64(data.data() + 8, uint64_t(pageCountAtBegin_) * kPageSize);
        put32(data.data() + 16, uint32_t(changed.size()));
        for (size_t i = 0; i < changed.size(); ++i) {
            uint8_t* entry = data.data() + kJournalHeader + i * kJournalEntry;
            put32(entry, changed[i]);
            std::memcpy(entry + 4, originals_.at(changed[i]).data(), kPageSize);
        }
        put64(data.data() + data.size() - kJournalTrailer, checksum(data.data(), data.size() - kJournalTrailer));
        fs_->write(journal, 0, data.data(), data.size());
        fs_->flush(journal);

        // Runs of consecutive pages go out in one write.
        std::vector<uint8_t> run;
        size_t i = 0;
        while (i < toWrite.size()) {
            size_t j = i + 1;
            while (j < toWrite.size() && toWrite[j] == toWrite[j - 1] + 1) ++j;
            run.resize((j - i) * kPageSize);
            for (size_t k = i; k < j; ++k)
                std::memcpy(run.data() + (k - i) * kPageSize, pages_[toWrite[k]].data(), kPageSize);
            fs_->write(path_, uint64_t(toWrite[i]) * kPageSize, run.data(), run.size());
            i = j;
        }
        if (pages_.size() != pageCountAtBegin_) fs_->truncate(path_, uint64_t(pages_.size()) * kPageSize);
        fs_->flush(path_);
        fs_->remove(journal);
    } catch (const std::exception& e) {
        rollback();
        // Put the file back now if the journal is still readable; otherwise it happens at the next open.
        try { recover(); } catch (...) {}
        throw Error(std::string("could not write the database file: ") + e.what());
    }
    originals_.clear();
    inStatement_ = false;
}

std::vector<uint8_t> PageStore::bytes() const {
    std::vector<uint8_t> out;
    out.reserve(pages_.size() * kPageSize);
    for (const auto& p : pages_) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace jet
