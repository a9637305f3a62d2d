// The database file as a list of 4096-byte pages, changed one statement at a time.
//
// A statement is atomic on disk. commit() writes a journal beside the file ("<file>-journal") holding the
// original contents of every page the statement changes, the old and new file lengths and hashes of the new
// contents of every page it writes; flushes it; writes the pages; flushes the file. The journal file is kept
// open for the next statement and removed when the store is closed. Opening a file beside a complete journal
// keeps the file when it already holds the statement's new content and otherwise puts the original pages
// back, so a crash at any moment leaves either the old or the new content, and a statement whose commit()
// returned is never undone. A journal is applied only to the file it was written for: when the file holds
// neither what the statement found nor what it wrote (a backup copied back, a new file written in its place),
// the journal is set aside under another name and the file left as it is. page_store.cpp explains every
// crash point.
//
// One writer at a time: a store opened for changes holds the file's writer lock for as long as it is open,
// and a second opener for changes (another process, or another open in this one) is refused with an
// InUseError before it touches the file or its journal. A store opened for changes keeps every page of the
// file in memory.
//
// A store opened for reading only takes no writer lock and never changes the file or its journal. It reads
// pages from the file as they are asked for, keeping only those in use and a few recent ones, so its memory
// does not grow with the file. It reads the file as the last finished statement left it: for as long as it
// is open it holds the file's statement lock shared, so no commit can change the file under it and
// everything it reads, however long it reads, belongs to one state of the file, never a mix of two. A
// commit of the writer (another process, or this one) waits until the readers open at that moment have
// closed; close a reader as soon as it has read what it needs. (Opening waits the same way for a commit
// that is running.) A store reading on demand is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

constexpr uint32_t kPageSize = 4096;

// A file kept open for repeated writes: the store holds the database file and its journal this way.
class OpenFile {
public:
    virtual ~OpenFile() = default;
    // Writes `size` bytes at `offset`, extending the file as needed. Throws jet::Error.
    virtual void write(uint64_t offset, const uint8_t* data, size_t size) = 0;
    virtual void truncate(uint64_t size) = 0;
    // Makes the written data and the file length durable (fdatasync, FlushFileBuffers).
    virtual void flush() = 0;
    // Reads up to `size` bytes at `offset` into `data` and returns how many the file had there (fewer only
    // at its end). Throws jet::Error.
    virtual size_t read(uint64_t offset, uint8_t* data, size_t size);
    // The file's length in bytes. Throws jet::Error.
    virtual uint64_t size();

    // Locks between processes, and between two opens of one file in one process; closing the file drops
    // them. kWriterLock is held exclusively by the one store that may change the file, for as long as it is
    // open; kStatementLock exclusively while a commit or a recovery writes the file, and shared by a reader
    // while it reads. tryLock does not wait: false when another holds the lock. The default, for files of
    // test file systems, keeps nobody out.
    enum Lock { kWriterLock, kStatementLock };
    virtual bool tryLock(Lock, bool /*exclusive*/) { return true; }
    virtual void lock(Lock, bool /*exclusive*/) {}
    virtual void unlock(Lock) {}
};

// The file operations the store needs. The real one uses POSIX or Win32 calls; tests substitute one that
// "loses power" after a given number of writes. Paths are UTF-8; on Windows they reach the wide functions,
// so that any folder Windows allows works.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool exists(const std::string& path) = 0;
    virtual std::vector<uint8_t> readAll(const std::string& path) = 0;  // throws jet::Error
    // Writes `size` bytes at `offset`, extending the file as needed; creates the file if missing.
    virtual void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) = 0;
    virtual void truncate(const std::string& path, uint64_t size) = 0;
    virtual void flush(const std::string& path) = 0;
    virtual void remove(const std::string& path) = 0;
    // Gives a file another name; refuses (throws) when `to` exists.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Opens a file for writing, creating it when missing (and making its creation durable). The default
    // forwards every call to the path functions above; the real file systems keep one descriptor open.
    virtual std::unique_ptr<OpenFile> open(const std::string& path);
    // Opens an existing database file for changes, never creating it. On Windows nobody else may then open
    // it for writing: a second opener for changes gets an InUseError here or at the writer lock.
    virtual std::unique_ptr<OpenFile> openDatabase(const std::string& path);
    // Opens an existing file for reading, to hold its locks while reading it.
    virtual std::unique_ptr<OpenFile> openForReading(const std::string& path);
    // Writes a new file holding `size` bytes, flushed and its directory entry durable, only when nothing is
    // at `path` yet: false (and nothing touched) when something is. Throws jet::Error on a failure, after
    // removing what it had written.
    virtual bool createNew(const std::string& path, const uint8_t* data, size_t size);
};
// The operating system's files.
FileSystem& realFileSystem();

class PageStore {
public:
    enum class Access { kChanges, kReadOnly };
    // Opens a file, recovering from an interrupted statement first. Throws jet::Error (InUseError when another
    // store has the file open for changes and `access` is kChanges).
    static std::unique_ptr<PageStore> openFile(const std::string& path, FileSystem& fs = realFileSystem(),
                                               Access access = Access::kChanges);
    // A store over bytes in memory; commit() keeps the changes in memory only.
    static std::unique_ptr<PageStore> fromBytes(std::vector<uint8_t> bytes);
    // Closes the file and removes the journal when the file is known to match memory.
    ~PageStore();
    PageStore(const PageStore&) = delete;
    PageStore& operator=(const PageStore&) = delete;

    uint32_t pageCount() const { return reader_ ? readerPageCount_ : uint32_t(pages_.size()); }
    // Throws jet::Error for a page number past the end of the file, and on a failed read. The pointer stays
    // valid for as long as the store lives, except in a store reading on demand: there until the page is let
    // go (see Hold).
    const uint8_t* page(uint32_t number) const;

    // Letting go of pages a store reading on demand has read. Code that reads holds page pointers while it
    // works on them (a row's bytes while its long values are read from other pages, say), so the store frees
    // pages only when told that none is held: a reader that keeps pointers across calls into other reading
    // code (a pass over a table's rows) holds the store with a Hold for as long as it runs, and calls
    // letGo() where it holds no pointer (between two data pages). The pages are then freed, but for a few
    // recently used ones, unless another Hold lives: that reader may still hold pointers, so everything
    // stays until the outermost reader lets go. PageStore::letGo() does the same for code that holds no
    // Hold (between two tables of a check): it frees pages only while no Hold lives. Stores holding their
    // pages in memory ignore both.
    class Hold {
    public:
        explicit Hold(const PageStore& store);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        void letGo();

    private:
        const PageStore& store_;
    };
    void letGo() const;
    // How many pages the store holds in memory now: every page of the file, unless it reads on demand.
    size_t pagesInMemory() const;
    // The page, to be changed by the current statement (its original is kept for rollback and the journal).
    uint8_t* writablePage(uint32_t number);
    // Appends a zeroed page to the file and returns its number.
    uint32_t appendPage();

    // Statement boundaries. Changes made outside begin()/commit() are refused, and so is begin() on a store
    // opened for reading only.
    void begin();
    void commit();    // throws jet::Error on an I/O failure, after rolling back the in-memory pages
    void rollback();  // forgets every change since begin()
    bool inStatement() const { return inStatement_; }

    // The whole file as the store sees it (tests, the template generator).
    std::vector<uint8_t> bytes() const;
    const std::string& path() const { return path_; }
    static std::string journalPath(const std::string& path) { return path + "-journal"; }
    // What opening did besides reading that the person should know (a journal set aside), in one English
    // line; empty when nothing.
    const std::string& openingNote() const { return openingNote_; }

private:
    struct Reader;  // the file, the shared statement lock and the pages read on demand (page_store.cpp)

    PageStore();
    void recover(std::vector<uint8_t>& file);
    void openForReading();
    void setJournalAside();
    void restoreAfterFailedWrite(const std::vector<uint32_t>& written);

    std::string path_;               // empty for a store in memory
    FileSystem* fs_ = nullptr;
    bool readOnly_ = false;
    std::string openingNote_;
    std::unique_ptr<OpenFile> file_;     // the database file, with its writer lock, while open for changes
    std::unique_ptr<OpenFile> journal_;  // created at the first commit, kept until the store closes
    // Set when a failed commit left the file unlike memory and it could not be put back: further commits
    // are refused and the journal stays for the next open to repair the file.
    std::string broken_;
    std::vector<std::vector<uint8_t>> pages_;  // every page, unless the store reads on demand
    std::unique_ptr<Reader> reader_;           // set when the store reads on demand
    uint32_t readerPageCount_ = 0;
    bool inStatement_ = false;
    uint32_t pageCountAtBegin_ = 0;
    std::unordered_map<uint32_t, std::vector<uint8_t>> originals_;  // pages changed by this statement
};

namespace detail {
// The hash of the journal's content and of the pages it describes (page_store.cpp has the journal's layout).
uint64_t journalHash(const uint8_t* data, size_t size);
}  // namespace detail

}  // namespace jet
