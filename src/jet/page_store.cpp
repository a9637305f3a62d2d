// The database file as pages: held in memory and written back one statement at a time through a journal, or
// read from the file on demand by a reader.
#include "jet/page_store.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {

namespace {

// The commit protocol, and why a crash at any point leaves the old or the new content.
//
// A statement changes some pages of the file (their originals kept in memory) and may append pages. commit(),
// holding the file's statement lock so that no reader sees the file half written:
//   1. writes the journal over the start of the journal file (it may be longer: its tail is ignored) and
//      flushes it;
//   2. writes the changed and appended pages to the file and flushes it; once this flush returns, commit()
//      reports success;
//   3. overwrites the journal's magic with zeros, without a flush (the next statement's journal, or the
//      removal of the journal when the store closes, follows).
// The journal file is created at the first commit of a session (its directory entry made durable) and
// removed when the store is closed; a crash leaves it behind.
//
// Opening the file for changes looks for the journal. It is used only when its magic, lengths and checksum
// are right; then the file is compared with it:
//   - the file has the journal's new length and every written page matches its recorded hashes: the
//     statement reached the file in full, and the file is kept;
//   - the file's length lies between the old and the new length, every 512-byte sector of every page the
//     statement changed holds either its original bytes or its new ones (a write torn at any sector), and every
//     sector of the pages it appended holds its new bytes or zeros (not yet written): the statement was
//     interrupted, so the original pages are written back, the file cut to its old length and flushed;
//   - anything else: the file is not the one the journal was written for (a backup copied over it, a new
//     file written in its place), or it was changed after the crash. The file is left exactly as it is and
//     the journal renamed ("<file>-journal-unused"), with a note for the person (openingNote).
// The journal is then removed.
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
// A matching hash for a sector that does not hold the new content would need a 64-bit hash collision.
//
// A failed write inside a running program (disk full, I/O error) rolls memory back; if the file had already
// been touched, its pages are written back from memory at once. If even that fails, the store refuses
// further commits and leaves the journal for the next open.
//
// A store opened for reading only never writes. It holds the shared statement lock from its open to its
// close, so no commit runs while it reads; a valid journal beside a file that holds an interrupted statement
// (its writer crashed) is applied to what the reader sees only: the original pages from the journal stand in
// for the file's, and the file ends at the statement's old length.

// Journal layout (little-endian):
//   magic (8 bytes), old file length (u64), new file length (u64), written page count W (u32),
//   original page count C (u32); W entries of page number (u32) and the hashes of its new content, one per
//   512-byte sector (8 x u64); C entries of page number (u32) and its 4096 original bytes; a hash of
//   everything before it (u64).
// A journal of another layout (another last byte of the magic, such as the earlier "QJETJRN2") is not
// applied: it is set aside like a journal of another file.
constexpr uint8_t kJournalMagic[8] = {'Q', 'J', 'E', 'T', 'J', 'R', 'N', '3'};
constexpr size_t kMagicFamily = 7;  // "QJETJRN"
constexpr size_t kSector = 512;
constexpr size_t kJournalHeader = 8 + 8 + 8 + 4 + 4;
constexpr size_t kWrittenEntry = 4 + 8 * (kPageSize / kSector);
constexpr size_t kOriginalEntry = 4 + kPageSize;
constexpr size_t kJournalTrailer = 8;

}  // namespace

// A 64-bit hash over 8-byte words: fast, and any change of the bytes changes it with near certainty.
uint64_t detail::journalHash(const uint8_t* data, size_t size) {
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

namespace {

uint64_t hashBytes(const uint8_t* data, size_t size) { return detail::journalHash(data, size); }

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

// A journal read back from disk. kNone: no journal to use (too short, no magic, or a checksum that fails: a
// journal torn by a crash while it was written, or invalidated after its statement). kDamaged: a whole journal
// whose lengths or page numbers do not hold together. kValid: every check passed.
enum class JournalKind { kNone, kDamaged, kValid };
struct Journal {
    JournalKind kind = JournalKind::kNone;
    uint64_t oldLength = 0, newLength = 0;
    size_t writtenCount = 0, originalCount = 0;
    const uint8_t* written = nullptr;    // writtenCount entries
    const uint8_t* originals = nullptr;  // originalCount entries

    uint32_t writtenPage(size_t i) const { return get32(written + i * kWrittenEntry); }
    // Whether `page` (4096 bytes) holds the new content of written page i in the sector at `offset`.
    bool isNew(size_t i, const uint8_t* page, size_t offset) const {
        return hashBytes(page + offset, kSector) == get64(written + i * kWrittenEntry + 4 + 8 * (offset / kSector));
    }
};

// Reads the journal's header and entries, checking every count and length against the journal's own size
// in 64 bits before anything is used as an offset.
Journal parseJournal(const std::vector<uint8_t>& data) {
    Journal j;
    if (data.size() < kJournalHeader + kJournalTrailer || std::memcmp(data.data(), kJournalMagic, kMagicFamily) != 0)
        return j;
    if (data[kMagicFamily] != kJournalMagic[kMagicFamily]) {
        if (data[kMagicFamily] != 0) j.kind = JournalKind::kDamaged;  // another layout (zero: invalidated)
        return j;
    }
    j.oldLength = get64(data.data() + 8);
    j.newLength = get64(data.data() + 16);
    uint64_t written = get32(data.data() + 24), originals = get32(data.data() + 28);
    uint64_t size = kJournalHeader + written * kWrittenEntry + originals * kOriginalEntry;
    if (size + kJournalTrailer > data.size() || get64(data.data() + size) != hashBytes(data.data(), size_t(size)))
        return j;
    j.kind = JournalKind::kDamaged;
    if (j.oldLength % kPageSize != 0 || j.newLength % kPageSize != 0 || j.oldLength > j.newLength) return j;
    j.writtenCount = size_t(written);
    j.originalCount = size_t(originals);
    j.written = data.data() + kJournalHeader;
    j.originals = j.written + j.writtenCount * kWrittenEntry;
    for (size_t i = 0; i < j.writtenCount; ++i)
        if ((uint64_t(j.writtenPage(i)) + 1) * kPageSize > j.newLength) return j;
    for (size_t i = 0; i < j.originalCount; ++i)
        if ((uint64_t(get32(j.originals + i * kOriginalEntry)) + 1) * kPageSize > j.oldLength) return j;
    j.kind = JournalKind::kValid;
    return j;
}

// What the file holds, compared with a valid journal (see the protocol above).
enum class FileState { kNewContent, kInterrupted, kForeign };

// The file as compare() reads it: its length, and any page that begins inside it (the part past the end of
// the file reads as zeros). A page's bytes stay valid until the next page is asked for.
struct FileImage {
    uint64_t size;
    std::function<const uint8_t*(uint32_t number)> page;
};

FileImage imageOf(const std::vector<uint8_t>& file) {
    return {file.size(), [&file](uint32_t number) { return file.data() + size_t(number) * kPageSize; }};
}

FileState compare(const Journal& j, const FileImage& file) {
    // The new content: the new length, every written page as the statement wrote it.
    bool isNew = file.size == j.newLength;
    for (size_t i = 0; isNew && i < j.writtenCount; ++i) {
        const uint8_t* page = file.page(j.writtenPage(i));
        for (size_t offset = 0; isNew && offset < kPageSize; offset += kSector) isNew = j.isNew(i, page, offset);
    }
    if (isNew) return FileState::kNewContent;

    // An interrupted statement: a length it could have left, and each sector of each changed page old or new.
    if (file.size < j.oldLength || file.size > j.newLength) return FileState::kForeign;
    std::unordered_map<uint32_t, size_t> writtenIndex;
    for (size_t i = 0; i < j.writtenCount; ++i) writtenIndex.emplace(j.writtenPage(i), i);
    for (size_t k = 0; k < j.originalCount; ++k) {
        const uint8_t* entry = j.originals + k * kOriginalEntry;
        uint32_t number = get32(entry);
        auto written = writtenIndex.find(number);
        const uint8_t* page = file.page(number);
        for (size_t offset = 0; offset < kPageSize; offset += kSector) {
            if (std::memcmp(page + offset, entry + 4 + offset, kSector) == 0) continue;
            if (written == writtenIndex.end() || !j.isNew(written->second, page, offset)) return FileState::kForeign;
        }
    }
    // Appended pages the file already reaches: each whole sector written (new) or not yet (zeros, as a file
    // extended by a write shows what was not written).
    static const uint8_t kZeros[kSector] = {};
    for (size_t i = 0; i < j.writtenCount; ++i) {
        uint64_t start = uint64_t(j.writtenPage(i)) * kPageSize;
        if (start < j.oldLength || start >= file.size) continue;
        const uint8_t* page = file.page(j.writtenPage(i));
        for (uint64_t offset = 0; offset < kPageSize && start + offset + kSector <= file.size; offset += kSector) {
            if (std::memcmp(page + offset, kZeros, kSector) != 0 && !j.isNew(i, page, size_t(offset)))
                return FileState::kForeign;
        }
    }
    return FileState::kInterrupted;
}

// The default open file: every call goes to the file system by path.
class PathFile : public OpenFile {
public:
    PathFile(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    void write(uint64_t offset, const uint8_t* data, size_t size) override { fs_.write(path_, offset, data, size); }
    void truncate(uint64_t size) override { fs_.truncate(path_, size); }
    void flush() override { fs_.flush(path_); }
    // Through the whole file each time: the default serves test file systems, whose files are small.
    size_t read(uint64_t offset, uint8_t* data, size_t size) override {
        std::vector<uint8_t> file = fs_.readAll(path_);
        if (offset >= file.size()) return 0;
        size_t count = size_t(std::min<uint64_t>(size, file.size() - offset));
        std::memcpy(data, file.data() + offset, count);
        return count;
    }
    uint64_t size() override { return fs_.readAll(path_).size(); }

private:
    FileSystem& fs_;
    std::string path_;
};

// Holds a lock for as long as it lives.
class HeldLock {
public:
    HeldLock(OpenFile& file, OpenFile::Lock which, bool exclusive) : file_(file), which_(which) {
        file_.lock(which_, exclusive);
    }
    ~HeldLock() { file_.unlock(which_); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    OpenFile& file_;
    OpenFile::Lock which_;
};

}  // namespace

size_t OpenFile::read(uint64_t, uint8_t*, size_t) { throw Error("this file cannot be read in parts"); }
uint64_t OpenFile::size() { throw Error("this file's length cannot be read"); }

// What a store reading on demand keeps: the file with its shared statement lock, the original pages of an
// interrupted statement, and the pages read so far (frames), the most recently used kept when the rest are
// let go.
struct PageStore::Reader {
    static constexpr size_t kKept = 16;  // pages kept when the others are let go

    std::unique_ptr<OpenFile> file;
    std::string path;
    uint64_t length = 0;                                            // the length the store sees
    std::unordered_map<uint32_t, std::vector<uint8_t>> originals;  // pages an interrupted statement changed
    struct Frame {
        uint32_t number;
        uint64_t used;  // `clock` at the last use
        std::unique_ptr<uint8_t[]> bytes;
    };
    std::vector<Frame> frames;
    std::unordered_map<uint32_t, size_t> where;  // page number -> position in `frames`
    std::vector<std::unique_ptr<uint8_t[]>> spare;
    uint64_t clock = 0;
    int holds = 0;

    // Reads page `number` (inside the file) into `out`: kPageSize bytes, zeros past the end of the file.
    void readPage(uint32_t number, uint8_t* out) const {
        size_t got = file->read(uint64_t(number) * kPageSize, out, kPageSize);
        if (got < kPageSize) std::memset(out + got, 0, kPageSize - got);
    }

    // Page `number` as the store sees it into `out`: from the journal's originals, or from the file.
    void fill(uint32_t number, uint8_t* out) const {
        auto original = originals.find(number);
        if (original != originals.end()) {
            std::memcpy(out, original->second.data(), kPageSize);
        } else if (file->read(uint64_t(number) * kPageSize, out, kPageSize) != kPageSize) {
            throw Error("could not read page " + std::to_string(number) + " of " + path +
                        ": the file ends early (it was shortened while open)");
        }
    }

    const uint8_t* page(uint32_t number) {
        auto found = where.find(number);
        if (found != where.end()) {
            Frame& frame = frames[found->second];
            frame.used = ++clock;
            return frame.bytes.get();
        }
        std::unique_ptr<uint8_t[]> bytes;
        if (spare.empty()) {
            bytes.reset(new uint8_t[kPageSize]);
        } else {
            bytes = std::move(spare.back());
            spare.pop_back();
        }
        fill(number, bytes.get());
        where.emplace(number, frames.size());
        frames.push_back(Frame{number, ++clock, std::move(bytes)});
        return frames.back().bytes.get();
    }

    // Once more than 2 * kKept pages are held, keeps the kKept most recently used ones; the rest go (their
    // buffers kept for reuse, up to kKept). Letting go in batches keeps the cost per page read small.
    void trim() {
        if (frames.size() <= 2 * kKept) return;
        std::nth_element(frames.begin(), frames.begin() + kKept, frames.end(),
                         [](const Frame& a, const Frame& b) { return a.used > b.used; });
        for (size_t i = kKept; i < frames.size(); ++i) {
            where.erase(frames[i].number);
            if (spare.size() < kKept) spare.push_back(std::move(frames[i].bytes));
        }
        frames.resize(kKept);
        for (size_t i = 0; i < frames.size(); ++i) where[frames[i].number] = i;
    }
};

std::unique_ptr<OpenFile> FileSystem::open(const std::string& path) { return std::make_unique<PathFile>(*this, path); }

std::unique_ptr<OpenFile> FileSystem::openDatabase(const std::string& path) {
    if (!exists(path)) throw Error("could not open " + path + ": it does not exist");
    return std::make_unique<PathFile>(*this, path);
}

std::unique_ptr<OpenFile> FileSystem::openForReading(const std::string& path) {
    if (!exists(path)) throw Error("could not open " + path + ": it does not exist");
    return std::make_unique<PathFile>(*this, path);
}

bool FileSystem::createNew(const std::string& path, const uint8_t* data, size_t size) {
    if (exists(path)) return false;
    write(path, 0, data, size);
    flush(path);
    return true;
}

std::unique_ptr<PageStore> PageStore::openFile(const std::string& path, FileSystem& fs, Access access) {
    std::unique_ptr<PageStore> store(new PageStore());
    store->path_ = path;
    store->fs_ = &fs;
    if (!fs.exists(path)) throw Error("database file " + path + " does not exist");
    if (access == Access::kReadOnly) {
        store->readOnly_ = true;
        store->openForReading();
        return store;
    }
    // The writer lock comes first: a second opener for changes stops here, before it reads or touches the
    // file or its journal.
    store->file_ = fs.openDatabase(path);
    if (!store->file_->tryLock(OpenFile::kWriterLock, true)) throw InUseError(path);
    std::vector<uint8_t> file;
    {
        HeldLock statement(*store->file_, OpenFile::kStatementLock, true);
        file = fs.readAll(path);
        store->recover(file);
    }
    store->pages_ = splitPages(file, "the file " + path);
    return store;
}

std::unique_ptr<PageStore> PageStore::fromBytes(std::vector<uint8_t> bytes) {
    std::unique_ptr<PageStore> store(new PageStore());
    store->pages_ = splitPages(bytes, "the database image");
    return store;
}

PageStore::PageStore() = default;

PageStore::~PageStore() {
    if (journal_) {
        journal_.reset();
        // The journal stays when the next open needs it to repair the file. Otherwise it is invalidated or
        // describes content the file already holds, and its removal may fail harmlessly.
        if (broken_.empty()) {
            try {
                fs_->remove(journalPath(path_));
            } catch (...) {
            }
        }
    }
    file_.reset();  // the writer lock goes last, once the journal is gone
}

// Applies a journal found beside the file (see the crash points above), both on disk and to `file`, the
// bytes just read; then removes the journal, or sets it aside when it was not written for this file.
void PageStore::recover(std::vector<uint8_t>& file) {
    std::string path = journalPath(path_);
    if (!fs_->exists(path)) return;
    std::vector<uint8_t> data = fs_->readAll(path);
    Journal j = parseJournal(data);
    if (j.kind != JournalKind::kNone) {
        FileState state = j.kind == JournalKind::kValid ? compare(j, imageOf(file)) : FileState::kForeign;
        if (state == FileState::kForeign) {
            setJournalAside();
            return;
        }
        if (state == FileState::kInterrupted) {
            file.resize(size_t(j.oldLength));  // no more than the file's length (compare checked)
            for (size_t i = 0; i < j.originalCount; ++i) {
                const uint8_t* entry = j.originals + i * kOriginalEntry;
                size_t offset = size_t(get32(entry)) * kPageSize;
                file_->write(offset, entry + 4, kPageSize);
                std::memcpy(file.data() + offset, entry + 4, kPageSize);
            }
            file_->truncate(j.oldLength);
            file_->flush();
        }
    }
    fs_->remove(path);
}

// Renames the journal beside the file to the first free "<journal>-unused[-N]" and says so in openingNote.
void PageStore::setJournalAside() {
    std::string from = journalPath(path_);
    std::string to = from + "-unused";
    for (int n = 2; fs_->exists(to); ++n) {
        if (n > 1000) throw Error("could not set aside the journal " + from + ": too many earlier ones are there");
        to = from + "-unused-" + std::to_string(n);
    }
    fs_->rename(from, to);
    openingNote_ = "the journal beside " + path_ +
                   " does not belong to the file that is there now (a copy put back, a new file, or a damaged "
                   "journal); the file was left as it is and the journal kept as " + to;
}

// Opens the file for reading on demand, holding its statement lock shared until the store closes (so the
// writer's commits wait for it), and finds the length and pages it sees: an interrupted statement's journal
// (its writer crashed) gives the original pages and length. Nothing on disk changes.
void PageStore::openForReading() {
    auto reader = std::make_unique<Reader>();
    reader->path = path_;
    reader->file = fs_->openForReading(path_);
    reader->file->lock(OpenFile::kStatementLock, false);  // closing the file drops it
    reader->length = reader->file->size();
    std::string path = journalPath(path_);
    if (fs_->exists(path)) {
        std::vector<uint8_t> data = fs_->readAll(path);
        Journal j = parseJournal(data);
        std::vector<uint8_t> scratch(kPageSize);
        FileImage image{reader->length, [&](uint32_t number) {
                            reader->readPage(number, scratch.data());
                            return static_cast<const uint8_t*>(scratch.data());
                        }};
        if (j.kind == JournalKind::kValid && compare(j, image) == FileState::kInterrupted) {
            reader->length = j.oldLength;
            for (size_t i = 0; i < j.originalCount; ++i) {
                const uint8_t* entry = j.originals + i * kOriginalEntry;
                reader->originals[get32(entry)].assign(entry + 4, entry + 4 + kPageSize);
            }
        }
    }
    if (reader->length % kPageSize != 0)
        throw Error("the file " + path_ + " is truncated: its length (" + std::to_string(reader->length) +
                    " bytes) is not a whole number of 4096-byte pages");
    if (reader->length / kPageSize > 0xFFFFFF)
        throw Error("the file " + path_ + " is larger than a database file can be");
    readerPageCount_ = uint32_t(reader->length / kPageSize);
    reader_ = std::move(reader);
}

const uint8_t* PageStore::page(uint32_t number) const {
    if (number >= pageCount())
        throw Error("page " + std::to_string(number) + " lies past the end of the file (" +
                    std::to_string(pageCount()) + " pages)");
    return reader_ ? reader_->page(number) : pages_[number].data();
}

PageStore::Hold::Hold(const PageStore& store) : store_(store) {
    if (store_.reader_) ++store_.reader_->holds;
}

PageStore::Hold::~Hold() {
    if (store_.reader_) --store_.reader_->holds;
}

void PageStore::Hold::letGo() {
    if (store_.reader_ && store_.reader_->holds == 1) store_.reader_->trim();
}

void PageStore::letGo() const {
    if (reader_ && reader_->holds == 0) reader_->trim();
}

size_t PageStore::pagesInMemory() const { return reader_ ? reader_->frames.size() : pages_.size(); }

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
    if (readOnly_) throw Error("the database " + path_ + " was opened for reading only");
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
        for (size_t offset = 0; offset < kPageSize; offset += kSector)
            put64(entry + 4 + 8 * (offset / kSector), hashBytes(pages_[number].data() + offset, kSector));
        entry += kWrittenEntry;
    }
    for (uint32_t number : changed) {
        put32(entry, number);
        std::memcpy(entry + 4, originals_.at(number).data(), kPageSize);
        entry += kOriginalEntry;
    }
    size_t hashed = journal.size() - kJournalTrailer;
    put64(journal.data() + hashed, hashBytes(journal.data(), hashed));

    HeldLock statement(*file_, OpenFile::kStatementLock, true);
    bool fileTouched = false;
    try {
        if (!journal_) journal_ = fs_->open(journalPath(path_));
        journal_->write(0, journal.data(), journal.size());
        journal_->flush();

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
    if (reader_) {  // page by page, past the cache
        out.resize(size_t(pageCount()) * kPageSize);
        for (uint32_t n = 0; n < pageCount(); ++n) reader_->fill(n, out.data() + size_t(n) * kPageSize);
        return out;
    }
    out.reserve(pages_.size() * kPageSize);
    for (const auto& p : pages_) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace jet
