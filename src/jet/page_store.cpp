// The database file held in memory as pages, written back one statement at a time through a journal.
#include "jet/page_store.h"

#include <algorithm>
#include <cstring>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {

namespace {

// The commit protocol, and why a crash at any point leaves the old or the new content.
//
// A statement changes some pages of the file (their originals kept in memory) and may append pages. commit():
//   1. writes the journal over the start of the journal file (it may be longer: its tail is ignored) and
//      flushes it;
//   2. writes the changed and appended pages to the file and flushes it; once this flush returns, commit()
//      reports success;
//   3. overwrites the journal's magic with zeros, without a flush (the next statement's journal, or the
//      removal of the journal when the store closes, follows).
// The journal file is created at the first commit of a session (its directory entry made durable) and
// removed when the store is closed; a crash leaves it behind.
//
// Opening the file looks for the journal. It is used only when its magic, lengths and checksum are right;
// then, when the file already has the journal's new length and every written page matches its recorded hash,
// the statement reached the file in full and the file is kept; otherwise the original pages are written back,
// the file cut to its old length and flushed. The journal is then removed.
//
// Crash points, for a statement N+1 following a completed statement N (the file holding N durably):
//   - during 1: the file is untouched (it is written only after the journal flush). The journal on disk is
//     journal N (its invalidation may not have reached the disk), journal N+1, or a mixture; a mixture fails
//     the checksum and is ignored. A valid journal N finds the file holding N's new content and keeps it; a
//     valid journal N+1 finds the file unlike N+1's new content and writes back its originals, which are
//     exactly what the file holds. Either way: N, the old content.
//   - during 2: journal N+1 is durable. Any subset of the page writes may have reached the disk, torn or not;
//     unless all of them did (the new content: kept), the originals go back and the file is cut to the old
//     length: the old content.
//   - after 2 (success reported): the file holds N+1 durably. Journal N+1 is valid or invalidated; when valid
//     the file matches its new hashes and is kept. A statement reported as done is therefore never undone.
//   - during recovery at open: the journal stays valid until the file is put back and flushed, so the next
//     open repeats the same decision (a partly restored file is not the new content: the restore repeats).
// A matching hash for a page that does not hold the new content would need a 64-bit hash collision.
// One hazard remains, as for any journal kept beside a file: if the program crashes and another program
// then changes the file before this one opens it again, a journal that was still valid on disk would put
// back pages over those changes. The invalidation in step 3 normally reaches the disk within seconds.
//
// A failed write inside a running program (disk full, I/O error) rolls memory back; if the file had already
// been touched, its pages are written back from memory at once. If even that fails, the store refuses
// further commits and leaves the journal for the next open.

// Journal layout (little-endian):
//   magic (8 bytes), old file length (u64), new file length (u64), written page count W (u32),
//   original page count C (u32); W entries of page number (u32) and hash of its new content (u64);
//   C entries of page number (u32) and its 4096 original bytes; a hash of everything before it (u64).
constexpr uint8_t kJournalMagic[8] = {'Q', 'J', 'E', 'T', 'J', 'R', 'N', '2'};
constexpr size_t kJournalHeader = 8 + 8 + 8 + 4 + 4;
constexpr size_t kWrittenEntry = 4 + 8;
constexpr size_t kOriginalEntry = 4 + kPageSize;
constexpr size_t kJournalTrailer = 8;

// A 64-bit hash over 8-byte words: fast, and any change of the bytes changes it with near certainty.
uint64_t hashBytes(const uint8_t* data, size_t size) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ size;
    auto mix = [&](uint64_t word) {
        hash = (hash ^ word) * 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 31;
    };
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        mix(word);
    }
    if (i < size) {
        uint64_t word = 0;
        std::memcpy(&word, data + i, size - i);
        mix(word);
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

// A journal read back from disk; valid only when every check passed.
struct Journal {
    bool valid = false;
    uint64_t oldLength = 0, newLength = 0;
    size_t writtenCount = 0, originalCount = 0;
    const uint8_t* written = nullptr;    // writtenCount entries
    const uint8_t* originals = nullptr;  // originalCount entries
};

Journal parseJournal(const std::vector<uint8_t>& data) {
    Journal j;
    if (data.size() < kJournalHeader + kJournalTrailer ||
        std::memcmp(data.data(), kJournalMagic, sizeof kJournalMagic) != 0)
        return j;
    j.oldLength = get64(data.data() + 8);
    j.newLength = get64(data.data() + 16);
    uint64_t written = get32(data.data() + 24), originals = get32(data.data() + 28);
    uint64_t size = kJournalHeader + written * kWrittenEntry + originals * kOriginalEntry;
    if (size + kJournalTrailer > data.size() || j.oldLength % kPageSize != 0 || j.newLength % kPageSize != 0 ||
        get64(data.data() + size) != hashBytes(data.data(), size))
        return j;
    j.writtenCount = size_t(written);
    j.originalCount = size_t(originals);
    j.written = data.data() + kJournalHeader;
    j.originals = j.written + j.writtenCount * kWrittenEntry;
    for (size_t i = 0; i < j.writtenCount; ++i)
        if ((uint64_t(get32(j.written + i * kWrittenEntry)) + 1) * kPageSize > j.newLength) return j;
    for (size_t i = 0; i < j.originalCount; ++i)
        if ((uint64_t(get32(j.originals + i * kOriginalEntry)) + 1) * kPageSize > j.oldLength) return j;
    j.valid = true;
    return j;
}

// Whether `file` holds the whole new content the journal describes.
bool holdsNewContent(const Journal& j, const std::vector<uint8_t>& file) {
    if (file.size() != j.newLength) return false;
    for (size_t i = 0; i < j.writtenCount; ++i) {
        const uint8_t* entry = j.written + i * kWrittenEntry;
        if (hashBytes(file.data() + size_t(get32(entry)) * kPageSize, kPageSize) != get64(entry + 4)) return false;
    }
    return true;
}

// The default open file: every call goes to the file system by path.
class PathFile : public OpenFile {
public:
    PathFile(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    void write(uint64_t offset, const uint8_t* data, size_t size) override { fs_.write(path_, offset, data, size); }
    void truncate(uint64_t size) override { fs_.truncate(path_, size); }
    void flush() override { fs_.flush(path_); }

private:
    FileSystem& fs_;
    std::string path_;
};

}  // namespace

std::unique_ptr<OpenFile> FileSystem::open(const std::string& path) { return std::make_unique<PathFile>(*this, path); }

std::unique_ptr<PageStore> PageStore::openFile(const std::string& path, FileSystem& fs) {
    std::unique_ptr<PageStore> store(new PageStore());
    store->path_ = path;
    store->fs_ = &fs;
    if (!fs.exists(path)) throw Error("database file " + path + " does not exist");
    std::vector<uint8_t> file = fs.readAll(path);
    store->recover(file);
    store->pages_ = splitPages(file, "the file " + path);
    return store;
}

std::unique_ptr<PageStore> PageStore::fromBytes(std::vector<uint8_t> bytes) {
    std::unique_ptr<PageStore> store(new PageStore());
    store->pages_ = splitPages(bytes, "the database image");
    return store;
}

PageStore::~PageStore() {
    file_.reset();
    if (!journal_) return;
    journal_.reset();
    if (!broken_.empty()) return;  // the next open needs the journal to repair the file
    try {
        fs_->remove(journalPath(path_));
    } catch (...) {
        // Harmless: the journal is invalidated or describes content the file already holds.
    }
}

// Applies a journal found beside the file (see the crash points above), both on disk and to `file`, the
// bytes just read; then removes the journal.
void PageStore::recover(std::vector<uint8_t>& file) {
    std::string path = journalPath(path_);
    if (!fs_->exists(path)) return;
    std::vector<uint8_t> data = fs_->readAll(path);
    Journal j = parseJournal(data);
    if (j.valid && !holdsNewContent(j, file)) {
        file.resize(size_t(j.oldLength));
        for (size_t i = 0; i < j.originalCount; ++i) {
            const uint8_t* entry = j.originals + i * kOriginalEntry;
            uint64_t offset = uint64_t(get32(entry)) * kPageSize;
            fs_->write(path_, offset, entry + 4, kPageSize);
            std::memcpy(file.data() + offset, entry + 4, kPageSize);
        }
        fs_->truncate(path_, j.oldLength);
        fs_->flush(path_);
    }
    fs_->remove(path);
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

    // The pages that really changed, in file order, and the pages to write: those plus the appended ones.
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
    if (!broken_.empty()) {
        rollback();
        throw Error(broken_);
    }

    std::vector<uint8_t> journal(kJournalHeader + toWrite.size() * kWrittenEntry + changed.size() * kOriginalEntry +
                                 kJournalTrailer);
    std::memcpy(journal.data(), kJournalMagic, sizeof kJournalMagic);
    put64(journal.data() + 8, uint64_t(pageCountAtBegin_) * kPageSize);
    put64(journal.data() + 16, uint64_t(pages_.size()) * kPageSize);
    put32(journal.data() + 24, uint32_t(toWrite.size()));
    put32(journal.data() + 28, uint32_t(changed.size()));
    uint8_t* entry = journal.data() + kJournalHeader;
    for (uint32_t number : toWrite) {
        put32(entry, number);
        put64(entry + 4, hashBytes(pages_[number].data(), kPageSize));
        entry += kWrittenEntry;
    }
    for (uint32_t number : changed) {
        put32(entry, number);
        std::memcpy(entry + 4, originals_.at(number).data(), kPageSize);
        entry += kOriginalEntry;
    }
    size_t hashed = journal.size() - kJournalTrailer;
    put64(journal.data() + hashed, hashBytes(journal.data(), hashed));

    bool fileTouched = false;
    try {
        if (!journal_) journal_ = fs_->open(journalPath(path_));
        journal_->write(0, journal.data(), journal.size());
        journal_->flush();

        if (!file_) file_ = fs_->open(path_);
        fileTouched = true;
        // Runs of consecutive pages go out in one write.
        std::vector<uint8_t> run;
        size_t i = 0;
        while (i < toWrite.size()) {
            size_t j = i + 1;
            while (j < toWrite.size() && toWrite[j] == toWrite[j - 1] + 1) ++j;
            run.resize((j - i) * kPageSize);
            for (size_t k = i; k < j; ++k)
                std::memcpy(run.data() + (k - i) * kPageSize, pages_[toWrite[k]].data(), kPageSize);
            file_->write(uint64_t(toWrite[i]) * kPageSize, run.data(), run.size());
            i = j;
        }
        file_->flush();
    } catch (const std::exception& e) {
        std::string why = e.what();
        rollback();
        if (fileTouched) restoreAfterFailedWrite(toWrite);
        throw Error("could not write the database file: " + why);
    }
    originals_.clear();
    inStatement_ = false;

    // The statement is on disk. Invalidating the journal is not needed for safety (a valid journal finds the
    // file holding its new content and leaves it alone), only tidiness; a failure here changes nothing.
    try {
        const uint8_t zeros[sizeof kJournalMagic] = {};
        journal_->write(0, zeros, sizeof zeros);
    } catch (...) {
    }
}

// After a failed commit that may have written some pages: memory holds the old content again, so those pages
// go back from memory, the file is cut to its old length and flushed.
void PageStore::restoreAfterFailedWrite(const std::vector<uint32_t>& written) {
    try {
        for (uint32_t number : written)
            if (number < pages_.size()) file_->write(uint64_t(number) * kPageSize, pages_[number].data(), kPageSize);
        file_->truncate(uint64_t(pages_.size()) * kPageSize);
        file_->flush();
    } catch (const std::exception& e) {
        broken_ = "the database file " + path_ + " may be damaged by a failed write (" + e.what() +
                  "); close and reopen it to repair it from its journal";
    }
}

std::vector<uint8_t> PageStore::bytes() const {
    std::vector<uint8_t> out;
    out.reserve(pages_.size() * kPageSize);
    for (const auto& p : pages_) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace jet
