// Test helper: a file system that loses power after a given number of changing calls (the engine's tests, and
// those of the changes made through it).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jet/error.h"
#include "jet/page_store.h"
#include "test_files.h"

namespace testfiles {

// The real file system until `limit` changing calls have been made. The call that hits the limit does not
// happen (a write there keeps only its first half) and throws, and so does every later change, as after a
// power cut. With `loseFile` (the database file) or `loseJournal` (its journal), the cut also undoes every
// change to that file not yet flushed: it goes back to its content at its last flush, a removed one comes
// back and a new unflushed one vanishes (the most a disk cache can lose; losing one file's writes and not the
// other's stands for writes reaching the disk in any order).
class PowerCutFileSystem : public jet::FileSystem {
public:
    size_t limit = SIZE_MAX;
    size_t calls = 0;
    bool loseFile = false;
    bool loseJournal = false;
    std::vector<std::pair<std::string, size_t>> writes;  // path and size of each write that happened

    bool exists(const std::string& path) override { return jet::realFileSystem().exists(path); }
    std::vector<uint8_t> readAll(const std::string& path) override { return jet::realFileSystem().readAll(path); }
    void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        bool alive = !dead_;
        if (cut()) {
            if (alive && !loses(path)) jet::realFileSystem().write(path, offset, data, size / 2);
            throw jet::Error("power cut");
        }
        remember(path);
        writes.push_back({path, size});
        jet::realFileSystem().write(path, offset, data, size);
    }
    void truncate(const std::string& path, uint64_t size) override {
        if (cut()) throw jet::Error("power cut");
        remember(path);
        jet::realFileSystem().truncate(path, size);
    }
    void flush(const std::string& path) override {
        if (cut()) throw jet::Error("power cut");
        jet::realFileSystem().flush(path);
        atLastFlush_.erase(path);
    }
    void remove(const std::string& path) override {
        if (cut()) throw jet::Error("power cut");
        remember(path);
        jet::realFileSystem().remove(path);
    }
    void rename(const std::string& from, const std::string& to) override {
        if (cut()) throw jet::Error("power cut");
        jet::realFileSystem().rename(from, to);
    }

private:
    bool dead_ = false;
    // For each file changed since its last flush: its content then (nullopt: it did not exist).
    std::map<std::string, std::optional<std::vector<uint8_t>>> atLastFlush_;

    bool loses(const std::string& path) const {
        bool journal = path.size() > 8 && path.compare(path.size() - 8, 8, "-journal") == 0;
        return journal ? loseJournal : loseFile;
    }
    void remember(const std::string& path) {
        if (atLastFlush_.count(path)) return;
        if (jet::realFileSystem().exists(path)) atLastFlush_[path] = jet::realFileSystem().readAll(path);
        else atLastFlush_[path] = std::nullopt;
    }
    // True when this call must not happen.
    bool cut() {
        if (dead_) return true;
        if (calls++ < limit) return false;
        dead_ = true;
        for (const auto& [path, content] : atLastFlush_) {
            if (!loses(path)) continue;
            jet::realFileSystem().remove(path);
            if (content) writeFile(path, *content);
        }
        return true;
    }
};

}  // namespace testfiles
