// The database file as a list of 4096-byte pages, held in memory, changed one statement at a time.
//
// A statement is atomic on disk. commit() writes a journal beside the file ("<file>-journal") holding the
// original contents of every page the statement changes, the old and new file lengths and a hash of the new
// contents of every page it writes; flushes it; writes the pages; flushes the file. The journal file is kept
// open for the next statement and removed when the store is closed. Opening a file beside a complete journal
// keeps the file when it already holds the statement's new content and otherwise puts the original pages
// back, so a crash at any moment leaves either the old or the new content, and a statement whose commit()
// returned is never undone. page_store.cpp explains every crash point.
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
};

// The file operations the store needs. The real one uses POSIX or Win32 calls; tests substitute one that
// "loses power" after a given number of writes.
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
    // Opens a file for writing, creating it when missing (and making its creation durable). The default
    // forwards every call to the path functions above; the real file systems keep one descriptor open.
    virtual std::unique_ptr<OpenFile> open(const std::string& path);
};
// The operating system's files.
FileSystem& realFileSystem();

class PageStore {
public:
    // Opens a file, recovering from an interrupted statement first. Throws jet::Error.
    static std::unique_ptr<PageStore> openFile(const std::string& path, FileSystem& fs = realFileSystem());
    // A store over bytes in memory; commit() keeps the changes in memory only.
    static std::unique_ptr<PageStore> fromBytes(std::vector<uint8_t> bytes);
    // Closes the file and removes the journal when the file is known to match memory.
    ~PageStore();
    PageStore(const PageStore&) = delete;
    PageStore& operator=(const PageStore&) = delete;

    uint32_t pageCount() const { return uint32_t(pages_.size()); }
    // Throws jet::Error for a page number past the end of the file.
    const uint8_t* page(uint32_t number) const;
    // The page, to be changed by the current statement (its original is kept for rollback and the journal).
    uint8_t* writablePage(uint32_t number);
    // Appends a zeroed page to the file and returns its number.
    uint32_t appendPage();

    // Statement boundaries. Changes made outside begin()/commit() are refused.
    void begin();
    void commit();    // throws jet::Error on an I/O failure, after rolling back the in-memory pages
    void rollback();  // forgets every change since begin()
    bool inStatement() const { return inStatement_; }

    // The whole file as it is in memory (tests, the template generator).
    std::vector<uint8_t> bytes() const;
    const std::string& path() const { return path_; }
    static std::string journalPath(const std::string& path) { return path + "-journal"; }

private:
    PageStore() = default;
    void recover(std::vector<uint8_t>& file);
    void restoreAfterFailedWrite(const std::vector<uint32_t>& written);

    std::string path_;               // empty for a store in memory
    FileSystem* fs_ = nullptr;
    std::unique_ptr<OpenFile> file_;     // opened at the first commit
    std::unique_ptr<OpenFile> journal_;  // created at the first commit, kept until the store closes
    // Set when a failed commit left the file unlike memory and it could not be put back: further commits
    // are refused and the journal stays for the next open to repair the file.
    std::string broken_;
    std::vector<std::vector<uint8_t>> pages_;
    bool inStatement_ = false;
    uint32_t pageCountAtBegin_ = 0;
    std::unordered_map<uint32_t, std::vector<uint8_t>> originals_;  // pages changed by this statement
};

}  // namespace jet
