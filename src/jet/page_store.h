// The database file as a list of 4096-byte pages, held in memory, changed one statement at a time.
//
// A statement is atomic on disk: commit() first writes the original contents of every page it is about to
// change (and the old file length) to a journal beside the file ("<file>-journal"), flushes it, then writes
// the pages, flushes, and removes the journal. Opening a file whose journal is complete puts those original
// pages back first, so a crash at any moment leaves either the old or the new content. An incomplete journal
// (a crash while it was being written) is simply removed: the file was not yet touched.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

constexpr uint32_t kPageSize = 4096;

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
};
// The operating system's files.
FileSystem& realFileSystem();

class PageStore {
public:
    // Opens a file, recovering from an interrupted statement first. Throws jet::Error.
    static std::unique_ptr<PageStore> openFile(const std::string& path, FileSystem& fs = realFileSystem());
    // A store over bytes in memory; commit() keeps the changes in memory only.
    static std::unique_ptr<PageStore> fromBytes(std::vector<uint8_t> bytes);

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
    void recover();

    std::string path_;               // empty for a store in memory
    FileSystem* fs_ = nullptr;
    std::vector<std::vector<uint8_t>> pages_;
    bool inStatement_ = false;
    uint32_t pageCountAtBegin_ = 0;
    std::unordered_map<uint32_t, std::vector<uint8_t>> originals_;  // pages changed by this statement
};

}  // namespace jet
